// The height field's grid and camera path.
#include <gtest/gtest.h>

#include <vector>

#include "effects/envobjects.h"

namespace {

// A map whose sample is its column in row 0 and 200 + row elsewhere in column 0; row 255 and
// column 255 hold 255, which the grid must never read.
std::vector<uint8_t> markedMap() {
    std::vector<uint8_t> map(256 * 256, 0);
    for (int x = 0; x < 255; ++x) map[x] = uint8_t(x % 200);
    for (int y = 1; y < 255; ++y) map[y * 256] = uint8_t(200 + y % 50);
    for (int i = 0; i < 256; ++i) map[255 * 256 + i] = map[i * 256 + 255] = 255;
    return map;
}

TEST(GlintHeightField, AtTheStartTheGridsAre24And40Square) {
    std::vector<uint8_t> map = markedMap();
    HeightGrid grid;
    buildGrid(grid, map.data(), 24, 24, 14, 14, 0.853f, 0.9854f, 0.0f);
    EXPECT_EQ(grid.columns, 24);
    EXPECT_EQ(grid.rows, 24);
    EXPECT_EQ(grid.count, 576);
    buildGrid(grid, map.data(), 40, 40, 10, 10, 2.853f, 2.9854f, 0.0f);
    EXPECT_EQ(grid.columns, 40);
    EXPECT_EQ(grid.rows, 40);
    buildGrid(grid, map.data(), 30, 30, 28, 28, 0.953f, 0.954f, 0.0f);
    EXPECT_EQ(grid.count, 900);
}

TEST(GlintHeightField, TheGridBreathes) {
    std::vector<uint8_t> map = markedMap();
    HeightGrid grid;
    // sin(t x 0.853) = 1 and sin(t x 0.9854) near -1 at these moments.
    const float top = 1.5707963f / 0.853f;
    buildGrid(grid, map.data(), 24, 24, 14, 14, 0.853f, 0.9854f, top);
    EXPECT_EQ(grid.columns, 38);
    const float bottom = 3.0f * 1.5707963f / 0.9854f;
    buildGrid(grid, map.data(), 24, 24, 14, 14, 0.853f, 0.9854f, bottom);
    EXPECT_EQ(grid.rows, 10);
    EXPECT_EQ(grid.count, grid.rows * grid.columns);
}

TEST(GlintHeightField, VerticesSpan6000UnitsWithHeightsAndGreys) {
    std::vector<uint8_t> map = markedMap();
    HeightGrid grid;
    buildGrid(grid, map.data(), 24, 24, 14, 14, 0.853f, 0.9854f, 0.0f);
    const float* first = grid.vertex(0, 0);
    EXPECT_FLOAT_EQ(first[0], -3000.0f);
    EXPECT_FLOAT_EQ(first[1], -2333.0f);   // sample 0
    EXPECT_FLOAT_EQ(first[2], -3000.0f);
    EXPECT_FLOAT_EQ(first[3], 0.0f);
    // Column 1 of 24 reads sample round(255 / 23) = 11 of row 0; x runs along the columns.
    const float* second = grid.vertex(0, 1);
    EXPECT_FLOAT_EQ(second[0], 6000.0f / 23.0f - 3000.0f);
    EXPECT_FLOAT_EQ(second[1], 11.0f * 10.0f - 2333.0f);
    EXPECT_FLOAT_EQ(second[3], 11.0f / 255.0f);
    EXPECT_EQ(grid.colour(0, 1)[0], 132);   // 11 x 0.5 + 127 = 132.5, to the even 132
    EXPECT_EQ(grid.colour(0, 1)[3], 155);
    // Row 1 reads map row 11 (column 0 holds 200 + row); z runs along the rows.
    const float* below = grid.vertex(1, 0);
    EXPECT_FLOAT_EQ(below[1], 211.0f * 10.0f - 2333.0f);
    EXPECT_FLOAT_EQ(below[2], 6000.0f / 23.0f - 3000.0f);
    EXPECT_EQ(grid.colour(1, 0)[1], 232);   // 211 x 0.5 + 127 = 232.5, to the even 232
    // The last row and column wrap round to the first: sample 255 is never read.
    const float* last = grid.vertex(23, 23);
    EXPECT_FLOAT_EQ(last[0], 3000.0f);
    EXPECT_FLOAT_EQ(last[2], 3000.0f);
    for (int i = 0; i < grid.count; ++i) ASSERT_LT(grid.vertices[i * 4 + 3], 254.5f / 255.0f) << i;
}

TEST(GlintHeightField, TheMapScrolls64ColumnsAnd54RowsASecond) {
    std::vector<uint8_t> map = markedMap();
    HeightGrid grid;
    // 64 t = 0.54 rounds to column 1, 54 t = 0.46 stays on row 0.
    buildGrid(grid, map.data(), 24, 24, 0, 0, 0.853f, 0.9854f, 0.0085f);
    EXPECT_FLOAT_EQ(grid.vertex(0, 0)[3], 1.0f / 255.0f);
    // 64 t = 255 wraps to column 0, 54 t = 215.2 is row 215 (200 + 215 mod 50 there).
    buildGrid(grid, map.data(), 24, 24, 0, 0, 0.853f, 0.9854f, 255.0f / 64.0f);
    EXPECT_FLOAT_EQ(grid.vertex(0, 0)[3], 215.0f / 255.0f);
}

TEST(GlintHeightField, TheCameraFliesBetweenItsKeys) {
    float times[cameraKeyCount];
    cameraKeyTimes(82.0f, times);
    const float expected[cameraKeyCount] = {0, 6, 7, 12, 45, 46, 66};
    for (int k = 0; k < cameraKeyCount; ++k) EXPECT_FLOAT_EQ(times[k], expected[k]) << k;
    float x, z;
    cameraPosition(3.0f, 82.0f, x, z);   // half way from the first key to the second
    EXPECT_FLOAT_EQ(x, -265.0f);
    EXPECT_FLOAT_EQ(z, 200.0f);
    cameraPosition(6.0f, 82.0f, x, z);   // on a key
    EXPECT_FLOAT_EQ(x, -530.0f);
    EXPECT_FLOAT_EQ(z, 0.0f);
    cameraPosition(100.0f, 0.0f, x, z);  // the middle section's flight: keys at 94 and 127
    EXPECT_NEAR(x, 30.0f + (-360.0f) * 6.0f / 33.0f, 1e-3f);
    EXPECT_NEAR(z, -5300.0f - 1000.0f * 6.0f / 33.0f, 1e-2f);
    cameraPosition(-1.0f, 82.0f, x, z);  // before the first key and after the last: held there
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_FLOAT_EQ(z, 400.0f);
    cameraPosition(70.0f, 82.0f, x, z);
    EXPECT_FLOAT_EQ(x, 400.0f);
    EXPECT_FLOAT_EQ(z, -5800.0f);
}

}  // namespace
