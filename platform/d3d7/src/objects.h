// The Direct3D, DirectDraw and D3DX objects of the stand-in. Each keeps its API state and
// reference count; drawing goes through the Renderer. One source file per object.
// Private to platform/d3d7.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "format.h"
#include "internal.h"
#include "renderer.h"
#include "state.h"

namespace d3d7 {

class Device;
class Direct3D;
class VertexBuffer;
class DirectDraw;

// ---- Surfaces: textures and the back buffer -----------------------------------------------
class Surface : public ComObject<IDirectDrawSurface7> {
public:
    // A texture with its mip chain; `levels` counts the top level. `sourceName` (the image
    // file) only names it in the call log.
    static Surface* createTexture(std::shared_ptr<Renderer> renderer, const PixelFormat& format, int width,
                                  int height, int levels, const std::string& sourceName);
    // The render target of a context.
    static Surface* createBackBuffer(std::shared_ptr<Renderer> renderer, const PixelFormat& format, int width,
                                     int height);
    ~Surface() override;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDirectDrawSurface7
    HRESULT STDMETHODCALLTYPE AddAttachedSurface(LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE AddOverlayDirtyRect(LPRECT) override;
    HRESULT STDMETHODCALLTYPE Blt(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDBLTFX) override;
    HRESULT STDMETHODCALLTYPE BltBatch(LPDDBLTBATCH, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE7, LPRECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) override;
    HRESULT STDMETHODCALLTYPE EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE Flip(LPDIRECTDRAWSURFACE7, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) override;
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS2 caps) override;
    HRESULT STDMETHODCALLTYPE GetClipper(LPDIRECTDRAWCLIPPER*) override;
    HRESULT STDMETHODCALLTYPE GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC*) override;
    HRESULT STDMETHODCALLTYPE GetFlipStatus(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetOverlayPosition(LPLONG, LPLONG) override;
    HRESULT STDMETHODCALLTYPE GetPalette(LPDIRECTDRAWPALETTE*) override;
    HRESULT STDMETHODCALLTYPE GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceDesc(LPDDSURFACEDESC2 description) override;
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTDRAW, LPDDSURFACEDESC2) override;
    HRESULT STDMETHODCALLTYPE IsLost() override;
    HRESULT STDMETHODCALLTYPE Lock(LPRECT rect, LPDDSURFACEDESC2 description, DWORD flags, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override;
    HRESULT STDMETHODCALLTYPE Restore() override;
    HRESULT STDMETHODCALLTYPE SetClipper(LPDIRECTDRAWCLIPPER) override;
    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT STDMETHODCALLTYPE SetOverlayPosition(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE SetPalette(LPDIRECTDRAWPALETTE) override;
    HRESULT STDMETHODCALLTYPE Unlock(LPRECT rect) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDOVERLAYFX) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayDisplay(DWORD) override;
    HRESULT STDMETHODCALLTYPE UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE7) override;
    HRESULT STDMETHODCALLTYPE GetDDInterface(LPVOID*) override;
    HRESULT STDMETHODCALLTYPE PageLock(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE PageUnlock(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetSurfaceDesc(LPDDSURFACEDESC2, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, LPVOID, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, LPVOID, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override;
    HRESULT STDMETHODCALLTYPE GetUniquenessValue(LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE ChangeUniquenessValue() override;
    HRESULT STDMETHODCALLTYPE SetPriority(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetPriority(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE SetLOD(DWORD) override;
    HRESULT STDMETHODCALLTYPE GetLOD(LPDWORD) override;

    bool isTexture() const { return kind_ == Kind::Texture; }
    bool isSublevel() const { return root_ != this; }
    const std::string& logName() const { return logName_; }
    const PixelFormat& format() const { return *format_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int levelCount() const { return storage_ ? int(storage_->levels.size()) : 1; }
    // The level's pixels in the surface's format, rows top first, `pitch` bytes apart.
    uint8_t* pixels() { return storage_ ? storage_->levels[level_].data() : nullptr; }
    int pitch() const { return width_ * format_->bytesPerPixel; }
    // Sends every level to the renderer (after D3DX filled them).
    void uploadAllLevels();
    // How a texture stage sees this texture (its top level); with colour keying on, the keyed
    // copies are made (again) when the texels or the key changed since they were last made.
    StageTexture stageTexture(bool colorKeyEnable);

private:
    enum class Kind { Texture, BackBuffer };
    struct Storage {
        std::shared_ptr<Renderer> renderer;
        uint32_t texture = 0;
        std::vector<std::vector<uint8_t>> levels;
        uint64_t version = 0;   // counts the uploads of texels
        // The copies a colour key draws with (see StageTexture), made for `keyedVersion` of the
        // texels and the key `keyedWith`.
        uint32_t keyed = 0, coverage = 0;
        uint64_t keyedVersion = 0;
        DDCOLORKEY keyedWith{};
    };

    Surface(Kind kind, std::shared_ptr<Renderer> renderer, const PixelFormat& format, int width, int height);
    const char* where(const char* method) const;
    void makeKeyedCopies();
    void destroyKeyedCopies();

    Kind kind_;
    std::shared_ptr<Renderer> renderer_;
    const PixelFormat* format_;
    int width_, height_;
    std::string logName_;
    // Textures: the root owns the storage shared by its levels and the level surfaces below it.
    std::shared_ptr<Storage> storage_;
    int level_ = 0;
    Surface* root_ = this;
    std::vector<Surface*> sublevels_;   // owned by the root
    Surface* next_ = nullptr;            // the next smaller level
    bool hasSourceKey_ = false;
    DDCOLORKEY sourceKey_{};
    bool locked_ = false;
    DWORD lockFlags_ = 0;
    std::vector<uint8_t> lockedTarget_;   // back buffer contents while locked
    DWORD uniqueness_ = 1;
};

// ---- Vertex buffers ------------------------------------------------------------------------
class VertexBuffer : public ComObject<IDirect3DVertexBuffer7> {
public:
    VertexBuffer(std::shared_ptr<Renderer> renderer, const D3DVERTEXBUFFERDESC& description, const VertexLayout& layout);
    ~VertexBuffer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    HRESULT STDMETHODCALLTYPE Lock(DWORD flags, LPVOID* data, LPDWORD size) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE ProcessVertices(DWORD operations, DWORD destinationIndex, DWORD count,
                                              LPDIRECT3DVERTEXBUFFER7 source, DWORD sourceIndex,
                                              LPDIRECT3DDEVICE7 device, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetVertexBufferDesc(LPD3DVERTEXBUFFERDESC description) override;
    HRESULT STDMETHODCALLTYPE Optimize(LPDIRECT3DDEVICE7 device, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE ProcessVerticesStrided(DWORD, DWORD, DWORD, LPD3DDRAWPRIMITIVESTRIDEDDATA, DWORD,
                                                     LPDIRECT3DDEVICE7, DWORD) override;

    const std::string& logName() const { return logName_; }
    const VertexLayout& layout() const { return layout_; }
    DWORD vertexCount() const { return description_.dwNumVertices; }
    bool locked() const { return locks_ > 0; }
    const uint8_t* data() const { return data_.data(); }
    // The renderer's copy, brought up to date with the system-memory one.
    uint32_t bufferForDraw();

private:
    std::shared_ptr<Renderer> renderer_;
    D3DVERTEXBUFFERDESC description_;
    VertexLayout layout_;
    std::string logName_;
    std::vector<uint8_t> data_;   // the system-memory copy every lock hands out
    uint32_t buffer_ = 0;
    bool dirty_ = true;
    int locks_ = 0;
};

// ---- State blocks ------------------------------------------------------------------------
// One recorded state: which state and the value it is set to.
struct StateSetting {
    enum class Kind { RenderState, StageState, Texture, Transform, Material, Light, LightEnable, Viewport };
    Kind kind = Kind::RenderState;
    DWORD index = 0;      // render state, stage, transform, light index
    DWORD subIndex = 0;   // texture stage state
    DWORD value = 0;      // render/stage state value, light enable
    D3DMATRIX matrix{};
    D3DMATERIAL7 material{};
    D3DLIGHT7 light{};
    D3DVIEWPORT7 viewport{};
    Surface* texture = nullptr;   // a reference is held while the setting exists

    bool sameState(const StateSetting& other) const {
        return kind == other.kind && index == other.index && subIndex == other.subIndex;
    }
};

// The states recorded between BeginStateBlock and EndStateBlock (or captured by
// CreateStateBlock), each once with its last value, in the order first recorded.
class StateBlock {
public:
    StateBlock() = default;
    StateBlock(const StateBlock&) = delete;
    StateBlock& operator=(const StateBlock&) = delete;
    ~StateBlock();
    void record(const StateSetting& setting);
    std::vector<StateSetting>& settings() { return settings_; }
    const std::vector<StateSetting>& settings() const { return settings_; }

private:
    std::vector<StateSetting> settings_;
};
// How a recorded state reads, as the call that sets it.
std::string settingText(const StateSetting& setting);

// ---- Device --------------------------------------------------------------------------------
class Device : public ComObject<IDirect3DDevice7> {
public:
    Device(std::shared_ptr<Renderer> renderer, Direct3D* direct3D, Surface* renderTarget);
    ~Device() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPD3DDEVICEDESC7 description) override;
    HRESULT STDMETHODCALLTYPE EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(LPDIRECT3D7* direct3D) override;
    HRESULT STDMETHODCALLTYPE SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE GetRenderTarget(LPDIRECTDRAWSURFACE7* surface) override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD rectCount, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z,
                                    DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(LPD3DVIEWPORT7 viewport) override;
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) override;
    HRESULT STDMETHODCALLTYPE GetViewport(LPD3DVIEWPORT7 viewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(LPD3DMATERIAL7 material) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(LPD3DMATERIAL7 material) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD index, LPD3DLIGHT7 light) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD index, LPD3DLIGHT7 light) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override;
    HRESULT STDMETHODCALLTYPE EndStateBlock(LPDWORD handle) override;
    HRESULT STDMETHODCALLTYPE PreLoad(LPDIRECTDRAWSURFACE7 texture) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                            DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices,
                                                   DWORD vertexCount, LPWORD indices, DWORD indexCount,
                                                   DWORD flags) override;
    HRESULT STDMETHODCALLTYPE SetClipStatus(LPD3DCLIPSTATUS) override;
    HRESULT STDMETHODCALLTYPE GetClipStatus(LPD3DCLIPSTATUS) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, LPD3DDRAWPRIMITIVESTRIDEDDATA, DWORD,
                                                   DWORD) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, LPD3DDRAWPRIMITIVESTRIDEDDATA,
                                                          DWORD, LPWORD, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer,
                                              DWORD startVertex, DWORD vertexCount, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer,
                                                     DWORD startVertex, DWORD vertexCount, LPWORD indices,
                                                     DWORD indexCount, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE ComputeSphereVisibility(LPD3DVECTOR, LPD3DVALUE, DWORD, DWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, LPDWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE ValidateDevice(LPDWORD passes) override;
    HRESULT STDMETHODCALLTYPE ApplyStateBlock(DWORD handle) override;
    HRESULT STDMETHODCALLTYPE CaptureStateBlock(DWORD handle) override;
    HRESULT STDMETHODCALLTYPE DeleteStateBlock(DWORD handle) override;
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE type, LPDWORD handle) override;
    HRESULT STDMETHODCALLTYPE Load(LPDIRECTDRAWSURFACE7, LPPOINT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL* enabled) override;
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD, D3DVALUE*) override;
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD, D3DVALUE*) override;
    HRESULT STDMETHODCALLTYPE GetInfo(DWORD, LPVOID, DWORD) override;

    const DeviceState& state() const { return state_; }
    const std::shared_ptr<Renderer>& renderer() const { return renderer_; }
    // While quiet, calls are not logged (D3DX functions log themselves, not the device calls
    // they make).
    void setQuiet(bool quiet) { quiet_ = quiet; }
    std::vector<std::string> stateBlockLines(DWORD handle) const;

private:
    bool logging() const { return !quiet_ && calllog_detail::active(); }
    // Sets a state on the device, or records it while a state block is being recorded.
    HRESULT setOrRecord(const StateSetting& setting, const char* where);
    HRESULT apply(const StateSetting& setting, const char* where);
    StateSetting captureSetting(const StateSetting& which) const;
    HRESULT draw(const char* where, D3DPRIMITIVETYPE type, const VertexLayout& layout, VertexBuffer* buffer,
                 const void* userVertices, DWORD vertexCapacity, DWORD startVertex, DWORD vertexCount,
                 const WORD* indices, DWORD indexCount, DWORD flags);
    void collectLights();

    std::shared_ptr<Renderer> renderer_;
    Direct3D* direct3D_;
    Surface* renderTarget_;
    DeviceState state_;
    bool inScene_ = false;
    bool quiet_ = false;
    std::unique_ptr<StateBlock> recording_;
    std::map<DWORD, std::unique_ptr<StateBlock>> stateBlocks_;
    DWORD nextStateBlock_ = 1;
    std::vector<const LightSlot*> enabledLights_;
    uint64_t enabledLightsVersion_ = 0;
};

// ---- The Direct3D and DirectDraw objects ------------------------------------------------------
class Direct3D : public ComObject<IDirect3D7> {
public:
    explicit Direct3D(std::shared_ptr<Renderer> renderer);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    HRESULT STDMETHODCALLTYPE EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(REFCLSID, LPDIRECTDRAWSURFACE7, LPDIRECT3DDEVICE7*) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(LPD3DVERTEXBUFFERDESC description, LPDIRECT3DVERTEXBUFFER7* buffer,
                                                 DWORD flags) override;
    HRESULT STDMETHODCALLTYPE EnumZBufferFormats(REFCLSID kind, LPD3DENUMPIXELFORMATSCALLBACK callback,
                                                 LPVOID context) override;
    HRESULT STDMETHODCALLTYPE EvictManagedTextures() override;

private:
    std::shared_ptr<Renderer> renderer_;
};

// What the device reports in GetCaps and EnumDevices.
D3DDEVICEDESC7 deviceDescription(const TargetSpec& target);

class DirectDraw : public ComObject<IDirectDraw7> {
public:
    DirectDraw(std::shared_ptr<Renderer> renderer, bool fullscreen, DWORD refreshRate);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    HRESULT STDMETHODCALLTYPE Compact() override;
    HRESULT STDMETHODCALLTYPE CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC2, LPDIRECTDRAWSURFACE7*, IUnknown*) override;
    HRESULT STDMETHODCALLTYPE DuplicateSurface(LPDIRECTDRAWSURFACE7, LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE EnumDisplayModes(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMMODESCALLBACK2) override;
    HRESULT STDMETHODCALLTYPE EnumSurfaces(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMSURFACESCALLBACK7) override;
    HRESULT STDMETHODCALLTYPE FlipToGDISurface() override;
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDCAPS, LPDDCAPS) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(LPDDSURFACEDESC2 description) override;
    HRESULT STDMETHODCALLTYPE GetFourCCCodes(LPDWORD count, LPDWORD codes) override;
    HRESULT STDMETHODCALLTYPE GetGDISurface(LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE GetMonitorFrequency(LPDWORD frequency) override;
    HRESULT STDMETHODCALLTYPE GetScanLine(LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetVerticalBlankStatus(LPBOOL) override;
    HRESULT STDMETHODCALLTYPE Initialize(GUID*) override;
    HRESULT STDMETHODCALLTYPE RestoreDisplayMode() override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override;
    HRESULT STDMETHODCALLTYPE SetDisplayMode(DWORD, DWORD, DWORD, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE WaitForVerticalBlank(DWORD, HANDLE) override;
    HRESULT STDMETHODCALLTYPE GetAvailableVidMem(LPDDSCAPS2, LPDWORD, LPDWORD) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceFromDC(HDC, LPDIRECTDRAWSURFACE7*) override;
    HRESULT STDMETHODCALLTYPE RestoreAllSurfaces() override;
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2, DWORD) override;
    HRESULT STDMETHODCALLTYPE StartModeTest(LPSIZE, DWORD, DWORD) override;
    HRESULT STDMETHODCALLTYPE EvaluateMode(DWORD, DWORD*) override;

private:
    std::shared_ptr<Renderer> renderer_;
    bool fullscreen_;
    DWORD refreshRate_;
};

}  // namespace d3d7
