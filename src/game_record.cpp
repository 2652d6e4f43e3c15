// The Game record itself: construction, clearing, the settings record's
// repair, and the three calls through which the rules reach their host.
#include "game_record.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "game.h"
#include "util.h"

Game::Game() : _rewind(nullptr), host(nullptr) { clear_record(); }

Game::~Game() {
    free(_rewind);
    _rewind = nullptr;
    logic_scratch_free(scratch);
    scratch = nullptr;
}

void Game::clear_record() {
    version = state = parent = context = 0;
    memset(&level, 0, sizeof(level));
    memset(&ext, 0, sizeof(ext));
    memset(&_edit, 0, sizeof(_edit));
    memset(q_value, 0, sizeof(q_value));
    memset(q_title, 0, sizeof(q_title));
    memset(error_msg, 0, sizeof(error_msg));
    memset(&settings, 0, sizeof(settings));
    quit = 0;
    memset(tiles, 0, sizeof(tiles));
    _rewind_n = 0;
    fs_toggle_tmp = 0;
    memset(keys, 0, sizeof(keys));
}

void Game::next(int _state) {
    if (host) host->next(*this, _state);
}

void Game::play_sound(const char* name) {
    if (host) host->play_sound(*this, name);
}

void Game::track(const char* page, const char* category, const char* action, int value) {
    if (host) host->track(*this, page, category, action, value);
}

void GameHostHeadless::next(Game& game, int state) { game.state = state; }

void Game::settings_check() {
    std::string uid = std::string("g:") + settings.name;
    mystrcpy(settings.uid, sizeof(settings.uid), uid.c_str());
    if (!settings.udid[0])
        snprintf(settings.udid, sizeof(settings.udid), "time|%ld", (long)time(nullptr));
}

void game_settings_mend(Settings& s) {
    if (s.version < 1) {
        s.music = VOLUME_DEFAULT;
        s.sfx = VOLUME_DEFAULT;
    }
    if (s.vres == 0) s.vres = -1;
    if (s.vfull == 0) s.vfull = 1;
    s.version = 1;
    // The text fields come from a file: keep them terminated inside their widths.
    s.name[sizeof(s.name) - 1] = 0;
    s.passwd[sizeof(s.passwd) - 1] = 0;
    s.uid[sizeof(s.uid) - 1] = 0;
    s.udid[sizeof(s.udid) - 1] = 0;
    if (s.music < 0 || s.music > 100) s.music = VOLUME_DEFAULT;
    if (s.sfx < 0 || s.sfx > 100) s.sfx = VOLUME_DEFAULT;
}
