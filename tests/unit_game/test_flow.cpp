// The player's flow without a window: what kills the player, the labels of
// the status corners, the user's maps file never lost, the files read at
// start-up, the editor's gapless strokes, and the dates of the lists.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "driver.h"
#include "edit.h"
#include "level.h"
#include "logic_world.h"
#include "menu.h"
#include "temp_dir.h"
#include "util.h"

namespace {

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void raw_sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

// Opens user.db of dir as the game does, its diagnostics kept off the output.
void open_user(Game& g, const TempDir& dir) {
    testing::internal::CaptureStderr();
    game_db_open_user(g, dir.file("user.db").c_str());
    testing::internal::GetCapturedStderr();
}

}  // namespace

// ---------------------------------------------------------------- what kills

TEST(DeathCause, EachWayTheRulesKillIsNamed) {
    const struct {
        const char* what;
        int cause;
        const char* text;
    } cases[] = {
        {"guard", DEATH_SHOT, "Seen by a guard"},
        {"blast", DEATH_BLAST, "Caught in a blast"},
        {"fire", DEATH_FIRE, "Burned by a mini bomb's fire"},
        {"pit", DEATH_FELL, "Fell where there is no floor"},
        {"wall", DEATH_SOLID, "Crushed inside a wall"},
    };
    for (const auto& c : cases) {
        World w;
        Entity& p = w.place(D_PLAYER, 60, 60);
        std::string what = c.what;
        if (what == "guard") w.place(D_GUARD, 58, 60, 3);  // facing the player
        if (what == "blast") w.place(D_BLAST, 61, 60);
        if (what == "fire") w.place(D_FIRE, 61, 60);
        if (what == "pit") w.set(60, 60, T_PIT);
        if (what == "wall") w.set(60, 60, T_WALL);
        for (int i = 0; i < 20 && p.state != D_DEAD; i++) w.tick();
        EXPECT_EQ(p.state, D_DEAD) << c.what;
        EXPECT_EQ(w.g().death_cause, c.cause) << c.what;
        EXPECT_STREQ(pause_death_text(w.g().death_cause), c.text) << c.what;
    }
    EXPECT_STREQ(pause_death_text(DEATH_NONE), "You died") << "a resumed death has no cause";
}

// ---------------------------------------------------------------- labels

TEST(StatusLines, EveryNumberOfTheCornersSaysWhatItCounts) {
    World w;
    LevelData& l = w.lev();
    l.t_pillars = 4;
    l.c_pillars = 3;
    l.c_bonus = 1;
    l.t_bonus = 3;
    l.timer = 1800 + 45 * 30;
    std::vector<LevelStatusLine> play = level_status_lines(l);
    ASSERT_EQ(play.size(), 3u);
    EXPECT_EQ(play[0], LevelStatusLine("Pillars destroyed", "25%"));
    EXPECT_EQ(play[1], LevelStatusLine("Data Cartridges", "1 / 3"));
    EXPECT_EQ(play[2], LevelStatusLine("Time", "1:45"));
    l.t_pillars = l.c_pillars = 0;
    EXPECT_EQ(level_status_lines(l)[0], LevelStatusLine("", "No pillars: escape by a window"));

    w.place(D_GUARD, 20, 20);
    w.place(D_LIGHT, 30, 20);
    l.hover_x = 12.7f;
    l.hover_y = 40.2f;
    std::vector<LevelStatusLine> edit = edit_status_lines(w.g());
    ASSERT_EQ(edit.size(), 2u);
    EXPECT_EQ(edit[0], LevelStatusLine("Cell", "12,40"));
    EXPECT_EQ(edit[1], LevelStatusLine("Actors", "2/64"));
}

// ---------------------------------------------------------------- the user's maps file

TEST(UserDb, DamagedOrForeignFilesAreLeftUntouchedUntilThePlayerStartsAnew) {
    const struct {
        const char* what;
        const char* note;  // part of what the player is told
    } cases[] = {{"garbage", "damaged"}, {"foreign", "another program"}};
    for (const auto& c : cases) {
        TempDir dir;
        std::string path = dir.file("user.db");
        std::string what = c.what;
        if (what == "garbage") write_file(path, std::string(4096, 'x') + "not a database");
        if (what == "foreign") raw_sql(path, "create table contacts (name text, phone text)");
        std::string before = file_bytes(path);
        std::unique_ptr<Game> g(new Game());
        open_user(*g, dir);
        EXPECT_EQ(g->userdb_status, USERDB_DAMAGED) << c.what;
        EXPECT_NE(g->userdb_note.find(c.note), std::string::npos) << c.what << ": " << g->userdb_note;
        std::string why;
        logic_new(*g);
        g->level = g->_edit;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(game_db_save_map(*g, &why)) << c.what;
        testing::internal::GetCapturedStderr();
        EXPECT_NE(why.find("user.db"), std::string::npos) << why;
        EXPECT_EQ(file_bytes(path), before) << c.what << ": never written";

        // A file of the name the damaged one would get is never replaced.
        char stamp[32];
        time_t now = time(nullptr);
        struct tm tm;
        localtime_r(&now, &tm);
        strftime(stamp, sizeof(stamp), "%Y-%m-%d-%H%M%S", &tm);
        std::string taken = path + ".damaged-" + stamp;
        write_file(taken, "keep me");
        testing::internal::CaptureStderr();
        EXPECT_TRUE(game_db_user_fresh(*g)) << c.what;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(file_bytes(taken), "keep me");
        EXPECT_EQ(g->userdb_status, USERDB_OK);
        EXPECT_NE(g->userdb_note.find("kept as user.db.damaged-"), std::string::npos) << g->userdb_note;
        int kept = 0;
        for (auto& e : std::filesystem::directory_iterator(dir.path))
            kept += file_bytes(e.path().string()) == before;
        EXPECT_EQ(kept, 1) << c.what << ": the damaged bytes are kept under another name";
        EXPECT_TRUE(game_db_save_map(*g, &why)) << why;
    }
}

TEST(UserDb, ASaveThatDoesNotReachTheFileIsReportedAndTheBestScoreOnlyRises) {
    TempDir dir;
    std::unique_ptr<Game> g(new Game());
    open_user(*g, dir);
    ASSERT_EQ(g->userdb_status, USERDB_OK);
    logic_new(*g);
    mystrcpy(g->_edit.title, sizeof(g->_edit.title), "Mine");
    g->level = g->_edit;
    std::string why;
    EXPECT_TRUE(game_db_save_map(*g, &why));
    // From now on every insert fails, as a full disk would make it.
    g->userdb.query("create trigger refuse before insert on levels begin select raise(abort, 'disk full'); end");
    g->_edit.data[20][20] = 5;
    g->level = g->_edit;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(game_db_save_map(*g, &why));
    testing::internal::GetCapturedStderr();
    EXPECT_NE(why.find("could not be written"), std::string::npos) << why;
    EXPECT_EQ(g->userdb.query("select title from levels").size(), 1u) << "the earlier save is kept";

    // A file that could not be opened is tried again at the next save.
    g->userdb.close();
    g->userdb_status = USERDB_CLOSED;
    g->userdb.query("drop trigger refuse");
    raw_sql(dir.file("user.db"), "drop trigger refuse");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(game_db_save_map(*g, &why)) << why;
    testing::internal::GetCapturedStderr();

    for (int score : {1200, 2600, 900}) game_db_record_best(*g, "t01", score);
    EXPECT_EQ(game_db_best(*g, "t01"), 2600);
    EXPECT_EQ(game_db_best(*g, "t02"), 0);
}

// ---------------------------------------------------------------- files read at start-up

TEST(StartFiles, OnlyRegularFilesAreReadAndSizesAreSane) {
    TempDir dir;
    std::string old_home = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", dir.path.c_str(), 1);
    driver_set_gamename("Velquist");
    std::string fifo = std::string(driver_doc_fname("state.dat"));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    char buf[64];
    testing::internal::CaptureStderr();
    EXPECT_EQ(driver_doc_load("state.dat", buf, sizeof(buf)), 0) << "a FIFO is not waited on";
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("state.dat is not a regular file"), std::string::npos) << log;
    setenv("HOME", old_home.c_str(), 1);

    const struct {
        int w, h, safe;  // safe: 1 = kept, 0 = the desktop's size
    } sizes[] = {{960, 720, 1}, {480, 320, 1}, {4095, 4095, 1}, {479, 720, 0},
                 {960, 319, 0}, {4096, 720, 0}, {524287, 4095, 0}, {0, 720, 0}};
    testing::internal::CaptureStderr();
    for (const auto& s : sizes) {
        int vres = (s.w << VRES_SHIFT) | s.h;
        EXPECT_EQ(game_vres_safe(vres), s.safe ? vres : -1) << s.w << "x" << s.h;
    }
    EXPECT_EQ(game_vres_safe(-1), -1);
    testing::internal::GetCapturedStderr();

    // Numbers beyond any range in tiles.json are clamped or skipped, never thrown.
    std::unique_ptr<Game> g(new Game());
    testing::internal::CaptureStderr();
    ASSERT_TRUE(game_tiles_parse(*g, "[{\"n\": 1e30}, {\"n\": -5}, {\"n\": 7, \"value\": -1e40, \"solid\": 9e99},"
                                     " {\"n\": 8, \"solid\": \"yes\"}, 17]"));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(g->tiles[7].value, INT_MIN);
    EXPECT_EQ(g->tiles[7].solid, INT_MAX);
    EXPECT_EQ(g->tiles[8].solid, 0);
}

// ---------------------------------------------------------------- strokes

TEST(EditStroke, ALineOfEdgeNeighboursEachCellItsOwnChange) {
    const struct {
        int x0, y0, x1, y1;
    } lines[] = {{50, 60, 58, 64}, {58, 64, 50, 60}, {10, 10, 10, 10}, {20, 30, 20, 22},
                 {40, 40, 47, 47}, {70, 80, 61, 83}, {2, 60, 6, 60}};
    for (const auto& l : lines) {
        std::unique_ptr<Game> g(new Game());
        logic_new(*g);
        edit_reset(*g);
        edit_stroke(*g, l.x0, l.y0, l.x1, l.y1, 5);
        std::vector<std::pair<int, int>> cells;
        for (int i = 0; i < g->ext.undo_n; i++) cells.push_back({g->ext.undo[i].x, g->ext.undo[i].y});
        int inside = 0;  // the cells of the line in the playable area
        for (int x = std::min(l.x0, l.x1); x <= std::max(l.x0, l.x1); x++) inside += x >= MAP_MIN;
        int expected = l.x0 < MAP_MIN || l.x1 < MAP_MIN ? inside : std::abs(l.x1 - l.x0) + std::abs(l.y1 - l.y0) + 1;
        ASSERT_EQ((int)cells.size(), expected) << l.x0 << "," << l.y0;
        EXPECT_EQ(cells.back(), std::make_pair(l.x1, l.y1));
        if (l.x0 >= MAP_MIN) {
            EXPECT_EQ(cells.front(), std::make_pair(l.x0, l.y0));
        }
        for (size_t i = 1; i < cells.size(); i++)
            EXPECT_EQ(std::abs(cells[i].first - cells[i - 1].first) + std::abs(cells[i].second - cells[i - 1].second), 1)
                << "step " << i << " of " << l.x0 << "," << l.y0;
        // Never farther than half a cell from the straight line, across.
        for (auto c : cells) {
            double cross = std::abs((double)(l.x1 - l.x0) * (c.second - l.y0) - (double)(l.y1 - l.y0) * (c.first - l.x0));
            double len = std::hypot(l.x1 - l.x0, l.y1 - l.y0);
            if (len > 0) {
                EXPECT_LE(cross / len, 1.0) << c.first << "," << c.second;
            }
        }
    }
}

// ---------------------------------------------------------------- dates

TEST(Dates, ListsWriteThemAsThePlayersLocaleDoes) {
    const char* ts = "1299499200";  // 7 March 2011, noon UTC
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(menu_date(ts), "3/7/2011") << "no locale chosen: the game's own form";
    // A German locale built for this test alone (the machine may have none).
    TempDir dir;
    std::string build = "localedef -i de_DE -f ISO-8859-1 " + dir.file("de_DE") + " >/dev/null 2>&1";
    setenv("LOCPATH", dir.path.c_str(), 1);
    if (system(build.c_str()) != 0 || !setlocale(LC_TIME, "de_DE")) {
        unsetenv("LOCPATH");
        GTEST_SKIP() << "no locale can be built here";
    }
    EXPECT_EQ(menu_date(ts), "07.03.2011");
    setlocale(LC_TIME, "C");
    unsetenv("LOCPATH");
}
