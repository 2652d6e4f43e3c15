// Speed of the editor's per-frame work: the map copied into the play copy
// and set up for play (two ticks included) so that its actors show, on a map
// whose spawn tiles fill every entity slot; and painting a long stroke with
// its undo records. No window. Run from the build folder (../data/tiles.json).
#include <benchmark/benchmark.h>

#include <memory>

#include "edit.h"
#include "logic_world.h"

namespace {

// 40 guards on square patrols, 7 moving lights and the player: 48 actors
// drawn as spawn tiles, as the editor holds them.
std::unique_ptr<World> crowded_edit_map() {
    std::unique_ptr<World> w(new World());
    for (int j = 0; j < 5; j++)
        for (int i = 0; i < 8; i++) w->draw(8 + 14 * i, 8 + 22 * j, {"G3....1", ".......", ".......", ".9....7"});
    for (int k = 0; k < 7; k++) w->draw(10 + 15 * k, 15, {"L3.......1", "", ".9.......7"});
    w->draw(60, 119, {"#####", "#.@.#", "#####"});
    w->g()._edit = w->lev();
    w->g().state = STATE_EDIT;
    return w;
}

void BM_EditorFrame(benchmark::State& state) {
    std::unique_ptr<World> w = crowded_edit_map();
    Edit edit(w->g());
    for (auto _ : state) {
        edit.loop();
        benchmark::DoNotOptimize(w->lev().frame);
    }
    int active = 0;
    for (const Entity& e : w->lev().items) active += e.active != 0;
    state.counters["actors"] = active;
}
BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMicrosecond);

// A stroke across the whole map, one change per cell; strokes alternate
// between wall and floor so that every cell changes every time.
void BM_EditorStroke(benchmark::State& state) {
    std::unique_ptr<World> w = crowded_edit_map();
    Game& g = w->g();
    int tile = T_WALL;
    for (auto _ : state) {
        for (int x = MAP_MIN; x <= MAP_MAX; x++) edit_change(g, x, 70, tile);
        tile = tile == T_WALL ? T_FLOOR : T_WALL;
        benchmark::DoNotOptimize(g.ext.undo_n);
    }
    state.counters["cells"] = MAP_MAX - MAP_MIN + 1;
}
BENCHMARK(BM_EditorStroke)->Unit(benchmark::kMicrosecond);

}  // namespace
