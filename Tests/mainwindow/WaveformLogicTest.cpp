// The waveform view's texts and trace without a window: time and size texts,
// the format line, where a sample is drawn and how the trace pages through a second.
#include "WaveTrace.h"
#include "WaveformText.h"

#include <gtest/gtest.h>

TEST(InfoTexts, LengthSizeAndFormat)
{
    EXPECT_EQ("00:59", InfoLengthText(59999));
    EXPECT_EQ("59:59", InfoLengthText(3599999));
    EXPECT_EQ("01:00:00", InfoLengthText(3600000));
    EXPECT_EQ("02:03:04", InfoLengthText((2 * 3600 + 3 * 60 + 4) * 1000 + 999));
    EXPECT_EQ("", InfoLengthText(0));

    EXPECT_EQ("1536", InfoSizeText(1536000));
    EXPECT_EQ("0", InfoSizeText(999));
    EXPECT_EQ("", InfoSizeText(0));

    EXPECT_EQ("44100HZ Stereo VBR", InfoFormatText(44100, 2, 100));
    EXPECT_EQ("44100HZ Stereo 128kbps", InfoFormatText(44100, 2, 128000));
    EXPECT_EQ("11025HZ Mono 88kbps", InfoFormatText(11025, 1, 88200));
    EXPECT_EQ("22050HZ Stereo 0kbps", InfoFormatText(22050, 0, 101));
    // The layout measures the bitrate form even for a VBR line.
    EXPECT_EQ("44100HZ Stereo 0kbps", InfoFormatMeasureText(44100, 2, 100));
}

TEST(TimeTexts, MillisecondModesAndSeconds)
{
    EXPECT_EQ("01", FormatMilliseconds(61500, 1));
    EXPECT_EQ("01:01", FormatMilliseconds(61500, 2));
    EXPECT_EQ("01:01:500", FormatMilliseconds(61500, 3));
    EXPECT_EQ("", FormatMilliseconds(61500, 4));
    EXPECT_EQ("", FormatMilliseconds(61500, 0));
    // Minutes run on past the hour.
    EXPECT_EQ("61:01", FormatMilliseconds(3661000, 2));

    EXPECT_EQ("00:59:59", FormatSeconds(3599));
    EXPECT_EQ("27:46:39", FormatSeconds(99999));
}

TEST(TraceY, MapsSamplesIntoAFortyPixelRectangle)
{
    EXPECT_EQ(40, TraceY(32767, 40));
    EXPECT_EQ(18, TraceY(-100, 40));
    EXPECT_EQ(20, TraceY(0, 40));
    EXPECT_EQ(0, TraceY(-32768, 40));
    EXPECT_EQ(21, TraceY(64, 40));
    EXPECT_EQ(19, TraceY(-1, 40));
}

TEST(TracePaging, ASecondAt22050RunsSeventyThreePagesOf300ThenOneOf149)
{
    CTraceSamples trace;
    EXPECT_FALSE(trace.HasMore());
    trace.SetBlock(std::vector<int32_t>(22050, 0));
    std::vector<int> ys;
    for (int i = 0; i < 73; ++i)
    {
        ASSERT_TRUE(trace.HasMore()) << "page " << i;
        ASSERT_EQ(300, trace.NextPage(300, 40, ys)) << "page " << i;
    }
    EXPECT_EQ(21900, trace.Position());
    EXPECT_TRUE(trace.HasMore());
    EXPECT_EQ(149, trace.NextPage(300, 40, ys));
    EXPECT_FALSE(trace.HasMore());
    EXPECT_EQ(0, trace.NextPage(300, 40, ys));

    // A smaller block starts again and shows no tail of the older one.
    trace.SetBlock(std::vector<int32_t>(5512, 0));
    EXPECT_EQ(0, trace.Position());
    EXPECT_EQ(5512, trace.Count());
    // After a stop nothing is left to draw.
    trace.Exhaust();
    EXPECT_FALSE(trace.HasMore());
    EXPECT_EQ(0, trace.NextPage(300, 40, ys));
}
