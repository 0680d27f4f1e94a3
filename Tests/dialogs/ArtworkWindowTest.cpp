// The recordings list's icons: ours, one per format, each unlike the others, in any letter case.
#include "FileTypeIcons.h"
#include "UiTestSupport.h"

#include <set>

TEST(FileTypeIcons, EachOfOurFormatsHasItsOwnIconInAnyLetterCase)
{
    CFileTypeIcons icons;
    std::set<std::string> shown;
    for (const char* ext : {"wav", "mp3", "ogg", "wma"})
    {
        wxImage image = icons.ImageList()->GetBitmap(icons.IndexFor((std::string("/rec/Audio0.") + ext).c_str())).ConvertToImage();
        wxImage ours = DrawFileTypeIcon(ext, CFileTypeIcons::ICON_SIZE).ConvertToImage();
        auto bytes = [](const wxImage& i) {
            return std::string((const char*)i.GetData(), i.GetWidth() * i.GetHeight() * 3) +
                   (i.HasAlpha() ? std::string((const char*)i.GetAlpha(), i.GetWidth() * i.GetHeight())
                                 : std::string(i.GetWidth() * i.GetHeight(), '\xff'));
        };
        EXPECT_EQ(bytes(image), bytes(ours)) << ext << " shows another icon than ours";
        shown.insert(bytes(image));
    }
    EXPECT_EQ(shown.size(), 4u) << "two formats look alike";
    EXPECT_EQ(icons.IndexFor("/rec/Audio1.WAV"), icons.IndexFor("/rec/Audio0.wav"));
}
