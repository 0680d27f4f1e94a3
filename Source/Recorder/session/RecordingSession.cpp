#include "RecordingSession.h"

#include "AppPaths.h"
#include "LameEncoder.h"
#include "MessageBox.h"
#include "Mixer.h"
#include "RecordingFiles.h"
#include "WaveIn.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

const char* const MSG_NOTHING_CAPTURED =
    "The recording ended before any audio was captured: nothing was recorded, so no file was kept.";
const char* const MSG_ONLY_SILENCE =
    "The recording heard only silence, which is skipped: nothing was recorded, so no file was kept.";
const char* const MSG_CAPTURE_STALLED =
    "The capture device delivered no audio for ten seconds, so the recording was stopped.";

namespace
{
std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The path as the kernel names it (links resolved), or empty when it does not exist.
std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

void Append(std::string& text, const std::string& more)
{
    if (more.empty())
        return;
    if (!text.empty())
        text += "\n";
    text += more;
}
}  // namespace

CRecordingSession::CRecordingSession() : m_starter(m_capture)
{
}

CRecordingSession::~CRecordingSession()
{
    Finish(nullptr, true);
    m_starter.FreeReceivers();
    if (m_preload.joinable())
        m_preload.join();
}

void CRecordingSession::PrepareAhead()
{
    EnumDevices();
    if (m_preload.joinable())
        return;
    // Loading the WMA modules alone takes a tenth of a second (FFmpeg's libraries).
    m_preload = std::thread([] {
        try
        {
            LoadLameLibrary();
        }
        catch (...)
        {
            // Told when an MP3 recording starts.
        }
        CReceiverOGG::PreloadModules();
        CReceiverWMA::PreloadModules();
    });
}

void CRecordingSession::Refuse(const std::string& text, HWND hOwner)
{
    MessageBoxA(hOwner, text.c_str(), APP_CAPTION, MB_ICONHAND);
}

bool CRecordingSession::Start(const RecordingRequest& request, HWND hOwner)
{
    if (IsActive())
        return false;
    const std::string& folder = request.folder;
    if (folder.empty() || !MakeFolders(folder))
    {
        Refuse("The output folder " + Quoted(folder) +
                   " does not exist and cannot be made. Choose another output folder.",
               hOwner);
        return false;
    }
    std::shared_ptr<CRecordingFile> pFile = ReserveRecordingFile(folder, request.nOutputFormat);
    if (!pFile)
    {
        const int nError = errno;
        if (nError == EINVAL)
            Refuse("The output format in the settings is unknown. Choose MP3, OGG, WAV or WMA.", hOwner);
        else if (nError == EEXIST)
            Refuse("No new file can be made in the output folder " + Quoted(folder) +
                       ": every name from Audio0 to Audio99999 is taken. Choose another output folder.",
                   hOwner);
        else
            Refuse("No new file can be made in the output folder " + Quoted(folder) + " (" + std::strerror(nError) +
                       "). Choose another output folder.",
                   hOwner);
        return false;
    }
    // A longer path would be cut where it is shown, and point at another file; the file may take a
    // higher number when its name is taken meanwhile, so the longest number must fit.
    if (request.nMaxPathBytes &&
        folder.size() + std::strlen("/Audio99999.") + std::strlen(OutputExtension(request.nOutputFormat)) >=
            request.nMaxPathBytes)
    {
        Refuse("The output folder's path " + Quoted(folder) +
                   " is too long for a recording. Choose a shorter output folder.",
               hOwner);
        return false;
    }

    RecordingInfo info;
    IReceiver* pReceiver = m_starter.Prepare(request.nOutputFormat, pFile, info, hOwner);
    if (!pReceiver)
    {
        pFile->Discard();
        return false;
    }
    // The files' length in frames of the capture format the receiver was prepared for.
    m_recipe = CurrentRecipe(request.nOutputFormat);
    m_nSplitFrames = static_cast<uint64_t>(request.nSplitMilliseconds) * m_recipe.captureFormat.nSamplesPerSec / 1000u;
    if (request.nSplitMilliseconds && m_nSplitFrames == 0)
        m_nSplitFrames = 1;
    m_capture.SplitEvery(m_nSplitFrames);
    const std::string failure = m_capture.StartCapture(pReceiver, request.nFrameLimit, request.skipSilence);
    if (!failure.empty())
    {
        // The receiver may have written headers: it lets go of the file, which goes unnamed.
        try
        {
            pReceiver->Finish();
        }
        catch (...)
        {
            // Nothing of this file is kept anyway.
        }
        pFile->Discard();
        RestoreRecordingLine(info.lineBefore);
        Refuse(failure, hOwner);
        return false;
    }
    m_pFile = std::move(pFile);
    m_folder = folder;
    m_info = info;
    m_stopFailure.clear();
    m_finishedFiles.clear();
    // The next file is ready long before the first is full.
    if (m_nSplitFrames)
        if (const std::string why = PrepareNextFile(); !why.empty())
            Stop(why);
    return true;
}

std::string CRecordingSession::PrepareNextFile()
{
    std::shared_ptr<CRecordingFile> pFile = ReserveRecordingFile(m_folder, m_recipe.nOutputFormat);
    if (!pFile)
    {
        const int nError = errno;
        return "The next file of the recording cannot be made in the output folder " + Quoted(m_folder) + " (" +
               (nError == EEXIST ? std::string("every name from Audio0 to Audio99999 is taken") : std::strerror(nError)) +
               "), so the recording was stopped. What was recorded until then is kept.";
    }
    std::shared_ptr<IReceiver> pReceiver;
    try
    {
        pReceiver = MakeReceiver(m_recipe, pFile);
    }
    catch (const std::exception& error)
    {
        pFile->Discard();
        return std::string(error.what()) + "\nThe recording was stopped before its next file. What was recorded until then is kept.";
    }
    // A capture that has ended meanwhile goes into no next file: the owner finishes it.
    if (!m_capture.QueueNextReceiver(pReceiver.get()))
    {
        pReceiver.reset();
        pFile->Discard();
        return std::string();
    }
    m_pNextReceiver = std::move(pReceiver);
    m_pNextFile = std::move(pFile);
    return std::string();
}

void CRecordingSession::DropNextFile()
{
    // Prepared and never gone into: its receiver lets go of the file first, which goes unnamed.
    m_pNextReceiver.reset();
    if (m_pNextFile)
        m_pNextFile->Discard();
    m_pNextFile.reset();
}

void CRecordingSession::KeepFinishedFiles()
{
    for (const FinishedFile& done : m_capture.TakeFinishedFiles())
    {
        // The capture went on into the file queued last; the finished receiver is done with.
        std::shared_ptr<CRecordingFile> pFile = std::move(m_pFile);
        m_pFile = std::move(m_pNextFile);
        m_pReceiver = std::move(m_pNextReceiver);
        CaptureEnding ending;
        ending.nFrames = done.nFrames;
        ending.nMilliseconds = done.nMilliseconds;
        RecordingOutcome outcome = KeepFile(std::move(pFile), ending);
        outcome.continuedIn = Path();
        m_finishedFiles.push_back(std::move(outcome));
    }
}

bool CRecordingSession::GoOnSplitting()
{
    if (!IsActive() || !m_nSplitFrames)
        return true;
    KeepFinishedFiles();
    if (m_pNextReceiver || m_capture.Ending().bEnded)
        return true;
    const std::string why = PrepareNextFile();
    if (why.empty())
        return true;
    Stop(why);
    return false;
}

std::vector<RecordingOutcome> CRecordingSession::TakeFinishedFiles()
{
    std::vector<RecordingOutcome> files;
    files.swap(m_finishedFiles);
    return files;
}

bool CRecordingSession::HasEnded()
{
    return IsActive() && m_capture.Ending().bEnded;
}

void CRecordingSession::Stop(const std::string& why)
{
    if (!IsActive())
        return;
    if (!why.empty() && m_stopFailure.empty())
        m_stopFailure = why;
    const std::string failure = m_capture.StopCapture();
    if (!failure.empty() && m_stopFailure.find(failure) == std::string::npos)
        Append(m_stopFailure, failure);
}

std::string CRecordingSession::Path() const
{
    return m_pFile ? m_pFile->Path() : std::string();
}

RecordingOutcome CRecordingSession::Finish(HWND hOwner, bool bQuiet)
{
    RecordingOutcome outcome;
    if (!IsActive())
        return outcome;
    // Also after an end of its own (its length reached, a failure): the device stops here.
    Stop();
    m_capture.WaitForCaptureEnd();
    const CaptureEnding ending = m_capture.Ending();
    RestoreRecordingLine(m_info.lineBefore);
    m_info.lineBefore = LineSnapshot();
    // Files finished before the end that the owner has not heard of are kept first.
    KeepFinishedFiles();
    DropNextFile();

    outcome = KeepFile(std::move(m_pFile), ending);
    m_pReceiver.reset();
    if (!m_stopFailure.empty())
    {
        outcome.bFailed = true;
        Append(outcome.message, m_stopFailure);
    }
    if (!bQuiet)
        Tell(outcome, hOwner);
    return outcome;
}

RecordingOutcome CRecordingSession::KeepFile(std::shared_ptr<CRecordingFile> pFile, const CaptureEnding& ending)
{
    RecordingOutcome outcome;
    const std::string expected = pFile->Path();
    std::string text;
    if (pFile->IsDeleted())
    {
        // Its name is gone, and with it the recording: a removed folder takes its files along.
        outcome.bFailed = true;
        if (pFile->IsFolderRemoved())
            text = "The output folder " + Quoted(m_folder) +
                   " was removed during the recording, and the recording with it: no file was kept.";
        else
            text = "The file " + Quoted(expected) + " was removed during the recording: no file was kept.";
    }
    else if (pFile->IsPublished())
    {
        outcome.bKept = true;
        outcome.bFailed = ending.bFailed;
        outcome.path = expected;
        Append(text, ending.bFailed ? ending.failure : std::string());
        // The file went with its folder, or was renamed: it is where its descriptor says.
        const std::string now = pFile->WhereNow();
        if (!now.empty() && now != RealPath(expected))
        {
            outcome.path = now;
            Append(text, "The file " + Quoted(expected) + " was moved during the recording; the complete recording is " +
                             Quoted(now) + ".");
        }
        struct stat st;
        if (fstat(pFile->Fd(), &st) == 0)
            outcome.nSize = static_cast<uint64_t>(st.st_size);
        // After a failed write the file holds what the receiver kept, part of the failed buffer included.
        outcome.nMilliseconds = ending.bFailed ? ending.nKeptMilliseconds : ending.nMilliseconds;
    }
    else
    {
        // Nothing decodable reached the file: it never got its name, and goes.
        pFile->Discard();
        outcome.bFailed = true;
        if (ending.bFailed)
            text = ending.nothingKept.empty() ? ending.failure : ending.nothingKept;
        else
            text = ending.bSilenceSkipped ? MSG_ONLY_SILENCE : MSG_NOTHING_CAPTURED;
    }
    outcome.message = text;
    return outcome;
}

void CRecordingSession::Tell(const RecordingOutcome& outcome, HWND hOwner)
{
    if (!outcome.message.empty())
        MessageBoxA(hOwner, outcome.message.c_str(), APP_CAPTION, outcome.bFailed ? MB_ICONHAND : MB_ICONINFORMATION);
}

void CRecordingSession::FreeReceivers()
{
    m_starter.FreeReceivers();
}
