// The command-line recorder end to end, in real time on the virtual device,
// checked with an independent decoder.
#include "Mp3Frames.h"
#include "OggPages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <strings.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// The recorder on a terminal of its own (a pseudo-terminal it controls, as in a
// terminal window), so it shows its progress and closing the terminal hangs it up.
class CTerminalRecorder
{
public:
    explicit CTerminalRecorder(const std::vector<std::string>& args)
    {
        std::vector<char*> argv{const_cast<char*>(kRecorder.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        m_pid = forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0)
        {
            execv(kRecorder.c_str(), argv.data());
            _exit(127);
        }
    }
    ~CTerminalRecorder()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        CloseTerminal();
    }
    bool Started() const { return m_pid > 0 && m_master >= 0; }

    // Reads the terminal until the text shows; false when the recorder ends first
    // or a generous bound passes (so a hanging recorder fails instead of blocking).
    bool WaitFor(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m_output.find(text) == std::string::npos)
        {
            if (std::chrono::steady_clock::now() > deadline || !ReadSome(200))
                return false;
        }
        return true;
    }
    void Signal(int nSignal) { kill(m_pid, nSignal); }
    // As when the terminal window closes: the kernel hangs up the recorder.
    void CloseTerminal()
    {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
    }
    // Reads what is left and waits for the exit; the wait status.
    int Finish()
    {
        while (m_master >= 0 && ReadSome(-1))
        {
        }
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    const std::string& Output() const { return m_output; }

private:
    bool ReadSome(int nTimeoutMs)
    {
        pollfd fd{m_master, POLLIN, 0};
        int n = poll(&fd, 1, nTimeoutMs);
        if (n == 0)
            return true;
        char buffer[512];
        ssize_t nRead = n > 0 ? read(m_master, buffer, sizeof(buffer)) : -1;
        if (nRead <= 0)
            return false;  // EIO: every end of the terminal is closed, the recorder is gone
        m_output.append(buffer, static_cast<size_t>(nRead));
        return true;
    }

    pid_t m_pid = -1;
    int m_master = -1;
    std::string m_output;
};

const char* const kFormats[] = {"wav", "mp3", "ogg", "wma"};

// A tag whatever the letter case of its key (Vorbis comments are upper case).
std::string Tag(const DecodedAudio& decoded, const std::string& key)
{
    for (const auto& [name, value] : decoded.tags)
        if (strcasecmp(name.c_str(), key.c_str()) == 0)
            return value;
    return {};
}
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

// How a recording can be ended from outside, and in which format.
struct EndCase
{
    const char* pszFormat;
    int nSignal;  // 0: the terminal is closed
};

class RecorderCliEnds : public RecorderCli, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P(RecorderCliEnds, AnEndFromOutsideFinishesTheFileWithEveryWholeSecond)
{
    const std::string format = GetParam().pszFormat;
    const std::string path = m_folder.File("Audio0." + format);
    CTerminalRecorder recorder({"--folder", m_folder.Path(), "--seconds", "60", "--format", format, "--title",
                                "Taken whole"});
    ASSERT_TRUE(recorder.Started());
    ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
    std::string before = recorder.Output();
    if (GetParam().nSignal == 0)
        recorder.CloseTerminal();
    else
        recorder.Signal(GetParam().nSignal);
    const int status = recorder.Finish();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(0, WEXITSTATUS(status)) << recorder.Output();

    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_GE(decoded.duration, 0.9);
    if (format != "wav")
        EXPECT_EQ("Taken whole", Tag(decoded, "title"));
    if (format == "mp3")
    {
        // The tag is written last, by the encoder's close.
        Mp3Walk walk = WalkMp3File(path);
        EXPECT_TRUE(walk.ok) << walk.error;
        EXPECT_EQ(128u, walk.id3v1.size()) << "no closing tag";
    }
    if (format == "ogg")
    {
        OggWalk walk = WalkOggFile(path);
        ASSERT_TRUE(walk.ok) << walk.error;
        ASSERT_FALSE(walk.pages.empty());
        EXPECT_TRUE(walk.pages.back().Eos()) << "no end-of-stream page";
    }
    if (GetParam().nSignal != 0)
    {
        // The length the recorder reports is the one in the file.
        const size_t nLine = recorder.Output().find(path + "\t");
        ASSERT_NE(std::string::npos, nLine) << recorder.Output();
        const int nReported = std::atoi(recorder.Output().c_str() + nLine + path.size() + 1);
        EXPECT_NEAR(nReported, decoded.duration, 0.1);
    }
}

std::string EndCaseName(const ::testing::TestParamInfo<EndCase>& info)
{
    const char* pszHow = info.param.nSignal == 0         ? "TerminalClosed"
                         : info.param.nSignal == SIGHUP  ? "Hangup"
                         : info.param.nSignal == SIGTERM ? "Terminate"
                                                         : "Interrupt";
    return std::string(pszHow) + "_" + info.param.pszFormat;
}

INSTANTIATE_TEST_SUITE_P(Signals, RecorderCliEnds,
                         ::testing::Values(EndCase{"wav", SIGHUP}, EndCase{"mp3", SIGHUP}, EndCase{"ogg", SIGHUP},
                                           EndCase{"wma", SIGHUP}, EndCase{"mp3", SIGTERM}, EndCase{"ogg", SIGINT},
                                           EndCase{"wav", 0}, EndCase{"mp3", 0}),
                         EndCaseName);

class RecorderCliFormats : public RecorderCli, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(RecorderCliFormats, AStopBeforeTheFirstSecondKeepsNoFileAndSaysSo)
{
    std::string output;
    EXPECT_EQ(1, Run(std::string("--seconds 0.3 --format ") + GetParam(), &output));
    EXPECT_NE(std::string::npos, output.find("nothing was recorded, so no file was kept")) << output;
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path())) << "a file was left";
}

TEST_P(RecorderCliFormats, AFullDiskAtTheStartNeverClaimsASavedRecording)
{
    // A file size limit of zero: the first write fails as on a full disk.
    std::string output;
    const int nStatus = RunCommand("trap '' XFSZ; ulimit -f 0; exec " + kRecorder + " --folder '" + m_folder.Path() +
                                       "' --seconds 2 --format " + GetParam() + " 2>&1",
                                   &output);
    EXPECT_EQ(1, nStatus) << output;
    EXPECT_EQ(std::string::npos, output.find(" is saved")) << output;
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path())) << "a file was left";
}

INSTANTIATE_TEST_SUITE_P(Formats, RecorderCliFormats, ::testing::ValuesIn(kFormats));

TEST_F(RecorderCli, AnOutputFolderRemovedDuringTheRecordingIsNamedAsTheCause)
{
    const std::string folder = m_folder.File("takes");
    CTerminalRecorder recorder({"--folder", folder, "--seconds", "60", "--rate", "11025"});
    ASSERT_TRUE(recorder.Started());
    ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
    std::filesystem::remove_all(folder);
    recorder.Signal(SIGINT);
    const int status = recorder.Finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status));
    EXPECT_NE(std::string::npos, recorder.Output().find("The output folder \"" + folder + "\" was removed"))
        << recorder.Output();
    EXPECT_EQ(std::string::npos, recorder.Output().find("first second")) << recorder.Output();
}
