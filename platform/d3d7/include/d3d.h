// Direct3D 7: the Direct3D object, the device and vertex buffers, with their result codes.
// Interfaces are abstract classes with their methods in the Windows vtable order.
#pragma once

#include "d3dcaps.h"
#include "d3dtypes.h"
#include "ddraw.h"

struct IDirect3D7;
struct IDirect3DDevice7;
struct IDirect3DVertexBuffer7;
typedef IDirect3D7* LPDIRECT3D7;
typedef IDirect3DDevice7* LPDIRECT3DDEVICE7;
typedef IDirect3DVertexBuffer7* LPDIRECT3DVERTEXBUFFER7;

// {F5049E77-4861-11D2-A407-00A0C90629A8}
inline constexpr IID IID_IDirect3D7 = {0xf5049e77, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
// {F5049E79-4861-11D2-A407-00A0C90629A8}
inline constexpr IID IID_IDirect3DDevice7 = {0xf5049e79, 0x4861, 0x11d2, {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
// {F5049E7D-4861-11D2-A407-00A0C90629A8}
inline constexpr IID IID_IDirect3DVertexBuffer7 = {0xf5049e7d, 0x4861, 0x11d2,
                                                   {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};
// Device kinds (IDirect3D7::CreateDevice, D3DDEVICEDESC7::deviceGUID).
inline constexpr IID IID_IDirect3DRGBDevice = {0xa4665c60, 0x2673, 0x11cf, {0xa3, 0x1a, 0x00, 0xaa, 0x00, 0xb9, 0x33, 0x56}};
inline constexpr IID IID_IDirect3DHALDevice = {0x84e63de0, 0x46aa, 0x11cf, {0x81, 0x6f, 0x00, 0x00, 0xc0, 0x20, 0x15, 0x6e}};
inline constexpr IID IID_IDirect3DRefDevice = {0x50936643, 0x13e9, 0x11d1, {0x89, 0xaa, 0x00, 0xa0, 0xc9, 0x05, 0x41, 0x29}};
inline constexpr IID IID_IDirect3DTnLHalDevice = {0xf5049e78, 0x4861, 0x11d2,
                                                  {0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8}};

// ---- Results -------------------------------------------------------------------------------
#define D3D_OK DD_OK
#define D3DERR_BADMAJORVERSION MAKE_DDHRESULT(700)
#define D3DERR_BADMINORVERSION MAKE_DDHRESULT(701)
#define D3DERR_INVALID_DEVICE MAKE_DDHRESULT(705)
#define D3DERR_INITFAILED MAKE_DDHRESULT(706)
#define D3DERR_LIGHT_SET_FAILED MAKE_DDHRESULT(750)
#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(760)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(761)
#define D3DERR_SCENE_BEGIN_FAILED MAKE_DDHRESULT(762)
#define D3DERR_SCENE_END_FAILED MAKE_DDHRESULT(763)
#define D3DERR_INBEGIN MAKE_DDHRESULT(770)
#define D3DERR_NOTINBEGIN MAKE_DDHRESULT(771)
#define D3DERR_INVALIDVERTEXFORMAT MAKE_DDHRESULT(2048)
#define D3DERR_COLORKEYATTACHED MAKE_DDHRESULT(2050)
#define D3DERR_VERTEXBUFFEROPTIMIZED MAKE_DDHRESULT(2060)
#define D3DERR_VBUF_CREATE_FAILED MAKE_DDHRESULT(2061)
#define D3DERR_VERTEXBUFFERLOCKED MAKE_DDHRESULT(2062)
#define D3DERR_VERTEXBUFFERUNLOCKFAILED MAKE_DDHRESULT(2063)
#define D3DERR_ZBUFFER_NOTPRESENT MAKE_DDHRESULT(2070)
#define D3DERR_STENCILBUFFER_NOTPRESENT MAKE_DDHRESULT(2071)
#define D3DERR_WRONGTEXTUREFORMAT MAKE_DDHRESULT(2072)
#define D3DERR_UNSUPPORTEDCOLOROPERATION MAKE_DDHRESULT(2073)
#define D3DERR_UNSUPPORTEDCOLORARG MAKE_DDHRESULT(2074)
#define D3DERR_UNSUPPORTEDALPHAOPERATION MAKE_DDHRESULT(2075)
#define D3DERR_UNSUPPORTEDALPHAARG MAKE_DDHRESULT(2076)
#define D3DERR_TOOMANYOPERATIONS MAKE_DDHRESULT(2077)
#define D3DERR_CONFLICTINGTEXTUREFILTER MAKE_DDHRESULT(2078)
#define D3DERR_UNSUPPORTEDFACTORVALUE MAKE_DDHRESULT(2079)
#define D3DERR_CONFLICTINGRENDERSTATE MAKE_DDHRESULT(2081)
#define D3DERR_UNSUPPORTEDTEXTUREFILTER MAKE_DDHRESULT(2082)
#define D3DERR_TOOMANYPRIMITIVES MAKE_DDHRESULT(2083)
#define D3DERR_INVALIDMATRIX MAKE_DDHRESULT(2084)
#define D3DERR_TOOMANYVERTICES MAKE_DDHRESULT(2085)
#define D3DERR_CONFLICTINGTEXTUREPALETTE MAKE_DDHRESULT(2086)
#define D3DERR_INVALIDSTATEBLOCK MAKE_DDHRESULT(2100)
#define D3DERR_INBEGINSTATEBLOCK MAKE_DDHRESULT(2101)
#define D3DERR_NOTINBEGINSTATEBLOCK MAKE_DDHRESULT(2102)

// ---- Interfaces ----------------------------------------------------------------------------
DECLARE_INTERFACE_(IDirect3D7, IUnknown) {
    STDMETHOD(EnumDevices)(THIS_ LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) PURE;
    STDMETHOD(CreateDevice)(THIS_ REFCLSID kind, LPDIRECTDRAWSURFACE7 renderTarget, LPDIRECT3DDEVICE7* device) PURE;
    STDMETHOD(CreateVertexBuffer)(THIS_ LPD3DVERTEXBUFFERDESC description, LPDIRECT3DVERTEXBUFFER7* buffer,
                                  DWORD flags) PURE;
    STDMETHOD(EnumZBufferFormats)(THIS_ REFCLSID kind, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) PURE;
    STDMETHOD(EvictManagedTextures)(THIS) PURE;
};

DECLARE_INTERFACE_(IDirect3DDevice7, IUnknown) {
    STDMETHOD(GetCaps)(THIS_ LPD3DDEVICEDESC7 description) PURE;
    STDMETHOD(EnumTextureFormats)(THIS_ LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) PURE;
    STDMETHOD(BeginScene)(THIS) PURE;
    STDMETHOD(EndScene)(THIS) PURE;
    STDMETHOD(GetDirect3D)(THIS_ LPDIRECT3D7* direct3D) PURE;
    STDMETHOD(SetRenderTarget)(THIS_ LPDIRECTDRAWSURFACE7 surface, DWORD flags) PURE;
    STDMETHOD(GetRenderTarget)(THIS_ LPDIRECTDRAWSURFACE7* surface) PURE;
    STDMETHOD(Clear)(THIS_ DWORD rectCount, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                     DWORD stencil) PURE;
    STDMETHOD(SetTransform)(THIS_ D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) PURE;
    STDMETHOD(GetTransform)(THIS_ D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) PURE;
    STDMETHOD(SetViewport)(THIS_ LPD3DVIEWPORT7 viewport) PURE;
    STDMETHOD(MultiplyTransform)(THIS_ D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) PURE;
    STDMETHOD(GetViewport)(THIS_ LPD3DVIEWPORT7 viewport) PURE;
    STDMETHOD(SetMaterial)(THIS_ LPD3DMATERIAL7 material) PURE;
    STDMETHOD(GetMaterial)(THIS_ LPD3DMATERIAL7 material) PURE;
    STDMETHOD(SetLight)(THIS_ DWORD index, LPD3DLIGHT7 light) PURE;
    STDMETHOD(GetLight)(THIS_ DWORD index, LPD3DLIGHT7 light) PURE;
    STDMETHOD(SetRenderState)(THIS_ D3DRENDERSTATETYPE state, DWORD value) PURE;
    STDMETHOD(GetRenderState)(THIS_ D3DRENDERSTATETYPE state, LPDWORD value) PURE;
    STDMETHOD(BeginStateBlock)(THIS) PURE;
    STDMETHOD(EndStateBlock)(THIS_ LPDWORD handle) PURE;
    STDMETHOD(PreLoad)(THIS_ LPDIRECTDRAWSURFACE7 texture) PURE;
    STDMETHOD(DrawPrimitive)(THIS_ D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                             DWORD flags) PURE;
    STDMETHOD(DrawIndexedPrimitive)(THIS_ D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                    LPWORD indices, DWORD indexCount, DWORD flags) PURE;
    STDMETHOD(SetClipStatus)(THIS_ LPD3DCLIPSTATUS status) PURE;
    STDMETHOD(GetClipStatus)(THIS_ LPD3DCLIPSTATUS status) PURE;
    STDMETHOD(DrawPrimitiveStrided)(THIS_ D3DPRIMITIVETYPE type, DWORD fvf, LPD3DDRAWPRIMITIVESTRIDEDDATA data,
                                    DWORD vertexCount, DWORD flags) PURE;
    STDMETHOD(DrawIndexedPrimitiveStrided)(THIS_ D3DPRIMITIVETYPE type, DWORD fvf,
                                           LPD3DDRAWPRIMITIVESTRIDEDDATA data, DWORD vertexCount, LPWORD indices,
                                           DWORD indexCount, DWORD flags) PURE;
    STDMETHOD(DrawPrimitiveVB)(THIS_ D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                               DWORD vertexCount, DWORD flags) PURE;
    STDMETHOD(DrawIndexedPrimitiveVB)(THIS_ D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                      DWORD vertexCount, LPWORD indices, DWORD indexCount, DWORD flags) PURE;
    STDMETHOD(ComputeSphereVisibility)(THIS_ LPD3DVECTOR centres, LPD3DVALUE radii, DWORD count, DWORD flags,
                                       LPDWORD results) PURE;
    STDMETHOD(GetTexture)(THIS_ DWORD stage, LPDIRECTDRAWSURFACE7* texture) PURE;
    STDMETHOD(SetTexture)(THIS_ DWORD stage, LPDIRECTDRAWSURFACE7 texture) PURE;
    STDMETHOD(GetTextureStageState)(THIS_ DWORD stage, D3DTEXTURESTAGESTATETYPE state, LPDWORD value) PURE;
    STDMETHOD(SetTextureStageState)(THIS_ DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) PURE;
    STDMETHOD(ValidateDevice)(THIS_ LPDWORD passes) PURE;
    STDMETHOD(ApplyStateBlock)(THIS_ DWORD handle) PURE;
    STDMETHOD(CaptureStateBlock)(THIS_ DWORD handle) PURE;
    STDMETHOD(DeleteStateBlock)(THIS_ DWORD handle) PURE;
    STDMETHOD(CreateStateBlock)(THIS_ D3DSTATEBLOCKTYPE type, LPDWORD handle) PURE;
    STDMETHOD(Load)(THIS_ LPDIRECTDRAWSURFACE7 destination, LPPOINT destinationPoint, LPDIRECTDRAWSURFACE7 source,
                    LPRECT sourceRect, DWORD flags) PURE;
    STDMETHOD(LightEnable)(THIS_ DWORD index, BOOL enable) PURE;
    STDMETHOD(GetLightEnable)(THIS_ DWORD index, BOOL* enabled) PURE;
    STDMETHOD(SetClipPlane)(THIS_ DWORD index, D3DVALUE* plane) PURE;
    STDMETHOD(GetClipPlane)(THIS_ DWORD index, D3DVALUE* plane) PURE;
    STDMETHOD(GetInfo)(THIS_ DWORD id, LPVOID info, DWORD size) PURE;
};

DECLARE_INTERFACE_(IDirect3DVertexBuffer7, IUnknown) {
    STDMETHOD(Lock)(THIS_ DWORD flags, LPVOID* data, LPDWORD size) PURE;
    STDMETHOD(Unlock)(THIS) PURE;
    STDMETHOD(ProcessVertices)(THIS_ DWORD operations, DWORD destinationIndex, DWORD count,
                               LPDIRECT3DVERTEXBUFFER7 source, DWORD sourceIndex, LPDIRECT3DDEVICE7 device,
                               DWORD flags) PURE;
    STDMETHOD(GetVertexBufferDesc)(THIS_ LPD3DVERTEXBUFFERDESC description) PURE;
    STDMETHOD(Optimize)(THIS_ LPDIRECT3DDEVICE7 device, DWORD flags) PURE;
    STDMETHOD(ProcessVerticesStrided)(THIS_ DWORD operations, DWORD destinationIndex, DWORD count,
                                      LPD3DDRAWPRIMITIVESTRIDEDDATA data, DWORD fvf, LPDIRECT3DDEVICE7 device,
                                      DWORD flags) PURE;
};
