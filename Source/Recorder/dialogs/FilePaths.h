// The path pieces the main window's commands and the dialogs take apart,
// with '/' as the separator. No windows here.
//
// Threads: any.
#pragma once
#include <cstddef>
#include <string>

// Copies the part of the path before its last '/' into pszDir (without the
// '/'). The buffer is not terminated by the copy: pass a zeroed one. Does
// nothing and returns false when the path is shorter than 5 characters, the
// buffer smaller than 64 characters or too small for the folder, or the path
// holds no '/'.
bool GetFileDir(const char* pszPath, char* pszDir, size_t nSize);
// The text after the path's last '.', in lower case. False, and ext
// untouched, when the path is shorter than 5 characters or holds no '.'.
bool GetFileExt(const char* pszPath, std::string& ext);
// The part after the last '/'. False, and name untouched, when the path is
// shorter than 8 characters or holds no '/'.
bool GetFileName(const char* pszPath, std::string& name);
