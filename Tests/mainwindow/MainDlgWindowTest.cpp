// The main window under Xvfb on the virtual device and its manual clock: Record to a finished row, failed
// starts, naming, commands, keys, right-clicks. The files' audio itself: Tests/encoders/EngineRecordingTest.
#include "AppPaths.h"
#include "Config.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "EncoderFixtures.h"
#include "MainDlg.h"
#include "RecorderSettings.h"
#include "ReceiverWMA.h"
#include "TestSupport.h"
#include "TreePropSheet.h"
#include "WaveIn.h"
#include "WindowTestSupport.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace
{
void Touch(const std::string& path) { close(open(path.c_str(), O_CREAT | O_WRONLY, 0644)); }

// A recording's file and its row.
AudioItem* ListedFile(const std::string& path)
{
    Touch(path);
    return RecordedRow(path);
}

// Runs the call on the next modal dialog of the type, from inside its own loop.
template <class TDialog>
void InNextModal(const std::function<void(TDialog*)>& call)
{
    wxTheApp->CallAfter([call] {
        for (wxWindow* pWindow : wxTopLevelWindows)
            if (auto* pDialog = dynamic_cast<TDialog*>(pWindow); pDialog && pDialog->IsModal())
                call(pDialog);
    });
}
}  // namespace

class MainWindowController : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseBuiltLameModule();
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        theSettings.SavedDirectry = m_folder.Path();
        theSettings.IsOpenOutput = 0;
        m_pDlg = new CMainDlg;
        ASSERT_TRUE(m_pDlg->Create());
        ASSERT_TRUE(WaitForStillWindow(m_pDlg));
    }
    void TearDown() override
    {
        if (m_pDlg)
            m_pDlg->Close(true);
        WaitUntil([] { return wxTopLevelWindows.empty(); }, 2000);
        FreeDevices();
    }

    // Record, Stop and Settings as a user sees them.
    std::string Buttons()
    {
        std::string text;
        for (auto [c, nId] : {std::pair{'R', IDC_BUTTON_RECORD}, {'S', IDC_BUTTON_STOP}, {'E', IDC_BUTTON_SETTINGS}})
            text += std::string(1, c) + (m_pDlg->FindWindow(nId)->IsEnabled() ? "+" : "-");
        return text;
    }
    void Click(void (CMainDlg::*handler)(wxCommandEvent&))
    {
        wxCommandEvent event(wxEVT_BUTTON);
        (m_pDlg->*handler)(event);
    }
    void Command(int nId, wxEventType type = wxEVT_MENU)
    {
        wxCommandEvent event(type, nId);
        m_pDlg->ProcessWindowEvent(event);
    }
    // No message but the one, the buttons idle, no row, no file.
    void ExpectNothingLeft(const std::string& message)
    {
        EXPECT_TRUE(WaitUntil([this] { return m_pDlg->AudioList()->GetItemCount() == 0; }));
        ASSERT_EQ(1u, m_messages.Texts().size());
        EXPECT_NE(std::string::npos, m_messages.Texts()[0].find(message)) << m_messages.Texts()[0];
        EXPECT_EQ("R+S-E+", Buttons());
        EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path()));
        m_messages.Clear();
    }
    // Records for the seconds on the manual clock, stops, and waits until the row is complete.
    AudioItem RecordFor(double dSeconds)
    {
        Click(&CMainDlg::OnRecord);
        AudioItem* pItem = m_pDlg->AudioList()->FindRecordingAudio();
        if (!pItem)
            return AudioItem();
        m_rowTexts.push_back(m_pDlg->AudioList()->GetItemText(pItem->nIndex, 1).ToStdString());
        winmm::virt::AdvanceClock(dSeconds);
        Click(&CMainDlg::OnStop);
        m_rowTexts.push_back(m_pDlg->AudioList()->GetItemText(pItem->nIndex, 1).ToStdString());
        WaitUntil([pItem] { return pItem->nSize > 0; });
        return *pItem;
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
    CMainDlg* m_pDlg = nullptr;
    std::vector<std::string> m_rowTexts;
};

TEST_F(MainWindowController, EveryFormatEndsInAFinishedRowWithTheFieldsOfItsFormat)
{
    const struct
    {
        int nFormat, nMp3BitrateIndex;
        const char *pszFile, *pszCodec;
        uint32_t nBitrate, nSampleRate, nChannels, nBits;  // the row's fields
    } cases[] = {
        {OUTPUT_FORMAT_MP3, 5, "Audio0.mp3", "mp3float", 192000, 44100, 2, 0},
        // 144 kbit/s is no MPEG-1 rate: the row shows the 160 the file really carries.
        {OUTPUT_FORMAT_MP3, 3, "Audio1.mp3", "mp3float", 160000, 44100, 2, 0},
        // The WAV settings (mono, 11.025 kHz, 8-bit) show with an OGG recording, captured at 44.1 kHz stereo.
        {OUTPUT_FORMAT_OGG, 5, "Audio0.ogg", "vorbis", uint32_t(OggQualityBitrate(400)) * 1000, 11025, 1, 8},
        {OUTPUT_FORMAT_WAV, 5, "Audio0.wav", "pcm_u8", 176400, 22050, 1, 8},
        {OUTPUT_FORMAT_WMA, 5, "Audio0.wma", "wmav2", 64000, 44100, 2, 16},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszFile);
        theSettings.OutputFormat = c.nFormat;
        theSettings.Mp3BitrateIndex = c.nMp3BitrateIndex;
        theSettings.WavChannelsIndex = theSettings.WavBitsIndex = 0;
        theSettings.WavSampleRateIndex = c.nFormat == OUTPUT_FORMAT_WAV ? 1 : 0;
        m_rowTexts.clear();
        const AudioItem item = RecordFor(2.0);
        EXPECT_EQ(std::make_tuple(m_folder.File(c.pszFile), std::string(c.pszFile), 2000u),
                  std::make_tuple(std::string(item.szPath), std::string(item.szName), item.nLength));
        EXPECT_EQ((std::vector<std::string>{"Recording...", "Record over"}), m_rowTexts);
        EXPECT_EQ(std::make_tuple(c.nBitrate, c.nSampleRate, c.nChannels, c.nBits),
                  std::make_tuple(item.nBitrate, item.nSampleRate, item.nChannels, item.nBitsPerSample));
        EXPECT_EQ(std::filesystem::file_size(item.szPath), item.nSize);
        EXPECT_EQ(RECORD_STATE_IDLE, m_pDlg->RecordState());
        EXPECT_EQ("R+S-E+", Buttons());

        DecodedAudio decoded = DecodeFile(item.szPath);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ(c.pszCodec, decoded.codec);
        if (c.nFormat == OUTPUT_FORMAT_MP3)  // the file carries the rate its row shows
        {
            EXPECT_EQ(c.nBitrate, decoded.bitRate);
        }
    }
    EXPECT_EQ(5, m_pDlg->AudioList()->GetItemCount());
    EXPECT_TRUE(m_messages.Texts().empty()) << m_messages.Texts().front();
}

TEST_F(MainWindowController, RecordingsFillTheLowestFreeNumberOfTheirFormatInTheOutputFolderAndWhenAllAreTakenRecordIsRefused)
{
    for (const char* pszName : {"Audio0.wav", "Audio2.wav", "Audio1.mp3"})
        Touch(m_folder.File(pszName));
    std::vector<std::string> names;
    for (int nFormat : {OUTPUT_FORMAT_WAV, OUTPUT_FORMAT_WAV, OUTPUT_FORMAT_MP3})
    {
        theSettings.OutputFormat = nFormat;
        names.push_back(RecordFor(0.5).szPath);
    }
    EXPECT_EQ((std::vector<std::string>{m_folder.File("Audio1.wav"), m_folder.File("Audio3.wav"),
                                        m_folder.File("Audio0.mp3")}), names);
    EXPECT_TRUE(m_messages.Texts().empty());

    theSettings.OutputFormat = OUTPUT_FORMAT_WMA;
    for (int n = 0; n < 100000; ++n)
        Touch(m_folder.File("Audio" + std::to_string(n) + ".wma"));
    Click(&CMainDlg::OnRecord);
    ASSERT_EQ(1u, m_messages.Texts().size());
    EXPECT_NE(std::string::npos, m_messages.Texts()[0].find("every name from Audio0 to Audio99999 is taken"));
    EXPECT_EQ(3, m_pDlg->AudioList()->GetItemCount());
    EXPECT_EQ("R+S-E+", Buttons());
    EXPECT_EQ(0u, std::filesystem::file_size(m_folder.File("Audio99999.wma")));

    // No folder set, as another product's or an empty configuration leaves it: the one next to the program.
    const std::string appDir = GetAppDir();
    Touch(m_folder.File(PORTABLE_MARKER));
    SetAppDir(m_folder.Path());
    theSettings.SavedDirectry.clear();
    const std::string path = RecordFor(0.5).szPath;
    SetAppDir(appDir);
    EXPECT_EQ(m_folder.File("output/Audio0.wma"), path);
}

// A take that captured nothing, or a start the device refuses, leaves no row and no file. Which lines
// and devices are refused: Tests/capture/MixerTest.
TEST_F(MainWindowController, AnEmptyTakeOrAFailedStartLeavesNoRowAndNoFile)
{
    for (int nFormat : {OUTPUT_FORMAT_MP3, OUTPUT_FORMAT_OGG, OUTPUT_FORMAT_WAV, OUTPUT_FORMAT_WMA})
    {
        SCOPED_TRACE(nFormat);
        theSettings.OutputFormat = nFormat;
        Click(&CMainDlg::OnRecord);
        ASSERT_EQ(1, m_pDlg->AudioList()->GetItemCount());
        Click(&CMainDlg::OnStop);
        ExpectNothingLeft("nothing was recorded");
    }
    {
        CManualClockScope noDevice(std::vector<winmm::virt::DeviceSpec>{});
        FreeDevices();
        Click(&CMainDlg::OnRecord);
        ExpectNothingLeft("Device error.");
    }
    FreeDevices();
}

// The seconds written decide what is kept, not the device's clock, which reads 0 when it cannot tell.
TEST_F(MainWindowController, ADeviceThatCannotTellItsPositionKeepsTheSecondsWritten)
{
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    winmm::virt::Devices()[0]->FailCall(winmm::WaveCall::GetPosition, MMSYSERR_ERROR);
    RecordFor(2.0);
    EXPECT_EQ(1, m_pDlg->AudioList()->GetItemCount());
    EXPECT_TRUE(m_messages.Texts().empty());
    EXPECT_DOUBLE_EQ(2.0, DecodeFile(m_folder.File("Audio0.wav")).duration);
}

TEST_F(MainWindowController, StopAfterTheRowWasRemovedStillEndsTheRecordingAndALateReportSpeaksOfItsOwnFile)
{
    int nStops = 0;
    m_pDlg->Bind(EVT_TYPE_WINDOW_MESSAGE, [&](CWindowMessageEvent& event) {
        ++nStops;
        event.Skip();
    }, WM_WAVEFORM_STOPPED);
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    Click(&CMainDlg::OnRecord);
    EXPECT_EQ("R+S+E-", Buttons()) << "Record pauses while recording";
    winmm::virt::AdvanceClock(1.0);
    m_pDlg->AudioList()->DeleteAudio(0);
    Click(&CMainDlg::OnStop);
    EXPECT_EQ("R+S-E+", Buttons());
    // At once a second recording of the format: the first one's stop is reported while the
    // second runs, and must leave the second's reserved file alone.
    Click(&CMainDlg::OnRecord);
    ASSERT_TRUE(WaitUntil([&] { return nStops == 1; }));
    EXPECT_TRUE(std::filesystem::exists(m_folder.File(".Audio1.wav.part")));
    EXPECT_EQ("R+S+E-", Buttons()) << "the second recording runs on";
    EXPECT_EQ(1, m_pDlg->AudioList()->GetItemCount());
    winmm::virt::AdvanceClock(1.0);
    Click(&CMainDlg::OnStop);
    AudioItem* pItem = m_pDlg->AudioList()->GetAudio(0);
    ASSERT_TRUE(WaitUntil([&] { return nStops == 2; }));
    EXPECT_STREQ("Audio1.wav", pItem->szName);
    EXPECT_EQ(std::make_pair(1000u, uint32_t(AUDIO_STATE_RECORDED)), std::make_pair(pItem->nLength, uint32_t(pItem->nState)));
    for (const char* pszName : {"Audio0.wav", "Audio1.wav"})
        EXPECT_DOUBLE_EQ(1.0, DecodeFile(m_folder.File(pszName)).duration) << pszName;
    EXPECT_TRUE(m_messages.Texts().empty());
}

// A recording that ends by itself (here: its folder goes) is told as the command-line recorder tells
// it, and the window is ready for the next one.
TEST_F(MainWindowController, AnOutputFolderRemovedDuringARecordingIsToldAndItsRowGoes)
{
    const std::string folder = m_folder.File("takes");
    theSettings.SavedDirectry = folder;
    theSettings.OutputFormat = OUTPUT_FORMAT_MP3;
    Click(&CMainDlg::OnRecord);
    winmm::virt::AdvanceClock(1.5);
    std::filesystem::remove_all(folder);
    winmm::virt::AdvanceClock(1.0);
    Click(&CMainDlg::OnStop);
    // The window shows the end before it says why: the modal box would hold back that repaint.
    EXPECT_EQ(std::make_tuple(0, std::string("R+S-E+"), size_t(0)),
              std::make_tuple(m_pDlg->AudioList()->GetItemCount(), Buttons(), m_messages.Texts().size()));
    ASSERT_TRUE(WaitUntil([this] { return !m_messages.Texts().empty(); }));
    EXPECT_EQ(std::vector<std::string>{"The output folder \"" + folder + "\" was removed during the recording, and the "
                                       "recording with it: no file was kept."},
              m_messages.Texts());
}

TEST_F(MainWindowController, ARightClickBelowTheRowsRightAfterOneOnARowReachesTheWindowBothTimes)
{
    CLstctrlAudio* pList = m_pDlg->AudioList();
    for (int i = 0; i < 2; ++i)
        pList->AddAudio(ListedFile(m_folder.File("Audio" + std::to_string(i) + ".wav")));
    std::vector<intptr_t> rows;
    int nMenus = 0;
    m_pDlg->Bind(EVT_TYPE_WINDOW_MESSAGE, [&, this](CWindowMessageEvent& event) {
        rows.push_back(event.WParam());
        event.Skip();
        // The popup opens once the click is handled; Escape, queued twice to run inside its loop, closes it.
        m_pDlg->CallAfter([&, this] {
            m_pDlg->CallAfter([&] {
                ++nMenus;
                RunCommand("xdotool key Escape 2>/dev/null");
            });
        });
    }, WM_AUDIOLIST_RCLICK);
    auto click = [&](const wxPoint& client) { return ClickAt(pList->ClientToScreen(client), "click 3"); };
    ASSERT_TRUE(WaitForRowsLaidOut(*pList));
    wxRect row;
    ASSERT_TRUE(pList->GetItemRect(1, row));
    const wxPoint onRow(row.x + row.width / 2, row.y + row.height / 2);
    const wxPoint below(onRow.x, pList->GetClientSize().y - 20);
    for (int i = 0; i < 3; ++i)
    {
        rows.clear();
        ASSERT_TRUE(click(onRow));
        ASSERT_TRUE(WaitUntil([&] { return !rows.empty() && rows.back() == 1; })) << "on the row, round " << i;
        ASSERT_TRUE(click(below));
        EXPECT_TRUE(WaitUntil([&] { return rows.back() == -1; })) << "below the rows, round " << i;
    }
    EXPECT_TRUE(WaitUntil([&] { return nMenus >= 6; }));
}

TEST_F(MainWindowController, CommandsAreEnabledByTheStateAndTheCurrentRowAndTheirKeysObeyTheSameRules)
{
    // Play, Go to the folder, Rename, Delete from the list, Delete from the disk, Clear all;
    // then Record, Stop, Settings; Help, Web site, About and Exit are always on. Asked as the popup
    // menu asks, by an update-UI event through the window, under the window's own update-UI mode.
    auto rules = [this] {
        std::string text;
        for (int nId : {ID_CMD_PLAY, ID_CMD_GOTOFOLDER, ID_CMD_RENAME, ID_CMD_DELETEFROMLIST, ID_CMD_DELETEFROMDISK,
                        ID_CMD_CLEARALL, ID_CMD_RECORD, ID_CMD_STOP, ID_CMD_SETTINGS, ID_CMD_HELP, ID_CMD_WEBSITE,
                        ID_CMD_ABOUT, ID_CMD_EXIT})
        {
            wxUpdateUIEvent event(nId);
            event.SetEventObject(m_pDlg);
            const bool bAnswered = m_pDlg->GetEventHandler()->ProcessEvent(event) && event.GetSetEnabled();
            text += !bAnswered ? '?' : event.GetEnabled() ? '+' : '-';
        }
        return text;
    };
    EXPECT_EQ("------+-+++++", rules()) << "empty list";
    m_pDlg->AudioList()->AddAudio(ListedFile(m_folder.File("Audio0.wav")));
    EXPECT_EQ("+++++++-+++++", rules()) << "a row whose file exists";
    // Keys reach commands whatever their state: each command asks its rule again.
    auto key = [this](const char* pszKeys) {
        RunCommand("xdotool search --class org.vorane.Recorder windowactivate --sync 2>/dev/null");
        ASSERT_TRUE(PressKeysAndWait(pszKeys));
    };
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    Click(&CMainDlg::OnRecord);
    // The new recording is the current row; Play waits for the end, and its file is not the
    // user's to rename or delete while it is written.
    EXPECT_EQ("-+-+-+-+-++++", rules()) << "recording";
    winmm::virt::AdvanceClock(1.0);
    ASSERT_TRUE(WaitUntil([this] { return std::filesystem::exists(m_folder.File("Audio1.wav")); }));
    EXPECT_EQ("-+-+-+-+-++++", rules()) << "recording, the file holding its first second";
    // Neither the commands nor their handlers ask for a rename or a deletion of the row being recorded.
    int nDialogs = 0;
    auto closeAny = [&] { InNextModal<wxDialog>([&](wxDialog* pDialog) { ++nDialogs, pDialog->EndModal(wxID_CANCEL); }); };
    for (int nId : {ID_CMD_RENAME, ID_CMD_DELETEFROMDISK})
    {
        closeAny();
        Command(nId);
    }
    for (void (CMainDlg::*handler)() : {&CMainDlg::OnRename, &CMainDlg::OnDeleteFromDisk})
    {
        closeAny();
        (m_pDlg->*handler)();
    }
    // The closers run in order: once a call posted after them has run, each has looked for its dialog.
    bool bLooked = false;
    wxTheApp->CallAfter([&] { bLooked = true; });
    ASSERT_TRUE(WaitUntil([&] { return bLooked; }));
    EXPECT_EQ(0, nDialogs);
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("Audio1.wav")));
    winmm::virt::AdvanceClock(1.0);
    Click(&CMainDlg::OnStop);
    EXPECT_EQ("+++++++-+++++", rules()) << "recorded";
    EXPECT_EQ(2.0, DecodeFile(m_folder.File("Audio1.wav")).duration);
    unlink(m_folder.File("Audio1.wav").c_str());
    EXPECT_EQ("-+-+-++-+++++", rules()) << "its file deleted outside the program";

    key("ctrl+d");  // the file is gone: nothing to ask, nothing deleted
    EXPECT_EQ(2, m_pDlg->AudioList()->GetItemCount());
    key("ctrl+l");
    EXPECT_EQ(1, m_pDlg->AudioList()->GetItemCount());
    EXPECT_TRUE(std::filesystem::exists(m_folder.File("Audio0.wav")));
    key("ctrl+e");
    EXPECT_EQ(0, m_pDlg->AudioList()->GetItemCount());
    EXPECT_TRUE(m_pDlg->Waveform()->IsWelcome());
}

TEST_F(MainWindowController, SkinsCycleOneToFourAndAnUnknownSkinGoesToTheSecond)
{
    const int nSaved = g_nSkinNumber;
    std::vector<int> skins;
    for (int nStart : {4, 1, 3, 0, 7})
    {
        g_nSkinNumber = nStart;
        Command(IDC_BUTTON_SKINS, wxEVT_BUTTON);
        skins.push_back(g_nSkinNumber);
    }
    g_nSkinNumber = nSaved;
    EXPECT_EQ((std::vector<int>{1, 2, 4, 2, 2}), skins);
    EXPECT_TRUE(WaitUntil([this] { return m_pDlg->IsShownOnScreen() && !m_pDlg->IsIconized(); }));
}

// The output folder opens after a recording only for a user who asked for it.
TEST_F(MainWindowController, TheOutputFolderOpensAfterARecordingOnlyWhenAsked)
{
    CShellRecorder shell;
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    std::vector<std::vector<std::string>> afterEach;
    for (int bOpen : {0, 1})
    {
        theSettings.IsOpenOutput = bOpen;
        RecordFor(1.0);
        afterEach.push_back(shell.requests);
    }
    const std::vector<std::string> explored{"explore " + m_folder.Path()};
    EXPECT_EQ((std::vector<std::vector<std::string>>{{}, explored}), afterEach);
    EXPECT_TRUE(m_messages.Texts().empty());
}

// Closed while recording: the take is kept whole, as Stop would keep it, and the window goes without
// a word or a file manager left behind, also when nothing was captured yet.
TEST_F(MainWindowController, ClosingDuringARecordingStopsItAndLeavesAWholeFile)
{
    CShellRecorder shell;
    theSettings.IsOpenOutput = 1;
    theSettings.OutputFormat = OUTPUT_FORMAT_MP3;
    for (double dSeconds : {0.6, 0.0})
    {
        if (!m_pDlg)
        {
            m_pDlg = new CMainDlg;
            ASSERT_TRUE(m_pDlg->Create());
            ASSERT_TRUE(WaitUntil([this] { return m_pDlg->IsShownOnScreen(); }));
        }
        Click(&CMainDlg::OnRecord);
        winmm::virt::AdvanceClock(dSeconds);
        m_pDlg->Close(true);
        m_pDlg = nullptr;
        ASSERT_TRUE(WaitUntil([] { return wxTopLevelWindows.empty(); }));
        // Whatever the closed window still had queued has run.
        wxTheApp->Yield();
    }
    EXPECT_NEAR(0.6, DecodeFile(m_folder.File("Audio0.mp3")).duration, 0.1);
    const std::vector<uint8_t> bytes = ReadFileBytes(m_folder.File("Audio0.mp3"));
    EXPECT_EQ("TAG", std::string(bytes.end() - 128, bytes.end() - 125)) << "the closing tag";
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("Audio1.mp3"))) << "nothing was captured";
    EXPECT_EQ(std::make_pair(std::vector<std::string>{}, std::vector<std::string>{}), std::make_pair(shell.requests, m_messages.Texts()));
}

// The General page's storing: Tests/settings; the WAV page's is seen here, in the recording it shapes.
TEST_F(MainWindowController, WhatTheSettingsButtonsSheetStoresShapesTheNextRecording)
{
    bool bChosen = false;
    InNextModal<CTreePropSheet>([&](CTreePropSheet* pSheet) {
        // WAV; mono, 22.05 kHz, 8-bit; then OK. Ids repeat between pages: each on its own page.
        wxWindow* pPage = pSheet->GetPage(0);
        auto list = [&pPage](int nId) { return dynamic_cast<wxChoice*>(pPage->FindWindow(nId)); };
        bChosen = Choose(list(1010), OUTPUT_FORMAT_WAV);
        pSheet->SetActivePage(5);  // "Output formats::WAV"
        pPage = pSheet->GetPage(5);
        bChosen = bChosen && Choose(list(1012), 0) && Choose(list(1013), 1) && Choose(list(1014), 0);
        SendUserEvent(pSheet->FindWindow(wxID_OK), wxEVT_BUTTON, 0);
    });
    Command(IDC_BUTTON_SETTINGS, wxEVT_BUTTON);
    ASSERT_TRUE(bChosen);
    const AudioItem item = RecordFor(1.0);
    EXPECT_STREQ("Audio0.wav", item.szName);
    const DecodedAudio decoded = DecodeFile(item.szPath);
    EXPECT_EQ(std::make_tuple(std::string("pcm_u8"), 22050, 1), std::make_tuple(decoded.codec, decoded.sampleRate, decoded.channels));
}

TEST_F(MainWindowController, DeleteFromTheDiskAsksFirstAndOnlyOkRemovesTheFileAndClearsTheView)
{
    m_pDlg->AudioList()->AddAudio(ListedFile(m_folder.File("Audio0.wav")));
    m_pDlg->Waveform()->ShowItem(m_pDlg->AudioList()->GetCurAudio());
    for (int nAnswer : {wxID_CANCEL, wxID_OK})
    {
        bool bAsked = false;
        InNextModal<CDlgMsgbx_>([&](CDlgMsgbx_* pBox) { bAsked = true, pBox->EndModal(nAnswer); });
        Command(ID_CMD_DELETEFROMDISK);
        EXPECT_TRUE(bAsked);
        const bool bKept = nAnswer == wxID_CANCEL;
        EXPECT_EQ(std::make_tuple(bKept, bKept ? 1 : 0, !bKept),
                  std::make_tuple(std::filesystem::exists(m_folder.File("Audio0.wav")), m_pDlg->AudioList()->GetItemCount(),
                                  m_pDlg->Waveform()->IsWelcome()));
    }
}

// Which files the player takes: Tests/dialogs/DialogRulesTest.
TEST_F(MainWindowController, PlayOpensThePlayerForItsFormatsAndHandsOtherFilesToTheDesktop)
{
    CShellRecorder shell;
    for (const char* pszName : {"Take.MP3", "Audio0.ogg"})
    {
        m_pDlg->AudioList()->AddAudio(ListedFile(m_folder.File(pszName)));
        bool bPlayer = false;
        InNextModal<CDlgPlayer>([&](CDlgPlayer* pPlayer) { bPlayer = true, pPlayer->EndModal(wxID_CANCEL); });
        Command(ID_CMD_PLAY);
        WaitUntil([&] { return bPlayer || !shell.requests.empty(); }, 3000);
        EXPECT_EQ(std::string(pszName) != "Audio0.ogg", bPlayer) << pszName;
    }
    EXPECT_EQ(std::vector<std::string>{"open " + m_folder.File("Audio0.ogg")}, shell.requests);
    EXPECT_TRUE(m_messages.Texts().empty());

    // The desktop cannot play it: the user hears why.
    shell.nResult = SE_ERR_NOASSOC;
    Command(ID_CMD_PLAY);
    EXPECT_EQ(std::vector<std::string>{"Sorry,This audio file play wrong."}, m_messages.Texts());
}

// While recording, the Record button pauses and resumes, as do Alt+R and the popup's Ctrl+Space item: the button
// says "Pause" or "Resume", the popup's item "Pause" or "Resume", the row "Paused", and the view draws "Paused"
// at the head of the trace and tells a screen reader; its length stands still. The file leaves out the paused
// stretch, and a stop while paused ends the recording as usual. With nothing recording the command does nothing.
TEST_F(MainWindowController, RecordPausesAndResumesWhileRecordingAndEveryPartOfTheWindowSaysSo)
{
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    wxWindow* pRecord = m_pDlg->FindWindow(IDC_BUTTON_RECORD);
    auto popupItem = [this] {
        wxUpdateUIEvent event(ID_CMD_PAUSE);
        m_pDlg->ProcessWindowEvent(event);
        return std::string(event.GetEnabled() ? "+" : "-") + event.GetText().ToStdString();
    };
    auto key = [this](const char* pszKeys) {
        RunCommand("xdotool search --class Vorane.MainDlg windowactivate --sync 2>/dev/null");
        ASSERT_TRUE(PressKeysAndWait(pszKeys));
    };
    Command(ID_CMD_PAUSE);
    EXPECT_FALSE(m_pDlg->IsPaused());
    EXPECT_EQ("-Pause\tCtrl+Space", popupItem());

    Click(&CMainDlg::OnRecord);
    AudioItem* pRow = m_pDlg->AudioList()->FindRecordingAudio();
    ASSERT_TRUE(pRow);
    auto rowText = [&] { return m_pDlg->AudioList()->GetItemText(pRow->nIndex, 1).ToStdString(); };
    EXPECT_EQ("Pause", pRecord->GetLabel());
    EXPECT_EQ("+Pause\tCtrl+Space", popupItem());
    winmm::virt::AdvanceClock(1.5);
    Click(&CMainDlg::OnRecord);
    EXPECT_EQ("&Resume", pRecord->GetLabel());
    EXPECT_EQ("+Resume\tCtrl+Space", popupItem());
    EXPECT_EQ("Paused", rowText());
    EXPECT_EQ("R+S+E-", Buttons());
    const std::string paused = ReadAccessibleTree(", Paused");
    EXPECT_NE(std::string::npos, paused.find("table cell | Paused |")) << paused;
    const wxRect label = ScreenRect(m_pDlg->Waveform(), m_pDlg->Waveform()->PausedRect());
    wxImage shot;
    EXPECT_TRUE(ScreenshotUntil("main-paused", [&](const wxImage& image) {
        return CountColour(image, label, CWndWaveform::TEXT_COLOUR) > 20;
    }, shot));
    // The view's one-second timer runs meanwhile, and counts no paused time.
    const uint32_t nLength = m_pDlg->Waveform()->GetRecordedItem().nLength;
    const auto waited = std::chrono::steady_clock::now() + std::chrono::milliseconds(1300);
    WaitUntil([&] { return std::chrono::steady_clock::now() > waited; });
    EXPECT_EQ(nLength, m_pDlg->Waveform()->GetRecordedItem().nLength);
    winmm::virt::AdvanceClock(1.0);  // paused: the device delivers nothing

    key("alt+r");
    EXPECT_EQ("Pause", pRecord->GetLabel());
    EXPECT_EQ("Recording...", rowText());
    EXPECT_TRUE(ScreenshotUntil("main-resumed", [&](const wxImage& image) {
        return CountColour(image, label, CWndWaveform::TEXT_COLOUR) == 0;
    }, shot));
    winmm::virt::AdvanceClock(0.5);
    key("ctrl+space");
    EXPECT_EQ("Paused", rowText());
    Click(&CMainDlg::OnStop);
    EXPECT_EQ("Record over", rowText());
    EXPECT_EQ("&Record", pRecord->GetLabel());
    EXPECT_FALSE(m_pDlg->Waveform()->IsPaused());
    EXPECT_EQ(2.0, DecodeFile(m_folder.File("Audio0.wav")).duration);
}

// A screen reader reads the list's rows and the view's running length while recording, the finished row
// after the stop, and a name outside ASCII after a rename.
TEST_F(MainWindowController, AScreenReaderReadsTheRowsAndTheRunningLengthAndANameOutsideAscii)
{
    Click(&CMainDlg::OnRecord);
    winmm::virt::AdvanceClock(2.2);
    // The row's cells, then the view: its name the file's, its description the format, length and size.
    const std::string recording = ReadAccessibleTree(", Length : 00:02, Size : ");
    EXPECT_NE(std::string::npos, recording.find("table | Audio list |")) << recording;
    EXPECT_NE(std::string::npos, recording.find("table cell | Audio0.mp3 |")) << recording;
    EXPECT_NE(std::string::npos, recording.find("label | Audio0.mp3 | 44100HZ Stereo")) << recording;
    EXPECT_NE(std::string::npos, recording.find("table cell | Recording... |")) << recording;

    Click(&CMainDlg::OnStop);
    EXPECT_NE("", ReadAccessibleTree("table cell | Record over"));

    const std::string name = "gr\xC3\xB6\xC3\x9F" "e";
    InNextModal<CDlgRename>([&](CDlgRename* pDialog) {
        std::function<void(wxWindow*)> type = [&](wxWindow* pWindow) {
            for (wxWindow* pChild : pWindow->GetChildren())
                if (auto* pText = wxDynamicCast(pChild, wxTextCtrl); pText && pText->IsEditable())
                    pText->SetValue(wxString::FromUTF8(name + ".mp3"));
                else
                    type(pChild);
        };
        type(pDialog);
        wxCommandEvent ok(wxEVT_BUTTON, IDC_RENAME_BUTTON);
        pDialog->ProcessWindowEvent(ok);
    });
    m_pDlg->OnRename();
    const std::string renamed = ReadAccessibleTree("table cell | " + name + ".mp3 |");
    EXPECT_NE("", renamed);
    EXPECT_NE(std::string::npos, renamed.find("label | " + name + ".mp3 |")) << renamed;
}

// ---- skipping silence ----

// While silence is skipped the view says so over the trace and its length stands still; the sound that
// ends it clears the text, and the row's length is what was written (the 0.3 s before the sound and the
// second of sound).
TEST_F(MainWindowController, WhileSilenceIsSkippedTheViewSaysSoAndCountsOnlyWhatIsWritten)
{
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    theSettings.SkipSilence = 1;
    auto mute = [](bool bMuted) {
        auto line = winmm::virt::Device(0)->Lines()[2];  // Stereo Mix, the default line
        line.muted = {bMuted, bMuted};
        winmm::virt::Device(0)->SetLineState(2, line);
    };
    Click(&CMainDlg::OnRecord);
    mute(true);
    winmm::virt::AdvanceClock(3.0);
    CWndWaveform* pView = m_pDlg->Waveform();
    const wxRect label = ScreenRect(pView, pView->WaitingRect());
    wxImage shot;
    EXPECT_TRUE(ScreenshotUntil("main-waiting", [&](const wxImage& image) {
        return CountColour(image, label, CWndWaveform::TEXT_COLOUR) > 20;
    }, shot));
    // The view's one-second timer runs meanwhile, and counts nothing that was not written.
    const auto waited = std::chrono::steady_clock::now() + std::chrono::milliseconds(1300);
    WaitUntil([&] { return std::chrono::steady_clock::now() > waited; });
    EXPECT_EQ(0u, pView->GetRecordedItem().nLength);

    mute(false);
    winmm::virt::AdvanceClock(1.0);
    EXPECT_TRUE(ScreenshotUntil("main-sound-back", [&](const wxImage& image) {
        return CountColour(image, label, CWndWaveform::TEXT_COLOUR) == 0;
    }, shot));
    EXPECT_FALSE(pView->IsWaitingForSound());
    AudioItem* pRow = m_pDlg->AudioList()->FindRecordingAudio();
    ASSERT_TRUE(pRow);
    Click(&CMainDlg::OnStop);
    EXPECT_NEAR(1300, pRow->nLength, 2);
}

// A recording split every minute: the finished file's row says "Record over" with its own length while the
// next file's row says "Recording...", and Stop completes that one too.
TEST_F(MainWindowController, ASplitRecordingGivesEachFileItsOwnRow)
{
    theSettings.OutputFormat = OUTPUT_FORMAT_WAV;
    theSettings.WavChannelsIndex = theSettings.WavBitsIndex = theSettings.WavSampleRateIndex = 0;
    std::tie(theSettings.SplitFiles, theSettings.SplitMinutes) = std::make_tuple(1, 1);
    auto rows = [this] {
        std::string text;
        for (int n = 0; n < m_pDlg->AudioList()->GetItemCount(); ++n)
        {
            const AudioItem* pItem = m_pDlg->AudioList()->GetAudio(n);
            text += std::string(pItem->szName) + " " + m_pDlg->AudioList()->GetItemText(n, 1).ToStdString() + " " +
                    std::to_string(pItem->nLength) + "; ";
        }
        return text;
    };
    Click(&CMainDlg::OnRecord);
    winmm::virt::AdvanceClock(61.0);
    EXPECT_TRUE(WaitUntil([&] { return rows() == "Audio0.wav Record over 60000; Audio1.wav Recording... 0; "; }))
        << rows();
    Click(&CMainDlg::OnStop);
    EXPECT_TRUE(WaitUntil([&] { return rows() == "Audio0.wav Record over 60000; Audio1.wav Record over 1000; "; }))
        << rows();
    EXPECT_TRUE(m_messages.Texts().empty());
}
