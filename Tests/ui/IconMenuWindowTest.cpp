// The icon popup menu: a driver thread plays the user while TrackPopupMenu runs its own loop.
#include "IconMenu.h"
#include "UiTestSupport.h"

#include <wx/display.h>

#include <atomic>
#include <tuple>

namespace
{
const wxColour kIvory(255, 255, 240);
const wxColour kBarFill(216, 216, 235);
const wxColour kBarFrame(64, 64, 128);

// The main window's popup, in its order: command, text (none for a separator), bitmap.
const std::tuple<unsigned, const char*, unsigned> kMainPopup[] = {
    {32776, "&Record\tAlt+R", 144},       {32777, "Play\tCtrl+P", 142},
    {32778, "&Stop\tAlt+S", 141},         {0, nullptr, 0},
    {32780, "S&ettings...\tAlt+E", 147},  {32781, "Go to the folder\tCtrl+G", 143},
    {0, nullptr, 0},                      {32792, "Rename...\tCtrl+R", 151},
    {32784, "Delete from the list\tCtrl+L", 0}, {32785, "Delete from the disk\tCtrl+D", 140},
    {32786, "Clear all\tCtrl+E", 0},      {0, nullptr, 0},
    {32787, "&Help Contents\tF1", 139},   {32788, "Vorane Software Web Site\tCtrl+W", 146},
    {32790, "&About...\tAlt+A", 148},     {0, nullptr, 0},
    {32791, "Exit\tCtrl+X", 149},       {32789, "Pause\tCtrl+Space", 0},
};
}  // namespace

class IconMenuWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pFrame = ShowOwnerFrame(wxSize(520, 420)));
        // Play and Stop are disabled by the owner's enabling rules, as in an idle main window.
        m_pFrame->Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& event) { event.Enable(false); }, 32777, 32778);
        m_pFrame->Bind(wxEVT_MENU, [this](wxCommandEvent& event) { m_commands.push_back(event.GetId()); });
        m_menu.CreatePopupMenu();
        m_menu.SetMenuItemHeight(20);
        m_menu.SetMenuItemWidth(220);
        m_menu.SetMenuDrawMode(3);
        for (const auto& [nId, text, nBitmap] : kMainPopup)
            m_menu.AppendMenu(text ? MF_STRING : MF_SEPARATOR, nId, text, nBitmap);
        m_origin = m_pFrame->ClientToScreen(wxPoint(60, 40));
    }

    void TearDown() override { DestroyAndWait(m_pFrame); }

    // Screen point inside item n, at x, y from the item's top left.
    wxPoint ItemPoint(size_t n, int x, int y) const { return m_origin + m_menu.GetItemRect(n).GetTopLeft() + wxPoint(x, y); }
    wxPoint ItemCentre(size_t n) const { return ItemPoint(n, 110, m_menu.GetItemRect(n).height / 2); }
    // Waits until the popup has painted its items.
    bool PopupShown() const { return WaitForPixelFromThread(ItemPoint(0, 150, 2), kIvory); }
    bool BarOn(size_t n) const { return WaitForPixelFromThread(ItemPoint(n, 120, 2), kBarFill); }

    int Track(const std::function<void()>& driver)
    {
        const int nCommand = RunModal([&] {
            return m_menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_LEFTBUTTON, m_origin.x, m_origin.y, m_pFrame);
        }, driver);
        WaitUntil([&] { return m_menu.GetPopupWindow() == nullptr; }, 1000);
        return nCommand;
    }

    wxFrame* m_pFrame = nullptr;
    CIconMenu m_menu;
    wxPoint m_origin;
    std::vector<int> m_commands;
};

TEST_F(IconMenuWindow, ShowsItsIconsCheckMarkAndDisabledItemsAndOnlyAClickOnAnEnabledItemChooses)
{
    m_menu.CheckMenuItem(32786, MF_CHECKED);  // Clear all
    std::string shot;
    std::atomic<bool> bShown{false}, bHighlighted{false};
    int nCommand = Track([&] {
        bShown = PopupShown();
        shot = SaveScreenshot("icon_menu_open");
        ClickAt(ItemCentre(1));  // disabled
        ClickAt(ItemCentre(3));  // a separator
        MoveMouse(ItemCentre(5));
        bHighlighted = BarOn(5);
        Xdo("click 1");
    });
    ASSERT_TRUE(bShown);
    EXPECT_TRUE(bHighlighted);
    EXPECT_EQ(nCommand, 32781);
    ASSERT_TRUE(WaitUntil([&] { return !m_commands.empty(); }));
    EXPECT_EQ(m_commands, std::vector<int>{32781});
    const wxImage image(shot);
    ASSERT_TRUE(image.IsOk());
    auto pixel = [&](size_t n, int x, int y) { return PixelAt(image, ItemPoint(n, x, y)); };
    auto count = [&](size_t n, const wxRect& local, const std::function<bool(const wxColour&)>& test) {
        int nCount = 0;
        for (int y = local.y; y < local.GetBottom(); ++y)
            for (int x = local.x; x < local.GetRight(); ++x)
                nCount += test(pixel(n, x, y)) ? 1 : 0;
        return nCount;
    };
    auto dark = [](const wxColour& c) { return Luma(c) < 90; };
    // Ivory items with dark labels, the disabled Play item only grey, a framed tick on the checked one.
    EXPECT_TRUE(SameColour(pixel(0, 150, 2), kIvory));
    EXPECT_GT(count(0, wxRect(28, 4, 100, 16), dark), 10);
    EXPECT_EQ(count(1, wxRect(20, 0, 200, 20), dark), 0);
    EXPECT_GT(count(1, wxRect(28, 4, 100, 16), [&](const wxColour& c) { return Luma(c) < 225; }), 10);
    EXPECT_TRUE(SameColour(pixel(10, 1, 1), kBarFrame) && SameColour(pixel(10, 3, 3), kBarFill));
}

TEST_F(IconMenuWindow, AMnemonicChoosesAndEscapeDoesNot)
{
    for (const char* key : {"a", "Escape"})
    {
        std::atomic<bool> bShown{false};
        int nCommand = Track([&] {
            bShown = PopupShown();
            Xdo(std::string("key ") + key);
        });
        ASSERT_TRUE(bShown) << key;
        EXPECT_EQ(nCommand, *key == 'a' ? 32790 : 0) << key;
    }
}

// A popup opens below and right of the point where there is room, and otherwise stays inside the work area,
// above or left of the point: at the screen's bottom right corner About and Exit are still on the screen.
TEST(IconMenuPlace, APopupStaysInsideTheWorkArea)
{
    const wxRect work = wxDisplay(0u).GetClientArea();
    const wxSize size(180, 300);
    EXPECT_EQ(work.GetTopLeft() + wxPoint(10, 10), CIconMenu::PopupOrigin(work.GetTopLeft() + wxPoint(10, 10), size));
    const wxPoint corner = work.GetBottomRight() - wxPoint(5, 5);
    EXPECT_EQ(corner - wxPoint(size.x, size.y), CIconMenu::PopupOrigin(corner, size));
    // Taller than the work area: its top stays on the screen.
    EXPECT_EQ(work.y, CIconMenu::PopupOrigin(corner, wxSize(180, work.height + 50)).y);
}
