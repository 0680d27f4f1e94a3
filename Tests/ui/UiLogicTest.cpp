// The window components' rules that need no display: the page tree built
// from titles, the Ctrl+Tab order, the hover colours.
#include "HoverColors.h"
#include "PageTree.h"

#include <gtest/gtest.h>

using TreePropSheet::CPageTree;
using TreePropSheet::SplitPageTitle;
using Texts = std::vector<std::string>;

namespace
{
Texts TextsOf(const CPageTree& tree, const std::vector<int>& nodes)
{
    Texts texts;
    for (int n : nodes)
        texts.push_back(tree.GetNode(n).text);
    return texts;
}
}  // namespace

TEST(PageTreeFromTitles, SettingsTitlesGiveTopLevelNodesWithChildrenInPageOrderComparedCaseSensitively)
{
    CPageTree tree;
    const char* titles[] = {"General", "Track info", "Output formats", "Output formats::MP3", "Output formats::OGG",
                            "Output formats::WAV", "Output formats::WMA", "output formats::MP3"};
    for (int i = 0; i < 8; ++i)
        tree.AddPage(titles[i], i);
    EXPECT_EQ(TextsOf(tree, tree.GetRoots()), (Texts{"General", "Track info", "Output formats", "output formats"}));
    const CPageTree::Node& formats = tree.GetNode(tree.FindPath({"Output formats"}));
    EXPECT_EQ(formats.nPage, 2);
    ASSERT_EQ(TextsOf(tree, formats.children), (Texts{"MP3", "OGG", "WAV", "WMA"}));
    EXPECT_EQ(tree.GetNode(formats.children[0]).nPage, 3);
    EXPECT_EQ(tree.GetNodeCount(), 9u);
}

TEST(PageTreeFromTitles, EscapesKeepSeparatorsAndBackslashesInsideOneSegment)
{
    EXPECT_EQ(SplitPageTitle("A\\::B"), Texts{"A::B"});
    EXPECT_EQ(SplitPageTitle("A\\\\::B"), (Texts{"A\\", "B"}));
    EXPECT_EQ(SplitPageTitle("C:\\dir"), Texts{"C:\\dir"});
    CPageTree tree;
    tree.AddPage("A\\::B", 0);
    ASSERT_EQ(tree.GetNodeCount(), 1u);
    EXPECT_EQ(tree.GetNode(0).text, "A::B");
}

TEST(CtrlTabOrder, GoesDepthFirstBothWaysAndWrapsAndAnEmptyTreeHasNoNextNode)
{
    // A, B (B1 (B1a), B2), C (C1)
    CPageTree tree;
    const char* titles[] = {"A", "B", "B::B1", "B::B1::B1a", "B::B2", "C::C1"};
    for (int i = 0; i < 6; ++i)
        tree.AddPage(titles[i], i);
    auto walk = [&](bool bForward) {
        Texts texts;
        for (int i = 0, n = CPageTree::NoNode; i < 9; ++i)
        {
            n = bForward ? tree.GetNext(n) : tree.GetPrevious(n);
            texts.push_back(tree.GetNode(n).text);
        }
        return texts;
    };
    EXPECT_EQ(walk(true), (Texts{"A", "B", "B1", "B1a", "B2", "C", "C1", "A", "B"}));
    EXPECT_EQ(walk(false), (Texts{"C1", "C", "B2", "B1a", "B1", "B", "A", "C1", "C"}));

    CPageTree empty;
    EXPECT_EQ(empty.GetNext(CPageTree::NoNode), CPageTree::NoNode);
    EXPECT_EQ(empty.GetPrevious(CPageTree::NoNode), CPageTree::NoNode);
}

TEST(HoverColorRules, OffsetShrinksToTheSmallestHeadroomOfTheThreeChannels)
{
    struct Case { HoverRgb from; int nOffset; HoverRgb to; };
    const Case cases[] = {{{212, 208, 200}, 30, {242, 238, 230}}, {{240, 240, 240}, 30, {255, 255, 255}},
                          {{250, 100, 100}, 30, {255, 105, 105}}, {{20, 50, 80}, -30, {0, 30, 60}},
                          {{212, 208, 200}, 255, {255, 251, 243}}, {{212, 208, 200}, -255, {12, 8, 0}}};
    for (const Case& c : cases)
    {
        CHoverColors colors{HoverRgb{212, 208, 200}, HoverRgb{0, 0, 0}};
        colors.SetColor(0, c.from);
        EXPECT_EQ(colors.OffsetColor(CHoverColors::BTNST_COLOR_BK_IN, c.nOffset), CHoverColors::BTNST_OK);
        EXPECT_EQ(colors.GetColor(0), c.to) << c.nOffset;
        EXPECT_EQ(colors.GetColor(2), (HoverRgb{212, 208, 200}));
    }
}

TEST(HoverColorRules, BadIndexIsRefusedWithThreeAndBadOffsetWithFiveAndNeitherChangesAnything)
{
    CHoverColors colors{HoverRgb{212, 208, 200}, HoverRgb{0, 0, 0}};
    EXPECT_EQ(colors.SetColor(6, HoverRgb{1, 2, 3}), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.SetColor(-1, HoverRgb{1, 2, 3}), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.OffsetColor(6, 30), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.OffsetColor(6, 999), CHoverColors::BTNST_INVALIDINDEX);
    EXPECT_EQ(colors.OffsetColor(0, 256), CHoverColors::BTNST_BADPARAM);
    EXPECT_EQ(colors.OffsetColor(0, -256), CHoverColors::BTNST_BADPARAM);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(colors.GetColor(i), (i % 2 == 0 ? HoverRgb{212, 208, 200} : HoverRgb{0, 0, 0})) << i;
    EXPECT_EQ(colors.SetColor(5, HoverRgb{0, 128, 0}), CHoverColors::BTNST_OK);
    EXPECT_EQ(colors.GetColor(5), (HoverRgb{0, 128, 0}));
}
