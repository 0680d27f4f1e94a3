#include "SoundTestSupport.h"

#include "TestSupport.h"

#include <pulse/simple.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
constexpr double kRate = 22050;
constexpr size_t kWindow = 4410;  // a fifth of a second

bool Poll(const std::function<bool()>& condition, int nTimeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
}  // namespace

CPulseDaemon& SoundDaemon()
{
    static CPulseDaemon daemon;
    return daemon;
}

bool StartSoundDaemon()
{
    if (!SoundDaemon().IsRunning() && !SoundDaemon().Start())
        return false;
    SoundDaemon().UseInThisProcess();
    return true;
}

bool CMonitorListener::Start()
{
    Stop();
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(kRate), 1};
    const uint32_t nAny = static_cast<uint32_t>(-1);
    // Small fragments, so what is heard is at most a few hundredths of a second old.
    pa_buffer_attr attr{nAny, nAny, nAny, nAny, static_cast<uint32_t>(pa_usec_to_bytes(20000, &spec))};
    const std::string source = std::string(CPulseDaemon::kOutput) + ".monitor";
    pa_simple* pStream = pa_simple_new(nullptr, "Vorane test listener", PA_STREAM_RECORD, source.c_str(), "Monitor",
                                       &spec, nullptr, &attr, nullptr);
    if (!pStream)
        return false;
    m_bStop = false;
    m_thread = std::thread([this, pStream] {
        std::vector<int16_t> chunk(441);
        while (!m_bStop && pa_simple_read(pStream, chunk.data(), chunk.size() * 2, nullptr) >= 0)
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (int16_t s : chunk)
                m_samples.push_back(s / 32768.0f);
            while (m_samples.size() > kWindow)
                m_samples.pop_front();
        }
        pa_simple_free(pStream);
    });
    return true;
}

void CMonitorListener::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<float> CMonitorListener::Recent()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<float>(m_samples.begin(), m_samples.end());
}

bool CMonitorListener::WaitForTone(double dFrequency, int nTimeoutMs)
{
    return Poll(
        [&] {
            std::vector<float> recent = Recent();
            return recent.size() == kWindow && Rms(recent) > 0.01 &&
                   std::fabs(DominantFrequency(recent, kRate) - dFrequency) <= 10;
        },
        nTimeoutMs);
}

bool CMonitorListener::WaitForSilence(int nTimeoutMs)
{
    return Poll(
        [&] {
            std::vector<float> recent = Recent();
            return recent.size() == kWindow && Rms(recent) < 0.001;
        },
        nTimeoutMs);
}

std::string CMonitorListener::Describe()
{
    std::vector<float> recent = Recent();
    char text[96];
    std::snprintf(text, sizeof(text), "heard %.0f Hz at RMS %.4f", DominantFrequency(recent, kRate), Rms(recent));
    return text;
}

CSilentServer::CSilentServer()
{
    char dir[] = "/tmp/vorane-silent-XXXXXX";
    m_dir = mkdtemp(dir) ? dir : "/tmp";
    m_path = m_dir + "/native";
    m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", m_path.c_str());
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(m_listen, 8) != 0)
    {
        close(m_listen);
        m_listen = -1;
    }
}

CSilentServer::~CSilentServer()
{
    if (m_client >= 0)
        close(m_client);
    if (m_listen >= 0)
        close(m_listen);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

bool CSilentServer::WaitForClient(int nTimeoutMs)
{
    if (m_client >= 0)
        return true;
    pollfd fd{m_listen, POLLIN, 0};
    if (m_listen < 0 || poll(&fd, 1, nTimeoutMs) != 1)
        return false;
    m_client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    return m_client >= 0;
}

bool CSilentServer::ClientWaits()
{
    if (m_client < 0)
        return false;
    // Read what the client said; it waits as long as it has not closed its end.
    char buffer[4096];
    while (true)
    {
        ssize_t n = recv(m_client, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n > 0)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

std::vector<uint8_t> ToneWave(double dFrequency, double dSeconds)
{
    const uint32_t nSamples = static_cast<uint32_t>(dSeconds * kRate), nBytes = 2 * nSamples;
    std::vector<uint8_t> wave;
    auto put = [&](uint32_t n, int nBytesOfIt) {
        for (int i = 0; i < nBytesOfIt; ++i)
            wave.push_back(static_cast<uint8_t>(n >> (8 * i)));
    };
    auto tag = [&](const char* psz) { wave.insert(wave.end(), psz, psz + 4); };
    tag("RIFF");
    put(36 + nBytes, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(static_cast<uint32_t>(kRate), 4);
    put(static_cast<uint32_t>(kRate) * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(nBytes, 4);
    for (uint32_t i = 0; i < nSamples; ++i)
        put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(0.5 * 32767 * std::sin(2 * M_PI * dFrequency * i / kRate)))), 2);
    return wave;
}
