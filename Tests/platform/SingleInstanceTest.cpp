// A later start finds the running instance and has it raise its window; nothing
// a dead instance leaves behind blocks the next start.
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

namespace
{
namespace fs = std::filesystem;
using enum CSingleInstance::Result;
const std::string kName = "vorane-recorder";

// Another start in a process of its own: reports what Acquire answered, then holds
// it until released or killed. prepare runs first.
struct OtherStart
{
    explicit OtherStart(std::function<void()> prepare = {})
    {
        int result[2], hold[2];
        EXPECT_EQ(0, pipe(result) | pipe(hold));
        pid = fork();
        if (pid == 0)
        {
            for (int fd = 3; fd < 1024; ++fd)  // no copies of the parent's lock, socket or other pipes
                if (fd != result[1] && fd != hold[0])
                    close(fd);
            if (prepare)
                prepare();
            CSingleInstance instance(kName);
            char answer = static_cast<char>(instance.Acquire([] {}));
            (void)!write(result[1], &answer, 1);
            (void)!read(hold[0], &answer, 1);
            _exit(0);
        }
        close(result[1]);
        close(hold[0]);
        answerFd = result[0];
        holdFd = hold[1];
    }
    ~OtherStart()
    {
        Release();
        close(answerFd);
    }
    int Answer()
    {
        char c;
        return read(answerFd, &c, 1) == 1 ? c : -1;
    }
    void Release()
    {
        close(std::exchange(holdFd, -1));
        if (pid > 0)
            waitpid(std::exchange(pid, -1), nullptr, 0);
    }
    pid_t pid;
    int answerFd, holdFd;
};

// Each test in a runtime folder of its own, short enough for a socket path.
class SingleInstance : public ::testing::Test
{
protected:
    SingleInstance() { setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1); }
    ~SingleInstance() override { fs::remove_all(m_dir); }
    fs::path File(const char* extension) const { return m_dir / (kName + extension); }

    char m_template[32] = "/tmp/vorane-instance-XXXXXX";
    fs::path m_dir = mkdtemp(m_template);
    std::atomic<int> m_raised{0};
    std::function<void()> m_countRaise = [this] { ++m_raised; };
};

TEST_F(SingleInstance, ALaterStartRaisesTheRunningOneOncePerAskEvenPastASilentClientUntilItEnds)
{
    std::optional<CSingleInstance> instance(std::in_place, kName);
    ASSERT_EQ(FIRST, instance->Acquire(m_countRaise));
    const int silent = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    std::strcpy(address.sun_path, File(".sock").c_str());
    ASSERT_EQ(0, connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address));
    for (int ask = 1; ask <= 2; ++ask)
    {
        EXPECT_EQ(RAISED_OTHER, OtherStart().Answer());
        EXPECT_EQ(ask, m_raised.load()) << "raised before it answers, once";
    }
    close(silent);
    instance.reset();
    EXPECT_FALSE(fs::exists(File(".sock")));

    instance.emplace(kName);
    EXPECT_EQ(FIRST, instance->Acquire([] {})) << "the lock was released";
    fs::remove(File(".sock"));  // a file in place of our socket is not ours to remove
    std::ofstream(File(".sock")) << "someone else's";
    instance.reset();
    EXPECT_TRUE(fs::exists(File(".sock")));
}

// The desktop's activation token of a later start reaches the running one, which needs it to take the focus;
// what could break the line or pass for more than a token does not.
TEST_F(SingleInstance, ALaterStartHandsOverItsActivationTokenAndNothingElse)
{
    std::mutex lock;
    std::vector<std::string> tokens;
    CSingleInstance first(kName);
    ASSERT_EQ(FIRST, first.Acquire([&](const std::string& token) { std::lock_guard guard(lock); tokens.push_back(token); }, ""));
    const std::string sent[] = {"host-1234_TIME5678", "", "two words", "a\nraise b", std::string(300, 'x'), "7f3a-\x01"};
    for (const std::string& token : sent)
        EXPECT_EQ(RAISED_OTHER, CSingleInstance(kName).Acquire([](const std::string&) {}, token)) << token;
    std::lock_guard guard(lock);
    EXPECT_EQ(tokens, (std::vector<std::string>{"host-1234_TIME5678", "", "", "", "", ""}));
}

TEST_F(SingleInstance, AHungInstanceIsReportedAKilledOneAndStaleLockFilesOfAnyModeOrOwnerBlockNothing)
{
    {
        OtherStart first;
        ASSERT_EQ(FIRST, first.Answer());
        kill(first.pid, SIGSTOP);
        waitpid(first.pid, nullptr, WUNTRACED);
        EXPECT_EQ(OTHER_RUNNING, CSingleInstance(kName).Acquire([] {}));
        kill(first.pid, SIGKILL);
        first.Release();
        ASSERT_TRUE(fs::exists(File(".sock")) && fs::exists(File(".lock")));
        CSingleInstance next(kName);
        EXPECT_EQ(FIRST, next.Acquire(m_countRaise));
        EXPECT_EQ(RAISED_OTHER, OtherStart().Answer()) << "the dead socket file was replaced";
    }
    ASSERT_TRUE(fs::remove(File(".lock")));
    // As root, the starts run as another user, to whom the file is foreign.
    std::function<void()> asNobody;
    if (geteuid() == 0)
    {
        ASSERT_EQ(0, chown(m_dir.c_str(), 65534, 65534));
        asNobody = [] {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                _exit(1);
        };
    }
    for (mode_t mode : {0444, 0000})
    {
        close(open(File(".lock").c_str(), O_CREAT | O_EXCL | O_WRONLY, mode));
        OtherStart start(asNobody);
        EXPECT_EQ(FIRST, start.Answer()) << "mode " << std::oct << mode;
        EXPECT_EQ(RAISED_OTHER, OtherStart(asNobody).Answer()) << "and it guards";
        start.Release();
        EXPECT_TRUE(fs::remove(File(".lock")));
    }
}

// A runtime folder that another user owns, or that others can enter, could hold their lock
// or their socket in place of ours: such a folder is never used.
TEST_F(SingleInstance, AFolderOfAnotherUserOrOpenToOthersIsNeverUsedForTheLockAndSocket)
{
    // A name of this test's own, so the fallback folder in /tmp is nobody else's.
    const std::string name = "vorane-test-" + std::to_string(getpid());
    const fs::path fallback = "/tmp/" + name + "-" + std::to_string(geteuid());
    fs::remove_all(fallback);
    struct Cleanup
    {
        ~Cleanup() { fs::remove_all(path); }
        fs::path path;
    } cleanup{fallback};
    auto mode = [](const fs::path& path) {
        struct stat st{};
        return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0u;
    };
    // Starts an instance; says where it keeps its files, after checking that they are there.
    auto startIn = [&](std::string* pProblem = nullptr) {
        CSingleInstance instance(name);
        EXPECT_EQ(FIRST, instance.Acquire([] {}));
        if (pProblem)
            *pProblem = instance.Problem();
        if (!instance.Directory().empty())
        {
            EXPECT_TRUE(fs::exists(instance.Directory() + "/" + name + ".lock"));
        }
        return instance.Directory();
    };

    ASSERT_EQ(0, chmod(m_dir.c_str(), 0777));
    EXPECT_EQ(fallback, startIn()) << "the runtime folder is open to others";
    EXPECT_TRUE(fs::is_empty(m_dir));
    ASSERT_EQ(0, chmod(m_dir.c_str(), 0700));
    EXPECT_EQ(m_dir, startIn()) << "once closed, it is ours";
    fs::remove(m_dir / (name + ".lock"));

    fs::remove_all(fallback);
    ASSERT_EQ(0, mkdir(fallback.c_str(), 0700));
    ASSERT_EQ(0, chmod(fallback.c_str(), 0777));
    ASSERT_EQ(0, chmod(m_dir.c_str(), 0755));
    EXPECT_EQ(fallback, startIn());
    EXPECT_EQ(0700u, mode(fallback)) << "our own folder in /tmp is closed before it is used";

    if (geteuid() != 0)
        GTEST_SKIP() << "another user's folder needs root to make";
    fs::remove_all(fallback);
    ASSERT_EQ(0, chmod(m_dir.c_str(), 0700));
    ASSERT_EQ(0, chown(m_dir.c_str(), 65534, 65534));
    EXPECT_EQ(fallback, startIn()) << "the runtime folder is another user's";
    EXPECT_TRUE(fs::is_empty(m_dir));

    // The folder in /tmp made beforehand by another user (anyone may create it there).
    fs::remove_all(fallback);
    ASSERT_EQ(0, mkdir(fallback.c_str(), 0700));
    ASSERT_EQ(0, chown(fallback.c_str(), 65534, 65534));
    std::string problem;
    EXPECT_EQ("", startIn(&problem)) << "it runs unguarded instead";
    EXPECT_NE(std::string::npos, problem.find(fallback.string() + " is not a directory of ours")) << problem;
    EXPECT_TRUE(fs::is_empty(fallback));
    EXPECT_TRUE(fs::is_empty(m_dir));
    EXPECT_EQ(0700u, mode(fallback)) << "and left as it was";
}

} // namespace
