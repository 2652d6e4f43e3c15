// Bitmap fonts described in font.txt: lazy loading by name, measuring,
// word wrapping, aligned and clipped drawing, caret geometry and the word filter.
#pragma once

#include "gfx.h"

namespace Json { class Value; }

enum { FONT_MAX = 256, FONT_LINES_MAX = 32, FONT_FILTER_MAX = 1023 };
// Byte values a font has a glyph for, and glyphs drawn in one call.
enum { FONT_CHARS = 256, FONT_BATCH_MAX = 256 };

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

// ---- internals open to the tests
// Replaces the parsed font.txt; fonts already loaded stay as they are.
void _font_json_set(const Json::Value& root);
// Wraps the (already filtered) text s at width ww (0: only at newlines).
void _font_wrap_calc(int fid, const char* s, float ww, FontWrap* wrap);
// s with every listed word masked by asterisks, cut to FONT_FILTER_MAX bytes;
// a static buffer that the next call overwrites.
const char* _font_filter(const char* s);
