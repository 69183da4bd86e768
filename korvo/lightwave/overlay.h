// The viewer's statistics overlay, drawn with the D3DX debug text over the finished image:
// the scene clock and frames per second (mode 1), and also the described object's points,
// triangles and surfaces with their materials, the display mode and the wait-for-retrace
// switch (mode 2). Lines are 15 pixels apart; the left column starts at 2 % of the width, the
// right one at 82 %.
#pragma once

class SceneObject;
class Viewer;

void drawOverlay(const Viewer& viewer, const SceneObject& described);
