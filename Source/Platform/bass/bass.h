/* Stand-in for the closed audio library "bass.dll" (module libbass.so here):
 * the four core calls the WMA receiver makes before and after encoding.
 * There is no sound output; the library only keeps the initialised state that
 * the WMA add-on's users pair with BASS_Init and BASS_Free.
 *
 * Threads: any thread; calls are serialised inside the module. */
#ifndef VORANE_BASS_H
#define VORANE_BASS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef int BOOL;
typedef void* HWND;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#if defined(BASS_BUILDING_MODULE)
#define BASSDEF(type) __attribute__((visibility("default"))) type
#else
#define BASSDEF(type) type
#endif

/* BASS_SetConfig options */
#define BASS_CONFIG_UPDATEPERIOD 1

/* The library version, major in the high word (0x0204xxxx is 2.4). Users need 2 or more. */
BASSDEF(DWORD) BASS_GetVersion(void);
/* Sets a configuration option; unknown options return FALSE. */
BASSDEF(BOOL) BASS_SetConfig(DWORD option, DWORD value);
/* Initialises the library. Only device 0 (no sound output) exists; freq must not be 0.
 * FALSE when the library is already initialised: pair every success with BASS_Free. */
BASSDEF(BOOL) BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid);
/* Releases what BASS_Init set up; FALSE when the library was not initialised. */
BASSDEF(BOOL) BASS_Free(void);

#ifdef __cplusplus
}
#endif

#endif
