#include "PageFormats.h"

#include "PageLayout.h"
#include "SoundTools.h"

#include <wx/sizer.h>

using namespace SettingsLayout;

CPageFormats::CPageFormats() : CResizablePage("Output formats")
{
    SetHasWhiteBackground(false);
}

void CPageFormats::CreateControls()
{
    m_btnSoundSettings = new CHoverButton(this, IDC_SOUND_SETTINGS, "System &Sounds and Audio Devices");
    m_btnVolume = new CHoverButton(this, IDC_VOLUME, "System &Valume Control");
    m_btnRecording = new CHoverButton(this, IDC_RECORDING, "System &Recording Control");

    // One column of equally wide buttons, as wide as the longest caption needs.
    auto* pColumn = new wxBoxSizer(wxVERTICAL);
    for (CHoverButton* pButton : {m_btnSoundSettings, m_btnVolume, m_btnRecording})
        pColumn->Add(pButton, Spaced().Expand());
    auto* pPage = new wxBoxSizer(wxHORIZONTAL);
    pPage->Add(pColumn, Spaced());
    SetSizer(pPage);

    m_btnSoundSettings->Bind(wxEVT_BUTTON, &CPageFormats::OnSoundSettings, this);
    m_btnVolume->Bind(wxEVT_BUTTON, &CPageFormats::OnVolume, this);
    m_btnRecording->Bind(wxEVT_BUTTON, &CPageFormats::OnRecording, this);
}

bool CPageFormats::OnInitDialog()
{
    for (CHoverButton* pButton : {m_btnSoundSettings, m_btnVolume, m_btnRecording})
    {
        pButton->UseProgramHoverLook();
    }
    return true;
}

void CPageFormats::OnSoundSettings(wxCommandEvent&)
{
    OpenSoundPanel(SoundPanel::Settings, this);
}

void CPageFormats::OnVolume(wxCommandEvent&)
{
    OpenSoundPanel(SoundPanel::Volume, this);
}

void CPageFormats::OnRecording(wxCommandEvent&)
{
    OpenSoundPanel(SoundPanel::Recording, this);
}
