// The play screens: the map in play with its heads-up display, the intro and
// win screens (level.cpp), the rewind (level.cpp) and the pause menu (pause.cpp).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine.h"
#include "game.h"
#include "gui.h"

// A status line of a screen's top right corner: what it counts, and the count.
typedef std::pair<std::string, std::string> LevelStatusLine;
// The play screen's: pillars destroyed, Data Cartridges, play time.
std::vector<LevelStatusLine> level_status_lines(const LevelData& lev);
// Draws status lines against the window's top right corner.
void level_status_paint(const std::vector<LevelStatusLine>& lines);
// A red edge around the whole window, at strength 0 (none) to 1: a death.
void level_paint_death_edge(float strength);

class Level : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
    bool still() const override { return false; }
};

class LevelIntro : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void event(Event e) override;
    void loop() override;
};

// After a win of a tutorial: its score goes into the tutorials' best
// scores (the higher one is kept). Play calls it as it leaves for the win screen.
void level_record_best(Game& game);

class LevelWin : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void event(Event e) override;
    void loop() override;
};

// Replays the rewind snapshots, newest first; input is ignored meanwhile.
class Rewind : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
    bool still() const override { return false; }
};

// What the pause screen says killed the player (a DEATH_ code).
const char* pause_death_text(int cause);

class Pause : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};
