// The sink at the end of the capture chain: one receiver per output format.
//
// Threads: the receiver is constructed, prepared and destroyed on the main
// thread; Write and Finish run on the capture thread, under the global device
// lock, and never overlap. The owner destroys a receiver only after the
// capture thread has returned from Finish (CDeviceThread::WaitForCaptureEnd).
//
// Errors are thrown as the message text itself (const char*). A receiver that
// can take no more data (disk full, the format's size limit) throws
// CRecordingEnded from Write: the capture thread then tells the user once,
// finishes the receiver so the file is complete, and ends the recording.
#pragma once
#include <cstdint>
#include <string>

struct CRecordingEnded
{
    const char* szMessage;
};

class IReceiver
{
public:
    std::string FileName;

    // Encodes or stores one buffer; returns the bytes this call added to the output file.
    virtual uint32_t Write(const uint8_t* pData, uint32_t nSize) = 0;
    // Ends the recording and closes the output file.
    virtual void Finish() = 0;

protected:
    // Owners hold the concrete type; a receiver is never deleted through this interface.
    ~IReceiver() = default;
};
