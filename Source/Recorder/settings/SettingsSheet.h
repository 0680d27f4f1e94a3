// The "Settings" sheet: General, Track info and Output formats at the top of
// its tree, MP3, OGG, WAV and WMA below Output formats. Each page reads
// theSettings when first shown and writes it back at OK; Cancel changes
// nothing but the OGG and WMA modes, which their buttons store at once.
// Nothing is saved to the configuration file here.
//
// Main thread only, and never while a recording runs: the recording reads
// the record the pages write.
#pragma once
class CTreePropSheet;
class wxWindow;

// Runs the sheet modally over the parent window; wxID_OK or wxID_CANCEL.
int RunSettingsSheet(wxWindow* pParent);

// The sheet with its seven pages, not yet opened (CreateSheet or DoModal
// opens it). The caller owns it.
CTreePropSheet* NewSettingsSheet(wxWindow* pParent);
