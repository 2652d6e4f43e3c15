// A small walled room built in code and played through the real game: the
// fixture of the play screens' end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "harness.h"
#include "level.h"
#include "logic.h"
#include "logic_world.h"
#include "util.h"

// The room's walls run around x 56..77, y 56..71; the player starts at
// (60, 64) and a window sits in the east wall at (77, 64).
enum {
    ROOM_X0 = 56, ROOM_Y0 = 56, ROOM_X1 = 77, ROOM_Y1 = 71,
    START_X = 60, START_Y = 64,
    WINDOW_X = ROOM_X1, WINDOW_Y = 64
};

// The bottom bar: two turn buttons, two spacers, four bomb buttons of 96.
const float BAR_Y = 624, BUTTON = 96;
inline float bomb_button_x(int btype) { return 576 + (btype - D_BOMB1) * BUTTON; }

class PlayTest : public ::testing::Test {
protected:
    Harness h;
    Harness* cur = &h;  // the running game: h, or a later start on the same HOME

    Game& g() { return cur->game(); }
    LevelData& lev() { return g().level; }
    Entity* player() { return logic_find(g(), D_PLAYER); }

    void SetUp() override { h.start(); }

    // A new map holding the walled room, in the editor's copy.
    void build_room() {
        logic_new(g());
        LevelData& e = g()._edit;
        for (int y = ROOM_Y0; y <= ROOM_Y1; y++)
            for (int x = ROOM_X0; x <= ROOM_X1; x++) {
                bool wall = x == ROOM_X0 || x == ROOM_X1 || y == ROOM_Y0 || y == ROOM_Y1;
                e.data[y][x] = (unsigned char)(wall ? T_WALL : T_FLOOR);
            }
        e.data[64][64] = T_FLOOR;  // a new map's own start cell
        put(START_X, START_Y, '@');
        put(WINDOW_X, WINDOW_Y, 'W');
        mystrcpy(e.title, sizeof(e.title), "The Test Room");
        mystrcpy(e.intro, sizeof(e.intro), "Walk to the window.");
        mystrcpy(e.name, sizeof(e.name), "test_room");
    }

    // Draws one cell of the editor's copy with a character of logic_world.h.
    void put(int x, int y, char c) { g()._edit.data[y][x] = (unsigned char)tile_of_char(c); }

    // Starts play the way the menus do; the intro comes first.
    void start_play(int parent = STATE_MENU_PLAY) {
        g().level = g()._edit;
        g().parent = parent;
        g().next(STATE_LEVEL);
    }

    // Starts play and leaves the intro with a key.
    void play(int parent = STATE_MENU_PLAY) {
        start_play(parent);
        ASSERT_EQ(g().state, STATE_LEVEL_INTRO);
        cur->tick();
        cur->key(KEY_RETURN);
        ASSERT_EQ(g().state, STATE_LEVEL);
    }

    bool player_at(int x, int y) {
        Entity* p = player();
        return p && p->x == (float)x && p->y == (float)y && p->path_n == 0;
    }

    // Clicks a cell and plays until the player stands on it.
    bool walk_to(int x, int y, int max = 600) {
        if (!cur->click_cell(x, y)) {
            ADD_FAILURE() << "cell " << x << "," << y << " is off the screen";
            return false;
        }
        return cur->tick_until([&] { return player_at(x, y) || g().state != STATE_LEVEL; }, max) &&
               player_at(x, y);
    }

    // The widgets of the current screen.
    Container& screen_gui() { return cur->gui(); }

    static void collect_codes(Widget* w, std::vector<Widget*>& out) {
        if (w->onclick) out.push_back(w);
        if (Container* c = dynamic_cast<Container*>(w))
            for (Widget* k : c->widgets) collect_codes(k, out);
    }

    // Widgets of the current screen that answer a click with a code.
    std::vector<Widget*> buttons() {
        std::vector<Widget*> out;
        collect_codes(&screen_gui(), out);
        return out;
    }

    std::vector<int> button_codes() {
        std::vector<int> codes;
        for (Widget* w : buttons()) codes.push_back(w->onclick);
        return codes;
    }

    // Clicks the middle of the widget with this click code (laid out by the last frame).
    void click_button(int code) {
        for (Widget* w : buttons()) {
            if (w->onclick != code) continue;
            MyRect r = w->get_abs_rect(true);
            cur->click(r.x + r.w / 2.0f, r.y + r.h / 2.0f);
            return;
        }
        ADD_FAILURE() << "no button with code " << code;
    }

    // Text of a label of the current screen.
    std::string label(const char* name) {
        Label* l = dynamic_cast<Label*>(screen_gui().find(name));
        return l ? l->txt : "(none)";
    }
};
