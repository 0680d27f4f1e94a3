// The wave-input device: capture formats, elapsed time, its states, and the device list; and the
// rules of the wave-input stand-in below it that the capture engine relies on.
#include "CaptureFakes.h"
#include "Event.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <tuple>

using winmm::WaveCall;
using winmm::virt::DeviceSpec;

class WaveInDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FreeDevices();
        m_pDevice = EnumDevices().at(0);
    }
    void TearDown() override
    {
        FreeDevices();  // before the event the device may still signal
        CloseHandle(hEvent);
        winmm::virt::Restore();
    }
    static DeviceSpec Named(const std::string& name, bool bReadable = true)
    {
        DeviceSpec spec = winmm::virt::DefaultDevice();
        spec.name = name;
        spec.capsReadable = bReadable;
        return spec;
    }
    static auto Fields(const WAVEFORMATEX& f)
    {
        return std::make_tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample, f.nBlockAlign,
                               f.nAvgBytesPerSec);
    }

    HANDLE hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CWaveIn* m_pDevice = nullptr;
};

TEST_F(WaveInDevice, EncodedFormatsCaptureCdQualityWavTakesTheGivenFormatAndAnInvalidOneIsRefused)
{
    for (int mode : {CAPTURE_MODE_MP3, CAPTURE_MODE_OGG, CAPTURE_MODE_WMA})
    {
        ASSERT_TRUE(m_pDevice->SetFormat(mode, 1, 8000, 8));
        EXPECT_EQ(std::make_tuple(WORD(WAVE_FORMAT_PCM), WORD(2), 44100u, WORD(16), WORD(4), 176400u),
                  Fields(m_pDevice->Format()));
        EXPECT_EQ(mode, m_pDevice->CaptureMode());
    }
    ASSERT_TRUE(m_pDevice->SetFormat(CAPTURE_MODE_WAV, 1, 11025, 8));
    EXPECT_EQ(std::make_tuple(WORD(WAVE_FORMAT_PCM), WORD(1), 11025u, WORD(8), WORD(1), 11025u),
              Fields(m_pDevice->Format()));
    ASSERT_TRUE(m_pDevice->SetFormat(CAPTURE_MODE_WAV, 2, 22050, 16));
    EXPECT_FALSE(m_pDevice->SetFormat(CAPTURE_MODE_WAV, 0, 44100, 16));
    EXPECT_FALSE(m_pDevice->HasFormat());
    EXPECT_EQ(22050u, m_pDevice->Format().nSamplesPerSec) << "the format stays as it was";
    EXPECT_FALSE(m_pDevice->SetFormat(7, 2, 44100, 16));
    EXPECT_EQ(CAPTURE_MODE_NONE, m_pDevice->CaptureMode());
}

TEST_F(WaveInDevice, ElapsedSecondsCountWholeSecondsUntilTheReset)
{
    SetCurrentDevice(m_pDevice);
    ASSERT_TRUE(m_pDevice->SetFormat(CAPTURE_MODE_MP3, 0, 0, 0));
    CFakeReceiver receiver;
    CDeviceThread capture;
    capture.StartCapture(&receiver);
    winmm::virt::AdvanceClock(0.6);
    EXPECT_EQ(0, m_pDevice->GetElapsedSeconds());
    winmm::virt::AdvanceClock(3.1);
    m_pDevice->Reset();
    EXPECT_EQ(3, m_pDevice->GetElapsedSeconds()) << "kept across the reset that zeroes the position";
    EXPECT_EQ(0u, m_pDevice->GetPosition());
    capture.StopCapture();
    EXPECT_TRUE(capture.WaitForCaptureEnd(10000));
}

TEST_F(WaveInDevice, ClosingTwiceClosesOnceAndAfterAFailedPrepareCloseLeavesTheDeviceAlone)
{
    m_pDevice->Open(&hEvent);
    m_pDevice->Close();
    m_pDevice->Close();
    EXPECT_EQ(std::make_pair(2u, 1), std::make_pair(m_pDevice->LastResult(), winmm::virt::Device(0)->CallCount(WaveCall::Close)));

    m_pDevice->Open(&hEvent);
    winmm::virt::Device(0)->FailCall(WaveCall::Prepare, MMSYSERR_NOMEM);
    std::vector<char> memory(100);
    WAVEHDR header{};
    header.lpData = memory.data();
    header.dwBufferLength = 100;
    EXPECT_THROW(m_pDevice->PrepareHeader(&header), CRecorderError);
    m_pDevice->Close();
    EXPECT_EQ(std::make_pair(MMSYSERR_NOMEM, 1), std::make_pair(m_pDevice->LastResult(), winmm::virt::Device(0)->CallCount(WaveCall::Close)));
}

TEST_F(WaveInDevice, TheListLeavesOutUnreadableDevicesFindsTheFirstOfAName)
{
    winmm::virt::SetDevices({Named("Twin"), Named("Broken", false), Named("Twin")});
    FreeDevices();
    std::vector<CWaveIn*>& devices = EnumDevices();
    ASSERT_EQ(2u, devices.size());
    EXPECT_EQ(std::make_pair(0u, 2u), std::make_pair(devices[0]->DeviceId(), devices[1]->DeviceId()))
        << "the platform's number, not the position";
    EXPECT_EQ(devices[0], FindDeviceByName("Twin"));
    EXPECT_TRUE(m_messages.Texts().empty());
    EXPECT_EQ(nullptr, FindDeviceByName("twin")) << "names are compared exactly";
    EXPECT_EQ((std::vector<std::string>{"Device not found."}), m_messages.Texts());

    SetCurrentDevice(devices[0]);
    winmm::virt::SetDevices({});
    EXPECT_EQ(2u, EnumDevices().size()) << "not listed again while built";
    FreeDevices();
    EXPECT_EQ(nullptr, GetCurrentDevice()) << "no current device outlives the list";
    EXPECT_TRUE(EnumDevices().empty());
    EXPECT_EQ(nullptr, FindDeviceByName(nullptr));
}

// Buffers are filled in the order queued, each done and signalled when full; audio that comes while no
// buffer is queued waits for the next one (a driver holds a tenth of a second); the reset hands back the
// partly filled buffer and zeroes the position.
TEST_F(WaveInDevice, TheStandInFillsQueuedBuffersInOrderKeepsAudioForALateOneAndResetReturnsAPartOne)
{
    HWAVEIN hWaveIn = nullptr;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&hWaveIn, 0, &format, reinterpret_cast<DWORD_PTR>(hEvent), 0, CALLBACK_EVENT));
    auto signalled = [&] { return WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; };
    EXPECT_TRUE(signalled()) << "opening signals the event";
    std::vector<char> memory(2 * 11025);
    WAVEHDR headers[2] = {};
    for (int i = 0; i < 2; ++i)
    {
        headers[i].lpData = memory.data() + i * 11025;
        headers[i].dwBufferLength = 11025;
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(hWaveIn, &headers[i], sizeof(WAVEHDR)));
    }
    ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(hWaveIn, &headers[0], sizeof(WAVEHDR)));
    EXPECT_TRUE(headers[0].dwFlags & WHDR_INQUEUE);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(hWaveIn));
    winmm::virt::AdvanceClock(0.5);
    EXPECT_FALSE(headers[0].dwFlags & WHDR_DONE);
    EXPECT_FALSE(signalled());
    winmm::virt::AdvanceClock(0.5);
    EXPECT_EQ(WHDR_DONE, headers[0].dwFlags & (WHDR_DONE | WHDR_INQUEUE));
    EXPECT_EQ(11025u, headers[0].dwBytesRecorded);
    EXPECT_TRUE(signalled());

    winmm::virt::Device(0)->AdvanceManual(100000000, false);  // a tenth of a second with no buffer queued
    ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(hWaveIn, &headers[1], sizeof(WAVEHDR)));
    EXPECT_EQ(1102u, headers[1].dwBytesRecorded);
    winmm::virt::AdvanceClock(0.15);
    MMTIME position{TIME_SAMPLES, {}};
    EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(hWaveIn, &position, sizeof(position)));
    EXPECT_EQ(13781u, position.u.sample);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInReset(hWaveIn));
    EXPECT_TRUE(headers[1].dwFlags & WHDR_DONE);
    EXPECT_EQ(2756u, headers[1].dwBytesRecorded);
    EXPECT_TRUE(signalled());
    EXPECT_EQ(MMSYSERR_NOERROR, waveInGetPosition(hWaveIn, &position, sizeof(position)));
    EXPECT_EQ(0u, position.u.sample);
    for (WAVEHDR& header : headers)
        waveInUnprepareHeader(hWaveIn, &header, sizeof(WAVEHDR));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(hWaveIn));
}
