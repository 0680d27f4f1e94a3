#include "DlgMsgbx.h"

#include "MessageSound.h"
#include "PlaySound.h"

#include <wx/artprov.h>
#include <wx/sizer.h>

#include <mutex>

void PlayMessageSound()
{
    static std::once_flag registered;
    std::call_once(registered, [] { RegisterSoundResource(IDR_MESSAGE_SOUND, MakeMessageSoundWave()); });
    PlaySoundA(MAKEINTRESOURCEA(IDR_MESSAGE_SOUND), nullptr, SND_RESOURCE | SND_ASYNC);
}

CDlgMsgbx::CDlgMsgbx(wxWindow* pParent, const wxString& text) : CDlgMsgbx(pParent, text, false)
{
}

CDlgMsgbx::CDlgMsgbx(wxWindow* pParent, const wxString& text, bool bWithCancel, bool bError)
    : wxDialog(pParent, wxID_ANY, "Message Box"), m_strText(text)
{
    // The desktop's own stop sign, at the size its message dialogs show it.
    if (bError)
        m_bmpIcon = new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmapBundle(wxART_ERROR, wxART_MESSAGE_BOX));
    m_stcText = new wxStaticText(this, IDC_MSGBX_TEXT, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                 wxALIGN_CENTRE_HORIZONTAL);
    m_btnOK = new CHoverButton(this, IDC_MSGBX_OK, "&OK");
    if (bWithCancel)
        m_btnCancel = new CHoverButton(this, wxID_CANCEL, "&Cancel");
    m_btnOK->SetDefault();

    auto* pButtons = new wxBoxSizer(wxHORIZONTAL);
    pButtons->Add(m_btnOK, wxSizerFlags().Border(wxLEFT | wxRIGHT));
    if (m_btnCancel)
        pButtons->Add(m_btnCancel, wxSizerFlags().Border(wxLEFT | wxRIGHT));
    auto* pMessage = new wxBoxSizer(wxHORIZONTAL);
    if (m_bmpIcon)
        pMessage->Add(m_bmpIcon, wxSizerFlags().CentreVertical().DoubleBorder(wxRIGHT));
    pMessage->Add(m_stcText, wxSizerFlags(1).CentreVertical());
    auto* pTop = new wxBoxSizer(wxVERTICAL);
    pTop->Add(pMessage, wxSizerFlags(1).Expand().DoubleBorder(wxLEFT | wxRIGHT | wxTOP));
    pTop->Add(pButtons, wxSizerFlags().Centre().DoubleBorder(wxALL));
    // The box keeps the size of its design (260 by 69 dialog units, the text line 227 by 13) and grows for longer texts.
    m_stcText->SetLabelText(m_strText);
    m_stcText->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(227, 13)).x, -1));
    const wxSize design = ConvertDialogToPixels(wxSize(260, 69));
    pTop->SetMinSize(design);
    SetSizerAndFit(pTop);
    CentreOnParent();

    Bind(wxEVT_INIT_DIALOG, &CDlgMsgbx::OnInitDialog, this);
    Bind(wxEVT_CHAR_HOOK, &CDlgMsgbx::OnCharHook, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_OK); }, IDC_MSGBX_OK);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); }, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });
}

void CDlgMsgbx::OnInitDialog(wxInitDialogEvent& event)
{
    PlayMessageSound();
    for (CHoverButton* pButton : {m_btnOK, m_btnCancel})
        if (pButton)
        {
            pButton->UseProgramHoverLook();
        }
    event.Skip();
}

void CDlgMsgbx::OnCharHook(wxKeyEvent& event)
{
    const int nKey = event.GetKeyCode();
    if (nKey == WXK_ESCAPE)
        EndModal(wxID_CANCEL);
    // The two-button box answers OK to Enter wherever the focus is.
    else if (m_btnCancel && (nKey == WXK_RETURN || nKey == WXK_NUMPAD_ENTER))
        EndModal(wxID_OK);
    else
        event.Skip();
}

CDlgMsgbx_::CDlgMsgbx_(wxWindow* pParent, const wxString& text) : CDlgMsgbx(pParent, text, true)
{
}

CDlgErrorMsgbx::CDlgErrorMsgbx(wxWindow* pParent, const wxString& text) : CDlgMsgbx(pParent, text, false, true)
{
}
