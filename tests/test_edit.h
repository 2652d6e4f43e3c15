// Shared by the editor's screen tests: a running game with a new map open in
// the editor, and finding and clicking widgets by what they show.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "edit.h"
#include "harness.h"
#include "logic.h"

class EditScreenTest : public ::testing::Test {
protected:
    Harness h;
    Game& g = h.game();

    void SetUp() override {
        h.start();
        logic_new(g);
        edit_reset(g);
        g.next(STATE_EDIT);
        h.tick(2);
    }

    Container& gui() { return h.gui(); }

    // The label showing `text` on the current screen, or null.
    Label* label(const char* text) { return find_label(&gui(), text); }

    // Clicks the middle of a widget as laid out by the last frame.
    void click(Widget* w) {
        ASSERT_NE(w, nullptr);
        MyRect r = w->get_abs_rect(true);
        float x = r.x + r.w / 2.0f, y = r.y + r.h / 2.0f;
        ASSERT_TRUE(x >= 0 && x < CANVAS_W && y >= 0 && y < CANVAS_H) << "off screen: " << x << "," << y;
        h.click(x, y);
    }
    void click_label(const char* text) {
        Label* l = label(text);
        ASSERT_NE(l, nullptr) << text;
        click(l);
    }

    // Presses the left button on map cell (x, y) and lets go.
    void click_cell(int x, int y) {
        float cx, cy;
        ASSERT_TRUE(h.cell_to_canvas(x, y, &cx, &cy));
        h.click(cx, cy);
    }
};
