// Keyed tracks, motions and transforms against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/mesh.h"
#include "scene/matrix.h"
#include "scene/tracks.h"
#include "scene/transform.h"

namespace {

constexpr float tolerance = 1e-4f;

VectorTrack line(std::initializer_list<std::pair<float, float>> frameValues, float tension = 0) {
    VectorTrack track(int(frameValues.size()));
    size_t i = 0;
    for (auto [frame, value] : frameValues) {
        track.keys[i].frame = frame;
        track.keys[i].tension = tension;
        track.keys[i].value[0] = value;
        ++i;
    }
    track.prepare();
    return track;
}

float at(VectorTrack& track, float time) {
    track.evaluate(time);
    return track.value[0];
}

TEST(SceneTracks, TwoKeysWithoutTensionGiveThePlainCubicAlongTheChord) {
    VectorTrack track = line({{0, 0}, {10, 10}});
    EXPECT_FLOAT_EQ(track.keys[0].outgoing[0], 10.0f);
    EXPECT_FLOAT_EQ(track.keys[1].incoming[0], 10.0f);
    // Tangents equal to the chord make the cubic a straight line.
    EXPECT_NEAR(at(track, 2.5f), 2.5f, tolerance);
    EXPECT_NEAR(at(track, 5.0f), 5.0f, tolerance);
    // Full tension flattens the ends: h2 at u = 0.25 is 0.15625.
    VectorTrack tense = line({{0, 0}, {10, 10}}, 1.0f);
    EXPECT_NEAR(at(tense, 2.5f), 1.5625f, tolerance);
}

TEST(SceneTracks, OneKeyIsConstantAndTimeIsClampedAtBothEnds) {
    VectorTrack single = line({{5, 7}});
    EXPECT_EQ(at(single, -3), 7.0f);
    EXPECT_EQ(at(single, 100), 7.0f);
    VectorTrack track = line({{0, 2}, {10, 4}});
    EXPECT_NEAR(at(track, -5), 2.0f, tolerance);   // before 0 counts as 0
    EXPECT_NEAR(at(track, 50), 4.0f, tolerance);   // after the last key holds it
    EXPECT_EQ(track.segment, 0);
    // A first key after frame 0 is held before it.
    VectorTrack late = line({{10, 3}, {20, 5}});
    EXPECT_NEAR(at(late, 4), 3.0f, tolerance);
}

TEST(SceneTracks, TangentsOfFirstInnerAndLastKeys) {
    // Values 0, 1, 4 at frames 0, 1, 3.
    VectorTrack track = line({{0, 0}, {1, 1}, {3, 4}});
    // Inner key: (1 + 3) weighted by the neighbouring spans over the whole span.
    EXPECT_NEAR(track.keys[1].incoming[0], 4.0f * 1.0f / 3.0f, tolerance);
    EXPECT_NEAR(track.keys[1].outgoing[0], 4.0f * 2.0f / 3.0f, tolerance);
    // First key: d = 4, k = 0.25 - 1/6; out = 2 + 1.5 (1 - 2) + k d.
    EXPECT_NEAR(track.keys[0].outgoing[0], 2.0f - 1.5f + (0.25f - 1.0f / 6.0f) * 4.0f, tolerance);
    // Last key: d = 4, k = 0.25 - 2/6 + 0.5; in = 1.5 (3 - 2) + k d.
    EXPECT_NEAR(track.keys[2].incoming[0], 1.5f + (0.75f - 2.0f / 6.0f) * 4.0f, tolerance);
    // The curve passes through its keys.
    EXPECT_NEAR(at(track, 1), 1.0f, tolerance);
    EXPECT_NEAR(at(track, 3), 4.0f, tolerance);
    EXPECT_EQ(track.segment, 1);
}

TEST(SceneTracks, KeysOnTheSameFrameGiveNoInfiniteValues) {
    VectorTrack track = line({{0, 0}, {0, 5}, {0, 9}});
    for (float t : {0.0f, 1.0f}) EXPECT_TRUE(std::isfinite(at(track, t))) << t;
}

TEST(SceneTracks, OpacityEnvelopesAreLinearOthersHermite) {
    Envelope envelope(3);
    const float frames[] = {0, 10, 20}, values[] = {0, 1, 0};
    for (int i = 0; i < 3; ++i) {
        envelope.keys[size_t(i)].frame = frames[i];
        envelope.keys[size_t(i)].value = values[i];
    }
    envelope.prepare();
    envelope.evaluateLinear(5);
    EXPECT_NEAR(envelope.value, 0.5f, tolerance);
    envelope.evaluateLinear(15);
    EXPECT_NEAR(envelope.value, 0.5f, tolerance);
    // Hermite: out_0 = (0 + 1.5 (1 - 0) + 0) = 1.5 (d = 0, k = 0); in_1 = 0 (a peak).
    envelope.evaluate(5);
    Hermite h(0.5f);
    EXPECT_NEAR(envelope.value, h.h2 * 1.0f + h.h3 * 1.5f, tolerance);
}

Motion motion(std::initializer_list<std::pair<float, float>> frameValues, int endBehaviour) {
    Motion m;
    for (auto [frame, value] : frameValues) {
        MotionKey key;
        key.frame = frame;
        key.values[PositionX] = value;
        key.values[ScaleX] = key.values[ScaleY] = key.values[ScaleZ] = 1;
        m.keys.push_back(key);
    }
    m.endBehaviour = endBehaviour;
    m.link();
    return m;
}

float at(Motion& m, float time) {
    m.evaluate(time);
    return m.values[PositionX];
}

TEST(SceneMotions, EndBehaviourTwoRepeatsOthersHold) {
    Motion repeat = motion({{0, 0}, {60, 30}}, 2);
    EXPECT_NEAR(at(repeat, 10), at(repeat, 70), tolerance);
    EXPECT_NEAR(at(repeat, 10), 5.0f, tolerance);   // two keys: tangents d, a straight line
    EXPECT_NEAR(at(repeat, 125), at(repeat, 5), tolerance);
    Motion hold = motion({{0, 0}, {60, 30}}, 1);
    EXPECT_NEAR(at(hold, 500), 30.0f, tolerance);
    Motion keep = motion({{0, 0}, {60, 30}}, 7);   // the time is not touched: the last key holds
    EXPECT_NEAR(at(keep, 500), 30.0f, tolerance);
    Motion single = motion({{4, 11}}, 0);
    EXPECT_EQ(at(single, 50), 11.0f);
}

TEST(SceneMotions, InnerKeysUseTheirNeighboursAndTheSpanIsRounded) {
    Motion m = motion({{0, 0}, {10, 10}, {20, 40}}, 0);
    // Segment 10..20 at u = 0.5: outgoing of key 1 = 10/20 (10 + 30) = 20; incoming of the last
    // key = d = 30.
    Hermite h(0.5f);
    EXPECT_NEAR(at(m, 15), h.h1 * 10 + h.h2 * 40 + h.h3 * 20 + h.h4 * 30, tolerance);
    // The segment's span is rounded to whole frames: 9.6 counts as 10.
    Motion rounded = motion({{0, 0}, {9.6f, 9.6f}}, 0);
    Hermite h48(0.48f);
    EXPECT_NEAR(at(rounded, 4.8f), h48.h2 * 9.6f + (h48.h3 + h48.h4) * 9.6f, tolerance);
    // A linear key makes the segment that ends at it a line.
    Motion linear = motion({{0, 0}, {10, 10}, {20, 40}}, 0);
    linear.keys[2].linear = 1;
    EXPECT_NEAR(at(linear, 15), 25.0f, tolerance);
}

TEST(SceneMotions, MatrixScalesBanksPitchesHeadsThenMoves) {
    Motion m = motion({{0, 0}}, 0);
    m.evaluate(0);
    m.values[ScaleX] = m.values[ScaleY] = m.values[ScaleZ] = 2;
    m.values[Heading] = 90;
    m.values[PositionX] = 5;
    float matrix[16], out[3];
    m.toMatrix(matrix);
    const float point[3] = {1, 0, 0};
    transformPoint(matrix, point, out);
    // (1, 0, 0) -> scaled (2, 0, 0) -> headed by -90 degrees about y -> (0, 0, -2) -> moved.
    EXPECT_NEAR(out[0], 5, tolerance);
    EXPECT_NEAR(out[1], 0, tolerance);
    EXPECT_NEAR(out[2], -2, tolerance);
    m.values[Heading] = 0;
    m.values[Bank] = 90;
    m.toMatrix(matrix);
    transformPoint(matrix, point, out);
    EXPECT_NEAR(out[1], 2, tolerance);   // banked +90 about z
}

Quaternion aboutAxis(float degrees, float x, float y, float z) {
    float half = degrees * 3.14159265f / 360.0f;
    return {std::cos(half), x * std::sin(half), y * std::sin(half), z * std::sin(half)};
}

void expectSameRotation(const Quaternion& a, const Quaternion& b, const char* what) {
    float d = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    EXPECT_NEAR(std::fabs(d), 1.0f, 1e-5f) << what;
}

RotationTrack rotations(std::initializer_list<std::pair<float, Quaternion>> keys) {
    RotationTrack track(int(keys.size()));
    size_t i = 0;
    for (auto [frame, q] : keys) {
        track.keys[i].frame = frame;
        track.keys[i].q = q;
        ++i;
    }
    track.prepare();
    return track;
}

TEST(SceneRotations, IdentityKeysStayIdentity) {
    RotationTrack track = rotations({{0, {}}, {10, {}}, {25, {}}});
    for (float t : {0.0f, 3.0f, 10.0f, 17.5f, 40.0f}) {
        track.evaluate(t);
        EXPECT_NEAR(track.value.w, 1, 1e-6f) << t;
        EXPECT_NEAR(track.value.x * track.value.x + track.value.y * track.value.y + track.value.z * track.value.z, 0,
                    1e-10f);
    }
}

TEST(SceneRotations, KeysAreRelativeAndSquadHitsThemAtBothEnds) {
    Quaternion first = aboutAxis(30, 0, 0, 1), second = aboutAxis(60, 0, 0, 1), third = aboutAxis(45, 1, 0, 0);
    RotationTrack track = rotations({{0, first}, {10, second}, {20, third}});
    Quaternion absolute1 = aboutAxis(90, 0, 0, 1);
    Quaternion absolute2 = multiply(absolute1, third);
    expectSameRotation(track.keys[1].q, absolute1, "key 1 made absolute");
    expectSameRotation(track.keys[2].q, absolute2, "key 2 made absolute");
    track.evaluate(0);
    expectSameRotation(track.value, first, "u = 0 of segment 0");
    track.evaluate(10);
    expectSameRotation(track.value, absolute1, "u = 1 of segment 0");
    track.evaluate(20);
    expectSameRotation(track.value, absolute2, "the last key");
}

TEST(SceneRotations, EvenTurnsAboutOneAxisInterpolateEvenly) {
    // Steps of 40 degrees about z: the control quaternions fall on the keys, squad is a slerp.
    RotationTrack track = rotations({{0, {}}, {10, aboutAxis(40, 0, 0, 1)}, {20, aboutAxis(40, 0, 0, 1)}});
    track.evaluate(15);
    expectSameRotation(track.value, aboutAxis(60, 0, 0, 1), "halfway between 40 and 80 degrees");
    float m[16];
    quaternionToMatrix(aboutAxis(90, 0, 0, 1), m);
    EXPECT_NEAR(m[1], -1, 1e-6f);
    EXPECT_NEAR(m[4], 1, 1e-6f);
    EXPECT_NEAR(m[15], 1, 0);
}

TEST(SceneRotations, SlerpTakesTheShortWayAcrossHemispheres) {
    Quaternion a = aboutAxis(10, 0, 0, 1);
    Quaternion b = aboutAxis(30, 0, 0, 1);
    Quaternion negated = {-b.w, -b.x, -b.y, -b.z};
    expectSameRotation(slerp(a, negated, 0.5f, 0, true), aboutAxis(20, 0, 0, 1), "short way");
    Quaternion exponent = quaternionExp(quaternionLog(a, b));
    expectSameRotation(multiply(a, exponent), b, "exp of log");
}

// Counts how often a transform runs its controllers.
class CountingController : public Controller {
public:
    explicit CountingController(int& runs) : runs(runs) {}
    void run(float) override { ++runs; }
    int& runs;
};

std::unique_ptr<VectorTrack> still(float x, float y, float z) {
    auto track = std::make_unique<VectorTrack>(1);
    track->keys[0].value[0] = x;
    track->keys[0].value[1] = y;
    track->keys[0].value[2] = z;
    return track;
}

TEST(SceneTransforms, AnEqualNonZeroTimeIsNotEvaluatedTwice) {
    int runs = 0;
    Transform transform;
    transform.controllers.push_back(std::make_unique<CountingController>(runs));
    transform.update(0);
    transform.update(0);
    EXPECT_EQ(runs, 2);   // time 0 always evaluates
    transform.update(5);
    transform.update(5);
    EXPECT_EQ(runs, 3);
    transform.update(6);
    EXPECT_EQ(runs, 4);
}

TEST(SceneTransforms, ParentFirstThenLocalThenPivot) {
    Transform parent, child;
    float parentWorld[16], childWorld[16];
    parent.world = parentWorld;
    child.world = childWorld;
    parent.rotation = std::make_unique<RotationTrack>(1);
    parent.rotation->keys[0].q = aboutAxis(90, 0, 0, 1);
    parent.rotation->prepare();
    child.position = still(1, 0, 0);
    child.parent = &parent;
    child.update(3);
    // P . L: the parent's turn comes first, so the child's offset is not turned.
    EXPECT_NEAR(childWorld[12], 1, tolerance);
    EXPECT_NEAR(childWorld[13], 0, tolerance);
    EXPECT_NEAR(childWorld[1], -1, tolerance);
    EXPECT_EQ(parent.lastTime, 3.0f);   // the parent was brought to the same time

    Transform pivoted;
    pivoted.position = still(10, 0, 0);
    pivoted.pivot[0] = 1;
    pivoted.pivot[1] = 2;
    pivoted.pivot[2] = 3;
    pivoted.update(1);
    EXPECT_NEAR(pivoted.result[12], 9, tolerance);
    EXPECT_NEAR(pivoted.result[13], -2, tolerance);
    EXPECT_NEAR(pivoted.result[14], -3, tolerance);
}

TEST(SceneTransforms, ExtraMatrixModes) {
    auto placed = [](int mode) {
        Transform t;
        t.position = still(10, 0, 0);
        t.extraMode = mode;
        scaling(2, 2, 2, t.extra);
        t.extra[13] = 7;
        t.update(1);
        return std::vector<float>(t.result, t.result + 16);
    };
    std::vector<float> before = placed(1), after = placed(2), only = placed(3), none = placed(0);
    EXPECT_FLOAT_EQ(before[12], 10);   // X . L: X's scale and move first, then L's move
    EXPECT_FLOAT_EQ(before[13], 7);
    EXPECT_FLOAT_EQ(before[0], 2);
    EXPECT_FLOAT_EQ(after[12], 20);    // L . X: L's move is scaled, then X moves
    EXPECT_FLOAT_EQ(after[13], 7);
    EXPECT_FLOAT_EQ(only[12], 0);
    EXPECT_FLOAT_EQ(only[13], 7);
    EXPECT_FLOAT_EQ(none[0], 1);
    EXPECT_FLOAT_EQ(none[12], 10);
}

}  // namespace
