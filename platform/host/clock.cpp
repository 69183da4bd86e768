#include <chrono>

#include "host/host.h"
#include "state.h"

namespace host {

namespace {
constexpr int64_t realFrequency = 10'000'000;  // 100 ns ticks, as Windows reports today
constexpr int64_t fixedCountsPerFrame = 1'000'000;
}  // namespace

int64_t counterFrequency() {
    const Settings& s = settings();
    return s.fixedClock ? int64_t(s.fixedFramesPerSecond) * fixedCountsPerFrame : realFrequency;
}

int64_t counterNow() {
    const Settings& s = settings();
    if (s.fixedClock) return int64_t(presentedFrames()) * s.fixedFrameRateDenominator * fixedCountsPerFrame;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

}  // namespace host
