// Replays: a recorded play played back through the rules is the same play,
// record for record; a replay wins only the map it was made on, only when it
// wins it cleanly; and hostile bytes are refused without harm.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "logic_literal_astar.h"
#include "mapsource.h"
#include "test_replay.h"
#include "util.h"

namespace {

// A map source's solution recorded as the map compiler records it.
struct Recorded {
    std::string bytes;
    std::unique_ptr<LevelData> start, end;
    bool won = false;
};

Recorded record_source(const MapSource& src) {
    World w;
    Game& g = w.g();
    LogicReplay rec;
    g.replay = &rec;
    Recorded r;
    std::string log;
    r.won = mapsource_replay(src, g, log);
    EXPECT_TRUE(logic_replay_finish(g, r.bytes)) << src.file;
    g.replay = nullptr;
    r.start.reset(new LevelData(g._edit));
    r.end.reset(new LevelData(g.level));
    return r;
}

std::vector<MapSource> sources(const char* dir) {
    std::vector<MapSource> out;
    std::string err;
    EXPECT_TRUE(mapsource_read_dir(dir, out, err)) << err;
    return out;
}

// A map to play by hand: no pillar, a window at the east end, a cartridge,
// and the camera turned a quarter.
LevelData hall(World& w) {
    w.draw(56, 60, {
        "###########",
        "#@........#",
        "#......$..#",
        "#.........W",
        "###########",
    });
    w.lev().rotate = 90;
    return w.lev();
}

// Step keys, the cartridge, the window; the view moves while the fireworks
// go up, as the camera's easing moves it.
void hall_play(Game& g) {
    logic_player_walk(g, -1, 0);  // screen left: map (1, 1) with this camera
    recorded_tick(g, 20);
    logic_player_walk(g, 0, 0);
    recorded_tick(g, 12);
    logic_click(g, 63, 62);
    recorded_tick(g, 90);
    logic_bomb(g, D_BOMB1);  // no stock: the press does nothing, but it is input
    logic_click(g, 65, 63);
    for (int t = 0; t < 200 && g.state == STATE_LEVEL; t++) {
        g.level.view_cx += 0.25f;
        recorded_tick(g);
    }
}

}  // namespace

TEST(LogicReplay, RecordedPlaysReplayToTheSameRecord) {
    std::vector<MapSource> maps = sources(VELQUIST_SEED_DIR);
    for (const MapSource& m : sources(VELQUIST_TUTORIAL_DIR)) maps.push_back(m);
    ASSERT_GE(maps.size(), 20u);
    size_t largest = 0;
    for (const MapSource& src : maps) {
        SCOPED_TRACE(src.file);
        Recorded r = record_source(src);
        ASSERT_TRUE(r.won);
        largest = std::max(largest, r.bytes.size());
        LogicReplay back;
        ASSERT_TRUE(logic_replay_decode(r.bytes, back));
        EXPECT_EQ(logic_replay_encode(back), r.bytes) << "one encoding per replay";
        World w;
        logic_replay_play(w.g(), *r.start, back);
        EXPECT_EQ(w.g().state, STATE_LEVEL_WIN);
        EXPECT_EQ(memcmp(&w.lev(), r.end.get(), sizeof(LevelData)), 0) << "the final record, byte for byte";
        EXPECT_EQ(logic_replay_check(w.g(), *r.start, r.bytes), LOGIC_REPLAY_WON);
    }
    printf("largest replay of a shipped map: %zu bytes\n", largest);

    // By hand, with what the solutions lack: step keys under a turned camera,
    // a press without stock, and a view that moves during the fireworks.
    World w;
    LevelData map = hall(w);
    std::string bytes = record_play(w.g(), map, hall_play);
    ASSERT_FALSE(bytes.empty());
    ASSERT_EQ(w.g().state, STATE_LEVEL_WIN);
    LogicReplay r;
    ASSERT_TRUE(logic_replay_decode(bytes, r));
    int views = 0, walks = 0;
    for (const LogicReplayEvent& e : r.events) {
        views += e.kind == LOGIC_REPLAY_VIEW;
        walks += e.kind == LOGIC_REPLAY_WALK;
    }
    EXPECT_GT(views, 30) << "the view is kept while it moves";
    EXPECT_EQ(walks, 2);
    World again;
    logic_replay_play(again.g(), map, r);
    EXPECT_EQ(memcmp(&again.lev(), &w.lev(), sizeof(LevelData)), 0);
    EXPECT_EQ(logic_replay_check(again.g(), map, bytes), LOGIC_REPLAY_WON);
}

TEST(LogicReplay, WinsOnlyTheMapItWasMadeOnAndOnlyCleanly) {
    World w;
    LevelData map = hall(w);
    std::string bytes = record_play(w.g(), map, hall_play);
    ASSERT_FALSE(bytes.empty());
    LogicReplay r;
    ASSERT_TRUE(logic_replay_decode(bytes, r));
    auto cut_to = [&](int ticks) {
        LogicReplay c = r;
        c.ticks = ticks;
        while (!c.events.empty() && c.events.back().tick >= ticks) c.events.pop_back();
        return logic_replay_encode(c);
    };
    // The window reached by the row below, past the cartridge.
    World w2;
    std::string unclean = record_play(w2.g(), map, [](Game& g) { logic_click(g, 65, 63); });
    ASSERT_EQ(w2.g().state, STATE_LEVEL_WIN);
    ASSERT_LT(w2.lev().c_bonus, w2.lev().t_bonus);

    std::unique_ptr<LevelData> shared(new LevelData(map));
    struct Case {
        const char* what;
        void (*change)(LevelData&);
        std::string replay;
        int verdict;
    } cases[] = {
        {"the map as played", nullptr, bytes, LOGIC_REPLAY_WON},
        {"texts, ratings, camera and flags are not the map's content",
         [](LevelData& l) {
             mystrcpy(l.title, sizeof(l.title), "Renamed");
             mystrcpy(l.author, sizeof(l.author), "someone");
             l.stars = 5;
             l.rotate = 45;
             l.pan_x = 3;
             l.dirty = 0;
             l.is_init = 1;
             l.items[3].active = 1;  // live state is rebuilt at set-up
         },
         bytes, LOGIC_REPLAY_WON},
        {"a wall added", [](LevelData& l) { l.data[40][40] = T_WALL; }, bytes, LOGIC_REPLAY_OTHER_MAP},
        {"a bomb more to start with", [](LevelData& l) { l.inventory[D_BOMB2] = 1; }, bytes, LOGIC_REPLAY_OTHER_MAP},
        {"guards frozen from the start", [](LevelData& l) { l.emp = 9000; }, bytes, LOGIC_REPLAY_OTHER_MAP},
        {"cut before the win", nullptr, cut_to(r.ticks - 1), LOGIC_REPLAY_NOT_WON},
        {"going on after the win", nullptr, cut_to(r.ticks + 1), LOGIC_REPLAY_NOT_WON},
        {"a cartridge left", nullptr, unclean, LOGIC_REPLAY_NOT_CLEAN},
        {"not a replay", nullptr, "VQRP", LOGIC_REPLAY_UNREADABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        *shared = map;
        if (c.change) c.change(*shared);
        World check;
        EXPECT_EQ(logic_replay_check(check.g(), *shared, c.replay), c.verdict);
    }
    // A caller that bounds the time a check takes stops it.
    World stopped;
    EXPECT_EQ(logic_replay_check(stopped.g(), map, bytes, [](void*) { return false; }), LOGIC_REPLAY_TOO_LONG);
}

TEST(LogicReplay, HostileBytesAreRefusedWithoutHarm) {
    World w;
    LevelData map = hall(w);
    std::string good = record_play(w.g(), map, hall_play);
    ASSERT_FALSE(good.empty());
    World check;
    const size_t header = 37;  // magic, version, seed, digest, view; the tick count follows
    // A cut inside the header is unreadable; a cut between events may still
    // be a replay (one without the last views still wins); none crashes.
    const size_t every = 211;  // beyond the header, a sample of the cuts
    for (size_t n = 0; n < good.size(); n += n < header + 8 ? 1 : every) {
        int verdict = logic_replay_check(check.g(), map, good.substr(0, n));
        if (n <= header) {
            EXPECT_EQ(verdict, LOGIC_REPLAY_UNREADABLE) << n;
        }
    }
    auto with = [&](size_t at, const std::string& bytes) { return good.substr(0, at) + bytes; };
    auto event = [&](const std::string& bytes) { return with(header, std::string("\x05", 1) + bytes); };
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"another magic", "VQRX" + good.substr(4)},
        {"another version", with(4, std::string("\x02", 1)) + good.substr(5)},
        {"a view that is not a number", with(25, std::string("\x00\x00\xc0\x7f", 4)) + good.substr(29)},
        {"a huge tick count", with(header, std::string("\xff\xff\xff\x7f", 4))},
        {"no ticks at all", with(header, std::string("\x00", 1))},
        {"a tick count in a longer form than needed", with(header, std::string("\x85\x00", 2))},
        {"a gap beyond the last tick", event(std::string("\xf8\xff\x7f\x00", 4))},
        {"a huge gap", event(std::string("\xf8\xff\xff\xff\xff\x0f", 6))},
        {"a click outside the map", event(std::string("\x00\x80\x10", 3))},
        {"a step in no direction", event(std::string("\x01\x00", 2))},
        {"a step code out of range", event(std::string("\x01\x0a", 2))},
        {"an unknown kind", event(std::string("\x07", 1))},
        {"a view cut short", event(std::string("\x06\x00\x00", 3))},
        {"too many events before one tick", event(std::string(LOGIC_REPLAY_TICK_INPUT_MAX + 1, '\x02'))},
        {"larger than a replay may be", good + std::string(LOGIC_REPLAY_BYTES_MAX, '\x02')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LogicReplay r;
        EXPECT_FALSE(logic_replay_decode(c.bytes, r));
        EXPECT_EQ(logic_replay_check(check.g(), map, c.bytes), LOGIC_REPLAY_UNREADABLE);
    }
}

// Far searches are kept with the solid cells they ran on: kept or fresh, a
// search gives the literal search's path, whatever the grid did meanwhile.
TEST(LogicReplay, KeptFarSearchesGiveTheSamePathsAsFreshOnes) {
    World w;
    w.lev() = hostile_maze();
    w.init();
    Game& g = w.g();
    const Point start(&g, MAP_MIN, MAP_MIN), near(&g, MAP_MIN + 2, MAP_MIN);
    const Point goals[] = {Point(&g, MAP_MIN, MAP_MAX), Point(&g, MAP_MIN + 5, MAP_MAX), Point(&g, MAP_MAX, MAP_MAX)};
    struct Change {
        const char* what;
        int x, y, tile;  // tile -1: none
    } changes[] = {
        {"the first searches", 0, 0, -1},
        {"the same again", 0, 0, -1},
        {"a shortcut through the first wall", MAP_MIN, MAP_MIN + 1, T_FLOOR},
        {"the shortcut walled again", MAP_MIN, MAP_MIN + 1, T_WALL},
        {"the first wall closed: no way", MAP_MAX, MAP_MIN + 1, T_WALL},
        {"a cell that is no way at all turned to floor", MAP_MIN, 0, T_FLOOR},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        if (c.tile >= 0) {
            w.set(c.x, c.y, c.tile);
            logic_info(g);
        }
        for (const Point& goal : goals) {
            EXPECT_EQ(astar(start, goal), literal_astar(start, goal)) << goal.x << "," << goal.y;
            EXPECT_EQ(astar(near, goal), literal_astar(near, goal)) << goal.x << "," << goal.y;
        }
    }
}
