// Guides to the way out and to the way there: light shafts over the windows,
// markers over the escape cells seen through walls once no pillar is left,
// the edge arrow towards the nearest of them, and the path a click would give.
//
// Sections: escape cells, shafts, markers, path preview, edge arrow.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "gfx.h"
#include "logic.h"
#include "myview_quads.h"
#include "util.h"

namespace {

// ---- shafts: a soft column of light rising from each window's opening.
const float SHAFT_BOTTOM = 0.5f, SHAFT_TOP = 7.0f;
const float SHAFT_HALF_W = 0.45f;
struct Tint {
    float r, g, b;
};
const Tint SHAFT_TINT = {0.45f, 0.75f, 1.0f};
const Tint OPEN_TINT = {0.45f, 1.0f, 0.5f};     // no pillar left: the way out
const float SHAFT_ALPHA = 0.5f, SHAFT_OPEN_ALPHA = 0.65f;

// ---- markers: an arrow head over each escape cell pointing down at it,
// drawn over everything in front.
const float MARK_TIP = 1.0f, MARK_TOP = 2.3f, MARK_HALF_W = 0.5f;
const float MARK_OUTLINE = 0.1f;                // the dark rim around it
const float MARK_ALPHA = 0.95f;
const float MARK_PICK_HALF = 0.5f;              // the box a click on it lands in
const float MARK_FLAT_Y = 0.02f;                // seen from above: flat on the floor
const float MARK_FLAT_HALF = 0.32f;
const float MARK_MARGIN = 2;                    // cells beyond the view's radius still marked
const int MARK_PULSE_TICKS = 40;

// ---- path preview
const float DOT_Y = 0.02f;
const float DOT_HALF = 0.15f, END_HALF = 0.3f, WATCHED_HALF = 0.22f;
const Tint DOT_TINT = {0.85f, 0.95f, 1.0f};
const Tint WATCHED_TINT = {1.0f, 0.12f, 0.1f};  // a guard sees this cell now
const float DOT_ALPHA = 0.75f, WATCHED_ALPHA = 0.95f;

// ---- edge arrow
const float ARROW_MARGIN = 56;                  // canvas units kept from the area's edge
const float ARROW_SIZE = 26;
const float ARROW_GROUND_REACH = 30;            // cells of ground the direction is taken over
const float ARROW_MARK_HEIGHT = 1.0f;           // an escape cell counts as seen by this point

enum {
    WINDOWS_MAX = 1024, ESCAPES_MAX = 1024,
    SHAFTS_MAX = 16, MARKERS_MAX = 32,  // drawn at once, nearest the view's centre first
    GUIDE_SHOWN_MAX = 32
};
static_assert(SHAFTS_MAX <= GUIDE_SHOWN_MAX && MARKERS_MAX <= GUIDE_SHOWN_MAX, "room for the nearest");

// The path preview of the last frame, kept while nothing it depends on changes.
struct Preview {
    int goal_x = -1, goal_y = -1, from_x = -1, from_y = -1;
    unsigned grid = 0;
    int n = 0;
    int cells[PATH_CELLS_MAX][2];
};

// What the guides keep between frames.
struct Guide {
    // Windows and escape cells of the play copy, found by the last frame.
    int windows[WINDOWS_MAX][2];
    int windows_n = 0;
    int escapes[ESCAPES_MAX][2];
    int escapes_n = 0;
    bool markers = false;         // the last frame drew the escape markers ...
    int marked[MARKERS_MAX];      // ... over these escape cells
    int marked_n = 0;
    bool pointer_on_map = false;  // as the play screen last said
    Preview preview;
};
Guide _guide;

bool _playable(int x, int y) { return x >= MAP_MIN && y >= MAP_MIN && x <= MAP_MAX && y <= MAP_MAX; }

bool _play_screen(int state) {
    return state == STATE_LEVEL || state == STATE_PAUSE || state == STATE_LEVEL_INTRO || state == STATE_REWIND;
}

void _tint(const Tint& t, float a) { glColor4f(t.r, t.g, t.b, a); }

// ---------------------------------------------------------------- escape cells

// The windows of the map and the free cells beside them, from which the
// escape fires (the rules look at the four cells around the player).
void _find_exits(Game& game) {
    static const int beside[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    const LevelData& lev = game.level;
    _guide.windows_n = _guide.escapes_n = 0;
    for (int y = MAP_MIN; y <= MAP_MAX; y++)
        for (int x = MAP_MIN; x <= MAP_MAX; x++) {
            if (game.tiles[lev.data[y][x]].type != D_WINDOW || _guide.windows_n >= WINDOWS_MAX) continue;
            _guide.windows[_guide.windows_n][0] = x;
            _guide.windows[_guide.windows_n][1] = y;
            _guide.windows_n++;
            for (const auto& b : beside) {
                int ex = x + b[0], ey = y + b[1];
                if (!_playable(ex, ey) || (game.ext.info[ey][ex] & INFO_SOLID) || _guide.escapes_n >= ESCAPES_MAX) continue;
                _guide.escapes[_guide.escapes_n][0] = ex;
                _guide.escapes[_guide.escapes_n][1] = ey;
                _guide.escapes_n++;
            }
        }
}

bool _markers_shown(const Game& game) { return _play_screen(game.state) && game.level.c_pillars <= 0; }

// Of the cells in view (within `margin` beyond the view's radius), the
// indices of at most `most` nearest the view's centre, into `out`. A map
// keeps its windows few; the bound keeps one with a wall of them cheap.
int _nearest(const MyViewExtent& ext, const int (*cells)[2], int n, float margin, int most, int* out) {
    float r = ext.dist + margin, d2[GUIDE_SHOWN_MAX];
    int k = 0;
    for (int i = 0; i < n; i++) {
        float ox = cells[i][0] + 0.5f - ext.cx, oz = cells[i][1] + 0.5f - ext.cz, d = ox * ox + oz * oz;
        if (d > r * r || (k == most && d >= d2[k - 1])) continue;
        int j = k < most ? k++ : k - 1;  // insertion into the sorted few
        for (; j > 0 && d2[j - 1] > d; j--) d2[j] = d2[j - 1], out[j] = out[j - 1];
        d2[j] = d, out[j] = i;
    }
    return k;
}

// ---------------------------------------------------------------- shafts

// A column that faces the camera, bright along its middle and at its foot,
// fading to nothing at its sides and top.
void _shaft(float cx, float cz, float hx, float hz, const Tint& t, float a) {
    const float xs[3] = {cx - hx, cx, cx + hx}, zs[3] = {cz - hz, cz, cz + hz};
    const float side[3] = {0, 1, 0};
    for (int i = 0; i < 2; i++) {
        _tint(t, a * side[i]);
        glVertex3f(xs[i], SHAFT_BOTTOM, zs[i]);
        _tint(t, a * side[i + 1]);
        glVertex3f(xs[i + 1], SHAFT_BOTTOM, zs[i + 1]);
        _tint(t, 0);
        glVertex3f(xs[i + 1], SHAFT_TOP, zs[i + 1]);
        glVertex3f(xs[i], SHAFT_TOP, zs[i]);
    }
}

void _shafts(Game& game, const MyViewExtent& ext, float rotate) {
    bool open = game.level.c_pillars <= 0;
    float hx, hz;
    myview_billboard_axis(rotate, SHAFT_HALF_W, &hx, &hz);
    int shown[GUIDE_SHOWN_MAX];
    int n = _nearest(ext, _guide.windows, _guide.windows_n, SHAFT_TOP, SHAFTS_MAX, shown);
    glBegin(GL_QUADS);  // one batch: a begin and end each cost more than the quads
    for (int i = 0; i < n; i++) {
        int x = _guide.windows[shown[i]][0], y = _guide.windows[shown[i]][1];
        _shaft(x + 0.5f, y + 0.5f, hx, hz, open ? OPEN_TINT : SHAFT_TINT, open ? SHAFT_OPEN_ALPHA : SHAFT_ALPHA);
    }
    glEnd();
}

// ---------------------------------------------------------------- markers

// An arrow head standing over the cell, facing the camera and pointing down
// at it; grown by `grow` all round (its dark rim).
void _pin(float cx, float cz, float hx, float hz, float grow) {
    float w = 1 + 2 * grow / MARK_HALF_W;
    glVertex3f(cx, MARK_TIP - 2 * grow, cz);
    glVertex3f(cx + hx * w, MARK_TOP + grow, cz + hz * w);
    glVertex3f(cx - hx * w, MARK_TOP + grow, cz - hz * w);
}

// Seen from above: a diamond flat on the floor, as two triangles.
void _flat_diamond(float cx, float cz, float half) {
    const float ring[4][2] = {{0, -half}, {half, 0}, {0, half}, {-half, 0}};
    for (int k = 0; k < 2; k++) {
        glVertex3f(cx + ring[0][0], MARK_FLAT_Y, cz + ring[0][1]);
        glVertex3f(cx + ring[k + 1][0], MARK_FLAT_Y, cz + ring[k + 1][1]);
        glVertex3f(cx + ring[k + 2][0], MARK_FLAT_Y, cz + ring[k + 2][1]);
    }
}

void _markers_draw(Game& game, const MyViewExtent& ext, float rotate) {
    bool overhead = myview_overhead(game);
    float hx, hz;
    myview_billboard_axis(rotate, MARK_HALF_W, &hx, &hz);
    float pulse = 0.8f + 0.2f * (float)std::sin(2 * M_PI * (game.level.frame % MARK_PULSE_TICKS) / MARK_PULSE_TICKS);
    int* shown = _guide.marked;
    int n = _guide.marked_n = _nearest(ext, _guide.escapes, _guide.escapes_n, MARK_MARGIN, MARKERS_MAX, shown);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int pass = 0; pass < 2; pass++) {
        if (pass == 0) glColor4f(0, 0, 0, MARK_ALPHA * 0.8f);
        else _tint(OPEN_TINT, MARK_ALPHA * pulse);
        float grow = pass == 0 ? MARK_OUTLINE : 0;
        glBegin(GL_TRIANGLES);
        for (int i = 0; i < n; i++) {
            int x = _guide.escapes[shown[i]][0], y = _guide.escapes[shown[i]][1];
            if (overhead) _flat_diamond(x + 0.5f, y + 0.5f, MARK_FLAT_HALF + grow);
            else _pin(x + 0.5f, y + 0.5f, hx, hz, grow);
        }
        glEnd();
    }
    glEnable(GL_DEPTH_TEST);
}

// ---------------------------------------------------------------- path preview

// A digest of the cells that paths cannot cross: a blast that opens or
// closes a way changes it.
unsigned _grid_digest(const Game& game) {
    unsigned h = 2166136261u;
    for (int y = MAP_MIN; y <= MAP_MAX; y++) {
        const unsigned char* row = game.ext.info[y];
        for (int x = MAP_MIN; x <= MAP_MAX; x++) h = (h ^ (row[x] & INFO_SOLID)) * 16777619u;
    }
    return h;
}

const Entity* _walker(Game& game) {
    const Entity* p = logic_find(game, D_PLAYER);
    if (!p || p->state == D_DEAD || p->state == D_WIN) return nullptr;
    return p;
}

// The path a click on the focused cell would give, asked of the rules only
// when the cell, the player's next cell or the free cells have changed.
const Preview& _preview_update(Game& game, const Entity& p) {
    const LevelData& lev = game.level;
    Preview& pv = _guide.preview;
    int gx = std::isfinite(lev.focus_x) ? (int)std::floor(lev.focus_x) : -1;
    int gy = std::isfinite(lev.focus_y) ? (int)std::floor(lev.focus_y) : -1;
    unsigned grid = _grid_digest(game);
    if (gx == pv.goal_x && gy == pv.goal_y && p.tx == pv.from_x && p.ty == pv.from_y && grid == pv.grid) return pv;
    pv.goal_x = gx, pv.goal_y = gy, pv.from_x = p.tx, pv.from_y = p.ty, pv.grid = grid;
    pv.n = _playable(gx, gy) ? logic_click_preview(game, gx, gy, pv.cells, PATH_CELLS_MAX) : 0;
    return pv;
}

void _square(float cx, float cz, float half) {
    glVertex3f(cx - half, DOT_Y, cz + half);
    glVertex3f(cx + half, DOT_Y, cz + half);
    glVertex3f(cx + half, DOT_Y, cz - half);
    glVertex3f(cx - half, DOT_Y, cz - half);
}

void _path_draw(Game& game) {
    const Entity* p = _walker(game);
    if (!p || game.state != STATE_LEVEL || !_guide.pointer_on_map) return;
    const Preview& pv = _preview_update(game, *p);
    if (pv.n < 2) return;
    bool watching = game.level.emp <= 0;  // frozen guards see nothing
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    for (int i = 1; i < pv.n; i++) {
        int x = pv.cells[i][0], y = pv.cells[i][1];
        bool seen = watching && logic_danger(game, x, y);
        bool last = i == pv.n - 1;
        if (seen) _tint(WATCHED_TINT, WATCHED_ALPHA);
        else _tint(DOT_TINT, DOT_ALPHA);
        _square(x + 0.5f, y + 0.5f, last ? END_HALF : seen ? WATCHED_HALF : DOT_HALF);
    }
    glEnd();
}

}  // namespace

// ---------------------------------------------------------------- the guides

void myview_pointer(bool on_map) { _guide.pointer_on_map = on_map; }

void myview_guide(Game& game, const MyViewExtent& ext, float rotate) {
    _guide.markers = false;
    if (!_play_screen(game.state)) return;
    _find_exits(game);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LEQUAL);
    _path_draw(game);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    if (!myview_overhead(game)) _shafts(game, ext, rotate);
    if (_markers_shown(game)) {
        _markers_draw(game, ext, rotate);
        _guide.markers = true;
    }
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
}

bool myview_guide_pick(Game& game, const MyViewRay& r, int* cx, int* cy) {
    if (!_guide.markers || !_markers_shown(game)) return false;
    bool overhead = myview_overhead(game);
    double best = -1;
    for (int m = 0; m < _guide.marked_n; m++) {
        int i = _guide.marked[m];
        float x = _guide.escapes[i][0] + 0.5f, z = _guide.escapes[i][1] + 0.5f;
        float half = overhead ? MARK_FLAT_HALF : MARK_PICK_HALF;
        const float lo[3] = {x - half, overhead ? 0 : MARK_TIP, z - half};
        const float hi[3] = {x + half, overhead ? MARK_FLAT_Y : MARK_TOP, z + half};
        double t = myview_ray_box(r, lo, hi);
        if (t < 0 || (best >= 0 && t >= best)) continue;
        best = t;
        *cx = _guide.escapes[i][0];
        *cy = _guide.escapes[i][1];
    }
    return best >= 0;
}

// ---------------------------------------------------------------- edge arrow

bool myview_exit_arrow(Game& game, float x0, float y0, float x1, float y1, float* ax, float* ay, float* dx,
                       float* dy) {
    if (!_guide.markers || !_markers_shown(game) || _guide.escapes_n == 0) return false;
    // Canvas area to window pixels, where the projection works.
    GfxRect a = gfx_rect_to_hwrect(GfxRect(x0, y0, x1 - x0, y1 - y0));
    const Entity* p = logic_find(game, D_PLAYER);
    float fx = p ? p->x + 0.5f : game.level.view_cx, fz = p ? p->y + 0.5f : game.level.view_cy;
    int best = -1;
    float best_d = 0;
    for (int i = 0; i < _guide.escapes_n; i++) {
        float x = _guide.escapes[i][0] + 0.5f, z = _guide.escapes[i][1] + 0.5f, wx, wy;
        if (myview_project(x, ARROW_MARK_HEIGHT, z, &wx, &wy) && wx >= a.x && wx < a.x + a.w && wy >= a.y &&
            wy < a.y + a.h)
            return false;  // one is in view: its marker says enough
        float d = (x - fx) * (x - fx) + (z - fz) * (z - fz);
        if (best < 0 || d < best_d) best = i, best_d = d;
    }
    // The screen direction of the ground line from the view's centre towards
    // it; a point not too far along it stays in front of the eye.
    float cx = game.level.view_cx, cz = game.level.view_cy;
    float tx = _guide.escapes[best][0] + 0.5f - cx, tz = _guide.escapes[best][1] + 0.5f - cz;
    float len = std::sqrt(tx * tx + tz * tz);
    if (!(len > 0)) return false;
    float k = mymin(1.0f, ARROW_GROUND_REACH / len);
    float sx, sy, ex, ey;
    if (!myview_project(cx, 0, cz, &sx, &sy) || !myview_project(cx + tx * k, 0, cz + tz * k, &ex, &ey)) return false;
    GfxRect s = gfx_hwpos_to_pos(GfxRect(sx, sy, 0, 0)), e = gfx_hwpos_to_pos(GfxRect(ex, ey, 0, 0));
    float vx = e.x - s.x, vy = e.y - s.y, vl = std::sqrt(vx * vx + vy * vy);
    if (!(vl > 0)) return false;
    vx /= vl, vy /= vl;
    // From the area's centre along that direction to its edge, less a margin.
    float mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
    float hw = mymax(0.0f, (x1 - x0) / 2 - ARROW_MARGIN), hh = mymax(0.0f, (y1 - y0) / 2 - ARROW_MARGIN);
    float reach = mymin(vx != 0 ? hw / std::fabs(vx) : 1e9f, vy != 0 ? hh / std::fabs(vy) : 1e9f);
    *ax = mx + vx * reach;
    *ay = my + vy * reach;
    *dx = vx;
    *dy = vy;
    return true;
}

void myview_arrow_paint(float x, float y, float dx, float dy) {
    // An arrow head with a dark rim, pointing along (dx, dy) (canvas y down).
    float rx = -dy, ry = dx;
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int pass = 0; pass < 2; pass++) {
        float s = ARROW_SIZE + (pass == 0 ? 4 : 0);
        if (pass == 0) glColor4f(0, 0, 0, 0.8f);
        else _tint(OPEN_TINT, 1);
        glBegin(GL_TRIANGLES);
        glVertex2f(x + dx * s, y + dy * s);
        glVertex2f(x - dx * s * 0.6f + rx * s * 0.8f, y - dy * s * 0.6f + ry * s * 0.8f);
        glVertex2f(x - dx * s * 0.6f - rx * s * 0.8f, y - dy * s * 0.6f - ry * s * 0.8f);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
}
