// C functions for hosts that drive the game themselves instead of main().
#include "driver.h"
#include "game.h"

Game* _game = nullptr;
int retina = 0;

enum { EMBED_DEFAULT_SIZE = 512, RETINA_WIDTH = 640, EMBED_ORIENT = 90 };

extern "C" {

void game_init() {
    if (_game) return;
    _game = new Game();
    _game->init();
    game_resize(EMBED_DEFAULT_SIZE, EMBED_DEFAULT_SIZE);
}

void game_event(Event e) {
    if (!_game) return;
    if (retina) {
        e.x *= 2;
        e.y *= 2;
        e.dx *= 2;
        e.dy *= 2;
    }
    _game->event(e);
}

void game_loop() {
    if (_game) _game->loop();
}

void game_paint() {
    if (_game) _game->paint();
}

void game_resize(int w, int h) {
    retina = (w == RETINA_WIDTH);
    driver_set_size(w, h);
    driver_set_orient(EMBED_ORIENT);
    driver_set_aspect(h ? (float)w / (float)h : 1.0f);
}

void game_deinit() {
    if (!_game) return;
    _game->deinit();
    delete _game;
    _game = nullptr;
}
}
