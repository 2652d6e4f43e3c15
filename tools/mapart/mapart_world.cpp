// What lies around and after the play: the night ground the building stands
// on, the scorched rubble at the bottom of a crater and a puff of smoke.
#include <algorithm>
#include <cmath>

#include "mapart.h"

namespace {

float _smooth(float a, float b, float x) {
    float t = std::max(0.0f, std::min(1.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// Gravel and packed earth, blue-grey under the night sky: dark enough that
// the building stays the brightest thing on screen, never pure black.
ArtColor _ground_pixel(float u, float v, int period) {
    float broad = mapart_fbm(u * 0.5f, v * 0.5f, period / 2, 4, 301);
    float grain = mapart_fbm(u * 4, v * 4, period * 4, 3, 307);
    float pebble = mapart_noise(u * 9, v * 9, period * 9, 311);
    float k = 1 + 0.22f * broad + 0.12f * grain + (pebble > 0.55f ? 0.18f * (pebble - 0.55f) / 0.45f : 0);
    float wet = _smooth(0.15f, 0.5f, mapart_fbm(u * 0.8f + 8, v * 0.8f, (int)(period * 0.8f + 0.5f), 3, 313));
    ArtColor dry = {0.115f, 0.125f, 0.15f, 1}, damp = {0.075f, 0.09f, 0.12f, 1};
    return mapart_scale(mapart_mix(dry, damp, wet), k);
}

// Scorched stone under broken slabs: soot, cracks and chunks of masonry.
ArtColor _crater_pixel(float u, float v, int period, float px) {
    float soot = mapart_fbm(u * 1.2f, v * 1.2f, (int)(period * 1.2f + 0.5f), 4, 401);
    float crack = std::fabs(mapart_fbm(u * 2.4f, v * 2.4f, (int)(period * 2.4f + 0.5f), 4, 409));
    ArtColor base = mapart_scale(ArtColor{0.2f, 0.17f, 0.15f, 1}, 0.8f + 0.35f * soot);
    base = mapart_mix(ArtColor{0.05f, 0.04f, 0.04f, 1}, base, _smooth(0.0f, 0.03f, crack));
    // Rubble: a lattice of chunks, each one jittered, lit from the top left.
    const float cells = 3.0f;  // chunks per unit and axis
    float gu = u * cells, gv = v * cells;
    int ci = (int)std::floor(gu), cj = (int)std::floor(gv);
    ArtColor out = base;
    float best = 1e9f;
    for (int dj = -1; dj <= 1; dj++) {
        for (int di = -1; di <= 1; di++) {
            int i = ci + di, j = cj + dj;
            int wi = ((i % (period * 3)) + period * 3) % (period * 3), wj = ((j % (period * 3)) + period * 3) % (period * 3);
            if (mapart_hash(wi, wj, 419) < 0.45f) continue;
            float cx = i + 0.2f + 0.6f * mapart_hash(wi, wj, 421), cy = j + 0.2f + 0.6f * mapart_hash(wi, wj, 431);
            float r = 0.18f + 0.22f * mapart_hash(wi, wj, 433);
            float dx = gu - cx, dy = gv - cy;
            float d = std::max(std::fabs(dx + 0.3f * dy), std::fabs(dy - 0.25f * dx)) - r;
            if (d < best) {
                best = d;
                float shade = 0.85f + 0.5f * (-dx - dy);
                float tone = 0.32f + 0.2f * mapart_hash(wi, wj, 439);
                ArtColor stone = {tone * 1.05f, tone, tone * 0.95f, 1};
                out = mapart_scale(stone, std::max(0.4f, shade));
            }
        }
    }
    float edge = _smooth(0.0f, 1.5f * px * cells, -best);
    ArtColor shadow = mapart_scale(base, 0.55f);
    if (best < 0) return mapart_mix(shadow, out, edge);
    return mapart_mix(shadow, base, _smooth(0.0f, 0.08f, best));
}

}  // namespace

ArtCanvas mapart_ground(int size) {
    ArtCanvas c(size, size);
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float u = (x + 0.5f) * MAPART_GROUND_UNITS / size, v = (y + 0.5f) * MAPART_GROUND_UNITS / size;
            mapart_put(c, x, y, _ground_pixel(u, v, MAPART_GROUND_UNITS));
        }
    }
    return c;
}

ArtCanvas mapart_crater(int size) {
    ArtCanvas c(size, size);
    float px = 1.0f * MAPART_TILING / size;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float u = (x + 0.5f) * MAPART_TILING / size, v = (y + 0.5f) * MAPART_TILING / size;
            mapart_put(c, x, y, _crater_pixel(u, v, MAPART_TILING, px));
        }
    }
    return c;
}

ArtCanvas mapart_smoke(int size) {
    // A soft, lumpy puff: grey, opaque in the middle, its edge broken up.
    ArtCanvas c(size, size);
    float mid = size / 2.0f;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float dx = (x + 0.5f - mid) / mid, dy = (y + 0.5f - mid) / mid;
            float lump = mapart_fbm(dx * 2 + 3, dy * 2 + 3, 8, 3, 503);
            float d = std::hypot(dx, dy) * (1 + 0.3f * lump);
            float a = 1 - _smooth(0.3f, 0.92f, d);
            float shade = 0.8f + 0.2f * (-dx - dy) * 0.5f + 0.1f * lump;
            mapart_put(c, x, y, ArtColor{0.5f * shade, 0.5f * shade, 0.54f * shade, a});
        }
    }
    return c;
}
