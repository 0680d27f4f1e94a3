// An OGG recording from the virtual device on the manual clock, prepared the way
// the program prepares it, and checked by an independent decoder.
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "OggPages.h"
#include "ReceiverOGG.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

TEST(OggRecording, TheMicrophoneIsRecordedWithItsToneForEveryCapturedSecond)
{
    CManualClockScope clock;
    CSettingsScope settings;
    CMessageRecorder messages;
    CTempFolder folder(TestFolderName());
    const std::string path = folder.File("Audio0.ogg");
    FreeDevices();
    theSettings.LineIndex = 0;  // "Microphone", quality 4.00
    PrepareRecordingLine(CAPTURE_MODE_OGG, 2, 44100, 16, 100);
    {
        CReceiverOGG receiver;
        ASSERT_TRUE(receiver.LoadLibraries());
        receiver.FileName = path;
        uint32_t nBitrate = 0;
        ASSERT_EQ(0, receiver.Open(&nBitrate));
        EXPECT_EQ(128000u, nBitrate);
        ASSERT_TRUE(RecordOnManualClock(&receiver, 3.0));
        EXPECT_EQ(0, receiver.State);
    }
    FreeDevices();
    EXPECT_TRUE(messages.Texts().empty());

    OggWalk walk = WalkOggFile(path);
    ASSERT_TRUE(walk.ok) << walk.error;
    EXPECT_TRUE(walk.pages.back().Eos());
    EXPECT_EQ(3 * 44100, walk.pages.back().granule);

    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ("vorbis", decoded.codec);
    EXPECT_EQ(44100, decoded.sampleRate);
    EXPECT_EQ(2, decoded.channels);
    EXPECT_NEAR(3.0, decoded.duration, 0.01);
    EXPECT_NEAR(440, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
    EXPECT_EQ("vorane", decoded.tags["ARTIST"]);
}
