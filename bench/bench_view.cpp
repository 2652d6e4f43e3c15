// One drawn frame of a busy map at 960 x 720: camera set-up, the map with its
// actors, lights and overlays, and the buffer swap; and the frames of the
// menus, drawn in full and at rest. Run under xvfb-run.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver.h"
#include "engine.h"
#include "gfx.h"
#include "harness.h"
#include "logic.h"
#include "myview_internal.h"
#include "util.h"

namespace {

// Tile numbers of the shipped catalogue (data/tiles.json).
enum {
    T_FLOOR = 1, T_DARK = 2, T_WALL = 5, T_TOWER = 6, T_WINDOW = 7, T_PILLAR = 21, T_CRATE = 22,
    T_ITEM = 24, T_PLANT = 29, T_BORDER = 32
};

const int C = 64;

GLuint _texture(int w, int h, unsigned seed) {
    std::vector<unsigned char> px((size_t)w * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        unsigned v = (unsigned)(i * 2654435761u + seed) >> 24;
        px[i] = (unsigned char)v;
        px[i + 1] = (unsigned char)(v / 2 + 64);
        px[i + 2] = (unsigned char)(255 - v);
        px[i + 3] = (i / 4) % 7 ? 255 : 0;  // some holes for the alpha test
    }
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    // As the driver loads the real art: trilinear mipmaps.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return tex;
}

// The shipped art when it is in the data folder; otherwise pictures of the
// same sizes, so that the frame costs what it will with the real art.
void _art() {
    if (myview_img("walls") && myview_img("floor") && myview_img("guard-walk-1-0")) return;
    GLuint big = _texture(512, 512, 1), sheet = _texture(1024, 1024, 2), marks = _texture(256, 256, 3);
    const char* whole[] = {"floor", "walls"};
    for (const char* n : whole) myview_img_fake(n, (int)big, 512, 512);
    const char* flat[] = {"shadow", "white", "decal-none", "unshadow", "player-glow"};
    for (const char* n : flat) myview_img_fake(n, (int)marks, 128, 128);
    const char* actors[] = {"guard-walk-1-0", "player-walk-1-0", "plant", "cartridge", "item-bomb1", "bomb2"};
    for (const char* n : actors) myview_img_fake(n, (int)sheet, 96, 96);
    myview_img_fake("blast-3", (int)sheet, 48, 168);
}

void _entity(LevelData& lev, int slot, int type, float x, float y, const char* iname, int value = 0) {
    Entity& e = lev.items[slot];
    memset(&e, 0, sizeof(e));
    e.active = 1;
    e.type = (char)type;
    e.n = slot;
    e.x = x;
    e.y = y;
    e.value = value;
    mystrcpy(e.iname, sizeof(e.iname), iname);
}

// Rooms of 7 x 7 cells with doors, towers at the corners, windows, a pillar
// in each room, crates, a plant and an item in about every room, dark
// corridors, twelve guards, eight lamps, a blast and a bomb.
void _busy_map(Game& g, bool bare) {
    LevelData& lev = g.level;
    memset(&lev, 0, sizeof(lev));
    memset(&g.ext.info, 0, sizeof(g.ext.info));
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++) {
            bool border = x < MAP_MIN || y < MAP_MIN || x > MAP_MAX || y > MAP_MAX;
            int t = border ? T_BORDER : T_FLOOR;
            if (bare) {  // floor only: what one full layer costs
                lev.data[y][x] = (unsigned char)t;
                continue;
            }
            if (!border && (x % 8 == 0 || y % 8 == 0) && (x + y) % 8 != 4) t = T_WALL;
            if (!border && x % 8 == 0 && y % 8 == 0) t = T_TOWER;
            if (t == T_WALL && (x * 7 + y) % 13 == 0) t = T_WINDOW;
            if (t == T_FLOOR && (x * 5 + y * 3) % 23 == 0) t = T_CRATE;
            if (t == T_FLOOR && (x * 3 + y * 11) % 53 == 0) t = T_PLANT;
            if (t == T_FLOOR && (x + y * 7) % 61 == 0) t = T_ITEM;
            if (t == T_FLOOR && x % 8 == 4 && y % 8 == 4) t = T_PILLAR;
            if (t == T_FLOOR && y % 16 == 2) t = T_DARK;
            lev.data[y][x] = (unsigned char)t;
        }
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++) {
            const TileData& t = g.tiles[lev.data[y][x]];
            unsigned char& f = g.ext.info[y][x];
            if (t.solid) f |= INFO_SOLID;
            if (t.opaque) f |= INFO_OPAQUE;
            if (t.type == D_DARK) f |= INFO_DARK;
            bool casts = t.shadow > 0;
            if (!casts && y > 0 && g.tiles[lev.data[y - 1][x]].shadow >= 1) f |= INFO_SHADOW;
            if (!casts && y > 1 && g.tiles[lev.data[y - 2][x]].shadow >= 2) f |= INFO_SHADOW;
            if ((x / 4 + y / 4) % 3 == 0) f |= INFO_LIT;
        }
    lev.pan_x = lev.pan_y = C + 0.5f;
    lev.rotate = lev.trotate = 45;
    lev.focus_x = lev.focus_y = C + 2.5f;
    if (bare) return;
    int slot = 0;
    _entity(lev, slot++, D_PLAYER, C + 1, C + 1, "player-walk-1-0");
    for (int i = 0; i < 12; i++)
        _entity(lev, slot++, D_GUARD, (float)(C - 12 + (i % 6) * 5), (float)(C - 6 + (i / 6) * 9), "guard-walk-1-0");
    for (int i = 0; i < 8; i++)
        _entity(lev, slot++, D_LIGHT, (float)(C - 10 + i * 3), (float)(C + (i % 2) * 5 - 3), "", i % 5);
    _entity(lev, slot++, D_BLAST, C + 3, C - 2, "blast-3");
    _entity(lev, slot++, D_BOMB2, C - 2, C + 3, "bomb2");
}

Harness* _harness() {
    static Harness* h = nullptr;
    if (!h) {
        // Mesa's software renderer, as on a machine without a graphics card.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        if (!getenv("ALSOFT_DRIVERS")) setenv("ALSOFT_DRIVERS", "null", 1);
        h = new Harness(CANVAS_W, CANVAS_H);
        h->start();
        _art();
    }
    return h;
}

void _frame(Game& g) {
    gfx_clear();
    g.gfx_3d();
    myview_paint(g);
    g.gfx_2d();
    g.gfx_3d();
    driver_video_flip();
}

void BM_ViewFrame(benchmark::State& st, int screen, int zoom, bool bare) {
    Game& g = _harness()->game();
    _busy_map(g, bare);
    g.state = screen;
    g.level.zoom = g.level.tzoom = (float)zoom;
    memcpy(&g._edit, &g.level, sizeof(g.level));
    for (int i = 0; i < 3; i++) _frame(g);
    for (auto _ : st) _frame(g);
    int quads = 0;
    for (MyQuads* b : myview_batches) quads += b->n;
    st.counters["quads"] = quads;
    st.counters["radius"] = g.level.view_cd;
}

// A shipped map as the play screen shows it after a few ticks.
void BM_ViewTutorial(benchmark::State& st, const char* lid) {
    Game& g = _harness()->game();
    logic_load(g, g.gamedb, lid);
    if (strcmp(g._edit.id, lid) != 0) {
        st.SkipWithError("the tutorial map is not in the data folder");
        return;
    }
    g.state = STATE_LEVEL;
    for (int i = 0; i < 10; i++) {
        logic_info(g);
        logic_loop(g);
    }
    for (int i = 0; i < 3; i++) _frame(g);
    for (auto _ : st) _frame(g);
    int quads = 0;
    for (MyQuads* b : myview_batches) quads += b->n;
    st.counters["quads"] = quads;
}

// The view's own share of a frame: building the batches, without drawing.
void BM_ViewBuild(benchmark::State& st) {
    Game& g = _harness()->game();
    _busy_map(g, false);
    g.state = STATE_LEVEL;
    for (int i = 0; i < 3; i++) _frame(g);
    for (auto _ : st) myview_build(g);
}

// ---------------------------------------------------------------- menus

// A menu screen entered as the player enters it, its fades settled.
Game& _menu(int screen) {
    Game& g = _harness()->game();
    g.next(screen);
    _harness()->tick(40);
    return g;
}

// A menu frame drawn in full, as on a tick that changes anything in it.
void BM_MenuFrame(benchmark::State& st, int screen) {
    _menu(screen);
    State* s = _game_states[screen];
    for (auto _ : st) {
        gfx_clear();
        s->paint();
        driver_video_flip();
    }
}

// A tick's frame of a menu at rest, as the shell runs it.
void BM_MenuTick(benchmark::State& st, int screen) {
    Game& g = _menu(screen);
    for (auto _ : st) g.paint();
}

}  // namespace

BENCHMARK_CAPTURE(BM_MenuFrame, main, STATE_MENU_MAIN)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_MenuFrame, tutorials, STATE_MENU_PLAY)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_MenuFrame, credits, STATE_MENU_CREDITS)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_MenuTick, main, STATE_MENU_MAIN)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_MenuTick, tutorials, STATE_MENU_PLAY)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_ViewTutorial, heist, "t10")
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK(BM_ViewBuild)->Unit(benchmark::kMillisecond)->Repetitions(5);
// CPU time of the whole process: Mesa's software renderer draws on threads of
// its own.
BENCHMARK_CAPTURE(BM_ViewFrame, play, STATE_LEVEL, 0, false)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_ViewFrame, play_far, STATE_LEVEL, 50, false)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_ViewFrame, editor, STATE_EDIT, 0, false)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_ViewFrame, floor_only, STATE_MENU_MAIN, 0, true)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
