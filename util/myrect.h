// The GUI toolkit's integer rectangle.
#pragma once

struct MyRect {
    int x = 0, y = 0, w = 0, h = 0;
    MyRect() = default;
    MyRect(int x_, int y_, int w_, int h_) : x(x_), y(y_), w(w_), h(h_) {}
};
