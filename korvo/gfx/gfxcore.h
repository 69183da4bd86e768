// The graphics core: the render window, the D3DX rendering context with its DirectDraw,
// Direct3D and device interfaces, the fixed projection, the per-frame update, present and
// render steps, and the matrix functions. One global object, `gfx`, for the whole process.
#pragma once

#include <windows.h>
#include <d3d.h>
#include <d3dx.h>

// Matrices are Direct3D's: row vectors multiplied from the left (p' = p x M), the translation
// in the fourth row. Angles in radians.
void setIdentity(D3DMATRIX& m);
void setRotationX(D3DMATRIX& m, float angle);
void setRotationY(D3DMATRIX& m, float angle);
void setRotationZ(D3DMATRIX& m, float angle);
// A left-handed perspective projection with depth 0 at `nearPlane` and 1 at `farPlane`.
// Returns E_INVALIDARG, leaving m alone, when the planes or the angle are degenerate.
HRESULT setProjection(D3DMATRIX& m, float fieldOfView, float aspect, float nearPlane, float farPlane);
// A left-handed view from `eye` towards `target`. Returns E_INVALIDARG, leaving m alone, when
// eye and target coincide or no up direction can be found.
HRESULT setView(D3DMATRIX& m, const D3DVECTOR& eye, const D3DVECTOR& target, const D3DVECTOR& worldUp);
float squaredLength(const D3DVECTOR& v);
float dotProduct(const D3DVECTOR& a, const D3DVECTOR& b);
// The point one unit behind a matrix's position along its third axis.
D3DVECTOR backPoint(const D3DMATRIX& m);

// The device-state operations of a frame.
class Renderer {
public:
    // Clears target and depth, and draws every live scene between BeginScene and EndScene.
    void renderFrame();
};

class GfxCore {
public:
    GfxCore();            // starts D3DX
    virtual ~GfxCore();   // shuts D3DX down

    bool createWindow(HINSTANCE instance, const char* title, bool fullscreen, int width, int height);
    // Creates the rendering context; a failure is logged and ends the program (exit code 1).
    bool initDevice(int colorBits);
    void setProjection();
    // Advances every live scene to `time`, then records it as the current scene time.
    void updateScenes(float time);
    // The viewer's step, then the back buffer is shown.
    void present();
    void shutdown();
    float getTime() const { return currentTime; }

    Renderer renderer;
    float currentTime = 0.0f;
    bool windowed = false;
    bool waitVRT = true;
    HWND window = nullptr;
    LPDIRECTDRAW7 directDraw = nullptr;
    LPD3DXCONTEXT context = nullptr;
    LPDIRECT3D7 direct3D = nullptr;
    LPDIRECT3DDEVICE7 device = nullptr;
    int width = 0, height = 0;
    int colorBits = 0;
};

extern GfxCore gfx;

class Material;

// The floor grid the viewer can show: lines one `spacing` apart from -50 to 50 along x and z.
class Grid {
public:
    explicit Grid(float spacing);
    virtual ~Grid();
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;

    void draw();

    LPDIRECT3DVERTEXBUFFER7 vertexBuffer = nullptr;
    int vertexCount = 0;
    Material* material = nullptr;
};
