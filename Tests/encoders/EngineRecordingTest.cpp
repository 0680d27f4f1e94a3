// Recordings from the virtual device on the manual clock, prepared the way the program does, checked by a decoder.
#include "RecordingStart.h"
#include "CaptureFakes.h"
#include "DeviceThread.h"
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "ReceiverWMA.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <numeric>

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

// The phase of the tone over nCount samples from nFrom, taking x[nFrom] for the signal's frame nSignalFrame.
double TonePhase(const std::vector<float>& x, size_t nFrom, size_t nCount, double dFrequency, uint64_t nSignalFrame)
{
    const double w = 2 * M_PI * dFrequency / 44100;
    std::complex<double> sum;
    for (size_t i = 0; i < nCount && nFrom + i < x.size(); ++i)
        sum += static_cast<double>(x[nFrom + i]) * std::polar(1.0, -w * static_cast<double>(nSignalFrame + i));
    return std::arg(sum);
}

// Paused after 1.3 s for 0.705 s, resumed for 1.2 s, paused again and stopped while paused: every format
// holds the 2.5 s recorded as one stream. The device's tone runs on through the pause, so after the join
// the decoded tone stands exactly 31090 frames later in the signal: one sample lost or repeated at either
// edge turns its phase by 0.21 rad, and a device that began its signal afresh would turn it by 3 rad. Each pause hands on what the device held, and neither command acts on a
// capture that is not running or already in that state.
TEST_F(EngineRecording, PausedRecordingsJoinTheirPartsWithoutLosingOrRepeatingASample)
{
    const uint64_t nFirst = 57330, nGap = 31090, nSecond = 52920;  // 1.3 s, 0.705 s, 1.2 s at 44.1 kHz
    for (const Format& format : FORMATS)
    {
        SCOPED_TRACE(format.pszName);
        const std::string path = m_folder.File("Audio0." + std::string(format.pszName));
        FreeDevices();
        PrepareRecordingLine(CurrentLineChoice(), format.nCaptureMode, 2, 44100, 16, 100);
        std::shared_ptr<IReceiver> receiver = PreparedReceiver(format.pszName, path);
        ASSERT_TRUE(receiver);
        CFakeView view;
        SetWaveformView(&view);
        {
            CDeviceThread capture;
            EXPECT_FALSE(capture.Pause()) << "nothing recording";
            EXPECT_FALSE(capture.Resume()) << "nothing recording";
            ASSERT_EQ("", capture.StartCapture(receiver.get()));
            EXPECT_FALSE(capture.Resume()) << "not paused";
            winmm::virt::AdvanceClock(1.3);
            EXPECT_TRUE(capture.Pause());
            EXPECT_TRUE(capture.IsPaused());
            EXPECT_FALSE(capture.Pause()) << "paused already";
            EXPECT_EQ(nFirst, capture.CapturedFrames()) << "the part of a second before the pause";
            winmm::virt::AdvanceClock(0.705);
            EXPECT_TRUE(capture.Resume());
            EXPECT_FALSE(capture.IsPaused());
            winmm::virt::AdvanceClock(1.2);
            EXPECT_TRUE(capture.Pause());
            winmm::virt::AdvanceClock(0.5);
            capture.StopCapture();
            EXPECT_TRUE(capture.WaitForCaptureEnd(20000));
            EXPECT_EQ(nFirst + nSecond, capture.Ending().nFrames);
        }
        SetWaveformView(nullptr);
        FreeDevices();
        EXPECT_EQ(std::vector<uint32_t>{2500}, view.stoppedMilliseconds);
        ExpectWholeFile(path, 2.5 - 0.0001, 2.5 + format.dPadding, format.dPadding + 0.05, "paused twice", true);
        DecodedAudio d = DecodeFile(path);
        std::filesystem::remove(path);
        // Half a second well inside each part, whatever delay the codec adds at the start.
        const double dBefore = TonePhase(d.firstChannel, 22050, 22050, 1500, 22050);
        const double dAfter = TonePhase(d.firstChannel, nFirst + 22050, 22050, 1500, nFirst + nGap + 22050);
        EXPECT_NEAR(0, std::remainder(dAfter - dBefore, 2 * M_PI), 0.05) << "the tone's turn at the join";
    }
    EXPECT_TRUE(m_messages.Texts().empty());
}

// A recording's tags, bitrate and sizes; in quality mode the bitrate shown is the one the library chose,
// the one in the file. (A failed Open and the freeing of the library: WmaScriptedLibrary.)
TEST(WmaRecording, EachModeShowsTheBitrateOfItsFile)
{
    CSettingsScope settings;
    CManualClockScope clock;
    CTempFolder folder("wma-recording");
    CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
    theSettings.WmaMode = 0;
    theSettings.WmaBitrateIndex = 2;
    theSettings.AlbumTitle = "Harbour Lights";
    theSettings.Artist = "The Quay Players";
    theSettings.Title = "Évening Tide";
    theSettings.YearIndex = 7;
    theSettings.LineIndex = -1;
    uint32_t nShown = 0;
    // Prepares the line and the receiver as the controller does; false when Open failed.
    auto prepare = [&](CReceiverWMA& receiver, const std::string& path) {
        PrepareRecordingLine(CurrentLineChoice(), CAPTURE_MODE_WMA, 2, 44100, 16, 100);
        receiver.LoadLibraries();
        receiver.Output = RecordingFileFor(path);
        receiver.Tags = CurrentTrackTags();
        receiver.Options = CurrentWmaOptions();
        return ThrownText([&] { receiver.Open(&nShown); }).empty();
    };
    const std::string path = folder.File("Audio0.wma");
    CReceiverWMA receiver;
    ASSERT_TRUE(prepare(receiver, path));
    EXPECT_EQ(nShown, 64000u);
    CFakeView view;
    SetWaveformView(&view);
    EXPECT_TRUE(RecordOnManualClock(&receiver, 4));
    SetWaveformView(nullptr);
    const std::vector<uint32_t>& writes = view.shownSizes;
    EXPECT_EQ(size_t{4}, writes.size());
    DecodedAudio decoded = DecodeFile(path);
    EXPECT_EQ(std::make_pair(decoded.codec, decoded.bitRate), std::make_pair(std::string("wmav2"), int64_t{64000}));
    // FFmpeg names album and artist in its own words and keeps the attribute name "Title".
    EXPECT_EQ(decoded.tags, (std::map<std::string, std::string>{{"album", "Harbour Lights"},
                                                                {"artist", "The Quay Players"},
                                                                {"Title", "Évening Tide"},
                                                                {"WM/Year", std::to_string(CurrentYear() - 2)},
                                                                {"WM/ToolName", "vodArev"}}))
        << "and no encoder name of the libraries' own";

    // The size shown while recording grows with every second and stays within the file.
    EXPECT_EQ(std::count(writes.begin(), writes.end(), 0u), 0);
    uint64_t nShownSize = std::accumulate(writes.begin(), writes.end(), uint64_t{0});
    uint64_t nFileSize = std::filesystem::file_size(path);
    EXPECT_LE(nShownSize, nFileSize);
    EXPECT_GE(nShownSize, nFileSize * 3 / 4);

    theSettings.WmaMode = 1;
    theSettings.WmaQualityIndex = TableSize(WmaQualityTable) - 1;
    CReceiverWMA quality;
    ASSERT_TRUE(prepare(quality, folder.File("Audio1.wma")));
    const std::vector<uint8_t> second = StereoTone(1.0, 1000);
    quality.Write(second.data(), static_cast<uint32_t>(second.size()));
    quality.Finish();
    EXPECT_EQ(nShown, 320000u) << "the highest quality takes the highest bitrate";
    EXPECT_EQ(DecodeFile(folder.File("Audio1.wma")).bitRate, nShown);
    FreeDevices();
    CReceiverWMA::SetModuleFolder("");
}

// "Stereo Mix + Microphone" plays 800 Hz at 0.5 as the computer and 300 Hz at 0.3 as the microphone. Mixed,
// both are in both channels at their own levels; side by side, the computer is left and the microphone
// right, each alone. Turned up so that the sum passes full scale, the mix is held below it by the limiter
// with the two levels still in their ratio, where a plain sum would clip.
TEST_F(EngineRecording, StereoMixPlusMicrophoneRecordsBothSourcesInEitherLayoutBelowFullScale)
{
    auto dB = [](double dAmplitude, double dReference) { return 20 * std::log10(dAmplitude / dReference); };
    auto record = [this](bool bSideBySide) {
        const std::string path = m_folder.File("Audio0.wav");
        FreeDevices();
        LineChoice choice = CurrentLineChoice();
        choice.nLine = 3;
        EXPECT_EQ("Stereo Mix + Microphone",
                  PrepareRecordingLine(choice, CAPTURE_MODE_WAV, 2, 44100, 16, 100, nullptr, bSideBySide));
        std::shared_ptr<IReceiver> receiver = PreparedReceiver("wav", path);
        EXPECT_TRUE(receiver && RecordOnManualClock(receiver.get(), 1.5));
        FreeDevices();
        DecodedAudio d = DecodeFile(path);
        std::filesystem::remove(path);
        return d;
    };
    DecodedAudio mixed = record(false);
    for (const std::vector<float>* pChannel : {&mixed.firstChannel, &mixed.secondChannel})
    {
        EXPECT_NEAR(0, dB(ToneAmplitude(*pChannel, 800, 44100), 0.5), 0.5) << "the computer, mixed";
        EXPECT_NEAR(0, dB(ToneAmplitude(*pChannel, 300, 44100), 0.3), 0.5) << "the microphone, mixed";
    }
    DecodedAudio side = record(true);
    EXPECT_NEAR(0, dB(ToneAmplitude(side.firstChannel, 800, 44100), 0.5), 0.5) << "the computer, left";
    EXPECT_NEAR(0, dB(ToneAmplitude(side.secondChannel, 300, 44100), 0.3), 0.5) << "the microphone, right";
    EXPECT_LT(ToneAmplitude(side.firstChannel, 300, 44100), 0.003) << "no microphone on the left";
    EXPECT_LT(ToneAmplitude(side.secondChannel, 800, 44100), 0.003) << "no computer on the right";

    winmm::virt::DeviceSpec loud = winmm::virt::DefaultDevice();
    loud.lines[3].amplitude = 0.9;
    loud.lines[3].microphoneAmplitude = 0.8;
    winmm::virt::SetDevices({loud});
    DecodedAudio limited = record(false);
    float peak = 0;
    for (float x : limited.firstChannel)
        peak = std::max(peak, std::fabs(x));
    EXPECT_LT(peak, 0.98f) << "the sum of 1.7 held below full scale";
    EXPECT_GT(peak, 0.9f);
    EXPECT_NEAR(dB(0.9, 0.8), dB(ToneAmplitude(limited.firstChannel, 800, 44100), ToneAmplitude(limited.firstChannel, 300, 44100)),
                1) << "both taken down alike";
}
}  // namespace
