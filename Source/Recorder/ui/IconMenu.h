// A popup menu with a 16 by 16 icon beside each item, drawn by hand.
//
// wx draws menus natively on GTK, so the popup is a window of our own that
// paints the items (ivory items, a button-face icon cell, a framed highlight
// bar, the accelerator text in the last 60 pixels) and takes the mouse and
// the keys Up, Down, Home, End, Return and Escape. TrackPopupMenu runs until
// the popup closes and returns the chosen command; with an owner, the items
// are first brought up to date through the owner's update-UI handlers, and
// the chosen command then reaches the owner as an ordinary menu command.
// Main thread only.
#pragma once
#include <wx/bitmap.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

#include <cstdint>
#include <string>
#include <vector>

#ifndef MF_STRING
#define MF_STRING 0x0000u
#define MF_ENABLED 0x0000u
#define MF_BYCOMMAND 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_UNCHECKED 0x0000u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_OWNERDRAW 0x0100u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u
#endif
#ifndef TPM_LEFTALIGN
#define TPM_LEFTALIGN 0x0000u
#define TPM_LEFTBUTTON 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u
#endif

class CIconMenuPopup;

class CIconMenu
{
public:
    struct Item
    {
        std::string label;        // shown at the left, at most 127 characters
        std::string accelerator;  // the text after a tab, shown in the last 60 pixels
        wxBitmap bitmap;          // 16 by 16, or invalid for none
        uintptr_t userValue = 0;
        unsigned nFlags = 0;      // MF_ flags
        unsigned nId = 0;
        int nWidth = 0, nHeight = 0;

        bool IsSeparator() const { return (nFlags & MF_SEPARATOR) != 0; }
        bool IsSelectable() const { return !IsSeparator() && (nFlags & (MF_GRAYED | MF_DISABLED)) == 0; }
    };

    // Label and accelerator of an item text, split at its first tab.
    static void SplitItemText(const std::string& text, std::string& label, std::string& accelerator);
    // Where a popup of that size opens for a point on the screen: inside the work area.
    static wxPoint PopupOrigin(const wxPoint& point, const wxSize& size);

    CIconMenu() = default;
    ~CIconMenu();
    CIconMenu(const CIconMenu&) = delete;
    CIconMenu& operator=(const CIconMenu&) = delete;

    bool CreatePopupMenu();
    bool DestroyMenu();
    bool IsCreated() const { return m_bCreated; }

    void SetMenuItemHeight(int nHeight) { m_nItemHeight = nHeight; }
    void SetMenuItemWidth(int nWidth) { m_nItemWidth = nWidth; }
    // Only style 3 is drawn; the others are drawn as style 3.
    void SetMenuDrawMode(int nMode) { m_nDrawMode = nMode; }
    int GetMenuItemHeight() const { return m_nItemHeight; }
    int GetMenuItemWidth() const { return m_nItemWidth; }

    // nFlags: MF_STRING or MF_SEPARATOR with MF_GRAYED, MF_DISABLED, MF_CHECKED;
    // submenus (MF_POPUP) are not offered. nBitmapId: a bitmap resource or 0.
    bool AppendMenu(unsigned nFlags, unsigned nIDNewItem = 0, const char* lpszNewItem = nullptr,
                    unsigned nBitmapId = 0);
    // Return the previous state (MF_GRAYED/MF_DISABLED, MF_CHECKED) or -1 when there is no such item.
    int EnableMenuItem(unsigned nIDItem, unsigned nEnable);
    int CheckMenuItem(unsigned nIDItem, unsigned nCheck);
    int GetMenuState(unsigned nIDItem, unsigned nFlags = MF_BYCOMMAND) const;
    int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
    const std::vector<Item>& GetItems() const { return m_items; }

    // Shows the popup with its top left corner at the screen point (moved to
    // stay on screen) and waits until it closes. Returns the chosen command,
    // or 0 when the menu was dismissed.
    int TrackPopupMenu(unsigned nFlags, int x, int y, wxWindow* pOwner);
    // The popup window while TrackPopupMenu runs, else null.
    wxWindow* GetPopupWindow() const;

    // Layout, in the popup's client coordinates.
    wxSize GetMenuSize() const;
    // Widens the menu where a label and its accelerator would overlap in
    // the dc's font (TrackPopupMenu does this); returns the new width.
    int FitWidthToTexts(wxDC& dc);
    wxRect GetItemRect(size_t nIndex) const;
    // The item at the point, or -1.
    int HitTest(const wxPoint& pt) const;

    // Where style 3 puts things inside an item rectangle.
    static wxRect IconCellRect(const wxRect& item);
    static wxRect TextAreaRect(const wxRect& item);
    static wxRect LabelRect(const wxRect& item);
    wxRect AcceleratorRect(const wxRect& item) const;
    static wxRect HighlightBarRect(const wxRect& item);

    // Draws one item in style 3.
    void DrawItem(wxDC& dc, size_t nIndex, bool bHighlighted) const;
    // Draws the popup's ground and frame under the items.
    static void DrawFrame(wxDC& dc, const wxSize& size);

private:
    void UpdateFromOwner(wxWindow* pOwner);
    Item* FindItem(unsigned nId);
    const Item* FindItem(unsigned nId) const;

    bool m_bCreated = false;
    int m_nItemWidth = 25;
    int m_nItemHeight = 32;
    int m_nDrawMode = 1;
    int m_nFitWidth = 0;
    int m_nAcceleratorWidth = 60;  // widened by FitWidthToTexts for a long accelerator
    std::vector<Item> m_items;
    CIconMenuPopup* m_pPopup = nullptr;
};
