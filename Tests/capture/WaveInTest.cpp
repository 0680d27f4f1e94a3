// The wave-input device: its states and the device list. (The stand-in's
// buffer rules are relied on, and so judged, by Tests/capture/DeviceThreadTest and Tests/session.)
#include "DeviceThread.h"
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
    HANDLE hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CManualClockScope m_clock;
    CMessageRecorder m_messages;
    CWaveIn* m_pDevice = nullptr;
};

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
