// Writes the game's sound effects and menu music as Ogg/Vorbis files, with
// the catalogues sound.txt and music.txt that name them.
//
// Usage: velquist_synth <data folder>
#include <cstdio>
#include <string>
#include <vector>

#include "dsp.h"
#include "sounds.h"

namespace {

const double EFFECT_QUALITY = 0.4;
const double MUSIC_QUALITY = 0.3;

struct Effect {
    const char* name;
    std::vector<float> (*make)();
};

const Effect EFFECTS[] = {
    {"bomb", synth::effect_bomb},   {"drop", synth::effect_drop}, {"shoot", synth::effect_shoot},
    {"guard", synth::effect_guard}, {"win", synth::effect_win},   {"yeah", synth::effect_yeah},
    {"death", synth::effect_death}, {"tick", synth::effect_tick},
};

bool write_text(const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "synth: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <data folder>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::string sounds = "{\n";
    bool ok = true;
    for (size_t i = 0; i < sizeof(EFFECTS) / sizeof(EFFECTS[0]); i++) {
        std::string file = std::string("sfx_") + EFFECTS[i].name + ".ogg";
        ok = synth::write_ogg((dir + "/" + file).c_str(), EFFECTS[i].make(), 1, EFFECT_QUALITY) && ok;
        sounds += std::string("  \"") + EFFECTS[i].name + "\": {\"fname\": \"" + file + "\"}" +
                  (i + 1 < sizeof(EFFECTS) / sizeof(EFFECTS[0]) ? ",\n" : "\n");
    }
    sounds += "}\n";
    const char* music_file = "music_menus.ogg";
    ok = synth::write_ogg((dir + "/" + music_file).c_str(), synth::music_menus(), 2, MUSIC_QUALITY) && ok;
    ok = write_text(dir + "/sound.txt", sounds) && ok;
    ok = write_text(dir + "/music.txt", std::string("{\n  \"menus\": {\"fname\": \"") + music_file + "\"}\n}\n") && ok;
    return ok ? 0 : 1;
}
