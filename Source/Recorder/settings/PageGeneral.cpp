#include "PageGeneral.h"

#include "BothSources.h"
#include "CaptureRegistry.h"
#include "MessageBox.h"
#include "PageLayout.h"
#include "RecorderSettings.h"
#include "RecordingFiles.h"
#include "Resources.h"
#include "WaveIn.h"
#include "WindowSystem.h"
#include "RecorderError.h"

#include <wx/dirdlg.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

using namespace SettingsLayout;

namespace
{
// The folder picture the popup menu's "Go to the folder" shows.
const unsigned BROWSE_BITMAP = 143;
}  // namespace

CPageGeneral::CPageGeneral() : CResizablePage("General")
{
    SetHasWhiteBackground(false);
}

void CPageGeneral::CreateControls()
{
    auto* pForm = NewForm();
    m_cmbDevices = NewList(this, IDC_DEVICES, {});
    AddRow(pForm, this, "&Devices:", m_cmbDevices);
    m_cmbLines = NewList(this, IDC_LINES, {});
    AddRow(pForm, this, "&Lines:", m_cmbLines);
    // The positions of these four are the values of OutputFormat.
    static const wxString formats[] = {"MP3", "OGG", "WAV", "WMA"};
    m_cmbFormat = NewList(this, IDC_FORMAT, wxArrayString(WXSIZEOF(formats), formats));
    AddRow(pForm, this, "Output &format:", m_cmbFormat, 0);

    m_chkViewWaveform = new wxCheckBox(this, IDC_VIEW_WAVEFORM, "View &waveform while recording");
    // Beside the other switch, so the page grows no taller for a switch that matters for one line only.
    m_chkBothSideBySide = new wxCheckBox(this, IDC_BOTH_LAYOUT, "Computer left, microphone &right");
    m_chkBothSideBySide->SetToolTip("Stereo Mix + Microphone: the computer on the left channel and the microphone "
                                    "on the right; off, both are mixed in every channel");

    auto* pLocation = new wxStaticBoxSizer(wxVERTICAL, this, "Output location");
    wxStaticBox* pBox = pLocation->GetStaticBox();
    m_editFolder = new wxTextCtrl(pBox, IDC_FOLDER, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    // Room for a usual path; a longer one scrolls inside the field.
    m_editFolder->SetMinSize(wxSize(GetTextExtent(wxString('x', 40)).x, -1));
    GiveTextRoom(m_editFolder);
    m_pImageList = std::make_unique<wxImageList>(16, 16, true, 1);
    m_pImageList->Add(LoadBitmapResource(BROWSE_BITMAP));
    m_btnBrowse = new wxBitmapButton(pBox, IDC_BROWSE, m_pImageList->GetBitmap(0));
    m_btnBrowse->SetToolTip("Choose the output folder");
    // A picture alone says nothing to a screen reader: the button is named by what it does.
    SetAccessibleText(m_btnBrowse->GetHandle(), AccessibleRole::PushButton, "Choose the output folder", nullptr);
    m_btnBrowse->SetName("output");
    m_chkOpenOutput = new wxCheckBox(pBox, IDC_OPEN_OUTPUT, "&After recording,open output folder");
    auto* pFolderRow = new wxBoxSizer(wxHORIZONTAL);
    pFolderRow->Add(m_editFolder, Spaced().Proportion(1).CenterVertical());
    pFolderRow->Add(m_btnBrowse, Spaced().CenterVertical());
    pLocation->Add(pFolderRow, wxSizerFlags().Expand());
    pLocation->Add(m_chkOpenOutput, Spaced());

    // Long recordings as files of a chosen length, one after the other; made after the output
    // location's controls, so Tab reaches them in the order they are shown, next to skipping silence.
    m_chkSplit = new wxCheckBox(this, IDC_SPLIT, "S&plit into a new file every");
    m_spinSplitMinutes = new wxSpinCtrl(this, IDC_SPLIT_MINUTES, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                        wxSP_ARROW_KEYS, 1, 1440, 60);
    m_spinSplitMinutes->SetName("split minutes");
    auto* pSplitRow = new wxBoxSizer(wxHORIZONTAL);
    pSplitRow->Add(m_chkSplit, wxSizerFlags().CenterVertical());
    pSplitRow->Add(m_spinSplitMinutes, Spaced().CenterVertical());
    pSplitRow->Add(new wxStaticText(this, wxID_ANY, "minutes"), wxSizerFlags().CenterVertical());
    // The minutes matter only while splitting, as the silence fields only while skipping.
    m_chkSplit->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { m_spinSplitMinutes->Enable(m_chkSplit->GetValue()); });

    auto* pPage = new wxBoxSizer(wxVERTICAL);
    pPage->Add(pForm, wxSizerFlags().Expand());
    auto* pSwitches = new wxBoxSizer(wxHORIZONTAL);
    pSwitches->Add(m_chkViewWaveform, Spaced());
    pSwitches->Add(m_chkBothSideBySide, Spaced());
    pPage->Add(pSwitches);
    pPage->Add(pLocation, Spaced().Expand());
    pPage->Add(pSplitRow, Spaced());
    pPage->Add(CreateSkipSilence(), wxSizerFlags().Expand());
    SetSizer(pPage);
    // GTK gives a spin field its full height only once it is drawn, taller at larger fonts than asked
    // before: the sheet is fitted again after the page's first paint, so its last rows are never squeezed.
    Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
        event.Skip();
        if (!m_bRefitted)
        {
            m_bRefitted = true;
            CallAfter([this] { FitSheetToPage(this); });
        }
    });

    m_cmbDevices->Bind(wxEVT_CHOICE, &CPageGeneral::OnDeviceChosen, this);
    m_cmbLines->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { EnableBothLayout(); });
    m_btnBrowse->Bind(wxEVT_BUTTON, &CPageGeneral::OnBrowse, this);
}

bool CPageGeneral::OnInitDialog()
{
    for (CWaveIn* pDevice : EnumDevices())
    {
        m_deviceNames.emplace_back(pDevice->Name());
        m_cmbDevices->Append(FromEngineText(pDevice->Name()));
    }
    const LineChoice kept = FindKeptChoice(theSettings.DeviceName, theSettings.LineName,
                                           LineChoice{theSettings.DeviceIndex, theSettings.LineIndex});
    m_nStartDevice = kept.nDevice;
    m_nStartLine = kept.nLine;
    SelectEntry(m_cmbDevices, m_nStartDevice);
    if (m_cmbDevices->GetSelection() == wxNOT_FOUND)
    {
        MessageBoxA(wxGetTopLevelParent(this), "Cant find lines.", APP_CAPTION, MB_ICONHAND);
        FitSheetToPage(this);
        return true;
    }
    FillLines(m_nStartDevice, m_nStartLine);
    FillRest();
    return true;
}

bool CPageGeneral::FillLines(int nDevice, int nLineIndex)
{
    m_cmbLines->Clear();
    m_lineNames.clear();
    std::vector<std::string> names;
    std::string error;
    {
        std::lock_guard<std::recursive_mutex> lock(GlobalDeviceLock());
        std::vector<CWaveIn*>& devices = EnumDevices();
        if (nDevice >= 0 && static_cast<size_t>(nDevice) < devices.size())
        {
            // By position, not by name: two devices may carry the same name.
            CWaveIn* pDevice = devices[static_cast<size_t>(nDevice)];
            try
            {
                CMixer& mixer = pDevice->GetMixer();
                for (size_t i = 0; i < mixer.GetLineCount(); ++i)
                    names.emplace_back(mixer.GetLine(i)->Name());
                mixer.Close();
            }
            catch (const CRecorderError& failure)
            {
                error = failure.what();
            }
            catch (const std::exception&)
            {
                error = "Can't open Mixer Device.";
            }
        }
    }
    // Told only now: no dialog while the device lock is held.
    if (!error.empty())
    {
        MessageBoxA(wxGetTopLevelParent(this), error.c_str(), APP_CAPTION, MB_ICONHAND);
        FitSheetToPage(this);
        return false;
    }

    m_lineNames = names;
    int nDefault = wxNOT_FOUND;
    for (size_t i = 0; i < names.size(); ++i)
    {
        m_cmbLines->Append(FromEngineText(names[i].c_str()));
        if (nDefault == wxNOT_FOUND && std::strstr(names[i].c_str(), "Mix"))
            nDefault = static_cast<int>(i);
    }
    // A saved position the device no longer has falls back like a first run, so OK never stores a missing line.
    int nSelect = nLineIndex;
    if (nSelect < 0 || static_cast<size_t>(nSelect) >= names.size())
        nSelect = nDefault != wxNOT_FOUND ? nDefault : 0;
    SelectEntry(m_cmbLines, nSelect);
    EnableBothLayout();
    FitSheetToPage(this);
    return true;
}

void CPageGeneral::EnableBothLayout()
{
    const int nLine = m_cmbLines->GetSelection();
    m_chkBothSideBySide->Enable(nLine != wxNOT_FOUND && m_lineNames[static_cast<size_t>(nLine)] == winmm::BOTH_LINE_NAME);
}

void CPageGeneral::FillRest()
{
    SelectEntry(m_cmbFormat, theSettings.OutputFormat);
    m_editFolder->ChangeValue(wxString::FromUTF8(theSettings.SavedDirectry));
    m_chkOpenOutput->SetValue(theSettings.IsOpenOutput != 0);
    m_chkViewWaveform->SetValue(theSettings.IsViewWaveform != 0);
    FillSkipSilence();
    m_chkBothSideBySide->SetValue(theSettings.BothLayout == BOTH_LAYOUT_SIDE_BY_SIDE);
    m_chkSplit->SetValue(theSettings.SplitFiles != 0);
    m_spinSplitMinutes->SetValue(theSettings.SplitMinutes);
    m_spinSplitMinutes->Enable(m_chkSplit->GetValue());
    m_bFilled = true;
}

wxSizer* CPageGeneral::CreateSkipSilence()
{
    m_chkSkipSilence = new wxCheckBox(this, IDC_SKIP_SILENCE, "&Skip silence: write nothing while the input is quiet");
    // Each label comes right before its field, so its mnemonic focuses the field.
    auto* pBelow = new wxStaticText(this, wxID_ANY, "Quiet &below");
    m_spinSkipThreshold = new wxSpinCtrl(this, IDC_SKIP_THRESHOLD, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                         wxSP_ARROW_KEYS, SKIP_SILENCE_MIN_DB, SKIP_SILENCE_MAX_DB, -45);
    auto* pDb = new wxStaticText(this, wxID_ANY, "dBFS");
    auto* pFor = new wxStaticText(this, wxID_ANY, "for &more than");
    m_spinSkipHold = new wxSpinCtrlDouble(this, IDC_SKIP_HOLD, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                          wxSP_ARROW_KEYS, SKIP_SILENCE_MIN_HOLD_MS / 1000.0,
                                          SKIP_SILENCE_MAX_HOLD_MS / 1000.0, 2.0, 0.1);
    m_spinSkipHold->SetDigits(1);
    auto* pSeconds = new wxStaticText(this, wxID_ANY, "seconds");
    auto* pRow = new wxBoxSizer(wxHORIZONTAL);
    for (wxWindow* pPart : std::initializer_list<wxWindow*>{pBelow, m_spinSkipThreshold, pDb, pFor, m_spinSkipHold, pSeconds})
        pRow->Add(pPart, Spaced().CenterVertical());
    auto* pGroup = new wxBoxSizer(wxVERTICAL);
    pGroup->Add(m_chkSkipSilence, Spaced());
    pGroup->Add(pRow, wxSizerFlags());
    m_chkSkipSilence->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { EnableSkipSilence(); });
    return pGroup;
}

void CPageGeneral::FillSkipSilence()
{
    m_chkSkipSilence->SetValue(theSettings.SkipSilence != 0);
    m_spinSkipThreshold->SetValue(theSettings.SkipSilenceDb);
    m_spinSkipHold->SetValue(theSettings.SkipSilenceHoldMs / 1000.0);
    EnableSkipSilence();
}

void CPageGeneral::EnableSkipSilence()
{
    const bool bOn = m_chkSkipSilence->GetValue();
    m_spinSkipThreshold->Enable(bOn);
    m_spinSkipHold->Enable(bOn);
}

void CPageGeneral::StoreSkipSilence()
{
    theSettings.SkipSilence = m_chkSkipSilence->GetValue() ? 1 : 0;
    theSettings.SkipSilenceDb = m_spinSkipThreshold->GetValue();
    // A hold the field shows unchanged stays as kept, to the millisecond.
    const int nHold = static_cast<int>(std::lround(m_spinSkipHold->GetValue() * 1000));
    if (std::lround(theSettings.SkipSilenceHoldMs / 100.0) != std::lround(nHold / 100.0))
        theSettings.SkipSilenceHoldMs = nHold;
}

void CPageGeneral::OnDeviceChosen(wxCommandEvent&)
{
    int nDevice = m_cmbDevices->GetSelection();
    // Back on the device the page opened with, its saved line is the choice again.
    FillLines(nDevice, nDevice == m_nStartDevice ? m_nStartLine : -1);
    if (!m_bFilled)
        FillRest();
}

void CPageGeneral::OnBrowse(wxCommandEvent&)
{
    // GTK's chooser opens on its recent files unless it is handed a folder that exists.
    const std::string start = NearestExistingFolder(m_editFolder->GetValue().utf8_string());
    wxDirDialog dialog(this, "Please select an output folder", wxString::FromUTF8(start),
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK)
        return;
    wxString path = dialog.GetPath();
    if (path.empty())
        return;
    // The configuration file keeps no more of a folder: a longer path would come back as another folder.
    if (path.utf8_string().size() > MAX_TEXT_BYTES)
    {
        MessageBoxA(wxGetTopLevelParent(this),
                    "The path of that folder is too long to be kept. Choose a folder with a shorter path.",
                    APP_CAPTION, MB_ICONHAND);
        return;
    }
    m_editFolder->ChangeValue(path);
}

void CPageGeneral::OnOK()
{
    if (!GetHandle() || !m_bFilled)
        return;
    const int nDevice = m_cmbDevices->GetSelection();
    const int nLine = m_cmbLines->GetSelection();
    if (nLine != wxNOT_FOUND)
    {
        theSettings.LineIndex = nLine;
        theSettings.LineName = m_lineNames[static_cast<size_t>(nLine)];
    }
    else if (nDevice != m_nStartDevice)
    {
        // No lines to choose from (the mixer did not open): the saved line still belongs to the
        // same device; another device starts from its default line.
        theSettings.LineIndex = -1;
        theSettings.LineName.clear();
    }
    else
        theSettings.LineIndex = m_nStartLine;
    theSettings.DeviceIndex = nDevice;
    theSettings.DeviceName = nDevice >= 0 ? m_deviceNames[static_cast<size_t>(nDevice)] : std::string();
    theSettings.OutputFormat = m_cmbFormat->GetSelection();
    theSettings.SavedDirectry = ToRecordText(m_editFolder->GetValue(), MAX_TEXT_BYTES);
    theSettings.IsOpenOutput = m_chkOpenOutput->GetValue() ? 1 : 0;
    theSettings.IsViewWaveform = m_chkViewWaveform->GetValue() ? 1 : 0;
    StoreSkipSilence();
    theSettings.BothLayout = m_chkBothSideBySide->GetValue() ? BOTH_LAYOUT_SIDE_BY_SIDE : BOTH_LAYOUT_MIXED;
    theSettings.SplitFiles = m_chkSplit->GetValue() ? 1 : 0;
    theSettings.SplitMinutes = m_spinSplitMinutes->GetValue();
}
