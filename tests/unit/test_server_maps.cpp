// The service's featured maps: each is won cleanly by its recorded solution
// under the rules alone, and the obvious way that skips its lesson fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "game.h"
#include "logic.h"
#include "mapsource.h"
#include "server.h"

namespace {

std::vector<MapSource> featured() {
    std::vector<MapSource> out;
    std::string err;
    EXPECT_TRUE(mapsource_read_dir(VELQUIST_SEED_DIR, out, err)) << err;
    return out;
}

struct Replay {
    bool won = false;
    std::string log;
    int bonus = 0, total_bonus = 0, rewinds = 0, dirty = 1;
};

Replay replay(const MapSource& src) {
    std::unique_ptr<Game> g(new Game());
    _game_tiles_init(*g);
    g->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    Replay r;
    r.won = mapsource_replay(src, *g, r.log);
    r.bonus = g->level.c_bonus;
    r.total_bonus = g->level.t_bonus;
    r.rewinds = g->level.t_rewind;
    r.dirty = g->_edit.dirty;
    free(g->_rewind);
    g->_rewind = nullptr;
    return r;
}

const MapSource* find(const std::vector<MapSource>& maps, const char* name) {
    for (const MapSource& m : maps)
        if (m.name == name) return &m;
    ADD_FAILURE() << "no featured map " << name;
    return nullptr;
}

int count_tiles(const MapSource& src, const char* chars) {
    int n = 0;
    for (const std::string& row : src.grid)
        for (char c : row) n += std::string(chars).find(c) != std::string::npos;
    return n;
}

}  // namespace

TEST(FeaturedMaps, TenOrMoreWithTextsAndNamesTheServiceAccepts) {
    std::vector<MapSource> maps = featured();
    ASSERT_GE(maps.size(), 10u);
    int guards = 0, lights = 0, pillars = 0, cartridges = 0, dark = 0, bombs[4] = {0, 0, 0, 0};
    for (const MapSource& m : maps) {
        SCOPED_TRACE(m.file);
        EXPECT_TRUE(server_map_name_ok(m.name));
        EXPECT_NE(m.name[0], 't') << "tutorial names are kept for the tutorials";
        EXPECT_FALSE(m.title.empty());
        EXPECT_FALSE(m.intro.empty());
        EXPECT_EQ(count_tiles(m, "@"), 1);
        guards += count_tiles(m, "G");
        lights += count_tiles(m, "abrv");
        pillars += count_tiles(m, "P");
        cartridges += count_tiles(m, "*");
        dark += count_tiles(m, ",");
        for (int k = 0; k < 4; k++) bombs[k] += m.bombs[k];
    }
    // Together they use every element of the game.
    EXPECT_GT(guards, 10);
    EXPECT_GE(lights, 2);
    EXPECT_GE(pillars, 6);
    EXPECT_GE(cartridges, 6);
    EXPECT_GT(dark, 0);
    for (int k = 0; k < 4; k++) EXPECT_GE(bombs[k], 2) << "bomb kind " << k + 1;
}

TEST(FeaturedMaps, EveryRecordedSolutionWinsCleanly) {
    for (const MapSource& src : featured()) {
        SCOPED_TRACE(src.file);
        Replay r = replay(src);
        EXPECT_TRUE(r.won) << r.log;
        EXPECT_EQ(r.bonus, r.total_bonus) << "every cartridge collected";
        EXPECT_EQ(r.rewinds, 0);
        EXPECT_EQ(r.dirty, 0) << "beaten cleanly, as sharing requires";
    }
}

// The lesson of each map matters: the same map played the obvious way, or
// with the trick left out, is lost.
TEST(FeaturedMaps, TheObviousWayWithoutTheTrickFails) {
    std::vector<MapSource> maps = featured();
    struct Shortcut {
        const char* map;
        const char* why;
        std::vector<std::string> steps;
    } shortcuts[] = {
        {"vq01", "crossing before the guard has passed", {"walk 12 4", "walk 23 9", "win"}},
        {"vq02", "crossing while the lamp is near", {"walk 10 3", "walk 24 5", "walk 10 5", "walk 10 11", "win"}},
        {"vq03", "one bomb beside one pillar leaves the other",
         {"walk 4 5", "bomb 1", "walk 26 9", "bomb 1", "wait 55", "walk 11 12", "win"}},
        {"vq03", "leaving the shadow before the guard passed",
         {"walk 7 5", "bomb 1", "walk 26 9", "bomb 1", "walk 11 12", "win"}},
        {"vq04", "no EMP", {"walk 3 3", "walk 25 3", "walk 26 3", "walk 29 3", "win"}},
        {"vq05", "walking past the guard", {"walk 9 4", "walk 5 9", "win"}},
        {"vq06", "crossing at once", {"walk 2 12", "walk 11 12", "win"}},
        {"vq07", "leaving the hiding place before the blast",
         {"walk 6 5", "bomb 2", "bomb 2", "walk 26 9", "wait 200", "walk 11 12", "win"}},
        {"vq08", "the straight way through the lit middle",
         {"walk 5 3", "walk 2 5", "walk 24 4", "walk 24 6", "win"}},
        {"vq09", "a detonator swallows the passage",
         {"walk 20 4", "walk 11 7", "bomb 1", "walk 11 1", "bomb 1", "wait 60", "walk 11 9", "win"}},
    };
    for (const Shortcut& s : shortcuts) {
        SCOPED_TRACE(std::string(s.map) + ": " + s.why);
        const MapSource* m = find(maps, s.map);
        if (!m) continue;
        MapSource naive = *m;
        naive.solution = s.steps;
        EXPECT_FALSE(replay(naive).won);
    }
    // The finale without its EMP bomb.
    const MapSource* last = find(maps, "vq10");
    ASSERT_NE(last, nullptr);
    MapSource no_emp = *last;
    no_emp.solution.clear();
    for (const std::string& step : last->solution)
        if (step != "bomb 3") no_emp.solution.push_back(step);
    EXPECT_FALSE(replay(no_emp).won);
}
