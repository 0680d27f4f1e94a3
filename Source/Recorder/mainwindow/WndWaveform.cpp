#include "WndWaveform.h"

#include "RecorderSettings.h"
#include "WaveformText.h"
#include "WindowSystem.h"
#include "WindowMessages.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <system_error>
#include <wx/dcclient.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/thread.h>
#include <wx/utils.h>

wxBEGIN_EVENT_TABLE(CWndWaveform, wxWindow)
    EVT_PAINT(CWndWaveform::OnPaint)
    EVT_ERASE_BACKGROUND(CWndWaveform::OnEraseBackground)
    EVT_TIMER(CWndWaveform::TIMER_LENGTH, CWndWaveform::OnTimer)
    EVT_TIMER(CWndWaveform::TIMER_FRAME, CWndWaveform::OnFrame)
    EVT_SIZE(CWndWaveform::OnSize)
wxEND_EVENT_TABLE()

const wxColour CWndWaveform::TEXT_COLOUR(0, 248, 0);
const wxColour CWndWaveform::WAVE_COLOUR(255, 237, 41);
const wxColour CWndWaveform::PATTERN_COLOUR(24, 24, 41);
const wxColour CWndWaveform::NOTE_COLOUR(255, 140, 0);
const wxColour CWndWaveform::PEAK_COLOUR(0, 128, 0);
const wxColour CWndWaveform::CLIP_COLOUR(255, 0, 0);

namespace
{
constexpr int LINE_GAP = 5;
constexpr int WELCOME_POINTS = 210;
const char* const LENGTH_LABEL = "Length : ";
const char* const SIZE_LABEL = "Size :";
const char* const KBYTES_LABEL = "kBytes";
const char* const WELCOME_TEXT = "Welcome";
const char* const PAUSED_TEXT = "Paused";
const char* const WAITING_TEXT = "Waiting for sound";
// The meter's strip at the right of the view: a gap, the bars side by side, a margin.
constexpr int METER_WIDTH = 20;
constexpr int METER_GAP = 4;
constexpr int METER_MARGIN = 2;
constexpr int CLIP_MARK_HEIGHT = 5;

// Windows font heights are cell heights; Pango sizes the em, about 7/8 of the cell.
constexpr int BIG_FONT_HEIGHT = 30;
constexpr int SMALL_FONT_HEIGHT = 16;
int EmPixels(int nCellHeight)
{
    return nCellHeight * 7 / 8;
}

DWORD TickCount()
{
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool ViewWaveform()
{
    return theSettings.IsViewWaveform != 0;
}

wxRect MeasuredRect(wxWindow* pWindow, const wxString& text, const wxFont& font, int x, int y)
{
    int w = 0, h = 0;
    pWindow->GetTextExtent(text, &w, &h, nullptr, nullptr, &font);
    return wxRect(x, y, w, h);
}

int Right(const wxRect& r)
{
    return r.x + r.width;  // exclusive, as the layout's arithmetic expects
}

int Bottom(const wxRect& r)
{
    return r.y + r.height;
}
}  // namespace

CWndWaveform::CWndWaveform(wxWindow* pParent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxWindow(pParent, id, pos, size, wxFULL_REPAINT_ON_RESIZE | wxBORDER_NONE, "WndWaveform"),
      m_pParentWindow(pParent),
      m_timer(this, TIMER_LENGTH),
      m_frameTimer(this, TIMER_FRAME)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    LoadResources();
    // Every paint's device context starts from the window's font and colours; set here, they
    // are not looked up in the GTK theme 25 times a second.
    SetBackgroundColour(*wxBLACK);
    SetForegroundColour(TEXT_COLOUR);
    SetFont(m_bResourcesLoaded ? m_fontSmall : *wxNORMAL_FONT);
    // On X11 a frame draws straight into the window; Wayland draws only inside the toolkit's paint.
    m_bDrawDirect = m_bResourcesLoaded && wxGetDisplayInfo().type == wxDisplayX11;
    DoLayout();
    if (pParent)
        SetWaveformView(this);
}

CWndWaveform::~CWndWaveform()
{
    {
        // Taken under the global lock, so no capture thread is inside this view afterwards.
        std::lock_guard<std::recursive_mutex> global(GlobalDeviceLock());
        if (GetWaveformView() == this)
            SetWaveformView(nullptr);
    }
    m_frameTimer.Stop();
    m_timer.Stop();
}

void CWndWaveform::LoadResources()
{
    // The dot lattice: one dark blue-grey pixel on every even x and y, black between.
    wxImage pattern(2, 2);
    pattern.SetRGB(wxRect(0, 0, 2, 2), 0, 0, 0);
    pattern.SetRGB(0, 0, PATTERN_COLOUR.Red(), PATTERN_COLOUR.Green(), PATTERN_COLOUR.Blue());
    m_pattern = wxBitmap(pattern);
    if (!m_pattern.IsOk())
        return;
    m_fontBig = wxFont(wxFontInfo(wxSize(0, EmPixels(BIG_FONT_HEIGHT))).Family(wxFONTFAMILY_SWISS).FaceName("Arial"));
    m_fontSmall =
        wxFont(wxFontInfo(wxSize(0, EmPixels(SMALL_FONT_HEIGHT))).Family(wxFONTFAMILY_SWISS).FaceName("Arial"));
    m_penWave = wxPen(WAVE_COLOUR, 1, wxPENSTYLE_SOLID);
    m_brushPattern = wxBrush(m_pattern);
    m_brushRms = wxBrush(TEXT_COLOUR);
    m_brushPeak = wxBrush(PEAK_COLOUR);
    m_brushWave = wxBrush(WAVE_COLOUR);
    m_brushClip = wxBrush(CLIP_COLOUR);
    m_bResourcesLoaded = true;
}

bool CWndWaveform::ShowsRecording() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return !m_bWelcome && m_recorded.szPath[0] && std::strcmp(m_recorded.szPath, m_item.szPath) == 0;
}

void CWndWaveform::ShownInfo(AudioItem& item) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const bool bRecording = m_recorded.szPath[0] && std::strcmp(m_recorded.szPath, m_item.szPath) == 0;
    item = bRecording ? m_recorded : m_item;
}

AudioItem CWndWaveform::GetItem() const
{
    AudioItem item;
    ShownInfo(item);
    return item;
}

AudioItem CWndWaveform::GetRecordedItem() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_recorded;
}

bool CWndWaveform::IsRecording() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dwStartTicks != NO_RECORDING;
}

wxRect CWndWaveform::InfoRect() const
{
    return wxRect(0, 0, m_rcWave.x, GetClientSize().y);
}

void CWndWaveform::DoLayout()
{
    AudioItem item;
    ShownInfo(item);
    const wxFont big = m_bResourcesLoaded ? m_fontBig : GetFont();
    const wxFont small = m_bResourcesLoaded ? m_fontSmall : GetFont();

    m_rcName = MeasuredRect(this, wxString::FromUTF8(item.szName), big, 0, 0);
    const wxString format = InfoFormatMeasureText(item.nSampleRate, item.nChannels, item.nBitrate);
    m_rcFormat = MeasuredRect(this, format, small, m_rcName.x, Bottom(m_rcName) + LINE_GAP);

    m_rcLengthLabel = MeasuredRect(this, LENGTH_LABEL, small, m_rcFormat.x, Bottom(m_rcFormat) + LINE_GAP);
    m_rcLengthLabel.height = m_rcFormat.height;
    m_rcLength = wxRect(Right(m_rcLengthLabel), m_rcLengthLabel.y, Right(m_rcFormat) - Right(m_rcLengthLabel),
                        m_rcLengthLabel.height);

    m_rcSizeLabel = MeasuredRect(this, SIZE_LABEL, small, m_rcLengthLabel.x, Bottom(m_rcLengthLabel) + LINE_GAP);
    m_rcSizeLabel.height = m_rcLengthLabel.height;
    const int nValueWidth = (m_rcFormat.width - m_rcSizeLabel.width) / 2;
    m_rcSize = wxRect(Right(m_rcSizeLabel), m_rcSizeLabel.y, nValueWidth, m_rcSizeLabel.height);
    m_rcKBytes = wxRect(Right(m_rcSize), m_rcSize.y, nValueWidth, m_rcSize.height);

    const wxSize client = GetClientSize();
    const int nLeft = std::max(Right(m_rcName), Right(m_rcFormat));
    const int nMeterLeft = std::max(nLeft, client.x - METER_WIDTH);
    m_rcWave = wxRect(nLeft, 0, nMeterLeft - nLeft, client.y);
    m_rcMeter = wxRect(nMeterLeft, 0, client.x - nMeterLeft, client.y);
    // At the head of the trace, which stands still while paused.
    m_rcPaused = MeasuredRect(this, PAUSED_TEXT, big, m_rcWave.x + 4, 0);
    m_rcWaiting = MeasuredRect(this, WAITING_TEXT, big, m_rcPaused.x, 0);
    m_rcNote = wxRect();
    if (!m_note.empty())
    {
        // At the foot of the trace, right-aligned, where no information text is.
        m_rcNote = MeasuredRect(this, m_note, small, 0, 0);
        m_rcNote.x = std::max(m_rcWave.x, m_rcMeter.x - m_rcNote.width - 4);
        m_rcNote.y = std::max(0, client.y - m_rcNote.height - 2);
    }
}

void CWndWaveform::SetSourceNote(const wxString& note)
{
    if (note == m_note)
        return;
    const wxRect old = m_rcNote;
    m_note = note;
    DoLayout();
    RefreshRect(old.Union(m_rcNote), false);
}

void CWndWaveform::StartRecording(const AudioItem* pItem)
{
    if (!pItem)
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_recorded = *pItem;
        m_item = *pItem;
        m_bAwaitingStop = true;
        // The capture thread reads the copy: the settings may change once the recording stops.
        m_bViewWaveform = ViewWaveform();
        m_trace.Clear();
        m_dwPausedTicks = NO_RECORDING;
        m_meter.Reset();
    }
    m_nPoints = 0;
    m_levels = CLevelMeter::Levels();
    RefreshWhole();
    DoLayout();

    bool bStarted = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_dwStartTicks == NO_RECORDING)
        {
            m_bWelcome = false;
            m_dwStartTicks = TickCount();
            bStarted = true;
        }
    }
    if (bStarted)
    {
        m_timer.Start(1000);
        // The meter moves with the trace off too: only the trace follows the switch.
        m_bAnimating = true;
        m_bFramePainting = false;
        m_frameTimer.StartOnce(FRAME_MS);
    }
}

void CWndWaveform::ContinueRecording(const AudioItem* pItem)
{
    if (!pItem)
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const bool bShown = m_recorded.szPath[0] && std::strcmp(m_recorded.szPath, m_item.szPath) == 0;
        const uint32_t nClipped = m_recorded.nClipped;
        m_recorded = *pItem;
        m_recorded.nClipped = nClipped;
        // What the capture wrote into it before the main thread heard of the switch.
        m_recorded.nSize = GetFileSizeByName(pItem->szPath);
        if (bShown)
            m_item = *pItem;
        if (m_dwStartTicks != NO_RECORDING)
            m_dwStartTicks = m_dwPausedTicks != NO_RECORDING ? m_dwPausedTicks : TickCount();
    }
    DoLayout();
    RefreshWhole();
}

void CWndWaveform::ShowItem(const AudioItem* pItem)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (pItem)
        {
            m_item = *pItem;
            m_bWelcome = false;
        }
        else
        {
            m_item = AudioItem();
            m_bWelcome = true;
        }
    }
    DoLayout();
    RefreshWhole();
    Update();
}

void CWndWaveform::SetPath(const char* pszPath)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // The recording follows its renamed file, so its size is read from the new name.
        if (m_recorded.szPath[0] && std::strcmp(m_recorded.szPath, m_item.szPath) == 0)
        {
            m_recorded.SetPath(pszPath);
            m_recorded.DeriveName();
        }
        m_item.SetPath(pszPath);
        m_item.DeriveName();
    }
    DoLayout();
    RefreshWhole();
}

// ---- capture thread ----

void CWndWaveform::AddFrames(const uint8_t* pData, uint32_t nBytes, int nBitsPerSample, int nChannels,
                             uint32_t nSampleRate)
{
    // Clipping is counted with the trace off too: the list's row tells it.
    std::lock_guard<std::mutex> lock(m_lock);
    m_meter.AddBlock(pData, nBytes, nBitsPerSample, nChannels, nSampleRate);
    m_recorded.nClipped = static_cast<uint32_t>(std::min<uint64_t>(m_meter.ClippedSamples(), UINT32_MAX));
}

void CWndWaveform::AddSamples(const std::vector<int32_t>& samples, uint32_t nBytesWritten)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_recorded.nSize += nBytesWritten;
        if (m_bViewWaveform)
            m_trace.SetBlock(samples);
    }
    RequestMainThread(REFRESH_SIZE);
}

bool CWndWaveform::TakeStoppedRecording(AudioItem& item)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_stopped.empty())
        return false;
    item = m_stopped.front();
    m_stopped.pop_front();
    return true;
}

void CWndWaveform::CompleteRecording(const AudioItem& item)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const bool bShown = m_recorded.szPath[0] && std::strcmp(m_recorded.szPath, m_item.szPath) == 0;
        // Only a recording whose capture has ended is complete.
        if (m_dwStartTicks != NO_RECORDING)
            return;
        m_recorded = item;
        if (bShown)
            m_item = item;
    }
    DoLayout();
    RefreshWhole();
}

void CWndWaveform::OnCaptureStopped(uint32_t nMilliseconds)
{
    bool bReport = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // Closing during a recording calls this once more after the capture thread has:
        // only the first call ends the recording and tells the parent.
        bReport = m_bAwaitingStop;
        m_bAwaitingStop = false;
        m_bWaiting = false;
        if (bReport)
        {
            // The length of what was written, not of the time the recording ran.
            m_recorded.nLength = nMilliseconds;
            m_recorded.nSize = GetFileSizeByName(m_recorded.szPath);
            m_stopped.push_back(m_recorded);
        }
        m_trace.Exhaust();
        m_meter.Exhaust();
        m_dwStartTicks = NO_RECORDING;
        m_dwPausedTicks = NO_RECORDING;
    }
    if (wxThread::IsMain())
        OnCaptureStoppedMain();
    else
        RequestMainThread(CAPTURE_STOPPED);
    if (bReport && m_pParentWindow)
        PostWindowMessage(m_pParentWindow, WM_WAVEFORM_STOPPED, 0, 0);
}

void CWndWaveform::OnWaitingForSound(bool bWaiting, uint32_t nMilliseconds)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bWaiting = bWaiting;
        // The length counts what was written: it stands at that while waiting, and runs on from it.
        m_recorded.nLength = nMilliseconds;
        if (!bWaiting && m_dwStartTicks != NO_RECORDING)
            m_dwStartTicks = (m_dwPausedTicks != NO_RECORDING ? m_dwPausedTicks : TickCount()) - nMilliseconds;
    }
    RequestMainThread(REFRESH_WAITING | REFRESH_LENGTH);
}

void CWndWaveform::OnFileFinished()
{
    if (m_pParentWindow)
        PostWindowMessage(m_pParentWindow, WM_WAVEFORM_SPLIT, 0, 0);
}

void CWndWaveform::RequestMainThread(unsigned nBits)
{
    // Requests pile up in one word; only the first of a batch queues a call.
    if (m_nPending.fetch_or(nBits) == 0)
        CallAfter(&CWndWaveform::OnMainThreadRequest);
}

// ---- main thread ----

void CWndWaveform::OnMainThreadRequest()
{
    const unsigned nBits = m_nPending.exchange(0);
    if (nBits & CAPTURE_STOPPED)
        OnCaptureStoppedMain();
    const bool bShown = ShowsRecording();
    if (bShown && (nBits & REFRESH_SIZE))
        RefreshRect(m_rcSize, false);
    if (bShown && (nBits & REFRESH_LENGTH))
        RefreshRect(m_rcLength, false);
    // The length's repaint also tells a screen reader of the change.
    if (bShown && (nBits & REFRESH_WAITING))
        RefreshRect(m_rcWaiting.Union(m_rcPaused), false);
}

void CWndWaveform::OnCaptureStoppedMain()
{
    if (!IsRecording())
        SetSourceNote(wxString());
    // A new recording may have started since the stop was queued: its timers stay.
    if (!IsRecording())
    {
        m_timer.Stop();
        m_frameTimer.Stop();
        m_bAnimating = m_bFramePainting = false;
        m_pFrameDC.reset();
        // The last page stays until the view is next drawn whole; the bars drop, a clip mark stays.
        m_nPoints = 0;
        const bool bClipped = m_levels.bClipped;
        m_levels = CLevelMeter::Levels();
        m_levels.bClipped = bClipped;
        if (ShowsRecording())
            RefreshRect(m_rcMeter, false);
    }
    if (ShowsRecording())
    {
        RefreshRect(m_rcLength);
        RefreshRect(m_rcSize);
    }
}

void CWndWaveform::SetPaused(bool bPaused)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_dwStartTicks == NO_RECORDING || bPaused == (m_dwPausedTicks != NO_RECORDING))
            return;
        const DWORD dwNow = TickCount();
        if (bPaused)
        {
            m_dwPausedTicks = dwNow;
            if (!m_bWaiting)
                m_recorded.nLength = dwNow - m_dwStartTicks;
        }
        else
        {
            // The paused stretch is no part of the recording's length.
            m_dwStartTicks += dwNow - m_dwPausedTicks;
            m_dwPausedTicks = NO_RECORDING;
        }
    }
    if (ShowsRecording())
    {
        RefreshRect(m_rcPaused.Union(m_rcWaiting), false);
        RefreshRect(m_rcLength, false);
    }
}

bool CWndWaveform::IsPaused() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dwPausedTicks != NO_RECORDING;
}

bool CWndWaveform::IsWaitingForSound() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bWaiting;
}

const char* CWndWaveform::StateText() const
{
    if (IsPaused())
        return PAUSED_TEXT;
    return IsWaitingForSound() ? WAITING_TEXT : nullptr;
}

void CWndWaveform::ScheduleFrame()
{
    // Frames keep their pace: the wait is what is left of the period since the last one began.
    const DWORD nSince = TickCount() - m_dwFrameTicks;
    m_frameTimer.StartOnce(nSince < FRAME_MS ? static_cast<int>(FRAME_MS - nSince) : 1);
}

void CWndWaveform::OnFrame(wxTimerEvent&)
{
    if (!m_bAnimating)
        return;
    m_dwFrameTicks = TickCount();
    const bool bShown = ShowsRecording();
    const bool bTrace = ViewWaveform();
    int n = 0;
    CLevelMeter::Levels levels;
    {
        // Only the page and the levels are taken under the lock: the capture thread must not wait for drawing.
        std::lock_guard<std::mutex> lock(m_lock);
        if (!bShown)
        {
            // Another item is shown: this second's trace is not drawn.
            m_trace.Exhaust();
            m_meter.Exhaust();
        }
        else
        {
            if (bTrace)
                n = m_trace.NextPage(m_rcWave.width, m_rcWave.height, m_ys);
            else
                m_trace.Exhaust();
            m_meter.Step(m_dwFrameTicks);
            levels = m_meter.Shown();
        }
    }
    if (!bShown)
    {
        ScheduleFrame();
        return;
    }
    const bool bMeter = !(levels == m_levels);
    if (n < 1 && !bMeter)
    {
        ScheduleFrame();
        return;
    }
    // Drawn straight into the window only while no whole repaint is due: drawing outside a paint
    // can take the place of the one that is pending, and the view would keep its old texts.
    if (m_bDrawDirect && !m_bWholePending && IsShownOnScreen())
    {
        // Only what changed, without a paint of the whole window: the X server fills the trace's
        // lattice and draws the new line; the meter's strip is drawn again when its levels moved.
        wxClientDC& dc = FrameDC();
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(m_brushPattern);
        if (n > 0)
        {
            dc.DrawRectangle(m_rcWave);
            SetPage(n);
            DrawSamples(dc);
            if (!m_note.empty())
                DrawNote(dc);
            DrawState(dc);
        }
        if (bMeter)
        {
            // The trace left its own brush behind: the strip is the view's lattice again.
            m_levels = levels;
            dc.SetPen(*wxTRANSPARENT_PEN);
            dc.SetBrush(m_brushPattern);
            dc.DrawRectangle(m_rcMeter);
            DrawMeter(dc);
        }
        if (wxGraphicsContext* pContext = dc.GetGraphicsContext())
            pContext->Flush();
        ScheduleFrame();
        return;
    }
    if (n > 0)
    {
        SetPage(n);
        RefreshRect(m_rcWave, false);
    }
    if (bMeter)
    {
        m_levels = levels;
        RefreshRect(m_rcMeter, false);
    }
    // The next frame waits for this one's paint: never more frames than the window shows, and the
    // timer does not starve the toolkit's paint, which runs at a lower priority.
    m_bFramePainting = IsShownOnScreen();
    if (!m_bFramePainting)
        ScheduleFrame();
}

wxClientDC& CWndWaveform::FrameDC()
{
    // Where the view sits in its top-level window, from the toolkit's own records (no round trip):
    // a context made for another size or place would draw clipped or beside the view.
    wxRect place(GetPosition(), GetSize());
    for (wxWindow* p = GetParent(); p && !p->IsTopLevel(); p = p->GetParent())
        place.Offset(p->GetPosition());
    if (!m_pFrameDC || place != m_frameDCPlace)
    {
        m_pFrameDC.reset();
        m_pFrameDC = std::make_unique<wxClientDC>(this);
        if (wxGraphicsContext* pContext = m_pFrameDC->GetGraphicsContext())
            pContext->SetAntialiasMode(wxANTIALIAS_NONE);
        m_frameDCPlace = place;
    }
    return *m_pFrameDC;
}

void CWndWaveform::SetPage(int n)
{
    if (static_cast<int>(m_points.size()) < n)
        m_points.resize(n);
    for (int i = 0; i < n; ++i)
        m_points[i] = wxPoint(m_rcWave.x + i, m_rcWave.y + m_ys[i]);
    m_nPoints = n;
}

void CWndWaveform::OnTimer(wxTimerEvent& event)
{
    bool bRunning;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        bRunning = m_dwStartTicks != NO_RECORDING;
        if (bRunning && !m_bWaiting)
            m_recorded.nLength = (m_dwPausedTicks != NO_RECORDING ? m_dwPausedTicks : TickCount()) - m_dwStartTicks;
    }
    if (!bRunning)
        m_timer.Stop();
    else if (ShowsRecording())
        RefreshRect(m_rcLength, false);
    // A frame whose paint never came (a window the toolkit did not draw) does not stop the trace.
    if (m_bAnimating && m_bFramePainting && TickCount() - m_dwFrameTicks > 500)
    {
        m_bFramePainting = false;
        ScheduleFrame();
    }
}

void CWndWaveform::OnSize(wxSizeEvent& event)
{
    DoLayout();
    RefreshWhole();
    event.Skip();
}

void CWndWaveform::OnEraseBackground(wxEraseEvent&)
{
    // Painting covers every pixel.
}

void CWndWaveform::RefreshWhole()
{
    m_bWholePending = true;
    Refresh();
}

void CWndWaveform::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (GetUpdateRegion().Contains(wxRect(GetClientSize())) == wxInRegion)
        m_bWholePending = false;
    // Crisp one-pixel lines in exactly the pen's colour, and cheaper than smoothed ones.
    if (wxGraphicsContext* pContext = dc.GetGraphicsContext())
        pContext->SetAntialiasMode(wxANTIALIAS_NONE);
    const wxSize client = GetClientSize();

    // Black with the dot lattice in one fill of what needs painting: the pattern repeats from (0, 0).
    const wxRegion& update = GetUpdateRegion();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(m_bResourcesLoaded ? m_brushPattern : *wxBLACK_BRUSH);
    dc.DrawRectangle(update.GetBox().Intersect(wxRect(client)));

    // Most repaints are the trace's alone: texts are laid out only where they are seen.
    if (m_bWelcome)
        DrawWelcome(dc);
    AudioItem item;
    ShownInfo(item);
    const bool bInfo = update.Contains(InfoRect()) != wxOutRegion;
    if (item.nSampleRate != 0 && bInfo)
        DrawInfo(dc, item);
    // The texts change only where the information is drawn; a repaint of the trace alone tells nothing new.
    if ((m_bWelcome || item.nSampleRate != 0) && bInfo)
        TellScreenReader(m_bWelcome ? nullptr : &item);
    const bool bLive = !m_bWelcome && ShowsRecording();
    if (bLive && ViewWaveform() && update.Contains(m_rcWave) != wxOutRegion)
        DrawSamples(dc);
    if (bLive && update.Contains(m_rcMeter) != wxOutRegion)
        DrawMeter(dc);
    if (!m_note.empty() && ShowsRecording() && update.Contains(m_rcNote) != wxOutRegion)
        DrawNote(dc);
    if (update.Contains(m_rcWaiting.Union(m_rcPaused)) != wxOutRegion && ShowsRecording())
        DrawState(dc);
    if (m_bFramePainting)
    {
        m_bFramePainting = false;
        ScheduleFrame();
    }
}

void CWndWaveform::DrawState(wxDC& dc)
{
    const char* pszState = StateText();
    if (!pszState)
        return;
    if (m_bResourcesLoaded)
        dc.SetFont(m_fontBig);
    dc.SetBackgroundMode(wxTRANSPARENT);
    dc.SetTextForeground(TEXT_COLOUR);
    dc.DrawText(pszState, m_rcPaused.GetTopLeft());
}

void CWndWaveform::DrawNote(wxDC& dc)
{
    if (m_bResourcesLoaded)
        dc.SetFont(m_fontSmall);
    dc.SetBackgroundMode(wxTRANSPARENT);
    dc.SetTextForeground(NOTE_COLOUR);
    dc.DrawText(m_note, m_rcNote.GetTopLeft());
}

void CWndWaveform::DrawWelcome(wxDC& dc)
{
    if (m_bResourcesLoaded)
        dc.SetFont(m_fontBig);
    dc.SetBackgroundMode(wxTRANSPARENT);
    dc.SetTextForeground(TEXT_COLOUR);
    wxCoord nTextWidth = 0, nTextHeight = 0;
    dc.GetTextExtent(WELCOME_TEXT, &nTextWidth, &nTextHeight);
    dc.DrawText(WELCOME_TEXT, 0, 0);

    const wxSize client = GetClientSize();
    if (m_welcomeSine.empty() || m_welcomeSize != client)
    {
        // One period over 210 pixels, centred in the room right of the word.
        m_welcomeSize = client;
        m_welcomeSine.clear();
        const int nHalf = (client.y - 2) / 2;
        const int x0 = (client.x - WELCOME_POINTS - nTextWidth) / 2 + nTextWidth;
        double t = 0.0;
        for (int i = 0; t < 6.283185307 && i < WELCOME_POINTS; ++i, t += 0.03)
            m_welcomeSine.emplace_back(x0 + i, static_cast<int>((std::sin(t) + 1.0) * nHalf));
    }
    if (m_bResourcesLoaded)
        dc.SetPen(m_penWave);
    dc.DrawLines(static_cast<int>(m_welcomeSine.size()), m_welcomeSine.data());
}

void CWndWaveform::DrawInfo(wxDC& dc, const AudioItem& item)
{
    dc.SetBackgroundMode(wxTRANSPARENT);
    dc.SetTextForeground(TEXT_COLOUR);
    if (m_bResourcesLoaded)
        dc.SetFont(m_fontBig);
    dc.DrawText(wxString::FromUTF8(item.szName), m_rcName.GetTopLeft());

    if (m_bResourcesLoaded)
        dc.SetFont(m_fontSmall);
    dc.DrawText(InfoFormatText(item.nSampleRate, item.nChannels, item.nBitrate), m_rcFormat.GetTopLeft());
    dc.DrawText(LENGTH_LABEL, m_rcLengthLabel.GetTopLeft());
    const std::string length = InfoLengthText(item.nLength);
    if (!length.empty())
        dc.DrawText(length, m_rcLength.GetTopLeft());
    dc.DrawText(SIZE_LABEL, m_rcSizeLabel.GetTopLeft());
    const std::string size = InfoSizeText(item.nSize);
    if (!size.empty())
    {
        wxCoord w = 0, h = 0;
        dc.GetTextExtent(size, &w, &h);
        dc.DrawText(size, m_rcSize.x + (m_rcSize.width - w) / 2, m_rcSize.y);
    }
    dc.DrawText(KBYTES_LABEL, m_rcKBytes.GetTopLeft());
}

void CWndWaveform::TellScreenReader(const AudioItem* pItem)
{
    // What the view draws is also its text for a screen reader, which cannot read the pixels.
    if (!pItem)
    {
        SetAccessibleText(GetHandle(), AccessibleRole::Label, WELCOME_TEXT, "");
        return;
    }
    std::string details = InfoFormatText(pItem->nSampleRate, pItem->nChannels, pItem->nBitrate);
    details += std::string(", ") + LENGTH_LABEL + InfoLengthText(pItem->nLength);
    details += std::string(", ") + SIZE_LABEL + " " + InfoSizeText(pItem->nSize) + " " + KBYTES_LABEL;
    const char* pszState = ShowsRecording() ? StateText() : nullptr;
    if (pszState)
        details += std::string(", ") + pszState;
    SetAccessibleText(GetHandle(), AccessibleRole::Label, pItem->szName, details.c_str());
}

void CWndWaveform::DrawSamples(wxDC& dc)
{
    if (m_nPoints < 2)
        return;
    wxGraphicsContext* pContext = dc.GetGraphicsContext();
    if (!pContext || !m_bResourcesLoaded)
    {
        dc.SetPen(m_bResourcesLoaded ? m_penWave : *wxYELLOW_PEN);
        dc.DrawLines(m_nPoints, m_points.data());
        return;
    }
    // The line one pixel to the next is, in each column, the run from its y to the next one's: as
    // boxes, filled at once, it costs a fraction of a stroked line of as many segments.
    wxGraphicsPath path = pContext->CreatePath();
    for (int i = 0; i < m_nPoints;)
    {
        const int y0 = m_points[i].y;
        const int y1 = i + 1 < m_nPoints ? m_points[i + 1].y : y0;
        int nRun = 1;
        if (y0 == y1)
            while (i + nRun + 1 < m_nPoints && m_points[i + nRun + 1].y == y0)
                ++nRun;
        path.AddRectangle(m_points[i].x, std::min(y0, y1), nRun, std::abs(y1 - y0) + 1);
        i += nRun;
    }
    pContext->SetPen(*wxTRANSPARENT_PEN);
    pContext->SetBrush(m_brushWave);
    pContext->FillPath(path);
}

void CWndWaveform::DrawMeter(wxDC& dc)
{
    // A bar per channel from FLOOR_DB at the foot to 0 dBFS under the clip mark: RMS solid, the
    // peak above it dimmer, the hold a two-pixel line; the clip mark across the bars' top.
    const int nChannels = std::max(1, m_levels.nChannels);
    const int nLeft = m_rcMeter.x + METER_GAP;
    const int nWidth = m_rcMeter.GetRight() - METER_MARGIN - nLeft + 1;
    const int nBarWidth = (nWidth - (nChannels - 1) * 2) / nChannels;
    const int nTop = m_rcMeter.y + METER_MARGIN + CLIP_MARK_HEIGHT + 2;
    const int nBottom = m_rcMeter.GetBottom() - METER_MARGIN;
    const int nRange = nBottom - nTop + 1;
    if (nBarWidth < 1 || nRange < 4)
        return;
    dc.SetPen(*wxTRANSPARENT_PEN);
    auto Height = [nRange](double dDb) { return static_cast<int>(std::lround(CLevelMeter::BarFraction(dDb) * nRange)); };
    for (int c = 0; c < m_levels.nChannels; ++c)
    {
        const int x = nLeft + c * (nBarWidth + 2);
        const int nRms = Height(m_levels.rmsDb[c]), nPeak = std::max(nRms, Height(m_levels.peakDb[c]));
        dc.SetBrush(m_brushRms);
        if (nRms > 0)
            dc.DrawRectangle(x, nBottom + 1 - nRms, nBarWidth, nRms);
        dc.SetBrush(m_brushPeak);
        if (nPeak > nRms)
            dc.DrawRectangle(x, nBottom + 1 - nPeak, nBarWidth, nPeak - nRms);
        const int nHold = Height(m_levels.holdDb[c]);
        dc.SetBrush(m_brushWave);
        if (nHold > 0)
            dc.DrawRectangle(x, std::max(nTop, nBottom + 1 - nHold), nBarWidth, 2);
    }
    if (m_levels.bClipped)
    {
        dc.SetBrush(m_brushClip);
        dc.DrawRectangle(nLeft, m_rcMeter.y + METER_MARGIN, nWidth, CLIP_MARK_HEIGHT);
    }
}
