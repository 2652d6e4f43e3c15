// Bitmap fonts: inert until the font layer lands.
#include "font.h"

void font_init() {}
void font_deinit() {}
int font_load(const char*) { return 0; }
void font_draw(int, const char*, float, float, float, int) {}
int font_get_width(int, const char*) { return 0; }
int font_get_height(int, const char*, float) { return 0; }
GfxRect font_crect(int, const char*, int, float, int) { return GfxRect(); }
int font_cnear(int, const char*, int, int, float, int) { return 0; }
