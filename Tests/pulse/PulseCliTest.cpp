// The command-line recorder on the sound server: the default output, every line, the listing, a line gone since.
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
    double FrequencyOf(const std::string& path)
    {
        DecodedAudio audio = DecodeFile(path);
        EXPECT_TRUE(audio.ok) << audio.error;
        return audio.ok ? DominantFrequency(audio.firstChannel, audio.sampleRate) : 0;
    }
};

TEST_F(PulseCli, WithNoOptionsItRecordsTheDefaultOutputAndItRecordsFromEveryLineByPositionOrName)
{
    CTonePlayer second;
    ASSERT_TRUE(m_tone.Play(CPulseDaemon::kOutput, 1000));
    ASSERT_TRUE(second.Play(kSecondOutput, 2000));
    std::string output;
    ASSERT_EQ(0, Run("", &output)) << output;
    EXPECT_NEAR(1000, FrequencyOf(m_folder.File("output/Audio0.wav")), 5);

    const double expected[] = {1000, 2000, kSineFrequency};
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_EQ(0, Run("-s 2 -o out -l " + std::to_string(i), &output)) << output;
        EXPECT_NEAR(expected[i], FrequencyOf(m_folder.File("out/Audio" + std::to_string(i) + ".wav")), 5) << i;
    }
    ASSERT_EQ(0, Run("-s 2 -o out -f mp3 -d 'PulseAudio Sound Server' -l 'Stereo Mix (Second Output)'", &output))
        << output;
    EXPECT_NEAR(2000, FrequencyOf(m_folder.File("out/Audio0.mp3")), 5);
}

TEST_F(PulseCli, ItListsTheServersLinesAndALineGoneSinceIsNotFound)
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
}
}  // namespace
