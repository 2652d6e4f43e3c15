// Writing RGBA pictures as PNG files (for generated art and test snapshots).
#include "pngout.h"

#include <zlib.h>

#include <cstdio>

static void _put32(std::vector<unsigned char>& out, unsigned int v) {
    out.push_back((unsigned char)(v >> 24));
    out.push_back((unsigned char)(v >> 16));
    out.push_back((unsigned char)(v >> 8));
    out.push_back((unsigned char)v);
}

static void _chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& body) {
    _put32(out, (unsigned int)body.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    unsigned long crc = crc32(0L, out.data() + start, (uInt)(out.size() - start));
    _put32(out, (unsigned int)crc);
}

std::vector<unsigned char> pngout_encode(int w, int h, const unsigned char* rgba) {
    static const unsigned char signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<unsigned char> out(signature, signature + 8);
    std::vector<unsigned char> ihdr;
    _put32(ihdr, (unsigned int)w);
    _put32(ihdr, (unsigned int)h);
    const unsigned char depth_rgba[5] = {8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, no filter, no interlace
    ihdr.insert(ihdr.end(), depth_rgba, depth_rgba + 5);
    _chunk(out, "IHDR", ihdr);
    std::vector<unsigned char> raw;
    raw.reserve((size_t)h * (w * 4 + 1));
    for (int y = 0; y < h; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba + (size_t)y * w * 4, rgba + (size_t)(y + 1) * w * 4);
    }
    uLongf zlen = compressBound((uLong)raw.size());
    std::vector<unsigned char> z(zlen);
    compress2(z.data(), &zlen, raw.data(), (uLong)raw.size(), Z_BEST_COMPRESSION);
    z.resize(zlen);
    _chunk(out, "IDAT", z);
    _chunk(out, "IEND", std::vector<unsigned char>());
    return out;
}

bool pngout_write(const char* path, int w, int h, const unsigned char* rgba) {
    std::vector<unsigned char> data = pngout_encode(w, h, rgba);
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = fclose(f) == 0 && ok;
    return ok;
}
