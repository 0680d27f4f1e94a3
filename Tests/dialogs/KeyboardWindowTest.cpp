// Every dialog by keyboard alone: Tab and Shift+Tab go through its controls in reading order, the focused
// control looks focused, each control with a text has a mnemonic of its own, and the mnemonics act.
// CTest runs it at one and a half times the font, where no dialog may cut any of its controls.
#include "UiTestSupport.h"
#include "DlgAbout.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <wx/statbox.h>

#include <fstream>
#include <set>
#include <thread>
#include <unistd.h>

namespace
{
std::vector<wxColour> Pixels(const wxRect& screen)
{
    std::vector<wxColour> pixels;
    CountPixels(screen, [&](const wxColour& c) { return pixels.push_back(c), false; });
    return pixels;
}

// Polls without wx events (the user thread's view): the pixels change from the ones given.
bool ChangesFrom(const wxRect& screen, const std::vector<wxColour>& before)
{
    for (int i = 0; i < 250; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (Pixels(screen) != before)
            return true;
    return false;
}

// From the user thread: the controls, in reading order, take the focus one after another with Tab, each
// drawn differently while it has it, and give it back the other way with Shift+Tab.
void ExpectTabRound(const std::vector<wxWindow*>& order)
{
    const size_t n = order.size();
    std::vector<wxRect> rects;
    for (wxWindow* pControl : order)
        rects.push_back(OnMain([&] { return ScreenRect(pControl); }));
    for (size_t i = 1; i < n; ++i)  // below the one before, or beside it on its row
        EXPECT_TRUE(rects[i].y >= rects[i - 1].GetBottom() ||
                    (rects[i].y < rects[i - 1].GetBottom() && rects[i].x >= rects[i - 1].GetRight()))
            << "control " << i << " stands before control " << i - 1;
    // Once the first control is drawn focused, every other one is drawn without the focus.
    const bool bHadFocus = OnMain([&] { return order[0]->HasFocus(); });
    const std::vector<wxColour> before = Pixels(rects[0]);
    OnMain([&] { return order[0]->SetFocus(), true; });
    ASSERT_TRUE(WaitOnMain([&] { return order[0]->HasFocus(); }));
    EXPECT_TRUE(bHadFocus || ChangesFrom(rects[0], before)) << "control 0 does not show its focus";
    for (size_t i = 1; i <= n; ++i)
    {
        const std::vector<wxColour> unfocused = Pixels(rects[i % n]);
        PressKeys("Tab");
        EXPECT_TRUE(WaitOnMain([&] { return order[i % n]->HasFocus(); })) << "Tab " << i << " missed control " << i % n;
        EXPECT_TRUE(ChangesFrom(rects[i % n], unfocused)) << "control " << i % n << " does not show its focus";
    }
    for (size_t i = n; i-- > 0;)
    {
        PressKeys("shift+Tab");
        EXPECT_TRUE(WaitOnMain([&] { return order[i]->HasFocus(); })) << "Shift+Tab missed control " << i;
    }
}

// Each control's text has a mnemonic, and no two controls of the dialog share a letter.
void ExpectOwnMnemonics(wxWindow* pDialog, const std::vector<wxWindow*>& labelled)
{
    std::set<wxChar> letters;
    for (wxWindow* pWindow : labelled)
    {
        const wxString label = pWindow->GetLabel();
        const int nAccel = wxControl::FindAccelIndex(label);
        ASSERT_GE(nAccel, 0) << label;
        EXPECT_TRUE(letters.insert(wxToupper(wxControl::RemoveMnemonics(label)[nAccel])).second) << "shared: " << label;
    }
    for (wxWindow* pChild : pDialog->GetChildren())
        if (wxControl::FindAccelIndex(pChild->GetLabel()) >= 0 &&
            std::find(labelled.begin(), labelled.end(), pChild) == labelled.end())
            ADD_FAILURE() << "a mnemonic on a control not checked: " << pChild->GetLabel();
}

// From the user thread, once the dialog is painted.
void ExpectNothingCut(wxDialog& dialog)
{
    const std::vector<std::string> cut = OnMain(
        [&] { return LayoutFaults(&dialog, wxRect(dialog.ClientToScreen(wxPoint()), dialog.GetClientSize()), false); });
    EXPECT_TRUE(cut.empty()) << dialog.GetTitle() << ": " << ::testing::PrintToString(cut);
}
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
    wxWindow* pRename = dialog.FindWindow(IDC_RENAME_BUTTON);
    std::vector<wxWindow*> labelled{pRename};
    for (wxWindow* pChild : dialog.GetChildren())
        if (wxDynamicCast(pChild, wxStaticBox))
            labelled.push_back(pChild);
    ExpectOwnMnemonics(&dialog, labelled);
    RunModal(dialog, [&] {
        ASSERT_TRUE(WaitUntilActiveAndPainted(&dialog, pOld));
        ExpectNothingCut(dialog);
        ExpectTabRound({pOld, pNew, pRename});
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
}

TEST_F(DialogKeys, AboutTheThreeLinksAndOk)
{
    CShellRecorder shell;
    CDlgAbout about(m_pFrame);
    std::vector<wxWindow*> order{about.GetLink(IDC_ABOUT_LAME), about.GetLink(IDC_ABOUT_HOMEPAGE),
                                 about.GetLink(IDC_ABOUT_MAIL), about.FindWindow(wxID_OK)};
    ExpectOwnMnemonics(&about, order);
    const int nResult = RunModal(about, [&] {
        ASSERT_TRUE(WaitUntilActiveAndPainted(&about, order[0]));
        ExpectNothingCut(about);
        EXPECT_TRUE(WaitOnMain([&] { return order[3]->HasFocus(); })) << "OK first, so Enter closes";
        ExpectTabRound(order);
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
    const int nResult = RunModal(player, [&] {
        CMediaWindow* pBar = OnMain([&] { return player.GetMediaWindow(); });
        ASSERT_TRUE(pBar);
        wxWindow* pExit = player.FindWindow(IDC_PLAYER_EXIT);
        ASSERT_TRUE(WaitUntilActiveAndPainted(&player, pExit));
        ExpectNothingCut(player);
        ExpectOwnMnemonics(&player, {pExit});
        ASSERT_TRUE(WaitOnMain([&] { return pBar->IsPlaying(); }));
        ExpectTabRound({pBar, pExit});
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
        const bool bFirst = nAnswer == wxID_OK && keys[0] == 'a';
        if (bFirst)
            ExpectOwnMnemonics(&box, {pOK, pCancel});
        const int nResult = RunModal(box, [&] {
            ASSERT_TRUE(WaitUntilActiveAndPainted(&box, pOK));
            if (bFirst)
            {
                ExpectNothingCut(box);
                ExpectTabRound({pOK, pCancel});
            }
            OnMain([&] { return pCancel->SetFocus(), true; });
            EXPECT_TRUE(WaitOnMain([&] { return pCancel->HasFocus(); }));
            PressKeys(keys);
        });
        EXPECT_EQ(nResult, nAnswer) << keys;
    }
    // The box without a question: Return is its OK.
    CDlgMsgbx plain(m_pFrame, "Are you sure?");
    EXPECT_EQ(RunModal(plain, [&] {
                  ASSERT_TRUE(WaitUntilActiveAndPainted(&plain, plain.FindWindow(IDC_MSGBX_OK)));
                  PressKeys("Return");
              }),
              wxID_OK);
}
