// D3DXCreateTextureFromFile: an image file (BMP, TGA, PNG, JPEG and the other formats
// stb_image reads, told apart by their contents) made into a texture the way D3DX makes it:
// sizes rounded up to powers of two (the device wants them), scaled with the requested
// filter, the pixel format the device offers closest to the request, and the mip levels
// below built by halving with the same filter.
#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "objects.h"

namespace d3d7 {
namespace {

const char* const where = "D3DXCreateTextureFromFile";
constexpr int maxTextureSize = 2048;            // what the device reports in D3DDEVICEDESC7
constexpr long maxFileBytes = 256L << 20;
constexpr int maxImageSide = 16384;

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

int roundUpToPowerOfTwo(int value) {
    int p = 1;
    while (p < value) p <<= 1;
    return p;
}

// Nearest sample (point filter) or the triangle filter, which scales up as bilinear filtering
// does and averages the covered texels when scaling down (linear filter).
Image resize(const Image& in, int width, int height, bool linear) {
    Image out;
    out.width = width;
    out.height = height;
    out.rgba.resize(size_t(width) * height * 4);
    if (in.width == width && in.height == height) {
        out.rgba = in.rgba;
    } else if (!linear) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                int sx = int((int64_t(x) * in.width) / width), sy = int((int64_t(y) * in.height) / height);
                std::memcpy(&out.rgba[(size_t(y) * width + x) * 4], &in.rgba[(size_t(sy) * in.width + sx) * 4], 4);
            }
    } else {
        stbir_resize_uint8_generic(in.rgba.data(), in.width, in.height, in.width * 4, out.rgba.data(), width, height,
                                   width * 4, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR,
                                   nullptr);
    }
    return out;
}

// The next smaller mip level: each texel the average of the (up to) four below it, or their
// top-left one with the point filter.
Image halve(const Image& in, bool linear) {
    Image out;
    out.width = std::max(1, in.width / 2);
    out.height = std::max(1, in.height / 2);
    out.rgba.resize(size_t(out.width) * out.height * 4);
    int stepX = in.width > 1 ? 2 : 1, stepY = in.height > 1 ? 2 : 1;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 4; ++c) {
                auto at = [&](int dx, int dy) {
                    return int(in.rgba[(size_t(y * stepY + dy) * in.width + size_t(x * stepX + dx)) * 4 + c]);
                };
                int value;
                if (!linear) {
                    value = at(0, 0);
                } else {
                    int sum = 0, n = 0;
                    for (int dy = 0; dy < stepY; ++dy)
                        for (int dx = 0; dx < stepX; ++dx, ++n) sum += at(dx, dy);
                    value = (sum + n / 2) / n;
                }
                out.rgba[(size_t(y) * out.width + x) * 4 + c] = uint8_t(value);
            }
    return out;
}

const char* surfaceFormatName(DWORD format) {
    static const char* names[] = {"D3DX_SF_UNKNOWN",  "D3DX_SF_R8G8B8",   "D3DX_SF_A8R8G8B8", "D3DX_SF_X8R8G8B8",
                                  "D3DX_SF_R5G6B5",   "D3DX_SF_R5G5B5",   "D3DX_SF_PALETTE4", "D3DX_SF_PALETTE8",
                                  "D3DX_SF_A1R5G5B5", "D3DX_SF_X4R4G4B4", "D3DX_SF_A4R4G4B4", "D3DX_SF_L8",
                                  "D3DX_SF_A8L8",     "D3DX_SF_U8V8",     "D3DX_SF_U5V5L6",   "D3DX_SF_U8V8L8",
                                  "D3DX_SF_UYVY",     "D3DX_SF_YUY2",     "D3DX_SF_DXT1",     "D3DX_SF_DXT3",
                                  "D3DX_SF_DXT5",     "D3DX_SF_R3G3B2",   "D3DX_SF_A8"};
    return format < sizeof names / sizeof *names ? names[format] : "D3DX_SF(?)";
}

std::string inText(const DWORD* value) {
    if (!value) return "NULL";
    return *value == D3DX_DEFAULT ? "D3DX_DEFAULT" : std::to_string(*value);
}

HRESULT readImage(const char* fileName, Image& image, bool& hasAlpha) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName, "rb"), std::fclose);
    if (!file) return refuse(D3DXERR_IFLERROR, where, "cannot open \"%s\"", fileName);
    std::fseek(file.get(), 0, SEEK_END);
    long size = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_SET);
    if (size <= 0 || size > maxFileBytes)
        return refuse(D3DXERR_UNSUPPORTEDFILEFORMAT, where, "\"%s\" is empty or larger than %ld bytes", fileName, maxFileBytes);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return refuse(D3DXERR_IFLERROR, where, "cannot read \"%s\"", fileName);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels))
        return refuse(D3DXERR_UNSUPPORTEDFILEFORMAT, where, "\"%s\" is no image this library reads (%s)", fileName,
                      stbi_failure_reason());
    if (width <= 0 || height <= 0 || width > maxImageSide || height > maxImageSide)
        return refuse(D3DXERR_UNSUPPORTEDFILEFORMAT, where, "\"%s\" is %dx%d; images up to %d pixels a side are read",
                      fileName, width, height, maxImageSide);
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &channels, 4);
    if (!pixels)
        return refuse(D3DXERR_UNSUPPORTEDFILEFORMAT, where, "\"%s\" cannot be decoded (%s)", fileName, stbi_failure_reason());
    image.width = width;
    image.height = height;
    image.rgba.assign(pixels, pixels + size_t(width) * height * 4);
    stbi_image_free(pixels);
    hasAlpha = channels == 2 || channels == 4;
    return D3D_OK;
}

HRESULT createTexture(LPDIRECT3DDEVICE7 deviceInterface, LPDWORD flags, LPDWORD width, LPDWORD height,
                      D3DX_SURFACEFORMAT* pixelFormatRequest, LPDIRECTDRAWPALETTE palette, LPDIRECTDRAWSURFACE7* texture,
                      LPDWORD mipLevels, LPSTR fileName, D3DX_FILTERTYPE filter, Surface*& made) {
    auto* device = dynamic_cast<Device*>(deviceInterface);
    if (!deviceInterface || !texture || !fileName) return refuse(D3DXERR_NULLPOINTER, where, "no device, texture pointer or file name");
    *texture = nullptr;
    if (!device) return refuse(D3DXERR_INVALIDPARAMETER, where, "the device is not one of this library");
    if (palette) return refuse(D3DXERR_CAPSNOTSUPPORTED, where, "palettized textures are not offered");
    DWORD flagValue = flags ? *flags : 0;
    if (flagValue & ~DWORD(D3DX_TEXTURE_NOMIPMAP | D3DX_TEXTURE_STAGE_MASK))
        return refuse(D3DXERR_INVALIDPARAMETER, where, "unknown texture flags 0x%X", flagValue);
    if (filter != D3DX_FT_POINT && filter != D3DX_FT_LINEAR && filter != D3DX_FT_DEFAULT)
        return refuse(D3DXERR_INVALIDPARAMETER, where, "unknown filter %u", DWORD(filter));
    bool linear = filter != D3DX_FT_POINT;

    Image image;
    bool hasAlpha = false;
    HRESULT read = readImage(fileName, image, hasAlpha);
    if (FAILED(read)) return read;

    auto side = [](const DWORD* requested, int fileSide) {
        int s = (!requested || *requested == D3DX_DEFAULT || *requested == 0) ? fileSide
                                                                               : int(std::min<DWORD>(*requested, maxImageSide));
        return std::min(roundUpToPowerOfTwo(s), maxTextureSize);
    };
    int w = side(width, image.width), h = side(height, image.height);
    int fullChain = 1;
    while ((std::max(w, h) >> fullChain) > 0) ++fullChain;
    int levels = fullChain;
    if (flagValue & D3DX_TEXTURE_NOMIPMAP)
        levels = 1;
    else if (mipLevels && *mipLevels != D3DX_DEFAULT && *mipLevels != 0)
        levels = int(std::min<DWORD>(*mipLevels, DWORD(fullChain)));
    D3DX_SURFACEFORMAT requested = pixelFormatRequest ? *pixelFormatRequest : D3DX_SF_UNKNOWN;
    const PixelFormat& format = textureFormatFor(requested, hasAlpha);

    made = Surface::createTexture(device->renderer(), format, w, h, levels, fileName);
    Image level = resize(image, w, h, linear);
    LPDIRECTDRAWSURFACE7 surface = made;
    for (int i = 0; i < levels; ++i) {
        auto* s = static_cast<Surface*>(surface);
        uint8_t* out = s->pixels();
        for (size_t p = 0, n = size_t(level.width) * level.height; p < n; ++p) {
            const uint8_t* c = &level.rgba[p * 4];
            writePixel(format, out + p * format.bytesPerPixel, packPixel(format, c[0], c[1], c[2], c[3]));
        }
        if (i + 1 < levels) {
            level = halve(level, linear);
            DDSCAPS2 caps{};
            caps.dwCaps = DDSCAPS_MIPMAP;
            LPDIRECTDRAWSURFACE7 next = nullptr;
            s->GetAttachedSurface(&caps, &next);
            next->Release();
            surface = next;
        }
    }
    made->uploadAllLevels();
    *texture = made;
    if (width) *width = DWORD(w);
    if (height) *height = DWORD(h);
    if (pixelFormatRequest) *pixelFormatRequest = format.d3dx;
    if (mipLevels) *mipLevels = DWORD(levels);
    return D3D_OK;
}

}  // namespace
}  // namespace d3d7

HRESULT WINAPI D3DXCreateTextureFromFile(LPDIRECT3DDEVICE7 device, LPDWORD flags, LPDWORD width, LPDWORD height,
                                         D3DX_SURFACEFORMAT* pixelFormat, LPDIRECTDRAWPALETTE palette,
                                         LPDIRECTDRAWSURFACE7* texture, LPDWORD mipLevels, LPSTR fileName,
                                         D3DX_FILTERTYPE filter) {
    using namespace d3d7;
    bool logging = calllog_detail::active();
    std::string before;
    if (logging) {
        std::string requestedFormat = pixelFormat ? surfaceFormatName(*pixelFormat) : "NULL";
        before = "D3DXCreateTextureFromFile(" + std::string(device ? "device" : "NULL") + ", " +
                 (flags ? hexText(*flags, 1) : std::string("NULL")) + ", " + inText(width) + ", " + inText(height) +
                 ", " + requestedFormat + ", " + (palette ? "palette" : "NULL") + ", " + inText(mipLevels) + ", ";
        before += fileName ? "\"" + std::string(fileName) + "\"" : std::string("NULL");
        std::string filterText = filter == D3DX_FT_POINT     ? "D3DX_FT_POINT"
                                 : filter == D3DX_FT_LINEAR  ? "D3DX_FT_LINEAR"
                                 : filter == D3DX_FT_DEFAULT ? "D3DX_FT_DEFAULT"
                                                             : std::to_string(DWORD(filter));
        before += ", " + filterText + ")";
    }
    Surface* made = nullptr;
    HRESULT result = createTexture(device, flags, width, height, pixelFormat, palette, texture, mipLevels, fileName,
                                   filter, made);
    if (logging) {
        if (made)
            calllog_detail::write(before + " = " + made->logName() + " {" + std::to_string(made->width()) + ", " +
                                  std::to_string(made->height()) + ", " + surfaceFormatName(made->format().d3dx) +
                                  ", " + std::to_string(made->levelCount()) + "}");
        else
            calllog_detail::write(before + " = " + resultName(result));
    }
    return result;
}
