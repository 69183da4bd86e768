#include "scene/exportreader.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/byte_reader.h"
#include "assets/picture.h"
#include "scene/meshprocessing.h"
#include "scene/scene.h"

namespace {

// Pictures loaded for materials, found again by their lower-case names; they live until the
// process ends.
std::vector<std::unique_ptr<Texture>> materialPictures;

std::string lowerCase(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A refusal: the reason and the byte offset it concerns.
struct Broken {
    std::string reason;
    size_t offset;
};

// The bounded reader with the ".exp" field kinds on top. Reads past the end yield zeros and
// mark the reader failed; callers check counts against what is left before allocating.
class ExportBytes {
public:
    ExportBytes(const uint8_t* data, size_t size) : bytes_(data, size) {}

    int32_t integer() { return int32_t(bytes_.get32le()); }
    float real() {
        uint32_t bits = bytes_.get32le();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    uint8_t byte() { return bytes_.get8(); }
    // A 32-byte name field: the text up to its first zero byte (all 32 bytes when it has none).
    std::string name() {
        char field[32] = {};
        bytes_.getBytes(field, sizeof field);
        return std::string(field, strnlen(field, sizeof field));
    }
    void skip(size_t count) { bytes_.skip(count); }

    // Throws a refusal when `count` items of `itemSize` bytes do not fit in what is left.
    void expect(int32_t count, size_t itemSize, const char* what) {
        if (count < 0) throw Broken{std::string("negative ") + what + " count " + std::to_string(count), offset()};
        if (size_t(count) > remaining() / itemSize)
            throw Broken{std::to_string(count) + " " + what + " reach past the end", offset()};
    }
    // Throws a refusal when a read went past the end.
    void check() {
        if (bytes_.failed()) throw Broken{"record reaches past the end", bytes_.failureOffset()};
    }

    size_t offset() const { return bytes_.offset(); }
    size_t remaining() const { return bytes_.remaining(); }

private:
    assets::ByteReader bytes_;
};

// A track of `count` keys of `keySize` bytes, each read by `readKey`; null when it has no keys.
template <typename Track, typename ReadKey>
std::unique_ptr<Track> track(ExportBytes& in, size_t keySize, const char* what, ReadKey readKey) {
    int32_t count = in.integer();
    in.check();
    in.expect(count, keySize, what);
    if (count == 0) return nullptr;
    auto made = std::make_unique<Track>(count);
    for (auto& key : made->keys) readKey(key);
    made->prepare();
    return made;
}

template <typename Key>
void readShape(ExportBytes& in, Key& key) {
    key.tension = in.real();
    key.continuity = in.real();
    key.bias = in.real();
    key.frame = in.real();
}

// Keys of x, y, z, tension, continuity, bias, frame.
std::unique_ptr<VectorTrack> vectorTrack(ExportBytes& in) {
    return track<VectorTrack>(in, 28, "vector keys", [&](VectorKey& key) {
        for (float& v : key.value) v = in.real();
        readShape(in, key);
    });
}

// Keys of w, x, y, z, tension, continuity, bias, frame.
std::unique_ptr<RotationTrack> rotationTrack(ExportBytes& in) {
    return track<RotationTrack>(in, 32, "rotation keys", [&](RotationKey& key) {
        for (float* v : {&key.q.w, &key.q.x, &key.q.y, &key.q.z}) *v = in.real();
        readShape(in, key);
    });
}

// Keys of frame, value.
std::unique_ptr<Envelope> envelope(ExportBytes& in) {
    return track<Envelope>(in, 8, "envelope keys", [&](EnvelopeKey& key) {
        key.frame = in.real();
        key.value = in.real();
    });
}

// The transform of the first mesh read so far whose identifier is `identifier`, or null.
Transform* parentMesh(Scene& scene, int32_t identifier) {
    if (identifier == -1) return nullptr;
    for (auto& mesh : scene.meshes)
        if (mesh->identifier == identifier) return &mesh->transform;
    return nullptr;
}

void placeItem(Scene& scene, SceneItem& item, int32_t identifier, int32_t parentIdentifier) {
    item.transform.name = item.name;
    item.transform.identifier = identifier;
    item.transform.parent = parentMesh(scene, parentIdentifier);
}

// Field of view of a camera from its envelope (radians), applied at every update.
class FieldOfViewController : public Controller {
public:
    FieldOfViewController(std::unique_ptr<Envelope> envelope, Camera& camera) : envelope(std::move(envelope)), camera(camera) {}
    void run(float time) override {
        envelope->evaluate(time);
        camera.setFieldOfView(envelope->value);
    }
    std::unique_ptr<Envelope> envelope;
    Camera& camera;
};

class RollController : public Controller {
public:
    RollController(std::unique_ptr<Envelope> envelope, Camera& camera) : envelope(std::move(envelope)), camera(camera) {}
    void run(float time) override {
        envelope->evaluate(time);
        camera.roll = envelope->value;
    }
    std::unique_ptr<Envelope> envelope;
    Camera& camera;
};

struct MeshRecord {
    MeshObject* mesh;
    size_t offset;
};

void readMesh(Scene& scene, ExportBytes& in, size_t start, std::vector<MeshRecord>& records) {
    auto mesh = std::make_unique<MeshObject>();
    mesh->name = lowerCase(in.name());
    mesh->identifier = in.integer();
    int32_t vertexCount = in.integer();
    int32_t coordinateCount = in.integer();
    int32_t faceCount = in.integer();
    mesh->parentIdentifier = in.integer();
    mesh->materialSlots[0] = in.integer();
    for (float& p : mesh->transform.pivot) p = in.real();
    in.check();
    const std::string label = "mesh \"" + mesh->name + "\": ";

    in.expect(vertexCount, 12, "vertices");
    mesh->inputPositions.resize(size_t(vertexCount) * 3);
    for (float& v : mesh->inputPositions) v = in.real();

    in.expect(coordinateCount, 8, "texture coordinates");
    mesh->textureCoordinates.resize(size_t(coordinateCount) * 3);
    for (int32_t i = 0; i < coordinateCount; ++i) {
        mesh->textureCoordinates[size_t(i) * 3] = in.real();
        mesh->textureCoordinates[size_t(i) * 3 + 1] = 1.0f - in.real();
    }

    in.expect(faceCount, coordinateCount > 0 ? 28 : 16, "faces");
    mesh->faces.resize(size_t(faceCount));
    if (coordinateCount > 0) {
        for (int32_t f = 0; f < faceCount; ++f) {
            size_t at = in.offset();
            for (int32_t& t : mesh->faces[size_t(f)].textureCoordinate) {
                t = in.integer();
                if (t < 0 || t >= coordinateCount)
                    throw Broken{label + "face " + std::to_string(f) + " uses texture coordinate " + std::to_string(t) +
                                     " of " + std::to_string(coordinateCount),
                                 at};
            }
        }
    } else {
        for (InputFace& face : mesh->faces) face.textureCoordinate[0] = face.textureCoordinate[1] = face.textureCoordinate[2] = 0;
    }
    mesh->indices.resize(size_t(faceCount) * 3);
    for (int32_t f = 0; f < faceCount; ++f) {
        InputFace& face = mesh->faces[size_t(f)];
        size_t at = in.offset();
        for (int c = 0; c < 3; ++c) {
            face.vertex[c] = in.integer();
            if (face.vertex[c] < 0 || face.vertex[c] >= vertexCount)
                throw Broken{label + "face " + std::to_string(f) + " uses vertex " + std::to_string(face.vertex[c]) +
                                 " of " + std::to_string(vertexCount),
                             at};
            mesh->indices[size_t(f) * 3 + size_t(c)] = uint16_t(face.vertex[c]);
        }
        face.group = in.integer();
    }
    mesh->transform.position = vectorTrack(in);
    mesh->transform.rotation = rotationTrack(in);
    mesh->transform.scale = vectorTrack(in);
    in.check();
    placeItem(scene, *mesh, mesh->identifier, mesh->parentIdentifier);
    records.push_back({mesh.get(), start});
    scene.meshes.push_back(std::move(mesh));
}

void readCamera(Scene& scene, ExportBytes& in) {
    auto camera = std::make_unique<Camera>();
    camera->name = in.name();
    camera->targetName = in.name();
    int32_t identifier = in.integer();
    int32_t parent = in.integer();
    in.check();
    camera->transform.position = vectorTrack(in);
    std::unique_ptr<Envelope> fieldOfView = envelope(in);
    std::unique_ptr<Envelope> roll = envelope(in);
    if (fieldOfView) camera->transform.controllers.push_back(std::make_unique<FieldOfViewController>(std::move(fieldOfView), *camera));
    if (roll) camera->transform.controllers.push_back(std::make_unique<RollController>(std::move(roll), *camera));
    placeItem(scene, *camera, identifier, parent);
    scene.cameras.push_back(std::move(camera));
}

void readLight(Scene& scene, ExportBytes& in) {
    auto light = std::make_unique<Light>();
    light->name = in.name();
    int32_t identifier = in.integer();
    int32_t parent = in.integer();
    in.skip(28);
    in.check();
    light->transform.position = vectorTrack(in);
    placeItem(scene, *light, identifier, parent);
    scene.lights.push_back(std::move(light));
}

void readNullObject(Scene& scene, ExportBytes& in) {
    auto item = std::make_unique<NullObject>();
    item->name = in.name();
    int32_t identifier = in.integer();
    int32_t parent = in.integer();
    in.check();
    item->transform.position = vectorTrack(in);
    placeItem(scene, *item, identifier, parent);
    scene.nullObjects.push_back(std::move(item));
}

// A colour track of two keys or more is kept; a shorter one gives its value at time 0.
void keepOrStore(std::unique_ptr<VectorTrack> track, std::unique_ptr<VectorTrack>& kept, float* field) {
    if (!track) return;
    if (track->keys.size() >= 2) {
        kept = std::move(track);
        return;
    }
    track->evaluate(0);
    std::memcpy(field, track->value, sizeof(float) * 3);
}

void keepOrStore(std::unique_ptr<Envelope> track, std::unique_ptr<Envelope>& kept, float& field, bool linear) {
    if (!track) return;
    if (track->keys.size() >= 2) {
        kept = std::move(track);
        return;
    }
    if (linear) track->evaluateLinear(0);
    else track->evaluate(0);
    field = track->value;
}

void readMaterial(Scene& scene, ExportBytes& in, Texture* (*loadPicture)(const char*)) {
    auto material = std::make_unique<Material>();
    material->name = lowerCase(in.name());
    material->textureName = in.name();
    in.check();
    keepOrStore(envelope(in), material->offsetUEnvelope, material->offsetU, false);
    keepOrStore(envelope(in), material->offsetVEnvelope, material->offsetV, false);
    material->secondName = in.name();
    material->reflectionName = in.name();
    material->kept = in.integer();
    material->twoSided = in.byte() != 0;
    in.check();
    keepOrStore(vectorTrack(in), material->colour1Track, material->colour1);
    keepOrStore(vectorTrack(in), material->diffuseTrack, material->diffuse);
    keepOrStore(vectorTrack(in), material->colour3Track, material->colour3);
    keepOrStore(envelope(in), material->opacityEnvelope, material->opacity, true);
    material->blendMode = in.byte();
    in.check();

    blendFactors(material->blendMode, material->blendSource, material->blendDestination);
    if (material->textureName.size() > 1) {
        OutputDebugStringA((material->textureName + "\n").c_str());
        material->texture = loadPicture(lowerCase(material->textureName).c_str());
    }
    if (material->reflectionName.size() > 1) material->reflection = loadPicture(lowerCase(material->reflectionName).c_str());
    scene.materials.push_back(std::move(material));
}

// Normals, split vertices and boxes of every mesh; cameras to their targets, meshes to their
// materials.
void finish(Scene& scene, const std::vector<MeshRecord>& records) {
    for (const MeshRecord& record : records) {
        MeshObject& mesh = *record.mesh;
        int corners = int(mesh.faces.size()) * 3;
        computeNormals(mesh, mesh.smoothingAngle * 0.01745329252f);
        SplitResult split = splitVertices(mesh);
        if (split.drawnCount > corners) {
            char text[96];
            std::snprintf(text, sizeof text, "Divided vertices %d, tripled %d", split.drawnCount, corners);
            MessageBoxA(nullptr, text, "error", MB_ICONERROR);
            std::exit(0);
        }
        if (!split.fits)
            throw Broken{"mesh \"" + mesh.name + "\": " + std::to_string(split.drawnCount) +
                             " drawn vertices, more than 16-bit indices reach",
                         record.offset};
        computeBox(mesh);
        computeOrientedBox(mesh);
    }
    if (!scene.cameras.empty()) {
        Camera& camera = *scene.cameras.front();
        for (auto& item : scene.nullObjects)
            if (item->name == camera.targetName) {
                camera.target = item.get();
                break;
            }
    }
    for (auto& material : scene.materials) material->recomputeFlags();
    const int32_t materialCount = int32_t(scene.materials.size());
    for (const MeshRecord& record : records) {
        MeshObject& mesh = *record.mesh;
        for (int slot = 0; slot < 4; ++slot) {
            int32_t index = mesh.materialSlots[slot];
            if (index == -1) continue;
            if (index < 0 || index >= materialCount)
                throw Broken{"mesh \"" + mesh.name + "\": material " + std::to_string(index) + " of " +
                                 std::to_string(materialCount),
                             record.offset};
            mesh.materials[slot] = scene.materials[size_t(index)].get();
        }
    }
}

}  // namespace

Texture* loadMaterialPicture(const char* lowerName) {
    for (const auto& texture : materialPictures)
        if (std::strcmp(texture->name, lowerName) == 0) return texture.get();
    if (!std::strstr(lowerName, ".jpg")) return nullptr;
    materialPictures.emplace_back(loadTexture(lowerName, GL_RGB, false));
    return materialPictures.back().get();
}

int ExportReader::read(Scene& scene, const uint8_t* data, size_t size) {
    error_.clear();
    if (size <= 8) return 0;
    ExportBytes in(data, size);
    in.skip(8);
    std::vector<MeshRecord> records;
    try {
        while (in.remaining() > 0) {
            size_t start = in.offset();
            int32_t type = in.integer();
            in.check();
            switch (type) {
            case recordMesh: readMesh(scene, in, start, records); break;
            case recordCamera: readCamera(scene, in); break;
            case recordLight: readLight(scene, in); break;
            case recordNullObject: readNullObject(scene, in); break;
            case recordMaterial: readMaterial(scene, in, loadPicture); break;
            default: break;
            }
        }
        finish(scene, records);
    } catch (const Broken& broken) {
        error_ = broken.reason + " at byte " + std::to_string(broken.offset);
        return 1;
    }
    return 0;
}
