// Small numeric and text helpers that every layer of the game shares.
#pragma once

#include <cstddef>

inline float mymin(float a, float b) { return a < b ? a : b; }
inline float mymax(float a, float b) { return a > b ? a : b; }
inline int myabs(int v) { return v < 0 ? -v : v; }
inline float myabs(float v) { return v < 0 ? -v : v; }
inline int mysign(float v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// Writes v with "%d" into buf (at least 12 bytes) and returns buf.
char* myitoa(int v, char* buf);

// Spreads a fractional per-frame step i over whole units: frame f gets
// trunc(i) or trunc(i) + sign(i), so that the long-run average is i.
int myinc(int f, float i);

// Copies src into a fixed-width field of `size` bytes, cutting it to
// size - 1 bytes and always terminating it. A null src gives "".
void mystrcpy(char* dst, size_t size, const char* src);

// Copies at most `max` bytes of src (stopping at NUL) into dst of `size` bytes.
void mystrncpy(char* dst, size_t size, const char* src, size_t max);

// Number of elements of a fixed array.
#define MY_COUNT(a) (sizeof(a) / sizeof((a)[0]))
