// The shell stand-in: a helper that gives up is a failure, not a success.
#include "Shell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

TEST(ShellStandIn, AHelperThatGivesUpIsAFailure)
{
    CTempFolder folder("shell-" + std::to_string(getpid()));
    const std::string bin = folder.File("bin");
    mkdir(bin.c_str(), 0755);
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nexit 4\n";
    chmod((bin + "/xdg-open").c_str(), 0755);
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    EXPECT_EQ(ShellExecuteA(nullptr, "open", "mailto:a@b.example", nullptr, nullptr, SW_SHOW), SE_ERR_NOASSOC);
}
