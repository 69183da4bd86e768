// The calls of "opengl32.dll" that deal in pixels, for a back buffer drawn at n times the
// program's size (DEMO_RENDER_SCALE) and perhaps multisampled (DEMO_MSAA). Sizes and positions
// the program gives in its pixels are multiplied by n; what it asks about pixels is answered in
// its pixels; what it reads of the picture (glReadPixels, the copies into textures) is the back
// buffer reduced by n, each of its pixels the mean of the n x n pixels drawn for it, so a copy
// of a 256 x 256 region still fills a 256 x 256 texture with the same part of the picture. A
// multisampled back buffer is resolved before it is read. At scale 1 without samples each of
// these is the system's call and nothing else.
//
// Raster positions need no care of their own: they go through the (scaled) viewport, so they
// are in the back buffer's pixels already; glBitmap and glDrawPixels draw n times larger from
// there, and glGet answers the raster position in the program's pixels.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "host/host.h"

namespace gl_standin::scaled {
namespace {

bool drawnAsTheProgramDraws() { return host::renderScale() == 1 && host::backBufferSamples() == 0; }

// A length or position in the program's pixels, in the back buffer's.
GLint times(GLint value) {
    long long scaled = static_cast<long long>(value) * host::renderScale();
    return GLint(std::clamp<long long>(scaled, INT_MIN, INT_MAX));
}

// Whether the program is making a display list: commands are then kept for later, while the
// stand-in's own reads and state queries still happen now.
bool compilingList() {
    GLint list = 0;
    ::glGetIntegerv(GL_LIST_INDEX, &list);
    return list != 0;
}

// What the stand-in cannot do for a call kept in a display list, said once for each call: a
// copy into a texture cannot be reduced when the list runs, and a multisampled picture cannot
// be resolved for a copy then.
void sayOnceInList(const char* name, const char* what) {
    static std::set<std::string> said;
    if (said.insert(name).second) std::fprintf(stderr, "[opengl32] %s in a display list %s\n", name, what);
}

bool isDepthOrStencil(GLenum format) {
    return format == GL_DEPTH_COMPONENT || format == GL_STENCIL_INDEX || format == GL_DEPTH_STENCIL;
}

// ---- Queries -----------------------------------------------------------------------------------
// State that is a size or position in pixels: which of its values are, and whether it is a
// largest size (answered rounded down, so that the program never goes past it).
struct PixelState {
    GLenum name;
    int count;
    unsigned pixelValues;   // bit i: value i is in pixels
    bool largest;
};

const PixelState pixelStates[] = {
    {GL_VIEWPORT, 4, 0xF, false},
    {GL_SCISSOR_BOX, 4, 0xF, false},
    {GL_CURRENT_RASTER_POSITION, 4, 0x3, false},
    {GL_LINE_WIDTH, 1, 0x1, false},
    {GL_POINT_SIZE, 1, 0x1, false},
    {GL_LINE_STIPPLE_REPEAT, 1, 0x1, false},
    {GL_POLYGON_OFFSET_FACTOR, 1, 0x1, false},
    {GL_LINE_WIDTH_RANGE, 2, 0x3, false},
    {GL_LINE_WIDTH_GRANULARITY, 1, 0x1, false},
    {GL_POINT_SIZE_RANGE, 2, 0x3, false},
    {GL_POINT_SIZE_GRANULARITY, 1, 0x1, false},
    {GL_ALIASED_LINE_WIDTH_RANGE, 2, 0x3, false},
    {GL_ALIASED_POINT_SIZE_RANGE, 2, 0x3, false},
    {GL_MAX_VIEWPORT_DIMS, 2, 0x3, true},
};

// Fills `values` with the state in the program's pixels; false when `name` is no such state
// (or the scale is 1), and the system answers.
template <typename T>
bool answerInProgramPixels(GLenum name, T* values) {
    int scale = host::renderScale();
    if (scale == 1) return false;
    const PixelState* state = nullptr;
    for (const PixelState& candidate : pixelStates)
        if (candidate.name == name) state = &candidate;
    if (!state) return false;
    GLdouble got[4] = {};
    ::glGetDoublev(name, got);
    for (int i = 0; i < state->count; ++i) {
        double value = got[i];
        if (state->pixelValues & (1u << i)) value /= scale;
        if constexpr (std::is_same_v<T, GLboolean>)
            values[i] = value != 0.0 ? GL_TRUE : GL_FALSE;
        else if constexpr (std::is_integral_v<T>)
            values[i] = T(state->largest ? std::floor(value) : std::lround(value));
        else
            values[i] = T(value);
    }
    return true;
}

// ---- Reading the picture -------------------------------------------------------------------------
// Puts the program's own pixel-store state, and with `withTransfer` its pixel-transfer state,
// aside while the stand-in moves pixels of its own, so they are converted once only, by the
// program's call that follows. (Pixel transfer would be kept in a display list being made
// rather than set; then it is left alone.)
class NeutralPixelTransfer {
public:
    explicit NeutralPixelTransfer(bool withTransfer) : transfers_(withTransfer && !compilingList()) {
        for (size_t i = 0; i < std::size(stores); ++i) ::glGetIntegerv(stores[i].name, &savedStores_[i]);
        for (const auto& s : stores) ::glPixelStorei(s.name, s.neutral);
        if (!transfers_) return;
        for (size_t i = 0; i < std::size(transfers); ++i) ::glGetFloatv(transfers[i].name, &savedTransfers_[i]);
        for (const auto& t : transfers) ::glPixelTransferf(t.name, t.neutral);
    }
    ~NeutralPixelTransfer() {
        for (size_t i = 0; i < std::size(stores); ++i) ::glPixelStorei(stores[i].name, savedStores_[i]);
        if (!transfers_) return;
        for (size_t i = 0; i < std::size(transfers); ++i) ::glPixelTransferf(transfers[i].name, savedTransfers_[i]);
    }
    NeutralPixelTransfer(const NeutralPixelTransfer&) = delete;
    NeutralPixelTransfer& operator=(const NeutralPixelTransfer&) = delete;

private:
    struct Transfer {
        GLenum name;
        GLfloat neutral;
    };
    struct Store {
        GLenum name;
        GLint neutral;
    };
    static constexpr Transfer transfers[] = {
        {GL_MAP_COLOR, 0},    {GL_RED_SCALE, 1}, {GL_GREEN_SCALE, 1}, {GL_BLUE_SCALE, 1}, {GL_ALPHA_SCALE, 1},
        {GL_RED_BIAS, 0},     {GL_GREEN_BIAS, 0}, {GL_BLUE_BIAS, 0},  {GL_ALPHA_BIAS, 0},
    };
    static constexpr Store stores[] = {
        {GL_PACK_ALIGNMENT, 1},    {GL_PACK_ROW_LENGTH, 0},   {GL_PACK_SKIP_ROWS, 0},   {GL_PACK_SKIP_PIXELS, 0},
        {GL_PACK_SWAP_BYTES, 0},   {GL_PACK_LSB_FIRST, 0},    {GL_UNPACK_ALIGNMENT, 1}, {GL_UNPACK_ROW_LENGTH, 0},
        {GL_UNPACK_SKIP_ROWS, 0},  {GL_UNPACK_SKIP_PIXELS, 0}, {GL_UNPACK_SWAP_BYTES, 0}, {GL_UNPACK_LSB_FIRST, 0},
    };
    const bool transfers_;
    GLfloat savedTransfers_[std::size(transfers)];
    GLint savedStores_[std::size(stores)];
};

// Makes the region (x, y, width, height) of the picture, in the program's pixels, readable at
// (0, 0) of the scratch framebuffer, which is bound as the read framebuffer: the colour
// reduced by the scale, or, for depth and stencil, the middle sample of each pixel's n x n.
// Parts of the region outside the picture read as 0.
void readableInProgramPixels(GLint x, GLint y, GLsizei width, GLsizei height, bool depthAndStencil) {
    const int scale = host::renderScale();
    host::readableBackBuffer(depthAndStencil);
    host::ScratchFramebuffer scratch = host::scratchFramebuffer(width, height);
    if (depthAndStencil) {
        GLboolean scissor = ::glIsEnabled(GL_SCISSOR_TEST);
        if (scissor) ::glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scratch.framebuffer);
        glBlitFramebuffer(times(x), times(y), times(x + width), times(y + height), 0, 0, width, height,
                          GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, host::backBufferFramebuffer());
        if (scissor) ::glEnable(GL_SCISSOR_TEST);
    } else {
        const int programWidth = host::backBufferWidth() / scale, programHeight = host::backBufferHeight() / scale;
        const int x0 = std::max(x, 0), y0 = std::max(y, 0);
        const int x1 = std::min(x + width, programWidth), y1 = std::min(y + height, programHeight);
        std::vector<uint8_t> region(size_t(width) * height * 4, 0);
        NeutralPixelTransfer neutral(true);
        if (x1 > x0 && y1 > y0) {
            const int w = x1 - x0, h = y1 - y0;
            std::vector<uint8_t> drawn(size_t(w) * scale * h * scale * 4), reduced(size_t(w) * h * 4);
            ::glReadPixels(x0 * scale, y0 * scale, w * scale, h * scale, GL_RGBA, GL_UNSIGNED_BYTE, drawn.data());
            host::reducePixels(drawn.data(), w * scale, h * scale, scale, reduced.data());
            for (int row = 0; row < h; ++row)
                std::copy_n(&reduced[size_t(row) * w * 4], size_t(w) * 4,
                            &region[(size_t(y0 - y + row) * width + size_t(x0 - x)) * 4]);
        }
        GLint texture = 0;
        ::glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        ::glBindTexture(GL_TEXTURE_2D, scratch.colorTexture);
        ::glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, region.data());
        ::glBindTexture(GL_TEXTURE_2D, GLuint(texture));
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, scratch.framebuffer);
}

}  // namespace

// ---- Sizes and positions ---------------------------------------------------------------------------
void APIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    ::glViewport(times(x), times(y), times(width), times(height));
}

void APIENTRY glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    ::glScissor(times(x), times(y), times(width), times(height));
}

void APIENTRY glLineWidth(GLfloat width) { ::glLineWidth(width * float(host::renderScale())); }

void APIENTRY glPointSize(GLfloat size) { ::glPointSize(size * float(host::renderScale())); }

// The pattern's bits are repeat pixels long (1 to 256).
void APIENTRY glLineStipple(GLint repeat, GLushort pattern) {
    ::glLineStipple(std::min(std::clamp(repeat, 1, 256) * host::renderScale(), 256), pattern);
}

// The factor multiplies the depth slope per pixel, which is n times smaller at scale n.
void APIENTRY glPolygonOffset(GLfloat factor, GLfloat units) {
    ::glPolygonOffset(factor * float(host::renderScale()), units);
}

void APIENTRY glGetBooleanv(GLenum name, GLboolean* values) {
    if (!answerInProgramPixels(name, values)) ::glGetBooleanv(name, values);
}

void APIENTRY glGetDoublev(GLenum name, GLdouble* values) {
    if (!answerInProgramPixels(name, values)) ::glGetDoublev(name, values);
}

void APIENTRY glGetFloatv(GLenum name, GLfloat* values) {
    if (!answerInProgramPixels(name, values)) ::glGetFloatv(name, values);
}

void APIENTRY glGetIntegerv(GLenum name, GLint* values) {
    if (!answerInProgramPixels(name, values)) ::glGetIntegerv(name, values);
}

// ---- Drawing pixels at the raster position ---------------------------------------------------------
// Each pixel of the picture drawn as n x n: the program's zoom times the scale. (Kept in a
// display list, it is drawn at the zoom of when the list was made.)
void APIENTRY glDrawPixels(GLsizei width, GLsizei height, GLenum format, GLenum type, const GLvoid* pixels) {
    int scale = host::renderScale();
    if (scale == 1) return ::glDrawPixels(width, height, format, type, pixels);
    GLfloat zoomX = 1, zoomY = 1;
    ::glGetFloatv(GL_ZOOM_X, &zoomX);
    ::glGetFloatv(GL_ZOOM_Y, &zoomY);
    ::glPixelZoom(zoomX * float(scale), zoomY * float(scale));
    ::glDrawPixels(width, height, format, type, pixels);
    ::glPixelZoom(zoomX, zoomY);
}

// Bitmaps are never zoomed: the stand-in draws one with each bit n x n bits, its origin and
// the move of the raster position n times as far.
void APIENTRY glBitmap(GLsizei width, GLsizei height, GLfloat xorig, GLfloat yorig, GLfloat xmove, GLfloat ymove,
                       const GLubyte* bitmap) {
    const int scale = host::renderScale();
    const float s = float(scale);
    if (scale == 1) return ::glBitmap(width, height, xorig, yorig, xmove, ymove, bitmap);
    if (width <= 0 || height <= 0 || !bitmap)
        return ::glBitmap(times(width), times(height), xorig * s, yorig * s, xmove * s, ymove * s, bitmap);
    // The program's bitmap, as its unpack state lays it out.
    GLint alignment = 4, rowLength = 0, skipRows = 0, skipPixels = 0, lsbFirst = 0;
    ::glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    ::glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    ::glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows);
    ::glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels);
    ::glGetIntegerv(GL_UNPACK_LSB_FIRST, &lsbFirst);
    const size_t rowBits = size_t(rowLength > 0 ? rowLength : width);
    const size_t rowBytes = ((rowBits + 7) / 8 + size_t(alignment) - 1) / size_t(alignment) * size_t(alignment);
    auto bit = [&](int column, int row) {
        size_t at = size_t(skipPixels) + size_t(column);
        uint8_t byte = bitmap[(size_t(skipRows) + size_t(row)) * rowBytes + at / 8];
        int shift = lsbFirst ? int(at % 8) : 7 - int(at % 8);
        return (byte >> shift) & 1;
    };
    // The enlarged bitmap: rows of whole bytes, most significant bit first.
    const int bigWidth = width * scale, bigHeight = height * scale;
    const size_t bigRowBytes = (size_t(bigWidth) + 7) / 8;
    std::vector<GLubyte> big(bigRowBytes * size_t(bigHeight), 0);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            if (!bit(column, row)) continue;
            for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx) {
                    size_t x = size_t(column) * scale + dx;
                    big[(size_t(row) * scale + dy) * bigRowBytes + x / 8] |= GLubyte(0x80 >> (x % 8));
                }
        }
    NeutralPixelTransfer neutral(false);
    ::glBitmap(bigWidth, bigHeight, xorig * s, yorig * s, xmove * s, ymove * s, big.data());
}

// ---- Reading and copying the picture ---------------------------------------------------------------
namespace {

// Makes the program's read of the region (x, y, width, height) of the picture: `read(x, y)`
// reads it from the framebuffer bound for reading, at the position given. Colour is read
// reduced to the program's pixels, from the resolved picture when it is multisampled. A copy
// into a texture (`name`) kept in a display list is made as given.
template <typename Read>
void readPicture(const char* name, GLint x, GLint y, GLsizei width, GLsizei height, bool depthAndStencil, Read read) {
    if (drawnAsTheProgramDraws() || width <= 0 || height <= 0) return read(x, y);
    if (host::renderScale() == 1) {
        host::readableBackBuffer(depthAndStencil);
        read(x, y);
    } else if (name && compilingList()) {
        sayOnceInList(name, "copies the picture at the render scale unreduced");
        return read(x, y);
    } else {
        readableInProgramPixels(x, y, width, height, depthAndStencil);
        read(0, 0);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, host::backBufferFramebuffer());
}

}  // namespace

// Never kept in display lists: it reads at once.
void APIENTRY glReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                           GLvoid* pixels) {
    readPicture(nullptr, x, y, width, height, isDepthOrStencil(format),
                [&](GLint fromX, GLint fromY) { ::glReadPixels(fromX, fromY, width, height, format, type, pixels); });
}

// The source region n times larger at n times its position; the program's zoom then draws it
// n times larger, as its pixels are drawn.
void APIENTRY glCopyPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum type) {
    if (drawnAsTheProgramDraws()) return ::glCopyPixels(x, y, width, height, type);
    if (compilingList()) {
        if (host::backBufferSamples()) sayOnceInList("glCopyPixels", "reads a multisampled picture, which it cannot");
        return ::glCopyPixels(times(x), times(y), times(width), times(height), type);
    }
    host::readableBackBuffer(type != GL_COLOR);
    ::glCopyPixels(times(x), times(y), times(width), times(height), type);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, host::backBufferFramebuffer());
}

void APIENTRY glCopyTexImage1D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
                               GLint border) {
    readPicture("glCopyTexImage1D", x, y, width, 1, false, [&](GLint fromX, GLint fromY) {
        ::glCopyTexImage1D(target, level, internalFormat, fromX, fromY, width, border);
    });
}

void APIENTRY glCopyTexImage2D(GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
                               GLsizei height, GLint border) {
    readPicture("glCopyTexImage2D", x, y, width, height, false, [&](GLint fromX, GLint fromY) {
        ::glCopyTexImage2D(target, level, internalFormat, fromX, fromY, width, height, border);
    });
}

void APIENTRY glCopyTexSubImage1D(GLenum target, GLint level, GLint xoffset, GLint x, GLint y, GLsizei width) {
    readPicture("glCopyTexSubImage1D", x, y, width, 1, false,
                [&](GLint fromX, GLint fromY) { ::glCopyTexSubImage1D(target, level, xoffset, fromX, fromY, width); });
}

void APIENTRY glCopyTexSubImage2D(GLenum target, GLint level, GLint xoffset, GLint yoffset, GLint x, GLint y,
                                  GLsizei width, GLsizei height) {
    readPicture("glCopyTexSubImage2D", x, y, width, height, false, [&](GLint fromX, GLint fromY) {
        ::glCopyTexSubImage2D(target, level, xoffset, yoffset, fromX, fromY, width, height);
    });
}

}  // namespace gl_standin::scaled
