// Maps played through the real game from the intro to the win screen, to a
// death, a rewind and a restart, and across a restart of the program.
#include <GL/gl.h>

#include "test_play.h"

TEST_F(PlayTest, RoomPlayedWithMouseAndKeysToTheWinScreen) {
    build_room();
    // Three cartridges on the way, a fourth left behind, a pillar before the window.
    put(62, 64, '$');
    put(64, 64, '$');
    put(66, 64, '$');
    put(60, 68, '$');
    put(71, 64, 'X');
    g()._edit.inventory[D_BOMB1] = 2;
    g()._edit.inventory[D_BOMB4] = 1;
    play();
    EXPECT_EQ(lev().t_bonus, 4);
    EXPECT_EQ(lev().t_pillars, 1);

    ASSERT_TRUE(walk_to(66, 64));
    EXPECT_EQ(lev().c_bonus, 3);
    ASSERT_TRUE(walk_to(70, 64));
    h.key(KEY_4, '4');  // a mini bomb beside the pillar
    EXPECT_EQ(lev().inventory[D_BOMB4], 0);
    ASSERT_NE(logic_find(g(), D_BOMB4), nullptr);

    // Away from it with the keyboard: w and a together walk west on the map.
    h.key_down(KEY_w, 'w');
    h.key_down(KEY_a, 'a');
    ASSERT_TRUE(h.tick_until([&] { return player()->x <= 67.5f; }, 100));
    h.key_up(KEY_w, 'w');
    h.key_up(KEY_a, 'a');
    ASSERT_TRUE(h.tick_until([&] { return player()->path_n == 0 && player()->x == (float)player()->tx; }, 50));
    EXPECT_EQ(player()->y, 64.0f);
    EXPECT_LE(player()->x, 67.0f);

    h.key(KEY_v, 'v');  // fires the mini bomb
    ASSERT_NE(logic_find(g(), D_FIRE), nullptr);
    ASSERT_TRUE(h.tick_until([&] { return lev().c_pillars == 0; }, 60));
    h.tick(20);
    EXPECT_NE(player()->state, D_DEAD);

    ASSERT_TRUE(h.click_cell(WINDOW_X - 1, WINDOW_Y));
    ASSERT_TRUE(h.tick_until([&] { return g().state == STATE_LEVEL_WIN; }, 400));
    EXPECT_EQ(lev().c_bonus, 3);
    EXPECT_EQ(lev().t_extra, 2);
    EXPECT_EQ(lev().t_rewind, 0);

    int time_points = (600 - lev().timer / 30) * 1000 / 600;
    int expected = 500 + time_points + 750 + 400;
    h.tick_until([&] { return label("score") == std::to_string(expected); }, 200);
    EXPECT_EQ(label("score"), std::to_string(expected));
    // Each row keeps the points counted from it.
    EXPECT_EQ(label("time"), std::to_string(time_points));
    EXPECT_EQ(label("bonus"), "750");
    EXPECT_EQ(label("extra"), "400");
    h.save_png("/tmp/play_win.png");
}

namespace {
// The slot of the oldest snapshot of the rewind ring, -1 when it is empty.
int oldest_snapshot(Game& g, int* count) {
    int oldest = -1;
    *count = 0;
    for (int i = 0; i < REWIND_MAX; i++) {
        if (g._rewind[i].frame <= 0) continue;
        (*count)++;
        if (oldest < 0 || g._rewind[i].frame < g._rewind[oldest].frame) oldest = i;
    }
    return oldest;
}
}  // namespace

TEST_F(PlayTest, ShotByAGuardThenRewoundThenRestarted) {
    build_room();
    // Facing south-east, the guard watches the middle of the room, not the start.
    put(66, 58, 'G');
    play();
    ASSERT_TRUE(walk_to(START_X + 1, START_Y));
    h.tick(REWIND_MAX * REWIND_EVERY + 30);  // the clock runs once the player has moved
    ASSERT_GT(lev().timer, 300);
    ASSERT_EQ(player()->state, D_STOP);

    ASSERT_TRUE(h.click_cell(68, START_Y));
    ASSERT_TRUE(h.tick_until([&] { return g().state != STATE_LEVEL; }, 200));
    ASSERT_EQ(g().state, STATE_PAUSE);
    EXPECT_EQ(player()->state, D_DEAD);
    EXPECT_EQ(button_codes(), (std::vector<int>{3, 2, 4})) << "no Resume for a dead player, Rewind first";
    h.tick();

    int count = 0;
    int oldest = oldest_snapshot(g(), &count);
    ASSERT_EQ(count, REWIND_MAX);
    LevelData from = g()._rewind[oldest];
    ASSERT_GT(from.timer, 30);
    int frame_dead = lev().frame;
    click_button(3);  // Rewind: the tick after the release replays the newest snapshot
    ASSERT_EQ(g().state, STATE_REWIND);
    EXPECT_LT(lev().frame, frame_dead);
    EXPECT_EQ(lev().t_rewind, 0);
    // Input is ignored while the snapshots run back.
    h.key(KEY_ESCAPE);
    h.click(480, 360);
    EXPECT_EQ(g().state, STATE_REWIND);
    int ticks = 5;
    while (g().state == STATE_REWIND && ticks < 2 * REWIND_MAX) {
        h.tick();
        ticks++;
    }
    EXPECT_EQ(ticks, REWIND_MAX + 1) << "one snapshot a tick, then back to play";
    ASSERT_EQ(g().state, STATE_LEVEL);
    EXPECT_EQ(lev().timer, from.timer + 600);
    EXPECT_EQ(lev().t_rewind, 1);
    EXPECT_EQ(lev().frame, from.frame);
    EXPECT_EQ(player()->state, D_STOP);
    EXPECT_EQ(player()->x, (float)START_X + 1);

    // A second rewind right away only has what was captured since.
    h.tick(12);
    h.key(KEY_ESCAPE);
    ASSERT_EQ(g().state, STATE_PAUSE);
    EXPECT_EQ(button_codes(), (std::vector<int>{1, 2, 3, 4}));
    oldest_snapshot(g(), &count);
    EXPECT_EQ(count, 2);
    int timer = lev().timer;
    click_button(3);
    ASSERT_TRUE(h.tick_until([&] { return g().state == STATE_LEVEL; }, 10));
    EXPECT_EQ(lev().t_rewind, 2);
    EXPECT_GE(lev().timer, timer - 12 + 600);

    // Restart: the map as designed, the count of rewinds with it, and the intro.
    h.key(KEY_ESCAPE);
    click_button(2);
    EXPECT_EQ(g().state, STATE_LEVEL_INTRO);
    EXPECT_EQ(lev().t_rewind, 0);
    EXPECT_EQ(lev().timer, 0);
    EXPECT_EQ(player()->x, (float)START_X);
    oldest_snapshot(g(), &count);
    EXPECT_EQ(count, 0);
    h.key(KEY_RETURN);
    EXPECT_EQ(g().state, STATE_LEVEL);
}

TEST_F(PlayTest, QuittingDuringPlayResumesOnThePauseScreenOfTheSameMap) {
    build_room();
    play();
    ASSERT_TRUE(walk_to(START_X + 2, START_Y + 1));
    h.tick(40);
    int timer = lev().timer;
    ASSERT_GT(timer, 0);
    Entity was = *player();
    h.stop();  // the process ends during play

    Harness again(h.home());
    again.start();
    cur = &again;
    EXPECT_EQ(g().state, STATE_PAUSE);
    EXPECT_STREQ(lev().title, "The Test Room");
    EXPECT_EQ(lev().timer, timer);
    EXPECT_EQ(g().parent, STATE_MENU_PLAY);
    ASSERT_NE(player(), nullptr);
    EXPECT_EQ(player()->x, was.x);
    EXPECT_EQ(player()->y, was.y);
    again.tick(3);
    EXPECT_EQ(lev().timer, timer) << "frozen while paused";
    EXPECT_EQ(button_codes(), (std::vector<int>{1, 2, 3, 4}));

    // The snapshots were kept beside state.dat: a rewind runs back over them,
    // to the start of this short play.
    click_button(3);
    ASSERT_EQ(g().state, STATE_REWIND);
    ASSERT_TRUE(again.tick_until([&] { return g().state == STATE_LEVEL; }, REWIND_MAX + 2));
    EXPECT_LT(lev().timer, timer);
    EXPECT_EQ(lev().t_rewind, 1);
    EXPECT_LT(player()->x, was.x) << "back on its way from the start";

    // Play goes on from there, without the intro.
    again.tick(5);
    EXPECT_EQ(g().state, STATE_LEVEL);
    ASSERT_TRUE(walk_to(START_X + 1, START_Y));
    again.stop();
    cur = &h;
}
