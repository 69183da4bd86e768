#include "options.h"

#include <cmath>
#include <cstdlib>

namespace capture {
namespace {

bool parseInteger(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::atoi(text.c_str());
    return value >= low && value <= high;
}

bool parseSeconds(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value) && value >= 0.0;
}

}  // namespace

bool parseFrameRate(const std::string& text, FrameRate& rate) {
    size_t slash = text.find('/');
    FrameRate parsed;
    if (slash == std::string::npos) {
        if (!parseInteger(text, 1, 1000, parsed.numerator)) return false;
        parsed.denominator = 1;
    } else if (!parseInteger(text.substr(0, slash), 1, 1000000, parsed.numerator) ||
               !parseInteger(text.substr(slash + 1), 1, 1000000, parsed.denominator) ||
               parsed.numerator > 1000 * parsed.denominator) {
        return false;
    }
    rate = parsed;
    return true;
}

bool parseOptions(const std::vector<std::string>& words, Options& options, std::string* error) {
    size_t i = 0;
    auto value = [&](const std::string& option) -> const std::string* {
        if (i + 1 >= words.size()) {
            *error = option + " needs a value";
            return nullptr;
        }
        return &words[++i];
    };
    for (; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--") {
            ++i;
            break;
        }
        const std::string* v = nullptr;
        if (word == "--fps") {
            if (!(v = value(word))) return false;
            if (!parseFrameRate(*v, options.rate)) {
                *error = "--fps takes N or N/D frames a second, from 1 to 1000: " + *v;
                return false;
            }
        } else if (word == "--size") {
            if (!(v = value(word))) return false;
            size_t x = v->find('x');
            if (x == std::string::npos || !parseInteger(v->substr(0, x), 16, 8192, options.width) ||
                !parseInteger(v->substr(x + 1), 16, 8192, options.height) || options.width % 2 || options.height % 2) {
                *error = "--size takes WxH, even numbers from 16 to 8192: " + *v;
                return false;
            }
            options.sizeGiven = true;
        } else if (word == "--scale") {
            if (!(v = value(word))) return false;
            int scale = 0;
            if (*v != "auto" && !parseInteger(*v, 1, 8, scale)) {
                *error = "--scale takes 1 to 8 or auto: " + *v;
                return false;
            }
            options.scale = *v == "auto" ? *v : std::to_string(scale);
        } else if (word == "--msaa") {
            if (!(v = value(word))) return false;
            int samples = 0;
            if (!parseInteger(*v, 0, 8, samples) || (samples != 0 && samples != 2 && samples != 4 && samples != 8)) {
                *error = "--msaa takes 0, 2, 4 or 8 samples: " + *v;
                return false;
            }
            options.samples = samples;
        } else if (word == "--from" || word == "--to") {
            if (!(v = value(word))) return false;
            double seconds = 0;
            if (!parseSeconds(*v, seconds)) {
                *error = word + " takes show seconds (0 or more): " + *v;
                return false;
            }
            if (word == "--from") options.from = seconds;
            else options.to = seconds;
        } else if (word == "-o") {
            if (!(v = value(word))) return false;
            options.output = *v;
        } else {
            *error = "unknown option " + word;
            return false;
        }
    }
    if (i >= words.size()) {
        *error = "no program to capture (give it after --)";
        return false;
    }
    options.program = words[i];
    options.arguments.assign(words.begin() + long(i) + 1, words.end());
    if (options.to && firstFrameAt(*options.to, options.rate) <= firstFrameAt(options.from, options.rate)) {
        *error = "--to must come after --from by at least one frame";
        return false;
    }
    return true;
}

std::string renderScaleSetting(const Options& options) {
    if (!options.scale.empty()) return options.scale;
    return options.sizeGiven ? "auto" : "";
}

int64_t firstFrameAt(double seconds, const FrameRate& rate) {
    // A small allowance keeps times written in decimals (8.3 s at 30 frames a second) on the
    // frame they name.
    return int64_t(std::ceil(seconds * rate.numerator / rate.denominator - 1e-6));
}

int64_t audioFramesBefore(int64_t frame, int audioRate, const FrameRate& rate) {
    return frame * int64_t(audioRate) * rate.denominator / rate.numerator;
}

std::string keysClosingAt(const std::string& userKeys, int64_t frame) {
    std::string close = std::to_string(frame) + ":CLOSE";
    return userKeys.empty() ? close : userKeys + "," + close;
}

}  // namespace capture
