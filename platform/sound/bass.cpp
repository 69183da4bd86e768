// BASS_ over the shared mixer.
#include "bass.h"

#include <cstdio>
#include <map>

#include "internal.h"

namespace sound {
namespace {

struct BassStream {
    std::shared_ptr<Voice> voice;
    bool loop = false;   // asked for at creation
};

struct BassState {
    bool initialised = false;
    bool started = false;   // the output runs (BASS_Init, BASS_Start; not after BASS_Stop)
    DWORD error = BASS_OK;
    HSTREAM nextHandle = 1;  // handles are never reused
    std::map<HSTREAM, BassStream> streams;
};

BassState& bass() {
    static BassState* state = new BassState;
    return *state;
}

// Sets the code that the error call reports, and returns `result`.
template <typename Result>
Result report(DWORD code, Result result) {
    bass().error = code;
    return result;
}

DWORD errorCode(LoadError error) {
    switch (error) {
    case LoadError::None: return BASS_OK;
    case LoadError::NotFound:
    case LoadError::Unreadable: return BASS_ERROR_FILEOPEN;
    case LoadError::Format: return BASS_ERROR_FILEFORM;
    case LoadError::Memory: return BASS_ERROR_MEM;
    case LoadError::InvalidArgument: return BASS_ERROR_ILLPARAM;
    }
    return BASS_ERROR_UNKNOWN;
}

void stopStreams() {
    Mixer& mixer = Output::instance().mixer();
    for (auto& [handle, stream] : bass().streams) mixer.stop(stream.voice);
}

}  // namespace

void resetBass() { bass() = BassState{}; }

}  // namespace sound

using namespace sound;

static BOOL untraced_BASS_Init(int device, DWORD freq, DWORD flags, HWND) {
    BassState& state = bass();
    if (state.initialised) return report(BASS_ERROR_ALREADY, FALSE);
    if (device == 0) {
        std::fprintf(stderr, "[sound] BASS_Init: the no-sound device (0) is not supported\n");
        return report(BASS_ERROR_DEVICE, FALSE);
    }
    if (device < -1 || device > 1) return report(BASS_ERROR_DEVICE, FALSE);
    if (freq < 4000 || freq > 96000) return report(BASS_ERROR_ILLPARAM, FALSE);
    if (flags != 0) {
        std::fprintf(stderr, "[sound] BASS_Init: device flags 0x%x are not supported\n", unsigned(flags));
        return report(BASS_ERROR_ILLPARAM, FALSE);
    }
    if (environmentFlag("DEMO_AUDIO_UNAVAILABLE")) return report(BASS_ERROR_DRIVER, FALSE);
    Output::instance().open();
    state.initialised = true;
    state.started = true;
    return report(BASS_OK, TRUE);
}

static BOOL untraced_BASS_Start(void) {
    BassState& state = bass();
    if (!state.initialised) return report(BASS_ERROR_INIT, FALSE);
    state.started = true;
    return report(BASS_OK, TRUE);
}

static BOOL untraced_BASS_Stop(void) {
    BassState& state = bass();
    if (!state.initialised) return report(BASS_ERROR_INIT, FALSE);
    stopStreams();
    state.started = false;
    return report(BASS_OK, TRUE);
}

static BOOL untraced_BASS_Free(void) {
    BassState& state = bass();
    if (!state.initialised) return report(BASS_ERROR_INIT, FALSE);
    // Out of the mixer before the decoders go: once this returns, nothing reads the callers'
    // memory blocks.
    stopStreams();
    state.streams.clear();
    state.initialised = false;
    state.started = false;
    return report(BASS_OK, TRUE);
}

DWORD BASSDEF(BASS_ErrorGetCode)(void) { return bass().error; }

static HSTREAM untraced_BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    BassState& state = bass();
    if (!state.initialised) return report<HSTREAM>(BASS_ERROR_INIT, 0);
    if (!file) return report<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
    if (flags & ~DWORD(BASS_SAMPLE_LOOP | BASS_MP3_SETPOS)) {
        std::fprintf(stderr, "[sound] BASS_StreamCreateFile: flags 0x%x are not supported\n", unsigned(flags));
        return report<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
    }
    LoadError error = LoadError::None;
    std::unique_ptr<Decoder> decoder;
    if (mem) {
        if (length == 0) return report<HSTREAM>(BASS_ERROR_ILLPARAM, 0);
        decoder = openMp3Memory(static_cast<const uint8_t*>(file) + offset, length, error);
    } else {
        decoder = openMp3File(static_cast<const char*>(file), offset, length, error);
    }
    if (!decoder) return report<HSTREAM>(errorCode(error), 0);
    // BASS_MP3_SETPOS asks for exact seeking, which every stream here has.
    HSTREAM handle = state.nextHandle++;
    BassStream& stream = state.streams[handle];
    stream.voice = std::make_shared<Voice>(std::move(decoder));
    stream.loop = (flags & BASS_SAMPLE_LOOP) != 0;
    stream.voice->loop = stream.loop;
    return report(BASS_OK, handle);
}

static BOOL untraced_BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags) {
    BassState& state = bass();
    if (!state.initialised) return report(BASS_ERROR_INIT, FALSE);
    auto found = state.streams.find(handle);
    if (found == state.streams.end()) return report(BASS_ERROR_HANDLE, FALSE);
    if (flags & ~DWORD(BASS_SAMPLE_LOOP)) {
        std::fprintf(stderr, "[sound] BASS_StreamPlay: flags 0x%x are not supported\n", unsigned(flags));
        return report(BASS_ERROR_ILLPARAM, FALSE);
    }
    if (!state.started) return report(BASS_ERROR_START, FALSE);
    Mixer& mixer = Output::instance().mixer();
    mixer.setLoop(found->second.voice, found->second.loop || (flags & BASS_SAMPLE_LOOP));
    mixer.start(found->second.voice, flush != FALSE);
    return report(BASS_OK, TRUE);
}

// The exported entry points: each call, with its arguments and result, goes to the sound
// trace (DEMO_SOUND_TRACE) when one is asked for.
BOOL BASSDEF(BASS_Init)(int device, DWORD freq, DWORD flags, HWND win) {
    BOOL result = untraced_BASS_Init(device, freq, flags, win);
    traceCall("BASS_Init(%d, %u, 0x%x, %s) = %d", device, unsigned(freq), unsigned(flags), win ? "window" : "NULL", int(result));
    return result;
}

BOOL BASSDEF(BASS_Start)(void) {
    BOOL result = untraced_BASS_Start();
    traceCall("BASS_Start() = %d", int(result));
    return result;
}

BOOL BASSDEF(BASS_Stop)(void) {
    BOOL result = untraced_BASS_Stop();
    traceCall("BASS_Stop() = %d", int(result));
    return result;
}

BOOL BASSDEF(BASS_Free)(void) {
    BOOL result = untraced_BASS_Free();
    traceCall("BASS_Free() = %d", int(result));
    return result;
}

HSTREAM BASSDEF(BASS_StreamCreateFile)(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    HSTREAM result = untraced_BASS_StreamCreateFile(mem, file, offset, length, flags);
    traceCall("BASS_StreamCreateFile(%d, %s, %u, %u, 0x%x) = %u", mem, mem ? "memory" : (file ? static_cast<const char*>(file) : "NULL"), unsigned(offset), unsigned(length), unsigned(flags), unsigned(result));
    return result;
}

BOOL BASSDEF(BASS_StreamPlay)(HSTREAM handle, BOOL flush, DWORD flags) {
    BOOL result = untraced_BASS_StreamPlay(handle, flush, flags);
    traceCall("BASS_StreamPlay(%u, %d, 0x%x) = %d", unsigned(handle), flush, unsigned(flags), int(result));
    return result;
}
