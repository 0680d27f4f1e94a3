// The run-time binding of the MP3 encoder module and one encoder stream on it.
//
// Threads: LoadLameLibrary may be called from any thread (the binding has a
// lock of its own); the program calls it on the main thread, from the
// CLameEncoder constructor. A CLameEncoder is constructed and destroyed on the
// main thread; EncodeChunk and Flush run on the capture thread.
#pragma once
#include "BladeMP3EncDLL.h"

#include <cstdint>
#include <string>

// Binds the encoder module from the application directory, once per run.
// Throws "Error loading lame_enc.DLL" when the module cannot be loaded and
// "Unable to get LAME interfaces" when it lacks an entry point (the module is
// then unloaded, and the next call tries again).
void LoadLameLibrary();

// Test seam: loads the module from another file (a stub) from now on, and
// forgets a binding made before, so the next LoadLameLibrary binds afresh. An
// empty path goes back to the application directory. Streams opened before keep
// the module they were opened on.
void SetLameLibraryPath(const std::string& path);
// The module file LoadLameLibrary loads.
std::string LameLibraryPath();

class CLameEncoder
{
public:
    // Binds the module and opens a constant-bitrate joint-stereo stream. Throws the
    // binding's texts, or "ERRORR in beInitStream." when the stream cannot be opened.
    CLameEncoder(uint32_t nBitrate, uint32_t nSampleRate, uint32_t nReSampleRate);
    ~CLameEncoder();
    CLameEncoder(const CLameEncoder&) = delete;
    CLameEncoder& operator=(const CLameEncoder&) = delete;

    // Encodes nSamples 16-bit samples (both channels together) into the output area of
    // nOutputSize bytes; nOutput receives the bytes produced.
    BE_ERR EncodeChunk(const int16_t* pSamples, uint32_t nSamples, uint8_t* pOutput, uint32_t nOutputSize,
                       uint32_t& nOutput);
    // Encodes what the encoder still holds; after this the stream takes no more samples.
    BE_ERR Flush(uint8_t* pOutput, uint32_t nOutputSize, uint32_t& nOutput);

    // The constant bitrate, in kbit/s, the stream really writes: a rate the MPEG layer cannot
    // carry at the output sample rate goes to the next one up (144 becomes 160 at 44.1 kHz).
    uint32_t WrittenBitrate() const;

    BE_CONFIG Config;
    HBE_STREAM Stream;
    uint32_t BufferSize;
    uint32_t ChunkSamples;

private:
    // The entry points of the module that opened the stream, kept with it.
    BEENCODECHUNK m_pfnEncodeChunk = nullptr;
    BEDEINITSTREAM m_pfnDeinitStream = nullptr;
    BECLOSESTREAM m_pfnCloseStream = nullptr;
};
