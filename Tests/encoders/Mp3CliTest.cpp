// The command-line recorder makes a real MP3 recording from the virtual device in
// real time, with the bitrate, line and tags it was given.
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

TEST(Mp3Cli, RecordsATaggedMp3OfTheChosenLineAtTheChosenBitrate)
{
    const std::string program = std::string(VORANE_APP_DIR) + "/vorane-record";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build vorane-record first";
    CTempFolder folder(TestFolderName() + "-mp3cli");
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int nYear = local.tm_year + 1900 - 2;

    std::string output;
    int nStatus = RunCommand(program + " -f mp3 -s 2 -o " + folder.Path() +
                                 " -d 'Vorane Virtual Input' -l 'Line In' --mp3-bitrate 128"
                                 " --title 'Cli Title' --artist 'Cli Artist' --album '' --year " +
                                 std::to_string(nYear) + " 2>&1",
                             &output);
    ASSERT_EQ(0, nStatus) << output;
    const std::string path = folder.File("Audio0.mp3");
    ASSERT_TRUE(std::filesystem::exists(path)) << output;

    std::string probe;
    ASSERT_EQ(0, RunCommand("ffprobe -v error -show_entries stream=sample_rate,channels,bit_rate:format_tags "
                            "-of default=noprint_wrappers=1 '" + path + "'",
                            &probe));
    EXPECT_NE(std::string::npos, probe.find("sample_rate=44100")) << probe;
    EXPECT_NE(std::string::npos, probe.find("channels=2")) << probe;
    EXPECT_NE(std::string::npos, probe.find("bit_rate=128000")) << probe;
    EXPECT_NE(std::string::npos, probe.find("TAG:title=Cli Title")) << probe;
    EXPECT_NE(std::string::npos, probe.find("TAG:artist=Cli Artist")) << probe;
    EXPECT_NE(std::string::npos, probe.find("TAG:date=" + std::to_string(nYear))) << probe;
    EXPECT_EQ(std::string::npos, probe.find("TAG:album=")) << probe;

    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_GE(decoded.duration, 2.0);
    EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
}
