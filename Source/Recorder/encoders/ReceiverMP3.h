// The MP3 receiver: constant-bitrate joint-stereo MP3 through the encoder
// module, with an ID3v1 tag from the settings at the end.
//
// Threads: see IReceiver.h. The constructor (which binds the module) and the
// setting of Tags run on the main thread; Write and Finish on the capture thread.
#pragma once
#include "IReceiver.h"
#include "LameEncoder.h"
#include "TagText.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class CReceiverMP3 final : public IReceiver
{
public:
    // Bitrate in kbit/s, output rate in Hz (0: the encoder decides). Throws the texts
    // of the encoder binding (see LameEncoder.h).
    CReceiverMP3(uint32_t nBitrate, uint32_t nReSampleRate);
    ~CReceiverMP3();
    CReceiverMP3(const CReceiverMP3&) = delete;
    CReceiverMP3& operator=(const CReceiverMP3&) = delete;

    // Encodes one buffer of 16-bit stereo PCM; the file gets the first MP3 data, and ends
    // with the tag after every call. Returns the MP3 bytes written. Throws "Can't create MP3
    // file." without a file and, when the disk takes less than it was given,
    // an ending (CRecorderError::Ended) after cutting the file back to whole frames and the tag.
    uint32_t Write(const uint8_t* pData, uint32_t nSize) override;
    // Writes what the encoder still holds and the tag, and lets go of the file. Without
    // any MP3 data the file stays without a name. Throws an ending (CRecorderError::Ended) when that last part
    // did not fit; the file is whole then too.
    void Finish() override;
    uint32_t KeptMilliseconds() const override;

    // Fills Tag from Tags.
    void BuildTag();

    ReceiverState State;
    CLameEncoder Encoder;
    TrackTags Tags;  // what the tag says; set before the capture starts
    uint8_t Tag[128];

    // Room for one second of input: far more than one second of MP3 at any bitrate.
    static constexpr uint32_t OUTPUT_AREA_SIZE = 176400;
    // The comment field of every tag (at most 28 characters).
    static const char* const TAG_COMMENT;

private:
    uint32_t WriteOut(const uint8_t* pData, uint32_t nSize);

    bool m_bFed = false;   // samples went into the encoder
    bool m_bFull = false;  // the disk took less than it was given; nothing more is written
    uint64_t m_nFramesEnd = 0;  // where the frames end and the tag starts
    std::vector<uint8_t> m_writeArea;  // frames and tag for one write
    uint8_t m_output[OUTPUT_AREA_SIZE];
};
