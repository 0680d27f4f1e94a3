// The WMA receiver on the real library modules: what a missing module says, and a
// recording's tags, bitrate and shown size where an independent decoder finds them.
#include "RecordingStart.h"
#include "CaptureFakes.h"
#include "EncoderFixtures.h"
#include "ReceiverWMA.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

namespace
{
namespace fs = std::filesystem;

TEST(WmaModules, EachMissingModuleIsNamed)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "Error loading bass.dll"},
        {{"libbasswma.so"}, "Error loading bass.dll"},
        {{"libbass.so"}, "Error loading basswma.dll"},
        {{"libbass.so", "libbasswma.so"}, ""}};
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        CTempFolder folder("wma-modules-" + std::to_string(i));
        for (const std::string& module : cases[i].first)
            fs::copy_file(std::string(VORANE_APP_DIR) + "/" + module, folder.File(module));
        CReceiverWMA::SetModuleFolder(folder.Path());
        EXPECT_EQ(ThrownText([] { CReceiverWMA().LoadLibraries(); }), cases[i].second) << i;
    }
    CReceiverWMA::SetModuleFolder("");
}

// A recording's tags, bitrate and sizes; in quality mode the bitrate shown is the one the library chose,
// the one in the file. (A failed Open and the freeing of the library: WmaScriptedLibrary.)
TEST(WmaRecording, EachModeShowsTheBitrateOfItsFile)
{
    CSettingsScope settings;
    CManualClockScope clock;
    CTempFolder folder("wma-recording");
    CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
    theSettings.WmaMode = 0;
    theSettings.WmaBitrateIndex = 2;
    theSettings.AlbumTitle = "Harbour Lights";
    theSettings.Artist = "The Quay Players";
    theSettings.Title = "Évening Tide";
    theSettings.YearIndex = 7;
    theSettings.LineIndex = -1;
    uint32_t nShown = 0;
    // Prepares the line and the receiver as the controller does; false when Open failed.
    auto prepare = [&](CReceiverWMA& receiver, const std::string& path) {
        PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WMA, 2, 44100, 16, 100);
        receiver.LoadLibraries();
        receiver.Output = RecordingFileFor(path);
        receiver.Tags = CurrentTrackTags();
        receiver.Options = CurrentWmaOptions();
        return ThrownText([&] { receiver.Open(&nShown); }).empty();
    };
    const std::string path = folder.File("Audio0.wma");
    CReceiverWMA receiver;
    ASSERT_TRUE(prepare(receiver, path));
    EXPECT_EQ(nShown, 64000u);
    CFakeView view;
    SetWaveformView(&view);
    EXPECT_TRUE(RecordOnManualClock(&receiver, 4));
    SetWaveformView(nullptr);
    const std::vector<uint32_t>& writes = view.shownSizes;
    EXPECT_EQ(size_t{4}, writes.size());
    DecodedAudio decoded = DecodeFile(path);
    EXPECT_EQ(std::make_pair(decoded.codec, decoded.bitRate), std::make_pair(std::string("wmav2"), int64_t{64000}));
    // FFmpeg names album and artist in its own words and keeps the attribute name "Title".
    EXPECT_EQ(decoded.tags, (std::map<std::string, std::string>{{"album", "Harbour Lights"},
                                                                {"artist", "The Quay Players"},
                                                                {"Title", "Évening Tide"},
                                                                {"WM/Year", std::to_string(CurrentYear() - 2)},
                                                                {"WM/ToolName", "vodArev"}}))
        << "and no encoder name of the libraries' own";

    // The size shown while recording grows with every second and stays within the file.
    EXPECT_EQ(std::count(writes.begin(), writes.end(), 0u), 0);
    uint64_t nShownSize = std::accumulate(writes.begin(), writes.end(), uint64_t{0});
    uint64_t nFileSize = fs::file_size(path);
    EXPECT_LE(nShownSize, nFileSize);
    EXPECT_GE(nShownSize, nFileSize * 3 / 4);

    theSettings.WmaMode = 1;
    theSettings.WmaQualityIndex = TableSize(WmaQualityTable) - 1;
    CReceiverWMA quality;
    ASSERT_TRUE(prepare(quality, folder.File("Audio1.wma")));
    const std::vector<uint8_t> second = StereoTone(1.0, 1000);
    quality.Write(second.data(), static_cast<uint32_t>(second.size()));
    quality.Finish();
    EXPECT_EQ(nShown, 320000u) << "the highest quality takes the highest bitrate";
    EXPECT_EQ(DecodeFile(folder.File("Audio1.wma")).bitRate, nShown);
    FreeDevices();
    CReceiverWMA::SetModuleFolder("");
}

}  // namespace
