// The pause menu over the frozen map: resume, restart, rewind or quit; after
// a death it says what killed the player.
#include <cstring>
#include <string>

#include "font.h"
#include "level.h"
#include "logic.h"
#include "menu.h"
#include "myview.h"
#include "widgets.h"

enum { PAUSE_NONE = 0, PAUSE_RESUME = 1, PAUSE_RESTART = 2, PAUSE_REWIND = 3, PAUSE_QUIT = 4 };
enum { PAUSE_CAUSE_COLOR = 0xFF7766 };

const char* pause_death_text(int cause) {
    switch (cause) {
    case DEATH_SHOT: return "Seen and shot by a guard";
    case DEATH_BLAST: return "Caught in a blast";
    case DEATH_FIRE: return "Burned by a mini bomb's fire";
    case DEATH_FELL: return "Fell where there is no floor";
    case DEATH_SOLID: return "Crushed inside a wall";
    default: return "You died";  // a resumed run whose rewind.dat was missing or damaged
    }
}

// A dead player cannot resume, only rewind, restart or leave.
static bool _pause_dead(Game& game) {
    Entity* p = logic_find(game, D_PLAYER);
    return p && p->state == D_DEAD;
}

void Pause::init() {
    gui = Container();
    LevelData& lev = game.level;
    int f2 = font_load("font2");
    Table* t = new Table();
    t->tr();
    t->td(new Box(new Label(Font(f2), std::string(lev.title, strnlen(lev.title, sizeof(lev.title))).c_str())));
    bool dead = _pause_dead(game);
    if (dead) {
        Label* cause = new Label(Font(font_load("font1")), pause_death_text(game.death_cause));
        cause->name = "cause";
        cause->style.color = PAUSE_CAUSE_COLOR;
        t->tr();
        t->td(new Box(cause));
    }
    t->tr();
    t->td(new Label(Font(f2), ""));
    const struct {
        const char* text;
        int code;
    } buttons[] = {{"Resume", PAUSE_RESUME}, {"Restart", PAUSE_RESTART}, {"Rewind", PAUSE_REWIND}, {"Quit", PAUSE_QUIT}};
    for (const auto& b : buttons) {
        if (b.code == PAUSE_RESUME && dead) continue;
        t->tr();
        t->td(w_menu_button(b.text, b.code, 0));
    }
    Box* page = new Box(w_text_panel(t));
    page->style.width = CANVAS_W;
    page->style.height = CANVAS_H;
    gui.add(page, 0, 0);
}

void Pause::loop() { gui.loop(); }

void Pause::paint() {
    game.gfx_3d();
    myview_paint(game);
    game.gfx_2d();
    gui.resize();
    gui.paint();
    game.gfx_3d();
}

void Pause::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = _pause_dead(game) ? PAUSE_QUIT : PAUSE_RESUME;
    if (e.type == EVT_KEYDOWN && e.v == KEY_F1) {
        menu_help_open(game, STATE_PAUSE);
        return;
    }
    LevelData& lev = game.level;
    std::string name(lev.name, strnlen(lev.name, sizeof(lev.name)));
    int seconds = lev.timer / TICKS_PER_SECOND;
    switch (r) {
    case PAUSE_RESUME:
        game.next(STATE_LEVEL);
        break;
    case PAUSE_RESTART:
        game.track("level", name.c_str(), "restart", seconds);
        // The map as designed; the play screen sets it up afresh.
        lev = game._edit;
        lev.is_init = 0;
        game.next(STATE_LEVEL);
        break;
    case PAUSE_REWIND:
        game.track("level", name.c_str(), "rewind", seconds);
        game.next(STATE_REWIND);
        break;
    case PAUSE_QUIT:
        game.track("level", name.c_str(), "quit", seconds);
        game.next(game.parent);
        break;
    default:
        break;
    }
}
