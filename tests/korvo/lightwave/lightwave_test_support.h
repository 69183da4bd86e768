// What the object tests share: a working folder to write objects and images into, the debug
// log opened on a file there, and reading back what a built surface holds.
#pragma once

#include <string>
#include <vector>

#include "lightwave/LWOLoader1.h"
#include "lwo_writer.h"
#include "support.h"

class Surface;

namespace lightwave_test {

// Opens the graphics core's window (64 x 48) and rendering context, on a device that only
// records its calls (kept in the call log) unless `recordOnly` is false.
void openDevice(bool recordOnly = true);

// Deletes every live scene and empties the live-scene list.
void deleteLiveScenes();

// The element at 1-based `position` of a list.
template <typename T>
T& item(const List& list, int position) {
    return *static_cast<T*>(list.at(position)->getData());
}

// Runs the test inside a fresh folder with debug.log opened there; back to where it was after.
class InFolder {
public:
    InFolder();
    ~InFolder();
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

    // Writes an object (name relative to the folder).
    void write(const std::string& name, const content::lwo::Object& object);
    // Writes a 4 x 4 BMP of one colour (0xRRGGBB) under a name not used before in this process.
    std::string image(unsigned colour, const std::string& stem = "image");
    // The log so far (closes and reopens it for appending).
    std::string log();

    testing_support::TempDir dir;

private:
    std::string previous_;
};

// The vertices a surface draws (its buffer made lockable first) and its indices.
std::vector<LWPoint> vertices(Surface& surface);
std::vector<uint16_t> indices(Surface& surface);

// A unit square in the z = 0 plane, two triangles of surface `name`, offset by (dx, dy),
// clockwise (the front) as seen from -z.
content::lwo::Object square(const std::string& name = "Skin", float dx = 0.0f, float dy = 0.0f);

}  // namespace lightwave_test
