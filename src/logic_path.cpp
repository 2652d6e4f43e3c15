// Moving actors: the A* search over the flag grid, entity paths, the step at a
// cell centre, gliding with the camera follow, and steering the player by
// pointer and by keys.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "logic.h"
#include "logic_internal.h"
#include "util.h"

static const float COST_STRAIGHT = 1.0f;
static const float COST_DIAGONAL = 1.41421f;
static const float BLOCK_DISTANCE = 1.0f;  // a guard closer than this to another one waits
static const double DEG_TO_RAD = 3.14159265358979323846 / 180.0;
static const float KEY_WALK_ANGLE = -45.0f;  // screen right is map (1, -1) with the camera at 0
static const float KEY_AXIS_THRESHOLD = 0.5f;
static const int REACH_CHECK_AFTER = 256;  // closed cells before asking whether the goal is reachable
static const int FAR_SEARCH = 256;  // closed cells that make a search worth keeping
enum { FAR_KEPT = 16 };             // far searches kept

enum {
    FRAME_START_NOW = LOGIC_STEP_TICKS - 1,  // the next tick is a step tick
    FRAME_START_SOON = LOGIC_STEP_TICKS - 2, // the tick after next is
    CAMERA_ZONE_DIVISOR = 3,   // the player walks freely within view_cd / 3 ...
    CAMERA_ZONE_MARGIN = 2     // ... less this margin
};

// The eight neighbours in the order the search tries them.
static const int SUCCESSOR_STEPS[8][2] = {
    {0, -1}, {1, 0}, {0, 1}, {-1, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1},
};

// ---------------------------------------------------------------- Point

bool Point::valid() const {
    if (x < MAP_MIN || x > MAP_MAX || y < MAP_MIN || y > MAP_MAX) return false;
    assert(game && "a Point needs its Game for the flag grid");
    return !(game->ext.info[y][x] & INFO_SOLID);
}

float Point::cost(const Point& q) const {
    bool sx = q.x != x, sy = q.y != y;
    if (sx && sy) return COST_DIAGONAL;
    return (sx || sy) ? COST_STRAIGHT : 0.0f;
}

float Point::estimate(const Point& goal) const {
    return (float)(myabs(goal.x - x) + myabs(goal.y - y));
}

void Point::successors(std::vector<Point>& out) const {
    for (const auto& s : SUCCESSOR_STEPS) {
        Point n(game, x + s[0], y + s[1]);
        // A diagonal step needs both cells beside it free: no corner cutting.
        if (n.valid() && Point(game, x, y + s[1]).valid() && Point(game, x + s[0], y).valid())
            out.push_back(n);
    }
}

// ---------------------------------------------------------------- A*

// The search keeps one record per cell and a binary heap of open cells ordered
// exactly like the open set (f, then row, then column). A cell whose f is
// lowered is pushed again; the old heap entry is recognised as stale when it
// comes up, so the order in which cells are closed is the same as with an
// ordered set that removes and reinserts.
namespace {
struct SearchCell {
    float g, f;
    unsigned mark;          // 2 * search number: open; + 1: closed; else untouched
    unsigned short parent;  // cell index y * MAP_SIZE + x
};

// f is never negative, so the bits of the float order like the float; the
// cell index below them (row first, then column, like Point) breaks ties.
inline unsigned long long _open_key(float f, int idx) {
    unsigned bits;
    memcpy(&bits, &f, sizeof(bits));
    return ((unsigned long long)bits << 32) | (unsigned)idx;
}

struct ComesLater {
    bool operator()(unsigned long long a, unsigned long long b) const { return a > b; }
};

// A far search and its result: the cells from start to goal, or none.
struct FarSearch {
    int from = -1, to = -1;
    std::vector<unsigned short> cells;
};
}  // namespace

// A search's result depends on its two ends and on the solid cells of the
// flag grid alone. Far searches (a long way, or none to find) are kept with
// the solid cells they ran on, so that clicks sending the player to the same
// far cells again and again cost one search, not one each; a change of a
// solid cell forgets them all.
struct LogicSearch {
    SearchCell cells[MAP_SIZE * MAP_SIZE];
    bool playable[MAP_SIZE * MAP_SIZE];
    unsigned filled[MAP_SIZE * MAP_SIZE];  // search number of the last reachability fill
    std::vector<unsigned long long> heap;
    std::vector<int> stack;
    unsigned mark = 0;
    FarSearch far[FAR_KEPT];
    int far_n = 0, far_next = 0;
    unsigned char far_solid[MAP_SIZE * MAP_SIZE];  // INFO_SOLID of each cell when they ran

    LogicSearch() {
        memset(cells, 0, sizeof(cells));
        memset(filled, 0, sizeof(filled));
        for (int i = 0; i < MAP_SIZE * MAP_SIZE; i++) playable[i] = _logic_playable(i % MAP_SIZE, i / MAP_SIZE);
        heap.reserve(MAP_SIZE * MAP_SIZE);
    }
};

void _logic_search_free(LogicSearch* search) { delete search; }

// The Game's search records, ready for a new search.
static LogicSearch& _search(Game& game) {
    LogicSearch*& kept = _logic_scratch_search(game);
    if (!kept) kept = new LogicSearch();
    LogicSearch& s = *kept;
    s.mark += 2;
    if (s.mark < 2) {  // wrapped: forget every record once
        memset(s.cells, 0, sizeof(s.cells));
        memset(s.filled, 0, sizeof(s.filled));
        s.mark = 2;
    }
    s.heap.clear();
    return s;
}

// Whether the solid cells of info are those the far searches ran on; eight
// cells at a time.
static bool _far_grid_same(const LogicSearch& s, const unsigned char* info) {
    const uint64_t solid = 0x0101010101010101ull * INFO_SOLID;
    for (int i = 0; i < MAP_SIZE * MAP_SIZE; i += 8) {
        uint64_t now, then;
        memcpy(&now, info + i, sizeof(now));
        memcpy(&then, s.far_solid + i, sizeof(then));
        if ((now & solid) != then) return false;
    }
    return true;
}

static const FarSearch* _far_find(LogicSearch& s, const unsigned char* info, int from, int to) {
    for (int k = 0; k < s.far_n; k++) {
        if (s.far[k].from != from || s.far[k].to != to) continue;
        if (_far_grid_same(s, info)) return &s.far[k];
        s.far_n = 0;  // the grid has changed since: every kept search may be wrong
        return nullptr;
    }
    return nullptr;
}

static void _far_keep(LogicSearch& s, const unsigned char* info, int from, int to,
                      const std::vector<unsigned short>& cells) {
    if (s.far_n > 0 && !_far_grid_same(s, info)) s.far_n = 0;
    if (s.far_n == 0) {
        for (int i = 0; i < MAP_SIZE * MAP_SIZE; i++) s.far_solid[i] = info[i] & INFO_SOLID;
        s.far_next = 0;
    }
    FarSearch& f = s.far[s.far_next];
    f.from = from;
    f.to = to;
    f.cells = cells;
    s.far_next = (s.far_next + 1) % FAR_KEPT;
    if (s.far_n < FAR_KEPT) s.far_n++;
}

// Whether cell `to` can be reached from cell `from` at all. Steps never cut
// corners, so a diagonal step always has a two-step way round through free
// cells: reachability is that of the four-way neighbours.
static bool _reachable(LogicSearch& s, const unsigned char* info, int from, int to) {
    s.stack.clear();
    s.stack.push_back(from);
    s.filled[from] = s.mark;
    static const int steps[4] = {-MAP_SIZE, 1, MAP_SIZE, -1};
    while (!s.stack.empty()) {
        int i = s.stack.back();
        s.stack.pop_back();
        if (i == to) return true;
        for (int d : steps) {
            int n = i + d;
            if (s.filled[n] == s.mark || !s.playable[n] || (info[n] & INFO_SOLID)) continue;
            s.filled[n] = s.mark;
            s.stack.push_back(n);
        }
    }
    return false;
}

// The search itself, from start_i to goal_i (both free): the cells of the way
// found, start first, into `cells` (none when there is no way); returns the
// number of cells it closed.
static int _search_run(LogicSearch& s, const unsigned char* info, int start_i, int goal_i,
                       std::vector<unsigned short>& cells) {
    const unsigned open = s.mark, closed = s.mark + 1;
    auto free_cell = [&](int i) { return s.playable[i] && !(info[i] & INFO_SOLID); };
    const int goal_x = goal_i % MAP_SIZE, goal_y = goal_i / MAP_SIZE;

    SearchCell& first = s.cells[start_i];
    first.g = 0;
    first.f = first.g + (float)(myabs(goal_x - start_i % MAP_SIZE) + myabs(goal_y - start_i / MAP_SIZE));
    first.parent = (unsigned short)start_i;
    first.mark = open;
    s.heap.push_back(_open_key(first.f, start_i));

    int last = -1, expanded = 0;
    while (!s.heap.empty()) {
        std::pop_heap(s.heap.begin(), s.heap.end(), ComesLater());
        unsigned long long top = s.heap.back();
        s.heap.pop_back();
        int idx = (int)(top & 0xFFFFFFFFu);
        SearchCell& c = s.cells[idx];
        if (c.mark != open || _open_key(c.f, idx) != top) continue;  // stale: closed, or reopened lower
        c.mark = closed;
        last = idx;
        if (idx == goal_i) break;
        // A search that grows large may be one with no way to the goal: ask
        // once, with a fill from the goal, and give up early instead of
        // closing every reachable cell. The answer is the same.
        if (++expanded == REACH_CHECK_AFTER && !_reachable(s, info, goal_i, start_i)) break;
        int x = idx % MAP_SIZE, y = idx / MAP_SIZE;
        for (const auto& st : SUCCESSOR_STEPS) {
            int ni = idx + st[1] * MAP_SIZE + st[0];
            // The neighbours of a playable cell all lie inside the grid.
            if (!free_cell(ni) || !free_cell(idx + st[1] * MAP_SIZE) || !free_cell(idx + st[0])) continue;
            SearchCell& n = s.cells[ni];
            if (n.mark == closed) continue;
            float g = c.g + ((st[0] != 0 && st[1] != 0) ? COST_DIAGONAL : COST_STRAIGHT);
            float h = (float)(myabs(goal_x - (x + st[0])) + myabs(goal_y - (y + st[1])));
            float f = g + h;
            if (n.mark == open && !(f < n.f)) continue;
            n.g = g;
            n.f = f;
            n.parent = (unsigned short)idx;
            n.mark = open;
            s.heap.push_back(_open_key(f, ni));
            std::push_heap(s.heap.begin(), s.heap.end(), ComesLater());
        }
    }
    cells.clear();
    if (last != goal_i) return expanded;
    // Only the start has g = 0: every step costs something.
    for (int i = goal_i;; i = s.cells[i].parent) {
        cells.push_back((unsigned short)i);
        if (s.cells[i].g == 0) break;
    }
    std::reverse(cells.begin(), cells.end());
    return expanded;
}

// The way from start to goal when it is at most `longest` cells long, else none.
static std::vector<Point> _astar_within(Point start, Point goal, size_t longest) {
    std::vector<Point> out;
    if (!start.valid() || !goal.valid()) return out;
    Game* game = start.game;
    const unsigned char* info = &game->ext.info[0][0];
    LogicSearch& s = _search(*game);
    const int start_i = start.y * MAP_SIZE + start.x, goal_i = goal.y * MAP_SIZE + goal.x;
    std::vector<unsigned short> found;
    const std::vector<unsigned short>* cells = &found;
    if (const FarSearch* kept = _far_find(s, info, start_i, goal_i)) cells = &kept->cells;
    else if (_search_run(s, info, start_i, goal_i, found) >= FAR_SEARCH) _far_keep(s, info, start_i, goal_i, found);
    if (cells->size() > longest) return out;
    out.reserve(cells->size());
    for (unsigned short i : *cells) out.push_back(Point(game, i % MAP_SIZE, i / MAP_SIZE));
    return out;
}

std::vector<Point> astar(Point start, Point goal) { return _astar_within(start, goal, MAP_SIZE * MAP_SIZE); }

// ---------------------------------------------------------------- entity paths

void logic_path(Game& game, int slot, int x, int y, bool reset) {
    if (slot < 0 || slot >= ENTITY_MAX) return;
    Entity& e = game.level.items[slot];
    if (e.tx == x && e.ty == y) reset = true;
    if (reset) {
        e.path_n = 0;
        memset(e.path, 0, sizeof(e.path));
    }
    // A way longer than an entity's path is no way: it is not even written out.
    std::vector<Point> route = _astar_within(Point(&game, e.tx, e.ty), Point(&game, x, y), PATH_CELLS_MAX);
    int size = (int)route.size();
    if (size < 2 || size > PATH_CELLS_MAX) return;
    memset(e.path, 0, sizeof(e.path));
    for (int i = 0; i < size; i++) {
        e.path[size - 1 - i][0] = (unsigned char)route[i].x;
        e.path[size - 1 - i][1] = (unsigned char)route[i].y;
    }
    e.path_n = size - 1;
}

void logic_path_light(Game& game, Entity& e, int x, int y) {
    (void)game;
    int cx = _logic_int(e.x), cy = _logic_int(e.y);
    if (cx == x && cy == y) {
        e.path_n = 0;
        return;
    }
    int ddx = x - cx, ddy = y - cy;
    int sx = mysign((float)ddx), sy = mysign((float)ddy);
    // Route cells lie on straight or diagonal lines, so this is exact.
    int n = (myabs(ddx) + myabs(ddy)) / ((ddx != 0) + (ddy != 0));
    if (n >= PATH_CELLS_MAX) return;
    e.path_n = n;
    for (int i = 0; i <= n; i++) {
        e.path[n - i][0] = (unsigned char)cx;
        e.path[n - i][1] = (unsigned char)cy;
        cx += sx;
        cy += sy;
    }
}

// A guard waits for any guard in a lower slot that is on the move close by.
static bool _guard_blocked(Game& game, const Entity& e, int slot) {
    for (int k = 0; k < slot; k++) {
        const Entity& o = game.level.items[k];
        if (!o.active || o.type != D_GUARD) continue;
        if (o.dx == 0 && o.dy == 0 && o.path_n == 0) continue;
        float ox = o.x - e.x, oy = o.y - e.y;
        if (sqrtf(ox * ox + oy * oy) < BLOCK_DISTANCE) return true;
    }
    return false;
}

// Back to the post held before an alarm, once the alarm's path is used up.
static void _path_return(Game& game, Entity& e, int slot) {
    logic_path(game, slot, e.path_rx, e.path_ry, true);
    e.state = D_WALK;
    if (e.path_n == 0) {
        if (e.x == (float)e.path_rx && e.y == (float)e.path_ry) e.arrow = (char)e.path_rf;
        e.path_rf = 0;
    }
    e.path_rx = e.path_ry = 0;
}

// The next leg of the patrol route; false when the route is finished.
static bool _path_patrol(Game& game, Entity& e, int slot) {
    int count = std::min(e.goal_n, (int)GOAL_MAX);
    if (e.goal_cur < 0 || e.goal_cur >= LOGIC_COUNTER_MAX) e.goal_cur = count;  // damaged
    e.goal_cur++;
    e.state = D_STOP;
    if (e.goal_cur >= count) {
        if (e.goal_loop == 0) return false;
        e.goal_cur = e.goal_loop;
    }
    if (e.goal_cur <= 0 || e.goal_cur >= count) return true;
    int gx = e.goal[e.goal_cur][0], gy = e.goal[e.goal_cur][1];
    if (e.type == D_LIGHT) {
        logic_path_light(game, e, gx, gy);
    } else {
        logic_path(game, slot, gx, gy, true);
        e.state = D_WALK;
    }
    return true;
}

// Takes the next stored step: false when the entity waits for another guard.
static bool _path_step(Game& game, Entity& e, int slot) {
    if (e.path_n > PATH_CELLS_MAX) e.path_n = PATH_CELLS_MAX;
    e.path_n--;
    int nx = e.path[e.path_n][0], ny = e.path[e.path_n][1];
    e.tx = (char)nx;
    e.ty = (char)ny;
    int px = _logic_int(e.x), py = _logic_int(e.y);
    if (e.type == D_GUARD && _guard_blocked(game, e, slot)) {
        e.frame = FRAME_START_NOW;
        e.tx = (char)px;
        e.ty = (char)py;
        e.dx = e.dy = 0;
        e.path_n++;
        return false;
    }
    bool off_grid = !_logic_on_grid(nx, ny);
    if (off_grid || (e.type != D_LIGHT && _logic_tile(game, nx, ny).solid)) {
        e.tx = (char)px;
        e.ty = (char)py;
        e.path_n = 0;
    }
    e.dx = (float)mysign((float)e.tx - e.x);
    e.dy = (float)mysign((float)e.ty - e.y);
    if (e.dx != 0 || e.dy != 0) e.p_moved = 1;
    return true;
}

void logic_path_follow(Game& game, Entity& e) {
    int slot = _logic_slot(game, e);
    e.x = e.tx;
    e.y = e.ty;
    e.dx = e.dy = 0;
    if (e.path_n <= 0) e.path_n = 0;
    if (e.path_n == 0 && e.path_rx != 0) _path_return(game, e, slot);
    if (e.path_n == 0 && e.path_rf != 0) {
        e.arrow = (char)e.path_rf;
        e.path_rf = 0;
    }
    if (e.path_n == 0 && e.goal_n >= 3 && !_path_patrol(game, e, slot)) return;
    if (e.path_n > 0 && !_path_step(game, e, slot)) return;
    if (e.state == D_STOP) return;
    if (e.dx == 0 && e.dy == 0) e.state = D_STOP;
}

// ---------------------------------------------------------------- gliding

void logic_actor_move(Game& game, Entity& e, int div) {
    assert(div != 0 && "a speed divisor of 0");
    float sx = e.dx / div, sy = e.dy / div;
    e.x += sx;
    e.y += sy;
    if (game.state != STATE_LEVEL || e.type != D_PLAYER) return;
    LevelData& lev = game.level;
    float d = hypotf(e.x - lev.view_cx, e.y - lev.view_cy);
    float d_next = hypotf(e.x + sx - lev.view_cx, e.y + sy - lev.view_cy);
    float zone = lev.view_cd / CAMERA_ZONE_DIVISOR;
    if (d_next > d && zone - CAMERA_ZONE_MARGIN < d && d < zone) {
        lev.pan_x += sx;
        lev.pan_y += sy;
    }
}

// ---------------------------------------------------------------- steering the player

void logic_click(Game& game, int x, int y) {
    logic_replay_input(game, LOGIC_REPLAY_CLICK, x, y);
    for (int slot = 0; slot < ENTITY_MAX; slot++) {
        Entity& e = game.level.items[slot];
        if (!e.active || e.type != D_PLAYER) continue;
        logic_path(game, slot, x, y, false);
        if (e.x == (float)e.tx && e.y == (float)e.ty) e.frame = FRAME_START_NOW;
    }
}

static int _key_axis(double v) { return std::fabs(v) > KEY_AXIS_THRESHOLD ? (v > 0 ? 1 : -1) : 0; }

void logic_player_walk(Game& game, int sx, int sy) {
    double a = (KEY_WALK_ANGLE - game.level.rotate) * DEG_TO_RAD;
    int dx = _key_axis(cos(a) * sx - sin(a) * sy);
    int dy = _key_axis(sin(a) * sx + cos(a) * sy);
    logic_player_walk_map(game, dx, dy);
}

void logic_player_walk_map(Game& game, int dx, int dy) {
    Entity* p = logic_find(game, D_PLAYER);
    if (!p) return;
    dx = mysign((float)dx);
    dy = mysign((float)dy);
    // Replays keep the map's direction: the camera is the view's, not the rules'.
    logic_replay_input(game, LOGIC_REPLAY_WALK, logic_dxdy_to_arrow(dx, dy), 0);
    int x = p->tx, y = p->ty;
    if (dx != 0 || dy != 0) {
        while (_logic_playable(x + dx, y + dy) && !_logic_tile(game, x + dx, y + dy).solid) {
            x += dx;
            y += dy;
        }
    }
    logic_path(game, _logic_slot(game, *p), x, y, true);
    if (p->x == (float)p->tx && p->y == (float)p->ty) p->frame = FRAME_START_SOON;
}
