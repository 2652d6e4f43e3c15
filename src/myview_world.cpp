// The world around the map: the night ground the building stands on,
// darkening towards the window's edges (a vignette that costs no pass of its
// own), a soft shadow along the map's edge, the plinth faces under its rim,
// and the scorched floor at the bottom of every hole.
#include <GL/gl.h>

#include <cmath>

#include "myview_internal.h"
#include "util.h"

namespace {

const float GROUND_Y = MYVIEW_PIT_DEPTH - 0.05f;  // just under the plinth's foot and the crater floors
const float EDGE_SHADOW_Y = GROUND_Y + 0.01f;
const float EDGE_SHADOW_REACH = 1.5f;             // cells the shadow spreads from the edge
const float EDGE_SHADOW_ALPHA = 0.45f;            // the blobs overlap along the edge
const int GROUND_TILE = 10;                        // ground texture: units covered, both ways
const int TILE_REPEAT = 5;                         // crater and wall textures: cells covered
const float TILE_UV = 1.0f / TILE_REPEAT;
const float PLINTH_UV_H = 0.4f;
// The ground darkens from this share of the view's radius out to its rim.
const float VIGNETTE_FROM = 0.35f, VIGNETTE_TO = 1.0f, VIGNETTE_DEPTH = 0.7f;
const int RUN_MAX = 4;                             // cells a ground quad spans, so its shading follows the vignette
enum { RUNS_MAX = 8192 };
const int CELL_NOWHERE = -1000000;

// The ground this frame: runs of cells along rows, drawn unlit with the
// vignette in their vertex colours.
struct Run {
    int x0, x1, y;
};
Run _runs[RUNS_MAX];
int _runs_n = 0;
int _ground_tex = 0;
float _view_cx = 0, _view_cz = 0, _view_r = 1;
MyQuads _edge;    // the shadow along the map's edge, on the ground

bool _in_play(int x, int y) { return x >= MAP_MIN && y >= MAP_MIN && x <= MAP_MAX && y <= MAP_MAX; }

// Whether the view draws anything on cell (x, y): the border only in the
// editor, and never an empty cell.
bool _drawn(const Game& game, bool editor, int x, int y) {
    bool inside = editor ? (x >= 0 && y >= 0 && x < MAP_SIZE && y < MAP_SIZE) : _in_play(x, y);
    return inside && game.level.data[y][x] != TILE_EMPTY;
}

int _mod(int v, int m) { return ((v % m) + m) % m; }

int _floor_i(float v) {
    if (!(v > CELL_NOWHERE && v < -CELL_NOWHERE)) return 0;
    return (int)std::floor(v);
}

void _ground_run(int x0, int x1, int y) {
    for (int x = x0; x <= x1 && _runs_n < RUNS_MAX; x += RUN_MAX)
        _runs[_runs_n++] = Run{x, x + RUN_MAX - 1 < x1 ? x + RUN_MAX - 1 : x1, y};
}

// One corner of the ground: its texture coordinates and its share of the light.
void _ground_vertex(float x, float z) {
    float dx = x - _view_cx, dz = z - _view_cz;
    float d = std::sqrt(dx * dx + dz * dz) / _view_r;
    float t = mymax(0.0f, mymin(1.0f, (d - VIGNETTE_FROM) / (VIGNETTE_TO - VIGNETTE_FROM)));
    float k = 1 - VIGNETTE_DEPTH * t * t * (3 - 2 * t);
    myview_paint_colour(k, k, k, 1);
    myview_paint_vertex(x, GROUND_Y, z, x / GROUND_TILE, z / GROUND_TILE);
}

}  // namespace

void myview_world_ground(Game& game, bool editor, float cx, float cz, float reach) {
    _runs_n = 0;
    _edge.reset();
    int img = myview_img("ground");
    const MyImage* im = myview_img_info(img);
    if (!im || !(reach > 0 && reach < MYVIEW_EXTENT_MAX) || !std::isfinite(cx) || !std::isfinite(cz)) return;
    _ground_tex = im->tex;
    _view_cx = cx, _view_cz = cz, _view_r = mymax(1.0f, reach - MYVIEW_GROUND_MARGIN);
    static int wrapped = 0;
    if (wrapped != im->tex) {
        glBindTexture(GL_TEXTURE_2D, (GLuint)im->tex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        wrapped = im->tex;
    }
    // The ground lies under the map, so only where no cell of it is drawn
    // can it show: one quad per run of such cells along a row.
    int y0 = _floor_i(cz - reach), y1 = _floor_i(cz + reach);
    for (int y = y0; y <= y1; y++) {
        float dz = y + 0.5f - cz;
        float half = reach * reach - dz * dz;
        if (half < 0) continue;
        half = std::sqrt(half);
        int x0 = _floor_i(cx - half), x1 = _floor_i(cx + half);
        int run = x0;
        for (int x = x0; x <= x1 + 1; x++) {
            bool open = x <= x1 && !_drawn(game, editor, x, y);
            if (open) continue;
            if (x > run) _ground_run(run, x - 1, y);
            run = x + 1;
        }
    }
}

void myview_world_cell(Game& game, bool editor, int x, int y) {
    const LevelData& lev = game.level;
    int tile = lev.data[y][x];
    if (tile == TILE_EMPTY) return;
    float fx = (float)x, fz = (float)y, b = MYVIEW_PIT_DEPTH;
    if (tile == TILE_HOLE) {
        // The bottom of a crater: scorched stone and rubble.
        const MyImage* im = myview_img_info(myview_img("crater"));
        if (im)
            _myview.pits.tex_quad(im->tex, 0, 1, 0, _mod(x, TILE_REPEAT) * TILE_UV, _mod(y, TILE_REPEAT) * TILE_UV, TILE_UV,
                           TILE_UV, fx, b, fz + 1, fx + 1, b, fz + 1, fx, b, fz, fx + 1, b, fz, true);
        return;
    }
    // The plinth under the map's rim, with the shadow it throws on the ground.
    const MyImage* walls = myview_img_info(myview_img("walls"));
    int shadow = myview_img("shadow");
    struct Side {
        int dx, dy;
        float n[3];
        float p[4][3];
    };
    const float x1 = fx + 1, z1 = fz + 1;
    const Side sides[4] = {
        {0, 1, {0, 0, 1}, {{fx, b, z1}, {x1, b, z1}, {fx, 0, z1}, {x1, 0, z1}}},
        {1, 0, {1, 0, 0}, {{x1, b, z1}, {x1, b, fz}, {x1, 0, z1}, {x1, 0, fz}}},
        {0, -1, {0, 0, -1}, {{x1, b, fz}, {fx, b, fz}, {x1, 0, fz}, {fx, 0, fz}}},
        {-1, 0, {-1, 0, 0}, {{fx, b, fz}, {fx, b, z1}, {fx, 0, fz}, {fx, 0, z1}}},
    };
    // A pit's edge is a block of its own down to the same depth.
    bool block = game.ext.info[y][x] & INFO_PIT_EDGE;
    for (const Side& s : sides) {
        int nx = x + s.dx, ny = y + s.dy;
        if (_drawn(game, editor, nx, ny)) continue;
        if (walls && !block)
            _myview.pits.tex_quad(walls->tex, s.n[0], s.n[1], s.n[2], _mod(x + y, TILE_REPEAT) * TILE_UV, 0, TILE_UV,
                           PLINTH_UV_H, s.p[0][0], s.p[0][1], s.p[0][2], s.p[1][0], s.p[1][1], s.p[1][2], s.p[2][0],
                           s.p[2][1], s.p[2][2], s.p[3][0], s.p[3][1], s.p[3][2], true);
        float sx = nx + 0.5f, sz = ny + 0.5f, r = EDGE_SHADOW_REACH;
        _edge.img_quad(shadow, 0, 1, 0, sx - r, EDGE_SHADOW_Y, sz + r, sx + r, EDGE_SHADOW_Y, sz + r, sx - r,
                       EDGE_SHADOW_Y, sz - r, sx + r, EDGE_SHADOW_Y, sz - r, false);
    }
}

void myview_world_draw() {
    glDisable(GL_LIGHTING);
    if (_runs_n) {
        myview_paint_begin(_ground_tex);
        for (int i = 0; i < _runs_n; i++) {
            const Run& r = _runs[i];
            float x0 = (float)r.x0, x1 = (float)(r.x1 + 1), z0 = (float)r.y, z1 = (float)(r.y + 1);
            _ground_vertex(x0, z1);
            _ground_vertex(x1, z1);
            _ground_vertex(x1, z0);
            _ground_vertex(x0, z0);
        }
        myview_paint_end();
    }
    glColor4f(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glColor4f(1, 1, 1, EDGE_SHADOW_ALPHA);
    _edge.draw("edge");
    glColor4f(1, 1, 1, 1);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
}
