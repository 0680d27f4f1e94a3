// The "Output formats::WMA" page: constant bitrate with its bitrate list, or
// quality (variable bitrate) with its quality list. A mode button stores its
// mode at once (Cancel keeps it) and enables only its own list; the lists are
// stored at OK. Main thread only.
#pragma once
#include "ResizablePage.h"

#include <wx/choice.h>
#include <wx/radiobut.h>

class CPageWMA : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_BITRATE = 1022,
        IDC_QUALITY = 1023,
        IDC_MODE_BITRATE = 1024,
        IDC_MODE_QUALITY = 1025,
    };

    CPageWMA();

    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void SelectMode(int nMode);
    void OnModeBitrate(wxCommandEvent& event);
    void OnModeQuality(wxCommandEvent& event);

    wxRadioButton* m_rdoBitrate = nullptr;
    wxRadioButton* m_rdoQuality = nullptr;
    wxChoice* m_cmbBitrate = nullptr;
    wxChoice* m_cmbQuality = nullptr;
};
