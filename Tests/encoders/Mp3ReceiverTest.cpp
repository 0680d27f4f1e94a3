// The MP3 receiver on the real encoder module: every file is checked frame by
// frame and decoded by FFmpeg; the ID3v1 tag byte by byte.
#include "EncoderFixtures.h"
#include "Mp3Frames.h"
#include "ReceiverMP3.h"
#include "ReceiverWAV.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

namespace
{
int CurrentYear()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

// Feeds the PCM in one-second buffers, as the capture thread does, and finishes.
void EncodeSeconds(CReceiverMP3& receiver, const std::vector<uint8_t>& pcm)
{
    for (size_t pos = 0; pos < pcm.size(); pos += 176400)
        receiver.Write(pcm.data() + pos, static_cast<uint32_t>(std::min<size_t>(176400, pcm.size() - pos)));
    receiver.Finish();
}

// What every frame of every recording must be.
void ExpectRecorderFrames(const Mp3Walk& walk, int nKbps)
{
    ASSERT_TRUE(walk.ok) << walk.error;
    for (const Mp3Frame& f : walk.frames)
    {
        SCOPED_TRACE("frame at offset " + std::to_string(f.offset));
        ASSERT_EQ(10, f.version);
        ASSERT_EQ(3, f.layer);
        ASSERT_EQ(44100, f.sampleRate);
        ASSERT_EQ(nKbps, f.bitrateKbps);
        ASSERT_EQ(1, f.mode) << "joint stereo";
        ASSERT_TRUE(f.privateBit);
        ASSERT_TRUE(f.copyright);
        ASSERT_TRUE(f.original);
        ASSERT_FALSE(f.crc);
        ASSERT_EQ(0, f.emphasis);
    }
}
}  // namespace

class Mp3Receiver : public ::testing::Test
{
protected:
    void SetUp() override { UseBuiltLameModule(); }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
};

TEST_F(Mp3Receiver, EveryBitrateOfTheTableGives44100HzJointStereoFramesWithTheHeaderFlagsSet)
{
    for (int nKbps : Mp3BitrateTable)
    {
        SCOPED_TRACE(std::to_string(nKbps) + " kbit/s");
        std::string path = m_folder.File("rate" + std::to_string(nKbps) + ".mp3");
        {
            CReceiverMP3 receiver(static_cast<uint32_t>(nKbps), 0);
            receiver.FileName = path;
            EncodeSeconds(receiver, StereoTone(2.0, 1000));
            EXPECT_EQ(2, receiver.State);
        }
        // MPEG-1 has no 144 kbit/s: that choice is written at the next rate up.
        ExpectRecorderFrames(WalkMp3File(path), nKbps == 144 ? 160 : nKbps);

        DecodedAudio decoded = DecodeFile(path);
        ASSERT_TRUE(decoded.ok) << decoded.error;
        EXPECT_EQ("mp3", decoded.codec.substr(0, 3));
        EXPECT_EQ(44100, decoded.sampleRate);
        EXPECT_EQ(2, decoded.channels);
        EXPECT_GE(decoded.duration, 2.0);
        EXPECT_NEAR(1000, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
    }
}

TEST_F(Mp3Receiver, FinishKeepsTheLastPartOfTheRecording)
{
    std::string path = m_folder.File("end.mp3");
    {
        CReceiverMP3 receiver(192, 0);
        receiver.FileName = path;
        EncodeSeconds(receiver, StereoTone(3.0, 1000, 0.5));
    }
    DecodedAudio decoded = DecodeFile(path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    // The decoder delays the signal by the encoder's and its own delay (576 + 529 samples);
    // the last 20 ms of the input must be there, and at full level.
    const size_t nEnd = 3 * 44100 + 576 + 529;
    ASSERT_GE(decoded.firstChannel.size(), nEnd);
    std::vector<float> last(decoded.firstChannel.begin() + (nEnd - 882), decoded.firstChannel.begin() + (nEnd - 100));
    EXPECT_NEAR(0.5 / std::sqrt(2.0), Rms(last), 0.05);
}

TEST_F(Mp3Receiver, WriteReturnsTheMp3BytesItAddedToTheFile)
{
    std::string path = m_folder.File("count.mp3");
    uint64_t nReported = 0;
    {
        CReceiverMP3 receiver(128, 0);
        receiver.FileName = path;
        std::vector<uint8_t> pcm = StereoTone(3.0, 440);
        for (size_t pos = 0; pos < pcm.size(); pos += 176400)
            nReported += receiver.Write(pcm.data() + pos, 176400);
        EXPECT_EQ(nReported, std::filesystem::file_size(path));
        receiver.Finish();
    }
    // One second at 128 kbit/s is 16000 bytes.
    EXPECT_NEAR(3 * 16000.0, static_cast<double>(nReported), 2 * 418.0);
    EXPECT_GT(std::filesystem::file_size(path), nReported + 128);
}

class Mp3Tag : public Mp3Receiver
{
protected:
    // Records a second and returns the 128 bytes at the end of the file.
    std::vector<uint8_t> TagOfRecording()
    {
        m_path = m_folder.File("tag" + std::to_string(m_nFiles++) + ".mp3");
        {
            CReceiverMP3 receiver(192, 0);
            receiver.FileName = m_path;
            EncodeSeconds(receiver, StereoTone(1.0, 1000));
        }
        Mp3Walk walk = WalkMp3File(m_path);
        EXPECT_TRUE(walk.ok) << walk.error;
        EXPECT_TRUE(walk.hasId3v1);
        return walk.id3v1;
    }

    std::string m_path;
    int m_nFiles = 0;
};

TEST_F(Mp3Tag, CarriesTheTrackInformationWhereAnIndependentReaderFindsIt)
{
    theSettings.Title = "A Title";
    theSettings.Artist = "An Artist";
    theSettings.AlbumTitle = "An Album";
    theSettings.YearIndex = 9;
    std::vector<uint8_t> tag = TagOfRecording();
    ASSERT_EQ(128u, tag.size());
    EXPECT_EQ(0, std::memcmp(tag.data(), "TAG", 3));
    EXPECT_EQ("A Title", TagField(tag, 3, 30));
    EXPECT_EQ("An Artist", TagField(tag, 33, 30));
    EXPECT_EQ("An Album", TagField(tag, 63, 30));
    EXPECT_EQ(std::to_string(CurrentYear()), TagField(tag, 93, 4));

    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ("A Title", decoded.tags["title"]);
    EXPECT_EQ("An Artist", decoded.tags["artist"]);
    EXPECT_EQ("An Album", decoded.tags["album"]);
    EXPECT_EQ(std::to_string(CurrentYear()), decoded.tags["date"]);
}

TEST_F(Mp3Tag, EmptyTextsLeaveTheirThreeFieldsAllZero)
{
    theSettings.Title.clear();
    theSettings.Artist.clear();
    theSettings.AlbumTitle.clear();
    std::vector<uint8_t> tag = TagOfRecording();
    ASSERT_EQ(128u, tag.size());
    for (size_t i = 3; i < 93; ++i)
        ASSERT_EQ(0, tag[i]) << "byte " << i;
}

TEST_F(Mp3Tag, TextsLongerThanTheirFieldAreCutWithoutATerminatingZero)
{
    theSettings.AlbumTitle = "0123456789abcdefghijABCDEFGHIJklmnopqrst";  // 40 characters
    theSettings.Title = std::string(30, 'T');
    theSettings.Artist = "Short";
    std::vector<uint8_t> tag = TagOfRecording();
    ASSERT_EQ(128u, tag.size());
    EXPECT_EQ(0, std::memcmp(tag.data() + 63, "0123456789abcdefghijABCDEFGHIJ", 30));
    EXPECT_EQ(0, std::memcmp(tag.data() + 3, std::string(30, 'T').data(), 30));
    EXPECT_EQ(0, std::memcmp(tag.data() + 33, "Short", 5));
    for (size_t i = 33 + 5; i < 63; ++i)
        EXPECT_EQ(0, tag[i]) << "byte " << i;
    // The year follows the album's last character directly.
    EXPECT_EQ(std::to_string(CurrentYear()), TagField(tag, 93, 4));
}

TEST_F(Mp3Tag, TheYearFollowsTheYearIndex)
{
    theSettings.YearIndex = 0;
    EXPECT_EQ(std::to_string(CurrentYear() - 9), TagField(TagOfRecording(), 93, 4));
    theSettings.YearIndex = 9;
    EXPECT_EQ(std::to_string(CurrentYear()), TagField(TagOfRecording(), 93, 4));
    theSettings.YearIndex = 4;
    EXPECT_EQ(std::to_string(CurrentYear() - 5), TagField(TagOfRecording(), 93, 4));
}

TEST_F(Mp3Tag, TheCommentFitsItsFieldAndTheLastThreeBytesAreZero)
{
    std::vector<uint8_t> tag = TagOfRecording();
    ASSERT_EQ(128u, tag.size());
    std::string comment = TagField(tag, 97, 28);
    EXPECT_FALSE(comment.empty());
    EXPECT_LE(std::strlen(CReceiverMP3::TAG_COMMENT), 28u);
    EXPECT_EQ(CReceiverMP3::TAG_COMMENT, comment);
    EXPECT_EQ(0, tag[125]);
    EXPECT_EQ(0, tag[126]);
    EXPECT_EQ(0, tag[127]);
}

TEST_F(Mp3Tag, AccentedTextsAreWrittenInTheTagsOwnSingleByteCharacters)
{
    theSettings.Title = "Caf\xC3\xA9 \xE2\x82\xAC";  // "Café €": the euro sign has no place in Latin-1
    std::vector<uint8_t> tag = TagOfRecording();
    ASSERT_EQ(128u, tag.size());
    EXPECT_EQ(std::string("Caf\xE9 ?"), TagField(tag, 3, 30));
    // FFmpeg hands ID3v1 texts on as their bytes.
    DecodedAudio decoded = DecodeFile(m_path);
    EXPECT_EQ("Caf\xE9 ?", decoded.tags["title"]);
}

class Mp3Lifecycle : public Mp3Receiver
{
};

TEST_F(Mp3Lifecycle, AReceiverThatWasGivenNothingLeavesNoFile)
{
    std::string path = m_folder.File("none.mp3");
    {
        CReceiverMP3 receiver(192, 0);
        receiver.FileName = path;
        EXPECT_EQ(0u, receiver.Write(nullptr, 0));
        receiver.Finish();
        EXPECT_EQ(0, receiver.State);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Mp3Lifecycle, ADroppedReceiverClosesItsFileWithTheDataWritten)
{
    std::string path = m_folder.File("dropped.mp3");
    int nOpenBefore = CountOpenFiles();
    auto receiver = std::make_unique<CReceiverMP3>(192, 0);
    receiver->FileName = path;
    std::vector<uint8_t> pcm = StereoTone(2.0, 1000);
    uint32_t nWritten = receiver->Write(pcm.data(), 176400);
    nWritten += receiver->Write(pcm.data() + 176400, 176400);
    EXPECT_EQ(1, receiver->State);
    EXPECT_EQ(nOpenBefore + 1, CountOpenFiles());
    receiver.reset();
    EXPECT_EQ(nOpenBefore, CountOpenFiles());
    EXPECT_EQ(nWritten, std::filesystem::file_size(path));
    Mp3Walk walk = WalkMp3File(path);
    EXPECT_TRUE(walk.ok) << walk.error;
    EXPECT_FALSE(walk.hasId3v1);
}

TEST_F(Mp3Lifecycle, AFileThatCannotBeCreatedIsReportedAtTheFirstData)
{
    CReceiverMP3 receiver(192, 0);
    receiver.FileName = m_folder.File("no/such/folder/x.mp3");
    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    const char* pszThrown = nullptr;
    try
    {
        receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    }
    catch (const char* pszText)
    {
        pszThrown = pszText;
    }
    ASSERT_NE(nullptr, pszThrown);
    EXPECT_STREQ("Can't create MP3 file.", pszThrown);
    EXPECT_EQ(0, receiver.State);
}

TEST_F(Mp3Lifecycle, AFullDiskEndsTheRecordingWithItsMessage)
{
    CReceiverMP3 receiver(192, 0);
    receiver.FileName = "/dev/full";
    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    const char* pszEnded = nullptr;
    try
    {
        receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    }
    catch (const CRecordingEnded& ended)
    {
        pszEnded = ended.szMessage;
    }
    EXPECT_EQ(MSG_DISK_FULL, pszEnded);
    EXPECT_NO_THROW(receiver.Finish());
    EXPECT_EQ(2, receiver.State);
}

TEST_F(Mp3Lifecycle, NothingIsAddedAfterFinish)
{
    std::string path = m_folder.File("after.mp3");
    CReceiverMP3 receiver(192, 0);
    receiver.FileName = path;
    std::vector<uint8_t> pcm = StereoTone(1.0, 1000);
    EncodeSeconds(receiver, pcm);
    auto nSize = std::filesystem::file_size(path);
    EXPECT_EQ(0u, receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size())));
    receiver.Finish();
    EXPECT_EQ(nSize, std::filesystem::file_size(path));
}
