// Programs are looked up on PATH only in absolute folders: one planted in the
// current folder never runs, not even as the desktop helper that opens an address.
#include "Shell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

// PATH and the current folder as a test sets them, put back afterwards.
class ProgramSearch : public ::testing::Test
{
protected:
    ProgramSearch()
    {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            m_oldCwd = cwd;
    }
    ~ProgramSearch() override
    {
        if (!m_oldCwd.empty())
            (void)!chdir(m_oldCwd.c_str());
    }

    // An executable script in folder that notes each run (with its first argument) in the log.
    std::string Plant(const std::string& folder, const std::string& name)
    {
        fs::create_directories(folder);
        const std::string path = folder + "/" + name;
        std::ofstream(path) << "#!/bin/sh\necho \"" << name << " $1\" >> '" << Log() << "'\nexit 0\n";
        chmod(path.c_str(), 0755);
        return path;
    }
    std::string Log() const { return m_folder.File("runs.log"); }
    std::string Runs() const { return fs::exists(Log()) ? ReadFileText(Log()) : ""; }

    CTempFolder m_folder{"ProgramSearch"};
    std::string m_oldCwd;
    CScopedEnv m_path{"PATH", std::nullopt};  // each test sets its own
};

TEST_F(ProgramSearch, OnlyAbsoluteFoldersOfPathAreSearchedInTheirOrder)
{
    const std::string here = m_folder.File("here"), first = m_folder.File("first"), second = m_folder.File("second");
    Plant(here, "tool");
    Plant(here + "/bin", "tool");
    const std::string inSecond = Plant(second, "tool");
    ASSERT_EQ(0, chdir(here.c_str()));

    // Each of these entries means a folder relative to wherever we were started.
    for (const std::string& path : {std::string(":/nonexistent"), std::string("/nonexistent:"), std::string("/a::/b"),
                                    std::string("."), std::string("./"), std::string("bin"), std::string("")})
    {
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ("", FindProgramOnPath("tool")) << "PATH=\"" << path << "\"";
    }

    setenv("PATH", (first + ":.:" + second).c_str(), 1);
    EXPECT_EQ(inSecond, FindProgramOnPath("tool"));
    const std::string inFirst = Plant(first, "tool");
    EXPECT_EQ(inFirst, FindProgramOnPath("tool")) << "the first folder that holds one wins";

    // What is not a program of that name is passed over.
    chmod(inFirst.c_str(), 0644);
    fs::create_directory(first + "/other");
    Plant(second, "other");
    EXPECT_EQ(inSecond, FindProgramOnPath("tool")) << "a file that cannot be run";
    EXPECT_EQ(second + "/other", FindProgramOnPath("other")) << "a folder of that name";
    EXPECT_EQ("", FindProgramOnPath("")) << "no name";
    EXPECT_EQ("", FindProgramOnPath("bin/tool")) << "a path is not a name to look up";
}

TEST_F(ProgramSearch, TheDesktopHelperInTheCurrentFolderIsNeverRunToOpenAnAddress)
{
    const std::string here = m_folder.File("here"), desktop = m_folder.File("desktop");
    Plant(here, "xdg-open");
    Plant(here, "gio");
    ASSERT_EQ(0, chdir(here.c_str()));
    const ShellRequest open{"open", "https://vorane.example.org", "", "", SW_SHOWNORMAL};

    for (const char* path : {":/nonexistent", "/nonexistent:", ".", ""})
    {
        setenv("PATH", path, 1);
        EXPECT_EQ(SE_ERR_NOASSOC, DesktopShellExecute(open)) << "PATH=\"" << path << "\"";
    }
    EXPECT_EQ("", Runs()) << "a helper ran from the current folder";

    // The same helper in a folder PATH names absolutely opens it (the call waits for its verdict).
    Plant(desktop, "xdg-open");
    setenv("PATH", (":" + desktop).c_str(), 1);
    EXPECT_LT(32, DesktopShellExecute(open));
    // A helper slower than the call's wait has still been started: its line comes.
    PollUntil([&] { return !Runs().empty(); }, 10000);
    EXPECT_EQ("xdg-open https://vorane.example.org\n", Runs());
}
}  // namespace
