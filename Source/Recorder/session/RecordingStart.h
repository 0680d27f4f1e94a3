// The start of one recording, the same for the main window and the
// command-line recorder: the device and line the settings name, the capture
// format of the output format, the line unmuted, set and selected (what it was
// before is kept, to be put back), and the receiver of the output format set
// up on its file with a copy of every setting it needs. The recording session
// then hands the receiver to its CDeviceThread.
//
// Threads: main thread only. Failures are shown through MessageBoxA with the
// owner given (caption "Vorane Audio Recorder", stop icon), never thrown.
#pragma once
#include "DeviceThread.h"
#include "Mixer.h"
#include "ReceiverMP3.h"
#include "ReceiverOGG.h"
#include "ReceiverWAV.h"
#include "ReceiverWMA.h"
#include "windef.h"

#include <cstdint>
#include <memory>
#include <string>

class CRecordingFile;

// What a recording shows about itself once its receiver is set up.
struct RecordingInfo
{
    uint32_t nBitrate = 0;  // bits per second, as written
    uint32_t nSampleRate = 0;
    uint32_t nChannels = 0;
    uint32_t nBitsPerSample = 0;
    std::string deviceName;
    std::string lineName;
    bool bTestSignal = false;  // the virtual device: test tones, not a real input
    LineSnapshot lineBefore;   // the line as it was before the recording set it
};

class CRecordingStarter
{
public:
    // The receivers are handed to this capture worker; none is destroyed while its
    // capture thread may still be in Finish.
    explicit CRecordingStarter(CDeviceThread& capture);
    // Frees the receivers (see FreeReceivers), but not the device list.
    ~CRecordingStarter();
    CRecordingStarter(const CRecordingStarter&) = delete;
    CRecordingStarter& operator=(const CRecordingStarter&) = delete;

    // Prepares a recording of the output format into the file and fills info. Returns the
    // receiver to start the capture with, or null when the start failed (the user has
    // been told why, and the line is as it was). The receiver of that format from before
    // is destroyed first.
    IReceiver* Prepare(int nOutputFormat, const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info,
                       HWND hOwner);

    CReceiverMP3* PrepareMP3(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info);
    CReceiverOGG* PrepareOGG(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info);
    CReceiverWAV* PrepareWAV(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info);
    CReceiverWMA* PrepareWMA(const std::shared_ptr<CRecordingFile>& file, RecordingInfo& info);

    // Destroys the four receivers, once the capture thread has ended.
    void FreeReceivers();

    // One slot per format, kept until the next recording in that format.
    CReceiverMP3* m_pReceiverMP3 = nullptr;
    CReceiverOGG* m_pReceiverOGG = nullptr;
    CReceiverWAV* m_pReceiverWAV = nullptr;
    CReceiverWMA* m_pReceiverWMA = nullptr;

private:
    // Lists the devices and prepares the current device and line for the capture mode.
    // Throws the text of the step that failed.
    void PrepareLine(int nCaptureMode, int nChannels, int nRate, int nBits, DWORD nVolume, RecordingInfo& info);
    template <typename T>
    void Drop(T*& pSlot);

    CDeviceThread& m_capture;
};

// What every file of a split recording is made with: the settings as the recording started.
struct ReceiverRecipe
{
    int nOutputFormat = 0;
    uint32_t nMp3Kbps = 0;
    TrackTags tags;
    OggOptions ogg;
    WmaOptions wma;
    WAVEFORMATEX captureFormat{};
};
// The recipe of the settings and the current device's format; call once the line is prepared.
ReceiverRecipe CurrentRecipe(int nOutputFormat);
// A receiver of the recipe on the file, set up as CRecordingStarter sets one up but leaving the
// line as it is. Main thread. Throws the reason for the user.
std::shared_ptr<IReceiver> MakeReceiver(const ReceiverRecipe& recipe, const std::shared_ptr<CRecordingFile>& file);

// What the settings record asks of a recording, as of now: the parts each receiver and the
// capture take as their own copy.
TrackTags CurrentTrackTags();
OggOptions CurrentOggOptions();
WmaOptions CurrentWmaOptions();
LineChoice CurrentLineChoice();
SilenceGateOptions CurrentSilenceGate();

// "Recording from "<line>" of <device>", with a warning when it is the virtual device.
std::string DescribeSource(const RecordingInfo& info);
