// Style sheets that fade between states, and the theme that measures and
// paints the edges, frames and overlays around every widget's content.
//
// Sections: fonts, style records, transitions, measuring and event delivery,
// painting (the only OpenGL calls of the toolkit).
#include <GL/gl.h>

#include <cstdlib>

#include "gfx.h"
#include "gui.h"

// ---------------------------------------------------------------- fonts

int Font::get_width(const char* text, int w) const {
    if (w) return w;
    return font_get_width(fid, text ? text : "");
}

int Font::get_height(const char* text, int w) const {
    return font_get_height(fid, text, (float)w);
}

void Font::draw(const char* text, int x, int y, int w, int align) const {
    font_draw(fid, text ? text : "", (float)x, (float)y, (float)w, align);
}

GfxRect Font::crect(const char* text, int pos, int w, int align) const {
    return font_crect(fid, text ? text : "", pos, (float)w, align);
}

int Font::cnear(const char* text, int x, int y, int w, int align) const {
    return font_cnear(fid, text ? text : "", x, y, (float)w, align);
}

// ---------------------------------------------------------------- style records

static void _style_sides(int* f, int top, int right, int bottom, int left) {
    f[STYLE_TOP] = top;
    f[STYLE_RIGHT] = right != UNSET ? right : top;
    f[STYLE_BOTTOM] = bottom != UNSET ? bottom : top;
    f[STYLE_LEFT] = left != UNSET ? left : top;
}

void StyleData::set_padding(int top, int right, int bottom, int left) {
    _style_sides(padding, top, right, bottom, left);
}

void StyleData::set_margin(int top, int right, int bottom, int left) {
    _style_sides(margin, top, right, bottom, left);
}

void StyleData::set_border(int top, int right, int bottom, int left) {
    _style_sides(border, top, right, bottom, left);
}

void StyleSheet::restate() {
    active = focus && hover;
    if (active) state = STYLE_ACTIVE;
    else if (focus) state = STYLE_FOCUS;
    else if (hover) state = STYLE_HOVER;
    else state = STYLE_NONE;
}

// ---------------------------------------------------------------- transitions

int StyleSheet::i_prep(int a, int b, int c) {
    long long d = (long long)b - a;
    if ((d < 0 ? -d : d) < c) return b;
    return (int)(a + (d > 0 ? c : -c));
}

int StyleSheet::n_prep(int a, int b, int c) {
    (void)a;
    (void)c;
    return b;
}

int StyleSheet::c_prep(int a, int b, int c) {
    const int red = 0xFF0000, green = 0xFF00, blue = 0xFF;
    const int green_unit = 256, red_unit = 65536;
    int r = i_prep(a & red, b & red, c * red_unit);
    int g = i_prep(a & green, b & green, c * green_unit);
    int bl = i_prep(a & blue, b & blue, c);
    return r | g | bl;
}

int StyleSheet::_target(int StyleData::*f) const {
    if (alt && data[STYLE_ALT].*f != UNSET) return data[STYLE_ALT].*f;
    if (data[state].*f != UNSET) return data[state].*f;
    return this->*f;
}

int StyleSheet::_target(int (StyleData::*f)[STYLE_SIDES], int i) const {
    if (alt && (data[STYLE_ALT].*f)[i] != UNSET) return (data[STYLE_ALT].*f)[i];
    if ((data[state].*f)[i] != UNSET) return (data[state].*f)[i];
    return (this->*f)[i];
}

namespace {
typedef int (*StylePrep)(int a, int b, int c);

bool _style_hold = false;  // see StyleSheet::hold

// Moves one current value toward its target (UNSET target: stays).
void _style_step(int& current, int target, StylePrep prep, int step) {
    if (target == UNSET) return;
    if (current == UNSET) current = target;
    else if (!_style_hold) current = prep(current, target, step);
}
}  // namespace

void StyleSheet::hold(bool on) { _style_hold = on; }

void StyleSheet::loop() {
    StyleData& c = data[STYLE_CUR];
    auto one = [&](int StyleData::*f, StylePrep prep, int step) {
        _style_step(c.*f, _target(f), prep, step);
    };
    auto four = [&](int (StyleData::*f)[STYLE_SIDES], StylePrep prep, int step) {
        for (int i = 0; i < STYLE_SIDES; i++) _style_step((c.*f)[i], _target(f, i), prep, step);
    };
    one(&StyleData::width, i_prep, STYLE_STEP_SIZE);
    one(&StyleData::height, i_prep, STYLE_STEP_SIZE);
    one(&StyleData::clip, n_prep, 0);
    one(&StyleData::align, n_prep, 0);
    one(&StyleData::valign, n_prep, 0);
    one(&StyleData::color, c_prep, STYLE_STEP_COLOR);
    one(&StyleData::background, c_prep, STYLE_STEP_COLOR);
    four(&StyleData::border, i_prep, STYLE_STEP_PIXEL);
    one(&StyleData::border_color, c_prep, STYLE_STEP_COLOR);
    four(&StyleData::padding, i_prep, STYLE_STEP_PIXEL);
    four(&StyleData::margin, i_prep, STYLE_STEP_PIXEL);
    one(&StyleData::box_color, c_prep, STYLE_STEP_COLOR);
    one(&StyleData::box_grow, i_prep, STYLE_STEP_PIXEL);
    one(&StyleData::box_size, i_prep, STYLE_STEP_PIXEL);
    one(&StyleData::box_tex, n_prep, 0);
    one(&StyleData::img, n_prep, 0);
    one(&StyleData::img_color, c_prep, STYLE_STEP_COLOR);
    one(&StyleData::img_alpha, i_prep, STYLE_STEP_ALPHA);
    one(&StyleData::img_blend, n_prep, 0);
    one(&StyleData::img_autofit, n_prep, 0);
    one(&StyleData::ovr, n_prep, 0);
    one(&StyleData::ovr_color, c_prep, STYLE_STEP_COLOR);
    one(&StyleData::ovr_alpha, i_prep, STYLE_STEP_ALPHA);
    one(&StyleData::ovr_blend, n_prep, 0);
    one(&StyleData::ovr_size, i_prep, STYLE_STEP_PIXEL);
    one(&StyleData::sfx_onclick, n_prep, 0);
    one(&StyleData::sfx_ondown, n_prep, 0);
    one(&StyleData::sfx_onup, n_prep, 0);
}

// ---------------------------------------------------------------- measuring and event delivery

static int _theme_or(int v, int dflt) { return v == UNSET ? dflt : v; }

namespace {
// Sums of margin, border and padding per side.
struct ThemeEdges {
    int top, right, bottom, left;
    explicit ThemeEdges(const StyleData& s) {
        int e[STYLE_SIDES];
        for (int i = 0; i < STYLE_SIDES; i++)
            e[i] = _theme_or(s.padding[i], 0) + _theme_or(s.border[i], 0) + _theme_or(s.margin[i], 0);
        top = e[STYLE_TOP];
        right = e[STYLE_RIGHT];
        bottom = e[STYLE_BOTTOM];
        left = e[STYLE_LEFT];
    }
};
}  // namespace

static void _theme_frame(Widget* w, const ThemeEdges& e) {
    w->rect.x = e.left;
    w->rect.y = e.top;
    w->_rect.w = w->rect.w + e.left + e.right;
    w->_rect.h = w->rect.h + e.top + e.bottom;
}

void Theme::resize(Widget* w) {
    ThemeEdges e(w->style.cur());
    w->resize();
    _theme_frame(w, e);
}

void Theme::resize(Widget* w, int W, int H) {
    ThemeEdges e(w->style.cur());
    w->resize(W - e.left - e.right, H - e.top - e.bottom);
    _theme_frame(w, e);
}

int Theme::event(Widget* w, Event* e) {
    Event c = *e;
    c.x -= (float)w->rect.x;
    c.y -= (float)w->rect.y;
    return w->event(&c);
}

// ---------------------------------------------------------------- painting

void Theme::color(int rgb, int alpha) {
    const float full = 255.0f;
    glColor4f((float)((rgb >> 16) & 0xFF) / full, (float)((rgb >> 8) & 0xFF) / full,
              (float)(rgb & 0xFF) / full, (float)alpha / full);
}

void Theme::push() { glPushMatrix(); }
void Theme::pop() { glPopMatrix(); }

// Background and border strips.
static void _theme_fills(const StyleData& s, int W, int H) {
    int mt = _theme_or(s.margin[STYLE_TOP], 0), mr = _theme_or(s.margin[STYLE_RIGHT], 0);
    int mb = _theme_or(s.margin[STYLE_BOTTOM], 0), ml = _theme_or(s.margin[STYLE_LEFT], 0);
    int bt = _theme_or(s.border[STYLE_TOP], 0), br = _theme_or(s.border[STYLE_RIGHT], 0);
    int bb = _theme_or(s.border[STYLE_BOTTOM], 0), bl = _theme_or(s.border[STYLE_LEFT], 0);
    int inner_h = H - mt - mb - bt - bb;
    if (s.background != UNSET)
        gfx_fill((unsigned int)s.background, ml + bl, mt + bt, W - ml - mr - bl - br, inner_h);
    if (s.border_color == UNSET) return;
    unsigned int bc = (unsigned int)s.border_color;
    if (bt) gfx_fill(bc, ml, mt, W - ml - mr, bt);
    if (bb) gfx_fill(bc, ml, H - mb - bb, W - ml - mr, bb);
    if (br) gfx_fill(bc, W - mr - br, mt + bt, br, inner_h);
    if (bl) gfx_fill(bc, ml, mt + bt, bl, inner_h);
}

void Theme::paint(Widget* w) {
    const StyleData& s = w->style.cur();
    int W = w->_rect.w, H = w->_rect.h;
    int mt = _theme_or(s.margin[STYLE_TOP], 0), mr = _theme_or(s.margin[STYLE_RIGHT], 0);
    int mb = _theme_or(s.margin[STYLE_BOTTOM], 0), ml = _theme_or(s.margin[STYLE_LEFT], 0);
    _theme_fills(s, W, H);
    if (s.box_color != UNSET && s.box_tex != UNSET) {
        int g = _theme_or(s.box_grow, 0);
        color(s.box_color);
        gfx_tex_box(gfx_img_get_tex(s.box_tex), ml - g, mt - g, W - ml - mr + 2 * g,
                    H - mt - mb + 2 * g, _theme_or(s.box_size, STYLE_CORNER_DEFAULT));
        color(STYLE_WHITE);
    }
    if (s.img != UNSET) {
        color(_theme_or(s.img_color, STYLE_WHITE), _theme_or(s.img_alpha, STYLE_OPAQUE));
        gfx_img_blit(s.img, w->rect.x, w->rect.y, w->rect.w, w->rect.h);
        color(STYLE_WHITE);
    }
    int ovr_alpha = _theme_or(s.ovr_alpha, STYLE_OPAQUE);
    if (s.ovr != UNSET && ovr_alpha > 0) {  // a faded-out overlay draws nothing
        color(_theme_or(s.ovr_color, STYLE_WHITE), ovr_alpha);
        gfx_tex_box(gfx_img_get_tex(s.ovr), ml, mt, W - ml - mr, H - mt - mb,
                    _theme_or(s.ovr_size, STYLE_CORNER_DEFAULT));
        color(STYLE_WHITE);
    }
    gfx_translate(w->rect.x, w->rect.y);
    w->paint();
    gfx_translate(-w->rect.x, -w->rect.y);
}
