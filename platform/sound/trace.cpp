// DEMO_SOUND_TRACE: every call of the sound libraries' subsets, one line each with its
// arguments and result, so a run can be checked for the calls it made and their order.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "host/host.h"
#include "internal.h"

namespace sound {

void traceCall(const char* format, ...) {
    static std::FILE* file = [] {
        const std::string& path = host::settings().soundTracePath;
        if (path.empty()) return static_cast<std::FILE*>(nullptr);
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (!f) {
            std::fprintf(stderr, "[sound] cannot write the call trace to %s\n", path.c_str());
            std::exit(2);
        }
        return f;
    }();
    if (!file) return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(file, format, arguments);
    va_end(arguments);
    std::fputc('\n', file);
    std::fflush(file);
}

}  // namespace sound
