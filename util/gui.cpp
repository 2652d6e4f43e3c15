// The widget tree: widgets, containers with their event routing, and the
// layout widgets (tables, boxes, labels, scroll boxes).
//
// Sections: Widget, Container, Table, Box, Label, ScrollBox.
#include "gui.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gfx.h"

static int _gui_or0(int v) { return v == UNSET ? 0 : v; }

// ---------------------------------------------------------------- Widget

Widget* Widget::find(const char* n) {
    // An unnamed widget is never found, or every widget would answer "".
    if (!n || !n[0]) return nullptr;
    return name == n ? this : nullptr;
}

const char* Widget::get_value_s() {
    fprintf(stderr, "const char *get_value_s(): n/a\n");
    return nullptr;
}

void Widget::set_value_s(const char* s) {
    (void)s;
    fprintf(stderr, "set_value_s(const char *): n/a\n");
}

int Widget::get_value_i() {
    fprintf(stderr, "int get_value_i(): n/a\n");
    return 0;
}

void Widget::set_value_i(int v) {
    (void)v;
    fprintf(stderr, "set_value_i(int): n/a\n");
}

void Widget::_focus() {
    // Blur every container on the way, so that each drops its old focus chain...
    for (Widget* w = this; w; w = w->parent) {
        Event b(EVT_BLUR);
        w->event(&b);
    }
    // ...then build the one chain from the root down to this widget.
    for (Widget* w = this; w; w = w->parent) {
        if (w->parent) w->parent->focus = w;
        Event f(EVT_FOCUS);
        w->event(&f);
    }
}

int Widget::event(Event* e) {
    if (e->type == EVT_KEYDOWN && e->v == KEY_TAB && next) next->_focus();
    switch (e->type) {
    case EVT_CLICK: return onclick;
    case EVT_MOTION: return onmove;
    case EVT_DOWN: return ondown;
    case EVT_FOCUS: style.focus = 1; break;
    case EVT_BLUR: style.focus = 0; break;
    case EVT_ENTER: style.hover = 1; break;
    case EVT_EXIT: style.hover = 0; break;
    default: return 0;
    }
    style.restate();
    return 0;
}

void Widget::resize() {
    rect.w = _gui_or0(style.cur().width);
    rect.h = _gui_or0(style.cur().height);
}

void Widget::resize(int w, int h) {
    (void)w;
    (void)h;
    resize();
}

int Widget::_event(Event* e) { return Theme::event(this, e); }
void Widget::_paint() { Theme::paint(this); }
void Widget::_resize() { Theme::resize(this); }
void Widget::_resize(int w, int h) { Theme::resize(this, w, h); }

int Widget::replace(const char* v, Widget* w) {
    Widget* old = find(v);
    if (!old || !w || old == w || !old->parent) return 0;
    w->b_col = old->b_col;
    w->b_row = old->b_row;
    w->b_colspan = old->b_colspan;
    w->b_rowspan = old->b_rowspan;
    w->b_x = old->b_x;
    w->b_y = old->b_y;
    Container* p = old->parent;
    // The new widget takes the old one's place in a plain container too.
    int x = old->_rect.x, y = old->_rect.y;
    p->remove(old);
    p->add(w, x, y);
    return 1;
}

MyRect Widget::get_abs_rect(bool inc_style) {
    int x = 0, y = 0;
    for (Widget* w = this; w; w = w->parent) {
        x += w->rect.x + w->_rect.x;
        y += w->rect.y + w->_rect.y;
        if (w->parent) {
            x -= w->parent->view.x;
            y -= w->parent->view.y;
        }
    }
    if (!inc_style) return MyRect(x, y, rect.w, rect.h);
    return MyRect(x - rect.x, y - rect.y, _rect.w, _rect.h);
}

void Widget::_enable_clip() { gfx_clip(0, 0, rect.w, rect.h); }
void Widget::_disable_clip() { gfx_unclip(); }

// ---------------------------------------------------------------- Container

Container::Container(Container&& o) : Widget(o) {
    parent = nullptr;
    widgets.swap(o.widgets);
    hover = o.hover;
    focus = o.focus;
    o.hover = o.focus = nullptr;
    for (Widget* w : widgets) w->parent = this;
}

Container& Container::operator=(Container&& o) {
    if (this == &o) return *this;
    _clear();
    Container* keep = parent;
    Widget::operator=(o);
    parent = keep;
    widgets.swap(o.widgets);
    hover = o.hover;
    focus = o.focus;
    o.hover = o.focus = nullptr;
    for (Widget* w : widgets) w->parent = this;
    return *this;
}

Container::~Container() { _clear(); }

void Container::_clear() {
    std::vector<Widget*> old;
    old.swap(widgets);
    hover = focus = nullptr;
    for (Widget* w : old) delete w;
}

void Container::add(Widget* w, int x, int y) {
    if (!w) return;
    w->_rect.x = x;
    w->_rect.y = y;
    widgets.push_back(w);
    w->parent = this;
    w->style.loop();
    w->resize();
}

// w and every widget below it.
static void _gui_subtree(Widget* w, std::vector<Widget*>& out) {
    out.push_back(w);
    if (Container* c = dynamic_cast<Container*>(w))
        for (Widget* k : c->widgets) _gui_subtree(k, out);
}

void Container::remove(Widget* w) {
    if (!w) return;
    if (hover == w) hover = nullptr;
    if (focus == w) focus = nullptr;
    auto it = std::find(widgets.begin(), widgets.end(), w);
    if (it == widgets.end()) return;
    widgets.erase(it);
    // Tab links from the rest of the tree into the removed part would dangle.
    std::vector<Widget*> gone, rest;
    _gui_subtree(w, gone);
    Widget* root = this;
    while (root->parent) root = root->parent;
    _gui_subtree(root, rest);
    for (Widget* k : rest)
        if (k->next && std::find(gone.begin(), gone.end(), k->next) != gone.end()) k->next = nullptr;
    delete w;
}

Widget* Container::find(const char* n) {
    for (Widget* w : widgets) {
        if (Widget* r = w->find(n)) return r;
    }
    return Widget::find(n);
}

Widget* Container::_hit(float x, float y) {
    for (size_t i = widgets.size(); i-- > 0;) {
        Widget* w = widgets[i];
        if (w->ignore) continue;
        const MyRect& r = w->_rect;
        if (r.x <= x && x < r.x + r.w && r.y <= y && y < r.y + r.h) return w;
    }
    return nullptr;
}

// A copy of e in the child's outer-box coordinates.
static Event _gui_child_event(const Event* e, const Widget* w, int type) {
    Event c = *e;
    c.type = type;
    c.x -= (float)w->_rect.x;
    c.y -= (float)w->_rect.y;
    return c;
}

int Container::event(Event* e) {
    int r = Widget::event(e);
    if (r || e->type == EVT_CLICK) return r;
    if (e->type == EVT_ORIENT) {
        int res = 0;
        for (size_t i = widgets.size(); i-- > 0;) {
            if (i >= widgets.size() || widgets[i]->ignore) continue;
            int v = widgets[i]->event(e);
            if (v) res = v;
        }
        return res;
    }
    bool pointer = e->type == EVT_DOWN || e->type == EVT_MOTION;
    Widget* hit = pointer ? _hit(e->x, e->y) : nullptr;

    Widget* nf = focus;
    if (e->type == EVT_DOWN) nf = hit;
    if (e->type == EVT_BLUR) nf = nullptr;
    if (nf != focus) {
        Widget* old = focus;
        focus = nf;
        if (old) {
            Event b(EVT_BLUR);
            old->event(&b);
        }
        if (nf && focus == nf) {
            Event f(EVT_FOCUS);
            f.v = FOCUS_BY_POINTER;
            nf->event(&f);
        }
    }

    Widget* nh = hover;
    if (pointer) nh = hit;
    if (e->type == EVT_EXIT) nh = nullptr;
    if (nh != hover) {
        Widget* old = hover;
        hover = nh;
        if (old) {
            Event x(EVT_EXIT);
            old->event(&x);
        }
        if (nh && hover == nh) {
            Event n(EVT_ENTER);
            nh->event(&n);
        }
    }

    switch (e->type) {
    case EVT_ENTER: case EVT_EXIT: case EVT_BLUR: case EVT_FOCUS: return 0;
    default: break;
    }
    // hover and focus are read again after every delivery: a child's handler
    // may have changed the tree.
    if (hover && hover != focus && (e->type == EVT_MOTION || e->type == EVT_WHEEL)) {
        Event c = _gui_child_event(e, hover, e->type);
        if ((r = hover->_event(&c))) return r;
    }
    if (focus) {
        Event c = _gui_child_event(e, focus, e->type);
        if ((r = focus->_event(&c))) return r;
        if (focus && hover == focus && e->type == EVT_UP) {
            Event k = _gui_child_event(e, focus, EVT_CLICK);
            if ((r = focus->_event(&k))) return r;
        }
    }
    return 0;
}

void Container::loop() {
    for (size_t i = 0; i < widgets.size(); i++) widgets[i]->loop();
}

void Container::paint() {
    bool keep = parent && widgets.size() < 2;
    for (Widget* w : widgets) {
        if (!keep) Theme::push();
        gfx_translate(w->_rect.x, w->_rect.y);
        w->_paint();
        gfx_translate(-w->_rect.x, -w->_rect.y);
        if (!keep) Theme::pop();
    }
}

void Container::resize() {
    int w = 0, h = 0;
    for (Widget* c : widgets) {
        c->style.loop();
        c->_resize();
        w = std::max(w, c->_rect.x + c->_rect.w);
        h = std::max(h, c->_rect.y + c->_rect.h);
    }
    rect.w = w;
    rect.h = h;
}

// ---------------------------------------------------------------- Table

Table::Table() {
    me = new Widget();
    me->ignore = 1;
    add(me, 0, 0);
}

void Table::tr() {
    row++;
    col = 0;
}

void Table::td(Widget* w, int colspan, int rowspan, int c, int r) {
    if (!w) return;
    if (c != -1) col = c;
    if (r != -1) row = r;
    row = std::max(row, 0);
    col = std::max(col, 0);
    w->b_col = col;
    w->b_row = row;
    // A span below one would divide by zero when the cell shares out its size.
    w->b_colspan = std::max(colspan, 1);
    w->b_rowspan = std::max(rowspan, 1);
    col += w->b_colspan;
    add(w, 0, 0);
}

int t_div(int n, int d, int i) {
    int q = n / d, m = n % d;
    if (m == 0) return q;
    return i % d < m ? q + 1 : q;
}

namespace {
// Column (or row) sizes of one axis of a table layout.
struct TableAxis {
    int Widget::*start;
    int Widget::*span;
    int MyRect::*size;
    std::vector<int> sizes;
    std::vector<int> pos;

    TableAxis(int Widget::*s, int Widget::*n, int MyRect::*z) : start(s), span(n), size(z) {}

    int sum(const Widget* w) const {
        int t = 0;
        for (int i = 0; i < w->*span; i++) t += sizes[w->*start + i];
        return t;
    }

    void measure(std::vector<Widget*>& list, int count) {
        sizes.assign(count, 0);
        int Widget::*sp = span;
        std::stable_sort(list.begin(), list.end(),
                         [sp](const Widget* a, const Widget* b) { return a->*sp < b->*sp; });
        for (Widget* w : list) {
            int have = sum(w);
            int want = w->_rect.*size;
            if (want <= have) continue;
            int extra = want - have;
            for (int i = 0; i < w->*span; i++) {
                int c = w->*start + i;
                sizes[c] += t_div(extra, w->*span, c);
            }
        }
        pos.assign(count + 1, 0);
        for (int i = 0; i < count; i++) pos[i + 1] = pos[i] + sizes[i];
    }
};
}  // namespace

void Table::resize() {
    Container::resize();
    int cols = 0, rows = 0;
    for (Widget* w : widgets) {
        // Cells set by hand rather than by td must still index the grid.
        w->b_col = std::max(w->b_col, 0);
        w->b_row = std::max(w->b_row, 0);
        w->b_colspan = std::max(w->b_colspan, 1);
        w->b_rowspan = std::max(w->b_rowspan, 1);
        cols = std::max(cols, w->b_col + w->b_colspan);
        rows = std::max(rows, w->b_row + w->b_rowspan);
    }
    me->b_col = me->b_row = 0;
    me->b_colspan = std::max(cols, 1);
    me->b_rowspan = std::max(rows, 1);
    me->_rect = MyRect(0, 0, _gui_or0(style.cur().width), _gui_or0(style.cur().height));

    TableAxis cx(&Widget::b_col, &Widget::b_colspan, &MyRect::w);
    TableAxis cy(&Widget::b_row, &Widget::b_rowspan, &MyRect::h);
    cx.measure(widgets, me->b_colspan);
    cy.measure(widgets, me->b_rowspan);

    for (Widget* w : widgets) {
        w->_rect.x = cx.pos[w->b_col];
        w->_rect.y = cy.pos[w->b_row];
        int cw = cx.sum(w), ch = cy.sum(w);
        if (w->_rect.w != cw || w->_rect.h != ch) w->_resize(cw, ch);
    }
    rect.w = cx.pos.back();
    rect.h = cy.pos.back();
}

// ---------------------------------------------------------------- Box

Box::Box(Widget* w) { add(w, 0, 0); }

Box::Box(Widget* w, const StyleSheet& s) {
    add(w, 0, 0);
    style = s;
}

void Box::resize() {
    Container::resize();
    if (widgets.empty()) return;
    Widget* c = widgets[0];
    const StyleData& s = style.cur();
    int lr = 0, tb = 0;
    for (int side : {STYLE_LEFT, STYLE_RIGHT})
        lr += _gui_or0(s.padding[side]) + _gui_or0(s.border[side]) + _gui_or0(s.margin[side]);
    for (int side : {STYLE_TOP, STYLE_BOTTOM})
        tb += _gui_or0(s.padding[side]) + _gui_or0(s.border[side]) + _gui_or0(s.margin[side]);
    int W = _gui_or0(s.width), H = _gui_or0(s.height);
    if (!_gui_or0(s.clip)) {
        rect.w = std::max(c->_rect.w, W - lr);
        rect.h = std::max(c->_rect.h, H - tb);
    } else {
        rect.w = W ? W - lr : c->_rect.w;
        rect.h = H ? H - tb : c->_rect.h;
    }
    _align();
}

void Box::_align() {
    if (widgets.empty()) return;
    Widget* c = widgets[0];
    int a = _gui_or0(style.cur().align), v = _gui_or0(style.cur().valign);
    c->_rect.x = ((a + 1) * (rect.w - c->_rect.w)) / 2;
    c->_rect.y = ((v + 1) * (rect.h - c->_rect.h)) / 2;
}

void Box::resize(int w, int h) {
    resize();
    rect.w = w;
    rect.h = h;
    _align();
}

void Box::paint() {
    bool clip = _gui_or0(style.cur().clip) != 0;
    if (clip) _enable_clip();
    Container::paint();
    if (clip) _disable_clip();
}

// ---------------------------------------------------------------- Label

static char* _gui_strdup(const char* s) {
    if (!s) s = "";
    size_t n = strlen(s) + 1;
    char* r = new char[n];
    memcpy(r, s, n);
    return r;
}

Label::Label(Font f, const char* text) : fnt(f), txt(_gui_strdup(text)) {}

Label::Label(const Label& o) : Widget(o), fnt(o.fnt), txt(_gui_strdup(o.txt)) {}

Label& Label::operator=(const Label& o) {
    if (this == &o) return *this;
    Widget::operator=(o);
    fnt = o.fnt;
    set_text(o.txt);
    return *this;
}

Label::~Label() { delete[] txt; }

void Label::set_text(const char* text) {
    char* t = _gui_strdup(text);
    delete[] txt;
    txt = t;
}

int Label::event(Event* e) { return Widget::event(e); }

// Glyph advances may be fractional and a measured width is truncated, so a
// label sized by its own text wraps one pixel wider, or its last glyph would
// never fit on the line.
int Label::_wrap_w() const {
    return style.cur().width != UNSET ? rect.w : rect.w + 1;
}

void Label::resize() {
    int w = style.cur().width;
    rect.w = w != UNSET ? w : fnt.get_width(txt);
    rect.h = fnt.get_height(txt, _wrap_w());
}

void Label::paint() {
    int c = style.cur().color, a = style.cur().align;
    Theme::color(c == UNSET ? STYLE_WHITE : c);
    fnt.draw(txt, 0, 0, _wrap_w(), a == UNSET ? ALIGN_START : a);
    Theme::color(STYLE_WHITE);
}

// ---------------------------------------------------------------- ScrollBox

ScrollBox::ScrollBox(Widget* w, int width, int height) {
    add(w, 0, 0);
    style.width = width;
    style.height = height;
}

void ScrollBox::resize() {
    Container::resize();
    rect.w = _gui_or0(style.cur().width);
    rect.h = _gui_or0(style.cur().height);
    // Content that shrank since the last frame must not stay scrolled past its end.
    clamp_view();
}

void ScrollBox::clamp_view() {
    int cw = 0, ch = 0;
    if (!widgets.empty()) {
        cw = widgets[0]->_rect.w;
        ch = widgets[0]->_rect.h;
    }
    view.x = std::max(0, std::min(view.x, cw - rect.w));
    view.y = std::max(0, std::min(view.y, ch - rect.h));
}

int ScrollBox::wheel_step() const {
    const Table* list = widgets.empty() ? nullptr : dynamic_cast<const Table*>(widgets[0]);
    int rows = list ? list->row + 1 : 0;
    if (rows <= 0 || list->_rect.h <= 0) return GUI_WHEEL_STEP;
    return std::max(1, GUI_WHEEL_ROWS * list->_rect.h / rows);
}

void ScrollBox::loop() {
    if (state) return;
    view.y -= ay;
    clamp_view();
    const int decay = 2;
    for (int i = 0; i < decay && ay; i++) ay -= ay > 0 ? 1 : -1;
}

int ScrollBox::event(Event* e) {
    Event c = *e;
    c.x += (float)view.x;
    c.y += (float)view.y;
    switch (e->type) {
    case EVT_DOWN:
        state = 0;
        ay = 0;
        Container::event(&c);
        return 0;
    case EVT_WHEEL:
        view.y += (int)(e->dy * wheel_step());
        clamp_view();
        return 0;
    case EVT_MOTION:
        if (e->b && style.focus) {
            view.x -= (int)e->dx;
            view.y -= (int)e->dy;
            clamp_view();
            if (e->dy != 0) ay = (int)e->dy;
            state = 1;
            return 0;
        }
        if (e->x < 0 || e->y < 0 || e->x >= rect.w || e->y >= rect.h) {
            // Outside the window onto the content: nothing under the pointer.
            const float nowhere = -65536;
            c.x = c.y = nowhere;
        }
        return Container::event(&c);
    case EVT_UP:
        if (state == 1) {
            state = 0;  // the end of a drag is not a click
            return 0;
        }
        return Container::event(&c);
    default:
        return Container::event(e);
    }
}

void ScrollBox::paint() {
    _enable_clip();
    gfx_translate(-view.x, -view.y);
    Container::paint();
    gfx_translate(view.x, view.y);
    _disable_clip();
}
