// Fuzz entry point of the LightWave object reader: the input is read as an LWO2 file and,
// when it is accepted, everything the object builder looks at is walked.
#include <cstdint>
#include <fstream>

#include "lightwave/LWOLoader1.h"
#include "shell/cleanup.h"

std::ofstream debugLog;
Cleanup cleaner;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LWOError error;
    LWObject* object = LWOLoader::read("fuzz.lwo", data, size, &error);
    if (!object) return 0;
    float sum = 0.0f;
    for (const auto& triangles : object->trianglesBySurface())
        for (uint32_t t : triangles)
            for (uint32_t corner : object->triangles[t].corner) sum += object->points[corner].nx;
    for (ListNode* node = object->surfaces.first(); node; node = node->getNext()) {
        const Tsurface* s = static_cast<const Tsurface*>(node->getData());
        if (const float* uv = object->uvMap(s->uvMapName.c_str()))
            for (int p = 0; p < object->pointCount; ++p) sum += uv[2 * p];
        if (s->imageClip) sum += float(object->clips.at(s->imageClip) != nullptr);
        if (s->reflectionClip) sum += float(object->clips.at(s->reflectionClip) != nullptr);
    }
    volatile float keep = sum;
    (void)keep;
    delete object;
    return 0;
}
