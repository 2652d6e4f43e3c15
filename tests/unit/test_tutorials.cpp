// The tutorial maps: each source reads, builds into the shipped database,
// and is won by its recorded solution under the rules alone.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "game.h"
#include "logic.h"
#include "logic_world.h"
#include "mapsource.h"

namespace {

std::vector<MapSource> tutorials() {
    std::vector<MapSource> out;
    std::string err;
    EXPECT_TRUE(mapsource_read_dir(VELQUIST_TUTORIAL_DIR, out, err)) << err;
    return out;
}

std::unique_ptr<Game> rules_game() {
    std::unique_ptr<Game> g(new Game());
    shipped_tiles_into(*g);
    g->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    return g;
}

}  // namespace

TEST(Tutorials, TenMapsInPlayingOrderEachWithOnePlayerAndItsTexts) {
    std::vector<MapSource> maps = tutorials();
    ASSERT_GE(maps.size(), 10u);
    for (size_t i = 0; i < maps.size(); i++) {
        SCOPED_TRACE(maps[i].file);
        EXPECT_EQ(maps[i].name[0], 't');
        if (i > 0) {
            EXPECT_LT(maps[i - 1].name, maps[i].name) << "names sort in playing order";
        }
        EXPECT_FALSE(maps[i].title.empty());
        EXPECT_FALSE(maps[i].intro.empty());
        EXPECT_FALSE(maps[i].solution.empty());
        int players = 0;
        for (const std::string& row : maps[i].grid) {
            for (char c : row) players += mapsource_tile(c) == TILE_START;
        }
        EXPECT_EQ(players, 1);
    }
}

TEST(Tutorials, EveryRecordedSolutionWinsTheMapCleanly) {
    for (const MapSource& src : tutorials()) {
        SCOPED_TRACE(src.file);
        std::unique_ptr<Game> g = rules_game();
        std::string log;
        EXPECT_TRUE(mapsource_replay(src, *g, log)) << log;
        EXPECT_EQ(g->level.c_bonus, g->level.t_bonus) << "every cartridge collected";
        EXPECT_EQ(g->level.t_rewind, 0);
        EXPECT_EQ(g->_edit.dirty, 0);
        free(g->_rewind);
        g->_rewind = nullptr;
    }
}

TEST(Tutorials, ReaderRefusesWhatItCannotBuild) {
    std::string dir = "/tmp/velquist-maps-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0755);
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"name: t1\nmap:\n#@#\n#X#\nend\n", "unknown map character 'X'"},
        {"name: t1\ncolour: red\nmap:\n@\nend\n", "unknown key 'colour'"},
        {"title: no name\nmap:\n@\nend\n", "needs a name and a grid"},
        {"name: t1\nbombs: 1 2\nmap:\n@\nend\n", "bombs needs four numbers"},
        {"name: t1\nmap:\n@\nend\nsolution:\nwin\nshortcut: standing still\n", "has no steps"},
        {"name: t1\nmap:\n@\nend\nshortcut: at once\nwin\nsolution:\nwin\n", "solution comes before"},
    };
    for (const Case& c : cases) {
        std::string path = dir + "/bad.map";
        FILE* f = fopen(path.c_str(), "w");
        fputs(c.text, f);
        fclose(f);
        MapSource src;
        std::string err;
        EXPECT_FALSE(mapsource_read(path.c_str(), src, err)) << c.text;
        EXPECT_NE(err.find(c.error), std::string::npos) << err;
        remove(path.c_str());
    }
    rmdir(dir.c_str());
}

TEST(Tutorials, ShippedDatabaseHoldsEveryMapUnderItsName) {
    MyDB db;
    db.open_readonly("../data/game.db");
    MyResult rows = db.query("select id, skulls from levels where name like 't%' order by name asc");
    std::vector<MapSource> maps = tutorials();
    ASSERT_EQ(rows.size(), maps.size());
    for (size_t i = 0; i < maps.size(); i++) {
        EXPECT_EQ(rows[i]["id"], maps[i].name);
        EXPECT_GE(atof(rows[i]["skulls"].c_str()), 1.0) << "rated by replaying its solution";
    }
}
