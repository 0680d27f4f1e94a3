// The program's folders: where it lives, where its configuration file goes and
// where recordings go by default, plus the skin number that the configuration
// file carries.
//
// Threads: main thread only. Everything here is settled during start-up and
// shut-down; the folders are computed on demand and never cached, except the
// application directory, which cannot change while the program runs.
#pragma once
#include <string>

// The directory of the running program, without a trailing '/' (only the root
// itself is "/"). Found once, from /proc/self/exe.
const std::string& GetAppDir();
// Replaces the application directory; tests use it to run from a folder of their own.
void SetAppDir(const std::string& strDir);

// The file that marks a portable application directory. The build writes it into its
// application directory; an installed program never carries it.
inline constexpr char PORTABLE_MARKER[] = "portable";

// Where Config.xml is read from and written to: the application directory when it
// is portable (carries PORTABLE_MARKER) and the program may write there, otherwise
// $XDG_CONFIG_HOME/vorane-recorder (~/.config/vorane-recorder). Not created here.
std::string ConfigDirectory();

// Where recordings go when the user has not chosen a folder: "output" in a
// portable, writable application directory, otherwise "Vorane Recordings" in the user's
// music folder (or the home folder when the desktop names no music folder).
std::string DefaultOutputFolder();

// The folder recordings are written to now: the user's choice, or the default
// folder while none is stored. Never empty, so never the file system's root by accident.
std::string OutputFolder();

// Creates the folder and any missing parents (new ones get nMode, less the
// umask); true when the folder exists afterwards.
bool MakeFolders(const std::string& strPath, unsigned int nMode = 0777);

// The skin number: 1 to 4 select a skin, any other value means no skin. 4 until
// the configuration file is read.
extern int g_nSkinNumber;
