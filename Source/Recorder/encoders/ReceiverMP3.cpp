#include "ReceiverMP3.h"

#include "ReceiverWAV.h"
#include "RecorderSettings.h"

#include <algorithm>
#include <cstring>
#include <string>

const char* const CReceiverMP3::TAG_COMMENT = "Recorded with Vorane";

namespace
{
// ID3v1 texts are single-byte Latin-1, as the program's texts were on the system it was
// designed on; here the settings hold UTF-8. Characters outside Latin-1 become '?';
// bytes that are not UTF-8 are taken as Latin-1 already.
std::string ToLatin1(const std::string& text)
{
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size();
    for (size_t i = 0; i < n;)
    {
        unsigned char c = p[i];
        size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = len > 0 && i + len <= n;
        for (size_t k = 1; valid && k < len; ++k)
            valid = (p[i + k] & 0xC0) == 0x80;
        if (!valid)
        {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (p[i + k] & 0x3F);
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        i += len;
    }
    return out;
}

// A field of the tag: cut to its width; a shorter text is followed by zeros.
void PutField(uint8_t* pField, size_t nWidth, const std::string& text)
{
    std::string latin1 = ToLatin1(text);
    std::memcpy(pField, latin1.data(), std::min(latin1.size(), nWidth));
}
}  // namespace

CReceiverMP3::CReceiverMP3(uint32_t nBitrate, uint32_t nReSampleRate)
    : State(0), Encoder(nBitrate, 44100, nReSampleRate), OutFile(nullptr)
{
    std::memset(Tag, 0, sizeof(Tag));
}

CReceiverMP3::~CReceiverMP3()
{
    // A receiver dropped without Finish still leaves a closed file with its MP3 data.
    if (State == 1)
    {
        CloseFile();
        State = 2;
    }
}

void CReceiverMP3::CloseFile()
{
    if (OutFile)
    {
        std::fclose(OutFile);
        OutFile = nullptr;
    }
}

uint32_t CReceiverMP3::WriteOut(const uint8_t* pData, uint32_t nSize)
{
    if (State == 0)
    {
        OutFile = std::fopen(FileName.c_str(), "wb");
        if (!OutFile)
            throw "Can't create MP3 file.";
        // Unbuffered: a full disk shows at the write that hit it.
        std::setvbuf(OutFile, nullptr, _IONBF, 0);
        State = 1;
    }
    if (std::fwrite(pData, 1, nSize, OutFile) < nSize)
    {
        std::clearerr(OutFile);
        throw CRecordingEnded{MSG_DISK_FULL};
    }
    return nSize;
}

uint32_t CReceiverMP3::Write(const uint8_t* pData, uint32_t nSize)
{
    if (nSize == 0 || !pData || State == 2)
        return 0;
    uint32_t nProduced = 0;
    Encoder.EncodeChunk(reinterpret_cast<const int16_t*>(pData), nSize / 2, m_output, OUTPUT_AREA_SIZE, nProduced);
    m_bFed = true;
    if (nProduced == 0)
        return 0;
    return WriteOut(m_output, nProduced);
}

void CReceiverMP3::Finish()
{
    if (State == 2 || (State == 0 && !m_bFed))
        return;
    // The encoder still holds the last part of a frame: without it every recording
    // would lose its end.
    uint32_t nFlushed = 0;
    Encoder.Flush(m_output, OUTPUT_AREA_SIZE, nFlushed);
    if (State == 0 && nFlushed == 0)
    {
        State = 2;
        return;
    }
    try
    {
        if (nFlushed)
            WriteOut(m_output, nFlushed);
    }
    catch (const CRecordingEnded&)
    {
        // The disk is full: the tag will not fit either, but the file is still closed.
    }
    BuildTag();
    std::fwrite(Tag, 1, sizeof(Tag), OutFile);
    CloseFile();
    State = 2;
}

void CReceiverMP3::BuildTag()
{
    std::memset(Tag, 0, sizeof(Tag));
    if (!theSettings.AlbumTitle.empty())
        PutField(Tag + 63, 30, theSettings.AlbumTitle);
    if (!theSettings.Artist.empty())
        PutField(Tag + 33, 30, theSettings.Artist);
    if (!theSettings.Title.empty())
        PutField(Tag + 3, 30, theSettings.Title);
    std::memcpy(Tag, "TAG", 3);
    std::memcpy(Tag + 97, TAG_COMMENT, std::min<size_t>(std::strlen(TAG_COMMENT), 28));
    char year[16];
    int n = std::snprintf(year, sizeof(year), "%d", TagYear(theSettings.YearIndex));
    std::memcpy(Tag + 93, year, static_cast<size_t>(std::clamp(n, 0, 4)));
}
