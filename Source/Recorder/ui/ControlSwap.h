// Puts a control of ours in the place of a plain control of a dialog (same
// parent, id, position, size, tab order and sizer slot) and destroys the
// plain one: the wx form of attaching a class to a dialog's control.
// Main thread only.
#pragma once
#include <wx/window.h>

// Moves pNew into pOld's place (pNew must already be a child of the same
// parent) and destroys pOld.
void ReplaceDialogControl(wxWindow* pOld, wxWindow* pNew);
