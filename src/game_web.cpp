// The online service: requests are not sent until the online client lands.
#include "game_web.h"

WebRequest w_track, w_share, w_download, w_plays, w_valid;

std::string game_core_request(Game& game, const char* request, const char* action) {
    (void)game;
    (void)action;
    return request;
}

bool game_web_error(Game& game, WebRequest& request) {
    (void)game;
    return request.has_error();
}

void game_handle_download(Game& game) { (void)game; }

void game_web_poll(Game& game) {
    if (w_track.poll()) w_track.close();
    if (w_share.poll()) {
        game_web_error(game, w_share);
        w_share.close();
    }
    if (w_download.poll()) {
        if (!game_web_error(game, w_download)) game_handle_download(game);
        w_download.close();
    }
    if (w_plays.poll()) w_plays.close();
    if (w_valid.poll()) {
        game_web_error(game, w_valid);
        w_valid.close();
    }
}

void game_web_close_all() {
    w_track.close();
    w_share.close();
    w_download.close();
    w_plays.close();
    w_valid.close();
}

void Game::valid() {}
void Game::plays(int stars, int skulls) { (void)stars; (void)skulls; }
void Game::download() {}
void Game::share(int target) { (void)target; }
void Game::track(const char* page, const char* category, const char* action, int value) {
    (void)page; (void)category; (void)action; (void)value;
}
void Game::open_url(const char* url) { (void)url; }
