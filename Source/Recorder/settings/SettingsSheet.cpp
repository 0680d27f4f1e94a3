#include "SettingsSheet.h"

#include "PageFormats.h"
#include "PageGeneral.h"
#include "PageMP3.h"
#include "PageOGG.h"
#include "PageTrack.h"
#include "PageWAV.h"
#include "PageWMA.h"
#include "TreePropSheet.h"

#include <wx/dcmemory.h>
#include <wx/settings.h>

#include <algorithm>
#include <memory>

namespace
{
// The tree's width: the usual 150 pixels, wider when a larger desktop font needs it, so no
// page name is cut. Each level of the tree is indented by about one expander.
int TreeWidthFor(const CTreePropSheet& sheet)
{
    wxBitmap scratch(1, 1);
    wxMemoryDC dc(scratch);
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    const int nIndent = std::max(24, dc.GetCharHeight() * 3 / 2);
    int nWidth = 150;
    for (size_t i = 0; i < sheet.GetPageCount(); ++i)
    {
        const wxString title = sheet.GetPage(i)->GetPageTitle();
        int nDepth = 0;
        for (size_t at = title.find("::"); at != wxString::npos; at = title.find("::", at + 2))
            ++nDepth;
        nWidth = std::max(nWidth, dc.GetTextExtent(title.AfterLast(':')).x + (nDepth + 2) * nIndent + 8);
    }
    return nWidth;
}
}  // namespace

CTreePropSheet* NewSettingsSheet(wxWindow* pParent)
{
    auto* pSheet = new CTreePropSheet("Settings", pParent, 0);
    pSheet->SetTreeViewMode(true, true, false);
    pSheet->SetEmptyPageText("Select a sub-item");
    // The order gives the tree: each title names its place.
    pSheet->AddPage(new CPageGeneral);
    pSheet->AddPage(new CPageTrack);
    pSheet->AddPage(new CPageFormats);
    pSheet->AddPage(new CPageMP3);
    pSheet->AddPage(new CPageOGG);
    pSheet->AddPage(new CPageWAV);
    pSheet->AddPage(new CPageWMA);
    pSheet->SetTreeWidth(TreeWidthFor(*pSheet));
    return pSheet;
}

int RunSettingsSheet(wxWindow* pParent)
{
    std::unique_ptr<CTreePropSheet> pSheet(NewSettingsSheet(pParent));
    const int nResult = pSheet->DoModal();
    return nResult == wxID_OK ? wxID_OK : wxID_CANCEL;
}
