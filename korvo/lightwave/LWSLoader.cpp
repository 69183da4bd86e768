#include "lightwave/LWSLoader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "gfx/gfxcore.h"
#include "lightwave/channel.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/property.h"
#include "lightwave/scene.h"
#include "lightwave/surface.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"

namespace {

// The most floats an item may offer its channels.
constexpr int maxChannelTargets = 1000;

enum class ItemKind { none = 0, camera = 1, light = 2, object = 3 };

// A key's shape as the file gives it (a number), truncated toward zero and kept in 8 signed
// bits. Numbers no integer holds become -128, a shape nothing draws.
int8_t shapeOf(float number) {
    double whole = std::trunc(double(number));
    if (!(std::fabs(whole) < 2147483648.0)) return -128;
    return int8_t(uint8_t(long(whole) & 0xFF));
}

class SceneReader {
public:
    SceneReader(std::FILE* file, Scene* scene, std::string* damage) : file_(file), scene_(scene), damage_(damage) {}

    SceneFileResult read();

private:
    bool readWord(char* word) { return std::fscanf(file_, "%79s", word) == 1; }
    // A number read into `value`; false at the end of the file. A word that is no number
    // leaves `value` as it was and is read as the next word.
    bool readLong(long& value) { return std::fscanf(file_, "%ld", &value) != EOF; }
    bool readFloat(float& value) { return std::fscanf(file_, "%f", &value) != EOF; }
    // Drops what is left of the line, at most 79 characters of it.
    void skipLine() {
        char rest[80];
        if (!std::fgets(rest, sizeof rest, file_)) return;
    }

    bool damaged(const std::string& what) {
        *damage_ = what;
        return false;
    }
    bool cutOff() { return damaged("an envelope is cut off by the end of the file"); }

    void makeCurrent(ItemKind kind, List* channels, List* properties);
    void addLight(Light* light);
    // Each returns false when the file is damaged (the damage is noted).
    bool handle(const char* keyword);
    bool handleProperty(const char* keyword, bool& handled);
    bool readChannels(long count);
    bool readEnvelope(float* target, long number);
    bool readKey(Channel& channel);
    bool checkMorphTargets();

    std::FILE* file_;
    Scene* scene_;
    std::string* damage_;

    ItemKind kind_ = ItemKind::none;
    SceneObject* object_ = nullptr;
    Light* light_ = nullptr;
    Camera* camera_ = nullptr;
    float* targets_[maxChannelTargets] = {};
    int targetCount_ = 0;
    List* channels_ = nullptr;
    List* properties_ = nullptr;
};

SceneFileResult SceneReader::read() {
    char word[80];
    if (!readWord(word) || std::strcmp(word, "LWSC") != 0) return SceneFileResult::notAScene;

    // The scene's ambient light: off on the device, it only gives the ambient colour.
    auto* ambient = new Light();
    addLight(ambient);
    gfx.device->LightEnable(ambient->index, FALSE);
    ambient->enabled = false;
    ambient->light.dcvAmbient.r = ambient->light.dcvAmbient.g = ambient->light.dcvAmbient.b = 0.1f;

    while (readWord(word)) {
        if (!handle(word)) return SceneFileResult::damaged;
        skipLine();
    }
    return checkMorphTargets() ? SceneFileResult::read : SceneFileResult::damaged;
}

void SceneReader::makeCurrent(ItemKind kind, List* channels, List* properties) {
    kind_ = kind;
    channels_ = channels;
    properties_ = properties;
    std::fill(targets_, targets_ + maxChannelTargets, nullptr);
    switch (kind) {
    case ItemKind::object: targetCount_ = object_->channelTargets(targets_); break;
    case ItemKind::light: targetCount_ = light_->channelTargets(targets_); break;
    case ItemKind::camera: targetCount_ = camera_->channelTargets(targets_); break;
    case ItemKind::none: targetCount_ = 0; break;
    }
}

void SceneReader::addLight(Light* light) {
    scene_->addLight(light);
    light_ = light;
    makeCurrent(ItemKind::light, &light->channels, &light->properties);
}

bool SceneReader::handleProperty(const char* keyword, bool& handled) {
    handled = false;
    ListNode* node = properties_ ? properties_->find(keyword) : nullptr;
    if (!node) return true;
    auto* property = static_cast<Property*>(node->getData());
    long position = std::ftell(file_);
    char word[80];
    handled = true;
    if (!readWord(word)) return true;
    if (std::strcmp(word, "(envelope)") == 0) {
        for (int k = 0; k < property->componentCount; ++k)
            if (!readEnvelope(property->targets[k], k)) return false;
        return true;
    }
    if (property->componentCount == 1) {
        *property->targets[0] = float(std::atof(word));
        return true;
    }
    std::fseek(file_, position, SEEK_SET);   // several numbers: the keyword reads them
    handled = false;
    return true;
}

bool SceneReader::handle(const char* keyword) {
    bool handled;
    if (!handleProperty(keyword, handled)) return false;
    if (handled) return true;

    auto is = [keyword](const char* name) { return std::strcmp(keyword, name) == 0; };
    long number = 0;
    char word[80];
    if (is("FramesPerSecond")) {
        if (readLong(number)) scene_->framesPerSecond = int(number);
    } else if (is("MotionBlur")) {
        readLong(number);
    } else if (is("GridSize")) {
        readFloat(scene_->gridSize);
    } else if (is("ShowMotionPath")) {
        if (readLong(number)) scene_->showMotionPath = int(number);
    } else if (is("LoadObjectLayer")) {
        readLong(number);
        if (!readWord(word)) return true;
        auto* object = new SceneObject(word);
        object->scene = scene_;
        scene_->addObject(object);
        object_ = object;
        makeCurrent(ItemKind::object, &object->channels, &object->properties);
    } else if (is("MorphTarget")) {
        readLong(number);
        if (kind_ != ItemKind::object) return true;
        object_->morphEnabled = true;
        object_->morphTarget = int(number);
        object_->morphAmount = 0.0f;
        for (ListNode* node = object_->surfaces.first(); node; node = node->getNext())
            static_cast<Surface*>(node->getData())->makeMorphBackup();
    } else if (is("UnseenByCamera")) {
        if (kind_ != ItemKind::object) return true;
        object_->hidden = true;
        for (ListNode* node = object_->surfaces.first(); node; node = node->getNext())
            static_cast<Surface*>(node->getData())->visible = false;
    } else if (is("AddLight")) {
        addLight(new Light());
    } else if (is("LightName")) {
        if (readWord(word) && kind_ == ItemKind::light) light_->name = word;
    } else if (is("LightColor")) {
        D3DCOLORVALUE colour = light_->light.dcvDiffuse;
        readFloat(colour.r);
        readFloat(colour.g);
        readFloat(colour.b);
        if (kind_ == ItemKind::light) {
            light_->light.dcvDiffuse.r = light_->light.dcvSpecular.r = colour.r;
            light_->light.dcvDiffuse.g = light_->light.dcvSpecular.g = colour.g;
            light_->light.dcvDiffuse.b = light_->light.dcvSpecular.b = colour.b;
        }
    } else if (is("AmbientColor")) {
        D3DCOLORVALUE colour = light_->light.dcvAmbient;
        readFloat(colour.r);
        readFloat(colour.g);
        readFloat(colour.b);
        if (kind_ == ItemKind::light) light_->light.dcvAmbient = colour;
    } else if (is("LightType")) {
        readLong(number);
        static const D3DLIGHTTYPE types[3] = {D3DLIGHT_DIRECTIONAL, D3DLIGHT_POINT, D3DLIGHT_SPOT};
        if (number < 0 || number > 2) cleaner.fatal("unknown light type in scene");
        if (kind_ == ItemKind::light) light_->light.dltType = types[number];
    } else if (is("AddCamera")) {
        auto* camera = new Camera();
        scene_->addCamera(camera);
        camera_ = camera;
        makeCurrent(ItemKind::camera, &camera->channels, &camera->properties);
    } else if (is("CameraName")) {
        if (readWord(word) && kind_ == ItemKind::camera) camera_->name = word;
    } else if (is("TargetObject")) {
        readLong(number);
        ListNode* first = scene_->objects.first();
        if ((kind_ != ItemKind::camera && kind_ != ItemKind::light) || !first) cleaner.fatal("Invalid target object");
        auto* target = static_cast<SceneObject*>(first->getData());
        if (kind_ == ItemKind::camera)
            camera_->target = target;
        else
            light_->target = target;
    } else if (is("NumChannels")) {
        if (!readLong(number)) return true;
        return readChannels(number);
    }
    return true;
}

bool SceneReader::readChannels(long count) {
    if (count > targetCount_)
        return damaged("NumChannels " + std::to_string(count) + " for an item of " + std::to_string(targetCount_) +
                       " channels");
    for (long i = 0; i < count; ++i) {
        char word[80];
        long unused;
        if (!readWord(word) || !readLong(unused)) return cutOff();
        if (!readEnvelope(targets_[i], i)) return false;
    }
    return true;
}

bool SceneReader::readEnvelope(float* target, long number) {
    char word[80];
    if (!readWord(word) || !readWord(word)) return cutOff();   // "{" and "Envelope"
    long keys = 0;
    if (!readLong(keys)) return cutOff();
    if (keys < 0) return damaged("an envelope of " + std::to_string(keys) + " keys");

    auto channel = std::make_unique<Channel>(target);
    for (long k = 0; k < keys; ++k)
        if (!readKey(*channel)) return false;
    long behaviour;
    if (!readWord(word) || !readLong(behaviour) || !readLong(behaviour) || !readWord(word)) return cutOff();

    auto* itemEntry = new ListNode(std::to_string(number).c_str());
    itemEntry->setData(channel.get());
    channels_->append(itemEntry);
    scene_->addChannel(channel.release());
    return true;
}

bool SceneReader::readKey(Channel& channel) {
    char word[80];
    if (!readWord(word)) return cutOff();
    if (std::strcmp(word, "Key") != 0) return damaged(std::string("Expecting a key, but got '") + word + "'");
    float numbers[9] = {};
    for (float& n : numbers)
        if (!readFloat(n)) return cutOff();
    auto* key = new Key();
    key->value = numbers[0];
    key->time = numbers[1];
    key->shape = shapeOf(numbers[2]);
    key->p1 = numbers[3];
    key->p2 = numbers[4];
    key->p3 = numbers[5];
    key->p4 = numbers[6];
    key->p5 = numbers[7];
    channel.addKey(key);
    return true;
}

bool SceneReader::checkMorphTargets() {
    int count = scene_->objects.getCount();
    for (ListNode* node = scene_->objects.first(); node; node = node->getNext()) {
        auto* object = static_cast<SceneObject*>(node->getData());
        if (object->morphEnabled && (object->morphTarget < 1 || object->morphTarget > count))
            return damaged("MorphTarget " + std::to_string(object->morphTarget) + " of object '" + object->name +
                           "' is no object of the scene");
    }
    return true;
}

}  // namespace

SceneFileResult readSceneFile(std::FILE* file, Scene* scene, std::string* damage) {
    return SceneReader(file, scene, damage).read();
}

bool readScene(const char* fileName, Scene* scene) {
    std::FILE* file = std::fopen(fileName, "r");
    if (!file) return false;
    std::string damage;
    SceneFileResult result = readSceneFile(file, scene, &damage);
    std::fclose(file);
    if (result == SceneFileResult::damaged) {
        LOG_ENTRY << "in scene file: " << damage << std::endl;
        std::exit(20);
    }
    return result == SceneFileResult::read;
}
