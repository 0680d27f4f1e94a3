// The main window's link to the recording session: Record starts a recording and
// its row, Stop and a recording that ends by itself complete them.
#include "MainDlg.h"

#include "AppPaths.h"
#include "MessageBox.h"
#include "RecorderSettings.h"
#include "WaveIn.h"

#include <algorithm>

void CMainDlg::OnRecord(wxCommandEvent&)
{
    // While recording this button pauses and resumes.
    if (IsRecording())
    {
        OnPause();
        return;
    }
    // Keys can reach a disabled command.
    if (m_nRecordState != RECORD_STATE_IDLE)
        return;
    SetRecordState(RECORD_STATE_RECORDING);
    RecordingRequest request;
    request.nOutputFormat = theSettings.OutputFormat;
    request.folder = OutputFolder();
    // A row holds its path in a fixed field: a longer one would point at another file.
    request.nMaxPathBytes = sizeof(AudioItem::szPath);
    request.skipSilence = CurrentSilenceGate();
    if (theSettings.SplitFiles)
        request.nSplitMilliseconds = static_cast<uint32_t>(theSettings.SplitMinutes) * 60000u;
    if (!m_session.Start(request, Handle()))
    {
        SetRecordState(RECORD_STATE_IDLE);
        return;
    }
    const RecordingInfo& info = m_session.Info();
    AudioItem* pItem = NewRecordingRow(m_session.Path());
    m_wndWaveform->StartRecording(pItem);
    // Test tones are no recording of the user's: the view says where they come from.
    m_wndWaveform->SetSourceNote(info.bTestSignal ? "Virtual input: test tones, no sound server" : "");
    m_lstAudio->AddAudio(pItem);
}

void CMainDlg::OnStop(wxCommandEvent&)
{
    if (m_nRecordState == RECORD_STATE_RECORDING)
    {
        m_session.Stop();
        CompleteRecording(false);
    }
    SetRecordState(RECORD_STATE_IDLE);
}

AudioItem* CMainDlg::RecordingRow()
{
    if (m_recordingPath.empty())
        return nullptr;
    for (int nRow = 0; nRow < m_lstAudio->GetItemCount(); ++nRow)
        if (AudioItem* pItem = m_lstAudio->GetAudio(nRow);
            pItem && pItem->nState == AUDIO_STATE_RECORDING && m_recordingPath == pItem->szPath)
            return pItem;
    return nullptr;
}

void CMainDlg::CompleteRecording(bool bQuiet)
{
    if (!m_session.IsActive())
        return;
    // Waits the moment the capture needs to hand on its last part and finish the file. What it
    // has to say is told once the window shows the end.
    const RecordingOutcome outcome = m_session.Finish(Handle(), true);
    CompleteSplitFiles();
    AudioItem* pRow = RecordingRow();
    m_recordingPath.clear();
    if (!m_bClosing)
        SetRecordState(RECORD_STATE_IDLE);
    if (!outcome.bKept)
    {
        // No file: the row would point at nothing.
        if (pRow)
            m_lstAudio->DeleteAudio(pRow->nIndex);
        m_wndWaveform->ShowItem(m_lstAudio->GetCurAudio());
        if (!bQuiet)
            TellWhenShown(outcome);
        return;
    }
    if (pRow && outcome.path.size() >= sizeof(AudioItem::szPath))
    {
        // Moved where a row cannot name it: a row with the old path would point at another file.
        // The message says where the recording is.
        m_lstAudio->DeleteAudio(pRow->nIndex);
        m_wndWaveform->ShowItem(m_lstAudio->GetCurAudio());
        pRow = nullptr;
    }
    if (pRow)
    {
        // Where the file really is, and what it holds.
        if (outcome.path != pRow->szPath)
        {
            pRow->SetPath(outcome.path.c_str());
            pRow->DeriveName();
            pRow->nState = AUDIO_STATE_NEWNAME;
            m_lstAudio->UpdateAudioText(pRow);
        }
        pRow->nLength = outcome.nMilliseconds;
        pRow->nSize = static_cast<uint32_t>(std::min<uint64_t>(outcome.nSize, UINT32_MAX));
        pRow->nState = AUDIO_STATE_RECORDED;
        pRow->nClipped = m_wndWaveform->GetRecordedItem().nClipped;
        m_lstAudio->UpdateAudioText(pRow);
        m_wndWaveform->CompleteRecording(*pRow);
    }
    if (bQuiet)
        return;
    TellWhenShown(outcome);
    if (theSettings.IsOpenOutput)
        OnGoToFolder();
}

void CMainDlg::TellWhenShown(const RecordingOutcome& outcome)
{
    if (outcome.message.empty())
        return;
    // The window shows the end first (buttons, row, view): a modal box opened at once would hold
    // back that repaint until it is closed.
    CallAfter([this, outcome] { CRecordingSession::Tell(outcome, Handle()); });
}

void CMainDlg::OnWaveformStopped(CWindowMessageEvent& event)
{
    event.SetResult(0);
    AudioItem stopped;
    while (m_wndWaveform->TakeStoppedRecording(stopped))
    {
    }
    // A recording that ended by itself (a full disk, a lost device): the window ends it too.
    // One stopped by the user was completed already.
    if (m_bClosing || !m_session.HasEnded())
        return;
    CompleteRecording(false);
    SetRecordState(RECORD_STATE_IDLE);
}

void CMainDlg::FreeReceivers()
{
    m_session.FreeReceivers();
    FreeDevices();
}

void CMainDlg::OnWaveformSplit(CWindowMessageEvent& event)
{
    event.SetResult(0);
    if (m_bClosing || !m_session.IsActive())
        return;
    const bool bGoesOn = m_session.GoOnSplitting();
    CompleteSplitFiles();
    // The next file could not be made: the recording ends with what it holds, and says why.
    if (!bGoesOn)
    {
        CompleteRecording(false);
        SetRecordState(RECORD_STATE_IDLE);
    }
}

AudioItem* CMainDlg::NewRecordingRow(const std::string& path)
{
    const RecordingInfo& info = m_session.Info();
    auto* pItem = new AudioItem;
    pItem->SetPath(path.c_str());
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_RECORDING;
    pItem->nBitrate = info.nBitrate;
    pItem->nSampleRate = info.nSampleRate;
    pItem->nChannels = info.nChannels;
    pItem->nBitsPerSample = info.nBitsPerSample;
    m_recordingPath = pItem->szPath;
    return pItem;
}

void CMainDlg::CompleteSplitFiles()
{
    for (const RecordingOutcome& done : m_session.TakeFinishedFiles())
    {
        if (AudioItem* pRow = RecordingRow())
        {
            if (!done.bKept || done.path.size() >= sizeof(AudioItem::szPath))
                m_lstAudio->DeleteAudio(pRow->nIndex);
            else
            {
                pRow->SetPath(done.path.c_str());
                pRow->DeriveName();
                pRow->nLength = done.nMilliseconds;
                pRow->nSize = static_cast<uint32_t>(std::min<uint64_t>(done.nSize, UINT32_MAX));
                pRow->nState = AUDIO_STATE_RECORDED;
                m_lstAudio->UpdateAudioText(pRow);
            }
        }
        TellWhenShown(done);
        // The recording goes on in the next file, in a row of its own that says it is being recorded.
        AudioItem* pItem = NewRecordingRow(done.continuedIn);
        m_wndWaveform->ContinueRecording(pItem);
        m_lstAudio->AddAudio(pItem);
    }
}
