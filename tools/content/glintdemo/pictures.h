// The pictures of the glintdemo show, made for it: glowing dots, backgrounds, environment
// maps, textures for the tubes and scenes, and the banner's title, each with the JPEG layout it
// is stored in (together the layouts cover everything the show's decoder reads).
#pragma once

#include <string>
#include <vector>

#include "jpeg_encode.h"
#include "raster.h"

namespace content::glint {

struct ShowPicture {
    std::string name;     // archive member name
    Canvas canvas;        // 1 channel: a grey JPEG; 3: colour
    JpegLayout layout;
};

// Every ".jpg" member of the show's archive. `fontPath`: the TrueType font the titles are
// drawn with. False with a reason when the font cannot be read.
bool showPictures(const std::string& fontPath, std::vector<ShowPicture>& pictures, std::string* error);

// The banner's two 512 x 128 RGB pictures, "sb.raw" (shown first) and "s.raw".
bool bannerPictures(const std::string& fontPath, Canvas& first, Canvas& second, std::string* error);

}  // namespace content::glint
