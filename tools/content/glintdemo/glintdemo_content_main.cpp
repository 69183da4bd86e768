// glintdemo-content: writes glintdemo's sample show (demo.dat and soundtrack.mp3) into a
// folder, which becomes the show's working directory.
//
//   glintdemo-content --font <file.ttf> <folder>
//
// Exit codes: 0 written, 1 wrong command line, 2 the content could not be made or written.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "show_content.h"

int main(int argc, char** argv) {
    std::string font, folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--font") == 0 && i + 1 < argc) font = argv[++i];
        else if (folder.empty() && argv[i][0] != '-') folder = argv[i];
        else folder.clear(), font.clear(), i = argc;
    }
    if (font.empty() || folder.empty()) {
        std::fprintf(stderr, "usage: glintdemo-content --font <file.ttf> <folder>\n");
        return 1;
    }
    mkdir(folder.c_str(), 0777);
    auto start = std::chrono::steady_clock::now();
    std::string error;
    if (!content::glint::writeShow(folder, font, &error)) {
        std::fprintf(stderr, "glintdemo-content: %s\n", error.c_str());
        return 2;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("glintdemo-content: wrote %s/demo.dat and %s/soundtrack.mp3 in %.1f s\n", folder.c_str(), folder.c_str(),
                seconds);
    return 0;
}
