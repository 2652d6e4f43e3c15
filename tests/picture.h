// A picture of the window read back through the harness, with the depth the
// map view left, and the measures of light the look tests take on it.
#pragma once

#include <cmath>
#include <vector>

#include "harness.h"

struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
    std::vector<float> depth;

    const unsigned char* at(int x, int y) const { return &px[((size_t)y * w + x) * 4]; }
    // Luminance with Rec. 709 weights on the stored 0..1 values.
    float luma(int x, int y) const {
        const unsigned char* p = at(x, y);
        return (0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2]) / 255.0f;
    }
    // Relative luminance of the light itself (values turned linear), the
    // measure that contrast ratios are given in.
    float light(int x, int y) const {
        const unsigned char* p = at(x, y);
        auto lin = [](unsigned char c) {
            float v = c / 255.0f;
            return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
        };
        return 0.2126f * lin(p[0]) + 0.7152f * lin(p[1]) + 0.0722f * lin(p[2]);
    }
};

// The current screen drawn once more, with its depth.
inline Picture picture_of(Harness& h) {
    Picture p;
    p.px = h.pixels(&p.w, &p.h);
    p.depth = h.depth();
    return p;
}
