// The WAV writer: byte layout, a header that is right after every buffer, a name only
// once the file holds audio, and what happens when the file cannot grow.
#include "EncoderFixtures.h"
#include "ReceiverWAV.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <tuple>
#include <sys/resource.h>

namespace
{
WAVEFORMATEX Pcm(WORD nChannels, DWORD nRate, WORD nBits)
{
    const WORD nAlign = static_cast<WORD>(nChannels * nBits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, nChannels, nRate, nAlign * nRate, nAlign, nBits, 0};
}

class WavReceiver : public ::testing::Test
{
protected:
    void Prepare(CReceiverWAV& receiver, const WAVEFORMATEX& f)
    {
        receiver.Output = RecordingFileFor(m_path);
        receiver.CaptureFormat = f;
        receiver.FormatSet = 1;
    }
    CTempFolder m_folder{"WavReceiver"};
    const std::string m_path = m_folder.File("Audio0.wav");
};
}  // namespace

// The file has its name from the first buffer on and is complete after every buffer, before Finish;
// then it has the exact layout. 8-bit mono keeps its unsigned samples.
TEST_F(WavReceiver, ThreeSecondsMakeAWholeFileNamedAtTheFirstBufferAndFinishLetsGoOfItOnce)
{
    std::vector<uint8_t> mono(11025);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<uint8_t>(128 + 100 * std::sin(2 * M_PI * 1000 * i / 11025.0));
    const std::tuple<WAVEFORMATEX, std::vector<uint8_t>, const char*, std::vector<uint32_t>> cases[] = {
        {Pcm(2, 44100, 16), StereoTone(1.0, 1000), "pcm_s16le", {529236, 1, 2, 44100, 176400, 4, 16, 529200}},
        {Pcm(1, 11025, 8), mono, "pcm_u8", {36 + 33075, 1, 1, 11025, 11025, 1, 8, 33075}},
    };
    for (const auto& [format, second, pszCodec, header] : cases)
    {
        SCOPED_TRACE(pszCodec);
        const uint32_t nSize = static_cast<uint32_t>(second.size());
        CReceiverWAV receiver;
        Prepare(receiver, format);
        EXPECT_EQ(std::vector<std::string>{".Audio0.wav.part"}, FolderEntries(m_folder.Path())) << "no name before the audio";
        for (int n = 1; n <= 3; ++n)
        {
            EXPECT_EQ(nSize, receiver.Write(second.data(), nSize));
            EXPECT_EQ(std::vector<std::string>{"Audio0.wav"}, FolderEntries(m_folder.Path()));
            DecodedAudio decoded = DecodeFile(m_path);
            EXPECT_EQ(std::make_pair(std::string(pszCodec), double(n)), std::make_pair(decoded.codec, decoded.duration));
            EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, format.nSamplesPerSec), 5);
        }
        receiver.Finish();
        receiver.Finish();
        EXPECT_TRUE(receiver.Output == nullptr);
        EXPECT_EQ(3000u, receiver.KeptMilliseconds());
        EXPECT_EQ(0u, receiver.Write(second.data(), nSize)) << "nothing is written after Finish";
        std::vector<uint8_t> file = ReadFileBytes(m_path);
        ASSERT_EQ(44u + 3 * nSize, file.size());
        EXPECT_EQ(header, WavHeaderFields(file));
        EXPECT_TRUE(std::equal(second.begin(), second.end(), file.begin() + 44 + 2 * nSize));
    }
}

TEST_F(WavReceiver, TheSizeLimitEndsTheRecordingWithAValidFile)
{
    // The limit is lowered to reach it fast.
    std::vector<uint8_t> second = StereoTone(0.25, 1000);
    CReceiverWAV receiver;
    Prepare(receiver, Pcm(2, 11025, 16));
    receiver.File.SetDataLimit(2 * 44100 + 100);
    receiver.Write(second.data(), 44100);
    receiver.Write(second.data(), 44100);
    EXPECT_EQ(std::string("ended: ") + MSG_WAV_SIZE_LIMIT, ThrownText([&] { receiver.Write(second.data(), 44100); }));
    receiver.Finish();
    std::vector<uint8_t> file = ReadFileBytes(m_path);
    ASSERT_EQ(44u + 2 * 44100u, file.size());
    EXPECT_EQ((std::vector<uint32_t>{36 + 2 * 44100, 1, 2, 11025, 44100, 4, 16, 2 * 44100}), WavHeaderFields(file));
    EXPECT_DOUBLE_EQ(2.0, DecodeFile(m_path).duration);
    EXPECT_EQ(2000u, receiver.KeptMilliseconds());
}

// A file-size limit (RLIMIT_FSIZE, SIGXFSZ ignored) falls inside the second buffer, one frame short of
// 1001 bytes more: the recording ends with the limit's own text, and only whole frames are kept and counted.
TEST_F(WavReceiver, AFileSizeLimitLeavesAHeaderThatMatchesTheDataAndSaysWhichLimitItWas)
{
    std::vector<uint8_t> second = StereoTone(1.0, 1000);
    const std::string ended = std::string("ended: ") + WriteFailure(EFBIG).what();
    ASSERT_THAT(ended, ::testing::HasSubstr("file-size limit")) << "not the text of another cause";
    // In a child, under the limit: the step that went otherwise, if any.
    EXPECT_EQ("", InChild([&]() -> std::string {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{44 + 176400 + 1001, 44 + 176400 + 1001};
        setrlimit(RLIMIT_FSIZE, &limit);
        CReceiverWAV receiver;
        Prepare(receiver, Pcm(2, 44100, 16));
        if (receiver.Write(second.data(), 176400) != 176400)
            return "the first second was not written";
        if (ThrownText([&] { receiver.Write(second.data(), 176400); }) != ended)
            return "the limit was not told";
        receiver.Finish();
        return receiver.KeptMilliseconds() == 1005 ? "" : "not 1005 ms kept";  // 177400 bytes: 1005.6 ms
    }));
    std::vector<uint8_t> file = ReadFileBytes(m_path);
    ASSERT_EQ(44u + 176400u + 1000u, file.size());
    EXPECT_EQ((std::vector<uint32_t>{36 + 177400, 1, 2, 44100, 176400, 4, 16, 177400}), WavHeaderFields(file));
    EXPECT_NEAR(1.0 + 250.0 / 44100, DecodeFile(m_path).duration, 1e-6);
}
