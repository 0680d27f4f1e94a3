// The skin stand-in on real windows: each shipped skin's colours, self-painted windows left alone,
// later windows skinned, bad files refused, the plain look back on release, every text readable.
#include "DlgAbout.h"
#include "HoverButton.h"
#include "LstctrlAudio.h"
#include "Skin.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "WndWaveform.h"

#include <wx/dcclient.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/treectrl.h>

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <fstream>
#include <tuple>

namespace
{
const wxColour BLACK(0, 0, 0), ODD_ROW(232, 232, 232), HOVER_TEXT(0, 128, 0);
using Look = std::array<wxColour, 6>;  // dialog, button, list, even row, odd row, tree

std::string SkinPath(const std::string& name) { return std::string(VORANE_APP_DIR) + "/Skin/" + name + "/skin_" + wxString(name).Lower().ToStdString() + ".xml"; }

// One colour of a skin file, read independently of the stand-in; an absent entry gives the fallback.
wxColour Entry(const std::string& path, const char* element, const char* attribute, wxColour fallback = {})
{
    pugi::xml_document doc;
    doc.load_file(path.c_str());
    const char* text = doc.child("Skin").child(element).attribute(attribute).value();
    unsigned long rgb = std::strtoul(text + (*text == '#'), nullptr, 16);
    return *text ? wxColour((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff) : fallback;
}

Look SkinLook(const std::string& path)
{
    wxColour list = Entry(path, "List", "background");
    return {Entry(path, "Dialog", "background"), Entry(path, "Button", "face"), list, list, ODD_ROW,
            Entry(path, "Tree", "background", list)};
}

void WriteSkin(const std::string& path, const std::string& entries)
{
    std::ofstream(path) << R"(<Skin name="Test"><Dialog background="#203040" text="#F0F0F0"/>)"
                           R"(<Button face="#C0C8D0" text="#101010"/><List background="#FFFFFF" text="#101010"/>)"
                        << entries << "</Skin>";
}

int TextPixels(const wxRect& screen, const wxColour& colour) { return CountPixels(screen, [&](const wxColour& c) { return SameColour(c, colour, 12); }); }
wxPoint Middle(const wxWindow* pWindow) { return pWindow->GetScreenRect().GetPosition() + pWindow->GetSize() / 2; }

// A window that paints itself in one colour, as the waveform view does.
struct CPainted : wxWindow
{
    CPainted(wxWindow* pParent, const wxRect& r, const wxColour& colour)
        : wxWindow(pParent, wxID_ANY, r.GetPosition(), r.GetSize()), colour(colour)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { wxPaintDC dc(this); dc.SetBackground(wxBrush(this->colour)); dc.Clear(); });
    }
    wxColour colour;
};

// The main window's layout, and a tree as the settings sheet has.
struct CSample : wxDialog
{
    explicit CSample(const wxPoint& pos) : wxDialog(nullptr, wxID_ANY, "Skin sample", pos)
    {
        SetClientSize(474, 540);
        strip = new CPainted(this, wxRect(5, 10, 464, 100), BLACK);
        const char* labels[] = {"&Record", "&Stop", "S&ettings...", "S&kins", "&Help", "&About..."};
        for (int i = 0, x = 5, w = (474 - 55) / 7; i < 6; x += buttons[i++]->GetSize().x + 5)
        {
            buttons[i] = new CHoverButton(this, 1010 + i, labels[i], wxPoint(x, 120), wxSize(w + (i == 2 || i == 5) * 5, 25));
            buttons[i]->OffsetColor(CHoverButton::BTNST_COLOR_BK_IN, 30);
            buttons[i]->SetColor(CHoverButton::BTNST_COLOR_FG_IN, HOVER_TEXT);
        }
        group = new wxStaticBox(this, wxID_ANY, "Audio list", wxPoint(1, 155), wxSize(473, 225));
        list = new wxListCtrl(this, wxID_ANY, wxPoint(6, 170), wxSize(463, 205), wxLC_REPORT | wxLC_SINGLE_SEL);
        list->InsertColumn(0, "Name", wxLIST_FORMAT_LEFT, 440);
        for (long i = 0; i < 2; ++i)  // shaded as the recordings list does: even rows in the list's own colour
            list->SetItemBackgroundColour(list->InsertItem(i, "Audio.mp3"), i ? ODD_ROW : list->GetBackgroundColour());
        label = new wxStaticText(this, wxID_ANY, "Illustrated lullaby", wxPoint(8, 390));
        tree = new wxTreeCtrl(this, wxID_ANY, wxPoint(240, 410), wxSize(229, 120));
        tree->AppendItem(tree->AddRoot("Settings"), "General");
        tree->Expand(tree->GetRootItem());
        marker = new CPainted(this, wxRect(200, 510, 24, 24), wxColour(1, 2, 3));
    }
    static wxPoint At(const wxWindow* pWindow, int x, int y) { return pWindow->ClientToScreen(wxPoint(x, y)); }
    wxRect Row(long nRow) const
    {
        wxRect r;
        list->GetItemRect(nRow, r);
        return ScreenRect(list, r);
    }
    Look Now() const
    {
        const wxPoint points[] = {At(this, 100, 500), At(buttons[0], 4, 4), At(list, 230, 190),
                                  Row(0).GetRightTop() + wxPoint(-20, 8), Row(1).GetRightTop() + wxPoint(-20, 8),
                                  At(tree, 200, 100)};
        Look look;
        for (size_t i = 0; i < look.size(); ++i)
            CountPixels(wxRect(points[i], wxSize(1, 1)), [&](const wxColour& c) { return (look[i] = c).IsOk(); });
        return look;
    }
    bool Shows(const Look& look) const { return Now() == look; }
    bool StripIsBlack() const
    {
        return !strip->UseBackgroundColour() && !strip->UseForegroundColour() &&
               CountPixels(strip->GetScreenRect(), [](const wxColour& c) { return !SameColour(c, BLACK); }) == 0;
    }
    // Repaints everything and waits until the marker's new colour is on the screen.
    void Repaint()
    {
        static unsigned char s_nBlue = 10;
        marker->colour = wxColour(1, 2, ++s_nBlue);
        Refresh();
        EXPECT_TRUE(WaitUntil([&] { return PixelIs(Middle(marker), marker->colour); }));
    }

    CPainted *strip, *marker;
    CHoverButton* buttons[6];
    wxStaticBox* group;
    wxListCtrl* list;
    wxStaticText* label;
    wxTreeCtrl* tree;
};
}  // namespace

class SkinWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MoveMouse(wxPoint(1000, 740));
        ASSERT_TRUE(m_pDialog = Open(wxPoint(40, 20)));
        // The list and tree paint when idle, after the marker: the plain look is taken once the
        // shaded row is drawn and two readings agree.
        ASSERT_TRUE(WaitUntil([&] {
            m_plain = m_pDialog->Now();
            return m_plain[4] == ODD_ROW && m_pDialog->Shows(m_plain);
        }));
    }
    void TearDown() override
    {
        SkinRelease();
        for (wxWindow* pTop : std::vector<wxWindow*>(wxTopLevelWindows.begin(), wxTopLevelWindows.end()))
            pTop->Destroy();
        WaitUntil([] { return wxTopLevelWindows.empty(); });
    }
    static CSample* Open(const wxPoint& pos)
    {
        auto* pDialog = new CSample(pos);
        pDialog->Show();
        auto painted = [&] { return pDialog->IsShownOnScreen() && PixelIs(Middle(pDialog->marker), pDialog->marker->colour); };
        bool bShown = WaitUntil(painted);
        if (bShown && pDialog->GetPosition() != pos)  // the window manager centres dialogs: side by side, not on top
        {
            pDialog->Move(pos);
            bShown = WaitUntil([&] { return pDialog->GetPosition() == pos && painted(); });
        }
        if (!bShown)
            return nullptr;
        pDialog->Repaint();
        return pDialog;
    }

    CSample* m_pDialog = nullptr;
    Look m_plain;
};

class ShippedSkin : public SkinWindows, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShippedSkin, ColoursEveryKindOfWindowAsItsFileSaysAndLeavesSelfPaintedWindowsAlone)
{
    const std::string path = SkinPath(GetParam());
    CHoverButton* pRecord = m_pDialog->buttons[0];
    const double dPlainSize = pRecord->GetFont().GetFractionalPointSize();
    const int nPlainWidth = m_pDialog->buttons[2]->GetTextExtent("Settings...").x;

    ASSERT_TRUE(SkinApply(path.c_str())) << path;
    ASSERT_TRUE(WaitUntil([&] { return m_pDialog->Shows(SkinLook(path)); }));
    m_pDialog->Repaint();
    EXPECT_TRUE(m_pDialog->StripIsBlack());
    for (CHoverButton* pButton : m_pDialog->buttons)
        EXPECT_TRUE(PixelIs(CSample::At(pButton, 4, 4), Entry(path, "Button", "face"))) << pButton->GetLabel();
    EXPECT_GT(TextPixels(pRecord->GetScreenRect(), Entry(path, "Button", "text")), 3);
    EXPECT_GT(TextPixels(wxRect(m_pDialog->ClientToScreen(m_pDialog->group->GetPosition()), wxSize(473, 18)), Entry(path, "GroupBox", "text")), 3);
    EXPECT_GT(TextPixels(m_pDialog->label->GetScreenRect(), Entry(path, "Label", "text", Entry(path, "Dialog", "text"))), 3);
    EXPECT_GT(TextPixels(m_pDialog->Row(0), Entry(path, "List", "text")), 3);
    // The main window's layout is fixed: fonts keep their size and never set the captions wider.
    EXPECT_EQ(pRecord->GetFont().GetFractionalPointSize(), dPlainSize);
    EXPECT_LE(m_pDialog->buttons[2]->GetTextExtent("Settings...").x, nPlainWidth);

    // Hovering, also while another window is active, lightens the face by the offset of 30 and greens the
    // text, darkened where the green alone would not read on that face.
    auto* pOther = new wxFrame(nullptr, wxID_ANY, "Another window", wxPoint(600, 420), wxSize(240, 160));
    pOther->Show();
    ASSERT_TRUE(WaitUntil([&] { return pOther->IsActive() && !m_pDialog->IsActive(); }));
    wxColour face = Entry(path, "Button", "face");
    int n = std::min({30, 255 - face.Red(), 255 - face.Green(), 255 - face.Blue()});
    const wxColour hoverFace(face.Red() + n, face.Green() + n, face.Blue() + n);
    const HoverRgb text = ReadableOn({HOVER_TEXT.Red(), HOVER_TEXT.Green(), HOVER_TEXT.Blue()},
                                     {hoverFace.Red(), hoverFace.Green(), hoverFace.Blue()});
    const wxColour hoverText(text.r, text.g, text.b);
    EXPECT_GT(hoverText.Green(), 2 * std::max(hoverText.Red(), hoverText.Blue())) << "still a green";
    MoveMouse(Middle(pRecord));
    EXPECT_TRUE(WaitUntil([&] { return PixelIs(CSample::At(pRecord, 4, 4), hoverFace); }));
    EXPECT_GT(TextPixels(pRecord->GetScreenRect(), hoverText), 3);
    EXPECT_TRUE(PixelIs(CSample::At(m_pDialog->buttons[1], 4, 4), face));
    MoveMouse(wxPoint(1000, 740));
    EXPECT_TRUE(WaitUntil([&] { return PixelIs(CSample::At(pRecord, 4, 4), face); }));
    EXPECT_EQ(TextPixels(pRecord->GetScreenRect(), hoverText), 0);
}

INSTANTIATE_TEST_SUITE_P(FourSkins, ShippedSkin, ::testing::Values("Pying", "Wguang", "Zzhong", "Mmo"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

TEST_F(SkinWindows, ALaterDialogTakesTheSkinASecondReplacesTheFirstBrokenFilesAreRefusedAndReleasingGivesThePlainLookBack)
{
    const wxColour plainHover = m_pDialog->buttons[0]->GetColor(CHoverButton::BTNST_COLOR_BK_IN);
    const wxString plainFont = m_pDialog->label->GetFont().GetNativeFontInfoDesc();
    ASSERT_TRUE(SkinApply(SkinPath("Pying").c_str()));
    ASSERT_TRUE(WaitUntil([&] { return m_pDialog->Shows(SkinLook(SkinPath("Pying"))); }));
    CSample* pLater;
    ASSERT_TRUE(pLater = Open(wxPoint(540, 20)));
    EXPECT_TRUE(WaitUntil([&] { return pLater->Shows(SkinLook(SkinPath("Pying"))); }));
    EXPECT_TRUE(pLater->StripIsBlack());
    const Look zzhong = SkinLook(SkinPath("Zzhong"));
    ASSERT_TRUE(SkinApply(SkinPath("Zzhong").c_str()));
    ASSERT_TRUE(WaitUntil([&] { return m_pDialog->Shows(zzhong) && pLater->Shows(zzhong); }));

    CTempFolder folder("skin_broken");
    const std::string path = folder.File("skin.xml");
    EXPECT_FALSE(SkinApply(folder.File("missing.xml").c_str()));
    EXPECT_FALSE(SkinApply(nullptr));
    for (const char* text : {"not xml", "<Skin name=\"x\">", "<Skin name=\"x\"></Skin>", "<Look name=\"x\"></Look>"})
    {
        std::ofstream(path) << text;
        EXPECT_FALSE(SkinApply(path.c_str())) << text;
    }
    // Each after the entries of a complete skin, so the fault is its own; the empty one is taken.
    for (const char* entries : {"<Label text=\"#12345\"/>", "<Label text=\"#12345G\"/>", "<Label text=\"red\"/>",
                                "<Label text=\"1234567\"/>", "<Label text=\"#1234567\"/>", "<List text=\"#000000\"/>",
                                "<Label text=\"#123456\" face=\"#123456\"/>", "<Menu text=\"#123456\"/>",
                                "<Font face=\"Sans,\"/>", "stray text", ""})
    {
        WriteSkin(path, entries);
        EXPECT_EQ(SkinApply(path.c_str()), !*entries) << entries;
        if (*entries)
        {
            m_pDialog->Repaint();
            EXPECT_TRUE(m_pDialog->Shows(zzhong)) << "refused, yet the look changed: " << entries;
        }
    }

    pLater->Destroy();  // gone before the release
    ASSERT_TRUE(WaitUntil([] { return wxTopLevelWindows.size() == 1; }));
    SkinRelease();
    EXPECT_TRUE(WaitUntil([&] { return m_pDialog->Shows(m_plain); })) << "the plain look did not come back";
    EXPECT_TRUE(m_pDialog->StripIsBlack());
    EXPECT_EQ(m_pDialog->buttons[0]->GetColor(CHoverButton::BTNST_COLOR_BK_IN), plainHover);
    EXPECT_EQ(m_pDialog->label->GetFont().GetNativeFontInfoDesc(), plainFont);
    ASSERT_TRUE(pLater = Open(wxPoint(540, 20)));
    // Its list paints when idle, after the marker: wait for every judged point.
    EXPECT_TRUE(WaitUntil([&] { return pLater->Shows(m_plain); })) << "windows opened after the release are still skinned";
}

// Every text of the plain look and of each shipped skin reads at 4.5:1 or better on what it is drawn on: the colours
// are read back from real windows after the skin file was applied, the links' as drawn.
class Contrast : public SkinWindows, public ::testing::WithParamInterface<const char*> {};

TEST_P(Contrast, EveryTextReadsAtFourAndAHalfToOneOnWhatItIsDrawnOn)
{
    if (*GetParam())
    {
        ASSERT_TRUE(SkinApply(SkinPath(GetParam()).c_str()));
        ASSERT_TRUE(WaitUntil([&] { return m_pDialog->Shows(SkinLook(SkinPath(GetParam()))); }));
    }
    auto* pAbout = new CDlgAbout(nullptr);
    pAbout->Move(540, 20);
    pAbout->Show();
    ASSERT_TRUE(WaitUntil([&] { return pAbout->IsShownOnScreen(); }));

    std::vector<std::tuple<std::string, wxColour, wxColour>> pairs;  // name, text, background
    const wxColour back = pAbout->GetBackgroundColour();
    for (int nId : {IDC_ABOUT_LAME, IDC_ABOUT_HOMEPAGE, IDC_ABOUT_MAIL})
    {
        CStaticLink* pLink = pAbout->GetLink(nId);
        // As drawn: the skin came after the link was made.
        const wxColour shown = pLink->GetShownColor();
        EXPECT_TRUE(WaitUntil([&] {
            return CountPixels(pLink->GetScreenRect(), [&](const wxColour& c) { return SameColour(c, shown, 40); }) > 20;
        })) << "link " << nId << " is not drawn in " << shown.GetAsString().ToStdString();
        pairs.emplace_back("link", shown, back);
    }
    pairs.emplace_back("visited link", CStaticLink::ShownOn(back, CStaticLink::g_colorVisited), back);
    pairs.emplace_back("link under the mouse", CStaticLink::ShownOn(back, CStaticLink::g_colorOver), back);
    auto* pOK = static_cast<CHoverButton*>(pAbout->FindWindow(wxID_OK));
    for (int i : {CHoverButton::BTNST_COLOR_BK_IN, CHoverButton::BTNST_COLOR_BK_OUT, CHoverButton::BTNST_COLOR_BK_FOCUS})
        pairs.emplace_back("button state " + std::to_string(i), pOK->GetColor(i + 1), pOK->GetColor(i));
    for (wxWindow* pChild : pAbout->GetChildren())
        if (wxDynamicCast(pChild, wxStaticText))
            pairs.emplace_back("label " + pChild->GetLabel().ToStdString(), pChild->GetForegroundColour(), back);
    pairs.emplace_back("group box", m_pDialog->group->GetForegroundColour(), m_pDialog->GetBackgroundColour());
    wxListCtrl* pList = m_pDialog->list;
    pairs.emplace_back("list", pList->GetForegroundColour(), pList->GetBackgroundColour());
    pairs.emplace_back("list's shaded row", pList->GetForegroundColour(), CLstctrlAudio::OddRowColour(pList->GetBackgroundColour()));
    pairs.emplace_back("tree", m_pDialog->tree->GetForegroundColour(), m_pDialog->tree->GetBackgroundColour());
    // The waveform view paints itself black with a dot lattice, whatever the skin.
    for (const wxColour& text : {CWndWaveform::TEXT_COLOUR, CWndWaveform::NOTE_COLOUR})
        for (const wxColour& behind : {*wxBLACK, CWndWaveform::PATTERN_COLOUR})
            pairs.emplace_back("waveform text", text, behind);

    for (const auto& [name, text, behind] : pairs)
    {
        ASSERT_TRUE(text.IsOk() && behind.IsOk()) << name;
        EXPECT_GE(ContrastRatio({text.Red(), text.Green(), text.Blue()}, {behind.Red(), behind.Green(), behind.Blue()}), READABLE_CONTRAST)
            << name << ": " << text.GetAsString(wxC2S_HTML_SYNTAX) << " on " << behind.GetAsString(wxC2S_HTML_SYNTAX);
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndFourSkins, Contrast, ::testing::Values("", "Pying", "Wguang", "Zzhong", "Mmo"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return *info.param ? std::string(info.param) : std::string("Plain"); });
