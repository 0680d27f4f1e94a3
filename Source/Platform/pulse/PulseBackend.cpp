#include "PulseBackend.h"

#include "PulseWaveIn.h"

#include <mutex>

namespace winmm::pulse
{
namespace
{
class CPulseBackend : public IWaveBackend
{
public:
    explicit CPulseBackend(std::shared_ptr<CPulseServer> pServer)
        : m_pDevice(std::make_shared<CPulseWaveIn>(std::move(pServer)))
    {
    }

    // The device stays listed when the server goes away, so device positions do not
    // shift under the program; its calls then fail until the server answers again.
    std::vector<std::shared_ptr<IWaveInDevice>> Devices() override { return {m_pDevice}; }

private:
    std::shared_ptr<CPulseWaveIn> m_pDevice;
};

std::mutex g_mutex;
std::shared_ptr<CPulseBackend> g_pBackend;
}  // namespace
}  // namespace winmm::pulse

void UseSoundServer()
{
    using namespace winmm::pulse;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_pBackend)
        return;
    std::shared_ptr<CPulseServer> pServer = CPulseServer::Connect(kAnswerTimeoutMs);
    if (!pServer)
        return;
    g_pBackend = std::make_shared<CPulseBackend>(std::move(pServer));
    winmm::AddWaveBackend(g_pBackend, true);
}
