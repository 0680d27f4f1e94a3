// Recordings from the virtual device on the manual clock, prepared the way the program does, checked by a decoder.
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

// The default line, "Stereo Mix", plays 1500 Hz at half scale on both channels and 2500 Hz at 0.15 on the
// right alone: every format keeps both channels in their order and at their level (within 1 dB), and
// every captured second; MP3 writes nothing before the first second is in.
TEST(EngineRecording, EveryFormatKeepsTheChannelsInOrderAtTheirLevelForEveryCapturedSecond)
{
    CManualClockScope clock;
    CSettingsScope settings;
    CMessageRecorder messages;
    CTempFolder folder(TestFolderName());
    const std::pair<const char*, int> formats[] = {
        {"mp3", CAPTURE_MODE_MP3}, {"ogg", CAPTURE_MODE_OGG}, {"wav", CAPTURE_MODE_WAV}, {"wma", CAPTURE_MODE_WMA}};
    auto dB = [](double dAmplitude, double dReference) { return 20 * std::log10(dAmplitude / dReference); };
    for (const auto& [pszFormat, nMode] : formats)
    {
        SCOPED_TRACE(pszFormat);
        const std::string path = folder.File(std::string("Audio0.") + pszFormat);
        for (double dSeconds : {0.5, 3.0})
        {
            if (dSeconds < 1 && nMode != CAPTURE_MODE_MP3)
                continue;
            FreeDevices();
            PrepareRecordingLine(nMode, 2, 44100, 16, 100);
            std::shared_ptr<IReceiver> receiver = PreparedReceiver(pszFormat, path);
            ASSERT_TRUE(receiver && RecordOnManualClock(receiver.get(), dSeconds));
            EXPECT_EQ(dSeconds > 1, std::filesystem::exists(path)) << dSeconds << " s";
        }
        FreeDevices();
        DecodedAudio d = DecodeFile(path);
        EXPECT_EQ(std::make_pair(44100, 2), std::make_pair(d.sampleRate, d.channels)) << d.error;
        EXPECT_GE(d.duration, 3.0);
        EXPECT_LE(d.duration, 3.1);
        EXPECT_NEAR(0, dB(ToneAmplitude(d.firstChannel, 1500, 44100), 0.5), 1) << "left";
        EXPECT_NEAR(0, dB(ToneAmplitude(d.secondChannel, 1500, 44100), 0.5), 1) << "right";
        EXPECT_NEAR(0, dB(ToneAmplitude(d.secondChannel, 2500, 44100), 0.15), 1) << "the right's own tone";
        EXPECT_LT(ToneAmplitude(d.firstChannel, 2500, 44100), 0.015) << "the right's own tone on the left";
        EXPECT_EQ(nMode == CAPTURE_MODE_WAV ? "" : "vorane", d.tags[nMode == CAPTURE_MODE_OGG ? "ARTIST" : "artist"]);
    }
    EXPECT_TRUE(messages.Texts().empty());
}
