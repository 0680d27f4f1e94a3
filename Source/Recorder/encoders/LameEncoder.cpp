#include "LameEncoder.h"
#include "RecorderError.h"

#include <cstring>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace
{
const char* const MODULE_FILE = "liblame_enc.so";

struct LameEntryPoints
{
    BEINITSTREAM beInitStream = nullptr;
    BEENCODECHUNK beEncodeChunk = nullptr;
    BEDEINITSTREAM beDeinitStream = nullptr;
    BECLOSESTREAM beCloseStream = nullptr;
    BEVERSION beVersion = nullptr;
    BEWRITEVBRHEADER beWriteVBRHeader = nullptr;
    BEWRITEINFOTAG beWriteInfoTag = nullptr;
};

struct LameBinding
{
    std::mutex lock;
    bool bBound = false;
    void* hModule = nullptr;
    std::string path;  // empty: the application directory
    LameEntryPoints entry;
};

LameBinding& Binding()
{
    static LameBinding binding;
    return binding;
}

std::string ApplicationDirectory()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return ".";
    std::string exe(buffer, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : exe.substr(0, slash);
}

template <typename F>
void Resolve(void* hModule, const char* pszName, F& pfn)
{
    pfn = reinterpret_cast<F>(dlsym(hModule, pszName));
}
}  // namespace

std::string LameLibraryPath()
{
    LameBinding& b = Binding();
    std::lock_guard<std::mutex> lock(b.lock);
    return b.path.empty() ? ApplicationDirectory() + "/" + MODULE_FILE : b.path;
}

void SetLameLibraryPath(const std::string& path)
{
    LameBinding& b = Binding();
    std::lock_guard<std::mutex> lock(b.lock);
    b.path = path;
    // The old module stays loaded: the binding is never unloaded while the program runs.
    b.bBound = false;
    b.hModule = nullptr;
}

void LoadLameLibrary()
{
    LameBinding& b = Binding();
    std::lock_guard<std::mutex> lock(b.lock);
    if (b.bBound)
        return;
    std::string path = b.path.empty() ? ApplicationDirectory() + "/" + MODULE_FILE : b.path;
    void* hModule = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!hModule)
        throw CRecorderError("Error loading lame_enc.DLL");
    // Resolved aside, so a failed attempt leaves the binding as it was.
    LameEntryPoints e;
    Resolve(hModule, TEXT_BEINITSTREAM, e.beInitStream);
    Resolve(hModule, TEXT_BEENCODECHUNK, e.beEncodeChunk);
    Resolve(hModule, TEXT_BEDEINITSTREAM, e.beDeinitStream);
    Resolve(hModule, TEXT_BECLOSESTREAM, e.beCloseStream);
    Resolve(hModule, TEXT_BEVERSION, e.beVersion);
    Resolve(hModule, TEXT_BEWRITEVBRHEADER, e.beWriteVBRHeader);
    Resolve(hModule, TEXT_BEWRITEINFOTAG, e.beWriteInfoTag);
    // beWriteInfoTag came later to the interface; modules without it are fine.
    if (!e.beInitStream || !e.beEncodeChunk || !e.beDeinitStream || !e.beCloseStream || !e.beVersion ||
        !e.beWriteVBRHeader)
    {
        dlclose(hModule);
        throw CRecorderError("Unable to get LAME interfaces");
    }
    b.entry = e;
    b.hModule = hModule;
    b.bBound = true;
}

CLameEncoder::CLameEncoder(uint32_t nBitrate, uint32_t nSampleRate, uint32_t nReSampleRate)
    : Stream(0), BufferSize(0), ChunkSamples(0)
{
    LoadLameLibrary();
    std::memset(&Config, 0, sizeof(Config));
    Config.dwConfig = BE_CONFIG_LAME;
    auto& c = Config.format.LHV1;
    c.dwStructVersion = 1;
    c.dwStructSize = sizeof(Config);
    c.dwSampleRate = nSampleRate;
    c.dwReSampleRate = nReSampleRate;
    c.nMode = BE_MP3_MODE_JSTEREO;
    c.dwBitrate = nBitrate;
    c.dwMaxBitrate = 0;
    c.nPreset = LQP_CBR;
    c.dwMpegVersion = nBitrate > 32 ? MPEG1 : MPEG2;
    c.bPrivate = 1;
    c.bCRC = 0;
    c.bCopyright = 1;
    c.bOriginal = 1;
    c.bWriteVBRHeader = 0;
    c.bEnableVBR = 0;
    c.bNoRes = 1;
    c.bStrictIso = 0;
    c.nQuality = 0;
    BEINITSTREAM pfnInitStream;
    {
        LameBinding& b = Binding();
        std::lock_guard<std::mutex> lock(b.lock);
        pfnInitStream = b.entry.beInitStream;
        m_pfnEncodeChunk = b.entry.beEncodeChunk;
        m_pfnDeinitStream = b.entry.beDeinitStream;
        m_pfnCloseStream = b.entry.beCloseStream;
    }
    if (pfnInitStream(&Config, &ChunkSamples, &BufferSize, &Stream) != BE_ERR_SUCCESSFUL)
        throw CRecorderError("ERRORR in beInitStream.");
}

CLameEncoder::~CLameEncoder()
{
    if (Stream)
        m_pfnCloseStream(Stream);
}

BE_ERR CLameEncoder::EncodeChunk(const int16_t* pSamples, uint32_t nSamples, uint8_t* pOutput, uint32_t nOutputSize,
                                 uint32_t& nOutput)
{
    // The module takes the area's true size in the counter and never writes past it.
    nOutput = nOutputSize;
    BE_ERR result = m_pfnEncodeChunk(Stream, nSamples, const_cast<int16_t*>(pSamples), pOutput, &nOutput);
    if (result != BE_ERR_SUCCESSFUL)
        nOutput = 0;
    return result;
}

BE_ERR CLameEncoder::Flush(uint8_t* pOutput, uint32_t nOutputSize, uint32_t& nOutput)
{
    nOutput = nOutputSize;
    BE_ERR result = m_pfnDeinitStream(Stream, pOutput, &nOutput);
    if (result != BE_ERR_SUCCESSFUL)
        nOutput = 0;
    return result;
}

uint32_t CLameEncoder::WrittenBitrate() const
{
    static const uint32_t MPEG1_RATES[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const uint32_t MPEG2_RATES[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const auto& c = Config.format.LHV1;
    const uint32_t nOutRate = c.dwReSampleRate ? c.dwReSampleRate : c.dwSampleRate;
    const uint32_t* pRates = nOutRate >= 32000 ? MPEG1_RATES : MPEG2_RATES;
    for (size_t i = 0; i < 14; ++i)
        if (pRates[i] >= c.dwBitrate)
            return pRates[i];
    return pRates[13];
}
