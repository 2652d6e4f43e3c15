// The editable text field: caret and selection, password masking, typed
// character filtering, scrolling to the caret, clipboard keys and a bounded
// undo history with redo.
//
// Sections: construction and value, edits and history, caret and scrolling,
// events, painting.
#include <cstdio>
#include <cstring>

#include "driver.h"
#include "gfx.h"
#include "gui.h"
#include "log.h"

static std::string (*_textinput_clip_get)() = driver_clipboard_get_text;
static void (*_textinput_clip_set)(const std::string&) = driver_clipboard_set_text;

void TextInput::set_clipboard(std::string (*get)(), void (*set)(const std::string&)) {
    _textinput_clip_get = get ? get : driver_clipboard_get_text;
    _textinput_clip_set = set ? set : driver_clipboard_set_text;
}

// ---------------------------------------------------------------- construction and value

TextInput::TextInput(Font f, const char* s, unsigned int _maxlen) : fnt(f), txt(s ? s : "") {
    // The initial text is never cut.
    maxlen = txt.size() > _maxlen ? (unsigned int)txt.size() : _maxlen;
    _mktxt2();
    style.loop();
    resize();
    _adjust(false, false);
}

TextInput::~TextInput() {
    // A focused field that goes away takes its focused area with it.
    if (style.focus) gfx_blur();
}

const char* TextInput::get_value_s() { return txt.c_str(); }

void TextInput::set_value_s(const char* s) { _change(0, (int)txt.size(), s ? s : ""); }

int TextInput::_wrap_w() const { return wrap ? rect.w - cursor_w : 0; }

void TextInput::resize() {
    _mktxt2();
    // Measured at the width the text is drawn at, so a wrapped text's last
    // line is never left outside the field.
    int ww = _wrap_w();
    int h = style.cur().height, w = style.cur().width;
    rect.h = h != UNSET ? h : fnt.get_height(txt2.c_str(), ww);
    rect.w = w != UNSET ? w : _max(rect.h, fnt.get_width(txt2.c_str()));
}

void TextInput::_mktxt2() {
    if (!passwd) {
        txt2 = txt;
        return;
    }
    txt2.assign(txt.size(), '*');
    if (reveal && !txt.empty()) txt2.back() = txt.back();
}

// ---------------------------------------------------------------- edits and history

std::string TextInput::_filter(const std::string& ct) const {
    std::string s = ct;
    for (char& ch : s) {
        if (ch == '\n' && !wrap) ch = ' ';
        signed char sc = (signed char)ch;
        // Signed: bytes of 128 and above are below 32 too, so only ASCII stays.
        if (ch != '\n' && (sc < ' ' || sc == 127)) ch = '?';
    }
    return s;
}

void TextInput::_change(int p, int n, const char* b) {
    if (p < 0 || n < 0) return;
    int len = (int)txt.size();
    if (p + n > len) n = len - p;
    if (n < 0) return;
    std::string s = b ? b : "";
    long long newlen = (long long)len - n + (long long)s.size();
    if (newlen > (long long)maxlen) {
        long long cut = newlen - maxlen;
        if (cut > (long long)s.size()) return;
        s.resize(s.size() - (size_t)cut);
    }
    s = _filter(s);
    TextInputChange r;
    r.p = pos;
    r.pos = p;
    r.a = txt.substr((size_t)p, (size_t)n);
    r.b = s;
    _apply(p, n, s);
    pos = _pos = p + (int)s.size();
    undo.erase(undo.begin() + undo_n, undo.end());
    undo.push_back(r);
    undo_n++;
    if (undo_n > TEXTINPUT_HISTORY) {
        undo.erase(undo.begin());
        undo_n--;
    }
}

void TextInput::_apply(int p, int n, const std::string& v) {
    txt = txt.substr(0, (size_t)p) + v + txt.substr((size_t)(p + n));
    _mktxt2();
}

void TextInput::_undo() {
    if (undo_n <= 0) return;
    undo_n--;
    const TextInputChange& r = undo[undo_n];
    _apply(r.pos, (int)r.b.size(), r.a);
    pos = _pos = r.p;
}

void TextInput::_redo() {
    if (undo_n >= (int)undo.size()) return;
    const TextInputChange& r = undo[undo_n];
    _apply(r.pos, (int)r.a.size(), r.b);
    pos = _pos = r.pos + (int)r.b.size();
    undo_n++;
}

std::string TextInput::_selection() const {
    int lo = _min(_pos, pos), n = _abs(_pos - pos);
    return txt.substr((size_t)lo, (size_t)n);
}

// ---------------------------------------------------------------- caret and scrolling

void TextInput::_click(int x, int y, bool both) {
    pos = fnt.cnear(txt2.c_str(), x, y, _wrap_w(), ALIGN_START);
    pos = _max(0, _min(pos, (int)txt.size()));
    if (both) _pos = pos;
}

void TextInput::_adjust(bool _cx, bool cursor) {
    if (_cx) cx = -1;
    int ww = _wrap_w();
    int tw = fnt.get_width(txt2.c_str(), ww);
    int th = fnt.get_height(txt2.c_str(), ww);
    if (cursor) {
        GfxRect c = fnt.crect(txt2.c_str(), pos, ww);
        int x = (int)c.x, y = (int)c.y, h = (int)c.h;
        if (x < view.x) view.x = x;
        if (x + cursor_w > view.x + rect.w) view.x = x + cursor_w - rect.w;
        if (y < view.y) view.y = y;
        if (y + h > view.y + rect.h) view.y = y + h - rect.h;
    }
    view.x = _max(0, _min(view.x, tw - rect.w + cursor_w));
    view.y = _max(0, _min(view.y, th - rect.h));
}

// ---------------------------------------------------------------- events

int TextInput::event(Event* e) {
    int r = Widget::event(e);
    if (r) return r;
    switch (e->type) {
    case EVT_CLICK: {
        reveal = 0;
        driver_keyboard_show();
        MyRect a = get_abs_rect(true);
        gfx_focus(GfxRect((float)a.x, (float)a.y, (float)a.w, (float)a.h));
        return 0;
    }
    case EVT_FOCUS:
        log_info("evt_focus\n");
        if (!wrap) {
            _pos = 0;
            pos = (int)txt.size();
        }
        _adjust(false, e->v != FOCUS_BY_POINTER);
        return 0;
    case EVT_BLUR:
        reveal = 0;
        driver_keyboard_hide();
        gfx_blur();
        if (!wrap) view.x = view.y = 0;
        _adjust(false, false);
        return 0;
    case EVT_DOWN:
        log_info("evt_down\n");
        _click(view.x + (int)e->x, view.y + (int)e->y, true);
        _adjust(true, true);
        return 0;
    case EVT_MOTION:
        if (!style.focus || !e->b) return 0;
        _click(view.x + (int)e->x, view.y + (int)e->y, false);
        _adjust(true, true);
        return 0;
    case EVT_UP:
        _click(view.x + (int)e->x, view.y + (int)e->y, false);
        _adjust(true, true);
        return 0;
    case EVT_WHEEL:
        view.y += (int)((float)fnt.get_height("", 0) * e->dy);
        _adjust(false, false);
        return 0;
    case EVT_KEYDOWN:
        return _key(e);
    default:
        return 0;
    }
}

// One key press; returns the field's code only for Return in a single line.
int TextInput::_key(Event* e) {
    reveal = 0;
    bool shift = (e->b & MOD_SHIFT) != 0;
    int lo = _min(_pos, pos), n = _abs(_pos - pos);
    int len = (int)txt.size();
    if (e->v == KEY_TAB) return 0;  // Widget::event has moved the focus
    if (e->v == KEY_RETURN) {
        if (wrap) return _type('\n');
        driver_keyboard_hide();
        return onchange;
    }
    if ((e->b & MOD_COMMAND) && _command(e->v, shift)) return 0;
    switch (e->v) {
    case KEY_BACKSPACE:
        if (n) _change(lo, n, "");
        else if (pos > 0) _change(pos - 1, 1, "");
        break;
    case KEY_DELETE:
        if (n) _change(lo, n, "");
        else _change(pos, 1, "");
        break;
    case KEY_LEFT:
    case KEY_RIGHT:
        pos = e->v == KEY_LEFT ? _max(0, pos - 1) : _min(len, pos + 1);
        if (!shift) _pos = pos;
        break;
    case KEY_UP:
    case KEY_DOWN: {
        GfxRect c = fnt.crect(txt2.c_str(), pos, _wrap_w());
        if (cx == -1) cx = (int)(c.x + c.w / 2);
        float y = e->v == KEY_UP ? c.y - c.h / 2 : c.y + c.h + c.h / 2;
        _click(cx, (int)y, !shift);
        _adjust(false, true);  // keeps cx, so repeated presses keep their column
        return 0;
    }
    case KEY_HOME:
    case KEY_END: {
        int ww = _wrap_w();
        GfxRect c = fnt.crect(txt2.c_str(), pos, ww);
        int x = e->v == KEY_HOME ? 0 : fnt.get_width(txt2.c_str(), ww);
        _click(x, (int)(c.y + c.h / 2), !shift);
        break;
    }
    default:
        return _type(e->c);
    }
    _adjust(true, true);
    return 0;
}

// Ctrl (Alt, Meta) with a letter; false for letters that are no command.
bool TextInput::_command(int key, bool shift) {
    int lo = _min(_pos, pos), n = _abs(_pos - pos);
    switch (key) {
    case KEY_z:
        if (shift) _redo();
        else _undo();
        break;
    case KEY_x:
        if (!passwd) _textinput_clip_set(_selection());
        _change(lo, n, "");
        break;
    case KEY_c:
        if (!passwd) _textinput_clip_set(_selection());
        return true;
    case KEY_v: {
        std::string t = _textinput_clip_get();
        // Text copied elsewhere may end its lines in CR LF.
        std::string clean;
        for (size_t i = 0; i < t.size(); i++)
            if (!(t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')) clean += t[i];
        _change(lo, n, clean.c_str());
        break;
    }
    case KEY_a:
        _pos = 0;
        pos = (int)txt.size();
        break;
    default:
        return false;
    }
    _adjust(true, true);
    return true;
}

// A typed character replaces the selection; control characters are dropped.
int TextInput::_type(int ch) {
    if (ch != '\n' && (ch < ' ' || ch > '~')) return 0;
    char one[2] = {(char)ch, 0};
    _change(_min(_pos, pos), _abs(_pos - pos), one);
    _adjust(true, true);
    return 0;
}

// ---------------------------------------------------------------- painting

void TextInput::paint() {
    _mktxt2();
    int ww = _wrap_w();
    const char* t = txt2.c_str();
    _enable_clip();
    gfx_translate(-view.x, -view.y);
    if (style.focus && _pos != pos) {
        GfxRect a = fnt.crect(t, _min(_pos, pos), ww);
        GfxRect b = fnt.crect(t, _max(_pos, pos), ww);
        int ax = (int)a.x, ay = (int)a.y, ah = (int)a.h, bx = (int)b.x, by = (int)b.y;
        if (ay == by) {
            gfx_fill(TEXTINPUT_SELECTION, ax, ay, bx - ax, ah);
        } else {
            gfx_fill(TEXTINPUT_SELECTION, ax, ay, ww - ax, ah);
            gfx_fill(TEXTINPUT_SELECTION, 0, ay + ah, ww, by - ay - ah);
            gfx_fill(TEXTINPUT_SELECTION, 0, by, bx, (int)b.h);
        }
    }
    int c = style.cur().color;
    Theme::color(c == UNSET ? STYLE_WHITE : c);
    fnt.draw(t, 0, 0, ww, ALIGN_START);
    Theme::color(STYLE_WHITE);
    if (style.focus) {
        GfxRect k = fnt.crect(t, pos, ww);
        gfx_fill(STYLE_WHITE, (int)k.x, (int)k.y, cursor_w, (int)k.h);
    }
    gfx_translate(view.x, view.y);
    _disable_clip();
}
