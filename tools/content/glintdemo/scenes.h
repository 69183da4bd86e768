// The show's five keyframed scenes, written as ".exp" files: generated meshes, cameras that
// fly through them towards moving targets, lights, null objects hung on meshes, materials of
// every blend mode with pictures and reflections, animated tracks, and the "Material #1" the
// timeline scrolls. Z points up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content::glint {

struct SceneFile {
    std::string name;              // archive member name
    std::vector<uint8_t> bytes;
};

// "kurwa2_.exp", "kurwa.exp", "scene6.exp", "freak.exp", "nowheretorun.exp".
std::vector<SceneFile> showScenes();

}  // namespace content::glint
