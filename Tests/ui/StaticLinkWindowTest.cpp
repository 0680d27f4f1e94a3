// The link static: its colours through hover, click and leave; a link the desktop cannot open stays unvisited.
#include "StaticLink.h"
#include "TestSupport.h"
#include "UiTestSupport.h"

#include <wx/panel.h>
#include <wx/stattext.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

class StaticLinkWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = SetShellHandler(nullptr);
        MoveMouse(wxPoint(2, 2));
        m_pFrame = new wxFrame(nullptr, wxID_ANY, "Links", wxPoint(60, 60), wxSize(460, 180));
        m_pPanel = new wxPanel(m_pFrame);
        new wxStaticText(m_pPanel, 1020, "Acknowledgments : LAME codec for MP3 encoding", wxPoint(20, 30),
                         wxSize(380, 24), wxALIGN_LEFT | wxST_NO_AUTORESIZE);
        m_pLink = new CStaticLink();
        m_pLink->SetLink("https://lame.example.org/");
        ASSERT_TRUE(m_pLink->SubclassDlgItem(1020, m_pPanel));
        m_pFrame->Show();
        ASSERT_TRUE(WaitUntil([&] { return m_pFrame->IsActive() && m_pLink->IsShownOnScreen(); }));
        ASSERT_TRUE(WaitUntil([&] { return TextPixels(CStaticLink::g_colorUnvisited) > 20; }));
    }

    void TearDown() override
    {
        DestroyAndWait(m_pFrame);
        SetShellHandler(m_previous);
    }

    int TextPixels(const wxColour& colour) const
    {
        return CountPixels(m_pLink->GetScreenRect(), [&](const wxColour& c) { return SameColour(c, colour, 40); });
    }
    bool Shows(const wxColour& colour) const { return SameColour(m_pLink->GetCurrentColor(), colour) && TextPixels(colour) > 20; }
    wxPoint OnText(int x = 30) const { return m_pLink->ClientToScreen(wxPoint(x, m_pLink->GetClientSize().y / 2)); }

    ShellHandler m_previous;
    wxFrame* m_pFrame = nullptr;
    wxPanel* m_pPanel = nullptr;
    CStaticLink* m_pLink = nullptr;
};

TEST_F(StaticLinkWindow, ALinkTheDesktopCannotOpenStaysBlueWhileAnOpenedOneTurnsPurple)
{
    // The real shell, whose xdg-open fails as for a mail address nothing here handles.
    CTempFolder bin("link-bin-" + std::to_string(getpid()));
    const std::string log = bin.File("opened.txt");
    std::ofstream(bin.File("xdg-open")) << "#!/bin/sh\necho \"$1\" > '" << log << "'\nexit 4\n";
    chmod(bin.File("xdg-open").c_str(), 0755);
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin.Path() + ":/usr/bin:/bin").c_str(), 1);
    m_pLink->SetLink("mailto:support@vorane.example.org");
    auto hoverAndLeave = [&](int x, const std::function<void()>& clicked) {  // apart, so no double click
        MoveMouse(OnText(x));
        ASSERT_TRUE(WaitUntil([&] { return m_pLink->IsMouseOver() && Shows(CStaticLink::g_colorOver); }));
        Xdo("click 1");
        clicked();
        MoveMouse(wxPoint(2, 2));
        ASSERT_TRUE(WaitUntil([&] { return !m_pLink->IsMouseOver() && Shows(CStaticLink::g_colorUnvisited); }));
        EXPECT_EQ(TextPixels(CStaticLink::g_colorVisited), 0);
    };
    hoverAndLeave(30, [&] {
        std::vector<uint8_t> opened;
        ASSERT_TRUE(WaitUntil([&] { return !(opened = ReadFileBytes(log)).empty(); })) << "xdg-open was not run";
        EXPECT_EQ(std::string(opened.begin(), opened.end()), "mailto:support@vorane.example.org\n");
        EXPECT_TRUE(Shows(CStaticLink::g_colorOver));
    });
    setenv("PATH", path.c_str(), 1);

    CShellRecorder shell;
    m_pLink->SetLink("https://lame.example.org/");
    hoverAndLeave(90, [&] {
        EXPECT_TRUE(WaitUntil([&] { return shell.requests.size() == 1 && Shows(CStaticLink::g_colorVisited); }));
        EXPECT_EQ(shell.requests, std::vector<std::string>{"open https://lame.example.org/"});
    });
}
