// The 2D drawing layer over OpenGL: lazily loaded texture and image
// catalogues, the logical canvas with its translation and clip stacks, and
// the conversion of pointer positions from window pixels to the canvas.
#pragma once

#include "event.h"

struct GfxRect {
    float x = 0, y = 0, w = 0, h = 0;
    GfxRect() = default;
    GfxRect(float x_, float y_, float w_, float h_) : x(x_), y(y_), w(w_), h(h_) {}
    // Turns a negative width or height positive over the same area.
    void normalize() {
        if (w < 0) { x += w; w = -w; }
        if (h < 0) { y += h; h = -h; }
    }
};

enum { GFX_IMG_MAX = 2048, GFX_TEX_MAX = 256, GFX_CLIP_MAX = 8 };

// ---- lifecycle and space
void gfx_init();
void gfx_deinit();
void gfx_clear();
void gfx_set_size(int w, int h);
void gfx_set_orient(float a);
float gfx_get_orient();
float gfx_get_aspect();
float gfx_get_rotation();
void gfx_ortho();
void gfx_translate(int x, int y);
void gfx_clip(int x, int y, int w, int h);
void gfx_unclip();
void gfx_focus(GfxRect r);
void gfx_blur();

// ---- catalogue
int gfx_tex_load(const char* name);
int gfx_tex_get_id(int tid);
int gfx_img_load(const char* name);
int gfx_img_get_tex(int img);
int gfx_img_get_width(int img);
int gfx_img_get_height(int img);

// ---- drawing, in the current logical coordinates, y downwards
void gfx_fill(unsigned int c, int dx, int dy, int dw, int dh);
void gfx_img_blit(int img, int dx, int dy, int dw, int dh);
void gfx_tex_blit2(int tex, float sx, float sy, float sw, float sh,
                   float dx, float dy, float dw, float dh);
void gfx_tex_box(int tex, int rx, int ry, int rw, int rh, int sz);
void gfx_img_quad(int img, float x1, float y1, float z1, float x2, float y2, float z2,
                  float x3, float y3, float z3, float x4, float y4, float z4);
void gfx_tex_quad(int tex, float x1, float y1, float z1, float x2, float y2, float z2,
                  float x3, float y3, float z3, float x4, float y4, float z4);

// ---- coordinate conversion
GfxRect gfx_hwpos_to_pos(GfxRect p);
GfxRect gfx_pos_to_hwpos(GfxRect p);
GfxRect gfx_hwrect_to_rect(GfxRect r);
GfxRect gfx_rect_to_hwrect(GfxRect r);
void gfx_event_correct(Event* e);
