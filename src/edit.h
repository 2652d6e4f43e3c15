// The map editor (edit.cpp) and its menu, title-and-options and share
// screens (edit_menu.cpp).
#pragma once

#include <string>

#include "engine.h"
#include "game.h"
#include "gui.h"
#include "level.h"

// ---- editing with undo (edit.cpp)
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

void edit_change(Game& game, int x, int y, int tile);
// Paints tile on a 4-connected line of cells from (x0, y0) to (x1, y1), both
// ends included, each cell its own change; cells outside the playable area
// are skipped. So a stroke leaves no gaps whichever way the map is seen.
void edit_stroke(Game& game, int x0, int y0, int x1, int y1, int tile);
void edit_undo(Game& game);
void edit_redo(Game& game);
void edit_reset(Game& game);
void edit_map_init(Game& game);

// The editor's top right corner: the cell under the pointer and the actor
// slots used of the map's ENTITY_MAX.
std::vector<LevelStatusLine> edit_status_lines(const Game& game);

class Edit : public State {
public:
    Game& game;
    Container gui;
    Table* palette = nullptr;  // owned by gui
    explicit Edit(Game& g) : game(g) {}
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
    bool still() const override { return false; }
    // Makes t the chosen tile: its palette button highlighted, its help shown.
    void choose(int t);
};

// ---- the screens around the editor (edit_menu.cpp)
enum {
    EDITMENU_NONE = 0, EDITMENU_EDIT = 1, EDITMENU_INFO = 2, EDITMENU_PLAY = 3, EDITMENU_QUIT = 4,
    EDITMENU_SHARE = 5, EDITMENU_EVERYONE = 6, EDITMENU_FRIENDS = 7, EDITMENU_CANCEL = 8,
    EDITMENU_FRESH = 9  // after a failed save into a damaged user.db: keep it aside, save anew
};

class EditMenu : public State {
public:
    Game& game;
    Container gui;
    std::string save_error;  // why the last Save & Quit failed; shown until the menu is left
    explicit EditMenu(Game& g) : game(g) {}
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

// Pages of the title-and-options screen; the page shown is kept between visits.
enum { EDITINFO_PAGE_TEXT = 0, EDITINFO_PAGE_BOMBS = 1, EDITINFO_PAGE_NAMES = 2 };
extern int _editinfo_page;
// Opens the title-and-options pages; Back on the first page returns to the
// screen `back` (the build list for a new map, else the editor's menu).
void edit_info_open(Game& game, int back);
// A bomb field's text as a starting stock: a decimal number, clamped to what
// a map can hold; text that does not start with a number gives 0.
int editinfo_bombs(const char* text);

class EditInfo : public State {
public:
    Game& game;
    Container gui;
    explicit EditInfo(Game& g) : game(g) {}
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class EditShare : public State {
public:
    Game& game;
    Container gui;
    explicit EditShare(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};
