// The wave-input device: capture formats, elapsed time, its states, and the device list.
#include "CaptureFakes.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

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
    }

    HANDLE hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CWaveIn* m_pDevice = nullptr;
};

TEST_F(WaveInDevice, EncodedFormatsCaptureCdQualityWhateverTheArguments)
{
    for (int mode : {CAPTURE_MODE_MP3, CAPTURE_MODE_OGG, CAPTURE_MODE_WMA})
    {
        ASSERT_TRUE(m_pDevice->SetFormat(mode, 1, 8000, 8));
        const WAVEFORMATEX& f = m_pDevice->Format();
        EXPECT_EQ(2, f.nChannels);
        EXPECT_EQ(44100u, f.nSamplesPerSec);
        EXPECT_EQ(16, f.wBitsPerSample);
        EXPECT_EQ(4, f.nBlockAlign);
        EXPECT_EQ(176400u, f.nAvgBytesPerSec);
        EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
        EXPECT_EQ(mode, m_pDevice->CaptureMode());
        EXPECT_TRUE(m_pDevice->HasFormat());
    }
}

TEST_F(WaveInDevice, WavTakesTheGivenFormatAndRefusesAnInvalidOne)
{
    ASSERT_TRUE(m_pDevice->SetFormat(CAPTURE_MODE_WAV, 1, 11025, 8));
    EXPECT_EQ(1, m_pDevice->Format().nBlockAlign);
    EXPECT_EQ(11025u, m_pDevice->Format().nAvgBytesPerSec);
    ASSERT_TRUE(m_pDevice->SetFormat(CAPTURE_MODE_WAV, 2, 22050, 16));
    EXPECT_EQ(4, m_pDevice->Format().nBlockAlign);
    EXPECT_EQ(88200u, m_pDevice->Format().nAvgBytesPerSec);
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

TEST_F(WaveInDevice, ClosingTwiceClosesOnce)
{
    m_pDevice->Open(&hEvent);
    EXPECT_EQ(0u, m_pDevice->LastResult());
    m_pDevice->Close();
    m_pDevice->Close();
    EXPECT_EQ(2u, m_pDevice->LastResult());
    EXPECT_EQ(1, winmm::virt::Device(0)->CallCount(WaveCall::Close));
}

TEST_F(WaveInDevice, AfterAFailedPrepareCloseLeavesTheDeviceAlone)
{
    m_pDevice->Open(&hEvent);
    winmm::virt::Device(0)->FailCall(WaveCall::Prepare, MMSYSERR_NOMEM);
    std::vector<char> memory(100);
    WAVEHDR header{};
    header.lpData = memory.data();
    header.dwBufferLength = 100;
    EXPECT_THROW(m_pDevice->PrepareHeader(&header), const char*);
    EXPECT_EQ(MMSYSERR_NOMEM, m_pDevice->LastResult());
    m_pDevice->Close();
    EXPECT_EQ(0, winmm::virt::Device(0)->CallCount(WaveCall::Close));
    EXPECT_EQ(MMSYSERR_NOMEM, m_pDevice->LastResult());
}

class DeviceList : public ::testing::Test
{
protected:
    void TearDown() override
    {
        FreeDevices();
        winmm::virt::Restore();
    }
    static DeviceSpec Named(const std::string& name, bool bReadable = true)
    {
        DeviceSpec spec = winmm::virt::DefaultDevice();
        spec.name = name;
        spec.capsReadable = bReadable;
        return spec;
    }
    CMessageRecorder m_messages;
};

TEST_F(DeviceList, DevicesWhoseCapabilitiesCannotBeReadAreLeftOut)
{
    winmm::virt::SetDevices({Named("First"), Named("Broken", false), Named("Third")});
    FreeDevices();
    std::vector<CWaveIn*>& devices = EnumDevices();
    ASSERT_EQ(2u, devices.size());
    EXPECT_STREQ("First", devices[0]->Name());
    EXPECT_EQ(0u, devices[0]->DeviceId());
    EXPECT_STREQ("Third", devices[1]->Name());
    EXPECT_EQ(2u, devices[1]->DeviceId()) << "the platform's number, not the position";
    EXPECT_TRUE(m_messages.Texts().empty());
}

TEST_F(DeviceList, TheFirstOfTwoDevicesWithOneNameIsFound)
{
    winmm::virt::SetDevices({Named("Twin"), Named("Twin")});
    FreeDevices();
    CWaveIn* pFound = FindDeviceByName("Twin");
    ASSERT_NE(nullptr, pFound);
    EXPECT_EQ(EnumDevices()[0], pFound);
    EXPECT_EQ(nullptr, FindDeviceByName("twin")) << "names are compared exactly";
    EXPECT_EQ((std::vector<std::string>{"Device not found."}), m_messages.Texts());
}

TEST_F(DeviceList, AMachineWithoutDevicesHasAnEmptyListAndSaysSo)
{
    winmm::virt::SetDevices({});
    FreeDevices();
    EXPECT_TRUE(EnumDevices().empty());
    EXPECT_EQ(nullptr, FindDeviceByName("Vorane Virtual Input"));
    EXPECT_EQ(nullptr, FindDeviceByName(nullptr));
    EXPECT_EQ((std::vector<std::string>{"Device not found.", "Device not found."}), m_messages.Texts());
}

TEST_F(DeviceList, IsBuiltOnceAndAfreshAfterFreeing)
{
    winmm::virt::SetDevices({Named("One")});
    FreeDevices();
    CWaveIn* pFirst = EnumDevices().at(0);
    EXPECT_EQ(pFirst, EnumDevices().at(0));
    SetCurrentDevice(pFirst);
    winmm::virt::SetDevices({Named("One"), Named("Two")});
    EXPECT_EQ(1u, EnumDevices().size()) << "not listed again while built";
    FreeDevices();
    EXPECT_EQ(nullptr, GetCurrentDevice()) << "no current device outlives the list";
    EXPECT_EQ(2u, EnumDevices().size());
}
