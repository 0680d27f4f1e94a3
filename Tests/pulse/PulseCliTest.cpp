// The command-line recorder on the sound server: the listing, a line by name, and a line gone since it was listed.
#include "PulseTestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace
{
class PulseCli : public CPulseTest
{
protected:
    int Run(const std::string& options, std::string* pOutput)
    {
        return RunCommand("cd '" + m_folder.Path() + "' && '" + std::string(VORANE_APP_DIR) + "/vorane-record' " +
                              options + " 2>&1",
                          pOutput);
    }
};

TEST_F(PulseCli, ItListsTheServersLinesRecordsOneByNameAndALineGoneSinceIsNotFound)
{
    std::string index, output;
    ASSERT_EQ(0, Pactl("load-module module-null-sink sink_name=vorane_extra sink_properties=device.description=Extra",
                       &index));
    ASSERT_EQ(0, Run("--list", &output));
    EXPECT_EQ("0: PulseAudio Sound Server\n"
              "    0: Stereo Mix\n"
              "    1: Stereo Mix (Second Output)\n"
              "    2: Sine source at 440 Hz\n"
              "    3: Stereo Mix (Extra)\n"
              "1: Vorane Virtual Input\n"
              "    0: Microphone\n"
              "    1: Line In\n"
              "    2: Stereo Mix\n",
              output);
    ASSERT_EQ(0, Pactl("unload-module " + std::to_string(std::atoi(index.c_str()))));

    EXPECT_EQ(1, Run("-s 1 -o out -l 'Stereo Mix (Extra)'", &output));
    EXPECT_NE(std::string::npos, output.find("Mixer's line not found.")) << output;
    EXPECT_FALSE(std::filesystem::exists(m_folder.File("out/Audio0.wav")));

    // A line of the server by its name records that output, not the default one.
    ASSERT_TRUE(m_tone.Play(kSecondOutput, 2000));
    ASSERT_EQ(0, Run("-s 2 -o out -f mp3 -l 'Stereo Mix (Second Output)'", &output)) << output;
    DecodedAudio audio = DecodeFile(m_folder.File("out/Audio0.mp3"));
    EXPECT_NEAR(2000, DominantFrequency(audio.firstChannel, audio.sampleRate), 5) << audio.error;
}
}  // namespace
