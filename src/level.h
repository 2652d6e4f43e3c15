// The play screens: the map in play with its heads-up display, the intro and
// win screens (level.cpp), the rewind (level.cpp) and the pause menu (pause.cpp).
#pragma once

#include "engine.h"
#include "game.h"
#include "gui.h"

class Level : public State {
public:
    Game& game;
    Container gui;
    explicit Level(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class LevelIntro : public State {
public:
    Game& game;
    Container gui;
    explicit LevelIntro(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class LevelWin : public State {
public:
    Game& game;
    Container gui;
    explicit LevelWin(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

// Replays the rewind snapshots, newest first; input is ignored meanwhile.
class Rewind : public State {
public:
    Game& game;
    explicit Rewind(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class Pause : public State {
public:
    Game& game;
    Container gui;
    explicit Pause(Game& g) : game(g) {}
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};
