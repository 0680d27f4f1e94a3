#include "PageWAV.h"

#include "PageLayout.h"
#include "RecorderSettings.h"

#include <wx/sizer.h>

using namespace SettingsLayout;

CPageWAV::CPageWAV() : CResizablePage("Output formats::WAV")
{
    SetHasWhiteBackground(false);
}

void CPageWAV::CreateControls()
{
    // In the order of WavChannelTable, WavSampleRateTable and WavBitsTable.
    static const wxString channels[] = {"mono", "stereo"};
    static const wxString rates[] = {"11.025 kHz", "22.05 kHz", "44.1 kHz"};
    static const wxString bits[] = {"8-bit", "16-bit"};
    auto* pForm = NewForm();
    m_cmbChannels = NewList(this, IDC_CHANNELS, wxArrayString(WXSIZEOF(channels), channels));
    AddRow(pForm, this, "C&hannels:", m_cmbChannels, 0);
    m_cmbSampleRate = NewList(this, IDC_SAMPLE_RATE, wxArrayString(WXSIZEOF(rates), rates));
    AddRow(pForm, this, "&Samplerate:", m_cmbSampleRate, 0);
    m_cmbBits = NewList(this, IDC_BITS, wxArrayString(WXSIZEOF(bits), bits));
    AddRow(pForm, this, "&Bits Per Sample:", m_cmbBits, 0);

    auto* pPage = new wxBoxSizer(wxVERTICAL);
    pPage->Add(pForm, Spaced().Expand());
    SetSizer(pPage);
}

bool CPageWAV::OnInitDialog()
{
    SelectEntry(m_cmbChannels, theSettings.WavChannelsIndex);
    SelectEntry(m_cmbSampleRate, theSettings.WavSampleRateIndex);
    SelectEntry(m_cmbBits, theSettings.WavBitsIndex);
    return true;
}

void CPageWAV::OnOK()
{
    if (!GetHandle())
        return;
    theSettings.WavChannelsIndex = SelectionOr(m_cmbChannels, theSettings.WavChannelsIndex);
    theSettings.WavSampleRateIndex = SelectionOr(m_cmbSampleRate, theSettings.WavSampleRateIndex);
    theSettings.WavBitsIndex = SelectionOr(m_cmbBits, theSettings.WavBitsIndex);
}
