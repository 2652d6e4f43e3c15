// Surfaces and effects: the seamless stone floor and masonry textures, the
// soft shadow and glow spots, and the nine stages of an explosion.
#include <algorithm>
#include <cmath>

#include "mapart.h"

namespace {

const float kPi = 3.14159265358979f;
const int kFlickerPeriod = 24;  // noise cells round the shock ring
const float kChurn = 0.28f;     // how far turbulence pushes the fireball's edge

float _smooth(float a, float b, float x) {
    float t = std::max(0.0f, std::min(1.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// Colour for light that is added to the scene: the view multiplies the
// texture's colour by its alpha, and drops alpha at or under 0.1, so alpha
// rises steeply with brightness and the colour is divided by it.
ArtColor _additive(float r, float g, float b) {
    float m = std::max({r, g, b, 0.0f});
    ArtColor c;
    c.a = std::min(1.0f, 4 * m);
    if (c.a <= 0) return ArtColor{0, 0, 0, 0};
    c.r = r / c.a;
    c.g = g / c.a;
    c.b = b / c.a;
    return c;
}

// ---- floor

ArtColor _floor_pixel(float u, float v, int size) {
    // u, v in cells (0..5); one square slab a cell, grout between them.
    int i = (int)std::floor(u), j = (int)std::floor(v);
    float fu = u - i, fv = v - j;
    float px = 1.0f * MAPART_TILING / size;  // one pixel in cells
    float wobble = 0.008f * mapart_noise(u * 9, v * 9, 9 * MAPART_TILING, 17);
    float edge = std::min({fu, 1 - fu, fv, 1 - fv}) + wobble;
    const float grout = 0.022f, bevel = 0.05f;
    float tone = 0.9f + 0.2f * mapart_hash(i, j, 3);
    float warm = 0.04f * (mapart_hash(i, j, 5) - 0.5f);
    float grain = mapart_fbm(u * 3, v * 3, 3 * MAPART_TILING, 5, 11);
    float speck = mapart_hash((int)(u / px), (int)(v / px), 23);
    float k = tone * (1 + 0.13f * grain) * (speck > 0.985f ? 0.82f : 1.0f);
    // Worn patches and a few hairline cracks.
    float wear = mapart_fbm(u * 1.5f + 3, v * 1.5f, (int)(1.5f * MAPART_TILING), 3, 29);
    k *= 1 + 0.08f * _smooth(0.2f, 0.6f, wear);
    float crack = std::fabs(mapart_fbm(u * 2.2f, v * 2.2f, (int)(2.2f * MAPART_TILING + 0.5f), 4, 41));
    if (mapart_hash(i, j, 47) > 0.78f) k *= 1 - 0.25f * (1 - _smooth(0.0f, 0.012f, crack));
    // Bevelled rims: lit towards the top left, shaded towards the bottom right.
    if (edge < bevel) {
        float t = 1 - edge / bevel;
        float side = (fu < fv ? (fu < 1 - fv ? 1.0f : -1.0f) : (fv < 1 - fu ? 1.0f : -1.0f));
        k *= 1 + 0.12f * t * side;
    }
    ArtColor stone = {0.56f + warm, 0.55f, 0.53f - warm, 1};
    stone = mapart_scale(stone, k);
    ArtColor joint = {0.16f, 0.16f, 0.18f, 1};
    float cover = std::max(0.0f, std::min(1.0f, (edge - grout) / (1.5f * px)));
    return mapart_mix(joint, stone, cover);
}

// ---- walls

struct Course {
    float top, bottom;  // heights on the face, world units
    float length;       // stone length, world units
    float offset;       // joint offset, world units
    float tone;
};

// Face heights (2.5 at the wall's top) of the courses, top to bottom; the
// filler under the face (seen only on wall tops) continues the pattern.
const Course kCourses[] = {
    {2.5f, 2.3f, 1.0f, 0.5f, 1.14f},   // cap
    {2.3f, 1.88f, 0.5f, 0.0f, 1.0f},
    {1.88f, 1.46f, 0.5f, 0.25f, 1.0f},
    {1.46f, 1.04f, 0.5f, 0.0f, 1.0f},
    {1.04f, 0.62f, 0.5f, 0.25f, 1.0f},
    {0.62f, 0.22f, 0.5f, 0.0f, 1.0f},
    {0.22f, 0.0f, 1.0f, 0.0f, 0.76f},  // plinth
    {0.0f, -0.3125f, 0.5f, 0.25f, 0.95f},
    {-0.3125f, -0.625f, 0.5f, 0.0f, 0.95f},
};

ArtColor _wall_pixel(float x, float v, int size, bool east) {
    // x: world units along the face (0..5); v: texture row within the half (0..0.5).
    const float face = 2.5f, face_v = 0.4f;
    float h = face - v / face_v * face;
    float px_h = face / face_v / size, px_x = 1.0f * MAPART_TILING / size;
    const Course* c = &kCourses[0];
    for (const Course& k : kCourses) {
        if (h <= k.top && h > k.bottom) c = &k;
    }
    float along = x + c->offset;
    int stone = (int)std::floor(along / c->length);
    float fx = along / c->length - stone;
    int period = (int)std::lround(MAPART_TILING / c->length);
    stone = ((stone % period) + period) % period;
    int row = (int)(c - kCourses);
    unsigned seed = east ? 71u : 7u;
    float joint_x = std::min(fx, 1 - fx) * c->length;
    float joint_y = std::min(c->top - h, h - c->bottom);
    float joint = std::min(joint_x, joint_y);
    const float mortar = 0.013f;
    float tone = c->tone * (0.9f + 0.18f * mapart_hash(stone, row, seed));
    float grain = mapart_fbm(x * 2.4f, h * 2.4f + (east ? 40 : 0), (int)(2.4f * MAPART_TILING), 5, seed + 3);
    float chip = mapart_fbm(x * 6, h * 6, 6 * MAPART_TILING, 3, seed + 9);
    float k = tone * (1 + 0.12f * grain) * (1 - 0.1f * _smooth(0.5f, 0.62f, chip));
    // Rounded stone faces: lighter along the top of each stone, darker below.
    float up = (h - c->bottom) / (c->top - c->bottom);
    k *= 0.9f + 0.16f * _smooth(0.0f, 0.35f, up) - 0.06f * _smooth(0.75f, 1.0f, up);
    if (east) k *= 0.84f;
    ArtColor base = east ? ArtColor{0.55f, 0.56f, 0.6f, 1} : ArtColor{0.62f, 0.6f, 0.57f, 1};
    ArtColor col = mapart_scale(base, k);
    ArtColor dark = {0.24f, 0.23f, 0.25f, 1};
    float soft = 1.5f * std::max(px_h, px_x);
    float cover = std::max(0.0f, std::min(1.0f, (joint - mortar) / soft));
    return mapart_mix(dark, col, cover);
}

}  // namespace

ArtCanvas mapart_floor(int size) {
    ArtCanvas c(size, size);
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float u = (x + 0.5f) * MAPART_TILING / size, v = (y + 0.5f) * MAPART_TILING / size;
            mapart_put(c, x, y, _floor_pixel(u, v, size));
        }
    }
    return c;
}

ArtCanvas mapart_walls(int size) {
    // The upper half serves the south, north and west faces, the lower half
    // (darker, cooler) the east faces; each face is 0.4 of the height for
    // 2.5 units, so a half is 0.5: the face and a band seen only from above.
    ArtCanvas c(size, size);
    for (int y = 0; y < size; y++) {
        float vv = (y + 0.5f) / size;
        bool east = vv >= 0.5f;
        float v = east ? vv - 0.5f : vv;
        for (int x = 0; x < size; x++) {
            float wx = (x + 0.5f) * MAPART_TILING / size;
            mapart_put(c, x, y, _wall_pixel(wx, v, size, east));
        }
    }
    return c;
}

ArtCanvas mapart_shadow(int size) {
    ArtCanvas c(size, size);
    // Darkest in the middle, fading out 0.75 cells from it (the image spans 3).
    float mid = size / 2.0f, r = size * 0.25f;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float d = std::hypot(x + 0.5f - mid, y + 0.5f - mid) / r;
            float a = 0.72f * (1 - _smooth(0.25f, 1.0f, d));
            mapart_put(c, x, y, ArtColor{0.02f, 0.03f, 0.06f, a});
        }
    }
    return c;
}

ArtCanvas mapart_unshadow(int size) {
    ArtCanvas c(size, size);
    float mid = size / 2.0f, r = size * 0.4f;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float d = std::hypot(x + 0.5f - mid, y + 0.5f - mid) / r;
            float l = d < 1 ? (1 - d * d) * (1 - d * d) : 0;
            mapart_put(c, x, y, _additive(l, l, l));
        }
    }
    return c;
}

ArtCanvas mapart_player_glow(int size) {
    // A soft column of light over the cell, brightest near the ground; the
    // billboard is 4 units tall with the ground three quarters down.
    ArtCanvas c(size, size);
    float unit = size / (float)MAPART_SPRITE;
    float cx = size / 2.0f, cy = (MAPART_GROUND_ROW - 0.9f * MAPART_ROW_PER_UNIT) * unit;
    float rx = 0.75f * MAPART_COL_PER_UNIT * unit, ry = 1.45f * MAPART_ROW_PER_UNIT * unit;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float d = std::hypot((x + 0.5f - cx) / rx, (y + 0.5f - cy) / ry);
            float height = (MAPART_GROUND_ROW * unit - (y + 0.5f)) / (MAPART_ROW_PER_UNIT * unit);
            float fade = 0.55f + 0.45f * (1 - _smooth(0.0f, 2.3f, height));
            float l = d < 1 ? (1 - d * d) * (1 - d * d) * fade : 0;
            mapart_put(c, x, y, _additive(l, l, l));
        }
    }
    return c;
}

// ---- blasts

namespace {

const float kBlastFade = 24;  // logical pixels of fading at a frame's edges

struct Stage {
    float radius;     // fireball radius, units
    float rise;       // height of its centre, units
    float heat;       // peak temperature, 0..1
    float ring;       // radius of the ground shock ring, units (0: none)
};

const Stage kStages[MAPART_BLAST_STAGES] = {
    {0.8f, 0.2f, 1.0f, 0.0f},  {1.4f, 0.35f, 1.0f, 1.6f}, {2.0f, 0.5f, 1.0f, 2.6f},
    {2.5f, 0.7f, 0.95f, 3.5f}, {2.9f, 0.9f, 0.88f, 4.3f}, {3.2f, 1.1f, 0.76f, 4.9f},
    {3.4f, 1.3f, 0.6f, 5.3f},  {3.5f, 1.5f, 0.42f, 5.6f}, {3.6f, 1.7f, 0.24f, 5.8f},
};

ArtColor _fire_ramp(float t) {
    const ArtColor keys[5] = {
        {0, 0, 0, 1}, {0.55f, 0.06f, 0.02f, 1}, {1.0f, 0.42f, 0.06f, 1}, {1.0f, 0.82f, 0.3f, 1}, {1.0f, 0.98f, 0.85f, 1},
    };
    t = std::max(0.0f, std::min(1.0f, t)) * 4;
    int i = std::min(3, (int)t);
    return mapart_mix(keys[i], keys[i + 1], t - i);
}

}  // namespace

void mapart_blast_shape(int stage, int* w, int* h) {
    const Stage& s = kStages[std::max(0, std::min(MAPART_BLAST_STAGES - 1, stage))];
    float e = mapart_elevation();
    float reach = std::max(s.radius, s.ring) + 0.4f;
    int half = (int)std::ceil(reach * MAPART_BLAST_COL_PER_UNIT / 4) * 4;
    *w = 2 * half;
    // Height: from 5 units under the ground to above the churning fireball's
    // top and the far side of the shock ring.
    float top = std::max(s.rise + s.radius * (1 + kChurn * 1.2f) / std::cos(e), s.ring * 1.15f * std::tan(e));
    *h = (int)(MAPART_BLAST_DEPTH + std::ceil(top)) * (int)MAPART_ROW_PER_UNIT;
}

ArtCanvas mapart_blast(int stage) {
    stage = std::max(0, std::min(MAPART_BLAST_STAGES - 1, stage));
    const Stage& s = kStages[stage];
    int lw, lh;
    mapart_blast_shape(stage, &lw, &lh);
    const int scale = MAPART_BLAST_SCALE;
    ArtCanvas c(lw * scale, lh * scale);
    float e = mapart_elevation(), ce = std::cos(e), se = std::sin(e);
    float ground_row = lh - MAPART_BLAST_DEPTH * MAPART_ROW_PER_UNIT;
    unsigned seed = 500u + (unsigned)stage * 13u;
    for (int y = 0; y < c.h; y++) {
        for (int x = 0; x < c.w; x++) {
            // Screen-plane position in units: u across, v up.
            float u = ((x + 0.5f) / scale - lw / 2.0f) / MAPART_BLAST_COL_PER_UNIT;
            float yb = (ground_row - (y + 0.5f) / scale) / MAPART_ROW_PER_UNIT;
            float v = yb * ce;
            float dv = v - s.rise * ce;
            float d = std::hypot(u, dv) / s.radius;
            float churn = mapart_fbm(u * 1.3f + stage * 0.37f, v * 1.3f - stage * 0.61f, 64, 4, seed);
            float ball = 1 - (d + kChurn * churn);
            float heat = std::max(0.0f, ball) * 1.6f;
            heat = std::min(1.0f, heat) * s.heat;
            // Brighter core, cooler rim that turns to smoke as it fades.
            heat *= 0.75f + 0.25f * _smooth(0.0f, 0.5f, 1 - d);
            if (s.ring > 0) {
                // Shock ring on the ground: an ellipse seen at the eye's elevation.
                float rd = std::hypot(u / s.ring, v / (s.ring * se));
                float band = std::exp(-std::pow((rd - 1) / 0.08f, 2.0f));
                float turn = std::atan2(v / se, u) / (2 * kPi) + 0.5f;
                float flick = 0.7f + 0.3f * mapart_noise(turn * kFlickerPeriod, (float)stage, kFlickerPeriod, seed + 5);
                heat = std::max(heat, band * flick * s.heat * 0.75f);
            }
            // Soft edges: the frame fades out before its border, so no
            // flame or ring is ever cut off by the edge of its picture.
            float edge = (float)std::min(std::min(x, y), std::min(c.w - 1 - x, c.h - 1 - y));
            heat *= _smooth(0.0f, kBlastFade * scale, edge);
            ArtColor col = _fire_ramp(heat);
            mapart_put(c, x, y, _additive(col.r, col.g, col.b));
        }
    }
    return c;
}
