#include "geometry/runscene.h"

#include <algorithm>
#include <cmath>

#include "assets/picture.h"
#include "effects/effects.h"
#include "geometry/mesh.h"
#include "scene/matrix.h"
#include "scene/scene.h"
#include "shell/glbinding.h"

RunSceneHolder* runSceneHolder = nullptr;
StreamerSet* streamerSet = nullptr;

StreamerSet::StreamerSet() {
    const float dark[3] = {0.3019608f, 0.043137256f, 0.003921569f};
    const float darkStep[3] = {0.69803923f, 0.30980393f, 0.043137256f};
    const float bright[3] = {1.0f, 0.3529412f, 0.047058824f};
    const float brightStep[3] = {0.60784316f - 1.0f, 0.74509805f - 0.3529412f, 0.87058824f - 0.047058824f};
    for (int i = 0; i < 32; ++i)
        for (int c = 0; c < 3; ++c) {
            colours[i][c] = dark[c] + float(i) * darkStep[c] / 32.0f;
            colours[32 + i][c] = bright[c] + float(i) * brightStep[c] / 32.0f;
        }
}

void setStreamerKeys(StreamerSet& set, int i, float g) {
    const float o = 5.0f * std::cos(0.3f * float(i));
    const float v = 4.0f * std::sin(0.3f * float(i));
    const float z = 45.0f * float(i / 2) - 45.0f * float(i);
    const float positions[5][2] = {
        {110 * std::cos(0.8f * g + o) * std::sin(g) - 100, 180 * std::sin(0.9f * g + v) * std::cos(1.8f * g) - 100},
        {110 * std::cos(1.12f * g + o) * std::sin(1.4f * g) - 100, 180 * std::sin(0.85f * g + v) * std::cos(1.7f * g) + 100},
        {110 * std::cos(1.44f * g + o) * std::sin(1.8f * g) + 100, 180 * std::cos(1.6f * g) * std::sin(v + 0.8f * g) + 100},
        {110 * std::cos(1.76f * g + o) * std::sin(2.2f * g) + 100, 180 * std::sin(0.75f * g + v) * std::cos(1.5f * g) - 100},
        {110 * std::cos(2.08f * g + o) * std::sin(2.6f * g) - 100, 180 * std::sin(0.7f * g + v) * std::cos(1.4f * g) - 100},
    };
    for (int k = 0; k < 5; ++k) {
        VectorKey& key = set.path.keys[size_t(k)];
        key = VectorKey{};
        key.frame = float(k);
        key.value[0] = positions[k][0];
        key.value[1] = positions[k][1];
        key.value[2] = z;
    }
}

void jitterStep(float& phase, float& x, float& y) {
    float a1 = phase + 125734.0f;
    float a2 = a1 + 125734.0f;
    float a3 = a2 + 125734.0f;
    phase = a3;
    x = 80.0f * (std::fabs(std::cos(2.0f * a3) * std::sin(a3)) - 0.5f);
    y = 80.0f * (std::fabs(std::cos(2.0f * a2) * std::sin(a2)) - 0.5f);
}

void createStreamerSet() { streamerSet = new StreamerSet; }

void createRunSceneHolder() {
    runSceneHolder = new RunSceneHolder;
    Scene* scene = new Scene("nowheretorun.exp");
    scene->load();
    if (!scene->materials.empty()) scene->materials.front()->flags &= ~materialColours;
    runSceneHolder->scene = scene;
    runSceneHolder->textures[1] = loadTexture("yellowshitred.jpg", GL_RGB, false);
    runSceneHolder->textures[2] = loadTexture("sotku2.jpg", GL_RGB, false);
    runSceneHolder->textures[3] = loadTexture("sc2.jpg", GL_RGB, false);
}

void destroyRunScene() {
    if (runSceneHolder) delete runSceneHolder->scene;
    delete runSceneHolder;
    runSceneHolder = nullptr;
    delete streamerSet;
    streamerSet = nullptr;
}

namespace {

void runScenePart(RunSceneHolder& holder, float lt, int variant, float rate) {
    Scene& scene = *holder.scene;
    Material* first = scene.materials.empty() ? nullptr : scene.materials.front().get();
    if (first && variant >= 1 && variant <= 3) first->texture = holder.textures[variant];
    sceneDisplay.fade = rate;
    sceneDisplay.textureOffset = true;
    sceneDisplay.textureRotation = true;
    sceneDisplay.textureRotationSpeed = 24.0f;

    const float wander = std::sin(0.11f * lt) + std::cos(0.03f * lt);
    const float e = std::min(lt, 1.0f);
    for (size_t k = 0; k < scene.meshes.size(); ++k) {
        float p = float(k) * 2.91f * wander;
        float s[16], r[16];
        scaling(e, e, e, s);
        s[14] = 250.0f * std::sin(lt + 0.073f * p);
        rotationZ(0.3f * p + 0.6f * lt, r);
        Transform& transform = scene.meshes[k]->transform;
        transform.extraMode = 2;
        multiply(r, s, transform.extra);
    }
    scene.update(lt * 10.0f);
    scene.draw();
    if (first) first->offsetU = 0.22f * lt;
    if (scene.drawBoundingBoxes && scene.descriptionDrawsBoxes) scene.boundingBoxOverlay();

    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
}

void runStreamers(StreamerSet& set, float lt) {
    set.phase = 0.91f * lt;
    float g = 0.91f * lt;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.5, 0.5, -0.375, 0.375, 1.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -350.0f);
    glRotatef(360.0f + 20.0f * std::sin(0.21f * lt), 1.0f, 0.0f, 0.0f);
    glRotatef(360.0f + 20.0f * std::sin(0.2113f * lt + 0.3f), 0.0f, 1.0f, 0.0f);

    glLineWidth(3.0f);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i < set.streamers; ++i) {
        g += 0.01f;
        const float* colour = set.colours[2 * i];
        glColor4f(colour[0], colour[1], colour[2], 0.1f);
        setStreamerKeys(set, i, g);
        set.path.prepare();
        const float last = set.path.keys.back().frame;
        const float step = last / float(set.segments);
        set.path.evaluate(0.0f);
        float a[3] = {set.path.value[0], set.path.value[1], set.path.value[2]};
        for (float t = step; t < last; t += step) {
            set.path.evaluate(t);
            const float* b = set.path.value;
            for (int j = 0; j < set.jitters; ++j) {
                float jx, jy;
                jitterStep(set.phase, jx, jy);
                glVertex3f(a[0] + jx, a[1] + jy, a[2]);
                glVertex3f(b[0] + jx, b[1] + jy, b[2]);
            }
            a[0] = b[0];
            a[1] = b[1];
            a[2] = b[2];
        }
    }
    glEnd();
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
}

}  // namespace

void effectRunScene(float localTime, int variant, float rate) {
    if (runSceneHolder) runScenePart(*runSceneHolder, localTime, variant, rate);
    if (streamerSet) runStreamers(*streamerSet, localTime);
}
