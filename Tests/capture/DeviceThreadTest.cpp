// The capture worker on the virtual device with the manual clock: what the
// receiver and the view are handed, and how every failure is reported; and the
// display copy of each device format the ring of capture buffers makes.
#include "CaptureFakes.h"
#include "EncoderFixtures.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using winmm::WaveCall;

TEST(BufferRing, DisplaySamplesFollowTheDeviceFormatAndAnUnsupportedSizeIsRefused)
{
    const struct
    {
        WORD channels;
        DWORD rate;
        WORD bits;
        std::vector<uint8_t> pattern;
        int32_t first;
        size_t count;  // 0: refused
    } cases[] = {
        {1, 11025, 8, {0}, -8192, 11025},
        {2, 11025, 8, {0, 0}, -32768, 5512},       {2, 11025, 8, {255, 255}, 32512, 5512},
        {2, 44100, 16, {0xFD, 0xFF, 0, 0}, -1, 22050},  // (-3 + 0) / 2 truncates toward zero
        {1, 22050, 16, {0x2E, 0xFB}, -1234, 22050},
        {1, 8000, 24, {0}, 0, 0},
    };
    for (const auto& c : cases)
    {
        CHandDevice device(c.channels, c.rate, c.bits);
        CWaveBufferRing ring(2);
        ring.Setup(&device);
        device.Complete(c.pattern);
        std::vector<int32_t> display;
        std::vector<uint8_t> bytes;
        SCOPED_TRACE(std::to_string(c.channels) + " ch " + std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bits");
        if (c.count == 0)
        {
            EXPECT_EQ("Unsupported format", ThrownText([&] { ring.Collect(display, bytes); }));
            continue;
        }
        ring.Collect(display, bytes);
        ASSERT_FALSE(display.empty());
        EXPECT_EQ(std::make_pair(c.first, c.count), std::make_pair(display[0], display.size()));
    }
}

class CaptureWorker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FreeDevices();
        ASSERT_FALSE(EnumDevices().empty());
        m_pDevice = EnumDevices()[0];
        SetCurrentDevice(m_pDevice);
        ASSERT_TRUE(m_pDevice->SetFormat(CAPTURE_MODE_MP3, 0, 0, 0));
        SetWaveformView(&m_view);
    }
    void TearDown() override
    {
        m_capture.StopCapture();
        m_capture.WaitForCaptureEnd();
        SetWaveformView(nullptr);
        FreeDevices();
    }
    std::shared_ptr<winmm::virt::CVirtualWaveIn> Virtual() { return winmm::virt::Device(0); }

    void Start(CFakeReceiver& receiver, double dSeconds)
    {
        ASSERT_EQ("", m_capture.StartCapture(&receiver));
        winmm::virt::AdvanceClock(dSeconds);
    }
    void Record(CFakeReceiver& receiver, double dSeconds)
    {
        Start(receiver, dSeconds);
        m_capture.StopCapture();
        ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    }
    // After a failure: the next recording works and shows nothing.
    void ExpectNextRecordingWorks()
    {
        m_messages.Clear();
        CFakeReceiver next;
        Record(next, 1.0);
        EXPECT_EQ(std::make_tuple(size_t(1), 1, std::vector<std::string>{}, false),
                  std::make_tuple(next.sizes.size(), next.finishes, m_messages.Texts(), m_capture.Ending().bFailed));
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CFakeView m_view;
    CWaveIn* m_pDevice = nullptr;
    CDeviceThread m_capture;
};

// Everything up to the stop goes on: the whole seconds and the part of the last one, which continues the
// audio without a gap (the selected line, "Microphone", is a 440 Hz sine at half scale from the first frame on).
TEST_F(CaptureWorker, StoppingHandsOnEverythingCapturedUpToTheStopAndOneFinish)
{
    using Sizes = std::vector<uint32_t>;
    const std::tuple<double, Sizes, std::vector<size_t>> cases[] = {
        {0.0, {}, {}},
        {0.5, {88200}, {22050}},
        {2.5, {176400, 176400, 88200}, {22050, 22050, 22050}},
        {1.01, {176400, 1764}, {22050, 441}},
        {1.25, {176400, 44100}, {22050, 11025}},
    };
    for (const auto& [dSeconds, sizes, display] : cases)
    {
        SCOPED_TRACE(dSeconds);
        m_view = CFakeView();
        CFakeReceiver receiver;
        Record(receiver, dSeconds);
        EXPECT_EQ(std::make_tuple(sizes, 1, display, std::vector<uint32_t>{uint32_t(dSeconds * 1000 + 0.5)}),
                  std::make_tuple(receiver.sizes, receiver.finishes, m_view.displaySizes, m_view.stoppedMilliseconds));
        EXPECT_EQ(static_cast<uint64_t>(dSeconds * 44100 + 0.5), m_capture.Ending().nFrames);
        EXPECT_FALSE(m_capture.Ending().bFailed);
        const auto left = FirstChannel(receiver.data.data(), receiver.data.size(), 2);
        for (size_t i : {size_t(1), size_t(44099), size_t(44100), size_t(44101), left.size() - 1})
            if (i < left.size())
            {
                EXPECT_NEAR(0.5 * std::sin(2 * M_PI * 440 * i / 44100.0), left[i], 0.001) << "frame " << i;
            }
    }
}

TEST_F(CaptureWorker, ASecondCompletedJustBeforeTheStopIsKept)
{
    CFakeReceiver receiver;
    Start(receiver, 1.0);
    ASSERT_TRUE(Virtual()->WaitForQueuedBuffer(10000));
    {
        // The second second completes while the capture thread cannot collect it.
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        winmm::virt::AdvanceClock(1.0);
        m_capture.StopCapture();
    }
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(std::make_pair(size_t(2), 1), std::make_pair(receiver.sizes.size(), receiver.finishes));
}

TEST_F(CaptureWorker, ARecordingStartedRightAfterAStopStillFinishesTheStoppedOne)
{
    CFakeReceiver first, second;
    Start(first, 1.0);
    {
        // The stopped recording's thread has not reached its stop step when the next starts.
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        m_capture.StopCapture();
    }
    m_capture.StartCapture(&second);
    EXPECT_EQ(1, first.finishes);
    winmm::virt::AdvanceClock(1.0);
    m_capture.StopCapture();
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(std::make_tuple(size_t(1), size_t(1), 1),
              std::make_tuple(first.sizes.size(), second.sizes.size(), second.finishes));
}

TEST_F(CaptureWorker, TheOwnerCanWaitUntilFinishHasReturned)
{
    CFakeReceiver receiver;
    receiver.holdFinish = true;
    Start(receiver, 1.0);
    m_capture.StopCapture();
    ASSERT_TRUE(receiver.WaitUntilInFinish());
    EXPECT_FALSE(m_capture.WaitForCaptureEnd(50)) << "the thread is still inside Finish";
    receiver.ReleaseFinish();
    EXPECT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(1, receiver.finishes);
}

// Failures come back to the caller (start, stop) or into the recording's ending (the capture
// thread); nothing is shown here. A failed start leaves nothing running and never touches the receiver.
TEST_F(CaptureWorker, FailuresComeBackToTheCallerOrTheEndingAndTheNextRecordingWorks)
{
    const std::pair<WaveCall, const char*> starts[] = {
        {WaveCall::Open, "Cannot open device"}, {WaveCall::Prepare, "Cannot prepare header"}, {WaveCall::AddBuffer, "Cannot add buffer"}};
    for (const auto& [call, pszMessage] : starts)
    {
        SCOPED_TRACE(pszMessage);
        m_view = CFakeView();
        CFakeReceiver failed;
        Virtual()->FailCall(call, MMSYSERR_NOMEM, 0, 1);
        EXPECT_EQ(pszMessage, m_capture.StartCapture(&failed));
        EXPECT_FALSE(m_capture.IsThreadRunning());
        winmm::virt::AdvanceClock(1.0);
        EXPECT_EQ(std::make_tuple(size_t(0), 0, size_t(0)),
                  std::make_tuple(failed.sizes.size(), failed.finishes, m_view.stoppedMilliseconds.size()));
        ExpectNextRecordingWorks();
    }

    CFakeReceiver closed;
    Start(closed, 1.0);
    Virtual()->FailCall(WaveCall::Close, MMSYSERR_ERROR, 0, 1);
    EXPECT_EQ("Cannot close device", m_capture.StopCapture());
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(1, closed.finishes) << "the recording still ends whole";
    ExpectNextRecordingWorks();

    // The device fails on the capture thread: the receiver is finished, the view told, the cause kept.
    m_view = CFakeView();
    CFakeReceiver broken;
    Virtual()->FailCall(WaveCall::Unprepare, MMSYSERR_NOMEM, 0, 1);
    Start(broken, 1.0);
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    const CaptureEnding ending = m_capture.Ending();
    EXPECT_TRUE(ending.bFailed);
    EXPECT_NE(std::string::npos, ending.failure.find("Cannot unprepare header")) << ending.failure;
    EXPECT_EQ(std::make_pair(1, size_t(1)), std::make_pair(broken.finishes, m_view.stoppedMilliseconds.size()));
    m_capture.StopCapture();
    ExpectNextRecordingWorks();
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(CaptureWorker, AReceiverThatCanTakeNoMoreIsFinishedAndItsEndingKept)
{
    CFakeReceiver receiver;
    receiver.endOnWrite = 2;
    receiver.keptMilliseconds = 1400;
    Start(receiver, 2.0);
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    // The second write failed part way: the file holds what the receiver says, not all that was captured.
    EXPECT_EQ((std::vector<uint32_t>{1400}), m_view.stoppedMilliseconds);
    const CaptureEnding ending = m_capture.Ending();
    EXPECT_EQ(std::make_tuple(true, std::string("The disk is full."), std::string("Nothing was saved."), 1400u),
              std::make_tuple(ending.bFailed, ending.failure, ending.nothingKept, ending.nKeptMilliseconds));
    m_capture.StopCapture();
    EXPECT_EQ(1, receiver.finishes);
    EXPECT_TRUE(m_messages.Texts().empty());
}
