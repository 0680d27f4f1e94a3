#include "PageOGG.h"

#include "PageLayout.h"
#include "RecorderSettings.h"

#include <wx/sizer.h>
#include <wx/statbox.h>

using namespace SettingsLayout;

const char* const CPageOGG::RANGE_WARNING = "The minimum bitrate is above the maximum bitrate.";

CPageOGG::CPageOGG() : CResizablePage("Output formats::OGG")
{
    SetHasWhiteBackground(false);
}

void CPageOGG::CreateControls()
{
    // Every control is a child of the page itself, so the four mode buttons form one group across both frames.
    auto* pQualityBox = new wxStaticBoxSizer(wxVERTICAL, this, "Quality Management (recommended)");
    m_rdoModes[0] = new wxRadioButton(this, IDC_MODE_QUALITY, "&Quality Settings:", wxDefaultPosition, wxDefaultSize,
                                      wxRB_GROUP);
    m_sldQuality = new wxSlider(this, IDC_QUALITY, 0, 0, 1000, wxDefaultPosition, wxDefaultSize,
                                wxSL_HORIZONTAL | wxSL_AUTOTICKS);
    m_sldQuality->SetMinSize(wxSize(GetTextExtent(wxString('x', 40)).x, -1));
    m_txtWorst = new wxStaticText(this, 1347, "worst");
    m_txtBest = new wxStaticText(this, 1348, "best");
    m_txtQuality = new wxStaticText(this, IDC_QUALITY_TEXT, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                    wxST_NO_AUTORESIZE);
    m_txtQuality->SetMinSize(wxSize(WidestText(m_txtQuality, {QualityText(1000)}), -1));
    m_txtBitrate = new wxStaticText(this, IDC_BITRATE_TEXT, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                    wxST_NO_AUTORESIZE);
    m_txtBitrate->SetMinSize(wxSize(WidestText(m_txtBitrate, {BitrateText(1000), BitrateText(999)}), -1));

    auto* pEnds = new wxBoxSizer(wxHORIZONTAL);
    pEnds->Add(m_txtWorst);
    pEnds->AddStretchSpacer();
    pEnds->Add(m_txtBest);
    auto* pLabels = new wxBoxSizer(wxHORIZONTAL);
    pLabels->Add(m_txtQuality, Spaced());
    pLabels->AddStretchSpacer();
    pLabels->Add(m_txtBitrate, Spaced());
    pQualityBox->Add(m_rdoModes[0], Spaced());
    pQualityBox->Add(m_sldQuality, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT));
    pQualityBox->Add(pEnds, wxSizerFlags().Expand().Border(wxLEFT | wxRIGHT));
    pQualityBox->Add(pLabels, wxSizerFlags().Expand());

    auto* pBitrateBox = new wxStaticBoxSizer(wxVERTICAL, this, "Bitrate Settings");
    auto* pModes = new wxBoxSizer(wxVERTICAL);
    m_rdoModes[1] = new wxRadioButton(this, IDC_MODE_VARIABLE, "&Variable Bitrate");
    m_rdoModes[2] = new wxRadioButton(this, IDC_MODE_AVERAGE, "&Average Bitrate");
    m_rdoModes[3] = new wxRadioButton(this, IDC_MODE_CONSTANT, "Cons&tant Bitrate");
    for (int i = 1; i < 4; ++i)
        pModes->Add(m_rdoModes[i], Spaced());

    const wxArrayString rates = TableTexts(OggBitrateTable, TableSize(OggBitrateTable), "%d Kbps");
    auto* pLists = new wxFlexGridSizer(3, wxSize(0, 0));
    const std::pair<int, const char*> heads[] = {{1349, "&minimum\nBitrate"}, {1350, "&nominal\nBitrate"},
                                                 {1351, "ma&ximum\nBitrate"}};
    // Each head right before its list, so the head's mnemonic focuses that list; the grid puts the heads above.
    wxChoice** lists[] = {&m_cmbMinimum, &m_cmbNominal, &m_cmbMaximum};
    const int listIds[] = {IDC_MINIMUM, IDC_NOMINAL, IDC_MAXIMUM};
    for (int i = 0; i < 3; ++i)
    {
        pLists->Add(new wxStaticText(this, heads[i].first, heads[i].second, wxDefaultPosition, wxDefaultSize,
                                     wxALIGN_CENTRE_HORIZONTAL),
                    Spaced().Center());
        *lists[i] = NewList(this, listIds[i], rates);
    }
    for (wxChoice* pList : {m_cmbMinimum, m_cmbNominal, m_cmbMaximum})
        pLists->Add(pList, Spaced().Expand());

    auto* pBitrateRow = new wxBoxSizer(wxHORIZONTAL);
    pBitrateRow->Add(pModes, wxSizerFlags().CenterVertical());
    pBitrateRow->Add(pLists, wxSizerFlags().CenterVertical());
    pBitrateBox->Add(pBitrateRow, wxSizerFlags().Expand());
    m_txtRangeWarning = new wxStaticText(this, IDC_RANGE_WARNING, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                         wxST_NO_AUTORESIZE);
    m_txtRangeWarning->SetForegroundColour(wxColour(192, 0, 0));
    // The space is kept while the text is empty, so showing it never moves or clips anything.
    m_txtRangeWarning->SetMinSize(m_txtRangeWarning->GetTextExtent(RANGE_WARNING));
    pBitrateBox->Add(m_txtRangeWarning, Spaced());

    auto* pPage = new wxBoxSizer(wxVERTICAL);
    pPage->Add(pQualityBox, Spaced().Expand());
    pPage->Add(pBitrateBox, Spaced().Expand());
    SetSizer(pPage);

    for (wxRadioButton* pMode : m_rdoModes)
        pMode->Bind(wxEVT_RADIOBUTTON, &CPageOGG::OnModeClicked, this);
    m_sldQuality->Bind(wxEVT_SLIDER, &CPageOGG::OnScroll, this);
    m_cmbNominal->Bind(wxEVT_CHOICE, &CPageOGG::OnNominalChosen, this);
    m_cmbMinimum->Bind(wxEVT_CHOICE, &CPageOGG::OnLimitChosen, this);
    m_cmbMaximum->Bind(wxEVT_CHOICE, &CPageOGG::OnLimitChosen, this);
}

bool CPageOGG::OnInitDialog()
{
    m_sldQuality->SetTickFreq(100);
    // The slider shows the stored quality in every mode, so OK in a bitrate mode keeps it as it was.
    m_sldQuality->SetValue(theSettings.OggQuality);
    ShowQuality();
    int nMode = theSettings.OggMode >= 0 && theSettings.OggMode <= 3 ? theSettings.OggMode : 0;
    for (int i = 0; i < 4; ++i)
        m_rdoModes[i]->SetValue(i == nMode);
    SelectMode(nMode);
    return true;
}

void CPageOGG::SelectMode(int nMode)
{
    theSettings.OggMode = nMode;
    m_rdoModes[nMode]->SetValue(true);
    const bool bQuality = nMode == 0;
    for (wxWindow* pWindow : std::initializer_list<wxWindow*>{m_sldQuality, m_txtQuality, m_txtBitrate, m_txtWorst,
                                                              m_txtBest})
        pWindow->Enable(bQuality);
    m_cmbMinimum->Enable(nMode == 1);
    m_cmbNominal->Enable(nMode == 2 || nMode == 3);
    m_cmbMaximum->Enable(nMode == 1);
    switch (nMode)
    {
    case 0:
        m_sldQuality->SetValue(theSettings.OggQuality);
        ShowQuality();
        break;
    case 1:
        SelectEntry(m_cmbMinimum, theSettings.OggMinBitrateIndex);
        SelectEntry(m_cmbMaximum, theSettings.OggMaxBitrateIndex);
        break;
    case 2:
        SelectEntry(m_cmbNominal, theSettings.OggNominalBitrateIndex);
        break;
    case 3:
        SelectEntry(m_cmbNominal, theSettings.OggNominalBitrateIndex);
        SelectEntry(m_cmbMinimum, theSettings.OggNominalBitrateIndex);
        SelectEntry(m_cmbMaximum, theSettings.OggNominalBitrateIndex);
        break;
    default:
        break;
    }
    ShowRangeWarning();
}

double CPageOGG::ExpectedKbps(int nPosition)
{
    return OggQualityKbps(nPosition);
}

wxString CPageOGG::QualityText(int nPosition)
{
    const unsigned nValue = static_cast<unsigned>(nPosition < 0 ? 0 : nPosition);
    return wxString::Format("Quality: %u.%02u", nValue / 100, nValue % 100);
}

wxString CPageOGG::BitrateText(int nPosition)
{
    const double dKbps = ExpectedKbps(nPosition);
    return wxString::Format("Bitrate: %u.%u kbps", static_cast<unsigned>(dKbps),
                            static_cast<unsigned>(dKbps * 10) % 10);
}

void CPageOGG::ShowQuality()
{
    const int nPosition = m_sldQuality->GetValue();
    m_txtQuality->SetLabel(QualityText(nPosition));
    m_txtBitrate->SetLabel(BitrateText(nPosition));
}

bool CPageOGG::IsRangeWrong() const
{
    return theSettings.OggMode == 1 && m_cmbMinimum->GetSelection() != wxNOT_FOUND &&
           m_cmbMaximum->GetSelection() != wxNOT_FOUND && m_cmbMinimum->GetSelection() > m_cmbMaximum->GetSelection();
}

void CPageOGG::ShowRangeWarning()
{
    m_txtRangeWarning->SetLabel(IsRangeWrong() ? RANGE_WARNING : "");
}

void CPageOGG::OnModeClicked(wxCommandEvent& event)
{
    SelectMode(event.GetId() - IDC_MODE_QUALITY);
}

void CPageOGG::OnScroll(wxCommandEvent& event)
{
    ShowQuality();
    event.Skip();
}

void CPageOGG::OnNominalChosen(wxCommandEvent&)
{
    if (theSettings.OggMode != 3)
        return;
    m_cmbMinimum->SetSelection(m_cmbNominal->GetSelection());
    m_cmbMaximum->SetSelection(m_cmbNominal->GetSelection());
}

void CPageOGG::OnLimitChosen(wxCommandEvent&)
{
    ShowRangeWarning();
}

bool CPageOGG::OnKillActive()
{
    if (!IsRangeWrong())
        return true;
    // The warning is on the page already; the page stays until the user mends the range.
    ShowRangeWarning();
    wxBell();
    m_cmbMinimum->SetFocus();
    return false;
}

void CPageOGG::OnOK()
{
    if (!GetHandle())
        return;
    theSettings.OggQuality = m_sldQuality->GetValue();
    // A list the mode never filled keeps the stored index.
    int nMinimum = SelectionOr(m_cmbMinimum, theSettings.OggMinBitrateIndex);
    int nMaximum = SelectionOr(m_cmbMaximum, theSettings.OggMaxBitrateIndex);
    theSettings.OggNominalBitrateIndex = SelectionOr(m_cmbNominal, theSettings.OggNominalBitrateIndex);
    // Outside variable bitrate a wrong pair may linger in the disabled lists: the stored pair stays as it was.
    if (nMinimum > nMaximum)
    {
        nMinimum = theSettings.OggMinBitrateIndex;
        nMaximum = theSettings.OggMaxBitrateIndex;
    }
    theSettings.OggMinBitrateIndex = nMinimum;
    theSettings.OggMaxBitrateIndex = nMaximum;
}
