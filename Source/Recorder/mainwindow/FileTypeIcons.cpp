#include "FileTypeIcons.h"

#include "ScreenScale.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
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
        return wxColour(205, 105, 0);
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

bool HasOwnFileTypeIcon(const std::string& ext)
{
    return ext == "wav" || ext == "mp3" || ext == "ogg" || ext == "wma";
}

namespace
{
// Capitals five pixels high, a row a string: three wide, W and M five.
const std::map<char, std::array<const char*, 5>>& TinyLetters()
{
    static const std::map<char, std::array<const char*, 5>> letters = {
        {'A', {".#.", "#.#", "###", "#.#", "#.#"}},         {'G', {".##", "#..", "#.#", "#.#", ".##"}},
        {'M', {"#...#", "##.##", "#.#.#", "#...#", "#...#"}}, {'O', {".#.", "#.#", "#.#", "#.#", ".#."}},
        {'P', {"##.", "#.#", "##.", "#..", "#.."}},         {'V', {"#.#", "#.#", "#.#", "#.#", ".#."}},
        {'W', {"#...#", "#...#", "#.#.#", "##.##", "#...#"}}, {'3', {"##.", "..#", ".#.", "..#", "##."}},
    };
    return letters;
}

// Columns a glyph takes, without the space after it.
int LetterWidth(char c)
{
    auto it = TinyLetters().find(c);
    return it == TinyLetters().end() ? 0 : static_cast<int>(std::strlen(it->second[0]));
}
}  // namespace

wxBitmap DrawFileTypeIcon(const std::string& ext, int nSize)
{
    wxImage image(nSize, nSize);
    image.InitAlpha();
    unsigned char* pAlpha = image.GetAlpha();
    std::memset(pAlpha, 0, static_cast<size_t>(nSize) * nSize);
    auto put = [&](int x, int y, const wxColour& c) {
        if (x < 0 || y < 0 || x >= nSize || y >= nSize)
            return;
        image.SetRGB(x, y, c.Red(), c.Green(), c.Blue());
        pAlpha[y * nSize + x] = 255;
    };
    const wxColour edge(90, 90, 90), paper(255, 255, 255), lines(190, 190, 190), band = TypeColour(ext);
    const int left = nSize / 8, right = nSize - 1 - nSize / 8, fold = nSize / 4;
    const bool bOwn = HasOwnFileTypeIcon(ext);
    const int scale = std::max(1, nSize / 16);
    // Our formats carry their name on a band as wide as the icon; other types a band inside the page.
    const int bandTop = bOwn ? nSize - 9 * scale : nSize / 2, bandBottom = bOwn ? nSize - 3 * scale : nSize / 2 + nSize / 4 - 1;
    for (int y = 0; y < nSize; ++y)
        for (int x = left; x <= right; ++x)
        {
            if (x > right - fold + y)
                continue;  // the cut corner
            const bool bEdge = x == left || x == right || y == 0 || y == nSize - 1 || x == right - fold + y;
            const bool bLine = bOwn && x > left + scale && x < right - scale && y < bandTop - scale && y % (2 * scale) == scale;
            put(x, y, bEdge ? edge : bLine ? lines : paper);
        }
    if (!bOwn)
    {
        for (int y = bandTop; y <= bandBottom; ++y)
            for (int x = left + 1; x < right; ++x)
                put(x, y, band);
        return wxBitmap(image);
    }
    for (int y = bandTop; y <= bandBottom; ++y)
        for (int x = 0; x < nSize; ++x)
            put(x, y, band);
    // The name in white capitals, centred on the band.
    std::string name = ext;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    int width = -1;
    for (char c : name)
        width += LetterWidth(c) + 1;
    int x = (nSize - width * scale) / 2;
    const int y0 = bandTop + scale;
    for (char c : name)
    {
        auto it = TinyLetters().find(c);
        if (it == TinyLetters().end())
            continue;
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < LetterWidth(c); ++col)
                if (it->second[row][col] == '#')
                    for (int dy = 0; dy < scale; ++dy)
                        for (int dx = 0; dx < scale; ++dx)
                            put(x + col * scale + dx, y0 + row * scale + dy, paper);
        x += (LetterWidth(c) + 1) * scale;
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

    // Drawn with the screen's pixels: on a desktop that doubles every window, 32 pixels a side
    // shown in the list's 16.
    const double dScale = ScreenScaleFactor();
    const int nPixels = static_cast<int>(std::lround(ICON_SIZE * dScale));
    wxBitmap bitmap;
    if (HasOwnFileTypeIcon(ext))
        bitmap = DrawFileTypeIcon(ext, nPixels);
    else
    {
        wxLogNull quiet;
        for (const wxString& name : IconNames(MimeTypeOfExtension(ext)))
        {
            bitmap = wxArtProvider::GetBitmap(name, wxART_LIST, wxSize(nPixels, nPixels));
            if (bitmap.IsOk())
                break;
        }
    }
    if (!bitmap.IsOk() || bitmap.GetWidth() != nPixels || bitmap.GetHeight() != nPixels)
    {
        if (bitmap.IsOk())
            bitmap = wxBitmap(bitmap.ConvertToImage().Scale(nPixels, nPixels, wxIMAGE_QUALITY_HIGH));
        else
            bitmap = DrawFileTypeIcon(ext, nPixels);
    }
    if (dScale != 1.0)
        bitmap.SetScaleFactor(dScale);
    const int nIndex = m_images.Add(bitmap);
    m_indexes[ext] = nIndex;
    return nIndex;
}

