// The ring of capture buffers: what is queued when, and the display copy.
#include "CaptureFakes.h"
#include "EncoderFixtures.h"

#include <gtest/gtest.h>

#include <tuple>

namespace
{
int QueuedCount(const CWaveBufferRing& ring)
{
    int n = 0;
    for (uint32_t i = 0; i < ring.Count(); ++i)
        n += (ring.Header(i).dwFlags & WHDR_INQUEUE) ? 1 : 0;
    return n;
}
}  // namespace

TEST(BufferRing, SetupQueuesOnlyTheFirstHeaderAndEachCollectHandsOnTheFinishedOneAndQueuesTheSpare)
{
    CHandDevice device(1, 22050, 16);
    CWaveBufferRing ring(2);
    ring.Setup(&device);
    EXPECT_EQ(std::make_tuple(1, 0, 44100u, 22050u), std::make_tuple(QueuedCount(ring), ring.Current(),
                                                                     ring.BytesPerBuffer(), ring.DisplaySamplesPerBuffer()));
    std::vector<int32_t> display;
    std::vector<uint8_t> bytes;
    for (int n = 1; n <= 3; ++n)
    {
        EXPECT_FALSE(ring.IsCurrentDone());
        device.Complete({static_cast<uint8_t>(n), 0});
        ASSERT_TRUE(ring.IsCurrentDone());
        ring.Collect(display, bytes);
        ASSERT_EQ(44100u, bytes.size());
        EXPECT_EQ(std::make_tuple(1, n % 2, uint8_t(n)), std::make_tuple(QueuedCount(ring), ring.Current(), bytes[0]))
            << "collect " << n;
    }
}

TEST(BufferRing, DisplaySamplesFollowTheDeviceFormatAndAnUnsupportedSizeIsRefused)
{
    const struct
    {
        WORD channels;
        DWORD rate;
        WORD bits;
        std::vector<uint8_t> pattern;
        int32_t first;
        size_t count;  // 0: refused
    } cases[] = {
        {1, 11025, 8, {0}, -8192, 11025},
        {2, 11025, 8, {0, 0}, -32768, 5512},       {2, 11025, 8, {255, 255}, 32512, 5512},
        {2, 44100, 16, {0xFD, 0xFF, 0, 0}, -1, 22050},  // (-3 + 0) / 2 truncates toward zero
        {1, 22050, 16, {0x2E, 0xFB}, -1234, 22050},
        {1, 8000, 24, {0}, 0, 0},
    };
    for (const auto& c : cases)
    {
        CHandDevice device(c.channels, c.rate, c.bits);
        CWaveBufferRing ring(2);
        ring.Setup(&device);
        device.Complete(c.pattern);
        std::vector<int32_t> display;
        std::vector<uint8_t> bytes;
        SCOPED_TRACE(std::to_string(c.channels) + " ch " + std::to_string(c.rate) + " Hz " + std::to_string(c.bits) + " bits");
        if (c.count == 0)
        {
            EXPECT_EQ("Unsupported format", ThrownText([&] { ring.Collect(display, bytes); }));
            continue;
        }
        ring.Collect(display, bytes);
        ASSERT_FALSE(display.empty());
        EXPECT_EQ(std::make_pair(c.first, c.count), std::make_pair(display[0], display.size()));
    }
}
