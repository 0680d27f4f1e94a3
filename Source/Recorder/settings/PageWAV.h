// The "Output formats::WAV" page: channels, sample rate and bits per sample
// of WAV recordings (OGG recordings show them too). Stored at OK.
// Main thread only.
#pragma once
#include "ResizablePage.h"

#include <wx/choice.h>

class CPageWAV : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_CHANNELS = 1012,
        IDC_SAMPLE_RATE = 1013,
        IDC_BITS = 1014,
    };

    CPageWAV();

    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;

private:
    wxChoice* m_cmbChannels = nullptr;
    wxChoice* m_cmbSampleRate = nullptr;
    wxChoice* m_cmbBits = nullptr;
};
