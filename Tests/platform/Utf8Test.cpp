// A text cut anywhere keeps whole characters only. (Which bytes are read as a character:
// Tests/encoders/ReceiverTest, through the tag cleaner every format uses.)
#include "Utf8.h"

#include <gtest/gtest.h>

// A field cut through a character of each length, at every byte of it: nothing of the cut
// character stays, so no lone lead byte of a 4-byte character ends a field.
TEST(Utf8, ACutAnywhereKeepsWholeCharactersAndNothingOfTheCutOne)
{
    for (const std::string character : {"\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x8E\xB5"})
    {
        const std::string text = "ab" + character + "cd";
        for (size_t nMax = 0; nMax <= text.size(); ++nMax)
        {
            const size_t nKept = nMax >= 2 + character.size() ? nMax : std::min<size_t>(nMax, 2);
            EXPECT_EQ(text.substr(0, nKept), CutUtf8(text, nMax)) << character.size() << "-byte character, cut at " << nMax;
        }
    }
}
