// Fuzz target: arbitrary bytes as a replay, decoded and played on a small map
// with a guard, a light, a pillar, a cartridge and a window, the way the
// service checks a share.
//
// A replay that decodes must encode back to the same bytes. Its digest is
// then set to the map's, so that the fuzzer reaches the rules with any input
// and not only the refusal of another map; replays longer than PLAY_TICKS_MAX
// are only decoded (they are long plays of the same rules, and slow).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "logic.h"

namespace {

enum { PLAY_TICKS_MAX = 3000 };

// Tile numbers of data/tiles.json.
enum { T_FLOOR = 1, T_PLAYER = 4, T_WALL = 5, T_WINDOW = 7, T_ROUTE3 = 10, T_ROUTE7 = 13, T_GUARD = 16,
       T_LIGHT = 17, T_PILLAR = 21, T_CARTRIDGE = 28 };

struct Fixture {
    std::unique_ptr<Game> game{new Game()};
    std::unique_ptr<LevelData> map{new LevelData()};
    Fixture() {
        if (!game_tiles_load(*game, VELQUIST_TILES_JSON) || game->tiles[T_WINDOW].type != D_WINDOW) {
            fprintf(stderr, "fuzz_replay: no tile catalogue at %s\n", VELQUIST_TILES_JSON);
            abort();
        }
        game->level = LevelData();
        logic_new(*game);
        LevelData& m = *map;
        m = game->level;
        static const char* const rows[] = {
            "############",
            "#@...$....X#",
            "#..........#",
            "#.G3....7..W",
            "#....L3...7#",
            "############",
        };
        static const struct { char c; int tile; } legend[] = {
            {'#', T_WALL}, {'.', T_FLOOR}, {'@', T_PLAYER}, {'$', T_CARTRIDGE}, {'X', T_PILLAR}, {'W', T_WINDOW},
            {'G', T_GUARD}, {'3', T_ROUTE3}, {'7', T_ROUTE7}, {'L', T_LIGHT}};
        for (int y = 0; y < 6; y++)
            for (int x = 0; rows[y][x]; x++)
                for (const auto& l : legend)
                    if (l.c == rows[y][x]) m.data[60 + y][58 + x] = (unsigned char)l.tile;
        for (int k = D_BOMB1; k <= D_BOMB4; k++) m.inventory[k] = 2;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    std::string bytes((const char*)data, size);
    LogicReplay r;
    if (!logic_replay_decode(bytes, r)) {
        if (logic_replay_check(*f.game, *f.map, bytes) != LOGIC_REPLAY_UNREADABLE) abort();
        return 0;
    }
    if (logic_replay_encode(r) != bytes) abort();
    if (r.ticks > PLAY_TICKS_MAX) return 0;
    logic_replay_digest(*f.map, r.digest);
    int verdict = logic_replay_check(*f.game, *f.map, logic_replay_encode(r));
    if (verdict == LOGIC_REPLAY_UNREADABLE || verdict == LOGIC_REPLAY_OTHER_MAP) abort();
    return 0;
}
