// The main window's layout under Xvfb: at GTK's default font (Sans 10) its places are those it always had;
// run with a 15-point desktop font (CMake gives this program a gtk-3.0/settings.ini for it), it grows so no
// label, caption or line of the view is cut, and still fits the work area. Screenshots: main-layout-<points>.png.
#include "EncoderFixtures.h"
#include "MainDlg.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "WindowTestSupport.h"

#include <algorithm>
#include <wx/display.h>

namespace
{
// The hover button draws a one-pixel raised edge; a label needs a pixel of air inside it on each side.
constexpr int LABEL_PADDING = 2;

// The view's text; its trace is yellow, its dots dark blue.
bool Greenish(const wxColour& c) { return c.IsOk() && c.Green() > 100 && c.Red() < 60 && c.Blue() < 60; }
}  // namespace

class MainWindowLayout : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseBuiltLameModule();
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        theSettings.SavedDirectry = m_folder.Path();
        m_pDlg = new CMainDlg;
        ASSERT_TRUE(m_pDlg->Create());
        ASSERT_TRUE(WaitForStillWindow());
    }
    void TearDown() override
    {
        if (m_pDlg)
            m_pDlg->Close(true);
        WaitUntil([] { return wxTopLevelWindows.empty(); }, 2000);
        FreeDevices();
    }
    // The window manager moves a window after it is shown: screen points hold once it stays put a while.
    bool WaitForStillWindow()
    {
        wxPoint last;
        int nStill = 0;
        return WaitUntil([&] {
            if (!m_pDlg->IsShownOnScreen())
                return nStill = 0, false;
            const wxPoint now = m_pDlg->AudioList()->GetScreenPosition();
            nStill = now == last ? nStill + 1 : 0;
            last = now;
            return nStill >= 60;
        });
    }
    wxWindow* Control(int nId) { return m_pDlg->FindWindow(nId); }

    // Shows a recording's four lines in the view and waits for them; the shot is kept under the name.
    void ExpectWholeViewLines(const std::string& shotName)
    {
        AudioItem item;
        item.SetPath(m_folder.File("Audio0.wav").c_str());
        item.DeriveName();
        item.nSampleRate = 44100, item.nChannels = 2, item.nBitrate = 1411200, item.nLength = 2000, item.nSize = 352844;
        m_pDlg->Waveform()->ShowItem(&item);
        // The text rows of the view's information block, top to bottom, as bands of rows with green in them.
        const wxRect info = ScreenRect(m_pDlg->Waveform(), m_pDlg->Waveform()->InfoRect());
        std::vector<std::pair<int, int>> bands;
        wxImage shot;
        EXPECT_TRUE(ScreenshotUntil(shotName, [&](const wxImage& image) {
            bands.clear();
            for (int y = info.y; y <= info.GetBottom(); ++y)
            {
                bool bText = false;
                for (int x = info.x; x <= info.GetRight() && !bText; ++x)
                    bText = Greenish(PixelAt(image, wxPoint(x, y)));
                if (bText && !bands.empty() && bands.back().second == y - 1)
                    bands.back().second = y;
                else if (bText)
                    bands.emplace_back(y, y);
            }
            return bands.size() >= 4;
        }, shot)) << bands.size() << " lines of the four shown";
        // The last line ends above the view's foot: nothing of it runs off the bottom.
        ASSERT_EQ(4u, bands.size());
        EXPECT_LT(bands.back().second, info.GetBottom()) << "the Size line reaches the view's last row";
    }

    // Each button as it is on the screen: its label is drawn, none of it touches the columns just inside
    // the button's edge, and it measures no wider or taller than the button less the padding.
    void ExpectWholeButtonLabels(const std::string& shotName)
    {
        const int ids[] = {IDC_BUTTON_RECORD, IDC_BUTTON_STOP, IDC_BUTTON_SETTINGS, IDC_BUTTON_SKINS, IDC_BUTTON_HELP, IDC_BUTTON_ABOUT};
        // Label pixels stand out from the button's face, as it shows just inside the edge at the top left.
        auto labelPixels = [](const wxImage& image, const wxRect& r, const wxRect& button) {
            const double dFace = Luma(PixelAt(image, wxPoint(button.x + 2, button.y + 2)));
            int n = 0;
            for (int y = r.y; y <= r.GetBottom(); ++y)
                for (int x = r.x; x <= r.GetRight(); ++x)
                    n += std::abs(Luma(PixelAt(image, wxPoint(x, y))) - dFace) > 40;
            return n;
        };
        auto inner = [](const wxRect& rc) { return wxRect(rc.x + 2, rc.y + 2, rc.width - 4, rc.height - 4); };
        wxImage shot;
        ASSERT_TRUE(ScreenshotUntil(shotName, [&](const wxImage& image) {
            return std::all_of(std::begin(ids), std::end(ids), [&](int nId) { const wxRect rc = ScreenRect(Control(nId));
                return labelPixels(image, inner(rc), rc) > 20; });
        }, shot)) << "a button without its label";
        for (int nId : ids)
        {
            wxWindow* pButton = Control(nId);
            const wxString label = wxControl::RemoveMnemonics(pButton->GetLabel());
            SCOPED_TRACE(label.utf8_string());
            const wxSize text = pButton->GetTextExtent(label) + 2 * wxSize(LABEL_PADDING, LABEL_PADDING);
            const wxSize client = pButton->GetClientSize();
            EXPECT_LE(text.x, client.x);
            EXPECT_LE(text.y, client.y);
            const wxRect rc = ScreenRect(pButton);
            EXPECT_EQ(0, labelPixels(shot, wxRect(rc.x + 1, rc.y + 2, 1, rc.height - 4), rc) +
                             labelPixels(shot, wxRect(rc.GetRight() - 1, rc.y + 2, 1, rc.height - 4), rc));
        }
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    CMainDlg* m_pDlg = nullptr;
};

// The places the skins and the other window tests know, within a few pixels; Settings may be wider than
// it was, as its label is at this font.
TEST_F(MainWindowLayout, AtTheDefaultFontItKeepsItsPlacesAlsoAfterARestore)
{
    ASSERT_EQ(10, m_pDlg->GetFont().GetPointSize()) << "this test wants GTK's default font";
    auto near = [](const wxRect& expected, const wxRect& actual) {
        const int d = std::max({std::abs(expected.x - actual.x), std::abs(expected.y - actual.y),
                                std::abs(expected.width - actual.width), std::abs(expected.height - actual.height)});
        return d <= 3 ? ::testing::AssertionSuccess()
                      : ::testing::AssertionFailure() << "(" << actual.x << ", " << actual.y << ", " << actual.width
                                                      << ", " << actual.height << ")";
    };
    for (int nRound = 0; nRound < 2; ++nRound)
    {
        SCOPED_TRACE(nRound ? "after a restore" : "as created");
        EXPECT_TRUE(near(wxRect(0, 0, 474, 420), wxRect(m_pDlg->GetClientSize())));
        EXPECT_TRUE(near(wxRect(5, 10, 464, 100), m_pDlg->Waveform()->GetRect()));
        EXPECT_TRUE(near(wxRect(5, 120, 59, 25), Control(IDC_BUTTON_RECORD)->GetRect()));
        EXPECT_TRUE(near(wxRect(69, 120, 59, 25), Control(IDC_BUTTON_STOP)->GetRect()));
        const wxRect settings = Control(IDC_BUTTON_SETTINGS)->GetRect(), about = Control(IDC_BUTTON_ABOUT)->GetRect();
        EXPECT_TRUE(near(wxRect(133, 120, settings.width, 25), settings));
        EXPECT_TRUE(near(wxRect(about.x, 120, 64, 25), about));
        EXPECT_LE(about.GetRight(), 470);
        EXPECT_TRUE(near(wxRect(1, 155, 473, 265), Control(IDC_GROUP_AUDIO)->GetRect()));
        EXPECT_TRUE(near(wxRect(6, 170, 463, 245), m_pDlg->AudioList()->GetRect()));
        // Fixed for the user: no size but this one.
        EXPECT_EQ(m_pDlg->GetMinSize(), m_pDlg->GetSize());
        EXPECT_EQ(m_pDlg->GetMaxSize(), m_pDlg->GetSize());
        if (nRound == 0)
        {
            m_pDlg->Iconize(true);
            ASSERT_TRUE(WaitUntil([this] { return m_pDlg->IsIconized(); }));
            m_pDlg->Iconize(false);
            ASSERT_TRUE(WaitUntil([this] { return !m_pDlg->IsIconized(); }));
            ASSERT_TRUE(WaitForStillWindow());
        }
    }
    ExpectWholeViewLines("main-layout-10");
    ExpectWholeButtonLabels("main-layout-10");
}

TEST_F(MainWindowLayout, AtALargerFontNothingIsCutAndTheWindowFitsTheWorkArea)
{
    ASSERT_GE(m_pDlg->GetFont().GetPointSize(), 14) << "run with a 15-point desktop font";
    const std::string points = std::to_string(m_pDlg->GetFont().GetPointSize());
    ExpectWholeViewLines("main-layout-" + points);
    ExpectWholeButtonLabels("main-layout-" + points);
    // The group's caption: as wide as the box allows, and the list below it, not over it.
    wxWindow* pGroup = Control(IDC_GROUP_AUDIO);
    const wxSize caption = pGroup->GetTextExtent(pGroup->GetLabel());
    const wxRect group = pGroup->GetRect(), list = m_pDlg->AudioList()->GetRect();
    EXPECT_LE(caption.x + 2 * caption.y, group.width);
    EXPECT_GE(list.y, group.y + caption.y);
    EXPECT_TRUE(group.Contains(list));

    const int nDisplay = wxDisplay::GetFromWindow(m_pDlg);
    const wxRect work = wxDisplay(nDisplay == wxNOT_FOUND ? 0u : unsigned(nDisplay)).GetClientArea();
    EXPECT_TRUE(work.Contains(m_pDlg->GetScreenRect()));
    EXPECT_EQ(m_pDlg->GetMaxSize(), m_pDlg->GetSize());
}
