#include "shell/music.h"

#include <windows.h>
#include <bass.h>

#include <cstdio>
#include <cstdlib>

const char soundtrackFileName[] = "soundtrack.mp3";

namespace {

bool musicReady = false;
void* soundtrackData = nullptr;
HSTREAM soundtrack = 0;

}  // namespace

bool initMusic(bool enable) {
    if (!enable) return false;
    if (BASS_Init(-1, 44100, 0, GetForegroundWindow())) {
        musicReady = true;
        return true;
    }
    MessageBoxA(GetForegroundWindow(), "Cannot initialize BASS", "ERROR", MB_OK | MB_ICONERROR);
    return false;
}

bool loadSoundtrack(const char* fileName) {
    if (!musicReady) return false;
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) {
        // The show goes on without music; say so once.
        std::fprintf(stderr, "glintdemo: cannot read the soundtrack %s; the show runs without music\n", fileName);
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    long fileSize = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (fileSize < 0) fileSize = 0;
    soundtrackData = std::malloc(size_t(fileSize) + 1);
    size_t got = soundtrackData ? std::fread(soundtrackData, 1, size_t(fileSize), file) : 0;
    std::fclose(file);
    if (got != size_t(fileSize)) {
        std::fprintf(stderr, "glintdemo: cannot read the soundtrack %s; the show runs without music\n", fileName);
        return false;
    }
    soundtrack = BASS_StreamCreateFile(TRUE, soundtrackData, 0, DWORD(fileSize), BASS_MP3_SETPOS);
    if (!soundtrack) return false;
    BASS_Start();
    return true;
}

bool playSoundtrack() {
    if (!musicReady) return false;
    BASS_StreamPlay(soundtrack, FALSE, BASS_SAMPLE_LOOP);
    return true;
}

void stopMusic() {
    if (!musicReady) return;
    BASS_Stop();
    BASS_Free();
    std::free(soundtrackData);
    soundtrackData = nullptr;
    musicReady = false;
}
