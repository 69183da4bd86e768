// IDirectDrawSurface7: textures (a top level with its mip levels attached below it, texels kept
// in the texture's own pixel format) and the back buffer a context draws into.
#include <algorithm>
#include <cstring>

#include "objects.h"

namespace d3d7 {
namespace {

HRESULT unsupported(const std::string& where) {
    return refuse(DDERR_UNSUPPORTED, where.c_str(), "not offered by this DirectDraw surface");
}

}  // namespace

Surface::Surface(Kind kind, std::shared_ptr<Renderer> renderer, const PixelFormat& format, int width, int height)
    : kind_(kind), renderer_(std::move(renderer)), format_(&format), width_(width), height_(height) {}

Surface* Surface::createTexture(std::shared_ptr<Renderer> renderer, const PixelFormat& format, int width, int height,
                                int levels, const std::string& sourceName) {
    Surface* root = new Surface(Kind::Texture, renderer, format, width, height);
    root->logName_ = "texture#" + std::to_string(nextObjectNumber("texture"));
    if (!sourceName.empty()) root->logName_ += " \"" + sourceName + "\"";
    root->storage_ = std::make_shared<Storage>();
    root->storage_->renderer = renderer;
    for (int level = 0; level < levels; ++level) {
        int w = std::max(1, width >> level), h = std::max(1, height >> level);
        root->storage_->levels.emplace_back(size_t(w) * h * format.bytesPerPixel, 0);
    }
    root->storage_->texture = renderer->createTexture(format.id, width, height, levels);
    Surface* above = root;
    for (int level = 1; level < levels; ++level) {
        Surface* sub = new Surface(Kind::Texture, renderer, format, std::max(1, width >> level),
                                   std::max(1, height >> level));
        sub->storage_ = root->storage_;
        sub->level_ = level;
        sub->root_ = root;
        sub->logName_ = root->logName_ + " level " + std::to_string(level);
        root->sublevels_.push_back(sub);
        above->next_ = sub;
        above = sub;
    }
    return root;
}

Surface* Surface::createBackBuffer(std::shared_ptr<Renderer> renderer, const PixelFormat& format, int width,
                                   int height) {
    Surface* s = new Surface(Kind::BackBuffer, std::move(renderer), format, width, height);
    s->logName_ = "surface#" + std::to_string(nextObjectNumber("surface"));
    return s;
}

Surface::~Surface() {
    if (root_ != this) return;
    for (Surface* sub : sublevels_) delete sub;
    destroyKeyedCopies();
    if (storage_ && storage_->texture && renderer_->alive()) renderer_->destroyTexture(storage_->texture);
}

const char* Surface::where(const char* method) const {
    static std::string text;
    text = std::string("IDirectDrawSurface7::") + method + " (" + logName_ + ")";
    return text.c_str();
}

HRESULT Surface::QueryInterface(REFIID riid, LPVOID* object) {
    return queryInterface(riid, object, IID_IDirectDrawSurface7, where("QueryInterface"));
}

// Mip levels below the top belong to the top level: a reference on one is a reference on the
// whole chain, which goes when the last one is released.
ULONG Surface::AddRef() { return root_ == this ? ComObject::AddRef() : root_->AddRef(); }

ULONG Surface::Release() { return root_ == this ? ComObject::Release() : root_->Release(); }

void Surface::uploadAllLevels() {
    if (!storage_) return;
    for (size_t level = 0; level < storage_->levels.size(); ++level)
        renderer_->uploadTexture(storage_->texture, int(level), std::max(1, root_->width_ >> level),
                                 std::max(1, root_->height_ >> level), storage_->levels[level].data(),
                                 std::max(1, root_->width_ >> level) * format_->bytesPerPixel);
    ++storage_->version;
}

StageTexture Surface::stageTexture(bool colorKeyEnable) {
    StageTexture t;
    Surface* top = root_;
    t.texture = top->storage_ ? top->storage_->texture : 0;
    t.format = format_->id;
    t.levels = top->levelCount();
    t.colorKey = colorKeyEnable && top->hasSourceKey_ && top->storage_;
    if (t.colorKey) {
        top->makeKeyedCopies();
        t.texture = top->storage_->keyed;
        t.coverage = top->storage_->coverage;
        t.format = PixelFormatId::A8R8G8B8;
    }
    return t;
}

// Every level copied as A8R8G8B8 with the texels that match the key cleared to 0 (colour and
// alpha); the others keep their colour, and their alpha where the format has one (else 1).
// A texture with alpha of its own gets a second copy holding the coverage alone.
void Surface::makeKeyedCopies() {
    Storage& store = *storage_;
    bool current = store.keyed && store.keyedVersion == store.version &&
                   store.keyedWith.dwColorSpaceLowValue == sourceKey_.dwColorSpaceLowValue &&
                   store.keyedWith.dwColorSpaceHighValue == sourceKey_.dwColorSpaceHighValue;
    if (current) return;
    destroyKeyedCopies();
    const PixelFormat& argb = pixelFormat(PixelFormatId::A8R8G8B8);
    int levels = levelCount();
    bool ownAlpha = format_->alphaMask != 0;
    store.keyed = renderer_->createTexture(argb.id, width_, height_, levels);
    if (ownAlpha) store.coverage = renderer_->createTexture(argb.id, width_, height_, levels);
    const DWORD masks[4] = {format_->redMask, format_->greenMask, format_->blueMask, format_->alphaMask};
    auto keyed = [&](uint32_t pixel) {
        for (DWORD mask : masks) {
            if (!mask) continue;
            uint32_t value = pixel & mask;
            if (value < (sourceKey_.dwColorSpaceLowValue & mask) || value > (sourceKey_.dwColorSpaceHighValue & mask))
                return false;
        }
        return true;
    };
    for (int level = 0; level < levels; ++level) {
        int w = std::max(1, width_ >> level), h = std::max(1, height_ >> level);
        const std::vector<uint8_t>& texels = store.levels[size_t(level)];
        std::vector<uint8_t> colour(size_t(w) * h * 4), coverage(ownAlpha ? colour.size() : 0);
        for (size_t i = 0, n = size_t(w) * h; i < n; ++i) {
            uint32_t pixel = readPixel(*format_, &texels[i * format_->bytesPerPixel]);
            if (keyed(pixel)) continue;   // stays 0
            uint8_t r, g, b, a;
            unpackPixel(*format_, pixel, r, g, b, a);
            writePixel(argb, &colour[i * 4], packPixel(argb, r, g, b, ownAlpha ? a : 255));
            if (ownAlpha) writePixel(argb, &coverage[i * 4], 0xFFFFFFFFu);
        }
        renderer_->uploadTexture(store.keyed, level, w, h, colour.data(), w * 4);
        if (ownAlpha) renderer_->uploadTexture(store.coverage, level, w, h, coverage.data(), w * 4);
    }
    store.keyedVersion = store.version;
    store.keyedWith = sourceKey_;
}

void Surface::destroyKeyedCopies() {
    if (!storage_ || !renderer_->alive()) return;
    if (storage_->keyed) renderer_->destroyTexture(storage_->keyed);
    if (storage_->coverage) renderer_->destroyTexture(storage_->coverage);
    storage_->keyed = storage_->coverage = 0;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC2 d) {
    if (!d || d->dwSize != sizeof(DDSURFACEDESC2))
        return refuse(DDERR_INVALIDPARAMS, where("GetSurfaceDesc"), "the description's dwSize must be %zu",
                      sizeof(DDSURFACEDESC2));
    std::memset(d, 0, sizeof *d);
    d->dwSize = sizeof(DDSURFACEDESC2);
    d->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    d->dwWidth = width_;
    d->dwHeight = height_;
    d->lPitch = pitch();
    describePixelFormat(*format_, d->ddpfPixelFormat);
    if (kind_ == Kind::Texture) {
        d->ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        d->ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
        int levelsHere = root_->levelCount() - level_;
        if (root_->levelCount() > 1) {
            d->ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
            d->dwFlags |= DDSD_MIPMAPCOUNT;
            d->dwMipMapCount = levelsHere;
        }
        if (level_ > 0) d->ddsCaps.dwCaps2 |= DDSCAPS2_MIPMAPSUBLEVEL;
    } else {
        d->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_3DDEVICE |
                            DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    }
    if (hasSourceKey_) {
        d->dwFlags |= DDSD_CKSRCBLT;
        d->ddckCKSrcBlt = sourceKey_;
    }
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
    if (!format) return refuse(DDERR_INVALIDPARAMS, where("GetPixelFormat"), "no pixel format to fill");
    describePixelFormat(*format_, *format);
    return DD_OK;
}

HRESULT Surface::GetCaps(LPDDSCAPS2 caps) {
    if (!caps) return refuse(DDERR_INVALIDPARAMS, where("GetCaps"), "no capabilities to fill");
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    GetSurfaceDesc(&d);
    *caps = d.ddsCaps;
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    HRESULT result = DD_OK;
    DWORD kind = flags & ~DDCKEY_COLORSPACE;
    if (kind != DDCKEY_SRCBLT) {
        result = refuse(kind == DDCKEY_DESTBLT || kind == DDCKEY_DESTOVERLAY || kind == DDCKEY_SRCOVERLAY
                            ? DDERR_UNSUPPORTED
                            : DDERR_INVALIDPARAMS,
                        where("SetColorKey"), "only a source colour key (DDCKEY_SRCBLT) is used by this device");
    } else if (!key) {
        hasSourceKey_ = false;
    } else {
        hasSourceKey_ = true;
        sourceKey_ = *key;
        if (!(flags & DDCKEY_COLORSPACE)) sourceKey_.dwColorSpaceHighValue = key->dwColorSpaceLowValue;
    }
    if (calllog_detail::active()) {
        LogLine line(logName_ + "->SetColorKey");
        std::string kindText = kind == DDCKEY_SRCBLT ? "DDCKEY_SRCBLT" : hexText(kind, 1);
        if (flags & DDCKEY_COLORSPACE) kindText += " | DDCKEY_COLORSPACE";
        line.arg(kindText);
        if (key)
            line.arg("{" + hexText(key->dwColorSpaceLowValue) + ", " + hexText(key->dwColorSpaceHighValue) + "}");
        else
            line.arg("NULL");
        line.write(result);
    }
    return result;
}

HRESULT Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
    if (!key) return refuse(DDERR_INVALIDPARAMS, where("GetColorKey"), "no key to fill");
    if (flags != DDCKEY_SRCBLT)
        return refuse(DDERR_UNSUPPORTED, where("GetColorKey"), "only source colour keys are kept");
    if (!hasSourceKey_) return DDERR_NOCOLORKEY;
    *key = sourceKey_;
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) {
    if (!caps || !surface) return refuse(DDERR_INVALIDPARAMS, where("GetAttachedSurface"), "no caps or no result pointer");
    *surface = nullptr;
    if ((caps->dwCaps & (DDSCAPS_MIPMAP | DDSCAPS_TEXTURE)) && next_) {
        next_->AddRef();
        *surface = next_;
        return DD_OK;
    }
    return DDERR_NOTFOUND;
}

HRESULT Surface::EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) {
    if (!callback) return refuse(DDERR_INVALIDPARAMS, where("EnumAttachedSurfaces"), "no callback");
    if (next_) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        next_->GetSurfaceDesc(&d);
        next_->AddRef();
        callback(next_, &d, context);
    }
    return DD_OK;
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC2 description, DWORD flags, HANDLE) {
    HRESULT result = DD_OK;
    if (!description || description->dwSize != sizeof(DDSURFACEDESC2)) {
        result = refuse(DDERR_INVALIDPARAMS, where("Lock"), "the description's dwSize must be %zu",
                        sizeof(DDSURFACEDESC2));
    } else if (locked_) {
        result = refuse(DDERR_SURFACEBUSY, where("Lock"), "the surface is locked already");
    } else if (rect && (rect->left < 0 || rect->top < 0 || rect->right > width_ || rect->bottom > height_ ||
                        rect->left >= rect->right || rect->top >= rect->bottom)) {
        result = refuse(DDERR_INVALIDRECT, where("Lock"), "the rectangle lies outside the surface");
    } else if (kind_ == Kind::BackBuffer && !renderer_->draws()) {
        result = refuse(DDERR_UNSUPPORTED, where("Lock"), "a record-only context draws nothing to read back");
    } else if (!renderer_->alive()) {
        result = refuse(DDERR_SURFACELOST, where("Lock"), "the rendering context is gone");
    } else {
        uint8_t* base;
        if (kind_ == Kind::Texture) {
            base = pixels();
        } else {
            std::vector<uint8_t> rgba;
            renderer_->readTarget(rgba);
            lockedTarget_.assign(size_t(pitch()) * height_, 0);
            for (size_t i = 0, n = size_t(width_) * height_; i < n; ++i)
                writePixel(*format_, &lockedTarget_[i * format_->bytesPerPixel],
                           packPixel(*format_, rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2], rgba[i * 4 + 3]));
            base = lockedTarget_.data();
        }
        GetSurfaceDesc(description);
        if (rect) base += size_t(rect->top) * pitch() + size_t(rect->left) * format_->bytesPerPixel;
        description->lpSurface = base;
        description->dwFlags |= DDSD_LPSURFACE;
        locked_ = true;
        lockFlags_ = flags;
    }
    if (calllog_detail::active()) {
        LogLine line(logName_ + "->Lock");
        line.arg(rect ? "{" + std::to_string(rect->left) + ", " + std::to_string(rect->top) + ", " +
                            std::to_string(rect->right) + ", " + std::to_string(rect->bottom) + "}"
                      : std::string("NULL"));
        line.arg(lockFlagsText(flags));
        line.write(result);
    }
    return result;
}

HRESULT Surface::Unlock(LPRECT) {
    HRESULT result = DD_OK;
    if (!locked_) {
        result = refuse(DDERR_NOTLOCKED, where("Unlock"), "the surface is not locked");
    } else {
        locked_ = false;
        if (!(lockFlags_ & DDLOCK_READONLY) && renderer_->alive()) {
            if (kind_ == Kind::Texture) {
                renderer_->uploadTexture(storage_->texture, level_, width_, height_, pixels(), pitch());
                ++storage_->version;
            } else {
                std::vector<uint8_t> rgba(size_t(width_) * height_ * 4);
                for (size_t i = 0, n = size_t(width_) * height_; i < n; ++i)
                    unpackPixel(*format_, readPixel(*format_, &lockedTarget_[i * format_->bytesPerPixel]), rgba[i * 4],
                                rgba[i * 4 + 1], rgba[i * 4 + 2], rgba[i * 4 + 3]);
                renderer_->writeTarget(rgba);
            }
            ++uniqueness_;
        }
        lockedTarget_.clear();
    }
    if (calllog_detail::active()) LogLine(logName_ + "->Unlock").write(result);
    return result;
}

HRESULT Surface::IsLost() { return renderer_->alive() ? DD_OK : DDERR_SURFACELOST; }
HRESULT Surface::Restore() { return renderer_->alive() ? DD_OK : DDERR_SURFACELOST; }
HRESULT Surface::GetBltStatus(DWORD) { return DD_OK; }    // no blit is ever in progress
HRESULT Surface::GetFlipStatus(DWORD) { return DD_OK; }   // no flip is ever pending
HRESULT Surface::PageLock(DWORD) { return DD_OK; }        // the memory is ordinary memory either way
HRESULT Surface::PageUnlock(DWORD) { return DD_OK; }

HRESULT Surface::GetUniquenessValue(LPDWORD value) {
    if (!value) return refuse(DDERR_INVALIDPARAMS, where("GetUniquenessValue"), "no value to fill");
    *value = uniqueness_;
    return DD_OK;
}

HRESULT Surface::ChangeUniquenessValue() {
    ++uniqueness_;
    return DD_OK;
}

HRESULT Surface::SetPriority(DWORD) {
    if (kind_ != Kind::Texture) return refuse(DDERR_INVALIDOBJECT, where("SetPriority"), "not a managed texture");
    return DD_OK;   // every texture stays resident; priorities change nothing
}

HRESULT Surface::GetPriority(LPDWORD priority) {
    if (!priority) return refuse(DDERR_INVALIDPARAMS, where("GetPriority"), "no value to fill");
    *priority = 0;
    return DD_OK;
}

HRESULT Surface::SetLOD(DWORD level) {
    if (level != 0) return refuse(DDERR_UNSUPPORTED, where("SetLOD"), "a most-detailed level other than 0");
    return DD_OK;
}

HRESULT Surface::GetLOD(LPDWORD level) {
    if (!level) return refuse(DDERR_INVALIDPARAMS, where("GetLOD"), "no value to fill");
    *level = 0;
    return DD_OK;
}

HRESULT Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE7) { return unsupported(where("AddAttachedSurface")); }
HRESULT Surface::AddOverlayDirtyRect(LPRECT) { return unsupported(where("AddOverlayDirtyRect")); }
HRESULT Surface::Blt(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDBLTFX) { return unsupported(where("Blt")); }
HRESULT Surface::BltBatch(LPDDBLTBATCH, DWORD, DWORD) { return unsupported(where("BltBatch")); }
HRESULT Surface::BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE7, LPRECT, DWORD) { return unsupported(where("BltFast")); }
HRESULT Surface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7) { return unsupported(where("DeleteAttachedSurface")); }
HRESULT Surface::EnumOverlayZOrders(DWORD, LPVOID, LPDDENUMSURFACESCALLBACK7) { return unsupported(where("EnumOverlayZOrders")); }
HRESULT Surface::Flip(LPDIRECTDRAWSURFACE7, DWORD) { return unsupported(where("Flip")); }
HRESULT Surface::GetClipper(LPDIRECTDRAWCLIPPER*) { return unsupported(where("GetClipper")); }
HRESULT Surface::GetDC(HDC*) { return unsupported(where("GetDC")); }
HRESULT Surface::GetOverlayPosition(LPLONG, LPLONG) { return unsupported(where("GetOverlayPosition")); }
HRESULT Surface::GetPalette(LPDIRECTDRAWPALETTE*) { return unsupported(where("GetPalette")); }
HRESULT Surface::Initialize(LPDIRECTDRAW, LPDDSURFACEDESC2) { return DDERR_ALREADYINITIALIZED; }
HRESULT Surface::ReleaseDC(HDC) { return unsupported(where("ReleaseDC")); }
HRESULT Surface::SetClipper(LPDIRECTDRAWCLIPPER) { return unsupported(where("SetClipper")); }
HRESULT Surface::SetOverlayPosition(LONG, LONG) { return unsupported(where("SetOverlayPosition")); }
HRESULT Surface::SetPalette(LPDIRECTDRAWPALETTE) { return unsupported(where("SetPalette")); }
HRESULT Surface::UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD, LPDDOVERLAYFX) { return unsupported(where("UpdateOverlay")); }
HRESULT Surface::UpdateOverlayDisplay(DWORD) { return unsupported(where("UpdateOverlayDisplay")); }
HRESULT Surface::UpdateOverlayZOrder(DWORD, LPDIRECTDRAWSURFACE7) { return unsupported(where("UpdateOverlayZOrder")); }
HRESULT Surface::GetDDInterface(LPVOID*) { return unsupported(where("GetDDInterface")); }
HRESULT Surface::SetSurfaceDesc(LPDDSURFACEDESC2, DWORD) { return unsupported(where("SetSurfaceDesc")); }
HRESULT Surface::SetPrivateData(REFGUID, LPVOID, DWORD, DWORD) { return unsupported(where("SetPrivateData")); }
HRESULT Surface::GetPrivateData(REFGUID, LPVOID, LPDWORD) { return unsupported(where("GetPrivateData")); }
HRESULT Surface::FreePrivateData(REFGUID) { return unsupported(where("FreePrivateData")); }

}  // namespace d3d7
