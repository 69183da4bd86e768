// The music of korvo's sample show: a four-channel tracker module in A minor at 120 beats a
// minute, with its instruments synthesised here. A bar (16 rows) lasts 2 seconds and a pattern
// (4 bars, the chords A minor, F, C, G) 8 seconds, so the show's scenes change on pattern
// starts and their animations strike on the beats: a beat every half second from the start.
//
// Channels: 1 drums (one-bar loops of kick, snare and hats), 2 bass, 3 pads (a chord a bar),
// 4 lead (bells, arpeggios, the riser and the last impact).
#pragma once

#include "module_writer.h"

namespace content::korvo {

constexpr float beatSeconds = 0.5f;
constexpr float barSeconds = 2.0f;
constexpr float patternSeconds = 8.0f;

// The arrangement, one pattern a section of the show.
enum class Section { intro, groove, arpeggio, melody, breakdown, reprise, finale, outro, count };

module::Song showSong();

}  // namespace content::korvo
