#include "TagText.h"

#include "Utf8.h"

std::string CleanTagText(const std::string& text)
{
    return RepairUtf8(text, [](uint32_t cp) -> const char* {
        return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) ? " " : nullptr;
    });
}
