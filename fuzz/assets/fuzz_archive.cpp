// Fuzz entry point of the archive reader: the input is written to a file, opened as an
// archive, and every member it lists is read.
#include "assets/archive.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz-archive-" + std::to_string(getpid()) + ".zip";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    if (openArchive(path.c_str())) {
        int count = 0;
        const ArchiveMember* members = archiveMembers(0, &count);
        for (int i = 0; i < count; ++i) {
            MemberData member{};
            if (readMember(members[i].name, &member)) std::free(member.data);
        }
    }
    closeArchives();
    std::remove(path.c_str());
    return 0;
}
