// The waveform view's texts and trace paging without a window.
#include "WaveTrace.h"
#include "WaveformText.h"

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
