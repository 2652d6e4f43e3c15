// Fuzz target: arbitrary bytes as the stored map of a `levels` row, loaded
// with logic_load, set up and played for 300 ticks of the rules.
// fuzz-sources: src/logic.cpp src/logic_setup.cpp src/logic_path.cpp src/logic_guard.cpp src/logic_bomb.cpp src/logic_tick.cpp src/logic_sanitize.cpp src/logic_store.cpp src/game_tiles.cpp util/mydb.cpp util/util.cpp
// fuzz-libs: -I/usr/include/jsoncpp -lsqlite3 -lz -ljsoncpp
//
// Input: [mode][bytes]. Mode byte even: the bytes are the `data` column as
// they stand (mostly corrupt zlib). Mode byte odd: the bytes are compressed
// first, so that they reach the rules as a record of any content.
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "driver.h"
#include "logic.h"

// The rules reach the rest of the game only through these; here they are inert.
Game::Game() : _rewind(nullptr) { clear_record(); }
Game::~Game() { free(_rewind); }
void Game::clear_record() {
    version = state = parent = context = 0;
    memset(&level, 0, sizeof(level));
    memset(&ext, 0, sizeof(ext));
    memset(&_edit, 0, sizeof(_edit));
    memset(&settings, 0, sizeof(settings));
    memset(tiles, 0, sizeof(tiles));
    quit = _rewind_n = fs_toggle_tmp = 0;
    memset(keys, 0, sizeof(keys));
}
void Game::play_sound(const char*) {}
void Game::next(int s) { state = s; }
void Game::track(const char*, const char*, const char*, int) {}

// The tile catalogue is read from the data folder beside the folder that
// holds this binary (build-fuzz/ is a sibling of data/).
std::string driver_data_load(const char* name) {
    char exe[4096] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    std::string dir = n > 0 ? std::string(exe, (size_t)n) : std::string("./x");
    std::string path = dir.substr(0, dir.rfind('/')) + "/../data/" + name;
    std::string out;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
        fclose(f);
    }
    return out;
}

namespace {

const int TICKS = 300;
const size_t RECORD_SIZE = sizeof(LevelData);

struct World {
    std::unique_ptr<Game> game{new Game()};
    World() {
        _game_tiles_init(*game);
        game->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
        game->userdb.open(":memory:");
        game->userdb.query("create table levels (id text primary key, name text, data blob, ts int, author text,"
                           " title text, q text, uid text, stars float, skulls float, intro text, value int)");
        if (game->tiles[TILE_FLOOR].type != D_FLOOR) {
            fprintf(stderr, "fuzz_store: build me in a folder beside data/ (../data/tiles.json)\n");
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
        uLongf len = compressBound((uLong)RECORD_SIZE);
        std::string packed(len, '\0');
        compress((Bytef*)&packed[0], &len, (const Bytef*)column.data(), (uLong)RECORD_SIZE);
        packed.resize(len);
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
