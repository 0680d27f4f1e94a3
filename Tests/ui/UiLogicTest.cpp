// The window components' rules that need no display: the page tree built
// from titles, the Ctrl+Tab order, the hover colours, the icon menu's items
// and layout.
#include "HoverColors.h"
#include "IconMenu.h"
#include "PageTree.h"

#include <gtest/gtest.h>

using TreePropSheet::CPageTree;
using TreePropSheet::SplitPageTitle;

namespace
{
std::vector<std::string> Texts(const CPageTree& tree, const std::vector<int>& nodes)
{
    std::vector<std::string> texts;
    for (int n : nodes)
        texts.push_back(tree.GetNode(n).text);
    return texts;
}
}  // namespace

TEST(PageTreeFromTitles, SettingsTitlesGiveTwoTopLevelNodesAndOneChildUnderOutputFormats)
{
    CPageTree tree;
    tree.AddPage("General", 0);
    tree.AddPage("Output formats", 1);
    tree.AddPage("Output formats::MP3", 2);

    ASSERT_EQ(Texts(tree, tree.GetRoots()), (std::vector<std::string>{"General", "Output formats"}));
    const CPageTree::Node& formats = tree.GetNode(tree.GetRoots()[1]);
    EXPECT_EQ(formats.nPage, 1);
    ASSERT_EQ(Texts(tree, formats.children), std::vector<std::string>{"MP3"});
    EXPECT_EQ(tree.GetNode(formats.children[0]).nPage, 2);
    EXPECT_EQ(tree.GetNodeCount(), 3u);
}

TEST(PageTreeFromTitles, EscapedSeparatorStaysInsideOneNode)
{
    EXPECT_EQ(SplitPageTitle("A\\::B"), std::vector<std::string>{"A::B"});
    CPageTree tree;
    tree.AddPage("A\\::B", 0);
    ASSERT_EQ(tree.GetNodeCount(), 1u);
    EXPECT_EQ(tree.GetNode(0).text, "A::B");
}

TEST(PageTreeFromTitles, EscapedBackslashIsOneBackslashAndTheSeparatorAfterItStillSplits)
{
    EXPECT_EQ(SplitPageTitle("A\\\\::B"), (std::vector<std::string>{"A\\", "B"}));
    EXPECT_EQ(SplitPageTitle("C:\\dir"), std::vector<std::string>{"C:\\dir"});
    EXPECT_EQ(SplitPageTitle("Output formats::MP3"), (std::vector<std::string>{"Output formats", "MP3"}));
}

TEST(PageTreeFromTitles, MissingParentsAreMadeWithoutPageAndAPageMayLaterTakeOne)
{
    CPageTree tree;
    tree.AddPage("Extras::Deep::Page", 0);
    int nExtras = tree.FindPath({"Extras"});
    int nDeep = tree.FindPath({"Extras", "Deep"});
    ASSERT_NE(nExtras, CPageTree::NoNode);
    ASSERT_NE(nDeep, CPageTree::NoNode);
    EXPECT_EQ(tree.GetNode(nExtras).nPage, CPageTree::NoPage);
    EXPECT_EQ(tree.GetNode(nDeep).nPage, CPageTree::NoPage);
    EXPECT_EQ(tree.GetNode(tree.FindPath({"Extras", "Deep", "Page"})).nPage, 0);

    tree.AddPage("Extras", 1);
    EXPECT_EQ(tree.GetNode(nExtras).nPage, 1);
    EXPECT_EQ(tree.GetNodeCount(), 3u);
}

TEST(PageTreeFromTitles, SegmentsCompareCaseSensitivelyAndChildrenKeepPageOrder)
{
    CPageTree tree;
    const char* titles[] = {"General", "Track info", "Output formats", "Output formats::MP3", "Output formats::OGG",
                            "Output formats::WAV", "Output formats::WMA", "output formats::MP3"};
    for (int i = 0; i < 8; ++i)
        tree.AddPage(titles[i], i);
    EXPECT_EQ(Texts(tree, tree.GetRoots()),
              (std::vector<std::string>{"General", "Track info", "Output formats", "output formats"}));
    EXPECT_EQ(Texts(tree, tree.GetNode(tree.FindPath({"Output formats"})).children),
              (std::vector<std::string>{"MP3", "OGG", "WAV", "WMA"}));
}

class CtrlTabOrder : public ::testing::Test
{
protected:
    // A, B (B1 (B1a), B2), C (C1)
    void SetUp() override
    {
        const char* titles[] = {"A", "B", "B::B1", "B::B1::B1a", "B::B2", "C::C1"};
        for (int i = 0; i < 6; ++i)
            tree.AddPage(titles[i], i);
    }
    std::vector<std::string> Walk(bool bForward, int nSteps)
    {
        std::vector<std::string> texts;
        int n = CPageTree::NoNode;
        for (int i = 0; i < nSteps; ++i)
        {
            n = bForward ? tree.GetNext(n) : tree.GetPrevious(n);
            texts.push_back(tree.GetNode(n).text);
        }
        return texts;
    }
    CPageTree tree;
};

TEST_F(CtrlTabOrder, NextGoesDepthFirstAndWrapsFromTheLastNodeToTheFirstTopLevelNode)
{
    EXPECT_EQ(Walk(true, 9), (std::vector<std::string>{"A", "B", "B1", "B1a", "B2", "C", "C1", "A", "B"}));
}

TEST_F(CtrlTabOrder, PreviousGoesToTheDeepestLastDescendantOrTheParentAndWrapsToTheLastNode)
{
    EXPECT_EQ(Walk(false, 9), (std::vector<std::string>{"C1", "C", "B2", "B1a", "B1", "B", "A", "C1", "C"}));
}

TEST_F(CtrlTabOrder, AnEmptyTreeHasNoNextNode)
{
    CPageTree empty;
    EXPECT_EQ(empty.GetNext(CPageTree::NoNode), CPageTree::NoNode);
    EXPECT_EQ(empty.GetPrevious(CPageTree::NoNode), CPageTree::NoNode);
}

class HoverColorRules : public ::testing::Test
{
protected:
    CHoverColors colors{HoverRgb{212, 208, 200}, HoverRgb{0, 0, 0}};
};

TEST_F(HoverColorRules, BackgroundsStartAsTheButtonFaceAndTextsAsTheButtonText)
{
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(colors.GetColor(i), (i % 2 == 0 ? HoverRgb{212, 208, 200} : HoverRgb{0, 0, 0})) << i;
}

TEST_F(HoverColorRules, ThirtyOnTheButtonFaceGives242_238_230)
{
    EXPECT_EQ(colors.OffsetColor(CHoverColors::BTNST_COLOR_BK_IN, 30), CHoverColors::BTNST_OK);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{242, 238, 230}));
    EXPECT_EQ(colors.GetColor(2), (HoverRgb{212, 208, 200}));
}

TEST_F(HoverColorRules, OffsetShrinksToTheSmallestHeadroomOfTheThreeChannels)
{
    colors.SetColor(0, HoverRgb{240, 240, 240});
    EXPECT_EQ(colors.OffsetColor(0, 30), CHoverColors::BTNST_OK);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{255, 255, 255}));

    colors.SetColor(0, HoverRgb{250, 100, 100});
    colors.OffsetColor(0, 30);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{255, 105, 105}));

    colors.SetColor(0, HoverRgb{20, 50, 80});
    colors.OffsetColor(0, -30);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{0, 30, 60}));
}

TEST_F(HoverColorRules, IndexSixOrMoreIsRefusedWithThreeAndChangesNothing)
{
    EXPECT_EQ(colors.SetColor(6, HoverRgb{1, 2, 3}), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.SetColor(-1, HoverRgb{1, 2, 3}), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.OffsetColor(6, 30), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.OffsetColor(6, 999), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.SetColor(5, HoverRgb{0, 128, 0}), CHoverColors::BTNST_OK);
    EXPECT_EQ(colors.GetColor(5), (HoverRgb{0, 128, 0}));
}

TEST_F(HoverColorRules, OffsetOutsideMinus255To255IsRefusedWithFive)
{
    EXPECT_EQ(colors.OffsetColor(0, 256), CHoverColors::BTNST_BADPARAM);
    EXPECT_EQ(colors.OffsetColor(0, -256), CHoverColors::BTNST_BADPARAM);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{212, 208, 200}));
    // The limits themselves are taken (and shrunk like any offset).
    EXPECT_EQ(colors.OffsetColor(0, 255), CHoverColors::BTNST_OK);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{255, 251, 243}));
    EXPECT_EQ(colors.OffsetColor(0, -255), CHoverColors::BTNST_OK);
    EXPECT_EQ(colors.GetColor(0), (HoverRgb{12, 8, 0}));
}

TEST(IconMenuItems, TextSplitsAtTheFirstTabIntoLabelAndAccelerator)
{
    std::string label, accel;
    CIconMenu::SplitItemText("Play\tCtrl+P", label, accel);
    EXPECT_EQ(label, "Play");
    EXPECT_EQ(accel, "Ctrl+P");
    CIconMenu::SplitItemText("a\tb\tc", label, accel);
    EXPECT_EQ(label, "a");
    EXPECT_EQ(accel, "b\tc");
    CIconMenu::SplitItemText("Clear all", label, accel);
    EXPECT_EQ(label, "Clear all");
    EXPECT_EQ(accel, "");
    CIconMenu::SplitItemText(std::string(200, 'x') + "\tF1", label, accel);
    EXPECT_EQ(label.size(), 127u);
    EXPECT_EQ(accel, "F1");
}

TEST(IconMenuItems, ItemsNeedAMenuAndSubmenusAreRefused)
{
    CIconMenu menu;
    EXPECT_FALSE(menu.AppendMenu(MF_STRING, 1, "Early"));
    ASSERT_TRUE(menu.CreatePopupMenu());
    EXPECT_FALSE(menu.AppendMenu(MF_POPUP, 2, "Sub"));
    EXPECT_TRUE(menu.AppendMenu(MF_STRING, 3, "Ok"));
    EXPECT_EQ(menu.GetMenuItemCount(), 1);
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_EQ(menu.GetMenuItemCount(), 0);
}

TEST(IconMenuItems, EnableAndCheckReturnThePreviousStateOrMinusOne)
{
    CIconMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, 10, "Ten");
    menu.AppendMenu(MF_STRING | MF_GRAYED, 11, "Eleven");
    EXPECT_EQ(menu.EnableMenuItem(11, MF_ENABLED), int(MF_GRAYED));
    EXPECT_EQ(menu.EnableMenuItem(10, MF_GRAYED), int(MF_ENABLED));
    EXPECT_EQ(menu.GetMenuState(10), int(MF_GRAYED));
    EXPECT_EQ(menu.CheckMenuItem(11, MF_CHECKED), int(MF_UNCHECKED));
    EXPECT_EQ(menu.GetMenuState(11), int(MF_CHECKED));
    EXPECT_EQ(menu.EnableMenuItem(99, MF_GRAYED), -1);
    EXPECT_TRUE(menu.GetItems()[0].IsSelectable() == false && menu.GetItems()[1].IsSelectable());
}

TEST(IconMenuLayout, SeparatorsAreSixPixelsHighAndItemsTakeTheSetSize)
{
    CIconMenu menu;
    menu.CreatePopupMenu();
    menu.SetMenuItemHeight(20);
    menu.SetMenuItemWidth(220);
    menu.SetMenuDrawMode(3);
    menu.AppendMenu(MF_STRING, 1, "&Record\tAlt+R");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, 2, "Play\tCtrl+P");

    EXPECT_EQ(menu.GetItemRect(0).GetHeight(), 20);
    EXPECT_EQ(menu.GetItemRect(1).GetHeight(), 6);
    EXPECT_EQ(menu.GetItemRect(2).GetTop(), menu.GetItemRect(1).GetBottom() + 1);
    EXPECT_EQ(menu.GetItemRect(0).GetWidth(), 220);
    // The popup adds a one-pixel frame around the items.
    EXPECT_EQ(menu.GetMenuSize(), wxSize(222, 48));
    EXPECT_EQ(menu.HitTest(wxPoint(100, 33)), 2);
    EXPECT_EQ(menu.HitTest(wxPoint(100, 23)), 1);
    EXPECT_EQ(menu.HitTest(wxPoint(300, 5)), -1);
}

TEST(IconMenuLayout, LabelStartsRightOfTheIconCellAndTheAcceleratorFillsTheLast60Pixels)
{
    wxRect item(1, 1, 220, 20);
    EXPECT_EQ(CIconMenu::IconCellRect(item), wxRect(1, 1, 20, 20));
    EXPECT_EQ(CIconMenu::TextAreaRect(item), wxRect(21, 1, 200, 20));
    // The text area shrunk by 2 on each side, then moved 6 right and 2 down.
    EXPECT_EQ(CIconMenu::LabelRect(item), wxRect(29, 5, 196, 16));
    wxRect accel = CIconMenu::AcceleratorRect(item);
    EXPECT_EQ(accel.GetWidth(), 60);
    EXPECT_EQ(accel.GetRight(), CIconMenu::LabelRect(item).GetRight());
    EXPECT_EQ(accel.GetLeft(), 165);
    // The highlight bar starts 2 pixels right of the icon cell and runs to the item's end.
    EXPECT_EQ(CIconMenu::HighlightBarRect(item), wxRect(23, 1, 198, 20));
    // A separator's icon cell is cut to the separator's height.
    EXPECT_EQ(CIconMenu::IconCellRect(wxRect(1, 21, 220, 6)), wxRect(1, 21, 20, 6));
}
