// Recordings that end the hard way, in every format: killed, or stopped by a full disk, each in a
// child process on the manual clock; FFmpeg then judges the file. (A closed terminal: Tests/tools.)
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
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

// A child recording the default line into path on the manual clock. With a file size limit it records
// dSeconds and exits with the number of messages it showed (9x: it failed); without one it records
// dSeconds and waits to be killed.
ChildRun StartRecording(const Format& format, const std::string& path, double dSeconds, uint64_t nFileLimit = 0)
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
    CManualClockScope clock;
    CMessageRecorder messages;
    FreeDevices();
    PrepareRecordingLine(format.nCaptureMode, 2, 44100, 16, 100);
    std::shared_ptr<IReceiver> receiver = PreparedReceiver(format.pszName, path);
    if (!receiver)
        _exit(91);
    CReportingReceiver reporting(receiver.get(), fds[1]);
    CDeviceThread capture;
    capture.StartCapture(&reporting);
    winmm::virt::AdvanceClock(dSeconds);
    while (!nFileLimit)
        pause();
    capture.StopCapture();
    if (!capture.WaitForCaptureEnd(20000))
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
        if (c == 'w')
            ++nSeen;
    }
    return true;
}

class CutShort : public ::testing::TestWithParam<Format>
{
protected:
    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
};

// Killed at each moment, a recording keeps all but its last second and states its length.
TEST_P(CutShort, AKilledRecordingKeepsAllButItsLastSecondAndStatesItsLength)
{
    for (double dMoment : {1.5, 4.0})  // within the second second, and later
    {
        const std::string path = m_folder.File("killed" + std::to_string(dMoment) + "." + GetParam().pszName);
        ChildRun child = StartRecording(GetParam(), path, dMoment);
        ASSERT_GT(child.pid, 0);
        int nSeen = 0;
        const bool bReached = WaitForWrites(child.fd, static_cast<int>(dMoment), nSeen);
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
        close(child.fd);
        ASSERT_TRUE(bReached) << "the recording killed at " << dMoment << " s did not get that far";
        std::ostringstream what;
        what << GetParam().pszName << " killed at " << dMoment << " s after " << nSeen << " written seconds";
        ExpectWholeFile(path, nSeen - 1, nSeen + 0.25, 1.0, what.str(), false);
    }
}

// A full disk ends the recording with one message and a file cut back to whole frames or pages.
TEST_P(CutShort, AFullDiskEndsTheRecordingOnceWithAWholeFileOfTheStatedLength)
{
    const std::string path = m_folder.File(std::string("full.") + GetParam().pszName);
    const uint64_t nLimit = GetParam().nBytesPerSecond * 7 / 2 + 4096;
    ChildRun child = StartRecording(GetParam(), path, 10, nLimit);
    ASSERT_GT(child.pid, 0);
    int status = 0;
    ASSERT_EQ(child.pid, waitpid(child.pid, &status, 0));
    close(child.fd);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status)) << "messages shown (9x: the child failed)";
    ASSERT_LE(std::filesystem::file_size(path), nLimit);
    ExpectWholeFile(path, 2.0, 4.0, 0.1, std::string(GetParam().pszName) + " on a full disk", true);
}

INSTANTIATE_TEST_SUITE_P(Formats, CutShort, ::testing::ValuesIn(FORMATS),
                         [](const auto& info) { return std::string(info.param.pszName); });
}  // namespace
