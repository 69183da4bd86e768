// Result codes: their names (call log, messages) and their texts (D3DXGetErrorString).
#include <cstdio>
#include <cstring>

#include "internal.h"

namespace d3d7 {
namespace {

struct ResultText {
    HRESULT code;
    const char* name;
    const char* text;
};

const ResultText results[] = {
    {D3DXERR_NOMEMORY, "D3DXERR_NOMEMORY", "Out of memory."},
    {D3DXERR_NULLPOINTER, "D3DXERR_NULLPOINTER", "A NULL pointer was passed as a parameter."},
    {D3DXERR_INVALIDD3DXDEVICEINDEX, "D3DXERR_INVALIDD3DXDEVICEINDEX", "The Device Index passed in is invalid."},
    {D3DXERR_NODIRECTDRAWAVAILABLE, "D3DXERR_NODIRECTDRAWAVAILABLE", "DirectDraw has not been created."},
    {D3DXERR_NODIRECT3DAVAILABLE, "D3DXERR_NODIRECT3DAVAILABLE", "Direct3D has not been created."},
    {D3DXERR_NODIRECT3DDEVICEAVAILABLE, "D3DXERR_NODIRECT3DDEVICEAVAILABLE", "Direct3D device has not been created."},
    {D3DXERR_NOPRIMARYAVAILABLE, "D3DXERR_NOPRIMARYAVAILABLE", "Primary surface has not been created."},
    {D3DXERR_NOZBUFFERAVAILABLE, "D3DXERR_NOZBUFFERAVAILABLE", "Z buffer has not been created."},
    {D3DXERR_NOBACKBUFFERAVAILABLE, "D3DXERR_NOBACKBUFFERAVAILABLE", "Backbuffer has not been created."},
    {D3DXERR_COULDNTUPDATECAPS, "D3DXERR_COULDNTUPDATECAPS", "Failed to update caps database after changing display mode."},
    {D3DXERR_NOZBUFFER, "D3DXERR_NOZBUFFER", "Could not create Z buffer."},
    {D3DXERR_INVALIDMODE, "D3DXERR_INVALIDMODE", "Display mode is not valid."},
    {D3DXERR_INVALIDPARAMETER, "D3DXERR_INVALIDPARAMETER", "One or more of the parameters passed is invalid."},
    {D3DXERR_INITFAILED, "D3DXERR_INITFAILED", "D3DX failed to initialize itself."},
    {D3DXERR_STARTUPFAILED, "D3DXERR_STARTUPFAILED", "D3DX failed to start up."},
    {D3DXERR_D3DXNOTSTARTEDYET, "D3DXERR_D3DXNOTSTARTEDYET", "D3DXInitialize() must be called first."},
    {D3DXERR_NOTINITIALIZED, "D3DXERR_NOTINITIALIZED", "D3DX is not initialized yet."},
    {D3DXERR_FAILEDDRAWTEXT, "D3DXERR_FAILEDDRAWTEXT", "Failed to render text to the surface."},
    {D3DXERR_BADD3DXCONTEXT, "D3DXERR_BADD3DXCONTEXT", "Bad D3DX context."},
    {D3DXERR_CAPSNOTSUPPORTED, "D3DXERR_CAPSNOTSUPPORTED", "The requested device capabilities are not supported."},
    {D3DXERR_UNSUPPORTEDFILEFORMAT, "D3DXERR_UNSUPPORTEDFILEFORMAT", "The image file format is unrecognized."},
    {D3DXERR_IFLERROR, "D3DXERR_IFLERROR", "The image file loading library error."},
    {D3DXERR_FAILEDGETCAPS, "D3DXERR_FAILEDGETCAPS", "Could not obtain device caps."},
    {D3DXERR_CANNOTRESIZEFULLSCREEN, "D3DXERR_CANNOTRESIZEFULLSCREEN", "Resize does not work for full-screen."},
    {D3DXERR_CANNOTRESIZENONWINDOWED, "D3DXERR_CANNOTRESIZENONWINDOWED", "Resize does not work for non-windowed contexts."},
    {D3DXERR_FRONTBUFFERALREADYEXISTS, "D3DXERR_FRONTBUFFERALREADYEXISTS", "Front buffer already exists."},
    {D3DXERR_FULLSCREENPRIMARYEXISTS, "D3DXERR_FULLSCREENPRIMARYEXISTS", "The app is using the primary in full-screen mode."},
    {D3DXERR_GETDCFAILED, "D3DXERR_GETDCFAILED", "Could not get device context."},
    {D3DXERR_BITBLTFAILED, "D3DXERR_BITBLTFAILED", "Could not bitBlt."},
    {D3DXERR_NOTEXTURE, "D3DXERR_NOTEXTURE", "There is no surface backing up this texture."},
    {D3DXERR_MIPLEVELABSENT, "D3DXERR_MIPLEVELABSENT", "There is no such miplevel for this surface."},
    {D3DXERR_SURFACENOTPALETTED, "D3DXERR_SURFACENOTPALETTED", "The surface is not paletted."},
    {D3DXERR_ENUMFORMATSFAILED, "D3DXERR_ENUMFORMATSFAILED", "An error occurred while enumerating surface formats."},
    {D3DXERR_INVALIDDEPTH, "D3DXERR_INVALIDDEPTH", "D3DX only supports color depths of 16, 24, and 32 bpp."},

    {DDERR_ALREADYINITIALIZED, "DDERR_ALREADYINITIALIZED", "The object has already been initialized."},
    {DDERR_CANNOTATTACHSURFACE, "DDERR_CANNOTATTACHSURFACE", "A surface cannot be attached to another requested surface."},
    {DDERR_CANNOTDETACHSURFACE, "DDERR_CANNOTDETACHSURFACE", "A surface cannot be detached from another requested surface."},
    {DDERR_CURRENTLYNOTAVAIL, "DDERR_CURRENTLYNOTAVAIL", "No support is currently available."},
    {DDERR_EXCEPTION, "DDERR_EXCEPTION", "An exception was encountered while performing the requested operation."},
    {DDERR_GENERIC, "DDERR_GENERIC", "There is an undefined error condition."},
    {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS", "One or more of the capability bits passed to the callback function are incorrect."},
    {DDERR_INVALIDMODE, "DDERR_INVALIDMODE", "DirectDraw does not support the requested mode."},
    {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT", "DirectDraw received a pointer that was an invalid DirectDraw object."},
    {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS", "One or more of the parameters passed to the method are incorrect."},
    {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT", "The pixel format was invalid as specified."},
    {DDERR_INVALIDRECT, "DDERR_INVALIDRECT", "The provided rectangle was invalid."},
    {DDERR_NOCOLORKEY, "DDERR_NOCOLORKEY", "The surface does not currently have a color key."},
    {DDERR_NOTFOUND, "DDERR_NOTFOUND", "The requested item was not found."},
    {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY", "DirectDraw does not have enough memory to perform the operation."},
    {DDERR_OUTOFVIDEOMEMORY, "DDERR_OUTOFVIDEOMEMORY", "DirectDraw does not have enough display memory to perform the operation."},
    {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY", "Access to the surface is refused because the surface is locked by another thread."},
    {DDERR_CANTLOCKSURFACE, "DDERR_CANTLOCKSURFACE", "Access to this surface is refused because an attempt was made to lock the primary surface without DCI support."},
    {DDERR_SURFACELOST, "DDERR_SURFACELOST", "Access to the surface is refused because the surface memory is gone."},
    {DDERR_TOOBIGHEIGHT, "DDERR_TOOBIGHEIGHT", "The height requested by DirectDraw is too large."},
    {DDERR_TOOBIGSIZE, "DDERR_TOOBIGSIZE", "The size requested by DirectDraw is too large."},
    {DDERR_TOOBIGWIDTH, "DDERR_TOOBIGWIDTH", "The width requested by DirectDraw is too large."},
    {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED", "The operation is not supported."},
    {DDERR_UNSUPPORTEDFORMAT, "DDERR_UNSUPPORTEDFORMAT", "The pixel format requested is not supported by DirectDraw."},
    {DDERR_WASSTILLDRAWING, "DDERR_WASSTILLDRAWING", "The previous blit operation that is transferring information to or from this surface is incomplete."},
    {DDERR_NOTLOCKED, "DDERR_NOTLOCKED", "An attempt was made to unlock a surface that was not locked."},
    {DDERR_WRONGMODE, "DDERR_WRONGMODE", "This surface cannot be restored because it was created in a different mode."},
    {E_NOINTERFACE, "E_NOINTERFACE", "No such interface supported."},
    {E_POINTER, "E_POINTER", "Invalid pointer."},

    {D3DERR_BADMAJORVERSION, "D3DERR_BADMAJORVERSION", "The service you requested is unavailable in this major version of DirectX."},
    {D3DERR_BADMINORVERSION, "D3DERR_BADMINORVERSION", "The service you requested is available in this major version of DirectX, but not in this minor version."},
    {D3DERR_INVALID_DEVICE, "D3DERR_INVALID_DEVICE", "The requested device type is not valid."},
    {D3DERR_INITFAILED, "D3DERR_INITFAILED", "A rendering device could not be created because the new device could not be initialized."},
    {D3DERR_LIGHT_SET_FAILED, "D3DERR_LIGHT_SET_FAILED", "The attempt to set lighting parameters for a light object failed."},
    {D3DERR_SCENE_IN_SCENE, "D3DERR_SCENE_IN_SCENE", "Scene rendering could not begin because a previous scene was not completed by a call to EndScene."},
    {D3DERR_SCENE_NOT_IN_SCENE, "D3DERR_SCENE_NOT_IN_SCENE", "Scene rendering could not be completed because a scene was not started by a previous call to BeginScene."},
    {D3DERR_SCENE_BEGIN_FAILED, "D3DERR_SCENE_BEGIN_FAILED", "The scene could not begin."},
    {D3DERR_SCENE_END_FAILED, "D3DERR_SCENE_END_FAILED", "The scene could not end."},
    {D3DERR_INBEGIN, "D3DERR_INBEGIN", "The requested operation cannot be completed while scene rendering is taking place."},
    {D3DERR_NOTINBEGIN, "D3DERR_NOTINBEGIN", "The requested rendering operation could not be completed because scene rendering has not begun."},
    {D3DERR_INVALIDVERTEXFORMAT, "D3DERR_INVALIDVERTEXFORMAT", "The combination of flexible vertex format flags specified is invalid."},
    {D3DERR_COLORKEYATTACHED, "D3DERR_COLORKEYATTACHED", "The application attempted to create a texture with a surface that uses a color key for transparency."},
    {D3DERR_VERTEXBUFFEROPTIMIZED, "D3DERR_VERTEXBUFFEROPTIMIZED", "The requested operation could not be completed because the vertex buffer is optimized."},
    {D3DERR_VBUF_CREATE_FAILED, "D3DERR_VBUF_CREATE_FAILED", "The vertex buffer could not be created."},
    {D3DERR_VERTEXBUFFERLOCKED, "D3DERR_VERTEXBUFFERLOCKED", "The requested operation could not be completed because the vertex buffer is locked."},
    {D3DERR_VERTEXBUFFERUNLOCKFAILED, "D3DERR_VERTEXBUFFERUNLOCKFAILED", "The vertex buffer could not be unlocked."},
    {D3DERR_ZBUFFER_NOTPRESENT, "D3DERR_ZBUFFER_NOTPRESENT", "The requested operation could not be completed because the render target surface does not have an attached depth buffer."},
    {D3DERR_STENCILBUFFER_NOTPRESENT, "D3DERR_STENCILBUFFER_NOTPRESENT", "The requested stencil buffer operation could not be completed because there is no stencil buffer attached to the render target surface."},
    {D3DERR_WRONGTEXTUREFORMAT, "D3DERR_WRONGTEXTUREFORMAT", "The pixel format of the texture surface is not valid."},
    {D3DERR_UNSUPPORTEDCOLOROPERATION, "D3DERR_UNSUPPORTEDCOLOROPERATION", "The device does not support a specified texture-blending operation for color values."},
    {D3DERR_UNSUPPORTEDCOLORARG, "D3DERR_UNSUPPORTEDCOLORARG", "The device does not support a specified texture-blending argument for color values."},
    {D3DERR_UNSUPPORTEDALPHAOPERATION, "D3DERR_UNSUPPORTEDALPHAOPERATION", "The device does not support a specified texture-blending operation for the alpha channel."},
    {D3DERR_UNSUPPORTEDALPHAARG, "D3DERR_UNSUPPORTEDALPHAARG", "The device does not support a specified texture-blending argument for the alpha channel."},
    {D3DERR_TOOMANYOPERATIONS, "D3DERR_TOOMANYOPERATIONS", "The application is requesting more texture-filtering operations than the device supports."},
    {D3DERR_CONFLICTINGTEXTUREFILTER, "D3DERR_CONFLICTINGTEXTUREFILTER", "The current texture filters cannot be used together."},
    {D3DERR_UNSUPPORTEDFACTORVALUE, "D3DERR_UNSUPPORTEDFACTORVALUE", "The device does not support the specified texture factor value."},
    {D3DERR_CONFLICTINGRENDERSTATE, "D3DERR_CONFLICTINGRENDERSTATE", "The currently set render states cannot be used together."},
    {D3DERR_UNSUPPORTEDTEXTUREFILTER, "D3DERR_UNSUPPORTEDTEXTUREFILTER", "The device does not support the specified texture filter."},
    {D3DERR_TOOMANYPRIMITIVES, "D3DERR_TOOMANYPRIMITIVES", "The device is unable to render the provided number of primitives in a single pass."},
    {D3DERR_INVALIDMATRIX, "D3DERR_INVALIDMATRIX", "The requested operation could not be completed because the combination of the currently set world, view, and projection matrices is invalid."},
    {D3DERR_TOOMANYVERTICES, "D3DERR_TOOMANYVERTICES", "Too many vertices."},
    {D3DERR_CONFLICTINGTEXTUREPALETTE, "D3DERR_CONFLICTINGTEXTUREPALETTE", "The current textures cannot be used simultaneously."},
    {D3DERR_INVALIDSTATEBLOCK, "D3DERR_INVALIDSTATEBLOCK", "The state block handle is invalid."},
    {D3DERR_INBEGINSTATEBLOCK, "D3DERR_INBEGINSTATEBLOCK", "The operation cannot be completed while recording states for a state block."},
    {D3DERR_NOTINBEGINSTATEBLOCK, "D3DERR_NOTINBEGINSTATEBLOCK", "The operation cannot be completed because it is only valid while recording a state block."},
};

const ResultText* find(HRESULT code) {
    for (const ResultText& r : results)
        if (r.code == code) return &r;
    return nullptr;
}

}  // namespace

std::string resultName(HRESULT result) {
    if (result == S_OK) return "D3D_OK";
    const ResultText* r = find(result);
    return r ? r->name : hexText(DWORD(result));
}

}  // namespace d3d7

HRESULT WINAPI D3DXGetErrorString(HRESULT error, DWORD length, LPSTR text) {
    if (!text) return D3DXERR_NULLPOINTER;
    if (length == 0) return D3DXERR_INVALIDPARAMETER;
    const char* message = nullptr;
    char unknown[64];
    if (error == S_OK) {
        message = "No error.";
    } else if (const d3d7::ResultText* r = d3d7::find(error)) {
        message = r->text;
    } else {
        std::snprintf(unknown, sizeof unknown, "Unrecognized error value 0x%08X.", DWORD(error));
        message = unknown;
    }
    std::strncpy(text, message, length - 1);
    text[length - 1] = '\0';
    return S_OK;
}
