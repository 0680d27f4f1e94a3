// The shell stand-in: what it hands to the desktop helper, and that every
// failure comes back as a result. The helpers are
// fake scripts placed first on PATH; they log their arguments.
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

namespace
{
std::string ReadText(const std::string& path)
{
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

void WriteScript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

// Waits (bounded) until the file holds the text; the helpers run detached, so they finish on their own time.
bool WaitForText(const std::string& path, const std::string& text)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadText(path).find(text) == std::string::npos)
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

INT_PTR Shell(const char* verb, const std::string& file, const char* parameters = nullptr,
              const char* directory = nullptr)
{
    return ShellExecuteA(nullptr, verb, file.c_str(), parameters, directory, SW_SHOW);
}
}  // namespace

class ShellStandIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mkdir(m_bin.c_str(), 0755);
        // The helpers need only sh and the shell's own commands.
        setenv("PATH", (m_bin + ":/usr/bin:/bin").c_str(), 1);
    }

    // Named per process: ctest runs tests of this fixture side by side.
    CTempFolder m_folder{"shell-" + std::to_string(getpid())};
    std::string m_bin = m_folder.File("bin");
    std::string m_log = m_folder.File("log.txt");
};

TEST_F(ShellStandIn, OpenHandsAnAddressToXdgOpenDetachedAndAHelperStillRunningAfterTheWaitHasSucceeded)
{
    // This helper stays until the test releases it, long after the call has stopped waiting for it.
    std::string release = m_folder.File("release");
    WriteScript(m_bin + "/xdg-open", "echo \"xdg-open $*\" >> '" + m_log + "'\nfor i in $(seq 1 400); do [ -e '" +
                                         release + "' ] && { echo released >> '" + m_log +
                                         "'; exit 0; }; sleep 0.05; done\necho timed-out >> '" + m_log + "'\n");

    INT_PTR result = Shell("open", "https://example.org/lame");
    std::ofstream(release) << "go";

    EXPECT_GT(result, 32);
    ASSERT_TRUE(WaitForText(m_log, "xdg-open https://example.org/lame"));
    ASSERT_TRUE(WaitForText(m_log, "released")) << ReadText(m_log);
    EXPECT_EQ(ReadText(m_log).find("timed-out"), std::string::npos);
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child is left to reap";
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellStandIn, BadRequestsAreResultsThatStartNothingAndDocumentsAndFoldersGoToTheDesktop)
{
    WriteScript(m_bin + "/xdg-open", "echo \"xdg-open $*\" >> '" + m_log + "'\n");
    std::string file = m_folder.File("Audio1.ogg");
    std::ofstream(file) << "OggS";

    EXPECT_EQ(Shell("explore", file), SE_ERR_PNF);
    EXPECT_EQ(Shell("explore", m_folder.File("gone")), SE_ERR_PNF);
    EXPECT_EQ(Shell("open", m_folder.File("Audio9.ogg")), SE_ERR_FNF);
    EXPECT_EQ(Shell("open", ""), SE_ERR_FNF);
    EXPECT_EQ(Shell("open", "x", nullptr, m_folder.File("nowhere").c_str()), SE_ERR_PNF);
    EXPECT_EQ(Shell("print", m_folder.Path()), SE_ERR_NOASSOC);
    EXPECT_EQ(ReadText(m_log), "");

    EXPECT_GT(Shell("explore", m_folder.Path()), 32);
    EXPECT_TRUE(WaitForText(m_log, "xdg-open " + m_folder.Path() + "\n"));
    // Without a verb, the verb is open.
    EXPECT_GT(Shell(nullptr, file), 32);
    EXPECT_TRUE(WaitForText(m_log, "xdg-open " + file));
}

TEST_F(ShellStandIn, AHelperThatGivesUpIsAFailureAndOneThatEndsWellIsASuccess)
{
    // As xdg-open does for a mail address nothing on this desktop handles.
    WriteScript(m_bin + "/xdg-open", "echo \"xdg-open $*\" >> '" + m_log +
                                         "'\nexit 4\n");
    EXPECT_EQ(Shell("open", "mailto:a@b.example"), SE_ERR_NOASSOC);
    EXPECT_EQ(Shell("explore", m_folder.Path()), SE_ERR_NOASSOC);
    EXPECT_EQ(ReadText(m_log), "xdg-open mailto:a@b.example\nxdg-open " + m_folder.Path() + "\n");

    // Where xdg-open is missing, gio's verdict counts the same way.
    unlink((m_bin + "/xdg-open").c_str());
    WriteScript(m_bin + "/gio", "echo \"gio $*\" >> '" + m_log + "'\nsleep 0.2\n[ \"$2\" = mailto:ok@b.example ]\n");
    EXPECT_GT(Shell("open", "mailto:ok@b.example"), 32);
    EXPECT_EQ(Shell("open", "mailto:a@b.example"), SE_ERR_NOASSOC);
    EXPECT_TRUE(WaitForText(m_log, "gio open mailto:ok@b.example\ngio open mailto:a@b.example\n"));
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "no child is left to reap";
    EXPECT_EQ(errno, ECHILD);
}
