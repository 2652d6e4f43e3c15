// The game shell: start-up and shut-down, the screen table and screen switch,
// event pre-processing, one tick and one frame, video modes and volumes.
#include "game.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "driver.h"
#include "edit.h"
#include "font.h"
#include "game_web.h"
#include "gfx.h"
#include "gui.h"
#include "level.h"
#include "log.h"
#include "menu.h"
#include "mixer.h"
#include "myview.h"
#include "util.h"
#include "watch.h"
#include "web.h"

static const char* GAME_NAME = "Velquist";

enum {
    VIDEO_DEFAULT_W = 640, VIDEO_DEFAULT_H = 480,
    VIDEO_MIN_W = 480, VIDEO_MIN_H = 320,
    FRAMES_PER_SECOND = TICKS_PER_SECOND,
    KIB = 1024,
    ACTIVE_EVENT_TYPE = 1,  // SDL 1.2's window-activation event number
    // A packed window size keeps each side in 12 bits; a wider one is damage
    // (asking the display for it can take many seconds before it fails).
    VIDEO_MAX_SIDE = VRES_MASK,
    // The notice: a small dark panel in the top right corner, below the
    // screens' top row of buttons, clear of the bottom bars.
    NOTICE_PADDING = 12, NOTICE_CORNER = 20, NOTICE_TOP = 70, NOTICE_MARGIN = 10, NOTICE_SHADE = 200,
    NOTICE_TEXT_W = 360, NOTICE_COLOR = 0xFFFFFF, NOTICE_HINT_COLOR = 0xAAAAAA,
    NOTICE_FADE = TICKS_PER_SECOND,  // a timed notice fades out over its last second
    FRAME_REFRESH_TICKS = TICKS_PER_SECOND,  // a kept frame is drawn again at least this often
};

State* _game_states[STATE_TABLE_MAX];
static int _game_music_id = 0;

void _game_states_init(Game& g) {
    memset(_game_states, 0, sizeof(_game_states));
    _game_states[STATE_MENU_MAIN] = new MenuMain(g);
    _game_states[STATE_EDIT] = new Edit(g);
    _game_states[STATE_LEVEL] = new Level(g);
    _game_states[STATE_PAUSE] = new Pause(g);
    _game_states[STATE_REWIND] = new Rewind(g);
    _game_states[STATE_EDIT_INFO] = new EditInfo(g);
    _game_states[STATE_EDIT_MENU] = new EditMenu(g);
    _game_states[STATE_MENU_EDIT] = new MenuEdit(g);
    _game_states[STATE_MENU_PLAY] = new MenuPlay(g);
    _game_states[STATE_LEVEL_INTRO] = new LevelIntro(g);
    _game_states[STATE_MENU_SETTINGS] = new MenuSettings(g);
    _game_states[STATE_MENU_DOWNLOAD1] = new MenuDownload1(g);
    _game_states[STATE_LEVEL_WIN] = new LevelWin(g);
    _game_states[STATE_MENU_DOWNLOAD2] = new MenuDownload2(g);
    _game_states[STATE_EDIT_SHARE] = new EditShare(g);
    _game_states[STATE_MENU_ERROR] = new MenuError(g);
    _game_states[STATE_MENU_CREDITS] = new MenuCredits(g);
    _game_states[STATE_MENU_HELP] = new MenuHelp(g);
    _game_states[STATE_WATCH] = new Watch(g);
}

// Frees the screen objects; a later _game_states_init may build them again
// (the harness runs several games in one process).
static void _game_states_free() {
    for (State*& s : _game_states) {
        delete s;
        s = nullptr;
    }
}

static State* _game_screen(int code) {
    return (code >= 0 && code < STATE_TABLE_MAX) ? _game_states[code] : nullptr;
}

void game_screen_rebuild(Game& game) {
    if (State* s = _game_screen(game.state)) s->init();
}

// The host the rules reach the game through: sounds from the mixer, screens
// from the table above, usage events to the online service.
namespace {
class ShellHost : public GameHost {
public:
    void play_sound(Game& g, const char* name) override {
        mixer_sample_play(mixer_sample_load(name), g.settings.sfx / 100.0f, 0);
    }

    void next(Game& g, int _state) override {
        if (State* s = _game_screen(g.state)) s->deinit();
        if (_state < STATE_MENU_MAIN || _state > STATE_LAST) {
            // Only a damaged saved record can ask for a screen that does not exist.
            fprintf(stderr, "next: no screen %d, going to the main menu\n", _state);
            _state = STATE_MENU_MAIN;
        }
        g.state = _state;
        if (State* s = _game_screen(g.state)) s->init();
    }

    void track(Game& g, const char* page, const char* category, const char* action, int value) override {
        game_web_track(g, page, category, action, value);
    }
};

ShellHost _game_shell_host;
}  // namespace

void _game_tiles_init(Game& game) { game_tiles_parse(game, driver_data_load("tiles.json")); }

// Reads state.dat over the record; anything but version 1 leaves a fresh one.
static void _game_state_restore(Game& g) {
    g.clear_record();
    unsigned char* buf = (unsigned char*)calloc(1, GAME_STATE_FILE_SIZE);
    if (!buf) return;
    if (driver_doc_load("state.dat", buf, GAME_STATE_FILE_SIZE) > 0) {
        game_state_unpack(g, buf);
        if (g.version != 1) g.clear_record();
    }
    free(buf);
}

static void _game_state_store(Game& g) {
    unsigned char* buf = (unsigned char*)calloc(1, GAME_STATE_FILE_SIZE);
    if (!buf) return;
    game_state_pack(g, buf);
    driver_doc_save("state.dat", buf, GAME_STATE_FILE_SIZE);
    free(buf);
}

static const char GAME_REWIND_FILE[] = "rewind.dat";

// The rewind ring and the cause of death, for the play copy just restored;
// a missing, damaged or foreign file leaves the ring empty.
static void _game_rewind_restore(Game& g) {
    // One byte more than the layout, so that a longer file is refused.
    unsigned char* buf = (unsigned char*)malloc(GAME_REWIND_FILE_SIZE + 1);
    if (!buf) return;
    int n = driver_doc_load(GAME_REWIND_FILE, buf, GAME_REWIND_FILE_SIZE + 1);
    if (n > 0 && !game_rewind_unpack(g, buf, (size_t)n))
        fprintf(stderr, "%s does not belong to the saved play, not used\n", GAME_REWIND_FILE);
    free(buf);
}

// Only a run that resumes on the pause screen can rewind; otherwise the
// file would only take room (and is removed).
static void _game_rewind_store(Game& g) {
    bool playing = g.state == STATE_LEVEL || g.state == STATE_PAUSE || g.state == STATE_REWIND;
    if (!playing || !game_rewind_worth_keeping(g)) {
        remove(driver_doc_fname(GAME_REWIND_FILE));
        return;
    }
    unsigned char* buf = (unsigned char*)malloc(GAME_REWIND_FILE_SIZE);
    if (!buf) return;
    game_rewind_pack(g, buf);
    driver_doc_save(GAME_REWIND_FILE, buf, GAME_REWIND_FILE_SIZE);
    free(buf);
}

int game_vres_safe(int vres) {
    if (vres < 1) return vres;
    int w = vres >> VRES_SHIFT, h = vres & VRES_MASK;
    if (w >= VIDEO_MIN_W && h >= VIDEO_MIN_H && w <= VIDEO_MAX_SIDE && h <= VIDEO_MAX_SIDE) return vres;
    fprintf(stderr, "settings.dat: window size %dx%d makes no sense, using the desktop's size\n", w, h);
    return -1;
}

static void _game_settings_restore(Game& g) {
    memset(&g.settings, 0, sizeof(g.settings));
    driver_doc_load("settings.dat", &g.settings, sizeof(g.settings));
    game_settings_mend(g.settings);
    g.settings.vres = game_vres_safe(g.settings.vres);
}

// Choices that settings.dat has no room for, in a file of their own beside
// it: a version, then whether blasts shake the view. Anything else in the
// file's place leaves the defaults.
static const char GAME_OPTIONS_FILE[] = "options.dat";
enum { GAME_OPTIONS_VERSION = 1 };
struct GameOptions {
    int version;
    int screen_shake;
};

static void _game_options_restore(Game& g) {
    GameOptions o = {0, 1};
    if (driver_doc_load(GAME_OPTIONS_FILE, &o, sizeof(o)) == (int)sizeof(o) && o.version == GAME_OPTIONS_VERSION)
        g.screen_shake = o.screen_shake ? 1 : 0;
    else g.screen_shake = 1;
}

static void _game_options_store(const Game& g) {
    GameOptions o = {GAME_OPTIONS_VERSION, g.screen_shake ? 1 : 0};
    driver_doc_save(GAME_OPTIONS_FILE, &o, sizeof(o));
}

// ---------------------------------------------------------------- notices

static std::string _game_notice;
static int _game_notice_ticks = 0;  // left to show; GAME_NOTICE_STICKY: until clicked
static MyRect _game_notice_rect;    // where the notice was last drawn, canvas units

void game_notice(const std::string& text, int ticks) {
    _game_notice = text;
    _game_notice_ticks = ticks;
    _game_notice_rect = MyRect();
}

const std::string& game_notice_text() { return _game_notice; }

bool game_notice_area(int* x, int* y, int* w, int* h) {
    const MyRect& r = _game_notice_rect;
    *x = r.x, *y = r.y, *w = r.w, *h = r.h;
    return !_game_notice.empty() && r.w > 0;
}

static void _game_notice_clear() { game_notice(std::string(), 0); }

// How opaque the notice is now: whole, then fading out over its last ticks.
static float _game_notice_opacity() {
    if (_game_notice_ticks == GAME_NOTICE_STICKY || _game_notice_ticks >= NOTICE_FADE) return 1.0f;
    return (float)_game_notice_ticks / NOTICE_FADE;
}

static void _game_notice_line(Table* t, Font f, const std::string& line, int color) {
    Label* l = new Label(f, line.c_str());
    l->style.color = color;
    if (f.get_width(l->txt) > NOTICE_TEXT_W) l->style.width = NOTICE_TEXT_W;
    t->tr();
    t->td(l);
}

// The notice as a small dark panel, one label a line; one that stays says
// how it goes away.
static Box* _game_notice_panel() {
    Font f(font_load("font1"));
    Table* t = new Table();
    size_t start = 0;
    while (start <= _game_notice.size()) {
        size_t end = _game_notice.find('\n', start);
        if (end == std::string::npos) end = _game_notice.size();
        _game_notice_line(t, f, _game_notice.substr(start, end - start), NOTICE_COLOR);
        start = end + 1;
    }
    if (_game_notice_ticks == GAME_NOTICE_STICKY) _game_notice_line(t, f, "(click to close)", NOTICE_HINT_COLOR);
    // A framed dark box, as the buttons have, over a shade that keeps the
    // text readable on any map.
    Box* frame = new Box(t);
    frame->style.box_tex = gfx_img_load("box");
    frame->style.box_size = NOTICE_CORNER;
    frame->style.box_color = STYLE_WHITE;
    frame->style.set_padding(NOTICE_PADDING);
    Box* panel = new Box(frame);
    panel->style.img = gfx_img_load("black");
    panel->style.img_alpha = NOTICE_SHADE;
    panel->style.loop();
    panel->layout();
    return panel;
}

// Fading: what lay beneath the panel is copied before the panel is drawn,
// then laid back over it, the more opaque the further the fade has gone.
static unsigned int _game_notice_grab(const MyRect& r) {
    GfxRect hw = gfx_rect_to_hwrect(GfxRect((float)r.x, (float)r.y, (float)r.w, (float)r.h));
    hw.normalize();
    int ww = 0, wh = 0;
    driver_get_size(&ww, &wh);
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, (GLint)hw.x, (GLint)(wh - hw.y - hw.h), (GLsizei)hw.w,
                     (GLsizei)hw.h, 0);
    return tex;
}

static void _game_notice_paint() {
    if (_game_notice.empty()) return;
    Box* panel = _game_notice_panel();
    // The window's top right corner, below the screens' top row of buttons:
    // clear of the map's centre, where the player starts.
    GfxRect view = gfx_get_view();
    const MyRect& size = panel->outer_box();
    MyRect r((int)(view.x + view.w) - NOTICE_MARGIN - size.w, (int)view.y + NOTICE_TOP, size.w, size.h);
    _game_notice_rect = r;
    float opacity = _game_notice_opacity();
    unsigned int beneath = opacity < 1.0f ? _game_notice_grab(r) : 0;
    gfx_translate(r.x, r.y);
    panel->draw();
    gfx_translate(-r.x, -r.y);
    delete panel;
    if (!beneath) return;
    glColor4f(1, 1, 1, 1.0f - opacity);
    // Rows of the copy run from the bottom up.
    gfx_tex_blit2((int)beneath, 0, 1, 1, -1, (float)r.x, (float)r.y, (float)r.w, (float)r.h);
    glColor4f(1, 1, 1, 1);
    GLuint tex = beneath;
    glDeleteTextures(1, &tex);
}

void game_notice_paint(Game& game) {
    if (_game_notice.empty()) return;
    // Drawn over the screen without changing what the screen left behind
    // (picking reads the matrices of the last frame).
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    game.gfx_2d();
    _game_notice_paint();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// A click on the notice puts it away and goes no further.
static bool _game_notice_event(const Event& e) {
    if (_game_notice.empty() || (e.type != EVT_DOWN && e.type != EVT_UP)) return false;
    const MyRect& r = _game_notice_rect;
    if (e.x < r.x || e.x >= r.x + r.w || e.y < r.y || e.y >= r.y + r.h) return false;
    if (e.type == EVT_UP) _game_notice_clear();
    return true;
}

// ---------------------------------------------------------------- kept frames

// The frame on screen, when a still screen drew it: its fingerprint and how
// many ticks it has been kept. What lies in the back buffer after a swap is
// undefined on many systems, so a kept frame is neither drawn nor swapped.
static bool _game_frame_kept = false;
static uint64_t _game_frame_print = 0;
static int _game_frame_age = 0;

// The frame on screen can no longer be trusted (a new window, an expose).
static void _game_frame_lost() { _game_frame_kept = false; }

// Takes the fingerprint of the still screen's frame; true when the frame on
// screen is that frame. Refreshed once a second in any case, against damage
// that the platform never reported.
static bool _game_frame_same(Game& game, State* s) {
    gfx_fingerprint_begin();
    s->paint();
    game_notice_paint(game);
    uint64_t print = gfx_fingerprint_end();
    bool same = _game_frame_kept && print == _game_frame_print && _game_frame_age < FRAME_REFRESH_TICKS;
    _game_frame_print = print;
    return same;
}

void Game::init() {
    host = &_game_shell_host;
    running = 0;
    exit_status = 0;
    death_cause = DEATH_NONE;
    _game_notice_clear();
    driver_init();
    driver_set_gamename(GAME_NAME);
    driver_set_caption(GAME_NAME);
    _game_state_restore(*this);
    _game_settings_restore(*this);
    _game_options_restore(*this);
    settings_check();
    version = 1;
    quit = 0;
    driver_timer_set(FRAMES_PER_SECOND);
    kv_web_init();
    if (!video_reset()) {
        // Without a window there is no game: say why, and leave every user
        // file as it was (nothing of this run is worth writing).
        fprintf(stderr,
                "Velquist cannot start: it needs an OpenGL window (SDL 1.2 with GLX on an X display, "
                "DISPLAY=%s) and the platform answered: %s\n",
                getenv("DISPLAY") ? getenv("DISPLAY") : "(not set)", driver_video_error());
        quit = 1;
        exit_status = 1;
        kv_web_deinit();
        driver_deinit();
        return;
    }
    mixer_init();
    _game_states_init(*this);
    game_db_open_user(*this, driver_doc_fname("user.db"));
    game_db_open_shipped(*this, gamedb, driver_data_fname("game.db"));
    game_db_open(*this, netdb, driver_doc_fname("net.db"));
    _game_tiles_init(*this);
    free(_rewind);
    _rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    _game_rewind_restore(*this);
    if (state == STATE_NONE) state = STATE_MENU_MAIN;
    if (state == STATE_LEVEL) state = STATE_PAUSE;
    next(state);
    valid();
    log_info("sizeof(level) = %dk\n", (int)(sizeof(LevelData) / KIB));
    log_info("sizeof(_rewind) = %dk\n", (int)(sizeof(_rewind) / KIB));
    log_info("sizeof(game) = %dk\n", (int)(GAME_STATE_FILE_SIZE / KIB));
    play_music("menus");
    running = 1;
}

void Game::deinit() {
    // A start that failed has written nothing and has nothing more to close.
    if (!running) return;
    running = 0;
    if (State* s = _game_screen(state)) s->deinit();
    driver_doc_save("settings.dat", &settings, sizeof(settings));
    _game_options_store(*this);
    _game_state_store(*this);
    _game_rewind_store(*this);
    userdb.close();
    gamedb.close();
    free(_rewind);
    _rewind = nullptr;
    game_web_close_all();
    _game_states_free();
    mixer_deinit();
    font_deinit();
    gfx_deinit();
    kv_web_deinit();
    driver_deinit();
}

void Game::event(Event e) {
    if (e.type == EVT_ORIENT) gfx_set_orient((float)e.v);
    // The window was shown, uncovered or redrawn by the platform.
    if (e.type == EVT_SDLEVENT) _game_frame_lost();
    if (e.type == EVT_SDLEVENT && e.stype == ACTIVE_EVENT_TYPE && (e.b & ACTIVE_SHOWN) && e.v &&
        fs_toggle_tmp) {
        fs_toggle_tmp = 0;
        video_reset();
        game_screen_rebuild(*this);
    }
    gfx_event_correct(&e);
    int key = e.v & 0xFF;
    if (e.type == EVT_KEYUP) keys[key] = 0;
    if (_game_notice_event(e)) return;
    if (State* s = _game_screen(state)) s->event(e);
    if (e.type == EVT_KEYDOWN) keys[key] = 1;
}

void Game::loop() {
    game_web_poll(*this);
    if (State* s = _game_screen(state)) s->loop();
    if (_game_notice_ticks > 0 && --_game_notice_ticks == 0) _game_notice_clear();
}

// Whether the last video_reset left a window to draw in.
static bool _game_video_ok = false;

void Game::paint() {
    if (!_game_video_ok) return;
    State* s = _game_screen(state);
    bool still = s && s->still();
    if (still && _game_frame_same(*this, s)) {
        _game_frame_age++;
        driver_timer_tick();
        return;
    }
    // The fingerprint already moved this tick's fades one step.
    StyleSheet::hold(still);
    gfx_clear();
    if (s) s->paint();
    game_notice_paint(*this);
    StyleSheet::hold(false);
    driver_video_flip();
    _game_frame_kept = still;
    _game_frame_age = 0;
    driver_timer_tick();
}

bool Game::video_reset() {
    _game_frame_lost();
    font_deinit();
    gfx_deinit();
    int ww = 0, hh = 0;
    if (settings.vres >= 1) {
        ww = settings.vres >> VRES_SHIFT;
        hh = settings.vres & VRES_MASK;
    }
    int full = fs_toggle_tmp ^ (settings.vfull != -1 ? 1 : 0);
    _game_video_ok = driver_video_init(ww, hh, VIDEO_DEFAULT_W, VIDEO_DEFAULT_H, VIDEO_MIN_W, VIDEO_MIN_H, full);
    if (!_game_video_ok) {
        // Started and then lost (the display went away): end the run, and
        // save it, since the record is the player's work.
        if (running) {
            fprintf(stderr, "Velquist: no video mode can be set any more (%s); saving and quitting\n",
                    driver_video_error());
            quit = 1;
            exit_status = 1;
        }
        return false;
    }
    gfx_init();
    gfx_set_size(CANVAS_W, CANVAS_H);
    gfx_set_orient(0);
    font_init();
    myview_flush();
    menu_backdrop_flush();
    return true;
}

void Game::gfx_3d() {
    myview_projection(*this, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
}

void Game::gfx_2d() {
    gfx_ortho();
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

void Game::play_music(const char* name) {
    _game_music_id = mixer_stream_load(name);
    mixer_stream_play(_game_music_id, settings.music / 100.0f);
}

void Game::stop_music() { mixer_stream_stop(_game_music_id); }

void Game::reset_volume() { mixer_stream_volume(_game_music_id, settings.music / 100.0f); }
