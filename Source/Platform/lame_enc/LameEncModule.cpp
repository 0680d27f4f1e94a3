// liblame_enc.so: the BladeEnc-style MP3 encoder interface over libmp3lame.
//
// Stream handles are 32-bit numbers, as the interface defines them, so the
// module keeps its LAME encoders in a table and hands out positions in it.
#include "BladeMP3EncDLL.h"

#include <lame/lame.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

#define LAME_ENC_EXPORT extern "C" __attribute__((visibility("default")))

namespace
{
struct Stream
{
    lame_t gf = nullptr;
    int nChannels = 2;
    uint32_t nChunkSamples = 0;  // all channels together
    uint32_t nBufferSize = 0;    // enough for one chunk of nChunkSamples
};

std::mutex g_tableLock;
std::vector<std::unique_ptr<Stream>> g_streams;  // handle h is g_streams[h - 1]
HBE_STREAM g_lastFlushed = 0;                     // for beWriteVBRHeader, which names no stream

Stream* Find(HBE_STREAM h)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    if (h == 0 || h > g_streams.size())
        return nullptr;
    return g_streams[h - 1].get();
}

HBE_STREAM Add(std::unique_ptr<Stream> stream)
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    for (size_t i = 0; i < g_streams.size(); ++i)
        if (!g_streams[i])
        {
            g_streams[i] = std::move(stream);
            return static_cast<HBE_STREAM>(i + 1);
        }
    if (g_streams.size() >= 0xFFFFFFFEu)
        return 0;
    g_streams.push_back(std::move(stream));
    return static_cast<HBE_STREAM>(g_streams.size());
}

bool IsMp3SampleRate(uint32_t nRate)
{
    for (int version = 0; version < 3; ++version)
        for (int i = 0; i < 3; ++i)
            if (static_cast<uint32_t>(lame_get_samplerate(version, i)) == nRate)
                return true;
    return false;
}

// The MPEG version LAME writes for an output rate (0 MPEG-2, 1 MPEG-1, 2 MPEG-2.5).
int MpegVersionOf(uint32_t nRate)
{
    return nRate >= 32000 ? 1 : nRate >= 16000 ? 0 : 2;
}

// A constant bitrate the format cannot carry at that output rate becomes the next one
// up, so a recording is never made at less than the quality asked for.
uint32_t SnapBitrate(uint32_t nKbps, uint32_t nOutRate)
{
    int version = MpegVersionOf(nOutRate);
    int highest = 0;
    for (int i = 1; i < 15; ++i)
    {
        int rate = lame_get_bitrate(version, i);
        if (rate <= 0)
            continue;
        if (static_cast<uint32_t>(rate) >= nKbps)
            return static_cast<uint32_t>(rate);
        highest = rate;
    }
    return static_cast<uint32_t>(highest);
}

MPEG_mode ModeOf(int nMode)
{
    switch (nMode)
    {
    case BE_MP3_MODE_STEREO: return STEREO;
    case BE_MP3_MODE_DUALCHANNEL: return DUAL_CHANNEL;
    case BE_MP3_MODE_MONO: return MONO;
    default: return JOINT_STEREO;
    }
}

// Applies the record to a fresh encoder; false when it asks for something impossible.
bool Configure(lame_t gf, const BE_CONFIG& config, int& nChannels)
{
    uint32_t nInRate, nOutRate, nKbps;
    int nMode;
    if (config.dwConfig == BE_CONFIG_MP3)
    {
        nInRate = config.format.mp3.dwSampleRate;
        nOutRate = 0;
        nMode = config.format.mp3.byMode;
        nKbps = config.format.mp3.wBitrate;
        lame_set_emphasis(gf, config.format.mp3.byEmphasis);
    }
    else if (config.dwConfig == BE_CONFIG_LAME)
    {
        const auto& c = config.format.LHV1;
        if (c.dwStructVersion < 1 || c.dwStructSize < offsetof(BE_CONFIG, format.LHV1.btReserved))
            return false;
        nInRate = c.dwSampleRate;
        nOutRate = c.dwReSampleRate;
        nMode = c.nMode;
        nKbps = c.dwBitrate;
        lame_set_emphasis(gf, static_cast<int>(c.dwEmphasis));
        lame_set_extension(gf, c.bPrivate ? 1 : 0);
        lame_set_error_protection(gf, c.bCRC ? 1 : 0);
        lame_set_copyright(gf, c.bCopyright ? 1 : 0);
        lame_set_original(gf, c.bOriginal ? 1 : 0);
        lame_set_disable_reservoir(gf, c.bNoRes ? 1 : 0);
        lame_set_strict_ISO(gf, c.bStrictIso ? 1 : 0);
        lame_set_bWriteVbrTag(gf, c.bWriteVBRHeader ? 1 : 0);
        int nLow = c.nQuality & 0xFF, nHigh = (c.nQuality >> 8) & 0xFF;
        if (nLow == (~nHigh & 0xFF) && nLow <= 9)
            lame_set_quality(gf, nLow);
        if (c.bEnableVBR)
        {
            lame_set_VBR(gf, c.nVbrMethod == VBR_METHOD_ABR ? vbr_abr
                             : c.nVbrMethod == VBR_METHOD_OLD ? vbr_rh
                                                              : vbr_mtrh);
            lame_set_VBR_quality(gf, static_cast<float>(c.nVBRQuality));
            lame_set_VBR_min_bitrate_kbps(gf, static_cast<int>(c.dwBitrate));
            if (c.dwMaxBitrate)
                lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(c.dwMaxBitrate));
            if (c.nVbrMethod == VBR_METHOD_ABR && c.dwVbrAbr_bps)
                lame_set_VBR_mean_bitrate_kbps(gf, static_cast<int>(c.dwVbrAbr_bps / 1000));
        }
        else
            lame_set_VBR(gf, vbr_off);
    }
    else
        return false;

    if (nInRate == 0 || nMode < 0 || nMode > BE_MP3_MODE_MONO)
        return false;
    // "The encoder decides" keeps the input rate whenever MP3 can carry it: a recording
    // is never resampled behind the user's back.
    if (nOutRate == 0 && IsMp3SampleRate(nInRate))
        nOutRate = nInRate;
    nChannels = nMode == BE_MP3_MODE_MONO ? 1 : 2;
    lame_set_in_samplerate(gf, static_cast<int>(nInRate));
    if (nOutRate)
        lame_set_out_samplerate(gf, static_cast<int>(nOutRate));
    lame_set_num_channels(gf, nChannels);
    lame_set_mode(gf, ModeOf(nMode));
    if (lame_get_VBR(gf) == vbr_off && nKbps)
        lame_set_brate(gf, static_cast<int>(nOutRate ? SnapBitrate(nKbps, nOutRate) : nKbps));
    // Tags are the program's business.
    lame_set_write_id3tag_automatic(gf, 0);
    return lame_init_params(gf) >= 0;
}

BE_ERR WriteTag(Stream* pStream, const char* pszFileName)
{
    if (!pStream || !pszFileName)
        return BE_ERR_INVALID_HANDLE;
    // Without the reserved first frame there is nothing to fill in: the tag would
    // overwrite audio.
    if (!lame_get_bWriteVbrTag(pStream->gf))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    struct stat st;
    if (stat(pszFileName, &st) != 0 || !S_ISREG(st.st_mode))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    FILE* pFile = std::fopen(pszFileName, "rb+");
    if (!pFile)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    lame_mp3_tags_fid(pStream->gf, pFile);
    int nClosed = std::fclose(pFile);
    return nClosed == 0 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

// The capacity of an output area given as described in the header.
bool Capacity(const Stream& s, uint32_t nGiven, uint32_t nSamples, int& nCapacity)
{
    if (nGiven == 0)
    {
        if (nSamples > s.nChunkSamples)
            return false;
        nGiven = s.nBufferSize;
    }
    nCapacity = nGiven > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(nGiven);
    return true;
}
}  // namespace

LAME_ENC_EXPORT BE_ERR beInitStream(PBE_CONFIG pConfig, uint32_t* pdwSamples, uint32_t* pdwBufferSize,
                                    HBE_STREAM* phStream)
{
    if (!pConfig || !pdwSamples || !pdwBufferSize || !phStream)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *phStream = 0;
    if (pConfig->dwConfig != BE_CONFIG_MP3 && pConfig->dwConfig != BE_CONFIG_LAME)
        return BE_ERR_INVALID_FORMAT;

    auto stream = std::make_unique<Stream>();
    stream->gf = lame_init();
    if (!stream->gf)
        return BE_ERR_NO_MORE_HANDLES;
    if (!Configure(stream->gf, *pConfig, stream->nChannels))
    {
        lame_close(stream->gf);
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    uint32_t nFrame = static_cast<uint32_t>(lame_get_framesize(stream->gf));
    stream->nChunkSamples = nFrame * static_cast<uint32_t>(stream->nChannels);
    // LAME's worst case for a chunk of n frames: 1.25 n + 7200 bytes.
    stream->nBufferSize = nFrame + nFrame / 4 + 7200;
    uint32_t nSamples = stream->nChunkSamples, nBufferSize = stream->nBufferSize;
    lame_t gf = stream->gf;
    HBE_STREAM h = Add(std::move(stream));
    if (h == 0)
    {
        lame_close(gf);
        return BE_ERR_NO_MORE_HANDLES;
    }
    *pdwSamples = nSamples;
    *pdwBufferSize = nBufferSize;
    *phStream = h;
    return BE_ERR_SUCCESSFUL;
}

LAME_ENC_EXPORT BE_ERR beEncodeChunk(HBE_STREAM hStream, uint32_t nSamples, int16_t* pSamples, uint8_t* pOutput,
                                     uint32_t* pdwOutput)
{
    Stream* s = Find(hStream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    if (!pOutput || !pdwOutput || (nSamples && !pSamples))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    int nCapacity = 0;
    if (!Capacity(*s, *pdwOutput, nSamples, nCapacity))
    {
        *pdwOutput = 0;
        return BE_ERR_BUFFER_TOO_SMALL;
    }
    *pdwOutput = 0;
    int nFrames = static_cast<int>(nSamples / static_cast<uint32_t>(s->nChannels));
    int n = s->nChannels == 2 ? lame_encode_buffer_interleaved(s->gf, pSamples, nFrames, pOutput, nCapacity)
                              : lame_encode_buffer(s->gf, pSamples, pSamples, nFrames, pOutput, nCapacity);
    if (n == -1)
        return BE_ERR_BUFFER_TOO_SMALL;
    if (n < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *pdwOutput = static_cast<uint32_t>(n);
    return BE_ERR_SUCCESSFUL;
}

LAME_ENC_EXPORT BE_ERR beDeinitStream(HBE_STREAM hStream, uint8_t* pOutput, uint32_t* pdwOutput)
{
    Stream* s = Find(hStream);
    if (!s)
        return BE_ERR_INVALID_HANDLE;
    if (!pOutput || !pdwOutput)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    int nCapacity = 0;
    Capacity(*s, *pdwOutput, 0, nCapacity);
    *pdwOutput = 0;
    int n = lame_encode_flush(s->gf, pOutput, nCapacity);
    if (n == -1)
        return BE_ERR_BUFFER_TOO_SMALL;
    if (n < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *pdwOutput = static_cast<uint32_t>(n);
    std::lock_guard<std::mutex> lock(g_tableLock);
    g_lastFlushed = hStream;
    return BE_ERR_SUCCESSFUL;
}

LAME_ENC_EXPORT BE_ERR beCloseStream(HBE_STREAM hStream)
{
    std::unique_ptr<Stream> stream;
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        if (hStream == 0 || hStream > g_streams.size() || !g_streams[hStream - 1])
            return BE_ERR_INVALID_HANDLE;
        stream = std::move(g_streams[hStream - 1]);
        if (g_lastFlushed == hStream)
            g_lastFlushed = 0;
    }
    lame_close(stream->gf);
    return BE_ERR_SUCCESSFUL;
}

LAME_ENC_EXPORT void beVersion(PBE_VERSION pVersion)
{
    if (!pVersion)
        return;
    std::memset(pVersion, 0, sizeof(*pVersion));
    lame_version_t v{};
    get_lame_version_numerical(&v);
    pVersion->byDLLMajorVersion = 1;
    pVersion->byDLLMinorVersion = 32;
    pVersion->byMajorVersion = static_cast<uint8_t>(v.major);
    pVersion->byMinorVersion = static_cast<uint8_t>(v.minor);
    pVersion->byAlphaLevel = static_cast<uint8_t>(v.alpha);
    pVersion->byBetaLevel = static_cast<uint8_t>(v.beta);
    // The build date of this module, from the compiler's "Mmm dd yyyy".
    static const char* const months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* date = __DATE__;
    for (int m = 0; m < 12; ++m)
        if (std::strncmp(date, months + 3 * m, 3) == 0)
            pVersion->byMonth = static_cast<uint8_t>(m + 1);
    pVersion->byDay = static_cast<uint8_t>(std::atoi(date + 4));
    pVersion->wYear = static_cast<uint16_t>(std::atoi(date + 7));
    std::snprintf(pVersion->zHomepage, sizeof(pVersion->zHomepage), "%s", get_lame_url());
}

LAME_ENC_EXPORT BE_ERR beWriteVBRHeader(const char* pszFileName)
{
    HBE_STREAM h;
    {
        std::lock_guard<std::mutex> lock(g_tableLock);
        h = g_lastFlushed;
    }
    return WriteTag(Find(h), pszFileName);
}

LAME_ENC_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM hStream, const char* pszFileName)
{
    return WriteTag(Find(hStream), pszFileName);
}
