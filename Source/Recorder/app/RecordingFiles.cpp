#include "RecordingFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string MakeOutputName(const std::string& folder, int nOutputFormat)
{
    const char* pszExt = OutputExtension(nOutputFormat);
    if (!pszExt)
        return std::string();
    for (int n = 0; n < 100000; ++n)
    {
        std::string name = folder + "/Audio" + std::to_string(n) + "." + pszExt;
        // A name that exists in any form (unreadable, a dangling link) is taken too.
        struct stat st;
        if (!FileExists(name.c_str()) && lstat(name.c_str(), &st) != 0)
            return name;
    }
    return std::string();
}

std::string ReserveOutputName(const std::string& folder, int nOutputFormat)
{
    for (int nTry = 0; nTry < 100000; ++nTry)
    {
        std::string name = MakeOutputName(folder, nOutputFormat);
        if (name.empty())
            return name;
        // Created empty and exclusively: a second recorder starting at the same moment
        // moves on to the next number instead of writing into this file.
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0)
        {
            close(fd);
            return name;
        }
        if (errno != EEXIST)
            return std::string();
    }
    return std::string();
}

void ReleaseEmptyOutputName(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        unlink(path.c_str());
}

bool KeepRecordedOutput(const std::string& path, int nWholeSeconds)
{
    if (nWholeSeconds > 0)
    {
        ReleaseEmptyOutputName(path);
        return true;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        unlink(path.c_str());
    return false;
}
