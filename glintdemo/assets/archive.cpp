#include "assets/archive.h"

#include "assets/byte_reader.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

int archiveCount = -1;
char lastError[1024];
char lastErrorDetail[256];

namespace {

constexpr uint32_t localHeaderSignature = 0x04034B50;
constexpr uint32_t centralHeaderSignature = 0x02014B50;
constexpr uint32_t endOfCentralSignature = 0x06054B50;
constexpr uint32_t dataDescriptorSignature = 0x08074B50;
constexpr uint64_t localHeaderSize = 30;
constexpr uint64_t centralHeaderSize = 46;
constexpr uint64_t endRecordSize = 22;
constexpr uint16_t flagDataDescriptor = 0x0008;
// Deflate cannot expand data by more than about 1032:1; a stated size beyond that is a lie.
constexpr uint64_t maxDeflateRatio = 1032;

// The registry: one slot per archive, in the order opened.
FILE* archiveFiles[maxArchives];
int memberCounts[maxArchives];
int centralCounts[maxArchives];
uint32_t centralOffsets[maxArchives];
uint32_t endOffsets[maxArchives];
ArchiveMember* memberTables[maxArchives];

void clearSlot(int slot) {
    archiveFiles[slot] = nullptr;
    memberCounts[slot] = 0;
    centralCounts[slot] = 0;
    centralOffsets[slot] = 0;
    endOffsets[slot] = 0;
    memberTables[slot] = nullptr;
}

// Why an archive's structure was refused, and where.
struct ScanFailure {
    uint64_t offset = 0;
    const char* reason = nullptr;
};

bool readAt(FILE* file, uint64_t offset, void* into, size_t count) {
    if (offset > uint64_t(LONG_MAX) || std::fseek(file, long(offset), SEEK_SET) != 0) return false;
    return std::fread(into, 1, count, file) == count;
}

bool read32At(FILE* file, uint64_t offset, uint64_t fileSize, uint32_t& value) {
    uint8_t bytes[4];
    if (offset + 4 > fileSize || !readAt(file, offset, bytes, 4)) return false;
    assets::ByteReader reader(bytes, 4);
    value = reader.get32le();
    return true;
}

// What the central directory says of a member, for members whose local header leaves the
// sizes to a data descriptor after the data.
struct CentralEntry {
    uint16_t method;
    uint32_t crc32, compressedSize, uncompressedSize;
};

class ArchiveScanner {
public:
    ArchiveScanner(FILE* file, uint64_t fileSize) : file_(file), fileSize_(fileSize) {}

    bool scan(std::vector<ArchiveMember>& members, uint32_t& centralOffset, uint32_t& endOffset,
              int& centralCount);
    const ScanFailure& failure() const { return failure_; }

private:
    bool fail(uint64_t offset, const char* reason) {
        failure_.offset = offset;
        failure_.reason = reason;
        return false;
    }
    bool readCentralDirectory();

    FILE* file_;
    uint64_t fileSize_;
    ScanFailure failure_;
    bool centralRead_ = false;
    std::map<uint64_t, CentralEntry> centralByLocalOffset_;
};

// Finds the end-of-central-directory record from the end of the file (it may be followed by a
// comment of up to 65535 bytes) and reads the directory's entries. Only needed for members
// written with a data descriptor.
bool ArchiveScanner::readCentralDirectory() {
    if (centralRead_) return true;
    uint64_t searchSize = std::min<uint64_t>(fileSize_, endRecordSize + 65535);
    std::vector<uint8_t> tail(searchSize);
    if (searchSize < endRecordSize || !readAt(file_, fileSize_ - searchSize, tail.data(), tail.size()))
        return fail(fileSize_, "no end of central directory");
    for (size_t at = searchSize - endRecordSize + 1; at-- > 0;) {
        assets::ByteReader record(tail.data() + at, searchSize - at);
        if (record.get32le() != endOfCentralSignature) continue;
        record.skip(6);
        uint16_t entries = record.get16le();
        uint32_t directorySize = record.get32le();
        uint32_t directoryOffset = record.get32le();
        uint16_t commentLength = record.get16le();
        uint64_t recordOffset = fileSize_ - searchSize + at;
        if (record.failed() || recordOffset + endRecordSize + commentLength != fileSize_ ||
            uint64_t(directoryOffset) + directorySize != recordOffset)
            continue;
        std::vector<uint8_t> directory(directorySize);
        if (!readAt(file_, directoryOffset, directory.data(), directory.size()))
            return fail(directoryOffset, "central directory unreadable");
        assets::ByteReader reader(directory.data(), directory.size());
        for (int i = 0; i < entries; ++i) {
            size_t entryOffset = reader.offset();
            if (reader.get32le() != centralHeaderSignature)
                return fail(directoryOffset + entryOffset, "not a central directory header");
            reader.skip(6);
            CentralEntry entry;
            entry.method = reader.get16le();
            reader.skip(4);
            entry.crc32 = reader.get32le();
            entry.compressedSize = reader.get32le();
            entry.uncompressedSize = reader.get32le();
            uint16_t nameLength = reader.get16le(), extraLength = reader.get16le(),
                     commentLength2 = reader.get16le();
            reader.skip(8);
            uint32_t localOffset = reader.get32le();
            reader.skip(size_t(nameLength) + extraLength + commentLength2);
            if (reader.failed()) return fail(directoryOffset + entryOffset, "central directory header truncated");
            centralByLocalOffset_[localOffset] = entry;
        }
        centralRead_ = true;
        return true;
    }
    return fail(fileSize_, "no end of central directory");
}

// Walks the local headers from offset 0 (each followed by its name, extra field and data) up to
// the central directory, then counts the central directory's headers up to the end record.
bool ArchiveScanner::scan(std::vector<ArchiveMember>& members, uint32_t& centralOffset,
                          uint32_t& endOffset, int& centralCount) {
    if (fileSize_ > UINT32_MAX) return fail(0, "archive larger than 4 GiB");
    uint32_t first = 0;
    if (!read32At(file_, 0, fileSize_, first)) return fail(0, "file too short");
    if (first == endOfCentralSignature) {  // an archive without members
        centralOffset = endOffset = 0;
        centralCount = 0;
        return true;
    }

    uint64_t position = 0;
    for (;;) {
        uint8_t bytes[localHeaderSize];
        if (position + localHeaderSize > fileSize_ || !readAt(file_, position, bytes, sizeof bytes))
            return fail(position, "local header past the end of the file");
        assets::ByteReader header(bytes, sizeof bytes);
        ArchiveMember member{};
        if (header.get32le() != localHeaderSignature) return fail(position, "not a local header");
        header.skip(2);
        member.flags = header.get16le();
        member.method = header.get16le();
        header.skip(4);
        member.crc32 = header.get32le();
        member.compressedSize = header.get32le();
        member.uncompressedSize = header.get32le();
        uint16_t nameLength = header.get16le();
        uint16_t extraLength = header.get16le();

        uint64_t nameOffset = position + localHeaderSize;
        if (nameOffset + nameLength + extraLength > fileSize_)
            return fail(position, "name or extra field past the end of the file");
        if (nameLength >= sizeof member.name) return fail(position, "name longer than 255 bytes");
        if (!readAt(file_, nameOffset, member.name, nameLength)) return fail(nameOffset, "name unreadable");
        member.name[nameLength] = '\0';
        uint64_t dataOffset = nameOffset + nameLength + extraLength;
        member.dataOffset = uint32_t(dataOffset);

        uint64_t next = dataOffset + member.compressedSize;
        if (member.flags & flagDataDescriptor) {
            // The sizes follow the data; the central directory has them too.
            if (!readCentralDirectory()) return false;
            auto entry = centralByLocalOffset_.find(position);
            if (entry == centralByLocalOffset_.end())
                return fail(position, "member missing from the central directory");
            member.crc32 = entry->second.crc32;
            member.compressedSize = entry->second.compressedSize;
            member.uncompressedSize = entry->second.uncompressedSize;
            uint64_t dataEnd = dataOffset + member.compressedSize;
            uint32_t word = 0;
            if (!read32At(file_, dataEnd, fileSize_, word)) return fail(dataEnd, "data past the end of the file");
            next = dataEnd + (word == dataDescriptorSignature ? 16 : 12);
        }
        if (next > fileSize_) return fail(position, "data past the end of the file");
        uint32_t value = 0;
        if (!read32At(file_, next, fileSize_, value)) return fail(next, "no central directory after the last member");
        members.push_back(member);
        if (value == centralHeaderSignature) {
            centralOffset = uint32_t(next);
            break;
        }
        position = next;
    }

    centralCount = 0;
    uint64_t position2 = centralOffset;
    for (;;) {
        uint8_t bytes[centralHeaderSize];
        if (position2 + centralHeaderSize > fileSize_ || !readAt(file_, position2, bytes, sizeof bytes))
            return fail(position2, "central directory header past the end of the file");
        assets::ByteReader header(bytes, sizeof bytes);
        if (header.get32le() != centralHeaderSignature) return fail(position2, "not a central directory header");
        header.skip(24);
        uint16_t nameLength = header.get16le(), extraLength = header.get16le(), commentLength = header.get16le();
        uint64_t next = position2 + centralHeaderSize + nameLength + extraLength + commentLength;
        uint32_t value = 0;
        if (!read32At(file_, next, fileSize_, value)) return fail(position2, "central directory header past the end of the file");
        ++centralCount;
        if (value == endOfCentralSignature) {
            endOffset = uint32_t(next);
            break;
        }
        position2 = next;
    }
    if (centralCount != int(members.size())) return fail(centralOffset, "central directory count differs from the local headers");
    return true;
}

void setDetail(const ScanFailure& failure) {
    std::snprintf(lastErrorDetail, sizeof lastErrorDetail, "offset %llu: %s",
                  static_cast<unsigned long long>(failure.offset), failure.reason ? failure.reason : "");
}

// The archive slot and member the lookup finds for `name`: the first archive that holds it.
const ArchiveMember* lookUp(const char* name) {
    for (int slot = 0; slot < archiveCount; ++slot) {
        const ArchiveMember* begin = memberTables[slot];
        const ArchiveMember* end = begin + memberCounts[slot];
        const ArchiveMember* found = std::lower_bound(begin, end, name, [](const ArchiveMember& m, const char* n) {
            return compareNamesIgnoringCase(m.name, n) < 0;
        });
        if (found != end && compareNamesIgnoringCase(found->name, name) == 0) return found;
    }
    return nullptr;
}

FILE* fileOf(const ArchiveMember* member) {
    for (int slot = 0; slot < archiveCount; ++slot)
        if (member >= memberTables[slot] && member < memberTables[slot] + memberCounts[slot]) return archiveFiles[slot];
    return nullptr;
}

[[noreturn]] void fileNotFound(const char* name) {
    MessageBoxA(nullptr, name, "file not found", MB_ICONERROR);
    std::exit(0);
}

}  // namespace

int compareNamesIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
        if (ca != cb || ca == 0) return ca - cb;
    }
}

FILE* openArchive(const char* path) {
    if (archiveCount == -1) {
        for (int slot = 0; slot < maxArchives; ++slot) clearSlot(slot);
        archiveCount = 0;
    }
    lastErrorDetail[0] = '\0';
    if (archiveCount >= maxArchives) {
        std::snprintf(lastError, sizeof lastError, "[zip] Too many archives, cannot open %s\n", path);
        return nullptr;
    }
    int slot = archiveCount;
    clearSlot(slot);

    FILE* file = std::fopen(path, "rb");
    // A name that opens but cannot be read from (a folder) cannot be opened as an archive either.
    if (file && std::fgetc(file) == EOF && std::ferror(file)) {
        std::fclose(file);
        file = nullptr;
    }
    if (!file) {
        std::snprintf(lastError, sizeof lastError, "[zip] Cant open file %s!\n", path);
        return nullptr;
    }
    uint64_t fileSize = 0;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        long end = std::ftell(file);
        if (end > 0) fileSize = uint64_t(end);
    }

    std::vector<ArchiveMember> members;
    uint32_t centralOffset = 0, endOffset = 0;
    int centralCount = 0;
    ArchiveScanner scanner(file, fileSize);
    if (!scanner.scan(members, centralOffset, endOffset, centralCount)) {
        std::snprintf(lastError, sizeof lastError, "[zip] Broken archive %s\n", path);
        setDetail(scanner.failure());
        std::fclose(file);
        return nullptr;
    }

    ArchiveMember* table = new ArchiveMember[members.size() ? members.size() : 1];
    std::copy(members.begin(), members.end(), table);
    // Stable, so that of two members whose names differ only in case the earlier one is found.
    std::stable_sort(table, table + members.size(), [](const ArchiveMember& a, const ArchiveMember& b) {
        return compareNamesIgnoringCase(a.name, b.name) < 0;
    });
    std::fseek(file, 0, SEEK_SET);

    archiveFiles[slot] = file;
    memberCounts[slot] = int(members.size());
    centralCounts[slot] = centralCount;
    centralOffsets[slot] = centralOffset;
    endOffsets[slot] = endOffset;
    memberTables[slot] = table;
    ++archiveCount;
    return file;
}

bool addArchive(const char* path) { return openArchive(path) != nullptr; }

const ArchiveMember* findMember(const char* name) { return lookUp(name); }

const ArchiveMember* archiveMembers(int index, int* count) {
    if (index < 0 || index >= archiveCount) {
        *count = 0;
        return nullptr;
    }
    *count = memberCounts[index];
    return memberTables[index];
}

int readMember(const char* name, MemberData* out) {
    const ArchiveMember* member = lookUp(name);
    if (!member) fileNotFound(name);
    FILE* file = fileOf(member);

    // Sizes the rest of the read relies on: a stored member is its own data, and inflating
    // cannot produce more than deflate's largest expansion of the input.
    uint32_t size = member->uncompressedSize;
    if (size > uint32_t(INT32_MAX)) return 0;
    if (member->method == 0 ? member->compressedSize != size
                            : uint64_t(size) > (uint64_t(member->compressedSize) + 1) * maxDeflateRatio) {
        std::snprintf(lastError, sizeof lastError, "[zip] Errorn in packed data!\n");
        return 0;
    }

    unsigned char* output = static_cast<unsigned char*>(std::malloc(size ? size : 1));
    unsigned char* input = static_cast<unsigned char*>(std::malloc(member->compressedSize ? member->compressedSize : 1));
    auto failed = [&] {
        std::free(output);
        std::free(input);
        return 0;
    };
    if (!output || !input) return failed();
    if (!readAt(file, member->dataOffset, input, member->compressedSize)) return failed();

    if (member->method == 0) {
        std::memcpy(output, input, size);
    } else {
        z_stream stream{};
        if (inflateInit2(&stream, -15) != Z_OK) return failed();
        stream.next_in = input;
        stream.avail_in = member->compressedSize;
        stream.next_out = output;
        stream.avail_out = size;
        int result = inflate(&stream, Z_SYNC_FLUSH);
        uLong produced = stream.total_out;
        inflateEnd(&stream);
        if (result < 0) return failed();
        // The data must end exactly where the stated size does: shorter would leave part of
        // the block unwritten, longer would be cut off.
        if (result != Z_STREAM_END || produced != size ||
            crc32(crc32(0L, Z_NULL, 0), output, size) != member->crc32) {
            std::snprintf(lastError, sizeof lastError, "[zip] Errorn in packed data!\n");
            return failed();
        }
    }
    std::free(input);
    out->data = output;
    out->size = int32_t(size);
    return 1;
}

unsigned char* loadMember(const char* name) {
    MemberData data{};
    if (!readMember(name, &data)) fileNotFound(name);
    return data.data;
}

void closeArchives() {
    for (int slot = 0; slot < archiveCount; ++slot) {
        if (archiveFiles[slot]) std::fclose(archiveFiles[slot]);
        delete[] memberTables[slot];
        clearSlot(slot);
    }
    archiveCount = -1;
}
