// The BladeEnc-style interface of our MP3 encoder module (liblame_enc.so), the
// Linux stand-in for "lame_enc.dll": the packed 331-byte BE_CONFIG record, the
// result codes and the entry points the program binds at run time with dlopen.
//
// Plain C types only: this header is shared by the module and the program and
// includes no LAME header.
//
// Threads: every entry point may be called from any thread; one stream must not
// be used by two threads at once.
//
// Output areas: on entry *pdwOutput holds the size in bytes of the area at
// pOutput; the encoder never writes past it. A size of 0 means the classic
// contract: the area holds the dwBufferSize reported by beInitStream and the
// chunk holds at most the dwSamples reported there. On return *pdwOutput holds
// the bytes produced.
#pragma once
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BE_ERR;
typedef uint32_t HBE_STREAM;

#define BE_ERR_SUCCESSFUL 0x00000000u
#define BE_ERR_INVALID_FORMAT 0x00000001u
#define BE_ERR_INVALID_FORMAT_PARAMETERS 0x00000002u
#define BE_ERR_NO_MORE_HANDLES 0x00000003u
#define BE_ERR_INVALID_HANDLE 0x00000004u
#define BE_ERR_BUFFER_TOO_SMALL 0x00000005u

#define BE_CONFIG_MP3 0u
#define BE_CONFIG_LAME 256u

#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3

#define MPEG1 1u
#define MPEG2 0u

#define BE_MAX_HOMEPAGE 128

enum LAME_QUALITY_PRESET
{
    LQP_NOPRESET = -1,
    LQP_NORMAL_QUALITY = 0,
    LQP_LOW_QUALITY = 1,
    LQP_HIGH_QUALITY = 2,
    LQP_VOICE_QUALITY = 3,
    LQP_R3MIX = 4,
    LQP_VERYHIGH_QUALITY = 5,
    LQP_STANDARD = 6,
    LQP_FAST_STANDARD = 7,
    LQP_EXTREME = 8,
    LQP_FAST_EXTREME = 9,
    LQP_INSANE = 10,
    LQP_ABR = 11,
    LQP_CBR = 12,
    LQP_MEDIUM = 13,
    LQP_FAST_MEDIUM = 14,
};

enum VBRMETHOD
{
    VBR_METHOD_NONE = -1,
    VBR_METHOD_DEFAULT = 0,
    VBR_METHOD_OLD = 1,
    VBR_METHOD_NEW = 2,
    VBR_METHOD_MTRH = 3,
    VBR_METHOD_ABR = 4,
};

#pragma pack(push, 1)

typedef struct
{
    uint32_t dwConfig;  // BE_CONFIG_MP3 or BE_CONFIG_LAME
    union
    {
        struct
        {
            uint32_t dwSampleRate;
            uint8_t byMode;
            uint16_t wBitrate;
            uint8_t byEmphasis;
        } mp3;

        struct
        {
            uint32_t dwStructVersion;  // 1
            uint32_t dwStructSize;     // sizeof(BE_CONFIG)
            uint32_t dwSampleRate;     // of the input
            uint32_t dwReSampleRate;   // of the output; 0: the encoder decides
            int32_t nMode;             // BE_MP3_MODE_*
            uint32_t dwBitrate;        // kbit/s: constant bitrate, or the VBR minimum
            uint32_t dwMaxBitrate;     // kbit/s: VBR maximum
            int32_t nPreset;           // LAME_QUALITY_PRESET
            uint32_t dwMpegVersion;    // MPEG1 or MPEG2 (follows from the output rate)
            uint32_t dwPsyModel;
            uint32_t dwEmphasis;
            int32_t bPrivate;
            int32_t bCRC;
            int32_t bCopyright;
            int32_t bOriginal;
            int32_t bWriteVBRHeader;  // reserve the first frame for the info tag
            int32_t bEnableVBR;
            int32_t nVBRQuality;      // 0..9
            uint32_t dwVbrAbr_bps;
            int32_t nVbrMethod;       // VBRMETHOD
            int32_t bNoRes;           // no bit reservoir
            int32_t bStrictIso;
            uint16_t nQuality;        // low byte 0..9 with the high byte its complement; else LAME's default
            uint8_t btReserved[255 - 4 * sizeof(uint32_t) - sizeof(uint16_t)];
        } LHV1;
    } format;
} BE_CONFIG, *PBE_CONFIG;

typedef struct
{
    uint8_t byDLLMajorVersion;
    uint8_t byDLLMinorVersion;
    uint8_t byMajorVersion;  // of the encoder engine
    uint8_t byMinorVersion;
    uint8_t byDay;  // release date of the module
    uint8_t byMonth;
    uint16_t wYear;
    char zHomepage[BE_MAX_HOMEPAGE + 1];
    uint8_t byAlphaLevel;
    uint8_t byBetaLevel;
    uint8_t byMMXEnabled;
    uint8_t btReserved[125];
} BE_VERSION, *PBE_VERSION;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG is the packed 331-byte record");
static_assert(offsetof(BE_CONFIG, format.LHV1.nQuality) == 4 + 88, "LHV1 layout");
#endif

// The entry points, as the module exports them and the program binds them.
typedef BE_ERR (*BEINITSTREAM)(PBE_CONFIG pConfig, uint32_t* pdwSamples, uint32_t* pdwBufferSize,
                               HBE_STREAM* phStream);
typedef BE_ERR (*BEENCODECHUNK)(HBE_STREAM hStream, uint32_t nSamples, int16_t* pSamples, uint8_t* pOutput,
                                uint32_t* pdwOutput);
typedef BE_ERR (*BEDEINITSTREAM)(HBE_STREAM hStream, uint8_t* pOutput, uint32_t* pdwOutput);
typedef BE_ERR (*BECLOSESTREAM)(HBE_STREAM hStream);
typedef void (*BEVERSION)(PBE_VERSION pVersion);
typedef BE_ERR (*BEWRITEVBRHEADER)(const char* pszFileName);
typedef BE_ERR (*BEWRITEINFOTAG)(HBE_STREAM hStream, const char* pszFileName);

#define TEXT_BEINITSTREAM "beInitStream"
#define TEXT_BEENCODECHUNK "beEncodeChunk"
#define TEXT_BEDEINITSTREAM "beDeinitStream"
#define TEXT_BECLOSESTREAM "beCloseStream"
#define TEXT_BEVERSION "beVersion"
#define TEXT_BEWRITEVBRHEADER "beWriteVBRHeader"
#define TEXT_BEWRITEINFOTAG "beWriteInfoTag"

#ifdef __cplusplus
}
#endif
