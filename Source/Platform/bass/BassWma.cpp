// libbasswma.so: WMA files through FFmpeg's WMA v2 encoder and ASF muxer.
#include "basswma.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{
// The bitrates offered, highest first; each is kept when the encoder takes it.
const DWORD BITRATE_LADDER[] = {320000, 256000, 192000, 160000, 128000, 96000, 80000, 64000, 48000, 40000, 32000};
const DWORD QUALITIES[] = {100, 98, 90, 75, 50, 25, 10};
// PCM frames converted per step on the way into the queue.
const int CONVERT_FRAMES = 4096;

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

struct Encoder
{
    AVFormatContext* pFormat = nullptr;
    AVCodecContext* pCodec = nullptr;
    AVStream* pStream = nullptr;
    AVAudioFifo* pQueue = nullptr;
    AVFrame* pFrame = nullptr;
    AVPacket* pPacket = nullptr;
    AVDictionary* pTags = nullptr;
    std::string path;
    int nChannels = 0;
    int64_t nNextPts = 0;
    bool bHeaderWritten = false;
    bool bFailed = false;
    std::vector<float> planes;  // conversion space, one plane after the other

    ~Encoder()
    {
        if (pFormat)
        {
            if (pFormat->pb)
                avio_closep(&pFormat->pb);
            avformat_free_context(pFormat);
        }
        avcodec_free_context(&pCodec);
        if (pQueue)
            av_audio_fifo_free(pQueue);
        av_frame_free(&pFrame);
        av_packet_free(&pPacket);
        av_dict_free(&pTags);
    }

    bool WriteHeader()
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
        if (pFormat->pb->error < 0)
            bFailed = true;
        return !bFailed;
    }

    // Hands a frame (null: the end) to the encoder and writes every packet it gives back.
    bool Send(AVFrame* pInput)
    {
        if (avcodec_send_frame(pCodec, pInput) < 0)
            return !(bFailed = true);
        int r;
        while ((r = avcodec_receive_packet(pCodec, pPacket)) == 0)
        {
            av_packet_rescale_ts(pPacket, pCodec->time_base, pStream->time_base);
            pPacket->stream_index = pStream->index;
            if (av_interleaved_write_frame(pFormat, pPacket) < 0)
                return !(bFailed = true);
        }
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF)
            return !(bFailed = true);
        return true;
    }

    // Encodes every whole frame in the queue; at the end also the rest and the encoder's delay.
    bool EncodeQueued(bool bEnd)
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

    // A decoder completes each frame with the next one, so the end needs a frame of
    // silence after the audio, or its last samples would never be heard.
    bool AddSilence(int nSamples)
    {
        planes.assign(static_cast<size_t>(std::max(nSamples, CONVERT_FRAMES)) * nChannels, 0.0f);
        float* pPlanes[2] = {planes.data(), planes.data() + planes.size() / nChannels};
        if (av_audio_fifo_write(pQueue, reinterpret_cast<void**>(pPlanes), nSamples) < 0)
            return !(bFailed = true);
        return true;
    }

    bool Queue(const uint8_t* pPcm, size_t nFrames)
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
};

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
        list.assign(std::begin(QUALITIES), std::end(QUALITIES));
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

    if (avio_open(&e.pFormat->pb, pszPath, AVIO_FLAG_WRITE) < 0)
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
    if (!e->Queue(static_cast<const uint8_t*>(buffer), nFrames) || !e->EncodeQueued(false))
        return FALSE;
    // What was encoded is in the file, so its size tells how far the recording got.
    avio_flush(e->pFormat->pb);
    if (e->pFormat->pb->error < 0)
        e->bFailed = true;
    return e->bFailed ? FALSE : TRUE;
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
    if (pEncoder->WriteHeader())
    {
        pEncoder->EncodeQueued(true);
        // Even after a failed write the trailer is worth a try: it makes the header
        // describe what reached the file.
        av_write_trailer(pEncoder->pFormat);
    }
}

BASSDEF(DWORD) BASS_WMA_EncodeGetBitrate(HWMENCODE handle)
{
    Encoder* e = FindEncoder(handle);
    return e ? static_cast<DWORD>(e->pCodec->bit_rate) : 0;
}
}
