// The tree property sheet in a real window: the tree its titles make, the
// Ctrl+Tab walk, the empty page text, the caption bar, pages that refuse to
// be left, and OK and Cancel.
#include "TreePropSheet.h"
#include "UiTestSupport.h"

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/stattext.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
class CTestPage : public CResizablePage
{
public:
    explicit CTestPage(const wxString& title) : CResizablePage(title) {}

    void CreateControls() override
    {
        new wxStaticText(this, wxID_ANY, GetPageTitle(), wxPoint(10, 10));
        new wxCheckBox(this, wxID_ANY, "After recording,open output folder", wxPoint(10, 40));
        SetMinSize(wxSize(300, 200));
    }
    bool OnInitDialog() override { return ++nInit > 0; }
    bool OnSetActive() override { return ++nSetActive > 0; }
    bool OnKillActive() override
    {
        ++nKillActive;
        return !bRefuseToLeave;
    }
    void OnOK() override { ++nOK; }
    void OnCancel() override { ++nCancel; }

    int nInit = 0, nSetActive = 0, nKillActive = 0, nOK = 0, nCancel = 0;
    bool bRefuseToLeave = false;
};

double Luma(const wxColour& c)
{
    return 0.299 * c.Red() + 0.587 * c.Green() + 0.114 * c.Blue();
}
}  // namespace

class TreePropSheetWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MoveMouse(wxPoint(2, 2));
        m_pSheet = new CTreePropSheet("Settings", nullptr, 0);
        EXPECT_FALSE(m_pSheet->SetTreeViewMode(false, true, false)) << "tabs are not offered";
        EXPECT_TRUE(m_pSheet->SetTreeViewMode(true, true, false));
        m_pSheet->SetEmptyPageText("Select a sub-item");
        for (const char* title : {"General", "Track info", "Output formats", "Output formats::MP3", "Output formats::OGG",
                                  "Output formats::WAV", "Output formats::WMA", "Advanced::Network"})
        {
            m_pages.push_back(new CTestPage(title));
            m_pSheet->AddPage(m_pages.back());
        }
    }

    void Open()
    {
        ASSERT_TRUE(m_pSheet->CreateSheet());
        EXPECT_FALSE(m_pSheet->SetTreeViewMode(true, false, false)) << "refused once the window exists";
        m_pSheet->Move(60, 60);
        m_pSheet->Show();
        ASSERT_TRUE(WaitUntil([&] { return m_pSheet->IsActive() && m_pages[0]->IsShownOnScreen(); }));
        m_pSheet->GetPageTreeControl()->SetFocus();
        ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetPageTreeControl()->HasFocus() && CaptionPainted(); }));
    }

    void TearDown() override
    {
        if (m_pSheet)
            m_pSheet->Destroy();
        WaitUntil([] { return wxTopLevelWindows.empty(); });
    }

    wxTreeItemId FindItem(const wxString& text, wxTreeItemId parent = wxTreeItemId()) const
    {
        wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
        if (!parent.IsOk())
            parent = pTree->GetRootItem();
        wxTreeItemIdValue cookie;
        for (wxTreeItemId item = pTree->GetFirstChild(parent, cookie); item.IsOk();
             item = pTree->GetNextChild(parent, cookie))
        {
            if (pTree->GetItemText(item) == text)
                return item;
            wxTreeItemId found = FindItem(text, item);
            if (found.IsOk())
                return found;
        }
        return wxTreeItemId();
    }
    std::vector<wxString> ChildTexts(const wxTreeItemId& parent) const
    {
        wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
        std::vector<wxString> texts;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId item = pTree->GetFirstChild(parent, cookie); item.IsOk();
             item = pTree->GetNextChild(parent, cookie))
            texts.push_back(pTree->GetItemText(item));
        return texts;
    }
    void ClickItem(const wxString& text)
    {
        wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
        wxRect rc;
        ASSERT_TRUE(pTree->GetBoundingRect(FindItem(text), rc, true)) << text;
        ClickAt(pTree->ClientToScreen(rc.GetPosition() + wxPoint(rc.width / 2, rc.height / 2)));
    }
    wxRect CaptionOnScreen() const
    {
        CPropPageFrame* pFrame = m_pSheet->GetPageFrame();
        wxRect rc = pFrame->GetCaptionRect();
        return wxRect(pFrame->ClientToScreen(rc.GetPosition()), rc.GetSize());
    }
    bool CaptionPainted() const
    {
        wxRect rc = CaptionOnScreen();
        return PixelIs(wxPoint(rc.x + 1, rc.y + 1), CPropPageFrame::CaptionStartColour(), 6);
    }

    CTreePropSheet* m_pSheet = nullptr;
    std::vector<CTestPage*> m_pages;
};

TEST_F(TreePropSheetWindow, TreeFollowsThePageTitlesAndTheFirstPageIsShown)
{
    Open();
    wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
    EXPECT_EQ(ChildTexts(pTree->GetRootItem()),
              (std::vector<wxString>{"General", "Track info", "Output formats", "Advanced"}));
    EXPECT_EQ(ChildTexts(FindItem("Output formats")), (std::vector<wxString>{"MP3", "OGG", "WAV", "WMA"}));
    EXPECT_EQ(ChildTexts(FindItem("Advanced")), std::vector<wxString>{"Network"});
    EXPECT_EQ(pTree->GetSize().x, 150);
    EXPECT_EQ(m_pSheet->GetActivePage(), m_pages[0]);
    EXPECT_EQ(m_pSheet->GetSelectedNodeText(), "General");
    EXPECT_EQ(m_pages[0]->nInit, 1);
    EXPECT_EQ(m_pages[1]->nInit, 0) << "pages are initialised when first shown";
    EXPECT_EQ(m_pSheet->GetPageFrame()->GetName(), "Page Frame");
    SaveScreenshot("tree_sheet");
}

TEST_F(TreePropSheetWindow, CaptionBarShowsTheNodeTextOnAGradient)
{
    Open();
    wxRect rc = CaptionOnScreen();
    wxColour start = CPropPageFrame::CaptionStartColour(), end = CPropPageFrame::CaptionEndColour();
    ASSERT_GT(std::abs(Luma(start) - Luma(end)), 20) << "the gradient must be visible";
    EXPECT_TRUE(PixelIs(wxPoint(rc.x + 1, rc.GetBottom() - 1), start, 6));
    EXPECT_TRUE(PixelIs(wxPoint(rc.GetRight() - 1, rc.GetBottom() - 1), end, 6));
    wxColour text = CPropPageFrame::CaptionTextColour();
    EXPECT_GT(CountPixels(rc, [&](const wxColour& c) { return SameColour(c, text, 30); }), 20);
    EXPECT_EQ(m_pSheet->GetPageFrame()->GetCaption(), "General");
}

TEST_F(TreePropSheetWindow, TreeShowsIconsOnlyWhenTreeImagesAreOn)
{
    wxBitmap icon(16, 16), folder(16, 16), page(16, 16);
    m_pSheet->SetPageImages({icon});
    m_pSheet->SetDefaultImages({folder, page});
    m_pages[0]->SetImageIndex(0);
    ASSERT_TRUE(m_pSheet->SetTreeViewMode(true, true, true));
    Open();
    wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
    ASSERT_NE(pTree->GetImageList(), nullptr);
    EXPECT_EQ(pTree->GetItemImage(FindItem("General")), 0);      // its own icon
    EXPECT_EQ(pTree->GetItemImage(FindItem("Advanced")), 1);     // a node without page
    EXPECT_EQ(pTree->GetItemImage(FindItem("Track info")), 2);   // a page without icon
}

TEST_F(TreePropSheetWindow, TreeHasNoIconsWhenTreeImagesAreOff)
{
    m_pSheet->SetPageImages({wxBitmap(16, 16)});
    Open();
    EXPECT_EQ(m_pSheet->GetPageTreeControl()->GetImageList(), nullptr);
    EXPECT_EQ(m_pSheet->GetPageTreeControl()->GetItemImage(FindItem("General")), -1);
}

TEST_F(TreePropSheetWindow, CaptionTooLongForTheBarEndsInAnEllipsis)
{
    m_pages.push_back(new CTestPage("Extras::A page title far too long for the caption bar of this sheet to show whole"));
    m_pSheet->AddPage(m_pages.back());
    Open();
    ASSERT_TRUE(m_pSheet->SetActivePage(m_pages.size() - 1));
    wxRect rc = CaptionOnScreen();
    wxColour text = CPropPageFrame::CaptionTextColour();
    auto isText = [&](const wxColour& c) { return SameColour(c, text, 60); };
    ASSERT_TRUE(WaitUntil([&] { return CountPixels(rc, isText) > 50; }));
    EXPECT_EQ(CountPixels(wxRect(rc.GetRight() - 3, rc.y, 4, rc.height), isText), 0);
    EXPECT_EQ(m_pSheet->GetPageFrame()->GetCaption(),
              "A page title far too long for the caption bar of this sheet to show whole");
}

TEST_F(TreePropSheetWindow, CtrlTabWalksTheTreeDepthFirstAndCtrlShiftTabWalksBack)
{
    Open();
    const char* forward[] = {"Track info", "Output formats", "MP3", "OGG", "WAV", "WMA", "Advanced", "Network", "General"};
    for (const char* expected : forward)
    {
        Xdo("key ctrl+Tab");
        ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetSelectedNodeText() == expected; }))
            << "expected " << expected << ", at " << m_pSheet->GetSelectedNodeText();
        EXPECT_EQ(m_pSheet->GetPageFrame()->GetCaption(), expected);
    }
    for (const char* expected : {"Network", "Advanced", "WMA"})
    {
        Xdo("key ctrl+shift+Tab");
        ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetSelectedNodeText() == expected; }))
            << "expected " << expected << ", at " << m_pSheet->GetSelectedNodeText();
    }
    EXPECT_EQ(m_pSheet->GetActivePage(), m_pages[6]);
    EXPECT_TRUE(m_pages[6]->IsShown());
}

TEST_F(TreePropSheetWindow, NodeWithoutPageHidesThePageAndShowsTheEmptyPageText)
{
    Open();
    ClickItem("Advanced");
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetSelectedNodeText() == "Advanced"; }));
    EXPECT_EQ(m_pSheet->GetActivePage(), nullptr);
    EXPECT_EQ(m_pages[0]->nKillActive, 1);
    EXPECT_FALSE(m_pages[0]->IsShown());
    EXPECT_TRUE(m_pSheet->GetPageFrame()->IsMessageShown());
    CPropPageFrame* pFrame = m_pSheet->GetPageFrame();
    wxRect page = pFrame->GetPageRect();
    wxRect middle(pFrame->ClientToScreen(wxPoint(page.x, page.y + page.height / 2 - 12)), wxSize(page.width, 24));
    EXPECT_TRUE(WaitUntil([&] { return CountPixels(middle, [](const wxColour& c) { return Luma(c) < 100; }) > 20; }));
    EXPECT_TRUE(WaitUntil([&] { return m_pSheet->GetPageTreeControl()->HasFocus(); }));
    SaveScreenshot("tree_sheet_empty_node");

    ClickItem("Network");
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetActivePage() == m_pages[7]; }));
    EXPECT_TRUE(m_pages[7]->IsShown());
    EXPECT_FALSE(pFrame->IsMessageShown());
}

TEST_F(TreePropSheetWindow, APageThatRefusesToBeLeftKeepsItsTreeSelection)
{
    Open();
    m_pages[0]->bRefuseToLeave = true;
    ClickItem("Track info");
    ASSERT_TRUE(WaitUntil([&] { return m_pages[0]->nKillActive == 1; }));
    Xdo("key ctrl+Tab");
    ASSERT_TRUE(WaitUntil([&] { return m_pages[0]->nKillActive == 2; }));
    ClickItem("Advanced");
    ASSERT_TRUE(WaitUntil([&] { return m_pages[0]->nKillActive == 3; }));
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(m_pSheet->GetSelectedNodeText(), "General");
    EXPECT_EQ(m_pSheet->GetActivePage(), m_pages[0]);
    EXPECT_TRUE(m_pages[0]->IsShown());
    EXPECT_EQ(m_pages[1]->nInit, 0);
    EXPECT_FALSE(m_pSheet->SetActivePage(size_t(1)));

    m_pages[0]->bRefuseToLeave = false;
    ClickItem("Track info");
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetActivePage() == m_pages[1]; }));
    EXPECT_EQ(m_pSheet->GetSelectedNodeText(), "Track info");
    EXPECT_FALSE(m_pages[0]->IsShown());
}

TEST_F(TreePropSheetWindow, ChangingThePageFromTheProgramMovesTheTreeSelection)
{
    Open();
    ASSERT_TRUE(m_pSheet->SetActivePage(size_t(5)));
    EXPECT_EQ(m_pSheet->GetSelectedNodeText(), "WAV");
    EXPECT_EQ(m_pSheet->GetPageFrame()->GetCaption(), "WAV");
    EXPECT_TRUE(m_pages[5]->IsShown());
    EXPECT_EQ(m_pages[5]->GetRect(), m_pSheet->GetPageFrame()->GetPageRect());
}

TEST_F(TreePropSheetWindow, OkNeedsTheActivePagesConsentAndTellsEveryInitialisedPage)
{
    Open();
    ASSERT_TRUE(m_pSheet->SetActivePage(size_t(3)));
    m_pages[3]->bRefuseToLeave = true;
    wxWindow* pOk = m_pSheet->FindWindow(wxID_OK);
    ASSERT_NE(pOk, nullptr);
    EXPECT_EQ(m_pSheet->FindWindow(wxID_APPLY), nullptr);
    ClickAt(pOk->GetScreenRect().GetPosition() + wxPoint(10, 8));
    ASSERT_TRUE(WaitUntil([&] { return m_pages[3]->nKillActive == 1; }));
    EXPECT_TRUE(m_pSheet->IsShown());
    EXPECT_EQ(m_pages[0]->nOK, 0);

    m_pages[3]->bRefuseToLeave = false;
    ClickAt(pOk->GetScreenRect().GetPosition() + wxPoint(10, 8));
    ASSERT_TRUE(WaitUntil([&] { return !m_pSheet->IsShown(); }));
    EXPECT_EQ(m_pSheet->GetReturnCode(), wxID_OK);
    std::vector<int> oks;
    for (CTestPage* pPage : m_pages)
        oks.push_back(pPage->nOK);
    EXPECT_EQ(oks, (std::vector<int>{1, 0, 0, 1, 0, 0, 0, 0}));
}

TEST_F(TreePropSheetWindow, EscapeCancelsTheModalSheet)
{
    // The modal loop is the sheet's own: the main thread notes when the sheet
    // is up, and a driver thread plays the user's Escape.
    std::atomic<bool> bUp{false};
    m_pSheet->Bind(wxEVT_IDLE, [&](wxIdleEvent& event) {
        if (!bUp && m_pSheet->IsModal() && m_pSheet->IsActive() && CaptionPainted())
            bUp = true;
        if (!bUp)
            event.RequestMore();
    });
    std::atomic<bool> bSeen{false};
    std::thread user([&] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!bUp && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        bSeen = bUp.load();
        Xdo("key Escape");
    });
    int nResult = m_pSheet->DoModal();
    user.join();
    ASSERT_TRUE(bSeen);
    EXPECT_EQ(nResult, wxID_CANCEL);
    EXPECT_EQ(m_pages[0]->nCancel, 1);
    EXPECT_EQ(m_pages[1]->nCancel, 0) << "a page never shown has nothing to cancel";
    EXPECT_EQ(m_pages[0]->nOK, 0);
}
