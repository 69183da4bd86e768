// The effects the timeline calls, each a function of the show time, and their set-ups.
#pragma once

struct Texture;

// Entry points, in the order the timeline knows them.
void effectEnvObjects(float start);
void effectBillboards();
void effectFlatMesh();
void effectBackground();
void effectTubeGroup2(float t, Texture* picture, float start);
void effectTubeGroup1(float t, Texture* picture);
void effectBanner();
void effectDotTitles(float localTime);
void effectRunScene(float localTime, int variant, float rate);
void runWorld(int world);
void effectBeatFlash();

// Set-ups, run while the window is created.
void setupEnvObjects(const char* picture, const char* background, const char* heightMap);
void setupBanner(const char* first, const char* second);
void setupFlatMesh();
void setupBillboards();
void initWorld(int world);
void createStreamerSet();
void createRunSceneHolder();
