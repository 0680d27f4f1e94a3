// Every dialog by keyboard alone: Tab and Shift+Tab go through its controls in reading order, the focused
// control looks focused, each control with a text has a mnemonic of its own, and the mnemonics act (KeyboardFaults).
// CTest runs it at one and a half times the font, where no dialog may cut any of its controls. The message boxes
// besides: a sound that never holds the box up, the error box's icon.
#include "UiTestSupport.h"
#include "DlgAbout.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <wx/artprov.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace
{
// Shown again modeless after its modal run: the keyboard's faults (the focus drawn too), and no control cut.
void ExpectKeyboardAndLayout(wxDialog& dialog, wxWindow* pStart)
{
    // Active again only once the owner has been: the keys go where the window manager's focus is.
    ASSERT_TRUE(WaitUntil([&] { return !dialog.IsActive(); }));
    dialog.Show();
    ASSERT_TRUE(WaitUntil([&] { return dialog.IsActive(); }));
    const std::vector<std::string> faults = KeyboardFaults(&dialog, pStart, AllChildren(&dialog), true);
    EXPECT_TRUE(faults.empty()) << dialog.GetTitle() << ": " << ::testing::PrintToString(faults);
    const std::vector<std::string> cut = LayoutFaults(&dialog, wxRect(dialog.ClientToScreen(wxPoint()), dialog.GetClientSize()), false);
    EXPECT_TRUE(cut.empty()) << dialog.GetTitle() << ": " << ::testing::PrintToString(cut);
    dialog.Hide();
}
// A Unix socket where a sound server would be: it takes clients and never says a word.
struct CSilentServer
{
    CSilentServer()
    {
        sockaddr_un address{AF_UNIX, {}};
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", socketPath.c_str());
        if (bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(listenFd, 8) != 0)
            close(std::exchange(listenFd, -1));
    }
    ~CSilentServer() { close(clientFd), close(listenFd); }
    bool WaitForClient()
    {
        pollfd fd{listenFd, POLLIN, 0};
        if (clientFd < 0 && listenFd >= 0 && poll(&fd, 1, 10000) == 1)
            clientFd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        return clientFd >= 0;
    }
    // True while the client has not hung up.
    bool ClientWaits()
    {
        char buffer[4096];
        ssize_t n;
        while ((n = recv(clientFd, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) {}
        return clientFd >= 0 && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }

    CTempFolder folder{"silent-" + std::to_string(getpid())};
    std::string socketPath = folder.File("native");
    int listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0), clientFd = -1;
};
}  // namespace

class DialogKeys : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_pFrame = ShowOwnerFrame()); }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    wxFrame* m_pFrame = nullptr;
    CTempFolder m_folder{"keys-" + std::to_string(getpid())};
};

TEST_F(DialogKeys, RenameTheTwoFieldsAndTheButton)
{
    std::ofstream(m_folder.File("WWWWWWWWWWWWWWWW.wav")) << "the take";
    CDlgRename dialog(m_pFrame);
    dialog.SetOldPath(m_folder.File("WWWWWWWWWWWWWWWW.wav"));
    wxWindow* pOld = dialog.FindWindow(IDC_RENAME_OLDNAME);
    wxWindow* pNew = dialog.FindWindow(IDC_RENAME_NEWNAME);
    RunModal(dialog, [&] {
        ASSERT_TRUE(WaitUntilActiveAndPainted(&dialog, pOld));
        // The boxes' mnemonics take the focus to their fields; the button's presses it.
        PressKeys("alt+e");
        EXPECT_TRUE(WaitOnMain([&] { return pOld->HasFocus(); })) << "Alt+E";
        PressKeys("alt+n");
        EXPECT_TRUE(WaitOnMain([&] { return pNew->HasFocus(); })) << "Alt+N";
        PressKeys("alt+r");
        EXPECT_EQ(WaitForMessageBox(), "Please input new file name.") << "Alt+R";
        PressKeys("Return");
        EXPECT_TRUE(WaitOnMain([&] { return dialog.IsActive(); }));
        PressKeys("Escape");
    });
    ExpectKeyboardAndLayout(dialog, pOld);
}

TEST_F(DialogKeys, AboutTheThreeLinksAndOk)
{
    CShellRecorder shell;
    CDlgAbout about(m_pFrame);
    std::vector<wxWindow*> order{about.GetLink(IDC_ABOUT_LAME), about.GetLink(IDC_ABOUT_HOMEPAGE),
                                 about.GetLink(IDC_ABOUT_MAIL), about.FindWindow(wxID_OK)};
    const int nResult = RunModal(about, [&] {
        ASSERT_TRUE(WaitUntilActiveAndPainted(&about, order[0]));
        EXPECT_TRUE(WaitOnMain([&] { return order[3]->HasFocus(); })) << "OK first, so Enter closes";
        // A link's mnemonic opens it, as a button's presses it; Enter on a focused link opens it too.
        PressKeys("alt+m");
        EXPECT_TRUE(WaitOnMain([&] { return order[2]->HasFocus() && shell.requests.size() == 1; })) << "Alt+M";
        OnMain([&] { return order[0]->SetFocus(), true; });
        EXPECT_TRUE(WaitOnMain([&] { return order[0]->HasFocus(); }));
        PressKeys("Return");
        EXPECT_TRUE(WaitOnMain([&] { return shell.requests.size() == 2; })) << "Enter on a link";
        EXPECT_EQ(shell.requests, (std::vector<std::string>{std::string("open ") + ABOUT_MAIL_URL,
                                                            std::string("open ") + ABOUT_LAME_URL}));
        PressKeys("alt+o");
    });
    EXPECT_EQ(nResult, wxID_OK);
    ExpectKeyboardAndLayout(about, order[0]);
}

TEST_F(DialogKeys, PlayerThePlayBarAndExit)
{
    const std::string path = m_folder.File("Audio0.wav");
    std::shared_ptr<IReceiver> pReceiver = PreparedReceiver("wav", path);
    ASSERT_TRUE(pReceiver);
    const std::vector<uint8_t> pcm = StereoTone(4.0, 440);
    pReceiver->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    pReceiver->Finish();
    CDlgPlayer player(m_pFrame, path);
    CMediaWindow* pBar = nullptr;
    const int nResult = RunModal(player, [&] {
        ASSERT_TRUE(pBar = OnMain([&] { return player.GetMediaWindow(); }));
        wxWindow* pExit = player.FindWindow(IDC_PLAYER_EXIT);
        ASSERT_TRUE(WaitUntilActiveAndPainted(&player, pExit));
        ASSERT_TRUE(WaitOnMain([&] { return pBar->IsPlaying(); }));
        // Space on the bar pauses and plays on.
        OnMain([&] { return pBar->SetFocus(), true; });
        ASSERT_TRUE(WaitOnMain([&] { return pBar->HasFocus(); }));
        PressKeys("space");
        EXPECT_TRUE(WaitOnMain([&] { return !pBar->IsPlaying(); })) << "Space paused nothing";
        PressKeys("space");
        EXPECT_TRUE(WaitOnMain([&] { return pBar->IsPlaying(); })) << "Space played nothing";
        PressKeys("alt+e");
    });
    EXPECT_EQ(nResult, wxID_OK);
    ExpectKeyboardAndLayout(player, pBar);
}

TEST_F(DialogKeys, MessageBoxesOkAndCancel)
{
    // The mnemonics answer; Return is OK even with Cancel focused, Escape is Cancel.
    const std::pair<const char*, int> answers[] = {
        {"alt+o", wxID_OK}, {"alt+c", wxID_CANCEL}, {"Return", wxID_OK}, {"Escape", wxID_CANCEL}};
    for (const auto& [keys, nAnswer] : answers)
    {
        CDlgMsgbx_ box(m_pFrame, "The File has been existen, Overwrite it?");
        wxWindow* pOK = box.FindWindow(IDC_MSGBX_OK);
        wxWindow* pCancel = box.FindWindow(wxID_CANCEL);
        const int nResult = RunModal(box, [&] {
            ASSERT_TRUE(WaitUntilActiveAndPainted(&box, pOK));
            OnMain([&] { return pCancel->SetFocus(), true; });
            EXPECT_TRUE(WaitOnMain([&] { return pCancel->HasFocus(); }));
            PressKeys(keys);
        });
        EXPECT_EQ(nResult, nAnswer) << keys;
        if (nAnswer == wxID_OK && keys[0] == 'a')
            ExpectKeyboardAndLayout(box, pOK);
    }
    // The box without a question: Return is its OK.
    CDlgMsgbx plain(m_pFrame, "Are you sure?");
    EXPECT_EQ(RunModal(plain, [&] {
                  ASSERT_TRUE(WaitUntilActiveAndPainted(&plain, plain.FindWindow(IDC_MSGBX_OK)));
                  PressKeys("Return");
              }),
              wxID_OK);
}

class MessageBoxes : public DialogKeys
{
protected:
    int Answer(bool bQuestion, const std::function<void(CDlgMsgbx&)>& act)
    {
        const wxString text = "Are you sure?";
        std::unique_ptr<CDlgMsgbx> pBox(bQuestion ? new CDlgMsgbx_(m_pFrame, text) : new CDlgMsgbx(m_pFrame, text));
        return RunModal(*pBox, [&] {
            EXPECT_EQ(WaitForMessageBox(), text.utf8_string());
            act(*pBox);
        });
    }
};

TEST_F(MessageBoxes, TheBoxIsUpWhileItsSoundStillWaitsForAServerThatNeverAnswers)
{
    CSilentServer silent;
    setenv("PULSE_SERVER", ("unix:" + silent.socketPath).c_str(), 1);
    const int nResult = Answer(true, [&](CDlgMsgbx&) {
        ASSERT_TRUE(silent.WaitForClient()) << "the box asked for no sound";
        EXPECT_TRUE(silent.ClientWaits()) << "the sound gave up before the box was up";
        PressKeys("Return");
    });
    EXPECT_EQ(nResult, wxID_OK);
}

TEST_F(MessageBoxes, AnErrorBoxShowsTheDesktopsStopIconAtDialogSizeAndTheOtherBoxesNone)
{
    const wxString text = "Invalid file name.( no '/', '..' or control characters, no '.' at the start )";
    CDlgErrorMsgbx error(m_pFrame, text);
    wxStaticBitmap* pIcon = error.GetIconControl();
    ASSERT_TRUE(pIcon);
    EXPECT_EQ(pIcon->GetSize(), wxArtProvider::GetSizeHint(wxART_MESSAGE_BOX));
    EXPECT_EQ(RunModal(error, [&] {
                  EXPECT_EQ(WaitForMessageBox(), text.utf8_string());
                  // The sign is drawn: most of its square is not the dialog's own colour.
                  const wxRect icon = OnMain([&] { return ScreenRect(pIcon); });
                  const wxColour back = OnMain([&] { return error.GetBackgroundColour(); });
                  EXPECT_GT(CountPixels(icon, [&](const wxColour& c) { return !SameColour(c, back, 30); }),
                            icon.width * icon.height / 4);
                  PressKeys("Return");
              }),
              wxID_OK);
    CDlgMsgbx plain(m_pFrame, text);
    CDlgMsgbx_ question(m_pFrame, text);
    for (CDlgMsgbx* pBox : {&plain, static_cast<CDlgMsgbx*>(&question)})
    {
        EXPECT_FALSE(pBox->GetIconControl());
        for (wxWindow* pChild : pBox->GetChildren())
            EXPECT_FALSE(wxDynamicCast(pChild, wxStaticBitmap)) << "an icon in a box that tells no error";
    }
}
