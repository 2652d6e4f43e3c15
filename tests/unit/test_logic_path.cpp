// Moving actors: paths for entities, clicks and key walks, stepping at cell
// centres, guards giving way, patrol routes and lights.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "logic_world.h"

// Ticks until the player stands still on a cell (at most max ticks).
static bool settle(World& w, int max = 2000) {
    for (int i = 0; i < max; i++) {
        w.tick();
        Entity* p = w.player();
        if (p->dx == 0 && p->dy == 0 && p->path_n == 0 && p->x == p->tx && p->y == p->ty) return true;
    }
    return false;
}

TEST(LogicPath, ClickedPlayerStartsOnTheNextTickAndWalksThePath) {
    World w;
    w.draw(10, 10, {"@"});
    w.init();
    Entity* p = w.player();
    logic_click(w.g(), 20, 10);
    ASSERT_EQ(p->path_n, 10);
    EXPECT_EQ(p->path[0][0], 20) << "the destination is stored first";
    EXPECT_EQ(p->path[9][0], 11) << "the next step last";
    EXPECT_EQ(p->frame, 7);
    w.tick();
    EXPECT_EQ(p->dx, 1.0f) << "the step is taken on the very next tick";
    EXPECT_EQ(p->tx, 11);
    w.tick();
    EXPECT_EQ(p->x, 10.125f) << "then it glides an eighth of a cell per tick";
    EXPECT_EQ(p->state, D_WALK);
    ASSERT_TRUE(settle(w));
    EXPECT_EQ(p->x, 20.0f);
    EXPECT_EQ(p->y, 10.0f);
    EXPECT_EQ(p->state, D_STOP);
    EXPECT_EQ(p->p_moved, 1);
}

TEST(LogicPath, ClickOnASolidOrOuterCellKeepsThePathAndOnTheOwnTargetStops) {
    World w;
    w.draw(10, 10, {"@...#"});
    w.init();
    Entity* p = w.player();
    logic_click(w.g(), 13, 10);
    int n = p->path_n;
    logic_click(w.g(), 14, 10);
    EXPECT_EQ(p->path_n, n) << "a wall cell: no path, the old one stays";
    logic_click(w.g(), 2, 10);
    EXPECT_EQ(p->path_n, n);
    w.tick(3);
    ASSERT_EQ(p->tx, 11);
    logic_click(w.g(), 11, 10);  // the cell it is heading for
    EXPECT_EQ(p->path_n, 0);
    ASSERT_TRUE(settle(w));
    EXPECT_EQ(p->x, 11.0f) << "it stops at the next cell centre";
}

// A corridor one cell wide that runs right along row 10, down at the right
// edge and back left along row 12.
static void serpentine(World& w) {
    w.fill(T_WALL);
    for (int x = MAP_MIN; x <= MAP_MAX; x++) {
        w.set(x, 10, T_FLOOR);
        w.set(x, 12, T_FLOOR);
    }
    w.set(MAP_MAX, 11, T_FLOOR);
    w.set(MAP_MIN, 10, T_PLAYER);
}

TEST(LogicPath, PathsOfMoreThan128CellsAreRefused) {
    World w;
    serpentine(w);
    w.init();
    Entity* p = w.player();
    logic_click(w.g(), 117, 12);  // 120 + 2 + 6 = 128 cells
    EXPECT_EQ(p->path_n, 127);
    logic_click(w.g(), 116, 12);  // 129 cells
    EXPECT_EQ(p->path_n, 127) << "after a click the old path stays";
    EXPECT_EQ(p->path[0][0], 117);

    // Keys ask for the far end of a straight line; when the only way there is
    // longer than 128 cells, the player is left without a path.
    World k;
    k.fill(T_WALL);
    for (int i = 0; i <= 30; i++) k.set(10 + i, 10 + i, T_FLOOR);  // a diagonal nobody can take
    for (int y = 8; y <= 10; y++) k.set(10, y, T_FLOOR);
    for (int x = 10; x <= MAP_MAX; x++) k.set(x, 8, T_FLOOR);
    for (int y = 8; y <= 40; y++) k.set(MAP_MAX, y, T_FLOOR);
    for (int x = 41; x <= MAP_MAX; x++) k.set(x, 40, T_FLOOR);
    k.set(10, 10, T_PLAYER);
    k.init();
    p = k.player();
    logic_click(k.g(), 20, 8);
    ASSERT_GT(p->path_n, 0);
    logic_player_walk(k.g(), 0, 1);  // down the screen is map (1, 1) with the camera at 0
    EXPECT_EQ(p->path_n, 0);
}

// What a click would do, asked beforehand: the very path the click then
// stores, or nothing where the click gives no new path; the map is untouched.
TEST(LogicPath, APreviewIsThePathAClickWouldGiveAndChangesNothing) {
    World w;
    serpentine(w);
    w.init();
    w.tick(2);
    const struct {
        int x, y, cells;  // cells of the preview; 0: none
    } cases[] = {
        {20, 10, 17},   // along the corridor
        {117, 12, 128}, // the longest path stored
        {116, 12, 0},   // one cell more: refused
        {20, 11, 0},    // a wall
        {MAP_MIN, 10, 0},  // the cell it stands on and heads for
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        std::unique_ptr<LevelData> before(new LevelData(w.lev()));
        int cells[PATH_CELLS_MAX][2];
        int n = logic_click_preview(w.g(), c.x, c.y, cells, PATH_CELLS_MAX);
        ASSERT_EQ(n, c.cells);
        EXPECT_EQ(0, memcmp(before.get(), &w.lev(), sizeof(LevelData)));
        if (!n) continue;
        logic_click(w.g(), c.x, c.y);
        Entity* p = w.player();
        ASSERT_EQ(p->path_n, n - 1);
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(cells[i][0], p->path[n - 1 - i][0]);
            EXPECT_EQ(cells[i][1], p->path[n - 1 - i][1]);
        }
        w.lev() = *before;  // back to standing
    }
    int few[4][2];
    EXPECT_EQ(4, logic_click_preview(w.g(), 30, 10, few, 4)) << "at most as many as asked for";
    w.player()->active = 0;
    EXPECT_EQ(0, logic_click_preview(w.g(), 30, 10, few, 4)) << "no player";
}

TEST(LogicPath, KeysWalkToTheLastFreeCellAndStartOnTheSecondTick) {
    World w;
    w.draw(20, 20, {"@"});
    w.set(24, 16, T_WALL);
    w.init();
    Entity* p = w.player();
    logic_player_walk(w.g(), 1, 0);  // right on the screen: map (1, -1)
    ASSERT_EQ(p->path_n, 3);
    EXPECT_EQ(p->path[0][0], 23);
    EXPECT_EQ(p->path[0][1], 17);
    EXPECT_EQ(p->frame, 6);
    w.tick();
    EXPECT_EQ(p->dx, 0.0f);
    w.tick();
    EXPECT_EQ(p->dx, 1.0f);
    EXPECT_EQ(p->dy, -1.0f);

    logic_player_walk(w.g(), 0, 0);  // keys released: stop at the cell ahead
    EXPECT_EQ(p->path_n, 0);
    ASSERT_TRUE(settle(w));
    EXPECT_EQ(p->x, 21.0f);
    EXPECT_EQ(p->y, 19.0f);

    w.lev().rotate = 90;  // the camera turned: the same key now walks map (-1, -1)
    logic_player_walk(w.g(), 1, 0);
    EXPECT_EQ(p->path[0][0], 6);
    EXPECT_EQ(p->path[0][1], MAP_MIN) << "up to the last cell inside the border";
}

TEST(LogicPath, TheGuardInTheHigherSlotGivesWay) {
    World w;
    Entity& a = w.place(D_GUARD, 8, 10);
    Entity& b = w.place(D_GUARD, 14, 10);
    logic_info(w.g());
    logic_path(w.g(), 0, 20, 10, true);
    logic_path(w.g(), 1, 4, 10, true);
    a.state = b.state = D_WALK;
    a.frame = b.frame = 7;
    int a_waits = 0, b_waits = 0;
    for (int t = 0; t < 200; t++) {
        w.tick();
        if (a.frame == 7) a_waits++;
        if (b.frame == 7) b_waits++;
        if (t > 0 && b.path_n > 0) {
            EXPECT_EQ(b.arrow, 7) << "a waiting guard keeps facing its way";
        }
        if (b.dx == 0 && b.path_n > 0 && b.frame == 7) {
            float d = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
            EXPECT_LT(d, 1.0f);
        }
    }
    EXPECT_EQ(a_waits, 0) << "the lower slot always has the right of way";
    EXPECT_GT(b_waits, 0);
    EXPECT_EQ(a.x, 20.0f);
    EXPECT_EQ(b.x, 4.0f) << "the waiting guard goes on once the way is clear";
}

TEST(LogicPath, ABlockedGuardHoldsItsStep) {
    World w;
    Entity& a = w.place(D_GUARD, 10, 10);
    a.dx = 1;
    a.x = 10.5f;  // on its way to 11
    a.tx = 11;
    Entity& b = w.place(D_GUARD, 11, 10);
    b.path[0][0] = 10;
    b.path[0][1] = 10;
    b.path_n = 1;
    b.state = D_WALK;
    logic_info(w.g());
    logic_path_follow(w.g(), b);
    EXPECT_EQ(b.frame, 7);
    EXPECT_EQ(b.path_n, 1);
    EXPECT_EQ(b.tx, 11);
    EXPECT_EQ(b.dx, 0.0f);
    EXPECT_EQ(b.state, D_WALK) << "it waits, it has not stopped";
    a.dx = 0;
    a.x = 11.5f;
    a.tx = 12;
    logic_path_follow(w.g(), b);
    EXPECT_EQ(b.path_n, 0);
    EXPECT_EQ(b.dx, -1.0f);
}

TEST(LogicPath, ClosedRoutesRepeatAndOpenOnesAreWalkedOnce) {
    World w;
    w.draw(10, 10, {
        "G3...1",
        "......",
        "......",
        "......",
        ".9...7",
    });
    w.draw(10, 30, {"G3...1", ".....#"});
    w.draw(10, 50, {"G3....#"});
    w.init();
    Entity* loop = w.nth(D_GUARD, 0);
    Entity* once = w.nth(D_GUARD, 1);
    Entity* two = w.nth(D_GUARD, 2);
    ASSERT_EQ(loop->goal_loop, 1);
    ASSERT_EQ(once->goal_n, 3);
    ASSERT_EQ(two->goal_n, 2);
    int corner_visits = 0;
    for (int t = 0; t < 3000; t++) {
        w.tick();
        if (loop->x == 15.0f && loop->y == 14.0f) corner_visits++;
    }
    EXPECT_GE(corner_visits, 3) << "the closed route goes on";
    EXPECT_EQ(once->x, 15.0f);
    EXPECT_EQ(once->y, 30.0f) << "the open route ends at its last cell";
    EXPECT_EQ(once->state, D_STOP);
    EXPECT_EQ(two->x, 10.0f) << "a route of two cells is never walked";
    EXPECT_EQ(two->p_moved, 0);
}

TEST(LogicPath, LightsGoStraightThroughWallsAtAThirdOfTheSpeed) {
    World w;
    Entity& l = w.place(D_LIGHT, 10, 10);
    logic_path_light(w.g(), l, 14, 14);
    ASSERT_EQ(l.path_n, 4);
    for (int i = 0; i <= 4; i++) {
        EXPECT_EQ(l.path[4 - i][0], 10 + i);
        EXPECT_EQ(l.path[4 - i][1], 10 + i);
    }
    logic_path_light(w.g(), l, 10, 10);
    EXPECT_EQ(l.path_n, 0);
    logic_path_light(w.g(), l, 10, 140);
    EXPECT_EQ(l.path_n, 0) << "too long: left as it was";

    World r;
    r.draw(10, 10, {"L3.#.#..1", "", "........7"});
    r.init();
    Entity* light = r.nth(D_LIGHT, 0);
    ASSERT_GE(light->goal_n, 3);
    bool crossed_wall = false;
    for (int t = 0; t < 24 * 12; t++) {
        r.tick();
        if (light->x == 13.0f && light->y == 10.0f) crossed_wall = true;
        ASSERT_EQ(light->state, D_STOP) << "lights never take the walking state";
    }
    EXPECT_TRUE(crossed_wall);
}

TEST(LogicPath, TheCameraFollowsThePlayerNearTheEdgeOfItsZone) {
    World w;
    w.draw(64, 64, {"@"});
    w.init();
    LevelData& l = w.lev();
    l.view_cx = 64;
    l.view_cy = 64;
    l.view_cd = 30;  // free zone: radius 8 to 10
    l.pan_x = l.pan_y = 64;
    logic_click(w.g(), 64 + 12, 64);
    float pan_before = l.pan_x;
    for (int t = 0; t < 200 && w.player()->x < 64 + 8; t++) w.tick();
    ASSERT_EQ(w.player()->x, 64.0f + 8);
    EXPECT_EQ(l.pan_x, pan_before) << "inside the free zone the camera stays";
    w.tick(8);
    EXPECT_GT(l.pan_x, pan_before) << "near its edge, walking outward drags the camera";
    w.g().state = STATE_EDIT;
    pan_before = l.pan_x;
    w.tick(8);
    EXPECT_EQ(l.pan_x, pan_before) << "only on the play screen";
}
