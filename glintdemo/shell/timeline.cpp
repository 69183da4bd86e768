#include "shell/timeline.h"

#include <cstdlib>

#include "assets/picture.h"
#include "effects/effects.h"
#include "scene/scene.h"
#include "shell/demowindow.h"

PartList partList;
Texture* showTextures[showTextureCount];

void ScaledScenePart::run(float localTime) {
    scene->setTextureOffsetU("Material #1", localTime * 0.2f);
    scene->play(localTime * rate * 0.3f);
}

void OffsetScenePart::run(float localTime) {
    scene->setTextureOffsetU("Material #1", localTime * 0.2f);
    scene->play(localTime * 0.033f + 8.4f);
}

void PartList::insert(TimelinePart* part) {
    if (count == capacity) {
        int grown = capacity ? capacity * 2 : 16;
        auto** larger = static_cast<TimelinePart**>(std::realloc(parts, sizeof(TimelinePart*) * size_t(grown)));
        if (!larger) return;
        parts = larger;
        capacity = grown;
    }
    parts[count++] = part;
}

PartList::~PartList() { std::free(parts); }

void runParts(float t) {
    for (int i = 0; i < partList.count; ++i) {
        TimelinePart* part = partList.parts[i];
        if (part->start <= t && t <= part->end) part->run(t - part->start);
    }
}

TimelineEffects timelineEffects = {effectEnvObjects, effectBillboards, effectFlatMesh, effectBackground,
                                   effectTubeGroup2, effectTubeGroup1, effectBanner,     effectDotTitles,
                                   effectRunScene,   runWorld};

namespace {
TimelineEffects& fx = timelineEffects;
}  // namespace

const TimelineRow timelineRows[timelineRowCount] = {
    {0, 56, false, [](float) { fx.envObjects(82.0f); fx.billboards(); }},
    {56, 157, false, [](float) { fx.flatMesh(); }},
    {233, 290, false, [](float) { fx.flatMesh(); fx.billboards(); }},
    {0, 0, true, [](float t) { runParts(t); }},
    {12, 19, false, [](float) { currentBackground = showTextures[TextureD2_3]; }},
    {19, 31.5f, false, [](float) { currentBackground = showTextures[TextureD4_4]; }},
    {31.5f, 44, false, [](float) { currentBackground = showTextures[TextureD2_2]; }},
    {44, 56, false, [](float) { currentBackground = showTextures[TextureD4_1]; }},
    {0, 0, true, [](float) { fx.background(); }},
    {56, 82, false, [](float) { fx.runWorld(2); }},
    {0, 56, false, [](float t) { fx.tubeGroup2(t, showTextures[TextureKalju3512], 4.0f); fx.dotTitles(t - 6.0f); }},
    {0, 56, false, [](float) { fx.banner(); }},
    {82, 136, false, [](float) { fx.envObjects(0.0f); fx.billboards(); }},
    {122, 132, false, [](float t) { fx.tubeGroup2(t, showTextures[TextureSc2], 122.0f); }},
    {156, 182, false, [](float t) { fx.runScene(t - 156.0f, 1, 0.243f); }},
    {182, 233, false, [](float t) { fx.flatMesh(); fx.runWorld(3); fx.runScene(t - 182.0f, 3, 0.343f); }},
    {233, 290, false, [](float t) {
         currentBackground = showTextures[TextureD5_2];
         fx.tubeGroup1(t, showTextures[TextureKalju3512]);
     }},
    {132, 157, false, [](float) { fx.runWorld(4); }},
};

void runTimeline(float t) {
    for (const TimelineRow& row : timelineRows)
        if (row.runsAt(t)) row.action(t);
}

void loadShowTextures() {
    struct TextureDescription {
        const char* name;
        GLint format;
    };
    static const TextureDescription textures[showTextureCount] = {
        {"addict1.jpg", GL_RGB},       {"kalju3512.jpg", GL_RGB},     {"sc2.jpg", GL_RGB},
        {"sotku2.jpg", GL_RGB},        {"d4_1.jpg", GL_LUMINANCE4},   {"d2_2.jpg", GL_LUMINANCE4},
        {"d2_3.jpg", GL_LUMINANCE4},   {"d4_4.jpg", GL_LUMINANCE4},   {"d4_22.jpg", GL_LUMINANCE4},
        {"d5_2.jpg", GL_LUMINANCE4},   {"d4_3.jpg", GL_RGB},          {"dot.jpg", GL_LUMINANCE},
        {"sunftext.jpg", GL_LUMINANCE},
    };
    for (int i = 0; i < showTextureCount; ++i) showTextures[i] = loadTexture(textures[i].name, textures[i].format, false);
}

void buildPartList() {
    struct PartDescription {
        const char* member;
        bool offset;
        float start, end, rate;
        bool normalLines;
    };
    static const PartDescription descriptions[] = {
        {"kurwa2_.exp", false, 56.0f, 82.0f, 0.86f, true},
        {"kurwa.exp", false, 82.0f, 122.0f, 0.56f, true},
        {"scene6.exp", true, 136.0f, 157.0f, 0.956f, false},
        {"freak.exp", false, 56.0f, 82.0f, 2.2f, true},
    };
    for (const PartDescription& d : descriptions) {
        Scene* scene = new Scene(d.member);
        scene->load();
        if (d.normalLines) scene->drawNormals = true;
        if (d.offset) partList.insert(new OffsetScenePart(d.start, d.end, d.rate, scene));
        else partList.insert(new ScaledScenePart(d.start, d.end, d.rate, scene));
    }
}

void releasePartList() {
    for (int i = 0; i < partList.count; ++i) {
        delete partList.parts[i]->scene;
        delete partList.parts[i];
    }
    std::free(partList.parts);
    partList.parts = nullptr;
    partList.count = partList.capacity = 0;
}
