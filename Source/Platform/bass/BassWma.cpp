// libbasswma.so: WMA files through FFmpeg's WMA v2 encoder and ASF muxer.
#include "basswma.h"
#include "WmaEncoder.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using wma::BitrateForQuality;
using wma::Encoder;
using wma::NewCodecContext;
using wma::SupportedBitrates;

std::mutex g_encodersLock;
std::map<HWMENCODE, std::unique_ptr<Encoder>> g_encoders;
HWMENCODE g_nLastHandle = 0;

Encoder* FindEncoder(HWMENCODE handle)
{
    std::lock_guard<std::mutex> lock(g_encodersLock);
    auto it = g_encoders.find(handle);
    return it == g_encoders.end() ? nullptr : it->second.get();
}

// The attribute names the muxer knows under its own generic names. "Title" stays as it
// is: the muxer files it (matching names without case) under the title of the content
// description, and as "title" it would reach the attribute list in lower case.
const char* MuxerKey(const char* pszTag)
{
    if (std::strcmp(pszTag, "WM/AlbumTitle") == 0)
        return "album";
    if (std::strcmp(pszTag, "Author") == 0)
        return "artist";
    return pszTag;
}
}  // namespace

extern "C" {

BASSDEF(const DWORD*) BASS_WMA_EncodeGetRates(DWORD freq, DWORD chans, DWORD flags)
{
    thread_local std::vector<DWORD> list;
    std::vector<DWORD> rates = SupportedBitrates(freq, chans);
    if (rates.empty())
        return nullptr;
    if (flags & BASS_WMA_ENCODE_RATES_VBR)
        list.assign(std::begin(wma::QUALITY_STEPS), std::end(wma::QUALITY_STEPS));
    else
        list = rates;
    list.push_back(0);
    return list.data();
}

BASSDEF(HWMENCODE) BASS_WMA_EncodeOpenFile(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate, const void* file)
{
    const char* pszPath = static_cast<const char*>(file);
    if (!pszPath || !*pszPath || bitrate == 0)
        return 0;
    std::vector<DWORD> rates = SupportedBitrates(freq, chans);
    if (rates.empty())
        return 0;
    DWORD nBitrate = bitrate;
    if (bitrate <= 100)
        nBitrate = BitrateForQuality(bitrate, rates);
    else if (std::find(rates.begin(), rates.end(), bitrate) == rates.end())
        return 0;

    auto pEncoder = std::make_unique<Encoder>();
    Encoder& e = *pEncoder;
    e.path = pszPath;
    e.nChannels = static_cast<int>(chans);
    if (avformat_alloc_output_context2(&e.pFormat, nullptr, "asf", pszPath) < 0)
        return 0;
    // No encoder name of the libraries' own among the file's attributes.
    e.pFormat->flags |= AVFMT_FLAG_BITEXACT;
    e.pCodec = NewCodecContext(freq, chans, nBitrate);
    if (!e.pCodec)
        return 0;
    if (e.pFormat->oformat->flags & AVFMT_GLOBALHEADER)
        e.pCodec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(e.pCodec, e.pCodec->codec, nullptr) < 0)
        return 0;
    e.pStream = avformat_new_stream(e.pFormat, nullptr);
    if (!e.pStream || avcodec_parameters_from_context(e.pStream->codecpar, e.pCodec) < 0)
        return 0;
    e.pStream->time_base = e.pCodec->time_base;

    e.pQueue = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, e.nChannels, 2 * e.pCodec->frame_size);
    e.pFrame = av_frame_alloc();
    e.pPacket = av_packet_alloc();
    if (!e.pQueue || !e.pFrame || !e.pPacket)
        return 0;
    e.pFrame->format = AV_SAMPLE_FMT_FLTP;
    e.pFrame->sample_rate = e.pCodec->sample_rate;
    e.pFrame->nb_samples = e.pCodec->frame_size;
    if (av_channel_layout_copy(&e.pFrame->ch_layout, &e.pCodec->ch_layout) < 0 || av_frame_get_buffer(e.pFrame, 0) < 0)
        return 0;
    // Decoders drop the first encoded frame: let it be silence, not the first 46 ms of the recording.
    if (!e.AddSilence(e.pCodec->frame_size))
        return 0;

    if (!e.OpenFile(pszPath))
        return 0;
    if (!(flags & BASS_WMA_ENCODE_TAGS) && !e.WriteHeader())
    {
        pEncoder.reset();
        std::remove(pszPath);
        return 0;
    }

    std::lock_guard<std::mutex> lock(g_encodersLock);
    do
        ++g_nLastHandle;
    while (g_nLastHandle == 0 || g_encoders.count(g_nLastHandle));
    g_encoders[g_nLastHandle] = std::move(pEncoder);
    return g_nLastHandle;
}

BASSDEF(BOOL) BASS_WMA_EncodeSetTag(HWMENCODE handle, const char* tag, const char* text)
{
    Encoder* e = FindEncoder(handle);
    if (!e)
        return FALSE;
    if (!tag && !text)
        return e->WriteHeader() ? TRUE : FALSE;
    if (!tag || !*tag || !text || e->bHeaderWritten)
        return FALSE;
    return av_dict_set(&e->pTags, MuxerKey(tag), text, 0) >= 0 ? TRUE : FALSE;
}

BASSDEF(BOOL) BASS_WMA_EncodeWrite(HWMENCODE handle, const void* buffer, DWORD length)
{
    Encoder* e = FindEncoder(handle);
    if (!e || !buffer || !e->WriteHeader() || e->bFailed)
        return FALSE;
    size_t nFrames = length / (2u * e->nChannels);
    if (e->Queue(static_cast<const uint8_t*>(buffer), nFrames))
        e->EncodeQueued(false);
    // What was encoded is in the file, so its size tells how far the recording got, and
    // the header says how long it is.
    avio_flush(e->pFormat->pb);
    if (e->bDiskFull)
    {
        e->bFailed = true;
        e->CutBack(e->nDiskEnd);
        return FALSE;
    }
    if (e->pFormat->pb->error < 0)
        e->bFailed = true;
    if (e->bFailed)
        return FALSE;
    e->DescribeDataUpTo(e->nPosition);
    return TRUE;
}

BASSDEF(void) BASS_WMA_EncodeClose(HWMENCODE handle)
{
    std::unique_ptr<Encoder> pEncoder;
    {
        std::lock_guard<std::mutex> lock(g_encodersLock);
        auto it = g_encoders.find(handle);
        if (it == g_encoders.end())
            return;
        pEncoder = std::move(it->second);
        g_encoders.erase(it);
    }
    Encoder& e = *pEncoder;
    // After a failed write the muxer counts data the file does not hold, so its trailer
    // would describe a file that is not there: the header already describes what is.
    if (e.WriteHeader() && !e.bFailed)
    {
        const int64_t nDataEnd = e.nPosition;
        e.EncodeQueued(true);
        av_write_trailer(e.pFormat);
        avio_flush(e.pFormat->pb);
        // The disk filled while the end was written: back to the packets written before.
        if (e.bDiskFull)
            e.CutBack(nDataEnd);
    }
}

BASSDEF(DWORD) BASS_WMA_EncodeGetBitrate(HWMENCODE handle)
{
    Encoder* e = FindEncoder(handle);
    return e ? static_cast<DWORD>(e->pCodec->bit_rate) : 0;
}
}
