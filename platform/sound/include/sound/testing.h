// For tests of the sound stand-ins: a clean state between tests, and the mix rendered on demand
// so decoded sound can be checked without a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sound::testing {

// Stops everything, forgets both libraries' state (neither is initialised any more; every song
// and stream is freed) and closes the output, so the next initialisation reads host::settings()
// afresh. Call host::resetForTests() as well for a fresh clock.
void reset();

// Mixes the next `frames` frames of everything playing and returns them: 44100 Hz, interleaved
// 16-bit stereo (left, right). Playing sounds advance as they would in a sink; the frames go to
// the caller only.
std::vector<int16_t> renderMix(size_t frames);

}  // namespace sound::testing
