// The waveform view's texts, trace paging and level meter without a window.
#include "LevelMeter.h"
#include "WaveTrace.h"
#include "WaveformText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

TEST(WaveformTexts, LengthSizeFormatAndTimes)
{
    const std::vector<std::string> texts = {
        InfoLengthText(59999), InfoLengthText(3600000), InfoLengthText((2 * 3600 + 3 * 60 + 4) * 1000 + 999),
        InfoLengthText(0), InfoSizeText(1536000), InfoSizeText(999), InfoSizeText(0),
        InfoFormatText(44100, 2, 100), InfoFormatText(11025, 1, 88200), InfoFormatText(22050, 0, 101),
        InfoFormatMeasureText(44100, 2, 100), FormatMilliseconds(61500, 3), FormatMilliseconds(61500, 4),
        FormatMilliseconds(3661000, 2), FormatSeconds(99999)};
    EXPECT_EQ((std::vector<std::string>{"00:59", "01:00:00", "02:03:04", "", "1536", "0", "", "44100HZ Stereo VBR",
                                        "11025HZ Mono 88kbps", "22050HZ Stereo 0kbps", "44100HZ Stereo 0kbps",
                                        "01:01:500", "", "61:01", "27:46:39"}),
              texts);
}

TEST(TracePaging, ASecondAt22050RunsSeventyThreePagesOf300ThenOneOf149)
{
    CTraceSamples trace;
    EXPECT_FALSE(trace.HasMore());
    trace.SetBlock(std::vector<int32_t>(22050, 0));
    std::vector<int> ys;
    for (int i = 0; i < 73; ++i)
        ASSERT_EQ(300, trace.NextPage(300, 40, ys)) << "page " << i;
    EXPECT_EQ(149, trace.NextPage(300, 40, ys));
    EXPECT_FALSE(trace.HasMore());
    // A smaller block starts again and shows no tail of the older one; after a stop nothing is left to draw.
    trace.SetBlock(std::vector<int32_t>(5512, 0));
    EXPECT_EQ(std::make_pair(0, 5512), std::make_pair(trace.Position(), trace.Count()));
    trace.Exhaust();
    EXPECT_EQ(0, trace.NextPage(300, 40, ys));
}

namespace
{
// A second of 16-bit stereo 44.1 kHz: a 441 Hz sine of each amplitude, clamped to the sample
// range, so a large one clips.
std::vector<uint8_t> ToneSecond(double dLeft, double dRight)
{
    std::vector<int16_t> frames(2 * 44100);
    for (size_t i = 0; i < 44100; ++i)
    {
        const double s = std::sin(2 * M_PI * 441.0 * static_cast<double>(i) / 44100.0);
        frames[2 * i] = static_cast<int16_t>(std::clamp(std::lround(dLeft * s), -32768L, 32767L));
        frames[2 * i + 1] = static_cast<int16_t>(std::clamp(std::lround(dRight * s), -32768L, 32767L));
    }
    std::vector<uint8_t> bytes(frames.size() * 2);
    std::memcpy(bytes.data(), frames.data(), bytes.size());
    return bytes;
}
}  // namespace

TEST(LevelMeter, ToneLevelsPeakHoldAndClipMark)
{
    CLevelMeter meter;
    // A -6 dBFS tone on the left and -12 dBFS on the right: a sine's RMS is 3 dB under its peak.
    std::vector<uint8_t> second = ToneSecond(16384, 8192);
    meter.AddBlock(second.data(), static_cast<uint32_t>(second.size()), 16, 2, 44100);
    ASSERT_TRUE(meter.Step(0));
    ASSERT_EQ(2, meter.Channels());
    EXPECT_NEAR(-6.02, meter.PeakDb(0), 0.03);
    EXPECT_NEAR(-9.03, meter.RmsDb(0), 0.03);
    EXPECT_NEAR(-12.04, meter.PeakDb(1), 0.03);
    EXPECT_NEAR(-15.05, meter.RmsDb(1), 0.03);
    EXPECT_FALSE(meter.Clipped());

    // Silence follows: the bars drop at once, the hold stays for its time on the meter's clock, then falls.
    std::vector<uint8_t> silence(second.size(), 0);
    meter.AddBlock(silence.data(), static_cast<uint32_t>(silence.size()), 16, 2, 44100);
    EXPECT_TRUE(meter.Step(40));
    EXPECT_EQ(CLevelMeter::SILENCE_DB, meter.PeakDb(0));
    EXPECT_NEAR(-6.0, meter.HoldDb(0), 0.05);
    meter.Step(CLevelMeter::HOLD_MS - 1);
    EXPECT_NEAR(-6.0, meter.HoldDb(0), 0.05);
    meter.Step(CLevelMeter::HOLD_MS);
    EXPECT_EQ(CLevelMeter::SILENCE_DB, meter.HoldDb(0));
    EXPECT_EQ(CLevelMeter::SILENCE_DB, meter.HoldDb(1));

    // A tone twice full scale clips on the left only; the mark stays lit through quiet blocks, and a new
    // recording puts it out. 8-bit samples clip at 0 and 255.
    second = ToneSecond(65536, 16384);
    meter.AddBlock(second.data(), static_cast<uint32_t>(second.size()), 16, 2, 44100);
    meter.Step(5000);
    EXPECT_NEAR(0.0, meter.PeakDb(0), 0.01);
    const uint64_t nClipped = meter.ClippedSamples();
    // Of each 100-sample period, the samples where |2 sin| >= 1: two thirds of them.
    EXPECT_NEAR(44100 * 2 / 3, static_cast<double>(nClipped), 44100 * 0.02);
    meter.AddBlock(silence.data(), static_cast<uint32_t>(silence.size()), 16, 2, 44100);
    meter.Step(5040);
    EXPECT_TRUE(meter.Clipped());
    EXPECT_EQ(nClipped, meter.ClippedSamples());
    meter.Reset();
    EXPECT_FALSE(meter.Clipped());
    const uint8_t eightBit[] = {128, 255, 0, 128};
    meter.AddBlock(eightBit, sizeof(eightBit), 8, 1, 8000);
    EXPECT_EQ(2u, meter.ClippedSamples());
}
