// Downloaded lists: stored into net.db under their query, replaced whole, and
// left as they were by every answer that is not a readable list.
#include <gtest/gtest.h>

#include "engine.h"
#include "game_web_internal.h"
#include "test_online_service.h"

using namespace onlinetest;

namespace {

// The service's answer to a download, chosen by the test for the next one.
struct DownloadScript {
    std::mutex lock;
    Answer next = ok();
    std::string held_q;  // a download of this query is never answered

    Answer operator()(const std::string& r) {
        if (action_of(r) != "download") return ok();
        std::lock_guard<std::mutex> l(lock);
        if (!held_q.empty() && r.find("&q=" + held_q + " ") != std::string::npos) return mode(Answer::SILENT);
        return next;
    }
    void set(const Answer& a) {
        std::lock_guard<std::mutex> l(lock);
        next = a;
    }
};

void fetch(Game& g, const char* q) {
    mystrcpy(g.q_value, sizeof(g.q_value), q);
    g.download();
    EXPECT_TRUE(loop_until(g, [] { return idle(w_download); }, 20)) << q;
}

std::vector<ListRow> three_maps(Game& g) {
    return {map_row(g, "m1", "First", "2"), map_row(g, "m2", "Second", "1"), map_row(g, "m3", "Third", "3")};
}

}  // namespace

TEST(OnlineDownload, ListIsStoredUnderItsQueryAndASecondOneReplacesTheFirst) {
    DownloadScript script;
    Service svc([&](const std::string& r) { return script(r); });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    std::vector<ListRow> maps = three_maps(g);
    std::string file = list_file(maps);
    script.set(ok(file));

    // The first download is still in flight when the second starts: only the
    // second list arrives.
    {
        std::lock_guard<std::mutex> l(script.lock);
        script.held_q = "c%7efeatured";
    }
    mystrcpy(g.q_value, sizeof(g.q_value), "c~featured");
    g.download();
    EXPECT_TRUE(loop_until(g, [&] { return svc.count("download") == 1; }));
    fetch(g, "c~newest");
    EXPECT_TRUE(net_rows(g, "c~featured").empty());
    MyResult rows = net_rows(g, "c~newest");
    ASSERT_EQ(3u, rows.size());
    // In the service's display order, every column carried over.
    EXPECT_EQ("c~newest|m2", rows[0]["id"]);
    EXPECT_EQ("c~newest|m1", rows[1]["id"]);
    EXPECT_EQ("c~newest|m3", rows[2]["id"]);
    EXPECT_EQ("c~newest", rows[0]["q"]);
    EXPECT_EQ(maps[1].data, rows[0]["data"]);
    EXPECT_EQ("Second", rows[0]["title"]);
    EXPECT_EQ("nm2", rows[0]["name"]);
    EXPECT_EQ("Ann", rows[0]["author"]);
    EXPECT_EQ("g:Ann", rows[0]["uid"]);
    EXPECT_EQ("Intro of Second", rows[0]["intro"]);
    EXPECT_EQ(3.5, atof(rows[0]["stars"].c_str()));
    EXPECT_EQ(2.0, atof(rows[0]["skulls"].c_str()));
    EXPECT_EQ("1300000000", rows[0]["ts"]);
    EXPECT_EQ(file, file_bytes(h.user_file("tmp.db")));

    // The same list again, now shorter: the old rows go.
    script.set(ok(list_file({maps[2]})));
    fetch(g, "c~newest");
    rows = net_rows(g, "c~newest");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("c~newest|m3", rows[0]["id"]);

    // A stored map loads from the list like any other.
    logic_load(g, g.netdb, "c~newest|m3");
    EXPECT_STREQ("Third", g._edit.title);
}

TEST(OnlineDownload, AnswersThatAreNotAReadableListKeepTheStoredOne) {
    DownloadScript script;
    Service svc([&](const std::string& r) { return script(r); });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    std::vector<ListRow> maps = three_maps(g);
    script.set(ok(list_file(maps)));
    fetch(g, "c~popular");
    const MyResult before = net_rows(g, "c~popular");
    ASSERT_EQ(3u, before.size());

    // A list the service reports as an error, then the same list cut short.
    script.set(error("E05: Try later."));
    fetch(g, "c~popular");
    EXPECT_EQ(STATE_MENU_ERROR, g.state);
    EXPECT_STREQ("E05: Try later.", g.error_msg);
    EXPECT_EQ(before, net_rows(g, "c~popular"));
    g.next(STATE_MENU_MAIN);

    Answer cut = ok(list_file(maps));
    cut.mode = Answer::CUT;
    std::string sqlite_head = std::string("SQLite format 3") + '\0';
    struct Case {
        const char* what;
        Answer answer;
    } cases[] = {
        {"cut short", cut},
        {"a web page", ok("<html><body>Service down</body></html>")},
        {"an empty body", ok()},
        {"an SQLite head over garbage", ok(sqlite_head + std::string(8192, '\x5a'))},
        {"no levels table", ok(list_file({}, "drop table levels; create table maps (id text)"))},
        {"a levels table without ids", ok(list_file({}, "", "create table levels (name text, data blob)"))},
        {"levels as a view",
         ok(list_file({}, "drop table levels; create table t (id text, title text); insert into t values ('a','A');"
                          "create view levels as select * from t"))},
        {"a map generated from a gigabyte of zeros",
         ok(list_file({}, "insert into levels (id) values ('big')",
                      "create table levels (id text, data blob as (zeroblob(1000000000)))"))},
        {"a title of 200 kB",
         ok(list_file({}, "insert into levels (id, data, title) values ('t', 'x', zeroblob(200000))"))},
        {"maps without data", ok(list_file({}, "insert into levels (id, title) values ('a', 'A')"))},
        {"an endless body", mode(Answer::ENDLESS)},
    };
    for (const Case& c : cases) {
        script.set(c.answer);
        fetch(g, "c~popular");
        EXPECT_EQ(before, net_rows(g, "c~popular")) << c.what;
        EXPECT_EQ(STATE_MENU_MAIN, g.state) << c.what;
    }
}

TEST(OnlineDownload, OnlyTheLevelsRowsAreTakenAndOnlyWithinBounds) {
    DownloadScript script;
    Service svc([&](const std::string& r) { return script(r); });
    Harness h;
    start_signed_in(h, svc, "Ann", "pw");
    Game& g = h.game();
    std::vector<ListRow> maps = three_maps(g);

    // Extra tables and a trigger ride along; none of it reaches net.db.
    script.set(ok(list_file(maps,
                            "create table ratings (lid text, stars int, skulls int);"
                            "insert into ratings values ('nm1', 5, 5);"
                            "create table evil (a);"
                            "create trigger t after insert on levels begin insert into evil values (1); end")));
    fetch(g, "c~friends");
    EXPECT_EQ(3u, net_rows(g, "c~friends").size());
    MyResult tables = g.netdb.query("select name from sqlite_master order by name");
    std::vector<std::string> names;
    for (MyRow& r : tables) names.push_back(r["name"]);
    EXPECT_EQ((std::vector<std::string>{"levels", "ratings", "sqlite_autoindex_levels_1",
                                        "sqlite_autoindex_ratings_1"}),
              names);
    EXPECT_TRUE(g.netdb.query("select * from ratings").empty());

    // Rows no honest service sends are skipped; the list keeps the others.
    ListRow fat = maps[0];
    fat.id = "fat";
    fat.data = std::string(LOGIC_DATA_MAX + 1, 'x');
    ListRow wordy = maps[0];
    wordy.id = "wordy";
    wordy.title = std::string(5000, 't');
    ListRow nameless = maps[0];
    nameless.id = "";
    ListRow twin = maps[0];
    const char* loose = "create table levels (id text, name text, data blob, ts int, author text, title text, "
                        "q text, uid text, stars float, skulls float, intro text, value int)";
    script.set(ok(list_file({maps[0], fat, wordy, nameless, twin, maps[1]}, "", loose)));
    fetch(g, "c~friends");
    MyResult rows = net_rows(g, "c~friends");
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("c~friends|m1", rows[1]["id"]);
    EXPECT_EQ("c~friends|m2", rows[0]["id"]);

    // A list of 600 is cut to its first 500.
    std::vector<ListRow> many;
    for (int i = 0; i < 600; i++) {
        ListRow r;
        r.id = "x" + std::to_string(i);
        r.title = "Map " + std::to_string(i);
        r.data = "z";
        r.value = std::to_string(i);
        many.push_back(r);
    }
    script.set(ok(list_file(many)));
    fetch(g, "c~favorites");
    rows = net_rows(g, "c~favorites");
    ASSERT_EQ(500u, rows.size());
    EXPECT_EQ("c~favorites|x499", rows[499]["id"]);
    // The other lists are untouched.
    EXPECT_EQ(2u, net_rows(g, "c~friends").size());
}
