/* Stand-in for the closed WMA add-on "basswma.dll" (module libbasswma.so here):
 * Windows Media Audio files written by FFmpeg's WMA v2 encoder and ASF muxer.
 *
 * Input is interleaved 16-bit PCM. The encoder works on frames of 2048 samples,
 * so the add-on queues what it is given and encodes whole frames; the rest is
 * encoded at BASS_WMA_EncodeClose. Tags become ASF attributes; the file's
 * header is written once the tag list has ended (a null tag and a null text),
 * or at the first write when the encoder was opened without BASS_WMA_ENCODE_TAGS.
 *
 * Threads: any thread. One encoder must not be used by two threads at once;
 * different encoders are independent. */
#ifndef VORANE_BASSWMA_H
#define VORANE_BASSWMA_H

#include "bass.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef DWORD HWMENCODE;

/* BASS_WMA_EncodeGetRates flags */
#define BASS_WMA_ENCODE_RATES_VBR 0x10000 /* list the quality settings instead of bitrates */
/* BASS_WMA_EncodeOpenFile flags */
#define BASS_WMA_ENCODE_TAGS 0x10000 /* tags follow: hold the header back until their list ends */

/* The bitrates (bits per second, highest first) the encoder takes for this rate and
 * channel count, ending with 0; or with BASS_WMA_ENCODE_RATES_VBR the quality settings
 * (percent, highest first). NULL when the encoder takes no such input. The list stays
 * valid until the next call on the same thread. */
BASSDEF(const DWORD*) BASS_WMA_EncodeGetRates(DWORD freq, DWORD chans, DWORD flags);
/* Creates the file and opens an encoder on it. bitrate is one of the bitrates listed
 * above, or a quality of 1 to 100 percent, which picks a bitrate of that list (more
 * quality, more bits). 0 when the file cannot be created or the settings are not taken. */
BASSDEF(HWMENCODE) BASS_WMA_EncodeOpenFile(DWORD freq, DWORD chans, DWORD flags, DWORD bitrate, const void* file);
/* Adds an attribute. "WM/AlbumTitle", "Author" and "Title" are the usual album, artist
 * and title; any other name is written as given. A null tag and text end the list and
 * write the header; tags after that are refused. */
BASSDEF(BOOL) BASS_WMA_EncodeSetTag(HWMENCODE handle, const char* tag, const char* text);
/* Encodes length bytes of interleaved 16-bit PCM. FALSE when the file cannot take it. */
BASSDEF(BOOL) BASS_WMA_EncodeWrite(HWMENCODE handle, const void* buffer, DWORD length);
/* Encodes what is still queued, completes the file and closes the encoder. */
BASSDEF(void) BASS_WMA_EncodeClose(HWMENCODE handle);

/* Not in the Windows add-on: the bitrate (bits per second) an open encoder really runs
 * at, so a quality setting can be shown as the bitrate it gave; 0 for an unknown handle. */
BASSDEF(DWORD) BASS_WMA_EncodeGetBitrate(HWMENCODE handle);

#ifdef __cplusplus
}
#endif

#endif
