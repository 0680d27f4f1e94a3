// Two hundred recordings in a row, in every output format, through the same
// recording session as the main window, on the virtual device with the manual
// clock: the threads and files one recording takes, its end must give back.
#include "EncoderFixtures.h"
#include "RecorderSettings.h"
#include "RecordingSession.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <unistd.h>

namespace
{
// What the process holds: threads and open descriptors. (A receiver lost per recording is memory
// LeakSanitizer finds when scripts/test-sanitizers runs this test.)
struct Footprint
{
    long nThreads = 0, nOpenFiles = 0;
};

Footprint Measure()
{
    Footprint f;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Threads:"))
            f.nThreads = std::stol(line.substr(8));
    f.nOpenFiles = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    return f;
}

class Soak : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseBuiltLameModule();
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        FreeDevices();
        theSettings = RecorderSettings();
    }
    void TearDown() override { FreeDevices(); }

    // One recording of a second and a half in the format, as the main window makes it:
    // the session keeps each format's receiver until the next one of that format.
    void RecordOnce(int nFormat, int nCycle)
    {
        theSettings.OutputFormat = nFormat;
        ASSERT_TRUE(m_session.Start(RecordingRequest{nFormat, m_folder.Path()}, nullptr)) << "cycle " << nCycle;
        winmm::virt::AdvanceClock(1.5);
        m_session.Stop();
        const RecordingOutcome outcome = m_session.Finish(nullptr);
        ASSERT_EQ(std::make_tuple(true, false, 1500u), std::make_tuple(outcome.bKept, outcome.bFailed, outcome.nMilliseconds))
            << "cycle " << nCycle << ": " << outcome.message;
        unlink(outcome.path.c_str());
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CTempFolder m_folder{"Soak"};
    CRecordingSession m_session;
};
}  // namespace

TEST_F(Soak, TwoHundredRecordingsInEveryFormatLeaveThreadsAndFilesAsTheyWere)
{
    const int kFormats[] = {OUTPUT_FORMAT_MP3, OUTPUT_FORMAT_OGG, OUTPUT_FORMAT_WAV, OUTPUT_FORMAT_WMA};
    // A round in each format first: libraries loaded once and caches filled are no growth.
    for (int i = 0; i < 8; ++i)
        ASSERT_NO_FATAL_FAILURE(RecordOnce(kFormats[i % 4], i));
    const Footprint before = Measure();

    for (int i = 0; i < 200; ++i)
        ASSERT_NO_FATAL_FAILURE(RecordOnce(kFormats[i % 4], 8 + i));
    m_session.FreeReceivers();
    const Footprint after = Measure();

    EXPECT_EQ(std::vector<std::string>{}, m_messages.Texts());
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path())) << "a working file left behind";
    EXPECT_EQ(before.nThreads, after.nThreads) << "threads left behind";
    EXPECT_EQ(before.nOpenFiles, after.nOpenFiles) << "descriptors left open";
}
