// bench-glint-effects: what glintdemo's opening costs, headless at 640 x 480. Builds a demo.dat
// of 256 x 256 pictures and wavy height maps, loads what the opening draws as the show does,
// then times frames (clear, effects, swap) of each effect on its own, and every frame of the
// opening's first 56 seconds with all its effects, as the show's timeline runs them.
//
//   bench-glint-effects [--fps N] [--only TEXT]
//     --fps N      frames a second of show time in the opening run (30)
//     --only TEXT  time only the effects whose names contain TEXT, and skip the opening run
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "assets/archive.h"
#include "assets/picture.h"
#include "effects/beatflash.h"
#include "effects/effects.h"
#include "geometry/mesh.h"
#include "geometry/tubes.h"
#include "host/settings.h"
#include "jpeg_writer.h"
#include "shell/beattable.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"
#include "shell/timeline.h"
#include "zip_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> picture(int channels, int seed) {
    const int size = 256;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int c = 0; c < channels; ++c)
                pixels.push_back(uint8_t(128 + 127 * std::sin(x * 0.05 * (c + 1) + y * 0.03 * seed + c)));
    return content::writeJpeg(pixels.data(), size, size, channels, content::JpegWriterOptions{});
}

// A soft round spot for the dots and billboards.
std::vector<uint8_t> spot() {
    const int size = 64;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double r = std::hypot(x - 31.5, y - 31.5) / 32.0;
            pixels.push_back(uint8_t(r < 1.0 ? 255.0 * (1.0 - r) * (1.0 - r) : 0.0));
        }
    return content::writeJpeg(pixels.data(), size, size, 1, content::JpegWriterOptions{});
}

std::vector<uint8_t> heights(int across, int down) {
    std::vector<uint8_t> map;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            map.push_back(uint8_t(127.5 + 63 * std::sin(x * across * 2 * M_PI / 256) + 63 * std::cos(y * down * 2 * M_PI / 256)));
    return map;
}

void writeArchive(const std::string& path) {
    content::ZipWriter zip;
    int seed = 1;
    for (const char* name : {"addict1.jpg", "kalju3512.jpg", "sc2.jpg", "sotku2.jpg", "d4_3.jpg", "dust.jpg",
                             "back_gradient.jpg", "back_gradient2.jpg"})
        zip.add(name, picture(3, seed++));
    for (const char* name : {"d4_1.jpg", "d2_2.jpg", "d2_3.jpg", "d4_4.jpg", "d4_22.jpg", "d5_2.jpg", "sunftext.jpg"})
        zip.add(name, picture(1, seed++));
    zip.add("dot.jpg", spot());
    zip.add("disp2.raw", heights(3, 2));
    zip.add("wave1.raw", heights(2, 5));
    zip.add("twirlb.raw", heights(6, 1));
    zip.add("addict1.raw", heights(1, 1));
    std::vector<uint8_t> banner(512 * 128 * 3);
    for (size_t i = 0; i < banner.size(); ++i) banner[i] = uint8_t((i / 3 % 512 / 32 + i / 3 / 512 / 16) % 2 ? 220 : 10);
    zip.add("s.raw", banner);
    zip.add("sb.raw", banner);
    if (!zip.writeFile(path)) {
        std::fprintf(stderr, "bench-glint-effects: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Everything the opening draws, loaded in the show's order.
void loadOpening(HWND window) {
    glBinding.bindOpenGL("opengl32.dll");
    handTexturesTheirFunctions();
    if (glBinding.createContext(*demoWindow, window) != 0) {
        std::fprintf(stderr, "bench-glint-effects: no OpenGL context\n");
        std::exit(1);
    }
    fillNormalizeTable();
    createTubeGroups();
    addArchive("demo.dat");
    loadShowTextures();
    setupEnvObjects("SOTKU2.jpg", "back_gradient2.jpg", "addict1.raw");
    setupEnvObjects("dust.jpg", "back_gradient.jpg", "wave1.raw");
    setupBanner("s.raw", "sb.raw");
    setupFlatMesh();
    fillBeatTable();
    attachDeformer(tubeGroup1, "disp2.raw");
    attachDeformer(tubeGroup1, "wave1.raw");
    attachDeformer(tubeGroup2, "wave1.raw");
    attachDeformer(tubeGroup2, "twirlb.raw");
    setupBillboards();
}

// One frame at show time t: clear, draw, swap, as the show paints it.
// With `withoutFill` the effect draws into a 1 x 1 viewport: the same calls and geometry, next
// to no pixels, which tells the cost of filling pixels from the rest.
struct Timing {
    double wall;   // milliseconds of real time
    double cpu;    // milliseconds of processor time of all the process's threads (the renderer's too)
};

double processMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

Timing frame(HDC dc, float t, const std::function<void(float)>& draw, bool withoutFill = false) {
    auto begin = Clock::now();
    double cpuBegin = processMilliseconds();
    showTime = t;
    facesDrawn = 0;
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (withoutFill) glViewport(0, 0, 1, 1);
    draw(t);
    glViewport(0, 0, 640, 480);
    SwapBuffers(dc);
    glFinish();   // the frame is drawn, not only queued
    return {std::chrono::duration<double, std::milli>(Clock::now() - begin).count(), processMilliseconds() - cpuBegin};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int framesPerSecond = 30;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--fps" && i + 1 < argc) framesPerSecond = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc) only = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench-glint-effects [--fps N] [--only TEXT]\n");
            return 2;
        }
    }
    // Headless always; DEMO_CAPTURE and the other settings work as for the show (frames are
    // numbered from 0 in the order this program draws them).
    host::Settings settings = host::settings();
    settings.video = host::VideoBackend::Headless;
    settings.fixedClock = false;
    host::overrideSettings(settings);

    char folder[] = "/tmp/bench-glint-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
    writeArchive("demo.dat");

    WNDCLASSA c{};
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "bench-glint";
    RegisterClassA(&c);
    HWND window = CreateWindowExA(0, "bench-glint", "bench-glint", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr,
                                  nullptr);
    demoWindow = new DemoWindow;
    demoWindow->hwnd = window;
    loadOpening(window);
    unlink("demo.dat");   // everything is loaded
    rmdir(folder);
    HDC dc = GetDC(window);
    glViewport(0, 0, 640, 480);

    // Each effect over its stretch of the opening: 60 frames spread evenly across it.
    struct Case {
        const char* name;
        float from, to;
        std::function<void(float)> draw;
    };
    Texture* kalju = showTextures[TextureKalju3512];
    const Case cases[] = {
        {"empty frame (clear, swap)", 0.5f, 55.5f, [](float) {}},
        {"effectEnvObjects(82)", 0.5f, 55.5f, [](float) { effectEnvObjects(82.0f); }},
        {"effectBillboards", 0.5f, 55.5f, [](float) { effectBillboards(); }},
        {"effectBackground", 12.5f, 55.5f, [](float) { currentBackground = showTextures[TextureD2_3]; effectBackground(); }},
        {"effectTubeGroup2(t, kalju, 4)", 0.5f, 55.5f, [kalju](float t) { effectTubeGroup2(t, kalju, 4.0f); }},
        {"effectDotTitles(t - 6)", 0.5f, 21.0f, [](float t) { effectDotTitles(t - 6.0f); }},
        {"effectBanner", 6.5f, 17.5f, [](float) { effectBanner(); }},
        {"effectBeatFlash", 0.5f, 55.5f, [](float) { effectBeatFlash(); }},
        {"effectFlatMesh", 60.0f, 150.0f, [](float) { effectFlatMesh(); }},
        {"effectTubeGroup1(t, kalju)", 234.0f, 257.0f, [kalju](float t) { effectTubeGroup1(t, kalju); }},
    };
    std::printf("Per effect, one frame headless at 640 x 480 (clear, effect, swap), 60 frames across its stretch:\n"
                "real time (median, max), processor time of all threads (median), and the real time of the\n"
                "same frames drawn into a 1 x 1 viewport, with no pixels to fill (median):\n");
    std::printf("%-32s %9s %9s %9s %9s %11s\n", "effect", "ms", "max ms", "frames/s", "cpu ms", "no-fill ms");
    for (const Case& e : cases) {
        if (std::string(e.name).find(only) == std::string::npos) continue;
        std::vector<double> wall, cpu, unfilled;
        for (int i = 0; i < 60; ++i) {
            float t = e.from + (e.to - e.from) * float(i) / 59.0f;
            Timing timing = frame(dc, t, e.draw);
            wall.push_back(timing.wall);
            cpu.push_back(timing.cpu);
            unfilled.push_back(frame(dc, t, e.draw, true).wall);
        }
        double m = median(wall);
        std::printf("%-32s %9.2f %9.2f %9.1f %9.2f %11.2f\n", e.name, m, *std::max_element(wall.begin(), wall.end()),
                    1000.0 / m, median(cpu), median(unfilled));
    }

    if (!only.empty()) return 0;
    // The opening as the show draws it: the timeline's rows, then the beat flash, every frame.
    beatFlashState = BeatFlashState{};
    std::vector<double> wall(56, 0.0), cpu(56, 0.0);
    std::vector<int> framesIn(56, 0);
    for (int n = 1; n < 56 * framesPerSecond; ++n) {
        float t = float(n) / float(framesPerSecond);
        Timing timing = frame(dc, t, [](float time) {
            runTimeline(time);
            glViewport(0, 0, 640, 480);
            effectBeatFlash();
        });
        wall[size_t(t)] += timing.wall;
        cpu[size_t(t)] += timing.cpu;
        ++framesIn[size_t(t)];
    }
    std::printf("\nThe opening, 0 to 56 s, all its effects (%d frames a second of show time), frames per second\n"
                "over each second of show time, from real time and from processor time:\n", framesPerSecond);
    for (auto [what, spent] : {std::pair{"real", &wall}, std::pair{"cpu", &cpu}}) {
        std::vector<double> rates;
        for (size_t s = 0; s < spent->size(); ++s) rates.push_back(1000.0 * framesIn[s] / (*spent)[s]);
        std::vector<double> sorted = rates;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%s: min %.1f, median %.1f, max %.1f; second:fps", what, sorted.front(), sorted[sorted.size() / 2],
                    sorted.back());
        for (size_t s = 0; s < rates.size(); ++s) std::printf("%s %zu:%.0f", s % 10 ? "" : "\n ", s, rates[s]);
        std::printf("\n");
    }
    ReleaseDC(window, dc);
    return 0;
}
