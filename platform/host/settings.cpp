#include "host/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace host {
namespace {

bool parseUnsigned(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

[[noreturn]] void fail(const char* variable, const std::string& value, const char* expected) {
    throw SettingsError(std::string(variable) + ": cannot read '" + value + "' (expected " + expected + ")");
}

const std::map<std::string, int>& keyNames() {
    static const std::map<std::string, int> names = [] {
        std::map<std::string, int> m = {
            {"BACK", 0x08},     {"TAB", 0x09},      {"RETURN", 0x0D},   {"SHIFT", 0x10},
            {"CONTROL", 0x11},  {"ESCAPE", 0x1B},   {"SPACE", 0x20},    {"PRIOR", 0x21},
            {"NEXT", 0x22},     {"END", 0x23},      {"HOME", 0x24},     {"LEFT", 0x25},
            {"UP", 0x26},       {"RIGHT", 0x27},    {"DOWN", 0x28},     {"INSERT", 0x2D},
            {"DELETE", 0x2E},   {"MULTIPLY", 0x6A}, {"ADD", 0x6B},      {"SUBTRACT", 0x6D},
            {"DECIMAL", 0x6E},  {"DIVIDE", 0x6F},
        };
        for (char c = 'A'; c <= 'Z'; ++c) m[std::string(1, c)] = c;
        for (char c = '0'; c <= '9'; ++c) m[std::string(1, c)] = c;
        for (int i = 0; i <= 9; ++i) m["NUMPAD" + std::to_string(i)] = 0x60 + i;
        for (int i = 1; i <= 12; ++i) m["F" + std::to_string(i)] = 0x70 + i - 1;
        return m;
    }();
    return names;
}

std::vector<ScriptedInput> parseKeys(const std::string& text) {
    std::vector<ScriptedInput> inputs;
    if (text.empty()) return inputs;
    const char* expected = "<frame>:<KEY>[*<frames>],... with KEY a key name or CLOSE";
    for (const std::string& item : split(text, ',')) {
        size_t colon = item.find(':');
        if (colon == std::string::npos) fail("DEMO_KEYS", item, expected);
        uint64_t frame = 0;
        if (!parseUnsigned(item.substr(0, colon), frame)) fail("DEMO_KEYS", item, expected);
        std::string key = item.substr(colon + 1);
        uint64_t hold = 0;
        size_t star = key.find('*');
        if (star != std::string::npos) {
            if (!parseUnsigned(key.substr(star + 1), hold) || hold == 0) fail("DEMO_KEYS", item, expected);
            key = key.substr(0, star);
        }
        if (key == "CLOSE") {
            if (hold) fail("DEMO_KEYS", item, "CLOSE without a hold count");
            inputs.push_back({frame, ScriptedInput::Kind::Close, 0, false});
            continue;
        }
        int vk = virtualKeyFromName(key);
        if (vk == 0) fail("DEMO_KEYS", item, expected);
        if (hold == 0) {
            inputs.push_back({frame, ScriptedInput::Kind::KeyDown, vk, false});
            inputs.push_back({frame, ScriptedInput::Kind::KeyUp, vk, false});
        } else {
            // Held: the key goes down at `frame`, repeats on each following frame while held,
            // and comes up before frame + hold.
            for (uint64_t i = 0; i < hold; ++i)
                inputs.push_back({frame + i, ScriptedInput::Kind::KeyDown, vk, i > 0});
            inputs.push_back({frame + hold, ScriptedInput::Kind::KeyUp, vk, false});
        }
    }
    std::stable_sort(inputs.begin(), inputs.end(),
                     [](const ScriptedInput& a, const ScriptedInput& b) { return a.frame < b.frame; });
    return inputs;
}

std::optional<Settings>& processSettings() {
    static std::optional<Settings> current;
    return current;
}

}  // namespace

FrameSet FrameSet::parse(const std::string& text) {
    FrameSet set;
    if (text.empty()) return set;
    const char* expected = "frame numbers and ranges such as 0,30,60-90";
    for (const std::string& item : split(text, ',')) {
        size_t dash = item.find('-');
        Range range{};
        if (dash == std::string::npos) {
            if (!parseUnsigned(item, range.first)) fail("frame set", item, expected);
            range.last = range.first;
        } else if (!parseUnsigned(item.substr(0, dash), range.first) ||
                   !parseUnsigned(item.substr(dash + 1), range.last) || range.last < range.first) {
            fail("frame set", item, expected);
        }
        set.ranges_.push_back(range);
    }
    return set;
}

bool FrameSet::contains(uint64_t frame) const {
    if (ranges_.empty()) return true;
    for (const Range& r : ranges_)
        if (frame >= r.first && frame <= r.last) return true;
    return false;
}

std::optional<uint64_t> FrameSet::last() const {
    if (ranges_.empty()) return std::nullopt;
    uint64_t last = 0;
    for (const Range& r : ranges_) last = std::max(last, r.last);
    return last;
}

int virtualKeyFromName(const std::string& name) {
    auto it = keyNames().find(name);
    return it == keyNames().end() ? 0 : it->second;
}

Settings parseSettings(const Environment& environment) {
    auto get = [&](const char* name) -> std::string {
        const char* value = environment(name);
        return value ? std::string(value) : std::string();
    };
    Settings s;

    std::string video = get("DEMO_VIDEO");
    if (video.empty())
        s.video = (!get("DISPLAY").empty() || !get("WAYLAND_DISPLAY").empty()) ? VideoBackend::Window
                                                                              : VideoBackend::Headless;
    else if (video == "window")
        s.video = VideoBackend::Window;
    else if (video == "headless")
        s.video = VideoBackend::Headless;
    else
        fail("DEMO_VIDEO", video, "window or headless");

    std::string clock = get("DEMO_CLOCK");
    if (clock.empty() || clock == "real") {
        s.fixedClock = false;
    } else if (clock.rfind("fixed:", 0) == 0) {
        // fixed:N or fixed:N/D (30000/1001 for NTSC video); at most 1000 frames a second.
        std::string rate = clock.substr(6);
        size_t slash = rate.find('/');
        uint64_t numerator = 0, denominator = 1;
        bool ok = slash == std::string::npos
                      ? parseUnsigned(rate, numerator)
                      : parseUnsigned(rate.substr(0, slash), numerator) && parseUnsigned(rate.substr(slash + 1), denominator);
        if (!ok || numerator == 0 || denominator == 0 || numerator > 100000 || denominator > 100000 ||
            numerator > 1000 * denominator)
            fail("DEMO_CLOCK", clock, "real, fixed:<frames per second> or fixed:<N>/<D>, at most 1000 frames a second");
        s.fixedClock = true;
        s.fixedFramesPerSecond = int(numerator);
        s.fixedFrameRateDenominator = int(denominator);
    } else {
        fail("DEMO_CLOCK", clock, "real, fixed:<frames per second> or fixed:<N>/<D>");
    }

    s.input = parseKeys(get("DEMO_KEYS"));

    s.capturePath = get("DEMO_CAPTURE");
    s.captureY4m = s.capturePath.size() >= 4 && s.capturePath.compare(s.capturePath.size() - 4, 4, ".y4m") == 0;
    try {
        s.captureFrames = FrameSet::parse(get("DEMO_CAPTURE_FRAMES"));
    } catch (const SettingsError&) {
        fail("DEMO_CAPTURE_FRAMES", get("DEMO_CAPTURE_FRAMES"), "frame numbers and ranges such as 0,30,60-90");
    }

    std::string audio = get("DEMO_AUDIO");
    if (audio.empty() || audio == "auto")
        s.audio = AudioSink::Auto;
    else if (audio == "none")
        s.audio = AudioSink::None;
    else if (audio.rfind("wav:", 0) == 0 && audio.size() > 4) {
        s.audio = AudioSink::Wav;
        s.wavPath = audio.substr(4);
    } else {
        fail("DEMO_AUDIO", audio, "auto, none or wav:<path>");
    }

    s.glTracePath = get("DEMO_GL_TRACE");
    try {
        s.glTraceFrames = FrameSet::parse(get("DEMO_GL_TRACE_FRAMES"));
    } catch (const SettingsError&) {
        fail("DEMO_GL_TRACE_FRAMES", get("DEMO_GL_TRACE_FRAMES"), "frame numbers and ranges such as 55,100-102");
    }

    s.soundTracePath = get("DEMO_SOUND_TRACE");

    s.d3dTracePath = get("DEMO_D3D_TRACE");
    try {
        s.d3dTraceFrames = FrameSet::parse(get("DEMO_D3D_TRACE_FRAMES"));
    } catch (const SettingsError&) {
        fail("DEMO_D3D_TRACE_FRAMES", get("DEMO_D3D_TRACE_FRAMES"), "frame numbers and ranges such as 55,100-102");
    }

    std::string size = get("DEMO_SIZE");
    if (!size.empty()) {
        size_t x = size.find('x');
        uint64_t w = 0, h = 0;
        if (x == std::string::npos || !parseUnsigned(size.substr(0, x), w) ||
            !parseUnsigned(size.substr(x + 1), h) || w == 0 || h == 0 || w > 16384 || h > 16384)
            fail("DEMO_SIZE", size, "<width>x<height>");
        s.shownWidth = int(w);
        s.shownHeight = int(h);
    }

    std::string scale = get("DEMO_RENDER_SCALE");
    if (scale == "auto") {
        s.renderScale = 0;
    } else if (!scale.empty()) {
        uint64_t n = 0;
        if (!parseUnsigned(scale, n) || n < 1 || n > maxRenderScale) fail("DEMO_RENDER_SCALE", scale, "1 to 8 or auto");
        s.renderScale = int(n);
    }

    std::string samples = get("DEMO_MSAA");
    if (!samples.empty()) {
        uint64_t n = 0;
        if (!parseUnsigned(samples, n) || (n != 0 && n != 2 && n != 4 && n != 8))
            fail("DEMO_MSAA", samples, "0, 2, 4 or 8");
        s.multisamples = int(n);
    }

    std::string refuse = get("DEMO_REFUSE_DISPLAY_MODES");
    if (!refuse.empty() && refuse != "0") {
        if (refuse != "1") fail("DEMO_REFUSE_DISPLAY_MODES", refuse, "0 or 1");
        s.refuseDisplayModes = true;
    }
    return s;
}

const Settings& settings() {
    auto& current = processSettings();
    if (!current) {
        try {
            current = parseSettings([](const char* name) { return std::getenv(name); });
        } catch (const SettingsError& error) {
            std::fprintf(stderr, "%s\n", error.what());
            std::exit(2);
        }
    }
    return *current;
}

void overrideSettings(const Settings& replacement) { processSettings() = replacement; }

}  // namespace host
