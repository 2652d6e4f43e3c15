// The play screen's input and heads-up display: walking keys, bomb keys and
// buttons, the bar and the pause button, and the looks of the bomb buttons.
#include "test_play.h"

namespace {
struct Cell {
    int x, y;
    bool operator==(const Cell& o) const { return x == o.x && y == o.y; }
};

std::ostream& operator<<(std::ostream& os, const Cell& c) { return os << "(" << c.x << "," << c.y << ")"; }

// Where the player's current path ends; its own cell when it has none.
Cell destination(const Entity* p) {
    if (!p->path_n) return {p->tx, p->ty};
    return {p->path[0][0], p->path[0][1]};
}

int channel(unsigned int c, int shift) { return (int)((c >> shift) & 0xFF); }
int red(unsigned int c) { return channel(c, 16); }
int green(unsigned int c) { return channel(c, 8); }
int blue(unsigned int c) { return channel(c, 0); }
}  // namespace

TEST_F(PlayTest, WalkingKeysCombineIntoScreenDirections) {
    build_room();
    play();
    ASSERT_EQ(lev().rotate, 0.0f);
    // With the camera unturned, screen up-right is map north, screen up is
    // map north-west, screen right is map north-east. Keys walk to the wall.
    h.key_down(KEY_w, 'w');
    h.key_down(KEY_d, 'd');
    EXPECT_EQ(destination(player()), (Cell{START_X, ROOM_Y0 + 1}));
    h.key_up(KEY_d, 'd');
    EXPECT_EQ(destination(player()), (Cell{ROOM_X0 + 1, START_Y - (START_X - ROOM_X0 - 1)}));
    h.key_up(KEY_w, 'w');
    EXPECT_EQ(player()->path_n, 0) << "releasing every key stops at the next cell";
    h.key_down(KEY_d, 'd');
    EXPECT_EQ(destination(player()), (Cell{START_X + 7, ROOM_Y0 + 1}));
    h.key_down(KEY_a, 'a');
    EXPECT_EQ(player()->path_n, 0) << "left and right cancel out";
    h.key_up(KEY_a, 'a');
    h.key_up(KEY_d, 'd');

    // A key held while the screen is left counts as released on return.
    h.key_down(KEY_s, 's');
    h.key_down(KEY_ESCAPE);
    ASSERT_EQ(g().state, STATE_PAUSE);
    h.key_up(KEY_s, 's');
    h.key(KEY_ESCAPE);
    ASSERT_EQ(g().state, STATE_LEVEL);
    h.tick_until([&] { return player()->path_n == 0 && player()->x == (float)player()->tx; }, 50);
    Cell here{player()->tx, player()->ty};
    h.key_down(KEY_d, 'd');
    EXPECT_EQ(destination(player()).x - here.x, -(destination(player()).y - here.y)) << "d alone: north-east";
    h.key_up(KEY_d, 'd');
}

TEST_F(PlayTest, BombKeysAndButtonsPlaceTheirKinds) {
    build_room();
    for (int b = D_BOMB1; b <= D_BOMB4; b++) g()._edit.inventory[b] = 2;
    play();
    h.tick();
    // The key 2 and the key x both act on time bombs: drop, then 20 and 30 seconds, then back.
    h.key(KEY_2, '2');
    Entity* tb = logic_find(g(), D_BOMB2);
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(tb->timer, 300);
    EXPECT_EQ(lev().inventory[D_BOMB2], 1);
    h.key(KEY_x, 'x');
    EXPECT_EQ(tb->timer, 600);
    h.key(KEY_2, '2');
    EXPECT_EQ(tb->timer, 900);
    h.key(KEY_x, 'x');
    EXPECT_EQ(logic_find(g(), D_BOMB2), nullptr);
    EXPECT_EQ(lev().inventory[D_BOMB2], 2);

    const struct {
        int key, ch, kind;
    } keys[] = {{KEY_1, '1', D_BOMB1}, {KEY_z, 0, D_BOMB1}, {KEY_3, '3', D_BOMB3}, {KEY_c, 0, D_BOMB3},
                {KEY_4, '4', D_BOMB4}, {KEY_v, 0, D_BOMB4}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        bool lying = logic_find(g(), k.kind) != nullptr;
        h.key(k.key, k.ch);
        EXPECT_EQ(logic_find(g(), k.kind) != nullptr, !lying) << "dropped, then picked up again";
        EXPECT_EQ(lev().inventory[k.kind], lying ? 2 : 1);
    }

    // A press on a bomb button places a bomb and never reaches the map.
    Cell before = destination(player());
    float focus_x = lev().focus_x, focus_y = lev().focus_y;
    for (int b = D_BOMB1; b <= D_BOMB4; b++) {
        h.click(bomb_button_x(b) + BUTTON / 2, BAR_Y + BUTTON / 2);
        EXPECT_EQ(lev().inventory[b], 1);
        // One cell holds one bomb: the next one goes on another cell.
        Entity* e = logic_find(g(), b);
        if (e) e->active = 0;
    }
    EXPECT_EQ(destination(player()), before);
    EXPECT_EQ(lev().focus_x, focus_x);
    EXPECT_EQ(lev().focus_y, focus_y);
}

TEST_F(PlayTest, BarAndPauseButtonKeepClicksFromTheMap) {
    build_room();
    play();
    h.tick();
    float focus_x = lev().focus_x, focus_y = lev().focus_y;
    h.click(BUTTON * 2 + 96, BAR_Y + 48);  // a spacer of the bar
    EXPECT_EQ(player()->path_n, 0);
    EXPECT_EQ(lev().focus_x, focus_x);
    EXPECT_EQ(lev().focus_y, focus_y);

    // The turn buttons turn the camera target by 45 degrees a press.
    float target = lev().trotate;
    h.press(BUTTON / 2, BAR_Y + BUTTON / 2);
    EXPECT_EQ(lev().trotate, target - 45);
    h.release(BUTTON / 2, BAR_Y + BUTTON / 2);
    h.tick(12);
    EXPECT_EQ(lev().rotate, lev().trotate) << "the view has caught up";
    target = lev().trotate;
    h.click(BUTTON * 1.5f, BAR_Y + BUTTON / 2);
    EXPECT_EQ(lev().trotate, target + 45);
    EXPECT_EQ(player()->path_n, 0);

    h.click(15, 15);  // the pause button
    ASSERT_EQ(g().state, STATE_PAUSE);
    EXPECT_EQ(button_codes(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(player()->path_n, 0);
    h.key(KEY_ESCAPE);  // resumes
    EXPECT_EQ(g().state, STATE_LEVEL);
    click_button(3);  // the pause button again, found by its code
    EXPECT_EQ(g().state, STATE_PAUSE);
    click_button(1);  // Resume
    EXPECT_EQ(g().state, STATE_LEVEL);

    // A click on the map does walk.
    ASSERT_TRUE(h.click_cell(START_X + 3, START_Y + 2));
    EXPECT_EQ(destination(player()), (Cell{START_X + 3, START_Y + 2}));
}

TEST_F(PlayTest, BombButtonsShowWhatAPressWouldDo) {
    build_room();
    g()._edit.inventory[D_BOMB2] = 1;
    g()._edit.inventory[D_BOMB4] = 1;
    play();
    h.tick();
    auto corner = [&](int b) { return h.pixel(bomb_button_x(b) + 4, BAR_Y + 4); };
    // Brightness of the icon's middle, where the stock is never written.
    auto icon = [&](int b) {
        int w, hh;
        long total = 0;
        std::vector<unsigned char> px = h.pixels(&w, &hh);
        for (int y = (int)BAR_Y + 20; y < (int)BAR_Y + 60; y++)
            for (int x = (int)bomb_button_x(b) + 20; x < (int)bomb_button_x(b) + 76; x++) {
                const unsigned char* p = &px[((size_t)y * w + x) * 4];
                total += p[0] + p[1] + p[2];
            }
        return total;
    };

    // No stock and nothing on the map: a faint icon.
    long faint = icon(D_BOMB1);
    lev().inventory[D_BOMB1] = 1;
    long bright = icon(D_BOMB1);
    lev().inventory[D_BOMB1] = 0;
    EXPECT_LT(faint, bright * 2 / 3);
    long stocked = icon(D_BOMB2);
    lev().inventory[D_BOMB2] = 0;
    EXPECT_LT(icon(D_BOMB2), stocked * 2 / 3) << "the time bomb in stock is not faint";
    lev().inventory[D_BOMB2] = 1;

    // Standing on a time bomb: armed (amber), whatever the stock.
    unsigned int plain = corner(D_BOMB2);
    h.key(KEY_2, '2');
    ASSERT_EQ(lev().inventory[D_BOMB2], 0);
    unsigned int under = corner(D_BOMB2);
    EXPECT_GT(red(under), red(plain) + 40);
    EXPECT_GT(green(under), green(plain) + 40);
    EXPECT_GT(icon(D_BOMB2), stocked * 3 / 4) << "not faint though the stock is 0";

    // Off it: one look for every kind lying on the map, whether it goes off
    // by itself or is fired by a press.
    h.key(KEY_4, '4');  // no room on this cell: nothing dropped
    EXPECT_EQ(lev().inventory[D_BOMB4], 1);
    ASSERT_TRUE(walk_to(START_X + 1, START_Y));
    h.key(KEY_4, '4');
    Entity* timed = logic_find(g(), D_BOMB2);
    Entity* mini = logic_find(g(), D_BOMB4);
    ASSERT_NE(timed, nullptr);
    ASSERT_NE(mini, nullptr);
    ASSERT_TRUE(walk_to(START_X + 2, START_Y));
    unsigned int timed_tint = corner(D_BOMB2), mini_tint = corner(D_BOMB4);
    timed->active = mini->active = 0;
    unsigned int timed_plain = corner(D_BOMB2);
    timed->active = mini->active = 1;
    EXPECT_EQ(timed_tint, mini_tint) << std::hex << timed_tint << " " << mini_tint;
    EXPECT_GT(red(timed_tint), red(timed_plain) + 100) << std::hex << timed_tint << " " << timed_plain;
    EXPECT_GT(red(timed_tint), blue(timed_tint) + 100) << "amber";

    // The keys 1 to 4 show under the icons, and the counts are large type.
    auto lit = [&](int b) {
        int w, hh, n = 0;
        std::vector<unsigned char> px = h.pixels(&w, &hh);
        for (int y = (int)(BAR_Y + BUTTON) - 22; y < (int)(BAR_Y + BUTTON) - 4; y++)
            for (int x = (int)bomb_button_x(b) + 38; x < (int)bomb_button_x(b) + 58; x++)
                n += px[((size_t)y * w + x) * 4] > 90;  // brighter than the frame by far
        return n;
    };
    for (int b = D_BOMB1; b <= D_BOMB4; b++) EXPECT_GT(lit(b), 4) << "key of " << b;
    EXPECT_GE(font_get_height(font_load(FONT_HEADING), "", 0), 16);

    // The countdown row: a placed EMP bomb shows its pulse in red across the top.
    auto red_text = [&] {
        int w, hh, n = 0;
        std::vector<unsigned char> px = h.pixels(&w, &hh);
        for (int y = 0; y < 40; y++)
            for (int x = 300; x < 660; x++) {
                const unsigned char* p = &px[((size_t)y * w + x) * 4];
                n += p[0] > 200 && p[1] < 140 && p[2] < 140;
            }
        return n;
    };
    EXPECT_EQ(red_text(), 0);
    lev().inventory[D_BOMB3] = 1;
    h.key(KEY_3, '3');
    ASSERT_NE(logic_find(g(), D_BOMB3), nullptr);
    EXPECT_GT(red_text(), 20);
    h.save_png("/tmp/play_bombs.png");
}
