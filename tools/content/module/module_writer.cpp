#include "module_writer.h"

#include <cmath>
#include <cstring>

namespace content::module {
namespace {

constexpr int periods[36] = {
    856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,   // C-1 .. B-1
    428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,   // C-2 .. B-2
    214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113,   // C-3 .. B-3
};
constexpr double palClock = 7093789.2;

void putText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i) out.push_back(i < text.size() ? uint8_t(text[i]) : 0);
}
void put16be(std::vector<uint8_t>& out, unsigned value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

bool check(bool ok, const std::string& what, std::string* error) {
    if (!ok) *error = what;
    return ok;
}

bool checkSample(const Sample& s, int slot, std::string* error) {
    std::string at = "sample " + std::to_string(slot) + ": ";
    return check(s.name.size() <= 22, at + "name longer than 22 characters", error) &&
           check(s.data.size() % 2 == 0, at + "odd number of bytes", error) &&
           check(s.data.size() <= maximumSampleBytes, at + "longer than 131070 bytes", error) &&
           check(s.volume >= 0 && s.volume <= 64, at + "volume outside 0..64", error) &&
           check(s.finetune >= -8 && s.finetune <= 7, at + "finetune outside -8..7", error) &&
           check(s.loopStart % 2 == 0 && s.loopLength % 2 == 0, at + "odd loop start or length", error) &&
           check(s.loopLength == 0 || s.loopStart + s.loopLength <= s.data.size(), at + "loop past the end", error);
}

bool checkCell(const Cell& c, int pattern, int row, int channel, size_t samples, std::string* error) {
    std::string at = "pattern " + std::to_string(pattern) + " row " + std::to_string(row) + " channel " +
                     std::to_string(channel) + ": ";
    return check(c.period >= 0 && c.period <= 0xFFF, at + "period outside 0..4095", error) &&
           check(c.sample >= 0 && size_t(c.sample) <= samples, at + "no such sample", error) &&
           check(c.effect >= 0 && c.effect <= 0xF, at + "effect outside 0..15", error) &&
           check(c.parameter >= 0 && c.parameter <= 0xFF, at + "parameter outside 0..255", error);
}

}  // namespace

int periodOf(int semitone) { return semitone >= 0 && semitone < 36 ? periods[semitone] : 0; }

double playbackRate(int period) { return period > 0 ? palClock / (2.0 * period) : 0.0; }

std::vector<int8_t> sineCycle(size_t length, int amplitude) {
    std::vector<int8_t> cycle(length);
    for (size_t i = 0; i < length; ++i)
        cycle[i] = int8_t(std::lround(amplitude * std::sin(2.0 * M_PI * double(i) / double(length))));
    return cycle;
}

bool writeMod(const Song& song, std::vector<uint8_t>& file, std::string* error) {
    if (!check(song.title.size() <= 20, "title longer than 20 characters", error) ||
        !check(song.samples.size() <= maximumSamples, "more than 31 samples", error) ||
        !check(!song.patterns.empty() && song.patterns.size() <= maximumPatterns, "pattern count outside 1..64", error) ||
        !check(!song.order.empty() && song.order.size() <= maximumOrders, "order length outside 1..128", error))
        return false;
    for (size_t i = 0; i < song.samples.size(); ++i)
        if (!checkSample(song.samples[i], int(i + 1), error)) return false;
    for (size_t i = 0; i < song.order.size(); ++i)
        if (!check(song.order[i] >= 0 && size_t(song.order[i]) < song.patterns.size(),
                   "order " + std::to_string(i) + ": no such pattern", error))
            return false;
    for (size_t p = 0; p < song.patterns.size(); ++p)
        for (int row = 0; row < rowsPerPattern; ++row)
            for (int channel = 0; channel < channelCount; ++channel)
                if (!checkCell(song.patterns[p].rows[row][channel], int(p), row, channel, song.samples.size(), error))
                    return false;

    file.clear();
    putText(file, song.title, 20);
    for (int slot = 0; slot < maximumSamples; ++slot) {
        Sample none;
        const Sample& s = size_t(slot) < song.samples.size() ? song.samples[slot] : none;
        putText(file, s.name, 22);
        put16be(file, unsigned(s.data.size() / 2));
        file.push_back(uint8_t(s.finetune & 0x0F));
        file.push_back(uint8_t(s.volume));
        put16be(file, unsigned(s.loopLength ? s.loopStart / 2 : 0));
        put16be(file, unsigned(s.loopLength ? s.loopLength / 2 : 1));   // 1 word: no loop
    }
    file.push_back(uint8_t(song.order.size()));
    file.push_back(127);   // restart byte, unused by ProTracker
    for (int i = 0; i < maximumOrders; ++i)
        file.push_back(size_t(i) < song.order.size() ? uint8_t(song.order[i]) : 0);
    putText(file, "M.K.", 4);
    for (const Pattern& pattern : song.patterns)
        for (const auto& row : pattern.rows)
            for (const Cell& c : row) {
                file.push_back(uint8_t((c.sample & 0xF0) | (c.period >> 8)));
                file.push_back(uint8_t(c.period & 0xFF));
                file.push_back(uint8_t(((c.sample & 0x0F) << 4) | c.effect));
                file.push_back(uint8_t(c.parameter));
            }
    for (const Sample& s : song.samples)
        for (int8_t v : s.data) file.push_back(uint8_t(v));
    return true;
}

Song toneSong(int period, size_t cycleLength, int rows) {
    Song song;
    song.title = "tone";
    Sample tone;
    tone.name = "sine";
    // Enough whole cycles for a loop of even length.
    std::vector<int8_t> cycle = sineCycle(cycleLength, 100);
    for (size_t i = 0; i < (cycleLength % 2 ? 2u : 1u); ++i) tone.data.insert(tone.data.end(), cycle.begin(), cycle.end());
    tone.loopStart = 0;
    tone.loopLength = tone.data.size();
    song.samples.push_back(tone);
    Pattern pattern;
    pattern.rows[0][0] = {period, 1, 0xF, 6};   // speed 6, tempo stays 125
    pattern.rows[0][1] = {period, 1, 0, 0};
    if (rows < rowsPerPattern) pattern.rows[rows - 1][2] = {0, 0, 0xD, 0};   // break: ends the song
    song.patterns.push_back(pattern);
    song.order = {0};
    return song;
}

Song demoSong(int patterns) {
    Song song;
    song.title = "generated demo tune";
    Sample bass, lead, hat;
    bass.name = "square bass";
    for (int i = 0; i < 64; ++i) bass.data.push_back(int8_t(i < 32 ? 70 : -70));
    bass.loopLength = bass.data.size();
    bass.volume = 48;
    lead.name = "sine lead";
    lead.data = sineCycle(32, 110);
    lead.loopLength = lead.data.size();
    lead.volume = 40;
    hat.name = "noise hat";
    uint32_t seed = 1;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 214013 + 2531011;
        int decay = 100 - i / 20;
        hat.data.push_back(int8_t((int((seed >> 16) & 0xFF) - 128) * decay / 100));
    }
    hat.volume = 32;
    song.samples = {bass, lead, hat};

    // Chord roots of the progression, one per pattern half, in semitones from C-1.
    const int roots[8] = {0, 5, 7, 3, 0, 8, 10, 7};
    const int melody[16] = {12, 16, 19, 16, 24, 19, 16, 12, 14, 17, 21, 17, 26, 21, 17, 14};
    patterns = patterns < 1 ? 1 : patterns > 8 ? 8 : patterns;
    for (int p = 0; p < patterns; ++p) {
        Pattern pattern;
        for (int row = 0; row < rowsPerPattern; ++row) {
            int root = roots[(p * 2 + row / 32) % 8];
            auto& cells = pattern.rows[row];
            if (row % 4 == 0) cells[0] = {periodOf(root + (row % 8 == 4 ? 12 : 0)), 1, 0, 0};
            if (row % 4 == 2) cells[1] = {periodOf(std::min(35, root + melody[(row / 4 + p) % 16] % 24)), 2, 0, 0};
            if (row % 2 == 0) cells[2] = {periodOf(30), 3, 0xC, row % 8 == 0 ? 0x30 : 0x18};
        }
        if (p == 0) pattern.rows[0][3] = {0, 0, 0xF, 6};
        song.patterns.push_back(pattern);
        song.order.push_back(p);
    }
    return song;
}

}  // namespace content::module
