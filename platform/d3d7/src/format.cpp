#include "format.h"

#include <bit>
#include <cstring>

namespace d3d7 {
namespace {

const PixelFormat formats[] = {
    {PixelFormatId::R5G6B5, D3DX_SF_R5G6B5, "R5G6B5", 2, 16, 0xF800, 0x07E0, 0x001F, 0, true},
    {PixelFormatId::X1R5G5B5, D3DX_SF_R5G5B5, "X1R5G5B5", 2, 16, 0x7C00, 0x03E0, 0x001F, 0, true},
    {PixelFormatId::A1R5G5B5, D3DX_SF_A1R5G5B5, "A1R5G5B5", 2, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true},
    {PixelFormatId::X4R4G4B4, D3DX_SF_X4R4G4B4, "X4R4G4B4", 2, 16, 0x0F00, 0x00F0, 0x000F, 0, true},
    {PixelFormatId::A4R4G4B4, D3DX_SF_A4R4G4B4, "A4R4G4B4", 2, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true},
    {PixelFormatId::X8R8G8B8, D3DX_SF_X8R8G8B8, "X8R8G8B8", 4, 32, 0xFF0000, 0xFF00, 0xFF, 0, true},
    {PixelFormatId::A8R8G8B8, D3DX_SF_A8R8G8B8, "A8R8G8B8", 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true},
    {PixelFormatId::R8G8B8, D3DX_SF_R8G8B8, "R8G8B8", 3, 24, 0xFF0000, 0xFF00, 0xFF, 0, false},
};

uint32_t packChannel(uint8_t value, DWORD mask) {
    if (!mask) return 0;
    int shift = std::countr_zero(mask);
    uint32_t maximum = mask >> shift;
    return ((uint32_t(value) * maximum + 127) / 255) << shift;
}

uint8_t unpackChannel(uint32_t pixel, DWORD mask) {
    if (!mask) return 255;
    int shift = std::countr_zero(mask);
    uint32_t maximum = mask >> shift;
    uint32_t value = (pixel & mask) >> shift;
    return uint8_t((value * 255 + maximum / 2) / maximum);
}

}  // namespace

const PixelFormat& pixelFormat(PixelFormatId id) { return formats[int(id)]; }

const PixelFormat& textureFormatFor(D3DX_SURFACEFORMAT requested, bool imageHasAlpha) {
    for (const PixelFormat& f : formats)
        if (f.d3dx == requested && f.textureFormat) return f;
    switch (requested) {
    case D3DX_SF_R3G3B2: return pixelFormat(PixelFormatId::R5G6B5);
    case D3DX_SF_A8:
    case D3DX_SF_A8L8:
    case D3DX_SF_DXT3:
    case D3DX_SF_DXT5: return pixelFormat(PixelFormatId::A8R8G8B8);
    case D3DX_SF_DXT1: return pixelFormat(PixelFormatId::A1R5G5B5);
    default:
        // Unknown, R8G8B8, palettes, luminance, bump and YUV formats: 32-bit colour, with alpha
        // when the image has it.
        return pixelFormat(imageHasAlpha ? PixelFormatId::A8R8G8B8 : PixelFormatId::X8R8G8B8);
    }
}

void describePixelFormat(const PixelFormat& format, DDPIXELFORMAT& out) {
    std::memset(&out, 0, sizeof out);
    out.dwSize = sizeof(DDPIXELFORMAT);
    out.dwFlags = DDPF_RGB | (format.alphaMask ? DDPF_ALPHAPIXELS : 0);
    out.dwRGBBitCount = format.bits;
    out.dwRBitMask = format.redMask;
    out.dwGBitMask = format.greenMask;
    out.dwBBitMask = format.blueMask;
    out.dwRGBAlphaBitMask = format.alphaMask;
}

uint32_t packPixel(const PixelFormat& format, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return packChannel(r, format.redMask) | packChannel(g, format.greenMask) | packChannel(b, format.blueMask) |
           packChannel(a, format.alphaMask);
}

void unpackPixel(const PixelFormat& format, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b, uint8_t& a) {
    r = unpackChannel(pixel, format.redMask);
    g = unpackChannel(pixel, format.greenMask);
    b = unpackChannel(pixel, format.blueMask);
    a = unpackChannel(pixel, format.alphaMask);
}

uint32_t readPixel(const PixelFormat& format, const uint8_t* at) {
    uint32_t value = 0;
    for (int i = 0; i < format.bytesPerPixel; ++i) value |= uint32_t(at[i]) << (8 * i);
    return value;
}

void writePixel(const PixelFormat& format, uint8_t* at, uint32_t pixel) {
    for (int i = 0; i < format.bytesPerPixel; ++i) at[i] = uint8_t(pixel >> (8 * i));
}

float channelFraction(uint32_t pixel, DWORD mask) {
    if (!mask) return 1.0f;
    int shift = std::countr_zero(mask);
    return float((pixel & mask) >> shift) / float(mask >> shift);
}

bool describeVertexFormat(DWORD fvf, VertexLayout& layout, std::string* whyNot) {
    layout = VertexLayout{};
    layout.fvf = fvf;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    if (position != D3DFVF_XYZ && position != D3DFVF_XYZRHW) {
        *whyNot = position ? "positions with blend weights are not drawn by this device" : "the format has no position";
        return false;
    }
    if (fvf & (D3DFVF_RESERVED0 | D3DFVF_RESERVED1 | D3DFVF_RESERVED2)) {
        *whyNot = "reserved bits are set";
        return false;
    }
    if (fvf >> 16) {
        *whyNot = "texture coordinates other than two floats are not drawn by this device";
        return false;
    }
    layout.transformed = position == D3DFVF_XYZRHW;
    layout.normal = (fvf & D3DFVF_NORMAL) != 0;
    if (layout.transformed && layout.normal) {
        *whyNot = "pre-transformed vertices cannot have normals";
        return false;
    }
    layout.diffuse = (fvf & D3DFVF_DIFFUSE) != 0;
    layout.specular = (fvf & D3DFVF_SPECULAR) != 0;
    layout.texCoordSets = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.texCoordSets > 8) {
        *whyNot = "more than eight texture coordinate sets";
        return false;
    }
    uint32_t offset = layout.transformed ? 16 : 12;
    if (layout.normal) {
        layout.normalOffset = offset;
        offset += 12;
    }
    if (layout.diffuse) {
        layout.diffuseOffset = offset;
        offset += 4;
    }
    if (layout.specular) {
        layout.specularOffset = offset;
        offset += 4;
    }
    for (int i = 0; i < layout.texCoordSets; ++i) {
        layout.texCoordOffset[i] = offset;
        offset += 8;
    }
    layout.stride = offset;
    return true;
}

}  // namespace d3d7
