// The 2D drawing layer: texture and image catalogues loaded by name, the
// logical canvas scaled into the window, translation and clip stacks,
// blits and nine-part frames, and window-to-canvas conversion of events.
// The canvas is scaled uniformly and centred in the window.
//
// Sections: record and lifecycle, catalogues, clipping, drawing, projection
// and coordinate conversion.
#include "gfx.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "driver.h"
#include "log.h"

// ---- record and lifecycle

struct GfxTexture {
    int n = 0;
    int tex = 0;   // OpenGL name, 0 when the file did not load
    GfxRect rect;  // w, h: the declared size that texture coordinates divide by
};

struct GfxImage {
    int n = 0;
    int tid = 0;    // texture handle
    GfxRect rect;   // source rectangle in declared texture pixels
    GfxRect shape;  // w, h: drawing size in logical units
};

struct _GfxData {
    GfxRect size;
    float orient = 0;
    GfxRect focus;
    GfxRect shift;
    Json::Value img_json;
    std::map<std::string, int> img_map;
    GfxImage img_data[GFX_IMG_MAX];
    int img_n = 1;
    Json::Value tex_json;
    std::map<std::string, int> tex_map;
    GfxTexture tex_data[GFX_TEX_MAX];
    int tex_n = 1;
    GfxRect translate;
    GfxRect clip[GFX_CLIP_MAX];
    int clip_n = 0;  // may exceed GFX_CLIP_MAX: deeper pushes hide everything
};

static _GfxData* _gfx = nullptr;

static const double GFX_PI = 3.141592653589793;
enum { QUAD_VERTICES = 4, BOX_CELLS = 3, ORIENT_SIDEWAYS = 90 };

// Vertex data of the last draw call; static so that no array pointer handed
// to OpenGL can outlive its storage.
static float _gfx_vert[QUAD_VERTICES * 3];
static float _gfx_texc[QUAD_VERTICES * 2];

const Json::Value& _gfx_json_get(const Json::Value& v, const char* key) {
    if (!v.isObject() || !v.isMember(key)) return Json::Value::nullSingleton();
    return v[key];
}

GfxRect _gfx_json_rect(const Json::Value& r) {
    auto num = [&r](const char* k) {
        const Json::Value& f = _gfx_json_get(r, k);
        if (!f.isNumeric()) return 0.0f;
        const double limit = GFX_COORD_LIMIT;
        double d = f.asDouble();
        return (float)(d < -limit ? -limit : d > limit ? limit : d);
    };
    return GfxRect(num("x"), num("y"), num("w"), num("h"));
}

void _gfx_json_load(const char* fname, Json::Value* out) {
    *out = Json::Value();
    std::string text = driver_data_load(fname);
    if (text.empty()) {
        fprintf(stderr, "file not found: %s\n", driver_data_fname(fname));
        return;
    }
    Json::Reader reader;
    Json::Value root;
    if (!reader.parse(text, root) || !root.isObject()) {
        fprintf(stderr, "%s: not a valid catalogue, every name in it is unknown\n", fname);
        return;
    }
    *out = root;
}

void _gfx_catalog_set(const Json::Value& images, const Json::Value& textures) {
    if (!_gfx) return;
    _gfx->img_json = images.isObject() ? images : Json::Value();
    _gfx->tex_json = textures.isObject() ? textures : Json::Value();
}

void gfx_init() {
    delete _gfx;
    _gfx = new _GfxData();
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    _gfx_json_load("image.txt", &_gfx->img_json);
    _gfx_json_load("texture.txt", &_gfx->tex_json);
    gfx_set_size(GFX_SIZE_DEFAULT, GFX_SIZE_DEFAULT);
    gfx_set_orient(0);
}

void gfx_deinit() {
    delete _gfx;
    _gfx = nullptr;
}

void gfx_clear() {
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    // A clear leaves the depth buffer alone while depth writes are off, as
    // the 2D set-up leaves them: a frame after a 2D one would draw its map
    // against the depth of older frames.
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void gfx_set_size(int w, int h) {
    if (!_gfx) return;
    _gfx->size.w = (float)w;
    _gfx->size.h = (float)h;
}

void gfx_set_orient(float a) {
    if (_gfx) _gfx->orient = a;
}

float gfx_get_orient() { return _gfx ? _gfx->orient : 0; }

float gfx_get_aspect() {
    if (!_gfx || _gfx->size.h == 0) return 1;
    return _gfx->size.w / _gfx->size.h;
}

float gfx_get_rotation() { return gfx_get_orient() - driver_get_orient(); }

void gfx_translate(int x, int y) {
    if (_gfx) {
        _gfx->translate.x += (float)x;
        _gfx->translate.y += (float)y;
    }
    glTranslatef((float)x, (float)y, 0);
}

void gfx_focus(GfxRect r) {
    if (_gfx) _gfx->focus = r;
}

void gfx_blur() {
    if (_gfx) _gfx->focus = GfxRect();
}

// ---- catalogues

int gfx_tex_load(const char* name) {
    if (!_gfx || !name) return 0;
    auto it = _gfx->tex_map.find(name);
    if (it != _gfx->tex_map.end()) return it->second;
    log_info("trying load tex %s\n", name);
    const Json::Value& json = _gfx->tex_json;
    if (!json.isObject() || !json.isMember(name)) return 0;
    if (_gfx->tex_n >= GFX_TEX_MAX) {
        fprintf(stderr, "texture table full, %s not loaded\n", name);
        return 0;
    }
    int n = _gfx->tex_n;
    log_info("doing load tex %s (%d)\n", name, n);
    _gfx->tex_map[name] = n;
    GfxTexture& t = _gfx->tex_data[n];
    const Json::Value& entry = json[name];
    const Json::Value& fname = _gfx_json_get(entry, "fname");
    t.n = n;
    t.tex = fname.isString() ? driver_tex_load(fname.asCString()) : 0;
    t.rect = _gfx_json_rect(_gfx_json_get(entry, "rect"));
    _gfx->tex_n++;
    return n;
}

int gfx_tex_get_id(int tid) {
    if (!_gfx || tid <= 0 || tid >= _gfx->tex_n) return 0;
    return _gfx->tex_data[tid].tex;
}

int gfx_img_load(const char* name) {
    if (!_gfx || !name) return 0;
    auto it = _gfx->img_map.find(name);
    if (it != _gfx->img_map.end()) return it->second;
    log_info("trying load img %s\n", name);
    const Json::Value& json = _gfx->img_json;
    if (!json.isObject() || !json.isMember(name)) return 0;
    if (_gfx->img_n >= GFX_IMG_MAX) {
        fprintf(stderr, "image table full, %s not loaded\n", name);
        return 0;
    }
    int n = _gfx->img_n;
    log_info("doing load img %s (%d)\n", name, n);
    _gfx->img_map[name] = n;
    const Json::Value& entry = json[name];
    const Json::Value& tname = _gfx_json_get(entry, "texture");
    int tid = tname.isString() ? gfx_tex_load(tname.asCString()) : 0;
    GfxImage& img = _gfx->img_data[n];
    img.n = n;
    img.tid = tid;
    img.rect = _gfx_json_rect(_gfx_json_get(entry, "rect"));
    img.shape = _gfx_json_rect(_gfx_json_get(entry, "shape"));
    _gfx->img_n++;
    return n;
}

static const GfxImage* _gfx_img(int img) {
    if (!_gfx || img <= 0 || img >= _gfx->img_n) return nullptr;
    return &_gfx->img_data[img];
}

int gfx_img_get_tex(int img) {
    const GfxImage* i = _gfx_img(img);
    return i ? gfx_tex_get_id(i->tid) : 0;
}

int gfx_img_get_width(int img) {
    const GfxImage* i = _gfx_img(img);
    return i ? (int)i->shape.w : 0;
}

int gfx_img_get_height(int img) {
    const GfxImage* i = _gfx_img(img);
    return i ? (int)i->shape.h : 0;
}

// The image's source rectangle in texture coordinates; false when its
// texture has no size to divide by (an unknown texture), so nothing is drawn.
static bool _gfx_img_src(const GfxImage& img, GfxRect* s) {
    if (img.tid <= 0) return false;
    const GfxRect& tr = _gfx->tex_data[img.tid].rect;
    if (tr.w == 0 || tr.h == 0) return false;
    *s = GfxRect(img.rect.x / tr.w, img.rect.y / tr.h, img.rect.w / tr.w, img.rect.h / tr.h);
    return true;
}

// ---- clipping

// Cuts one axis of d (and s) to [c0, c0 + cl); false when nothing is left.
static bool _gfx_clip_axis(float* d0, float* dl, float* s0, float* sl, float c0, float cl) {
    if (c0 > *d0) {
        float k = c0 - *d0;
        if (s0) {
            float cut = *sl * k / *dl;
            *s0 += cut;
            *sl -= cut;
        }
        *d0 += k;
        *dl -= k;
        if (*dl <= 0) return false;
    }
    if (*d0 + *dl > c0 + cl) {
        float k = *d0 + *dl - (c0 + cl);
        if (s0) *sl -= *sl * k / *dl;
        *dl -= k;
        if (*dl <= 0) return false;
    }
    return true;
}

bool _gfx_clip_test(GfxRect* d, GfxRect* s, const GfxRect& c) {
    if (d->w <= 0 || d->h <= 0) return false;
    if (!_gfx_clip_axis(&d->x, &d->w, s ? &s->x : nullptr, s ? &s->w : nullptr, c.x, c.w))
        return false;
    if (!_gfx_clip_axis(&d->y, &d->h, s ? &s->y : nullptr, s ? &s->h : nullptr, c.y, c.h))
        return false;
    return d->h > 0;
}

bool _gfx_clip_apply(GfxRect* d, GfxRect* s) {
    if (!_gfx || _gfx->clip_n == 0) return true;
    if (_gfx->clip_n > GFX_CLIP_MAX) return false;
    GfxRect c = _gfx->clip[_gfx->clip_n - 1];
    c.x -= _gfx->translate.x;
    c.y -= _gfx->translate.y;
    return _gfx_clip_test(d, s, c);
}

void gfx_clip(int x, int y, int w, int h) {
    if (!_gfx) return;
    _gfx->clip_n++;
    if (_gfx->clip_n > GFX_CLIP_MAX) return;
    GfxRect r((float)x + _gfx->translate.x, (float)y + _gfx->translate.y, (float)w, (float)h);
    // A child never shows more than its parent; an empty intersection
    // becomes an empty clip that hides everything.
    if (_gfx->clip_n > 1 && !_gfx_clip_test(&r, nullptr, _gfx->clip[_gfx->clip_n - 2]))
        r = GfxRect(r.x, r.y, 0, 0);
    _gfx->clip[_gfx->clip_n - 1] = r;
}

void gfx_unclip() {
    if (_gfx && _gfx->clip_n > 0) _gfx->clip_n--;
}

// ---- drawing

namespace {
// The fingerprint being taken: 64-bit FNV-1a, folded a word at a time.
struct GfxPrint {
    bool on = false;
    uint64_t h = 0;
};
GfxPrint _gfx_print;
const uint64_t PRINT_BASIS = 14695981039346656037ull, PRINT_PRIME = 1099511628211ull;
}  // namespace

void gfx_fingerprint_begin() {
    _gfx_print.on = true;
    _gfx_print.h = PRINT_BASIS;
    // The same calls draw another picture in a window of another size.
    int size[2] = {0, 0};
    driver_get_size(&size[0], &size[1]);
    gfx_fingerprint_mix(size, sizeof(size));
}

uint64_t gfx_fingerprint_end() {
    _gfx_print.on = false;
    return _gfx_print.h;
}

bool gfx_fingerprinting() { return _gfx_print.on; }

void gfx_fingerprint_mix(const void* data, size_t n) {
    if (!_gfx_print.on) return;
    const unsigned char* p = (const unsigned char*)data;
    uint64_t h = _gfx_print.h;
    for (; n >= sizeof(uint64_t); n -= sizeof(uint64_t), p += sizeof(uint64_t)) {
        uint64_t w;
        memcpy(&w, p, sizeof(w));
        h = (h ^ w) * PRINT_PRIME;
    }
    for (; n > 0; n--, p++) h = (h ^ *p) * PRINT_PRIME;
    _gfx_print.h = h;
}

void gfx_clear_color(unsigned int rgb) {
    if (_gfx_print.on) {
        gfx_fingerprint_mix(&rgb, sizeof(rgb));
        return;
    }
    glClearColor(((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
}

// What decides the look of a draw call besides its vertices (colour,
// matrices, texture and how it is applied, blending), read from
// OpenGL itself so that no caller's way of setting it goes unseen.
static void _gfx_print_state() {
    struct {
        GLfloat color[4];
        GLfloat modelview[16], projection[16];
        GLint tex, env;
        GLboolean textured, blend;
    } st;
    memset(&st, 0, sizeof(st));
    glGetFloatv(GL_CURRENT_COLOR, st.color);
    glGetFloatv(GL_MODELVIEW_MATRIX, st.modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, st.projection);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &st.tex);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &st.env);
    st.textured = glIsEnabled(GL_TEXTURE_2D);
    st.blend = glIsEnabled(GL_BLEND);
    gfx_fingerprint_mix(&st, sizeof(st));
}

void _gfx_draw(unsigned int mode, int dims, const float* vert, const float* texc, int n) {
    if (_gfx_print.on) {
        int head[3] = {(int)mode, dims, n};
        gfx_fingerprint_mix(head, sizeof(head));
        gfx_fingerprint_mix(vert, sizeof(float) * (size_t)(dims * n));
        gfx_fingerprint_mix(texc, sizeof(float) * (size_t)(2 * n));
        _gfx_print_state();
        return;
    }
    glVertexPointer(dims, GL_FLOAT, 0, vert);
    glTexCoordPointer(2, GL_FLOAT, 0, texc);
    glDrawArrays((GLenum)mode, 0, n);
}

static void _gfx_quad2(const GfxRect& d, const GfxRect& s) {
    const float v[] = {d.x, d.y, d.x + d.w, d.y, d.x, d.y + d.h, d.x + d.w, d.y + d.h};
    const float t[] = {s.x, s.y, s.x + s.w, s.y, s.x, s.y + s.h, s.x + s.w, s.y + s.h};
    for (int i = 0; i < QUAD_VERTICES * 2; i++) {
        _gfx_vert[i] = v[i];
        _gfx_texc[i] = t[i];
    }
    _gfx_draw(GL_TRIANGLE_STRIP, 2, _gfx_vert, _gfx_texc, QUAD_VERTICES);
}

void gfx_fill(unsigned int c, int dx, int dy, int dw, int dh) {
    GfxRect d((float)dx, (float)dy, (float)dw, (float)dh);
    if (!_gfx_clip_apply(&d, nullptr)) return;
    glDisable(GL_TEXTURE_2D);
    glColor4ub((GLubyte)(c >> 16), (GLubyte)(c >> 8), (GLubyte)c, 255);
    _gfx_quad2(d, GfxRect());
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
}

void gfx_img_blit(int img, int dx, int dy, int dw, int dh) {
    const GfxImage* i = _gfx_img(img);
    GfxRect s;
    if (!i || !_gfx_img_src(*i, &s)) return;
    GfxRect d((float)dx, (float)dy, dw ? (float)dw : i->shape.w, dh ? (float)dh : i->shape.h);
    if (!_gfx_clip_apply(&d, &s)) return;
    glBindTexture(GL_TEXTURE_2D, (GLuint)gfx_tex_get_id(i->tid));
    _gfx_quad2(d, s);
}

void gfx_tex_blit2(int tex, float sx, float sy, float sw, float sh,
                   float dx, float dy, float dw, float dh) {
    GfxRect d(dx, dy, dw, dh), s(sx, sy, sw, sh);
    if (!_gfx_clip_apply(&d, &s)) return;
    glBindTexture(GL_TEXTURE_2D, (GLuint)tex);
    _gfx_quad2(d, s);
}

// One row (or column) of a frame: where it starts in the source grid, where
// it lands and how long it is. Interior rows repeat the middle cell; the one
// that would cross into the last row is shortened so the last row meets the
// far edge.
static void _gfx_box_span(float at, float r, float len, float sz, float* src, float* dst, float* l) {
    *src = at == r ? 0 : sz;
    *dst = at;
    *l = sz;
    float end = r + len;
    if (at >= end - 2 * sz && at < end - sz) *l = (end - sz) - at;
    if (at >= end - sz) {
        *src += sz;
        *dst = end - sz;
    }
}

void _gfx_box_layout(int rx, int ry, int rw, int rh, int sz,
                     const std::function<void(const GfxBoxPart&)>& part) {
    if (sz < 1) return;
    const float fs = (float)sz, grid = BOX_CELLS * fs;
    const float fx = (float)rx, fy = (float)ry, fw = (float)rw, fh = (float)rh;
    for (float yy = fy; yy < fy + fh; yy += fs) {
        float sy, dy, h;
        _gfx_box_span(yy, fy, fh, fs, &sy, &dy, &h);
        for (float xx = fx; xx < fx + fw; xx += fs) {
            float sx, dx, w;
            _gfx_box_span(xx, fx, fw, fs, &sx, &dx, &w);
            GfxBoxPart p;
            p.src = GfxRect(sx / grid, sy / grid, w / grid, h / grid);
            p.dst = GfxRect(dx, dy, w, h);
            part(p);
        }
    }
}

void gfx_tex_box(int tex, int rx, int ry, int rw, int rh, int sz) {
    _gfx_box_layout(rx, ry, rw, rh, sz, [tex](const GfxBoxPart& p) {
        gfx_tex_blit2(tex, p.src.x, p.src.y, p.src.w, p.src.h, p.dst.x, p.dst.y, p.dst.w, p.dst.h);
    });
}

// p1 bottom-left, p2 bottom-right, p3 top-left, p4 top-right of the picture s.
static void _gfx_quad3(int tex, const GfxRect& s, const float* p) {
    const float t[] = {s.x, s.y + s.h, s.x + s.w, s.y + s.h, s.x, s.y, s.x + s.w, s.y};
    for (int i = 0; i < QUAD_VERTICES * 3; i++) _gfx_vert[i] = p[i];
    for (int i = 0; i < QUAD_VERTICES * 2; i++) _gfx_texc[i] = t[i];
    glBindTexture(GL_TEXTURE_2D, (GLuint)tex);
    _gfx_draw(GL_TRIANGLE_STRIP, 3, _gfx_vert, _gfx_texc, QUAD_VERTICES);
}

void gfx_img_quad(int img, float x1, float y1, float z1, float x2, float y2, float z2,
                  float x3, float y3, float z3, float x4, float y4, float z4) {
    const GfxImage* i = _gfx_img(img);
    GfxRect s;
    if (!i || !_gfx_img_src(*i, &s)) return;
    const float p[] = {x1, y1, z1, x2, y2, z2, x3, y3, z3, x4, y4, z4};
    _gfx_quad3(gfx_tex_get_id(i->tid), s, p);
}

void gfx_tex_quad(int tex, float x1, float y1, float z1, float x2, float y2, float z2,
                  float x3, float y3, float z3, float x4, float y4, float z4) {
    const float p[] = {x1, y1, z1, x2, y2, z2, x3, y3, z3, x4, y4, z4};
    _gfx_quad3(tex, GfxRect(0, 0, 1, 1), p);
}

// ---- projection and coordinate conversion

namespace {
// How the canvas (vw x vh) sits in a window of rw x rh pixels: s window
// pixels a canvas unit, the same both ways, and (x0, y0) the canvas point at
// the window's top-left corner (negative where the window is wider or taller).
struct GfxScale {
    double s = 1, x0 = 0, y0 = 0;
};

GfxScale _gfx_scale(int rw, int rh, int vw, int vh) {
    GfxScale sc;
    if (rw <= 0 || rh <= 0 || vw <= 0 || vh <= 0) return sc;
    sc.s = std::min((double)rw / vw, (double)rh / vh);
    sc.x0 = (vw - rw / sc.s) / 2;
    sc.y0 = (vh - rh / sc.s) / 2;
    return sc;
}
}  // namespace

GfxRect gfx_get_view() {
    if (!_gfx) return GfxRect();
    int rw = 0, rh = 0;
    driver_get_size(&rw, &rh);
    if (driver_get_orient() == ORIENT_SIDEWAYS) std::swap(rw, rh);
    int vw = (int)_gfx->size.w, vh = (int)_gfx->size.h;
    if (rw <= 0 || rh <= 0) return GfxRect(0, 0, (float)vw, (float)vh);
    GfxScale sc = _gfx_scale(rw, rh, vw, vh);
    return GfxRect((float)sc.x0, (float)sc.y0, (float)(rw / sc.s), (float)(rh / sc.s));
}

void gfx_ortho() {
    if (!_gfx) return;
    const GfxRect& size = _gfx->size;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glRotatef(-driver_get_orient(), 0, 0, 1);
    // The canvas keeps its shape: what the window has beyond it on two
    // sides is more room around the centred canvas, not a stretch.
    GfxRect view = gfx_get_view();
    gluOrtho2D(view.x, view.x + view.w, view.y + view.h, view.y);
    glTranslatef(size.w / 2, size.h / 2, 0);
    glRotatef(-_gfx->orient, 0, 0, 1);
    glTranslatef(-size.w / 2, -size.h / 2, 0);
    // Keep a focused text field above an on-screen keyboard.
    _gfx->shift.y = 0;
    if (_gfx->focus.h != 0) {
        int ww = 0, wh = 0;
        driver_get_size(&ww, &wh);
        if (driver_get_orient() == ORIENT_SIDEWAYS) std::swap(ww, wh);
        if (wh > 0) {
            int ky = (int)(size.h - (float)driver_keyboard_get_height() * size.h / (float)wh);
            int fy = (int)(_gfx->focus.y + _gfx->focus.h);
            if (fy > ky) _gfx->shift.y = (float)(ky - fy);
        }
    }
    glTranslatef(_gfx->shift.x, _gfx->shift.y, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

GfxRect gfx_hwpos_to_pos(GfxRect p) {
    if (!_gfx) return p;
    int rw = 0, rh = 0;
    driver_get_size(&rw, &rh);
    int vw = (int)_gfx->size.w, vh = (int)_gfx->size.h;
    double x = p.x, y = p.y;
    if (driver_get_orient() == ORIENT_SIDEWAYS) {
        x = p.y;
        y = (rw - 1) - p.x;
        std::swap(rw, rh);
    }
    if (rw <= 0 || rh <= 0) return p;
    GfxScale sc = _gfx_scale(rw, rh, vw, vh);
    x = x / sc.s + sc.x0;
    y = y / sc.s + sc.y0;
    double a = _gfx->orient * GFX_PI / 180, cx = vw / 2, cy = vh / 2;
    double ox = x - cx, oy = y - cy;
    x = std::cos(a) * ox - std::sin(a) * oy + cx;
    y = std::sin(a) * ox + std::cos(a) * oy + cy;
    p.x = (float)(x - _gfx->shift.x);
    p.y = (float)(y - _gfx->shift.y);
    return p;
}

GfxRect gfx_pos_to_hwpos(GfxRect p) {
    if (!_gfx) return p;
    int rw = 0, rh = 0;
    driver_get_size(&rw, &rh);
    int vw = (int)_gfx->size.w, vh = (int)_gfx->size.h;
    bool sideways = driver_get_orient() == ORIENT_SIDEWAYS;
    if (sideways) std::swap(rw, rh);
    if (vw <= 0 || vh <= 0) return p;
    double x = (double)p.x + _gfx->shift.x, y = (double)p.y + _gfx->shift.y;
    double a = -_gfx->orient * GFX_PI / 180, cx = vw / 2, cy = vh / 2;
    double ox = x - cx, oy = y - cy;
    x = std::cos(a) * ox - std::sin(a) * oy + cx;
    y = std::sin(a) * ox + std::cos(a) * oy + cy;
    GfxScale sc = _gfx_scale(rw, rh, vw, vh);
    x = (x - sc.x0) * sc.s;
    y = (y - sc.y0) * sc.s;
    if (sideways) {
        // Undo x = p.y, y = (rw - 1) - p.x with rw the unswapped width (now rh).
        double wx = (rh - 1) - y, wy = x;
        x = wx;
        y = wy;
    }
    p.x = (float)x;
    p.y = (float)y;
    return p;
}

GfxRect gfx_hwrect_to_rect(GfxRect r) {
    GfxRect a = gfx_hwpos_to_pos(GfxRect(r.x, r.y, 0, 0));
    GfxRect b = gfx_hwpos_to_pos(GfxRect(r.x + r.w, r.y + r.h, 0, 0));
    return GfxRect(a.x, a.y, b.x - a.x, b.y - a.y);
}

GfxRect gfx_rect_to_hwrect(GfxRect r) {
    GfxRect a = gfx_pos_to_hwpos(GfxRect(r.x, r.y, 0, 0));
    GfxRect b = gfx_pos_to_hwpos(GfxRect(r.x + r.w, r.y + r.h, 0, 0));
    return GfxRect(a.x, a.y, b.x - a.x, b.y - a.y);
}

void gfx_event_correct(Event* e) {
    if (e->type != EVT_MOTION && e->type != EVT_DOWN && e->type != EVT_UP) return;
    e->_x = e->x;
    e->_y = e->y;
    e->_dx = e->dx;
    e->_dy = e->dy;
    GfxRect r = gfx_hwrect_to_rect(GfxRect(e->_x, e->_y, e->_dx, e->_dy));
    e->x = r.x;
    e->y = r.y;
    e->dx = r.w;
    e->dy = r.h;
}
