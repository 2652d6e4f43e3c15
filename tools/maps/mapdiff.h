// Map difficulty: figures measured by replaying a map's recorded solution,
// and the skulls (the record's difficulty rating) that follow from them.
#pragma once

#include <string>

#include "mapsource.h"

struct MapFigures {
    bool won = false;
    int ticks = 0;             // set-up to the step beside the window
    int guards = 0, lights = 0;
    int width = 0, height = 0; // of the drawn grid
    int cartridges = 0;
    int bombs_used[4] = {0, 0, 0, 0};  // detonator, time, EMP, mini
    int watched_ticks = 0;     // ticks in which an awake guard had the player in range and in line
    int moving_ticks = 0;      // ticks from the first step to the window
    float watched() const { return moving_ticks ? (float)watched_ticks / moving_ticks : 0.0f; }
    int bombs() const { return bombs_used[0] + bombs_used[1] + bombs_used[2] + bombs_used[3]; }
};

// Rating bounds and step, as the win screen offers them.
enum { MAPDIFF_SKULLS_MIN = 1, MAPDIFF_SKULLS_MAX = 5 };

// Replays src's solution and measures it; false (with the replay's log in
// log) when the solution does not win. game._rewind must be allocated.
bool mapdiff_measure(const MapSource& src, Game& game, MapFigures& out, std::string& log);
// The difficulty of a measured map, 1 to 5 skulls in half steps.
float mapdiff_skulls(const MapFigures& f);
// One line of the figures table: name, size, ticks, guards, watch share, bombs, skulls.
std::string mapdiff_row(const MapSource& src, const MapFigures& f);
std::string mapdiff_header();
