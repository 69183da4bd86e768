// What the show draws when: eighteen rows of time windows with their effects, and the list of
// keyframed scene parts.
#pragma once

class Scene;
struct Texture;

// A keyframed scene playing between two show times (both ends included).
class TimelinePart {
public:
    TimelinePart(float start, float end, float rate, Scene* scene) : start(start), end(end), rate(rate), scene(scene) {}
    virtual ~TimelinePart() = default;
    virtual void run(float localTime) = 0;

    float start, end;   // show seconds
    float rate;
    Scene* scene;       // not owned
};

// Scrolls the scene's "Material #1" texture and plays the scene at rate x 0.3 of the local time.
class ScaledScenePart : public TimelinePart {
public:
    using TimelinePart::TimelinePart;
    void run(float localTime) override;
};

// Scrolls the texture likewise and plays the scene slowly from 8.4 seconds on; the rate is kept
// and not used.
class OffsetScenePart : public TimelinePart {
public:
    using TimelinePart::TimelinePart;
    void run(float localTime) override;
};

// A growable array of parts: room for 16 at the first insertion, doubled when full.
struct PartList {
    int count = 0;
    int capacity = 0;
    TimelinePart** parts = nullptr;

    void insert(TimelinePart* part);
    ~PartList();
};

extern PartList partList;

// Runs every part whose window holds t, in list order, with its local time t - start.
void runParts(float t);

// One row of the timeline: it runs while from < t < to (open at both ends), or always.
struct TimelineRow {
    float from, to;
    bool always;
    void (*action)(float t);
    bool runsAt(float t) const { return always || (from < t && t < to); }
};

constexpr int timelineRowCount = 18;
extern const TimelineRow timelineRows[timelineRowCount];

// The effect entry points the rows call. The rows reach them through this table, which holds
// the show's own entry points; tests put recorders in their place to see what each row does.
struct TimelineEffects {
    void (*envObjects)(float start);
    void (*billboards)();
    void (*flatMesh)();
    void (*background)();
    void (*tubeGroup2)(float t, Texture* picture, float start);
    void (*tubeGroup1)(float t, Texture* picture);
    void (*banner)();
    void (*dotTitles)(float localTime);
    void (*runScene)(float localTime, int variant, float rate);
    void (*runWorld)(int world);
};
extern TimelineEffects timelineEffects;

// Runs the rows whose windows hold t, in order.
void runTimeline(float t);

// The thirteen textures of the show, loaded in this order when the window is created.
enum ShowTexture {
    TextureAddict1, TextureKalju3512, TextureSc2, TextureSotku2, TextureD4_1, TextureD2_2, TextureD2_3,
    TextureD4_4, TextureD4_22, TextureD5_2, TextureD4_3, TextureDot, TextureSunftext, showTextureCount
};
extern Texture* showTextures[showTextureCount];
// Loads the thirteen, each as its own kind of texture (inside the window's creation).
void loadShowTextures();

// Builds the part list from the four scene members (inside the window's creation).
void buildPartList();
// Frees the parts, the scenes they play (made with them by buildPartList) and the list's
// array, leaving an empty list. For the end of the show.
void releasePartList();
