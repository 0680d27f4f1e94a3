// The OGG receiver on the real Vorbis libraries: bitrates, refused settings, comments, pages, and
// headers that stay in the unnamed working file until audio follows them.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "OggPages.h"
#include "ReceiverOGG.h"
#include "RecordingFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <tuple>

class OggReceiver : public ::testing::Test
{
protected:
    // A receiver with its libraries loaded, opened on a new file of the folder.
    std::unique_ptr<CReceiverOGG> Opened()
    {
        auto receiver = std::make_unique<CReceiverOGG>();
        receiver->LoadLibraries();
        receiver->Output = RecordingFileFor(m_path = m_folder.File("rec" + std::to_string(m_nFiles++) + ".ogg"));
        receiver->Tags = CurrentTrackTags();
        receiver->Open(&m_nBitrate);
        return receiver;
    }
    bool FolderIsEmpty() const { return std::filesystem::is_empty(m_folder.Path()); }

    CSettingsScope m_settings;
    CTempFolder m_folder{TestFolderName()};
    std::string m_path;
    uint32_t m_nBitrate = 0;
    int m_nFiles = 0;
};

// Each mode reports the bitrate of its settings and sets the encoder up as the identification header
// (in the working file) says (maximum, nominal, minimum); a set-up the encoder cannot take is refused
// with its reason, reports no bitrate and writes nothing. Without audio neither leaves a file.
TEST_F(OggReceiver, EachModeReportsItsBitrateAndSetsUpTheEncoderOrIsRefusedWithAReasonAndNothingWritten)
{
    struct Case
    {
        int mode, quality, minimum, nominal, maximum;  // bitrates as indexes of the table
        uint32_t nBitrate;
        std::vector<int32_t> header;
        const char* pszReason;
    };
    const std::vector<int32_t> none;
    // Quality q gives libvorbis's nominal rate for q / 10 (0.2 would give 96000).
    const Case cases[] = {
        {0, 400, 0, 4, 8, 128000, {0, 128000, 0}, nullptr},  // quality: no limits, written as 0
        {0, 1000, 0, 4, 8, 500000, {0, 499821, 0}, nullptr},
        {0, 0, 0, 4, 8, 64000, {0, 64000, 0}, nullptr},
        {3, 400, 0, 4, 8, 128000, {128000, 128000, 128000}, nullptr},  // constant: all three the same
        {2, 400, 0, 6, 8, 192000, {-1, 192000, -1}, nullptr},          // average: the nominal alone
        {1, 400, 0, 4, 8, 160000, {256000, 160000, 64000}, nullptr},   // variable: within the two
        {1, 400, 4, 4, 4, 128000, {128000, 128000, 128000}, nullptr},
        {1, 400, 8, 4, 2, 0, none, MSG_OGG_MIN_ABOVE_MAX},  // 256 above 96
        {2, 400, 0, 11, 8, 0, none, MSG_OGG_SETUP_FAILED},  // outside the table
        {0, 5000, 0, 4, 8, 0, none, MSG_OGG_SETUP_FAILED},  // the encoder stops at quality 10
        {7, 400, 0, 4, 8, 0, none, MSG_OGG_SETUP_FAILED},
    };
    std::vector<uint8_t> pcm = StereoTone(1.0, 440);
    for (const Case& c : cases)
    {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", quality " + std::to_string(c.quality));
        CReceiverOGG receiver;
        receiver.Options = OggOptions{c.mode, c.quality, c.minimum, c.nominal, c.maximum};
        receiver.LoadLibraries();
        receiver.Output = RecordingFileFor(m_folder.File("case.ogg"));
        uint32_t nBitrate = 0;
        EXPECT_EQ(c.pszReason ? c.pszReason : "", ThrownText([&] { receiver.Open(&nBitrate); }));
        EXPECT_EQ(c.nBitrate, nBitrate);
        if (c.pszReason)
        {
            EXPECT_EQ(0u, receiver.Write(pcm.data(), static_cast<uint32_t>(pcm.size())));
        }
        std::vector<int32_t> header;
        OggWalk walk = WalkOggFile(receiver.Output->DescriptorPath());
        if (walk.ok && walk.packets[0].size() >= 28)
            for (size_t offset : {16, 20, 24})
                header.push_back(static_cast<int32_t>(LE32(&walk.packets[0][offset])));
        EXPECT_EQ(c.header, header);
        receiver.Finish();
        EXPECT_TRUE(FolderIsEmpty()) << "headers alone are no recording";
    }
}

TEST_F(OggReceiver, TheCommentsCarryTheTrackInformationInTheirOrderCutAt255Bytes)
{
    theSettings.AlbumTitle = std::string(300, 'a');
    theSettings.Title = std::string(254, 'x') + "\xC3\xA9";  // the accented letter would straddle the cut
    theSettings.Artist = "The Artist";
    theSettings.YearIndex = 9;
    const std::vector<std::string> expected = {"ALBUM=" + std::string(255, 'a'), "TITLE=" + std::string(254, 'x'),
                                               "ARTIST=The Artist", "DATE=" + std::to_string(CurrentYear())};
    auto receiver = Opened();
    std::vector<uint8_t> pcm = StereoTone(1.0, 440);
    receiver->Write(pcm.data(), static_cast<uint32_t>(pcm.size()));
    receiver->Finish();
    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok && walk.packets.size() >= 3) << walk.error;
    EXPECT_EQ(expected, VorbisComments(walk.packets[1]));
    EXPECT_EQ("The Artist", DecodeFile(m_path).tags["ARTIST"]);
}

// The headers go into the working file at Open; the file takes its name with the first audio page.
TEST_F(OggReceiver, HeadersAndAudioAreWrittenAsTheyComeAndTheStreamEndsWithExactlyOneEndOfStreamPage)
{
    auto receiver = Opened();
    const std::string working = m_folder.File(WorkingFileName("rec0.ogg"));
    OggWalk headers = WalkOggFile(working);
    ASSERT_TRUE(headers.ok) << headers.error;
    EXPECT_EQ(3u, headers.packets.size());
    EXPECT_FALSE(std::filesystem::exists(m_path)) << "named before any audio";
    std::vector<uint8_t> pcm = StereoTone(5.0, 440);
    uint64_t nReported = 0;
    for (size_t pos = 0; pos < pcm.size(); pos += 176400)
    {
        nReported += receiver->Write(pcm.data() + pos, 176400);
        EXPECT_EQ(0u, receiver->Write(pcm.data(), 0)) << "an empty buffer must not end the stream";
        EXPECT_TRUE(std::filesystem::exists(m_path) && !std::filesystem::exists(working));
    }
    // The header pages are not counted by Write; the audio pages written before Finish are.
    EXPECT_GT(nReported, 0u);
    EXPECT_EQ(headers.pages.back().end + nReported, std::filesystem::file_size(m_path));
    receiver->Finish();
    EXPECT_EQ(std::make_pair(true, 5000u), std::make_pair(receiver->Output == nullptr, receiver->KeptMilliseconds()));

    OggWalk walk = WalkOggFile(m_path);
    ASSERT_TRUE(walk.ok) << walk.error;
    int nEos = 0;
    for (const OggPageInfo& p : walk.pages)
    {
        nEos += p.Eos();
        EXPECT_EQ(walk.pages[0].serial, p.serial);
    }
    EXPECT_EQ(std::make_tuple(1, true, true, int64_t{5 * 44100}),
              std::make_tuple(nEos, walk.pages.back().Eos(), walk.pages.front().Bos(),
                              static_cast<int64_t>(walk.pages.back().granule)));
}
