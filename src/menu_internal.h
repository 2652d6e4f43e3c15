// What the menu files share among themselves: the list state, layout
// helpers, the look's measures, the pages kept between visits. Only the
// menu files (and tests that need to look inside) include it.
#pragma once

#include <string>

#include "menu.h"

// ---- shared list state (menu.cpp): the rows of the last map query
extern MyResult _menu_levs;
extern int _menu_cur;
extern int _menu_total;

// (Re)builds the detail panel of row _menu_cur, loading its map; false when
// the stored map does not unpack (the panel then says it is damaged).
bool menu_show_lev(Game& game, Container& gui);
void _menu_delete(Game& game, Container& gui);
// Puts button at (x, y) under the given name, replacing the widget of that
// name; a null button only removes it. A negative x or y counts from the
// right or bottom edge of the canvas.
void menu_place(Container& gui, const char* name, Widget* button, int x, int y);

// ---- helpers shared by the menu files (menu.cpp)
// A label in the named font.
Label* menu_label(const char* font, const char* text);
// Steps w's style and lays it out, so that its outer box is known before it
// is placed.
void menu_measure(Widget* w);
// How far the list (named "list") of a screen's tree is scrolled; 0 when it
// has none. Read before the tree is rebuilt, for menu_list.
int menu_list_scroll(Container& gui);
// A list's entries (each clicked as MENU_ROW + its row) in a scroll box of
// w x h with its bar, named "list": scrolled as before (`scroll`), with the
// selected row (_menu_cur) brought into view.
ScrollBox2* menu_list(Table* entries, int w, int h, int scroll);
// Value of a column of a list row; "" when the row lacks it.
std::string menu_column(const MyRow& row, const char* name);
// text as it fits in width pixels of the named font: cut, with "..." at its
// end, when it is wider.
std::string menu_fit(const char* font, const std::string& text, int width);

// ---- the menus' look (menu_look.cpp)
// Panels of the menus let a little of the backdrop through.
enum { MENU_PANEL_ALPHA = 225 };
// Where the map lists (build and online) show the selected map: its card,
// and under it the panel of its texts.
enum {
    MENU_CARD_X = 374, MENU_CARD_Y = 122, MENU_CARD_W = 572, MENU_CARD_H = 268,
    MENU_INFO_X = 372, MENU_INFO_Y = 400, MENU_INFO_W = 576, MENU_INFO_H = 200,
};
// Turns the play copy's camera to play's angle and frames the map in the card.
void menu_card_frame(Game& game, const MyRect& card);

// ---- tutorial progress (menu.cpp)
// Whether every tutorial has a recorded win.
bool menu_tutorial_complete(Game& game);

// ---- help (menu_help.cpp)
enum { MENU_HELP_PAGES = 7 };
extern int _menu_help_page;

// ---- the online browser (menu_download.cpp)
struct MenuCat {
    int n;
    std::string value;  // the download query
    std::string title;  // label and list heading
};
// The categories of the online browser, in the order shown.
extern const MenuCat _menu_cats[];
extern const int _menu_cats_n;
// The best proven scores of the map in game._edit and the player's own rank,
// as far as they are known, as a column named "standings".
enum { MENU_STANDINGS_W = 210, MENU_STANDINGS_GAP = 16 };
Widget* menu_standings(Game& game);

// ---- settings, error and credits (menu_settings.cpp)
// The settings page shown: 0 sound, 1 account, 2 video.
enum { MENU_SETTINGS_SOUND = 0, MENU_SETTINGS_ACCOUNT = 1, MENU_SETTINGS_VIDEO = 2, MENU_SETTINGS_PAGES = 3 };
extern int _MenuSettings_page;
void menu_settings_sync(Game& game, Container& gui);
void menu_error_form_sync(Game& game, Container& gui);
// Fills the resolution picker: "Auto", the fixed sizes, then the platform's
// full-screen modes (n of them in ws/hs; -1 = any size) that are large enough
// and not offered yet, up to MENU_VRES_ITEMS_MAX items.
enum { MENU_VRES_ITEMS_MAX = 25 };
void menu_settings_vres_fill(GridPicker& picker, const int* ws, const int* hs, int n);
// The credits: lines ending with a null entry.
extern const char* const menu_credits_text[];
// Why the error screen asks a guest to sign in (a list that needs an
// account, a share the service refused); shown above the form until the
// screen is left.
extern std::string _menu_error_why;
