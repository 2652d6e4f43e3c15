// Props, pickups and dropped bombs: low-poly models (potted plant, statue on
// a plinth, oil drum, the four bombs, the data cartridge) and their sprites.
#include <algorithm>
#include <cmath>

#include "mapart.h"

namespace {

const float kPi = 3.14159265358979f;
const float kBombScale = 1.25f;    // dropped bombs, built at about half a cell
const float kItemScale = 1.1f;     // pickups, a little smaller than dropped bombs
const float kPickupRing = 0.42f;   // radius of the glow ring under a pickup
const float kIconMargin = 3.0f;    // image pixels left free round an icon

float _elevation_deg() { return mapart_elevation() * 180 / kPi; }

void _plant(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0xb8643a);
    mapart_cylinder(m, ArtMat(), 0.19f, 0.26f, 0.42f, 16, true);
    m.col = mapart_rgb(0xc97a4a);
    mapart_torus(m, art_translate(0, 0.42f, 0), 0.26f, 0.035f, 6, 16);
    m.col = mapart_rgb(0x3a2618);
    mapart_cylinder(m, art_translate(0, 0.38f, 0), 0.24f, 0.24f, 0.045f, 16, true);
    // Leaves: long flattened ellipsoids fanning out of the pot.
    const int leaves = 11;
    for (int i = 0; i < leaves; i++) {
        float az = 2 * kPi * i / leaves + 0.4f * std::sin(i * 2.7f);
        float up = 40 + 35 * ((i * 7) % leaves) / (float)leaves;
        float len = 0.5f + 0.3f * ((i * 5) % leaves) / (float)leaves;
        float ue = up * kPi / 180;
        ArtVec base = art_vec(0, 0.4f, 0);
        ArtVec dir = art_vec(std::cos(az) * std::cos(ue), std::sin(ue), std::sin(az) * std::cos(ue));
        ArtMat at = art_between(base, base + dir, art_vec(-std::sin(az), 0, std::cos(az)));
        m.part = 2 + i;
        m.col = mapart_rgb(i % 3 == 0 ? 0x5fb55a : (i % 3 == 1 ? 0x3f9446 : 0x2e7a3c));
        mapart_sphere(m, art_mul(at, art_mul(art_translate(0, len / 2, 0), art_scale(0.13f, len / 2, 0.035f))), 1.0f,
                      6, 10);
    }
}

void _statue(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0x8d8f96);
    mapart_cylinder(m, ArtMat(), 0.4f, 0.4f, 0.1f, 20, true);
    m.col = mapart_rgb(0xa3a5ab);
    mapart_cylinder(m, art_translate(0, 0.1f, 0), 0.33f, 0.31f, 0.32f, 20, true);
    m.col = mapart_rgb(0x8d8f96);
    mapart_cylinder(m, art_translate(0, 0.42f, 0), 0.38f, 0.38f, 0.08f, 20, true);
    // A pale stone hero with a raised arm, turned three quarters to the viewer.
    float fr = 0, ft = 1;
    mapart_sprite_facing(3, &fr, &ft);
    ArtMesh hero = mapart_face(mapart_figure(ART_PLAYER, ART_SALUTE, 0, art_vec(0, 0, -1)), fr, ft);
    ArtColor stone = mapart_rgb(0xd9d4c7);
    for (ArtTri& t : hero.tris) {
        float lum = 0.3f * t.col.r + 0.59f * t.col.g + 0.11f * t.col.b;
        t.col = mapart_scale(stone, 0.82f + 0.3f * lum);
        t.flags = ART_LIT;
        t.part += 10;
        for (int k = 0; k < 3; k++) t.p[k] = t.p[k] + art_vec(0, 0.5f, 0);
    }
    m.tris.insert(m.tris.end(), hero.tris.begin(), hero.tris.end());
}

void _barrel(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0x3f6c86);
    mapart_cylinder(m, ArtMat(), 0.28f, 0.31f, 0.47f, 18, true);
    mapart_cylinder(m, art_translate(0, 0.47f, 0), 0.31f, 0.28f, 0.47f, 18, true);
    m.col = mapart_rgb(0x2f5166);
    for (float y : {0.03f, 0.32f, 0.62f, 0.92f}) mapart_torus(m, art_translate(0, y, 0), y < 0.1f || y > 0.9f ? 0.28f : 0.305f, 0.022f, 5, 18);
    m.col = mapart_rgb(0xf2a33a);
    mapart_cylinder(m, art_translate(0, 0.42f, 0), 0.313f, 0.313f, 0.1f, 18, false);
    m.col = mapart_rgb(0x24394a);
    mapart_cylinder(m, art_translate(0.1f, 0.94f, -0.06f), 0.05f, 0.05f, 0.03f, 8, true);
}

void _bomb_detonator(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0x4f5a6e);
    mapart_box(m, art_translate(0, 0.11f, 0), 0.21f, 0.11f, 0.15f);
    m.col = mapart_rgb(0xf0a63a);
    mapart_box(m, art_translate(0, 0.11f, 0), 0.213f, 0.025f, 0.153f);
    m.part = 2;
    m.col = mapart_rgb(0x262c38);
    mapart_box(m, art_translate(-0.04f, 0.23f, 0.01f), 0.12f, 0.015f, 0.1f);
    m.part = 3;
    m.col = mapart_rgb(0x9aa3b0);
    mapart_cylinder(m, art_translate(0.13f, 0.22f, -0.06f), 0.014f, 0.01f, 0.5f, 6, false);
    m.flags = ART_EMISSIVE;
    m.col = mapart_rgb(0xff4a3a);
    mapart_sphere(m, art_translate(0.13f, 0.73f, -0.06f), 0.035f, 5, 8);
    mapart_sphere(m, art_translate(-0.1f, 0.25f, 0.08f), 0.028f, 5, 8);
    m.col = mapart_rgb(0x6dff8a);
    mapart_sphere(m, art_translate(-0.02f, 0.25f, 0.08f), 0.022f, 5, 8);
    m.flags = ART_LIT;
}

void _bomb_time(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0xc93a30);
    for (int i = -1; i <= 1; i++) mapart_cylinder(m, art_translate(i * 0.14f, 0, -0.04f), 0.072f, 0.072f, 0.42f, 10, true);
    m.col = mapart_rgb(0x1f232c);
    for (float y : {0.08f, 0.3f}) mapart_box(m, art_translate(0, y, -0.04f), 0.22f, 0.025f, 0.08f);
    // Alarm clock strapped in front, turned up towards the eye.
    m.part = 2;
    ArtMat face = art_mul(art_translate(0, 0.25f, 0.06f), art_rot_x(-_elevation_deg() * 0.6f));
    m.col = mapart_rgb(0x2a3040);
    mapart_cylinder(m, art_mul(face, art_rot_x(90)), 0.15f, 0.15f, 0.05f, 18, true);
    m.col = mapart_rgb(0xf4ecd6);
    m.flags = ART_EMISSIVE;
    mapart_disc(m, art_mul(face, art_translate(0, 0, 0.052f)), 0.12f, 18);
    m.col = mapart_rgb(0x1a1a22);
    mapart_box(m, art_mul(face, art_mul(art_translate(0.0f, 0.04f, 0.056f), art_rot_z(0))), 0.01f, 0.05f, 0.003f);
    mapart_box(m, art_mul(face, art_mul(art_translate(0.03f, -0.02f, 0.056f), art_rot_z(60))), 0.01f, 0.035f, 0.003f);
    m.flags = ART_LIT;
    m.part = 3;
    m.col = mapart_rgb(0xd0d4dc);
    mapart_sphere(m, art_mul(face, art_translate(-0.1f, 0.14f, -0.02f)), 0.045f, 5, 8);
    mapart_sphere(m, art_mul(face, art_translate(0.1f, 0.14f, -0.02f)), 0.045f, 5, 8);
}

void _bomb_emp(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0x2a3144);
    mapart_cylinder(m, ArtMat(), 0.22f, 0.2f, 0.08f, 16, true);
    m.col = mapart_rgb(0x3c4660);
    mapart_cylinder(m, art_translate(0, 0.08f, 0), 0.08f, 0.08f, 0.46f, 12, true);
    m.part = 2;
    m.col = mapart_rgb(0x3f8ff0);
    for (int i = 0; i < 3; i++) mapart_torus(m, art_translate(0, 0.16f + i * 0.12f, 0), 0.15f, 0.038f, 6, 16);
    m.part = 3;
    m.flags = ART_EMISSIVE;
    m.col = mapart_rgb(0xa8ecff);
    mapart_sphere(m, art_translate(0, 0.6f, 0), 0.075f, 6, 10);
    m.flags = ART_LIT;
}

void _bomb_mini(ArtMesh& m) {
    m.part = 1;
    m.col = mapart_rgb(0xe23b30);
    mapart_sphere(m, art_translate(0, 0.15f, 0), 0.15f, 8, 14);
    m.col = mapart_rgb(0x3a3f4a);
    mapart_cylinder(m, art_translate(0, 0.27f, 0), 0.05f, 0.045f, 0.06f, 10, true);
    m.part = 2;
    m.col = mapart_rgb(0xd8c49a);
    mapart_limb(m, art_vec(0, 0.33f, 0), art_vec(0.06f, 0.42f, 0.0f), 0.012f, 0.012f);
    m.flags = ART_EMISSIVE | ART_NO_OUTLINE;
    m.col = mapart_rgb(0xffe27a);
    mapart_sphere(m, art_translate(0.07f, 0.44f, 0), 0.035f, 5, 8);
    m.flags = ART_LIT;
}

void _cartridge(ArtMesh& m) {
    // Floating a hand above the ground, turned a little towards the light.
    ArtMat at = art_mul(art_translate(0, 0.36f, 0), art_mul(art_rot_y(-22), art_rot_z(-8)));
    m.part = 1;
    m.col = mapart_rgb(0x1f2c4c);
    mapart_box(m, at, 0.16f, 0.2f, 0.045f);
    m.col = mapart_rgb(0xe8b040);
    mapart_box(m, art_mul(at, art_translate(0, -0.2f, 0)), 0.12f, 0.025f, 0.04f);
    m.part = 2;
    m.flags = ART_EMISSIVE;
    m.col = mapart_rgb(0x5ff2ff);
    mapart_box(m, art_mul(at, art_translate(0, 0.05f, 0.046f)), 0.12f, 0.1f, 0.003f);
    m.col = mapart_rgb(0xffc85a);
    mapart_box(m, art_mul(at, art_translate(0, 0.05f, 0.05f)), 0.08f, 0.015f, 0.003f);
    m.flags = ART_LIT;
}

void _scaled(ArtMesh& m, float k) {
    for (ArtTri& t : m.tris) {
        for (int i = 0; i < 3; i++) t.p[i] = t.p[i] * k;
    }
}

bool _is_item(const std::string& name) { return name.compare(0, 5, "item-") == 0 || name == "cartridge"; }

// The glow colour of an object, or alpha 0 for none.
ArtColor _glow_color(const std::string& name) {
    if (name == "cartridge") return mapart_rgb(0x5ff2ff, 0.75f);
    if (name == "bomb3" || name == "item-bomb3") return mapart_rgb(0x59b8ff, 0.6f);
    if (_is_item(name)) return mapart_rgb(0xffb545, 0.6f);
    return mapart_rgb(0, 0);
}

// A soft halo round (0, y, 0) and, for pickups, a ring on the ground.
void _paint_glow(const std::string& name, ArtCanvas& c, const ArtView& v, float y, float radius) {
    ArtColor col = _glow_color(name);
    if (col.a <= 0) return;
    ArtPoint centre = mapart_project(v, 0, y, v.lead);
    float rx = radius * v.col_per_unit, ry = radius * v.row_per_unit;
    mapart_shape(c, centre.col - rx, centre.row - ry, centre.col + rx, centre.row + ry,
                 [&](float x, float yy) { return std::hypot((x - centre.col) / rx, (yy - centre.row) / ry) - 1; },
                 [&](float x, float yy) {
                     float d = std::hypot((x - centre.col) / rx, (yy - centre.row) / ry);
                     ArtColor k = col;
                     k.a = col.a * 0.55f * (1 - d) * (1 - d);
                     return k;
                 });
    if (!_is_item(name)) return;
    ArtPoint ground = mapart_project(v, 0, 0, 0);
    float gx = kPickupRing * v.col_per_unit, gy = kPickupRing * v.kt * v.row_per_unit;
    mapart_shape(c, ground.col - gx, ground.row - gy, ground.col + gx, ground.row + gy,
                 [&](float x, float yy) { return std::hypot((x - ground.col) / gx, (yy - ground.row) / gy) - 1; },
                 [&](float x, float yy) {
                     float d = std::hypot((x - ground.col) / gx, (yy - ground.row) / gy);
                     ArtColor k = col;
                     float ring = std::max(0.0f, 1 - std::fabs(d - 0.8f) / 0.2f);
                     k.a = std::min(1.0f, col.a * std::max(1.4f * ring, 0.45f * (1 - d)));
                     return k;
                 });
}

}  // namespace

ArtMesh mapart_prop(const std::string& name) {
    ArtMesh m;
    std::string base = _is_item(name) && name != "cartridge" ? name.substr(5) : name;
    if (base == "plant") _plant(m);
    else if (base == "statue") _statue(m);
    else if (base == "barrel") _barrel(m);
    else if (base == "bomb1") _bomb_detonator(m);
    else if (base == "bomb2") _bomb_time(m);
    else if (base == "bomb3") _bomb_emp(m);
    else if (base == "bomb4") _bomb_mini(m);
    else if (base == "cartridge") _cartridge(m);
    if (name == "cartridge") _scaled(m, kBombScale);
    else if (_is_item(name)) _scaled(m, kItemScale);
    else if (name.compare(0, 4, "bomb") == 0) _scaled(m, kBombScale);
    return m;
}

float mapart_lead(const ArtMesh& m) {
    float kt = std::tan(mapart_elevation()), lead = 0;
    for (const ArtTri& t : m.tris) {
        for (int k = 0; k < 3; k++) lead = std::max(lead, t.p[k].z - std::max(0.0f, t.p[k].y) / kt);
    }
    return lead;
}

ArtCanvas mapart_prop_sprite(const std::string& name) {
    ArtMesh m = mapart_prop(name);
    float lead = mapart_lead(m);
    if (_is_item(name)) lead = std::max(lead, kPickupRing);
    ArtView v = mapart_view_billboard(MAPART_SPRITE, MAPART_GROUND_ROW, MAPART_COL_PER_UNIT, lead, MAPART_SCALE);
    int size = MAPART_SPRITE * MAPART_SCALE;
    ArtLook look;
    ArtCanvas pic = mapart_render(m, v, size, size, look, MAPART_SCALE);
    ArtCanvas out(size, size);
    float c0, r0, c1, r1;
    mapart_bounds(m, mapart_view_billboard(MAPART_SPRITE, MAPART_GROUND_ROW, MAPART_COL_PER_UNIT, lead, 1), &c0, &r0,
                  &c1, &r1);
    float middle = (MAPART_GROUND_ROW - (r0 + r1) / 2) / MAPART_ROW_PER_UNIT;
    _paint_glow(name, out, v, middle, 0.45f);
    mapart_over(out, pic, 0, 0);
    return out;
}

ArtCanvas mapart_prop_icon(const std::string& name, int size) {
    ArtMesh m = mapart_prop(name);
    ArtLook look;
    ArtCanvas pic = mapart_render_icon(m, size, kIconMargin, look);
    ArtColor col = _glow_color(name);
    if (col.a <= 0) return pic;
    ArtCanvas out(size, size);
    float c = size / 2.0f, r = size / 2.0f - 1;
    mapart_shape(out, 0, 0, (float)size, (float)size, [&](float x, float y) { return mapart_sd_circle(x, y, c, c, r); },
                 [&](float x, float y) {
                     ArtColor k = col;
                     float d = std::hypot(x - c, y - c) / r;
                     k.a = col.a * 0.7f * (1 - d * d);
                     return k;
                 });
    mapart_over(out, pic, 0, 0);
    return out;
}
