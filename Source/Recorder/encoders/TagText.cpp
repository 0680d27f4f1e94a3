#include "TagText.h"

#include "Utf8.h"

const char* const REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";


std::string CleanTagText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;)
    {
        uint32_t cp = 0;
        size_t len = Utf8CharacterLength(p + i, n - i, cp);
        if (len == 0)
        {
            out += REPLACEMENT_CHARACTER;
            ++i;
            continue;
        }
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F))
            out += ' ';
        else
            out.append(text, i, len);
        i += len;
    }
    return out;
}
