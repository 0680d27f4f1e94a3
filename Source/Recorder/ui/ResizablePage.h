// Base of the pages of the tree property sheet.
//
// A page is a panel the sheet creates inside its page frame when the sheet
// opens. The page builds its controls in CreateControls (where a dialog
// template would put them; nothing is anchored, so they stay there), reads
// its values in OnInitDialog the first time it is shown, and writes them in
// OnOK. The sheet owns its pages: add them with new. Main thread only.
#pragma once
#include <wx/panel.h>

namespace TreePropSheet
{
// Pages that may ask for a white background instead of the dialog colour.
// The flag starts off; the program's pages keep it off.
class CWhiteBackgroundProvider
{
public:
    virtual ~CWhiteBackgroundProvider() = default;
    bool HasWhiteBackground() const { return m_bHasWhiteBackground; }
    void SetHasWhiteBackground(bool bWhite) { m_bHasWhiteBackground = bWhite; }

private:
    bool m_bHasWhiteBackground = false;
};
}  // namespace TreePropSheet

class CResizablePage : public wxPanel
{
public:
    // The title places the page in the sheet's tree ("Output formats::MP3").
    explicit CResizablePage(const wxString& title) : m_title(title) {}

    const wxString& GetPageTitle() const { return m_title; }
    void SetPageTitle(const wxString& title) { m_title = title; }
    // Icon of the page in the sheet's tree when tree images are on; -1 for none.
    int GetImageIndex() const { return m_nImage; }
    void SetImageIndex(int nImage) { m_nImage = nImage; }

    // Called by the sheet: creates the window and its controls, hidden.
    bool CreatePage(wxWindow* pParent);
    bool IsInitialized() const { return m_bInitialized; }

    // Called by the sheet on the main thread, in this order of life:
    virtual void CreateControls() {}
    // Once, before the page is first shown.
    virtual bool OnInitDialog() { return true; }
    // Each time the page is about to be shown; false keeps the page that was shown.
    virtual bool OnSetActive() { return true; }
    // Each time the page is about to be left or the sheet to be accepted; false refuses.
    virtual bool OnKillActive() { return true; }
    // The sheet was accepted (every initialised page) or cancelled.
    virtual void OnOK() {}
    virtual void OnCancel() {}

private:
    friend class CTreePropSheet;
    bool InitOnce();

    wxString m_title;
    int m_nImage = -1;
    bool m_bInitialized = false;
};
