// The wave-input stand-in keeps the rules the capture engine relies on.
#include "Event.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace
{
WAVEFORMATEX Mono11k()
{
    return WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
}

class WaveInStandIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WAVEFORMATEX f = Mono11k();
        ASSERT_EQ(MMSYSERR_NOERROR,
                  waveInOpen(&m_hWaveIn, 0, &f, reinterpret_cast<DWORD_PTR>(m_hEvent), 0, CALLBACK_EVENT));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0)) << "opening signals the event";
        for (int i = 0; i < 2; ++i)
        {
            m_headers[i] = WAVEHDR{};
            m_headers[i].lpData = reinterpret_cast<LPSTR>(m_memory.data() + i * 11025);
            m_headers[i].dwBufferLength = 11025;
        }
    }
    void TearDown() override
    {
        if (m_hWaveIn)
        {
            waveInReset(m_hWaveIn);
            waveInClose(m_hWaveIn);
        }
        CloseHandle(m_hEvent);
    }
    void Queue(WAVEHDR& h)
    {
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(m_hWaveIn, &h, sizeof(h)));
        ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(m_hWaveIn, &h, sizeof(h)));
    }
    DWORD Position()
    {
        MMTIME t{};
        t.wType = TIME_SAMPLES;
        EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(m_hWaveIn, &t, sizeof(t)));
        return t.u.sample;
    }
    bool Signalled() { return WaitForSingleObject(m_hEvent, 0) == WAIT_OBJECT_0; }

    CManualClockScope m_clock;
    HANDLE m_hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN m_hWaveIn = nullptr;
    std::vector<uint8_t> m_memory = std::vector<uint8_t>(2 * 11025);
    WAVEHDR m_headers[2];
};
}  // namespace

TEST_F(WaveInStandIn, AFilledBufferIsDoneAndSignalledAndResetReturnsAPartlyFilledOneAndZeroesThePosition)
{
    Queue(m_headers[0]);
    Queue(m_headers[1]);
    EXPECT_TRUE(m_headers[0].dwFlags & WHDR_INQUEUE);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(m_hWaveIn));
    winmm::virt::AdvanceClock(0.5);
    EXPECT_FALSE(m_headers[0].dwFlags & WHDR_DONE);
    EXPECT_FALSE(Signalled());
    winmm::virt::AdvanceClock(0.5);
    EXPECT_EQ(WHDR_DONE, m_headers[0].dwFlags & (WHDR_DONE | WHDR_INQUEUE));
    EXPECT_EQ(11025u, m_headers[0].dwBytesRecorded);
    EXPECT_TRUE(Signalled());
    winmm::virt::AdvanceClock(0.25);
    EXPECT_EQ(13781u, Position());
    ASSERT_EQ(MMSYSERR_NOERROR, waveInReset(m_hWaveIn));
    EXPECT_TRUE(m_headers[1].dwFlags & WHDR_DONE);
    EXPECT_EQ(2756u, m_headers[1].dwBytesRecorded);
    EXPECT_TRUE(Signalled());
    EXPECT_EQ(0u, Position());
}

TEST_F(WaveInStandIn, AudioWithoutABufferWaitsForTheNextOne)
{
    Queue(m_headers[0]);
    waveInStart(m_hWaveIn);
    winmm::virt::AdvanceClock(1.0);
    // No buffer queued for a tenth of a second: a driver holds that much for the next one.
    winmm::virt::Device(0)->AdvanceManual(100000000, false);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInUnprepareHeader(m_hWaveIn, &m_headers[0], sizeof(WAVEHDR)));
    Queue(m_headers[1]);
    EXPECT_EQ(1102u, m_headers[1].dwBytesRecorded);
}
