// The tick: counters, winning beside a window, dying, picking up items, the
// pointer focus, slot order and the rewind ring.
#include <cstdlib>

#include <gtest/gtest.h>

#include "logic_world.h"

TEST(LogicTick, TheFirstTicksCountFramesButNotPlayTime) {
    World w;
    w.draw(20, 20, {"@"});
    w.lev().inventory[D_BOMB1] = 2;
    w.lev().inventory[D_BOMB4] = 1;
    w.lev().emp = 3;
    w.init();
    LevelData& l = w.lev();
    EXPECT_EQ(l.frame, 2) << "set-up runs two ticks";
    EXPECT_EQ(l.emp, 1);
    EXPECT_EQ(l.t_extra, 3);
    for (int t = 3; t <= 5; t++) {
        w.tick();
        EXPECT_EQ(l.frame, t);
        EXPECT_EQ(l.timer, 0) << "the clock waits for the first step";
    }
    EXPECT_EQ(l.emp, 0);
    logic_click(w.g(), 25, 20);
    w.tick();
    EXPECT_EQ(l.timer, 0) << "the step is taken in this tick, after the clock";
    w.tick(10);
    EXPECT_EQ(l.timer, 10);
    logic_bomb(w.g(), D_BOMB1);
    w.tick();
    EXPECT_EQ(l.t_extra, 2) << "bombs left follow the stock";
}

TEST(LogicTick, WinningNeedsAWindowBesideThePlayerAndNoPillar) {
    World w;
    w.draw(30, 30, {
        "W...",
        ".@..",
    });
    w.init();
    Entity* p = w.player();
    w.tick(5);
    EXPECT_NE(p->state, D_WIN) << "a diagonal window does not count";
    w.set(40, 40, T_PILLAR);
    logic_click(w.g(), 31, 30);  // beside the window, but a pillar stands
    w.tick(20);
    ASSERT_EQ(p->y, 30.0f);
    EXPECT_NE(p->state, D_WIN);
    w.set(40, 40, T_FLOOR);
    w.tick();
    EXPECT_EQ(p->state, D_WIN);
    EXPECT_STREQ(p->iname, "blank");
}

TEST(LogicTick, TheWinSequenceEndsOnTheWinScreenAndClearsDirtyOnlyWhenClean) {
    for (int variant = 0; variant < 3; variant++) {
        World w;
        w.draw(30, 30, {"W.@"});
        w.draw(40, 40, {"G"});
        w.init();
        w.g()._edit.dirty = 1;
        LevelData& l = w.lev();
        if (variant == 1) l.t_rewind = 1;
        l.t_bonus = variant == 2 ? 1 : 0;  // variant 2: a cartridge left behind
        Entity* p = w.player();
        logic_click(w.g(), 31, 30);
        for (int t = 0; t < 20 && p->state != D_WIN; t++) w.tick();
        ASSERT_EQ(p->state, D_WIN);
        EXPECT_EQ(logic_find(w.g(), D_GUARD), nullptr) << "guards leave the map";
        int unblasted = 0, fireworks = 0;
        for (int t = 0; t < 59; t++) {
            w.tick();
            for (Entity& e : l.items) {
                if (!e.active || e.type != D_BLAST2) continue;
                fireworks++;
                if (e.iname[0] == 0) unblasted++;
            }
        }
        EXPECT_GT(fireworks, 0);
        EXPECT_EQ(unblasted, 0) << "a firework spawned in a later slot blasts in the same tick";
        EXPECT_EQ(w.g().state, STATE_LEVEL);
        w.tick();
        EXPECT_EQ(w.g().state, STATE_LEVEL_WIN);
        EXPECT_EQ(w.g()._edit.dirty, variant == 0 ? 0 : 1) << variant;
    }
}

TEST(LogicTick, AShotPlayerBesideAWindowStillWins) {
    World w;
    w.draw(30, 30, {"W@"});
    w.set(40, 40, T_PILLAR);
    w.init();
    Entity* p = w.player();
    w.set(40, 40, T_FLOOR);  // the last pillar falls ...
    p->state = D_DEAD;       // ... as the player is shot
    p->frame = 0;
    w.tick();
    EXPECT_EQ(p->state, D_WIN) << "the win check comes first";

    World e;  // the editor's ticks never end a map
    e.draw(30, 30, {"W@"});
    e.g().state = STATE_EDIT;
    e.init();
    e.tick(100);
    EXPECT_NE(e.player()->state, D_WIN);
}

TEST(LogicTick, TheDyingPlayerGoesToThePauseScreenAfter15Ticks) {
    World w;
    w.draw(30, 30, {"@"});
    w.init();
    Entity* p = w.player();
    w.set(30, 30, T_HOLE);  // blasted under its feet
    w.tick();
    EXPECT_EQ(p->state, D_DEAD);
    EXPECT_EQ(p->frame, 0);
    for (int t = 1; t < 15; t++) {
        w.tick();
        ASSERT_EQ(w.g().state, STATE_LEVEL) << t;
    }
    EXPECT_EQ(0, strncmp(p->iname, "player-die-", 11));
    w.tick();
    EXPECT_EQ(w.g().state, STATE_PAUSE);
}

TEST(LogicTick, ItemsAreCollectedOnlyWhereThePathPassesACellCentre) {
    World w;
    w.draw(30, 30, {
        "@.$.bm.",
        "...$...",
    });
    w.init();
    LevelData& l = w.lev();
    EXPECT_EQ(l.t_bonus, 2);
    logic_click(w.g(), 36, 30);
    w.tick(100);
    EXPECT_EQ(w.player()->x, 36.0f);
    EXPECT_EQ(l.inventory[D_BONUS], 1);
    EXPECT_EQ(l.c_bonus, 1);
    EXPECT_EQ(l.inventory[D_BOMB1], 1);
    EXPECT_EQ(l.inventory[D_BOMB4], 1);
    EXPECT_EQ(w.at(32, 30), T_FLOOR);
    EXPECT_EQ(w.at(33, 31), T_CARTRIDGE) << "an item beside the path stays";
}

TEST(LogicTick, TheFocusPrefersFreeCellsNearThePointer) {
    World w;
    w.draw(40, 40, {"###", "###", "###"});
    LevelData& l = w.lev();
    l.hover_x = 41.7f;
    l.hover_y = 41.2f;
    l.focus_x = 50.5f;
    l.focus_y = 41.5f;
    logic_focus(w.g());
    EXPECT_EQ(l.focus_x, 43.5f) << "the nearest free cells are 2 away; of those the one nearest the old focus";
    EXPECT_EQ(l.focus_y, 41.5f);
    l.hover_x = 60.2f;
    l.hover_y = 60.9f;
    logic_focus(w.g());
    EXPECT_EQ(l.focus_x, 60.5f);
    EXPECT_EQ(l.focus_y, 60.5f);
    l.hover_x = -20;
    l.hover_y = 60;
    logic_focus(w.g());
    EXPECT_EQ(l.focus_x, -19.5f) << "far off the map the pointer's own cell";
}

// What the rewind screen does with the ring: newest snapshot first.
static int rewind_step(Game& g) {
    int best = -1;
    for (int i = 0; i < REWIND_MAX; i++)
        if (g._rewind[i].frame > 0 && (best < 0 || g._rewind[i].frame > g._rewind[best].frame)) best = i;
    if (best < 0) return 0;
    int frame = g._rewind[best].frame;
    g._rewind[best].frame = 0;
    return frame;
}

TEST(LogicTick, TheRewindRingKeepsTheLast50SnapshotsSixTicksApart) {
    World w;
    Game& g = w.g();
    g._rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    ASSERT_NE(g._rewind, nullptr);
    w.draw(30, 30, {"@"});
    w.init();
    logic_rewind_reset(g);
    w.tick(4);
    EXPECT_EQ(g._rewind_n, 1) << "frame 6 is the first snapshot";
    EXPECT_EQ(g._rewind[0].frame, 6);
    logic_click(g, 40, 30);
    w.tick(354);  // frame 360
    EXPECT_EQ(g._rewind_n, 60);
    EXPECT_EQ(memcmp(&g._rewind[59 % REWIND_MAX], &g.level, sizeof(LevelData)), 0) << "a whole copy";
    for (int expect = 360; expect >= 66; expect -= REWIND_EVERY) EXPECT_EQ(rewind_step(g), expect);
    EXPECT_EQ(rewind_step(g), 0) << "ten seconds back and the ring is empty";

    w.tick(12);
    logic_rewind_reset(g);
    EXPECT_EQ(g._rewind_n, 0);
    EXPECT_EQ(rewind_step(g), 0) << "nothing to rewind after a reset";
    free(g._rewind);
    g._rewind = nullptr;
    w.tick(12);  // without a ring nothing is captured
    EXPECT_EQ(g._rewind_n, 0);
}

TEST(LogicTick, BlastsFromTimeBombsStartOnTheNextTick) {
    World w;
    w.draw(30, 30, {"@"});
    w.init();
    Entity& b = w.place(D_BOMB2, 40, 40);
    b.timer = 1;
    w.lev().frame = 10;  // the next tick is odd: a blast tick would advance its stage
    w.tick();
    EXPECT_EQ(b.type, D_BLAST);
    EXPECT_EQ(b.frame, 0);
    w.tick();
    EXPECT_EQ(b.frame, 0) << "even tick";
    w.tick();
    EXPECT_EQ(b.frame, 1);
}
