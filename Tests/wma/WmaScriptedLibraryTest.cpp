// The WMA receiver against a scripted library: how it picks the bitrate, what it
// reports, which tags it sets, and that it always leaves the library free.
#include "EncoderFixtures.h"
#include "FakeBass.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using fakebass::theLog;
using fakebass::theScript;
using Calls = std::vector<std::string>;

class WmaScriptedLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theScript = {};
        theLog = {};
        CReceiverWMA::SetModuleFolder(FAKE_MODULE_DIR);
        theSettings.WmaMode = 0;
        theSettings.WmaBitrateIndex = 2;
        theSettings.WmaQualityIndex = 2;
        theSettings.AlbumTitle = "Album";
        theSettings.Artist = "Artist";
        theSettings.Title = "Title";
        theSettings.YearIndex = 9;
    }
    void TearDown() override { CReceiverWMA::SetModuleFolder(""); }

    // Prepares the receiver the way the recording controller does.
    int Open(CReceiverWMA& receiver)
    {
        receiver.LoadLibraries();
        receiver.FileName = "Audio0.wma";
        return receiver.Open(&m_shown);
    }

    CSettingsScope m_settings;
    CReceiverWMA m_receiver;
    uint32_t m_shown = 0;
    std::vector<uint8_t> m_second = std::vector<uint8_t>(176400, 0);
};

TEST(WmaBitrateWalk, FollowsTheLibrarysOrder)
{
    const uint32_t descending[] = {128000, 96000, 64000, 48000, 0};
    const uint32_t ascending[] = {48000, 64000, 128000, 0};
    const uint32_t empty[] = {0};
    EXPECT_EQ(CReceiverWMA::MatchBitrate(64000, descending), 64000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(80000, descending), 96000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(320000, descending), 128000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(32000, descending), 48000u);
    // Ascending, the last value above the request wins, not the nearest one.
    EXPECT_EQ(CReceiverWMA::MatchBitrate(56000, ascending), 128000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(320000, ascending), 48000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(64000, empty), 0u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(64000, nullptr), 0u);
}

TEST_F(WmaScriptedLibrary, AListedBitrateOpensTheEncoderAtExactlyThatBitrate)
{
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(m_shown, 64000u);
    EXPECT_EQ(m_receiver.Bitrate, 64000u);
    EXPECT_EQ(theLog.ratesFlags, 0u);
    EXPECT_EQ(theLog.open, (std::array<DWORD, 4>{44100, 2, BASS_WMA_ENCODE_TAGS, 64000}));
    EXPECT_EQ(theLog.openFile, m_receiver.FileName);
    EXPECT_EQ(theLog.configs, (std::vector<std::pair<DWORD, DWORD>>{{BASS_CONFIG_UPDATEPERIOD, 0}}));
    EXPECT_EQ(m_receiver.State, 1);
}

TEST_F(WmaScriptedLibrary, AnUnlistedBitrateOpensTheNextHigherOneWhileTheRecordingShowsTheRequest)
{
    theSettings.WmaBitrateIndex = 3;
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(theLog.open[3], 96000u);
    EXPECT_EQ(m_receiver.Bitrate, 96000u);
    EXPECT_EQ(m_shown, 80000u);
}

TEST_F(WmaScriptedLibrary, NoListMeansBitrateZeroAndNothingIsEncoded)
{
    theScript.hasList = false;
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(m_receiver.Bitrate, 0u);
    EXPECT_EQ(theLog.open[3], 0u);
    EXPECT_EQ(m_receiver.Write(m_second.data(), 176400), 0u);
    EXPECT_EQ(theLog.writeCalls, 0);
}

TEST_F(WmaScriptedLibrary, TagsFollowInTheirOrderCutTo255BytesWithoutSplittingACharacterAndEndTheList)
{
    theSettings.YearIndex = 3;
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = std::string(254, 't') + "\xC3\xA9" + "more";  // an e with acute accent across the limit
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(theLog.tags, (std::vector<std::pair<std::string, std::string>>{{"WM/AlbumTitle", std::string(255, 'a')},
                                                                               {"Author", "Artist"},
                                                                               {"Title", std::string(254, 't')},
                                                                               {"WM/Year", std::to_string(TagYear(3))},
                                                                               {"WM/ToolName", "vodArev"},
                                                                               {"(null)", "(null)"}}));
}

TEST_F(WmaScriptedLibrary, FailuresBeforeOpeningReturnMinusOneAndSayWhy)
{
    theScript.version = 1;
    EXPECT_EQ(Open(m_receiver), -1);
    EXPECT_STREQ(m_receiver.OpenFailure(), MSG_WMA_TOO_OLD);
    EXPECT_EQ(theLog.order, Calls{});
    theScript = {};
    theLog = {};
    theScript.initFails = true;
    CReceiverWMA receiver;
    EXPECT_EQ(Open(receiver), -1);
    EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_INIT_FAILED);
    EXPECT_EQ(theLog.order, Calls{"Init"});
    EXPECT_EQ(receiver.State, 0);
}

TEST_F(WmaScriptedLibrary, AFailedOpenFileFreesTheLibraryAgain)
{
    theScript.openFails = true;
    EXPECT_EQ(Open(m_receiver), -1);
    EXPECT_STREQ(m_receiver.OpenFailure(), MSG_WMA_CANT_CREATE);
    EXPECT_EQ(theLog.order, (Calls{"Init", "OpenFile", "Free"}));
    EXPECT_EQ(m_receiver.State, 0);
    EXPECT_EQ(m_receiver.Handle, 0u);
    m_receiver.Finish();
    EXPECT_EQ(theLog.order, (Calls{"Init", "OpenFile", "Free"})) << "freed once";
}

TEST_F(WmaScriptedLibrary, AHeaderThatCannotBeWrittenFailsTheOpenInsteadOfRecordingIntoNothing)
{
    theScript.headerFails = true;
    EXPECT_EQ(Open(m_receiver), -1);
    EXPECT_STREQ(m_receiver.OpenFailure(), MSG_WMA_CANT_CREATE);
    EXPECT_EQ(theLog.order, (Calls{"Init", "OpenFile", "Close", "Free"}));
    EXPECT_EQ(m_receiver.State, 0);
    EXPECT_EQ(m_receiver.Handle, 0u);
}

TEST_F(WmaScriptedLibrary, FinishOrTheDestructorClosesTheEncoderThenFreesTheLibraryOnce)
{
    ASSERT_EQ(Open(m_receiver), 0);
    m_receiver.Finish();
    m_receiver.Finish();
    EXPECT_EQ(theLog.order, (Calls{"Init", "OpenFile", "Close", "Free"}));
    EXPECT_EQ(m_receiver.State, 2);
    EXPECT_EQ(m_receiver.Handle, 0u);
    EXPECT_EQ(m_receiver.Write(m_second.data(), 176400), 0u);
    theLog = {};
    {
        CReceiverWMA receiver;
        ASSERT_EQ(Open(receiver), 0);
    }
    EXPECT_EQ(theLog.order, (Calls{"Init", "OpenFile", "Close", "Free"}));
}
}  // namespace
