// The sample show the build generated into build/content/glintdemo/, as the show reads it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// build/content/glintdemo
std::string builtShowDir();

// The members of its demo.dat, read with the show's own archive reader; empty when there is no
// such archive.
std::map<std::string, std::vector<uint8_t>> builtShowMembers();

}  // namespace testing_support
