// The UTF-8 rules every layer shares: a text cut anywhere keeps whole characters only,
// and a malformed byte is never read as a character.
#include "Utf8.h"

#include <gtest/gtest.h>

namespace
{
// True when the text is a sequence of whole, well-formed UTF-8 characters.
bool WholeCharacters(const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();)
    {
        uint32_t cp = 0;
        const size_t len = Utf8CharacterLength(p + i, text.size() - i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}
}  // namespace

// A field of 255 bytes cut through a character of each length, at every byte of it.
TEST(Utf8, ACutAnywhereKeepsWholeCharactersAndNothingOfTheCutOne)
{
    for (const std::string character : {"\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5"})
    {
        const std::string text = "ab" + character + "cd";
        for (size_t nMax = 0; nMax <= text.size(); ++nMax)
        {
            const std::string cut = CutUtf8(text, nMax);
            EXPECT_TRUE(WholeCharacters(cut)) << character.size() << "-byte character, cut at " << nMax;
            EXPECT_LE(cut.size(), nMax);
            EXPECT_EQ(nMax >= 2 + character.size() ? nMax : std::min<size_t>(nMax, 2), cut.size());
        }
    }
}

TEST(Utf8, OnlyWellFormedCharactersAreRead)
{
    const struct
    {
        std::string bytes;
        size_t length;
        uint32_t codePoint;
    } cases[] = {
        {"A", 1, 'A'},
        {"\xC3\xA4", 2, 0xE4},
        {"\xF0\x9F\x8E\xB5", 4, 0x1F3B5},
        {"\x80", 0, 0},              // a stray continuation byte
        {"\xC3", 0, 0},              // cut short
        {"\xC0\x80", 0, 0},          // overlong
        {"\xED\xA0\x80", 0, 0},      // a surrogate
        {"\xF4\x90\x80\x80", 0, 0},  // above U+10FFFF
    };
    for (const auto& c : cases)
    {
        uint32_t cp = 0;
        const size_t len =
            Utf8CharacterLength(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), cp);
        EXPECT_EQ(c.length, len) << c.bytes.size() << " bytes";
        if (len)
            EXPECT_EQ(c.codePoint, cp);
    }
}
