// FSOUND_ / FMUSIC_ over the shared mixer.
#include "fmod.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "internal.h"

struct FSOUND_STREAM {
    std::shared_ptr<sound::Voice> voice;
    int channel = -1;   // the software channel it was last played on
};

struct FMUSIC_MODULE {
    std::shared_ptr<sound::Voice> voice;
};

namespace sound {
namespace {

struct FmodState {
    bool initialised = false;
    int error = FMOD_ERR_NONE;
    std::vector<FSOUND_STREAM*> channels;   // software channels: what was last played on each
    std::vector<std::unique_ptr<FSOUND_STREAM>> streams;
    std::vector<std::unique_ptr<FMUSIC_MODULE>> songs;
};

FmodState& fmod() {
    // Never destroyed: music plays until the process ends.
    static FmodState* state = new FmodState;
    return *state;
}

// Sets the code that the error call reports, and returns `result`.
template <typename Result>
Result report(int code, Result result) {
    fmod().error = code;
    return result;
}

int errorCode(LoadError error) {
    switch (error) {
    case LoadError::None: return FMOD_ERR_NONE;
    case LoadError::NotFound: return FMOD_ERR_FILE_NOTFOUND;
    case LoadError::Unreadable: return FMOD_ERR_FILE_BAD;
    case LoadError::Format: return FMOD_ERR_FILE_FORMAT;
    case LoadError::Memory: return FMOD_ERR_MEMORY;
    case LoadError::InvalidArgument: return FMOD_ERR_INVALID_PARAM;
    }
    return FMOD_ERR_INVALID_PARAM;
}

template <typename Handle>
bool known(const std::vector<std::unique_ptr<Handle>>& list, const Handle* handle) {
    for (const auto& item : list)
        if (item.get() == handle) return true;
    return false;
}

}  // namespace

void resetFmod() { fmod() = FmodState{}; }

}  // namespace sound

using namespace sound;

static float untraced_FSOUND_GetVersion(void) {
    const char* forced = std::getenv("DEMO_FMOD_VERSION");
    if (forced && *forced) {
        char* end = nullptr;
        float version = std::strtof(forced, &end);
        if (*end == '\0') return version;
        std::fprintf(stderr, "DEMO_FMOD_VERSION: cannot read '%s' (expected a version number such as 3.21)\n", forced);
        std::exit(2);
    }
    return FMOD_VERSION;
}

static signed char untraced_FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags) {
    FmodState& state = fmod();
    if (mixrate < 4000 || mixrate > 65535 || maxsoftwarechannels < 0 || maxsoftwarechannels > 1024)
        return report(FMOD_ERR_INVALID_PARAM, 0);
    if (flags != 0) {
        std::fprintf(stderr, "[sound] FSOUND_Init: initialisation flags 0x%x are not supported\n", flags);
        return report(FMOD_ERR_INVALID_PARAM, 0);
    }
    // Already running: a second initialisation without FSOUND_Close keeps the running system
    // as it is (its channel count included), so music started earlier keeps playing.
    if (state.initialised) return report(FMOD_ERR_NONE, 1);
    if (environmentFlag("DEMO_AUDIO_UNAVAILABLE")) return report(FMOD_ERR_INIT, 0);
    Output::instance().open();
    state.initialised = true;
    state.channels.assign(size_t(maxsoftwarechannels), nullptr);
    return report(FMOD_ERR_NONE, 1);
}

int F_API FSOUND_GetError(void) { return fmod().error; }

static FSOUND_STREAM* untraced_FSOUND_Stream_OpenMpeg(const char* filename, unsigned int mode) {
    FmodState& state = fmod();
    if (!state.initialised) return report<FSOUND_STREAM*>(FMOD_ERR_UNINITIALIZED, nullptr);
    if (!filename) return report<FSOUND_STREAM*>(FMOD_ERR_INVALID_PARAM, nullptr);
    constexpr unsigned defined = 0x7FFFF;   // FSOUND_LOOP_OFF .. FSOUND_FORCEMONO
    constexpr unsigned unsupported = FSOUND_LOOP_BIDI | FSOUND_DELTA | FSOUND_IT214 | FSOUND_IT215 |
                                     FSOUND_LOADMEMORY | FSOUND_LOADRAW;
    if ((mode & ~defined) || (mode & unsupported)) {
        std::fprintf(stderr, "[sound] FSOUND_Stream_OpenMpeg: mode 0x%x is not supported for MPEG streams\n", mode);
        return report<FSOUND_STREAM*>(FMOD_ERR_INVALID_PARAM, nullptr);
    }
    if ((mode & FSOUND_LOOP_OFF) && (mode & FSOUND_LOOP_NORMAL)) return report<FSOUND_STREAM*>(FMOD_ERR_INVALID_PARAM, nullptr);
    LoadError error = LoadError::None;
    std::unique_ptr<Decoder> decoder = openMp3File(filename, 0, 0, error);
    if (!decoder) return report<FSOUND_STREAM*>(errorCode(error), nullptr);
    if (mode & FSOUND_FORCEMONO) decoder = forceMono(std::move(decoder));
    auto stream = std::make_unique<FSOUND_STREAM>();
    stream->voice = std::make_shared<Voice>(std::move(decoder));
    stream->voice->loop = (mode & FSOUND_LOOP_NORMAL) != 0;
    state.streams.push_back(std::move(stream));
    return report(FMOD_ERR_NONE, state.streams.back().get());
}

static int untraced_FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    FmodState& state = fmod();
    if (!state.initialised) return report(FMOD_ERR_UNINITIALIZED, -1);
    if (!stream || !known(state.streams, stream)) return report(FMOD_ERR_INVALID_PARAM, -1);
    Mixer& mixer = Output::instance().mixer();
    const int count = int(state.channels.size());
    // A stream plays on one channel at a time: its earlier play ends here.
    if (stream->channel >= 0) {
        mixer.stop(stream->voice);
        state.channels[size_t(stream->channel)] = nullptr;
        stream->channel = -1;
    }
    if (channel == FSOUND_FREE) {
        channel = -1;
        for (int i = 0; i < count && channel < 0; ++i) {
            FSOUND_STREAM* occupant = state.channels[size_t(i)];
            if (!occupant || !mixer.playing(occupant->voice)) channel = i;
        }
        if (channel < 0) return report(FMOD_ERR_CHANNEL_ALLOC, -1);
    } else if (channel < 0 || channel >= count) {
        return report(FMOD_ERR_INVALID_PARAM, -1);
    }
    // A channel plays one sound: whatever played on it stops.
    if (FSOUND_STREAM* occupant = state.channels[size_t(channel)]) {
        mixer.stop(occupant->voice);
        occupant->channel = -1;
    }
    state.channels[size_t(channel)] = stream;
    stream->channel = channel;
    mixer.start(stream->voice, true);
    return report(FMOD_ERR_NONE, channel);
}

static FMUSIC_MODULE* untraced_FMUSIC_LoadSong(const char* name) {
    FmodState& state = fmod();
    if (!state.initialised) return report<FMUSIC_MODULE*>(FMOD_ERR_UNINITIALIZED, nullptr);
    if (!name) return report<FMUSIC_MODULE*>(FMOD_ERR_INVALID_PARAM, nullptr);
    LoadError error = LoadError::None;
    std::unique_ptr<Decoder> decoder = openModuleFile(name, error);
    if (!decoder) return report<FMUSIC_MODULE*>(errorCode(error), nullptr);
    auto song = std::make_unique<FMUSIC_MODULE>();
    song->voice = std::make_shared<Voice>(std::move(decoder));
    state.songs.push_back(std::move(song));
    return report(FMOD_ERR_NONE, state.songs.back().get());
}

static signed char untraced_FMUSIC_PlaySong(FMUSIC_MODULE* mod) {
    FmodState& state = fmod();
    if (!state.initialised) return report(FMOD_ERR_UNINITIALIZED, 0);
    if (!mod || !known(state.songs, mod)) return report(FMOD_ERR_INVALID_PARAM, 0);
    Output::instance().mixer().start(mod->voice, true);
    return report(FMOD_ERR_NONE, 1);
}

// The exported entry points: each call, with its arguments and result, goes to the sound
// trace (DEMO_SOUND_TRACE) when one is asked for.
signed char F_API FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int flags) {
    signed char result = untraced_FSOUND_Init(mixrate, maxsoftwarechannels, flags);
    traceCall("FSOUND_Init(%d, %d, 0x%x) = %d", mixrate, maxsoftwarechannels, flags, int(result));
    return result;
}

FSOUND_STREAM* F_API FSOUND_Stream_OpenMpeg(const char* filename, unsigned int mode) {
    FSOUND_STREAM* result = untraced_FSOUND_Stream_OpenMpeg(filename, mode);
    traceCall("FSOUND_Stream_OpenMpeg(%s, 0x%x) = %s", filename ? filename : "NULL", mode, result ? "stream" : "NULL");
    return result;
}

int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    int result = untraced_FSOUND_Stream_Play(channel, stream);
    traceCall("FSOUND_Stream_Play(%d, %s) = %d", channel, stream ? "stream" : "NULL", result);
    return result;
}

FMUSIC_MODULE* F_API FMUSIC_LoadSong(const char* name) {
    FMUSIC_MODULE* result = untraced_FMUSIC_LoadSong(name);
    traceCall("FMUSIC_LoadSong(%s) = %s", name ? name : "NULL", result ? "song" : "NULL");
    return result;
}

signed char F_API FMUSIC_PlaySong(FMUSIC_MODULE* mod) {
    signed char result = untraced_FMUSIC_PlaySong(mod);
    traceCall("FMUSIC_PlaySong(%s) = %d", mod ? "song" : "NULL", int(result));
    return result;
}
float F_API FSOUND_GetVersion(void) {
    float result = untraced_FSOUND_GetVersion();
    traceCall("FSOUND_GetVersion() = %g", double(result));
    return result;
}
