// MP3 recordings from the virtual device on the manual clock, prepared the way
// the program prepares them, and checked by an independent decoder.
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "Mp3Frames.h"
#include "ReceiverMP3.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <filesystem>

class Mp3Recording : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseBuiltLameModule();
        FreeDevices();
    }
    void TearDown() override { FreeDevices(); }

    // Records from the "Mix" line at 192 kbit/s for the given time on the manual clock.
    void Record(double dSeconds)
    {
        theSettings.LineIndex = -1;
        theSettings.Mp3BitrateIndex = 5;
        PrepareRecordingLine(CAPTURE_MODE_MP3, 2, 44100, 16, static_cast<DWORD>(theSettings.Mp3Volume));
        CReceiverMP3 receiver(static_cast<uint32_t>(Mp3BitrateTable[5]), 0);
        receiver.FileName = m_path;
        ASSERT_TRUE(RecordOnManualClock(&receiver, dSeconds));
        EXPECT_TRUE(m_messages.Texts().empty());
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
    std::string m_path = m_folder.File("Audio0.mp3");
};

TEST_F(Mp3Recording, TheDefaultLineIsRecordedWithItsToneForEveryCapturedSecond)
{
    Record(3.0);
    Mp3Walk walk = WalkMp3File(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    for (const Mp3Frame& f : walk.frames)
        ASSERT_TRUE(f.bitrateKbps == 192 && f.sampleRate == 44100 && f.mode == 1 && f.privateBit && f.copyright &&
                    f.original)
            << "frame at " << f.offset;
    // Whole frames of 1152 samples cover the three seconds and the encoder's delay.
    EXPECT_GE(walk.frames.size() * 1152, 3u * 44100);
    EXPECT_LE(walk.frames.size() * 1152, 3u * 44100 + 3 * 1152);

    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(44100, decoded.sampleRate);
    EXPECT_EQ(2, decoded.channels);
    EXPECT_GE(decoded.duration, 3.0);
    EXPECT_NEAR(1500, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
    EXPECT_EQ(DEFAULT_TAG_TEXT, decoded.tags["title"]);
    EXPECT_EQ("vorane", decoded.tags["artist"]);
}

TEST_F(Mp3Recording, StoppingBeforeTheFirstBufferLeavesNoFile)
{
    Record(0.5);
    EXPECT_FALSE(std::filesystem::exists(m_path));
}
