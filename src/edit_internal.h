// What the editor's files share among themselves: the palette and the
// pages kept between visits. Only the editor's files (and tests that need
// to look inside) include it.
#pragma once

#include "edit.h"

// ---- the palette (edit.cpp)
enum {
    EDIT_MAP_MAX = 64,       // tiles the palette list holds
    EDIT_PALETTE_COLS = 16,  // the palette shows the first COLS x ROWS of them
    EDIT_PALETTE_ROWS = 2
};
// The palette list (built once, unfilled slots hold tile 0) and the chosen
// tile, kept between visits to the editor.
extern int _edit_map[EDIT_MAP_MAX];
extern int _edit_map_built;
extern int _edit_cur;

// Builds the palette list from the tile catalogue, once.
void edit_map_init(Game& game);

// ---- the title-and-options screen (edit_menu.cpp)
// Pages of the title-and-options screen; the page shown is kept between visits.
enum { EDITINFO_PAGE_TEXT = 0, EDITINFO_PAGE_BOMBS = 1, EDITINFO_PAGE_NAMES = 2 };
extern int _editinfo_page;
// A bomb field's text as a starting stock: a decimal number, clamped to what
// a map can hold; text that does not start with a number gives 0.
int editinfo_bombs(const char* text);
