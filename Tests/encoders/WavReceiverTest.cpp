// The WAV writer: byte layout, a header that is right after every buffer, and
// what happens when the file cannot grow.
#include "ReceiverWAV.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
WAVEFORMATEX Pcm(WORD nChannels, DWORD nRate, WORD nBits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = nChannels;
    f.nSamplesPerSec = nRate;
    f.wBitsPerSample = nBits;
    f.nBlockAlign = static_cast<WORD>(nChannels * nBits / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * nRate;
    return f;
}

// One second of a 1 kHz tone in the format.
std::vector<uint8_t> Second(const WAVEFORMATEX& f, double dFrequency = 1000)
{
    std::vector<uint8_t> out;
    for (DWORD i = 0; i < f.nSamplesPerSec; ++i)
    {
        double x = 0.5 * std::sin(2 * M_PI * dFrequency * i / f.nSamplesPerSec);
        for (int ch = 0; ch < f.nChannels; ++ch)
        {
            if (f.wBitsPerSample == 16)
            {
                int16_t s = static_cast<int16_t>(x * 32767);
                out.push_back(static_cast<uint8_t>(s));
                out.push_back(static_cast<uint8_t>(s >> 8));
            }
            else
                out.push_back(static_cast<uint8_t>(128 + x * 127));
        }
    }
    return out;
}

class WavReceiver : public ::testing::Test
{
protected:
    void Prepare(CReceiverWAV& receiver, const WAVEFORMATEX& f, const std::string& name = "Audio0.wav")
    {
        receiver.FileName = m_folder.File(name);
        receiver.CaptureFormat = f;
        receiver.FormatSet = 1;
    }
    CTempFolder m_folder{"WavReceiver"};
};
}  // namespace

TEST_F(WavReceiver, ThreeSecondsOfCdAudioHaveTheExactLayout)
{
    WAVEFORMATEX f = Pcm(2, 44100, 16);
    std::vector<uint8_t> second = Second(f);
    {
        CReceiverWAV receiver;
        Prepare(receiver, f);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(176400u, receiver.Write(second.data(), 176400));
        receiver.Finish();
    }
    std::vector<uint8_t> file = ReadFileBytes(m_folder.File("Audio0.wav"));
    ASSERT_EQ(44u + 529200u, file.size());
    EXPECT_EQ(0, memcmp(file.data(), "RIFF", 4));
    EXPECT_EQ(529236u, LE32(&file[4]));
    EXPECT_EQ(0, memcmp(&file[8], "WAVEfmt ", 8));
    EXPECT_EQ(16u, LE32(&file[16]));
    EXPECT_EQ(1, LE16(&file[20]));
    EXPECT_EQ(2, LE16(&file[22]));
    EXPECT_EQ(44100u, LE32(&file[24]));
    EXPECT_EQ(176400u, LE32(&file[28]));
    EXPECT_EQ(4, LE16(&file[32]));
    EXPECT_EQ(16, LE16(&file[34]));
    EXPECT_EQ(0, memcmp(&file[36], "data", 4));
    EXPECT_EQ(529200u, LE32(&file[40]));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), file.begin() + 44 + 2 * 176400));
}

TEST_F(WavReceiver, TheFileIsCompleteAfterEveryBufferBeforeFinish)
{
    WAVEFORMATEX f = Pcm(2, 22050, 16);
    std::vector<uint8_t> second = Second(f);
    CReceiverWAV receiver;
    Prepare(receiver, f);
    for (int n = 1; n <= 3; ++n)
    {
        receiver.Write(second.data(), static_cast<uint32_t>(second.size()));
        DecodedAudio decoded = DecodeFile(receiver.FileName);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ("pcm_s16le", decoded.codec);
        EXPECT_DOUBLE_EQ(n, decoded.duration) << "after buffer " << n;
        EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, 22050), 5);
    }
}

TEST_F(WavReceiver, AnExistingFileIsTruncatedAndEightBitMonoKeepsItsUnsignedSamples)
{
    {
        std::ofstream old(m_folder.File("Audio0.wav"), std::ios::binary);
        old << std::string(1000000, 'x');
    }
    std::vector<uint8_t> second(11025);
    for (size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<uint8_t>(i);
    CReceiverWAV receiver;
    Prepare(receiver, Pcm(1, 11025, 8));
    EXPECT_EQ(11025u, receiver.Write(second.data(), 11025));
    receiver.Finish();
    std::vector<uint8_t> file = ReadFileBytes(receiver.FileName);
    ASSERT_EQ(44u + 11025u, file.size());
    EXPECT_EQ(1, LE16(&file[22]));
    EXPECT_EQ(11025u, LE32(&file[28]));
    EXPECT_EQ(1, LE16(&file[32]));
    EXPECT_EQ(8, LE16(&file[34]));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), file.begin() + 44));
}

TEST_F(WavReceiver, FinishClosesOnceAndNothingIsWrittenAfterIt)
{
    WAVEFORMATEX f = Pcm(1, 11025, 8);
    std::vector<uint8_t> second = Second(f);
    CReceiverWAV receiver;
    Prepare(receiver, f);
    receiver.Write(second.data(), static_cast<uint32_t>(second.size()));
    receiver.Finish();
    EXPECT_EQ(2, receiver.State);
    receiver.Finish();
    EXPECT_EQ(2, receiver.State);
    EXPECT_EQ(0u, receiver.Write(second.data(), static_cast<uint32_t>(second.size())));
    EXPECT_EQ(44u + 11025u, ReadFileBytes(receiver.FileName).size());
}

TEST_F(WavReceiver, NoFileWithoutAFormatAndAnEmptyFirstBufferWritesTheHeaderOnly)
{
    uint8_t byte = 0;
    CReceiverWAV unformatted;
    unformatted.FileName = m_folder.File("Audio0.wav");
    EXPECT_EQ(0u, unformatted.Write(&byte, 1));
    EXPECT_FALSE(FileExists(unformatted.FileName.c_str()));
    EXPECT_EQ(0, unformatted.State);

    CReceiverWAV empty;
    Prepare(empty, Pcm(2, 44100, 16), "Audio1.wav");
    EXPECT_EQ(0u, empty.Write(&byte, 0));
    EXPECT_EQ(1, empty.State);
    empty.Finish();
    std::vector<uint8_t> file = ReadFileBytes(empty.FileName);
    ASSERT_EQ(44u, file.size());
    EXPECT_EQ(36u, LE32(&file[4]));
    EXPECT_EQ(0u, LE32(&file[40]));
}

TEST_F(WavReceiver, AFolderThatDoesNotExistCannotTakeTheFile)
{
    CReceiverWAV receiver;
    Prepare(receiver, Pcm(2, 44100, 16));
    receiver.FileName = m_folder.File("missing/Audio0.wav");
    uint8_t byte = 0;
    try
    {
        receiver.Write(&byte, 1);
        FAIL() << "no error";
    }
    catch (const char* pszText)
    {
        EXPECT_STREQ("Can't create WAV file.", pszText);
    }
    EXPECT_EQ(0, receiver.State);
}

TEST_F(WavReceiver, TheSizeLimitEndsTheRecordingWithAValidFile)
{
    // The 32-bit size fields hold at most this much data; the limit is lowered to reach it fast.
    EXPECT_EQ(0xFFFFFFFFu, CWaveFile::MAX_DATA_SIZE + 36u);
    WAVEFORMATEX f = Pcm(2, 11025, 16);
    std::vector<uint8_t> second = Second(f);
    CReceiverWAV receiver;
    Prepare(receiver, f);
    receiver.File.SetDataLimit(2 * 44100 + 100);
    receiver.Write(second.data(), 44100);
    receiver.Write(second.data(), 44100);
    try
    {
        receiver.Write(second.data(), 44100);
        FAIL() << "the third second passed the limit";
    }
    catch (const CRecordingEnded& ended)
    {
        EXPECT_STREQ(MSG_WAV_SIZE_LIMIT, ended.szMessage);
    }
    receiver.Finish();
    std::vector<uint8_t> file = ReadFileBytes(receiver.FileName);
    ASSERT_EQ(44u + 2 * 44100u, file.size());
    EXPECT_EQ(2 * 44100u, LE32(&file[40]));
    EXPECT_EQ(36u + 2 * 44100u, LE32(&file[4]));
    EXPECT_DOUBLE_EQ(2.0, DecodeFile(receiver.FileName).duration);
}

TEST_F(WavReceiver, AFullDiskLeavesAHeaderThatMatchesTheDataAndSaysSoOnce)
{
    // A size-limited file stands in for a full disk: the limit falls inside the second buffer.
    WAVEFORMATEX f = Pcm(2, 44100, 16);
    std::vector<uint8_t> second = Second(f);
    std::string path = m_folder.File("Audio0.wav");
    pid_t child = fork();
    if (child == 0)
    {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{44 + 176400 + 1001, 44 + 176400 + 1001};
        setrlimit(RLIMIT_FSIZE, &limit);
        CReceiverWAV receiver;
        receiver.FileName = path;
        receiver.CaptureFormat = f;
        receiver.FormatSet = 1;
        int code = 0;
        if (receiver.Write(second.data(), 176400) != 176400)
            code = 10;
        try
        {
            receiver.Write(second.data(), 176400);
            code = 11;
        }
        catch (const CRecordingEnded& ended)
        {
            if (std::string(ended.szMessage) != MSG_DISK_FULL)
                code = 12;
        }
        receiver.Finish();
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(0, WEXITSTATUS(status));
    std::vector<uint8_t> file = ReadFileBytes(path);
    // 1001 more bytes fitted; only whole frames (4 bytes) are kept and counted.
    ASSERT_EQ(44u + 176400u + 1000u, file.size());
    EXPECT_EQ(176400u + 1000u, LE32(&file[40]));
    EXPECT_EQ(36u + 176400u + 1000u, LE32(&file[4]));
    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_NEAR(1.0 + 250.0 / 44100, decoded.duration, 1e-6);
}
