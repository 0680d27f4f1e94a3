// The main window's layout under Xvfb: at GTK's default font (Sans 10) it keeps its places; with a 15-point
// desktop font (CMake runs this program a second time with a gtk-3.0/settings.ini saying so) it grows so no
// label, caption or line of the view is cut, and still fits the work area; with GDK_SCALE=2 (a third run) its
// window still fits the screen. Screenshots: main-layout-<points>.png.
#include "EncoderFixtures.h"
#include "MainDlg.h"
#include "ReceiverWMA.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "WindowTestSupport.h"

#include <algorithm>
#include <wx/display.h>

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
        ASSERT_TRUE(WaitForStillWindow(m_pDlg));
        m_nPoints = m_pDlg->GetFont().GetPointSize();
    }
    void TearDown() override
    {
        m_pDlg->Close(true);
        WaitUntil([] { return wxTopLevelWindows.empty(); }, 2000);
        FreeDevices();
    }
    wxWindow* Control(int nId) { return m_pDlg->FindWindow(nId); }

    // A recording's four lines in the view, each a band of rows with green in them; the last one ends
    // above the view's foot.
    void ExpectWholeViewLines()
    {
        AudioItem item;
        item.SetPath(m_folder.File("Audio0.wav").c_str());
        item.DeriveName();
        item.nSampleRate = 44100, item.nChannels = 2, item.nBitrate = 1411200, item.nLength = 2000, item.nSize = 352844;
        m_pDlg->Waveform()->ShowItem(&item);
        const wxRect info = ScreenRect(m_pDlg->Waveform(), m_pDlg->Waveform()->InfoRect());
        auto green = [](const wxColour& c) { return c.IsOk() && c.Green() > 100 && c.Red() < 60 && c.Blue() < 60; };
        std::vector<int> bandEnds;
        wxImage shot;
        EXPECT_TRUE(ScreenshotUntil("main-layout-" + std::to_string(m_nPoints), [&](const wxImage& image) {
            bandEnds.clear();
            for (int y = info.y; y <= info.GetBottom(); ++y)
            {
                bool bText = false;
                for (int x = info.x; x <= info.GetRight(); ++x)
                    bText = bText || green(PixelAt(image, wxPoint(x, y)));
                if (bText && !bandEnds.empty() && bandEnds.back() == y - 1)
                    bandEnds.back() = y;
                else if (bText)
                    bandEnds.push_back(y);
            }
            return bandEnds.size() >= 4;
        }, shot)) << bandEnds.size() << " lines of the four shown";
        ASSERT_EQ(4u, bandEnds.size());
        EXPECT_LT(bandEnds.back(), info.GetBottom()) << "the Size line reaches the view's last row";
    }

    // Each button's label measures no larger than the button less its edge and a pixel of air each side.
    void ExpectWholeButtonLabels()
    {
        for (int nId : {IDC_BUTTON_RECORD, IDC_BUTTON_STOP, IDC_BUTTON_SETTINGS, IDC_BUTTON_SKINS, IDC_BUTTON_HELP, IDC_BUTTON_ABOUT})
        {
            wxWindow* pButton = Control(nId);
            const wxString label = wxControl::RemoveMnemonics(pButton->GetLabel());
            const wxSize text = pButton->GetTextExtent(label) + wxSize(4, 4), client = pButton->GetClientSize();
            EXPECT_TRUE(text.x <= client.x && text.y <= client.y)
                << label << ": " << text.x << "x" << text.y << " in " << client.x << "x" << client.y;
        }
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    CMainDlg* m_pDlg = nullptr;
    int m_nPoints = 0;
};

// Fixed for the user, and a restore gives every control back its place.
TEST_F(MainWindowLayout, AtTheDefaultFontItKeepsItsPlaces)
{
    ASSERT_EQ(10, m_nPoints) << "this test wants GTK's default font";
    auto places = [this] {
        std::vector<wxRect> rects{wxRect(m_pDlg->GetClientSize())};
        for (wxWindow* pChild : m_pDlg->GetChildren())
            rects.push_back(pChild->GetRect());
        return rects;
    };
    const std::vector<wxRect> created = places();
    EXPECT_EQ(std::make_pair(m_pDlg->GetSize(), m_pDlg->GetSize()), std::make_pair(m_pDlg->GetMinSize(), m_pDlg->GetMaxSize()));
    m_pDlg->Iconize(true);
    ASSERT_TRUE(WaitUntil([this] { return m_pDlg->IsIconized(); }));
    m_pDlg->Iconize(false);
    ASSERT_TRUE(WaitForStillWindow(m_pDlg));
    EXPECT_EQ(created, places()) << "after a restore";
    ExpectWholeViewLines();
    ExpectWholeButtonLabels();
}

TEST_F(MainWindowLayout, AtALargerFontNothingIsCutAndTheWindowFitsTheWorkArea)
{
    ASSERT_GE(m_nPoints, 14) << "run with a 15-point desktop font";
    ExpectWholeViewLines();
    ExpectWholeButtonLabels();
    // The group's caption fits the box, and the list lies below it, not over it.
    wxWindow* pGroup = Control(IDC_GROUP_AUDIO);
    const wxSize caption = pGroup->GetTextExtent(pGroup->GetLabel());
    const wxRect group = pGroup->GetRect(), list = m_pDlg->AudioList()->GetRect();
    EXPECT_LE(caption.x + 2 * caption.y, group.width);
    EXPECT_GE(list.y, group.y + caption.y);
    EXPECT_TRUE(group.Contains(list));

    const wxRect work = wxDisplay(static_cast<unsigned>(std::max(0, wxDisplay::GetFromWindow(m_pDlg)))).GetClientArea();
    EXPECT_TRUE(work.Contains(m_pDlg->GetScreenRect()));
    EXPECT_EQ(m_pDlg->GetMaxSize(), m_pDlg->GetSize());
}

// The screen doubles every window: the window still fits the screen, now 512 by 384 of its pixels.
TEST_F(MainWindowLayout, AtScaleTwoTheWindowFitsTheWorkArea)
{
    ASSERT_EQ(2.0, m_pDlg->GetContentScaleFactor()) << "run with GDK_SCALE=2";
    const wxRect work = wxDisplay(static_cast<unsigned>(std::max(0, wxDisplay::GetFromWindow(m_pDlg)))).GetClientArea();
    EXPECT_TRUE(WaitUntil([&] { return work.Contains(m_pDlg->GetScreenRect()); })) << m_pDlg->GetSize().y << " high";
}
