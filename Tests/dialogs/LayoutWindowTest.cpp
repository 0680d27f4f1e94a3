// No dialog cuts any of its controls (CTest runs this at GDK_DPI_SCALE=1.5).
#include "UiTestSupport.h"
#include "DlgAbout.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"

class DialogLooks : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_pFrame = ShowOwnerFrame(wxSize(700, 560))); }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    void ExpectNothingCut(wxDialog& dialog, wxWindow* pPainted, const std::string& name)
    {
        RunModal(dialog, [&] {
            EXPECT_TRUE(WaitUntilActiveAndPainted(&dialog, pPainted)) << name;
            const std::vector<std::string> cut = OnMain([&] {
                return LayoutFaults(&dialog, wxRect(dialog.ClientToScreen(wxPoint()), dialog.GetClientSize()), false);
            });
            EXPECT_TRUE(cut.empty()) << name << ": " << ::testing::PrintToString(cut);
            PressKeys("Escape");
        });
    }

    wxFrame* m_pFrame = nullptr;
};

TEST_F(DialogLooks, NoDialogCutsAnyOfItsControls)
{
    CDlgMsgbx_ box(m_pFrame, "The File has been existen, Overwrite it?");
    ExpectNothingCut(box, box.FindWindow(IDC_MSGBX_TEXT), "msgbx");
    CDlgRename rename(m_pFrame);
    rename.SetOldPath("/tmp/vorane/WWWWWWWWWWWWWWWW.wav");
    ExpectNothingCut(rename, rename.FindWindow(IDC_RENAME_OLDNAME), "rename");
    CDlgPlayer player(m_pFrame, "");
    ExpectNothingCut(player, player.FindWindow(IDC_PLAYER_EXIT), "player");
    CDlgAbout about(m_pFrame);
    ExpectNothingCut(about, about.GetLink(IDC_ABOUT_LAME), "about");
}
