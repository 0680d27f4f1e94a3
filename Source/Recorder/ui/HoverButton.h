// A flat push button that draws itself in six colours and lights up while
// the mouse is over it.
//
// It is a real push button underneath (focus, Space and Enter, mnemonics,
// default and Cancel buttons behave as usual); only the drawing is ours:
// background by state (colour 0 while the mouse is over it or it is
// pressed, else colour 4 while focused, else colour 2), a thin raised edge,
// sunken while pressed, and the caption in the text colour of that state.
//
// The window's background and foreground colours (a skin sets them) feed
// the slots: the "out" and "focus" backgrounds take the background, the
// "in" background takes it lightened or darkened by what OffsetColor added
// to that slot, the texts take the foreground. A slot given its own colour
// with SetColor keeps it. An invalid colour gives the theme's back.
// Main thread only.
#pragma once
#include "HoverColors.h"

#include <wx/button.h>

#include <array>

class CHoverButton : public wxButton
{
public:
    enum
    {
        BTNST_COLOR_BK_IN = CHoverColors::BTNST_COLOR_BK_IN,
        BTNST_COLOR_FG_IN = CHoverColors::BTNST_COLOR_FG_IN,
        BTNST_COLOR_BK_OUT = CHoverColors::BTNST_COLOR_BK_OUT,
        BTNST_COLOR_FG_OUT = CHoverColors::BTNST_COLOR_FG_OUT,
        BTNST_COLOR_BK_FOCUS = CHoverColors::BTNST_COLOR_BK_FOCUS,
        BTNST_COLOR_FG_FOCUS = CHoverColors::BTNST_COLOR_FG_FOCUS,
        BTNST_MAX_COLORS = CHoverColors::BTNST_MAX_COLORS,
    };
    enum
    {
        BTNST_OK = CHoverColors::BTNST_OK,
        BTNST_INVALIDINDEX = CHoverColors::BTNST_INVALIDINDEX,
        BTNST_BADPARAM = CHoverColors::BTNST_BADPARAM,
    };

    CHoverButton();
    CHoverButton(wxWindow* pParent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = 0);
    bool Create(wxWindow* pParent, wxWindowID id, const wxString& label, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = 0);

    // Takes the place of the dialog's plain button with that id (label,
    // place, tab order, default-button role) and destroys the plain one.
    bool SubclassDlgItem(int nID, wxWindow* pParent);

    // Index 0 to 5 (else BTNST_INVALIDINDEX); BTNST_OK on success.
    int SetColor(int nIndex, const wxColour& colour, bool bRepaint = true);
    // Offset -255 to 255 (else BTNST_BADPARAM), shrunk to keep every channel in range.
    int OffsetColor(int nIndex, int nOffset, bool bRepaint = true);
    wxColour GetColor(int nIndex) const;
    // The hover look of every button of the program: the face lightened by 30, the text green.
    void UseProgramHoverLook();

    bool SetBackgroundColour(const wxColour& colour) override;
    bool SetForegroundColour(const wxColour& colour) override;

    bool IsMouseOver() const { return m_bMouseOnButton; }
    // Which colours the button shows now: the background index (0, 2 or 4).
    int GetStateColorIndex() const;

private:
    void Init();
    void OnEnter(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnFocus(wxFocusEvent& event);
    void SetMouseOver(bool bOver);
    bool IsPressed() const;
    // Sets the slots of one parity (0: backgrounds, 1: texts) that follow the window's colours.
    void FollowColour(int nParity, const wxColour& base);

public:
    // Paints the whole button through a native cairo context (GTK's draw signal).
    void PaintNative(void* pCairo);

private:
    CHoverColors m_colors;
    std::array<bool, BTNST_MAX_COLORS> m_bOwnColor{};  // set with SetColor: no longer follows the window
    std::array<int, BTNST_MAX_COLORS> m_nOffset{};     // what OffsetColor added, kept for the next base colour
    bool m_bIsFlat = true;
    bool m_bDrawBorder = true;
    bool m_bAlwaysTrack = true;
    bool m_bMouseOnButton = false;
};
