#include "RecordingFiles.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const NAME_PREFIX = "Audio";
const int MAX_NUMBER = 100000;
// A working file older than this that nobody holds belongs to a recorder that is gone.
const time_t STALE_SECONDS = 2;

std::string NumberedName(int n, const std::string& ext)
{
    return NAME_PREFIX + std::to_string(n) + "." + ext;
}

// "Audio<N>.<ext>" split into its number and extension; false for any other name.
bool SplitNumberedName(const std::string& name, int& n, std::string& ext)
{
    const std::string prefix = NAME_PREFIX;
    if (name.compare(0, prefix.size(), prefix) != 0)
        return false;
    size_t dot = name.find('.', prefix.size());
    if (dot == std::string::npos || dot == prefix.size())
        return false;
    long value = 0;
    for (size_t i = prefix.size(); i < dot; ++i)
    {
        if (name[i] < '0' || name[i] > '9' || value >= MAX_NUMBER)
            return false;
        value = value * 10 + (name[i] - '0');
    }
    n = static_cast<int>(value);
    ext = name.substr(dot + 1);
    return true;
}

bool NameExistsAt(int fdFolder, const std::string& name)
{
    struct stat st;
    return fstatat(fdFolder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string FdLink(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// Takes over a working file that a recorder which is gone left behind: ours, a regular
// file, not locked, and not just made (a recorder that has just made it is about to lock it).
int TakeOverStale(int fdFolder, const std::string& workingName)
{
    // Most often it is a running recorder's, just made: one look tells.
    struct stat quick;
    if (fstatat(fdFolder, workingName.c_str(), &quick, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(quick.st_mode) ||
        std::time(nullptr) - quick.st_mtime < STALE_SECONDS)
        return -1;
    int fd = openat(fdFolder, workingName.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st, named;
    // A second link means a recorder was killed as it gave its file a name: that file is a recording.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1 ||
        std::time(nullptr) - st.st_mtime < STALE_SECONDS || flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        fstatat(fdFolder, workingName.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(st, named) ||
        ftruncate(fd, 0) != 0)
    {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
}  // namespace

std::string NearestExistingFolder(const std::string& folder)
{
    if (folder.empty())
        return {};
    std::string path = folder;
    if (path[0] != '/')
    {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof(cwd)))
            return {};
        path = std::string(cwd) + "/" + path;
    }
    struct stat st;
    while (path.size() > 1 && !(stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
    {
        const size_t nSlash = path.find_last_of('/');
        path.resize(nSlash == 0 ? 1 : nSlash);
    }
    return path;
}

bool FileExists(const char* pszPath)
{
    if (!pszPath)
        return false;
    // Non-blocking, so a named pipe of that name cannot hang the caller.
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

const char* OutputExtension(int nOutputFormat)
{
    static const char* const extensions[] = {"mp3", "ogg", "wav", "wma"};
    return nOutputFormat >= 0 && nOutputFormat < 4 ? extensions[nOutputFormat] : nullptr;
}

size_t WriteAt(int fd, const void* pData, size_t nSize, uint64_t nOffset)
{
    const auto* p = static_cast<const uint8_t*>(pData);
    size_t nDone = 0;
    while (nDone < nSize)
    {
        ssize_t n = pwrite(fd, p + nDone, nSize - nDone, static_cast<off_t>(nOffset + nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (n == 0)
                errno = ENOSPC;
            break;
        }
        nDone += static_cast<size_t>(n);
    }
    return nDone;
}

std::string WorkingFileName(const std::string& name)
{
    return "." + name + ".part";
}

// ---- CRecordingFile ----

CRecordingFile::CRecordingFile(int fdFolder, int fd, std::string folder, std::string name, bool bPublished)
    : m_fdFolder(fdFolder),
      m_fd(fd),
      m_folder(std::move(folder)),
      m_name(std::move(name)),
      m_workingName(WorkingFileName(m_name)),
      m_bPublished(bPublished)
{
}

CRecordingFile::~CRecordingFile()
{
    Discard();
    close(m_fd);
    close(m_fdFolder);
}

std::unique_ptr<CRecordingFile> CRecordingFile::Create(const std::string& folder, const std::string& name)
{
    int fdFolder = open(folder.c_str(), O_DIRECTORY | O_PATH | O_CLOEXEC);
    if (fdFolder < 0)
        return nullptr;
    auto pFile = CreateAt(fdFolder, folder, name);
    const int nError = errno;
    close(fdFolder);
    errno = nError;
    return pFile;
}

std::unique_ptr<CRecordingFile> CRecordingFile::CreateAt(int fdFolder, const std::string& folder,
                                                         const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
    {
        errno = EINVAL;
        return nullptr;
    }
    if (NameExistsAt(fdFolder, name))
    {
        errno = EEXIST;
        return nullptr;
    }
    const std::string working = WorkingFileName(name);
    int fd = openat(fdFolder, working.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0)
        flock(fd, LOCK_EX | LOCK_NB);
    else if (errno == EEXIST)
    {
        fd = TakeOverStale(fdFolder, working);
        if (fd < 0)
            errno = EEXIST;  // the working name is another recorder's
    }
    if (fd < 0)
        return nullptr;
    const int fdOwnFolder = fcntl(fdFolder, F_DUPFD_CLOEXEC, 0);
    if (fdOwnFolder < 0)
    {
        const int nError = errno;
        unlinkat(fdFolder, working.c_str(), 0);
        close(fd);
        errno = nError;
        return nullptr;
    }
    return std::unique_ptr<CRecordingFile>(new CRecordingFile(fdOwnFolder, fd, folder, name, false));
}

std::string CRecordingFile::Path() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_folder + "/" + m_name;
}

bool CRecordingFile::IsPublished() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bPublished;
}

bool CRecordingFile::WorkingNameIsOurs() const
{
    struct stat ours, named;
    return fstat(m_fd, &ours) == 0 &&
           fstatat(m_fdFolder, m_workingName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(ours, named);
}

bool CRecordingFile::Publish()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_bPublished)
        return true;
    int n = 0;
    std::string ext;
    const bool bNumbered = SplitNumberedName(m_name, n, ext);
    std::string name = m_name;
    for (;;)
    {
        // A hard link to this very file (not to whatever the working name holds now); it
        // fails rather than replace anything that took the name meanwhile.
        int r = linkat(AT_FDCWD, FdLink(m_fd).c_str(), m_fdFolder, name.c_str(), AT_SYMLINK_FOLLOW);
        const int nLinkError = errno;
        struct stat st;
        const bool bNameless = fstat(m_fd, &st) == 0 && st.st_nlink == 0;
        errno = nLinkError;
        // A file system without hard links, or no /proc: move the working name, never over a file.
        if (r != 0 && errno != EEXIST && !bNameless)
        {
            if (!WorkingNameIsOurs())
                return false;
            r = renameat2(m_fdFolder, m_workingName.c_str(), m_fdFolder, name.c_str(), RENAME_NOREPLACE);
            if (r != 0 && errno == EINVAL && !NameExistsAt(m_fdFolder, name))
                r = renameat(m_fdFolder, m_workingName.c_str(), m_fdFolder, name.c_str());
        }
        if (r == 0)
            break;
        // Only a taken name is worth another try, and only with the next number.
        if (errno != EEXIST || !bNumbered)
            return false;
        do
            ++n;
        while (n < MAX_NUMBER && (NameExistsAt(m_fdFolder, NumberedName(n, ext)) ||
                                  NameExistsAt(m_fdFolder, WorkingFileName(NumberedName(n, ext)))));
        if (n >= MAX_NUMBER)
        {
            errno = EEXIST;
            return false;
        }
        name = NumberedName(n, ext);
    }
    if (WorkingNameIsOurs())
        unlinkat(m_fdFolder, m_workingName.c_str(), 0);
    // The descriptor still names the working name it was opened by, which is gone: from now on
    // it names the file's own name, so where the file is can be told however it is moved later.
    int fdNamed = openat(m_fdFolder, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat ours, named;
    if (fdNamed >= 0 && fstat(m_fd, &ours) == 0 && fstat(fdNamed, &named) == 0 && SameFile(ours, named))
    {
        fcntl(fdNamed, F_SETFL, fcntl(fdNamed, F_GETFL) & ~O_NONBLOCK);
        dup3(fdNamed, m_fd, O_CLOEXEC);
    }
    if (fdNamed >= 0)
        close(fdNamed);
    m_name = name;
    m_bPublished = true;
    return true;
}

std::string CRecordingFile::DescriptorPath() const
{
    return FdLink(m_fd);
}

std::string CRecordingFile::WhereNow() const
{
    char target[PATH_MAX];
    ssize_t n = readlink(FdLink(m_fd).c_str(), target, sizeof(target) - 1);
    if (n <= 0 || IsDeleted())
        return std::string();
    return std::string(target, static_cast<size_t>(n));
}

bool CRecordingFile::IsDeleted() const
{
    struct stat st;
    return fstat(m_fd, &st) != 0 || st.st_nlink == 0;
}

bool CRecordingFile::IsFolderRemoved() const
{
    struct stat st;
    return fstat(m_fdFolder, &st) != 0 || st.st_nlink == 0;
}

void CRecordingFile::Discard()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_bPublished && WorkingNameIsOurs())
        unlinkat(m_fdFolder, m_workingName.c_str(), 0);
}

std::unique_ptr<CRecordingFile> ReserveRecordingFile(const std::string& folder, int nOutputFormat)
{
    const char* pszExt = OutputExtension(nOutputFormat);
    if (!pszExt)
    {
        errno = EINVAL;
        return nullptr;
    }
    int fdFolder = open(folder.c_str(), O_DIRECTORY | O_PATH | O_CLOEXEC);
    if (fdFolder < 0)
        return nullptr;
    std::unique_ptr<CRecordingFile> pFile;
    int nError = EEXIST;
    for (int n = 0; n < MAX_NUMBER && !pFile; ++n)
    {
        // A name that exists in any form (unreadable, a dangling link) is taken, and so is a
        // number another recorder is working on.
        const std::string name = NumberedName(n, pszExt);
        if (NameExistsAt(fdFolder, name))
            continue;
        pFile = CRecordingFile::CreateAt(fdFolder, folder, name);
        if (!pFile && errno != EEXIST)
        {
            nError = errno;
            break;
        }
    }
    close(fdFolder);
    if (!pFile)
        errno = nError;
    return pFile;
}
