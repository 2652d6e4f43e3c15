// The map editor (edit.cpp) and its menu, title-and-options and share
// screens (edit_menu.cpp).
#pragma once

#include "engine.h"
#include "game.h"
#include "gui.h"

// ---- editing with undo (edit.cpp)
void edit_change(Game& game, int x, int y, int tile);
void edit_undo(Game& game);
void edit_redo(Game& game);
void edit_reset(Game& game);
void edit_map_init(Game& game);

class Edit : public State {
public:
    Game& game;
    Container gui;
    explicit Edit(Game& g) : game(g) {}
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

// ---- the screens around the editor (edit_menu.cpp)
enum {
    EDITMENU_NONE = 0, EDITMENU_EDIT = 1, EDITMENU_INFO = 2, EDITMENU_PLAY = 3, EDITMENU_QUIT = 4,
    EDITMENU_SHARE = 5, EDITMENU_EVERYONE = 6, EDITMENU_FRIENDS = 7, EDITMENU_CANCEL = 8
};

class EditMenu : public State {
public:
    Game& game;
    Container gui;
    explicit EditMenu(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

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
