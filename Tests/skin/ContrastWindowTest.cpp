// Every text of the plain look and of each shipped skin reads at 4.5:1 or better on what it is drawn on:
// the colours are read back from real windows after the skin file was applied, the links' as drawn.
#include "DlgAbout.h"
#include "HoverButton.h"
#include "LstctrlAudio.h"
#include "Skin.h"
#include "UiTestSupport.h"
#include "WndWaveform.h"

#include <wx/statbox.h>
#include <wx/treectrl.h>

#include <tuple>

namespace
{
HoverRgb Rgb(const wxColour& c) { return {c.Red(), c.Green(), c.Blue()}; }

// The kinds of window the about box lacks: a group box, the recordings list, a tree.
struct CSample : wxDialog
{
    CSample() : wxDialog(nullptr, wxID_ANY, "Contrast sample", wxPoint(560, 40))
    {
        group = new wxStaticBox(this, wxID_ANY, "Audio list", wxPoint(5, 5), wxSize(300, 140));
        list = new CLstctrlAudio(this, wxID_ANY, wxPoint(10, 25), wxSize(290, 110));
        list->InitList();
        tree = new wxTreeCtrl(this, wxID_ANY, wxPoint(5, 150), wxSize(300, 80));
        tree->AppendItem(tree->AddRoot("Settings"), "General");
        SetClientSize(310, 240);
    }
    wxStaticBox* group;
    CLstctrlAudio* list;
    wxTreeCtrl* tree;
};
}  // namespace

class Contrast : public ::testing::TestWithParam<const char*>
{
protected:
    void TearDown() override
    {
        SkinRelease();
        for (wxWindow* pTop : std::vector<wxWindow*>(wxTopLevelWindows.begin(), wxTopLevelWindows.end()))
            pTop->Destroy();
        WaitUntil([] { return wxTopLevelWindows.empty(); });
    }
    // Name, text, background.
    std::vector<std::tuple<std::string, wxColour, wxColour>> m_pairs;
};

TEST_P(Contrast, EveryTextReadsAtFourAndAHalfToOneOnWhatItIsDrawnOn)
{
    MoveMouse(wxPoint(1000, 740));
    const std::string skin = GetParam();
    if (!skin.empty())
    {
        ASSERT_TRUE(SkinApply((std::string(VORANE_APP_DIR) + "/Skin/" + skin + "/skin_" + wxString(skin).Lower().ToStdString() + ".xml").c_str()));
    }
    auto* pAbout = new CDlgAbout(nullptr);
    auto* pSample = new CSample;
    pAbout->Move(40, 40);
    pAbout->Show();
    pSample->Show();
    ASSERT_TRUE(WaitUntil([&] { return pAbout->IsShownOnScreen() && pSample->IsShownOnScreen(); }));

    const wxColour back = pAbout->GetBackgroundColour();
    for (int nId : {IDC_ABOUT_LAME, IDC_ABOUT_HOMEPAGE, IDC_ABOUT_MAIL})
    {
        CStaticLink* pLink = pAbout->GetLink(nId);
        // As drawn: the skin came after the link was made.
        const wxColour shown = pLink->GetShownColor();
        EXPECT_TRUE(WaitUntil([&] {
            return CountPixels(pLink->GetScreenRect(), [&](const wxColour& c) { return SameColour(c, shown, 40); }) > 20;
        })) << "link " << nId << " is not drawn in " << shown.GetAsString().ToStdString();
        m_pairs.emplace_back("link", shown, back);
    }
    m_pairs.emplace_back("visited link", CStaticLink::ShownOn(back, CStaticLink::g_colorVisited), back);
    m_pairs.emplace_back("link under the mouse", CStaticLink::ShownOn(back, CStaticLink::g_colorOver), back);
    auto* pOK = static_cast<CHoverButton*>(pAbout->FindWindow(wxID_OK));
    for (int i : {CHoverButton::BTNST_COLOR_BK_IN, CHoverButton::BTNST_COLOR_BK_OUT, CHoverButton::BTNST_COLOR_BK_FOCUS})
        m_pairs.emplace_back("button state " + std::to_string(i), pOK->GetColor(i + 1), pOK->GetColor(i));
    for (wxWindow* pChild : pAbout->GetChildren())
        if (wxDynamicCast(pChild, wxStaticText))
            m_pairs.emplace_back("label " + pChild->GetLabel().ToStdString(), pChild->GetForegroundColour(), back);
    m_pairs.emplace_back("group box", pSample->group->GetForegroundColour(), pSample->GetBackgroundColour());
    m_pairs.emplace_back("list", pSample->list->GetForegroundColour(), pSample->list->GetBackgroundColour());
    m_pairs.emplace_back("list's shaded row", pSample->list->GetForegroundColour(),
                         CLstctrlAudio::OddRowColour(pSample->list->GetBackgroundColour()));
    m_pairs.emplace_back("tree", pSample->tree->GetForegroundColour(), pSample->tree->GetBackgroundColour());
    // The waveform view paints itself black with a dot lattice, whatever the skin.
    for (const wxColour& text : {CWndWaveform::TEXT_COLOUR, CWndWaveform::NOTE_COLOUR})
        for (const wxColour& behind : {*wxBLACK, CWndWaveform::PATTERN_COLOUR})
            m_pairs.emplace_back("waveform text", text, behind);

    for (const auto& [name, text, behind] : m_pairs)
    {
        ASSERT_TRUE(text.IsOk() && behind.IsOk()) << name;
        EXPECT_GE(ContrastRatio(Rgb(text), Rgb(behind)), READABLE_CONTRAST)
            << name << ": " << text.GetAsString(wxC2S_HTML_SYNTAX) << " on " << behind.GetAsString(wxC2S_HTML_SYNTAX);
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndFourSkins, Contrast, ::testing::Values("", "Pying", "Wguang", "Zzhong", "Mmo"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return *info.param ? std::string(info.param) : std::string("Plain"); });
