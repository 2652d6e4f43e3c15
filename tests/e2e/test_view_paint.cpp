// Drawing a map: which faces, floors, sprites and lights a frame collects into
// its batches, what the editor adds, damaged records, heap use of a steady
// frame, and a few pixels of the drawn picture.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "gfx.h"
#include "harness.h"
#include "myview_internal.h"
#include "util.h"

// ---------------------------------------------------------------- counting heap use

// Counts operator new while _count_news is set, on the drawing thread only
// (the mixer and the software renderer have threads of their own); everything
// goes through malloc and free so that AddressSanitizer still pairs every block.
static thread_local bool _count_news = false;
static long _news = 0;

static void* _alloc(std::size_t n) {
    if (_count_news) _news++;
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
static void* _alloc_aligned(std::size_t n, std::align_val_t al) {
    if (_count_news) _news++;
    std::size_t a = (std::size_t)al;
    void* p = std::aligned_alloc(a, (n + a - 1) / a * a);
    if (!p) throw std::bad_alloc();
    return p;
}

void* operator new(std::size_t n) { return _alloc(n); }
void* operator new[](std::size_t n) { return _alloc(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new(std::size_t n, std::align_val_t a) { return _alloc_aligned(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return _alloc_aligned(n, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

// Tile numbers of the shipped catalogue (data/tiles.json).
enum {
    T_EMPTY = 0, T_FLOOR = 1, T_DARK = 2, T_WALL = 5, T_TOWER = 6, T_WINDOW = 7,
    T_ARROW_EAST = 10, T_PILLAR = 21, T_CRATE = 22, T_ITEM = 24, T_PLANT = 29, T_BORDER = 32
};

const int C = 64;  // the camera looks at the middle of cell (C, C)

struct Corner {
    float x, y, z;
};

Corner corner(const MyQuad& q, int k) {  // k 0..3: p1..p4
    const float* v = q.tris[k].verts;
    return {v[0], v[1], v[2]};
}

// Middle of a quad's p1 and p4.
Corner mid(const MyQuad& q) {
    Corner a = corner(q, 0), b = corner(q, 3);
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2};
}

bool has_normal(const MyQuad& q, float nx, float ny, float nz) {
    const float* n = q.tris[0].normal;
    return n[0] == nx && n[1] == ny && n[2] == nz;
}

// Quads of a batch whose middle lies over cell (x, y).
int over_cell(const MyQuads& b, int x, int y) {
    int k = 0;
    for (int i = 0; i < b.n; i++) {
        Corner m = mid(b.quads[i]);
        k += m.x >= x && m.x <= x + 1 && m.z >= y && m.z <= y + 1;
    }
    return k;
}

// Quads of a batch with a given normal whose middle has the given x (or z).
int faces_at(const MyQuads& b, float nx, float nz, float at) {
    int k = 0;
    for (int i = 0; i < b.n; i++) {
        const MyQuad& q = b.quads[i];
        if (!has_normal(q, nx, 0, nz)) continue;
        Corner m = mid(q);
        k += (nx != 0 ? m.x : m.z) == at;
    }
    return k;
}

int total_quads() {
    int n = 0;
    for (MyQuads* b : myview_batches) n += b->n;
    return n;
}

class ViewPaint : public ::testing::Test {
protected:
    Harness h;
    Game* g = nullptr;
    GLuint white_tex = 0;
    int walls = 0;

    void SetUp() override {
        h.start();
        g = &h.game();
        ASSERT_EQ(T_WALL, g->tiles[T_WALL].n) << "the tile catalogue did not load";
        memset(&g->level, 0, sizeof(g->level));
        memset(&g->_edit, 0, sizeof(g->_edit));
        memset(&g->ext.info, 0, sizeof(g->ext.info));
        for (int y = MAP_MIN; y <= MAP_MAX; y++)
            for (int x = MAP_MIN; x <= MAP_MAX; x++) g->level.data[y][x] = T_FLOOR;
        g->level.pan_x = g->level.pan_y = C + 0.5f;
        g->state = STATE_MENU_MAIN;
        _myview.overhead = 0;
        fake_art();
    }

    void TearDown() override { _myview.overhead = 0; }

    // A texture of one colour.
    GLuint solid(const unsigned char* rgba) {
        GLuint tex = 0;
        glGenTextures(1, &tex);
        glBindTexture(GL_TEXTURE_2D, tex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return tex;
    }

    // A plain white texture behind every picture the view asks for.
    void fake_art() {
        const unsigned char px[4 * 4] = {255, 255, 255, 255, 255, 255, 255, 255,
                                         255, 255, 255, 255, 255, 255, 255, 255};
        glGenTextures(1, &white_tex);
        glBindTexture(GL_TEXTURE_2D, white_tex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
        const char* names[] = {"floor", "shadow", "white", "decal-none", "unshadow", "player-glow",
                               "plant", "item-bomb1", "icon-plant", "decal-arrow3", "decal-player"};
        for (const char* n : names) ASSERT_NE(0, myview_img_fake(n, (int)white_tex, 96, 96));
        walls = myview_img_fake("walls", (int)white_tex, 96, 96);
        // Around the map a black ground, so that what the map draws stands
        // alone on black.
        const unsigned char black[4] = {0, 0, 0, 255};
        myview_img_fake("ground", (int)solid(black), 96, 96);
        myview_img_fake("guard", (int)white_tex, 96, 96);
        myview_img_fake("blast", (int)white_tex, 96, 192);
        myview_img_fake("bomb", (int)white_tex, 48, 48);
    }

    void paint() {
        g->gfx_3d();
        myview_paint(*g);
    }

    Entity& entity(int slot, int type, float x, float y, const char* iname = "") {
        Entity& e = g->level.items[slot];
        memset(&e, 0, sizeof(e));
        e.active = 1;
        e.type = (char)type;
        e.n = slot;
        e.x = x;
        e.y = y;
        mystrcpy(e.iname, sizeof(e.iname), iname);
        return e;
    }

    // Faces of a wall block on (x, y), seen from an eye at (ex, ey, ez).
    MyQuads& block(int x, int y, float ex, float ez, int imul = 1) {
        static MyQuads q;
        q.reset();
        _myview.dquads.reset();
        _myview.eye = CVector3(ex, 40, ez);
        my_block(*g, q, walls, (float)x, (float)y, 0, MYVIEW_WALL_HEIGHT, 0, MYVIEW_POP_SAME, imul);
        return q;
    }

    // The colour drawn at a world point, read from the frame not yet shown.
    unsigned int pixel_at(float x, float y, float z) {
        GLdouble model[16], proj[16], wx, wy, wz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(x, y, z, model, proj, vp, &wx, &wy, &wz);
        unsigned char p[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels((int)wx, (int)wy, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return ((unsigned)p[0] << 16) | ((unsigned)p[1] << 8) | p[2];
    }
};

unsigned red(unsigned c) { return c >> 16; }
unsigned green(unsigned c) { return (c >> 8) & 0xFF; }
unsigned blue(unsigned c) { return c & 0xFF; }

}  // namespace

// ---------------------------------------------------------------- blocks

TEST_F(ViewPaint, EqualTilesFourToSevenShareNoFaces) {
    LevelData& lev = g->level;
    // Pairs side by side on row C: (left tile, right tile, faces kept between them).
    const int pairs[][3] = {{T_WALL, T_WALL, 0}, {T_TOWER, T_TOWER, 0}, {T_WINDOW, T_WINDOW, 0},
                            {T_WALL, T_TOWER, 1}, {T_WALL, T_CRATE, 1}, {T_CRATE, T_WALL, 1},
                            {T_CRATE, T_CRATE, 1}, {T_PILLAR, T_PILLAR, 1}};
    for (const auto& p : pairs) {
        lev.data[C][C] = (unsigned char)p[0];
        lev.data[C][C + 1] = (unsigned char)p[1];
        // The left block's east face shows from the east, the right block's west face from the west.
        EXPECT_EQ(p[2], faces_at(block(C, C, 200, C + 0.5f), 1, 0, C + 1)) << p[0] << "," << p[1];
        EXPECT_EQ(p[2], faces_at(block(C + 1, C, -200, C + 0.5f), -1, 0, C + 1)) << p[0] << "," << p[1];
        // The faces away from the pair stay.
        EXPECT_EQ(1, faces_at(block(C + 1, C, 200, C + 0.5f), 1, 0, C + 2));
        EXPECT_EQ(1, faces_at(block(C, C, -200, C + 0.5f), -1, 0, C));
    }
    // The same along a column: south and north faces.
    lev.data[C][C] = lev.data[C + 1][C] = T_WALL;
    EXPECT_EQ(0, faces_at(block(C, C, C + 0.5f, 200), 0, 1, C + 1));
    EXPECT_EQ(0, faces_at(block(C, C + 1, C + 0.5f, -200), 0, -1, C + 1));
}

TEST_F(ViewPaint, BlockFacesAwayFromTheEyeAreDropped) {
    g->level.data[C][C] = T_WALL;
    MyQuads& q = block(C, C, 200, 200);
    EXPECT_EQ(3, q.n);  // top, south and east
    EXPECT_EQ(1, faces_at(q, 0, 1, C + 1));
    EXPECT_EQ(1, faces_at(q, 1, 0, C + 1));
    MyQuads& r = block(C, C, -200, -200);
    EXPECT_EQ(3, r.n);  // top, north and west
    EXPECT_EQ(1, faces_at(r, 0, -1, C));
    EXPECT_EQ(1, faces_at(r, -1, 0, C));
}

TEST_F(ViewPaint, FacesTowardsADarkCellGoToTheirOwnPass) {
    g->level.data[C][C] = T_WALL;
    g->ext.info[C][C + 1] = INFO_DARK;
    MyQuads& q = block(C, C, 200, 200);
    EXPECT_EQ(2, q.n);
    EXPECT_EQ(0, faces_at(q, 1, 0, C + 1));
    ASSERT_EQ(1, _myview.dquads.n);
    EXPECT_TRUE(has_normal(_myview.dquads.quads[0], 1, 0, 0));
    // Overlay blocks (imul 0) keep every face together.
    MyQuads& o = block(C, C, 200, 200, 0);
    EXPECT_EQ(3, o.n);
    EXPECT_EQ(0, _myview.dquads.n);
}

TEST_F(ViewPaint, NeighboursOutsideTheGridAreOtherTilesWithoutFlags) {
    LevelData& lev = g->level;
    for (int i = 0; i < MAP_SIZE; i++) lev.data[0][i] = lev.data[i][0] = lev.data[127][i] = lev.data[i][127] = T_WALL;
    EXPECT_EQ(3, block(127, 127, 400, 400).n);
    EXPECT_EQ(1, faces_at(block(127, 127, 400, 400), 1, 0, 128));
    EXPECT_EQ(3, block(0, 0, -400, -400).n);
    EXPECT_EQ(1, faces_at(block(0, 0, -400, -400), -1, 0, 0));
    EXPECT_EQ(0, _myview.dquads.n);
}

TEST_F(ViewPaint, TextureCoordinatesFollowTheCellAndTheFace) {
    g->level.data[C + 2][C + 3] = T_WALL;  // x mod 5 = 2, y mod 5 = 1
    MyQuads& q = block(C + 3, C + 2, 200, 200);
    ASSERT_EQ(3, q.n);
    const MyQuad& top = q.quads[0];
    ASSERT_TRUE(has_normal(top, 0, 1, 0));
    EXPECT_FLOAT_EQ(0.4f, top.tris[2].coords[0]);  // p3 gets (tx, ty)
    EXPECT_FLOAT_EQ(0.2f, top.tris[2].coords[1]);
    EXPECT_FLOAT_EQ(0.6f, top.tris[1].coords[0]);  // p2 gets (tx + tw, ty + th)
    EXPECT_FLOAT_EQ(0.4f, top.tris[1].coords[1]);
    EXPECT_EQ((int)white_tex, q.tex_of(0));
    // East faces use the lower half of the texture.
    for (int i = 0; i < q.n; i++)
        if (has_normal(q.quads[i], 1, 0, 0)) {
            EXPECT_FLOAT_EQ(0.5f, q.quads[i].tris[2].coords[1]);
            EXPECT_FLOAT_EQ(0.9f, q.quads[i].tris[0].coords[1]);
        }
}

TEST_F(ViewPaint, ImageZeroAddsNothing) {
    MyQuads q;
    my_block(*g, q, 0, C, C, 0, 1, 0, MYVIEW_POP_SAME, 1);
    q.img_quad(0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1, false);
    q.img_quad(GFX_IMG_MAX + 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1, false);
    EXPECT_EQ(0, q.n);
    EXPECT_EQ(0, myview_img("no-such-image"));
}

// ---------------------------------------------------------------- the cell pass

TEST_F(ViewPaint, FloorsGoToThePassOfTheirLight) {
    LevelData& lev = g->level;
    g->ext.info[C][C] = INFO_DARK | INFO_SHADOW;
    g->ext.info[C][C + 1] = INFO_SHADOW;
    lev.data[C][C + 2] = T_EMPTY;
    g->ext.info[C + 1][C] = INFO_PIT_EDGE;
    paint();
    EXPECT_EQ(1, over_cell(_myview.dark, C, C));
    EXPECT_EQ(0, over_cell(_myview.shadow, C, C));
    EXPECT_EQ(1, over_cell(_myview.shadow, C + 1, C));
    EXPECT_EQ(0, over_cell(_myview.floors, C + 1, C));
    EXPECT_EQ(0, over_cell(_myview.floors, C + 2, C));  // tile 0 has no floor
    EXPECT_EQ(1, over_cell(_myview.floors, C - 1, C));
    // A pit edge: no floor; a block from -4 to 0 whose top is the floor.
    EXPECT_EQ(0, over_cell(_myview.floors, C, C + 1));
    EXPECT_GE(over_cell(_myview.pits, C, C + 1), 1);
    for (int i = 0; i < _myview.pits.n; i++) {
        EXPECT_GE(corner(_myview.pits.quads[i], 0).y, -4.0f);
        EXPECT_LE(corner(_myview.pits.quads[i], 3).y, 0.0f);
    }
    EXPECT_EQ(0, _myview.quads.n);
}

TEST_F(ViewPaint, BlocksByViewCode) {
    LevelData& lev = g->level;
    lev.data[C][C] = T_WALL;
    lev.data[C][C + 2] = T_TOWER;
    lev.data[C][C + 4] = T_PILLAR;
    lev.data[C + 2][C] = T_CRATE;
    lev.data[C + 2][C + 2] = T_WINDOW;
    paint();
    auto top_of = [](const MyQuads& b, int x, int y) {
        float t = -100;
        for (int i = 0; i < b.n; i++) {
            Corner m = mid(b.quads[i]);
            if (m.x >= x && m.x <= x + 1 && m.z >= y && m.z <= y + 1 && has_normal(b.quads[i], 0, 1, 0))
                t = std::fmax(t, m.y);
        }
        return t;
    };
    EXPECT_FLOAT_EQ(2.5f, top_of(_myview.quads, C, C));
    EXPECT_FLOAT_EQ(5.0f, top_of(_myview.quads, C + 2, C));
    EXPECT_FLOAT_EQ(1.25f, top_of(_myview.quads, C, C + 2));
    EXPECT_FLOAT_EQ(2.5f, top_of(_myview.quads, C + 2, C + 2));
    EXPECT_EQ(6, over_cell(_myview.quads, C + 2, C + 2));  // two blocks of three faces
    EXPECT_FLOAT_EQ(2.675f, top_of(_myview.pillars, C + 4, C));
    EXPECT_EQ(0, over_cell(_myview.quads, C + 4, C));
    EXPECT_EQ(12, over_cell(_myview.pillars, C + 4, C));  // four blocks of three faces
}

TEST_F(ViewPaint, TheBorderIsDrawnOnlyInTheEditor) {
    LevelData& lev = g->level;
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++)
            if (x < MAP_MIN || y < MAP_MIN || x > MAP_MAX || y > MAP_MAX) lev.data[y][x] = T_BORDER;
    lev.pan_x = lev.pan_y = 6;
    auto border_quads = [] {
        int k = 0;
        for (MyQuads* b : myview_batches)
            for (int i = 0; i < b->n; i++) {
                Corner m = mid(b->quads[i]);
                k += m.x < MAP_MIN - 0.01f || m.z < MAP_MIN - 0.01f;
            }
        return k;
    };
    g->state = STATE_LEVEL;
    paint();
    EXPECT_GT(total_quads(), 0);
    EXPECT_EQ(0, border_quads());
    g->state = STATE_EDIT;
    memcpy(&g->_edit, &lev, sizeof(lev));
    paint();
    EXPECT_GT(border_quads(), 0);
}

TEST_F(ViewPaint, OnlyCellsWithinTheVisibleRadiusAreVisited) {
    LevelData& lev = g->level;
    lev.data[C][C + 50] = T_WALL;
    lev.data[C + 1][C + 1] = T_WALL;
    paint();
    EXPECT_GT(lev.view_cd, 3);
    EXPECT_LT(lev.view_cd, 50);
    EXPECT_EQ(0, over_cell(_myview.quads, C + 50, C));
    EXPECT_EQ(3, over_cell(_myview.quads, C + 1, C + 1));
    float r = lev.view_cd + 2;
    for (MyQuads* b : {&_myview.floors, &_myview.quads})
        for (int i = 0; i < b->n; i++) {
            Corner m = mid(b->quads[i]);
            ASSERT_LE(std::hypot(m.x - (C + 0.5f), m.z - (C + 0.5f)), r + 1);
        }
}

TEST_F(ViewPaint, SpriteTilesStandUpFacingTheCamera) {
    LevelData& lev = g->level;
    lev.rotate = 135;
    lev.data[C][C] = T_PLANT;
    lev.data[C][C + 2] = T_PLANT;
    g->ext.info[C][C + 2] = INFO_SHADOW | INFO_DARK;
    lev.data[C + 2][C] = T_ITEM;
    paint();
    // Plain: a shadow blob and the picture, both among the sprites.
    EXPECT_EQ(2, over_cell(_myview.sprites, C, C));
    // In shadow and dark: the blob stays, the picture moves, lit from below.
    EXPECT_EQ(1, over_cell(_myview.sprites, C + 2, C));
    ASSERT_EQ(1, _myview.s_sprites.n);
    EXPECT_TRUE(has_normal(_myview.s_sprites.quads[0], 0, -1, 0));
    // An item: the picture is drawn unlit with the decals.
    EXPECT_EQ(1, over_cell(_myview.decals, C, C + 2));
    const MyQuad& b = _myview.s_sprites.quads[0];
    EXPECT_FLOAT_EQ(-1, corner(b, 0).y);
    EXPECT_FLOAT_EQ(3, corner(b, 2).y);
    float ax = corner(b, 1).x - corner(b, 0).x, az = corner(b, 1).z - corner(b, 0).z;
    float vx = _myview.eye.x - lev.pan_x, vz = _myview.eye.z - lev.pan_y;
    EXPECT_NEAR(0, (ax * vx + az * vz) / std::hypot(vx, vz), 1e-3);  // across the line of sight
    EXPECT_NEAR(2 * 1.25f * std::sqrt(2.0f), std::hypot(ax, az), 1e-4);
}

TEST_F(ViewPaint, ActorsAsBillboardsBombsAtFixedSizeBlastsInFire) {
    g->ext.info[C + 1][C + 2] = INFO_SHADOW;
    entity(0, D_GUARD, C - 2, C, "guard");
    entity(1, D_GUARD, C + 2, C + 1, "guard");  // standing in shadow
    entity(2, D_BOMB1, C, C - 2, "bomb");
    entity(3, D_BLAST, C + 1, C + 2, "blast");
    entity(4, D_LIGHT, C, C + 3, "guard");      // lights are invisible
    entity(5, D_GUARD, C - 3, C - 3, "guard").active = 0;
    paint();
    EXPECT_EQ(2, over_cell(_myview.sprites, C - 2, C));   // blob and picture
    EXPECT_EQ(1, over_cell(_myview.sprites, C + 2, C + 1));
    EXPECT_EQ(1, _myview.s_sprites.n);
    EXPECT_EQ(2, over_cell(_myview.sprites, C, C - 2));
    EXPECT_EQ(0, over_cell(_myview.sprites, C + 1, C + 2));  // no blob under a blast
    EXPECT_EQ(0, over_cell(_myview.sprites, C, C + 3));
    EXPECT_EQ(0, over_cell(_myview.sprites, C - 3, C - 3));
    ASSERT_EQ(1, _myview.fire.n);
    const MyQuad& f = _myview.fire.quads[0];
    EXPECT_FLOAT_EQ(-5, corner(f, 0).y);
    EXPECT_FLOAT_EQ(3, corner(f, 2).y);  // 192 units tall: 8 cells
    EXPECT_NEAR(1.5f * 2 * 1.25f * std::sqrt(2.0f),
                std::hypot(corner(f, 1).x - corner(f, 0).x, corner(f, 1).z - corner(f, 0).z), 1e-4);
    // The bomb's picture is half as big as a guard's but drawn at the full size.
    for (int i = 0; i < _myview.sprites.n; i++) {
        const MyQuad& q = _myview.sprites.quads[i];
        if (has_normal(q, 0, 1, 0) && corner(q, 0).y == -1) {
            EXPECT_FLOAT_EQ(3, corner(q, 2).y);
        }
    }
}

TEST_F(ViewPaint, TheOverheadEditorShowsIconsFlat) {
    LevelData& lev = g->level;
    lev.data[C][C] = T_PLANT;
    entity(0, D_GUARD, C + 2, C, "guard");
    memcpy(&g->_edit, &lev, sizeof(lev));
    g->state = STATE_EDIT;
    _myview.overhead = 1;
    paint();
    EXPECT_EQ(2, _myview.decals.n);
    for (int i = 0; i < _myview.decals.n; i++) {
        EXPECT_FLOAT_EQ(MYVIEW_DECAL_HEIGHT, corner(_myview.decals.quads[i], 0).y);
        EXPECT_FLOAT_EQ(MYVIEW_DECAL_HEIGHT, corner(_myview.decals.quads[i], 3).y);
    }
    EXPECT_EQ(2, _myview.sprites.n);  // the shadow blobs
    EXPECT_EQ(0, _myview.s_sprites.n);
    // The same screen without the overhead view stands them up.
    _myview.overhead = 0;
    paint();
    EXPECT_EQ(0, _myview.decals.n);
    EXPECT_EQ(4, _myview.sprites.n);
}

TEST_F(ViewPaint, TheEditorShowsDecalsAndWhereAnArrowLeads) {
    LevelData& lev = g->_edit;
    memcpy(&lev, &g->level, sizeof(lev));
    // An arrow pointing east over three empty cells, then floor.
    lev.data[C][C] = T_ARROW_EAST;
    lev.data[C][C + 1] = lev.data[C][C + 2] = lev.data[C][C + 3] = T_EMPTY;
    lev.data[C + 2][C] = 4;  // the player's start, a decal tile
    memcpy(&g->level, &lev, sizeof(lev));
    g->state = STATE_EDIT;
    paint();
    EXPECT_EQ(1, over_cell(_myview.decals, C, C));
    for (int x = C + 1; x <= C + 3; x++) EXPECT_EQ(1, over_cell(_myview.decals, x, C)) << x;
    EXPECT_EQ(0, over_cell(_myview.decals, C + 4, C));
    EXPECT_EQ(1, over_cell(_myview.decals, C, C + 2));
    // Trail marks are half a cell.
    for (int i = 0; i < _myview.decals.n; i++) {
        Corner a = corner(_myview.decals.quads[i], 0), b = corner(_myview.decals.quads[i], 3);
        if (a.x >= C + 1) {
            EXPECT_FLOAT_EQ(0.5f, b.x - a.x);
        }
    }
    // Outside the editor neither shows.
    g->state = STATE_LEVEL;
    paint();
    EXPECT_EQ(0, _myview.decals.n);
}

// ---------------------------------------------------------------- lights

TEST_F(ViewPaint, EightLampsLightOnlyTheFirstSevenInSlotOrder) {
    entity(0, D_LIGHT, C + 59, C + 59);  // far outside the view: not lit
    entity(1, D_BLAST, C, C, "blast").active = 0;
    for (int i = 0; i < 8; i++) entity(2 + i, D_LIGHT, (float)(C - 4 + i), (float)C + 1).value = i;
    paint();
    EXPECT_EQ(8, _myview.lnum);
    EXPECT_EQ(1, _myview.ltog);
    for (int i = 1; i < _myview.lnum; i++) {
        EXPECT_FLOAT_EQ(C - 4 + (i - 1) + 0.5f, _myview.light_pos[i][0]) << i;
        EXPECT_FLOAT_EQ(2.45f, _myview.light_pos[i][1]) << i;
        EXPECT_FLOAT_EQ(C + 1.5f, _myview.light_pos[i][2]) << i;
    }
    for (int i = 1; i <= 7; i++) EXPECT_TRUE(glIsEnabled(GL_LIGHT0 + i)) << i;
    GLfloat d[4];
    glGetLightfv(GL_LIGHT2, GL_DIFFUSE, d);  // value 1: orange
    EXPECT_FLOAT_EQ(18, d[0]);
    EXPECT_FLOAT_EQ(10, d[1]);
    glGetLightfv(GL_LIGHT3, GL_DIFFUSE, d);  // value 2: blue
    EXPECT_FLOAT_EQ(0, d[0]);
    EXPECT_FLOAT_EQ(18, d[2]);
    glGetLightfv(GL_LIGHT4, GL_DIFFUSE, d);  // value 3: red
    EXPECT_FLOAT_EQ(18, d[0]);
    EXPECT_FLOAT_EQ(0, d[2]);
    glGetLightfv(GL_LIGHT1, GL_QUADRATIC_ATTENUATION, d);
    EXPECT_EQ(1, d[0]);

    // A blast earlier in the slots takes the first light; fewer lights next
    // frame switch the others off.
    g->level.items[1].active = 1;
    for (int i = 4; i < 10; i++) g->level.items[i].active = 0;
    paint();
    EXPECT_EQ(4, _myview.lnum);
    EXPECT_FLOAT_EQ(C + 0.5f, _myview.light_pos[1][0]);
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, d);
    EXPECT_FLOAT_EQ(36, d[0]);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT4));
}

// Dimmer and cooler, but the scene keeps its colours (no green wash).
TEST_F(ViewPaint, AnEmpCoolsTheSceneWithoutLamps) {
    entity(0, D_LIGHT, C, C);
    entity(1, D_BLAST, C, C, "blast");
    g->level.emp = 30;
    paint();
    EXPECT_EQ(1, _myview.lnum);
    GLfloat d[4], a[4];
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, d);
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, a);
    const float sun[4] = {0.3f, 0.4f, 0.46f, 1}, ambient[4] = {0.2f, 0.26f, 0.3f, 1};
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(sun[i], d[i]);
        EXPECT_FLOAT_EQ(ambient[i], a[i]);
    }
    g->level.emp = 0;
    paint();
    EXPECT_EQ(3, _myview.lnum);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, d);
    EXPECT_FLOAT_EQ(0.46f, d[0]);
}

// A blast's smoke outlives the rules' entity, clears by itself, and is
// forgotten by a rewind to before the blast; it shakes the picture briefly,
// in play, unless the player turned that off.
TEST_F(ViewPaint, WhatABlastLeavesOutlivesItButNotARewind) {
    LevelData& lev = g->level;
    g->state = STATE_LEVEL;
    struct Step {
        int frame;
        bool entity;  // the rules' blast is still there
        int blasts;   // what the view still draws
    } steps[] = {{100, true, 1}, {110, true, 1}, {140, false, 1}, {300, false, 0},  // burns, smokes, clears
                 {400, true, 1}, {390, false, 0}};                                   // rewound to before it
    for (const Step& st : steps) {
        lev.frame = st.frame;
        Entity& b = entity(0, D_BLAST, C, C, "blast");
        b.frame = st.frame >= 400 ? 0 : (st.frame - 100) / 2;
        b.active = st.entity;
        paint();
        EXPECT_EQ(st.blasts, myview_fx_blasts()) << "tick " << st.frame;
    }
    float dx, dy;
    for (int shake : {1, 0}) {
        g->screen_shake = shake;
        lev.frame = 500;
        entity(0, D_BLAST, C, C, "blast");
        paint();
        lev.frame = 502;
        paint();
        myview_fx_shake(*g, &dx, &dy);
        EXPECT_EQ(shake != 0, dx != 0 || dy != 0) << "shake " << shake;
    }
    g->screen_shake = 1;
    lev.items[0].active = 0;
    lev.frame = 560;  // long after
    paint();
    myview_fx_shake(*g, &dx, &dy);
    EXPECT_TRUE(dx == 0 && dy == 0);
}

TEST_F(ViewPaint, LeavesLightingOnAndBlendingOff) {
    g->state = STATE_LEVEL;
    entity(0, D_PLAYER, C, C, "guard");
    paint();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(GL_TRUE, mask);
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
}

// ---------------------------------------------------------------- damaged records

TEST_F(ViewPaint, DamagedRecordsDrawWithoutReadingOutsideTheMap) {
    LevelData& lev = g->level;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float positions[][2] = {{nan, C}, {C, nan}, {1e30f, C}, {-1e30f, -1e30f}, {-3, -3},
                                  {127.9f, 127.9f}, {-0.6f, C}, {C, 200}};
    int slot = 0;
    for (const auto& p : positions) {
        entity(slot, D_GUARD, p[0], p[1]);
        memset(g->level.items[slot].iname, 'x', sizeof(g->level.items[slot].iname));  // unterminated
        slot++;
    }
    entity(slot++, D_PLAYER, 1e9f, -1e9f, "guard");
    entity(slot++, D_LIGHT, nan, C);
    entity(slot++, D_BLAST, -1e20f, C, "blast");
    memset(g->tiles[T_PLANT].name, 'p', sizeof(g->tiles[T_PLANT].name));
    lev.data[C][C] = T_PLANT;
    lev.focus_x = nan;
    lev.focus_y = 1e30f;
    lev.hover_x = -1e30f;
    lev.hover_y = nan;
    for (int state : {STATE_LEVEL, STATE_EDIT, STATE_PAUSE, STATE_MENU_MAIN}) {
        g->state = state;
        memcpy(&g->_edit, &lev, sizeof(lev));
        for (int over : {0, 1}) {
            _myview.overhead = over;
            paint();
        }
    }
    lev.focus_x = 130;
    lev.focus_y = -5;
    g->state = STATE_LEVEL;
    paint();
    EXPECT_TRUE(std::isfinite(lev.view_cd));
}

// ---------------------------------------------------------------- heap use

TEST_F(ViewPaint, ASteadyFrameAllocatesNothing) {
    LevelData& lev = g->level;
    for (int y = C - 12; y <= C + 12; y += 3)
        for (int x = C - 12; x <= C + 12; x += 2) lev.data[y][x] = (unsigned char)(x % 4 ? T_WALL : T_PLANT);
    for (int i = 0; i < 10; i++) entity(i, i < 5 ? D_GUARD : D_LIGHT, (float)(C - 5 + i), (float)C + 1, "guard");
    entity(10, D_PLAYER, C, C, "a-rather-long-player-image-name");
    entity(11, D_BLAST, C + 2, C + 2, "blast");
    for (int state : {STATE_LEVEL, STATE_EDIT}) {
        g->state = state;
        memcpy(&g->_edit, &lev, sizeof(lev));
        paint();  // the batches and the image table fill up
        paint();
        _news = 0;
        _count_news = true;
        for (int i = 0; i < 5; i++) paint();
        _count_news = false;
        EXPECT_EQ(0, _news) << "screen " << state;
        EXPECT_GT(total_quads(), 100);
    }
    // The counter works.
    _count_news = true;
    int* volatile one = new int(1);
    delete one;
    _count_news = false;
    EXPECT_EQ(1, _news);
}

// ---------------------------------------------------------------- pixels

// Empty cells show the ground far below (black here); the room is wide
// enough that the plinth round its edge and its shadow stay out of sight.
TEST_F(ViewPaint, AWallStandsWhereTheMapHasOne) {
    LevelData& lev = g->level;
    for (int y = C - 7; y <= C + 7; y++)
        for (int x = C - 7; x <= C + 7; x++) lev.data[y][x] = T_EMPTY;
    lev.data[C][C] = T_WALL;
    gfx_clear();
    paint();
    EXPECT_NE(0u, pixel_at(C + 0.5f, 2.5f, C + 0.5f));  // the wall's top
    EXPECT_EQ(0u, pixel_at(C - 2 + 0.5f, 0, C + 2 + 0.5f));  // an empty cell shows nothing
    EXPECT_NE(0u, pixel_at(C + 9.5f, 0, C + 0.5f));  // a floor
}

TEST_F(ViewPaint, TheCursorIsBlueOverAHiddenCellAndGreyElsewhere) {
    LevelData& lev = g->level;
    for (int y = C - 8; y <= C + 8; y++)
        for (int x = C - 8; x <= C + 8; x++) lev.data[y][x] = T_EMPTY;  // a black background
    g->state = STATE_LEVEL;
    g->ext.info[C][C] = INFO_SHADOW;
    lev.focus_x = C + 0.5f;
    lev.focus_y = C + 0.5f;
    gfx_clear();
    paint();
    unsigned hidden = pixel_at(C + 0.5f, 1.25f, C + 0.5f);
    EXPECT_GT(blue(hidden), 64u);
    EXPECT_LT(red(hidden), 16u);
    EXPECT_LT(green(hidden), 16u);

    g->ext.info[C][C] = INFO_SHADOW | INFO_LIT;  // lit: not hidden
    gfx_clear();
    paint();
    unsigned lit = pixel_at(C + 0.5f, 1.25f, C + 0.5f);
    EXPECT_GT(red(lit), 64u);
    EXPECT_NEAR((int)red(lit), (int)blue(lit), 8);

    g->ext.info[C][C] = INFO_SOLID;  // no cursor on a solid cell in play
    gfx_clear();
    paint();
    EXPECT_EQ(0u, pixel_at(C + 0.5f, 1.25f, C + 0.5f));
}

TEST_F(ViewPaint, APlayerWhoHasNotMovedStandsInAWhiteColumn) {
    LevelData& lev = g->level;
    for (int y = C - 4; y <= C + 4; y++)
        for (int x = C - 4; x <= C + 4; x++) lev.data[y][x] = T_EMPTY;
    g->state = STATE_LEVEL;
    lev.focus_x = lev.focus_y = 10.5f;  // cursor elsewhere
    Entity& p = entity(0, D_PLAYER, C - 2, C - 2, "no-picture");
    // Sampled near the column's top: the player's ring lies on the floor below.
    gfx_clear();
    paint();
    unsigned column = pixel_at(C - 2 + 0.5f, 2.4f, C - 2 + 0.5f);
    p.p_moved = 1;
    gfx_clear();
    paint();
    unsigned moved = pixel_at(C - 2 + 0.5f, 2.4f, C - 2 + 0.5f);
    EXPECT_GT(red(column), red(moved) + 64);
    EXPECT_GT(green(column), green(moved) + 64);
    EXPECT_GT(blue(column), blue(moved) + 64);
    // Other screens show the column whether or not the player has moved.
    g->state = STATE_PAUSE;
    gfx_clear();
    paint();
    EXPECT_EQ(column, pixel_at(C - 2 + 0.5f, 2.4f, C - 2 + 0.5f));
}
