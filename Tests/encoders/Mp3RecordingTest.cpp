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

TEST(Mp3Recording, StoppingBeforeTheFirstBufferLeavesNoFileAndTheDefaultLineIsRecordedForEveryCapturedSecond)
{
    UseBuiltLameModule();
    CManualClockScope clock;
    CSettingsScope settings;
    CMessageRecorder messages;
    CTempFolder folder(TestFolderName());
    const std::string path = folder.File("Audio0.mp3");
    theSettings.LineIndex = -1;  // "Mix"
    theSettings.Mp3BitrateIndex = 5;
    for (double dSeconds : {0.5, 3.0})
    {
        FreeDevices();
        PrepareRecordingLine(CAPTURE_MODE_MP3, 2, 44100, 16, static_cast<DWORD>(theSettings.Mp3Volume));
        CReceiverMP3 receiver(static_cast<uint32_t>(Mp3BitrateTable[5]), 0);
        receiver.FileName = path;
        ASSERT_TRUE(RecordOnManualClock(&receiver, dSeconds));
        EXPECT_EQ(dSeconds > 1, std::filesystem::exists(path)) << dSeconds << " s";
    }
    FreeDevices();
    EXPECT_TRUE(messages.Texts().empty());

    Mp3Walk walk = WalkMp3File(path);
    ASSERT_TRUE(walk.ok) << walk.error;
    for (const Mp3Frame& f : walk.frames)
        ASSERT_TRUE(f.bitrateKbps == 192 && f.sampleRate == 44100 && f.mode == 1 && f.privateBit && f.copyright &&
                    f.original)
            << "frame at " << f.offset;
    // Whole frames of 1152 samples cover the three seconds and the encoder's delay.
    EXPECT_GE(walk.frames.size() * 1152, 3u * 44100);
    EXPECT_LE(walk.frames.size() * 1152, 3u * 44100 + 3 * 1152);

    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(44100, decoded.sampleRate);
    EXPECT_EQ(2, decoded.channels);
    EXPECT_GE(decoded.duration, 3.0);
    EXPECT_NEAR(1500, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
    EXPECT_EQ(DEFAULT_TAG_TEXT, decoded.tags["title"]);
    EXPECT_EQ("vorane", decoded.tags["artist"]);
}
