#include "show.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "module_writer.h"
#include "song.h"

namespace content::korvo {

std::string showScript() {
    return "KVXDEMO\n"
           "0     PlaySong    theme.mod       the music: eight sections of eight seconds\n"
           "0     PlayScene   stars.lws       the starfield behind every section\n"
           "0     PlayScene   intro.lws       the title flies in\n"
           "\n"
           "8     ResetTimer                  each section's scene starts at 0 on its downbeat\n"
           "8     DelScene    intro.lws\n"
           "8     PlayScene   crystals.lws    the drums come in\n"
           "16    ResetTimer\n"
           "16    DelScene    crystals.lws\n"
           "16    PlayScene   lattice.lws     the arpeggios\n"
           "24    ResetTimer\n"
           "24    DelScene    lattice.lws\n"
           "24    PlayScene   chrome.lws      the melody\n"
           "24    ChangeCamera Orbit          cameras follow their scenes; this changes nothing\n"
           "32    ResetTimer\n"
           "32    DelScene    chrome.lws\n"
           "32    PlayScene   nebula.lws      the breakdown\n"
           "40    ResetTimer\n"
           "40    DelScene    nebula.lws\n"
           "40    PlayScene   ribbon.lws      the arpeggios again\n"
           "48    ResetTimer\n"
           "48    DelScene    ribbon.lws\n"
           "48    PlayScene   finale.lws      everything at once\n"
           "56    ResetTimer\n"
           "56    DelScene    finale.lws\n"
           "56    PlayScene   outro.lws       the last chord\n"
           "62    Quit\n";
}

Show makeShow() {
    Show show;
    show.files.push_back({"demoflow.txt", {}});
    std::string script = showScript();
    show.files.back().bytes.assign(script.begin(), script.end());

    std::vector<uint8_t> song;
    std::string error;
    if (!module::writeMod(showSong(), song, &error)) throw std::logic_error("the show's song: " + error);
    show.files.push_back({"theme.mod", std::move(song)});

    for (ShowFile& file : showImages()) show.files.push_back(std::move(file));
    for (ShowFile& file : showObjects()) show.files.push_back(std::move(file));
    show.scenes = showScenes();
    for (const auto& [name, scene] : show.scenes) {
        std::string text = scene.text();
        show.files.push_back({"scenes/" + name, std::vector<uint8_t>(text.begin(), text.end())});
    }
    return show;
}

bool writeShow(const Show& show, const std::string& folder, std::string* error) {
    namespace fs = std::filesystem;
    for (const ShowFile& file : show.files) {
        fs::path path = fs::path(folder) / file.path;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
        if (!out) {
            if (error) *error = "cannot write " + path.string();
            return false;
        }
    }
    return true;
}

}  // namespace content::korvo
