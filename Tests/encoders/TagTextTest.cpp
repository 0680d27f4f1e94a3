// Track texts that are not clean UTF-8 reach every format's library in the same cleaned form.
#include "EncoderFixtures.h"
#include "Mixer.h"
#include "Mp3Frames.h"
#include "OggPages.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "ReceiverWMA.h"
#include "TagText.h"
#include "TestSupport.h"
#include "WaveIn.h"

#include <gtest/gtest.h>


namespace
{
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

// A title from a hand-edited configuration: a Latin-1 byte, a cut sequence, controls.
const std::string HOSTILE_TITLE = std::string("Tide\xE9\xE2\x82 one\ntwo\x1B[31m");
const std::string CLEAN_TITLE = "Tide\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD one two [31m";

TEST(HostileTags, EveryFormatStoresTheSameCleanedText)
{
    CSettingsScope settings;
    CMessageRecorder messages;
    CTempFolder m_folder{TestFolderName()};
    const std::vector<uint8_t> m_second = StereoTone(1.0, 1000);
    theSettings.Title = HOSTILE_TITLE;
    theSettings.Artist.clear();
    theSettings.AlbumTitle.clear();
    theSettings.OggMode = 0;
    theSettings.OggQuality = 400;
    theSettings.WmaMode = 0;
    theSettings.WmaBitrateIndex = 2;
    {
        UseBuiltLameModule();
        CReceiverMP3 mp3(128, 0);
        mp3.FileName = m_folder.File("a.mp3");
        mp3.Write(m_second.data(), static_cast<uint32_t>(m_second.size()));
        mp3.Finish();
        // Latin-1 has no replacement character: each becomes '?'.
        EXPECT_EQ(TagField(WalkMp3File(mp3.FileName).id3v1, 3, 30), "Tide??? one two [31m");
    }
    {
        CReceiverOGG ogg;
        ASSERT_TRUE(ogg.LoadLibraries());
        ogg.FileName = m_folder.File("a.ogg");
        uint32_t nBitrate = 0;
        ASSERT_EQ(ogg.Open(&nBitrate), 0);
        ogg.Write(m_second.data(), static_cast<uint32_t>(m_second.size()));
        ogg.Finish();
        OggWalk walk = WalkOggFile(ogg.FileName);
        ASSERT_TRUE(walk.ok) << walk.error;
        ASSERT_GE(walk.packets.size(), 2u);
        std::vector<std::string> comments = VorbisComments(walk.packets[1]);
        EXPECT_NE(std::find(comments.begin(), comments.end(), "TITLE=" + CLEAN_TITLE), comments.end());
    }
    {
        CReceiverWMA::SetModuleFolder(VORANE_APP_DIR);
        CReceiverWMA wma;
        ASSERT_TRUE(wma.LoadLibraries());
        wma.FileName = m_folder.File("a.wma");
        uint32_t nBitrate = 0;
        ASSERT_EQ(wma.Open(&nBitrate), 0) << wma.OpenFailure();
        wma.Write(m_second.data(), static_cast<uint32_t>(m_second.size()));
        wma.Finish();
        CReceiverWMA::SetModuleFolder("");
        EXPECT_EQ(DecodeFile(wma.FileName).tags["Title"], CLEAN_TITLE);
    }
}
}  // namespace
