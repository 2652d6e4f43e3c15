// The map editor (edit.cpp) and its menu, title-and-options and share
// screens (edit_menu.cpp).
#pragma once

#include <string>

#include "engine.h"
#include "game.h"
#include "gui.h"
#include "level.h"

// ---- editing with undo (edit.cpp)
void edit_change(Game& game, int x, int y, int tile);
// Paints tile on a 4-connected line of cells from (x0, y0) to (x1, y1), both
// ends included, each cell its own change; cells outside the playable area
// are skipped. So a stroke leaves no gaps whichever way the map is seen.
void edit_stroke(Game& game, int x0, int y0, int x1, int y1, int tile);
void edit_undo(Game& game);
void edit_redo(Game& game);
void edit_reset(Game& game);

// The editor's top right corner: the cell under the pointer and the actor
// slots used of the map's ENTITY_MAX.
std::vector<LevelStatusLine> edit_status_lines(const Game& game);

class Edit : public Screen {
public:
    Table* palette = nullptr;  // owned by gui
    using Screen::Screen;
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

class EditMenu : public Screen {
public:
    std::string save_error;  // why the last Save & Quit failed; shown until the menu is left
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void event(Event e) override;
    void loop() override;
};

// Opens the title-and-options pages; Back on the first page returns to the
// screen `back` (the build list for a new map, else the editor's menu).
void edit_info_open(Game& game, int back);

class EditInfo : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void event(Event e) override;
    void loop() override;
};

class EditShare : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void event(Event e) override;
    void loop() override;
};
