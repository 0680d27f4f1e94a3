#include "PulseWaveIn.h"

#include "MessageBox.h"
#include "WaveInPort.h"

#include <algorithm>

namespace winmm::pulse
{
const char* const MSG_SERVER_LOST =
    "The connection to the sound server was lost. Everything recorded until then is kept; "
    "start the sound server again to record.";
const char* const MSG_SOURCE_LOST =
    "The recording source is no longer available. Everything recorded until then is kept; "
    "choose another line to record.";

namespace
{
int32_t Sample16(const uint8_t* p)
{
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

void Put16(uint8_t*& pOut, int32_t nValue)
{
    *pOut++ = static_cast<uint8_t>(nValue & 0xFF);
    *pOut++ = static_cast<uint8_t>((nValue >> 8) & 0xFF);
}

// nValue rounded to 8 bits already; only full scale's top rounds past it.
uint8_t Unsigned8(int32_t nValue)
{
    return static_cast<uint8_t>(std::min(nValue, 127) + 128);
}
}  // namespace

void ConvertCapturedFrames(const uint8_t* pIn, size_t nFrames, int nChannels, int nBits, uint8_t* pOut)
{
    // Divisions round half up (add half the divisor, then shift); the mean of two
    // 16-bit samples always fits 16 bits, so a mono recording cannot clip here.
    const uint8_t* const pEnd = pIn + nFrames * kCaptureFrameBytes;
    if (nChannels == 1 && nBits == 16)
        for (; pIn != pEnd; pIn += kCaptureFrameBytes)
            Put16(pOut, (Sample16(pIn) + Sample16(pIn + 2) + 1) >> 1);
    else if (nChannels == 1)
        for (; pIn != pEnd; pIn += kCaptureFrameBytes)
            *pOut++ = Unsigned8((Sample16(pIn) + Sample16(pIn + 2) + 256) >> 9);
    else if (nBits == 8)
        for (; pIn != pEnd; pIn += kCaptureFrameBytes)
        {
            *pOut++ = Unsigned8((Sample16(pIn) + 128) >> 8);
            *pOut++ = Unsigned8((Sample16(pIn + 2) + 128) >> 8);
        }
    else
        std::copy(pIn, pEnd, pOut);
}

CPulseWaveIn::CPulseWaveIn(std::shared_ptr<CPulseServer> pServer) : m_pServer(std::move(pServer)) {}

CPulseWaveIn::~CPulseWaveIn()
{
    CPulseServer::CLock lock(*m_pServer);
    DropStreamLocked();
    m_pBoth.reset();
}

MMRESULT CPulseWaveIn::GetCaps(WAVEINCAPSA& caps)
{
    caps.wMid = MM_VORANE;
    caps.wPid = MM_VORANE_SOUND_SERVER;
    caps.vDriverVersion = 0x0100;
    CopyName(caps.szPname, sizeof(caps.szPname), m_pServer->DeviceName());
    caps.dwFormats = 0x00000FFF;  // the server resamples, we make mono and 8 bits: 11.025, 22.05 and 44.1 kHz
    caps.wChannels = 2;
    return MMSYSERR_NOERROR;
}

std::string CPulseWaveIn::SelectedSource()
{
    std::lock_guard<std::mutex> lock(m_selectMutex);
    return m_selected;
}

void CPulseWaveIn::SelectSource(const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_selectMutex);
    m_selected = name;
}

BothControls CPulseWaveIn::GetBothControls()
{
    std::lock_guard<std::mutex> lock(m_selectMutex);
    return m_bothControls;
}

void CPulseWaveIn::SetBothControls(const BothControls& controls)
{
    std::lock_guard<std::mutex> lock(m_selectMutex);
    m_bothControls = controls;
}

MMRESULT CPulseWaveIn::OpenStream(CWaveInPort* pPort, const WAVEFORMATEX& format)
{
    // 16-bit stereo at the requested rate, whatever the handle's format (kCaptureFrameBytes).
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, format.nSamplesPerSec, 2};
    if ((format.wBitsPerSample != 8 && format.wBitsPerSample != 16) || (format.nChannels != 1 && format.nChannels != 2) ||
        !pa_sample_spec_valid(&sampleFormat))
        return WAVERR_BADFORMAT;
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    const std::string source = SelectedSource();

    CPulseServer& server = *m_pServer;
    const BothControls bothControls = GetBothControls();
    CPulseServer::CLock lock(server);
    if (m_pStream || m_pBoth)
        return MMSYSERR_ALLOCATED;
    if (source == kBothSource)
    {
        m_pBoth = std::make_unique<CPulseBothCapture>(server);
        const MMRESULT result = m_pBoth->OpenLocked(pPort, format, bothControls);
        if (result != MMSYSERR_NOERROR)
            m_pBoth.reset();
        return result;
    }
    if (!server.EnsureConnectedLocked(kAnswerTimeoutMs))
        return MMSYSERR_NODRIVER;
    m_pStream = pa_stream_new(server.ContextLocked(), "Recording", &sampleFormat, &map);
    if (!m_pStream)
        return MMSYSERR_NOMEM;
    m_format = format;
    m_bReady = false;
    m_bRunning = false;
    m_bLostTold = false;
    m_partialFrame.clear();
    pa_stream_set_state_callback(m_pStream, &CPulseWaveIn::OnStreamState, this);
    pa_stream_set_read_callback(m_pStream, &CPulseWaveIn::OnRead, this);

    pa_buffer_attr attr;
    // What the program has no buffer for waits with the stream, up to a few seconds.
    attr.maxlength = static_cast<uint32_t>(pa_usec_to_bytes(kBacklogUsec, &sampleFormat));
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &sampleFormat));
    // Corked until the program starts the capture. Never moved to another source behind
    // the user's back: a source that goes away ends the recording instead.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    pa_stream* pStream = m_pStream;
    if (pa_stream_connect_record(pStream, source.empty() ? nullptr : source.c_str(), &attr, flags) < 0 ||
        !server.WaitLocked([pStream] { return pa_stream_get_state(pStream) != PA_STREAM_CREATING; }, kAnswerTimeoutMs) ||
        pa_stream_get_state(pStream) != PA_STREAM_READY)
    {
        DropStreamLocked();
        return server.IsConnectedLocked() ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
    }
    m_bReady = true;
    m_pPort = pPort;
    return MMSYSERR_NOERROR;
}

void CPulseWaveIn::StartStream()
{
    CPulseServer::CLock lock(*m_pServer);
    if (m_pBoth)
        return m_pBoth->StartLocked();
    if (!m_pStream || !m_bReady || pa_stream_get_state(m_pStream) != PA_STREAM_READY)
        return;
    DropPeekedLocked();
    m_partialFrame.clear();
    m_bRunning = true;
    // Audio from before the start must not open the recording: the flush empties the server's
    // queue, but what reached us after the last stop's cork is already in ours.
    DropReceivedLocked();
    Release(pa_stream_flush(m_pStream, nullptr, nullptr));
    Release(pa_stream_cork(m_pStream, 0, nullptr, nullptr));
}

void CPulseWaveIn::StopStream()
{
    // Deliveries run on the event thread under this lock: once it is held, none is under way.
    CPulseServer::CLock lock(*m_pServer);
    if (m_pBoth)
        return m_pBoth->StopLocked();
    if (m_bRunning && m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY)
    {
        // The audio captured up to this moment is still on its way from the server: let it in.
        const pa_sample_spec* pSpec = pa_stream_get_sample_spec(m_pStream);
        const uint64_t nTarget = m_nBytesRead + (pSpec ? pa_usec_to_bytes(kStopDrainUsec, pSpec) : 0);
        m_pServer->WaitLocked([this, nTarget] { return m_nBytesRead >= nTarget || !m_bRunning; }, kStopWaitMs);
    }
    m_bRunning = false;
    if (m_pStream && pa_stream_get_state(m_pStream) == PA_STREAM_READY)
        Release(pa_stream_cork(m_pStream, 1, nullptr, nullptr));
}

void CPulseWaveIn::CloseStream()
{
    CPulseServer::CLock lock(*m_pServer);
    DropStreamLocked();
    m_pBoth.reset();
}

void CPulseWaveIn::DropPeekedLocked()
{
    if (m_nPeekOffset > 0 && m_pStream)
        pa_stream_drop(m_pStream);
    m_nPeekOffset = 0;
}

void CPulseWaveIn::DropReceivedLocked()
{
    const void* pData = nullptr;
    size_t nBytes = 0;
    // A peek of nothing at all means the queue is empty; a hole (no data, some length) is dropped too.
    while (pa_stream_readable_size(m_pStream) > 0 && pa_stream_peek(m_pStream, &pData, &nBytes) == 0 && nBytes > 0)
        pa_stream_drop(m_pStream);
}

void CPulseWaveIn::DropStreamLocked()
{
    m_bRunning = false;
    m_bReady = false;
    m_pPort = nullptr;
    m_partialFrame.clear();
    if (!m_pStream)
        return;
    DropPeekedLocked();
    pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
    pa_stream_set_read_callback(m_pStream, nullptr, nullptr);
    if (!IsGone(pa_stream_get_state(m_pStream)) && pa_stream_get_state(m_pStream) != PA_STREAM_UNCONNECTED)
        pa_stream_disconnect(m_pStream);
    pa_stream_unref(m_pStream);
    m_pStream = nullptr;
}

MMRESULT CPulseWaveIn::OpenMixer(std::unique_ptr<IMixerPort>& pMixer)
{
    CPulseServer& server = *m_pServer;
    std::string defaultSink, defaultSource;
    std::vector<SinkEntry> sinks;
    std::vector<SourceEntry> sources;
    {
        CPulseServer::CLock lock(server);
        // The lines are the server's sources as of now, so a line that went away is not found.
        if (!server.EnsureConnectedLocked(kAnswerTimeoutMs) || !server.QueryDefaultsLocked(defaultSink, defaultSource) ||
            !server.QuerySinksLocked(sinks) || !server.QuerySourcesLocked(sources))
            return MMSYSERR_NODRIVER;
    }
    pMixer = std::make_unique<CPulseMixer>(shared_from_this(), MakeLines(sources, sinks, defaultSink, defaultSource),
                                           defaultSource);
    return MMSYSERR_NOERROR;
}

void CPulseWaveIn::OnStreamState(pa_stream* pStream, void* pUser)
{
    auto* self = static_cast<CPulseWaveIn*>(pUser);
    pa_threaded_mainloop* pLoop = self->m_pServer->Loop();
    SignalLoop(pLoop);
    if (!IsGone(pa_stream_get_state(pStream)) || pStream != self->m_pStream || !self->m_bReady || !self->m_pPort ||
        self->m_bLostTold)
        return;
    // The recording gets no more audio: its handle keeps the buffers as they are, so
    // stopping it keeps every whole second. The user hears of it once.
    self->m_bLostTold = true;
    self->m_bRunning = false;
    pa_context* pContext = pa_stream_get_context(pStream);
    const bool bServerGone = !pContext || pa_context_get_state(pContext) != PA_CONTEXT_READY;
    // A worker thread's message: the handler hands it to the main thread and returns at once.
    ShowAppError(bServerGone ? MSG_SERVER_LOST : MSG_SOURCE_LOST);
}

void CPulseWaveIn::OnRead(pa_stream*, size_t, void* pUser)
{
    auto* self = static_cast<CPulseWaveIn*>(pUser);
    self->PumpLocked();
    // A stop may be waiting for this audio.
    SignalLoop(self->m_pServer->Loop());
}

void CPulseWaveIn::PumpLocked()
{
    if (!m_pStream)
        return;
    const size_t nAlign = std::max<WORD>(1, m_format.nBlockAlign);
    for (;;)
    {
        size_t nSpace = 0;  // in the server's bytes
        if (m_bRunning && m_pPort)
        {
            // Audio the queued buffer cannot take yet stays with the stream (up to its
            // maximum length) until the program queues the next buffer, so a burst from
            // the server is never cut short.
            nSpace = m_pPort->SpaceInCurrentBuffer() / nAlign * kCaptureFrameBytes;
            if (nSpace == 0)
                return;
        }
        const void* pData = nullptr;
        size_t nBytes = 0;
        if (pa_stream_peek(m_pStream, &pData, &nBytes) < 0 || nBytes == 0)
            return;
        size_t nTake = nBytes - m_nPeekOffset;
        if (m_bRunning && m_pPort)
        {
            nTake = std::min(nTake, nSpace);
            if (pData)
                DeliverLocked(static_cast<const uint8_t*>(pData) + m_nPeekOffset, nTake);
            else
                DeliverSilenceLocked(nTake);  // a hole in the record: keep the time running
            m_nBytesRead += nTake;
        }
        m_nPeekOffset += nTake;
        if (m_nPeekOffset >= nBytes)
        {
            pa_stream_drop(m_pStream);
            m_nPeekOffset = 0;
        }
    }
}

void CPulseWaveIn::DeliverSilenceLocked(size_t nBytes)
{
    std::vector<uint8_t> silence(nBytes, 0);
    DeliverLocked(silence.data(), silence.size());
}

void CPulseWaveIn::DeliverLocked(const uint8_t* pData, size_t nBytes)
{
    // The handle takes whole frames; a frame split across fragments waits for its rest.
    if (!m_partialFrame.empty())
    {
        size_t nTake = std::min(kCaptureFrameBytes - m_partialFrame.size(), nBytes);
        m_partialFrame.insert(m_partialFrame.end(), pData, pData + nTake);
        pData += nTake;
        nBytes -= nTake;
        if (m_partialFrame.size() < kCaptureFrameBytes)
            return;
        DeliverFramesLocked(m_partialFrame.data(), 1);
        m_partialFrame.clear();
    }
    const size_t nFrames = nBytes / kCaptureFrameBytes;
    if (nFrames > 0)
        DeliverFramesLocked(pData, nFrames);
    m_partialFrame.assign(pData + nFrames * kCaptureFrameBytes, pData + nBytes);
}

void CPulseWaveIn::DeliverFramesLocked(const uint8_t* pData, size_t nFrames)
{
    if (m_format.nChannels == 2 && m_format.wBitsPerSample == 16)
    {
        m_pPort->Deliver(pData, nFrames * kCaptureFrameBytes);  // already the handle's format
        return;
    }
    m_converted.resize(nFrames * m_format.nBlockAlign);
    ConvertCapturedFrames(pData, nFrames, m_format.nChannels, m_format.wBitsPerSample, m_converted.data());
    m_pPort->Deliver(m_converted.data(), m_converted.size());
}
}  // namespace winmm::pulse
