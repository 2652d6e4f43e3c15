// The play screens: play, intro, win, rewind (level.cpp) and pause (pause.cpp).
#pragma once

#include "engine.h"
#include "game.h"

class Level : public State {
public:
    Game& game;
    explicit Level(Game& g) : game(g) {}
};

class LevelIntro : public State {
public:
    Game& game;
    explicit LevelIntro(Game& g) : game(g) {}
};

class LevelWin : public State {
public:
    Game& game;
    explicit LevelWin(Game& g) : game(g) {}
};

class Rewind : public State {
public:
    Game& game;
    explicit Rewind(Game& g) : game(g) {}
};

class Pause : public State {
public:
    Game& game;
    explicit Pause(Game& g) : game(g) {}
};
