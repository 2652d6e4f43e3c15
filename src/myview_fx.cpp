// What the rules' short-lived entities leave on screen: a blast's fire burns
// on, its smoke drifts away and its debris flies; the view shakes; time bombs
// show their countdown as a ring; and the win ends in a flash of light at the
// window with fireworks bursting over the map.
//
// Sections: the record, following the rules, the shake, drawing helpers,
// blasts, bombs, the win, the pass.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "logic.h"
#include "myview_internal.h"
#include "util.h"

namespace {

// ---- timing, in ticks from the blast's first stage
const int FIRE_TICKS = 32;        // the rules' blast burns for 18 of them
const int RULES_BLAST_TICKS = 18;
const int SMOKE_START = 3, SMOKE_TICKS = 84;
const int DEBRIS_TICKS = 26;
const int FX_LIFE = SMOKE_TICKS + 1;
const int SHAKE_TICKS = 12;
const float SHAKE_NDC = 0.012f, SHAKE_MAX = 0.02f;  // a fraction of half the window
const int MATCH_TICKS = 3;        // a blast seen again within this is the same one
const int RULES_LIVE_TICKS = 16;  // younger than this, the rules' entity is surely still there
const int STAGE_MAX = 16;         // a blast's stage beyond this is a damaged record

// ---- shapes, world units
const float BLAST_REACH = 2.6f, FIRE_REACH = 1.1f;
const int BLAST_TONGUES = 9, FIRE_TONGUES = 5;
const int BLAST_PUFFS = 14, FIRE_PUFFS = 5;
const int DEBRIS = 9;
const float GRAVITY = 0.035f;     // per tick squared
const float RING_IN = 0.4f, RING_OUT = 0.56f, RING_Y = 0.02f;
const int RING_SEGMENTS = 24;
const int RING_WARN_TICKS = 90;   // the last three seconds turn red
const int TIMER_MAX = 1000000;    // no time bomb counts longer
const float FW_HEIGHT = 9.0f, FW_SPREAD = 3.4f, FW_SPARK = 0.5f, FW_CORE = 2.4f;
const int FW_SPARKS = 34, FW_TAIL = 3;
const int WIN_STEP_TICKS = 14;    // the figure walks into the light
const float WIN_FLASH_PEAK = 4, WIN_FLASH_FADE = 10;

enum { BLASTS_MAX = 48 };

struct Blast {
    int start;      // level tick of its first stage
    float x, y;     // cell
    int kind;       // D_BLAST or D_FIRE
    unsigned seed;
    bool seen;      // the rules' entity is there this frame
};

// The view's own record of what it draws beyond the rules' entities.
struct Fx {
    Blast blasts[BLASTS_MAX];
    int n = 0;
    char name[sizeof(LevelData::name)] = {};
    // The win: the map as it stood, the window the player leaves by.
    bool win = false;
    unsigned char data[MAP_SIZE][MAP_SIZE];
    unsigned char info[MAP_SIZE][MAP_SIZE];
    float from_x = 0, from_y = 0, exit_x = 0, exit_y = 0;
    int dir = 2;
};
Fx _fx;

float _hash(unsigned a, unsigned b) {
    unsigned h = a * 374761393u + b * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (float)((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

float _smooth(float a, float b, float x) {
    float t = mymax(0.0f, mymin(1.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// An entity somewhere near the map; a damaged record may put one anywhere.
bool _finite(const Entity& e) {
    return e.x > -MAP_SIZE && e.x < 2 * MAP_SIZE && e.y > -MAP_SIZE && e.y < 2 * MAP_SIZE;
}

const Entity* _player(const LevelData& lev) {
    for (const Entity& e : lev.items)
        if (e.active && e.type == D_PLAYER && _finite(e)) return &e;
    return nullptr;
}

// ---------------------------------------------------------------- following the rules

void _blast_seen(const Entity& e, int now) {
    int start = now - 2 * e.frame;
    for (int i = 0; i < _fx.n; i++) {
        Blast& b = _fx.blasts[i];
        if (b.kind == e.type && b.x == e.x && b.y == e.y && myabs((float)(b.start - start)) <= MATCH_TICKS) {
            b.seen = true;
            return;
        }
    }
    if (_fx.n == BLASTS_MAX) {  // full: the oldest makes room
        memmove(&_fx.blasts[0], &_fx.blasts[1], sizeof(Blast) * (BLASTS_MAX - 1));
        _fx.n--;
    }
    unsigned seed = (unsigned)start * 7919u + (unsigned)(int)e.x * 131u + (unsigned)(int)e.y;
    _fx.blasts[_fx.n++] = Blast{start, e.x, e.y, e.type, seed, true};
}

// The window beside cell (x, y) that the rules let the player leave by.
bool _exit_beside(const Game& game, int x, int y, int* wx, int* wy) {
    static const int beside[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    for (const auto& b : beside) {
        int cx = x + b[0], cy = y + b[1];
        if (cx < 0 || cy < 0 || cx >= MAP_SIZE || cy >= MAP_SIZE) continue;
        if (game.tiles[game.level.data[cy][cx]].type == D_WINDOW) {
            *wx = cx, *wy = cy;
            return true;
        }
    }
    return false;
}

void _win_follow(Game& game) {
    const Entity* p = _player(game.level);
    bool won = p && p->state == D_WIN;
    if (!won) {
        _fx.win = false;
        return;
    }
    if (_fx.win) return;
    // The first frame of the win: keep the map as it stands, before any firework lands.
    _fx.win = true;
    memcpy(_fx.data, game.level.data, sizeof(_fx.data));
    memcpy(_fx.info, game.ext.info, sizeof(_fx.info));
    int px = (int)std::floor(p->x + 0.5f), py = (int)std::floor(p->y + 0.5f), wx = px, wy = py;
    _exit_beside(game, px, py, &wx, &wy);
    _fx.from_x = p->x, _fx.from_y = p->y;
    _fx.exit_x = (float)wx, _fx.exit_y = (float)wy;
    _fx.dir = logic_arrow(game, p->arrow, 0);
}

}  // namespace

void myview_fx_follow(Game& game) {
    LevelData& lev = game.level;
    if (strncmp(_fx.name, lev.name, sizeof(_fx.name)) != 0) {
        memcpy(_fx.name, lev.name, sizeof(_fx.name));
        _fx.n = 0;
        _fx.win = false;
    }
    int now = lev.frame;
    for (int i = 0; i < _fx.n; i++) _fx.blasts[i].seen = false;
    for (const Entity& e : lev.items)
        if (e.active && (e.type == D_BLAST || e.type == D_FIRE) && _finite(e) && e.frame >= 0 &&
            e.frame <= STAGE_MAX)
            _blast_seen(e, now);
    // A rewind or a restart takes back what had not happened yet, and a
    // blast young enough to be burning must still be in the rules; old
    // smoke has cleared.
    int k = 0;
    for (int i = 0; i < _fx.n; i++) {
        const Blast& b = _fx.blasts[i];
        int age = now - b.start;
        if (age >= 0 && age < FX_LIFE && (b.seen || age >= RULES_LIVE_TICKS)) _fx.blasts[k++] = b;
    }
    _fx.n = k;
    _win_follow(game);
}

int myview_fx_blasts() { return _fx.n; }

bool myview_fx_win_swap(Game& game) {
    if (!_fx.win) return false;
    static unsigned char tmp[MAP_SIZE][MAP_SIZE];
    memcpy(tmp, game.level.data, sizeof(tmp));
    memcpy(game.level.data, _fx.data, sizeof(tmp));
    memcpy(_fx.data, tmp, sizeof(tmp));
    memcpy(tmp, game.ext.info, sizeof(tmp));
    memcpy(game.ext.info, _fx.info, sizeof(tmp));
    memcpy(_fx.info, tmp, sizeof(tmp));
    return true;
}

// ---------------------------------------------------------------- the shake

void myview_fx_shake(const Game& game, float* dx, float* dy) {
    *dx = *dy = 0;
    if (!game.screen_shake || game.state != STATE_LEVEL) return;
    int now = game.level.frame;
    for (int i = 0; i < _fx.n; i++) {
        const Blast& b = _fx.blasts[i];
        int age = now - b.start;
        if (b.kind != D_BLAST || age < 0 || age >= SHAKE_TICKS) continue;
        float k = SHAKE_NDC * (1 - age / (float)SHAKE_TICKS);
        *dx += k * std::sin(age * 2.3f + b.seed % 7);
        *dy += k * std::cos(age * 3.1f + b.seed % 5);
    }
    *dx = mymax(-SHAKE_MAX, mymin(SHAKE_MAX, *dx));
    *dy = mymax(-SHAKE_MAX, mymin(SHAKE_MAX, *dy));
}

namespace {

// ---------------------------------------------------------------- drawing helpers

// The camera's axes this frame: right, up (both across the screen) and
// the viewing direction, so that puffs and sparks face the eye.
struct Axes {
    float r[3], u[3], f[3];
};

Axes _axes(const LevelData& lev) {
    Axes a;
    float f[3] = {lev.pan_x - _myview.eye.x, -_myview.eye.y, lev.pan_y - _myview.eye.z};
    float fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (!(fl > 0) || !std::isfinite(fl)) f[0] = -1, f[1] = -1.65f, f[2] = -1, fl = std::sqrt(4.7225f);
    for (int i = 0; i < 3; i++) a.f[i] = f[i] / fl;
    // right = f x up, up = right x f
    float r[3] = {-a.f[2], 0, a.f[0]};
    float rl = std::sqrt(r[0] * r[0] + r[2] * r[2]);
    if (!(rl > 0)) r[0] = 1, rl = 1;
    for (int i = 0; i < 3; i++) a.r[i] = r[i] / rl;
    a.u[0] = a.r[1] * a.f[2] - a.r[2] * a.f[1];
    a.u[1] = a.r[2] * a.f[0] - a.r[0] * a.f[2];
    a.u[2] = a.r[0] * a.f[1] - a.r[1] * a.f[0];
    return a;
}

// One textured quad between _begin and _end, corners bottom-left,
// bottom-right, top-right, top-left.
void _corners(const MyImage* im, const float* p0, const float* p1, const float* p2, const float* p3) {
    myview_paint_vertex(p0[0], p0[1], p0[2], im->tx, im->ty + im->th);
    myview_paint_vertex(p1[0], p1[1], p1[2], im->tx + im->tw, im->ty + im->th);
    myview_paint_vertex(p2[0], p2[1], p2[2], im->tx + im->tw, im->ty);
    myview_paint_vertex(p3[0], p3[1], p3[2], im->tx, im->ty);
}

// A square of half-size s facing the eye, turned by `spin` radians.
void _facing(const MyImage* im, const Axes& a, float x, float y, float z, float s, float spin = 0) {
    float c = std::cos(spin) * s, sn = std::sin(spin) * s;
    float p[4][3];
    const float k[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 4; i++) {
        float rr = k[i][0] * c - k[i][1] * sn, uu = k[i][0] * sn + k[i][1] * c;
        p[i][0] = x + a.r[0] * rr + a.u[0] * uu;
        p[i][1] = y + a.r[1] * rr + a.u[1] * uu;
        p[i][2] = z + a.r[2] * rr + a.u[2] * uu;
    }
    _corners(im, p[0], p[1], p[2], p[3]);
}

// A flat square on the floor.
void _flat(const MyImage* im, float x0, float z0, float x1, float z1, float y) {
    const float p[4][3] = {{x0, y, z1}, {x1, y, z1}, {x1, y, z0}, {x0, y, z0}};
    _corners(im, p[0], p[1], p[2], p[3]);
}

bool _begin(const MyImage* im) {
    if (!im) return false;
    myview_paint_begin(im->tex);
    return true;
}

// ---------------------------------------------------------------- blasts

void _smoke(const Blast& b, int age, const Axes& a, const MyImage* im) {
    if (age < SMOKE_START) return;
    int n = b.kind == D_BLAST ? BLAST_PUFFS : FIRE_PUFFS;
    float reach = b.kind == D_BLAST ? BLAST_REACH : FIRE_REACH;
    for (int i = 0; i < n; i++) {
        float h1 = _hash(b.seed, i), h2 = _hash(b.seed, i + 50), h3 = _hash(b.seed, i + 100);
        int delay = i * 2;
        int life = SMOKE_TICKS - SMOKE_START - delay;
        float t = (float)(age - SMOKE_START - delay);
        if (t < 0 || t >= life) continue;
        float u = t / life;
        float ang = h1 * 6.2832f, rad = reach * 0.7f * std::sqrt(h2);
        float x = b.x + 0.5f + std::cos(ang) * rad + 0.012f * t;
        float z = b.y + 0.5f + std::sin(ang) * rad - 0.006f * t;
        float y = -0.3f + 1.2f * h3 + 0.07f * t;
        float size = (b.kind == D_BLAST ? 0.9f : 0.55f) + 1.7f * u;
        float alpha = 0.8f * _smooth(0, 0.08f, u) * std::pow(1 - u, 1.2f);
        // Lit from below by the fire while it burns.
        float glow = mymax(0.0f, 1 - age / (float)FIRE_TICKS);
        float grey = 0.75f + 0.25f * h2;
        myview_paint_colour(grey, grey * (1 - 0.35f * glow), grey * (1 - 0.7f * glow), alpha);
        _facing(im, a, x, y, z, size, h1 * 3 + t * 0.01f);
    }
}

void _flames(const Blast& b, int age, int now, const Axes& a, const MyImage* im) {
    if (age >= FIRE_TICKS) return;
    float heat = age < RULES_BLAST_TICKS ? 1.0f : 1 - (age - RULES_BLAST_TICKS) / (float)(FIRE_TICKS - RULES_BLAST_TICKS);
    int n = b.kind == D_BLAST ? BLAST_TONGUES : FIRE_TONGUES;
    float reach = b.kind == D_BLAST ? BLAST_REACH : FIRE_REACH;
    for (int i = 0; i < n; i++) {
        float h1 = _hash(b.seed, i + 200), h2 = _hash(b.seed, i + 250), h3 = _hash(b.seed, i + 300);
        float flick = 0.55f + 0.45f * _hash(b.seed + (unsigned)now, (unsigned)i);
        float ang = h1 * 6.2832f, rad = reach * std::sqrt(h2) * mymin(1.0f, 0.3f + age / 6.0f);
        float x = b.x + 0.5f + std::cos(ang) * rad, z = b.y + 0.5f + std::sin(ang) * rad;
        float y = -1.2f + 1.6f * h3 + 0.03f * age;
        float size = (0.55f + 0.55f * h3) * (0.5f + 0.5f * heat);
        float k = heat * flick;
        myview_paint_colour(k, k * (0.45f + 0.35f * flick), k * 0.12f, 1);
        _facing(im, a, x, y, z, size);
    }
}

void _debris(const Blast& b, int age, const Axes& a, const MyImage* walls) {
    if (b.kind != D_BLAST || age >= DEBRIS_TICKS) return;
    for (int i = 0; i < DEBRIS; i++) {
        float h1 = _hash(b.seed, i + 400), h2 = _hash(b.seed, i + 450), h3 = _hash(b.seed, i + 500);
        float ang = h1 * 6.2832f, speed = 0.1f + 0.12f * h2, up = 0.32f + 0.2f * h3;
        float t = (float)age;
        float y = up * t - 0.5f * GRAVITY * t * t;
        if (y < -3.5f) continue;  // down in the crater
        float x = b.x + 0.5f + std::cos(ang) * speed * t, z = b.y + 0.5f + std::sin(ang) * speed * t;
        float shade = 0.3f + 0.25f * h2;
        myview_paint_colour(shade, shade * 0.95f, shade * 0.9f, 1);
        // A chip of masonry from the walls' texture.
        MyImage chip = *walls;
        chip.tw = walls->tw * 0.05f, chip.th = walls->th * 0.05f;
        chip.tx = walls->tx + h3 * walls->tw * 0.9f, chip.ty = walls->ty + h1 * walls->th * 0.4f;
        _facing(&chip, a, x, y, z, 0.1f + 0.1f * h3, t * (0.3f + h1));
    }
}

// ---------------------------------------------------------------- bombs

// A ring on the floor round a time bomb: the share of its delay left, amber,
// red for the last three seconds.
void _countdown(const Entity& e, int now, const MyImage* white) {
    if (e.timer < 0 || e.frame < 0 || e.timer > TIMER_MAX || e.frame > TIMER_MAX) return;  // damaged
    int total = e.timer + e.frame;
    if (total <= 0) return;
    float left = e.timer / (float)total;
    int lit = (int)std::ceil(left * RING_SEGMENTS);
    bool warn = e.frame > 0 && e.timer <= RING_WARN_TICKS;
    float pulse = warn ? 0.65f + 0.35f * std::fabs(std::sin(now * 0.35f)) : 1.0f;
    float cx = e.x + 0.5f, cz = e.y + 0.5f;
    for (int i = 0; i < RING_SEGMENTS; i++) {
        // Clockwise from twelve o'clock as the default camera sees it.
        float a0 = (i + 0.12f) / RING_SEGMENTS * 6.2832f - 2.356f, a1 = (i + 0.88f) / RING_SEGMENTS * 6.2832f - 2.356f;
        if (i < lit) {
            if (warn) myview_paint_colour(1, 0.22f, 0.12f, 0.95f * pulse);
            else myview_paint_colour(1, 0.78f, 0.25f, e.frame > 0 ? 0.9f : 0.55f);
        } else {
            myview_paint_colour(0.2f, 0.2f, 0.25f, 0.5f);
        }
        const float p[4][3] = {{cx + std::cos(a0) * RING_IN, RING_Y, cz + std::sin(a0) * RING_IN},
                               {cx + std::cos(a1) * RING_IN, RING_Y, cz + std::sin(a1) * RING_IN},
                               {cx + std::cos(a1) * RING_OUT, RING_Y, cz + std::sin(a1) * RING_OUT},
                               {cx + std::cos(a0) * RING_OUT, RING_Y, cz + std::sin(a0) * RING_OUT}};
        _corners(white, p[0], p[1], p[2], p[3]);
    }
}

// ---------------------------------------------------------------- the win

// The player walks into the window's light and is gone.
void _win_figure(Game& game, const Entity& p) {
    float t = (float)p.frame;
    float k = _smooth(0, 1, t / WIN_STEP_TICKS);
    if (k >= 1) return;
    char name[48];
    snprintf(name, sizeof(name), "player-walk-%d-%d", _fx.dir, (p.frame / 2) % 8);
    int img = myview_img(name);
    const MyImage* im = myview_img_info(img);
    if (!im) return;
    float scale = myview_actor_scale(game.level);
    float x = _fx.from_x + (_fx.exit_x - _fx.from_x) * 0.75f * k + 0.5f;
    float z = _fx.from_y + (_fx.exit_y - _fx.from_y) * 0.75f * k + 0.5f;
    float hx, hz;
    myview_billboard_axis(game.level.rotate, im->w * MYVIEW_SPRITE_HALF_W / MYVIEW_SPRITE_ART_UNIT * scale, &hx, &hz);
    float top = (MYVIEW_SPRITE_BOTTOM + (float)(int)(im->h * MYVIEW_SPRITE_ART_HEIGHT / MYVIEW_SPRITE_ART_UNIT)) * scale;
    float bottom = MYVIEW_SPRITE_BOTTOM * scale;
    if (!_begin(im)) return;
    myview_paint_colour(1, 1, 1, 1 - k);
    const float q[4][3] = {{x - hx, bottom, z - hz}, {x + hx, bottom, z + hz}, {x + hx, top, z + hz},
                           {x - hx, top, z - hz}};
    _corners(im, q[0], q[1], q[2], q[3]);
    myview_paint_end();
}

void _win_flash(const Entity& p, const Axes& a, const MyImage* glow) {
    float t = (float)p.frame;
    float k = t < WIN_FLASH_PEAK ? t / WIN_FLASH_PEAK : std::exp(-(t - WIN_FLASH_PEAK) / WIN_FLASH_FADE);
    if (k < 0.02f) return;
    float x = _fx.exit_x + 0.5f, z = _fx.exit_y + 0.5f;
    myview_paint_colour(0.85f * k, 0.95f * k, k, 1);
    _facing(glow, a, x, 1.3f, z, 2.0f + 4.0f * k);
    myview_paint_colour(k, k, k, 1);
    _facing(glow, a, x, 1.3f, z, 0.8f + 1.4f * k);
    _facing(glow, a, x, 1.3f, z, 0.5f + 0.8f * k);
    _flat(glow, x - 3.5f, z - 3.5f, x + 3.5f, z + 3.5f, RING_Y);
}

// A burst of sparks high over the map, in one of a few colours.
void _firework(const Entity& e, int slot, int now, const Axes& a, const MyImage* spark) {
    static const float colours[][3] = {
        {0.35f, 0.9f, 1.0f}, {1.0f, 0.4f, 0.85f}, {1.0f, 0.85f, 0.3f}, {0.5f, 1.0f, 0.45f}, {0.75f, 0.6f, 1.0f},
    };
    unsigned seed = (unsigned)slot * 97u + (unsigned)(int)e.x * 31u + (unsigned)(int)e.y * 17u;
    const float* c = colours[seed % 5];
    float t = e.frame + ((now & 1) ? 0.5f : 0.0f);
    float fade = mymax(0.0f, 1 - t / 9.5f);
    float cx = e.x + 0.5f, cz = e.y + 0.5f, cy = FW_HEIGHT + 3 * _hash(seed, 1);
    float reach = FW_SPREAD * (1 - std::exp(-t / 2.2f));
    if (t < 3) {
        float k = 1 - t / 3;
        myview_paint_colour(k, k, k, 1);
        _facing(spark, a, cx, cy, cz, FW_CORE);
        myview_paint_colour(c[0] * k, c[1] * k, c[2] * k, 1);
        _facing(spark, a, cx, cy, cz, FW_CORE * 2);
    }
    for (int i = 0; i < FW_SPARKS; i++) {
        float h1 = _hash(seed, i + 10), h2 = _hash(seed, i + 60);
        float zq = 2 * h1 - 1, ang = h2 * 6.2832f, ring = std::sqrt(mymax(0.0f, 1 - zq * zq));
        float dx = ring * std::cos(ang), dy = zq, dz = ring * std::sin(ang);
        float droop = 0.03f * t * t;
        for (int tail = 0; tail < FW_TAIL; tail++) {
            float r = reach * (1 - 0.12f * tail), k = fade * (1 - 0.3f * tail);
            // The head burns white-hot, its trail in the burst's colour.
            float white = tail ? 0 : 0.5f * fade;
            myview_paint_colour(mymin(1.0f, c[0] * k + white), mymin(1.0f, c[1] * k + white), mymin(1.0f, c[2] * k + white), 1);
            _facing(spark, a, cx + dx * r, cy + dy * r - droop * (1 - 0.1f * tail), cz + dz * r,
                    FW_SPARK * (1 - 0.2f * tail));
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- the pass

void myview_fx_draw(Game& game) {
    LevelData& lev = game.level;
    if (game.state == STATE_EDIT) return;
    int now = lev.frame;
    Axes a = _axes(lev);
    const MyImage* smoke = myview_img_info(myview_img("smoke"));
    const MyImage* glow = myview_img_info(myview_img("unshadow"));
    const MyImage* walls = myview_img_info(myview_img("walls"));
    const MyImage* white = myview_img_info(myview_img("white"));
    const Entity* p = _player(lev);

    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    if (_begin(white)) {
        for (const Entity& e : lev.items)
            if (e.active && e.type == D_BOMB2 && _finite(e)) _countdown(e, now, white);
        myview_paint_end();
    }
    if (walls && _begin(walls)) {
        for (int i = 0; i < _fx.n; i++) _debris(_fx.blasts[i], now - _fx.blasts[i].start, a, walls);
        myview_paint_end();
    }
    if (_begin(smoke)) {
        for (int i = 0; i < _fx.n; i++) _smoke(_fx.blasts[i], now - _fx.blasts[i].start, a, smoke);
        myview_paint_end();
    }
    if (_fx.win && p && p->state == D_WIN) _win_figure(game, *p);

    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    if (_begin(glow)) {
        for (int i = 0; i < _fx.n; i++) _flames(_fx.blasts[i], now - _fx.blasts[i].start, now, a, glow);
        for (int s = 0; s < ENTITY_MAX; s++) {
            const Entity& e = lev.items[s];
            if (e.active && myview_fx_sky(e.type) && _finite(e)) _firework(e, s, now, a, glow);
        }
        if (_fx.win && p && p->state == D_WIN) _win_flash(*p, a, glow);
        myview_paint_end();
    }
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}
