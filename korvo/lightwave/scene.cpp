#include "lightwave/scene.h"

#include <d3dx.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/LWSLoader.h"
#include "lightwave/channel.h"
#include "lightwave/material.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/property.h"
#include "lightwave/surface.h"
#include "lightwave/viewer.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"

extern List sceneList;

namespace {

// Device light indices are handed out once per run, over every scene.
DWORD nextLightIndex = 0;
// How often the lights were all switched off; a light the device refused is tried again after
// the next time.
long switchOffRuns = 0;

// Row-vector matrices: a · b applies a first.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    float x[4][4], y[4][4], r[4][4];
    std::memcpy(x, &a, sizeof x);
    std::memcpy(y, &b, sizeof y);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += x[row][k] * y[k][column];
            r[row][column] = sum;
        }
    D3DMATRIX m;
    std::memcpy(&m, r, sizeof m);
    return m;
}

D3DMATRIX rotationX(float angle) {
    D3DMATRIX m;
    setRotationX(m, angle);
    return m;
}

D3DMATRIX rotationY(float angle) {
    D3DMATRIX m;
    setRotationY(m, angle);
    return m;
}

D3DMATRIX rotationZ(float angle) {
    D3DMATRIX m;
    setRotationZ(m, angle);
    return m;
}

D3DMATRIX translation(float x, float y, float z) {
    D3DMATRIX m;
    setIdentity(m);
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DMATRIX scaling(float s) {
    D3DMATRIX m;
    setIdentity(m);
    m._11 = m._22 = m._33 = s;
    return m;
}

void addProperty(List& properties, const char* name, std::initializer_list<float*> targets) {
    auto* property = new Property(name, *targets.begin());
    for (auto at = targets.begin() + 1; at != targets.end(); ++at) property->addTarget(*at);
    auto* node = new ListNode(name);
    node->setData(property);
    properties.append(node);
}

void deleteProperties(List& properties) {
    for (ListNode* node = properties.first(); node; node = node->getNext()) delete static_cast<Property*>(node->getData());
}

void setVisible(SceneObject& object, bool visible) {
    object.hidden = !visible;
    for (ListNode* node = object.surfaces.first(); node; node = node->getNext())
        static_cast<Surface*>(node->getData())->visible = visible;
}

// Reflection-map coordinates from the vertex normals as the camera sees them.
void mapEnvironment(Surface& surface) {
    D3DMATRIX world, view;
    gfx.device->GetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    gfx.device->GetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    D3DMATRIX m = multiply(world, view);
    auto* vertices = static_cast<float*>(lockVertices(surface.vertexBuffer, 0));
    if (!vertices) return;
    for (int i = 0; i < surface.vertexCount; ++i) {
        float* v = vertices + 8 * i;
        float nx = v[3], ny = v[4], nz = v[5];
        v[6] = (m._11 * nx + m._21 * ny - m._31 * nz + 1.0f) * 0.5f;
        v[7] = 1.0f - (1.0f - (m._12 * nx + m._22 * ny - m._32 * nz)) * 0.5f;
    }
    surface.vertexBuffer->Unlock();
}

void renderState(D3DRENDERSTATETYPE state, DWORD value) { gfx.device->SetRenderState(state, value); }

}  // namespace

long lastLightIndex() { return long(nextLightIndex) - 1; }

// ---- Lights and cameras ------------------------------------------------------------------

Light::Light() {
    std::memset(&light, 0, sizeof light);
    light.dltType = D3DLIGHT_POINT;
    light.dcvDiffuse.r = light.dcvDiffuse.g = light.dcvDiffuse.b = 1.0f;
    light.dcvSpecular.r = light.dcvSpecular.g = light.dcvSpecular.b = 1.0f;
    light.dvPosition.x = -5.0f;
    light.dvPosition.y = 3.0f;
    light.dvPosition.z = 5.0f;
    light.dvAttenuation0 = 1.0f;
    light.dvRange = D3DLIGHT_RANGE_MAX;
    addProperty(properties, "LightColor", {&light.dcvDiffuse.r, &light.dcvDiffuse.g, &light.dcvDiffuse.b});
    addProperty(properties, "AmbientColor", {&light.dcvAmbient.r, &light.dcvAmbient.g, &light.dcvAmbient.b});
    addProperty(properties, "LightIntensity", {&intensity});
    addProperty(properties, "AmbientIntensity", {&intensity});
    addProperty(properties, "Falloff", {&light.dvFalloff});
    addProperty(properties, "LightConeAngle", {&light.dvTheta});
    addProperty(properties, "LightEdgeAngle", {&light.dvPhi});
    addProperty(properties, "LightRange", {&light.dvRange});
}

Light::~Light() { deleteProperties(properties); }

int Light::channelTargets(float* targets[9]) {
    float* all[9] = {&light.dvPosition.x, &light.dvPosition.y, &light.dvPosition.z,
                     &light.dvDirection.x, &light.dvDirection.y, &light.dvDirection.z,
                     &scale[0], &scale[1], &scale[2]};
    std::copy(all, all + 9, targets);
    return 9;
}

int Camera::channelTargets(float* targets[9]) {
    float* all[9] = {&position.x, &position.y, &position.z, &heading, &pitch, &bank, nullptr, nullptr, nullptr};
    std::copy(all, all + 9, targets);
    return 9;
}

// ---- Loading -----------------------------------------------------------------------------

Scene::Scene(const char* name) {
    bool read = readScene(name, this);
    if (!read) {
        char path[100];
        std::snprintf(path, sizeof path, "scenes/%s", name);
        read = readScene(path, this);
    }
    bool dump = read;
    if (!read) {
        dump = readScene("scenes/debugobject.lws", this);
        if (!dump)
            LOG_ENTRY << "no scene '" << name << "' and no scenes/debugobject.lws: the object is shown without lights"
                      << std::endl;
        auto* object = new SceneObject(name);
        object->scene = this;
        addObject(object);
        ViewerState.viewedObject = object;
    }
    if (dump) ViewerState.sceneDump(this, "scenedump.txt");

    auto* node = new ListNode(name);
    node->setData(this);
    sceneList.append(node);
    if (gridSize != 0.0f) grid = new Grid(gridSize);
}

Scene::Scene() = default;

Scene::~Scene() {
    if (spriteStateBlock_ && gfx.device) gfx.device->DeleteStateBlock(spriteStateBlock_);
    delete grid;
    for (ListNode* node = objects.first(); node; node = node->getNext()) {
        auto* object = static_cast<SceneObject*>(node->getData());
        if (ViewerState.viewedObject == object) ViewerState.viewedObject = nullptr;
        delete object;
    }
    for (ListNode* node = lights.first(); node; node = node->getNext()) delete static_cast<Light*>(node->getData());
    for (ListNode* node = cameras.first(); node; node = node->getNext()) delete static_cast<Camera*>(node->getData());
    for (ListNode* node = channels.first(); node; node = node->getNext()) delete static_cast<Channel*>(node->getData());
}

void Scene::addObject(SceneObject* object) {
    auto* node = new ListNode(object->name);
    node->setData(object);
    objects.append(node);
}

void Scene::addLight(Light* light) {
    light->index = nextLightIndex++;
    light->enabled = true;
    auto* node = new ListNode(light->name.c_str());
    node->setData(light);
    lights.append(node);
}

void Scene::addCamera(Camera* camera) {
    auto* node = new ListNode(camera->name.c_str());
    node->setData(camera);
    cameras.append(node);
    currentCamera = camera;
}

void Scene::addChannel(Channel* channel) {
    auto* node = new ListNode("channel");
    node->setData(channel);
    channels.append(node);
}

void Scene::disableAllLights() {
    long last = std::max(99L, lastLightIndex());
    for (long index = 0; index <= last; ++index) gfx.device->LightEnable(DWORD(index), FALSE);
    ++switchOffRuns;
}

// ---- Update ------------------------------------------------------------------------------

void Scene::update(float t) {
    for (ListNode* node = channels.first(); node; node = node->getNext()) static_cast<Channel*>(node->getData())->evaluate(t);

    setView();

    if (ListNode* first = lights.first()) {
        const Light& ambient = *static_cast<Light*>(first->getData());
        float strength = std::fmax(ambient.intensity, 0.0f);
        auto level = [strength](float component) {
            return DWORD(std::fmin(std::fmax(strength * component, 0.0f), 1.0f) * 255.0f);
        };
        const D3DCOLORVALUE& colour = ambient.light.dcvAmbient;
        renderState(D3DRENDERSTATE_AMBIENT, (level(colour.r) << 16) | (level(colour.g) << 8) | level(colour.b));
        for (ListNode* node = first->getNext(); node; node = node->getNext()) {
            auto* light = static_cast<Light*>(node->getData());
            if (light->enabled) setLight(*light);
        }
    }

    for (ListNode* node = objects.first(); node; node = node->getNext())
        updateObject(*static_cast<SceneObject*>(node->getData()));
}

void Scene::setView() {
    const Camera& camera = viewCamera();
    D3DMATRIX view;
    if (camera.target) {
        D3DVECTOR up = {0.0f, 1.0f, 0.0f};
        if (::setView(view, camera.position, camera.target->position, up) != S_OK) return;
    } else {
        view = multiply(multiply(multiply(translation(-camera.position.x, -camera.position.y, -camera.position.z),
                                          rotationZ(-camera.bank)),
                                 rotationY(-camera.heading)),
                        rotationX(-camera.pitch));
    }
    gfx.device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
}

// The record is set as a copy with the intensity applied, the position negated, the direction
// made from heading, pitch and bank, and the cone's edge added to its angle; the animated
// values stay as they are.
void Scene::setLight(Light& light) {
    if (light.refusedInRun == switchOffRuns) return;   // refused since the lights were last all off
    D3DLIGHT7 record = light.light;
    for (D3DCOLORVALUE* colour : {&record.dcvDiffuse, &record.dcvAmbient}) {
        colour->r *= light.intensity;
        colour->g *= light.intensity;
        colour->b *= light.intensity;
    }
    record.dvPosition.x = -record.dvPosition.x;
    record.dvPosition.y = -record.dvPosition.y;
    record.dvPosition.z = -record.dvPosition.z;
    D3DMATRIX r = multiply(multiply(rotationZ(record.dvDirection.z), rotationX(record.dvDirection.y)),
                           rotationY(record.dvDirection.x));
    record.dvDirection.x = -r._31;
    record.dvDirection.y = -r._32;
    record.dvDirection.z = -r._33;
    // A light with a target points at it. Lights are set mirrored through the origin (the
    // position negated, the direction the negated z axis of their heading, pitch and bank), so
    // aiming from the light to the target is, on the device, the direction from the target to
    // the light's own position. A light standing on its target keeps its heading.
    if (light.target) {
        D3DVECTOR away = {light.light.dvPosition.x - light.target->position.x,
                          light.light.dvPosition.y - light.target->position.y,
                          light.light.dvPosition.z - light.target->position.z};
        float length = std::sqrt(squaredLength(away));
        if (length > 1e-6f) record.dvDirection = {away.x / length, away.y / length, away.z / length};
    }
    record.dvFalloff = 1.0f;
    record.dvPhi = record.dvTheta + record.dvPhi;

    gfx.device->SetLight(light.index, &record);
    if (gfx.device->LightEnable(light.index, TRUE) != D3D_OK) {
        light.refusedInRun = switchOffRuns;
        LOG_ENTRY << "light " << long(light.index) << " ('" << light.name
                  << "') is not switched on: the device lights no more lights at once" << std::endl;
    }
}

void Scene::updateObject(SceneObject& object) {
    if (object.dissolve == 1.0f && !object.hidden)
        setVisible(object, false);
    else if (object.dissolve != 1.0f && object.hidden)
        setVisible(object, true);
    if (object.hidden) return;

    object.world = multiply(multiply(multiply(multiply(rotationZ(object.bank), rotationX(object.pitch)),
                                              rotationY(object.heading)),
                                     scaling(object.scale)),
                            translation(object.position.x, object.position.y, object.position.z));

    if (object.morphEnabled) {
        auto* target = static_cast<SceneObject*>(objects.at(object.morphTarget)->getData());
        ListNode* from = object.surfaces.first();
        ListNode* to = target->surfaces.first();
        for (; from; from = from->getNext(), to = to->getNext()) {
            if (!to) cleaner.fatal("Tried to morph surfaces with different amount of points");
            static_cast<Surface*>(from->getData())->morph(*static_cast<Surface*>(to->getData()), object.morphAmount);
        }
    }

    for (ListNode* node = object.surfaces.first(); node; node = node->getNext()) {
        auto* surface = static_cast<Surface*>(node->getData());
        surface->material->setDissolve(object.dissolve);
        if (surface->material->hasEnvironmentTexture && !surface->material->textured) mapEnvironment(*surface);
    }
}

// ---- Drawing -----------------------------------------------------------------------------

void Scene::draw() {
    if (ViewerState.gridOn && grid) grid->draw();
    for (ListNode* node = objects.first(); node; node = node->getNext()) {
        auto* object = static_cast<SceneObject*>(node->getData());
        if (object->hidden) continue;
        gfx.device->SetTransform(D3DTRANSFORMSTATE_WORLD, &object->world);
        for (ListNode* at = object->surfaces.first(); at; at = at->getNext()) {
            auto* surface = static_cast<Surface*>(at->getData());
            if (!surface->visible) continue;
            if (surface->particle)
                drawParticles(*surface);
            else
                drawSurface(*surface);
        }
    }
}

void Scene::drawSurface(Surface& surface) {
    gfx.device->ApplyStateBlock(surface.stateBlock);
    if (surface.transparent) renderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    auto drawTriangles = [&surface] {
        if (gfx.device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, surface.vertexBuffer, 0, DWORD(surface.vertexCount),
                                               surface.indexBuffer->getIndices(), DWORD(surface.indexBuffer->getCount()),
                                               0) != D3D_OK)
            cleaner.fatal("BOOOOOOOOOGIIIIIIIIIII! DrawIndexedPrimitiveVB FAILED");
    };
    if (surface.twoSided && surface.transparent) {
        renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);   // the back faces first
        drawTriangles();
        renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
        drawTriangles();
    } else if (surface.twoSided) {
        renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        drawTriangles();
    } else {
        drawTriangles();
    }
    renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    if (surface.transparent) renderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE);
    // A surface with a base texture and a reflection blends the reflection in on stage 1; the
    // state blocks of other textured surfaces never switch that stage off, so it is switched
    // off here, or the reflection would show on whatever is drawn next.
    if (surface.material->textured && surface.material->hasEnvironmentTexture)
        gfx.device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
}

// One sprite of the surface's texture per vertex, sized by its depth. The device state the
// sprites are drawn with is put back afterwards, so what is drawn next looks as it would
// without them.
void Scene::drawParticles(Surface& surface) {
    surface.makeTransformedCopy();
    if (!surface.transformedVertexBuffer) cleaner.fatal("Particle vertexbuffer not transformed");
    auto* vertices = static_cast<const float*>(lockVertices(surface.transformedVertexBuffer, DDLOCK_READONLY));

    if (spriteStateBlock_)
        gfx.device->CaptureStateBlock(spriteStateBlock_);
    else
        gfx.device->CreateStateBlock(D3DSBT_ALL, &spriteStateBlock_);
    D3DXPrepareDeviceForSprite(gfx.device, FALSE);
    renderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    renderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA);
    renderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    float k = float(gfx.width) * 0.0015625f;
    if (vertices) {
        for (int i = 0; i < surface.vertexCount; ++i) {
            const float* v = vertices + 8 * i;   // screen x, y, depth, 1/w, diffuse, specular, u, v
            if (!(v[2] > 0.5f)) continue;
            D3DXVECTOR3 at(v[0], v[1], v[2]);
            D3DXDrawSpriteSimple(surface.material->baseTexture, gfx.device, &at, surface.material->combinedTransparency,
                                 -3.0f / v[2] * k, 0.0f, nullptr, nullptr);
        }
        surface.transformedVertexBuffer->Unlock();
    }
    renderState(D3DRENDERSTATE_ZENABLE, TRUE);
    if (spriteStateBlock_) gfx.device->ApplyStateBlock(spriteStateBlock_);
}
