// Recordings from the virtual device on the manual clock, prepared the way the program does, checked by a decoder.
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

TEST(EngineRecording, EachFormatRecordsItsLineWithItsToneAndTagsForEveryCapturedSecond)
{
    UseBuiltLameModule();
    CManualClockScope clock;
    CSettingsScope settings;
    CMessageRecorder messages;
    CTempFolder folder(TestFolderName());
    theSettings.Mp3BitrateIndex = 5;
    struct Case
    {
        const char* ext;
        int mode, line;  // line -1 is "Mix", 0 "Microphone"
        double tone;
        std::string codec, artistKey;
    };
    for (const Case& c : {Case{"mp3", CAPTURE_MODE_MP3, -1, 1500, "mp3", "artist"},
                          Case{"ogg", CAPTURE_MODE_OGG, 0, 440, "vorbis", "ARTIST"}})
    {
        SCOPED_TRACE(c.ext);
        const std::string path = folder.File(std::string("Audio0.") + c.ext);
        theSettings.LineIndex = c.line;
        // MP3 writes nothing before the first second is in.
        for (double dSeconds : {0.5, 3.0})
        {
            FreeDevices();
            PrepareRecordingLine(c.mode, 2, 44100, 16, 100);
            std::shared_ptr<IReceiver> receiver;
            if (c.mode == CAPTURE_MODE_MP3)
            {
                receiver = std::make_shared<CReceiverMP3>(static_cast<uint32_t>(Mp3BitrateTable[5]), 0);
                receiver->FileName = path;
            }
            else
            {
                if (dSeconds < 1)
                    continue;
                auto ogg = std::make_shared<CReceiverOGG>();
                ASSERT_TRUE(ogg->LoadLibraries());
                ogg->FileName = path;
                uint32_t nBitrate = 0;
                ASSERT_EQ(0, ogg->Open(&nBitrate));
                EXPECT_EQ(128000u, nBitrate);
                receiver = std::move(ogg);
            }
            ASSERT_TRUE(RecordOnManualClock(receiver.get(), dSeconds));
            EXPECT_EQ(dSeconds > 1, std::filesystem::exists(path)) << dSeconds << " s";
        }
        FreeDevices();
        EXPECT_TRUE(messages.Texts().empty());

        DecodedAudio decoded = DecodeFile(path);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ(c.codec, decoded.codec.substr(0, c.codec.size()));
        EXPECT_EQ(std::make_pair(44100, 2), std::make_pair(decoded.sampleRate, decoded.channels));
        EXPECT_GE(decoded.duration, 3.0);
        EXPECT_LE(decoded.duration, 3.1);
        EXPECT_NEAR(c.tone, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
        EXPECT_EQ("vorane", decoded.tags[c.artistKey]);
        EXPECT_TRUE(c.mode != CAPTURE_MODE_MP3 || decoded.tags["title"] == DEFAULT_TAG_TEXT);
    }
}
