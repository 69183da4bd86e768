// The recording renderer of record-only contexts: it makes nothing and draws nothing, but a
// frame is still presented so the host's clock, captures and scripted input move on.
#include "renderer.h"

#include "host/host.h"

namespace d3d7 {
namespace {

class RecordingRenderer : public Renderer {
public:
    explicit RecordingRenderer(const TargetSpec& target) { target_ = target; }

    bool draws() const override { return false; }
    bool alive() const override { return true; }
    uint32_t createTexture(PixelFormatId, int, int, int) override { return ++nextName_; }
    void uploadTexture(uint32_t, int, int, int, const uint8_t*, int) override {}
    void destroyTexture(uint32_t) override {}
    uint32_t createBuffer() override { return ++nextName_; }
    void uploadBuffer(uint32_t, const void*, size_t) override {}
    void destroyBuffer(uint32_t) override {}
    void clear(const ClearCall&) override {}
    void draw(const DrawCall& call) override {
        ++current.draws;
        current.primitives += call.primitiveCount;
    }
    bool drawText(float, float, D3DCOLOR, const char*) override { return true; }
    void present(bool waitForRetrace) override {
        host::present(waitForRetrace);
        last = current;
        current = FrameStatistics{};
    }
    bool readTarget(std::vector<uint8_t>&) override { return false; }
    bool writeTarget(const std::vector<uint8_t>&) override { return false; }
    void shutdown() override {}

private:
    uint32_t nextName_ = 0;
};

}  // namespace

std::shared_ptr<Renderer> makeRecordingRenderer(const TargetSpec& target) {
    return std::make_shared<RecordingRenderer>(target);
}

}  // namespace d3d7
