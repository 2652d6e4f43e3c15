// Vector helpers for the map view's camera and picking.
#include "mathlib.h"

#include <cmath>

CVector3 Vector(const CVector3& p1, const CVector3& p2) { return p1 - p2; }

double dot(const CVector3& a, const CVector3& b) {
    return (double)a.x * b.x + (double)a.y * b.y + (double)a.z * b.z;
}

CVector3 Normalize(const CVector3& v) {
    float len = (float)std::sqrt(dot(v, v));
    if (len == 0) return v;
    return CVector3(v.x / len, v.y / len, v.z / len);
}

double intersectRayPlane(const CVector3& rOrigin, const CVector3& rVector,
                         const CVector3& pOrigin, const CVector3& pNormal) {
    double d = -dot(pNormal, pOrigin);
    double numer = dot(pNormal, rOrigin) + d;
    double denom = dot(pNormal, rVector);
    if (denom == 0) return -1;
    return -(numer / denom);
}
