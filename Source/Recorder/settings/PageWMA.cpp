#include "PageWMA.h"

#include "PageLayout.h"
#include "RecorderSettings.h"

#include <wx/sizer.h>

using namespace SettingsLayout;

CPageWMA::CPageWMA() : CResizablePage("Output formats::WMA")
{
    SetHasWhiteBackground(false);
}

void CPageWMA::CreateControls()
{
    auto* pGrid = new wxFlexGridSizer(2, wxSize(0, 0));
    m_rdoBitrate = new wxRadioButton(this, IDC_MODE_BITRATE, "Constant &Bitrate", wxDefaultPosition, wxDefaultSize,
                                     wxRB_GROUP);
    m_cmbBitrate = NewList(this, IDC_BITRATE, TableTexts(WmaBitrateTable, TableSize(WmaBitrateTable), "%d Kbps"));
    m_rdoQuality = new wxRadioButton(this, IDC_MODE_QUALITY, "&Quality (VBR)");
    m_cmbQuality = NewList(this, IDC_QUALITY, TableTexts(WmaQualityTable, TableSize(WmaQualityTable), "%d%%"));
    pGrid->Add(m_rdoBitrate, Spaced().CenterVertical());
    pGrid->Add(m_cmbBitrate, Spaced().CenterVertical());
    pGrid->Add(m_rdoQuality, Spaced().CenterVertical());
    pGrid->Add(m_cmbQuality, Spaced().CenterVertical());

    auto* pPage = new wxBoxSizer(wxVERTICAL);
    pPage->Add(pGrid, Spaced());
    SetSizer(pPage);

    m_rdoBitrate->Bind(wxEVT_RADIOBUTTON, &CPageWMA::OnModeBitrate, this);
    m_rdoQuality->Bind(wxEVT_RADIOBUTTON, &CPageWMA::OnModeQuality, this);
}

bool CPageWMA::OnInitDialog()
{
    SelectEntry(m_cmbBitrate, theSettings.WmaBitrateIndex);
    SelectEntry(m_cmbQuality, theSettings.WmaQualityIndex);
    SelectMode(theSettings.WmaMode != 0 ? 1 : 0);
    return true;
}

void CPageWMA::SelectMode(int nMode)
{
    theSettings.WmaMode = nMode;
    m_rdoBitrate->SetValue(nMode == 0);
    m_rdoQuality->SetValue(nMode == 1);
    m_cmbBitrate->Enable(nMode == 0);
    m_cmbQuality->Enable(nMode == 1);
}

void CPageWMA::OnModeBitrate(wxCommandEvent&)
{
    SelectMode(0);
}

void CPageWMA::OnModeQuality(wxCommandEvent&)
{
    SelectMode(1);
}

void CPageWMA::OnOK()
{
    if (!GetHandle())
        return;
    theSettings.WmaMode = m_rdoBitrate->GetValue() ? 0 : 1;
    theSettings.WmaBitrateIndex = SelectionOr(m_cmbBitrate, theSettings.WmaBitrateIndex);
    theSettings.WmaQualityIndex = SelectionOr(m_cmbQuality, theSettings.WmaQualityIndex);
}
