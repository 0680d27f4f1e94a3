// The abstract device that the capture worker drives; the wave-input device is
// its implementation. Failures are thrown as CRecorderError with the text for the user.
//
// Threads: Open, Close, Start and Stop are called on the main thread;
// PrepareHeader, UnprepareHeader, OnArmBuffer and AddBuffer on the capture
// thread too, always with the global device lock held; Format on either while
// no one changes it (it is set before a capture starts).
#pragma once
#include "mmsystem.h"

class CAsyncDevice
{
public:
    virtual ~CAsyncDevice() = default;
    // Opens the device so that it signals *phEvent on every device event.
    virtual void Open(HANDLE* phEvent) = 0;
    virtual void Close() = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void PrepareHeader(WAVEHDR* pHeader) = 0;
    virtual void UnprepareHeader(WAVEHDR* pHeader) = 0;
    // Called with a buffer's memory each time that buffer is about to be prepared and queued.
    virtual void OnArmBuffer(LPSTR pData, DWORD nLength) {}
    virtual void AddBuffer(WAVEHDR* pHeader) = 0;

    // The capture format the buffer ring sizes its buffers by.
    virtual const WAVEFORMATEX& Format() const = 0;
};
