// The about box: the product picture, three link lines (the MP3 encoder's
// project, our home page, our support address), the title with its version
// and a line on what the program does. OK, Enter and Escape close it. Tab
// goes through the links and OK in reading order; Alt+L, Alt+H and Alt+M
// open the links, Alt+O closes.
//
// Threads: main thread only.
#pragma once
#include "HoverButton.h"
#include "StaticLink.h"

#include <wx/dialog.h>

enum
{
    IDC_ABOUT_HOMEPAGE = 1000,
    IDC_ABOUT_MAIL = 1001,
    IDC_ABOUT_LAME = 1020,
};

// The link targets and the texts that show them.
extern const char* const ABOUT_LAME_URL;
extern const char* const ABOUT_HOME_URL;
extern const char* const ABOUT_MAIL_URL;

class CDlgAbout : public wxDialog
{
public:
    explicit CDlgAbout(wxWindow* pParent);

    CStaticLink* GetLink(int nId) const;

private:
    CStaticLink* m_stcLame = nullptr;
    CStaticLink* m_stcHome = nullptr;
    CStaticLink* m_stcMail = nullptr;
    CHoverButton* m_btnOK = nullptr;
};
