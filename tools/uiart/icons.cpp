// The icons: rating stars and skulls, the camera-turn and overhead-view
// buttons, and the four bomb kinds. All are drawn on a 100-unit square in
// near-white with an ink outline, so that the game can tint them and they
// stay legible on light and dark ground alike.
#include <cmath>
#include <vector>

#include "art.h"

namespace {

const float UNITS = 100;
const float OUTLINE = 3.5f;
const float PI = 3.14159265358979f;

// A shape in ink, grown by the outline, then the shape itself painted over it.
void outlined(Canvas& c, const Sdf& shape, const Paint& paint, float outline = OUTLINE) {
    c.fill(sdf::grow(shape, outline), rgb(pal::INK, 0.92f));
    c.fill(shape, paint);
}

void outlined(Canvas& c, const Sdf& shape, const Rgba& colour, float outline = OUTLINE) {
    outlined(c, shape, [colour](float, float) { return colour; }, outline);
}

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// A sphere of centre (cx, cy) and radius r lit from the upper left: grey in
// its shadow, white where it faces the light, with a soft glint.
Paint sphere(float cx, float cy, float r) {
    return [=](float x, float y) {
        float nx = (x - cx) / r, ny = (y - cy) / r;
        float nz = std::sqrt(clamp01(1 - nx * nx - ny * ny));
        const float lx = -0.48f, ly = -0.62f, lz = 0.62f;
        float lit = clamp01(nx * lx + ny * ly + nz * lz);
        float shade = 0.58f + 0.42f * lit;
        float gx = x - (cx - 0.38f * r), gy = y - (cy - 0.40f * r);
        float glint = std::exp(-(gx * gx + gy * gy) / (0.03f * r * r));
        Rgba c = mix(rgb(pal::SNOW), rgb(0xFFFFFF), glint);
        c.r *= shade + (1 - shade) * glint;
        c.g *= shade + (1 - shade) * glint;
        c.b *= shade + (1 - shade) * glint;
        return c;
    };
}

// The round body of a bomb with its fuse cap turned towards the upper right.
struct Bomb {
    float cx, cy, r;
    Sdf body() const { return sdf::circle(cx, cy, r); }
    float cap_x() const { return cx + (r + 2) * 0.7071f; }
    float cap_y() const { return cy - (r + 2) * 0.7071f; }
    Sdf cap() const {
        float w = r * 0.34f, h = r * 0.22f;
        return sdf::rotate(sdf::rbox(cap_x(), cap_y(), w, h, 2), cap_x(), cap_y(), 45);
    }
    void draw(Canvas& c) const {
        // One outline round body and cap, so they read as one piece.
        c.fill(sdf::grow(sdf::uni(body(), cap()), OUTLINE), rgb(pal::INK, 0.92f));
        c.fill(cap(), vgrad(cap_y() - 8, rgb(0xC9D4E2), cap_y() + 8, rgb(0x8A9AB0)));
        c.fill(body(), sphere(cx, cy, r));
    }
};

Rgba snow() { return rgb(pal::SNOW); }

}  // namespace

Canvas art_stars(int px) {
    Canvas c(px, px, UNITS);
    const float cx = 50, cy = 53, outer = 45, inner = 19;
    std::vector<float> pts;
    for (int k = 0; k < 10; k++) {
        float a = (-90 + 36.0f * k) * PI / 180, r = k % 2 ? inner : outer;
        pts.push_back(cx + r * std::cos(a));
        pts.push_back(cy + r * std::sin(a));
    }
    // Each point is two facets; each facet is as bright as it faces the
    // light from the upper left.
    Paint facets = [=](float x, float y) {
        float a = std::atan2(y - cy, x - cx) * 180 / PI + 90;
        float facet = std::floor((a + 720) / 36);
        float mid = (facet * 36 + 18 - 90) * PI / 180;
        float lit = 0.5f + 0.5f * (std::cos(mid) * -0.6f + std::sin(mid) * -0.8f);
        float shade = 0.74f + 0.26f * lit;
        Rgba col = rgb(pal::SNOW);
        col.r *= shade;
        col.g *= shade;
        col.b *= shade;
        return col;
    };
    outlined(c, sdf::polygon(pts), facets, 3);
    return c;
}

Canvas art_skulls(int px) {
    Canvas c(px, px, UNITS);
    Sdf cranium = sdf::circle(50, 43, 33);
    Sdf jaw = sdf::rbox(50, 74, 19, 13, 6);
    Sdf head = sdf::smooth_uni(cranium, jaw, 8);
    outlined(c, head, vgrad(12, rgb(pal::SNOW), 88, rgb(0xC9D3E0)), 3);
    Rgba ink = rgb(pal::INK);
    c.fill(sdf::rotate(sdf::rbox(37, 48, 10, 8.5f, 6), 37, 48, 12), ink);
    c.fill(sdf::rotate(sdf::rbox(63, 48, 10, 8.5f, 6), 63, 48, -12), ink);
    c.fill(sdf::polygon({50, 57, 44.5f, 67, 55.5f, 67}), ink);
    for (float x : {42.0f, 50.0f, 58.0f}) c.fill(sdf::segment(x, 75, x, 86, 1.6f), ink);
    return c;
}

// A round button face: a dark disc with a cyan rim.
static void button_face(Canvas& c) {
    Sdf disc = sdf::circle(50, 50, 46);
    c.fill(disc, rgb(pal::NIGHT1, 0.8f));
    c.fill(sdf::edge(sdf::grow(disc, -1.8f), 1.6f), rgb(pal::CYAN, 0.95f));
}

Canvas art_turn(int px, bool right) {
    Canvas c(px, px, UNITS);
    button_face(c);
    // Round the top from the right end to the left end, with the head at
    // the left pointing down: a turn to the left.
    const float cx = 50, cy = 55, rr = 23, a0 = -200, a1 = 20, half = 4.5f;
    const float t = a0 * PI / 180;
    float ex = cx + rr * std::cos(t), ey = cy + rr * std::sin(t);
    float dx = std::sin(t), dy = -std::cos(t), nx = -dy, ny = dx;
    Sdf head = sdf::polygon({ex + dx * 14, ey + dy * 14, ex - dx * 3 + nx * 12, ey - dy * 3 + ny * 12,
                             ex - dx * 3 - nx * 12, ey - dy * 3 - ny * 12});
    Sdf arrow = sdf::uni(sdf::arc(cx, cy, rr, a0, a1, half), head);
    if (right) arrow = sdf::mirror_x(arrow, 50);
    outlined(c, arrow, vgrad(25, snow(), 80, rgb(0xCFE3EE)), 3);
    return c;
}

// An open eye: the switch between the angled and the overhead view.
Canvas art_overhead(int px) {
    Canvas c(px, px, UNITS);
    button_face(c);
    Sdf almond = sdf::inter(sdf::circle(50, 76, 40), sdf::circle(50, 24, 40));
    outlined(c, almond, snow(), 3);
    c.fill(sdf::circle(50, 50, 13), rgb(pal::INK));
    c.fill(sdf::circle(50, 50, 11), rgb(pal::CYAN));
    c.fill(sdf::circle(50, 50, 5.5f), rgb(pal::INK));
    c.fill(sdf::circle(45.5f, 45.5f, 2.4f), rgb(0xFFFFFF));
    return c;
}

static void detonator(Canvas& c) {
    Bomb b{44, 62, 29};
    b.draw(c);
    float tx = 78, ty = 22;
    outlined(c, sdf::segment(b.cap_x() + 3, b.cap_y() - 3, tx, ty, 2.2f), snow(), 3);
    outlined(c, sdf::circle(tx, ty, 4.5f), snow(), 3);
    Sdf waves = sdf::uni(sdf::arc(tx, ty, 10, -145, -35, 2), sdf::arc(tx, ty, 17, -140, -40, 2));
    outlined(c, waves, snow(), 2.5f);
}

static void time_bomb(Canvas& c) {
    Bomb b{46, 60, 31};
    b.draw(c);
    Rgba ink = rgb(pal::INK);
    float fx = 46, fy = 60;
    c.fill(sdf::circle(fx, fy, 18), ink);
    for (int k = 0; k < 12; k++) {
        float a = 30.0f * k * PI / 180, r0 = k % 3 ? 14.5f : 12, r1 = 16;
        c.fill(sdf::segment(fx + r0 * std::cos(a), fy + r0 * std::sin(a), fx + r1 * std::cos(a),
                            fy + r1 * std::sin(a), k % 3 ? 0.8f : 1.3f),
               rgb(pal::SNOW));
    }
    c.fill(sdf::segment(fx, fy, fx, fy - 12, 1.7f), rgb(pal::SNOW));
    c.fill(sdf::segment(fx, fy, fx + 8, fy + 3, 2.1f), rgb(pal::SNOW));
    c.fill(sdf::circle(fx, fy, 2.6f), rgb(pal::SNOW));
}

static void emp(Canvas& c) {
    Bomb b{50, 58, 26};
    Sdf waves = sdf::uni(sdf::uni(sdf::arc(50, 58, 35, 145, 215, 2.2f), sdf::arc(50, 58, 43, 150, 210, 2.2f)),
                         sdf::uni(sdf::arc(50, 58, 35, -35, 35, 2.2f), sdf::arc(50, 58, 43, -30, 30, 2.2f)));
    outlined(c, waves, snow(), 2.5f);
    b.draw(c);
    Sdf bolt = sdf::polygon({55, 37, 39, 62, 49, 62, 43, 81, 63, 54, 53, 54, 61, 37});
    c.fill(sdf::grow(bolt, 1), rgb(pal::INK));
    c.fill(bolt, vgrad(37, rgb(pal::AMBER_LIGHT), 81, rgb(pal::AMBER)));
}

static void mini(Canvas& c) {
    Bomb b{42, 66, 21};
    // The fuse curls up from the cap, over to the right, to a spark.
    const float rr = 14, a0 = 190, a1 = 300;
    float cx = b.cap_x() + 2 + rr, cy = b.cap_y() - 2 + 2;
    outlined(c, sdf::arc(cx, cy, rr, a0, a1, 2.2f), rgb(0xD9DFE7), 3);
    b.draw(c);
    float sx = cx + rr * std::cos(a1 * PI / 180), sy = cy + rr * std::sin(a1 * PI / 180);
    Sdf spark = sdf::circle(sx, sy, 3.5f);
    for (int k = 0; k < 8; k++) {
        float a = (22.5f + 45.0f * k) * PI / 180, r = k % 2 ? 9 : 13;
        spark = sdf::uni(spark, sdf::segment(sx, sy, sx + r * std::cos(a), sy + r * std::sin(a), 1.8f));
    }
    outlined(c, spark, rgb(0xFFE6A8), 2.5f);
}

Canvas art_bomb(int px, int kind) {
    Canvas c(px, px, UNITS);
    switch (kind) {
    case 1: detonator(c); break;
    case 2: time_bomb(c); break;
    case 3: emp(c); break;
    default: mini(c); break;
    }
    return c;
}
