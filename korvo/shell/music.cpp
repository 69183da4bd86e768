#include "shell/music.h"

#include <fmod.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr float expectedVersion = 3.2f;

[[noreturn]] void failWithLibraryError() {
    std::printf("%s\n", errorText(FSOUND_GetError()));
    std::exit(1);
}

// Checks the library's version and (re)initialises the sound system, as every music event does.
void startSoundSystem() {
    if (FSOUND_GetVersion() != expectedVersion) {
        std::printf("Error : You are using the wrong DLL version!  You should be using FMOD %.02f\n",
                    double(expectedVersion));
        std::exit(1);
    }
    if (!FSOUND_Init(44100, 32, 0)) failWithLibraryError();
}

}  // namespace

const char* errorText(int code) {
    static const char* const texts[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory ",
        "The version number of this file format is not supported",
        "Incorrect mixer selected",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
        "Failed to allocate a new channel",
        "Recording not supported on this device",
    };
    if (code < 0 || code >= int(sizeof texts / sizeof texts[0])) return "Unknown error";
    return texts[code];
}

void playSong(const char* fileName) {
    startSoundSystem();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(fileName);
    if (!song) failWithLibraryError();
    FMUSIC_PlaySong(song);
}

void playStream(const char* fileName) {
    startSoundSystem();
    FSOUND_STREAM* stream = FSOUND_Stream_OpenMpeg(fileName, 0x29);
    if (!stream) failWithLibraryError();
    FSOUND_Stream_Play(FSOUND_FREE, stream);
}
