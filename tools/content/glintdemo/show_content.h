// The whole sample show of glintdemo: the members of demo.dat and the soundtrack, made from
// nothing but code and one packaged font, the same bytes on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "soundtrack.h"

namespace content::glint {

struct ArchiveMember {
    std::string name;
    std::vector<uint8_t> bytes;
    bool deflated = true;   // JPEG pictures are stored: deflating them gains nothing
};

// Every member of the show's demo.dat: pictures, height maps and banner, then the scenes.
bool archiveMembers(const std::string& fontPath, std::vector<ArchiveMember>& members, std::string* error);

// The accents of the show's beat table.
std::vector<Accent> showAccents();

// The soundtrack as an MP3 file.
bool soundtrackMp3(std::vector<uint8_t>& mp3, std::string* error);

// Writes <folder>/demo.dat and <folder>/soundtrack.mp3 (the picture work and the music are
// made side by side on two threads).
bool writeShow(const std::string& folder, const std::string& fontPath, std::string* error);

}  // namespace content::glint
