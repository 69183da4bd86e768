#include "scene/descriptionreader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/picture.h"
#include "scene/scene.h"

namespace {

using Reader = SceneDescriptionReader;

constexpr float colourFactor = 0.00392156862745098f;   // 1 / 255

// A broken motion block: what the reading reports.
struct BrokenBlock {
    std::string reason;
};

std::string lowerCase(const char* text) {
    std::string s(text);
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Item names are kept to the 31 characters of their 32-byte fields.
std::string itemName(const char* text) { return std::string(text, strnlen(text, 31)); }

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The position just past the line end at `p`: one "\r", then one "\n".
size_t pastLineEnd(const std::string& text, size_t p) {
    if (p < text.size() && text[p] == '\r') ++p;
    if (p < text.size() && text[p] == '\n') ++p;
    return p;
}

size_t endOfLine(const std::string& text, size_t p) {
    while (p < text.size() && !isLineEnd(text[p])) ++p;
    return p;
}

}  // namespace

const Reader::Keyword Reader::keywords[34] = {
    {"playspeed", 0, &Reader::framesPerSecondLine},
    {"framespersecond", 0, &Reader::framesPerSecondLine},
    {"opacity", 1, &Reader::opacityLine},
    {"opacity_control", 2, &Reader::opacityControlLine},
    {"displaylist", 3, &Reader::displayListLine},
    {"hide", 4, &Reader::hideLine},
    {"noshading", 5, &Reader::noShadingLine},
    {"lwsc", 6, &Reader::lwscLine},
    {"lastframe", 7, &Reader::ignoredLine},
    {"loadobject", 8, &Reader::ignoredLine},
    {"addnullobject", 9, &Reader::addNullObjectLine},
    {"addlight", 10, &Reader::addLightLine},
    {"lightcolor", 11, &Reader::lightColourLine},
    {"parentobject", 14, &Reader::parentObjectLine},
    {"objectmotion", 12, &Reader::objectMotionLine},
    {"lightmotion", 12, &Reader::objectMotionLine},
    {"cameramotion", 13, &Reader::cameraMotionLine},
    {"zoomfactor", 15, &Reader::zoomFactorLine},
    {"textureimage", 16, &Reader::ignoredLine},
    {"texturesize", 17, &Reader::ignoredLine},
    {"texturecenter", 17, &Reader::ignoredLine},
    {"texturevelocity", 17, &Reader::ignoredLine},
    {"textureaxis", 18, &Reader::ignoredLine},
    {"textureamplitude", 19, &Reader::ignoredLine},
    {"texturereferenceobj", 20, &Reader::ignoredLine},
    {"drawbbox", 21, &Reader::drawBoundingBoxLine},
    {"drawnormals", 22, &Reader::drawNormalsLine},
    {"drawedges", 23, &Reader::drawEdgesLine},
    {"clearcolor", 24, &Reader::clearColourLine},
    {"normalsize", 25, &Reader::normalSizeLine},
    {"foreground", 26, &Reader::foregroundLine},
    {"background", 27, &Reader::backgroundLine},
    {"normalangle", 28, &Reader::normalAngleLine},
    {"NULL", 29, nullptr},
};

int Reader::read(Scene& scene, const char* text, size_t length) {
    scene_ = &scene;
    text_.assign(text, length);
    text_ += "\r\n~\r\n";
    currentNull_ = nullptr;
    currentLight_ = nullptr;
    currentCamera_ = nullptr;
    nullObjects_.clear();
    lwsc = false;
    error_.clear();

    char line[1024];
    char word[1024];
    try {
        size_t p = 0;
        while (p < text_.size() && text_[p] != '~') {
            size_t end = endOfLine(text_, p);
            size_t copied = std::min(end - p, sizeof line - 1);
            std::memcpy(line, text_.data() + p, copied);
            line[copied] = 0;
            if (std::sscanf(line, "%1023s", word) == 1) {
                std::string lower = lowerCase(word);
                for (const Keyword& keyword : keywords)
                    if (keyword.handler && lower == keyword.name) {
                        (this->*keyword.handler)(line, end);
                        break;
                    }
            }
            p = pastLineEnd(text_, end);
            while (p < text_.size() && text_[p] == ' ') ++p;
        }
    } catch (const BrokenBlock& broken) {
        error_ = broken.reason;
        return 1;
    }

    if (lwsc) {
        scene.rate = framesPerSecond * 0.1f;
        for (auto& material : scene.materials) material->recomputeFlags();
        auto resolve = [&](Transform& transform) {
            if (transform.parentIndex == -1) return;
            if (transform.parentIndex >= 0 && size_t(transform.parentIndex) < nullObjects_.size())
                transform.parent = &nullObjects_[size_t(transform.parentIndex)]->transform;
        };
        for (auto& mesh : scene.meshes) resolve(mesh->transform);
        for (auto& item : scene.nullObjects) resolve(item->transform);
    }
    return 0;
}

void Reader::framesPerSecondLine(const char* line, size_t) { std::sscanf(line, "%*s %f", &framesPerSecond); }

void Reader::opacityLine(const char* line, size_t) {
    char name[1024];
    float value;
    int read = std::sscanf(line, "%*s %1023s %f", name, &value);
    if (read < 1) return;
    Material* material = scene_->findMaterial(lowerCase(name).c_str());
    if (material && read == 2) material->opacity = value;
}

void Reader::opacityControlLine(const char* line, size_t) {
    char name[1024], file[1024];
    if (std::sscanf(line, "%*s %1023s %1023s", name, file) != 2) return;
    std::vector<uint8_t> bytes = readMember(file);
    std::unique_ptr<Envelope> envelope =
        readEnvelope(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (Material* material = scene_->findMaterial(name)) material->opacityEnvelope = std::move(envelope);
}

void Reader::displayListLine(const char* line, size_t) {
    char name[1024];
    if (std::sscanf(line, "%*s %1023s", name) != 1) return;
    if (MeshObject* mesh = scene_->findMesh(lowerCase(name))) mesh->flags |= 2;
}

void Reader::hideLine(const char* line, size_t) {
    char name[1024];
    if (std::sscanf(line, "%*s %1023s", name) != 1) return;
    if (MeshObject* mesh = scene_->findMesh(lowerCase(name))) mesh->flags |= 1;
}

void Reader::noShadingLine(const char* line, size_t) {
    char name[1024];
    int value;
    if (std::sscanf(line, "%*s %1023s %d", name, &value) != 2) return;
    std::string lower = lowerCase(name);
    for (auto& mesh : scene_->meshes)
        if (mesh->name == lower) mesh->shading = value;
}

void Reader::lwscLine(const char*, size_t) { lwsc = true; }

void Reader::ignoredLine(const char*, size_t) {}

void Reader::addNullObjectLine(const char* line, size_t) {
    char name[1024];
    if (std::sscanf(line, "%*s %1023s", name) != 1) return;
    auto item = std::make_unique<NullObject>();
    item->name = itemName(name);
    item->transform.name = item->name;
    currentLight_ = nullptr;
    currentNull_ = item.get();
    nullObjects_.push_back(item.get());
    scene_->nullObjects.push_back(std::move(item));
}

void Reader::addLightLine(const char* line, size_t) {
    char name[1024];
    if (std::sscanf(line, "%*s %1023s", name) != 1) return;
    auto light = std::make_unique<Light>();
    light->name = itemName(name);
    light->transform.name = light->name;
    currentNull_ = nullptr;
    currentLight_ = light.get();
    scene_->lights.push_back(std::move(light));
}

void Reader::lightColourLine(const char* line, size_t) {
    int rgb[3];
    int read = std::sscanf(line, "%*s %d %d %d", &rgb[0], &rgb[1], &rgb[2]);
    if (!currentLight_) return;
    for (int i = 0; i < read; ++i) currentLight_->colour[i] = float(rgb[i]) * colourFactor;
}

// Only a loaded object could be given a parent, and loading objects is not part of scene
// descriptions: there is never one to give it to.
void Reader::parentObjectLine(const char*, size_t) {}

void Reader::objectMotionLine(const char*, size_t next) {
    std::unique_ptr<Motion> motion = motionBlock(next);
    Transform* transform = currentLight_ ? &currentLight_->transform : currentNull_ ? &currentNull_->transform : nullptr;
    if (!transform || motion->keys.empty()) return;
    float* local = transform->local;
    transform->controllers.push_back(std::make_unique<MotionController>(std::move(motion), local));
}

void Reader::cameraMotionLine(const char*, size_t next) {
    std::unique_ptr<Motion> motion = motionBlock(next);
    auto camera = std::make_unique<Camera>();
    camera->described = true;
    camera->name = "LWOCAM";
    camera->targetName = "LWODST";
    camera->transform.name = "cameraNode";
    if (!motion->keys.empty())
        camera->transform.controllers.push_back(std::make_unique<MotionController>(std::move(motion), camera->motionMatrix));
    currentCamera_ = camera.get();
    scene_->cameras.push_back(std::move(camera));
}

void Reader::zoomFactorLine(const char* line, size_t) {
    float zoom;
    if (std::sscanf(line, "%*s %f", &zoom) == 1 && currentCamera_) currentCamera_->zoom = zoom;
}

void Reader::drawBoundingBoxLine(const char*, size_t) { scene_->descriptionDrawsBoxes = true; }

void Reader::drawNormalsLine(const char*, size_t) { drawNormalsSetting = -1; }

void Reader::drawEdgesLine(const char*, size_t) { drawEdgesSetting = -1; }

void Reader::clearColourLine(const char* line, size_t) {
    std::sscanf(line, "%*s %f %f %f", &clearColour[0], &clearColour[1], &clearColour[2]);
}

void Reader::normalSizeLine(const char* line, size_t) { std::sscanf(line, "%*s %f", &scene_->normalLength); }

Texture* Reader::picture(const char* name) {
    return loadPicture ? loadPicture(name) : loadTexture(name, GL_RGB, false);
}

void Reader::foregroundLine(const char* line, size_t) {
    char name[1024];
    if (std::sscanf(line, "%*s %1023s", name) == 1) foreground = picture(name);
}

void Reader::backgroundLine(const char* line, size_t) {
    char name[1024];
    if (std::sscanf(line, "%*s %1023s", name) == 1) background = picture(name);
}

void Reader::normalAngleLine(const char* line, size_t) {
    char first[1024], second[1024];
    int read = std::sscanf(line, "%*s %1023s %1023s", first, second);
    if (read == 1) {
        for (auto& mesh : scene_->meshes) mesh->smoothingAngle = float(std::atof(first));
    } else if (read == 2) {
        if (MeshObject* mesh = scene_->findMesh(lowerCase(first))) mesh->smoothingAngle = float(std::atof(second));
    }
}

std::unique_ptr<Motion> Reader::motionBlock(size_t next) {
    const std::string& t = text_;
    size_t p = pastLineEnd(t, next);
    p = pastLineEnd(t, endOfLine(t, p));   // the channel count
    int count;
    size_t end = endOfLine(t, p);
    if (std::sscanf(t.substr(p, end - p).c_str(), "%d", &count) != 1 || count < 0)
        throw BrokenBlock{"motion block without a key count"};
    p = pastLineEnd(t, end);

    auto number = [&](float& out) {
        while (p < t.size() && (t[p] == ' ' || t[p] == '\t' || isLineEnd(t[p]))) ++p;
        char* end = nullptr;
        out = std::strtof(t.c_str() + p, &end);
        if (end == t.c_str() + p)
            throw BrokenBlock{"motion block of " + std::to_string(count) + " keys ends early"};
        p = size_t(end - t.c_str());
    };
    auto motion = std::make_unique<Motion>();
    // Every key takes 14 numbers of at least two characters, which bounds what is reserved.
    motion->keys.reserve(std::min(size_t(count), (t.size() - p) / 28 + 1));
    for (int k = 0; k < count; ++k) {
        MotionKey key;
        for (float& v : key.values) number(v);
        number(key.frame);
        number(key.linear);
        number(key.tension);
        number(key.continuity);
        number(key.bias);
        motion->keys.push_back(key);
    }
    while (p < t.size() && (t[p] == ' ' || t[p] == '\t' || isLineEnd(t[p]))) ++p;
    end = endOfLine(t, p);
    std::sscanf(t.substr(p, end - p).c_str(), "%*s %d", &motion->endBehaviour);
    motion->link();
    return motion;
}

std::unique_ptr<Envelope> Reader::readEnvelope(const char* text, size_t length) {
    std::string all(text, length);
    std::vector<EnvelopeKey> keys;
    keys.reserve(64);
    std::string name;
    size_t p = 0;
    bool first = true;
    while (p < all.size()) {
        size_t end = endOfLine(all, p);
        std::string line = all.substr(p, end - p);
        p = pastLineEnd(all, end);
        if (first) {
            char word[1024];
            if (std::sscanf(line.c_str(), "%1023s", word) == 1) name = word;
            first = false;
            continue;
        }
        float frame, value, tension, continuity, bias;
        int read = std::sscanf(line.c_str(), "%*s %f %*s %f %f %f %f", &frame, &value, &tension, &continuity, &bias);
        if (read <= 0) break;
        if (read == 2) keys.push_back({frame, 0, 0, 0, 0, 0, value});
        else if (read == 5) keys.push_back({frame, tension, continuity, bias, 0, 0, value});
    }
    auto envelope = std::make_unique<Envelope>(int(keys.size()));
    envelope->name = name;
    envelope->keys = std::move(keys);
    envelope->prepare();
    return envelope;
}
