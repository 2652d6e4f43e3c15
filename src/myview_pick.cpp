// Picking a map cell: the ray through a window pixel is followed cell by cell
// until it meets what the frame drew there (an escape marker, a figure, a
// bomb or an item, a block, else the floor), so a click lands on what the
// pointer shows. Also which sides of a crater's lining the frame draws.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "myview_quads.h"

namespace {

// What stands on a cell, as boxes: inset from the cell's sides, bottom, top.
// They follow the blocks the cell pass builds.
struct Box {
    float inset, bottom, top;
};
const Box WALL[] = {{0, 0, MYVIEW_WALL_HEIGHT}};
const Box ARCH[] = {{0, 0, MYVIEW_ARCH_HEIGHT}};
const Box CRATE[] = {{0, 0, MYVIEW_CRATE_HEIGHT}};
// A window's pane fills its opening, so it is picked as a whole wall.
const Box PILLAR[] = {{0, 0, MYVIEW_PILLAR_FOOT},
                      {MYVIEW_PILLAR_SHAFT_INSET, MYVIEW_PILLAR_FOOT, MYVIEW_PILLAR_HEAD},
                      {0, MYVIEW_PILLAR_HEAD, MYVIEW_WALL_HEIGHT},
                      {MYVIEW_PILLAR_CAP_INSET, MYVIEW_WALL_HEIGHT, MYVIEW_PILLAR_CAP}};
const Box CUT[] = {{0, 0, MYVIEW_CUT_HEIGHT}};
// Figures and things on the floor are pictures standing upright on their
// cell, facing the camera: where on such a picture its figure stands.
struct Board {
    float half, top;
};
const Board FIGURE = {0.3f, 2.3f};
const Board THING = {0.35f, 1.0f};   // bombs and items to pick up
const Board PROP = {0.45f, 2.5f};    // plants, statues, barrels

const float TALLEST = MYVIEW_ARCH_HEIGHT;  // nothing drawn reaches higher
const int CRATER_REACH = 16;               // wider than any blast
const int WALK_STEPS_MAX = 4 * MAP_SIZE;   // cells a ray can cross over the map

template <int N>
int _boxes(const Box (&b)[N], const Box** out) {
    *out = b;
    return N;
}

// The boxes of the cell's block, by how the frame drew it.
int _cell_boxes(const Game& game, int x, int y, const Box** out) {
    const TileData& t = game.tiles[game.level.data[y][x]];
    if (myview_cut(x, y)) return _boxes(CUT, out);
    switch (t.view) {
    case D_ARCH: return _boxes(ARCH, out);
    case D_WALL:
    case D_WINDOW: return _boxes(WALL, out);
    case D_PILLAR: return _boxes(PILLAR, out);
    case D_CRATE: return _boxes(CRATE, out);
    default: return 0;
    }
}

// The upright picture the ray meets: ray parameter, or -1. It stands on
// (cx, cz) along the unit axis (ax, az), facing the camera.
double _board_hit(const MyViewRay& r, float cx, float cz, float ax, float az, const Board& b) {
    double nx = -az, nz = ax;  // the picture's normal, level with the ground
    double den = r.d[0] * nx + r.d[2] * nz;
    if (den == 0) return -1;
    double t = ((cx - r.o[0]) * nx + (cz - r.o[2]) * nz) / den;
    if (t < 0) return -1;
    double px = r.o[0] + t * r.d[0] - cx, py = r.o[1] + t * r.d[1], pz = r.o[2] + t * r.d[2] - cz;
    if (std::fabs(px * ax + pz * az) > b.half || py < 0 || py > b.top) return -1;
    return t;
}

bool _drawn(const Game& game, int x, int y) {
    if (game.state == STATE_EDIT) return x >= 0 && y >= 0 && x < MAP_SIZE && y < MAP_SIZE;
    return x >= MAP_MIN && y >= MAP_MIN && x <= MAP_MAX && y <= MAP_MAX;
}

// What a pick looks through: the ray, whether the camera looks straight
// down (pictures then lie flat on the floor) and the pictures' axis.
struct Pick {
    MyViewRay r;
    bool overhead;
    float ax, az;
};

// Nearest hit of the ray on the block or the picture of cell (x, y); -1 for none.
double _cell_hit(const Game& game, const Pick& p, int x, int y) {
    const Box* boxes = nullptr;
    int n = _cell_boxes(game, x, y, &boxes);
    double best = -1;
    for (int i = 0; i < n; i++) {
        const Box& b = boxes[i];
        const float lo[3] = {x + b.inset, b.bottom, y + b.inset};
        const float hi[3] = {x + 1 - b.inset, b.top, y + 1 - b.inset};
        double t = myview_ray_box(p.r, lo, hi);
        if (t >= 0 && (best < 0 || t < best)) best = t;
    }
    const TileData& t = game.tiles[game.level.data[y][x]];
    if (t.view == D_SPRITE && !p.overhead) {
        double s = _board_hit(p.r, x + 0.5f, y + 0.5f, p.ax, p.az, t.type == D_ITEM ? THING : PROP);
        if (s >= 0 && (best < 0 || s < best)) best = s;
    }
    return best;
}

// Nearest figure or placed bomb the ray meets, as drawn on its cell; -1 for none.
double _actor_hit(const Game& game, const Pick& p, int* cx, int* cy) {
    double best = -1;
    for (const Entity& e : game.level.items) {
        if (!e.active || !std::isfinite(e.x) || !std::isfinite(e.y)) continue;
        const Board* b;
        if (e.type == D_PLAYER || e.type == D_GUARD) b = &FIGURE;
        else if (e.type >= D_BOMB1 && e.type <= D_BOMB4) b = &THING;
        else continue;
        double t = _board_hit(p.r, e.x + 0.5f, e.y + 0.5f, p.ax, p.az, *b);
        if (t < 0 || (best >= 0 && t >= best)) continue;
        best = t;
        *cx = (int)std::floor(e.x + 0.5f);
        *cy = (int)std::floor(e.y + 0.5f);
    }
    return best;
}

}  // namespace

bool myview_ray(float x, float y, MyViewRay* r) {
    GLdouble model[16], proj[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    double wx = vp[0] + (double)x, wy = vp[1] + vp[3] - (double)y;
    double a[3], b[3];
    if (gluUnProject(wx, wy, 0, model, proj, vp, &a[0], &a[1], &a[2]) != GL_TRUE ||
        gluUnProject(wx, wy, 1, model, proj, vp, &b[0], &b[1], &b[2]) != GL_TRUE)
        return false;
    for (int i = 0; i < 3; i++) {
        r->o[i] = a[i];
        r->d[i] = b[i] - a[i];
        if (!std::isfinite(r->o[i]) || !std::isfinite(r->d[i])) return false;
    }
    return true;
}

double myview_ray_box(const MyViewRay& r, const float lo[3], const float hi[3]) {
    double t0 = 0, t1 = 1e300;
    for (int i = 0; i < 3; i++) {
        if (r.d[i] == 0) {
            if (r.o[i] < lo[i] || r.o[i] > hi[i]) return -1;
            continue;
        }
        double a = (lo[i] - r.o[i]) / r.d[i], b = (hi[i] - r.o[i]) / r.d[i];
        if (a > b) std::swap(a, b);
        if (a > t0) t0 = a;
        if (b < t1) t1 = b;
        if (t0 > t1) return -1;
    }
    return t0;
}

bool myview_pick(Game& game, float x, float y, int* cx, int* cy) {
    Pick p;
    if (!myview_ray(x, y, &p.r)) return false;
    const MyViewRay& r = p.r;
    // Escape markers are drawn over everything, so they are met first.
    if (myview_guide_pick(game, r, cx, cy)) return true;
    if (!(r.d[1] < 0)) return false;  // the ray never comes down to the ground
    p.overhead = myview_overhead(game);
    float rotate = std::isfinite(game.level.rotate) ? game.level.rotate : 0;
    myview_billboard_axis(rotate, 1, &p.ax, &p.az);
    float len = std::sqrt(p.ax * p.ax + p.az * p.az);
    p.ax /= len, p.az /= len;

    int ax = 0, ay = 0;
    double actor = p.overhead ? -1 : _actor_hit(game, p, &ax, &ay);
    // Walk the cells under the ray from where it comes down through the
    // tallest block to where it meets the floor.
    double t_top = (TALLEST - r.o[1]) / r.d[1], t_floor = -r.o[1] / r.d[1];
    if (t_top < 0) t_top = 0;
    if (t_floor < t_top) return false;
    double px = r.o[0] + t_top * r.d[0], pz = r.o[2] + t_top * r.d[2];
    double ex = r.o[0] + t_floor * r.d[0], ez = r.o[2] + t_floor * r.d[2];
    const double far = 4.0 * MAP_SIZE;
    if (!(std::fabs(px) < far && std::fabs(pz) < far && std::fabs(ex) < far && std::fabs(ez) < far)) return false;
    int ix = (int)std::floor(px), iz = (int)std::floor(pz);
    int end_x = (int)std::floor(ex), end_z = (int)std::floor(ez);
    int sx = r.d[0] > 0 ? 1 : -1, sz = r.d[2] > 0 ? 1 : -1;
    // Ray parameter of the next cell border in x and in z, and per cell.
    const double inf = 1e300;
    double dtx = r.d[0] != 0 ? std::fabs(1 / r.d[0]) : inf, dtz = r.d[2] != 0 ? std::fabs(1 / r.d[2]) : inf;
    double nx = r.d[0] != 0 ? ((sx > 0 ? ix + 1 : ix) - r.o[0]) / r.d[0] : inf;
    double nz = r.d[2] != 0 ? ((sz > 0 ? iz + 1 : iz) - r.o[2]) / r.d[2] : inf;
    double enter = t_top;
    for (int step = 0; step < WALK_STEPS_MAX; step++) {
        if (actor >= 0 && actor < enter) break;  // a figure stands in front of this cell
        if (_drawn(game, ix, iz)) {
            double t = _cell_hit(game, p, ix, iz);
            if (t >= 0 && (actor < 0 || t < actor)) {
                *cx = ix, *cy = iz;
                return true;
            }
        }
        if (ix == end_x && iz == end_z) break;
        if (nx < nz) {
            enter = nx;
            nx += dtx;
            ix += sx;
        } else {
            enter = nz;
            nz += dtz;
            iz += sz;
        }
    }
    if (actor >= 0 && actor <= t_floor) {
        *cx = ax, *cy = ay;
        return true;
    }
    *cx = end_x, *cy = end_z;
    return true;
}

// ---------------------------------------------------------------- craters

bool myview_crater_side(const LevelData& lev, int x, int y, int dx, int dy) {
    // Across the hole to its far side: ground there means the hole lies in
    // the building; the empty space around it or the grid's edge means it
    // was blasted out of nothing.
    for (int i = 1; i <= CRATER_REACH; i++) {
        int cx = x + dx * i, cy = y + dy * i;
        if (cx < 0 || cy < 0 || cx >= MAP_SIZE || cy >= MAP_SIZE) return false;
        int t = lev.data[cy][cx];
        if (t == TILE_EMPTY) return false;
        if (t != TILE_HOLE) return i > 1;
    }
    return false;
}
