// The perspective most effects draw with.
#pragma once

// Projection: a frustum from -0.5 to 0.5 across and the window's aspect up and down at the near
// plane 1.0, far plane 5000.0; the modelview matrix current and reset to the identity.
void setPerspectiveView();
