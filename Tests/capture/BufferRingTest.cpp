// The ring of capture buffers: the display copy of each device format. (What is queued when: the
// capture results of Tests/capture/DeviceThreadTest.)
#include "CaptureFakes.h"
#include "EncoderFixtures.h"

#include <gtest/gtest.h>

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
