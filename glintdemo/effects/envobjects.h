// The reflective height field: a landscape whose heights come from an 8-bit height map that
// scrolls under it, drawn sphere-mapped with one picture and laid over additively, finer, with
// another, seen from a camera flying along a keyed path. The grid and the camera path are
// computed apart from drawing.
#pragma once

#include <cstdint>

// The landscape's vertices (x, y, z, height / 255) and grey colours (r, g, b, a), row-major,
// in pools allocated once.
struct HeightGrid {
    static constexpr int capacity = 40000;

    float* vertices = nullptr;   // capacity x 4
    uint8_t* colours = nullptr;  // capacity x 4
    int count = 0;
    int columns = 0, rows = 0;

    HeightGrid();
    ~HeightGrid();
    HeightGrid(const HeightGrid&) = delete;
    HeightGrid& operator=(const HeightGrid&) = delete;

    const float* vertex(int row, int column) const { return &vertices[(row * columns + column) * 4]; }
    const uint8_t* colour(int row, int column) const { return &colours[(row * columns + column) * 4]; }
};

// Builds the grid at show time t from height map H (rows of 256 samples; rows and columns 0 to
// 254 are read): round(sin(t e) c + a) columns by round(sin(t f) d + b) rows spanning 6000
// units on x and z, the map scrolling by 64 samples a second along the columns and 54 along
// the rows.
void buildGrid(HeightGrid& grid, const uint8_t* heightMap, int baseColumns, int baseRows, float columnSwing,
               float rowSwing, float columnRate, float rowRate, float t);

constexpr int cameraKeyCount = 7;
// The show times of the camera's keys for a flight that starts at `start`.
void cameraKeyTimes(float start, float* times);
// The camera's x and z at show time t: between the two keys around t, linearly; held at the
// first or last key outside them.
void cameraPosition(float t, float start, float& x, float& z);
