// Rewrites a LightWave object (LWO2) into the narrow form the player reads: one layer, one list
// of points, triangles only, UV maps of type TXUV only. What the player already read is kept as
// it was: points keep their numbers, triangles their corners and order, the tag list its strings,
// surfaces, clips and envelopes their bytes (but for the pad bytes of odd-length sub-chunks,
// which the player's reader does not expect and which are counted into the lengths instead).
//
// - Polygons of four or more corners become triangles by ear clipping in the polygon's own
//   plane, so concave polygons keep their shape; a convex polygon becomes the fan from its first
//   corner. Every triangle keeps the polygon's winding and carries its polygon tags (surface,
//   part, smoothing group ...).
// - Layers are merged into one point list (point and polygon numbers moved past the layers
//   before them; TXUV maps of one name joined), or one layer is kept.
// - Vertex maps (VMAP) and per-polygon maps (VMAD) of other types than TXUV are dropped, each
//   with a note. A TXUV VMAD (a point with other texture coordinates as the corner of some
//   polygons) is kept by splitting: each point gets one copy per distinct set of coordinates
//   its corners have, added after the existing points with the coordinates in the VMAP, and
//   those corners use the copy.
// - One- and two-point polygons, curves and bones are dropped with a note; patches (PTCH,
//   SUBD), metaballs, polygons of unknown types, LWOB and LWO3 files are refused, and so are
//   chunks of unknown meaning (they may name points or polygons, which converting renumbers)
//   unless the caller asks to drop them.
//
// The result is read back with the player's own reader, and its surfaces are checked against
// the player's limits, before it is handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lwo_convert {

struct Options {
    int layer = -1;   // keep only the layer of this number (as the file numbers it); -1 merges all
    // Chunks of unknown meaning are dropped, each with a note, instead of refusing the file.
    bool dropUnknownChunks = false;
};

struct Result {
    enum class Status {
        converted,
        noSuchLayer,   // the layer asked for is not in the file
        notAnObject,   // not an IFF file, or another form than LWO2 (LWOB and LWO3 among them)
        cannotConvert, // patches, metaballs, unknown polygon types or chunks, past the player's limits
        damaged,       // a length, count or index that does not fit the file
    };
    Status status = Status::converted;
    std::string error;                // why it was refused; "(at byte N)" where a place is known
    std::vector<std::string> notes;   // what was merged, split or dropped, one line each
    std::vector<uint8_t> bytes;       // the converted file

    // What the converted object holds.
    size_t points = 0, triangles = 0, surfaces = 0;
};

Result convert(const uint8_t* bytes, size_t size, const Options& options = {});

}  // namespace lwo_convert
