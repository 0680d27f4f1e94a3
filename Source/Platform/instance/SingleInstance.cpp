#include "SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long a start waits for a running instance to answer.
constexpr auto kAnswerWait = 500ms;
// Pause between attempts while the lock holder has not answered yet.
constexpr auto kRetryPause = 20ms;
// A client gets this long to send its request; the listener never waits on one beyond that.
constexpr auto kClientWait = 1s;
// More silent clients than this: the oldest is dropped, so they cannot crowd out a real start.
constexpr size_t kMaxClients = 8;
// Room for "raise " and an activation token (X11 startup ids carry host and program names).
constexpr size_t kMaxLine = 256;

// A token travels on one line and is handed to the toolkit: printable ASCII without spaces, or nothing.
bool IsPlainToken(const std::string& token)
{
    return token.size() <= kMaxLine - 8 &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

class UniqueFd
{
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

std::string Failure(const char* what, const std::string& path, int err)
{
    return std::string(what) + " \"" + path + "\": " + std::strerror(err);
}

int MillisecondsUntil(Clock::time_point deadline)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

bool FitsSocketAddress(const std::string& path)
{
    return path.size() < sizeof(sockaddr_un::sun_path);
}

sockaddr_un SocketAddress(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// A folder only we can reach: nobody else can plant files in it or talk to our socket.
// lstat, so that a symbolic link is never followed; owner and mode as ssh-agent checks its own.
bool IsPrivateDirectory(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

std::string AbsoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

// Where a user without a runtime folder keeps ours: below their own cache folder, which
// no other user can create first (unlike a name in /tmp).
std::string CacheFolder()
{
    std::string cache = AbsoluteEnv("XDG_CACHE_HOME");
    if (!cache.empty())
        return cache;
    std::string home = AbsoluteEnv("HOME");
    if (home.empty())
        if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
            home = pw->pw_dir;
    return home.empty() ? "" : home + "/.cache";
}

// Picks the folder for our files, or returns "" with the reason in problem.
std::string FindDirectory(const std::string& name, std::string& problem)
{
    const std::string files = "/" + name + ".sock";
    // The user's runtime folder is not ours to change: one that others can enter is passed over.
    if (std::string dir = AbsoluteEnv("XDG_RUNTIME_DIR"); !dir.empty() && IsPrivateDirectory(dir) && FitsSocketAddress(dir + files))
        return dir;
    const std::string cache = CacheFolder();
    if (cache.empty())
    {
        problem = "there is neither a runtime folder nor a home folder";
        return "";
    }
    // The cache folder and any missing parents are made private, as the XDG rules ask.
    for (size_t pos = cache.find('/', 1);; pos = cache.find('/', pos + 1))
    {
        mkdir(cache.substr(0, pos).c_str(), 0700);
        if (pos == std::string::npos)
            break;
    }
    const std::string dir = cache + "/" + name;
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
    {
        problem = Failure("cannot create", dir, errno);
        return "";
    }
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0)
    {
        problem = Failure("cannot examine", dir, errno);
        return "";
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode))
    {
        problem = "\"" + dir + "\" is " + (S_ISLNK(st.st_mode) ? "a link" : "not a folder") + ", where our own folder belongs";
        return "";
    }
    if (st.st_uid != geteuid())
    {
        problem = "the folder \"" + dir + "\" belongs to another user";
        return "";
    }
    // Our own folder left open (an old umask, a restored backup) is closed before use; what others may
    // have put in it meanwhile is checked file by file. Through a descriptor, so no link is followed.
    if ((st.st_mode & 077) != 0)
    {
        UniqueFd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd.get() >= 0 && fstat(fd.get(), &st) == 0 && st.st_uid != geteuid())  // swapped since the lstat
        {
            problem = "the folder \"" + dir + "\" belongs to another user";
            return "";
        }
        if (fd.get() < 0 || fchmod(fd.get(), 0700) != 0)
        {
            problem = Failure("cannot make private", dir, errno);
            return "";
        }
    }
    if (!FitsSocketAddress(dir + files))
    {
        problem = "\"" + dir + files + "\" is too long for a socket address";
        return "";
    }
    return dir;
}

// flock needs no write access, so read-only opening accepts a lock file of any mode we can read.
// Another user's file is refused: whoever holds it must not decide whether we start.
int OpenPlainFile(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()))
    {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

int OpenLockFile(const std::string& dir, const std::string& path, std::string& problem)
{
    int fd = OpenPlainFile(path);
    if (fd >= 0)
        return fd;
    // A leftover we cannot open (no read permission, another owner, not a plain file) is
    // either held by nobody or by someone who is not us, so it is replaced. Under a lock on the folder, so that two starts doing
    // this at the same moment never remove each other's new file.
    UniqueFd dirFd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() < 0 || flock(dirFd.get(), LOCK_EX) != 0)
    {
        problem = Failure("cannot lock", dir, errno);
        return -1;
    }
    fd = OpenPlainFile(path);
    if (fd < 0)
    {
        if (unlink(path.c_str()) != 0 && errno == EISDIR)
            rmdir(path.c_str());
        fd = OpenPlainFile(path);
    }
    if (fd < 0)
        problem = Failure("cannot open", path, errno);
    return fd;
}
} // namespace

CSingleInstance::CSingleInstance(const std::string& name) : m_name(name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    {
        m_problem = "\"" + name + "\" cannot name a file";
        return;
    }
    m_dir = FindDirectory(name, m_problem);
    if (!m_dir.empty())
    {
        m_lockPath = m_dir + "/" + name + ".lock";
        m_socketPath = m_dir + "/" + name + ".sock";
    }
}

CSingleInstance::~CSingleInstance()
{
    if (m_listener.joinable())
    {
        const char stop = 1;
        (void)!write(m_wake[1], &stop, 1);
        m_listener.join();
    }
    if (m_listenFd >= 0)
    {
        // Someone may have put another file there meanwhile: leave that alone.
        struct stat st;
        if (lstat(m_socketPath.c_str(), &st) == 0 && st.st_dev == m_socketDev && st.st_ino == m_socketIno)
            unlink(m_socketPath.c_str());
    }
    CloseFd(m_listenFd);
    CloseFd(m_wake[0]);
    CloseFd(m_wake[1]);
    // The lock goes last, so that nobody counts as first while our socket file still exists.
    CloseFd(m_lockFd);
}

CSingleInstance::Result CSingleInstance::Acquire(std::function<void(const std::string&)> onRaise, const std::string& token)
{
    if (m_dir.empty() || m_listenFd >= 0)
        return FIRST;
    const auto deadline = Clock::now() + kAnswerWait;
    for (;;)
    {
        if (AskToRaise(deadline, token))
            return RAISED_OTHER;
        if (m_lockFd < 0)
        {
            m_lockFd = OpenLockFile(m_dir, m_lockPath, m_problem);
            if (m_lockFd < 0)
                return FIRST;
        }
        if (flock(m_lockFd, LOCK_EX | LOCK_NB) == 0)
        {
            Listen(std::move(onRaise));
            return FIRST;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
        {
            m_problem = Failure("cannot lock", m_lockPath, errno);
            return FIRST;
        }
        // Someone holds the lock: it is still starting, or hung. Give it until the deadline.
        if (Clock::now() >= deadline)
            return OTHER_RUNNING;
        std::this_thread::sleep_for(kRetryPause);
    }
}

bool CSingleInstance::AskToRaise(Clock::time_point deadline, const std::string& token) const
{
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const sockaddr_un address = SocketAddress(m_socketPath);
    // Refused or missing: nobody listens. EAGAIN: the backlog is full, try again later.
    if (fd.get() < 0 || connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    // Only an instance of our own user may send us away; the socket file's owner could be
    // anyone, the listening process's credentials cannot lie.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != geteuid())
        return false;
    const std::string request = !token.empty() && IsPlainToken(token) ? "raise " + token + "\n" : "raise\n";
    if (send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size()))
        return false;
    std::string reply;
    while (reply.find('\n') == std::string::npos && reply.size() < kMaxLine)
    {
        pollfd p{fd.get(), POLLIN, 0};
        const int ready = poll(&p, 1, MillisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[kMaxLine];
        const ssize_t got = recv(fd.get(), buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;  // closed without answering: it is on its way out
        reply.append(buffer, static_cast<size_t>(got));
    }
    return reply == "ok\n";
}

void CSingleInstance::Listen(std::function<void(const std::string&)> onRaise)
{
    // Only we hold the lock, so a socket file still there was left by an instance that died.
    if (unlink(m_socketPath.c_str()) != 0 && errno != ENOENT)
    {
        m_problem = Failure("cannot remove", m_socketPath, errno);
        return;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const sockaddr_un address = SocketAddress(m_socketPath);
    struct stat st;
    if (fd.get() < 0 || bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(m_socketPath.c_str(), 0600) != 0 || listen(fd.get(), 16) != 0 || lstat(m_socketPath.c_str(), &st) != 0 ||
        pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
    {
        m_problem = Failure("cannot listen on", m_socketPath, errno);
        if (fd.get() >= 0)
            unlink(m_socketPath.c_str());
        return;
    }
    m_socketDev = st.st_dev;
    m_socketIno = st.st_ino;
    m_listenFd = fd.release();
    m_listener = std::thread(&CSingleInstance::Serve, this, std::move(onRaise));
}

void CSingleInstance::Serve(std::function<void(const std::string&)> onRaise)
{
    struct Client
    {
        int fd;
        Clock::time_point deadline;
        std::string line;
    };
    std::vector<Client> clients;
    std::vector<pollfd> fds;
    // Reads what a client has sent; true when the client is done with.
    auto answer = [&onRaise](Client& client) {
        char buffer[kMaxLine];
        const ssize_t got = recv(client.fd, buffer, sizeof buffer, 0);
        if (got < 0)
            return errno != EAGAIN && errno != EINTR;
        if (got == 0)
            return true;
        client.line.append(buffer, static_cast<size_t>(got));
        const size_t end = client.line.find('\n');
        if (end == std::string::npos)
            return client.line.size() > kMaxLine;
        const std::string request = client.line.substr(0, end);
        if (request == "raise" || request.starts_with("raise "))
        {
            const std::string token = request.size() > 6 ? request.substr(6) : "";
            onRaise(IsPlainToken(token) ? token : "");
            send(client.fd, "ok\n", 3, MSG_NOSIGNAL);
        }
        return true;
    };

    for (;;)
    {
        fds.assign({{m_wake[0], POLLIN, 0}, {m_listenFd, POLLIN, 0}});
        Clock::time_point next = Clock::time_point::max();
        for (const Client& client : clients)
        {
            fds.push_back({client.fd, POLLIN, 0});
            next = std::min(next, client.deadline);
        }
        const int timeout = clients.empty() ? -1 : MillisecondsUntil(next);
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            break;

        const auto now = Clock::now();
        for (size_t i = 0; i < clients.size(); ++i)
        {
            Client& client = clients[i];
            if (now >= client.deadline || (fds[i + 2].revents != 0 && answer(client)))
                CloseFd(client.fd);
        }
        std::erase_if(clients, [](const Client& client) { return client.fd < 0; });

        if (fds[1].revents & POLLIN)
        {
            int fd;
            while ((fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0)
            {
                if (clients.size() == kMaxClients)
                {
                    close(clients.front().fd);
                    clients.erase(clients.begin());
                }
                clients.push_back({fd, Clock::now() + kClientWait, {}});
            }
        }
    }
    for (Client& client : clients)
        CloseFd(client.fd);
}
