// The 2D drawing layer over OpenGL: lazily loaded texture and image
// catalogues, the logical canvas with its translation and clip stacks, and
// the conversion of pointer positions from window pixels to the canvas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "event.h"

namespace Json { class Value; }

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
// The logical screen until the caller sets its own.
enum { GFX_SIZE_DEFAULT = 256 };
// No catalogue coordinate is larger than this (in pixels or logical units).
enum { GFX_COORD_LIMIT = 1 << 20 };

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

// Fills the whole window with one colour (0xRRGGBB): as cheap as a clear,
// where a picture or a rectangle over the window costs a fill of every pixel.
void gfx_clear_color(unsigned int rgb);

// ---- fingerprints of frames
// While a fingerprint is taken nothing is drawn: every drawing call of this
// layer and of the fonts folds what it would draw (vertices, texture, colour,
// blending, matrices) into one number instead. Two frames with the same
// fingerprint look the same, so a frame can be compared with the one on
// screen without drawing it.
void gfx_fingerprint_begin();
uint64_t gfx_fingerprint_end();
bool gfx_fingerprinting();
// Folds n bytes into the fingerprint (nothing when none is taken): what
// decides a picture that is drawn some other way, as the map view's.
void gfx_fingerprint_mix(const void* data, size_t n);

// ---- coordinate conversion
GfxRect gfx_hwpos_to_pos(GfxRect p);
GfxRect gfx_pos_to_hwpos(GfxRect p);
GfxRect gfx_hwrect_to_rect(GfxRect r);
GfxRect gfx_rect_to_hwrect(GfxRect r);
void gfx_event_correct(Event* e);
// The whole window in canvas units: the canvas is scaled by the same factor
// both ways and centred, so a window of another shape shows more room on two
// sides (x or y below 0, width or height beyond the canvas). Screens anchor
// bars to these edges.
GfxRect gfx_get_view();

// ---- internals shared with the fonts and open to the tests
// Cuts the destination d down to the clip c; when s is given (texture
// coordinates of d) it is cut in proportion, so the picture is cropped, never
// squeezed. False when nothing of d is left.
bool _gfx_clip_test(GfxRect* d, GfxRect* s, const GfxRect& c);
// Clips d (and s) against the top of the clip stack in the current
// coordinates; false when nothing is to be drawn.
bool _gfx_clip_apply(GfxRect* d, GfxRect* s);

// Draws n vertices (mode as glDrawArrays) of dims coordinates each, with two
// texture coordinates a vertex, in the current OpenGL state; while a
// fingerprint is taken, folds them into it instead.
void _gfx_draw(unsigned int mode, int dims, const float* vert, const float* texc, int n);

// One tile of a nine-part frame: src in texture coordinates (0..1 over the
// whole 3 x 3 grid), dst in logical units.
struct GfxBoxPart {
    GfxRect src, dst;
};
// The tiles of a frame of corner size sz over (rx, ry, rw, rh), rows from
// top to bottom, each row from left to right. Nothing for sz < 1.
void _gfx_box_layout(int rx, int ry, int rw, int rh, int sz,
                     const std::function<void(const GfxBoxPart&)>& part);

// Member key of v; null when v is not an object or has no such member.
const Json::Value& _gfx_json_get(const Json::Value& v, const char* key);
// A rectangle {"x","y","w","h"} of a catalogue entry; missing or
// non-numeric values read as 0, absurd ones are held to +-GFX_COORD_LIMIT.
GfxRect _gfx_json_rect(const Json::Value& r);
// Replaces the parsed image.txt and texture.txt; what is loaded stays.
void _gfx_catalog_set(const Json::Value& images, const Json::Value& textures);
// Parses a catalogue file of the data folder into out (an object, or null
// when the file is missing or is not valid JSON).
void _gfx_json_load(const char* fname, Json::Value* out);
