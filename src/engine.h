// The screen interface: every screen of the game implements State.
#pragma once

#include "event.h"

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
