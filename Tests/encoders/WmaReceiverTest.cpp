// The WMA receiver on the real library modules: recordings from the virtual
// device that an independent decoder and a player take, with their tags.
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "basswma.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <sys/resource.h>
#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <numeric>

namespace
{
namespace fs = std::filesystem;

// A folder of its own per test: CTest runs the tests of one program side by side.
std::string FolderForThisTest(const char* pszPrefix)
{
    return std::string(pszPrefix) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Counts what the capture thread hands on, so a test can wait for it.
class CRecordedSeconds : public IWaveformView
{
public:
    void AddSamples(const std::vector<int32_t>&, uint32_t nBytesWritten) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_writes.push_back(nBytesWritten);
        m_changed.notify_all();
    }
    void OnCaptureStopped(int) override {}

    bool WaitFor(size_t nSeconds)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return m_writes.size() >= nSeconds; });
    }
    std::vector<uint32_t> Writes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writes;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint32_t> m_writes;
};

class WmaRecording : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = theSettings;
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
        theSettings = m_saved;
    }

    // Prepares the line and the receiver as the controller does; false when Open failed.
    bool Prepare(CReceiverWMA& receiver, const std::string& path, uint32_t& nShown)
    {
        PrepareRecordingLine(CAPTURE_MODE_WMA, 2, 44100, 16, 100);
        receiver.LoadLibraries();
        receiver.FileName = path;
        return receiver.Open(&nShown) == 0;
    }

    // Captures whole seconds into the receiver and stops; returns what each Write reported.
    std::vector<uint32_t> Capture(CReceiverWMA& receiver, int nSeconds)
    {
        CRecordedSeconds view;
        SetWaveformView(&view);
        CDeviceThread capture;
        capture.StartCapture(&receiver);
        winmm::virt::AdvanceClock(nSeconds);
        EXPECT_TRUE(view.WaitFor(nSeconds));
        capture.StopCapture();
        EXPECT_TRUE(capture.WaitForCaptureEnd(20000));
        SetWaveformView(nullptr);
        return view.Writes();
    }

    CManualClockScope m_clock;
    CTempFolder m_folder{FolderForThisTest("wma-recording")};
    RecorderSettings m_saved;
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

TEST_F(WmaRecording, StereoMixAt64kbpsGivesAWmaFileWithEverySecondAndItsTags)
{
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown)) << receiver.OpenFailure();
    EXPECT_EQ(nShown, 64000u);
    std::vector<uint32_t> writes = Capture(receiver, 4);
    EXPECT_EQ(writes.size(), 4u);
    EXPECT_EQ(receiver.State, 2);

    ExpectWmaFile(path, 64000, 4, 1500);
    DecodedAudio a = DecodeFile(path);
    // FFmpeg names album and artist in its own words and keeps the attribute name "Title".
    EXPECT_EQ(a.tags, (std::map<std::string, std::string>{{"album", "Harbour Lights"},
                                                            {"artist", "The Quay Players"},
                                                            {"Title", "Évening Tide"},
                                                            {"WM/Year", std::to_string(TagYear(7))},
                                                            {"WM/ToolName", "vodArev"}}))
        << "and no encoder name of the libraries' own";

    // The size shown while recording grows with every second and stays within the file.
    for (uint32_t n : writes)
        EXPECT_GT(n, 0u);
    uint64_t nShownSize = std::accumulate(writes.begin(), writes.end(), uint64_t{0});
    uint64_t nFileSize = fs::file_size(path);
    EXPECT_LE(nShownSize, nFileSize);
    EXPECT_GE(nShownSize, nFileSize * 3 / 4);
}

TEST_F(WmaRecording, ItsFilesCarryRealAsfAttributeNames)
{
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown));
    Capture(receiver, 1);
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    auto holds = [&](const std::string& name) {
        std::string utf16;
        for (char c : name)
            utf16 += std::string{c, '\0'};
        return std::search(bytes.begin(), bytes.end(), utf16.begin(), utf16.end()) != bytes.end();
    };
    for (const char* name : {"WM/AlbumTitle", "Author", "Title", "WM/Year", "WM/ToolName"})
        EXPECT_TRUE(holds(name)) << name;
    EXPECT_FALSE(holds("title")) << "the title attribute keeps its capital";
    EXPECT_FALSE(holds("Lav")) << "no encoder name of the libraries' own";
}

TEST_F(WmaRecording, LineInInQualityModeShowsTheBitrateTheEncoderRuns)
{
    theSettings.LineIndex = 1;
    theSettings.WmaMode = 1;
    theSettings.WmaQualityIndex = 3;  // 75 %
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown));
    EXPECT_EQ(receiver.Bitrate, 75u);
    EXPECT_GT(nShown, 100u) << "bits per second, not the percentage";
    Capture(receiver, 2);
    ExpectWmaFile(path, nShown, 2, 1000);
}

TEST_F(WmaRecording, EmptyTextsLeaveOnlyYearAndToolName)
{
    theSettings.LineIndex = 0;
    theSettings.WmaBitrateIndex = 5;  // 128 kbit/s
    theSettings.AlbumTitle.clear();
    theSettings.Artist.clear();
    theSettings.Title.clear();
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown));
    Capture(receiver, 2);
    ExpectWmaFile(path, 128000, 2, 440);
    DecodedAudio a = DecodeFile(path);
    EXPECT_EQ(a.tags, (std::map<std::string, std::string>{{"WM/Year", std::to_string(TagYear(7))},
                                                            {"WM/ToolName", "vodArev"}}));
}

TEST_F(WmaRecording, GStreamerPlaysTheFile)
{
    if (RunCommand("command -v gst-launch-1.0 >/dev/null") != 0)
        GTEST_SKIP() << "gst-launch-1.0 is not installed";
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown));
    Capture(receiver, 2);
    EXPECT_EQ(RunCommand("gst-launch-1.0 -q filesrc location='" + path + "' ! decodebin ! fakesink 2>&1"), 0);
}

TEST_F(WmaRecording, AFailedOpenLeavesTheNextRecordingFreeToStart)
{
    {
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        std::string missing = m_folder.File("no-such-folder/Audio0.wma");
        EXPECT_FALSE(Prepare(receiver, missing, nShown));
        EXPECT_STREQ(receiver.OpenFailure(), MSG_WMA_CANT_CREATE);
        EXPECT_EQ(receiver.State, 0);
        EXPECT_FALSE(fs::exists(missing));
    }
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown)) << receiver.OpenFailure();
    Capture(receiver, 1);
    ExpectWmaFile(path, 64000, 1, 1500);
}

TEST_F(WmaRecording, AReceiverOpenedButNeverFinishedCompletesItsFileAndFreesTheLibrary)
{
    std::string first = m_folder.File("Audio0.wma");
    {
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        ASSERT_TRUE(Prepare(receiver, first, nShown));
    }
    DecodedAudio a = DecodeFile(first);
    EXPECT_TRUE(a.ok) << a.error;
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    ASSERT_TRUE(Prepare(receiver, m_folder.File("Audio1.wma"), nShown)) << receiver.OpenFailure();
    receiver.Finish();
}

// Lowers the largest file size this process may write, as a full disk would stop it.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t nBytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = nBytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_saved;
    void (*m_previousHandler)(int);
};

TEST_F(WmaRecording, AFullDiskEndsTheRecordingAndKeepsWhatWasWritten)
{
    CReceiverWMA receiver;
    uint32_t nShown = 0;
    std::string path = m_folder.File("Audio0.wma");
    ASSERT_TRUE(Prepare(receiver, path, nShown));
    std::vector<uint8_t> second = StereoTone(1.0, 1000);
    const char* pszEnded = nullptr;
    int nSeconds = 0;
    {
        CFileSizeLimit limit(40000);  // five seconds at 64 kbit/s
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
    }
    EXPECT_STREQ(pszEnded, MSG_WMA_WRITE_FAILED);
    EXPECT_LT(nSeconds, 10);
    DecodedAudio a = DecodeFile(path);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_GE(a.duration, 3.0);
    EXPECT_NEAR(DominantFrequency(a.firstChannel, 44100), 1000, 10);
}

// The module's own lists, and the walk over them.
class WmaRealList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hModule = dlopen(VORANE_APP_DIR "/libbasswma.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_hModule, nullptr) << dlerror();
        m_getRates = reinterpret_cast<decltype(&BASS_WMA_EncodeGetRates)>(dlsym(m_hModule, "BASS_WMA_EncodeGetRates"));
        ASSERT_NE(m_getRates, nullptr);
    }
    void TearDown() override
    {
        if (m_hModule)
            dlclose(m_hModule);
    }
    static std::vector<uint32_t> ToVector(const uint32_t* p)
    {
        std::vector<uint32_t> v;
        while (p && *p)
            v.push_back(*p++);
        return v;
    }

    void* m_hModule = nullptr;
    decltype(&BASS_WMA_EncodeGetRates) m_getRates = nullptr;
};

TEST_F(WmaRealList, OffersEveryBitrateAndQualityOfTheSettingsHighestFirst)
{
    std::vector<uint32_t> rates = ToVector(m_getRates(44100, 2, 0));
    ASSERT_FALSE(rates.empty());
    EXPECT_TRUE(std::is_sorted(rates.rbegin(), rates.rend()));
    EXPECT_EQ(rates.front(), 320000u);
    EXPECT_EQ(rates.back(), 32000u);
    for (int kbps : WmaBitrateTable)
        EXPECT_EQ(CReceiverWMA::MatchBitrate(kbps * 1000, rates.data()), kbps * 1000u);
    std::vector<uint32_t> qualities = ToVector(m_getRates(44100, 2, BASS_WMA_ENCODE_RATES_VBR));
    for (int q : WmaQualityTable)
        EXPECT_NE(std::find(qualities.begin(), qualities.end(), static_cast<uint32_t>(q)), qualities.end()) << q;
    EXPECT_EQ(m_getRates(96000, 2, 0), nullptr) << "the encoder takes at most 48 kHz";
}

TEST_F(WmaRealList, TheWalkPicksTheNearestListedBitrateAboveOrTheHighest)
{
    std::vector<uint32_t> rates = ToVector(m_getRates(44100, 2, 0));
    rates.push_back(0);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(100000, rates.data()), 128000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(20000, rates.data()), 32000u);
    EXPECT_EQ(CReceiverWMA::MatchBitrate(500000, rates.data()), 320000u);
}

TEST_F(WmaRecording, EveryBitrateOfTheSettingsLandsInTheFile)
{
    for (int i = 0; i < TableSize(WmaBitrateTable); ++i)
    {
        theSettings.WmaBitrateIndex = i;
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        std::string path = m_folder.File("Audio" + std::to_string(i) + ".wma");
        ASSERT_TRUE(Prepare(receiver, path, nShown));
        receiver.Finish();
        EXPECT_EQ(nShown, WmaBitrateTable[i] * 1000u);
        EXPECT_EQ(DecodeFile(path).bitRate, WmaBitrateTable[i] * 1000);
    }
}

TEST_F(WmaRecording, MoreQualityNeverMeansFewerBits)
{
    theSettings.WmaMode = 1;
    uint32_t nPrevious = 0;
    for (int i = 0; i < TableSize(WmaQualityTable); ++i)
    {
        theSettings.WmaQualityIndex = i;
        CReceiverWMA receiver;
        uint32_t nShown = 0;
        std::string path = m_folder.File("Audio" + std::to_string(i) + ".wma");
        ASSERT_TRUE(Prepare(receiver, path, nShown));
        receiver.Finish();
        EXPECT_GE(nShown, nPrevious) << WmaQualityTable[i] << " %";
        EXPECT_EQ(DecodeFile(path).bitRate, nShown);
        nPrevious = nShown;
    }
    EXPECT_EQ(nPrevious, 320000u) << "100 % is the highest bitrate";
}
}  // namespace
