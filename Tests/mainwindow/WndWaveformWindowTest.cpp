// The waveform view in a real window under Xvfb: welcome screen, live trace and meter, length, stop, threads.
#include "CaptureFakes.h"
#include "EncoderFixtures.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "WindowTestSupport.h"
#include "WndWaveform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
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

// A second of 16-bit stereo: a 441 Hz sine clipped at full scale on the left, at -6 dBFS on the right.
std::vector<uint8_t> ClippedAndHalfTone()
{
    std::vector<int16_t> frames(2 * 44100);
    for (size_t i = 0; i < 44100; ++i)
    {
        const double s = std::sin(2 * M_PI * 441.0 * static_cast<double>(i) / 44100.0);
        frames[2 * i] = static_cast<int16_t>(std::clamp(std::lround(65536 * s), -32768L, 32767L));
        frames[2 * i + 1] = static_cast<int16_t>(std::lround(16384 * s));
    }
    std::vector<uint8_t> bytes(frames.size() * 2);
    std::memcpy(bytes.data(), frames.data(), bytes.size());
    return bytes;
}

// Rows of a one-pixel column of the screenshot in that colour.
int ColumnCount(const wxImage& shot, int x, const wxRect& r, const wxColour& colour)
{
    return CountColour(shot, wxRect(x, r.y, 1, r.height), colour);
}

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
    EXPECT_TRUE(m_pView->IsRecording() && !m_pView->IsWelcome() && m_pView->IsAnimating());
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
    // No level, no clip mark before any frames.
    const wxRect meter = ScreenRect(m_pView, m_pView->MeterRect());
    EXPECT_EQ(0, CountColour(image, meter, CWndWaveform::CLIP_COLOUR) + CountColour(image, meter, CWndWaveform::TEXT_COLOUR));

    // The meter: the left bar full with the clip mark over both, the right one's RMS solid up to -9 dBFS
    // of the -60 .. 0 dBFS scale (the bars span the strip less the clip mark and margins).
    const std::vector<uint8_t> tone = ClippedAndHalfTone();
    // The trace moves: each page a flat line, below the middle on even pages and above it on odd ones.
    std::vector<int32_t> pages(22050);
    for (size_t i = 0; i < pages.size(); ++i)
        pages[i] = (i / wave.width) % 2 == 0 ? 1600 : -1600;
    OnCaptureThread([&] {
        m_pView->AddFrames(tone.data(), static_cast<uint32_t>(tone.size()), 16, 2, 44100);
        m_pView->AddSamples(pages, 176400);
    });
    const int nRange = meter.height - 11;
    const int nRms = static_cast<int>(std::lround(CLevelMeter::BarFraction(-9.03) * nRange));
    const int xLeft = meter.x + 6, xRight = meter.x + 14;
    bool bBelow = false, bAbove = false;
    EXPECT_TRUE(ScreenshotUntil("waveform-meter.png", [&](const wxImage& shot) {
        bBelow = bBelow || CountColour(shot, below(wave), CWndWaveform::WAVE_COLOUR) >= wave.width - 8;
        bAbove = bAbove || CountColour(shot, above(wave), CWndWaveform::WAVE_COLOUR) >= wave.width - 8;
        return bBelow && bAbove && std::abs(ColumnCount(shot, xRight, meter, CWndWaveform::TEXT_COLOUR) - nRms) <= 1 &&
               ColumnCount(shot, xLeft, meter, CWndWaveform::TEXT_COLOUR) > nRms &&
               ColumnCount(shot, xLeft, meter, CWndWaveform::CLIP_COLOUR) == 5 &&
               ColumnCount(shot, xRight, meter, CWndWaveform::CLIP_COLOUR) == 5;
    }, image)) << "below " << bBelow << ", above " << bAbove << ", RMS " << nRms;
    // The peak (-6 dBFS) and its hold sit above the RMS.
    EXPECT_GT(ColumnCount(image, xRight, meter, CWndWaveform::PEAK_COLOUR) + ColumnCount(image, xRight, meter, CWndWaveform::WAVE_COLOUR), 2);
    // Around the bars the strip keeps the view's black lattice, not the trace's yellow.
    EXPECT_EQ(0, ColumnCount(image, meter.x + 1, meter, CWndWaveform::WAVE_COLOUR));
    EXPECT_GT(m_pView->GetRecordedItem().nClipped, 44100u / 2);

    // Moved within its window, the view draws its frames at its new place, not where it was.
    m_pView->SetSize(wxRect(20, 10, 440, 85));
    ASSERT_TRUE(WaitUntil([&] { return m_pView->GetScreenPosition() == ScreenRect(m_pFrame, wxRect(20, 10, 1, 1)).GetTopLeft(); }));
    const wxRect moved = ScreenRect(m_pView, m_pView->MeterRect()), area = ScreenRect(m_pFrame, wxRect(m_pFrame->GetClientSize()));
    int nFrames = 0;
    EXPECT_TRUE(ScreenshotUntil("waveform-moved.png", [&](const wxImage& shot) {
        // New levels each round, so frames keep drawing the meter after the move's repaint.
        OnCaptureThread([&] { m_pView->AddFrames(tone.data(), static_cast<uint32_t>(tone.size()), 16, 2, 44100); });
        const int nInMeter = CountColour(shot, moved, CWndWaveform::CLIP_COLOUR);
        return ++nFrames >= 5 && nInMeter > 0 && CountColour(shot, area, CWndWaveform::CLIP_COLOUR) == nInMeter;
    }, image)) << "clip mark pixels outside the meter";
    OnCaptureThread([&] { m_pView->OnCaptureStopped(2000); });
}

TEST_F(WaveformViewWindow, WithTheTraceOffTheLengthCountsUpAndTheMeterStillMarksClipping)
{
    theSettings.IsViewWaveform = 0;
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
    // No trace is drawn, but the meter shows the input and marks the clipping.
    const std::vector<uint8_t> tone = ClippedAndHalfTone();
    OnCaptureThread([&] {
        m_pView->AddFrames(tone.data(), static_cast<uint32_t>(tone.size()), 16, 2, 44100);
        m_pView->AddSamples(LopsidedWave(400), 176400);
    });
    const wxRect meter = ScreenRect(m_pView, m_pView->MeterRect());
    EXPECT_TRUE(ScreenshotUntil("waveform-meter-no-trace.png", [&](const wxImage& shot) {
        return ColumnCount(shot, meter.x + 6, meter, CWndWaveform::CLIP_COLOUR) == 5;
    }, image));
    EXPECT_EQ(0, CountColour(image, ScreenRect(m_pView, m_pView->WaveRect()), CWndWaveform::WAVE_COLOUR));
    // The audio written, not the time the recording ran.
    OnCaptureThread([&] { m_pView->OnCaptureStopped(1234); });
    ASSERT_TRUE(WaitUntil([this] { return m_pFrame->Count(WM_WAVEFORM_STOPPED) == 1; }));
    const uint32_t nLength = m_pView->GetRecordedItem().nLength;
    EXPECT_EQ(1234u, nLength);
    EXPECT_FALSE(m_pView->IsRecording() || m_pView->IsAnimating());
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

// Each way of stopping, as a frame of the trace is drawn: the user presses Stop; the main window closes during
// the recording, so the main thread and the capture thread stop the view at once; the capture thread ends it alone.
TEST_F(WaveformViewThreads, StoppingWhileTheTraceIsDrawnNeverDeadlocks)
{
    int nWay = -1;
    // Bound before the view's own frame handler runs, so the stop overlaps that frame.
    m_pView->Bind(wxEVT_TIMER, [&](wxTimerEvent& event) {
        event.Skip();
        if (nWay < 0 || event.GetId() != CWndWaveform::TIMER_FRAME || m_pView->GetRecordedItem().nSize == 0)
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
        ASSERT_TRUE(m_capture.WaitForCaptureEnd(10000) && !m_pView->IsRecording())
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
