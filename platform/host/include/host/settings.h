// The DEMO_* settings: how the platform shows, times, feeds and records a program.
// Read once from the environment; the parser itself is a pure function so it can be tested.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace host {

enum class VideoBackend { Window, Headless };
enum class AudioSink { Auto, None, Wav };

// A set of frame numbers written as "0,30,60-90"; empty means every frame.
class FrameSet {
public:
    static FrameSet parse(const std::string& text);  // throws SettingsError
    bool contains(uint64_t frame) const;
    bool all() const { return ranges_.empty(); }
    // The largest frame the set names, or nullopt for "every frame".
    std::optional<uint64_t> last() const;

private:
    struct Range { uint64_t first, last; };
    std::vector<Range> ranges_;
};

// One scripted input, already placed on its frame: a key going down (maybe auto-repeated),
// a key going up, or the window's close button.
struct ScriptedInput {
    enum class Kind { KeyDown, KeyUp, Close };
    uint64_t frame = 0;
    Kind kind = Kind::KeyDown;
    int virtualKey = 0;     // Windows virtual-key code (VK_ESCAPE is 27)
    bool repeat = false;    // an auto-repeat of a held key
};

// The largest DEMO_RENDER_SCALE.
constexpr int maxRenderScale = 8;

struct Settings {
    VideoBackend video = VideoBackend::Headless;
    bool fixedClock = false;
    int fixedFramesPerSecond = 0;         // when fixedClock: frames a second, or with
    int fixedFrameRateDenominator = 1;    // fixed:N/D the numerator N over this D
    std::vector<ScriptedInput> input;     // sorted by frame, in script order within a frame
    std::string capturePath;              // empty: no capture
    bool captureY4m = false;              // capturePath names a .y4m stream
    FrameSet captureFrames;
    AudioSink audio = AudioSink::Auto;
    std::string wavPath;
    std::string glTracePath;
    FrameSet glTraceFrames;
    std::string d3dTracePath;             // DEMO_D3D_TRACE: the Direct3D stand-in's call trace
    FrameSet d3dTraceFrames;              // DEMO_D3D_TRACE_FRAMES
    std::string soundTracePath;           // DEMO_SOUND_TRACE: the sound libraries' calls
    int shownWidth = 0, shownHeight = 0;  // DEMO_SIZE; 0 means the size of the picture drawn
    // DEMO_RENDER_SCALE: the back buffer is this many times the program's size in each
    // direction (1 to 8); 0 (auto) chooses the scale from the size shown.
    int renderScale = 1;
    int multisamples = 0;                 // DEMO_MSAA: samples per pixel, 0 (none), 2, 4 or 8
    bool refuseDisplayModes = false;      // DEMO_REFUSE_DISPLAY_MODES: the display-mode test says no
};

struct SettingsError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Environment = std::function<const char*(const char* name)>;

// Parses every DEMO_* variable; throws SettingsError naming the variable and the bad value.
Settings parseSettings(const Environment& environment);

// The process's settings, parsed on first use. A bad value ends the process with exit code 2
// and one line on standard error.
const Settings& settings();

// Replaces the process's settings (tests of the platform layers use this).
void overrideSettings(const Settings& replacement);

// Virtual-key code of a key name without its VK_ prefix ("ESCAPE", "A", "7"), or 0.
int virtualKeyFromName(const std::string& name);

}  // namespace host
