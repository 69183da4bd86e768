// The textures of korvo's sample show, drawn procedurally.
#pragma once

#include "picture.h"

namespace content::korvo {

// The title "KORVO" in blocky gold letters on black (the black drops out), 256 x 64.
Picture titlePicture();
// A glowing lattice for the torus: bars that wrap seamlessly in both directions around square
// black holes, the hue drifting along u, 256 x 256.
Picture latticePicture();
// A reflection map of a studio: sky, bright panels, a horizon and warm ground, no pure black,
// 256 x 256.
Picture chromePicture();
// A soft round sprite of a colour with a white-hot centre, on black, `size` x `size`.
Picture bobPicture(Colour colour, int size);
// A glowing band for an additive ring: bright along its middle (v = 0.5), fading to black
// at both edges, with brighter knots along u; in the given colour, 128 x 32.
Picture haloPicture(Colour colour);
// Chevron bands between two rails along u, black between the bands, 128 x 128.
Picture stripesPicture();
// A floor tile: every other square a dark glass pane with a glowing rim, the others black,
// 128 x 128 (2 x 2 squares: it tiles).
Picture checkerPicture();

}  // namespace content::korvo
