#include "PageMP3.h"

#include "PageLayout.h"
#include "RecorderSettings.h"

#include <wx/sizer.h>

using namespace SettingsLayout;

CPageMP3::CPageMP3() : CResizablePage("Output formats::MP3")
{
    SetHasWhiteBackground(false);
}

void CPageMP3::CreateControls()
{
    auto* pForm = NewForm();
    m_cmbBitrate = NewList(this, IDC_BITRATE, TableTexts(Mp3BitrateTable, TableSize(Mp3BitrateTable), "%d Kbps"));
    AddRow(pForm, this, "&Bitrate:", m_cmbBitrate, 0);

    // The label first: its mnemonic goes to the next control.
    auto* pVolumeLabel = new wxStaticText(this, wxID_ANY, "&Volume:");
    m_sldVolume = new wxSlider(this, IDC_VOLUME, 0, 0, 100, wxDefaultPosition, wxDefaultSize,
                               wxSL_HORIZONTAL | wxSL_AUTOTICKS);
    m_sldVolume->SetTickFreq(10);
    m_sldVolume->SetMinSize(wxSize(GetTextExtent(wxString('x', 30)).x, -1));
    m_txtVolume = new wxStaticText(this, IDC_VOLUME_TEXT, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                   wxST_NO_AUTORESIZE);
    m_txtVolume->SetMinSize(wxSize(WidestText(m_txtVolume, {"100%"}), -1));
    auto* pVolume = new wxBoxSizer(wxHORIZONTAL);
    pVolume->Add(m_sldVolume, wxSizerFlags(1).CenterVertical());
    pVolume->Add(m_txtVolume, Spaced().CenterVertical());
    pForm->Add(pVolumeLabel, Spaced().CenterVertical());
    pForm->Add(pVolume, Spaced().Expand());

    auto* pPage = new wxBoxSizer(wxVERTICAL);
    pPage->Add(pForm, Spaced().Expand());
    SetSizer(pPage);

    m_sldVolume->Bind(wxEVT_SLIDER, &CPageMP3::OnScroll, this);
}

bool CPageMP3::OnInitDialog()
{
    SelectEntry(m_cmbBitrate, theSettings.Mp3BitrateIndex);
    m_sldVolume->SetValue(theSettings.Mp3Volume);
    ShowVolume();
    return true;
}

void CPageMP3::ShowVolume()
{
    m_txtVolume->SetLabel(wxString::Format("%d%%", m_sldVolume->GetValue()));
}

void CPageMP3::OnScroll(wxCommandEvent& event)
{
    ShowVolume();
    event.Skip();
}

void CPageMP3::OnOK()
{
    if (!GetHandle())
        return;
    theSettings.Mp3BitrateIndex = SelectionOr(m_cmbBitrate, theSettings.Mp3BitrateIndex);
    theSettings.Mp3Volume = m_sldVolume->GetValue();
}
