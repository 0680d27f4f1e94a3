#include "Skin.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/colordlg.h>
#include <wx/dirdlg.h>
#include <wx/event.h>
#include <wx/eventfilter.h>
#include <wx/filedlg.h>
#include <wx/fontdlg.h>
#include <wx/fontenum.h>
#include <wx/dataview.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>
#include <wx/treectrl.h>

#include <pugixml.hpp>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace
{
// What a skin description file says, with the optional parts filled in.
struct SkinLook
{
    wxColour dialogBack, dialogText;
    wxColour buttonFace, buttonText;
    wxColour listBack, listText;
    wxColour groupText, labelText;
    wxColour treeBack, treeText;
    wxString face;  // empty: every window keeps its own face
};

// ---------------------------------------------------------------------------
// Reading the file

bool ParseColour(const char* text, wxColour& colour)
{
    if (std::strlen(text) != 7 || text[0] != '#')
        return false;
    for (int i = 1; i < 7; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    unsigned long rgb = std::strtoul(text + 1, nullptr, 16);
    colour.Set((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff);
    return true;
}

std::string Trim(const std::string& s)
{
    size_t begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    size_t end = s.find_last_not_of(" \t\r\n");
    return s.substr(begin, end - begin + 1);
}

// "A, B, C": the faces in order of preference; false when one of them is empty.
bool ParseFaces(const char* text, std::vector<std::string>& faces)
{
    std::string list = text;
    size_t start = 0;
    while (true)
    {
        size_t comma = list.find(',', start);
        std::string face = Trim(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (face.empty())
            return false;
        faces.push_back(face);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

struct ElementRule
{
    const char* name;
    std::vector<const char*> attributes;  // all of them required
    bool bRequired;
};

const ElementRule kElements[] = {
    {"Dialog", {"background", "text"}, true},
    {"Button", {"face", "text"}, true},
    {"List", {"background", "text"}, true},
    {"GroupBox", {"text"}, false},
    {"Label", {"text"}, false},
    {"Tree", {"background", "text"}, false},
    {"Font", {"face"}, false},
};

// Checks the element's attributes against its rule: exactly the listed ones, once each.
bool HasExactlyItsAttributes(const pugi::xml_node& node, const ElementRule& rule)
{
    size_t nCount = 0;
    for (const pugi::xml_attribute& a : node.attributes())
    {
        ++nCount;
        bool bKnown = false;
        for (const char* name : rule.attributes)
            bKnown = bKnown || std::strcmp(a.name(), name) == 0;
        if (!bKnown)
            return false;
    }
    return nCount == rule.attributes.size();
}

bool ReadSkin(const char* pszPath, SkinLook& look)
{
    pugi::xml_document doc;
    if (!pszPath || !doc.load_file(pszPath))
        return false;
    pugi::xml_node root = doc.document_element();
    if (std::strcmp(root.name(), "Skin") != 0 || !root.attribute("name") || !*root.attribute("name").value() ||
        std::distance(root.attributes_begin(), root.attributes_end()) != 1)
        return false;

    std::unordered_map<std::string, pugi::xml_node> elements;
    for (const pugi::xml_node& child : root.children())
    {
        if (child.type() == pugi::node_comment)
            continue;
        if (child.type() != pugi::node_element)
            return false;  // stray text
        const ElementRule* pRule = nullptr;
        for (const ElementRule& rule : kElements)
            if (std::strcmp(child.name(), rule.name) == 0)
                pRule = &rule;
        if (!pRule || child.first_child() || !HasExactlyItsAttributes(child, *pRule) ||
            !elements.emplace(child.name(), child).second)
            return false;
    }
    for (const ElementRule& rule : kElements)
        if (rule.bRequired && !elements.count(rule.name))
            return false;

    auto colour = [&](const char* element, const char* attribute, wxColour& out) {
        return ParseColour(elements[element].attribute(attribute).value(), out);
    };
    if (!colour("Dialog", "background", look.dialogBack) || !colour("Dialog", "text", look.dialogText) ||
        !colour("Button", "face", look.buttonFace) || !colour("Button", "text", look.buttonText) ||
        !colour("List", "background", look.listBack) || !colour("List", "text", look.listText))
        return false;
    look.groupText = look.labelText = look.dialogText;
    look.treeBack = look.listBack;
    look.treeText = look.listText;
    if (elements.count("GroupBox") && !colour("GroupBox", "text", look.groupText))
        return false;
    if (elements.count("Label") && !colour("Label", "text", look.labelText))
        return false;
    if (elements.count("Tree") && (!colour("Tree", "background", look.treeBack) || !colour("Tree", "text", look.treeText)))
        return false;

    if (elements.count("Font"))
    {
        std::vector<std::string> faces;
        if (!ParseFaces(elements["Font"].attribute("face").value(), faces))
            return false;
        // Fonts differ from desktop to desktop: a face that is not installed is passed over, not an error.
        for (const std::string& face : faces)
            if (wxFontEnumerator::IsValidFacename(wxString::FromUTF8(face)))
            {
                look.face = wxString::FromUTF8(face);
                break;
            }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Which windows take which colours

enum class Role
{
    None,     // keeps its own look
    Surface,  // top-level window or panel: Dialog colours
    Button,
    List,
    Tree,
    Label,    // static text, check box, radio button
    GroupBox  // static box
};

// GTK draws these dialogs itself; colouring their frame alone would only look broken.
bool IsNativeDialog(const wxWindow* pWindow)
{
    return pWindow->IsKindOf(wxCLASSINFO(wxFileDialog)) || pWindow->IsKindOf(wxCLASSINFO(wxDirDialog)) ||
           pWindow->IsKindOf(wxCLASSINFO(wxMessageDialog)) || pWindow->IsKindOf(wxCLASSINFO(wxFontDialog)) ||
           pWindow->IsKindOf(wxCLASSINFO(wxColourDialog));
}

Role RoleOf(wxWindow* pWindow)
{
    wxWindow* pTop = wxGetTopLevelParent(pWindow);
    if (pTop && IsNativeDialog(pTop))
        return Role::None;
    if (wxDynamicCast(pWindow, wxTopLevelWindow) || wxDynamicCast(pWindow, wxPanel))
        return Role::Surface;
    if (wxDynamicCast(pWindow, wxButton))
        return Role::Button;
    if (wxDynamicCast(pWindow, wxListCtrl) || wxDynamicCast(pWindow, wxDataViewCtrl))
        return Role::List;
    if (wxDynamicCast(pWindow, wxTreeCtrl))
        return Role::Tree;
    if (wxDynamicCast(pWindow, wxStaticBox))
        return Role::GroupBox;
    if (wxDynamicCast(pWindow, wxStaticText) || wxDynamicCast(pWindow, wxCheckBox) ||
        wxDynamicCast(pWindow, wxRadioButton))
        return Role::Label;
    return Role::None;
}

// ---------------------------------------------------------------------------
// Applying and taking back

// A window's look before the first skin touched it. An invalid colour means
// "the theme's", which is what setting it back restores.
struct PlainLook
{
    Role role;
    wxColour back, fore;
    wxFont font;
};

PlainLook PlainLookOf(wxWindow* pWindow, Role role)
{
    PlainLook plain;
    plain.role = role;
    // The list and tree controls paint their rows themselves from the colours they report.
    bool bPaintsItself = role == Role::List || role == Role::Tree;
    if (bPaintsItself || pWindow->UseBackgroundColour())
        plain.back = pWindow->GetBackgroundColour();
    if (bPaintsItself || pWindow->UseForegroundColour())
        plain.fore = pWindow->GetForegroundColour();
    plain.font = pWindow->GetFont();
    return plain;
}

// Rows the program gave the list's own colours (the list shades alternate
// rows that way) follow the list to its new colours.
void SetListColours(wxListCtrl* pList, const wxColour& back, const wxColour& fore)
{
    if (!pList->HasFlag(wxLC_VIRTUAL))
    {
        wxColour oldBack = pList->GetBackgroundColour();
        wxColour oldFore = pList->GetForegroundColour();
        for (long i = 0; i < pList->GetItemCount(); ++i)
        {
            if (back.IsOk() && pList->GetItemBackgroundColour(i) == oldBack)
                pList->SetItemBackgroundColour(i, back);
            if (fore.IsOk() && pList->GetItemTextColour(i) == oldFore)
                pList->SetItemTextColour(i, fore);
        }
    }
    pList->SetBackgroundColour(back);
    pList->SetForegroundColour(fore);
}

void SetColours(wxWindow* pWindow, Role role, const wxColour& back, const wxColour& fore)
{
    if (role == Role::List && wxDynamicCast(pWindow, wxListCtrl))
    {
        SetListColours(static_cast<wxListCtrl*>(pWindow), back, fore);
        return;
    }
    // Labels and group boxes are drawn over their parent, whose colour shows through.
    if (role != Role::Label && role != Role::GroupBox)
        pWindow->SetBackgroundColour(back);
    pWindow->SetForegroundColour(fore);
}

// Only the face changes: the main window's layout is fixed in pixels, so a
// skin must never make text larger. A face that sets the same words wider or
// taller than the window's own font at its size is passed over.
bool FaceFits(wxWindow* pWindow, const wxFont& plain, const wxFont& font)
{
    static const wxString kSample = "Record Stop Settings... Skins Help About... Audio list";
    int nPlainWidth = 0, nPlainHeight = 0, nWidth = 0, nHeight = 0;
    pWindow->GetTextExtent(kSample, &nPlainWidth, &nPlainHeight, nullptr, nullptr, &plain);
    pWindow->GetTextExtent(kSample, &nWidth, &nHeight, nullptr, nullptr, &font);
    return nWidth <= nPlainWidth && nHeight <= nPlainHeight;
}

class CSkinner : public wxEventFilter
{
public:
    explicit CSkinner(const SkinLook& look) : m_look(look) {}

    void SetLook(const SkinLook& look)
    {
        m_look = look;
        m_fits.clear();
    }

    // Every window open now, top-level windows with all their children. GTK
    // hands a skinned window's style down to the widgets inside it, so every
    // plain look is read before the first window changes.
    void SkinAll()
    {
        std::vector<wxWindow*> windows;
        for (wxWindow* pTop : wxTopLevelWindows)
            Collect(pTop, windows);
        for (wxWindow* pWindow : windows)
            Remember(pWindow);
        for (wxWindow* pWindow : windows)
            Skin(pWindow);
    }

    void RestoreAll()
    {
        for (auto& [pWindow, plain] : m_plain)
        {
            SetColours(pWindow, plain.role, plain.back, plain.fore);
            if (plain.role != Role::Surface)
                ApplyFont(pWindow, plain.font);
            pWindow->Refresh();
        }
        m_plain.clear();
    }

    int FilterEvent(wxEvent& event) override
    {
        // Every event of the program passes here: decide by type first.
        wxEventType type = event.GetEventType();
        if (type == wxEVT_CREATE)
        {
            if (wxWindow* pWindow = static_cast<wxWindowCreateEvent&>(event).GetWindow())
                Skin(pWindow);
        }
        else if (type == wxEVT_DESTROY)
        {
            m_plain.erase(static_cast<wxWindowDestroyEvent&>(event).GetWindow());
        }
        return Event_Skip;
    }

private:
    static void Collect(wxWindow* pWindow, std::vector<wxWindow*>& windows)
    {
        windows.push_back(pWindow);
        for (wxWindow* pChild : pWindow->GetChildren())
            Collect(pChild, windows);
    }

    // The plain look is the one before the first skin; later skins keep it.
    const PlainLook* Remember(wxWindow* pWindow)
    {
        Role role = RoleOf(pWindow);
        if (role == Role::None)
            return nullptr;
        return &m_plain.try_emplace(pWindow, PlainLookOf(pWindow, role)).first->second;
    }

    void Skin(wxWindow* pWindow)
    {
        const PlainLook* pPlain = Remember(pWindow);
        if (!pPlain)
            return;
        const Role role = pPlain->role;
        switch (role)
        {
        case Role::Surface: SetColours(pWindow, role, m_look.dialogBack, m_look.dialogText); break;
        case Role::Button: SetColours(pWindow, role, m_look.buttonFace, m_look.buttonText); break;
        case Role::List: SetColours(pWindow, role, m_look.listBack, m_look.listText); break;
        case Role::Tree: SetColours(pWindow, role, m_look.treeBack, m_look.treeText); break;
        case Role::Label: SetColours(pWindow, role, wxColour(), m_look.labelText); break;
        case Role::GroupBox: SetColours(pWindow, role, wxColour(), m_look.groupText); break;
        case Role::None: break;
        }
        // Windows and panels keep their font: GTK would pass it on to every
        // control inside, the ones that keep their own look too.
        if (role != Role::Surface)
            ApplyFont(pWindow, SkinnedFont(pWindow, pPlain->font));
        pWindow->Refresh();
    }

    // The window's own font in the skin's face, when that face fits.
    wxFont SkinnedFont(wxWindow* pWindow, const wxFont& plain)
    {
        if (m_look.face.empty() || !plain.IsOk())
            return plain;
        wxFont font = plain;
        font.SetFaceName(m_look.face);
        // Most windows share a handful of fonts: measure each one once per skin.
        auto [it, bNew] = m_fits.try_emplace(plain.GetNativeFontInfoDesc(), false);
        if (bNew)
            it->second = FaceFits(pWindow, plain, font);
        return it->second ? font : plain;
    }

    static void ApplyFont(wxWindow* pWindow, const wxFont& font)
    {
        if (font != pWindow->GetFont())
            pWindow->SetFont(font);
    }

    SkinLook m_look;
    std::unordered_map<wxWindow*, PlainLook> m_plain;
    std::unordered_map<wxString, bool> m_fits;  // by the plain font: does the skin's face fit
};

std::unique_ptr<CSkinner> g_pSkinner;
}  // namespace

bool SkinApply(const char* pszPath)
{
    SkinLook look;
    if (!ReadSkin(pszPath, look))
        return false;
    if (g_pSkinner)
    {
        g_pSkinner->SetLook(look);
    }
    else
    {
        g_pSkinner = std::make_unique<CSkinner>(look);
        wxEvtHandler::AddFilter(g_pSkinner.get());
    }
    g_pSkinner->SkinAll();
    return true;
}

void SkinRelease()
{
    if (!g_pSkinner)
        return;
    wxEvtHandler::RemoveFilter(g_pSkinner.get());
    g_pSkinner->RestoreAll();
    g_pSkinner.reset();
}
