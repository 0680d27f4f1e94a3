// The OGG receiver: Ogg Vorbis through libvorbis, libvorbisenc and libogg,
// bound at run time with dlopen, with Vorbis comments from the track tags.
//
// Threads: see IReceiver.h. LoadLibraries and Open run on the main thread
// before the capture starts; Write and Finish on the capture thread.
#pragma once
#include "IReceiver.h"
#include "TagText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CVorbisBinding;

// What an OGG recording is set to, as the OGG page chooses it.
struct OggOptions
{
    int nMode = 0;      // 0 quality, 1 variable, 2 average, 3 constant bitrate
    int nQuality = 400;  // hundredths of a quality step, 0 to 1000
    int nMinBitrateIndex = 0;      // positions in OggBitrateTable
    int nNominalBitrateIndex = 4;
    int nMaxBitrateIndex = 8;
};

class CReceiverOGG final : public IReceiver
{
public:
    CReceiverOGG();
    ~CReceiverOGG();
    CReceiverOGG(const CReceiverOGG&) = delete;
    CReceiverOGG& operator=(const CReceiverOGG&) = delete;

    // Loads the three libraries and resolves every entry point. Throws "Error loading
    // libvorbis.dll" when a library cannot be loaded, and a text naming the entry point
    // that is missing (MissingEntryPoint names it too).
    void LoadLibraries();
    // Sets up the encoder from the options and the comments from the track tags,
    // and writes the three header packets into the file; reports the bitrate in bits per
    // second through pBitrate. Throws a text for the user when the options ask for
    // something the encoder cannot do, or the file takes not even the headers (why, as
    // for a write during the recording); nothing is encoded then. Main thread.
    void Open(uint32_t* pBitrate);

    // Encodes one buffer of 16-bit stereo PCM; returns the page bytes written. Throws
    // an ending (CRecorderError::Ended) when the disk takes less than it was given.
    uint32_t Write(const uint8_t* pData, uint32_t nSize) override;
    // Ends the stream with its last page, releases the encoder and lets go of the file. Throws
    // an ending (CRecorderError::Ended) when the last pages did not fit; the file ends on its last whole page then.
    void Finish() override;
    uint32_t KeptMilliseconds() const override;

    const char* MissingEntryPoint() const { return m_pszMissing; }
    // Loads the libraries for good ahead of the first recording, where they are found. Any thread.
    static void PreloadModules();

    ReceiverState State;

    OggOptions Options;  // what the encoder is set to; set before Open
    TrackTags Tags;      // what the comments say; set before Open
    bool EndOfStream;

private:
    uint32_t Drain();
    bool WritePage(uint32_t* pBytes);
    void Release();
    void EndOnLastWholePage();

    // The three libraries' entry points and the encoder's state, kept out of this header.
    std::unique_ptr<CVorbisBinding> m_pVorbis;
    const char* m_pszMissing = nullptr;
    bool m_bBound = false;  // every entry point of all three libraries resolved
    bool m_bFull = false;   // the disk took less than it was given; nothing more is written
    int m_nWriteError = 0;  // the errno of that write
    bool m_bFed = false;    // audio went into the encoder
    uint64_t m_nCommitted = 0;       // bytes of whole pages in the file
    uint64_t m_nHeaderBytes = 0;     // of which the header pages
    uint64_t m_lastPageOffset = 0;   // where the last whole page starts
    std::vector<uint8_t> m_lastPage;  // its bytes, header first
    size_t m_nLastHeaderLen = 0;
};

// OggQualityKbps in whole kbit/s, as a quality-mode recording reports it.
int OggQualityBitrate(int nOggQuality);

// The texts Open throws when the bitrate settings cannot be encoded.
extern const char* const MSG_OGG_MIN_ABOVE_MAX;
extern const char* const MSG_OGG_SETUP_FAILED;

// Test seam: the library files LoadLibraries opens (empty: the system's libvorbis.so.0,
// libvorbisenc.so.2 and libogg.so.0).
void SetVorbisModuleNames(const std::string& vorbis, const std::string& vorbisenc, const std::string& ogg);
