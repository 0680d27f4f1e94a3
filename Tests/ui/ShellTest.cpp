// The shell stand-in, with a fake xdg-open first on PATH that logs its arguments.
#include "Shell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

class ShellStandIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mkdir(m_bin.c_str(), 0755);
        setenv("PATH", (m_bin + ":/usr/bin:/bin").c_str(), 1);
    }
    void Helper(const std::string& body)
    {
        std::ofstream(m_bin + "/xdg-open") << "#!/bin/sh\necho \"xdg-open $*\" >> '" << m_log << "'\n" << body;
        chmod((m_bin + "/xdg-open").c_str(), 0755);
    }
    std::string Log() const
    {
        std::stringstream text;
        text << std::ifstream(m_log).rdbuf();
        return text.str();
    }
    // The helpers run detached, so they finish on their own time.
    bool WaitForLog(const std::string& text) const
    {
        for (int i = 0; i < 2000 && Log().find(text) == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Log().find(text) != std::string::npos;
    }
    static INT_PTR Shell(const char* verb, const std::string& file, const char* directory = nullptr)
    {
        return ShellExecuteA(nullptr, verb, file.c_str(), nullptr, directory, SW_SHOW);
    }

    CTempFolder m_folder{"shell-" + std::to_string(getpid())};
    std::string m_bin = m_folder.File("bin");
    std::string m_log = m_folder.File("log.txt");
};

TEST_F(ShellStandIn, AHelperStillRunningAfterTheWaitIsASuccessAndLeavesNoChildBehind)
{
    const std::string release = m_folder.File("release");
    Helper("for i in $(seq 1 400); do [ -e '" + release + "' ] && { echo released >> '" + m_log +
           "'; exit 0; }; sleep 0.05; done\n");
    EXPECT_GT(Shell("open", "https://example.org/lame"), 32);
    std::ofstream(release) << "go";
    EXPECT_TRUE(WaitForLog("xdg-open https://example.org/lame\nreleased\n")) << Log();
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child is left to reap";
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellStandIn, BadRequestsStartNothingAndAHelperThatGivesUpIsAFailure)
{
    Helper("[ \"$1\" != mailto:a@b.example ]\n");
    const std::string file = m_folder.File("Audio1.ogg");
    std::ofstream(file) << "OggS";
    EXPECT_EQ(Shell("explore", file), SE_ERR_PNF);
    EXPECT_EQ(Shell("open", m_folder.File("Audio9.ogg")), SE_ERR_FNF);
    EXPECT_EQ(Shell("open", ""), SE_ERR_FNF);
    EXPECT_EQ(Shell("open", "x", m_folder.File("nowhere").c_str()), SE_ERR_PNF);
    EXPECT_EQ(Shell("print", m_folder.Path()), SE_ERR_NOASSOC);
    EXPECT_EQ(Log(), "");

    EXPECT_EQ(Shell("open", "mailto:a@b.example"), SE_ERR_NOASSOC);
    EXPECT_GT(Shell("explore", m_folder.Path()), 32);
    EXPECT_GT(Shell(nullptr, file), 32);
    EXPECT_TRUE(WaitForLog("xdg-open mailto:a@b.example\nxdg-open " + m_folder.Path() + "\nxdg-open " + file)) << Log();
}
