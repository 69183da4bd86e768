// JPEG files encoded with libjpeg, in each layout the show's decoder reads: grey, or colour
// with luma sampled 1x1, 2x1, 1x2 or 2x2 against the chroma; baseline or progressive;
// with or without restart markers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster.h"

namespace content::glint {

struct JpegLayout {
    int lumaH = 2, lumaV = 2;      // colour pictures only
    bool progressive = false;
    int restartInterval = 0;       // MCUs between restart markers; 0 for none
    int quality = 90;
};

// `canvas` has 1 channel (a grey JPEG) or 3 (YCbCr). False with a reason when libjpeg refuses.
bool encodeJpeg(const Canvas& canvas, const JpegLayout& layout, std::vector<uint8_t>& jpeg, std::string* error);

}  // namespace content::glint
