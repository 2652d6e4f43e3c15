// The main menu, the tutorial list and the build list, driven through the
// real game: buttons, keys, the shared list state, deleting and the dates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"
#include "game_web.h"
#include "menu_internal.h"
#include "test_menu.h"

using namespace menu_test;

namespace {

// Canvas points of the tutorial list's bottom row.
const float BOTTOM_Y = 690, PLAY_X = 480, NEXT_X = 840, PREVIOUS_X = 120;

// Three tutorial maps in a database of the test's own; the list starts on the first.
void three_tutorials(Harness& h) {
    Game& g = h.game();
    own_game_db(g, h.user_file("tutorials.db"));
    store_map(g, g.gamedb, "id-b", "t02", "Second", "The second map.");
    store_map(g, g.gamedb, "id-c", "t03", "Third", "The third map.");
    store_map(g, g.gamedb, "id-a", "t01", "First", "The first map.");
    store_map(g, g.gamedb, "id-x", "x01", "Not a tutorial");
    _menu_cur = 0;
}

Container& tutorial_gui() { return gui_of(STATE_MENU_PLAY); }
Container& build_gui() { return gui_of(STATE_MENU_EDIT); }

// Three maps of the user's own, saved at different times: c newest.
void three_user_maps(Harness& h) {
    Game& g = h.game();
    store_map(g, g.userdb, "u-a", "a", "Alpha", "Oldest map.");
    store_map(g, g.userdb, "u-b", "b", "Bravo", "Middle map.");
    store_map(g, g.userdb, "u-c", "c", "Charlie", "Newest map.");
    // Noon in UTC, so that the local date is the same in every time zone.
    g.userdb.query("update levels set ts = '1299499200' where id = 'u-a'", {});  // 7 March 2011
    g.userdb.query("update levels set ts = '1325419200' where id = 'u-b'", {});  // 1 January 2012
    g.userdb.query("update levels set ts = '1356955200' where id = 'u-c'", {});  // 31 December 2012
    _menu_cur = 0;
}

}  // namespace

TEST(MenuMain, ButtonsLeadToTheirScreens) {
    Harness h;
    h.start();
    Game& g = h.game();
    Container& gui = gui_of(STATE_MENU_MAIN);
    ASSERT_EQ(g.state, STATE_MENU_MAIN);
    h.tick();
    for (const char* t : {"Tutorial", "Play", "Build", "Settings", "Your Stats", "Quit"})
        EXPECT_TRUE(shows(&gui, t)) << t;

    const struct {
        int code, state;
    } ways[] = {
        {MENU_PLAY, STATE_MENU_PLAY}, {MENU_EDIT, STATE_MENU_EDIT},
        {MENU_SETTINGS, STATE_MENU_SETTINGS}, {MENU_CREDITS, STATE_MENU_CREDITS},
    };
    for (const auto& w : ways) {
        g.next(STATE_MENU_MAIN);
        ASSERT_TRUE(click_code(h, gui, w.code)) << w.code;
        EXPECT_EQ(g.state, w.state) << w.code;
    }
    g.next(STATE_MENU_MAIN);
    ASSERT_TRUE(click_code(h, gui, MENU_QUIT));
    EXPECT_EQ(g.quit, 1);
}

TEST(MenuMain, PlayFetchesTheFeaturedListAndOpensTheBrowser) {
    Harness h;
    h.start();
    Game& g = h.game();
    ASSERT_TRUE(click_code(h, gui_of(STATE_MENU_MAIN), MENU_DOWNLOAD));
    EXPECT_EQ(g.state, STATE_MENU_DOWNLOAD2);
    EXPECT_STREQ(g.q_value, "c~featured");
    EXPECT_STREQ(g.q_title, "Featured");
}

TEST(MenuMain, StatsOpenTheUsersPage) {
    static std::vector<std::string> urls;
    urls.clear();
    Harness h;
    h.start();
    driver_set_url_handler([](const char* url) { urls.push_back(url); });
    Game& g = h.game();
    mystrcpy(g.settings.name, sizeof(g.settings.name), "ada lovelace&co");
    g.settings_check();
    ASSERT_TRUE(click_code(h, gui_of(STATE_MENU_MAIN), MENU_STATS));
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    driver_set_url_handler(nullptr);
    // Until the online client lands, opening a page does nothing.
    if (urls.empty()) return;
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], game_web_url("/velquist/stats.php") + "?uid=" + web_urlencode("g:ada lovelace&co"));
}

TEST(MenuPlay, NextAndPreviousWalkTheTutorialsAndTheArrowKeysWrap) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_tutorials(h);
    g.next(STATE_MENU_PLAY);
    h.tick();
    Container& gui = tutorial_gui();
    EXPECT_EQ(_menu_total, 3);
    EXPECT_STREQ(g._edit.name, "t01");
    EXPECT_TRUE(shows(&gui, "First"));
    EXPECT_TRUE(shows(&gui, "The first map."));
    EXPECT_FALSE(find_code(&gui, MENU_PREVIOUS)) << "no Previous on the first map";
    ASSERT_TRUE(find_code(&gui, MENU_NEXT));

    h.click(NEXT_X, BOTTOM_Y);
    EXPECT_EQ(_menu_cur, 1);
    EXPECT_STREQ(g._edit.name, "t02");
    EXPECT_TRUE(find_code(&gui, MENU_PREVIOUS));
    h.click(NEXT_X, BOTTOM_Y);
    EXPECT_STREQ(g._edit.name, "t03");
    EXPECT_FALSE(find_code(&gui, MENU_NEXT)) << "no Next on the last map";
    h.tick();
    h.click(NEXT_X, BOTTOM_Y);
    EXPECT_STREQ(g._edit.name, "t03") << "the hidden Next does nothing";

    h.key(KEY_RIGHT);
    EXPECT_EQ(_menu_cur, 0);
    EXPECT_STREQ(g._edit.name, "t01") << "Right wraps to the first map";
    h.key(KEY_LEFT);
    EXPECT_STREQ(g._edit.name, "t03") << "Left wraps to the last map";
    h.tick();
    h.click(PREVIOUS_X, BOTTOM_Y);
    EXPECT_STREQ(g._edit.name, "t02");

    // The selection survives leaving the list.
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
    g.next(STATE_MENU_PLAY);
    EXPECT_STREQ(g._edit.name, "t02");
}

TEST(MenuPlay, PlayStartsTheSelectedMapAndReturnsToTheList) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_tutorials(h);
    _menu_cur = 1;
    g.next(STATE_MENU_PLAY);
    float framed = g.level.zoom;
    h.tick(20);  // the card keeps the camera of play: no turn, no zoom
    EXPECT_EQ(g.level.zoom, framed);
    EXPECT_EQ(g.level.rotate, 0);
    h.click(PLAY_X, BOTTOM_Y);
    // The play screen shows the map's intro first.
    EXPECT_TRUE(g.state == STATE_LEVEL || g.state == STATE_LEVEL_INTRO) << g.state;
    EXPECT_EQ(g.parent, STATE_MENU_PLAY);
    EXPECT_STREQ(g.level.name, "t02");
    EXPECT_STREQ(g.level.title, "Second");
}

TEST(MenuPlay, ShippedTutorialsAreListedInOrder) {
    Harness h;
    h.start();
    Game& g = h.game();
    _menu_cur = 9;
    g.next(STATE_MENU_PLAY);
    h.tick();
    ASSERT_EQ(_menu_total, 10);
    EXPECT_STREQ(g._edit.name, "t10");
    EXPECT_FALSE(find_code(&tutorial_gui(), MENU_NEXT));
    h.key(KEY_RIGHT);
    EXPECT_STREQ(g._edit.name, "t01");
    EXPECT_STRNE(g._edit.title, "");

    // Play answers at once, before the list has been drawn.
    g.next(STATE_MENU_MAIN);
    g.next(STATE_MENU_PLAY);
    h.click(PLAY_X, BOTTOM_Y);
    EXPECT_EQ(g.parent, STATE_MENU_PLAY);
    EXPECT_STREQ(g.level.name, "t01");
}

TEST(MenuPlay, WithoutMapsOnlyTheMessageAndMenuRemain) {
    Harness h;
    h.start();
    Game& g = h.game();
    own_game_db(g, h.user_file("empty.db"));
    _menu_cur = 4;
    g.next(STATE_MENU_PLAY);
    h.tick();
    Container& gui = tutorial_gui();
    EXPECT_TRUE(shows(&gui, "No levels found."));
    for (int code : {MENU_EDIT_PLAY, MENU_NEXT, MENU_PREVIOUS})
        EXPECT_FALSE(find_code(&gui, code)) << code;
    h.key(KEY_RIGHT);
    h.key(KEY_LEFT);
    h.click(PLAY_X, BOTTOM_Y);
    EXPECT_EQ(g.state, STATE_MENU_PLAY);
    EXPECT_STREQ(g._edit.title, "");
    ASSERT_TRUE(click_code(h, gui, MENU_BACK));
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
}

TEST(MenuEdit, ListsTheUsersMapsNewestFirstWithTheirDates) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_user_maps(h);
    store_map(g, g.userdb, "u-d", "d", "Deleted");
    g.userdb.query("update levels set q = 'deleted' where id = 'u-d'", {});
    g.next(STATE_MENU_EDIT);
    h.tick();
    Container& gui = build_gui();
    ASSERT_EQ(_menu_total, 3);
    const char* order[][2] = {{"Charlie", "12/31/2012"}, {"Bravo", "1/1/2012"}, {"Alpha", "3/7/2011"}};
    for (int i = 0; i < 3; i++) {
        Widget* entry = find_code(&gui, MENU_ROW + i);
        ASSERT_TRUE(entry) << i;
        std::vector<std::string> t = label_texts(entry);
        ASSERT_EQ(t.size(), 2u);
        EXPECT_EQ(t[0], order[i][0]);
        EXPECT_EQ(t[1], order[i][1]);
    }
    EXPECT_STREQ(g._edit.id, "u-c");
    Widget* panel = gui.find("lev");
    ASSERT_TRUE(panel);
    EXPECT_TRUE(shows(panel, "Charlie"));
    EXPECT_TRUE(shows(panel, "12/31/2012")) << "the build list's panel shows the date";
    EXPECT_FALSE(gui.find("bts")) << "no author buttons for the user's own maps";

    ASSERT_TRUE(click_code(h, gui, MENU_ROW + 2));
    EXPECT_EQ(_menu_cur, 2);
    EXPECT_STREQ(g._edit.id, "u-a");
    EXPECT_TRUE(shows(gui.find("lev"), "Oldest map."));
    EXPECT_TRUE(find_code(&gui, MENU_ROW)) << "the list stays";

    // The preview and the panel ignore the pointer.
    h.click(640, 300);
    h.click(400, 200);
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    EXPECT_EQ(_menu_cur, 2);
    EXPECT_FALSE(gui.find("dialog"));
}

TEST(MenuEdit, PlayEditAndNewLeaveForTheirScreens) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_user_maps(h);
    _menu_cur = 1;
    g.next(STATE_MENU_EDIT);
    ASSERT_TRUE(click_code(h, build_gui(), MENU_PLAY));
    EXPECT_TRUE(g.state == STATE_LEVEL || g.state == STATE_LEVEL_INTRO) << g.state;
    EXPECT_EQ(g.parent, STATE_MENU_EDIT);
    EXPECT_STREQ(g.level.id, "u-b");

    g.next(STATE_MENU_EDIT);
    h.tick(5);
    ASSERT_TRUE(click_code(h, build_gui(), MENU_EDIT));
    EXPECT_EQ(g.state, STATE_EDIT);
    EXPECT_EQ(_menu_cur, 0);

    _menu_cur = 2;
    g.next(STATE_MENU_EDIT);
    ASSERT_TRUE(click_code(h, build_gui(), MENU_EDIT_NEW));
    EXPECT_EQ(g.state, STATE_EDIT_INFO) << "a new map starts with its title and options";
    EXPECT_EQ(_menu_cur, 0);
    EXPECT_STREQ(g._edit.title, "");
    EXPECT_STRNE(g._edit.id, "u-a");
    EXPECT_EQ(g._edit.dirty, 1);
}

TEST(MenuEdit, SavedMapAppearsFirst) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_user_maps(h);
    store_map(g, g.userdb, "u-new", "n", "Just saved");
    g.next(STATE_MENU_EDIT);
    h.tick();
    EXPECT_EQ(_menu_total, 4);
    EXPECT_STREQ(g._edit.id, "u-new");
    EXPECT_EQ(label_texts(find_code(&build_gui(), MENU_ROW))[0], "Just saved");
}

TEST(MenuEdit, DeletingHidesTheMapAndReturnsToTheFirst) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_user_maps(h);
    g.next(STATE_MENU_EDIT);
    Container& gui = build_gui();
    ASSERT_TRUE(click_code(h, gui, MENU_ROW + 1));
    ASSERT_TRUE(click_code(h, gui, MENU_DELETE));
    ASSERT_TRUE(gui.find("dialog"));
    EXPECT_TRUE(shows(&gui, "Are you sure you want to delete this map?"));
    h.click(640, 300);  // the dialog takes the pointer: nothing beneath reacts
    EXPECT_TRUE(gui.find("dialog"));
    ASSERT_TRUE(click_code(h, gui, MENU_NO));
    EXPECT_FALSE(gui.find("dialog"));
    EXPECT_EQ(_menu_total, 3);

    ASSERT_TRUE(click_code(h, gui, MENU_DELETE));
    ASSERT_TRUE(click_code(h, gui, MENU_YES));
    EXPECT_FALSE(gui.find("dialog"));
    EXPECT_EQ(_menu_total, 2);
    EXPECT_EQ(_menu_cur, 0);
    EXPECT_STREQ(g._edit.id, "u-c");
    EXPECT_FALSE(shows(&gui, "Bravo"));
    MyResult r = g.userdb.query("select q from levels where id = 'u-b'", {});
    ASSERT_EQ(r.size(), 1u) << "the row is kept, only marked";
    EXPECT_EQ(r[0]["q"], "deleted");

    // Deleting the last ones leaves the empty list.
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(click_code(h, gui, MENU_DELETE));
        ASSERT_TRUE(click_code(h, gui, MENU_YES));
    }
    EXPECT_EQ(_menu_total, 0);
    EXPECT_TRUE(shows(&gui, "Press New, at the top right, to build your first map."));
    for (int code : {MENU_DELETE, MENU_EDIT, MENU_PLAY}) EXPECT_FALSE(find_code(&gui, code)) << code;
    EXPECT_TRUE(find_code(&gui, MENU_EDIT_NEW));
}

TEST(MenuEdit, EscapeCancelsTheDialogThenLeavesForTheMainMenu) {
    Harness h;
    h.start();
    Game& g = h.game();
    three_user_maps(h);
    g.next(STATE_MENU_EDIT);
    ASSERT_TRUE(click_code(h, build_gui(), MENU_DELETE));
    ASSERT_TRUE(build_gui().find("dialog"));
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    EXPECT_FALSE(build_gui().find("dialog"));
    EXPECT_EQ(g.userdb.query("select id from levels where q is null", {}).size(), 3u);
    h.key(KEY_ESCAPE);
    EXPECT_EQ(g.state, STATE_MENU_MAIN);
}

TEST(MenuEdit, ArrowKeysDoNothingAndTheListIsEmptyAtFirst) {
    Harness h;
    h.start();
    Game& g = h.game();
    g.next(STATE_MENU_EDIT);
    h.tick();
    EXPECT_TRUE(shows(&build_gui(), "You have no maps yet"));
    three_user_maps(h);
    g.next(STATE_MENU_EDIT);
    h.key(KEY_RIGHT);
    h.key(KEY_LEFT);
    EXPECT_EQ(g.state, STATE_MENU_EDIT);
    EXPECT_EQ(_menu_cur, 0);
}

TEST(MenuShowLev, OnlineRowsShowTheAuthorAndItsButtons) {
    Harness h;
    h.start();
    Game& g = h.game();
    store_map(g, g.netdb, "c~featured|n1", "n1", "Online map");
    g.netdb.query("update levels set author = 'Zoe', q = 'c~featured' where id = 'c~featured|n1'", {});
    g.state = STATE_MENU_DOWNLOAD2;
    _menu_levs = g.netdb.query("select id,title,author from levels where q = 'c~featured'", {});
    _menu_cur = 5;  // left beyond a shorter list
    Container gui;
    menu_show_lev(g, gui);
    menu_show_lev(g, gui);  // rebuilt, not doubled
    EXPECT_EQ(_menu_cur, 0);
    EXPECT_STREQ(g._edit.title, "Online map");
    ASSERT_TRUE(gui.find("lev"));
    EXPECT_TRUE(shows(gui.find("lev"), "Zoe"));
    Widget* bts = gui.find("bts");
    ASSERT_TRUE(bts);
    EXPECT_EQ(gui.widgets.size(), 2u);
    for (const char* t : {"More by", "Zoe", "Zoe's", "Favorites"}) EXPECT_TRUE(shows(bts, t)) << t;
    EXPECT_TRUE(find_code(bts, MENU_AUTHOR_MORE));
    EXPECT_TRUE(find_code(bts, MENU_AUTHOR_FAVORITES));
    g.state = STATE_MENU_MAIN;
}

TEST(MenuDate, MonthFirstWithoutLeadingZeros) {
    // Noon in UTC: the same date in every time zone.
    EXPECT_EQ(menu_date("1299499200"), "3/7/2011");
    EXPECT_EQ(menu_date("1356955200"), "12/31/2012");
    EXPECT_EQ(menu_date("946728000"), "1/1/2000");
    // A stamp beyond any calendar year prints nothing rather than garbage.
    EXPECT_EQ(menu_date("99999999999999999999"), "");
}
