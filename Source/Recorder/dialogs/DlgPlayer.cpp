#include "DlgPlayer.h"

#include "FilePaths.h"

#include <wx/app.h>

#include <algorithm>
#include <cstdio>

namespace
{
constexpr long kOneHour = 3600000;
}  // namespace

bool IsMiniPlayerFile(const char* pszPath)
{
    std::string ext;
    return GetFileExt(pszPath, ext) && (ext == "mp3" || ext == "wav" || ext == "wma");
}

std::string PlayerTimeText(long nValue, long nLength)
{
    char text[64];
    if (nLength < kOneHour)
    {
        const long m = nValue / 60000;
        const long s = (nValue - m * 60000) / 1000;
        std::snprintf(text, sizeof(text), "%02ld:%02ld", m, s);
    }
    else
    {
        const long nSeconds = nValue / 1000;
        const long h = nSeconds / 3600;
        const long m = (nSeconds - h * 3600) / 60;
        std::snprintf(text, sizeof(text), "%02ld:%02ld:%02ld", h, m, nSeconds - h * 3600 - m * 60);
    }
    return text;
}

std::string PlayerInfoText(const std::string& path, long nPosition, long nLength)
{
    std::string name;
    GetFileName(path.c_str(), name);
    return "File: " + name + "\r\nTime: " + PlayerTimeText(nPosition, nLength) + "/" + PlayerTimeText(nLength, nLength);
}

CDlgPlayer::CDlgPlayer(wxWindow* pParent, const std::string& path)
    : wxDialog(pParent ? pParent : wxTheApp->GetTopWindow(), wxID_ANY, "Mini Audio Player", wxDefaultPosition,
               wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_strPath(path)
{
    m_stcInfo = new wxGenericStaticText(this, IDC_PLAYER_INFO, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                        wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END | wxBORDER_SUNKEN);
    // Shown once there is a player to tell about.
    m_stcInfo->Hide();
    m_btnExit = new CHoverButton(this, IDC_PLAYER_EXIT, "&Exit");
    m_btnExit->SetDefault();
    Bind(wxEVT_SIZE, &CDlgPlayer::OnSize, this);
    Bind(EVT_MEDIA_WINDOW_POSITION, &CDlgPlayer::OnPosition, this);
    Bind(wxEVT_CHAR_HOOK, &CDlgPlayer::OnCharHook, this);
    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_OK); }, IDC_PLAYER_EXIT);
}

int CDlgPlayer::ShowModal()
{
    InitPlayer();
    const int nResult = wxDialog::ShowModal();
    // Closing ends the playback at once, however the dialog was closed.
    if (m_wndMedia)
        m_wndMedia->Stop();
    return nResult;
}

void CDlgPlayer::InitPlayer()
{
    m_btnExit->UseProgramHoverLook();

    // The design's size (152 by 86 dialog units), taller where the font needs it; Exit sits
    // centred under the play bar and stays there.
    const wxSize design = ConvertDialogToPixels(wxSize(152, 86));
    const wxSize exit = m_btnExit->GetBestSize();
    const int nTextHeight = 2 * GetCharHeight() + 6;
    const int nBarBottom = 10 + std::max(40, nTextHeight) + 10 + CMediaWindow::BAR_HEIGHT;
    const wxSize client(std::max(design.x, exit.x + 20), std::max(design.y, nBarBottom + 10 + exit.y + 10));
    SetClientSize(client);
    SetMinClientSize(client);
    m_btnExit->SetSize((client.x - exit.x) / 2, nBarBottom + 10, exit.x, exit.y);
    CentreOnParent();

    if (m_strPath.empty())
        return;
    if (m_wndMedia)
        m_wndMedia->Destroy();
    m_wndMedia = new CMediaWindow();
    if (!m_wndMedia->Create(this, IDC_PLAYER_MEDIA, m_strPath))
    {
        delete m_wndMedia;
        m_wndMedia = nullptr;
        return;
    }
    m_wndMedia->Seek(0);
    m_wndMedia->Play();
    m_wndMedia->SetRepeat(false);
    LayoutPlayer();
}

void CDlgPlayer::LayoutPlayer()
{
    if (!m_stcInfo || !m_wndMedia)
        return;
    const wxSize client = GetClientSize();
    // The rows of the design (text 40 pixels high, the bar 20) unless the font needs more.
    const int nInfoHeight = std::max(40, 2 * GetCharHeight() + 6);
    const int nMediaTop = 10 + nInfoHeight + 10;
    m_stcInfo->SetSize(5, 10, std::max(1, client.x - 15), nInfoHeight);
    m_stcInfo->Show();
    m_wndMedia->SetSize(0, nMediaTop, client.x, CMediaWindow::BAR_HEIGHT);
}

void CDlgPlayer::OnSize(wxSizeEvent& event)
{
    event.Skip();
    LayoutPlayer();
}

void CDlgPlayer::OnPosition(wxCommandEvent& event)
{
    const long nLength = m_wndMedia ? m_wndMedia->GetLength() : 0;
    wxString text = wxString::FromUTF8(PlayerInfoText(m_strPath, event.GetExtraLong(), nLength));
    // The line break of the text as this platform's labels write it.
    text.Replace("\r\n", "\n");
    if (text != m_stcInfo->GetLabelText())
        m_stcInfo->SetLabelText(text);
}

void CDlgPlayer::OnCharHook(wxKeyEvent& event)
{
    const int nKey = event.GetKeyCode();
    if (nKey == WXK_RETURN || nKey == WXK_NUMPAD_ENTER || nKey == WXK_ESCAPE)
        EndModal(wxID_OK);
    else
        event.Skip();
}
