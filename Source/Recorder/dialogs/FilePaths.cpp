#include "FilePaths.h"

#include <algorithm>
#include <cctype>
#include <cstring>

bool GetFileDir(const char* pszPath, char* pszDir, size_t nSize)
{
    if (!pszPath || !pszDir || std::strlen(pszPath) < 5 || nSize < 64)
        return false;
    const char* pSep = std::strrchr(pszPath, '/');
    if (!pSep)
        return false;
    const size_t nLength = static_cast<size_t>(pSep - pszPath);
    // The caller's buffer must keep its terminating zero.
    if (nLength >= nSize)
        return false;
    std::memcpy(pszDir, pszPath, nLength);
    return true;
}

bool GetFileExt(const char* pszPath, std::string& ext)
{
    if (!pszPath || std::strlen(pszPath) < 5)
        return false;
    const char* pDot = std::strrchr(pszPath, '.');
    if (!pDot)
        return false;
    ext = pDot + 1;
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return true;
}

bool GetFileName(const char* pszPath, std::string& name)
{
    if (!pszPath || std::strlen(pszPath) < 8)
        return false;
    const char* pSep = std::strrchr(pszPath, '/');
    if (!pSep)
        return false;
    name = pSep + 1;
    return true;
}
