// "opengl32.dll" drawing at n times the program's size (DEMO_RENDER_SCALE) and multisampled
// (DEMO_MSAA): every call that deals in pixels, drawn at scale 1 and at scale 3 through the
// entry points a program binds; the scale-3 capture reduced by 3 (each pixel the mean of its
// 3 x 3) must match the scale-1 capture, and everything the program reads or asks must be in
// its own pixels.
#include <gtest/gtest.h>
#include <windows.h>
#include <GL/gl.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "host/host.h"
#include "support.h"
#include "win32/testing.h"

namespace {

using testing_support::Image;
using testing_support::light;
using testing_support::meanDifference;
using testing_support::reduce;
using testing_support::readPng;
using testing_support::TempDir;

constexpr int width = 48, height = 32;   // the program's window

// The OpenGL 1.1 entry points the tests draw with, bound by name as programs bind them.
struct GL {
    explicit GL(HMODULE library) : library(library) {}
    template <typename F>
    F bind(const char* name) const {
        return reinterpret_cast<F>(GetProcAddress(library, name));
    }
    HMODULE library;
#define ENTRY(type, name) const type name = bind<type>(#name)
    ENTRY(PFNGLCLEARCOLORPROC, glClearColor);
    ENTRY(PFNGLCLEARPROC, glClear);
    ENTRY(PFNGLENABLEPROC, glEnable);
    ENTRY(PFNGLDISABLEPROC, glDisable);
    ENTRY(PFNGLVIEWPORTPROC, glViewport);
    ENTRY(PFNGLSCISSORPROC, glScissor);
    ENTRY(PFNGLMATRIXMODEPROC, glMatrixMode);
    ENTRY(PFNGLLOADIDENTITYPROC, glLoadIdentity);
    ENTRY(PFNGLORTHOPROC, glOrtho);
    ENTRY(PFNGLBEGINPROC, glBegin);
    ENTRY(PFNGLENDPROC, glEnd);
    ENTRY(PFNGLVERTEX2FPROC, glVertex2f);
    ENTRY(PFNGLVERTEX3FPROC, glVertex3f);
    ENTRY(PFNGLCOLOR3FPROC, glColor3f);
    ENTRY(PFNGLLINEWIDTHPROC, glLineWidth);
    ENTRY(PFNGLPOINTSIZEPROC, glPointSize);
    ENTRY(PFNGLRASTERPOS2IPROC, glRasterPos2i);
    ENTRY(PFNGLBITMAPPROC, glBitmap);
    ENTRY(PFNGLDRAWPIXELSPROC, glDrawPixels);
    ENTRY(PFNGLPIXELZOOMPROC, glPixelZoom);
    ENTRY(PFNGLCOPYPIXELSPROC, glCopyPixels);
    ENTRY(PFNGLREADPIXELSPROC, glReadPixels);
    ENTRY(PFNGLPIXELSTOREIPROC, glPixelStorei);
    ENTRY(PFNGLPIXELTRANSFERFPROC, glPixelTransferf);
    ENTRY(PFNGLGENTEXTURESPROC, glGenTextures);
    ENTRY(PFNGLBINDTEXTUREPROC, glBindTexture);
    ENTRY(PFNGLTEXIMAGE2DPROC, glTexImage2D);
    ENTRY(PFNGLCOPYTEXIMAGE2DPROC, glCopyTexImage2D);
    ENTRY(PFNGLCOPYTEXSUBIMAGE2DPROC, glCopyTexSubImage2D);
    ENTRY(PFNGLGETTEXIMAGEPROC, glGetTexImage);
    ENTRY(PFNGLGETINTEGERVPROC, glGetIntegerv);
    ENTRY(PFNGLGETFLOATVPROC, glGetFloatv);
    ENTRY(PFNGLGETDOUBLEVPROC, glGetDoublev);
    ENTRY(PFNGLGETBOOLEANVPROC, glGetBooleanv);
    ENTRY(PFNGLGETERRORPROC, glGetError);
#undef ENTRY

    // A filled rectangle in the program's pixels (the projection maps them one to one).
    void rectangle(float x0, float y0, float x1, float y1, float r, float g, float b) const {
        glColor3f(r, g, b);
        glBegin(GL_QUADS);
        glVertex2f(x0, y0);
        glVertex2f(x1, y0);
        glVertex2f(x1, y1);
        glVertex2f(x0, y1);
        glEnd();
    }
    // Blocks of colour on whole pixels, so that every scale draws exactly the same picture.
    void blocks() const {
        rectangle(0, 0, 48, 32, 0.1f, 0.2f, 0.3f);
        rectangle(2, 3, 14, 20, 1, 0, 0);
        rectangle(10, 12, 30, 29, 0, 1, 0);
        rectangle(25, 1, 46, 9, 0, 0, 1);
        rectangle(36, 14, 41, 30, 1, 1, 0);
    }
};

// What one run drew: the captured frame, and what the test read through the program's calls.
struct Drawn {
    Image picture;
    std::vector<float> values;
};

class ScaledOpenGL : public ::testing::Test {
public:
    void TearDown() override { win32::testing::reset(); }

    // Opens a program window of 48 x 32 at the given scale and samples, lets `draw` draw (and
    // note values), presents one frame and returns its capture.
    Drawn render(int scale, int samples, const std::function<void(const GL&, std::vector<float>&)>& draw,
                 const std::string& tracePath = "") {
        TempDir dir;
        host::Settings s;
        s.glTracePath = tracePath;
        s.video = host::VideoBackend::Headless;
        s.fixedClock = true;
        s.fixedFramesPerSecond = 30;
        s.renderScale = scale;
        s.multisamples = samples;
        s.capturePath = dir.file("frames");
        host::overrideSettings(s);
        win32::testing::reset();
        HMODULE library = LoadLibraryA("opengl32.dll");
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.lpszClassName = "ScaledGL";
        RegisterClassA(&c);
        HWND window = CreateWindowExA(0, "ScaledGL", "", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
        HDC dc = GetDC(window);
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.nSize = sizeof pfd;
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.cColorBits = 32;
        SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd);
        GL gl(library);
        HGLRC context = gl.bind<HGLRC(APIENTRY*)(HDC)>("wglCreateContext")(dc);
        gl.bind<BOOL(APIENTRY*)(HDC, HGLRC)>("wglMakeCurrent")(dc, context);
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadIdentity();
        gl.glOrtho(0, width, 0, height, -1, 1);
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Drawn drawn;
        draw(gl, drawn.values);
        EXPECT_EQ(gl.glGetError(), GLenum(GL_NO_ERROR)) << "at scale " << scale << " with " << samples << " samples";
        SwapBuffers(dc);
        gl.bind<BOOL(APIENTRY*)(HDC, HGLRC)>("wglMakeCurrent")(nullptr, nullptr);
        gl.bind<BOOL(APIENTRY*)(HGLRC)>("wglDeleteContext")(context);
        drawn.picture = readPng(dir.file("frames/frame-000000.png"));
        EXPECT_EQ(drawn.picture.width, width * scale);
        EXPECT_EQ(drawn.picture.height, height * scale);
        return drawn;
    }
};

// Draws with `draw` at scale 1 and scale 3 and compares; the tolerances say how far apart the
// reduced scale-3 picture may be: its mean difference, and its light as a fraction of scale 1's.
void expectSamePicture(ScaledOpenGL& test, const std::function<void(const GL&, std::vector<float>&)>& draw,
                       double meanTolerance, double lightTolerance) {
    Image one = test.render(1, 0, draw).picture;
    Image three = reduce(test.render(3, 0, draw).picture, 3);
    EXPECT_LE(meanDifference(one, three), meanTolerance);
    EXPECT_NEAR(light(three) / light(one), 1.0, lightTolerance);
}

TEST_F(ScaledOpenGL, ViewportAndScissorAreInTheProgramsPixels) {
    // Whole-pixel rectangles: the same picture exactly.
    expectSamePicture(*this, [](const GL& gl, std::vector<float>&) {
        gl.glViewport(6, 4, 20, 12);
        gl.rectangle(0, 0, 48, 32, 1, 1, 1);   // fills the viewport
        gl.glViewport(0, 0, width, height);
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(30, 17, 15, 11);
        gl.glClearColor(1, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        gl.glDisable(GL_SCISSOR_TEST);
    }, 0.0, 0.0);
}

TEST_F(ScaledOpenGL, LinesAndPointsKeepTheirWidthInTheProgramsPixels) {
    // Aliased lines and points: their edges fall between the scale-3 pixels, so the reduced
    // picture has partly covered pixels along them where scale 1 has none; the mean stays
    // within 6 of 255 and the light within 12 per cent. Drawn one pixel wide at scale 3 they
    // would have a third of it.
    expectSamePicture(*this, [](const GL& gl, std::vector<float>&) {
        gl.glColor3f(1, 1, 1);
        gl.glLineWidth(1);
        gl.glBegin(GL_LINES);
        gl.glVertex2f(2, 2.5f);
        gl.glVertex2f(46, 2.5f);
        gl.glEnd();
        gl.glLineWidth(3);
        gl.glBegin(GL_LINES);
        gl.glVertex2f(4, 6);
        gl.glVertex2f(40, 28);
        gl.glVertex2f(44.5f, 4);
        gl.glVertex2f(44.5f, 30);
        gl.glEnd();
        gl.glPointSize(4);
        gl.glBegin(GL_POINTS);
        gl.glVertex2f(10, 24);
        gl.glVertex2f(30, 8);
        gl.glEnd();
    }, 6.0, 0.12);
}

TEST_F(ScaledOpenGL, BitmapsAndPixelRectanglesAreDrawnAtTheScale) {
    // An 'F' of 5 x 7 bits, laid out with odd unpack settings (rows of 3 bytes, aligned to 1,
    // two bits skipped, least significant bit first), drawn twice with the raster position
    // moved by the bitmap; a 3 x 2 pixel rectangle zoomed by 2. Whole pixels: exactly the same.
    auto draw = [](const GL& gl, std::vector<float>& values) {
        const GLubyte letter[7][3] = {
            {0x7C, 0, 0}, {0x04, 0, 0}, {0x04, 0, 0}, {0x3C, 0, 0}, {0x04, 0, 0}, {0x04, 0, 0}, {0x04, 0, 0},
        };
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 24);
        gl.glPixelStorei(GL_UNPACK_SKIP_PIXELS, 2);
        gl.glPixelStorei(GL_UNPACK_LSB_FIRST, GL_TRUE);
        gl.glColor3f(1, 1, 0);
        gl.glRasterPos2i(4, 20);
        gl.glBitmap(5, 7, 0, 0, 7, 1, &letter[0][0]);
        gl.glBitmap(5, 7, 0, 0, 7, 1, &letter[0][0]);
        GLint raster[4];
        gl.glGetIntegerv(GL_CURRENT_RASTER_POSITION, raster);
        values.assign(raster, raster + 2);
        gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        gl.glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        gl.glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
        const GLubyte pixels[2][3][3] = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {{255, 255, 255}, {0, 0, 0}, {255, 0, 255}}};
        gl.glRasterPos2i(30, 5);
        gl.glPixelZoom(2, 2);
        gl.glDrawPixels(3, 2, GL_RGB, GL_UNSIGNED_BYTE, pixels);
        GLfloat zoom[2];
        gl.glGetFloatv(GL_ZOOM_X, &zoom[0]);
        gl.glGetFloatv(GL_ZOOM_Y, &zoom[1]);
        values.insert(values.end(), zoom, zoom + 2);
        gl.glPixelZoom(1, 1);
    };
    expectSamePicture(*this, draw, 0.0, 0.0);
    // The raster position moved twice by (7, 1) and the program's own zoom, in its terms.
    EXPECT_EQ(render(3, 0, draw).values, (std::vector<float>{18, 22, 2, 2}));
}

TEST_F(ScaledOpenGL, DisplayListsKeepTheScaledCalls) {
    // Calls kept in a display list are drawn at the scale when it runs: a wide line, a point
    // and a bitmap (its bits enlarged when the list was made). A copy into a texture, which
    // cannot be reduced then, says so.
    testing::internal::CaptureStderr();
    expectSamePicture(*this, [](const GL& gl, std::vector<float>&) {
        const GLubyte bits[2] = {0xF0, 0x90};
        auto newList = gl.bind<PFNGLNEWLISTPROC>("glNewList");
        auto endList = gl.bind<PFNGLENDLISTPROC>("glEndList");
        auto callList = gl.bind<PFNGLCALLLISTPROC>("glCallList");
        GLuint texture = 0;
        gl.glGenTextures(1, &texture);
        newList(1, GL_COMPILE);
        gl.glColor3f(1, 1, 1);
        gl.glLineWidth(3);
        gl.glBegin(GL_LINES);
        gl.glVertex2f(4, 6);
        gl.glVertex2f(40, 28);
        gl.glEnd();
        gl.glPointSize(5);
        gl.glBegin(GL_POINTS);
        gl.glVertex2f(30, 8);
        gl.glEnd();
        gl.glRasterPos2i(8, 20);
        gl.glBitmap(4, 2, 0, 0, 0, 0, bits);
        gl.glBindTexture(GL_TEXTURE_2D, texture);
        gl.glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, 8, 8, 0);
        endList();
        callList(1);
    }, 6.0, 0.12);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("[opengl32] glCopyTexImage2D in a display list copies the picture at the render scale unreduced"),
              std::string::npos)
        << said;
}

TEST_F(ScaledOpenGL, ReadPixelsReadsThePictureInTheProgramsPixels) {
    // The same bytes at every scale and with samples, in the program's format and layout
    // (packed RGB rows, red halved by the pixel transfer once), and the depth of the middle.
    auto read = [](const GL& gl, std::vector<float>& values) {
        gl.blocks();
        gl.glEnable(GL_DEPTH_TEST);
        gl.glBegin(GL_QUADS);
        gl.glVertex3f(20, 20, 0.5f);
        gl.glVertex3f(28, 20, 0.5f);
        gl.glVertex3f(28, 26, 0.5f);
        gl.glVertex3f(20, 26, 0.5f);
        gl.glEnd();
        gl.glDisable(GL_DEPTH_TEST);
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gl.glPixelTransferf(GL_RED_SCALE, 0.5f);
        std::vector<GLubyte> rgb(size_t(40) * 25 * 3);
        gl.glReadPixels(-2, 5, 40, 25, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());   // two columns outside
        gl.glPixelTransferf(GL_RED_SCALE, 1.0f);
        for (int y = 0; y < 25; ++y)
            for (int x = 2; x < 40; ++x)
                for (int c = 0; c < 3; ++c) values.push_back(rgb[(size_t(y) * 40 + x) * 3 + c]);
        GLfloat depth = 0;
        gl.glReadPixels(24, 23, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        values.push_back(depth);
    };
    auto expected = render(1, 0, read).values;
    ASSERT_EQ(expected.size(), size_t(38 * 25 * 3 + 1));
    EXPECT_NEAR(expected[(size_t(8) * 38 + 3) * 3], 128, 1);   // the red block, red halved
    EXPECT_NEAR(expected.back(), 0.25f, 1e-6);            // z 0.5 of the -1..1 projection
    for (auto [scale, samples] : {std::pair{3, 0}, {2, 0}, {1, 4}, {3, 4}})
        EXPECT_EQ(render(scale, samples, read).values, expected) << "scale " << scale << ", " << samples << " samples";
}

TEST_F(ScaledOpenGL, CopiesKeepTheSamePartOfThePicture) {
    // glCopyPixels to the raster position, and a 16 x 16 region copied into a 16 x 16 texture
    // (then a part of it replaced by another region): the texture holds the same texels at
    // every scale, and the picture is the same.
    auto copy = [](const GL& gl, std::vector<float>& values) {
        gl.blocks();
        gl.glRasterPos2i(30, 20);
        gl.glCopyPixels(4, 8, 12, 10, GL_COLOR);
        GLuint texture = 0;
        gl.glGenTextures(1, &texture);
        gl.glBindTexture(GL_TEXTURE_2D, texture);
        gl.glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 8, 10, 16, 16, 0);
        gl.glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 2, 3, 26, 2, 6, 5);
        std::vector<GLubyte> texels(16 * 16 * 4);
        gl.glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        values.assign(texels.begin(), texels.end());
    };
    Drawn one = render(1, 0, copy);
    EXPECT_EQ(one.values[(size_t(1) * 16 + 1) * 4 + 0], 255);   // (9, 11): the red block
    EXPECT_EQ(one.values[(size_t(4) * 16 + 3) * 4 + 2], 255);   // (27, 3) copied to (3, 4): blue
    for (auto [scale, samples] : {std::pair{2, 0}, {3, 0}, {3, 4}}) {
        Drawn scaled = render(scale, samples, copy);
        EXPECT_EQ(scaled.values, one.values) << "scale " << scale << ", " << samples << " samples";
        EXPECT_EQ(meanDifference(reduce(scaled.picture, scale), one.picture), 0.0) << "scale " << scale;
    }
}

TEST_F(ScaledOpenGL, QueriesAnswerInTheProgramsPixels) {
    auto values = render(3, 0, [](const GL& gl, std::vector<float>& values) {
                      GLint initial[4];
                      gl.glGetIntegerv(GL_VIEWPORT, initial);
                      values.assign(initial, initial + 4);
                      gl.glRasterPos2i(7, 9);   // through the viewport of the whole window
                      gl.glViewport(1, 2, 30, 20);
                      gl.glScissor(5, 6, 7, 8);
                      gl.glLineWidth(2.5f);
                      gl.glPointSize(3);
                      GLint viewport[4], scissor[4];
                      GLfloat floats[4], lineWidth, pointSize, raster[4];
                      GLdouble doubles[4];
                      GLboolean booleans[4];
                      gl.glGetIntegerv(GL_VIEWPORT, viewport);
                      gl.glGetFloatv(GL_VIEWPORT, floats);
                      gl.glGetDoublev(GL_VIEWPORT, doubles);
                      gl.glGetBooleanv(GL_VIEWPORT, booleans);
                      gl.glGetIntegerv(GL_SCISSOR_BOX, scissor);
                      gl.glGetFloatv(GL_LINE_WIDTH, &lineWidth);
                      gl.glGetFloatv(GL_POINT_SIZE, &pointSize);
                      gl.glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
                      values.insert(values.end(), viewport, viewport + 4);
                      values.insert(values.end(), floats, floats + 4);
                      values.insert(values.end(), doubles, doubles + 4);
                      values.push_back(booleans[0]);
                      values.push_back(booleans[2]);
                      values.insert(values.end(), scissor, scissor + 4);
                      values.push_back(lineWidth);
                      values.push_back(pointSize);
                      values.insert(values.end(), raster, raster + 2);
                  }).values;
    const std::vector<float> expected = {0, 0, 48, 32,  1, 2, 30, 20, 1, 2, 30, 20, 1, 2, 30, 20, 1, 1,
                                         5, 6, 7,  8,   2.5f, 3,      7, 9};
    ASSERT_EQ(values.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_FLOAT_EQ(values[i], expected[i]) << "value " << i;
}

TEST_F(ScaledOpenGL, MultisamplingSmoothsEdgesAndIsResolvedBeforeCapture) {
    auto triangle = [](const GL& gl, std::vector<float>&) {
        gl.glColor3f(1, 1, 1);
        gl.glBegin(GL_TRIANGLES);
        gl.glVertex2f(3, 2);
        gl.glVertex2f(45, 9);
        gl.glVertex2f(12, 30);
        gl.glEnd();
    };
    auto partlyCovered = [](const Image& image) {
        int count = 0;
        for (uint8_t v : image.rgb) count += v > 0 && v < 255;
        return count;
    };
    // Only the edges differ: over fifty partly covered pixels along them (within 6 of 255
    // on average), the triangle's light kept within 3 per cent.
    Image plain = render(1, 0, triangle).picture;
    Image smoothed = render(1, 4, triangle).picture;
    Image both = reduce(render(3, 4, triangle).picture, 3);
    EXPECT_EQ(partlyCovered(plain), 0);
    EXPECT_GT(partlyCovered(smoothed), 3 * 50);
    for (const Image* image : {&smoothed, &both}) {
        EXPECT_LE(meanDifference(plain, *image), 6.0);
        EXPECT_NEAR(light(*image) / light(plain), 1.0, 0.03);
    }
}

TEST_F(ScaledOpenGL, TheTraceRecordsTheProgramsOwnArguments) {
    TempDir dir;
    auto draw = [](const GL& gl, std::vector<float>& values) {
        gl.glViewport(6, 4, 20, 12);
        gl.rectangle(0, 0, 48, 32, 1, 1, 1);
        GLint viewport[4];
        gl.glGetIntegerv(GL_VIEWPORT, viewport);
        values.assign(viewport, viewport + 4);
    };
    Drawn traced = render(3, 0, draw, dir.file("trace.txt"));
    EXPECT_EQ(traced.values, (std::vector<float>{6, 4, 20, 12}));
    EXPECT_EQ(meanDifference(reduce(traced.picture, 3), render(1, 0, draw).picture), 0.0);
    std::string trace = testing_support::readFile(dir.file("trace.txt"));
    EXPECT_NE(trace.find("glViewport(6, 4, 20, 12)\n"), std::string::npos) << trace;
}

TEST_F(ScaledOpenGL, AtTheProgramsOwnSizeTheCallsAreTheSystems) {
    // Without scale or samples a program binds the system's functions themselves: nothing of
    // the scaling is in its way, and its pictures are what they were. With either, it binds
    // the stand-in's.
    render(1, 0, [](const GL& gl, std::vector<float>&) {
        EXPECT_EQ(reinterpret_cast<void*>(gl.glViewport), dlsym(RTLD_DEFAULT, "glViewport"));
        EXPECT_EQ(reinterpret_cast<void*>(gl.glReadPixels), dlsym(RTLD_DEFAULT, "glReadPixels"));
    });
    render(1, 2, [](const GL& gl, std::vector<float>&) {
        EXPECT_NE(reinterpret_cast<void*>(gl.glReadPixels), dlsym(RTLD_DEFAULT, "glReadPixels"));
    });
}

}  // namespace
