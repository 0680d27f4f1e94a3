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

    // Records from the line at that position (-1: the "Mix" line) at the bitrate of the
    // table entry, for the given time on the manual clock.
    void Record(int nLineIndex, int nBitrateIndex, double dSeconds)
    {
        theSettings.LineIndex = nLineIndex;
        theSettings.Mp3BitrateIndex = nBitrateIndex;
        PrepareRecordingLine(CAPTURE_MODE_MP3, 2, 44100, 16, static_cast<DWORD>(theSettings.Mp3Volume));
        CReceiverMP3 receiver(static_cast<uint32_t>(Mp3BitrateTable[nBitrateIndex]), 0);
        receiver.FileName = m_path;
        ASSERT_TRUE(RecordOnManualClock(&receiver, dSeconds));
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
    std::string m_path = m_folder.File("Audio0.mp3");
};

TEST_F(Mp3Recording, TheDefaultLineIsRecordedWithItsToneForEveryCapturedSecond)
{
    Record(-1, 5, 3.0);
    EXPECT_TRUE(m_messages.Texts().empty());

    Mp3Walk walk = WalkMp3File(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    for (const Mp3Frame& f : walk.frames)
    {
        ASSERT_EQ(192, f.bitrateKbps);
        ASSERT_EQ(44100, f.sampleRate);
        ASSERT_EQ(1, f.mode);
        ASSERT_TRUE(f.privateBit && f.copyright && f.original) << "frame at " << f.offset;
    }
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

TEST_F(Mp3Recording, TheChosenLineAndBitrateReachTheFile)
{
    Record(1, 7, 2.0);  // "Line In", 256 kbit/s
    Mp3Walk walk = WalkMp3File(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    for (const Mp3Frame& f : walk.frames)
        ASSERT_EQ(256, f.bitrateKbps);
    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_GE(decoded.duration, 2.0);
    EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
}

TEST_F(Mp3Recording, StoppingBeforeTheFirstBufferLeavesNoFile)
{
    Record(-1, 5, 0.5);
    EXPECT_FALSE(std::filesystem::exists(m_path));
    EXPECT_TRUE(m_messages.Texts().empty());
}
