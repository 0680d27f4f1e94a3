// The message boxes on a real display: their keys and results, and their
// sound, which plays each time a box opens and never holds the box up.
#include "DialogTestSupport.h"
#include "DlgMsgbx.h"
#include "MessageSound.h"
#include "SoundTestSupport.h"

#include <wx/frame.h>

#include <gtest/gtest.h>

#include <cstdlib>

class MessageBoxes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No sound server unless a test brings one.
        setenv("PULSE_SERVER", "unix:/nonexistent/vorane/native", 1);
        MoveMouse(wxPoint(2, 2));
        m_pFrame = new wxFrame(nullptr, wxID_ANY, "Owner", wxPoint(40, 40), wxSize(500, 300));
        m_pFrame->Show();
        ASSERT_TRUE(WaitUntil([&] { return m_pFrame->IsActive(); }));
    }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    // Opens the box, lets the user act once it is on the screen, and returns its result.
    int Answer(CDlgMsgbx& box, const std::function<void()>& act)
    {
        return RunModal(box, [&] {
            EXPECT_EQ(WaitForMessageBox(), box.GetText().utf8_string());
            act();
        });
    }

    wxFrame* m_pFrame = nullptr;
};

TEST_F(MessageBoxes, EnterAnswersOkInTheQuestionEvenWithCancelFocusedAndEscapeOrCancelAnswerCancel)
{
    {
        CDlgMsgbx_ box(m_pFrame, "Delete the file,Are you sure?");
        const int nResult = Answer(box, [&] {
            wxWindow* pCancel = OnMain([&] { return box.FindWindow(wxID_CANCEL); });
            OnMain([&] { pCancel->SetFocus(); return true; });
            EXPECT_TRUE(WaitOnMain([&] { return pCancel->HasFocus(); }));
            SaveScreenshot("msgbx_question_cancel_focused");
            PressKeys("Return");
        });
        EXPECT_EQ(nResult, wxID_OK) << "Enter with Cancel focused";
    }
    {
        CDlgMsgbx_ box(m_pFrame, "Delete the file,Are you sure?");
        EXPECT_EQ(Answer(box, [] { PressKeys("Escape"); }), wxID_CANCEL);
    }
    {
        CDlgMsgbx_ box(m_pFrame, "Delete the file,Are you sure?");
        const int nResult = Answer(box, [&] {
            const wxRect cancel = OnMain([&] { return ScreenRect(box.FindWindow(wxID_CANCEL)); });
            ClickAt(cancel.GetPosition() + wxPoint(cancel.width / 2, cancel.height / 2));
        });
        EXPECT_EQ(nResult, wxID_CANCEL) << "a click on Cancel";
    }
}

TEST_F(MessageBoxes, TheOkBoxAnswersOkToEnterAndCancelToEscapeOrClosing)
{
    {
        CDlgMsgbx box(m_pFrame, "New file name is exist.");
        EXPECT_EQ(Answer(box, [] { PressKeys("Return"); }), wxID_OK);
    }
    {
        CDlgMsgbx box(m_pFrame, "New file name is exist.");
        EXPECT_EQ(Answer(box, [] { PressKeys("Escape"); }), wxID_CANCEL);
    }
    {
        CDlgMsgbx box(m_pFrame, "New file name is exist.");
        EXPECT_EQ(Answer(box, [] { PressKeys("alt+F4"); }), wxID_CANCEL);
    }
}

TEST_F(MessageBoxes, TheBoxIsUpWhileItsSoundStillWaitsForAServerThatNeverAnswers)
{
    CSilentServer silent;
    setenv("PULSE_SERVER", silent.Address().c_str(), 1);
    CDlgMsgbx_ box(m_pFrame, "Delete the file,Are you sure?");
    const int nResult = RunModal(box, [&] {
        ASSERT_TRUE(silent.WaitForClient()) << "the box asked for no sound";
        EXPECT_EQ(WaitForMessageBox(), "Delete the file,Are you sure?");
        EXPECT_TRUE(silent.ClientWaits()) << "the sound gave up before the box was up";
        PressKeys("Return");
    });
    EXPECT_EQ(nResult, wxID_OK);
}

TEST_F(MessageBoxes, EachBoxPlaysItsSoundOnTheDefaultOutputAsItOpens)
{
    ASSERT_TRUE(StartSoundDaemon()) << SoundDaemon().Log();
    CMonitorListener listener;
    ASSERT_TRUE(listener.Start());
    ASSERT_TRUE(listener.WaitForSilence());
    for (bool bQuestion : {false, true, false})
    {
        std::unique_ptr<CDlgMsgbx> pBox(bQuestion ? new CDlgMsgbx_(m_pFrame, "The File has been existen, Overwrite it?")
                                                  : new CDlgMsgbx(m_pFrame, "Please input new file name."));
        Answer(*pBox, [&] {
            EXPECT_TRUE(listener.WaitForTone(MESSAGE_SOUND_FREQUENCY)) << listener.Describe();
            EXPECT_TRUE(listener.WaitForSilence()) << listener.Describe();
            PressKeys("Escape");
        });
    }
}
