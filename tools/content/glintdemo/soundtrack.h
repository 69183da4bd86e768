// The show's soundtrack, synthesised: pads, bass, arpeggios and hats under a chord plan that
// follows the show's sections, and one struck sound on every accent of the beat table, so
// the flashes land on the music. Kind 0 is a kick (a deep boom when it stands alone), 1 a
// dark swell that grows for 0.2 s, 2 a snare, 3 a bright zap, 4 to 9 bells and metal hits.
#pragma once

#include <vector>

#include "mp3_writer.h"

namespace content::glint {

struct Accent {
    float time;   // show seconds
    int kind;     // 0..9
};

constexpr int soundtrackRate = 44100;
constexpr double soundtrackSeconds = 260.0;   // 4:20, a little longer than the show

// The whole piece: 16-bit stereo at soundtrackRate, soundtrackSeconds long.
mp3::Pcm composeSoundtrack(const std::vector<Accent>& accents);

}  // namespace content::glint
