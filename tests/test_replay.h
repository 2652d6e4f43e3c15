// Recording replays in the tests as the play screen records them: set-up,
// then input and ticks, with the recorder's hooks where the screen has them.
#pragma once

#include <cstring>
#include <functional>
#include <string>

#include "base64.h"
#include "logic.h"
#include "logic_world.h"
#include "util.h"

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

// A map made to cost whoever checks a replay of it: a maze of rows of wall
// with a gap at alternate ends, one corridor winding over the whole map, the
// player at its start. No window: nothing can win it.
inline LevelData hostile_maze() {
    LevelData lev;
    memset(&lev, 0, sizeof(lev));
    lev.version = 1;
    mystrcpy(lev.name, sizeof(lev.name), "maze");
    mystrcpy(lev.id, sizeof(lev.id), "1700000999");
    for (int y = 0; y < MAP_SIZE; y++)
        for (int x = 0; x < MAP_SIZE; x++) {
            bool inside = x >= MAP_MIN && x <= MAP_MAX && y >= MAP_MIN && y <= MAP_MAX;
            lev.data[y][x] = (unsigned char)(inside ? T_FLOOR : T_BORDER);
        }
    for (int k = 0, y = MAP_MIN + 1; y < MAP_MAX - 1; k++, y += 2)
        for (int x = MAP_MIN; x <= MAP_MAX; x++)
            if (x != (k % 2 ? MAP_MIN : MAP_MAX)) lev.data[y][x] = T_WALL;
    lev.data[MAP_MIN][MAP_MIN] = T_PLAYER;
    return lev;
}

// The replay of a hostile player on that maze: `clicks` clicks, one a tick,
// alternating between the far end of the corridor and the player's end. The
// far clicks go round `far_cells` cells of the last row: with one, every far
// search is the same; with many, none is the one before.
inline std::string hostile_replay(const LevelData& maze, int clicks, int far_cells) {
    LogicReplay r;
    logic_replay_digest(maze, r.digest);
    r.view[0] = r.view[1] = MAP_SIZE / 2;
    r.view[2] = 30;
    r.ticks = clicks + 1;
    for (int i = 0; i < clicks; i++) {
        LogicReplayEvent e;
        e.tick = i;
        e.kind = LOGIC_REPLAY_CLICK;
        e.a = i % 2 ? MAP_MIN + 2 : MAP_MIN + (i / 2) % far_cells;
        e.b = i % 2 ? MAP_MIN : MAP_MAX;
        r.events.push_back(e);
    }
    return logic_replay_encode(r);
}
