// Recordings that end the hard way, in every format: killed, or stopped by a full disk, each in a
// child process; FFmpeg then judges the file. (A closed terminal: Tests/tools.)
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "Mp3Frames.h"
#include "OggPages.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
struct Format
{
    const char* pszName;
    int nCaptureMode;
    uint64_t nBytesPerSecond;  // about what one second adds to the file
};

// Bytes per second measured for the virtual device's default line.
const Format FORMATS[] = {
    {"wav", CAPTURE_MODE_WAV, 176400},
    {"mp3", CAPTURE_MODE_MP3, 16000},
    {"ogg", CAPTURE_MODE_OGG, 3400},
    {"wma", CAPTURE_MODE_WMA, 8000},
};

// Passes every call on and writes 'w' to a pipe after each Write.
class CReportingReceiver final : public IReceiver
{
public:
    CReportingReceiver(IReceiver* pInner, int fd) : m_pInner(pInner), m_fd(fd) {}
    uint32_t Write(const uint8_t* pData, uint32_t nSize) override
    {
        uint32_t n = m_pInner->Write(pData, nSize);
        if (write(m_fd, "w", 1) != 1)
            _exit(90);
        return n;
    }
    void Finish() override { m_pInner->Finish(); }

private:
    IReceiver* m_pInner;
    int m_fd;
};

struct ChildRun
{
    pid_t pid = -1;
    int fd = -1;  // the reading end of the child's reports
};

// A child recording the default line into path: on the real clock until killed; otherwise
// nSeconds on the manual clock, exiting with the number of messages it showed.
ChildRun StartRecording(const Format& format, const std::string& path, bool bRealClock, uint64_t nFileLimit = 0,
                        int nSeconds = 0)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    pid_t pid = fork();
    if (pid != 0)
    {
        close(fds[1]);
        return {pid, fds[0]};
    }
    close(fds[0]);
    if (nFileLimit)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{nFileLimit, nFileLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::optional<CManualClockScope> clock;
    if (!bRealClock)
        clock.emplace();
    CMessageRecorder messages;
    FreeDevices();
    PrepareRecordingLine(format.nCaptureMode, 2, 44100, 16, 100);
    std::shared_ptr<IReceiver> receiver = PreparedReceiver(format.pszName, path);
    if (!receiver)
        _exit(91);
    CReportingReceiver reporting(receiver.get(), fds[1]);
    if (bRealClock)
    {
        CDeviceThread capture;
        capture.StartCapture(&reporting);
        for (;;)
            pause();
    }
    if (!RecordOnManualClock(&reporting, nSeconds))
        _exit(92);
    _exit(static_cast<int>(messages.Texts().size()));
}

// Reads the child's reports until it has told nWrites writes; false on its end or after 30 s.
bool WaitForWrites(int fd, int nWrites, int& nSeen)
{
    while (nSeen < nWrites)
    {
        pollfd p{fd, POLLIN, 0};
        char c;
        if (poll(&p, 1, 30000) <= 0 || read(fd, &c, 1) != 1)
            return false;
        nSeen += c == 'w';
    }
    return true;
}

// No decoder errors, the decoded length within bounds and the stated length near it; MP3
// ends with its tag and OGG with its end-of-stream page.
void ExpectCleanFile(const std::string& path, double dMinSeconds, double dMaxSeconds, double dDurationTolerance,
                     const std::string& what, bool bFinished = false)
{
    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << what << ": " << decoded.error;
    FfmpegVerdict verdict = AskFfmpeg(path);
    EXPECT_EQ(verdict.errors, "") << what;
    EXPECT_GE(decoded.duration, dMinSeconds) << what;
    EXPECT_LE(decoded.duration, dMaxSeconds) << what;
    EXPECT_NEAR(verdict.statedDuration, decoded.duration, dDurationTolerance) << what;
    EXPECT_TRUE(!bFinished || !path.ends_with(".mp3") || WalkMp3File(path).id3v1.size() == 128u) << what;
    if (bFinished && path.ends_with(".ogg"))
    {
        OggWalk walk = WalkOggFile(path);
        EXPECT_TRUE(walk.ok && walk.pages.back().Eos()) << what << walk.error;
    }
}

class CutShort : public ::testing::TestWithParam<Format>
{
protected:
    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
};

// Killed at each moment (side by side, on the real clock), a recording keeps all but its last second.
TEST_P(CutShort, AKilledRecordingKeepsAllButItsLastSecondAndStatesItsLength)
{
    const std::vector<double> moments = {1.5, 4.0};  // within the second second, and later
    std::vector<ChildRun> children;
    std::vector<std::string> paths;
    for (size_t i = 0; i < moments.size(); ++i)
    {
        paths.push_back(m_folder.File("killed" + std::to_string(i) + "." + GetParam().pszName));
        children.push_back(StartRecording(GetParam(), paths.back(), true));
        ASSERT_GT(children.back().pid, 0);
    }
    std::vector<int> seen(moments.size(), 0);
    for (size_t i = 0; i < moments.size(); ++i)
    {
        const int nWhole = static_cast<int>(std::floor(moments[i]));
        const bool bReached = WaitForWrites(children[i].fd, nWhole, seen[i]);
        if (bReached && moments[i] > nWhole)
            std::this_thread::sleep_for(std::chrono::duration<double>(moments[i] - nWhole));
        kill(children[i].pid, SIGKILL);
        waitpid(children[i].pid, nullptr, 0);
        char c;
        while (read(children[i].fd, &c, 1) == 1)
            seen[i] += c == 'w';
        close(children[i].fd);
        ASSERT_TRUE(bReached) << "the recording killed at " << moments[i] << " s did not get that far";
    }
    for (size_t i = 0; i < moments.size(); ++i)
    {
        std::ostringstream what;
        what << GetParam().pszName << " killed at " << moments[i] << " s after " << seen[i] << " written seconds";
        ExpectCleanFile(paths[i], seen[i] - 1, seen[i] + 0.25, 1.0, what.str());
    }
}

// A full disk ends the recording with one message and a file cut back to whole frames or pages.
TEST_P(CutShort, AFullDiskEndsTheRecordingOnceWithAWholeFileOfTheStatedLength)
{
    const std::string path = m_folder.File(std::string("full.") + GetParam().pszName);
    const uint64_t nLimit = GetParam().nBytesPerSecond * 7 / 2 + 4096;
    ChildRun child = StartRecording(GetParam(), path, false, nLimit, 10);
    ASSERT_GT(child.pid, 0);
    int status = 0;
    ASSERT_EQ(child.pid, waitpid(child.pid, &status, 0));
    close(child.fd);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status)) << "messages shown (9x: the child failed)";
    ASSERT_LE(std::filesystem::file_size(path), nLimit);
    ExpectCleanFile(path, 2.0, 4.0, 0.1, std::string(GetParam().pszName) + " on a full disk", true);
}

INSTANTIATE_TEST_SUITE_P(Formats, CutShort, ::testing::ValuesIn(FORMATS),
                         [](const auto& info) { return std::string(info.param.pszName); });
}  // namespace
