// Map sources: the text files from which the shipped maps are built, with
// their texts, starting bombs, grid drawn in characters, and a solution.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "game.h"

// A way through a map that skips its idea and must lose: the reason, and
// steps in the solution's format.
struct MapShortcut {
    std::string why;
    std::vector<std::string> steps;
};

struct MapSource {
    std::string file;
    std::string name, title, intro, music, theme;
    int bombs[4] = {0, 0, 0, 0};           // detonator, time, EMP, mini
    std::vector<std::string> grid;         // rows of the map, one character a cell
    std::vector<std::string> solution;     // replayable steps, one a line
    std::vector<MapShortcut> shortcuts;    // ways that must lose
    int ox = 0, oy = 0;                    // map cell of the grid's top-left character
};

// Tile number of a grid character, or -1 for a character the legend lacks.
int mapsource_tile(char c);
// Reads a map source; false with a message in err when it is malformed.
bool mapsource_read(const char* path, MapSource& out, std::string& err);
// Reads every *.map file of a folder, in name order.
bool mapsource_read_dir(const char* dir, std::vector<MapSource>& out, std::string& err);
// One step of a solution, with grid coordinates turned into map cells.
struct MapStep {
    enum Kind { WALK, CLICK, BOMB, WAIT, KEYS, WIN } kind = WAIT;
    int x = 0, y = 0;   // WALK, CLICK: the map cell; KEYS: the screen direction
    int n = 0;          // BOMB: kind 1..4; WAIT, KEYS: ticks
};
// Parses the solution; false with a message in err on a malformed step.
bool mapsource_steps(const MapSource& src, std::vector<MapStep>& out, std::string& err);
// Longest wait for a walk to arrive or a win to come, in ticks.
enum { MAPSOURCE_WALK_TICKS = 3000, MAPSOURCE_WIN_TICKS = 900 };

// Called after every tick of a replay, with the game as the tick left it.
using MapTickFn = std::function<void(Game&)>;

// Plays a map's solution with the rules alone, tick by tick as the play
// screen runs them; true when the map is won. log tells how it went,
// and when and how the player died. game._rewind must be allocated.
bool mapsource_replay(const MapSource& src, Game& game, std::string& log, const MapTickFn& on_tick = nullptr);
// The same map played by other steps (a shortcut's).
bool mapsource_replay_steps(const MapSource& src, const std::vector<std::string>& steps, Game& game,
                            std::string& log);

// Draws the source into a new map made by logic_new (its grid centred on the
// map) and sets its texts and bombs; both copies of the game hold the result.
void mapsource_apply(const MapSource& src, Game& game);
