// Speed of checking a replay as the service does (decode, set-up, every tick
// of the play, the verdict): ten minutes of play on a busy map must check in
// well under 50 ms of CPU, and a hostile replay must not cost a search per
// click. Run from the build folder's bench/, so that ../data/tiles.json and
// the featured maps in ../server are found.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "mydb.h"
#include "test_replay.h"

namespace {

enum {
    TEN_MINUTES = 10 * 60 * TICKS_PER_SECOND,
    WANDER_EVERY = 90,   // ticks between two clicks while wandering
    FINALE_TICKS = 600   // the last 20 seconds: the pillar blown up, the window
};

// The player's walled hall (opaque walls: the guards outside never see in)
// with a pillar and a window; outside it guards on square patrols and moving
// lights: two and two as on the featured maps, or 24 and 5 for a busy map.
LevelData hall_map(World& w, bool busy) {
    for (int x = 10; x <= 50; x++) {
        w.set(x, 10, T_WALL);
        w.set(x, 50, T_WALL);
    }
    for (int y = 10; y <= 50; y++) {
        w.set(10, y, T_WALL);
        w.set(50, y, T_WALL);
    }
    w.set(50, 30, T_WINDOW);
    w.set(20, 20, T_PLAYER);
    w.set(45, 45, T_PILLAR);
    int rows = busy ? 6 : 1, columns = busy ? 4 : 2, lights = busy ? 5 : 2;
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < columns; i++) w.draw(60 + 15 * i, 8 + 19 * j, {"G3....1", ".......", ".......", ".9....7"});
    for (int k = 0; k < lights; k++) w.draw(62 + 11 * k, 15, {"L3.......1", "", ".9.......7"});
    w.lev().inventory[D_BOMB1] = 1;
    w.lev().inventory[D_BOMB3] = 3;
    return w.lev();
}

// Ten minutes of wandering about the hall by clicks, now and then an EMP
// bomb, then a detonator fired from afar at the pillar and the window.
void hall_play(Game& g) {
    static const int stops[][2] = {{14, 14}, {40, 16}, {30, 40}, {16, 36}, {25, 25}, {44, 22}, {36, 30}};
    int n = 0;
    for (int t = 0; t + WANDER_EVERY < TEN_MINUTES - FINALE_TICKS; t += WANDER_EVERY, n++) {
        const int* s = stops[n % 7];
        logic_click(g, s[0], s[1]);
        recorded_tick(g, WANDER_EVERY / 2);
        if (n % 40 == 39) logic_bomb(g, D_BOMB3);
        recorded_tick(g, WANDER_EVERY / 2);
    }
    logic_click(g, 45, 44);
    recorded_tick(g, 200);
    logic_bomb(g, D_BOMB1);
    logic_click(g, 35, 35);
    recorded_tick(g, 120);
    logic_bomb(g, D_BOMB1);  // fired from afar
    recorded_tick(g, 40);
    logic_click(g, 49, 30);
}

struct Recording {
    std::unique_ptr<LevelData> map;
    std::string bytes;
    bool won = false;
};

const Recording& ten_minutes(bool busy) {
    static Recording made[2];
    Recording& r = made[busy];
    if (r.map) return r;
    World w;
    r.map.reset(new LevelData(hall_map(w, busy)));
    r.bytes = record_play(w.g(), *r.map, hall_play, 2 * FINALE_TICKS);
    r.won = w.g().state == STATE_LEVEL_WIN;
    return r;
}

// Argument 0: two guards and two lights, as on the featured maps; 1: busy.
void BM_ReplayCheckTenMinutes(benchmark::State& state) {
    const Recording& r = ten_minutes(state.range(0) != 0);
    World w;
    LogicReplay decoded;
    if (!r.won || !logic_replay_decode(r.bytes, decoded) || decoded.ticks < TEN_MINUTES - FINALE_TICKS) {
        state.SkipWithError("the recorded play should win after ten minutes");
        return;
    }
    int verdict = -1;
    for (auto _ : state) verdict = logic_replay_check(w.g(), *r.map, r.bytes);
    if (verdict != LOGIC_REPLAY_WON) state.SkipWithError("the replay should win its map");
    state.counters["ticks"] = decoded.ticks;
    state.counters["bytes"] = (double)r.bytes.size();
    state.counters["events"] = (double)decoded.events.size();
}
BENCHMARK(BM_ReplayCheckTenMinutes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The longest replay of a featured map (by its ticks), from the service's
// seed file beside the build's server: the honest check that the service's
// limit on one check's CPU time must leave room for.
void BM_ReplayCheckLongestFeatured(benchmark::State& state) {
    MyDB seed;
    seed.open_readonly("../server/velquist-seed.db");
    std::string packed, bytes;
    int ticks = 0;
    for (MyRow& row : seed.query("select l.data as data, r.replay as replay from levels l join replays r on r.id = l.id")) {
        std::string replay;
        LogicReplay r;
        if (!base64_decode(row["replay"], &replay) || !logic_replay_decode(replay, r) || r.ticks <= ticks) continue;
        ticks = r.ticks;
        bytes = replay;
        packed = row["data"];
    }
    std::unique_ptr<LevelData> map(new LevelData());
    size_t inflated = 0, rest = 0;
    if (bytes.empty() || !logic_record_unpack(packed, *map, &inflated, &rest)) {
        state.SkipWithError("no featured map with a replay in ../server/velquist-seed.db");
        return;
    }
    World w;
    int verdict = -1;
    for (auto _ : state) verdict = logic_replay_check(w.g(), *map, bytes);
    if (verdict != LOGIC_REPLAY_WON) state.SkipWithError("the featured replay should win its map");
    state.counters["ticks"] = ticks;
}
BENCHMARK(BM_ReplayCheckLongestFeatured)->Unit(benchmark::kMillisecond);

// A hostile share: a maze over the whole map and 8,192 clicks alternating
// between its two ends, checked in full (no limit on its time). Argument:
// the far cells the clicks go round; 1 repeats one far search over and over.
void BM_ReplayCheckHostile(benchmark::State& state) {
    LevelData maze = hostile_maze();
    std::string bytes = hostile_replay(maze, LOGIC_REPLAY_PATHS_MAX, (int)state.range(0));
    World w;
    int verdict = -1;
    for (auto _ : state) verdict = logic_replay_check(w.g(), maze, bytes);
    if (verdict != LOGIC_REPLAY_NOT_WON) state.SkipWithError("the hostile replay should play to its end and lose");
}
BENCHMARK(BM_ReplayCheckHostile)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond);

// The decoder alone, on the same replay.
void BM_ReplayDecode(benchmark::State& state) {
    const Recording& r = ten_minutes(true);
    LogicReplay decoded;
    for (auto _ : state) benchmark::DoNotOptimize(logic_replay_decode(r.bytes, decoded));
}
BENCHMARK(BM_ReplayDecode)->Unit(benchmark::kMicrosecond);

}  // namespace
