// The menus' look: the dimmed picture of a featured map behind every menu
// screen, drawn once and reused, and the framed card in which a list shows
// its selected map at the camera angle of play.
#include <GL/gl.h>

#include <algorithm>
#include <memory>

#include "driver.h"
#include "gfx.h"
#include "logic.h"
#include "menu_internal.h"
#include "myview.h"

namespace {

// The backdrop: the last tutorial, the whole game at once, seen a little
// closer than framed, over a night-blue gradient, drawn at a third of its light.
const float BACKDROP_CLOSER = 0.8f;  // of the framed camera distance
const float BACKDROP_LIGHT = 0.36f;
const int BACKDROP_BANDS = 24;       // steps of the gradient
const float VIEW_DISTANCE_BASE = 50; // the view's camera distance is its zoom + 50
const float ZOOM_LIMIT = 50;         // the farthest zoom the view takes

// The card: a steel frame around a dark well the map is drawn in.
enum { CARD_RIM = 2, CARD_WELL = 0x060B14 };

// A picture drawn once into the back buffer and kept as a texture of those
// window pixels: the backdrop, and the map of a list's card.
struct Snapshot {
    GLuint tex = 0;
    int w = 0, h = 0;  // its size in window pixels
    float u = 1, v = 1;  // the share of the texture they fill
    uint64_t key = 0;  // what it shows
};
Snapshot _menu_backdrop, _menu_card;

void _menu_forget(Snapshot& s) {
    if (s.tex) glDeleteTextures(1, &s.tex);
    s = Snapshot();
}

// Keeps the window pixels (x, y, w, h), counted from the bottom left, in s.
// The texture has the window's own byte order, so that copying into it and
// drawing it stay cheap with a software renderer.
void _menu_snap(Snapshot& s, int x, int y, int w, int h, uint64_t key) {
    if (!s.tex) glGenTextures(1, &s.tex);
    glBindTexture(GL_TEXTURE_2D, s.tex);
    // Drawn at the window's own size: one texel a pixel, no filtering needed.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // A power-of-two texture is sampled faster; the pixels fill its corner.
    int tw = 1, th = 1;
    while (tw < w) tw *= 2;
    while (th < h) th *= 2;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, w, h);
    s.u = (float)w / tw;
    s.v = (float)h / th;
    s.w = w;
    s.h = h;
    s.key = key;
}

// Draws the part p of s, which was taken of the canvas rectangle r, where
// it was taken: opaque, and neither tinted nor blended, which costs the least.
void _menu_show(const Snapshot& s, const GfxRect& r, const GfxRect& p) {
    if (r.w <= 0 || r.h <= 0 || p.w <= 0 || p.h <= 0) return;
    glDisable(GL_BLEND);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // The copy's first row is the window's bottom.
    gfx_tex_blit2((int)s.tex, (p.x - r.x) / r.w * s.u, (1 - (p.y - r.y) / r.h) * s.v, p.w / r.w * s.u,
                  -p.h / r.h * s.v, p.x, p.y, p.w, p.h);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
}

// The window pixels of a canvas rectangle, counted from the bottom left.
void _menu_window_rect(const GfxRect& canvas_rect, int* x, int* y, int* w, int* h) {
    GfxRect r = gfx_rect_to_hwrect(canvas_rect);
    r.normalize();
    int ww = 0, wh = 0;
    driver_get_size(&ww, &wh);
    *x = (int)r.x;
    *y = (int)(wh - r.y - r.h);
    *w = (int)r.w;
    *h = (int)r.h;
}

// The map view drawn into a rectangle of the canvas.
void _menu_preview(Game& game, const GfxRect& canvas_rect) {
    int x, y, w, h, ww = 0, wh = 0;
    _menu_window_rect(canvas_rect, &x, &y, &w, &h);
    driver_get_size(&ww, &wh);
    game.gfx_3d();
    glViewport(x, y, w, h);
    myview_paint(game);
    glViewport(0, 0, ww, wh);
    game.gfx_2d();
}

unsigned int _menu_mix(unsigned int a, unsigned int b, float t) {
    auto ch = [&](int shift) {
        float x = (float)((a >> shift) & 0xFF), y = (float)((b >> shift) & 0xFF);
        return (unsigned int)(x + (y - x) * t + 0.5f) << shift;
    };
    return ch(16) | ch(8) | ch(0);
}

// Night blue, lighter at the top, over the whole window.
void _menu_backdrop_gradient() {
    GfxRect view = gfx_get_view();
    for (int i = 0; i < BACKDROP_BANDS; i++) {
        int y0 = (int)(view.y + view.h * i / BACKDROP_BANDS), y1 = (int)(view.y + view.h * (i + 1) / BACKDROP_BANDS);
        gfx_fill(_menu_mix(UI_NIGHT + 0x0C1420, UI_NIGHT_DEEP, (float)i / (BACKDROP_BANDS - 1)), (int)view.x, y0,
                 (int)view.w + 1, y1 - y0);
    }
}

// Draws the featured map into the window and keeps the picture as a
// texture. The map is loaded into the game's own copies, which are put back.
void _menu_backdrop_draw(Game& game, int ww, int wh) {
    std::unique_ptr<LevelData> level(new LevelData(game.level)), edit(new LevelData(game._edit));
    std::unique_ptr<ExtData> ext(new ExtData(game.ext));
    MyResult rows = game.gamedb.query("select id from levels where name like 't%' order by name desc", {});
    gfx_clear();
    game.gfx_2d();
    _menu_backdrop_gradient();
    if (!rows.empty() && logic_load(game, game.gamedb, menu_column(rows[0], "id").c_str())) {
        LevelData& lev = game.level;
        float d = (myview_frame_map(game, lev, 0) + VIEW_DISTANCE_BASE) * BACKDROP_CLOSER;
        lev.zoom = lev.tzoom = d - VIEW_DISTANCE_BASE;
        logic_info(game);
        game.gfx_3d();
        myview_paint(game);
    }
    game.level = *level;
    game._edit = *edit;
    game.ext = *ext;
    // Dimmed once here rather than tinted on every frame.
    game.gfx_2d();
    GfxRect view = gfx_get_view();
    glColor4f(0, 0, 0, 1 - BACKDROP_LIGHT);
    gfx_img_blit(gfx_img_load("white"), (int)view.x, (int)view.y, (int)view.w + 1, (int)view.h + 1);
    glColor4f(1, 1, 1, 1);
    _menu_snap(_menu_backdrop, 0, 0, ww, wh, 0);
    gfx_clear();
}

// The card: its steel rim, and in it the map, drawn once and then copied
// until it or its place changes.
void _menu_card_paint(Game& game, const MyRect& card) {
    const int x = card.x - CARD_RIM, w = card.w + 2 * CARD_RIM;
    gfx_fill(UI_STEEL, x, card.y - CARD_RIM, w, CARD_RIM);
    gfx_fill(UI_STEEL, x, card.y + card.h, w, CARD_RIM);
    gfx_fill(UI_STEEL, x, card.y, CARD_RIM, card.h);
    gfx_fill(UI_STEEL, card.x + card.w, card.y, CARD_RIM, card.h);
    GfxRect r((float)card.x, (float)card.y, (float)card.w, (float)card.h);
    if (gfx_fingerprinting()) {
        _menu_preview(game, r);  // the map's inputs, as a fingerprint takes them
        return;
    }
    gfx_fingerprint_begin();
    _menu_preview(game, r);
    uint64_t key = gfx_fingerprint_end();
    if (_menu_card.tex && _menu_card.key == key) {
        _menu_show(_menu_card, r, r);
        return;
    }
    gfx_fill(CARD_WELL, card.x, card.y, card.w, card.h);
    _menu_preview(game, r);
    int wx, wy, ww, wh;
    _menu_window_rect(r, &wx, &wy, &ww, &wh);
    if (ww > 0 && wh > 0) _menu_snap(_menu_card, wx, wy, ww, wh, key);
}

}  // namespace

// The textures died with the window: their names are not to be deleted.
void menu_backdrop_flush() { _menu_backdrop = _menu_card = Snapshot(); }

void menu_backdrop_paint(Game& game, const MyRect* card) {
    int ww = 0, wh = 0;
    driver_get_size(&ww, &wh);
    if (ww <= 0 || wh <= 0) return;
    if (_menu_backdrop.tex && (_menu_backdrop.w != ww || _menu_backdrop.h != wh)) _menu_forget(_menu_backdrop);
    // Made by a frame that draws; a fingerprint only notes that it is missing.
    if (!_menu_backdrop.tex && !gfx_fingerprinting()) _menu_backdrop_draw(game, ww, wh);
    game.gfx_2d();
    GfxRect v = gfx_get_view();
    if (!card) {
        _menu_show(_menu_backdrop, v, v);
        return;
    }
    // Only around the card, which covers the rest: above, below, left, right.
    const float x0 = (float)(card->x - CARD_RIM), y0 = (float)(card->y - CARD_RIM);
    const float x1 = (float)(card->x + card->w + CARD_RIM), y1 = (float)(card->y + card->h + CARD_RIM);
    const GfxRect parts[] = {GfxRect(v.x, v.y, v.w, y0 - v.y), GfxRect(v.x, y1, v.w, v.y + v.h - y1),
                             GfxRect(v.x, y0, x0 - v.x, y1 - y0), GfxRect(x1, y0, v.x + v.w - x1, y1 - y0)};
    for (const GfxRect& p : parts) _menu_show(_menu_backdrop, v, p);
    _menu_card_paint(game, *card);
}

void menu_card_frame(Game& game, const MyRect& card) {
    LevelData& lev = game.level;
    lev.rotate = lev.trotate = 0;
    float d = myview_frame_map(game, lev, 0) + VIEW_DISTANCE_BASE;
    // Framed for the window's shape; a narrower card needs the camera
    // farther away to show the same.
    int ww = 0, wh = 0;
    driver_get_size(&ww, &wh);
    float window = (ww > 0 && wh > 0) ? (float)ww / (float)wh : (float)CANVAS_W / CANVAS_H;
    float shape = card.h > 0 ? (float)card.w / (float)card.h : window;
    if (window > shape) d *= window / shape;
    lev.zoom = lev.tzoom = std::min(ZOOM_LIMIT, d - VIEW_DISTANCE_BASE);
}
