// Readable play, measured on the real game: any window shape without
// distortion and with exact clicks, light enough to read the map, actors
// that stand out on any floor, the first frame framing the map, and texts
// on panels that contrast. Set VELQUIST_READABLE_SHOTS to a folder to keep
// the pictures the measurements were taken on.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "edit_internal.h"
#include "engine.h"
#include "gfx.h"
#include "harness.h"
#include "level.h"
#include "logic.h"
#include "logic_internal.h"
#include "logic_world.h"
#include "myview_quads.h"
#include "picture.h"
#include "menu_internal.h"
#include "pngout.h"
#include "util.h"
#include "widgets.h"

namespace {

// ---------------------------------------------------------------- pictures

Picture take(Harness& h, const char* name) {
    Picture p = picture_of(h);
    const char* folder = getenv("VELQUIST_READABLE_SHOTS");
    if (folder && *folder) {
        std::vector<unsigned char> opaque = p.px;
        for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
        std::string path = std::string(folder) + "/" + name + ".png";
        pngout_write(path.c_str(), p.w, p.h, opaque.data());
    }
    return p;
}

float percentile(std::vector<float> v, float q) {
    if (v.empty()) return 0;
    size_t k = std::min(v.size() - 1, (size_t)(q * (v.size() - 1)));
    std::nth_element(v.begin(), v.begin() + k, v.end());
    return v[k];
}

float ratio(float a, float b) { return (std::max(a, b) + 0.05f) / (std::min(a, b) + 0.05f); }

// Window pixel of a world point through the matrices the last frame left.
bool project(float x, float y, float z, float* wx, float* wy, float* wz = nullptr) {
    GLdouble model[16], proj[16], px, py, pz;
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    if (!gluProject(x, y, z, model, proj, vp, &px, &py, &pz)) return false;
    *wx = (float)px;
    *wy = (float)(vp[1] + vp[3] - py);
    if (wz) *wz = (float)pz;
    return pz > 0 && pz < 1;
}

// Window row where the bottom bar begins.
float bar_top(Harness& h) {
    float wx, wy;
    GfxRect view = gfx_get_view();
    h.to_window(0, view.y + view.h - WBOMB_SIZE, &wx, &wy);
    return wy;
}

// ---------------------------------------------------------------- maps

// The tutorials as the play list offers them, each started and past its intro.
int tutorial_count(Harness& h) {
    return (int)h.game().gamedb.query("select id from levels where name like 't%'", {}).size();
}

// Plays the editor's copy as the play list does, past the intro.
void play(Harness& h) {
    Game& g = h.game();
    g.level = g._edit;
    g.parent = STATE_MENU_PLAY;
    g.next(STATE_LEVEL);
    h.tick(3);
    h.key(KEY_RETURN);
}

void start_tutorial(Harness& h, int i) {
    _menu_cur = i;
    h.game().next(STATE_MENU_PLAY);
    h.tick();
    play(h);
}

// A room of lit floor with a band of shadow under a wall and a patch of
// dark floor, for the actors to stand on; the player starts at (60, 64).
void build_room(Harness& h) {
    Game& g = h.game();
    logic_new(g);
    LevelData& e = g._edit;
    const char* rows[] = {
        "##########################",
        "#........................#",
        "#........................#",
        "#...........#######......#",
        "#........................#",
        "#....,,,,,,..............#",
        "#....,,,,,,..............#",
        "#...@,,,,,,.....G........W",
        "#....,,,,,,..............#",
        "#........................#",
        "#..........G.............#",
        "#........................#",
        "##########################",
    };
    for (int r = 0; r < 13; r++)
        for (int c = 0; rows[r][c]; c++) e.data[57 + r][56 + c] = (unsigned char)tile_of_char(rows[r][c]);
    mystrcpy(e.title, sizeof(e.title), "Readable Room");
    mystrcpy(e.intro, sizeof(e.intro), "Find the window.");
    mystrcpy(e.name, sizeof(e.name), "readable_room");
    play(h);
}

// ---------------------------------------------------------------- light

struct Light {
    float mean = 0, p90 = 0;
    float floors[3] = {0, 0, 0};  // median luminance of lit, shadow and dark floor cells; -1: none seen
};

// Floor cell (x, y) as it shows: the luminance at its centre when nothing
// stands in front of it, else a negative value.
float floor_luma(const Picture& p, int x, int y) {
    float wx, wy, wz;
    if (!project(x + 0.5f, 0, y + 0.5f, &wx, &wy, &wz)) return -1;
    int ix = (int)wx, iy = (int)wy;
    if (ix < 0 || iy < 0 || ix >= p.w || iy >= p.h) return -1;
    if (std::fabs(p.depth[(size_t)iy * p.w + ix] - wz) > 1e-4f) return -1;
    return p.luma(ix, iy);
}

Light measure_light(Harness& h, const Picture& p) {
    Light l;
    std::vector<float> map;
    int bottom = std::min(p.h, (int)bar_top(h));
    // The map: what the view drew at or above the floor, not the ground
    // around it nor the plinth it stands on.
    GLdouble model[16], proj[16], wx, wy, wz;
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    for (int y = 0; y < bottom; y++)
        for (int x = 0; x < p.w; x++) {
            float d = p.depth[(size_t)y * p.w + x];
            if (d >= 1 || !gluUnProject(x + 0.5, vp[1] + vp[3] - y - 0.5, d, model, proj, vp, &wx, &wy, &wz) ||
                wy < -0.05)
                continue;
            map.push_back(p.luma(x, y));
        }
    double sum = 0;
    for (float v : map) sum += v;
    l.mean = map.empty() ? 0 : (float)(sum / map.size());
    l.p90 = percentile(map, 0.9f);
    Game& g = h.game();
    std::vector<float> kinds[3];
    for (int y = MAP_MIN; y <= MAP_MAX; y++)
        for (int x = MAP_MIN; x <= MAP_MAX; x++) {
            if (g.tiles[g.level.data[y][x]].view != D_FLOOR && g.tiles[g.level.data[y][x]].view != D_DARK) continue;
            if (g.level.data[y][x] == TILE_EMPTY || logic_find_at(g, x, y)) continue;
            int f = g.ext.info[y][x];
            if (f & (INFO_PIT_EDGE | INFO_LIT)) continue;  // lamps light cells of any kind
            float v = floor_luma(p, x, y);
            if (v < 0) continue;
            kinds[(f & INFO_DARK) ? 2 : (f & INFO_SHADOW) ? 1 : 0].push_back(v);
        }
    for (int k = 0; k < 3; k++) l.floors[k] = kinds[k].empty() ? -1 : percentile(kinds[k], 0.5f);
    return l;
}

// ---------------------------------------------------------------- framing

// True when the world point shows inside the window above the bar.
bool above_bar(Harness& h, float x, float y, float z) {
    int w = 0, hh = 0;
    h.pixels(&w, &hh);
    float wx, wy;
    return project(x, y, z, &wx, &wy) && wx >= 0 && wx < w && wy >= 0 && wy < bar_top(h);
}

std::string framing_fault(Harness& h) {
    Game& g = h.game();
    int x0 = MAP_SIZE, y0 = MAP_SIZE, x1 = -1, y1 = -1;  // the map's cells
    for (int y = MAP_MIN; y <= MAP_MAX; y++)
        for (int x = MAP_MIN; x <= MAP_MAX; x++)
            if (g.level.data[y][x] != TILE_EMPTY)
                x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    if (x1 - x0 < 30 && y1 - y0 < 30) {
        for (int i = 0; i < 8; i++) {
            float x = (float)((i & 1) ? x1 + 1 : x0), z = (float)((i & 2) ? y1 + 1 : y0);
            float top = (i & 4) ? 2.5f : 0;
            if (!above_bar(h, x, top, z))
                return "corner " + std::to_string((int)x) + "," + std::to_string((int)z) + " not shown";
        }
        return "";
    }
    // A larger map: the player and the cells around it.
    Entity* p = logic_find(g, D_PLAYER);
    if (!p) return "no player";
    for (int dy = -6; dy <= 6; dy += 6)
        for (int dx = -6; dx <= 6; dx += 6) {
            int x = std::max(x0, std::min(x1, _logic_cell(p->x) + dx)), y = std::max(y0, std::min(y1, _logic_cell(p->y) + dy));
            if (!above_bar(h, x + 0.5f, 0, y + 0.5f))
                return "cell " + std::to_string(x) + "," + std::to_string(y) + " near the player is not shown";
        }
    return "";
}

// ---------------------------------------------------------------- actors

// Contrast of an actor with what is around it: the picture with the actor
// and without it; the pixels where its figure stands in front of the scene
// are the actor, a band around the figure's reach the surroundings as drawn
// with it, the light it brings onto dim floor included (median luminance of
// each).
float actor_contrast(Harness& h, Entity& e, const char* name) {
    Picture with = take(h, name);
    e.active = 0;
    Picture without = take(h, (std::string(name) + "-without").c_str());
    e.active = 1;
    float rx0 = 1e9f, ry0 = 1e9f, rx1 = -1e9f, ry1 = -1e9f;
    for (int i = 0; i < 8; i++) {
        float wx, wy;
        if (!project(e.x + 0.5f + ((i & 1) ? 0.7f : -0.7f), (i & 4) ? 2.6f : 0, e.y + 0.5f + ((i & 2) ? 0.7f : -0.7f),
                     &wx, &wy))
            return 0;
        rx0 = std::min(rx0, wx), ry0 = std::min(ry0, wy), rx1 = std::max(rx1, wx), ry1 = std::max(ry1, wy);
    }
    int x0 = std::max(0, (int)rx0), y0 = std::max(0, (int)ry0);
    int x1 = std::min(with.w - 1, (int)rx1), y1 = std::min(with.h - 1, (int)ry1);
    int band = std::max(4, (x1 - x0) / 3);
    std::vector<float> actor, around;
    for (int y = std::max(0, y0 - band); y <= std::min(with.h - 1, y1 + band); y++)
        for (int x = std::max(0, x0 - band); x <= std::min(with.w - 1, x1 + band); x++) {
            bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
            if (!inside) {
                around.push_back(with.light(x, y));
                continue;
            }
            // The figure stands in front of what was there; marks on the
            // floor (its ring, a guard's watched cells) write no depth.
            size_t i = (size_t)y * with.w + x;
            if (with.depth[i] < without.depth[i] - 1e-6f) actor.push_back(with.light(x, y));
        }
    if (actor.empty()) return 0;
    return ratio(percentile(actor, 0.5f), percentile(around, 0.5f));
}

// Pixels where the actor's figure stands in front of the scene (it writes
// depth; its marks on the floor and its rim do not).
std::vector<size_t> figure_pixels(const Picture& with, const Picture& without) {
    std::vector<size_t> out;
    for (size_t i = 0; i < with.depth.size(); i++)
        if (with.depth[i] < without.depth[i] - 1e-6f) out.push_back(i);
    return out;
}

// Hue in degrees (0..360) and saturation of a pixel.
float hue(const unsigned char* p, float* sat = nullptr) {
    float r = p[0] / 255.0f, g = p[1] / 255.0f, b = p[2] / 255.0f;
    float mx = std::max({r, g, b}), mn = std::min({r, g, b}), c = mx - mn;
    if (sat) *sat = mx > 0 ? c / mx : 0;
    if (c <= 0) return 0;
    float h = mx == r ? std::fmod((g - b) / c + 6, 6.0f) : mx == g ? (b - r) / c + 2 : (r - g) / c + 4;
    return h * 60;
}

float hue_distance(float a, float b) {
    float d = std::fabs(a - b);
    return std::min(d, 360 - d);
}

// Median hue of the saturated pixels among `at`.
float median_hue(const Picture& p, const std::vector<size_t>& at) {
    std::vector<float> hues;
    for (size_t i : at) {
        float sat, h = hue(&p.px[i * 4], &sat);
        if (sat > 0.25f) hues.push_back(h);
    }
    return percentile(hues, 0.5f);
}

// ---------------------------------------------------------------- texts

// Contrast of the text in a window rectangle: its glyphs' brightest pixels
// against the brightest tenth of the rest; 0 for a rectangle too small.
float rect_contrast(const Picture& p, float ax, float ay, float bx, float by) {
    std::vector<float> all;
    for (int y = std::max(0, (int)ay); y < std::min(p.h, (int)by); y++)
        for (int x = std::max(0, (int)ax); x < std::min(p.w, (int)bx); x++) all.push_back(p.light(x, y));
    if (all.size() < 16) return 0;
    float text = percentile(all, 0.99f), mid = (text + percentile(all, 0.5f)) / 2;
    std::vector<float> ground;
    for (float v : all)
        if (v < mid / 2) ground.push_back(v);  // clear of the glyphs and their soft edges
    return ratio(text, percentile(ground, 0.9f));
}

// Worst contrast of the labels below `root` that show text.
float text_contrast(Harness& h, Container& root, const char* name, std::string* worst) {
    std::vector<Widget*> labels = find_widgets(&root, [](Widget* w) {
        Label* l = dynamic_cast<Label*>(w);
        return l && l->txt && std::string(l->txt).find_first_not_of(' ') != std::string::npos;
    });
    Picture p = take(h, name);
    float least = 100;
    for (Widget* w : labels) {
        MyRect r = w->get_abs_rect(false);
        float ax, ay, bx, by;
        h.to_window((float)r.x, (float)r.y, &ax, &ay);
        h.to_window((float)(r.x + r.w), (float)(r.y + r.h), &bx, &by);
        float c = rect_contrast(p, ax, ay, bx, by);
        if (c > 0 && c < least) least = c, *worst = static_cast<Label*>(w)->txt;
    }
    printf("%s: %.1f (\"%s\")\n", name, least, worst->c_str());
    return least;
}

// Worst contrast of the words and numbers of the play screen's status
// corner, each measured on its own (the words are the dimmer).
float status_contrast(Harness& h, const char* name, std::string* worst) {
    Picture p = take(h, name);
    int f1 = font_load("font1");
    int lh = font_get_height(f1, "", 0);
    GfxRect view = gfx_get_view();
    float least = 100;
    std::vector<LevelStatusLine> lines = level_status_lines(h.game().level);
    for (size_t i = 0; i < lines.size(); i++) {
        float right = view.x + view.w - 10, top = view.y + 10 + (float)(i * lh);
        float vw = (float)font_get_width(f1, lines[i].second.c_str());
        float ww = (float)font_get_width(f1, lines[i].first.c_str());
        const struct {
            float x0, x1;
            const std::string& text;
        } parts[] = {{right - vw, right, lines[i].second}, {right - vw - 6 - ww, right - vw - 6, lines[i].first}};
        for (const auto& part : parts) {
            if (part.text.empty()) continue;
            float ax, ay, bx, by;
            h.to_window(part.x0, top, &ax, &ay);
            h.to_window(part.x1, top + (float)lh, &bx, &by);
            float c = rect_contrast(p, ax, ay, bx, by);
            if (c > 0 && c < least) least = c, *worst = part.text;
        }
    }
    printf("%s: %.1f (\"%s\")\n", name, least, worst->c_str());
    return least;
}

struct WindowSize {
    int w, h;
};

}  // namespace

// ---------------------------------------------------------------- tests

// 4:3, 16:10, 16:9 and 21:9: a floor square keeps its shape, the bar spans
// the window's bottom and its buttons answer there, the pause button sits in
// the top-left corner, and a click on a map cell walks there.
TEST(Readable, AnyWindowShapeKeepsItsShapeAndItsClicks) {
    const WindowSize sizes[] = {{1024, 768}, {1280, 800}, {1280, 720}, {1920, 1080}, {1920, 823}};
    float reference = 0;
    for (const WindowSize& s : sizes) {
        SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
        Harness h(s.w, s.h);
        h.start();
        Game& g = h.game();
        build_room(h);
        ASSERT_EQ(STATE_LEVEL, g.state);
        h.tick();
        take(h, ("shape-" + std::to_string(s.w) + "x" + std::to_string(s.h)).c_str());

        // A floor cell seen diagonally: its width over its height is the camera's, not the window's.
        float lx, ly, rx, ry, tx, ty, bx, by;
        ASSERT_TRUE(project(64, 0, 65, &lx, &ly) && project(65, 0, 64, &rx, &ry));
        ASSERT_TRUE(project(64, 0, 64, &tx, &ty) && project(65, 0, 65, &bx, &by));
        float shape = std::hypot(rx - lx, ry - ly) / std::hypot(bx - tx, by - ty);
        if (reference == 0) reference = shape;
        EXPECT_NEAR(shape, reference, reference * 0.02f);
        GfxRect sq = gfx_rect_to_hwrect(GfxRect(100, 100, 96, 96));
        EXPECT_NEAR(sq.w, sq.h, 0.5f) << "a square button stays square";

        // The bar and the pause button keep to the window's edges.
        GfxRect view = gfx_get_view();
        float wx, wy;
        h.to_window(view.x + view.w, view.y + view.h, &wx, &wy);
        EXPECT_NEAR(wx, s.w, 1);
        EXPECT_NEAR(wy, s.h, 1);
        g.level.inventory[D_BOMB4] = 1;
        int stock = g.level.inventory[D_BOMB4];
        h.click(view.x + view.w - WBOMB_SIZE / 2.0f, view.y + view.h - WBOMB_SIZE / 2.0f);
        EXPECT_TRUE(logic_find(g, D_BOMB4) || g.level.inventory[D_BOMB4] != stock) << "the last bomb button";

        // A click on a cell two steps away walks the player there.
        Entity* p = logic_find(g, D_PLAYER);
        ASSERT_TRUE(p);
        int gx = _logic_cell(p->x), gy = _logic_cell(p->y) - 2;
        ASSERT_TRUE(h.click_cell(gx, gy));
        EXPECT_TRUE(h.tick_until([&] { return p->x == gx && p->y == gy; }, 120)) << "walked to the cell clicked";

        h.click(view.x + 20, view.y + 20);
        EXPECT_EQ(STATE_PAUSE, g.state) << "the pause button";

        // So do the editor's palette and turn buttons: the last tile in the
        // window's bottom right corner, a click on it chooses it.
        g.next(STATE_EDIT);
        h.tick(2);
        take(h, ("editor-" + std::to_string(s.w) + "x" + std::to_string(s.h)).c_str());
        Container& editor = gui_of(STATE_EDIT);
        Widget* palette = editor.find("palette");
        ASSERT_TRUE(palette);
        MyRect at = palette->get_abs_rect(true);
        EXPECT_NEAR(at.x + at.w, view.x + view.w, 1);
        EXPECT_NEAR(at.y + at.h, view.y + view.h, 1);
        int last = _edit_map[EDIT_PALETTE_ROWS * (EDIT_PALETTE_COLS - 1)];
        Widget* corner = editor.find(std::to_string(last).c_str());
        ASSERT_TRUE(corner);
        at = corner->get_abs_rect(true);
        h.click(at.x + at.w / 2.0f, at.y + at.h / 2.0f);
        EXPECT_EQ(_edit_cur, last) << "the palette's top right tile";
    }
}

// At the start of every tutorial the map is bright enough to read and framed,
// while shadow and dark floors stay at most half as bright as lit floor.
TEST(Readable, EveryTutorialStartsLitAndFramed) {
    const WindowSize sizes[] = {{960, 720}, {1920, 1080}};
    for (const WindowSize& s : sizes) {
        Harness h(s.w, s.h);
        h.start();
        int n = tutorial_count(h);
        ASSERT_GT(n, 0);
        for (int i = 0; i < n; i++) {
            start_tutorial(h, i);
            ASSERT_EQ(STATE_LEVEL, h.game().state);
            std::string name = "tutorial-" + std::to_string(i + 1) + "-" + std::to_string(s.w);
            SCOPED_TRACE(name);
            Light l = measure_light(h, take(h, name.c_str()));
            printf("%s: mean %.3f p90 %.3f floors lit %.3f shadow %.3f dark %.3f\n", name.c_str(), l.mean, l.p90,
                   l.floors[0], l.floors[1], l.floors[2]);
            EXPECT_GE(l.mean, 0.28f);
            EXPECT_GE(l.p90, 0.45f);
            EXPECT_LE(l.floors[1], l.floors[0] / 2) << "shadow";
            EXPECT_LE(l.floors[2], l.floors[0] / 2) << "dark";
            EXPECT_EQ("", framing_fault(h));
        }
    }
}

// The player and guards keep 3:1 against their surroundings on lit floor, in
// shadow, on dark floor and behind a wall (cut away), also alarmed, frozen
// and dying.
TEST(Readable, ActorsStandOutOnAnyFloor) {
    const WindowSize sizes[] = {{960, 720}, {1920, 1080}};
    for (const WindowSize& s : sizes) {
        Harness h(s.w, s.h);
        h.start();
        build_room(h);
        Game& g = h.game();
        ASSERT_EQ(STATE_LEVEL, g.state);
        h.tick();  // then no more ticks: pictures are drawn again without the rules moving anything
        struct Spot {
            const char* floor;
            int x, y;
        } spots[] = {{"lit", 70, 66}, {"shadow", 72, 61}, {"dark", 63, 63}, {"behind-a-wall", 71, 59},
                     {"by-the-window", 79, 64}};
        Entity* p = logic_find(g, D_PLAYER);
        Entity* guard = logic_find(g, D_GUARD);
        ASSERT_TRUE(p && guard);
        for (const Spot& sp : spots) {
            for (Entity* e : {p, guard}) {
                float keep_x = e->x, keep_y = e->y;
                e->x = (float)sp.x;
                e->y = (float)sp.y;
                std::string name = std::string(e == p ? "player-" : "guard-") + sp.floor + "-" + std::to_string(s.w);
                float c = actor_contrast(h, *e, name.c_str());
                printf("%s: %.2f\n", name.c_str(), c);
                EXPECT_GE(c, 3.0f) << name;
                e->x = keep_x;
                e->y = keep_y;
            }
        }
        // Each guard's state shows: alarmed, frozen, dying.
        guard->x = 70;
        guard->y = 66;
        const struct {
            const char* name;
            int state, emp;
        } states[] = {{"running", D_RUN, 0}, {"frozen", D_WALK, 100}, {"dying", D_DEAD, 0}};
        for (const auto& st : states) {
            guard->state = (char)st.state;
            g.level.emp = st.emp;
            std::string name = std::string("guard-") + st.name + "-" + std::to_string(s.w);
            float c = actor_contrast(h, *guard, name.c_str());
            printf("%s: %.2f\n", name.c_str(), c);
            EXPECT_GE(c, 3.0f) << name;
        }
        g.level.emp = 0;
    }
}

// Intro, the status corner of play, pause, win, the tutorial list and the
// online list with its detail panel: every text reads at 4.5:1 or better, on
// a panel, whatever the map shows beneath.
TEST(Readable, TextsOverTheMapSitOnPanels) {
    const WindowSize sizes[] = {{960, 720}, {1920, 1080}};
    for (const WindowSize& s : sizes) {
        SCOPED_TRACE(std::to_string(s.w));
        Harness h(s.w, s.h);
        h.start();
        Game& g = h.game();
        std::string worst, tag = "-" + std::to_string(s.w);

        _menu_cur = 2;
        g.next(STATE_MENU_PLAY);
        h.tick();
        g.level = g._edit;
        g.parent = STATE_MENU_PLAY;
        g.next(STATE_LEVEL);
        h.tick(20);
        ASSERT_EQ(STATE_LEVEL_INTRO, g.state);
        Container& intro = gui_of(STATE_LEVEL_INTRO);
        EXPECT_EQ(1u, find_labels(&intro, "Click to start").size());
        EXPECT_GE(text_contrast(h, intro, ("text-intro" + tag).c_str(), &worst), 4.5f) << worst;

        // The status corner over the lightest floor: the camera as close as it goes.
        h.key(KEY_RETURN);
        g.level.zoom = g.level.tzoom = -25;
        h.tick(2);
        EXPECT_GE(status_contrast(h, ("text-status" + tag).c_str(), &worst), 4.5f) << worst;

        g.next(STATE_PAUSE);
        h.tick(20);
        EXPECT_GE(text_contrast(h, gui_of(STATE_PAUSE), ("text-pause" + tag).c_str(),
                                &worst), 4.5f) << worst;

        g.next(STATE_LEVEL_WIN);
        h.tick(120);
        EXPECT_GE(text_contrast(h, gui_of(STATE_LEVEL_WIN),
                                ("text-win" + tag).c_str(), &worst), 4.5f) << worst;

        // The tutorial list, its status line beside the map's card.
        g.next(STATE_MENU_PLAY);
        h.tick(3);
        EXPECT_GE(text_contrast(h, gui_of(STATE_MENU_PLAY),
                                ("text-tutorials" + tag).c_str(), &worst), 4.5f) << worst;

        // The online list, with two maps stored as a download would store them.
        LevelData keep = g._edit;
        int len = 0;
        const char* data = logic_pack(g, &len);
        ASSERT_TRUE(data);
        std::string packed(data, (size_t)len);
        for (int i = 0; i < 2; i++)
            g.netdb.query("insert into levels (id,name,author,data,title,ts,uid,stars,skulls,intro,value,q) "
                          "values (?,?,?,?,?,?,?,?,?,?,?,?)",
                          {"m" + std::to_string(i), "m" + std::to_string(i), "Ann", packed, "Shared " + std::to_string(i),
                           "0", "g:Ann", "3", "2", "A map to share.", std::to_string(i), "c~newest"});
        g._edit = keep;
        mystrcpy(g.q_value, sizeof(g.q_value), "c~newest");
        mystrcpy(g.q_title, sizeof(g.q_title), "Newest");
        g.next(STATE_MENU_DOWNLOAD2);
        h.tick(40);
        EXPECT_GE(text_contrast(h, gui_of(STATE_MENU_DOWNLOAD2),
                                ("text-online" + tag).c_str(), &worst), 4.5f) << worst;
    }
}

// However wide the window, the map stands on a night ground: at most 15 %
// of a play frame is pure black, close up and from the far zoom.
TEST(Readable, PlayFramesShowAWorldAroundTheMap) {
    const WindowSize sizes[] = {{960, 720}, {1920, 1080}, {2560, 1080}};
    for (const WindowSize& s : sizes) {
        Harness h(s.w, s.h);
        h.start();
        Game& g = h.game();
        for (int map = 0; map < 2; map++) {
            if (map == 0) build_room(h);
            else start_tutorial(h, 0);
            ASSERT_EQ(STATE_LEVEL, g.state);
            for (float zoom : {0.0f, 50.0f}) {
                g.level.zoom = g.level.tzoom = zoom;
                h.tick();
                std::string name = std::string("world-") + (map ? "tutorial-" : "room-") + std::to_string((int)zoom) +
                                   "-" + std::to_string(s.w) + "x" + std::to_string(s.h);
                Picture p = take(h, name.c_str());
                size_t black = 0;
                for (size_t i = 0; i < p.px.size(); i += 4) black += std::max({p.px[i], p.px[i + 1], p.px[i + 2]}) <= 2;
                float share = black / (float)(p.w * p.h);
                printf("%s: pure black %.1f %%\n", name.c_str(), 100 * share);
                EXPECT_LE(share, 0.15f) << name;
            }
        }
    }
}

// From the far zoom at 960 x 720 the player and a guard stand at least 40
// pixels tall.
TEST(Readable, FiguresStandTallAtTheFarZoom) {
    Harness h(960, 720);
    h.start();
    build_room(h);
    Game& g = h.game();
    g.level.zoom = g.level.tzoom = 50;
    h.tick();
    for (int type : {D_PLAYER, D_GUARD}) {
        Entity* e = logic_find(g, type);
        ASSERT_TRUE(e);
        const char* name = type == D_PLAYER ? "tall-player" : "tall-guard";
        Picture with = take(h, name);
        e->active = 0;
        Picture without = take(h, (std::string(name) + "-without").c_str());
        e->active = 1;
        int top = with.h, bottom = -1;
        for (size_t i : figure_pixels(with, without)) {
            int y = (int)(i / with.w);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
        printf("%s: %d px\n", name, bottom - top + 1);
        EXPECT_GE(bottom - top + 1, 40) << name;
    }
}

// Watched cells are far in hue from lamp light and from the guards; a guard
// who sees the player shows a red mark over his head.
TEST(Readable, ThreatsHaveTheirOwnColour) {
    Harness h(960, 720);
    h.start();
    build_room(h);
    Game& g = h.game();
    h.tick();
    Entity* guard = logic_find(g, D_GUARD);
    Entity* p = logic_find(g, D_PLAYER);
    ASSERT_TRUE(guard && p);
    // A lamp over a corner that no guard watches.
    Entity* lamp = logic_next_entity(g);
    ASSERT_TRUE(lamp);
    lamp->active = 1;
    lamp->type = D_LIGHT;
    lamp->x = lamp->y = 59;
    Picture with = take(h, "threat");
    guard->active = 0;
    Picture without = take(h, "threat-without-guard");
    guard->active = 1;
    float lamp_hue = 0, wx, wy;
    ASSERT_TRUE(project(59.5f, 0, 59.5f, &wx, &wy));
    lamp_hue = hue(with.at((int)wx, (int)wy));
    float guard_hue = median_hue(with, figure_pixels(with, without));
    std::vector<size_t> watched;
    int gx = _logic_cell(guard->x), gy = _logic_cell(guard->y);
    for (int y = gy - 10; y <= gy + 10; y++)
        for (int x = gx - 10; x <= gx + 10; x++) {
            if (std::abs(x - gx) + std::abs(y - gy) < 2 || logic_find_at(g, x, y) || !logic_cansee(g, *guard, x, y))
                continue;
            if (project(x + 0.5f, 0, y + 0.5f, &wx, &wy) && wx >= 0 && wy >= 0 && wx < with.w && wy < with.h)
                watched.push_back((size_t)(int)wy * with.w + (int)wx);
        }
    ASSERT_GT(watched.size(), 5u);
    float watch_hue = median_hue(with, watched);
    printf("hues: watched %.0f, lamp light %.0f, guard %.0f: %.0f and %.0f degrees apart\n", watch_hue, lamp_hue,
           guard_hue, hue_distance(watch_hue, lamp_hue), hue_distance(watch_hue, guard_hue));
    EXPECT_GE(hue_distance(watch_hue, lamp_hue), 60);
    EXPECT_GE(hue_distance(watch_hue, guard_hue), 60);

    // The player steps into his view: a red mark over his head.
    int cx = _logic_cell(guard->x), cy = _logic_cell(guard->y);
    for (size_t i = 0; i < 4 && !logic_cansee(g, *guard, _logic_cell(p->x), _logic_cell(p->y)); i++) {
        const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        p->x = (float)(cx + steps[i][0]), p->y = (float)(cy + steps[i][1]);
    }
    ASSERT_TRUE(logic_cansee(g, *guard, _logic_cell(p->x), _logic_cell(p->y)));
    Picture seen = take(h, "threat-seen");
    float head = 1.75f * myview_actor_scale(g.level) + 1.3f;  // the bar of the mark
    ASSERT_TRUE(project(guard->x + 0.5f, head, guard->y + 0.5f, &wx, &wy));
    const unsigned char* mark = seen.at((int)wx, (int)wy);
    EXPECT_GT(mark[0], 180);
    EXPECT_LT(mark[1], 90);
}

// Behind the win panel the map stays in view, dimmed evenly: outside the
// panel the picture keeps over half the brightness it had in play.
TEST(Readable, TheWinShowsTheMapDimmed) {
    Harness h(960, 720);
    h.start();
    build_room(h);
    Game& g = h.game();
    for (Entity& e : g.level.items)
        if (e.type == D_GUARD) e.active = 0;
    Entity* p = logic_find(g, D_PLAYER);
    ASSERT_TRUE(p);
    p->x = 80, p->y = 64;  // beside the window, and no pillar to destroy
    h.tick();
    Picture play = take(h, "win-first-frame");
    int bottom = std::min(play.h, (int)bar_top(h));
    for (int t = 0; t < 200 && g.state != STATE_LEVEL_WIN; t++) h.tick();
    ASSERT_EQ(STATE_LEVEL_WIN, g.state);
    Picture win = take(h, "win");
    Widget* panel = gui_of(STATE_LEVEL_WIN).find("panel");
    ASSERT_TRUE(panel);
    MyRect r = panel->get_abs_rect(true);
    float ax, ay, bx, by;
    h.to_window((float)r.x, (float)r.y, &ax, &ay);
    h.to_window((float)(r.x + r.w), (float)(r.y + r.h), &bx, &by);
    std::vector<float> before, after;
    for (int y = 0; y < bottom; y++)
        for (int x = 0; x < play.w; x++) {
            if (x >= ax && x <= bx && y >= ay && y <= by) continue;
            before.push_back(play.luma(x, y));
            after.push_back(win.luma(x, y));
        }
    float share = percentile(after, 0.5f) / std::max(0.01f, percentile(before, 0.5f));
    printf("the win keeps %.2f of the map's brightness around its panel\n", share);
    EXPECT_GE(share, 0.5f);
}
