// Libraries that LoadLibraryA can find. A stand-in library registers itself under its Windows
// file name; GetProcAddress then asks it for entry points by name.
#pragma once

#include <windows.h>

namespace win32 {

using ExportResolver = void* (*)(const char* name);

// Registers a module under a file name such as "opengl32.dll" (matched without regard to case,
// with or without the ".dll" extension). Returns false when the name is taken.
bool registerModule(const char* fileName, ExportResolver resolver);
void unregisterModule(const char* fileName);

}  // namespace win32

// The OpenGL stand-in provides this; LoadLibraryA("opengl32.dll") finds it when it is linked.
extern "C" void* demo_opengl32_export(const char* name) __attribute__((weak));
