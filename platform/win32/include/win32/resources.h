// A program's resources (what its .rc script would compile into the executable): the string
// table and the icons. The program defines one `ResourceScript` object at namespace scope in a
// source file of the executable; LoadStringA and LoadIconA read it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <utility>

namespace win32 {

struct StringResource {
    UINT id;
    const char* text;
};

class ResourceScript {
public:
    ResourceScript(std::initializer_list<StringResource> strings, std::initializer_list<UINT> icons);
    ~ResourceScript();
    ResourceScript(const ResourceScript&) = delete;
    ResourceScript& operator=(const ResourceScript&) = delete;
};

}  // namespace win32
