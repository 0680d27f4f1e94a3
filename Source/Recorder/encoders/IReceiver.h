// The sink at the end of the capture chain: one receiver per output format.
//
// Threads: the receiver is constructed, prepared and destroyed on the main
// thread, where it also takes a copy of every setting it needs; Write and
// Finish run on the capture thread, under the global device lock, never
// overlap, and read nothing shared. The owner destroys a receiver only after
// the capture thread has returned from Finish (CDeviceThread::WaitForCaptureEnd).
//
// The file is the recording's CRecordingFile, written through its descriptor
// only; a receiver publishes it (gives it its name) once it holds audio that a
// player can decode, and lets go of it in Finish.
//
// Failures are thrown as CRecorderError. A receiver that can take no more data
// (disk full, a file-size limit, the format's size limit) throws one made with
// CRecorderError::Ended from Write: the capture thread then finishes the
// receiver, so the file is complete, and ends the recording.
#pragma once
#include "RecorderError.h"

#include <cstdint>
#include <memory>
#include <string>

class CRecordingFile;

// The ending for a write that failed with this errno (ENOSPC, EDQUOT, EFBIG, EIO...).
CRecorderError WriteFailure(int nErrno);

// Where a receiver is in its one recording: before its first write (or, for the
// encoders, before Open), writing, or finished with its file.
enum class ReceiverState
{
    Waiting,
    Writing,
    Finished,
};

class IReceiver
{
public:
    // The file this receiver writes; set before the capture starts.
    std::shared_ptr<CRecordingFile> Output;

    // Encodes or stores one buffer; returns the bytes this call added to the output file.
    virtual uint32_t Write(const uint8_t* pData, uint32_t nSize) = 0;
    // Ends the recording, completes the file and lets go of it. May throw an ending
    // when the file's last part did not fit; the file is complete without it.
    virtual void Finish() = 0;
    // The audio the file holds, in milliseconds, as far as the receiver knows it: after a
    // failed write, what was kept rather than what was captured.
    virtual uint32_t KeptMilliseconds() const = 0;

protected:
    // Owners hold the concrete type; a receiver is never deleted through this interface.
    ~IReceiver() = default;
};

// The texts of the endings.
extern const char* const MSG_DISK_FULL;
extern const char* const MSG_NOTHING_SAVED_DISK_FULL;
