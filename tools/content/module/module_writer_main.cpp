// module-writer: writes a generated ProTracker module.
//   module-writer [--patterns N] <out.mod>            a demo tune of N patterns (default 2)
//   module-writer --tone <note> [--rows N] <out.mod>  one sine note (C-1 .. B-3) held N rows
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "module_writer.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: module-writer [--patterns N] <out.mod>\n"
                 "       module-writer --tone <note C-1..B-3> [--rows N] <out.mod>\n");
    return 2;
}

// "C-2", "F#1": semitones from C-1, or -1.
int noteFromName(const std::string& name) {
    static const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
    if (name.size() != 3 || name[2] < '1' || name[2] > '3') return -1;
    for (int i = 0; i < 12; ++i)
        if (name.compare(0, 2, names[i]) == 0) return (name[2] - '1') * 12 + i;
    return -1;
}

bool readNumber(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high) return false;
    value = int(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int patterns = 2, rows = 16, note = -1;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--patterns" && i + 1 < argc) {
            if (!readNumber(argv[++i], 1, 8, patterns)) return usage();
        } else if (a == "--rows" && i + 1 < argc) {
            if (!readNumber(argv[++i], 1, 64, rows)) return usage();
        } else if (a == "--tone" && i + 1 < argc) {
            note = noteFromName(argv[++i]);
            if (note < 0) return usage();
        } else if (!a.empty() && a[0] != '-' && out.empty()) {
            out = a;
        } else {
            return usage();
        }
    }
    if (out.empty()) return usage();
    content::module::Song song = note >= 0 ? content::module::toneSong(content::module::periodOf(note), 32, rows)
                                           : content::module::demoSong(patterns);
    std::vector<uint8_t> file;
    std::string error;
    if (!content::module::writeMod(song, file, &error)) {
        std::fprintf(stderr, "module-writer: %s\n", error.c_str());
        return 1;
    }
    FILE* f = std::fopen(out.c_str(), "wb");
    if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "module-writer: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
