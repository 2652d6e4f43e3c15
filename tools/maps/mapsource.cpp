// Map sources: the text files from which the shipped maps are built, with
// their texts, starting bombs, grid drawn in characters, and a solution.
#include "mapsource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>

#include "logic.h"
#include "util.h"

// The legend: one character per tile number of data/tiles.json.
static const struct {
    char c;
    int tile;
} LEGEND[] = {
    {' ', 0},  {'.', 1},  {',', 2},  {'o', 3},  {'@', 4},  {'#', 5},  {'H', 6},  {'W', 7},
    {'1', 8},  {'2', 9},  {'3', 10}, {'4', 11}, {'6', 12}, {'7', 13}, {'8', 14}, {'9', 15},
    {'G', 16}, {'a', 17}, {'b', 18}, {'r', 19}, {'v', 20}, {'P', 21}, {'C', 22}, {'_', 23},
    {'d', 24}, {'t', 25}, {'e', 26}, {'m', 27}, {'*', 28}, {'p', 29}, {'s', 30}, {'B', 31},
};

int mapsource_tile(char c) {
    for (const auto& l : LEGEND)
        if (l.c == c) return l.tile;
    return -1;
}

static std::string _trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// What a source reads: its head of keys, a grid, or steps.
enum _Part { PART_HEAD, PART_GRID, PART_STEPS };

// One "key: value" line; false with a message in err.
static bool _head_key(MapSource& out, const std::string& key, const std::string& value, const std::string& where,
                      _Part& part, std::string& err) {
    if (key == "name") out.name = value;
    else if (key == "title") out.title = value;
    else if (key == "intro") out.intro += (out.intro.empty() ? "" : " ") + value;
    else if (key == "music") out.music = value;
    else if (key == "theme") out.theme = value;
    else if (key == "bombs") {
        std::istringstream s(value);
        for (int& b : out.bombs) s >> b;
        if (!s) {
            err = where + "bombs needs four numbers";
            return false;
        }
    } else if (key == "map") {
        part = PART_GRID;
    } else if (key == "solution") {
        // A later solution would be read as the last shortcut's steps.
        if (!out.shortcuts.empty()) {
            err = where + "the solution comes before the shortcuts";
            return false;
        }
        part = PART_STEPS;
    } else if (key == "shortcut") {
        if (value.empty()) {
            err = where + "a shortcut needs the reason it must lose";
            return false;
        }
        out.shortcuts.push_back(MapShortcut{value, {}});
        part = PART_STEPS;
    } else {
        err = where + "unknown key '" + key + "'";
        return false;
    }
    return true;
}

bool mapsource_read(const char* path, MapSource& out, std::string& err) {
    out = MapSource();
    out.file = path;
    std::ifstream in(path);
    if (!in) {
        err = std::string(path) + ": cannot be read";
        return false;
    }
    _Part part = PART_HEAD;
    // Steps go to the solution, or after a "shortcut:" line to that shortcut.
    auto steps = [&out]() -> std::vector<std::string>& {
        return out.shortcuts.empty() ? out.solution : out.shortcuts.back().steps;
    };
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        number++;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string where = std::string(path) + ":" + std::to_string(number) + ": ";
        if (part == PART_GRID) {
            if (_trim(line) == "end") {
                part = PART_HEAD;
                continue;
            }
            for (char c : line)
                if (mapsource_tile(c) < 0) {
                    err = where + "unknown map character '" + c + "'";
                    return false;
                }
            out.grid.push_back(line);
            continue;
        }
        std::string t = _trim(line);
        if (t.empty() || t[0] == '#') continue;
        size_t colon = t.find(':');
        if (part == PART_STEPS && colon == std::string::npos) {
            steps().push_back(t);
            continue;
        }
        if (colon == std::string::npos) {
            err = where + "expected 'key: value'";
            return false;
        }
        if (!_head_key(out, t.substr(0, colon), _trim(t.substr(colon + 1)), where, part, err)) return false;
    }
    // Texts longer than their fields would be cut in the middle of a word.
    if (out.title.size() >= sizeof(LevelData::title) || out.intro.size() >= sizeof(LevelData::intro) ||
        out.name.size() >= sizeof(LevelData::name)) {
        err = std::string(path) + ": the name, title or intro is too long (" + std::to_string(out.intro.size()) +
              " characters of intro)";
        return false;
    }
    if (out.grid.empty() || out.name.empty()) {
        err = std::string(path) + ": a map needs a name and a grid";
        return false;
    }
    for (const MapShortcut& sc : out.shortcuts)
        if (sc.steps.empty()) {
            err = std::string(path) + ": the shortcut '" + sc.why + "' has no steps";
            return false;
        }
    size_t width = 0;
    for (const std::string& row : out.grid) width = std::max(width, row.size());
    int playable = MAP_MAX - MAP_MIN + 1;
    if ((int)width > playable || (int)out.grid.size() > playable) {
        err = std::string(path) + ": the grid is larger than the playable area";
        return false;
    }
    out.ox = MAP_SIZE / 2 - (int)width / 2;
    out.oy = MAP_SIZE / 2 - (int)out.grid.size() / 2;
    out.ox = std::max((int)MAP_MIN, std::min(out.ox, MAP_MAX + 1 - (int)width));
    out.oy = std::max((int)MAP_MIN, std::min(out.oy, MAP_MAX + 1 - (int)out.grid.size()));
    return true;
}

bool mapsource_read_dir(const char* dir, std::vector<MapSource>& out, std::string& err) {
    std::vector<std::string> names;
    DIR* d = opendir(dir);
    if (!d) {
        err = std::string(dir) + ": cannot be read";
        return false;
    }
    while (struct dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".map") == 0) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        MapSource src;
        if (!mapsource_read((std::string(dir) + "/" + n).c_str(), src, err)) return false;
        out.push_back(src);
    }
    return true;
}

void mapsource_apply(const MapSource& src, Game& game) {
    logic_new(game);
    LevelData& lev = game.level;
    // The new map's start area is replaced by the drawn grid.
    for (int y = MAP_MIN; y <= MAP_MAX; y++)
        for (int x = MAP_MIN; x <= MAP_MAX; x++) lev.data[y][x] = TILE_EMPTY;
    for (size_t r = 0; r < src.grid.size(); r++)
        for (size_t c = 0; c < src.grid[r].size(); c++)
            lev.data[src.oy + r][src.ox + c] = (unsigned char)mapsource_tile(src.grid[r][c]);
    mystrcpy(lev.name, sizeof(lev.name), src.name.c_str());
    mystrcpy(lev.title, sizeof(lev.title), src.title.c_str());
    mystrcpy(lev.intro, sizeof(lev.intro), src.intro.c_str());
    mystrcpy(lev.music, sizeof(lev.music), src.music.c_str());
    mystrcpy(lev.theme, sizeof(lev.theme), src.theme.c_str());
    mystrcpy(lev.author, sizeof(lev.author), "Velquist");
    // The shipped maps keep a stable key, so that a later build finds the same map.
    mystrcpy(lev.id, sizeof(lev.id), src.name.c_str());
    for (int k = 0; k < 4; k++) lev.inventory[D_BOMB1 + k] = src.bombs[k];
    lev.dirty = 0;
    game._edit = lev;
}

static bool _parse_steps(const MapSource& src, const std::vector<std::string>& lines, std::vector<MapStep>& out,
                         std::string& err) {
    out.clear();
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        MapStep st;
        bool ok = true;
        if (verb == "walk" || verb == "click") {
            st.kind = verb == "walk" ? MapStep::WALK : MapStep::CLICK;
            ok = (bool)(in >> st.x >> st.y);
            st.x += src.ox;
            st.y += src.oy;
        } else if (verb == "bomb") {
            st.kind = MapStep::BOMB;
            ok = (bool)(in >> st.n) && st.n >= 1 && st.n <= 4;
        } else if (verb == "wait") {
            st.kind = MapStep::WAIT;
            ok = (bool)(in >> st.n) && st.n >= 0;
        } else if (verb == "keys") {
            st.kind = MapStep::KEYS;
            ok = (bool)(in >> st.x >> st.y >> st.n);
        } else if (verb == "win") {
            st.kind = MapStep::WIN;
        } else {
            ok = false;
        }
        if (!ok) {
            err = src.file + ": bad solution step '" + line + "'";
            return false;
        }
        out.push_back(st);
    }
    return true;
}

bool mapsource_steps(const MapSource& src, std::vector<MapStep>& out, std::string& err) {
    return _parse_steps(src, src.solution, out, err);
}

// One tick as the play screen runs it; the first tick in which the player is
// dying is told in the log, with what killed it.
struct _Run {
    Game& game;
    const MapSource& src;
    std::string& log;
    const MapTickFn& on_tick;
    bool death_told = false;

    void tick() {
        logic_play_tick(game);
        if (on_tick) on_tick(game);
        Entity* p = logic_find(game, D_PLAYER);
        if (!p || p->state != D_DEAD || death_told) return;
        death_told = true;
        int px = std::max(0, std::min((int)(p->x + 0.5f), MAP_SIZE - 1));
        int py = std::max(0, std::min((int)(p->y + 0.5f), MAP_SIZE - 1));
        std::string how = game.tiles[game.level.data[py][px]].solid ? "the ground gave way" : "caught in a fire";
        for (const Entity& e : game.level.items)
            if (e.active && e.type == D_GUARD && e.state == D_SHOOT) {
                how = "shot by the guard at grid " + std::to_string((int)(e.x + 0.5f) - src.ox) + "," +
                      std::to_string((int)(e.y + 0.5f) - src.oy);
            }
        log += "the player died at tick " + std::to_string(game.level.frame) + " on grid " +
               std::to_string(px - src.ox) + "," + std::to_string(py - src.oy) + ": " + how + "\n";
    }
};

static bool _standing_on(Game& game, int x, int y) {
    Entity* p = logic_find(game, D_PLAYER);
    return p && p->x == x && p->y == y && p->path_n == 0 && p->dx == 0 && p->dy == 0;
}

static bool _replay_run(const MapSource& src, const std::vector<std::string>& lines, Game& game, std::string& log,
                        const MapTickFn& on_tick);

static bool _replay(const MapSource& src, const std::vector<std::string>& lines, Game& game, std::string& log,
                    const MapTickFn& on_tick) {
    // The replay reads a win or a death from the screen the rules switch to.
    GameHostHeadless headless;
    GameHost* host = game.host;
    if (!host) game.host = &headless;
    bool won = _replay_run(src, lines, game, log, on_tick);
    game.host = host;
    return won;
}

static bool _replay_run(const MapSource& src, const std::vector<std::string>& lines, Game& game, std::string& log,
                        const MapTickFn& on_tick) {
    std::vector<MapStep> steps;
    if (!_parse_steps(src, lines, steps, log)) return false;
    _Run run{game, src, log, on_tick};
    mapsource_apply(src, game);
    game.state = STATE_LEVEL;
    logic_play_start(game);
    char line[160];
    for (size_t i = 0; i < steps.size() && game.state == STATE_LEVEL; i++) {
        const MapStep& st = steps[i];
        int waited = 0;
        switch (st.kind) {
        case MapStep::WALK:
            logic_click(game, st.x, st.y);
            while (game.state == STATE_LEVEL && !_standing_on(game, st.x, st.y) && waited < MAPSOURCE_WALK_TICKS) {
                run.tick();
                waited++;
            }
            break;
        case MapStep::CLICK: logic_click(game, st.x, st.y); break;
        case MapStep::BOMB: logic_bomb(game, D_BOMB1 + st.n - 1); break;
        case MapStep::WAIT:
            for (; waited < st.n && game.state == STATE_LEVEL; waited++) run.tick();
            break;
        case MapStep::KEYS:
            logic_player_walk(game, st.x, st.y);
            for (; waited < st.n && game.state == STATE_LEVEL; waited++) run.tick();
            logic_player_walk(game, 0, 0);
            break;
        case MapStep::WIN:
            while (game.state == STATE_LEVEL && waited < MAPSOURCE_WIN_TICKS) {
                run.tick();
                waited++;
            }
            break;
        }
        Entity* p = logic_find(game, D_PLAYER);
        snprintf(line, sizeof(line), "step %zu '%s': %d ticks, frame %d, player at %.2f,%.2f (grid %d,%d) state %d, screen %d\n",
                 i + 1, lines[i].c_str(), waited, game.level.frame, p ? p->x : -1.0f, p ? p->y : -1.0f,
                 p ? (int)(p->x + 0.5f) - src.ox : -99, p ? (int)(p->y + 0.5f) - src.oy : -99, p ? p->state : -1,
                 game.state);
        log += line;
        if (st.kind == MapStep::WALK && game.state == STATE_LEVEL && !_standing_on(game, st.x, st.y)) {
            log += "the walk did not arrive\n";
            return false;
        }
    }
    // The win screen comes 60 ticks after the player reaches the window.
    for (int t = 0; t < MAPSOURCE_WIN_TICKS && game.state == STATE_LEVEL; t++) run.tick();
    if (game.state != STATE_LEVEL_WIN) {
        log += game.state == STATE_PAUSE ? "the player died\n" : "the map was not won\n";
        return false;
    }
    snprintf(line, sizeof(line), "won after %d ticks of play time, %d of %d cartridges, %d bombs left\n",
             game.level.timer, game.level.c_bonus, game.level.t_bonus, game.level.t_extra);
    log += line;
    return true;
}

bool mapsource_replay(const MapSource& src, Game& game, std::string& log, const MapTickFn& on_tick) {
    return _replay(src, src.solution, game, log, on_tick);
}

bool mapsource_replay_steps(const MapSource& src, const std::vector<std::string>& steps, Game& game,
                            std::string& log) {
    return _replay(src, steps, game, log, nullptr);
}
