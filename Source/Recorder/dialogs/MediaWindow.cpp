#include "MediaWindow.h"

#include <wx/dcbuffer.h>
#include <wx/log.h>
#include <wx/mediactrl.h>
#include <wx/renderer.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include <algorithm>

wxDEFINE_EVENT(EVT_MEDIA_WINDOW_POSITION, wxCommandEvent);

namespace
{
// How often the position is read while the window lives.
constexpr int kTickMs = 100;
constexpr int kKnobWidth = 8;
// How far Left and Right move the position.
constexpr long kKeyStepMs = 5000;
}  // namespace

CMediaWindow::CMediaWindow() : m_timer(this)
{
}

CMediaWindow::~CMediaWindow()
{
    EndPreparing();
    m_timer.Stop();
    if (m_pMedia)
        m_pMedia->Stop();
}

bool CMediaWindow::Create(wxWindow* pParent, wxWindowID id, const std::string& path)
{
    if (!wxWindow::Create(pParent, id, wxDefaultPosition, wxSize(120, BAR_HEIGHT), wxFULL_REPAINT_ON_RESIZE))
        return false;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // Errors of the media go nowhere: the player shows none.
    wxLogNull quiet;
    m_bPreparing = true;
    wxBeginBusyCursor();
    auto* pMedia = new wxMediaCtrl();
    if (!pMedia->Create(this, wxID_ANY, wxEmptyString, wxPoint(0, 0), wxSize(1, 1)))
    {
        delete pMedia;
        EndPreparing();
        return false;
    }
    m_pMedia = pMedia;
    // Sound only: the control's own video area stays out of sight.
    m_pMedia->Hide();
    m_pMedia->Bind(wxEVT_MEDIA_LOADED, &CMediaWindow::OnLoaded, this);
    m_pMedia->Bind(wxEVT_MEDIA_FINISHED, &CMediaWindow::OnFinished, this);
    Bind(wxEVT_TIMER, &CMediaWindow::OnTick, this);
    Bind(wxEVT_PAINT, &CMediaWindow::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CMediaWindow::OnMouse, this);
    Bind(wxEVT_LEFT_UP, &CMediaWindow::OnMouse, this);
    Bind(wxEVT_MOTION, &CMediaWindow::OnMouse, this);
    Bind(wxEVT_KEY_DOWN, &CMediaWindow::OnKeyDown, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) { Refresh(); event.Skip(); });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) { Refresh(); event.Skip(); });
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_bDragging = false; });
    // Nothing to load, or a file refused at once: no loaded event will come.
    if (path.empty() || !m_pMedia->Load(wxString::FromUTF8(path)))
        EndPreparing();
    m_timer.Start(kTickMs);
    return true;
}

void CMediaWindow::EndPreparing()
{
    if (!m_bPreparing)
        return;
    m_bPreparing = false;
    wxEndBusyCursor();
}

void CMediaWindow::OnLoaded(wxMediaEvent&)
{
    EndPreparing();
    m_bCanPlay = true;
    if (m_bPlayWhenLoaded)
    {
        m_bPlayWhenLoaded = false;
        m_pMedia->Seek(0);
        Play();
    }
    Refresh();
}

void CMediaWindow::OnFinished(wxMediaEvent&)
{
    if (m_bRepeat)
    {
        m_pMedia->Seek(0);
        m_pMedia->Play();
        return;
    }
    m_bAtEnd = true;
    Report(GetLength());
}

void CMediaWindow::Play()
{
    if (!m_bCanPlay)
    {
        m_bPlayWhenLoaded = true;
        return;
    }
    if (m_bAtEnd)
        m_pMedia->Seek(0);
    m_bAtEnd = false;
    m_pMedia->Play();
    Refresh();
}

void CMediaWindow::Pause()
{
    m_bPlayWhenLoaded = false;
    if (m_pMedia && m_bCanPlay)
        m_pMedia->Pause();
    Refresh();
}

void CMediaWindow::Seek(long nMilliseconds)
{
    if (!m_bCanPlay)
        return;
    m_bAtEnd = false;
    m_pMedia->Seek(std::max(0L, nMilliseconds));
    Report(std::max(0L, nMilliseconds));
}

void CMediaWindow::Stop()
{
    m_bPlayWhenLoaded = false;
    if (m_pMedia)
        m_pMedia->Stop();
    Refresh();
}

bool CMediaWindow::IsPlaying() const
{
    return m_pMedia && m_pMedia->GetState() == wxMEDIASTATE_PLAYING;
}

long CMediaWindow::GetLength() const
{
    // The media learns its length a moment after loading; until then it says 0.
    if (m_pMedia && m_bCanPlay && m_nLength <= 0)
        m_nLength = static_cast<long>(std::max<wxFileOffset>(0, m_pMedia->Length()));
    return m_nLength;
}

void CMediaWindow::OnTick(wxTimerEvent&)
{
    if (!m_bCanPlay)
        return;
    const long nKnownLength = m_nLength;
    const long nLength = GetLength();
    const long nPosition = m_bAtEnd ? nLength : static_cast<long>(std::max<wxFileOffset>(0, m_pMedia->Tell()));
    // A new length changes the text too, so it is reported like a move.
    if (nPosition != m_nPosition || nLength != nKnownLength)
        Report(nPosition);
}

void CMediaWindow::Report(long nPosition)
{
    m_nPosition = nPosition;
    Refresh();
    wxCommandEvent event(EVT_MEDIA_WINDOW_POSITION, GetId());
    event.SetEventObject(this);
    event.SetExtraLong(nPosition);
    ProcessWindowEvent(event);
}

wxRect CMediaWindow::ButtonRect() const
{
    const int h = GetClientSize().y;
    return wxRect(0, 0, h, h);
}

wxRect CMediaWindow::TrackRect() const
{
    const wxSize size = GetClientSize();
    return wxRect(size.y + 6, 0, std::max(1, size.x - size.y - 12), size.y);
}

long CMediaWindow::PositionAt(int x) const
{
    const wxRect track = TrackRect();
    const double dShare = std::clamp(static_cast<double>(x - track.x - kKnobWidth / 2) /
                                         std::max(1, track.width - kKnobWidth),
                                     0.0, 1.0);
    return static_cast<long>(dShare * GetLength());
}

void CMediaWindow::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    const wxColour face = GetParent()->GetBackgroundColour();
    const wxColour text = GetParent()->GetForegroundColour();
    dc.SetBackground(wxBrush(face));
    dc.Clear();

    // The play/pause button: a flat square with a raised edge and its sign.
    const wxRect button = ButtonRect();
    wxRendererNative::Get().DrawPushButton(this, dc, button, m_bCanPlay ? 0 : static_cast<int>(wxCONTROL_DISABLED));
    const wxColour sign = m_bCanPlay ? text : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(sign));
    const int cx = button.x + button.width / 2, cy = button.y + button.height / 2, r = button.height / 4;
    if (IsPlaying())
    {
        dc.DrawRectangle(cx - r, cy - r, r * 2 / 3 + 1, 2 * r + 1);
        dc.DrawRectangle(cx + r / 3, cy - r, r * 2 / 3 + 1, 2 * r + 1);
    }
    else
    {
        const wxPoint triangle[] = {{cx - r + 1, cy - r}, {cx + r, cy}, {cx - r + 1, cy + r}};
        dc.DrawPolygon(3, triangle);
    }

    // The track: a sunken groove, filled up to the knob, which stands at the position.
    const wxRect track = TrackRect();
    const wxRect groove(track.x, track.y + track.height / 2 - 2, track.width, 4);
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.DrawRectangle(groove);
    const long nLength = GetLength();
    const double dShare = nLength > 0 ? std::clamp(static_cast<double>(std::max(0L, m_nPosition)) / nLength, 0.0, 1.0) : 0;
    const int x = track.x + static_cast<int>(dShare * (track.width - kKnobWidth));
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT)));
    dc.DrawRectangle(groove.x, groove.y, x - groove.x + kKnobWidth / 2, groove.height);
    wxRendererNative::Get().DrawPushButton(this, dc, wxRect(x, track.y + 2, kKnobWidth, track.height - 4),
                                           m_bCanPlay ? 0 : static_cast<int>(wxCONTROL_DISABLED));

    if (HasFocus())
    {
        dc.SetPen(wxPen(text, 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(GetClientSize()));
    }
}

void CMediaWindow::OnKeyDown(wxKeyEvent& event)
{
    if (!m_bCanPlay || event.HasAnyModifiers())
        return event.Skip();
    switch (event.GetKeyCode())
    {
    case WXK_SPACE:
        if (IsPlaying())
            Pause();
        else
            Play();
        break;
    case WXK_LEFT:
        Seek(std::max(0L, m_nPosition) - kKeyStepMs);
        break;
    case WXK_RIGHT:
        if (GetLength() > 0)
            Seek(std::min(GetLength(), std::max(0L, m_nPosition) + kKeyStepMs));
        break;
    case WXK_HOME:
        Seek(0);
        break;
    default:
        event.Skip();
    }
}

void CMediaWindow::OnMouse(wxMouseEvent& event)
{
    if (!m_bCanPlay)
        return;
    if (event.LeftDown())
    {
        if (ButtonRect().Contains(event.GetPosition()))
        {
            if (IsPlaying())
                Pause();
            else
                Play();
        }
        else if (TrackRect().Contains(event.GetPosition()))
        {
            m_bDragging = true;
            CaptureMouse();
            Seek(PositionAt(event.GetX()));
        }
    }
    else if (event.Dragging() && m_bDragging)
        Seek(PositionAt(event.GetX()));
    else if (event.LeftUp() && m_bDragging)
    {
        m_bDragging = false;
        if (HasCapture())
            ReleaseMouse();
    }
}
