// The online service as the game sees it: the five request slots, the
// common query, reading answers and storing downloaded lists.
#pragma once

#include <string>

#include "game.h"
#include "web.h"

extern WebRequest w_track, w_share, w_download, w_plays, w_valid;

// The script path with the common query for `action`.
std::string game_core_request(Game& game, const char* request, const char* action);
// true when a finished exchange is not to be used (transport failure or a
// service error, which opens the error screen).
bool game_web_error(Game& game, WebRequest& request);
void game_handle_download(Game& game);
// Finishes the exchanges that are over, in the slot order; once a tick.
void game_web_poll(Game& game);
// Abandons every exchange in flight (at shut-down).
void game_web_close_all();
