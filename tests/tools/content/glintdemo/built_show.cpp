#include "built_show.h"

#include <cstdlib>

#include "assets/archive.h"
#include "support.h"

namespace testing_support {

std::string builtShowDir() { return binDir() + "/../content/glintdemo"; }

std::map<std::string, std::vector<uint8_t>> builtShowMembers() {
    std::map<std::string, std::vector<uint8_t>> members;
    std::string path = builtShowDir() + "/demo.dat";
    if (!openArchive(path.c_str())) return members;
    int count = 0;
    const ArchiveMember* table = archiveMembers(0, &count);
    for (int i = 0; i < count; ++i) {
        MemberData data{};
        if (!readMember(table[i].name, &data)) continue;
        members[table[i].name].assign(data.data, data.data + data.size);
        std::free(data.data);
    }
    closeArchives();
    return members;
}

}  // namespace testing_support
