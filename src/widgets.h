// The game's own widgets, which know the map record: the camera-turning
// button (widgets.cpp), the bomb button and the rating stars (added with the
// play screens).
#pragma once

#include "game.h"
#include "gui.h"

// Turns a map's camera target by 45 degrees per press, and keeps turning
// while it is held.
class WRotate : public Widget {
public:
    LevelData* lev;
    int rotate;    // -1 or +1
    int down = 0;  // 1 while pressed

    WRotate(LevelData* lev_, int rotate_) : lev(lev_), rotate(rotate_) {}
    int event(Event* e) override;
    void loop() override;
};
