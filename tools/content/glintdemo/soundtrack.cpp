#include "soundtrack.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace content::glint {
namespace {

constexpr float sampleRate = float(soundtrackRate);
constexpr float twoPi = 6.28318530718f;

float noteHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

// Deterministic white noise in -1..1.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1u) {}
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return float(int32_t(state_)) * (1.0f / 2147483648.0f);
    }

private:
    uint32_t state_;
};

// A sawtooth with its jumps smoothed (polyBLEP), so high notes do not alias.
class Saw {
public:
    void setFrequency(float hz) { step_ = hz / sampleRate; }
    void setPhase(float phase) { phase_ = phase; }
    float next() {
        float value = 2.0f * phase_ - 1.0f;
        if (phase_ < step_) {
            float t = phase_ / step_;
            value -= t + t - t * t - 1.0f;
        } else if (phase_ > 1.0f - step_) {
            float t = (phase_ - 1.0f) / step_;
            value -= t * t + t + t + 1.0f;
        }
        phase_ += step_;
        if (phase_ >= 1.0f) phase_ -= 1.0f;
        return value;
    }

private:
    float phase_ = 0, step_ = 0;
};

// Two-pole state-variable filter (trapezoidal form): low, band and high outputs at once.
class Filter {
public:
    void set(float cutoffHz, float resonance) {
        float g = std::tan(3.14159265f * std::clamp(cutoffHz, 20.0f, sampleRate * 0.45f) / sampleRate);
        k_ = 1.0f / resonance;
        a1_ = 1.0f / (1.0f + g * (g + k_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }
    void process(float in) {
        float v3 = in - ic2_;
        float v1 = a1_ * ic1_ + a2_ * v3;
        float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0f * v1 - ic1_;
        ic2_ = 2.0f * v2 - ic2_;
        low = v2;
        band = v1;
        high = in - k_ * v1 - v2;
    }
    float low = 0, band = 0, high = 0;

private:
    float k_ = 1, a1_ = 0, a2_ = 0, a3_ = 0, ic1_ = 0, ic2_ = 0;
};

// Left and right gains of a mono sound placed at `position` (-1 left .. 1 right), keeping
// its power constant.
struct Pan {
    explicit Pan(float position = 0.0f) {
        float angle = (position + 1.0f) * 0.25f * 3.14159265f;
        left = std::cos(angle);
        right = std::sin(angle);
    }
    float left, right;
};

// A stereo bus of float samples.
struct Bus {
    explicit Bus(size_t frames) : left(frames), right(frames) {}
    size_t frames() const { return left.size(); }
    void add(size_t frame, float value, Pan pan) {
        if (frame >= left.size()) return;
        left[frame] += value * pan.left;
        right[frame] += value * pan.right;
    }
    std::vector<float> left, right;
};

// sin(2 pi x) from a table with linear interpolation: the voices need millions of them.
float sine(float turns) {
    static const std::vector<float> table = [] {
        std::vector<float> t(4097);
        for (size_t i = 0; i < t.size(); ++i) t[i] = float(std::sin(double(i) / 4096.0 * 6.283185307179586));
        return t;
    }();
    float position = (turns - std::floor(turns)) * 4096.0f;
    size_t i = std::min<size_t>(size_t(position), 4095);
    float fraction = position - float(i);
    return table[i] + (table[i + 1] - table[i]) * fraction;
}

// The factor by which an exponential decay of time constant `seconds` shrinks each sample.
float decayPerSample(float seconds) { return std::exp(-1.0f / (seconds * sampleRate)); }

// A phase in turns that advances by a frequency each sample.
struct Phase {
    float turns = 0;
    float advance(float hz) {
        float now = turns;
        turns += hz / sampleRate;
        turns -= std::floor(turns);
        return now;
    }
};

size_t frameAt(float seconds) { return size_t(std::max(0.0f, seconds) * sampleRate + 0.5f); }

// ---- The chord plan ----------------------------------------------------------------------

struct Chord {
    std::array<int, 4> notes;   // MIDI notes of the pad, low to high
    int bass;                   // MIDI note of the bass root
};

const Chord Dm{{50, 57, 62, 65}, 38}, Dm9{{50, 57, 64, 65}, 38}, Bb{{46, 53, 58, 62}, 34},
    Bbmaj7{{46, 53, 57, 62}, 34}, F{{53, 57, 60, 65}, 41}, Fmaj7{{53, 57, 60, 64}, 41}, C{{48, 55, 60, 64}, 36},
    Csus2{{48, 55, 60, 62}, 36}, Gm{{50, 55, 58, 62}, 43}, A{{49, 52, 57, 64}, 33}, Dmaj9{{50, 57, 64, 66}, 38};

struct ChordSpan {
    float start, end;
    Chord chord;
};

// The show's sections: a quiet opening whose backgrounds change on three booms, a driving
// first half, tubes and bells, a breathless break, a build on rising hits, the climax, and a
// closing in D major.
std::vector<ChordSpan> chordPlan() {
    std::vector<ChordSpan> plan;
    auto even = [&](float start, float end, std::initializer_list<Chord> chords) {
        float length = (end - start) / float(chords.size());
        int i = 0;
        for (const Chord& chord : chords) {
            plan.push_back({start + length * float(i), start + length * float(i + 1), chord});
            ++i;
        }
    };
    even(0.0f, 19.0f, {Dm9});
    even(19.0f, 31.5f, {Bbmaj7});
    even(31.5f, 44.0f, {Fmaj7});
    even(44.0f, 56.0f, {Csus2, A});
    even(56.0f, 82.0f, {Dm, Dm, Bb, C, Dm, F, Gm, A});
    even(82.0f, 122.0f, {Dm, Bb, F, C, Dm, Bb, Gm, A});
    even(122.0f, 157.0f, {Gm, Dm, Bb, A, Gm, Dm, Bb, A});
    even(157.0f, 182.0f, {Dm9, Bbmaj7, Gm, A, A});
    even(182.0f, 223.0f, {Dm, F, C, Bb, Dm, F, Gm, A});
    even(223.0f, 233.0f, {Bbmaj7, A});
    even(233.0f, 262.0f, {Dmaj9});
    return plan;
}

const Chord& chordAt(const std::vector<ChordSpan>& plan, float t) {
    for (const ChordSpan& span : plan)
        if (t < span.end) return span.chord;
    return plan.back().chord;
}

// ---- How loud each layer is over the show -----------------------------------------------

struct Level {
    float time, value;
};

float levelAt(std::initializer_list<Level> levels, float t) {
    const Level* previous = levels.begin();
    if (t <= previous->time) return previous->value;
    for (const Level* level = levels.begin() + 1; level != levels.end(); ++level) {
        if (t <= level->time)
            return previous->value + (level->value - previous->value) * (t - previous->time) / (level->time - previous->time);
        previous = level;
    }
    return previous->value;
}

float padLevel(float t) {
    return levelAt({{0, 0}, {6, 0.55f}, {56, 0.6f}, {57, 0.45f}, {157, 0.45f}, {159, 0.7f}, {181, 0.75f},
                    {182, 0.5f}, {233, 0.5f}, {236, 0.8f}, {252, 0.6f}, {259, 0}},
                   t);
}
float padCutoff(float t) {
    return levelAt({{0, 350}, {19, 700}, {56, 1800}, {82, 1400}, {122, 2200}, {157, 500}, {178, 2600}, {182, 2400},
                    {233, 1600}, {259, 500}},
                   t);
}
float droneLevel(float t) { return levelAt({{0, 0}, {4, 0.5f}, {56, 0.35f}, {58, 0}, {157, 0}, {160, 0.5f}, {182, 0}, {233, 0}, {236, 0.4f}, {259, 0}}, t); }
float windLevel(float t) { return levelAt({{0, 0.25f}, {19, 0.12f}, {56, 0}, {157, 0}, {160, 0.2f}, {178, 0.1f}, {182, 0}, {233, 0}, {240, 0.15f}, {259, 0}}, t); }
float riserLevel(float t) { return levelAt({{166, 0}, {181.9f, 0.9f}, {182.3f, 0}}, t); }

// ---- The rhythmic grid --------------------------------------------------------------------

// Steps for arpeggios and hats. In the grooving sections they divide the gap between two
// accents into even steps of about 0.15 s, so the pulse follows the accents' own tempo;
// elsewhere they run freely at `freeStep`.
std::vector<float> rhythmGrid(const std::vector<Accent>& accents, float from, float to, float freeStep) {
    std::vector<float> steps;
    float t = from;
    for (size_t i = 0; i + 1 < accents.size() && t < to; ++i) {
        float a = accents[i].time, b = accents[i + 1].time;
        if (b <= t) continue;
        if (a < t) a = t;
        float gap = b - a;
        if (gap <= 1.6f) {
            int count = std::max(1, int(std::lround(gap / 0.15f)));
            for (int k = 0; k < count; ++k) steps.push_back(a + gap * float(k) / float(count));
        } else {
            for (float s = a; s < b - freeStep * 0.5f; s += freeStep) steps.push_back(s);
        }
        t = b;
    }
    for (; t < to; t += freeStep) steps.push_back(t);
    steps.erase(std::remove_if(steps.begin(), steps.end(), [&](float s) { return s < from || s >= to; }), steps.end());
    return steps;
}

// ---- Voices -------------------------------------------------------------------------------

// The pad: two detuned saws a note, faded in and out at the chord's ends, through one
// filter per side whose cutoff follows the section.
void renderPad(const std::vector<ChordSpan>& plan, Bus& bus) {
    Bus dry(bus.frames());
    constexpr float fadeIn = 1.2f, fadeOut = 1.5f;
    for (const ChordSpan& span : plan) {
        size_t first = frameAt(span.start), end = frameAt(span.end), last = std::min(dry.frames(), frameAt(span.end + fadeOut));
        const float rise = 1.0f / (fadeIn * sampleRate), fall = 1.0f / (fadeOut * sampleRate);
        for (int n = 0; n < 4; ++n) {
            for (int detune = -1; detune <= 1; detune += 2) {
                Saw saw;
                saw.setFrequency(noteHz(float(span.chord.notes[size_t(n)]) + 0.07f * float(detune)));
                saw.setPhase(0.37f * float(n) + 0.21f * float(detune + 1));
                const Pan pan((n % 2 ? 0.5f : -0.5f) * float(detune));
                float envelope = 0;
                for (size_t f = first; f < last; ++f) {
                    envelope = f < end ? std::min(1.0f, envelope + rise) : std::max(0.0f, envelope - fall);
                    dry.add(f, saw.next() * envelope * 0.08f, pan);
                }
            }
        }
    }
    Filter left, right;
    float level = 0;
    for (size_t f = 0; f < bus.frames(); ++f) {
        if (f % 64 == 0) {
            float t = float(f) / sampleRate;
            float cutoff = padCutoff(t) * (1.0f + 0.25f * std::sin(t * 0.7f));
            left.set(cutoff, 0.9f);
            right.set(cutoff * 1.05f, 0.9f);
            level = padLevel(t);
        }
        left.process(dry.left[f]);
        right.process(dry.right[f]);
        bus.left[f] += left.low * level;
        bus.right[f] += right.low * level;
    }
}

// A low drone on the chord's root and fifth, and wind: noise through a slowly sweeping band.
void renderAmbience(const std::vector<ChordSpan>& plan, Bus& bus) {
    Noise noise(77);
    Filter wind;
    Phase root, fifth;
    float drone = 0, air = 0, rootHz = 0, fifthHz = 0, breathing = 0, gustLevel = 0;
    Pan gustPan;
    const Pan centre;
    for (size_t f = 0; f < bus.frames(); ++f) {
        if (f % 64 == 0) {
            float t = float(f) / sampleRate;
            drone = droneLevel(t);
            air = windLevel(t);
            wind.set(700.0f + 400.0f * std::sin(t * 0.31f) + 250.0f * std::sin(t * 0.13f), 2.0f);
            float note = float(chordAt(plan, t).bass);
            rootHz = noteHz(note);
            fifthHz = noteHz(note + 7.0f);
            breathing = 0.75f + 0.25f * std::sin(t * 0.5f);
            gustLevel = air * 0.5f * (0.6f + 0.4f * std::sin(t * 0.23f + 1.0f));
            gustPan = Pan(std::sin(t * 0.2f) * 0.7f);
        }
        wind.process(noise.next());
        float tone = (sine(root.advance(rootHz)) + 0.4f * sine(fifth.advance(fifthHz))) * drone * 0.22f * breathing;
        bus.add(f, tone, centre);
        bus.add(f, wind.band * gustLevel, gustPan);
    }
}

// Bass notes: a saw through a filter that closes after each attack.
void bassNote(Bus& bus, float start, float length, float note, float level) {
    Saw low, high;
    low.setFrequency(noteHz(note));
    high.setFrequency(noteHz(note) * 1.005f);
    Filter filter;
    const Pan centre;
    const float closing = decayPerSample(0.09f), attack = 1.0f / (0.004f * sampleRate), release = 1.0f / (0.05f * sampleRate);
    float opening = 1.0f, envelope = 0;
    size_t first = frameAt(start), end = frameAt(start + length), last = std::min(bus.frames(), frameAt(start + length + 0.05f));
    for (size_t f = first; f < last; ++f) {
        if ((f - first) % 32 == 0) filter.set(120.0f + 900.0f * opening, 1.2f);
        opening *= closing;
        filter.process(low.next() + 0.6f * high.next());
        envelope = f < end ? std::min(1.0f, envelope + attack) : std::max(0.0f, envelope - release);
        bus.add(f, filter.low * envelope * level, centre);
    }
}

// A struck FM tone into one or two buses: a sine modulated at `ratio` times its frequency by
// `depth` radians, the modulation dying faster (`brightness` of the decay) than the tone.
// With ratio 2 it is a pluck; with an inharmonic ratio and a second partial, a bell.
struct Strike {
    float note, level, decay, ratio, depth, brightness, partial;
};

void strike(Bus& bus, Bus* send, float sendLevel, float start, const Strike& s, Pan pan) {
    const float hz = noteHz(s.note);
    Phase carrier, modulator, overtone;
    const float toneDecay = decayPerSample(s.decay), modulationDecay = decayPerSample(s.decay * s.brightness),
                overtoneDecay = decayPerSample(s.decay * 0.4f), attack = 1.0f / (0.0015f * sampleRate);
    float tone = 1.0f, modulation = s.depth / 6.2831853f, upper = s.partial, onset = 0;
    size_t first = frameAt(start), last = std::min(bus.frames(), frameAt(start + s.decay * 5.0f));
    for (size_t f = first; f < last; ++f) {
        float value = sine(carrier.advance(hz) + modulation * sine(modulator.advance(hz * s.ratio)));
        if (upper > 0) value += upper * sine(overtone.advance(hz * 2.01f));
        onset = std::min(1.0f, onset + attack);
        value *= tone * onset * s.level;
        bus.add(f, value, pan);
        if (send) send->add(f, value * sendLevel, Pan(0.0f));
        tone *= toneDecay;
        modulation *= modulationDecay;
        upper *= overtoneDecay;
    }
}

void pluck(Bus& bus, float start, float note, float level, Pan pan, float decay) {
    strike(bus, nullptr, 0, start, {note, level, decay, 2.0f, 2.2f, 0.5f, 0.0f}, pan);
}

void bell(Bus& bus, Bus* send, float start, float note, float level, Pan pan, float decay) {
    strike(bus, send, 0.6f, start, {note, level, decay, 3.5f, 3.5f, 0.35f, 0.3f}, pan);
}

void hat(Bus& bus, Noise& noise, float start, float level, float decay, Pan pan) {
    Filter filter;
    filter.set(7500.0f, 0.8f);
    const float fading = decayPerSample(decay);
    float envelope = level;
    size_t first = frameAt(start), last = std::min(bus.frames(), frameAt(start + decay * 6.0f));
    for (size_t f = first; f < last; ++f) {
        filter.process(noise.next());
        bus.add(f, filter.high * envelope, pan);
        envelope *= fading;
    }
}

// Kind 0. A short punchy kick; alone (nothing for seconds before it), a deep boom with a
// rumbling tail.
void kick(Bus& bus, Bus& send, Noise& noise, float start, bool alone) {
    const float base = alone ? 38.0f : 48.0f, sendLevel = alone ? 0.6f : 0.08f;
    const float bodyDecay = decayPerSample(alone ? 1.1f : 0.24f), sweepDecay = decayPerSample(alone ? 0.06f : 0.035f),
                clickDecay = decayPerSample(0.002f), tailDecay = decayPerSample(1.2f);
    const Pan centre;
    Filter rumble;
    rumble.set(140.0f, 0.7f);
    Phase phase;
    float body = 1.0f, sweep = 1.0f, click = 0.35f, tail = alone ? 1.5f : 0.0f, onset = 0;
    size_t first = frameAt(start), last = std::min(bus.frames(), frameAt(start + (alone ? 4.0f : 0.9f)));
    for (size_t f = first; f < last; ++f) {
        onset = std::min(1.0f, onset + 1.0f / (0.001f * sampleRate));
        float value = sine(phase.advance(base + 120.0f * sweep)) * body * onset;
        rumble.process(noise.next());
        float rumbling = rumble.low * tail;
        bus.add(f, value * 0.95f + noise.next() * click + rumbling, centre);
        send.add(f, (value * 0.3f + rumbling) * sendLevel, centre);
        body *= bodyDecay;
        sweep *= sweepDecay;
        click *= clickDecay;
        tail *= tailDecay;
    }
}

// Kind 1. A dark swell: low saws and rumbling noise that grow for 0.2 s and then stop, as the
// picture darkens and snaps back.
void swell(Bus& bus, Bus& send, Noise& noise, float start, float root) {
    Saw a, b;
    a.setFrequency(noteHz(root));
    b.setFrequency(noteHz(root + 12.0f) * 1.003f);
    Filter filter;
    const Pan centre;
    const float stop = decayPerSample(0.02f);
    float after = 1.0f;
    size_t first = frameAt(start), peak = frameAt(start + 0.2f), last = std::min(bus.frames(), frameAt(start + 0.32f));
    for (size_t f = first; f < last; ++f) {
        float rise = std::min(1.0f, float(f - first) / float(peak - first));
        if ((f - first) % 32 == 0) filter.set(150.0f + 900.0f * rise * rise, 1.5f);
        filter.process(a.next() + 0.7f * b.next() + 0.8f * noise.next());
        float envelope = f < peak ? rise * rise : (after *= stop);
        bus.add(f, filter.low * envelope * 0.8f, centre);
        send.add(f, filter.low * envelope * 0.2f, centre);
    }
}

// Kind 2. A snare: a band of noise and a short drum tone.
void snare(Bus& bus, Bus& send, Noise& noise, float start, Pan pan) {
    Filter band;
    band.set(2200.0f, 0.6f);
    Phase drum;
    const float rattleDecay = decayPerSample(0.085f), toneDecay = decayPerSample(0.04f);
    float rattle = 0.9f, tone = 0.5f, onset = 0;
    size_t first = frameAt(start), last = std::min(bus.frames(), frameAt(start + 0.6f));
    for (size_t f = first; f < last; ++f) {
        band.process(noise.next());
        onset = std::min(1.0f, onset + 1.0f / (0.0007f * sampleRate));
        float value = ((band.band + 0.3f * band.high) * rattle + sine(drum.advance(190.0f)) * tone) * onset;
        bus.add(f, value, pan);
        send.add(f, value * 0.35f, pan);
        rattle *= rattleDecay;
        tone *= toneDecay;
    }
}

// Kind 3. A bright zap: a falling whistle over a glittering tail.
void zap(Bus& bus, Bus& send, Noise& noise, float start) {
    Filter air;
    air.set(6000.0f, 0.7f);
    Phase phase;
    const Pan right(0.3f), left(-0.3f);
    const float sweepDecay = decayPerSample(0.05f), whistleDecay = decayPerSample(0.11f), glitterDecay = decayPerSample(0.18f);
    float sweep = 1.0f, whistle = 0.35f, glitter = 0.25f;
    size_t first = frameAt(start), last = std::min(bus.frames(), frameAt(start + 0.8f));
    for (size_t f = first; f < last; ++f) {
        air.process(noise.next());
        float value = sine(phase.advance(350.0f + 2600.0f * sweep)) * whistle + air.high * glitter;
        bus.add(f, value, right);
        send.add(f, value * 0.4f, left);
        sweep *= sweepDecay;
        whistle *= whistleDecay;
        glitter *= glitterDecay;
    }
}

// Kind 9. A crash: long, bright noise over a cluster of bells.
void crash(Bus& bus, Bus& send, Noise& noise, float start) {
    Filter bright;
    bright.set(4500.0f, 0.7f);
    const Pan left(-0.2f), right(0.2f);
    const float fading = decayPerSample(1.1f);
    float envelope = 0.9f, onset = 0;
    size_t first = frameAt(start), last = std::min(bus.frames(), frameAt(start + 5.0f));
    for (size_t f = first; f < last; ++f) {
        bright.process(noise.next());
        onset = std::min(1.0f, onset + 1.0f / (0.002f * sampleRate));
        float value = bright.high * envelope * onset;
        bus.add(f, value, left);
        send.add(f, value * 0.5f, right);
        envelope *= fading;
    }
    for (float note : {74.0f, 81.0f, 86.0f}) bell(bus, &send, start, note, 0.18f, Pan(), 0.9f);
}

// A simple stereo reverb: four feedback combs and two all-passes a side, of unequal lengths.
void reverb(const Bus& send, Bus& out, float level) {
    static constexpr std::array<int, 4> combsLeft{1557, 1617, 1491, 1422}, combsRight{1580, 1640, 1514, 1445};
    static constexpr std::array<int, 2> allpassLeft{556, 441}, allpassRight{579, 464};
    auto side = [&](const std::vector<float>& in, std::vector<float>& result, const std::array<int, 4>& combLengths,
                    const std::array<int, 2>& allpassLengths) {
        std::array<std::vector<float>, 4> combs;
        std::array<size_t, 4> combAt{};
        std::array<float, 4> damped{};
        for (size_t c = 0; c < 4; ++c) combs[c].assign(size_t(combLengths[c]) * 2, 0.0f);
        std::array<std::vector<float>, 2> allpasses;
        std::array<size_t, 2> allpassAt{};
        for (size_t a = 0; a < 2; ++a) allpasses[a].assign(size_t(allpassLengths[a]), 0.0f);
        for (size_t f = 0; f < in.size(); ++f) {
            float input = in[f] * 0.25f, sum = 0;
            for (size_t c = 0; c < 4; ++c) {
                std::vector<float>& line = combs[c];
                float delayed = line[combAt[c]];
                damped[c] = delayed * 0.65f + damped[c] * 0.35f;
                line[combAt[c]] = input + damped[c] * 0.86f;
                combAt[c] = (combAt[c] + 1) % line.size();
                sum += delayed;
            }
            for (size_t a = 0; a < 2; ++a) {
                std::vector<float>& line = allpasses[a];
                float delayed = line[allpassAt[a]];
                line[allpassAt[a]] = sum + delayed * 0.5f;
                sum = delayed - sum;
                allpassAt[a] = (allpassAt[a] + 1) % line.size();
            }
            result[f] += sum * level;
        }
    };
    side(send.left, out.left, combsLeft, allpassLeft);
    side(send.right, out.right, combsRight, allpassRight);
}

// A ping-pong echo of three sixteenths at the opening's pace.
void echo(Bus& bus, float delaySeconds, float feedback) {
    size_t delay = frameAt(delaySeconds);
    for (size_t f = delay; f < bus.frames(); ++f) {
        float fromLeft = bus.left[f - delay], fromRight = bus.right[f - delay];
        bus.left[f] += fromRight * feedback;
        bus.right[f] += fromLeft * feedback;
    }
}

bool inGroove(float t) { return (t >= 56.0f && t < 157.0f) || (t >= 182.0f && t < 233.0f); }

}  // namespace

mp3::Pcm composeSoundtrack(const std::vector<Accent>& accentList) {
    std::vector<Accent> accents = accentList;
    std::stable_sort(accents.begin(), accents.end(), [](const Accent& a, const Accent& b) { return a.time < b.time; });
    const size_t frames = size_t(std::llround(soundtrackSeconds * soundtrackRate));
    const std::vector<ChordSpan> plan = chordPlan();
    // The dry mix, the arpeggios (which get an echo of their own) and the reverb's input.
    Bus music(frames);
    renderPad(plan, music);
    renderAmbience(plan, music);
    Bus arpeggios(frames), send(frames);
    Bus& hits = music;
    Noise noise(2024);

    // Ringing bells over the opening and the closing, on the chord's own notes.
    const float openingBells[] = {5.0f, 7.7f, 10.4f, 13.1f, 15.8f, 22.0f, 26.0f, 34.5f, 38.5f, 47.0f, 51.0f};
    int bellIndex = 0;
    auto ringingBell = [&](float t, float level, float decay) {
        float note = float(chordAt(plan, t).notes[size_t(bellIndex % 4)] + 24);
        bell(arpeggios, nullptr, t, note, level, Pan(bellIndex % 2 ? 0.6f : -0.6f), decay);
        ++bellIndex;
    };
    for (float t : openingBells) ringingBell(t, 0.09f, 1.2f);
    for (float t = 236.0f; t < 255.0f; t += 2.4f) ringingBell(t, 0.08f, 1.5f);

    // Arpeggios and hats on the grid: slow and free in the opening, on the accents' pulse in
    // the grooving sections, rising through the break.
    std::vector<float> grid = rhythmGrid(accents, 31.5f, 233.0f, 0.3f);
    static const int pattern[] = {0, 1, 2, 3, 2, 1, 3, 2};
    int step = 0;
    for (float t : grid) {
        const Chord& chord = chordAt(plan, t);
        bool groove = inGroove(t);
        bool brk = t >= 157.0f && t < 182.0f;
        int octave = t >= 182.0f ? 24 : 12;
        float note = float(chord.notes[size_t(pattern[step % 8])] + octave);
        float level = groove ? 0.11f : brk ? 0.03f + 0.06f * (t - 157.0f) / 25.0f : 0.06f;
        if (!brk || step % 2 == 0) pluck(arpeggios, t, note, level, Pan(step % 2 ? 0.45f : -0.45f), groove ? 0.12f : 0.3f);
        if (groove && (t < 82.0f || t >= 122.0f || step % 2 == 0)) hat(hits, noise, t, step % 2 ? 0.05f : 0.09f, step % 4 ? 0.025f : 0.05f, Pan(step % 2 ? 0.35f : -0.2f));
        ++step;
    }

    // Bass: long notes on the chords of the opening and the break, and a note on every
    // kick and snare of the grooving sections.
    for (const ChordSpan& span : plan) {
        bool sustained = (span.start >= 44.0f && span.start < 56.0f) || (span.start >= 157.0f && span.start < 182.0f) || span.start >= 233.0f;
        if (sustained) bassNote(music, span.start, std::min(span.end, 258.0f) - span.start, float(span.chord.bass), 0.22f);
    }
    for (size_t i = 0; i < accents.size(); ++i) {
        float t = accents[i].time;
        int kind = accents[i].kind;
        if (!inGroove(t) || (kind != 0 && kind != 2)) continue;
        float next = i + 1 < accents.size() ? accents[i + 1].time : t + 0.5f;
        float length = std::clamp(next - t - 0.02f, 0.08f, 0.45f);
        const Chord& chord = chordAt(plan, t);
        float note = float(chord.bass + (kind == 2 ? 12 : 0));
        bassNote(music, t, length, note, 0.3f);
    }

    // The riser into the climax: noise through a band that climbs for sixteen seconds.
    {
        Filter band;
        size_t first = frameAt(166.0f), last = std::min(frames, frameAt(182.4f));
        float level = 0;
        Pan pan;
        for (size_t f = first; f < last; ++f) {
            if ((f - first) % 64 == 0) {
                float t = float(f) / sampleRate;
                band.set(250.0f * std::pow(2.0f, (t - 166.0f) / 3.2f), 3.0f);
                level = riserLevel(t) * 0.35f;
                pan = Pan(std::sin(t * 3.0f) * 0.5f);
            }
            band.process(noise.next());
            hits.add(f, band.band * level, pan);
        }
    }

    // One sound on every accent.
    static const float bellNotes[10] = {0, 0, 0, 0, 81, 86, 77, 84, 81, 0};
    int risingIndex = 0;
    float previous = -10.0f;
    for (const Accent& accent : accents) {
        const float t = accent.time;
        const Chord& chord = chordAt(plan, t);
        switch (accent.kind) {
        case 0: kick(hits, send, noise, t, t - previous > 3.0f); break;
        case 1: swell(hits, send, noise, t, float(chord.bass)); break;
        case 2: snare(hits, send, noise, t, Pan(0.1f)); break;
        case 3: zap(hits, send, noise, t); break;
        case 8:
            // The run of hits before the climax climbs a semitone at a time.
            bell(hits, &send, t, t > 178.0f && t < 182.3f ? 69.0f + float(risingIndex++) : bellNotes[8], 0.7f, Pan(0.2f), 0.35f);
            break;
        case 9: crash(hits, send, noise, t); break;
        default:
            bell(hits, &send, t, bellNotes[accent.kind], 0.7f, Pan(accent.kind % 2 ? -0.35f : 0.35f), 0.25f);
            break;
        }
        previous = t;
    }

    echo(arpeggios, 0.45f, 0.35f);
    for (size_t f = 0; f < frames; ++f) {
        send.left[f] += arpeggios.left[f] * 0.4f;
        send.right[f] += arpeggios.right[f] * 0.4f;
    }
    Bus& mix = music;
    reverb(send, mix, 0.9f);
    for (size_t f = 0; f < frames; ++f) {
        mix.left[f] += arpeggios.left[f];
        mix.right[f] += arpeggios.right[f];
    }

    // Master: a gentle limiter (tanh), then scaled to just below full scale, faded at the end.
    float peak = 1e-6f;
    for (size_t f = 0; f < frames; ++f) {
        mix.left[f] = std::tanh(mix.left[f] * 1.2f);
        mix.right[f] = std::tanh(mix.right[f] * 1.2f);
        peak = std::max(peak, std::max(std::abs(mix.left[f]), std::abs(mix.right[f])));
    }
    mp3::Pcm pcm;
    pcm.rate = soundtrackRate;
    pcm.channels = 2;
    pcm.samples.resize(frames * 2);
    const float scale = 0.89f / peak * 32767.0f;
    for (size_t f = 0; f < frames; ++f) {
        float t = float(f) / sampleRate;
        float fade = t > 255.0f ? std::max(0.0f, (260.0f - t) / 5.0f) : 1.0f;
        pcm.samples[f * 2] = int16_t(std::lround(mix.left[f] * scale * fade));
        pcm.samples[f * 2 + 1] = int16_t(std::lround(mix.right[f] * scale * fade));
    }
    return pcm;
}

}  // namespace content::glint
