// The WMA receiver on the real library modules: recordings from the virtual device that
// an independent decoder and a player take, with their tags; and what a missing module says.
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "ReceiverWMA.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "basswma.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>
#include <filesystem>
#include <numeric>
#include <sys/resource.h>

namespace
{
namespace fs = std::filesystem;

void CopyFromAppDir(const std::string& name, const CTempFolder& folder)
{
    fs::copy_file(std::string(VORANE_APP_DIR) + "/" + name, folder.File(name));
}

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
            CopyFromAppDir(module, folder);
        CReceiverWMA::SetModuleFolder(folder.Path());
        std::string thrown;
        try
        {
            CReceiverWMA().LoadLibraries();
        }
        catch (const char* pszText)
        {
            thrown = pszText;
        }
        EXPECT_EQ(thrown, cases[i].second) << i;
    }
    CReceiverWMA::SetModuleFolder("");
}

// The command-line recorder copied into a folder, first without the add-on module, then with it.
TEST(WmaCommandLine, NamesAMissingModuleThenRecordsAPlayableFileWithBoth)
{
    CTempFolder folder("wma-cli");
    CopyFromAppDir("vorane-record", folder);
    CopyFromAppDir("libbass.so", folder);
    const std::string record = "cd '" + folder.Path() + "' && ./vorane-record -f wma -s 1 -o out --line 'Line In' 2>&1";
    std::string output;
    EXPECT_NE(RunCommand(record, &output), 0);
    EXPECT_NE(output.find("Error loading basswma.dll"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(folder.File("out/Audio0.wma")));

    CopyFromAppDir("libbasswma.so", folder);
    ASSERT_EQ(RunCommand(record, &output), 0) << output;
    DecodedAudio a = DecodeFile(folder.File("out/Audio0.wma"));
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.codec, "wmav2");
    EXPECT_GE(a.duration, 1.0);
    EXPECT_NEAR(DominantFrequency(a.firstChannel, 44100), 1000, 10);
}

// Every size the capture thread hands on to the view.
struct CShownSizes : IWaveformView
{
    void AddSamples(const std::vector<int32_t>&, uint32_t nBytesWritten) override { sizes.push_back(nBytesWritten); }
    void OnCaptureStopped(int) override {}
    std::vector<uint32_t> sizes;
};

class WmaRecording : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        theSettings.WmaMode = 0;
        theSettings.WmaBitrateIndex = 2;
        theSettings.AlbumTitle = "Harbour Lights";
        theSettings.Artist = "The Quay Players";
        theSettings.Title = "Évening Tide";
        theSettings.YearIndex = 7;
        theSettings.LineIndex = -1;
    }
    void TearDown() override
    {
        FreeDevices();
        CReceiverWMA::SetModuleFolder("");
    }

    // Prepares the line and the receiver as the controller does; false when Open failed.
    bool Prepare(CReceiverWMA& receiver, const std::string& path)
    {
        PrepareRecordingLine(CAPTURE_MODE_WMA, 2, 44100, 16, 100);
        receiver.LoadLibraries();
        receiver.FileName = path;
        return receiver.Open(&m_shown) == 0;
    }

    // Captures whole seconds into the receiver and stops; returns what each Write reported.
    std::vector<uint32_t> Capture(CReceiverWMA& receiver, int nSeconds)
    {
        CShownSizes view;
        SetWaveformView(&view);
        EXPECT_TRUE(RecordOnManualClock(&receiver, nSeconds));
        SetWaveformView(nullptr);
        EXPECT_GE(view.sizes.size(), static_cast<size_t>(nSeconds));
        return view.sizes;
    }

    CSettingsScope m_settings;
    CManualClockScope m_clock;
    CTempFolder m_folder{"wma-recording"};
    std::string m_path = m_folder.File("Audio0.wma");
    uint32_t m_shown = 0;
};

void ExpectWmaFile(const std::string& path, uint32_t nBitrate, int nSeconds, double dFrequency)
{
    DecodedAudio a = DecodeFile(path);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.codec, "wmav2");
    EXPECT_EQ(a.sampleRate, 44100);
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.bitRate, nBitrate);
    // Every captured second is there, plus at most the encoder's delay and padding.
    EXPECT_GE(a.duration, nSeconds);
    EXPECT_LE(a.duration, nSeconds + 0.2);
    EXPECT_NEAR(DominantFrequency(a.firstChannel, 44100), dFrequency, 10);
}

// A failed Open (no such folder) leaves the next recording free to start: a stereo mix at
// 64 kbit/s that gives a WMA file with every second and its tags.
TEST_F(WmaRecording, AFailedOpenLeavesTheNextRecordingFreeToStartAndItGivesAWmaFileWithEverySecondAndItsTags)
{
    {
        CReceiverWMA receiver;
        std::string missing = m_folder.File("no-such-folder/Audio0.wma");
        EXPECT_FALSE(Prepare(receiver, missing));
        EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_CANT_CREATE);
        EXPECT_EQ(receiver.State, 0);
        EXPECT_FALSE(fs::exists(missing));
    }
    CReceiverWMA receiver;
    ASSERT_TRUE(Prepare(receiver, m_path)) << receiver.OpenFailure();
    EXPECT_EQ(m_shown, 64000u);
    std::vector<uint32_t> writes = Capture(receiver, 4);
    EXPECT_EQ(writes.size(), 4u);
    EXPECT_EQ(receiver.State, 2);

    ExpectWmaFile(m_path, 64000, 4, 1500);
    // FFmpeg names album and artist in its own words and keeps the attribute name "Title".
    EXPECT_EQ(DecodeFile(m_path).tags, (std::map<std::string, std::string>{{"album", "Harbour Lights"},
                                                                          {"artist", "The Quay Players"},
                                                                          {"Title", "Évening Tide"},
                                                                          {"WM/Year", std::to_string(TagYear(7))},
                                                                          {"WM/ToolName", "vodArev"}}))
        << "and no encoder name of the libraries' own";

    // The size shown while recording grows with every second and stays within the file.
    for (uint32_t n : writes)
        EXPECT_GT(n, 0u);
    uint64_t nShownSize = std::accumulate(writes.begin(), writes.end(), uint64_t{0});
    uint64_t nFileSize = fs::file_size(m_path);
    EXPECT_LE(nShownSize, nFileSize);
    EXPECT_GE(nShownSize, nFileSize * 3 / 4);
}

TEST_F(WmaRecording, EmptyTextsLeaveOnlyYearAndToolName)
{
    theSettings.LineIndex = 0;
    theSettings.WmaBitrateIndex = 5;  // 128 kbit/s
    theSettings.AlbumTitle.clear();
    theSettings.Artist.clear();
    theSettings.Title.clear();
    CReceiverWMA receiver;
    ASSERT_TRUE(Prepare(receiver, m_path));
    Capture(receiver, 2);
    ExpectWmaFile(m_path, 128000, 2, 440);
    EXPECT_EQ(DecodeFile(m_path).tags, (std::map<std::string, std::string>{{"WM/Year", std::to_string(TagYear(7))},
                                                                          {"WM/ToolName", "vodArev"}}));
}

TEST_F(WmaRecording, GStreamerPlaysTheFile)
{
    if (RunCommand("command -v gst-launch-1.0 >/dev/null") != 0)
        GTEST_SKIP() << "gst-launch-1.0 is not installed";
    CReceiverWMA receiver;
    ASSERT_TRUE(Prepare(receiver, m_path));
    Capture(receiver, 2);
    EXPECT_EQ(RunCommand("gst-launch-1.0 -q filesrc location='" + m_path + "' ! decodebin ! fakesink 2>&1"), 0);
}

TEST_F(WmaRecording, AFullDiskEndsTheRecordingAndKeepsWhatWasWritten)
{
    CReceiverWMA receiver;
    ASSERT_TRUE(Prepare(receiver, m_path));
    std::vector<uint8_t> second = StereoTone(1.0, 1000);
    const char* pszEnded = nullptr;
    int nSeconds = 0;
    // The largest file this process may write lowered to five seconds at 64 kbit/s, as a full disk would.
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{40000, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    try
    {
        for (; nSeconds < 20; ++nSeconds)
            receiver.Write(second.data(), static_cast<uint32_t>(second.size()));
    }
    catch (const CRecordingEnded& ended)
    {
        pszEnded = ended.szMessage;
    }
    receiver.Finish();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_STREQ(pszEnded, MSG_WMA_WRITE_FAILED);
    EXPECT_LT(nSeconds, 10);
    DecodedAudio a = DecodeFile(m_path);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_GE(a.duration, 3.0);
    EXPECT_NEAR(DominantFrequency(a.firstChannel, 44100), 1000, 10);
}

// Each bitrate and quality of the settings opens a file at the bitrate shown, more quality never fewer bits.
TEST_F(WmaRecording, EveryBitrateAndQualityOfTheSettingsLandsInTheFile)
{
    for (int nMode : {0, 1})
    {
        theSettings.WmaMode = nMode;
        uint32_t nPrevious = 0;
        for (int i = 0; i < (nMode ? TableSize(WmaQualityTable) : TableSize(WmaBitrateTable)); ++i)
        {
            (nMode ? theSettings.WmaQualityIndex : theSettings.WmaBitrateIndex) = i;
            CReceiverWMA receiver;
            std::string path = m_folder.File("Audio" + std::to_string(nMode) + "-" + std::to_string(i) + ".wma");
            ASSERT_TRUE(Prepare(receiver, path));
            receiver.Finish();
            if (nMode == 0)
            {
                EXPECT_EQ(m_shown, WmaBitrateTable[i] * 1000u);
            }
            EXPECT_GE(m_shown, nPrevious) << nMode << " " << i;
            EXPECT_EQ(DecodeFile(path).bitRate, m_shown);
            nPrevious = m_shown;
        }
        EXPECT_EQ(nPrevious, 320000u) << "the last entry is the highest bitrate";
    }
}

// The add-on module's own lists, and the walk over them.
TEST(WmaRealList, OffersEveryBitrateAndQualityOfTheSettingsAndTheWalkPicksTheNearestAboveOrTheHighest)
{
    void* hModule = dlopen(VORANE_APP_DIR "/libbasswma.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hModule, nullptr) << dlerror();
    auto getRates = reinterpret_cast<decltype(&BASS_WMA_EncodeGetRates)>(dlsym(hModule, "BASS_WMA_EncodeGetRates"));
    ASSERT_NE(getRates, nullptr);
    auto list = [&](DWORD flags) {
        std::vector<uint32_t> v;
        for (const DWORD* p = getRates(44100, 2, flags); p && *p; ++p)
            v.push_back(*p);
        return v;
    };
    std::vector<uint32_t> rates = list(0);
    ASSERT_FALSE(rates.empty());
    EXPECT_TRUE(std::is_sorted(rates.rbegin(), rates.rend()));
    EXPECT_EQ(rates.front(), 320000u);
    EXPECT_EQ(rates.back(), 32000u);
    rates.push_back(0);
    for (int kbps : WmaBitrateTable)
        EXPECT_EQ(CReceiverWMA::MatchBitrate(kbps * 1000, rates.data()), kbps * 1000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(100000, rates.data()), 128000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(20000, rates.data()), 32000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(500000, rates.data()), 320000u);
    std::vector<uint32_t> qualities = list(BASS_WMA_ENCODE_RATES_VBR);
    for (int q : WmaQualityTable)
        EXPECT_NE(std::find(qualities.begin(), qualities.end(), static_cast<uint32_t>(q)), qualities.end()) << q;
    EXPECT_EQ(getRates(96000, 2, 0), nullptr) << "the encoder takes at most 48 kHz";
    dlclose(hModule);
}
}  // namespace
