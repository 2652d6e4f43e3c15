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
#include "level.h"
#include "menu.h"
#include "mixer.h"
#include "myview.h"
#include "util.h"
#include "web.h"

static const char* GAME_NAME = "Velquist";

enum {
    VIDEO_DEFAULT_W = 640, VIDEO_DEFAULT_H = 480,
    VIDEO_MIN_W = 480, VIDEO_MIN_H = 320,
    FRAMES_PER_SECOND = TICKS_PER_SECOND,
    KIB = 1024,
    ACTIVE_EVENT_TYPE = 1  // SDL 1.2's window-activation event number
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
        if (_state < STATE_MENU_MAIN || _state > STATE_MENU_HELP) {
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

static void _game_settings_restore(Game& g) {
    memset(&g.settings, 0, sizeof(g.settings));
    driver_doc_load("settings.dat", &g.settings, sizeof(g.settings));
    game_settings_mend(g.settings);
}

void Game::init() {
    host = &_game_shell_host;
    driver_init();
    driver_set_gamename(GAME_NAME);
    driver_set_caption(GAME_NAME);
    _game_state_restore(*this);
    _game_settings_restore(*this);
    settings_check();
    version = 1;
    quit = 0;
    driver_timer_set(FRAMES_PER_SECOND);
    kv_web_init();
    video_reset();
    mixer_init();
    _game_states_init(*this);
    game_db_open(*this, userdb, driver_doc_fname("user.db"));
    game_db_open_shipped(*this, gamedb, driver_data_fname("game.db"));
    game_db_open(*this, netdb, driver_doc_fname("net.db"));
    _game_tiles_init(*this);
    free(_rewind);
    _rewind = (LevelData*)calloc(REWIND_MAX, sizeof(LevelData));
    if (state == STATE_NONE) state = STATE_MENU_MAIN;
    if (state == STATE_LEVEL) state = STATE_PAUSE;
    next(state);
    valid();
    fprintf(stderr, "sizeof(level) = %dk\n", (int)(sizeof(LevelData) / KIB));
    fprintf(stderr, "sizeof(_rewind) = %dk\n", (int)(sizeof(_rewind) / KIB));
    fprintf(stderr, "sizeof(game) = %dk\n", (int)(GAME_STATE_FILE_SIZE / KIB));
    play_music("menus");
}

void Game::deinit() {
    if (State* s = _game_screen(state)) s->deinit();
    driver_doc_save("settings.dat", &settings, sizeof(settings));
    _game_state_store(*this);
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
    if (e.type == EVT_SDLEVENT && e.stype == ACTIVE_EVENT_TYPE && (e.b & ACTIVE_SHOWN) && e.v &&
        fs_toggle_tmp) {
        fs_toggle_tmp = 0;
        video_reset();
        if (State* s = _game_screen(state)) s->init();
    }
    gfx_event_correct(&e);
    int key = e.v & 0xFF;
    if (e.type == EVT_KEYUP) keys[key] = 0;
    if (State* s = _game_screen(state)) s->event(e);
    if (e.type == EVT_KEYDOWN) keys[key] = 1;
}

void Game::loop() {
    game_web_poll(*this);
    if (State* s = _game_screen(state)) s->loop();
}

void Game::paint() {
    gfx_clear();
    if (State* s = _game_screen(state)) s->paint();
    driver_video_flip();
    driver_timer_tick();
}

void Game::video_reset() {
    font_deinit();
    gfx_deinit();
    int ww = 0, hh = 0;
    if (settings.vres >= 1) {
        ww = settings.vres >> VRES_SHIFT;
        hh = settings.vres & VRES_MASK;
    }
    int full = fs_toggle_tmp ^ (settings.vfull != -1 ? 1 : 0);
    driver_video_init(ww, hh, VIDEO_DEFAULT_W, VIDEO_DEFAULT_H, VIDEO_MIN_W, VIDEO_MIN_H, full);
    gfx_init();
    gfx_set_size(CANVAS_W, CANVAS_H);
    gfx_set_orient(0);
    font_init();
    myview_flush();
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
