#include "lightwave/viewer.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

#include "gfx/gfxcore.h"
#include "lightwave/channel.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/overlay.h"
#include "lightwave/scene.h"
#include "lightwave/surface.h"
#include "shell/cleanup.h"
#include "shell/list.h"

extern List sceneList;

void Viewer::keyDown(unsigned char code) {
    previousKey = currentKey;
    currentKey = code;
}

void Viewer::resetKeys() { currentKey = previousKey = 0; }

float Viewer::sceneTime(float t) {
    if (fixedTime >= 0.0f) return fixedTime;
    lastClockTime = t;
    return t;
}

void Viewer::frame() {
    ListNode* node = sceneList.first();
    if (!node) return;
    lineHeight = 15.0f / float(gfx.height);
    Scene& scene = *static_cast<Scene*>(node->getData());

    SceneObject* described = viewedObject;
    if (!described) {
        ListNode* first = scene.objects.first();
        if (!first) cleaner.fatal("no registered objects in scene");
        described = static_cast<SceneObject*>(first->getData());
        timeKeys();
    } else {
        spinKeys(scene);
    }
    commonKeys(*described);
    if (overlayMode != 0) drawOverlay(*this, *described);
}

// Held keys repeat: each frame the key is current moves the frozen time once.
void Viewer::timeKeys() {
    switch (currentKey) {
    case VK_LEFT: fixedTime = std::fmax(fixedTime - 0.005f, 0.0f); break;
    case VK_UP: fixedTime = std::fmax(fixedTime - 1.0f, 0.0f); break;
    case VK_RIGHT: fixedTime += 0.005f; break;
    case VK_DOWN: fixedTime += 1.0f; break;
    default: break;
    }
}

void Viewer::spinKeys(Scene& scene) {
    switch (currentKey) {
    case VK_SPACE: headingSpeed = pitchSpeed = 0.0f; break;
    case VK_LEFT: headingSpeed += 0.001f; break;
    case VK_RIGHT: headingSpeed -= 0.001f; break;
    case VK_UP: pitchSpeed += 0.001f; break;
    case VK_DOWN: pitchSpeed -= 0.001f; break;
    case VK_ADD: zoomSpeed -= 0.5f; break;
    case VK_SUBTRACT: zoomSpeed += 0.5f; break;
    default: break;
    }
    heading += headingSpeed;
    pitch += pitchSpeed;
    viewedObject->heading = heading;
    viewedObject->pitch = pitch;
    viewedObject->bank = bank;

    Camera& camera = scene.viewCamera();
    if (ListNode* first = scene.objects.first()) camera.target = static_cast<SceneObject*>(first->getData());
    // Along the line from the origin, never closer to it than closestZoom (or than the camera
    // already stands), so zooming in cannot pass through it.
    D3DVECTOR& p = camera.position;
    float distance = std::sqrt(squaredLength(p));
    if (distance > 0.0f && zoomSpeed != 0.0f) {
        float moved = distance + zoomSpeed;
        if (moved < closestZoom) moved = std::fmin(distance, closestZoom);
        p.x *= moved / distance;
        p.y *= moved / distance;
        p.z *= moved / distance;
    }
    scene.setView();
}

void Viewer::commonKeys(SceneObject& described) {
    bool once = previousKey != currentKey;
    switch (currentKey) {
    case VK_TAB:
        if (once) overlayMode = (overlayMode + 1) % 3;
        break;
    case 'G':
        if (once) gridOn = !gridOn;
        break;
    case 'S': gfx.device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE); break;
    case 'T': gfx.device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE); break;
    case 'V':
        if (once) gfx.waitVRT = !gfx.waitVRT;
        break;
    default:
        if (currentKey >= '1' && currentKey <= '9') {
            if (ListNode* node = described.surfaces.at(currentKey - '0')) {
                auto* surface = static_cast<Surface*>(node->getData());
                surface->visible = !surface->visible;
            }
        }
        break;
    }
    previousKey = currentKey;
}

// ---- The scene dump ----------------------------------------------------------------------

namespace {

void dumpChannels(std::FILE* file, const List& channels) {
    long number = 0;
    for (ListNode* node = channels.first(); node; node = node->getNext(), ++number) {
        const auto& channel = *static_cast<const Channel*>(node->getData());
        std::fprintf(file, "\t\tChannel %ld (keys: %ld)\n", number, long(channel.keyCount()));
        long j = 0;
        for (ListNode* at = channel.keys.first(); at; at = at->getNext(), ++j) {
            const auto& key = *static_cast<const Key*>(at->getData());
            std::fprintf(file, "\t\t\t%2ld. val:%f, time:%f, smooth:%ld (splines: %f %f %f %f %f)\n", j, double(key.value),
                         double(key.time), long(key.shape), double(key.p1), double(key.p2), double(key.p3),
                         double(key.p4), double(key.p5));
        }
    }
}

}  // namespace

void Viewer::sceneDump(Scene* scene, const char* fileName) {
    std::FILE* file = std::fopen(fileName, "w");
    if (!file) cleaner.fatal("unable to open scene output file");
    std::fprintf(file, "General Settings:\n");
    std::fprintf(file, "GridSize: %f\nShowMotionPath: %ld\nFramesPerSecond: %ld\n", double(scene->gridSize),
                 long(scene->showMotionPath), long(scene->framesPerSecond));
    std::fprintf(file, "objects: %ld\n", long(scene->objects.getCount()));
    for (ListNode* node = scene->objects.first(); node; node = node->getNext()) {
        const auto& object = *static_cast<const SceneObject*>(node->getData());
        std::fprintf(file, "\tobject '%s'\n", object.name);
        dumpChannels(file, object.channels);
    }
    for (ListNode* node = scene->cameras.first(); node; node = node->getNext()) {
        const auto& camera = *static_cast<const Camera*>(node->getData());
        std::fprintf(file, "\tcamera '%s'\n", camera.name.c_str());
        dumpChannels(file, camera.channels);
    }
    for (ListNode* node = scene->lights.first(); node; node = node->getNext()) {
        const auto& light = *static_cast<const Light*>(node->getData());
        std::fprintf(file, "\tlight '%s'\n", light.name.c_str());
        dumpChannels(file, light.channels);
    }
    std::fclose(file);
}
