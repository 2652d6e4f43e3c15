// What the play screen keeps to its own files: the bomb plates it lays over
// the map. Only the play screens' files (and tests that look inside)
// include it.
#pragma once

#include <string>
#include <vector>

#include "level.h"

// A live time bomb's countdown as the play screen shows it: a plate at
// (x, y), w by h canvas units, over the bomb in entity slot `slot`, clear of
// the plates of the bombs in lower slots.
struct LevelBombLabel {
    float x = 0, y = 0, w = 0, h = 0;
    int slot = 0;
    std::string text;
};
// Placed through the map's matrices: valid right after myview_paint.
std::vector<LevelBombLabel> level_bomb_labels(Game& game);
