#include "scene/scene.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assets/archive.h"
#include "assets/picture.h"
#include "geometry/mesh.h"
#include "scene/descriptionreader.h"
#include "scene/exportreader.h"
#include "scene/matrix.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

SceneDisplayState sceneDisplay;

namespace {

// Ends the show over a scene member that cannot be used, the way a missing member does.
[[noreturn]] void refuse(const std::string& member, const std::string& reason) {
    std::string text = member + ": " + reason;
    MessageBoxA(nullptr, text.c_str(), "broken scene", MB_ICONERROR);
    std::exit(0);
}

float length3(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// The 12 edges of a box whose corner i takes the maximum or minimum on each axis by bit.
constexpr int boxEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                 {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

}  // namespace

std::vector<uint8_t> readWholeMember(const char* name) {
    MemberData data{};
    if (!readMember(name, &data)) {
        MessageBoxA(nullptr, name, "file not found", MB_ICONERROR);
        std::exit(0);
    }
    std::vector<uint8_t> bytes(data.data, data.data + data.size);
    std::free(data.data);
    return bytes;
}

void blendFactors(int mode, GLenum& source, GLenum& destination) {
    switch (mode) {
    case 1: source = GL_SRC_ALPHA; destination = GL_ONE; break;
    case 2: source = GL_DST_ALPHA; destination = GL_ONE; break;
    case 3: source = GL_ONE_MINUS_SRC_ALPHA; destination = GL_ONE; break;
    default: source = GL_SRC_ALPHA; destination = GL_ONE_MINUS_SRC_ALPHA; break;
    }
}

void Material::recomputeFlags() {
    flags = materialColours;
    if (texture) flags |= materialTextured;
    if (reflection) flags |= materialReflective;
}

void Camera::setFieldOfView(float radians) {
    fieldOfView = radians;
    double half = double(radians) * 57.295779512896175 * 0.5 * 0.01745329252;
    double cotangent = 1.0 / std::tan(half);
    screenScaleX = float(cotangent * screenWidth * 0.5);
    screenScaleY = float(cotangent * screenHeight * 0.5 / aspect);
}

Scene::Scene(const char* name) : fileName(name) {}

Scene::~Scene() = default;

Scene::Kind Scene::kindOf(const char* name) {
    static const struct {
        const char* extension;
        Kind kind;
    } kinds[] = {{"asc", Asc}, {"ase", Ase}, {"exp", Exp}, {"lws", Lws}};
    size_t length = strnlen(name, 32);
    for (size_t i = 0; i < length; ++i) {
        if (name[i] != '.') continue;
        for (const auto& k : kinds)
            if (std::strncmp(name + i + 1, k.extension, 3) == 0) return k.kind;
    }
    return None;
}

Scene::Kind Scene::load() {
    kind = kindOf(fileName.c_str());
    std::vector<uint8_t> bytes = readWholeMember(fileName.c_str());
    if (kind == Exp) {
        ExportReader reader;
        if (reader.read(*this, bytes.data(), bytes.size())) refuse(fileName, reader.error());
    } else if (kind == Lws) {
        SceneDescriptionReader reader;
        if (reader.read(*this, reinterpret_cast<const char*>(bytes.data()), bytes.size())) refuse(fileName, reader.error());
    }
    return kind;
}

Material* Scene::findMaterial(const char* name) {
    for (auto& material : materials)
        if (compareNamesIgnoringCase(material->name.c_str(), name) == 0) return material.get();
    return nullptr;
}

MeshObject* Scene::findMesh(const std::string& lowerName) {
    for (auto& mesh : meshes)
        if (mesh->name == lowerName) return mesh.get();
    return nullptr;
}

void Scene::setTextureOffsetU(const char* material, float offset) {
    if (Material* m = findMaterial(material)) m->offsetU = offset;
}

void Scene::play(float seconds) {
    update(seconds * 30.0f);
    draw();
    if (drawNormals) normalsOverlay();
    if (drawBoundingBoxes && descriptionDrawsBoxes) boundingBoxOverlay();
}

// --- Update -------------------------------------------------------------------------------

void Scene::update(float time) {
    animate(time);
    if (!cameras.empty()) applyProjection(*cameras.front());
}

void Scene::animate(float time) {
    const float t = time * rate;
    Camera* camera = cameras.empty() ? nullptr : cameras.front().get();
    if (camera) updateCamera(*camera, t);
    if (!lights.empty()) lights.front()->transform.update(t);
    for (auto& material : materials) {
        Material& m = *material;
        if (m.colour1Track) {
            m.colour1Track->evaluate(t);
            std::memcpy(m.colour1, m.colour1Track->value, sizeof m.colour1);
        }
        if (m.diffuseTrack) {
            m.diffuseTrack->evaluate(t);
            std::memcpy(m.diffuse, m.diffuseTrack->value, sizeof m.diffuse);
        }
        if (m.colour3Track) {
            m.colour3Track->evaluate(t);
            std::memcpy(m.colour3, m.colour3Track->value, sizeof m.colour3);
        }
        if (m.opacityEnvelope) {
            m.opacityEnvelope->evaluateLinear(t);
            m.opacity = m.opacityEnvelope->value;
        }
        if (m.offsetUEnvelope) {
            m.offsetUEnvelope->evaluate(t);
            m.offsetU = -m.offsetUEnvelope->value;
        }
        if (m.offsetVEnvelope) {
            m.offsetVEnvelope->evaluate(t);
            m.offsetV = m.offsetVEnvelope->value;
        }
    }
    for (auto& item : nullObjects) item->transform.update(t);
    for (auto& mesh : meshes) {
        mesh->transform.update(t);
        mesh->visible = false;
        if (!camera) continue;
        multiply(mesh->world, camera->view, mesh->modelview);
        for (int i = 0; i < 8; ++i) transformPoint(mesh->modelview, mesh->boxCorners[i], mesh->eyeCorners[i]);
        mesh->visible = true;
        lightMesh(*mesh);
    }
}

void Scene::updateCamera(Camera& camera, float time) {
    if (camera.target) camera.target->transform.update(time);
    camera.transform.update(time);

    if (camera.described) {
        camera.position[0] = camera.motionMatrix[12];
        camera.position[1] = camera.motionMatrix[13];
        camera.position[2] = camera.motionMatrix[14];
        float flip[16], flipped[16];
        setIdentity(flip);
        flip[5] = -1;
        multiply(flip, camera.motionMatrix, flipped);
        invertMatrix(flipped, camera.view);   // a singular motion keeps the previous view
        float angle = std::atan(camera.zoom);
        if (angle != 0) camera.frustum[1] = 0.01f / angle;
        camera.frustum[0] = -camera.frustum[1];
        camera.frustum[2] = -camera.frustum[1] * 0.75f;
        camera.frustum[3] = camera.frustum[1] * 0.75f;
        camera.frustum[4] = 0.01f;
        camera.frustum[5] = 10000.0f;
        return;
    }

    // Looking from the camera's position track to its target's, parents aside.
    float from[3] = {}, to[3] = {};
    if (camera.transform.position) std::memcpy(from, camera.transform.position->value, sizeof from);
    std::memcpy(camera.position, from, sizeof from);
    if (camera.target) {
        if (camera.target->transform.position) std::memcpy(to, camera.target->transform.position->value, sizeof to);
        float d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
        float length = length3(d);
        if (length > 0) {   // a target on the camera gives no direction: the view stays
            for (float& c : d) c /= length;
            float h = std::sqrt(d[0] * d[0] + d[1] * d[1]);
            float heading[16], pitch[16], axes[16], roll[16], view[16];
            setIdentity(heading);
            float s = h != 0 ? d[0] / h : 1.0f, c = h != 0 ? d[1] / h : 0.0f;
            heading[0] = c;
            heading[1] = s;
            heading[4] = -s;
            heading[5] = c;
            setIdentity(pitch);
            pitch[5] = h;
            pitch[6] = -d[2];
            pitch[9] = d[2];
            pitch[10] = h;
            std::memset(axes, 0, sizeof axes);
            axes[0] = 1;
            axes[6] = 1;
            axes[9] = -1;
            axes[15] = 1;
            rotationZ(camera.roll, roll);
            translation(-from[0], -from[1], -from[2], view);
            multiply(view, heading, view);
            multiply(view, pitch, view);
            multiply(view, axes, view);
            multiply(view, roll, camera.view);
        }
    }
    float t = std::tan(camera.fieldOfView * 0.5f);
    camera.frustum[0] = -t;
    camera.frustum[1] = t;
    camera.frustum[2] = -t * camera.aspect;
    camera.frustum[3] = t * camera.aspect;
    camera.frustum[4] = 1.0f;
    camera.frustum[5] = 10000.0f;
}

// The camera's frustum as the projection. Both kinds of camera build views that look along +z
// with y pointing down; the half turn about x that follows the frustum brings that view to
// OpenGL's, which looks along -z with y up.
void Scene::applyProjection(const Camera& camera) {
    const float* f = camera.frustum;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(f[0], f[1], f[2], f[3], f[4], f[5]);
    glScalef(1.0f, -1.0f, -1.0f);
    glMatrixMode(GL_MODELVIEW);
}

void Scene::lightMesh(MeshObject& mesh) {
    const Material* m = mesh.materials[0];
    float alpha = sceneDisplay.fade * (m ? m->opacity : 1.0f);
    float colour[3] = {1, 1, 1};
    if (m && !(m->flags & materialTextured)) std::memcpy(colour, m->diffuse, sizeof colour);

    float light[3] = {0, 0, -1};
    if (!lights.empty()) {
        const Light& first = *lights.front();
        const MotionController* motion =
            first.transform.controllers.empty() ? nullptr
                                                : dynamic_cast<const MotionController*>(first.transform.controllers.front().get());
        if (motion) {
            std::memcpy(light, motion->motion->values, sizeof light);
        } else if (first.transform.position) {
            std::memcpy(light, first.transform.position->value, sizeof light);
        } else {
            light[0] = light[1] = light[2] = 0;
        }
    }
    float inverse[16];
    if (invertMatrix(mesh.world, inverse)) transformPoint(inverse, light, light);

    for (DrawnVertex& v : mesh.vertices) {
        float l[3] = {light[0] - v.position[0], light[1] - v.position[1], light[2] - v.position[2]};
        float length = length3(l);
        float k = 0;
        if (length > 0) k = (v.normal[0] * l[0] + v.normal[1] * l[1] + v.normal[2] * l[2]) / length;
        v.colour[0] = k * colour[0];
        v.colour[1] = k * colour[1];
        v.colour[2] = k * colour[2];
        v.colour[3] = alpha;
    }
    mesh.shading = 0;
}

// --- Drawing ------------------------------------------------------------------------------

void Scene::draw() {
    std::vector<MeshObject*> opaque, blended;
    for (auto& mesh : meshes) {
        for (int a = 0; a < 3; ++a) {
            mesh->eyeMinimum[a] = mesh->eyeMaximum[a] = mesh->eyeCorners[0][a];
            for (int i = 1; i < 8; ++i) {
                mesh->eyeMinimum[a] = std::min(mesh->eyeMinimum[a], mesh->eyeCorners[i][a]);
                mesh->eyeMaximum[a] = std::max(mesh->eyeMaximum[a], mesh->eyeCorners[i][a]);
            }
        }
        float opacity = mesh->materials[0] ? mesh->materials[0]->opacity : 1.0f;
        (sceneDisplay.fade * opacity > 0.999f ? opaque : blended).push_back(mesh.get());
    }
    std::stable_sort(opaque.begin(), opaque.end(),
                     [](const MeshObject* a, const MeshObject* b) { return a->eyeMinimum[2] < b->eyeMinimum[2]; });
    glDepthMask(GL_TRUE);
    for (MeshObject* mesh : opaque) drawMesh(*mesh);
    glDepthMask(GL_FALSE);
    for (MeshObject* mesh : blended) drawMesh(*mesh);
    glDepthMask(GL_TRUE);
}

namespace {

void loadTextureMatrix(Material& m) {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.0f);
    if (sceneDisplay.textureOffset) glTranslatef(m.offsetU, 0.0f, 0.0f);
    if (sceneDisplay.textureRotation) glRotatef(sceneDisplay.textureRotationSpeed * showTime, 0.0f, 0.0f, 1.0f);
    glTranslatef(-0.5f, -0.5f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    m.textureMatrixLoaded = true;
}

void bindMaterial(Material& m) {
    if (m.flags & materialColours) glEnableClientState(GL_COLOR_ARRAY);
    const float alpha = sceneDisplay.fade * m.opacity;
    const bool textureMatrix =
        sceneDisplay.textureOffset || sceneDisplay.textureRotation || m.offsetU != 0 || m.offsetV != 0;
    if (m.flags & materialTextured) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, m.texture ? m.texture->glName : 0);
        glColor4f(1, 1, 1, alpha);
        if (textureMatrix) loadTextureMatrix(m);
    } else {
        if (textureMatrix) loadTextureMatrix(m);
        if (m.flags & materialReflective) {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, m.reflection ? m.reflection->glName : 0);
            glColor4f(1, 1, 1, alpha);
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glEnable(GL_TEXTURE_GEN_S);
            glEnable(GL_TEXTURE_GEN_T);
            glEnableClientState(GL_NORMAL_ARRAY);
            m.generationOn = true;
        } else {
            glDisable(GL_TEXTURE_2D);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    glEnable(GL_BLEND);
    glBlendFunc(m.blendSource, m.blendDestination);
    glColor4f(1, 1, 1, alpha);
}

void unbindMaterial(Material& m) {
    if (m.textureMatrixLoaded) {
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        m.textureMatrixLoaded = false;
    }
    if (m.generationOn) {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        m.generationOn = false;
    }
    if (m.flags & materialTextured) {
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    if (m.flags & materialReflective) {
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_NORMAL_ARRAY);
    }
}

}  // namespace

void Scene::drawMesh(MeshObject& mesh) {
    if ((mesh.flags & 1) || !mesh.visible) return;
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(mesh.modelview);
    glDepthFunc(GL_LEQUAL);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    if ((mesh.flags & 2) && mesh.displayList) {
        glCallList(mesh.displayList);
        return;
    }
    if (showTime > 230.0f) {
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glCullFace(GL_FRONT);
        glEnable(GL_CULL_FACE);
        glDisable(GL_BLEND);
    }
    const DrawnVertex* base = mesh.vertices.data();
    glVertexPointer(3, GL_FLOAT, sizeof(DrawnVertex), base ? base->position : nullptr);
    glColorPointer(4, GL_FLOAT, sizeof(DrawnVertex), base ? base->colour : nullptr);
    glTexCoordPointer(2, GL_FLOAT, sizeof(DrawnVertex), base ? &base->u : nullptr);
    glNormalPointer(GL_FLOAT, sizeof(DrawnVertex), base ? base->normal : nullptr);
    glEnableClientState(GL_VERTEX_ARRAY);
    const GLsizei faceCount = GLsizei(mesh.indices.size() / 3);
    for (Material* material : mesh.materials) {
        if (!material) break;
        bindMaterial(*material);
        if (material->twoSided) glDisable(GL_CULL_FACE);
        else glEnable(GL_CULL_FACE);
        glDrawElements(GL_TRIANGLES, faceCount * 3, GL_UNSIGNED_SHORT, mesh.indices.data());
        facesDrawn += faceCount;
        unbindMaterial(*material);
    }
    glDisableClientState(GL_COLOR_ARRAY);
}

void Scene::normalsOverlay() {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDepthMask(GL_FALSE);
    glShadeModel(GL_SMOOTH);
    for (auto& mesh : meshes) {
        if ((mesh->flags & 1) || !mesh->visible) continue;
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(mesh->modelview);
        glLineWidth(1.0f);
        glBegin(GL_LINES);
        for (const DrawnVertex& v : mesh->vertices) {
            glColor4f(0.9f, 0.51f, 0.2f, 0.21f);
            glVertex3f(v.position[0], v.position[1], v.position[2]);
            glColor4f(0.9f, 0.51f, 0.2f, 0.0f);
            glVertex3f(v.position[0] + v.normal[0] * normalLength, v.position[1] + v.normal[1] * normalLength,
                       v.position[2] + v.normal[2] * normalLength);
        }
        glEnd();
    }
    glDepthMask(GL_TRUE);
}

void Scene::boundingBoxOverlay() {
    for (auto& mesh : meshes) {
        if (!mesh->visible) continue;
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glLineWidth(1.0f);
        glLoadMatrixf(mesh->modelview);
        glDepthMask(GL_FALSE);
        const struct {
            float width, alpha;
        } passes[2] = {{1.0f, 0.2f}, {7.0f, 0.025f}};
        for (const auto& pass : passes) {
            glLineWidth(pass.width);
            glColor4f(0.4f, 1.0f, 1.0f, pass.alpha);
            glBegin(GL_LINES);
            for (const auto& edge : boxEdges) {
                const float* a = mesh->orientedCorners[edge[0]];
                const float* b = mesh->orientedCorners[edge[1]];
                glVertex3f(a[0], a[1], a[2]);
                glVertex3f(b[0], b[1], b[2]);
            }
            glEnd();
        }
        glDepthMask(GL_TRUE);
    }
}
