// Inside the rules: the limits, cell arithmetic, catalogue look-up, entity
// repair and working space that the rules' own files share. Only src/logic*.cpp
// and the tests that check these helpers include this.
#pragma once

#include <cstddef>

#include "logic.h"

enum {
    LOGIC_STOCK_MAX = 9999,         // ceiling of one inventory counter
    LOGIC_POS_MIN = -MAP_SIZE,      // positions are kept inside this range: fireworks may
    LOGIC_POS_MAX = 2 * MAP_SIZE,   // land off the grid, anything farther is damage
    LOGIC_STEP_TICKS = 8,           // the player and walking guards reach a cell centre every 8 ticks
    LOGIC_ANIM_FRAMES = 8,          // images of a walk cycle, each shown for two ticks
    LOGIC_FACING_NEW = 2,           // new actors and bombs face (1, 1)
    LOGIC_ITEM_BASE = D_BOMB1 - 1,  // an item of value v adds to inventory[v + LOGIC_ITEM_BASE]
    LOGIC_ITEM_BONUS = D_BONUS - LOGIC_ITEM_BASE  // the value of a bonus item
};
// Integer part (toward zero) of v, and of v + 0.5 (the cell a position is in);
// NaN gives 0 and anything beyond the position range is clamped to it.
int _logic_int(float v);
inline int _logic_cell(float v) { return _logic_int(v + 0.5f); }
inline bool _logic_on_grid(int x, int y) {
    return (unsigned)x < (unsigned)MAP_SIZE && (unsigned)y < (unsigned)MAP_SIZE;
}
inline bool _logic_playable(int x, int y) {
    return x >= MAP_MIN && x <= MAP_MAX && y >= MAP_MIN && y <= MAP_MAX;
}
// Catalogue entry of the tile in cell (x, y) of the play copy; off the grid a
// solid, opaque entry that is nothing else.
const TileData& _logic_tile(const Game& game, int x, int y);
// Grid step of a direction code; codes outside 0..9 give (0, 0).
void _logic_arrow_step(int code, int* dx, int* dy);
// Slot of e in the play copy, or -1 when e is not one of its slots.
int _logic_slot(const Game& game, const Entity& e);
// An actor's image name, "<kind>-<pose>-<a>-<b>": the bytes snprintf would
// write (cut to the field, terminated), at a fraction of its cost; every
// actor gets one every tick.
void _logic_image_name(char* out, size_t size, const char* kind, const char* pose, int a, int b);
// Clamp what a tick reads of one entity / of the level's counters and camera.
void _logic_mend_entity(Entity& e, int slot);
void _logic_mend_live(LevelData& lev);
// A Game's working space of the rules (logic_setup.cpp), made on first use;
// the path search keeps its part behind the pointer it is given, made and
// freed in logic_path.cpp.
struct LogicSearch;
LogicScratch& _logic_scratch(Game& game);
LogicSearch*& _logic_scratch_search(Game& game);
void _logic_search_free(LogicSearch* search);
