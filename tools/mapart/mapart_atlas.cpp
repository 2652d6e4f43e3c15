// Atlases: packs generated images into power-of-two sheets, writes them as
// PNG files and writes the image and texture catalogue pieces.
#include <json/json.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "mapart.h"
#include "jsonout.h"
#include "pngout.h"

namespace {

int _pow2(int v) {
    int p = 1;
    while (p < v) p *= 2;
    return p;
}

void _copy(ArtCanvas& dst, const ArtCanvas& src, int x, int y) {
    for (int j = 0; j < src.h; j++) {
        for (int i = 0; i < src.w; i++) {
            const float* s = src.at(i, j);
            float* d = dst.at(x + i, y + j);
            for (int q = 0; q < 4; q++) d[q] = s[q];
        }
    }
}

// Whole numbers are written as integers, the rest as they are.
Json::Value _number(float v) {
    if (v == std::floor(v)) return Json::Value((int)v);
    return Json::Value(v);
}

Json::Value _rect(float x, float y, float w, float h) {
    Json::Value r(Json::objectValue);
    r["x"] = _number(x);
    r["y"] = _number(y);
    r["w"] = _number(w);
    r["h"] = _number(h);
    return r;
}

// Where the image is not clear, in logical units, with a unit to spare on
// each side so that filtering at its edge still samples clear pixels.
void _body(const ArtCanvas& px, int scale, ArtPlaced* pl) {
    int x0 = px.w, y0 = px.h, x1 = -1, y1 = -1;
    for (int j = 0; j < px.h; j++)
        for (int i = 0; i < px.w; i++)
            if (px.at(i, j)[3] > 0.5f / 255) {
                x0 = std::min(x0, i), x1 = std::max(x1, i);
                y0 = std::min(y0, j), y1 = std::max(y1, j);
            }
    if (x1 < 0) x0 = y0 = 0, x1 = y1 = -1;  // all clear: an empty body
    int w = px.w / scale, h = px.h / scale;
    pl->body_x = std::max(0, x0 / scale - 1);
    pl->body_y = std::max(0, y0 / scale - 1);
    pl->body_w = std::min(w, (x1 + scale) / scale + 1) - pl->body_x;
    pl->body_h = std::min(h, (y1 + scale) / scale + 1) - pl->body_y;
    if (x1 < 0) pl->body_w = pl->body_h = 0;
}

struct Slot {
    size_t image;
    int sheet, x, y;
};

}  // namespace

void mapart_pack(const std::vector<ArtImage>& images, const std::string& prefix, int pad, int scale,
                 std::vector<ArtSheet>* sheets, std::vector<ArtPlaced>* placed) {
    // Shelves, tallest images first so that rows waste little; positions and
    // sizes stay multiples of the scale so that logical rectangles are whole.
    std::vector<size_t> order(images.size());
    for (size_t i = 0; i < order.size(); i++) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&images](size_t a, size_t b) { return images[a].pixels.h > images[b].pixels.h; });
    pad = (pad + scale - 1) / scale * scale;
    std::vector<Slot> slots;
    std::vector<int> used_w, used_h;
    int sheet = 0, x = 0, y = 0, row_h = 0;
    used_w.push_back(0);
    used_h.push_back(0);
    for (size_t i : order) {
        const ArtCanvas& p = images[i].pixels;
        if (p.w > MAPART_ATLAS_MAX || p.h > MAPART_ATLAS_MAX) {
            fprintf(stderr, "mapart: %s is larger than a sheet; left out\n", images[i].name.c_str());
            continue;
        }
        if (x + p.w > MAPART_ATLAS_MAX) {
            x = 0;
            y += row_h + pad;
            row_h = 0;
        }
        if (y + p.h > MAPART_ATLAS_MAX) {
            sheet++;
            x = y = row_h = 0;
            used_w.push_back(0);
            used_h.push_back(0);
        }
        slots.push_back(Slot{i, sheet, x, y});
        used_w[sheet] = std::max(used_w[sheet], x + p.w);
        used_h[sheet] = std::max(used_h[sheet], y + p.h);
        x += p.w + pad;
        row_h = std::max(row_h, p.h);
    }
    size_t first = sheets->size();
    for (int s = 0; s <= sheet; s++) {
        ArtSheet out;
        out.texture = prefix + "-" + std::to_string(s);
        out.fname = out.texture + ".png";
        out.w = _pow2(std::max(2, used_w[s]));
        out.h = _pow2(std::max(2, used_h[s]));
        out.scale = scale;
        out.pixels = ArtCanvas(out.w, out.h);
        sheets->push_back(out);
    }
    for (const Slot& s : slots) {
        const ArtImage& im = images[s.image];
        ArtSheet& sh = (*sheets)[first + s.sheet];
        _copy(sh.pixels, im.pixels, s.x, s.y);
        ArtPlaced pl;
        pl.name = im.name;
        pl.texture = sh.texture;
        pl.x = s.x / scale;
        pl.y = s.y / scale;
        pl.w = im.pixels.w / scale;
        pl.h = im.pixels.h / scale;
        pl.shape_w = im.shape_w;
        pl.shape_h = im.shape_h;
        _body(im.pixels, scale, &pl);
        placed->push_back(pl);
    }
}

void mapart_single(const ArtImage& image, const std::string& texture, std::vector<ArtSheet>* sheets,
                   std::vector<ArtPlaced>* placed) {
    ArtSheet sh;
    sh.texture = texture;
    sh.fname = texture + ".png";
    sh.w = image.pixels.w;
    sh.h = image.pixels.h;
    sh.pixels = image.pixels;
    sheets->push_back(sh);
    ArtPlaced pl;
    pl.name = image.name;
    pl.texture = texture;
    pl.w = image.pixels.w / MAPART_SCALE;
    pl.h = image.pixels.h / MAPART_SCALE;
    pl.shape_w = image.shape_w;
    pl.shape_h = image.shape_h;
    _body(image.pixels, MAPART_SCALE, &pl);
    placed->push_back(pl);
}

bool mapart_write(const std::string& dir, const std::vector<ArtSheet>& sheets, const std::vector<ArtPlaced>& placed,
                  const std::string& images_json, const std::string& textures_json) {
    Json::Value textures(Json::objectValue), images(Json::objectValue);
    for (const ArtSheet& s : sheets) {
        std::string path = dir + "/" + s.fname;
        std::vector<unsigned char> rgba = mapart_bytes(s.pixels);
        if (!pngout_write(path.c_str(), s.w, s.h, rgba.data())) {
            fprintf(stderr, "mapart: cannot write %s\n", path.c_str());
            return false;
        }
        Json::Value t(Json::objectValue);
        t["fname"] = s.fname;
        // Declared at the logical size: the file holds `scale` times the pixels.
        t["rect"] = _rect(0, 0, (float)(s.w / s.scale), (float)(s.h / s.scale));
        textures[s.texture] = t;
    }
    for (const ArtPlaced& p : placed) {
        Json::Value im(Json::objectValue);
        im["texture"] = p.texture;
        im["rect"] = _rect((float)p.x, (float)p.y, (float)p.w, (float)p.h);
        im["shape"] = _rect(0, 0, p.shape_w, p.shape_h);
        if (p.body_w != p.w || p.body_h != p.h)
            im["body"] = _rect((float)p.body_x, (float)p.body_y, (float)p.body_w, (float)p.body_h);
        images[p.name] = im;
    }
    return jsonout_write(images_json, images, "mapart") && jsonout_write(textures_json, textures, "mapart");
}
