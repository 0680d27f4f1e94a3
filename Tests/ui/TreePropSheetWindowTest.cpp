// The tree property sheet: a node without a page, the caption, the empty page text, pages that refuse to be
// left. Its tree of real pages and that it opens on the first: Tests/settings.
#include "TreePropSheet.h"
#include "UiTestSupport.h"

#include <wx/stattext.h>

#include <tuple>

namespace
{
class CTestPage : public CResizablePage
{
public:
    explicit CTestPage(const wxString& title) : CResizablePage(title) {}

    void CreateControls() override
    {
        new wxStaticText(this, wxID_ANY, GetPageTitle(), wxPoint(10, 10));
        SetMinSize(wxSize(300, 200));
    }
    bool OnKillActive() override { return ++nKillActive > 0 && !bRefuseToLeave; }

    int nKillActive = 0;
    bool bRefuseToLeave = false;
};
}  // namespace

class TreePropSheetWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MoveMouse(wxPoint(2, 2));
        m_pSheet = new CTreePropSheet("Settings", nullptr, 0);
        EXPECT_TRUE(m_pSheet->SetTreeViewMode(true, true, false));
        m_pSheet->SetEmptyPageText("Select a sub-item");
        for (const char* title : {"General", "Track info", "Output formats", "Output formats::MP3", "Output formats::OGG",
                                  "Output formats::WAV", "Output formats::WMA", "Advanced::Network"})
        {
            m_pages.push_back(new CTestPage(title));
            m_pSheet->AddPage(m_pages.back());
        }
        ASSERT_TRUE(m_pSheet->CreateSheet());
        m_pSheet->Move(60, 60);
        m_pSheet->Show();
        ASSERT_TRUE(WaitUntil([&] { return m_pSheet->IsActive() && m_pages[0]->IsShownOnScreen(); }));
        m_pSheet->GetPageTreeControl()->SetFocus();
        ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetPageTreeControl()->HasFocus() && CaptionPainted(); }));
    }

    void TearDown() override { DestroyAndWait(m_pSheet); }

    std::vector<std::pair<wxString, wxDataViewItem>> Items() const { return TreeOutline(m_pSheet->GetPageTreeControl()); }
    void ClickItem(const wxString& text)
    {
        wxDataViewTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
        wxRect rc;
        for (auto& [itemText, item] : Items())
            if (itemText.Strip(wxString::leading) == text)
                rc = pTree->GetItemRect(item, pTree->GetColumn(0));
        ASSERT_FALSE(rc.IsEmpty()) << text;
        // Never twice on one spot: the toolkit would take two quick clicks there for a double click.
        m_nClicks++;
        ClickAt(pTree->ClientToScreen(rc.GetPosition() + wxSize(rc.width * (1 + m_nClicks % 2) / 3, rc.height / 2)));
    }
    wxRect CaptionOnScreen() const { return ScreenRect(m_pSheet->GetPageFrame(), m_pSheet->GetPageFrame()->GetCaptionRect()); }
    bool CaptionPainted() const { return PixelIs(CaptionOnScreen().GetTopLeft() + wxPoint(1, 1), CPropPageFrame::CaptionStartColour(), 6); }

    CTreePropSheet* m_pSheet = nullptr;
    std::vector<CTestPage*> m_pages;
    int m_nClicks = 0;
};

TEST_F(TreePropSheetWindow, ShowsItsTitlesTreeAndCaptionKeepsAPageThatRefusesToBeLeftAndAnEmptyNodeShowsItsText)
{
    std::vector<wxString> outline;
    for (auto& item : Items())
        outline.push_back(item.first);
    EXPECT_EQ(outline, (std::vector<wxString>{"General", "Track info", "Output formats", "  MP3", "  OGG", "  WAV",
                                              "  WMA", "Advanced", "  Network"}));

    // The caption: a gradient from start to end colour under the page's title.
    wxRect rc = CaptionOnScreen();
    EXPECT_TRUE(PixelIs(wxPoint(rc.GetRight() - 1, rc.GetBottom() - 1), CPropPageFrame::CaptionEndColour(), 6));
    EXPECT_GT(CountPixels(rc, [](const wxColour& c) { return SameColour(c, CPropPageFrame::CaptionTextColour(), 30); }), 20);
    EXPECT_EQ(m_pSheet->GetPageFrame()->GetCaption(), "General");

    m_pages[0]->bRefuseToLeave = true;
    ClickItem("Track info");
    ASSERT_TRUE(WaitUntil([&] { return m_pages[0]->nKillActive == 1; }));
    Xdo("key ctrl+Tab");
    ASSERT_TRUE(WaitUntil([&] { return m_pages[0]->nKillActive == 2; }));
    ClickItem("Advanced");
    ASSERT_TRUE(WaitUntil([&] { return m_pages[0]->nKillActive == 3; }));
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(std::make_tuple(m_pSheet->GetSelectedNodeText(), m_pSheet->GetActivePage(), m_pages[0]->IsShown()),
              std::make_tuple(wxString("General"), static_cast<CResizablePage*>(m_pages[0]), true));
    EXPECT_FALSE(m_pSheet->SetActivePage(size_t(1)));

    m_pages[0]->bRefuseToLeave = false;
    ClickItem("Track info");
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetActivePage() == m_pages[1]; }));
    EXPECT_EQ(m_pSheet->GetSelectedNodeText(), "Track info");
    EXPECT_FALSE(m_pages[0]->IsShown());
    // Ctrl+Tab goes to the next page of the tree, Ctrl+Shift+Tab back, past the first to the last (the order: UiLogicTest).
    const std::pair<const char*, CTestPage*> steps[] = {{"ctrl+Tab", m_pages[2]}, {"ctrl+shift+Tab ctrl+shift+Tab ctrl+shift+Tab", m_pages[7]}};
    for (const auto& step : steps)
    {
        Xdo(std::string("key ") + step.first);
        EXPECT_TRUE(WaitUntil([&] { return m_pSheet->GetActivePage() == step.second; })) << step.first << " to " << step.second->GetPageTitle();
    }
    ClickItem("Track info");
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetActivePage() == m_pages[1]; }));

    ClickItem("Advanced");
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetSelectedNodeText() == "Advanced"; }));
    EXPECT_EQ(m_pSheet->GetActivePage(), nullptr);
    EXPECT_FALSE(m_pages[1]->IsShown());
    CPropPageFrame* pFrame = m_pSheet->GetPageFrame();
    EXPECT_TRUE(pFrame->IsMessageShown());
    wxRect page = pFrame->GetPageRect();
    wxRect middle(pFrame->ClientToScreen(wxPoint(page.x, page.y + page.height / 2 - 12)), wxSize(page.width, 24));
    EXPECT_TRUE(WaitUntil([&] { return CountPixels(middle, [](const wxColour& c) { return Luma(c) < 100; }) > 20; }));
}
