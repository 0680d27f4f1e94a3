#include "PageTrack.h"

#include "PageLayout.h"
#include "RecorderSettings.h"

#include <wx/sizer.h>

#include <ctime>

using namespace SettingsLayout;

CLimitedEdit::CLimitedEdit(wxWindow* pParent, wxWindowID id, size_t nLimit)
    : wxTextCtrl(pParent, id), m_nLimit(nLimit)
{
    // GTK's own length limit would also cut text the program sets, so the limit is kept here.
    Bind(wxEVT_TEXT, &CLimitedEdit::OnText, this);
}

void CLimitedEdit::SetText(const wxString& text)
{
    m_accepted = text;
    ChangeValue(text);
}

void CLimitedEdit::OnText(wxCommandEvent& event)
{
    event.Skip();
    wxString now = GetValue();
    if (now.length() <= m_nLimit || now.length() < m_accepted.length())
    {
        m_accepted = now;
        return;
    }
    // What was put in lies between the part of the old text that stayed in front and the part behind.
    size_t nFront = 0;
    while (nFront < m_accepted.length() && nFront < now.length() && m_accepted[nFront] == now[nFront])
        ++nFront;
    size_t nBack = 0;
    while (nBack < m_accepted.length() - nFront && nBack < now.length() - nFront &&
           m_accepted[m_accepted.length() - 1 - nBack] == now[now.length() - 1 - nBack])
        ++nBack;
    const size_t nKept = nFront + nBack;
    const size_t nRoom = m_nLimit > nKept ? m_nLimit - nKept : 0;
    wxString inserted = now.substr(nFront, now.length() - nKept);
    inserted.Truncate(nRoom);
    m_accepted = now.substr(0, nFront) + inserted + now.substr(now.length() - nBack);
    ChangeValue(m_accepted);
    SetInsertionPoint(static_cast<long>(nFront + inserted.length()));
    wxBell();
}

CPageTrack::CPageTrack() : CResizablePage("Track info"), m_nYears(10)
{
    SetHasWhiteBackground(false);
}

void CPageTrack::CreateControls()
{
    auto* pForm = NewForm();
    m_editArtist = new CLimitedEdit(this, IDC_ARTIST, TYPING_LIMIT);
    AddRow(pForm, this, "&Artist:", m_editArtist);
    m_editAlbum = new CLimitedEdit(this, IDC_ALBUM, TYPING_LIMIT);
    AddRow(pForm, this, "Al&bum title:", m_editAlbum);
    m_editTitle = new CLimitedEdit(this, IDC_TITLE, TYPING_LIMIT);
    AddRow(pForm, this, "&Title:", m_editTitle);
    m_cmbYear = NewList(this, IDC_YEAR, {});
    AddRow(pForm, this, "&Year:", m_cmbYear, 0);
    // Wide enough for a full field of typed text.
    m_editArtist->SetMinSize(wxSize(GetTextExtent(wxString('M', TYPING_LIMIT)).x * 3 / 4, -1));
    for (wxTextCtrl* pEdit : {m_editArtist, m_editAlbum, m_editTitle})
        GiveTextRoom(pEdit);

    auto* pPage = new wxBoxSizer(wxVERTICAL);
    pPage->Add(pForm, Spaced().Expand());
    SetSizer(pPage);
}

bool CPageTrack::OnInitDialog()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int nYear = local.tm_year + 1900;
    for (int i = m_nYears - 1; i >= 0; --i)
        m_cmbYear->Append(wxString::Format("%d", nYear - i));

    m_editAlbum->SetText(wxString::FromUTF8(theSettings.AlbumTitle));
    m_editArtist->SetText(wxString::FromUTF8(theSettings.Artist));
    m_editTitle->SetText(wxString::FromUTF8(theSettings.Title));
    SelectEntry(m_cmbYear, theSettings.YearIndex);
    return true;
}

void CPageTrack::OnOK()
{
    if (!GetHandle())
        return;
    theSettings.AlbumTitle = ToRecordText(m_editAlbum->GetValue(), MAX_TEXT_BYTES);
    theSettings.Artist = ToRecordText(m_editArtist->GetValue(), MAX_TEXT_BYTES);
    theSettings.Title = ToRecordText(m_editTitle->GetValue(), MAX_TEXT_BYTES);
    theSettings.YearIndex = SelectionOr(m_cmbYear, theSettings.YearIndex);
}
