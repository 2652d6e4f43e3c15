// The 2D drawing layer: a minimal canvas until the full layer lands.
#include "gfx.h"

#include <GL/gl.h>

#include "driver.h"

static float _gfx_w = 256, _gfx_h = 256, _gfx_orient = 0;

void gfx_init() {}
void gfx_deinit() {}
void gfx_clear() {
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
void gfx_set_size(int w, int h) { _gfx_w = (float)w; _gfx_h = (float)h; }
void gfx_set_orient(float a) { _gfx_orient = a; }
float gfx_get_orient() { return _gfx_orient; }
float gfx_get_aspect() { return _gfx_w / _gfx_h; }
float gfx_get_rotation() { return _gfx_orient - driver_get_orient(); }
void gfx_ortho() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, _gfx_w, _gfx_h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
void gfx_translate(int x, int y) { glTranslatef((float)x, (float)y, 0); }
void gfx_clip(int, int, int, int) {}
void gfx_unclip() {}
void gfx_focus(GfxRect) {}
void gfx_blur() {}
int gfx_tex_load(const char*) { return 0; }
int gfx_tex_get_id(int) { return 0; }
int gfx_img_load(const char*) { return 0; }
int gfx_img_get_tex(int) { return 0; }
int gfx_img_get_width(int) { return 0; }
int gfx_img_get_height(int) { return 0; }
void gfx_fill(unsigned int, int, int, int, int) {}
void gfx_img_blit(int, int, int, int, int) {}
void gfx_tex_blit2(int, float, float, float, float, float, float, float, float) {}
void gfx_tex_box(int, int, int, int, int, int) {}
void gfx_img_quad(int, float, float, float, float, float, float, float, float, float, float, float, float) {}
void gfx_tex_quad(int, float, float, float, float, float, float, float, float, float, float, float, float) {}
GfxRect gfx_hwpos_to_pos(GfxRect p) {
    int w, h;
    driver_get_size(&w, &h);
    if (w > 0 && h > 0) { p.x = p.x * _gfx_w / w; p.y = p.y * _gfx_h / h; }
    return p;
}
GfxRect gfx_pos_to_hwpos(GfxRect p) {
    int w, h;
    driver_get_size(&w, &h);
    p.x = p.x * w / _gfx_w;
    p.y = p.y * h / _gfx_h;
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
    e->_x = e->x; e->_y = e->y; e->_dx = e->dx; e->_dy = e->dy;
    GfxRect r = gfx_hwrect_to_rect(GfxRect(e->_x, e->_y, e->_dx, e->_dy));
    e->x = r.x; e->y = r.y; e->dx = r.w; e->dy = r.h;
}
