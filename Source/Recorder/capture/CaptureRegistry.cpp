#include "CaptureRegistry.h"

namespace
{
CWaveIn* g_pCurrentDevice = nullptr;
IWaveformView* g_pWaveformView = nullptr;
}  // namespace

std::recursive_mutex& GlobalDeviceLock()
{
    static std::recursive_mutex lock;
    return lock;
}

CWaveIn* GetCurrentDevice()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    return g_pCurrentDevice;
}

void SetCurrentDevice(CWaveIn* pDevice)
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    g_pCurrentDevice = pDevice;
}

IWaveformView* GetWaveformView()
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    return g_pWaveformView;
}

void SetWaveformView(IWaveformView* pView)
{
    std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
    g_pWaveformView = pView;
}
