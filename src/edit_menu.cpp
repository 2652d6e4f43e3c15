// The screens around the map editor: its menu, the title-and-options pages
// and the share screen, which lets only a cleanly beaten map through.
//
// Sections: shared helpers, the editor menu, title and options, sharing.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "edit_internal.h"
#include "font.h"
#include "logic.h"
#include "myview.h"
#include "util.h"

int _editinfo_page = EDITINFO_PAGE_TEXT;
// Where Back on the first page leads; a run resumed on these pages goes to
// the editor's menu, which keeps the map.
static int _editinfo_back = STATE_EDIT_MENU;

enum {
    EDITMENU_BOX_W = CANVAS_W, EDITMENU_BOX_H = CANVAS_H,
    EDITINFO_BOX_W = CANVAS_W, EDITINFO_BOX_H = 620,
    EDITINFO_BUTTON_W = 240, EDITINFO_BUTTON_H = 60,
    EDITINFO_INTRO_H = 360,   // the intro field's height
    EDITINFO_BOMB_W = 120,    // the bomb fields' width
    EDITINFO_BOMBS = 4,       // detonator, time, EMP and mini bombs
    EDITINFO_BOMBS_MAX = 9999,  // the largest stock a map starts with
    EDITINFO_PREVIOUS = -1, EDITINFO_NEXT = 1, EDITINFO_DONE = 2, EDITINFO_BACK = 3,
    EDITSHARE_TEXT_W = 480,
    EDITMENU_NOTE_W = 640, EDITMENU_NOTE_COLOR = 0xFF8866,  // a failed save, above the buttons
};

// ---------------------------------------------------------------- shared helpers

// The map behind the widgets, then the widgets.
// A box of the given size at the top left of the screen, centring w on a
// panel that hides the map beneath.
static void _editmenu_frame(Container& gui, Widget* w, int ww, int hh) {
    Box* b = new Box(w_panel(w, STYLE_OPAQUE));
    b->style.width = ww;
    b->style.height = hh;
    gui.add(b, 0, 0);
}

static Label* _editmenu_label(const char* font, const char* text, int width = 0) {
    Label* l = new Label(Font(font_load(font)), text);
    if (width) l->style.width = width;
    l->style.loop();
    l->resize();
    return l;
}

// Starts a test play of the editor's map; its end comes back to this screen.
static void _editmenu_play(Game& game) {
    game.level = game._edit;
    game.parent = game.state;
    game.next(STATE_LEVEL);
}

// ---------------------------------------------------------------- the editor menu

void EditMenu::init() {
    gui = Container();
    Table* t = new Table();
    if (!save_error.empty()) {
        // The map is still here, and in the saved run: the player may free
        // some space or fix the file and press Save & Quit again.
        const char* lines[] = {"Your map was not saved:", save_error.c_str(),
                               "It stays in the editor. Save & Quit tries again."};
        for (const char* line : lines) {
            Label* l = _editmenu_label("font1", line, EDITMENU_NOTE_W);
            l->style.align = ALIGN_CENTER;
            l->style.color = EDITMENU_NOTE_COLOR;
            t->tr();
            t->td(l);
        }
        if (game.userdb_status == USERDB_DAMAGED) {
            t->tr();
            t->td(w_menu_button("Keep the damaged file aside, save anew", EDITMENU_FRESH, 0));
        }
        t->tr();
        t->td(_editmenu_label("font1", ""));
    }
    static const struct { const char* label; int value; } items[] = {
        {"Edit Map", EDITMENU_EDIT},   {"Title & Options", EDITMENU_INFO},
        {"Play / Test", EDITMENU_PLAY}, {"Share", EDITMENU_SHARE},
        {"Save & Quit", EDITMENU_QUIT},
    };
    for (const auto& it : items) {
        t->tr();
        t->td(w_menu_button(it.label, it.value, 0));
    }
    _editmenu_frame(gui, t, EDITMENU_BOX_W, EDITMENU_BOX_H);
}

void EditMenu::deinit() { save_error.clear(); }

void EditMenu::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = EDITMENU_EDIT;
    switch (r) {
    case EDITMENU_EDIT: game.next(STATE_EDIT); break;
    case EDITMENU_INFO: edit_info_open(game, STATE_EDIT_MENU); break;
    case EDITMENU_PLAY: _editmenu_play(game); break;
    case EDITMENU_SHARE: game.next(STATE_EDIT_SHARE); break;
    case EDITMENU_FRESH:
    case EDITMENU_QUIT:
        if (r == EDITMENU_FRESH && !game_db_user_fresh(game)) {
            save_error = "user.db " + game.userdb_note;
            init();
            break;
        }
        // The texts of the row come from the play copy, the map from the
        // editor's: make sure they are the same map.
        game.level = game._edit;
        if (!game_db_save_map(game, &save_error)) {
            init();
            break;
        }
        edit_reset(game);
        game.next(STATE_MENU_EDIT);
        break;
    default: break;
    }
}

void EditMenu::loop() { gui.loop(); }

// ---------------------------------------------------------------- title and options

// One text field of the pages: its name, what it edits and how much of it.
struct EditInfoField {
    int page;
    const char* name;
    const char* label;
    size_t offset;  // of the text field in LevelData
    size_t size;    // its width, terminator included
};

static const EditInfoField EDITINFO_TEXTS[] = {
    {EDITINFO_PAGE_TEXT, "title", "Title", offsetof(LevelData, title), sizeof(LevelData::title)},
    {EDITINFO_PAGE_TEXT, "intro", "Intro", offsetof(LevelData, intro), sizeof(LevelData::intro)},
    {EDITINFO_PAGE_NAMES, "name", "Map_ID", offsetof(LevelData, name), sizeof(LevelData::name)},
    {EDITINFO_PAGE_NAMES, "music", "Music", offsetof(LevelData, music), sizeof(LevelData::music)},
    {EDITINFO_PAGE_NAMES, "theme", "Theme", offsetof(LevelData, theme), sizeof(LevelData::theme)},
};

static const char* EDITINFO_BOMB_NAMES[EDITINFO_BOMBS] = {"bomb1", "bomb2", "bomb3", "bomb4"};
static const char* EDITINFO_BOMB_LABELS[EDITINFO_BOMBS] = {
    "Detonator Bombs", "Time Bombs", "EMP Bombs", "Mini Bombs"};

static char* _editinfo_text(LevelData& lev, const EditInfoField& f) { return (char*)&lev + f.offset; }

// A bomb field's text as a stock: a decimal number, anything else 0.
int editinfo_bombs(const char* text) {
    errno = 0;
    char* end = nullptr;
    long v = strtol(text ? text : "", &end, 10);
    if (errno == ERANGE) v = v < 0 ? 0 : EDITINFO_BOMBS_MAX;
    if (v < 0) return 0;
    return v > EDITINFO_BOMBS_MAX ? EDITINFO_BOMBS_MAX : (int)v;
}

// A text field whose limit is what its record field can keep.
static TextInput* _editinfo_field(const char* name, const char* value, size_t size, int wrap) {
    TextInput* t = w_textinput(name, value, wrap, 0);
    t->maxlen = (unsigned int)(size - 1);
    return t;
}

// Measured with its edges, so that it can be placed by its outer size.
static Box* _editinfo_button(const char* label, int value) {
    Box* b = w_button_size(label, value, EDITINFO_BUTTON_W, EDITINFO_BUTTON_H, 0);
    b->layout();
    return b;
}

// Label above its field, each in a row of its own.
static void _editinfo_row(Table* t, const EditInfoField& f, LevelData& lev, std::vector<TextInput*>& chain) {
    bool intro = strcmp(f.name, "intro") == 0;
    TextInput* in = _editinfo_field(f.name, _editinfo_text(lev, f), f.size, intro);
    if (intro) {
        in->style.height = EDITINFO_INTRO_H;
        in->style.loop();
        in->resize();
    }
    t->tr();
    t->td(_editmenu_label("font2", f.label));
    t->tr();
    t->td(in);
    chain.push_back(in);
}

static void _editinfo_page_build(Table* t, int page, LevelData& lev, std::vector<TextInput*>& chain) {
    if (page == EDITINFO_PAGE_BOMBS) {
        char num[16];
        for (int i = 0; i < EDITINFO_BOMBS; i++) {
            TextInput* in = _editinfo_field(EDITINFO_BOMB_NAMES[i], myitoa(lev.inventory[D_BOMB1 + i], num),
                                            sizeof(num), 0);
            in->style.width = EDITINFO_BOMB_W;
            in->style.loop();
            in->resize();
            t->tr();
            t->td(_editmenu_label("font2", EDITINFO_BOMB_LABELS[i]));
            t->td(in);
            chain.push_back(in);
        }
        return;
    }
    for (const EditInfoField& f : EDITINFO_TEXTS)
        if (f.page == page) _editinfo_row(t, f, lev, chain);
}

// Copies what the fields of the page hold into the editor's map.
static void _editinfo_store(Game& game, Container& gui) {
    for (const EditInfoField& f : EDITINFO_TEXTS)
        if (Widget* w = gui.find(f.name)) mystrcpy(_editinfo_text(game._edit, f), f.size, w->get_value_s());
    for (int i = 0; i < EDITINFO_BOMBS; i++)
        if (Widget* w = gui.find(EDITINFO_BOMB_NAMES[i]))
            game._edit.inventory[D_BOMB1 + i] = editinfo_bombs(w->get_value_s());
}

void EditInfo::init() {
    // Built again without leaving (after a video reset): keep what was typed.
    _editinfo_store(game, gui);
    if (_editinfo_page < EDITINFO_PAGE_TEXT || _editinfo_page > EDITINFO_PAGE_NAMES)
        _editinfo_page = EDITINFO_PAGE_TEXT;
    gui = Container();
    Table* t = new Table();
    std::vector<TextInput*> chain;
    _editinfo_page_build(t, _editinfo_page, game._edit, chain);
    for (size_t i = 0; i < chain.size(); i++) chain[i]->next = chain[(i + 1) % chain.size()];
    _editmenu_frame(gui, t, EDITINFO_BOX_W, EDITINFO_BOX_H);

    Box* prev = _editinfo_page > EDITINFO_PAGE_TEXT ? _editinfo_button("Previous", EDITINFO_PREVIOUS)
                                                    : _editinfo_button("Back", EDITINFO_BACK);
    gui.add(prev, 0, CANVAS_H - prev->outer_box().h);
    Box* right = _editinfo_page > EDITINFO_PAGE_TEXT ? _editinfo_button("Done", EDITINFO_DONE)
                                                     : _editinfo_button("Next", EDITINFO_NEXT);
    gui.add(right, CANVAS_W - right->outer_box().w, CANVAS_H - right->outer_box().h);
    // Ready for typing at once.
    if (!chain.empty()) chain[0]->take_focus();
}

void EditInfo::deinit() {
    _editinfo_store(game, gui);
    game._edit.dirty = 1;
    // Stored once: a second deinit must not store an old page again.
    gui = Container();
}

void EditInfo::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = EDITINFO_DONE;
    if (e.type == EVT_KEYDOWN && e.v == KEY_F1) {
        _editinfo_page = EDITINFO_PAGE_NAMES;
        deinit();
        init();
        return;
    }
    if (r == EDITINFO_NEXT || r == EDITINFO_PREVIOUS) {
        _editinfo_page += r;
        deinit();
        init();
    } else if (r == EDITINFO_DONE) {
        _editinfo_page = EDITINFO_PAGE_TEXT;
        game.next(STATE_EDIT);
    } else if (r == EDITINFO_BACK) {
        game.next(_editinfo_back);
    }
}

void edit_info_open(Game& game, int back) {
    _editinfo_back = back;
    game.next(STATE_EDIT_INFO);
}

void EditInfo::loop() { gui.loop(); }

// ---------------------------------------------------------------- sharing

void EditShare::init() {
    gui = Container();
    Table* t = new Table();
    auto row = [t](Widget* w) {
        t->tr();
        t->td(w);
    };
    row(_editmenu_label("font2", "Share this Map", EDITSHARE_TEXT_W));
    row(_editmenu_label("font1", ""));
    if (game._edit.dirty) {
        row(_editmenu_label("font1", "Before you can share your map you must beat it.", EDITSHARE_TEXT_W));
        row(_editmenu_label("font1", ""));
        row(_editmenu_label("font1", "- You may not rewind", EDITSHARE_TEXT_W));
        row(_editmenu_label("font1", "- You must collect all items", EDITSHARE_TEXT_W));
        row(_editmenu_label("font1", ""));
        row(w_menu_button("Play", EDITMENU_PLAY, 0));
    } else {
        row(w_menu_button("To Everyone", EDITMENU_EVERYONE, 0));
    }
    row(w_menu_button("Cancel", EDITMENU_CANCEL, 0));
    _editmenu_frame(gui, t, EDITMENU_BOX_W, EDITMENU_BOX_H);
}

void EditShare::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = EDITMENU_CANCEL;
    switch (r) {
    case EDITMENU_CANCEL: game.next(STATE_EDIT); break;
    case EDITMENU_PLAY: _editmenu_play(game); break;
    case EDITMENU_EVERYONE:
    case EDITMENU_FRIENDS:
        // Only a cleanly beaten map goes out, whatever asked for it.
        if (!game._edit.dirty) game.share(r == EDITMENU_EVERYONE ? 1 : 0);
        game.next(STATE_EDIT);
        break;
    default: break;
    }
}

void EditShare::loop() { gui.loop(); }
