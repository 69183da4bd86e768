// The module writer: what it writes reads back through libopenmpt as the song it describes,
// and songs it cannot write are refused with the reason.
#include <libopenmpt/libopenmpt.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "module_writer.h"

namespace {

using namespace content::module;

struct ModuleDeleter {
    void operator()(openmpt_module* module) const { openmpt_module_destroy(module); }
};
using Module = std::unique_ptr<openmpt_module, ModuleDeleter>;

Module load(const std::vector<uint8_t>& file) {
    return Module(openmpt_module_create_from_memory2(file.data(), file.size(), openmpt_log_func_silent, nullptr,
                                                     nullptr, nullptr, nullptr, nullptr, nullptr));
}

std::string metadata(openmpt_module* module, const char* key) {
    const char* value = openmpt_module_get_metadata(module, key);
    std::string text = value ? value : "";
    openmpt_free_string(value);
    return text;
}

TEST(ModuleWriter, DemoSongReadsBackWithItsStructure) {
    Song song = demoSong(3);
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(writeMod(song, file, &error)) << error;
    size_t sampleBytes = 0;
    for (const Sample& s : song.samples) sampleBytes += s.data.size();
    EXPECT_EQ(file.size(), 1084 + 3 * 1024 + sampleBytes);

    Module module = load(file);
    ASSERT_TRUE(module);
    EXPECT_EQ(metadata(module.get(), "type"), "mod");
    EXPECT_EQ(metadata(module.get(), "title"), song.title);
    EXPECT_EQ(openmpt_module_get_num_channels(module.get()), 4);
    EXPECT_EQ(openmpt_module_get_num_orders(module.get()), 3);
    EXPECT_EQ(openmpt_module_get_num_patterns(module.get()), 3);
    EXPECT_EQ(openmpt_module_get_num_samples(module.get()), 31) << "a MOD always has 31 sample slots";
    for (int slot = 0; slot < 4; ++slot) {
        const char* name = openmpt_module_get_sample_name(module.get(), slot);
        EXPECT_EQ(std::string(name), slot < 3 ? song.samples[size_t(slot)].name : "") << "slot " << slot;
        openmpt_free_string(name);
    }
    EXPECT_NEAR(openmpt_module_get_duration_seconds(module.get()), 3 * 7.68, 0.01);
}

TEST(ModuleWriter, ToneSongLastsItsRows) {
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(writeMod(toneSong(periodOf(0), 33, 10), file, &error)) << error;   // odd cycle: doubled
    Module module = load(file);
    ASSERT_TRUE(module);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(module.get()), 10 * 0.12, 0.01);
}

TEST(ModuleWriter, NotesAndPitches) {
    EXPECT_EQ(periodOf(0), 856);    // C-1
    EXPECT_EQ(periodOf(12), 428);   // C-2
    EXPECT_EQ(periodOf(35), 113);   // B-3
    EXPECT_EQ(periodOf(36), 0);
    EXPECT_EQ(periodOf(-1), 0);
    EXPECT_NEAR(playbackRate(428), 8287.1, 0.1);
}

TEST(ModuleWriter, RefusesWhatTheFormatCannotHold) {
    struct Case {
        const char* expected;
        std::function<void(Song&)> breakIt;
    } cases[] = {
        {"title longer than 20", [](Song& s) { s.title = std::string(21, 'x'); }},
        {"more than 31 samples", [](Song& s) { s.samples.resize(32); }},
        {"pattern count", [](Song& s) { s.patterns.clear(); }},
        {"pattern count", [](Song& s) { s.patterns.resize(65); }},
        {"order length", [](Song& s) { s.order.clear(); }},
        {"order length", [](Song& s) { s.order.assign(129, 0); }},
        {"order 1: no such pattern", [](Song& s) { s.order.push_back(5); }},
        {"sample 1: odd number of bytes", [](Song& s) { s.samples[0].data.push_back(0); }},
        {"sample 2: volume", [](Song& s) { s.samples[1].volume = 65; }},
        {"sample 3: finetune", [](Song& s) { s.samples[2].finetune = 8; }},
        {"sample 1: longer than", [](Song& s) { s.samples[0].data.resize(maximumSampleBytes + 2); }},
        {"sample 1: loop past the end", [](Song& s) { s.samples[0].loopStart = 2; }},
        {"sample 1: name longer", [](Song& s) { s.samples[0].name = std::string(23, 'n'); }},
        {"pattern 0 row 3 channel 2: period", [](Song& s) { s.patterns[0].rows[3][2].period = 4096; }},
        {"pattern 0 row 3 channel 2: no such sample", [](Song& s) { s.patterns[0].rows[3][2].sample = 4; }},
        {"pattern 0 row 0 channel 0: effect", [](Song& s) { s.patterns[0].rows[0][0].effect = 16; }},
        {"pattern 0 row 0 channel 0: parameter", [](Song& s) { s.patterns[0].rows[0][0].parameter = 256; }},
    };
    for (const Case& c : cases) {
        Song song = demoSong(1);
        c.breakIt(song);
        std::vector<uint8_t> file;
        std::string error;
        EXPECT_FALSE(writeMod(song, file, &error)) << c.expected;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "expected '" << c.expected << "', got '" << error << "'";
    }
}

}  // namespace
