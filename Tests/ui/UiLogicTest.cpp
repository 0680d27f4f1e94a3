// The Ctrl+Tab order of the page tree and the hover colour offsets, which need no display.
#include "HoverColors.h"
#include "PageTree.h"

#include <gtest/gtest.h>

using TreePropSheet::CPageTree;
using Texts = std::vector<std::string>;

TEST(CtrlTabOrder, GoesDepthFirstBothWaysAndWrapsAndAnEmptyTreeHasNoNextNode)
{
    CPageTree tree;
    const char* titles[] = {"A", "B", "B::B1", "B::B1::B1a", "B::B2", "C::C1"};
    for (int i = 0; i < 6; ++i)
        tree.AddPage(titles[i], i);
    auto walk = [&](bool bForward) {
        Texts texts;
        for (int i = 0, n = CPageTree::NoNode; i < 9; ++i)
            texts.push_back(tree.GetNode(n = bForward ? tree.GetNext(n) : tree.GetPrevious(n)).text);
        return texts;
    };
    EXPECT_EQ(walk(true), (Texts{"A", "B", "B1", "B1a", "B2", "C", "C1", "A", "B"}));
    EXPECT_EQ(walk(false), (Texts{"C1", "C", "B2", "B1a", "B1", "B", "A", "C1", "C"}));
    CPageTree empty;
    EXPECT_EQ(empty.GetNext(CPageTree::NoNode), CPageTree::NoNode);
}

TEST(HoverOffsets, ShrinkSoThatTheChannelWithLeastRoomStopsAtItsLimitAlsoWhenThatIsBlue)
{
    CHoverColors colors({150, 190, 235}, {40, 60, 12});
    EXPECT_EQ(CHoverColors::BTNST_OK, colors.OffsetColor(CHoverColors::BTNST_COLOR_BK_IN, 30));
    EXPECT_EQ(CHoverColors::BTNST_OK, colors.OffsetColor(CHoverColors::BTNST_COLOR_FG_IN, -30));
    EXPECT_EQ(HoverRgb({170, 210, 255}), colors.GetColor(CHoverColors::BTNST_COLOR_BK_IN));
    EXPECT_EQ(HoverRgb({28, 48, 0}), colors.GetColor(CHoverColors::BTNST_COLOR_FG_IN));
    EXPECT_EQ(CHoverColors::BTNST_BADPARAM, colors.OffsetColor(CHoverColors::BTNST_COLOR_BK_IN, 256));
}
