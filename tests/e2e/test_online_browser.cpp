// The online browser on the real game: categories, the list with its detail
// panel, the cursor, playing from the list, the author's lists, and the
// error screen the protocol opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "engine.h"
#include "gfx.h"
#include "menu_internal.h"
#include "widgets.h"
#include "screenshots.h"
#include "game_web_internal.h"
#include "test_online_service.h"
#include "watch_internal.h"

using namespace onlinetest;

namespace {

// Clicks the middle of the first label showing `text`.
void click_label(Harness& h, const char* text) { EXPECT_TRUE(h.click_label(text)) << text; }

// Serves lists by query: c~newest has two maps, u~ and f~ lists one, c~empty
// none; the same standings for every map, and a replay for the map named
// `won` only.
struct Lists {
    Game* game = nullptr;
    std::mutex lock;
    std::map<std::string, std::string> files;  // encoded query -> list file
    std::string standings, won, replay;

    Answer operator()(const std::string& r) {
        std::lock_guard<std::mutex> l(lock);
        if (action_of(r) == "proof") return ok(standings);
        if (action_of(r) == "replay" && !won.empty() && r.find("&lid=" + won + " ") != std::string::npos)
            return ok(replay);
        if (action_of(r) == "replay") return error("This map has no replay yet.");
        if (action_of(r) != "download") return ok();
        for (auto& f : files)
            if (r.find("&q=" + f.first + " ") != std::string::npos) return ok(f.second);
        return ok(list_file({}));
    }
    void set(const char* encoded_q, const std::vector<ListRow>& rows) {
        std::string file = list_file(rows);
        std::lock_guard<std::mutex> l(lock);
        files[encoded_q] = file;
    }
};

// Opens the browser on q the way the main menu does and waits for the list.
void browse(Harness& h, Service& svc, const char* q, const char* title) {
    Game& g = h.game();
    int before = svc.count("download");
    mystrcpy(g.q_value, sizeof(g.q_value), q);
    mystrcpy(g.q_title, sizeof(g.q_title), title);
    g.download();
    g.next(STATE_MENU_DOWNLOAD2);
    EXPECT_TRUE(loop_until(g, [&] { return svc.count("download") > before && idle(w_download); }));
    h.tick();
}

class OnlineBrowser : public ::testing::Test {
protected:
    Lists lists;
    Service svc{[this](const std::string& r) { return lists(r); }};
    Harness h;

    void SetUp() override {
        start_signed_in(h, svc, "Ann", "pw");
        Game& g = h.game();
        lists.set("c%7enewest", {map_row(g, "m1", "First", "1"), map_row(g, "m2", "Second", "2")});
        lists.set("c%7efeatured", {map_row(g, "f1", "Featured one", "1")});
        lists.set("u%7eg%3aAnn", {map_row(g, "a1", "By Ann", "1")});
    }
};

}  // namespace

TEST_F(OnlineBrowser, CategoriesFetchTheirListWhileEscapeKeepsTheCurrentOne) {
    Game& g = h.game();
    browse(h, svc, "c~featured", "Featured");
    EXPECT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    EXPECT_EQ(1, _menu_total);
    EXPECT_TRUE(shows(&gui_of(g.state), "Featured one"));

    click_label(h, "Featured");  // the heading
    ASSERT_EQ(STATE_MENU_DOWNLOAD1, g.state);
    h.tick();
    const char* titles[] = {"Featured", "Popular", "Newest", "Friends", "Favorites"};
    int last_y = -1;
    for (const char* t : titles) {
        std::vector<Label*> l = find_labels(&gui_of(g.state), t);
        ASSERT_EQ(1u, l.size()) << t;
        MyRect r = l[0]->get_abs_rect(true);
        EXPECT_GT(r.y, last_y) << t;
        last_y = r.y;
    }

    int downloads = svc.count("download");
    h.key(KEY_ESCAPE);
    EXPECT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    EXPECT_STREQ("c~featured", g.q_value);
    loop_until(g, [] { return false; }, 0.3);
    EXPECT_EQ(downloads, svc.count("download"));
    EXPECT_TRUE(shows(&gui_of(g.state), "Featured one"));

    click_label(h, "Featured");
    click_label(h, "Newest");
    EXPECT_EQ(STATE_MENU_DOWNLOAD2, g.state);
    EXPECT_STREQ("c~newest", g.q_value);
    EXPECT_STREQ("Newest", g.q_title);
    EXPECT_TRUE(loop_until(g, [&] { return svc.count("download") > downloads && idle(w_download); }));
    h.tick();
    EXPECT_EQ(2, _menu_total);
    EXPECT_EQ(0, _menu_cur);
    EXPECT_TRUE(shows(&gui_of(g.state), "Second"));
    EXPECT_NE(std::string::npos, svc.requests("download").back().find("&q=c%7enewest "));
}

TEST_F(OnlineBrowser, EmptyListShowsDashesAndNoPlay) {
    Game& g = h.game();
    browse(h, svc, "c~empty", "Friends");
    EXPECT_EQ(0, _menu_total);
    EXPECT_TRUE(shows(&gui_of(g.state), "---"));
    EXPECT_FALSE(shows(&gui_of(g.state), "Play"));
    EXPECT_TRUE(shows(&gui_of(g.state), "Refresh"));
    EXPECT_EQ(0, g.level.title[0]);
}

TEST_F(OnlineBrowser, CursorBeyondAShorterListWraps) {
    Game& g = h.game();
    browse(h, svc, "c~newest", "Newest");
    browse(h, svc, "c~featured", "Featured");
    // Back to the two-map list, stored already, with the cursor left at 3.
    _menu_cur = 3;
    mystrcpy(g.q_value, sizeof(g.q_value), "c~newest");
    g.next(STATE_MENU_DOWNLOAD2);
    EXPECT_EQ(1, _menu_cur);
    EXPECT_STREQ("Second", g._edit.title);
}

TEST_F(OnlineBrowser, PlayFromTheListReturnsToTheList) {
    Game& g = h.game();
    browse(h, svc, "c~newest", "Newest");
    click_label(h, "Second");
    EXPECT_EQ(1, _menu_cur);
    EXPECT_STREQ("Second", g._edit.title);
    int tracks = svc.count("track");
    click_label(h, "Play");
    EXPECT_EQ(STATE_MENU_DOWNLOAD2, g.parent);
    EXPECT_STREQ("Second", g.level.title);
    ASSERT_TRUE(loop_until(g, [&] { return svc.count("track") > tracks; }));
    EXPECT_NE(std::string::npos,
              svc.requests("track").back().find("&page=level&category=nm2&action=start&value=0 "));
}

TEST_F(OnlineBrowser, TheAuthorButtonsFetchTheAuthorsLists) {
    Game& g = h.game();
    browse(h, svc, "c~newest", "Newest");
    click_label(h, "Second");
    click_label(h, "More by");
    EXPECT_STREQ("u~g:Ann", g.q_value);
    EXPECT_STREQ("More by Ann", g.q_title);
    EXPECT_EQ(0, _menu_cur);
    EXPECT_TRUE(loop_until(g, [] { return idle(w_download); }));
    h.tick();
    EXPECT_TRUE(shows(&gui_of(g.state), "By Ann"));
    EXPECT_TRUE(shows(&gui_of(g.state), "More by Ann"));

    click_label(h, "Favorites");
    EXPECT_STREQ("f~g:Ann", g.q_value);
    EXPECT_STREQ("Ann's Favorites", g.q_title);
    EXPECT_TRUE(loop_until(g, [] { return idle(w_download); }));
    ASSERT_FALSE(svc.requests("download").empty());
    EXPECT_NE(std::string::npos, svc.requests("download").back().find("&q=f%7eg%3aAnn "));
}

TEST_F(OnlineBrowser, RefreshFetchesTheListAgainAndShowsTheNewRows) {
    Game& g = h.game();
    browse(h, svc, "c~featured", "Featured");
    lists.set("c%7efeatured", {map_row(g, "f1", "Featured one", "1"), map_row(g, "f2", "Featured two", "2")});
    click_label(h, "Refresh");
    EXPECT_TRUE(loop_until(g, [] { return idle(w_download); }));
    h.tick();
    EXPECT_EQ(2, _menu_total);
    EXPECT_TRUE(shows(&gui_of(g.state), "Featured two"));
}

TEST_F(OnlineBrowser, RatingsAreShownWithinTheirScale) {
    Game& g = h.game();
    std::vector<ListRow> rows;
    const char* stars[] = {"3.5", "nan", "1e30", "-2", "inf"};
    for (int i = 0; i < 5; i++) {
        rows.push_back(map_row(g, "r" + std::to_string(i), "Rated " + std::to_string(i), std::to_string(i)));
        rows.back().stars = stars[i];
        rows.back().skulls = "4";
    }
    lists.set("c%7epopular", rows);
    browse(h, svc, "c~popular", "Popular");
    std::vector<Widget*> found =
        find_widgets(&gui_of(g.state), [](Widget* w) { return dynamic_cast<Stars*>(w) != nullptr; });
    ASSERT_EQ(10u, found.size());  // stars and skulls of each entry
    std::vector<float> shown;
    for (Widget* w : found) {
        Stars* s = static_cast<Stars*>(w);
        EXPECT_TRUE(s->ignore);
        if (s->img == gfx_img_load("stars")) shown.push_back(s->value);
        else EXPECT_EQ(4.0f, s->value);
    }
    EXPECT_EQ((std::vector<float>{3.5f, 0.0f, 5.0f, 0.0f, 5.0f}), shown);
    h.tick(2);  // and they draw
}

TEST(OnlineErrorScreen, UpgradeNoticeOpensTheErrorScreenInItsUpgradeMode) {
    std::atomic<int> calls{0};
    Service svc([&](const std::string&) {
        return calls++ == 0 ? ok() : error("X01: A new version of Velquist is out.");
    });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    EXPECT_TRUE(loop_until(g, [&] { return calls == 1 && idle(w_valid); }));
    g.next(STATE_MENU_DOWNLOAD1);
    g.valid();
    EXPECT_TRUE(loop_until(g, [&] { return calls == 2 && idle(w_valid); }));
    ASSERT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_EQ(STATE_MENU_DOWNLOAD1, g.context);
    h.tick();
    EXPECT_TRUE(shows(&gui_of(g.state), "Upgrade Available"));
    EXPECT_TRUE(shows(&gui_of(g.state), "Download"));
    EXPECT_FALSE(shows(&gui_of(g.state), "Sign In"));
}

TEST_F(OnlineBrowser, TheDetailShowsTheBestProvenScoresOncePerMapAndItsWinCanBeWatched) {
    Game& g = h.game();
    {
        std::lock_guard<std::mutex> l(lists.lock);
        lists.standings = "best 1 3400 900 Zoe Quinn\nbest 2 3100 1000 Bob\nown 7 2900 1200\ncount 12\n";
    }
    browse(h, svc, "c~newest", "Newest");
    ASSERT_TRUE(loop_until(g, [&] { return svc.count("proof") == 1 && idle(w_standings); }));
    h.tick();
    for (const char* t : {"Best proven scores", "1.", "Zoe Quinn", "3400", "2.", "Bob", "3100", "You: rank 7 of 12, 2900"})
        EXPECT_TRUE(shows(&gui_of(g.state), t)) << t;
    EXPECT_NE(std::string::npos, svc.requests("proof")[0].find("&_action=proof&lid=nm1 "));
    screenshot(h, "online-standings");

    // Another map asks again; the same one chosen again does not.
    click_label(h, "Second");
    click_label(h, "Second");
    EXPECT_TRUE(loop_until(g, [&] { return svc.count("proof") == 2 && idle(w_standings); }));
    loop_until(g, [] { return false; }, 0.3);
    EXPECT_EQ(2, svc.count("proof"));

    click_label(h, "Watch how it was won");
    click_label(h, "Watch");
    EXPECT_EQ(STATE_WATCH, g.state);
    EXPECT_TRUE(loop_until(g, [&] { return g.state == STATE_MENU_DOWNLOAD2; }));
    EXPECT_EQ("Could not watch Second: This map has no replay yet.", game_notice_text());
    EXPECT_NE(std::string::npos, svc.requests("replay")[0].find("&_action=replay&lid=nm2 "));

    // A shared tutorial, with the replay the service keeps of its win, plays.
    ListRow shared = map_row(g, "s1", "Shared", "1");
    ASSERT_TRUE(logic_load(g, g.gamedb, "t01"));
    int len = 0;
    const char* packed = logic_pack(g, &len);
    ASSERT_TRUE(packed);
    shared.name = "t01";
    shared.data = std::string(packed, (size_t)len);
    lists.set("c%7efeatured", {shared});
    {
        std::lock_guard<std::mutex> l(lists.lock);
        lists.won = "t01";
        lists.replay = game_replay_find(g.gamedb, "t01");
    }
    browse(h, svc, "c~featured", "Featured");
    click_label(h, "Watch how it was won");
    click_label(h, "Watch");
    screenshot(h, "watch-loading");
    EXPECT_TRUE(loop_until(g, [&] { return watch_progress().phase == WATCH_PLAYING; })) << game_notice_text();
    EXPECT_EQ(STATE_WATCH, g.state);
}
