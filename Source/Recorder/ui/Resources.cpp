#include "Resources.h"

#include "MenuBitmaps.h"

#include <map>

namespace
{
struct BitmapEntry
{
    std::function<wxBitmap()> maker;
    wxBitmap bitmap;
};

std::map<unsigned, BitmapEntry>& Bitmaps()
{
    static std::map<unsigned, BitmapEntry> bitmaps = [] {
        std::map<unsigned, BitmapEntry> builtIn;
        for (const MenuBitmapSpec& spec : MenuBitmapTable())
            builtIn[spec.nId].maker = spec.maker;
        return builtIn;
    }();
    return bitmaps;
}

std::map<unsigned, std::string>& Strings()
{
    static std::map<unsigned, std::string> strings;
    return strings;
}
}  // namespace

wxBitmap LoadBitmapResource(unsigned nId)
{
    auto it = Bitmaps().find(nId);
    if (it == Bitmaps().end())
        return wxBitmap();
    if (!it->second.bitmap.IsOk() && it->second.maker)
        it->second.bitmap = it->second.maker();
    return it->second.bitmap;
}

void RegisterBitmapResource(unsigned nId, std::function<wxBitmap()> maker)
{
    Bitmaps()[nId] = BitmapEntry{std::move(maker), wxBitmap()};
}

std::string LoadStringResource(unsigned nId)
{
    auto it = Strings().find(nId);
    return it == Strings().end() ? std::string() : it->second;
}

void RegisterStringResource(unsigned nId, const std::string& text)
{
    Strings()[nId] = text;
}
