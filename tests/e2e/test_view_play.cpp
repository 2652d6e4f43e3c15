// The map view in play, as a player meets it: a click lands on the cell the
// pointer shows, the ways out are easy to find, the overhead view, the path
// a click would give, and faults once seen in play (crater linings hanging
// out of the map, pillars cut down, countdowns over the wrong bombs).
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "driver.h"
#include "edit_internal.h"
#include "gfx.h"
#include "level_internal.h"
#include "logic_internal.h"
#include "mapsource.h"
#include "myview.h"
#include "myview_internal.h"
#include "test_play.h"
#include "widgets.h"

namespace {

const float NEAR_ZOOM = -25, FAR_ZOOM = 50;
const int TURNS = 8;
const float TURN = 45;
// Heights of the flat surfaces a frame draws: floor, a cut-away stub, a
// crate's top, a wall's top, a tall wall's top.
const float SURFACES[] = {0, MYVIEW_CUT_HEIGHT, MYVIEW_CRATE_HEIGHT, MYVIEW_WALL_HEIGHT, MYVIEW_ARCH_HEIGHT};
const int SAMPLES = 32;  // across the window, each way
const int SURFACE_PIXELS_MIN = 40;  // of them on the map's floor and tops, even from far

// The picture last read back, in window pixels, top row first.
struct Shot {
    std::vector<unsigned char> px;
    std::vector<float> depth;
    int w = 0, h = 0;

    // Outside the window: black, and nothing drawn.
    bool inside(float x, float y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    const unsigned char* at(float x, float y) const {
        static const unsigned char none[4] = {0, 0, 0, 0};
        return inside(x, y) ? &px[((size_t)(int)y * w + (int)x) * 4] : none;
    }
    float depth_at(float x, float y) const { return inside(x, y) ? depth[(size_t)(int)y * w + (int)x] : 1; }
};

bool greenish(const unsigned char* p) { return p[1] > 150 && p[1] > p[0] + 50 && p[1] > p[2] + 30; }
bool reddish(const unsigned char* p) { return p[0] > 150 && p[0] > p[1] + 70 && p[0] > p[2] + 70; }
int light(const unsigned char* p) { return p[0] + p[1] + p[2]; }

class ViewPlay : public PlayTest {
protected:
    // The body on the fixture's 960 x 720 game, then on one of 1920 x 1080.
    template <typename F>
    void at_both_sizes(F body) {
        {
            SCOPED_TRACE("960x720");
            body();
        }
        h.stop();
        Harness wide(1920, 1080);
        wide.start();
        cur = &wide;
        {
            SCOPED_TRACE("1920x1080");
            body();
        }
        cur = &h;
    }

    Shot shot() {
        Shot s;
        s.px = cur->pixels(&s.w, &s.h);
        s.depth = cur->depth();
        return s;
    }

    // The camera turned and at a zoom at once, the frame drawn.
    void view(float turn, float zoom) {
        lev().rotate = lev().trotate = turn;
        lev().zoom = lev().tzoom = zoom;
        cur->tick();
    }

    // View i of the picking test: eight turns near, then eight far.
    void view_at(int i) { view((i % TURNS) * TURN, i < TURNS ? NEAR_ZOOM : FAR_ZOOM); }

    // Window row where the bottom bar begins.
    float bar_top() {
        GfxRect view = gfx_get_view();
        float wx, wy;
        cur->to_window(0, view.y + view.h - WBOMB_SIZE, &wx, &wy);
        return wy;
    }

    // Cells that stand on the map as pictures: figures and things to pick up.
    bool near_picture(int x, int y) {
        for (const Entity& e : lev().items)
            if (e.active && e.type != D_LIGHT && std::abs(_logic_cell(e.x) - x) <= 1 && std::abs(_logic_cell(e.y) - y) <= 1)
                return true;
        for (int j = -1; j <= 1; j++)
            for (int i = -1; i <= 1; i++)
                if (_logic_on_grid(x + i, y + j) && g().tiles[lev().data[y + j][x + i]].view == D_SPRITE) return true;
        return false;
    }

    // Every pixel of a grid that shows a flat surface (as the depth buffer
    // has it) away from a cell's edges is picked as the cell of that
    // surface. Pixels over pictures, panes and escape markers are left to
    // the table. Returns the pixels checked.
    int check_surfaces(const Shot& s) {
        GLdouble model[16], proj[16];
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, vp);
        int checked = 0;
        float bottom = bar_top();
        for (int j = 0; j < SAMPLES; j++)
            for (int i = 0; i < SAMPLES; i++) {
                float wx = (i + 0.5f) * s.w / SAMPLES, wy = (j + 0.5f) * bottom / SAMPLES;
                float d = s.depth_at(wx, wy);
                if (d >= 1) continue;
                GLdouble px, py, pz;
                gluUnProject((int)wx + 0.5, vp[3] - ((int)wy + 0.5), d, model, proj, vp, &px, &py, &pz);
                bool flat = false;
                for (float top : SURFACES) flat = flat || std::fabs(py - top) < 0.02;
                double fx = px - std::floor(px), fz = pz - std::floor(pz);
                if (!flat || fx < 0.1 || fx > 0.9 || fz < 0.1 || fz > 0.9) continue;
                int cx = (int)std::floor(px), cz = (int)std::floor(pz);
                MyViewRay r;
                int mx, my;
                if (near_picture(cx, cz) || (myview_ray((int)wx + 0.5f, (int)wy + 0.5f, &r) && myview_guide_pick(g(), r, &mx, &my)))
                    continue;
                int x = -1, y = -1;
                bool picked = myview_pick(g(), (int)wx + 0.5f, (int)wy + 0.5f, &x, &y);
                EXPECT_TRUE(picked) << (int)wx << "," << (int)wy;
                if (!picked) continue;
                // A picture's outline is not its box; a pane fills its window's opening.
                if (near_picture(x, y) || g().tiles[lev().data[y][x]].view == D_WINDOW) continue;
                EXPECT_EQ(cx * 1000 + cz, x * 1000 + y) << "pixel " << (int)wx << "," << (int)wy << " shows " << cx
                                                        << "," << cz << " at height " << py;
                checked++;
            }
        return checked;
    }

    // The first frame of play of a map source, past its intro.
    void play_source(const std::string& path) {
        MapSource src;
        std::string err;
        ASSERT_TRUE(mapsource_read(path.c_str(), src, err)) << err;
        mapsource_apply(src, g());
        play();
    }
};

}  // namespace

// A click on a floor mark (a watched cell), an item, a crate, a figure or an
// escape marker behind a wall picks that very cell, at every turn of the
// camera, near and far and from overhead; and so does every pixel of floor
// and block tops that shows. The editor paints the cell so picked; the
// marker's cell is walked to and won from.
TEST_F(ViewPlay, AClickLandsOnTheCellThePointerShows) {
    at_both_sizes([&] {
        build_room();
        put(64, 60, 'C');
        put(66, 66, '$');
        put(70, 63, 'G');  // faces (1, 1), away from the player
        play();
        const struct {
            int x, y;
            float height;  // of the point of it that is pointed at
            const char* what;
        } table[] = {
            {70, 65, 0, "watched floor"},
            {66, 66, 0.5f, "cartridge"},
            {64, 60, MYVIEW_CRATE_HEIGHT, "crate"},
            {70, 63, 1.2f, "guard"},
            {WINDOW_X - 1, WINDOW_Y, 1.65f, "escape marker"},
        };
        for (int view = 0; view <= 2 * TURNS; view++) {
            bool overhead = view == 2 * TURNS;
            _myview.overhead = overhead;
            view_at(view);
            SCOPED_TRACE(overhead ? std::string("overhead") : "turn " + std::to_string(view % TURNS) + (view < TURNS ? " near" : " far"));
            for (const auto& t : table) {
                float wx, wy;
                float hgt = overhead ? 0.02f : t.height;  // seen from above, all lie flat
                ASSERT_TRUE(myview_project(t.x + 0.5f, hgt, t.y + 0.5f, &wx, &wy)) << t.what;
                int x = -1, y = -1;
                EXPECT_TRUE(myview_pick(g(), wx, wy, &x, &y) && x == t.x && y == t.y)
                    << t.what << " picked as " << x << "," << y;
            }
            EXPECT_GT(check_surfaces(shot()), SURFACE_PIXELS_MIN);
        }
        _myview.overhead = 0;
        logic_find(g(), D_GUARD)->active = 0;  // a clear way to the window
        view(0, FAR_ZOOM);
        // The escape cell hides behind the near wall; its marker does not.
        float cx, cy;
        ASSERT_TRUE(cur->cell_to_canvas(WINDOW_X - 1, WINDOW_Y, &cx, &cy, WBOMB_SIZE));
        cur->click(cx, cy);
        EXPECT_TRUE(cur->tick_until([&] { return g().state != STATE_LEVEL; }, 600));
        EXPECT_EQ(_logic_cell(player()->x), WINDOW_X - 1) << "walked to the marked cell, not one short";
        EXPECT_EQ(_logic_cell(player()->y), WINDOW_Y);

        // The editor paints the cell its cursor shows: here the crate's top.
        g().next(STATE_EDIT);
        g()._edit.rotate = g()._edit.trotate = TURN;
        cur->tick();
        float ex, ey;
        ASSERT_TRUE(cur->cell_to_canvas(64, 60, &ex, &ey));
        _edit_cur = T_FLOOR;
        cur->click(ex, ey);
        EXPECT_EQ(T_FLOOR, g()._edit.data[60][64]);
        EXPECT_EQ(64, (int)g()._edit.hover_x);
        EXPECT_EQ(60, (int)g()._edit.hover_y);
    });
}

// The way out shows from anywhere: a marker over the escape cell drawn
// through the wall in front of it, a shaft of light over the window that
// rises above the walls, an arrow at the edge when the exit is out of view;
// and at the first frame no window hides under the bar, while a map of up
// to 30 by 30 cells fills most of the window.
TEST_F(ViewPlay, TheWayOutIsEasyToFind) {
    at_both_sizes([&] {
        build_room();
        play();
        view(0, FAR_ZOOM);
        Shot s = shot();
        // The escape cell lies behind the near wall: its marker is drawn
        // where the wall stands in front of it.
        const int ex = WINDOW_X - 1, ey = WINDOW_Y;
        const float mark = 1.5f;  // seen past the wall's top edge, it would be above it
        float mx, my;
        ASSERT_TRUE(myview_project(ex + 0.5f, mark, ey + 0.5f, &mx, &my));
        GLdouble model[16], proj[16], ox, oy, oz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(ex + 0.5, mark, ey + 0.5, model, proj, vp, &ox, &oy, &oz);
        EXPECT_LT(s.depth_at(mx, my), oz - 1e-5) << "the wall stands in front";
        EXPECT_TRUE(greenish(s.at(mx, my))) << "yet the marker shows";

        // Turned round, the window is in the far wall: its shaft rises into
        // the dark above it.
        view(4 * TURN, FAR_ZOOM);
        s = shot();
        float tx, ty, sx, sy;
        ASSERT_TRUE(myview_project(WINDOW_X + 0.5f, MYVIEW_WALL_HEIGHT, WINDOW_Y + 0.5f, &tx, &ty));
        ASSERT_TRUE(myview_project(WINDOW_X + 0.5f, 1.6f * MYVIEW_WALL_HEIGHT, WINDOW_Y + 0.5f, &sx, &sy));
        EXPECT_LT(sy, ty - 10) << "above the wall";
        EXPECT_GT(light(s.at(sx, sy)), 90) << "a shaft of light, not the dark";
        EXPECT_TRUE(s.at(sx, sy)[1] > s.at(sx, sy)[0] + 30) << "in the exit's green";

        // Looking far away: an arrow at the edge points the way.
        lev().pan_x -= 40;
        lev().pan_y += 10;
        cur->tick();
        GfxRect v = gfx_get_view();
        float ax, ay, dx, dy;
        s = shot();
        ASSERT_TRUE(myview_exit_arrow(g(), v.x, v.y, v.x + v.w, v.y + v.h - WBOMB_SIZE, &ax, &ay, &dx, &dy));
        float wx, wy;
        cur->to_window(ax, ay, &wx, &wy);
        EXPECT_TRUE(greenish(s.at(wx, wy))) << "drawn at " << ax << "," << ay;
        float px, py, cx, cy;
        ASSERT_TRUE(myview_project(ex + 0.5f, 0, ey + 0.5f, &px, &py));
        ASSERT_TRUE(myview_project(lev().view_cx, 0, lev().view_cy, &cx, &cy));
        float len = std::hypot(px - cx, py - cy);
        EXPECT_GT((dx * (px - cx) + dy * (py - cy)) / len, 0.95f) << "towards the exit";
        lev().pan_x += 40;
        lev().pan_y -= 10;
        cur->tick();
        EXPECT_FALSE(myview_exit_arrow(g(), v.x, v.y, v.x + v.w, v.y + v.h - WBOMB_SIZE, &ax, &ay, &dx, &dy))
            << "no arrow while the exit is in view";

        // First frames: Trapdoor's window at the far end of a long hall, two
        // tutorials and a room of a few cells.
        const std::string maps[] = {VELQUIST_SEED_DIR "/vq15.map", VELQUIST_TUTORIAL_DIR "/t01.map",
                                    VELQUIST_TUTORIAL_DIR "/t02.map", ""};
        for (const std::string& m : maps) {
            SCOPED_TRACE(m.empty() ? "a small room" : m);
            if (m.empty()) {
                logic_new(g());
                const char* rows[] = {"#####W", "#@...#", "#....#", "######"};
                for (int r = 0; r < 4; r++)
                    for (int c = 0; rows[r][c]; c++) put(62 + c, 62 + r, rows[r][c]);
                g()._edit.data[64][64] = T_FLOOR;
                play();
            } else {
                play_source(m);
            }
            int x0 = MAP_SIZE, y0 = MAP_SIZE, x1 = 0, y1 = 0;
            float bx0 = 1e9f, by0 = 1e9f, bx1 = -1e9f, by1 = -1e9f;
            float bar = bar_top();
            int w, hh;
            driver_get_size(&w, &hh);
            for (int y = MAP_MIN; y <= MAP_MAX; y++)
                for (int x = MAP_MIN; x <= MAP_MAX; x++) {
                    if (lev().data[y][x] == TILE_EMPTY) continue;
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
                    for (int k = 0; k < 8; k++) {
                        float qx, qy;
                        ASSERT_TRUE(myview_project(x + (k & 1), (k & 4) ? MYVIEW_WALL_HEIGHT : 0, y + ((k >> 1) & 1), &qx, &qy));
                        bx0 = std::min(bx0, qx), by0 = std::min(by0, qy), bx1 = std::max(bx1, qx), by1 = std::max(by1, qy);
                        bool under = qx > 0 && qx < w && qy > bar && qy < hh;
                        EXPECT_FALSE(g().tiles[lev().data[y][x]].type == D_WINDOW && under)
                            << "window " << x << "," << y << " under the bar";
                    }
                }
            if (x1 - x0 < 30 && y1 - y0 < 30) {
                float wide = (std::min(bx1, (float)w) - std::max(bx0, 0.0f)) / w;
                float tall = (std::min(by1, bar) - std::max(by0, 0.0f)) / bar;
                EXPECT_GE(std::max(wide, tall), 0.6f) << "fills " << wide << " of the width, " << tall << " of the height";
            }
        }
    });
}

// Up and Down turn the overhead view on and off in play: the camera looks
// straight down, and a click still walks to the cell it shows.
TEST_F(ViewPlay, UpAndDownGiveTheOverheadViewInPlay) {
    build_room();
    play();
    cur->key(KEY_UP);
    EXPECT_TRUE(myview_overhead(g()));
    cur->tick();
    float ax, ay, bx, by;
    ASSERT_TRUE(myview_project(lev().pan_x, 0, lev().pan_y, &ax, &ay));
    ASSERT_TRUE(myview_project(lev().pan_x, MYVIEW_WALL_HEIGHT, lev().pan_y, &bx, &by));
    EXPECT_LT(std::hypot(ax - bx, ay - by), 1.0f) << "a post under the eye is a point";
    EXPECT_TRUE(walk_to(START_X + 4, START_Y - 3));
    cur->key(KEY_ESCAPE);
    EXPECT_TRUE(myview_overhead(g())) << "the pause screen keeps it";
    cur->key(KEY_ESCAPE);
    cur->key(KEY_DOWN);
    EXPECT_FALSE(myview_overhead(g()));
}

// While the pointer rests on a cell, the path a click would give is drawn,
// the cells of it that a guard watches in red; off the map it goes. Nothing
// walks until the click.
TEST_F(ViewPlay, ThePathAClickWouldGiveShowsItsWatchedCells) {
    at_both_sizes([&] {
        build_room();
        put(70, 58, 'G');  // faces (1, 1): row 64 from about x 68 on is in his cone
        play();
        view(0, 0);
        const int gx = 74, gy = START_Y;
        float cx, cy;
        ASSERT_TRUE(cur->cell_to_canvas(gx, gy, &cx, &cy, WBOMB_SIZE));
        cur->move(cx, cy);
        cur->tick();
        Shot on = shot();
        cur->move(cx, gfx_get_view().y + gfx_get_view().h - WBOMB_SIZE / 2);  // over the bar
        cur->tick();
        Shot off = shot();
        int cells[PATH_CELLS_MAX][2];
        int n = logic_click_preview(g(), gx, gy, cells, PATH_CELLS_MAX);
        ASSERT_GT(n, 8);
        int watched = 0, safe = 0;
        for (int i = 1; i < n; i++) {
            float wx, wy;
            ASSERT_TRUE(myview_project(cells[i][0] + 0.5f, 0, cells[i][1] + 0.5f, &wx, &wy));
            if (logic_danger(g(), cells[i][0], cells[i][1])) {
                EXPECT_TRUE(reddish(on.at(wx, wy))) << "watched " << cells[i][0];
                if (i < n - 1) {  // the cursor stays on the last
                    EXPECT_FALSE(reddish(off.at(wx, wy)));
                }
                watched++;
            } else {
                EXPECT_GT(light(on.at(wx, wy)), light(off.at(wx, wy)) + 60) << "a step of the way " << cells[i][0];
                safe++;
            }
        }
        EXPECT_GT(watched, 2);
        EXPECT_GT(safe, 2);
        EXPECT_EQ(player()->path_n, 0) << "only a click walks";
    });
}

// Faults once seen in play: the lining of a crater blasted through the outer
// wall hung out below it; a pillar in front of the player was cut down to a
// slab in a test play from the editor; the countdowns of two time bombs side
// by side stood over each other's bombs.
TEST_F(ViewPlay, CratersPillarsAndCountdownsLookRight) {
    build_room();
    put(ROOM_X1, 60, 'o');      // through the east wall ...
    put(ROOM_X1 + 1, 60, 'o');  // ... out into the empty space
    put(ROOM_X1 - 1, 60, 'o');
    put(ROOM_X1 - 1, 61, 'o');
    put(61, 65, 'X');  // between the player and the eye
    g().next(STATE_EDIT);
    cur->tick();
    cur->key(KEY_NONE, ' ');
    ASSERT_EQ(g().state, STATE_LEVEL_INTRO);
    cur->key(KEY_RETURN);
    ASSERT_EQ(g().state, STATE_LEVEL);
    view(0, 0);

    const MyImage* plinth = myview_img_info(myview_img("walls"));
    ASSERT_TRUE(plinth);
    for (int i = 0; i < _myview.pits.n; i++) {
        const MyTriangle* v = _myview.pits.quads[i].tris;
        if (v[0].normal[1] != 0) continue;  // the floor on top
        if (v[0].tex == plinth->tex) continue;  // the plinth the whole map stands on faces out
        float fx = (v[0].verts[0] + v[5].verts[0]) / 2 + v[0].normal[0] / 2;
        float fz = (v[0].verts[2] + v[5].verts[2]) / 2 + v[0].normal[2] / 2;
        EXPECT_TRUE(fx > ROOM_X0 && fx < ROOM_X1 + 1 && fz > ROOM_Y0 && fz < ROOM_Y1 + 1)
            << "a lining faces out of the map at " << fx << "," << fz;
    }
    EXPECT_FALSE(myview_cut(61, 65)) << "the pillar stands whole";
    float top = 0;
    for (int i = 0; i < _myview.pillars.n; i++)
        for (const MyTriangle& t : _myview.pillars.quads[i].tris) top = std::max(top, t.verts[1]);
    EXPECT_FLOAT_EQ(MYVIEW_PILLAR_CAP, top);

    // Two time bombs side by side, at every turn.
    Entity* bombs[2];
    for (int b = 0; b < 2; b++) {
        bombs[b] = logic_next_entity(g());
        bombs[b]->active = 1;
        bombs[b]->type = D_BOMB2;
        bombs[b]->x = bombs[b]->tx = (float)(64 + b);
        bombs[b]->y = bombs[b]->ty = 62;
        bombs[b]->timer = 200 + 100 * b;
        mystrcpy(bombs[b]->iname, sizeof(bombs[b]->iname), "bomb2");
    }
    for (int t = 0; t < TURNS; t++) {
        view(t * TURN, FAR_ZOOM);
        std::vector<LevelBombLabel> labels = level_bomb_labels(g());
        ASSERT_EQ(labels.size(), 2u);
        for (const LevelBombLabel& l : labels) {
            const Entity& e = lev().items[l.slot];
            float wx, wy;
            ASSERT_TRUE(myview_project(e.x + 0.5f, 0, e.y + 0.5f, &wx, &wy));
            GfxRect at = gfx_hwpos_to_pos(GfxRect(wx, wy, 0, 0));
            EXPECT_NEAR(l.x + l.w / 2, at.x, 1) << "turn " << t << ": over its own bomb";
            EXPECT_LT(l.y + l.h, at.y);
        }
        const LevelBombLabel &a = labels[0], &b = labels[1];
        EXPECT_FALSE(a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h) << "turn " << t;
        EXPECT_EQ(a.text, "0:0" + std::to_string((bombs[0]->timer + 15) / 30));
    }
}
