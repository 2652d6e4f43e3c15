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

enum {
    TURN_STEP = 360 / 8,
    // Rating icons: frames a few pixels apart, icons inset by a sixth.
    STARS_GAP = 2, STARS_CORNER = 12, STARS_INSET_DIV = 6,
    STARS_IDLE_SHOWN = 0x595959,  // a rating only shown: unfilled icons are grey
    STARS_CHOSEN = UI_CYAN,
    STARS_HOVER = 0xFFFF59,       // the value a click would choose
};

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
enum {
    BOMB_FRAME_INSET = 3,       // the button's frame, from its edges
    BOMB_FRAME_CORNER = 14,
    BOMB_ICON = 62,             // the icon's edge, at the top in the middle
    BOMB_ICON_TOP = 6,
    BOMB_KEY_BOTTOM = 4,        // the key's line ends this far above the bottom
    BOMB_COUNT_RIGHT = 8, BOMB_COUNT_TOP = 2,
    BOMB_ARMED_RIM = 3,
    BOMB_ARMED_WASH = 70,       // alpha of the amber wash of an armed button
    BOMB_SHADOW = 0x000000,
};
const float DIM_ALPHA = 0.25f;  // nothing to place and nothing to act on

// The cell a position lies in (integer part of v + 0.5), kept on the grid's
// neighbourhood so that a damaged position cannot overflow the conversion.
int _widget_cell(float v) {
    if (!(v > -MAP_SIZE)) return -MAP_SIZE;
    if (v > 2 * MAP_SIZE) return 2 * MAP_SIZE;
    return (int)(v + 0.5f);
}

// Text with a dark shadow, readable on the icon and the bar alike.
void _widget_text(int font, const char* text, int x, int y, int color) {
    Theme::color(BOMB_SHADOW);
    font_draw(font, text, (float)(x + 1), (float)(y + 1), 0, ALIGN_START);
    Theme::color(color);
    font_draw(font, text, (float)x, (float)y, 0, ALIGN_START);
    Theme::color(STYLE_WHITE);
}

// One look for every kind: amber rim and wash while a bomb of the kind lies
// on the map, so that a press acts on it.
void _widget_armed(int s) {
    Theme::color(UI_AMBER, BOMB_ARMED_WASH);
    gfx_img_blit(gfx_img_load("white"), BOMB_FRAME_INSET, BOMB_FRAME_INSET, s - 2 * BOMB_FRAME_INSET,
                 s - 2 * BOMB_FRAME_INSET);
    Theme::color(STYLE_WHITE);
    const int a = BOMB_FRAME_INSET, r = BOMB_ARMED_RIM, w = s - 2 * a;
    gfx_fill(UI_AMBER, a, a, w, r);
    gfx_fill(UI_AMBER, a, s - a - r, w, r);
    gfx_fill(UI_AMBER, a, a, r, w);
    gfx_fill(UI_AMBER, s - a - r, a, r, w);
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

bool WBomb::armed() {
    Entity* under = nullptr;
    if (Entity* p = logic_find(game, D_PLAYER)) under = logic_find_at(game, _widget_cell(p->x), _widget_cell(p->y));
    return (under && under->type == btype) || logic_find(game, btype);
}

void WBomb::paint() {
    const int s = rect.w;
    LevelData& lev = game.level;
    bool armed_now = armed();
    bool dim = lev.inventory[btype] == 0 && !armed_now;
    gfx_tex_box(gfx_img_get_tex(gfx_img_load("box")), BOMB_FRAME_INSET, BOMB_FRAME_INSET, s - 2 * BOMB_FRAME_INSET,
                s - 2 * BOMB_FRAME_INSET, BOMB_FRAME_CORNER);
    if (armed_now) _widget_armed(s);
    char name[32];
    snprintf(name, sizeof(name), "icon-bomb%d", btype - (D_BOMB1 - 1));
    if (dim) glColor4f(1, 1, 1, DIM_ALPHA);
    gfx_img_blit(gfx_img_load(name), (s - BOMB_ICON) / 2, BOMB_ICON_TOP, BOMB_ICON, BOMB_ICON);
    glColor4f(1, 1, 1, 1);

    // The key that places one, under the icon.
    char key[16];
    snprintf(key, sizeof(key), "%d", btype - (D_BOMB1 - 1));
    int f1 = font_load("font1");
    _widget_text(f1, key, (s - font_get_width(f1, key)) / 2, s - BOMB_KEY_BOTTOM - font_get_height(f1, key, 0),
                 UI_TEXT_DIM);
    if (dim) return;
    char stock[16];
    snprintf(stock, sizeof(stock), "%d", lev.inventory[btype]);
    int fh = font_load(FONT_HEADING);
    _widget_text(fh, stock, s - BOMB_COUNT_RIGHT - font_get_width(fh, stock), BOMB_COUNT_TOP,
                 armed_now ? (int)UI_AMBER : (int)STYLE_WHITE);
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
    // A rating that can be given is a row of buttons: each icon on a frame,
    // in light steel until chosen (cyan) or under the pointer (amber).
    bool pressable = !ignore;
    int inset = pressable ? size / STARS_INSET_DIV : 0;
    if (pressable) {
        int frame = gfx_img_get_tex(gfx_img_load("box"));
        for (int i = 0; i < STARS_COUNT; i++)
            gfx_tex_box(frame, i * size + STARS_GAP, STARS_GAP, size - 2 * STARS_GAP, size - 2 * STARS_GAP, STARS_CORNER);
    }
    auto icons = [&]() {
        for (int i = 0; i < STARS_COUNT; i++) gfx_img_blit(img, i * size + inset, inset, size - 2 * inset, size - 2 * inset);
    };
    Theme::color(pressable ? (int)UI_STEEL_LIGHT : (int)STARS_IDLE_SHOWN);
    icons();
    float v = value;
    int c = STARS_CHOSEN;
    if (_value != 0) {
        v = _value;
        c = STARS_HOVER;
    }
    if (ignore) c = STARS_HOVER;
    Theme::color(c);
    gfx_clip(0, 0, (int)(STARS_COUNT * size * v / STARS_COUNT), size);
    icons();
    gfx_unclip();
    Theme::color(STYLE_WHITE);
}

// ---------------------------------------------------------------- text panel

namespace {
// The panel lets a tenth of the map through: the brightest map under it is
// then darker than any text colour the screens use by far.
enum { PANEL_ALPHA = 230 };
}  // namespace

void w_turn_buttons(Table* bar, LevelData* lev, int size, int padding) {
    const struct {
        int dir;
        const char* icon;
    } turns[] = {{-1, "icon-arrow4"}, {1, "icon-arrow6"}};
    for (const auto& t : turns) {
        WRotate* r = new WRotate(lev, t.dir);
        r->style.width = size;
        r->style.height = size;
        r->style.set_padding(padding);
        r->style.img = gfx_img_load(t.icon);
        bar->td(new Box(r));
    }
}

Widget* w_text_panel(Widget* child) {
    Box* panel = w_panel(child, PANEL_ALPHA);
    panel->name = "panel";
    return panel;
}
