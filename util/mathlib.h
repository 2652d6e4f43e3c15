// Vector helpers for the map view's camera and picking.
#pragma once

struct CVector3 {
    float x = 0, y = 0, z = 0;
    CVector3() = default;
    CVector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    CVector3 operator+(const CVector3& o) const { return CVector3(x + o.x, y + o.y, z + o.z); }
    CVector3 operator-(const CVector3& o) const { return CVector3(x - o.x, y - o.y, z - o.z); }
    CVector3 operator*(float s) const { return CVector3(x * s, y * s, z * s); }
};

// p1 - p2.
CVector3 Vector(const CVector3& p1, const CVector3& p2);
double dot(const CVector3& a, const CVector3& b);
// v divided by its length (length computed in double, rounded to float).
CVector3 Normalize(const CVector3& v);
// Ray parameter of the hit of a ray on a plane, or -1 when they are parallel.
double intersectRayPlane(const CVector3& rOrigin, const CVector3& rVector,
                         const CVector3& pOrigin, const CVector3& pNormal);
