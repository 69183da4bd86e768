// glintdemo's effects as the show draws them: one headless run with the fixed clock, the keys
// moving the clock to 12.5 s (the opening), 63 s (the streamers) and 239.5 s (the closing
// tubes), and the OpenGL calls of those frames checked effect by effect. One run serves every
// check, so they form one test.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "glint_archive.h"
#include "support.h"

namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

// Enter three times (+15 s), Down three times (-3 s): frame 15 shows t = 15 / 30 + 12.
constexpr int openingFrame = 15;
// Enter ten times more: frame 30 shows t = 30 / 30 + 62.
constexpr int streamerFrame = 30;
// Enter 35 times more: frame 75 shows t = 75 / 30 + 237.
constexpr int closingFrame = 75;
const char* const keys = "1:RETURN*3,4:DOWN*3,16:RETURN*10,31:RETURN*35,76:ESCAPE";

// A traced call: its name and its arguments, numbers where they are numbers ("ptr" and the
// like stay text). Arrays in braces count as their elements.
struct Call {
    std::string name;
    std::vector<std::string> text;
    std::vector<double> values;   // NaN where an argument is not a number
};

Call parse(const std::string& line) {
    Call call;
    size_t open = line.find('(');
    call.name = line.substr(0, open);
    if (open == std::string::npos) return call;
    std::string inside = line.substr(open + 1, line.rfind(')') - open - 1);
    for (char& c : inside)
        if (c == '{' || c == '}') c = ' ';
    std::istringstream in(inside);
    for (std::string item; std::getline(in, item, ',');) {
        size_t first = item.find_first_not_of(' '), last = item.find_last_not_of(' ');
        if (first == std::string::npos) continue;
        item = item.substr(first, last - first + 1);
        char* end = nullptr;
        double value = std::strtod(item.c_str(), &end);
        call.text.push_back(item);
        call.values.push_back(*end == '\0' ? value : std::nan(""));
    }
    return call;
}

// Whether a traced line is the expected call, numbers equal to about 6 significant digits.
::testing::AssertionResult sameCall(const std::string& actual, const std::string& expected) {
    Call a = parse(actual), e = parse(expected);
    bool same = a.name == e.name && a.values.size() == e.values.size();
    for (size_t i = 0; same && i < a.values.size(); ++i) {
        if (std::isnan(e.values[i])) same = a.text[i] == e.text[i];
        else same = std::fabs(a.values[i] - e.values[i]) <= 1e-5 * std::max(1.0, std::fabs(e.values[i]));
    }
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual << ", expected " << expected;
}

// Checks `expected` against the lines of `segment` from `at` on.
void expectCalls(const Lines& segment, size_t at, const Lines& expected) {
    ASSERT_LE(at + expected.size(), segment.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(sameCall(segment[at + i], expected[i])) << "line " << at + i;
}

std::string call(const std::string& name, std::initializer_list<double> values) {
    std::ostringstream out;
    out.precision(9);
    out << name << '(';
    const char* separator = "";
    for (double v : values) out << separator << v, separator = ", ";
    out << ')';
    return out.str();
}

// The calls of one frame split where each effect begins: every effect starts by choosing the
// projection matrix. Part 0 is what the frame does before the first effect.
std::vector<Lines> byEffect(const Lines& frame) {
    std::vector<Lines> parts(1);
    for (const std::string& line : frame) {
        if (line == "glMatrixMode(0x1701)") parts.emplace_back();
        parts.back().push_back(line);
    }
    return parts;
}

// The glBegin ... glEnd batches of a segment: the lines between them.
std::vector<Lines> batches(const Lines& segment) {
    std::vector<Lines> found;
    bool inside = false;
    for (const std::string& line : segment) {
        if (line.rfind("glBegin(", 0) == 0) {
            found.emplace_back();
            inside = true;
        } else if (line == "glEnd()") {
            inside = false;
        } else if (inside) {
            found.back().push_back(line);
        }
    }
    return found;
}

size_t countPrefix(const Lines& lines, const std::string& prefix) {
    size_t n = 0;
    for (const std::string& line : lines) n += line.rfind(prefix, 0) == 0;
    return n;
}

size_t indexOf(const Lines& lines, const std::string& line) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line) return i;
    return lines.size();
}

// The run: the traced frames' calls, and the captured pictures.
struct ShowRun {
    TempDir dir;
    RunResult result;
    std::map<int, Lines> frames;

    std::vector<Lines> effectsOf(int frame) { return byEffect(frames[frame]); }
    Image capture(int frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/frame-%06d.png", frame);
        return readPng(dir.file(name));
    }
};

void play(ShowRun& show) {
    writeGlintFolder(show.dir.path());
    auto settings = headlessSettings();
    settings["DEMO_KEYS"] = keys;
    const std::string chosen =
        std::to_string(openingFrame) + "," + std::to_string(streamerFrame) + "," + std::to_string(closingFrame);
    settings["DEMO_GL_TRACE"] = "trace.txt";
    settings["DEMO_GL_TRACE_FRAMES"] = chosen;
    settings["DEMO_CAPTURE"] = "frames";
    settings["DEMO_CAPTURE_FRAMES"] = chosen;
    show.result = run(binDir() + "/glintdemo", {}, settings, show.dir.path(), 240);
    std::istringstream in(readFile(show.dir.file("trace.txt")));
    Lines current;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("-- frame ", 0) == 0) {
            show.frames[std::stoi(line.substr(9))] = std::move(current);
            current.clear();
        } else {
            current.push_back(line);
        }
    }
}

void checkOpeningOrder(ShowRun& show) {
    std::vector<Lines> effects = show.effectsOf(openingFrame);
    // Height field, billboards, background, tubes, dots, banner; the beat flash draws nothing
    // between the fade-in and the first accent.
    ASSERT_EQ(effects.size(), 7u);
    EXPECT_EQ(effects[1][2].rfind("glFrustum(-2.9000000953674316, 2.9000000953674316, ", 0), 0u);
    EXPECT_EQ(effects[2][5], "glTranslatef(0, 0, -100)");
    EXPECT_EQ(effects[3][2], "glOrtho(-1, 1, -1, 1, -1, 1)");
    EXPECT_EQ(effects[4][10], "glBindTexture(0x0DE1, 2)");   // "kalju3512.jpg", the second texture
    EXPECT_EQ(effects[5][2], "glOrtho(0, 640, 0, 480, -1, 1)");
    EXPECT_EQ(effects[6][12], "glTranslatef(0, 0, -500)");
    EXPECT_EQ(effects[6].back(), "glViewport(0, 0, 640, 480)");
}

void checkHeightField(ShowRun& show) {
    const double t = 12.5;
    const std::vector<Lines> effects = show.effectsOf(openingFrame);
    const Lines& e = effects[1];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()",
                       call("glFrustum", {-2.9000000953674316, 2.9000000953674316, -2.9000000953674316 * 0.75,
                                          2.9000000953674316 * 0.75, 1, 5000}),
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glShadeModel(0x1D00)", "glEnable(0x0B44)",
                       "glEnable(0x0B71)", "glDepthMask(1)"});
    // The view: from the camera path (start 82: keys at 12 and 45 s, x 30 to -330, z -5300 to
    // -6300) towards (0, 1100, 0); the eye goes to the origin, the view axis points at the eye.
    const double u = (t - 12.0) / 33.0;
    const double x = u * -330.0 + (1 - u) * 30.0, z = u * -6300.0 + (1 - u) * -5300.0;
    const double eye[3] = {std::sin(0.4 * t) * 50.0 + x + 300.0, std::sin(0.3 * t) * 600.0 + 860.0, z + 1800.0};
    Call view = parse(e[9]);
    ASSERT_EQ(view.name, "glLoadMatrixf");
    ASSERT_EQ(view.values.size(), 16u);
    const std::vector<double>& m = view.values;
    EXPECT_EQ(m[3], 0.0);
    EXPECT_EQ(m[7], 0.0);
    EXPECT_EQ(m[11], 0.0);
    EXPECT_EQ(m[15], 1.0);
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(m[r] * eye[0] + m[4 + r] * eye[1] + m[8 + r] * eye[2] + m[12 + r], 0.0, 0.5) << r;
    const double toEye[3] = {eye[0], eye[1] - 1100.0, eye[2]};
    const double length = std::sqrt(toEye[0] * toEye[0] + toEye[1] * toEye[1] + toEye[2] * toEye[2]);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(m[c * 4 + 2], toEye[c] / length, 1e-4) << c;
    expectCalls(e, 10, {"glRotatef(60, 1, 0, 0)", "glEnable(0x0DE1)", "glDisable(0x0B50)",
                        "glTexGeni(0x2000, 0x2500, 9218)", "glTexGeni(0x2001, 0x2500, 9218)", "glEnable(0x0C60)",
                        "glEnable(0x0C61)", "glEnable(0x0BA1)", "glBindTexture(0x0DE1, 16)", "glDisable(0x0BE2)",
                        "glBlendFunc(0x0302, 0x0303)", "glEnable(0x0B44)", "glDepthFunc(0x0203)",
                        "glBegin(0x0004)", "glColor4ub(255, 255, 255, 255)"});

    // Grids of round(sin(t e) c + a) columns and rows; two triangles a square, each with its
    // normal, every vertex with its colour.
    auto grid = [&](double a, double c, double e1, double b, double d, double f) {
        long columns = std::lround(std::sin(t * e1) * c + a), rows = std::lround(std::sin(t * f) * d + b);
        return size_t((columns - 1) * (rows - 1));
    };
    std::vector<Lines> drawn = batches(e);
    ASSERT_EQ(drawn.size(), 2u);
    const size_t squares = grid(24, 14, 0.853, 24, 14, 0.9854);
    EXPECT_EQ(countPrefix(drawn[0], "glVertex3f("), 6 * squares);
    EXPECT_EQ(countPrefix(drawn[0], "glNormal3f("), 2 * squares);
    EXPECT_EQ(countPrefix(drawn[0], "glColor4ub("), 6 * squares + 1);
    EXPECT_EQ(countPrefix(drawn[1], "glVertex3f("), 6 * grid(40, 10, 2.853, 40, 10, 2.9854));
    for (size_t i = 1; i < 15; ++i) {   // normal, then colour and vertex three times, twice
        const char* expected = (i - 1) % 7 == 0 ? "glNormal3f(" : (i - 1) % 7 % 2 ? "glColor4ub(" : "glVertex3f(";
        EXPECT_EQ(drawn[0][i].rfind(expected, 0), 0u) << i << ": " << drawn[0][i];
    }
    Call colour = parse(drawn[0][2]);   // a grey of the height, alpha 155
    EXPECT_EQ(colour.values[0], colour.values[1]);
    EXPECT_EQ(colour.values[3], 155.0);
    EXPECT_GE(colour.values[0], 127.0);
    // The overlay: the finer grid, scaled by 1.25, blended by colour.
    size_t overlay = indexOf(e, "glBindTexture(0x0DE1, 17)");
    ASSERT_LT(overlay, e.size());
    expectCalls(e, overlay + 1, {"glShadeModel(0x1D00)"});
    EXPECT_EQ(e[overlay + 2], e[9]);   // the same view again
    expectCalls(e, overlay + 3, {"glScalef(1.25, 1.25, 1.25)", "glRotatef(60, 1, 0, 0)", "glEnable(0x0BE2)",
                                 "glBlendFunc(0x0300, 0x0001)", "glBegin(0x0004)"});
    expectCalls(e, e.size() - 8, {"glDisableClientState(0x8074)", "glDisableClientState(0x8076)",
                                  "glDisableClientState(0x8075)", "glDisableClientState(0x8078)", "glDisable(0x0C60)",
                                  "glDisable(0x0C61)", "glShadeModel(0x1D01)", "glDisable(0x0BA1)"});
}

void checkBillboards(ShowRun& show) {
    const std::vector<Lines> effects = show.effectsOf(openingFrame);
    const Lines& e = effects[2];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()", "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)",
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glTranslatef(0, 0, -100)",
                       "glRotatef(125, 1, 0, 0)", "glRotatef(125, 0, 1, 0)", "glRotatef(125, 0, 0, 1)",
                       "glDisable(0x0DE1)", "glEnable(0x0BE2)", "glBlendFunc(0x0302, 0x0001)", "glDisable(0x0B44)",
                       "glDisable(0x0B71)", "glDisable(0x4000)", "glDisable(0x0B50)", "glEnable(0x0B10)",
                       "glColor4f(1, 0.91, 0.892, 0.074)", "glGetFloatv(0x0BA6, ptr)", "glLoadIdentity()",
                       "glEnable(0x0DE1)", "glBindTexture(0x0DE1, 12)", "glBegin(0x0007)"});
    EXPECT_EQ(e.back(), "glEnd()");
    std::vector<Lines> drawn = batches(e);
    ASSERT_EQ(drawn.size(), 1u);
    ASSERT_GE(drawn[0].size(), 8u);
    EXPECT_EQ(drawn[0].size() % 8, 0u);
    // A square of half-size s about its eye-space centre, at one depth, texture corners in turn.
    Call a = parse(drawn[0][1]), b = parse(drawn[0][3]), c = parse(drawn[0][5]), d = parse(drawn[0][7]);
    EXPECT_EQ(drawn[0][0], "glTexCoord2f(0, 0)");
    EXPECT_EQ(drawn[0][2], "glTexCoord2f(0, 1)");
    EXPECT_EQ(drawn[0][4], "glTexCoord2f(1, 1)");
    EXPECT_EQ(drawn[0][6], "glTexCoord2f(1, 0)");
    const double s = (c.values[0] - a.values[0]) / 2;
    EXPECT_GE(s, 0.5);
    EXPECT_NEAR(c.values[1] - a.values[1], 2 * s, 1e-3);
    EXPECT_EQ(a.values[0], b.values[0]);
    EXPECT_EQ(c.values[1], b.values[1]);
    EXPECT_EQ(d.values[0], c.values[0]);
    EXPECT_EQ(d.values[1], a.values[1]);
    EXPECT_EQ(a.values[2], d.values[2]);
    EXPECT_LT(a.values[2], 0.0);   // in front of the eye
}

void checkTubeGroup2(ShowRun& show) {
    const double t = 12.5;
    const std::vector<Lines> effects = show.effectsOf(openingFrame);
    const Lines& e = effects[4];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()", "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)",
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glEnable(0x0DE1)", "glEnable(0x0BE2)",
                       "glBlendFunc(0x0302, 0x0001)", "glDisable(0x0B44)", "glDisable(0x0B71)",
                       "glBindTexture(0x0DE1, 2)", "glShadeModel(0x1D00)", "glDisable(0x0C60)", "glDisable(0x0C61)",
                       "glDepthMask(0)"});
    // Sunk to 100 (6.25 s after the start at 4 s); each copy placed, then turned 30 degrees
    // about y and z.
    const double y = 100;
    const Lines placements[3] = {
        {"glLoadIdentity()", call("glTranslatef", {30 * std::sin(t), y, -700}), "glRotatef(30, 0, 1, 0)"},
        {"glLoadIdentity()", call("glTranslatef", {-430, y, 340 * std::sin(0.74 * t) - 1200}),
         call("glRotatef", {10 * t, 1, 0, 0}), "glRotatef(30, 0, 1, 0)"},
        {"glLoadIdentity()", call("glTranslatef", {630, y, 500 * std::sin(0.64 * t) - 1500}),
         "glRotatef(30, 0, 1, 0)"},
    };
    size_t at = 15;
    const Lines between = {"glScalef(0.9, 0.9, 0.9)", call("glRotatef", {30 * std::sin(0.2 * t), 1, 0, 0}),
                           call("glRotatef", {40 * std::sin(0.3 * t + 234234), 0, 1, 0}),
                           call("glRotatef", {40 * std::sin(0.4 * t + 2314234), 0, 0, 1})};
    for (const Lines& placement : placements) {
        expectCalls(e, at, placement);
        at += placement.size();
        expectCalls(e, at, {"glRotatef(30, 0, 0, 1)"});
        ++at;
        for (int pass = 0; pass < 5; ++pass) {
            expectCalls(e, at, {"glBegin(0x0004)"});
            at += 1 + 1560 * 8;   // 40 rings of 20 segments: 1560 faces
            expectCalls(e, at, {"glEnd()"});
            expectCalls(e, at + 1, between);
            at += 1 + between.size();
        }
    }
    expectCalls(e, at, {"glDisable(0x0DE1)", "glEnable(0x0B20)", "glLineWidth(1)", "glEnable(0x0BE2)", "glDepthMask(1)"});
    EXPECT_EQ(at + 5, e.size());
    // Each face: the faint colour and the face normal, then texture coordinate and vertex of
    // each corner.
    std::vector<Lines> drawn = batches(e);
    ASSERT_EQ(drawn.size(), 15u);
    const Lines& face = drawn[0];
    EXPECT_TRUE(sameCall(face[0], "glColor4f(1, 1, 1, 0.159)"));
    EXPECT_EQ(face[1].rfind("glNormal3f(", 0), 0u);
    for (int corner = 0; corner < 3; ++corner) {
        EXPECT_EQ(face[2 + corner * 2].rfind("glTexCoord2f(", 0), 0u);
        EXPECT_EQ(face[3 + corner * 2].rfind("glVertex3f(", 0), 0u);
    }
    EXPECT_EQ(drawn[7], drawn[0]);   // the same mesh in every pass
}

void checkDots(ShowRun& show) {
    const double lt = 12.5 - 6.0;
    const std::vector<Lines> effects = show.effectsOf(openingFrame);
    const Lines& e = effects[5];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()", "glOrtho(0, 640, 0, 480, -1, 1)",
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glEnable(0x0DE1)", "glEnable(0x0BE2)",
                       "glBlendFunc(0x0300, 0x0001)", "glDisable(0x0B44)", "glDisable(0x0B71)", "glDepthMask(0)",
                       "glBindTexture(0x0DE1, 12)", "glBegin(0x0007)"});
    expectCalls(e, e.size() - 3, {"glEnd()", "glBlendFunc(0x0001, 0x0001)", "glDepthMask(1)"});
    std::vector<Lines> drawn = batches(e);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(countPrefix(drawn[0], "glVertex3f("), 43u * 4);
    // Before the fades every column has its base colour, left warm and right grey.
    Lines colours;
    for (const std::string& line : drawn[0])
        if (line.rfind("glColor4ub(", 0) == 0) colours.push_back(line);
    EXPECT_EQ(colours, (Lines{"glColor4ub(110, 61, 48, 255)", "glColor4ub(124, 91, 58, 255)",
                              "glColor4ub(127, 126, 125, 255)", "glColor4ub(124, 91, 58, 255)",
                              "glColor4ub(127, 126, 125, 255)", "glColor4ub(126, 114, 62, 255)",
                              "glColor4ub(127, 126, 125, 255)", "glColor4ub(125, 124, 69, 255)",
                              "glColor4ub(127, 126, 125, 255)"}));
    // The first dot: the centre of the screen, breathing.
    const double h = (64 + 64.0 / 6.0 * std::sin(2.4 * lt)) / 2;
    expectCalls(drawn[0], 1, {"glTexCoord2f(0, 1)", call("glVertex3f", {320 - h, 240 + h, 0}), "glTexCoord2f(1, 1)",
                              call("glVertex3f", {320 + h, 240 + h, 0}), "glTexCoord2f(1, 0)",
                              call("glVertex3f", {320 + h, 240 - h, 0}), "glTexCoord2f(0, 0)",
                              call("glVertex3f", {320 - h, 240 - h, 0})});
}

void checkBanner(ShowRun& show) {
    const std::vector<Lines> effects = show.effectsOf(openingFrame);
    const Lines& e = effects[6];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()", "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)",
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glEnable(0x0DE1)", "glEnable(0x0BE2)",
                       "glBlendFunc(0x0302, 0x0001)", "glDisable(0x0B44)", "glDisable(0x0B71)", "glDisable(0x4000)",
                       "glDisable(0x0B50)", "glTranslatef(0, 0, -500)"});
    // t = 12.5: fully in, 1.5 s into the cross-fade (g = 0.081), 0.6 of the way to its small size.
    const double g = 1.5 * 0.054, w = 800 - 380 * 0.6, hh = 100 - 25 * 0.6;
    auto quad = [&](double alpha) {
        return Lines{"glBegin(0x0007)",
                     call("glColor4f", {1, 1, 1, alpha}),
                     "glTexCoord2f(0, 0)",
                     call("glVertex3f", {-w / 2, hh / 2, 0}),
                     "glTexCoord2f(0, 1)",
                     call("glVertex3f", {-w / 2, -hh / 2, 0}),
                     "glTexCoord2f(1, 1)",
                     call("glVertex3f", {w / 2, -hh / 2, 0}),
                     "glTexCoord2f(1, 0)",
                     call("glVertex3f", {w / 2, hh / 2, 0}),
                     "glEnd()"};
    };
    expectCalls(e, 13, {"glBindTexture(0x0DE1, 18)"});   // "s.raw"
    expectCalls(e, 14, quad(g));
    expectCalls(e, 25, {"glBindTexture(0x0DE1, 19)"});   // "sb.raw"
    expectCalls(e, 26, quad(1 - g));
    expectCalls(e, 37, {"glDisable(0x0DE1)"});
    // The second picture's letters over the middle of the screen: a stroke of the second
    // letter lies at x = 60, and its blue ink shows at nearly full strength.
    Image frame = show.capture(openingFrame);
    EXPECT_GE(frame.pixel(60, 240)[2], 230) << "banner ink";
}

void checkStreamers(ShowRun& show) {
    const double t = 63.0, a = 0.12 * t;
    const std::vector<Lines> effects = show.effectsOf(streamerFrame);
    const Lines& e = effects[1];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()", "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)",
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glShadeModel(0x1D01)", "glDisable(0x0B44)",
                       "glDisable(0x0B71)", "glEnable(0x0BE2)", "glDisable(0x0DE1)", "glBlendFunc(0x0302, 0x0303)"});
    Call view = parse(e[11]);
    ASSERT_EQ(view.name, "glLoadMatrixf");
    const double eye[3] = {std::sin(a) * 180, 0, std::sin(0.58 * a) * 100 - 360};
    for (int r = 0; r < 3; ++r)
        EXPECT_NEAR(view.values[r] * eye[0] + view.values[4 + r] * eye[1] + view.values[8 + r] * eye[2] +
                        view.values[12 + r], 0.0, 1e-2) << r;
    expectCalls(e, 12, {"glTranslatef(0, -100, 0)", call("glRotatef", {a * 30, 1, 0, 0})});
    size_t at = 14;
    for (int pass = 0; pass < 6; ++pass) {
        // The generator seeded with 1 draws 41 first (tinted, opaque from 62.67 s), then darks.
        expectCalls(e, at, {pass == 0 ? "glColor4f(0.7411765, 0.3137255, 0.1137255, 1)" : "glColor4f(0, 0, 0, 0.51)",
                            "glBegin(0x0004)"});
        at += 2 + 300 * 3;
        expectCalls(e, at, {"glEnd()", call("glRotatef", {std::sin(0.3 * 300 + a) * 13 + 35, 1, 0, 1})});
        at += 2;
    }
    EXPECT_LE(at, e.size());   // then the particle world of 56 to 82 s
    std::vector<Lines> drawn = batches(e);
    EXPECT_EQ(drawn[0], drawn[5]);   // the same swarm in every pass
    // The second swarm repeats the first 300 across and 360 up.
    Call first = parse(drawn[0][0]), shifted = parse(drawn[0][450]);
    EXPECT_NEAR(shifted.values[0] - first.values[0], 300.0, 1e-3);
    EXPECT_NEAR(shifted.values[1] - first.values[1], 360.0, 1e-3);
}

void checkTubeGroup1(ShowRun& show) {
    const double t = 239.5;
    std::vector<Lines> effects = show.effectsOf(closingFrame);
    // Streamers, billboards, the background, the tubes, the closing picture.
    ASSERT_EQ(effects.size(), 6u);
    const Lines& e = effects[4];
    expectCalls(e, 0, {"glMatrixMode(0x1701)", "glLoadIdentity()", "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)",
                       "glMatrixMode(0x1700)", "glLoadIdentity()", "glEnable(0x0DE1)", "glEnable(0x0BE2)",
                       "glBlendFunc(0x0302, 0x0001)", "glDisable(0x0B44)", "glDisable(0x0B71)",
                       "glBindTexture(0x0DE1, 2)", "glTranslatef(0, 0, -700)", call("glRotatef", {32 * t, 0, 1, 1}),
                       "glRotatef(180, 1, 0, 0)", "glShadeModel(0x1D01)", "glDisable(0x0C60)", "glDisable(0x0C61)",
                       "glColor4f(1, 1, 1, 0.81)"});
    size_t at = 18;
    for (int pass = 0; pass < 6; ++pass) {
        expectCalls(e, at, {"glBegin(0x0004)"});
        at += 1 + 3120 * 10;   // 40 x 40: 3120 faces
        expectCalls(e, at, {"glEnd()", "glScalef(0.8, 0.8, 0.8)", "glRotatef(30, 0, 1, 0)"});
        at += 3;
    }
    expectCalls(e, at, {"glDisable(0x0DE1)", "glEnable(0x0B20)", "glLineWidth(1)", "glEnable(0x0BE2)",
                        "glViewport(0, 0, 640, 480)"});
    EXPECT_EQ(at + 5, e.size());
    // Each corner in a grey of its height: alpha 0.9, 0.31 and 0.531, the third at half grey.
    const std::vector<Lines> drawn = batches(e);
    const Lines& face = drawn[0];
    const double alphas[3] = {0.9, 0.31, 0.531};
    const size_t colourAt[3] = {0, 4, 7};
    for (int corner = 0; corner < 3; ++corner) {
        Call colour = parse(face[colourAt[corner]]);
        ASSERT_EQ(colour.name, "glColor4f");
        EXPECT_EQ(colour.values[0], colour.values[1]);
        EXPECT_EQ(colour.values[0], colour.values[2]);
        EXPECT_GE(colour.values[0], 0.0);
        EXPECT_LE(colour.values[0], corner == 2 ? 0.5 : 1.0);
        EXPECT_NEAR(colour.values[3], alphas[corner], 1e-6);
    }
    EXPECT_EQ(face[1].rfind("glNormal3f(", 0), 0u);
    EXPECT_EQ(face[2].rfind("glTexCoord2f(", 0), 0u);
    EXPECT_EQ(face[3].rfind("glVertex3f(", 0), 0u);
}

TEST(GlintEffects, EachEffectDrawsItsCallsInItsFrame) {
    ShowRun show;
    play(show);
    ASSERT_EQ(show.result.exitCode, 0) << show.result.err;
    const std::pair<const char*, void (*)(ShowRun&)> checks[] = {
        {"the opening draws its effects in timeline order", checkOpeningOrder},
        {"the height field is sphere-mapped, then laid over, seen from the camera path", checkHeightField},
        {"billboards are squares built in eye space", checkBillboards},
        {"the second tube group is three copies of five passes", checkTubeGroup2},
        {"the dots are one batch of 43 glowing squares", checkDots},
        {"the banner cross-fades its two pictures", checkBanner},
        {"the streamers are six passes of 300 triangles", checkStreamers},
        {"the closing tubes are shaded by height", checkTubeGroup1},
    };
    for (const auto& [what, check] : checks) {
        SCOPED_TRACE(what);
        check(show);
    }
}

}  // namespace
