// The receivers on the real encoder libraries, each file judged independently: WAV byte layout and a header
// right after every buffer, MP3 frames and the ID3v1 tag byte by byte, OGG bitrates, refused settings and
// comments; what the file keeps when it cannot grow; and track texts that are not clean UTF-8 reaching every
// format's library in the same cleaned form.
#include "RecordingStart.h"
#include "EncoderFixtures.h"
#include "LameEncoder.h"
#include "Mp3Frames.h"
#include "OggPages.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "ReceiverWAV.h"
#include "ReceiverWMA.h"
#include "RecordingFiles.h"
#include "TagText.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <memory>
#include <tuple>
#include <sys/resource.h>

namespace
{
WAVEFORMATEX Pcm(WORD nChannels, DWORD nRate, WORD nBits)
{
    const WORD nAlign = static_cast<WORD>(nChannels * nBits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, nChannels, nRate, nAlign * nRate, nAlign, nBits, 0};
}

class CReceiverTest : public ::testing::Test
{
protected:
    void SetUp() override { UseBuiltLameModule(); }

    // A WAV receiver on m_path for capture in that format.
    void Prepare(CReceiverWAV& receiver, const WAVEFORMATEX& f)
    {
        receiver.Output = RecordingFileFor(m_path);
        receiver.CaptureFormat = f;
        receiver.FormatSet = 1;
    }
    // Records the PCM in one-second buffers, as the capture thread does, into a new MP3 file tagged as the
    // settings are now.
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
    // An OGG receiver with its libraries loaded, opened on a new file of the folder (then m_path).
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
    std::string m_path = m_folder.File("Audio0.wav");
    uint32_t m_nBitrate = 0;
    int m_nFiles = 0;
};
using WavReceiver = CReceiverTest;
using Mp3Receiver = CReceiverTest;
using OggReceiver = CReceiverTest;
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

TEST(TagText, BytesThatAreNotUtf8BecomeReplacementCharactersAndControlsSpaces)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},  // kept as it is
        {"Caf\xE9", "Caf\xEF\xBF\xBD"},                      // Latin-1
        {"\x80x", "\xEF\xBF\xBDx"},                          // a stray continuation byte
        {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},            // a cut sequence
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},            // an overlong '/'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::string("a\0b\tc\nd\x1B[0m\x7F", 12) + "\xC2\x85" + "e", "a b c d [0m  e"},  // C0, DEL and C1
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CleanTagText(in), out) << in;
}

// A title from a hand-edited configuration (a Latin-1 byte, a cut sequence, controls) is stored cleaned
// in every format; Latin-1 has no replacement character, so the MP3 tag has '?' for each.
TEST(HostileTags, EveryFormatStoresTheSameCleanedText)
{
    CSettingsScope settings;
    CTempFolder folder{TestFolderName()};
    const std::vector<uint8_t> second = StereoTone(1.0, 1000);
    theSettings.Title = "Tide\xE9\xE2\x82 one\ntwo\x1B[31m";
    const std::string clean = "Tide\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD one two [31m";
    for (const char* pszFormat : {"mp3", "ogg", "wma"})
    {
        const std::string path = folder.File(std::string("a.") + pszFormat);
        std::shared_ptr<IReceiver> receiver = PreparedReceiver(pszFormat, path);
        ASSERT_TRUE(receiver) << pszFormat;
        receiver->Write(second.data(), static_cast<uint32_t>(second.size()));
        receiver->Finish();
    }
    CReceiverWMA::SetModuleFolder("");
    EXPECT_EQ(TagField(WalkMp3File(folder.File("a.mp3")).id3v1, 3, 30), "Tide??? one two [31m");
    OggWalk walk = WalkOggFile(folder.File("a.ogg"));
    ASSERT_TRUE(walk.ok && walk.packets.size() >= 2) << walk.error;
    std::vector<std::string> comments = VorbisComments(walk.packets[1]);
    EXPECT_NE(std::find(comments.begin(), comments.end(), "TITLE=" + clean), comments.end());
    EXPECT_EQ(DecodeFile(folder.File("a.wma")).tags["Title"], clean);
}
