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
        m_pFrame = ShowOwnerFrame();
        ASSERT_TRUE(m_pFrame);
    }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    // Opens a box, lets the user act once it is on the screen, and returns its result.
    int Answer(bool bQuestion, const std::function<void(CDlgMsgbx&)>& act, const wxString& text = "Are you sure?")
    {
        std::unique_ptr<CDlgMsgbx> pBox(bQuestion ? new CDlgMsgbx_(m_pFrame, text) : new CDlgMsgbx(m_pFrame, text));
        return RunModal(*pBox, [&] {
            EXPECT_EQ(WaitForMessageBox(), text.utf8_string());
            act(*pBox);
        });
    }

    wxFrame* m_pFrame = nullptr;
};

TEST_F(MessageBoxes, EnterAnswersOkEvenWithCancelFocusedEscapeAndCancelAnswerCancel)
{
    auto press = [](const char* keys) { return [keys](CDlgMsgbx&) { PressKeys(keys); }; };
    EXPECT_EQ(Answer(true,
                     [](CDlgMsgbx& box) {
                         wxWindow* pCancel = OnMain([&] { return box.FindWindow(wxID_CANCEL); });
                         OnMain([&] { pCancel->SetFocus(); return true; });
                         EXPECT_TRUE(WaitOnMain([&] { return pCancel->HasFocus(); }));
                         PressKeys("Return");
                     }),
              wxID_OK)
        << "Enter with Cancel focused";
    EXPECT_EQ(Answer(true, press("Escape")), wxID_CANCEL);
    EXPECT_EQ(Answer(true,
                     [](CDlgMsgbx& box) {
                         const wxRect cancel = OnMain([&] { return ScreenRect(box.FindWindow(wxID_CANCEL)); });
                         ClickAt(cancel.GetPosition() + wxPoint(cancel.width / 2, cancel.height / 2));
                     }),
              wxID_CANCEL);
    EXPECT_EQ(Answer(false, press("Return")), wxID_OK);
    EXPECT_EQ(Answer(false, press("Escape")), wxID_CANCEL);
}

TEST_F(MessageBoxes, TheBoxIsUpWhileItsSoundStillWaitsForAServerThatNeverAnswers)
{
    CSilentServer silent;
    setenv("PULSE_SERVER", silent.Address().c_str(), 1);
    const int nResult = Answer(true, [&](CDlgMsgbx&) {
        ASSERT_TRUE(silent.WaitForClient()) << "the box asked for no sound";
        EXPECT_TRUE(silent.ClientWaits()) << "the sound gave up before the box was up";
        SaveScreenshot("msgbx_question");
        PressKeys("Return");
    });
    EXPECT_EQ(nResult, wxID_OK);
}

TEST_F(MessageBoxes, EachBoxPlaysItsSoundOnTheDefaultOutputAsItOpens)
{
    ASSERT_TRUE(StartSoundDaemon()) << SoundDaemon().Log();
    ASSERT_TRUE(WaitForOutput(0));
    for (bool bQuestion : {false, true})
        Answer(bQuestion, [](CDlgMsgbx&) {
            EXPECT_TRUE(WaitForOutput(MESSAGE_SOUND_FREQUENCY));
            EXPECT_TRUE(WaitForOutput(0));
            PressKeys("Escape");
        });
}
