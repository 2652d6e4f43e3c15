// The pause menu over the frozen map: resume, restart, rewind or quit; after
// a death it says what killed the player.
#include <cstring>
#include <string>

#include "font.h"
#include "gfx.h"
#include "level.h"
#include "logic.h"
#include "menu.h"
#include "myview.h"
#include "widgets.h"

enum { PAUSE_NONE = 0, PAUSE_RESUME = 1, PAUSE_RESTART = 2, PAUSE_REWIND = 3, PAUSE_QUIT = 4 };
enum {
    PAUSE_CAUSE_COLOR = 0xFF7766,
    PAUSE_BUTTON_W = 240, PAUSE_BUTTON_H = 60,
    PAUSE_LOW_MARGIN = 12,  // the death panel's gap to the window's bottom
};
const float PAUSE_DEATH_EDGE = 0.5f;  // the red edge of the death, fading on the pause screen

const char* pause_death_text(int cause) {
    switch (cause) {
    case DEATH_SHOT: return "Seen by a guard";
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

// The pause menu over the middle of the map.
static void _pause_menu(Game& game, Container& gui) {
    LevelData& lev = game.level;
    Table* t = new Table();
    t->tr();
    t->td(new Box(new Label(Font(font_load(FONT_HEADING)), std::string(lev.title, strnlen(lev.title, sizeof(lev.title))).c_str())));
    t->tr();
    t->td(new Label(Font(font_load("font2")), ""));
    const struct {
        const char* text;
        int code;
    } buttons[] = {{"Resume", PAUSE_RESUME}, {"Restart", PAUSE_RESTART}, {"Rewind", PAUSE_REWIND}, {"Quit", PAUSE_QUIT}};
    for (const auto& b : buttons) {
        t->tr();
        t->td(w_menu_button(b.text, b.code, 0));
    }
    Box* page = new Box(w_text_panel(t));
    page->style.width = CANVAS_W;
    page->style.height = CANVAS_H;
    gui.add(page, 0, 0);
}

// After a death: what killed the player in large type and the way back
// first, on a panel low in the window, so that the body and whoever shot
// it stay in view above.
static void _pause_death(Game& game, Container& gui) {
    LevelData& lev = game.level;
    Table* t = new Table();
    Label* cause = new Label(Font(font_load(FONT_TITLE)), pause_death_text(game.death_cause));
    cause->name = "cause";
    cause->style.color = PAUSE_CAUSE_COLOR;
    t->tr();
    t->td(new Box(cause), 3);
    Label* title = new Label(Font(font_load("font1")), std::string(lev.title, strnlen(lev.title, sizeof(lev.title))).c_str());
    title->style.color = UI_TEXT_DIM;
    t->tr();
    t->td(new Box(title), 3);
    const struct {
        const char* text;
        int code;
        const char* image;
    } buttons[] = {{"Rewind", PAUSE_REWIND, "box3"}, {"Restart", PAUSE_RESTART, nullptr}, {"Quit", PAUSE_QUIT, nullptr}};
    t->tr();
    for (const auto& b : buttons)
        t->td(w_button_size(b.text, b.code, PAUSE_BUTTON_W, PAUSE_BUTTON_H, b.image ? gfx_img_load(b.image) : 0));
    Box* panel = new Box(w_text_panel(t));
    GfxRect view = gfx_get_view();
    panel->style.width = (int)view.w;
    panel->style.loop();
    panel->layout();
    gui.add(panel, (int)view.x, (int)(view.y + view.h) - panel->outer_box().h - PAUSE_LOW_MARGIN);
}

void Pause::init() {
    gui = Container();
    if (_pause_dead(game)) _pause_death(game, gui);
    else _pause_menu(game, gui);
}

void Pause::loop() { gui.loop(); }

void Pause::paint() {
    paint_map();
    // Beneath the widgets: the edge frames the map, not the menu.
    game.gfx_2d();
    if (_pause_dead(game)) level_paint_death_edge(PAUSE_DEATH_EDGE);
    paint_widgets();
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
