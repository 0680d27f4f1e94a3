// No dialog cuts any of its texts (CTest runs this at GDK_DPI_SCALE=1.5).
#include "UiTestSupport.h"
#include "DlgAbout.h"
#include "DlgMsgbx.h"
#include "DlgPlayer.h"
#include "DlgRename.h"

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cstdlib>

namespace
{
// Every text the dialog cuts, with the size it needs.
std::vector<std::string> CutTexts(wxWindow* pDialog)
{
    std::vector<std::string> cut;
    const wxRect client(pDialog->GetClientSize());
    std::function<void(wxWindow*, const wxPoint&)> visit = [&](wxWindow* pParent, const wxPoint& origin) {
        for (wxWindow* pChild : pParent->GetChildren())
        {
            const wxRect rect(origin + pChild->GetPosition(), pChild->GetSize());
            const wxSize best = pChild->GetBestSize();
            const bool bText = wxDynamicCast(pChild, wxStaticText) || wxDynamicCast(pChild, wxButton) ||
                               wxDynamicCast(pChild, wxGenericStaticText) || wxDynamicCast(pChild, wxTextCtrl);
            // The player's text ends in an ellipsis when a name is long; its two lines must fit.
            const bool bWidthFree = pChild->GetId() == IDC_PLAYER_INFO;
            if (bText && pChild->IsShown() &&
                (rect.height < best.y || (!bWidthFree && rect.width < best.x) || !client.Contains(rect)))
                cut.push_back(pChild->GetLabel().utf8_string() + ": needs " + std::to_string(best.x) + "x" +
                              std::to_string(best.y));
            visit(pChild, rect.GetPosition());
        }
    };
    visit(pDialog, wxPoint(0, 0));
    return cut;
}
}  // namespace

class DialogLooks : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_pFrame = ShowOwnerFrame(wxSize(700, 560))); }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    void ExpectNothingCut(wxDialog& dialog, wxWindow* pPainted, const std::string& shot)
    {
        RunModal(dialog, [&] {
            EXPECT_TRUE(WaitUntilActiveAndPainted(&dialog, pPainted)) << shot;
            const std::vector<std::string> cut = OnMain([&] { return CutTexts(&dialog); });
            EXPECT_TRUE(cut.empty()) << shot << ": " << ::testing::PrintToString(cut);
            const char* pszScale = std::getenv("GDK_DPI_SCALE");
            SaveScreenshot(shot + (pszScale ? std::string("_scale") + pszScale : std::string()));
            PressKeys("Escape");
        });
    }

    wxFrame* m_pFrame = nullptr;
};

TEST_F(DialogLooks, NoDialogCutsAnyOfItsTexts)
{
    CDlgMsgbx_ box(m_pFrame, "The File has been existen, Overwrite it?");
    ExpectNothingCut(box, box.FindWindow(IDC_MSGBX_TEXT), "layout_msgbx");
    CDlgRename rename(m_pFrame);
    rename.SetOldPath("/tmp/vorane/WWWWWWWWWWWWWWWW.wav");
    ExpectNothingCut(rename, rename.FindWindow(IDC_RENAME_OLDNAME), "layout_rename");
    CDlgPlayer player(m_pFrame, "");
    ExpectNothingCut(player, player.FindWindow(IDC_PLAYER_EXIT), "layout_player");
    CDlgAbout about(m_pFrame);
    ExpectNothingCut(about, about.GetLink(IDC_ABOUT_LAME), "layout_about");
}
