// demo-capture's progress report: a bar redrawn in place on a terminal, otherwise one line
// for every tenth of the work (or, when the length is not known, every 30 s of show time).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace capture {

struct ProgressState {
    int64_t framesDone = 0;                 // frames captured so far
    std::optional<int64_t> framesTotal;     // frames the video will hold, when known
    double showSeconds = 0;                 // show time of the latest frame
    double wallSeconds = 0;                 // since the capture started
    double framesPerSecond = 0;             // frames captured per wall-clock second
};

// "1:05", "12:00", "1:02:03".
std::string clockText(double seconds);

// The bar line for a terminal (without the leading carriage return).
std::string barLine(const ProgressState& state);
// The line written for a log when the work passes a tenth.
std::string logLine(const ProgressState& state);

class Progress {
public:
    Progress(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
    // Called for each captured frame; draws or logs when due.
    void update(const ProgressState& state);
    // Ends the bar's line on a terminal.
    void finish();

private:
    std::FILE* out_;
    bool terminal_;
    double lastDrawn_ = -1;
    int lastTenth_ = 0;
    int64_t lastLoggedShowBlock_ = 0;
    bool drawn_ = false;
};

}  // namespace capture
