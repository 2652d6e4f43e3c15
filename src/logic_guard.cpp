// Guards and lights: what a guard sees, its tick with shooting and running,
// the alarm that sends every guard to an explosion, and moving lights.
#include <cmath>
#include <cstring>

#include "logic.h"
#include "logic_internal.h"
#include "util.h"

static const double RAD_TO_DEG = 180.0 / 3.14159265358979323846;
static const double CONE_HALF_ANGLE = 65.0;  // degrees each side of the facing
static const double FULL_TURN = 360.0;
static const double HALF_TURN = 180.0;

enum {
    SIGHT_RANGE = LOGIC_SIGHT_RANGE,
    SIGHT_RANGE_LIT = LOGIC_SIGHT_RANGE_LIT,
    SIGHT_SAMPLES = 4,       // line-of-sight samples per cell of length
    GUARD_WAKE_FRAME = 4,    // guards look only once the level has run this many ticks
    LIGHT_STEP_TICKS = 3 * LOGIC_STEP_TICKS,  // lights go at a third of the speed
    RUN_SHOUT_PERIOD = 60,   // a running guard shouts about every two seconds
    RUN_SHOUT_X = 17,        // spread the shouts of neighbouring guards
    RUN_SHOUT_Y = 23,
    ALARM_RADIUS = 5,        // a blast's hole is opened for the guards' paths
    ALARM_SPAN = 2 * ALARM_RADIUS + 1
};

// ---------------------------------------------------------------- sight

int logic_line_of_sight(Game& game, int x0, int y0, int x1, int y1) {
    const auto& info = game.ext.info;
    int sx = mysign((float)(x1 - x0)), sy = mysign((float)(y1 - y0));
    float ox = x0 + 0.5f, oy = y0 + 0.5f;
    float ddx = (float)(x1 - x0), ddy = (float)(y1 - y0);
    int n = (int)(SIGHT_SAMPLES * sqrtf(ddx * ddx + ddy * ddy)) + 1;
    for (int i = 0; i <= n; i++) {
        int cx = _logic_int(ox + ddx * i / n), cy = _logic_int(oy + ddy * i / n);
        if (!_logic_playable(cx, cy)) continue;
        if (info[cy][cx] & INFO_OPAQUE) return 0;
        // Passing the corner of an opaque cell blocks the line too.
        if (cx != x1 && cy != y1 &&
            ((info[cy + sy][cx] & INFO_OPAQUE) || (info[cy][cx + sx] & INFO_OPAQUE)))
            return 0;
    }
    return 1;
}

// True when direction (tx, ty) lies inside the cone around facing (ax, ay).
static bool _in_cone(int ax, int ay, int tx, int ty) {
    double a1 = atan2((double)ay, (double)ax) * RAD_TO_DEG;
    double a2 = atan2((double)ty, (double)tx) * RAD_TO_DEG;
    if (a1 < 0 || a2 < 0) {
        a1 += FULL_TURN;
        a2 += FULL_TURN;
    }
    if (a2 > a1 && std::fabs(a1 - a2) > HALF_TURN) a1 += FULL_TURN;
    if (a1 > a2 && std::fabs(a1 - a2) > HALF_TURN) a2 += FULL_TURN;
    return std::fabs(a2 - a1) <= CONE_HALF_ANGLE;
}

int logic_cansee(Game& game, Entity& guard, int x, int y) {
    if (!_logic_on_grid(x, y)) return 0;
    int gx = _logic_cell(guard.x), gy = _logic_cell(guard.y);
    int ax, ay;
    _logic_arrow_step(guard.arrow, &ax, &ay);
    int f = game.ext.info[y][x];
    if (f & (INFO_SOLID | INFO_OPAQUE)) return 0;
    if (x == gx && y == gy) return 1;
    if (x == gx + ax && y == gy + ay) return 1;
    if (f & INFO_DARK) return 0;
    if ((f & INFO_SHADOW) && !(f & INFO_LIT)) return 0;
    float ddx = (float)(x - gx), ddy = (float)(y - gy);
    float d = sqrtf(ddx * ddx + ddy * ddy);
    if (d > ((f & INFO_LIT) ? SIGHT_RANGE_LIT : SIGHT_RANGE)) return 0;
    if (d > 1 && !_in_cone(ax, ay, x - gx, y - gy)) return 0;
    return logic_line_of_sight(game, gx, gy, x, y);
}

int logic_danger(Game& game, int x, int y) {
    for (Entity& e : game.level.items)
        if (e.active && e.type == D_GUARD && logic_cansee(game, e, x, y)) return 1;
    return 0;
}

void logic_face(Game& game, Entity& e, Entity& target) {
    (void)game;
    int dx = _logic_int(target.x - e.x), dy = _logic_int(target.y - e.y);
    if (myabs(dx) > 2 * myabs(dy)) dy = 0;
    if (myabs(dy) > 2 * myabs(dx)) dx = 0;
    e.arrow = (char)logic_dxdy_to_arrow(mysign((float)dx), mysign((float)dy));
}

int logic_actor_check(Game& game, Entity& e) {
    if (!e.active) return 0;
    int x = _logic_cell(e.x), y = _logic_cell(e.y);
    const TileData& t = _logic_tile(game, x, y);
    if (t.solid) {
        e.state = D_DEAD;
        e.frame = 0;
        // Only a blast opens craters under someone's feet.
        if (e.type == D_PLAYER) {
            bool crater = _logic_on_grid(x, y) && game.level.data[y][x] == TILE_HOLE;
            game.death_cause = crater ? DEATH_BLAST : (t.type == D_PIT || t.type == D_NONE) ? DEATH_FELL : DEATH_SOLID;
        }
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- guards

static void _guard_image(Game& game, Entity& g, const char* pose, bool still) {
    _logic_image_name(g.iname, sizeof(g.iname), "guard", pose, logic_arrow(game, g.arrow, 0),
                      still ? 0 : (g.frame / 2) % LOGIC_ANIM_FRAMES);
}

// A guard faces the way it walks. One that waits for another guard has no
// step for a moment; it keeps its facing instead of taking "no direction",
// which would turn its sprite and its view to one side.
static void _guard_face_step(Entity& g) {
    int dx = _logic_int(g.dx), dy = _logic_int(g.dy);
    if (dx != 0 || dy != 0) g.arrow = (char)logic_dxdy_to_arrow(dx, dy);
}

// The guard shoots the player when it sees the player's cell.
static void _guard_look(Game& game, Entity& g) {
    Entity* p = logic_find(game, D_PLAYER);
    if (!p || p->state == D_DEAD) return;
    if (!logic_cansee(game, g, _logic_cell(p->x), _logic_cell(p->y))) return;
    p->state = D_DEAD;
    p->frame = 0;
    game.death_cause = DEATH_SHOT;
    g.state = D_SHOOT;
    logic_face(game, g, *p);
    game.play_sound("shoot");
}

void logic_guard_tick(Game& game, Entity& g) {
    g.frame++;
    if (g.state == D_DEAD) {
        g.active = 0;
        return;
    }
    if (!logic_actor_check(game, g) || game.level.emp > 0) return;
    if (game.level.frame > GUARD_WAKE_FRAME) _guard_look(game, g);
    if (g.state == D_SHOOT) {
        _guard_image(game, g, "shoot", false);
        return;
    }
    logic_actor_move(game, g, LOGIC_STEP_TICKS);
    if (g.state == D_RUN) {
        int shout = (int)((float)g.frame + RUN_SHOUT_X * g.x + RUN_SHOUT_Y * g.y);
        if (shout % RUN_SHOUT_PERIOD == 0) game.play_sound("guard");
        _guard_face_step(g);
        _guard_image(game, g, "run", false);
    } else if (g.state == D_STOP) {
        _guard_image(game, g, "walk", true);
    } else {
        _guard_face_step(g);
        _guard_image(game, g, "walk", false);
    }
    if (g.frame % LOGIC_STEP_TICKS == 0) logic_path_follow(game, g);
}

void logic_guard(Game& game, Entity& g) {
    logic_guard_tick(game, g);
    if (g.state == D_RUN) logic_guard_tick(game, g);
}

// Sends a guard towards (x, y), remembering the post it leaves.
static void _guard_alarm(Game& game, Entity& g, int slot, int x, int y) {
    g.state = D_RUN;
    if (g.path_rx == 0) {
        if (g.path_rf != 0) {
            // Already returning from an earlier alarm: keep heading for that post.
            g.path_rx = g.path[0][0];
            g.path_ry = g.path[0][1];
        } else {
            g.path_rx = (unsigned char)g.tx;
            g.path_ry = (unsigned char)g.ty;
            g.path_rf = (unsigned char)g.arrow;
            if (g.goal_cur > 0) g.goal_cur--;
        }
    }
    logic_path(game, slot, x, y, true);
}

void logic_alarm(Game& game, Entity& source) {
    LevelData& lev = game.level;
    int ex = _logic_int(source.x), ey = _logic_int(source.y);
    int r = source.type == D_BLAST ? ALARM_RADIUS : 0;
    // The hole is walkable for the guards' paths, so that they run to its rim.
    unsigned char saved[ALARM_SPAN][ALARM_SPAN];
    for (int j = -r; j <= r; j++) {
        for (int i = -r; i <= r; i++) {
            int x = ex + i, y = ey + j;
            if (!_logic_on_grid(x, y)) continue;
            saved[j + r][i + r] = lev.data[y][x];
            if (i * i + j * j <= r * r && lev.data[y][x] == TILE_HOLE) lev.data[y][x] = TILE_FLOOR;
        }
    }
    logic_info(game);
    for (int slot = 0; slot < ENTITY_MAX; slot++) {
        Entity& g = lev.items[slot];
        // A guard killed earlier in this tick is removed on its own next tick;
        // the alarm must not get it running again.
        if (g.active && g.type == D_GUARD && g.state != D_DEAD) _guard_alarm(game, g, slot, ex, ey);
    }
    for (int j = -r; j <= r; j++)
        for (int i = -r; i <= r; i++)
            if (_logic_on_grid(ex + i, ey + j)) lev.data[ey + j][ex + i] = saved[j + r][i + r];
    logic_info(game);
}

// ---------------------------------------------------------------- lights

void logic_light(Game& game, Entity& e) {
    e.frame++;
    logic_actor_move(game, e, LIGHT_STEP_TICKS);
    if (e.frame % LIGHT_STEP_TICKS == 0) logic_path_follow(game, e);
}
