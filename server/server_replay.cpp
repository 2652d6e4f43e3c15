// Checking the replays that shared and featured maps carry: each is played
// through the game's own rules on the very record it came with, and only a
// clean win of that record lets the map in.
#include "server.h"

#include <time.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "base64.h"
#include "logic.h"

static_assert(SERVER_REPLAY_B64_MAX == (LOGIC_REPLAY_BYTES_MAX + 2) / 3 * 4, "Base64 of the largest replay");

static const char DEFAULT_TILES[] = "../data/tiles.json";

static const char MSG_NO_REPLAY[] =
    "The map came without the replay of its win. Beat it again from the editor, then share it.";
static const char MSG_UNREADABLE[] = "The replay of the map's win could not be read.";
static const char MSG_OTHER_MAP[] =
    "The map differs from the one its replay won. Beat it again from the editor, then share it.";
static const char MSG_NOT_WON[] = "The replay does not win the map.";
static const char MSG_NOT_CLEAN[] =
    "The replay does not win the map cleanly: every cartridge must be collected, without rewinding.";
static const char MSG_CANNOT_CHECK[] = "The service cannot check replays at the moment. Try again later.";
static const char MSG_TOO_LONG[] = "The replay takes too long to check.";

enum { HTTP_BAD_REQUEST = 400, HTTP_UNAVAILABLE = 503, VERDICT_NO_CATALOGUE = -1 };

// CPU time one check may take: an honest half hour of play on a crowded map
// checks in well under half a second, a replay built to send the player on
// thousands of maze-long searches would take many seconds, and the checks
// take turns.
static const double CHECK_CPU_MAX_S = 2.0;

namespace {
// The rules keep scratch space of their own (the flag grid's memo, the path
// search), so replays are played one at a time, on one Game holding the
// catalogue, read when the first replay comes.
struct Checker {
    std::mutex lock;
    std::string tiles = DEFAULT_TILES;
    std::unique_ptr<Game> game;
    bool tried = false;
};

Checker& _checker() {
    static Checker c;
    return c;
}

// The checker's game with its catalogue, or null; the lock is held.
Game* _checker_game(Checker& c) {
    if (!c.tried) {
        c.tried = true;
        std::unique_ptr<Game> g(new Game());
        if (game_tiles_load(*g, c.tiles.c_str())) c.game = std::move(g);
        else fprintf(stderr, "server: no tile catalogue in %s: shares and featured maps cannot be checked\n",
                     c.tiles.c_str());
    }
    return c.game.get();
}

double _thread_cpu_seconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

bool _within_budget(void* context) { return _thread_cpu_seconds() < *(const double*)context; }

// A LOGIC_REPLAY_ verdict, or VERDICT_NO_CATALOGUE.
int _verdict(const LevelData& lev, const std::string& bytes) {
    Checker& c = _checker();
    std::lock_guard<std::mutex> hold(c.lock);
    Game* g = _checker_game(c);
    if (!g) return VERDICT_NO_CATALOGUE;
    double until = _thread_cpu_seconds() + CHECK_CPU_MAX_S;
    return logic_replay_check(*g, lev, bytes, _within_budget, &until);
}

const char* _verdict_text(int verdict) {
    switch (verdict) {
    case LOGIC_REPLAY_WON: return nullptr;
    case LOGIC_REPLAY_OTHER_MAP: return MSG_OTHER_MAP;
    case LOGIC_REPLAY_NOT_WON: return MSG_NOT_WON;
    case LOGIC_REPLAY_NOT_CLEAN: return MSG_NOT_CLEAN;
    case LOGIC_REPLAY_TOO_LONG: return MSG_TOO_LONG;
    case VERDICT_NO_CATALOGUE: return MSG_CANNOT_CHECK;
    default: return MSG_UNREADABLE;
    }
}
}  // namespace

void server_replay_set_tiles(const std::string& path) {
    Checker& c = _checker();
    std::lock_guard<std::mutex> hold(c.lock);
    c.tiles = path;
    c.tried = false;
    c.game.reset();
}

int server_replay_share(const ServerPairs& form, const LevelData& lev, std::string& why) {
    std::string text = server_param(form, "replay"), bytes;
    if (text.empty()) {
        why = MSG_NO_REPLAY;
        return HTTP_BAD_REQUEST;
    }
    if (text.size() > SERVER_REPLAY_B64_MAX || !base64_decode(text, &bytes)) {
        why = MSG_UNREADABLE;
        return HTTP_BAD_REQUEST;
    }
    int verdict = _verdict(lev, bytes);
    if (const char* refusal = _verdict_text(verdict)) {
        why = refusal;
        return verdict == VERDICT_NO_CATALOGUE ? HTTP_UNAVAILABLE : HTTP_BAD_REQUEST;
    }
    return 0;
}

bool server_replay_seed_ok(const std::string& name, const std::string& replay, const LevelData& lev) {
    std::string bytes;
    const char* why = nullptr;
    if (replay.empty()) why = "it carries no replay";
    else if (!base64_decode(replay, &bytes)) why = MSG_UNREADABLE;
    else why = _verdict_text(_verdict(lev, bytes));
    if (why) fprintf(stderr, "server: seed map '%s' is refused: %s\n", name.c_str(), why);
    return !why;
}
