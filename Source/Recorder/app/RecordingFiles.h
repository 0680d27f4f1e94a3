// Naming of new recordings: the lowest free "Audio<N>" of the output format in
// the output folder. Used by the main window's controller and the command-line recorder.
#pragma once
#include <string>

// True when the file exists and can be opened for reading.
bool FileExists(const char* pszPath);
// The extension of an output format ("mp3", "ogg", "wav", "wma"), or null for another value.
const char* OutputExtension(int nOutputFormat);
// "<folder>/Audio<N>.<ext>" with the lowest free N below 100000; empty when every
// name is taken or the format is unknown (an existing file is never chosen).
std::string MakeOutputName(const std::string& folder, int nOutputFormat);
// The same name, created empty so no other recorder can take it; empty when none is free
// or the folder cannot take a file. The caller removes the file if nothing is recorded.
std::string ReserveOutputName(const std::string& folder, int nOutputFormat);
// Gives back a reserved name that received nothing: removes the file when it is a regular,
// empty file. Anything else at that path is left alone.
void ReleaseEmptyOutputName(const std::string& path);
// After a recording ended with this many whole seconds written: none means a file of headers
// alone, no recording, so the regular file at the path goes; otherwise only an empty reserved
// name is given back. Returns false when the recording left no file.
bool KeepRecordedOutput(const std::string& path, int nWholeSeconds);
