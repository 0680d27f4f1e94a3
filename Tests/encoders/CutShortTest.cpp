// Recordings that end the hard way, in every format: killed, or stopped by a file-size limit, each in a
// child process on the manual clock; FFmpeg then judges the file. (A closed terminal: Tests/tools.)
#include "RecordingStart.h"
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "RecordingFiles.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
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
// 'a' once dSeconds have passed. With a file size limit it then stops and reports the ending ("e", whether
// it failed, the milliseconds kept, the text) and exits with the number of messages it showed (9x: it
// failed); without one it waits to be killed.
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
    auto report = [&](const std::string& text) {
        if (write(fds[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            _exit(90);
    };
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
    report("a");
    while (!nFileLimit)
        pause();
    capture.StopCapture();
    if (!capture.WaitForCaptureEnd(20000))
        _exit(93);
    const CaptureEnding ending = capture.Ending();
    report("e" + std::to_string(ending.bFailed) + " " + std::to_string(ending.nKeptMilliseconds) + " " + ending.failure);
    _exit(static_cast<int>(messages.Texts().size()));
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

// Everything the child still has to say, up to its end.
std::string RestOfReports(int fd)
{
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(fd, buffer, sizeof(buffer))) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    return text;
}

class CutShort : public ::testing::TestWithParam<Format>
{
protected:
    // Starts a recording that is killed once nWrites writes are told (0: once dSeconds have passed).
    // Returns the writes it told.
    int RecordAndKill(const std::string& path, double dSeconds, int nWrites)
    {
        ChildRun child = StartRecording(GetParam(), path, dSeconds);
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

// Killed at each moment, a recording keeps all but its last second and states its length.
TEST_P(CutShort, AKilledRecordingKeepsAllButItsLastSecondAndStatesItsLength)
{
    for (double dMoment : {1.5, 4.0})  // within the second second, and later
    {
        const std::string path = m_folder.File("killed" + std::to_string(dMoment) + "." + GetParam().pszName);
        const int nSeen = RecordAndKill(path, dMoment, static_cast<int>(dMoment));
        std::ostringstream what;
        what << GetParam().pszName << " killed at " << dMoment << " s after " << nSeen << " written seconds";
        ExpectWholeFile(path, nSeen - 1, nSeen + 0.25, 1.0, what.str(), false);
    }
}

// Killed before its first buffer is in, a recording leaves nothing under its name: at most its hidden
// working file.
TEST_P(CutShort, ARecordingKilledBeforeItsFirstAudioLeavesNoFileUnderItsName)
{
    const std::string name = std::string("Audio0.") + GetParam().pszName;
    EXPECT_EQ(0, RecordAndKill(m_folder.File(name), 0.5, 0)) << "written before the first second was in";
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
        EXPECT_EQ(WorkingFileName(name), entry.path().filename());
}

// A file-size limit (RLIMIT_FSIZE, SIGXFSZ ignored) ends the recording with the limit's own text, shown by
// nobody on the capture thread, and a file cut back to whole frames or pages, as long as the ending says.
TEST_P(CutShort, AFileSizeLimitEndsTheRecordingWithItsTextAndAWholeFileOfTheStatedLength)
{
    const std::string path = m_folder.File(std::string("full.") + GetParam().pszName);
    const uint64_t nLimit = GetParam().nBytesPerSecond * 7 / 2 + 4096;
    ChildRun child = StartRecording(GetParam(), path, 10, nLimit);
    ASSERT_GT(child.pid, 0);
    const std::string reports = RestOfReports(child.fd);
    int status = 0;
    ASSERT_EQ(child.pid, waitpid(child.pid, &status, 0));
    close(child.fd);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "messages shown (9x: the child failed)";
    const size_t nEnding = reports.find('e');
    ASSERT_NE(std::string::npos, nEnding) << reports;
    std::istringstream ending(reports.substr(nEnding + 1));
    int bFailed = 0;
    uint32_t nKept = 0;
    std::string text;
    ending >> bFailed >> nKept;
    std::getline(ending >> std::ws, text);
    EXPECT_EQ(std::make_pair(1, std::string(WriteFailure(EFBIG).what())), std::make_pair(bFailed, text));
    EXPECT_THAT(text, ::testing::HasSubstr("file-size limit")) << "not the text of another cause";
    ASSERT_LE(std::filesystem::file_size(path), nLimit);
    const std::string what = std::string(GetParam().pszName) + " under a file-size limit";
    ExpectWholeFile(path, 2.0, 4.0, 0.1, what, true);
    EXPECT_NEAR(DecodeFile(path).duration, nKept / 1000.0, 0.1) << what << ": the length the ending states";
}

INSTANTIATE_TEST_SUITE_P(Formats, CutShort, ::testing::ValuesIn(FORMATS),
                         [](const auto& info) { return std::string(info.param.pszName); });
}  // namespace
