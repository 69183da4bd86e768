// The OpenGL renderer: Direct3D 7 fixed-function draws as generated GLSL programs (one per
// state key, cached), the render target as a framebuffer object of the context's format and
// size, presented by copying it into the host's back buffer. OpenGL state is cached so that
// only changes reach the driver.
//
// Conventions turned into OpenGL here:
//  - Direct3D puts pixel centres at whole screen coordinates, OpenGL half a pixel further;
//    transformed positions are moved by half a pixel in clip space, pre-transformed ones
//    directly.
//  - Direct3D's depth runs 0..1 after projection (and viewport MinZ..MaxZ); OpenGL's clip
//    space -w..w: z_gl = 2 z_d3d - w, with the viewport's depth range folded in.
//  - The picture is not flipped: Direct3D's clip-space y points up as OpenGL's does, and a
//    triangle's winding on the screen is the same in both; CULL_CCW removes faces that wind
//    counter-clockwise on the screen (glFrontFace(GL_CW), glCullFace(GL_BACK)).
//  - Flat shading takes the first vertex of each triangle (glProvokingVertex).
//  - Pre-transformed vertices are not clipped in depth (depth clamp), as Direct3D leaves them.
//
// The render target may be drawn at n times the context's size (DEMO_RENDER_SCALE) and
// multisampled (DEMO_MSAA). The objects and everything the program sees stay in its pixels;
// only what reaches OpenGL here is scaled: viewports, clear rectangles, the widths of points and
// lines (n pixels for Direct3D's one), the debug text's font. Positions need nothing: clip space
// is the same at every size, and pre-transformed positions are taken into it from the
// viewport in the program's pixels.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "gl_program.h"
#include "gl_text.h"
#include "host/host.h"
#include "renderer.h"

namespace d3d7::gl {
namespace {

struct GLFormat {
    GLint internal;
    GLenum format, type;
    bool opaque;   // X formats: alpha reads as 1
};

GLFormat glFormat(PixelFormatId id) {
    switch (id) {
    case PixelFormatId::R5G6B5: return {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, true};
    case PixelFormatId::X1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true};
    case PixelFormatId::A1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
    case PixelFormatId::X4R4G4B4: return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, true};
    case PixelFormatId::A4R4G4B4: return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
    case PixelFormatId::X8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true};
    case PixelFormatId::A8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
    case PixelFormatId::R8G8B8: return {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, true};
    }
    return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
}

GLenum blendFactor(DWORD blend) {
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum compareFunction(DWORD function) {
    switch (function) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

GLenum primitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    default: return GL_TRIANGLE_FAN;
    }
}

// Elements a draw of `primitives` primitives uses.
uint32_t elementCount(D3DPRIMITIVETYPE type, uint32_t primitives) {
    switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return primitives * 2;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return primitives * 3;
    default: return primitives + 2;
    }
}

GLint addressMode(DWORD address) {
    switch (address) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

float asFloat(DWORD bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

void colorFractions(D3DCOLOR c, float out[4]) {
    out[0] = float((c >> 16) & 255) / 255.0f;
    out[1] = float((c >> 8) & 255) / 255.0f;
    out[2] = float(c & 255) / 255.0f;
    out[3] = float(c >> 24) / 255.0f;
}

// The 3x3 matrix normals go through (row vectors): the inverse transpose of m's upper 3x3.
void normalMatrix(const D3DMATRIX& m, float out[9]) {
    float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32, i = m._33;
    float cofactor[9] = {e * i - f * h, -(d * i - f * g), d * h - e * g, -(b * i - c * h), a * i - c * g,
                         -(a * h - b * g), b * f - c * e,  -(a * f - c * d), a * e - b * d};
    float determinant = a * cofactor[0] + b * cofactor[1] + c * cofactor[2];
    // inverse = adjugate / determinant = transpose(cofactor) / determinant, so its transpose
    // is the cofactor matrix / determinant.
    for (int k = 0; k < 9; ++k) out[k] = determinant != 0.0f ? cofactor[k] / determinant : 0.0f;
}

struct TextureRecord {
    PixelFormatId format;
    int width, height, levels;
    GLint minFilter = -1, magFilter = -1, wrapS = -1, wrapT = -1, baseLevel = 0;
    float lodBias = 0.0f;
    D3DCOLOR border = 0;
};

struct ProgramRecord {
    GLuint program = 0;
    GLint clipFromModel = -1, cameraFromModel = -1, normalMatrix = -1, screen = -1, ambient = -1, material = -1,
          power = -1, light = -1, textureFactor = -1, alphaReference = -1;
    uint64_t transformVersion = 0, lightVersion = 0, materialVersion = 0, constantsVersion = 0;
};

class OpenGLRenderer : public Renderer {
public:
    explicit OpenGLRenderer(const TargetSpec& target)
        : scale_(host::renderScale()), drawnWidth_(target.width * scale_), drawnHeight_(target.height * scale_) {
        target_ = target;
    }
    ~OpenGLRenderer() override { shutdown(); }

    bool init(std::string* error);

    bool draws() const override { return true; }
    bool alive() const override { return alive_; }
    uint32_t createTexture(PixelFormatId format, int width, int height, int levels) override;
    void uploadTexture(uint32_t texture, int level, int width, int height, const uint8_t* pixels, int pitch) override;
    void destroyTexture(uint32_t texture) override;
    uint32_t createBuffer() override;
    void uploadBuffer(uint32_t buffer, const void* data, size_t bytes) override;
    void destroyBuffer(uint32_t buffer) override;
    void clear(const ClearCall& call) override;
    void draw(const DrawCall& call) override;
    bool drawText(float x, float y, D3DCOLOR color, const char* text) override;
    void present(bool waitForRetrace) override;
    bool readTarget(std::vector<uint8_t>& rgba) override;
    bool writeTarget(const std::vector<uint8_t>& rgba) override;
    void shutdown() override;

private:
    // ---- State cache: every setter counts a state change only when it calls OpenGL.
    void bindFramebuffer();
    // A rectangle of the target in the program's pixels, bottom-up as OpenGL counts.
    void setViewport(GLint x, GLint y, GLsizei w, GLsizei h);
    void enable(GLenum capability, bool on, bool& cached);
    void setDepth(bool test, GLenum function, bool write);
    void setBlend(bool on, GLenum source, GLenum destination);
    void setCull(DWORD mode);
    void setPolygonMode(GLenum mode);
    void useProgram(GLuint program);
    void bindVertexArray(GLuint array);
    void bindTexture(int unit, GLuint texture);
    void setSampler(GLuint texture, const DeviceState& state, int stage);

    ProgramRecord* programFor(const ProgramKey& key);
    void sendUniforms(ProgramRecord& p, const ProgramKey& key, const DrawCall& call);
    void updateMatrices(const DeviceState& state);
    void updateLights(const DrawCall& call);
    GLuint vertexArrayFor(GLuint buffer, const VertexLayout& layout);
    size_t stream(GLenum target, GLuint buffer, size_t& offset, size_t& capacity, const void* data, size_t bytes,
                  size_t alignment);
    GLuint compile(const std::string& vertex, const std::string& fragment, bool generated);

    // Resolves a multisampled target into the colour texture.
    void resolve();

    bool alive_ = false;
    const int scale_;                          // render scale: target pixels per program pixel
    const int drawnWidth_, drawnHeight_;       // the target's size in its own pixels
    int samples_ = 0;                          // of the target; 0: not multisampled
    // Draws go to framebuffer_; with samples, its colour is a multisampled renderbuffer that is
    // resolved into colorTexture_ (of resolvedFramebuffer_) for presenting and reading.
    GLuint framebuffer_ = 0, colorTexture_ = 0, depthBuffer_ = 0;
    GLuint resolvedFramebuffer_ = 0, multisampledColor_ = 0;
    std::unordered_map<GLuint, TextureRecord> textures_;
    std::unordered_map<uint64_t, GLuint> vertexArrays_;
    std::unordered_map<ProgramKey, ProgramRecord, ProgramKeyHash> programs_;
    GLuint streamVertices_ = 0, streamIndices_ = 0;
    size_t streamVertexOffset_ = 0, streamVertexCapacity_ = 4 << 20;
    size_t streamIndexOffset_ = 0, streamIndexCapacity_ = 1 << 20;

    // Derived from the device state, kept until its version changes.
    uint64_t matricesVersion_ = 0;
    float clipFromModel_[16], cameraFromModel_[16], normalMatrix_[9], screen_[4];
    uint64_t lightsVersion_ = 0;
    int lightCounts_[3] = {};
    std::vector<float> lightData_;

    struct Cache {
        GLuint framebuffer = ~0u, program = ~0u, vertexArray = ~0u;
        GLint viewport[4] = {-1, -1, -1, -1};
        bool depthTest = false, depthWrite = true, blend = false, cull = false, dither = true, depthClamp = false,
             scissor = false;
        GLenum depthFunction = 0, blendSource = 0, blendDestination = 0, cullFace = 0, polygonMode = 0;
        GLuint textures[firstCoverageUnit + maxTextureStages] = {};
        int activeUnit = -1;
    } cache_;

    // Debug text.
    GlyphAtlas atlas_;
    bool atlasFailed_ = false;
    GLuint atlasTexture_ = 0, textProgram_ = 0, textArray_ = 0, textBuffer_ = 0;
    GLint textScreen_ = -1, textColor_ = -1, textAtlas_ = -1;
};

// ---- Set-up and tear-down --------------------------------------------------------------------
bool OpenGLRenderer::init(std::string* error) {
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 33) {
        *error = "the OpenGL context is version " + std::to_string(major) + "." + std::to_string(minor) +
                 "; 3.3 or later is needed";
        return false;
    }
    samples_ = host::multisamples();
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glGenTextures(1, &colorTexture_);
    glBindTexture(GL_TEXTURE_2D, colorTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    GLFormat f = glFormat(target_.color);
    // An X8R8G8B8 target has no alpha to blend with: destination alpha reads as 1.
    GLint internal = target_.color == PixelFormatId::X8R8G8B8 ? GL_RGB8 : f.internal;
    glTexImage2D(GL_TEXTURE_2D, 0, internal, drawnWidth_, drawnHeight_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (samples_) {
        glGenRenderbuffers(1, &multisampledColor_);
        glBindRenderbuffer(GL_RENDERBUFFER, multisampledColor_);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, GLenum(internal), drawnWidth_, drawnHeight_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, multisampledColor_);
    } else {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture_, 0);
    }
    if (target_.depthBits) {
        glGenRenderbuffers(1, &depthBuffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
        GLenum depthFormat = target_.stencilBits      ? GL_DEPTH24_STENCIL8
                             : target_.depthBits == 16 ? GL_DEPTH_COMPONENT16
                             : target_.depthBits == 24 ? GL_DEPTH_COMPONENT24
                                                       : GL_DEPTH_COMPONENT32;
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, depthFormat, drawnWidth_, drawnHeight_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, target_.stencilBits ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, depthBuffer_);
    }
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    resolvedFramebuffer_ = framebuffer_;
    if (samples_) {
        glGenFramebuffers(1, &resolvedFramebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, resolvedFramebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture_, 0);
        complete = complete && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    }
    if (!complete) {
        *error = "the OpenGL driver cannot make a " + std::string(pixelFormat(target_.color).name) + " render target of " +
                 std::to_string(drawnWidth_) + "x" + std::to_string(drawnHeight_) + " with a " +
                 std::to_string(target_.depthBits) + "-bit depth buffer" +
                 (samples_ ? " and " + std::to_string(samples_) + " samples" : "");
        alive_ = true;
        shutdown();
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    cache_.framebuffer = framebuffer_;

    glGenBuffers(1, &streamVertices_);
    glBindBuffer(GL_ARRAY_BUFFER, streamVertices_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(streamVertexCapacity_), nullptr, GL_STREAM_DRAW);
    glGenBuffers(1, &streamIndices_);
    glBindVertexArray(0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, streamIndices_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(streamIndexCapacity_), nullptr, GL_STREAM_DRAW);

    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glFrontFace(GL_CW);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthRange(0.0, 1.0);
    glEnable(GL_DITHER);
    cache_.dither = true;
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_CLAMP);
    cache_.depthWrite = true;
    // Direct3D draws points and lines one pixel wide: one of the program's pixels.
    glPointSize(float(scale_));
    glLineWidth(float(scale_));

    // A new back buffer is black with the depth buffer at its far end.
    setViewport(0, 0, target_.width, target_.height);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | (target_.depthBits ? GL_DEPTH_BUFFER_BIT : 0) |
            (target_.stencilBits ? GL_STENCIL_BUFFER_BIT : 0));
    alive_ = true;
    return true;
}

void OpenGLRenderer::shutdown() {
    if (!alive_) return;
    alive_ = false;
    for (auto& [key, program] : programs_)
        if (program.program) glDeleteProgram(program.program);
    programs_.clear();
    for (auto& [key, array] : vertexArrays_) glDeleteVertexArrays(1, &array);
    vertexArrays_.clear();
    GLuint buffers[] = {streamVertices_, streamIndices_, textBuffer_};
    glDeleteBuffers(3, buffers);
    if (textArray_) glDeleteVertexArrays(1, &textArray_);
    if (textProgram_) glDeleteProgram(textProgram_);
    GLuint ownTextures[] = {colorTexture_, atlasTexture_};
    glDeleteTextures(2, ownTextures);
    if (depthBuffer_) glDeleteRenderbuffers(1, &depthBuffer_);
    if (multisampledColor_) glDeleteRenderbuffers(1, &multisampledColor_);
    if (resolvedFramebuffer_ && resolvedFramebuffer_ != framebuffer_) glDeleteFramebuffers(1, &resolvedFramebuffer_);
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (host::contextExists()) glBindFramebuffer(GL_FRAMEBUFFER, host::backBufferFramebuffer());
}

// ---- State cache ------------------------------------------------------------------------------
void OpenGLRenderer::bindFramebuffer() {
    if (cache_.framebuffer == framebuffer_) return;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    cache_.framebuffer = framebuffer_;
    ++current.stateChanges;
}

void OpenGLRenderer::setViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    x *= scale_;
    y *= scale_;
    w *= scale_;
    h *= scale_;
    if (cache_.viewport[0] == x && cache_.viewport[1] == y && cache_.viewport[2] == w && cache_.viewport[3] == h) return;
    glViewport(x, y, w, h);
    cache_.viewport[0] = x;
    cache_.viewport[1] = y;
    cache_.viewport[2] = w;
    cache_.viewport[3] = h;
    ++current.stateChanges;
}

void OpenGLRenderer::enable(GLenum capability, bool on, bool& cached) {
    if (cached == on) return;
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
    cached = on;
    ++current.stateChanges;
}

void OpenGLRenderer::setDepth(bool test, GLenum function, bool write) {
    enable(GL_DEPTH_TEST, test, cache_.depthTest);
    if (!test) return;
    if (cache_.depthFunction != function) {
        glDepthFunc(function);
        cache_.depthFunction = function;
        ++current.stateChanges;
    }
    if (cache_.depthWrite != write) {
        glDepthMask(write ? GL_TRUE : GL_FALSE);
        cache_.depthWrite = write;
        ++current.stateChanges;
    }
}

void OpenGLRenderer::setBlend(bool on, GLenum source, GLenum destination) {
    enable(GL_BLEND, on, cache_.blend);
    if (!on) return;
    if (cache_.blendSource != source || cache_.blendDestination != destination) {
        glBlendFunc(source, destination);
        cache_.blendSource = source;
        cache_.blendDestination = destination;
        ++current.stateChanges;
    }
}

void OpenGLRenderer::setCull(DWORD mode) {
    enable(GL_CULL_FACE, mode != D3DCULL_NONE, cache_.cull);
    if (mode == D3DCULL_NONE) return;
    // Front faces wind clockwise on the screen (glFrontFace(GL_CW) at set-up).
    GLenum face = mode == D3DCULL_CW ? GL_FRONT : GL_BACK;
    if (cache_.cullFace != face) {
        glCullFace(face);
        cache_.cullFace = face;
        ++current.stateChanges;
    }
}

void OpenGLRenderer::setPolygonMode(GLenum mode) {
    if (cache_.polygonMode == mode) return;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
    cache_.polygonMode = mode;
    ++current.stateChanges;
}

void OpenGLRenderer::useProgram(GLuint program) {
    if (cache_.program == program) return;
    glUseProgram(program);
    cache_.program = program;
    ++current.programSwitches;
}

void OpenGLRenderer::bindVertexArray(GLuint array) {
    if (cache_.vertexArray == array) return;
    glBindVertexArray(array);
    cache_.vertexArray = array;
    ++current.stateChanges;
}

// Binds `texture` to `unit` and leaves `unit` the active one (texture parameters and uploads
// that follow go to it).
void OpenGLRenderer::bindTexture(int unit, GLuint texture) {
    if (cache_.activeUnit != unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        cache_.activeUnit = unit;
    }
    if (cache_.textures[unit] == texture) return;
    glBindTexture(GL_TEXTURE_2D, texture);
    cache_.textures[unit] = texture;
    ++current.stateChanges;
}

// The stage's filters and addressing on its texture (bound to the stage's unit).
void OpenGLRenderer::setSampler(GLuint texture, const DeviceState& state, int stage) {
    TextureRecord& t = textures_[texture];
    const auto& st = state.stage[stage];
    bool linearMin = st[D3DTSS_MINFILTER] != D3DTFN_POINT;
    GLint minFilter;
    switch (st[D3DTSS_MIPFILTER]) {
    case D3DTFP_POINT: minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    case D3DTFP_LINEAR: minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    default: minFilter = linearMin ? GL_LINEAR : GL_NEAREST; break;
    }
    GLint magFilter = st[D3DTSS_MAGFILTER] == D3DTFG_POINT ? GL_NEAREST : GL_LINEAR;
    GLint wrapS = addressMode(st[D3DTSS_ADDRESSU]), wrapT = addressMode(st[D3DTSS_ADDRESSV]);
    GLint baseLevel = GLint(std::min<DWORD>(st[D3DTSS_MAXMIPLEVEL], DWORD(t.levels - 1)));
    float lodBias = asFloat(st[D3DTSS_MIPMAPLODBIAS]);
    D3DCOLOR border = st[D3DTSS_BORDERCOLOR];
    auto set = [&](GLenum name, GLint value, GLint& cached) {
        if (cached == value) return;
        glTexParameteri(GL_TEXTURE_2D, name, value);
        cached = value;
        ++current.stateChanges;
    };
    set(GL_TEXTURE_MIN_FILTER, minFilter, t.minFilter);
    set(GL_TEXTURE_MAG_FILTER, magFilter, t.magFilter);
    set(GL_TEXTURE_WRAP_S, wrapS, t.wrapS);
    set(GL_TEXTURE_WRAP_T, wrapT, t.wrapT);
    set(GL_TEXTURE_BASE_LEVEL, baseLevel, t.baseLevel);
    if (t.lodBias != lodBias) {
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, lodBias);
        t.lodBias = lodBias;
        ++current.stateChanges;
    }
    if ((wrapS == GL_CLAMP_TO_BORDER || wrapT == GL_CLAMP_TO_BORDER) && t.border != border) {
        float color[4];
        colorFractions(border, color);
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, color);
        t.border = border;
        ++current.stateChanges;
    }
}

// ---- Textures and buffers ----------------------------------------------------------------------
uint32_t OpenGLRenderer::createTexture(PixelFormatId format, int width, int height, int levels) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    bindTexture(maxTextureStages, texture);
    GLFormat f = glFormat(format);
    for (int level = 0; level < levels; ++level)
        glTexImage2D(GL_TEXTURE_2D, level, f.internal, std::max(1, width >> level), std::max(1, height >> level), 0,
                     f.format, f.type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
    if (f.opaque) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    textures_[texture] = TextureRecord{format, width, height, levels};
    return texture;
}

void OpenGLRenderer::uploadTexture(uint32_t texture, int level, int width, int height, const uint8_t* pixels, int pitch) {
    bindTexture(maxTextureStages, texture);
    GLFormat f = glFormat(textures_[texture].format);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / pixelFormat(textures_[texture].format).bytesPerPixel);
    // Rows go in top first, so texture coordinate v = 0 is the image's top row, as in Direct3D.
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, width, height, f.format, f.type, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void OpenGLRenderer::destroyTexture(uint32_t texture) {
    GLuint name = texture;
    glDeleteTextures(1, &name);
    textures_.erase(texture);
    for (GLuint& bound : cache_.textures)
        if (bound == name) bound = 0;
}

uint32_t OpenGLRenderer::createBuffer() {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    return buffer;
}

void OpenGLRenderer::uploadBuffer(uint32_t buffer, const void* data, size_t bytes) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes), data, GL_STATIC_DRAW);
    ++current.bufferUploads;
    current.bytesUploaded += bytes;
}

void OpenGLRenderer::destroyBuffer(uint32_t buffer) {
    for (auto it = vertexArrays_.begin(); it != vertexArrays_.end();) {
        if ((it->first >> 32) == buffer) {
            if (cache_.vertexArray == it->second) cache_.vertexArray = ~0u;
            glDeleteVertexArrays(1, &it->second);
            it = vertexArrays_.erase(it);
        } else {
            ++it;
        }
    }
    GLuint name = buffer;
    glDeleteBuffers(1, &name);
}

// Appends data to a streaming buffer, starting it afresh (orphaning the old storage) when it
// is full; returns where the data went.
size_t OpenGLRenderer::stream(GLenum target, GLuint buffer, size_t& offset, size_t& capacity, const void* data,
                              size_t bytes, size_t alignment) {
    glBindBuffer(target, buffer);
    offset = (offset + alignment - 1) / alignment * alignment;
    if (offset + bytes > capacity) {
        capacity = std::max(capacity, bytes * 2);
        glBufferData(target, GLsizeiptr(capacity), nullptr, GL_STREAM_DRAW);
        offset = 0;
    }
    glBufferSubData(target, GLintptr(offset), GLsizeiptr(bytes), data);
    size_t at = offset;
    offset += bytes;
    ++current.bufferUploads;
    current.bytesUploaded += bytes;
    return at;
}

GLuint OpenGLRenderer::vertexArrayFor(GLuint buffer, const VertexLayout& layout) {
    uint64_t key = (uint64_t(buffer) << 32) | layout.fvf;
    auto found = vertexArrays_.find(key);
    if (found != vertexArrays_.end()) return found->second;
    GLuint array = 0;
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    cache_.vertexArray = array;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    auto at = [](uint32_t offset) { return reinterpret_cast<const void*>(uintptr_t(offset)); };
    GLsizei stride = GLsizei(layout.stride);
    glEnableVertexAttribArray(positionAttribute);
    glVertexAttribPointer(positionAttribute, layout.transformed ? 4 : 3, GL_FLOAT, GL_FALSE, stride, at(layout.positionOffset));
    if (layout.normal) {
        glEnableVertexAttribArray(normalAttribute);
        glVertexAttribPointer(normalAttribute, 3, GL_FLOAT, GL_FALSE, stride, at(layout.normalOffset));
    }
    // D3DCOLOR is B, G, R, A in memory.
    if (layout.diffuse) {
        glEnableVertexAttribArray(diffuseAttribute);
        glVertexAttribPointer(diffuseAttribute, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.diffuseOffset));
    }
    if (layout.specular) {
        glEnableVertexAttribArray(specularAttribute);
        glVertexAttribPointer(specularAttribute, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.specularOffset));
    }
    for (int i = 0; i < layout.texCoordSets; ++i) {
        glEnableVertexAttribArray(texCoordAttribute + i);
        glVertexAttribPointer(texCoordAttribute + i, 2, GL_FLOAT, GL_FALSE, stride, at(layout.texCoordOffset[i]));
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, streamIndices_);
    vertexArrays_[key] = array;
    return array;
}

// ---- Programs ----------------------------------------------------------------------------------
GLuint OpenGLRenderer::compile(const std::string& vertexSource, const std::string& fragmentSource, bool generated) {
    auto stage = [](GLenum type, const std::string& source) {
        GLuint shader = glCreateShader(type);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[4096];
            glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            std::fprintf(stderr, "[d3d7] OpenGL renderer: a generated shader does not compile:\n%s\n%s\n", log, text);
        }
        return shader;
    };
    GLuint vertex = stage(GL_VERTEX_SHADER, vertexSource), fragment = stage(GL_FRAGMENT_SHADER, fragmentSource);
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    if (!generated) {
        glBindAttribLocation(program, 0, "aGlyph");
    } else {
        glBindAttribLocation(program, positionAttribute, "aPosition");
        glBindAttribLocation(program, normalAttribute, "aNormal");
        glBindAttribLocation(program, diffuseAttribute, "aDiffuse");
        glBindAttribLocation(program, specularAttribute, "aSpecular");
        for (int i = 0; i < 8; ++i)
            glBindAttribLocation(program, texCoordAttribute + i, ("aTexCoord" + std::to_string(i)).c_str());
    }
    glBindFragDataLocation(program, 0, "fragmentColor");
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[4096];
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "[d3d7] OpenGL renderer: a generated program does not link:\n%s\n", log);
        glDeleteProgram(program);
        return 0;
    }
    ++current.programsBuilt;
    return program;
}

ProgramRecord* OpenGLRenderer::programFor(const ProgramKey& key) {
    auto found = programs_.find(key);
    if (found != programs_.end()) return found->second.program ? &found->second : nullptr;
    ProgramSource source = generateProgram(key);
    ProgramRecord record;
    record.program = compile(source.vertex, source.fragment, true);
    if (record.program) {
        GLuint p = record.program;
        record.clipFromModel = glGetUniformLocation(p, "uClipFromModel");
        record.cameraFromModel = glGetUniformLocation(p, "uCameraFromModel");
        record.normalMatrix = glGetUniformLocation(p, "uNormalMatrix");
        record.screen = glGetUniformLocation(p, "uScreen");
        record.ambient = glGetUniformLocation(p, "uAmbient");
        record.material = glGetUniformLocation(p, "uMaterial");
        record.power = glGetUniformLocation(p, "uPower");
        record.light = glGetUniformLocation(p, "uLight");
        record.textureFactor = glGetUniformLocation(p, "uTextureFactor");
        record.alphaReference = glGetUniformLocation(p, "uAlphaReference");
        useProgram(p);
        for (int i = 0; i < maxTextureStages; ++i) {
            GLint sampler = glGetUniformLocation(p, ("uTexture" + std::to_string(i)).c_str());
            if (sampler >= 0) glUniform1i(sampler, i);
            GLint coverage = glGetUniformLocation(p, ("uCoverage" + std::to_string(i)).c_str());
            if (coverage >= 0) glUniform1i(coverage, firstCoverageUnit + i);
        }
    }
    auto& stored = programs_[key] = record;
    return stored.program ? &stored : nullptr;
}

void OpenGLRenderer::updateMatrices(const DeviceState& s) {
    if (matricesVersion_ == s.transformVersion) return;
    matricesVersion_ = s.transformVersion;
    const D3DVIEWPORT7& vp = s.viewport;
    D3DMATRIX toGL{};
    toGL._11 = toGL._22 = toGL._44 = 1.0f;
    toGL._41 = 1.0f / float(vp.dwWidth);     // half a pixel right
    toGL._42 = -1.0f / float(vp.dwHeight);   // half a pixel down
    toGL._33 = 2.0f * (vp.dvMaxZ - vp.dvMinZ);
    toGL._43 = 2.0f * vp.dvMinZ - 1.0f;
    D3DMATRIX worldView = multiply(s.world, s.view);
    D3DMATRIX clip = multiply(multiply(worldView, s.projection), toGL);
    std::memcpy(clipFromModel_, &clip, sizeof clipFromModel_);
    std::memcpy(cameraFromModel_, &worldView, sizeof cameraFromModel_);
    normalMatrix(worldView, normalMatrix_);
    screen_[0] = float(vp.dwX);
    screen_[1] = float(vp.dwY);
    screen_[2] = 2.0f / float(vp.dwWidth);
    screen_[3] = 2.0f / float(vp.dwHeight);
}

// The enabled lights in camera space, directional ones first, then point, then spot lights.
void OpenGLRenderer::updateLights(const DrawCall& call) {
    const DeviceState& s = *call.state;
    if (lightsVersion_ == s.lightVersion) return;
    lightsVersion_ = s.lightVersion;
    lightData_.clear();
    const D3DMATRIX& v = s.view;
    int kinds[3] = {D3DLIGHT_DIRECTIONAL, D3DLIGHT_POINT, D3DLIGHT_SPOT};
    for (int k = 0; k < 3; ++k) {
        lightCounts_[k] = 0;
        for (const LightSlot* slot : call.lights) {
            const D3DLIGHT7& l = slot->light;
            if (int(l.dltType) != kinds[k]) continue;
            ++lightCounts_[k];
            const D3DVECTOR& p = l.dvPosition;
            const D3DVECTOR& d = l.dvDirection;
            float position[3] = {p.x * v._11 + p.y * v._21 + p.z * v._31 + v._41,
                                 p.x * v._12 + p.y * v._22 + p.z * v._32 + v._42,
                                 p.x * v._13 + p.y * v._23 + p.z * v._33 + v._43};
            float direction[3] = {d.x * v._11 + d.y * v._21 + d.z * v._31, d.x * v._12 + d.y * v._22 + d.z * v._32,
                                  d.x * v._13 + d.y * v._23 + d.z * v._33};
            float length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
            for (float& c : direction) c = length > 0.0f ? c / length : 0.0f;
            if (kinds[k] == D3DLIGHT_DIRECTIONAL)
                for (float& c : direction) c = -c;   // towards the light
            const float data[vec4sPerLight][4] = {
                {position[0], position[1], position[2], l.dvRange},
                {direction[0], direction[1], direction[2], l.dvFalloff},
                {l.dvAttenuation0, l.dvAttenuation1, l.dvAttenuation2, std::cos(l.dvTheta * 0.5f)},
                {std::cos(l.dvPhi * 0.5f), 0.0f, 0.0f, 0.0f},
                {l.dcvDiffuse.r, l.dcvDiffuse.g, l.dcvDiffuse.b, l.dcvDiffuse.a},
                {l.dcvSpecular.r, l.dcvSpecular.g, l.dcvSpecular.b, l.dcvSpecular.a},
                {l.dcvAmbient.r, l.dcvAmbient.g, l.dcvAmbient.b, l.dcvAmbient.a},
            };
            lightData_.insert(lightData_.end(), &data[0][0], &data[0][0] + vec4sPerLight * 4);
        }
    }
}

void OpenGLRenderer::sendUniforms(ProgramRecord& p, const ProgramKey& key, const DrawCall& call) {
    const DeviceState& s = *call.state;
    if (p.transformVersion != s.transformVersion) {
        p.transformVersion = s.transformVersion;
        if (p.clipFromModel >= 0) glUniformMatrix4fv(p.clipFromModel, 1, GL_FALSE, clipFromModel_), ++current.uniformUploads;
        if (p.cameraFromModel >= 0) glUniformMatrix4fv(p.cameraFromModel, 1, GL_FALSE, cameraFromModel_), ++current.uniformUploads;
        if (p.normalMatrix >= 0) glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, normalMatrix_), ++current.uniformUploads;
        if (p.screen >= 0) glUniform4fv(p.screen, 1, screen_), ++current.uniformUploads;
    }
    if (key.lighting && p.lightVersion != s.lightVersion) {
        p.lightVersion = s.lightVersion;
        if (p.light >= 0 && !lightData_.empty()) {
            glUniform4fv(p.light, GLsizei(lightData_.size() / 4), lightData_.data());
            ++current.uniformUploads;
        }
    }
    if (key.lighting && p.materialVersion != s.materialVersion) {
        p.materialVersion = s.materialVersion;
        const D3DMATERIAL7& m = s.material;
        const float material[16] = {m.diffuse.r,  m.diffuse.g,  m.diffuse.b,  m.diffuse.a,  m.ambient.r,  m.ambient.g,
                                    m.ambient.b,  m.ambient.a,  m.specular.r, m.specular.g, m.specular.b, m.specular.a,
                                    m.emissive.r, m.emissive.g, m.emissive.b, m.emissive.a};
        if (p.material >= 0) glUniform4fv(p.material, 4, material), ++current.uniformUploads;
        if (p.power >= 0) glUniform1f(p.power, m.power), ++current.uniformUploads;
    }
    if (p.constantsVersion != s.constantsVersion) {
        p.constantsVersion = s.constantsVersion;
        float color[4];
        if (p.ambient >= 0) {
            colorFractions(s.render[D3DRENDERSTATE_AMBIENT], color);
            glUniform3fv(p.ambient, 1, color);
            ++current.uniformUploads;
        }
        if (p.textureFactor >= 0) {
            colorFractions(s.render[D3DRENDERSTATE_TEXTUREFACTOR], color);
            glUniform4fv(p.textureFactor, 1, color);
            ++current.uniformUploads;
        }
        if (p.alphaReference >= 0) {
            glUniform1f(p.alphaReference, float(s.render[D3DRENDERSTATE_ALPHAREF] & 0xFF));
            ++current.uniformUploads;
        }
    }
}

// ---- Drawing -------------------------------------------------------------------------------------
void OpenGLRenderer::draw(const DrawCall& call) {
    if (!alive_) return;
    const DeviceState& s = *call.state;
    const VertexLayout& layout = *call.layout;
    bindFramebuffer();
    const D3DVIEWPORT7& vp = s.viewport;
    setViewport(GLint(vp.dwX), GLint(target_.height - int(vp.dwY) - int(vp.dwHeight)), GLsizei(vp.dwWidth),
                GLsizei(vp.dwHeight));

    updateMatrices(s);
    bool lighting = !layout.transformed && s.render[D3DRENDERSTATE_LIGHTING];
    if (lighting) updateLights(call);
    int noLights[3] = {0, 0, 0};
    ProgramKey key = makeProgramKey(call, lighting ? lightCounts_ : noLights);
    ProgramRecord* program = programFor(key);
    if (!program) return;
    useProgram(program->program);
    sendUniforms(*program, key, call);

    bool depth = target_.depthBits > 0 && s.render[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE;
    setDepth(depth, compareFunction(s.render[D3DRENDERSTATE_ZFUNC]), s.render[D3DRENDERSTATE_ZWRITEENABLE] != 0);
    enable(GL_DEPTH_CLAMP, layout.transformed, cache_.depthClamp);
    DWORD source = s.render[D3DRENDERSTATE_SRCBLEND], destination = s.render[D3DRENDERSTATE_DESTBLEND];
    if (source == D3DBLEND_BOTHSRCALPHA) {
        source = D3DBLEND_SRCALPHA;
        destination = D3DBLEND_INVSRCALPHA;
    } else if (source == D3DBLEND_BOTHINVSRCALPHA) {
        source = D3DBLEND_INVSRCALPHA;
        destination = D3DBLEND_SRCALPHA;
    }
    setBlend(s.render[D3DRENDERSTATE_ALPHABLENDENABLE] != 0, blendFactor(source), blendFactor(destination));
    setCull(s.render[D3DRENDERSTATE_CULLMODE]);
    DWORD fill = s.render[D3DRENDERSTATE_FILLMODE];
    setPolygonMode(fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    enable(GL_DITHER, s.render[D3DRENDERSTATE_DITHERENABLE] != 0, cache_.dither);
    enable(GL_SCISSOR_TEST, false, cache_.scissor);

    for (int i = 0; i < key.stageCount; ++i) {
        if (!key.stages[i].hasTexture) continue;
        GLuint texture = call.textures[i].texture;
        bindTexture(i, texture);
        setSampler(texture, s, i);
        if (key.stages[i].colorKey == 2) {
            GLuint coverage = call.textures[i].coverage;
            bindTexture(firstCoverageUnit + i, coverage);
            setSampler(coverage, s, i);
        }
    }

    GLenum mode = primitiveMode(call.type);
    uint32_t elements = elementCount(call.type, call.primitiveCount);
    GLint base = GLint(call.firstVertex);
    GLuint array;
    if (call.buffer) {
        array = vertexArrayFor(call.buffer, layout);
        bindVertexArray(array);
    } else {
        array = vertexArrayFor(streamVertices_, layout);
        bindVertexArray(array);
        size_t bytes = size_t(call.vertexCount) * layout.stride;
        size_t at = stream(GL_ARRAY_BUFFER, streamVertices_, streamVertexOffset_, streamVertexCapacity_,
                           static_cast<const uint8_t*>(call.userVertices) + size_t(call.firstVertex) * layout.stride,
                           bytes, layout.stride);
        base = GLint(at / layout.stride);
    }
    if (call.indices) {
        size_t at = stream(GL_ELEMENT_ARRAY_BUFFER, streamIndices_, streamIndexOffset_, streamIndexCapacity_,
                           call.indices, size_t(elements) * sizeof(WORD), sizeof(WORD));
        glDrawElementsBaseVertex(mode, GLsizei(elements), GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(at), base);
    } else {
        glDrawArrays(mode, base, GLsizei(elements));
    }
    ++current.draws;
    current.primitives += call.primitiveCount;
}

void OpenGLRenderer::clear(const ClearCall& call) {
    if (!alive_) return;
    bindFramebuffer();
    GLbitfield mask = 0;
    if (call.flags & D3DCLEAR_TARGET) {
        float color[4];
        colorFractions(call.color, color);
        glClearColor(color[0], color[1], color[2], color[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (call.flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(call.z);
        if (!cache_.depthWrite) {
            glDepthMask(GL_TRUE);
            cache_.depthWrite = true;
            ++current.stateChanges;
        }
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (call.flags & D3DCLEAR_STENCIL) {
        glClearStencil(GLint(call.stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    // Direct3D clears the viewport, or the given rectangles within it.
    const D3DVIEWPORT7& vp = call.viewport;
    std::vector<D3DRECT> rects = call.rects;
    if (rects.empty()) rects.push_back({{LONG(vp.dwX)}, {LONG(vp.dwY)}, {LONG(vp.dwX + vp.dwWidth)}, {LONG(vp.dwY + vp.dwHeight)}});
    enable(GL_SCISSOR_TEST, true, cache_.scissor);
    for (const D3DRECT& r : rects) {
        LONG x1 = std::max<LONG>(r.x1, LONG(vp.dwX)), y1 = std::max<LONG>(r.y1, LONG(vp.dwY));
        LONG x2 = std::min<LONG>(r.x2, LONG(vp.dwX + vp.dwWidth)), y2 = std::min<LONG>(r.y2, LONG(vp.dwY + vp.dwHeight));
        if (x2 <= x1 || y2 <= y1) continue;
        glScissor(x1 * scale_, (target_.height - y2) * scale_, (x2 - x1) * scale_, (y2 - y1) * scale_);
        glClear(mask);
    }
    enable(GL_SCISSOR_TEST, false, cache_.scissor);
}

// ---- Debug text -------------------------------------------------------------------------------
bool OpenGLRenderer::drawText(float x, float y, D3DCOLOR color, const char* text) {
    if (!alive_) return false;
    if (!atlas_.loaded()) {
        std::string error;
        if (atlasFailed_ || !atlas_.load(GlyphAtlas::pixelSize * scale_, &error)) {
            if (!atlasFailed_) std::fprintf(stderr, "[d3d7] ID3DXContext::DrawDebugText: %s\n", error.c_str());
            atlasFailed_ = true;
            return false;
        }
        glGenTextures(1, &atlasTexture_);
        bindTexture(0, atlasTexture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, atlas_.width(), atlas_.height(), 0, GL_RED, GL_UNSIGNED_BYTE,
                     atlas_.coverage().data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        textProgram_ = compile(
            "#version 330\n"
            "in vec4 aGlyph;  // pixel x, y (top-left origin), atlas u, v\n"
            "uniform vec2 uScreen;\n"
            "out vec2 vAtlas;\n"
            "void main() {\n"
            "    vAtlas = aGlyph.zw;\n"
            "    gl_Position = vec4(aGlyph.x * 2.0 / uScreen.x - 1.0, 1.0 - aGlyph.y * 2.0 / uScreen.y, 0.0, 1.0);\n"
            "}\n",
            "#version 330\n"
            "in vec2 vAtlas;\n"
            "uniform sampler2D uAtlas;\n"
            "uniform vec3 uColor;\n"
            "out vec4 fragmentColor;\n"
            "void main() { fragmentColor = vec4(uColor, texture(uAtlas, vAtlas).r); }\n",
            false);
        textScreen_ = glGetUniformLocation(textProgram_, "uScreen");
        textColor_ = glGetUniformLocation(textProgram_, "uColor");
        textAtlas_ = glGetUniformLocation(textProgram_, "uAtlas");
        glGenVertexArrays(1, &textArray_);
        glGenBuffers(1, &textBuffer_);
        glBindVertexArray(textArray_);
        cache_.vertexArray = textArray_;
        glBindBuffer(GL_ARRAY_BUFFER, textBuffer_);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
    // Glyph quads, two triangles each, at whole pixels of the target; the text's top-left
    // corner at x, y, on a whole pixel of the program's. The font is the scale's size.
    std::vector<float> quads;
    float left = std::round(x * float(target_.width)) * float(scale_), penX = left;
    float baseline = std::round(y * float(target_.height)) * float(scale_) + float(atlas_.ascender());
    float aw = float(atlas_.width()), ah = float(atlas_.height());
    for (const char* c = text; *c; ++c) {
        if (*c == '\n') {
            penX = left;
            baseline += float(atlas_.lineHeight());
            continue;
        }
        const GlyphAtlas::Glyph& g = atlas_.glyph(static_cast<unsigned char>(*c));
        if (g.width > 0 && g.height > 0) {
            float x0 = penX + float(g.left), y0 = baseline - float(g.top);
            float x1 = x0 + float(g.width), y1 = y0 + float(g.height);
            float u0 = float(g.x) / aw, v0 = float(g.y) / ah, u1 = float(g.x + g.width) / aw, v1 = float(g.y + g.height) / ah;
            const float corners[6][4] = {{x0, y0, u0, v0}, {x1, y0, u1, v0}, {x1, y1, u1, v1},
                                         {x0, y0, u0, v0}, {x1, y1, u1, v1}, {x0, y1, u0, v1}};
            quads.insert(quads.end(), &corners[0][0], &corners[0][0] + 24);
        }
        penX += float(g.advance);
    }
    if (quads.empty()) return true;
    bindFramebuffer();
    setViewport(0, 0, target_.width, target_.height);
    setDepth(false, GL_ALWAYS, true);
    enable(GL_DEPTH_CLAMP, false, cache_.depthClamp);
    setBlend(true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setCull(D3DCULL_NONE);
    setPolygonMode(GL_FILL);
    enable(GL_SCISSOR_TEST, false, cache_.scissor);
    useProgram(textProgram_);
    glUniform2f(textScreen_, float(drawnWidth_), float(drawnHeight_));
    float rgba[4];
    colorFractions(color, rgba);   // the colour's alpha is not used: text is opaque
    glUniform3fv(textColor_, 1, rgba);
    glUniform1i(textAtlas_, 0);
    current.uniformUploads += 3;
    bindTexture(0, atlasTexture_);
    bindVertexArray(textArray_);
    glBindBuffer(GL_ARRAY_BUFFER, textBuffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(quads.size() * sizeof(float)), quads.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(quads.size() / 4));
    ++current.draws;
    return true;
}

// ---- Presenting and reading back ----------------------------------------------------------------
void OpenGLRenderer::resolve() {
    if (!samples_) return;
    enable(GL_SCISSOR_TEST, false, cache_.scissor);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolvedFramebuffer_);
    glBlitFramebuffer(0, 0, drawnWidth_, drawnHeight_, 0, 0, drawnWidth_, drawnHeight_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    cache_.framebuffer = ~0u;
}

void OpenGLRenderer::present(bool waitForRetrace) {
    if (alive_ && host::contextExists()) {
        resolve();
        enable(GL_SCISSOR_TEST, false, cache_.scissor);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, resolvedFramebuffer_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, host::backBufferFramebuffer());
        int w = host::backBufferWidth(), h = host::backBufferHeight();
        bool sameSize = w == drawnWidth_ && h == drawnHeight_;
        glBlitFramebuffer(0, 0, drawnWidth_, drawnHeight_, 0, 0, w, h, GL_COLOR_BUFFER_BIT,
                          sameSize ? GL_NEAREST : GL_LINEAR);
        cache_.framebuffer = ~0u;
    }
    host::present(waitForRetrace);
    last = current;
    current = FrameStatistics{};
}

// The target in the program's pixels: reduced by the scale, each pixel the mean of its n x n.
bool OpenGLRenderer::readTarget(std::vector<uint8_t>& rgba) {
    if (!alive_) return false;
    resolve();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolvedFramebuffer_);
    cache_.framebuffer = ~0u;
    rgba.assign(size_t(target_.width) * target_.height * 4, 0);
    std::vector<uint8_t> rows(rgba.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (scale_ == 1) {
        glReadPixels(0, 0, target_.width, target_.height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    } else {
        std::vector<uint8_t> drawn(size_t(drawnWidth_) * drawnHeight_ * 4);
        glReadPixels(0, 0, drawnWidth_, drawnHeight_, GL_RGBA, GL_UNSIGNED_BYTE, drawn.data());
        host::reducePixels(drawn.data(), drawnWidth_, drawnHeight_, scale_, rows.data());
    }
    size_t stride = size_t(target_.width) * 4;
    for (int y = 0; y < target_.height; ++y)
        std::memcpy(&rgba[size_t(y) * stride], &rows[size_t(target_.height - 1 - y) * stride], stride);
    return true;
}

// Each of the program's pixels written as n x n of the target's (to every sample).
bool OpenGLRenderer::writeTarget(const std::vector<uint8_t>& rgba) {
    if (!alive_) return false;
    size_t stride = size_t(drawnWidth_) * 4;
    std::vector<uint8_t> rows(size_t(drawnWidth_) * drawnHeight_ * 4);
    for (int y = 0; y < drawnHeight_; ++y) {
        const uint8_t* source = &rgba[size_t(y / scale_) * target_.width * 4];
        uint8_t* row = &rows[size_t(drawnHeight_ - 1 - y) * stride];
        for (int x = 0; x < drawnWidth_; ++x) std::memcpy(row + size_t(x) * 4, source + size_t(x / scale_) * 4, 4);
    }
    bindTexture(maxTextureStages, colorTexture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, drawnWidth_, drawnHeight_, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    if (samples_) {
        enable(GL_SCISSOR_TEST, false, cache_.scissor);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, resolvedFramebuffer_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
        glBlitFramebuffer(0, 0, drawnWidth_, drawnHeight_, 0, 0, drawnWidth_, drawnHeight_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        cache_.framebuffer = ~0u;
    }
    return true;
}

}  // namespace
}  // namespace d3d7::gl

namespace d3d7 {

std::shared_ptr<Renderer> makeOpenGLRenderer(const TargetSpec& target, std::string* error) {
    auto renderer = std::make_shared<gl::OpenGLRenderer>(target);
    if (!renderer->init(error)) return nullptr;
    return renderer;
}

}  // namespace d3d7
