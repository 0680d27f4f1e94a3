// The waveform view: the black strip at the top of the main window. It shows a
// welcome screen, or a recording's information block (name, format, length,
// size) and, while a capture runs, a live trace of the signal to its right.
// While it has a parent window it is the capture engine's waveform view
// (SetWaveformView); it withdraws itself when destroyed.
//
// While a recording runs with the trace on, a main-thread timer shows the next
// page of the trace and the next slice of the level meter 25 times a second,
// and draws only what changed: on X11 straight into the window (the trace's
// rectangle, the meter's strip when it moved); elsewhere through a repaint of
// those rectangles, the next frame timed once it is done.
//
// Threads:
// - main thread: construction, destruction, StartRecording, ShowItem, SetPath,
//   the getters, painting and the timers;
// - capture thread, global device lock held: AddFrames, AddSamples, OnWaitingForSound,
//   OnCaptureStopped.
//   They take only the view's own lock and never wait for the main thread: whatever
//   a window must do is queued to the main thread.
// OnCaptureStopped may also be called on the main thread (closing during a recording).
#pragma once
#include "AudioItem.h"
#include "CaptureRegistry.h"
#include "LevelMeter.h"
#include "WaveTrace.h"
#include "windef.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>
#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/dcclient.h>
#include <wx/font.h>
#include <wx/pen.h>
#include <wx/timer.h>
#include <wx/window.h>

class CWndWaveform : public wxWindow, public IWaveformView
{
public:
    static constexpr int TIMER_LENGTH = 101;
    static constexpr int TIMER_FRAME = 102;
    static constexpr int FRAME_MS = 40;
    static constexpr DWORD NO_RECORDING = 0xFFFFFFFFu;
    static const wxColour TEXT_COLOUR;     // 0, 248, 0
    static const wxColour WAVE_COLOUR;     // 255, 237, 41
    static const wxColour PATTERN_COLOUR;  // 24, 24, 41: the dot lattice
    static const wxColour NOTE_COLOUR;     // 255, 140, 0: the source note
    static const wxColour PEAK_COLOUR;     // 0, 128, 0: a meter bar from its RMS up to its peak
    static const wxColour CLIP_COLOUR;     // 255, 0, 0: the clip mark

    CWndWaveform(wxWindow* pParent, wxWindowID id = 1025, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize);
    ~CWndWaveform() override;

    // Shows this recording and starts its running length, size and trace.
    void StartRecording(const AudioItem* pItem);
    // A split recording went on into this item's file: the view follows it, its length and size
    // counting from here, the trace and a pause going on as they are.
    void ContinueRecording(const AudioItem* pItem);
    // Shows a finished recording, or the welcome screen for none. While a recording
    // runs, its own information stays with it: showing another item does not make
    // that item grow.
    void ShowItem(const AudioItem* pItem);
    // The running recording is paused (its length stands still and the view says "Paused"),
    // or runs again.
    void SetPaused(bool bPaused);
    bool IsPaused() const;
    wxRect PausedRect() const { return m_rcPaused; }
    // Silence is being skipped: the view says "Waiting for sound" and the length stands still.
    bool IsWaitingForSound() const;
    wxRect WaitingRect() const { return m_rcWaiting; }
    // The shown item was renamed: it takes the new path and the name from it.
    void SetPath(const char* pszPath);
    // A line shown under the trace while the current recording runs (where its sound comes
    // from, when the user should know); empty for none. Cleared when the capture stops.
    void SetSourceNote(const wxString& note);
    wxString SourceNote() const { return m_note; }
    wxRect NoteRect() const { return m_rcNote; }

    // The item shown (for the recording: its live or final information).
    AudioItem GetItem() const;
    // The latest recording as the view knows it: after WM_WAVEFORM_STOPPED, its final
    // length (ms) and size on disk.
    AudioItem GetRecordedItem() const;
    bool IsRecording() const;
    // Each WM_WAVEFORM_STOPPED has one stopped recording waiting here, as the capture left
    // it. Taken in the order they stopped.
    bool TakeStoppedRecording(AudioItem& item);
    // The recording is complete: its final record (path, length, size) replaces what the
    // capture reported, in the view and in what it shows.
    void CompleteRecording(const AudioItem& item);
    bool IsWelcome() const { return m_bWelcome; }
    // The trace and meter are advancing 25 times a second.
    bool IsAnimating() const { return m_bAnimating; }
    wxRect WaveRect() const { return m_rcWave; }
    wxRect MeterRect() const { return m_rcMeter; }
    wxRect InfoRect() const;

    // IWaveformView
    void AddFrames(const uint8_t* pData, uint32_t nBytes, int nBitsPerSample, int nChannels,
                   uint32_t nSampleRate) override;
    void AddSamples(const std::vector<int32_t>& samples, uint32_t nBytesWritten) override;
    void OnCaptureStopped(uint32_t nMilliseconds) override;
    void OnWaitingForSound(bool bWaiting, uint32_t nMilliseconds) override;
    void OnFileFinished() override;

private:
    enum : unsigned
    {
        REFRESH_LENGTH = 1,
        REFRESH_SIZE = 2,
        CAPTURE_STOPPED = 8,
        REFRESH_WAITING = 16,
    };

    void LoadResources();
    void DoLayout();
    bool ShowsRecording() const;  // main thread
    void ShownInfo(AudioItem& item) const;
    void RequestMainThread(unsigned nBits);
    void OnMainThreadRequest();
    void OnCaptureStoppedMain();

    void OnPaint(wxPaintEvent& event);
    void RefreshWhole();
    void OnEraseBackground(wxEraseEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnFrame(wxTimerEvent& event);
    void ScheduleFrame();
    void SetPage(int n);
    wxClientDC& FrameDC();
    void OnSize(wxSizeEvent& event);
    void DrawWelcome(wxDC& dc);
    void DrawInfo(wxDC& dc, const AudioItem& item);
    void TellScreenReader(const AudioItem* pItem);
    void DrawSamples(wxDC& dc);
    void DrawMeter(wxDC& dc);
    void DrawNote(wxDC& dc);
    // "Paused", or "Waiting for sound", at the head of the trace.
    void DrawState(wxDC& dc);
    const char* StateText() const;

    // Main thread only.
    AudioItem m_item;
    bool m_bWelcome = true;
    wxWindow* m_pParentWindow;
    wxTimer m_timer;
    wxTimer m_frameTimer;
    bool m_bAnimating = false;
    bool m_bFramePainting = false;  // a frame waits for its paint before the next is timed
    DWORD m_dwFrameTicks = 0;       // when the last frame began
    std::vector<wxPoint> m_welcomeSine;
    wxSize m_welcomeSize;
    std::vector<wxPoint> m_points;  // grows only: the page shown, m_nPoints long
    int m_nPoints = 0;
    std::vector<int> m_ys;
    CLevelMeter::Levels m_levels;  // the meter as painted
    wxRect m_rcName, m_rcFormat, m_rcLengthLabel, m_rcLength, m_rcSizeLabel, m_rcSize, m_rcKBytes, m_rcWave, m_rcMeter;
    wxString m_note;
    wxRect m_rcNote;
    wxRect m_rcPaused;
    wxRect m_rcWaiting;
    bool m_bResourcesLoaded = false;
    wxBitmap m_pattern;
    wxFont m_fontBig;
    wxFont m_fontSmall;
    wxPen m_penWave;
    bool m_bDrawDirect = false;
    // The frames' own device context, kept while the view keeps its size and place: making one
    // (a cairo context, its font, pen and brush) cost more than drawing a frame.
    std::unique_ptr<wxClientDC> m_pFrameDC;
    wxRect m_frameDCPlace;  // the view's size and place in its top-level window when it was made
    bool m_bWholePending = false;  // a repaint of the whole view is asked for and not yet done
    wxBrush m_brushPattern, m_brushRms, m_brushPeak, m_brushWave, m_brushClip;

    // Guarded by m_lock: the recording's record, the trace and the start ticks.
    mutable std::mutex m_lock;
    AudioItem m_recorded;
    bool m_bAwaitingStop = false;  // a recording has started and not yet been reported stopped
    CTraceSamples m_trace;
    CLevelMeter m_meter;
    DWORD m_dwStartTicks = NO_RECORDING;
    DWORD m_dwPausedTicks = NO_RECORDING;  // when the running recording was paused
    bool m_bWaiting = false;  // skipping silence: nothing is written, the length stands still
    bool m_bViewWaveform = true;  // the setting as the running recording started
    std::deque<AudioItem> m_stopped;

    std::atomic<unsigned> m_nPending{0};

    wxDECLARE_EVENT_TABLE();
};
