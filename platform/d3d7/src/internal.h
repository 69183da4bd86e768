// What the objects of the Direct3D stand-in share: the COM object base with its reference
// count, reporting of refused calls, the call-log line builder and the object names the log
// uses. Private to platform/d3d7.
#pragma once

#include <d3dx.h>

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace d3d7 {

// ---- Reporting ---------------------------------------------------------------------------
// Writes "[d3d7] <where>: <message>" to standard error and returns `result`. Every call the
// stand-in refuses, because the arguments are wrong or because it does not do what was asked,
// says why this way.
HRESULT refuse(HRESULT result, const char* where, const char* format, ...) __attribute__((format(printf, 3, 4)));

// ---- Objects -----------------------------------------------------------------------------
long& liveObjectCount();
// The next number of an object kind ("vb", "texture", ...), from 1.
int nextObjectNumber(const std::string& kind);
void resetObjectNumbers();

// A COM object: starts with one reference; the last Release deletes it.
template <class Interface>
class ComObject : public Interface {
public:
    ComObject() { ++liveObjectCount(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { --liveObjectCount(); }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (references_ == 0) {
            refuse(DDERR_INVALIDOBJECT, "Release", "the object has no references left");
            return 0;
        }
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    ULONG references() const { return references_; }

protected:
    // Answers QueryInterface for IUnknown and the object's own interface.
    HRESULT queryInterface(REFIID riid, LPVOID* object, REFIID own, const char* where) {
        if (!object) return refuse(DDERR_INVALIDPARAMS, where, "no pointer for the interface");
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, own)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return refuse(E_NOINTERFACE, where, "only IUnknown and the object's own interface are offered");
    }

    ULONG references_ = 1;
};

// ---- Call log ------------------------------------------------------------------------------
namespace calllog_detail {
// Whether lines are being kept or traced to a file right now.
bool active();
void write(const std::string& line);
// After the presented frame `frame`: writes "-- frame N" to the trace file.
void endFrame(uint64_t frame);
}  // namespace calllog_detail

// One call-log line: "name(arg, arg, ...)" and, for a failed call, " = RESULT".
class LogLine {
public:
    explicit LogLine(std::string_view name) : text_(name) { text_ += '('; }
    LogLine& arg(std::string_view text) {
        if (!first_) text_ += ", ";
        first_ = false;
        text_ += text;
        return *this;
    }
    LogLine& number(long long value) { return arg(std::to_string(value)); }
    LogLine& real(double value);
    LogLine& hex(DWORD value);
    LogLine& color(D3DCOLOR value);
    LogLine& boolean(DWORD value) { return arg(value ? "TRUE" : "FALSE"); }
    LogLine& text(const char* value);       // quoted, or NULL
    LogLine& pointer(const void* value, const char* present);  // `present` or NULL
    // Ends the line with the result when it is a failure, and writes it.
    void write(HRESULT result);
    void writeWithResult(const std::string& result);

private:
    std::string text_;
    bool first_ = true;
};

// ---- Names -----------------------------------------------------------------------------
std::string realText(double value);
std::string hexText(DWORD value, int digits = 8);
std::string resultName(HRESULT result);
std::string renderStateName(DWORD state);
std::string renderStateValueText(DWORD state, DWORD value);
std::string stageStateName(DWORD state);
std::string stageStateValueText(DWORD state, DWORD value);
std::string transformName(DWORD state);
std::string primitiveName(DWORD type);
std::string lightTypeName(DWORD type);
std::string clearFlagsText(DWORD flags);
std::string lockFlagsText(DWORD flags);
std::string vertexBufferCapsText(DWORD caps);
std::string fvfText(DWORD fvf);
std::string matrixText(const D3DMATRIX& m);
std::string colorValueText(const D3DCOLORVALUE& c);
std::string vectorText(const D3DVECTOR& v);
std::string materialText(const D3DMATERIAL7& m);
std::string lightText(const D3DLIGHT7& l);
std::string viewportText(const D3DVIEWPORT7& v);

}  // namespace d3d7
