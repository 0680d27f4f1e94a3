// Two hundred recordings in a row, in every output format, through the same
// recording start as the main window, on the virtual device with the manual
// clock: the threads and files one recording takes, its end must give back.
#include "LameEncoder.h"
#include "RecorderSettings.h"
#include "RecordingStart.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
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
        SetLameLibraryPath(std::string(VORANE_APP_DIR) + "/liblame_enc.so");
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        FreeDevices();
        theSettings = RecorderSettings();
    }
    void TearDown() override { FreeDevices(); }

    // One recording of a second and a half in the format, as the main window makes
    // it: the starter keeps each format's receiver until the next one of that format.
    void RecordOnce(int nFormat, int nCycle)
    {
        theSettings.OutputFormat = nFormat;
        const std::string path = m_folder.File("take" + std::to_string(nCycle));
        RecordingInfo info;
        IReceiver* pReceiver = m_starter.Prepare(nFormat, path, info, nullptr);
        ASSERT_NE(nullptr, pReceiver) << "cycle " << nCycle;
        m_capture.StartCapture(pReceiver);
        winmm::virt::AdvanceClock(1.5);
        m_capture.StopCapture();
        ASSERT_TRUE(m_capture.WaitForCaptureEnd(20000)) << "cycle " << nCycle;
        unlink(path.c_str());
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CTempFolder m_folder{"Soak"};
    CDeviceThread m_capture;
    CRecordingStarter m_starter{m_capture};
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
    m_starter.FreeReceivers();
    const Footprint after = Measure();

    EXPECT_TRUE(m_messages.Texts().empty()) << m_messages.Texts().front();
    EXPECT_EQ(before.nThreads, after.nThreads) << "threads left behind";
    EXPECT_EQ(before.nOpenFiles, after.nOpenFiles) << "descriptors left open";
}
