// The main menu, the tutorial list and the build list with its map detail
// panel and delete dialog; the list state and helpers shared with the other
// menu screens.
//
// Sections: shared state and helpers, detail panel and delete dialog, main
// menu, tutorial list, build list.

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "edit.h"
#include "game_web.h"
#include "gfx.h"
#include "logic.h"
#include "menu_internal.h"
#include "myview.h"
#include "util.h"
#include "watch.h"
#include "web.h"

namespace {
// Layout of the menu screens on the 960 x 720 canvas.
enum {
    BUTTON_W = 240, BUTTON_H = 60,          // the standard small button
    MAIN_BUTTON_W = 320, MAIN_TABLE = 720,  // main menu buttons and their table
    EDGE = 10,                              // margin of the logo and the footer
    HEADING_X = 240, HEADING_W = 480, HEADING_H = 100,
    NEW_X = 720, EDIT_X = 480, PLAY_X = 720,
    LIST_X = 0, LIST_Y = 120, LIST_W = 320, LIST_H = 480,
    ENTRY_PADDING = 10, ENTRY_MARGIN = 2,
    INFO_TEXT_W = MENU_INFO_W - 2 * (W_PANEL_ROOM_H + W_PANEL_RIM),  // texts on the panel under a card
    AUTHOR_X = 240, AUTHOR_W = 480, AUTHOR_BUTTON_H = 98,
    DIALOG_W = 480,
    ENTRY_TEXT_W = LIST_W - 2 * (ENTRY_PADDING + ENTRY_MARGIN),  // a title in a list entry
    STRIP_Y = 66, TAB_W = 60, TAB_H = 52, TAB_MARGIN = 3, TAB_FRAME = 3,  // the tutorials' tabs
    TUTORIAL_CARD_X = 22, TUTORIAL_CARD_Y = 142, TUTORIAL_CARD_W = 566, TUTORIAL_CARD_H = 496,
    TUTORIAL_INFO_X = 600, TUTORIAL_INFO_W = 346,
    NOTE_W = 480,                           // notes under the build list's heading
};
// Colours.
enum {
    ENTRY_BG = 0x111111, ENTRY_HOVER = 0x222222, ENTRY_PRESSED = 0x333333,
    INTRO_COLOR = 0xCCCCCC, LIST_BG = 0x000000,
    TEXT_VEIL_ALPHA = 205,                  // texts over a map: a fifth of it shows through
    DONE_COLOR = 0x77DD77,    // a finished tutorial, the tutorial complete
    UNDONE_COLOR = 0x999999,
    WARN_COLOR = 0xFF8866,    // damage and files that cannot be written
    DONE_BG = 0x1E4A1E, DONE_HOVER = 0x2A622A,  // a finished tutorial's number
    WON_COLOR = 0xB8F5B8,     // "won" on a finished tutorial's tab
};

const char* const FOOTER_TEXT = "Velquist 1.0.3  -  Credits";
const char* const ELLIPSIS = "...";
}  // namespace

// Set when the last tutorial has just been won, until the main menu is left.
static bool _menu_tutorial_done = false;

// ---------------------------------------------------------------- shared state and helpers

MyResult _menu_levs;
int _menu_cur = 0;
int _menu_total = 0;

Label* menu_label(const char* font, const char* text) {
    return new Label(Font(font_load(font)), text);
}

void menu_measure(Widget* w) {
    w->style.loop();
    w->layout();
}

// Whether dates are written as the player's locale says: not under the C
// locale (no locale chosen), whose dates keep the game's own form.
static bool _menu_date_localized() {
    const char* loc = setlocale(LC_TIME, nullptr);
    return loc && strcmp(loc, "C") != 0 && strcmp(loc, "POSIX") != 0 && strncmp(loc, "C.", 2) != 0;
}

std::string menu_date(const char* ts) {
    time_t t = (time_t)strtoll(ts ? ts : "", nullptr, 10);
    struct tm tm;
    if (!localtime_r(&t, &tm)) return "";
    char buf[48];
    if (_menu_date_localized() && strftime(buf, sizeof(buf), "%x", &tm) > 0) return buf;
    snprintf(buf, sizeof(buf), "%d/%d/%d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
    return buf;
}

int menu_list_scroll(Container& gui) {
    ScrollBox2* list = dynamic_cast<ScrollBox2*>(gui.find("list"));
    return list ? list->box->view.y : 0;
}

ScrollBox2* menu_list(Table* entries, int w, int h, int scroll) {
    ScrollBox* box = new ScrollBox(entries, w, h);
    ScrollBox2* list = new ScrollBox2(box);
    list->name = "list";
    menu_measure(list);  // where each entry lies
    box->view.y = scroll;
    for (Widget* e : entries->widgets) {
        if (e->onclick != MENU_ROW + _menu_cur) continue;
        const MyRect& r = e->outer_box();
        if (r.y < box->view.y) box->view.y = r.y;
        if (r.y + r.h > box->view.y + h) box->view.y = r.y + r.h - h;
    }
    box->clamp_view();
    return list;
}

std::string menu_column(const MyRow& row, const char* name) {
    MyRow::const_iterator it = row.find(name);
    return it == row.end() ? std::string() : it->second;
}

std::string menu_fit(const char* font, const std::string& text, int width) {
    Font f(font_load(font));
    if (f.get_width(text.c_str()) <= width) return text;
    std::string cut = text;
    while (!cut.empty() && f.get_width((cut + ELLIPSIS).c_str()) > width) cut.pop_back();
    // Never end on a space before the dots.
    while (!cut.empty() && cut.back() == ' ') cut.pop_back();
    return cut + ELLIPSIS;
}

// Adds w with its corner at (x, y); a negative coordinate counts from the
// right or bottom edge of the canvas.
static void _menu_add_at(Container& gui, Widget* w, int x, int y) {
    menu_measure(w);
    if (x < 0) x = CANVAS_W - w->outer_box().w;
    if (y < 0) y = CANVAS_H - w->outer_box().h;
    gui.add(w, x, y);
}

void menu_place(Container& gui, const char* name, Widget* button, int x, int y) {
    if (Widget* old = gui.find(name)) old->parent->remove(old);
    if (!button) return;
    button->name = name;
    _menu_add_at(gui, button, x, y);
}

// The selected row brought into range; false when there are no rows.
static bool _menu_wrap_cur() {
    _menu_total = (int)_menu_levs.size();
    if (_menu_total <= 0) return false;
    _menu_cur %= _menu_total;
    if (_menu_cur < 0) _menu_cur += _menu_total;
    return true;
}

// A message centred on the screen (the empty-list screens): a first line in
// "font2", the others in "font1", then an optional button.
static void _menu_empty_message(Container& gui, const std::vector<std::string>& lines, int color = 0,
                                Widget* button = nullptr) {
    Table* t = new Table();
    for (size_t i = 0; i < lines.size(); i++) {
        Label* l = menu_label(i ? "font1" : "font2", lines[i].c_str());
        if (color) l->style.color = color;
        t->tr();
        t->td(new Box(l));
    }
    if (button) {
        t->tr();
        t->td(menu_label("font1", ""));
        t->tr();
        t->td(button);
    }
    Box* b = new Box(t);
    b->name = "message";
    b->style.width = CANVAS_W;
    menu_measure(b);
    gui.add(b, 0, (CANVAS_H - b->outer_box().h) / 2);
}

// Starts play of the loaded map, returning to the current screen afterwards.
static void _menu_play(Game& game) {
    game.level = game._edit;  // drop what the spinning preview changed
    game.parent = game.state;
    game.track("level", game.level.name, "start", game.level.timer / TICKS_PER_SECOND);
    game.next(STATE_LEVEL);
}

// Escape, Left and Right as the list screens' own codes.
static int _menu_list_key(const Event& e, int r) {
    if (r || e.type != EVT_KEYDOWN) return r;
    switch (e.v) {
    case KEY_ESCAPE: return MENU_BACK;
    case KEY_LEFT: return MENU_PREVIOUS;
    case KEY_RIGHT: return MENU_NEXT;
    default: return 0;
    }
}

// ---------------------------------------------------------------- detail panel and delete dialog

// The texts of a card's map on a solid panel filling r, from its top; the
// panel never takes the pointer.
static void _menu_card_texts(Container& gui, Widget* texts, const char* name, const MyRect& r) {
    Box* panel = w_panel(texts, STYLE_OPAQUE);
    panel->name = name;
    panel->style.width = r.w;
    panel->style.height = r.h;
    panel->style.clip = 1;
    panel->style.valign = ALIGN_START;
    panel->ignore = 1;
    gui.add(panel, r.x, r.y);
}

// The author buttons of the online lists: more by the author, and the
// author's favourites.
static void _menu_author_buttons(Game& game, Container& gui) {
    const char* author = game._edit.author;
    char favs[sizeof(game._edit.author) + 8];
    snprintf(favs, sizeof(favs), "%s's", author);
    const char* lines[2][2] = {{"More by", author}, {favs, "Favorites"}};
    const int codes[2] = {MENU_AUTHOR_MORE, MENU_AUTHOR_FAVORITES};
    Table* t = new Table();
    t->tr();
    for (int i = 0; i < 2; i++) {
        Table* content = new Table();
        for (const char* line : lines[i]) {
            content->tr();
            content->td(new Box(menu_label("font3", line)));
        }
        t->td(w_button(content, codes[i], BUTTON_W, AUTHOR_BUTTON_H));
    }
    Box* bts = new Box(t);
    bts->style.width = AUTHOR_W;
    menu_place(gui, "bts", bts, AUTHOR_X, -1);
}

bool menu_show_lev(Game& game, Container& gui) {
    if (Widget* old = gui.find("lev")) old->parent->remove(old);
    if (!_menu_wrap_cur()) {
        logic_new(game);
        return false;
    }
    const MyRow& row = _menu_levs[_menu_cur];
    bool own = game.state == STATE_MENU_EDIT;
    std::string id = menu_column(row, "id");
    // A map that does not unpack leaves a new, empty one in the editor's copy.
    bool ok = logic_load(game, own ? game.userdb : game.netdb, id.c_str());
    const LevelData& lev = game._edit;

    menu_card_frame(game, MyRect(MENU_CARD_X, MENU_CARD_Y, MENU_CARD_W, MENU_CARD_H));

    Table* t = new Table();
    t->style.width = INFO_TEXT_W;
    // A damaged map still shows the title its row carries.
    std::string title_text = ok ? std::string(lev.title) : menu_column(row, "title");
    Box* title = new Box(menu_label(FONT_HEADING, menu_fit(FONT_HEADING, title_text, INFO_TEXT_W).c_str()));
    title->style.align = ALIGN_START;
    std::string second = own ? menu_date(menu_column(row, "ts").c_str()) : menu_column(row, "author");
    Label* sub_l = menu_label("font1", menu_fit("font1", second, INFO_TEXT_W).c_str());
    sub_l->style.color = UI_TEXT_DIM;
    Box* sub = new Box(sub_l);
    sub->style.align = ALIGN_START;
    Label* intro = menu_label("font1", ok ? lev.intro : "This map is damaged");
    intro->style.width = INFO_TEXT_W;
    intro->style.color = ok ? INTRO_COLOR : WARN_COLOR;
    if (!ok) intro->name = "damaged";
    t->tr();
    t->td(title);
    t->tr();
    t->td(sub);
    t->tr();
    t->td(menu_label("font3", " "));
    t->tr();
    if (own || !ok) {
        t->td(new Box(intro));
    } else {
        // An online map's intro shares its row with the best proven scores.
        intro->style.width = INFO_TEXT_W - MENU_STANDINGS_W - MENU_STANDINGS_GAP;
        Table* row = new Table();
        row->tr();
        Box* left = new Box(intro);
        left->style.valign = ALIGN_START;
        row->td(left);
        Widget* gap = new Widget();
        gap->style.width = MENU_STANDINGS_GAP;
        row->td(gap);
        row->td(menu_standings(game));
        t->td(row);
    }

    // The texts on a solid panel under the map's card.
    _menu_card_texts(gui, t, "lev", MyRect(MENU_INFO_X, MENU_INFO_Y, MENU_INFO_W, MENU_INFO_H));

    if (!own && ok) _menu_author_buttons(game, gui);
    if (!own && !ok) menu_place(gui, "bts", nullptr, 0, 0);
    return ok;
}

void _menu_delete(Game& game, Container& gui) {
    (void)game;
    if (gui.find("dialog")) return;
    Table* t = new Table();
    Label* ask = menu_label("font1", "Are you sure you want to delete this map?");
    ask->style.width = DIALOG_W;
    ask->style.align = ALIGN_CENTER;
    Label* warn = menu_label("font3", "You can't undo this action.");
    warn->style.width = DIALOG_W;
    warn->style.align = ALIGN_CENTER;
    t->tr();
    t->td(ask, 2);
    t->tr();
    t->td(menu_label("font3", ""));
    t->tr();
    t->td(warn, 2);
    t->tr();
    t->td(menu_label("font3", ""));
    t->tr();
    t->td(w_button_size("Cancel", MENU_NO, BUTTON_W, BUTTON_H, 0));
    t->td(w_button_size("Delete", MENU_YES, BUTTON_W, BUTTON_H, gfx_img_load("box3")));

    w_dialog(gui, t, "dialog");
}

// ---------------------------------------------------------------- main menu

void MenuMain::init() {
    gui = Container();
    font_load("font1");
    font_load("font2");
    int box3 = gfx_img_load("box3");

    Widget* logo = new Widget();
    int img = gfx_img_load("logo");
    logo->style.img = img;
    logo->style.width = gfx_img_get_width(img);
    logo->style.height = gfx_img_get_height(img);
    logo->style.set_margin(EDGE);

    Table* t = new Table();
    t->style.width = MAIN_TABLE;
    t->style.height = MAIN_TABLE;
    t->tr();
    t->td(new Box(logo), 2);
    if (_menu_tutorial_done || menu_tutorial_complete(game)) {
        Label* done = menu_label("font1", "Tutorial complete! Press Play for the maps of other players.");
        done->name = "tutorial-done";
        done->style.color = DONE_COLOR;
        t->tr();
        t->td(new Box(done), 2);
    }
    t->tr();
    t->td(w_button_size("Tutorial", MENU_PLAY, MAIN_BUTTON_W, BUTTON_H, box3));
    t->td(w_button_size("Play", MENU_DOWNLOAD, MAIN_BUTTON_W, BUTTON_H, box3));
    t->tr();
    t->td(w_button_size("Build", MENU_EDIT, MAIN_BUTTON_W, BUTTON_H, box3));
    // Settings in the plain look of the buttons below: a lone lighter button
    // reads as the one chosen.
    t->td(w_button_size("Settings", MENU_SETTINGS, MAIN_BUTTON_W, BUTTON_H, 0));
    t->tr();
    t->td(w_button_size("Your Stats", MENU_STATS, MAIN_BUTTON_W, BUTTON_H, 0));
    t->td(w_button_size("Quit", MENU_QUIT, MAIN_BUTTON_W, BUTTON_H, 0));
    // Two links side by side: the help pages and the credits.
    Table* links = new Table();
    const struct {
        const char* text;
        int code;
    } footer[] = {{"Help (F1)", MENU_HELP}, {FOOTER_TEXT, MENU_CREDITS}};
    for (const auto& f : footer) {
        Box* link = new Box(menu_label("font1", f.text));
        link->style.set_margin(EDGE);
        link->onclick = f.code;
        links->td(link);
    }
    t->tr();
    t->td(links, 2);

    Box* root = new Box(t);
    root->style.width = CANVAS_W;
    root->style.height = CANVAS_H;
    gui.add(root, 0, 0);
    gui.resize();
}

// The word that the tutorial is done is said once right after it; later the
// player's records say it.
void MenuMain::deinit() { _menu_tutorial_done = false; }

void MenuMain::paint() { paint_over_backdrop(); }

static int _menu_tutorial_first_open(Game& game);

void MenuMain::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_F1) r = MENU_HELP;
    switch (r) {
    case MENU_PLAY:
        // Where the player stands in the tutorial: the first one not won yet.
        _menu_cur = std::max(0, _menu_tutorial_first_open(game));
        game.next(STATE_MENU_PLAY);
        break;
    case MENU_DOWNLOAD:
        mystrcpy(game.q_value, sizeof(game.q_value), "c~featured");
        mystrcpy(game.q_title, sizeof(game.q_title), "Featured");
        game.download();
        game.next(STATE_MENU_DOWNLOAD2);
        break;
    case MENU_EDIT: game.next(STATE_MENU_EDIT); break;
    case MENU_SETTINGS: game.next(STATE_MENU_SETTINGS); break;
    case MENU_STATS: {
        std::string url = game_web_url("/velquist/stats.php") + "?uid=" +
                          web_urlencode(game.settings.uid);
        game.open_url(url.c_str());
        break;
    }
    case MENU_QUIT: game.quit = 1; break;
    case MENU_CREDITS: game.next(STATE_MENU_CREDITS); break;
    case MENU_HELP: menu_help_open(game, STATE_MENU_MAIN); break;
    default: break;
    }
}

void MenuMain::loop() { gui.loop(); }

// ---------------------------------------------------------------- tutorial list

// The shipped tutorials in the order they are played: rows with id and name.
static MyResult _menu_tutorials(Game& game) {
    return game.gamedb.query("select id,name from levels where name like 't%' order by name asc", {});
}

bool menu_tutorial_won(Game& game) {
    MyResult rows = _menu_tutorials(game);
    std::string name(game.level.name, strnlen(game.level.name, sizeof(game.level.name)));
    for (size_t i = 0; i < rows.size(); i++) {
        if (menu_column(rows[i], "name") != name) continue;
        if (i + 1 < rows.size()) {
            _menu_cur = (int)i + 1;
            return false;
        }
        _menu_cur = 0;
        _menu_tutorial_done = true;
        return true;
    }
    return false;
}

// Row of the first tutorial without a recorded win; -1 when every one has
// one (or there are none).
static int _menu_tutorial_first_open(Game& game) {
    MyResult rows = _menu_tutorials(game);
    for (size_t i = 0; i < rows.size(); i++)
        if (game_db_best(game, menu_column(rows[i], "name").c_str()) <= 0) return (int)i;
    return -1;
}

bool menu_tutorial_complete(Game& game) {
    return _menu_tutorial_first_open(game) < 0 && !_menu_tutorials(game).empty();
}

// One tab per tutorial: its number large enough to read, green with "won"
// under it when it has been won; the one shown is outlined in cyan.
static void _menu_tutorial_strip(Game& game, Container& gui) {
    Table* strip = new Table();
    strip->tr();
    char num[16];
    for (int i = 0; i < _menu_total; i++) {
        bool done = game_db_best(game, menu_column(_menu_levs[i], "name").c_str()) > 0;
        Table* face = new Table();
        Label* n = menu_label(FONT_HEADING, myitoa(i + 1, num));
        n->style.color = done ? (int)STYLE_WHITE : (int)UNDONE_COLOR;
        face->tr();
        face->td(new Box(n));
        Label* mark = menu_label("font3", done ? "won" : "");
        mark->style.color = WON_COLOR;
        face->tr();
        face->td(new Box(mark));
        Box* b = new Box(face);
        b->onclick = MENU_ROW + i;
        b->style.width = TAB_W;
        b->style.height = TAB_H;
        b->style.set_margin(TAB_MARGIN);
        b->style.background = done ? DONE_BG : ENTRY_BG;
        b->style.data[STYLE_HOVER].background = done ? DONE_HOVER : ENTRY_HOVER;
        // The one shown: a cyan frame, inside the tab's own size.
        b->style.set_border(TAB_FRAME);
        b->style.border_color = i == _menu_cur ? (int)UI_CYAN : (int)(done ? DONE_BG : ENTRY_BG);
        strip->td(b);
    }
    Box* row = new Box(strip);
    row->name = "strip";
    row->style.width = CANVAS_W;
    gui.add(row, 0, STRIP_Y);
}

// "Tutorial 2 of 8" and the best score so far, under the map's title.
static std::string _menu_tutorial_status(Game& game, int* color) {
    char buf[96];
    int best = game_db_best(game, game._edit.name);
    *color = best > 0 ? DONE_COLOR : UNDONE_COLOR;
    if (best > 0) snprintf(buf, sizeof(buf), "Tutorial %d of %d: finished, best score %d", _menu_cur + 1, _menu_total, best);
    else snprintf(buf, sizeof(buf), "Tutorial %d of %d: not finished yet", _menu_cur + 1, _menu_total);
    return buf;
}

// Beside the card, on a solid panel: the map's title, how far the player
// got, and its intro.
static void _menu_tutorial_info(Game& game, Container& gui) {
    const int text_w = TUTORIAL_INFO_W - 2 * (W_PANEL_ROOM_H + W_PANEL_RIM);
    Table* info = new Table();
    info->style.width = text_w;
    Label* title = menu_label(FONT_HEADING, game._edit.title);
    title->style.width = text_w;
    int color = 0;
    Label* status = menu_label("font1", _menu_tutorial_status(game, &color).c_str());
    status->name = "status";
    status->style.color = color;
    status->style.width = text_w;
    Label* intro = menu_label("font1", game._edit.intro);
    intro->style.width = text_w;
    intro->style.color = INTRO_COLOR;
    for (Widget* w : {(Widget*)title, (Widget*)status, (Widget*)menu_label("font1", ""), (Widget*)intro}) {
        info->tr();
        info->td(w);
    }
    _menu_card_texts(gui, info, "info", MyRect(TUTORIAL_INFO_X, TUTORIAL_CARD_Y, TUTORIAL_INFO_W, TUTORIAL_CARD_H));
    // A tutorial won can be watched as it ships solved.
    if (game_db_best(game, game._edit.name) > 0 && !game_replay_find(game.gamedb, game._edit.id).empty()) {
        Box* watch = w_button_size("Watch how it was won", MENU_WATCH, TUTORIAL_INFO_W - 2 * W_PANEL_ROOM_H, BUTTON_H, 0);
        watch->name = "watch";
        gui.add(watch, TUTORIAL_INFO_X + W_PANEL_ROOM_H, TUTORIAL_CARD_Y + TUTORIAL_CARD_H - BUTTON_H - W_PANEL_ROOM_V);
    }
}

// Play in the middle of the bottom row, Next and Previous at its ends.
static void _menu_play_buttons(Container& gui) {
    Table* play = new Table();
    play->tr();
    play->td(w_button_size("Play", MENU_EDIT_PLAY, BUTTON_W, BUTTON_H, gfx_img_load("box3")));
    menu_measure(play);
    Box* bottom = new Box(play);
    bottom->style.width = CANVAS_W;
    gui.add(bottom, 0, CANVAS_H - play->outer_box().h);

    if (_menu_cur < _menu_total - 1)
        _menu_add_at(gui, w_button_size("Next", MENU_NEXT, BUTTON_W, BUTTON_H, 0), -1, -1);
    if (_menu_cur > 0)
        _menu_add_at(gui, w_button_size("Previous", MENU_PREVIOUS, BUTTON_W, BUTTON_H, 0), 0, -1);
}

void MenuPlay::init() {
    gui = Container();
    _menu_levs = _menu_tutorials(game);
    font_load("font2");
    font_load("font1");
    bool rows = _menu_wrap_cur();
    if (!rows) {
        _menu_empty_message(gui, {"No levels found."});
        logic_new(game);
    } else {
        logic_load(game, game.gamedb, menu_column(_menu_levs[_menu_cur], "id").c_str());
        menu_card_frame(game, MyRect(TUTORIAL_CARD_X, TUTORIAL_CARD_Y, TUTORIAL_CARD_W, TUTORIAL_CARD_H));
    }

    Label* heading = menu_label(FONT_TITLE, "Tutorial");
    Box* head = new Box(heading);
    head->style.width = CANVAS_W - 2 * BUTTON_W;
    head->style.height = BUTTON_H;
    gui.add(head, BUTTON_W, 0);
    _menu_add_at(gui, w_button_size("Menu", MENU_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    if (rows) {
        _menu_tutorial_strip(game, gui);
        _menu_tutorial_info(game, gui);
        _menu_play_buttons(gui);
    }
    // Laid out at once, so that the buttons answer the pointer before the first frame.
    gui.resize();
}

void MenuPlay::deinit() {}

void MenuPlay::paint() {
    const MyRect card(TUTORIAL_CARD_X, TUTORIAL_CARD_Y, TUTORIAL_CARD_W, TUTORIAL_CARD_H);
    paint_over_backdrop(_menu_levs.empty() ? nullptr : &card);
}

void MenuPlay::event(Event e) {
    int r = gui.event(&e);
    // Escape puts the question away, as its Cancel does.
    if (!r && e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE && gui.find("watch-ask")) r = MENU_NO;
    r = _menu_list_key(e, r);
    bool rows = !_menu_levs.empty();
    if (r >= MENU_ROW && r - MENU_ROW < (int)_menu_levs.size()) {
        _menu_cur = r - MENU_ROW;
        init();
        return;
    }
    switch (r) {
    case MENU_BACK: game.next(STATE_MENU_MAIN); break;
    case MENU_EDIT_PLAY:
        if (rows) _menu_play(game);
        break;
    case MENU_WATCH:
        if (gui.find("watch")) watch_confirm(gui);
        break;
    case MENU_WATCH_GO:
        if (Widget* d = gui.find("watch-ask")) d->parent->remove(d);
        watch_open(game, game_replay_find(game.gamedb, game._edit.id), STATE_MENU_PLAY);
        break;
    case MENU_NO:
        if (Widget* d = gui.find("watch-ask")) d->parent->remove(d);
        break;
    case MENU_NEXT:
        if (!rows) break;
        _menu_cur = (_menu_cur + 1) % _menu_total;
        init();
        break;
    case MENU_PREVIOUS:
        if (!rows) break;
        _menu_cur = (_menu_cur + _menu_total - 1) % _menu_total;
        init();
        break;
    default: break;
    }
}

void MenuPlay::loop() { gui.loop(); }

// ---------------------------------------------------------------- build list

// One entry of the build list: title and date, clicked as 1000 + row.
static Widget* _menu_edit_entry(const MyRow& row, int i) {
    Table* t = new Table();
    t->style.width = LIST_W;
    std::string title = menu_fit("font1", menu_column(row, "title"), ENTRY_TEXT_W);
    std::string date = menu_date(menu_column(row, "ts").c_str());
    Box* a = new Box(menu_label("font1", title.c_str()));
    a->style.align = ALIGN_START;
    Box* b = new Box(menu_label("font3", date.c_str()));
    b->style.align = ALIGN_START;
    t->tr();
    t->td(a);
    t->tr();
    t->td(b);

    Box* e = new Box(t);
    e->onclick = MENU_ROW + i;
    e->style.width = LIST_W;
    e->style.clip = 1;
    e->style.align = ALIGN_START;
    e->style.set_padding(ENTRY_PADDING);
    e->style.set_margin(ENTRY_MARGIN);
    e->style.background = ENTRY_BG;
    e->style.data[STYLE_HOVER].background = ENTRY_HOVER;
    e->style.data[STYLE_FOCUS].background = ENTRY_BG;
    e->style.data[STYLE_ACTIVE].background = ENTRY_PRESSED;
    return e;
}

// Edit and Play act on the selected map, so a map that does not unpack
// offers neither.
static void _menu_edit_buttons(Container& gui, bool ok) {
    menu_place(gui, "edit", ok ? w_button_size("Edit", MENU_EDIT, BUTTON_W, BUTTON_H, 0) : nullptr, EDIT_X, -1);
    menu_place(gui, "play", ok ? w_button_size("Play", MENU_PLAY, BUTTON_W, BUTTON_H, gfx_img_load("box3")) : nullptr,
               PLAY_X, -1);
}

// The list of the user's maps, the detail panel of the selected one and
// the buttons that act on it.
static void _menu_edit_list(Game& game, Container& gui, int scroll) {
    bool ok = menu_show_lev(game, gui);

    Table* list = new Table();
    for (int i = 0; i < _menu_total; i++) {
        list->tr();
        list->td(_menu_edit_entry(_menu_levs[i], i));
    }
    ScrollBox2* box = menu_list(list, LIST_W, LIST_H, scroll);
    box->style.background = LIST_BG;
    gui.add(box, LIST_X, LIST_Y);

    _menu_add_at(gui, w_button_size("Delete", MENU_DELETE, BUTTON_W, BUTTON_H, 0), 0, -1);
    _menu_edit_buttons(gui, ok);
}

// What the build list says about the maps file: nothing while all is well.
static std::string _menu_userdb_note(const Game& game) {
    switch (game.userdb_status) {
    case USERDB_READONLY: return "Your maps file is read-only: new maps cannot be saved.";
    default: return game.userdb_note;  // e.g. where a damaged file was kept
    }
}

// The screen for a maps file that is not usable: what is wrong, and for a
// damaged one the offer to keep it aside and start anew.
static void _menu_userdb_message(Game& game, Container& gui) {
    if (game.userdb_status == USERDB_DAMAGED) {
        _menu_empty_message(gui,
                            {"Your maps file cannot be read",
                             "user.db: " + game.userdb_note + ".",
                             "It has not been changed. You can keep it aside (under a dated name)",
                             "and start a new, empty maps file."},
                            WARN_COLOR, w_button_size("Keep it aside, start anew", MENU_FRESH, 2 * BUTTON_W, BUTTON_H, 0));
        return;
    }
    _menu_empty_message(gui,
                        {"Your maps file could not be opened",
                         "user.db " + (game.userdb_note.empty() ? std::string("cannot be used") : game.userdb_note) + ".",
                         "Maps you build cannot be saved until it can."},
                        WARN_COLOR);
}

void MenuEdit::init() {
    int scroll = menu_list_scroll(gui);
    gui = Container();
    font_load("font2");
    font_load("font1");
    font_load("font3");
    _menu_add_at(gui, w_button_size("Menu", MENU_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    _menu_add_at(gui, w_button_size("New", MENU_EDIT_NEW, BUTTON_W, BUTTON_H, 0), NEW_X, 0);
    Table* head = new Table();
    head->tr();
    head->td(menu_label("font2", "Build / Edit"));
    std::string note = _menu_userdb_note(game);
    bool usable = game.userdb_status != USERDB_DAMAGED && game.userdb_status != USERDB_CLOSED;
    if (!note.empty() && usable) {
        Label* l = menu_label("font3", note.c_str());
        l->name = "note";
        l->style.width = NOTE_W;
        l->style.align = ALIGN_CENTER;
        l->style.color = game.userdb_status == USERDB_OK ? UNDONE_COLOR : WARN_COLOR;
        head->tr();
        head->td(l);
    }
    Box* heading = new Box(head);
    heading->style.width = HEADING_W;
    heading->style.height = HEADING_H;
    gui.add(heading, HEADING_X, 0);

    if (!usable) {
        _menu_levs.clear();
        _menu_total = 0;
        _menu_userdb_message(game, gui);
        logic_new(game);
        gui.resize();
        return;
    }
    _menu_levs = game.userdb.query(
        "select id,title,author,stars,skulls,ts from levels where q is null order by ts desc", {});
    if (_menu_wrap_cur()) {
        _menu_edit_list(game, gui, scroll);
    } else {
        _menu_empty_message(gui, {"You have no maps yet", "Press New, at the top right, to build your first map."});
        logic_new(game);
    }
    gui.resize();
}

void MenuEdit::deinit() {}

void MenuEdit::paint() {
    const MyRect card(MENU_CARD_X, MENU_CARD_Y, MENU_CARD_W, MENU_CARD_H);
    paint_over_backdrop(_menu_levs.empty() ? nullptr : &card);
}

// Marks the selected map deleted; it stays in the database, hidden.
static void _menu_edit_delete_selected(Game& game) {
    if (!_menu_wrap_cur()) return;
    std::string id = menu_column(_menu_levs[_menu_cur], "id");
    game.userdb.query("update levels set q = 'deleted' where id = ?", {id});
}

void MenuEdit::event(Event e) {
    int r = gui.event(&e);
    // Escape puts an open dialog away, as its Cancel does.
    if (!r && e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE && gui.find("dialog")) r = MENU_NO;
    r = _menu_list_key(e, r);
    // Play and Edit only while the selected map unpacked (their buttons are there).
    bool rows = !_menu_levs.empty() && gui.find("play");
    if (r >= MENU_ROW) {
        if (r - MENU_ROW < (int)_menu_levs.size()) {
            _menu_cur = r - MENU_ROW;
            _menu_edit_buttons(gui, menu_show_lev(game, gui));
        }
        return;
    }
    switch (r) {
    case MENU_BACK: game.next(STATE_MENU_MAIN); break;
    case MENU_FRESH:
        game_db_user_fresh(game);
        init();
        break;
    case MENU_PLAY:
        if (rows) _menu_play(game);
        break;
    case MENU_EDIT:
        if (!rows) break;
        game.level = game._edit;
        game.next(STATE_EDIT);
        _menu_cur = 0;
        break;
    case MENU_EDIT_NEW:
        logic_new(game);
        edit_info_open(game, STATE_MENU_EDIT);
        _menu_cur = 0;
        break;
    case MENU_SHARE: game.next(STATE_EDIT_SHARE); break;
    case MENU_DELETE:
        if (!_menu_levs.empty()) _menu_delete(game, gui);
        break;
    case MENU_YES:
        _menu_edit_delete_selected(game);
        _menu_cur = 0;
        init();
        break;
    case MENU_NO:
        if (Widget* d = gui.find("dialog")) d->parent->remove(d);
        break;
    default: break;
    }
}

void MenuEdit::loop() { gui.loop(); }
