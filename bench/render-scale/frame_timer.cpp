// Linked into a show for the render-scale benchmark: with BENCH_FRAME_TIMES=<file> set, writes
// one line for each presented frame, "<frame> <seconds since the frame before was presented>"
// (for frame 0: since the process started, loading included). Nothing else changes.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "host/host.h"

namespace {

struct FrameTimer {
    FrameTimer() {
        const char* path = std::getenv("BENCH_FRAME_TIMES");
        if (!path) return;
        file = std::fopen(path, "w");
        if (!file) {
            std::fprintf(stderr, "[bench] cannot write the frame times to %s\n", path);
            std::exit(2);
        }
        last = std::chrono::steady_clock::now();
        host::addPresentListener([this](uint64_t frame) {
            auto now = std::chrono::steady_clock::now();
            std::fprintf(file, "%llu %.6f\n", static_cast<unsigned long long>(frame),
                         std::chrono::duration<double>(now - last).count());
            std::fflush(file);
            last = now;
        });
    }

    std::FILE* file = nullptr;
    std::chrono::steady_clock::time_point last;
};

FrameTimer timer;

}  // namespace
