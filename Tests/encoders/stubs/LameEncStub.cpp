// A stand-in MP3 encoder module for the binding tests: it lacks beCloseStream.
#include "BladeMP3EncDLL.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

STUB_EXPORT BE_ERR beInitStream(PBE_CONFIG, uint32_t*, uint32_t*, HBE_STREAM*)
{
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
STUB_EXPORT void beVersion(PBE_VERSION) {}
STUB_EXPORT BE_ERR beWriteVBRHeader(const char*)
{
    return BE_ERR_INVALID_HANDLE;
}
STUB_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM, const char*)
{
    return BE_ERR_INVALID_HANDLE;
}
