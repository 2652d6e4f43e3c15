// The online client's request slots, one exchange each, for its own file and
// the tests that drive the exchanges themselves.
#pragma once

#include "game_web.h"
#include "web.h"

extern WebRequest w_track, w_share, w_download, w_plays, w_valid;
// The replay of an online map, the proof of a win and the standings of a map.
extern WebRequest w_replay, w_proof, w_standings;
