// The screens a newcomer sees first, drawn by the real game: the main menu,
// the tutorial list, the editor holding the last tutorial, that tutorial's
// intro and play on a wide window, and a death in it. (The play and win
// pictures and the moving one are taken by the test that plays the tutorials.)
#include <gtest/gtest.h>

#include "harness.h"
#include "logic.h"
#include "menu_internal.h"
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
    h.tick(20);
    ASSERT_STREQ("t10", g._edit.name);
    EXPECT_GT(screenshot(h, "tutorials"), MIN_COLOURS);
    g.next(STATE_EDIT);
    h.tick(30);
    ASSERT_EQ(STATE_EDIT, g.state);
    EXPECT_GT(screenshot(h, "editor"), MIN_COLOURS);
}

// A map in play on a wide window: the last tutorial at its start, at 1920 x 1080.
TEST(Screenshots, PlayOnAWideWindow) {
    Harness h(1920, 1080);
    h.start();
    Game& g = h.game();
    _menu_cur = 9;
    g.next(STATE_MENU_PLAY);
    h.tick();
    ASSERT_STREQ("t10", g._edit.name);
    g.level = g._edit;
    g.parent = STATE_MENU_PLAY;
    g.next(STATE_LEVEL);
    h.tick(30);  // the intro over the map as the camera swoops in
    EXPECT_GT(screenshot(h, "intro-wide"), MIN_COLOURS);
    h.key(KEY_RETURN);
    ASSERT_EQ(STATE_LEVEL, g.state);
    h.tick(45);  // the guards on their rounds
    EXPECT_GT(screenshot(h, "play-wide"), MIN_COLOURS);

    // Seen by a guard: the pause panel low, under the body.
    Entity* p = logic_find(g, D_PLAYER);
    ASSERT_TRUE(p);
    p->state = D_DEAD;
    p->frame = 0;
    g.death_cause = DEATH_SHOT;
    ASSERT_TRUE(h.tick_until([&] { return g.state == STATE_PAUSE; }, 60));
    h.tick(20);
    EXPECT_GT(screenshot(h, "death"), MIN_COLOURS);
}
