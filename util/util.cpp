// Small numeric and text helpers that every layer of the game shares.
#include "util.h"

#include <cstdio>
#include <cstring>

char* myitoa(int v, char* buf) {
    snprintf(buf, 12, "%d", v);
    return buf;
}

int myinc(int f, float i) {
    const int modulus = 37;
    int n = (int)i;
    int s = mysign(i);
    float d = (float)myabs(i - (float)n);
    // The product is formed in 64 bits so that a long run cannot overflow it.
    long long scaled = (long long)((float)((long long)modulus * f) * d);
    return (scaled % modulus) < (int)(modulus * d) ? n + s : n;
}

void mystrcpy(char* dst, size_t size, const char* src) {
    mystrncpy(dst, size, src, size);
}

void mystrncpy(char* dst, size_t size, const char* src, size_t max) {
    if (size == 0) return;
    size_t n = 0;
    if (src) {
        size_t limit = size - 1 < max ? size - 1 : max;
        while (n < limit && src[n]) n++;
        memcpy(dst, src, n);
    }
    memset(dst + n, 0, size - n);
}
