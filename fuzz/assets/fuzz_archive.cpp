// Fuzz entry point of the archive reader: the input is written to a file and opened twice (two
// registry slots, the first of which must win every lookup); every member it lists is looked
// up by its name written in other letter cases and read, first with readMember and, when that
// worked, again with loadMember, which must give the same bytes. A name taken from the input
// is only looked up: reading a name no archive holds ends the process, as it must.
#include "assets/archive.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string otherCase(const char* name) {
    std::string flipped(name);
    for (char& c : flipped) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return flipped;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz-archive-" + std::to_string(getpid()) + ".zip";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    if (addArchive(path.c_str()) && addArchive(path.c_str())) {
        int count = 0;
        const ArchiveMember* members = archiveMembers(0, &count);
        for (int i = 0; i < count; ++i) {
            const std::string name = members[i].name, flipped = otherCase(name.c_str());
            const ArchiveMember* found = findMember(flipped.c_str());
            if (!found || found < members || found >= members + count ||
                compareNamesIgnoringCase(found->name, name.c_str()) != 0)
                std::abort();
            MemberData member{};
            if (!readMember(flipped.c_str(), &member)) continue;
            unsigned char* again = loadMember(name.c_str());
            if (std::memcmp(again, member.data, size_t(member.size)) != 0) std::abort();
            std::free(again);
            std::free(member.data);
        }
        std::string probe(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64));
        probe.erase(std::find(probe.begin(), probe.end(), '\0'), probe.end());
        findMember(probe.c_str());
    }
    closeArchives();
    std::remove(path.c_str());
    return 0;
}
