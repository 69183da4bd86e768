#include "effects/view.h"

#include "shell/demowindow.h"
#include "shell/glbinding.h"

void setPerspectiveView() {
    const double aspect = double(demoWindow->height) / double(demoWindow->width);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.5, 0.5, -aspect / 2.0, aspect / 2.0, 1.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
