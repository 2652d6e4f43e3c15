// The tile catalogue: what each of the 256 tile numbers means, parsed from
// the text of tiles.json.
#include <json/json.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "game.h"
#include "log.h"
#include "util.h"

int _game_def_map(const char* name) {
    static const char* names[] = {
        "none", "floor", "dark", "full", "arch", "wall", "window", "pillar", "crate",
        "pit", "guard", "player", "arrow", "light", "item", "sprite", "decal",
    };
    if (!name) return -1;
    for (int i = 0; i < (int)MY_COUNT(names); i++)
        if (strcmp(name, names[i]) == 0) return i;
    return -1;
}

// A number beyond the range of int is clamped to it: jsoncpp's asInt would
// throw, and a damaged catalogue must not end the program.
static int _tile_int(const Json::Value& v, const char* key) {
    const Json::Value& f = v[key];
    if (f.isInt()) return f.asInt();
    if (!f.isNumeric()) return 0;
    double d = f.asDouble();
    if (d >= (double)INT_MAX) return INT_MAX;
    if (d <= (double)INT_MIN) return INT_MIN;
    return (int)d;
}

static std::string _tile_str(const Json::Value& v, const char* key) {
    const Json::Value& f = v[key];
    return f.isString() ? f.asString() : std::string();
}

bool game_tiles_parse(Game& game, const std::string& text) {
    memset(game.tiles, 0, sizeof(game.tiles));
    Json::Value root;
    Json::Reader reader;
    if (text.empty() || !reader.parse(text, root) || !root.isArray()) return false;
    for (const Json::Value& el : root) {
        if (!el.isObject()) continue;
        int n = _tile_int(el, "n");
        if (n < 0 || n >= TILE_MAX) {
            fprintf(stderr, "_game_tile_init: tile number %d out of range, skipped\n", n);
            continue;
        }
        TileData& t = game.tiles[n];
        t.n = n;
        mystrcpy(t.name, sizeof(t.name), _tile_str(el, "name").c_str());
        t.type = (char)_game_def_map(_tile_str(el, "type").c_str());
        t.view = (char)_game_def_map(_tile_str(el, "view").c_str());
        t.value = _tile_int(el, "value");
        t.solid = _tile_int(el, "solid");
        t.opaque = _tile_int(el, "opaque");
        t.shadow = _tile_int(el, "shadow");
        t.editor = _tile_int(el, "editor");
        mystrcpy(t.help, sizeof(t.help), _tile_str(el, "help").c_str());
        log_info("_game_tile_init %d %s : %d,%d,%d %d,%d,%d\n", n, t.name, t.type,
                t.value, t.view, t.solid, t.opaque, t.shadow);
    }
    return true;
}

bool game_tiles_load(Game& game, const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        memset(game.tiles, 0, sizeof(game.tiles));
        fprintf(stderr, "file not found: %s\n", path);
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return game_tiles_parse(game, text.str());
}
