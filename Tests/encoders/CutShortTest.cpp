// Recordings killed in every format, each in a child process on the manual clock; FFmpeg then judges the
// file. (File-size limits per format and a closed terminal: Tests/tools.)
#include "RecordingStart.h"
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "RecordingFiles.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
struct Format
{
    const char* pszName;
    int nCaptureMode;
    double dHeldBack;  // what the codec keeps for its next frame or packet until more audio comes
};

const Format FORMATS[] = {
    {"wav", CAPTURE_MODE_WAV, 0.001},
    {"mp3", CAPTURE_MODE_MP3, 0.05},    // LAME's look-ahead and the frame being filled
    {"ogg", CAPTURE_MODE_OGG, 0.07},    // Vorbis's next block
    {"wma", CAPTURE_MODE_WMA, 0.25},    // the ASF data packet being filled
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
    uint32_t KeptMilliseconds() const override { return m_pInner->KeptMilliseconds(); }

private:
    IReceiver* m_pInner;
    int m_fd;
};

struct ChildRun
{
    pid_t pid = -1;
    int fd = -1;  // the reading end of the child's reports
};

// A child recording the default line into path on the manual clock; it reports 'w' after each write and
// 'a' once dSeconds have passed (with bPause: once it has paused there and a second has passed paused),
// then waits to be killed.
ChildRun StartRecording(const Format& format, const std::string& path, double dSeconds, bool bPause = false)
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
    CManualClockScope clock;
    CMessageRecorder messages;
    FreeDevices();
    PrepareRecordingLine(CurrentLineChoice(), format.nCaptureMode, 2, 44100, 16, 100);
    std::shared_ptr<IReceiver> receiver = PreparedReceiver(format.pszName, path);
    if (!receiver)
        _exit(91);
    CReportingReceiver reporting(receiver.get(), fds[1]);
    CDeviceThread capture;
    if (!capture.StartCapture(&reporting).empty())
        _exit(92);
    winmm::virt::AdvanceClock(dSeconds);
    if (bPause)
    {
        if (!capture.Pause())
            _exit(93);
        winmm::virt::AdvanceClock(1.0);
    }
    if (write(fds[1], "a", 1) != 1)
        _exit(90);
    for (;;)
        pause();
}

// Reads the child's reports until it has told nWrites writes, or until its 'a' when nWrites is 0;
// false on its end or after 30 s.
bool WaitForWrites(int fd, int nWrites, int& nSeen)
{
    for (;;)
    {
        pollfd p{fd, POLLIN, 0};
        char c;
        if (poll(&p, 1, 30000) <= 0 || read(fd, &c, 1) != 1)
            return false;
        nSeen += c == 'w';
        if (nWrites ? nSeen >= nWrites : c == 'a')
            return true;
    }
}

class CutShort : public ::testing::TestWithParam<Format>
{
protected:
    // Starts a recording that is killed once nWrites writes are told (0: once dSeconds have passed).
    // Returns the writes it told.
    int RecordAndKill(const std::string& path, double dSeconds, int nWrites, bool bPause = false)
    {
        ChildRun child = StartRecording(GetParam(), path, dSeconds, bPause);
        EXPECT_GT(child.pid, 0);
        int nSeen = 0;
        const bool bReached = child.pid > 0 && WaitForWrites(child.fd, nWrites, nSeen);
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
        close(child.fd);
        EXPECT_TRUE(bReached) << "the recording killed at " << dSeconds << " s did not get that far";
        return nSeen;
    }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
};

// Killed at each moment, a recording keeps all but its last second and states its length; killed before
// its first buffer is in, it leaves nothing under its name, at most its hidden working file.
TEST_P(CutShort, AKilledRecordingKeepsAllButItsLastSecondAndStatesItsLength)
{
    const std::string early = std::string("Audio0.") + GetParam().pszName;
    EXPECT_EQ(0, RecordAndKill(m_folder.File(early), 0.5, 0)) << "written before the first second was in";
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        EXPECT_EQ(WorkingFileName(early), entry.path().filename());

    for (double dMoment : {1.5, 4.0})  // within the second second, and later
    {
        const std::string path = m_folder.File("killed" + std::to_string(dMoment) + "." + GetParam().pszName);
        const int nSeen = RecordAndKill(path, dMoment, static_cast<int>(dMoment));
        std::ostringstream what;
        what << GetParam().pszName << " killed at " << dMoment << " s after " << nSeen << " written seconds";
        ExpectWholeFile(path, nSeen - 1, nSeen + 0.25, 1.0, what.str(), false);
    }
}

// Killed while paused, a recording keeps everything before the pause, the part of a second included: the
// pause brings the file up to date. Only what the codec holds back for its next frame or packet is missing.
TEST_P(CutShort, AKilledPausedRecordingKeepsEverythingBeforeThePause)
{
    const std::string path = m_folder.File(std::string("paused.") + GetParam().pszName);
    RecordAndKill(path, 1.6, 0, true);
    ExpectWholeFile(path, 1.6 - GetParam().dHeldBack, 1.6 + 0.1, 0.1,
                    std::string(GetParam().pszName) + " killed while paused", false);
}

INSTANTIATE_TEST_SUITE_P(Formats, CutShort, ::testing::ValuesIn(FORMATS),
                         [](const auto& info) { return std::string(info.param.pszName); });
}  // namespace
