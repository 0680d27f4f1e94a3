// The ring of capture buffers: what is queued when, and the display copy.
#include "CaptureFakes.h"

#include <gtest/gtest.h>

namespace
{
int QueuedCount(const CWaveBufferRing& ring)
{
    int n = 0;
    for (uint32_t i = 0; i < ring.Count(); ++i)
        n += (ring.Header(i).dwFlags & WHDR_INQUEUE) ? 1 : 0;
    return n;
}

std::vector<int32_t> DisplayOf(WORD nChannels, DWORD nRate, WORD nBits, const std::vector<uint8_t>& pattern)
{
    CHandDevice device(nChannels, nRate, nBits);
    CWaveBufferRing ring(2);
    ring.Setup(&device);
    device.Complete(pattern);
    std::vector<int32_t> display;
    std::vector<uint8_t> bytes;
    ring.Collect(display, bytes);
    return display;
}
}  // namespace

TEST(BufferRing, SetupQueuesOnlyTheFirstHeader)
{
    CHandDevice device(2, 44100, 16);
    CWaveBufferRing ring(2);
    ring.Setup(&device);
    EXPECT_EQ(1, QueuedCount(ring));
    EXPECT_TRUE(ring.Header(0).dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(0, ring.Current());
    EXPECT_EQ(176400u, ring.BytesPerBuffer());
    EXPECT_EQ(352800u, ring.Memory().size());
    EXPECT_EQ(22050u, ring.DisplaySamplesPerBuffer());
}

TEST(BufferRing, EachCollectQueuesTheSpareAndMovesOn)
{
    CHandDevice device(1, 22050, 16);
    CWaveBufferRing ring(2);
    ring.Setup(&device);
    std::vector<int32_t> display;
    std::vector<uint8_t> bytes;
    for (int n = 1; n <= 5; ++n)
    {
        EXPECT_FALSE(ring.IsCurrentDone());
        device.Complete({static_cast<uint8_t>(n), 0});
        ASSERT_TRUE(ring.IsCurrentDone());
        ring.Collect(display, bytes);
        EXPECT_EQ(1, QueuedCount(ring)) << "after collect " << n;
        EXPECT_EQ(n % 2, ring.Current());
        ASSERT_EQ(44100u, bytes.size());
        EXPECT_EQ(n, bytes[0]) << "the finished buffer is handed on, not the one being filled";
    }
}

TEST(BufferRing, DisplaySamplesFollowTheDeviceFormat)
{
    EXPECT_EQ(-8192, DisplayOf(1, 11025, 8, {0})[0]);
    EXPECT_EQ(8128, DisplayOf(1, 11025, 8, {255})[0]);
    EXPECT_EQ(-32768, DisplayOf(2, 11025, 8, {0, 0})[0]);
    EXPECT_EQ(32512, DisplayOf(2, 11025, 8, {255, 255})[0]);
    // (-3 + 0) / 2 truncates toward zero.
    EXPECT_EQ(-1, DisplayOf(2, 44100, 16, {0xFD, 0xFF, 0x00, 0x00})[0]);
    EXPECT_EQ(-1234, DisplayOf(1, 22050, 16, {0x2E, 0xFB})[0]);
}

TEST(BufferRing, DisplayCoversSampleRateOverChannelsFrames)
{
    EXPECT_EQ(5512u, DisplayOf(2, 11025, 8, {128, 128}).size());
    EXPECT_EQ(11025u, DisplayOf(1, 11025, 8, {128}).size());
    EXPECT_EQ(22050u, DisplayOf(2, 44100, 16, {0, 0}).size());
}

TEST(BufferRing, AnUnsupportedSampleSizeIsRefused)
{
    CHandDevice device(1, 8000, 24);
    CWaveBufferRing ring(2);
    ring.Setup(&device);
    device.Complete({0});
    std::vector<int32_t> display;
    std::vector<uint8_t> bytes;
    try
    {
        ring.Collect(display, bytes);
        FAIL() << "24-bit audio was accepted";
    }
    catch (const char* pszText)
    {
        EXPECT_STREQ("Unsupported format", pszText);
    }
}

TEST(BufferRing, ALaterSmallerFormatReusesTheSameMemory)
{
    CHandDevice stereo(2, 44100, 16);
    CWaveBufferRing ring(2);
    ring.Setup(&stereo);
    const uint8_t* pMemory = ring.Memory().data();
    CHandDevice mono(1, 11025, 8);
    ring.Setup(&mono);
    EXPECT_EQ(pMemory, ring.Memory().data());
    EXPECT_EQ(11025u, ring.BytesPerBuffer());
    EXPECT_EQ(mono.queued.front()->lpData, reinterpret_cast<const char*>(pMemory));
}
