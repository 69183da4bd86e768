// What the run made and gives back on its normal ways out (Escape or the window closed, and the
// script's "Quit"): every scene, those still live and those "DelScene" took away, and the
// texture cache's references. The failure exits leave it all to the end of the process.
#pragma once

class List;
class ListNode;

// The scenes "DelScene" took out of sceneList: no longer updated or drawn, still allocated.
extern List removedScenes;

// Takes a live scene's node out of sceneList; the scene moves to removedScenes under its name.
void removeScene(ListNode* node);

// Deletes every scene (live and removed), then releases the texture cache's texture
// references, emptying the three lists. Runs while the device is still there.
void releaseScenesAndTextures();
