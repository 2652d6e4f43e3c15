// The map editor: tiles painted from a palette onto the editor's copy of the
// map along pointer strokes, every change kept in an undo ring.
//
// Sections: the undo ring, the palette list, painting, the screen.
#include "edit_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "font.h"
#include "gfx.h"
#include "log.h"
#include "logic.h"
#include "myview.h"
#include "util.h"
#include "widgets.h"

int _edit_map[EDIT_MAP_MAX];
int _edit_map_built = 0;
int _edit_cur = TILE_EMPTY;

enum {
    // Palette groups of the catalogue, offered in this order.
    EDIT_GROUP_FIRST = 1, EDIT_GROUP_LAST = 7,
    // Arrow tiles must have numbers below this: painting looks them up here.
    EDIT_ARROW_TILES = 32,
    // Undo serials above this are taken for damage and start a fresh ring.
    EDIT_SERIAL_MAX = 1 << 30,

    // Event::b of the pointer: the left button's number when pressed, and its
    // bit in the held-button mask of a motion; the right button's bit.
    EDIT_POINTER_LEFT = 1, EDIT_HELD_RIGHT = 4,

    // Codes of the editor's widgets.
    EDIT_CODE_MENU = 3, EDIT_CODE_OVERHEAD = 4, EDIT_CODE_TILE = 100,

    // Layout, in canvas pixels.
    EDIT_BAR_H = 129, EDIT_BAR_ALPHA = 34,
    EDIT_MENU_PAD_V = 10, EDIT_MENU_PAD_H = 20, EDIT_MENU_COLOR = 0xaaaaaa,
    EDIT_ROTATE_SIZE = 76, EDIT_ROTATE_PAD = 10,
    EDIT_ROTATE_LEFT_X = 0, EDIT_ROTATE_RIGHT_X = 96, EDIT_ROTATE_Y = 624,
    EDIT_OVERHEAD_SIZE = 48, EDIT_OVERHEAD_X = 72, EDIT_OVERHEAD_Y = 595,
    EDIT_TILE_SIZE = 38, EDIT_TILE_PAD = 5, EDIT_TILE_ALT_ALPHA = 85,
    EDIT_PALETTE_X = 192,
};

// Width of the palette's rows, which the help line spans.
static const int EDIT_PALETTE_W = EDIT_PALETTE_COLS * (EDIT_TILE_SIZE + 2 * EDIT_TILE_PAD);

// ---------------------------------------------------------------- the undo ring

static bool _edit_cell_ok(int x, int y) {
    return x >= MAP_MIN && x <= MAP_MAX && y >= MAP_MIN && y <= MAP_MAX;
}

// The ring comes back from state.dat like the rest of the record: a serial
// that could index outside it or overflow starts a fresh one.
static void _edit_ring_check(Game& game) {
    if (game.ext.undo_n >= 0 && game.ext.undo_n <= EDIT_SERIAL_MAX) return;
    fprintf(stderr, "edit: undo serial %d out of range, undo history cleared\n", game.ext.undo_n);
    edit_reset(game);
}

void edit_change(Game& game, int x, int y, int tile) {
    if (!_edit_cell_ok(x, y)) return;
    if (tile < 0 || tile >= TILE_MAX) {
        fprintf(stderr, "edit_change: no tile %d\n", tile);
        return;
    }
    unsigned char& cell = game._edit.data[y][x];
    if (cell == tile) return;
    _edit_ring_check(game);
    ExtData& ext = game.ext;
    UndoData& u = ext.undo[ext.undo_n % UNDO_MAX];
    u.n = ext.undo_n;
    u.x = (unsigned char)x;
    u.y = (unsigned char)y;
    u.prev = cell;
    u.cur = (unsigned char)tile;
    cell = (unsigned char)tile;
    game._edit.dirty = 1;
    ext.undo_n++;
    // A new change ends the redo chain.
    for (UndoData& r : ext.undo)
        if (r.n >= ext.undo_n) r.n = 0;
}

void edit_undo(Game& game) {
    _edit_ring_check(game);
    ExtData& ext = game.ext;
    if (ext.undo_n <= 0) return;
    ext.undo_n--;
    const UndoData& u = ext.undo[ext.undo_n % UNDO_MAX];
    // A record overwritten by a later change is gone; the cursor moves all the same.
    if (u.n != ext.undo_n) return;
    log_info("undo: %d %d %d\n", u.x, u.y, u.prev);
    if (!_edit_cell_ok(u.x, u.y)) return;
    game._edit.data[u.y][u.x] = u.prev;
    game._edit.dirty = 1;
}

void edit_redo(Game& game) {
    _edit_ring_check(game);
    ExtData& ext = game.ext;
    const UndoData& u = ext.undo[ext.undo_n % UNDO_MAX];
    if (u.n != ext.undo_n) return;
    log_info("redo: %d %d %d\n", u.x, u.y, u.cur);
    if (!_edit_cell_ok(u.x, u.y)) return;
    game._edit.data[u.y][u.x] = u.cur;
    ext.undo_n++;
    game._edit.dirty = 1;
}

void edit_reset(Game& game) {
    game.ext.undo_n = 0;
    memset(game.ext.undo, 0, sizeof(game.ext.undo));
}

// ---------------------------------------------------------------- the palette list

void edit_map_init(Game& game) {
    if (_edit_map_built) return;
    memset(_edit_map, 0, sizeof(_edit_map));
    int n = 0, left_out = 0;
    for (int g = EDIT_GROUP_FIRST; g <= EDIT_GROUP_LAST; g++)
        for (int t = 0; t < TILE_MAX; t++) {
            if (game.tiles[t].editor != g) continue;
            // The list keeps the first tiles that fit.
            if (n < EDIT_MAP_MAX) _edit_map[n++] = t;
            else left_out++;
        }
    if (left_out) fprintf(stderr, "edit_map_init: palette full, %d tiles left out\n", left_out);
    _edit_map_built = 1;
}

// ---------------------------------------------------------------- painting

// Cell coordinate of a picked ground coordinate; a pick that went astray
// (no number, or far off the map) lands just outside the map.
static int _edit_cell(float v) {
    if (!std::isfinite(v)) return -1;
    if (v < -(float)MAP_SIZE) return -MAP_SIZE;
    if (v > 2.0f * MAP_SIZE) return 2 * MAP_SIZE;
    return (int)v;
}

// The tile to paint: an arrow is chosen as seen on screen, so it is stored as
// the arrow that points that way on the map under the current camera.
static int _edit_paint_tile(Game& game) {
    int t = _edit_cur;
    if (game.tiles[t].type != D_ARROW) return t;
    int w = logic_arrow(game, game.tiles[t].value, 1);
    for (int k = 0; k < EDIT_ARROW_TILES; k++)
        if (game.tiles[k].type == D_ARROW && game.tiles[k].value == w) return k;
    return t;
}

void edit_stroke(Game& game, int x0, int y0, int x1, int y1, int tile) {
    // Steps one cell at a time along x or y, whichever keeps closer to the
    // straight line: a diagonal step would leave two cells touching only at
    // a corner, which the turned camera shows as a checkerboard.
    int dx = myabs(x1 - x0), dy = myabs(y1 - y0);
    int sx = x1 > x0 ? 1 : -1, sy = y1 > y0 ? 1 : -1;
    int x = x0, y = y0;
    if (_edit_cell_ok(x, y)) edit_change(game, x, y, tile);
    for (int i = 0, ix = 0, iy = 0; i < dx + dy; i++) {
        // Compare (ix + 0.5) / dx with (iy + 0.5) / dy without dividing.
        if ((2 * ix + 1) * dy < (2 * iy + 1) * dx) {
            x += sx;
            ix++;
        } else {
            y += sy;
            iy++;
        }
        if (_edit_cell_ok(x, y)) edit_change(game, x, y, tile);
    }
}

// Paints the cells from the pointer's previous position to its present one,
// so that a fast stroke leaves no gaps; each is the cell the pointer shows,
// the one the cursor column stands on.
static void _edit_paint(Game& game, const Event& e) {
    int t = _edit_paint_tile(game);
    int x0, y0, x1, y1;
    if (!myview_pick(game, e._x, e._y, &x0, &y0)) return;
    if (!myview_pick(game, e._x - e._dx, e._y - e._dy, &x1, &y1)) x1 = x0, y1 = y0;
    // From the previous cell to this one: the cell under the pointer is painted last.
    edit_stroke(game, x1, y1, x0, y0, t);
    game._edit.hover_x = (float)x0;
    game._edit.hover_y = (float)y0;
}

// ---------------------------------------------------------------- the screen

// A plain widget showing an image over its content box.
static Widget* _edit_image(const char* img, int w, int h) {
    Widget* b = new Widget();
    b->style.width = w;
    b->style.height = h;
    int id = gfx_img_load(img);
    if (id) b->style.img = id;
    b->style.loop();
    return b;
}

static Widget* _edit_tile_button(Game& game, int t) {
    char img[sizeof(game.tiles[t].name) + 8];
    snprintf(img, sizeof(img), "icon-%s", game.tiles[t].name);
    Widget* b = _edit_image(img, EDIT_TILE_SIZE, EDIT_TILE_SIZE);
    b->style.set_padding(EDIT_TILE_PAD);
    int white = gfx_img_load("white");
    if (white) b->style.ovr = white;
    b->style.ovr_alpha = 0;
    b->style.data[STYLE_ALT].ovr_alpha = EDIT_TILE_ALT_ALPHA;
    b->style.alt = t == _edit_cur;
    b->style.restate();
    b->style.loop();
    char name[16];
    b->name = myitoa(t, name);
    b->ondown = t + EDIT_CODE_TILE;
    return b;
}

static Label* _edit_help(Game& game) {
    Label* l = new Label(Font(font_load("font3")), game.tiles[_edit_cur].help);
    l->name = "help";
    l->style.width = EDIT_PALETTE_W;
    l->style.loop();
    return l;
}

static Table* _edit_palette(Game& game) {
    Table* t = new Table();
    t->name = "palette";
    for (int row = 0; row < EDIT_PALETTE_ROWS; row++) {
        t->tr();
        for (int c = 0; c < EDIT_PALETTE_COLS; c++)
            t->td(_edit_tile_button(game, _edit_map[EDIT_PALETTE_ROWS * c + row]));
    }
    t->tr();
    t->td(_edit_help(game), EDIT_PALETTE_COLS);
    t->layout();
    return t;
}

static Box* _edit_rotate(Game& game, int dir, const char* img) {
    WRotate* r = new WRotate(&game._edit, dir);
    r->style.width = EDIT_ROTATE_SIZE;
    r->style.height = EDIT_ROTATE_SIZE;
    r->style.loop();
    Box* b = new Box(r);
    b->style.set_padding(EDIT_ROTATE_PAD);
    int id = gfx_img_load(img);
    if (id) b->style.img = id;
    b->style.loop();
    return b;
}

void Edit::init() {
    edit_map_init(game);
    gui = Container();
    // The bar and the buttons keep to the window's edges, like play's: on a
    // wide window the palette stays at the right and the turn buttons at the
    // left, with the map between them.
    GfxRect view = gfx_get_view();
    int left = (int)view.x, top = (int)view.y, bottom = (int)(view.y + view.h) - CANVAS_H;
    int width = std::max((int)CANVAS_W, (int)view.w);
    int right = left + width - CANVAS_W;

    Widget* bar = _edit_image("white", width, EDIT_BAR_H);
    bar->style.img_alpha = EDIT_BAR_ALPHA;
    bar->style.loop();
    gui.add(bar, left, bottom + CANVAS_H - EDIT_BAR_H);

    Label* menu = new Label(Font(font_load("font2")), "||");
    menu->style.color = EDIT_MENU_COLOR;
    menu->style.set_padding(EDIT_MENU_PAD_V, EDIT_MENU_PAD_H, EDIT_MENU_PAD_V, EDIT_MENU_PAD_H);
    menu->onclick = EDIT_CODE_MENU;
    menu->name = "menu";
    menu->style.loop();
    gui.add(menu, left, top);

    gui.add(_edit_rotate(game, -1, "icon-arrow4"), left + EDIT_ROTATE_LEFT_X, bottom + EDIT_ROTATE_Y);
    gui.add(_edit_rotate(game, 1, "icon-arrow6"), left + EDIT_ROTATE_RIGHT_X, bottom + EDIT_ROTATE_Y);

    Widget* overhead = _edit_image("icon-arrow8", EDIT_OVERHEAD_SIZE, EDIT_OVERHEAD_SIZE);
    overhead->ondown = EDIT_CODE_OVERHEAD;
    overhead->name = "overhead";
    gui.add(overhead, left + EDIT_OVERHEAD_X, bottom + EDIT_OVERHEAD_Y);

    palette = _edit_palette(game);
    gui.add(palette, right + EDIT_PALETTE_X, bottom + CANVAS_H - palette->outer_box().h);
}

void Edit::deinit() { game.level = game._edit; }

// The root's own hit test: is a widget under the canvas point?
static bool _edit_over_widget(const Container& gui, float x, float y) {
    for (const Widget* w : gui.widgets) {
        if (w->ignore) continue;
        const MyRect& r = w->outer_box();
        if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return true;
    }
    return false;
}

void Edit::choose(int t) {
    char name[16];
    if (Widget* old = gui.find(myitoa(_edit_cur, name))) {
        old->style.alt = 0;
        old->style.restate();
    }
    _edit_cur = t;
    if (Widget* cur = gui.find(myitoa(_edit_cur, name))) {
        cur->style.alt = 1;
        cur->style.restate();
    }
    Label* help = _edit_help(game);
    if (!gui.replace("help", help)) delete help;
}

void Edit::event(Event e) {
    int r = gui.event(&e);
    if (r == EDIT_CODE_MENU) {
        game.next(STATE_EDIT_MENU);
        return;
    }
    if (r == EDIT_CODE_OVERHEAD) {
        myview_overhead_toggle();
        return;
    }
    if (r >= EDIT_CODE_TILE) {
        if (r - EDIT_CODE_TILE < TILE_MAX) choose(r - EDIT_CODE_TILE);
        return;
    }
    bool key = e.type == EVT_KEYDOWN;
    if (key && e.c == ' ') {
        game.parent = game.state;
        game.next(STATE_LEVEL);
        return;
    }
    if (key && e.v == KEY_z && (e.b & MOD_COMMAND)) {
        if (e.b & MOD_SHIFT) edit_redo(game);
        else edit_undo(game);
        return;
    }
    if (key && e.v == KEY_ESCAPE) {
        game.next(STATE_EDIT_MENU);
        return;
    }
    bool pointer = e.type == EVT_DOWN || e.type == EVT_MOTION || e.type == EVT_UP || e.type == EVT_WHEEL;
    bool on_map = !(pointer && _edit_over_widget(gui, e.x, e.y));
    if (on_map || e.b == EDIT_HELD_RIGHT || key) myview_event(game, e, &game._edit);
    if (on_map && (e.type == EVT_DOWN || e.type == EVT_MOTION) && e.b == EDIT_POINTER_LEFT) _edit_paint(game, e);
}

void Edit::loop() {
    gui.loop();
    myview_loop(game, &game._edit);
    game.level = game._edit;
    logic_init(game, 0);
}

std::vector<LevelStatusLine> edit_status_lines(const Game& game) {
    char cell[32], actors[32];
    snprintf(cell, sizeof(cell), "%d,%d", _edit_cell(game.level.hover_x), _edit_cell(game.level.hover_y));
    int active = 0;
    for (const Entity& it : game.level.items) active += it.active != 0;
    snprintf(actors, sizeof(actors), "%d/%d", active, ENTITY_MAX);
    return {{"Cell", cell}, {"Actors", actors}};
}

void Edit::paint() {
    paint_map();
    game.gfx_2d();

    level_status_paint(edit_status_lines(game));

    gui.resize();
    // The help line may wrap: the palette keeps its bottom on the screen's edge.
    if (palette) {
        GfxRect view = gfx_get_view();
        palette->move_to(palette->outer_box().x, (int)(view.y + view.h) - palette->outer_box().h);
    }
    gui.paint();
    game.gfx_3d();
}
