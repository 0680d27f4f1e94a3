#include "FileTypeIcons.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <wx/artprov.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mimetype.h>

namespace
{
std::string LowerExtension(const char* pszPath)
{
    const char* pSep = std::strrchr(pszPath, '/');
    const char* pName = pSep ? pSep + 1 : pszPath;
    const char* pDot = std::strrchr(pName, '.');
    std::string ext = pDot ? pDot + 1 : "";
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// The freedesktop icon names for a MIME type: its own, then its kind's generic one.
std::vector<wxString> IconNames(const std::string& mime)
{
    std::vector<wxString> names;
    if (mime.empty())
        return names;
    wxString name(mime);
    name.Replace("/", "-");
    names.push_back(name);
    names.push_back(wxString(mime.substr(0, mime.find('/'))) + "-x-generic");
    return names;
}

wxColour TypeColour(const std::string& ext)
{
    if (ext == "wav")
        return wxColour(0, 90, 200);
    if (ext == "mp3")
        return wxColour(200, 40, 40);
    if (ext == "ogg")
        return wxColour(30, 150, 60);
    if (ext == "wma")
        return wxColour(230, 130, 0);
    return wxColour(120, 120, 120);
}
}  // namespace

std::string MimeTypeOfExtension(const std::string& ext)
{
    {
        // The MIME database may be missing or incomplete: quiet, with our own types behind it.
        wxLogNull quiet;
        std::unique_ptr<wxFileType> pType(wxTheMimeTypesManager->GetFileTypeFromExtension(ext));
        wxString mime;
        if (pType && pType->GetMimeType(&mime) && !mime.empty())
            return mime.ToStdString();
    }
    static const std::map<std::string, std::string> known = {
        {"wav", "audio/x-wav"}, {"mp3", "audio/mpeg"}, {"ogg", "audio/ogg"}, {"wma", "audio/x-ms-wma"}};
    auto it = known.find(ext);
    return it == known.end() ? std::string() : it->second;
}

wxBitmap DrawFileTypeIcon(const std::string& ext, int nSize)
{
    wxImage image(nSize, nSize);
    image.InitAlpha();
    unsigned char* pAlpha = image.GetAlpha();
    std::memset(pAlpha, 0, static_cast<size_t>(nSize) * nSize);
    auto put = [&](int x, int y, const wxColour& c) {
        image.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
        pAlpha[y * nSize + x] = 255;
    };
    const wxColour edge(90, 90, 90), paper(255, 255, 255), band = TypeColour(ext);
    const int left = nSize / 8, right = nSize - 1 - nSize / 8, fold = nSize / 4;
    for (int y = 0; y < nSize; ++y)
        for (int x = left; x <= right; ++x)
        {
            if (x > right - fold + y)
                continue;  // the cut corner
            const bool bEdge = x == left || x == right || y == 0 || y == nSize - 1 || x == right - fold + y;
            const bool bBand = y >= nSize / 2 && y < nSize / 2 + nSize / 4 && x > left && x < right;
            put(x, y, bEdge ? edge : bBand ? band : paper);
        }
    return wxBitmap(image);
}

CFileTypeIcons::CFileTypeIcons() : m_images(ICON_SIZE, ICON_SIZE, true, 4)
{
}

int CFileTypeIcons::IndexFor(const char* pszPath)
{
    const std::string ext = LowerExtension(pszPath ? pszPath : "");
    auto it = m_indexes.find(ext);
    if (it != m_indexes.end())
        return it->second;

    wxBitmap bitmap;
    {
        wxLogNull quiet;
        for (const wxString& name : IconNames(MimeTypeOfExtension(ext)))
        {
            bitmap = wxArtProvider::GetBitmap(name, wxART_LIST, wxSize(ICON_SIZE, ICON_SIZE));
            if (bitmap.IsOk())
                break;
        }
    }
    if (!bitmap.IsOk() || bitmap.GetWidth() != ICON_SIZE || bitmap.GetHeight() != ICON_SIZE)
    {
        if (bitmap.IsOk())
            bitmap = wxBitmap(bitmap.ConvertToImage().Scale(ICON_SIZE, ICON_SIZE, wxIMAGE_QUALITY_HIGH));
        else
            bitmap = DrawFileTypeIcon(ext, ICON_SIZE);
    }
    const int nIndex = m_images.Add(bitmap);
    m_indexes[ext] = nIndex;
    return nIndex;
}
