#include "effects/billboards.h"

#include <cmath>

#include "assets/picture.h"
#include "effects/effects.h"
#include "effects/view.h"
#include "geometry/mesh.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"
#include "shell/timeline.h"

namespace {

BlobField* field = nullptr;

// (1 - d / radius)^2 x strength inside the radius, 0 outside.
float contribution(const float* p, const FieldSource& source, float strength) {
    float dx = p[0] - source.x, dy = p[1] - source.y, dz = p[2] - source.z;
    float squared = dx * dx + dy * dy + dz * dz;
    if (squared >= source.radius * source.radius) return 0.0f;
    float d = std::sqrt(squared);
    float falloff = 1.0f - d / source.radius;
    return falloff * falloff * strength;
}

}  // namespace

BlobField::BlobField() : points(size_t(pointCount) * 4, 0.0f) {
    float* p = points.data();
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            for (int k = 0; k < side; ++k) {
                p[0] = 100.0f * float(k) / float(side) - 50.0f;
                p[1] = 100.0f * float(j) / float(side) - 50.0f;
                p[2] = 100.0f * float(i) / float(side) - 50.0f;
                p += 4;
            }
    sources[0] = {-45.0f, 0.0f, 0.0f, 40.0f, 6.0f};
    sources[1] = {45.0f, 0.0f, 0.0f, 40.0f, 6.0f};
    sources[2] = {45.0f, 0.0f, 0.0f, 40.0f, 6.0f};
    sources[3] = {45.0f, 0.0f, 0.0f, 30.0f, 65.0f};
}

void BlobField::update(float t) {
    const double u = double(t) + 7.0, v = double(t) + 17.0;
    FieldSource& a = sources[0];
    a.x = float(std::sin(0.41 * t) * 40.0);
    a.y = float(std::cos(0.61 * t) * 40.0);
    a.z = float(std::sin(0.21 * t) * 50.0);
    a.strength = float(std::sin(2.21 * t) * 36.0 + 48.0);
    FieldSource& b = sources[1];
    b.x = float(std::sin(0.051 * u) * 40.0);
    b.y = float(std::cos(0.021 * u) * 40.0);
    b.z = float(std::sin(0.321 * u) * 40.0);
    b.strength = float(std::sin(0.61 * (double(t) - 123.0)) * 17.0 + 38.0);
    FieldSource& c = sources[2];
    c.x = float(std::sin(0.2151 * v) * 30.0);
    c.y = float(std::cos(0.321 * v) * 30.0);
    c.z = float(std::sin(0.0521 * v) * 30.0);
    c.strength = 38.0f;
    FieldSource& d = sources[3];
    d.x = float(std::sin(1.0151 * (double(t) + 117.0)) * 50.0);
    d.y = float(std::cos(1.0221 * (double(t) + 17.0)) * 50.0);
    d.z = float(std::cos(1.4321 * (double(t) + 7.0)) * 50.0);
    d.strength = 48.0f;

    for (float* p = points.data(), *end = p + points.size(); p < end; p += 4) {
        float value = contribution(p, a, a.strength) + contribution(p, b, b.strength);
        value += contribution(p, c, 38.0f);
        value += contribution(p, d, 48.0f);
        p[3] = value - 2.0f;
    }
}

bool billboardDrawn(float value) { return std::nearbyint(billboardHalfSize(value)) > 0.21f; }

void setupBillboards() {
    if (!field) field = new BlobField;
}

void effectBillboards() {
    if (!field) return;
    const float t = showTime;
    setPerspectiveView();   // 640 x 480: from -0.375 to 0.375 up and down
    glTranslatef(0.0f, 0.0f, -100.0f);
    glRotatef(t * 10.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(t * 10.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(t * 10.0f, 0.0f, 0.0f, 1.0f);

    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
    glEnable(GL_POINT_SMOOTH);
    glColor4f(1.0f, 0.91f, 0.892f, 0.074f);

    field->update(t);

    // The squares are built in eye space, so they always face the viewer.
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, showTextures[TextureDot]->glName);
    glBegin(GL_QUADS);
    for (const float* p = field->points.data(), *end = p + field->points.size(); p < end; p += 4) {
        if (!billboardDrawn(p[3])) continue;
        const float s = billboardHalfSize(p[3]);
        float e[3];
        transformPoint(modelview, p, e);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(e[0] - s, e[1] - s, e[2]);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(e[0] - s, e[1] + s, e[2]);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(e[0] + s, e[1] + s, e[2]);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(e[0] + s, e[1] - s, e[2]);
    }
    glEnd();
}
