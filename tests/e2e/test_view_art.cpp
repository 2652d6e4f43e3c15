// The map drawn with the shipped art and the real rules: the view cuts
// pictures out of their textures as the 2D layer does, walls stand where the
// map has them, and the cursor shows what the guards watch.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx.h"
#include "harness.h"
#include "logic.h"
#include "myview_internal.h"

namespace {

enum { T_EMPTY = 0, T_FLOOR = 1, T_DARK = 2, T_WALL = 5 };
const int C = 64;

class ViewArt : public ::testing::Test {
protected:
    Harness h;
    Game* g = nullptr;

    void SetUp() override {
        h.start();
        g = &h.game();
        if (!myview_img("walls") || !myview_img("floor") || !myview_img("white"))
            GTEST_SKIP() << "the map art is not in the data folder";
        memset(&g->level, 0, sizeof(g->level));
        for (int y = MAP_MIN; y <= MAP_MAX; y++)
            for (int x = MAP_MIN; x <= MAP_MAX; x++) g->level.data[y][x] = T_FLOOR;
        g->level.pan_x = g->level.pan_y = C + 0.5f;
        g->state = STATE_LEVEL;
        _myview.overhead = 0;
    }

    void frame() {
        logic_info(*g);
        gfx_clear();
        g->gfx_3d();
        myview_paint(*g);
    }

    // Window pixel (from the bottom) of a world point, with the view's matrices.
    void window_of(float x, float y, float z, int* wx, int* wy) {
        GLdouble model[16], proj[16], ox, oy, oz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(x, y, z, model, proj, vp, &ox, &oy, &oz);
        *wx = (int)ox;
        *wy = (int)oy;
    }

    // Red, green and blue of the back buffer at a world point.
    void rgb_at(float x, float y, float z, int out[3]) {
        int wx, wy;
        window_of(x, y, z, &wx, &wy);
        unsigned char p[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(wx, wy, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        for (int i = 0; i < 3; i++) out[i] = p[i];
    }

    // How the cursor over cell (x, y) changes the colour in the middle of its
    // column, against the same frame with the cursor far away.
    void cursor_tint(int x, int y, int d[3]) {
        int with[3], without[3];
        g->level.focus_x = x + 0.5f;
        g->level.focus_y = y + 0.5f;
        frame();
        rgb_at(x + 0.5f, MYVIEW_PICK_HEIGHT, y + 0.5f, with);
        g->level.focus_x = g->level.focus_y = MAP_MIN + 0.5f;
        frame();
        rgb_at(x + 0.5f, MYVIEW_PICK_HEIGHT, y + 0.5f, without);
        for (int i = 0; i < 3; i++) d[i] = with[i] - without[i];
    }
};

std::vector<unsigned char> back_buffer() {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    std::vector<unsigned char> px((size_t)vp[2] * vp[3] * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, vp[2], vp[3], GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

}  // namespace

TEST_F(ViewArt, PicturesAreCutFromTheirTexturesAsThe2DLayerCutsThem) {
    const char* names[] = {"guard", "player-glow", "shadow", "icon-plant", "decal-route3"};
    g->gfx_3d();
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4f(1, 1, 1, 1);
    for (const char* n : names) {
        int img = myview_img(n);
        ASSERT_NE(0, img) << n;
        ASSERT_NE(nullptr, myview_img_info(img));
        // The same quad (a billboard over the middle of the view) both ways.
        float x0 = C - 1.0f, x1 = C + 2.0f, z = C + 0.5f;
        gfx_clear();
        gfx_img_quad(gfx_img_load(n), x0, 0, z, x1, 0, z, x0, 3, z, x1, 3, z);
        std::vector<unsigned char> theirs = back_buffer();
        gfx_clear();
        MyQuads q;
        q.img_quad(img, 0, 1, 0, x0, 0, z, x1, 0, z, x0, 3, z, x1, 3, z, false);
        ASSERT_EQ(1, q.n);
        q.draw(n);
        std::vector<unsigned char> ours = back_buffer();
        size_t differ = 0, lit = 0;
        for (size_t i = 0; i < ours.size(); i++) {
            differ += std::abs((int)ours[i] - (int)theirs[i]) > 8;
            lit += ours[i] != 0;
        }
        EXPECT_GT(lit, 100u) << n;
        EXPECT_LT(differ, ours.size() / 500) << n;
    }
}

TEST_F(ViewArt, AWallStandsWhereTheMapHasOne) {
    LevelData& lev = g->level;
    g->state = STATE_MENU_MAIN;
    for (int y = C - 3; y <= C + 3; y++)
        for (int x = C - 3; x <= C + 3; x++) lev.data[y][x] = T_EMPTY;
    lev.data[C][C] = T_WALL;
    frame();
    int wall[3], empty[3], floor[3];
    rgb_at(C + 0.5f, MYVIEW_WALL_HEIGHT, C + 0.5f, wall);
    rgb_at(C - 1.5f, 0, C + 2.5f, empty);
    rgb_at(C + 5.5f, 0, C + 0.5f, floor);
    EXPECT_GT(wall[0] + wall[1] + wall[2], 30);
    // An empty cell shows the night ground far below: dark, never black.
    int ground = empty[0] + empty[1] + empty[2], lit = floor[0] + floor[1] + floor[2];
    EXPECT_GT(ground, 0);
    EXPECT_LT(ground, lit / 2);
    EXPECT_GT(lit, 30);
    // The same place without the wall shows the ground.
    lev.data[C][C] = T_EMPTY;
    frame();
    rgb_at(C + 0.5f, MYVIEW_WALL_HEIGHT, C + 0.5f, wall);
    EXPECT_LT(wall[0] + wall[1] + wall[2], lit / 2);
}

TEST_F(ViewArt, TheCursorIsRedWhereAGuardLooksAndBlueWhereItCannot) {
    LevelData& lev = g->level;
    Entity& guard = lev.items[0];
    guard.active = 1;
    guard.type = D_GUARD;
    guard.x = C - 5;
    guard.y = C;
    guard.arrow = 3;  // facing +x, towards the cells below
    lev.data[C + 3][C] = T_DARK;
    lev.data[C - 3][C + 3] = T_WALL;

    int d[3];
    logic_info(*g);
    ASSERT_TRUE(logic_danger(*g, C, C));
    cursor_tint(C, C, d);
    EXPECT_GT(d[0], 60) << "watched: red";
    EXPECT_LT(d[1], 20);
    EXPECT_LT(d[2], 20);

    ASSERT_FALSE(logic_danger(*g, C, C + 3));
    cursor_tint(C, C + 3, d);
    EXPECT_GT(d[2], 60) << "dark: blue";
    EXPECT_LT(d[0], 20);
    EXPECT_LT(d[1], 20);

    ASSERT_FALSE(logic_danger(*g, C - 8, C + 1));  // behind the guard
    cursor_tint(C - 8, C + 1, d);
    EXPECT_GT(d[0], 40) << "open and unwatched: grey";
    EXPECT_NEAR(d[0], d[2], 40) << "(the lit floor beneath clips the brightest channel)";

    cursor_tint(C + 3, C - 3, d);  // a wall: no cursor in play
    EXPECT_EQ(0, d[0]);
    EXPECT_EQ(0, d[1]);
    EXPECT_EQ(0, d[2]);
}
