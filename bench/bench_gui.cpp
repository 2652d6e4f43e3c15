// Speed of the widget toolkit's per-frame work: laying out a long list
// screen (every frame lays the whole tree out again) and routing a pointer
// motion through it. No window: the widgets have explicit sizes.
#include <benchmark/benchmark.h>

#include "gui.h"

namespace {

// A menu-like screen: a title row and a scrolled table of `rows` rows of
// three boxed cells, with a scroll bar, inside a root container.
void build_list(Container& gui, int rows) {
    Table* list = new Table();
    for (int r = 0; r < rows; r++) {
        list->tr();
        for (int c = 0; c < 3; c++) {
            Widget* cell = new Widget();
            cell->style.width = 100 + 20 * c;
            cell->style.height = 24;
            Box* b = new Box(cell);
            b->onclick = 1000 + r;
            b->style.set_margin(2);
            b->style.set_padding(4);
            b->style.ovr_alpha = 0;
            b->style.data[STYLE_HOVER].ovr_alpha = 85;
            list->td(b);
        }
    }
    Table* page = new Table();
    Widget* title = new Widget();
    title->style.width = 400;
    title->style.height = 40;
    page->td(title);
    page->tr();
    page->td(new ScrollBox2(new ScrollBox(list, 600, 500)));
    gui.add(page, 20, 20);
}

void BM_GuiLayoutList(benchmark::State& state) {
    Container gui;
    build_list(gui, (int)state.range(0));
    for (auto _ : state) {
        gui.resize();
        benchmark::DoNotOptimize(gui.rect.w);
    }
    state.counters["widgets"] = (double)state.range(0) * 3 * 3;
}
BENCHMARK(BM_GuiLayoutList)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_GuiRouteMotion(benchmark::State& state) {
    Container gui;
    build_list(gui, 200);
    gui.resize();
    float y = 100;
    for (auto _ : state) {
        Event e(EVT_MOTION);
        e.x = 200;
        e.y = y;
        y = y > 500 ? 100 : y + 7;  // across rows: hover changes every few events
        benchmark::DoNotOptimize(gui.event(&e));
    }
}
BENCHMARK(BM_GuiRouteMotion)->Unit(benchmark::kMicrosecond);

}  // namespace
