// Writes 4-channel ProTracker modules ("M.K."): 31 sample slots, patterns of 64 rows, 8-bit
// signed samples. Used by tests and by the sample-content generators for the programs' music.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace content::module {

constexpr int channelCount = 4;
constexpr int rowsPerPattern = 64;
constexpr int maximumSamples = 31;
constexpr int maximumPatterns = 64;
constexpr int maximumOrders = 128;
constexpr size_t maximumSampleBytes = 131070;   // 65535 words

// One channel's entry on one row.
struct Cell {
    int period = 0;      // Amiga period of a new note (see periodOf), 0 for none; 0..4095
    int sample = 0;      // 1..31; 0 keeps the channel's sample
    int effect = 0;      // 0x0..0xF (0xF speed/tempo, 0xD pattern break, 0xC volume, ...)
    int parameter = 0;   // 0x00..0xFF
};

struct Pattern {
    std::array<std::array<Cell, channelCount>, rowsPerPattern> rows{};   // [row][channel]
};

struct Sample {
    std::string name;             // at most 22 characters
    std::vector<int8_t> data;     // an even number of bytes, at most maximumSampleBytes
    int volume = 64;              // 0..64
    int finetune = 0;             // -8..7
    size_t loopStart = 0;         // bytes, even
    size_t loopLength = 0;        // bytes, even; 0: plays once
};

struct Song {
    std::string title;            // at most 20 characters
    std::vector<Sample> samples;  // slot 1 is samples[0]; at most 31
    std::vector<Pattern> patterns;
    std::vector<int> order;       // pattern numbers in play order; 1..128 entries
};

// Amiga period of a note counted in semitones from C-1 (0) to B-3 (35), finetune 0;
// 0 outside that range.
int periodOf(int semitone);

// Frames per second at which a sample plays under `period` on a PAL machine.
double playbackRate(int period);

// One cycle of a sine of `length` samples and peak `amplitude` (1..127).
std::vector<int8_t> sineCycle(size_t length, int amplitude);

// The module file, or false with `error` naming what is out of range.
bool writeMod(const Song& song, std::vector<uint8_t>& file, std::string* error);

// A short, pleasant song for sample content: bass, lead and percussion over `patterns`
// patterns (1..8) at 125 beats a minute, speed 6 (64 rows last 7.68 s).
Song demoSong(int patterns);

// A song that holds one note of a looped sine (`cycleLength` samples a cycle) for `rows` rows
// (1..64) at speed 6, tempo 125 (0.12 s a row), then ends. The tone's frequency is
// playbackRate(period) / cycleLength.
Song toneSong(int period, size_t cycleLength, int rows);

}  // namespace content::module
