// The OGG receiver on the real Vorbis libraries: the bitrate each mode reports,
// the settings it refuses, the comments and the pages.
#include "EncoderFixtures.h"
#include "OggPages.h"
#include "ReceiverOGG.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

// The OGG settings of a case, bitrates as indexes of the table.
struct OggCase
{
    int mode, quality, minimum, nominal, maximum;
    void Apply() const
    {
        theSettings.OggMode = mode;
        theSettings.OggQuality = quality;
        theSettings.OggMinBitrateIndex = minimum;
        theSettings.OggNominalBitrateIndex = nominal;
        theSettings.OggMaxBitrateIndex = maximum;
    }
};

class OggReceiver : public ::testing::Test
{
protected:
    // A receiver with its libraries loaded, opened on a new file of the folder.
    std::unique_ptr<CReceiverOGG> Opened(uint32_t* pBitrate = nullptr)
    {
        auto receiver = std::make_unique<CReceiverOGG>();
        EXPECT_TRUE(receiver->LoadLibraries());
        receiver->FileName = m_path = m_folder.File("rec" + std::to_string(m_nFiles++) + ".ogg");
        uint32_t nBitrate = 0;
        EXPECT_EQ(0, receiver->Open(pBitrate ? pBitrate : &nBitrate));
        return receiver;
    }

    // Records a second of a tone and returns the fields of the comment header.
    std::vector<std::string> CommentsOfRecording()
    {
        auto receiver = Opened();
        std::vector<uint8_t> pcm = StereoTone(1.0, 440);
        receiver->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
        receiver->Finish();
        OggWalk walk = WalkOggFile(m_path);
        EXPECT_TRUE(walk.ok && walk.packets.size() >= 3) << walk.error;
        walk.packets.resize(std::max<size_t>(walk.packets.size(), 2));
        return VorbisComments(walk.packets[1]);
    }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    std::string m_path;
    int m_nFiles = 0;
};

TEST_F(OggReceiver, EachModeReportsTheBitrateOfItsSettings)
{
    const std::pair<OggCase, uint32_t> cases[] = {
        {{0, 400, 0, 4, 8}, 128000}, {{0, 500, 0, 4, 8}, 160000}, {{0, 900, 0, 4, 8}, 320000},
        {{0, 1000, 0, 4, 8}, 500000}, {{0, 0, 0, 4, 8}, 64000},    {{3, 400, 0, 4, 8}, 128000},
        {{2, 400, 0, 6, 8}, 192000},  {{1, 400, 0, 4, 8}, 160000}, {{1, 400, 4, 4, 4}, 128000},
    };
    for (const auto& [settings, nExpected] : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(settings.mode) + ", quality " + std::to_string(settings.quality));
        settings.Apply();
        uint32_t nBitrate = 0;
        auto receiver = Opened(&nBitrate);
        EXPECT_EQ(nExpected, nBitrate);
        EXPECT_EQ(1, receiver->State);
        receiver->Finish();
    }
}

TEST_F(OggReceiver, ASetUpTheEncoderCannotTakeIsRefusedWithAReasonAndNothingIsWritten)
{
    const std::pair<OggCase, const char*> cases[] = {
        {{1, 400, 8, 4, 2}, MSG_OGG_MIN_ABOVE_MAX},  // 256 above 96
        {{2, 400, 0, 11, 8}, MSG_OGG_SETUP_FAILED},  // outside the table
        {{0, 5000, 0, 4, 8}, MSG_OGG_SETUP_FAILED},  // the encoder stops at quality 10
        {{7, 400, 0, 4, 8}, MSG_OGG_SETUP_FAILED},
    };
    for (const auto& [settings, pszReason] : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(settings.mode));
        settings.Apply();
        CReceiverOGG receiver;
        EXPECT_TRUE(receiver.LoadLibraries());
        receiver.FileName = m_folder.File("refused.ogg");
        uint32_t nBitrate = 12345;
        EXPECT_EQ(pszReason, ThrownText([&] { receiver.Open(&nBitrate); }));
        EXPECT_EQ(12345u, nBitrate) << "a refused set-up reports no bitrate";
        EXPECT_EQ(0, receiver.State);
        std::vector<uint8_t> pcm = StereoTone(1.0, 440);
        EXPECT_EQ(0u, receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size())));
        receiver.Finish();
        EXPECT_FALSE(std::filesystem::exists(receiver.FileName));
    }
}

TEST_F(OggReceiver, TheCommentsCarryTheTrackInformationInTheirOrderCutAt255Bytes)
{
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = std::string(254, 'x') + "\xC3\xA9";  // the accented letter would straddle the cut
    theSettings.Artist = "The Artist";
    theSettings.YearIndex = 9;
    std::vector<std::string> expected = {"ALBUM=" + std::string(255, 'a'), "TITLE=" + std::string(254, 'x'),
                                         "ARTIST=The Artist", "DATE=" + std::to_string(CurrentYear())};
    EXPECT_EQ(expected, CommentsOfRecording());
    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(std::string(255, 'a'), decoded.tags["ALBUM"]);
    EXPECT_EQ("The Artist", decoded.tags["ARTIST"]);

    theSettings.AlbumTitle.clear();
    theSettings.Title.clear();
    theSettings.Artist.clear();
    theSettings.YearIndex = 3;
    expected = {"DATE=" + std::to_string(CurrentYear() - 6)};
    EXPECT_EQ(expected, CommentsOfRecording());
}

TEST_F(OggReceiver, HeadersAndAudioAreWrittenAsTheyComeAndTheStreamEndsWithExactlyOneEndOfStreamPage)
{
    auto receiver = Opened();
    OggWalk headers = WalkOggFile(m_path);
    ASSERT_TRUE(headers.ok) << headers.error;
    EXPECT_EQ(3u, headers.packets.size());
    std::vector<uint8_t> pcm = StereoTone(5.0, 440);
    uint64_t nReported = 0;
    for (size_t pos = 0; pos < pcm.size(); pos += 176400)
    {
        nReported += receiver->Write(pcm.data() + pos, 176400);
        EXPECT_EQ(0u, receiver->Write(pcm.data(), 0)) << "an empty buffer must not end the stream";
    }
    // The header pages are not counted by Write; the audio pages written before Finish are.
    EXPECT_GT(nReported, 0u);
    EXPECT_EQ(headers.pages.back().end + nReported, std::filesystem::file_size(m_path));
    receiver->Finish();
    EXPECT_EQ(0, receiver->State);

    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    int nEos = 0;
    for (const OggPageInfo& p : walk.pages)
    {
        nEos += p.Eos();
        EXPECT_EQ(walk.pages[0].serial, p.serial);
    }
    EXPECT_EQ(1, nEos);
    EXPECT_TRUE(walk.pages.back().Eos());
    EXPECT_TRUE(walk.pages.front().Bos());
    // The last granule position is the number of samples encoded.
    EXPECT_EQ(5 * 44100, walk.pages.back().granule);
}
