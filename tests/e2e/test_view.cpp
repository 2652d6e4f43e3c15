// The map camera: picking through the matrices, dragging, the wheel, queued
// and held turns with their wrap-around, the overhead view and damaged records.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "harness.h"
#include "mathlib.h"
#include "myview_internal.h"

namespace {

const float PAN = 64;

class ViewCamera : public ::testing::Test {
protected:
    Harness h;
    Game* g = nullptr;

    void SetUp() override {
        h.start();
        g = &h.game();
        memset(&g->level, 0, sizeof(g->level));
        g->level.pan_x = g->level.pan_y = PAN;
        memset(g->keys, 0, sizeof(g->keys));
        _myview.overhead = 0;
    }

    // Window pixel (y from the top) where a world point appears.
    void project(float x, float y, float z, float* wx, float* wy) {
        GLdouble model[16], proj[16], ox, oy, oz;
        GLint vp[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, vp);
        gluProject(x, y, z, model, proj, vp, &ox, &oy, &oz);
        *wx = (float)ox;
        *wy = (float)(vp[1] + vp[3] - oy);
    }

    Event motion(float x, float y, float dx, float dy, int buttons) {
        Event e(EVT_MOTION);
        e._x = x;
        e._y = y;
        e._dx = dx;
        e._dy = dy;
        e.b = buttons;
        return e;
    }

    Event key(int k) {
        Event e(EVT_KEYDOWN);
        e.v = k;
        return e;
    }
};

}  // namespace

TEST(ViewMath, RayParallelToThePlaneGivesMinusOne) {
    EXPECT_EQ(-1.0, intersectRayPlane(CVector3(1, 2, 3), CVector3(1, 0, 0), CVector3(0, 5, 0),
                                      CVector3(0, 1, 0)));
}

TEST_F(ViewCamera, ParallelRayPicksThePointBehindTheNearPoint) {
    // Identity matrices: every ray runs along z, parallel to any horizontal plane.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    // Three quarters across and a quarter down: normalised (0.5, 0.5).
    CVector3 p = myview_get_coords(*g, vp[2] * 0.75f, vp[3] * 0.25f, 5);
    EXPECT_NEAR(0.5f, p.x, 1e-5);
    EXPECT_NEAR(0.5f, p.y, 1e-5);
    EXPECT_NEAR(0.0f, p.z, 1e-5);  // A - v: the near point (z -1) moved back by v (0, 0, -1)
}

TEST_F(ViewCamera, PickingInvertsTheProjectionOnAnyPlane) {
    g->level.rotate = 135;
    g->level.zoom = -10;
    g->gfx_3d();
    int sw, sh;
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    sw = vp[2];
    sh = vp[3];
    CVector3 c = myview_get_coords(*g, (float)(sw / 2), (float)(sh / 2), 0);
    EXPECT_NEAR(PAN, c.x, 1e-2);
    EXPECT_NEAR(0, c.y, 1e-4);
    EXPECT_NEAR(PAN, c.z, 1e-2);

    const float pts[3][3] = {{70, 1.25f, 60}, {58.5f, 0, 66}, {64, 2.5f, 64}};
    for (const auto& q : pts) {
        float wx, wy;
        project(q[0], q[1], q[2], &wx, &wy);
        CVector3 p = myview_get_coords(*g, wx, wy, q[1]);
        EXPECT_NEAR(q[0], p.x, 1e-2);
        EXPECT_NEAR(q[1], p.y, 1e-4);
        EXPECT_NEAR(q[2], p.z, 1e-2);
    }
}

TEST_F(ViewCamera, RightDragKeepsTheGroundUnderThePointer) {
    g->gfx_3d();
    CVector3 before = myview_get_coords(*g, 400, 300, MYVIEW_PICK_HEIGHT);
    myview_event(*g, motion(500, 350, 100, 50, 4), nullptr);
    EXPECT_NE(PAN, g->level.pan_x);
    EXPECT_NE(PAN, g->level.pan_y);
    g->gfx_3d();
    CVector3 after = myview_get_coords(*g, 500, 350, MYVIEW_PICK_HEIGHT);
    EXPECT_NEAR(before.x, after.x, 1e-3);
    EXPECT_NEAR(before.z, after.z, 1e-3);

    // Back to where it started, over two frames: the pan is where it was.
    myview_event(*g, motion(450, 320, -50, -30, 4), nullptr);
    g->gfx_3d();
    myview_event(*g, motion(400, 300, -50, -20, 4), nullptr);
    EXPECT_NEAR(PAN, g->level.pan_x, 1e-3);
    EXPECT_NEAR(PAN, g->level.pan_y, 1e-3);
    // A drag moves the camera only; the hover point is left alone.
    EXPECT_EQ(0, g->level.hover_x);
}

TEST_F(ViewCamera, LeftDragOnlyMovesTheHoverPoint) {
    // The hover point is the middle of the cell under the pointer: on a map
    // with nothing standing, where the ray meets the ground.
    g->gfx_3d();
    CVector3 expect = myview_get_coords(*g, 500, 350, 0);
    myview_event(*g, motion(500, 350, 100, 50, 1), nullptr);
    EXPECT_EQ(PAN, g->level.pan_x);
    EXPECT_EQ(PAN, g->level.pan_y);
    EXPECT_FLOAT_EQ(std::floor(expect.x) + 0.5f, g->level.hover_x);
    EXPECT_FLOAT_EQ(std::floor(expect.z) + 0.5f, g->level.hover_y);

    // A press and a release also pick; both buttons held is not a pan.
    Event down(EVT_DOWN);
    down._x = 100;
    down._y = 100;
    myview_event(*g, down, nullptr);
    CVector3 at = myview_get_coords(*g, 100, 100, 0);
    EXPECT_FLOAT_EQ(std::floor(at.x) + 0.5f, g->level.hover_x);
    myview_event(*g, motion(120, 110, 20, 10, 5), nullptr);
    EXPECT_EQ(PAN, g->level.pan_x);
}

TEST_F(ViewCamera, EventsGoToTheLevelGiven) {
    LevelData edit;
    memset(&edit, 0, sizeof(edit));
    Event w(EVT_WHEEL);
    w.dy = 1;
    myview_event(*g, w, &edit);
    myview_loop(*g, &edit);
    EXPECT_EQ(5, edit.tzoom);
    EXPECT_EQ(2, edit.zoom);
    EXPECT_EQ(0, g->level.tzoom);
    EXPECT_EQ(0, g->level.zoom);
}

TEST_F(ViewCamera, WheelStopsAtItsLimitsAndZoomLandsOnTarget) {
    LevelData& lev = g->level;
    Event up(EVT_WHEEL);
    up.dy = -1;
    for (int i = 0; i < 5; i++) myview_event(*g, up, nullptr);
    EXPECT_EQ(-25, lev.tzoom);
    myview_event(*g, up, nullptr);
    myview_event(*g, up, nullptr);
    EXPECT_EQ(-25, lev.tzoom);

    int ticks = 0;
    while (lev.zoom != lev.tzoom && ticks < 100) {
        float before = lev.zoom;
        myview_loop(*g, nullptr);
        EXPECT_LE(before - lev.zoom, 2.0f);
        ticks++;
    }
    EXPECT_EQ(13, ticks);  // 12 steps of 2, then the last 1
    EXPECT_EQ(-25, lev.zoom);

    Event down(EVT_WHEEL);
    down.dy = 1;
    for (int i = 0; i < 40; i++) myview_event(*g, down, nullptr);
    EXPECT_EQ(50, lev.tzoom);
    for (int i = 0; i < 100; i++) myview_loop(*g, nullptr);
    EXPECT_EQ(50, lev.zoom);
}

TEST_F(ViewCamera, TwoQuickLeftTurnsWrapBelowZeroAndLandExactly) {
    LevelData& lev = g->level;
    myview_event(*g, key(KEY_LEFT), nullptr);
    myview_event(*g, key(KEY_LEFT), nullptr);
    EXPECT_EQ(-90, lev.trotate);
    // A repeat (the key already held) queues nothing more.
    g->keys[KEY_LEFT] = 1;
    myview_event(*g, key(KEY_LEFT), nullptr);
    g->keys[KEY_LEFT] = 0;
    EXPECT_EQ(-90, lev.trotate);

    myview_loop(*g, nullptr);
    EXPECT_EQ(270, lev.trotate);  // both moved up by a whole turn
    EXPECT_EQ(355, lev.rotate);
    int ticks = 1;
    while (lev.rotate != lev.trotate && ticks < 100) {
        myview_loop(*g, nullptr);
        ticks++;
    }
    EXPECT_EQ(18, ticks);
    EXPECT_EQ(270, lev.rotate);
    for (int i = 0; i < 5; i++) myview_loop(*g, nullptr);
    EXPECT_EQ(270, lev.rotate);
}

TEST_F(ViewCamera, AtMostEightTurnsQueueAndAnglesComeBackBelow360) {
    LevelData& lev = g->level;
    for (int i = 0; i < 12; i++) myview_event(*g, key(KEY_RIGHT), nullptr);
    EXPECT_EQ(360, lev.trotate);
    for (int i = 0; i < 200; i++) {
        myview_loop(*g, nullptr);
        ASSERT_GE(lev.rotate, 0);
        ASSERT_LE(lev.rotate, 360);
    }
    EXPECT_EQ(0, lev.rotate);
    EXPECT_EQ(0, lev.trotate);
}

TEST_F(ViewCamera, HoldingAnArrowKeepsTurningSmoothly) {
    LevelData& lev = g->level;
    g->keys[KEY_RIGHT] = 1;
    float expect = 0;
    for (int i = 0; i < 150; i++) {
        myview_loop(*g, nullptr);
        expect = std::fmod(expect + 5, 360.0f);
        ASSERT_EQ(expect, std::fmod(lev.rotate, 360.0f)) << "tick " << i;
        ASSERT_LT(lev.rotate, 720);
    }
    g->keys[KEY_RIGHT] = 0;
    g->keys[KEY_LEFT] = 1;
    for (int i = 0; i < 200; i++) {
        myview_loop(*g, nullptr);
        ASSERT_GE(lev.rotate, 0);
        ASSERT_GE(lev.trotate, 0);
    }
}

TEST_F(ViewCamera, OverheadViewInTheEditorAndInPlayKeepsTheScreenOrientation) {
    myview_event(*g, key(KEY_UP), nullptr);
    EXPECT_EQ(1, _myview.overhead);
    g->keys[KEY_DOWN] = 1;  // repeats toggle too
    myview_event(*g, key(KEY_DOWN), nullptr);
    myview_event(*g, key(KEY_DOWN), nullptr);
    EXPECT_EQ(1, _myview.overhead);

    g->level.rotate = 90;
    g->state = STATE_EDIT;
    _myview.overhead = 0;
    g->gfx_3d();
    CVector3 eye = _myview.eye;
    float px, py, qx, qy;
    project(PAN + 3, 0, PAN, &px, &py);
    project(PAN, 0, PAN - 3, &qx, &qy);

    _myview.overhead = 1;
    g->gfx_3d();
    EXPECT_EQ(eye.x, _myview.eye.x);  // the overhead set-up leaves the eye alone
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    CVector3 c = myview_get_coords(*g, vp[2] / 2.0f, vp[3] / 2.0f, 0);
    EXPECT_NEAR(PAN, c.x, 1e-2);
    EXPECT_NEAR(PAN, c.z, 1e-2);
    float ox, oy, rx, ry;
    project(PAN + 3, 0, PAN, &ox, &oy);
    project(PAN, 0, PAN - 3, &rx, &ry);
    // The same two points keep their sides of the screen.
    EXPECT_EQ(px > vp[2] / 2.0f, ox > vp[2] / 2.0f);
    EXPECT_EQ(py > vp[3] / 2.0f, oy > vp[3] / 2.0f);
    EXPECT_EQ(qx > vp[2] / 2.0f, rx > vp[2] / 2.0f);
    EXPECT_EQ(qy > vp[3] / 2.0f, ry > vp[3] / 2.0f);

    // In play, paused and rewinding it looks down too; elsewhere (the menus'
    // maps, the intro's swoop, the win) the switch changes nothing.
    const struct {
        int state;
        bool overhead;
    } screens[] = {{STATE_LEVEL, true}, {STATE_PAUSE, true}, {STATE_REWIND, true},
                   {STATE_MENU_MAIN, false}, {STATE_LEVEL_INTRO, false}, {STATE_LEVEL_WIN, false}};
    for (const auto& s : screens) {
        g->state = s.state;
        g->gfx_3d();
        float sx, sy;
        project(PAN + 3, 0, PAN, &sx, &sy);
        EXPECT_EQ(s.overhead, std::fabs(px - sx) > 1 || std::fabs(py - sy) > 1) << "screen " << s.state;
        EXPECT_EQ(s.overhead, myview_overhead(*g));
    }
    _myview.overhead = 0;
}

TEST_F(ViewCamera, ExtentCoversTheWindowAndLooksAboveTheCentre) {
    g->gfx_3d();
    MyViewExtent ext = myview_extent(*g);
    LevelData& lev = g->level;
    EXPECT_GT(lev.view_cd, 5);
    EXPECT_EQ(lev.view_cd, ext.dist);
    EXPECT_EQ((float)(int)lev.view_cd, lev.view_cd);
    EXPECT_NEAR(PAN, ext.cx, 1e-2);
    EXPECT_NEAR(PAN, ext.cz, 1e-2);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    const float corners[4][2] = {{0, 0}, {(float)vp[2], 0}, {0, (float)vp[3]}, {(float)vp[2], (float)vp[3]}};
    for (const auto& k : corners) {
        CVector3 p = myview_get_coords(*g, k[0], k[1], 0);
        float d = std::sqrt((p.x - ext.cx) * (p.x - ext.cx) + (p.z - ext.cz) * (p.z - ext.cz));
        EXPECT_LE(d, lev.view_cd + 1);
    }
    // Above the centre of the screen is away from the eye, which sits at +x +z.
    EXPECT_LT(lev.view_cx, PAN);
    EXPECT_LT(lev.view_cy, PAN);
}

TEST_F(ViewCamera, DamagedCameraFieldsStayFinite) {
    LevelData& lev = g->level;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    lev.zoom = nan;
    lev.tzoom = inf;
    lev.rotate = -1e30f;
    lev.trotate = nan;
    lev.pan_x = inf;
    lev.pan_y = nan;
    myview_loop(*g, nullptr);  // must come back
    EXPECT_TRUE(std::isfinite(lev.zoom) && std::isfinite(lev.tzoom));
    EXPECT_TRUE(std::isfinite(lev.rotate) && std::isfinite(lev.trotate));
    EXPECT_TRUE(std::isfinite(lev.pan_x) && std::isfinite(lev.pan_y));
    EXPECT_GE(lev.rotate, 0);
    EXPECT_LT(lev.rotate, 360);

    // A zoom that would put the eye on the ground still gives a usable view.
    lev.zoom = -50;
    g->gfx_3d();
    MyViewExtent ext = myview_extent(*g);
    EXPECT_TRUE(std::isfinite(ext.dd));
    EXPECT_TRUE(std::isfinite(lev.view_cx));

    // Angles far from zero but legitimate keep their turn.
    lev.rotate = 36000 + 1e5f;
    lev.trotate = lev.rotate;
    myview_loop(*g, nullptr);
    EXPECT_EQ(std::fmod(36000 + 1e5f, 360.0f), std::fmod(lev.rotate, 360.0f));
}
