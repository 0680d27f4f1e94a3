#include "ReceiverWAV.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

const char* const MSG_DISK_FULL =
    "The disk is full, so the recording was stopped. What fitted on the disk before that is kept; "
    "free some space or choose another output folder to record again.";
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

bool WriteLE32At(FILE* pFile, long nOffset, uint32_t v)
{
    uint8_t bytes[4];
    PutLE32(bytes, v);
    return std::fseek(pFile, nOffset, SEEK_SET) == 0 && std::fwrite(bytes, 1, 4, pFile) == 4;
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
    m_pFile = nullptr;
}

CWaveFile::~CWaveFile()
{
    Close();
}

void CWaveFile::Create(const char* pszPath)
{
    Close();
    m_pFile = std::fopen(pszPath, "wb");
    if (!m_pFile)
        throw "Can't create WAV file.";
    // Unbuffered: a short write shows at once, so the header can follow what is on disk.
    std::setvbuf(m_pFile, nullptr, _IONBF, 0);
}

bool CWaveFile::WriteHeader(const WAVEFORMATEX& format)
{
    if (!m_pFile)
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

    uint8_t riff[12], fmt[24], data[8];
    std::memcpy(riff, m_riffId, 4);
    PutLE32(riff + 4, m_nRiffSize);
    std::memcpy(riff + 8, m_waveId, 4);
    std::memcpy(fmt, m_fmtId, 4);
    PutLE32(fmt + 4, m_nFmtSize);
    PutLE16(fmt + 8, m_wFormatTag);
    PutLE16(fmt + 10, m_nChannels);
    PutLE32(fmt + 12, m_nSamplesPerSec);
    PutLE32(fmt + 16, m_nAvgBytesPerSec);
    PutLE16(fmt + 20, m_nBlockAlign);
    PutLE16(fmt + 22, m_wBitsPerSample);
    std::memcpy(data, m_dataId, 4);
    PutLE32(data + 4, m_nDataSize);
    return std::fwrite(riff, 1, 12, m_pFile) == 12 && std::fwrite(fmt, 1, 24, m_pFile) == 24 &&
           std::fwrite(data, 1, 8, m_pFile) == 8;
}

bool CWaveFile::PatchSizes()
{
    return WriteLE32At(m_pFile, 4, m_nRiffSize) && WriteLE32At(m_pFile, 40, m_nDataSize) &&
           std::fseek(m_pFile, 0, SEEK_END) == 0;
}

uint32_t CWaveFile::Append(const uint8_t* pData, uint32_t nSize)
{
    if (!m_pFile || !pData || static_cast<int32_t>(nSize) <= 0)
        return 0;
    // The sizes are 32-bit: stop before they would wrap, with the file still whole.
    if (static_cast<uint64_t>(m_nDataSize) + nSize > m_nDataLimit)
        throw CRecordingEnded{MSG_WAV_SIZE_LIMIT};

    // The data go first and the header follows what really reached the disk, so a full
    // disk never leaves a header that claims data the file does not hold.
    std::fseek(m_pFile, 0, SEEK_END);
    size_t nWritten = std::fwrite(pData, 1, nSize, m_pFile);
    if (nWritten < nSize)
    {
        uint32_t nAlign = m_nBlockAlign ? m_nBlockAlign : 1;
        uint32_t nKept = static_cast<uint32_t>(nWritten) / nAlign * nAlign;
        std::fflush(m_pFile);
        if (ftruncate(fileno(m_pFile), 44 + static_cast<off_t>(m_nDataSize) + nKept) != 0)
            nKept = 0;
        std::clearerr(m_pFile);
        m_nDataSize += nKept;
        m_nRiffSize += nKept;
        PatchSizes();
        throw CRecordingEnded{MSG_DISK_FULL};
    }
    m_nRiffSize += nSize;
    m_nDataSize += nSize;
    PatchSizes();
    return nSize;
}

void CWaveFile::Close()
{
    if (m_pFile)
    {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
}

// ---- CReceiverWAV ----

CReceiverWAV::CReceiverWAV() : State(0), FormatSet(0)
{
    std::memset(&CaptureFormat, 0, sizeof(CaptureFormat));
}

CReceiverWAV::~CReceiverWAV()
{
    if (State == 1)
    {
        File.Close();
        State = 2;
    }
}

uint32_t CReceiverWAV::Write(const uint8_t* pData, uint32_t nSize)
{
    if (State == 2)
        return 0;
    if (State == 0)
    {
        if (!FormatSet)
            return 0;
        File.Create(FileName.c_str());
        if (!File.WriteHeader(CaptureFormat))
        {
            // Not even the header fits: leave no broken file behind (only ever a file of ours).
            struct stat st;
            bool bRegular = stat(FileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
            File.Close();
            if (bRegular)
                unlink(FileName.c_str());
            throw CRecordingEnded{MSG_DISK_FULL};
        }
        State = 1;
    }
    uint32_t n = File.Append(pData, nSize);
    return n >= nSize ? n : 0;
}

void CReceiverWAV::Finish()
{
    if (State == 1)
    {
        File.Close();
        State = 2;
    }
}
