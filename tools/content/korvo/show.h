// korvo's sample show: every file of its working directory, made the same way on every run.
//
//   demoflow.txt      the script: the music, then a scene a section, then Quit
//   theme.mod         the music (song.h)
//   objects/*.lwo     the objects (objects.cpp), written by the LWO2 writer
//   scenes/*.lws      the scenes (scenes.cpp), written by the LWS writer, and
//                     scenes/debugobject.lws, the viewer's scene for a bare object
//   images/*.tga|bmp  the textures (pictures.h)
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lws_writer.h"

namespace content::korvo {

struct ShowFile {
    std::string path;   // relative to the show's folder
    std::vector<uint8_t> bytes;
};

struct Show {
    std::vector<ShowFile> files;
    // The scenes as their writer got them, by file name under scenes/.
    std::vector<std::pair<std::string, lws::Scene>> scenes;
};

// The images, objects and scenes (scenes.cpp, objects.cpp); each list in writing order.
std::vector<ShowFile> showImages();
std::vector<ShowFile> showObjects();
std::vector<std::pair<std::string, lws::Scene>> showScenes();
// The demo-flow script.
std::string showScript();

Show makeShow();
// Writes every file under `folder` (created, with its subfolders, when missing).
bool writeShow(const Show& show, const std::string& folder, std::string* error);

}  // namespace content::korvo
