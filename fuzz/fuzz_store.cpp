// Fuzz target: arbitrary bytes as the stored map of a `levels` row, loaded
// with logic_load, set up and played for 300 ticks of the rules.
//
// Input: [mode][bytes]. Mode byte even: the bytes are the `data` column as
// they stand (mostly corrupt zlib). Mode byte odd: the bytes are compressed
// first, so that they reach the rules as a record of any content.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "logic.h"

namespace {

const int TICKS = 300;
const size_t RECORD_SIZE = sizeof(LevelData);

struct World {
    std::unique_ptr<Game> game{new Game()};
    GameHostHeadless host;
    World() {
        game->host = &host;
        game_tiles_load(*game, VELQUIST_TILES_JSON);
        game->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
        game->userdb.open(":memory:");
        game->userdb.query(logic_levels_create().c_str());
        if (game->tiles[TILE_FLOOR].type != D_FLOOR) {
            fprintf(stderr, "fuzz_store: no tile catalogue at %s\n", VELQUIST_TILES_JSON);
            abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    if (size < 1) return 0;
    Game& game = *world.game;
    std::string column((const char*)data + 1, size - 1);
    if (data[0] & 1) {
        // Pad or cut to one record so that every byte lands somewhere in it.
        column.resize(RECORD_SIZE, '\0');
        std::unique_ptr<LevelData> lev{new LevelData()};
        memcpy(lev.get(), column.data(), RECORD_SIZE);
        std::string packed(LOGIC_DATA_MAX, '\0');
        packed.resize(logic_record_pack(*lev, (unsigned char*)&packed[0], packed.size()));
        column = packed;
    }
    game.userdb.query("delete from levels");
    game.userdb.query("insert into levels (id, name, data, title, stars) values ('f', 'fuzz', ?, 'Fuzz', 'nan')",
                      {column});
    logic_load(game, game.userdb, "f");
    logic_rewind_reset(game);
    game.state = STATE_LEVEL;
    game.level.is_init = 1;
    // Walk somewhere and use every bomb, so that paths, blasts and alarms run.
    logic_click(game, data[0] % MAP_SIZE, (size > 1 ? data[1] : 0) % MAP_SIZE);
    for (int t = 0; t < TICKS && game.state == STATE_LEVEL; t++) {
        if (t % 50 == 10) logic_bomb(game, D_BOMB1 + (t / 50) % 4);
        if (t % 70 == 20) logic_player_walk(game, (t / 70) % 3 - 1, (t / 35) % 3 - 1);
        logic_info(game);
        logic_loop(game);
    }
    return 0;
}
