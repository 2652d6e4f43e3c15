// Checking the replays that shared and featured maps carry: each is played
// through the game's own rules on the very record it came with, and only a
// clean win of that record lets the map in.
#include "server.h"

#include <cstdio>
#include <cstring>
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

// CPU time a featured map's check may take at start: they are ours, and
// nobody waits for them.
static const double SEED_CPU_MAX_S = 2.0;

namespace {
// The catalogue every check plays with, read when the first check comes and
// copied into each checking thread's own Game.
struct Catalogue {
    std::mutex lock;
    std::string tiles = DEFAULT_TILES;
    std::unique_ptr<Game> game;
    bool tried = false;
};

Catalogue& _catalogue() {
    static Catalogue c;
    return c;
}

// What a check in progress asks before going on.
struct Budget {
    double start, until;
    const ServerCheckGoOn* go_on;
};

bool _within_budget(void* context) {
    const Budget& b = *(const Budget*)context;
    double now = server_thread_cpu();
    return now < b.until && (!*b.go_on || (*b.go_on)(now - b.start));
}

// A LOGIC_REPLAY_ verdict, or VERDICT_NO_CATALOGUE.
int _verdict(Game* g, const LevelData& lev, const std::string& bytes, double cpu_left, const ServerCheckGoOn& go_on) {
    if (!g) return VERDICT_NO_CATALOGUE;
    double now = server_thread_cpu();
    Budget b = {now, now + cpu_left, &go_on};
    return logic_replay_check(*g, lev, bytes, _within_budget, &b);
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
    Catalogue& c = _catalogue();
    std::lock_guard<std::mutex> hold(c.lock);
    c.tiles = path;
    c.tried = false;
    c.game.reset();
}

bool server_tiles_copy(Game& g) {
    Catalogue& c = _catalogue();
    std::lock_guard<std::mutex> hold(c.lock);
    if (!c.tried) {
        c.tried = true;
        std::unique_ptr<Game> read(new Game());
        if (game_tiles_load(*read, c.tiles.c_str())) c.game = std::move(read);
        else fprintf(stderr, "server: no tile catalogue in %s: shares and featured maps cannot be checked\n",
                     c.tiles.c_str());
    }
    if (!c.game) return false;
    memcpy(g.tiles, c.game->tiles, sizeof(g.tiles));
    return true;
}

int server_replay_bytes(const ServerPairs& form, std::string& bytes, std::string& why) {
    std::string text = server_param(form, "replay");
    if (text.empty()) {
        why = MSG_NO_REPLAY;
        return HTTP_BAD_REQUEST;
    }
    if (text.size() > SERVER_REPLAY_B64_MAX || !base64_decode(text, &bytes)) {
        why = MSG_UNREADABLE;
        return HTTP_BAD_REQUEST;
    }
    return 0;
}

ServerCheckRun server_replay_job(const LevelData& lev, const std::string& bytes) {
    std::shared_ptr<const LevelData> map = std::make_shared<const LevelData>(lev);
    return [map, bytes](Game* g, double cpu_left, const ServerCheckGoOn& go_on) {
        return _verdict(g, *map, bytes, cpu_left, go_on);
    };
}

ServerCheckRun server_proof_job(const LevelData& lev, const std::string& bytes, std::shared_ptr<ServerProofEnd> end) {
    std::shared_ptr<const LevelData> map = std::make_shared<const LevelData>(lev);
    return [map, bytes, end](Game* g, double cpu_left, const ServerCheckGoOn& go_on) {
        int verdict = _verdict(g, *map, bytes, cpu_left, go_on);
        // A proof need not be clean: the cartridges left cost it points.
        if (verdict == LOGIC_REPLAY_NOT_CLEAN) verdict = LOGIC_REPLAY_WON;
        if (verdict == LOGIC_REPLAY_WON) {
            end->score = logic_points(g->level);
            end->ticks = g->level.timer;
        }
        return verdict;
    };
}

static std::string _hex(const unsigned char* bytes, size_t n) {
    static const char HEX[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; i++) {
        out += HEX[bytes[i] >> 4];
        out += HEX[bytes[i] & 15];
    }
    return out;
}

std::string server_replay_map_digest(const std::string& bytes) {
    LogicReplay r;
    if (!logic_replay_decode(bytes, r)) return std::string();
    return _hex(r.digest, sizeof(r.digest));
}

std::string server_map_digest(const LevelData& lev) {
    unsigned char digest[LOGIC_REPLAY_DIGEST_SIZE];
    logic_replay_digest(lev, digest);  // made safe inside, as the check makes it
    return _hex(digest, sizeof(digest));
}

int server_replay_refusal(int result, std::string& why) {
    const char* refusal = _verdict_text(result);
    if (!refusal) return 0;
    why = refusal;
    return result == VERDICT_NO_CATALOGUE ? HTTP_UNAVAILABLE : HTTP_BAD_REQUEST;
}

bool server_replay_seed_ok(const std::string& name, const std::string& replay, const LevelData& lev) {
    std::string bytes;
    const char* why = nullptr;
    if (replay.empty()) {
        why = "it carries no replay";
    } else if (!base64_decode(replay, &bytes)) {
        why = MSG_UNREADABLE;
    } else {
        // The featured maps are ours: checked at start, on this thread, with
        // the time an honest half-hour play may take.
        ServerCheck c;
        c.run = server_replay_job(lev, bytes);
        c.cpu_max = SEED_CPU_MAX_S;
        server_check_run_here(c);
        why = _verdict_text(c.result);
    }
    if (why) fprintf(stderr, "server: seed map '%s' is refused: %s\n", name.c_str(), why);
    return !why;
}
