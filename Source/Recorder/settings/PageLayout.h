// What the settings pages share: drop-down lists filled from the constant
// tables, selections that never point outside their list, labelled rows laid
// out by sizers (so a larger desktop font never clips a control), and the
// way a page grows its sheet when its content grew after the sheet was sized.
// Main thread only.
#pragma once
#include <wx/arrstr.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/string.h>
#include <wx/textctrl.h>

#include <initializer_list>
#include <string>

class CResizablePage;

namespace SettingsLayout
{
// The space between controls and around groups.
wxSizerFlags Spaced();

// "%d Kbps" (or another format) for every entry of a table.
wxArrayString TableTexts(const int* pTable, int nCount, const char* pszFormat);

// A drop-down list with the items.
wxChoice* NewList(wxWindow* pParent, int nId, const wxArrayString& items);
// Selects the entry, or nothing when the position is not in the list.
void SelectEntry(wxChoice* pList, int nIndex);
// The selected position, or nPrevious when nothing is selected: a stored
// index must stay a position of its table.
int SelectionOr(const wxChoice* pList, int nPrevious);

// A two-column grid for "Label:" rows; the second column takes the spare width.
wxFlexGridSizer* NewForm();
// Adds a label and its control as one row of the form; the label comes right before the
// control in tab order, so its mnemonic ("&Title:") focuses the control.
void AddRow(wxFlexGridSizer* pForm, wxWindow* pParent, const wxString& label, wxWindow* pControl,
            int nControlFlags = wxEXPAND);

// The best width of the widest of the texts in the window's font, for labels
// whose text changes while the page is shown.
int WidestText(wxWindow* pWindow, std::initializer_list<wxString> texts);

// Makes a one-line text field as tall as the desktop's theme wants it: wx asks
// for less at larger fonts, which squeezes the text against the frame.
void GiveTextRoom(wxTextCtrl* pEdit);

// After the page's content grew (lists filled from a device), grows the sheet
// so the whole page stays visible.
void FitSheetToPage(CResizablePage* pPage);

// Text of the engine (UTF-8, perhaps cut inside a character) for a control.
wxString FromEngineText(const char* pszText);
// A control's text for the record, at most nMaxBytes bytes of UTF-8, never
// splitting a character.
std::string ToRecordText(const wxString& text, size_t nMaxBytes);
}  // namespace SettingsLayout
