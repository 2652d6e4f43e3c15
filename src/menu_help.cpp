// The help pages: the goal, the controls, the four bombs with their icons,
// guards, light and darkness, rewind and the editor's keys, one page at a
// time, reached from the main menu and the pause screen.
#include <cstdio>

#include "gfx.h"
#include "menu_internal.h"
#include "util.h"

namespace {
enum {
    BUTTON_W = 240, BUTTON_H = 60,
    ICON_SIZE = 48, ICON_MARGIN = 8,
    TEXT_W = 600,                  // a paragraph beside its icon
    ROW_MARGIN = 6,
    HEADING_COLOR = 0xFFFFFF, TEXT_COLOR = 0xDDDDDD, COUNT_COLOR = 0x999999,
    HELP_PREVIOUS = 1, HELP_NEXT = 2, HELP_BACK = 3,
};

// One paragraph of a page, with the image drawn beside it (none for "").
struct HelpItem {
    const char* icon;
    const char* text;
};

struct HelpPage {
    const char* title;
    HelpItem items[5];  // up to five; an entry without text ends the page
};

const HelpPage HELP_PAGES[MENU_HELP_PAGES] = {
    {"The Goal",
     {{"icon-pillar", "Destroy every pillar of the map with your bombs. The number at the top right "
                      "shows how much of them is gone."},
      {"icon-window", "Then step beside a window to escape: that wins the map."},
      {"icon-cartridge", "Collect the Data Cartridges on the way for a better score. A fast win and "
                         "bombs left over count too."},
      {"icon-guard", "Stay out of the guards' sight: a guard who sees you shoots."}}},
    {"Controls",
     {{"icon-player", "Click a cell to walk there by the shortest way, or hold W, A, S and D to walk."},
      {"icon-bomb1", "Keys 1 to 4 (or Z, X, C and V) and the buttons at the bottom use the bombs."},
      {"icon-arrow6", "The arrow buttons, or Left and Right, turn the view; Up and Down look from above. "
                      "Drag with the right mouse button to look around, turn the wheel to zoom."},
      {"", "Escape or the || button at the top left pauses the game. F1 shows this help."}}},
    {"Bombs",
     {{"icon-bomb1", "1  Detonator bomb: drop it, step away, press 1 again to set it off. Its blast "
                     "tears a wide crater: pillars, walls, guards and you, if you stand too close."},
      {"icon-bomb2", "2  Time bomb: goes off 10 seconds after you leave it. Press 2 again while on it "
                     "for 20 or 30 seconds."},
      {"icon-bomb3", "3  EMP bomb: once you leave it, its pulse freezes every guard for 10 seconds."},
      {"icon-bomb4", "4  Mini bomb: drop it, step away, press 4 again. Its small fire burns the walls, "
                     "crates and pillars right beside it, and anyone in it."},
      {"", "Standing on one of your bombs, its key picks it up again. Every explosion raises the "
           "alarm: guards come running to see."}}},
    {"Guards",
     {{"icon-guard", "Guards walk their rounds along the arrows on the floor and look ahead of them in "
                     "a cone, about ten cells far."},
      {"icon-route6", "Watch where they turn: their routes repeat, so you can wait for your moment."},
      {"icon-wall", "Walls, tall walls and statues hide you. Guards see through windows, past plants "
                    "and over barrels and crates."},
      {"icon-bomb3", "An EMP pulse stops them for a while; a blast or a mini bomb's fire gets rid of "
                     "them for good."}}},
    {"Light and Darkness",
     {{"icon-wall", "Walls cast a shadow on the cells below them: a guard cannot see you there."},
      {"icon-dark", "On dark floor a guard only sees the cell right in front of him."},
      {"icon-light-orange", "Lights sweep along their own routes. A lit cell is seen from twice as far, "
                            "even in a shadow."}}},
    {"Rewind",
     {{"", "When a guard catches you, or you make a mistake, open the pause menu (Escape)."},
      {"", "Rewind turns play back by up to ten seconds and lets you try again from there. Each rewind "
           "adds 20 seconds to your time."},
      {"", "Restart begins the map again from its start."},
      {"", "A map you built can only be shared once you beat it without rewinding and with every "
           "Data Cartridge."}}},
    {"The Editor",
     {{"icon-wall", "Pick a tile at the bottom and paint it with the left mouse button; drag to paint "
                    "a line. The line under the palette says what the tile does."},
      {"icon-arrow4", "The arrow buttons turn the view; the up arrow looks from above. Drag with the "
                      "right button to move, turn the wheel to zoom."},
      {"", "Ctrl+Z undoes a change, Ctrl+Shift+Z redoes it. Space starts a test play."},
      {"", "Escape or || opens the editor's menu: title and options, play, share, and Save & Quit. "
           "In Title & Options, F1 shows the map's name, music and theme."}}},
};

// The screen that help returns to.
int _menu_help_back = STATE_MENU_MAIN;

Widget* _menu_help_icon(const char* name) {
    Widget* w = new Widget();
    w->style.width = ICON_SIZE;
    w->style.height = ICON_SIZE;
    w->style.set_margin(ICON_MARGIN);
    int img = name[0] ? gfx_img_load(name) : 0;
    if (img) w->style.img = img;
    return w;
}

Table* _menu_help_build(int page) {
    const HelpPage& p = HELP_PAGES[page];
    Table* t = new Table();
    Label* title = menu_label(FONT_TITLE, p.title);
    title->name = "title";
    title->style.color = HEADING_COLOR;
    t->tr();
    t->td(new Box(title), 2);
    t->tr();
    t->td(menu_label("font2", ""), 2);
    for (const HelpItem& item : p.items) {
        if (!item.text) break;
        Label* text = menu_label("font1", item.text);
        text->style.width = TEXT_W;
        text->style.color = TEXT_COLOR;
        text->style.set_margin(ROW_MARGIN);
        t->tr();
        t->td(_menu_help_icon(item.icon));
        t->td(text);
    }
    char count[32];
    snprintf(count, sizeof(count), "%d / %d", page + 1, (int)MENU_HELP_PAGES);
    Label* n = menu_label("font3", count);
    n->style.color = COUNT_COLOR;
    t->tr();
    t->td(menu_label("font1", ""), 2);
    t->tr();
    t->td(new Box(n), 2);
    return t;
}
}  // namespace

int _menu_help_page = 0;

void menu_help_open(Game& game, int back) {
    _menu_help_back = back;
    _menu_help_page = 0;
    game.next(STATE_MENU_HELP);
}

void MenuHelp::init() {
    gui = Container();
    if (_menu_help_page < 0 || _menu_help_page >= MENU_HELP_PAGES) _menu_help_page = 0;
    // A bordered panel over the backdrop.
    Box* page = new Box(w_panel(_menu_help_build(_menu_help_page), MENU_PANEL_ALPHA));
    page->style.width = CANVAS_W;
    page->style.height = CANVAS_H;
    gui.add(page, 0, 0);
    menu_place(gui, "back", w_button_size("Back", HELP_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    if (_menu_help_page > 0)
        menu_place(gui, "previous", w_button_size("Previous", HELP_PREVIOUS, BUTTON_W, BUTTON_H, 0), 0, -1);
    if (_menu_help_page < MENU_HELP_PAGES - 1)
        menu_place(gui, "next", w_button_size("Next", HELP_NEXT, BUTTON_W, BUTTON_H, gfx_img_load("box3")), -1, -1);
    gui.resize();
}

void MenuHelp::deinit() {}

void MenuHelp::paint() { paint_over_backdrop(); }

void MenuHelp::event(Event e) {
    int r = gui.event(&e);
    if (!r && e.type == EVT_KEYDOWN) {
        if (e.v == KEY_ESCAPE || e.v == KEY_F1) r = HELP_BACK;
        if (e.v == KEY_LEFT) r = HELP_PREVIOUS;
        if (e.v == KEY_RIGHT) r = HELP_NEXT;
    }
    switch (r) {
    case HELP_BACK: {
        // A resumed run that ended on this screen knows nowhere better than the main menu.
        int back = _menu_help_back;
        _menu_help_back = STATE_MENU_MAIN;
        game.next(back >= STATE_MENU_MAIN && back < STATE_MENU_HELP ? back : STATE_MENU_MAIN);
        break;
    }
    case HELP_PREVIOUS:
        if (_menu_help_page > 0) {
            _menu_help_page--;
            init();
        }
        break;
    case HELP_NEXT:
        if (_menu_help_page < MENU_HELP_PAGES - 1) {
            _menu_help_page++;
            init();
        }
        break;
    default: break;
    }
}

void MenuHelp::loop() { gui.loop(); }
