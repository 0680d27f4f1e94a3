// The configuration file Config.xml: the skin number, the output folder, the
// two General-page check boxes and the three track texts, kept across runs.
//
// The file lives in ConfigDirectory() (AppPaths.h); the name given is joined to
// that folder for reading and writing alike, so a launcher's current directory
// never matters.
//
// Threads: main thread only, once at start-up (LoadConfig, before any window
// exists) and once at shut-down (SaveConfig).
#pragma once

// Reads the file into theSettings and g_nSkinNumber.
//   1  the file was read (texts longer than their fields are cut);
//   0  no usable file: missing, not a regular file, larger than any file we
//      write could be, or not well-formed XML. The output folder is then set to
//      DefaultOutputFolder() and created. Also 0, with nothing read and nothing
//      set, for a file whose App attribute names another product;
//  -1  a null name, or reading failed part-way (out of memory); values read
//      until then stay. The caller shows "Invalid config file.".
int LoadConfig(const char* pszFileName);

// Writes theSettings and g_nSkinNumber to the file, atomically: the old file is
// either replaced whole or left untouched. False for a null name or any failure
// (folder cannot be created, disk full, ...).
bool SaveConfig(const char* pszFileName);

// Tests put their own in place of fsync, which the save calls on the new file
// before its rename and on the folder after it; null puts fsync back. Returns
// the one it replaces.
using ConfigSyncFunction = int (*)(int fd);
ConfigSyncFunction SetConfigSyncFunction(ConfigSyncFunction sync);
