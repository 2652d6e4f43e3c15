// Entry point: one Game, driven at the driver's fixed rate until it quits.
#include <memory>

#include "driver.h"
#include "game.h"

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    // The record is about 208 KiB; the heap keeps it off small thread stacks.
    std::unique_ptr<Game> game(new Game());
    game->init();
    while (!game->quit) {
        Event e;
        while (driver_event_poll(&e)) {
            if (e.type == EVT_QUIT) game->quit = 1;
            game->event(e);
        }
        game->loop();
        game->paint();
    }
    game->deinit();
    // Non-zero when no window could be opened (the reason is on standard error).
    return game->exit_status;
}
