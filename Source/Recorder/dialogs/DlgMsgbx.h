// The program's own message boxes, captioned "Message Box": CDlgMsgbx with
// "&OK", CDlgMsgbx_ with "&OK" and "&Cancel", CDlgErrorMsgbx with "&OK" and
// the desktop's stop icon before the text, for errors. Each plays the
// message sound as it opens, without waiting for it (silent where no sound
// server answers).
//
// Results: wxID_OK after "&OK" or Enter; wxID_CANCEL after "&Cancel",
// Escape or closing the window. In CDlgMsgbx_ Enter answers OK whatever
// control has the focus, "&Cancel" included.
//
// Threads: main thread only.
#pragma once
#include "HoverButton.h"

#include <wx/dialog.h>
#include <wx/statbmp.h>
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
    // The stop icon of an error box; null in the other boxes.
    wxStaticBitmap* GetIconControl() const { return m_bmpIcon; }

protected:
    CDlgMsgbx(wxWindow* pParent, const wxString& text, bool bWithCancel, bool bError = false);
    void OnInitDialog(wxInitDialogEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxString m_strText;
    wxStaticBitmap* m_bmpIcon = nullptr;
    wxStaticText* m_stcText = nullptr;
    CHoverButton* m_btnOK = nullptr;
    CHoverButton* m_btnCancel = nullptr;
};

class CDlgMsgbx_ : public CDlgMsgbx
{
public:
    CDlgMsgbx_(wxWindow* pParent, const wxString& text);
};

class CDlgErrorMsgbx : public CDlgMsgbx
{
public:
    CDlgErrorMsgbx(wxWindow* pParent, const wxString& text);
};

// Plays the message sound of the boxes (once the sound is registered, also elsewhere).
void PlayMessageSound();
