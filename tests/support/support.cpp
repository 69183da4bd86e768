#include "support.h"

#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testing_support {

std::string binDir() { return std::string(DEMOS_BINARY_DIR) + "/bin"; }
std::string sourceDir() { return DEMOS_SOURCE_DIR; }

std::string sampleShow(const std::string& show) {
    std::string path = std::string(DEMOS_BINARY_DIR) + "/content/" + show;
    return std::filesystem::is_directory(path) ? path : std::string();
}

void linkSampleShow(const std::string& show, const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(sampleShow(show))) {
        std::string name = entry.path().filename().string();
        if (name == "debug.log" || name == "scenedump.txt") continue;
        std::filesystem::create_symlink(entry.path(), folder + "/" + name);
    }
}

std::string sharedTestdata() {
    std::string path = sourceDir() + "/../shared/testdata";
    return std::filesystem::is_directory(path) ? std::filesystem::canonical(path).string() : std::string();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "demos-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    if (std::getenv("KEEP_TEST_FILES")) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

RunResult run(const std::string& program, const std::vector<std::string>& arguments,
              const std::map<std::string, std::string>& environment, const std::string& workdir,
              int timeoutSeconds) {
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        std::string name = entry.substr(0, entry.find('='));
        if (name.compare(0, 5, "DEMO_") != 0 && !environment.count(name)) envStrings.push_back(entry);
    }
    for (const auto& [name, value] : environment) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        if (chdir(workdir.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    RunResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    bool timedOut = false;
    while (open > 0) {
        int waitMs = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (waitMs <= 0) {
            timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (poll(fds, 2, waitMs) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(child, &status, 0);
    if (timedOut) result.err += "\n[test] the program was killed after " + std::to_string(timeoutSeconds) + " s\n";
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::map<std::string, std::string> headlessSettings(int framesPerSecond) {
    return {{"DEMO_VIDEO", "headless"},
            {"DEMO_CLOCK", "fixed:" + std::to_string(framesPerSecond)},
            {"DEMO_AUDIO", "none"}};
}

Image readPng(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open " + path);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Image image;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        throw std::runtime_error("cannot decode " + path);
    }
    png_init_io(png, file);
    png_read_info(png, info);
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_palette_to_rgb(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(image.width) * 3) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        throw std::runtime_error("unexpected pixel layout in " + path);
    }
    image.rgb.resize(size_t(image.width) * image.height * 3);
    std::vector<png_bytep> rows(size_t(image.height));
    for (int y = 0; y < image.height; ++y) rows[size_t(y)] = &image.rgb[size_t(y) * image.width * 3];
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return image;
}

Image reduce(const Image& image, int n) {
    Image out;
    out.width = image.width / n;
    out.height = image.height / n;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int dy = 0; dy < n; ++dy)
                    for (int dx = 0; dx < n; ++dx) sum += image.pixel(x * n + dx, y * n + dy)[c];
                out.rgb[(size_t(y) * out.width + x) * 3 + c] = uint8_t(std::lround(sum / (n * n)));
            }
    return out;
}

double meanDifference(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 255;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / double(a.rgb.size());
}

double light(const Image& image) {
    double sum = 0;
    for (uint8_t v : image.rgb) sum += v;
    return sum;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> listDir(const std::string& path) {
    std::vector<std::string> names;
    if (!std::filesystem::is_directory(path)) return names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testing_support
