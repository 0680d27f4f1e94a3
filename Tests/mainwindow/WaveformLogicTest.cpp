// The waveform view's texts and trace without a window: time and size texts,
// the format line, file sizes, where a sample is drawn and how the trace pages
// through a second.
#include "TestSupport.h"
#include "WaveTrace.h"
#include "WaveformText.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(TimeTexts, LengthsBelowAnHourShowMinutesAndSeconds)
{
    EXPECT_EQ("00:59", InfoLengthText(59999));
    EXPECT_EQ("59:59", InfoLengthText(3599999));
    EXPECT_EQ("00:01", InfoLengthText(1000));
}

TEST(TimeTexts, AnHourOrMoreShowsHoursMinutesAndSeconds)
{
    EXPECT_EQ("01:00:00", InfoLengthText(3600000));
    EXPECT_EQ("02:03:04", InfoLengthText((2 * 3600 + 3 * 60 + 4) * 1000 + 999));
}

TEST(TimeTexts, NoLengthShowsNothing)
{
    EXPECT_EQ("", InfoLengthText(0));
}

TEST(TimeTexts, MillisecondModes)
{
    EXPECT_EQ("01", FormatMilliseconds(61500, 1));
    EXPECT_EQ("01:01", FormatMilliseconds(61500, 2));
    EXPECT_EQ("01:01:500", FormatMilliseconds(61500, 3));
    EXPECT_EQ("", FormatMilliseconds(61500, 4));
    EXPECT_EQ("", FormatMilliseconds(61500, 0));
    // Minutes run on past the hour.
    EXPECT_EQ("61:01", FormatMilliseconds(3661000, 2));
}

TEST(TimeTexts, SecondsAsHoursMinutesSeconds)
{
    EXPECT_EQ("00:00:00", FormatSeconds(0));
    EXPECT_EQ("00:59:59", FormatSeconds(3599));
    EXPECT_EQ("01:00:00", FormatSeconds(3600));
    EXPECT_EQ("27:46:39", FormatSeconds(99999));
}

TEST(SizeTexts, AreWholeKilobytesOfAThousandBytes)
{
    EXPECT_EQ("1536", InfoSizeText(1536000));
    EXPECT_EQ("0", InfoSizeText(999));
    EXPECT_EQ("", InfoSizeText(0));
}

TEST(FormatLine, ShowsTheBitrateOrVbr)
{
    EXPECT_EQ("44100HZ Stereo VBR", InfoFormatText(44100, 2, 100));
    EXPECT_EQ("44100HZ Stereo 128kbps", InfoFormatText(44100, 2, 128000));
    EXPECT_EQ("11025HZ Mono 88kbps", InfoFormatText(11025, 1, 88200));
    EXPECT_EQ("22050HZ Stereo 0kbps", InfoFormatText(22050, 0, 101));
    // The layout measures the bitrate form even for a VBR line.
    EXPECT_EQ("44100HZ Stereo 0kbps", InfoFormatMeasureText(44100, 2, 100));
}

TEST(FileSize, IsTheSizeOfAnExistingFileAndZeroOtherwise)
{
    CTempFolder folder("mainwindow-filesize");
    const std::string path = folder.File("Audio0.wav");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(1536000, 'x');
    }
    EXPECT_EQ(1536000u, GetFileSizeByName(path.c_str()));
    EXPECT_EQ(0u, GetFileSizeByName(folder.File("missing.wav").c_str()));
    EXPECT_EQ(0u, GetFileSizeByName(folder.Path().c_str()));
    EXPECT_EQ(0u, GetFileSizeByName(nullptr));
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
}

TEST(TracePaging, APageHoldsTheSamplesInOrder)
{
    CTraceSamples trace;
    std::vector<int32_t> block(1000);
    for (int i = 0; i < 1000; ++i)
        block[i] = (i % 2) ? 640 : -640;
    trace.SetBlock(block);
    std::vector<int> ys;
    ASSERT_EQ(300, trace.NextPage(300, 40, ys));
    EXPECT_EQ(10, ys[0]);
    EXPECT_EQ(30, ys[1]);
    ASSERT_EQ(300, trace.NextPage(300, 40, ys));
    EXPECT_EQ(10, ys[0]);  // sample 300 is even again
}

TEST(TracePaging, ANewBlockStartsAgainAndASmallerOneShowsNoOlderTail)
{
    CTraceSamples trace;
    trace.SetBlock(std::vector<int32_t>(22050, 0));
    std::vector<int> ys;
    trace.NextPage(300, 40, ys);
    trace.SetBlock(std::vector<int32_t>(5512, 0));
    EXPECT_EQ(0, trace.Position());
    EXPECT_EQ(5512, trace.Count());
}

TEST(TracePaging, AfterAStopNothingIsLeftToDraw)
{
    CTraceSamples trace;
    trace.SetBlock(std::vector<int32_t>(22050, 0));
    trace.Exhaust();
    EXPECT_FALSE(trace.HasMore());
    std::vector<int> ys;
    EXPECT_EQ(0, trace.NextPage(300, 40, ys));
    CTraceSamples empty;
    EXPECT_FALSE(empty.HasMore());
}
