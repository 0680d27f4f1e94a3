// A stand-in MP3 encoder module for the binding tests; each build leaves out one
// entry point, and no stream ever opens.
#include "BladeMP3EncDLL.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

STUB_EXPORT BE_ERR beInitStream(PBE_CONFIG, uint32_t*, uint32_t*, HBE_STREAM* phStream)
{
    if (phStream)
        *phStream = 0;
    return BE_ERR_INVALID_FORMAT;
}

STUB_EXPORT BE_ERR beEncodeChunk(HBE_STREAM, uint32_t, int16_t*, uint8_t*, uint32_t*)
{
    return BE_ERR_INVALID_HANDLE;
}

STUB_EXPORT BE_ERR beDeinitStream(HBE_STREAM, uint8_t*, uint32_t*)
{
    return BE_ERR_INVALID_HANDLE;
}

#ifndef STUB_WITHOUT_CLOSE
STUB_EXPORT BE_ERR beCloseStream(HBE_STREAM)
{
    return BE_ERR_INVALID_HANDLE;
}
#endif

STUB_EXPORT void beVersion(PBE_VERSION) {}

STUB_EXPORT BE_ERR beWriteVBRHeader(const char*)
{
    return BE_ERR_INVALID_HANDLE;
}

#ifndef STUB_WITHOUT_INFOTAG
STUB_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM, const char*)
{
    return BE_ERR_INVALID_HANDLE;
}
#endif
