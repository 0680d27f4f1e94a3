// The WMA receiver against scripted libraries: how it picks the bitrate, what it
// reports, which tags it sets, and that it always leaves the library free.
#include "FakeBass.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace
{
using fakebass::Reset;
using fakebass::TheLog;
using fakebass::TheScript;
using Tags = std::vector<std::pair<std::string, std::string>>;

// A folder of its own per test: CTest runs the tests of one program side by side.
std::string FolderForThisTest(const char* pszPrefix)
{
    return std::string(pszPrefix) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

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

    // A receiver prepared the way the recording controller prepares it.
    int Open(CReceiverWMA& receiver, uint32_t& nShown)
    {
        receiver.LoadLibraries();
        receiver.FileName = m_folder.File("Audio0.wma");
        return receiver.Open(&nShown);
    }

    CTempFolder m_folder{FolderForThisTest("wma-scripted")};
    RecorderSettings m_saved;
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
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    EXPECT_EQ(nShown, 64000u);
    EXPECT_EQ(receiver.Bitrate, 64000u);
    EXPECT_EQ(TheLog().ratesFlags, 0u);
    EXPECT_EQ(TheLog().openBitrate, 64000u);
    EXPECT_EQ(TheLog().openFreq, 44100u);
    EXPECT_EQ(TheLog().openChans, 2u);
    EXPECT_EQ(TheLog().openFlags, static_cast<DWORD>(BASS_WMA_ENCODE_TAGS));
    EXPECT_EQ(TheLog().openFile, receiver.FileName);
    EXPECT_EQ(TheLog().configs, (std::vector<std::pair<DWORD, DWORD>>{{BASS_CONFIG_UPDATEPERIOD, 0}}));
    EXPECT_EQ(receiver.State, 1);
}

TEST_F(WmaScriptedLibrary, AnUnlistedBitrateOpensTheNextHigherOneWhileTheRecordingShowsTheRequest)
{
    theSettings.WmaBitrateIndex = 3;
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    EXPECT_EQ(TheLog().openBitrate, 96000u);
    EXPECT_EQ(receiver.Bitrate, 96000u);
    EXPECT_EQ(nShown, 80000u);
}

TEST_F(WmaScriptedLibrary, NoListMeansBitrateZeroAndNothingIsEncoded)
{
    TheScript().hasList = false;
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    EXPECT_EQ(receiver.Bitrate, 0u);
    EXPECT_EQ(TheLog().openBitrate, 0u);
    EXPECT_EQ(receiver.Write(m_second.data(), 176400), 0u);
    EXPECT_EQ(TheLog().writeCalls, 0);
}

TEST_F(WmaScriptedLibrary, QualityModeAsksForQualitiesAndShowsTheBitrateTheEncoderRunsAt)
{
    theSettings.WmaMode = 1;
    TheScript().realBitrate = 96000;
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    EXPECT_EQ(TheLog().ratesFlags, static_cast<DWORD>(BASS_WMA_ENCODE_RATES_VBR));
    EXPECT_EQ(TheLog().openBitrate, 50u);
    EXPECT_EQ(receiver.Bitrate, 50u);
    EXPECT_EQ(nShown, 96000u);
}

TEST_F(WmaScriptedLibrary, TagsFollowInTheirOrderAndEndTheList)
{
    theSettings.YearIndex = 3;
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    std::string year = std::to_string(TagYear(3));
    EXPECT_EQ(TheLog().tags, (Tags{{"WM/AlbumTitle", "Album"},
                                   {"Author", "Artist"},
                                   {"Title", "Title"},
                                   {"WM/Year", year},
                                   {"WM/ToolName", "vodArev"},
                                   {"(null)", "(null)"}}));
}

TEST_F(WmaScriptedLibrary, EmptyTextsLeaveOnlyYearAndToolName)
{
    theSettings.AlbumTitle.clear();
    theSettings.Artist.clear();
    theSettings.Title.clear();
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    ASSERT_EQ(TheLog().tags.size(), 3u);
    EXPECT_EQ(TheLog().tags[0].first, "WM/Year");
    EXPECT_EQ(TheLog().tags[1], (std::pair<std::string, std::string>{"WM/ToolName", "vodArev"}));
}

TEST_F(WmaScriptedLibrary, LongTextsAreCutTo255BytesWithoutSplittingACharacter)
{
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = std::string(254, 't') + "\xC3\xA9" + "more";  // an e with acute accent across the limit
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    EXPECT_EQ(TheLog().tags[0].second, std::string(255, 'a'));
    EXPECT_EQ(TheLog().tags[2].second, std::string(254, 't'));
}

TEST_F(WmaScriptedLibrary, FailuresBeforeOpeningReturnMinusOneAndSayWhy)
{
    {
        TheScript().version = 1;
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        EXPECT_EQ(Open(receiver, nShown), -1);
        EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_TOO_OLD);
        EXPECT_EQ(TheLog().initCalls, 0);
    }
    Reset();
    {
        TheScript().initFails = true;
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        EXPECT_EQ(Open(receiver, nShown), -1);
        EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_INIT_FAILED);
        EXPECT_EQ(TheLog().openCalls, 0);
        EXPECT_EQ(receiver.State, 0);
    }
}

TEST_F(WmaScriptedLibrary, AFailedOpenFileFreesTheLibraryAgain)
{
    TheScript().openFails = true;
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    EXPECT_EQ(Open(receiver, nShown), -1);
    EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_CANT_CREATE);
    EXPECT_EQ(TheLog().order, (std::vector<std::string>{"Init", "OpenFile", "Free"}));
    EXPECT_EQ(receiver.State, 0);
    EXPECT_EQ(receiver.Handle, 0u);
    receiver.Finish();
    EXPECT_EQ(TheLog().freeCalls, 1);
}

TEST_F(WmaScriptedLibrary, WriteReturnsWhatTheFileGrewByHeaderIncluded)
{
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    const uint32_t nEncoded = 176400 / fakebass::PCM_PER_ENCODED_BYTE;
    EXPECT_EQ(receiver.Write(m_second.data(), 176400), fakebass::HEADER_BYTES + nEncoded);
    EXPECT_EQ(receiver.Write(m_second.data(), 176400), nEncoded);
    EXPECT_EQ(TheLog().writeCalls, 2);
}

TEST_F(WmaScriptedLibrary, AWriteTheFileRefusesEndsTheRecordingWithAMessage)
{
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    TheScript().writeFails = true;
    try
    {
        receiver.Write(m_second.data(), 176400);
        ADD_FAILURE() << "the recording went on";
    }
    catch (const CRecordingEnded& ended)
    {
        EXPECT_STREQ(ended.szMessage, MSG_WMA_WRITE_FAILED);
    }
    receiver.Finish();
    EXPECT_EQ(TheLog().closeCalls, 1);
}

TEST_F(WmaScriptedLibrary, FinishClosesTheEncoderThenFreesTheLibraryOnce)
{
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_EQ(Open(receiver, nShown), 0);
    receiver.Finish();
    receiver.Finish();
    EXPECT_EQ(TheLog().order, (std::vector<std::string>{"Init", "OpenFile", "Close", "Free"}));
    EXPECT_EQ(receiver.State, 2);
    EXPECT_EQ(receiver.Handle, 0u);
    EXPECT_EQ(receiver.Write(m_second.data(), 176400), 0u);
}

TEST_F(WmaScriptedLibrary, AReceiverDestroyedWhileOpenClosesItsFileAndFreesTheLibrary)
{
    {
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        ASSERT_EQ(Open(receiver, nShown), 0);
    }
    EXPECT_EQ(TheLog().order, (std::vector<std::string>{"Init", "OpenFile", "Close", "Free"}));
}
}  // namespace
