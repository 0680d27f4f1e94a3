// The rename rules on any typed text: a name they let through never leaves its
// folder, hides the file or carries a control character.
#include "DlgRename.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string typed(reinterpret_cast<const char*>(pData), nSize);
    const std::string name = KeepExtension(typed, "wav");
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".wav") != 0)
        std::abort();
    const std::vector<std::string> others{"Audio1.wav"};
    for (const std::string& candidate : {typed, name})
    {
        if (!RefusalOfNewName(candidate, "Audio0.wav", others).empty())
            continue;
        // Two dots inside a name are fine; a separator or a leading dot ("..", ".hidden") is not.
        if (candidate.empty() || candidate[0] == '.' || candidate.find('/') != std::string::npos ||
            candidate.size() > RENAME_MAX_NAME_BYTES ||
            candidate == "Audio0.wav" || candidate == "Audio1.wav")
            std::abort();
        for (unsigned char c : candidate)
            if (c < 0x20 || c == 0x7f)
                std::abort();
    }
    return 0;
}
