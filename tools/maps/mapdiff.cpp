// Map difficulty: figures measured by replaying a map's recorded solution,
// and the skulls (the record's difficulty rating) that follow from them.
#include "mapdiff.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "logic.h"

namespace {

// The rules' sight ranges (cells): ordinary and into a lit cell.
const float SIGHT_RANGE = LOGIC_SIGHT_RANGE, SIGHT_RANGE_LIT = LOGIC_SIGHT_RANGE_LIT;

// How each figure weighs in the difficulty: the figure at which its share is
// full, and that share in skulls. A hard map is long, crowded, spent close
// to the guards' eyes, and needs many bombs.
const float FULL_SECONDS = 120, SECONDS_SKULLS = 1.25f;
const float FULL_GUARDS = 10, GUARDS_SKULLS = 1.0f;
const float FULL_WATCHED = 0.5f, WATCHED_SKULLS = 1.25f;
const float FULL_BOMBS = 6, BOMBS_SKULLS = 1.0f;
const float FULL_CARTRIDGES = 5, CARTRIDGES_SKULLS = 0.5f;
const float SKULL_STEP = 0.5f;

float _share(float figure, float full, float skulls) { return std::min(1.0f, figure / full) * skulls; }

int _cell(float v) { return std::max(0, std::min((int)(v + 0.5f), MAP_SIZE - 1)); }

// Whether an awake guard has the player in line within the range of the
// player's cell, whichever way he faces and however dark it is there: the
// moments in which one turn of his head, or one step out of the shadow,
// would end the game.
bool _watched(Game& g, const Entity& p) {
    if (g.level.emp > 0) return false;
    int px = _cell(p.x), py = _cell(p.y);
    float range = (g.ext.info[py][px] & INFO_LIT) ? SIGHT_RANGE_LIT : SIGHT_RANGE;
    for (const Entity& e : g.level.items) {
        if (!e.active || e.type != D_GUARD || e.state == D_DEAD) continue;
        int gx = _cell(e.x), gy = _cell(e.y);
        float d = std::sqrt((float)((px - gx) * (px - gx) + (py - gy) * (py - gy)));
        if (d <= range && logic_line_of_sight(g, gx, gy, px, py)) return true;
    }
    return false;
}

}  // namespace

bool mapdiff_measure(const MapSource& src, Game& game, MapFigures& out, std::string& log) {
    out = MapFigures();
    out.height = (int)src.grid.size();
    for (const std::string& row : src.grid) {
        out.width = std::max(out.width, (int)row.size());
        for (char c : row) {
            int type = game.tiles[std::max(0, mapsource_tile(c))].type;
            out.guards += type == D_GUARD;
            out.lights += type == D_LIGHT;
        }
    }
    auto observe = [&out](Game& g) {
        Entity* p = logic_find(g, D_PLAYER);
        if (!p || out.ticks) return;
        if (p->state == D_WIN) {
            out.ticks = g.level.frame;
            return;
        }
        if (!p->p_moved || p->state == D_DEAD) return;
        out.moving_ticks++;
        out.watched_ticks += _watched(g, *p);
    };
    out.won = mapsource_replay(src, game, log, observe);
    out.cartridges = game.level.t_bonus;
    // Bombs spent: the starting stock and those picked up, less what is left.
    int picked[4] = {0, 0, 0, 0};
    for (size_t r = 0; r < src.grid.size(); r++)
        for (size_t c = 0; c < src.grid[r].size(); c++) {
            const TileData& t = game.tiles[std::max(0, mapsource_tile(src.grid[r][c]))];
            bool gone = game.level.data[src.oy + r][src.ox + c] == TILE_FLOOR;
            if (t.type == D_ITEM && t.value >= 1 && t.value <= 4 && gone) picked[t.value - 1]++;
        }
    for (int k = 0; k < 4; k++)
        out.bombs_used[k] = std::max(0, src.bombs[k] + picked[k] - game.level.inventory[D_BOMB1 + k]);
    return out.won;
}

float mapdiff_skulls(const MapFigures& f) {
    float score = MAPDIFF_SKULLS_MIN + _share(f.ticks / (float)TICKS_PER_SECOND, FULL_SECONDS, SECONDS_SKULLS) +
                  _share((float)f.guards, FULL_GUARDS, GUARDS_SKULLS) +
                  _share(f.watched(), FULL_WATCHED, WATCHED_SKULLS) +
                  _share((float)f.bombs(), FULL_BOMBS, BOMBS_SKULLS) +
                  _share((float)f.cartridges, FULL_CARTRIDGES, CARTRIDGES_SKULLS);
    score = std::round(score / SKULL_STEP) * SKULL_STEP;
    return std::max((float)MAPDIFF_SKULLS_MIN, std::min((float)MAPDIFF_SKULLS_MAX, score));
}

std::string mapdiff_header() {
    return "| map | title | size | ticks | guards | lights | watched | bombs d/t/e/m | cartridges | skulls |\n"
           "|---|---|---|---|---|---|---|---|---|---|\n";
}

std::string mapdiff_row(const MapSource& src, const MapFigures& f) {
    char line[256];
    snprintf(line, sizeof(line), "| %s | %s | %dx%d | %d | %d | %d | %d%% | %d/%d/%d/%d | %d | %.1f |\n",
             src.name.c_str(), src.title.c_str(), f.width, f.height, f.ticks, f.guards, f.lights,
             (int)std::lround(f.watched() * 100), f.bombs_used[0], f.bombs_used[1], f.bombs_used[2],
             f.bombs_used[3], f.cartridges, mapdiff_skulls(f));
    return line;
}
