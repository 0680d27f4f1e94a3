#include "SoundTestSupport.h"

#include "TestSupport.h"

#include <pulse/simple.h>

#include <algorithm>
#include <chrono>
#include <vector>
#include <cmath>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

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

bool WaitForOutput(double dFrequency, int nTimeoutMs)
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 22050, 1};
    const std::string monitor = std::string(CPulseDaemon::kOutput) + ".monitor";
    // Small fragments, so what is read is what plays now.
    const uint32_t nAny = static_cast<uint32_t>(-1), nFragment = static_cast<uint32_t>(pa_usec_to_bytes(20000, &spec));
    const pa_buffer_attr attr{nAny, nAny, nAny, nAny, nFragment};
    pa_simple* pStream =
        pa_simple_new(nullptr, "Vorane test", PA_STREAM_RECORD, monitor.c_str(), "Monitor", &spec, nullptr, &attr, nullptr);
    if (!pStream)
        return false;
    // A fifth of a second at a time, as it comes.
    std::vector<int16_t> chunk(4410);
    std::vector<float> samples(chunk.size());
    bool bHeard = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!bHeard && std::chrono::steady_clock::now() < deadline &&
           pa_simple_read(pStream, chunk.data(), chunk.size() * 2, nullptr) >= 0)
    {
        std::transform(chunk.begin(), chunk.end(), samples.begin(), [](int16_t s) { return s / 32768.0f; });
        bHeard = dFrequency > 0 ? Rms(samples) > 0.01 && std::fabs(DominantFrequency(samples, 22050) - dFrequency) <= 10
                                : Rms(samples) < 0.001;
    }
    pa_simple_free(pStream);
    return bHeard;
}

CSilentServer::CSilentServer()
{
    char dir[] = "/tmp/vorane-silent-XXXXXX";
    m_dir = mkdtemp(dir) ? dir : "/tmp";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s/native", m_dir.c_str());
    m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(m_listen, 8) != 0)
        close(std::exchange(m_listen, -1));
}

CSilentServer::~CSilentServer()
{
    for (int fd : {m_client, m_listen})
        if (fd >= 0)
            close(fd);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

bool CSilentServer::WaitForClient(int nTimeoutMs)
{
    pollfd fd{m_listen, POLLIN, 0};
    if (m_client < 0 && m_listen >= 0 && poll(&fd, 1, nTimeoutMs) == 1)
        m_client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    return m_client >= 0;
}

bool CSilentServer::ClientWaits()
{
    // Whatever the client said is read; it waits as long as it has not closed its end.
    char buffer[4096];
    ssize_t n;
    while ((n = recv(m_client, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0)
    {
    }
    return m_client >= 0 && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}
