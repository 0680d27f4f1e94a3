// Sounds played through a private sound server: a new sound ends the one still
// playing at once, and a null sound ends it without another.
#include "PlaySound.h"

#include <gtest/gtest.h>

#if __has_include("PulseTestSupport.h")
#include "EncoderFixtures.h"
#include "PulseTestSupport.h"
#include "ReceiverWAV.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// A PCM WAVE image of that many seconds of silence, as the WAV receiver writes it.
std::vector<uint8_t> Wave(const std::string& path, WORD nChannels, DWORD nRate, WORD nBits, uint32_t nSeconds)
{
    CReceiverWAV wav;
    wav.Output = RecordingFileFor(path);
    const WORD nAlign = static_cast<WORD>(nChannels * nBits / 8);
    wav.CaptureFormat = WAVEFORMATEX{WAVE_FORMAT_PCM, nChannels, nRate, nAlign * nRate, nAlign, nBits, 0};
    wav.FormatSet = 1;
    const std::vector<uint8_t> second(nAlign * nRate, nBits == 8 ? 128 : 0);
    for (uint32_t i = 0; i < nSeconds; ++i)
        wav.Write(second.data(), static_cast<uint32_t>(second.size()));
    wav.Finish();
    return ReadFileBytes(path);
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

// Waits up to half a minute (far less than the long sound lasts) for what plays to be that.
bool PlayingBecomes(const std::string& expected)
{
    return PollUntil([&] { return Playing() == expected; });
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
    CTempFolder folder("PlaySound");
    const std::vector<uint8_t> longSound = Wave(folder.File("long.wav"), 1, 11025, 8, 120),
                               shortSound = Wave(folder.File("short.wav"), 2, 22050, 16, 3);
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
