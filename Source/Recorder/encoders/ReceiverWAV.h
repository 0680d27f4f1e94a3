// The WAV writer: uncompressed PCM in exactly the capture format, with a
// header that matches the data on disk after every buffer.
//
// Threads: see IReceiver.h.
#pragma once
#include "IReceiver.h"
#include "mmsystem.h"

#include <cstdint>

class CWaveFile
{
public:
    CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Writes into this descriptor from its start (not owned).
    void Attach(int fd);
    // Writes the 44-byte header for the format. False, with errno set, when the disk took less.
    bool WriteHeader(const WAVEFORMATEX& format);
    // Appends the data and updates both size fields. Returns size, or 0 when nothing was
    // appended. Throws an ending (CRecorderError::Ended) when the disk takes less than it was given or the
    // data would pass what the 32-bit size fields can hold; the file then still matches
    // its header, with whole frames.
    uint32_t Append(const uint8_t* pData, uint32_t nSize);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    uint32_t RiffSize() const { return m_nRiffSize; }
    uint32_t DataSize() const { return m_nDataSize; }
    // The most data bytes one file may hold; lowered by tests to reach the limit quickly.
    void SetDataLimit(uint32_t nBytes) { m_nDataLimit = nBytes; }

    static constexpr uint32_t MAX_DATA_SIZE = 0xFFFFFFFFu - 36u;

private:
    bool PatchSizes();

    // The header image, from "RIFF" to the data size.
    char m_riffId[4];
    uint32_t m_nRiffSize;
    char m_waveId[4];
    char m_fmtId[4];
    uint32_t m_nFmtSize;
    uint16_t m_wFormatTag;
    uint16_t m_nChannels;
    uint32_t m_nSamplesPerSec;
    uint32_t m_nAvgBytesPerSec;
    uint16_t m_nBlockAlign;
    uint16_t m_wBitsPerSample;
    char m_dataId[4];
    uint32_t m_nDataSize;

    int m_fd = -1;
    uint32_t m_nDataLimit = MAX_DATA_SIZE;
};

class CReceiverWAV final : public IReceiver
{
public:
    CReceiverWAV();
    ~CReceiverWAV();

    uint32_t Write(const uint8_t* pData, uint32_t nSize) override;
    void Finish() override;
    uint32_t KeptMilliseconds() const override;

    ReceiverState State;
    CWaveFile File;
    WAVEFORMATEX CaptureFormat;
    int FormatSet;
};

extern const char* const MSG_WAV_SIZE_LIMIT;
