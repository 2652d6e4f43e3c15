// The game's standard widgets: sliders, the scroll box with its bar, the
// value box, the choice grid, and the factories of buttons and fields.
//
// Sections: VSlider, NumSlider, ScrollBox2, GridPicker, factories.
#include <algorithm>
#include <cstdio>

#include "gfx.h"
#include "gui.h"

namespace {
// Looks of the standard widgets.
enum {
    SLIDER_CORNER = 15,       // scroll bar frame corner
    NUMSLIDER_CORNER = 20,    // number slider frame corner
    NUMSLIDER_WIDTH = 720,
    NUMSLIDER_MARGIN = 4,
    BAR_WIDTH = 32,
    BAR_THUMB = 20,           // the scroll bar's shortest thumb
    BAR_MARGIN = 2,
    BAR_MARGIN_LEFT = 5,
    BAR_INSET = 4,            // the bar is this much shorter than its box
    PICKER_MARGIN = 10,
    PICKER_ITEM_EDGE = 5,     // padding and margin of a picker item
    PICKER_ITEM_CORNER = 16,
    BUTTON_LABEL_MARGIN = 10,
    BUTTON_MARGIN = 10,
    BUTTON_BORDER = 2,
    BUTTON_CORNER = 30,
    BUTTON_HOVER_ALPHA = 85,
    BUTTON_ACTIVE_ALPHA = 170,
    MENU_BUTTON_W = 480,
    MENU_BUTTON_H = 60,
    FIELD_WIDTH = 720,
    FIELD_EDGE = 10,          // padding and margin of a text field
    FIELD_CORNER = 20,
    FIELD_MAXLEN = 255,
    FIELD_IDLE = 0x888888,
};

int _w_clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }
float _w_clampf(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// A press, drag or release with a button held.
bool _w_dragging(const Event* e) {
    return (e->type == EVT_MOTION || e->type == EVT_DOWN || e->type == EVT_UP) && e->b;
}
}  // namespace

// ---------------------------------------------------------------- VSlider

VSlider::VSlider(int low_, int high_, int value_, int size_)
    : low(low_), high(high_), value(value_), size(size_) {
    style.width = BAR_WIDTH;
}

void VSlider::set_value_i(int v) {
    value = _w_clamp(v, low, high);
    change();
}

int VSlider::event(Event* e) {
    int r = Widget::event(e);
    if (r) return r;
    if (e->type == EVT_WHEEL) {
        float v = _w_clampf((float)value + e->dy * GUI_WHEEL_STEP, (float)low, (float)high);
        value = (int)v;
        return onchange;
    }
    if (!style.focus || !_w_dragging(e)) return 0;
    float span = (float)(high - low + 1);
    float v = (float)low + (e->y - (float)(size / 2)) * span / (float)std::max(1, rect.h - size);
    int old = value;
    value = (int)_w_clampf(v, (float)low, (float)high);
    return value != old ? onchange : 0;
}

void VSlider::paint() {
    gfx_tex_box(gfx_img_get_tex(gfx_img_load("box")), 0, 0, rect.w, rect.h, SLIDER_CORNER);
    // An empty range draws the thumb at the start.
    int y = high > low ? (value - low) * (rect.h - size) / (high - low) : 0;
    gfx_tex_box(gfx_img_get_tex(gfx_img_load("box2")), 0, y, rect.w, size, SLIDER_CORNER);
}

// ---------------------------------------------------------------- NumSlider

NumSlider::NumSlider(int low_, int high_, int value_, int inc_, int instant_)
    : low(low_), high(high_), value(value_), inc(inc_), instant(instant_) {
    fnt = Font(font_load("font2"));
    int line = fnt.get_height(nullptr, 0);
    style.width = NUMSLIDER_WIDTH;
    style.height = line;
    style.set_margin(NUMSLIDER_MARGIN);
    char buf[16];
    snprintf(buf, sizeof(buf), " %d", high);
    zone = fnt.get_width(buf);
    int steps = std::max(1, high - low + 1);
    sz = std::max(2 * line, (NUMSLIDER_WIDTH - zone) / steps);
    style.loop();
    resize();
}

void NumSlider::set_value_i(int v) {
    value = v;
    change();
}

int NumSlider::event(Event* e) {
    int r = Widget::event(e);
    if (r) return r;
    if (!style.focus || !_w_dragging(e)) return 0;
    int old = value;
    int track = std::max(1, rect.w - (zone + sz));
    float f = (e->x - (float)(sz / 2)) * (float)(high - low + 1) / (float)track + (float)low;
    int step = std::max(1, inc);
    // Whole steps only: clamp in floating point first so that far-off
    // pointers cannot overflow the conversion.
    f = _w_clampf(f, (float)low, (float)high + (float)step);
    int v = (int)((f - (float)low) / (float)step) * step + low;
    value = _w_clamp(v, low, high);
    if (instant) return value != old ? onchange : 0;
    return e->type == EVT_UP ? onchange : 0;
}

void NumSlider::paint() {
    value = _w_clamp(value, low, high);
    int track = rect.w - zone;
    gfx_tex_box(gfx_img_get_tex(gfx_img_load("box")), 0, 0, track, rect.h, NUMSLIDER_CORNER);
    int x = high > low ? (value - low) * (rect.w - (zone + sz)) / (high - low) : 0;
    // The track is filled up to the thumb: how much shows at a glance.
    gfx_tex_box(gfx_img_get_tex(gfx_img_load("box3")), 0, 0, x + sz, rect.h, NUMSLIDER_CORNER);
    gfx_tex_box(gfx_img_get_tex(gfx_img_load("box2")), x, 0, sz, rect.h, NUMSLIDER_CORNER);
    char buf[16];
    snprintf(buf, sizeof(buf), "%d", value);
    int line = fnt.get_height(nullptr, 0);
    fnt.draw(buf, rect.w - fnt.get_width(buf), (rect.h - line) / 2);
}

// ---------------------------------------------------------------- ScrollBox2

ScrollBox2::ScrollBox2(ScrollBox* b) : box(b) {
    box->resize();
    td(box);
    vscroll = new VSlider(0, 1, 0, BAR_THUMB);
    vscroll->style.set_margin(BAR_MARGIN, BAR_MARGIN, BAR_MARGIN, BAR_MARGIN_LEFT);
    vscroll->style.height = box->style.height - BAR_INSET;
    vscroll->onchange = -1;
    td(vscroll);
}

void ScrollBox2::resize() {
    Table::resize();
    int content = box->widgets.empty() ? 0 : box->widgets[0]->_rect.h;
    int outer = box->_rect.h;
    vscroll->low = 0;
    vscroll->high = std::max(1, content - outer);
    vscroll->value = _w_clamp(vscroll->value, vscroll->low, vscroll->high);
    int H = vscroll->style.height == UNSET ? 0 : vscroll->style.height;
    long long thumb = (long long)outer * H / std::max(1, content);
    vscroll->size = std::max((int)BAR_THUMB, (int)std::min<long long>(H, thumb));
    vscroll->value = box->view.y;
}

int ScrollBox2::event(Event* e) {
    int r = Container::event(e);
    if (r != -1) return r;
    box->view.y = vscroll->value;
    box->clamp_view();
    return 0;
}

// ---------------------------------------------------------------- GridPicker

GridPicker::GridPicker(int cols_) : cols(std::max(1, cols_)) {
    style.set_margin(PICKER_MARGIN);
}

void GridPicker::set_value_i(int v) {
    value = v;
    change();
}

int GridPicker::has(int v) {
    for (Widget* w : widgets) {
        if (w != me && w->get_value_i() == v) return 1;
    }
    return 0;
}

void GridPicker::change() {
    for (Widget* w : widgets) {
        if (w == me) continue;
        w->style.alt = w->get_value_i() == value;
        w->style.restate();
    }
}

void GridPicker::item(const char* txt, int v, int ww) {
    if (cur % cols == 0) tr();
    cur++;
    Label* l = new Label(Font(font_load("font3")), txt);
    VBox* b = new VBox(l);
    if (ww) b->style.width = ww;
    b->value = v;
    b->onclick = v;
    b->style.box_tex = gfx_img_load("box");
    b->style.box_color = STYLE_WHITE;
    b->style.box_size = PICKER_ITEM_CORNER;
    b->style.set_padding(PICKER_ITEM_EDGE);
    b->style.set_margin(PICKER_ITEM_EDGE);
    b->style.data[STYLE_ALT].box_tex = gfx_img_load("box2");
    b->style.alt = v == value;
    b->style.restate();
    td(b, 1, 1);
}

int GridPicker::event(Event* e) {
    int r = Container::event(e);
    if (!r) return 0;
    set_value_i(r);
    return onchange;
}

// ---------------------------------------------------------------- factories

// The framed middle box of a standard button, with its hover and press highlight.
static Box* _w_button_frame(Widget* inner, int onclick, int ww, int hh, int tex) {
    Box* mid = new Box(inner);
    StyleSheet& s = mid->style;
    mid->onclick = onclick;
    s.set_padding(0);
    s.set_margin(BUTTON_MARGIN);
    s.set_border(BUTTON_BORDER);
    s.width = ww;
    s.height = hh;
    s.box_tex = tex ? tex : gfx_img_load("box");
    s.box_size = BUTTON_CORNER;
    s.box_color = STYLE_WHITE;
    s.ovr = gfx_img_load("box2");
    s.ovr_size = BUTTON_CORNER;
    s.ovr_alpha = 0;
    s.data[STYLE_HOVER].ovr_alpha = BUTTON_HOVER_ALPHA;
    s.data[STYLE_FOCUS].ovr_alpha = 0;
    s.data[STYLE_ACTIVE].ovr_alpha = BUTTON_ACTIVE_ALPHA;
    Box* outer = new Box(mid);
    outer->style.loop();
    outer->resize();
    return outer;
}

Box* w_button_size(const char* text, int onclick, int ww, int hh, int tex) {
    Label* l = new Label(Font(font_load("font2")), text);
    l->style.set_margin(BUTTON_LABEL_MARGIN);
    return _w_button_frame(l, onclick, ww, hh, tex);
}

Box* w_menu_button(const char* text, int onclick, int img) {
    return w_button_size(text, onclick, MENU_BUTTON_W, MENU_BUTTON_H, img);
}

Box* w_button(Widget* tw, int onclick, int ww, int hh) {
    return _w_button_frame(tw, onclick, ww, hh, 0);
}

TextInput* w_textinput(const char* name, const char* value, int wrap, int passwd) {
    TextInput* t = new TextInput(Font(font_load("font2")), value, FIELD_MAXLEN);
    StyleSheet& s = t->style;
    s.width = FIELD_WIDTH;
    s.set_padding(FIELD_EDGE);
    s.set_margin(FIELD_EDGE);
    s.box_tex = gfx_img_load("box");
    s.box_size = FIELD_CORNER;
    s.box_color = FIELD_IDLE;
    s.data[STYLE_FOCUS].box_color = STYLE_WHITE;
    s.data[STYLE_ACTIVE].box_color = STYLE_WHITE;
    t->name = name ? name : "";
    t->wrap = wrap;
    t->passwd = passwd;
    t->_mktxt2();
    s.loop();
    t->resize();
    // A wrapped field's height depends on the width it has just taken.
    if (wrap) t->resize();
    return t;
}

NumSlider* w_numslider(const char* name, int value, int low, int high, int step, int instant) {
    NumSlider* n = new NumSlider(low, high, value, step, instant);
    n->name = name ? name : "";
    return n;
}

// ---------------------------------------------------------------- panels, shades and dialogs

Box* w_panel(Widget* child, int alpha) {
    Box* room = new Box(child);
    room->style.set_margin(W_PANEL_ROOM_V, W_PANEL_ROOM_H, W_PANEL_ROOM_V, W_PANEL_ROOM_H);
    Box* panel = new Box(room);
    StyleSheet& s = panel->style;
    // The fill is an image over the content box, so that it can let light
    // through; the rim is the border around it.
    s.img = gfx_img_load("white");
    s.img_color = UI_NIGHT;
    s.img_alpha = alpha;
    s.set_border(W_PANEL_RIM);
    s.border_color = UI_STEEL;
    s.loop();
    return panel;
}

// A plain widget the size of the whole window, placed at its top left.
static Widget* _w_cover(Container& gui, Widget* w) {
    GfxRect view = gfx_get_view();
    w->style.width = (int)view.w;
    w->style.height = (int)view.h;
    w->style.loop();
    gui.add(w, (int)view.x, (int)view.y);
    return w;
}

static void _w_shade_style(Widget* w, int alpha) {
    w->style.img = gfx_img_load("black");
    w->style.img_alpha = alpha;
}

Widget* w_shade(Container& gui, int alpha) {
    Widget* w = new Widget();
    w->ignore = 1;
    _w_shade_style(w, alpha);
    return _w_cover(gui, w);
}

Box* w_dialog(Container& gui, Widget* content, const char* name) {
    Box* d = new Box(w_panel(content, STYLE_OPAQUE));
    d->name = name ? name : "";
    _w_shade_style(d, W_SHADE_ALPHA);
    _w_cover(gui, d);
    return d;
}
