// The message boxes: a sound that never holds the box up, the error box's icon.
#include "UiTestSupport.h"
#include "DlgMsgbx.h"
#include "TestSupport.h"

#include <wx/artprov.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
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

class MessageBoxes : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_pFrame = ShowOwnerFrame()); }
    void TearDown() override { DestroyAndWait(m_pFrame); }

    int Answer(bool bQuestion, const std::function<void(CDlgMsgbx&)>& act)
    {
        const wxString text = "Are you sure?";
        std::unique_ptr<CDlgMsgbx> pBox(bQuestion ? new CDlgMsgbx_(m_pFrame, text) : new CDlgMsgbx(m_pFrame, text));
        return RunModal(*pBox, [&] {
            EXPECT_EQ(WaitForMessageBox(), text.utf8_string());
            act(*pBox);
        });
    }

    wxFrame* m_pFrame = nullptr;
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
