#include "lightwave/channel.h"

#include "shell/cleanup.h"

namespace {

const Key* keyOf(const ListNode* node) { return node ? static_cast<const Key*>(node->getData()) : nullptr; }

// The cubic Hermite curve from v0 to v1 with tangents t0 (leaving v0) and t1 (arriving at v1),
// at s (0 at v0, 1 at v1; outside that range the curve goes on).
double hermite(double s, double v0, double v1, double t0, double t1) {
    double s2 = s * s, s3 = s2 * s;
    double h1 = 2 * s3 - 3 * s2 + 1;
    double h2 = -2 * s3 + 3 * s2;
    double h3 = s3 - 2 * s2 + s;
    double h4 = s3 - s2;
    return h1 * v0 + h2 * v1 + h3 * t0 + h4 * t1;
}

}  // namespace

Channel::Channel(float* channelTarget) : target(channelTarget) {}

Channel::~Channel() {
    for (ListNode* node = keys.first(); node; node = node->getNext()) delete static_cast<Key*>(node->getData());
}

void Channel::addKey(Key* key) {
    auto* node = new ListNode("key");
    node->setData(key);
    keys.append(node);
    if (key->time > lastTime) lastTime = key->time;
}

Key* Channel::keyAt(int index) const {
    ListNode* node = keys.at(index + 1);
    return node ? static_cast<Key*>(node->getData()) : nullptr;
}

void Channel::setValue(float value) {
    if (target) *target = value;
}

void Channel::evaluate(float t) {
    float value;
    if (valueAt(t, value)) setValue(value);
}

bool Channel::valueAt(float t, float& value) const {
    const ListNode* node0 = keys.first();
    if (!node0) return false;

    // The span: the first key later than t in list order ends it, else the last key does.
    const ListNode* node1 = node0->getNext();
    const Key* prev = nullptr;
    while (node1 && !(keyOf(node1)->time > t) && node1->getNext()) {
        prev = keyOf(node0);
        node0 = node1;
        node1 = node1->getNext();
    }
    const Key* k0 = keyOf(node0);
    const Key* k1 = keyOf(node1);
    const Key* next = node1 ? keyOf(node1->getNext()) : nullptr;

    if (t >= lastTime) {   // after the end the last key of the list holds
        const ListNode* last = node1 ? node1 : node0;
        while (last->getNext()) last = last->getNext();
        value = keyOf(last)->value;
        return true;
    }
    if (!k1) {
        value = k0->value;
        return true;
    }

    double span = double(k1->time) - k0->time;
    double s = (double(t) - k0->time) / span;   // negative before the first key: the span extends
    double d = double(k1->value) - k0->value;
    switch (k0->shape) {
    case keyShapeLinear: value = float(k0->value + d * s); return true;
    case keyShapeStepped: value = k0->value; return true;
    case keyShapeTCB: {
        double a0 = (1.0 - k0->p1) * (1.0 + k0->p2) * (1.0 + k0->p3);
        double b0 = (1.0 - k0->p1) * (1.0 - k0->p2) * (1.0 - k0->p3);
        double a1 = (1.0 - k1->p1) * (1.0 - k1->p2) * (1.0 + k1->p3);
        double b1 = (1.0 - k1->p1) * (1.0 + k1->p2) * (1.0 - k1->p3);
        double t0 = prev ? (a0 * (double(k0->value) - prev->value) + b0 * d) * span / (double(k1->time) - prev->time)
                         : 0.5 * (a0 + b0) * d;
        double t1 = next ? (a1 * d + b1 * (double(next->value) - k1->value)) * span / (double(next->time) - k0->time)
                         : 0.5 * (a1 + b1) * d;
        value = float(hermite(s, k0->value, k1->value, t0, t1));
        return true;
    }
    case keyShapeHermite:
    case keyShapeBezier: {
        double t0 = k0->p5, t1 = k1->p4;
        if (prev) t0 *= span / (double(k1->time) - prev->time);
        if (next) t1 *= span / (double(next->time) - k0->time);
        value = float(hermite(s, k0->value, k1->value, t0, t1));
        return true;
    }
    default: cleaner.fatal("Unkown key type");
    }
}
