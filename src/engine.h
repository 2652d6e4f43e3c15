// The screen interface: every screen of the game implements State, and
// derives from Screen, which carries the game, the widget tree and the frame
// most screens draw.
#pragma once

#include "event.h"
#include "gui.h"

class Game;

class State {
public:
    virtual void init() {}
    virtual void deinit() {}
    virtual void paint() {}
    virtual void event(Event e) { (void)e; }
    virtual void loop() {}
    // Whether most ticks draw this screen's frame again unchanged (menus,
    // and the screens over a map at rest): the shell then draws only the
    // frames that differ from the one on screen. Play, the editor and the
    // rewind change nearly every tick and draw every frame.
    virtual bool still() const { return true; }
    virtual ~State() {}
};

// A screen of the game: made once with the game it shows, its widget tree
// rebuilt by each init.
class Screen : public State {
public:
    Game& game;
    Container gui;
    explicit Screen(Game& g) : game(g) {}
    // Unless a screen draws its own frame: the map, the widgets over it.
    void paint() override { paint_over_map(); }

protected:
    // The play copy's map through its camera; leaves the 3D set-up on.
    void paint_map();
    // The widget tree laid out and painted over whatever is drawn, in 2D.
    void paint_widgets();
    // The frame of the screens over a map: the map, the widgets over it,
    // and the 3D set-up left on for picking.
    void paint_over_map();
    // The frame of the menus: the dimmed backdrop (with a list's card on it
    // when card, a canvas rectangle, is given), the widgets over it.
    void paint_over_backdrop(const MyRect* card = nullptr);
};
