// Watching how a map was won. The replay drives the player through the same
// steps the service checks replays with (logic_replay_setup and _step), a
// tick at a time at the pace the watcher picks; the rules run with a host of
// this screen's, so that a win or a death only ends the show, and no usage
// event leaves the game.
//
// Sections: the run, the rules' host, starting, the screen.
#include "watch_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base64.h"
#include "font.h"
#include "game_web.h"
#include "gfx.h"
#include "level.h"
#include "logic.h"
#include "menu.h"
#include "myview.h"
#include "util.h"
#include "widgets.h"

namespace {

enum {
    // Codes of the screen's widgets.
    WATCH_PAUSE = 1, WATCH_X1 = 2, WATCH_X2 = 3, WATCH_X4 = 4, WATCH_LEAVE = 5, WATCH_AGAIN = 6,
    // The bar along the bottom, as play's.
    BAR_TURN_SIZE = 76, BAR_TURN_PADDING = 10, BAR_ALPHA = 34,
    BUTTON_H = 60, BUTTON_WIDE = 150, BUTTON_SPEED = 80,
    DIALOG_W = 520,
    END_COLOR_LOST = 0xFF8866,
    CAMERA_BUTTON = 4,  // the wheel zooms even over the bar
    TICKS_PER_MINUTE = 60 * TICKS_PER_SECOND,
};

// Ticks of the replay per frame for each speed button.
const struct {
    int code, speed;
    const char* text;
} SPEEDS[] = {{WATCH_X1, 1, "x1"}, {WATCH_X2, 2, "x2"}, {WATCH_X4, 4, "x4"}};

// ---------------------------------------------------------------- the run

struct WatchRun {
    WatchProgress progress;
    int back = STATE_MENU_MAIN;
    std::string lid;       // online: the map whose replay is awaited
    LogicReplay replay;
    LevelData start;       // the map as the replay starts it
    LogicReplayCursor at;
    // What watching must give back: the play copy, the rules' random
    // numbers, the count of rewind snapshots and the editor's mark of a map
    // beaten cleanly.
    LevelData kept;
    unsigned rng = 1;
    int rewinds = 0;
    int dirty = 0;
};
WatchRun _watch;

std::string _watch_title(const LevelData& lev) { return std::string(lev.title, strnlen(lev.title, sizeof(lev.title))); }

std::string _watch_clock(int ticks) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%d:%02d", ticks / TICKS_PER_MINUTE, (ticks % TICKS_PER_MINUTE) / TICKS_PER_SECOND);
    return buf;
}

// ---------------------------------------------------------------- the rules' host

// Sounds as in play; where the rules would switch screens is only noted in
// Game::state; usage events are dropped.
class WatchHost : public GameHost {
public:
    GameHost* shell;
    explicit WatchHost(GameHost* s) : shell(s) {}
    void play_sound(Game& g, const char* name) override {
        if (shell) shell->play_sound(g, name);
    }
    void next(Game& g, int state) override { g.state = state; }
    void track(Game&, const char*, const char*, const char*, int) override {}
};

// Runs f as the rules expect to run: on the play screen, recording nothing,
// with the watch's host. Returns the screen the rules asked for.
template <typename F>
int _watch_rules(Game& game, F f) {
    WatchHost host(game.host);
    GameHost* shell = game.host;
    LogicReplay* recording = game.replay;
    int screen = game.state;
    game.host = &host;
    game.replay = nullptr;
    game.state = STATE_LEVEL;
    f();
    int asked = game.state;
    game.state = screen;
    game.host = shell;
    game.replay = recording;
    return asked;
}

void _watch_setup(Game& game) {
    _watch_rules(game, [&] { logic_replay_setup(game, _watch.start, _watch.replay, _watch.at); });
    WatchProgress& p = _watch.progress;
    p.phase = WATCH_PLAYING;
    p.tick = 0;
    p.ticks = _watch.replay.ticks;
    p.ended = 0;
    p.paused = false;
    // The whole map in view above the bar, as play starts.
    LevelData& lev = game.level;
    GfxRect view = gfx_get_view();
    lev.zoom = lev.tzoom = myview_frame_map(game, lev, view.h > 0 ? WBOMB_SIZE / view.h : 0);
    myview_pointer(false);
}

void _watch_step(Game& game) {
    WatchProgress& p = _watch.progress;
    int asked = _watch_rules(game, [&] { logic_replay_step(game, _watch.replay, _watch.at); });
    p.tick = _watch.at.tick;
    if (asked != STATE_LEVEL || p.tick >= p.ticks) {
        p.phase = WATCH_DONE;
        p.ended = asked;
    }
}

// The replay read and matched against the map in _edit; false, with a
// notice that says why, when it cannot be watched.
bool _watch_load(Game& game, const std::string& b64) {
    std::string bytes;
    int opened = LOGIC_REPLAY_UNREADABLE;
    if (base64_decode(b64, &bytes)) opened = logic_replay_open(game._edit, bytes, _watch.replay, _watch.start);
    if (opened == LOGIC_REPLAY_WON) return true;
    std::string title = _watch_title(game._edit);
    game_notice(opened == LOGIC_REPLAY_OTHER_MAP ? "The replay of " + title + " was made on another version of the map."
                                                 : "The replay of " + title + " cannot be read.",
                GAME_NOTICE_LONG);
    return false;
}

void _watch_keep(Game& game, int back) {
    _watch.kept = game.level;
    _watch.rng = game.rng;
    _watch.rewinds = game._rewind_n;
    _watch.dirty = game._edit.dirty;
    _watch.back = back;
    _watch.lid.clear();
    _watch.progress = WatchProgress();
}

Label* _watch_label(const char* font, const std::string& text, int color = 0) {
    Label* l = new Label(Font(font_load(font)), text.c_str());
    if (color) l->style.color = color;
    return l;
}

}  // namespace

const WatchProgress& watch_progress() { return _watch.progress; }

// ---------------------------------------------------------------- starting

void watch_confirm(Container& gui) {
    if (gui.find("watch-ask")) return;
    Table* t = new Table();
    Label* ask = _watch_label("font1", "This shows how the map is won. Watch it?");
    ask->style.width = DIALOG_W;
    ask->style.align = ALIGN_CENTER;
    t->tr();
    t->td(ask, 2);
    t->tr();
    t->td(_watch_label("font3", ""), 2);
    t->tr();
    t->td(w_button_size("Cancel", MENU_NO, BUTTON_WIDE + BUTTON_SPEED, BUTTON_H, 0));
    t->td(w_button_size("Watch", MENU_WATCH_GO, BUTTON_WIDE + BUTTON_SPEED, BUTTON_H, gfx_img_load("box3")));
    w_dialog(gui, t, "watch-ask");
}

void watch_open(Game& game, const std::string& b64, int back) {
    _watch_keep(game, back);
    if (!_watch_load(game, b64)) return;
    _watch_setup(game);
    game.next(STATE_WATCH);
}

void watch_open_online(Game& game, int back) {
    _watch_keep(game, back);
    _watch.lid = std::string(game._edit.name, strnlen(game._edit.name, sizeof(game._edit.name)));
    game_web_replay(game, _watch.lid);
    game.next(STATE_WATCH);
}

// ---------------------------------------------------------------- the screen

// Play's bottom bar with the watch's own buttons: turn the camera, pause,
// the three speeds and the way out.
static void _watch_bar(Game& game, Container& gui) {
    const WatchProgress& p = _watch.progress;
    Table* bar = new Table();
    bar->name = "watch-bar";
    bar->tr();
    w_turn_buttons(bar, &game.level, BAR_TURN_SIZE, BAR_TURN_PADDING);
    GfxRect view = gfx_get_view();
    int buttons = 2 * WBOMB_SIZE + 2 * BUTTON_WIDE + (int)MY_COUNT(SPEEDS) * BUTTON_SPEED;
    int gap = std::max(0, (int)view.w - buttons);
    int box3 = gfx_img_load("box3");
    Widget* left = new Widget();
    left->style.width = gap / 2;
    bar->td(left);
    bar->td(w_button_size(p.paused ? "Resume" : "Pause", WATCH_PAUSE, BUTTON_WIDE, BUTTON_H, 0));
    for (const auto& s : SPEEDS)
        bar->td(w_button_size(s.text, s.code, BUTTON_SPEED, BUTTON_H, s.speed == p.speed ? box3 : 0));
    Widget* right = new Widget();
    right->style.width = gap - gap / 2;
    bar->td(right);
    bar->td(w_button_size("Leave", WATCH_LEAVE, BUTTON_WIDE, BUTTON_H, 0));
    bar->style.img = gfx_img_load("white");
    bar->style.img_alpha = BAR_ALPHA;
    bar->style.width = (int)view.w;
    gui.add(bar, (int)view.x, (int)(view.y + view.h) - WBOMB_SIZE);
}

// The short panel the show ends on: how it went, and the way back.
static void _watch_end(Game& game, Container& gui) {
    const WatchProgress& p = _watch.progress;
    bool won = p.ended == STATE_LEVEL_WIN && p.tick == p.ticks;
    Table* t = new Table();
    Label* head = _watch_label(FONT_HEADING, won ? "That is how it was won" : "This replay does not win the map",
                               won ? (int)UI_CYAN : (int)END_COLOR_LOST);
    head->name = "watch-end";
    t->tr();
    t->td(new Box(head), 2);
    t->tr();
    t->td(new Box(_watch_label("font1", _watch_title(game.level) + "  -  " + _watch_clock(game.level.timer),
                               UI_TEXT_DIM)),
          2);
    t->tr();
    t->td(_watch_label("font3", ""), 2);
    t->tr();
    t->td(w_button_size("Watch again", WATCH_AGAIN, BUTTON_WIDE + BUTTON_SPEED, BUTTON_H, 0));
    t->td(w_button_size("Back", WATCH_LEAVE, BUTTON_WIDE + BUTTON_SPEED, BUTTON_H, gfx_img_load("box3")));
    Box* page = new Box(w_text_panel(t));
    page->style.width = CANVAS_W;
    page->style.height = CANVAS_H;
    gui.add(page, 0, 0);
}

void Watch::init() {
    gui = Container();
    GfxRect view = gfx_get_view();
    const WatchProgress& p = _watch.progress;
    if (p.phase == WATCH_LOADING) {
        Table* t = new Table();
        t->tr();
        t->td(new Box(_watch_label("font2", "Fetching how " + _watch_title(game._edit) + " was won...")));
        t->tr();
        t->td(_watch_label("font3", ""));
        t->tr();
        t->td(w_button_size("Cancel", WATCH_LEAVE, BUTTON_WIDE + BUTTON_SPEED, BUTTON_H, 0));
        Box* page = new Box(w_text_panel(t));
        page->style.width = CANVAS_W;
        page->style.height = CANVAS_H;
        gui.add(page, 0, 0);
        return;
    }
    Widget* title = w_text_panel(_watch_label("font1", "Watching how it was won: " + _watch_title(game.level)));
    title->name = "watch-title";
    gui.add(title, (int)view.x, (int)view.y);
    if (p.phase == WATCH_PLAYING) _watch_bar(game, gui);
    else _watch_end(game, gui);
}

// Gives back what watching borrowed. The screen it returns to is made the
// current one already, so that a game ended while watching saves the list,
// not the show.
void Watch::deinit() {
    game.level = _watch.kept;
    game.rng = _watch.rng;
    game._rewind_n = _watch.rewinds;
    game._edit.dirty = _watch.dirty;
    _watch.lid.clear();
    game.state = _watch.back;
}

void Watch::loop() {
    WatchProgress& p = _watch.progress;
    if (p.phase == WATCH_LOADING) {
        const GameWebReplay& r = game_web_replay_fetched();
        if (r.lid != _watch.lid || r.status == GAME_WEB_WAITING) return;
        if (r.status == GAME_WEB_READY && _watch_load(game, r.b64)) {
            _watch_setup(game);
            init();
            return;
        }
        if (r.status == GAME_WEB_FAILED)
            game_notice("Could not watch " + _watch_title(game._edit) + ": " + r.why, GAME_NOTICE_LONG);
        game.next(_watch.back);
        return;
    }
    if (p.phase == WATCH_PLAYING && !p.paused) {
        for (int i = 0; i < p.speed && p.phase == WATCH_PLAYING; i++) _watch_step(game);
        if (p.phase == WATCH_DONE) init();
    }
    myview_loop(game, nullptr);
    gui.loop();
}

void Watch::paint() {
    if (_watch.progress.phase == WATCH_LOADING) {
        paint_over_backdrop();
        return;
    }
    game.gfx_3d();
    // Drawn as play draws it (the overhead view, the marks of play), which
    // the view tells by the screen code.
    game.state = STATE_LEVEL;
    myview_paint(game);
    game.state = STATE_WATCH;
    paint_widgets();
    if (_watch.progress.phase == WATCH_PLAYING) level_status_paint(level_status_lines(game.level));
    game.gfx_3d();
}

void Watch::event(Event e) {
    WatchProgress& p = _watch.progress;
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN) {
        if (e.v == KEY_ESCAPE) r = WATCH_LEAVE;
        if (p.phase == WATCH_PLAYING && (e.c == ' ' || e.v == KEY_p)) r = WATCH_PAUSE;
        for (const auto& s : SPEEDS)
            if (p.phase == WATCH_PLAYING && e.c == '0' + s.speed) r = s.code;
        if (p.phase == WATCH_DONE && e.v == KEY_RETURN) r = WATCH_LEAVE;
    }
    switch (r) {
    case WATCH_LEAVE: game.next(_watch.back); return;
    case WATCH_AGAIN:
        if (p.phase != WATCH_DONE) return;
        _watch_setup(game);
        init();
        return;
    case WATCH_PAUSE:
        p.paused = !p.paused;
        init();
        return;
    default: break;
    }
    for (const auto& s : SPEEDS) {
        if (r != s.code) continue;
        p.speed = s.speed;
        init();
        return;
    }
    if (p.phase == WATCH_LOADING) return;
    // The camera is the watcher's: turn, zoom, pan and the overhead view.
    if (!gui.hover || e.b == CAMERA_BUTTON || e.type == EVT_KEYDOWN) myview_event(game, e, nullptr);
}
