#include "ResizablePage.h"

bool CResizablePage::CreatePage(wxWindow* pParent)
{
    if (GetHandle())
        return true;
    if (!wxPanel::Create(pParent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, m_title))
        return false;
    Hide();
    CreateControls();
    return true;
}

bool CResizablePage::InitOnce()
{
    if (m_bInitialized)
        return true;
    m_bInitialized = true;
    return OnInitDialog();
}
