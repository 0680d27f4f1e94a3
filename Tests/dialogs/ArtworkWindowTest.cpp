// The recordings list's icons for the program's four formats: ours, one per
// type and each unlike the others, whatever the desktop's icon theme offers.
#include "FileTypeIcons.h"
#include "UiTestSupport.h"

#include <wx/image.h>

#include <gtest/gtest.h>

namespace
{
bool SamePixels(const wxImage& a, const wxImage& b)
{
    if (a.GetSize() != b.GetSize())
        return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            if (a.GetRed(x, y) != b.GetRed(x, y) || a.GetGreen(x, y) != b.GetGreen(x, y) ||
                a.GetBlue(x, y) != b.GetBlue(x, y) || (a.HasAlpha() ? a.GetAlpha(x, y) : 255) != (b.HasAlpha() ? b.GetAlpha(x, y) : 255))
                return false;
    return true;
}
}  // namespace

TEST(FileTypeIcons, EachOfOurFormatsHasItsOwnIconInAnyLetterCase)
{
    CFileTypeIcons icons;
    const std::vector<std::pair<const char*, const char*>> files = {
        {"/rec/Audio0.wav", "wav"}, {"/rec/Audio0.mp3", "mp3"}, {"/rec/Audio0.ogg", "ogg"}, {"/rec/Audio0.wma", "wma"}};
    std::vector<wxImage> shown;
    for (const auto& [path, ext] : files)
    {
        const int nIndex = icons.IndexFor(path);
        const wxImage image = icons.ImageList()->GetBitmap(nIndex).ConvertToImage();
        EXPECT_TRUE(SamePixels(image, DrawFileTypeIcon(ext, CFileTypeIcons::ICON_SIZE).ConvertToImage()))
            << path << " shows another icon than ours";
        for (const wxImage& other : shown)
            EXPECT_FALSE(SamePixels(image, other)) << path << " looks like another format";
        shown.push_back(image);
    }
    EXPECT_EQ(icons.IndexFor("/rec/Audio1.WAV"), icons.IndexFor("/rec/Audio0.wav"));
    EXPECT_EQ(icons.ImageList()->GetImageCount(), 4);
}
