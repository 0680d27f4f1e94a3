// Where the program finds itself and how it makes folders. A program of its
// own, so nothing has moved the application directory yet.
#include "AppPaths.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

TEST(AppFolders, TheAppDirectoryIsTheProgramsFolderWithoutATrailingSlash)
{
    char szReal[PATH_MAX];
    ASSERT_TRUE(realpath(VORANE_TEST_BINARY_DIR, szReal));
    EXPECT_EQ(std::string(szReal), GetAppDir());
}

TEST(AppFolders, MakeFoldersCreatesEveryMissingParentAndFailsBelowAFile)
{
    CTempFolder tmp("AppFolders");
    EXPECT_TRUE(MakeFolders(tmp.File("a/b/c/")));
    EXPECT_TRUE(std::filesystem::is_directory(tmp.File("a/b/c")));
    EXPECT_TRUE(MakeFolders(tmp.File("a/b")));
    std::ofstream(tmp.File("file")) << "x";
    EXPECT_FALSE(MakeFolders(tmp.File("file/sub")));
    EXPECT_FALSE(MakeFolders(tmp.File("file")));
    EXPECT_FALSE(MakeFolders(""));
}
