#include "glint_archive.h"

#include <stdexcept>
#include <vector>

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

}  // namespace

void writeGlintFolder(const std::string& folder, const std::set<std::string>& missing, bool soundtrack,
                      double seconds) {
    content::ZipWriter zip;
    auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        if (!missing.count(name)) zip.add(name, bytes);
    };
    const char* pictures[] = {"addict1.jpg", "kalju3512.jpg", "sc2.jpg", "sotku2.jpg", "d4_3.jpg", "square.jpg"};
    for (const char* name : pictures) add(name, flatJpeg(3, 200, 120, 40));
    for (const char* name : {"water2.jpg", "skymap.jpg"}) add(name, flatJpeg(3, 60, 140, 220));
    const char* greys[] = {"d4_1.jpg", "d2_2.jpg", "d2_3.jpg", "d4_4.jpg", "d4_22.jpg", "d5_2.jpg", "dot.jpg",
                           "sunftext.jpg"};
    for (const char* name : greys) add(name, flatJpeg(1, 128, 0, 0));
    for (const char* name : {"disp2.raw", "wave1.raw", "twirlb.raw"}) add(name, std::vector<uint8_t>(256 * 256, 16));
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

}  // namespace testing_support
