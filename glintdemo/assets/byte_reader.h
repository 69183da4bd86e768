// A bounded reader over bytes in memory: every read checks the bytes are there first. A read
// past the end yields zeros and marks the reader failed, with the offset and a short reason,
// so a parser can read a whole header and check once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace assets {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t get8() {
        if (!need(1)) return 0;
        return data_[offset_++];
    }
    uint16_t get16le() {
        if (!need(2)) return 0;
        uint16_t value = uint16_t(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    uint32_t get32le() {
        if (!need(4)) return 0;
        uint32_t value = uint32_t(data_[offset_]) | uint32_t(data_[offset_ + 1]) << 8 |
                         uint32_t(data_[offset_ + 2]) << 16 | uint32_t(data_[offset_ + 3]) << 24;
        offset_ += 4;
        return value;
    }
    uint16_t get16be() {
        if (!need(2)) return 0;
        uint16_t value = uint16_t(data_[offset_] << 8 | data_[offset_ + 1]);
        offset_ += 2;
        return value;
    }
    // Copies `count` bytes out; on a short read copies nothing.
    bool getBytes(void* into, size_t count);
    void skip(size_t count) {
        if (need(count)) offset_ += count;
    }

    size_t offset() const { return offset_; }
    size_t remaining() const { return size_ - offset_; }
    bool failed() const { return reason_ != nullptr; }
    const char* reason() const { return reason_; }
    size_t failureOffset() const { return failureOffset_; }

    // Marks the reader failed at the current offset (the first failure is kept).
    void fail(const char* reason) {
        if (!reason_) {
            reason_ = reason;
            failureOffset_ = offset_;
        }
    }

private:
    bool need(size_t count) {
        if (reason_) return false;
        if (count > size_ - offset_) {
            fail("read past the end");
            offset_ = size_;
            return false;
        }
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    const char* reason_ = nullptr;
    size_t failureOffset_ = 0;
};

inline bool ByteReader::getBytes(void* into, size_t count) {
    if (!need(count)) return false;
    for (size_t i = 0; i < count; ++i) static_cast<uint8_t*>(into)[i] = data_[offset_ + i];
    offset_ += count;
    return true;
}

}  // namespace assets
