// The MP3 receiver on the real encoder module: files checked frame by frame, the ID3v1 tag byte by
// byte; and the encoder's output area is never overrun.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "LameEncoder.h"
#include "Mp3Frames.h"
#include "ReceiverMP3.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <memory>
#include <tuple>
#include <sys/resource.h>

class Mp3Receiver : public ::testing::Test
{
protected:
    void SetUp() override { UseBuiltLameModule(); }

    // Records the PCM in one-second buffers, as the capture thread does, into a new file
    // tagged as the settings are now.
    std::string Record(uint32_t nKbps, const std::vector<uint8_t>& pcm)
    {
        std::string path = m_folder.File("rec" + std::to_string(m_nFiles++) + ".mp3");
        CReceiverMP3 receiver(nKbps, 0);
        receiver.Output = RecordingFileFor(path);
        receiver.Tags = CurrentTrackTags();
        for (size_t pos = 0; pos < pcm.size(); pos += 176400)
            receiver.Write(pcm.data() + pos, static_cast<uint32_t>(std::min<size_t>(176400, pcm.size() - pos)));
        receiver.Finish();
        return path;
    }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    int m_nFiles = 0;
};

TEST_F(Mp3Receiver, EveryBitrateOfTheTableGives44100HzJointStereoFramesWithTheHeaderFlagsSet)
{
    for (int nKbps : Mp3BitrateTable)
    {
        SCOPED_TRACE(std::to_string(nKbps) + " kbit/s");
        std::string path = Record(static_cast<uint32_t>(nKbps), StereoTone(2.0, 1000));
        Mp3Walk walk = WalkMp3File(path);
        ASSERT_TRUE(walk.ok) << walk.error;
        // MPEG-1 has no 144 kbit/s: that choice is written at the next rate up.
        const int nWritten = nKbps == 144 ? 160 : nKbps;
        for (const Mp3Frame& f : walk.frames)
            ASSERT_EQ(std::make_tuple(44100, nWritten, 1, true, true, true),
                      std::make_tuple(f.sampleRate, f.bitrateKbps, f.mode, f.privateBit, f.copyright, f.original))
                << "frame at offset " << f.offset << " (mode 1: joint stereo; then private, copyright, original)";
        EXPECT_GE(walk.frames.size(), 2 * 44100 / 1152u);
    }
}

// Texts cut at 30 bytes, Latin-1 with '?' for the rest, the year right after the album; empty texts all zero.
// Finish keeps the last part of the recording.
TEST_F(Mp3Receiver, TheTagCarriesTheCutTextsTheYearAndTheCommentWhereAnIndependentReaderFindsThemAfterTheWholeRecording)
{
    theSettings.Title = std::string(30, 'T');
    theSettings.Artist = "Caf\xC3\xA9 \xE2\x82\xAC";  // the euro sign has no place in Latin-1
    theSettings.AlbumTitle = "0123456789abcdefghijABCDEFGHIJklmnopqrst";
    theSettings.YearIndex = 9;
    const std::string path = Record(192, StereoTone(3.0, 1000, 0.5));
    std::vector<uint8_t> tag = WalkMp3File(path).id3v1;
    ASSERT_EQ(128u, tag.size());
    const std::string year = std::to_string(CurrentYear());
    EXPECT_EQ(std::string("TAG") + std::string(30, 'T') + "Caf\xE9 ?" + std::string(24, '\0') +
                  "0123456789abcdefghijABCDEFGHIJ" + year,
              std::string(tag.begin(), tag.begin() + 97));
    EXPECT_EQ(CReceiverMP3::TAG_COMMENT, TagField(tag, 97, 28));
    EXPECT_EQ(std::vector<uint8_t>(3, 0), std::vector<uint8_t>(tag.begin() + 125, tag.end()));

    DecodedAudio decoded = DecodeFile(path);
    EXPECT_EQ((std::vector<std::string>{std::string(30, 'T'), "Caf\xE9 ?", "0123456789abcdefghijABCDEFGHIJ", year}),
              (std::vector<std::string>{decoded.tags["title"], decoded.tags["artist"], decoded.tags["album"],
                                        decoded.tags["date"]})) << decoded.error;

    // A long title stays in its 30 bytes: the empty artist and album fields after it stay all zero.
    theSettings.Title = std::string(35, 'L');
    theSettings.Artist.clear();
    theSettings.AlbumTitle.clear();
    tag = WalkMp3File(Record(192, StereoTone(1.0, 1000))).id3v1;
    ASSERT_EQ(128u, tag.size());
    EXPECT_EQ(std::string(30, 'L') + std::string(60, '\0'), std::string(tag.begin() + 3, tag.begin() + 93));

    // The decoder delays the signal by the encoder's and its own delay (576 + 529 samples);
    // the last 20 ms of the input must be there, and at full level.
    const size_t nEnd = 3 * 44100 + 576 + 529;
    ASSERT_GE(decoded.firstChannel.size(), nEnd) << decoded.error;
    std::vector<float> last(decoded.firstChannel.begin() + (nEnd - 882), decoded.firstChannel.begin() + (nEnd - 100));
    EXPECT_NEAR(0.5 / std::sqrt(2.0), Rms(last), 0.05);
}

// The recording file (its descriptor and its folder's) goes with the receiver that held it last.
TEST_F(Mp3Receiver, ADroppedReceiverClosesItsFileWithTheDataWrittenAndTheTag)
{
    std::string path = m_folder.File("dropped.mp3");
    auto CountOpenFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    auto nOpenBefore = CountOpenFiles();
    auto receiver = std::make_unique<CReceiverMP3>(192, 0);
    receiver->Output = RecordingFileFor(path);
    std::vector<uint8_t> pcm = StereoTone(2.0, 1000);
    uint32_t nWritten = receiver->Write(pcm.data(), 176400);
    nWritten += receiver->Write(pcm.data() + 176400, 176400);
    EXPECT_EQ(nOpenBefore + 2, CountOpenFiles());
    receiver.reset();
    EXPECT_EQ(nOpenBefore, CountOpenFiles());
    // The tag follows every second's frames, so an unfinished recording has it too.
    EXPECT_EQ(nWritten + 128, std::filesystem::file_size(path));
    Mp3Walk walk = WalkMp3File(path);
    EXPECT_TRUE(walk.ok) << walk.error;
    EXPECT_EQ(128u, walk.id3v1.size());
}

// A disk that fills in the middle of a second's frames: the file is cut back to the whole frames that
// leave room for the tag, and the tag follows them. The limits step through one frame's length
// (417 or 418 bytes at 128 kbit/s), so the last whole frame ends at every distance from the limit.
TEST_F(Mp3Receiver, AFullDiskLeavesWholeFramesFollowedByTheTagWhereverTheLimitFalls)
{
    theSettings.Title = "Kept to the end";
    const std::vector<uint8_t> pcm = StereoTone(3.0, 1000);
    const uint64_t nFirstLimit = 24000;
    const int nLimits = 8;
    // In a child, under each limit in turn: how many recordings the disk's error ended.
    EXPECT_EQ(std::to_string(nLimits), InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        int nCutShort = 0;
        for (int i = 0; i < nLimits; ++i)
        {
            rlimit limit{nFirstLimit + 60u * i, RLIM_INFINITY};
            nCutShort += setrlimit(RLIMIT_FSIZE, &limit) == 0 && !ThrownText([&] { Record(128, pcm); }).empty();
        }
        return std::to_string(nCutShort);
    })) << "not every recording ended with the disk's error";
    for (int i = 0; i < nLimits; ++i)
    {
        const std::string path = m_folder.File("rec" + std::to_string(i) + ".mp3");
        const uint64_t nLimit = nFirstLimit + 60u * i;
        SCOPED_TRACE("limit " + std::to_string(nLimit));
        const uint64_t nSize = std::filesystem::file_size(path);
        EXPECT_LE(nSize, nLimit);
        EXPECT_GT(nSize, nLimit - 418 - 128) << "frames that fitted were dropped";
        const Mp3Walk walk = WalkMp3File(path);
        EXPECT_TRUE(walk.ok) << walk.error;
        ASSERT_EQ(128u, walk.id3v1.size());
        EXPECT_EQ("Kept to the end", TagField(walk.id3v1, 3, 30));
    }
}

// The module is handed the area's true size and must not write past it.
TEST(Mp3Module, AnOutputAreaTooSmallIsReportedAndNeverOverrun)
{
    UseBuiltLameModule();
    CLameEncoder encoder(320, 44100, 0);
    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    std::vector<uint8_t> area(1000 + 64, 0xA5);
    uint32_t n = 0;
    EXPECT_EQ(BE_ERR_BUFFER_TOO_SMALL, encoder.EncodeChunk(reinterpret_cast<const int16_t*>(pcm.data()),
                                                           static_cast<uint32_t>(pcm.size() / 2), area.data(), 1000, n));
    for (size_t i = 1000; i < area.size(); ++i)
        ASSERT_EQ(0xA5, area[i]) << "byte " << i << " past the area was written";
}
