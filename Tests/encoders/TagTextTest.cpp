// Track texts that are not clean UTF-8 reach every format's library in the same cleaned form.
#include "EncoderFixtures.h"
#include "Mp3Frames.h"
#include "OggPages.h"
#include "ReceiverWMA.h"
#include "TagText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

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
}  // namespace
