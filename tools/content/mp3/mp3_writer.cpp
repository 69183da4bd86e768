#include "mp3_writer.h"

#include <lame/lame.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace content::mp3 {
namespace {

struct LameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

// Bounded little-endian reader over the bytes of a WAV file.
class ByteReader {
public:
    explicit ByteReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool has(size_t count) const { return bytes_.size() - position_ >= count; }
    size_t position() const { return position_; }
    uint32_t get16() { return has(2) ? take(2) : 0; }
    uint32_t get32() { return has(4) ? take(4) : 0; }
    bool skip(size_t count) {
        if (!has(count)) return false;
        position_ += count;
        return true;
    }
    bool tag(const char* expected) {
        if (!has(4) || std::memcmp(bytes_.data() + position_, expected, 4) != 0) return false;
        position_ += 4;
        return true;
    }
    const uint8_t* here() const { return bytes_.data() + position_; }

private:
    uint32_t take(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value |= uint32_t(bytes_[position_ + i]) << (8 * i);
        position_ += size_t(count);
        return value;
    }
    const std::vector<uint8_t>& bytes_;
    size_t position_ = 0;
};

bool fail(const std::string& why, std::string* error) {
    *error = why;
    return false;
}

}  // namespace

bool encode(const Pcm& pcm, const EncodeOptions& options, std::vector<uint8_t>& mp3, std::string* error) {
    if (pcm.channels != 1 && pcm.channels != 2) return fail("channels must be 1 or 2", error);
    if (pcm.rate < 8000 || pcm.rate > 48000) return fail("rate outside 8000..48000 Hz", error);
    if (pcm.samples.size() % size_t(pcm.channels)) return fail("samples do not fill whole frames", error);
    std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
    if (!lame) return fail("cannot start the encoder", error);
    lame_set_in_samplerate(lame.get(), pcm.rate);
    lame_set_out_samplerate(lame.get(), pcm.rate);
    lame_set_num_channels(lame.get(), pcm.channels);
    lame_set_mode(lame.get(), pcm.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.get(), options.bitrateKbps);
    lame_set_quality(lame.get(), options.quality);
    lame_set_bWriteVbrTag(lame.get(), 1);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0) return fail("the encoder refuses these settings", error);

    mp3.clear();
    constexpr size_t chunkFrames = 8192;
    std::vector<unsigned char> buffer(chunkFrames * 5 / 4 + 7200);
    std::vector<short> left(chunkFrames), right(chunkFrames);
    const size_t frames = pcm.frames();
    for (size_t at = 0; at < frames; at += chunkFrames) {
        size_t count = std::min(chunkFrames, frames - at);
        for (size_t i = 0; i < count; ++i) {
            left[i] = pcm.samples[(at + i) * size_t(pcm.channels)];
            right[i] = pcm.channels == 2 ? pcm.samples[(at + i) * 2 + 1] : left[i];
        }
        int bytes = lame_encode_buffer(lame.get(), left.data(), right.data(), int(count), buffer.data(), int(buffer.size()));
        if (bytes < 0) return fail("encoding failed (" + std::to_string(bytes) + ")", error);
        mp3.insert(mp3.end(), buffer.data(), buffer.data() + bytes);
    }
    int bytes = lame_encode_flush(lame.get(), buffer.data(), int(buffer.size()));
    if (bytes < 0) return fail("encoding failed at the end (" + std::to_string(bytes) + ")", error);
    mp3.insert(mp3.end(), buffer.data(), buffer.data() + bytes);
    // The encoder left an empty first frame for the info frame: fill it in now that the
    // lengths are known.
    size_t tagBytes = lame_get_lametag_frame(lame.get(), buffer.data(), buffer.size());
    if (tagBytes > buffer.size() || tagBytes > mp3.size()) return fail("cannot write the LAME info frame", error);
    std::memcpy(mp3.data(), buffer.data(), tagBytes);
    return true;
}

Pcm sine(double frequency, double seconds, int rate, int channels, double amplitude, double phase) {
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    size_t frames = size_t(std::llround(seconds * rate));
    pcm.samples.resize(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i) {
        auto value = int16_t(std::lround(32767.0 * amplitude * std::sin(2.0 * M_PI * frequency * double(i) / rate + phase)));
        for (int c = 0; c < channels; ++c) pcm.samples[i * size_t(channels) + size_t(c)] = value;
    }
    return pcm;
}

bool readWav(const std::vector<uint8_t>& file, Pcm& pcm, std::string* error) {
    ByteReader in(file);
    if (!in.tag("RIFF") || !in.skip(4) || !in.tag("WAVE")) return fail("not a RIFF WAVE file", error);
    bool haveFormat = false;
    while (in.has(8)) {
        size_t at = in.position();
        char id[5] = {};
        std::memcpy(id, in.here(), 4);
        in.skip(4);
        uint32_t size = in.get32();
        if (std::strcmp(id, "fmt ") == 0) {
            if (size < 16 || !in.has(size)) return fail("fmt chunk too short at byte " + std::to_string(at), error);
            uint32_t format = in.get16();
            pcm.channels = int(in.get16());
            pcm.rate = int(in.get32());
            in.skip(6);   // bytes a second, block align
            uint32_t bits = in.get16();
            in.skip(size - 16);
            if (format != 1 || bits != 16) return fail("only 16-bit PCM WAV files are read", error);
            if (pcm.channels != 1 && pcm.channels != 2) return fail("only mono and stereo WAV files are read", error);
            haveFormat = true;
        } else if (std::strcmp(id, "data") == 0) {
            if (!haveFormat) return fail("data chunk before the fmt chunk", error);
            size_t bytes = std::min<size_t>(size, file.size() - in.position());   // a cut-off file keeps what it has
            size_t frameBytes = size_t(2 * pcm.channels);
            bytes -= bytes % frameBytes;
            pcm.samples.resize(bytes / 2);
            for (size_t i = 0; i < pcm.samples.size(); ++i) pcm.samples[i] = int16_t(in.get16());
            return true;
        } else if (!in.skip(size + (size & 1))) {
            return fail("chunk '" + std::string(id) + "' runs past the end at byte " + std::to_string(at), error);
        }
    }
    return fail("no data chunk", error);
}

}  // namespace content::mp3
