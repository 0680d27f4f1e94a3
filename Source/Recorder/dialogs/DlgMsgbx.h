// The program's own message boxes, captioned "Message Box": CDlgMsgbx with
// "&OK", CDlgMsgbx_ with "&OK" and "&Cancel". Each plays the message sound
// as it opens, without waiting for it (silent where no sound server answers).
//
// Results: wxID_OK after "&OK" or Enter; wxID_CANCEL after "&Cancel",
// Escape or closing the window. In CDlgMsgbx_ Enter answers OK whatever
// control has the focus, "&Cancel" included.
//
// Threads: main thread only.
#pragma once
#include "HoverButton.h"

#include <wx/dialog.h>
#include <wx/stattext.h>

enum
{
    IDC_MSGBX_OK = 1020,
    IDC_MSGBX_TEXT = 1021,
};

class CDlgMsgbx : public wxDialog
{
public:
    CDlgMsgbx(wxWindow* pParent, const wxString& text);

    const wxString& GetText() const { return m_strText; }

protected:
    CDlgMsgbx(wxWindow* pParent, const wxString& text, bool bWithCancel);
    void OnInitDialog(wxInitDialogEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxString m_strText;
    wxStaticText* m_stcText = nullptr;
    CHoverButton* m_btnOK = nullptr;
    CHoverButton* m_btnCancel = nullptr;
};

class CDlgMsgbx_ : public CDlgMsgbx
{
public:
    CDlgMsgbx_(wxWindow* pParent, const wxString& text);
};

// Plays the message sound of the boxes (once the sound is registered, also elsewhere).
void PlayMessageSound();
