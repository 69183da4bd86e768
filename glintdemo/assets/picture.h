// Pictures from the archive (JPEG members through our decoder, headerless ".raw" RGB members of
// a stated size) and the OpenGL textures made from them. Every texture of the show is made here
// and lives until the process ends.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <vector>

// A decoded picture, packed: `channels` bytes a pixel, rows from the first of the file, in
// storage of width x height 32-bit words (zero-filled, so only the first
// width x height x channels bytes carry pixels).
struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> storage;
    int32_t loaded = 0;    // set to 1 by both loaders
    int32_t channels = 0;  // 3 for raw pictures, the component count for JPEG pictures

    unsigned char* bytes() { return reinterpret_cast<unsigned char*>(storage.data()); }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(storage.data()); }
};

// The size of ".raw" pictures, process-wide; 0 x 0 at start. Callers set it before loading one.
extern int32_t rawWidth, rawHeight;

// Fills `picture` from member `name`: JPEG when the lower-case name contains ".jpg", raw RGB
// of rawWidth x rawHeight when it contains ".raw". Returns true on success. A missing or
// unreadable member, an unknown type or a JPEG whose header cannot be read shows a message box
// and ends the process (exit code 0); a JPEG whose decoding fails later shows the box and
// returns false, the picture keeping what was decoded (zeros elsewhere).
bool loadPicture(Picture& picture, const char* name, int32_t rawWidth, int32_t rawHeight);

// The OpenGL entry points textures need, bound by the show's OpenGL binding and handed over
// once before the first texture is loaded.
struct TextureFunctions {
    PFNGLGENTEXTURESPROC genTextures = nullptr;
    PFNGLBINDTEXTUREPROC bindTexture = nullptr;
    PFNGLPIXELSTOREIPROC pixelStorei = nullptr;
    PFNGLTEXPARAMETERIPROC texParameteri = nullptr;
    PFNGLTEXIMAGE2DPROC texImage2D = nullptr;
    PFNGLGETERRORPROC getError = nullptr;
};
void setTextureFunctions(const TextureFunctions& functions);

struct Texture {
    GLint internalFormat = 0;  // as the caller asked: GL_RGB, GL_LUMINANCE4, GL_LUMINANCE ...
    bool mipmaps = false;      // as the caller asked; no caller does
    char name[256] = {};       // the member name
    GLuint glName = 0;         // the OpenGL texture name drawing code binds
    Picture picture;
    bool uploaded = false;     // the image has been given to OpenGL
    Texture* madeBefore = nullptr;   // the texture loadTexture made before this one
};

// A new texture with its picture loaded (with the current rawWidth x rawHeight for raw
// pictures) and uploaded. Every call makes a new texture, also for a name loaded before.
// Textures live until the process ends: the loader keeps every one it made in a list (newest
// first, through madeBefore), so none is lost even where its caller keeps only its OpenGL name.
Texture* loadTexture(const char* name, GLint internalFormat, bool mipmaps);

// Hands the picture to OpenGL once: the level is the picture's size shifted right by
// `sizeShift`, each side limited to `maxSize` (resampled to it by nearest sample where smaller).
// Left without image when OpenGL reports an error.
void upload(Texture* texture, int maxSize, int sizeShift);
