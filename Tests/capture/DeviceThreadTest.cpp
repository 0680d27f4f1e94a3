// The capture worker on the virtual device with the manual clock: what the
// receiver and the view are handed, and how every failure is reported.
#include "CaptureFakes.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>

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

    // Records the given time into a receiver and stops.
    void Record(CFakeReceiver& receiver, double dSeconds)
    {
        m_capture.StartCapture(&receiver);
        winmm::virt::AdvanceClock(dSeconds);
        m_capture.StopCapture();
        ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CFakeView m_view;
    CWaveIn* m_pDevice = nullptr;
    CDeviceThread m_capture;
};

TEST_F(CaptureWorker, StoppingTwoAndAHalfSecondsInHandsTwoBuffersAndOneFinish)
{
    CFakeReceiver receiver;
    Record(receiver, 2.5);
    EXPECT_EQ((std::vector<uint32_t>{176400, 176400}), receiver.sizes);
    EXPECT_EQ(1, receiver.finishes);
    EXPECT_EQ((std::vector<size_t>{22050, 22050}), m_view.displaySizes);
    EXPECT_EQ(352800u, m_view.bytesWritten);
    EXPECT_EQ((std::vector<int>{2}), m_view.stoppedSeconds);
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(CaptureWorker, ASecondCompletedJustBeforeTheStopIsKept)
{
    CFakeReceiver receiver;
    m_capture.StartCapture(&receiver);
    winmm::virt::AdvanceClock(1.0);
    ASSERT_TRUE(Virtual()->WaitForQueuedBuffer(10000));
    {
        // The second second completes while the capture thread cannot collect it.
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        winmm::virt::AdvanceClock(1.0);
        m_capture.StopCapture();
    }
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(2u, receiver.sizes.size());
    EXPECT_EQ(1, receiver.finishes);
}

TEST_F(CaptureWorker, ARecordingStartedRightAfterAStopStillFinishesTheStoppedOne)
{
    CFakeReceiver first, second;
    m_capture.StartCapture(&first);
    winmm::virt::AdvanceClock(1.0);
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
    EXPECT_EQ(1u, first.sizes.size());
    EXPECT_EQ(1u, second.sizes.size());
    EXPECT_EQ(1, second.finishes);
}

TEST_F(CaptureWorker, AWakeWithoutAFinishedBufferHandsNothingOn)
{
    CFakeReceiver receiver;
    Record(receiver, 0.5);
    EXPECT_TRUE(receiver.sizes.empty());
    EXPECT_EQ(1, receiver.finishes);
    EXPECT_TRUE(m_view.displaySizes.empty());
    EXPECT_EQ((std::vector<int>{0}), m_view.stoppedSeconds);
}

TEST_F(CaptureWorker, TheCapturedSignalReachesTheReceiverUnbroken)
{
    CFakeReceiver receiver;
    Record(receiver, 3.0);
    std::vector<float> left = FirstChannel(receiver.data.data(), receiver.data.size(), 2, 16);
    ASSERT_EQ(3u * 44100u, left.size());
    // Until a line is chosen the device records its first line, the microphone (440 Hz, half scale).
    EXPECT_NEAR(440.0, DominantFrequency(left, 44100), 5.0);
    // No sample lost at the seconds' seams: the tone's phase runs on.
    for (size_t i = 44095; i < 44105; ++i)
        EXPECT_NEAR(0.5 * std::sin(2 * M_PI * 440.0 * i / 44100.0), left[i], 0.01) << i;
}

TEST_F(CaptureWorker, WithoutACurrentDeviceOrFormatNothingStarts)
{
    CFakeReceiver receiver;
    SetCurrentDevice(nullptr);
    m_capture.StartCapture(&receiver);
    EXPECT_FALSE(m_capture.IsThreadRunning());

    SetCurrentDevice(m_pDevice);
    EXPECT_FALSE(m_pDevice->SetFormat(CAPTURE_MODE_WAV, 0, 44100, 16));
    m_capture.StartCapture(&receiver);
    EXPECT_FALSE(m_capture.IsThreadRunning());
    EXPECT_EQ(0, Virtual()->CallCount(WaveCall::Open));
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(CaptureWorker, TheOwnerCanWaitUntilFinishHasReturned)
{
    CFakeReceiver receiver;
    receiver.holdFinish = true;
    m_capture.StartCapture(&receiver);
    winmm::virt::AdvanceClock(1.0);
    m_capture.StopCapture();
    ASSERT_TRUE(receiver.WaitUntilInFinish());
    EXPECT_FALSE(m_capture.WaitForCaptureEnd(50)) << "the thread is still inside Finish";
    receiver.ReleaseFinish();
    EXPECT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(1, receiver.finishes);
}

struct StartFailure
{
    WaveCall call;
    const char* pszMessage;
};

class CaptureStartFailure : public CaptureWorker, public ::testing::WithParamInterface<StartFailure>
{
};

TEST_P(CaptureStartFailure, IsShownOnceAndTheNextRecordingWorks)
{
    Virtual()->FailCall(GetParam().call, MMSYSERR_NOMEM, 0, 1);
    CFakeReceiver failed;
    m_capture.StartCapture(&failed);
    m_capture.StopCapture();
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ((std::vector<std::string>{GetParam().pszMessage}), m_messages.Texts());
    EXPECT_TRUE(failed.sizes.empty());

    m_messages.Clear();
    CFakeReceiver next;
    Record(next, 1.0);
    EXPECT_EQ(1u, next.sizes.size());
    EXPECT_EQ(1, next.finishes);
    EXPECT_EQ(std::vector<std::string>{}, m_messages.Texts());
}

INSTANTIATE_TEST_SUITE_P(Failures, CaptureStartFailure,
                         ::testing::Values(StartFailure{WaveCall::Open, "Cannot open device"},
                                           StartFailure{WaveCall::Prepare, "Cannot prepare header"},
                                           StartFailure{WaveCall::AddBuffer, "Cannot add buffer"}));

TEST_F(CaptureWorker, ACloseFailureIsShownAndTheDeviceOpensAgainLater)
{
    CFakeReceiver first;
    m_capture.StartCapture(&first);
    winmm::virt::AdvanceClock(1.0);
    Virtual()->FailCall(WaveCall::Close, MMSYSERR_ERROR, 0, 1);
    m_capture.StopCapture();
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ((std::vector<std::string>{"Cannot close device"}), m_messages.Texts());

    m_messages.Clear();
    CFakeReceiver next;
    Record(next, 1.0);
    EXPECT_EQ(1u, next.sizes.size());
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(CaptureWorker, AFailureOnTheCaptureThreadIsAnApplicationException)
{
    Virtual()->FailCall(WaveCall::Unprepare, MMSYSERR_ERROR, 0, 1);
    CFakeReceiver receiver;
    m_capture.StartCapture(&receiver);
    winmm::virt::AdvanceClock(1.0);
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ((std::vector<std::string>{"Application exception"}), m_messages.Texts());
    EXPECT_EQ(0, receiver.finishes);
    m_capture.StopCapture();

    m_messages.Clear();
    CFakeReceiver next;
    Record(next, 1.0);
    EXPECT_EQ(1u, next.sizes.size());
    EXPECT_EQ(std::vector<std::string>{}, m_messages.Texts());
}

TEST_F(CaptureWorker, AReceiverThatCanTakeNoMoreIsFinishedAndTheUserToldOnce)
{
    CFakeReceiver receiver;
    receiver.endOnWrite = 2;
    m_capture.StartCapture(&receiver);
    winmm::virt::AdvanceClock(2.0);
    ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000));
    EXPECT_EQ(1, receiver.finishes);
    EXPECT_EQ((std::vector<int>{1}), m_view.stoppedSeconds) << "one whole second was stored";
    m_capture.StopCapture();
    EXPECT_EQ((std::vector<std::string>{"The disk is full."}), m_messages.Texts());
    EXPECT_EQ(1, receiver.finishes);
}
