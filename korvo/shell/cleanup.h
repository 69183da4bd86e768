// The one way the player gives up: a log entry, a line on standard output, a message box
// captioned "Korvo error", and the end of the process with exit code 20.
#pragma once

class Cleanup {
public:
    Cleanup() = default;
    virtual ~Cleanup() = default;
    // Never returns. An empty message ends the process with exit code 0 instead.
    [[noreturn]] void fatal(const char* message);
};

extern Cleanup cleaner;
