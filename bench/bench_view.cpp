// One drawn frame of a busy map at 960 x 720: camera set-up, the map with its
// actors, lights and overlays, and the buffer swap. Run under xvfb-run.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "driver.h"
#include "gfx.h"
#include "harness.h"
#include "myview_quads.h"
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

// Pictures of realistic sizes for every image the map asks for, so that the
// frame costs what it will with the real art.
void _art() {
    GLuint big = _texture(256, 256, 1), sprites = _texture(512, 512, 2), small = _texture(64, 64, 3);
    const char* whole[] = {"floor", "walls"};
    for (const char* n : whole) myview_img_fake(n, (int)big, 256, 256);
    const char* flat[] = {"shadow", "white", "decal-none", "unshadow", "player-glow"};
    for (const char* n : flat) myview_img_fake(n, (int)small, 96, 96);
    const char* actors[] = {"guard", "player", "lamp", "plant", "cartridge", "item-bomb1", "blast", "bomb"};
    for (const char* n : actors) myview_img_fake(n, (int)sprites, 96, n[0] == 'b' ? 192 : 96);
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

// Rooms of walls with doors, towers at the corners, windows, crates, pillars,
// dark corridors, plants and items, twelve guards, eight lamps and a blast.
void _busy_map(Game& g) {
    LevelData& lev = g.level;
    memset(&lev, 0, sizeof(lev));
    memset(&g.ext.info, 0, sizeof(g.ext.info));
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++) {
            bool border = x < MAP_MIN || y < MAP_MIN || x > MAP_MAX || y > MAP_MAX;
            int t = border ? T_BORDER : T_FLOOR;
            if (!border && (x % 8 == 0 || y % 8 == 0) && (x + y) % 8 != 4) t = T_WALL;
            if (!border && x % 8 == 0 && y % 8 == 0) t = T_TOWER;
            if (t == T_WALL && (x * 7 + y) % 13 == 0) t = T_WINDOW;
            if (t == T_FLOOR && (x * 5 + y * 3) % 17 == 0) t = T_CRATE;
            if (t == T_FLOOR && (x * 3 + y * 11) % 29 == 0) t = T_PLANT;
            if (t == T_FLOOR && (x + y * 7) % 31 == 0) t = T_ITEM;
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
    int slot = 0;
    _entity(lev, slot++, D_PLAYER, C + 1, C + 1, "player");
    for (int i = 0; i < 12; i++)
        _entity(lev, slot++, D_GUARD, (float)(C - 12 + (i % 6) * 5), (float)(C - 6 + (i / 6) * 9), "guard");
    for (int i = 0; i < 8; i++)
        _entity(lev, slot++, D_LIGHT, (float)(C - 10 + i * 3), (float)(C + (i % 2) * 5 - 3), "lamp", i % 5);
    _entity(lev, slot++, D_BLAST, C + 3, C - 2, "blast");
    _entity(lev, slot++, D_BOMB2, C - 2, C + 3, "bomb");
    lev.pan_x = lev.pan_y = C + 0.5f;
    lev.rotate = lev.trotate = 45;
    lev.focus_x = lev.focus_y = C + 2.5f;
}

Harness* _harness() {
    static Harness* h = nullptr;
    if (!h) {
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

void BM_ViewFrame(benchmark::State& st, int screen, int zoom) {
    Game& g = _harness()->game();
    _busy_map(g);
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

}  // namespace

BENCHMARK_CAPTURE(BM_ViewFrame, play, STATE_LEVEL, 0)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_ViewFrame, play_far, STATE_LEVEL, 50)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
BENCHMARK_CAPTURE(BM_ViewFrame, editor, STATE_EDIT, 0)
    ->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Repetitions(5);
