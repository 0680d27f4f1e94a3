#include "Utf8.h"

const char* const REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";

size_t Utf8CharacterLength(const unsigned char* p, size_t n, uint32_t& cp)
{
    const unsigned char c = p[0];
    size_t len;
    uint32_t min;
    if (c < 0x80)
    {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0)
        len = 2, cp = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        len = 3, cp = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        len = 4, cp = c & 0x07, min = 0x10000;
    else
        return 0;
    if (len > n)
        return 0;
    for (size_t k = 1; k < len; ++k)
    {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::string CutUtf8(const std::string& text, size_t nMaxBytes)
{
    if (text.size() <= nMaxBytes)
        return text;
    size_t n = nMaxBytes;
    // Step back over the continuation bytes (10xxxxxx) of the cut character, to its lead byte.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

std::string RepairUtf8(const std::string& text, Utf8CharacterReplacer replace)
{
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;)
    {
        uint32_t cp = 0;
        const size_t len = Utf8CharacterLength(p + i, n - i, cp);
        if (len == 0)
        {
            out += REPLACEMENT_CHARACTER;
            ++i;
            continue;
        }
        if (const char* pszInstead = replace(cp))
            out += pszInstead;
        else
            out.append(text, i, len);
        i += len;
    }
    return out;
}
