#include "PageLayout.h"

#include "RecorderSettings.h"
#include "ResizablePage.h"
#include "TreePropSheet.h"
#include "Utf8.h"
#include "WindowSystem.h"

#include <wx/stattext.h>


#include <algorithm>
#include <cstring>

namespace SettingsLayout
{
wxSizerFlags Spaced()
{
    return wxSizerFlags().Border(wxALL);
}

wxArrayString TableTexts(const int* pTable, int nCount, const char* pszFormat)
{
    wxArrayString texts;
    for (int i = 0; i < nCount; ++i)
        texts.Add(wxString::Format(pszFormat, pTable[i]));
    return texts;
}

wxChoice* NewList(wxWindow* pParent, int nId, const wxArrayString& items)
{
    return new wxChoice(pParent, nId, wxDefaultPosition, wxDefaultSize, items);
}

void SelectEntry(wxChoice* pList, int nIndex)
{
    // wx asserts on a position outside the list; the list then simply shows no choice.
    pList->SetSelection(nIndex >= 0 && static_cast<unsigned>(nIndex) < pList->GetCount() ? nIndex : wxNOT_FOUND);
}

int SelectionOr(const wxChoice* pList, int nPrevious)
{
    int nSelection = pList->GetSelection();
    return nSelection == wxNOT_FOUND ? nPrevious : nSelection;
}

wxFlexGridSizer* NewForm()
{
    auto* pForm = new wxFlexGridSizer(2, wxSize(0, 0));
    pForm->AddGrowableCol(1, 1);
    return pForm;
}

void AddRow(wxFlexGridSizer* pForm, wxWindow* pParent, const wxString& label, wxWindow* pControl, int nControlFlags)
{
    auto* pLabel = new wxStaticText(pParent, wxID_ANY, label);
    // The toolkit gives a label's mnemonic to the next control in tab order, so the label goes right before its control.
    pLabel->MoveBeforeInTabOrder(pControl);
    pForm->Add(pLabel, Spaced().CenterVertical());
    // A stretched control fills its cell both ways; the row is as tall as its tallest member anyway.
    pForm->Add(pControl, (nControlFlags & wxEXPAND) ? Spaced().Expand() : Spaced().CenterVertical());
}

int WidestText(wxWindow* pWindow, std::initializer_list<wxString> texts)
{
    int nWidest = 0;
    for (const wxString& text : texts)
        nWidest = std::max(nWidest, pWindow->GetTextExtent(text).x);
    return nWidest;
}

void GiveTextRoom(wxTextCtrl* pEdit)
{
    const wxSize min = pEdit->GetMinSize();
    pEdit->SetMinSize(wxSize(min.x, std::max({min.y, pEdit->GetBestSize().y, NaturalHeight(pEdit->GetHandle())})));
}

void FitSheetToPage(CResizablePage* pPage)
{
    auto* pFrame = dynamic_cast<CPropPageFrame*>(pPage->GetParent());
    wxWindow* pTop = wxGetTopLevelParent(pPage);
    if (!pFrame || !pTop || !pTop->GetSizer())
    {
        pPage->Layout();
        return;
    }
    pPage->InvalidateBestSize();
    wxSize need = pFrame->FrameSizeForPage(pPage->GetBestSize());
    need.IncTo(pFrame->GetMinSize());
    pFrame->SetMinSize(need);
    // Also when the frame's minimum already fits: a size set before the sheet was shown may have been
    // replaced since by a smaller one.
    const wxSize fitting = pTop->GetSizer()->ComputeFittingWindowSize(pTop);
    wxSize size = pTop->GetSize();
    if (size.x < fitting.x || size.y < fitting.y)
    {
        pTop->SetMinSize(fitting);
        size.IncTo(fitting);
        pTop->SetSize(size);
        pTop->Layout();
    }
    pPage->Layout();
}

wxString FromEngineText(const char* pszText)
{
    if (!pszText || !*pszText)
        return wxString();
    // Device names are cut to a fixed length, which may split the last character.
    size_t nLength = std::strlen(pszText);
    for (size_t nDrop = 0; nDrop < 4 && nDrop < nLength; ++nDrop)
    {
        wxString text = wxString::FromUTF8(pszText, nLength - nDrop);
        if (!text.empty())
            return text;
    }
    return wxString::From8BitData(pszText);
}

std::string ToRecordText(const wxString& text, size_t nMaxBytes)
{
    return CutUtf8(text.utf8_string(), nMaxBytes);
}
}  // namespace SettingsLayout
