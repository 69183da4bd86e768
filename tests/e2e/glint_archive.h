// A small demo.dat for end-to-end runs of glintdemo: every member the show loads while its
// window is created, made by our own writers: flat-coloured JPEG pictures, and where an effect
// shows them, a soft dot, banded pictures, lettered banners and wavy height maps.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// Writes <folder>/demo.dat, leaving out the members named in `missing`; with `soundtrack`
// also <folder>/soundtrack.mp3 (a quiet tone of `seconds`). The show's scenes are empty ones
// unless `replaced` gives a member's bytes (which may also add members of other names).
void writeGlintFolder(const std::string& folder, const std::set<std::string>& missing = {}, bool soundtrack = false,
                      double seconds = 2.0, const std::map<std::string, std::vector<uint8_t>>& replaced = {});

// The lines of one frame of a DEMO_GL_TRACE file (without its "-- frame N" line).
std::vector<std::string> traceFrame(const std::string& trace, int frame);

}  // namespace testing_support
