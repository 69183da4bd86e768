#include "assets/picture.h"

#include "assets/archive.h"
#include "assets/jpeg_decoder.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int32_t rawWidth = 0, rawHeight = 0;

namespace {

TextureFunctions gl;
Texture* newestTexture = nullptr;   // the list of every texture made, through madeBefore

[[noreturn]] void stop(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_ICONERROR);
    std::exit(0);
}

void decoderFailed() { MessageBoxA(nullptr, "JPEG Decoder Failed", "Error", MB_ICONERROR); }

void allocateStorage(Picture& picture) {
    picture.storage.assign(size_t(picture.width) * size_t(picture.height), 0u);
}

bool loadRaw(Picture& picture, const char* name, int32_t width, int32_t height) {
    picture.loaded = 1;
    picture.width = std::max(width, 0);
    picture.height = std::max(height, 0);
    picture.channels = 3;
    allocateStorage(picture);
    MemberData member{};
    if (!readMember(name, &member)) stop(name, "file not found");
    // A member shorter than the stated size fills what it has; the rest stays zero.
    size_t wanted = size_t(picture.width) * size_t(picture.height) * 3;
    size_t copied = std::min(wanted, size_t(member.size));
    if (copied) std::memcpy(picture.bytes(), member.data, copied);
    std::free(member.data);
    return true;
}

bool loadJpeg(Picture& picture, const char* name) {
    picture.loaded = 1;
    MemberData member{};
    if (!readMember(name, &member)) stop(name, "Cannot find");

    auto* decoder = new JpegDecoder(new JpegMemorySource(member.data, size_t(member.size), true), true);
    if (decoder->error()) {
        delete decoder;
        stop("JPEG Decoder Failed", "Error");
    }
    picture.width = decoder->width();
    picture.height = decoder->height();
    picture.channels = decoder->components();
    allocateStorage(picture);
    if (decoder->begin() != 0) {
        decoderFailed();
        delete decoder;
        return false;
    }
    // Colour rows come as red, green, blue and one unused byte; grey rows as one byte a pixel.
    const int channels = picture.channels, stride = decoder->pixelStride(), width = picture.width;
    unsigned char* out = picture.bytes();
    const uint8_t* row;
    int length, result;
    int rows = 0;
    while ((result = decoder->readRow(&row, &length)) == 0) {
        if (channels == 3 || channels == 1)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c) out[x * channels + c] = row[x * stride + c];
        out += size_t(width) * channels;
        ++rows;
    }
    delete decoder;
    if (result != 1 || rows != picture.height) {
        decoderFailed();
        return false;
    }
    return true;
}

}  // namespace

bool loadPicture(Picture& picture, const char* name, int32_t width, int32_t height) {
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (lower.find(".jpg") != std::string::npos) return loadJpeg(picture, name);
    if (lower.find(".raw") != std::string::npos) return loadRaw(picture, name, width, height);
    stop(name, "Unknown image type");
}

void setTextureFunctions(const TextureFunctions& functions) { gl = functions; }

Texture* loadTexture(const char* name, GLint internalFormat, bool mipmaps) {
    Texture* texture = new Texture;
    texture->madeBefore = newestTexture;
    newestTexture = texture;
    if (gl.genTextures) gl.genTextures(1, &texture->glName);
    else std::fprintf(stderr, "[textures] no OpenGL functions handed over; %s gets no texture name\n", name);
    texture->internalFormat = internalFormat;
    texture->mipmaps = mipmaps;
    std::snprintf(texture->name, sizeof texture->name, "%s", name);
    texture->uploaded = false;
    loadPicture(texture->picture, name, rawWidth, rawHeight);
    upload(texture, 1024, 0);
    return texture;
}

void upload(Texture* texture, int maxSize, int sizeShift) {
    if (texture->uploaded || !gl.bindTexture) return;
    const Picture& picture = texture->picture;
    gl.bindTexture(GL_TEXTURE_2D, texture->glName);
    gl.pixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl.pixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl.pixelStorei(GL_UNPACK_SWAP_BYTES, 0);
    gl.pixelStorei(GL_UNPACK_LSB_FIRST, 0);
    gl.pixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    gl.pixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    int levelWidth = std::min(picture.width >> sizeShift, maxSize);
    int levelHeight = std::min(picture.height >> sizeShift, maxSize);
    GLenum format = picture.channels == 1 ? GL_LUMINANCE : picture.channels == 4 ? GL_RGBA : GL_RGB;

    const unsigned char* pixels = picture.bytes();
    std::vector<unsigned char> resampled;
    if (levelWidth != picture.width || levelHeight != picture.height) {
        // Nearest sample: level pixel (x, y) takes picture pixel (x * w / lw, y * h / lh).
        int channels = std::clamp(picture.channels, 1, 4);
        resampled.resize(size_t(levelWidth) * levelHeight * channels);
        for (int y = 0; y < levelHeight; ++y) {
            int sourceY = int(int64_t(y) * picture.height / levelHeight);
            for (int x = 0; x < levelWidth; ++x) {
                int sourceX = int(int64_t(x) * picture.width / levelWidth);
                std::memcpy(&resampled[(size_t(y) * levelWidth + x) * channels],
                            pixels + (size_t(sourceY) * picture.width + sourceX) * channels, size_t(channels));
            }
        }
        pixels = resampled.data();
    }
    gl.texImage2D(GL_TEXTURE_2D, 0, texture->internalFormat, levelWidth, levelHeight, 0, format, GL_UNSIGNED_BYTE,
                  pixels);
    if (gl.getError() != GL_NO_ERROR) return;
    texture->uploaded = true;
}
