// lwo-info: what korvo's object reader makes of a LightWave object file.
//
//   lwo-info <file.lwo>
//
// Prints the points, triangles, tags, surfaces with their parameters, clips and UV maps, or
// the reason the player would not load the file, with its byte offset. Exit codes: 0 read,
// 1 usage, 2 the file cannot be opened, 3 no LWO2 object, 4 something the player cannot draw
// (it ends the player with that message), 5 a damaged file (the player refuses it).
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "lightwave/LWOLoader1.h"
#include "shell/cleanup.h"

// The reader's own error paths log and give up through these; this tool reads with the
// function that reports instead, so the log stays closed.
std::ofstream debugLog;
Cleanup cleaner;

namespace {

enum ExitCode { done = 0, usage = 1, cannotOpen = 2, notAnObject = 3, unsupported = 4, damaged = 5 };

const char* yesNo(bool value) { return value ? "yes" : "no"; }

std::string clipText(const LWObject& object, int position) {
    if (position == 0) return "none";
    ListNode* node = object.clips.at(position);
    return std::to_string(position) + " '" + static_cast<const LWClip*>(node->getData())->fileName + "'";
}

void printSurface(const LWObject& object, const char* name, const Tsurface& s, const std::vector<uint32_t>& triangles) {
    std::set<uint32_t> points;
    for (uint32_t t : triangles)
        for (uint32_t corner : object.triangles[t].corner) points.insert(corner);
    std::printf("  '%s'\n", name);
    std::printf("    triangles: %zu, vertices: %zu%s\n", triangles.size(), points.size(),
                triangles.empty() ? " (no triangle uses it: not built)" : "");
    std::printf("    colour: %g %g %g\n", double(s.red), double(s.green), double(s.blue));
    std::printf("    diffuse: %g, specular: %g, glossiness: %g, reflection: %g, luminosity: %g\n", double(s.diffuse),
                double(s.specular), double(s.glossiness), double(s.reflection), double(s.luminosity));
    std::printf("    transparency: %g, additive: %g, transparent: %s\n", double(s.transparency), double(s.additive),
                yesNo(s.transparent));
    std::printf("    smoothing angle: %g (%g degrees)%s\n", double(s.smoothingAngle),
                double(s.smoothingAngle) * 180.0 / M_PI, s.smoothingAngle == 0.0f ? ", flat" : "");
    std::printf("    sides: %u%s\n", s.sidedness, s.sidedness == 3 ? " (both)" : "");
    std::printf("    image: %s, reflection image: %s\n", clipText(object, s.imageClip).c_str(),
                clipText(object, s.reflectionClip).c_str());
    if (s.hasUVMap)
        std::printf("    UV map: '%s'%s\n", s.uvMapName.c_str(),
                    object.uvMap(s.uvMapName.c_str()) ? "" : " (no such map: coordinates stay 0, 0)");
    else
        std::printf("    UV map: none\n");
    std::printf("    particle: %s, static vertices: %s\n", yesNo(s.particle), yesNo(s.staticVertices));
}

void print(const LWObject& object) {
    std::printf("%s: LWO2 object\n", object.fileName.c_str());
    std::printf("points: %d\n", object.pointCount);
    size_t untagged = 0;
    std::vector<size_t> perTag(object.tagNames.size());
    for (const LWTriangle& t : object.triangles) {
        if (t.tag < 0)
            ++untagged;
        else
            ++perTag[size_t(t.tag)];
    }
    std::printf("triangles: %d", object.triangleCount);
    if (untagged) std::printf(" (%zu with no surface)", untagged);
    std::printf("\n");
    std::printf("tags: %zu\n", object.tagNames.size());
    for (size_t tag = 0; tag < object.tagNames.size(); ++tag)
        std::printf("  %zu '%s': %zu triangles\n", tag, object.tagNames[tag], perTag[tag]);
    std::printf("surfaces: %d\n", object.surfaces.getCount());
    std::vector<std::vector<uint32_t>> triangles = object.trianglesBySurface();
    size_t i = 0;
    for (ListNode* node = object.surfaces.first(); node; node = node->getNext(), ++i)
        printSurface(object, node->getName(), *static_cast<const Tsurface*>(node->getData()), triangles[i]);
    std::printf("clips: %d\n", object.clips.getCount());
    int position = 1;
    for (ListNode* node = object.clips.first(); node; node = node->getNext(), ++position)
        std::printf("  %d '%s'\n", position, static_cast<const LWClip*>(node->getData())->fileName.c_str());
    std::printf("UV maps: %d\n", object.uvMaps.getCount());
    for (ListNode* node = object.uvMaps.first(); node; node = node->getNext()) std::printf("  '%s'\n", node->getName());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lwo-info <file.lwo>\n");
        return usage;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        std::fprintf(stderr, "lwo-info: cannot open %s\n", argv[1]);
        return cannotOpen;
    }
    LWOError error;
    LWObject* object = LWOLoader::read(argv[1], bytes.data(), bytes.size(), &error);
    if (!object) {
        std::fprintf(stderr, "lwo-info: %s: %s (at byte %zu)\n", argv[1], error.message.c_str(), error.offset);
        switch (error.kind) {
        case LWOError::Kind::notIFF:
        case LWOError::Kind::notLWO2: return notAnObject;
        case LWOError::Kind::unsupported: return unsupported;
        default: return damaged;
        }
    }
    print(*object);
    delete object;
    return done;
}
