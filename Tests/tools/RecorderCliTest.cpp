// The command-line recorder end to end, in real time on the virtual device,
// checked with an independent decoder.
#include "EncoderFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <poll.h>
#include <thread>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
const std::string kRecorder = std::string(VORANE_APP_DIR) + "/vorane-record";

// The recorder on a pseudo-terminal of its own, so it shows its progress as in a terminal window.
class CTerminalRecorder
{
public:
    explicit CTerminalRecorder(std::vector<std::string> args)
    {
        args.insert(args.begin(), kRecorder);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
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
        if (m_master >= 0)
            close(m_master);
    }
    // Reads the terminal until the text shows (nTimes in all); false when the recorder ends first or a
    // generous bound passes.
    bool WaitFor(const std::string& text, int nTimes = 1)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Count(text) < nTimes)
            if (std::chrono::steady_clock::now() > deadline || !ReadSome(200))
                return false;
        return true;
    }
    int Count(const std::string& text) const
    {
        int n = 0;
        for (size_t at = m_output.find(text); at != std::string::npos; at = m_output.find(text, at + 1))
            ++n;
        return n;
    }
    // Keys typed on the terminal.
    void Type(const std::string& keys) { EXPECT_EQ(static_cast<ssize_t>(keys.size()), write(m_master, keys.data(), keys.size())); }
    // The terminal edits lines and echoes them, as a shell left it.
    bool IsCooked() const
    {
        termios t{};
        return tcgetattr(m_master, &t) == 0 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
    }
    void Signal(int nSignal) { kill(m_pid, nSignal); }
    // Sends the signal (0: none), reads what is left and waits for the exit; the wait status.
    int End(int nSignal)
    {
        if (nSignal)
            kill(m_pid, nSignal);
        while (ReadSome(-1))
            ;
        int status = 0;
        waitpid(std::exchange(m_pid, -1), &status, 0);
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

class RecorderCli : public ::testing::TestWithParam<const char*>
{
protected:
    CTempFolder m_folder{"RecorderCli"};
};
}  // namespace

// The length the recorder reports for the file, from its line "<path>\t<seconds> s\t<bytes> bytes".
double ReportedSeconds(const std::string& output, const std::string& path)
{
    const size_t nLine = output.find(path + "\t");
    return nLine == std::string::npos ? -1 : std::atof(output.c_str() + nLine + path.size() + 1);
}

TEST_P(RecorderCli, HangupTermOrIntCompleteTheFileAndAShortTakeOrAFileSizeLimitSayWhatIsKept)
{
    const std::string format = GetParam();
    const std::string path = m_folder.File("Audio0." + format);
    std::string output;
    // A take shorter than a second is kept whole.
    EXPECT_EQ(0, RunRecorder(m_folder.Path(), "--seconds 0.3 --format " + format, &output)) << output;
    ExpectWholeFile(path, 0.25, 0.42, 0.1, format + " 0.3 s", true);
    EXPECT_NEAR(0.3, ReportedSeconds(output, path), 0.01) << output;
    std::filesystem::remove(path);

    // A file-size limit (ulimit -f, in the 512-byte blocks of sh) that no recording fits in: one true sentence.
    EXPECT_EQ(1, RunRecorder(m_folder.Path(), "--seconds 2 --format " + format, &output, "ulimit -f 0; exec "))
        << output;
    EXPECT_NE(std::string::npos, output.find("file size") ) << output;
    EXPECT_EQ(std::string::npos, output.find("is kept")) << output;
    EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path())) << "a file was left";
    // One that a part fits in: that part is kept, as on a full disk, and the reported length is the file's.
    const std::string limit = format == "ogg" ? "20" : format == "wma" ? "16" : "40";
    EXPECT_EQ(1, RunRecorder(m_folder.Path(), "--seconds 3 --format " + format, &output, "ulimit -f " + limit + "; exec "))
        << output;
    EXPECT_NE(std::string::npos, output.find("largest file size this system allows you")) << output;
    ExpectWholeFile(path, 0.1, 2.5, 0.2, format + " at a file-size limit", true);
    EXPECT_NEAR(DecodeFile(path).duration, ReportedSeconds(output, path), format == "wav" ? 0.01 : 0.2) << output;
    std::filesystem::remove(path);

    CTerminalRecorder recorder({"--folder", m_folder.Path(), "--seconds", "60", "--format", format});
    ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
    // A closed terminal, kill and Ctrl+C each end the recording as its end would.
    const int nSignal = format == "mp3" ? SIGTERM : format == "ogg" ? SIGINT : SIGHUP;
    const int status = recorder.End(nSignal);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(0, WEXITSTATUS(status)) << recorder.Output();
    ExpectWholeFile(path, 0.9, 60, 0.1, format + " after signal " + std::to_string(nSignal), true);
    DecodedAudio decoded = DecodeFile(path);
    // With no line chosen the recorder takes the first line with "Mix" in its name.
    EXPECT_NEAR(1500, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 15);
    // The length the recorder reports is the one in the file.
    EXPECT_NEAR(decoded.duration, ReportedSeconds(recorder.Output(), path), 0.1) << recorder.Output();
}

INSTANTIATE_TEST_SUITE_P(Formats, RecorderCli, ::testing::Values("wav", "mp3", "ogg", "wma"));

TEST(RecorderCliFailures, EachFailureSaysWhatWentWrongAndExitsNonZero)
{
    CTempFolder folder("RecorderCliFailures");
    const std::tuple<const char*, int, const char*> cases[] = {
        {"--seconds 1 --line 7", 1, "Vorane Audio Recorder: Device error."},
        {"--seconds 1 --line Headset", 1, "Mixer's line not found."},
        {"--seconds 1 --device 'No Such Card'", 1, "Device not found."},
        {"--rate 48000", 2, "--rate"},
        {"--split-minutes 0", 2, "--split-minutes: invalid value \"0\""},
        {"--seconds 1 --format ogg --ogg-mode vbr --ogg-min 256 --ogg-max 96", 1,
         "The minimum bitrate is above the maximum bitrate"},
        // Skip silence: a level out of range, a hold too short, a hold that is no number.
        {"--skip-silence -5", 2, "--skip-silence: invalid value \"-5\"; give a level in dBFS from -80 to -10"},
        {"--skip-silence -45:0.4", 2, "--skip-silence: invalid value \"-45:0.4\""},
        {"--skip-silence -45:2s", 2, "--skip-silence: invalid value \"-45:2s\""},
    };
    for (const auto& [pszArgs, nStatus, pszMessage] : cases)
    {
        std::string output;
        EXPECT_EQ(nStatus, RunRecorder(folder.Path(), pszArgs, &output));
        EXPECT_NE(std::string::npos, output.find(pszMessage)) << output;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << "no file for a failed start";
}

// An output folder removed during the recording is named as the cause; one moved away is no lost
// recording: the recorder says where it went.
TEST(RecorderCliFailures, AnOutputFolderRemovedOrMovedDuringTheRecordingIsToldAsSuch)
{
    CTempFolder folder("RecorderCliFolder");
    const std::string takes = folder.File("takes"), moved = folder.File("moved");
    for (bool bRemoved : {true, false})
    {
        CTerminalRecorder recorder({"--folder", takes, "--seconds", "60", "--rate", "11025"});
        ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
        if (bRemoved)
            std::filesystem::remove_all(takes);
        else
            std::filesystem::rename(takes, moved);
        const int status = recorder.End(SIGINT);
        const std::string& output = recorder.Output();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(bRemoved ? 1 : 0, WEXITSTATUS(status)) << output;
        if (bRemoved)
        {
            EXPECT_NE(std::string::npos, output.find("The output folder \"" + takes + "\" was removed")) << output;
            continue;
        }
        EXPECT_EQ(std::string::npos, output.find("removed")) << output;
        EXPECT_NE(std::string::npos, output.find("was moved during the recording; the complete recording is \"" +
                                                 moved + "/Audio0.wav\"")) << output;
        EXPECT_GT(ReportedSeconds(output, moved + "/Audio0.wav"), 0.9) << output;
    }
}

// "--seconds" counts recorded audio: a recorder stopped (Ctrl+Z) for longer than the take and continued
// still records the whole length.
TEST(RecorderCliLength, AStoppedAndContinuedRecorderStillRecordsTheLengthAskedFor)
{
    CTempFolder folder("RecorderCliLength");
    CTerminalRecorder recorder({"--folder", folder.Path(), "--seconds", "3", "--rate", "11025"});
    ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
    recorder.Signal(SIGSTOP);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    recorder.Signal(SIGCONT);
    ASSERT_TRUE(recorder.WaitFor(" bytes")) << recorder.Output();
    const int status = recorder.End(0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << recorder.Output();
    EXPECT_NEAR(3.0, DecodeFile(folder.File("Audio0.wav")).duration, 0.001);
}

// The MP3 settings given on the command line land in the file; an empty album is left out.
TEST(RecorderCliSettings, TheBitrateAndTrackInformationGivenAreInTheFile)
{
    CTempFolder folder("RecorderCliSettings");
    const std::string year = std::to_string(CurrentYear() - 2);
    std::string output;
    ASSERT_EQ(0, RunRecorder(folder.Path(), "-f mp3 -s 2 -l 'Line In' --mp3-bitrate 128 --title 'Cli Title' "
                                            "--artist 'Cli Artist' --album '' --year " + year,
                             &output))
        << output;
    DecodedAudio decoded = DecodeFile(folder.File("Audio0.mp3"));
    EXPECT_EQ(std::make_tuple(std::string("Cli Title"), std::string("Cli Artist"), year, size_t{0}, int64_t{128000}),
              std::make_tuple(decoded.tags["title"], decoded.tags["artist"], decoded.tags["date"],
                              decoded.tags.count("album"), decoded.bitRate)) << decoded.error;
    EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10) << "the Line In tone";
}

// -i on a terminal: Space pauses and resumes, q stops, and a line says each change. The file leaves out the
// paused stretch (two seconds here), and the terminal edits lines and echoes again after q and after a TERM
// that came while paused. Without a terminal -i is refused.
TEST(RecorderCliInteractive, SpacePausesAndResumesQStopsAndTheTerminalIsPutBack)
{
    CTempFolder folder("RecorderCliInteractive");
    const std::string path = folder.File("Audio0.wav");
    {
        const auto start = std::chrono::steady_clock::now();
        CTerminalRecorder recorder({"--folder", folder.Path(), "-i"});
        ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
        EXPECT_FALSE(recorder.IsCooked()) << "single keys while recording";
        recorder.Type(" ");
        ASSERT_TRUE(recorder.WaitFor("Paused: Space resumes, q or Enter stops.")) << recorder.Output();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        recorder.Type(" ");
        ASSERT_TRUE(recorder.WaitFor("Recording: Space pauses, q or Enter stops.", 2)) << recorder.Output();
        ASSERT_TRUE(recorder.WaitFor("2 s recorded")) << recorder.Output();
        recorder.Type("q");
        const int status = recorder.End(0);
        const double dWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << recorder.Output();
        EXPECT_TRUE(recorder.IsCooked());
        EXPECT_NE(std::string::npos, recorder.Output().find("Stopped.")) << recorder.Output();
        ExpectWholeFile(path, 2.0, dWall - 1.5, 0.01, "paused for two seconds", true);
        EXPECT_NEAR(DecodeFile(path).duration, ReportedSeconds(recorder.Output(), path), 0.01);
    }
    {
        CTerminalRecorder recorder({"--folder", folder.Path(), "--interactive", "--format", "mp3"});
        ASSERT_TRUE(recorder.WaitFor("1 s recorded")) << recorder.Output();
        recorder.Type(" ");
        ASSERT_TRUE(recorder.WaitFor("Paused:")) << recorder.Output();
        const int status = recorder.End(SIGTERM);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << recorder.Output();
        EXPECT_TRUE(recorder.IsCooked());
        ExpectWholeFile(folder.File("Audio0.mp3"), 0.9, 60, 0.1, "ended while paused", true);
    }
    std::string output;
    EXPECT_EQ(2, RunRecorder(folder.Path(), "-i < /dev/null", &output)) << output;
    EXPECT_NE(std::string::npos, output.find("-i reads single keys from a terminal")) << output;
}

// Split every 3 s (0.05 minutes), a 7 s OGG take is three files in a row, each printed as it is complete and
// decoding at the length printed, with its tags.
TEST(RecorderCliSplit, EachFileOfASplitRecordingIsPrintedAndComplete)
{
    CTempFolder folder("RecorderCliSplit");
    std::string output;
    ASSERT_EQ(0, RunRecorder(folder.Path(), "-f ogg -s 7 --split-minutes 0.05 --artist Split", &output)) << output;
    const double lengths[] = {3.0, 3.0, 1.0};
    for (int n = 0; n < 3; ++n)
    {
        const std::string path = folder.File("Audio" + std::to_string(n) + ".ogg");
        EXPECT_NEAR(lengths[n], ReportedSeconds(output, path), 0.001) << output;
        DecodedAudio d = DecodeFile(path);
        EXPECT_NEAR(lengths[n], d.duration, 0.01) << path << d.error;
        EXPECT_EQ("Split", d.tags["ARTIST"]) << path;
    }
    EXPECT_LT(output.find("Audio0.ogg"), output.find("Audio1.ogg")) << output;
}
