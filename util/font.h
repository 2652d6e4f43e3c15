// Bitmap fonts described in font.txt: lazy loading by name, measuring,
// word wrapping, aligned and clipped drawing, caret geometry and the word filter.
#pragma once

#include "gfx.h"

enum { FONT_MAX = 256, FONT_LINES_MAX = 32, FONT_FILTER_MAX = 1023 };

struct FontWrap {
    int total = 0;                    // number of lines, at most FONT_LINES_MAX
    int lines[FONT_LINES_MAX][3] = {};  // start, end (exclusive), width
};

void font_init();
void font_deinit();
int font_load(const char* name);
void font_draw(int fid, const char* s, float x, float y, float w, int align);
int font_get_width(int fid, const char* s);
int font_get_height(int fid, const char* s, float w);
GfxRect font_crect(int fid, const char* s, int pos, float w, int align);
int font_cnear(int fid, const char* s, int x, int y, float w, int align);
