#include "ReceiverWAV.h"

#include "RecordingFiles.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

const char* const MSG_WAV_SIZE_LIMIT =
    "The recording reached the largest size a WAV file can hold (4 GB) and was stopped. "
    "Everything recorded up to this moment is saved.";

namespace
{
void PutLE32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void PutLE16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

bool WriteLE32At(int fd, off_t nOffset, uint32_t v)
{
    uint8_t bytes[4];
    PutLE32(bytes, v);
    return WriteAt(fd, bytes, 4, nOffset) == 4;
}
}  // namespace

// ---- CWaveFile ----

CWaveFile::CWaveFile()
{
    std::memset(m_riffId, 0, sizeof(m_riffId));
    std::memset(m_waveId, 0, sizeof(m_waveId));
    std::memset(m_fmtId, 0, sizeof(m_fmtId));
    std::memset(m_dataId, 0, sizeof(m_dataId));
    m_nRiffSize = m_nFmtSize = m_nSamplesPerSec = m_nAvgBytesPerSec = m_nDataSize = 0;
    m_wFormatTag = m_nChannels = m_nBlockAlign = m_wBitsPerSample = 0;
}

void CWaveFile::Attach(int fd)
{
    m_fd = fd;
}

bool CWaveFile::WriteHeader(const WAVEFORMATEX& format)
{
    if (m_fd < 0)
        return false;
    std::memcpy(m_riffId, "RIFF", 4);
    std::memcpy(m_waveId, "WAVE", 4);
    std::memcpy(m_fmtId, "fmt ", 4);
    std::memcpy(m_dataId, "data", 4);
    m_nFmtSize = 16;
    m_wFormatTag = format.wFormatTag;
    m_nChannels = format.nChannels;
    m_nSamplesPerSec = format.nSamplesPerSec;
    m_nAvgBytesPerSec = format.nAvgBytesPerSec;
    m_nBlockAlign = format.nBlockAlign;
    m_wBitsPerSample = format.wBitsPerSample;
    m_nRiffSize = 36;
    m_nDataSize = 0;

    uint8_t header[44];
    std::memcpy(header, m_riffId, 4);
    PutLE32(header + 4, m_nRiffSize);
    std::memcpy(header + 8, m_waveId, 4);
    std::memcpy(header + 12, m_fmtId, 4);
    PutLE32(header + 16, m_nFmtSize);
    PutLE16(header + 20, m_wFormatTag);
    PutLE16(header + 22, m_nChannels);
    PutLE32(header + 24, m_nSamplesPerSec);
    PutLE32(header + 28, m_nAvgBytesPerSec);
    PutLE16(header + 32, m_nBlockAlign);
    PutLE16(header + 34, m_wBitsPerSample);
    std::memcpy(header + 36, m_dataId, 4);
    PutLE32(header + 40, m_nDataSize);
    return WriteAt(m_fd, header, sizeof(header), 0) == sizeof(header);
}

bool CWaveFile::PatchSizes()
{
    return WriteLE32At(m_fd, 4, m_nRiffSize) && WriteLE32At(m_fd, 40, m_nDataSize);
}

uint32_t CWaveFile::Append(const uint8_t* pData, uint32_t nSize)
{
    if (m_fd < 0 || !pData || static_cast<int32_t>(nSize) <= 0)
        return 0;
    // The sizes are 32-bit: stop before they would wrap, with the file still whole.
    if (static_cast<uint64_t>(m_nDataSize) + nSize > m_nDataLimit)
        throw CRecorderError::Ended(MSG_WAV_SIZE_LIMIT, MSG_WAV_SIZE_LIMIT);

    // The data go first and the header follows what really reached the disk, so a full
    // disk never leaves a header that claims data the file does not hold.
    const off_t nEnd = 44 + static_cast<off_t>(m_nDataSize);
    size_t nWritten = WriteAt(m_fd, pData, nSize, nEnd);
    if (nWritten < nSize)
    {
        const int nError = errno;
        uint32_t nAlign = m_nBlockAlign ? m_nBlockAlign : 1;
        uint32_t nKept = static_cast<uint32_t>(nWritten) / nAlign * nAlign;
        if (ftruncate(m_fd, nEnd + nKept) != 0)
            nKept = 0;
        m_nDataSize += nKept;
        m_nRiffSize += nKept;
        PatchSizes();
        throw WriteFailure(nError);
    }
    m_nRiffSize += nSize;
    m_nDataSize += nSize;
    if (!PatchSizes())
        throw WriteFailure(errno);
    return nSize;
}

void CWaveFile::Close()
{
    m_fd = -1;
}

// ---- CReceiverWAV ----

CReceiverWAV::CReceiverWAV() : State(ReceiverState::Waiting), FormatSet(0)
{
    std::memset(&CaptureFormat, 0, sizeof(CaptureFormat));
}

CReceiverWAV::~CReceiverWAV() = default;

uint32_t CReceiverWAV::Write(const uint8_t* pData, uint32_t nSize)
{
    if (State == ReceiverState::Finished)
        return 0;
    if (State == ReceiverState::Waiting)
    {
        if (!FormatSet)
            return 0;
        if (!Output)
            throw CRecorderError("Can't create WAV file.");
        File.Attach(Output->Fd());
        // Not even the header fits: the file holds nothing and keeps no name.
        if (!File.WriteHeader(CaptureFormat))
            throw WriteFailure(errno);
        State = ReceiverState::Writing;
    }
    uint32_t n = 0;
    try
    {
        n = File.Append(pData, nSize);
    }
    catch (const CRecorderError&)
    {
        // What fitted of a first buffer is a recording too.
        if (File.DataSize() > 0)
            Output->Publish();
        throw;
    }
    // Header and data: a file any player reads, so it may take its name now.
    if (n > 0 && !Output->Publish())
        throw WriteFailure(errno);
    return n >= nSize ? n : 0;
}

void CReceiverWAV::Finish()
{
    if (State == ReceiverState::Writing)
    {
        File.Close();
        State = ReceiverState::Finished;
    }
    Output.reset();
}

uint32_t CReceiverWAV::KeptMilliseconds() const
{
    const uint64_t nBytesPerSecond = static_cast<uint64_t>(CaptureFormat.nBlockAlign) * CaptureFormat.nSamplesPerSec;
    return nBytesPerSecond ? static_cast<uint32_t>(File.DataSize() * 1000ull / nBytesPerSecond) : 0;
}
