// One recording from a free name to a kept file, as both programs make it, on the virtual device's
// manual clock: what is kept, what the user is told, what the recording leaves of the system.
#include "EncoderFixtures.h"
#include "LameEncoder.h"
#include "RecordingSession.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class RecordingSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FreeDevices();
        UseBuiltLameModule();
        theSettings.LineIndex = -1;  // "Stereo Mix"
    }
    void TearDown() override
    {
        m_session.Finish(nullptr, true);
        m_session.FreeReceivers();
        FreeDevices();
    }
    RecordingRequest Request(int nFormat) { return RecordingRequest{nFormat, m_folder.Path()}; }
    RecordingOutcome RecordFor(int nFormat, double dSeconds, const std::function<void()>& meanwhile = nullptr)
    {
        if (!m_session.Start(Request(nFormat), nullptr))
            return RecordingOutcome();
        winmm::virt::AdvanceClock(dSeconds);
        if (meanwhile)
            meanwhile();
        m_session.Stop();
        return m_session.Finish(nullptr);
    }
    // The capture thread writes on its own time: a file takes its name once its first audio is in.
    void WaitForFile(const std::string& name)
    {
        ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(m_folder.File(name)); }, 10000)) << name;
    }
    std::vector<std::string> Files() { return FolderEntries(m_folder.Path()); }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
    CRecordingSession m_session;
};

// The ways a recording ends, each with the file it leaves and the one sentence the user reads.
TEST_F(RecordingSession, EachEndingKeepsWhatHoldsAudioAndSaysSoTruly)
{
    RecordingOutcome kept = RecordFor(OUTPUT_FORMAT_WAV, 1.3);
    EXPECT_EQ(std::make_tuple(true, false, 1300u, m_folder.File("Audio0.wav"), uint64_t(44 + 1.3 * 176400)),
              std::make_tuple(kept.bKept, kept.bFailed, kept.nMilliseconds, kept.path, kept.nSize));
    EXPECT_TRUE(m_messages.Texts().empty());

    RecordingOutcome empty = RecordFor(OUTPUT_FORMAT_OGG, 0);
    EXPECT_FALSE(empty.bKept);
    EXPECT_EQ(std::vector<std::string>{MSG_NOTHING_CAPTURED}, m_messages.Texts());
    EXPECT_EQ(std::vector<std::string>{"Audio0.wav"}, Files()) << "nothing under a name, no working file";
    m_messages.Clear();

    RecordingOutcome removed = RecordFor(OUTPUT_FORMAT_MP3, 1.5, [this] {
        WaitForFile("Audio0.mp3");
        unlink(m_folder.File("Audio0.mp3").c_str());
    });
    EXPECT_FALSE(removed.bKept);
    EXPECT_EQ(std::vector<std::string>{"The file \"" + m_folder.File("Audio0.mp3") +
                                       "\" was removed during the recording: no file was kept."},
              m_messages.Texts());
    m_messages.Clear();

    // Renamed by another program: the recording is complete where it went, and the user learns where.
    RecordingOutcome moved = RecordFor(OUTPUT_FORMAT_WAV, 1.5, [this] {
        WaitForFile("Audio1.wav");
        std::filesystem::rename(m_folder.File("Audio1.wav"), m_folder.File("Interview.wav"));
    });
    EXPECT_EQ(std::make_tuple(true, false, m_folder.File("Interview.wav"), 1500u),
              std::make_tuple(moved.bKept, moved.bFailed, moved.path, moved.nMilliseconds));
    EXPECT_EQ(std::vector<std::string>{"The file \"" + m_folder.File("Audio1.wav") +
                                       "\" was moved during the recording; the complete recording is \"" +
                                       m_folder.File("Interview.wav") + "\"."},
              m_messages.Texts());
    EXPECT_DOUBLE_EQ(1.5, DecodeFile(m_folder.File("Interview.wav")).duration);
}

// A recording sets the line's volume and unmutes it; afterwards the line is as every other program knew it,
// also when the start fails after the line was set.
TEST_F(RecordingSession, TheLineIsPutBackAfterARecordingAndAfterAFailedStart)
{
    auto stereoMix = [] { return winmm::virt::Device(0)->Lines()[2]; };
    auto line = stereoMix();
    line.muted = {true, true};
    line.volume = {12000, 12000};
    winmm::virt::Device(0)->SetLineState(2, line);
    theSettings.Mp3Volume = 50;
    RecordFor(OUTPUT_FORMAT_MP3, 1.0, [&] {
        EXPECT_EQ(std::make_pair(std::vector<bool>{false, false}, DWORD(32767)),
                  std::make_pair(stereoMix().muted, stereoMix().volume[0]))
            << "while recording: unmuted at the MP3 volume";
    });
    EXPECT_EQ(std::make_pair(std::vector<bool>{true, true}, std::vector<DWORD>{12000, 12000}),
              std::make_pair(stereoMix().muted, stereoMix().volume));

    theSettings.OggMode = 1;
    theSettings.OggMinBitrateIndex = 9;
    theSettings.OggMaxBitrateIndex = 0;
    EXPECT_FALSE(m_session.Start(Request(OUTPUT_FORMAT_OGG), nullptr));
    EXPECT_EQ(std::vector<std::string>{MSG_OGG_MIN_ABOVE_MAX}, m_messages.Texts());
    EXPECT_EQ(std::make_pair(std::vector<bool>{true, true}, std::vector<DWORD>{12000, 12000}),
              std::make_pair(stereoMix().muted, stereoMix().volume));
    EXPECT_EQ(std::vector<std::string>{"Audio0.mp3"}, Files());
}

// The capture thread finishes the file while the user already changes the settings (the Settings
// button is enabled again once Stop returns): the file has the tags of the moment it was started, also
// after a change made while it records, and ThreadSanitizer finds nothing read on both threads.
TEST_F(RecordingSession, SettingsChangedWhileTheReceiverFinishesDoNotReachTheFile)
{
    theSettings.Artist = "Before";
    theSettings.Title = "Take";
    ASSERT_TRUE(m_session.Start(Request(OUTPUT_FORMAT_MP3), nullptr));
    winmm::virt::AdvanceClock(1.5);
    theSettings.Artist = "During";
    m_session.Stop();
    for (int i = 0; m_session.Capture().IsThreadRunning(); ++i)
    {
        theSettings.Artist = "After " + std::to_string(i);
        theSettings.Title = std::string(200, static_cast<char>('a' + i % 26));
        std::this_thread::yield();
    }
    const RecordingOutcome outcome = m_session.Finish(nullptr);
    DecodedAudio decoded = DecodeFile(outcome.path);
    EXPECT_EQ(std::make_pair(std::string("Before"), std::string("Take")),
              std::make_pair(decoded.tags["artist"], decoded.tags["title"]));
}

// A one-second buffer filled just before Stop, and the capture thread had not yet queued the next: what
// came after it waited with the device, and reaches the recording all the same.
TEST_F(RecordingSession, AudioCapturedAfterABufferFilledJustBeforeStopIsKept)
{
    ASSERT_TRUE(m_session.Start(Request(OUTPUT_FORMAT_WAV), nullptr));
    {
        // The capture thread cannot take the filled buffer meanwhile: the last 40 ms find no buffer queued.
        std::lock_guard<std::recursive_mutex> global(GlobalDeviceLock());
        winmm::virt::Device(0)->AdvanceManual(1'040'000'000ull, false);
    }
    m_session.Stop();
    EXPECT_EQ(1040u, m_session.Finish(nullptr).nMilliseconds);
}

// A recording that ends by itself (its length reached, a full disk) is over for its owner as soon as
// the view hears of it, however long the capture thread takes to return.
TEST_F(RecordingSession, ARecordingThatEndsByItselfHasEndedWhenTheViewIsTold)
{
    struct CSlowView : IWaveformView
    {
        std::mutex mutex;
        std::condition_variable told;
        bool bTold = false;
        void AddSamples(const std::vector<int32_t>&, uint32_t) override {}
        void OnCaptureStopped(uint32_t) override
        {
            {
                std::lock_guard<std::mutex> lock(mutex);
                bTold = true;
            }
            told.notify_all();
            // The capture thread is held up after telling, as any thread may be.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    } view;
    SetWaveformView(&view);
    RecordingRequest request = Request(OUTPUT_FORMAT_WAV);
    request.nFrameLimit = 22050;
    ASSERT_TRUE(m_session.Start(request, nullptr));
    std::thread clock([] { winmm::virt::AdvanceClock(1.0); });
    {
        std::unique_lock<std::mutex> lock(view.mutex);
        view.told.wait(lock, [&] { return view.bTold; });
    }
    EXPECT_TRUE(m_session.HasEnded());
    clock.join();
    EXPECT_EQ(500u, m_session.Finish(nullptr).nMilliseconds);
    SetWaveformView(nullptr);
}

// The encoder's last frames meet a file-size limit as the recording is finished: the user hears why
// the file is short, and the length given is what it holds.
TEST_F(RecordingSession, AWriteThatFailsAsTheFileIsFinishedIsTold)
{
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_TRUE(m_session.Start(Request(OUTPUT_FORMAT_MP3), nullptr));
    winmm::virt::AdvanceClock(1.0);
    WaitForFile("Audio0.mp3");
    const std::string path = m_folder.File("Audio0.mp3");
    struct stat st{};
    ASSERT_TRUE(PollUntil([&] { return stat(path.c_str(), &st) == 0 && st.st_size > 0; }, 5000));
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(st.st_size);  // not a byte more
    setrlimit(RLIMIT_FSIZE, &limited);
    m_session.Stop();
    const RecordingOutcome outcome = m_session.Finish(nullptr, true);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(std::make_tuple(true, true), std::make_tuple(outcome.bKept, outcome.bFailed));
    EXPECT_NE(std::string::npos, outcome.message.find("largest file size this system allows you")) << outcome.message;
    EXPECT_NEAR(DecodeFile(path).duration * 1000, outcome.nMilliseconds, 60);
}

// ---- skipping silence ----

// Stereo Mix is a 1500 Hz tone at half scale on the left; at a line volume of 300 it is quiet (-53 dBFS),
// but not silent, so what is kept of it shows. A take that begins quiet begins 0.3 s before its first sound;
// a later quiet stretch keeps its first two seconds (the hold) and the 0.3 s before the sound that ends it,
// and the sound after it is whole. The length counts what was written. A take that hears nothing but
// silence keeps no file and says why.
TEST_F(RecordingSession, SkippedSilenceKeepsTheHoldAndThePreRollAndTheSoundWhole)
{
    const DWORD QUIET = 300;
    auto setVolume = [](DWORD nVolume) {
        auto line = winmm::virt::Device(0)->Lines()[2];
        line.volume = {nVolume, nVolume};
        winmm::virt::Device(0)->SetLineState(2, line);
    };
    RecordingRequest request = Request(OUTPUT_FORMAT_WAV);
    request.skipSilence = SilenceGateOptions{true, -45, 2000};
    ASSERT_TRUE(m_session.Start(request, nullptr));
    // Quiet [0, 0.75 s), sound to 1.5 s, quiet to 5.25 s, sound to 6 s; the changes fall inside buffers.
    for (const auto& [nVolume, dSeconds] : {std::pair{QUIET, 0.75}, {65535u, 0.75}, {QUIET, 3.75}, {65535u, 0.75}})
    {
        setVolume(nVolume);
        winmm::virt::AdvanceClock(dSeconds);
    }
    m_session.Stop();
    const RecordingOutcome outcome = m_session.Finish(nullptr);

    // Source frames written: the tone is 0 at 0.75 s and at 5.25 s, so the sound begins a frame later.
    const uint64_t nPreRoll = 13230, nHold = 88200;
    const std::pair<uint64_t, uint64_t> written[] = {{33076 - nPreRoll, 66150 + nHold}, {231526 - nPreRoll, 264600}};
    std::vector<float> expected;
    for (const auto& [nFirst, nEnd] : written)
        for (uint64_t n = nFirst; n < nEnd; ++n)
        {
            const bool bLoud = (n >= 33075 && n < 66150) || n >= 231525;
            expected.push_back(static_cast<float>(0.5 * (bLoud ? 1.0 : QUIET / 65535.0) *
                                                  std::sin(2 * M_PI * 1500 * double(n) / 44100)));
        }
    const DecodedAudio decoded = DecodeFile(outcome.path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    ASSERT_EQ(expected.size(), decoded.firstChannel.size());
    size_t nWrong = 0, nFirstWrong = expected.size();
    for (size_t i = 0; i < expected.size(); ++i)
        if (std::fabs(expected[i] - decoded.firstChannel[i]) > 0.0005 && nWrong++ == 0)
            nFirstWrong = i;
    EXPECT_EQ(std::make_pair(size_t(0), expected.size()), std::make_pair(nWrong, nFirstWrong));
    EXPECT_EQ(std::make_tuple(true, false, static_cast<uint32_t>(expected.size() * 1000 / 44100)),
              std::make_tuple(outcome.bKept, outcome.bFailed, outcome.nMilliseconds));

    ASSERT_TRUE(m_session.Start(request, nullptr));
    setVolume(0);
    winmm::virt::AdvanceClock(2.5);
    m_session.Stop();
    EXPECT_FALSE(m_session.Finish(nullptr).bKept);
    EXPECT_EQ(std::vector<std::string>{MSG_ONLY_SILENCE}, m_messages.Texts());
    EXPECT_EQ(std::vector<std::string>{"Audio0.wav"}, Files());
}

// ---- split recordings ----

// Advances the manual clock a second at a time, and hands the capture each next file once it has the
// second's audio, as the window does when the view tells it of a finished file.
void AdvanceSplitting(CRecordingSession& session, int nSeconds)
{
    for (int s = 0; s < nSeconds; ++s)
    {
        const uint64_t nBefore = session.Capture().CapturedFrames();
        winmm::virt::AdvanceClock(1.0);
        for (int i = 0; i < 2000 && session.Capture().CapturedFrames() < nBefore + 44100; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(session.GoOnSplitting());
    }
}

std::string WavData(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size() > 44 ? bytes.substr(44) : std::string();
}

// A recording split every 1.5 s, cut inside the capture's one-second buffers: the WAV files joined hold
// exactly what one unsplit recording of the device's running signal holds, frame for frame, so nothing is
// lost or doubled at a join; each file has its own row-worth of outcome, and an MP3 recording's files
// each decode at their length with their tags.
TEST_F(RecordingSession, ASplitRecordingGoesOnIntoTheNextFilesWithoutLosingOrRepeatingAFrame)
{
    RecordingRequest split = Request(OUTPUT_FORMAT_WAV);
    split.nSplitMilliseconds = 1500;
    ASSERT_TRUE(m_session.Start(split, nullptr));
    AdvanceSplitting(m_session, 5);
    winmm::virt::AdvanceClock(0.25);
    m_session.Stop();
    const RecordingOutcome last = m_session.Finish(nullptr);
    std::vector<RecordingOutcome> files = m_session.TakeFinishedFiles();
    files.push_back(last);
    std::vector<std::string> paths;
    std::vector<uint32_t> lengths;
    std::string joined;
    for (const RecordingOutcome& file : files)
    {
        paths.push_back(file.path);
        lengths.push_back(file.nMilliseconds);
        joined += WavData(file.path);
        EXPECT_DOUBLE_EQ(file.nMilliseconds / 1000.0, DecodeFile(file.path).duration) << file.path;
    }
    EXPECT_EQ((std::vector<std::string>{m_folder.File("Audio0.wav"), m_folder.File("Audio1.wav"),
                                        m_folder.File("Audio2.wav"), m_folder.File("Audio3.wav")}),
              paths);
    EXPECT_EQ((std::vector<uint32_t>{1500, 1500, 1500, 750}), lengths);
    EXPECT_EQ(m_folder.File("Audio1.wav"), files[0].continuedIn);

    // The same 5.25 s unsplit: the device's signal starts afresh with the recording.
    ASSERT_TRUE(m_session.Start(Request(OUTPUT_FORMAT_WAV), nullptr));
    winmm::virt::AdvanceClock(5.25);
    m_session.Stop();
    const std::string whole = WavData(m_session.Finish(nullptr).path);
    ASSERT_EQ(whole.size(), joined.size());
    EXPECT_TRUE(whole == joined) << "the joined files differ from the unsplit recording";
    EXPECT_TRUE(m_messages.Texts().empty());

    theSettings.Artist = "Night";
    RecordingRequest mp3 = Request(OUTPUT_FORMAT_MP3);
    mp3.nSplitMilliseconds = 1500;
    ASSERT_TRUE(m_session.Start(mp3, nullptr));
    // The files made later have the settings the recording started with.
    theSettings.Artist = "Changed while recording";
    AdvanceSplitting(m_session, 4);
    m_session.Stop();
    const RecordingOutcome lastMp3 = m_session.Finish(nullptr);
    files = m_session.TakeFinishedFiles();
    files.push_back(lastMp3);
    ASSERT_EQ(3u, files.size());
    for (const RecordingOutcome& file : files)
    {
        DecodedAudio d = DecodeFile(file.path);
        EXPECT_NEAR(&file == &files.back() ? 1.0 : 1.5, d.duration, 0.06) << file.path << d.error;
        EXPECT_EQ("Night", d.tags["artist"]) << file.path;
    }
}

// The next file cannot be made (here its encoder's libraries are gone): the recording stops, says why,
// and keeps every file it wrote, the one it was writing included.
TEST_F(RecordingSession, ANextFileThatCannotBeMadeEndsTheRecordingKeepingWhatWasWritten)
{
    RecordingRequest split = Request(OUTPUT_FORMAT_OGG);
    split.nSplitMilliseconds = 1500;
    ASSERT_TRUE(m_session.Start(split, nullptr));
    SetVorbisModuleNames("/nonexistent/libvorbis.so.0", "/nonexistent/libvorbisenc.so.2", "/nonexistent/libogg.so.0");
    AdvanceSplitting(m_session, 1);
    winmm::virt::AdvanceClock(1.0);
    for (int i = 0; i < 2000 && m_session.Capture().CapturedFrames() < 88200; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool bGoesOn = m_session.GoOnSplitting();
    SetVorbisModuleNames("", "", "");
    EXPECT_FALSE(bGoesOn);
    const RecordingOutcome last = m_session.Finish(nullptr, true);
    const std::vector<RecordingOutcome> before = m_session.TakeFinishedFiles();
    ASSERT_EQ(1u, before.size());
    EXPECT_EQ(std::make_tuple(true, m_folder.File("Audio0.ogg"), 1500u),
              std::make_tuple(before[0].bKept, before[0].path, before[0].nMilliseconds));
    EXPECT_EQ(std::make_tuple(true, true, m_folder.File("Audio1.ogg"), 500u),
              std::make_tuple(last.bKept, last.bFailed, last.path, last.nMilliseconds));
    EXPECT_NE(std::string::npos, last.message.find("Error loading libvorbis.dll")) << last.message;
    EXPECT_NE(std::string::npos, last.message.find("What was recorded until then is kept.")) << last.message;
    EXPECT_NEAR(0.5, DecodeFile(last.path).duration, 0.01);
    EXPECT_EQ((std::vector<std::string>{"Audio0.ogg", "Audio1.ogg"}), Files()) << "no working file left";
}
