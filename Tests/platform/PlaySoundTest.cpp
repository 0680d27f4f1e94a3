// Sounds played through a private sound server: a new sound ends the one still
// playing at once, and a null sound ends it without another.
#include "PlaySound.h"

#include <gtest/gtest.h>

#if __has_include("PulseTestSupport.h")
#include "PulseTestSupport.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A PCM WAVE image of that many seconds of a quiet square wave.
std::vector<uint8_t> Wave(uint32_t nRate, uint16_t nChannels, uint16_t nBits, uint32_t nSeconds)
{
    const uint32_t nBlock = nChannels * nBits / 8u, nData = nRate * nBlock * nSeconds;
    std::vector<uint8_t> wave;
    wave.reserve(44 + nData);
    auto put = [&](uint32_t n, int nBytes) {
        for (int i = 0; i < nBytes; ++i)
            wave.push_back(static_cast<uint8_t>(n >> (8 * i)));
    };
    auto tag = [&](const char* psz) { wave.insert(wave.end(), psz, psz + 4); };
    tag("RIFF");
    put(36 + nData, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(nChannels, 2);
    put(nRate, 4);
    put(nRate * nBlock, 4);
    put(nBlock, 2);
    put(nBits, 2);
    tag("data");
    put(nData, 4);
    for (uint32_t i = 0; i < nData / nBlock; ++i)
        for (uint32_t j = 0; j < nBlock; ++j)
            wave.push_back(nBits == 8 ? static_cast<uint8_t>(i / 20 % 2 ? 120 : 136) : 0);
    return wave;
}

// The sample formats of the sounds the server plays now, one a line ("u8 1ch 11025Hz").
std::string Playing()
{
    std::string list, formats;
    if (Pactl("list short sink-inputs", &list) != 0)
        return "pactl failed: " + list;
    // index, sink, client, driver, sample format: tab-separated
    size_t start = 0;
    while (start < list.size())
    {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string line = list.substr(start, end - start);
        const size_t tab = line.rfind('\t');
        if (tab != std::string::npos)
            formats += line.substr(tab + 1) + "\n";
        start = end + 1;
    }
    return formats;
}

// Waits up to about half a minute (far less than the long sound lasts) for what plays to be that.
bool PlayingBecomes(const std::string& expected)
{
    for (int i = 0; i < 3000; ++i)
    {
        if (Playing() == expected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class PlaySound : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!TheDaemon().IsRunning() && !TheDaemon().Start())
            GTEST_SKIP() << "no sound server could be started here: " << TheDaemon().Log();
        TheDaemon().UseInThisProcess();
    }
    void TearDown() override { PlaySoundA(nullptr, nullptr, 0); }
};

TEST_F(PlaySound, ANewSoundEndsTheOnePlayingAtOnceAndANullSoundEndsItWithoutAnother)
{
    // Two minutes long: only a newer sound ends it while the test looks.
    const std::vector<uint8_t> longSound = Wave(11025, 1, 8, 120), shortSound = Wave(22050, 2, 16, 3);
    const std::string longPlaying = "u8 1ch 11025Hz\n", shortPlaying = "s16le 2ch 22050Hz\n";
    auto play = [](const std::vector<uint8_t>& wave) {
        return PlaySoundA(reinterpret_cast<LPCSTR>(wave.data()), nullptr, SND_MEMORY | SND_ASYNC);
    };

    ASSERT_TRUE(play(longSound));
    ASSERT_TRUE(PlayingBecomes(longPlaying)) << Playing();
    ASSERT_TRUE(play(shortSound));
    EXPECT_TRUE(PlayingBecomes(shortPlaying)) << "still playing:\n" << Playing();
    EXPECT_TRUE(PlayingBecomes("")) << "the new sound plays to its end and goes:\n" << Playing();

    ASSERT_TRUE(play(longSound));
    ASSERT_TRUE(PlayingBecomes(longPlaying)) << Playing();
    EXPECT_TRUE(PlaySoundA(nullptr, nullptr, 0));
    EXPECT_TRUE(PlayingBecomes("")) << "still playing:\n" << Playing();
}
}  // namespace
#else
TEST(PlaySound, NeedsTheSoundServerTestsToBeBuilt)
{
    GTEST_SKIP() << "the sound-server test support (libpulse-simple, pulseaudio) is not built here";
}
#endif
