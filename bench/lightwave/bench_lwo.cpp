// Load time of a large LightWave object: korvo's LWO2 reader (file to points, triangles,
// surfaces, UV map and smoothed normals) against the assimp library's LWO importer on the same
// file. The object, a torus of 101,120 points and 202,240 triangles with one textured surface
// and a UV map, is written here by the project's LWO2 writer.
//
//   bench-lwo [repetitions, default 10]
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "lightwave/LWOLoader1.h"
#include "lwo_writer.h"
#include "shell/cleanup.h"

std::ofstream debugLog;
Cleanup cleaner;

namespace {

constexpr int around = 320, across = 316;   // torus grid: points around the ring and across the tube

std::vector<uint8_t> torus() {
    content::lwo::Object object;
    content::lwo::UVMap& uv = object.addUVMap("Texture");
    const float pi = 3.14159265f;
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            float a = 2 * pi * float(i) / around, b = 2 * pi * float(j) / across;
            float r = 3.0f + std::cos(b);
            uint32_t p = object.addPoint(r * std::cos(a), std::sin(b), r * std::sin(a));
            uv.entries.push_back({p, {float(i) / around, float(j) / across}});
        }
    auto at = [](int i, int j) { return uint32_t((i % around) * across + (j % across)); };
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < across; ++j) {
            object.setSurface(object.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1)), "Skin");
            object.setSurface(object.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1)), "Skin");
        }
    object.addClip("images/skin.bmp");
    content::lwo::Surface& skin = object.addSurface("Skin");
    content::lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Texture";
    skin.blocks.push_back(block);
    return content::lwo::assemble(object);
}

// The best of `repetitions` runs, in milliseconds.
double best(int repetitions, const std::function<bool()>& load) {
    double fastest = 1e30;
    for (int i = 0; i < repetitions; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (!load()) {
            std::fprintf(stderr, "bench-lwo: a load failed\n");
            std::exit(1);
        }
        fastest = std::min(fastest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return fastest;
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::string path = "/tmp/bench-lwo-" + std::to_string(long(std::chrono::steady_clock::now().time_since_epoch().count())) + ".lwo";
    std::vector<uint8_t> bytes = torus();
    if (!content::lwo::writeFile(path, bytes)) {
        std::fprintf(stderr, "bench-lwo: cannot write %s\n", path.c_str());
        return 1;
    }

    int points = 0, triangles = 0;
    double ours = best(repetitions, [&] {
        LWObject* object = LWOLoader::loadObject(path.c_str());
        if (!object) return false;
        points = object->pointCount;
        triangles = object->triangleCount;
        delete object;
        return true;
    });
    unsigned faces = 0;
    double theirs = best(repetitions, [&] {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        if (!scene) return false;
        faces = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) faces += scene->mMeshes[m]->mNumFaces;
        return true;
    });
    std::remove(path.c_str());

    std::printf("object: %d points, %d triangles, %zu bytes (assimp: %u faces)\n", points, triangles, bytes.size(), faces);
    std::printf("korvo LWO2 reader:     %8.2f ms\n", ours);
    std::printf("assimp LWO importer:   %8.2f ms\n", theirs);
    std::printf("ratio (assimp / ours): %8.2f\n", theirs / ours);
    return 0;
}
