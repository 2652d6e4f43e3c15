// Builds a map database (the shipped tutorial maps) from map sources.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "logic.h"
#include "mapsource.h"

// mapc --check FILE.map: replays the map's solution with the rules and tells how it went.
static int _check(const char* file) {
    MapSource src;
    std::string err;
    if (!mapsource_read(file, src, err)) {
        fprintf(stderr, "mapc: %s\n", err.c_str());
        return 1;
    }
    std::unique_ptr<Game> game(new Game());
    if (!game_tiles_load(*game, VELQUIST_TILES_JSON)) return 1;
    game->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    std::string log;
    bool won = mapsource_replay(src, *game, log);
    printf("%s%s: %s\n", log.c_str(), file, won ? "won" : "NOT WON");
    return won ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--check") return _check(argv[2]);
    if (argc != 3) {
        fprintf(stderr, "usage: mapc OUT.db MAP_FOLDER | mapc --check FILE.map\n");
        return 2;
    }
    std::vector<MapSource> sources;
    std::string err;
    if (!mapsource_read_dir(argv[2], sources, err)) {
        fprintf(stderr, "mapc: %s\n", err.c_str());
        return 1;
    }
    std::string tmp = std::string(argv[1]) + ".new";
    remove(tmp.c_str());
    std::unique_ptr<Game> game(new Game());
    game_db_open(*game, game->userdb, tmp.c_str());
    for (const MapSource& src : sources) {
        mapsource_apply(src, *game);
        logic_save(*game, game->userdb);
        if (game->userdb.error) {
            fprintf(stderr, "mapc: %s could not be stored\n", src.file.c_str());
            return 1;
        }
    }
    game->userdb.close();
    // The finished database replaces the old one at once.
    if (rename(tmp.c_str(), argv[1]) != 0) {
        perror("mapc");
        return 1;
    }
    printf("mapc: %zu maps into %s\n", sources.size(), argv[1]);
    return 0;
}
