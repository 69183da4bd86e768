#include "effects/envobjects.h"

#include <algorithm>
#include <cmath>

#include "assets/picture.h"
#include "effects/effects.h"
#include "geometry/mesh.h"
#include "geometry/tubes.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

namespace {

// What one set-up loads: the reflected picture, the picture laid over it and the height map.
struct Landscape {
    Texture* picture = nullptr;
    Texture* overlay = nullptr;
    uint8_t* heightMap = nullptr;
};

// The show runs two set-ups; the second one's landscape is the one drawn.
Landscape landscapes[2];
int landscapeCount = 0;
HeightGrid* grid = nullptr;

const float keyTimes[cameraKeyCount] = {82, 88, 89, 94, 127, 128, 148};
const float keyX[cameraKeyCount] = {0, -530, 0, 30, -330, 300, 400};
const float keyZ[cameraKeyCount] = {400, 0, -3500, -5300, -6300, -5800, -5800};

int nearest(double value) { return int(std::nearbyint(value)); }

// Each grid square as two triangles with flat normals, every vertex in its own colour.
void drawGrid(const HeightGrid& g) {
    auto corner = [&](int row, int column) {
        const uint8_t* c = g.colour(row, column);
        const float* v = g.vertex(row, column);
        glColor4ub(c[0], c[1], c[2], c[3]);
        glVertex3f(v[0], v[1], v[2]);
    };
    auto normal = [](const float* p, const float* q) {
        Vec3 n = cross({p[0], p[1], p[2]}, {q[0], q[1], q[2]});
        glNormal3f(n.x, n.y, n.z);
    };
    for (int j = 0; j + 1 < g.rows; ++j)
        for (int i = 0; i + 1 < g.columns; ++i) {
            normal(g.vertex(j, i), g.vertex(j, i + 1));
            corner(j + 1, i);
            corner(j, i + 1);
            corner(j, i);
            normal(g.vertex(j + 1, i), g.vertex(j + 1, i + 1));
            corner(j + 1, i + 1);
            corner(j, i + 1);
            corner(j + 1, i);
            facesDrawn += 2;
        }
}

}  // namespace

HeightGrid::HeightGrid() : vertices(new float[size_t(capacity) * 4]()), colours(new uint8_t[size_t(capacity) * 4]()) {}

HeightGrid::~HeightGrid() {
    delete[] vertices;
    delete[] colours;
}

void buildGrid(HeightGrid& g, const uint8_t* heightMap, int baseColumns, int baseRows, float columnSwing,
               float rowSwing, float columnRate, float rowRate, float t) {
    const int columns = nearest(std::sin(double(t) * columnRate) * columnSwing + baseColumns);
    const int rows = nearest(std::sin(double(t) * rowRate) * rowSwing + baseRows);
    g.count = g.columns = g.rows = 0;
    if (columns < 2 || rows < 2 || columns * rows > HeightGrid::capacity) return;
    g.columns = columns;
    g.rows = rows;
    float* v = g.vertices;
    uint8_t* c = g.colours;
    for (int i = 0; i < rows; ++i) {
        const int rowStart = (nearest(double(t) * 54.0 + i * 255.0 / (rows - 1)) % 255) * 256;
        const float u = float(i) / float(rows - 1);
        for (int j = 0; j < columns; ++j) {
            const float h = heightMap[nearest(double(t) * 64.0 + j * 255.0 / (columns - 1)) % 255 + rowStart];
            const float across = float(j) / float(columns - 1);
            v[0] = across * 6000.0f - 3000.0f;
            v[1] = h * 10.0f - 2333.0f;
            v[2] = u * 6000.0f - 3000.0f;
            v[3] = h / 255.0f;
            const uint8_t grey = uint8_t(nearest(h * 0.5 + 127.0));
            c[0] = c[1] = c[2] = grey;
            c[3] = 155;
            v += 4;
            c += 4;
        }
    }
    g.count = rows * columns;
}

void cameraKeyTimes(float start, float* times) {
    for (int k = 0; k < cameraKeyCount; ++k) times[k] = keyTimes[k] - start;
}

void cameraPosition(float t, float start, float& x, float& z) {
    float times[cameraKeyCount];
    cameraKeyTimes(start, times);
    int k = 0;
    while (k < cameraKeyCount - 2 && t >= times[k + 1]) ++k;
    const float u = std::clamp((t - times[k]) / (times[k + 1] - times[k]), 0.0f, 1.0f);
    x = u * keyX[k + 1] + (1.0f - u) * keyX[k];
    z = u * keyZ[k + 1] + (1.0f - u) * keyZ[k];
}

void setupEnvObjects(const char* picture, const char* overlay, const char* heightMap) {
    Landscape& landscape = landscapes[std::min(landscapeCount, 1)];
    landscapeCount = std::min(landscapeCount + 1, 2);
    landscape.picture = loadTexture(picture, GL_RGB, false);
    landscape.overlay = loadTexture(overlay, GL_RGB, false);
    landscape.heightMap = loadHeightMap(heightMap);
    // Each set-up makes the pools anew; the last one's are the ones drawn.
    delete grid;
    grid = new HeightGrid;
    buildGrid(*grid, landscape.heightMap, 30, 30, 28, 28, 0.953f, 0.954f, showTime);
}

void effectEnvObjects(float start) {
    if (!grid) return;
    const Landscape& landscape = landscapes[landscapeCount - 1];
    const float t = showTime;
    buildGrid(*grid, landscape.heightMap, 24, 24, 14, 14, 0.853f, 0.9854f, t);

    const double aspect = double(demoWindow->height) / double(demoWindow->width);
    const double halfWidth = double(2.9f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-halfWidth, halfWidth, -halfWidth * aspect, halfWidth * aspect, 1.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_FLAT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);

    float x, z;
    cameraPosition(t, start, x, z);
    const Vec3 eye = {float(std::sin(0.4 * t) * 50.0 + x + 300.0), float(std::sin(0.3 * t) * 600.0 + 860.0),
                      z + 1800.0f};
    const Vec3 target = {0.0f, 1100.0f, 0.0f};
    lookAt(viewMatrix, eye, target, 0.0f);
    glLoadMatrixf(viewMatrix);
    glRotatef(60.0f, 1.0f, 0.0f, 0.0f);

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_NORMALIZE);
    glBindTexture(GL_TEXTURE_2D, landscape.picture->glName);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    glDepthFunc(GL_LEQUAL);
    glBegin(GL_TRIANGLES);
    glColor4ub(255, 255, 255, 255);
    drawGrid(*grid);
    glEnd();

    glBindTexture(GL_TEXTURE_2D, landscape.overlay->glName);
    glShadeModel(GL_FLAT);
    buildGrid(*grid, landscape.heightMap, 40, 40, 10, 10, 2.853f, 2.9854f, t);
    lookAt(viewMatrix, eye, target, 0.0f);
    glLoadMatrixf(viewMatrix);
    glScalef(1.25f, 1.25f, 1.25f);
    glRotatef(60.0f, 1.0f, 0.0f, 0.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);
    glBegin(GL_TRIANGLES);
    drawGrid(*grid);
    glEnd();

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_NORMALIZE);
}
