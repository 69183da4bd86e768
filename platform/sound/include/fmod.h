// The FMOD 3.2 subset our programs use: module songs (FMUSIC_) and MPEG streams (FSOUND_Stream_),
// played through the platform's one mixer (44100 Hz, 16-bit stereo) into the sink DEMO_AUDIO
// chooses. Names, constant values and calling shapes are the library's; only the functions that
// exist here are declared.
//
// Behaviour worth knowing:
// - FSOUND_GetError() is the code of the latest failing call; a call that succeeds sets it back
//   to FMOD_ERR_NONE.
// - FSOUND_Init() a second time, without FSOUND_Close, succeeds and changes nothing: music that
//   plays keeps playing, and the first call's channel count stays. A script that starts a song
//   and then a stream makes two initialisations, and both pieces are meant to be heard.
// - FMUSIC_PlaySong plays a song once, to its end: the last order, or the point where the song
//   jumps back to a part already played. It then falls silent; it does not start over.
// - FSOUND_Stream_OpenMpeg plays the file once unless the mode asks for FSOUND_LOOP_NORMAL.
//   The sample-format bits (8/16 bits, mono/stereo, signed/unsigned) describe raw data and mean
//   nothing to an MPEG file, whose own format is played; FSOUND_FORCEMONO mixes it down to mono.
//   FSOUND_LOADMEMORY, FSOUND_LOADRAW, FSOUND_LOOP_BIDI and the raw-data codecs are refused
//   with FMOD_ERR_INVALID_PARAM and one line on standard error.
//
// Test hooks, read from the environment at each call:
// - DEMO_FMOD_VERSION=<number>: FSOUND_GetVersion() reports that number instead of 3.2, so the
//   programs' version check can be exercised.
// - DEMO_AUDIO_UNAVAILABLE=1: FSOUND_Init fails with FMOD_ERR_INIT, as on a machine where no
//   output device can be opened.
#pragma once

#ifndef F_API
#define F_API
#endif

#define FMOD_VERSION 3.2f

// Error codes, as FSOUND_GetError() returns them.
enum FMOD_ERRORS {
    FMOD_ERR_NONE,              // 0  No errors
    FMOD_ERR_BUSY,              // 1  Cannot call this command after FSOUND_Init; call FSOUND_Close first
    FMOD_ERR_UNINITIALIZED,     // 2  This command failed because FSOUND_Init was not called
    FMOD_ERR_INIT,              // 3  Error initializing output device
    FMOD_ERR_ALLOCATED,         // 4  The output device is already in use and cannot be reused
    FMOD_ERR_PLAY,              // 5  Playing the sound failed
    FMOD_ERR_OUTPUT_FORMAT,     // 6  Soundcard does not support the features needed (16-bit stereo)
    FMOD_ERR_COOPERATIVELEVEL,  // 7  Error setting cooperative level for hardware
    FMOD_ERR_CREATEBUFFER,      // 8  Error creating hardware sound buffer
    FMOD_ERR_FILE_NOTFOUND,     // 9  File not found
    FMOD_ERR_FILE_FORMAT,       // 10 Unknown file format
    FMOD_ERR_FILE_BAD,          // 11 Error loading file
    FMOD_ERR_MEMORY,            // 12 Not enough memory
    FMOD_ERR_VERSION,           // 13 The version number of this file format is not supported
    FMOD_ERR_INVALID_MIXER,     // 14 Incorrect mixer selected
    FMOD_ERR_INVALID_PARAM,     // 15 An invalid parameter was passed to this function
    FMOD_ERR_NO_EAX,            // 16 Tried to use an EAX command on a non EAX enabled channel or output
    FMOD_ERR_NO_EAX2,           // 17 Tried to use an advanced EAX2 command on a non EAX2 enabled channel
    FMOD_ERR_CHANNEL_ALLOC,     // 18 Failed to allocate a new channel
    FMOD_ERR_RECORD,            // 19 Recording not supported on this device
};

// Channel index meaning "any free channel".
#define FSOUND_FREE -1

// Sample and stream modes.
#define FSOUND_LOOP_OFF      0x00000001  // plays once
#define FSOUND_LOOP_NORMAL   0x00000002  // loops forward
#define FSOUND_LOOP_BIDI     0x00000004  // loops back and forth
#define FSOUND_8BITS         0x00000008  // raw data: 8-bit samples
#define FSOUND_16BITS        0x00000010  // raw data: 16-bit samples
#define FSOUND_MONO          0x00000020  // raw data: one channel
#define FSOUND_STEREO        0x00000040  // raw data: two channels
#define FSOUND_UNSIGNED      0x00000080  // raw data: unsigned samples
#define FSOUND_SIGNED        0x00000100  // raw data: signed samples
#define FSOUND_DELTA         0x00000200  // raw data: delta-coded samples
#define FSOUND_IT214         0x00000400  // raw data: IT 2.14 compressed
#define FSOUND_IT215         0x00000800  // raw data: IT 2.15 compressed
#define FSOUND_HW3D          0x00001000  // ask for 3D hardware
#define FSOUND_2D            0x00002000  // left out of 3D processing
#define FSOUND_STREAMABLE    0x00004000  // a sound fed while it plays
#define FSOUND_LOADMEMORY    0x00008000  // the "file name" points at the data in memory
#define FSOUND_LOADRAW       0x00010000  // the file is raw PCM, whatever it looks like
#define FSOUND_MPEGACCURATE  0x00020000  // MPEG: scan the file for an exact length
#define FSOUND_FORCEMONO     0x00040000  // mix a stereo source down to mono
#define FSOUND_NORMAL        (FSOUND_16BITS | FSOUND_SIGNED | FSOUND_MONO)

typedef struct FSOUND_STREAM FSOUND_STREAM;
typedef struct FMUSIC_MODULE FMUSIC_MODULE;

// ---- System ------------------------------------------------------------------------------------
float F_API FSOUND_GetVersion(void);
// mixrate 4000..65535 Hz (the mix itself always runs at 44100 Hz), maxsoftwarechannels
// 0..1024, flags 0. Non-zero on success.
signed char F_API FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags);
int F_API FSOUND_GetError(void);

// ---- Streams -------------------------------------------------------------------------------------
// Opens an MPEG audio file (MP3, MP2) for streaming from disk; null on failure.
FSOUND_STREAM* F_API FSOUND_Stream_OpenMpeg(const char* filename, unsigned int mode);
// Plays the stream from its start on `channel` (0..maxsoftwarechannels-1, or FSOUND_FREE);
// returns the channel used, or -1. A stream plays on one channel at a time: playing it again
// restarts it.
int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);

// ---- Music -------------------------------------------------------------------------------------
// Loads a tracker module (MOD, S3M, XM, IT and the other formats of its family); null on failure.
FMUSIC_MODULE* F_API FMUSIC_LoadSong(const char* name);
// Plays the song from its start; playing a playing song restarts it. Non-zero on success.
signed char F_API FMUSIC_PlaySong(FMUSIC_MODULE* mod);
