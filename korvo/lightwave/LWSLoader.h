// The LightWave scene reader: an LWS text file (first word "LWSC") becomes a Scene's objects,
// lights and cameras, their animation channels and properties, and the scene settings the
// player uses.
//
// It reads keyword by keyword: one word, its values, and the rest of the line is dropped;
// keywords it does not know are skipped, so any scene the modeller saves loads. Before the
// first keyword the scene gets its ambient light, which the keywords before the first
// "AddLight" act on.
//
//     LoadObjectLayer 1 ship.lwo          an object; it is the current item
//     ObjectMotion
//     NumChannels 9                       nine envelopes: position, heading/pitch/bank, scale
//     Channel 0
//     { Envelope
//       2                                 keys
//       Key 0 0 0 0 0 0 0 0 0             value, time, shape, six parameters
//       Key 5 2 3 0 0 0 0 0 0
//       Behaviors 1 1
//     }
//     ...
//     ObjectDissolve (envelope)           a property: a number, or an envelope per component
//     { Envelope ... }
//
// Keywords that set a light, a camera or an object act only while an item of that kind is the
// current one.
#pragma once

#include <cstdio>
#include <string>

class Scene;

// Reads `fileName` into `scene`. False, with nothing reported, when the file cannot be opened
// or does not begin with "LWSC"; true once the whole file is read. A damaged file (an envelope
// cut short, a key line that is no key, channels an item has no float for, a morph target that
// is no object of the scene) is logged ("in scene file: ...") and ends the program with exit
// code 20.
bool readScene(const char* fileName, Scene* scene);

enum class SceneFileResult { read, notAScene, damaged };

// The reading itself, from an open file: `damage` says what is wrong with a damaged file.
// Objects are loaded as they are named; what cannot be loaded or built ends the program.
SceneFileResult readSceneFile(std::FILE* file, Scene* scene, std::string* damage);
