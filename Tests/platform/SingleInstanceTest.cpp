// A later start finds the running instance and has it raise its window; nothing
// a dead instance leaves behind blocks the next start.
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
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

// For a start run as another user (nobody), as root.
void BecomeNobody()
{
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        _exit(1);
}

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
        asNobody = BecomeNobody;
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

// Another user's process, as root: holds a lock file and answers every start on a socket that anyone
// may connect to, both in the folder given, until killed.
pid_t StartImpostor(const fs::path& lock, const fs::path& sock)
{
    int ready[2];
    EXPECT_EQ(0, pipe(ready));
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int lockFd = open(lock.c_str(), O_CREAT | O_RDONLY, 0644);
        const int listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{AF_UNIX, {}};
        std::strcpy(address.sun_path, sock.c_str());
        if (flock(lockFd, LOCK_EX) != 0 || bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            chmod(sock.c_str(), 0666) != 0 || listen(listenFd, 8) != 0)
            _exit(1);
        (void)!write(ready[1], "r", 1);
        for (int client; (client = accept(listenFd, nullptr, nullptr)) >= 0; close(client))
        {
            char request[64];
            if (recv(client, request, sizeof request, 0) > 0)
                send(client, "ok\n", 3, MSG_NOSIGNAL);
        }
        _exit(0);
    }
    close(ready[1]);
    char c = 0;
    EXPECT_EQ(1, read(ready[0], &c, 1)) << "the impostor is listening";
    close(ready[0]);
    return pid;
}

// Another user who holds a lock file in our folder and answers on a socket there neither sends our start
// away nor keeps it from guarding: both are replaced. As root, our starts run as nobody and the impostor as root.
TEST_F(SingleInstance, AnotherUsersHeldLockAndAnsweringSocketNeitherStopNorDoubleAStart)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "another user's files need root to make";
    ASSERT_EQ(0, chown(m_dir.c_str(), 65534, 65534));
    const pid_t impostor = StartImpostor(File(".lock"), File(".sock"));
    OtherStart start(BecomeNobody);
    EXPECT_EQ(FIRST, start.Answer()) << "neither RAISED_OTHER (by the socket) nor OTHER_RUNNING (by the lock)";
    EXPECT_EQ(RAISED_OTHER, OtherStart(BecomeNobody).Answer()) << "and it guards";
    struct stat st{};
    EXPECT_EQ(0, lstat(File(".lock").c_str(), &st));
    EXPECT_EQ(65534u, st.st_uid) << "the lock file is its own";
    kill(impostor, SIGKILL);
    waitpid(impostor, nullptr, 0);
}

// The lock and the socket live only in a folder that the user owns and nobody else can enter, never behind
// a link: the runtime folder when it is one, or else the user's own cache folder, which no other user can
// create first. When that one is wrong too the instance runs unguarded and says why, leaving the folder be.
TEST_F(SingleInstance, TheLockAndSocketStayInAFolderOnlyTheUserReachesOrTheProblemIsTold)
{
    char cacheTemplate[] = "/tmp/vorane-cache-XXXXXX";
    const fs::path cache = mkdtemp(cacheTemplate);
    struct Cleanup
    {
        ~Cleanup() { fs::remove_all(path); }
        fs::path path;
    } cleanup{cache};
    setenv("XDG_CACHE_HOME", (cache / "new/.cache").c_str(), 1);  // made, with its parents, on first use
    const fs::path fallback = cache / "new/.cache" / kName;
    auto mode = [](const fs::path& path) {
        struct stat st{};
        return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : ~0u;
    };
    // Starts an instance; says where it keeps its files, after checking that they are there.
    auto startIn = [&](std::string* pProblem = nullptr) {
        CSingleInstance instance(kName);
        EXPECT_EQ(FIRST, instance.Acquire([] {}));
        if (pProblem)
            *pProblem = instance.Problem();
        if (!instance.Directory().empty())
        {
            EXPECT_TRUE(fs::exists(instance.Directory() + "/" + kName + ".lock"));
        }
        return instance.Directory();
    };

    for (mode_t open : {0777, 0755, 0750})
    {
        ASSERT_EQ(0, chmod(m_dir.c_str(), open));
        EXPECT_EQ(fallback, startIn()) << "a runtime folder of mode " << std::oct << open << " is passed over";
        EXPECT_TRUE(fs::is_empty(m_dir));
        EXPECT_EQ(0700u, mode(fallback));
        EXPECT_EQ(0700u, mode(cache / "new"));
    }
    ASSERT_EQ(0, chmod(m_dir.c_str(), 0700));
    EXPECT_EQ(m_dir, startIn()) << "once closed, it is ours";
    fs::remove(File(".lock"));
    const fs::path link = cache / "runtime";
    fs::create_directory_symlink(m_dir, link);
    setenv("XDG_RUNTIME_DIR", link.c_str(), 1);
    EXPECT_EQ(fallback, startIn()) << "a link, even to a private folder of ours";
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(0, chmod(fallback.c_str(), 0777));
    EXPECT_EQ(fallback, startIn()) << "no runtime folder";
    EXPECT_EQ(0700u, mode(fallback)) << "our own cache folder is closed before it is used";

    std::string problem;
    fs::remove_all(fallback);
    fs::create_directory_symlink(m_dir, fallback);
    EXPECT_EQ("", startIn(&problem)) << "it runs unguarded instead";
    EXPECT_EQ("\"" + fallback.string() + "\" is a link, where our own folder belongs", problem);
    EXPECT_TRUE(fs::is_empty(m_dir));

    if (geteuid() != 0)
        GTEST_SKIP() << "another user's folders need root to make";
    fs::remove(fallback);
    setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    ASSERT_EQ(0, chown(m_dir.c_str(), 65534, 65534));
    EXPECT_EQ(fallback, startIn()) << "the runtime folder is another user's";
    EXPECT_TRUE(fs::is_empty(m_dir));

    // The cache folder made beforehand by another user.
    fs::remove_all(fallback);
    ASSERT_EQ(0, mkdir(fallback.c_str(), 0700));
    ASSERT_EQ(0, chown(fallback.c_str(), 65534, 65534));
    EXPECT_EQ("", startIn(&problem));
    EXPECT_EQ("the folder \"" + fallback.string() + "\" belongs to another user", problem);
    EXPECT_TRUE(fs::is_empty(fallback));
    EXPECT_EQ(0700u, mode(fallback)) << "and left as it was";
}

} // namespace
