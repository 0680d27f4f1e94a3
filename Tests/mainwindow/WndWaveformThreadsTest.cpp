// The waveform view's three threads: a capture that stops while the main thread
// is in the middle of painting the trace must never deadlock, whichever thread
// ends it. Repeated many times with the virtual device on the manual clock.
#include "TestSupport.h"
#include "WaveIn.h"
#include "WindowTestSupport.h"
#include "WndWaveform.h"
#include "RecorderSettings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <thread>

namespace
{
// Takes every buffer whole, so the view's size grows with each second.
class CCountingReceiver final : public IReceiver
{
public:
    uint32_t Write(const uint8_t*, uint32_t nSize) override { return nSize; }
    void Finish() override {}
};
}  // namespace

class WaveformViewThreads : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theSettings.IsViewWaveform = 1;
        FreeDevices();
        ASSERT_FALSE(EnumDevices().empty());
        SetCurrentDevice(EnumDevices()[0]);
        ASSERT_TRUE(EnumDevices()[0]->SetFormat(CAPTURE_MODE_MP3, 0, 0, 0));

        m_pFrame = new CMessageFrame(wxSize(470, 100));
        m_pView = new CWndWaveform(m_pFrame, 1025, wxPoint(0, 0), wxSize(470, 100));
        ASSERT_TRUE(m_pFrame->ShowWith(m_pView));
        // Runs before the view's own paint handler, so whatever it starts overlaps that paint.
        m_pView->Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
            ++m_nPaints;
            const bool bTrace = m_pView->GetUpdateRegion().Contains(m_pView->WaveRect()) != wxOutRegion;
            if (m_onPaint && bTrace && m_pView->GetRecordedItem().nSize > 0)
            {
                auto action = std::move(m_onPaint);
                m_onPaint = nullptr;
                action();
            }
            event.Skip();
        });
        m_item.SetPath("/tmp/vorane-threads/Audio0.mp3");
        m_item.DeriveName();
        m_item.nSampleRate = 44100;
        m_item.nChannels = 2;
        m_item.nBitrate = 128000;
    }
    void TearDown() override
    {
        m_capture.StopCapture();
        m_capture.WaitForCaptureEnd(10000);
        if (m_stopper.joinable())
            m_stopper.join();
        m_pFrame->DestroyNow();
        SetCurrentDevice(nullptr);
        FreeDevices();
    }

    // One recording: a second is captured, and the paint of its trace ends the capture
    // the given way. True when the parent heard of the stop and the capture thread ended.
    bool RecordAndStopMidPaint(int nWay)
    {
        const int nStopsBefore = m_pFrame->Count(WM_WAVEFORM_STOPPED);
        m_capture.StartCapture(&m_receiver);
        m_pView->StartRecording(&m_item);
        m_onPaint = [this, nWay] {
            switch (nWay)
            {
            case 0:  // the user presses Stop
                m_capture.StopCapture();
                break;
            case 1:  // the main window closes during the recording
                m_capture.StopCapture();
                m_pView->OnCaptureStopped(0);
                break;
            default:  // the capture thread ends the recording on its own
                m_stopper = std::thread([this] {
                    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
                    m_pView->OnCaptureStopped(1);
                });
                break;
            }
        };
        winmm::virt::AdvanceClock(1.0);
        const bool bStopped = PumpUntil([&] { return m_pFrame->Count(WM_WAVEFORM_STOPPED) > nStopsBefore; });
        if (m_stopper.joinable())
            m_stopper.join();
        m_capture.StopCapture();
        const bool bEnded = m_capture.WaitForCaptureEnd(10000);
        return bStopped && bEnded && !m_pView->IsDrawingThreadRunning() && !m_pView->IsRecording();
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CCountingReceiver m_receiver;
    CDeviceThread m_capture;
    CMessageFrame* m_pFrame = nullptr;
    CWndWaveform* m_pView = nullptr;
    AudioItem m_item;
    std::function<void()> m_onPaint;
    std::thread m_stopper;
    int m_nPaints = 0;
};

TEST_F(WaveformViewThreads, StoppingWhileTheTraceIsPaintedNeverDeadlocks)
{
    const unsigned nSeed = std::random_device{}();
    std::printf("seed %u\n", nSeed);
    std::mt19937 random(nSeed);
    for (int i = 0; i < 150; ++i)
    {
        const int nWay = static_cast<int>(random() % 3);
        ASSERT_TRUE(RecordAndStopMidPaint(nWay)) << "recording " << i << ", way " << nWay;
    }
    EXPECT_GE(m_nPaints, 150);
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(WaveformViewThreads, DestroyingTheViewDuringARecordingWithdrawsItFromTheCapture)
{
    EXPECT_EQ(static_cast<IWaveformView*>(m_pView), GetWaveformView());
    m_capture.StartCapture(&m_receiver);
    m_pView->StartRecording(&m_item);
    winmm::virt::AdvanceClock(1.0);
    ASSERT_TRUE(PumpUntil([this] { return m_pView->GetRecordedItem().nSize > 0; }));
    delete m_pView;
    m_pView = nullptr;
    EXPECT_EQ(nullptr, GetWaveformView());
    // The capture goes on without a view and ends cleanly.
    winmm::virt::AdvanceClock(1.0);
    m_capture.StopCapture();
    EXPECT_TRUE(m_capture.WaitForCaptureEnd(10000));
}
