// DEMO_GL_TRACE: one line per call through the bound OpenGL entry points, "-- frame N" at each
// swap. DEMO_GL_TRACE_FRAMES picks the frames; frame N is the one the N-th swap presents.
// Private to platform/gl.
#pragma once

#include <cstdint>
#include <string>

namespace gl_standin::trace {

// Whether a trace was asked for at all (decides which entry points GetProcAddress hands out).
bool enabled();
// Whether calls made now are recorded.
bool recording();
// Called at each swap, before the frame is presented.
void endFrame(uint64_t frame);

// One trace line: "name(arg, arg, ...)" or "name(...) = result", written when destroyed.
class Line {
public:
    explicit Line(const char* name);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    void hex(unsigned value);
    void signedValue(long long value);
    void unsignedValue(unsigned long long value);
    void real(double value);
    void real(float value);
    void pointer(const void* value);
    template <typename T>
    void values(const T* array, int count) {
        if (!array) return pointer(array);
        separate();
        text_ += '{';
        for (int i = 0; i < count; ++i) {
            if (i) text_ += ", ";
            appendValue(array[i]);
        }
        text_ += '}';
    }
    void hexResult(unsigned value);
    void pointerResult(const void* value);
    template <typename T>
    void valueResult(T value) {
        result_ = " = ";
        std::string saved;
        saved.swap(text_);
        appendValue(value);
        result_ += text_;
        text_.swap(saved);
    }

private:
    void separate();
    void appendValue(float v);
    void appendValue(double v);
    void appendValue(long long v);
    void appendValue(unsigned long long v);
    void appendValue(int v) { appendValue(static_cast<long long>(v)); }
    void appendValue(short v) { appendValue(static_cast<long long>(v)); }
    void appendValue(signed char v) { appendValue(static_cast<long long>(v)); }
    void appendValue(unsigned v) { appendValue(static_cast<unsigned long long>(v)); }
    void appendValue(unsigned short v) { appendValue(static_cast<unsigned long long>(v)); }
    void appendValue(unsigned char v) { appendValue(static_cast<unsigned long long>(v)); }

    std::string text_;
    std::string result_;
    bool first_ = true;
};

}  // namespace gl_standin::trace
