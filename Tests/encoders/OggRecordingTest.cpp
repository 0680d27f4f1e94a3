// OGG recordings from the virtual device on the manual clock, prepared the way
// the program prepares them, and checked by an independent decoder.
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "OggPages.h"
#include "ReceiverOGG.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

class OggRecording : public ::testing::Test
{
protected:
    void SetUp() override { FreeDevices(); }
    void TearDown() override { FreeDevices(); }

    // Records from the line at that position (-1: the "Mix" line) with the OGG settings
    // as they are, for the given time on the manual clock; returns the reported bitrate.
    uint32_t Record(int nLineIndex, double dSeconds)
    {
        theSettings.LineIndex = nLineIndex;
        PrepareRecordingLine(CAPTURE_MODE_OGG, 2, 44100, 16, 100);
        CReceiverOGG receiver;
        EXPECT_TRUE(receiver.LoadLibraries());
        receiver.FileName = m_path;
        uint32_t nBitrate = 0;
        EXPECT_EQ(0, receiver.Open(&nBitrate));
        EXPECT_TRUE(RecordOnManualClock(&receiver, dSeconds));
        EXPECT_EQ(0, receiver.State);
        return nBitrate;
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
    std::string m_path = m_folder.File("Audio0.ogg");
};

TEST_F(OggRecording, TheMicrophoneIsRecordedWithItsToneForEveryCapturedSecond)
{
    EXPECT_EQ(128000u, Record(0, 3.0));  // "Microphone", quality 4.00
    EXPECT_TRUE(m_messages.Texts().empty());

    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_TRUE(walk.pages.back().Eos());
    EXPECT_EQ(3 * 44100, walk.pages.back().granule);

    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ("vorbis", decoded.codec);
    EXPECT_EQ(44100, decoded.sampleRate);
    EXPECT_EQ(2, decoded.channels);
    EXPECT_NEAR(3.0, decoded.duration, 0.01);
    EXPECT_NEAR(440, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
    EXPECT_EQ("vorane", decoded.tags["ARTIST"]);
}

TEST_F(OggRecording, TheDefaultLineInConstantBitrateMode)
{
    theSettings.OggMode = 3;
    theSettings.OggNominalBitrateIndex = 5;  // 160 kbit/s
    EXPECT_EQ(160000u, Record(-1, 2.0));
    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(160000, decoded.bitRate);
    EXPECT_NEAR(2.0, decoded.duration, 0.01);
    EXPECT_NEAR(1500, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
}

TEST_F(OggRecording, StoppingBeforeTheFirstBufferLeavesAnEmptyButCompleteStream)
{
    Record(-1, 0.5);
    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(3u, walk.packets.size() - 1);  // the headers and the end of the stream
    EXPECT_TRUE(walk.pages.back().Eos());
    EXPECT_TRUE(m_messages.Texts().empty());
}
