// The audio output: which sink the mix goes to, and when it is mixed.
#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "host/host.h"
#include "internal.h"

namespace sound {
namespace {

constexpr size_t blockFrames = 4096;
// Fixed clock on the device: frames queued beyond this much sound are dropped, so a program
// presenting faster than real time cannot grow the queue without end.
constexpr uint32_t deviceQueueLimitBytes = mixRate * mixChannels * 2;

void pullFromMixer(void* mixer, Uint8* stream, int bytes) {
    static_cast<Mixer*>(mixer)->render(reinterpret_cast<int16_t*>(stream), size_t(bytes) / (2 * mixChannels));
}

// Frames due at the start of clock frame `frame`, at `framesPerSecond` / `denominator` clock
// frames a second.
uint64_t framesBefore(uint64_t frame, int framesPerSecond, int denominator) {
    return frame * mixRate * uint64_t(denominator) / uint64_t(framesPerSecond);
}

}  // namespace

struct Output::Sinks {
    SDL_AudioDeviceID device = 0;    // 0: none open
    bool deviceQueued = false;       // fixed clock: frames are queued instead of pulled
    std::unique_ptr<WavWriter> wav;
    std::string wavPath;

    int listenerId = 0;              // fixed clock
    int framesPerSecond = 0, denominator = 1;
    uint64_t mixedFrames = 0;        // handed to the sinks, counted from clock frame 0

    std::thread feeder;              // real clock into a WAV file
    std::mutex feederMutex;
    std::condition_variable feederWake;
    bool stopFeeder = false;

    std::vector<int16_t> block = std::vector<int16_t>(blockFrames * mixChannels);
};

Output& Output::instance() {
    // Never destroyed: the audio thread may still pull while global destructors run; the
    // exit handler below stops it first.
    static Output* output = new Output;
    return *output;
}

Output::~Output() = default;

void Output::open() {
    if (open_) return;
    static bool exitHandlerSet = false;
    if (!exitHandlerSet) {
        exitHandlerSet = true;
        std::atexit([] { Output::instance().close(); });
    }
    open_ = true;
    sinks_ = std::make_unique<Sinks>();
    Sinks& sinks = *sinks_;
    const host::Settings& settings = host::settings();

    if (settings.audio == host::AudioSink::Wav) {
        sinks.wav = std::make_unique<WavWriter>();
        sinks.wavPath = settings.wavPath;
        std::string error;
        if (!sinks.wav->open(settings.wavPath, &error)) {
            std::fprintf(stderr, "[sound] cannot write %s: %s\n", settings.wavPath.c_str(), error.c_str());
            std::exit(2);
        }
    } else if (settings.audio == host::AudioSink::Auto) {
        std::string error;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error = SDL_GetError();
        } else {
            SDL_AudioSpec wanted{}, got{};
            wanted.freq = mixRate;
            wanted.format = AUDIO_S16SYS;
            wanted.channels = mixChannels;
            wanted.samples = 1024;
            if (!settings.fixedClock) {
                wanted.callback = pullFromMixer;
                wanted.userdata = &mixer_;
            }
            // No changes allowed: SDL converts to whatever the device wants.
            sinks.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
            if (!sinks.device) {
                error = SDL_GetError();
                SDL_QuitSubSystem(SDL_INIT_AUDIO);
            }
        }
        if (!sinks.device) {
            std::fprintf(stderr, "[sound] no audio device (%s); playing silently\n", error.c_str());
        } else {
            sinks.deviceQueued = settings.fixedClock;
            SDL_PauseAudioDevice(sinks.device, 0);
        }
    }

    bool anySink = sinks.wav || sinks.deviceQueued;
    if (settings.fixedClock && anySink) {
        sinks.framesPerSecond = settings.fixedFramesPerSecond;
        sinks.denominator = std::max(1, settings.fixedFrameRateDenominator);
        sinks.mixedFrames = framesBefore(host::presentedFrames(), sinks.framesPerSecond, sinks.denominator);
        if (sinks.wav) {
            // The file's time is the clock's: frames already shown were silent.
            std::vector<int16_t> silence(blockFrames * mixChannels, 0);
            for (uint64_t left = sinks.mixedFrames; left;) {
                size_t frames = size_t(std::min<uint64_t>(left, blockFrames));
                std::string error;
                if (!sinks.wav->append(silence.data(), frames, &error)) break;
                left -= frames;
            }
        }
        sinks.listenerId = host::addPresentListener([this](uint64_t frame) { presented(frame); });
    } else if (!settings.fixedClock && sinks.wav) {
        sinks.feeder = std::thread([this] { feedRealTime(); });
    }
}

void Output::close() {
    if (!open_) return;
    Sinks& sinks = *sinks_;
    if (sinks.listenerId) host::removePresentListener(sinks.listenerId);
    if (sinks.feeder.joinable()) {
        {
            std::lock_guard lock(sinks.feederMutex);
            sinks.stopFeeder = true;
        }
        sinks.feederWake.notify_all();
        sinks.feeder.join();
    }
    if (sinks.device) {
        SDL_CloseAudioDevice(sinks.device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    sinks_.reset();
    open_ = false;
}

void Output::presented(uint64_t frame) {
    Sinks& sinks = *sinks_;
    uint64_t due = framesBefore(frame + 1, sinks.framesPerSecond, sinks.denominator);
    if (due <= sinks.mixedFrames) return;
    renderAndDeliver(due - sinks.mixedFrames);
    sinks.mixedFrames = due;
}

void Output::feedRealTime() {
    Sinks& sinks = *sinks_;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    uint64_t written = 0;
    std::unique_lock lock(sinks.feederMutex);
    while (true) {
        bool stopping = sinks.feederWake.wait_for(lock, std::chrono::milliseconds(20), [&] { return sinks.stopFeeder; });
        auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
        uint64_t seconds = uint64_t(elapsed) / 1'000'000'000, rest = uint64_t(elapsed) % 1'000'000'000;
        uint64_t due = seconds * mixRate + rest * mixRate / 1'000'000'000;
        lock.unlock();
        if (due > written) renderAndDeliver(due - written);
        written = std::max(written, due);
        lock.lock();
        if (stopping) return;
    }
}

void Output::renderAndDeliver(uint64_t frames) {
    Sinks& sinks = *sinks_;
    while (frames) {
        size_t now = size_t(std::min<uint64_t>(frames, blockFrames));
        mixer_.render(sinks.block.data(), now);
        deliver(sinks.block.data(), now);
        frames -= now;
    }
}

void Output::deliver(const int16_t* samples, size_t frames) {
    Sinks& sinks = *sinks_;
    if (sinks.wav) {
        std::string error;
        if (!sinks.wav->append(samples, frames, &error)) {
            std::fprintf(stderr, "[sound] cannot write %s: %s; recording stops here\n", sinks.wavPath.c_str(),
                         error.c_str());
            sinks.wav.reset();
        }
    }
    if (sinks.deviceQueued && SDL_GetQueuedAudioSize(sinks.device) < deviceQueueLimitBytes)
        SDL_QueueAudio(sinks.device, samples, Uint32(frames * 2 * mixChannels));
}

}  // namespace sound
