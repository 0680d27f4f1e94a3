// The "Output formats" page: three buttons that open the desktop's sound
// settings, volume control and recording control (SoundTools.h). A button
// whose program is not installed does nothing. Nothing is stored.
// Main thread only.
#pragma once
#include "HoverButton.h"
#include "ResizablePage.h"

class CPageFormats : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_VOLUME = 1027,
        IDC_RECORDING = 1028,
        IDC_SOUND_SETTINGS = 1029,
    };

    CPageFormats();

    void CreateControls() override;
    bool OnInitDialog() override;

private:
    void OnSoundSettings(wxCommandEvent& event);
    void OnVolume(wxCommandEvent& event);
    void OnRecording(wxCommandEvent& event);

    CHoverButton* m_btnSoundSettings = nullptr;
    CHoverButton* m_btnVolume = nullptr;
    CHoverButton* m_btnRecording = nullptr;
};
