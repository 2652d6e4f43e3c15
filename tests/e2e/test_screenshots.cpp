// The screens a newcomer sees first, drawn by the real game: the main menu
// and the editor holding the last tutorial. (The play and win pictures are
// taken by the test that plays the tutorials.)
#include <gtest/gtest.h>

#include "harness.h"
#include "menu.h"
#include "screenshots.h"

namespace {
// A screen that draws anything at all uses far more colours than this.
const int MIN_COLOURS = 64;
}  // namespace

TEST(Screenshots, MainMenuAndTheEditorDrawTheirScreens) {
    Harness h;
    h.start();
    Game& g = h.game();
    ASSERT_EQ(STATE_MENU_MAIN, g.state);
    h.tick(30);  // the menu's buttons fade in
    EXPECT_GT(screenshot(h, "menu"), MIN_COLOURS);

    // The tutorial list loads the selected map into the editor's copy.
    _menu_cur = 9;
    g.next(STATE_MENU_PLAY);
    h.tick();
    ASSERT_STREQ("t10", g._edit.name);
    g.next(STATE_EDIT);
    h.tick(30);
    ASSERT_EQ(STATE_EDIT, g.state);
    EXPECT_GT(screenshot(h, "editor"), MIN_COLOURS);
}
