// The "General" page of the settings sheet: capture device, its recording
// line, output format, output folder, the two switches and skipping silence.
//
// The page fills itself from theSettings when first shown (the device and line
// found by their kept names) and writes its fields back at OK, the device and
// line by position and by name, and the layout of the "Stereo Mix + Microphone"
// line (a switch, enabled while that line is chosen). Choosing another device lists that device's lines. A
// device whose mixer cannot be opened is reported and leaves the line list
// empty. A kept device name that no device carries now opens the page on the
// default device; a saved position with no device there and no name
// ("Cant find lines.") leaves the page unfilled until a device is chosen, and OK
// then changes nothing.
// Main thread only; the sheet cannot open while a recording runs.
#pragma once
#include "ResizablePage.h"

#include <wx/bmpbuttn.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/imaglist.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>

#include <memory>
#include <string>
#include <vector>

class CPageGeneral : public CResizablePage, public TreePropSheet::CWhiteBackgroundProvider
{
public:
    enum
    {
        IDC_FORMAT = 1010,
        IDC_LINES = 1011,
        IDC_DEVICES = 1012,
        IDC_FOLDER = 1018,
        IDC_BROWSE = 1020,
        IDC_OPEN_OUTPUT = 1022,
        IDC_VIEW_WAVEFORM = 1023,
        IDC_SKIP_SILENCE = 1030,
        IDC_SKIP_THRESHOLD = 1031,
        IDC_SKIP_HOLD = 1032,
        IDC_BOTH_LAYOUT = 1033,
        IDC_SPLIT = 1024,
        IDC_SPLIT_MINUTES = 1025,
    };

    CPageGeneral();

    void CreateControls() override;
    bool OnInitDialog() override;
    void OnOK() override;

    // False after "Cant find lines." until a device is chosen: OK then stores nothing.
    bool IsFilled() const { return m_bFilled; }

private:
    // Lists the device's lines and selects nLineIndex, or else the first "Mix" line, or else the first.
    // False when the device's mixer could not be opened (the user has been told).
    bool FillLines(int nDevice, int nLineIndex);
    // The format, folder and switches from the record.
    void FillRest();
    void OnDeviceChosen(wxCommandEvent& event);
    void OnBrowse(wxCommandEvent& event);
    // The skip-silence switch, its threshold and hold: made, filled, stored.
    wxSizer* CreateSkipSilence();
    void FillSkipSilence();
    void StoreSkipSilence();
    void EnableSkipSilence();
    // The layout of "Stereo Mix + Microphone" matters only while that line is chosen.
    void EnableBothLayout();

    std::unique_ptr<wxImageList> m_pImageList;  // the browse button's icon
    wxBitmapButton* m_btnBrowse = nullptr;

    wxChoice* m_cmbDevices = nullptr;
    wxChoice* m_cmbLines = nullptr;
    wxChoice* m_cmbFormat = nullptr;
    wxTextCtrl* m_editFolder = nullptr;
    wxCheckBox* m_chkOpenOutput = nullptr;
    wxCheckBox* m_chkViewWaveform = nullptr;
    wxCheckBox* m_chkSkipSilence = nullptr;
    wxSpinCtrl* m_spinSkipThreshold = nullptr;    // dBFS
    wxSpinCtrlDouble* m_spinSkipHold = nullptr;   // seconds
    wxCheckBox* m_chkBothSideBySide = nullptr;
    wxCheckBox* m_chkSplit = nullptr;
    bool m_bRefitted = false;  // fitted again once drawn
    wxSpinCtrl* m_spinSplitMinutes = nullptr;
    bool m_bFilled = false;
    int m_nStartDevice = -1;  // the device the record named when the page opened
    int m_nStartLine = -1;    // and its line, found by name
    std::vector<std::string> m_deviceNames;  // as the engine names them, by position in the lists
    std::vector<std::string> m_lineNames;
};
