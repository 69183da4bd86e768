// Reporting, object counting and numbering, and the call log with its trace file.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "d3d7/calllog.h"
#include "d3d7/testing.h"
#include "host/host.h"
#include "internal.h"

namespace d3d7 {

HRESULT refuse(HRESULT result, const char* where, const char* format, ...) {
    char message[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "[d3d7] %s: %s (%s)\n", where, message, resultName(result).c_str());
    return result;
}

long& liveObjectCount() {
    static long count = 0;
    return count;
}

namespace {
// Never destroyed: programs release objects and uninitialize from their own global
// destructors, which run in no set order relative to ours.
std::map<std::string, int>& objectNumbers() {
    static auto* numbers = new std::map<std::string, int>;
    return *numbers;
}
}  // namespace

int nextObjectNumber(const std::string& kind) { return ++objectNumbers()[kind]; }
void resetObjectNumbers() { objectNumbers().clear(); }

// ---- Call log ---------------------------------------------------------------------------------
namespace {

struct CallLog {
    bool keeping = false;
    std::vector<std::string> lines;
};

CallLog& log() {
    static auto* l = new CallLog;   // never destroyed, as objectNumbers()
    return *l;
}

// The trace file, opened when first written (and again if the setting names another file).
std::FILE* traceFile() {
    static std::FILE* file = nullptr;
    static std::string openPath;
    const std::string& path = host::settings().d3dTracePath;
    if (path != openPath) {
        if (file) std::fclose(file);
        file = std::fopen(path.c_str(), "w");
        if (!file) {
            std::fprintf(stderr, "[d3d7] cannot write the call trace to %s\n", path.c_str());
            std::exit(2);
        }
        openPath = path;
    }
    return file;
}

bool tracing() {
    const host::Settings& s = host::settings();
    return !s.d3dTracePath.empty() && s.d3dTraceFrames.contains(host::presentedFrames());
}

}  // namespace

namespace calllog_detail {

bool active() { return log().keeping || tracing(); }

void write(const std::string& line) {
    if (log().keeping) log().lines.push_back(line);
    if (tracing()) {
        std::fputs(line.c_str(), traceFile());
        std::fputc('\n', traceFile());
    }
}

void endFrame(uint64_t frame) {
    const host::Settings& s = host::settings();
    if (s.d3dTracePath.empty() || !s.d3dTraceFrames.contains(frame)) return;
    std::fprintf(traceFile(), "-- frame %llu\n", static_cast<unsigned long long>(frame));
    std::fflush(traceFile());
}

}  // namespace calllog_detail

LogLine& LogLine::real(double value) { return arg(realText(value)); }
LogLine& LogLine::hex(DWORD value) { return arg(hexText(value, 1)); }
LogLine& LogLine::color(D3DCOLOR value) { return arg(hexText(value)); }

LogLine& LogLine::text(const char* value) {
    if (!value) return arg("NULL");
    std::string quoted = "\"";
    for (const char* c = value; *c; ++c) {
        if (*c == '"' || *c == '\\') quoted += '\\';
        if (*c == '\n') {
            quoted += "\\n";
            continue;
        }
        quoted += *c;
    }
    return arg(quoted + "\"");
}

LogLine& LogLine::pointer(const void* value, const char* present) { return arg(value ? present : "NULL"); }

void LogLine::write(HRESULT result) {
    text_ += ')';
    if (FAILED(result)) text_ += " = " + resultName(result);
    calllog_detail::write(text_);
}

void LogLine::writeWithResult(const std::string& result) {
    text_ += ") = ";
    text_ += result;
    calllog_detail::write(text_);
}

}  // namespace d3d7

namespace d3d7::calllog {

void enable(bool on) { d3d7::log().keeping = on; }
bool enabled() { return d3d7::log().keeping; }
void clear() { d3d7::log().lines.clear(); }
std::vector<std::string> lines() { return d3d7::log().lines; }

std::vector<std::string> linesStartingWith(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : d3d7::log().lines)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

}  // namespace d3d7::calllog
