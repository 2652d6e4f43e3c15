// The settings pages (sound, account, video), the online service's error
// and sign-in screen, and the scrolling credits.
//
// Sections: settings, error screen, credits.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "driver.h"
#include "game_web.h"
#include "gfx.h"
#include "menu_internal.h"
#include "util.h"
#include "web.h"

namespace {
enum {
    BUTTON_W = 240, BUTTON_H = 60,
    SETTINGS_H = 620,          // the settings form is centred above the button row
    VOLUME_MAX = 100,
    PICKER_COLS = 5,
    FULLSCREEN_ITEM_W = 160,
    VRES_MIN_W = 480, VRES_MIN_H = 320,  // the smallest window the game opens
    MODES_MAX = 64,            // platform modes read for the picker
    VRES_AUTO = -1, FULL_OFF = -1, FULL_ON = 1,
    SHAKE_OFF = -1, SHAKE_ON = 1,  // a picker's values are its items' click codes: never 0
    ERROR_SHADE = 204,         // the screen beneath keeps a fifth of its brightness
    ERROR_BAR_CORNER = 40, ERROR_BAR_PADDING = 20,
    ERROR_TEXT_MAX_W = 720,    // a longer message wraps
    SCROLL_LINE_W = 940, SCROLL_PADDING = 10,
    SCROLL_STEP = 2,           // pixels a tick: 60 a second
};

// Codes of the settings buttons and value widgets.
enum {
    SET_PREVIOUS = -1, SET_NEXT = 1, SET_DONE = 2, SET_MUSIC = 3, SET_SFX = 4, SET_VIDEO = 5, SET_SHAKE = 6,
};
// Codes of the error screen.
enum { ERR_SIGN_IN = 1, ERR_ACCOUNT = 2, ERR_DOWNLOAD = 4, ERR_LATER = 5 };

// The account is the game's own, whatever the service's client tag says.
const char* const ACCOUNT_NAME_LABEL = "Velquist name";
const char* const ACCOUNT_PASSWORD_LABEL = "Password";

// The fixed window sizes offered before the platform's own modes.
const int FIXED_SIZES[][2] = {{1280, 720}, {1024, 768}, {960, 640}, {480, 320}};
}  // namespace

int _MenuSettings_page = MENU_SETTINGS_SOUND;
std::string _menu_error_why;

// ---------------------------------------------------------------- settings

static Box* _MenuSettings_button(const char* text, int onclick) {
    return w_button_size(text, onclick, BUTTON_W, BUTTON_H, 0);
}

static void _menu_row(Table* t, Widget* w) {
    t->tr();
    t->td(w);
}

static int _menu_vres(int w, int h) { return (w << VRES_SHIFT) | h; }

void menu_settings_vres_fill(GridPicker& picker, const int* ws, const int* hs, int n) {
    // The fixed sizes, then the platform's that are large enough and new,
    // up to the picker's room; shown from the smallest to the largest.
    std::vector<int> sizes;
    for (const int* s : FIXED_SIZES) sizes.push_back(_menu_vres(s[0], s[1]));
    for (int i = 0; i < n && (int)sizes.size() + 1 < MENU_VRES_ITEMS_MAX; i++) {
        int w = ws[i], h = hs[i];
        // A packed size keeps the height in 12 bits; a larger one cannot be asked for.
        if (w < VRES_MIN_W || h < VRES_MIN_H || h > VRES_MASK || w > VRES_MASK) continue;
        if (std::find(sizes.begin(), sizes.end(), _menu_vres(w, h)) != sizes.end()) continue;
        sizes.push_back(_menu_vres(w, h));
    }
    // Width first, then height: the packed value orders them so.
    std::sort(sizes.begin(), sizes.end());
    char label[32];
    picker.item("Auto", VRES_AUTO);
    for (int v : sizes) {
        snprintf(label, sizeof(label), "%dx%d", v >> VRES_SHIFT, v & VRES_MASK);
        picker.item(label, v);
    }
}

static void _menu_settings_sound(Game& game, Table* t) {
    NumSlider* music = w_numslider("music", game.settings.music, 0, VOLUME_MAX, 1, 1);
    music->onchange = SET_MUSIC;
    NumSlider* sfx = w_numslider("sfx", game.settings.sfx, 0, VOLUME_MAX, 1, 0);
    sfx->onchange = SET_SFX;
    music->next = sfx;
    sfx->next = music;
    _menu_row(t, menu_label("font2", "Music Volume"));
    _menu_row(t, music);
    _menu_row(t, menu_label("font2", "Effects Volume"));
    _menu_row(t, sfx);
}

// The account's name and password fields under their labels, Tab moving
// between them; onchange is what Return in either field gives.
static void _menu_account_fields(Game& game, Table* t, const char* font, int onchange) {
    TextInput* name = w_textinput("name", game.settings.name, 0, 0);
    TextInput* passwd = w_textinput("passwd", game.settings.passwd, 0, 1);
    name->next = passwd;
    passwd->next = name;
    name->onchange = passwd->onchange = onchange;
    _menu_row(t, menu_label(font, ACCOUNT_NAME_LABEL));
    _menu_row(t, name);
    _menu_row(t, menu_label(font, ACCOUNT_PASSWORD_LABEL));
    _menu_row(t, passwd);
}

static void _menu_settings_account(Game& game, Table* t) { _menu_account_fields(game, t, "font2", 0); }

static void _menu_settings_video(Game& game, Table* t) {
    GridPicker* vres = new GridPicker(PICKER_COLS);
    vres->name = "vres";
    vres->onchange = SET_VIDEO;
    int ws[MODES_MAX], hs[MODES_MAX];
    int n = driver_video_list_modes(ws, hs, MODES_MAX);
    menu_settings_vres_fill(*vres, ws, hs, n);
    vres->set_value_i(game.settings.vres);

    GridPicker* vfull = new GridPicker(PICKER_COLS);
    vfull->name = "vfull";
    vfull->onchange = SET_VIDEO;
    vfull->item("Off", FULL_OFF, FULLSCREEN_ITEM_W);
    vfull->item("On", FULL_ON, FULLSCREEN_ITEM_W);
    vfull->set_value_i(game.settings.vfull);

    // Not a video mode: changing it reopens nothing.
    GridPicker* shake = new GridPicker(PICKER_COLS);
    shake->name = "shake";
    shake->onchange = SET_SHAKE;
    shake->item("Off", SHAKE_OFF, FULLSCREEN_ITEM_W);
    shake->item("On", SHAKE_ON, FULLSCREEN_ITEM_W);
    shake->set_value_i(game.screen_shake ? SHAKE_ON : SHAKE_OFF);

    _menu_row(t, menu_label("font2", "Video Resolution"));
    _menu_row(t, vres);
    _menu_row(t, menu_label("font2", "Fullscreen"));
    _menu_row(t, vfull);
    _menu_row(t, menu_label("font2", "Shake the view on blasts"));
    _menu_row(t, shake);
}

void MenuSettings::init() {
    gui = Container();
    if (_MenuSettings_page < 0 || _MenuSettings_page >= MENU_SETTINGS_PAGES)
        _MenuSettings_page = MENU_SETTINGS_SOUND;
    font_load("font2");
    Table* t = new Table();
    static const char* const titles[MENU_SETTINGS_PAGES] = {"Settings: Sound", "Settings: Account",
                                                            "Settings: Video"};
    Label* title = menu_label(FONT_TITLE, titles[_MenuSettings_page]);
    title->name = "title";
    _menu_row(t, new Box(title));
    _menu_row(t, menu_label("font2", ""));
    switch (_MenuSettings_page) {
    case MENU_SETTINGS_SOUND: _menu_settings_sound(game, t); break;
    case MENU_SETTINGS_ACCOUNT: _menu_settings_account(game, t); break;
    default: _menu_settings_video(game, t); break;
    }
    Box* form = new Box(w_panel(t, MENU_PANEL_ALPHA));
    form->style.width = CANVAS_W;
    form->style.height = SETTINGS_H;
    gui.add(form, 0, 0);

    // The first page leads back to the main menu, the others to the page before.
    bool first = _MenuSettings_page == MENU_SETTINGS_SOUND;
    Box* prev = first ? _MenuSettings_button("Back", SET_DONE) : _MenuSettings_button("Previous", SET_PREVIOUS);
    menu_measure(prev);
    gui.add(prev, 0, CANVAS_H - prev->outer_box().h);
    bool last = _MenuSettings_page == MENU_SETTINGS_PAGES - 1;
    Box* next = last ? _MenuSettings_button("Done", SET_DONE) : _MenuSettings_button("Next", SET_NEXT);
    menu_measure(next);
    gui.add(next, CANVAS_W - next->outer_box().w, CANVAS_H - next->outer_box().h);
}

void MenuSettings::deinit() { menu_settings_sync(game, gui); }

void MenuSettings::paint() { paint_over_backdrop(); }

void MenuSettings::event(Event e) {
    int r = gui.event(&e);
    if (!r && e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = SET_DONE;
    switch (r) {
    case SET_NEXT:
        if (_MenuSettings_page < MENU_SETTINGS_PAGES - 1) _MenuSettings_page++;
        deinit();
        init();
        break;
    case SET_PREVIOUS:
        if (_MenuSettings_page > 0) _MenuSettings_page--;
        deinit();
        init();
        break;
    case SET_DONE:
        _MenuSettings_page = MENU_SETTINGS_SOUND;
        game.next(STATE_MENU_MAIN);
        break;
    case SET_MUSIC:
        menu_settings_sync(game, gui);
        game.reset_volume();
        break;
    case SET_SFX:
        menu_settings_sync(game, gui);
        game.play_sound("drop");
        break;
    case SET_VIDEO:
        menu_settings_sync(game, gui);
        game.video_reset();
        init();
        break;
    case SET_SHAKE: menu_settings_sync(game, gui); break;
    default: break;
    }
}

void MenuSettings::loop() { gui.loop(); }

// Copies the text fields "name" and "passwd" that gui holds into the settings.
static void _menu_sync_account(Game& game, Container& gui) {
    if (Widget* w = gui.find("passwd"))
        mystrcpy(game.settings.passwd, sizeof(game.settings.passwd), w->get_value_s());
    if (Widget* w = gui.find("name"))
        mystrcpy(game.settings.name, sizeof(game.settings.name), w->get_value_s());
}

void menu_settings_sync(Game& game, Container& gui) {
    _menu_sync_account(game, gui);
    struct {
        const char* name;
        int* field;
    } values[] = {
        {"music", &game.settings.music}, {"sfx", &game.settings.sfx},
        {"vres", &game.settings.vres}, {"vfull", &game.settings.vfull},
    };
    for (auto& v : values) {
        if (Widget* w = gui.find(v.name)) *v.field = w->get_value_i();
    }
    if (Widget* w = gui.find("shake")) game.screen_shake = w->get_value_i() == SHAKE_ON ? 1 : 0;
    game.settings_check();
}

// ---------------------------------------------------------------- error screen

void menu_error_form_sync(Game& game, Container& gui) {
    _menu_sync_account(game, gui);
    game.settings_check();
}

// The error text, safe even when a damaged saved record left it unterminated.
static std::string _menu_error_text(const Game& game) {
    return std::string(game.error_msg, strnlen(game.error_msg, sizeof(game.error_msg)));
}

// The screen the error came from, when it is one that can be shown beneath
// this one and returned to.
static int _menu_error_context(const Game& game) {
    int c = game.context;
    if (c < STATE_MENU_MAIN || c > STATE_MENU_HELP || c == STATE_MENU_ERROR || !_game_states[c])
        return STATE_MENU_MAIN;
    return c;
}

static Box* _menu_boxed(Widget* w) { return new Box(w); }

// Username and password fields, then the account and sign-in buttons.
static void _menu_error_form(Game& game, Table* t) {
    bool named = game.settings.name[0] != 0;
    Table* form = new Table();
    // Return in either field signs in.
    _menu_account_fields(game, form, "font1", ERR_SIGN_IN);
    _menu_row(t, new Box(form));  // centred above the buttons
    _menu_row(t, menu_label("font2", ""));

    Table* buttons = new Table();
    buttons->style.width = CANVAS_W;
    buttons->tr();
    buttons->td(_menu_boxed(w_menu_button(named ? "Manage account" : "Create account", ERR_ACCOUNT, 0)));
    buttons->td(_menu_boxed(w_menu_button("Sign In", ERR_SIGN_IN, gfx_img_load("box3"))));
    _menu_row(t, buttons);
}

void MenuError::init() {
    gui = Container();
    // A share the service refused says why it needs the player signed in.
    std::string refusal = game_web_share_refusal();
    if (!refusal.empty()) _menu_error_why = refusal;
    font_load("font1");
    font_load("font2");

    w_shade(gui, ERROR_SHADE);

    std::string msg = _menu_error_text(game);
    bool upgrade = msg.find("X01") != std::string::npos;
    Table* t = new Table();
    _menu_row(t, new Box(menu_label("font2", upgrade ? "Upgrade Available" : "Sign In")));
    _menu_row(t, menu_label("font2", ""));
    if (!game.settings.name[0] && !_menu_error_why.empty()) {
        // A guest asked for a list of the account's own: say why the form is here.
        Label* why = menu_label("font1", _menu_error_why.c_str());
        why->name = "why";
        _menu_row(t, new Box(why));
        _menu_row(t, menu_label("font2", ""));
    }
    if (game.settings.name[0]) {
        Label* text = menu_label("font1", msg.c_str());
        if (text->fnt.get_width(text->txt) > ERROR_TEXT_MAX_W) text->style.width = ERROR_TEXT_MAX_W;
        Box* bar = new Box(text);
        bar->style.box_tex = gfx_img_load("bar1");
        bar->style.box_size = ERROR_BAR_CORNER;
        bar->style.box_color = STYLE_WHITE;
        bar->style.set_padding(ERROR_BAR_PADDING);
        _menu_row(t, bar);
        _menu_row(t, menu_label("font2", ""));
    }
    if (upgrade) {
        Table* buttons = new Table();
        buttons->tr();
        buttons->td(_menu_boxed(w_menu_button("Later", ERR_LATER, gfx_img_load("box1"))));
        buttons->td(_menu_boxed(w_menu_button("Download", ERR_DOWNLOAD, gfx_img_load("box3"))));
        _menu_row(t, buttons);
    } else {
        _menu_error_form(game, t);
    }
    Box* centre = new Box(t);
    centre->style.width = CANVAS_W;
    centre->style.height = CANVAS_H;
    gui.add(centre, 0, 0);
}

void MenuError::deinit() {
    menu_error_form_sync(game, gui);
    _menu_error_why.clear();
}

void MenuError::paint() {
    if (State* beneath = _game_states[_menu_error_context(game)]) beneath->paint();
    paint_widgets();
}

// A page of the service's web site for the user's account name.
static void _menu_error_open(Game& game, const char* path) {
    std::string url = game_web_url(path) + "?name=" + web_urlencode(game.settings.name);
    game.open_url(url.c_str());
}

void MenuError::event(Event e) {
    int r = gui.event(&e);
    if (!r && e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) r = ERR_SIGN_IN;
    switch (r) {
    case ERR_SIGN_IN:
        menu_error_form_sync(game, gui);
        game.valid();
        game.next(_menu_error_context(game));
        // What the service refused before the player signed in goes on now.
        game_web_signed_in(game);
        break;
    case ERR_ACCOUNT:
        menu_error_form_sync(game, gui);
        _menu_error_open(game, "/velquist/manage.php");
        break;
    case ERR_DOWNLOAD: _menu_error_open(game, "/velquist/download.php"); break;
    case ERR_LATER: game.next(_menu_error_context(game)); break;
    default: break;
    }
}

void MenuError::loop() { gui.loop(); }

// ---------------------------------------------------------------- credits

const char* const menu_credits_text[] = {
    "Velquist",
    "1.0.3-Desktop-Linux-KAVODEL",
    "",
    "A game by the Velquist team",
    "",
    "Thanks",
    "Everyone who played the early builds and told us where they got lost",
    "The people behind the libraries listed below",
    "Our families and friends, for their patience",
    "",
    "Beta Testers",
    "The players of the first public builds",
    "",
    "Libs",
    "SDL 1.2 and SDL_image - Sam Lantinga and the SDL contributors",
    "OpenGL and GLU - the Mesa 3D project",
    "SQLite - D. Richard Hipp and the SQLite developers (public domain)",
    "zlib - Jean-loup Gailly and Mark Adler",
    "jsoncpp - Baptiste Lepilleur and the JsonCpp contributors",
    "OpenAL Soft - Chris Robinson and contributors",
    "libsndfile - Erik de Castro Lopo and contributors",
    "FreeType and the DejaVu fonts - used when the fonts are built",
    "GoogleTest - Google",
    "Vector maths, MD5 and Base64 - our own code",
    "",
    "Artwork",
    "Images, textures and tiles drawn by our own art tools",
    "Sounds, music and maps generated by our own tools",
    "",
    "Fonts",
    "DejaVu Sans - the DejaVu fonts team",
    "based on Bitstream Vera by Bitstream, Inc.",
    "",
    "Thank you for playing!",
    "",
    nullptr,
};

// A column of centred lines placed just below the bottom of the screen.
static void _menu_scroller_init(Container& gui, const char* const* lines) {
    gui = Container();
    Font f(font_load("font1"));
    Table* t = new Table();
    t->name = "text";
    for (int i = 0; lines[i]; i++) {
        Label* l = new Label(f, lines[i]);
        l->style.width = SCROLL_LINE_W;
        l->style.align = ALIGN_CENTER;
        l->style.set_padding(SCROLL_PADDING);
        _menu_row(t, l);
    }
    menu_measure(t);
    gui.add(t, 0, CANVAS_H);
}

// Moves the text up; once its last line has left the top, back to the main menu.
static void _menu_scroller_loop(Game& game, Container& gui) {
    Widget* t = gui.find("text");
    if (t) {
        const MyRect& r = t->outer_box();
        t->move_to(r.x, r.y - SCROLL_STEP);
        if (r.y + r.h < 0) {
            game.next(STATE_MENU_MAIN);
            return;
        }
    }
    gui.loop();
}

// Escape or a click anywhere ends the text.
static void _menu_scroller_event(Game& game, Container& gui, Event& e) {
    gui.event(&e);
    if ((e.type == EVT_KEYDOWN && e.v == KEY_ESCAPE) || e.type == EVT_UP) game.next(STATE_MENU_MAIN);
}

void MenuCredits::init() { _menu_scroller_init(gui, menu_credits_text); }
void MenuCredits::deinit() {}
void MenuCredits::paint() {
    // The text moves every tick, so every frame is drawn: night blue rather
    // than the backdrop, whose picture would be filled in again each time.
    gfx_clear_color(UI_NIGHT_DEEP);
    paint_widgets();
}
void MenuCredits::event(Event e) { _menu_scroller_event(game, gui, e); }
void MenuCredits::loop() { _menu_scroller_loop(game, gui); }
