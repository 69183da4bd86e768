#include "effects/flatmesh.h"

#include <algorithm>
#include <cmath>

#include "effects/effects.h"
#include "effects/view.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

namespace {

constexpr int passes = 6;

Swarm* streamers = nullptr;

}  // namespace

Swarm::Swarm() : vertices(new float[size_t(vertexCapacity) * 4]()), triangles(new uint16_t[size_t(triangleCapacity) * 3]) {
    std::fill(triangles, triangles + size_t(triangleCapacity) * 3, uint16_t(0xFFFF));
}

Swarm::~Swarm() {
    delete[] vertices;
    delete[] triangles;
}

void generateSwarm(Swarm& swarm, const Vec3& source, const Vec3& target, const Vec3& direction, float t) {
    const Vec3 span = subtract(target, source);
    RuntimeRandom random;
    random.seed(1);
    for (int i = 0; i < swarmTriangles; ++i) {
        if (swarm.vertexCount + 3 > Swarm::vertexCapacity || swarm.triangleCount >= Swarm::triangleCapacity) return;
        float r1 = random.unit();
        float r2 = random.unit() - 0.5f;
        float r3 = random.unit();
        float x = source.x + span.x * r1, y = source.y + span.y * r2, z = source.z + span.z * r3;
        float outer = float(std::sin(0.04 * i + t) * 400.0 + 100.0);
        float inner = float(std::sin(0.2 * i + 4.0 * t) * 500.0);
        float fin = (random.unit() - 0.5f) * float(std::sin(0.3 * t) * 15.0 + 40.0);
        const Vec3 corners[3] = {
            {x + inner * direction.x, y + inner * direction.y, z + inner * direction.z},
            {x + outer * direction.x, y + outer * direction.y, z + outer * direction.z},
            {x + outer * direction.x, y + outer * direction.y + fin * direction.z,
             z + outer * direction.z + 2.4f * fin * direction.y},
        };
        uint16_t* triangle = &swarm.triangles[swarm.triangleCount * 3];
        for (int c = 0; c < 3; ++c) {
            float* v = &swarm.vertices[swarm.vertexCount * 4];
            v[0] = corners[c].x;
            v[1] = corners[c].y;
            v[2] = corners[c].z;
            v[3] = 0.0f;
            triangle[c] = uint16_t(swarm.vertexCount++);
        }
        ++swarm.triangleCount;
    }
}

void buildStreamers(Swarm& swarm, float t) {
    swarm.clear();
    const Vec3 along = {0.0f, 0.0f, 1.0f};
    generateSwarm(swarm, {-300.0f, -360.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, along, t);
    generateSwarm(swarm, {0.0f, 0.0f, 0.0f}, {300.0f, 360.0f, 0.0f}, along, t);
}

float streamerOpacity(float t) {
    float p = std::clamp((t - 56.0f) * 0.15f, 0.0f, 1.0f);
    if (157.0f < t && t < 194.5f) p *= 0.21f;
    return p;
}

void setupFlatMesh() {
    if (!streamers) streamers = new Swarm;
}

void effectFlatMesh() {
    if (!streamers) return;
    const float t = showTime;
    buildStreamers(*streamers, t);

    setPerspectiveView();
    glShadeModel(GL_SMOOTH);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const float a = 0.12f * t;
    lookAt(viewMatrix, {float(std::sin(a) * 180.0), 0.0f, float(std::sin(0.58 * a) * 100.0 - 360.0)},
           {0.0f, -30.0f, 0.0f}, a);
    glLoadMatrixf(viewMatrix);
    glTranslatef(0.0f, -100.0f, 0.0f);
    glRotatef(a * 30.0f, 1.0f, 0.0f, 0.0f);

    const float opacity = streamerOpacity(t);
    RuntimeRandom random;
    random.seed(1);
    const float* pool = streamers->vertices;
    const uint16_t* triangles = streamers->triangles;
    const int count = streamers->triangleCount;
    for (int pass = 0; pass < passes; ++pass) {
        if (random.next() > 2046) glColor4f(0.0f, 0.0f, 0.0f, 0.51f);
        else glColor4f(0.7411765f, 0.3137255f, 0.1137255f, opacity);
        glBegin(GL_TRIANGLES);
        for (int i = 0; i < count * 3; ++i) {
            const float* v = &pool[triangles[i] * 4];
            glVertex3f(v[0], v[1], v[2]);
        }
        glEnd();
        facesDrawn += count;
        glRotatef(float(std::sin(0.3 * count + a) * 13.0 + 35.0), 1.0f, 0.0f, 1.0f);
    }
}
