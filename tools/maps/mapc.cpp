// Builds a map database (the shipped tutorials, the service's featured maps)
// from map sources, each rated for difficulty by replaying its solution.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base64.h"
#include "logic.h"
#include "mapdiff.h"
#include "mapsource.h"

namespace {

// A game for the rules alone, with the tile catalogue.
std::unique_ptr<Game> _rules_game() {
    std::unique_ptr<Game> game(new Game());
    // The loader tells every tile it reads; a build step has no use for that.
    fflush(stderr);
    int saved = dup(STDERR_FILENO), quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) dup2(quiet, STDERR_FILENO);
    game_tiles_load(*game, VELQUIST_TILES_JSON);
    fflush(stderr);
    if (saved >= 0) dup2(saved, STDERR_FILENO);
    if (quiet >= 0) close(quiet);
    if (saved >= 0) close(saved);
    if (game->tiles[TILE_FLOOR].type != D_FLOOR) fprintf(stderr, "mapc: no tile catalogue in %s\n", VELQUIST_TILES_JSON);
    game->_rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    return game;
}

void _free(Game& game) {
    free(game._rewind);
    game._rewind = nullptr;
}

// mapc --check FILE.map: replays the map's solution and its shortcuts and
// tells how each went.
int _check(const char* file) {
    MapSource src;
    std::string err;
    if (!mapsource_read(file, src, err)) {
        fprintf(stderr, "mapc: %s\n", err.c_str());
        return 1;
    }
    std::unique_ptr<Game> game = _rules_game();
    std::string log;
    MapFigures f;
    bool won = mapdiff_measure(src, *game, f, log);
    printf("%s%s: %s\n", log.c_str(), file, won ? "won" : "NOT WON");
    bool ok = won && game->level.c_bonus == game->level.t_bonus;
    if (won && !ok) printf("%s: %d of %d cartridges\n", file, game->level.c_bonus, game->level.t_bonus);
    for (const MapShortcut& sc : src.shortcuts) {
        std::string slog;
        bool lost = !mapsource_replay_steps(src, sc.steps, *game, slog);
        // How it ended: the death, or else the log's last line.
        size_t at = slog.find("the player died at");
        if (at == std::string::npos) at = slog.find_last_of('\n', slog.size() >= 2 ? slog.size() - 2 : 0) + 1;
        std::string how = slog.substr(at, slog.find('\n', at) - at + 1);
        printf("shortcut '%s': %s, %s", sc.why.c_str(), lost ? "lost" : "WON", how.c_str());
        ok = ok && lost;
    }
    printf("%s%s", mapdiff_header().c_str(), mapdiff_row(src, f).c_str());
    _free(*game);
    return ok ? 0 : 1;
}

// The replay (Base64) of the map's solution, recorded as the rules play it;
// "" when the solution does not win the map cleanly (the service then
// refuses the map, and the tests say why).
static std::string _replay(const MapSource& src, Game& game) {
    LogicReplay recording;
    game.replay = &recording;
    std::string log, bytes;
    bool won = mapsource_replay(src, game, log);
    bool recorded = logic_replay_finish(game, bytes);
    game.replay = nullptr;
    const LevelData& end = game.level;
    if (!won || !recorded || end.t_rewind != 0 || end.c_bonus != end.t_bonus) {
        fprintf(stderr, "mapc: %s: its solution does not win it cleanly, so it has no replay\n", src.file.c_str());
        return std::string();
    }
    return base64_encode(bytes);
}

// mapc --figures FOLDER...: the difficulty figures of every map, as a table.
int _figures(int argc, char** argv) {
    std::unique_ptr<Game> game = _rules_game();
    printf("%s", mapdiff_header().c_str());
    int failed = 0;
    for (int i = 2; i < argc; i++) {
        std::vector<MapSource> sources;
        std::string err;
        if (!mapsource_read_dir(argv[i], sources, err)) {
            fprintf(stderr, "mapc: %s\n", err.c_str());
            return 1;
        }
        for (const MapSource& src : sources) {
            MapFigures f;
            std::string log;
            failed += !mapdiff_measure(src, *game, f, log);
            printf("%s", mapdiff_row(src, f).c_str());
        }
    }
    _free(*game);
    return failed ? 1 : 0;
}

// mapc OUT.db FOLDER: every map of the folder into a new database.
int _build(const char* out, const char* dir) {
    std::vector<MapSource> sources;
    std::string err;
    if (!mapsource_read_dir(dir, sources, err)) {
        fprintf(stderr, "mapc: %s\n", err.c_str());
        return 1;
    }
    std::string tmp = std::string(out) + ".new";
    remove(tmp.c_str());
    std::unique_ptr<Game> game = _rules_game();
    game_db_open(*game, game->userdb, tmp.c_str());
    for (const MapSource& src : sources) {
        MapFigures f;
        std::string log;
        // A map its solution does not win is still built (its tests tell
        // what is wrong); it is just not rated.
        float skulls = mapdiff_measure(src, *game, f, log) ? mapdiff_skulls(f) : 0.0f;
        if (skulls == 0) fprintf(stderr, "mapc: %s is not won by its solution; not rated\n", src.file.c_str());
        std::string replay = _replay(src, *game);
        mapsource_apply(src, *game);
        game->level.skulls = game->_edit.skulls = skulls;
        logic_save(*game, game->userdb);
        game->userdb.query("update levels set skulls = ? where id = ?",
                           {std::to_string(skulls), std::string(game->level.id)});
        if (!replay.empty()) game_replay_store(game->userdb, game->_edit.id, replay);
        if (game->userdb.error) {
            fprintf(stderr, "mapc: %s could not be stored\n", src.file.c_str());
            return 1;
        }
    }
    game->userdb.close();
    _free(*game);
    // The finished database replaces the old one at once.
    if (rename(tmp.c_str(), out) != 0) {
        perror("mapc");
        return 1;
    }
    printf("mapc: %zu maps into %s\n", sources.size(), out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 3 && mode == "--check") return _check(argv[2]);
    if (argc >= 3 && mode == "--figures") return _figures(argc, argv);
    if (argc != 3 || mode.compare(0, 2, "--") == 0) {
        fprintf(stderr, "usage: mapc OUT.db MAP_FOLDER | mapc --check FILE.map | mapc --figures MAP_FOLDER...\n");
        return 2;
    }
    return _build(argv[1], argv[2]);
}
