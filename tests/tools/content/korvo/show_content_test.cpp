// korvo's sample show as its generator makes it: objects that the player's reader reads, with
// every kind of surface the show is to show; pictures that decode to what was drawn; scenes
// and a script that name only what the show holds and use every key shape, light and command;
// music that lasts as long as the script's sections.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <stb/stb_image.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "lightwave/LWOLoader1.h"
#include "module_writer.h"
#include "picture.h"
#include "show.h"
#include "song.h"
#include "support.h"

namespace {

using namespace content::korvo;
namespace lws = content::lws;

const Show& show() {
    static const Show made = makeShow();
    return made;
}

const ShowFile* fileOf(const std::string& path) {
    for (const ShowFile& file : show().files)
        if (file.path == path) return &file;
    return nullptr;
}

std::vector<std::string> filesUnder(const std::string& folder) {
    std::vector<std::string> names;
    for (const ShowFile& file : show().files)
        if (file.path.rfind(folder, 0) == 0) names.push_back(file.path.substr(folder.size()));
    return names;
}

std::map<std::string, std::unique_ptr<LWObject>> readObjects() {
    std::map<std::string, std::unique_ptr<LWObject>> objects;
    for (const std::string& name : filesUnder("objects/")) {
        const ShowFile& file = *fileOf("objects/" + name);
        LWOError error;
        objects[name].reset(LWOLoader::read(name.c_str(), file.bytes.data(), file.bytes.size(), &error));
        EXPECT_TRUE(objects[name]) << name << ": " << error.message << " at byte " << error.offset;
    }
    return objects;
}

template <typename Visit>
void forEachSurface(const LWObject& object, Visit visit) {
    for (ListNode* node = object.surfaces.first(); node; node = node->getNext())
        visit(node->getName(), *static_cast<Tsurface*>(node->getData()));
}

std::string clipFile(const LWObject& object, int clip) {
    int position = 1;
    for (ListNode* node = object.clips.first(); node; node = node->getNext(), ++position)
        if (position == clip) return static_cast<LWClip*>(node->getData())->fileName;
    return "";
}

// Every envelope of a scene's items, with what it drives.
std::vector<std::pair<std::string, const lws::Envelope*>> envelopes(const lws::Scene& scene) {
    std::vector<std::pair<std::string, const lws::Envelope*>> all;
    auto motion = [&all](const std::string& item, const lws::Motion& m) {
        for (int i = 0; i < m.channelCount; ++i) all.push_back({item + " channel " + std::to_string(i), &m.channels[size_t(i)]});
    };
    auto animated = [&all](const std::string& what, const auto& value) {
        if (value && value->envelopes)
            for (const lws::Envelope& e : *value->envelopes) all.push_back({what, &e});
    };
    for (const lws::Object& o : scene.objects) {
        motion(o.file, o.motion);
        animated(o.file + " dissolve", o.dissolve);
        animated(o.file + " morph", o.morphAmount);
    }
    for (const lws::Light& l : scene.lights) {
        motion(l.name, l.motion);
        if (l.color.envelopes)
            for (const lws::Envelope& e : *l.color.envelopes) all.push_back({l.name + " colour", &e});
        animated(l.name + " intensity", l.intensity);
    }
    for (const lws::Camera& c : scene.cameras) motion(c.name, c.motion);
    return all;
}

struct Event {
    float time;
    std::string command, argument, rest;
};

// The script's events, one a line, as the player reads them: time, command, the command's
// argument, and the rest of the line.
std::vector<Event> scriptEvents() {
    std::istringstream script(showScript());
    std::string line;
    std::getline(script, line);
    EXPECT_EQ(line, "KVXDEMO");
    std::vector<Event> events;
    while (std::getline(script, line)) {
        std::istringstream words(line);
        Event e;
        std::string time;
        if (!(words >> time >> e.command)) continue;
        e.time = std::stof(time);
        if (e.command != "ResetTimer" && e.command != "Quit") words >> e.argument;
        std::getline(words, e.rest);
        events.push_back(e);
    }
    return events;
}

TEST(KorvoShowContent, TheSameFilesOnEveryRunAsTheBuildWrote) {
    Show again = makeShow();
    ASSERT_EQ(again.files.size(), show().files.size());
    for (size_t i = 0; i < again.files.size(); ++i) {
        EXPECT_EQ(again.files[i].path, show().files[i].path);
        EXPECT_TRUE(again.files[i].bytes == show().files[i].bytes) << again.files[i].path;
    }
    std::string built = testing_support::binDir() + "/../content/korvo/";
    if (!testing_support::fileExists(built + "demoflow.txt")) GTEST_SKIP() << "no sample show in " << built;
    for (const ShowFile& file : show().files) {
        EXPECT_TRUE(testing_support::readFile(built + file.path) == std::string(file.bytes.begin(), file.bytes.end()))
            << file.path;
    }
}

TEST(KorvoShowContent, EveryObjectReadsAndTheShowHasEveryKindOfSurface) {
    auto objects = readObjects();
    std::set<std::string> kinds;
    for (const auto& [name, object] : objects) {
        if (!object) continue;
        std::vector<std::vector<uint32_t>> drawn = object->trianglesBySurface();
        size_t position = 0;
        forEachSurface(*object, [&](const std::string& surface, const Tsurface& s) {
            EXPECT_FALSE(drawn[position++].empty()) << name << ": surface '" << surface << "' draws nothing";
            if (s.particle) {
                EXPECT_NE(s.imageClip, 0) << name << ": a particle surface needs its sprite";
                kinds.insert("particles");
                return;
            }
            for (int clip : {s.imageClip, s.reflectionClip})
                EXPECT_TRUE(!clip || fileOf(clipFile(*object, clip))) << name << " names a missing " << clipFile(*object, clip);
            if (s.hasUVMap) {
                EXPECT_TRUE(object->uvMap(s.uvMapName.c_str())) << name << ": no UV map " << s.uvMapName;
            }
            if (s.imageClip && s.hasUVMap && s.smoothingAngle > 0.0f) kinds.insert("textured and smooth");
            if (s.smoothingAngle == 0.0f && s.reflection == 0.0f) kinds.insert("flat");
            if (s.reflectionClip && s.reflection > 0.0f) kinds.insert("reflecting");
            if (s.transparency > 0.0f && s.additive == 0.0f) kinds.insert("transparent");
            if (s.additive == 1.0f) kinds.insert("additive");
            if (s.sidedness == 3) kinds.insert("two-sided");
        });
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"particles", "textured and smooth", "flat", "reflecting", "transparent",
                                            "additive", "two-sided"}));
}

TEST(KorvoShowContent, PicturesDecodeToWhatWasDrawnWithBlackWhereTheColourKeyCutsHoles) {
    // Written and read back by an independent decoder: rows in order, colours in their places,
    // odd widths padded (a BMP row is a multiple of four bytes).
    Picture drawn(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) drawn.set(x, y, {float(x) / 4.0f, float(y) / 2.0f, x == y ? 1.0f : 0.0f});
    for (const auto& bytes : {tgaFile(drawn), bmpFile(drawn)}) {
        int w = 0, h = 0, n = 0;
        uint8_t* rgb = stbi_load_from_memory(bytes.data(), int(bytes.size()), &w, &h, &n, 3);
        ASSERT_TRUE(rgb);
        EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + w * h * 3), drawn.rgb());
        stbi_image_free(rgb);
    }

    // The reflection map has no hole; every other picture has some, and something around them.
    auto objects = readObjects();
    std::set<std::string> reflections;
    for (const auto& [name, object] : objects)
        forEachSurface(*object, [&](const std::string&, const Tsurface& s) {
            if (s.reflectionClip) reflections.insert(clipFile(*object, s.reflectionClip));
        });
    for (const std::string& name : filesUnder("images/")) {
        const ShowFile& file = *fileOf("images/" + name);
        int w = 0, h = 0, n = 0;
        uint8_t* rgb = stbi_load_from_memory(file.bytes.data(), int(file.bytes.size()), &w, &h, &n, 3);
        ASSERT_TRUE(rgb) << name;
        EXPECT_EQ(w & (w - 1), 0) << name << ": textures are powers of two";
        EXPECT_EQ(h & (h - 1), 0) << name;
        size_t black = 0;
        for (int i = 0; i < w * h; ++i) black += rgb[3 * i] == 0 && rgb[3 * i + 1] == 0 && rgb[3 * i + 2] == 0;
        stbi_image_free(rgb);
        if (reflections.count(file.path)) {
            EXPECT_EQ(black, 0u) << name;
        } else {
            EXPECT_GT(black, 0u) << name;
            EXPECT_LT(black, size_t(w * h)) << name;
        }
    }
}

TEST(KorvoShowContent, TheMorphingObjectsHaveEqualPointsAndTheirTargetStaysUnseen) {
    auto objects = readObjects();
    int morphs = 0;
    for (const auto& [name, scene] : show().scenes)
        for (const lws::Object& o : scene.objects) {
            if (!o.morphTarget) continue;
            ++morphs;
            ASSERT_LE(size_t(o.morphTarget), scene.objects.size()) << name;
            const lws::Object& target = scene.objects[size_t(o.morphTarget - 1)];
            EXPECT_TRUE(target.unseenByCamera) << name;
            // Only a dissolve of exactly 1 keeps an unseen object hidden once the scene runs.
            ASSERT_TRUE(target.dissolve) << name;
            EXPECT_EQ(target.dissolve->value[0], 1.0f) << name;
            const LWObject& from = *objects.at(o.file);
            const LWObject& to = *objects.at(target.file);
            EXPECT_EQ(from.pointCount, to.pointCount) << o.file << " into " << target.file;
            EXPECT_EQ(from.trianglesBySurface().size(), to.trianglesBySurface().size());
        }
    EXPECT_GT(morphs, 0);
}

TEST(KorvoShowContent, TheScenesUseEveryKeyShapeLightAndCamera) {
    std::set<int> shapes;
    std::set<std::string> found;
    for (const auto& [name, scene] : show().scenes) {
        for (const auto& [what, envelope] : envelopes(scene)) {
            EXPECT_FALSE(envelope->keys.empty()) << name << ": " << what;
            for (const lws::Key& k : envelope->keys) shapes.insert(k.shape);
        }
        for (const lws::Light& l : scene.lights)
            if (l.color.envelopes && l.intensity && l.intensity->envelopes) found.insert("light " + std::to_string(l.type));
        for (const lws::Camera& c : scene.cameras) found.insert(c.targetFirstObject ? "camera with target" : "camera");
        for (const lws::Object& o : scene.objects) {
            if (o.dissolve && o.dissolve->envelopes)
                for (const lws::Key& k : (*o.dissolve->envelopes)[0].keys)
                    if (k.value == 1.0f) found.insert("dissolve to 1");
        }
        if (scene.gridSize) found.insert("grid");
    }
    EXPECT_EQ(shapes, (std::set<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(found, (std::set<std::string>{"light 0", "light 1", "light 2", "camera", "camera with target",
                                            "dissolve to 1", "grid"}));
}

TEST(KorvoShowContent, ItemNamesAreSingleWords) {
    // The player reads a name as one word: the rest of the line is lost.
    auto oneWord = [](const std::string& name) { return !name.empty() && name.find_first_of(" \t") == std::string::npos; };
    for (const auto& [name, scene] : show().scenes) {
        for (const lws::Object& o : scene.objects) EXPECT_TRUE(oneWord(o.file)) << name << ": '" << o.file << "'";
        for (const lws::Light& l : scene.lights) EXPECT_TRUE(oneWord(l.name)) << name << ": '" << l.name << "'";
        for (const lws::Camera& c : scene.cameras) EXPECT_TRUE(oneWord(c.name)) << name << ": '" << c.name << "'";
    }
}

TEST(KorvoShowContent, TheViewersSceneHasNoObjectOfItsOwn) {
    // The viewer adds the object it shows and aims the camera at the scene's first object.
    for (const auto& [name, scene] : show().scenes)
        if (name == "debugobject.lws") {
            EXPECT_TRUE(scene.objects.empty());
            EXPECT_EQ(scene.cameras.size(), 1u);
            EXPECT_FALSE(scene.lights.empty());
            return;
        }
    FAIL() << "no scenes/debugobject.lws";
}

TEST(KorvoShowContent, TheScriptPlaysEveryObjectWithEveryCommandOnTheMusicsSections) {
    std::vector<Event> events = scriptEvents();
    std::map<std::string, const lws::Scene*> scenes;
    for (const auto& [name, scene] : show().scenes) scenes[name] = &scene;

    std::set<std::string> commands, live, shownObjects;
    float last = 0.0f, quit = -1.0f;
    bool comments = false;
    for (const Event& e : events) {
        commands.insert(e.command);
        EXPECT_GE(e.time, last) << e.command << " " << e.argument << ": events run in file order";
        last = e.time;
        // The player skips at most 79 characters after the arguments; a longer comment
        // would be read as the next event.
        EXPECT_LE(e.rest.size(), 79u) << e.rest;
        comments = comments || e.rest.find_first_not_of(' ') != std::string::npos;
        if (e.command == "PlaySong") {
            EXPECT_TRUE(fileOf(e.argument)) << e.argument;
        }
        if (e.command == "PlayScene") {
            ASSERT_TRUE(scenes.count(e.argument)) << e.argument;
            EXPECT_TRUE(live.insert(e.argument).second) << e.argument << " plays twice";
            for (const lws::Object& o : scenes[e.argument]->objects) shownObjects.insert(o.file);
        }
        if (e.command == "DelScene") {
            EXPECT_EQ(live.erase(e.argument), 1u) << e.argument << " is not playing";
        }
        if (e.command == "ResetTimer") {
            EXPECT_EQ(std::fmod(e.time, patternSeconds), 0.0f) << "a section starts at " << e.time;
        }
        if (e.command == "Quit") quit = e.time;
    }
    EXPECT_EQ(commands, (std::set<std::string>{"PlaySong", "PlayScene", "ResetTimer", "DelScene", "ChangeCamera", "Quit"}));
    EXPECT_EQ(events.back().command, "Quit");
    EXPECT_TRUE(comments);
    std::vector<std::string> objectFiles = filesUnder("objects/");
    EXPECT_EQ(shownObjects, std::set<std::string>(objectFiles.begin(), objectFiles.end()));

    // The music lasts until the show has quit.
    std::vector<uint8_t> song;
    std::string error;
    ASSERT_TRUE(content::module::writeMod(showSong(), song, &error)) << error;
    openmpt_module* module =
        openmpt_module_create_from_memory2(song.data(), song.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(module);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(module), 8 * patternSeconds, 0.01);
    EXPECT_LT(quit, openmpt_module_get_duration_seconds(module));
    openmpt_module_destroy(module);
}

}  // namespace
