// The graphics core on a real (headless) device: the grid, index buffers, the projection and
// the per-frame calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/material.h"
#include "shell/debuglog.h"
#include "support.h"

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

TEST_F(KorvoDevice, TheProjectionIsFixed) {
    D3DMATRIX projection;
    gfx.device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    const uint32_t bits = 0x3F49F49E;
    float fov;
    std::memcpy(&fov, &bits, sizeof fov);
    float cot = std::cos(fov / 2) / std::sin(fov / 2);
    EXPECT_FLOAT_EQ(projection._11, 0.75f * cot);
    EXPECT_FLOAT_EQ(projection._22, cot);
    EXPECT_FLOAT_EQ(projection._33, 2000.0f / (2000.0f - 0.18f));
    EXPECT_FLOAT_EQ(projection._34, 1.0f);
    EXPECT_FLOAT_EQ(projection._43, -0.18f * 2000.0f / (2000.0f - 0.18f));
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

}  // namespace
