#include "screenshots.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "pngout.h"

namespace {

const char* folder() {
    const char* f = getenv("VELQUIST_SCREENSHOTS");
    return f && *f ? f : nullptr;
}

// ---------------------------------------------------------------- palette

enum { BITS = 5, LEVELS = 1 << BITS, KEYS = LEVELS * LEVELS * LEVELS, COLOURS = 255 };

int key_of(const unsigned char* p) { return (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3); }
int channel(int key, int c) { return (key >> (10 - 5 * c)) & (LEVELS - 1); }

struct Entry {
    int key;
    long count;
};

// Median cut over the colours' histogram: the box with the widest channel
// is split at its weighted median until there are enough boxes; each box's
// weighted mean is a palette colour.
std::vector<unsigned int> median_cut(std::vector<Entry> entries) {
    std::vector<std::pair<size_t, size_t>> boxes = {{0, entries.size()}};
    auto range = [&](const std::pair<size_t, size_t>& b, int* widest) {
        int best = -1;
        for (int c = 0; c < 3; c++) {
            int lo = LEVELS, hi = -1;
            for (size_t i = b.first; i < b.second; i++) {
                lo = std::min(lo, channel(entries[i].key, c));
                hi = std::max(hi, channel(entries[i].key, c));
            }
            if (hi - lo > best) best = hi - lo, *widest = c;
        }
        return best;
    };
    while ((int)boxes.size() < COLOURS) {
        int pick = -1, pick_c = 0, pick_r = 0;
        for (size_t i = 0; i < boxes.size(); i++) {
            int c = 0, r = boxes[i].second - boxes[i].first > 1 ? range(boxes[i], &c) : 0;
            if (r > pick_r) pick = (int)i, pick_c = c, pick_r = r;
        }
        if (pick < 0) break;
        std::pair<size_t, size_t> b = boxes[pick];
        std::sort(entries.begin() + b.first, entries.begin() + b.second,
                  [&](const Entry& x, const Entry& y) { return channel(x.key, pick_c) < channel(y.key, pick_c); });
        long total = 0, run = 0;
        for (size_t i = b.first; i < b.second; i++) total += entries[i].count;
        size_t cut = b.first + 1;
        for (size_t i = b.first; i + 1 < b.second; i++) {
            run += entries[i].count;
            cut = i + 1;
            if (run * 2 >= total) break;
        }
        boxes[pick] = {b.first, cut};
        boxes.push_back({cut, b.second});
    }
    std::vector<unsigned int> palette;
    for (const auto& b : boxes) {
        double sum[3] = {0, 0, 0}, n = 0;
        for (size_t i = b.first; i < b.second; i++) {
            for (int c = 0; c < 3; c++) sum[c] += (double)entries[i].count * (channel(entries[i].key, c) * 8 + 4);
            n += (double)entries[i].count;
        }
        if (n <= 0) continue;
        palette.push_back((unsigned)(sum[0] / n) << 16 | (unsigned)(sum[1] / n) << 8 | (unsigned)(sum[2] / n));
    }
    return palette;
}

// ---------------------------------------------------------------- chunks

void put32(std::vector<unsigned char>& out, unsigned int v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back((unsigned char)(v >> s));
}
void put16(std::vector<unsigned char>& out, unsigned int v) {
    out.push_back((unsigned char)(v >> 8));
    out.push_back((unsigned char)v);
}

void chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
    put32(out, (unsigned)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, (unsigned)crc32(0, &out[start], (uInt)(out.size() - start)));
}

// The rows of a rectangle of indices, each after a filter byte of 0, deflated.
std::vector<unsigned char> deflated(const std::vector<unsigned char>& idx, int w, int x0, int y0, int rw, int rh) {
    std::vector<unsigned char> raw;
    raw.reserve((size_t)(rw + 1) * rh);
    for (int y = y0; y < y0 + rh; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), idx.begin() + (size_t)y * w + x0, idx.begin() + (size_t)y * w + x0 + rw);
    }
    uLongf n = compressBound((uLong)raw.size());
    std::vector<unsigned char> z(n);
    if (compress2(z.data(), &n, raw.data(), (uLong)raw.size(), Z_BEST_COMPRESSION) != Z_OK) return {};
    z.resize(n);
    return z;
}

}  // namespace

std::vector<unsigned char> apng_encode(int w, int h, const std::vector<std::vector<unsigned char>>& rgb,
                                       int delay_ms) {
    if (w <= 0 || h <= 0 || rgb.empty()) return {};
    std::vector<long> hist(KEYS, 0);
    for (const auto& f : rgb)
        for (size_t i = 0; i + 2 < f.size(); i += 3) hist[key_of(&f[i])]++;
    std::vector<Entry> entries;
    for (int k = 0; k < KEYS; k++)
        if (hist[k]) entries.push_back({k, hist[k]});
    std::vector<unsigned int> palette = median_cut(entries);
    // Index 0 is the transparent "unchanged"; colours follow from 1.
    std::vector<unsigned char> nearest(KEYS, 1);
    for (int k = 0; k < KEYS; k++) {
        if (!hist[k]) continue;
        long best = -1;
        for (size_t p = 0; p < palette.size(); p++) {
            long d = 0;
            for (int c = 0; c < 3; c++) {
                long e = (long)(channel(k, c) * 8 + 4) - (long)((palette[p] >> (16 - 8 * c)) & 0xFF);
                d += e * e;
            }
            if (best < 0 || d < best) best = d, nearest[k] = (unsigned char)(p + 1);
        }
    }

    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> d;
    put32(d, (unsigned)w), put32(d, (unsigned)h);
    d.insert(d.end(), {8, 3, 0, 0, 0});  // 8-bit indices, no interlace
    chunk(out, "IHDR", d);
    d.clear();
    put32(d, (unsigned)rgb.size()), put32(d, 0);  // frames, loop forever
    chunk(out, "acTL", d);
    d.assign(3, 0);
    for (unsigned int c : palette) d.insert(d.end(), {(unsigned char)(c >> 16), (unsigned char)(c >> 8), (unsigned char)c});
    chunk(out, "PLTE", d);
    chunk(out, "tRNS", {0});

    unsigned int seq = 0;
    std::vector<unsigned char> prev, idx((size_t)w * h);
    for (size_t f = 0; f < rgb.size(); f++) {
        for (size_t i = 0; i < idx.size(); i++) idx[i] = nearest[key_of(&rgb[f][i * 3])];
        int x0 = 0, y0 = 0, x1 = w - 1, y1 = h - 1;
        std::vector<unsigned char> frame = idx;
        if (f > 0) {
            // Only what changed; the rest is transparent over the last frame.
            x0 = w, y0 = h, x1 = -1, y1 = -1;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    size_t i = (size_t)y * w + x;
                    if (idx[i] == prev[i]) {
                        frame[i] = 0;
                        continue;
                    }
                    x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
                }
            if (x1 < 0) x0 = y0 = x1 = y1 = 0;  // nothing changed: one transparent pixel
        }
        int rw = x1 - x0 + 1, rh = y1 - y0 + 1;
        d.clear();
        put32(d, seq++);
        put32(d, (unsigned)rw), put32(d, (unsigned)rh), put32(d, (unsigned)x0), put32(d, (unsigned)y0);
        put16(d, (unsigned)delay_ms), put16(d, 1000);
        d.push_back(0);                  // keep the frame for the next
        d.push_back(f > 0 ? 1 : 0);      // later frames are drawn over it
        chunk(out, "fcTL", d);
        std::vector<unsigned char> z = deflated(frame, w, x0, y0, rw, rh);
        if (z.empty()) return {};
        if (f == 0) {
            chunk(out, "IDAT", z);
        } else {
            d.clear();
            put32(d, seq++);
            d.insert(d.end(), z.begin(), z.end());
            chunk(out, "fdAT", d);
        }
        prev = idx;
    }
    chunk(out, "IEND", {});
    return out;
}

int screenshot(Harness& h, const char* name) {
    int w = 0, hh = 0;
    std::vector<unsigned char> px = h.pixels(&w, &hh);
    if (px.empty()) return 0;
    std::set<unsigned int> colours;
    for (size_t i = 0; i + 3 < px.size(); i += 4) {
        px[i + 3] = 255;
        colours.insert((unsigned)px[i] << 16 | (unsigned)px[i + 1] << 8 | px[i + 2]);
    }
    if (const char* dir = folder()) {
        std::string path = std::string(dir) + "/" + name + ".png";
        if (!pngout_write(path.c_str(), w, hh, px.data())) {
            fprintf(stderr, "screenshot: could not write %s\n", path.c_str());
            return 0;
        }
    }
    return (int)colours.size();
}

ScreenMovie::ScreenMovie(const char* name, int every, int shrink, int delay_ms)
    : _folder(folder() ? folder() : ""), _name(name), _every(std::max(1, every)), _shrink(std::max(1, shrink)),
      _delay_ms(delay_ms) {}

void ScreenMovie::tick(Harness& h) {
    if (!recording() || _ticks++ % _every) return;
    int w = 0, hh = 0;
    std::vector<unsigned char> px = h.pixels(&w, &hh);
    int sw = w / _shrink, sh = hh / _shrink;
    if (px.empty() || sw <= 0 || sh <= 0 || (_w && (sw != _w || sh != _h))) return;
    _w = sw, _h = sh;
    // Each pixel the mean of the square it stands for.
    std::vector<unsigned char> rgb((size_t)sw * sh * 3);
    int n = _shrink * _shrink;
    for (int y = 0; y < sh; y++)
        for (int x = 0; x < sw; x++)
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int dy = 0; dy < _shrink; dy++)
                    for (int dx = 0; dx < _shrink; dx++)
                        sum += px[((size_t)(y * _shrink + dy) * w + x * _shrink + dx) * 4 + c];
                rgb[((size_t)y * sw + x) * 3 + c] = (unsigned char)(sum / n);
            }
    _frames.push_back(rgb);
}

long ScreenMovie::write() {
    if (!recording() || _frames.empty()) return 0;
    std::vector<unsigned char> png = apng_encode(_w, _h, _frames, _delay_ms);
    std::string path = _folder + "/" + _name + ".png";
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f && !png.empty() && fwrite(png.data(), 1, png.size(), f) == png.size();
    if (f) ok = fclose(f) == 0 && ok;
    if (!ok) fprintf(stderr, "screenshot: could not write %s\n", path.c_str());
    return ok ? (long)png.size() : 0;
}
