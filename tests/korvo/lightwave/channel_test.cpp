// Channel evaluation against values worked out by hand for every key shape: the span search,
// the ends of the curve, TCB and Hermite tangents with the time adjustment of unevenly spaced
// keys, and the key shape nothing draws.
#include <gtest/gtest.h>

#include <initializer_list>

#include "lightwave/channel.h"

namespace {

struct K {
    float value, time;
    int shape = keyShapeTCB;
    float p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0;
};

class ChannelTest : public ::testing::Test {
protected:
    Channel& channel(std::initializer_list<K> keys) {
        made = std::make_unique<Channel>(&target);
        for (const K& k : keys) {
            auto* key = new Key();
            key->value = k.value;
            key->time = k.time;
            key->shape = int8_t(k.shape);
            key->p1 = k.p1;
            key->p2 = k.p2;
            key->p3 = k.p3;
            key->p4 = k.p4;
            key->p5 = k.p5;
            made->addKey(key);
        }
        return *made;
    }
    float at(float t) {
        target = -12345.0f;
        made->evaluate(t);
        return target;
    }

    float target = 0.0f;
    std::unique_ptr<Channel> made;
};

constexpr float epsilon = 1e-5f;

TEST_F(ChannelTest, LinearKeysInterpolateAndExtendBeforeTheFirstKey) {
    channel({{0, 0, keyShapeLinear}, {10, 1, keyShapeLinear}});
    EXPECT_NEAR(at(0.25f), 2.5f, epsilon);
    EXPECT_EQ(at(1.0f), 10.0f);
    EXPECT_EQ(at(3.0f), 10.0f);
    EXPECT_NEAR(at(-1.0f), -10.0f, epsilon);
}

TEST_F(ChannelTest, ASteppedKeyHoldsUntilTheNextKey) {
    channel({{2, 0, keyShapeStepped}, {8, 1, keyShapeLinear}, {0, 2, keyShapeLinear}});
    EXPECT_EQ(at(0.999f), 2.0f);
    EXPECT_EQ(at(1.0f), 8.0f);
    EXPECT_NEAR(at(1.5f), 4.0f, epsilon) << "the second key's own shape starts the next span";
}

TEST_F(ChannelTest, OneKeyGivesItsValueEverywhereAndNoKeysWriteNothing) {
    channel({{5, 2}});
    EXPECT_EQ(at(0.0f), 5.0f);
    EXPECT_EQ(at(2.0f), 5.0f);
    EXPECT_EQ(at(9.0f), 5.0f);
    channel({});
    EXPECT_EQ(at(1.0f), -12345.0f);
}

TEST_F(ChannelTest, TCBTangentsComeFromTheNeighboursScaledByUnevenSpans) {
    // Spans of 1 and 2 seconds, all parameters 0.
    channel({{0, 0}, {10, 1}, {4, 3}});
    // First span, no key before: T0 = d = 10; T1 = (10 + (4 - 10)) * 1 / 3.
    EXPECT_NEAR(at(0.5f), 0.5f * 10 + 0.125f * 10 - 0.125f * (4.0f / 3), epsilon);
    // Second span, no key after: T0 = (10 + (-6)) * 2 / 3; T1 = d = -6.
    EXPECT_NEAR(at(2.0f), 0.5f * 10 + 0.5f * 4 + 0.125f * (8.0f / 3) - 0.125f * -6, epsilon);
    // Before the first key the first span's cubic goes on (s = -1): not a straight line.
    EXPECT_NEAR(at(-1.0f), 5 * 10 - 4 * 10 - 2 * (4.0f / 3), epsilon);
}

TEST_F(ChannelTest, TensionContinuityAndBiasShapeBothTangents) {
    channel({{0, 0}, {10, 1, keyShapeTCB, 0.2f, 0.3f, -0.4f}, {4, 3, keyShapeTCB, -0.5f, 0.1f, 0.6f}, {6, 4}});
    // Span 1-3 (s = 0.5, d = -6):
    //   A0 = 0.8 * 1.3 * 0.6 = 0.624, B0 = 0.8 * 0.7 * 1.4 = 0.784: T0 = (0.624 * 10 + 0.784 * -6) * 2 / 3 = 1.024
    //   A1 = 1.5 * 0.9 * 1.6 = 2.16,  B1 = 1.5 * 1.1 * 0.4 = 0.66:  T1 = (2.16 * -6 + 0.66 * 2) * 2 / 3 = -7.76
    EXPECT_NEAR(at(2.0f), 0.5f * 10 + 0.5f * 4 + 0.125f * 1.024f + 0.125f * 7.76f, epsilon);
}

TEST_F(ChannelTest, HermiteAndBezierKeysUseTheirTangentsScaledByUnevenSpans) {
    for (int shape : {keyShapeHermite, keyShapeBezier}) {
        // No neighbours: the tangents as written, outgoing of the first key, incoming of the second.
        channel({{1, 0, shape, 0, 0, 0, 9, 2}, {3, 2, shape, 0, 0, 0, -1, 9}});
        EXPECT_NEAR(at(1.0f), 0.5f * 1 + 0.5f * 3 + 0.125f * 2 + 0.125f * 1, epsilon) << "shape " << shape;
        // Span of 3 seconds between keys at 1 and 4, neighbours at 0 and 5:
        // T0 = 2 * 3 / (4 - 0) = 1.5, T1 = -1 * 3 / (5 - 1) = -0.75.
        channel({{0, 0, shape}, {1, 1, shape, 0, 0, 0, 9, 2}, {3, 4, shape, 0, 0, 0, -1, 9}, {5, 5, shape}});
        EXPECT_NEAR(at(2.5f), 0.5f * 1 + 0.5f * 3 + 0.125f * 1.5f + 0.125f * 0.75f, epsilon) << "shape " << shape;
    }
}

TEST_F(ChannelTest, KeysOutOfTimeOrderAreSearchedInListOrder) {
    Channel& c = channel({{0, 0, keyShapeLinear}, {10, 2, keyShapeLinear}, {5, 1, keyShapeLinear}});
    EXPECT_EQ(c.lastTime, 2.0f);
    EXPECT_NEAR(at(1.5f), 7.5f, epsilon) << "the first key later than t ends the span";
    EXPECT_EQ(at(2.5f), 5.0f) << "after the last time: the value of the last key in the list";
    EXPECT_EQ(c.keyAt(2)->value, 5.0f);
    EXPECT_EQ(c.keyAt(3), nullptr);
}

TEST_F(ChannelTest, AnUnknownShapeEndsTheProgramWhenItsSpanIsEvaluated) {
    channel({{0, 0, 7}, {10, 1}});
    EXPECT_EQ(at(1.0f), 10.0f) << "after the last key the shape is not looked at";
    EXPECT_EXIT(at(0.5f), ::testing::ExitedWithCode(20), "\\[Korvo error\\] Unkown key type");
}

}  // namespace
