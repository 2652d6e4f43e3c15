// Bombs: dropping, picking up and firing them, the time bomb's fuse, EMP
// pulses, blast rings opening stage by stage, and the mini bomb's fire.
#include <gtest/gtest.h>

#include "logic_world.h"

// A map with the player standing on (20, 20).
static World& with_player(World& w) {
    w.draw(20, 20, {"@"});
    w.init();
    return w;
}

// Runs one blast or fire stage tick with the level's frame made odd, so the
// stage advances.
template <typename F>
static void advance(World& w, Entity& e, F tick) {
    w.lev().frame = 1;
    tick(w.g(), e);
}

TEST(LogicBomb, TimeBombPressesCycleTheFuseThenPickItUp) {
    World w;
    with_player(w);
    w.lev().inventory[D_BOMB2] = 2;
    logic_bomb(w.g(), D_BOMB2);
    Entity* b = logic_find(w.g(), D_BOMB2);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->timer, 300);
    EXPECT_EQ(b->x, 20.0f);
    EXPECT_STREQ(b->iname, "bomb2");
    EXPECT_EQ(w.lev().inventory[D_BOMB2], 1);
    logic_bomb(w.g(), D_BOMB2);
    EXPECT_EQ(b->timer, 600);
    logic_bomb(w.g(), D_BOMB2);
    EXPECT_EQ(b->timer, 900);
    logic_bomb(w.g(), D_BOMB2);
    EXPECT_EQ(b->active, 0) << "the fourth press takes it back";
    EXPECT_EQ(w.lev().inventory[D_BOMB2], 2);
    EXPECT_EQ(logic_find(w.g(), D_BOMB2), nullptr) << "and does not drop another";
}

TEST(LogicBomb, TimeBombGoesOff300TicksAfterThePlayerLeaves) {
    World w;
    with_player(w);
    w.lev().inventory[D_BOMB2] = 1;
    logic_bomb(w.g(), D_BOMB2);
    Entity* b = logic_find(w.g(), D_BOMB2);
    w.tick(200);
    EXPECT_EQ(b->timer, 300) << "no countdown while the player stands on it";
    EXPECT_EQ(b->frame, 0);
    Entity* p = w.player();
    logic_click(w.g(), 40, 20);
    int left = -1, blast = -1;
    for (int t = 0; t < 400 && blast < 0; t++) {
        w.tick();
        if (left < 0 && p->x != 20.0f) left = t;
        if (b->type == D_BLAST) blast = t;
    }
    ASSERT_GE(left, 0);
    EXPECT_EQ(blast - left + 1, 300);
    EXPECT_EQ(b->frame, 0);
    EXPECT_STREQ(b->iname, "blast-0");
}

TEST(LogicBomb, DetonatorIsPickedUpFromUnderfootAndFiredFromAfar) {
    World w;
    with_player(w);
    LevelData& l = w.lev();
    l.inventory[D_BOMB1] = 1;
    logic_bomb(w.g(), D_BOMB1);
    EXPECT_EQ(l.inventory[D_BOMB1], 0);
    logic_bomb(w.g(), D_BOMB1);
    EXPECT_EQ(l.inventory[D_BOMB1], 1) << "standing on it: picked up";
    EXPECT_EQ(logic_find(w.g(), D_BOMB1), nullptr);

    logic_bomb(w.g(), D_BOMB1);
    Entity* b = logic_find(w.g(), D_BOMB1);
    Entity* p = w.player();
    p->x = 21;
    p->tx = 21;
    logic_bomb(w.g(), D_BOMB1);
    EXPECT_EQ(b->type, D_BLAST) << "one cell away: fired";
    EXPECT_STREQ(b->iname, "blast-0");
    EXPECT_EQ(l.inventory[D_BOMB1], 0);
    logic_bomb(w.g(), D_BOMB1);
    EXPECT_EQ(logic_find(w.g(), D_BOMB1), nullptr) << "an empty stock drops nothing";

    l.inventory[D_BOMB4] = 2;
    logic_bomb(w.g(), D_BOMB4);
    Entity* m = logic_find(w.g(), D_BOMB4);
    p->x = 22;
    p->tx = 22;
    logic_bomb(w.g(), D_BOMB4);
    EXPECT_EQ(m->type, D_FIRE);
    EXPECT_EQ(l.inventory[D_BOMB4], 1) << "firing does not drop a second one";
}

TEST(LogicBomb, BombsLandOnTheNearestCellAndNeverOnAnotherThing) {
    World w;
    with_player(w);
    LevelData& l = w.lev();
    l.inventory[D_BOMB3] = 3;
    l.inventory[D_BOMB2] = 1;
    Entity* p = w.player();
    logic_click(w.g(), 30, 20);
    for (int t = 0; t < 40 && p->x < 21.625f; t++) w.tick();
    ASSERT_EQ(p->x, 21.625f);
    logic_bomb(w.g(), D_BOMB3);
    Entity* e = logic_find(w.g(), D_BOMB3);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->x, 22.0f) << "dropped while walking: the cell nearest to the player";
    EXPECT_EQ(l.inventory[D_BOMB3], 2);

    p->x = 22;
    p->tx = 22;
    p->path_n = 0;
    p->dx = 0;
    logic_bomb(w.g(), D_BOMB2);
    EXPECT_EQ(logic_find(w.g(), D_BOMB2), nullptr) << "something already lies here";
    EXPECT_EQ(l.inventory[D_BOMB2], 1);

    logic_bomb(w.g(), 7);  // not a bomb
    logic_bomb(w.g(), 99);
    EXPECT_EQ(l.inventory[D_BOMB3], 2);
}

TEST(LogicBomb, WithEverySlotTakenTheBombIsLost) {
    World w;
    with_player(w);
    for (Entity& e : w.lev().items) e.active = 1;
    for (int i = 0; i < ENTITY_MAX; i++)
        if (w.lev().items[i].type == 0) w.lev().items[i].type = D_LIGHT;
    w.lev().inventory[D_BOMB1] = 1;
    logic_bomb(w.g(), D_BOMB1);
    EXPECT_EQ(w.lev().inventory[D_BOMB1], 0);
    EXPECT_EQ(logic_find(w.g(), D_BOMB1), nullptr);
}

TEST(LogicBomb, EmpBombFreezesGuardsOncePerPulse) {
    World w;
    with_player(w);
    LevelData& l = w.lev();
    l.inventory[D_BOMB3] = 2;
    logic_bomb(w.g(), D_BOMB3);
    w.tick(5);
    EXPECT_EQ(l.emp, 0) << "waits while the player stands on it";
    Entity* p = w.player();
    p->x = p->tx = 21;
    logic_bomb(w.g(), D_BOMB3);
    Entity* second = &l.items[l.item_n - 1];
    p->x = p->tx = 22;
    w.tick();
    EXPECT_EQ(l.emp, 300) << "the first goes off";
    EXPECT_EQ(second->active, 1) << "the second waits for the pulse to run out";
    int fired_at = -1;
    for (int t = 0; t < 400 && fired_at < 0; t++) {
        w.tick();
        if (!second->active) fired_at = t;
    }
    EXPECT_EQ(fired_at, 298);
    EXPECT_EQ(l.emp, 301);
}

TEST(LogicBomb, BlastRingsOpenOneStageAfterTheirNumber) {
    // The stage at which each ring opens: ring v at stage v + 1, ring 6 never.
    static const int ring[11][11] = {
        {0, 0, 0, 0, 6, 6, 6, 0, 0, 0, 0}, {0, 0, 6, 6, 5, 5, 5, 6, 6, 0, 0},
        {0, 6, 5, 5, 4, 4, 4, 5, 5, 6, 0}, {0, 6, 5, 4, 3, 3, 3, 4, 5, 6, 0},
        {6, 5, 4, 3, 2, 2, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1, 2, 3, 4, 5, 6},
        {6, 5, 4, 3, 2, 2, 2, 3, 4, 5, 6}, {0, 6, 5, 4, 3, 3, 3, 4, 5, 6, 0},
        {0, 6, 5, 5, 4, 4, 4, 5, 5, 6, 0}, {0, 0, 6, 6, 5, 5, 5, 6, 6, 0, 0},
        {0, 0, 0, 0, 6, 6, 6, 0, 0, 0, 0},
    };
    World w;
    w.set(60, 57, T_PILLAR);
    logic_info(w.g());
    ASSERT_EQ(w.lev().c_pillars, 1);
    Entity& b = w.place(D_BLAST, 60, 60);
    for (int stage = 1; stage <= 8; stage++) {
        advance(w, b, logic_blast);
        ASSERT_EQ(b.frame, stage);
        for (int j = 0; j < 11; j++) {
            for (int i = 0; i < 11; i++) {
                int v = ring[j][i];
                bool open = v != 0 && v != 6 && stage >= v + 1;
                int before = (i == 5 && j == 2) ? T_PILLAR : T_FLOOR;
                EXPECT_EQ(w.at(55 + i, 55 + j), open ? T_HOLE : before) << "stage " << stage << " " << i << "," << j;
            }
        }
    }
    EXPECT_EQ(w.lev().c_pillars, 0) << "the pillar fell into the hole";
    EXPECT_STREQ(b.iname, "blast-8");
    w.lev().frame = 2;
    logic_blast(w.g(), b);
    EXPECT_EQ(b.frame, 8) << "stages advance every other tick";
    advance(w, b, logic_blast);
    EXPECT_EQ(b.active, 0) << "after stage 8 it raises the alarm and is gone";
}

TEST(LogicBomb, BlastsAtTheEdgeChangeOnlyCellsOnTheGrid) {
    World w;
    Entity& b = w.place(D_BLAST2, 1, 64);
    for (int stage = 1; stage <= 9; stage++) advance(w, b, logic_blast2);
    EXPECT_EQ(w.at(0, 64), T_HOLE) << "the border inside the disc opens too";
    EXPECT_EQ(w.at(5, 64), T_HOLE);
    EXPECT_EQ(w.at(6, 64), T_FLOOR) << "ring 6 stays";
    Entity& far = w.place(D_BLAST, -3, 200);
    for (int stage = 1; stage <= 9; stage++) advance(w, far, logic_blast);
    EXPECT_EQ(far.active, 0);
}

TEST(LogicBomb, FireClearsWallsNearItsCentreAndKillsOnlyActorsOnCellCentres) {
    World w;
    w.set(61, 60, T_WALL);   // ring 2
    w.set(61, 61, T_CRATE);  // ring 3
    w.set(62, 60, T_WALL);   // ring 4: burns, but is not cleared
    w.set(59, 60, T_EMPTY);  // never changed by fire
    w.set(60, 59, T_HOLE);
    Entity& on_centre = w.place(D_GUARD, 60, 62);  // ring 4
    Entity& gliding = w.place(D_GUARD, 58, 61);
    gliding.x = 58.5f;  // between two burning cells of ring 4 and ring 3
    gliding.dx = 1;
    Entity& player = w.place(D_PLAYER, 60, 61);
    player.x = 59.6f;  // its cell is (60, 61), ring 2
    Entity& f = w.place(D_FIRE, 60, 60);
    logic_info(w.g());
    advance(w, f, logic_fire);
    advance(w, f, logic_fire);
    EXPECT_EQ(w.at(61, 60), T_WALL) << "stage 2 burns ring 1 only";
    advance(w, f, logic_fire);
    EXPECT_EQ(w.at(61, 60), T_FLOOR);
    EXPECT_EQ(w.at(61, 61), T_CRATE);
    EXPECT_EQ(player.state, D_DEAD);
    EXPECT_FALSE(w.g().ext.info[60][61] & INFO_SOLID) << "flags follow at once";
    advance(w, f, logic_fire);
    EXPECT_EQ(w.at(61, 61), T_FLOOR);
    EXPECT_NE(on_centre.state, D_DEAD);
    advance(w, f, logic_fire);
    EXPECT_EQ(on_centre.state, D_DEAD) << "a guard on a burning cell centre dies";
    for (int s = 0; s < 3; s++) advance(w, f, logic_fire);
    EXPECT_EQ(w.at(62, 60), T_WALL) << "the outer ring does not clear walls";
    EXPECT_EQ(w.at(59, 60), T_EMPTY);
    EXPECT_EQ(w.at(60, 59), T_HOLE);
    EXPECT_NE(gliding.state, D_DEAD) << "a guard between cells survives";
    advance(w, f, logic_fire);
    EXPECT_EQ(f.active, 0);
    EXPECT_EQ(on_centre.state, D_DEAD) << "the fire's alarm does not wake the dead";
    EXPECT_EQ(gliding.state, D_RUN);
    logic_guard(w.g(), on_centre);
    EXPECT_EQ(on_centre.active, 0);
}
