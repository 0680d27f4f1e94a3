// Which of the desktop's sound tools each Output formats button opens, by what
// is installed: tried in order, a terminal mixer only where both the terminal
// and the mixer exist, and nothing at all where none is.
#include "Shell.h"
#include "SoundTools.h"
#include "TestSupport.h"
#include "EncoderFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace
{
class SoundTools : public ::testing::Test
{
protected:
    void SetUp() override { m_oldPath = getenv("PATH"); }
    void TearDown() override { setenv("PATH", m_oldPath.c_str(), 1); }

    // PATH becomes the folder with these programs (scripts), and perhaps more folders after it.
    void Install(const std::vector<std::string>& programs, const std::string& more = "")
    {
        for (const std::string& program : programs)
        {
            std::ofstream(m_bin.File(program)) << "#!/bin/sh\nexit 0\n";
            std::filesystem::permissions(m_bin.File(program), std::filesystem::perms::owner_all);
        }
        setenv("PATH", (m_bin.Path() + more).c_str(), 1);
    }
    std::optional<std::pair<std::string, std::string>> Tool(SoundPanel panel)
    {
        std::optional<SoundTool> tool = FindSoundTool(panel);
        if (!tool)
            return std::nullopt;
        return std::make_pair(tool->program.substr(m_bin.Path().size() + 1), tool->parameters);
    }
    using Found = std::optional<std::pair<std::string, std::string>>;

    CTempFolder m_bin{TestFolderName()};
    std::string m_oldPath;
};
}  // namespace

TEST_F(SoundTools, EachPanelTakesTheFirstOfItsProgramsThatIsInstalled)
{
    Install({"gnome-control-center", "pavucontrol", "x-terminal-emulator", "alsamixer"});
    EXPECT_EQ(Found({"gnome-control-center", "sound"}), Tool(SoundPanel::Settings));
    EXPECT_EQ(Found({"pavucontrol", "-t 3"}), Tool(SoundPanel::Volume));
    EXPECT_EQ(Found({"pavucontrol", "-t 4"}), Tool(SoundPanel::Recording));

    std::filesystem::remove(m_bin.File("pavucontrol"));
    EXPECT_EQ(Found({"x-terminal-emulator", "-e alsamixer"}), Tool(SoundPanel::Volume));
    EXPECT_EQ(Found({"x-terminal-emulator", "-e alsamixer -V capture"}), Tool(SoundPanel::Recording));

    // A terminal without the mixer opens nothing of it.
    std::filesystem::remove(m_bin.File("alsamixer"));
    EXPECT_EQ(Found({"gnome-control-center", "sound"}), Tool(SoundPanel::Volume));
    std::filesystem::remove(m_bin.File("gnome-control-center"));
    EXPECT_EQ(std::nullopt, Tool(SoundPanel::Settings));
    EXPECT_EQ(std::nullopt, Tool(SoundPanel::Recording));
}

TEST_F(SoundTools, WithNoToolInstalledNothingIsOpenedAndTheCurrentFolderIsNeverSearched)
{
    int nRequests = 0;
    ShellHandler previous = SetShellHandler([&](const ShellRequest&) { return INT_PTR(++nRequests + 32); });
    // An empty PATH entry would mean the current folder, where a program of that name waits.
    Install({"pavucontrol"});
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof(cwd)));
    ASSERT_EQ(0, chdir(m_bin.Path().c_str()));
    setenv("PATH", ":/nonexistent", 1);
    for (SoundPanel panel : {SoundPanel::Settings, SoundPanel::Volume, SoundPanel::Recording})
        EXPECT_FALSE(OpenSoundPanel(panel, nullptr));
    ASSERT_EQ(0, chdir(cwd));
    EXPECT_EQ(0, nRequests);

    setenv("PATH", (std::string("/nonexistent:") + m_bin.Path()).c_str(), 1);
    EXPECT_TRUE(OpenSoundPanel(SoundPanel::Recording, nullptr));
    EXPECT_EQ(1, nRequests);
    SetShellHandler(previous);
}
