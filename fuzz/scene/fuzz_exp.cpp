// Fuzz entry point of the ".exp" reader: the input is read as a scene file, which is then
// animated once (tracks, transforms, cameras and lighting on whatever was read).
#include <cstddef>
#include <cstdint>

#include "scene/exportreader.h"
#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Scene scene("fuzz.exp");
    ExportReader reader;
    reader.loadPicture = [](const char*) -> Texture* { return nullptr; };   // no drawing context here
    if (reader.read(scene, data, size) == 0) scene.animate(12.5f);
    return 0;
}
