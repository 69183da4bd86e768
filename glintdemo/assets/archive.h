// The asset archive: zip files opened once, their members indexed by name and handed out
// whole, inflated with zlib when compressed. Names are looked up without regard to letter
// case; when several open archives hold a name, the one opened first supplies it.
#pragma once

#include <cstdint>
#include <cstdio>

// One member as its local header describes it. Kept in one array per archive, sorted by name.
struct ArchiveMember {
    uint32_t dataOffset;        // file offset of the member's data
    uint16_t flags;             // general-purpose flags of the local header
    uint16_t method;            // 0 stored, anything else is inflated
    uint32_t compressedSize;
    uint32_t uncompressedSize;
    uint32_t crc32;             // of the uncompressed data
    char name[256];             // as stored, zero-terminated
};

// A member's bytes: `size` bytes from malloc, owned by the caller (free them with free()).
struct MemberData {
    unsigned char* data;
    int32_t size;
};

constexpr int maxArchives = 16;

// -1 before the first open and after closeArchives(), else the number of archives open.
extern int archiveCount;
// The last archive error message (never shown by the program itself).
extern char lastError[1024];
// Where and why the last open failed, for tools: e.g. "offset 1234: name past the end of the file".
extern char lastErrorDetail[256];

// Opens and indexes an archive; returns its stream (owned by the registry) or null, with
// lastError set.
FILE* openArchive(const char* path);
// The same, answering whether it worked.
bool addArchive(const char* path);

// Reads a member of the open archives. Returns 1 with `out` filled, or 0 when the member was
// found but could not be read or unpacked. When no open archive holds the name it shows a
// "file not found" message box and ends the process (exit code 0).
int readMember(const char* name, MemberData* out);
// readMember for callers that cannot go on without the member: returns its bytes, or shows the
// "file not found" message box and ends the process (exit code 0).
unsigned char* loadMember(const char* name);

// Closes every archive and forgets their tables; archiveCount becomes -1.
void closeArchives();

// The member the lookup finds for `name` (first archive wins), or null. Never ends the process.
const ArchiveMember* findMember(const char* name);
// The sorted member table of open archive `index` (in opening order) and its length.
const ArchiveMember* archiveMembers(int index, int* count);

// The runtime's case-insensitive comparison (_stricmp): ASCII letters compare as lower case,
// other bytes by value.
int compareNamesIgnoringCase(const char* a, const char* b);
