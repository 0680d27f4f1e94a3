// The configuration file Config.xml: the skin number, the output folder, the
// two General-page check boxes and the three track texts, kept across runs; and
// after them, in <Recording>, the output format, the device and line by name and
// every format's settings. A value there that the record could not hold (out of
// range, not in its table, no number) gives that setting's default.
//
// The file lives in ConfigDirectory() (AppPaths.h); the name given is joined to
// that folder for reading and writing alike, so a launcher's current directory
// never matters.
//
// Threads: main thread only, once at start-up (LoadConfig, before any window
// exists) and once at shut-down (SaveConfig).
#pragma once
#include <string>

// Reads the file into theSettings and g_nSkinNumber.
//   1  the file was read (texts longer than their fields are cut);
//   0  no file (the output folder is then set to DefaultOutputFolder() and
//      created), or a file whose App attribute names another product (nothing
//      read, nothing set). Nothing to tell the user.
//  -1  the user must be told, in the words put in *pMessage: a file that is no
//      configuration we could have written (not well-formed XML, larger than
//      any we write) is set aside under a free name (Config.xml.bad, ...) and
//      the message starts "Invalid config file."; a file that cannot be read
//      (no permission, a folder, a pipe) is left where it is, and the next save
//      leaves it alone too, so the settings in it are never replaced by
//      defaults. Either way the defaults are used. Also -1 for a null name.
// pMessage may be null.
int LoadConfig(const char* pszFileName, std::string* pMessage = nullptr);

// Writes theSettings and g_nSkinNumber to the file as well-formed XML 1.0 (texts
// have invalid UTF-8 replaced and the characters XML cannot hold dropped),
// atomically: the old file is either replaced whole, keeping its permissions,
// or left untouched. True when saved, and also when nothing was written because
// the last load could not read the file (already told). False for a null name
// or any failure (folder cannot be created, disk full, ...), with the words for
// the user in *pMessage: the file's path and the reason.
bool SaveConfig(const char* pszFileName, std::string* pMessage = nullptr);

// Tests put their own in place of fsync, which the save calls on the new file
// before its rename and on the folder after it; null puts fsync back. Returns
// the one it replaces.
using ConfigSyncFunction = int (*)(int fd);
ConfigSyncFunction SetConfigSyncFunction(ConfigSyncFunction sync);
