// The graphics core on a real (headless) device: the grid, index buffers, the projection and
// the per-frame calls.
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "d3d7/testing.h"
#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/material.h"
#include "shell/debuglog.h"
#include "shell/list.h"
#include "shell/release.h"
#include "support.h"

extern List textureCache;

namespace {

using testing_support::readFile;
using testing_support::TempDir;

class KorvoDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
        gfx.initDevice(16);
    }

    static LPDIRECT3DVERTEXBUFFER7 vertexBuffer(DWORD vertices) {
        D3DVERTEXBUFFERDESC description;
        description.dwSize = 16;
        description.dwCaps = D3DVBCAPS_WRITEONLY;
        description.dwFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
        description.dwNumVertices = vertices;
        LPDIRECT3DVERTEXBUFFER7 buffer = nullptr;
        gfx.direct3D->CreateVertexBuffer(&description, &buffer, 0);
        return buffer;
    }
};

TEST_F(KorvoDevice, GridLinesCoverMinusFiftyToFifty) {
    Grid unit(1.0f);
    EXPECT_EQ(unit.vertexCount, 400);
    Grid three(3.0f);
    EXPECT_EQ(three.vertexCount, 136);
    D3DVERTEXBUFFERDESC description;
    description.dwSize = sizeof description;
    three.vertexBuffer->GetVertexBufferDesc(&description);
    EXPECT_EQ(description.dwNumVertices, 136u);
    EXPECT_EQ(description.dwFVF, DWORD(0x112));
    EXPECT_FLOAT_EQ(three.material->material.emissive.g, 0.4f);
    EXPECT_FLOAT_EQ(three.material->material.diffuse.r, 0.0f);
    gfx.device->BeginScene();
    three.draw();   // draws without the fatal "Drawing grid FAILED"
    gfx.device->EndScene();
}

TEST_F(KorvoDevice, IndexBufferHoldsZeroedIndicesAndLogsItsSize) {
    TempDir dir;
    debugLog.open(dir.file("debug.log"));
    {
        IndexBuffer buffer(3, vertexBuffer(3));
        EXPECT_EQ(buffer.getCount(), 3);
        EXPECT_EQ(buffer.getIndices()[0] + buffer.getIndices()[1] + buffer.getIndices()[2], 0);
        buffer.dump();
    }
    debugLog.close();
    std::string log = readFile(dir.file("debug.log"));
    EXPECT_NE(log.find("indexbuffer.cpp:\nIndexbuffer: 3 vertices\n"), std::string::npos) << log;
}

TEST_F(KorvoDevice, IndexBufferRefusesBadCountsBeforeAMissingHost) {
    EXPECT_EXIT(IndexBuffer(0, vertexBuffer(3)), ::testing::ExitedWithCode(20),
                "indexbuffer must contain at least a three vertices");
    EXPECT_EXIT(IndexBuffer(4, vertexBuffer(3)), ::testing::ExitedWithCode(20),
                "indexbuffer must contain the number of vertices dividable by three");
    EXPECT_EXIT(IndexBuffer(0, nullptr), ::testing::ExitedWithCode(20), "at least a three vertices");
    EXPECT_EXIT(IndexBuffer(6, nullptr), ::testing::ExitedWithCode(20), "host vertex buffer must be a valid vertex buffer");
}

// The projection the graphics core sets, read back from the device and taken apart: a field
// of view of about 45.2 degrees (the float 0.788888812), aspect 0.75 whatever the window's
// size, near plane 0.18, far plane 2000.
TEST_F(KorvoDevice, TheFixedProjectionAngle) {
    gfx.setProjection();
    D3DMATRIX m;
    ASSERT_EQ(gfx.device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &m), D3D_OK);
    double fieldOfView = 2.0 * std::atan(1.0 / m._22);
    EXPECT_NEAR(fieldOfView * 180.0 / M_PI, 45.2, 0.01);
    EXPECT_NEAR(fieldOfView, 0.788888812, 3e-7);
    EXPECT_NEAR(m._11 / m._22, 0.75, 1e-6);
    double q = m._33, nearPlane = -m._43 / q, farPlane = q * nearPlane / (q - 1.0);
    EXPECT_NEAR(nearPlane, 0.18, 1e-5);
    EXPECT_NEAR(farPlane, 2000.0, 5.0);   // q - 1 keeps few significant bits
    EXPECT_EQ(m._34, 1.0f);
    for (float zero : {m._12, m._13, m._14, m._21, m._23, m._24, m._31, m._32, m._41, m._42, m._44})
        EXPECT_EQ(zero, 0.0f);
}

TEST_F(KorvoDevice, MaterialsKeepTransparencyAsD3DAlpha) {
    Material material;
    EXPECT_STREQ(material.name, "color");
    EXPECT_FLOAT_EQ(material.material.diffuse.r, 1.0f);
    material.setTransparency(0.0f);
    EXPECT_FALSE(material.isTransparent());
    material.setTransparency(0.5f);
    material.setDissolve(0.5f);
    EXPECT_FLOAT_EQ(material.combinedTransparency, 0.75f);
    EXPECT_FLOAT_EQ(material.material.diffuse.a, 0.75f);
    material.setDissolve(1.0f);
    EXPECT_FLOAT_EQ(material.combinedTransparency, 1.0f);
    EXPECT_TRUE(material.isTransparent());
}

// The cache keeps each image loaded once, with a reference of its own that outlives the
// materials; giving the run's resources back releases it.
TEST_F(KorvoDevice, TheTextureCacheGivesItsTexturesBack) {
    TempDir dir;
    const std::string image = dir.file("stripes.png");
    const uint8_t pixels[4 * 4 * 3] = {255, 0, 0, 0, 255, 0};
    ASSERT_NE(stbi_write_png(image.c_str(), 4, 4, 3, pixels, 4 * 3), 0);
    long before = d3d7::testing::liveObjects();
    {
        Material first(image.c_str(), -1, -1, 1), second(image.c_str(), -1, -1, 1);
        EXPECT_EQ(first.baseTexture, second.baseTexture);
    }
    ASSERT_EQ(textureCache.getCount(), 1);
    EXPECT_GT(d3d7::testing::liveObjects(), before) << "the cache holds the texture";
    releaseScenesAndTextures();
    EXPECT_EQ(textureCache.getCount(), 0);
    EXPECT_EQ(d3d7::testing::liveObjects(), before);
}

}  // namespace
