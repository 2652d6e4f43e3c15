// The online service as the game sees it: the common query, reading
// answers, storing downloaded lists, and the replays, proofs and standings
// of won maps.
#pragma once

#include <string>
#include <vector>

#include "game.h"
#include "web.h"

enum {
    GAME_WEB_SLOTS = 8,
    GAME_WEB_IDLE_TIMEOUT = 30,  // seconds without progress before an exchange fails
    // Seconds an exchange may take in all: a service that trickles its answer
    // a byte at a time never trips the idle time-out.
    GAME_WEB_EXCHANGE_MAX = 300,
};

// Where the service is: the build-time host and port unless a test points
// the game at a service of its own.
struct GameWebService {
    std::string host;
    int port;
    float timeout;      // idle time-out, seconds
    int exchange_max;   // whole exchange, seconds
};
const GameWebService& game_web_service();
// Applies to exchanges started afterwards.
void game_web_set_service(const GameWebService& service);
// "http://host[:port]" + path, for the service's web pages.
std::string game_web_url(const char* path);

// Reports a usage event to the service (the shell host's answer to Game::track).
void game_web_track(Game& game, const char* page, const char* category, const char* action, int value);
// `request` (the script path) followed by the common query for `action`.
std::string game_core_request(Game& game, const char* request, const char* action);
// true when a finished exchange is not to be used (transport failure or a
// service error, which opens the error screen).
bool game_web_error(Game& game, WebRequest& request);
// Stores the finished download into net.db; false, leaving the stored list
// as it was, when the answer cannot be read or stored.
bool game_handle_download(Game& game);
// How many lists have been stored since the start: a list screen that saw
// another count when it was built shows a list that has been replaced.
int game_web_lists_stored();
// The player's word for the service's refusal of the last share, for the
// error screen to show a guest; taking it leaves "" behind.
std::string game_web_share_refusal();
// The player signed in on the error screen: a share the service refused is
// sent again when the name or password changed since, for the same map.
void game_web_signed_in(Game& game);
// Finishes the exchanges that are over, in the slot order; once a tick.
void game_web_poll(Game& game);
// Abandons every exchange in flight (at shut-down).
void game_web_close_all();

// ---- watching and proving wins
// Where a fetch for a screen stands.
enum { GAME_WEB_NONE = 0, GAME_WEB_WAITING, GAME_WEB_READY, GAME_WEB_FAILED };

// The replay of online map `lid` (Base64 text), fetched for the watch screen.
struct GameWebReplay {
    std::string lid;
    int status = GAME_WEB_NONE;
    std::string b64;  // when READY
    std::string why;  // when FAILED: the service's refusal, or what went wrong
};
void game_web_replay(Game& game, const std::string& lid);
const GameWebReplay& game_web_replay_fetched();

// The best proven scores of a map, as the service lists them.
struct GameWebProven {
    int rank = 0, score = 0, ticks = 0;
    std::string player;  // empty for the player's own line
};
enum { GAME_WEB_BEST_MAX = 5 };
struct GameWebStandings {
    std::string lid;
    int status = GAME_WEB_NONE;
    std::vector<GameWebProven> best;  // rank 1 first, at most GAME_WEB_BEST_MAX
    bool has_own = false;             // the account holds a proof of the map
    GameWebProven own;
    int count = 0;                    // accounts holding a proof
    int serial = 0;                   // grows whenever any of the above changes
};
// Reads the lines of a standings answer; lines it does not know, and lines
// that do not make sense, are skipped.
GameWebStandings game_web_standings_parse(const std::string& body);
// Asks for the standings of map `lid` (the answer replaces the ones kept).
void game_web_standings(Game& game, const std::string& lid);
const GameWebStandings& game_web_standings_kept();
// After a win of a map started from the online lists, with an account:
// sends the play's replay to be proven. Nothing for a guest, a win with a
// rewind, or a play not recorded from its start. The answer is a notice.
void game_web_proof(Game& game);
