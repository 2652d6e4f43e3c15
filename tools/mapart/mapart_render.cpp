// A small software renderer for the generator's low-poly models: shape
// builders, a supersampled z-buffer rasteriser with baked lambert light, and
// dark outlines and crease lines that keep small figures readable.
#include <algorithm>
#include <cmath>
#include <limits>

#include "mapart.h"

namespace {
const float kPi = 3.14159265358979f;
const int kSupersample = 2;  // samples a side per image pixel
const float kCreaseWidth = 0.55f;  // crease line width in logical pixels
}  // namespace

bool mapart_sprite_facing(int dir, float* fr, float* ft) {
    const float d = 1 / MAPART_SQRT2;
    float r, t;
    switch (dir) {
        case 8: r = 0; t = -1; break;
        case 2: r = 0; t = 1; break;
        case 6: r = 1; t = 0; break;
        case 4: r = -1; t = 0; break;
        case 9: r = d; t = -d; break;
        case 7: r = -d; t = -d; break;
        case 3: r = d; t = d; break;
        case 1: r = -d; t = d; break;
        default: return false;
    }
    *fr = r;
    *ft = t;
    return true;
}

// ---- vectors and transforms

ArtVec art_cross(ArtVec a, ArtVec b) {
    return art_vec(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

ArtVec art_norm(ArtVec a) {
    float l = std::sqrt(art_dot(a, a));
    return l > 0 ? a * (1 / l) : art_vec(0, 1, 0);
}

ArtVec art_apply_dir(const ArtMat& m, ArtVec d) { return m.x * d.x + m.y * d.y + m.z * d.z; }
ArtVec art_apply(const ArtMat& m, ArtVec p) { return art_apply_dir(m, p) + m.o; }

ArtMat art_mul(const ArtMat& a, const ArtMat& b) {
    ArtMat m;
    m.x = art_apply_dir(a, b.x);
    m.y = art_apply_dir(a, b.y);
    m.z = art_apply_dir(a, b.z);
    m.o = art_apply(a, b.o);
    return m;
}

ArtMat art_translate(float x, float y, float z) {
    ArtMat m;
    m.o = art_vec(x, y, z);
    return m;
}

ArtMat art_scale(float x, float y, float z) {
    ArtMat m;
    m.x = art_vec(x, 0, 0);
    m.y = art_vec(0, y, 0);
    m.z = art_vec(0, 0, z);
    return m;
}

ArtMat art_rot_x(float deg) {
    float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    ArtMat m;
    m.y = art_vec(0, c, s);
    m.z = art_vec(0, -s, c);
    return m;
}

ArtMat art_rot_y(float deg) {
    float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    ArtMat m;
    m.x = art_vec(c, 0, -s);
    m.z = art_vec(s, 0, c);
    return m;
}

ArtMat art_rot_z(float deg) {
    float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    ArtMat m;
    m.x = art_vec(c, s, 0);
    m.y = art_vec(-s, c, 0);
    return m;
}

ArtMat art_rotate(ArtVec axis, float deg) {
    ArtVec k = art_norm(axis);
    float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
    auto turn = [&](ArtVec v) { return v * c + art_cross(k, v) * s + k * (art_dot(k, v) * (1 - c)); };
    ArtMat m;
    m.x = turn(art_vec(1, 0, 0));
    m.y = turn(art_vec(0, 1, 0));
    m.z = turn(art_vec(0, 0, 1));
    return m;
}

ArtMat art_between(ArtVec a, ArtVec b, ArtVec side) {
    ArtMat m;
    ArtVec axis = b - a;
    ArtVec y = art_norm(axis);
    ArtVec z = art_cross(side, y);
    if (art_dot(z, z) < 1e-6f) z = art_cross(art_vec(0, 0, 1), y);
    if (art_dot(z, z) < 1e-6f) z = art_cross(art_vec(1, 0, 0), y);
    z = art_norm(z);
    m.x = art_cross(y, z);
    m.y = y;
    m.z = z;
    m.o = a;
    return m;
}

// ---- shape builders

static void _tri(ArtMesh& m, ArtVec a, ArtVec b, ArtVec c, ArtVec na, ArtVec nb, ArtVec nc) {
    ArtTri t;
    t.p[0] = a;
    t.p[1] = b;
    t.p[2] = c;
    t.n[0] = na;
    t.n[1] = nb;
    t.n[2] = nc;
    t.col = m.col;
    t.flags = m.flags;
    t.part = m.part;
    t.tex = m.tex;
    m.tris.push_back(t);
}

static void _flat(ArtMesh& m, ArtVec a, ArtVec b, ArtVec c) {
    ArtVec n = art_norm(art_cross(b - a, c - a));
    _tri(m, a, b, c, n, n, n);
}

// A quad a b c d (in order round its edge) with texture coordinates per corner.
static void _quad_uv(ArtMesh& m, const ArtVec* p, const float* u, const float* v) {
    ArtVec n = art_norm(art_cross(p[1] - p[0], p[2] - p[0]));
    const int order[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& o : order) {
        _tri(m, p[o[0]], p[o[1]], p[o[2]], n, n, n);
        ArtTri& t = m.tris.back();
        for (int k = 0; k < 3; k++) {
            t.u[k] = u[o[k]];
            t.v[k] = v[o[k]];
        }
    }
}

void mapart_box(ArtMesh& m, const ArtMat& at, float hx, float hy, float hz) {
    ArtVec c[8];
    for (int i = 0; i < 8; i++) {
        c[i] = art_apply(at, art_vec((i & 1) ? hx : -hx, (i & 2) ? hy : -hy, (i & 4) ? hz : -hz));
    }
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        ArtVec n = art_norm(art_cross(c[f[1]] - c[f[0]], c[f[2]] - c[f[0]]));
        // Keep normals pointing out of the box whatever the transform's handedness.
        ArtVec mid = (c[f[0]] + c[f[2]]) * 0.5f;
        if (art_dot(n, mid - at.o) < 0) n = n * -1;
        _tri(m, c[f[0]], c[f[1]], c[f[2]], n, n, n);
        _tri(m, c[f[0]], c[f[2]], c[f[3]], n, n, n);
    }
}

void mapart_block(ArtMesh& m, float x0, float z0, float x1, float z1, float b, float t, const ArtCanvas* walls) {
    // Faces as the game's blocks on cell (0, 0): top (0, 0, .2, .2), south
    // (0, 0, .2, .4), east (0, .5, .2, .4); p1 takes the rectangle's bottom left.
    const ArtCanvas* keep = m.tex;
    m.tex = walls;
    struct Face {
        ArtVec p1, p2, p3, p4;
        float tx, ty, tw, th;
    };
    const Face faces[3] = {
        {art_vec(x0, t, z1), art_vec(x1, t, z1), art_vec(x0, t, z0), art_vec(x1, t, z0), 0, 0, 0.2f, 0.2f},
        {art_vec(x0, b, z1), art_vec(x1, b, z1), art_vec(x0, t, z1), art_vec(x1, t, z1), 0, 0, 0.2f, 0.4f},
        {art_vec(x1, b, z1), art_vec(x1, b, z0), art_vec(x1, t, z1), art_vec(x1, t, z0), 0, 0.5f, 0.2f, 0.4f},
    };
    for (const Face& f : faces) {
        ArtVec p[4] = {f.p1, f.p2, f.p4, f.p3};
        float u[4] = {f.tx, f.tx + f.tw, f.tx + f.tw, f.tx};
        float v[4] = {f.ty + f.th, f.ty + f.th, f.ty, f.ty};
        _quad_uv(m, p, u, v);
    }
    m.tex = keep;
}

void mapart_cylinder(ArtMesh& m, const ArtMat& at, float r0, float r1, float h, int sides, bool caps) {
    float slope = (r0 - r1) / (h > 0 ? h : 1);
    for (int i = 0; i < sides; i++) {
        float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
        ArtVec d0 = art_vec(std::cos(a0), 0, std::sin(a0)), d1 = art_vec(std::cos(a1), 0, std::sin(a1));
        ArtVec b0 = art_apply(at, d0 * r0), b1 = art_apply(at, d1 * r0);
        ArtVec t0 = art_apply(at, d0 * r1 + art_vec(0, h, 0)), t1 = art_apply(at, d1 * r1 + art_vec(0, h, 0));
        ArtVec n0 = art_norm(art_apply_dir(at, art_norm(d0 + art_vec(0, slope, 0))));
        ArtVec n1 = art_norm(art_apply_dir(at, art_norm(d1 + art_vec(0, slope, 0))));
        _tri(m, b0, t0, t1, n0, n0, n1);
        _tri(m, b0, t1, b1, n0, n1, n1);
        if (caps) {
            ArtVec cb = art_apply(at, art_vec(0, 0, 0)), ct = art_apply(at, art_vec(0, h, 0));
            ArtVec down = art_norm(art_apply_dir(at, art_vec(0, -1, 0)));
            _tri(m, cb, b1, b0, down, down, down);
            _tri(m, ct, t0, t1, down * -1, down * -1, down * -1);
        }
    }
}

void mapart_sphere(ArtMesh& m, const ArtMat& at, float r, int rings, int sides) {
    auto point = [&](int i, int j, ArtVec* p, ArtVec* n) {
        float th = kPi * i / rings, ph = 2 * kPi * j / sides;
        ArtVec d = art_vec(std::sin(th) * std::cos(ph), std::cos(th), std::sin(th) * std::sin(ph));
        *p = art_apply(at, d * r);
        // Normals of a scaled sphere: transform by the inverse transpose,
        // which for these axis scales is the direction divided by the scale squared.
        ArtVec sx = at.x, sy = at.y, sz = at.z;
        float lx = art_dot(sx, sx), ly = art_dot(sy, sy), lz = art_dot(sz, sz);
        *n = art_norm(sx * (d.x / lx) + sy * (d.y / ly) + sz * (d.z / lz));
    };
    for (int i = 0; i < rings; i++) {
        for (int j = 0; j < sides; j++) {
            ArtVec p00, p01, p10, p11, n00, n01, n10, n11;
            point(i, j, &p00, &n00);
            point(i, j + 1, &p01, &n01);
            point(i + 1, j, &p10, &n10);
            point(i + 1, j + 1, &p11, &n11);
            if (i > 0) _tri(m, p00, p01, p11, n00, n01, n11);
            if (i < rings - 1) _tri(m, p00, p11, p10, n00, n11, n10);
        }
    }
}

void mapart_limb(ArtMesh& m, ArtVec a, ArtVec b, float ra, float rb) {
    ArtMat f = art_between(a, b, art_vec(1, 0, 0));
    float len = std::sqrt(art_dot(b - a, b - a));
    const int sides = 10, rings = 6;
    mapart_cylinder(m, f, ra, rb, len, sides, false);
    mapart_sphere(m, art_translate(a.x, a.y, a.z), ra, rings, sides);
    mapart_sphere(m, art_translate(b.x, b.y, b.z), rb, rings, sides);
}

void mapart_torus(ArtMesh& m, const ArtMat& at, float big, float small, int sides, int rings) {
    auto point = [&](int i, int j, ArtVec* p, ArtVec* n) {
        float a = 2 * kPi * i / rings, b = 2 * kPi * j / sides;
        ArtVec d = art_vec(std::cos(a), 0, std::sin(a));
        ArtVec nn = d * std::cos(b) + art_vec(0, std::sin(b), 0);
        *p = art_apply(at, d * big + nn * small);
        *n = art_norm(art_apply_dir(at, nn));
    };
    for (int i = 0; i < rings; i++) {
        for (int j = 0; j < sides; j++) {
            ArtVec p00, p01, p10, p11, n00, n01, n10, n11;
            point(i, j, &p00, &n00);
            point(i, j + 1, &p01, &n01);
            point(i + 1, j, &p10, &n10);
            point(i + 1, j + 1, &p11, &n11);
            _tri(m, p00, p01, p11, n00, n01, n11);
            _tri(m, p00, p11, p10, n00, n11, n10);
        }
    }
}

void mapart_disc(ArtMesh& m, const ArtMat& at, float r, int sides) {
    ArtVec c = art_apply(at, art_vec(0, 0, 0));
    for (int i = 0; i < sides; i++) {
        float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
        _flat(m, c, art_apply(at, art_vec(std::cos(a0) * r, std::sin(a0) * r, 0)),
              art_apply(at, art_vec(std::cos(a1) * r, std::sin(a1) * r, 0)));
    }
}

// ---- placing meshes in the camera frame

static ArtMesh _map(const ArtMesh& m, ArtVec ex, ArtVec ey, ArtVec ez) {
    ArtMesh out = m;
    for (ArtTri& t : out.tris) {
        for (int k = 0; k < 3; k++) {
            t.p[k] = ex * t.p[k].x + ey * t.p[k].y + ez * t.p[k].z;
            t.n[k] = ex * t.n[k].x + ey * t.n[k].y + ez * t.n[k].z;
        }
    }
    return out;
}

ArtMesh mapart_face(const ArtMesh& m, float fr, float ft) {
    // Forward (+z) goes to (fr, ft); the figure's right (+x) to (-ft, fr).
    return _map(m, art_vec(-ft, 0, fr), art_vec(0, 1, 0), art_vec(fr, 0, ft));
}

ArtMesh mapart_world_to_camera(const ArtMesh& m) {
    // Eye to the south-east: east (+x) goes right and towards the viewer,
    // south (+z) left and towards the viewer.
    const float d = 1 / MAPART_SQRT2;
    return _map(m, art_vec(d, 0, d), art_vec(0, 1, 0), art_vec(-d, 0, d));
}

void mapart_bounds(const ArtMesh& m, const ArtView& v, float* c0, float* r0, float* c1, float* r1) {
    float inf = std::numeric_limits<float>::max();
    *c0 = *r0 = inf;
    *c1 = *r1 = -inf;
    for (const ArtTri& t : m.tris) {
        for (int k = 0; k < 3; k++) {
            ArtPoint p = mapart_project(v, t.p[k].x, t.p[k].y, t.p[k].z);
            *c0 = std::min(*c0, p.col);
            *c1 = std::max(*c1, p.col);
            *r0 = std::min(*r0, p.row);
            *r1 = std::max(*r1, p.row);
        }
    }
}

// ---- rasterising

namespace {

struct Frame {
    int w, h;
    std::vector<float> depth;
    std::vector<int> part;
    std::vector<unsigned char> flags;
    ArtCanvas col;
    Frame(int w_, int h_)
        : w(w_), h(h_), depth((size_t)w_ * h_, -std::numeric_limits<float>::max()),
          part((size_t)w_ * h_, -1), flags((size_t)w_ * h_, 0), col(w_, h_) {}
};

ArtColor _sample(const ArtCanvas& tex, float u, float v) {
    float x = u * tex.w - 0.5f, y = v * tex.h - 0.5f;
    int xi = (int)std::floor(x), yi = (int)std::floor(y);
    float fx = x - xi, fy = y - yi;
    auto at = [&tex](int i, int j) {
        i = ((i % tex.w) + tex.w) % tex.w;
        j = ((j % tex.h) + tex.h) % tex.h;
        return mapart_get(tex, i, j);
    };
    ArtColor a = mapart_mix(at(xi, yi), at(xi + 1, yi), fx);
    ArtColor b = mapart_mix(at(xi, yi + 1), at(xi + 1, yi + 1), fx);
    return mapart_mix(a, b, fy);
}

ArtColor _shade(const ArtTri& t, const float* w, const ArtLook& look, ArtVec eye) {
    ArtColor base = t.col;
    if (t.tex) {
        float u = t.u[0] * w[0] + t.u[1] * w[1] + t.u[2] * w[2];
        float v = t.v[0] * w[0] + t.v[1] * w[1] + t.v[2] * w[2];
        ArtColor tc = _sample(*t.tex, u, v);
        base.r *= tc.r;
        base.g *= tc.g;
        base.b *= tc.b;
    }
    if (t.flags & ART_EMISSIVE) return base;
    ArtVec n = art_norm(t.n[0] * w[0] + t.n[1] * w[1] + t.n[2] * w[2]);
    if (art_dot(n, eye) < 0) n = n * -1;
    float lam = std::max(0.0f, art_dot(n, art_norm(look.light)));
    // A soft two-step ramp: flat enough to read as shapes, not as gradients.
    float ramp = lam < 0.25f ? lam * 0.6f : 0.15f + (lam - 0.25f) * 1.13f;
    float k = look.ambient + look.diffuse * ramp;
    return mapart_scale(base, k);
}

void _raster(Frame& f, const ArtTri& t, const ArtView& v, const ArtLook& look, ArtVec eye) {
    ArtPoint p[3];
    for (int k = 0; k < 3; k++) {
        p[k] = mapart_project(v, t.p[k].x, t.p[k].y, t.p[k].z);
        p[k].col *= kSupersample;
        p[k].row *= kSupersample;
    }
    float area = (p[1].col - p[0].col) * (p[2].row - p[0].row) - (p[2].col - p[0].col) * (p[1].row - p[0].row);
    if (std::fabs(area) < 1e-6f) return;
    int x0 = std::max(0, (int)std::floor(std::min({p[0].col, p[1].col, p[2].col})));
    int x1 = std::min(f.w - 1, (int)std::ceil(std::max({p[0].col, p[1].col, p[2].col})));
    int y0 = std::max(0, (int)std::floor(std::min({p[0].row, p[1].row, p[2].row})));
    int y1 = std::min(f.h - 1, (int)std::ceil(std::max({p[0].row, p[1].row, p[2].row})));
    for (int y = y0; y <= y1; y++) {
        float py = y + 0.5f;
        for (int x = x0; x <= x1; x++) {
            float px = x + 0.5f;
            float w[3];
            for (int k = 0; k < 3; k++) {
                const ArtPoint& a = p[(k + 1) % 3];
                const ArtPoint& b = p[(k + 2) % 3];
                w[k] = ((b.col - a.col) * (py - a.row) - (px - a.col) * (b.row - a.row)) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
            float d = p[0].depth * w[0] + p[1].depth * w[1] + p[2].depth * w[2];
            size_t i = (size_t)y * f.w + x;
            if (d <= f.depth[i]) continue;
            f.depth[i] = d;
            f.part[i] = t.part;
            f.flags[i] = (unsigned char)t.flags;
            ArtColor c = _shade(t, w, look, eye);
            c.a = 1;
            mapart_put(f.col, x, y, c);
        }
    }
}

// Inks covered samples that lie just behind another part.
void _creases(Frame& f, const ArtLook& look, int reach) {
    std::vector<char> ink((size_t)f.w * f.h, 0);
    const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int y = 0; y < f.h; y++) {
        for (int x = 0; x < f.w; x++) {
            size_t i = (size_t)y * f.w + x;
            if (f.part[i] < 0 || (f.flags[i] & ART_NO_OUTLINE)) continue;
            for (const auto& d : dirs) {
                int xx = x + d[0] * reach, yy = y + d[1] * reach;
                if (xx < 0 || yy < 0 || xx >= f.w || yy >= f.h) continue;
                size_t o = (size_t)yy * f.w + xx;
                if (f.part[o] < 0 || f.part[o] == f.part[i]) continue;
                if (f.depth[o] - f.depth[i] > look.crease) {
                    ink[i] = 1;
                    break;
                }
            }
        }
    }
    for (int y = 0; y < f.h; y++) {
        for (int x = 0; x < f.w; x++) {
            if (ink[(size_t)y * f.w + x]) mapart_put(f.col, x, y, look.ink);
        }
    }
}

}  // namespace

ArtCanvas mapart_render(const ArtMesh& m, const ArtView& v, int w, int h, const ArtLook& look, float unit) {
    Frame f(w * kSupersample, h * kSupersample);
    float e = mapart_elevation();
    ArtVec eye = art_vec(0, std::sin(e), std::cos(e));
    for (const ArtTri& t : m.tris) _raster(f, t, v, look, eye);
    int reach = std::max(1, (int)std::lround(kCreaseWidth * unit * kSupersample));
    _creases(f, look, reach);
    // The rim goes round everything that casts one, under the picture.
    ArtCanvas rim(f.w, f.h);
    for (int y = 0; y < f.h; y++) {
        for (int x = 0; x < f.w; x++) {
            size_t i = (size_t)y * f.w + x;
            if (f.part[i] >= 0 && !(f.flags[i] & ART_NO_OUTLINE)) mapart_put(rim, x, y, look.ink);
        }
    }
    if (look.outline > 0) mapart_outline(rim, look.outline * unit * kSupersample, look.ink);
    mapart_over(rim, f.col, 0, 0);
    ArtCanvas out = rim;
    for (int s = 1; s < kSupersample; s *= 2) out = mapart_half(out);
    return out;
}

ArtCanvas mapart_render_icon(const ArtMesh& m, int size, float margin, const ArtLook& look) {
    ArtView probe = mapart_view_ortho(0, 0, 1);
    float c0, r0, c1, r1;
    mapart_bounds(m, probe, &c0, &r0, &c1, &r1);
    float span = std::max(c1 - c0, r1 - r0);
    if (span <= 0) return ArtCanvas(size, size);
    float ppu = (size - 2 * margin) / span;
    ArtView v = mapart_view_ortho(size / 2.0f - (c0 + c1) / 2 * ppu, size / 2.0f - (r0 + r1) / 2 * ppu, ppu);
    return mapart_render(m, v, size, size, look, size / (float)MAPART_ICON);
}
