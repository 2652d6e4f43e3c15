// What makes a map readable at a glance: blocks cut down where they would hide
// an actor, the cells each guard watches, glowing windows and escape cells,
// and the rims, rings and facing wedges that keep the player and the guards
// in sight.
//
// Sections: cut-away, actors, floor marks, actor marks.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "logic.h"
#include "myview_quads.h"
#include "util.h"

namespace {

const double PI = 3.141592653589793;

// ---- cut-away
// The eye rises this much per unit of ground towards it (1.65 d over d sqrt 2).
const float EYE_SLOPE = 1.65f / 1.41421356f;
const float CUT_SEEN_HEIGHT = 0.35f;   // an actor counts as hidden from its shins up
const float CUT_SIDE = 0.35f;          // half the width of a figure, in cells
const float CUT_STEP = 0.25f;          // ground step of the sight line
const float CUT_TALLEST = 5.0f;        // the tallest block (an arch)
enum { CUT_MAX = 1024 };

// ---- actors
// Far out, figures stand bigger than life: life size up to this camera
// distance, growing with it to at most ACTOR_SCALE_FAR.
const float ACTOR_LIFE_DISTANCE = 62;
const float ACTOR_SCALE_FAR = 1.6f;
const float CAMERA_DISTANCE_BASE = 50;  // the camera stands zoom + this far off
const float RING_REACH = 0.75f;        // the ring of light around the feet
const float RING_ALPHA = 0.85f;
const float START_RING_REACH = 1.2f;   // the player's, before the first step
const int PULSE_TICKS = 16;            // an alarmed guard's ring pulses with this period
// Round each figure, behind it: a thin dark outline (its shape this many
// pixels bigger all round), and beyond that a rim in its look's tint.
const float OUTLINE_PIXELS = 1.25f;
const float RIM_PIXELS = 3.0f;
const float FIGURE_HALF_WIDTH = 0.3f;  // about, at life size
const float OUTLINE_BACK = 0.06f;      // units behind the figure's own plane
const float RIM_BACK = 0.12f;
const float OUTLINE_ALPHA = 0.9f;
const float RIM_ALPHA = 0.95f;
const float UNITS_PER_PIXEL = 0.38f;   // at camera distance 1 and a window 1 pixel high
// Where the floor is too dark for a figure to show against it, a neutral key
// light falls on the floor around it: a pool of light this far across, added
// at this strength, that the figure stands dark against as on lit floor.
const float POOL_REACH = 3.6f;
const float POOL_ALPHA = 1.0f;
// Behind a block there is no floor to light: the figure shows through the
// block, toned down by this share, against a soft backlight this many times
// its height across.
const float HALO_REACH = 1.8f;
const float HALO_ALPHA = 1.0f;
// A guard's backlight is softer: he needs to be seen, not to outshine the lamps.
const float GUARD_HALO_ALPHA = 0.7f;
const float THROUGH_LEVEL = 0.5f;
// The player's light suit is toned down by this share, so that it stands
// dark against lit floor as the guards' uniforms do.
const float PLAYER_SHADE = 0.55f;
// A wedge on the floor in front of a guard: which way it faces.
const float WEDGE_NEAR = 0.42f, WEDGE_FAR = 0.95f, WEDGE_HALF = 0.26f;
// The mark over a guard who sees the player.
const float ALERT_GAP = 0.6f, ALERT_BAR = 0.75f, ALERT_DOT = 0.22f, ALERT_HALF = 0.14f;
const float ALERT_BACK = 0.06f;       // its dark border
const float FIGURE_HEIGHT = 1.75f;     // a figure's height at life size

struct Tint {
    float r, g, b;
};
const Tint PLAYER_TINT = {0.25f, 0.85f, 1.0f};    // cool
const Tint GUARD_TINT = {1.0f, 0.6f, 0.15f};      // warm
const Tint ALARM_TINT = {1.0f, 0.18f, 0.1f};      // running to an explosion, or shooting
const Tint FROZEN_TINT = {0.75f, 0.95f, 1.0f};    // held by an EMP pulse
const Tint DYING_TINT = {0.5f, 0.5f, 0.5f};
const Tint OUTLINE_TINT = {0.03f, 0.03f, 0.04f};
const Tint ALERT_TINT = {1.0f, 0.12f, 0.08f};

// ---- floor marks
// Watched cells carry a pale violet wash with a bright outline round the
// whole area a guard sees: far in hue from lamp light and from the guards'
// warm colours, so that a threat never reads as a lamp or a guard.
const float WATCH_ALPHA = 0.4f;
const float WATCH_INSET = 0.14f;                  // the wash leaves the grid lines clear
const Tint WATCH_TINT = {0.72f, 0.56f, 1.0f};
const float WATCH_EDGE = 0.07f;                   // width of the outline, cells
const float WATCH_EDGE_ALPHA = 0.9f;
const Tint SEEN_TINT = {1.0f, 0.1f, 0.1f};       // the guard sees the player now
const float SEEN_ALPHA = 0.5f;
const int SIGHT_REACH = LOGIC_SIGHT_RANGE_LIT;    // no guard sees farther (lit cells)
const int SIGHT_NEAR = LOGIC_SIGHT_RANGE;         // nor farther into cells that are not lit
const float CONE_COS_WIDE = 0.4067f;              // cos 66 degrees: the cone, a degree wider
const float PANE_POP = -0.08f;                    // the glowing pane fills the opening
const float WINDOW_SILL = 0.5f, WINDOW_LINTEL = 2.0f;
const Tint PANE_TINT = {0.45f, 0.8f, 1.0f};
const float PANE_ALPHA = 0.35f;
const Tint OPEN_TINT = {0.55f, 1.0f, 0.55f};      // no pillar left: the way out
const float OPEN_ALPHA = 0.9f;
const int ESCAPE_NEAR = 6;                        // escape cells show within this many cells
const float ESCAPE_INSET = 0.12f;
const float ESCAPE_ALPHA = 0.35f, ESCAPE_OPEN_ALPHA = 0.7f;

// Blocks cut down this frame: a mask over the grid and the list that clears it.
unsigned char _cut_mask[MAP_SIZE][MAP_SIZE];
int _cut_list[CUT_MAX][2];
int _cut_n = 0;
// Entity slots that stand behind a cut block this frame: they shine through.
bool _cut_behind[ENTITY_MAX];

// The few quads of one mark, drawn at once.
MyQuads _marks;

bool _in_play(int x, int y) { return x >= MAP_MIN && y >= MAP_MIN && x <= MAP_MAX && y <= MAP_MAX; }

int _cell_of(float v) {
    if (!(v > -MAP_SIZE && v < 2 * MAP_SIZE)) return -1;
    return (int)std::floor(v + 0.5f);
}

bool _actor(const Entity& e) {
    return e.active && (e.type == D_PLAYER || e.type == D_GUARD) && std::isfinite(e.x) &&
           std::isfinite(e.y);
}

// Height of the block a tile stands as, 0 for none.
float _block_height(const TileData& t) {
    switch (t.view) {
    case D_ARCH: return CUT_TALLEST;
    case D_WALL:
    case D_WINDOW:
    case D_PILLAR: return MYVIEW_WALL_HEIGHT;
    case D_CRATE: return MYVIEW_WALL_HEIGHT / 2;
    default: return 0;
    }
}

void _cut_add(int x, int y) {
    if (_cut_mask[y][x] || _cut_n >= CUT_MAX) return;
    _cut_mask[y][x] = 1;
    _cut_list[_cut_n][0] = x;
    _cut_list[_cut_n][1] = y;
    _cut_n++;
}

// Walks the sight lines from an actor towards the eye and cuts every block
// that rises above them; true when it cut any.
bool _cut_for(Game& game, const Entity& e, float ux, float uz) {
    bool cut = false;
    float px = e.x + 0.5f, pz = e.y + 0.5f;
    int own_x = _cell_of(e.x), own_y = _cell_of(e.y);
    const float sides[3] = {-CUT_SIDE, 0, CUT_SIDE};
    for (float side : sides) {
        float sx = px - uz * side, sz = pz + ux * side;
        for (float t = CUT_STEP; t * EYE_SLOPE + CUT_SEEN_HEIGHT < CUT_TALLEST; t += CUT_STEP) {
            float wx = sx + ux * t, wz = sz + uz * t;
            if (!(wx > 0 && wz > 0 && wx < MAP_SIZE && wz < MAP_SIZE)) break;
            int cx = (int)wx, cz = (int)wz;
            if (cx == own_x && cz == own_y) continue;
            if (!_in_play(cx, cz)) continue;
            const TileData& tile = game.tiles[game.level.data[cz][cx]];
            if (_block_height(tile) > CUT_SEEN_HEIGHT + t * EYE_SLOPE) {
                // A pillar is what the player has to find: it stays whole,
                // and the actor behind it shines through instead.
                if (tile.view != D_PILLAR) _cut_add(cx, cz);
                cut = true;
            }
        }
    }
    return cut;
}

void _tint(const Tint& t, float a) { glColor4f(t.r, t.g, t.b, a); }

// How an actor is marked, by what it is doing; each look has its tint.
enum { LOOK_PLAYER, LOOK_GUARD, LOOK_ALARM, LOOK_FROZEN, LOOK_DYING, LOOKS };
const Tint LOOK_TINTS[LOOKS] = {PLAYER_TINT, GUARD_TINT, ALARM_TINT, FROZEN_TINT, DYING_TINT};
// Rings and wedges on the floor, rims and outlines behind the figures, pools
// of light around those on dim floor, and the shade over the player on lit
// floor.
MyQuads _rings[LOOKS], _rims[LOOKS], _outlines, _pools, _shades, _halos[2], _throughs[2];
MyQuads _alerts, _alert_backs;  // the marks over guards who see the player, and their borders
// Guards (by slot) that see the player this frame.
bool _sees[ENTITY_MAX];

int _actor_look(const LevelData& lev, const Entity& e) {
    if (e.state == D_DEAD) return LOOK_DYING;
    if (e.type == D_PLAYER) return LOOK_PLAYER;
    if (lev.emp > 0) return LOOK_FROZEN;
    if (e.state == D_RUN || e.state == D_SHOOT) return LOOK_ALARM;
    return LOOK_GUARD;
}

// Texture stage set so that a picture draws as its shape in the current
// colour (the rim, the outline), or as its own colours times the current
// colour and `scale` (a figure seen through a block).
enum { ENV_PLAIN, ENV_SHAPE, ENV_LIT };
void _tex_env(int mode, float scale = 1) {
    if (mode == ENV_PLAIN) {
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        return;
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, mode == ENV_SHAPE ? GL_REPLACE : GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, mode == ENV_SHAPE ? GL_PRIMARY_COLOR : GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, scale);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
}

// The actor's billboard as the view stood it this frame: picture, half-axis,
// bottom and top; false when it has no picture.
struct Board {
    int img;
    float hx, hz, bottom, top;
};

bool _actor_board(const LevelData& lev, const Entity& e, float rotate, Board* b) {
    char name[sizeof(e.iname) + 1];
    mystrncpy(name, sizeof(name), e.iname, sizeof(e.iname));
    b->img = myview_img(name);
    const MyImage* im = myview_img_info(b->img);
    if (!im) return false;
    float k = myview_actor_scale(lev);
    myview_billboard_axis(rotate, im->w * MYVIEW_SPRITE_HALF_W / MYVIEW_SPRITE_ART_UNIT * k, &b->hx, &b->hz);
    b->bottom = MYVIEW_SPRITE_BOTTOM * k;
    b->top = (MYVIEW_SPRITE_BOTTOM + (float)(int)(im->h * MYVIEW_SPRITE_ART_HEIGHT / MYVIEW_SPRITE_ART_UNIT)) * k;
    return true;
}

// Marks write no depth, so each is drawn over its picture's body alone.
void _flat(MyQuads& q, int img, float x0, float z0, float x1, float z1, float y) {
    q.body_quad(img, 0, 1, 0, x0, y, z1, x1, y, z1, x0, y, z0, x1, y, z0);
}

}  // namespace

// ---------------------------------------------------------------- cut-away

void myview_cut_plan(Game& game, float rotate) {
    for (int i = 0; i < _cut_n; i++) _cut_mask[_cut_list[i][1]][_cut_list[i][0]] = 0;
    _cut_n = 0;
    for (bool& b : _cut_behind) b = false;
    // The editor shows the map as built; from straight above nothing hides an actor.
    if (game.state == STATE_EDIT || myview_overhead(game)) return;
    // Ground direction from a point towards the eye (see myview_projection).
    double a = rotate * PI / 180;
    float ux = (float)((std::cos(a) + std::sin(a)) / std::sqrt(2.0));
    float uz = (float)((std::cos(a) - std::sin(a)) / std::sqrt(2.0));
    for (int i = 0; i < ENTITY_MAX; i++) {
        const Entity& e = game.level.items[i];
        _cut_behind[i] = _actor(e) && _cut_for(game, e, ux, uz);
    }
}

bool myview_cut(int x, int y) {
    return x >= 0 && y >= 0 && x < MAP_SIZE && y < MAP_SIZE && _cut_mask[y][x];
}

// ---------------------------------------------------------------- floor marks

namespace {

// Cells watched by guards that do not / do see the player, and the outlines
// of those areas.
MyQuads _watch, _seen, _watch_edge, _seen_edge;
enum { SIGHT_SPAN = 2 * SIGHT_REACH + 1 };

// An outline on the side (dx, dy) of cell (x, y), along its inner edge.
void _edge(MyQuads& into, int white, int x, int y, int dx, int dy) {
    float x0 = (float)x, z0 = (float)y, x1 = x0 + 1, z1 = z0 + 1;
    if (dx < 0) x1 = x0 + WATCH_EDGE;
    if (dx > 0) x0 = x1 - WATCH_EDGE;
    if (dy < 0) z1 = z0 + WATCH_EDGE;
    if (dy > 0) z0 = z1 - WATCH_EDGE;
    _flat(into, white, x0, z0, x1, z1, MYVIEW_OVERLAY_HEIGHT);
}

// Marks the cells guard g (on gx, gy) sees, asking the rules only about cells
// that can pass: in view, in range and about inside its cone (a degree wider
// than the rules' cone, so that no seen cell is ever left out); then outlines
// the area, the guard's own cell counted in so that it starts at his feet.
void _watched(Game& game, Entity& g, int gx, int gy, const MyViewExtent& ext, int white, MyQuads& into,
              MyQuads& edges) {
    static bool seen[SIGHT_SPAN][SIGHT_SPAN];
    memset(seen, 0, sizeof(seen));
    int code = g.arrow, ax = 0, ay = 0;
    if (code >= 0 && code <= 9) ax = logic_arrow_decode[code][0], ay = logic_arrow_decode[code][1];
    float al = std::sqrt((float)(ax * ax + ay * ay));
    float vr = ext.dist + 2;
    for (int y = gy - SIGHT_REACH; y <= gy + SIGHT_REACH; y++) {
        float oz = y + 0.5f - ext.cz;
        for (int x = gx - SIGHT_REACH; x <= gx + SIGHT_REACH; x++) {
            if ((x == gx && y == gy) || !_in_play(x, y)) continue;
            float ox = x + 0.5f - ext.cx;
            if (ox * ox + oz * oz > vr * vr) continue;
            int dx = x - gx, dy = y - gy, d2 = dx * dx + dy * dy;
            int f = game.ext.info[y][x];
            if (d2 > ((f & INFO_LIT) ? SIGHT_REACH * SIGHT_REACH : SIGHT_NEAR * SIGHT_NEAR)) continue;
            if (d2 > 2 && al > 0 && (ax * dx + ay * dy) < CONE_COS_WIDE * al * std::sqrt((float)d2)) continue;
            if (!logic_cansee(game, g, x, y)) continue;
            seen[dy + SIGHT_REACH][dx + SIGHT_REACH] = true;
            _flat(into, white, x + WATCH_INSET, y + WATCH_INSET, x + 1 - WATCH_INSET, y + 1 - WATCH_INSET,
                  MYVIEW_OVERLAY_HEIGHT);
        }
    }
    seen[SIGHT_REACH][SIGHT_REACH] = true;
    static const int sides[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (int j = 0; j < SIGHT_SPAN; j++)
        for (int i = 0; i < SIGHT_SPAN; i++) {
            if (!seen[j][i] || (i == SIGHT_REACH && j == SIGHT_REACH)) continue;
            for (const auto& sd : sides) {
                int ni = i + sd[0], nj = j + sd[1];
                bool out = ni < 0 || nj < 0 || ni >= SIGHT_SPAN || nj >= SIGHT_SPAN || !seen[nj][ni];
                if (out) _edge(edges, white, gx + i - SIGHT_REACH, gy + j - SIGHT_REACH, sd[0], sd[1]);
            }
        }
}

}  // namespace

void myview_marks_floor(Game& game, const MyViewExtent& ext, const int (*windows)[2], int nwin) {
    LevelData& lev = game.level;
    int white = myview_img("white");
    bool play = game.state == STATE_LEVEL || game.state == STATE_PAUSE || game.state == STATE_LEVEL_INTRO;
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    // Every floor mark is plain colour: the white picture times the tint is
    // the tint, and a software renderer fills faster without the texture.
    glDisable(GL_TEXTURE_2D);

    // Cells that guards watch, in their colour; frozen and dying guards watch nothing.
    const Entity* player = nullptr;
    for (const Entity& e : lev.items)
        if (_actor(e) && e.type == D_PLAYER) player = &e;
    for (bool& b : _sees) b = false;
    if (play && lev.emp <= 0) {
        _watch.reset();
        _seen.reset();
        _watch_edge.reset();
        _seen_edge.reset();
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        float reach = ext.dist + SIGHT_REACH;
        for (int slot = 0; slot < ENTITY_MAX; slot++) {
            Entity& g = lev.items[slot];
            if (!_actor(g) || g.type != D_GUARD || g.state == D_DEAD) continue;
            float ox = g.x - ext.cx, oz = g.y - ext.cz;
            if (ox * ox + oz * oz > reach * reach) continue;
            int gx = _cell_of(g.x), gy = _cell_of(g.y);
            bool sees = player && logic_cansee(game, g, _cell_of(player->x), _cell_of(player->y));
            _sees[slot] = sees;
            _watched(game, g, gx, gy, ext, white, sees ? _seen : _watch, sees ? _seen_edge : _watch_edge);
        }
        _tint(WATCH_TINT, WATCH_ALPHA);
        _watch.draw("watched");
        _tint(WATCH_TINT, WATCH_EDGE_ALPHA);
        _watch_edge.draw("watched-edge");
        _tint(SEEN_TINT, SEEN_ALPHA);
        _seen.draw("seen");
        _tint(SEEN_TINT, WATCH_EDGE_ALPHA);
        _seen_edge.draw("seen-edge");
    }

    // Windows glow as the way out; brighter once no pillar is left, and the
    // cells beside them, from which the escape fires, show when the player is near.
    bool open = lev.c_pillars == 0;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    _marks.reset();
    for (int i = 0; i < nwin; i++)
        my_block(game, _marks, white, (float)windows[i][0], (float)windows[i][1], WINDOW_SILL, WINDOW_LINTEL,
                 PANE_POP, 0, 0);
    if (open) _tint(OPEN_TINT, OPEN_ALPHA);
    else _tint(PANE_TINT, PANE_ALPHA);
    _marks.draw("windows");
    if (!play || !player) {
        glEnable(GL_TEXTURE_2D);
        return;
    }
    int px = _cell_of(player->x), py = _cell_of(player->y);
    static const int beside[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    _marks.reset();
    for (int i = 0; i < nwin; i++) {
        int wx = windows[i][0], wy = windows[i][1];
        if (myabs((float)(wx - px)) > ESCAPE_NEAR || myabs((float)(wy - py)) > ESCAPE_NEAR) continue;
        for (const auto& b : beside) {
            int x = wx + b[0], y = wy + b[1];
            if (!_in_play(x, y) || (game.ext.info[y][x] & INFO_SOLID)) continue;
            _flat(_marks, white, x + ESCAPE_INSET, y + ESCAPE_INSET, x + 1 - ESCAPE_INSET,
                  y + 1 - ESCAPE_INSET, MYVIEW_OVERLAY_HEIGHT);
        }
    }
    _tint(open ? OPEN_TINT : PANE_TINT, open ? ESCAPE_OPEN_ALPHA : ESCAPE_ALPHA);
    _marks.draw("escape");
    glEnable(GL_TEXTURE_2D);
}

// ---------------------------------------------------------------- actor marks

// Where a standing figure lies in its picture (fractions across and down)
// when the catalogue does not say: only that part is drawn, which saves most
// of the fill of a picture that is mostly clear; a dying one lies across the
// whole width.
const float FIGURE_LEFT = 0.12f, FIGURE_RIGHT = 0.88f, FIGURE_TOP = 0.04f, FIGURE_FEET = 0.8f;

void myview_figure_quad(MyQuads& into, int img, float cx, float cz, float hx, float hz, float bottom, float top,
                        bool whole, float ny) {
    const MyImage* im = myview_img_info(img);
    if (!im) return;
    float u0 = whole ? 0 : FIGURE_LEFT, u1 = whole ? 1 : FIGURE_RIGHT, v0 = FIGURE_TOP, v1 = FIGURE_FEET;
    if (im->body) u0 = im->bx0, u1 = im->bx1, v0 = im->by0, v1 = im->by1;
    float l = 2 * u0 - 1, r = 2 * u1 - 1;
    float yt = top - (top - bottom) * v0, yb = top - (top - bottom) * v1;
    into.tex_quad(im->tex, 0, ny, 0, im->tx + im->tw * u0, im->ty + im->th * v0, im->tw * (u1 - u0),
                  im->th * (v1 - v0), cx + hx * l, yb, cz + hz * l, cx + hx * r, yb, cz + hz * r,
                  cx + hx * l, yt, cz + hz * l, cx + hx * r, yt, cz + hz * r, false);
}

float myview_actor_scale(const LevelData& lev) {
    float d = lev.zoom + CAMERA_DISTANCE_BASE;
    if (!std::isfinite(d)) return 1;
    return mymax(1.0f, mymin(ACTOR_SCALE_FAR, d / ACTOR_LIFE_DISTANCE));
}

namespace {

// A pool of light around (cx, cz) that falls on open floor only, cell by
// cell, so that it never spills over walls or off the map.
void _pool(const Game& game, int img, float cx, float cz) {
    const MyImage* im = myview_img_info(img);
    if (!im) return;
    float x0 = cx - POOL_REACH, z0 = cz - POOL_REACH, span = 2 * POOL_REACH, y = MYVIEW_OVERLAY_HEIGHT;
    // Cells beyond the picture's body would only add clear pixels.
    float bx0 = im->body ? im->bx0 : 0, bx1 = im->body ? im->bx1 : 1;
    float bz0 = im->body ? im->by0 : 0, bz1 = im->body ? im->by1 : 1;
    float lx = x0 + span * bx0, hx = x0 + span * bx1, lz = z0 + span * bz0, hz = z0 + span * bz1;
    for (int z = (int)std::floor(lz); z < hz; z++)
        for (int x = (int)std::floor(lx); x < hx; x++) {
            if (!_in_play(x, z) || (game.ext.info[z][x] & INFO_SOLID)) continue;
            // The pool is round: cells wholly outside it draw nothing.
            float nx = mymax((float)x, mymin(cx, x + 1.0f)) - cx, nz = mymax((float)z, mymin(cz, z + 1.0f)) - cz;
            if (nx * nx + nz * nz >= POOL_REACH * POOL_REACH) continue;
            float a = mymax((float)x, lx), b = mymin(x + 1.0f, hx);
            float c = mymax((float)z, lz), d = mymin(z + 1.0f, hz);
            float u = (a - x0) / span, v = (c - z0) / span, uw = (b - a) / span, vh = (d - c) / span;
            _pools.tex_quad(im->tex, 0, 1, 0, im->tx + im->tw * u, im->ty + im->th * v, im->tw * uw, im->th * vh, a, y,
                            d, b, y, d, a, y, c, b, y, c, false);
        }
}

// A wedge on the floor in front of a guard, pointing the way he faces.
void _wedge(MyQuads& into, int white, const Entity& g, float cx, float cz) {
    int code = g.arrow;
    if (code < 0 || code > 9) return;
    float ax = (float)logic_arrow_decode[code][0], ay = (float)logic_arrow_decode[code][1];
    float al = std::sqrt(ax * ax + ay * ay);
    if (al == 0) return;
    ax /= al, ay /= al;
    float nx = cx + ax * WEDGE_NEAR, nz = cz + ay * WEDGE_NEAR;
    float tx = cx + ax * WEDGE_FAR, tz = cz + ay * WEDGE_FAR;
    float y = MYVIEW_OVERLAY_HEIGHT;
    // A triangle: the quad's last corner on its third.
    into.img_quad(white, 0, 1, 0, nx - ay * WEDGE_HALF, y, nz + ax * WEDGE_HALF, nx + ay * WEDGE_HALF, y,
                  nz - ax * WEDGE_HALF, tx, y, tz, tx, y, tz, false);
}

// An exclamation mark over the head of a guard who sees the player.
void _alert(int white, const Board& b, float cx, float cz, float scale) {
    float len = std::sqrt(b.hx * b.hx + b.hz * b.hz);
    if (!(len > 0)) return;
    float y0 = FIGURE_HEIGHT * scale + ALERT_GAP, y1 = y0 + ALERT_DOT * 1.8f;
    for (int pass = 0; pass < 2; pass++) {  // the dark border, then the mark
        float grow = pass ? 0 : ALERT_BACK;
        float hx = b.hx / len * (ALERT_HALF + grow), hz = b.hz / len * (ALERT_HALF + grow);
        MyQuads& into = pass ? _alerts : _alert_backs;
        myview_billboard(into, white, cx, cz, hx, hz, y0 - grow, y0 + ALERT_DOT + grow, 1, false);
        myview_billboard(into, white, cx, cz, hx, hz, y1 - grow, y1 + ALERT_BAR + grow, 1, false);
    }
}

// Draws this frame's pools, rings and wedges, backlights, rims, outlines and marks.
void _actor_marks_draw(const LevelData& lev) {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    if (_pools.n) {
        glColor4f(1, 1, 1, POOL_ALPHA);
        _pools.draw("pool");
    }
    // An alarmed guard's ring pulses.
    float pulse = 0.6f + 0.4f * (float)std::fabs(std::sin(PI * (lev.frame % PULSE_TICKS) / PULSE_TICKS));
    for (int k = 0; k < LOOKS; k++) {
        if (!_rings[k].n) continue;
        _tint(LOOK_TINTS[k], RING_ALPHA * (k == LOOK_ALARM ? pulse : 1));
        _rings[k].draw("ring");
    }
    if (_halos[0].n || _halos[1].n) {
        // Seen through the blocks in front: drawn over them.
        glDisable(GL_DEPTH_TEST);
        for (int k = 0; k < 2; k++) {
            glColor4f(1, 1, 1, k ? GUARD_HALO_ALPHA : HALO_ALPHA);
            if (_halos[k].n) _halos[k].draw("halo");
        }
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        _tex_env(ENV_LIT, 1);
        for (int k = 0; k < 2; k++) {  // the player's toned down as everywhere
            float v = k ? THROUGH_LEVEL : THROUGH_LEVEL * (1 - PLAYER_SHADE);
            glColor4f(v, v, v, 1);
            _throughs[k].draw("through");
        }
        glEnable(GL_DEPTH_TEST);
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Rims stand a little behind their figures and outlines between the two,
    // so that the figure hides all of its outline but the edge, and the
    // outline all of its rim but the edge.
    _tex_env(ENV_SHAPE);
    for (int k = 0; k < LOOKS; k++) {
        if (!_rims[k].n) continue;
        _tint(LOOK_TINTS[k], RIM_ALPHA);
        _rims[k].draw("rim");
    }
    if (_outlines.n) {
        _tint(OUTLINE_TINT, OUTLINE_ALPHA);
        _outlines.draw("outline");
    }
    if (_shades.n) {
        glColor4f(0, 0, 0, PLAYER_SHADE);
        _shades.draw("shade");
    }
    _tex_env(ENV_PLAIN);
    if (_alerts.n) {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);  // plain colour, as the floor marks
        glColor4f(0.1f, 0, 0, 0.85f);
        _alert_backs.draw("alert-border");
        _tint(ALERT_TINT, 1);
        _alerts.draw("alert");
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
    }
}

}  // namespace

void myview_marks_actors(Game& game, float rotate) {
    LevelData& lev = game.level;
    if (game.state == STATE_EDIT) return;
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);

    // A ring of light on the ground under every figure, in the tint of its
    // look (the player's bigger until the first step) with a wedge the way a
    // guard faces; an outline and a rim round each figure, and a key light
    // over it where the floor would hide it. One batch per look, so that a
    // frame makes a few draws rather than several an actor.
    int ring = myview_img("unshadow"), white = myview_img("white");
    bool overhead = myview_overhead(game);  // figures lie flat: no upright rim, light or mark
    for (int k = 0; k < LOOKS; k++) _rings[k].reset(), _rims[k].reset();
    _outlines.reset();
    _pools.reset(), _halos[0].reset(), _halos[1].reset(), _throughs[0].reset(), _throughs[1].reset();
    _shades.reset();
    _alerts.reset();
    _alert_backs.reset();
    float scale = myview_actor_scale(lev);
    double a = rotate * PI / 180;
    float ux = (float)((std::cos(a) + std::sin(a)) / std::sqrt(2.0));  // towards the eye
    float uz = (float)((std::cos(a) - std::sin(a)) / std::sqrt(2.0));
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    float unit = UNITS_PER_PIXEL * (lev.zoom + CAMERA_DISTANCE_BASE) / mymax(1.0f, (float)vp[3]);
    if (!std::isfinite(unit)) unit = 0;
    float rim = RIM_PIXELS * unit, outline = OUTLINE_PIXELS * unit;
    for (int slot = 0; slot < ENTITY_MAX; slot++) {
        const Entity& e = lev.items[slot];
        if (!_actor(e)) continue;
        int look = _actor_look(lev, e);
        float r = RING_REACH;
        if (e.type == D_PLAYER && !(e.p_moved && game.state == STATE_LEVEL)) r = START_RING_REACH;
        float cx = e.x + 0.5f, cz = e.y + 0.5f;
        _flat(_rings[look], ring, cx - r, cz - r, cx + r, cz + r, MYVIEW_OVERLAY_HEIGHT);
        if (e.type == D_GUARD && look != LOOK_DYING) _wedge(_rings[look], white, e, cx, cz);

        Board b;
        if (overhead || !_actor_board(lev, e, rotate, &b)) continue;
        // The rim and the outline: the figure a few pixels bigger all round,
        // behind it.
        float mid = FIGURE_HEIGHT * scale / 2;
        for (int pass = 0; pass < 2; pass++) {
            float px = pass ? outline : rim, back = pass ? OUTLINE_BACK : RIM_BACK;
            float grow = 1 + px / (FIGURE_HALF_WIDTH * scale), lift = 1 + px / mid;
            myview_figure_quad(pass ? _outlines : _rims[look], b.img, cx - ux * back, cz - uz * back, b.hx * grow,
                               b.hz * grow, mid + (b.bottom - mid) * lift, mid + (b.top - mid) * lift,
                               e.state == D_DEAD, 1);
        }
        if (e.type == D_GUARD && (_sees[slot] || e.state == D_SHOOT) && e.state != D_DEAD)
            _alert(white, b, cx, cz, scale);
        int x = _cell_of(e.x), y = _cell_of(e.y);
        int f = (x >= 0 && y >= 0 && x < MAP_SIZE && y < MAP_SIZE) ? game.ext.info[y][x] : 0;
        // The key light falls only where the floor is too dark for a figure
        // to show against it, or where it stands behind the stubs of the
        // blocks cut away in front of it.
        bool dim = (f & INFO_DARK) || (f & INFO_SHADOW) || lev.emp > 0;
        if (e.state == D_DEAD) continue;
        if (_cut_behind[slot]) {
            float half = (b.top - b.bottom) * HALO_REACH / 2, len = std::sqrt(b.hx * b.hx + b.hz * b.hz);
            if (len > 0) {
                float hx = b.hx / len * half, hz = b.hz / len * half;
                float hcx = cx - ux * RIM_BACK, hcz = cz - uz * RIM_BACK, y0 = mid - half, y1 = mid + half;
                _halos[e.type == D_GUARD].body_quad(ring, 0, 1, 0, hcx - hx, y0, hcz - hz, hcx + hx, y0, hcz + hz,
                                                    hcx - hx, y1, hcz - hz, hcx + hx, y1, hcz + hz);
            }
            myview_figure_quad(_throughs[e.type == D_GUARD], b.img, cx, cz, b.hx, b.hz, b.bottom, b.top, false, 1);
            continue;
        }
        if (dim) _pool(game, ring, cx, cz);
        if (e.type == D_PLAYER) myview_figure_quad(_shades, b.img, cx, cz, b.hx, b.hz, b.bottom, b.top, false, 1);
    }
    _actor_marks_draw(lev);
    glDepthFunc(GL_LESS);
    glDisable(GL_ALPHA_TEST);
}
