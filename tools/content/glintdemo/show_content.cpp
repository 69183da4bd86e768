#include "show_content.h"

#include <cstdio>
#include <thread>

#include "heightmaps.h"
#include "pictures.h"
#include "scenes.h"
#include "shell/beattable.h"
#include "zip_writer.h"

namespace content::glint {

bool archiveMembers(const std::string& fontPath, std::vector<ArchiveMember>& members, std::string* error) {
    std::vector<ShowPicture> pictures;
    if (!showPictures(fontPath, pictures, error)) return false;
    Canvas bannerFirst, bannerSecond;
    if (!bannerPictures(fontPath, bannerFirst, bannerSecond, error)) return false;

    members.clear();
    for (const ShowPicture& picture : pictures) {
        ArchiveMember member{picture.name, {}, false};
        if (!encodeJpeg(picture.canvas, picture.layout, member.bytes, error)) {
            *error = picture.name + ": " + *error;
            return false;
        }
        members.push_back(std::move(member));
    }
    members.push_back({"addict1.raw", hillHeights()});
    members.push_back({"wave1.raw", swellHeights()});
    members.push_back({"s.raw", bannerSecond.bytes()});
    members.push_back({"sb.raw", bannerFirst.bytes()});
    members.push_back({"disp2.raw", bumpHeights()});
    members.push_back({"twirlb.raw", whirlHeights()});
    for (SceneFile& scene : showScenes()) members.push_back({scene.name, std::move(scene.bytes)});
    return true;
}

std::vector<Accent> showAccents() {
    fillBeatTable();
    std::vector<Accent> accents;
    for (const Beat& beat : BeatTable) accents.push_back({beat.time, beat.kind});
    return accents;
}

bool soundtrackMp3(std::vector<uint8_t>& mp3, std::string* error) {
    mp3::EncodeOptions options;
    options.bitrateKbps = 160;
    options.quality = 7;
    return mp3::encode(composeSoundtrack(showAccents()), options, mp3, error);
}

bool writeShow(const std::string& folder, const std::string& fontPath, std::string* error) {
    std::vector<uint8_t> mp3;
    std::string soundError;
    bool soundMade = false;
    std::thread music([&] { soundMade = soundtrackMp3(mp3, &soundError); });

    std::vector<ArchiveMember> members;
    bool membersMade = archiveMembers(fontPath, members, error);
    music.join();
    if (!membersMade) return false;
    if (!soundMade) {
        *error = "soundtrack: " + soundError;
        return false;
    }

    ZipWriter zip;
    for (const ArchiveMember& member : members) {
        ZipWriter::MemberOptions options;
        options.method = member.deflated ? ZipWriter::Method::deflated : ZipWriter::Method::stored;
        zip.add(member.name, member.bytes, options);
    }
    if (!zip.writeFile(folder + "/demo.dat")) {
        *error = "cannot write " + folder + "/demo.dat";
        return false;
    }
    std::FILE* out = std::fopen((folder + "/soundtrack.mp3").c_str(), "wb");
    bool written = out && std::fwrite(mp3.data(), 1, mp3.size(), out) == mp3.size();
    if (out && std::fclose(out) != 0) written = false;
    if (!written) {
        *error = "cannot write " + folder + "/soundtrack.mp3";
        return false;
    }
    return true;
}

}  // namespace content::glint
