#include "PlaySound.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace
{
// How long the server gets to answer, and to play a sound out after its own length.
constexpr auto kAnswerTimeout = std::chrono::seconds(5);
// How often the player looks for a newer sound or the end of the program.
constexpr int kPollMicroseconds = 20000;

struct Sound
{
    pa_sample_spec format{};
    std::vector<uint8_t> pcm;
};

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The samples and their format from a RIFF WAVE image; none unless it is plain PCM the server takes.
std::shared_ptr<Sound> ParseWave(const uint8_t* pData, size_t nSize)
{
    if (!pData || nSize < 12 || std::memcmp(pData, "RIFF", 4) != 0 || std::memcmp(pData + 8, "WAVE", 4) != 0)
        return nullptr;
    auto pSound = std::make_shared<Sound>();
    bool bFormat = false, bData = false;
    size_t nPos = 12;
    while (nPos + 8 <= nSize && !(bFormat && bData))
    {
        const uint8_t* pChunk = pData + nPos;
        const size_t nChunk = Le32(pChunk + 4);
        const size_t nBody = std::min(nChunk, nSize - nPos - 8);
        if (std::memcmp(pChunk, "fmt ", 4) == 0 && nBody >= 16)
        {
            const uint16_t nTag = Le16(pChunk + 8), nChannels = Le16(pChunk + 10), nBits = Le16(pChunk + 22);
            const uint32_t nRate = Le32(pChunk + 12);
            if (nTag != 1 || nChannels < 1 || nChannels > 2 || (nBits != 8 && nBits != 16) || nRate < 1000 ||
                nRate > 192000)
                return nullptr;
            pSound->format = {nBits == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE, nRate, static_cast<uint8_t>(nChannels)};
            bFormat = true;
        }
        else if (std::memcmp(pChunk, "data", 4) == 0)
        {
            pSound->pcm.assign(pChunk + 8, pChunk + 8 + nBody);
            bData = true;
        }
        nPos += 8 + nChunk + (nChunk & 1);  // chunks are padded to an even size
    }
    if (!bFormat || !bData || !pa_sample_spec_valid(&pSound->format))
        return nullptr;
    pSound->pcm.resize(pSound->pcm.size() - pSound->pcm.size() % pa_frame_size(&pSound->format));
    return pSound;
}

std::mutex g_resourceMutex;
std::map<UINT, std::vector<uint8_t>> g_resources;

// The one thread that talks to the sound server: it plays the newest sound it
// was given and drops a sound as soon as a newer one (or the end) comes.
class CSoundThread
{
public:
    static CSoundThread& Instance()
    {
        static CSoundThread thread;
        return thread;
    }

    ~CSoundThread()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bQuit = true;
            ++m_nGeneration;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    // A null sound only ends the one playing.
    void Play(std::shared_ptr<const Sound> pSound)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pPending = std::move(pSound);
            ++m_nGeneration;
            if (m_pPending && !m_thread.joinable())
                m_thread = std::thread(&CSoundThread::Run, this);
        }
        m_wake.notify_all();
    }

private:
    CSoundThread() = default;

    bool Superseded(uint64_t nGeneration)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bQuit || m_nGeneration != nGeneration;
    }

    void Run()
    {
        while (true)
        {
            std::shared_ptr<const Sound> pSound;
            uint64_t nGeneration;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_bQuit || m_pPending; });
                if (m_bQuit)
                    return;
                pSound = std::move(m_pPending);
                nGeneration = m_nGeneration;
            }
            PlayOut(*pSound, nGeneration);
        }
    }

    // Connects, plays the sound to its end and disconnects; gives up silently on
    // any failure, on a server that does not answer in time, or when superseded.
    void PlayOut(const Sound& sound, uint64_t nGeneration)
    {
        pa_mainloop* pLoop = pa_mainloop_new();
        pa_proplist* pProps = pa_proplist_new();
        pa_proplist_sets(pProps, PA_PROP_APPLICATION_NAME, "Vorane Audio Recorder");
        pa_proplist_sets(pProps, PA_PROP_MEDIA_ROLE, "event");
        pa_context* pContext = pa_context_new_with_proplist(pa_mainloop_get_api(pLoop), "Vorane Audio Recorder", pProps);
        pa_stream* pStream = nullptr;
        pa_operation* pDrain = nullptr;
        size_t nWritten = 0;
        auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;

        if (pContext && pa_context_connect(pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0)
        {
            while (!Superseded(nGeneration) && std::chrono::steady_clock::now() < deadline)
            {
                const pa_context_state_t state = pa_context_get_state(pContext);
                if (!PA_CONTEXT_IS_GOOD(state))
                    break;
                if (state == PA_CONTEXT_READY && !pStream)
                {
                    pStream = pa_stream_new_with_proplist(pContext, "Message", &sound.format, nullptr, pProps);
                    if (!pStream || pa_stream_connect_playback(pStream, nullptr, nullptr, PA_STREAM_NOFLAGS, nullptr,
                                                               nullptr) < 0)
                        break;
                    deadline = std::chrono::steady_clock::now() + kAnswerTimeout +
                               std::chrono::microseconds(pa_bytes_to_usec(sound.pcm.size(), &sound.format));
                }
                if (pStream)
                {
                    const pa_stream_state_t streamState = pa_stream_get_state(pStream);
                    if (!PA_STREAM_IS_GOOD(streamState))
                        break;
                    if (streamState == PA_STREAM_READY && nWritten < sound.pcm.size())
                    {
                        size_t nFree = pa_stream_writable_size(pStream);
                        if (nFree != static_cast<size_t>(-1) && nFree > 0)
                        {
                            nFree = std::min(nFree, sound.pcm.size() - nWritten);
                            nFree -= nFree % pa_frame_size(&sound.format);
                            if (pa_stream_write(pStream, sound.pcm.data() + nWritten, nFree, nullptr, 0,
                                                PA_SEEK_RELATIVE) < 0)
                                break;
                            nWritten += nFree;
                        }
                    }
                    if (streamState == PA_STREAM_READY && nWritten >= sound.pcm.size() && !pDrain)
                        pDrain = pa_stream_drain(pStream, nullptr, nullptr);
                    if (pDrain && pa_operation_get_state(pDrain) != PA_OPERATION_RUNNING)
                        break;  // played out
                }
                if (pa_mainloop_prepare(pLoop, kPollMicroseconds) < 0 || pa_mainloop_poll(pLoop) < 0 ||
                    pa_mainloop_dispatch(pLoop) < 0)
                    break;
            }
        }
        // Leaving the stream ends its sound at once, also when it was superseded.
        if (pDrain)
        {
            pa_operation_cancel(pDrain);
            pa_operation_unref(pDrain);
        }
        if (pStream)
        {
            pa_stream_disconnect(pStream);
            pa_stream_unref(pStream);
        }
        if (pContext)
        {
            pa_context_disconnect(pContext);
            pa_context_unref(pContext);
        }
        pa_proplist_free(pProps);
        pa_mainloop_free(pLoop);
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<const Sound> m_pPending;
    uint64_t m_nGeneration = 0;
    bool m_bQuit = false;
    std::thread m_thread;
};
}  // namespace

void RegisterSoundResource(UINT nId, std::vector<uint8_t> wave)
{
    std::lock_guard<std::mutex> lock(g_resourceMutex);
    g_resources[nId] = std::move(wave);
}

BOOL PlaySoundA(LPCSTR pszSound, HMODULE, DWORD fdwSound)
{
    if (!pszSound)
    {
        CSoundThread::Instance().Play(nullptr);
        return TRUE;
    }
    if (!(fdwSound & SND_ASYNC))
        return FALSE;
    std::shared_ptr<Sound> pSound;
    if ((fdwSound & SND_RESOURCE) == SND_RESOURCE)
    {
        const UINT nId = static_cast<UINT>(reinterpret_cast<uintptr_t>(pszSound));
        std::lock_guard<std::mutex> lock(g_resourceMutex);
        auto it = g_resources.find(nId);
        if (it != g_resources.end())
            pSound = ParseWave(it->second.data(), it->second.size());
    }
    else if (fdwSound & SND_MEMORY)
    {
        // The image carries its own size in the RIFF header.
        const uint8_t* pData = reinterpret_cast<const uint8_t*>(pszSound);
        if (std::memcmp(pData, "RIFF", 4) == 0)
            pSound = ParseWave(pData, static_cast<size_t>(Le32(pData + 4)) + 8);
    }
    if (!pSound)
        return FALSE;
    CSoundThread::Instance().Play(std::move(pSound));
    return TRUE;
}
