#include "PulseBoth.h"

#include "MessageBox.h"
#include "PulseWaveIn.h"
#include "WaveInPort.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace winmm::pulse
{
const char* const MSG_BOTH_PART_LOST =
    "%s is no longer available: the recording goes on with the other source alone. Everything recorded is kept.";

namespace
{
// How long ago the part's oldest unmixed frame was captured, in microseconds: the stream's
// latency (its read index behind the source) plus what we hold already. False without timing.
bool HeadAge(pa_stream* pStream, size_t nFramesHeld, uint32_t nRate, double& age)
{
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(pStream, &latency, &negative) != 0)
        return false;
    age = (negative ? -1.0 : 1.0) * static_cast<double>(latency) + 1e6 * static_cast<double>(nFramesHeld) / nRate;
    return true;
}
}  // namespace

CPulseBothCapture::CPulseBothCapture(CPulseServer& server) : m_server(server)
{
    for (Part& part : m_parts)
        part.pOwner = this;
}

CPulseBothCapture::~CPulseBothCapture()
{
    CloseLocked();
}

MMRESULT CPulseBothCapture::ConnectLocked(Part& part, const std::string& source, const pa_sample_spec& spec)
{
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    part.pStream = pa_stream_new(m_server.ContextLocked(), "Recording", &spec, &map);
    if (!part.pStream)
        return MMSYSERR_NOMEM;
    pa_stream_set_state_callback(part.pStream, &CPulseBothCapture::OnState, &part);
    pa_stream_set_read_callback(part.pStream, &CPulseBothCapture::OnRead, &part);
    pa_stream_set_latency_update_callback(part.pStream, &CPulseBothCapture::OnLatency, &part);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(pa_usec_to_bytes(kBacklogUsec, &spec));
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec));
    // The timing flags give the latencies the two parts are lined up by.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                                                      PA_STREAM_DONT_MOVE | PA_STREAM_INTERPOLATE_TIMING |
                                                      PA_STREAM_AUTO_TIMING_UPDATE);
    pa_stream* pStream = part.pStream;
    if (pa_stream_connect_record(pStream, source.c_str(), &attr, flags) < 0 ||
        !m_server.WaitLocked([pStream] { return pa_stream_get_state(pStream) != PA_STREAM_CREATING; }, kAnswerTimeoutMs) ||
        pa_stream_get_state(pStream) != PA_STREAM_READY)
        return m_server.IsConnectedLocked() ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
    return MMSYSERR_NOERROR;
}

MMRESULT CPulseBothCapture::OpenLocked(CWaveInPort* pPort, const WAVEFORMATEX& format, const BothControls& controls)
{
    if (m_parts[0].pStream || m_parts[1].pStream)
        return MMSYSERR_ALLOCATED;
    if (!m_server.EnsureConnectedLocked(kAnswerTimeoutMs))
        return MMSYSERR_NODRIVER;
    // The default output's monitor and the default input, as they are at this start.
    std::string defaultSink, defaultSource;
    std::vector<SourceEntry> sources;
    if (!m_server.QueryDefaultsLocked(defaultSink, defaultSource) || !m_server.QuerySourcesLocked(sources))
        return MMSYSERR_NODRIVER;
    std::string monitor, microphone = "the microphone";
    for (const SourceEntry& s : sources)
    {
        if (!s.monitorOf.empty() && s.monitorOf == defaultSink)
            monitor = s.name;
        if (s.name == defaultSource)
            microphone = "The microphone (\"" + (s.description.empty() ? s.name : s.description) + "\")";
    }
    if (monitor.empty() || defaultSource.empty() || defaultSource == monitor)
        return MMSYSERR_ERROR;
    m_parts[0].what = "The computer's sound (\"Stereo Mix\")";
    m_parts[1].what = microphone;

    const pa_sample_spec spec{PA_SAMPLE_S16LE, format.nSamplesPerSec, 2};
    MMRESULT result = ConnectLocked(m_parts[0], monitor, spec);
    if (result == MMSYSERR_NOERROR)
        result = ConnectLocked(m_parts[1], defaultSource, spec);
    if (result != MMSYSERR_NOERROR)
    {
        CloseLocked();
        return result;
    }
    m_format = format;
    m_controls = controls;
    m_pPort = pPort;
    m_bLostTold = false;
    return MMSYSERR_NOERROR;
}

void CPulseBothCapture::StartLocked()
{
    for (Part& part : m_parts)
        if (!part.pStream || pa_stream_get_state(part.pStream) != PA_STREAM_READY)
            return;
    m_bRunning = true;
    m_bAligned = false;
    m_mixer = CBothMixer(m_format.nSamplesPerSec);
    for (Part& part : m_parts)
    {
        part.pending.clear();
        part.nHead = 0;
        part.partial.clear();
        part.nSkip = 0;
        part.bTimed = false;
        part.bLost = false;
        // Nothing from before the start: what came in since the last stop, and the server's queue.
        const void* pData = nullptr;
        size_t nBytes = 0;
        while (pa_stream_readable_size(part.pStream) > 0 && pa_stream_peek(part.pStream, &pData, &nBytes) == 0 &&
               nBytes > 0)
            pa_stream_drop(part.pStream);
        Release(pa_stream_flush(part.pStream, nullptr, nullptr));
        Release(pa_stream_cork(part.pStream, 0, nullptr, nullptr));
        // Answered after the start, so its latency is the running stream's.
        Release(pa_stream_update_timing_info(part.pStream, nullptr, nullptr));
    }
}

void CPulseBothCapture::StopLocked()
{
    if (m_bRunning)
    {
        // What the sources captured up to now is still on its way: let it in, as a single source's stop does.
        const uint64_t nTarget = m_nFramesMixed + kStopDrainUsec * m_format.nSamplesPerSec / PA_USEC_PER_SEC;
        m_server.WaitLocked([this, nTarget] { return m_nFramesMixed >= nTarget || !m_bRunning; }, kStopWaitMs);
    }
    m_bRunning = false;
    for (Part& part : m_parts)
        if (part.pStream && pa_stream_get_state(part.pStream) == PA_STREAM_READY)
            Release(pa_stream_cork(part.pStream, 1, nullptr, nullptr));
}

void CPulseBothCapture::CloseLocked()
{
    m_bRunning = false;
    m_pPort = nullptr;
    for (Part& part : m_parts)
        DropPartLocked(part);
}

void CPulseBothCapture::DropPartLocked(Part& part)
{
    part.pending.clear();
    part.nHead = 0;
    part.partial.clear();
    if (!part.pStream)
        return;
    pa_stream_set_state_callback(part.pStream, nullptr, nullptr);
    pa_stream_set_read_callback(part.pStream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(part.pStream, nullptr, nullptr);
    if (!IsGone(pa_stream_get_state(part.pStream)) && pa_stream_get_state(part.pStream) != PA_STREAM_UNCONNECTED)
        pa_stream_disconnect(part.pStream);
    pa_stream_unref(part.pStream);
    part.pStream = nullptr;
}

void CPulseBothCapture::OnLatency(pa_stream*, void* pUser)
{
    auto& part = *static_cast<Part*>(pUser);
    if (!part.pOwner->m_bRunning)
        return;
    part.bTimed = true;
    part.pOwner->MixLocked();
}

void CPulseBothCapture::OnRead(pa_stream*, size_t, void* pUser)
{
    auto& part = *static_cast<Part*>(pUser);
    part.pOwner->ReadLocked(part);
    part.pOwner->MixLocked();
    // A stop may be waiting for this audio.
    SignalLoop(part.pOwner->m_server.Loop());
}

void CPulseBothCapture::OnState(pa_stream* pStream, void* pUser)
{
    auto& part = *static_cast<Part*>(pUser);
    CPulseBothCapture& self = *part.pOwner;
    SignalLoop(self.m_server.Loop());
    if (!IsGone(pa_stream_get_state(pStream)) || part.bLost || !self.m_pPort)
        return;
    part.bLost = true;
    pa_context* pContext = pa_stream_get_context(pStream);
    const bool bServerGone = !pContext || pa_context_get_state(pContext) != PA_CONTEXT_READY;
    Part& other = &part == &self.m_parts[0] ? self.m_parts[1] : self.m_parts[0];
    if (!bServerGone && !other.bLost)
    {
        // The other source records on; its audio waiting for this one's goes out now.
        std::vector<char> text(std::strlen(MSG_BOTH_PART_LOST) + part.what.size() + 1);
        std::snprintf(text.data(), text.size(), MSG_BOTH_PART_LOST, part.what.c_str());
        ShowAppError(text.data());
        self.MixLocked();
        return;
    }
    // Nothing more to record: the handle keeps its buffers, and the user hears of it once.
    self.m_bRunning = false;
    if (self.m_bLostTold)
        return;
    self.m_bLostTold = true;
    ShowAppError(bServerGone ? MSG_SERVER_LOST : MSG_SOURCE_LOST);
}

void CPulseBothCapture::Append(Part& part, const uint8_t* pData, size_t nBytes)
{
    if (!part.partial.empty())
    {
        const size_t nTake = std::min(kCaptureFrameBytes - part.partial.size(), nBytes);
        part.partial.insert(part.partial.end(), pData, pData + nTake);
        pData += nTake;
        nBytes -= nTake;
        if (part.partial.size() < kCaptureFrameBytes)
            return;
        Append(part, part.partial.data(), kCaptureFrameBytes);
        part.partial.clear();
    }
    const size_t nWhole = nBytes / kCaptureFrameBytes * kCaptureFrameBytes;
    const size_t nOld = part.pending.size();
    part.pending.resize(nOld + nWhole / 2);
    if (pData)
        std::memcpy(part.pending.data() + nOld, pData, nWhole);
    else
        std::fill(part.pending.begin() + static_cast<long>(nOld), part.pending.end(), 0);
    if (pData)
        part.partial.assign(pData + nWhole, pData + nBytes);
    else
        part.partial.assign(nBytes - nWhole, 0);
}

void CPulseBothCapture::ReadLocked(Part& part)
{
    if (!part.pStream)
        return;
    const size_t nMaxFrames = static_cast<size_t>(kBacklogUsec / PA_USEC_PER_SEC) * m_format.nSamplesPerSec;
    for (;;)
    {
        // What this side holds beyond a few seconds waits with the server, as a single source's does.
        if (m_bRunning && part.Frames() >= nMaxFrames)
            return;
        const void* pData = nullptr;
        size_t nBytes = 0;
        if (pa_stream_peek(part.pStream, &pData, &nBytes) < 0 || nBytes == 0)
            return;
        if (m_bRunning)
            Append(part, static_cast<const uint8_t*>(pData), nBytes);  // a hole (no data) stays as silence
        pa_stream_drop(part.pStream);
    }
}

bool CPulseBothCapture::AlignLocked()
{
    if (m_bAligned)
        return true;
    Part& a = m_parts[0];
    Part& b = m_parts[1];
    const uint32_t nRate = m_format.nSamplesPerSec;
    if (a.bLost || b.bLost)
        return m_bAligned = true;
    // A side that never gets its timing or its audio holds the other back no longer than half a second.
    const bool bWaited = std::max(a.Frames(), b.Frames()) > nRate / 2;
    double ageA = 0, ageB = 0;
    if (a.Frames() == 0 || b.Frames() == 0 || !a.bTimed || !b.bTimed ||
        !HeadAge(a.pStream, a.Frames(), nRate, ageA) || !HeadAge(b.pStream, b.Frames(), nRate, ageB))
        return m_bAligned = bWaited;
    // The part whose first frame is older starts earlier: it drops what came before the other's first frame.
    Part& early = ageA > ageB ? a : b;
    early.nSkip = static_cast<uint64_t>(std::abs(ageA - ageB) * nRate / 1e6 + 0.5);
    return m_bAligned = true;
}

void CPulseBothCapture::MixLocked()
{
    for (Part& part : m_parts)
    {
        const uint64_t nDrop = std::min<uint64_t>(part.nSkip, part.Frames());
        part.nHead += static_cast<size_t>(nDrop) * 2;
        part.nSkip -= nDrop;
    }
    if (!m_bRunning || !m_pPort || !AlignLocked() || m_parts[0].nSkip > 0 || m_parts[1].nSkip > 0)
        return;
    Part& a = m_parts[0];
    Part& b = m_parts[1];
    const uint32_t nRate = m_format.nSamplesPerSec;
    const size_t nAlign = std::max<WORD>(1, m_format.nBlockAlign);
    for (;;)
    {
        // A source that stalls without going away is silent where the other ran on more than a second.
        for (Part* p : {&a, &b})
        {
            Part& other = p == &a ? b : a;
            if (!p->bLost && !other.bLost && p->Frames() == 0 && other.Frames() > nRate)
                p->pending.resize(p->pending.size() + (other.Frames() - nRate / 2) * 2, 0);
        }
        size_t nFrames = a.bLost ? b.Frames() : b.bLost ? a.Frames() : std::min(a.Frames(), b.Frames());
        if (a.bLost && b.bLost)
            nFrames = 0;
        nFrames = std::min(nFrames, m_pPort->SpaceInCurrentBuffer() / nAlign);
        if (nFrames == 0)
            break;
        m_mixed.resize(nFrames * 2);
        std::vector<int16_t> silence;
        const int16_t* pA = a.pending.data() + a.nHead;
        const int16_t* pB = b.pending.data() + b.nHead;
        if (a.bLost || b.bLost)
        {
            silence.assign(nFrames * 2, 0);
            (a.bLost ? pA : pB) = silence.data();
        }
        const double gain = m_controls.muted ? 0.0 : m_controls.volume / 65535.0;
        m_mixer.Mix16(m_controls.sideBySide, gain, pA, pB, nFrames, m_mixed.data());
        for (Part* p : {&a, &b})
            if (!p->bLost)
                p->nHead += nFrames * 2;
        const auto* pBytes = reinterpret_cast<const uint8_t*>(m_mixed.data());
        if (m_format.nChannels == 2 && m_format.wBitsPerSample == 16)
            m_pPort->Deliver(pBytes, nFrames * kCaptureFrameBytes);
        else
        {
            m_converted.resize(nFrames * m_format.nBlockAlign);
            ConvertCapturedFrames(pBytes, nFrames, m_format.nChannels, m_format.wBitsPerSample, m_converted.data());
            m_pPort->Deliver(m_converted.data(), m_converted.size());
        }
        m_nFramesMixed += nFrames;
    }
    for (Part& part : m_parts)
        if (part.nHead > 0 && part.nHead * 2 >= part.pending.size())
        {
            part.pending.erase(part.pending.begin(), part.pending.begin() + static_cast<long>(part.nHead));
            part.nHead = 0;
        }
}
}  // namespace winmm::pulse
