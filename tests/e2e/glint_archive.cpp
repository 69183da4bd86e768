#include "glint_archive.h"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "exp_writer.h"
#include "jpeg_writer.h"
#include "mp3_writer.h"
#include "support.h"
#include "zip_writer.h"

namespace testing_support {
namespace {

std::vector<uint8_t> flatJpeg(int channels, uint8_t r, uint8_t g, uint8_t b) {
    const int size = 32;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < size * size; ++i) {
        if (channels == 1) {
            pixels.push_back(r);
        } else {
            pixels.push_back(r);
            pixels.push_back(g);
            pixels.push_back(b);
        }
    }
    return content::writeJpeg(pixels.data(), size, size, channels, content::JpegWriterOptions{});
}

// A soft round spot, bright in the middle: the glow of the dots and billboards.
std::vector<uint8_t> dotJpeg() {
    const int size = 32;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double dx = x - 15.5, dy = y - 15.5, r = std::sqrt(dx * dx + dy * dy) / 16.0;
            double fall = r < 1.0 ? (1.0 - r) * (1.0 - r) : 0.0;
            pixels.push_back(uint8_t(std::lround(255.0 * fall)));
        }
    return content::writeJpeg(pixels.data(), size, size, 1, content::JpegWriterOptions{});
}

// Colour bands across and a gradient down, so reflections and overlays show their mapping.
std::vector<uint8_t> bandsJpeg(uint8_t red, uint8_t green, uint8_t blue) {
    const int size = 32;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            bool band = (x / 4) % 2 == 0;
            pixels.push_back(uint8_t(band ? red : red / 3));
            pixels.push_back(uint8_t(band ? green : green / 3));
            pixels.push_back(uint8_t(blue * y / (size - 1)));
        }
    return content::writeJpeg(pixels.data(), size, size, 3, content::JpegWriterOptions{});
}

// A 512 x 128 raw banner: bars like letters on a dark ground, in one colour.
std::vector<uint8_t> bannerRaw(uint8_t red, uint8_t green, uint8_t blue) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 512; ++x) {
            bool ink = y >= 32 && y < 96 && (x % 64) >= 8 && (x % 64) < 48 && ((x % 64) < 20 || y < 44 || y >= 84);
            pixels.push_back(ink ? red : 8);
            pixels.push_back(ink ? green : 8);
            pixels.push_back(ink ? blue : 8);
        }
    return pixels;
}

// A 256 x 256 height map of crossing waves with `across` and `down` periods over the map.
std::vector<uint8_t> wavesRaw(int across, int down) {
    std::vector<uint8_t> heights;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            double h = 0.5 + 0.25 * std::sin(x * across * 2 * M_PI / 256) + 0.25 * std::cos(y * down * 2 * M_PI / 256);
            heights.push_back(uint8_t(std::lround(255.0 * h)));
        }
    return heights;
}

}  // namespace

void writeGlintFolder(const std::string& folder, const std::set<std::string>& missing, bool soundtrack,
                      double seconds, const std::map<std::string, std::vector<uint8_t>>& replaced) {
    content::ZipWriter zip;
    auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        if (missing.count(name) || replaced.count(name)) return;
        zip.add(name, bytes);
    };
    for (const auto& [name, bytes] : replaced) zip.add(name, bytes);
    const char* pictures[] = {"addict1.jpg",  "kalju3512.jpg", "sc2.jpg",          "sotku2.jpg",
                              "d4_3.jpg",     "square.jpg",    "yellowshitred.jpg"};
    for (const char* name : pictures) add(name, flatJpeg(3, 200, 120, 40));
    for (const char* name : {"water2.jpg", "skymap.jpg"}) add(name, flatJpeg(3, 60, 140, 220));
    const char* greys[] = {"d4_1.jpg", "d2_2.jpg", "d2_3.jpg", "d4_4.jpg", "d4_22.jpg", "d5_2.jpg", "sunftext.jpg"};
    for (const char* name : greys) add(name, flatJpeg(1, 128, 0, 0));
    add("dot.jpg", dotJpeg());
    add("disp2.raw", wavesRaw(3, 2));
    add("wave1.raw", wavesRaw(2, 5));
    add("twirlb.raw", wavesRaw(6, 1));
    add("addict1.raw", wavesRaw(1, 1));
    add("back_gradient2.jpg", bandsJpeg(60, 200, 90));
    add("dust.jpg", bandsJpeg(230, 180, 60));
    add("back_gradient.jpg", bandsJpeg(40, 90, 250));
    add("s.raw", bannerRaw(250, 170, 40));
    add("sb.raw", bannerRaw(60, 140, 255));
    for (const char* name : {"kurwa2_.exp", "kurwa.exp", "scene6.exp", "freak.exp", "nowheretorun.exp"})
        add(name, content::exp::Writer().bytes());
    if (!zip.writeFile(folder + "/demo.dat")) throw std::runtime_error("cannot write demo.dat");
    if (soundtrack) {
        std::vector<uint8_t> mp3;
        std::string error;
        if (!content::mp3::encode(content::mp3::sine(440.0, seconds, 44100, 2, 0.25), content::mp3::EncodeOptions{},
                                  mp3, &error))
            throw std::runtime_error("cannot encode the soundtrack: " + error);
        writeFile(folder + "/soundtrack.mp3", std::string(mp3.begin(), mp3.end()));
    }
}

std::vector<std::string> traceFrame(const std::string& trace, int frame) {
    std::vector<std::string> current;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line == "-- frame " + std::to_string(frame)) return current;
        if (line.rfind("-- frame ", 0) == 0) current.clear();
        else current.push_back(line);
    }
    return {};
}

}  // namespace testing_support
