// The world around the map: the night ground the building stands on, a soft
// shadow along the map's edge, the plinth faces under its rim, the scorched
// floor at the bottom of every hole, and a vignette over the window.
#include <GL/gl.h>

#include <cmath>

#include "myview_quads.h"
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
const GLfloat VIGNETTE_TINT[4] = {0.015f, 0.02f, 0.045f, 0.85f};
const int CELL_NOWHERE = -1000000;

MyQuads _ground;  // the ground, drawn unlit
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

void _ground_run(int tex, int x0, int x1, int y) {
    // Texture coordinates run on past 1: the ground's texture repeats.
    float u0 = (float)x0 / GROUND_TILE, u1 = (float)(x1 + 1) / GROUND_TILE;
    float v0 = (float)y / GROUND_TILE, v1 = (float)(y + 1) / GROUND_TILE;
    float fx0 = (float)x0, fx1 = (float)(x1 + 1), fz0 = (float)y, fz1 = (float)(y + 1);
    _ground.tex_quad(tex, 0, 1, 0, u0, v0, u1 - u0, v1 - v0, fx0, GROUND_Y, fz1, fx1, GROUND_Y, fz1, fx0, GROUND_Y,
                     fz0, fx1, GROUND_Y, fz0, false);
}

}  // namespace

void myview_world_ground(Game& game, bool editor, float cx, float cz, float reach) {
    _ground.reset();
    _edge.reset();
    int img = myview_img("ground");
    const MyImage* im = myview_img_info(img);
    if (!im || !(reach > 0 && reach < MYVIEW_EXTENT_MAX)) return;
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
            if (x > run) _ground_run(im->tex, run, x - 1, y);
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
            _pits.tex_quad(im->tex, 0, 1, 0, _mod(x, TILE_REPEAT) * TILE_UV, _mod(y, TILE_REPEAT) * TILE_UV, TILE_UV,
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
            _pits.tex_quad(walls->tex, s.n[0], s.n[1], s.n[2], _mod(x + y, TILE_REPEAT) * TILE_UV, 0, TILE_UV,
                           PLINTH_UV_H, s.p[0][0], s.p[0][1], s.p[0][2], s.p[1][0], s.p[1][1], s.p[1][2], s.p[2][0],
                           s.p[2][1], s.p[2][2], s.p[3][0], s.p[3][1], s.p[3][2], true);
        float sx = nx + 0.5f, sz = ny + 0.5f, r = EDGE_SHADOW_REACH;
        _edge.img_quad(shadow, 0, 1, 0, sx - r, EDGE_SHADOW_Y, sz + r, sx + r, EDGE_SHADOW_Y, sz + r, sx - r,
                       EDGE_SHADOW_Y, sz - r, sx + r, EDGE_SHADOW_Y, sz - r, false);
    }
}

void myview_world_draw() {
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    _ground.draw("ground");
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

void myview_world_vignette() {
    const MyImage* im = myview_img_info(myview_img("vignette"));
    if (!im) return;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4fv(VIGNETTE_TINT);
    glBindTexture(GL_TEXTURE_2D, (GLuint)im->tex);
    glBegin(GL_QUADS);
    glTexCoord2f(im->tx, im->ty + im->th);
    glVertex2f(-1, -1);
    glTexCoord2f(im->tx + im->tw, im->ty + im->th);
    glVertex2f(1, -1);
    glTexCoord2f(im->tx + im->tw, im->ty);
    glVertex2f(1, 1);
    glTexCoord2f(im->tx, im->ty);
    glVertex2f(-1, 1);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
