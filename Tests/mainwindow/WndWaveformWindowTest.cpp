// The waveform view in a real window under Xvfb: welcome screen, live trace, length, stop, threads.
#include "CaptureFakes.h"
#include "EncoderFixtures.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "WindowTestSupport.h"
#include "WndWaveform.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <tuple>

namespace
{
const wxColour BLACK(0, 0, 0);

// A second of display samples that repeats every nWidth: a tall positive quarter, then a shallow
// negative rest of the same area, so a trace drawn upside down shows.
std::vector<int32_t> LopsidedWave(int nWidth)
{
    std::vector<int32_t> samples(22050);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int>(i % nWidth) < nWidth / 4 ? 2400 : -800;
    return samples;
}

// Where the gate holds the drawing thread: until Stop has set its stop event.
std::atomic<bool> g_bAtGate{false};
void HoldUntilStopped(HANDLE hStop) { g_bAtGate = true, WaitForSingleObject(hStop, 10000); }

// Calls the view the way the capture thread does: on another thread, under the global lock.
void OnCaptureThread(const std::function<void()>& call)
{
    std::thread([&call] {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        call();
    }).join();
}
}  // namespace

class WaveformViewWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theSettings.IsViewWaveform = 1;
        m_pFrame = new CMessageFrame(wxSize(470, 100));
        m_pView = new CWndWaveform(m_pFrame, 1025, wxPoint(0, 0), wxSize(470, 100));
        ASSERT_TRUE(m_pFrame->ShowWith(m_pView));

        const std::string path = m_folder.File("Audio0.wav");
        std::ofstream(path, std::ios::binary) << std::string(352844, '\0');
        m_item.SetPath(path.c_str());
        m_item.DeriveName();
        std::tie(m_item.nSampleRate, m_item.nChannels, m_item.nBitrate, m_item.nBitsPerSample) =
            std::make_tuple(44100u, 2u, 1411200u, 16u);
        m_item.nState = AUDIO_STATE_RECORDING;
    }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    CTempFolder m_folder{"mainwindow-waveform"};
    AudioItem m_item;
    CMessageFrame* m_pFrame = nullptr;
    CWndWaveform* m_pView = nullptr;
    CSettingsScope m_settings;
};

TEST_F(WaveformViewWindow, TheWelcomeScreenGivesWayToATraceWithPositiveSamplesBelowTheMiddle)
{
    EXPECT_TRUE(m_pView->IsWelcome());
    const wxRect view = ScreenRect(m_pView, wxRect(m_pView->GetClientSize()));
    auto at = [&](int x, int y) { return wxPoint(view.x + x, view.y + y); };
    wxImage image;
    EXPECT_TRUE(ScreenshotUntil("waveform-welcome.png", [&](const wxImage& shot) {
        // The lattice: dots two pixels apart both ways, black between.
        return CountColour(shot, wxRect(view.x, view.y, 120, 35), CWndWaveform::TEXT_COLOUR) > 20 &&
               CountColour(shot, wxRect(view.x + 150, view.y, 300, view.height), CWndWaveform::WAVE_COLOUR) > 150 &&
               PixelAt(shot, at(468, 98)) == CWndWaveform::PATTERN_COLOUR &&
               PixelAt(shot, at(466, 96)) == CWndWaveform::PATTERN_COLOUR && PixelAt(shot, at(467, 97)) == BLACK &&
               PixelAt(shot, at(467, 96)) == BLACK && PixelAt(shot, at(466, 97)) == BLACK;
    }, image));

    m_pView->StartRecording(&m_item);
    EXPECT_TRUE(m_pView->IsRecording() && !m_pView->IsWelcome() && m_pView->IsDrawingThreadRunning());
    const wxRect info = ScreenRect(m_pView, m_pView->InfoRect());
    const wxRect wave = ScreenRect(m_pView, m_pView->WaveRect());
    ASSERT_GE(wave.width, 200);
    OnCaptureThread([&] { m_pView->AddSamples(LopsidedWave(wave.width), 176400); });

    // Every page is the same: the quarter 37 pixels below the middle, the rest 13 above it.
    const int nQuarter = wave.width / 4, nMiddle = wave.y + wave.height / 2;
    const wxRect high(wave.x + 4, wave.y, nQuarter - 8, wave.height), low(wave.x + nQuarter + 4, wave.y, wave.width - nQuarter - 8, wave.height);
    auto above = [&](const wxRect& r) { return wxRect(r.x, r.y, r.width, nMiddle - r.y); };
    auto below = [&](const wxRect& r) { return wxRect(r.x, nMiddle, r.width, r.GetBottom() - nMiddle); };
    EXPECT_TRUE(ScreenshotUntil("waveform-trace.png", [&](const wxImage& shot) {
        const int nText = CountColour(shot, wxRect(info.x, info.y + 40, info.width, info.height - 40), CWndWaveform::TEXT_COLOUR);
        return nText > 50 && CountColour(shot, below(high), CWndWaveform::WAVE_COLOUR) >= high.width &&
               CountColour(shot, above(low), CWndWaveform::WAVE_COLOUR) >= low.width;
    }, image));
    EXPECT_EQ(0, CountColour(image, above(high), CWndWaveform::WAVE_COLOUR));
    EXPECT_EQ(0, CountColour(image, below(low), CWndWaveform::WAVE_COLOUR));
    EXPECT_EQ(176400u, m_pView->GetRecordedItem().nSize);
    // Nothing of the welcome sine is left between the information and the trace.
    EXPECT_EQ(0, CountColour(image, info, CWndWaveform::WAVE_COLOUR));
    OnCaptureThread([&] { m_pView->OnCaptureStopped(2000); });
}

// The capture stopping just as the drawing thread goes for the view's lock: Stop must not wait
// for that thread while holding the lock. A hang ends the program, as nothing can free the thread.
TEST_F(WaveformViewWindow, StopEndsTheDrawingThreadThatIsAboutToTakeTheViewsLock)
{
    m_pView->StartRecording(&m_item);
    g_bAtGate = false;
    CWndWaveform::s_drawingThreadGate = HoldUntilStopped;
    ASSERT_TRUE(WaitUntil([] { return g_bAtGate.load(); }));
    auto pDone = std::make_shared<std::atomic<bool>>(false);
    std::thread([this, pDone] {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        m_pView->OnCaptureStopped(1000);
        *pDone = true;
    }).detach();
    // No events meanwhile: a paint would wait for the same lock.
    for (int i = 0; i < 1000 && !*pDone; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    CWndWaveform::s_drawingThreadGate = nullptr;
    if (!*pDone)
        ADD_FAILURE() << "Stop hung with the drawing thread", AbandonWindowTests();
    EXPECT_TRUE(WaitUntil([this] { return m_pFrame->Count(WM_WAVEFORM_STOPPED) == 1; }));
    EXPECT_FALSE(m_pView->IsRecording() || m_pView->IsDrawingThreadRunning());
}

TEST_F(WaveformViewWindow, TheLengthCountsUpEachSecondAndAtTheStopIsWhatTheFileHolds)
{
    m_pView->StartRecording(&m_item);
    const wxRect info = ScreenRect(m_pView, m_pView->InfoRect());
    const wxRect length(info.x + 60, info.y + 45, info.width - 60, 20);
    // The length text as the screen shows it after each second: drawn, and changed the next second.
    wxImage image, previous;
    for (uint32_t nSeconds : {1u, 2u})
    {
        ASSERT_TRUE(WaitUntil([&] { return m_pView->GetRecordedItem().nLength >= nSeconds * 1000; }));
        EXPECT_TRUE(ScreenshotUntil("waveform-length.png", [&](const wxImage& shot) {
            const wxImage text = shot.GetSubImage(length);
            return CountColour(shot, length, CWndWaveform::TEXT_COLOUR) > 20 && !(previous.IsOk() &&
                   std::equal(text.GetData(), text.GetData() + 3 * length.width * length.height, previous.GetData()));
        }, image)) << nSeconds << " s";
        previous = image.GetSubImage(length);
    }
    // The audio written, not the time the recording ran.
    OnCaptureThread([&] { m_pView->OnCaptureStopped(1234); });
    ASSERT_TRUE(WaitUntil([this] { return m_pFrame->Count(WM_WAVEFORM_STOPPED) == 1; }));
    const uint32_t nLength = m_pView->GetRecordedItem().nLength;
    EXPECT_EQ(1234u, nLength);
    EXPECT_FALSE(m_pView->IsRecording() || m_pView->IsDrawingThreadRunning());
    // A second stop changes nothing and sends no second message.
    m_pView->OnCaptureStopped(0);
    ASSERT_TRUE(m_pFrame->Drain());
    EXPECT_EQ(std::make_pair(1, nLength), std::make_pair(m_pFrame->Count(WM_WAVEFORM_STOPPED), m_pView->GetRecordedItem().nLength));
}

// The view's threads on the virtual device's manual clock.
class WaveformViewThreads : public WaveformViewWindow
{
protected:
    void SetUp() override
    {
        FreeDevices();
        ASSERT_FALSE(EnumDevices().empty());
        SetCurrentDevice(EnumDevices()[0]);
        ASSERT_TRUE(EnumDevices()[0]->SetFormat(CAPTURE_MODE_MP3, 0, 0, 0));
        WaveformViewWindow::SetUp();
    }
    void TearDown() override
    {
        m_capture.StopCapture();
        m_capture.WaitForCaptureEnd(10000);
        WaveformViewWindow::TearDown();
        SetCurrentDevice(nullptr);
        FreeDevices();
    }

    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CFakeReceiver m_receiver;
    CDeviceThread m_capture;
};

// Each way of stopping, during a paint of the trace: the user presses Stop; the main window closes during the
// recording, so the main thread and the capture thread stop the view at once; the capture thread ends it alone.
TEST_F(WaveformViewThreads, StoppingWhileTheTraceIsPaintedNeverDeadlocks)
{
    int nWay = -1;
    // Bound before the view's own paint handler runs, so the stop overlaps that paint.
    m_pView->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        event.Skip();
        if (nWay < 0 || m_pView->GetUpdateRegion().Contains(m_pView->WaveRect()) == wxOutRegion ||
            m_pView->GetRecordedItem().nSize == 0)
            return;
        if (nWay < 2)
            m_capture.StopCapture();
        if (nWay == 1)
            m_pView->OnCaptureStopped(0);
        if (nWay == 2)
            std::thread([this] {
                std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
                m_pView->OnCaptureStopped(1000);
            }).detach();
        nWay = -1;
    });
    for (int i = 0; i < 150; ++i)
    {
        const int nStops = m_pFrame->Count(WM_WAVEFORM_STOPPED);
        m_capture.StartCapture(&m_receiver);
        m_pView->StartRecording(&m_item);
        nWay = i % 3;
        winmm::virt::AdvanceClock(1.0);
        ASSERT_TRUE(WaitUntil([&] { return m_pFrame->Count(WM_WAVEFORM_STOPPED) > nStops; })) << "recording " << i;
        m_capture.StopCapture();
        ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000) && !m_pView->IsDrawingThreadRunning() && !m_pView->IsRecording())
            << "recording " << i;
    }
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(WaveformViewThreads, DestroyingTheViewDuringARecordingWithdrawsItFromTheCapture)
{
    EXPECT_EQ(static_cast<IWaveformView*>(m_pView), GetWaveformView());
    m_capture.StartCapture(&m_receiver);
    m_pView->StartRecording(&m_item);
    winmm::virt::AdvanceClock(1.0);
    ASSERT_TRUE(WaitUntil([this] { return m_pView->GetRecordedItem().nSize > 0; }));
    delete m_pView;
    m_pView = nullptr;
    EXPECT_EQ(nullptr, GetWaveformView());
    winmm::virt::AdvanceClock(1.0);  // the capture goes on without a view and ends cleanly
    m_capture.StopCapture();
    EXPECT_TRUE(m_capture.WaitForCaptureEnd(10000));
}
