#include "lightwave_test_support.h"

#include <stb/stb_image_write.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "d3d7/calllog.h"
#include "d3d7/testing.h"
#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/scene.h"
#include "lightwave/surface.h"
#include "shell/debuglog.h"

extern List sceneList;

namespace lightwave_test {

void openDevice(bool recordOnly) {
    if (recordOnly) {
        d3d7::testing::setRendering(d3d7::testing::Rendering::RecordOnly);
        d3d7::calllog::enable(true);
    }
    gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
    gfx.initDevice(16);
}

void deleteLiveScenes() {
    while (ListNode* node = sceneList.first()) {
        delete static_cast<Scene*>(node->getData());
        delete node;
    }
}

InFolder::InFolder() {
    char here[PATH_MAX];
    previous_ = getcwd(here, sizeof here) ? here : ".";
    if (chdir(dir.path().c_str()) != 0) throw std::runtime_error("cannot enter " + dir.path());
    debugLog.open("debug.log", std::ios::app);
}

InFolder::~InFolder() {
    debugLog.close();
    if (chdir(previous_.c_str()) != 0) std::perror("chdir back");
}

void InFolder::write(const std::string& name, const content::lwo::Object& object) {
    content::lwo::writeFile(name, content::lwo::assemble(object));
}

std::string InFolder::image(unsigned colour, const std::string& stem) {
    static int count = 0;
    std::string name = stem + std::to_string(++count) + ".bmp";
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16; ++i) rgb.insert(rgb.end(), {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour)});
    stbi_write_bmp(name.c_str(), 4, 4, 3, rgb.data());
    return name;
}

std::string InFolder::log() {
    debugLog.close();
    std::string text = testing_support::readFile("debug.log");
    debugLog.open("debug.log", std::ios::app);
    return text;
}

std::vector<LWPoint> vertices(Surface& surface) {
    surface.makeLockable();
    std::vector<LWPoint> out(size_t(surface.vertexCount));
    void* data = nullptr;
    if (surface.vertexBuffer->Lock(DDLOCK_READONLY, &data, nullptr) == 0) {
        std::memcpy(out.data(), data, out.size() * sizeof(LWPoint));
        surface.vertexBuffer->Unlock();
    }
    return out;
}

std::vector<uint16_t> indices(Surface& surface) {
    const uint16_t* at = surface.indexBuffer->getIndices();
    return std::vector<uint16_t>(at, at + surface.indexBuffer->getCount());
}

content::lwo::Object square(const std::string& name, float dx, float dy) {
    content::lwo::Object o;
    o.addPoint(dx + 0, dy + 0, 0);
    o.addPoint(dx + 1, dy + 0, 0);
    o.addPoint(dx + 1, dy + 1, 0);
    o.addPoint(dx + 0, dy + 1, 0);
    o.setSurface(o.addTriangle(0, 2, 1), name);
    o.setSurface(o.addTriangle(0, 3, 2), name);
    o.addSurface(name);
    return o;
}

}  // namespace lightwave_test
