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
    virtual ~State() {}
};
