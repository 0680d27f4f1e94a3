// The OGG receiver on the real Vorbis libraries: the bitrate each mode reports,
// the settings it refuses, the comments, the pages, and what happens on the way.
#include "EncoderFixtures.h"
#include "OggPages.h"
#include "ReceiverOGG.h"
#include "ReceiverWAV.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sys/resource.h>

namespace
{
int CurrentYear()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

int IndexOfBitrate(int nKbps)
{
    for (int i = 0; i < TableSize(OggBitrateTable); ++i)
        if (OggBitrateTable[i] == nKbps)
            return i;
    return -1;
}
}  // namespace

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

    // Feeds the PCM in one-second buffers and finishes; returns the bytes Write reported.
    static uint64_t Encode(CReceiverOGG& receiver, const std::vector<uint8_t>& pcm)
    {
        uint64_t n = 0;
        for (size_t pos = 0; pos < pcm.size(); pos += 176400)
            n += receiver.Write(pcm.data() + pos, static_cast<uint32_t>(std::min<size_t>(176400, pcm.size() - pos)));
        receiver.Finish();
        return n;
    }

    // The text Open throws, or null.
    const char* OpenFailure()
    {
        CReceiverOGG receiver;
        EXPECT_TRUE(receiver.LoadLibraries());
        receiver.FileName = m_path = m_folder.File("refused.ogg");
        uint32_t nBitrate = 12345;
        try
        {
            receiver.Open(&nBitrate);
        }
        catch (const char* pszText)
        {
            EXPECT_EQ(12345u, nBitrate) << "a refused set-up reports no bitrate";
            EXPECT_EQ(0, receiver.State);
            std::vector<uint8_t> pcm = StereoTone(1.0, 440);
            EXPECT_EQ(0u, receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size())));
            receiver.Finish();
            return pszText;
        }
        return nullptr;
    }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    std::string m_path;
    int m_nFiles = 0;
};

TEST_F(OggReceiver, EachModeReportsTheBitrateOfItsSettings)
{
    struct Case
    {
        int mode, quality, minimum, nominal, maximum;
        uint32_t expected;
    } cases[] = {
        {0, 400, 0, 4, 8, 128000}, {0, 500, 0, 4, 8, 160000}, {0, 900, 0, 4, 8, 320000},
        {0, 1000, 0, 4, 8, 500000}, {0, 0, 0, 4, 8, 64000},    {3, 400, 0, 4, 8, 128000},
        {2, 400, 0, 6, 8, 192000},  {1, 400, 64, 4, 256, 160000}, {1, 400, 128, 4, 128, 128000},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", quality " + std::to_string(c.quality));
        theSettings.OggMode = c.mode;
        theSettings.OggQuality = c.quality;
        theSettings.OggNominalBitrateIndex = c.nominal;
        if (c.mode == 1)
        {
            theSettings.OggMinBitrateIndex = IndexOfBitrate(c.minimum);
            theSettings.OggMaxBitrateIndex = IndexOfBitrate(c.maximum);
        }
        uint32_t nBitrate = 0;
        auto receiver = Opened(&nBitrate);
        EXPECT_EQ(c.expected, nBitrate);
        EXPECT_EQ(1, receiver->State);
        receiver->Finish();
    }
}

TEST_F(OggReceiver, TheEstimateForQualityModeFollowsItsFourRanges)
{
    EXPECT_EQ(64, OggQualityBitrate(0));
    EXPECT_EQ(128, OggQualityBitrate(400));
    EXPECT_EQ(160, OggQualityBitrate(500));
    EXPECT_EQ(256, OggQualityBitrate(800));
    EXPECT_EQ(320, OggQualityBitrate(900));
    EXPECT_EQ(500, OggQualityBitrate(1000));
    EXPECT_EQ(137, OggQualityBitrate(430));  // 4.3 * 32 = 137.6, cut to 137
}

TEST_F(OggReceiver, ConstantBitrateModeEncodesNearItsBitrate)
{
    theSettings.OggMode = 3;
    theSettings.OggNominalBitrateIndex = 4;  // 128 kbit/s
    auto receiver = Opened();
    Encode(*receiver, StereoTone(4.0, 1000));
    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(128000, decoded.bitRate);  // the stream's nominal rate
    double dActual = std::filesystem::file_size(m_path) * 8.0 / decoded.duration;
    EXPECT_NEAR(128000, dActual, 128000 * 0.15);
}

TEST_F(OggReceiver, AMinimumAboveTheMaximumIsRefusedWithAReasonAndNothingIsWritten)
{
    theSettings.OggMode = 1;
    theSettings.OggMinBitrateIndex = 8;  // 256
    theSettings.OggMaxBitrateIndex = 2;  // 96
    const char* pszText = OpenFailure();
    EXPECT_EQ(MSG_OGG_MIN_ABOVE_MAX, pszText);
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

TEST_F(OggReceiver, SettingsOutsideTheirTablesAreRefusedWithAReason)
{
    theSettings.OggMode = 2;
    theSettings.OggNominalBitrateIndex = 11;
    EXPECT_EQ(MSG_OGG_SETUP_FAILED, OpenFailure());
    theSettings.OggMode = 0;
    theSettings.OggQuality = 5000;  // the encoder stops at quality 10
    EXPECT_EQ(MSG_OGG_SETUP_FAILED, OpenFailure());
    theSettings.OggMode = 7;
    EXPECT_EQ(MSG_OGG_SETUP_FAILED, OpenFailure());
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

TEST_F(OggReceiver, EmptyTextsLeaveOnlyTheDate)
{
    theSettings.AlbumTitle.clear();
    theSettings.Title.clear();
    theSettings.Artist.clear();
    theSettings.YearIndex = 3;
    auto receiver = Opened();
    Encode(*receiver, StereoTone(1.0, 440));
    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    ASSERT_GE(walk.packets.size(), 3u);
    VorbisComments comments = ParseVorbisComments(walk.packets[1]);
    ASSERT_TRUE(comments.ok);
    ASSERT_EQ(1u, comments.fields.size());
    EXPECT_EQ("DATE", comments.fields[0].first);
    EXPECT_EQ(std::to_string(CurrentYear() - 6), comments.fields[0].second);
}

TEST_F(OggReceiver, TheCommentsCarryTheTrackInformationInTheirOrder)
{
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = "The Title";
    theSettings.Artist = "The Artist";
    theSettings.YearIndex = 9;
    auto receiver = Opened();
    Encode(*receiver, StereoTone(1.0, 440));
    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    VorbisComments comments = ParseVorbisComments(walk.packets[1]);
    ASSERT_TRUE(comments.ok);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"ALBUM", std::string(255, 'a')},
        {"TITLE", "The Title"},
        {"ARTIST", "The Artist"},
        {"DATE", std::to_string(CurrentYear())},
    };
    EXPECT_EQ(expected, comments.fields);

    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(std::string(255, 'a'), decoded.tags["ALBUM"]);
    EXPECT_EQ("The Artist", decoded.tags["ARTIST"]);
}

TEST_F(OggReceiver, ACutTextNeverEndsInTheMiddleOfACharacter)
{
    theSettings.Title = std::string(254, 'x') + "\xC3\xA9";  // the accented letter would straddle the cut
    auto receiver = Opened();
    Encode(*receiver, StereoTone(1.0, 440));
    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    VorbisComments comments = ParseVorbisComments(walk.packets[1]);
    ASSERT_TRUE(comments.ok);
    ASSERT_EQ("TITLE", comments.fields[1].first);
    EXPECT_EQ(std::string(254, 'x'), comments.fields[1].second);
}

TEST_F(OggReceiver, TheStreamEndsWithExactlyOneEndOfStreamPage)
{
    auto receiver = Opened();
    uint64_t nReported = Encode(*receiver, StereoTone(5.0, 440));
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
    // The header pages are not counted by Write; the audio pages written before Finish are.
    EXPECT_LT(nReported, std::filesystem::file_size(m_path));
    EXPECT_GT(nReported, 0u);
    // The last granule position is the number of samples encoded.
    EXPECT_EQ(5 * 44100, walk.pages.back().granule);
}

TEST_F(OggReceiver, TheHeadersHaveTheirOwnPagesAndTheAudioIsWrittenAsItComes)
{
    auto receiver = Opened();
    OggWalk headers = WalkOggFile(m_path);
    ASSERT_TRUE(headers.ok) << headers.error;
    EXPECT_EQ(3u, headers.packets.size());
    std::vector<uint8_t> pcm = StereoTone(3.0, 440);
    uint32_t nFirst = receiver->Write(pcm.data(), 176400);
    uint32_t nSecond = receiver->Write(pcm.data() + 176400, 176400);
    EXPECT_GT(nFirst + nSecond, 0u);
    EXPECT_EQ(std::filesystem::file_size(m_path), ReadFileBytes(m_path).size());
    EXPECT_GT(std::filesystem::file_size(m_path), headers.pages.back().offset + headers.pages.back().length);
    receiver->Finish();
}

TEST_F(OggReceiver, AnEmptyBufferDoesNotEndTheStream)
{
    auto receiver = Opened();
    std::vector<uint8_t> pcm = StereoTone(3.0, 440);
    receiver->Write(pcm.data(), 176400);
    EXPECT_EQ(0u, receiver->Write(pcm.data(), 0));
    receiver->Write(pcm.data() + 176400, 176400);
    receiver->Write(pcm.data() + 2 * 176400, 176400);
    receiver->Finish();
    DecodedAudio decoded = DecodeFile(m_path);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_NEAR(3.0, decoded.duration, 0.01);
    EXPECT_NEAR(440, DominantFrequency(decoded.firstChannel, decoded.sampleRate), 10);
}

TEST_F(OggReceiver, AFileThatCannotBeCreatedAbandonsTheStartAndLeavesTheReceiverUsable)
{
    CReceiverOGG receiver;
    ASSERT_TRUE(receiver.LoadLibraries());
    receiver.FileName = m_folder.File("no/such/folder/x.ogg");
    uint32_t nBitrate = 0;
    EXPECT_EQ(-1, receiver.Open(&nBitrate));
    EXPECT_EQ(0, receiver.State);
    std::vector<uint8_t> pcm = StereoTone(1.0, 440);
    EXPECT_EQ(0u, receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size())));
    // The set-up made before the failure was released: the same receiver opens cleanly.
    receiver.FileName = m_path = m_folder.File("second.ogg");
    ASSERT_EQ(0, receiver.Open(&nBitrate));
    Encode(receiver, pcm);
    EXPECT_TRUE(WalkOggFile(m_path).ok);
}

TEST_F(OggReceiver, AFullDiskEndsTheRecordingAndTheFileStillClosesCleanly)
{
    auto receiver = Opened();
    // A size limit for this process stands in for a full disk.
    struct sigaction ignore{}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = std::filesystem::file_size(m_path) + 20000;
    setrlimit(RLIMIT_FSIZE, &limited);

    std::vector<uint8_t> pcm = StereoTone(10.0, 440);
    const char* pszEnded = nullptr;
    try
    {
        for (size_t pos = 0; pos < pcm.size(); pos += 176400)
            receiver->Write(pcm.data() + pos, 176400);
    }
    catch (const CRecordingEnded& ended)
    {
        pszEnded = ended.szMessage;
    }
    EXPECT_NO_THROW(receiver->Finish());
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(MSG_DISK_FULL, pszEnded);
    EXPECT_EQ(0, receiver->State);
    EXPECT_LE(std::filesystem::file_size(m_path), limited.rlim_cur);
}

TEST_F(OggReceiver, ADroppedReceiverClosesItsFile)
{
    int nOpenBefore = CountOpenFiles();
    auto receiver = Opened();
    std::vector<uint8_t> pcm = StereoTone(1.0, 440);
    receiver->Write(pcm.data(), 176400);
    EXPECT_EQ(nOpenBefore + 1, CountOpenFiles());
    receiver.reset();
    EXPECT_EQ(nOpenBefore, CountOpenFiles());
}
