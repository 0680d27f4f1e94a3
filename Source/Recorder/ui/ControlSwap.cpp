#include "ControlSwap.h"

#include <wx/sizer.h>

void ReplaceDialogControl(wxWindow* pOld, wxWindow* pNew)
{
    pNew->SetSize(pOld->GetRect());
    pNew->MoveAfterInTabOrder(pOld);
    if (wxSizer* pSizer = pOld->GetContainingSizer())
        pSizer->Replace(pOld, pNew);
    pNew->Show(pOld->IsShown());
    pNew->Enable(pOld->IsThisEnabled());
    pOld->Destroy();
}
