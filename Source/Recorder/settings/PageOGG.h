// The "Output formats::OGG" page: the Vorbis mode (quality, variable,
// average or constant bitrate), the quality slider with its quality and
// expected bitrate, and the minimum, nominal and maximum bitrate lists.
//
// A mode button stores its mode at once (Cancel keeps it); the slider and
// the lists are stored at OK. Only the controls of the chosen mode are
// enabled, and choosing a mode loads their values from the record again. In
// constant bitrate the three lists stay equal. A minimum above the maximum is
// shown on the page and the page cannot be left (nor the sheet accepted)
// until it is mended; every stored index stays a position of its table.
// Main thread only.
#pragma once
#include "ResizablePage.h"

#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/stattext.h>

class CPageOGG : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_MINIMUM = 1026,
        IDC_NOMINAL = 1027,
        IDC_MAXIMUM = 1028,
        IDC_MODE_QUALITY = 1340,
        IDC_MODE_VARIABLE = 1341,
        IDC_MODE_AVERAGE = 1342,
        IDC_MODE_CONSTANT = 1343,
        IDC_QUALITY = 1344,
        IDC_QUALITY_TEXT = 1345,
        IDC_BITRATE_TEXT = 1346,
        IDC_RANGE_WARNING = 1352,
    };
    static const char* const RANGE_WARNING;

    CPageOGG();

    void CreateControls() override;
    bool OnInitDialog() override;
    bool OnKillActive() override;
    void OnOK() override;

    // The labels of a slider position (0 to 1000): "Quality: 4.00" and "Bitrate: 128.0 kbps".
    static wxString QualityText(int nPosition);
    static wxString BitrateText(int nPosition);
    // The bitrate, in kbit/s, that the encoder is expected to give at the slider position.
    static double ExpectedKbps(int nPosition);

private:
    void SelectMode(int nMode);
    void ShowQuality();
    // In variable bitrate mode, a minimum above the maximum.
    bool IsRangeWrong() const;
    void ShowRangeWarning();

    void OnModeClicked(wxCommandEvent& event);
    void OnScroll(wxCommandEvent& event);
    void OnNominalChosen(wxCommandEvent& event);
    void OnLimitChosen(wxCommandEvent& event);

    wxRadioButton* m_rdoModes[4] = {};
    wxSlider* m_sldQuality = nullptr;
    wxStaticText* m_txtQuality = nullptr;
    wxStaticText* m_txtBitrate = nullptr;
    wxStaticText* m_txtWorst = nullptr;
    wxStaticText* m_txtBest = nullptr;
    wxChoice* m_cmbMinimum = nullptr;
    wxChoice* m_cmbNominal = nullptr;
    wxChoice* m_cmbMaximum = nullptr;
    wxStaticText* m_txtRangeWarning = nullptr;
};
