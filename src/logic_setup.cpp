// Map set-up: new maps, spawning actors with their patrol routes, the per-cell
// flag grid, entity slots and lookups.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "logic.h"
#include "logic_internal.h"
#include "util.h"

enum {
    NEW_MAP_CENTRE = MAP_SIZE / 2,  // the start area of a new map surrounds this cell
    NEW_MAP_START_RADIUS = 1,       // the floor around it: 3 by 3 cells
    LIGHT_RADIUS = 5,               // cells lit: i*i + j*j < LIGHT_RADIUS^2
    LIGHT_LIMIT = MAP_MAX + 1,      // lights reach one row and column farther than actors
    CROWD = 2                       // "more than one" neighbour
};

// ---------------------------------------------------------------- small helpers

int _logic_int(float v) {
    if (v != v) return 0;
    if (v < (float)LOGIC_POS_MIN) return LOGIC_POS_MIN;
    if (v > (float)LOGIC_POS_MAX) return LOGIC_POS_MAX;
    return (int)v;
}

static TileData _logic_make_outside() {
    TileData t;
    memset(&t, 0, sizeof(t));
    t.solid = 1;
    t.opaque = 1;
    return t;
}

const TileData& _logic_tile(const Game& game, int x, int y) {
    static const TileData outside = _logic_make_outside();
    if (!_logic_on_grid(x, y)) return outside;
    return game.tiles[game.level.data[y][x]];
}

// Writes v in decimal at out (at most 11 characters) and returns how many.
static size_t _put_int(char* out, int v) {
    char digits[12];
    size_t k = 0, n = 0;
    unsigned u = v < 0 ? 0u - (unsigned)v : (unsigned)v;
    do {
        digits[k++] = (char)('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0) out[n++] = '-';
    while (k) out[n++] = digits[--k];
    return n;
}

void _logic_image_name(char* out, size_t size, const char* kind, const char* pose, int a, int b) {
    enum { WORD_MAX = 24, INT_CHARS = 11 };
    size_t lk = strnlen(kind, WORD_MAX + 1), lp = strnlen(pose, WORD_MAX + 1);
    if (!size) return;
    if (lk > WORD_MAX || lp > WORD_MAX) {  // the rules' words are short; anything else the slow way
        snprintf(out, size, "%s-%s-%d-%d", kind, pose, a, b);
        return;
    }
    char text[2 * WORD_MAX + 2 * INT_CHARS + 4];
    memcpy(text, kind, lk);
    size_t n = lk;
    text[n++] = '-';
    memcpy(text + n, pose, lp);
    n += lp;
    text[n++] = '-';
    n += _put_int(text + n, a);
    text[n++] = '-';
    n += _put_int(text + n, b);
    if (n > size - 1) n = size - 1;
    memcpy(out, text, n);
    out[n] = 0;
}

int _logic_slot(const Game& game, const Entity& e) {
    const Entity* first = game.level.items;
    if (&e < first || &e >= first + ENTITY_MAX) return -1;
    return (int)(&e - first);
}

// Number of the four neighbours of (x, y) that hold tile t; (x, y) lies inside
// the grid's outermost ring.
static int _neighbours_holding(const LevelData& lev, int x, int y, int t) {
    return (lev.data[y][x - 1] == t) + (lev.data[y][x + 1] == t) +
           (lev.data[y - 1][x] == t) + (lev.data[y + 1][x] == t);
}

// ---------------------------------------------------------------- new map

void logic_new(Game& game) {
    LevelData& lev = game.level;
    memset(&lev, 0, sizeof(lev));
    for (int i = 0; i < MAP_BORDER; i++) {
        for (int j = 0; j < MAP_SIZE; j++) {
            lev.data[j][i] = TILE_BORDER;
            lev.data[j][MAP_SIZE - 1 - i] = TILE_BORDER;
            lev.data[i][j] = TILE_BORDER;
            lev.data[MAP_SIZE - 1 - i][j] = TILE_BORDER;
        }
    }
    lev.pan_x = lev.pan_y = (float)NEW_MAP_CENTRE;
    for (int y = NEW_MAP_CENTRE - NEW_MAP_START_RADIUS; y <= NEW_MAP_CENTRE + NEW_MAP_START_RADIUS; y++)
        for (int x = NEW_MAP_CENTRE - NEW_MAP_START_RADIUS; x <= NEW_MAP_CENTRE + NEW_MAP_START_RADIUS; x++)
            lev.data[y][x] = TILE_FLOOR;
    lev.data[NEW_MAP_CENTRE][NEW_MAP_CENTRE] = TILE_START;
    snprintf(lev.id, sizeof(lev.id), "%ld", (long)time(nullptr));
    lev.dirty = 1;
    game._edit = lev;
}

// ---------------------------------------------------------------- entity slots

static Entity& _spare_entity(Game& game);

Entity* logic_next_entity(Game& game) {
    LevelData& lev = game.level;
    unsigned start = (unsigned)lev.item_n % ENTITY_MAX;
    for (unsigned k = 0; k < ENTITY_MAX; k++) {
        int i = (int)((start + k) % ENTITY_MAX);
        Entity& e = lev.items[i];
        if (e.active) continue;
        memset(&e, 0, sizeof(e));
        e.n = i;
        lev.item_n = i + 1;
        return &e;
    }
    Entity& spare = _spare_entity(game);
    memset(&spare, 0, sizeof(spare));
    return &spare;
}

Entity* logic_find(Game& game, int type) {
    for (Entity& e : game.level.items)
        if (e.active && e.type == type) return &e;
    return nullptr;
}

Entity* logic_find_at(Game& game, int x, int y) {
    for (Entity& e : game.level.items) {
        if (!e.active || e.type == D_PLAYER || e.type == D_LIGHT) continue;
        if (e.x == (float)x && e.y == (float)y) return &e;
    }
    return nullptr;
}

// ---------------------------------------------------------------- patrol routes

static void _goal_put(Entity& e, int x, int y) {
    e.goal[e.goal_n][0] = (unsigned char)(x < 0 ? 0 : (x >= MAP_SIZE ? MAP_SIZE - 1 : x));
    e.goal[e.goal_n][1] = (unsigned char)(y < 0 ? 0 : (y >= MAP_SIZE ? MAP_SIZE - 1 : y));
    e.goal_n++;
}

void logic_goal_build(Game& game, Entity& e) {
    int x = _logic_int(e.x), y = _logic_int(e.y);
    int dx = _logic_int(e.dx), dy = _logic_int(e.dy);
    e.goal_n = 0;
    e.goal_cur = 0;
    e.goal_loop = 0;
    _goal_put(e, x, y);
    if (e.tx != x || e.ty != y) {
        x = e.tx;
        y = e.ty;
        _goal_put(e, x, y);
    }
    bool light = e.type == D_LIGHT;
    // Every turn either appends a cell (at most GOAL_MAX) or ends the route,
    // and between turns the walk leaves the playable area after 120 steps.
    while (dx != 0 || dy != 0) {
        x += dx;
        y += dy;
        if (!_logic_playable(x, y)) break;
        const TileData& t = _logic_tile(game, x, y);
        if (!light && t.solid) break;
        if (t.type != D_ARROW) continue;
        bool closed = false;
        for (int k = 1; k < e.goal_n; k++) {
            if (e.goal[k][0] == x && e.goal[k][1] == y) {
                e.goal_loop = k;
                closed = true;
                break;
            }
        }
        if (closed) break;
        _goal_put(e, x, y);
        if (e.goal_n >= GOAL_MAX) break;
        _logic_arrow_step(t.value, &dx, &dy);
    }
}

// ---------------------------------------------------------------- set-up

// Calls f(arrow cell x, y, step dx, dy) for every arrow tile in the 3 by 3
// block around (x, y), row by row, so that the last call is the one that wins.
template <typename F>
static void _each_arrow_around(Game& game, int x, int y, F f) {
    for (int j = y - 1; j <= y + 1; j++) {
        for (int i = x - 1; i <= x + 1; i++) {
            const TileData& t = _logic_tile(game, i, j);
            if (t.type != D_ARROW) continue;
            int dx, dy;
            _logic_arrow_step(t.value, &dx, &dy);
            f(i, j, dx, dy);
        }
    }
}

static Entity* _spawn(Game& game, int type, int x, int y) {
    Entity* e = logic_next_entity(game);
    e->active = 1;
    e->type = (char)type;
    e->x = (float)x;
    e->y = (float)y;
    e->tx = (char)x;
    e->ty = (char)y;
    e->arrow = LOGIC_FACING_NEW;
    return e;
}

static void _spawn_player(Game& game, int x, int y) {
    Entity* e = _spawn(game, D_PLAYER, x, y);
    e->state = D_STOP;
    _each_arrow_around(game, x, y, [&](int, int, int dx, int dy) {
        e->arrow = (char)logic_dxdy_to_arrow(dx, dy);
    });
    mystrcpy(e->iname, sizeof(e->iname), "player");
}

static void _spawn_guard(Game& game, int x, int y) {
    Entity* e = _spawn(game, D_GUARD, x, y);
    _each_arrow_around(game, x, y, [&](int ax, int ay, int dx, int dy) {
        e->dx = (float)dx;
        e->dy = (float)dy;
        e->arrow = (char)logic_dxdy_to_arrow(dx, dy);
        e->tx = (char)ax;
        e->ty = (char)ay;
    });
    logic_goal_build(game, *e);
    e->dx = e->dy = 0;
    e->tx = (char)x;
    e->ty = (char)y;
    e->state = D_STOP;
    mystrcpy(e->iname, sizeof(e->iname), "guard");
}

static void _spawn_light(Game& game, int x, int y, int value) {
    Entity* e = _spawn(game, D_LIGHT, x, y);
    e->value = value;
    _each_arrow_around(game, x, y, [&](int, int, int dx, int dy) {
        e->dx = (float)dx;
        e->dy = (float)dy;
    });
    logic_goal_build(game, *e);
    e->dx = e->dy = 0;
    e->state = D_STOP;
}

// Spawn and arrow cells become floor, taking the look of their surroundings.
static void _clear_spawn_cells(Game& game) {
    LevelData& lev = game.level;
    for (int y = 1; y < MAP_SIZE - 1; y++) {
        for (int x = 1; x < MAP_SIZE - 1; x++) {
            int type = game.tiles[lev.data[y][x]].type;
            bool marker = type == D_ARROW || type == D_LIGHT;
            if (!marker && type != D_PLAYER && type != D_GUARD) continue;
            lev.data[y][x] = TILE_FLOOR;
            if (_neighbours_holding(lev, x, y, TILE_DARK) >= CROWD) lev.data[y][x] = TILE_DARK;
            if (!marker) continue;
            if (_neighbours_holding(lev, x, y, TILE_EMPTY) >= CROWD) lev.data[y][x] = TILE_EMPTY;
            if (_neighbours_holding(lev, x, y, TILE_HOLE) >= CROWD) lev.data[y][x] = TILE_HOLE;
        }
    }
}

void logic_init(Game& game, int live) {
    LevelData& lev = game.level;
    _logic_mend_live(lev);
    memset(lev.items, 0, sizeof(lev.items));
    lev.item_n = lev.frame = lev.timer = 0;
    lev.t_pillars = lev.c_pillars = lev.t_bonus = lev.c_bonus = 0;

    for (int y = MAP_MIN; y <= MAP_MAX; y++) {
        for (int x = MAP_MIN; x <= MAP_MAX; x++) {
            const TileData& t = game.tiles[lev.data[y][x]];
            switch (t.type) {
            case D_PILLAR: lev.t_pillars++; break;
            case D_ITEM: if (t.value == LOGIC_ITEM_BONUS) lev.t_bonus++; break;
            case D_PLAYER: _spawn_player(game, x, y); break;
            case D_GUARD: _spawn_guard(game, x, y); break;
            case D_LIGHT: _spawn_light(game, x, y, t.value); break;
            default: break;
            }
        }
    }
    if (live) {
        if (Entity* p = logic_find(game, D_PLAYER)) {
            lev.pan_x = p->x;
            lev.pan_y = p->y;
        }
    }
    _clear_spawn_cells(game);

    logic_info(game);
    logic_loop(game);
    logic_info(game);
    logic_loop(game);
}

// ---------------------------------------------------------------- cell flags

// What logic_info needs of each catalogue entry, gathered once per call so
// that the pass over the grid is table look-ups.
namespace {
struct TileFlags {
    unsigned char own[TILE_MAX];      // SOLID, OPAQUE and DARK of the tile itself
    unsigned char keep[TILE_MAX];     // mask for the shadow already on the cell
    unsigned char below1[TILE_MAX];   // shadow cast one row down
    unsigned char below2[TILE_MAX];   // and two rows down
    unsigned char pillar[TILE_MAX];
    unsigned char sprite[TILE_MAX];
};
}  // namespace

// The entry of catalogue tile i.
static void _tile_flags_of(const Game& game, int i, TileFlags& k) {
    const TileData& t = game.tiles[i];
    k.own[i] = (unsigned char)((t.solid ? INFO_SOLID : 0) | (t.opaque ? INFO_OPAQUE : 0) |
                               (t.type == D_DARK ? INFO_DARK : 0));
    k.keep[i] = (unsigned char)(t.shadow != 0 ? ~INFO_SHADOW : 0xFF);
    k.below1[i] = (unsigned char)(t.shadow >= 1 ? INFO_SHADOW : 0);
    k.below2[i] = (unsigned char)(t.shadow >= 2 ? INFO_SHADOW : 0);
    k.pillar[i] = t.type == D_PILLAR;
    k.sprite[i] = t.view == D_SPRITE;
}

static void _tile_flags(const Game& game, TileFlags& k) {
    for (int i = 0; i < TILE_MAX; i++) _tile_flags_of(game, i, k);
}

static bool _tile_flags_same(const TileFlags& a, const TileFlags& b, int i) {
    return a.own[i] == b.own[i] && a.keep[i] == b.keep[i] && a.below1[i] == b.below1[i] &&
           a.below2[i] == b.below2[i] && a.pillar[i] == b.pillar[i] && a.sprite[i] == b.sprite[i];
}

namespace {
// The cells a light reaches around its own: i*i + j*j < LIGHT_RADIUS^2.
struct LightDisc {
    int n = 0;
    signed char cell[(2 * LIGHT_RADIUS + 1) * (2 * LIGHT_RADIUS + 1)][2];
    LightDisc() {
        for (int j = -LIGHT_RADIUS; j <= LIGHT_RADIUS; j++) {
            for (int i = -LIGHT_RADIUS; i <= LIGHT_RADIUS; i++) {
                if (i * i + j * j >= LIGHT_RADIUS * LIGHT_RADIUS) continue;
                cell[n][0] = (signed char)i;
                cell[n][1] = (signed char)j;
                n++;
            }
        }
    }
};
}  // namespace

static void _info_lights(Game& game) {
    static const LightDisc disc;
    auto& info = game.ext.info;
    for (const Entity& e : game.level.items) {
        if (!e.active || e.type != D_LIGHT) continue;
        int lx = _logic_cell(e.x), ly = _logic_cell(e.y);
        for (int k = 0; k < disc.n; k++) {
            int x = lx + disc.cell[k][0], y = ly + disc.cell[k][1];
            if (x < MAP_MIN || x > LIGHT_LIMIT || y < MAP_MIN || y > LIGHT_LIMIT) continue;
            if (!(info[y][x] & INFO_DARK)) info[y][x] |= INFO_LIT;
        }
    }
}

// The tiles change seldom while the flags are asked for every tick, so the
// tile part of the last grid is kept with the grid and catalogue flags it
// came from. It is a pure function of those inputs, kept with each Game.
// Only the catalogue entries of the tiles in the grid enter it, so only
// those are looked at again on the next call.
namespace {
struct InfoMemo {
    bool valid = false;
    unsigned char data[MAP_SIZE][MAP_SIZE];
    TileFlags kinds;
    bool used[TILE_MAX];                 // tiles that data holds or held since the last full pass
    unsigned char used_list[TILE_MAX];
    int used_n = 0;
    unsigned char info[MAP_SIZE][MAP_SIZE];
    int row_pillars[MAP_SIZE];           // pillars of each playable row
};
}  // namespace

// ---------------------------------------------------------------- working space

struct LogicScratch {
    InfoMemo info;
    Entity spare;                   // where a full map's spawns go
    LogicSearch* search = nullptr;  // the path search's (logic_path.cpp)
    ~LogicScratch() { _logic_search_free(search); }
};

LogicScratch& _logic_scratch(Game& game) {
    if (!game.scratch) game.scratch = new LogicScratch();
    return *game.scratch;
}

LogicSearch*& _logic_scratch_search(Game& game) { return _logic_scratch(game).search; }

void logic_scratch_free(LogicScratch* scratch) { delete scratch; }

// Where a full map's spawns go: written to, never read back.
static Entity& _spare_entity(Game& game) { return _logic_scratch(game).spare; }

static void _info_memo_use(InfoMemo& memo, const unsigned char* cells, int n) {
    for (int i = 0; i < n; i++) {
        int t = cells[i];
        if (memo.used[t]) continue;
        memo.used[t] = true;
        memo.used_list[memo.used_n++] = (unsigned char)t;
    }
}

// Whether the catalogue still gives every tile in use the memo's flags.
static bool _info_memo_kinds_hold(const Game& game, const InfoMemo& memo) {
    TileFlags now;
    for (int n = 0; n < memo.used_n; n++) {
        int i = memo.used_list[n];
        _tile_flags_of(game, i, now);
        if (!_tile_flags_same(now, memo.kinds, i)) return false;
    }
    return true;
}

// The flags that come from the tiles alone, for grid and catalogue as given,
// in the rows y0..y1 of MAP_MIN..MAP_MAX + 2 (those below the map only get
// the shadows). A row's flags read the grid's rows y - 2 to y + 1.
static void _info_rows(const LevelData& lev, const TileFlags& k, InfoMemo& memo, int y0, int y1) {
    // Rows holding a hole; pit edges are looked for only next to them.
    bool hole_row[MAP_SIZE];
    for (int y = y0 - 1; y <= y1 + 1; y++)
        hole_row[y] = memchr(lev.data[y] + MAP_MIN - 1, TILE_HOLE, MAP_MAX - MAP_MIN + 3) != nullptr;
    // Shadows fall from the two rows above, counted only from playable rows.
    for (int y = y0; y <= y1; y++) {
        const unsigned char* up1 = lev.data[y - 1];
        const unsigned char* up2 = lev.data[y - 2];
        unsigned char mask1 = (y - 1 >= MAP_MIN && y - 1 <= MAP_MAX) ? 0xFF : 0;
        unsigned char mask2 = (y - 2 >= MAP_MIN && y - 2 <= MAP_MAX) ? 0xFF : 0;
        unsigned char* f = memo.info[y];
        memset(f, 0, MAP_SIZE);
        if (y > MAP_MAX) {  // below the map only the shadows land
            for (int x = MAP_MIN; x <= MAP_MAX; x++)
                f[x] = (unsigned char)((k.below1[up1[x]] & mask1) | (k.below2[up2[x]] & mask2));
            continue;
        }
        const unsigned char* row = lev.data[y];
        bool sprites = false;
        int pillars = 0;
        for (int x = MAP_MIN; x <= MAP_MAX; x++) {
            int t = row[x];
            pillars += k.pillar[t];
            sprites |= k.sprite[t] != 0;
            unsigned char shade = (unsigned char)((k.below1[up1[x]] & mask1) | (k.below2[up2[x]] & mask2));
            f[x] = (unsigned char)((shade & k.keep[t]) | k.own[t]);
        }
        memo.row_pillars[y] = pillars;
        if (sprites) {
            for (int x = MAP_MIN; x <= MAP_MAX; x++)
                if (k.sprite[row[x]] && _neighbours_holding(lev, x, y, TILE_DARK) >= CROWD) f[x] |= INFO_DARK;
        }
        if (!(hole_row[y - 1] || hole_row[y] || hole_row[y + 1])) continue;
        const unsigned char* below = lev.data[y + 1];
        for (int x = MAP_MIN; x <= MAP_MAX; x++) {
            int t = row[x];
            if (t == TILE_EMPTY || t == TILE_HOLE) continue;
            if (row[x - 1] == TILE_HOLE || row[x + 1] == TILE_HOLE || up1[x] == TILE_HOLE || below[x] == TILE_HOLE)
                f[x] |= INFO_PIT_EDGE;
        }
    }
}

enum { INFO_ROW_FIRST = MAP_MIN, INFO_ROW_LAST = MAP_MAX + 2, INFO_READS_ABOVE = 2, INFO_READS_BELOW = 1 };

// Brings the memo up to the grid: for the same catalogue flags only the rows
// whose flags read a changed row (a blast changes a few), else everything.
static void _info_memo_update(const Game& game, InfoMemo& memo) {
    const LevelData& lev = game.level;
    if (memo.valid) {
        bool same_grid = memcmp(memo.data, lev.data, sizeof(memo.data)) == 0;
        int first = 0, last = MAP_SIZE - 1;
        if (!same_grid) {
            while (memcmp(memo.data[first], lev.data[first], MAP_SIZE) == 0) first++;
            while (memcmp(memo.data[last], lev.data[last], MAP_SIZE) == 0) last--;
            _info_memo_use(memo, lev.data[first], (last - first + 1) * MAP_SIZE);
        }
        if (_info_memo_kinds_hold(game, memo)) {
            if (same_grid) return;
            int y0 = std::max((int)INFO_ROW_FIRST, first - INFO_READS_BELOW);
            int y1 = std::min((int)INFO_ROW_LAST, last + INFO_READS_ABOVE);
            if (y0 <= y1) _info_rows(lev, memo.kinds, memo, y0, y1);
            memcpy(memo.data, lev.data, sizeof(memo.data));
            return;
        }
    }
    _tile_flags(game, memo.kinds);
    memset(memo.used, 0, sizeof(memo.used));
    memo.used_n = 0;
    _info_memo_use(memo, &lev.data[0][0], MAP_SIZE * MAP_SIZE);
    memset(memo.info, 0, sizeof(memo.info));
    memset(memo.row_pillars, 0, sizeof(memo.row_pillars));
    _info_rows(lev, memo.kinds, memo, INFO_ROW_FIRST, INFO_ROW_LAST);
    memcpy(memo.data, lev.data, sizeof(memo.data));
    memo.valid = true;
}

void logic_info(Game& game) {
    InfoMemo& memo = _logic_scratch(game).info;
    LevelData& lev = game.level;
    _info_memo_update(game, memo);
    int pillars = 0;
    for (int y = MAP_MIN; y <= MAP_MAX; y++) pillars += memo.row_pillars[y];
    static_assert(sizeof(memo.info) == sizeof(game.ext.info), "the flag grid's shape");
    memcpy(game.ext.info, memo.info, sizeof(memo.info));
    lev.c_pillars = pillars;
    _info_lights(game);
}
