// One simulation tick: counters, every entity in slot order, the player's own
// tick (death, winning, items), the pointer focus, the rewind ring, and the
// rules' random numbers.
#include <cstring>

#include "logic.h"
#include "logic_internal.h"
#include "util.h"

static const int INT_TOP = 0x7fffffff;

enum {
    DEATH_TICKS = 15,        // the dying animation before the pause screen
    WIN_TICKS = 60,          // fireworks before the win screen
    FOCUS_REACH = 3,         // the focus searches 7 by 7 cells around the pointer
    FOCUS_SOLID = 10000,     // score of a solid cell: any free one is better
    FOCUS_DISTANCE = 100     // score per cell away from the pointer
};

// The C standard's example generator: the same numbers on every machine.
static const unsigned RANDOM_MUL = 1103515245u;
static const unsigned RANDOM_ADD = 12345u;
static const int RANDOM_SHIFT = 16;  // the low bits of the state repeat too soon

// ---------------------------------------------------------------- random numbers

int logic_random(Game& game) {
    game.rng = game.rng * RANDOM_MUL + RANDOM_ADD;
    return (int)((game.rng >> RANDOM_SHIFT) & LOGIC_RANDOM_MAX);
}

// ---------------------------------------------------------------- the player

// Looks for a window beside the player and starts the win sequence.
static void _player_try_win(Game& game, Entity& p) {
    static const int beside[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    int px = _logic_cell(p.x), py = _logic_cell(p.y);
    for (const auto& b : beside) {
        int x = px + b[0], y = py + b[1];
        if (!_logic_playable(x, y) || _logic_tile(game, x, y).type != D_WINDOW) continue;
        game.play_sound("win");
        p.state = D_WIN;
        p.frame = 0;
        mystrcpy(p.iname, sizeof(p.iname), "blank");
        for (Entity& g : game.level.items)
            if (g.active && g.type == D_GUARD) g.active = 0;
        return;
    }
}

static void _player_firework(Game& game) {
    LevelData& lev = game.level;
    int m = _logic_int(mymax(1.0f, 2 * lev.view_cd));
    if (m < 1) m = 1;
    int x = _logic_int((float)(logic_random(game) % m) - lev.view_cd + lev.view_cx);
    int y = _logic_int((float)(logic_random(game) % m) - lev.view_cd + lev.view_cy);
    Entity* e = logic_next_entity(game);
    e->active = 1;
    e->type = D_BLAST2;
    e->x = (float)x;
    e->y = (float)y;
}

static void _player_won(Game& game) {
    LevelData& lev = game.level;
    if (lev.t_rewind == 0 && lev.c_bonus == lev.t_bonus) game._edit.dirty = 0;
    game.play_sound("yeah");
    game.track("level", lev.name, "win", lev.timer / TICKS_PER_SECOND);
    game.next(STATE_LEVEL_WIN);
}

// Picks up the item in the player's cell, if any.
static void _player_collect(Game& game, Entity& p) {
    LevelData& lev = game.level;
    int x = _logic_int(p.x), y = _logic_int(p.y);
    if (!_logic_on_grid(x, y)) return;
    const TileData& t = game.tiles[lev.data[y][x]];
    if (t.type != D_ITEM) return;
    game.play_sound("drop");
    lev.data[y][x] = TILE_FLOOR;
    int slot = t.value + LOGIC_ITEM_BASE;
    if (slot >= 0 && slot < INVENTORY_MAX && lev.inventory[slot] < LOGIC_STOCK_MAX) lev.inventory[slot]++;
    lev.c_bonus = lev.inventory[D_BONUS];
}

static void _player_image(Game& game, Entity& p, const char* pose, bool still) {
    _logic_image_name(p.iname, sizeof(p.iname), "player", pose, logic_arrow(game, p.arrow, 0),
                      still ? 0 : (p.frame / 2) % LOGIC_ANIM_FRAMES);
}

void logic_player(Game& game, Entity& p) {
    p.frame++;
    if (game.state == STATE_LEVEL && game.level.c_pillars == 0) {
        if (p.state != D_WIN) _player_try_win(game, p);
        if (p.state == D_WIN) {
            if (p.frame < WIN_TICKS)
                _player_firework(game);
            else
                _player_won(game);
            return;
        }
    }
    if (p.state == D_DEAD) {
        _player_image(game, p, "die", false);
        if (p.frame >= DEATH_TICKS) {
            game.play_sound("death");
            game.next(STATE_PAUSE);
        }
        return;
    }
    if (!logic_actor_check(game, p)) return;
    logic_actor_move(game, p, LOGIC_STEP_TICKS);
    if (p.dx == 0 && p.dy == 0) {
        p.state = D_STOP;
        _player_image(game, p, "stop", true);
    } else {
        p.state = D_WALK;
        p.arrow = (char)logic_dxdy_to_arrow(_logic_int(p.dx), _logic_int(p.dy));
        _player_image(game, p, "walk", false);
    }
    if (p.frame % LOGIC_STEP_TICKS == 0) {
        _player_collect(game, p);
        logic_path_follow(game, p);
    }
}

// ---------------------------------------------------------------- focus

void logic_focus(Game& game) {
    LevelData& lev = game.level;
    int hx = _logic_int(lev.hover_x), hy = _logic_int(lev.hover_y);
    int fx = _logic_int(lev.focus_x), fy = _logic_int(lev.focus_y);
    int best_x = hx, best_y = hy, best = INT_TOP;
    for (int j = -FOCUS_REACH; j <= FOCUS_REACH; j++) {
        for (int i = -FOCUS_REACH; i <= FOCUS_REACH; i++) {
            int x = hx + i, y = hy + j;
            if (!_logic_playable(x, y)) continue;
            int score = (_logic_tile(game, x, y).solid ? FOCUS_SOLID : 0) +
                        FOCUS_DISTANCE * (myabs(i) + myabs(j)) + myabs(x - fx) + myabs(y - fy);
            if (score < best) {
                best = score;
                best_x = x;
                best_y = y;
            }
        }
    }
    lev.focus_x = best_x + 0.5f;
    lev.focus_y = best_y + 0.5f;
}

// ---------------------------------------------------------------- rewind ring

void logic_rewind_capture(Game& game) {
    if (game.level.frame % REWIND_EVERY != 0 || !game._rewind) return;
    if (game._rewind_n < 0) game._rewind_n = 0;
    game._rewind[(unsigned)game._rewind_n % REWIND_MAX] = game.level;
    // Past the int range the count goes on from an equivalent slot.
    if (game._rewind_n >= INT_TOP - 1) game._rewind_n = REWIND_MAX + game._rewind_n % REWIND_MAX;
    game._rewind_n++;
}

void logic_rewind_reset(Game& game) {
    game._rewind_n = 0;
    if (!game._rewind) return;
    for (int i = 0; i < REWIND_MAX; i++) game._rewind[i].frame = 0;
}

// ---------------------------------------------------------------- the tick

static void _entity_tick(Game& game, Entity& e) {
    if (e.type == D_PLAYER) logic_player(game, e);
    if (e.type == D_GUARD) logic_guard(game, e);
    if (e.type == D_LIGHT) logic_light(game, e);
    if (e.type == D_BLAST) logic_blast(game, e);
    if (e.type == D_BLAST2) logic_blast2(game, e);
    if (e.type == D_FIRE) logic_fire(game, e);
    if (e.type == D_BOMB2) logic_bomb2(game, e);
    if (e.type == D_BOMB3) logic_bomb3(game, e);
}

void logic_loop(Game& game) {
    LevelData& lev = game.level;
    _logic_mend_live(lev);
    lev.frame++;
    Entity* p = logic_find(game, D_PLAYER);
    if (p && p->p_moved) lev.timer++;
    if (lev.emp > 0) lev.emp--;
    // The stock was clamped above, so the sum cannot overflow.
    lev.t_extra = lev.inventory[D_BOMB1] + lev.inventory[D_BOMB2] + lev.inventory[D_BOMB3] +
                  lev.inventory[D_BOMB4];
    for (int slot = 0; slot < ENTITY_MAX; slot++) {
        Entity& e = lev.items[slot];
        if (!e.active) continue;
        _logic_mend_entity(e, slot);
        _entity_tick(game, e);
    }
    logic_focus(game);
    logic_rewind_capture(game);
}
