#include "WmaEncoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wma
{
namespace
{
// The bitrates offered, highest first; each is kept when the encoder takes it.
const DWORD BITRATE_LADDER[] = {320000, 256000, 192000, 160000, 128000, 96000, 80000, 64000, 48000, 40000, 32000};
// PCM frames converted per step on the way into the queue.
const int CONVERT_FRAMES = 4096;
// Room for more than one second at the highest bitrate: the file is written only when a
// Write ends, so it always ends on a whole data packet.
const int IO_BUFFER_SIZE = 1 << 20;

// The objects of the ASF header the file's sizes and durations live in.
const uint8_t FILE_PROPERTIES_GUID[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const uint8_t DATA_OBJECT_GUID[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const int64_t DATA_OBJECT_HEADER_SIZE = 50;

uint64_t GetLE64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

bool PutLE64At(int fd, int64_t nOffset, uint64_t v)
{
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    return pwrite(fd, bytes, 8, nOffset) == 8;
}

// Nothing of the libraries reaches standard error: the program reports what matters itself.
struct QuietLibraries
{
    QuietLibraries() { av_log_set_level(AV_LOG_QUIET); }
} g_quiet;
}  // namespace

const DWORD QUALITY_STEPS[7] = {100, 98, 90, 75, 50, 25, 10};

AVCodecContext* NewCodecContext(DWORD freq, DWORD chans, DWORD bitrate)
{
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!pCodec)
        return nullptr;
    AVCodecContext* pContext = avcodec_alloc_context3(pCodec);
    if (!pContext)
        return nullptr;
    pContext->sample_fmt = AV_SAMPLE_FMT_FLTP;
    pContext->sample_rate = static_cast<int>(freq);
    av_channel_layout_default(&pContext->ch_layout, static_cast<int>(chans));
    pContext->bit_rate = bitrate;
    pContext->time_base = AVRational{1, static_cast<int>(freq)};
    pContext->flags |= AV_CODEC_FLAG_BITEXACT;
    return pContext;
}

namespace
{
bool EncoderTakes(DWORD freq, DWORD chans, DWORD bitrate)
{
    // WMA v2 codes at most 48 kHz and two channels; more than a quarter of the PCM rate
    // buys nothing the encoder can use.
    if (freq < 8000 || freq > 48000 || chans < 1 || chans > 2 ||
        static_cast<uint64_t>(bitrate) * 4 > static_cast<uint64_t>(freq) * chans * 16)
        return false;
    AVCodecContext* pContext = NewCodecContext(freq, chans, bitrate);
    if (!pContext)
        return false;
    bool bOpened = avcodec_open2(pContext, pContext->codec, nullptr) >= 0;
    avcodec_free_context(&pContext);
    return bOpened;
}

}  // namespace

// The bitrates the encoder takes for this input, highest first (empty: none).
std::vector<DWORD> SupportedBitrates(DWORD freq, DWORD chans)
{
    static std::mutex lock;
    static std::map<std::pair<DWORD, DWORD>, std::vector<DWORD>> cache;
    std::lock_guard<std::mutex> guard(lock);
    auto it = cache.find({freq, chans});
    if (it != cache.end())
        return it->second;
    std::vector<DWORD> rates;
    for (DWORD rate : BITRATE_LADDER)
        if (EncoderTakes(freq, chans, rate))
            rates.push_back(rate);
    cache[{freq, chans}] = rates;
    return rates;
}

// A quality percentage as a bitrate of the list: the percentage moves on a logarithmic
// scale from the lowest to the highest bitrate, as hearing judges the steps.
DWORD BitrateForQuality(DWORD nQuality, const std::vector<DWORD>& rates)
{
    double lowest = rates.back(), highest = rates.front();
    double target = lowest * std::pow(highest / lowest, std::min<DWORD>(nQuality, 100) / 100.0);
    DWORD best = rates.front();
    double bestDistance = INFINITY;
    for (DWORD rate : rates)
    {
        double distance = std::fabs(std::log(rate / target));
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = rate;
        }
    }
    return best;
}


Encoder::~Encoder()
{
    if (pFormat)
    {
        if (pFormat->pb)
        {
            av_freep(&pFormat->pb->buffer);
            avio_context_free(&pFormat->pb);
        }
        avformat_free_context(pFormat);
    }
    if (fd >= 0)
        close(fd);
    avcodec_free_context(&pCodec);
    if (pQueue)
        av_audio_fifo_free(pQueue);
    av_frame_free(&pFrame);
    av_packet_free(&pPacket);
    av_dict_free(&pTags);
}

bool Encoder::WriteHeader()
{
    if (bHeaderWritten)
        return !bFailed;
    bHeaderWritten = true;
    pFormat->metadata = pTags;
    pTags = nullptr;
    if (avformat_write_header(pFormat, nullptr) < 0)
    {
        bFailed = true;
        return false;
    }
    avio_flush(pFormat->pb);
    if (pFormat->pb->error < 0 || bDiskFull)
        bFailed = true;
    else
        FindHeaderFields();
    return !bFailed;
}

int Encoder::WriteOut(void* pOpaque, uint8_t* pBuffer, int nSize)
{
    auto* e = static_cast<Encoder*>(pOpaque);
    if (e->bDiskFull)
        return AVERROR(ENOSPC);
    int nDone = 0;
    while (nDone < nSize)
    {
        ssize_t n = pwrite(e->fd, pBuffer + nDone, static_cast<size_t>(nSize - nDone), e->nPosition + nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            e->bDiskFull = true;
            e->nDiskEnd = e->nPosition + nDone;
            return AVERROR(n < 0 ? errno : ENOSPC);
        }
        nDone += static_cast<int>(n);
    }
    e->nPosition += nDone;
    return nDone;
}

int64_t Encoder::Seek(void* pOpaque, int64_t nOffset, int nWhence)
{
    auto* e = static_cast<Encoder*>(pOpaque);
    struct stat st;
    if (nWhence == AVSEEK_SIZE)
        return fstat(e->fd, &st) == 0 ? st.st_size : AVERROR(errno);
    switch (nWhence & ~AVSEEK_FORCE)
    {
    case SEEK_SET: e->nPosition = nOffset; break;
    case SEEK_CUR: e->nPosition += nOffset; break;
    case SEEK_END:
        if (fstat(e->fd, &st) != 0)
            return AVERROR(errno);
        e->nPosition = st.st_size + nOffset;
        break;
    default: return AVERROR(EINVAL);
    }
    return e->nPosition;
}

bool Encoder::OpenFile(const char* pszPath)
{
    fd = open(pszPath, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    auto* pBuffer = static_cast<unsigned char*>(av_malloc(IO_BUFFER_SIZE));
    if (!pBuffer)
        return false;
    pFormat->pb = avio_alloc_context(pBuffer, IO_BUFFER_SIZE, 1, this, nullptr, WriteOut, Seek);
    if (!pFormat->pb)
    {
        av_free(pBuffer);
        return false;
    }
    pFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    return true;
}

void Encoder::FindHeaderFields()
{
    uint8_t header[65536];
    ssize_t n = pread(fd, header, sizeof(header), 0);
    if (n < 30)
        return;
    const int64_t nHeaderSize = static_cast<int64_t>(GetLE64(header + 16));
    if (nHeaderSize + DATA_OBJECT_HEADER_SIZE > n ||
        std::memcmp(header + nHeaderSize, DATA_OBJECT_GUID, 16) != 0)
        return;
    for (int64_t nObject = 30; nObject + 24 <= nHeaderSize;)
    {
        const int64_t nObjectSize = static_cast<int64_t>(GetLE64(header + nObject + 16));
        if (nObjectSize < 24)
            return;
        if (std::memcmp(header + nObject, FILE_PROPERTIES_GUID, 16) == 0 && nObject + 104 <= nHeaderSize)
        {
            nPreroll100ns = GetLE64(header + nObject + 80) * 10000;
            nPacketSize = header[nObject + 92] | header[nObject + 93] << 8 | header[nObject + 94] << 16 |
                          static_cast<int64_t>(header[nObject + 95]) << 24;
            if (nPacketSize > 0)
            {
                nFileProperties = nObject;
                nDataObject = nHeaderSize;
            }
            return;
        }
        nObject += nObjectSize;
    }
}

void Encoder::DescribeDataUpTo(int64_t nEnd)
{
    if (nFileProperties < 0)
        return;
    const int64_t nFirstPacket = nDataObject + DATA_OBJECT_HEADER_SIZE;
    const int64_t nPackets = std::max<int64_t>(0, (nEnd - nFirstPacket) / nPacketSize);
    const int64_t nDataEnd = nFirstPacket + nPackets * nPacketSize;
    int64_t nTime = 0;
    for (const auto& end : packetEnds)
        if (end.first <= nDataEnd)
            nTime = std::max(nTime, end.second);
    PutLE64At(fd, nFileProperties + 40, static_cast<uint64_t>(nDataEnd));
    PutLE64At(fd, nFileProperties + 56, static_cast<uint64_t>(nPackets));
    PutLE64At(fd, nFileProperties + 64, static_cast<uint64_t>(nTime) + nPreroll100ns);
    PutLE64At(fd, nFileProperties + 72, static_cast<uint64_t>(nTime));
    PutLE64At(fd, nDataObject + 16, static_cast<uint64_t>(nDataEnd - nDataObject));
    PutLE64At(fd, nDataObject + 40, static_cast<uint64_t>(nPackets));
}

void Encoder::CutBack(int64_t nEnd)
{
    if (nFileProperties < 0)
        return;
    const int64_t nFirstPacket = nDataObject + DATA_OBJECT_HEADER_SIZE;
    const int64_t nDataEnd =
        nFirstPacket + std::max<int64_t>(0, (nEnd - nFirstPacket) / nPacketSize) * nPacketSize;
    if (ftruncate(fd, nDataEnd) == 0)
        DescribeDataUpTo(nDataEnd);
}

bool Encoder::Send(AVFrame* pInput)
{
    if (avcodec_send_frame(pCodec, pInput) < 0)
        return !(bFailed = true);
    int r;
    while ((r = avcodec_receive_packet(pCodec, pPacket)) == 0)
    {
        av_packet_rescale_ts(pPacket, pCodec->time_base, pStream->time_base);
        pPacket->stream_index = pStream->index;
        // The muxer writes a data packet whenever one is full: its frames are then whole
        // up to the start of this one.
        const int64_t nBefore = avio_tell(pFormat->pb);
        const int64_t nStart = av_rescale_q(pPacket->pts, pStream->time_base, AVRational{1, 10000000});
        if (av_interleaved_write_frame(pFormat, pPacket) < 0)
            return !(bFailed = true);
        const int64_t nAfter = avio_tell(pFormat->pb);
        if (nAfter > nBefore)
            packetEnds.emplace_back(nAfter, nStart);
    }
    if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
        return !(bFailed = true);
    return true;
}

bool Encoder::EncodeQueued(bool bEnd)
{
    const int nFrameSize = pCodec->frame_size;
    if (bEnd && !AddSilence(std::max(pCodec->initial_padding, nFrameSize)))
        return false;
    while (!bFailed && (av_audio_fifo_size(pQueue) >= nFrameSize || (bEnd && av_audio_fifo_size(pQueue) > 0)))
    {
        if (av_frame_make_writable(pFrame) < 0)
            return !(bFailed = true);
        // A short last frame is padded with silence by the codec library.
        int n = std::min(nFrameSize, av_audio_fifo_size(pQueue));
        pFrame->nb_samples = n;
        av_audio_fifo_read(pQueue, reinterpret_cast<void**>(pFrame->data), n);
        pFrame->pts = nNextPts;
        nNextPts += n;
        Send(pFrame);
    }
    if (bEnd && !bFailed)
        Send(nullptr);
    return !bFailed;
}

bool Encoder::AddSilence(int nSamples)
{
    planes.assign(static_cast<size_t>(std::max(nSamples, CONVERT_FRAMES)) * nChannels, 0.0f);
    float* pPlanes[2] = {planes.data(), planes.data() + planes.size() / nChannels};
    if (av_audio_fifo_write(pQueue, reinterpret_cast<void**>(pPlanes), nSamples) < 0)
        return !(bFailed = true);
    return true;
}

bool Encoder::Queue(const uint8_t* pPcm, size_t nFrames)
{
    planes.resize(static_cast<size_t>(CONVERT_FRAMES) * nChannels);
    float* pPlanes[2] = {planes.data(), planes.data() + CONVERT_FRAMES};
    while (nFrames > 0)
    {
        size_t n = std::min<size_t>(nFrames, CONVERT_FRAMES);
        for (size_t i = 0; i < n; ++i)
            for (int c = 0; c < nChannels; ++c)
            {
                int16_t s;
                std::memcpy(&s, pPcm + 2 * (i * nChannels + c), 2);
                pPlanes[c][i] = s * (1.0f / 32768.0f);
            }
        if (av_audio_fifo_write(pQueue, reinterpret_cast<void**>(pPlanes), static_cast<int>(n)) < 0)
            return !(bFailed = true);
        pPcm += n * nChannels * 2;
        nFrames -= n;
    }
    return true;
}

}  // namespace wma
