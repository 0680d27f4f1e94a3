// The folder the output folder's chooser opens at.
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

TEST(ChooserFolder, AnExistingFolderItselfElseTheNearestFolderAboveThatExistsAlwaysAbsolute)
{
    CTempFolder folder("chooser");
    std::filesystem::create_directories(folder.File("takes"));
    std::ofstream(folder.File("a file")) << "x";
    EXPECT_EQ(NearestExistingFolder(folder.File("takes")), folder.File("takes"));
    EXPECT_EQ(NearestExistingFolder(folder.File("takes/")), folder.File("takes/"));
    EXPECT_EQ(NearestExistingFolder(folder.File("takes/gone/deeper/")), folder.File("takes"));
    EXPECT_EQ(NearestExistingFolder(folder.File("a file")), folder.Path());
    EXPECT_EQ(NearestExistingFolder("/no-such-folder-" + std::to_string(getpid())), "/");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(NearestExistingFolder("gone-" + std::to_string(getpid()) + "/x"), cwd);
    EXPECT_EQ(NearestExistingFolder(""), "");
}
