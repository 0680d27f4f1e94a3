// Without a sound server that answers there is no sound-server device and no
// message: the virtual device stays, as device 0, and the default settings
// record from it.
#include "DeviceThread.h"
#include "Mixer.h"
#include "PulseBackend.h"
#include "RecorderSettings.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
class PulseNoServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theSettings = RecorderSettings();
        FreeDevices();
    }
    void TearDown() override
    {
        SetCurrentDevice(nullptr);
        FreeDevices();
        unsetenv("PULSE_SERVER");
    }

    // The virtual device is the only one, and the default settings choose its "Stereo Mix".
    void ExpectOnlyTheVirtualDevice()
    {
        std::vector<CWaveIn*>& devices = EnumDevices();
        ASSERT_EQ(1u, devices.size());
        EXPECT_STREQ("Vorane Virtual Input", devices[0]->Name());
        std::string device, line;
        EXPECT_TRUE(SelectCurrentDevice(device, line));
        EXPECT_EQ("Vorane Virtual Input", device);
        EXPECT_EQ("Stereo Mix", line);
    }

    CTempFolder m_folder{"pulse-no-server-" + std::to_string(getpid())};
};

TEST_F(PulseNoServer, NoServerMeansNoDeviceAndNoMessage)
{
    CMessageRecorder messages;
    setenv("PULSE_SERVER", ("unix:" + m_folder.File("nobody-listens")).c_str(), 1);
    UseSoundServer();
    ExpectOnlyTheVirtualDevice();
    EXPECT_TRUE(messages.Texts().empty());
}

TEST_F(PulseNoServer, AServerThatNeverAnswersIsGivenUpOnWithoutAMessage)
{
    // Accepts connections (the kernel queues them) but never says a word.
    const std::string path = "/tmp/vorane-silent-" + std::to_string(getpid());
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
    unlink(path.c_str());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)));
    ASSERT_EQ(0, listen(fd, 4));

    CMessageRecorder messages;
    setenv("PULSE_SERVER", ("unix:" + path).c_str(), 1);
    UseSoundServer();
    close(fd);
    unlink(path.c_str());
    ExpectOnlyTheVirtualDevice();
    EXPECT_TRUE(messages.Texts().empty());
}
}  // namespace
