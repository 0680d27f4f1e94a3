// A property sheet that lists its pages in a tree instead of tabs.
//
// Each page's title gives its place in the tree: "Output formats::MP3" puts
// "MP3" below "Output formats" ("\::" is a literal "::", "\\" a backslash).
// Nodes made on the way carry no page; selecting one shows the empty page
// text. Ctrl+Tab and Ctrl+Shift+Tab walk the tree. With page captions on, a
// caption bar with the node's text sits above the page.
//
// The tree is the toolkit's own tree view (a data view), which screen readers
// read as a tree of cells; Up and Down in it move between pages.
//
// The sheet owns its pages (add them with new). OK and Cancel close it; there
// is no Apply button. Main thread only.
#pragma once
#include "PageTree.h"
#include "ResizablePage.h"

#include <wx/containr.h>
#include <wx/dialog.h>
#include <wx/imaglist.h>
#include <wx/dataview.h>

#include <memory>
#include <vector>

class CPropPageFrame;

class CTreePropSheet : public wxDialog
{
public:
    CTreePropSheet(const wxString& caption, wxWindow* pParent = nullptr, unsigned nSelectPage = 0);
    ~CTreePropSheet() override;

    // Refused (false) once the sheet window exists. The tab layout is not
    // offered: a false tree view mode is refused too. Page captions and tree
    // images are only taken together with the tree view mode.
    bool SetTreeViewMode(bool bTreeViewMode = true, bool bPageCaption = false, bool bTreeImages = false);
    void SetEmptyPageText(const wxString& text);
    const wxString& GetEmptyPageText() const { return m_emptyPageText; }
    bool SetTreeWidth(int nWidth);
    int GetTreeWidth() const { return m_nTreeWidth; }
    // Icons for the tree when tree images are on: the page icons (a page
    // names its own with SetImageIndex) and the default icons (the first for
    // a node without page, the second for a page without icon).
    void SetPageImages(const std::vector<wxBitmap>& images) { m_pageImages = images; }
    void SetDefaultImages(const std::vector<wxBitmap>& images) { m_defaultImages = images; }

    void AddPage(CResizablePage* pPage);
    size_t GetPageCount() const { return m_pages.size(); }
    CResizablePage* GetPage(size_t nIndex) const { return m_pages[nIndex]; }
    CResizablePage* GetActivePage() const { return m_pActive; }
    int GetActiveIndex() const;
    // Makes the page the shown one, asking the shown page first; the tree
    // selection follows. False when either page refused.
    bool SetActivePage(CResizablePage* pPage);
    bool SetActivePage(size_t nIndex) { return nIndex < m_pages.size() && SetActivePage(m_pages[nIndex]); }

    // Creates the sheet window with its tree and pages, hidden; DoModal does it too.
    bool CreateSheet();
    // Runs the sheet modally: wxID_OK or wxID_CANCEL.
    int DoModal();

    // Windows of the sheet, for the program's own use and for tests.
    wxDataViewTreeCtrl* GetPageTreeControl() const { return m_pTree; }
    CPropPageFrame* GetPageFrame() const { return m_pFrame; }
    const TreePropSheet::CPageTree& GetPageTree() const { return m_tree; }
    // The text of the node selected in the tree.
    wxString GetSelectedNodeText() const;

private:
    void BuildTree();
    int NodeOfItem(const wxDataViewItem& item) const;
    void SelectNodeQuietly(int nNode);
    bool LeaveActivePage();
    // Shows the node's page, or the empty page text for a node without one, asking the
    // shown page first; false when either page refused.
    bool ShowNode(int nNode);
    // Leaves the shown page and shows this one; false, with the old page still shown, when either refuses.
    bool ActivatePage(CResizablePage* pPage, int nNode);
    void ShowPage(CResizablePage* pPage, int nNode);
    void LayoutActivePage();

    void OnTreeSelChanged(wxDataViewEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnFrameSize(wxSizeEvent& event);

    // Settings, in the order of the original component.
    bool m_bTreeViewMode = true;
    bool m_bPageCaption = false;
    bool m_bTreeImages = false;
    std::vector<wxBitmap> m_pageImages;
    std::vector<wxBitmap> m_defaultImages;
    wxString m_emptyPageText;
    int m_nTreeWidth = 150;

    wxString m_caption;
    wxWindow* m_pParent;
    unsigned m_nSelectPage;
    std::vector<CResizablePage*> m_pages;
    CResizablePage* m_pActive = nullptr;
    TreePropSheet::CPageTree m_tree;
    std::vector<wxDataViewItem> m_items;  // tree item of each node
    int m_nShownNode = TreePropSheet::CPageTree::NoNode;
    wxDataViewTreeCtrl* m_pTree = nullptr;
    CPropPageFrame* m_pFrame = nullptr;
    std::unique_ptr<wxImageList> m_pImages;
    bool m_bQuietSelection = false;
    bool m_bEnding = false;
};

// The window that holds the shown page: a plain frame, the caption bar when
// captions are on, and the empty page text when the node has no page. Tab and
// Shift+Tab go through the shown page's controls, never stopping on the frame.
class CPropPageFrame : public wxNavigationEnabled<wxWindow>
{
public:
    CPropPageFrame(wxWindow* pParent, bool bShowCaption);

    void SetCaption(const wxString& caption);
    const wxString& GetCaption() const { return m_caption; }
    void SetMessage(const wxString& message);  // shown when no page is
    void ShowMessage(bool bShow);
    bool IsMessageShown() const { return m_bShowMessage; }
    bool HasCaptionBar() const { return m_bShowCaption; }

    wxRect GetCaptionRect() const;
    // Where the page goes, in the frame's client coordinates.
    wxRect GetPageRect() const;
    // The frame size that holds a page of the given size.
    wxSize FrameSizeForPage(const wxSize& pageSize) const;

    // Caption bar colours: a gradient from the first to the second, text in the third.
    static wxColour CaptionStartColour();
    static wxColour CaptionEndColour();
    static wxColour CaptionTextColour();

private:
    void OnPaint(wxPaintEvent& event);
    int CaptionHeight() const;

    bool m_bShowCaption;
    bool m_bShowMessage = false;
    wxString m_caption;
    wxString m_message;
};
