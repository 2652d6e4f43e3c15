// A small vector painter for the interface art: shapes are signed distance
// functions in design units, filled with anti-aliased edges onto an RGBA
// canvas of any pixel size, so one drawing renders crisply at any scale.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;  // straight (not premultiplied) alpha
};

// 0xRRGGBB with an opacity.
Rgba rgb(unsigned int hex, float a = 1);
Rgba mix(const Rgba& x, const Rgba& y, float t);

// Signed distance in design units: negative inside, positive outside.
using Sdf = std::function<float(float x, float y)>;
// Colour at a point in design units.
using Paint = std::function<Rgba(float x, float y)>;

class Canvas {
public:
    // w x h pixels showing the design area of units_w units across.
    Canvas(int w, int h, float units_w);

    int width() const { return _w; }
    int height() const { return _h; }
    float scale() const { return _scale; }

    // Paints p over the inside of s, with a one-pixel soft edge.
    void fill(const Sdf& s, const Paint& p);
    void fill(const Sdf& s, const Rgba& c);
    // Paints c over the pixel (x, y) with coverage cov (0..1).
    void blend(int x, int y, const Rgba& c, float cov);
    // Centre of pixel (x, y) in design units.
    float ux(int x) const { return ((float)x + 0.5f) / _scale; }
    float uy(int y) const { return ((float)y + 0.5f) / _scale; }

    bool save(const std::string& path) const;

private:
    int _w, _h;
    float _scale;
    std::vector<float> _px;  // premultiplied RGBA
};

// Shapes, in design units.
namespace sdf {
Sdf circle(float cx, float cy, float r);
// Rectangle of centre (cx, cy), half sizes hw, hh and corner radius r.
Sdf rbox(float cx, float cy, float hw, float hh, float r);
// Segment from a to b, thickened to radius r (round ends).
Sdf segment(float ax, float ay, float bx, float by, float r);
// Closed polygon through the points (x0, y0, x1, y1, ...).
Sdf polygon(const std::vector<float>& pts);
// Arc of radius rr around (cx, cy) from angle a0 to a1 (degrees, y down,
// clockwise), thickened to half width t with round ends.
Sdf arc(float cx, float cy, float rr, float a0, float a1, float t);

Sdf uni(const Sdf& a, const Sdf& b);
Sdf inter(const Sdf& a, const Sdf& b);
Sdf sub(const Sdf& a, const Sdf& b);
// The shape grown outwards by r (shrunk for negative r).
Sdf grow(const Sdf& a, float r);
// A band of half width t along the edge of a.
Sdf edge(const Sdf& a, float t);
// The half plane x < x0 (or x > x0 when right).
Sdf left_of(float x0);
Sdf above(float y0);
// a mirrored about the vertical line x = axis.
Sdf mirror_x(const Sdf& a, float axis);
// a turned by deg degrees (clockwise, y down) about (cx, cy).
Sdf rotate(const Sdf& a, float cx, float cy, float deg);
// Union with the seam rounded over a width of about k.
Sdf smooth_uni(const Sdf& a, const Sdf& b, float k);
}  // namespace sdf

// Vertical blend from c0 at y0 to c1 at y1, held beyond both ends.
Paint vgrad(float y0, const Rgba& c0, float y1, const Rgba& c1);

// Euclidean distance (pixels) from every pixel to the nearest pixel whose
// mask value is at least half, for a mask of w x h values in 0..1.
std::vector<float> distance_field(const std::vector<float>& mask, int w, int h);
