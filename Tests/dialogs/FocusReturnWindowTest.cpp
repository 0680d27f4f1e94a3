// The main window's dialogs opened and closed by keyboard: the focus comes back to the control that had it.
#include "UiTestSupport.h"
#include "AudioItem.h"
#include "EncoderFixtures.h"
#include "LstctrlAudio.h"
#include "MainDlg.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>

#include <unistd.h>

namespace
{
// Whether the X server's keyboard focus is in the top-level window (on it or on a window inside it).
bool HasXFocus(wxWindow* pTop)
{
    Display* pDisplay = XOpenDisplay(UiDisplay().Name().c_str());
    if (!pDisplay)
        return false;
    const Window top = GDK_WINDOW_XID(gtk_widget_get_window(static_cast<GtkWidget*>(pTop->GetHandle())));
    Window focus = None, root = None, parent = None, *pChildren = nullptr;
    int nRevert = 0;
    unsigned nChildren = 0;
    XGetInputFocus(pDisplay, &focus, &nRevert);
    while (focus != top && focus != None && focus != PointerRoot && XQueryTree(pDisplay, focus, &root, &parent, &pChildren, &nChildren))
    {
        if (pChildren)
            XFree(pChildren);
        focus = focus == root ? None : parent;
    }
    XCloseDisplay(pDisplay);
    return focus == top;
}
}  // namespace

class FocusBack : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("PULSE_SERVER", "unix:/nonexistent/vorane/native", 1);
        UseBuiltLameModule();
        theSettings.SavedDirectry = m_folder.Path();
        m_pDlg = new CMainDlg;
        ASSERT_TRUE(m_pDlg->Create());
        ASSERT_TRUE(WaitUntil([this] { return m_pDlg->IsShownOnScreen() && m_pDlg->IsActive(); }));
    }
    void TearDown() override
    {
        if (m_pDlg)
            m_pDlg->Close(true);
        WaitUntil([] { return wxTopLevelWindows.empty(); }, 2000);
        FreeDevices();
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
    CMainDlg* m_pDlg = nullptr;
};

TEST_F(FocusBack, EveryDialogOfTheMainWindowClosedByKeyboardLeavesTheFocusOnTheControlThatHadIt)
{
    // A row the player, the rename dialog and the deletion question all take.
    const std::string path = m_folder.File("Audio0.wav");
    std::shared_ptr<IReceiver> pReceiver = PreparedReceiver("wav", path);
    ASSERT_TRUE(pReceiver);
    const std::vector<uint8_t> pcm = StereoTone(1.0, 440);
    pReceiver->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    pReceiver->Finish();
    auto* pItem = new AudioItem;
    pItem->SetPath(path.c_str());
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_RECORDED;
    CLstctrlAudio* pList = m_pDlg->AudioList();
    pList->AddAudio(pItem);  // the current row

    // About, Rename, Delete from the disk (its question), Settings, Play.
    for (const char* keys : {"alt+a", "ctrl+r", "ctrl+d", "alt+e", "ctrl+p"})
    {
        SCOPED_TRACE(keys);
        pList->SetFocus();
        ASSERT_TRUE(WaitUntil([&] { return pList->HasFocus() && m_pDlg->IsActive(); }));
        wxDialog* pOpened = nullptr;
        bool bClosed = false;
        RunModal([&] { return WaitUntil([&] { return bClosed; }) ? 0 : 1; },
                 [&] {
                     PressKeys(keys);
                     EXPECT_TRUE(WaitOnMain([&] {
                         for (wxWindow* pTop : wxTopLevelWindows)
                             if (auto* p = wxDynamicCast(pTop, wxDialog); p && p != m_pDlg && p->IsModal() && p->IsActive())
                                 pOpened = p;
                         return pOpened != nullptr;
                     })) << "no dialog opened";
                     PressKeys("Escape");
                     EXPECT_TRUE(WaitOnMain([&] { return m_pDlg->IsActive(); })) << "the main window stayed inactive";
                     OnMain([&] { return bClosed = true; });
                 });
        EXPECT_TRUE(WaitUntil([&] { return wxWindow::FindFocus() == pList; }))
            << "the focus is on " << (wxWindow::FindFocus() ? wxWindow::FindFocus()->GetName() : wxString("nothing"));
        EXPECT_TRUE(WaitUntil([&] { return HasXFocus(m_pDlg); })) << "the X focus is elsewhere";
        EXPECT_EQ(pList->GetItemCount(), 1) << "the question was not answered No";
    }
}
