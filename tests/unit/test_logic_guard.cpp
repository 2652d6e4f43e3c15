// Guards: the sight cone, darkness, shadows and lights, sight lines past
// corners, shooting, freezing, the alarm with its return to post, and facing.
#include <gtest/gtest.h>

#include "logic_internal.h"
#include "logic_world.h"

// A guard standing on (x, y) facing a direction, on an open map with flags.
static Entity& watcher(World& w, int x, int y, int facing) {
    Entity& g = w.place(D_GUARD, x, y, facing);
    logic_info(w.g());
    return g;
}

static void light_up(World& w, int x, int y) { w.g().ext.info[y][x] |= INFO_LIT; }

TEST(LogicGuard, TheConeReaches65DegreesEachSideOfTheFacing) {
    World w;
    Entity& g = watcher(w, 60, 60, 3);  // facing +x
    // Lit cells are seen up to 20 cells away, which leaves room for angles close to 65.
    for (int dy : {15, -15}) {
        light_up(w, 67, 60 + dy);
        EXPECT_EQ(logic_cansee(w.g(), g, 67, 60 + dy), 1) << "64.98 degrees";
    }
    light_up(w, 66, 73);
    EXPECT_EQ(logic_cansee(w.g(), g, 66, 73), 0) << "65.22 degrees";
    EXPECT_EQ(logic_cansee(w.g(), g, 64, 69), 0) << "66.04 degrees";
    EXPECT_EQ(logic_cansee(w.g(), g, 64, 68), 1) << "63.43 degrees";

    g.arrow = 7;  // facing -x: the angles wrap round 180
    for (int dy : {15, -15}) {
        light_up(w, 53, 60 + dy);
        EXPECT_EQ(logic_cansee(w.g(), g, 53, 60 + dy), 1);
    }
    light_up(w, 54, 47);
    EXPECT_EQ(logic_cansee(w.g(), g, 54, 47), 0);
    EXPECT_EQ(logic_cansee(w.g(), g, 56, 51), 0) << "66.04 degrees above the back-facing axis";

    g.arrow = 6;  // facing (1, -1), at -45 degrees
    EXPECT_EQ(logic_cansee(w.g(), g, 68, 62), 1) << "+14 degrees below the axis of +x, 59 from the facing";
    EXPECT_EQ(logic_cansee(w.g(), g, 60, 52), 1) << "straight up, 45 degrees";
    EXPECT_EQ(logic_cansee(w.g(), g, 55, 55), 0) << "up-left, 90 degrees";
}

TEST(LogicGuard, NeighboursAreSeenWithoutTheConeDiagonalsOnlyInIt) {
    World w;
    Entity& g = watcher(w, 30, 30, 3);
    EXPECT_EQ(logic_cansee(w.g(), g, 29, 30), 1) << "right behind";
    EXPECT_EQ(logic_cansee(w.g(), g, 30, 29), 1);
    EXPECT_EQ(logic_cansee(w.g(), g, 30, 31), 1);
    EXPECT_EQ(logic_cansee(w.g(), g, 29, 29), 0) << "diagonal behind";
    EXPECT_EQ(logic_cansee(w.g(), g, 31, 31), 1) << "diagonal ahead";
    EXPECT_EQ(logic_cansee(w.g(), g, 30, 30), 1);
    w.set(29, 30, T_WALL);
    logic_info(w.g());
    EXPECT_EQ(logic_cansee(w.g(), g, 29, 30), 0) << "solid cells are never seen";
}

TEST(LogicGuard, DarkCellsAreSeenOnlyRightAhead) {
    World w;
    w.draw(29, 30, {",,,,"});
    Entity& g = watcher(w, 30, 30, 3);
    EXPECT_EQ(logic_cansee(w.g(), g, 30, 30), 1) << "its own cell";
    EXPECT_EQ(logic_cansee(w.g(), g, 31, 30), 1) << "straight ahead";
    EXPECT_EQ(logic_cansee(w.g(), g, 32, 30), 0) << "one further";
    EXPECT_EQ(logic_cansee(w.g(), g, 29, 30), 0) << "a dark neighbour behind";
    light_up(w, 32, 30);
    EXPECT_EQ(logic_cansee(w.g(), g, 32, 30), 0) << "light does not help in the dark";
}

TEST(LogicGuard, ShadowsNeedLightAndLightDoublesTheRange) {
    World w;
    w.set(25, 40, T_WALL);
    Entity& g = watcher(w, 20, 41, 3);
    ASSERT_TRUE(w.g().ext.info[41][25] & INFO_SHADOW);
    EXPECT_EQ(logic_cansee(w.g(), g, 25, 41), 0);
    light_up(w, 25, 41);
    EXPECT_EQ(logic_cansee(w.g(), g, 25, 41), 1);

    Entity& far = watcher(w, 20, 60, 3);
    EXPECT_EQ(logic_cansee(w.g(), far, 30, 60), 1) << "10 cells";
    EXPECT_EQ(logic_cansee(w.g(), far, 31, 60), 0) << "11 cells";
    light_up(w, 31, 60);
    light_up(w, 40, 60);
    light_up(w, 41, 60);
    EXPECT_EQ(logic_cansee(w.g(), far, 31, 60), 1);
    EXPECT_EQ(logic_cansee(w.g(), far, 40, 60), 1) << "20 cells lit";
    EXPECT_EQ(logic_cansee(w.g(), far, 41, 60), 0) << "21 cells lit";
}

TEST(LogicGuard, SightLinesPastACornerAreBlocked) {
    World w;
    Entity& g = watcher(w, 40, 40, 3);
    EXPECT_EQ(logic_cansee(w.g(), g, 44, 41), 1);
    w.set(41, 41, T_WALL);  // the line never enters it, only grazes its corner
    logic_info(w.g());
    EXPECT_EQ(logic_line_of_sight(w.g(), 40, 40, 44, 41), 0);
    EXPECT_EQ(logic_cansee(w.g(), g, 44, 41), 0);
    EXPECT_EQ(logic_cansee(w.g(), g, 44, 40), 1) << "straight along the row the corner does not matter";

    World d;
    Entity& dg = watcher(d, 40, 40, 2);
    EXPECT_EQ(logic_cansee(d.g(), dg, 43, 43), 1);
    d.set(42, 41, T_WALL);
    d.set(41, 42, T_WALL);  // two walls touching at a corner on the diagonal
    logic_info(d.g());
    EXPECT_EQ(logic_cansee(d.g(), dg, 43, 43), 0);
    d.set(42, 41, T_PLANT);  // solid but see-through
    d.set(41, 42, T_PLANT);
    logic_info(d.g());
    EXPECT_EQ(logic_cansee(d.g(), dg, 43, 43), 1);
}

TEST(LogicGuard, GuardsLookFromTheFifthTickAndShoot) {
    World w;
    w.draw(30, 30, {"@.G7"});
    w.init();
    Entity* p = w.player();
    Entity* g = w.nth(D_GUARD, 0);
    ASSERT_EQ(g->arrow, 7);
    ASSERT_EQ(w.lev().frame, 2);
    w.tick(2);
    EXPECT_EQ(w.lev().frame, 4);
    EXPECT_EQ(p->state, D_STOP) << "nobody sees during the first ticks";
    w.tick();
    EXPECT_EQ(p->state, D_DEAD);
    EXPECT_EQ(g->state, D_SHOOT);
    EXPECT_EQ(g->arrow, 7) << "turned towards the player";
    EXPECT_EQ(0, strncmp(g->iname, "guard-shoot-", 12));
    w.tick(30);
    EXPECT_EQ(g->state, D_SHOOT) << "shooting is final";
    EXPECT_EQ(logic_danger(w.g(), 31, 30), 1);
    EXPECT_EQ(logic_danger(w.g(), 40, 40), 0);
}

TEST(LogicGuard, EmpFreezesGuardsButNotLights) {
    World w;
    w.draw(30, 30, {
        "G3...1",
        "......",
        ".9...7",
    });
    w.draw(30, 50, {"L3....1", "", ".9....7"});
    w.draw(60, 60, {"@"});
    w.init();
    w.tick(20);
    Entity* g = w.nth(D_GUARD, 0);
    Entity* l = w.nth(D_LIGHT, 0);
    ASSERT_NE(g->dx, 0.0f) << "the guard is on its way";
    w.lev().emp = 100;
    Entity before = *g;
    float lx = l->x;
    // The player stands right in front of the frozen guard.
    Entity* p = w.player();
    p->x = p->tx = (char)(_logic_cell(g->x) + 1);
    p->y = p->ty = (char)_logic_cell(g->y);
    for (int t = 0; t < 99; t++) w.tick();
    EXPECT_EQ(g->x, before.x);
    EXPECT_EQ(g->y, before.y);
    EXPECT_STREQ(g->iname, before.iname);
    EXPECT_EQ(p->state, D_STOP) << "frozen guards see nothing";
    EXPECT_NE(l->x, lx) << "lights keep moving";
    w.tick(2);
    EXPECT_EQ(w.lev().emp, 0);
    EXPECT_EQ(p->state, D_DEAD) << "the pulse is over";
}

TEST(LogicGuard, AnAlarmSendsGuardsToTheHoleAndBackToTheirPosts) {
    World w;
    w.draw(30, 30, {"G3"});  // a route of two cells: the guard stands facing +x
    w.init();
    Entity* g = w.nth(D_GUARD, 0);
    g->arrow = 9;
    for (int dx = -2; dx <= 2; dx++)
        for (int dy = -2; dy <= 2; dy++)
            if (dx * dx + dy * dy <= 4) w.set(45 + dx, 30 + dy, T_HOLE);
    Entity& blast = w.place(D_BLAST, 45, 30);
    logic_info(w.g());
    logic_alarm(w.g(), blast);
    blast.active = 0;
    EXPECT_EQ(g->state, D_RUN);
    EXPECT_EQ(g->path_rx, 30);
    EXPECT_EQ(g->path_ry, 30);
    EXPECT_EQ(g->path_rf, 9);
    EXPECT_EQ(g->path[0][0], 45) << "the path runs into the hole's centre";
    EXPECT_EQ(w.at(45, 30), T_HOLE) << "the hole is back after planning";
    EXPECT_TRUE(w.g().ext.info[30][45] & INFO_SOLID);

    float furthest = 0;
    int run_ticks = 0;
    for (int t = 0; t < 400; t++) {
        float x0 = g->x;
        w.tick();
        if (g->state == D_RUN && g->x - x0 > 0.2f) run_ticks++;
        if (g->x > furthest) furthest = g->x;
        ASSERT_TRUE(g->active);
    }
    EXPECT_GT(run_ticks, 0) << "running guards move two steps per tick";
    EXPECT_EQ(furthest, 42.0f) << "it stops at the rim";
    EXPECT_EQ(g->x, 30.0f);
    EXPECT_EQ(g->y, 30.0f);
    EXPECT_EQ(g->arrow, 9) << "back at its post it faces the way it did";
    EXPECT_EQ(g->path_rx, 0);
    EXPECT_EQ(g->path_rf, 0);
    EXPECT_EQ(g->state, D_STOP);
}

TEST(LogicGuard, ASecondAlarmKeepsThePostOfTheFirst) {
    World w;
    w.draw(30, 30, {"G3"});
    w.init();
    Entity* g = w.nth(D_GUARD, 0);
    Entity& a = w.place(D_FIRE, 40, 30);
    logic_alarm(w.g(), a);
    w.tick(16);
    ASSERT_NE(g->x, 30.0f);
    Entity& b = w.place(D_FIRE, 30, 40);
    logic_alarm(w.g(), b);
    EXPECT_EQ(g->path_rx, 30);
    EXPECT_EQ(g->path_ry, 30);
    EXPECT_EQ(g->path[0][1], 40);

    // Already on the way back (post remembered only as the facing): the end of
    // the way back becomes the post again.
    g->path_rx = g->path_ry = 0;
    logic_path(w.g(), g->n, 30, 30, true);
    g->path_rf = 3;
    Entity& c = w.place(D_FIRE, 50, 30);
    logic_alarm(w.g(), c);
    EXPECT_EQ(g->path_rx, 30);
    EXPECT_EQ(g->path_ry, 30);
    EXPECT_EQ(g->path_rf, 3);
}

TEST(LogicGuard, AnAlarmRewindsThePatrolLeg) {
    World w;
    w.draw(30, 30, {
        "G3...1",
        "......",
        ".9...7",
    });
    w.init();
    Entity* g = w.nth(D_GUARD, 0);
    w.tick(30);
    ASSERT_GE(g->goal_cur, 2);
    int leg = g->goal_cur;
    Entity& f = w.place(D_FIRE, 60, 60);
    logic_alarm(w.g(), f);
    EXPECT_EQ(g->goal_cur, leg - 1) << "the interrupted leg is walked again";
}

TEST(LogicGuard, FacingSnapsToEightDirections) {
    World w;
    Entity& e = w.place(D_GUARD, 10, 10);
    Entity& t = w.place(D_BOMB1, 15, 12);
    logic_face(w.g(), e, t);
    EXPECT_EQ(e.arrow, 3) << "(5, 2): the smaller part is dropped";
    t.y = 13;
    logic_face(w.g(), e, t);
    EXPECT_EQ(e.arrow, 2) << "(5, 3): diagonal";
    t.x = 11;
    logic_face(w.g(), e, t);
    EXPECT_EQ(e.arrow, 1) << "(1, 3)";
    t.x = 7;
    t.y = 7;
    logic_face(w.g(), e, t);
    EXPECT_EQ(e.arrow, 8);
    t.x = 9.5f;  // parts are cut toward zero: (0, -3)
    logic_face(w.g(), e, t);
    EXPECT_EQ(e.arrow, 9);
}

TEST(LogicGuard, ActorsOnSolidCellsDieAndDeadGuardsAreRemoved) {
    World w;
    Entity& g = w.place(D_GUARD, 10, 10);
    logic_info(w.g());
    EXPECT_EQ(logic_actor_check(w.g(), g), 1);
    w.set(10, 10, T_HOLE);
    g.x = 9.6f;  // its cell is position + 0.5
    EXPECT_EQ(logic_actor_check(w.g(), g), 0);
    EXPECT_EQ(g.state, D_DEAD);
    logic_guard(w.g(), g);
    EXPECT_EQ(g.active, 0);
    EXPECT_EQ(logic_actor_check(w.g(), g), 0) << "inactive";
}
