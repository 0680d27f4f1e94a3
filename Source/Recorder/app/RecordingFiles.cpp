#include "RecordingFiles.h"

#include <fcntl.h>
#include <unistd.h>

bool FileExists(const char* pszPath)
{
    if (!pszPath)
        return false;
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
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
        // A name that exists but cannot be read is taken too: never overwrite a file.
        if (!FileExists(name.c_str()) && access(name.c_str(), F_OK) != 0)
            return name;
    }
    return std::string();
}
