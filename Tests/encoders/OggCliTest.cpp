// The command-line recorder with OGG settings the encoder cannot take: the user
// is told why, and no file is left behind.
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(OggCli, AMinimumAboveTheMaximumStopsTheStartWithItsReason)
{
    const std::string program = std::string(VORANE_APP_DIR) + "/vorane-record";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build vorane-record first";
    CTempFolder folder(TestFolderName() + "-oggcli");
    std::string output;
    int nStatus = RunCommand(program + " -f ogg -s 1 -o " + folder.Path() +
                                 " -d 'Vorane Virtual Input' --ogg-mode vbr --ogg-min 256 --ogg-max 96 2>&1",
                             &output);
    EXPECT_EQ(1, nStatus);
    EXPECT_NE(std::string::npos, output.find("The minimum bitrate is above the maximum bitrate")) << output;
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}
