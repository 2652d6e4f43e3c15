// Making a map record from a file or the network safe for the rules: texts
// terminated, counts and indices in range, positions finite and near the grid.
// The same clamps run at set-up and on every tick; for any record the game
// itself produces they change nothing.
#include <cmath>

#include "logic.h"
#include "logic_internal.h"

static const float ROTATE_LIMIT = 1.0e6f;   // camera angles beyond this are damage
static const float ZOOM_LIMIT = 1.0e6f;
static const float VIEW_REACH_MAX = 2.0f * MAP_SIZE;
static const float RATING_LIMIT = 1.0e6f;

static void _terminate(char* field, int size) { field[size - 1] = 0; }

static int _clamp_int(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// NaN becomes fallback; anything else is clamped into lo..hi.
static float _clamp_float(float v, float lo, float hi, float fallback) {
    if (v != v) return fallback;
    return v < lo ? lo : (v > hi ? hi : v);
}

static float _clamp_pos(float v) {
    return _clamp_float(v, (float)LOGIC_POS_MIN, (float)LOGIC_POS_MAX, 0.0f);
}

static bool _known_type(int type) {
    switch (type) {
    case D_GUARD: case D_PLAYER: case D_LIGHT: case D_BLAST: case D_FIRE:
    case D_BOMB1: case D_BOMB2: case D_BOMB3: case D_BOMB4: case D_BLAST2:
        return true;
    default:
        return false;
    }
}

static bool _known_state(int state) { return state == 0 || (state >= D_DEAD && state <= D_WIN); }

static bool _direction_code(int code) { return code >= 0 && code <= 9; }

void _logic_mend_entity(Entity& e, int slot) {
    if (e.active && !_known_type(e.type)) e.active = 0;
    if (e.active) e.n = slot;
    if (!_known_state(e.state)) e.state = 0;
    if (!_direction_code(e.arrow)) e.arrow = LOGIC_FACING_NEW;
    if (!_direction_code(e.path_rf)) e.path_rf = 0;
    _terminate(e.iname, sizeof(e.iname));
    e.frame = _clamp_int(e.frame, 0, LOGIC_COUNTER_MAX);
    e.timer = _clamp_int(e.timer, 0, LOGIC_COUNTER_MAX);
    e.x = _clamp_pos(e.x);
    e.y = _clamp_pos(e.y);
    e.dx = _clamp_float(e.dx, -1.0f, 1.0f, 0.0f);
    e.dy = _clamp_float(e.dy, -1.0f, 1.0f, 0.0f);
    if (e.tx < 0) e.tx = 0;
    if (e.ty < 0) e.ty = 0;
    e.path_n = _clamp_int(e.path_n, 0, PATH_CELLS_MAX);
    e.goal_n = _clamp_int(e.goal_n, 0, GOAL_MAX);
    // Only read below goal_n; a finished route counts on past its end.
    e.goal_cur = _clamp_int(e.goal_cur, 0, LOGIC_COUNTER_MAX);
    if (e.goal_loop < 0 || e.goal_loop >= e.goal_n) e.goal_loop = 0;
}

void _logic_mend_live(LevelData& lev) {
    for (int& stock : lev.inventory) stock = _clamp_int(stock, 0, LOGIC_STOCK_MAX);
    int* counters[] = {&lev.frame, &lev.timer, &lev.emp, &lev.c_pillars, &lev.t_pillars,
                       &lev.c_bonus, &lev.t_bonus, &lev.t_rewind, &lev.t_extra};
    for (int* c : counters) *c = _clamp_int(*c, 0, LOGIC_COUNTER_MAX);
    lev.item_n = _clamp_int(lev.item_n, 0, ENTITY_MAX);
    lev.rotate = _clamp_float(lev.rotate, -ROTATE_LIMIT, ROTATE_LIMIT, 0.0f);
    lev.trotate = _clamp_float(lev.trotate, -ROTATE_LIMIT, ROTATE_LIMIT, lev.rotate);
    lev.zoom = _clamp_float(lev.zoom, -ZOOM_LIMIT, ZOOM_LIMIT, 0.0f);
    lev.tzoom = _clamp_float(lev.tzoom, -ZOOM_LIMIT, ZOOM_LIMIT, lev.zoom);
    float* positions[] = {&lev.pan_x, &lev.pan_y, &lev.view_cx, &lev.view_cy,
                          &lev.hover_x, &lev.hover_y, &lev.focus_x, &lev.focus_y};
    for (float* p : positions) *p = _clamp_pos(*p);
    lev.view_cd = _clamp_float(lev.view_cd, 0.0f, VIEW_REACH_MAX, 0.0f);
}

void logic_sanitize(LevelData& lev) {
    _terminate(lev.title, sizeof(lev.title));
    _terminate(lev.intro, sizeof(lev.intro));
    _terminate(lev.theme, sizeof(lev.theme));
    _terminate(lev.music, sizeof(lev.music));
    _terminate(lev.name, sizeof(lev.name));
    _terminate(lev.author, sizeof(lev.author));
    _terminate(lev.uid, sizeof(lev.uid));
    _terminate(lev.x_uname, sizeof(lev.x_uname));
    _terminate(lev.id, sizeof(lev.id));
    lev.stars = _clamp_float(lev.stars, -RATING_LIMIT, RATING_LIMIT, 0.0f);
    lev.skulls = _clamp_float(lev.skulls, -RATING_LIMIT, RATING_LIMIT, 0.0f);
    lev.dirty = lev.dirty ? 1 : 0;
    lev.is_init = lev.is_init ? 1 : 0;
    _logic_mend_live(lev);
    for (int slot = 0; slot < ENTITY_MAX; slot++) {
        Entity& e = lev.items[slot];
        _logic_mend_entity(e, slot);
        // Stored cells beyond the grid would turn into negative targets.
        for (auto& cell : e.path)
            for (unsigned char& c : cell) if (c >= MAP_SIZE) c = MAP_SIZE - 1;
        for (auto& cell : e.goal)
            for (unsigned char& c : cell) if (c >= MAP_SIZE) c = MAP_SIZE - 1;
    }
}
