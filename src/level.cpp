// The play screens: the map in play with its heads-up display, the intro and
// win screens that frame a play, and the rewind.
//
// Sections: helpers, Level, LevelIntro, LevelWin, Rewind.
#include "level_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "font.h"
#include "game_web.h"
#include "gfx.h"
#include "logic.h"
#include "menu.h"
#include "myview.h"
#include "widgets.h"

namespace {

enum {
    // Heads-up display.
    HUD_ROTATE_SIZE = 76,               // turn buttons: 76 + 2 x 10 padding = one bomb button
    HUD_ROTATE_PADDING = 10,
    HUD_SPACER_W = 192,
    HUD_BAR_ALPHA = 34,                 // the bar is a faint white band
    HUD_PAUSE_CODE = 3,
    HUD_PAUSE_COLOR = 0xAAAAAA,
    HUD_PAUSE_PAD_V = 10, HUD_PAUSE_PAD_H = 20,
    HUD_TEXT_MARGIN = 10,               // status lines: from the right and the top
    HUD_WORD_GAP = 6, HUD_WORD_COLOR = UI_TEXT_DIM,  // the word before each status number
    HUD_PANEL_ALPHA = 220, HUD_PANEL_PAD = 6,      // the status lines' dark panel
    HUD_TIMER_W = 192,                  // one countdown cell
    HUD_TIMER_PADDING = 5,
    HUD_EMP_COLOR = 0xFF5555,
    HUD_PLATE_PAD = 6,                  // a time bomb's countdown on its dark plate
    HUD_PLATE_ALPHA = 170,
    HUD_EMP_PLACED = 300,               // a placed EMP bomb shows the pulse it will give
    ROUND_HALF = TICKS_PER_SECOND / 2,  // countdowns round to the nearest second
    TICKS_PER_MINUTE = 60 * TICKS_PER_SECOND,
    BOMB_KEY_OFFSET = '1' - D_BOMB1,    // keys 1..4 place bombs 19..22
    WALK_UP = 0, WALK_RIGHT = 1, WALK_DOWN = 2, WALK_LEFT = 3, WALK_KEYS = 4,
    PICK_BUTTON = 1,                    // the button that walks
    CAMERA_BUTTON = 4,                  // wheel up: zooms even over the bar
    DEATH_SLOWDOWN = 2,                 // a death plays at half speed
    DEATH_EDGE_TICKS = 10,              // the red edge's rise, in screen ticks
    DEATH_EDGE_COLOR = 0xE01818,

    // Intro.
    INTRO_TEXT_W = 640,
    INTRO_TEXT_COLOR = 0xCCCCCC,

    // Win screen and its points.
    // The map around the panel keeps over half its brightness: a dark map
    // dimmed any further reads as a black screen with a few stray bricks.
    WIN_SHADE_ALPHA = 96,
    WIN_PANEL_ALPHA = 200,
    WIN_DIM_COLOR = UI_TEXT_DIM,
    WIN_SCORE_COLOR = 0xFFFFFF,
    WIN_CELL_V = 10, WIN_CELL_H = 20,   // cell margins: top and bottom, right and left
    WIN_CONTINUE = 1,
    WIN_COUNT_STEP = 33,                // points counted into the score per tick
    WIN_STARS_SIZE = 60,
    WIN_ROWS = 3,                       // time, cartridges, bombs left
    WIN_TICK_EVERY = 3,                 // a tick sound every third counting step
    WIN_BADGE_PADDING = 6, WIN_BADGE_BORDER = 2,

    // Rewind.
    REWIND_PENALTY = 20 * TICKS_PER_SECOND,
    REWIND_FREE_TICKS = TICKS_PER_SECOND  // no penalty for a second of play or less
};

const float DEATH_EDGE_MAX = 0.85f;  // the red edge at its strongest
const float HUD_BOMB_LABEL_HEIGHT = 1.6f;  // over the bomb's picture
const float INTRO_ZOOM_FROM = 50.0f;
const float INTRO_ZOOM_TO = 12.5f;  // until the intro has framed the map
float _level_intro_zoom = INTRO_ZOOM_TO;

// A fixed-width text field of the map record as a string, terminated or not.
std::string _level_text(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

std::string _level_clock(int ticks) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%d:%02d", ticks / TICKS_PER_MINUTE, (ticks % TICKS_PER_MINUTE) / TICKS_PER_SECOND);
    return buf;
}

// "0:ss" of a countdown, rounded to the nearest second.
std::string _level_countdown(int ticks) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%d:%02d", 0, (ticks + ROUND_HALF) / TICKS_PER_SECOND);
    return buf;
}

std::string _level_int(int v) {
    char buf[16];
    snprintf(buf, sizeof(buf), "%d", v);
    return buf;
}

Label* _level_label(const char* font, const std::string& text) {
    return new Label(Font(font_load(font)), text.c_str());
}

// The integer part of v, kept inside the int range.
int _level_trunc(float v) {
    if (!(v > -MAP_SIZE)) return -MAP_SIZE;
    if (v > 2 * MAP_SIZE) return 2 * MAP_SIZE;
    return (int)v;
}

// Walking keys held on the play screen, by WALK_ index.
int level_keys[WALK_KEYS];

// The recording of the play in progress (Game::replay while playing).
LogicReplay level_replay;

// Ticks of the screen since the player died (the fall plays slowed).
int level_slow_ticks;

}  // namespace

// ---------------------------------------------------------------- Level

void Level::init() {
    for (int& k : level_keys) k = 0;
    level_slow_ticks = 0;
    gui = Container();
    myview_pointer(false);  // until the pointer is seen over the map
    LevelData& lev = game.level;
    game.replay = &level_replay;
    if (!lev.is_init) {
        // A map just copied in (or restarted): set it up, then the intro first.
        logic_play_start(game);
        game.next(STATE_LEVEL_INTRO);
        return;
    }

    Table* bar = new Table();
    bar->tr();
    w_turn_buttons(bar, &lev, HUD_ROTATE_SIZE, HUD_ROTATE_PADDING);
    // The bar spans the window: what the window has beyond the canvas
    // widens the gap between the turn and the bomb buttons.
    GfxRect view = gfx_get_view();
    int extra = std::max(0, (int)view.w - CANVAS_W);
    for (int i = 0; i < 2; i++) {
        Widget* spacer = new Widget();
        spacer->style.width = HUD_SPACER_W + (extra + i) / 2;
        bar->td(spacer);
    }
    for (int b = D_BOMB1; b <= D_BOMB4; b++) bar->td(new Box(new WBomb(game, b)));
    bar->style.img = gfx_img_load("white");
    bar->style.img_alpha = HUD_BAR_ALPHA;
    bar->style.width = CANVAS_W + extra;
    gui.add(bar, (int)view.x, (int)(view.y + view.h) - WBOMB_SIZE);

    Label* pause = _level_label("font2", "||");
    pause->onclick = HUD_PAUSE_CODE;
    pause->style.color = HUD_PAUSE_COLOR;
    pause->style.set_padding(HUD_PAUSE_PAD_V, HUD_PAUSE_PAD_H, HUD_PAUSE_PAD_V, HUD_PAUSE_PAD_H);
    gui.add(pause, (int)view.x, (int)view.y);
}

// The player is dying: the rules play the fall before the pause screen.
static bool _level_dying(Game& game) {
    Entity* p = logic_find(game, D_PLAYER);
    return p && p->state == D_DEAD && game.state == STATE_LEVEL;
}

void Level::loop() {
    // A death plays at half speed: the rules step every other tick, so what
    // happens is what would have happened, only seen slowly.
    if (_level_dying(game) && level_slow_ticks++ % DEATH_SLOWDOWN) {
        myview_loop(game, nullptr);
        gui.loop();
        return;
    }
    logic_play_tick(game);
    if (game.state == STATE_LEVEL_WIN) {
        level_record_best(game);
        game_replay_keep(game);
        game_web_proof(game);
    }
    myview_loop(game, nullptr);
    gui.loop();
}

// Keys held for walking: returns true when e was one of them.
static bool _level_walk_key(Game& game, const Event& e) {
    int k = -1;
    switch (e.v) {
    case KEY_w: k = WALK_UP; break;
    case KEY_d: k = WALK_RIGHT; break;
    case KEY_s: k = WALK_DOWN; break;
    case KEY_a: k = WALK_LEFT; break;
    default: return false;
    }
    level_keys[k] = e.type == EVT_KEYDOWN ? 1 : 0;
    int dx = level_keys[WALK_RIGHT] - level_keys[WALK_LEFT];
    int dy = level_keys[WALK_DOWN] - level_keys[WALK_UP];
    logic_player_walk(game, dx, dy);
    return true;
}

void Level::event(Event e) {
    int r = gui.event(&e);
    if (r == HUD_PAUSE_CODE) {
        game.next(STATE_PAUSE);
        return;
    }
    if (e.type == EVT_KEYDOWN) {
        if (e.v == KEY_ESCAPE) {
            game.next(STATE_PAUSE);
            return;
        }
        if (e.c >= '1' && e.c <= '4') {
            logic_bomb(game, e.c - BOMB_KEY_OFFSET);
            return;
        }
        const struct {
            int key, kind;
        } letters[] = {{KEY_z, D_BOMB1}, {KEY_x, D_BOMB2}, {KEY_c, D_BOMB3}, {KEY_v, D_BOMB4}};
        for (const auto& l : letters) {
            if (e.v == l.key) {
                logic_bomb(game, l.kind);
                return;
            }
        }
    }
    if (e.type == EVT_KEYDOWN || e.type == EVT_KEYUP) {
        if (_level_walk_key(game, e)) return;
    }
    bool on_map = !gui.hover;
    if (e.type == EVT_MOTION || e.type == EVT_DOWN) myview_pointer(on_map);
    if (e.type == EVT_EXIT || e.type == EVT_BLUR) myview_pointer(false);
    if (on_map || e.b == CAMERA_BUTTON || e.type == EVT_KEYDOWN) myview_event(game, e, nullptr);
    if (on_map && e.type == EVT_DOWN && e.b == PICK_BUTTON) {
        // The cell the pointer shows; the focus moves off it only when it
        // cannot be stood on.
        LevelData& lev = game.level;
        int cx, cy;
        if (!myview_pick(game, e._x, e._y, &cx, &cy)) return;
        lev.hover_x = cx + 0.5f;
        lev.hover_y = cy + 0.5f;
        logic_focus(game);
        int x = _level_trunc(lev.focus_x), y = _level_trunc(lev.focus_y);
        if (x >= 0 && x < MAP_SIZE && y >= 0 && y < MAP_SIZE) logic_click(game, x, y);
    }
}

std::vector<LevelStatusLine> level_status_lines(const LevelData& lev) {
    char share[16];
    double done = (double)(lev.t_pillars - lev.c_pillars) * 100.0 / (double)std::max(1, lev.t_pillars);
    snprintf(share, sizeof(share), "%d%%", (int)done);
    LevelStatusLine pillars("Pillars destroyed", share);
    if (lev.t_pillars <= 0) pillars = LevelStatusLine("", "No pillars: escape by a window");
    return {pillars,
            {"Data Cartridges", _level_int(lev.c_bonus) + " / " + _level_int(lev.t_bonus)},
            {"Time", _level_clock(lev.timer)}};
}

// The EMP's countdown across the top: of a placed EMP bomb, or of the pulse.
static void _level_paint_emp(Game& game) {
    LevelData& lev = game.level;
    int emp = 0;
    for (const Entity& e : lev.items)
        if (e.active && e.type == D_BOMB3) emp = HUD_EMP_PLACED;
    if (lev.emp) emp = lev.emp;
    if (!emp) return;  // nothing counts down: no row at all
    Table* row = new Table();
    row->tr();
    Label* l = new Label(Font(font_load("font2")), _level_countdown(emp).c_str());
    l->style.width = HUD_TIMER_W;
    l->style.align = ALIGN_CENTER;
    l->style.color = HUD_EMP_COLOR;
    row->td(l);
    row->style.set_padding(HUD_TIMER_PADDING);
    Box box(row);
    GfxRect view = gfx_get_view();
    box.style.width = (int)view.w;
    box.style.loop();
    box.layout();
    gfx_translate((int)view.x, (int)view.y);
    box.draw();
    gfx_translate(-(int)view.x, -(int)view.y);
}

std::vector<LevelBombLabel> level_bomb_labels(Game& game) {
    std::vector<LevelBombLabel> out;
    int f1 = font_load("font1");
    GfxRect view = gfx_get_view();
    for (int slot = 0; slot < ENTITY_MAX; slot++) {
        const Entity& e = game.level.items[slot];
        float wx, wy;
        if (!e.active || e.type != D_BOMB2) continue;
        if (!myview_project(e.x + 0.5f, HUD_BOMB_LABEL_HEIGHT, e.y + 0.5f, &wx, &wy)) continue;
        GfxRect at = gfx_hwpos_to_pos(GfxRect(wx, wy, 0, 0));
        LevelBombLabel l;
        l.slot = slot;
        l.text = _level_countdown(e.timer);
        l.w = (float)(font_get_width(f1, l.text.c_str()) + 2 * HUD_PLATE_PAD);
        l.h = (float)(font_get_height(f1, "", 0) + HUD_PLATE_PAD);
        // Inside the map's part of the window, and up off any plate placed before.
        l.x = std::max(view.x, std::min(at.x - l.w / 2, view.x + view.w - l.w));
        l.y = std::max(view.y + l.h, std::min(at.y - l.h, view.y + view.h - WBOMB_SIZE - l.h));
        for (bool moved = true; moved;) {
            moved = false;
            for (const LevelBombLabel& k : out)
                if (l.x < k.x + k.w && l.x + l.w > k.x && l.y < k.y + k.h && l.y + l.h > k.y) {
                    l.y = k.y - l.h;
                    moved = true;
                }
        }
        out.push_back(l);
    }
    return out;
}

// Each on a dark plate.
static void _level_paint_bomb_labels(const std::vector<LevelBombLabel>& labels) {
    int f1 = font_load("font1");
    int black = gfx_img_load("black");
    for (const LevelBombLabel& l : labels) {
        Theme::color(0, HUD_PLATE_ALPHA);
        gfx_img_blit(black, (int)l.x, (int)l.y, (int)l.w, (int)l.h);
        Theme::color(STYLE_WHITE);
        font_draw(f1, l.text.c_str(), l.x + HUD_PLATE_PAD, l.y + HUD_PLATE_PAD / 2.0f, 0, ALIGN_START);
    }
}

// Each number after a dimmer word that says what it counts, against the
// window's top right corner, on a dark panel that keeps them readable over
// the lightest floor: play's and the editor's counters.
void level_status_paint(const std::vector<LevelStatusLine>& lines) {
    int f1 = font_load("font1");
    int lh = font_get_height(f1, "", 0);
    GfxRect view = gfx_get_view();
    int right = (int)(view.x + view.w) - HUD_TEXT_MARGIN;
    int widest = 0;
    for (const LevelStatusLine& l : lines) {
        int w = font_get_width(f1, l.second.c_str());
        if (!l.first.empty()) w += HUD_WORD_GAP + font_get_width(f1, l.first.c_str());
        widest = std::max(widest, w);
    }
    int top = (int)view.y + HUD_TEXT_MARGIN;
    if (!lines.empty()) {
        Theme::color(0, HUD_PANEL_ALPHA);
        gfx_img_blit(gfx_img_load("black"), right - widest - HUD_PANEL_PAD, top - HUD_PANEL_PAD,
                     widest + 2 * HUD_PANEL_PAD, (int)lines.size() * lh + 2 * HUD_PANEL_PAD);
        Theme::color(STYLE_WHITE);
    }
    for (size_t i = 0; i < lines.size(); i++) {
        const char* word = lines[i].first.c_str();
        const char* value = lines[i].second.c_str();
        int x = right - font_get_width(f1, value);
        float y = (float)(top + (int)i * lh);
        font_draw(f1, value, (float)x, y, 0, ALIGN_START);
        if (!*word) continue;
        Theme::color(HUD_WORD_COLOR);
        font_draw(f1, word, (float)(x - HUD_WORD_GAP - font_get_width(f1, word)), y, 0, ALIGN_START);
        Theme::color(STYLE_WHITE);
    }
}

void level_paint_death_edge(float strength) {
    if (strength <= 0) return;
    GfxRect view = gfx_get_view();
    Theme::color(DEATH_EDGE_COLOR, (int)(STYLE_OPAQUE * std::min(1.0f, strength)));
    gfx_img_blit(gfx_img_load("edge"), (int)view.x, (int)view.y, (int)view.w, (int)view.h);
    Theme::color(STYLE_WHITE);
}

void Level::paint() {
    paint_map();
    // Towards the way out when none of it is in view above the bar.
    GfxRect view = gfx_get_view();
    float ax, ay, adx, ady;
    bool arrow = myview_exit_arrow(game, view.x, view.y, view.x + view.w, view.y + view.h - WBOMB_SIZE, &ax, &ay,
                                   &adx, &ady);
    std::vector<LevelBombLabel> bombs = level_bomb_labels(game);
    paint_widgets();
    if (arrow) myview_arrow_paint(ax, ay, adx, ady);

    level_status_paint(level_status_lines(game.level));
    _level_paint_bomb_labels(bombs);
    _level_paint_emp(game);
    if (_level_dying(game)) level_paint_death_edge(std::min(DEATH_EDGE_MAX, (float)level_slow_ticks / DEATH_EDGE_TICKS));
    game.gfx_3d();
}

// ---------------------------------------------------------------- LevelIntro

void LevelIntro::init() {
    gui = Container();
    LevelData& lev = game.level;
    Table* t = new Table();
    t->tr();
    t->td(new Box(_level_label("font2", _level_text(lev.title, sizeof(lev.title)))));
    t->tr();
    t->td(_level_label("font2", ""));
    t->tr();
    Label* intro = _level_label("font1", _level_text(lev.intro, sizeof(lev.intro)));
    intro->style.width = INTRO_TEXT_W;
    intro->style.align = ALIGN_CENTER;
    intro->style.color = INTRO_TEXT_COLOR;
    t->td(new Box(intro));
    t->tr();
    t->td(_level_label("font1", ""));
    t->tr();
    t->td(new Box(_level_label("font2", "Click to start")));
    Box* page = new Box(w_text_panel(t));
    page->style.width = CANVAS_W;
    page->style.height = CANVAS_H;
    gui.add(page, 0, 0);
    lev.zoom = INTRO_ZOOM_FROM;
    // The camera swoops in to a view of the whole map above the bar (or of
    // the player's surroundings on a large map).
    GfxRect view = gfx_get_view();
    _level_intro_zoom = myview_frame_map(game, lev, view.h > 0 ? WBOMB_SIZE / view.h : 0);
}

void LevelIntro::loop() {
    game.level.tzoom = _level_intro_zoom;
    myview_loop(game, &game.level);
}

void LevelIntro::event(Event e) {
    if (e.type == EVT_UP || e.type == EVT_KEYDOWN) {
        // Play starts on the framed view, however early the intro is left.
        game.level.zoom = game.level.tzoom = _level_intro_zoom;
        game.next(STATE_LEVEL);
    }
}

// ---------------------------------------------------------------- LevelWin

void level_record_best(Game& game) {
    const LevelData& lev = game.level;
    if (game.parent == STATE_MENU_PLAY)
        game_db_record_best(game, _level_text(lev.name, sizeof(lev.name)).c_str(), logic_points(lev));
}

namespace {
// Points not yet counted into the score, and the score so far.
int _level_win_score, _level_win_time, _level_win_bonus, _level_win_extra;
// Each row's points before the count, and the ticks spent counting.
int _level_win_rows[WIN_ROWS];
int _level_win_ticks;
const char* const WIN_ROW_NAMES[WIN_ROWS] = {"time", "bonus", "extra"};

// Every cartridge and no rewind: the win that lets a map be shared.
bool _level_win_clean(const LevelData& lev) { return lev.t_rewind == 0 && lev.c_bonus == lev.t_bonus; }

// The clean win's mark: amber words in an amber frame.
Widget* _level_win_badge() {
    Label* l = _level_label("font2", "Clean win: every cartridge, no rewind");
    l->style.color = UI_AMBER;
    Box* b = new Box(l);
    b->name = "clean";
    b->style.set_padding(WIN_BADGE_PADDING, 2 * WIN_BADGE_PADDING);
    b->style.set_border(WIN_BADGE_BORDER);
    b->style.border_color = UI_AMBER;
    b->style.set_margin(WIN_BADGE_PADDING);
    return b;
}

// A cell of the score table: right-aligned, with room around it.
StyleSheet _level_win_cell() {
    StyleSheet s;
    s.align = ALIGN_END;
    s.set_margin(WIN_CELL_V, WIN_CELL_H, WIN_CELL_V, WIN_CELL_H);
    return s;
}

Label* _level_dim(Label* l) {
    l->style.color = WIN_DIM_COLOR;
    return l;
}

Label* _level_named(Label* l, const char* name) {
    l->name = name;
    return l;
}
}  // namespace

// The rating section: stars and skulls, preset from the stored rating.
static Table* _level_win_rating(Game& game) {
    LevelData& lev = game.level;
    MyResult res = game.userdb.query("select * from ratings where lid = ?", {_level_text(lev.name, sizeof(lev.name))});
    int stars = 0, skulls = 0;
    if (!res.empty()) {
        stars = std::max(0, std::min((int)STARS_COUNT, atoi(res[0]["stars"].c_str())));
        skulls = std::max(0, std::min((int)STARS_COUNT, atoi(res[0]["skulls"].c_str())));
    }
    Table* tt = new Table();
    const struct {
        const char* label;
        const char* name;
        const char* image;
        int preset;
    } rows[] = {{"Awesomeness", "stars", "stars", stars}, {"Difficulty", "skulls", "skulls", skulls}};
    for (const auto& r : rows) {
        tt->tr();
        tt->td(new Box(_level_label("font2", r.label), _level_win_cell()));
        Stars* s = new Stars(0, gfx_img_load(r.image), WIN_STARS_SIZE);
        s->name = r.name;
        s->set_value_i(r.preset);
        tt->td(new Box(s));
    }
    return tt;
}

// The points of each row, still to be counted into the score.
static void _level_win_count_start(const LevelData& lev) {
    _level_win_score = LOGIC_POINTS_BASE;
    _level_win_time = logic_points_time(lev.timer);
    _level_win_bonus = logic_points_bonus(lev.c_bonus, lev.t_bonus);
    _level_win_extra = logic_points_extra(lev.t_extra);
    _level_win_rows[0] = _level_win_time;
    _level_win_rows[1] = _level_win_bonus;
    _level_win_rows[2] = _level_win_extra;
    _level_win_ticks = 0;
}

// The score table: what the play counted, each row's points as they are
// counted in, and the score.
static Table* _level_win_table(const LevelData& lev) {
    const char* f1 = "font1";
    const char* f2 = "font2";
    Table* t3 = new Table();
    StyleSheet cell = _level_win_cell();
    const struct {
        const char* label;
        std::string value;
    } rows[] = {
        {"Time:", _level_clock(lev.timer)},
        {"Data Cartridges:", _level_int(lev.c_bonus) + " / " + _level_int(lev.t_bonus)},
        {"Extra Bombs:", "+ " + _level_int(lev.t_extra)},
    };
    int points_w = Font(font_load(f2)).get_width("00000");
    for (int i = 0; i < WIN_ROWS; i++) {
        t3->tr();
        t3->td(new Box(_level_dim(_level_label(f1, rows[i].label)), cell));
        t3->td(new Box(_level_dim(_level_label(f1, rows[i].value)), cell));
        // Each row shows the points counted from it so far, and keeps them.
        Box* points = new Box(_level_named(_level_label(f2, "0"), WIN_ROW_NAMES[i]), cell);
        points->style.width = points_w;
        t3->td(points);
    }
    t3->tr();
    Label* name = _level_label(f2, "Score:");
    name->style.color = WIN_SCORE_COLOR;
    t3->td(new Box(name, cell), 2);
    Label* total = _level_named(_level_label(FONT_HEADING, _level_int(LOGIC_POINTS_BASE)), "score");
    total->style.color = UI_CYAN;
    Box* score = new Box(total, cell);
    score->style.width = Font(font_load(FONT_HEADING)).get_width("00000");
    t3->td(score);
    return t3;
}

void LevelWin::init() {
    gui = Container();
    LevelData& lev = game.level;
    const char* f1 = "font1";
    const char* f2 = "font2";
    GfxRect view = gfx_get_view();  // the darkening covers the whole window
    Widget* shade = new Widget();
    shade->style.width = (int)view.w;
    shade->style.height = (int)view.h;
    shade->style.img = gfx_img_load("black");
    shade->style.img_alpha = WIN_SHADE_ALPHA;
    gui.add(shade, (int)view.x, (int)view.y);

    Table* t = new Table();
    Label* headline = _level_label(FONT_TITLE, "Escaped");
    headline->name = "headline";
    headline->style.color = UI_CYAN;
    t->tr();
    t->td(new Box(headline));
    t->tr();
    t->td(new Box(_level_dim(_level_label(f2, _level_text(lev.title, sizeof(lev.title))))));
    if (_level_win_clean(lev)) {
        t->tr();
        t->td(new Box(_level_win_badge()));
    }

    _level_win_count_start(lev);
    t->tr();
    t->td(new Box(_level_win_table(lev)));

    if (game.parent == STATE_MENU_PLAY || game.parent == STATE_MENU_DOWNLOAD2) {
        t->tr();
        t->td(_level_win_rating(game));
        if (!game.settings.name[0]) {
            Label* guest = _level_label(f1, "Your rating counts online once you sign in (Settings, Account).");
            guest->name = "guest";
            guest->style.color = WIN_DIM_COLOR;
            t->tr();
            t->td(new Box(guest));
        }
    }
    t->tr();
    t->td(_level_label(f1, ""));
    t->tr();
    t->td(new Box(w_menu_button("Continue", WIN_CONTINUE, gfx_img_load("box3"))));

    // A lighter panel than the other screens': the map the player just
    // escaped shows through it, dimmed as it is around it.
    Box* panel = w_panel(t, WIN_PANEL_ALPHA);
    panel->name = "panel";
    Box* page = new Box(panel);
    page->style.width = CANVAS_W;
    page->style.height = CANVAS_H;
    gui.add(page, 0, 0);
}

void LevelWin::loop() {
    int* pools[] = {&_level_win_time, &_level_win_bonus, &_level_win_extra};
    bool counted = false;
    for (int* pool : pools) {
        if (*pool <= 0) continue;
        int n = std::min((int)WIN_COUNT_STEP, *pool);
        *pool -= n;
        _level_win_score += n;
        counted = true;
        break;
    }
    // A tick now and then while the points run: a counter, heard.
    if (counted && _level_win_ticks++ % WIN_TICK_EVERY == 0) game.play_sound("tick");
    for (int i = 0; i < WIN_ROWS; i++) {
        Label* l = _level_named(_level_label("font2", _level_int(_level_win_rows[i] - *pools[i])), WIN_ROW_NAMES[i]);
        gui.replace(WIN_ROW_NAMES[i], l);
    }
    Label* total = _level_named(_level_label(FONT_HEADING, _level_int(_level_win_score)), "score");
    total->style.color = UI_CYAN;
    gui.replace("score", total);
    gui.loop();
}

void LevelWin::event(Event e) {
    int r = gui.event(&e);
    if (e.type == EVT_KEYDOWN) r = WIN_CONTINUE;
    if (r != WIN_CONTINUE) return;
    Widget* stars = gui.find("stars");
    Widget* skulls = gui.find("skulls");
    if (stars && skulls) {
        int s = stars->get_value_i(), k = skulls->get_value_i();
        std::string lid = _level_text(game.level.name, sizeof(game.level.name));
        game.userdb.query("delete from ratings where lid = ?", {lid});
        game.userdb.query("insert into ratings (lid,stars,skulls) values (?,?,?)", {lid, _level_int(s), _level_int(k)});
        game.plays(s, k);
    }
    // After a tutorial, the list shows the next one; after the last, the
    // main menu says the tutorial is done.
    if (game.parent == STATE_MENU_PLAY && menu_tutorial_won(game)) {
        game.next(STATE_MENU_MAIN);
        return;
    }
    game.next(game.parent);
}

// ---------------------------------------------------------------- Rewind

void Rewind::init() {}

void Rewind::event(Event e) { (void)e; }

void Rewind::paint() { paint_map(); }

void Rewind::loop() {
    LevelData& lev = game.level;
    int newest = -1;
    for (int i = 0; game._rewind && i < REWIND_MAX; i++) {
        int f = game._rewind[i].frame;
        if (f > 0 && (newest < 0 || f > game._rewind[newest].frame)) newest = i;
    }
    if (newest >= 0) {
        // The count of rewinds is the one thing a rewind does not take back.
        int rewinds = lev.t_rewind;
        lev = game._rewind[newest];
        game._rewind[newest].frame = 0;
        lev.t_rewind = rewinds;
        logic_info(game);
        return;
    }
    if (lev.timer > REWIND_FREE_TICKS) lev.timer = std::min(lev.timer, (int)(LOGIC_COUNTER_MAX - REWIND_PENALTY)) + REWIND_PENALTY;
    if (lev.t_rewind < LOGIC_COUNTER_MAX) lev.t_rewind++;
    game.next(STATE_LEVEL);
}
