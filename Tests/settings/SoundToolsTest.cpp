// Which of the desktop's sound tools each Output formats button opens, by what is installed.
#include "Shell.h"
#include "SoundTools.h"
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

class SoundTools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* pszProgram : {"gnome-control-center", "pavucontrol", "x-terminal-emulator", "alsamixer"})
        {
            std::ofstream(m_bin.File(pszProgram)) << "#!/bin/sh\nexit 0\n";
            std::filesystem::permissions(m_bin.File(pszProgram), std::filesystem::perms::owner_all);
        }
        setenv("PATH", m_bin.Path().c_str(), 1);
    }
    void TearDown() override { setenv("PATH", m_oldPath.c_str(), 1); }
    std::string Tool(SoundPanel panel)
    {
        std::optional<SoundTool> tool = FindSoundTool(panel);
        return tool ? tool->program.substr(m_bin.Path().size() + 1) + " " + tool->parameters : "none";
    }
    CTempFolder m_bin{TestFolderName()};
    std::string m_oldPath = getenv("PATH");
};

TEST_F(SoundTools, EachPanelTakesTheFirstOfItsProgramsThatIsInstalled)
{
    using V = std::vector<std::string>;
    auto all = [&] { return V{Tool(SoundPanel::Settings), Tool(SoundPanel::Volume), Tool(SoundPanel::Recording)}; };
    EXPECT_EQ((V{"gnome-control-center sound", "pavucontrol -t 3", "pavucontrol -t 4"}), all());
    std::filesystem::remove(m_bin.File("pavucontrol"));
    EXPECT_EQ((V{"gnome-control-center sound", "x-terminal-emulator -e alsamixer",
                 "x-terminal-emulator -e alsamixer -V capture"}), all());
    std::filesystem::remove(m_bin.File("alsamixer"));  // a terminal without the mixer opens nothing of it
    EXPECT_EQ(V(3, "gnome-control-center sound"), all());
    std::filesystem::remove(m_bin.File("gnome-control-center"));
    EXPECT_EQ((V{"none", "none", "none"}), all());
}

TEST_F(SoundTools, TheCurrentFolderIsNeverSearched)
{
    int nRequests = 0;
    ShellHandler previous = SetShellHandler([&](const ShellRequest&) { return INT_PTR(++nRequests + 32); });
    // An empty PATH entry, "." or the folder's own relative name would all mean the current
    // folder, where a program of each name waits.
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
    ASSERT_EQ(0, chdir(m_bin.Path().c_str()));
    const std::string relative = "../" + std::filesystem::path(m_bin.Path()).filename().string();
    for (const std::string& path : {std::string(":/nonexistent"), std::string("/nonexistent:"), std::string("."), relative})
    {
        setenv("PATH", path.c_str(), 1);
        for (SoundPanel panel : {SoundPanel::Settings, SoundPanel::Volume, SoundPanel::Recording})
            EXPECT_FALSE(OpenSoundPanel(panel, nullptr)) << "PATH=\"" << path << "\"";
    }
    ASSERT_EQ(0, chdir(cwd));
    EXPECT_EQ(0, nRequests);
    setenv("PATH", ("/nonexistent:" + m_bin.Path()).c_str(), 1);
    EXPECT_TRUE(OpenSoundPanel(SoundPanel::Recording, nullptr));
    EXPECT_EQ(1, nRequests);
    SetShellHandler(previous);
}
