// The WMA receiver against a scripted library: how it picks the bitrate, what it
// reports, which tags it sets, and that it always leaves the library free.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "FakeBass.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "TagText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

namespace
{
using fakebass::theLog;
using fakebass::Script;
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

    // Prepares the receiver the way the recording session does.
    // The reason the library refused, empty when it opened.
    std::string Open(CReceiverWMA& receiver)
    {
        receiver.LoadLibraries();
        receiver.Output = RecordingFileFor(m_folder.File("Audio0.wma"));
        receiver.Tags = CurrentTrackTags();
        receiver.Options = CurrentWmaOptions();
        return ThrownText([&] { receiver.Open(&m_shown); });
    }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    CReceiverWMA m_receiver;
    uint32_t m_shown = 0;
    std::vector<uint8_t> m_second = std::vector<uint8_t>(176400, 0);
};

TEST(WmaBitrateWalk, FollowsTheLibrarysOrder)
{
    const uint32_t descending[] = {128000, 96000, 64000, 48000, 0};
    const uint32_t ascending[] = {48000, 64000, 128000, 0};
    const uint32_t empty[] = {0};
    // Ascending, the last value above the request wins, not the nearest one.
    const std::tuple<uint32_t, const uint32_t*, uint32_t> cases[] = {
        {64000, descending, 64000}, {80000, descending, 96000}, {320000, descending, 128000},
        {32000, descending, 48000}, {56000, ascending, 128000}, {320000, ascending, 48000},
        {64000, empty, 0},          {64000, nullptr, 0}};
    for (const auto& [nRequest, pList, nExpected] : cases)
        EXPECT_EQ(CReceiverWMA::MatchBitrate(nRequest, pList), nExpected) << nRequest;
}

// A listed bitrate opens at exactly that rate, an unlisted one at the next higher while the request is shown;
// Finish or the destructor closes the encoder, then frees the library once. The library opens the
// recording's file by its descriptor, never by the name it will have.
TEST_F(WmaScriptedLibrary, TheEncoderOpensAtTheListedBitrateOrTheNextHigherOneAndClosesOnce)
{
    ASSERT_EQ("", Open(m_receiver));
    EXPECT_EQ(std::make_tuple(m_shown, m_receiver.Bitrate, theLog.ratesFlags), std::make_tuple(64000u, 64000u, 0u));
    EXPECT_EQ(theLog.open, (std::array<DWORD, 4>{44100, 2, BASS_WMA_ENCODE_TAGS, 64000}));
    EXPECT_EQ(theLog.openFile, "/proc/self/fd/" + std::to_string(m_receiver.Output->Fd()));
    EXPECT_EQ(theLog.configs, (std::vector<std::pair<DWORD, DWORD>>{{BASS_CONFIG_UPDATEPERIOD, 0}}));
    m_receiver.Finish();
    m_receiver.Finish();
    EXPECT_EQ(std::make_tuple(theLog.order, m_receiver.Output == nullptr),
              std::make_tuple(Calls{"Init", "OpenFile", "Close", "Free"}, true));
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path())) << "a file the library wrote nothing into goes";
    EXPECT_EQ(m_receiver.Write(m_second.data(), 176400), 0u);
    theLog = {};

    theSettings.WmaBitrateIndex = 3;
    {
        CReceiverWMA receiver;
        ASSERT_EQ("", Open(receiver));
        EXPECT_EQ(std::make_tuple(theLog.open[3], receiver.Bitrate, m_shown), std::make_tuple(96000u, 96000u, 80000u));
    }
    EXPECT_EQ(theLog.order, (Calls{"Init", "OpenFile", "Close", "Free"})) << "closed by the destructor";

    theSettings.WmaMode = 1;  // a quality, from the library's list of qualities
    CReceiverWMA quality;
    ASSERT_EQ("", Open(quality));
    EXPECT_EQ(std::make_tuple(theLog.ratesFlags, theLog.open[3], m_shown),
              std::make_tuple(DWORD{BASS_WMA_ENCODE_RATES_VBR}, DWORD{50}, 50u));
}

TEST_F(WmaScriptedLibrary, NoListMeansBitrateZeroAndNothingIsEncoded)
{
    theScript.hasList = false;
    ASSERT_EQ("", Open(m_receiver));
    EXPECT_EQ(std::make_tuple(m_receiver.Bitrate, theLog.open[3], m_receiver.Write(m_second.data(), 176400)),
              std::make_tuple(0u, DWORD{0}, 0u));
    EXPECT_EQ(theLog.writeCalls, 0);
}

TEST_F(WmaScriptedLibrary, TagsFollowInTheirOrderCutTo255BytesWithoutSplittingACharacterAndEndTheList)
{
    theSettings.YearIndex = 3;
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = std::string(254, 't') + "\xC3\xA9" + "more";  // an e with acute accent across the limit
    ASSERT_EQ("", Open(m_receiver));
    EXPECT_EQ(theLog.tags, (std::vector<std::pair<std::string, std::string>>{{"WM/AlbumTitle", std::string(255, 'a')},
                                                                               {"Author", "Artist"},
                                                                               {"Title", std::string(254, 't')},
                                                                               {"WM/Year", std::to_string(CurrentYear() - 6)},
                                                                               {"WM/ToolName", "vodArev"},
                                                                               {"(null)", "(null)"}}));
}

// Every failure returns -1 with its reason, leaves no handle and frees the library it took.
TEST_F(WmaScriptedLibrary, EachFailureToOpenSaysWhyAndFreesTheLibraryOnce)
{
    const std::tuple<bool Script::*, const char*, Calls> cases[] = {
        {nullptr, MSG_WMA_TOO_OLD, {}},
        {&Script::initFails, MSG_WMA_INIT_FAILED, {"Init"}},
        {&Script::openFails, MSG_WMA_CANT_CREATE, {"Init", "OpenFile", "Free"}},
        {&Script::headerFails, MSG_WMA_CANT_CREATE, {"Init", "OpenFile", "Close", "Free"}},
    };
    for (const auto& [pFails, pszReason, order] : cases)
    {
        SCOPED_TRACE(pszReason);
        theScript = {};
        theLog = {};
        if (pFails)
            theScript.*pFails = true;
        else
            theScript.version = 1;
        CReceiverWMA receiver;
        EXPECT_EQ(pszReason, Open(receiver));
        receiver.Finish();
        EXPECT_EQ(theLog.order, order) << "freed once";
    }
}

}  // namespace
