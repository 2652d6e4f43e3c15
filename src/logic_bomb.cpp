// Bombs and their blasts: dropping, picking up and firing bombs, the time and
// EMP bomb countdowns, the expanding blast that opens holes, and the mini
// bomb's fire that clears walls and kills.
#include <cstdio>

#include "logic.h"
#include "logic_internal.h"
#include "util.h"

enum {
    TIME_BOMB_STEP = 300,       // ticks added by each press on an unstarted time bomb
    TIME_BOMB_MAX = 900,        // a press beyond this picks the bomb up again
    EMP_PULSE = 300,            // ticks the guards stay frozen
    EMP_PULSE_OVER = 2,         // a waiting EMP bomb fires once the pulse is this low
    BLAST_SPAN = 11,            // the blast and fire tables are 11 by 11 ...
    BLAST_CENTRE = 5,           // ... centred on the bomb's cell
    BLAST_END = 9,              // blasts and fires run stages 0 to 8
    BLAST_RIM = 6,              // the outermost ring of the blast table is never opened
    FIRE_DEADLY = 4             // fire rings below this kill the player and clear walls
};

// Stage at which each cell around a blast is hit (0 = never).
static const unsigned char logic_bmap[BLAST_SPAN][BLAST_SPAN] = {
    {0, 0, 0, 0, 6, 6, 6, 0, 0, 0, 0},
    {0, 0, 6, 6, 5, 5, 5, 6, 6, 0, 0},
    {0, 6, 5, 5, 4, 4, 4, 5, 5, 6, 0},
    {0, 6, 5, 4, 3, 3, 3, 4, 5, 6, 0},
    {6, 5, 4, 3, 2, 2, 2, 3, 4, 5, 6},
    {6, 5, 4, 3, 2, 1, 2, 3, 4, 5, 6},
    {6, 5, 4, 3, 2, 2, 2, 3, 4, 5, 6},
    {0, 6, 5, 4, 3, 3, 3, 4, 5, 6, 0},
    {0, 6, 5, 5, 4, 4, 4, 5, 5, 6, 0},
    {0, 0, 6, 6, 5, 5, 5, 6, 6, 0, 0},
    {0, 0, 0, 0, 6, 6, 6, 0, 0, 0, 0},
};

// Stage from which each cell around a mini bomb burns.
static const unsigned char logic_fmap[BLAST_SPAN][BLAST_SPAN] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 4, 4, 4, 0, 0, 0, 0},
    {0, 0, 0, 4, 3, 2, 3, 4, 0, 0, 0},
    {0, 0, 0, 4, 2, 1, 2, 4, 0, 0, 0},
    {0, 0, 0, 4, 3, 2, 3, 4, 0, 0, 0},
    {0, 0, 0, 0, 4, 4, 4, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

static bool _is_bomb(int kind) { return kind >= D_BOMB1 && kind <= D_BOMB4; }

static void _set_stage_image(Entity& e) { snprintf(e.iname, sizeof(e.iname), "blast-%d", e.frame); }

// A bomb turns into the blast (or fire) it becomes when it goes off.
static void _ignite(Game& game, Entity& b, int type) {
    game.play_sound("bomb");
    b.type = (char)type;
    b.frame = 0;
    _set_stage_image(b);
}

static bool _player_on(Game& game, const Entity& e) {
    Entity* p = logic_find(game, D_PLAYER);
    return p && p->x == e.x && p->y == e.y;
}

static void _add_stock(LevelData& lev, int kind, int n) {
    int& stock = lev.inventory[kind];
    stock += n;
    if (stock > LOGIC_STOCK_MAX) stock = LOGIC_STOCK_MAX;
}

// Press on the bomb under the player: a longer fuse, or back into the stock.
static void _bomb_press_own(Game& game, Entity& b, int kind) {
    if (kind == D_BOMB2 && b.frame == 0) {
        b.timer += TIME_BOMB_STEP;
        if (b.timer <= TIME_BOMB_MAX) {
            game.play_sound("drop");
            return;
        }
    }
    game.play_sound("drop");
    b.active = 0;
    _add_stock(game.level, kind, 1);
}

static void _bomb_drop(Game& game, int kind, int cx, int cy) {
    LevelData& lev = game.level;
    if (logic_find_at(game, cx, cy) || lev.inventory[kind] <= 0) return;
    game.play_sound("drop");
    lev.inventory[kind]--;
    Entity* e = logic_next_entity(game);
    e->active = 1;
    e->type = (char)kind;
    e->x = (float)cx;
    e->y = (float)cy;
    e->tx = (char)cx;
    e->ty = (char)cy;
    e->dx = e->dy = 0;
    e->arrow = LOGIC_FACING_NEW;
    if (kind == D_BOMB2) e->timer = TIME_BOMB_STEP;
    snprintf(e->iname, sizeof(e->iname), "bomb%d", kind - LOGIC_ITEM_BASE);
}

void logic_bomb(Game& game, int kind) {
    if (!_is_bomb(kind)) return;
    logic_replay_input(game, LOGIC_REPLAY_BOMB1 + kind - D_BOMB1, 0, 0);
    Entity* p = logic_find(game, D_PLAYER);
    if (!p) return;
    int cx = _logic_cell(p->x), cy = _logic_cell(p->y);
    Entity* b = logic_find_at(game, cx, cy);
    if (!b || b->type != kind) b = logic_find(game, kind);
    if (b) {
        if (p->x == b->x && p->y == b->y) {
            _bomb_press_own(game, *b, kind);
            return;
        }
        if (kind == D_BOMB1) {
            _ignite(game, *b, D_BLAST);
            return;
        }
        if (kind == D_BOMB4) {
            _ignite(game, *b, D_FIRE);
            return;
        }
    }
    _bomb_drop(game, kind, cx, cy);
}

void logic_bomb2(Game& game, Entity& e) {
    if (_player_on(game, e)) return;
    if (e.timer > 0) {
        e.timer--;
        e.frame++;
    }
    if (e.timer <= 0) _ignite(game, e, D_BLAST);
}

void logic_bomb3(Game& game, Entity& e) {
    if (_player_on(game, e)) return;
    if (game.level.emp < EMP_PULSE_OVER) {
        e.active = 0;
        game.level.emp += EMP_PULSE;
    }
}

// Advances a blast or fire by one stage every other tick; true when it is over
// (it has raised the alarm and is gone).
static bool _stage(Game& game, Entity& e) {
    e.frame += game.level.frame % 2;
    if (e.frame < BLAST_END) return false;
    logic_alarm(game, e);
    e.active = 0;
    return true;
}

void logic_blast(Game& game, Entity& e) {
    if (_stage(game, e)) return;
    LevelData& lev = game.level;
    int bx = _logic_int(e.x), by = _logic_int(e.y);
    bool changed = false;
    for (int j = 0; j < BLAST_SPAN; j++) {
        for (int i = 0; i < BLAST_SPAN; i++) {
            int v = logic_bmap[j][i];
            int x = bx + i - BLAST_CENTRE, y = by + j - BLAST_CENTRE;
            if (v == 0 || v == BLAST_RIM || e.frame - 1 != v || !_logic_on_grid(x, y)) continue;
            lev.data[y][x] = TILE_HOLE;
            changed = true;
        }
    }
    // Later actors of this tick walk and die by the new holes.
    if (changed) logic_info(game);
    _set_stage_image(e);
}

void logic_blast2(Game& game, Entity& e) { logic_blast(game, e); }

// The fire's effect on one cell of stage v.
static bool _burn(Game& game, int x, int y, int v) {
    LevelData& lev = game.level;
    for (Entity& g : lev.items)
        if (g.active && g.type == D_GUARD && g.x == (float)x && g.y == (float)y) g.state = D_DEAD;
    if (v >= FIRE_DEADLY) return false;
    for (Entity& p : lev.items) {
        if (p.active && p.type == D_PLAYER && _logic_cell(p.x) == x && _logic_cell(p.y) == y) {
            p.state = D_DEAD;
            p.frame = 0;
            game.death_cause = DEATH_FIRE;
        }
    }
    int t = lev.data[y][x];
    if (t == TILE_EMPTY || t == TILE_HOLE || !game.tiles[t].solid) return false;
    lev.data[y][x] = TILE_FLOOR;
    return true;
}

void logic_fire(Game& game, Entity& e) {
    if (_stage(game, e)) return;
    int bx = _logic_int(e.x), by = _logic_int(e.y);
    bool changed = false;
    for (int j = 0; j < BLAST_SPAN; j++) {
        for (int i = 0; i < BLAST_SPAN; i++) {
            int v = logic_fmap[j][i];
            int x = bx + i - BLAST_CENTRE, y = by + j - BLAST_CENTRE;
            if (v == 0 || e.frame - 1 < v || !_logic_on_grid(x, y)) continue;
            if (_burn(game, x, y, v)) changed = true;
        }
    }
    if (changed) logic_info(game);
    _set_stage_image(e);
}
