#include "ReceiverMP3.h"

#include "RecordingFiles.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>

const char* const CReceiverMP3::TAG_COMMENT = "Recorded with Vorane";

namespace
{
// ID3v1 texts are single-byte Latin-1, as the program's texts were on the system it was
// designed on; here the texts are cleaned UTF-8. Characters outside Latin-1 (the
// replacement character among them) become '?'.
std::string ToLatin1(const std::string& text)
{
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;)
    {
        uint32_t cp = 0;
        const size_t len = Utf8CharacterLength(p + i, n - i, cp);
        if (len == 0)
        {
            out += static_cast<char>(p[i]);
            ++i;
            continue;
        }
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        i += len;
    }
    return out;
}

// The encoder module refused a buffer: the file keeps what it had, whole.
CRecorderError EncoderFailure()
{
    return CRecorderError::Ended("The MP3 encoder failed, so the recording was stopped. What was recorded until "
                                 "then is kept.",
                                 "The MP3 encoder failed: nothing could be saved.");
}

// A field of the tag: cut to its width; a shorter text is followed by zeros.
void PutField(uint8_t* pField, size_t nWidth, const std::string& text)
{
    std::string latin1 = ToLatin1(CleanTagText(text));
    std::memcpy(pField, latin1.data(), std::min(latin1.size(), nWidth));
}
}  // namespace

CReceiverMP3::CReceiverMP3(uint32_t nBitrate, uint32_t nReSampleRate)
    : State(ReceiverState::Waiting), Encoder(nBitrate, 44100, nReSampleRate)
{
    std::memset(Tag, 0, sizeof(Tag));
}

// A receiver dropped without Finish leaves its file as the last write left it: whole frames and the tag.
CReceiverMP3::~CReceiverMP3() = default;

namespace
{
// The length of the MPEG audio Layer III frame whose header starts at p, or 0.
size_t FrameLength(const uint8_t* p, size_t n)
{
    static const int MPEG1_KBPS[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int MPEG2_KBPS[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int RATES[] = {44100, 48000, 32000, 0};
    if (n < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0 || ((p[1] >> 1) & 3) != 1)
        return 0;
    const int version = (p[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    if (version == 1)
        return 0;
    int nRate = RATES[(p[2] >> 2) & 3];
    int nKbps = (version == 3 ? MPEG1_KBPS : MPEG2_KBPS)[p[2] >> 4];
    if (nRate == 0 || nKbps == 0)
        return 0;
    nRate >>= version == 3 ? 0 : version == 2 ? 1 : 2;
    const int nSlots = version == 3 ? 144000 : 72000;
    return static_cast<size_t>(nSlots * nKbps / nRate + ((p[2] >> 1) & 1));
}

// The end of the last whole frame of the data within its first nMax bytes.
size_t WholeFrames(const uint8_t* pData, size_t nSize, size_t nMax)
{
    size_t nEnd = 0;
    while (size_t nLength = FrameLength(pData + nEnd, nSize - nEnd))
    {
        if (nEnd + nLength > std::min(nSize, nMax))
            break;
        nEnd += nLength;
    }
    return nEnd;
}
}  // namespace

uint32_t CReceiverMP3::WriteOut(const uint8_t* pData, uint32_t nSize)
{
    if (State == ReceiverState::Waiting)
    {
        if (!Output)
            throw CRecorderError("Can't create MP3 file.");
        State = ReceiverState::Writing;
        m_nFramesEnd = 0;
        BuildTag();
    }
    // The frames go where the tag was, followed by the tag, in one write: a recording
    // cut short at any second still ends with whole frames and its tag.
    std::vector<uint8_t>& out = m_writeArea;
    out.assign(pData, pData + nSize);
    out.insert(out.end(), Tag, Tag + sizeof(Tag));
    const int fd = Output->Fd();
    const size_t nWritten = WriteAt(fd, out.data(), out.size(), m_nFramesEnd);
    if (nWritten == out.size())
    {
        m_nFramesEnd += nSize;
        // Frames and the tag: a file any player reads, so it may take its name now.
        if (!Output->Publish())
            throw WriteFailure(errno);
        return nSize;
    }
    // The disk took less. The file holds at least as much as before (the old tag's place
    // included): keep the new frames that leave room for the tag after them.
    const int nError = errno;
    const size_t nRoom = std::max(nWritten, sizeof(Tag));
    const size_t nKept = WholeFrames(pData, nSize, nRoom - sizeof(Tag));
    m_nFramesEnd += nKept;
    if (WriteAt(fd, Tag, sizeof(Tag), m_nFramesEnd) == sizeof(Tag) &&
        ftruncate(fd, static_cast<off_t>(m_nFramesEnd + sizeof(Tag))) == 0 && m_nFramesEnd > 0)
        Output->Publish();
    m_bFull = true;
    throw WriteFailure(nError);
}

uint32_t CReceiverMP3::Write(const uint8_t* pData, uint32_t nSize)
{
    if (nSize == 0 || !pData || State == ReceiverState::Finished || m_bFull)
        return 0;
    uint32_t nProduced = 0;
    if (Encoder.EncodeChunk(reinterpret_cast<const int16_t*>(pData), nSize / 2, m_output, OUTPUT_AREA_SIZE,
                            nProduced) != BE_ERR_SUCCESSFUL)
        throw EncoderFailure();
    m_bFed = true;
    if (nProduced == 0)
        return 0;
    return WriteOut(m_output, nProduced);
}

void CReceiverMP3::Finish()
{
    std::optional<CRecorderError> failure;
    if (State != ReceiverState::Finished && (State == ReceiverState::Writing || m_bFed))
    {
        // The encoder still holds the last part of a frame: without it every recording
        // would lose its end.
        uint32_t nFlushed = 0;
        if (!m_bFull && Encoder.Flush(m_output, OUTPUT_AREA_SIZE, nFlushed) != BE_ERR_SUCCESSFUL)
            failure = EncoderFailure();
        try
        {
            if (nFlushed)
                WriteOut(m_output, nFlushed);
        }
        catch (const CRecorderError& ended)
        {
            // The disk took less: the file was cut back to whole frames and the tag.
            failure = ended;
        }
        State = ReceiverState::Finished;
    }
    Output.reset();
    if (failure)
        throw *failure;
}

uint32_t CReceiverMP3::KeptMilliseconds() const
{
    // Constant bitrate: the frames' bytes tell their length.
    const uint64_t nBitsPerSecond = static_cast<uint64_t>(Encoder.WrittenBitrate()) * 1000u;
    return nBitsPerSecond ? static_cast<uint32_t>(m_nFramesEnd * 8000u / nBitsPerSecond) : 0;
}

void CReceiverMP3::BuildTag()
{
    std::memset(Tag, 0, sizeof(Tag));
    if (!Tags.album.empty())
        PutField(Tag + 63, 30, Tags.album);
    if (!Tags.artist.empty())
        PutField(Tag + 33, 30, Tags.artist);
    if (!Tags.title.empty())
        PutField(Tag + 3, 30, Tags.title);
    std::memcpy(Tag, "TAG", 3);
    std::memcpy(Tag + 97, TAG_COMMENT, std::min<size_t>(std::strlen(TAG_COMMENT), 28));
    char year[16];
    int n = std::snprintf(year, sizeof(year), "%d", Tags.year);
    std::memcpy(Tag + 93, year, static_cast<size_t>(std::clamp(n, 0, 4)));
}
