// The WMA receiver against a scripted library: how it picks the bitrate, what it
// reports, which tags it sets, and that it always leaves the library free.
#include "FakeBass.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using fakebass::Reset;
using fakebass::TheLog;
using fakebass::TheScript;
using Calls = std::vector<std::string>;

class WmaScriptedLibrary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = theSettings;
        Reset();
        CReceiverWMA::SetModuleFolder(FAKE_MODULE_DIR);
        theSettings.WmaMode = 0;
        theSettings.WmaBitrateIndex = 2;
        theSettings.WmaQualityIndex = 2;
        theSettings.AlbumTitle = "Album";
        theSettings.Artist = "Artist";
        theSettings.Title = "Title";
        theSettings.YearIndex = 9;
    }
    void TearDown() override
    {
        CReceiverWMA::SetModuleFolder("");
        theSettings = m_saved;
    }

    // Prepares the receiver the way the recording controller does.
    int Open(CReceiverWMA& receiver)
    {
        receiver.LoadLibraries();
        receiver.FileName = "Audio0.wma";
        return receiver.Open(&m_shown);
    }

    RecorderSettings m_saved;
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
    EXPECT_EQ(TheLog().ratesFlags, 0u);
    EXPECT_EQ(TheLog().openBitrate, 64000u);
    EXPECT_EQ(TheLog().openFreq, 44100u);
    EXPECT_EQ(TheLog().openChans, 2u);
    EXPECT_EQ(TheLog().openFlags, static_cast<DWORD>(BASS_WMA_ENCODE_TAGS));
    EXPECT_EQ(TheLog().openFile, m_receiver.FileName);
    EXPECT_EQ(TheLog().configs, (std::vector<std::pair<DWORD, DWORD>>{{BASS_CONFIG_UPDATEPERIOD, 0}}));
    EXPECT_EQ(m_receiver.State, 1);
}

TEST_F(WmaScriptedLibrary, AnUnlistedBitrateOpensTheNextHigherOneWhileTheRecordingShowsTheRequest)
{
    theSettings.WmaBitrateIndex = 3;
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(TheLog().openBitrate, 96000u);
    EXPECT_EQ(m_receiver.Bitrate, 96000u);
    EXPECT_EQ(m_shown, 80000u);
}

TEST_F(WmaScriptedLibrary, NoListMeansBitrateZeroAndNothingIsEncoded)
{
    TheScript().hasList = false;
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(m_receiver.Bitrate, 0u);
    EXPECT_EQ(TheLog().openBitrate, 0u);
    EXPECT_EQ(m_receiver.Write(m_second.data(), 176400), 0u);
    EXPECT_EQ(TheLog().writeCalls, 0);
}

TEST_F(WmaScriptedLibrary, QualityModeAsksForQualitiesAndShowsTheBitrateTheEncoderRunsAt)
{
    theSettings.WmaMode = 1;
    TheScript().realBitrate = 96000;
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(TheLog().ratesFlags, static_cast<DWORD>(BASS_WMA_ENCODE_RATES_VBR));
    EXPECT_EQ(TheLog().openBitrate, 50u);
    EXPECT_EQ(m_receiver.Bitrate, 50u);
    EXPECT_EQ(m_shown, 96000u);
}

TEST_F(WmaScriptedLibrary, TagsFollowInTheirOrderCutTo255BytesWithoutSplittingACharacterAndEndTheList)
{
    theSettings.YearIndex = 3;
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = std::string(254, 't') + "\xC3\xA9" + "more";  // an e with acute accent across the limit
    ASSERT_EQ(Open(m_receiver), 0);
    EXPECT_EQ(TheLog().tags, (std::vector<std::pair<std::string, std::string>>{{"WM/AlbumTitle", std::string(255, 'a')},
                                                                               {"Author", "Artist"},
                                                                               {"Title", std::string(254, 't')},
                                                                               {"WM/Year", std::to_string(TagYear(3))},
                                                                               {"WM/ToolName", "vodArev"},
                                                                               {"(null)", "(null)"}}));
}

TEST_F(WmaScriptedLibrary, FailuresBeforeOpeningReturnMinusOneAndSayWhy)
{
    TheScript().version = 1;
    EXPECT_EQ(Open(m_receiver), -1);
    EXPECT_STREQ(m_receiver.OpenFailure(), MSG_WMA_TOO_OLD);
    EXPECT_EQ(TheLog().order, Calls{});
    Reset();
    TheScript().initFails = true;
    CReceiverWMA receiver;
    EXPECT_EQ(Open(receiver), -1);
    EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_INIT_FAILED);
    EXPECT_EQ(TheLog().order, Calls{"Init"});
    EXPECT_EQ(receiver.State, 0);
}

TEST_F(WmaScriptedLibrary, AFailedOpenFileFreesTheLibraryAgain)
{
    TheScript().openFails = true;
    EXPECT_EQ(Open(m_receiver), -1);
    EXPECT_STREQ(m_receiver.OpenFailure(), MSG_WMA_CANT_CREATE);
    EXPECT_EQ(TheLog().order, (Calls{"Init", "OpenFile", "Free"}));
    EXPECT_EQ(m_receiver.State, 0);
    EXPECT_EQ(m_receiver.Handle, 0u);
    m_receiver.Finish();
    EXPECT_EQ(TheLog().order, (Calls{"Init", "OpenFile", "Free"})) << "freed once";
}

TEST_F(WmaScriptedLibrary, FinishClosesTheEncoderThenFreesTheLibraryOnce)
{
    ASSERT_EQ(Open(m_receiver), 0);
    m_receiver.Finish();
    m_receiver.Finish();
    EXPECT_EQ(TheLog().order, (Calls{"Init", "OpenFile", "Close", "Free"}));
    EXPECT_EQ(m_receiver.State, 2);
    EXPECT_EQ(m_receiver.Handle, 0u);
    EXPECT_EQ(m_receiver.Write(m_second.data(), 176400), 0u);
}

TEST_F(WmaScriptedLibrary, AReceiverDestroyedWhileOpenClosesItsFileAndFreesTheLibrary)
{
    {
        CReceiverWMA receiver;
        ASSERT_EQ(Open(receiver), 0);
    }
    EXPECT_EQ(TheLog().order, (Calls{"Init", "OpenFile", "Close", "Free"}));
}
}  // namespace
