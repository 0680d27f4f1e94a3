#include "TonePlayer.h"

#include <pulse/pulseaudio.h>

#include <cmath>
#include <vector>

namespace
{
constexpr uint32_t kRate = 44100;
constexpr uint64_t kLeadInFrames = kRate / 5;  // 200 ms of silence
}  // namespace

CTonePlayer::~CTonePlayer()
{
    Stop();
}

void CTonePlayer::OnState(void* pUser)
{
    pa_threaded_mainloop_signal(static_cast<CTonePlayer*>(pUser)->m_pLoop, 0);
}

void CTonePlayer::OnWrite(pa_stream* pStream, size_t nBytes, void* pUser)
{
    auto* self = static_cast<CTonePlayer*>(pUser);
    const size_t nFrames = nBytes / 4;
    std::vector<int16_t> samples(nFrames * 2);
    for (size_t i = 0; i < nFrames; ++i, ++self->m_nFrame)
    {
        double v = 0;
        if (self->m_nFrame >= kLeadInFrames)
            v = self->m_dAmplitude * std::sin(2 * M_PI * self->m_dFrequency * static_cast<double>(self->m_nFrame) / kRate);
        samples[2 * i] = samples[2 * i + 1] = static_cast<int16_t>(std::lround(v * 32767));
    }
    pa_stream_write(pStream, samples.data(), nFrames * 4, nullptr, 0, PA_SEEK_RELATIVE);
    self->m_bWritten = true;
    pa_threaded_mainloop_signal(self->m_pLoop, 0);
}

bool CTonePlayer::Play(const std::string& sink, double dFrequency, double dAmplitude)
{
    Stop();
    m_dFrequency = dFrequency;
    m_dAmplitude = dAmplitude;
    m_nFrame = 0;
    m_bWritten = false;
    m_pLoop = pa_threaded_mainloop_new();
    if (!m_pLoop || pa_threaded_mainloop_start(m_pLoop) < 0)
        return false;
    pa_threaded_mainloop_lock(m_pLoop);
    m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), "Vorane test tone");
    pa_context_set_state_callback(
        m_pContext, [](pa_context*, void* pUser) { OnState(pUser); }, this);
    bool bOk = pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    while (bOk && pa_context_get_state(m_pContext) != PA_CONTEXT_READY)
    {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_pContext)))
            bOk = false;
        else
            pa_threaded_mainloop_wait(m_pLoop);
    }
    if (bOk)
    {
        pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 2};
        m_pStream = pa_stream_new(m_pContext, "Test tone", &spec, nullptr);
        pa_stream_set_state_callback(
            m_pStream, [](pa_stream*, void* pUser) { OnState(pUser); }, this);
        pa_stream_set_write_callback(m_pStream, &CTonePlayer::OnWrite, this);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(250 * PA_USEC_PER_MSEC, &spec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(-1);
        attr.fragsize = static_cast<uint32_t>(-1);
        bOk = pa_stream_connect_playback(m_pStream, sink.c_str(), &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) >= 0;
        while (bOk && !(pa_stream_get_state(m_pStream) == PA_STREAM_READY && m_bWritten))
        {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(m_pStream)))
                bOk = false;
            else
                pa_threaded_mainloop_wait(m_pLoop);
        }
    }
    pa_threaded_mainloop_unlock(m_pLoop);
    if (!bOk)
        Stop();
    return bOk;
}

void CTonePlayer::Stop()
{
    if (!m_pLoop)
        return;
    pa_threaded_mainloop_lock(m_pLoop);
    if (m_pStream)
    {
        pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
        pa_stream_disconnect(m_pStream);
        pa_stream_unref(m_pStream);
        m_pStream = nullptr;
    }
    if (m_pContext)
    {
        pa_context_set_state_callback(m_pContext, nullptr, nullptr);
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
        m_pContext = nullptr;
    }
    pa_threaded_mainloop_unlock(m_pLoop);
    pa_threaded_mainloop_stop(m_pLoop);
    pa_threaded_mainloop_free(m_pLoop);
    m_pLoop = nullptr;
}
