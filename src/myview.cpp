// The map camera: projection and view transform, picking a window pixel onto
// the ground, the mouse and keyboard controls, the per-tick easing of zoom and
// turn, and the extent of ground that a frame shows.
#include "myview.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "driver.h"
#include "gfx.h"
#include "myview_internal.h"
#include "util.h"

MyView _myview;

namespace {

const double PI = 3.141592653589793;
const double THREE_QUARTER_PI = 2.356194490192345;

const double FOV_Y = 10.0;          // degrees; narrow, so the view is nearly parallel
const double NEAR_PLANE = 1.0;
const double FAR_PLANE = 1000.0;
const float EYE_HEIGHT = 1.65f;     // eye height per unit of distance (about 49.4 degrees)
const float OVERHEAD_HEIGHT = 2.0f; // overhead eye height per unit of distance

const float ZOOM_BASE = 50;         // camera distance = zoom + ZOOM_BASE
const float ZOOM_MIN = -25, ZOOM_MAX = 50, ZOOM_STEP = 5;
// A small map is framed closer than the wheel comes, so that it fills the view.
const float FRAME_ZOOM_MIN = -40;
const float ZOOM_EASE = 2;          // zoom change per tick
const float TURN_STEP = 45;         // degrees per queued turn
const float TURN_EASE = 5;          // degrees per tick
const float FULL_TURN = 360;
const int TURN_QUEUE_LIMIT = 359;   // |rotate - trotate| below this accepts another turn

// Angles further than this from 0 only come from damaged records; they are
// brought back by whole turns so that the wrap-around loop stays short.
const float ANGLE_SANE = 36000;

const int BUTTON_MASK_RIGHT = 4;    // motion event button state: only the right button held

const float VIEW_FOCUS_X = 480, VIEW_FOCUS_Y = 312;  // logical point above the screen's centre

bool _finite(float v) { return std::isfinite(v); }

// Repairs camera fields that only a damaged record can hold, so that the
// easing loops terminate and the matrices stay finite.
void _myview_camera_repair(LevelData& lev) {
    if (!_finite(lev.zoom)) lev.zoom = 0;
    if (!_finite(lev.tzoom)) lev.tzoom = lev.zoom;
    if (!_finite(lev.pan_x)) lev.pan_x = MAP_SIZE / 2;
    if (!_finite(lev.pan_y)) lev.pan_y = MAP_SIZE / 2;
    if (!_finite(lev.rotate)) lev.rotate = 0;
    if (!_finite(lev.trotate) || std::fabs(lev.trotate - lev.rotate) > ANGLE_SANE) lev.trotate = lev.rotate;
    if (std::fabs(lev.rotate) > ANGLE_SANE) {
        float ahead = lev.trotate - lev.rotate;
        float r = std::fmod(lev.rotate, FULL_TURN);
        if (r < 0) r += FULL_TURN;
        lev.rotate = r;
        lev.trotate = r + ahead;
    }
}

// Camera distance for the matrices; a damaged zoom cannot put the eye on
// (or behind) the point it looks at.
float _myview_distance(const LevelData& lev) {
    float z = _finite(lev.zoom) ? lev.zoom : 0;
    if (z < FRAME_ZOOM_MIN) z = FRAME_ZOOM_MIN;
    if (z > ZOOM_MAX) z = ZOOM_MAX;
    return z + ZOOM_BASE;
}

bool _myview_turn_queue_open(const LevelData& lev) {
    float diff = lev.rotate - lev.trotate;
    return diff > -(TURN_QUEUE_LIMIT + 1) && diff < TURN_QUEUE_LIMIT + 1;
}

}  // namespace

void myview_projection(Game& game, float aspect) {
    if (aspect == 0) {
        // The picture keeps its shape on any window: the aspect is the one
        // of the area drawn into (the whole window, or a preview's viewport).
        GLint vp[4];
        glGetIntegerv(GL_VIEWPORT, vp);
        aspect = vp[3] > 0 ? (float)vp[2] / (float)vp[3] : 0;
    }
    if (!(aspect > 0) || !std::isfinite(aspect)) aspect = (float)CANVAS_W / CANVAS_H;
    const LevelData& lev = game.level;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glRotatef(gfx_get_rotation(), 0, 0, 1);
    gluPerspective(FOV_Y, aspect, NEAR_PLANE, FAR_PLANE);

    double a = 2 * (_finite(lev.rotate) ? lev.rotate : 0) * PI / 360;
    float d = _myview_distance(lev);
    float px = _finite(lev.pan_x) ? lev.pan_x : MAP_SIZE / 2;
    float pz = _finite(lev.pan_y) ? lev.pan_y : MAP_SIZE / 2;
    // The view transform goes onto the projection matrix: the model-view
    // matrix stays identity, so light positions are world coordinates.
    if (myview_overhead(game)) {
        double b = a - THREE_QUARTER_PI;
        gluLookAt(px, OVERHEAD_HEIGHT * d, pz, px, 0, pz, std::sin(b), 0, std::cos(b));
    } else {
        _myview.eye = CVector3(px + d * (float)(std::cos(a) + std::sin(a)), EYE_HEIGHT * d,
                               pz + d * (float)(std::cos(a) - std::sin(a)));
        gluLookAt(_myview.eye.x, _myview.eye.y, _myview.eye.z, px, 0, pz, 0, 1, 0);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void myview_overhead_toggle() { _myview.overhead = !_myview.overhead; }

bool myview_overhead(const Game& game) {
    if (!_myview.overhead) return false;
    switch (game.state) {
    case STATE_EDIT:
    case STATE_LEVEL:
    case STATE_PAUSE:
    case STATE_REWIND: return true;
    default: return false;
    }
}

bool myview_project(float x, float y, float z, float* wx, float* wy) {
    GLdouble model[16], proj[16], ox, oy, oz;
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    if (gluProject(x, y, z, model, proj, vp, &ox, &oy, &oz) != GL_TRUE) return false;
    *wx = (float)(ox - vp[0]);
    *wy = (float)(vp[1] + vp[3] - oy);
    return oz > 0 && oz < 1 && std::isfinite(*wx) && std::isfinite(*wy);
}

CVector3 myview_get_coords(Game& game, float x, float y, float hh) {
    (void)game;
    MyViewRay r;
    if (!myview_ray(x, y, &r)) return CVector3();  // a singular matrix: there is no ray to cast
    CVector3 a((float)r.o[0], (float)r.o[1], (float)r.o[2]);
    CVector3 b((float)(r.o[0] + r.d[0]), (float)(r.o[1] + r.d[1]), (float)(r.o[2] + r.d[2]));
    CVector3 v = Normalize(Vector(a, b));
    double t = intersectRayPlane(a, v, CVector3(0, hh, 0), CVector3(0, 1, 0));
    return CVector3((float)(a.x + t * v.x), (float)(a.y + t * v.y), (float)(a.z + t * v.z));
}

void myview_event(Game& game, Event e, LevelData* lev_) {
    LevelData& lev = lev_ ? *lev_ : game.level;
    bool pointer = e.type == EVT_MOTION || e.type == EVT_DOWN || e.type == EVT_UP;

    if (e.type == EVT_MOTION && e.b == BUTTON_MASK_RIGHT) {
        // The ground point under the pointer follows the pointer.
        CVector3 p = myview_get_coords(game, e._x - e._dx, e._y - e._dy, MYVIEW_PICK_HEIGHT);
        CVector3 q = myview_get_coords(game, e._x, e._y, MYVIEW_PICK_HEIGHT);
        float nx = lev.pan_x - (q.x - p.x), nz = lev.pan_y - (q.z - p.z);
        if (_finite(nx) && _finite(nz)) {
            lev.pan_x = nx;
            lev.pan_y = nz;
        }
        return;
    }
    int cx, cy;
    if (pointer && myview_pick(game, e._x, e._y, &cx, &cy)) {
        // The middle of the cell the pointer shows.
        lev.hover_x = cx + 0.5f;
        lev.hover_y = cy + 0.5f;
    }
    if (e.type == EVT_WHEEL) {
        if (e.dy < 0) lev.tzoom = mymax(lev.tzoom - ZOOM_STEP, mymin(lev.tzoom, ZOOM_MIN));
        if (e.dy > 0) lev.tzoom = mymin(lev.tzoom + ZOOM_STEP, ZOOM_MAX);
    }
    if (e.type == EVT_KEYDOWN) {
        int key = e.v & (KEYS_MAX - 1);
        bool repeat = game.keys[key] != 0;
        if (key == KEY_LEFT && !repeat && _myview_turn_queue_open(lev)) lev.trotate -= TURN_STEP;
        if (key == KEY_RIGHT && !repeat && _myview_turn_queue_open(lev)) lev.trotate += TURN_STEP;
        if (key == KEY_UP || key == KEY_DOWN) myview_overhead_toggle();
    }
}

void myview_loop(Game& game, LevelData* lev_) {
    LevelData& lev = lev_ ? *lev_ : game.level;
    _myview_camera_repair(lev);

    if (lev.zoom < lev.tzoom) lev.zoom = mymin(lev.zoom + ZOOM_EASE, lev.tzoom);
    else if (lev.zoom > lev.tzoom) lev.zoom = mymax(lev.zoom - ZOOM_EASE, lev.tzoom);

    if ((int)(lev.rotate - lev.trotate) == 0) {
        int held = (game.keys[KEY_RIGHT] ? 1 : 0) - (game.keys[KEY_LEFT] ? 1 : 0);
        lev.trotate += TURN_STEP * held;
    }
    while (lev.trotate < 0 || lev.rotate < 0) {
        lev.trotate += FULL_TURN;
        lev.rotate += FULL_TURN;
    }
    if (lev.trotate >= FULL_TURN && lev.rotate >= FULL_TURN) {
        lev.trotate -= FULL_TURN;
        lev.rotate -= FULL_TURN;
    }
    if (lev.trotate > lev.rotate) lev.rotate += TURN_EASE;
    if (lev.rotate > lev.trotate) lev.rotate -= TURN_EASE;
}

// ---------------------------------------------------------------- framing

namespace {

const int FRAME_CELLS_MAX = 30;      // maps up to this many cells a side are shown whole
const float FRAME_TOP = MYVIEW_WALL_HEIGHT;
const float FRAME_MARGIN = 0.04f;    // of the half window, kept free on every side
const float FRAME_ZOOM_STEP = 0.5f;
const float FRAME_ZOOM_PLAYER = 12.5f;  // on a larger map: the player's surroundings
const float FRAME_CELLS_WIDE = 45;    // a larger map's view may grow to take in a window
const int FRAME_WINDOW_ROUNDS = 4;

// Window position (-1..1 both ways, y up) of world point p through a camera
// looking at (px, 0, pz) from distance d, turned by a degrees, with the
// window's aspect; the same matrices myview_projection builds.
void _frame_project(float px, float pz, float d, double a, float aspect, const float* p, float* nx, float* ny) {
    double ex = px + d * (std::cos(a) + std::sin(a)), ey = EYE_HEIGHT * d, ez = pz + d * (std::cos(a) - std::sin(a));
    double fx = px - ex, fy = -ey, fz = pz - ez;
    double fl = std::sqrt(fx * fx + fy * fy + fz * fz);
    fx /= fl, fy /= fl, fz /= fl;
    // side = forward x up(0, 1, 0); up' = side x forward
    double sx = -fz, sz = fx;
    double sl = std::sqrt(sx * sx + sz * sz);
    sx /= sl, sz /= sl;
    double ux = -sz * fy, uy = sz * fx - sx * fz, uz = sx * fy;
    double vx = p[0] - ex, vy = p[1] - ey, vz = p[2] - ez;
    double depth = vx * fx + vy * fy + vz * fz;
    double f = 1.0 / std::tan(FOV_Y * PI / 360);
    *nx = (float)((vx * sx + vz * sz) * f / aspect / depth);
    *ny = (float)((vx * ux + vy * uy + vz * uz) * f / depth);
}

// Box of the window positions of the corners of (x0..x1, z0..z1), ground and tops.
void _frame_box(float px, float pz, float d, double a, float aspect, const float box[4], float out[4]) {
    out[0] = out[1] = 1e9f;
    out[2] = out[3] = -1e9f;
    for (int i = 0; i < 8; i++) {
        float p[3] = {box[(i & 1) ? 2 : 0], (i & 4) ? FRAME_TOP : 0, box[(i & 2) ? 3 : 1]};
        float nx, ny;
        _frame_project(px, pz, d, a, aspect, p, &nx, &ny);
        out[0] = mymin(out[0], nx);
        out[1] = mymin(out[1], ny);
        out[2] = mymax(out[2], nx);
        out[3] = mymax(out[3], ny);
    }
}

}  // namespace

namespace {

// What framing works with: the camera's turn, the window's aspect, and the
// free window above the bar, less a margin, in -1..1 units.
struct FrameView {
    double a;
    float aspect, lo, hi;
};

// Screen box of cell box b through the camera at (px, pz, d).
void _frame_screen(const FrameView& v, float px, float pz, float d, const float b[4], float out[4]) {
    _frame_box(px, pz, d, v.a, v.aspect, b, out);
}

// The pan that puts the middle of box b at screen point (tx, ty) from
// distance d: two steps of Newton's method.
void _frame_aim(const FrameView& v, float d, const float b[4], float tx, float ty, float* px, float* pz) {
    for (int it = 0; it < 2; it++) {
        float c[4], cxp[4], czp[4];
        _frame_screen(v, *px, *pz, d, b, c);
        _frame_screen(v, *px + 1, *pz, d, b, cxp);
        _frame_screen(v, *px, *pz + 1, d, b, czp);
        float mx = (c[0] + c[2]) / 2, my = (c[1] + c[3]) / 2;
        float j11 = (cxp[0] + cxp[2]) / 2 - mx, j21 = (cxp[1] + cxp[3]) / 2 - my;
        float j12 = (czp[0] + czp[2]) / 2 - mx, j22 = (czp[1] + czp[3]) / 2 - my;
        float det = j11 * j22 - j12 * j21;
        if (std::fabs(det) < 1e-9f) return;
        float ex = tx - mx, ey = ty - my;
        *px += (j22 * ex - j12 * ey) / det;
        *pz += (-j21 * ex + j11 * ey) / det;
    }
}

// The nearest zoom at which cell box b fits the free window, with the pan
// that centres it there; false when it fits at no zoom.
bool _frame_fit(const FrameView& v, const float b[4], float* zoom, float* px, float* pz) {
    float cx = (b[0] + b[2]) / 2, cz = (b[1] + b[3]) / 2;
    for (float z = FRAME_ZOOM_MIN; z <= ZOOM_MAX; z += FRAME_ZOOM_STEP) {
        float d = z + ZOOM_BASE, sb[4];
        _frame_screen(v, cx, cz, d, b, sb);
        if (sb[2] - sb[0] > 2 - 2 * FRAME_MARGIN || sb[3] - sb[1] > v.hi - v.lo) continue;
        *zoom = z;
        *px = cx, *pz = cz;
        _frame_aim(v, d, b, 0, (v.lo + v.hi) / 2, px, pz);
        return true;
    }
    return false;
}

// A window that shows under the bar: across the window's width, between
// its bottom edge and the bar's top.
bool _frame_under_bar(const FrameView& v, const float s[4]) {
    return s[2] > -1 && s[0] < 1 && s[3] > -1 && s[1] < v.lo - FRAME_MARGIN;
}

}  // namespace

float myview_frame_map(Game& game, LevelData& lev, float bar) {
    int x0 = MAP_SIZE, y0 = MAP_SIZE, x1 = -1, y1 = -1;
    for (int y = MAP_MIN; y <= MAP_MAX; y++)
        for (int x = MAP_MIN; x <= MAP_MAX; x++)
            if (lev.data[y][x] != TILE_EMPTY) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    const Entity* player = nullptr;
    for (const Entity& e : lev.items)
        if (e.active && e.type == D_PLAYER && _finite(e.x) && _finite(e.y)) player = &e;
    bool whole = x1 >= x0 && x1 - x0 < FRAME_CELLS_MAX && y1 - y0 < FRAME_CELLS_MAX;
    // A larger map: the player's surroundings, as much of them as a map of
    // the largest size framed whole would show.
    if (player && !whole) {
        int px = (int)std::floor(player->x + 0.5f), py = (int)std::floor(player->y + 0.5f);
        auto around = [](int p, int* lo, int* hi) {
            if (*hi - *lo < FRAME_CELLS_MAX) return;
            int a = std::max(*lo, std::min(p - FRAME_CELLS_MAX / 2, *hi - FRAME_CELLS_MAX + 1));
            *lo = a;
            *hi = a + FRAME_CELLS_MAX - 1;
        };
        around(px, &x0, &x1);
        around(py, &y0, &y1);
    }
    int ww = 0, wh = 0;
    driver_get_size(&ww, &wh);
    FrameView v;
    v.aspect = (ww > 0 && wh > 0) ? (float)ww / (float)wh : (float)CANVAS_W / CANVAS_H;
    v.a = (_finite(lev.rotate) ? lev.rotate : 0) * PI / 180;
    v.lo = -1 + 2 * mymax(0.0f, mymin(bar, 0.5f)) + FRAME_MARGIN;
    v.hi = 1 - FRAME_MARGIN;
    float b[4] = {(float)x0, (float)y0, (float)(x1 + 1), (float)(y1 + 1)};
    float zoom = 0, px = 0, pz = 0;
    if (x1 < x0 || !_frame_fit(v, b, &zoom, &px, &pz)) {
        if (player) {
            lev.pan_x = player->x + 0.5f;
            lev.pan_y = player->y + 0.5f;
        }
        return FRAME_ZOOM_PLAYER;
    }
    // No window may hide under the bar: one that would is taken into the
    // framed cells while they stay few enough, else the view slides up so
    // that it goes below the window's edge instead.
    for (int round = 0; round < FRAME_WINDOW_ROUNDS; round++) {
        float grown[4] = {b[0], b[1], b[2], b[3]}, low = 1;
        bool hidden = false;
        for (int y = MAP_MIN; y <= MAP_MAX; y++)
            for (int x = MAP_MIN; x <= MAP_MAX; x++) {
                if (game.tiles[lev.data[y][x]].type != D_WINDOW) continue;
                const float cell[4] = {(float)x, (float)y, (float)(x + 1), (float)(y + 1)};
                float s[4];
                _frame_screen(v, px, pz, zoom + ZOOM_BASE, cell, s);
                if (!_frame_under_bar(v, s)) continue;
                hidden = true;
                low = mymin(low, -1 - FRAME_MARGIN - s[3]);
                grown[0] = mymin(grown[0], cell[0]), grown[1] = mymin(grown[1], cell[1]);
                grown[2] = mymax(grown[2], cell[2]), grown[3] = mymax(grown[3], cell[3]);
            }
        if (!hidden) break;
        float gz, gx, gy;
        bool few = grown[2] - grown[0] <= FRAME_CELLS_WIDE && grown[3] - grown[1] <= FRAME_CELLS_WIDE;
        if (few && _frame_fit(v, grown, &gz, &gx, &gy)) {
            for (int i = 0; i < 4; i++) b[i] = grown[i];
            zoom = gz, px = gx, pz = gy;
            continue;
        }
        float sb[4];
        _frame_screen(v, px, pz, zoom + ZOOM_BASE, b, sb);
        _frame_aim(v, zoom + ZOOM_BASE, b, (sb[0] + sb[2]) / 2, (sb[1] + sb[3]) / 2 + low, &px, &pz);
        break;
    }
    lev.pan_x = px;
    lev.pan_y = pz;
    return zoom;
}

MyViewExtent myview_extent(Game& game) {
    int sw = 0, sh = 0;
    driver_get_size(&sw, &sh);
    MyViewExtent ext;
    CVector3 c = myview_get_coords(game, (float)(sw / 2), (float)(sh / 2), 0);
    CVector3 tl = myview_get_coords(game, 0, 0, 0);
    CVector3 br = myview_get_coords(game, (float)sw, (float)sh, 0);
    float d1 = (tl.x - c.x) * (tl.x - c.x) + (tl.z - c.z) * (tl.z - c.z);
    float d2 = (br.x - c.x) * (br.x - c.x) + (br.z - c.z) * (br.z - c.z);
    ext.cx = c.x;
    ext.cz = c.z;
    ext.dx = br.x - c.x;
    ext.dz = br.z - c.z;
    ext.dd = mymax(d1, d2);
    // A degenerate camera could give an endless radius; nothing beyond the
    // grid's diagonal can ever be drawn.
    if (!_finite(ext.dd) || ext.dd < 0) ext.dd = 0;
    if (ext.dd > MYVIEW_EXTENT_MAX * MYVIEW_EXTENT_MAX) ext.dd = MYVIEW_EXTENT_MAX * MYVIEW_EXTENT_MAX;
    if (!_finite(ext.cx) || !_finite(ext.cz)) ext.cx = ext.cz = ext.dd = 0;
    ext.dist = (float)(int)std::sqrt(ext.dd);

    GfxRect focus = gfx_rect_to_hwrect(GfxRect(VIEW_FOCUS_X, VIEW_FOCUS_Y, 0, 0));
    CVector3 f = myview_get_coords(game, focus.x, focus.y, 0);
    LevelData& lev = game.level;
    lev.view_cd = ext.dist;
    lev.view_cx = f.x;
    lev.view_cy = f.z;
    return ext;
}
