#include "TreePropSheet.h"

#include <wx/button.h>
#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include <algorithm>

namespace
{
const int kFrameBorder = 1;   // the frame's line
const int kPageMargin = 6;    // between the edge (or the caption) and the page

// The tree's store would sort nodes with children before the others; the sheet keeps the order the pages came in.
class CInOrderStore : public wxDataViewTreeStore
{
public:
    bool HasDefaultCompare() const override { return false; }
};

double Luminance(const wxColour& c)
{
    return 0.299 * c.Red() + 0.587 * c.Green() + 0.114 * c.Blue();
}
}  // namespace

// ---------------------------------------------------------------------------
// CPropPageFrame

CPropPageFrame::CPropPageFrame(wxWindow* pParent, bool bShowCaption) : m_bShowCaption(bShowCaption)
{
    Create(pParent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE | wxTAB_TRAVERSAL, "Page Frame");
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    SetCursor(*wxSTANDARD_CURSOR);
    Bind(wxEVT_PAINT, &CPropPageFrame::OnPaint, this);
}

wxColour CPropPageFrame::CaptionStartColour()
{
    wxColour start = wxSystemSettings::GetColour(wxSYS_COLOUR_INACTIVECAPTION);
    wxColour end = CaptionEndColour();
    // GTK themes often give the inactive caption the window's own colour,
    // which would hide the bar; then it starts from a light shade of the selection colour.
    if (std::abs(Luminance(start) - Luminance(end)) < 30)
    {
        wxColour select = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
        start = wxColour((select.Red() + end.Red()) / 2, (select.Green() + end.Green()) / 2,
                         (select.Blue() + end.Blue()) / 2);
    }
    return start;
}

wxColour CPropPageFrame::CaptionEndColour()
{
    return wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
}

wxColour CPropPageFrame::CaptionTextColour()
{
    wxColour text = wxSystemSettings::GetColour(wxSYS_COLOUR_CAPTIONTEXT);
    // Some desktop themes pair a light caption with light caption text; keep the text readable.
    if (std::abs(Luminance(text) - Luminance(CaptionStartColour())) < 90)
        text = Luminance(CaptionStartColour()) > 128 ? *wxBLACK : *wxWHITE;
    return text;
}

void CPropPageFrame::SetCaption(const wxString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    if (m_bShowCaption)
        RefreshRect(GetCaptionRect());
}

void CPropPageFrame::SetMessage(const wxString& message)
{
    m_message = message;
    Refresh();
}

void CPropPageFrame::ShowMessage(bool bShow)
{
    m_bShowMessage = bShow;
    Refresh();
}

int CPropPageFrame::CaptionHeight() const
{
    if (!m_bShowCaption)
        return 0;
    return GetTextExtent("Ag").y * 3 / 2 + 4;
}

wxRect CPropPageFrame::GetCaptionRect() const
{
    wxSize client = GetClientSize();
    return wxRect(kFrameBorder + kPageMargin, kFrameBorder + kPageMargin,
                  std::max(0, client.x - 2 * (kFrameBorder + kPageMargin)), CaptionHeight());
}

wxRect CPropPageFrame::GetPageRect() const
{
    wxSize client = GetClientSize();
    int top = kFrameBorder + kPageMargin + (m_bShowCaption ? CaptionHeight() + kPageMargin : 0);
    return wxRect(kFrameBorder + kPageMargin, top, std::max(0, client.x - 2 * (kFrameBorder + kPageMargin)),
                  std::max(0, client.y - top - kFrameBorder - kPageMargin));
}

wxSize CPropPageFrame::FrameSizeForPage(const wxSize& pageSize) const
{
    int extra = 2 * (kFrameBorder + kPageMargin);
    return wxSize(pageSize.x + extra, pageSize.y + extra + (m_bShowCaption ? CaptionHeight() + kPageMargin : 0));
}

void CPropPageFrame::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    wxSize client = GetClientSize();
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();

    // A plain frame: GTK themes have no tab pane to borrow, and a thin line in the shadow colour suits them.
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(0, 0, client.x, client.y);

    if (m_bShowCaption)
    {
        wxRect rc = GetCaptionRect();
        dc.GradientFillLinear(rc, CaptionStartColour(), CaptionEndColour(), wxEAST);
        wxFont font = GetFont().Bold();
        dc.SetFont(font);
        dc.SetTextForeground(CaptionTextColour());
        wxRect text = rc.Deflate(4, 0);
        wxString shown = wxControl::Ellipsize(m_caption, dc, wxELLIPSIZE_END, text.width);
        dc.DrawLabel(shown, text, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL);
    }

    if (m_bShowMessage && !m_message.empty())
    {
        dc.SetFont(GetFont());
        dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNTEXT));
        dc.DrawLabel(m_message, GetPageRect(), wxALIGN_CENTER);
    }
}

// ---------------------------------------------------------------------------
// CTreePropSheet

CTreePropSheet::CTreePropSheet(const wxString& caption, wxWindow* pParent, unsigned nSelectPage)
    : m_caption(caption), m_pParent(pParent), m_nSelectPage(nSelectPage)
{
}

CTreePropSheet::~CTreePropSheet()
{
    // Pages whose window was never made are not children yet, so nothing else deletes them.
    for (CResizablePage* pPage : m_pages)
        if (!pPage->GetHandle())
            delete pPage;
}

bool CTreePropSheet::SetTreeViewMode(bool bTreeViewMode, bool bPageCaption, bool bTreeImages)
{
    if (GetHandle() || !bTreeViewMode)
        return false;
    m_bTreeViewMode = true;
    m_bPageCaption = bPageCaption;
    m_bTreeImages = bTreeImages;
    return true;
}

void CTreePropSheet::SetEmptyPageText(const wxString& text)
{
    m_emptyPageText = text;
    if (m_pFrame)
        m_pFrame->SetMessage(text);
}

bool CTreePropSheet::SetTreeWidth(int nWidth)
{
    if (GetHandle() || nWidth <= 0)
        return false;
    m_nTreeWidth = nWidth;
    return true;
}

void CTreePropSheet::AddPage(CResizablePage* pPage)
{
    m_pages.push_back(pPage);
    if (!GetHandle())
        return;
    // A page added to an open sheet joins the tree at once.
    pPage->CreatePage(m_pFrame);
    BuildTree();
    // Nodes keep their numbers: the new page's nodes come after the others.
    SelectNodeQuietly(m_nShownNode);
}

int CTreePropSheet::GetActiveIndex() const
{
    auto it = std::find(m_pages.begin(), m_pages.end(), m_pActive);
    return it == m_pages.end() ? -1 : static_cast<int>(it - m_pages.begin());
}

bool CTreePropSheet::CreateSheet()
{
    if (GetHandle())
        return true;
    if (!wxDialog::Create(m_pParent, wxID_ANY, m_caption, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE))
        return false;

    m_pTree = new wxDataViewTreeCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(m_nTreeWidth, -1),
                                     wxDV_NO_HEADER | wxDV_SINGLE | wxBORDER_THEME);
    wxObjectDataPtr<CInOrderStore> pStore(new CInOrderStore);
    m_pTree->AssociateModel(pStore.get());
    m_pFrame = new CPropPageFrame(this, m_bPageCaption);
    m_pFrame->SetMessage(m_emptyPageText);

    // The frame is as large as the largest page.
    wxSize pageSize(0, 0);
    for (CResizablePage* pPage : m_pages)
    {
        pPage->CreatePage(m_pFrame);
        wxSize best = pPage->GetBestSize();
        wxSize set = pPage->GetSize();
        pageSize.IncTo(wxSize(std::max(best.x, set.x), std::max(best.y, set.y)));
    }
    m_pFrame->SetMinSize(m_pFrame->FrameSizeForPage(pageSize));

    wxBoxSizer* pTop = new wxBoxSizer(wxHORIZONTAL);
    pTop->Add(m_pTree, 0, wxEXPAND | wxRIGHT, 6);
    pTop->Add(m_pFrame, 1, wxEXPAND);
    wxStdDialogButtonSizer* pButtons = new wxStdDialogButtonSizer();
    auto* pOk = new wxButton(this, wxID_OK);
    // Return in any field of a page is OK, as in every dialog.
    pOk->SetDefault();
    pButtons->AddButton(pOk);
    pButtons->AddButton(new wxButton(this, wxID_CANCEL));
    pButtons->Realize();
    wxBoxSizer* pAll = new wxBoxSizer(wxVERTICAL);
    pAll->Add(pTop, 1, wxEXPAND | wxALL, 8);
    pAll->Add(pButtons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    SetSizerAndFit(pAll);

    BuildTree();

    m_pTree->Bind(wxEVT_DATAVIEW_SELECTION_CHANGED, &CTreePropSheet::OnTreeSelChanged, this);
    m_pFrame->Bind(wxEVT_SIZE, &CTreePropSheet::OnFrameSize, this);
    Bind(wxEVT_CHAR_HOOK, &CTreePropSheet::OnCharHook, this);
    Bind(wxEVT_BUTTON, &CTreePropSheet::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CTreePropSheet::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CTreePropSheet::OnClose, this);

    if (!m_pages.empty())
        SetActivePage(m_nSelectPage < m_pages.size() ? m_nSelectPage : 0);
    CentreOnParent();
    m_pTree->SetFocus();
    return true;
}

void CTreePropSheet::BuildTree()
{
    m_tree.Clear();
    for (size_t i = 0; i < m_pages.size(); ++i)
        m_tree.AddPage(m_pages[i]->GetPageTitle().utf8_string(), static_cast<int>(i));

    m_bQuietSelection = true;
    m_pTree->DeleteAllItems();
    m_items.assign(m_tree.GetNodeCount(), wxDataViewItem());

    if (m_bTreeImages && (!m_pageImages.empty() || !m_defaultImages.empty()))
    {
        wxSize size = !m_pageImages.empty() ? m_pageImages.front().GetSize() : m_defaultImages.front().GetSize();
        m_pImages = std::make_unique<wxImageList>(size.x, size.y, true);
        for (const wxBitmap& bitmap : m_pageImages)
            m_pImages->Add(bitmap);
        for (const wxBitmap& bitmap : m_defaultImages)
            m_pImages->Add(bitmap);
        m_pTree->SetImageList(m_pImages.get());
    }
    auto imageOf = [&](int nNode) {
        if (!m_pImages)
            return -1;
        const TreePropSheet::CPageTree::Node& node = m_tree.GetNode(nNode);
        int nDefault = static_cast<int>(m_pageImages.size());
        if (node.nPage < 0)
            return m_defaultImages.empty() ? -1 : nDefault;
        int nOwn = m_pages[static_cast<size_t>(node.nPage)]->GetImageIndex();
        if (nOwn >= 0 && nOwn < static_cast<int>(m_pageImages.size()))
            return nOwn;
        return m_defaultImages.size() > 1 ? nDefault + 1 : -1;
    };

    // Nodes are numbered in the order they were made, so a parent always comes before its children.
    for (size_t n = 0; n < m_tree.GetNodeCount(); ++n)
    {
        const TreePropSheet::CPageTree::Node& node = m_tree.GetNode(static_cast<int>(n));
        wxDataViewItem parent = node.nParent < 0 ? wxDataViewItem() : m_items[static_cast<size_t>(node.nParent)];
        const wxString text = wxString::FromUTF8(node.text);
        const int nImage = imageOf(static_cast<int>(n));
        m_items[n] = node.children.empty() ? m_pTree->AppendItem(parent, text, nImage)
                                           : m_pTree->AppendContainer(parent, text, nImage, nImage);
    }
    for (size_t n = 0; n < m_items.size(); ++n)
        if (!m_tree.GetNode(static_cast<int>(n)).children.empty())
            m_pTree->Expand(m_items[n]);
    m_bQuietSelection = false;
}

int CTreePropSheet::NodeOfItem(const wxDataViewItem& item) const
{
    auto it = item.IsOk() ? std::find(m_items.begin(), m_items.end(), item) : m_items.end();
    return it == m_items.end() ? TreePropSheet::CPageTree::NoNode : static_cast<int>(it - m_items.begin());
}

wxString CTreePropSheet::GetSelectedNodeText() const
{
    if (!m_pTree)
        return wxString();
    wxDataViewItem item = m_pTree->GetSelection();
    return item.IsOk() ? m_pTree->GetItemText(item) : wxString();
}

void CTreePropSheet::SelectNodeQuietly(int nNode)
{
    if (nNode < 0 || static_cast<size_t>(nNode) >= m_items.size())
        return;
    const wxDataViewItem& item = m_items[static_cast<size_t>(nNode)];
    m_bQuietSelection = true;
    // The cursor too, so Up and Down go on from the shown node.
    m_pTree->SetCurrentItem(item);
    m_pTree->Select(item);
    m_pTree->EnsureVisible(item);
    m_bQuietSelection = false;
}

bool CTreePropSheet::LeaveActivePage()
{
    if (!m_pActive)
        return true;
    return m_pActive->OnKillActive();
}

void CTreePropSheet::ShowPage(CResizablePage* pPage, int nNode)
{
    if (m_pActive && m_pActive != pPage)
        m_pActive->Hide();
    m_pActive = pPage;
    m_nShownNode = nNode;
    if (nNode >= 0)
        m_pFrame->SetCaption(wxString::FromUTF8(m_tree.GetNode(nNode).text));
    if (pPage)
    {
        auto* pWhite = dynamic_cast<TreePropSheet::CWhiteBackgroundProvider*>(pPage);
        if (pWhite && pWhite->HasWhiteBackground())
            pPage->SetBackgroundColour(*wxWHITE);
        m_pFrame->ShowMessage(false);
        LayoutActivePage();
        pPage->Show();
    }
    else
    {
        m_pFrame->ShowMessage(true);
    }
}

void CTreePropSheet::LayoutActivePage()
{
    if (m_pActive)
        m_pActive->SetSize(m_pFrame->GetPageRect());
}

bool CTreePropSheet::SetActivePage(CResizablePage* pPage)
{
    if (!GetHandle())
    {
        // Before the sheet opens this only chooses the page shown first.
        auto it = std::find(m_pages.begin(), m_pages.end(), pPage);
        if (it == m_pages.end())
            return false;
        m_nSelectPage = static_cast<unsigned>(it - m_pages.begin());
        return true;
    }
    auto it = std::find(m_pages.begin(), m_pages.end(), pPage);
    if (it == m_pages.end())
        return false;
    int nNode = m_tree.FindPageNode(static_cast<int>(it - m_pages.begin()));
    if (pPage != m_pActive && !ActivatePage(pPage, nNode))
        return false;
    SelectNodeQuietly(nNode);
    return true;
}

bool CTreePropSheet::ActivatePage(CResizablePage* pPage, int nNode)
{
    if (!LeaveActivePage())
        return false;
    pPage->InitOnce();
    if (!pPage->OnSetActive())
    {
        // The old page stays; it was told it was leaving, so tell it it is back.
        if (m_pActive)
            m_pActive->OnSetActive();
        return false;
    }
    ShowPage(pPage, nNode);
    return true;
}

bool CTreePropSheet::ShowNode(int nNode)
{
    const TreePropSheet::CPageTree::Node& node = m_tree.GetNode(nNode);
    if (node.nPage < 0)
    {
        if (!LeaveActivePage())
            return false;
        ShowPage(nullptr, nNode);
        return true;
    }
    CResizablePage* pPage = m_pages[static_cast<size_t>(node.nPage)];
    return pPage == m_pActive || ActivatePage(pPage, nNode);
}

void CTreePropSheet::OnTreeSelChanged(wxDataViewEvent&)
{
    if (m_bQuietSelection || m_bEnding)
        return;
    const int nNode = NodeOfItem(m_pTree->GetSelection());
    // The toolkit has moved the selection already: a page that refused to be left (or a
    // selection cleared with Ctrl+click) takes it back to the node still shown.
    if (nNode < 0 || nNode == m_nShownNode || !ShowNode(nNode))
        SelectNodeQuietly(m_nShownNode);
}

void CTreePropSheet::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_TAB && event.ControlDown() && !event.AltDown())
    {
        const int nNext = event.ShiftDown() ? m_tree.GetPrevious(m_nShownNode) : m_tree.GetNext(m_nShownNode);
        if (nNext >= 0 && nNext != m_nShownNode)
            ShowNode(nNext);
        SelectNodeQuietly(m_nShownNode);
        m_pTree->SetFocus();
        return;
    }
    event.Skip();
}

void CTreePropSheet::OnFrameSize(wxSizeEvent& event)
{
    LayoutActivePage();
    event.Skip();
}

void CTreePropSheet::OnOK(wxCommandEvent&)
{
    if (!LeaveActivePage())
        return;
    m_bEnding = true;
    for (CResizablePage* pPage : m_pages)
        if (pPage->IsInitialized())
            pPage->OnOK();
    if (IsModal())
        EndModal(wxID_OK);
    else
    {
        SetReturnCode(wxID_OK);
        Hide();
    }
}

void CTreePropSheet::OnCancel(wxCommandEvent&)
{
    m_bEnding = true;
    for (CResizablePage* pPage : m_pages)
        if (pPage->IsInitialized())
            pPage->OnCancel();
    if (IsModal())
        EndModal(wxID_CANCEL);
    else
    {
        SetReturnCode(wxID_CANCEL);
        Hide();
    }
}

void CTreePropSheet::OnClose(wxCloseEvent&)
{
    wxCommandEvent cancel(wxEVT_BUTTON, wxID_CANCEL);
    OnCancel(cancel);
}

int CTreePropSheet::DoModal()
{
    if (!CreateSheet())
        return wxID_CANCEL;
    m_bEnding = false;
    return ShowModal();
}
