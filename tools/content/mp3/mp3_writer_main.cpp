// mp3-writer: encodes MP3 files.
//   mp3-writer [--bitrate K] <in.wav> <out.mp3>      a 16-bit PCM WAV file
//   mp3-writer --sine <Hz> --seconds <s> [--rate R] [--channels 1|2] [--bitrate K] <out.mp3>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "mp3_writer.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: mp3-writer [--bitrate K] <in.wav> <out.mp3>\n"
                 "       mp3-writer --sine <Hz> --seconds <s> [--rate R] [--channels 1|2] [--bitrate K] <out.mp3>\n");
    return 2;
}

bool readNumber(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (!*text || *end || !(v >= low && v <= high)) return false;
    value = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    double sine = 0, seconds = 0, rate = 44100, channels = 2, bitrate = 128;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool ok = true;
        if (a == "--sine" && i + 1 < argc) ok = readNumber(argv[++i], 1, 20000, sine);
        else if (a == "--seconds" && i + 1 < argc) ok = readNumber(argv[++i], 0, 3600, seconds);
        else if (a == "--rate" && i + 1 < argc) ok = readNumber(argv[++i], 8000, 48000, rate);
        else if (a == "--channels" && i + 1 < argc) ok = readNumber(argv[++i], 1, 2, channels);
        else if (a == "--bitrate" && i + 1 < argc) ok = readNumber(argv[++i], 8, 320, bitrate);
        else if (!a.empty() && a[0] != '-') files.push_back(a);
        else ok = false;
        if (!ok) return usage();
    }
    content::mp3::Pcm pcm;
    std::string error;
    if (sine > 0) {
        if (files.size() != 1 || seconds <= 0) return usage();
        pcm = content::mp3::sine(sine, seconds, int(rate), int(channels), 0.5);
    } else {
        if (files.size() != 2) return usage();
        std::ifstream in(files[0], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "mp3-writer: cannot read %s: %s\n", files[0].c_str(), std::strerror(errno));
            return 1;
        }
        std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!content::mp3::readWav(wav, pcm, &error)) {
            std::fprintf(stderr, "mp3-writer: %s: %s\n", files[0].c_str(), error.c_str());
            return 1;
        }
    }
    content::mp3::EncodeOptions options;
    options.bitrateKbps = int(bitrate);
    std::vector<uint8_t> mp3;
    if (!content::mp3::encode(pcm, options, mp3, &error)) {
        std::fprintf(stderr, "mp3-writer: %s\n", error.c_str());
        return 1;
    }
    const std::string& out = files.back();
    FILE* f = std::fopen(out.c_str(), "wb");
    if (!f || std::fwrite(mp3.data(), 1, mp3.size(), f) != mp3.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "mp3-writer: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
