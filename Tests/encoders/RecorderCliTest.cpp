// The command-line recorder per format: real recordings with the settings given, and
// settings the encoder cannot take refused with their reason and no file left.
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

TEST(RecorderCli, EachFormatRecordsWithItsSettingsOrRefusesWithItsReason)
{
    const std::string program = std::string(VORANE_APP_DIR) + "/vorane-record";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build vorane-record first";
    const std::string year = std::to_string(CurrentYear() - 2);
    struct Case
    {
        std::string args;
        int status;
        std::string output;  // a text the output must hold, or "" for a recording
    };
    const Case cases[] = {
        {"-f mp3 -s 2 -l 'Line In' --mp3-bitrate 128 --title 'Cli Title' --artist 'Cli Artist' --album '' --year " +
             year,
         0, ""},
        {"-f ogg -s 1 --ogg-mode vbr --ogg-min 256 --ogg-max 96", 1,
         "The minimum bitrate is above the maximum bitrate"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.args);
        CTempFolder folder(TestFolderName() + "-cli");
        std::string output;
        EXPECT_EQ(c.status, RunCommand(program + " -o " + folder.Path() + " -d 'Vorane Virtual Input' " + c.args +
                                           " 2>&1",
                                       &output))
            << output;
        if (!c.output.empty())
        {
            EXPECT_NE(std::string::npos, output.find(c.output)) << output;
            EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
            continue;
        }
        DecodedAudio decoded = DecodeFile(folder.File("Audio0.mp3"));
        ASSERT_TRUE(decoded.ok) << decoded.error << output;
        EXPECT_EQ(std::make_tuple(44100, 2, 128000), std::make_tuple(decoded.sampleRate, decoded.channels,
                                                                     static_cast<int>(decoded.bitRate)));
        EXPECT_EQ((std::vector<std::string>{"Cli Title", "Cli Artist", year}),
                  (std::vector<std::string>{decoded.tags["title"], decoded.tags["artist"], decoded.tags["date"]}));
        EXPECT_EQ(0u, decoded.tags.count("album"));
        EXPECT_GE(decoded.duration, 2.0);
        EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
    }
}
