// The hover button's colours follow the mouse, even while its window is not active.
#include "HoverButton.h"
#include "UiTestSupport.h"

#include <wx/frame.h>
#include <wx/panel.h>

#include <gtest/gtest.h>

class HoverButtonWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MoveMouse(wxPoint(2, 2));
        m_pFrame = new wxFrame(nullptr, wxID_ANY, "Hover buttons", wxPoint(60, 60), wxSize(420, 160));
        wxPanel* pPanel = new wxPanel(m_pFrame);
        m_pRecord = new CHoverButton(pPanel, 1010, "&Record", wxPoint(20, 30), wxSize(120, 32));
        m_pStop = new CHoverButton(pPanel, 1017, "&Stop", wxPoint(180, 30), wxSize(120, 32));
        for (CHoverButton* pButton : {m_pRecord, m_pStop})
        {
            EXPECT_EQ(pButton->OffsetColor(CHoverButton::BTNST_COLOR_BK_IN, 30, true), CHoverButton::BTNST_OK);
            EXPECT_EQ(pButton->SetColor(CHoverButton::BTNST_COLOR_FG_IN, wxColour(0, 128, 0), true),
                      CHoverButton::BTNST_OK);
        }
        m_pFrame->Show();
        ASSERT_TRUE(WaitUntil([&] { return m_pFrame->IsActive() && m_pRecord->IsShownOnScreen(); }));
        ASSERT_TRUE(WaitUntil([&] { return PixelIs(At(m_pRecord, 5, 5), m_pRecord->GetColor(2)); }));
    }

    void TearDown() override { DestroyAndWait(m_pFrame); }

    static wxPoint At(wxWindow* pWindow, int x, int y) { return pWindow->ClientToScreen(wxPoint(x, y)); }
    static wxPoint Centre(wxWindow* pWindow)
    {
        wxSize size = pWindow->GetClientSize();
        return At(pWindow, size.x / 2, size.y / 2);
    }
    static int GreenTextPixels(wxWindow* pWindow)
    {
        return CountPixels(pWindow->GetScreenRect(), [](const wxColour& c) {
            return c.Green() >= 80 && c.Red() + 60 < c.Green() && c.Blue() + 60 < c.Green();
        });
    }

    wxFrame* m_pFrame = nullptr;
    CHoverButton* m_pRecord = nullptr;
    CHoverButton* m_pStop = nullptr;
};

TEST_F(HoverButtonWindow, LightensAndTurnsItsTextGreenWhileTheMouseIsOverItOnlyAlsoInAnInactiveWindow)
{
    wxColour out = m_pRecord->GetColor(CHoverButton::BTNST_COLOR_BK_OUT);
    wxColour in = m_pRecord->GetColor(CHoverButton::BTNST_COLOR_BK_IN);
    ASSERT_FALSE(SameColour(in, out));
    EXPECT_EQ(GreenTextPixels(m_pRecord), 0);

    MoveMouse(Centre(m_pRecord));
    ASSERT_TRUE(WaitUntil([&] { return m_pRecord->IsMouseOver() && PixelIs(At(m_pRecord, 5, 5), in); }));
    EXPECT_GT(GreenTextPixels(m_pRecord), 10);
    EXPECT_TRUE(PixelIs(At(m_pStop, 5, 5), out));
    SaveScreenshot("hover_button_over");

    wxFrame* pOther = new wxFrame(nullptr, wxID_ANY, "Another window", wxPoint(600, 420), wxSize(240, 160));
    pOther->Show();
    ASSERT_TRUE(WaitUntil([&] { return pOther->IsActive() && !m_pFrame->IsActive(); }));
    MoveMouse(Centre(m_pStop));
    EXPECT_TRUE(WaitUntil([&] {
        return !m_pRecord->IsMouseOver() && m_pStop->IsMouseOver() && PixelIs(At(m_pRecord, 5, 5), out) &&
               PixelIs(At(m_pStop, 5, 5), in);
    }));
    EXPECT_EQ(GreenTextPixels(m_pRecord), 0);
    EXPECT_FALSE(m_pFrame->IsActive());
    pOther->Destroy();
}
