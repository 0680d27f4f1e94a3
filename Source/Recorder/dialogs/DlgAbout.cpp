#include "DlgAbout.h"

#include "AboutPicture.h"
#include "Resources.h"

#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include <mutex>

const char* const ABOUT_LAME_URL = "https://lame.sourceforge.io/";
const char* const ABOUT_HOME_URL = "https://vorane.example.org/";
// A reserved domain: the address is a placeholder until the maker has a real one.
const char* const ABOUT_MAIL_URL = "mailto:support@vorane.example.org";

namespace
{
const char* const kProductTitle = "Vorane Audio Recorder";
}  // namespace

CDlgAbout::CDlgAbout(wxWindow* pParent) : wxDialog(pParent, wxID_ANY, wxEmptyString)
{
    static std::once_flag registered;
    std::call_once(registered, [] { RegisterBitmapResource(IDB_ABOUT_PICTURE, DrawAboutPicture); });

    auto* pPicture = new wxStaticBitmap(this, wxID_ANY, LoadBitmapResource(IDB_ABOUT_PICTURE));
    auto* pLame = new wxStaticText(this, IDC_ABOUT_LAME, "Acknowledgments : &LAME codec for MP3 encoding");
    auto* pHome = new wxStaticText(this, IDC_ABOUT_HOMEPAGE, "Vorane Software &homepage : vorane.example.org");
    auto* pMail = new wxStaticText(this, IDC_ABOUT_MAIL, "&Mail to : support@vorane.example.org");
    auto* pTitle = new wxStaticText(this, wxID_ANY, "Vorane Audio Recorder Version 1.5");
    auto* pLine = new wxStaticText(this, wxID_ANY, "Records what you hear to MP3, OGG, WAV or WMA.");
    auto* pOK = new wxButton(this, wxID_OK, "&OK");
    pTitle->SetFont(pTitle->GetFont().Bold());

    auto* pTop = new wxBoxSizer(wxVERTICAL);
    // Margins in dialog units, so they grow with the font as the texts do.
    const int nMargin = ConvertDialogToPixels(wxSize(7, 0)).x, nGap = ConvertDialogToPixels(wxSize(0, 3)).y;
    auto* pTexts = new wxBoxSizer(wxVERTICAL);
    for (wxStaticText* pText : {pLame, pHome, pMail, pTitle, pLine})
        pTexts->Add(pText, wxSizerFlags().Border(wxTOP, pText == pTitle ? 3 * nGap : nGap));
    pTop->Add(pPicture, wxSizerFlags().Centre().Border(wxLEFT | wxRIGHT | wxTOP, nMargin));
    pTop->Add(pTexts, wxSizerFlags().Border(wxLEFT | wxRIGHT | wxTOP, nMargin));
    pTop->AddStretchSpacer();
    pTop->Add(pOK, wxSizerFlags().Right().Border(wxALL, nMargin));
    // At least the design's 234 by 158 dialog units.
    pTop->SetMinSize(ConvertDialogToPixels(wxSize(234, 158)));
    SetSizer(pTop);

    SetTitle(wxString("About ") + kProductTitle);
    m_btnOK = new CHoverButton();
    m_btnOK->SubclassDlgItem(wxID_OK, this);
    m_btnOK->SetDefault();
    m_btnOK->UseProgramHoverLook();

    const std::pair<CStaticLink**, std::pair<int, const char*>> links[] = {
        {&m_stcLame, {IDC_ABOUT_LAME, ABOUT_LAME_URL}},
        {&m_stcHome, {IDC_ABOUT_HOMEPAGE, ABOUT_HOME_URL}},
        {&m_stcMail, {IDC_ABOUT_MAIL, ABOUT_MAIL_URL}},
    };
    for (const auto& [ppLink, target] : links)
    {
        *ppLink = new CStaticLink();
        (*ppLink)->SetLink(target.second);
        (*ppLink)->SubclassDlgItem(target.first, this);
    }
    pTop->SetSizeHints(this);
    CentreOnParent();
    // The links take the focus too now; Enter still closes the box as it opens.
    m_btnOK->SetFocus();
}

CStaticLink* CDlgAbout::GetLink(int nId) const
{
    switch (nId)
    {
    case IDC_ABOUT_LAME:
        return m_stcLame;
    case IDC_ABOUT_HOMEPAGE:
        return m_stcHome;
    case IDC_ABOUT_MAIL:
        return m_stcMail;
    default:
        return nullptr;
    }
}
