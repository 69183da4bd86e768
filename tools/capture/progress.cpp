#include "progress.h"

#include <algorithm>
#include <cmath>

namespace capture {
namespace {

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::optional<double> secondsLeft(const ProgressState& state) {
    if (!state.framesTotal || state.framesPerSecond <= 0) return std::nullopt;
    return double(std::max<int64_t>(0, *state.framesTotal - state.framesDone)) / state.framesPerSecond;
}

}  // namespace

std::string clockText(double seconds) {
    long whole = std::lround(std::max(0.0, seconds));
    if (whole >= 3600) return format("%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    return format("%ld:%02ld", whole / 60, whole % 60);
}

std::string barLine(const ProgressState& state) {
    std::string speed = format("frame %lld  show %.1f s  %.1f fps", (long long)state.framesDone, state.showSeconds,
                               state.framesPerSecond);
    if (!state.framesTotal || *state.framesTotal <= 0) return speed;
    constexpr int width = 24;
    double done = std::clamp(double(state.framesDone) / double(*state.framesTotal), 0.0, 1.0);
    int filled = int(done * width);
    std::string bar = "[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), '.') + "]";
    auto left = secondsLeft(state);
    return bar + format(" %3d%%  ", int(done * 100)) + speed + (left ? "  " + clockText(*left) + " left" : "");
}

std::string logLine(const ProgressState& state) {
    std::string where = format("frame %lld, show %.1f s, %.1f fps", (long long)state.framesDone, state.showSeconds,
                               state.framesPerSecond);
    if (!state.framesTotal || *state.framesTotal <= 0) return "demo-capture: " + where;
    int percent = int(std::clamp(double(state.framesDone) / double(*state.framesTotal), 0.0, 1.0) * 100);
    auto left = secondsLeft(state);
    return format("demo-capture: %d%% (", percent) + where + (left ? ", " + clockText(*left) + " left" : "") + ")";
}

void Progress::update(const ProgressState& state) {
    if (terminal_) {
        bool last = state.framesTotal && state.framesDone >= *state.framesTotal;
        if (!last && lastDrawn_ >= 0 && state.wallSeconds - lastDrawn_ < 0.1) return;
        lastDrawn_ = state.wallSeconds;
        std::fprintf(out_, "\r\033[K%s", barLine(state).c_str());
        std::fflush(out_);
        drawn_ = true;
        return;
    }
    if (state.framesTotal && *state.framesTotal > 0) {
        int tenth = int(std::min<int64_t>(10, state.framesDone * 10 / *state.framesTotal));
        if (tenth <= lastTenth_) return;
        lastTenth_ = tenth;
    } else {
        int64_t block = int64_t(state.showSeconds / 30.0);
        if (block <= lastLoggedShowBlock_) return;
        lastLoggedShowBlock_ = block;
    }
    std::fprintf(out_, "%s\n", logLine(state).c_str());
    std::fflush(out_);
}

void Progress::finish() {
    if (terminal_ && drawn_) std::fputc('\n', out_);
    drawn_ = false;
}

}  // namespace capture
