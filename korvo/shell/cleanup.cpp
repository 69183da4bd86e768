#include "shell/cleanup.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "shell/debuglog.h"

void Cleanup::fatal(const char* message) {
    LOG_ENTRY << "Cleanup: " << message << std::endl;
    std::printf("cleanup: %s\n", message);
    std::fflush(stdout);
    MessageBoxA(nullptr, message, "Korvo error", MB_OK);
    std::exit(message[0] ? 20 : 0);
}
