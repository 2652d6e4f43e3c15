// The online service as the game sees it: the five request slots, the
// common query, reading answers and storing downloaded lists.
#pragma once

#include <string>

#include "game.h"
#include "web.h"

extern WebRequest w_track, w_share, w_download, w_plays, w_valid;

enum {
    GAME_WEB_SLOTS = 5,
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
// Stores the finished download into net.db; a list that cannot be read
// leaves the stored one as it was.
void game_handle_download(Game& game);
// The player signed in on the error screen: a share the service refused is
// sent again when the name or password changed since, for the same map.
void game_web_signed_in(Game& game);
// Finishes the exchanges that are over, in the slot order; once a tick.
void game_web_poll(Game& game);
// Abandons every exchange in flight (at shut-down).
void game_web_close_all();
