// The tube group effects: each frame the group's tube is regenerated and deformed twice with
// parameters that follow the show time, and the mesh is drawn several times, each copy scaled
// and turned against the one before, textured and blended additively.
#include "effects/tubegroups.h"

#include <cmath>

#include "assets/picture.h"
#include "effects/effects.h"
#include "effects/view.h"
#include "geometry/tubes.h"
#include "shell/glbinding.h"

namespace {

// A group's stages in the order they were attached: the generator, then two deformers.
struct GroupStages {
    TubeGenerator* generator;
    SurfaceDeformer* first;
    SurfaceDeformer* second;
};

GroupStages stagesOf(TubeGroup* group) {
    MeshStage* generator = group->firstChild;
    MeshStage* first = generator ? generator->next : nullptr;
    MeshStage* second = first ? first->next : nullptr;
    return {static_cast<TubeGenerator*>(generator), static_cast<SurfaceDeformer*>(first),
            static_cast<SurfaceDeformer*>(second)};
}

void startTubeDrawing(Texture* picture) {
    setPerspectiveView();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glBindTexture(GL_TEXTURE_2D, picture->glName);
}

void finishTubeDrawing() {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(1.0f);
    glEnable(GL_BLEND);
}

}  // namespace

void configureTubeGroup1(float t) {
    GroupStages stages = stagesOf(tubeGroup1);
    TubeGenerator& generator = *stages.generator;
    generator.length = 500.0f;
    generator.radius = 80.0f;
    generator.rings = 40;
    generator.segments = 40;
    SurfaceDeformer& disp = *stages.first;     // "disp2.raw"
    SurfaceDeformer& wave = *stages.second;    // "wave1.raw"
    wave.recomputeNormals = false;
    wave.offsetU = 32.0f * t;
    wave.offsetV = 53.0f * t;
    wave.amplitude = 114.0f;
    wave.scaleU = float(std::fabs(3.0 * std::sin(0.1 * t)));
    wave.scaleV = float(std::fabs(10.0 * std::cos(0.16 * t)));
    disp.recomputeNormals = false;
    disp.scaleU = float(std::fabs(10.0 * std::sin(0.1 * t)));
    disp.scaleV = float(std::fabs(3.0 * std::cos(0.16 * t)));
}

void configureTubeGroup2(float t) {
    GroupStages stages = stagesOf(tubeGroup2);
    TubeGenerator& generator = *stages.generator;
    generator.length = 400.0f;
    generator.radius = 35.0f;
    generator.rings = 40;
    generator.segments = 20;
    SurfaceDeformer& wave = *stages.first;     // "wave1.raw"
    SurfaceDeformer& twirl = *stages.second;   // "twirlb.raw"
    twirl.recomputeNormals = false;
    twirl.scaleU = 4.0f;
    twirl.scaleV = 3.0f;
    wave.recomputeNormals = false;
    wave.offsetU = 42.0f * t;
    wave.offsetV = 63.0f * t;
    wave.amplitude = 223.0f;
    wave.scaleU = 2.0f;
    wave.scaleV = 1.0f;
}

void effectTubeGroup1(float t, Texture* picture) {
    startTubeDrawing(picture);
    configureTubeGroup1(t);
    tubeGroup1->reset(int(t));
    tubeGroup1->update();

    glTranslatef(0.0f, 0.0f, -700.0f);
    glRotatef(32.0f * t, 0.0f, 1.0f, 1.0f);
    glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glColor4f(1.0f, 1.0f, 1.0f, 0.81f);

    // Shaded by the height the last deformer gave each vertex: bright at the first corner,
    // fainter at the second, half as bright at the third.
    const Mesh& mesh = *tubeGroup1->currentMesh;
    const uint16_t* faces = mesh.faces->indices;
    const int faceCount = mesh.faces->count;
    const float* vertices = mesh.vertices->items;
    const float* normals = mesh.faceNormals->items;
    const float* coordinates = (*mesh.textureCoordinates)->items;
    for (int pass = 0; pass < 6; ++pass) {
        glBegin(GL_TRIANGLES);
        for (int f = 0; f < faceCount; ++f) {
            const float* a = &vertices[faces[f * 3] * 4];
            const float* b = &vertices[faces[f * 3 + 1] * 4];
            const float* c = &vertices[faces[f * 3 + 2] * 4];
            const float* ta = &coordinates[faces[f * 3] * 4];
            const float* tb = &coordinates[faces[f * 3 + 1] * 4];
            const float* tc = &coordinates[faces[f * 3 + 2] * 4];
            const float* n = &normals[f * 4];
            glColor4f(a[3], a[3], a[3], 0.9f);
            glNormal3f(n[0], n[1], n[2]);
            glTexCoord2f(ta[0], ta[1]);
            glVertex3f(a[0], a[1], a[2]);
            glColor4f(b[3], b[3], b[3], 0.31f);
            glTexCoord2f(tb[0], tb[1]);
            glVertex3f(b[0], b[1], b[2]);
            glColor4f(c[3] / 2.0f, c[3] / 2.0f, c[3] / 2.0f, 0.531f);
            glTexCoord2f(tc[0], tc[1]);
            glVertex3f(c[0], c[1], c[2]);
        }
        glEnd();
        glScalef(0.8f, 0.8f, 0.8f);
        glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
    }
    finishTubeDrawing();
}

void effectTubeGroup2(float t, Texture* picture, float start) {
    startTubeDrawing(picture);
    configureTubeGroup2(t);
    tubeGroup2->reset(int(t));
    tubeGroup2->update();

    // The copies sink from 500 to 100 over the first 6.25 s.
    const float q = std::fmin(std::fmax((t - start) * 0.16f, 0.0f), 1.0f);
    const float y = 500.0f - 400.0f * q;
    glShadeModel(GL_FLAT);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDepthMask(GL_FALSE);
    const float a1 = float(30.0 * std::sin(0.2 * t));
    const float a2 = float(40.0 * std::sin(0.3 * t + 234234.0));
    const float a3 = float(40.0 * std::sin(0.4 * t + 2314234.0));

    const Mesh& mesh = *tubeGroup2->currentMesh;
    const uint16_t* faces = mesh.faces->indices;
    const int faceCount = mesh.faces->count;
    const float* vertices = mesh.vertices->items;
    const float* normals = mesh.faceNormals->items;
    const float* coordinates = (*mesh.textureCoordinates)->items;
    for (int copy = 0; copy < 3; ++copy) {
        glLoadIdentity();
        if (copy == 0) {
            glTranslatef(float(30.0 * std::sin(t)), y, -700.0f);
        } else if (copy == 1) {
            glTranslatef(-430.0f, y, float(340.0 * std::sin(0.74 * t) - 1200.0));
            glRotatef(10.0f * t, 1.0f, 0.0f, 0.0f);
        } else {
            glTranslatef(630.0f, y, float(500.0 * std::sin(0.64 * t) - 1500.0));
        }
        glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
        glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
        for (int pass = 0; pass < 5; ++pass) {
            glBegin(GL_TRIANGLES);
            for (int f = 0; f < faceCount; ++f) {
                const float* n = &normals[f * 4];
                glColor4f(1.0f, 1.0f, 1.0f, 0.159f);
                glNormal3f(n[0], n[1], n[2]);
                for (int corner = 0; corner < 3; ++corner) {
                    const int index = faces[f * 3 + corner] * 4;
                    glTexCoord2f(coordinates[index], coordinates[index + 1]);
                    glVertex3f(vertices[index], vertices[index + 1], vertices[index + 2]);
                }
            }
            glEnd();
            glScalef(0.9f, 0.9f, 0.9f);
            glRotatef(a1, 1.0f, 0.0f, 0.0f);
            glRotatef(a2, 0.0f, 1.0f, 0.0f);
            glRotatef(a3, 0.0f, 0.0f, 1.0f);
        }
    }
    finishTubeDrawing();
    glDepthMask(GL_TRUE);
}
