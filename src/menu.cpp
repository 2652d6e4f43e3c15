// The main menu, the tutorial list and the build list with its map detail
// panel and delete dialog; the list state and helpers shared with the other
// menu screens.
//
// Sections: shared state and helpers, detail panel and delete dialog, main
// menu, tutorial list, build list.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "driver.h"
#include "game_web.h"
#include "gfx.h"
#include "logic.h"
#include "menu.h"
#include "myview.h"
#include "util.h"
#include "web.h"

namespace {
// Layout of the menu screens on the 960 x 720 canvas.
enum {
    BUTTON_W = 240, BUTTON_H = 60,          // the standard small button
    MAIN_BUTTON_W = 320, MAIN_TABLE = 720,  // main menu buttons and their table
    EDGE = 10,                              // margin of the logo and the footer
    TUTORIAL_INTRO_W = 640,
    HEADING_X = 240, HEADING_W = 480, HEADING_H = 100,
    NEW_X = 720, EDIT_X = 480, PLAY_X = 720,
    LIST_X = 0, LIST_Y = 120, LIST_W = 320, LIST_H = 480,
    ENTRY_PADDING = 10, ENTRY_MARGIN = 2,
    PANEL_X = 320, PANEL_Y = 120, PANEL_W = 640, PANEL_H = 480, PANEL_ROW_H = 60,
    PANEL_INTRO_W = 480,
    AUTHOR_X = 240, AUTHOR_W = 480, AUTHOR_BUTTON_H = 98,
    DIALOG_W = 480, DIALOG_PADDING = 10, DIALOG_CORNER = 20,
    DIALOG_SHADE = 160,                     // alpha of the darkening behind the dialog
    PREVIEW_X = 335, PREVIEW_Y = 120, PREVIEW_W = 625, PREVIEW_H = 480,
};
// Colours.
enum {
    ENTRY_BG = 0x111111, ENTRY_HOVER = 0x222222, ENTRY_PRESSED = 0x333333,
    INTRO_COLOR = 0xCCCCCC, LIST_BG = 0x000000,
    TEXT_VEIL_ALPHA = 205,                  // texts over a map: a fifth of it shows through
};
// The preview turns one degree a tick at a fixed distance.
const float PREVIEW_ZOOM = 50;
const float PREVIEW_TURN = 1;
const float FULL_TURN = 360;

const char* const FOOTER_TEXT = "Velquist 1.0.3  -  Credits";
}  // namespace

// ---------------------------------------------------------------- shared state and helpers

MyResult _menu_levs;
int _menu_cur = 0;
int _menu_total = 0;

Label* menu_label(const char* font, const char* text) {
    return new Label(Font(font_load(font)), text);
}

void menu_measure(Widget* w) {
    w->style.loop();
    w->_resize();
}

std::string menu_date(const char* ts) {
    time_t t = (time_t)strtoll(ts ? ts : "", nullptr, 10);
    struct tm tm;
    if (!localtime_r(&t, &tm)) return "";
    char buf[48];
    snprintf(buf, sizeof(buf), "%d/%d/%d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
    return buf;
}

void menu_paint_preview(Game& game, const GfxRect& canvas_rect) {
    GfxRect r = gfx_rect_to_hwrect(canvas_rect);
    r.normalize();
    int ww = 0, wh = 0;
    driver_get_size(&ww, &wh);
    glViewport((GLint)r.x, (GLint)(wh - r.y - r.h), (GLsizei)r.w, (GLsizei)r.h);
    myview_paint(game);
    glViewport(0, 0, ww, wh);
}

std::string menu_column(const MyRow& row, const char* name) {
    MyRow::const_iterator it = row.find(name);
    return it == row.end() ? std::string() : it->second;
}

// The selected row brought into range; false when there are no rows.
static bool _menu_wrap_cur() {
    _menu_total = (int)_menu_levs.size();
    if (_menu_total <= 0) return false;
    _menu_cur %= _menu_total;
    if (_menu_cur < 0) _menu_cur += _menu_total;
    return true;
}

// A one-line message centred on the screen (the empty-list screens).
static void _menu_empty_message(Container& gui, const char* text) {
    Box* b = new Box(menu_label("font2", text));
    b->style.width = CANVAS_W;
    menu_measure(b);
    gui.add(b, 0, (CANVAS_H - b->_rect.h) / 2);
}

// A standard button placed with its corner at (x, y); a negative coordinate
// counts from the right or bottom edge of the canvas.
static void _menu_button_at(Container& gui, Box* button, int x, int y) {
    menu_measure(button);
    if (x < 0) x = CANVAS_W - button->_rect.w;
    if (y < 0) y = CANVAS_H - button->_rect.h;
    gui.add(button, x, y);
}

// Starts play of the loaded map, returning to the current screen afterwards.
static void _menu_play(Game& game) {
    game.level = game._edit;  // drop what the spinning preview changed
    game.parent = game.state;
    game.track("level", game.level.name, "start", game.level.timer / TICKS_PER_SECOND);
    game.next(STATE_LEVEL);
}

// Turns the preview one step; both angles move together, so the camera's
// easing sees no turn to make, and both stay below a full turn.
static void _menu_preview_loop(Game& game) {
    LevelData& lev = game.level;
    lev.zoom = lev.tzoom = PREVIEW_ZOOM;
    lev.rotate += PREVIEW_TURN;
    lev.trotate += PREVIEW_TURN;
    if (lev.rotate >= FULL_TURN && lev.trotate >= FULL_TURN) {
        lev.rotate -= FULL_TURN;
        lev.trotate -= FULL_TURN;
    }
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

// The author buttons of the online lists: more by the author, and the
// author's favourites.
static void _menu_author_buttons(Game& game, Container& gui) {
    if (Widget* old = gui.find("bts")) old->parent->remove(old);
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
    bts->name = "bts";
    bts->style.width = AUTHOR_W;
    menu_measure(bts);
    gui.add(bts, AUTHOR_X, CANVAS_H - bts->_rect.h);
}

void menu_show_lev(Game& game, Container& gui) {
    if (Widget* old = gui.find("lev")) old->parent->remove(old);
    if (!_menu_wrap_cur()) {
        logic_new(game);
        return;
    }
    const MyRow& row = _menu_levs[_menu_cur];
    bool own = game.state == STATE_MENU_EDIT;
    logic_load(game, own ? game.userdb : game.netdb, menu_column(row, "id").c_str());
    const LevelData& lev = game._edit;

    Table* t = new Table();
    t->style.width = PANEL_W;
    Box* title = new Box(menu_label("font2", lev.title));
    title->style.width = PANEL_W;
    title->style.height = PANEL_ROW_H;
    std::string second = own ? menu_date(menu_column(row, "ts").c_str()) : std::string(lev.author);
    Box* sub = new Box(menu_label("font1", second.c_str()));
    sub->style.width = PANEL_W;
    sub->style.height = PANEL_ROW_H;
    Label* intro = menu_label("font1", lev.intro);
    intro->style.width = PANEL_INTRO_W;
    intro->style.align = ALIGN_CENTER;
    intro->style.color = INTRO_COLOR;
    t->tr();
    t->td(title);
    t->tr();
    t->td(sub);
    t->tr();
    t->td(menu_label("font3", " "));
    t->tr();
    t->td(new Box(intro));
    // A dark veil behind the texts only, over the preview turning beneath.
    t->style.img = gfx_img_load("black");
    t->style.img_alpha = TEXT_VEIL_ALPHA;

    Box* panel = new Box(t);
    panel->name = "lev";
    panel->style.width = PANEL_W;
    panel->style.height = PANEL_H;
    panel->style.clip = 1;
    panel->style.valign = ALIGN_START;
    panel->ignore = 1;  // the panel never takes the pointer
    gui.add(panel, PANEL_X, PANEL_Y);

    if (!own) _menu_author_buttons(game, gui);
}

void _menu_delete(Game& game, Container& gui) {
    (void)game;
    if (gui.find("dialog")) return;
    Table* t = new Table();
    t->style.set_padding(DIALOG_PADDING);
    t->style.box_tex = gfx_img_load("box");
    t->style.box_size = DIALOG_CORNER;
    t->style.box_color = STYLE_WHITE;
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

    // Covers the whole screen, so that it takes every pointer event, and
    // dims what lies beneath.
    Box* dialog = new Box(t);
    dialog->name = "dialog";
    dialog->style.width = CANVAS_W;
    dialog->style.height = CANVAS_H;
    dialog->style.img = gfx_img_load("black");
    dialog->style.img_alpha = DIALOG_SHADE;
    gui.add(dialog, 0, 0);
}

// ---------------------------------------------------------------- main menu

void MenuMain::init() {
    gui = Container();
    font_load("font1");
    font_load("font2");
    int box1 = gfx_img_load("box1"), box3 = gfx_img_load("box3");

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
    t->tr();
    t->td(w_button_size("Tutorial", MENU_PLAY, MAIN_BUTTON_W, BUTTON_H, box3));
    t->td(w_button_size("Play", MENU_DOWNLOAD, MAIN_BUTTON_W, BUTTON_H, box3));
    t->tr();
    t->td(w_button_size("Build", MENU_EDIT, MAIN_BUTTON_W, BUTTON_H, box3));
    t->td(w_button_size("Settings", MENU_SETTINGS, MAIN_BUTTON_W, BUTTON_H, box1));
    t->tr();
    t->td(w_button_size("Your Stats", MENU_STATS, MAIN_BUTTON_W, BUTTON_H, 0));
    t->td(w_button_size("Quit", MENU_QUIT, MAIN_BUTTON_W, BUTTON_H, 0));
    Box* footer = new Box(menu_label("font1", FOOTER_TEXT));
    footer->style.set_margin(EDGE);
    footer->onclick = MENU_CREDITS;
    t->tr();
    t->td(footer, 2);

    Box* root = new Box(t);
    root->style.width = CANVAS_W;
    root->style.height = CANVAS_H;
    gui.add(root, 0, 0);
    gui.resize();
}

void MenuMain::deinit() {}

void MenuMain::paint() {
    game.gfx_2d();
    gui.resize();
    gui.paint();
}

void MenuMain::event(Event e) {
    switch (gui.event(&e)) {
    case MENU_PLAY: game.next(STATE_MENU_PLAY); break;
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
    default: break;
    }
}

void MenuMain::loop() { gui.loop(); }

// ---------------------------------------------------------------- tutorial list

// Play in the middle of the bottom row, Next and Previous at its ends.
static void _menu_play_buttons(Container& gui) {
    Table* play = new Table();
    play->tr();
    play->td(w_button_size("Play", MENU_EDIT_PLAY, BUTTON_W, BUTTON_H, gfx_img_load("box3")));
    menu_measure(play);
    Box* bottom = new Box(play);
    bottom->style.width = CANVAS_W;
    gui.add(bottom, 0, CANVAS_H - play->_rect.h);

    if (_menu_cur < _menu_total - 1)
        _menu_button_at(gui, w_button_size("Next", MENU_NEXT, BUTTON_W, BUTTON_H, 0), -1, -1);
    if (_menu_cur > 0)
        _menu_button_at(gui, w_button_size("Previous", MENU_PREVIOUS, BUTTON_W, BUTTON_H, 0), 0, -1);
}

void MenuPlay::init() {
    gui = Container();
    _menu_levs = game.gamedb.query("select id from levels where name like 't%' order by name asc", {});
    font_load("font2");
    font_load("font1");
    bool rows = _menu_wrap_cur();
    if (!rows) {
        _menu_empty_message(gui, "No levels found.");
        logic_new(game);
    } else {
        logic_load(game, game.gamedb, menu_column(_menu_levs[_menu_cur], "id").c_str());
    }

    Table* info = new Table();
    Label* intro = menu_label("font1", game._edit.intro);
    intro->style.width = TUTORIAL_INTRO_W;
    intro->style.align = ALIGN_CENTER;
    intro->style.color = INTRO_COLOR;
    info->tr();
    info->td(new Box(menu_label("font2", game._edit.title)));
    info->tr();
    info->td(menu_label("font1", ""));
    info->tr();
    info->td(new Box(intro));
    Box* centre = new Box(info);
    centre->style.width = CANVAS_W;
    centre->style.height = CANVAS_H;
    gui.add(centre, 0, 0);

    _menu_button_at(gui, w_button_size("Menu", MENU_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    if (rows) _menu_play_buttons(gui);
    // Laid out at once, so that the buttons answer the pointer before the first frame.
    gui.resize();
}

void MenuPlay::deinit() {}

void MenuPlay::paint() {
    game.gfx_3d();
    myview_paint(game);
    game.gfx_2d();
    gui.resize();
    gui.paint();
    game.gfx_3d();
}

void MenuPlay::event(Event e) {
    int r = _menu_list_key(e, gui.event(&e));
    bool rows = !_menu_levs.empty();
    switch (r) {
    case MENU_BACK: game.next(STATE_MENU_MAIN); break;
    case MENU_EDIT_PLAY:
        if (rows) _menu_play(game);
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

void MenuPlay::loop() {
    gui.loop();
    _menu_preview_loop(game);
}

// ---------------------------------------------------------------- build list

// One entry of the build list: title and date, clicked as 1000 + row.
static Widget* _menu_edit_entry(const MyRow& row, int i) {
    Table* t = new Table();
    t->style.width = LIST_W;
    std::string title = menu_column(row, "title");
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

// The list of the user's maps, the detail panel of the selected one and
// the buttons that act on it.
static void _menu_edit_list(Game& game, Container& gui) {
    menu_show_lev(game, gui);

    Table* list = new Table();
    for (int i = 0; i < _menu_total; i++) {
        list->tr();
        list->td(_menu_edit_entry(_menu_levs[i], i));
    }
    ScrollBox2* scroll = new ScrollBox2(new ScrollBox(list, LIST_W, LIST_H));
    scroll->style.background = LIST_BG;
    gui.add(scroll, LIST_X, LIST_Y);

    _menu_button_at(gui, w_button_size("Delete", MENU_DELETE, BUTTON_W, BUTTON_H, 0), 0, -1);
    _menu_button_at(gui, w_button_size("Edit", MENU_EDIT, BUTTON_W, BUTTON_H, 0), EDIT_X, -1);
    _menu_button_at(gui, w_button_size("Play", MENU_PLAY, BUTTON_W, BUTTON_H, gfx_img_load("box3")),
                    PLAY_X, -1);
}

void MenuEdit::init() {
    gui = Container();
    _menu_levs = game.userdb.query(
        "select id,title,author,stars,skulls,ts from levels where q is null order by ts desc", {});
    font_load("font2");
    font_load("font1");
    font_load("font3");
    _menu_button_at(gui, w_button_size("Menu", MENU_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    _menu_button_at(gui, w_button_size("New", MENU_EDIT_NEW, BUTTON_W, BUTTON_H, 0), NEW_X, 0);
    Box* heading = new Box(menu_label("font2", "Build / Edit"));
    heading->style.width = HEADING_W;
    heading->style.height = HEADING_H;
    gui.add(heading, HEADING_X, 0);

    if (_menu_wrap_cur()) {
        _menu_edit_list(game, gui);
    } else {
        _menu_empty_message(gui, "---");
        logic_new(game);
    }
    gui.resize();
}

void MenuEdit::deinit() {}

void MenuEdit::paint() {
    game.gfx_3d();
    menu_paint_preview(game, GfxRect(PREVIEW_X, PREVIEW_Y, PREVIEW_W, PREVIEW_H));
    game.gfx_2d();
    gui.resize();
    gui.paint();
    game.gfx_3d();
}

// Marks the selected map deleted; it stays in the database, hidden.
static void _menu_edit_delete_selected(Game& game) {
    if (!_menu_wrap_cur()) return;
    std::string id = menu_column(_menu_levs[_menu_cur], "id");
    game.userdb.query("update levels set q = 'deleted' where id = ?", {id});
}

void MenuEdit::event(Event e) {
    int r = _menu_list_key(e, gui.event(&e));
    bool rows = !_menu_levs.empty();
    if (r >= MENU_ROW) {
        if (r - MENU_ROW < (int)_menu_levs.size()) {
            _menu_cur = r - MENU_ROW;
            menu_show_lev(game, gui);
        }
        return;
    }
    switch (r) {
    case MENU_BACK: game.next(STATE_MENU_MAIN); break;
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
        game.next(STATE_EDIT_INFO);
        _menu_cur = 0;
        break;
    case MENU_SHARE: game.next(STATE_EDIT_SHARE); break;
    case MENU_DELETE:
        if (rows) _menu_delete(game, gui);
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

void MenuEdit::loop() {
    gui.loop();
    _menu_preview_loop(game);
}
