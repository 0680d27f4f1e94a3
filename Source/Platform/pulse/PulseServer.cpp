#include "PulseServer.h"

#include <chrono>

namespace winmm::pulse
{
namespace
{
const char* const kClientName = "Vorane Audio Recorder";

struct Timer
{
    pa_threaded_mainloop* pLoop;
    bool bExpired = false;
};

void OnTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* pUser)
{
    auto* pTimer = static_cast<Timer*>(pUser);
    pTimer->bExpired = true;
    SignalLoop(pTimer->pLoop);
}

struct Success
{
    pa_threaded_mainloop* pLoop;
    bool bSuccess = false;
};

void OnSuccess(pa_context*, int nSuccess, void* pUser)
{
    auto* p = static_cast<Success*>(pUser);
    p->bSuccess = nSuccess != 0;
    SignalLoop(p->pLoop);
}

std::string Text(const char* psz)
{
    return psz ? psz : "";
}

int Remaining(std::chrono::steady_clock::time_point deadline)
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}
}  // namespace

void SignalLoop(pa_threaded_mainloop* pLoop)
{
    pa_threaded_mainloop_signal(pLoop, 0);
}

CPulseServer::CLock::CLock(CPulseServer& server) : m_pLoop(server.m_pLoop)
{
    pa_threaded_mainloop_lock(m_pLoop);
}

CPulseServer::CLock::~CLock()
{
    pa_threaded_mainloop_unlock(m_pLoop);
}

CPulseServer::CPulseServer() = default;

std::shared_ptr<CPulseServer> CPulseServer::Connect(int nTimeoutMs)
{
    std::shared_ptr<CPulseServer> pServer(new CPulseServer);
    pServer->m_pLoop = pa_threaded_mainloop_new();
    if (!pServer->m_pLoop)
        return nullptr;
    if (pa_threaded_mainloop_start(pServer->m_pLoop) < 0)
    {
        pa_threaded_mainloop_free(pServer->m_pLoop);
        pServer->m_pLoop = nullptr;
        return nullptr;
    }
    bool bConnected;
    {
        CLock lock(*pServer);
        bConnected = pServer->ConnectLocked(nTimeoutMs);
    }
    return bConnected ? pServer : nullptr;
}

CPulseServer::~CPulseServer()
{
    if (!m_pLoop)
        return;
    {
        CLock lock(*this);
        DropContextLocked();
    }
    pa_threaded_mainloop_stop(m_pLoop);
    pa_threaded_mainloop_free(m_pLoop);
}

void CPulseServer::OnContextState(pa_context*, void* pUser)
{
    SignalLoop(static_cast<CPulseServer*>(pUser)->m_pLoop);
}

void CPulseServer::DropContextLocked()
{
    if (!m_pContext)
        return;
    pa_context_set_state_callback(m_pContext, nullptr, nullptr);
    pa_context_disconnect(m_pContext);
    pa_context_unref(m_pContext);
    m_pContext = nullptr;
}

bool CPulseServer::ConnectLocked(int nTimeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    DropContextLocked();
    pa_proplist* pProps = pa_proplist_new();
    pa_proplist_sets(pProps, PA_PROP_APPLICATION_NAME, kClientName);
    pa_proplist_sets(pProps, PA_PROP_MEDIA_ROLE, "production");
    m_pContext = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_pLoop), kClientName, pProps);
    pa_proplist_free(pProps);
    if (!m_pContext)
        return false;
    pa_context_set_state_callback(m_pContext, &CPulseServer::OnContextState, this);
    // Never start a server of our own: no server simply means no such device.
    if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    {
        DropContextLocked();
        return false;
    }
    pa_context* pContext = m_pContext;
    std::string sink, source, serverName;
    if (!WaitLocked([pContext] { return pa_context_get_state(pContext) == PA_CONTEXT_READY; }, Remaining(deadline)) ||
        !QueryDefaultsLocked(sink, source, &serverName, Remaining(deadline)))
    {
        DropContextLocked();
        return false;
    }
    if (m_deviceName.empty())
        m_deviceName = DeviceNameFor(serverName);
    return true;
}

bool CPulseServer::IsConnectedLocked() const
{
    return m_pContext && pa_context_get_state(m_pContext) == PA_CONTEXT_READY;
}

bool CPulseServer::EnsureConnectedLocked(int nTimeoutMs)
{
    return IsConnectedLocked() || ConnectLocked(nTimeoutMs);
}

bool CPulseServer::WaitLocked(const std::function<bool()>& done, int nTimeoutMs)
{
    if (done())
        return true;
    if (!m_pContext || nTimeoutMs <= 0)
        return false;
    Timer timer{m_pLoop};
    pa_time_event* pEvent =
        pa_context_rttime_new(m_pContext, pa_rtclock_now() + static_cast<pa_usec_t>(nTimeoutMs) * PA_USEC_PER_MSEC,
                              &OnTimer, &timer);
    pa_context* pContext = m_pContext;
    bool bDone = false;
    while (!(bDone = done()) && !timer.bExpired && PA_CONTEXT_IS_GOOD(pa_context_get_state(pContext)))
        pa_threaded_mainloop_wait(m_pLoop);
    if (pEvent)
        pa_threaded_mainloop_get_api(m_pLoop)->time_free(pEvent);
    return bDone;
}

bool CPulseServer::FinishLocked(pa_operation* pOperation, int nTimeoutMs)
{
    if (!pOperation)
        return false;
    WaitLocked([pOperation] { return pa_operation_get_state(pOperation) != PA_OPERATION_RUNNING; }, nTimeoutMs);
    // A cancelled operation never calls back, so its caller's records may go out of scope.
    if (pa_operation_get_state(pOperation) == PA_OPERATION_RUNNING)
        pa_operation_cancel(pOperation);
    const bool bDone = pa_operation_get_state(pOperation) == PA_OPERATION_DONE;
    pa_operation_unref(pOperation);
    return bDone;
}

bool CPulseServer::QueryDefaultsLocked(std::string& defaultSink, std::string& defaultSource, std::string* pServerName,
                                       int nTimeoutMs)
{
    struct Answer
    {
        pa_threaded_mainloop* pLoop = nullptr;
        bool bOk = false;
        std::string sink, source, server;
    } answer;
    answer.pLoop = m_pLoop;
    if (!m_pContext)
        return false;
    pa_operation* pOp = pa_context_get_server_info(
        m_pContext,
        [](pa_context*, const pa_server_info* pInfo, void* pUser) {
            auto* a = static_cast<Answer*>(pUser);
            if (pInfo)
            {
                a->bOk = true;
                a->sink = Text(pInfo->default_sink_name);
                a->source = Text(pInfo->default_source_name);
                a->server = Text(pInfo->server_name);
            }
            SignalLoop(a->pLoop);
        },
        &answer);
    if (!FinishLocked(pOp, nTimeoutMs) || !answer.bOk)
        return false;
    defaultSink = answer.sink;
    defaultSource = answer.source;
    if (pServerName)
        *pServerName = answer.server;
    return true;
}

bool CPulseServer::QuerySinksLocked(std::vector<SinkEntry>& sinks)
{
    struct Answer
    {
        pa_threaded_mainloop* pLoop = nullptr;
        bool bFailed = false;
        std::vector<SinkEntry> sinks;
    } answer;
    answer.pLoop = m_pLoop;
    if (!m_pContext)
        return false;
    pa_operation* pOp = pa_context_get_sink_info_list(
        m_pContext,
        [](pa_context*, const pa_sink_info* pInfo, int nEol, void* pUser) {
            auto* a = static_cast<Answer*>(pUser);
            if (nEol < 0)
                a->bFailed = true;
            else if (pInfo)
                a->sinks.push_back(SinkEntry{Text(pInfo->name), Text(pInfo->description)});
            SignalLoop(a->pLoop);
        },
        &answer);
    if (!FinishLocked(pOp, kAnswerTimeoutMs) || answer.bFailed)
        return false;
    sinks = std::move(answer.sinks);
    return true;
}

bool CPulseServer::QuerySourcesLocked(std::vector<SourceEntry>& sources)
{
    struct Answer
    {
        pa_threaded_mainloop* pLoop = nullptr;
        bool bFailed = false;
        std::vector<SourceEntry> sources;
    } answer;
    answer.pLoop = m_pLoop;
    if (!m_pContext)
        return false;
    pa_operation* pOp = pa_context_get_source_info_list(
        m_pContext,
        [](pa_context*, const pa_source_info* pInfo, int nEol, void* pUser) {
            auto* a = static_cast<Answer*>(pUser);
            if (nEol < 0)
                a->bFailed = true;
            else if (pInfo)
            {
                SourceEntry s;
                s.name = Text(pInfo->name);
                s.description = Text(pInfo->description);
                if (pInfo->monitor_of_sink != PA_INVALID_INDEX)
                    s.monitorOf = Text(pInfo->monitor_of_sink_name);
                s.channels = pInfo->sample_spec.channels;
                s.formFactor = Text(pa_proplist_gets(pInfo->proplist, PA_PROP_DEVICE_FORM_FACTOR));
                a->sources.push_back(s);
            }
            SignalLoop(a->pLoop);
        },
        &answer);
    if (!FinishLocked(pOp, kAnswerTimeoutMs) || answer.bFailed)
        return false;
    sources = std::move(answer.sources);
    return true;
}

bool CPulseServer::QuerySourceLocked(const std::string& name, SourceState& state)
{
    struct Answer
    {
        pa_threaded_mainloop* pLoop = nullptr;
        bool bOk = false;
        SourceState state;
    } answer;
    answer.pLoop = m_pLoop;
    if (!m_pContext)
        return false;
    pa_operation* pOp = pa_context_get_source_info_by_name(
        m_pContext, name.c_str(),
        [](pa_context*, const pa_source_info* pInfo, int nEol, void* pUser) {
            auto* a = static_cast<Answer*>(pUser);
            if (nEol == 0 && pInfo)
            {
                a->bOk = true;
                a->state.volume = pInfo->volume;
                a->state.muted = pInfo->mute != 0;
            }
            SignalLoop(a->pLoop);
        },
        &answer);
    if (!FinishLocked(pOp, kAnswerTimeoutMs) || !answer.bOk)
        return false;
    state = answer.state;
    return true;
}

bool CPulseServer::SetSourceVolumeLocked(const std::string& name, const pa_cvolume& volume)
{
    if (!m_pContext)
        return false;
    Success result{m_pLoop};
    pa_operation* pOp = pa_context_set_source_volume_by_name(m_pContext, name.c_str(), &volume, &OnSuccess, &result);
    return FinishLocked(pOp, kAnswerTimeoutMs) && result.bSuccess;
}

bool CPulseServer::SetSourceMuteLocked(const std::string& name, bool bMute)
{
    if (!m_pContext)
        return false;
    Success result{m_pLoop};
    pa_operation* pOp = pa_context_set_source_mute_by_name(m_pContext, name.c_str(), bMute ? 1 : 0, &OnSuccess, &result);
    return FinishLocked(pOp, kAnswerTimeoutMs) && result.bSuccess;
}
}  // namespace winmm::pulse
