// The game's own widgets, which know the map record.
#include "widgets.h"

enum { TURN_STEP = 360 / 8 };

int WRotate::event(Event* e) {
    if (e->type == EVT_DOWN) {
        lev->trotate += (float)(rotate * TURN_STEP);
        down = 1;
    } else if (e->type == EVT_UP) {
        down = 0;
    }
    return Widget::event(e);
}

void WRotate::loop() {
    // Another step only once the view has caught up, so holding the button
    // turns the map smoothly step after step.
    if (style.state == STYLE_ACTIVE && down && (int)(lev->rotate - lev->trotate) == 0)
        lev->trotate += (float)(rotate * TURN_STEP);
}
