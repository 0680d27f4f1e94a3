// One recording, from a free name to a kept or removed file, the same for the
// window and the command-line recorder: it reserves the name, prepares the
// device, the line and the receiver, starts the capture, stops it, waits for
// the capture's end, puts the line back as it was, keeps or removes the file,
// and tells the user what became of it. Every message about a recording comes
// from here, so both programs say the same.
//
// Threads: main thread only. The capture thread reports the end of a capture
// through the capture engine's view (IWaveformView::OnCaptureStopped); the
// owner then calls Finish on the main thread.
#pragma once
#include "DeviceThread.h"
#include "RecordingStart.h"
#include "windef.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CRecordingFile;

struct RecordingRequest
{
    int nOutputFormat = 0;
    std::string folder;
    uint64_t nFrameLimit = 0;  // the capture ends by itself after this many frames; 0: only Stop ends it
    size_t nMaxPathBytes = 0;  // a longer path is refused; 0: any length
    SilenceGateOptions skipSilence{};  // off: every captured frame is written
    uint32_t nSplitMilliseconds = 0;  // a new file (the next free name) after this much audio; 0: one file
};

struct RecordingOutcome
{
    bool bKept = false;
    std::string path;             // where the file is now (it may have been moved)
    uint32_t nMilliseconds = 0;   // the audio the file holds
    uint64_t nSize = 0;           // its size on the disk
    bool bFailed = false;         // it did not end as asked; the user was told why
    std::string message;          // what the user was told, empty when nothing
    std::string continuedIn;      // a split recording's finished file: the file the recording went on into
};

class CRecordingSession
{
public:
    CRecordingSession();
    // Ends a recording still running, quietly, so its file is complete; frees the receivers.
    ~CRecordingSession();
    CRecordingSession(const CRecordingSession&) = delete;
    CRecordingSession& operator=(const CRecordingSession&) = delete;

    // Lists the devices, and loads the encoder modules in the background, ahead of the first
    // recording, so pressing Record has nothing to wait for.
    void PrepareAhead();
    // Reserves the next name, prepares the line and the receiver and starts the capture.
    // False when no recording runs; the user has been told why and nothing is left behind.
    bool Start(const RecordingRequest& request, HWND hOwner);
    // A recording was started and is not finished yet.
    bool IsActive() const { return m_pFile != nullptr; }
    // The running recording's capture has ended (stopped, its length reached, or failed).
    bool HasEnded();
    // Asks the capture to end; returns once the device is closed. A reason given is told
    // when the recording finishes, as a failure (the recording did not end as asked).
    void Stop(const std::string& why = std::string());
    // Pauses the running recording (its file then holds everything so far) and resumes it; the
    // file is one recording without the paused stretch. False when there is nothing to do.
    bool Pause() { return IsActive() && m_capture.Pause(); }
    bool Resume() { return IsActive() && m_capture.Resume(); }
    bool IsPaused() { return IsActive() && m_capture.IsPaused(); }
    // Ends the recording: waits for the capture's end, puts the line back, keeps the file
    // or removes what holds no audio, and tells the user (unless bQuiet) when something
    // went otherwise than asked. Nothing when no recording is active.
    RecordingOutcome Finish(HWND hOwner, bool bQuiet = false);
    // A split recording: keeps the files the capture finished (see TakeFinishedFiles) and hands
    // the capture the next file, made under the next free name. When that file cannot be made
    // the recording is stopped with the reason (false); the owner then finishes it as after Stop.
    // Call it when the view hears of a finished file (IWaveformView::OnFileFinished).
    bool GoOnSplitting();
    // The outcomes of the files a split recording finished and kept so far (by GoOnSplitting or
    // Finish), in their order, each once; the last file is Finish's own outcome.
    std::vector<RecordingOutcome> TakeFinishedFiles();
    // Tells the user what Finish found, when it has something to say (a window tells it once
    // its own rows and buttons show the end).
    static void Tell(const RecordingOutcome& outcome, HWND hOwner);

    // The name the running recording has, or will have once it holds audio.
    std::string Path() const;
    const RecordingInfo& Info() const { return m_info; }
    CDeviceThread& Capture() { return m_capture; }
    // Destroys the receivers, once no capture thread is left in them.
    void FreeReceivers();

private:
    void Refuse(const std::string& text, HWND hOwner);
    RecordingOutcome KeepFile(std::shared_ptr<CRecordingFile> pFile, const CaptureEnding& ending);
    void KeepFinishedFiles();
    std::string PrepareNextFile();
    void DropNextFile();

    CDeviceThread m_capture;
    CRecordingStarter m_starter;
    std::thread m_preload;
    std::shared_ptr<CRecordingFile> m_pFile;
    std::string m_folder;
    RecordingInfo m_info;
    std::string m_stopFailure;
    // A split recording: every file after the first gets its receiver here (the starter owns the
    // first's), made from the settings as the recording started.
    uint64_t m_nSplitFrames = 0;
    ReceiverRecipe m_recipe;
    std::shared_ptr<IReceiver> m_pReceiver;  // the current file's, after the first
    std::shared_ptr<IReceiver> m_pNextReceiver;
    std::shared_ptr<CRecordingFile> m_pNextFile;
    std::vector<RecordingOutcome> m_finishedFiles;
};

// The texts the session tells.
extern const char* const MSG_NOTHING_CAPTURED;
extern const char* const MSG_CAPTURE_STALLED;
extern const char* const MSG_ONLY_SILENCE;
