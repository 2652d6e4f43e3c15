// The editor screen driven through the real game: the palette, painting
// under the camera, the undo keys, the buttons and the ways out.
#include <cmath>
#include <set>
#include <utility>

#include "edit_internal.h"
#include "myview.h"
#include "myview_internal.h"
#include "test_edit.h"

namespace {

class EditorScreen : public EditScreenTest {
protected:
    Widget* tile_button(int t) {
        char name[16];
        snprintf(name, sizeof(name), "%d", t);
        return gui().find(name);
    }
    void choose(int t) {
        click(tile_button(t));
        ASSERT_EQ(_edit_cur, t);
    }
    // Shows the camera at this angle, settled.
    void turn_to(float deg) {
        g._edit.rotate = g._edit.trotate = deg;
        h.tick(2);
    }
    // Direction on the canvas of one step from cell (x, y) along direction code `code`.
    void screen_step(int x, int y, int code, float* dx, float* dy) {
        float ax, ay, bx, by;
        ASSERT_TRUE(h.cell_to_canvas(x, y, &ax, &ay));
        ASSERT_TRUE(h.cell_to_canvas(x + logic_arrow_decode[code][0], y + logic_arrow_decode[code][1], &bx, &by));
        float len = std::hypot(bx - ax, by - ay);
        ASSERT_GT(len, 1.0f);
        *dx = (bx - ax) / len;
        *dy = (by - ay) / len;
    }
};

}  // namespace

TEST_F(EditorScreen, PaletteShowsTheFirst32TilesColumnByColumn) {
    ASSERT_TRUE(_edit_map_built);
    MyRect prev;
    for (int c = 0; c < EDIT_PALETTE_COLS; c++)
        for (int row = 0; row < EDIT_PALETTE_ROWS; row++) {
            Widget* b = tile_button(_edit_map[EDIT_PALETTE_ROWS * c + row]);
            ASSERT_NE(b, nullptr) << c << "," << row;
            MyRect r = b->get_abs_rect(true);
            EXPECT_EQ(r.w, 48);
            EXPECT_EQ(r.h, 48);
            EXPECT_EQ(r.x, 192 + 48 * c);
            if (row == 1) {
                EXPECT_EQ(r.y, prev.y + 48);
            }
            prev = r;
        }
    // The help line closes the palette at the bottom edge of the screen.
    Widget* help = gui().find("help");
    ASSERT_NE(help, nullptr);
    MyRect hr = help->get_abs_rect(true);
    EXPECT_EQ(hr.y, prev.y + 48);
    EXPECT_EQ(hr.y + hr.h, CANVAS_H);
    // The catalogue offers 32 tiles: every slot shows a different one.
    std::set<int> shown(_edit_map, _edit_map + EDIT_PALETTE_COLS * EDIT_PALETTE_ROWS);
    EXPECT_EQ(shown.size(), 32u);
}

TEST_F(EditorScreen, ChoosingATileMovesTheHighlightAndTheHelp) {
    const int wall = 5, guard = 16;
    choose(wall);
    EXPECT_EQ(tile_button(wall)->style.alt, 1);
    EXPECT_STREQ(static_cast<Label*>(gui().find("help"))->txt, g.tiles[wall].help);
    choose(guard);
    EXPECT_EQ(tile_button(wall)->style.alt, 0);
    EXPECT_EQ(tile_button(guard)->style.alt, 1);
    EXPECT_STREQ(static_cast<Label*>(gui().find("help"))->txt, g.tiles[guard].help);
    // The highlight fades in on the chosen button only.
    h.tick(6);
    EXPECT_EQ(tile_button(guard)->style.cur().ovr_alpha, 85);
    EXPECT_EQ(tile_button(wall)->style.cur().ovr_alpha, 0);

    // The choice is kept when the editor is left and entered again.
    g.next(STATE_EDIT_MENU);
    g.next(STATE_EDIT);
    h.tick();
    EXPECT_EQ(_edit_cur, guard);
    EXPECT_EQ(tile_button(guard)->style.alt, 1);
}

TEST_F(EditorScreen, ClickPaintsTheCellAndShowsItsActors) {
    choose(16);  // a guard
    click_cell(60, 62);
    EXPECT_EQ(g._edit.data[62][60], 16);
    EXPECT_EQ(g.ext.undo_n, 1);
    EXPECT_EQ(g._edit.dirty, 1);
    EXPECT_EQ((int)g._edit.hover_x, 60);
    EXPECT_EQ((int)g._edit.hover_y, 62);
    // Every frame sets the map up as it would be played.
    h.tick();
    EXPECT_EQ(g.level.frame, 2);
    Entity* guard = logic_find(g, D_GUARD);
    ASSERT_NE(guard, nullptr);
    EXPECT_EQ(guard->x, 60);
    EXPECT_EQ(guard->y, 62);
    // The spawn tile is gone from the play copy only.
    EXPECT_NE(g.tiles[g.level.data[62][60]].type, D_GUARD);
    EXPECT_EQ(g._edit.data[62][60], 16);
}

TEST_F(EditorScreen, DragPaintsAGaplessLineAtAnyAngleEachCellItsOwnChange) {
    choose(5);
    // At the default camera, then turned by 45 degrees: a fast drag from
    // (50, 60) to (58, 64) paints a line of cells that share an edge.
    float start = g._edit.rotate;
    for (float turn : {0.0f, 45.0f, 90.0f}) {
        g._edit.pan_x = 54;
        g._edit.pan_y = 62;
        turn_to(start + turn);
        for (int y = 58; y <= 66; y++)
            for (int x = 48; x <= 60; x++) g._edit.data[y][x] = 1;
        edit_reset(g);
        float ax, ay, bx, by;
        ASSERT_TRUE(h.cell_to_canvas(50, 60, &ax, &ay));
        ASSERT_TRUE(h.cell_to_canvas(58, 64, &bx, &by));
        h.press(ax, ay);
        h.move(bx, by);  // one fast motion with the button held
        h.release(bx, by);
        h.tick();
        std::set<std::pair<int, int>> painted;
        for (int y = 58; y <= 66; y++)
            for (int x = 48; x <= 60; x++)
                if (g._edit.data[y][x] == 5) painted.insert({x, y});
        EXPECT_EQ(painted.size(), 13u) << "8 + 4 steps and the first cell, at " << turn;
        // Walk from one end to the other through edge neighbours only.
        std::set<std::pair<int, int>> seen = {{50, 60}}, todo = seen;
        while (!todo.empty()) {
            auto c = *todo.begin();
            todo.erase(todo.begin());
            for (auto d : {std::make_pair(1, 0), std::make_pair(-1, 0), std::make_pair(0, 1), std::make_pair(0, -1)}) {
                std::pair<int, int> n(c.first + d.first, c.second + d.second);
                if (painted.count(n) && seen.insert(n).second) todo.insert(n);
            }
        }
        EXPECT_TRUE(seen.count({58, 64})) << "no gap at " << turn;
        EXPECT_EQ(g.ext.undo_n, (int)painted.size());
    }
    // One undo takes back one cell.
    int before = g.ext.undo_n;
    h.key(KEY_z, 'z', MOD_CTRL);
    EXPECT_EQ(g.ext.undo_n, before - 1);
}

TEST_F(EditorScreen, PaintingOutsideThePlayableAreaRecordsNothing) {
    choose(5);
    g._edit.pan_x = 8;
    g._edit.pan_y = 60;
    h.tick(2);
    for (int x : {1, 3}) {
        float cx, cy;
        ASSERT_TRUE(h.cell_to_canvas(x, 60, &cx, &cy));
        ASSERT_GT(cx, 0);
        ASSERT_LT(cy, CANVAS_H - 129);
        h.click(cx, cy);
    }
    EXPECT_EQ(g.ext.undo_n, 0);
    EXPECT_EQ(g._edit.data[60][3], TILE_BORDER);
    EXPECT_EQ(g._edit.data[60][1], TILE_BORDER);
    // The first playable column does take paint.
    click_cell(4, 60);
    EXPECT_EQ(g._edit.data[60][4], 5);
}

TEST_F(EditorScreen, ClicksOnTheBarOrButtonsDoNotPaint) {
    choose(5);
    unsigned char before[MAP_SIZE][MAP_SIZE];
    memcpy(before, g._edit.data, sizeof(before));
    h.click(100, 600);  // the bar beside the rotate buttons
    h.click(500, 700);  // the help line
    EXPECT_EQ(memcmp(before, g._edit.data, sizeof(before)), 0);
    EXPECT_EQ(g.ext.undo_n, 0);
}

TEST_F(EditorScreen, ArrowIsStoredAsTheOneThatPointsTheWayTheIconDoes) {
    const int route2 = 9;  // the arrow pointing one step down and right
    ASSERT_EQ(g.tiles[route2].type, D_ARROW);
    ASSERT_EQ(g.tiles[route2].value, 2);
    float want_x, want_y;
    turn_to(0);
    screen_step(64, 64, 2, &want_x, &want_y);

    for (float deg : {0.0f, 90.0f, 225.0f}) {
        turn_to(deg);
        choose(route2);
        click_cell(64, 60);
        int t = g._edit.data[60][64];
        ASSERT_EQ(g.tiles[t].type, D_ARROW) << deg;
        float dx, dy;
        screen_step(64, 60, g.tiles[t].value, &dx, &dy);
        EXPECT_GT(dx * want_x + dy * want_y, 0.99f) << "turned " << deg << ": stored " << t;
    }
    // A quarter turn: the arrow drawn pointing down and right on screen
    // points up and right on the map.
    turn_to(90);
    click_cell(64, 60);
    EXPECT_EQ(g.tiles[g._edit.data[60][64]].value, 6);
}

TEST_F(EditorScreen, UndoAndRedoKeys) {
    edit_change(g, 20, 20, 5);
    edit_change(g, 21, 20, 5);
    h.key(KEY_z, 'z', 0);  // no command modifier: nothing
    EXPECT_EQ(g.ext.undo_n, 2);
    h.key(KEY_z, 'z', MOD_CTRL);
    EXPECT_EQ(g._edit.data[20][21], TILE_EMPTY);
    h.key(KEY_z, 'z', MOD_ALT);
    EXPECT_EQ(g._edit.data[20][20], TILE_EMPTY);
    h.key(KEY_z, 'Z', MOD_META | MOD_SHIFT);
    EXPECT_EQ(g._edit.data[20][20], 5);
    h.key(KEY_z, 'Z', MOD_CTRL | MOD_SHIFT);
    EXPECT_EQ(g._edit.data[20][21], 5);
    EXPECT_EQ(g.ext.undo_n, 2);
}

TEST_F(EditorScreen, OverheadAndRotateButtons) {
    int was = _myview.overhead;
    click(gui().find("overhead"));
    EXPECT_EQ(_myview.overhead, !was);
    h.key(KEY_UP);  // the camera's own key does the same
    EXPECT_EQ(_myview.overhead, was);

    turn_to(180);
    // The two big arrows at the bottom left turn 45 degrees a press each way.
    h.click(96 + 48, 624 + 48);
    EXPECT_EQ(g._edit.trotate, 225);
    h.click(48, 624 + 48);
    EXPECT_EQ(g._edit.trotate, 180);
    EXPECT_EQ(g.state, STATE_EDIT);
}

TEST_F(EditorScreen, SpaceStartsATestPlayThatReturnsHere) {
    edit_change(g, 30, 30, 5);
    h.key(KEY_NONE, ' ');
    EXPECT_EQ(g.parent, STATE_EDIT);
    EXPECT_TRUE(g.state == STATE_LEVEL || g.state == STATE_LEVEL_INTRO) << g.state;
    EXPECT_EQ(g.level.data[30][30], 5);
}


TEST_F(EditorScreen, EscapeAndTheMenuLabelOpenTheEditorMenu) {
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_EDIT_MENU);
    g.next(STATE_EDIT);
    h.tick();
    click_label("||");
    EXPECT_EQ(g.state, STATE_EDIT_MENU);
    // Leaving the editor hands its map to the play copy.
    EXPECT_EQ(memcmp(g.level.data, g._edit.data, sizeof(g.level.data)), 0);
}
