#include "trace.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "host/host.h"

namespace gl_standin::trace {
namespace {

std::FILE* output() {
    static std::FILE* file = [] {
        const std::string& path = host::settings().glTracePath;
        std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "w");
        if (!path.empty() && !f) {
            std::fprintf(stderr, "[opengl32] cannot write the call trace to %s\n", path.c_str());
            std::exit(2);
        }
        return f;
    }();
    return file;
}

template <typename T>
void appendNumber(std::string& text, T value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, end);
}

}  // namespace

bool enabled() { return !host::settings().glTracePath.empty(); }

bool recording() { return enabled() && host::settings().glTraceFrames.contains(host::presentedFrames()); }

void endFrame(uint64_t frame) {
    if (!enabled() || !host::settings().glTraceFrames.contains(frame)) return;
    std::fprintf(output(), "-- frame %llu\n", static_cast<unsigned long long>(frame));
    std::fflush(output());
}

Line::Line(const char* name) : text_(name) { text_ += '('; }

Line::~Line() {
    text_ += ')';
    text_ += result_;
    text_ += '\n';
    std::fputs(text_.c_str(), output());
}

void Line::separate() {
    if (!first_) text_ += ", ";
    first_ = false;
}

void Line::hex(unsigned value) {
    separate();
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    text_ += buffer;
}

void Line::signedValue(long long value) {
    separate();
    appendValue(value);
}

void Line::unsignedValue(unsigned long long value) {
    separate();
    appendValue(value);
}

void Line::real(double value) {
    separate();
    appendValue(value);
}

void Line::real(float value) {
    separate();
    appendValue(value);
}

void Line::pointer(const void* value) {
    separate();
    // Addresses differ from run to run; the trace only says whether there is one.
    text_ += value ? "ptr" : "NULL";
}

void Line::hexResult(unsigned value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, " = 0x%04X", value);
    result_ = buffer;
}

void Line::pointerResult(const void* value) { result_ = value ? " = ptr" : " = NULL"; }

void Line::appendValue(float v) { appendNumber(text_, v); }
void Line::appendValue(double v) { appendNumber(text_, v); }
void Line::appendValue(long long v) { appendNumber(text_, v); }
void Line::appendValue(unsigned long long v) { appendNumber(text_, v); }

}  // namespace gl_standin::trace
