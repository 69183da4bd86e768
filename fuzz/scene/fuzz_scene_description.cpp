// Fuzz entry point of the scene-description reader: the input is read as a scene description
// (every envelope file it names holds the input again) and as an envelope file, and the scene is
// animated once.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/descriptionreader.h"
#include "scene/scene.h"

namespace {
std::vector<uint8_t> input;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    input.assign(data, data + size);
    Scene scene("fuzz.lws");
    SceneDescriptionReader reader;
    reader.readMember = [](const char*) { return input; };
    reader.loadPicture = [](const char*) -> Texture* { return nullptr; };   // no drawing context here
    if (reader.read(scene, reinterpret_cast<const char*>(data), size) == 0) scene.animate(12.5f);
    SceneDescriptionReader::readEnvelope(reinterpret_cast<const char*>(data), size);
    return 0;
}
