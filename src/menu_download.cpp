// The online browser: the category screen that picks a list to fetch and the
// list screen with the selected map's details and its turning preview.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver.h"
#include "game_web.h"
#include "gfx.h"
#include "logic.h"
#include "menu_internal.h"
#include "myview.h"
#include "util.h"
#include "watch.h"
#include "widgets.h"

const MenuCat _menu_cats[] = {
    {0, "c~featured", "Featured"}, {1, "c~popular", "Popular"},     {2, "c~newest", "Newest"},
    {3, "c~friends", "Friends"},   {4, "c~favorites", "Favorites"},
};
const int _menu_cats_n = (int)MY_COUNT(_menu_cats);

enum {
    BUTTON_W = 240, BUTTON_H = 60,
    HEADING_X = 240, HEADING_W = 720,
    HEADING_INSET = 48,  // the heading button's frame and margins around its label
    LIST_Y = 120, LIST_W = 320, LIST_H = 480,
    ENTRY_PADDING = 10, ENTRY_MARGIN = 2,
    ENTRY_IDLE = 0x111111, ENTRY_HOVER = 0x222222, ENTRY_PRESSED = 0x333333,
    RATING_SIZE = 26, RATING_GAP = 40,
    STANDING_RANK_W = 26, STANDING_SCORE_W = 48,  // columns of a standings line
    WATCH_W = 300, WATCH_INSET = 8,  // the watch button, in the card's bottom right corner
    OWN_COLOR = UI_CYAN,
};

// ---------------------------------------------------------------- category screen

// Lists made from the player's own account: a guest is asked to sign in
// instead of being shown an empty list.
static bool _menu_cat_needs_account(int i) {
    return _menu_cats[i].value == "c~friends" || _menu_cats[i].value == "c~favorites";
}

void MenuDownload1::init() {
    gui = Container();
    Table* t = new Table();
    for (const MenuCat& c : _menu_cats) {
        t->tr();
        t->td(w_menu_button(c.title.c_str(), MENU_ROW + c.n, 0));
    }
    Box* b = new Box(t);
    b->style.width = CANVAS_W;
    b->style.height = CANVAS_H;
    gui.add(b, 0, 0);
    // Added last, so that it lies over the centred column.
    menu_place(gui, "back", w_button_size("Back", MENU_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    // Laid out at once, so that the buttons answer the pointer before the first frame.
    gui.resize();
}

void MenuDownload1::deinit() {}

void MenuDownload1::paint() { paint_over_backdrop(); }

void MenuDownload1::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = MENU_BACK;
    if (r == MENU_BACK) {
        // Back to the list that was shown, without fetching anything.
        game.next(STATE_MENU_DOWNLOAD2);
        return;
    }
    int i = r - MENU_ROW;
    if (r == MENU_NONE || i < 0 || i >= _menu_cats_n) return;
    if (_menu_cat_needs_account(i) && !game.settings.name[0]) {
        _menu_error_why = _menu_cats[i].title + " are made from your account: sign in to see them.";
        mystrcpy(game.error_msg, sizeof(game.error_msg), _menu_error_why.c_str());
        game.context = STATE_MENU_DOWNLOAD1;
        game.next(STATE_MENU_ERROR);
        return;
    }
    _menu_cur = 0;
    mystrcpy(game.q_value, sizeof(game.q_value), _menu_cats[i].value.c_str());
    mystrcpy(game.q_title, sizeof(game.q_title), _menu_cats[i].title.c_str());
    game.download();
    game.next(STATE_MENU_DOWNLOAD2);
}

void MenuDownload1::loop() { gui.loop(); }

// ---------------------------------------------------------------- standings

static std::string _menu_lid(const Game& game) {
    return std::string(game._edit.name, strnlen(game._edit.name, sizeof(game._edit.name)));
}

// Asks for the standings of the selected map unless they are kept already
// (or on their way); `again` asks anyway.
static void _menu_standings_fetch(Game& game, bool again) {
    std::string lid = _menu_lid(game);
    if (lid.empty() || (!again && game_web_standings_kept().lid == lid)) return;
    game_web_standings(game, lid);
}

static Label* _menu_small(const std::string& text, int color = 0) {
    Label* l = menu_label("font3", text.c_str());
    if (color) l->style.color = color;
    return l;
}

Widget* menu_standings(Game& game) {
    const GameWebStandings& st = game_web_standings_kept();
    Table* t = new Table();
    t->name = "standings";
    t->style.width = MENU_STANDINGS_W;
    t->style.valign = ALIGN_START;
    bool ours = st.lid == _menu_lid(game);
    // While they come, a hint of it; when they cannot come, nothing.
    if (!ours || st.status == GAME_WEB_FAILED || st.status == GAME_WEB_NONE) return t;
    auto line = [t](Widget* w) {
        Box* b = new Box(w);
        b->style.align = ALIGN_START;
        t->tr();
        t->td(b, 3);
    };
    if (st.status == GAME_WEB_WAITING) {
        line(_menu_small("...", UI_TEXT_DIM));
        return t;
    }
    if (st.best.empty()) {
        line(_menu_small("No proven wins yet", UI_TEXT_DIM));
        return t;
    }
    line(_menu_small("Best proven scores", UI_TEXT_DIM));
    int name_w = MENU_STANDINGS_W - STANDING_RANK_W - STANDING_SCORE_W;
    for (const GameWebProven& p : st.best) {
        t->tr();
        Label* rank = _menu_small(std::to_string(p.rank) + ".", UI_TEXT_DIM);
        rank->style.width = STANDING_RANK_W;
        t->td(rank);
        Label* name = _menu_small(menu_fit("font3", p.player, name_w));
        name->style.width = name_w;
        t->td(name);
        Label* score = _menu_small(std::to_string(p.score));
        score->style.width = STANDING_SCORE_W;
        score->style.align = ALIGN_END;
        t->td(score);
    }
    if (st.has_own) {
        std::string own = "You: rank " + std::to_string(st.own.rank);
        if (st.count >= st.own.rank) own += " of " + std::to_string(st.count);
        own += ", " + std::to_string(st.own.score);
        Label* l = _menu_small(own, OWN_COLOR);
        l->name = "own";
        line(l);
    }
    return t;
}

// ---------------------------------------------------------------- list screen

// A row of five rating icons that only shows a value.
static Widget* _menu_rating(const std::string& value, const char* image) {
    // The service's number: anything outside the scale, or not a number, is drawn as its nearest end.
    float v = (float)atof(value.c_str());
    v = v >= 0 ? mymin(v, (float)STARS_COUNT) : 0;
    Stars* s = new Stars(v, gfx_img_load(image), RATING_SIZE);
    s->ignore = 1;
    return s;
}

// One list entry: author, title, and the two ratings; clicking it selects row i.
static Widget* _menu_entry(const MyRow& row, int i, Font f1, Font f3) {
    auto col = [&row](const char* name) { return menu_column(row, name); };
    Table* ratings = new Table();
    ratings->td(_menu_rating(col("stars"), "stars"));
    Widget* gap = new Widget();
    gap->style.width = RATING_GAP;
    ratings->td(gap);
    ratings->td(_menu_rating(col("skulls"), "skulls"));

    Table* t = new Table();
    int text_w = LIST_W - 2 * (ENTRY_PADDING + ENTRY_MARGIN);
    t->tr();
    t->td(new Label(f3, menu_fit("font3", col("author"), text_w).c_str()));
    t->tr();
    t->td(new Label(f1, menu_fit("font1", col("title"), text_w).c_str()));
    t->tr();
    t->td(ratings);

    Box* b = new Box(t);
    b->onclick = MENU_ROW + i;
    StyleSheet& s = b->style;
    s.width = LIST_W;
    s.clip = 1;
    s.align = ALIGN_START;
    s.set_padding(ENTRY_PADDING);
    s.set_margin(ENTRY_MARGIN);
    s.background = ENTRY_IDLE;
    s.data[STYLE_HOVER].background = ENTRY_HOVER;
    s.data[STYLE_FOCUS].background = ENTRY_IDLE;
    s.data[STYLE_ACTIVE].background = ENTRY_PRESSED;
    return b;
}

// The list of _menu_levs in a scroll box with its bar, scrolled as before.
static Widget* _menu_list(Font f1, Font f3, int scroll) {
    Table* list = new Table();
    for (int i = 0; i < _menu_total; i++) {
        list->tr();
        list->td(_menu_entry(_menu_levs[i], i, f1, f3));
    }
    return menu_list(list, LIST_W, LIST_H, scroll);
}

// Play at the bottom right and Watch over the card's corner, while the
// selected map unpacked; its standings asked for.
static void _menu_play_button(Game& game, Container& gui, bool ok) {
    menu_place(gui, "play", ok ? w_button_size("Play", MENU_PLAY, BUTTON_W, BUTTON_H, gfx_img_load("box3")) : nullptr,
               -1, -1);
    menu_place(gui, "watch", nullptr, 0, 0);
    if (!ok) return;
    Box* watch = w_button_size("Watch how it was won", MENU_WATCH, WATCH_W, BUTTON_H, 0);
    watch->name = "watch";
    gui.add(watch, MENU_CARD_X + MENU_CARD_W - WATCH_W - WATCH_INSET, MENU_CARD_Y + MENU_CARD_H - BUTTON_H - WATCH_INSET);
    _menu_standings_fetch(game, false);
}

static int _menu_standings_shown = -1;  // serial of the standings on screen

void MenuDownload2::init() {
    lists_seen = game_web_lists_stored();
    _menu_levs = game.netdb.query("select id,title,author,stars,skulls from levels where q = ? order by value asc",
                                  {std::string(game.q_value, strnlen(game.q_value, sizeof(game.q_value)))});
    _menu_total = (int)_menu_levs.size();
    Font f1(font_load("font1")), f2(font_load("font2")), f3(font_load("font3"));

    // Back from a play, the list stays where it was.
    int scroll = menu_list_scroll(gui);
    gui = Container();
    gui.add(w_button_size("Menu", MENU_BACK, BUTTON_W, BUTTON_H, 0), 0, 0);
    std::string title(game.q_title, strnlen(game.q_title, sizeof(game.q_title)));
    title = menu_fit("font2", title, HEADING_W - HEADING_INSET);
    gui.add(w_button_size(title.c_str(), MENU_MORE, HEADING_W, BUTTON_H, 0), HEADING_X, 0);
    Box* refresh = w_button_size("Refresh", MENU_REFRESH, BUTTON_W, BUTTON_H, 0);
    menu_measure(refresh);
    gui.add(refresh, 0, CANVAS_H - refresh->outer_box().h);

    if (_menu_total == 0) {
        Box* none = new Box(new Label(f2, "---"));
        none->style.width = CANVAS_W;
        menu_measure(none);
        gui.add(none, 0, (CANVAS_H - none->outer_box().h) / 2);
        logic_new(game);
    } else {
        _menu_cur = ((_menu_cur % _menu_total) + _menu_total) % _menu_total;
        bool ok = menu_show_lev(game, gui);
        gui.add(_menu_list(f1, f3, scroll), 0, LIST_Y);
        _menu_play_button(game, gui, ok);
    }
    gui.resize();
}

void MenuDownload2::deinit() {}

void MenuDownload2::paint() {
    const MyRect card(MENU_CARD_X, MENU_CARD_Y, MENU_CARD_W, MENU_CARD_H);
    paint_over_backdrop(_menu_total > 0 ? &card : nullptr);
}

// Fetches the list q of the selected map's author and shows it as it comes.
static void _menu_author_list(Game& game, const char* prefix, const char* title_fmt) {
    _menu_cur = 0;
    std::string uid(game.level.uid, strnlen(game.level.uid, sizeof(game.level.uid)));
    std::string author(game.level.author, strnlen(game.level.author, sizeof(game.level.author)));
    mystrcpy(game.q_value, sizeof(game.q_value), (prefix + uid).c_str());
    snprintf(game.q_title, sizeof(game.q_title), title_fmt, author.c_str());
    game.download();
}

void MenuDownload2::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = gui.find("watch-ask") ? MENU_NO : MENU_BACK;
    switch (r) {
    case MENU_WATCH:
        if (gui.find("watch")) watch_confirm(gui);
        return;
    case MENU_WATCH_GO:
        if (Widget* d = gui.find("watch-ask")) d->parent->remove(d);
        if (gui.find("watch")) watch_open_online(game, STATE_MENU_DOWNLOAD2);
        return;
    case MENU_NO:
        if (Widget* d = gui.find("watch-ask")) d->parent->remove(d);
        return;
    case MENU_AUTHOR_MORE:
        _menu_author_list(game, "u~", "More by %s");
        init();
        return;
    case MENU_AUTHOR_FAVORITES:
        _menu_author_list(game, "f~", "%s's Favorites");
        init();
        return;
    case MENU_BACK: game.next(STATE_MENU_MAIN); return;
    case MENU_MORE: game.next(STATE_MENU_DOWNLOAD1); return;
    case MENU_REFRESH:
        game.download();
        if (_menu_total > 0 && gui.find("play")) _menu_standings_fetch(game, true);
        return;
    case MENU_PLAY:
        if (_menu_total == 0 || !gui.find("play")) return;
        game.level = game._edit;
        game.parent = game.state;
        game.track("level", game.level.name, "start", game.level.timer / TICKS_PER_SECOND);
        game.next(STATE_LEVEL);
        return;
    default: break;
    }
    if (r >= MENU_ROW && r - MENU_ROW < _menu_total) {
        _menu_cur = r - MENU_ROW;
        _menu_play_button(game, gui, menu_show_lev(game, gui));
        gui.resize();
    }
}

// The preview keeps the camera of play that its card framed; the standings
// are redrawn when an answer changed them.
void MenuDownload2::loop() {
    // A fresh copy of the list arrived: shown again from its first row.
    if (game_web_lists_stored() != lists_seen) {
        _menu_cur = 0;
        game.next(STATE_MENU_DOWNLOAD2);
    }
    if (game_web_standings_kept().serial != _menu_standings_shown) {
        _menu_standings_shown = game_web_standings_kept().serial;
        if (gui.find("standings")) gui.replace("standings", menu_standings(game));
        gui.resize();
    }
    gui.loop();
}
