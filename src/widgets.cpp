// The game's own widgets, which know the map record.
//
// Sections: WRotate, WBomb, Stars, text panel.
#include "widgets.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

#include "font.h"
#include "gfx.h"
#include "logic.h"

enum { TURN_STEP = 360 / 8 };

// ---------------------------------------------------------------- WRotate

int WRotate::event(Event* e) {
    if (e->type == EVT_DOWN) {
        lev->trotate += (float)(rotate * TURN_STEP);
        down = 1;
    } else if (e->type == EVT_UP) {
        down = 0;
    }
    return Widget::event(e);
}

void WRotate::loop() {
    // Another step only once the view has caught up, so holding the button
    // turns the map smoothly step after step.
    if (style.state == STYLE_ACTIVE && down && (int)(lev->rotate - lev->trotate) == 0)
        lev->trotate += (float)(rotate * TURN_STEP);
}

// ---------------------------------------------------------------- WBomb

namespace {
// Tints of a bomb button: what a press on it would do.
struct Tint {
    float r, g, b, a;
};
const Tint TINT_UNDER = {1, 1, 1, 0.35f};   // the player stands on one: a press acts on it
const Tint TINT_FIRE = {1, 0, 0, 0.7f};     // one lies on the map: a press fires it
const Tint TINT_TIMED = {0, 0, 1, 0.35f};   // one lies on the map and goes off by itself
const float DIM_ALPHA = 0.25f;              // nothing to place and nothing to act on

// The cell a position lies in (integer part of v + 0.5), kept on the grid's
// neighbourhood so that a damaged position cannot overflow the conversion.
int _widget_cell(float v) {
    if (!(v > -MAP_SIZE)) return -MAP_SIZE;
    if (v > 2 * MAP_SIZE) return 2 * MAP_SIZE;
    return (int)(v + 0.5f);
}

void _widget_square(const Tint& t, int s) {
    glColor4f(t.r, t.g, t.b, t.a);
    gfx_img_blit(gfx_img_load("white"), 0, 0, s, s);
    glColor4f(1, 1, 1, 1);
}
}  // namespace

void WBomb::resize() {
    rect.w = WBOMB_SIZE;
    rect.h = WBOMB_SIZE;
}

int WBomb::event(Event* e) {
    if (e->type == EVT_DOWN && e->b == 1) {
        logic_bomb(game, btype);
        return -1;
    }
    return Widget::event(e);
}

void WBomb::paint() {
    const int s = rect.w;
    LevelData& lev = game.level;
    Entity* under = nullptr;
    if (Entity* p = logic_find(game, D_PLAYER)) under = logic_find_at(game, _widget_cell(p->x), _widget_cell(p->y));
    bool dim = lev.inventory[btype] == 0;
    if (under && under->type == btype) {
        dim = false;
        _widget_square(TINT_UNDER, s);
    } else if (logic_find(game, btype)) {
        dim = false;
        _widget_square(btype == D_BOMB1 || btype == D_BOMB4 ? TINT_FIRE : TINT_TIMED, s);
    }
    char name[32];
    snprintf(name, sizeof(name), "icon-bomb%d", btype - (D_BOMB1 - 1));
    if (dim) glColor4f(1, 1, 1, DIM_ALPHA);
    gfx_img_blit(gfx_img_load(name), WBOMB_ICON_INSET, WBOMB_ICON_INSET, s - 2 * WBOMB_ICON_INSET,
                 s - 2 * WBOMB_ICON_INSET);
    glColor4f(1, 1, 1, 1);
    if (dim) return;
    char stock[16];
    snprintf(stock, sizeof(stock), "%d", lev.inventory[btype]);
    int f = font_load("font1");
    int x = (s - WBOMB_STOCK_RIGHT) - font_get_width(f, stock);
    int y = (s - WBOMB_STOCK_BOTTOM) - font_get_height(f, stock, 0);
    font_draw(f, stock, (float)x, (float)y, 0, ALIGN_START);
}

// ---------------------------------------------------------------- Stars

int Stars::get_value_i() { return (int)value; }

void Stars::set_value_i(int v) { value = (float)v; }

int Stars::event(Event* e) {
    bool pointer = e->type == EVT_DOWN || e->type == EVT_MOTION || e->type == EVT_UP;
    if (pointer && style.hover) {
        int v = (int)(e->x * STARS_COUNT / (float)(rect.w > 0 ? rect.w : 1) + 1);
        _value = (float)(v < 0 ? 0 : (v > STARS_COUNT ? STARS_COUNT : v));
    }
    if (e->type == EVT_EXIT) _value = 0;
    if (e->type == EVT_CLICK) value = _value;
    return Widget::event(e);
}

void Stars::resize() {
    Widget::resize();
    rect.w = STARS_COUNT * size;
    rect.h = size;
}

void Stars::paint() {
    glColor4f(0.35f, 0.35f, 0.35f, 1);
    for (int i = 0; i < STARS_COUNT; i++) gfx_img_blit(img, i * size, 0, size, size);
    float v = value;
    glColor4f(0.35f, 0.7f, 1, 1);  // the chosen value
    if (_value != 0) {
        v = _value;
        glColor4f(1, 1, 0.35f, 1);  // the value a click would choose
    }
    if (ignore) glColor4f(1, 1, 0.35f, 1);
    gfx_clip(0, 0, (int)(STARS_COUNT * size * v / STARS_COUNT), size);
    for (int i = 0; i < STARS_COUNT; i++) gfx_img_blit(img, i * size, 0, size, size);
    gfx_unclip();
    glColor4f(1, 1, 1, 1);
}

// ---------------------------------------------------------------- text panel

namespace {
// The panel lets a fifth of the map through: the brightest map under it is
// then darker than 0.2, far below any text colour the screens use.
enum { PANEL_ALPHA = 205, PANEL_ROOM_V = 18, PANEL_ROOM_H = 30 };
}  // namespace

Widget* w_text_panel(Widget* child) {
    Box* room = new Box(child);
    room->style.set_margin(PANEL_ROOM_V, PANEL_ROOM_H, PANEL_ROOM_V, PANEL_ROOM_H);
    Box* panel = new Box(room);
    panel->name = "panel";
    panel->style.img = gfx_img_load("black");
    panel->style.img_alpha = PANEL_ALPHA;
    panel->style.loop();
    return panel;
}
