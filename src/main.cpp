// Entry point: one Game, driven at the driver's fixed rate until it quits.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <memory>

#include "driver.h"
#include "game.h"
#include "log.h"

static const char USAGE[] = "usage: velquist [--verbose]\n"
                            "  --verbose  also print what is loaded and measured (as VELQUIST_VERBOSE=1 does)\n";

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--verbose") == 0) {
            log_set_verbose(true);
        } else if (strcmp(argv[i], "--help") == 0) {
            fputs(USAGE, stdout);
            return 0;
        } else {
            // A launcher may pass what it likes: the game starts all the same.
            fprintf(stderr, "velquist: unknown argument '%s' ignored\n%s", argv[i], USAGE);
        }
    }
    // Dates as the player writes them; numbers stay in the C locale, which
    // the data files and the service are written in.
    setlocale(LC_TIME, "");
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
