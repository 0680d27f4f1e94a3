#include "ReceiverWMA.h"

#include "SettingsTables.h"
#include "RecordingFiles.h"
#include "basswma.h"
#include "Utf8.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const MSG_WMA_INCOMPLETE =
    "The WMA libraries in the program's folder are incomplete. Reinstall the program.";
const char* const MSG_WMA_TOO_OLD = "The WMA library in the program's folder is too old (version 2 or later is needed).";
const char* const MSG_WMA_INIT_FAILED =
    "The WMA library could not be started. Another WMA recording may still be running.";
const char* const MSG_WMA_WRITE_FAILED =
    "The WMA file could not be written any further; the disk may be full. The recording was stopped, "
    "and what was recorded until then is saved.";
const char* const MSG_WMA_NOTHING_WRITTEN = "The WMA file could not be written; the disk may be full: nothing could be saved.";
const char* const MSG_WMA_CANT_CREATE =
    "Can't create WMA file. Check that the output folder exists and that it can be written.";

namespace
{
const char* const BASS_MODULE = "libbass.so";
const char* const BASSWMA_MODULE = "libbasswma.so";

std::mutex g_moduleFolderLock;
std::string g_moduleFolder;

std::string ApplicationDirectory()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return ".";
    std::string exe(path, static_cast<size_t>(n));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : exe.substr(0, slash);
}

std::string ModulePath(const char* pszModule)
{
    return CReceiverWMA::ModuleFolder() + "/" + pszModule;
}

void CopyTagText(char (&buffer)[256], const std::string& text)
{
    std::string cut = CutUtf8(CleanTagText(text), MAX_TEXT_BYTES);
    cut.copy(buffer, cut.size());
    buffer[cut.size()] = '\0';
}

// The library does not say why the file took no more; the file does. A byte written (and taken back)
// past where the library could have been writing meets what it met: a full disk, a file-size limit.
// 0 when the file takes it.
int WriteErrorOf(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return errno;
    const off_t nProbe = st.st_size + (2 << 20);
    const char byte = 0;
    if (pwrite(fd, &byte, 1, nProbe) == 1)
    {
        if (ftruncate(fd, st.st_size) != 0)
        {
            // The file keeps a hole of zeros after its end; players stop at the last packet.
        }
        return 0;
    }
    return errno;
}

// The length the file's header states: the play duration of its file properties, less the preroll.
// 0 when the header cannot be read.
uint32_t StatedMilliseconds(int fd)
{
    static const uint8_t FILE_PROPERTIES[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    auto le64 = [](const uint8_t* p) {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | p[i];
        return v;
    };
    std::vector<uint8_t> header(65536);
    const ssize_t n = pread(fd, header.data(), header.size(), 0);
    if (n < 30)
        return 0;
    const uint64_t nEnd = std::min<uint64_t>(static_cast<uint64_t>(n), le64(&header[16]));
    for (uint64_t nObject = 30; nObject + 104 <= nEnd;)
    {
        const uint64_t nSize = le64(&header[nObject + 16]);
        if (std::memcmp(&header[nObject], FILE_PROPERTIES, 16) == 0)
        {
            const uint64_t nPlayMs = le64(&header[nObject + 64]) / 10000, nPrerollMs = le64(&header[nObject + 80]);
            return nPlayMs > nPrerollMs ? static_cast<uint32_t>(nPlayMs - nPrerollMs) : 0;
        }
        if (nSize < 24)
            break;
        nObject += nSize;
    }
    return 0;
}

template <typename T, int N>
T TableEntry(const T (&table)[N], int nIndex)
{
    return table[std::clamp(nIndex, 0, N - 1)];
}
}  // namespace

// The entry points of both modules, held loaded while an encoder may use them.
struct CBassBinding
{
    void* hBass = nullptr;
    void* hWma = nullptr;
    decltype(&BASS_GetVersion) GetVersion = nullptr;
    decltype(&BASS_SetConfig) SetConfig = nullptr;
    decltype(&BASS_Init) Init = nullptr;
    decltype(&BASS_Free) Free = nullptr;
    decltype(&BASS_WMA_EncodeGetRates) EncodeGetRates = nullptr;
    decltype(&BASS_WMA_EncodeOpenFile) EncodeOpenFile = nullptr;
    decltype(&BASS_WMA_EncodeSetTag) EncodeSetTag = nullptr;
    decltype(&BASS_WMA_EncodeWrite) EncodeWrite = nullptr;
    decltype(&BASS_WMA_EncodeClose) EncodeClose = nullptr;
    decltype(&BASS_WMA_EncodeGetBitrate) EncodeGetBitrate = nullptr;  // optional: our own addition

    ~CBassBinding()
    {
        if (hWma)
            dlclose(hWma);
        if (hBass)
            dlclose(hBass);
    }

    template <typename F>
    static bool Find(void* h, const char* pszName, F& f)
    {
        f = reinterpret_cast<F>(dlsym(h, pszName));
        return f != nullptr;
    }

    // Loads the modules; each handle stays null when its module does not load.
    void Load()
    {
        hBass = dlopen(ModulePath(BASS_MODULE).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (hBass)
            hWma = dlopen(ModulePath(BASSWMA_MODULE).c_str(), RTLD_NOW | RTLD_LOCAL);
    }

    bool Bind()
    {
        if (!hBass || !hWma)
            return false;
        Find(hWma, "BASS_WMA_EncodeGetBitrate", EncodeGetBitrate);
        return Find(hBass, "BASS_GetVersion", GetVersion) && Find(hBass, "BASS_SetConfig", SetConfig) &&
               Find(hBass, "BASS_Init", Init) && Find(hBass, "BASS_Free", Free) &&
               Find(hWma, "BASS_WMA_EncodeGetRates", EncodeGetRates) &&
               Find(hWma, "BASS_WMA_EncodeOpenFile", EncodeOpenFile) &&
               Find(hWma, "BASS_WMA_EncodeSetTag", EncodeSetTag) && Find(hWma, "BASS_WMA_EncodeWrite", EncodeWrite) &&
               Find(hWma, "BASS_WMA_EncodeClose", EncodeClose);
    }
};

void CReceiverWMA::PreloadModules()
{
    // Never closed: a recording's own binding then finds them loaded.
    if (dlopen(ModulePath(BASS_MODULE).c_str(), RTLD_NOW | RTLD_LOCAL))
        dlopen(ModulePath(BASSWMA_MODULE).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void CReceiverWMA::SetModuleFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(g_moduleFolderLock);
    g_moduleFolder = folder;
}

std::string CReceiverWMA::ModuleFolder()
{
    std::lock_guard<std::mutex> lock(g_moduleFolderLock);
    return g_moduleFolder.empty() ? ApplicationDirectory() : g_moduleFolder;
}

uint32_t CReceiverWMA::MatchBitrate(uint32_t nRequested, const uint32_t* pRates)
{
    if (!pRates)
        return 0;
    uint32_t nCandidate = 0;
    for (; *pRates; ++pRates)
    {
        if (*pRates == nRequested)
            return nRequested;
        if (*pRates > nRequested || nCandidate == 0)
            nCandidate = *pRates;
    }
    return nCandidate;
}

CReceiverWMA::CReceiverWMA() : State(ReceiverState::Waiting), Handle(0), SampleRate(44100), Channels(2), Bitrate(0)
{
}

namespace
{
// The library is initialised once for all open encoders: a split recording opens the next
// file's encoder while the current one still writes.
std::mutex g_initLock;
int g_nOpenEncoders = 0;

bool InitShared(CBassBinding& bass, uint32_t nSampleRate)
{
    std::lock_guard<std::mutex> lock(g_initLock);
    if (g_nOpenEncoders == 0 && !bass.Init(0, nSampleRate, 0, nullptr, nullptr))
        return false;
    ++g_nOpenEncoders;
    return true;
}

void FreeShared(CBassBinding& bass)
{
    std::lock_guard<std::mutex> lock(g_initLock);
    if (g_nOpenEncoders > 0 && --g_nOpenEncoders == 0)
        bass.Free();
}
}  // namespace

CReceiverWMA::~CReceiverWMA()
{
    if (State == ReceiverState::Writing)
        Finish();
}

void CReceiverWMA::LoadLibraries()
{
    // The modules stay loaded for Open: loading the encoder's libraries takes long
    // enough to be felt at the start of a recording, so it is done once.
    auto pBass = std::make_unique<CBassBinding>();
    pBass->Load();
    if (!pBass->hBass)
        throw CRecorderError("Error loading bass.dll");
    if (!pBass->hWma)
        throw CRecorderError("Error loading basswma.dll");
    m_pBass = std::move(pBass);
}

void CReceiverWMA::Open(uint32_t* pBitrate)
{
    std::unique_ptr<CBassBinding> pBass = std::move(m_pBass);
    if (!pBass)
    {
        pBass = std::make_unique<CBassBinding>();
        pBass->Load();
    }
    if (!pBass->Bind())
        throw CRecorderError(MSG_WMA_INCOMPLETE);
    if (pBass->GetVersion() < 2)
        throw CRecorderError(MSG_WMA_TOO_OLD);
    pBass->SetConfig(BASS_CONFIG_UPDATEPERIOD, 0);
    if (!InitShared(*pBass, SampleRate))
        throw CRecorderError(MSG_WMA_INIT_FAILED);

    const bool bQuality = Options.nMode == 1;
    Bitrate = bQuality ? static_cast<uint32_t>(TableEntry(WmaQualityTable, Options.nQualityIndex))
                       : static_cast<uint32_t>(TableEntry(WmaBitrateTable, Options.nBitrateIndex)) * 1000;
    if (pBitrate)
        *pBitrate = Bitrate;
    Bitrate = MatchBitrate(Bitrate, pBass->EncodeGetRates(SampleRate, Channels, bQuality ? BASS_WMA_ENCODE_RATES_VBR : 0));

    // The library wants a path: one that names this very file, never the folder entry.
    Handle = Output ? pBass->EncodeOpenFile(SampleRate, Channels, BASS_WMA_ENCODE_TAGS, Bitrate,
                                            Output->DescriptorPath().c_str())
                    : 0;
    if (!Handle)
    {
        // Left initialised, the library would refuse the next recording.
        FreeShared(*pBass);
        throw CRecorderError(MSG_WMA_CANT_CREATE);
    }

    char text[256];
    auto setText = [&](const char* pszName, const std::string& value) {
        if (value.empty())
            return;
        CopyTagText(text, value);
        pBass->EncodeSetTag(Handle, pszName, text);
    };
    setText("WM/AlbumTitle", Tags.album);
    setText("Author", Tags.artist);
    setText("Title", Tags.title);
    std::snprintf(text, sizeof(text), "%d", Tags.year);
    pBass->EncodeSetTag(Handle, "WM/Year", text);
    pBass->EncodeSetTag(Handle, "WM/ToolName", "vodArev");
    // Ending the tags writes the file's header: a file without one would be no recording.
    if (!pBass->EncodeSetTag(Handle, nullptr, nullptr))
    {
        pBass->EncodeClose(Handle);
        FreeShared(*pBass);
        Handle = 0;
        const int nError = WriteErrorOf(Output->Fd());
        throw CRecorderError(nError ? WriteFailure(nError).NothingKept() : std::string(MSG_WMA_CANT_CREATE));
    }

    // A quality is shown as the bitrate it gave, like every other recording.
    if (bQuality && pBitrate && pBass->EncodeGetBitrate)
        if (uint32_t nReal = pBass->EncodeGetBitrate(Handle))
            *pBitrate = nReal;

    m_pBass = std::move(pBass);
    m_nFileSizeReported = 0;
    m_nFramesWritten = 0;
    m_nStatedMilliseconds = 0;
    struct stat st;
    m_nHeaderSize = fstat(Output->Fd(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    State = ReceiverState::Writing;
}

uint32_t CReceiverWMA::Write(const uint8_t* pData, uint32_t nSize)
{
    if (Bitrate == 0 || State != ReceiverState::Writing || !m_pBass)
        return 0;
    // A file that takes no more data would take none for the rest of the recording:
    // end it and say so, rather than record into nothing.
    if (!m_pBass->EncodeWrite(Handle, pData, nSize))
    {
        // What the library kept before the failure may already be a recording.
        struct stat st;
        if (fstat(Output->Fd(), &st) == 0 && static_cast<uint64_t>(st.st_size) > m_nHeaderSize)
            Output->Publish();
        const int nError = WriteErrorOf(Output->Fd());
        throw nError ? WriteFailure(nError) : CRecorderError::Ended(MSG_WMA_WRITE_FAILED, MSG_WMA_NOTHING_WRITTEN);
    }
    m_nFramesWritten += nSize / (2u * Channels);
    // The encoder does not say how much it wrote; the file does. The first call also
    // counts the header, so the sizes add up to the file.
    struct stat st;
    if (fstat(Output->Fd(), &st) != 0 || static_cast<uint64_t>(st.st_size) <= m_nFileSizeReported)
        return 0;
    // Data packets after the header: a file any player reads, so it may take its name now.
    if (static_cast<uint64_t>(st.st_size) > m_nHeaderSize && !Output->Publish())
        throw WriteFailure(errno);
    uint64_t nGrown = static_cast<uint64_t>(st.st_size) - m_nFileSizeReported;
    m_nFileSizeReported = static_cast<uint64_t>(st.st_size);
    return static_cast<uint32_t>(std::min<uint64_t>(nGrown, UINT32_MAX));
}

void CReceiverWMA::Finish()
{
    if (State != ReceiverState::Waiting)
    {
        if (Handle && m_pBass)
        {
            m_pBass->EncodeClose(Handle);
            FreeShared(*m_pBass);
            Handle = 0;
            // The close writes what the encoder still held.
            struct stat st;
            if (m_nFramesWritten > 0 && fstat(Output->Fd(), &st) == 0 &&
                static_cast<uint64_t>(st.st_size) > m_nHeaderSize)
                Output->Publish();
            m_nStatedMilliseconds = StatedMilliseconds(Output->Fd());
        }
        m_pBass.reset();
        State = ReceiverState::Finished;
    }
    Output.reset();
}

uint32_t CReceiverWMA::KeptMilliseconds() const
{
    // The header of a finished file says it; before, the audio the encoder took is what is known.
    if (m_nStatedMilliseconds)
        return m_nStatedMilliseconds;
    return SampleRate ? static_cast<uint32_t>(m_nFramesWritten * 1000u / SampleRate) : 0;
}
