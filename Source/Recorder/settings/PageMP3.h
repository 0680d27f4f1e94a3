// The "Output formats::MP3" page: the MP3 bitrate and the recording volume
// (in percent, shown beside its slider). Stored at OK. Main thread only.
#pragma once
#include "ResizablePage.h"

#include <wx/choice.h>
#include <wx/slider.h>
#include <wx/stattext.h>

class CPageMP3 : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_BITRATE = 1016,
        IDC_VOLUME = 1017,
        IDC_VOLUME_TEXT = 1018,
    };

    CPageMP3();

    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void ShowVolume();
    void OnScroll(wxCommandEvent& event);

    wxChoice* m_cmbBitrate = nullptr;
    wxSlider* m_sldVolume = nullptr;
    wxStaticText* m_txtVolume = nullptr;
};
