#include "song.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh.h"

namespace content::korvo {

namespace {

using module::Cell;
using module::Pattern;
using module::Sample;

constexpr double pi = 3.14159265358979323846;
constexpr int rowsPerBar = 16;

// Tonal instruments are rendered at the rate their C-3 plays (period 214, 16574 Hz), so C-3
// sounds the pitch they are rendered at; the drum loops at the rate of period 113 (31388 Hz)
// for crisper hats, and are always played there.
constexpr int notePeriod = 214, drumPeriod = 113;
const double noteRate = module::playbackRate(notePeriod);
const double drumRate = module::playbackRate(drumPeriod);

// Sample slots (1-based, as the patterns name them).
enum Slot { drumsFull = 1, drumsCrash, drumsFill, drumsPulse, bass, lead, padAm, padF, padC, padG, riser, impact };

// ---- Sound -------------------------------------------------------------------------------

using Sound = std::vector<float>;

class Noise {
public:
    explicit Noise(uint32_t seed) : random_(seed) {}
    float next() { return random_.uniform() * 2.0f - 1.0f; }

private:
    Random random_;
};

// One-pole low-pass filter.
class LowPass {
public:
    void setCutoff(double hz, double rate) { a_ = float(1.0 - std::exp(-2.0 * pi * hz / rate)); }
    float run(float x) { return y_ += a_ * (x - y_); }

private:
    float a_ = 1.0f, y_ = 0.0f;
};

// A band-limited sawtooth (the step smoothed where the phase wraps).
class Saw {
public:
    explicit Saw(double phase = 0.0) : phase_(phase) {}
    float next(double hz, double rate) {
        double dt = hz / rate;
        double t = phase_;
        double value = 2.0 * t - 1.0;
        if (t < dt) {
            t /= dt;
            value -= t + t - t * t - 1.0;
        } else if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            value -= t * t + t + t + 1.0;
        }
        phase_ += dt;
        if (phase_ >= 1.0) phase_ -= 1.0;
        return float(value);
    }

private:
    double phase_;
};

size_t lengthOf(double seconds, double rate) { return size_t(seconds * rate) & ~size_t(1); }

// The sound as 8-bit sample data, each value multiplied by `scale` (a group of samples that
// keep their levels to each other shares one scale).
std::vector<int8_t> toSample(const Sound& sound, float scale) {
    std::vector<int8_t> data(sound.size());
    for (size_t i = 0; i < sound.size(); ++i) data[i] = int8_t(std::lround(std::clamp(sound[i] * scale, -127.0f, 127.0f)));
    if (data.size() % 2) data.push_back(0);
    return data;
}

float peakOf(const Sound& sound) {
    float peak = 0.0f;
    for (float v : sound) peak = std::max(peak, std::fabs(v));
    return peak;
}

Sample sampleOf(const char* name, const Sound& sound, int volume, float scale) {
    Sample s;
    s.name = name;
    s.data = toSample(sound, scale);
    s.volume = volume;
    return s;
}

Sample normalised(const char* name, const Sound& sound, int volume) {
    return sampleOf(name, sound, volume, 118.0f / std::max(peakOf(sound), 1e-6f));
}

// ---- Drums -------------------------------------------------------------------------------

Sound kick() {
    Sound s(lengthOf(0.45, drumRate));
    Noise noise(7);
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / drumRate;
        phase += (45.0 + 80.0 * std::exp(-t / 0.035)) / drumRate;
        s[i] = float(std::sin(2.0 * pi * phase) * std::exp(-t / 0.22) + 0.3 * noise.next() * std::exp(-t / 0.003));
    }
    return s;
}

Sound snare() {
    Sound s(lengthOf(0.3, drumRate));
    Noise noise(11);
    LowPass body, hiss;
    body.setCutoff(5000, drumRate);
    hiss.setCutoff(1200, drumRate);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / drumRate;
        float n = body.run(noise.next());
        float bright = n - hiss.run(n);
        double tone = std::sin(2.0 * pi * 185.0 * t) * 0.6 + std::sin(2.0 * pi * 330.0 * t) * 0.25;
        s[i] = float(bright * 1.3 * std::exp(-t / 0.09) + tone * std::exp(-t / 0.045));
    }
    return s;
}

// High-passed noise dying away: a hat (short) or a crash (long, with a brief attack).
Sound noiseBurst(double seconds, double cutoff, double decay, double attack, uint32_t seed) {
    Sound s(lengthOf(seconds, drumRate));
    Noise noise(seed);
    LowPass low;
    low.setCutoff(cutoff, drumRate);
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / drumRate;
        float n = noise.next();
        s[i] = float((n - low.run(n)) * std::exp(-t / decay) * (attack > 0.0 ? std::min(1.0, t / attack) : 1.0));
    }
    return s;
}

struct Hit {
    const Sound* sound;
    int step;   // sixteenth of the bar
    float gain;
};

Sound drumBar(const std::vector<Hit>& hits) {
    Sound bar(lengthOf(barSeconds, drumRate), 0.0f);
    for (const Hit& hit : hits) {
        size_t start = size_t(double(hit.step) * barSeconds / rowsPerBar * drumRate);
        for (size_t i = 0; i < hit.sound->size() && start + i < bar.size(); ++i) bar[start + i] += (*hit.sound)[i] * hit.gain;
    }
    return bar;
}

// ---- Tonal instruments -------------------------------------------------------------------

// Four notes of a chord (Hz), each three saws a little apart, softened, swelling in and
// fading at the end of the bar.
Sound pad(std::initializer_list<double> notes, uint32_t seed) {
    Sound s(lengthOf(barSeconds, noteRate), 0.0f);
    Random random(seed);
    for (double note : notes)
        for (double cents : {-8.0, 0.0, 7.0}) {
            Saw saw(random.uniform());
            LowPass first, second;
            first.setCutoff(1700, noteRate);
            second.setCutoff(2400, noteRate);
            double hz = note * std::pow(2.0, cents / 1200.0);
            for (size_t i = 0; i < s.size(); ++i) s[i] += second.run(first.run(saw.next(hz, noteRate)));
        }
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / noteRate, left = double(s.size() - i) / noteRate;
        s[i] *= float(std::min(1.0, t / 0.12) * std::min(1.0, left / 0.08));
    }
    return s;
}

// A plucked bass: a sawtooth under a closing filter, with a sine beneath it.
Sound bassPluck() {
    const double hz = 130.8128;   // C-3 plays C3; the bass lines sit an octave or two lower
    Sound s(lengthOf(1.0, noteRate));
    Saw saw;
    LowPass first, second;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / noteRate;
        double cutoff = 280.0 + 2400.0 * std::exp(-t / 0.07);
        first.setCutoff(cutoff, noteRate);
        second.setCutoff(cutoff * 1.5, noteRate);
        double body = second.run(first.run(saw.next(hz, noteRate))) + 0.55 * std::sin(2.0 * pi * hz * t);
        double envelope = std::min(1.0, t / 0.003) * (0.6 + 0.4 * std::exp(-t / 0.15));
        s[i] = float(body * envelope * std::min(1.0, (1.0 - t) / 0.05));
    }
    return s;
}

// A bell: partials a little off the harmonics, the higher ones dying first.
Sound bell() {
    const double hz = 523.2511;   // C-3 plays C5
    struct Partial {
        double ratio, level, decay;
    };
    const Partial partials[] = {{1.0, 1.0, 0.55}, {2.0, 0.45, 0.3}, {3.0, 0.22, 0.18}, {4.16, 0.18, 0.1}, {5.43, 0.1, 0.06}};
    Sound s(lengthOf(1.2, noteRate));
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / noteRate, v = 0.0;
        for (const Partial& p : partials) v += p.level * std::sin(2.0 * pi * hz * p.ratio * t) * std::exp(-t / p.decay);
        s[i] = float(v * std::min(1.0, t / 0.002));
    }
    return s;
}

// Noise through a band that climbs from 200 Hz to 6 kHz over two seconds, growing louder.
Sound riserSweep() {
    Sound s(lengthOf(2.0, noteRate));
    Noise noise(31);
    double low = 0.0, band = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / noteRate;
        double centre = 200.0 * std::pow(30.0, t / 2.0);
        double f = 2.0 * std::sin(pi * std::min(centre, noteRate / 6.0) / noteRate), damping = 0.35;
        double high = noise.next() - low - damping * band;
        band += f * high;
        low += f * band;
        s[i] = float(band * (t / 2.0) * (t / 2.0) * std::min(1.0, (2.0 - t) / 0.02));
    }
    return s;
}

// The last hit: a falling boom under a burst of noise.
Sound impactBoom() {
    Sound s(lengthOf(3.0, noteRate));
    Noise noise(37);
    LowPass soft;
    soft.setCutoff(2500, noteRate);
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = double(i) / noteRate;
        phase += (36.0 + 60.0 * std::exp(-t / 0.06)) / noteRate;
        double boom = std::sin(2.0 * pi * phase) * std::exp(-t / 0.7);
        double burst = soft.run(noise.next()) * std::exp(-t / 0.35) * 0.9;
        s[i] = float((boom + burst) * std::min(1.0, t / 0.003));
    }
    return s;
}

std::vector<Sample> instruments() {
    Sound k = kick(), sn = snare(), closed = noiseBurst(0.08, 7000, 0.018, 0.0, 13),
          open = noiseBurst(0.4, 7000, 0.13, 0.0, 17), cr = noiseBurst(2.0, 3500, 0.75, 0.004, 23);
    std::vector<Hit> groove;
    for (int step : {0, 4, 8, 12}) groove.push_back({&k, step, 1.0f});
    for (int step : {4, 12}) groove.push_back({&sn, step, 0.7f});
    for (int step : {2, 6, 10}) groove.push_back({&closed, step, 0.45f});
    for (int step : {1, 3, 5, 7, 9, 11, 13, 15}) groove.push_back({&closed, step, 0.16f});
    std::vector<Hit> full = groove, withCrash = groove, fill = groove;
    full.push_back({&open, 14, 0.3f});
    withCrash.push_back({&open, 14, 0.3f});
    withCrash.push_back({&cr, 0, 0.55f});
    for (auto [step, gain] : {std::pair{13, 0.35f}, {14, 0.5f}, {15, 0.7f}}) fill.push_back({&sn, step, gain});
    std::vector<Hit> pulse = {{&k, 0, 0.9f}, {&k, 8, 0.7f}, {&closed, 4, 0.15f}, {&closed, 12, 0.15f}, {&closed, 14, 0.1f}};
    std::vector<Sound> loops = {drumBar(full), drumBar(withCrash), drumBar(fill), drumBar(pulse)};
    float loudest = 0.0f;
    for (const Sound& loop : loops) loudest = std::max(loudest, peakOf(loop));
    const float drumScale = 118.0f / loudest;

    std::vector<Sample> samples = {
        sampleOf("drums", loops[0], 64, drumScale),
        sampleOf("drums, crash", loops[1], 64, drumScale),
        sampleOf("drums, fill", loops[2], 64, drumScale),
        sampleOf("drums, pulse", loops[3], 64, drumScale),
        normalised("bass", bassPluck(), 50),
        normalised("bell", bell(), 40),
        normalised("pad A minor", pad({220.0, 261.63, 329.63, 440.0}, 41), 30),
        normalised("pad F", pad({174.61, 220.0, 261.63, 349.23}, 43), 30),
        normalised("pad C", pad({196.0, 261.63, 329.63, 392.0}, 47), 30),
        normalised("pad G", pad({196.0, 246.94, 293.66, 392.0}, 53), 30),
        normalised("riser", riserSweep(), 44),
        normalised("impact", impactBoom(), 64),
    };
    return samples;
}

// ---- The score ---------------------------------------------------------------------------

enum Channel { drumChannel, bassChannel, padChannel, leadChannel };

// Tracker notes, semitones from C-1; the bell sounds two octaves higher (C-3 is C5), the bass
// an octave lower.
enum Note { F1 = 5, G1 = 7, A1 = 9, C2 = 12, F4 = 17, G4 = 19, A4 = 21, B4 = 23, C5 = 24, D5 = 26, E5 = 28, F5 = 29, G5 = 31, A5 = 33 };

struct Chord {
    Slot pad;
    int bassRoot;
    int tones[4];   // bell notes, low to high
};
const Chord chords[4] = {
    {padAm, A1, {A4, C5, E5, A5}},
    {padF, F1, {F4, A4, C5, F5}},
    {padC, C2, {G4, C5, E5, G5}},
    {padG, G1, {G4, B4, D5, G5}},
};

// The melody: (sixteenth, note) pairs for each chord's bar.
const std::vector<std::pair<int, int>> melody[4] = {
    {{0, E5}, {3, D5}, {5, C5}, {8, A4}, {12, C5}, {14, D5}},
    {{0, C5}, {4, A4}, {8, F4}, {10, A4}, {12, C5}},
    {{0, E5}, {4, G5}, {8, E5}, {10, D5}, {12, C5}},
    {{0, D5}, {4, B4}, {8, G4}, {12, B4}, {14, D5}},
};

void note(Pattern& pattern, int row, Channel channel, int semitone, Slot sample, int volume = -1) {
    Cell& c = pattern.rows[size_t(row)][channel];
    c.period = module::periodOf(semitone);
    c.sample = sample;
    if (volume >= 0) {
        c.effect = 0xC;
        c.parameter = volume;
    }
}

void effect(Pattern& pattern, int row, Channel channel, int effect, int parameter) {
    Cell& c = pattern.rows[size_t(row)][channel];
    c.effect = effect;
    c.parameter = parameter;
}

// A drum loop at the start of a bar, always at its own rate.
void drums(Pattern& pattern, int bar, Slot loop) {
    Cell& c = pattern.rows[size_t(bar * rowsPerBar)][drumChannel];
    c.period = drumPeriod;
    c.sample = loop;
}

void pads(Pattern& pattern, int bar, int volume) {
    Cell& c = pattern.rows[size_t(bar * rowsPerBar)][padChannel];
    c.period = notePeriod;
    c.sample = chords[bar].pad;
    c.effect = 0xC;
    c.parameter = volume;
}

void bassLine(Pattern& pattern, int bar, bool busy) {
    int root = chords[bar].bassRoot, row = bar * rowsPerBar;
    if (!busy) {
        note(pattern, row, bassChannel, root, bass, 40);
        return;
    }
    const int octave[8] = {0, 0, 12, 0, 0, 12, 0, 12};
    for (int i = 0; i < 8; ++i) note(pattern, row + 2 * i, bassChannel, root + octave[i], bass, i % 2 ? 34 : 48);
}

void arpeggio(Pattern& pattern, int bar) {
    const int order[16] = {0, 1, 2, 3, 1, 2, 3, 2, 0, 1, 2, 3, 1, 2, 3, 2};
    for (int step = 0; step < rowsPerBar; ++step)
        note(pattern, bar * rowsPerBar + step, leadChannel, chords[bar].tones[order[step]], lead, step % 4 == 0 ? 40 : 22);
}

// The melody; with `echoes`, the free eighths between its notes carry soft chord tones.
void tune(Pattern& pattern, int bar, bool echoes) {
    bool taken[rowsPerBar] = {};
    for (auto [step, semitone] : melody[bar]) {
        note(pattern, bar * rowsPerBar + step, leadChannel, semitone, lead, 44);
        for (int s = step; s < std::min(step + 2, rowsPerBar); ++s) taken[s] = true;
    }
    if (!echoes) return;
    for (int step = 0; step < rowsPerBar; step += 2)
        if (!taken[step]) note(pattern, bar * rowsPerBar + step, leadChannel, chords[bar].tones[(step / 2) % 4], lead, 16);
}

// Single bell notes: (row, note, volume).
struct Bell {
    int row, semitone, volume;
};

void bells(Pattern& pattern, std::initializer_list<Bell> notes) {
    for (const Bell& b : notes) note(pattern, b.row, leadChannel, b.semitone, lead, b.volume);
}

Pattern section(Section which) {
    Pattern p;
    switch (which) {
    case Section::intro:
        for (int bar = 0; bar < 4; ++bar) pads(p, bar, 12 + 7 * bar);
        bells(p, {{0, E5, 30}, {16, C5, 26}, {24, A4, 22}, {32, E5, 30}, {40, G5, 26}});
        note(p, 48, leadChannel, 24, riser);
        break;
    case Section::groove:
    case Section::arpeggio:
    case Section::melody:
    case Section::reprise:
    case Section::finale:
        for (int bar = 0; bar < 4; ++bar) {
            drums(p, bar, bar == 0 ? drumsCrash : bar == 3 ? drumsFill : drumsFull);
            pads(p, bar, which == Section::finale ? 34 : 28);
            bassLine(p, bar, true);
            if (which == Section::arpeggio || which == Section::reprise) arpeggio(p, bar);
            if (which == Section::melody) tune(p, bar, false);
            if (which == Section::finale) tune(p, bar, true);
        }
        if (which == Section::groove) {
            bells(p, {{0, A5, 36}, {32, G5, 30}});
        }
        break;
    case Section::breakdown:
        for (int bar = 0; bar < 4; ++bar) {
            drums(p, bar, bar == 3 ? drumsFill : drumsPulse);
            pads(p, bar, 34);
            bassLine(p, bar, false);
        }
        bells(p, {{0, E5, 40}, {8, D5, 30}, {16, C5, 40}, {24, A4, 30}, {32, E5, 40}, {40, G5, 30}});
        note(p, 48, leadChannel, 24, riser);
        break;
    case Section::outro:
        note(p, 0, leadChannel, 24, impact);
        note(p, 0, bassChannel, A1, bass, 56);
        pads(p, 0, 36);
        {
            Cell& again = p.rows[16][padChannel];
            again = {notePeriod, padAm, 0xC, 18};
            Cell& last = p.rows[32][padChannel];
            last = {notePeriod, padAm, 0xC, 8};
        }
        effect(p, 48, padChannel, 0xC, 0);
        break;
    case Section::count: break;
    }
    return p;
}

}  // namespace

module::Song showSong() {
    module::Song song;
    song.title = "korvo sample show";
    song.samples = instruments();
    for (int s = 0; s < int(Section::count); ++s) {
        song.patterns.push_back(section(Section(s)));
        song.order.push_back(s);
    }
    // The first row: 120 beats a minute (speed 6 is the default) and the channels panned
    // towards the middle, instead of hard left and right.
    Pattern& first = song.patterns.front();
    effect(first, 0, drumChannel, 0x8, 0x80);
    effect(first, 0, bassChannel, 0x8, 0x80);
    effect(first, 1, padChannel, 0x8, 0x60);
    effect(first, 0, leadChannel, 0xF, 120);
    effect(first, 1, leadChannel, 0x8, 0xA0);
    return song;
}

}  // namespace content::korvo
