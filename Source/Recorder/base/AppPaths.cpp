#include "AppPaths.h"

#include "RecorderSettings.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

int g_nSkinNumber = 4;

namespace
{

std::string StripTrailingSlashes(std::string strPath)
{
    while (strPath.size() > 1 && strPath.back() == '/')
        strPath.pop_back();
    return strPath;
}

std::string FindAppDir()
{
    std::string strExe;
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n > 0)
    {
        strExe.assign(buf, static_cast<size_t>(n));
    }
    else if (getcwd(buf, sizeof(buf)))
    {
        // Without /proc the best guess left is where we were started.
        return StripTrailingSlashes(buf);
    }
    else
    {
        return ".";
    }
    size_t slash = strExe.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return strExe.substr(0, slash);
}

std::string& AppDirStorage()
{
    static std::string s_strAppDir = FindAppDir();
    return s_strAppDir;
}

bool IsWritableFolder(const std::string& strPath)
{
    struct stat st;
    return !strPath.empty() && stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(strPath.c_str(), W_OK | X_OK) == 0;
}

// Only the build lays out a portable application directory. Writable alone is not enough: root can
// write the installed one in /usr/lib, and its settings and recordings belong in root's own folders.
bool IsPortable(const std::string& strAppDir)
{
    struct stat st;
    return IsWritableFolder(strAppDir) && stat((strAppDir + "/" + PORTABLE_MARKER).c_str(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

std::string HomeFolder()
{
    const char* pszHome = getenv("HOME");
    if (pszHome && pszHome[0] == '/')
        return StripTrailingSlashes(pszHome);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return StripTrailingSlashes(pw->pw_dir);
    return "/tmp";
}

// The desktop's music folder as xdg-user-dir names it (the home folder itself
// when none is set), or empty when the tool is missing or answers nonsense.
std::string MusicFolder()
{
    FILE* pipe = popen("xdg-user-dir MUSIC 2>/dev/null", "r");
    if (!pipe)
        return {};
    std::string strOut;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0 && strOut.size() < 8192)
        strOut.append(buf, n);
    int status = pclose(pipe);
    if (status != 0)
        return {};
    while (!strOut.empty() && (strOut.back() == '\n' || strOut.back() == '\r'))
        strOut.pop_back();
    if (strOut.empty() || strOut[0] != '/' || strOut.find('\n') != std::string::npos)
        return {};
    return StripTrailingSlashes(strOut);
}

}  // namespace

const std::string& GetAppDir()
{
    return AppDirStorage();
}

void SetAppDir(const std::string& strDir)
{
    AppDirStorage() = StripTrailingSlashes(strDir);
}

std::string ConfigDirectory()
{
    if (IsPortable(GetAppDir()))
        return GetAppDir();
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    const char* pszXdg = getenv("XDG_CONFIG_HOME");
    std::string strBase = (pszXdg && pszXdg[0] == '/') ? StripTrailingSlashes(pszXdg) : HomeFolder() + "/.config";
    return strBase + "/vorane-recorder";
}

std::string DefaultOutputFolder()
{
    if (IsPortable(GetAppDir()))
        return GetAppDir() + "/output";
    std::string strMusic = MusicFolder();
    return (strMusic.empty() ? HomeFolder() : strMusic) + "/Vorane Recordings";
}

std::string OutputFolder()
{
    if (theSettings.SavedDirectry.empty())
        return DefaultOutputFolder();
    return theSettings.SavedDirectry;
}

bool MakeFolders(const std::string& strPath, unsigned int nMode)
{
    // Create each component in turn, ignoring errors (most often EEXIST); only
    // whether the whole folder exists at the end matters.
    for (size_t pos = strPath.find('/', 1); ; pos = strPath.find('/', pos + 1))
    {
        std::string strPart = strPath.substr(0, pos);
        if (!strPart.empty() && strPart.back() != '/')
            mkdir(strPart.c_str(), static_cast<mode_t>(nMode));
        if (pos == std::string::npos)
            break;
    }
    struct stat st;
    return stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
