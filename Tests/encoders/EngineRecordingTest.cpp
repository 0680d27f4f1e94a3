// Recordings from the virtual device on the manual clock, prepared the way the program does, checked by a decoder.
#include "RecordingStart.h"
#include "CaptureFakes.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace
{
struct Format
{
    const char* pszName;
    int nCaptureMode;
    double dPadding;  // what the codec may add after the end: the encoder's delay and its last frame
};

const Format FORMATS[] = {
    {"mp3", CAPTURE_MODE_MP3, (576 + 2 * 1152) / 44100.0},
    {"ogg", CAPTURE_MODE_OGG, 0.001},
    {"wav", CAPTURE_MODE_WAV, 0.001},
    {"wma", CAPTURE_MODE_WMA, 2 * 2048 / 44100.0},
};

class EngineRecording : public ::testing::Test
{
protected:
    // A recording of the default line stopped after dSeconds on the manual clock; the milliseconds the
    // capture told the view it ended with.
    uint32_t Record(const Format& format, const std::string& path, double dSeconds)
    {
        FreeDevices();
        PrepareRecordingLine(CurrentLineChoice(), format.nCaptureMode, 2, 44100, 16, 100);
        std::shared_ptr<IReceiver> receiver = PreparedReceiver(format.pszName, path);
        CFakeView view;
        SetWaveformView(&view);
        const bool bEnded = receiver && RecordOnManualClock(receiver.get(), dSeconds);
        SetWaveformView(nullptr);
        FreeDevices();
        EXPECT_TRUE(bEnded) << format.pszName << ", " << dSeconds << " s";
        EXPECT_EQ(1u, view.stoppedMilliseconds.size());
        return view.stoppedMilliseconds.empty() ? 0 : view.stoppedMilliseconds.back();
    }

    CManualClockScope m_clock;
    CSettingsScope m_settings;
    CMessageRecorder m_messages;
    CTempFolder m_folder{TestFolderName()};
};

// The default line, "Stereo Mix", plays 1500 Hz at half scale on both channels and 2500 Hz at 0.15 on the
// right alone: every format keeps both channels in their order and at their level (within 1 dB), and
// everything up to the stop, the part of a second after the last whole one included: the file is complete
// (MP3 tag, OGG end-of-stream page, the length in the WMA header) and the view is told its length.
// Stopped before the device delivered a frame, a recording leaves no file, whatever headers it wrote.
TEST_F(EngineRecording, EveryFormatKeepsTheChannelsInOrderAtTheirLevelUpToTheStop)
{
    auto dB = [](double dAmplitude, double dReference) { return 20 * std::log10(dAmplitude / dReference); };
    for (const Format& format : FORMATS)
    {
        SCOPED_TRACE(format.pszName);
        const std::string path = m_folder.File("Audio0." + std::string(format.pszName));
        EXPECT_EQ(0u, Record(format, path, 0));
        EXPECT_TRUE(std::filesystem::is_empty(m_folder.Path())) << "nothing captured";
        for (double dSeconds : {0.5, 2.3})
        {
            EXPECT_EQ(std::lround(dSeconds * 1000), Record(format, path, dSeconds));
            ExpectWholeFile(path, dSeconds - 0.0001, dSeconds + format.dPadding, format.dPadding + 0.05,
                            std::to_string(dSeconds) + " s", true);
        }
        DecodedAudio d = DecodeFile(path);
        std::filesystem::remove(path);
        EXPECT_EQ(std::make_pair(44100, 2), std::make_pair(d.sampleRate, d.channels)) << d.error;
        EXPECT_NEAR(0, dB(ToneAmplitude(d.firstChannel, 1500, 44100), 0.5), 1) << "left";
        EXPECT_NEAR(0, dB(ToneAmplitude(d.secondChannel, 1500, 44100), 0.5), 1) << "right";
        EXPECT_NEAR(0, dB(ToneAmplitude(d.secondChannel, 2500, 44100), 0.15), 1) << "the right's own tone";
        EXPECT_LT(ToneAmplitude(d.firstChannel, 2500, 44100), 0.015) << "the right's own tone on the left";
    }
    EXPECT_TRUE(m_messages.Texts().empty());
}
}  // namespace
