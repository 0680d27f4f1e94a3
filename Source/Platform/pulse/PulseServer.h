// One connection to the sound server over libpulse's threaded main loop: its
// connection, bounded waits for the server's answers, and the queries the
// device and its mixer need.
//
// Threads: libpulse runs its own event thread; every pulse object is touched
// only with the main-loop lock held (CLock). The functions named ...Locked
// expect that lock and never run on the event thread. Waits are bounded, so a
// server that stops answering costs at most their time-out.
#pragma once
#include "PulseLines.h"

#include <pulse/pulseaudio.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace winmm::pulse
{
// The time a server gets to connect and answer a question.
constexpr int kAnswerTimeoutMs = 1000;

struct SourceState
{
    pa_cvolume volume{};
    bool muted = false;
};

class CPulseServer
{
public:
    // A connected server, or none when no server answers within nTimeoutMs.
    static std::shared_ptr<CPulseServer> Connect(int nTimeoutMs);
    ~CPulseServer();
    CPulseServer(const CPulseServer&) = delete;
    CPulseServer& operator=(const CPulseServer&) = delete;

    // Holds the main-loop lock.
    class CLock
    {
    public:
        explicit CLock(CPulseServer& server);
        ~CLock();
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;

    private:
        pa_threaded_mainloop* m_pLoop;
    };

    // The device name taken from the server at the first connection.
    const std::string& DeviceName() const { return m_deviceName; }
    pa_threaded_mainloop* Loop() const { return m_pLoop; }

    // The context, connecting again first when the server went away (false when no
    // server answers).
    bool EnsureConnectedLocked(int nTimeoutMs);
    bool IsConnectedLocked() const;
    pa_context* ContextLocked() const { return m_pContext; }

    // Waits until done() holds, the connection is lost or the time runs out.
    bool WaitLocked(const std::function<bool()>& done, int nTimeoutMs);
    // Waits for an operation and releases it; cancels it on time-out.
    bool FinishLocked(pa_operation* pOperation, int nTimeoutMs);

    bool QueryDefaultsLocked(std::string& defaultSink, std::string& defaultSource, std::string* pServerName = nullptr,
                             int nTimeoutMs = kAnswerTimeoutMs);
    bool QuerySinksLocked(std::vector<SinkEntry>& sinks);
    bool QuerySourcesLocked(std::vector<SourceEntry>& sources);
    bool QuerySourceLocked(const std::string& name, SourceState& state);
    bool SetSourceVolumeLocked(const std::string& name, const pa_cvolume& volume);
    bool SetSourceMuteLocked(const std::string& name, bool bMute);

private:
    CPulseServer();
    bool ConnectLocked(int nTimeoutMs);
    void DropContextLocked();
    static void OnContextState(pa_context* pContext, void* pUser);

    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    std::string m_deviceName;
};

// Signals the main loop; the generic completion callback of the waits above.
void SignalLoop(pa_threaded_mainloop* pLoop);

// What each capture stream asks of the server, shared by the one-source and the two-source capture.
// About 20 ms per fragment: a sound reaches the recording that soon after it was captured, and a
// stop has at most that much still on its way from the server.
constexpr pa_usec_t kFragmentUsec = 20 * PA_USEC_PER_MSEC;
// At a stop, what the server captured up to that moment is still on its way: up to a fragment
// and the source's own latency. The stop takes in that much audio more, waiting at most a little longer.
constexpr pa_usec_t kStopDrainUsec = 2 * kFragmentUsec;
constexpr int kStopWaitMs = 3 * kFragmentUsec / PA_USEC_PER_MSEC;
constexpr pa_usec_t kBacklogUsec = 4 * PA_USEC_PER_SEC;

inline bool IsGone(pa_stream_state_t state)
{
    return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
}

inline void Release(pa_operation* pOperation)
{
    if (pOperation)
        pa_operation_unref(pOperation);
}
}  // namespace winmm::pulse
