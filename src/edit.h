// The map editor (edit.cpp) and its menu, title-and-options and share screens.
#pragma once

#include "engine.h"
#include "game.h"

class Edit : public State {
public:
    Game& game;
    explicit Edit(Game& g) : game(g) {}
};

class EditMenu : public State {
public:
    Game& game;
    explicit EditMenu(Game& g) : game(g) {}
};

class EditInfo : public State {
public:
    Game& game;
    explicit EditInfo(Game& g) : game(g) {}
};

class EditShare : public State {
public:
    Game& game;
    explicit EditShare(Game& g) : game(g) {}
};
