// The BASS subset our programs use: one MP3 stream, from memory or from a file, played through
// the platform's one mixer (44100 Hz, 16-bit stereo) into the sink DEMO_AUDIO chooses. Names,
// constant values and calling shapes are the library's; only the functions that exist here
// are declared.
//
// Behaviour worth knowing:
// - The output runs from BASS_Init on. BASS_Stop stops it and every stream playing in it;
//   BASS_StreamPlay then fails with BASS_ERROR_START until BASS_Start.
// - A stream over memory reads the caller's block while it plays and never copies it: the
//   block must stay alive until BASS_Free returns. After BASS_Free nothing reads it.
// - BASS_ErrorGetCode() is the code of the latest call; a call that succeeds sets BASS_OK.
//
// Test hook, read from the environment at each call:
// - DEMO_AUDIO_UNAVAILABLE=1: BASS_Init fails with BASS_ERROR_DRIVER, as on a machine where no
//   output device can be opened.
#pragma once

#include <windows.h>

#ifndef BASSDEF
#define BASSDEF(f) WINAPI f
#endif

typedef DWORD HSTREAM;   // a stream handle; 0 is none

// Error codes, as BASS_ErrorGetCode() returns them.
#define BASS_OK             0    // all is fine
#define BASS_ERROR_MEM      1    // memory error
#define BASS_ERROR_FILEOPEN 2    // cannot open the file
#define BASS_ERROR_DRIVER   3    // cannot find a free or valid driver
#define BASS_ERROR_HANDLE   5    // invalid handle
#define BASS_ERROR_FORMAT   6    // unsupported sample format
#define BASS_ERROR_INIT     8    // BASS_Init has not been successfully called
#define BASS_ERROR_START    9    // BASS_Start has not been successfully called
#define BASS_ERROR_ALREADY  14   // already initialized
#define BASS_ERROR_ILLPARAM 20   // an illegal parameter was specified
#define BASS_ERROR_DEVICE   23   // illegal device number
#define BASS_ERROR_FILEFORM 41   // unsupported file format
#define BASS_ERROR_UNKNOWN  -1   // some other mystery error

// Stream flags.
#define BASS_SAMPLE_LOOP 4         // loop the stream at its end
#define BASS_MP3_SETPOS  0x20000   // exact seeking in MP3 data

// device: -1 the default device, 1 the first (the same one), 0 no sound (streams are accepted
// and mixed, nothing is heard). freq 4000..96000 Hz (the mix itself runs at 44100 Hz); flags 0;
// win is the owner window and is not used.
BOOL BASSDEF(BASS_Init)(int device, DWORD freq, DWORD flags, HWND win);
BOOL BASSDEF(BASS_Start)(void);
BOOL BASSDEF(BASS_Stop)(void);
// Stops everything, frees every stream (their handles become invalid) and the library.
BOOL BASSDEF(BASS_Free)(void);
DWORD BASSDEF(BASS_ErrorGetCode)(void);

// mem TRUE: `file` points at `length` bytes of MP3 data from `offset` on (length 0 is illegal).
// mem FALSE: `file` is a file name; the stream covers `length` bytes from `offset` (0: to the
// end). flags: BASS_SAMPLE_LOOP, BASS_MP3_SETPOS. Returns 0 on failure.
HSTREAM BASSDEF(BASS_StreamCreateFile)(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
// Plays the stream: from where it stands, or from its start when `flush` is TRUE or it had
// ended. flags: BASS_SAMPLE_LOOP makes it loop.
BOOL BASSDEF(BASS_StreamPlay)(HSTREAM handle, BOOL flush, DWORD flags);
