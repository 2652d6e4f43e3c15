// Where the watch stands: the watch screen's own record, read by its tests.
#pragma once

#include "watch.h"

// Where the watch stands, for the screen's tests.
enum { WATCH_LOADING = 0, WATCH_PLAYING, WATCH_DONE };
struct WatchProgress {
    int phase = WATCH_LOADING;
    int tick = 0;       // ticks of the replay played
    int ticks = 0;      // ticks it holds
    int ended = 0;      // the screen the rules left play for (STATE_LEVEL_WIN for a win)
    bool paused = false;
    int speed = 1;      // ticks of the replay per frame
};
const WatchProgress& watch_progress();
