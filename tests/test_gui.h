// Helpers of the toolkit's tests: pointer and key events sent to a root,
// widgets of explicit sizes, and a window for the tests that need real
// images and fonts.
#pragma once

#include "gfx_window.h"
#include "gui.h"

namespace guitest {

// A window with the 2D layer and fonts, for widgets that load images or
// measure text, with the frame read back.
using Screen = GfxWindow;

inline Event pointer(int type, float x, float y, int b) {
    Event e(type);
    e.x = x;
    e.y = y;
    e.b = b;
    return e;
}

inline int press(Widget& root, float x, float y) {
    Event e = pointer(EVT_DOWN, x, y, 1);
    return root.event(&e);
}

inline int release(Widget& root, float x, float y) {
    Event e = pointer(EVT_UP, x, y, 1);
    return root.event(&e);
}

// Motion to (x, y) by (dx, dy), with the buttons in b held.
inline int move(Widget& root, float x, float y, int b = 0, float dx = 0, float dy = 0) {
    Event e = pointer(EVT_MOTION, x, y, b);
    e.dx = dx;
    e.dy = dy;
    return root.event(&e);
}

inline int wheel(Widget& root, float x, float y, float steps) {
    Event e = pointer(EVT_WHEEL, x, y, 0);
    e.dy = steps;
    return root.event(&e);
}

inline int key(Widget& root, int v, int c = 0, int mods = 0) {
    Event e(EVT_KEYDOWN);
    e.v = v;
    e.c = c;
    e.b = mods;
    return root.event(&e);
}

// A plain widget of a fixed content size.
inline Widget* block(int w, int h, const char* name = "") {
    Widget* b = new Widget();
    b->style.width = w;
    b->style.height = h;
    b->name = name;
    return b;
}

// A clickable box around a fixed-size block: the shape of a button.
inline Box* button(int w, int h, int onclick) {
    Box* b = new Box(block(w, h));
    b->onclick = onclick;
    return b;
}

}  // namespace guitest
