#include "sound/testing.h"

#include "internal.h"

namespace sound::testing {

void reset() {
    Output& output = Output::instance();
    output.mixer().stopAll();
    resetFmod();
    resetBass();
    output.close();
}

std::vector<int16_t> renderMix(size_t frames) {
    std::vector<int16_t> samples(frames * mixChannels);
    Output::instance().mixer().render(samples.data(), frames);
    return samples;
}

}  // namespace sound::testing
