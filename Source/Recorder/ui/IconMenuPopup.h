// The window that shows a CIconMenu while TrackPopupMenu runs: it paints the
// menu's items and takes the mouse and the keys Up, Down, Home, End, Return,
// Escape and the items' mnemonic letters. Main thread only.
#pragma once
#include "IconMenu.h"
#include "WindowSystem.h"

#include <wx/evtloop.h>
#include <wx/popupwin.h>

class CIconMenuPopup : public wxPopupTransientWindow
{
public:
    CIconMenuPopup(wxWindow* pParent, CIconMenu* pMenu);

    // Shows the popup and runs the loop until an item is chosen or the popup is dismissed.
    void Run(wxGUIEventLoop& loop);
    // The chosen command, or 0.
    int GetChosen() const { return m_nChosen; }

protected:
    bool ProcessLeftDown(wxMouseEvent& event) override;
    void OnDismiss() override { Finish(); }

private:
    void Finish();
    void Choose(int nIndex);
    void Cancel();
    void SetHot(int nIndex);
    int Selectable(int nIndex) const;
    // The next selectable item from the hot one in the direction, wrapping around.
    int Step(int nDirection) const;
    // A letter chooses the item it is the mnemonic of ("&Record": R), when only one item has it.
    void ChooseByMnemonic(uint32_t nChar);

    void OnPaint(wxPaintEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnOtherButtonDown(wxMouseEvent& event);
    static void OnPopupKey(void* pUser, PopupKey key, uint32_t nChar);

    CIconMenu* m_pMenu;
    wxGUIEventLoop* m_pLoop = nullptr;
    int m_nHot = -1;
    int m_nChosen = 0;
    bool m_bDone = false;
};
