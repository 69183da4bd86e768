#include "lightwave/overlay.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/material.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/surface.h"
#include "lightwave/viewer.h"

namespace {

constexpr float leftColumn = 0.02f, rightColumn = 0.82f;
constexpr D3DCOLOR white = 0xFFFFFF, switchedOff = 0x008888;

// The frame rate: counter ticks between two overlays.
bool firstCall = true;
LARGE_INTEGER counterFrequency, previousCount;
float lastFramesPerSecond = 0.0f;
char framesPerSecondLine[1000];

void print(float x, float lineHeight, float line, D3DCOLOR colour, const char* text) {
    gfx.context->DrawDebugText(x, line * lineHeight, colour, const_cast<char*>(text));
}

void printFramesPerSecond(float lineHeight) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (firstCall) {
        QueryPerformanceFrequency(&counterFrequency);
        previousCount = now;
        firstCall = false;
    }
    // The first overlay divides by no ticks at all.
    lastFramesPerSecond = float(counterFrequency.QuadPart) / float(int32_t(now.QuadPart - previousCount.QuadPart));
    std::snprintf(framesPerSecondLine, sizeof framesPerSecondLine, "FPS: %3.2f", double(lastFramesPerSecond));
    print(rightColumn, lineHeight, 2, white, framesPerSecondLine);
    previousCount = now;
}

// Minutes, seconds and hundredths of the scene time.
void printClock(float lineHeight) {
    float s = gfx.getTime();
    auto whole = [](double value) { return std::isfinite(value) && std::fabs(value) < 9e15 ? long(std::trunc(value)) : 0L; };
    long seconds = whole(s);
    char text[1000];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", whole(double(s) / 60.0), seconds % 60,
                  whole(100.0 * double(s)) - 100 * seconds);
    print(rightColumn, lineHeight, 1, white, text);
}

void printObject(const SceneObject& object, float lineHeight) {
    char text[1000];
    std::snprintf(text, sizeof text, "object %s; points: %ld, pols: %ld, surfaces: %ld", object.name,
                  long(object.pointCount), long(object.triangleCount), long(object.surfaces.getCount()));
    print(leftColumn, lineHeight, 1, white, text);

    int i = 0;
    for (ListNode* node = object.surfaces.first(); node; node = node->getNext(), ++i) {
        const auto& surface = *static_cast<const Surface*>(node->getData());
        const Material& material = *surface.material;
        D3DCOLOR colour = surface.visible ? white : switchedOff;
        float line = float(8 + 5 * i);
        std::snprintf(text, sizeof text, "surface '%s', unique points:%ld, shared: %ld", surface.name,
                      long(surface.vertexCount), long(surface.indexBuffer->getCount()));
        print(leftColumn, lineHeight, line++, colour, text);
        std::snprintf(text, sizeof text, "material '%s', color (r%.2f g%.2f b%.2f)", material.name,
                      double(material.material.diffuse.r), double(material.material.diffuse.g),
                      double(material.material.diffuse.b));
        print(leftColumn, lineHeight, line++, colour, text);
        if (material.hasEnvironmentTexture) {
            double percent = std::trunc(double(material.reflectionLevel) * 100.0);
            std::snprintf(text, sizeof text, "envmap '%s', reflects %ld%%", material.environmentName,
                          std::isfinite(percent) && std::fabs(percent) < 9e15 ? long(percent) : 0L);
            print(leftColumn, lineHeight, line++, colour, text);
        }
        if (surface.optimisable) print(leftColumn, lineHeight, line++, colour, "(optimized vertexbuffer)");
        if (material.material.specular.r != 0.0f) {
            std::snprintf(text, sizeof text, "specular: %.2f, power: %.2f", double(material.material.specular.r),
                          double(material.material.power));
            print(leftColumn, lineHeight, line++, colour, text);
        }
    }
}

}  // namespace

void drawOverlay(const Viewer& viewer, const SceneObject& described) {
    float h = viewer.lineHeight;
    if (viewer.overlayMode == 1 || viewer.overlayMode == 2) {
        if (viewer.fpsDisplay) printFramesPerSecond(h);
        printClock(h);
    }
    if (viewer.overlayMode == 2) {
        printObject(described, h);
        char text[1000];
        std::snprintf(text, sizeof text, "view: %ldx%ldx%ld", long(gfx.width), long(gfx.height), long(gfx.colorBits));
        print(leftColumn, h, 4, white, text);
        print(leftColumn, h, 2, white, gfx.waitVRT ? "WaitVRT: TRUE" : "WaitVRT: FALSE");
    }
}
