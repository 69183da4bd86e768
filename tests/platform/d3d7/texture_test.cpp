// Textures loaded from image files through D3DX: each file type, sizes rounded to powers of
// two, pixel formats (5-6-5 really stored as 5-6-5), mip levels, the surfaces' descriptions and
// reference counts, and failures. Fixture images are written by the tests with stb_image_write.
#include <stb/stb_image_write.h>

#include <cstring>

#include "d3d7_fixture.h"

namespace d3d7_test {
namespace {

using d3d7::testing::Rendering;

struct Loaded {
    HRESULT result = E_FAIL;
    LPDIRECTDRAWSURFACE7 texture = nullptr;
    DWORD width = 0, height = 0, levels = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_UNKNOWN;
};

class D3DTextures : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        open(32, 32);
    }

    // An image of w x h pixels, colour of pixel (x, y) from `color`, written as `kind`.
    std::string writeImage(const char* kind, int w, int h, int channels, uint32_t (*color)(int x, int y)) {
        std::vector<uint8_t> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t c = color(x, y);
                uint8_t all[4] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)};
                pixels.insert(pixels.end(), all, all + channels);
            }
        std::string path = files.file(std::string("image.") + kind);
        std::string k = kind;
        if (k == "bmp") stbi_write_bmp(path.c_str(), w, h, channels, pixels.data());
        if (k == "tga") stbi_write_tga(path.c_str(), w, h, channels, pixels.data());
        if (k == "png") stbi_write_png(path.c_str(), w, h, channels, pixels.data(), w * channels);
        if (k == "jpg") stbi_write_jpg(path.c_str(), w, h, channels, pixels.data(), 100);
        return path;
    }

    Loaded load(const std::string& path, DWORD width = D3DX_DEFAULT, DWORD height = D3DX_DEFAULT,
                D3DX_SURFACEFORMAT format = D3DX_SF_UNKNOWN, DWORD levels = D3DX_DEFAULT, DWORD flags = 0,
                D3DX_FILTERTYPE filter = D3DX_FT_LINEAR) {
        Loaded l;
        l.width = width;
        l.height = height;
        l.format = format;
        l.levels = levels;
        l.result = D3DXCreateTextureFromFile(device, &flags, &l.width, &l.height, &l.format, nullptr, &l.texture,
                                             &l.levels, const_cast<char*>(path.c_str()), filter);
        if (l.texture) toRelease.push_back(l.texture);
        return l;
    }

    DDSURFACEDESC2 describe(LPDIRECTDRAWSURFACE7 surface) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        EXPECT_EQ(surface->GetSurfaceDesc(&d), DD_OK);
        return d;
    }

    // The surface's pixels as stored, one value a pixel.
    std::vector<uint32_t> texels(LPDIRECTDRAWSURFACE7 surface) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        std::vector<uint32_t> values;
        EXPECT_EQ(surface->Lock(nullptr, &d, DDLOCK_READONLY | DDLOCK_WAIT, nullptr), DD_OK);
        int bytes = int(d.ddpfPixelFormat.dwRGBBitCount / 8);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes, bytes);
                values.push_back(v);
            }
        surface->Unlock(nullptr);
        return values;
    }

    LPDIRECTDRAWSURFACE7 nextLevel(LPDIRECTDRAWSURFACE7 surface) {
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
        LPDIRECTDRAWSURFACE7 next = nullptr;
        if (surface->GetAttachedSurface(&caps, &next) != DD_OK) return nullptr;
        toRelease.push_back(next);
        return next;
    }
};

uint32_t blocks(int x, int y) {   // four solid 3 x 2 blocks: JPEG keeps them close
    static const uint32_t colors[4] = {0xFFC83214, 0xFF14C832, 0xFF3214C8, 0xFFE0E0E0};
    return colors[(x / 3) % 2 + 2 * ((y / 2) % 2)];
}

TEST_F(D3DTextures, BmpTgaPngAndJpegLoadAtTheirSizeRoundedUpToPowersOfTwoWithAllMipLevels) {
    for (const char* kind : {"bmp", "tga", "png", "jpg"}) {
        Loaded l = load(writeImage(kind, 6, 4, 3, blocks));
        ASSERT_EQ(l.result, D3D_OK) << kind;
        EXPECT_EQ(l.width, 8u) << kind;
        EXPECT_EQ(l.height, 4u) << kind;
        EXPECT_EQ(l.levels, 4u) << kind << ": 8x4, 4x2, 2x1, 1x1";
        EXPECT_EQ(l.format, D3DX_SF_X8R8G8B8) << kind << ": no alpha in the file";
        DDSURFACEDESC2 d = describe(l.texture);
        EXPECT_EQ(d.dwWidth, 8u);
        EXPECT_EQ(d.dwMipMapCount, 4u);
        EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
        EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_MIPMAP);
        // Scaled by the linear filter: the left column keeps the first block's colour.
        uint32_t corner = texels(l.texture)[0];
        EXPECT_NEAR(int((corner >> 16) & 255), 0xC8, 12) << kind;
        EXPECT_NEAR(int((corner >> 8) & 255), 0x32, 12) << kind;
    }
}

TEST_F(D3DTextures, TexelsAreStoredExactlyAndAlphaChoosesAnAlphaFormat) {
    Loaded l = load(writeImage("png", 4, 4, 4, [](int x, int y) { return uint32_t(0x80102030 + x * 0x10 + y * 0x1000); }));
    ASSERT_EQ(l.result, D3D_OK);
    EXPECT_EQ(l.format, D3DX_SF_A8R8G8B8);
    DDSURFACEDESC2 d = describe(l.texture);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBAlphaBitMask, 0xFF000000u);
    std::vector<uint32_t> t = texels(l.texture);
    EXPECT_EQ(t[0], 0x80102030u);
    EXPECT_EQ(t[4 * 2 + 3], 0x80102030u + 3 * 0x10 + 2 * 0x1000);
}

// 5-6-5: each channel rounded to 5, 6 and 5 bits; drawn, the colour shows the steps.
TEST_F(D3DTextures, R5G6B5TexturesHold565Colour) {
    Loaded l = load(writeImage("png", 4, 4, 3, [](int, int) { return 0xFFC86432u; }), D3DX_DEFAULT, D3DX_DEFAULT,
                    D3DX_SF_R5G6B5, 1);
    ASSERT_EQ(l.result, D3D_OK);
    EXPECT_EQ(l.format, D3DX_SF_R5G6B5);
    DDSURFACEDESC2 d = describe(l.texture);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(d.ddpfPixelFormat.dwBBitMask, 0x001Fu);
    EXPECT_EQ(d.lPitch, 8);
    // (200, 100, 50) -> 24/31, 25/63, 6/31.
    EXPECT_EQ(texels(l.texture)[5], uint32_t((24 << 11) | (25 << 5) | 6));
    device->SetTexture(0, l.texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->BeginScene();
    drawScreenQuad(0xFFFFFFFF);
    device->EndScene();
    // Tolerance: 1 step (expanding 5 bits to 8 may round or replicate bits).
    EXPECT_TRUE(near(pixel(16, 16), {197, 101, 49}, 1)) << "the 5-6-5 values, not the file's (200, 100, 50)";
}

TEST_F(D3DTextures, OtherFormatsBecomeTheClosestOneTheDeviceOffers) {
    std::string path = writeImage("png", 4, 4, 3, blocks);
    EXPECT_EQ(load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_L8).format, D3DX_SF_X8R8G8B8);
    EXPECT_EQ(load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_R8G8B8).format, D3DX_SF_X8R8G8B8);
    EXPECT_EQ(load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_A4R4G4B4).format, D3DX_SF_A4R4G4B4);
    EXPECT_EQ(load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_R5G5B5).format, D3DX_SF_R5G5B5);
}

TEST_F(D3DTextures, MipLevelsAreHalvedAveragesAndTheirCountFollowsTheRequest) {
    // Level 1 texel (0, 0) averages 0, 40, 80 and 120 in red.
    std::string path = writeImage("png", 4, 4, 3, [](int x, int y) { return uint32_t(0xFF000000 | ((x + 2 * y) * 40) << 16); });
    Loaded all = load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_UNKNOWN, 0);
    ASSERT_EQ(all.result, D3D_OK);
    EXPECT_EQ(all.levels, 3u);
    LPDIRECTDRAWSURFACE7 half = nextLevel(all.texture);
    ASSERT_NE(half, nullptr);
    DDSURFACEDESC2 d = describe(half);
    EXPECT_EQ(d.dwWidth, 2u);
    EXPECT_EQ(d.dwMipMapCount, 2u);
    EXPECT_TRUE(d.ddsCaps.dwCaps2 & DDSCAPS2_MIPMAPSUBLEVEL);
    EXPECT_EQ((texels(half)[0] >> 16) & 255, 60u);
    LPDIRECTDRAWSURFACE7 quarter = nextLevel(half);
    ASSERT_NE(quarter, nullptr);
    EXPECT_EQ(describe(quarter).dwWidth, 1u);
    EXPECT_EQ(nextLevel(quarter), nullptr);

    EXPECT_EQ(load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_UNKNOWN, 2).levels, 2u);
    EXPECT_EQ(load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_UNKNOWN, 10).levels, 3u);
    Loaded single = load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_UNKNOWN, D3DX_DEFAULT, D3DX_TEXTURE_NOMIPMAP);
    EXPECT_EQ(single.levels, 1u);
    EXPECT_FALSE(describe(single.texture).ddsCaps.dwCaps & DDSCAPS_MIPMAP);
}

TEST_F(D3DTextures, RequestedSizesAreRoundedUpAndTheImageScaled) {
    std::string path = writeImage("png", 4, 4, 3, blocks);
    Loaded l = load(path, 5, 3, D3DX_SF_UNKNOWN, 1, 0, D3DX_FT_POINT);
    ASSERT_EQ(l.result, D3D_OK);
    EXPECT_EQ(l.width, 8u);
    EXPECT_EQ(l.height, 4u);
    // Point-scaled 4 x 4 to 8 x 4: each column twice.
    std::vector<uint32_t> t = texels(l.texture);
    EXPECT_EQ(t[0] & 0xFFFFFF, blocks(0, 0) & 0xFFFFFF);
    EXPECT_EQ(t[7] & 0xFFFFFF, blocks(3, 0) & 0xFFFFFF);
}

TEST_F(D3DTextures, FilesThatCannotBeReadFailWithD3DXResults) {
    EXPECT_EQ(load(files.file("missing.bmp")).result, D3DXERR_IFLERROR);
    testing_support::writeFile(files.file("garbage.bmp"), "this is no picture at all");
    Loaded garbage = load(files.file("garbage.bmp"));
    EXPECT_EQ(garbage.result, D3DXERR_UNSUPPORTEDFILEFORMAT);
    EXPECT_EQ(garbage.texture, nullptr);
    // A truncated PNG.
    std::string png = testing_support::readFile(writeImage("png", 4, 4, 3, blocks));
    testing_support::writeFile(files.file("short.png"), png.substr(0, png.size() / 2));
    EXPECT_EQ(load(files.file("short.png")).result, D3DXERR_UNSUPPORTEDFILEFORMAT);
    DWORD w = D3DX_DEFAULT;
    EXPECT_EQ(D3DXCreateTextureFromFile(device, nullptr, &w, &w, nullptr, nullptr, nullptr, nullptr,
                                        const_cast<char*>("x.bmp"), D3DX_FT_LINEAR),
              D3DXERR_NULLPOINTER);
}

TEST_F(D3DTextures, TheDeviceAndStateBlocksHoldAReferenceOnTheirTextures) {
    Loaded l = load(writeImage("png", 4, 4, 3, blocks));
    ASSERT_EQ(l.result, D3D_OK);
    auto count = [&] {
        l.texture->AddRef();
        return l.texture->Release();
    };
    ULONG alone = count();
    EXPECT_EQ(alone, 1u);
    device->SetTexture(0, l.texture);
    EXPECT_EQ(count(), alone + 1);
    device->BeginStateBlock();
    device->SetTexture(1, l.texture);
    DWORD block;
    device->EndStateBlock(&block);
    EXPECT_EQ(count(), alone + 2);
    LPDIRECTDRAWSURFACE7 got = nullptr;
    device->GetTexture(0, &got);
    EXPECT_EQ(got, l.texture);
    got->Release();
    device->SetTexture(0, nullptr);
    device->DeleteStateBlock(block);
    EXPECT_EQ(count(), alone);
}

TEST_F(D3DTextures, LoadsAndColourKeysAreLoggedWithWhatWasMade) {
    std::string path = writeImage("bmp", 6, 4, 3, blocks);
    d3d7::calllog::enable(true);
    d3d7::calllog::clear();
    Loaded l = load(path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_R5G6B5, 2);
    DDCOLORKEY black{0, 0};
    l.texture->SetColorKey(DDCKEY_SRCBLT, &black);
    load(files.file("missing.bmp"));
    std::vector<std::string> lines = d3d7::calllog::lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "D3DXCreateTextureFromFile(device, 0x0, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_SF_R5G6B5, NULL, 2, \"" +
                            path + "\", D3DX_FT_LINEAR) = texture#1 \"" + path + "\" {8, 4, D3DX_SF_R5G6B5, 2}");
    EXPECT_EQ(lines[1], "texture#1 \"" + path + "\"->SetColorKey(DDCKEY_SRCBLT, {0x00000000, 0x00000000})");
    EXPECT_EQ(lines[2].substr(lines[2].size() - 19), " = D3DXERR_IFLERROR");
}

TEST(D3DRecordOnlyTextures, ImageFilesAreStillReadForTheirSizes) {
    configureHost();
    D3DXInitialize();
    d3d7::testing::setRendering(Rendering::RecordOnly);
    testing_support::TempDir folder;
    std::vector<uint8_t> pixels(20 * 10 * 3, 128);
    std::string path = folder.file("a.bmp");
    stbi_write_bmp(path.c_str(), 20, 10, 3, pixels.data());
    HWND w = makeWindow(32, 32);
    LPD3DXCONTEXT context = nullptr;
    ASSERT_EQ(D3DXCreateContext(D3DX_DEFAULT, 0, w, D3DX_DEFAULT, D3DX_DEFAULT, &context), S_OK);
    LPDIRECT3DDEVICE7 device = context->GetD3DDevice();
    DWORD width = D3DX_DEFAULT, height = D3DX_DEFAULT, levels = 2;
    D3DX_SURFACEFORMAT format = D3DX_SF_R5G6B5;
    LPDIRECTDRAWSURFACE7 texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFile(device, nullptr, &width, &height, &format, nullptr, &texture, &levels,
                                        const_cast<char*>(path.c_str()), D3DX_FT_LINEAR),
              D3D_OK);
    EXPECT_EQ(width, 32u);
    EXPECT_EQ(height, 16u);
    EXPECT_EQ(levels, 2u);
    EXPECT_EQ(texture->Release(), 0u);
    device->Release();
    EXPECT_EQ(context->Release(), 0u);
    EXPECT_EQ(d3d7::testing::liveObjects(), 0);
    D3DXUninitialize();
    win32::testing::reset();
    d3d7::testing::reset();
}

}  // namespace
}  // namespace d3d7_test
