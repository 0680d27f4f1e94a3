#include "ReceiverOGG.h"

#include "RecorderSettings.h"
#include "RecordingFiles.h"

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

CReceiverOGG::CReceiverOGG()
    : State(0),
      vorbis_encode_init(nullptr),
      vorbis_encode_init_vbr(nullptr),
      vorbis_info_init(nullptr),
      vorbis_info_clear(nullptr),
      vorbis_dsp_clear(nullptr),
      vorbis_block_init(nullptr),
      vorbis_block_clear(nullptr),
      vorbis_comment_init(nullptr),
      vorbis_comment_add(nullptr),
      vorbis_comment_add_tag(nullptr),
      vorbis_comment_clear(nullptr),
      vorbis_analysis_init(nullptr),
      vorbis_analysis(nullptr),
      vorbis_analysis_headerout(nullptr),
      vorbis_analysis_buffer(nullptr),
      vorbis_analysis_wrote(nullptr),
      vorbis_analysis_blockout(nullptr),
      vorbis_synthesis_headerin(nullptr),
      vorbis_bitrate_addblock(nullptr),
      vorbis_bitrate_flushpacket(nullptr),
      ogg_stream_init(nullptr),
      ogg_stream_packetin(nullptr),
      ogg_stream_flush(nullptr),
      ogg_stream_pageout(nullptr),
      ogg_page_eos(nullptr),
      ogg_stream_clear(nullptr),
      EndOfStream(false),
      Module{nullptr, nullptr, nullptr}
{
    std::memset(&StreamState, 0, sizeof(StreamState));
    std::memset(&Page, 0, sizeof(Page));
    std::memset(&Packet, 0, sizeof(Packet));
    std::memset(&Info, 0, sizeof(Info));
    std::memset(&Comment, 0, sizeof(Comment));
    std::memset(&DspState, 0, sizeof(DspState));
    std::memset(&Block, 0, sizeof(Block));
}

CReceiverOGG::~CReceiverOGG()
{
    // Dropped without Finish: give the encoder's memory back; the file goes with its last owner.
    if (State == 1)
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

bool CReceiverOGG::LoadLibraries()
{
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
        Module[i] = dlopen(names[i].c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!Module[i])
            throw "Error loading libvorbis.dll";
    }

    m_pszMissing = nullptr;
    auto resolve = [this](int nModule, const char* pszName, auto& pfn) {
        pfn = reinterpret_cast<std::remove_reference_t<decltype(pfn)>>(dlsym(Module[nModule], pszName));
        if (!pfn && !m_pszMissing)
            m_pszMissing = pszName;
    };
#define VORANE_RESOLVE(module, name) resolve(module, #name, name)
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
    return m_bBound;
}

int CReceiverOGG::Open(uint32_t* pBitrate)
{
    // Without every entry point, or open already: nothing may be set up.
    m_nOpenError = 0;
    if (State != 0 || !m_bBound || !Output)
        return -1;
    EndOfStream = false;

    const RecorderSettings& s = theSettings;
    long nMax = -1, nNominal = -1, nMin = -1;
    uint32_t nReported = 0;
    switch (s.OggMode)
    {
    case 0:
        // The library would quietly clamp a quality outside its range.
        if (s.OggQuality < 0 || s.OggQuality > 1000)
            throw MSG_OGG_SETUP_FAILED;
        nReported = static_cast<uint32_t>(OggQualityBitrate(s.OggQuality)) * 1000u;
        break;
    case 1:
        if (!BitrateOf(s.OggMinBitrateIndex, nMin) || !BitrateOf(s.OggMaxBitrateIndex, nMax))
            throw MSG_OGG_SETUP_FAILED;
        // The library takes a minimum above the maximum without complaint.
        if (nMin > nMax)
            throw MSG_OGG_MIN_ABOVE_MAX;
        // The encoder aims between the two; the middle is what the recording reports.
        nReported = static_cast<uint32_t>((nMin + nMax) / 2);
        break;
    case 2:
        if (!BitrateOf(s.OggNominalBitrateIndex, nNominal))
            throw MSG_OGG_SETUP_FAILED;
        nReported = static_cast<uint32_t>(nNominal);
        break;
    case 3:
        if (!BitrateOf(s.OggNominalBitrateIndex, nNominal))
            throw MSG_OGG_SETUP_FAILED;
        nMax = nMin = nNominal;
        nReported = static_cast<uint32_t>(nNominal);
        break;
    default:
        throw MSG_OGG_SETUP_FAILED;
    }

    vorbis_info_init(&Info);
    int nSetup = s.OggMode == 0
                     ? vorbis_encode_init_vbr(&Info, CHANNELS, SAMPLE_RATE, static_cast<float>(s.OggQuality) * 0.001f)
                     : vorbis_encode_init(&Info, CHANNELS, SAMPLE_RATE, nMax, nNominal, nMin);
    if (nSetup != 0)
    {
        vorbis_info_clear(&Info);
        throw MSG_OGG_SETUP_FAILED;
    }
    if (pBitrate)
        *pBitrate = nReported;

    vorbis_comment_init(&Comment);
    auto addTag = [this](const char* pszTag, const std::string& value) {
        // Vorbis comments must be UTF-8.
        vorbis_comment_add_tag(&Comment, pszTag, CutUtf8(CleanTagText(value), MAX_TEXT_BYTES).c_str());
    };
    if (!Tags.album.empty())
        addTag("ALBUM", Tags.album);
    if (!Tags.title.empty())
        addTag("TITLE", Tags.title);
    if (!Tags.artist.empty())
        addTag("ARTIST", Tags.artist);
    addTag("DATE", std::to_string(Tags.year));

    vorbis_analysis_init(&DspState, &Info);
    vorbis_block_init(&DspState, &Block);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    ogg_stream_init(&StreamState, std::rand());

    ogg_packet identification, comments, codebooks;
    vorbis_analysis_headerout(&DspState, &Comment, &identification, &comments, &codebooks);
    ogg_stream_packetin(&StreamState, &identification);
    ogg_stream_packetin(&StreamState, &comments);
    ogg_stream_packetin(&StreamState, &codebooks);
    // The headers get pages of their own, so the audio starts on a fresh page.
    m_bFull = false;
    m_bFed = false;
    m_nWriteError = 0;
    m_nCommitted = 0;
    m_lastPage.clear();
    while (ogg_stream_flush(&StreamState, &Page) != 0)
        WritePage(nullptr);
    if (m_bFull)
    {
        // Not even the headers fit: the file holds nothing and keeps no name.
        m_nOpenError = m_nWriteError;
        Release();
        return -1;
    }
    m_nHeaderBytes = m_nCommitted;
    State = 1;
    return 0;
}

bool CReceiverOGG::WritePage(uint32_t* pBytes)
{
    if (m_bFull)
        return false;
    // Page by page to the disk: what a crash or a full disk leaves ends on a whole page.
    const int fd = Output->Fd();
    const size_t nHeader = static_cast<size_t>(Page.header_len), nBody = static_cast<size_t>(Page.body_len);
    if (WriteAt(fd, Page.header, nHeader, m_nCommitted) != nHeader ||
        WriteAt(fd, Page.body, nBody, m_nCommitted + nHeader) != nBody)
    {
        m_nWriteError = errno;
        m_bFull = true;
        return false;
    }
    m_lastPageOffset = m_nCommitted;
    m_lastPage.assign(Page.header, Page.header + Page.header_len);
    m_lastPage.insert(m_lastPage.end(), Page.body, Page.body + Page.body_len);
    m_nLastHeaderLen = static_cast<size_t>(Page.header_len);
    m_nCommitted += static_cast<uint64_t>(Page.header_len + Page.body_len);
    if (pBytes)
        *pBytes += static_cast<uint32_t>(Page.header_len + Page.body_len);
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
    uint32_t nBytes = 0;
    while (vorbis_analysis_blockout(&DspState, &Block) == 1)
    {
        vorbis_analysis(&Block, nullptr);
        vorbis_bitrate_addblock(&Block);
        while (vorbis_bitrate_flushpacket(&DspState, &Packet))
        {
            ogg_stream_packetin(&StreamState, &Packet);
            while (!EndOfStream && ogg_stream_pageout(&StreamState, &Page) != 0)
            {
                WritePage(&nBytes);
                if (ogg_page_eos(&Page))
                    EndOfStream = true;
            }
        }
    }
    return nBytes;
}

uint32_t CReceiverOGG::Write(const uint8_t* pData, uint32_t nSize)
{
    if (State != 1 || EndOfStream)
        return 0;
    const int nFrames = static_cast<int>(nSize / 4);
    // No frames must not reach the encoder: a write of 0 frames ends the stream.
    if (nFrames == 0 || !pData)
        return 0;
    float** channels = vorbis_analysis_buffer(&DspState, nFrames);
    for (int i = 0; i < nFrames; ++i)
    {
        int16_t sample[2];
        std::memcpy(sample, pData + 4 * static_cast<size_t>(i), 4);
        channels[0][i] = sample[0] * 3.0517578125e-05f;
        channels[1][i] = sample[1] * 3.0517578125e-05f;
    }
    vorbis_analysis_wrote(&DspState, nFrames);
    m_bFed = true;
    uint32_t nBytes = Drain();
    // A page at least every second: a recording cut short keeps all but its last second.
    while (!m_bFull && !EndOfStream && ogg_stream_flush(&StreamState, &Page) != 0)
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
    bool bFailed = false;
    if (State == 1)
    {
        if (!m_bFull)
        {
            vorbis_analysis_wrote(&DspState, 0);
            Drain();
            // The last pages did not fit: the file ends on its last whole page, and says so.
            bFailed = m_bFull;
            if (m_bFull)
                EndOnLastWholePage();
            else if (m_bFed)
                Output->Publish();
        }
        Release();
        State = 0;
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
    ogg_stream_clear(&StreamState);
    vorbis_block_clear(&Block);
    vorbis_dsp_clear(&DspState);
    vorbis_comment_clear(&Comment);
    vorbis_info_clear(&Info);
}
