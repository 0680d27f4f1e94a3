// The capture worker on the virtual device with the manual clock: what the
// receiver and the view are handed, and how every failure is reported.
#include "CaptureFakes.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <tuple>

using winmm::WaveCall;

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
        m_capture.StartCapture(&receiver);
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
        EXPECT_EQ(std::make_tuple(size_t(1), 1, std::vector<std::string>{}),
                  std::make_tuple(next.sizes.size(), next.finishes, m_messages.Texts()));
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CFakeView m_view;
    CWaveIn* m_pDevice = nullptr;
    CDeviceThread m_capture;
};

TEST_F(CaptureWorker, StoppingHandsOnTheWholeSecondsAndOneFinish)
{
    for (double dSeconds : {0.5, 2.5})
    {
        const size_t n = static_cast<size_t>(dSeconds);
        m_view = CFakeView();
        CFakeReceiver receiver;
        Record(receiver, dSeconds);
        EXPECT_EQ(std::make_tuple(std::vector<uint32_t>(n, 176400), 1, std::vector<size_t>(n, 22050), n * 176400,
                                  std::vector<int>{int(n)}),
                  std::make_tuple(receiver.sizes, receiver.finishes, m_view.displaySizes, m_view.bytesWritten,
                                  m_view.stoppedSeconds));
    }
    EXPECT_TRUE(m_messages.Texts().empty());
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

// A failure on the capture thread (Unprepare) ends the recording unfinished; a later stop is harmless.
TEST_F(CaptureWorker, AFailedStartCloseOrCaptureIsShownOnceAndTheNextRecordingWorks)
{
    const std::pair<WaveCall, const char*> failures[] = {{WaveCall::Open, "Cannot open device"},
                                                         {WaveCall::Prepare, "Cannot prepare header"},
                                                         {WaveCall::AddBuffer, "Cannot add buffer"},
                                                         {WaveCall::Close, "Cannot close device"},
                                                         {WaveCall::Unprepare, "Application exception"}};
    for (const auto& [call, pszMessage] : failures)
    {
        SCOPED_TRACE(pszMessage);
        m_messages.Clear();
        CFakeReceiver failed;
        if (call != WaveCall::Close)
            Virtual()->FailCall(call, MMSYSERR_NOMEM, 0, 1);
        m_capture.StartCapture(&failed);
        if (call == WaveCall::Close)
        {
            winmm::virt::AdvanceClock(1.0);
            Virtual()->FailCall(call, MMSYSERR_ERROR, 0, 1);
        }
        if (call == WaveCall::Unprepare)
        {
            winmm::virt::AdvanceClock(1.0);
            ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
            EXPECT_EQ(0, failed.finishes);
        }
        m_capture.StopCapture();
        ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
        EXPECT_EQ((std::vector<std::string>{pszMessage}), m_messages.Texts());
        ExpectNextRecordingWorks();
    }
}

TEST_F(CaptureWorker, AReceiverThatCanTakeNoMoreIsFinishedAndTheUserToldOnce)
{
    CFakeReceiver receiver;
    receiver.endOnWrite = 2;
    Start(receiver, 2.0);
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ((std::vector<int>{1}), m_view.stoppedSeconds) << "one whole second was stored";
    m_capture.StopCapture();
    EXPECT_EQ((std::vector<std::string>{"The disk is full."}), m_messages.Texts());
    EXPECT_EQ(1, receiver.finishes);
}
