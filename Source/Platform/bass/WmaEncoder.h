// One encoder of the WMA module: FFmpeg's WMA v2 encoder and ASF muxer, writing
// through the module's own I/O so that it knows what reached the disk, and keeping
// the file's header true to the whole data packets it holds.
//
// Threads: one encoder is used by one thread at a time (the module's handle table
// has the lock).
#pragma once
#include "bass.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

#include <cstdint>
#include <string>
#include <vector>

namespace wma
{
// The qualities offered in quality mode, in percent, best first.
extern const DWORD QUALITY_STEPS[7];
// The bitrates the encoder takes for this input, highest first (empty: none).
std::vector<DWORD> SupportedBitrates(DWORD freq, DWORD chans);
// A quality percentage as a bitrate of the list, on a logarithmic scale from the lowest to the highest.
DWORD BitrateForQuality(DWORD nQuality, const std::vector<DWORD>& rates);
AVCodecContext* NewCodecContext(DWORD freq, DWORD chans, DWORD bitrate);

struct Encoder
{
    AVFormatContext* pFormat = nullptr;
    AVCodecContext* pCodec = nullptr;
    AVStream* pStream = nullptr;
    AVAudioFifo* pQueue = nullptr;
    AVFrame* pFrame = nullptr;
    AVPacket* pPacket = nullptr;
    AVDictionary* pTags = nullptr;
    std::string path;
    int nChannels = 0;
    int64_t nNextPts = 0;
    bool bHeaderWritten = false;
    bool bFailed = false;
    std::vector<float> planes;  // conversion space, one plane after the other

    // The file, written through our own I/O so we know what reached the disk.
    int fd = -1;
    int64_t nPosition = 0;    // where the muxer's next bytes go
    bool bDiskFull = false;   // the disk took less than it was given
    int64_t nDiskEnd = 0;     // after a short write: the bytes the file holds
    // Where the header keeps the sizes and durations (found once it is written), and the
    // data packets' size; -1 when the header could not be read back.
    int64_t nFileProperties = -1;
    int64_t nDataObject = -1;
    int64_t nPacketSize = 0;
    uint64_t nPreroll100ns = 0;
    // Ends of data packets with the time up to which their frames are whole (100 ns).
    std::vector<std::pair<int64_t, int64_t>> packetEnds;

    ~Encoder();

    bool WriteHeader();

    static int WriteOut(void* pOpaque, uint8_t* pBuffer, int nSize);

    static int64_t Seek(void* pOpaque, int64_t nOffset, int nWhence);

    bool OpenFile(const char* pszPath);

    // Reads the written header back for the places of the fields that follow the data.
    void FindHeaderFields();

    // Makes the header describe the whole data packets up to nEnd (the file is cut there),
    // as the muxer's trailer would: sizes, packet counts and durations. A file cut short
    // at any moment then shows its length.
    void DescribeDataUpTo(int64_t nEnd);

    // After a full disk: the file is cut back to its last whole data packet and described.
    void CutBack(int64_t nEnd);

    // Hands a frame (null: the end) to the encoder and writes every packet it gives back.
    bool Send(AVFrame* pInput);

    // Encodes every whole frame in the queue; at the end also the rest and the encoder's delay.
    bool EncodeQueued(bool bEnd);

    // A decoder completes each frame with the next one, so the end needs a frame of
    // silence after the audio, or its last samples would never be heard.
    bool AddSilence(int nSamples);

    bool Queue(const uint8_t* pPcm, size_t nFrames);
};
}  // namespace wma
