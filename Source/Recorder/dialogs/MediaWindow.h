// The mini player's media window: a media control (GStreamer underneath)
// that plays one file, with a play bar of its own drawn below it: a
// play/pause button and a track whose knob shows and sets the position.
// Like the media-control window it stands in for, it reports the playing
// position to its parent in milliseconds, plays once without repeat, and
// shows no error of its own. The first media of a session can take seconds
// to prepare (the media framework scans its plugins): from Create until the
// file is loaded, or has failed, the program shows the busy cursor.
//
// Tab reaches the bar (a dotted frame shows the focus): Space plays and
// pauses, Left and Right go back and on five seconds, Home to the start.
//
// Threads: main thread only.
#pragma once
#include <wx/event.h>
#include <wx/timer.h>
#include <wx/window.h>

class wxMediaCtrl;
class wxMediaEvent;

// Sent to the parent whenever the position changes; GetExtraLong is the position in milliseconds.
wxDECLARE_EVENT(EVT_MEDIA_WINDOW_POSITION, wxCommandEvent);

class CMediaWindow : public wxWindow
{
public:
    static constexpr int BAR_HEIGHT = 20;

    CMediaWindow();
    ~CMediaWindow() override;
    // False when no player can be made; the window is then not created.
    bool Create(wxWindow* pParent, wxWindowID id, const std::string& path);

    // Whether the media control has loaded the file; one it then cannot decode plays nothing.
    bool CanPlay() const { return m_bCanPlay; }
    // Whether the file is still being prepared (the busy cursor shows).
    bool IsPreparing() const { return m_bPreparing; }
    // Plays from the current position; at the end, from the start again.
    void Play();
    void Pause();
    void Seek(long nMilliseconds);
    void Stop();
    bool IsPlaying() const;
    // 0 until the media knows them.
    long GetLength() const;
    long GetPosition() const { return m_nPosition; }
    void SetRepeat(bool bRepeat) { m_bRepeat = bRepeat; }

    wxSize DoGetBestSize() const override { return wxSize(120, BAR_HEIGHT); }
    bool AcceptsFocus() const override { return true; }
    bool AcceptsFocusFromKeyboard() const override { return true; }

private:
    void OnLoaded(wxMediaEvent& event);
    void OnFinished(wxMediaEvent& event);
    void OnTick(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void Report(long nPosition);
    void EndPreparing();
    wxRect ButtonRect() const;
    wxRect TrackRect() const;
    long PositionAt(int x) const;

    wxMediaCtrl* m_pMedia = nullptr;
    wxTimer m_timer;
    bool m_bCanPlay = false;
    bool m_bPreparing = false;
    bool m_bPlayWhenLoaded = false;
    bool m_bAtEnd = false;
    bool m_bRepeat = false;
    bool m_bDragging = false;
    long m_nPosition = -1;
    mutable long m_nLength = 0;
};
