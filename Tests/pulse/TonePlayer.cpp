#include "TonePlayer.h"

#include <pulse/simple.h>

#include <cmath>
#include <future>
#include <vector>

bool CTonePlayer::Play(const std::string& sink, double dFrequency)
{
    Stop();
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    pa_buffer_attr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(pa_usec_to_bytes(250000, &spec)),
                        static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1)};
    pa_simple* pStream =
        pa_simple_new(nullptr, "Vorane test tone", PA_STREAM_PLAYBACK, sink.c_str(), "Test tone", &spec, nullptr, &attr, nullptr);
    if (!pStream)
        return false;
    std::promise<bool> started;
    std::future<bool> bStarted = started.get_future();
    m_bStop = false;
    m_thread = std::thread([this, pStream, dFrequency, started = std::move(started)]() mutable {
        std::vector<int16_t> samples(2 * 441);  // 10 ms at a time
        bool bOk = true;
        for (uint64_t nFrame = 0, nChunk = 0; bOk && !m_bStop; ++nChunk)
        {
            for (size_t i = 0; i < 441; ++i, ++nFrame)
            {
                // 200 ms of silence, then the tone.
                double v = nFrame < 8820 ? 0 : 0.5 * std::sin(2 * M_PI * dFrequency * static_cast<double>(nFrame) / 44100);
                samples[2 * i] = samples[2 * i + 1] = static_cast<int16_t>(std::lround(v * 32767));
            }
            bOk = pa_simple_write(pStream, samples.data(), samples.size() * 2, nullptr) >= 0;
            if (nChunk == 0)
                started.set_value(bOk);
        }
        pa_simple_free(pStream);
    });
    if (bStarted.get())
        return true;
    Stop();
    return false;
}

void CTonePlayer::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}
