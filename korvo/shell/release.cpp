#include "shell/release.h"

#include <d3d.h>

#include "lightwave/scene.h"
#include "shell/list.h"

extern List sceneList;
extern List textureCache;

List removedScenes("removed scenes");

void removeScene(ListNode* node) {
    auto* kept = new ListNode(node->getName());
    kept->setData(node->getData());
    delete node;
    removedScenes.append(kept);
}

namespace {

void deleteScenes(List& scenes) {
    while (ListNode* node = scenes.first()) {
        delete static_cast<Scene*>(node->getData());
        delete node;
    }
}

}  // namespace

void releaseScenesAndTextures() {
    deleteScenes(sceneList);
    deleteScenes(removedScenes);
    while (ListNode* node = textureCache.first()) {
        if (auto* texture = static_cast<LPDIRECTDRAWSURFACE7>(node->getData())) texture->Release();
        delete node;
    }
}
