// Naming of new recordings, and the file a recording is written to. A new
// recording takes the lowest free "Audio<N>" of the output format in the output
// folder. Used by the recording session of both programs and by the receivers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// True when the file exists and can be opened for reading.
bool FileExists(const char* pszPath);
// The extension of an output format ("mp3", "ogg", "wav", "wma"), or null for another value.
const char* OutputExtension(int nOutputFormat);
// Where a folder chooser opens for the output folder: the folder made absolute (from the
// working folder), or the nearest folder above it that exists when it is gone; a chooser
// given a folder that does not exist opens on its recent files instead. Empty for empty.
std::string NearestExistingFolder(const std::string& folder);

// The file of one recording. It is made under a hidden working name beside the name
// it will have (".Audio0.mp3.part" for "Audio0.mp3"), locked while it is open, and
// written only through its descriptor: it is never opened again by name, so nobody
// can redirect the audio by putting a link in its place. It takes its name when it
// first holds audio (Publish), so a recorder killed before that leaves nothing under
// the recording's name, and a reservation that was never used is removed again.
//
// Threads: made, checked and destroyed on the main thread; the receiver calls
// Publish on the capture thread. Every method takes the file's own lock.
class CRecordingFile
{
public:
    ~CRecordingFile();
    CRecordingFile(const CRecordingFile&) = delete;
    CRecordingFile& operator=(const CRecordingFile&) = delete;

    // Makes the working file for "<folder>/<name>", exclusively. A working file left by
    // a recorder that is gone (not locked, and not new) is taken over. Null, with errno
    // set, when the name or a live working name is taken (EEXIST) or the folder refuses.
    static std::unique_ptr<CRecordingFile> Create(const std::string& folder, const std::string& name);
    // For tests of the receivers: a file that already has its name (made exclusively).
    static std::unique_ptr<CRecordingFile> CreatePublished(const std::string& path);

    int Fd() const { return m_fd; }
    // The name the file has, or will have once published.
    std::string Path() const;
    bool IsPublished() const;
    // Gives the file its name, once; later calls do nothing. When another program took
    // that name meanwhile, the next free number of the same format is used (Path says
    // which). False, with errno set, when the file could not be given any name.
    bool Publish();
    // A path that opens this very file, for libraries that want a path ("/proc/self/fd/<n>").
    std::string DescriptorPath() const;
    // Where the file is now, found from its descriptor: empty when it has no name left.
    std::string WhereNow() const;
    // True when the file was deleted (it has no name left on the disk).
    bool IsDeleted() const;
    // True when the folder it was made in was removed.
    bool IsFolderRemoved() const;
    // Removes the working name of a file that was never published; a published file stays.
    void Discard();

    // The same in a folder already open (not taken over; the file keeps a descriptor of its own).
    static std::unique_ptr<CRecordingFile> CreateAt(int fdFolder, const std::string& folder, const std::string& name);

private:
    CRecordingFile(int fdFolder, int fd, std::string folder, std::string name, bool bPublished);
    bool WorkingNameIsOurs() const;

    mutable std::mutex m_lock;
    const int m_fdFolder;
    const int m_fd;
    const std::string m_folder;
    std::string m_name;  // the file's name in the folder, published or to be
    const std::string m_workingName;
    bool m_bPublished;
};

// Writes all of the data at the offset, going on after a short write; the bytes written,
// with errno telling why when that is fewer (ENOSPC, EDQUOT, EFBIG...).
size_t WriteAt(int fd, const void* pData, size_t nSize, uint64_t nOffset);

// The working name of a recording's file while it holds no audio yet.
std::string WorkingFileName(const std::string& name);

// Reserves the next free "Audio<N>" of the format in the folder and makes its file.
// Null when every name is taken (errno EEXIST), the format is unknown (EINVAL) or the
// folder refuses a new file (errno says why).
std::unique_ptr<CRecordingFile> ReserveRecordingFile(const std::string& folder, int nOutputFormat);
