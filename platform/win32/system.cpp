// Everything of the Win32 subset that is not windows or messages: the cursor, resources,
// message boxes, the display-mode test, the performance counter, debug output, errors and
// libraries loaded by name.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "host/host.h"
#include "internal.h"
#include "win32/modules.h"
#include "win32/resources.h"

namespace win32 {
namespace {

thread_local DWORD lastError = 0;

// The program's instance handle: its image base, as a Windows linker places it.
HINSTANCE programInstance() { return reinterpret_cast<HINSTANCE>(uintptr_t(0x400000)); }

struct Resources {
    std::map<UINT, std::string> strings;
    std::map<UINT, bool> icons;
};

Resources& resources() {
    static Resources* r = new Resources;
    return *r;
}

struct Module {
    ExportResolver resolver;
    int references = 0;
};

std::map<std::string, Module>& modules() {
    static auto* m = new std::map<std::string, Module>;
    return *m;
}

// "C:\\WINDOWS\\SYSTEM\\OPENGL32.DLL" and "opengl32" both become "opengl32.dll".
std::string moduleKey(const char* fileName) {
    std::string name = lowerCase(fileName);
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.find('.') == std::string::npos) name += ".dll";
    return name;
}

void registerBuiltInModules() {
    static bool done = false;
    if (done) return;
    done = true;
    if (demo_opengl32_export) registerModule("opengl32.dll", demo_opengl32_export);
}

HANDLE systemHandle(uintptr_t kind, uintptr_t id) { return reinterpret_cast<HANDLE>((kind << 20) | id); }

}  // namespace

ResourceScript::ResourceScript(std::initializer_list<StringResource> strings, std::initializer_list<UINT> icons) {
    for (const StringResource& s : strings) resources().strings[s.id] = s.text;
    for (UINT id : icons) resources().icons[id] = true;
}

ResourceScript::~ResourceScript() {}

bool registerModule(const char* fileName, ExportResolver resolver) {
    auto [it, added] = modules().emplace(moduleKey(fileName), Module{resolver, 0});
    return added;
}

void unregisterModule(const char* fileName) { modules().erase(moduleKey(fileName)); }

}  // namespace win32

using namespace win32;

extern "C" {

int WINAPI ShowCursor(BOOL show) {
    State& s = state();
    s.cursorCount += show ? 1 : -1;
    host::showCursor(s.cursorCount >= 0);
    return s.cursorCount;
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    int x = 0, y = 0;
    host::cursorPosition(x, y);
    *point = {x, y};
    return TRUE;
}

short WINAPI GetKeyState(int virtualKey) { return host::keyDown(virtualKey) ? short(0x8000) : 0; }
short WINAPI GetAsyncKeyState(int virtualKey) { return GetKeyState(virtualKey); }

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        uintptr_t id = reinterpret_cast<uintptr_t>(name);
        if (id == 32512 || id == 32513 || id == 32514 || id == 32515 || id == 32648)
            return static_cast<HCURSOR>(systemHandle(1, id));
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (!IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (!instance) {
        if (id == 32512 || id == 32513 || id == 32517) return static_cast<HICON>(systemHandle(2, id));
    } else if (resources().icons.count(UINT(id))) {
        return static_cast<HICON>(systemHandle(3, id));
    }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HGDIOBJ WINAPI GetStockObject(int object) {
    if (object < 0 || object > 19) return nullptr;
    return systemHandle(4, uintptr_t(object) + 1);
}

int WINAPI LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int bufferSize) {
    auto it = resources().strings.find(id);
    if (it == resources().strings.end() || !buffer) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::string& text = it->second;
    if (bufferSize == 0) {  // the caller asks for a read-only pointer to the resource itself
        const char* pointer = text.c_str();
        std::memcpy(buffer, &pointer, sizeof pointer);
        return int(text.size());
    }
    int length = std::min<int>(int(text.size()), bufferSize - 1);
    std::memcpy(buffer, text.data(), size_t(length));
    buffer[length] = '\0';
    return length;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return programInstance();
    registerBuiltInModules();
    auto it = modules().find(moduleKey(moduleName));
    if (it == modules().end() || it->second.references == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&it->second);
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    host::messageBox(caption ? caption : "Error", text ? text : "", (type & 0xF0) == MB_ICONHAND);
    switch (type & 0xF) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
    }
}

LONG WINAPI ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    if (!mode) return DISP_CHANGE_SUCCESSFUL;  // back to the registry's mode: ours never changed
    int width = (mode->dmFields & DM_PELSWIDTH) ? int(mode->dmPelsWidth) : 640;
    int height = (mode->dmFields & DM_PELSHEIGHT) ? int(mode->dmPelsHeight) : 480;
    int bits = (mode->dmFields & DM_BITSPERPEL) ? int(mode->dmBitsPerPel) : 32;
    if (flags & CDS_TEST) return host::displayCanShow(width, height, bits) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADMODE;
    std::fprintf(stderr, "[win32] ChangeDisplaySettingsA: changing the desktop's display mode is not supported\n");
    return DISP_CHANGE_FAILED;
}

BOOL WINAPI EnumDisplaySettingsA(LPCSTR, DWORD index, DEVMODEA* mode) {
    if (!mode || index != ENUM_CURRENT_SETTINGS) return FALSE;
    WORD size = mode->dmSize;
    std::memset(mode, 0, sizeof *mode);
    mode->dmSize = size ? size : WORD(sizeof *mode);
    mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode->dmBitsPerPel = 32;
    mode->dmPelsWidth = DWORD(GetSystemMetrics(SM_CXSCREEN));
    mode->dmPelsHeight = DWORD(GetSystemMetrics(SM_CYSCREEN));
    mode->dmDisplayFrequency = 60;
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (!count) return FALSE;
    count->QuadPart = host::counterNow();
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency) return FALSE;
    frequency->QuadPart = host::counterFrequency();
    return TRUE;
}

DWORD WINAPI GetTickCount(void) { return messageTime(); }
DWORD WINAPI timeGetTime(void) { return messageTime(); }

void WINAPI Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void WINAPI OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}

DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD error) { lastError = error; }

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    registerBuiltInModules();
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto it = modules().find(moduleKey(fileName));
    if (it == modules().end()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++it->second.references;
    return reinterpret_cast<HMODULE>(&it->second);
}

FARPROC WINAPI GetProcAddress(HMODULE handle, LPCSTR name) {
    for (auto& [key, module] : modules()) {
        if (reinterpret_cast<HMODULE>(&module) != handle || module.references == 0) continue;
        if (!name || IS_INTRESOURCE(name)) break;  // entry points by ordinal are not offered
        void* address = module.resolver(name);
        if (!address) break;
        return reinterpret_cast<FARPROC>(address);
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI FreeLibrary(HMODULE handle) {
    for (auto& [key, module] : modules()) {
        if (reinterpret_cast<HMODULE>(&module) != handle || module.references == 0) continue;
        --module.references;
        return TRUE;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

}  // extern "C"
