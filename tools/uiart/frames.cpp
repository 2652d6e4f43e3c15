// Plain fills and the nine-part frames of buttons, fields, highlights and
// message bars. A frame's texture is a 3 x 3 grid whose edge cells are
// repeated along the frame and whose middle cell fills it, so everything that
// varies (rounded corners, the top sheen, the shading of the top and bottom
// edges) stays inside the outer cells, well clear of the cell borders, and
// the middle band is one flat colour.
#include <algorithm>
#include <cmath>

#include "art.h"

namespace {

const float BOX_UNITS = 96;   // three cells of 32 design units
const float BAR_UNITS = 120;  // three cells of 40

struct FrameLook {
    float units = BOX_UNITS;
    float inset = 1;    // space around the frame for its soft edge
    float radius = 12;  // corner radius, well inside one cell
    float rim = 2.5f;   // rim width
    Paint fill;
    Paint rim_paint;
    Rgba sheen;         // a line of light under the top rim (alpha 0: none)
};

// Colour top at the top edge turning to mid within `reach`, mid across the
// middle band, and turning to bottom within `reach` of the bottom edge.
Paint bands(float units, float reach, const Rgba& top, const Rgba& mid, const Rgba& bottom) {
    return [=](float, float y) {
        if (y < reach) return mix(top, mid, y / reach);
        if (y > units - reach) return mix(mid, bottom, (y - (units - reach)) / reach);
        return mid;
    };
}

Sdf outer_shape(const FrameLook& look) {
    float half = look.units / 2;
    return sdf::rbox(half, half, half - look.inset, half - look.inset, look.radius);
}

Canvas draw_frame(int px, const FrameLook& look) {
    Canvas c(px, px, look.units);
    Sdf outer = outer_shape(look);
    Sdf inner = sdf::grow(outer, -look.rim);
    c.fill(inner, look.fill);
    c.fill(sdf::sub(outer, inner), look.rim_paint);
    if (look.sheen.a > 0) {
        // Fades out down the sides long before the middle band.
        Sdf line = sdf::sub(inner, sdf::grow(inner, -1.2f));
        Rgba clear = look.sheen;
        clear.a = 0;
        c.fill(line, vgrad(look.inset + look.rim + 2, look.sheen, look.radius + 6, clear));
    }
    return c;
}

}  // namespace

Canvas art_plain(int px, unsigned int hex, float alpha) {
    Canvas c(px, px, (float)px);
    c.fill([](float, float) { return -1.0f; }, rgb(hex, alpha));
    return c;
}

// The plain frame of buttons, fields, pickers and slider tracks.
Canvas art_box(int px) {
    FrameLook look;
    look.fill = bands(BOX_UNITS, 24, rgb(pal::NIGHT2, 0.94f), rgb(pal::NIGHT1, 0.94f),
                      rgb(pal::NIGHT0, 0.94f));
    look.rim_paint = bands(BOX_UNITS, 22, rgb(pal::STEEL_LIGHT), rgb(pal::STEEL), rgb(pal::STEEL_DARK));
    look.sheen = rgb(0xA8C8EE, 0.35f);
    return draw_frame(px, look);
}

// The secondary button: a lighter steel panel with a steel rim. (Amber and
// cyan rims would read as a choice or as the focus, which it is not.)
Canvas art_box1(int px) {
    FrameLook look;
    look.fill = bands(BOX_UNITS, 24, rgb(0x34507A, 0.95f), rgb(0x253B5E, 0.95f), rgb(0x182842, 0.95f));
    look.rim_paint = bands(BOX_UNITS, 22, rgb(pal::STEEL_LIGHT), rgb(pal::STEEL), rgb(pal::STEEL_DARK));
    look.sheen = rgb(0xA8C8EE, 0.35f);
    return draw_frame(px, look);
}

// The hover and press highlight: a bright cyan rim with a glow that fades
// inwards, over a faint wash, so the frame beneath shows through.
Canvas art_box2(int px) {
    FrameLook look;
    look.fill = [](float, float) { return rgb(pal::CYAN, 0.10f); };
    look.rim_paint = [](float, float) { return rgb(pal::CYAN_LIGHT); };
    Canvas c = draw_frame(px, look);
    Sdf inner = sdf::grow(outer_shape(look), -look.rim);
    const float reach = 10;
    c.fill(inner, [inner, reach](float x, float y) {
        float t = -inner(x, y) / reach;
        float fade = t >= 1 ? 0 : (1 - t) * (1 - t);
        return rgb(pal::CYAN, 0.5f * fade);
    });
    return c;
}

// The primary action: a teal fill with a light cyan rim.
Canvas art_box3(int px) {
    FrameLook look;
    look.fill = bands(BOX_UNITS, 24, rgb(pal::TEAL_LIGHT), rgb(pal::TEAL), rgb(pal::TEAL_DARK));
    look.rim_paint = bands(BOX_UNITS, 22, rgb(0xC4F8FF), rgb(pal::CYAN_LIGHT), rgb(0x48C6DC));
    look.sheen = rgb(0xFFFFFF, 0.45f);
    return draw_frame(px, look);
}

// The message bar: a dark panel with a thin rim and an amber stripe down
// its left edge.
Canvas art_bar1(int px) {
    FrameLook look;
    look.units = BAR_UNITS;
    look.radius = 14;
    look.rim = 2;
    look.fill = bands(BAR_UNITS, 28, rgb(pal::NIGHT2, 0.95f), rgb(pal::NIGHT1, 0.95f),
                      rgb(pal::NIGHT0, 0.95f));
    look.rim_paint = [](float, float) { return rgb(0x35557D); };
    Canvas c = draw_frame(px, look);
    const float stripe = 5;
    Sdf inner = sdf::grow(outer_shape(look), -look.rim);
    c.fill(sdf::inter(inner, sdf::left_of(look.inset + look.rim + stripe)), rgb(pal::AMBER));
    return c;
}

// A wash that is clear in the middle and rises to full at the edges, to be
// tinted and stretched over the whole window (the red edge of a death).
Canvas art_edge(int px) {
    Canvas c(px, px, 1.0f);
    const float reach = 0.2f;  // of the picture's width, from each edge
    c.fill([](float, float) { return -1.0f; }, [reach](float x, float y) {
        float d = std::min(std::min(x, 1 - x), std::min(y, 1 - y));
        float t = d >= reach ? 0 : 1 - d / reach;
        return rgb(0xFFFFFF, t * t);
    });
    return c;
}
