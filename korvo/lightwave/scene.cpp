#include "lightwave/scene.h"

#include "gfx/gfxcore.h"
#include "shell/list.h"

extern List sceneList;

Scene::Scene(const char* name) {
    auto* node = new ListNode(name);
    node->setData(this);
    sceneList.append(node);
}

Scene::~Scene() = default;

// Reading the scene file, animating and drawing it come with the LightWave scene reader.
void Scene::update(float) {}

void Scene::draw() {}

void Scene::disableAllLights() {
    for (DWORD index = 0; index < 100; ++index) gfx.device->LightEnable(index, FALSE);
}
