// A static text that acts as a hyperlink: blue, red while the mouse is over
// it, purple after a successful visit (until the mouse has passed over it
// again), a hand cursor, and a left click that opens the link through the
// shell stand-in (a beep when that fails). Each colour is drawn readable on
// the background it is painted on (a dark skin's too): darkened or lightened
// just enough for a contrast of 4.5:1. Tab reaches it; Enter or Space opens
// it, and so does Alt with its mnemonic ("&Mail to" opens on Alt+M), which
// also gives it the focus. Main thread only.
#pragma once
#include "Shell.h"

#include <wx/stattext.h>  // before the generic one, which would hide wxStaticText
#include <wx/generic/stattextg.h>
#include <wx/timer.h>

#include <string>

// A link text that can open itself with the shell's "open" verb.
class CHyperlink : public std::string
{
public:
    CHyperlink() = default;
    CHyperlink(const char* lpLink) : std::string(lpLink ? lpLink : "") {}
    // The shell's result: above 32 on success.
    INT_PTR Navigate() const { return ShellExecuteA(nullptr, "open", c_str(), nullptr, nullptr, SW_SHOWNORMAL); }
};

class CStaticLink : public wxGenericStaticText
{
public:
    static const wxColour g_colorUnvisited;  // 0, 0, 255
    static const wxColour g_colorVisited;    // 128, 0, 128
    static const wxColour g_colorOver;       // 255, 0, 0

    // wx owns every control's lifetime, so the delete-on-destroy flag only documents the caller's intent.
    explicit CStaticLink(const char* lpText = nullptr, bool bDeleteOnDestroy = false);
    ~CStaticLink() override;
    bool Create(wxWindow* pParent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);
    // Takes the place of the dialog's static text with that id (text,
    // alignment, place, font) and destroys the plain one.
    bool SubclassDlgItem(int nID, wxWindow* pParent);

    void SetLink(const char* lpLink);
    const CHyperlink& GetLink() const { return m_link; }
    const wxColour& GetCurrentColor() const { return m_color; }
    // The current colour as drawn on the parent's background now.
    wxColour GetShownColor() const;
    // A link colour as drawn on that background: ReadableOn it (HoverColors.h).
    static wxColour ShownOn(const wxColour& back, const wxColour& colour);
    bool IsMouseOver() const { return m_bOverControl; }
    // The hand every link shows (loaded once); the normal arrow where the theme has none.
    static const wxCursor& GetLinkCursor();
    // What a click opens: the link, else the string resource of the
    // control's id, else the control's text.
    std::string ResolveLink() const;

    bool AcceptsFocus() const override { return true; }
    bool AcceptsFocusFromKeyboard() const override { return true; }

protected:
    // The text as shown, without the mnemonic's '&'.
    wxSize DoGetBestClientSize() const override;

private:
    void Init();
    void SetColor(const wxColour& colour);
    void OnMouseMove(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnTopLevelKey(wxKeyEvent& event);
    // Opens the link: purple after a visit, a beep when the desktop cannot open it.
    void Open();

    CHyperlink m_link;
    wxColour m_color = g_colorUnvisited;
    bool m_bDeleteOnDestroy;
    bool m_bOverControl = false;
    bool m_bPressed = false;
    wxTimer m_timer;
    wxWindow* m_pTop = nullptr;  // whose keys carry the mnemonic
    static const int kTimerId = 1;
};
