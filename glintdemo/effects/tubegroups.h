// The tube group effects' settings at a show time, apart from drawing: the size of each group's
// tube and the parameters of its two deformers.
#pragma once

// Group 1 (deformed by "disp2.raw", then "wave1.raw"): a 40 x 40 tube of length 500, radius 80.
void configureTubeGroup1(float t);
// Group 2 (deformed by "wave1.raw", then "twirlb.raw"): 40 rings of 20 segments, length 400,
// radius 35.
void configureTubeGroup2(float t);
