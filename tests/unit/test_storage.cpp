// Storage: the database wrapper, schema migration and map records, with real
// SQLite files in a temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "game.h"
#include "log.h"
#include "logic.h"
#include "logic_world.h"
#include "temp_dir.h"
#include "util.h"

namespace {

// Runs raw SQL on a file, outside the wrapper under test.
void raw_sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

std::unique_ptr<Game> new_game() {
    std::unique_ptr<Game> g(new Game());
    shipped_tiles_into(*g);
    return g;
}

// Opens a fresh user database, as the game does at start-up.
void open_user_db(Game& g, const TempDir& dir) {
    testing::internal::CaptureStderr();
    game_db_open(g, g.userdb, dir.file("user.db").c_str());
    testing::internal::GetCapturedStderr();
}

std::string compress_bytes(const void* data, size_t n) {
    uLongf len = compressBound((uLong)n);
    std::string out(len, '\0');
    compress((Bytef*)&out[0], &len, (const Bytef*)data, (uLong)n);
    out.resize(len);
    return out;
}

}  // namespace

TEST(Migration, EmptyDatabaseGetsTheWholeSchemaWithFourDiagnostics) {
    TempDir dir;
    std::string path = dir.file("user.db");
    auto g = new_game();
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    game_db_open(*g, g->userdb, path.c_str());
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "levels " + path + " has 0 \n" + "levels " + path + " now has 12 \n" + "ratings " + path +
                       " has 0 \n" + "ratings " + path + " has 3 \n");
}

TEST(Migration, OlderLayoutsGainExactlyTheMissingColumns) {
    TempDir dir;
    struct Case {
        const char* create;
        int before;
    } cases[] = {
        {"create table levels (id text primary key, name text, data blob, ts int, author text, title text)", 6},
        {"create table levels (id text primary key, name text, data blob, ts int, author text, title text, q text,"
         " uid text, stars float, skulls float, intro text)", 11},
        {"create table levels (id text primary key, name text, data blob, ts int, author text, title text, q text,"
         " uid text, stars float, skulls float, intro text, value int)", 12},
    };
    for (const Case& c : cases) {
        std::string path = dir.file(("v" + std::to_string(c.before) + ".db").c_str());
        raw_sql(path, c.create);
        auto g = new_game();
        log_set_verbose(true);  // the lines below are the chatty ones
        testing::internal::CaptureStderr();
        game_db_open(*g, g->userdb, path.c_str());
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("levels " + path + " has " + std::to_string(c.before) + " \n"), std::string::npos) << log;
        EXPECT_NE(log.find("levels " + path + " now has 12 \n"), std::string::npos) << log;
        EXPECT_EQ(log.find("sqlite3:"), std::string::npos) << "no failed statement: " << log;
        MyResult cols = g->userdb.query("pragma table_info(levels)");
        ASSERT_EQ(cols.size(), 12u);
        EXPECT_EQ(cols[6]["name"], "q");
        EXPECT_EQ(cols[11]["name"], "value");
    }
}

TEST(Migration, ShippedMapsAreNeverWrittenEvenWhenTheirSchemaIsOld) {
    TempDir dir;
    std::string path = dir.file("game.db");
    raw_sql(path, "create table levels (id text primary key, name text, data blob, ts int, author text, title text);"
                  "insert into levels (id, name) values ('1', 't01');");
    std::string before = file_bytes(path);
    auto g = new_game();
    log_set_verbose(true);  // the lines below are the chatty ones
    testing::internal::CaptureStderr();
    game_db_open_shipped(*g, g->gamedb, path.c_str());
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("now has 6 \n"), std::string::npos) << log;
    EXPECT_EQ(file_bytes(path), before);
    MyResult rows = g->gamedb.query("select id from levels where name like 't%' order by name asc");
    ASSERT_EQ(rows.size(), 1u) << "the maps stay readable";

    std::string missing = dir.file("none.db");
    testing::internal::CaptureStderr();
    game_db_open_shipped(*g, g->netdb, missing.c_str());
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(missing)) << "a missing shipped database is not created";
    EXPECT_TRUE(g->netdb.query("select * from levels").empty());
}

TEST(MyDB, ParametersKeepTheirNulBytes) {
    TempDir dir;
    MyDB db;
    db.open(dir.file("x.db").c_str());
    db.query("create table t (v blob)");
    std::string value("a\0b\0\xff", 5);
    db.query("insert into t (v) values (?)", {value});
    MyResult r = db.query("select v from t");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]["v"], value);
    EXPECT_EQ(db.error, 0);
}

TEST(MyDB, ClosedDatabaseAnswersNothingAndSaysNothing) {
    MyDB db;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(db.query("select 1").empty());
    db.close();
    db.close();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(db.error, 0);
}

TEST(MyDB, FailuresAreReportedWithSqlitesCodeAndMessage) {
    TempDir dir;
    MyDB db;
    db.open(dir.file("x.db").c_str());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(db.query("select * from nowhere").empty());
    db.query("select ?", {"a", "b"});
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("sqlite3:prepare [1] no such table: nowhere\n"), std::string::npos) << log;
    EXPECT_NE(log.find("sqlite3:bind [25]"), std::string::npos) << log;
    EXPECT_EQ(db.error, 1);
}

TEST(MapStore, SavingTwiceLeavesOneRowWithTheLaterTime) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    logic_new(*g);
    mystrcpy(g->level.title, sizeof(g->level.title), "First");
    logic_save(*g, g->userdb);
    g->userdb.query("update levels set ts = 1000");
    logic_save(*g, g->userdb);
    MyResult r = g->userdb.query("select id, ts, q, stars, skulls from levels");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]["id"], g->level.id);
    EXPECT_GT(atol(r[0]["ts"].c_str()), 1000);
    EXPECT_EQ(r[0]["q"], "");
    EXPECT_EQ(r[0]["stars"], "") << "a user map has no rating of its own";
}

TEST(MapStore, FailedSaveKeepsTheMapTheUserHad) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    logic_new(*g);
    mystrcpy(g->level.title, sizeof(g->level.title), "Kept");
    logic_save(*g, g->userdb);
    // From now on every insert fails, as a full disk would make it.
    g->userdb.query("create trigger refuse before insert on levels begin select raise(abort, 'disk full'); end");
    mystrcpy(g->level.title, sizeof(g->level.title), "Lost");
    testing::internal::CaptureStderr();
    logic_save(*g, g->userdb);
    testing::internal::GetCapturedStderr();
    MyResult r = g->userdb.query("select title from levels");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]["title"], "Kept");
}

TEST(MapStore, LoadedColumnsWinOverTheRecordsOwnFields) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    logic_new(*g);
    mystrcpy(g->_edit.title, sizeof(g->_edit.title), "Inside");
    g->_edit.stars = 4;
    g->level = g->_edit;
    std::string id = g->level.id;
    logic_save(*g, g->userdb);
    g->userdb.query("update levels set title = 'Column', stars = '2.5', author = ? where id = ?",
                    {std::string(40, 'a'), id});
    logic_new(*g);
    logic_load(*g, g->userdb, id.c_str());
    EXPECT_STREQ(g->_edit.title, "Column");
    EXPECT_STREQ(g->level.title, "Column");
    EXPECT_FLOAT_EQ(g->_edit.stars, 2.5f);
    EXPECT_FLOAT_EQ(g->_edit.skulls, 0.0f) << "a null rating reads as 0";
    EXPECT_EQ(strlen(g->_edit.author), 31u) << "a long column is cut to the field";
    EXPECT_STREQ(g->_edit.id, id.c_str());
}

TEST(MapStore, CorruptOrOversizedDataGivesANewEmptyMap) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    std::string too_big(sizeof(LevelData) + 1, '\0');
    std::string cases[] = {"not zlib at all", compress_bytes(too_big.data(), too_big.size()),
                           compress_bytes(too_big.data(), 100).substr(0, 8)};
    for (const std::string& data : cases) {
        g->userdb.query("delete from levels");
        g->userdb.query("insert into levels (id, title, data) values ('m1', 'Broken', ?)", {data});
        mystrcpy(g->_edit.title, sizeof(g->_edit.title), "Before");
        testing::internal::CaptureStderr();
        logic_load(*g, g->userdb, "m1");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "logic_load(): zlib fail\n");
        EXPECT_STREQ(g->_edit.title, "") << "a new empty map, not the row's title";
        EXPECT_EQ(g->_edit.dirty, 1);
        EXPECT_EQ(g->level.data[64][64], g->_edit.data[64][64]);
        EXPECT_EQ(g->_edit.data[0][0], TILE_BORDER);
    }
}

TEST(MapStore, ShorterStreamFillsOnlyTheFrontOfTheRecord) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    int version = 7;
    g->userdb.query("insert into levels (id, data) values ('short', ?)", {compress_bytes(&version, 4)});
    logic_load(*g, g->userdb, "short");
    EXPECT_EQ(g->_edit.version, 7);
    EXPECT_EQ(g->_edit.data[0][0], TILE_BORDER) << "the rest keeps the new map";
}

TEST(MapStore, MissingIdLeavesANewMapWithAFreshId) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    logic_load(*g, g->userdb, "no such map");
    EXPECT_GT(atol(g->_edit.id), 0);
    EXPECT_STREQ(g->_edit.id, g->level.id);
    MyDB closed;
    logic_load(*g, closed, "1");
    EXPECT_EQ(g->_edit.dirty, 1);
}

TEST(MapStore, UntrustedRecordTextIsTerminatedInsideItsFields) {
    TempDir dir;
    auto g = new_game();
    open_user_db(*g, dir);
    std::unique_ptr<LevelData> lev(new LevelData);
    memset(lev.get(), 'x', sizeof(LevelData));
    g->userdb.query("insert into levels (id, data) values ('evil', ?)",
                    {compress_bytes(lev.get(), sizeof(LevelData))});
    logic_load(*g, g->userdb, "evil");
    for (LevelData* l : {&g->_edit, &g->level}) {
        EXPECT_LT(strlen(l->theme), sizeof(l->theme));
        EXPECT_LT(strlen(l->music), sizeof(l->music));
        EXPECT_LT(strlen(l->x_uname), sizeof(l->x_uname));
        EXPECT_LT(strlen(l->items[5].iname), sizeof(l->items[5].iname));
    }
}

TEST(MapStore, PackedNewMapInflatesToTheSameBytes) {
    auto g = new_game();
    logic_new(*g);
    int len = -1;
    const char* packed = logic_pack(*g, &len);
    ASSERT_NE(packed, nullptr);
    ASSERT_GT(len, 0);
    std::unique_ptr<LevelData> back(new LevelData);
    uLongf out = sizeof(LevelData);
    ASSERT_EQ(uncompress((Bytef*)back.get(), &out, (const Bytef*)packed, (uLong)len), Z_OK);
    EXPECT_EQ(out, sizeof(LevelData));
    EXPECT_EQ(memcmp(back.get(), &g->_edit, sizeof(LevelData)), 0);
}

TEST(Settings, AccountIdFollowsTheNameAndTheInstallationIdStays) {
    auto g = new_game();
    g->settings_check();
    std::string udid = g->settings.udid;
    EXPECT_EQ(udid.rfind("time|", 0), 0u);
    mystrcpy(g->settings.name, sizeof(g->settings.name), "grace");
    g->settings_check();
    EXPECT_STREQ(g->settings.uid, "g:grace");
    EXPECT_EQ(udid, g->settings.udid);
    memset(g->settings.name, 'n', sizeof(g->settings.name) - 1);
    g->settings_check();
    EXPECT_EQ(strlen(g->settings.uid), sizeof(g->settings.uid) - 1) << "cut to fit";
}
