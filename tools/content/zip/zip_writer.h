// Writes zip archives in memory: stored or deflated members, optionally with the sizes and CRC
// left to a data descriptor after the data (as streaming writers do), extra fields and comments. Used by tests and by the
// sample-content generators to build demo.dat.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

class ZipWriter {
public:
    enum class Method { stored, deflated };
    struct MemberOptions {
        Method method = Method::deflated;
        int level = 9;                    // zlib compression level, for deflated members
        bool dataDescriptor = false;      // sizes and CRC after the data, zero in the local header
        bool descriptorSignature = true;  // whether that descriptor starts with its signature
        // Extra fields after the name, in the local header and in the central directory (they
        // may differ, as zip tools write them), and the member's comment in the directory.
        std::vector<uint8_t> localExtra = {}, centralExtra = {};
        std::string comment = {};
    };

    // Where one member landed, for tests that damage an archive on purpose.
    struct Placement {
        std::string name;
        uint32_t localHeaderOffset = 0, dataOffset = 0, compressedSize = 0, uncompressedSize = 0, crc32 = 0;
        uint16_t method = 0;
    };

    void add(const std::string& name, const std::vector<uint8_t>& bytes, const MemberOptions& options);
    void add(const std::string& name, const std::vector<uint8_t>& bytes) { add(name, bytes, MemberOptions{}); }
    void add(const std::string& name, const std::string& text, const MemberOptions& options) {
        add(name, std::vector<uint8_t>(text.begin(), text.end()), options);
    }
    void add(const std::string& name, const std::string& text) { add(name, text, MemberOptions{}); }

    // The whole archive: the members, the central directory and its end record.
    std::vector<uint8_t> finish() const;
    // finish() into a file; false when it cannot be written.
    bool writeFile(const std::string& path) const;

    const std::vector<Placement>& placements() const { return placements_; }

private:
    struct CentralRecord {
        Placement placement;
        uint16_t flags = 0;
        std::vector<uint8_t> extra;
        std::string comment;
    };
    std::vector<uint8_t> body_;
    std::vector<CentralRecord> records_;
    std::vector<Placement> placements_;
};

// Raw deflate (no zlib header) of `bytes` at `level`.
std::vector<uint8_t> deflateRaw(const std::vector<uint8_t>& bytes, int level = 9);

}  // namespace content
