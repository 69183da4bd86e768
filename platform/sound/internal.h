// Private to platform/sound: the decoders, the mixer and the output that both libraries'
// front ends (fmod.cpp, bass.cpp) share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sound {

// The one format of the mix: 44100 frames a second, two channels.
constexpr int mixRate = 44100;
constexpr int mixChannels = 2;

// Why a sound could not be opened; each front end turns it into its own error code.
enum class LoadError {
    None,
    NotFound,        // no such file
    Unreadable,      // the file exists but cannot be opened or read
    Format,          // the bytes are not a sound this decoder plays
    Memory,          // out of memory
    InvalidArgument, // a null name, an empty block
};

// A decoded sound: 44100 Hz stereo float frames, full scale +-1.
class Decoder {
public:
    virtual ~Decoder() = default;
    // Fills `out` with up to `frames` interleaved stereo frames; fewer only at the sound's end.
    virtual size_t read(float* out, size_t frames) = 0;
    // Goes back to the first frame; false when the sound cannot.
    virtual bool rewind() = 0;
};

// Opens a sound file for reading: a regular file, or the reason it cannot be one.
// Returns the descriptor, or -1 with `error` set.
int openSoundFile(const char* path, LoadError& error);

// Tracker modules through libopenmpt; the file is read whole. Plays once to the song's end.
std::unique_ptr<Decoder> openModuleFile(const char* path, LoadError& error);

// MPEG audio through libmpg123, read from the file as it plays.
// `offset`/`length` select a part of the file (length 0: to its end).
std::unique_ptr<Decoder> openMp3File(const char* path, uint64_t offset, uint64_t length, LoadError& error);
// The same over a block of memory the caller owns; it must outlive the decoder.
std::unique_ptr<Decoder> openMp3Memory(const void* data, size_t size, LoadError& error);
// Mixes a decoder's output down to mono (both channels carry the mean).
std::unique_ptr<Decoder> forceMono(std::unique_ptr<Decoder> decoder);

// A sound placed in the mixer. Its owner (a song, a stream) keeps it; the mixer holds it
// while it plays. Fields are read and written under the mixer's lock.
class Voice {
public:
    explicit Voice(std::unique_ptr<Decoder> decoder) : decoder_(std::move(decoder)) {}
    bool loop = false;

private:
    friend class Mixer;
    std::unique_ptr<Decoder> decoder_;
    bool playing_ = false;
    bool ended_ = false;   // reached its end (and did not loop) since it was last started
};

// Sums every playing voice into 16-bit stereo, with clipping. Thread-safe: the sinks render
// from their own threads while the programs start and stop sounds.
class Mixer {
public:
    // Starts `voice` from where it stands, or from its first frame when `restart` or when it
    // had ended.
    void start(const std::shared_ptr<Voice>& voice, bool restart);
    // Takes `voice` out of the mix; it keeps its position.
    void stop(const std::shared_ptr<Voice>& voice);
    bool playing(const std::shared_ptr<Voice>& voice);
    void setLoop(const std::shared_ptr<Voice>& voice, bool loop);
    void stopAll();
    // Mixes the next `frames` frames into `out` (interleaved, 2 x frames values).
    void render(int16_t* out, size_t frames);

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<Voice>> voices_;
    std::vector<float> sum_, scratch_;
};

// A 16-bit stereo 44100 Hz WAV file that is valid after every append: the sizes in its header
// are rewritten each time, and every write goes straight to the file, so a process that ends
// without cleaning up (exit, _exit, a crash) leaves a playable file.
class WavWriter {
public:
    ~WavWriter();
    bool open(const std::string& path, std::string* error);
    bool append(const int16_t* samples, size_t frames, std::string* error);
    uint64_t frames() const { return frames_; }

private:
    int fd_ = -1;
    uint64_t frames_ = 0;
};

// The process's audio output: the mixer and the sink DEMO_AUDIO chooses.
//   auto:      the audio device through SDL2; with the real clock SDL's audio thread pulls from
//              the mixer, with the fixed clock each presented frame's samples are queued to the
//              device. No device: one warning on standard error, then silence.
//   none:      nothing is mixed (sounds are opened and checked, and do not advance).
//   wav:<path> with the fixed clock, each presented frame appends its samples; sample 0 of the
//              file is frame 0 of the clock, so frames before the output opened are silence.
//              With the real clock a feeder thread appends the samples due by the monotonic
//              clock every 20 ms; sample 0 is the moment the output opened.
// Fixed clock: at the presentation of frame n the samples [floor(n*44100/fps),
// floor((n+1)*44100/fps)) are mixed, so a sound started while frame n was being prepared begins
// at sample floor(n*44100/fps).
class Output {
public:
    static Output& instance();
    ~Output();
    // Opens the sink on first use; later calls do nothing.
    void open();
    bool isOpen() const { return open_; }
    Mixer& mixer() { return mixer_; }
    // Stops the sink (tests; and at process exit, so no thread outlives the program).
    void close();

private:
    struct Sinks;
    void presented(uint64_t frame);
    void feedRealTime();
    void deliver(const int16_t* samples, size_t frames);
    void renderAndDeliver(uint64_t frames);

    Mixer mixer_;
    bool open_ = false;
    std::unique_ptr<Sinks> sinks_;
};

// An environment variable as a flag ("1" or "0"/unset), for the test hooks.
bool environmentFlag(const char* name);

// One line of the sound trace (DEMO_SOUND_TRACE), printf-style; nothing when none is asked for.
void traceCall(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The front ends' state, forgotten by sound::testing::reset().
void resetFmod();
void resetBass();

}  // namespace sound
