// The interface art: one palette and one drawing function per picture.
// Every function draws into a canvas of the pixel size it is given.
#pragma once

#include <string>

#include "canvas.h"

// The palette: a night-blue stealth look, a cool cyan accent, a warm amber
// highlight, and near-black ink for the outlines of icons.
namespace pal {
const unsigned int NIGHT0 = 0x08101F;  // deepest shade
const unsigned int NIGHT1 = 0x0F1C33;  // panel fill
const unsigned int NIGHT2 = 0x1B2F50;  // lit panel edge
const unsigned int STEEL = 0x4F709A;   // plain rim
const unsigned int STEEL_LIGHT = 0x7A9CC6;
const unsigned int STEEL_DARK = 0x33496A;
const unsigned int CYAN = 0x3FD8F0;
const unsigned int CYAN_LIGHT = 0x9AF2FF;
const unsigned int TEAL = 0x14798C;  // primary button fill
const unsigned int TEAL_LIGHT = 0x2CA8BE;
const unsigned int TEAL_DARK = 0x0D5B6B;
const unsigned int AMBER = 0xF0A53C;
const unsigned int AMBER_LIGHT = 0xFFCC73;
const unsigned int AMBER_DARK = 0xB47420;
const unsigned int INK = 0x0A1220;
const unsigned int SNOW = 0xF4F8FC;  // the white of icons
}  // namespace pal

// ---- fills and frames (frames.cpp)
Canvas art_plain(int px, unsigned int hex, float alpha);
Canvas art_box(int px);
Canvas art_box1(int px);
Canvas art_box2(int px);
Canvas art_box3(int px);
Canvas art_bar1(int px);
Canvas art_edge(int px);

// ---- icons (icons.cpp)
Canvas art_stars(int px);
Canvas art_skulls(int px);
Canvas art_turn(int px, bool right);
Canvas art_overhead(int px);
Canvas art_bomb(int px, int kind);  // 1 detonator, 2 time, 3 EMP, 4 mini

// ---- title (logo.cpp)
// False when the font cannot be read.
bool art_logo(const std::string& font_dir, int w, int h, Canvas* out);
