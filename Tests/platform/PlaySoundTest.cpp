// Sounds played through a private sound server: a new sound ends the one still
// playing at once, and a null sound ends it without another.
#include "PlaySound.h"

#include <gtest/gtest.h>

#if __has_include("PulseTestSupport.h")
#include "PulseTestSupport.h"

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A PCM WAVE image of that many seconds of silence.
std::vector<uint8_t> Wave(uint32_t nRate, uint16_t nChannels, uint16_t nBits, uint32_t nSeconds)
{
    const uint32_t nBlock = nChannels * nBits / 8u, nData = nRate * nBlock * nSeconds;
    std::vector<uint8_t> wave;
    auto put = [&](uint32_t n, int nBytes) {
        for (int i = 0; i < nBytes; ++i)
            wave.push_back(static_cast<uint8_t>(n >> (8 * i)));
    };
    auto tag = [&](const char* psz) {
        for (int i = 0; i < 4; ++i)
            wave.push_back(static_cast<uint8_t>(psz[i]));
    };
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
    wave.resize(44 + nData, nBits == 8 ? 128 : 0);
    return wave;
}

// The sample formats of the sounds the server plays now, one a line ("u8 1ch 11025Hz"): the last
// tab-separated field of each sink input.
std::string Playing()
{
    std::string list, formats;
    if (Pactl("list short sink-inputs", &list) != 0)
        return "pactl failed: " + list;
    std::istringstream lines(list);
    for (std::string line; std::getline(lines, line);)
        if (line.find('\t') != std::string::npos)
            formats += line.substr(line.rfind('\t') + 1) + "\n";
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
#endif
