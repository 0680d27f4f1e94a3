// The command-line recorder makes a real MP3 recording from the virtual device in
// real time, with the bitrate, line and tags it was given.
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(Mp3Cli, RecordsATaggedMp3OfTheChosenLineAtTheChosenBitrate)
{
    const std::string program = std::string(VORANE_APP_DIR) + "/vorane-record";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build vorane-record first";
    CTempFolder folder(TestFolderName() + "-mp3cli");
    const int nYear = CurrentYear() - 2;

    std::string output;
    int nStatus = RunCommand(program + " -f mp3 -s 2 -o " + folder.Path() +
                                 " -d 'Vorane Virtual Input' -l 'Line In' --mp3-bitrate 128"
                                 " --title 'Cli Title' --artist 'Cli Artist' --album '' --year " +
                                 std::to_string(nYear) + " 2>&1",
                             &output);
    ASSERT_EQ(0, nStatus) << output;
    const std::string path = folder.File("Audio0.mp3");
    ASSERT_TRUE(std::filesystem::exists(path)) << output;

    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(44100, decoded.sampleRate);
    EXPECT_EQ(2, decoded.channels);
    EXPECT_EQ(128000, decoded.bitRate);
    EXPECT_EQ("Cli Title", decoded.tags["title"]);
    EXPECT_EQ("Cli Artist", decoded.tags["artist"]);
    EXPECT_EQ(std::to_string(nYear), decoded.tags["date"]);
    EXPECT_EQ(0u, decoded.tags.count("album"));
    EXPECT_GE(decoded.duration, 2.0);
    EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
}
