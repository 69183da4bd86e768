// demo-capture: records a program of this project as a video file.
//
//   demo-capture [--fps N|N/D] [--size WxH] [--scale N|auto] [--msaa N] [--from S] [--to S] [-o out.mp4]
//                -- <program> [args]
//
// The program runs headless under the fixed clock, in the current directory, always from its
// start; --from and --to choose the stretch of show time that goes into the video. Its frames
// stream through a FIFO into ffmpeg (H.264 when available) while it runs, its sound is recorded
// through the platform's WAV sink, and the two are put together at the end. Every frame is
// encoded once, in order, and the sound is cut at the same clock frames, so picture and sound
// stay in step by construction. The program draws at --scale times its size (with --size and no
// --scale: the smallest scale that fills the frame) and with --msaa samples a pixel, through the
// platform's DEMO_RENDER_SCALE and DEMO_MSAA.
//
// Exit codes: 0 the video was written; 1 wrong command line; 2 ffmpeg is missing; 3 the
// program could not run, failed or showed no frame; 4 ffmpeg failed; 5 temporary files failed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"
#include "progress.h"
#include "wav.h"
#include "y4m.h"

extern char** environ;

namespace {

using namespace capture;

enum ExitCode { done = 0, usage = 1, noFfmpeg = 2, programFailed = 3, ffmpegFailed = 4, temporaryFailed = 5 };

volatile sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

int say(int code, const std::string& message) {
    std::fprintf(stderr, "demo-capture: %s\n", message.c_str());
    return code;
}

std::string searchPath(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

// A program named without a folder is looked for on the PATH, then beside demo-capture
// (build/bin holds both).
std::string findProgram(const std::string& name) {
    std::string found = searchPath(name);
    if (!found.empty() || name.find('/') != std::string::npos) return found;
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    self[length] = '\0';
    std::string beside = std::string(self).substr(0, std::string(self).rfind('/') + 1) + name;
    return access(beside.c_str(), X_OK) == 0 ? beside : "";
}

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// How long the program's show runs when no --to is given, for the progress report: glintdemo
// ends after 258 s, korvo at the Quit of its demo-flow script.
std::optional<double> knownShowLength(const Options& options) {
    std::string name = baseName(options.program);
    if (name == "glintdemo") return 258.0;
    if (name == "korvo" && options.arguments.empty()) {
        std::ifstream script("demoflow.txt");
        for (std::string line; std::getline(script, line);) {
            std::istringstream words(line);
            std::vector<std::string> word{std::istream_iterator<std::string>(words), {}};
            if (!word.empty() && word[0] == "KVXDEMO") word.erase(word.begin());
            if (word.size() >= 2 && word[1] == "Quit") return std::atof(word[0].c_str());
        }
    }
    return std::nullopt;
}

struct Child {
    pid_t pid = -1;
    int status = 0;
    bool exited = false;
    bool poll() {
        if (pid > 0 && !exited && waitpid(pid, &status, WNOHANG) == pid) exited = true;
        return exited;
    }
    void wait() {
        while (pid > 0 && !exited) {
            if (waitpid(pid, &status, 0) == pid) exited = true;
            else if (errno != EINTR) break;
        }
    }
    std::string describe() const {
        if (WIFSIGNALED(status)) return std::string("was killed by signal ") + std::to_string(WTERMSIG(status));
        return "ended with exit code " + std::to_string(WEXITSTATUS(status));
    }
    bool succeeded() const { return exited && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Starts `argv` with `environment`; its standard input from `input` (or /dev/null), its
// standard output and error to `log` when given, else inherited.
Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment, int input,
            const std::string& log) {
    std::vector<char*> args, env;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        int in = input >= 0 ? input : open("/dev/null", O_RDONLY);
        dup2(in, 0);
        if (!log.empty()) {
            int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
        }
        execve(args[0], args.data(), env.data());
        std::fprintf(stderr, "demo-capture: cannot start %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    return child;
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) environment.push_back(*e);
    return environment;
}

void setVariable(std::vector<std::string>& environment, const std::string& name, const std::string& value) {
    for (std::string& e : environment)
        if (e.compare(0, name.size() + 1, name + "=") == 0) {
            e = name + "=" + value;
            return;
        }
    environment.push_back(name + "=" + value);
}

std::string variable(const std::vector<std::string>& environment, const std::string& name) {
    for (const std::string& e : environment)
        if (e.compare(0, name.size() + 1, name + "=") == 0) return e.substr(name.size() + 1);
    return "";
}

// Runs ffmpeg to the end with its output in `log`; true when it succeeded.
bool runFfmpeg(const std::string& ffmpeg, const std::vector<std::string>& arguments, const std::string& log) {
    std::vector<std::string> argv{ffmpeg};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Child child = spawn(argv, currentEnvironment(), -1, log);
    child.wait();
    return child.succeeded();
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool hasLibx264(const std::string& ffmpeg, const std::string& folder) {
    std::string log = folder + "/encoders.txt";
    return runFfmpeg(ffmpeg, {"-hide_banner", "-encoders"}, log) && fileText(log).find(" libx264 ") != std::string::npos;
}

bool writeAll(int fd, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= size_t(written);
    }
    return true;
}

class TemporaryFolder {
public:
    bool make() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/demo-capture-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) return false;
        path_ = name.data();
        return true;
    }
    ~TemporaryFolder() {
        if (path_.empty() || std::getenv("KEEP_TEST_FILES")) return;
        for (const char* file : {"frames.y4m", "sound.wav", "stretch.wav", "video.mp4", "ffmpeg.log", "mux.log", "encoders.txt"})
            unlink((path_ + "/" + file).c_str());
        rmdir(path_.c_str());
    }
    std::string file(const char* name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, &error)) {
        std::fprintf(stderr,
                     "demo-capture: %s\n"
                     "usage: demo-capture [--fps N|N/D] [--size WxH] [--scale N|auto] [--msaa N] [--from S] [--to S]\n"
                     "                    [-o out.mp4] -- <program> [args]\n",
                     error.c_str());
        return usage;
    }
    const std::string ffmpeg = searchPath("ffmpeg");
    if (ffmpeg.empty())
        return say(noFfmpeg, "ffmpeg is not installed; it encodes the video (on Debian: apt-get install ffmpeg)");
    const std::string program = findProgram(options.program);
    if (program.empty()) return say(programFailed, "cannot find the program " + options.program);
    const std::string output = options.output.empty() ? baseName(options.program) + ".mp4" : options.output;

    TemporaryFolder temporary;
    if (!temporary.make() || mkfifo(temporary.file("frames.y4m").c_str(), 0600) != 0)
        return say(temporaryFailed, std::string("cannot make temporary files: ") + std::strerror(errno));
    const bool h264 = hasLibx264(ffmpeg, temporary.path());

    const FrameRate& rate = options.rate;
    const int64_t firstFrame = firstFrameAt(options.from, rate);
    const bool bounded = options.to.has_value();   // else the video ends where the program does
    const int64_t endFrame = bounded ? firstFrameAt(*options.to, rate) : INT64_MAX;
    std::optional<int64_t> framesTotal;
    if (bounded) framesTotal = endFrame - firstFrame;
    else if (auto length = knownShowLength(options)) framesTotal = firstFrameAt(*length, rate) + 3 - firstFrame;

    // The frames arrive through a FIFO. It is opened before the program starts and without
    // waiting, so a program that ends before it ever opens the FIFO cannot leave us blocked.
    int frames = open(temporary.file("frames.y4m").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (frames < 0) return say(temporaryFailed, std::string("cannot open the frame stream: ") + std::strerror(errno));
    fcntl(frames, F_SETPIPE_SZ, 1 << 20);

    int encoderPipe[2];
    if (pipe(encoderPipe) != 0) return say(temporaryFailed, "cannot make a pipe to ffmpeg");
    fcntl(encoderPipe[1], F_SETFD, FD_CLOEXEC);
    fcntl(encoderPipe[1], F_SETPIPE_SZ, 1 << 20);
    std::vector<std::string> encode{ffmpeg, "-hide_banner", "-loglevel", "error", "-y", "-f", "yuv4mpegpipe", "-i", "pipe:0"};
    if (h264) encode.insert(encode.end(), {"-c:v", "libx264", "-preset", "superfast", "-crf", "20"});
    else encode.insert(encode.end(), {"-c:v", "mpeg4", "-q:v", "3"});
    encode.insert(encode.end(), {"-pix_fmt", "yuv420p", "-vsync", "passthrough", temporary.file("video.mp4")});
    Child encoder = spawn(encode, currentEnvironment(), encoderPipe[0], temporary.file("ffmpeg.log"));
    close(encoderPipe[0]);

    std::vector<std::string> environment = currentEnvironment();
    std::string clock = "fixed:" + std::to_string(rate.numerator);
    if (rate.denominator != 1) clock += "/" + std::to_string(rate.denominator);
    setVariable(environment, "DEMO_VIDEO", "headless");
    setVariable(environment, "DEMO_CLOCK", clock);
    setVariable(environment, "DEMO_CAPTURE", temporary.file("frames.y4m"));
    setVariable(environment, "DEMO_AUDIO", "wav:" + temporary.file("sound.wav"));
    if (options.sizeGiven)
        setVariable(environment, "DEMO_SIZE", std::to_string(options.width) + "x" + std::to_string(options.height));
    if (std::string scale = renderScaleSetting(options); !scale.empty())
        setVariable(environment, "DEMO_RENDER_SCALE", scale);
    if (options.samples) setVariable(environment, "DEMO_MSAA", std::to_string(*options.samples));
    if (bounded) {
        setVariable(environment, "DEMO_CAPTURE_FRAMES", std::to_string(firstFrame) + "-" + std::to_string(endFrame - 1));
        setVariable(environment, "DEMO_KEYS", keysClosingAt(variable(environment, "DEMO_KEYS"), endFrame));
    } else if (firstFrame > 0) {
        setVariable(environment, "DEMO_CAPTURE_FRAMES", std::to_string(firstFrame) + "-999999999");
    }

    signal(SIGPIPE, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::vector<std::string> command{program};
    command.insert(command.end(), options.arguments.begin(), options.arguments.end());
    Child show = spawn(command, environment, -1, "");

    const bool terminal = isatty(2);
    Progress progress(stderr, terminal);
    if (firstFrame > 0)
        std::fprintf(stderr, "demo-capture: running %s up to %.2f s of show time\n", baseName(options.program).c_str(),
                     options.from);
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };

    Y4mSplitter splitter;
    std::vector<uint8_t> chunk(1 << 20), frame;
    int64_t captured = 0;
    bool headerSent = false, encoderBroken = false, streamEnded = false;
    double lastFrameAt = -1;
    while (!interrupted && !streamEnded) {
        pollfd waiting{frames, POLLIN, 0};
        int ready = ::poll(&waiting, 1, 100);
        if (ready > 0 && (waiting.revents & (POLLIN | POLLHUP))) {
            ssize_t got = read(frames, chunk.data(), chunk.size());
            if (got == 0) streamEnded = true;
            if (got > 0 && !splitter.feed(chunk.data(), size_t(got), &error)) {
                progress.finish();
                kill(show.pid, SIGTERM);
                show.wait();
                close(encoderPipe[1]);
                encoder.wait();
                return say(programFailed, error);
            }
            if (splitter.haveHeader() && !headerSent) {
                headerSent = true;
                encoderBroken = !writeAll(encoderPipe[1], reinterpret_cast<const uint8_t*>(splitter.header().line.data()),
                                          splitter.header().line.size());
            }
            for (;;) {
                Y4mSplitter::Next next = splitter.nextFrame(frame);
                if (next == Y4mSplitter::Next::incomplete) break;
                if (next == Y4mSplitter::Next::malformed) {
                    error = "the program's frame stream is broken";
                    encoderBroken = true;
                    break;
                }
                if (bounded && firstFrame + captured >= endFrame) continue;   // past the stretch
                if (!encoderBroken && !writeAll(encoderPipe[1], frame.data(), frame.size())) encoderBroken = true;
                ++captured;
                lastFrameAt = elapsed();
                ProgressState state;
                state.framesDone = captured;
                state.framesTotal = framesTotal;
                state.showSeconds = double(firstFrame + captured - 1) * rate.denominator / rate.numerator;
                state.wallSeconds = lastFrameAt;
                state.framesPerSecond = lastFrameAt > 0 ? double(captured) / lastFrameAt : 0;
                progress.update(state);
            }
            if (encoderBroken) break;
        } else if (show.poll() && ready == 0 && !headerSent) {
            break;   // the program ended without ever opening the frame stream
        }
        // A program told to close at --to gets a few seconds to do so.
        if (bounded && firstFrame + captured >= endFrame && lastFrameAt >= 0 && elapsed() - lastFrameAt > 15.0 &&
            !show.poll()) {
            kill(show.pid, SIGTERM);
            lastFrameAt = elapsed();
        }
    }
    progress.finish();
    close(frames);
    close(encoderPipe[1]);
    if (interrupted) {
        kill(show.pid, SIGTERM);
        kill(encoder.pid, SIGTERM);
        show.wait();
        encoder.wait();
        return say(130, "interrupted; no video written");
    }
    if (encoderBroken && show.pid > 0 && !show.poll()) kill(show.pid, SIGTERM);
    show.wait();
    encoder.wait();

    const std::string name = baseName(options.program);
    if (!show.succeeded() && !(bounded && firstFrame + captured >= endFrame && WIFSIGNALED(show.status)))
        return say(programFailed, name + " " + show.describe() + "; no video written");
    if (captured == 0)
        return say(programFailed, name + " ended before it showed a frame of the stretch; no video written");
    if (encoderBroken || !encoder.succeeded()) {
        std::string log = fileText(temporary.file("ffmpeg.log"));
        return say(ffmpegFailed, (error.empty() ? "ffmpeg failed to encode the frames" : error) +
                                     (log.empty() ? std::string() : ":\n" + log));
    }

    // The sound of the same clock frames as the pictures.
    std::vector<std::string> mux{"-hide_banner", "-loglevel", "error", "-y", "-i", temporary.file("video.mp4")};
    WavInfo sound;
    std::string soundError;
    bool withSound = readWavInfo(temporary.file("sound.wav"), sound, &soundError);
    if (withSound) {
        int64_t first = audioFramesBefore(firstFrame, sound.rate, rate);
        int64_t last = audioFramesBefore(firstFrame + captured, sound.rate, rate);
        if (!writeWavRange(temporary.file("sound.wav"), sound, uint64_t(first), uint64_t(last),
                           temporary.file("stretch.wav"), &soundError))
            return say(temporaryFailed, soundError);
        mux.insert(mux.end(), {"-i", temporary.file("stretch.wav"), "-map", "0:v:0", "-map", "1:a:0", "-c:v", "copy",
                               "-c:a", "aac", "-b:a", "192k"});
    } else {
        mux.insert(mux.end(), {"-c:v", "copy"});
    }
    mux.insert(mux.end(), {"-movflags", "+faststart", output});
    if (!runFfmpeg(ffmpeg, mux, temporary.file("mux.log")))
        return say(ffmpegFailed, "ffmpeg could not write " + output + ":\n" + fileText(temporary.file("mux.log")));

    double seconds = double(captured) * rate.denominator / rate.numerator;
    char summary[512];
    std::snprintf(summary, sizeof summary, "wrote %s: %lld frames (%s of show, %s%s) in %s", output.c_str(),
                  (long long)captured, clockText(seconds).c_str(), h264 ? "H.264" : "MPEG-4",
                  withSound ? " with sound" : ", no sound", clockText(elapsed()).c_str());
    return say(done, summary);
}
