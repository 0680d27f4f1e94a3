// The settings sheet in real windows on a private display: tree, pages, layout and what each page stores.
#include "AppPaths.h"
#include "Config.h"
#include "EncoderFixtures.h"
#include "PageGeneral.h"
#include "PageMP3.h"
#include "PageOGG.h"
#include "PageTrack.h"
#include "PageWMA.h"
#include "RecorderSettings.h"
#include "RecordingStart.h"
#include "SettingsSheet.h"
#include "TestSupport.h"
#include "TreePropSheet.h"
#include "UiTestSupport.h"
#include "WaveIn.h"

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/stattext.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

namespace
{
using winmm::virt::DeviceSpec;

std::vector<std::string> StopMessage(const std::string& text) { return {text + "|" + APP_CAPTION + "|" + std::to_string(MB_ICONHAND)}; }

auto AllFields(const RecorderSettings& s)
{
    return std::make_tuple(s.DeviceIndex, s.LineIndex, s.DeviceName, s.LineName, s.OutputFormat, s.SavedDirectry, s.IsOpenOutput,
                           s.IsViewWaveform, s.AlbumTitle, s.Artist, s.Title, s.YearIndex, s.Mp3BitrateIndex,
                           s.Mp3Volume, s.OggMode, s.OggQuality, s.OggMinBitrateIndex, s.OggNominalBitrateIndex,
                           s.OggMaxBitrateIndex, s.WavChannelsIndex, s.WavSampleRateIndex, s.WavBitsIndex, s.WmaMode,
                           s.WmaBitrateIndex, s.WmaQualityIndex);
}

DeviceSpec Device(const std::string& name, std::vector<std::string> lineNames)
{
    DeviceSpec spec;
    spec.name = name;
    double dFrequency = 300;
    for (const std::string& lineName : lineNames)
    {
        winmm::virt::LineSpec line;
        line.name = lineName;
        line.frequencies = {dFrequency += 200};
        spec.lines.push_back(line);
    }
    return spec;
}

std::vector<wxString> Items(const wxChoice* pList)
{
    const wxArrayString items = pList->GetStrings();
    return {items.begin(), items.end()};
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
            // Active and shown may come before the window manager's first size: the page must have its own.
            return m_pSheet->IsActive() && m_pSheet->GetActivePage() && m_pSheet->GetActivePage()->IsShownOnScreen() &&
                   m_pSheet->GetActivePage()->GetClientSize().y > 50;
        }));
    }
    void Close()
    {
        if (m_pSheet)
            DestroyAndWait(m_pSheet);
        m_pSheet = nullptr;
    }
    template <class TPage>
    TPage* OpenAt()
    {
        Open();
        return ShowPage<TPage>();
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
    wxChoice* List(wxWindow* pPage, int nId) { return Find<wxChoice>(pPage, nId); }
    wxString Label(wxWindow* pPage, int nId) { return Find<wxStaticText>(pPage, nId)->GetLabel(); }

    static void Click(wxRadioButton* pButton)
    {
        pButton->SetValue(true);
        SendUserEvent(pButton, wxEVT_RADIOBUTTON, 1);
    }
    static void Slide(wxSlider* pSlider, int nPosition)
    {
        pSlider->SetValue(nPosition);
        SendUserEvent(pSlider, wxEVT_SLIDER, nPosition);
    }
    static void Press(wxWindow* pButton) { SendUserEvent(pButton, wxEVT_BUTTON, 0); }
    void Press(int nId) { Press(m_pSheet->FindWindow(nId)); }
    bool IsOpen() const { return m_pSheet->IsShown(); }

    CManualClockScope m_clock;
    std::unique_ptr<CManualClockScope> m_pDevices;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTreePropSheet* m_pSheet = nullptr;
};

TEST_F(SettingsSheetTest, TheGeneralPageListsTheSavedDevicesLinesFallsBackToAMixLineAndOkStoresOnlyWhatIsShown)
{
    DeviceSpec noMix = winmm::virt::DefaultDevice(), stopped = winmm::virt::DefaultDevice();
    noMix.lines.erase(noMix.lines.begin() + 2, noMix.lines.begin() + 4);  // "Stereo Mix", "Stereo Mix + Microphone"
    stopped.name = "Stopped Server";
    stopped.mixerOpens = false;
    const DeviceSpec other = Device("Other", {"A"}), usb = Device("USB Headset", {"Capture", "Aux", "Monitor Mix"});
    const std::vector<wxString> defaultLines{"Microphone", "Line In", "Stereo Mix", "Stereo Mix + Microphone"}, usbLines{"Capture", "Aux", "Monitor Mix"};
    const std::string noMixer = "Can't open Mixer Device.";
    // Devices, saved device and line, the device then chosen (-1: none), the message, the lines and
    // the line shown, what OK stores; the synthesizer is never listed.
    const std::tuple<std::vector<DeviceSpec>, int, int, int, std::string, std::vector<wxString>, int, int, int> cases[] = {
        {{other, winmm::virt::DefaultDevice()}, 1, -1, -1, "", defaultLines, 2, 1, 2},
        {{other, noMix}, 1, -1, -1, "", {"Microphone", "Line In"}, 0, 1, 0},
        {{other, Device("Two Mixes", {"Mic", "Mixdown", "Stereo Mix"})}, 1, -1, -1, "", {"Mic", "Mixdown", "Stereo Mix"}, 1, 1, 1},
        {{winmm::virt::DefaultDevice(), usb}, 0, 0, -1, "", defaultLines, 0, 0, 0},
        {{winmm::virt::DefaultDevice(), usb}, 0, 0, 1, "", usbLines, 2, 1, 2},
        {{winmm::virt::DefaultDevice(), usb}, 1, 7, -1, "", usbLines, 2, 1, 2},
        // The same device keeps its saved line; chosen from another, no line of the old one is carried over.
        {{stopped, winmm::virt::DefaultDevice()}, 0, 1, -1, noMixer, {}, wxNOT_FOUND, 0, 1},
        {{stopped, winmm::virt::DefaultDevice()}, 1, 1, 0, noMixer, {}, wxNOT_FOUND, 0, -1},
        // A device beyond the list: the page stays empty and OK changes nothing.
        {{winmm::virt::DefaultDevice()}, 1, 2, -1, "Cant find lines.", {}, wxNOT_FOUND, 1, 2},
    };
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    theSettings.SavedDirectry = "/music/takes";
    theSettings.IsOpenOutput = 1;
    // Values no page would show unchanged, so a page that stored unasked would be seen.
    std::tie(theSettings.Mp3Volume, theSettings.OggQuality, theSettings.YearIndex, theSettings.WmaQualityIndex) =
        std::make_tuple(37, 555, 4, 6);
    for (const auto& [devices, nDevice, nLine, nChosen, message, lines, nShown, nStoredDevice, nStoredLine] : cases)
    {
        SCOPED_TRACE(devices.back().name + ", saved " + std::to_string(nDevice) + "/" + std::to_string(nLine));
        UseDevices(devices);
        // Positions alone decide without a device name; the line name is what the page did not list.
        std::tie(theSettings.DeviceIndex, theSettings.LineIndex, theSettings.DeviceName, theSettings.LineName) =
            std::make_tuple(nDevice, nLine, "", "Unlisted");
        RecorderSettings expected = theSettings;
        std::tie(expected.DeviceIndex, expected.LineIndex) = std::make_tuple(nStoredDevice, nStoredLine);
        if (nDevice < int(devices.size()))  // and by name; a line the page could not list keeps its name
            std::tie(expected.DeviceName, expected.LineName) = std::make_tuple(
                devices[nStoredDevice].name, nShown != wxNOT_FOUND ? lines[nShown].utf8_string()
                                             : nChosen >= 0 && nChosen != nDevice ? "" : theSettings.LineName);
        m_messages.Clear();
        Open();
        wxWindow* pPage = m_pSheet->GetActivePage();
        if (nChosen >= 0)
            Choose(List(pPage, 1012), nChosen);
        EXPECT_EQ(message.empty() ? std::vector<std::string>() : StopMessage(message), m_messages.Shown());
        EXPECT_EQ(lines, Items(List(pPage, 1011)));
        EXPECT_EQ(nShown, List(pPage, 1011)->GetSelection());
        const bool bFilled = nDevice < int(devices.size());
        std::vector<wxString> names;
        for (const DeviceSpec& device : devices)
            names.push_back(device.name);
        EXPECT_EQ(names, Items(List(pPage, 1012)));
        EXPECT_EQ(std::make_tuple(bFilled ? nStoredDevice : wxNOT_FOUND, bFilled ? OUTPUT_FORMAT_WAV : wxNOT_FOUND,
                                  wxString(bFilled ? "/music/takes" : "")),
                  std::make_tuple(List(pPage, 1012)->GetSelection(), List(pPage, 1010)->GetSelection(),
                                  Find<wxTextCtrl>(pPage, 1018)->GetValue()));
        Press(wxID_OK);
        EXPECT_FALSE(IsOpen());
        EXPECT_EQ(AllFields(expected), AllFields(theSettings));
    }

    // Each control is stored from itself, all set to values unlike each other's (Cancel: the OGG test); then a restart
    // in between: what OK stored goes through Config.xml, and a device list in another order finds the same device and
    // line, on the page and for the next recording, which is in the format chosen.
    CTempFolder folder("GeneralPageRestart");
    const std::string strAppDir = GetAppDir();
    SetAppDir(folder.Path());
    std::ofstream(folder.File(PORTABLE_MARKER)).put('\n');
    UseDevices({winmm::virt::DefaultDevice(), other, usb});
    std::tie(theSettings.DeviceIndex, theSettings.LineIndex, theSettings.IsOpenOutput) = std::make_tuple(0, 0, 0);
    RecorderSettings expected = theSettings;
    Open();
    wxWindow* pPage = m_pSheet->GetActivePage();
    Choose(List(pPage, 1012), 2);
    Choose(List(pPage, 1011), 1);
    Choose(List(pPage, 1010), OUTPUT_FORMAT_WMA);
    Find<wxTextCtrl>(pPage, 1018)->ChangeValue("/music/other");
    Find<wxCheckBox>(pPage, 1022)->SetValue(true);
    Find<wxCheckBox>(pPage, 1023)->SetValue(false);
    Press(wxID_OK);
    std::tie(expected.DeviceIndex, expected.LineIndex, expected.DeviceName, expected.LineName, expected.OutputFormat,
             expected.SavedDirectry, expected.IsOpenOutput, expected.IsViewWaveform) =
        std::make_tuple(2, 1, "USB Headset", "Aux", OUTPUT_FORMAT_WMA, "/music/other", 1, 0);
    EXPECT_EQ(AllFields(expected), AllFields(theSettings));
    EXPECT_TRUE(SaveConfig("Config.xml"));
    theSettings = RecorderSettings();
    EXPECT_EQ(1, LoadConfig("Config.xml"));
    SetAppDir(strAppDir);
    UseDevices({usb, winmm::virt::DefaultDevice()});
    Open();
    pPage = m_pSheet->GetActivePage();
    EXPECT_EQ(std::make_tuple(0, usbLines, 1, int(OUTPUT_FORMAT_WMA)),
              std::make_tuple(List(pPage, 1012)->GetSelection(), Items(List(pPage, 1011)),
                              List(pPage, 1011)->GetSelection(), List(pPage, 1010)->GetSelection()));
    Close();
    std::string device, line;
    EXPECT_TRUE(SelectCurrentDevice(CurrentLineChoice(), device, line));
    EXPECT_EQ(std::make_tuple(std::string("USB Headset"), std::string("Aux"), int(OUTPUT_FORMAT_WMA)),
              std::make_tuple(device, line, theSettings.OutputFormat));
}

TEST_F(SettingsSheetTest, CancellingTheFolderBrowserKeepsTheFolder)
{
    theSettings.SavedDirectry = "/music/takes";
    wxTextCtrl* pFolder = Find<wxTextCtrl>(OpenAt<CPageGeneral>(), 1018);
    EXPECT_FALSE(pFolder->IsEditable());
    bool bSeen = false;
    wxTheApp->CallAfter([&] {
        // The real GTK folder chooser, found by its title on the screen.
        bSeen = WaitUntil([] {
            std::string active;
            RunCommand("xdotool getactivewindow getwindowname 2>/dev/null", &active);
            return active == "Please select an output folder\n";
        });
        if (bSeen)
            Xdo("key Escape");
    });
    Press(Find<wxWindow>(m_pSheet->GetActivePage(), 1020));
    EXPECT_TRUE(bSeen) << "a folder chooser titled \"Please select an output folder\"";
    EXPECT_EQ("/music/takes", pFolder->GetValue());
}

TEST_F(SettingsSheetTest, TheOggLabelsFollowTheSliderModeButtonsStoreAtOnceAndAMinimumAboveTheMaximumHoldsTheSheetInRed)
{
    theSettings.OggMinBitrateIndex = 1;
    theSettings.OggMaxBitrateIndex = 9;
    auto* pPage = OpenAt<CPageOGG>();
    auto* pSlider = Find<wxSlider>(pPage, 1344);
    // Which of the quality slider and the minimum, nominal and maximum lists take input.
    auto enabled = [&] {
        return std::make_tuple(Find<wxSlider>(pPage, 1344)->IsEnabled(), List(pPage, 1026)->IsEnabled(),
                               List(pPage, 1027)->IsEnabled(), List(pPage, 1028)->IsEnabled());
    };
    auto stored = [] {
        return std::make_tuple(theSettings.OggMode, theSettings.OggMinBitrateIndex, theSettings.OggNominalBitrateIndex,
                               theSettings.OggMaxBitrateIndex);
    };
    EXPECT_TRUE(Find<wxRadioButton>(pPage, 1340)->GetValue());
    EXPECT_EQ(std::make_tuple(1000, 400), std::make_tuple(pSlider->GetMax(), pSlider->GetValue()));
    EXPECT_EQ(std::make_tuple(true, false, false, false), enabled());
    for (const auto& [nPosition, pszQuality, pszBitrate] : {std::make_tuple(400, "Quality: 4.00", "Bitrate: 128.0 kbps"),
                                                            std::make_tuple(405, "Quality: 4.05", "Bitrate: 128.8 kbps"),
                                                            std::make_tuple(1000, "Quality: 10.00", "Bitrate: 500.0 kbps")})
    {
        Slide(pSlider, nPosition);
        EXPECT_EQ(std::make_tuple(wxString(pszQuality), wxString(pszBitrate)),
                  std::make_tuple(Label(pPage, 1345), Label(pPage, 1346)));
    }

    // Constant bitrate: one list, the three indexes stored equal.
    Click(Find<wxRadioButton>(pPage, 1343));
    EXPECT_EQ(3, theSettings.OggMode);
    EXPECT_EQ(std::make_tuple(false, false, true, false), enabled());
    Choose(List(pPage, 1027), 6);  // 192 Kbps
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(3, 6, 6, 6), stored());

    // Variable bitrate loads the stored pair; Cancel keeps only the mode.
    theSettings.OggMinBitrateIndex = 1;
    theSettings.OggMaxBitrateIndex = 9;
    pPage = OpenAt<CPageOGG>();
    Click(Find<wxRadioButton>(pPage, 1341));
    EXPECT_EQ(1, theSettings.OggMode);
    EXPECT_EQ(std::make_tuple(1, 9), std::make_tuple(List(pPage, 1026)->GetSelection(), List(pPage, 1028)->GetSelection()));
    Choose(List(pPage, 1028), 10);
    Press(wxID_CANCEL);
    EXPECT_EQ(std::make_tuple(1, 1, 6, 9), stored());

    pPage = OpenAt<CPageOGG>();
    auto* pWarning = Find<wxStaticText>(pPage, 1352);
    auto redPixels = [&] {
        return CountPixels(ScreenRect(pWarning), [](const wxColour& c) { return c.Red() > 120 && c.Green() < 90 && c.Blue() < 90; });
    };
    Choose(List(pPage, 1026), 9);  // 320 Kbps
    Choose(List(pPage, 1028), 2);  // 96 Kbps
    EXPECT_EQ(CPageOGG::RANGE_WARNING, pWarning->GetLabel());
    EXPECT_TRUE(WaitUntil([&] { return redPixels() > 30; })) << "the warning is drawn in red";
    Press(wxID_OK);
    EXPECT_TRUE(IsOpen());
    EXPECT_FALSE(m_pSheet->SetActivePage(size_t(5))) << "the page cannot be left either";
    EXPECT_EQ("OGG", m_pSheet->GetSelectedNodeText());
    EXPECT_EQ(std::make_tuple(1, 1, 6, 9), stored());

    Choose(List(pPage, 1028), 10);
    EXPECT_EQ("", pWarning->GetLabel());
    EXPECT_TRUE(WaitUntil([&] { return redPixels() == 0; }));
    Press(wxID_OK);
    EXPECT_FALSE(IsOpen());
    EXPECT_EQ(std::make_tuple(1, 9, 6, 10), stored());

    // A wrong pair left behind in the disabled lists of another mode is not stored.
    pPage = OpenAt<CPageOGG>();
    Choose(List(pPage, 1026), 10);
    Choose(List(pPage, 1028), 0);
    Click(Find<wxRadioButton>(pPage, 1340));
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(0, 9, 6, 10), stored());
}

TEST_F(SettingsSheetTest, TheMp3PageStoresItsVolumeSliderAtItsEndAndItsBitrateAndTheWmaPageOpensInQualityMode)
{
    theSettings.Mp3Volume = 40;
    theSettings.WmaMode = 1;
    auto* pPage = OpenAt<CPageMP3>();
    auto* pSlider = Find<wxSlider>(pPage, 1017);
    EXPECT_EQ(std::make_tuple(wxString("40%"), wxString("192 Kbps")),
              std::make_tuple(Label(pPage, 1018), List(pPage, 1016)->GetStringSelection()));
    pSlider->SetFocus();
    ASSERT_TRUE(WaitUntil([&] { return pSlider->HasFocus(); }));
    Xdo("key End");
    EXPECT_TRUE(WaitUntil([&] { return Label(pPage, 1018) == "100%"; }, 5000)) << Label(pPage, 1018);
    Choose(List(pPage, 1016), 2);  // 128 Kbps

    auto* pWma = ShowPage<CPageWMA>();
    EXPECT_EQ(std::make_tuple(true, false), std::make_tuple(Find<wxRadioButton>(pWma, 1025)->GetValue(),
                                                            Find<wxRadioButton>(pWma, 1024)->GetValue()));
    EXPECT_EQ(std::make_tuple(true, wxString("50%"), false, wxString("64 Kbps")),
              std::make_tuple(List(pWma, 1023)->IsEnabled(), List(pWma, 1023)->GetStringSelection(),
                              List(pWma, 1022)->IsEnabled(), List(pWma, 1022)->GetStringSelection()));
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(100, 2, 1), std::make_tuple(theSettings.Mp3Volume, theSettings.Mp3BitrateIndex, theSettings.WmaMode));
}

TEST_F(SettingsSheetTest, TrackInfoShowsTheTagsAndTenYearsTypingStopsAtThirtyCharactersAndReturnStoresIt)
{
    auto* pPage = OpenAt<CPageTrack>();
    auto* pArtist = Find<wxTextCtrl>(pPage, 1028);
    auto* pAlbum = Find<wxTextCtrl>(pPage, 1029);
    auto* pTitle = Find<wxTextCtrl>(pPage, 1030);
    auto* pYear = List(pPage, 1031);
    EXPECT_EQ(std::make_tuple(wxString("vorane"), wxString(DEFAULT_TAG_TEXT), wxString(DEFAULT_TAG_TEXT)),
              std::make_tuple(pArtist->GetValue(), pAlbum->GetValue(), pTitle->GetValue()));
    std::vector<wxString> years;
    for (int nYear = CurrentYear() - 9; nYear <= CurrentYear(); ++nYear)
        years.push_back(wxString::Format("%d", nYear));
    EXPECT_EQ(years, Items(pYear));
    EXPECT_EQ(9, pYear->GetSelection());

    // Each field its own text, so a field stored from another one shows.
    const std::string typed[3] = {"abcdefghijklmnopqrstuvwxyz0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ9876543210",
                                  "0123456789zyxwvutsrqponmlkjihgfedcba"};  // 36 characters each
    wxTextCtrl* edits[3] = {pArtist, pAlbum, pTitle};
    for (int i = 0; i < 3; ++i)
    {
        wxTextCtrl* pEdit = edits[i];
        pEdit->SetFocus();
        ASSERT_TRUE(WaitUntil([&] { return pEdit->HasFocus(); }));
        Xdo("key ctrl+a BackSpace");
        Xdo("type --delay 5 " + typed[i]);
        // Keys arrive in order: once the final Ctrl+A has selected the text, every typed key was handled.
        Xdo("key ctrl+a");
        EXPECT_TRUE(WaitUntil([&] { return pEdit->GetStringSelection().length() >= 30; }, 5000));
        EXPECT_EQ(typed[i].substr(0, 30), pEdit->GetValue().utf8_string()) << pEdit->GetId();
    }
    // The year's list takes keys (it holds the focus in a button of its own), and Return in a field is OK.
    pYear->SetFocus();
    ASSERT_TRUE(PressKeysAndWait("Up Up Up Up Up shift+Tab Return"));
    EXPECT_TRUE(WaitUntil([&] { return !IsOpen(); })) << "Return did not close the sheet";
    EXPECT_EQ(std::make_tuple(typed[0].substr(0, 30), typed[1].substr(0, 30), typed[2].substr(0, 30), 4),
              std::make_tuple(theSettings.Artist, theSettings.AlbumTitle, theSettings.Title, theSettings.YearIndex));

    // Cleared texts are stored empty, the first year as index 0.
    pPage = OpenAt<CPageTrack>();
    for (int nId : {1028, 1029, 1030})
        Find<wxTextCtrl>(pPage, nId)->SetValue("");
    Choose(List(pPage, 1031), 0);
    Press(wxID_OK);
    EXPECT_EQ(std::make_tuple(std::string(), std::string(), std::string(), 0),
              std::make_tuple(theSettings.Artist, theSettings.AlbumTitle, theSettings.Title, theSettings.YearIndex));

    // A longer text from the configuration file is shown whole and stored as at most 255 bytes.
    theSettings.Title = std::string(300, 'x');
    EXPECT_EQ(300u, Find<wxTextCtrl>(OpenAt<CPageTrack>(), 1030)->GetValue().length());
    Press(wxID_OK);
    EXPECT_EQ(std::string(255, 'x'), theSettings.Title);
}

// On every page Tab goes from the tree through each control the keyboard can use to OK and Cancel in reading
// order and Shift+Tab the same way back; every control with a text of its own, and every label of a field, has
// a mnemonic no other control of the page or button of the sheet has; and a label's mnemonic focuses the field
// it stands by.
TEST_F(SettingsSheetTest, EveryPageIsTabbedInReadingOrderAndEveryLabelHasAMnemonicOfItsOwnThatFocusesItsField)
{
    Open();
    for (size_t i = 0; i < m_pSheet->GetPageCount(); ++i)
    {
        CResizablePage* pPage = m_pSheet->GetPage(i);
        SCOPED_TRACE(pPage->GetPageTitle().utf8_string());
        ASSERT_TRUE(m_pSheet->SetActivePage(i));
        ASSERT_TRUE(WaitUntil([&] { return pPage->IsShownOnScreen(); }));
        std::vector<wxWindow*> windows = AllChildren(pPage);
        windows.push_back(m_pSheet->FindWindow(wxID_OK));
        windows.push_back(m_pSheet->FindWindow(wxID_CANCEL));
        const std::vector<std::string> faults = KeyboardFaults(m_pSheet, m_pSheet->GetPageTreeControl(), windows, false);
        EXPECT_TRUE(faults.empty()) << testing::PrintToString(faults);
    }
    EXPECT_TRUE(IsOpen());
}

class SettingsSheetLayout : public SettingsSheetTest {};

TEST_F(SettingsSheetLayout, TheTreeListsThePagesUnderTheirTitlesOpensOnGeneralAndEveryPageShowsItsControlsWholeAndApart)
{
    const int nPoints = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetPointSize();
    if (const char* pszPoints = getenv("SETTINGS_TEST_FONT_POINTS"))
    {
        ASSERT_EQ(std::atoi(pszPoints), nPoints) << "the desktop font of this run";
    }
    UseDevices({Device("PulseAudio Sound Server", {"Stereo Mix (Built-in Audio Analog Stereo)", "Microphone"})});
    theSettings.SavedDirectry = "/home/user/Music/Vorane Recordings";
    Open();
    EXPECT_EQ(std::make_tuple(wxString("Settings"), true, true, false, false),
              std::make_tuple(m_pSheet->GetTitle(), !!m_pSheet->FindWindow(wxID_OK), !!m_pSheet->FindWindow(wxID_CANCEL),
                              !!m_pSheet->FindWindow(wxID_APPLY), !!m_pSheet->FindWindow(wxID_HELP)));
    EXPECT_EQ("General", m_pSheet->GetSelectedNodeText());
    EXPECT_NE(nullptr, dynamic_cast<CPageGeneral*>(m_pSheet->GetActivePage()));
    wxDataViewTreeCtrl* pTree = m_pSheet->GetPageTreeControl();
    std::vector<wxString> outline;
    int nRowTop = -1;
    for (const auto& [text, item] : TreeOutline(pTree))
    {
        outline.push_back(text);
        // Shown in this order, each row below the one before; the cell starts after the indent and expander,
        // and the whole name fits in the tree beyond it.
        const wxRect rc = pTree->GetItemRect(item, pTree->GetColumn(0));
        EXPECT_TRUE(!rc.IsEmpty() && rc.y > nRowTop &&
                    rc.x + pTree->GetTextExtent(text.Strip(wxString::leading)).x < pTree->GetClientSize().x)
            << text << " at " << rc.x << ", " << rc.y << " in " << pTree->GetClientSize().x;
        nRowTop = rc.y;
    }
    EXPECT_EQ((std::vector<wxString>{"General", "Track info", "Output formats", "  MP3", "  OGG", "  WAV", "  WMA"}), outline);
    for (size_t i = 0; i < m_pSheet->GetPageCount(); ++i)
    {
        CResizablePage* pPage = m_pSheet->GetPage(i);
        SCOPED_TRACE(pPage->GetPageTitle().utf8_string());
        ASSERT_TRUE(m_pSheet->SetActivePage(i));
        ASSERT_TRUE(WaitUntil([&] { return pPage->IsShownOnScreen(); }));
        // Judged once the sheet has settled: GTK tells some fields' heights only once they are drawn.
        wxRect page, frame;
        std::vector<std::string> faults;
        WaitUntil([&] {
            page = wxRect(pPage->GetScreenPosition(), pPage->GetClientSize());
            frame = wxRect(m_pSheet->GetPageFrame()->GetScreenPosition(), m_pSheet->GetPageFrame()->GetClientSize());
            faults = LayoutFaults(pPage, page, true);
            return faults.empty() && frame.Contains(page);
        });
        EXPECT_TRUE(frame.Contains(page));
        EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
    }
    EXPECT_TRUE(m_messages.Shown().empty());
}

// What a screen reader reads of the sheet, over the accessibility bus of this run's own session bus (CMakeLists).
class SettingsSheetScreenReader : public SettingsSheetTest {};

TEST_F(SettingsSheetScreenReader, ReadsThePageNamesAsCellsOfATreeAndTheCellOfTheShownPageAsSelected)
{
    Open();
    ASSERT_TRUE(WaitUntil([&] { return m_pSheet->GetPageTreeControl()->HasFocus(); }));
    ASSERT_TRUE(PressKeysAndWait("Down"));
    ASSERT_NE(nullptr, dynamic_cast<CPageTrack*>(m_pSheet->GetActivePage()));
    const std::string tree = ReadAccessibleTree("table cell | WMA |", 60);
    std::vector<std::string> names;            // in the order read
    std::map<std::string, std::string> states;  // of each name
    bool bTreeTable = false;
    std::istringstream lines(tree);
    for (std::string line; std::getline(lines, line);)
    {
        bTreeTable = bTreeTable || line.find(" tree table | ") != std::string::npos;
        // A row's cell holds a cell for its icon and one for its text: the one with the text counts.
        const size_t at = line.find(" table cell | ");
        const size_t name = at + 14, end = line.find(" | ", name);
        if (at == std::string::npos || end == name)
            continue;
        names.push_back(line.substr(name, end - name));
        states[names.back()] = " " + line.substr(line.rfind(" | ") + 3) + " ";
    }
    EXPECT_TRUE(bTreeTable) << tree;
    EXPECT_EQ((std::vector<std::string>{"General", "Track info", "Output formats", "MP3", "OGG", "WAV", "WMA"}), names) << tree;
    EXPECT_NE(std::string::npos, states["Track info"].find(" selected ")) << tree;
    EXPECT_EQ(std::string::npos, states["General"].find(" selected ")) << tree;
    // A button that shows only a picture is read by what it does.
    EXPECT_NE(std::string::npos, tree.find(" push button | Choose the output folder |")) << tree;
}
