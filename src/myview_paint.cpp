// Draws a map in 3D: blocks, floors, pits and decals from the tile grid,
// billboards for sprite tiles and actors, point lights for lamps and blasts,
// and the overlays for the player, the cursor, the editor and the danger zone.
//
// Sections: cell access, blocks and billboards, lighting, the cell pass, the
// entity pass, the draw passes, the overlays, the frame.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gfx.h"
#include "logic.h"
#include "myview_internal.h"
#include "util.h"

namespace {

const double PI = 3.141592653589793;

// Texture tiling: "floor" and "walls" repeat every 5 x 5 cells.
const int TILE_REPEAT = 5;
const float TILE_UV = 1.0f / TILE_REPEAT;
const float SIDE_UV_H = 0.4f;        // height of a side face in the "walls" texture
const float EAST_UV_V = 0.5f;        // east faces use the lower half of "walls"
const int SIDE_UV_WRAP = 1000;       // keeps the east and north offsets positive

// Blocks per view code, world units.
const float ARCH_HEIGHT = 2 * MYVIEW_WALL_HEIGHT;
const float WINDOW_SILL = 0.5f, WINDOW_LINTEL = 2.0f;
const float CRATE_HEIGHT = 1.25f;
const float PILLAR_FOOT = 0.35f, PILLAR_HEAD = 2.15f, PILLAR_CAP = 2.675f;
const float PILLAR_SHAFT_POP = -0.125f, PILLAR_CAP_POP = -0.25f;
const float PIT_DEPTH = MYVIEW_PIT_DEPTH;

const float SPRITE_HALF_W = MYVIEW_SPRITE_HALF_W;
const float SPRITE_BOTTOM = MYVIEW_SPRITE_BOTTOM, SPRITE_TOP = MYVIEW_SPRITE_TOP;
const float SPRITE_ART_UNIT = MYVIEW_SPRITE_ART_UNIT;
const float SPRITE_ART_HEIGHT = MYVIEW_SPRITE_ART_HEIGHT;
const float CUT_HEIGHT = 0.3f;       // a block cut away for an actor behind it: a stub
const float BLAST_BOTTOM = -5, BLAST_SCALE = 1.5f;
const float SHADOW_REACH = 1;        // a shadow blob spreads one cell around
const float ICON_REACH = 0.15f;      // editor icons overhang their cell a little
const float ACTOR_ICON_REACH = 0.5f;
const float ARROW_INSET = 0.25f;     // the editor's arrow trail: half-cell marks
const int ARROW_STEPS_MAX = 127;

// Lighting: bright enough to read the map at a glance, while shadow and
// dark floors (sun off, and for dark also the lamps and DARK_TINT) stay at
// less than half the luminance of lit floor.
const GLfloat BLACK[4] = {0, 0, 0, 1};
const GLfloat SUN_DIFFUSE[4] = {0.46f, 0.52f, 0.6f, 1};
const GLfloat SUN_DIRECTION[4] = {20, 40, 0, 0};  // from above and +x
const GLfloat SCENE_AMBIENT[4] = {0.3f, 0.33f, 0.4f, 1};
// An EMP cools and dims the light without washing out the colours.
const GLfloat EMP_SUN[4] = {0.3f, 0.4f, 0.46f, 1};
const GLfloat EMP_AMBIENT[4] = {0.2f, 0.26f, 0.3f, 1};
const GLfloat DARK_TINT[4] = {0.75f, 0.75f, 0.8f, 1};
const GLfloat BLAST_DIFFUSE[4] = {36, 20, 6, 1};
const GLfloat LAMP_BLUE[4] = {0, 10, 18, 1};      // lamp value 2
const GLfloat LAMP_RED[4] = {18, 0, 0, 1};        // lamp value 3
const GLfloat LAMP_VIOLET[4] = {7.333f, 0, 18, 1};// lamp value 4
const GLfloat LAMP_ORANGE[4] = {18, 10, 0, 1};    // any other value
enum { LAMP_VALUE_BLUE = 2, LAMP_VALUE_RED = 3, LAMP_VALUE_VIOLET = 4 };
const float LIGHT_HEIGHT = 2.45f;
const float LIGHT_REACH = 5;         // cells a lamp may lie beyond the window's corner
const float SPRITE_LIGHT_RAISE = 3.0f;

// Draw passes and overlays.
const GLfloat PILLAR_TINT[4] = {0.25f, 0.75f, 1.5f, 1};
const GLfloat PIT_TINT[4] = {0.65f, 0.65f, 0.65f, 1};
const float ALPHA_CUT = 0.1f;
const float MARKER_POP = 0.01f;
const float MARKER_ALPHA = 0.5f;
const float CURSOR_GREY = 0.75f;
const float GUIDE_ALPHA = 0.15f, GUIDE_INSET = 0.35f;
const int GUIDE_STEPS = 20;
const float DANGER_ALPHA = 0.25f;
enum { DANGER_MASK_SIZE = 7, DANGER_MASK_HALF = 3 };
const unsigned char DANGER_MASK[DANGER_MASK_SIZE][DANGER_MASK_SIZE] = {
    {0, 0, 1, 1, 1, 0, 0}, {0, 1, 1, 1, 1, 1, 0}, {1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1},
    {1, 1, 1, 1, 1, 1, 1}, {0, 1, 1, 1, 1, 1, 0}, {0, 0, 1, 1, 1, 0, 0},
};

// Tile numbers whose equal neighbours share hidden faces.
enum { SHARED_FACE_FIRST = 4, SHARED_FACE_LAST = 7 };

// A cell that no grid holds; positions from damaged records end up here.
const int CELL_NOWHERE = -1000000;

// Overlays are built and drawn at once, apart from the eleven passes so that
// those keep this frame's contents.
MyQuads _overlay;

// Window cells in view this frame: their panes glow as the way out.
enum { WINDOWS_MAX = 512 };
int _windows[WINDOWS_MAX][2];
int _windows_n = 0;

// ---------------------------------------------------------------- cell access

// Integer part of a map position; anything absurd is a cell no grid holds.
int _cell(float v) {
    if (!(v > CELL_NOWHERE && v < -CELL_NOWHERE)) return CELL_NOWHERE;
    return (int)v;
}

bool _in_grid(int x, int y) { return x >= 0 && y >= 0 && x < MAP_SIZE && y < MAP_SIZE; }
bool _in_play(int x, int y) { return x >= MAP_MIN && y >= MAP_MIN && x <= MAP_MAX && y <= MAP_MAX; }

// Tile number at a cell; outside the grid a tile that matches nothing.
int _tile_at(const LevelData& lev, int x, int y) { return _in_grid(x, y) ? lev.data[y][x] : -1; }

int _flags_at(const Game& game, int x, int y) { return _in_grid(x, y) ? game.ext.info[y][x] : 0; }

int _mod5(int v) { return ((v % TILE_REPEAT) + TILE_REPEAT) % TILE_REPEAT; }

// Flat image quad at height y over (x0..x1, z0..z1), facing up.
void _flat(MyQuads& q, int img, float x0, float z0, float x1, float z1, float y) {
    q.img_quad(img, 0, 1, 0, x0, y, z1, x1, y, z1, x0, y, z0, x1, y, z0, false);
}

}  // namespace

// ---------------------------------------------------------------- blocks and billboards

void my_block(Game& game, MyQuads& quads, int wid, float xx, float yy, float base, float top,
              float pop, float pop2, int imul) {
    const MyImage* im = myview_img_info(wid);
    if (!im) return;
    const int tex = im->tex;
    if (pop2 == MYVIEW_POP_SAME) pop2 = pop;
    float x0 = xx - pop, z0 = yy - pop, s = 2 * pop + 1, x1 = x0 + s, z1 = z0 + s;
    float b = base + pop2, t = top + pop2;
    int xi = _cell(xx), yi = _cell(yy);
    float ut = _mod5(xi) * TILE_UV, vt = _mod5(yi) * TILE_UV;

    quads.tex_quad(tex, 0, 1, 0, ut, vt, TILE_UV, TILE_UV, x0, t, z1, x1, t, z1, x0, t, z0, x1, t, z0, true);

    const LevelData& lev = game.level;
    int own = _tile_at(lev, xi, yi);
    bool shares = own >= SHARED_FACE_FIRST && own <= SHARED_FACE_LAST;
    struct Side {
        int nx, ny;                 // neighbour offset
        float n[3];                 // normal
        float u, v;                 // texture origin
        float p[4][3];              // corners p1..p4
    };
    const Side sides[4] = {
        {0, 1, {0, 0, 1}, ut, 0, {{x0, b, z1}, {x1, b, z1}, {x0, t, z1}, {x1, t, z1}}},
        {1, 0, {1, 0, 0}, _mod5(SIDE_UV_WRAP - yi) * TILE_UV, EAST_UV_V,
         {{x1, b, z1}, {x1, b, z0}, {x1, t, z1}, {x1, t, z0}}},
        {0, -1, {0, 0, -1}, _mod5(SIDE_UV_WRAP - xi) * TILE_UV, 0,
         {{x1, b, z0}, {x0, b, z0}, {x1, t, z0}, {x0, t, z0}}},
        {-1, 0, {-1, 0, 0}, vt, 0, {{x0, b, z0}, {x0, b, z1}, {x0, t, z0}, {x0, t, z1}}},
    };
    for (const Side& sd : sides) {
        int nx = xi + sd.nx, ny = yi + sd.ny;
        // A cut-away neighbour leaves its side open, so the face shows.
        if (shares && _tile_at(lev, nx, ny) == own && !myview_cut(nx, ny)) continue;
        // Below the ground only the lining of a crater shows.
        if (b < 0 && !myview_crater_side(lev, xi, yi, sd.nx, sd.ny)) continue;
        MyQuads& into = ((_flags_at(game, nx, ny) * imul) & INFO_DARK) ? _myview.dquads : quads;
        into.tex_quad(tex, sd.n[0], sd.n[1], sd.n[2], sd.u, sd.v, TILE_UV, SIDE_UV_H,
                      sd.p[0][0], sd.p[0][1], sd.p[0][2], sd.p[1][0], sd.p[1][1], sd.p[1][2],
                      sd.p[2][0], sd.p[2][1], sd.p[2][2], sd.p[3][0], sd.p[3][1], sd.p[3][2], true);
    }
}

void myview_billboard_axis(float rotate, float w, float* hx, float* hz) {
    double s = (-90.0 - rotate) * PI / 180.0;
    *hx = (float)(w * (std::cos(s) - std::sin(s)));
    *hz = (float)(w * (std::sin(s) + std::cos(s)));
}

void myview_billboard(MyQuads& quads, int img, float cx, float cz, float hx, float hz,
                      float bottom, float top, float ny, bool do_cull) {
    quads.img_quad(img, 0, ny, 0, cx - hx, bottom, cz - hz, cx + hx, bottom, cz + hz,
                   cx - hx, top, cz - hz, cx + hx, top, cz + hz, do_cull);
}

// ---------------------------------------------------------------- lighting

static void lights_on() {
    if (_myview.ltog) return;
    for (int i = 1; i < _myview.lnum; i++) glEnable(GL_LIGHT0 + i);
    _myview.ltog = 1;
}

static void lights_off() {
    if (!_myview.ltog) return;
    for (int i = 1; i < _myview.lnum; i++) glDisable(GL_LIGHT0 + i);
    _myview.ltog = 0;
}

namespace {

// What one frame draws with: the level, the screen's mode and the view.
struct Frame {
    Game& game;
    LevelData& lev;
    bool editor;     // the editor screen: border, decals and arrow trails shown
    bool overhead;   // the overhead view (editor and play)
    MyViewExtent ext;
    int floor, shadow, walls, white, decal_none;
    float rotate;    // camera turn, degrees
    float hx, hz;    // half-axis of a standard billboard this frame

    Frame(Game& g) : game(g), lev(g.level) {}
};

bool _blast_kind(int type) { return type == D_BLAST || type == D_FIRE || type == D_BLAST2; }

void _light_add(const Entity& e, const GLfloat* diffuse) {
    GLenum id = GL_LIGHT0 + _myview.lnum;
    float* pos = _myview.light_pos[_myview.lnum];
    pos[0] = e.x + 0.5f;
    pos[1] = LIGHT_HEIGHT;
    pos[2] = e.y + 0.5f;
    pos[3] = 1;
    glLightfv(id, GL_AMBIENT, BLACK);
    glLightfv(id, GL_SPECULAR, BLACK);
    glLightfv(id, GL_DIFFUSE, diffuse);
    glLightfv(id, GL_POSITION, pos);
    glLightf(id, GL_CONSTANT_ATTENUATION, 0);
    glLightf(id, GL_LINEAR_ATTENUATION, 0);
    glLightf(id, GL_QUADRATIC_ATTENUATION, 1);
    _myview.lnum++;
}

const GLfloat* _lamp_colour(int value) {
    switch (value) {
    case LAMP_VALUE_BLUE: return LAMP_BLUE;
    case LAMP_VALUE_RED: return LAMP_RED;
    case LAMP_VALUE_VIOLET: return LAMP_VIOLET;
    default: return LAMP_ORANGE;
    }
}

// Lamps near enough to the view and every blast light the scene, in slot
// order, as many as there are OpenGL lights besides the sun.
void _lights_collect(Frame& fr) {
    const MyViewExtent& x = fr.ext;
    float rx = myabs(x.dx) + LIGHT_REACH, rz = myabs(x.dz) + LIGHT_REACH;
    float reach = rx * rx + rz * rz;
    for (const Entity& e : fr.lev.items) {
        if (_myview.lnum > MYVIEW_LIGHTS_MAX) break;
        if (!e.active || !std::isfinite(e.x) || !std::isfinite(e.y)) continue;
        if (e.type == D_BLAST || e.type == D_FIRE) {
            _light_add(e, BLAST_DIFFUSE);
        } else if (e.type == D_LIGHT) {
            float ex = e.x - x.cx, ez = e.y - x.cz;
            if (ex * ex + ez * ez <= reach) _light_add(e, _lamp_colour(e.value));
        }
    }
}

void _lighting(Frame& fr) {
    glLightfv(GL_LIGHT0, GL_AMBIENT, BLACK);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, SUN_DIFFUSE);
    glLightfv(GL_LIGHT0, GL_SPECULAR, BLACK);
    glLightfv(GL_LIGHT0, GL_POSITION, SUN_DIRECTION);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, SCENE_AMBIENT);

    lights_off();
    _myview.lnum = 1;
    bool emp = fr.lev.emp > 0;
    if (!emp) _lights_collect(fr);
    lights_on();
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, BLACK);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, SCENE_AMBIENT);
    if (emp) {
        glLightfv(GL_LIGHT0, GL_DIFFUSE, EMP_SUN);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, EMP_AMBIENT);
    }
    glColor4f(1, 1, 1, 1);
    glDepthFunc(GL_LESS);
    for (MyQuads* b : myview_batches) b->reset();
}

// Moves every point light up (or back down) for the sprite passes.
void _lights_raise(float dy) {
    for (int i = 1; i < _myview.lnum; i++) {
        _myview.light_pos[i][1] += dy;
        glLightfv(GL_LIGHT0 + i, GL_POSITION, _myview.light_pos[i]);
    }
}

// ---------------------------------------------------------------- cell pass

void _floor(Frame& fr, int x, int y, int flags) {
    const MyImage* im = myview_img_info(fr.floor);
    if (!im) return;
    MyQuads& into = (flags & INFO_DARK) ? _myview.dark : (flags & INFO_SHADOW) ? _myview.shadow : _myview.floors;
    float fx = (float)x, fz = (float)y;
    into.tex_quad(im->tex, 0, 1, 0, _mod5(x) * TILE_UV, _mod5(y) * TILE_UV, TILE_UV, TILE_UV,
                  fx, 0, fz + 1, fx + 1, 0, fz + 1, fx, 0, fz, fx + 1, 0, fz, false);
}

void _cell_geometry(Frame& fr, const TileData& t, int tile, int x, int y, int flags) {
    Game& g = fr.game;
    float fx = (float)x, fz = (float)y;
    const float S = MYVIEW_POP_SAME;
    if (t.view == D_WINDOW && _windows_n < WINDOWS_MAX) {
        _windows[_windows_n][0] = x;
        _windows[_windows_n][1] = y;
        _windows_n++;
    }
    if (myview_cut(x, y)) {
        // Cut away so that an actor behind it stays in sight; the stub keeps its place.
        MyQuads& into = t.view == D_PILLAR ? _myview.pillars : _myview.quads;
        my_block(g, into, fr.walls, fx, fz, 0, CUT_HEIGHT, 0, S, 1);
        if (flags & INFO_PIT_EDGE) my_block(g, _myview.pits, fr.floor, fx, fz, PIT_DEPTH, 0, 0, S, 1);
        return;
    }
    switch (t.view) {
    case D_FLOOR:
    case D_DARK:
    case D_SPRITE:
    case D_DECAL:
        if (!(flags & INFO_PIT_EDGE) && tile != TILE_EMPTY) _floor(fr, x, y, flags);
        break;
    case D_ARCH: my_block(g, _myview.quads, fr.walls, fx, fz, 0, ARCH_HEIGHT, 0, S, 1); break;
    case D_WALL: my_block(g, _myview.quads, fr.walls, fx, fz, 0, MYVIEW_WALL_HEIGHT, 0, S, 1); break;
    case D_WINDOW:
        my_block(g, _myview.quads, fr.walls, fx, fz, 0, WINDOW_SILL, 0, S, 1);
        my_block(g, _myview.quads, fr.walls, fx, fz, WINDOW_LINTEL, MYVIEW_WALL_HEIGHT, 0, S, 1);
        break;
    case D_PILLAR:
        my_block(g, _myview.pillars, fr.walls, fx, fz, 0, PILLAR_FOOT, 0, S, 1);
        my_block(g, _myview.pillars, fr.walls, fx, fz, PILLAR_FOOT, PILLAR_HEAD, PILLAR_SHAFT_POP, 0, 1);
        my_block(g, _myview.pillars, fr.walls, fx, fz, PILLAR_HEAD, MYVIEW_WALL_HEIGHT, 0, S, 1);
        my_block(g, _myview.pillars, fr.walls, fx, fz, MYVIEW_WALL_HEIGHT, PILLAR_CAP, PILLAR_CAP_POP, 0, 1);
        break;
    case D_CRATE: my_block(g, _myview.quads, fr.walls, fx, fz, 0, CRATE_HEIGHT, 0, S, 1); break;
    default: break;
    }
    if (flags & INFO_PIT_EDGE) my_block(g, _myview.pits, fr.floor, fx, fz, PIT_DEPTH, 0, 0, S, 1);
}

// A prop or an item stands upright where nothing lies in its plane, so it is
// drawn over its picture's body alone: most of a prop's picture is clear.
void _upright(MyQuads& into, int img, float cx, float cz, float hx, float hz, float bottom, float top, float ny) {
    into.body_quad(img, 0, ny, 0, cx - hx, bottom, cz - hz, cx + hx, bottom, cz + hz, cx - hx, top, cz - hz, cx + hx,
                   top, cz + hz);
}

// Image "<prefix><tile name>"; the name field may be unterminated in a damaged catalogue.
int _tile_img(const char* prefix, const TileData& t) {
    char name[sizeof(t.name) + 8];
    char tname[sizeof(t.name) + 1];
    mystrncpy(tname, sizeof(tname), t.name, sizeof(t.name));
    snprintf(name, sizeof(name), "%s%s", prefix, tname);
    return myview_img(name);
}

void _sprite_tile(Frame& fr, const TileData& t, int x, int y, int flags) {
    float fx = (float)x, fz = (float)y;
    _flat(_myview.sprites, fr.shadow, fx - SHADOW_REACH, fz - SHADOW_REACH, fx + 1 + SHADOW_REACH,
          fz + 1 + SHADOW_REACH, MYVIEW_DECAL_HEIGHT);
    if (fr.overhead) {
        _flat(_myview.decals, _tile_img("icon-", t), fx - ICON_REACH, fz - ICON_REACH, fx + 1 + ICON_REACH,
              fz + 1 + ICON_REACH, MYVIEW_DECAL_HEIGHT);
        return;
    }
    MyQuads& into = t.type == D_ITEM ? _myview.decals : (flags & INFO_SHADOW) ? _myview.s_sprites : _myview.sprites;
    float ny = (flags & INFO_DARK) ? -1.0f : 1.0f;
    _upright(into, _tile_img("", t), fx + 0.5f, fz + 0.5f, fr.hx, fr.hz, SPRITE_BOTTOM, SPRITE_TOP, ny);
}

// The editor shows where a patrol arrow leads: its mark repeated on every
// empty or dark cell in its direction.
void _arrow_trail(Frame& fr, const TileData& t, int x, int y) {
    int code = t.value;
    if (code < 0 || code > 9) return;
    int dx = logic_arrow_decode[code][0], dy = logic_arrow_decode[code][1];
    if (dx == 0 && dy == 0) return;
    int img = t.view == D_DECAL ? _tile_img("decal-", t) : 0;
    const LevelData& edit = fr.game._edit;
    for (int i = 0; i < ARROW_STEPS_MAX; i++) {
        x += dx;
        y += dy;
        if (!_in_play(x, y)) break;
        int type = fr.game.tiles[edit.data[y][x]].type;
        if (type != D_NONE && type != D_DARK) break;
        if (img) _flat(_myview.decals, img, x + ARROW_INSET, y + ARROW_INSET, x + 1 - ARROW_INSET,
                       y + 1 - ARROW_INSET, MYVIEW_DECAL_HEIGHT);
    }
}

void _cell_pass_one(Frame& fr, int x, int y) {
    Game& g = fr.game;
    int tile = fr.lev.data[y][x];
    const TileData& t = g.tiles[tile];
    int flags = g.ext.info[y][x];
    _cell_geometry(fr, t, tile, x, y, flags);
    const TileData* et = fr.editor ? &g.tiles[g._edit.data[y][x]] : nullptr;
    if (et && et->view == D_DECAL) {
        int img = g._edit.data[y][x] == TILE_EMPTY ? fr.decal_none : _tile_img("decal-", *et);
        _flat(_myview.decals, img, (float)x, (float)y, (float)x + 1, (float)y + 1, MYVIEW_DECAL_HEIGHT);
    }
    if (t.view == D_SPRITE) _sprite_tile(fr, t, x, y, flags);
    if (et && et->type == D_ARROW) _arrow_trail(fr, *et, x, y);
    myview_world_cell(g, fr.editor, x, y);
}

// Cells within the visible radius, the border only in the editor.
void _cell_pass(Frame& fr) {
    const MyViewExtent& x = fr.ext;
    int lo = fr.editor ? 0 : MAP_MIN, hi = fr.editor ? MAP_SIZE - 1 : MAP_MAX;
    int y0 = (int)mymax((float)lo, (float)_cell(x.cz - x.dist));
    int y1 = (int)mymin((float)hi, std::floor(x.cz + x.dist));
    int x0 = (int)mymax((float)lo, (float)_cell(x.cx - x.dist));
    int x1 = (int)mymin((float)hi, std::floor(x.cx + x.dist));
    for (int cy = y0; cy <= y1; cy++) {
        float az = (float)_cell(x.cz - cy);
        for (int cx = x0; cx <= x1; cx++) {
            float ax = (float)_cell(x.cx - cx);
            if (ax * ax + az * az <= x.dd) _cell_pass_one(fr, cx, cy);
        }
    }
}

// ---------------------------------------------------------------- entity pass

void _entity(Frame& fr, const Entity& e) {
    float ex = e.x, ey = e.y;
    int cx = _cell(ex + 0.5f), cy = _cell(ey + 0.5f);
    if (!_in_grid(cx, cy)) return;  // only a damaged record puts an actor there
    if (myview_fx_sky(e.type) && !fr.editor) return;  // fireworks burst over the map
    bool blast = _blast_kind(e.type);
    if (!blast)
        _flat(_myview.sprites, fr.shadow, ex - SHADOW_REACH, ey - SHADOW_REACH, ex + 1 + SHADOW_REACH,
              ey + 1 + SHADOW_REACH, MYVIEW_DECAL_HEIGHT);

    char name[sizeof(e.iname) + 1];
    mystrncpy(name, sizeof(name), e.iname, sizeof(e.iname));
    int img = myview_img(name);
    const MyImage* im = myview_img_info(img);
    if (!im) return;
    // Figures stand bigger than life from far off, feet on the ground.
    bool actor = e.type == D_PLAYER || e.type == D_GUARD;
    float k = actor ? myview_actor_scale(fr.lev) : 1;
    float w = im->w * SPRITE_HALF_W / SPRITE_ART_UNIT * k;
    float h = (float)(int)(im->h * SPRITE_ART_HEIGHT / SPRITE_ART_UNIT);
    float hx, hz;
    myview_billboard_axis(fr.rotate, w, &hx, &hz);
    float mx = ex + 0.5f, mz = ey + 0.5f;

    if (blast) {
        myview_billboard(_myview.fire, img, mx, mz, hx * BLAST_SCALE, hz * BLAST_SCALE, BLAST_BOTTOM,
                         BLAST_BOTTOM + h, 1, true);
        return;
    }
    if (fr.overhead) {
        _flat(_myview.decals, img, ex - ACTOR_ICON_REACH, ey - ACTOR_ICON_REACH, ex + 1 + ACTOR_ICON_REACH,
              ey + 1 + ACTOR_ICON_REACH, MYVIEW_DECAL_HEIGHT);
        return;
    }
    int flags = fr.game.ext.info[cy][cx];
    MyQuads& into = (flags & INFO_SHADOW) ? _myview.s_sprites : _myview.sprites;
    float ny = (flags & INFO_DARK) ? -1.0f : 1.0f;
    if (e.type >= D_BOMB1 && e.type <= D_BOMB4)
        _upright(into, img, mx, mz, fr.hx, fr.hz, SPRITE_BOTTOM, SPRITE_TOP, ny);
    else if (actor)
        myview_figure_quad(into, img, mx, mz, hx, hz, SPRITE_BOTTOM * k, (SPRITE_BOTTOM + h) * k, e.state == D_DEAD, ny);
    else
        _upright(into, img, mx, mz, hx, hz, SPRITE_BOTTOM, SPRITE_BOTTOM + h, ny);
}

void _entity_pass(Frame& fr) {
    for (const Entity& e : fr.lev.items) {
        if (!e.active || e.type == D_LIGHT) continue;  // lights are invisible
        if (!std::isfinite(e.x) || !std::isfinite(e.y)) continue;
        _entity(fr, e);
    }
}

// ---------------------------------------------------------------- draw passes

void _alpha_blend(GLenum dst) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, dst);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, ALPHA_CUT);
}

// The solid passes: the ground, blocks, floors and pits.
void _draw_solid() {
    glDisable(GL_CULL_FACE);
    myview_world_draw();
    glColor4f(1, 1, 1, 1);
    _myview.quads.draw("_quads");
    glColor4fv(PILLAR_TINT);
    _myview.pillars.draw("_pillars");
    glColor4f(1, 1, 1, 1);
    lights_off();
    _myview.dquads.draw("_dquads");
    lights_on();
    _myview.floors.draw("_floors");
    glDisable(GL_LIGHT0);
    _myview.shadow.draw("_shadow");
    lights_off();
    glColor4fv(DARK_TINT);
    _myview.dark.draw("_dark");
    glColor4f(1, 1, 1, 1);
    glEnable(GL_LIGHT0);
    lights_on();
    glColor4fv(PIT_TINT);
    _myview.pits.draw("_pits");
    glColor4f(1, 1, 1, 1);
}

// Decals, sprites and fire, over the solid passes and the floor marks.
void _draw_sprites() {
    glDepthMask(GL_TRUE);
    glEnable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    _alpha_blend(GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_LIGHTING);
    _myview.decals.draw("_decals");
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);

    _alpha_blend(GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    _lights_raise(SPRITE_LIGHT_RAISE);
    _myview.sprites.draw("_sprites");
    glDisable(GL_LIGHT0);
    _myview.s_sprites.draw("_s_sprites");
    glEnable(GL_LIGHT0);
    _lights_raise(-SPRITE_LIGHT_RAISE);

    _alpha_blend(GL_ONE);
    glDisable(GL_LIGHTING);
    glDepthFunc(GL_LEQUAL);
    // Light only adds up, in any order: fire writes no depth, so overlapping
    // flames never fight over it in stripes.
    glDepthMask(GL_FALSE);
    _myview.fire.draw("_fire");
    glDepthMask(GL_TRUE);
}

// ---------------------------------------------------------------- overlays

const Entity* _player(const LevelData& lev) {
    for (const Entity& e : lev.items)
        if (e.active && e.type == D_PLAYER && std::isfinite(e.x) && std::isfinite(e.y)) return &e;
    return nullptr;
}

// A translucent white column on a cell, drawn at once.
void _overlay_block(Frame& fr, float x, float y, float pop2, const char* label) {
    _overlay.reset();
    my_block(fr.game, _overlay, fr.white, x, y, 0, MYVIEW_WALL_HEIGHT, MARKER_POP, pop2, 0);
    _overlay.draw(label);
}

// The cell under the cursor; false when there is none to show.
bool _cursor_cell(const Frame& fr, int* x, int* y) {
    bool play = fr.game.state == STATE_LEVEL;
    if (!play && !fr.editor) return false;
    *x = _cell(play ? fr.lev.focus_x : fr.lev.hover_x);
    *y = _cell(play ? fr.lev.focus_y : fr.lev.hover_y);
    return *x != CELL_NOWHERE && *y != CELL_NOWHERE;
}

void _cursor(Frame& fr, int x, int y) {
    Game& g = fr.game;
    bool play = g.state == STATE_LEVEL;
    bool inside = x > MAP_MIN - 1 && x < MAP_MAX + 1 && y > MAP_MIN - 1 && y < MAP_MAX + 1;
    int f = inside ? g.ext.info[y][x] : 0;
    if (play && (f & INFO_SOLID)) return;
    float r = CURSOR_GREY, gr = CURSOR_GREY, b = CURSOR_GREY;
    if ((f & INFO_DARK) || ((f & INFO_SHADOW) && !(f & INFO_LIT))) r = gr = 0, b = 1;
    if (inside && logic_danger(g, x, y)) r = 1, gr = b = 0;
    glColor4f(r, gr, b, MARKER_ALPHA);
    if (play) {
        _overlay.reset();
        myview_billboard(_overlay, myview_img("player-glow"), x + 0.5f, y + 0.5f, fr.hx, fr.hz,
                         SPRITE_BOTTOM, SPRITE_TOP, 1, false);
        _overlay.draw("glow");
    }
    _overlay_block(fr, (float)x, (float)y, MYVIEW_POP_SAME, "cursor");
}

void _editor_guide(Frame& fr, int x, int y) {
    static const int dirs[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    _overlay.reset();
    for (const auto& d : dirs)
        for (int i = 0; i < GUIDE_STEPS; i++) {
            float gx = (float)(x + d[0] * i), gz = (float)(y + d[1] * i);
            _flat(_overlay, fr.white, gx + GUIDE_INSET, gz + GUIDE_INSET, gx + 1 - GUIDE_INSET,
                  gz + 1 - GUIDE_INSET, MYVIEW_OVERLAY_HEIGHT);
        }
    glColor4f(1, 1, 1, GUIDE_ALPHA);
    _overlay.draw("guide");
}

void _danger_disc(Frame& fr, const Entity& p) {
    int px = _cell(p.x + 0.5f), py = _cell(p.y + 0.5f);
    if (px == CELL_NOWHERE || py == CELL_NOWHERE) return;
    int img = myview_img("unshadow");
    _overlay.reset();
    for (int my = 0; my < DANGER_MASK_SIZE; my++)
        for (int mx = 0; mx < DANGER_MASK_SIZE; mx++) {
            int x = px + mx - DANGER_MASK_HALF, y = py + my - DANGER_MASK_HALF;
            if (!DANGER_MASK[my][mx] || !_in_play(x, y) || !logic_danger(fr.game, x, y)) continue;
            float h = MYVIEW_OVERLAY_HEIGHT;  // no depth written: the disc's body alone
            _overlay.body_quad(img, 0, 1, 0, x - 1.0f, h, y + 2.0f, x + 2.0f, h, y + 2.0f, x - 1.0f, h, y - 1.0f,
                               x + 2.0f, h, y - 1.0f);
        }
    glColor4f(1, 0, 0, DANGER_ALPHA);
    glDepthMask(GL_FALSE);
    _overlay.draw("danger");
}

// Drawn after the floors and before any sprite, without writing depth, so
// that no column or disc hides a bomb or an actor standing in it.
void _overlays(Frame& fr) {
    int state = fr.game.state;
    const Entity* p = _player(fr.lev);
    _alpha_blend(GL_ONE);
    glDisable(GL_LIGHTING);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    if (p && !fr.editor && !(state == STATE_LEVEL && p->p_moved)) {
        glColor4f(1, 1, 1, MARKER_ALPHA);
        _overlay_block(fr, (float)_cell(p->x), (float)_cell(p->y), 0, "player");
    }
    int cx, cy;
    if (_cursor_cell(fr, &cx, &cy)) {
        _cursor(fr, cx, cy);
        if (fr.editor) _editor_guide(fr, cx, cy);
    }
    if (p && (state == STATE_LEVEL || state == STATE_PAUSE)) _danger_disc(fr, *p);
    glDepthFunc(GL_LESS);
}

void _finish() {
    glEnable(GL_LIGHTING);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glColor4f(1, 1, 1, 1);
}

// ---------------------------------------------------------------- the frame

void _gl_setup() {
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_NORMALIZE);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
}

// Camera, OpenGL state, view extent, lights and this frame's batches.
void _build(Frame& fr) {
    Game& game = fr.game;
    fr.floor = myview_img("floor");
    fr.shadow = myview_img("shadow");
    fr.walls = myview_img("walls");
    fr.white = myview_img("white");
    fr.decal_none = myview_img("decal-none");
    myview_projection(game, 0);
    fr.editor = game.state == STATE_EDIT;
    fr.overhead = myview_overhead(game);
    _gl_setup();
    fr.ext = myview_extent(game);
    fr.rotate = std::isfinite(fr.lev.rotate) ? fr.lev.rotate : 0;
    myview_billboard_axis(fr.rotate, SPRITE_HALF_W, &fr.hx, &fr.hz);

    _lighting(fr);
    myview_cut_plan(game, fr.rotate);
    _windows_n = 0;
    _cell_pass(fr);
    _entity_pass(fr);
    myview_world_ground(game, fr.editor, fr.ext.cx, fr.ext.cz, fr.ext.dist + MYVIEW_GROUND_MARGIN);
}

// A blast shakes the picture, not the camera: picking between frames goes
// through the steady matrices that the screens set up after drawing.
void _shake(Game& game) {
    float dx, dy;
    myview_fx_shake(game, &dx, &dy);
    if (dx == 0 && dy == 0) return;
    GLfloat m[16];
    glMatrixMode(GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    glLoadIdentity();
    glTranslatef(dx, dy, 0);
    glMultMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void myview_build(Game& game) {
    Frame fr(game);
    _build(fr);
}

namespace {

// What the view draws from: the screen, the editor's overhead switch, the
// viewport, the play copy with its camera and actors, and the cell flags.
// (Tiles and images do not change while the window lives.)
void _fingerprint(Game& game) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    int mode[2] = {game.state, _myview.overhead};
    gfx_fingerprint_mix(mode, sizeof(mode));
    gfx_fingerprint_mix(viewport, sizeof(viewport));
    gfx_fingerprint_mix(&game.level, sizeof(game.level));
    gfx_fingerprint_mix(game.ext.info, sizeof(game.ext.info));
}

}  // namespace

void myview_paint(Game& game) {
    if (gfx_fingerprinting()) {
        _fingerprint(game);
        return;
    }
    myview_fx_follow(game);
    bool kept = myview_fx_win_swap(game);
    Frame fr(game);
    _build(fr);
    _shake(game);
    _draw_solid();
    _overlays(fr);
    if (!fr.editor) myview_marks_floor(game, fr.ext, _windows, _windows_n);
    _draw_sprites();
    myview_marks_actors(game, fr.rotate);
    myview_fx_draw(game);
    myview_guide(game, fr.ext, fr.rotate);
    _finish();
    if (kept) myview_fx_win_swap(game);
}
