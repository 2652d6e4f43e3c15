// Bitmap fonts: glyph rectangles from font.txt over a texture of the 2D
// layer, measured, word-wrapped, drawn aligned and clipped, with the caret
// geometry of a text field and a filter that masks offensive words.
//
// Sections: record and loading, word filter, wrapping and measuring,
// drawing, caret geometry.
#include "font.h"

#include <GL/gl.h>
#include <json/json.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "log.h"
#include "util.h"

// ---- record and loading

struct FontInfo {
    int n = 0;
    int tex = 0;  // texture handle of the 2D layer
    GfxRect chars[FONT_CHARS];  // glyph rectangles in texture pixels; w is the advance
    float height = 0;           // line height and glyph cell height
    GfxRect rect;               // w, h: the texture's declared size
};

struct _FontData {
    Json::Value json;
    std::map<std::string, int> map;
    FontInfo data[FONT_MAX];
    int n = 1;
};

static _FontData* _font = nullptr;
// What handle 0, unknown handles and calls without a record measure with.
static const FontInfo _font_none;

static const FontInfo& _font_info(int fid) {
    if (!_font || fid <= 0 || fid >= _font->n) return _font_none;
    return _font->data[fid];
}

void font_init() {
    delete _font;
    _font = new _FontData();
    _gfx_json_load("font.txt", &_font->json);
}

void font_deinit() {
    delete _font;
    _font = nullptr;
}

void _font_json_set(const Json::Value& root) {
    if (_font) _font->json = root.isObject() ? root : Json::Value();
}

int font_load(const char* name) {
    if (!_font || !name) return 0;
    auto it = _font->map.find(name);
    if (it != _font->map.end()) return it->second;
    log_info("trying load font %s\n", name);
    const Json::Value& json = _font->json;
    if (!json.isObject() || !json.isMember(name)) return 0;
    if (_font->n >= FONT_MAX) {
        fprintf(stderr, "font table full, %s not loaded\n", name);
        return 0;
    }
    int n = _font->n;
    log_info("doing load font %s (%d)\n", name, n);
    _font->map[name] = n;
    FontInfo& f = _font->data[n];
    const Json::Value& entry = json[name];
    const Json::Value& height = _gfx_json_get(entry, "height");
    const Json::Value& tname = _gfx_json_get(entry, "texture");
    const Json::Value& chars = _gfx_json_get(entry, "chars");
    f.n = n;
    f.height = height.isNumeric() ? mymin(mymax(height.asFloat(), 0), GFX_COORD_LIMIT) : 0;
    f.tex = tname.isString() ? gfx_tex_load(tname.asCString()) : 0;
    f.rect = _gfx_json_rect(_gfx_json_get(entry, "rect"));
    for (Json::ArrayIndex i = 0; i < FONT_CHARS; i++)
        f.chars[i] = chars.isArray() && i < chars.size() ? _gfx_json_rect(chars[i]) : GfxRect();
    _font->n++;
    return n;
}

// ---- word filter

// Masked wherever they occur, whatever the case, also inside longer words.
static const char* const FONT_WORDS[] = {
    "fuck", "fuk", "phuck", "shit", "$hit", "shyt", "cunt", "kunt", "bitch", "biatch",
    "whore", "slut", "dick", "cock", "pussy", "twat", "wank", "bastard", "nigger", "nigga",
    "faggot", "fag", "retard", "dyke", "wetback", "kike", "jizz", "dildo",
};
static_assert(MY_COUNT(FONT_WORDS) == 28, "the word list has 28 entries");

const char* _font_filter(const char* s) {
    static char out[FONT_FILTER_MAX + 1];
    static char low[FONT_FILTER_MAX + 1];
    size_t n = 0;
    if (s)
        for (; n < FONT_FILTER_MAX && s[n]; n++) {
            out[n] = s[n];
            low[n] = (char)tolower((unsigned char)s[n]);
        }
    out[n] = low[n] = 0;
    for (const char* word : FONT_WORDS) {
        size_t len = strlen(word);
        for (char* hit = strstr(low, word); hit; hit = strstr(hit + len, word)) {
            memset(hit, '*', len);
            memset(out + (hit - low), '*', len);
        }
    }
    return out;
}

// ---- wrapping and measuring

static float _font_adv(const FontInfo& f, char c) { return f.chars[(unsigned char)c].w; }

void _font_wrap_calc(int fid, const char* s, float ww, FontWrap* wrap) {
    const FontInfo& f = _font_info(fid);
    if (!s) s = "";
    wrap->total = 0;
    int ts = 0;
    for (;;) {
        int i = ts, ls = 0, te = 0;
        float w = 0, lw = 0;
        char c = 0;
        for (;;) {
            c = s[i];
            te = i;
            if (c == '\n' || c == 0) break;
            float cw = _font_adv(f, c);
            if (ww != 0 && w + cw > ww) {
                // Full: break at the last space of the line if there is one.
                if (ls != 0) {
                    te = ls;
                    c = ' ';
                    w = lw;
                }
                break;
            }
            if (c == ' ') {
                ls = i;
                lw = (float)(int)w;
            }
            w += cw;
            i++;
        }
        int* line = wrap->lines[wrap->total++];
        line[0] = ts;
        line[1] = te;
        line[2] = (int)w;
        if (wrap->total >= FONT_LINES_MAX || c == 0) return;
        // The breaking space or newline belongs to no line; a glyph that did
        // not fit starts the next one.
        ts = te + (c == ' ' || c == '\n' ? 1 : 0);
    }
}

int font_get_width(int fid, const char* s) {
    const FontInfo& f = _font_info(fid);
    const char* t = _font_filter(s);
    float w = 0;
    for (; *t; t++) w += _font_adv(f, *t);
    return (int)w;
}

int font_get_height(int fid, const char* s, float w) {
    const FontInfo& f = _font_info(fid);
    if (!s || w == 0) return (int)f.height;
    FontWrap wrap;
    _font_wrap_calc(fid, _font_filter(s), w, &wrap);
    return (int)((float)wrap.total * f.height);
}

// Where a line starts within the wrap width: -1 left, 0 centre, 1 right.
static float _font_line_x(float w, int line_w, int align) {
    return w == 0 ? 0 : (float)(align + 1) * (w - (float)line_w) / 2;
}

// ---- drawing

static float _font_vert[FONT_BATCH_MAX * 6 * 2];
static float _font_texc[FONT_BATCH_MAX * 6 * 2];

static void _font_flush(int* count) {
    if (*count == 0) return;
    _gfx_draw(GL_TRIANGLES, 2, _font_vert, _font_texc, *count * 6);
    *count = 0;
}

// Two triangles for one glyph; the array is drawn when it is full.
static void _font_add(const GfxRect& d, const GfxRect& s, int* count) {
    const float v[] = {d.x, d.y, d.x + d.w, d.y, d.x, d.y + d.h,
                       d.x + d.w, d.y, d.x + d.w, d.y + d.h, d.x, d.y + d.h};
    const float t[] = {s.x, s.y, s.x + s.w, s.y, s.x, s.y + s.h,
                       s.x + s.w, s.y, s.x + s.w, s.y + s.h, s.x, s.y + s.h};
    memcpy(&_font_vert[*count * 12], v, sizeof(v));
    memcpy(&_font_texc[*count * 12], t, sizeof(t));
    if (++*count == FONT_BATCH_MAX) _font_flush(count);
}

static void _font_draw_line(const FontInfo& f, const char* s, int start, int end, float x, float y) {
    int count = 0;
    for (int i = start; i < end; i++) {
        const GfxRect& g = f.chars[(unsigned char)s[i]];
        GfxRect d(x, y, g.w, f.height);
        GfxRect src(g.x / f.rect.w, g.y / f.rect.h, g.w / f.rect.w, f.height / f.rect.h);
        x += g.w;
        if (_gfx_clip_apply(&d, &src)) _font_add(d, src, &count);
    }
    _font_flush(&count);
}

void font_draw(int fid, const char* s, float x, float y, float w, int align) {
    const FontInfo& f = _font_info(fid);
    if (f.n == 0 || f.rect.w == 0 || f.rect.h == 0) return;
    const char* t = _font_filter(s);
    FontWrap wrap;
    _font_wrap_calc(fid, t, w, &wrap);
    glBindTexture(GL_TEXTURE_2D, (GLuint)gfx_tex_get_id(f.tex));
    for (int l = 0; l < wrap.total; l++, y += f.height) {
        const int* line = wrap.lines[l];
        float lx = x + _font_line_x(w, line[2], align);
        GfxRect box(lx, y, (float)line[2], f.height);
        if (_gfx_clip_apply(&box, nullptr)) _font_draw_line(f, t, line[0], line[1], lx, y);
    }
}

// ---- caret geometry

// Calls at(k, x, y, advance) for every character position of the wrapped
// text, each line's end included, until it returns true. Leaves in (*x, *y)
// the pen after the walk.
template <typename F>
static void _font_walk(int fid, const char* s, float w, int align, float* x, float* y, F at) {
    const FontInfo& f = _font_info(fid);
    const char* t = _font_filter(s);
    FontWrap wrap;
    _font_wrap_calc(fid, t, w, &wrap);
    *y = 0;
    *x = 0;
    for (int l = 0; l < wrap.total; l++, *y += f.height) {
        const int* line = wrap.lines[l];
        *x = _font_line_x(w, line[2], align);
        for (int k = line[0]; k <= line[1]; k++) {
            float adv = _font_adv(f, t[k]);
            if (at(k, *x, *y, adv)) return;
            *x += adv;
        }
    }
}

GfxRect font_crect(int fid, const char* s, int pos, float w, int align) {
    const float h = _font_info(fid).height;
    GfxRect r;
    bool found = false;
    float x, y;
    _font_walk(fid, s, w, align, &x, &y, [&](int k, float gx, float gy, float adv) {
        if (k < pos) return false;
        r = GfxRect(gx, gy, adv, h);
        found = true;
        return true;
    });
    return found ? r : GfxRect(x, y - h, 0, h);
}

int font_cnear(int fid, const char* s, int x, int y, float w, int align) {
    const float h = _font_info(fid).height;
    const int64_t LINE_WEIGHT = 65536;
    int best = 0;
    int64_t best_d = INT64_MAX;
    float px, py;
    _font_walk(fid, s, w, align, &px, &py, [&](int k, float gx, float gy, float) {
        int64_t dy = (int64_t)(gy + h / 2 - (float)y), dx = (int64_t)(gx - (float)x);
        int64_t d = (dy < 0 ? -dy : dy) * LINE_WEIGHT + (dx < 0 ? -dx : dx);
        if (d < best_d) {
            best_d = d;
            best = k;
        }
        return false;
    });
    return best;
}
