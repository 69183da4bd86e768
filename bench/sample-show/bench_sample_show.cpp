// The sample show's costs: generating it, starting glintdemo on it up to its first frame, and
// capturing the whole show as a video at 30 frames a second, 640 x 480, H.264, with where the
// capture's time goes (the show drawing its frames, reading them back as a video stream, the
// encoder). Times are given by the clock and in processor time, so figures taken on a busy
// machine still mean something.
//
//   bench-sample-show [generation] [first-frame] [capture [seconds]]   (default: all three,
//                                                                       the whole show)
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/jpeg_decoder.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const std::string binDir = DEMOS_BINARY_DIR "/bin";
const std::string contentDir = DEMOS_BINARY_DIR "/content/glintdemo";

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Process {
    pid_t pid = -1;
    double wall = 0, cpu = 0;   // filled by finish()
    Clock::time_point started;
    int status = 0;
    void finish() {
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        wall = since(started);
        cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    }
};

// Starts a program in `workdir` with the environment plus `settings`; `input` becomes its
// standard input when not -1; its output goes to /dev/null unless `quiet` is false.
Process start(const std::vector<std::string>& command, const std::map<std::string, std::string>& settings,
              const std::string& workdir, int input = -1, bool quiet = true) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DEMO_", 5) != 0) env.emplace_back(*e);
    for (const auto& [name, value] : settings) env.push_back(name + "=" + value);
    Process p;
    p.started = Clock::now();
    p.pid = fork();
    if (p.pid == 0) {
        if (chdir(workdir.c_str()) != 0) _exit(126);
        if (input >= 0) dup2(input, 0);
        if (quiet) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
        }
        std::vector<char*> argv, envp;
        for (const std::string& c : command) argv.push_back(const_cast<char*>(c.c_str()));
        argv.push_back(nullptr);
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return p;
}

std::map<std::string, std::string> headless(int framesPerSecond) {
    return {{"DEMO_VIDEO", "headless"}, {"DEMO_CLOCK", "fixed:" + std::to_string(framesPerSecond)}, {"DEMO_AUDIO", "none"}};
}

std::string temporaryFolder() {
    char name[] = "/tmp/bench-sample-show-XXXXXX";
    return mkdtemp(name) ? name : "/tmp";
}

void benchGeneration() {
    std::printf("generation of demo.dat and soundtrack.mp3 (glintdemo-content, 3 runs):\n");
    std::string folder = temporaryFolder();
    std::vector<double> walls, cpus;
    for (int run = 0; run < 3; ++run) {
        Process p = start({binDir + "/glintdemo-content", "--font", GLINT_TITLE_FONT, folder}, {}, folder);
        p.finish();
        walls.push_back(p.wall);
        cpus.push_back(p.cpu);
    }
    std::printf("  %.2f s by the clock, %.2f s of processor time (medians; two threads)\n", median(walls), median(cpus));
    std::system(("rm -rf " + folder).c_str());
}

// Seconds from starting glintdemo until its first frame reaches a capture stream; `cpu`: the
// processor time of the whole run (loading, one frame, the way out).
double secondsToFirstFrame(const std::string& workdir, const std::string& fifo, double& cpu) {
    int frames = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    auto settings = headless(30);
    settings["DEMO_CAPTURE"] = fifo;
    settings["DEMO_KEYS"] = "1:ESCAPE";
    Process p = start({binDir + "/glintdemo"}, settings, workdir);
    double first = -1;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        pollfd waiting{frames, POLLIN, 0};
        if (poll(&waiting, 1, 5) > 0) {
            ssize_t got = read(frames, buffer.data(), buffer.size());
            if (got > 0 && first < 0) first = since(p.started);
            if (got == 0) break;
        } else {
            siginfo_t ended{};   // looked at without reaping it, so finish() still gets its times
            if (waitid(P_PID, id_t(p.pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == p.pid) break;
        }
    }
    close(frames);
    p.finish();
    cpu = p.cpu;
    return first;
}

// Decoding every picture of the archive with the show's decoder, in this process.
double secondsToDecodePictures(int& count, long& pixels) {
    count = 0;
    pixels = 0;
    if (!openArchive((contentDir + "/demo.dat").c_str())) return -1;
    int members = 0;
    const ArchiveMember* table = archiveMembers(0, &members);
    std::vector<MemberData> jpegs;
    for (int i = 0; i < members; ++i) {
        if (!std::strstr(table[i].name, ".jpg")) continue;
        MemberData data{};
        if (readMember(table[i].name, &data)) jpegs.push_back(data);
    }
    closeArchives();
    auto started = Clock::now();
    for (const MemberData& data : jpegs) {
        unsigned char* copy = static_cast<unsigned char*>(std::malloc(data.size));
        std::memcpy(copy, data.data, data.size);
        JpegDecoder decoder(new JpegMemorySource(copy, data.size, true), true);
        if (decoder.error() || decoder.begin() != 0) continue;
        const uint8_t* row = nullptr;
        int length = 0;
        while (decoder.readRow(&row, &length) == 0) {
        }
        ++count;
        pixels += long(decoder.width()) * decoder.height();
    }
    double seconds = since(started);
    for (const MemberData& data : jpegs) std::free(data.data);
    return seconds;
}

void benchFirstFrame() {
    std::printf("glintdemo from start to its first frame (headless, 640 x 480, 9 runs):\n");
    std::string folder = temporaryFolder();
    std::string fifo = folder + "/frames.y4m";
    mkfifo(fifo.c_str(), 0600);
    std::vector<double> show, showCpu, bare, bareCpu;
    for (int run = 0; run < 9; ++run) {
        double cpu = 0;
        show.push_back(secondsToFirstFrame(contentDir, fifo, cpu));
        showCpu.push_back(cpu);
    }
    // Without an archive the show stops at its first picture: the process, its window and its
    // OpenGL context alone.
    for (int run = 0; run < 9; ++run) {
        Process p = start({binDir + "/glintdemo"}, headless(30), folder);
        p.finish();
        bare.push_back(p.wall);
        bareCpu.push_back(p.cpu);
    }
    int pictures = 0;
    long pixels = 0;
    double decoding = secondsToDecodePictures(pictures, pixels);
    std::printf("  first frame after %.3f s by the clock (median; goal: under 0.5 s); the whole run, one frame\n"
                "  and the way out included, takes %.3f s of processor time\n",
                median(show), median(showCpu));
    std::printf("  of which: process, window and OpenGL context %.3f s (%.3f s of processor time); decoding the\n"
                "  archive's %d pictures (%.1f megapixels) %.3f s\n",
                median(bare), median(bareCpu), pictures, double(pixels) / 1e6, decoding);
    std::system(("rm -rf " + folder).c_str());
}

// glintdemo's frames through a FIFO into ffmpeg with demo-capture's settings, each process
// measured on its own.
void pipeline(double seconds, const std::string& folder, Process& show, Process& encoder) {
    std::string fifo = folder + "/frames.y4m";
    int frames = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int toEncoder[2];
    if (pipe2(toEncoder, O_CLOEXEC) != 0) return;   // the encoder's copy of its input becomes a plain descriptor 0
    encoder = start({"/usr/bin/env", "ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "yuv4mpegpipe", "-i",
                     "pipe:0", "-c:v", "libx264", "-preset", "superfast", "-crf", "20", "-pix_fmt", "yuv420p",
                     folder + "/video.mp4"},
                    {}, folder, toEncoder[0]);
    close(toEncoder[0]);
    auto settings = headless(30);
    settings["DEMO_CAPTURE"] = fifo;
    if (seconds > 0) settings["DEMO_KEYS"] = std::to_string(int(seconds * 30)) + ":CLOSE";
    show = start({binDir + "/glintdemo"}, settings, contentDir);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        pollfd waiting{frames, POLLIN, 0};
        int ready = poll(&waiting, 1, 100);
        if (ready > 0) {
            ssize_t got = read(frames, buffer.data(), buffer.size());
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                ssize_t written = write(toEncoder[1], buffer.data() + at, size_t(got - at));
                if (written <= 0) break;
                at += written;
            }
        } else if (ready == 0 && waitpid(show.pid, nullptr, WNOHANG) == show.pid) {
            show.pid = -1;
            break;
        }
    }
    close(frames);
    close(toEncoder[1]);
    if (show.pid > 0) show.finish();
    encoder.finish();
}

void benchCapture(double seconds) {
    const double length = seconds > 0 ? seconds : 258.0;
    std::printf("capture of %.0f s of the show at 30 frames a second, 640 x 480, H.264:\n", length);
    std::string folder = temporaryFolder();
    mkfifo((folder + "/frames.y4m").c_str(), 0600);

    std::vector<std::string> command{binDir + "/demo-capture", "-o", folder + "/show.mp4"};
    if (seconds > 0) command.insert(command.end(), {"--to", std::to_string(seconds)});
    command.insert(command.end(), {"--", binDir + "/glintdemo"});
    Process capture = start(command, {}, contentDir);
    capture.finish();
    std::printf("  demo-capture: %.1f s by the clock (%.2f x real time; goal: under %.0f s), %.1f s of processor time\n",
                capture.wall, length / capture.wall, length, capture.cpu);

    auto settings = headless(30);
    if (seconds > 0) settings["DEMO_KEYS"] = std::to_string(int(seconds * 30)) + ":CLOSE";
    Process alone = start({binDir + "/glintdemo"}, settings, contentDir);
    alone.finish();
    Process show, encoder;
    pipeline(seconds, folder, show, encoder);
    std::printf("  where the time goes (processor time):\n");
    std::printf("    the show drawing its frames          %6.1f s  (%.1f s by the clock alone)\n", alone.cpu, alone.wall);
    std::printf("    reading them back as a video stream  %6.1f s\n", show.cpu - alone.cpu);
    std::printf("    the encoder (x264, superfast)        %6.1f s\n", encoder.cpu);
    std::system(("rm -rf " + folder).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    bool generation = argc == 1, firstFrame = argc == 1, capture = argc == 1;
    double seconds = 0;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "generation") generation = true;
        else if (word == "first-frame") firstFrame = true;
        else if (word == "capture") capture = true;
        else if (capture && std::atof(argv[i]) > 0) seconds = std::atof(argv[i]);
        else {
            std::fprintf(stderr, "usage: bench-sample-show [generation] [first-frame] [capture [seconds]]\n");
            return 1;
        }
    }
    struct stat info {};
    if (stat((contentDir + "/demo.dat").c_str(), &info) != 0) {
        std::fprintf(stderr, "bench-sample-show: no sample show in %s; build first\n", contentDir.c_str());
        return 1;
    }
    if (generation) benchGeneration();
    if (firstFrame) benchFirstFrame();
    if (capture) benchCapture(seconds);
    return 0;
}
