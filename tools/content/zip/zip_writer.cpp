#include "zip_writer.h"

#include <zlib.h>

#include <fstream>
#include <stdexcept>

namespace content {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// 2000-01-01 00:00, so that archives are the same on every run.
constexpr uint16_t dosTime = 0;
constexpr uint16_t dosDate = (20 << 9) | (1 << 5) | 1;

}  // namespace

std::vector<uint8_t> deflateRaw(const std::vector<uint8_t>& bytes, int level) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<uint8_t> out(deflateBound(&stream, uLong(bytes.size())));
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = uInt(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
    return out;
}

void ZipWriter::add(const std::string& name, const std::vector<uint8_t>& bytes, const MemberOptions& options) {
    if (name.size() > 0xFFFF || options.localExtra.size() > 0xFFFF || options.centralExtra.size() > 0xFFFF ||
        options.comment.size() > 0xFFFF)
        throw std::invalid_argument("member name, extra field or comment too long");
    Placement p;
    p.name = name;
    p.method = options.method == Method::stored ? 0 : 8;
    p.crc32 = uint32_t(crc32(crc32(0L, Z_NULL, 0), bytes.data(), uInt(bytes.size())));
    std::vector<uint8_t> data = options.method == Method::stored ? bytes : deflateRaw(bytes, options.level);
    p.compressedSize = uint32_t(data.size());
    p.uncompressedSize = uint32_t(bytes.size());
    uint16_t flags = options.dataDescriptor ? 0x0008 : 0;

    p.localHeaderOffset = uint32_t(body_.size());
    put32(body_, 0x04034B50);
    put16(body_, p.method == 8 ? 20 : 10);
    put16(body_, flags);
    put16(body_, p.method);
    put16(body_, dosTime);
    put16(body_, dosDate);
    put32(body_, options.dataDescriptor ? 0 : p.crc32);
    put32(body_, options.dataDescriptor ? 0 : p.compressedSize);
    put32(body_, options.dataDescriptor ? 0 : p.uncompressedSize);
    put16(body_, uint32_t(name.size()));
    put16(body_, uint32_t(options.localExtra.size()));
    body_.insert(body_.end(), name.begin(), name.end());
    body_.insert(body_.end(), options.localExtra.begin(), options.localExtra.end());
    p.dataOffset = uint32_t(body_.size());
    body_.insert(body_.end(), data.begin(), data.end());
    if (options.dataDescriptor) {
        if (options.descriptorSignature) put32(body_, 0x08074B50);
        put32(body_, p.crc32);
        put32(body_, p.compressedSize);
        put32(body_, p.uncompressedSize);
    }
    records_.push_back({p, flags, options.centralExtra, options.comment});
    placements_.push_back(p);
}

std::vector<uint8_t> ZipWriter::finish() const {
    std::vector<uint8_t> out = body_;
    uint32_t directoryOffset = uint32_t(out.size());
    for (const CentralRecord& record : records_) {
        const Placement& p = record.placement;
        put32(out, 0x02014B50);
        put16(out, (3 << 8) | 20);  // made on Unix, version 2.0
        put16(out, p.method == 8 ? 20 : 10);
        put16(out, record.flags);
        put16(out, p.method);
        put16(out, dosTime);
        put16(out, dosDate);
        put32(out, p.crc32);
        put32(out, p.compressedSize);
        put32(out, p.uncompressedSize);
        put16(out, uint32_t(p.name.size()));
        put16(out, uint32_t(record.extra.size()));
        put16(out, uint32_t(record.comment.size()));
        put16(out, 0);  // disk
        put16(out, 0);  // internal attributes
        put32(out, 0100644u << 16);  // external attributes: a regular file, rw-r--r--
        put32(out, p.localHeaderOffset);
        out.insert(out.end(), p.name.begin(), p.name.end());
        out.insert(out.end(), record.extra.begin(), record.extra.end());
        out.insert(out.end(), record.comment.begin(), record.comment.end());
    }
    uint32_t directorySize = uint32_t(out.size()) - directoryOffset;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, uint32_t(records_.size()));
    put16(out, uint32_t(records_.size()));
    put32(out, directorySize);
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

bool ZipWriter::writeFile(const std::string& path) const {
    std::vector<uint8_t> bytes = finish();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

}  // namespace content
