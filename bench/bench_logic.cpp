// Speed of the rules: the path search in its worst cases (also against the
// plain ordered-set search it must match), and one full tick on a crowded map.
// Run from the build folder, so that ../data/tiles.json is found.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "logic_literal_astar.h"
#include "logic_world.h"

namespace {

bool same_route(const std::vector<Point>& a, const std::vector<Point>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i] != b[i]) return false;
    return true;
}

// The maps searched: open; with the goal walled in; cut in two halves by a
// wall (no way, and a large part to look through); and a maze of long walls
// with gaps at alternate ends (a path of 3,513 cells, which logic_path would
// then refuse as too long).
enum { MAP_OPEN, MAP_WALLED_GOAL, MAP_SPLIT, MAP_MAZE };

std::unique_ptr<World> search_world(int kind) {
    std::unique_ptr<World> w(new World());
    if (kind == MAP_WALLED_GOAL) w->draw(121, 121, {"###", "#..", "#.."});
    if (kind == MAP_SPLIT)
        for (int y = MAP_MIN; y <= MAP_MAX; y++) w->set(MAP_SIZE / 2, y, T_WALL);
    if (kind == MAP_MAZE) {
        for (int y = 8; y < MAP_MAX; y += 4)
            for (int x = MAP_MIN; x <= MAP_MAX; x++)
                if ((y / 4) % 2 ? x != MAP_MAX : x != MAP_MIN) w->set(x, y, T_WALL);
    }
    logic_info(w->g());
    return w;
}

template <bool Literal>
void BM_Search(benchmark::State& state) {
    std::unique_ptr<World> w = search_world((int)state.range(0));
    Point a(&w->g(), MAP_MIN, MAP_MIN), b(&w->g(), MAP_MAX, MAP_MAX);
    if (!same_route(astar(a, b), literal_astar(a, b))) {
        state.SkipWithError("the fast search differs from the literal one");
        return;
    }
    size_t points = 0;
    for (auto _ : state) {
        std::vector<Point> route = Literal ? literal_astar(a, b) : astar(a, b);
        points = route.size();
        benchmark::DoNotOptimize(route.data());
    }
    state.counters["points"] = (double)points;
}
BENCHMARK_TEMPLATE(BM_Search, false)->DenseRange(MAP_OPEN, MAP_MAZE)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Search, true)->DenseRange(MAP_OPEN, MAP_MAZE)->Unit(benchmark::kMicrosecond);

// 64 entities: the player shut in a room of its own, 40 guards on square
// patrols, 7 moving lights and 16 time bombs going off one after another,
// each sending every guard running to it and back.
std::unique_ptr<World> stress_world() {
    std::unique_ptr<World> w(new World());
    for (int j = 0; j < 5; j++) {
        for (int i = 0; i < 8; i++) {
            int x = 8 + 14 * i, y = 8 + 22 * j;
            w->draw(x, y, {
                "G3....1",
                ".......",
                ".......",
                ".9....7",
            });
        }
    }
    for (int k = 0; k < 7; k++) w->draw(10 + 15 * k, 15, {"L3.......1", "", ".9.......7"});
    w->draw(60, 119, {"#####", "#.@.#", "#####"});
    w->set(100, 100, T_PILLAR);  // the map is not won while the benchmark runs
    w->init();
    for (int k = 0; k < 16; k++) {
        Entity& b = w->place(D_BOMB2, 15 + 14 * (k % 8), 20 + 44 * (k / 8));
        b.timer = 20 + 35 * k;
    }
    return w;
}

void BM_TickStress(benchmark::State& state) {
    std::unique_ptr<World> w = stress_world();
    int active = 0;
    for (const Entity& e : w->lev().items) active += e.active != 0;
    if (active != ENTITY_MAX) {
        state.SkipWithError("the stress map should fill every entity slot");
        return;
    }
    std::unique_ptr<LevelData> start(new LevelData(w->lev()));
    const int episode = 600;  // 20 seconds of play: every bomb goes off
    double worst = 0;
    long ticks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w->lev() = *start;
        state.ResumeTiming();
        for (int t = 0; t < episode; t++) {
            auto t0 = std::chrono::steady_clock::now();
            logic_info(w->g());
            logic_loop(w->g());
            double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
            if (us > worst) worst = us;
        }
        ticks += episode;
    }
    state.counters["per_tick"] =
        benchmark::Counter((double)ticks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["worst_tick_us"] = worst;
}
BENCHMARK(BM_TickStress)->Unit(benchmark::kMillisecond);

// The quiet case: patrols and lights only, no explosion.
void BM_TickPatrol(benchmark::State& state) {
    std::unique_ptr<World> w = stress_world();
    for (Entity& e : w->lev().items)
        if (e.type == D_BOMB2) e.active = 0;
    for (auto _ : state) {
        logic_info(w->g());
        logic_loop(w->g());
    }
}
BENCHMARK(BM_TickPatrol)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
