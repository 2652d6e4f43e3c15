// The service's featured maps, a campaign of thirty in three tiers of ten:
// each is won cleanly by its recorded solution under the rules alone and lost
// by every shortcut its source lists; together they use every tile the
// editor offers; their measured difficulty rises from tier to tier, and the
// service lists them in campaign order with that difficulty in the record.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "game.h"
#include "logic.h"
#include "logic_world.h"
#include "mapdiff.h"
#include "mapsource.h"
#include "server.h"

namespace {

enum {
    CAMPAIGN_MAPS = 30,
    TIER_MAPS = 10,
    FIRST_NEW_MAP = 10,   // the first ten came before the campaign
    LARGE_SIDE = 40,      // a large map is more than this many cells each way
    LARGE_NEW_MAPS = 8
};

const std::vector<MapSource>& featured() {
    static std::vector<MapSource> maps;
    if (maps.empty()) {
        std::string err;
        EXPECT_TRUE(mapsource_read_dir(VELQUIST_SEED_DIR, maps, err)) << err;
    }
    return maps;
}

std::unique_ptr<Game> rules_game() {
    std::unique_ptr<Game> g(new Game());
    shipped_tiles_into(*g);
    g->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    return g;
}

void free_rewind(Game& g) {
    free(g._rewind);
    g._rewind = nullptr;
}

int count_tiles(const MapSource& src, int tile) {
    int n = 0;
    for (const std::string& row : src.grid)
        for (char c : row) n += mapsource_tile(c) == tile;
    return n;
}

// The map's walls and empty space: what gives it its shape.
std::vector<std::string> layout(const MapSource& src) {
    std::vector<std::string> out;
    for (const std::string& row : src.grid) {
        std::string r;
        for (char c : row) r += (c == ' ' || c == '#' || c == 'H') ? c : '.';
        out.push_back(r);
    }
    return out;
}

float median(std::vector<float> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

class FeaturedMap : public testing::TestWithParam<int> {};

TEST_P(FeaturedMap, WonCleanlyByItsSolutionAndLostByEveryShortcut) {
    ASSERT_LT((size_t)GetParam(), featured().size());
    const MapSource& m = featured()[GetParam()];
    EXPECT_TRUE(server_map_name_ok(m.name));
    EXPECT_NE(m.name[0], 't') << "tutorial names are kept for the tutorials";
    EXPECT_FALSE(m.title.empty());
    EXPECT_FALSE(m.intro.empty());
    EXPECT_EQ(count_tiles(m, TILE_START), 1);
    std::unique_ptr<Game> g = rules_game();
    std::string log;
    EXPECT_TRUE(mapsource_replay(m, *g, log)) << log;
    EXPECT_EQ(g->level.c_bonus, g->level.t_bonus) << "every cartridge collected";
    EXPECT_EQ(g->level.t_rewind, 0);
    EXPECT_EQ(g->_edit.dirty, 0) << "beaten cleanly, as sharing requires";
    // The idea of each map matters: the obvious ways that skip it are lost.
    EXPECT_FALSE(m.shortcuts.empty());
    for (const MapShortcut& sc : m.shortcuts) {
        std::string slog;
        EXPECT_FALSE(mapsource_replay_steps(m, sc.steps, *g, slog)) << sc.why << "\n" << slog;
    }
    free_rewind(*g);
}

INSTANTIATE_TEST_SUITE_P(Campaign, FeaturedMap, testing::Range(0, (int)CAMPAIGN_MAPS),
                         [](const testing::TestParamInfo<int>& info) {
                             return (size_t)info.param < featured().size() ? featured()[info.param].name
                                                                           : "missing" + std::to_string(info.param);
                         });

TEST(FeaturedMaps, ThirtyOfTheirOwnShapeUsingEveryTileTheEditorOffers) {
    const std::vector<MapSource>& maps = featured();
    ASSERT_EQ(maps.size(), (size_t)CAMPAIGN_MAPS);
    std::unique_ptr<Game> g = rules_game();
    std::set<int> used;
    int large = 0;
    for (size_t i = 0; i < maps.size(); i++) {
        SCOPED_TRACE(maps[i].file);
        size_t width = 0;
        for (const std::string& row : maps[i].grid) {
            width = std::max(width, row.size());
            for (char c : row) used.insert(mapsource_tile(c));
        }
        if (i >= FIRST_NEW_MAP && width > LARGE_SIDE && maps[i].grid.size() > LARGE_SIDE) large++;
        for (size_t j = 0; j < i; j++) {
            EXPECT_NE(layout(maps[i]), layout(maps[j])) << "the shape of " << maps[j].file;
        }
    }
    EXPECT_GE(large, LARGE_NEW_MAPS);
    for (int t = 0; t < TILE_MAX; t++) {
        if (g->tiles[t].editor) {
            EXPECT_TRUE(used.count(t)) << "tile " << t << " " << g->tiles[t].name;
        }
    }
    free_rewind(*g);
}

// Difficulty is measured, not guessed: it rises from tier to tier, and the
// built seed database carries it in each record, which the service lists in
// campaign order, showing it until players rate the map.
TEST(FeaturedMaps, MeasuredDifficultyRisesByTierAndTheServiceListsThemInOrder) {
    const std::vector<MapSource>& maps = featured();
    ASSERT_EQ(maps.size(), (size_t)CAMPAIGN_MAPS);
    std::unique_ptr<Game> g = rules_game();
    std::vector<float> skulls, tier[CAMPAIGN_MAPS / TIER_MAPS];
    for (size_t i = 0; i < maps.size(); i++) {
        MapFigures f;
        std::string log;
        EXPECT_TRUE(mapdiff_measure(maps[i], *g, f, log)) << maps[i].file << "\n" << log;
        skulls.push_back(mapdiff_skulls(f));
        tier[i / TIER_MAPS].push_back(skulls.back());
    }
    free_rewind(*g);
    for (int t = 1; t < CAMPAIGN_MAPS / TIER_MAPS; t++)
        EXPECT_LT(median(tier[t - 1]), median(tier[t])) << "tier " << t + 1;

    std::string dir = "/tmp/velquist-campaign-" + std::to_string(getpid());
    ServerStore st;
    ASSERT_TRUE(server_store_open(st, dir));
    ASSERT_EQ(server_store_seed(st, VELQUIST_SEED_DB), CAMPAIGN_MAPS);
    MyResult rows;
    std::string why;
    ASSERT_TRUE(server_list(st, "c~featured", "", rows, why)) << why;
    ASSERT_EQ(rows.size(), maps.size());
    for (size_t i = 0; i < rows.size(); i++) {
        EXPECT_EQ(rows[i]["name"], maps[i].name);
        LevelData lev;
        ASSERT_TRUE(server_record_inflate(rows[i]["data"], lev));
        EXPECT_FLOAT_EQ(lev.skulls, skulls[i]) << maps[i].name;
        EXPECT_NEAR(atof(rows[i]["skulls"].c_str()), skulls[i], 1e-3) << "shown until rated: " << maps[i].name;
    }
    // Once players rate a map, their ratings are what the lists show.
    server_rating_store(st, maps[0].name, "rater", 0, 5, 1);
    ASSERT_TRUE(server_list(st, "c~featured", "", rows, why)) << why;
    EXPECT_NEAR(atof(rows[0]["skulls"].c_str()), 5.0, 1e-3);
    st.db.close();
    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}
