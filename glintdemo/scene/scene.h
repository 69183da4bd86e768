// A keyframed scene of the show: mesh objects, cameras, lights and null objects with their
// transforms and tracks, and materials; loaded from one archive member (".exp" record files or
// ".lws" scene descriptions), animated at a scene time and drawn through OpenGL.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/transform.h"

struct Texture;

// How every scene is drawn, set by the effects that own scenes; values stay until changed.
struct SceneDisplayState {
    float fade = 1.0f;                    // multiplies every material's opacity
    bool textureOffset = true;            // scroll textures by their material's u offset
    bool textureRotation = false;         // turn textures about their centre ...
    float textureRotationSpeed = 1.0f;    // ... by this many degrees per second of show time
};
extern SceneDisplayState sceneDisplay;

// Material flag bits.
constexpr uint32_t materialColours = 1;      // draw with the per-vertex colour array
constexpr uint32_t materialTextured = 2;     // has a texture
constexpr uint32_t materialReflective = 4;   // has a sphere-mapped reflection texture

struct Material {
    // Recomputes the flags from the textures: colours, plus textured and reflective where they are.
    void recomputeFlags();

    bool textureMatrixLoaded = false;   // set while bound, for unbinding
    bool generationOn = false;          // likewise
    uint32_t flags = materialColours;
    Texture* texture = nullptr;
    Texture* reflection = nullptr;
    GLenum blendSource = GL_SRC_ALPHA, blendDestination = GL_ONE_MINUS_SRC_ALPHA;
    std::string name;             // lower case
    std::string textureName;
    std::string secondName;       // kept, not used
    std::string reflectionName;
    int32_t kept = 0;             // kept, not used
    uint8_t blendMode = 0;
    float opacity = 1.0f;
    float offsetU = 0.0f, offsetV = 0.0f;
    float colour1[3] = {1, 1, 1}, diffuse[3] = {1, 1, 1}, colour3[3] = {1, 1, 1};
    // Tracks of two keys or more, evaluated every update; shorter ones gave their value at load.
    std::unique_ptr<VectorTrack> colour1Track, diffuseTrack, colour3Track;
    std::unique_ptr<Envelope> offsetUEnvelope, offsetVEnvelope, opacityEnvelope;
    bool twoSided = false;
    uint8_t visible = 1;
};

// Blend factors of a material's blend mode; unknown modes blend as mode 0.
void blendFactors(int mode, GLenum& source, GLenum& destination);

// Something placed in the scene: it owns its transform, which writes `world`.
struct SceneItem {
    SceneItem() { transform.world = world; }
    virtual ~SceneItem() = default;
    SceneItem(const SceneItem&) = delete;
    SceneItem& operator=(const SceneItem&) = delete;

    std::string name;
    Transform transform;
    float world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct NullObject : SceneItem {};

struct Light : SceneItem {
    float colour[3] = {};
};

struct Camera : SceneItem {
    // Sets the field of view (radians) and the screen scale factors that follow from it.
    void setFieldOfView(float radians);

    bool described = false;        // the "LWOCAM" camera of a scene description
    std::string targetName;
    SceneItem* target = nullptr;
    float fieldOfView = 0.785398f; // radians for ".exp" cameras
    float zoom = 3.2f;             // zoom factor of a described camera
    float aspect = 0.75f;
    float roll = 0.0f;             // radians
    float screenWidth = 640.0f, screenHeight = 480.0f;
    float motionMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};   // a described camera's motion
    float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float position[3] = {};
    float screenScaleX = 0, screenScaleY = 0;
    float frustum[6] = {-1, 1, -0.75f, 0.75f, 1, 10000};   // left, right, bottom, top, near, far
};

// One corner of a triangle as the renderer draws it: 64 bytes, read by the vertex arrays.
struct DrawnVertex {
    float colour[4];
    float u, v;
    float normal[3];
    float position[3];
    int32_t index;
    int32_t spare[3];
};
static_assert(sizeof(DrawnVertex) == 64, "the vertex arrays read 64-byte vertices");

// A triangle as read: vertex and texture-coordinate indices, its normal links, face normal and
// smoothing group.
struct InputFace {
    int32_t vertex[3];
    int32_t textureCoordinate[3];
    int32_t normalLink[3];   // index into the mesh's normals; -1: not linked yet
    float faceNormal[3];
    int32_t group;
};

struct FacePlane {
    int32_t vertex[3];   // drawn vertices
    float normal[3];
    float distance;      // normal . first corner
};

struct MeshObject : SceneItem {
    int32_t identifier = 0;
    int32_t parentIdentifier = -1;
    uint32_t flags = 0;                  // bit 0 hidden, bit 1 draw through a display list
    float smoothingAngle = 90.0f;        // degrees
    int32_t shading = 1;
    GLuint displayList = 0;              // nothing compiles one

    // As read, until processing turns them into drawn vertices.
    std::vector<float> inputPositions;           // 3 a vertex
    std::vector<float> textureCoordinates;       // 3 a coordinate: u, 1 - v, 0
    std::vector<InputFace> faces;
    std::vector<uint16_t> indices;               // 3 a face: drawn vertices after processing
    std::vector<FacePlane> planes;
    std::vector<float> normals;                  // 3 a normal: the pool and the corners' own
    int poolCount = 0;

    std::vector<DrawnVertex> vertices;
    float boxMinimum[3] = {1.0e12f, 1.0e12f, 1.0e12f};
    float boxMaximum[3] = {-1.0e12f, -1.0e12f, -1.0e12f};
    float boxCorners[8][3] = {};
    double scatter[3][3] = {};
    float axes[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};   // eigenvector k in column k
    float eigenvalues[3] = {};
    float orientedCentre[3] = {};
    float orientedCorners[8][3] = {};

    float modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float eyeCorners[8][3] = {};
    float eyeMinimum[3] = {}, eyeMaximum[3] = {};
    bool visible = false;
    int32_t materialSlots[4] = {-1, -1, -1, -1};
    Material* materials[4] = {};
};

class Scene {
public:
    // Scene kinds by file extension.
    enum Kind : uint8_t { None = 0, Asc = 1, Ase = 2, Exp = 3, Lws = 4 };

    explicit Scene(const char* fileName);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The kind named by the file name's extension (the first "." followed by "asc", "ase",
    // "exp" or "lws" within the first 32 characters), or None.
    static Kind kindOf(const char* fileName);

    // Reads the member named at construction with the reader its extension picks; returns the
    // kind. A missing member stops the show with the archive's message; a broken one stops it
    // with a message box naming the member.
    Kind load();

    // update(seconds x 30), draw(), then the overlays the scene's switches ask for.
    void play(float seconds);
    // Evaluates every transform, the first camera, the first light and the materials at `time`
    // (frames, multiplied by the scene's rate), lights every mesh, and sets the camera's
    // projection.
    void update(float time);
    // update() without the projection: everything it computes, and no drawing call.
    void animate(float time);
    // Draws the meshes: opaque ones nearest first with depth writes, then blended ones without.
    void draw();
    // One line along each drawn vertex normal of every mesh.
    void normalsOverlay();
    // The oriented box of every mesh as lines.
    void boundingBoxOverlay();

    // Scrolls the texture of the material named (in any letter case).
    void setTextureOffsetU(const char* material, float offset);
    Material* findMaterial(const char* name);
    MeshObject* findMesh(const std::string& lowerName);

    std::string fileName;            // the archive member, as given
    Kind kind = None;
    std::vector<std::unique_ptr<MeshObject>> meshes;
    std::vector<std::unique_ptr<Camera>> cameras;
    std::vector<std::unique_ptr<NullObject>> nullObjects;
    std::vector<std::unique_ptr<Light>> lights;
    std::vector<std::unique_ptr<Material>> materials;
    float rate = 1.0f;
    bool drawNormals = false;
    bool drawEdges = false;          // no edge list exists; nothing is drawn for it
    bool drawBoundingBoxes = false;
    // Set by scene descriptions: boxes are drawn only when this and the switch above are on.
    bool descriptionDrawsBoxes = false;
    float normalLength = 500.0f;     // of the drawn vertex normals

private:
    void updateCamera(Camera& camera, float time);
    static void applyProjection(const Camera& camera);
    void lightMesh(MeshObject& mesh);
    void drawMesh(MeshObject& mesh);
};
