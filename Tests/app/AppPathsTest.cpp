// Where the program finds itself. A program of its own, so nothing has moved the application directory yet.
#include "AppPaths.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

TEST(AppFolders, TheAppDirectoryIsTheProgramsFolderWithoutATrailingSlash)
{
    char szReal[PATH_MAX];
    ASSERT_TRUE(realpath(VORANE_TEST_BINARY_DIR, szReal));
    EXPECT_EQ(std::string(szReal), GetAppDir());
}
