// The settings sheet in real windows on a private display: its tree, every
// page reading and writing the settings record, the faults the General and
// OGG pages must not have, the layout at the desktop's font size, and the
// recording that follows what the pages stored.
#include "AppPaths.h"
#include "Config.h"
#include "EncoderFixtures.h"
#include "HoverButton.h"
#include "OggPages.h"
#include "PageFormats.h"
#include "PageGeneral.h"
#include "PageMP3.h"
#include "PageOGG.h"
#include "PageTrack.h"
#include "PageWAV.h"
#include "PageWMA.h"
#include "RecorderSettings.h"
#include "RecordingStart.h"
#include "SettingsSheet.h"
#include "Shell.h"
#include "TestSupport.h"
#include "TreePropSheet.h"
#include "UiTestSupport.h"
#include "WaveIn.h"

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/dirdlg.h>
#include <wx/settings.h>
#include <wx/statbox.h>
#include <wx/testing.h>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>

namespace
{
using winmm::virt::DeviceSpec;
using winmm::virt::LineSpec;

struct ShownMessage
{
    std::string text, caption;
    UINT type;
    bool operator==(const ShownMessage& o) const
    {
        return std::tie(text, caption, type) == std::tie(o.text, o.caption, o.type);
    }
};

std::ostream& operator<<(std::ostream& out, const ShownMessage& m)
{
    return out << '"' << m.text << "\" / \"" << m.caption << "\" / " << m.type;
}

// Every message box the code shows, with its caption and icon.
class CMessageLog
{
public:
    CMessageLog()
    {
        m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
            shown.push_back({r.text, r.caption, r.type});
            return IDOK;
        });
    }
    ~CMessageLog() { SetMessageBoxHandler(m_previous); }
    std::vector<ShownMessage> shown;

private:
    MessageBoxHandler m_previous;
};

ShownMessage StopMessage(const char* pszText)
{
    return {pszText, APP_CAPTION, MB_ICONHAND};
}

auto GeneralFields(const RecorderSettings& s)
{
    return std::make_tuple(s.DeviceIndex, s.LineIndex, s.OutputFormat, s.SavedDirectry, s.IsOpenOutput,
                           s.IsViewWaveform);
}

auto AllFields(const RecorderSettings& s)
{
    return std::tuple_cat(GeneralFields(s),
                          std::make_tuple(s.AlbumTitle, s.Artist, s.Title, s.YearIndex, s.Mp3BitrateIndex, s.Mp3Volume,
                                          s.OggMode, s.OggQuality, s.OggMinBitrateIndex, s.OggNominalBitrateIndex,
                                          s.OggMaxBitrateIndex, s.WavChannelsIndex, s.WavSampleRateIndex,
                                          s.WavBitsIndex, s.WmaMode, s.WmaBitrateIndex, s.WmaQualityIndex));
}

DeviceSpec Device(const std::string& name, std::vector<std::string> lineNames)
{
    DeviceSpec spec;
    spec.name = name;
    double dFrequency = 300;
    for (const std::string& lineName : lineNames)
    {
        LineSpec line;
        line.name = lineName;
        line.frequencies = {dFrequency += 200};
        spec.lines.push_back(line);
    }
    return spec;
}

DeviceSpec NoMixDevice()
{
    DeviceSpec spec = winmm::virt::DefaultDevice();
    spec.lines.erase(spec.lines.begin() + 2);  // "Stereo Mix"
    return spec;
}

std::vector<wxString> Items(const wxChoice* pList)
{
    std::vector<wxString> items;
    for (unsigned i = 0; i < pList->GetCount(); ++i)
        items.push_back(pList->GetString(i));
    return items;
}

int CurrentLocalYear()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}
}  // namespace

class SettingsSheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MoveMouse(wxPoint(2, 2));
        FreeDevices();
    }
    void TearDown() override
    {
        Close();
        FreeDevices();
    }

    // Replaces the virtual devices for the rest of the test.
    void UseDevices(const std::vector<DeviceSpec>& devices)
    {
        m_pDevices.reset();  // its end restores the default device
        m_pDevices = std::make_unique<CManualClockScope>(devices);
        FreeDevices();
    }

    void Open()
    {
        Close();
        m_pSheet = NewSettingsSheet(nullptr);
        ASSERT_TRUE(m_pSheet->CreateSheet());
        m_pSheet->Move(20, 20);
        m_pSheet->Show();
        ASSERT_TRUE(WaitUntil([&] {
            return m_pSheet->IsActive() && m_pSheet->GetActivePage() && m_pSheet->GetActivePage()->IsShownOnScreen();
        }));
    }
    void Close()
    {
        if (m_pSheet)
            DestroyAndWait(m_pSheet);
        m_pSheet = nullptr;
    }

    template <class TPage>
    TPage* ShowPage()
    {
        for (size_t i = 0; i < m_pSheet->GetPageCount(); ++i)
            if (auto* pPage = dynamic_cast<TPage*>(m_pSheet->GetPage(i)))
            {
                EXPECT_TRUE(m_pSheet->SetActivePage(i));
                EXPECT_TRUE(WaitUntil([&] { return pPage->IsShownOnScreen(); }));
                return pPage;
            }
        ADD_FAILURE() << "no such page";
        return nullptr;
    }
    template <class TControl>
    TControl* Find(wxWindow* pPage, int nId)
    {
        auto* pControl = dynamic_cast<TControl*>(pPage->FindWindow(nId));
        EXPECT_NE(nullptr, pControl) << nId;
        return pControl;
    }

    // What a user's choice in a list, click on a mode button or move of a slider sends.
    static void Choose(wxChoice* pList, int nIndex)
    {
        pList->SetSelection(nIndex);
        wxCommandEvent event(wxEVT_CHOICE, pList->GetId());
        event.SetInt(nIndex);
        event.SetString(pList->GetString(nIndex));
        event.SetEventObject(pList);
        pList->ProcessWindowEvent(event);
    }
    static void Click(wxRadioButton* pButton)
    {
        pButton->SetValue(true);
        wxCommandEvent event(wxEVT_RADIOBUTTON, pButton->GetId());
        event.SetInt(1);
        event.SetEventObject(pButton);
        pButton->ProcessWindowEvent(event);
    }
    static void Slide(wxSlider* pSlider, int nPosition)
    {
        pSlider->SetValue(nPosition);
        wxCommandEvent event(wxEVT_SLIDER, pSlider->GetId());
        event.SetInt(nPosition);
        event.SetEventObject(pSlider);
        pSlider->ProcessWindowEvent(event);
    }
    static void Press(wxWindow* pButton)
    {
        wxCommandEvent event(wxEVT_BUTTON, pButton->GetId());
        event.SetEventObject(pButton);
        pButton->ProcessWindowEvent(event);
    }
    // OK or Cancel of the sheet.
    void Press(int nId) { Press(m_pSheet->FindWindow(nId)); }
    bool IsOpen() const { return m_pSheet->IsShown(); }

    CManualClockScope m_clock;
    std::unique_ptr<CManualClockScope> m_pDevices;
    CSettingsScope m_settings;
    CMessageLog m_messages;
    CTreePropSheet* m_pSheet = nullptr;
};

// ---------------------------------------------------------------------------
// The sheet

TEST_F(SettingsSheetTest, TheTreeListsThePagesUnderTheirTitlesAndCtrlTabWalksItBothWays)
{
    Open();
    EXPECT_EQ("Settings", m_pSheet->GetTitle());
    EXPECT_NE(nullptr, m_pSheet->FindWindow(wxID_OK));
    EXPECT_NE(nullptr, m_pSheet->FindWindow(wxID_CANCEL));
    EXPECT_EQ(nullptr, m_pSheet->FindWindow(wxID_APPLY));
    EXPECT_EQ(nullptr, m_pSheet->FindWindow(wxID_HELP));
    EXPECT_EQ("Select a sub-item", m_pSheet->GetEmptyPageText());
    EXPECT_TRUE(m_pSheet->GetPageFrame()->HasCaptionBar());

    wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
    std::vector<wxString> outline;
    std::function<void(wxTreeItemId, wxString)> walk = [&](wxTreeItemId parent, wxString indent) {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId item = pTree->GetFirstChild(parent, cookie); item.IsOk();
             item = pTree->GetNextChild(parent, cookie))
        {
            outline.push_back(indent + pTree->GetItemText(item));
            walk(item, indent + "  ");
        }
    };
    walk(pTree->GetRootItem(), "");
    EXPECT_EQ((std::vector<wxString>{"General", "Track info", "Output formats", "  MP3", "  OGG", "  WAV", "  WMA"}),
              outline);
    EXPECT_EQ("General", m_pSheet->GetSelectedNodeText());
    EXPECT_NE(nullptr, dynamic_cast<CPageGeneral*>(m_pSheet->GetActivePage()));

    pTree->SetFocus();
    ASSERT_TRUE(WaitUntil([&] { return pTree->HasFocus(); }));
    const std::vector<wxString> order = {"Track info", "Output formats", "MP3", "OGG", "WAV", "WMA", "General"};
    for (const wxString& next : order)
    {
        Xdo("key ctrl+Tab");
        EXPECT_TRUE(WaitUntil([&] { return m_pSheet->GetSelectedNodeText() == next; }, 5000))
            << "Ctrl+Tab to " << next << ", at " << m_pSheet->GetSelectedNodeText();
        EXPECT_TRUE(m_pSheet->GetActivePage()->GetPageTitle().EndsWith(next));
    }
    // Back from General: before the first node comes the last.
    for (const char* previous : {"WMA", "WAV", "OGG", "MP3", "Output formats", "Track info", "General", "WMA"})
    {
        Xdo("key ctrl+shift+Tab");
        EXPECT_TRUE(WaitUntil([&] { return m_pSheet->GetSelectedNodeText() == previous; }, 5000))
            << "Ctrl+Shift+Tab to " << previous << ", at " << m_pSheet->GetSelectedNodeText();
    }
}

TEST_F(SettingsSheetTest, RunningItModallyGivesTheButtonThatClosedItAndOnlyOkStores)
{
    for (int nButton : {wxID_CANCEL, wxID_OK})
    {
        bool bPressed = false;
        wxTheApp->CallAfter([&] {
            // Inside the sheet's own modal loop.
            for (wxWindow* pWindow : wxTopLevelWindows)
                if (auto* pSheet = dynamic_cast<CTreePropSheet*>(pWindow); pSheet && pSheet->IsModal())
                {
                    bPressed = true;
                    Press(pSheet->FindWindow(nButton));
                }
        });
        EXPECT_EQ(nButton, RunSettingsSheet(nullptr));
        EXPECT_TRUE(bPressed);
        EXPECT_EQ(nButton == wxID_OK ? 2 : -1, theSettings.LineIndex) << "the first run's Mix line";
    }
    EXPECT_TRUE(wxTopLevelWindows.empty());
}

// ---------------------------------------------------------------------------
// General

TEST_F(SettingsSheetTest, AFirstRunSelectsTheFirstMixLineOrElseTheFirstLineAndOkStoresItsPosition)
{
    struct Case
    {
        DeviceSpec device;
        std::vector<wxString> lines;
        int nSelected;
    };
    const Case cases[] = {
        {winmm::virt::DefaultDevice(), {"Microphone", "Line In", "Stereo Mix"}, 2},
        {NoMixDevice(), {"Microphone", "Line In"}, 0},
        {Device("Two Mixes", {"Mic", "Mixdown", "Stereo Mix"}), {"Mic", "Mixdown", "Stereo Mix"}, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.device.name + " with " + std::to_string(c.lines.size()) + " lines");
        UseDevices({Device("Other", {"A"}), c.device});
        theSettings.DeviceIndex = 1;
        theSettings.LineIndex = -1;
        Open();
        auto* pPage = dynamic_cast<CPageGeneral*>(m_pSheet->GetActivePage());
        ASSERT_NE(nullptr, pPage);
        EXPECT_EQ((std::vector<wxString>{"Other", c.device.name}), Items(Find<wxChoice>(pPage, 1012)));
        EXPECT_EQ(1, Find<wxChoice>(pPage, 1012)->GetSelection());
        EXPECT_EQ(c.lines, Items(Find<wxChoice>(pPage, 1011))) << "the synthesizer is never listed";
        EXPECT_EQ(c.nSelected, Find<wxChoice>(pPage, 1011)->GetSelection());
        Press(wxID_OK);
        EXPECT_FALSE(IsOpen());
        EXPECT_EQ(c.nSelected, theSettings.LineIndex);
        EXPECT_EQ(1, theSettings.DeviceIndex);
    }
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(SettingsSheetTest, ASavedDeviceBeyondTheListSaysCantFindLinesAndOkThenChangesNothing)
{
    theSettings.DeviceIndex = 1;
    theSettings.LineIndex = 2;
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    theSettings.SavedDirectry = "/music/takes";
    theSettings.IsOpenOutput = 1;
    const RecorderSettings before = theSettings;
    Open();
    EXPECT_EQ(std::vector<ShownMessage>{StopMessage("Cant find lines.")}, m_messages.shown);
    auto* pPage = dynamic_cast<CPageGeneral*>(m_pSheet->GetActivePage());
    ASSERT_NE(nullptr, pPage);
    EXPECT_EQ(wxNOT_FOUND, Find<wxChoice>(pPage, 1012)->GetSelection());
    EXPECT_EQ(0u, Find<wxChoice>(pPage, 1011)->GetCount());
    EXPECT_EQ(wxNOT_FOUND, Find<wxChoice>(pPage, 1010)->GetSelection());
    EXPECT_EQ("", Find<wxTextCtrl>(pPage, 1018)->GetValue());
    EXPECT_FALSE(Find<wxCheckBox>(pPage, 1022)->GetValue());
    EXPECT_FALSE(Find<wxCheckBox>(pPage, 1023)->GetValue());
    Press(wxID_OK);
    EXPECT_EQ(AllFields(before), AllFields(theSettings));

    // Choosing a device then fills the page, and OK stores it.
    Open();
    pPage = dynamic_cast<CPageGeneral*>(m_pSheet->GetActivePage());
    Choose(Find<wxChoice>(pPage, 1012), 0);
    EXPECT_EQ(2, Find<wxChoice>(pPage, 1011)->GetSelection());
    EXPECT_EQ(OUTPUT_FORMAT_WAV, Find<wxChoice>(pPage, 1010)->GetSelection());
    EXPECT_EQ("/music/takes", Find<wxTextCtrl>(pPage, 1018)->GetValue());
    EXPECT_TRUE(Find<wxCheckBox>(pPage, 1022)->GetValue());
    Press(wxID_OK);
    RecorderSettings expected = before;
    expected.DeviceIndex = 0;
    EXPECT_EQ(AllFields(expected), AllFields(theSettings));
}

TEST_F(SettingsSheetTest, ChoosingAnotherDeviceListsItsOwnLinesAndOkStoresThatDevicesLine)
{
    UseDevices({winmm::virt::DefaultDevice(), Device("USB Headset", {"Capture", "Aux", "Monitor Mix"})});
    theSettings.LineIndex = 0;  // "Microphone" of the first device
    Open();
    auto* pPage = ShowPage<CPageGeneral>();
    wxChoice* pDevices = Find<wxChoice>(pPage, 1012);
    wxChoice* pLines = Find<wxChoice>(pPage, 1011);
    EXPECT_EQ(0, pLines->GetSelection());

    Choose(pDevices, 1);
    EXPECT_EQ((std::vector<wxString>{"Capture", "Aux", "Monitor Mix"}), Items(pLines));
    EXPECT_EQ(2, pLines->GetSelection()) << "the new device's Mix line";
    Choose(pDevices, 0);
    EXPECT_EQ((std::vector<wxString>{"Microphone", "Line In", "Stereo Mix"}), Items(pLines));
    EXPECT_EQ(0, pLines->GetSelection()) << "back on the saved device, its saved line";
    Choose(pDevices, 1);
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(1, 2), std::make_tuple(theSettings.DeviceIndex, theSettings.LineIndex));

    // A saved line the device does not have falls back to its Mix line instead of storing a missing one.
    theSettings.LineIndex = 7;
    Open();
    EXPECT_EQ(2, Find<wxChoice>(m_pSheet->GetActivePage(), 1011)->GetSelection());
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(SettingsSheetTest, AMixerThatCannotOpenIsReportedAndLeavesTheLinesEmptyWithoutStoringABogusLine)
{
    DeviceSpec stopped = winmm::virt::DefaultDevice();
    stopped.name = "Stopped Server";
    stopped.mixerOpens = false;
    UseDevices({stopped, winmm::virt::DefaultDevice()});
    theSettings.LineIndex = 1;
    Open();
    EXPECT_EQ(std::vector<ShownMessage>{StopMessage("Can't open Mixer Device.")}, m_messages.shown);
    auto* pPage = ShowPage<CPageGeneral>();
    EXPECT_EQ(0u, Find<wxChoice>(pPage, 1011)->GetCount());
    EXPECT_EQ(OUTPUT_FORMAT_MP3, Find<wxChoice>(pPage, 1010)->GetSelection()) << "the rest of the page is filled";
    EXPECT_TRUE(Find<wxCheckBox>(pPage, 1023)->GetValue());
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(0, 1), std::make_tuple(theSettings.DeviceIndex, theSettings.LineIndex))
        << "the same device keeps its saved line";

    // Chosen from another device: no line of the old device is carried over.
    theSettings.DeviceIndex = 1;
    m_messages.shown.clear();
    Open();
    pPage = ShowPage<CPageGeneral>();
    EXPECT_EQ(1, Find<wxChoice>(pPage, 1011)->GetSelection());
    Choose(Find<wxChoice>(pPage, 1012), 0);
    EXPECT_EQ(std::vector<ShownMessage>{StopMessage("Can't open Mixer Device.")}, m_messages.shown);
    EXPECT_EQ(0u, Find<wxChoice>(pPage, 1011)->GetCount());
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(0, -1), std::make_tuple(theSettings.DeviceIndex, theSettings.LineIndex));
}

TEST_F(SettingsSheetTest, CancelAfterChangingEveryControlKeepsTheRecordAndOkStoresOnlyTheGeneralFields)
{
    UseDevices({winmm::virt::DefaultDevice(), winmm::virt::DefaultDevice()});
    theSettings.SavedDirectry = "/music/takes";
    // Values no page would show unchanged, so a page that stored unasked would be seen.
    theSettings.Mp3Volume = 37;
    theSettings.OggQuality = 555;
    theSettings.YearIndex = 4;
    theSettings.WmaQualityIndex = 6;
    const RecorderSettings before = theSettings;
    auto changeEverything = [&] {
        auto* pPage = ShowPage<CPageGeneral>();
        Choose(Find<wxChoice>(pPage, 1012), 1);
        Choose(Find<wxChoice>(pPage, 1011), 1);
        Choose(Find<wxChoice>(pPage, 1010), OUTPUT_FORMAT_OGG);
        Find<wxTextCtrl>(pPage, 1018)->ChangeValue("/music/other");
        Find<wxCheckBox>(pPage, 1022)->SetValue(true);
        Find<wxCheckBox>(pPage, 1023)->SetValue(false);
    };
    Open();
    changeEverything();
    Press(wxID_CANCEL);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(AllFields(before), AllFields(theSettings));

    Open();
    changeEverything();
    Press(wxID_OK);
    RecorderSettings expected = before;
    std::tie(expected.DeviceIndex, expected.LineIndex, expected.OutputFormat, expected.SavedDirectry,
             expected.IsOpenOutput, expected.IsViewWaveform) = std::make_tuple(1, 1, 1, "/music/other", 1, 0);
    EXPECT_EQ(AllFields(expected), AllFields(theSettings));
}

TEST_F(SettingsSheetTest, TheFolderBrowserKeepsTheFolderOnCancelAndReplacesItWithTheChosenFolder)
{
    CTempFolder start(TestFolderName() + "_start");
    CTempFolder chosen(TestFolderName() + "_chosen");
    theSettings.SavedDirectry = start.Path();
    Open();
    auto* pPage = ShowPage<CPageGeneral>();
    wxWindow* pBrowse = Find<wxWindow>(pPage, 1020);
    wxTextCtrl* pFolder = Find<wxTextCtrl>(pPage, 1018);
    EXPECT_FALSE(pFolder->IsEditable());

    // The real GTK folder chooser, driven by keys: Escape, then a typed folder.
    for (const std::string& keys : {std::string("key Escape"), "key ctrl+l type --delay 5 " + chosen.Path() + "/"})
    {
        bool bSeen = false;
        wxTheApp->CallAfter([&] {
            // The chooser is GTK's own window: found, like a user finds it, by its title on the screen.
            bSeen = WaitUntil([] {
                std::string active;
                RunCommand("xdotool getactivewindow getwindowname 2>/dev/null", &active);
                return active == "Please select an output folder\n";
            });
            if (!bSeen)
                return;
            WaitUntil([] { return false; }, 300);
            Xdo(keys);
            if (keys != "key Escape")
            {
                WaitUntil([] { return false; }, 300);
                Xdo("key Return");
            }
        });
        Press(pBrowse);
        EXPECT_TRUE(bSeen) << "a folder chooser titled \"Please select an output folder\"";
        EXPECT_EQ(keys == "key Escape" ? start.Path() : chosen.Path(), pFolder->GetValue().utf8_string()) << keys;
    }
    Press(wxID_OK);
    EXPECT_EQ(chosen.Path(), theSettings.SavedDirectry);
}

// ---------------------------------------------------------------------------
// Format pages

TEST_F(SettingsSheetTest, TheOggPageOpensOnTheQualityRowAndItsLabelsFollowTheSlider)
{
    Open();
    auto* pPage = ShowPage<CPageOGG>();
    auto* pSlider = Find<wxSlider>(pPage, 1344);
    EXPECT_TRUE(Find<wxRadioButton>(pPage, 1340)->GetValue());
    for (int nId : {1341, 1342, 1343})
        EXPECT_FALSE(Find<wxRadioButton>(pPage, nId)->GetValue()) << nId;
    EXPECT_TRUE(pSlider->IsEnabled());
    EXPECT_EQ(std::make_tuple(0, 1000, 400), std::make_tuple(pSlider->GetMin(), pSlider->GetMax(), pSlider->GetValue()));
    EXPECT_EQ("Quality: 4.00", Find<wxStaticText>(pPage, 1345)->GetLabel());
    EXPECT_EQ("Bitrate: 128.0 kbps", Find<wxStaticText>(pPage, 1346)->GetLabel());
    for (int nId : {1026, 1027, 1028})
    {
        auto* pList = Find<wxChoice>(pPage, nId);
        EXPECT_FALSE(pList->IsEnabled()) << nId;
        EXPECT_EQ(wxNOT_FOUND, pList->GetSelection()) << nId;
        EXPECT_EQ(11u, pList->GetCount());
        EXPECT_EQ("500 Kbps", pList->GetString(10));
    }

    const std::tuple<int, const char*, const char*> positions[] = {
        {405, "Quality: 4.05", "Bitrate: 128.8 kbps"},
        {1000, "Quality: 10.00", "Bitrate: 500.0 kbps"},
        {0, "Quality: 0.00", "Bitrate: 64.0 kbps"},
    };
    for (const auto& [nPosition, pszQuality, pszBitrate] : positions)
    {
        Slide(pSlider, nPosition);
        EXPECT_EQ(pszQuality, Find<wxStaticText>(pPage, 1345)->GetLabel());
        EXPECT_EQ(pszBitrate, Find<wxStaticText>(pPage, 1346)->GetLabel());
    }
}

TEST_F(SettingsSheetTest, OggModeButtonsStoreAtOnceAndConstantBitrateKeepsTheThreeListsEqual)
{
    theSettings.OggMinBitrateIndex = 1;
    theSettings.OggMaxBitrateIndex = 9;
    Open();
    auto* pPage = ShowPage<CPageOGG>();
    Click(Find<wxRadioButton>(pPage, 1343));
    EXPECT_EQ(3, theSettings.OggMode);
    EXPECT_FALSE(Find<wxSlider>(pPage, 1344)->IsEnabled());
    EXPECT_FALSE(Find<wxChoice>(pPage, 1026)->IsEnabled());
    EXPECT_TRUE(Find<wxChoice>(pPage, 1027)->IsEnabled());
    EXPECT_FALSE(Find<wxChoice>(pPage, 1028)->IsEnabled());
    Choose(Find<wxChoice>(pPage, 1027), 6);  // 192 Kbps
    EXPECT_EQ(6, Find<wxChoice>(pPage, 1026)->GetSelection());
    EXPECT_EQ(6, Find<wxChoice>(pPage, 1028)->GetSelection());
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(3, 6, 6, 6), std::make_tuple(theSettings.OggMode, theSettings.OggMinBitrateIndex,
                                                           theSettings.OggNominalBitrateIndex,
                                                           theSettings.OggMaxBitrateIndex));

    // Variable bitrate loads the stored pair; Cancel keeps only the mode.
    theSettings.OggMinBitrateIndex = 1;
    theSettings.OggMaxBitrateIndex = 9;
    const RecorderSettings before = theSettings;
    Open();
    pPage = ShowPage<CPageOGG>();
    Click(Find<wxRadioButton>(pPage, 1341));
    EXPECT_EQ(1, theSettings.OggMode);
    EXPECT_EQ(1, Find<wxChoice>(pPage, 1026)->GetSelection());
    EXPECT_EQ(9, Find<wxChoice>(pPage, 1028)->GetSelection());
    Choose(Find<wxChoice>(pPage, 1028), 10);
    Press(wxID_CANCEL);
    RecorderSettings expected = before;
    expected.OggMode = 1;
    EXPECT_EQ(AllFields(expected), AllFields(theSettings));

    // Average bitrate fills only the nominal list; the other two keep their stored indexes, and the
    // disabled slider still shows, and keeps, the stored quality.
    theSettings.OggMode = 2;
    theSettings.OggQuality = 555;
    Open();
    pPage = ShowPage<CPageOGG>();
    EXPECT_EQ(wxNOT_FOUND, Find<wxChoice>(pPage, 1026)->GetSelection());
    EXPECT_EQ("Quality: 5.55", Find<wxStaticText>(pPage, 1345)->GetLabel());
    Choose(Find<wxChoice>(pPage, 1027), 0);
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(2, 555, 1, 0, 9),
              std::make_tuple(theSettings.OggMode, theSettings.OggQuality, theSettings.OggMinBitrateIndex,
                              theSettings.OggNominalBitrateIndex, theSettings.OggMaxBitrateIndex));
}

TEST_F(SettingsSheetTest, AnOggMinimumAboveTheMaximumIsShownInRedAndHoldsTheSheetUntilMended)
{
    theSettings.OggMode = 1;
    Open();
    auto* pPage = ShowPage<CPageOGG>();
    auto* pWarning = Find<wxStaticText>(pPage, 1352);
    const wxRect warning(pWarning->GetScreenPosition(), pWarning->GetSize());
    auto redPixels = [&] {
        return CountPixels(warning, [](const wxColour& c) { return c.Red() > 120 && c.Green() < 90 && c.Blue() < 90; });
    };
    EXPECT_TRUE(WaitUntil([&] { return redPixels() == 0; }));

    Choose(Find<wxChoice>(pPage, 1026), 9);  // 320 Kbps
    Choose(Find<wxChoice>(pPage, 1028), 2);  // 96 Kbps
    EXPECT_EQ(CPageOGG::RANGE_WARNING, pWarning->GetLabel());
    EXPECT_TRUE(WaitUntil([&] { return redPixels() > 30; })) << "the warning is drawn in red";
    SaveScreenshot("settings-ogg-range-warning");

    Press(wxID_OK);
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(pPage, m_pSheet->GetActivePage());
    EXPECT_FALSE(m_pSheet->SetActivePage(size_t(5))) << "the page cannot be left either";
    EXPECT_EQ("OGG", m_pSheet->GetSelectedNodeText());
    EXPECT_EQ(std::make_tuple(0, 8), std::make_tuple(theSettings.OggMinBitrateIndex, theSettings.OggMaxBitrateIndex));

    Choose(Find<wxChoice>(pPage, 1028), 10);
    EXPECT_EQ("", pWarning->GetLabel());
    EXPECT_TRUE(WaitUntil([&] { return redPixels() == 0; }));
    Press(wxID_OK);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(std::make_tuple(1, 9, 10), std::make_tuple(theSettings.OggMode, theSettings.OggMinBitrateIndex,
                                                         theSettings.OggMaxBitrateIndex));

    // A wrong pair left behind in the disabled lists of another mode is not stored.
    Open();
    pPage = ShowPage<CPageOGG>();
    Choose(Find<wxChoice>(pPage, 1026), 10);
    Choose(Find<wxChoice>(pPage, 1028), 0);
    Click(Find<wxRadioButton>(pPage, 1340));
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(0, 9, 10), std::make_tuple(theSettings.OggMode, theSettings.OggMinBitrateIndex,
                                                         theSettings.OggMaxBitrateIndex));
}

TEST_F(SettingsSheetTest, TheMp3VolumeSliderAtItsEndShows100PercentAndOkStoresItWithTheBitrate)
{
    theSettings.Mp3Volume = 40;
    Open();
    auto* pPage = ShowPage<CPageMP3>();
    auto* pSlider = Find<wxSlider>(pPage, 1017);
    auto* pLabel = Find<wxStaticText>(pPage, 1018);
    EXPECT_EQ("40%", pLabel->GetLabel());
    EXPECT_EQ(5, Find<wxChoice>(pPage, 1016)->GetSelection());
    EXPECT_EQ("192 Kbps", Find<wxChoice>(pPage, 1016)->GetStringSelection());
    EXPECT_EQ(9u, Find<wxChoice>(pPage, 1016)->GetCount());
    pSlider->SetFocus();
    ASSERT_TRUE(WaitUntil([&] { return pSlider->HasFocus(); }));
    Xdo("key End");
    EXPECT_TRUE(WaitUntil([&] { return pLabel->GetLabel() == "100%"; }, 5000)) << pLabel->GetLabel();
    EXPECT_EQ(100, pSlider->GetValue());
    Choose(Find<wxChoice>(pPage, 1016), 8);
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(100, 8), std::make_tuple(theSettings.Mp3Volume, theSettings.Mp3BitrateIndex));
}

TEST_F(SettingsSheetTest, TheWmaPageOpenedInQualityModeEnablesOnlyItsListAndAModeClickIsStoredAtOnce)
{
    theSettings.WmaMode = 1;
    Open();
    auto* pPage = ShowPage<CPageWMA>();
    auto* pBitrate = Find<wxChoice>(pPage, 1022);
    auto* pQuality = Find<wxChoice>(pPage, 1023);
    EXPECT_TRUE(Find<wxRadioButton>(pPage, 1025)->GetValue());
    EXPECT_FALSE(Find<wxRadioButton>(pPage, 1024)->GetValue());
    EXPECT_EQ(std::make_tuple(true, wxString("50%")), std::make_tuple(pQuality->IsEnabled(), pQuality->GetStringSelection()));
    EXPECT_EQ(std::make_tuple(false, wxString("64 Kbps")),
              std::make_tuple(pBitrate->IsEnabled(), pBitrate->GetStringSelection()));

    const RecorderSettings before = theSettings;
    Click(Find<wxRadioButton>(pPage, 1024));
    EXPECT_EQ(0, theSettings.WmaMode);
    EXPECT_TRUE(pBitrate->IsEnabled());
    EXPECT_FALSE(pQuality->IsEnabled());
    Choose(pBitrate, 9);
    Press(wxID_CANCEL);
    RecorderSettings expected = before;
    expected.WmaMode = 0;
    EXPECT_EQ(AllFields(expected), AllFields(theSettings));
}

// ---------------------------------------------------------------------------
// Track info

TEST_F(SettingsSheetTest, TrackInfoShowsTheTagsAndTenYearsAndTypingStopsAtThirtyCharacters)
{
    Open();
    auto* pPage = ShowPage<CPageTrack>();
    auto* pArtist = Find<wxTextCtrl>(pPage, 1028);
    auto* pAlbum = Find<wxTextCtrl>(pPage, 1029);
    auto* pTitle = Find<wxTextCtrl>(pPage, 1030);
    auto* pYear = Find<wxChoice>(pPage, 1031);
    EXPECT_EQ(std::make_tuple(wxString("vorane"), wxString(DEFAULT_TAG_TEXT), wxString(DEFAULT_TAG_TEXT)),
              std::make_tuple(pArtist->GetValue(), pAlbum->GetValue(), pTitle->GetValue()));
    std::vector<wxString> years;
    for (int nYear = CurrentLocalYear() - 9; nYear <= CurrentLocalYear(); ++nYear)
        years.push_back(wxString::Format("%d", nYear));
    EXPECT_EQ(years, Items(pYear));
    EXPECT_EQ(9, pYear->GetSelection());

    const std::string typed = "abcdefghijklmnopqrstuvwxyz0123456789";  // 36 characters
    for (wxTextCtrl* pEdit : {pArtist, pAlbum, pTitle})
    {
        pEdit->SetFocus();
        ASSERT_TRUE(WaitUntil([&] { return pEdit->HasFocus(); }));
        Xdo("key ctrl+a BackSpace");
        Xdo("type --delay 5 " + typed);
        EXPECT_TRUE(WaitUntil([&] { return pEdit->GetValue().length() >= 30; }, 5000));
        // Keys still on their way would show up here.
        WaitUntil([] { return false; }, 300);
        EXPECT_EQ(typed.substr(0, 30), pEdit->GetValue().utf8_string()) << pEdit->GetId();
    }

    // Cleared texts are stored empty, the first year as index 0.
    for (wxTextCtrl* pEdit : {pArtist, pAlbum, pTitle})
        pEdit->SetValue("");
    Choose(pYear, 0);
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(std::string(), std::string(), std::string(), 0),
              std::make_tuple(theSettings.Artist, theSettings.AlbumTitle, theSettings.Title, theSettings.YearIndex));

    // A longer text from the configuration file is shown whole, typing adds nothing to it, deleting works,
    // and OK stores at most 255 bytes.
    const std::string longAlbum = "The Complete Harbour Sessions, Volume One (Remastered)";  // 54 characters
    theSettings.AlbumTitle = longAlbum;
    theSettings.Title = std::string(300, 'x');
    Open();
    pAlbum = Find<wxTextCtrl>(ShowPage<CPageTrack>(), 1029);
    EXPECT_EQ(longAlbum, pAlbum->GetValue().utf8_string());
    pAlbum->SetFocus();
    ASSERT_TRUE(WaitUntil([&] { return pAlbum->HasFocus(); }));
    Xdo("key End");
    Xdo("type --delay 5 XYZ");
    Xdo("key BackSpace");
    const std::string shortened = longAlbum.substr(0, longAlbum.size() - 1);
    EXPECT_TRUE(WaitUntil([&] { return pAlbum->GetValue().utf8_string() == shortened; }, 5000)) << pAlbum->GetValue();
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(shortened, std::string(255, 'x')), std::make_tuple(theSettings.AlbumTitle, theSettings.Title));
}

// ---------------------------------------------------------------------------
// Output formats

namespace
{
// A PATH of one folder that holds the named programs (scripts that do nothing).
class CToolPath
{
public:
    CToolPath(const std::string& name, const std::vector<std::string>& programs) : m_folder(name)
    {
        m_old = getenv("PATH");
        for (const std::string& program : programs)
        {
            std::ofstream(m_folder.File(program)) << "#!/bin/sh\nexit 0\n";
            std::filesystem::permissions(m_folder.File(program), std::filesystem::perms::owner_all);
        }
        setenv("PATH", m_folder.Path().c_str(), 1);
    }
    ~CToolPath() { setenv("PATH", m_old.c_str(), 1); }
    std::string Program(const std::string& name) const { return m_folder.File(name); }

private:
    CTempFolder m_folder;
    std::string m_old;
};
}  // namespace

TEST_F(SettingsSheetTest, TheOutputFormatsButtonsOpenTheDesktopsSoundToolsAndLightUpUnderTheMouse)
{
    std::vector<ShellRequest> requests;
    ShellHandler previous = SetShellHandler([&](const ShellRequest& r) {
        requests.push_back(r);
        return INT_PTR(SE_OK_STARTED);
    });
    Open();
    auto* pPage = ShowPage<CPageFormats>();
    const std::pair<int, const char*> buttons[] = {
        {1029, "System Sounds and Audio Devices"}, {1027, "System Valume Control"}, {1028, "System Recording Control"}};
    for (const auto& [nId, pszText] : buttons)
        EXPECT_EQ(pszText, Find<CHoverButton>(pPage, nId)->GetLabel());

    {
        CToolPath path(TestFolderName() + "_pavucontrol", {"pavucontrol"});
        for (const auto& button : buttons)
            Press(Find<wxWindow>(pPage, button.first));
        ASSERT_EQ(3u, requests.size());
        const std::string program = path.Program("pavucontrol");
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(std::make_tuple(std::string("open"), program, std::string(i < 2 ? "-t 3" : "-t 4")),
                      std::make_tuple(requests[i].verb, requests[i].file, requests[i].parameters));
    }
    SetShellHandler(previous);

    // The mouse over a button lights it and writes its text in green.
    auto* pVolume = Find<CHoverButton>(pPage, 1027);
    const wxRect rc(pVolume->GetScreenPosition(), pVolume->GetSize());
    auto green = [](const wxColour& c) { return c.Green() > 90 && c.Red() < 60 && c.Blue() < 60; };
    EXPECT_EQ(0, CountPixels(rc, green));
    MoveMouse(rc.GetPosition() + wxPoint(rc.width / 2, rc.height / 2));
    EXPECT_TRUE(WaitUntil([&] { return CountPixels(rc, green) > 20; }));
    EXPECT_EQ(wxColour(0, 128, 0), pVolume->GetColor(CHoverButton::BTNST_COLOR_FG_IN));
    SaveScreenshot("settings-formats-hover");
    MoveMouse(wxPoint(2, 2));
}

// ---------------------------------------------------------------------------
// Layout at the desktop's font size

class SettingsSheetLayout : public SettingsSheetTest
{
};

TEST_F(SettingsSheetLayout, EveryPageShowsEachOfItsControlsWholeAndApart)
{
    const int nPoints = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetPointSize();
    if (const char* pszPoints = getenv("SETTINGS_TEST_FONT_POINTS"))
    {
        ASSERT_EQ(std::atoi(pszPoints), nPoints) << "the desktop font of this run";
    }
    // A long line name, as a sound server gives them: the page grows to show it.
    UseDevices({Device("PulseAudio Sound Server", {"Stereo Mix (Built-in Audio Analog Stereo)", "Microphone"})});
    theSettings.SavedDirectry = "/home/user/Music/Vorane Recordings";
    Open();
    // Every node of the tree readable in full.
    wxTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
    std::function<void(wxTreeItemId)> checkNodes = [&](wxTreeItemId parent) {
        wxTreeItemIdValue cookie;
        for (wxTreeItemId item = pTree->GetFirstChild(parent, cookie); item.IsOk();
             item = pTree->GetNextChild(parent, cookie))
        {
            wxRect text;
            ASSERT_TRUE(pTree->GetBoundingRect(item, text, true));
            EXPECT_LE(text.GetRight(), pTree->GetClientSize().x) << pTree->GetItemText(item);
            checkNodes(item);
        }
    };
    checkNodes(pTree->GetRootItem());
    for (size_t i = 0; i < m_pSheet->GetPageCount(); ++i)
    {
        CResizablePage* pPage = m_pSheet->GetPage(i);
        SCOPED_TRACE(pPage->GetPageTitle().utf8_string());
        ASSERT_TRUE(m_pSheet->SetActivePage(i));
        ASSERT_TRUE(WaitUntil([&] { return pPage->IsShownOnScreen(); }));
        const wxRect page(pPage->GetScreenPosition(), pPage->GetClientSize());
        const wxRect frame(m_pSheet->GetPageFrame()->GetScreenPosition(), m_pSheet->GetPageFrame()->GetClientSize());
        EXPECT_TRUE(frame.Contains(page));

        // Every control inside the page, at least as large as it asks to be, and none on top of another.
        std::vector<std::pair<wxWindow*, wxRect>> controls;
        std::function<void(wxWindow*)> collect = [&](wxWindow* pParent) {
            for (wxWindow* pChild : pParent->GetChildren())
            {
                if (!pChild->IsShown())
                    continue;
                controls.emplace_back(pChild, wxRect(pChild->GetScreenPosition(), pChild->GetSize()));
                if (dynamic_cast<wxStaticBox*>(pChild))
                    collect(pChild);
            }
        };
        collect(pPage);
        ASSERT_FALSE(controls.empty());
        for (const auto& [pControl, rc] : controls)
        {
            const wxString name = pControl->GetClassInfo()->GetClassName() + wxString::Format(" %d \"", pControl->GetId()) +
                                  pControl->GetLabel() + "\"";
            EXPECT_TRUE(page.Contains(rc)) << name << " at " << rc.x - page.x << "," << rc.y - page.y << " "
                                           << rc.width << "x" << rc.height << " in " << page.width << "x"
                                           << page.height;
            wxSize best = pControl->GetBestSize();
            // wx misjudges a text field's height at larger fonts, one way or the other; GTK knows what it needs.
            if (dynamic_cast<wxTextCtrl*>(pControl))
            {
                int nMinimum = 0, nNatural = 0;
                gtk_widget_get_preferred_height(pControl->GetHandle(), &nMinimum, &nNatural);
                best.y = nMinimum;
            }
            EXPECT_GE(rc.width, best.x) << name;
            EXPECT_GE(rc.height, best.y) << name;
        }
        for (size_t a = 0; a < controls.size(); ++a)
            for (size_t b = a + 1; b < controls.size(); ++b)
            {
                // A frame holds its controls; anything else must stay apart.
                if (dynamic_cast<wxStaticBox*>(controls[a].first) || dynamic_cast<wxStaticBox*>(controls[b].first))
                    continue;
                EXPECT_FALSE(controls[a].second.Intersects(controls[b].second))
                    << controls[a].first->GetId() << " \"" << controls[a].first->GetLabel() << "\" and "
                    << controls[b].first->GetId() << " \"" << controls[b].first->GetLabel() << "\"";
            }
        wxTheApp->Yield(true);
        WaitUntil([] { return false; }, 200);
        wxString name = pPage->GetPageTitle().AfterLast(':');
        name.Replace(" ", "-");
        SaveScreenshot(wxString::Format("settings-%s-%dpt", name.Lower(), nPoints).utf8_string());
    }
    EXPECT_TRUE(m_messages.shown.empty());
}

// ---------------------------------------------------------------------------
// What the pages store shapes the next recording

class SettingsSheetRecording : public SettingsSheetTest
{
protected:
    void SetUp() override
    {
        SettingsSheetTest::SetUp();
        UseBuiltLameModule();
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        theSettings.SavedDirectry = m_folder.Path();
    }

    // Records two seconds on the manual clock the way the main window starts a recording.
    std::string Record(const std::string& name)
    {
        const std::string path = m_folder.File(name);
        CDeviceThread capture;
        CRecordingStarter starter(capture);
        RecordingInfo info;
        IReceiver* pReceiver = starter.Prepare(theSettings.OutputFormat, path, info, nullptr);
        EXPECT_NE(nullptr, pReceiver);
        if (!pReceiver)
            return path;
        capture.StartCapture(pReceiver);
        winmm::virt::AdvanceClock(2.0);
        capture.StopCapture();
        EXPECT_TRUE(capture.WaitForCaptureEnd(20000));
        return path;
    }

    CTempFolder m_folder{TestFolderName()};
};

TEST_F(SettingsSheetRecording, WhatThePagesStoreShapesTheNextRecordingAndFolderAndTagsSurviveARestart)
{
    // General: WAV from "Line In" (1000 Hz); WAV: mono, 22.05 kHz, 8-bit.
    Open();
    auto* pGeneral = ShowPage<CPageGeneral>();
    Choose(Find<wxChoice>(pGeneral, 1011), 1);
    Choose(Find<wxChoice>(pGeneral, 1010), OUTPUT_FORMAT_WAV);
    auto* pWav = ShowPage<CPageWAV>();
    Choose(Find<wxChoice>(pWav, 1012), 0);
    Choose(Find<wxChoice>(pWav, 1013), 1);
    Choose(Find<wxChoice>(pWav, 1014), 0);
    Press(wxID_OK);
    DecodedAudio wav = DecodeFile(Record("take.wav"));
    ASSERT_TRUE(wav.ok) << wav.error;
    EXPECT_EQ(std::make_tuple(std::string("pcm_u8"), 22050, 1), std::make_tuple(wav.codec, wav.sampleRate, wav.channels));
    EXPECT_NEAR(1000, DominantFrequency(wav.firstChannel, wav.sampleRate), 15);

    // MP3 at 128 Kbps from "Stereo Mix" (1500 Hz), with the tags of the Track info page.
    Open();
    pGeneral = ShowPage<CPageGeneral>();
    Choose(Find<wxChoice>(pGeneral, 1011), 2);
    Choose(Find<wxChoice>(pGeneral, 1010), OUTPUT_FORMAT_MP3);
    auto* pMp3 = ShowPage<CPageMP3>();
    Choose(Find<wxChoice>(pMp3, 1016), 2);
    auto* pTrack = ShowPage<CPageTrack>();
    Find<wxTextCtrl>(pTrack, 1028)->SetValue("Harbour Band");
    Find<wxTextCtrl>(pTrack, 1029)->SetValue("Night Shift");
    Find<wxTextCtrl>(pTrack, 1030)->SetValue("First Light");
    Choose(Find<wxChoice>(pTrack, 1031), 0);
    Press(wxID_OK);
    DecodedAudio mp3 = DecodeFile(Record("take.mp3"));
    ASSERT_TRUE(mp3.ok) << mp3.error;
    EXPECT_EQ(128000, mp3.bitRate);
    EXPECT_NEAR(1500, DominantFrequency(mp3.firstChannel, mp3.sampleRate), 15);
    EXPECT_EQ(std::make_tuple(std::string("Harbour Band"), std::string("Night Shift"), std::string("First Light"),
                              std::to_string(CurrentLocalYear() - 9)),
              std::make_tuple(mp3.tags["artist"], mp3.tags["album"], mp3.tags["title"], mp3.tags["date"]));

    // OGG at a constant 192 Kbps: the stream's own header carries the three rates.
    Open();
    Choose(Find<wxChoice>(ShowPage<CPageGeneral>(), 1010), OUTPUT_FORMAT_OGG);
    auto* pOgg = ShowPage<CPageOGG>();
    Click(Find<wxRadioButton>(pOgg, 1343));
    Choose(Find<wxChoice>(pOgg, 1027), 6);
    Press(wxID_OK);
    const std::string oggPath = Record("take.ogg");
    OggWalk walk = WalkOggFile(oggPath);
    ASSERT_TRUE(walk.ok) << walk.error;
    ASSERT_GE(walk.packets.size(), 2u);
    ASSERT_GE(walk.packets[0].size(), 28u);
    const uint8_t* pId = walk.packets[0].data();
    EXPECT_EQ(std::make_tuple(192000u, 192000u, 192000u), std::make_tuple(LE32(pId + 16), LE32(pId + 20), LE32(pId + 24)))
        << "maximum, nominal, minimum";
    DecodedAudio ogg = DecodeFile(oggPath);
    ASSERT_TRUE(ogg.ok) << ogg.error;
    EXPECT_EQ("Harbour Band", ogg.tags["ARTIST"]);
    EXPECT_EQ(std::to_string(CurrentLocalYear() - 9), ogg.tags["DATE"]);
    EXPECT_TRUE(m_messages.shown.empty()) << m_messages.shown.front();

    // A restart: the configuration file brings back the folder and the tag texts, and the pages show them.
    CTempFolder appDir(TestFolderName() + "_app");
    const std::string oldAppDir = GetAppDir();
    SetAppDir(appDir.Path());
    ASSERT_TRUE(SaveConfig("Config.xml"));
    theSettings = RecorderSettings();
    ASSERT_EQ(1, LoadConfig("Config.xml"));
    SetAppDir(oldAppDir);
    EXPECT_EQ(std::make_tuple(m_folder.Path(), std::string("Harbour Band"), std::string("Night Shift"),
                              std::string("First Light")),
              std::make_tuple(theSettings.SavedDirectry, theSettings.Artist, theSettings.AlbumTitle, theSettings.Title));
    Open();
    EXPECT_EQ(m_folder.Path(), Find<wxTextCtrl>(ShowPage<CPageGeneral>(), 1018)->GetValue().utf8_string());
    pTrack = ShowPage<CPageTrack>();
    EXPECT_EQ("Night Shift", Find<wxTextCtrl>(pTrack, 1029)->GetValue());
    EXPECT_EQ(9, Find<wxChoice>(pTrack, 1031)->GetSelection()) << "the year is not kept";
}
