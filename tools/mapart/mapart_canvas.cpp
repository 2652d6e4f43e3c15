// The generator's 2D canvas: premultiplied float pixels, anti-aliased shapes
// by signed distance, outlines, resampling and seamless noise.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "mapart.h"

static float _clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

ArtColor mapart_rgb(unsigned int hex, float a) {
    const float k = 1.0f / 255.0f;
    ArtColor c;
    c.r = ((hex >> 16) & 0xff) * k;
    c.g = ((hex >> 8) & 0xff) * k;
    c.b = (hex & 0xff) * k;
    c.a = a;
    return c;
}

ArtColor mapart_mix(ArtColor a, ArtColor b, float t) {
    ArtColor c;
    c.r = a.r + (b.r - a.r) * t;
    c.g = a.g + (b.g - a.g) * t;
    c.b = a.b + (b.b - a.b) * t;
    c.a = a.a + (b.a - a.a) * t;
    return c;
}

ArtColor mapart_scale(ArtColor c, float k) {
    c.r *= k;
    c.g *= k;
    c.b *= k;
    return c;
}

ArtColor mapart_get(const ArtCanvas& c, int x, int y) {
    const float* p = c.at(x, y);
    ArtColor col;
    col.a = p[3];
    if (p[3] > 0) {
        col.r = p[0] / p[3];
        col.g = p[1] / p[3];
        col.b = p[2] / p[3];
    }
    return col;
}

void mapart_put(ArtCanvas& c, int x, int y, ArtColor col) {
    float* p = c.at(x, y);
    float a = _clamp01(col.a);
    p[0] = _clamp01(col.r) * a;
    p[1] = _clamp01(col.g) * a;
    p[2] = _clamp01(col.b) * a;
    p[3] = a;
}

void mapart_blend(ArtCanvas& c, int x, int y, ArtColor col, float k) {
    if (x < 0 || y < 0 || x >= c.w || y >= c.h) return;
    float a = _clamp01(col.a * k);
    if (a <= 0) return;
    float* p = c.at(x, y);
    p[0] = _clamp01(col.r) * a + p[0] * (1 - a);
    p[1] = _clamp01(col.g) * a + p[1] * (1 - a);
    p[2] = _clamp01(col.b) * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void mapart_over(ArtCanvas& dst, const ArtCanvas& src, int x, int y) {
    for (int j = 0; j < src.h; j++) {
        int dy = y + j;
        if (dy < 0 || dy >= dst.h) continue;
        for (int i = 0; i < src.w; i++) {
            int dx = x + i;
            if (dx < 0 || dx >= dst.w) continue;
            const float* s = src.at(i, j);
            float* d = dst.at(dx, dy);
            float k = 1 - s[3];
            for (int q = 0; q < 4; q++) d[q] = s[q] + d[q] * k;
        }
    }
}

void mapart_shape(ArtCanvas& c, float x0, float y0, float x1, float y1,
                  const std::function<float(float, float)>& sdf,
                  const std::function<ArtColor(float, float)>& paint) {
    int ix0 = std::max(0, (int)std::floor(x0) - 1), iy0 = std::max(0, (int)std::floor(y0) - 1);
    int ix1 = std::min(c.w - 1, (int)std::ceil(x1) + 1), iy1 = std::min(c.h - 1, (int)std::ceil(y1) + 1);
    for (int y = iy0; y <= iy1; y++) {
        for (int x = ix0; x <= ix1; x++) {
            float px = x + 0.5f, py = y + 0.5f;
            float k = _clamp01(0.5f - sdf(px, py));
            if (k > 0) mapart_blend(c, x, y, paint(px, py), k);
        }
    }
}

void mapart_shape(ArtCanvas& c, float x0, float y0, float x1, float y1,
                  const std::function<float(float, float)>& sdf, ArtColor col) {
    mapart_shape(c, x0, y0, x1, y1, sdf, [col](float, float) { return col; });
}

void mapart_outline(ArtCanvas& c, float width, ArtColor col) {
    // The rim's coverage is the largest alpha within `width`, faded over the
    // last pixel, laid under what is already there. Only edge pixels spread
    // it: every point near the shape is nearer still to its edge.
    int r = (int)std::ceil(width);
    std::vector<float> rim((size_t)c.w * c.h, 0.0f);
    std::vector<float> kernel;
    for (int j = -r; j <= r; j++) {
        for (int i = -r; i <= r; i++) kernel.push_back(_clamp01(width + 0.5f - std::sqrt((float)(i * i + j * j))));
    }
    auto alpha = [&c](int x, int y) { return (x < 0 || y < 0 || x >= c.w || y >= c.h) ? 0.0f : c.at(x, y)[3]; };
    for (int y = 0; y < c.h; y++) {
        for (int x = 0; x < c.w; x++) {
            float a = c.at(x, y)[3];
            if (a <= 0) continue;
            bool edge = a < 1 || alpha(x - 1, y) < 1 || alpha(x + 1, y) < 1 || alpha(x, y - 1) < 1 || alpha(x, y + 1) < 1;
            if (!edge) continue;
            for (int j = -r; j <= r; j++) {
                int yy = y + j;
                if (yy < 0 || yy >= c.h) continue;
                for (int i = -r; i <= r; i++) {
                    int xx = x + i;
                    if (xx < 0 || xx >= c.w) continue;
                    float k = kernel[(size_t)(j + r) * (2 * r + 1) + (i + r)] * a;
                    float& dst = rim[(size_t)yy * c.w + xx];
                    if (k > dst) dst = k;
                }
            }
        }
    }
    for (int y = 0; y < c.h; y++) {
        for (int x = 0; x < c.w; x++) {
            float* p = c.at(x, y);
            float a = rim[(size_t)y * c.w + x] * col.a;
            float k = 1 - p[3];
            p[0] += col.r * a * k;
            p[1] += col.g * a * k;
            p[2] += col.b * a * k;
            p[3] += a * k;
        }
    }
}

ArtCanvas mapart_half(const ArtCanvas& c) {
    ArtCanvas out(c.w / 2, c.h / 2);
    for (int y = 0; y < out.h; y++) {
        for (int x = 0; x < out.w; x++) {
            float* d = out.at(x, y);
            for (int q = 0; q < 4; q++) {
                d[q] = 0.25f * (c.at(2 * x, 2 * y)[q] + c.at(2 * x + 1, 2 * y)[q] +
                                c.at(2 * x, 2 * y + 1)[q] + c.at(2 * x + 1, 2 * y + 1)[q]);
            }
        }
    }
    return out;
}

ArtCanvas mapart_resize(const ArtCanvas& c, int w, int h) {
    ArtCanvas out(w, h);
    float sx = (float)c.w / w, sy = (float)c.h / h;
    for (int y = 0; y < h; y++) {
        float ya = y * sy, yb = (y + 1) * sy;
        for (int x = 0; x < w; x++) {
            float xa = x * sx, xb = (x + 1) * sx;
            float acc[4] = {0, 0, 0, 0}, total = 0;
            for (int j = (int)ya; j < (int)std::ceil(yb) && j < c.h; j++) {
                float wy = std::min(yb, (float)j + 1) - std::max(ya, (float)j);
                for (int i = (int)xa; i < (int)std::ceil(xb) && i < c.w; i++) {
                    float wx = std::min(xb, (float)i + 1) - std::max(xa, (float)i);
                    float k = wx * wy;
                    if (k <= 0) continue;
                    for (int q = 0; q < 4; q++) acc[q] += c.at(i, j)[q] * k;
                    total += k;
                }
            }
            float* d = out.at(x, y);
            for (int q = 0; q < 4; q++) d[q] = total > 0 ? acc[q] / total : 0;
        }
    }
    return out;
}

void mapart_settle(ArtCanvas& c) {
    // A few rounds of spreading straight colour into transparent pixels.
    const int rounds = 4;
    const float clear = 1.0f / 512.0f;
    std::vector<float> col((size_t)c.w * c.h * 3, 0.0f);
    std::vector<char> known((size_t)c.w * c.h, 0);
    for (int y = 0; y < c.h; y++) {
        for (int x = 0; x < c.w; x++) {
            float* p = c.at(x, y);
            size_t i = (size_t)y * c.w + x;
            if (p[3] < clear) {
                p[0] = p[1] = p[2] = p[3] = 0;
                continue;
            }
            for (int q = 0; q < 3; q++) col[i * 3 + q] = p[q] / p[3];
            known[i] = 1;
        }
    }
    for (int round = 0; round < rounds; round++) {
        std::vector<char> next = known;
        for (int y = 0; y < c.h; y++) {
            for (int x = 0; x < c.w; x++) {
                size_t i = (size_t)y * c.w + x;
                if (known[i]) continue;
                float acc[3] = {0, 0, 0};
                int n = 0;
                for (int j = -1; j <= 1; j++) {
                    for (int k = -1; k <= 1; k++) {
                        int xx = x + k, yy = y + j;
                        if (xx < 0 || yy < 0 || xx >= c.w || yy >= c.h) continue;
                        size_t o = (size_t)yy * c.w + xx;
                        if (!known[o]) continue;
                        for (int q = 0; q < 3; q++) acc[q] += col[o * 3 + q];
                        n++;
                    }
                }
                if (!n) continue;
                for (int q = 0; q < 3; q++) col[i * 3 + q] = acc[q] / n;
                next[i] = 1;
            }
        }
        known.swap(next);
    }
    // From here on a transparent pixel carries straight colour with alpha 0;
    // mapart_bytes writes it as it stands.
    for (int y = 0; y < c.h; y++) {
        for (int x = 0; x < c.w; x++) {
            float* p = c.at(x, y);
            size_t i = (size_t)y * c.w + x;
            if (p[3] > 0 || !known[i]) continue;
            for (int q = 0; q < 3; q++) p[q] = col[i * 3 + q];
        }
    }
}

std::vector<unsigned char> mapart_bytes(const ArtCanvas& c) {
    std::vector<unsigned char> out((size_t)c.w * c.h * 4);
    for (int y = 0; y < c.h; y++) {
        for (int x = 0; x < c.w; x++) {
            const float* p = c.at(x, y);
            unsigned char* o = &out[((size_t)y * c.w + x) * 4];
            int a = (int)std::lround(_clamp01(p[3]) * 255.0f);
            // Alpha 0 keeps the bleed colour that mapart_settle left (straight).
            float k = a > 0 ? 1.0f / p[3] : 1.0f;
            for (int q = 0; q < 3; q++) o[q] = (unsigned char)std::lround(_clamp01(p[q] * k) * 255.0f);
            o[3] = (unsigned char)a;
        }
    }
    return out;
}

float mapart_sd_circle(float x, float y, float cx, float cy, float r) {
    return std::hypot(x - cx, y - cy) - r;
}

float mapart_sd_box(float x, float y, float cx, float cy, float hw, float hh, float round) {
    float qx = std::fabs(x - cx) - hw + round, qy = std::fabs(y - cy) - hh + round;
    float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0f) - round;
}

float mapart_sd_segment(float x, float y, float ax, float ay, float bx, float by, float r) {
    float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? _clamp01((px * dx + py * dy) / len2) : 0;
    return std::hypot(px - dx * t, py - dy * t) - r;
}

float mapart_sd_polygon(float x, float y, const std::vector<float>& xy) {
    size_t n = xy.size() / 2;
    if (n < 3) return 1e9f;
    float d = 1e30f, s = 1;
    for (size_t i = 0, j = n - 1; i < n; j = i, i++) {
        float vix = xy[2 * i], viy = xy[2 * i + 1], vjx = xy[2 * j], vjy = xy[2 * j + 1];
        float ex = vjx - vix, ey = vjy - viy, wx = x - vix, wy = y - viy;
        float t = _clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
        float bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        bool c1 = y >= viy, c2 = y < vjy, c3 = ex * wy > ey * wx;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * std::sqrt(d);
}

float mapart_hash(int x, int y, unsigned seed) {
    uint32_t h = (uint32_t)x * 374761393u + (uint32_t)y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xffffff) / 16777215.0f;
}

float mapart_noise(float x, float y, int period, unsigned seed) {
    int xi = (int)std::floor(x), yi = (int)std::floor(y);
    float fx = x - xi, fy = y - yi;
    auto wrap = [period](int v) { return ((v % period) + period) % period; };
    int x0 = wrap(xi), x1 = wrap(xi + 1), y0 = wrap(yi), y1 = wrap(yi + 1);
    float ux = fx * fx * (3 - 2 * fx), uy = fy * fy * (3 - 2 * fy);
    float a = mapart_hash(x0, y0, seed), b = mapart_hash(x1, y0, seed);
    float c = mapart_hash(x0, y1, seed), d = mapart_hash(x1, y1, seed);
    return 2 * (a + (b - a) * ux + (c - a) * uy + (a - b - c + d) * ux * uy) - 1;
}

float mapart_fbm(float x, float y, int period, int octaves, unsigned seed) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amp * mapart_noise(x, y, period, seed + (unsigned)o * 101u);
        norm += amp;
        x *= 2;
        y *= 2;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}
