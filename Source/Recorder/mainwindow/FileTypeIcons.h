// Small icons by file type for the recordings list, standing in for the shell's
// system image list. The program's own formats (WAV, MP3, OGG, WMA) get icons
// drawn here, one per type, since icon themes give all four the same note; any
// other type gets the icon theme's icon for its MIME type (as the desktop's file
// manager shows it), or a page drawn here when the theme has none.
//
// Threads: main thread only.
#pragma once
#include <map>
#include <string>
#include <wx/bitmap.h>
#include <wx/imaglist.h>

class CFileTypeIcons
{
public:
    static constexpr int ICON_SIZE = 16;

    CFileTypeIcons();
    // ICON_SIZE logical pixels a side; each bitmap carries the screen's scale factor.
    wxImageList* ImageList() { return &m_images; }
    // The image of the path's type; only the extension counts, the file need not exist.
    int IndexFor(const char* pszPath);

private:
    wxImageList m_images;
    std::map<std::string, int> m_indexes;  // by lower-case extension
};

// The MIME type of an extension ("wav" gives "audio/x-wav"); empty when unknown.
std::string MimeTypeOfExtension(const std::string& ext);
// Whether the extension (lower case) is one of the program's own formats, which have icons of their own.
bool HasOwnFileTypeIcon(const std::string& ext);
// The icon drawn for an extension: a page with a band in the type's own colour,
// and on it the type's name in capitals for the program's own formats.
wxBitmap DrawFileTypeIcon(const std::string& ext, int nSize);
