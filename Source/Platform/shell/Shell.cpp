#include "Shell.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
std::mutex g_handlerMutex;
ShellHandler g_handler;

bool IsExecutableFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// "http://...", "mailto:...", "file:///..." and the like; a scheme has at least two letters.
bool IsAddress(const std::string& target)
{
    size_t colon = target.find(':');
    if (colon == std::string::npos || colon < 2 || !isalpha(static_cast<unsigned char>(target[0])))
        return false;
    for (size_t i = 1; i < colon; ++i)
    {
        char c = target[i];
        if (!isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '.' && c != '-')
            return false;
    }
    return true;
}

// Only real programs are run: a file with the execute bit on a Windows-formatted
// drive is usually a document, so the first bytes must say ELF or script.
bool LooksLikeProgram(const std::string& path)
{
    if (!IsExecutableFile(path))
        return false;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[4] = {};
    ssize_t n = read(fd, head, sizeof(head));
    close(fd);
    return (n >= 4 && std::memcmp(head, "\x7f" "ELF", 4) == 0) || (n >= 2 && head[0] == '#' && head[1] == '!');
}

// Splits a command line at blanks; double quotes group words, as on Windows.
std::vector<std::string> SplitParameters(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    bool bQuoted = false, bInWord = false;
    for (char c : text)
    {
        if (c == '"')
        {
            bQuoted = !bQuoted;
            bInWord = true;
        }
        else if ((c == ' ' || c == '\t') && !bQuoted)
        {
            if (bInWord)
                words.push_back(word);
            word.clear();
            bInWord = false;
        }
        else
        {
            word += c;
            bInWord = true;
        }
    }
    if (bInWord)
        words.push_back(word);
    return words;
}

INT_PTR ResultOfErrno(int error)
{
    switch (error)
    {
    case ENOENT:
        return SE_ERR_FNF;
    case ENOTDIR:
        return SE_ERR_PNF;
    case EACCES:
    case EPERM:
        return SE_ERR_ACCESSDENIED;
    case ENOEXEC:
        return SE_ERR_BAD_FORMAT;
    default:
        return SE_ERR_OOM_OR_RESOURCES;
    }
}

// What the started processes tell the caller through the pipe; each report is
// one write of a few bytes, so reports never interleave.
enum ReportKind : int
{
    REPORT_EXEC_FAILED = 1,  // value: errno of the failed start
    REPORT_EXITED = 2,       // value: the helper's exit status (128 + signal when killed)
    REPORT_STILL_RUNNING = 3,
};

struct Report
{
    int kind;
    int value;
};

void Send(int fd, ReportKind kind, int value)
{
    Report report{kind, value};
    ssize_t ignored = write(fd, &report, sizeof(report));
    (void)ignored;
}

long long NowMs()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// In the middle process: waits until the helper ends or the time is up, and says which.
void ReportVerdict(int fd, pid_t helper)
{
    const long long deadline = NowMs() + SHELL_HELPER_WAIT_MS;
    while (true)
    {
        int status = 0;
        pid_t done = waitpid(helper, &status, WNOHANG);
        if (done == helper)
        {
            Send(fd, REPORT_EXITED, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            return;
        }
        if ((done < 0 && errno != EINTR) || NowMs() >= deadline)
        {
            Send(fd, REPORT_STILL_RUNNING, 0);
            return;
        }
        struct timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

// Starts the program detached from this process (its own session, reparented
// to init through a short-lived middle process, so nothing is left to reap)
// and reports whether it could be executed; with bWaitForVerdict, also how it
// ended if it ends within SHELL_HELPER_WAIT_MS. Only async-signal-safe calls
// happen after fork: the program may have other threads.
INT_PTR StartDetached(const std::string& program, const std::vector<std::string>& args, const std::string& directory,
                      bool bWaitForVerdict = false)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* pszDir = directory.empty() ? nullptr : directory.c_str();

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return SE_ERR_OOM_OR_RESOURCES;
    pid_t middle = fork();
    if (middle < 0)
    {
        close(fds[0]);
        close(fds[1]);
        return SE_ERR_OOM_OR_RESOURCES;
    }
    if (middle == 0)
    {
        setsid();
        pid_t child = fork();
        if (child < 0)
        {
            Send(fds[1], REPORT_EXEC_FAILED, EAGAIN);
            _exit(127);
        }
        if (child == 0)
        {
            // Our files, sockets and the single-instance lock stay ours.
            if (syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0)
            {
                for (int fd = 3; fd < 1024; ++fd)
                    if (fd != fds[1])
                        fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
            int devnull = open("/dev/null", O_RDONLY);
            if (devnull >= 0)
                dup2(devnull, 0);
            if (pszDir && chdir(pszDir) != 0)
            {
                Send(fds[1], REPORT_EXEC_FAILED, errno);
                _exit(127);
            }
            execve(program.c_str(), argv.data(), environ);
            Send(fds[1], REPORT_EXEC_FAILED, errno);
            _exit(127);
        }
        if (bWaitForVerdict)
            ReportVerdict(fds[1], child);
        _exit(0);
    }
    close(fds[1]);
    // The pipe closes once the middle process has gone (the helper's end closes at exec).
    int execError = 0, exitStatus = 0;
    Report report;
    ssize_t n;
    while ((n = read(fds[0], &report, sizeof(report))) != 0)
    {
        if (n < 0 && errno == EINTR)
            continue;
        if (n != static_cast<ssize_t>(sizeof(report)))
            break;
        if (report.kind == REPORT_EXEC_FAILED)
            execError = report.value;
        else if (report.kind == REPORT_EXITED)
            exitStatus = report.value;
    }
    close(fds[0]);
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR)
    {
    }
    if (execError != 0)
        return ResultOfErrno(execError);
    // A helper that gave up (no application for the type, an unsupported address) failed to open it.
    if (exitStatus != 0)
        return SE_ERR_NOASSOC;
    return SE_OK_STARTED;
}

INT_PTR HandToDesktop(const std::string& target, const std::string& directory)
{
    std::string helper = FindProgramOnPath("xdg-open");
    if (!helper.empty())
        return StartDetached(helper, {helper, target}, directory, true);
    helper = FindProgramOnPath("gio");
    if (!helper.empty())
        return StartDetached(helper, {helper, "open", target}, directory, true);
    return SE_ERR_NOASSOC;
}
}  // namespace

std::string FindProgramOnPath(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return {};
    const char* pszPath = getenv("PATH");
    const std::string dirs = pszPath ? pszPath : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size())
    {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        // An empty entry, "." or any other relative one names wherever we were started from:
        // a program planted there must never run in our name.
        if (end > start && dirs[start] == '/')
        {
            const std::string candidate = dirs.substr(start, end - start) + "/" + name;
            if (IsExecutableFile(candidate))
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

ShellHandler SetShellHandler(ShellHandler handler)
{
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    std::swap(g_handler, handler);
    return handler;
}

INT_PTR DesktopShellExecute(const ShellRequest& request)
{
    const std::string& file = request.file;
    if (file.empty())
        return SE_ERR_FNF;
    if (!request.directory.empty())
    {
        struct stat st;
        if (stat(request.directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return SE_ERR_PNF;
    }

    if (request.verb == "explore")
    {
        struct stat st;
        if (stat(file.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return SE_ERR_PNF;
        return HandToDesktop(file, request.directory);
    }
    if (request.verb != "open")
        return SE_ERR_NOASSOC;

    if (IsAddress(file))
        return HandToDesktop(file, request.directory);

    std::string program;
    struct stat st;
    bool bExists = stat(file.c_str(), &st) == 0;
    if (!bExists && file.find('/') == std::string::npos)
        program = FindProgramOnPath(file);
    else if (bExists && S_ISREG(st.st_mode) && LooksLikeProgram(file))
        program = file;

    if (!program.empty())
    {
        std::vector<std::string> args{program};
        for (std::string& word : SplitParameters(request.parameters))
            args.push_back(std::move(word));
        return StartDetached(program, args, request.directory);
    }
    if (!bExists)
        return SE_ERR_FNF;
    return HandToDesktop(file, request.directory);
}

INT_PTR ShellExecuteA(HWND hWnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters, LPCSTR lpDirectory,
                      int nShowCmd)
{
    ShellRequest request{lpOperation && *lpOperation ? lpOperation : "open", lpFile ? lpFile : "",
                         lpParameters ? lpParameters : "", lpDirectory ? lpDirectory : "", nShowCmd};
    ShellHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler)
        return handler(request);
    return DesktopShellExecute(request);
}
