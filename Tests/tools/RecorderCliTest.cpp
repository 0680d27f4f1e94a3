// The command-line recorder end to end, in real time on the virtual device,
// checked with an independent decoder.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
const std::string kRecorder = std::string(VORANE_APP_DIR) + "/vorane-record";

class RecorderCli : public ::testing::Test
{
protected:
    // Runs the recorder with the output folder of this test; returns its exit status.
    int Run(const std::string& args, std::string* pOutput = nullptr)
    {
        return RunCommand(kRecorder + " --folder '" + m_folder.Path() + "' " + args + " 2>&1", pOutput);
    }
    CTempFolder m_folder{"RecorderCli"};
};
}  // namespace

struct WavCase
{
    const char* pszArgs;
    const char* pszCodec;
    int nRate;
    int nChannels;
};

class RecorderCliWav : public RecorderCli, public ::testing::WithParamInterface<WavCase>
{
};

TEST_P(RecorderCliWav, RecordsTwoWholeSecondsOfTheDefaultLine)
{
    std::string output;
    ASSERT_EQ(0, Run(std::string("--seconds 2 ") + GetParam().pszArgs, &output)) << output;
    std::string path = m_folder.File("Audio0.wav");
    EXPECT_NE(std::string::npos, output.find(path + "\t2 s\t")) << output;
    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(GetParam().pszCodec, decoded.codec);
    EXPECT_EQ(GetParam().nRate, decoded.sampleRate);
    EXPECT_EQ(GetParam().nChannels, decoded.channels);
    EXPECT_DOUBLE_EQ(2.0, decoded.duration);
    // With no line chosen the recorder takes the first line with "Mix" in its name.
    EXPECT_NEAR(1500, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 5);
}

INSTANTIATE_TEST_SUITE_P(Formats, RecorderCliWav,
                         ::testing::Values(WavCase{"", "pcm_s16le", 44100, 2},
                                           WavCase{"--channels 1 --rate 22050 --bits 8", "pcm_u8", 22050, 1}));

TEST_F(RecorderCli, RecordsTheLineChosenByNameOrPosition)
{
    ASSERT_EQ(0, Run("--seconds 1 --line 'Line In' --rate 11025"));
    ASSERT_EQ(0, Run("--seconds 1 --line 0 --rate 11025"));
    EXPECT_NEAR(1000, DominantFrequency(DecodeFile(m_folder.File("Audio0.wav")).firstChannel, 11025), 5);
    EXPECT_NEAR(440, DominantFrequency(DecodeFile(m_folder.File("Audio1.wav")).firstChannel, 11025), 5);
}

TEST_F(RecorderCli, ListsDevicesAndLinesButNoSynthesizer)
{
    std::string output;
    ASSERT_EQ(0, Run("--list", &output));
    EXPECT_NE(std::string::npos, output.find("0: Vorane Virtual Input")) << output;
    EXPECT_NE(std::string::npos, output.find("    2: Stereo Mix")) << output;
    EXPECT_EQ(std::string::npos, output.find("Synth")) << output;
}

TEST_F(RecorderCli, FailuresSayWhatWentWrongAndExitNonZero)
{
    std::string output;
    EXPECT_EQ(1, Run("--seconds 1 --line 7", &output));
    EXPECT_NE(std::string::npos, output.find("Vorane Audio Recorder: Device error.")) << output;
    EXPECT_EQ(1, Run("--seconds 1 --line Headset", &output));
    EXPECT_NE(std::string::npos, output.find("Mixer's line not found.")) << output;
    EXPECT_EQ(1, Run("--seconds 1 --device 'No Such Card'", &output));
    EXPECT_NE(std::string::npos, output.find("Device not found.")) << output;
    EXPECT_EQ(2, Run("--rate 48000", &output));
    EXPECT_NE(std::string::npos, output.find("--rate")) << output;
    struct stat st;
    EXPECT_NE(0, stat(m_folder.File("Audio0.wav").c_str(), &st)) << "no file for a failed start";
}

TEST_F(RecorderCli, CtrlCEndsTheRecordingWithACompleteFile)
{
    std::string path = m_folder.File("Audio0.wav");
    pid_t child = fork();
    if (child == 0)
    {
        execl(kRecorder.c_str(), kRecorder.c_str(), "--folder", m_folder.Path().c_str(), "--seconds", "60",
              "--rate", "11025", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the first second is in the file (a 44-byte header plus 44100 bytes).
    struct stat st{};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!(stat(path.c_str(), &st) == 0 && st.st_size >= 44 + 44100) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_GE(decoded.duration, 1.0);
    EXPECT_LT(decoded.duration, 10.0);
    EXPECT_DOUBLE_EQ(decoded.duration, std::floor(decoded.duration)) << "whole seconds";
}
