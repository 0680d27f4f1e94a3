#include "ReceiverOGG.h"

#include "SettingsTables.h"
#include "RecordingFiles.h"
#include "Utf8.h"

#include <ogg/ogg.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <mutex>
#include <type_traits>
#include <unistd.h>

const char* const MSG_OGG_MIN_ABOVE_MAX =
    "The minimum bitrate is above the maximum bitrate. Choose a minimum no higher than the maximum "
    "on the OGG page, then record again.";
const char* const MSG_OGG_SETUP_FAILED =
    "The Vorbis encoder does not accept these OGG settings. Choose another quality or bitrate on the "
    "OGG page, then record again.";

namespace
{
enum
{
    MODULE_VORBIS = 0,
    MODULE_VORBISENC = 1,
    MODULE_OGG = 2,
};

const char* const DEFAULT_MODULES[3] = {"libvorbis.so.0", "libvorbisenc.so.2", "libogg.so.0"};

std::mutex g_namesLock;
std::string g_moduleNames[3];

const int CHANNELS = 2;
const long SAMPLE_RATE = 44100;

bool BitrateOf(int nIndex, long& nBitsPerSecond)
{
    if (nIndex < 0 || nIndex >= TableSize(OggBitrateTable))
        return false;
    nBitsPerSecond = OggBitrateTable[nIndex] * 1000L;
    return true;
}
}  // namespace

void SetVorbisModuleNames(const std::string& vorbis, const std::string& vorbisenc, const std::string& ogg)
{
    std::lock_guard<std::mutex> lock(g_namesLock);
    g_moduleNames[MODULE_VORBIS] = vorbis;
    g_moduleNames[MODULE_VORBISENC] = vorbisenc;
    g_moduleNames[MODULE_OGG] = ogg;
}

int OggQualityBitrate(int nOggQuality)
{
    return static_cast<int>(OggQualityKbps(nOggQuality));
}

// The libraries' entry points, named after them, and the encoder's state.
struct CVorbisBinding
{
    decltype(&::vorbis_encode_init) vorbis_encode_init = nullptr;
    decltype(&::vorbis_encode_init_vbr) vorbis_encode_init_vbr = nullptr;
    decltype(&::vorbis_info_init) vorbis_info_init = nullptr;
    decltype(&::vorbis_info_clear) vorbis_info_clear = nullptr;
    decltype(&::vorbis_dsp_clear) vorbis_dsp_clear = nullptr;
    decltype(&::vorbis_block_init) vorbis_block_init = nullptr;
    decltype(&::vorbis_block_clear) vorbis_block_clear = nullptr;
    decltype(&::vorbis_comment_init) vorbis_comment_init = nullptr;
    decltype(&::vorbis_comment_add) vorbis_comment_add = nullptr;
    decltype(&::vorbis_comment_add_tag) vorbis_comment_add_tag = nullptr;
    decltype(&::vorbis_comment_clear) vorbis_comment_clear = nullptr;
    decltype(&::vorbis_analysis_init) vorbis_analysis_init = nullptr;
    decltype(&::vorbis_analysis) vorbis_analysis = nullptr;
    decltype(&::vorbis_analysis_headerout) vorbis_analysis_headerout = nullptr;
    decltype(&::vorbis_analysis_buffer) vorbis_analysis_buffer = nullptr;
    decltype(&::vorbis_analysis_wrote) vorbis_analysis_wrote = nullptr;
    decltype(&::vorbis_analysis_blockout) vorbis_analysis_blockout = nullptr;
    decltype(&::vorbis_synthesis_headerin) vorbis_synthesis_headerin = nullptr;
    decltype(&::vorbis_bitrate_addblock) vorbis_bitrate_addblock = nullptr;
    decltype(&::vorbis_bitrate_flushpacket) vorbis_bitrate_flushpacket = nullptr;
    decltype(&::ogg_stream_init) ogg_stream_init = nullptr;
    decltype(&::ogg_stream_packetin) ogg_stream_packetin = nullptr;
    decltype(&::ogg_stream_flush) ogg_stream_flush = nullptr;
    decltype(&::ogg_stream_pageout) ogg_stream_pageout = nullptr;
    decltype(&::ogg_page_eos) ogg_page_eos = nullptr;
    decltype(&::ogg_stream_clear) ogg_stream_clear = nullptr;

    void* Module[3] = {nullptr, nullptr, nullptr};  // libvorbis, libvorbisenc, libogg
    ogg_stream_state StreamState{};
    ogg_page Page{};
    ogg_packet Packet{};
    vorbis_info Info{};
    vorbis_comment Comment{};
    vorbis_dsp_state DspState{};
    vorbis_block Block{};
};

CReceiverOGG::CReceiverOGG() : State(ReceiverState::Waiting), EndOfStream(false), m_pVorbis(std::make_unique<CVorbisBinding>())
{
}

CReceiverOGG::~CReceiverOGG()
{
    // Dropped without Finish: give the encoder's memory back; the file goes with its last owner.
    if (State == ReceiverState::Writing)
        Release();
}

void CReceiverOGG::PreloadModules()
{
    std::string names[3];
    {
        std::lock_guard<std::mutex> lock(g_namesLock);
        for (int i = 0; i < 3; ++i)
            names[i] = g_moduleNames[i].empty() ? DEFAULT_MODULES[i] : g_moduleNames[i];
    }
    // Never closed: the libraries stay loaded for the rest of the run anyway.
    for (const std::string& name : names)
        dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void CReceiverOGG::LoadLibraries()
{
    CVorbisBinding& v = *m_pVorbis;
    std::string names[3];
    {
        std::lock_guard<std::mutex> lock(g_namesLock);
        for (int i = 0; i < 3; ++i)
            names[i] = g_moduleNames[i].empty() ? DEFAULT_MODULES[i] : g_moduleNames[i];
    }
    // Only a complete binding may be used: a load that stops part way leaves Open refusing.
    m_bBound = false;
    // The libraries stay loaded for the rest of the run.
    for (int i = 0; i < 3; ++i)
    {
        v.Module[i] = dlopen(names[i].c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!v.Module[i])
            throw CRecorderError("Error loading libvorbis.dll");
    }

    m_pszMissing = nullptr;
    auto resolve = [this, &v](int nModule, const char* pszName, auto& pfn) {
        pfn = reinterpret_cast<std::remove_reference_t<decltype(pfn)>>(dlsym(v.Module[nModule], pszName));
        if (!pfn && !m_pszMissing)
            m_pszMissing = pszName;
    };
#define VORANE_RESOLVE(module, name) resolve(module, #name, v.name)
    VORANE_RESOLVE(MODULE_VORBISENC, vorbis_encode_init);
    VORANE_RESOLVE(MODULE_VORBISENC, vorbis_encode_init_vbr);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_info_init);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_info_clear);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_dsp_clear);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_block_init);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_block_clear);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_comment_init);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_comment_add);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_comment_add_tag);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_comment_clear);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_analysis_init);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_analysis);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_analysis_headerout);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_analysis_buffer);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_analysis_wrote);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_analysis_blockout);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_synthesis_headerin);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_bitrate_addblock);
    VORANE_RESOLVE(MODULE_VORBIS, vorbis_bitrate_flushpacket);
    VORANE_RESOLVE(MODULE_OGG, ogg_stream_init);
    VORANE_RESOLVE(MODULE_OGG, ogg_stream_packetin);
    VORANE_RESOLVE(MODULE_OGG, ogg_stream_flush);
    VORANE_RESOLVE(MODULE_OGG, ogg_stream_pageout);
    VORANE_RESOLVE(MODULE_OGG, ogg_page_eos);
    VORANE_RESOLVE(MODULE_OGG, ogg_stream_clear);
#undef VORANE_RESOLVE
    m_bBound = m_pszMissing == nullptr;
    if (!m_bBound)
        throw CRecorderError(std::string("The Vorbis libraries of this system lack \"") + m_pszMissing +
                             "\": OGG recordings cannot be made. Reinstall libvorbis, or choose another output format.");
}

void CReceiverOGG::Open(uint32_t* pBitrate)
{
    CVorbisBinding& v = *m_pVorbis;
    // Without every entry point nothing may be set up.
    if (!m_bBound)
        throw CRecorderError("Error loading libvorbis.dll");
    if (State != ReceiverState::Waiting || !Output)
        throw CRecorderError("Can't create OGG file.");
    EndOfStream = false;

    const OggOptions& o = Options;
    long nMax = -1, nNominal = -1, nMin = -1;
    uint32_t nReported = 0;
    switch (o.nMode)
    {
    case 0:
        // The library would quietly clamp a quality outside its range.
        if (o.nQuality < 0 || o.nQuality > 1000)
            throw CRecorderError(MSG_OGG_SETUP_FAILED);
        nReported = static_cast<uint32_t>(OggQualityBitrate(o.nQuality)) * 1000u;
        break;
    case 1:
        if (!BitrateOf(o.nMinBitrateIndex, nMin) || !BitrateOf(o.nMaxBitrateIndex, nMax))
            throw CRecorderError(MSG_OGG_SETUP_FAILED);
        // The library takes a minimum above the maximum without complaint.
        if (nMin > nMax)
            throw CRecorderError(MSG_OGG_MIN_ABOVE_MAX);
        // The encoder aims between the two; the middle is what the recording reports.
        nReported = static_cast<uint32_t>((nMin + nMax) / 2);
        break;
    case 2:
        if (!BitrateOf(o.nNominalBitrateIndex, nNominal))
            throw CRecorderError(MSG_OGG_SETUP_FAILED);
        nReported = static_cast<uint32_t>(nNominal);
        break;
    case 3:
        if (!BitrateOf(o.nNominalBitrateIndex, nNominal))
            throw CRecorderError(MSG_OGG_SETUP_FAILED);
        nMax = nMin = nNominal;
        nReported = static_cast<uint32_t>(nNominal);
        break;
    default:
        throw CRecorderError(MSG_OGG_SETUP_FAILED);
    }

    v.vorbis_info_init(&v.Info);
    int nSetup = o.nMode == 0
                     ? v.vorbis_encode_init_vbr(&v.Info, CHANNELS, SAMPLE_RATE, static_cast<float>(o.nQuality) * 0.001f)
                     : v.vorbis_encode_init(&v.Info, CHANNELS, SAMPLE_RATE, nMax, nNominal, nMin);
    if (nSetup != 0)
    {
        v.vorbis_info_clear(&v.Info);
        throw CRecorderError(MSG_OGG_SETUP_FAILED);
    }
    if (pBitrate)
        *pBitrate = nReported;

    v.vorbis_comment_init(&v.Comment);
    auto addTag = [&v](const char* pszTag, const std::string& value) {
        // Vorbis comments must be UTF-8.
        v.vorbis_comment_add_tag(&v.Comment, pszTag, CutUtf8(CleanTagText(value), MAX_TEXT_BYTES).c_str());
    };
    if (!Tags.album.empty())
        addTag("ALBUM", Tags.album);
    if (!Tags.title.empty())
        addTag("TITLE", Tags.title);
    if (!Tags.artist.empty())
        addTag("ARTIST", Tags.artist);
    addTag("DATE", std::to_string(Tags.year));

    v.vorbis_analysis_init(&v.DspState, &v.Info);
    v.vorbis_block_init(&v.DspState, &v.Block);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    v.ogg_stream_init(&v.StreamState, std::rand());

    ogg_packet identification, comments, codebooks;
    v.vorbis_analysis_headerout(&v.DspState, &v.Comment, &identification, &comments, &codebooks);
    v.ogg_stream_packetin(&v.StreamState, &identification);
    v.ogg_stream_packetin(&v.StreamState, &comments);
    v.ogg_stream_packetin(&v.StreamState, &codebooks);
    // The headers get pages of their own, so the audio starts on a fresh page.
    m_bFull = false;
    m_bFed = false;
    m_nWriteError = 0;
    m_nCommitted = 0;
    m_lastPage.clear();
    while (v.ogg_stream_flush(&v.StreamState, &v.Page) != 0)
        WritePage(nullptr);
    if (m_bFull)
    {
        // Not even the headers fit: the file holds nothing and keeps no name.
        Release();
        throw CRecorderError(WriteFailure(m_nWriteError).NothingKept());
    }
    m_nHeaderBytes = m_nCommitted;
    State = ReceiverState::Writing;
}

bool CReceiverOGG::WritePage(uint32_t* pBytes)
{
    CVorbisBinding& v = *m_pVorbis;
    if (m_bFull)
        return false;
    // v.Page by page to the disk: what a crash or a full disk leaves ends on a whole page.
    const int fd = Output->Fd();
    const size_t nHeader = static_cast<size_t>(v.Page.header_len), nBody = static_cast<size_t>(v.Page.body_len);
    if (WriteAt(fd, v.Page.header, nHeader, m_nCommitted) != nHeader ||
        WriteAt(fd, v.Page.body, nBody, m_nCommitted + nHeader) != nBody)
    {
        m_nWriteError = errno;
        m_bFull = true;
        return false;
    }
    m_lastPageOffset = m_nCommitted;
    m_lastPage.assign(v.Page.header, v.Page.header + v.Page.header_len);
    m_lastPage.insert(m_lastPage.end(), v.Page.body, v.Page.body + v.Page.body_len);
    m_nLastHeaderLen = static_cast<size_t>(v.Page.header_len);
    m_nCommitted += static_cast<uint64_t>(v.Page.header_len + v.Page.body_len);
    if (pBytes)
        *pBytes += static_cast<uint32_t>(v.Page.header_len + v.Page.body_len);
    return true;
}

namespace
{
// The Ogg page checksum: CRC-32 with the polynomial 0x04C11DB7, not reflected, starting at 0.
uint32_t OggChecksum(const uint8_t* p, size_t n)
{
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i)
    {
        crc ^= static_cast<uint32_t>(p[i]) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}
}  // namespace

void CReceiverOGG::EndOnLastWholePage()
{
    // The disk took part of a page at most: cut it off, and make the last whole page the
    // end of the stream, in place, so the file ends as a finished one does without
    // needing a byte more.
    const int fd = Output->Fd();
    if (ftruncate(fd, static_cast<off_t>(m_nCommitted)) != 0)
        return;
    if (m_lastPage.size() < 27 || (m_lastPage[5] & 0x04))
        return;
    m_lastPage[5] |= 0x04;
    std::memset(&m_lastPage[22], 0, 4);
    uint32_t crc = OggChecksum(m_lastPage.data(), m_lastPage.size());
    for (int i = 0; i < 4; ++i)
        m_lastPage[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
    if (WriteAt(fd, m_lastPage.data(), m_nLastHeaderLen, m_lastPageOffset) != m_nLastHeaderLen)
        return;
    // Audio pages end the stream now: a file any player reads.
    if (m_nCommitted > m_nHeaderBytes)
        Output->Publish();
}

uint32_t CReceiverOGG::Drain()
{
    CVorbisBinding& v = *m_pVorbis;
    uint32_t nBytes = 0;
    while (v.vorbis_analysis_blockout(&v.DspState, &v.Block) == 1)
    {
        v.vorbis_analysis(&v.Block, nullptr);
        v.vorbis_bitrate_addblock(&v.Block);
        while (v.vorbis_bitrate_flushpacket(&v.DspState, &v.Packet))
        {
            v.ogg_stream_packetin(&v.StreamState, &v.Packet);
            while (!EndOfStream && v.ogg_stream_pageout(&v.StreamState, &v.Page) != 0)
            {
                WritePage(&nBytes);
                if (v.ogg_page_eos(&v.Page))
                    EndOfStream = true;
            }
        }
    }
    return nBytes;
}

uint32_t CReceiverOGG::Write(const uint8_t* pData, uint32_t nSize)
{
    CVorbisBinding& v = *m_pVorbis;
    if (State != ReceiverState::Writing || EndOfStream)
        return 0;
    const int nFrames = static_cast<int>(nSize / 4);
    // No frames must not reach the encoder: a write of 0 frames ends the stream.
    if (nFrames == 0 || !pData)
        return 0;
    float** channels = v.vorbis_analysis_buffer(&v.DspState, nFrames);
    for (int i = 0; i < nFrames; ++i)
    {
        int16_t sample[2];
        std::memcpy(sample, pData + 4 * static_cast<size_t>(i), 4);
        channels[0][i] = sample[0] * 3.0517578125e-05f;
        channels[1][i] = sample[1] * 3.0517578125e-05f;
    }
    v.vorbis_analysis_wrote(&v.DspState, nFrames);
    m_bFed = true;
    uint32_t nBytes = Drain();
    // A page at least every second: a recording cut short keeps all but its last second.
    while (!m_bFull && !EndOfStream && v.ogg_stream_flush(&v.StreamState, &v.Page) != 0)
        WritePage(&nBytes);
    if (m_bFull)
    {
        EndOnLastWholePage();
        throw WriteFailure(m_nWriteError);
    }
    // Headers and audio pages: a file any player reads, so it may take its name now.
    if (m_nCommitted > m_nHeaderBytes && !Output->Publish())
        throw WriteFailure(errno);
    return nBytes;
}

void CReceiverOGG::Finish()
{
    CVorbisBinding& v = *m_pVorbis;
    bool bFailed = false;
    if (State == ReceiverState::Writing)
    {
        if (!m_bFull)
        {
            v.vorbis_analysis_wrote(&v.DspState, 0);
            Drain();
            // The last pages did not fit: the file ends on its last whole page, and says so.
            bFailed = m_bFull;
            if (m_bFull)
                EndOnLastWholePage();
            else if (m_bFed)
                Output->Publish();
        }
        Release();
        State = ReceiverState::Finished;
    }
    Output.reset();
    if (bFailed)
        throw WriteFailure(m_nWriteError);
}

uint32_t CReceiverOGG::KeptMilliseconds() const
{
    // The granule position of the last whole page counts the samples up to its end.
    if (m_lastPage.size() < 27)
        return 0;
    uint64_t nGranule = 0;
    for (int i = 7; i >= 0; --i)
        nGranule = (nGranule << 8) | m_lastPage[6 + static_cast<size_t>(i)];
    if (nGranule == ~0ull)
        return 0;
    return static_cast<uint32_t>(nGranule * 1000u / SAMPLE_RATE);
}

void CReceiverOGG::Release()
{
    CVorbisBinding& v = *m_pVorbis;
    v.ogg_stream_clear(&v.StreamState);
    v.vorbis_block_clear(&v.Block);
    v.vorbis_dsp_clear(&v.DspState);
    v.vorbis_comment_clear(&v.Comment);
    v.vorbis_info_clear(&v.Info);
}
