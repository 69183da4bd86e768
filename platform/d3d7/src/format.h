// Pixel formats of textures and render targets, and flexible-vertex-format layouts.
// Private to platform/d3d7.
#pragma once

#include <cstdint>
#include <string>

#include "internal.h"

namespace d3d7 {

// The pixel formats this device stores textures and render targets in. Texels are kept in
// these formats byte for byte (a 5-6-5 texture really holds 5-6-5 colour).
enum class PixelFormatId { R5G6B5, X1R5G5B5, A1R5G5B5, X4R4G4B4, A4R4G4B4, X8R8G8B8, A8R8G8B8, R8G8B8 };

struct PixelFormat {
    PixelFormatId id;
    D3DX_SURFACEFORMAT d3dx;
    const char* name;
    int bytesPerPixel;
    int bits;
    DWORD redMask, greenMask, blueMask, alphaMask;   // alphaMask 0: no alpha (X formats read as opaque)
    bool textureFormat;                              // offered for textures
};

const PixelFormat& pixelFormat(PixelFormatId id);
// The texture format D3DX makes for a requested format: the same one when the device offers
// it, otherwise the closest one that keeps alpha when the request has alpha.
const PixelFormat& textureFormatFor(D3DX_SURFACEFORMAT requested, bool imageHasAlpha);
void describePixelFormat(const PixelFormat& format, DDPIXELFORMAT& out);

// Packs 8-bit channels into a pixel of `format`, rounding to the nearest representable value,
// and unpacks a pixel back to 8-bit channels (bit replication, as hardware expands them).
uint32_t packPixel(const PixelFormat& format, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
void unpackPixel(const PixelFormat& format, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b, uint8_t& a);
uint32_t readPixel(const PixelFormat& format, const uint8_t* at);
void writePixel(const PixelFormat& format, uint8_t* at, uint32_t pixel);
// A channel value of `pixel` (under `mask`) as a fraction 0..1.
float channelFraction(uint32_t pixel, DWORD mask);

// Where each element of a vertex lies, from its flexible vertex format.
struct VertexLayout {
    DWORD fvf = 0;
    uint32_t stride = 0;
    bool transformed = false;      // XYZRHW: screen position and reciprocal w
    bool normal = false, diffuse = false, specular = false;
    int texCoordSets = 0;          // two floats each
    uint32_t positionOffset = 0, normalOffset = 0, diffuseOffset = 0, specularOffset = 0;
    uint32_t texCoordOffset[8] = {};
};

// False (with the reason) for formats the device cannot draw: blend weights, reserved bits,
// texture coordinates other than two floats, normals with pre-transformed positions.
bool describeVertexFormat(DWORD fvf, VertexLayout& layout, std::string* whyNot);

}  // namespace d3d7
