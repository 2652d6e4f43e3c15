// Recording replays in the tests as the play screen records them: set-up,
// then input and ticks, with the recorder's hooks where the screen has them.
#pragma once

#include <functional>
#include <string>

#include "base64.h"
#include "logic.h"
#include "logic_world.h"

// The play screen's tick: flags, the recorder, the rules.
inline void recorded_tick(Game& g, int n = 1) {
    for (int i = 0; i < n && g.state == STATE_LEVEL; i++) {
        logic_info(g);
        logic_replay_tick(g);
        logic_loop(g);
    }
}

// Plays `map` from its set-up as the play screen does, with `input` driving
// it (it calls the rules and recorded_tick), then ticks on until the play
// ends or `ticks_max` pass. Returns the encoded replay ("" when none was
// finished); the Game keeps the final play copy.
inline std::string record_play(Game& g, const LevelData& map, const std::function<void(Game&)>& input,
                               int ticks_max = 30 * TICKS_PER_SECOND) {
    LogicReplay rec;
    g.replay = &rec;
    g.state = STATE_LEVEL;
    g.level = map;
    g._edit = map;
    logic_replay_begin(g);
    logic_init(g, 1);
    g.level.is_init = 1;
    if (input) input(g);
    for (int t = 0; t < ticks_max && g.state == STATE_LEVEL; t++) recorded_tick(g);
    std::string bytes;
    bool done = logic_replay_finish(g, bytes);
    g.replay = nullptr;
    return done ? bytes : std::string();
}

// Base64 of the replay of a map whose player starts beside a window with no
// pillar left to blow up: it wins without any input.
inline std::string idle_win_replay(const LevelData& map) {
    World w;
    return base64_encode(record_play(w.g(), map, nullptr));
}
