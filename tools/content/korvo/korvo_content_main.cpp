// korvo-content: writes korvo's sample show into a folder, the working directory to run
// korvo in.
//   korvo-content <folder>
#include <cstdio>

#include "show.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvo-content <folder>\n");
        return 1;
    }
    std::string error;
    if (!content::korvo::writeShow(content::korvo::makeShow(), argv[1], &error)) {
        std::fprintf(stderr, "korvo-content: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
