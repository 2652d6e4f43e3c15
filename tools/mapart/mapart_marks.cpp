// Editor marks: the decals painted flat on the floor (spawns, patrol arrows,
// lamps) and the palette icons of every tile, read from the tile catalogue.
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "mapart.h"

namespace {

const float kPi = 3.14159265358979f;
// Flat images are laid with their top towards smaller map y and their left
// towards smaller map x; the default camera looks from the south-east, so
// screen-up on the map is the image's up-left diagonal.
const float kScreenUpTurn = -45.0f;

const ArtColor kInk = {0.03f, 0.04f, 0.08f, 1};
const ArtColor kAmber = {1.0f, 0.71f, 0.27f, 1};
const ArtColor kCyan = {0.22f, 0.84f, 0.9f, 1};
const ArtColor kGuardRed = {0.88f, 0.16f, 0.18f, 1};
const ArtColor kNight = {0.04f, 0.06f, 0.11f, 1};
const ArtColor kNightEdge = {0.16f, 0.23f, 0.36f, 1};

// Rotates (x, y) about (cx, cy) by deg degrees (clockwise on the image).
void _turn(float& x, float& y, float cx, float cy, float deg) {
    float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    float dx = x - cx, dy = y - cy;
    x = cx + dx * c - dy * s;
    y = cy + dx * s + dy * c;
}

std::vector<float> _turned(std::vector<float> xy, float cx, float cy, float deg) {
    for (size_t i = 0; i + 1 < xy.size(); i += 2) _turn(xy[i], xy[i + 1], cx, cy, deg);
    return xy;
}

void _poly(ArtCanvas& c, const std::vector<float>& xy, ArtColor col, float grow) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
        x0 = std::min(x0, xy[i]);
        x1 = std::max(x1, xy[i]);
        y0 = std::min(y0, xy[i + 1]);
        y1 = std::max(y1, xy[i + 1]);
    }
    mapart_shape(c, x0 - grow, y0 - grow, x1 + grow, y1 + grow,
                 [&xy, grow](float x, float y) { return mapart_sd_polygon(x, y, xy) - grow; }, col);
}

void _circle(ArtCanvas& c, float cx, float cy, float r, ArtColor col) {
    mapart_shape(c, cx - r, cy - r, cx + r, cy + r, [=](float x, float y) { return mapart_sd_circle(x, y, cx, cy, r); },
                 col);
}

void _ring(ArtCanvas& c, float cx, float cy, float r, float w, ArtColor col) {
    mapart_shape(c, cx - r - w, cy - r - w, cx + r + w, cy + r + w,
                 [=](float x, float y) { return std::fabs(mapart_sd_circle(x, y, cx, cy, r)) - w / 2; }, col);
}

// An arrow through (cx, cy) pointing along (dx, dy) (image axes), with a dark rim.
void _arrow(ArtCanvas& c, float cx, float cy, float dx, float dy, float len, float width, ArtColor col, float rim) {
    float l = std::hypot(dx, dy);
    float ax = dx / l, ay = dy / l, px = -ay, py = ax;
    float head = len * 0.45f, hw = width * 1.1f, sw = width * 0.4f;
    float tail = -len / 2, neck = len / 2 - head, tip = len / 2;
    auto at = [&](float a, float p, std::vector<float>& out) {
        out.push_back(cx + ax * a + px * p);
        out.push_back(cy + ay * a + py * p);
    };
    std::vector<float> xy;
    at(tail, -sw, xy);
    at(neck, -sw, xy);
    at(neck, -hw, xy);
    at(tip, 0, xy);
    at(neck, hw, xy);
    at(neck, sw, xy);
    at(tail, sw, xy);
    if (rim > 0) _poly(c, xy, kInk, rim);
    _poly(c, xy, col, 0);
}

void _footprint(ArtCanvas& c, float cx, float cy, float s, float deg, ArtColor col) {
    // A sole and a heel, toes up before turning.
    auto ellipse = [&](float ex, float ey, float rx, float ry) {
        float x = ex, y = ey;
        _turn(x, y, cx, cy, deg);
        float a = deg * kPi / 180, ca = std::cos(a), sa = std::sin(a);
        float r = std::max(rx, ry);
        mapart_shape(c, x - r, y - r, x + r, y + r,
                     [=](float px, float py) {
                         float lx = (px - x) * ca + (py - y) * sa, ly = -(px - x) * sa + (py - y) * ca;
                         return (std::hypot(lx / rx, ly / ry) - 1) * std::min(rx, ry);
                     },
                     col);
    };
    ellipse(cx, cy - 0.18f * s, 0.2f * s, 0.34f * s);
    ellipse(cx, cy + 0.36f * s, 0.16f * s, 0.18f * s);
}

ArtColor _lamp_color(int value) {
    switch (value) {
        case 2: return mapart_rgb(0x36aaff);
        case 3: return mapart_rgb(0xff3a36);
        case 4: return mapart_rgb(0xa54bff);
        default: return mapart_rgb(0xffa233);
    }
}

void _lamp(ArtCanvas& c, float cx, float cy, float r, ArtColor col) {
    ArtColor glow = col;
    mapart_shape(c, cx - 2 * r, cy - 2 * r, cx + 2 * r, cy + 2 * r,
                 [=](float x, float y) { return mapart_sd_circle(x, y, cx, cy, 2 * r); },
                 [=](float x, float y) {
                     ArtColor k = glow;
                     float d = std::hypot(x - cx, y - cy) / (2 * r);
                     k.a = 0.45f * (1 - d) * (1 - d);
                     return k;
                 });
    const int rays = 8;
    for (int i = 0; i < rays; i++) {
        float a = 2 * kPi * i / rays;
        float x0 = cx + std::cos(a) * r * 1.25f, y0 = cy + std::sin(a) * r * 1.25f;
        float x1 = cx + std::cos(a) * r * 1.75f, y1 = cy + std::sin(a) * r * 1.75f;
        float w = r * 0.13f;
        mapart_shape(c, std::min(x0, x1) - 2 * w, std::min(y0, y1) - 2 * w, std::max(x0, x1) + 2 * w,
                     std::max(y0, y1) + 2 * w,
                     [=](float x, float y) { return mapart_sd_segment(x, y, x0, y0, x1, y1, w); }, col);
    }
    _circle(c, cx, cy, r * 1.02f, kInk);
    _circle(c, cx, cy, r * 0.88f, col);
    _circle(c, cx - r * 0.25f, cy - r * 0.25f, r * 0.35f, mapart_mix(col, ArtColor{1, 1, 1, 1}, 0.65f));
}

void _guard_badge(ArtCanvas& c, float cx, float cy, float s, float deg) {
    // A shield with a star: the guards' emblem.
    std::vector<float> shield = {cx - 0.42f * s, cy - 0.44f * s, cx + 0.42f * s, cy - 0.44f * s,
                                 cx + 0.42f * s, cy + 0.05f * s, cx, cy + 0.5f * s,
                                 cx - 0.42f * s, cy + 0.05f * s};
    shield = _turned(shield, cx, cy, deg);
    _poly(c, shield, kInk, 0.06f * s);
    _poly(c, shield, kGuardRed, 0);
    std::vector<float> star;
    for (int i = 0; i < 10; i++) {
        float a = -kPi / 2 + kPi * i / 5, r = (i % 2 ? 0.11f : 0.26f) * s;
        star.push_back(cx + std::cos(a) * r);
        star.push_back(cy - 0.02f * s + std::sin(a) * r);
    }
    _poly(c, _turned(star, cx, cy, deg), mapart_rgb(0xffe2c0), 0);
}

// A rounded square cut from one cell of a texture (one fifth of it).
ArtCanvas _swatch(const ArtCanvas& tex, int size, float tone, ArtColor tint) {
    int cell = tex.w / MAPART_TILING;
    ArtCanvas crop(cell + cell / 2, cell + cell / 2);
    for (int y = 0; y < crop.h; y++) {
        for (int x = 0; x < crop.w; x++) {
            ArtColor k = mapart_get(tex, (x + cell * 3 / 4) % tex.w, (y + cell * 3 / 4) % tex.h);
            k.r *= tone * tint.r;
            k.g *= tone * tint.g;
            k.b *= tone * tint.b;
            mapart_put(crop, x, y, k);
        }
    }
    ArtCanvas small = mapart_resize(crop, size, size);
    ArtCanvas out(size, size);
    float m = size / 2.0f, half = size / 2.0f - 2, round = size * 0.16f;
    mapart_shape(out, 0, 0, (float)size, (float)size,
                 [=](float x, float y) { return mapart_sd_box(x, y, m, m, half + 1, half + 1, round); }, kInk);
    mapart_shape(out, 0, 0, (float)size, (float)size,
                 [=](float x, float y) { return mapart_sd_box(x, y, m, m, half - 1, half - 1, round - 1); },
                 [&small](float x, float y) {
                     return mapart_get(small, std::min(small.w - 1, (int)x), std::min(small.h - 1, (int)y));
                 });
    return out;
}

ArtCanvas _pit_icon(const ArtCanvas& floor, int size, bool crater) {
    ArtCanvas out = _swatch(floor, size, 1.0f, ArtColor{1, 1, 1, 1});
    float m = size / 2.0f;
    if (crater) {
        // A ragged blast hole with a scorched rim.
        auto edge = [=](float x, float y, float r) {
            float a = std::atan2(y - m, x - m) / (2 * kPi) + 0.5f;
            return std::hypot(x - m, y - m) - r * (1 + 0.18f * mapart_noise(a * 9, 0.5f, 9, 61));
        };
        mapart_shape(out, 0, 0, (float)size, (float)size, [&](float x, float y) { return edge(x, y, size * 0.36f); },
                     mapart_rgb(0x2a1d18, 0.85f));
        mapart_shape(out, 0, 0, (float)size, (float)size, [&](float x, float y) { return edge(x, y, size * 0.27f); },
                     mapart_rgb(0x010103));
    } else {
        float half = size * 0.3f;
        mapart_shape(out, 0, 0, (float)size, (float)size,
                     [=](float x, float y) { return mapart_sd_box(x, y, m, m, half, half, 2); }, mapart_rgb(0x010103));
        mapart_shape(out, 0, 0, (float)size, (float)size,
                     [=](float x, float y) { return std::fabs(mapart_sd_box(x, y, m, m, half, half, 2)) - 1.0f; },
                     mapart_rgb(0x2c3446, 0.9f));
    }
    return out;
}

ArtCanvas _empty_icon(int size) {
    ArtCanvas out(size, size);
    float m = size / 2.0f, half = size / 2.0f - 3, round = size * 0.16f;
    mapart_shape(out, 0, 0, (float)size, (float)size,
                 [=](float x, float y) { return mapart_sd_box(x, y, m, m, half, half, round); }, kNight);
    // Dashed border: an empty cell is nothing at all.
    mapart_shape(out, 0, 0, (float)size, (float)size,
                 [=](float x, float y) {
                     float d = std::fabs(mapart_sd_box(x, y, m, m, half - 2, half - 2, round - 2)) - 0.9f;
                     float a = std::atan2(y - m, x - m) / (2 * kPi) * 16;
                     return (a - std::floor(a)) < 0.55f ? d : 1e3f;
                 },
                 kNightEdge);
    return out;
}

// A block icon built like the game's blocks (a stack of boxes per tile view).
ArtCanvas _block_icon(const ArtTile& t, const ArtCanvas& walls, int size) {
    ArtMesh m;
    m.col = ArtColor{1, 1, 1, 1};
    auto block = [&](float b, float top, float pop) {
        mapart_block(m, -pop, -pop, 1 + pop, 1 + pop, b, top, &walls);
        m.part++;
    };
    if (t.view == "arch") {
        block(0, 5, 0);
    } else if (t.view == "window") {
        block(0, 0.5f, 0);
        block(2.0f, 2.5f, 0);
        m.col = mapart_rgb(0x5fd8ee);
        m.flags = ART_EMISSIVE;
        mapart_box(m, art_translate(0.5f, 1.25f, 0.5f), 0.5f, 0.75f, 0.03f);
        mapart_box(m, art_translate(0.5f, 1.25f, 0.5f), 0.03f, 0.75f, 0.5f);
        m.flags = ART_LIT;
    } else if (t.view == "pillar") {
        // The blue the view tints pillars with, capped at full brightness.
        m.col = ArtColor{0.25f / 1.5f * 1.4f, 0.75f / 1.5f * 1.4f, 1.0f, 1};
        block(0, 0.35f, 0);
        block(0.35f, 2.15f, -0.125f);
        block(2.15f, 2.5f, 0);
        block(2.5f, 2.675f, -0.25f);
    } else if (t.view == "crate") {
        block(0, 1.25f, 0);
    } else {
        block(0, 2.5f, 0);
    }
    // Centre the block on the origin before turning it to the camera.
    for (ArtTri& tri : m.tris) {
        for (int k = 0; k < 3; k++) tri.p[k] = tri.p[k] - art_vec(0.5f, 0, 0.5f);
    }
    ArtLook look;
    look.light = art_vec(0.5f, 0.75f, 0.45f);
    return mapart_render_icon(mapart_world_to_camera(m), size, 3, look);
}

ArtCanvas _figure_icon(ArtActor who, int size) {
    float fr, ft;
    mapart_sprite_facing(3, &fr, &ft);
    ArtMesh m = mapart_face(mapart_figure(who, ART_STAND, 0, art_vec(0, 0, -1)), fr, ft);
    ArtLook look;
    ArtCanvas out(size, size);
    float mid = size / 2.0f;
    // A ground disc in the actor's colour under the figure.
    ArtColor disc = who == ART_PLAYER ? kCyan : kGuardRed;
    disc.a = 0.55f;
    mapart_shape(out, 0, 0, (float)size, (float)size,
                 [=](float x, float y) {
                     return (std::hypot((x - mid) / (size * 0.36f), (y - size * 0.86f) / (size * 0.11f)) - 1) * size * 0.1f;
                 },
                 disc);
    mapart_over(out, mapart_render_icon(m, size, 3, look), 0, 0);
    return out;
}

}  // namespace

bool mapart_arrow_step(int code, int* dx, int* dy) {
    static const int steps[10][2] = {
        {0, 0}, {0, 1}, {1, 1}, {1, 0}, {-1, 1}, {0, 0}, {1, -1}, {-1, 0}, {-1, -1}, {0, -1},
    };
    if (code < 1 || code > 9 || code == 5) return false;
    *dx = steps[code][0];
    *dy = steps[code][1];
    return true;
}

std::vector<ArtTile> mapart_tiles(const char* path) {
    std::vector<ArtTile> out;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    Json::Value root;
    Json::Reader reader;
    if (!in || !reader.parse(text.str(), root) || !root.isArray()) {
        fprintf(stderr, "mapart: cannot read the tile catalogue %s\n", path);
        return out;
    }
    for (const Json::Value& e : root) {
        if (!e.isObject()) continue;
        ArtTile t;
        t.n = e.get("n", 0).asInt();
        t.name = e.get("name", "").asString();
        t.type = e.get("type", "").asString();
        t.view = e.get("view", "").asString();
        t.value = e.get("value", 0).asInt();
        t.editor = e.get("editor", 0).asInt();
        if (!t.name.empty()) out.push_back(t);
    }
    return out;
}

ArtCanvas mapart_decal(const ArtTile& t, int size) {
    ArtCanvas c(size, size);
    float s = (float)size, m = s / 2;
    int dx = 0, dy = 0;
    if (t.type == "arrow" && mapart_arrow_step(t.value, &dx, &dy)) {
        ArtColor col = kAmber;
        col.a = 0.92f;
        _arrow(c, m, m, (float)dx, (float)dy, s * 0.74f, s * 0.32f, col, s * 0.025f);
    } else if (t.type == "player") {
        ArtColor ring = kCyan;
        ring.a = 0.7f;
        _ring(c, m, m, s * 0.4f, s * 0.045f, ring);
        _footprint(c, m - s * 0.1f, m + s * 0.06f, s * 0.3f, kScreenUpTurn, kCyan);
        _footprint(c, m + s * 0.1f, m - s * 0.1f, s * 0.3f, kScreenUpTurn, kCyan);
    } else if (t.type == "guard") {
        ArtColor ring = kGuardRed;
        ring.a = 0.7f;
        _ring(c, m, m, s * 0.4f, s * 0.045f, ring);
        _guard_badge(c, m, m, s * 0.5f, kScreenUpTurn);
    } else if (t.type == "light") {
        _lamp(c, m, m, s * 0.2f, _lamp_color(t.value));
    } else {
        // Nothing placed here: faint corner marks for the editor's grid.
        ArtColor col = kNightEdge;
        col.a = 0.5f;
        const float arm = s * 0.16f, in = s * 0.08f, w = s * 0.018f;
        for (int k = 0; k < 4; k++) {
            float cx = (k & 1) ? s - in : in, cy = (k & 2) ? s - in : in;
            float sx = (k & 1) ? -1.0f : 1.0f, sy = (k & 2) ? -1.0f : 1.0f;
            mapart_shape(c, 0, 0, s, s,
                         [=](float x, float y) {
                             return std::min(mapart_sd_segment(x, y, cx, cy, cx + sx * arm, cy, w),
                                             mapart_sd_segment(x, y, cx, cy, cx, cy + sy * arm, w));
                         },
                         col);
        }
    }
    return c;
}

ArtCanvas mapart_icon(const ArtTile& t, int size, const ArtCanvas& floor, const ArtCanvas& walls) {
    float s = (float)size, m = s / 2;
    if (t.view == "sprite") return mapart_prop_icon(t.name, size);
    if (t.type == "player") return _figure_icon(ART_PLAYER, size);
    if (t.type == "guard") return _figure_icon(ART_GUARD, size);
    if (t.type == "arrow") {
        // Palette arrows point on screen as the map arrow looks from the
        // default camera: the direction code read as a keypad digit.
        ArtCanvas c(size, size);
        int dx = 0, dy = 0;
        if (mapart_arrow_step(t.value, &dx, &dy)) {
            _arrow(c, m, m, (float)(dx - dy), (float)(dx + dy), s * 0.74f, s * 0.32f, kAmber, s * 0.045f);
        }
        return c;
    }
    if (t.type == "light") {
        ArtCanvas c(size, size);
        _lamp(c, m, m, s * 0.22f, _lamp_color(t.value));
        return c;
    }
    if (t.view == "floor") return _swatch(floor, size, 1.0f, ArtColor{1, 1, 1, 1});
    if (t.view == "dark") return _swatch(floor, size, 0.42f, ArtColor{0.7f, 0.8f, 1.25f, 1});
    if (t.type == "pit") return _pit_icon(floor, size, t.name == "hole");
    if (t.view == "wall" || t.view == "arch" || t.view == "window" || t.view == "pillar" || t.view == "crate") {
        return _block_icon(t, walls, size);
    }
    return _empty_icon(size);
}
