// The WMA receiver: Windows Media Audio files through the audio library and its
// WMA add-on ("bass.dll" and "basswma.dll"; libbass.so and libbasswma.so in the
// application directory here), bound at run time.
//
// Threads: construction, LoadLibraries, Open and destruction run on the main
// thread; Write and Finish on the capture thread under the global device lock
// (see IReceiver.h). The module folder is set on the main thread only.
#pragma once
#include "IReceiver.h"
#include "TagText.h"

#include <cstdint>
#include <memory>
#include <string>

struct CBassBinding;

// What a WMA recording is set to, as the WMA page chooses it.
struct WmaOptions
{
    int nMode = 0;           // 0 constant bitrate, 1 quality
    int nBitrateIndex = 2;   // position in WmaBitrateTable
    int nQualityIndex = 2;   // position in WmaQualityTable
};

class CReceiverWMA final : public IReceiver
{
public:
    CReceiverWMA();
    // Closes a recording that was opened but never finished, so its file is whole and the
    // library is free for the next one.
    ~CReceiverWMA();
    CReceiverWMA(const CReceiverWMA&) = delete;
    CReceiverWMA& operator=(const CReceiverWMA&) = delete;

    // Loads both modules and keeps them for Open. Throws "Error loading bass.dll" or
    // "Error loading basswma.dll" when one does not load.
    void LoadLibraries();
    // Opens the encoder on the output file with the bitrate (or quality) of the options,
    // sets the tags and writes what the recording shows into *pBitrate: the requested
    // bitrate, or in quality mode the bitrate the encoder runs at. Throws the reason for
    // the user when it cannot. Main thread.
    void Open(uint32_t* pBitrate);

    // Returns the bytes the file grew by since the last call (the first call counts the
    // header too). Throws an ending (CRecorderError::Ended) when the file takes no more data.
    uint32_t Write(const uint8_t* pData, uint32_t nSize) override;
    void Finish() override;
    uint32_t KeptMilliseconds() const override;

    // Picks the supported value for a request from a zero-terminated list, in the list's
    // order: an equal value wins; otherwise the last value above the request, or, when none
    // is above, the first one below it. 0 when there is no list.
    static uint32_t MatchBitrate(uint32_t nRequested, const uint32_t* pRates);

    // Loads both modules for good ahead of the first recording, where they are found. Any thread.
    static void PreloadModules();

    // Where the modules are looked for; empty means the application directory.
    static void SetModuleFolder(const std::string& folder);
    static std::string ModuleFolder();

    ReceiverState State;
    uint32_t Handle;    // the encoder, 0 when none is open
    uint32_t SampleRate;
    uint32_t Channels;
    uint32_t Bitrate;   // bits per second, or the quality in percent in quality mode
    WmaOptions Options;  // the bitrate or quality; set before Open
    TrackTags Tags;     // what the attributes say; set before Open

private:
    std::unique_ptr<CBassBinding> m_pBass;
    uint64_t m_nFileSizeReported = 0;
    uint64_t m_nHeaderSize = 0;    // the file as Open left it
    uint64_t m_nFramesWritten = 0;  // taken by the encoder without a failure
    uint32_t m_nStatedMilliseconds = 0;  // what the finished file's header says
};

extern const char* const MSG_WMA_INCOMPLETE;
extern const char* const MSG_WMA_TOO_OLD;
extern const char* const MSG_WMA_INIT_FAILED;
extern const char* const MSG_WMA_CANT_CREATE;
extern const char* const MSG_WMA_WRITE_FAILED;
extern const char* const MSG_WMA_NOTHING_WRITTEN;
