// The wave-input stand-in keeps the rules the capture engine relies on.
#include "Event.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
WAVEFORMATEX Mono8k()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 11025;
    f.wBitsPerSample = 8;
    f.nBlockAlign = 1;
    f.nAvgBytesPerSec = 11025;
    return f;
}

class WaveInStandIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WAVEFORMATEX f = Mono8k();
        ASSERT_EQ(MMSYSERR_NOERROR,
                  waveInOpen(&m_hWaveIn, 0, &f, reinterpret_cast<DWORD_PTR>(m_hEvent), 0, CALLBACK_EVENT));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0)) << "opening signals the event";
        for (auto& h : m_headers)
        {
            h = WAVEHDR{};
            h.lpData = reinterpret_cast<LPSTR>(m_memory.data() + (&h - m_headers) * 11025);
            h.dwBufferLength = 11025;
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

    CManualClockScope m_clock;
    HANDLE m_hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEIN m_hWaveIn = nullptr;
    std::vector<uint8_t> m_memory = std::vector<uint8_t>(2 * 11025);
    WAVEHDR m_headers[2];
};
}  // namespace

TEST_F(WaveInStandIn, AFilledBufferIsMarkedDoneAndSignalled)
{
    Queue(m_headers[0]);
    EXPECT_TRUE(m_headers[0].dwFlags & WHDR_INQUEUE);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(m_hWaveIn));
    winmm::virt::AdvanceClock(0.5);
    EXPECT_FALSE(m_headers[0].dwFlags & WHDR_DONE);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(m_hEvent, 0));
    winmm::virt::AdvanceClock(0.5);
    EXPECT_TRUE(m_headers[0].dwFlags & WHDR_DONE);
    EXPECT_FALSE(m_headers[0].dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(11025u, m_headers[0].dwBytesRecorded);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0));
    EXPECT_EQ(11025u, Position());
}

TEST_F(WaveInStandIn, ResetReturnsThePartlyFilledBufferAndZeroesThePosition)
{
    Queue(m_headers[0]);
    waveInStart(m_hWaveIn);
    winmm::virt::AdvanceClock(0.25);
    EXPECT_EQ(2756u, Position());
    WaitForSingleObject(m_hEvent, 0);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInReset(m_hWaveIn));
    EXPECT_TRUE(m_headers[0].dwFlags & WHDR_DONE);
    EXPECT_EQ(2756u, m_headers[0].dwBytesRecorded);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0));
    EXPECT_EQ(0u, Position());
}

TEST_F(WaveInStandIn, AudioWithoutABufferWaitsForTheNextOne)
{
    Queue(m_headers[0]);
    waveInStart(m_hWaveIn);
    winmm::virt::AdvanceClock(1.0);
    // No buffer queued for a tenth of a second: a driver holds that much for the next one.
    winmm::virt::Device(0)->AdvanceManual(100000000);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInUnprepareHeader(m_hWaveIn, &m_headers[0], sizeof(WAVEHDR)));
    Queue(m_headers[1]);
    EXPECT_EQ(1102u, m_headers[1].dwBytesRecorded);
}

TEST_F(WaveInStandIn, TheRulesOfTheQueueAreKept)
{
    WAVEHDR& h = m_headers[0];
    EXPECT_EQ(WAVERR_UNPREPARED, waveInAddBuffer(m_hWaveIn, &h, sizeof(h)));
    Queue(h);
    EXPECT_EQ(WAVERR_STILLPLAYING, waveInUnprepareHeader(m_hWaveIn, &h, sizeof(h)));
    EXPECT_EQ(WAVERR_STILLPLAYING, waveInClose(m_hWaveIn)) << "buffers are still queued";
    waveInReset(m_hWaveIn);
    WaitForSingleObject(m_hEvent, 0);
    EXPECT_EQ(MMSYSERR_NOERROR, waveInUnprepareHeader(m_hWaveIn, &h, sizeof(h)));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(m_hWaveIn));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hEvent, 0)) << "closing signals the event";
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInStart(m_hWaveIn));
    m_hWaveIn = nullptr;
}

TEST(WaveInOpen, RefusesWhatNoCaptureFormatOfTheProgramIs)
{
    CManualClockScope clock;
    HWAVEIN h = nullptr;
    WAVEFORMATEX f = Mono8k();
    f.wBitsPerSample = 24;
    f.nBlockAlign = 3;
    EXPECT_EQ(WAVERR_BADFORMAT, waveInOpen(&h, 0, &f, 0, 0, CALLBACK_NULL));
    f = Mono8k();
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(&h, 5, &f, 0, 0, CALLBACK_NULL));
    EXPECT_EQ(1u, waveInGetNumDevs());
    WAVEINCAPSA caps;
    ASSERT_EQ(MMSYSERR_NOERROR, waveInGetDevCapsA(0, &caps, sizeof(caps)));
    EXPECT_STREQ("Vorane Virtual Input", caps.szPname);
}

