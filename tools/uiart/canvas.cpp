// The interface art's vector painter: anti-aliased fills of signed distance
// shapes, gradients, and a distance transform for outlines and glows.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pngout.h"

namespace {

const float PI = 3.14159265358979f;
const float FAR = 1e20f;

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float len(float x, float y) { return std::sqrt(x * x + y * y); }

}  // namespace

Rgba rgb(unsigned int hex, float a) {
    Rgba c;
    c.r = (float)((hex >> 16) & 0xFF) / 255;
    c.g = (float)((hex >> 8) & 0xFF) / 255;
    c.b = (float)(hex & 0xFF) / 255;
    c.a = a;
    return c;
}

Rgba mix(const Rgba& x, const Rgba& y, float t) {
    Rgba c;
    c.r = x.r + (y.r - x.r) * t;
    c.g = x.g + (y.g - x.g) * t;
    c.b = x.b + (y.b - x.b) * t;
    c.a = x.a + (y.a - x.a) * t;
    return c;
}

Canvas::Canvas(int w, int h, float units_w)
    : _w(w), _h(h), _scale((float)w / units_w), _px((size_t)w * h * 4, 0.0f) {}

void Canvas::blend(int x, int y, const Rgba& c, float cov) {
    if (x < 0 || y < 0 || x >= _w || y >= _h) return;
    float a = clamp01(c.a * cov);
    if (a <= 0) return;
    float* p = &_px[((size_t)y * _w + x) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void Canvas::fill(const Sdf& s, const Paint& p) {
    for (int y = 0; y < _h; y++)
        for (int x = 0; x < _w; x++) {
            float ux_ = ux(x), uy_ = uy(y);
            // The edge is one pixel wide whatever the scale.
            float cov = clamp01(0.5f - s(ux_, uy_) * _scale);
            if (cov > 0) blend(x, y, p(ux_, uy_), cov);
        }
}

void Canvas::fill(const Sdf& s, const Rgba& c) {
    fill(s, [c](float, float) { return c; });
}

bool Canvas::save(const std::string& path) const {
    std::vector<unsigned char> out(_px.size());
    for (size_t i = 0; i < _px.size(); i += 4) {
        float a = _px[i + 3];
        for (int k = 0; k < 3; k++) {
            float v = a > 0 ? _px[i + k] / a : 0;
            out[i + k] = (unsigned char)std::lround(clamp01(v) * 255);
        }
        out[i + 3] = (unsigned char)std::lround(clamp01(a) * 255);
    }
    if (!pngout_write(path.c_str(), _w, _h, out.data())) {
        fprintf(stderr, "uiart: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

namespace sdf {

Sdf circle(float cx, float cy, float r) {
    return [=](float x, float y) { return len(x - cx, y - cy) - r; };
}

Sdf rbox(float cx, float cy, float hw, float hh, float r) {
    return [=](float x, float y) {
        float qx = std::fabs(x - cx) - (hw - r), qy = std::fabs(y - cy) - (hh - r);
        float outside = len(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - r;
    };
}

Sdf segment(float ax, float ay, float bx, float by, float r) {
    return [=](float x, float y) {
        float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
        float ee = ex * ex + ey * ey;
        float t = ee > 0 ? clamp01((wx * ex + wy * ey) / ee) : 0;
        return len(wx - ex * t, wy - ey * t) - r;
    };
}

Sdf polygon(const std::vector<float>& pts) {
    return [pts](float x, float y) {
        size_t n = pts.size() / 2;
        float d = FAR, s = 1;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            float vix = pts[2 * i], viy = pts[2 * i + 1], vjx = pts[2 * j], vjy = pts[2 * j + 1];
            float ex = vjx - vix, ey = vjy - viy, wx = x - vix, wy = y - viy;
            float t = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
            float bx = wx - ex * t, by = wy - ey * t;
            d = std::min(d, bx * bx + by * by);
            bool c1 = y >= viy, c2 = y < vjy, c3 = ex * wy > ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
        }
        return s * std::sqrt(d);
    };
}

Sdf arc(float cx, float cy, float rr, float a0, float a1, float t) {
    float span = a1 - a0;
    float e0x = cx + rr * std::cos(a0 * PI / 180), e0y = cy + rr * std::sin(a0 * PI / 180);
    float e1x = cx + rr * std::cos(a1 * PI / 180), e1y = cy + rr * std::sin(a1 * PI / 180);
    return [=](float x, float y) {
        float ang = std::atan2(y - cy, x - cx) * 180 / PI;
        float rel = std::fmod(ang - a0 + 720.0f, 360.0f);
        if (rel <= span) return std::fabs(len(x - cx, y - cy) - rr) - t;
        return std::min(len(x - e0x, y - e0y), len(x - e1x, y - e1y)) - t;
    };
}

Sdf uni(const Sdf& a, const Sdf& b) {
    return [=](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

Sdf inter(const Sdf& a, const Sdf& b) {
    return [=](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

Sdf sub(const Sdf& a, const Sdf& b) {
    return [=](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

Sdf grow(const Sdf& a, float r) {
    return [=](float x, float y) { return a(x, y) - r; };
}

Sdf edge(const Sdf& a, float t) {
    return [=](float x, float y) { return std::fabs(a(x, y)) - t; };
}

Sdf left_of(float x0) {
    return [=](float x, float) { return x - x0; };
}

Sdf above(float y0) {
    return [=](float, float y) { return y - y0; };
}

Sdf mirror_x(const Sdf& a, float axis) {
    return [=](float x, float y) { return a(2 * axis - x, y); };
}

Sdf rotate(const Sdf& a, float cx, float cy, float deg) {
    float c = std::cos(deg * PI / 180), s = std::sin(deg * PI / 180);
    return [=](float x, float y) {
        float dx = x - cx, dy = y - cy;
        return a(cx + c * dx + s * dy, cy - s * dx + c * dy);
    };
}

Sdf smooth_uni(const Sdf& a, const Sdf& b, float k) {
    return [=](float x, float y) {
        float da = a(x, y), db = b(x, y);
        float h = clamp01(0.5f + 0.5f * (db - da) / k);
        return db + (da - db) * h - k * h * (1 - h);
    };
}

}  // namespace sdf

Paint vgrad(float y0, const Rgba& c0, float y1, const Rgba& c1) {
    return [=](float, float y) { return mix(c0, c1, clamp01((y - y0) / (y1 - y0))); };
}

// One-dimensional squared distance transform of f: the lower envelope of
// the parabolas rooted at each sample (Felzenszwalb and Huttenlocher).
static void _edt_1d(const double* f, double* d, int n, std::vector<int>& v, std::vector<double>& z) {
    const double inf = 1e30;
    int k = 0;
    v[0] = 0;
    z[0] = -inf;
    z[1] = inf;
    auto meet = [&](int q, int p) { return ((f[q] + (double)q * q) - (f[p] + (double)p * p)) / (2.0 * (q - p)); };
    for (int q = 1; q < n; q++) {
        double s = meet(q, v[k]);
        while (s <= z[k]) s = meet(q, v[--k]);
        k++;
        v[k] = q;
        z[k] = s;
        z[k + 1] = inf;
    }
    k = 0;
    for (int q = 0; q < n; q++) {
        while (z[k + 1] < (double)q) k++;
        double dq = (double)(q - v[k]);
        d[q] = dq * dq + f[v[k]];
    }
}

std::vector<float> distance_field(const std::vector<float>& mask, int w, int h) {
    // Farther than any two pixels of a texture can be, yet exact in a double.
    const double none = 1e12;
    std::vector<double> g((size_t)w * h);
    for (size_t i = 0; i < g.size(); i++) g[i] = mask[i] >= 0.5f ? 0 : none;
    int n = std::max(w, h);
    std::vector<double> f(n), d(n), z(n + 1);
    std::vector<int> v(n);
    for (int x = 0; x < w; x++) {
        for (int y = 0; y < h; y++) f[y] = g[(size_t)y * w + x];
        _edt_1d(f.data(), d.data(), h, v, z);
        for (int y = 0; y < h; y++) g[(size_t)y * w + x] = d[y];
    }
    std::vector<float> out((size_t)w * h);
    for (int y = 0; y < h; y++) {
        _edt_1d(&g[(size_t)y * w], d.data(), w, v, z);
        for (int x = 0; x < w; x++) out[(size_t)y * w + x] = (float)std::sqrt(d[x]);
    }
    return out;
}
