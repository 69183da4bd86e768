// The API surface without pictures: making contexts and their failures, reference counts,
// state defaults and refusals, state blocks, lights, vertex buffers and ProcessVertices, and
// the call log of record-only contexts.
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "d3d7_fixture.h"
#include "support.h"

namespace d3d7_test {
namespace {

using d3d7::testing::Rendering;

// ---- Contexts ----------------------------------------------------------------------------------
class D3DContexts : public ::testing::Test {
protected:
    void SetUp() override { configureHost(); }
    void TearDown() override {
        if (context) {
            EXPECT_EQ(context->Release(), 0u);
        }
        EXPECT_EQ(d3d7::testing::liveObjects(), 0);
        D3DXUninitialize();
        win32::testing::reset();
        d3d7::testing::reset();
    }
    HRESULT create(HWND w, DWORD flags = 0, DWORD bits = D3DX_DEFAULT, DWORD width = D3DX_DEFAULT,
                   DWORD height = D3DX_DEFAULT) {
        return D3DXCreateContextEx(D3DX_DEFAULT, flags, w, flags ? w : nullptr, bits, D3DX_DEFAULT, D3DX_DEFAULT,
                                   D3DX_DEFAULT, 1, width, height, D3DX_DEFAULT, &context);
    }
    DDSURFACEDESC2 backBuffer() {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        LPDIRECTDRAWSURFACE7 surface = context->GetBackBuffer(0);
        EXPECT_EQ(surface->GetSurfaceDesc(&d), DD_OK);
        surface->Release();
        return d;
    }
    LPD3DXCONTEXT context = nullptr;
};

TEST_F(D3DContexts, AWindowedContextTakesTheWindowsClientAreaIn32BitColour) {
    D3DXInitialize();
    HWND w = makeWindow(640, 480, WS_OVERLAPPEDWINDOW);
    RECT client;
    GetClientRect(w, &client);
    ASSERT_EQ(create(w), S_OK);
    DDSURFACEDESC2 d = backBuffer();
    EXPECT_EQ(LONG(d.dwWidth), client.right);
    EXPECT_EQ(LONG(d.dwHeight), client.bottom);
    EXPECT_LT(client.right, 640);   // the frame and caption take their share
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 32u);
    EXPECT_EQ(host::backBufferWidth(), client.right);
}

TEST_F(D3DContexts, AFullScreenContextSetsTheRequestedModeAndBackBuffer) {
    D3DXInitialize();
    HWND w = makeWindow(640, 480, 8);
    ASSERT_EQ(create(w, D3DX_CONTEXT_FULLSCREEN, 16, 320, 240), S_OK);
    DDSURFACEDESC2 d = backBuffer();
    EXPECT_EQ(d.dwWidth, 320u);
    EXPECT_EQ(d.dwHeight, 240u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, 0xF800u);
    EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, 0x07E0u);
    EXPECT_EQ(host::backBufferWidth(), 320);
    EXPECT_EQ(host::backBufferHeight(), 240);
    LPDIRECTDRAW7 dd = context->GetDD();
    DDSURFACEDESC2 mode{};
    mode.dwSize = sizeof mode;
    EXPECT_EQ(dd->GetDisplayMode(&mode), DD_OK);
    EXPECT_EQ(mode.dwWidth, 320u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRGBBitCount, 16u);
    dd->Release();
}

TEST_F(D3DContexts, ImpossibleRequestsFailWithD3DXResultsAndTexts) {
    HWND w = makeWindow(64, 64);
    char text[100];
    EXPECT_EQ(create(w), D3DXERR_D3DXNOTSTARTEDYET);
    D3DXGetErrorString(D3DXERR_D3DXNOTSTARTEDYET, sizeof text, text);
    EXPECT_STREQ(text, "D3DXInitialize() must be called first.");
    D3DXInitialize();
    EXPECT_EQ(create(nullptr), D3DXERR_INVALIDPARAMETER);
    EXPECT_EQ(create(w, D3DX_CONTEXT_FULLSCREEN, 15), D3DXERR_INVALIDDEPTH);
    EXPECT_EQ(create(w, D3DX_CONTEXT_FULLSCREEN, 16, 0, 480), D3DXERR_INVALIDMODE);
    EXPECT_EQ(create(w, 0, 16), D3DXERR_INVALIDMODE);   // a window draws in the desktop's colour
    EXPECT_EQ(create(w, D3DX_CONTEXT_OFFSCREEN), D3DXERR_CAPSNOTSUPPORTED);
    EXPECT_EQ(D3DXCreateContextEx(D3DX_DEFAULT, 0, w, nullptr, D3DX_DEFAULT, 4, D3DX_DEFAULT, D3DX_DEFAULT, 1,
                                  D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, nullptr),
              D3DXERR_NULLPOINTER);
    EXPECT_EQ(context, nullptr);
    D3DXGetErrorString(D3DXERR_INVALIDMODE, sizeof text, text);
    EXPECT_STREQ(text, "Display mode is not valid.");
    // The text is cut to the buffer, with its terminating zero.
    D3DXGetErrorString(D3DXERR_INVALIDMODE, 8, text);
    EXPECT_STREQ(text, "Display");
    D3DXGetErrorString(DDERR_INVALIDPARAMS, sizeof text, text);
    EXPECT_STREQ(text, "One or more of the parameters passed to the method are incorrect.");
}

TEST_F(D3DContexts, ADisplayThatRefusesTheModeFailsTheFullScreenContext) {
    configureHost(true);
    D3DXInitialize();
    HWND w = makeWindow(640, 480, 8);
    EXPECT_EQ(create(w, D3DX_CONTEXT_FULLSCREEN, 16, 640, 480), D3DXERR_INVALIDMODE);
    EXPECT_FALSE(host::contextExists());
}

TEST_F(D3DContexts, TheWindowHasOneContextAtATime) {
    D3DXInitialize();
    HWND w = makeWindow(64, 64);
    ASSERT_EQ(create(w), S_OK);
    LPD3DXCONTEXT second = nullptr;
    EXPECT_EQ(D3DXCreateContextEx(D3DX_DEFAULT, 0, w, nullptr, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                  1, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, &second),
              D3DXERR_FRONTBUFFERALREADYEXISTS);
    EXPECT_EQ(context->Release(), 0u);
    context = nullptr;
    EXPECT_FALSE(host::contextExists()) << "the context gives its OpenGL context up";
    ASSERT_EQ(create(w), S_OK);
}

TEST_F(D3DContexts, GettersAddAReferenceAndTheLastReleaseFreesEverything) {
    D3DXInitialize();
    HWND w = makeWindow(64, 64);
    ASSERT_EQ(create(w), S_OK);
    LPDIRECTDRAW7 dd = context->GetDD();
    ULONG ddCount = dd->AddRef();
    dd->Release();
    LPDIRECTDRAW7 dd2 = context->GetDD();
    EXPECT_EQ(dd2->AddRef(), ddCount + 1);
    dd2->Release();
    LPDIRECT3D7 d3d = context->GetD3D();
    ULONG d3dCount = d3d->AddRef();
    d3d->Release();
    LPDIRECT3DDEVICE7 device = context->GetD3DDevice();
    ULONG deviceCount = device->AddRef();
    device->Release();
    EXPECT_GE(ddCount, 2u);
    EXPECT_GE(d3dCount, 2u);
    EXPECT_GE(deviceCount, 2u);
    // Released the way the player shuts down: DirectDraw, Direct3D, device, context.
    dd->Release();
    dd2->Release();
    d3d->Release();
    device->Release();
    EXPECT_EQ(context->Release(), 0u);
    context = nullptr;
    EXPECT_EQ(d3d7::testing::liveObjects(), 0);
}

TEST_F(D3DContexts, UpdateFramePresentsOneFrameWithOrWithoutVsync) {
    D3DXInitialize();
    HWND w = makeWindow(64, 64);
    ASSERT_EQ(create(w), S_OK);
    uint64_t before = host::presentedFrames();
    EXPECT_EQ(context->UpdateFrame(0), S_OK);
    EXPECT_EQ(context->UpdateFrame(D3DX_UPDATE_NOVSYNC), S_OK);
    EXPECT_EQ(host::presentedFrames(), before + 2);
    EXPECT_EQ(context->UpdateFrame(4), D3DXERR_INVALIDPARAMETER);
    EXPECT_EQ(host::presentedFrames(), before + 2);
}

// ---- Device state -----------------------------------------------------------------------------
class D3DDeviceState : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        open(32, 32, Rendering::RecordOnly);
    }
    DWORD renderState(D3DRENDERSTATETYPE s) {
        DWORD v = 0xDEADBEEF;
        EXPECT_EQ(device->GetRenderState(s, &v), D3D_OK);
        return v;
    }
    DWORD stageState(DWORD stage, D3DTEXTURESTAGESTATETYPE s) {
        DWORD v = 0xDEADBEEF;
        EXPECT_EQ(device->GetTextureStageState(stage, s, &v), D3D_OK);
        return v;
    }
};

// Every state the programs set or leave to its default, at the value a new Direct3D 7 device
// starts with.
TEST_F(D3DDeviceState, ANewDeviceHasDirect3DsDefaults) {
    struct Case {
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    const Case cases[] = {
        {D3DRENDERSTATE_ZENABLE, D3DZB_TRUE},   // the context made a depth buffer
        {D3DRENDERSTATE_ZWRITEENABLE, TRUE},
        {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE},
        {D3DRENDERSTATE_LASTPIXEL, FALSE},
        {D3DRENDERSTATE_ALPHABLENDENABLE, FALSE},
        {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
        {D3DRENDERSTATE_ALPHATESTENABLE, FALSE},
        {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRENDERSTATE_ALPHAREF, 0},
        {D3DRENDERSTATE_STENCILENABLE, FALSE},
        {D3DRENDERSTATE_FOGENABLE, FALSE},
        {D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE},
        {D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_NONE},
        {D3DRENDERSTATE_WRAP0, 0},
        {D3DRENDERSTATE_CLIPPING, TRUE},
        {D3DRENDERSTATE_LIGHTING, TRUE},
        {D3DRENDERSTATE_AMBIENT, 0},
        {D3DRENDERSTATE_SPECULARENABLE, FALSE},
        {D3DRENDERSTATE_LOCALVIEWER, TRUE},
        {D3DRENDERSTATE_NORMALIZENORMALS, FALSE},
        {D3DRENDERSTATE_COLORVERTEX, TRUE},
        {D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
        {D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRENDERSTATE_VERTEXBLEND, D3DVBLEND_DISABLE},
        {D3DRENDERSTATE_COLORKEYENABLE, FALSE},
        {D3DRENDERSTATE_DITHERENABLE, FALSE},
    };
    for (const Case& c : cases) EXPECT_EQ(renderState(c.state), c.value) << "render state " << c.state;
    struct StageCase {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE state;
        DWORD value;
    };
    const StageCase stageCases[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {0, D3DTSS_COLORARG2, D3DTA_CURRENT},
        {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
        {0, D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        {0, D3DTSS_TEXCOORDINDEX, 0},
        {0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP},
        {0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP},
        {0, D3DTSS_MAGFILTER, D3DTFG_POINT},
        {0, D3DTSS_MINFILTER, D3DTFN_POINT},
        {0, D3DTSS_MIPFILTER, D3DTFP_NONE},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {1, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {1, D3DTSS_COLORARG2, D3DTA_CURRENT},
        {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {1, D3DTSS_TEXCOORDINDEX, 1},
        {1, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP},
        {1, D3DTSS_MAGFILTER, D3DTFG_POINT},
        {1, D3DTSS_MINFILTER, D3DTFN_POINT},
        {1, D3DTSS_MIPFILTER, D3DTFP_NONE},
        {3, D3DTSS_TEXCOORDINDEX, 3},
    };
    for (const StageCase& c : stageCases)
        EXPECT_EQ(stageState(c.stage, c.state), c.value) << "stage " << c.stage << " state " << c.state;
    D3DVIEWPORT7 vp{};
    EXPECT_EQ(device->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.dwWidth, 32u);
    EXPECT_EQ(vp.dvMaxZ, 1.0f);
}

TEST_F(D3DDeviceState, UnknownStatesAndValuesAreRefusedAndLeaveTheStateAlone) {
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATETYPE(99), 1), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_CULLMODE, 7), DDERR_INVALIDPARAMS);
    EXPECT_EQ(renderState(D3DRENDERSTATE_CULLMODE), DWORD(D3DCULL_CCW));
    // Valid in Direct3D, not drawn by this device: refused, not ignored.
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE), DDERR_UNSUPPORTED);
    EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_PHONG), DDERR_UNSUPPORTED);
    EXPECT_EQ(renderState(D3DRENDERSTATE_SHADEMODE), DWORD(D3DSHADE_GOURAUD));
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATEALPHA_ADDCOLOR),
              D3DERR_UNSUPPORTEDALPHAOPERATION);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_BUMPENVMAP), D3DERR_UNSUPPORTEDCOLOROPERATION);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLORARG1, 7), D3DERR_UNSUPPORTEDCOLORARG);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1), D3D_OK);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP), D3D_OK);
    EXPECT_EQ(stageState(0, D3DTSS_ADDRESSU), DWORD(D3DTADDRESS_CLAMP));
    EXPECT_EQ(stageState(0, D3DTSS_ADDRESSV), DWORD(D3DTADDRESS_CLAMP));
    D3DMATRIX m = identity();
    EXPECT_EQ(device->SetTransform(D3DTRANSFORMSTATETYPE(7), &m), DDERR_INVALIDPARAMS);
    D3DVIEWPORT7 outside{16, 16, 32, 32, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&outside), DDERR_INVALIDPARAMS);
}

TEST_F(D3DDeviceState, TransformsAreKeptAndMultipliedInDirect3DOrder) {
    D3DMATRIX t = translation(1, 2, 3), s = identity();
    s._11 = 2;
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, &t);
    device->MultiplyTransform(D3DTRANSFORMSTATE_WORLD, &s);   // s first, then t
    D3DMATRIX got;
    device->GetTransform(D3DTRANSFORMSTATE_WORLD, &got);
    EXPECT_EQ(got._11, 2.0f);
    EXPECT_EQ(got._41, 1.0f);
    EXPECT_EQ(got._43, 3.0f);
}

TEST_F(D3DDeviceState, LightsAreKeptByIndexAndEnablingAnUnsetOneMakesTheDefaultLight) {
    D3DLIGHT7 point{};
    point.dltType = D3DLIGHT_POINT;
    point.dvRange = 10;
    point.dvAttenuation0 = 1;
    EXPECT_EQ(device->SetLight(99, &point), D3D_OK);
    D3DLIGHT7 got{};
    EXPECT_EQ(device->GetLight(99, &got), D3D_OK);
    EXPECT_EQ(got.dvRange, 10.0f);
    BOOL enabled = TRUE;
    EXPECT_EQ(device->GetLightEnable(99, &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(device->GetLight(5, &got), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->LightEnable(5, TRUE), D3D_OK);
    EXPECT_EQ(device->GetLight(5, &got), D3D_OK);
    EXPECT_EQ(got.dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(got.dcvDiffuse.r, 1.0f);
    EXPECT_EQ(got.dvDirection.z, 1.0f);
    // Disabling lights never set (as a scene switching 0..99 off does) is fine too.
    for (DWORD i = 0; i < 100; ++i) EXPECT_EQ(device->LightEnable(i, FALSE), D3D_OK);

    D3DLIGHT7 bad = point;
    bad.dltType = D3DLIGHT_PARALLELPOINT;
    EXPECT_EQ(device->SetLight(1, &bad), DDERR_INVALIDPARAMS);
    bad = point;
    bad.dvRange = -1;
    EXPECT_EQ(device->SetLight(1, &bad), DDERR_INVALIDPARAMS);
}

TEST_F(D3DDeviceState, MoreLightsThanTheDeviceLightsAtOnceAreRefused) {
    D3DDEVICEDESC7 caps{};
    ASSERT_EQ(device->GetCaps(&caps), D3D_OK);
    ASSERT_GE(caps.dwMaxActiveLights, 8u);
    for (DWORD i = 0; i < caps.dwMaxActiveLights; ++i) EXPECT_EQ(device->LightEnable(i, TRUE), D3D_OK);
    EXPECT_EQ(device->LightEnable(caps.dwMaxActiveLights, TRUE), D3DERR_LIGHT_SET_FAILED);
    EXPECT_EQ(device->LightEnable(0, TRUE), D3D_OK) << "enabling an enabled light adds none";
    EXPECT_EQ(device->LightEnable(0, FALSE), D3D_OK);
    EXPECT_EQ(device->LightEnable(caps.dwMaxActiveLights, TRUE), D3D_OK);
}

TEST_F(D3DDeviceState, DrawingNeedsAScene) {
    const D3DTLVERTEX v[3] = {};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, (LPVOID)v, 3, 0), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, (LPVOID)v, 3, 0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, (LPVOID)v, 2, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x1006, (LPVOID)v, 3, 0), D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

// ---- State blocks ----------------------------------------------------------------------------
class D3DStateBlocks : public D3DDeviceState {};

TEST_F(D3DStateBlocks, RecordingKeepsTheCallsWithoutApplyingThemAndApplyReplaysThem) {
    D3DMATERIAL7 material{};
    material.diffuse.r = 0.5f;
    ASSERT_EQ(device->BeginStateBlock(), D3D_OK);
    EXPECT_EQ(device->BeginStateBlock(), D3DERR_INBEGINSTATEBLOCK);
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);   // the last value counts
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetMaterial(&material);
    device->LightEnable(3, TRUE);
    DWORD block = 0;
    ASSERT_EQ(device->EndStateBlock(&block), D3D_OK);
    EXPECT_NE(block, 0u);

    EXPECT_EQ(renderState(D3DRENDERSTATE_SHADEMODE), DWORD(D3DSHADE_GOURAUD)) << "recorded, not applied";
    EXPECT_EQ(stageState(0, D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
    BOOL enabled;
    EXPECT_EQ(device->GetLightEnable(3, &enabled), DDERR_INVALIDPARAMS);
    EXPECT_EQ(d3d7::calllog::stateBlock(device, block),
              (std::vector<std::string>{
                  "SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT)",
                  "SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE)",
                  "SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2)",
                  "SetMaterial({diffuse {0.5, 0, 0, 0}, ambient {0, 0, 0, 0}, specular {0, 0, 0, 0}, emissive {0, 0, "
                  "0, 0}, power 0})",
                  "LightEnable(3, TRUE)",
              }));

    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    ASSERT_EQ(device->ApplyStateBlock(block), D3D_OK);
    EXPECT_EQ(renderState(D3DRENDERSTATE_SHADEMODE), DWORD(D3DSHADE_FLAT));
    EXPECT_EQ(renderState(D3DRENDERSTATE_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(stageState(0, D3DTSS_COLOROP), DWORD(D3DTOP_SELECTARG2));
    D3DMATERIAL7 got{};
    device->GetMaterial(&got);
    EXPECT_EQ(got.diffuse.r, 0.5f);
    EXPECT_EQ(device->GetLightEnable(3, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);

    EXPECT_EQ(device->DeleteStateBlock(block), D3D_OK);
    EXPECT_EQ(device->ApplyStateBlock(block), D3DERR_INVALIDSTATEBLOCK);
    EXPECT_EQ(device->DeleteStateBlock(block), D3DERR_INVALIDSTATEBLOCK);
    EXPECT_EQ(device->EndStateBlock(&block), D3DERR_NOTINBEGINSTATEBLOCK);
}

TEST_F(D3DStateBlocks, CreateAndCaptureTakeTheCurrentValues) {
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    DWORD all = 0, pixel = 0;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &all), D3D_OK);
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_PIXELSTATE, &pixel), D3D_OK);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    device->ApplyStateBlock(all);
    EXPECT_EQ(renderState(D3DRENDERSTATE_CULLMODE), DWORD(D3DCULL_NONE));
    EXPECT_EQ(renderState(D3DRENDERSTATE_SRCBLEND), DWORD(D3DBLEND_ONE));
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    device->ApplyStateBlock(pixel);   // culling is a vertex state, blending a pixel state
    EXPECT_EQ(renderState(D3DRENDERSTATE_CULLMODE), DWORD(D3DCULL_CW));
    EXPECT_EQ(renderState(D3DRENDERSTATE_SRCBLEND), DWORD(D3DBLEND_ONE));
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_DESTCOLOR);
    device->CaptureStateBlock(pixel);
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    device->ApplyStateBlock(pixel);
    EXPECT_EQ(renderState(D3DRENDERSTATE_SRCBLEND), DWORD(D3DBLEND_DESTCOLOR));
    device->DeleteStateBlock(all);
    device->DeleteStateBlock(pixel);
}

// ---- Vertex buffers --------------------------------------------------------------------------
class D3DVertexBuffers : public D3DDeviceState {};

TEST_F(D3DVertexBuffers, DescriptionsAreCheckedAsDirect3DChecksThem) {
    LPDIRECT3DVERTEXBUFFER7 vb = nullptr;
    D3DVERTEXBUFFERDESC d{sizeof d, D3DVBCAPS_WRITEONLY, D3DFVF_VERTEX, 0};
    EXPECT_EQ(direct3D->CreateVertexBuffer(&d, &vb, 0), DDERR_INVALIDPARAMS) << "no vertices";
    d.dwNumVertices = 70000;
    EXPECT_EQ(direct3D->CreateVertexBuffer(&d, &vb, 0), DDERR_INVALIDPARAMS) << "more than D3DMAXNUMVERTICES";
    d.dwNumVertices = 4;
    d.dwSize = 12;
    EXPECT_EQ(direct3D->CreateVertexBuffer(&d, &vb, 0), DDERR_INVALIDPARAMS);
    d.dwSize = sizeof d;
    d.dwFVF = D3DFVF_XYZRHW | D3DFVF_NORMAL;
    EXPECT_EQ(direct3D->CreateVertexBuffer(&d, &vb, 0), D3DERR_INVALIDVERTEXFORMAT);
    EXPECT_EQ(vb, nullptr);
    d.dwFVF = D3DFVF_TLVERTEX;
    ASSERT_EQ(direct3D->CreateVertexBuffer(&d, &vb, 0), D3D_OK);
    D3DVERTEXBUFFERDESC got{};
    EXPECT_EQ(vb->GetVertexBufferDesc(&got), D3D_OK);
    EXPECT_EQ(got.dwSize, 16u);
    EXPECT_EQ(got.dwCaps, DWORD(D3DVBCAPS_WRITEONLY));
    EXPECT_EQ(got.dwFVF, DWORD(D3DFVF_TLVERTEX));
    EXPECT_EQ(got.dwNumVertices, 4u);
    EXPECT_EQ(vb->AddRef(), 2u);
    EXPECT_EQ(vb->Release(), 1u);
    EXPECT_EQ(vb->Release(), 0u);
}

TEST_F(D3DVertexBuffers, LockingGivesTheVerticesAndAnOptimizedBufferCanNoLongerBeLocked) {
    const PositionNormalUV v[2] = {{1, 2, 3, 0, 0, -1, 0.5f, 0.25f}, {4, 5, 6, 0, 1, 0, 1, 1}};
    LPDIRECT3DVERTEXBUFFER7 vb = makeBuffer(D3DFVF_VERTEX, v, 2);
    void* data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(vb->Lock(DDLOCK_READONLY, &data, &size), D3D_OK);
    EXPECT_EQ(size, 64u);
    EXPECT_EQ(std::memcmp(data, v, 64), 0);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_LINELIST, vb, 0, 2, 0), D3DERR_VERTEXBUFFERLOCKED);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_VERTEXBUFFERUNLOCKFAILED);
    EXPECT_EQ(vb->Optimize(device, 0), D3D_OK);
    EXPECT_EQ(vb->Optimize(device, 0), D3DERR_VERTEXBUFFEROPTIMIZED);
    EXPECT_EQ(vb->Lock(DDLOCK_WRITEONLY, &data, &size), D3DERR_VERTEXBUFFEROPTIMIZED);
    D3DVERTEXBUFFERDESC got{};
    vb->GetVertexBufferDesc(&got);
    EXPECT_TRUE(got.dwCaps & D3DVBCAPS_OPTIMIZED);
    EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_LINELIST, vb, 0, 2, 0), D3D_OK) << "optimized buffers still draw";
    WORD outOfRange[2] = {0, 2};
    EXPECT_EQ(device->DrawIndexedPrimitiveVB(D3DPT_LINELIST, vb, 0, 2, outOfRange, 2, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_LINELIST, vb, 1, 2, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

// Screen position per the viewport: x = X + (1 + x/w) W/2, y = Y + (1 - y/w) H/2, z = z/w,
// rhw = 1/w, with world, view and projection applied first.
TEST_F(D3DVertexBuffers, ProcessVerticesWritesScreenPositionsAndReciprocalW) {
    // With a 90-degree field of view, aspect 1, near 1 and far 11: clip x = x, y = y,
    // z = 1.1 z - 1.1, w = z.
    D3DMATRIX projection = perspective(float(M_PI / 2), 1.0f, 1.0f, 11.0f), world = translation(0, 0, 1);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    const PositionNormalUV v[3] = {{1, 0.5f, 3, 0, 0, -1, 0.25f, 0.75f},   // at z 4 once moved
                                   {-2, -2, 1, 0, 0, -1, 0, 0},            // at z 2
                                   {0, 0, -3, 0, 0, -1, 0, 0}};            // behind the eye
    LPDIRECT3DVERTEXBUFFER7 source = makeBuffer(D3DFVF_VERTEX, v, 3);
    D3DVERTEXBUFFERDESC d{sizeof d, D3DVBCAPS_SYSTEMMEMORY, D3DFVF_TLVERTEX, 3};
    LPDIRECT3DVERTEXBUFFER7 out = nullptr;
    ASSERT_EQ(direct3D->CreateVertexBuffer(&d, &out, 0), D3D_OK);
    toRelease.push_back(out);
    ASSERT_EQ(out->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_CLIP, 0, 3, source, 0, device, 0), D3D_OK);
    D3DTLVERTEX* t = nullptr;
    ASSERT_EQ(out->Lock(DDLOCK_READONLY, reinterpret_cast<void**>(&t), nullptr), D3D_OK);
    // 32 x 32 viewport: (1, 0.5, 4) -> x = (1 + 1/4) 16 = 20, y = (1 - 0.5/4) 16 = 14.
    EXPECT_FLOAT_EQ(t[0].sx, 20.0f);
    EXPECT_FLOAT_EQ(t[0].sy, 14.0f);
    EXPECT_FLOAT_EQ(t[0].sz, (1.1f * 4 - 1.1f) / 4);
    EXPECT_FLOAT_EQ(t[0].rhw, 0.25f);
    EXPECT_EQ(t[0].color, 0xFFFFFFFFu) << "no diffuse colour in the source: white";
    EXPECT_EQ(t[0].specular, 0u);
    EXPECT_EQ(t[0].tu, 0.25f);
    EXPECT_EQ(t[0].tv, 0.75f);
    // (-2, -2, 2) lies outside the frustum but in front of the eye: still projected.
    EXPECT_FLOAT_EQ(t[1].sx, 0.0f);
    EXPECT_FLOAT_EQ(t[1].sy, 32.0f);
    // Behind the eye nothing can be projected: clip-space values, z below 0.
    EXPECT_LT(t[2].sz, 0.0f);
    EXPECT_FLOAT_EQ(t[2].rhw, -2.0f);
    out->Unlock();

    // The viewport moves and scales the result, depth included: z lands in MinZ..MaxZ.
    D3DVIEWPORT7 vp{8, 4, 16, 16, 0.25f, 0.75f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(out->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_CLIP, 0, 2, source, 0, device, 0), D3D_OK);
    out->Lock(DDLOCK_READONLY, reinterpret_cast<void**>(&t), nullptr);
    EXPECT_FLOAT_EQ(t[0].sx, 8 + 1.25f * 8);
    EXPECT_FLOAT_EQ(t[0].sy, 4 + 0.875f * 8);
    EXPECT_FLOAT_EQ(t[0].sz, 0.25f + 0.5f * (1.1f * 4 - 1.1f) / 4);
    EXPECT_FLOAT_EQ(t[1].sz, 0.25f + 0.5f * (1.1f * 2 - 1.1f) / 2);
    EXPECT_FLOAT_EQ(t[0].rhw, 0.25f) << "the depth range leaves 1/w alone";
    out->Unlock();

    EXPECT_EQ(out->ProcessVertices(D3DVOP_TRANSFORM, 2, 2, source, 0, device, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(out->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_LIGHT, 0, 1, source, 0, device, 0), DDERR_UNSUPPORTED);
    EXPECT_EQ(source->ProcessVertices(D3DVOP_TRANSFORM, 0, 1, out, 0, device, 0), D3DERR_INVALIDVERTEXFORMAT);
}

// ---- Call log and record-only devices ---------------------------------------------------------
class D3DCallLog : public D3DTest {};

TEST_F(D3DCallLog, ARecordOnlyDeviceLogsCallsInOrderWithoutOpenGL) {
    d3d7::calllog::enable(true);
    open(32, 32, Rendering::RecordOnly);
    EXPECT_FALSE(host::contextExists());
    const PositionNormalUV v[3] = {};
    LPDIRECT3DVERTEXBUFFER7 vb = makeBuffer(D3DFVF_VERTEX, v, 3, D3DVBCAPS_WRITEONLY);
    vb->Optimize(device, 0);
    device->BeginStateBlock();
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    DWORD block;
    device->EndStateBlock(&block);
    WORD indices[3] = {0, 1, 2};
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
    device->ApplyStateBlock(block);
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1);
    device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, 0, 3, indices, 3, 0);
    device->EndScene();
    context->DrawDebugText(0.02f, 0.5f, 0xFFFFFF, const_cast<char*>("FPS: 30.00"));
    context->UpdateFrame(D3DX_UPDATE_NOVSYNC);
    EXPECT_EQ(d3d7::calllog::lines(),
              (std::vector<std::string>{
                  "D3DXCreateContextEx(D3DX_DEFAULT, 0, window, NULL, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, "
                  "D3DX_DEFAULT, 1, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT) = context",
                  "d3d->CreateVertexBuffer({16, D3DVBCAPS_WRITEONLY, 0x112, 3}, 0x0) = vb#1",
                  "vb#1->Lock(DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS)",
                  "vb#1->Unlock()",
                  "vb#1->Optimize(0)",
                  "BeginStateBlock()",
                  "SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT)",
                  "EndStateBlock() = block#1",
                  "Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1, 0)",
                  "BeginScene()",
                  "ApplyStateBlock(block#1)",
                  "SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE)",
                  "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW)",
                  "SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1)",
                  "DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb#1, 0, 3, indices, 3, 0)",
                  "EndScene()",
                  "context->DrawDebugText(0.02, 0.5, 0x00FFFFFF, \"FPS: 30.00\")",
                  "context->UpdateFrame(D3DX_UPDATE_NOVSYNC)",
              }));
    EXPECT_EQ(d3d7::calllog::linesStartingWith("Draw").size(), 1u);
    // Nothing was drawn, so nothing can be read back.
    LPDIRECTDRAWSURFACE7 target = nullptr;
    device->GetRenderTarget(&target);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    EXPECT_EQ(target->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DDERR_UNSUPPORTED);
    target->Release();
}

TEST_F(D3DCallLog, FailedCallsEndWithTheirResult) {
    d3d7::calllog::enable(true);
    open(32, 32, Rendering::RecordOnly);
    d3d7::calllog::clear();
    device->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
    device->ApplyStateBlock(42);
    EXPECT_EQ(d3d7::calllog::lines(), (std::vector<std::string>{
                                          "SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE) = DDERR_UNSUPPORTED",
                                          "ApplyStateBlock(block#42) = D3DERR_INVALIDSTATEBLOCK",
                                      }));
}

TEST_F(D3DCallLog, DemoD3DTraceWritesEveryCallAndAFrameLineAtEachUpdateFrame) {
    testing_support::TempDir folder;
    std::string path = folder.file("trace.txt");
    configureHost(false, path);
    D3DXInitialize();
    open(32, 32, Rendering::RecordOnly);
    device->BeginScene();
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    device->EndScene();
    context->UpdateFrame(0);
    device->LightEnable(0, FALSE);
    context->UpdateFrame(0);
    std::string trace = testing_support::readFile(path);
    EXPECT_NE(trace.find("BeginScene()\nSetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE)\nEndScene()\n"
                         "context->UpdateFrame(0)\n-- frame 0\nLightEnable(0, FALSE)\ncontext->UpdateFrame(0)\n-- frame 1\n"),
              std::string::npos)
        << trace;
    EXPECT_TRUE(d3d7::calllog::lines().empty()) << "the in-process log stays off";
}

TEST_F(D3DCallLog, TheTraceSettingsAreReadFromTheEnvironment) {
    std::map<std::string, std::string> environment = {{"DEMO_D3D_TRACE", "/tmp/t.txt"}, {"DEMO_D3D_TRACE_FRAMES", "1,5-6"}};
    auto get = [&](const char* name) -> const char* {
        auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    host::Settings s = host::parseSettings(get);
    EXPECT_EQ(s.d3dTracePath, "/tmp/t.txt");
    EXPECT_FALSE(s.d3dTraceFrames.contains(0));
    EXPECT_TRUE(s.d3dTraceFrames.contains(1));
    EXPECT_TRUE(s.d3dTraceFrames.contains(6));
    environment["DEMO_D3D_TRACE_FRAMES"] = "6-5";
    EXPECT_THROW(host::parseSettings(get), host::SettingsError);
}

TEST_F(D3DCallLog, OnlyTheChosenFramesAreTraced) {
    testing_support::TempDir folder;
    std::string path = folder.file("trace.txt");
    host::Settings s;
    s.video = host::VideoBackend::Headless;
    s.fixedClock = true;
    s.fixedFramesPerSecond = 30;
    s.d3dTracePath = path;
    s.d3dTraceFrames = host::FrameSet::parse("1");
    host::overrideSettings(s);
    open(32, 32, Rendering::RecordOnly);
    device->LightEnable(0, TRUE);
    context->UpdateFrame(0);
    device->LightEnable(1, TRUE);
    context->UpdateFrame(0);
    device->LightEnable(2, TRUE);
    context->UpdateFrame(0);
    EXPECT_EQ(testing_support::readFile(path), "LightEnable(1, TRUE)\ncontext->UpdateFrame(0)\n-- frame 1\n");
}

}  // namespace
}  // namespace d3d7_test
