// Watching how a map was won, on the real game: a won tutorial's shipped
// replay played to its end from the tutorial list, and replays that cannot
// be watched.
#include <gtest/gtest.h>

#include <string>

#include "base64.h"
#include "game_web.h"
#include "menu_internal.h"
#include "screenshots.h"
#include "test_menu.h"
#include "watch_internal.h"

using namespace menu_test;

TEST(Watch, AWonTutorialPlaysToItsLastTickAndCountsNothing) {
    Harness h;
    h.start();
    Game& g = h.game();
    _menu_cur = 0;
    g.next(STATE_MENU_PLAY);
    h.tick();
    Container& list = gui_of(STATE_MENU_PLAY);
    EXPECT_FALSE(list.find("watch")) << "offered before the tutorial was won";
    game_db_record_best(g, "t01", 1234);
    g.next(STATE_MENU_PLAY);
    ASSERT_TRUE(click_button(h, list, "Watch how it was won"));
    ASSERT_TRUE(list.find("watch-ask"));
    screenshot(h, "watch-ask");
    h.key(KEY_ESCAPE);  // puts the question away, stays on the list
    EXPECT_FALSE(list.find("watch-ask"));
    EXPECT_EQ(g.state, STATE_MENU_PLAY);
    ASSERT_TRUE(click_button(h, list, "Watch how it was won"));
    ASSERT_TRUE(click_button(h, list, "Watch"));
    ASSERT_EQ(g.state, STATE_WATCH);
    const WatchProgress& p = watch_progress();
    ASSERT_GT(p.ticks, 0);

    // One tick of the replay a frame, none while paused, four at x4.
    int at = p.tick;
    h.tick(3);
    EXPECT_EQ(p.tick, at + 3);
    h.key(0, ' ');
    h.tick(5);
    EXPECT_EQ(p.tick, at + 3);
    screenshot(h, "watch");
    h.key(KEY_p);
    Container& watch = gui_of(STATE_WATCH);
    ASSERT_TRUE(click_button(h, watch, "x4"));
    at = p.tick;
    h.tick();
    EXPECT_EQ(p.tick, at + 4);

    ASSERT_TRUE(h.tick_until([&] { return p.phase == WATCH_DONE; }, p.ticks));
    EXPECT_EQ(p.tick, p.ticks);
    EXPECT_EQ(p.ended, STATE_LEVEL_WIN);
    EXPECT_EQ(g.state, STATE_WATCH);
    ASSERT_TRUE(watch.find("watch-end"));
    EXPECT_TRUE(shows(watch.find("watch-end"), "That is how it was won"));
    screenshot(h, "watch-end");
    ASSERT_TRUE(click_button(h, watch, "Back"));
    EXPECT_EQ(g.state, STATE_MENU_PLAY);
    EXPECT_EQ(game_db_best(g, "t01"), 1234);

    // A replay that cannot be read, or that was made on another map, says
    // so and leaves the list where it was.
    std::string other = game_replay_find(g.gamedb, "t02");
    const struct {
        std::string b64;
        const char* says;
    } bad[] = {{"not a replay", "cannot be read"}, {base64_encode("VQRP"), "cannot be read"},
               {other, "another version of the map"}};
    ASSERT_FALSE(other.empty());
    for (const auto& b : bad) {
        watch_open(g, b.b64, STATE_MENU_PLAY);
        EXPECT_EQ(g.state, STATE_MENU_PLAY);
        EXPECT_NE(game_notice_text().find(b.says), std::string::npos) << game_notice_text();
    }

    // A game ended while watching starts again on the list, not on the show.
    watch_open(g, game_replay_find(g.gamedb, "t01"), STATE_MENU_PLAY);
    h.tick(10);
    ASSERT_EQ(g.state, STATE_WATCH);
    h.stop();
    Harness again(h.home());
    again.start();
    EXPECT_EQ(again.game().state, STATE_MENU_PLAY);
}
