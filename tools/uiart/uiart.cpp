// Generates the interface art: plain fills, button and bar frames, the title
// logo, rating icons, the camera buttons and the bomb icons, as PNG files in
// the data folder, and the image and texture catalogue pieces that name them.
//
// usage: velquist_uiart FONT_DIR DATA_DIR IMAGES_PIECE TEXTURES_PIECE
//
// Every picture is rendered larger than its declared size (at least twice)
// into a power-of-two texture and declared at its logical size, so that it
// stays sharp on a window larger than the 960 x 720 canvas.
#include <json/json.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "art.h"
#include "jsonout.h"

namespace {

struct Picture {
    const char* name;  // image name the game asks for
    int px_w, px_h;    // real texture size, powers of two
    float w, h;        // declared texture size = image shape, in logical units
    std::function<Canvas(int w, int h)> draw;
};

enum { FILL_PX = 16, FRAME_PX = 256, ICON_PX = 256, RATING_PX = 128, LOGO_PX_W = 2048, LOGO_PX_H = 512 };

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: velquist_uiart FONT_DIR DATA_DIR IMAGES_PIECE TEXTURES_PIECE\n");
        return 2;
    }
    const std::string font_dir = argv[1], data_dir = argv[2];
    bool logo_ok = true;
    const Picture pictures[] = {
        {"white", FILL_PX, FILL_PX, 8, 8, [](int w, int) { return art_plain(w, 0xFFFFFF, 1); }},
        {"black", FILL_PX, FILL_PX, 8, 8, [](int w, int) { return art_plain(w, 0x000000, 1); }},
        {"blank", FILL_PX, FILL_PX, 8, 8, [](int w, int) { return art_plain(w, 0x000000, 0); }},
        {"box", FRAME_PX, FRAME_PX, 96, 96, [](int w, int) { return art_box(w); }},
        {"box1", FRAME_PX, FRAME_PX, 96, 96, [](int w, int) { return art_box1(w); }},
        {"box2", FRAME_PX, FRAME_PX, 96, 96, [](int w, int) { return art_box2(w); }},
        {"box3", FRAME_PX, FRAME_PX, 96, 96, [](int w, int) { return art_box3(w); }},
        {"bar1", FRAME_PX, FRAME_PX, 120, 120, [](int w, int) { return art_bar1(w); }},
        {"edge", FRAME_PX, FRAME_PX, 96, 96, [](int w, int) { return art_edge(w); }},
        {"logo", LOGO_PX_W, LOGO_PX_H, 600, 150,
         [&](int w, int h) {
             Canvas c(w, h, (float)w);
             logo_ok = art_logo(font_dir, w, h, &c);
             return c;
         }},
        {"stars", RATING_PX, RATING_PX, 60, 60, [](int w, int) { return art_stars(w); }},
        {"skulls", RATING_PX, RATING_PX, 60, 60, [](int w, int) { return art_skulls(w); }},
        {"icon-arrow4", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_turn(w, false); }},
        {"icon-arrow6", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_turn(w, true); }},
        {"icon-arrow8", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_overhead(w); }},
        {"icon-bomb1", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_bomb(w, 1); }},
        {"icon-bomb2", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_bomb(w, 2); }},
        {"icon-bomb3", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_bomb(w, 3); }},
        {"icon-bomb4", ICON_PX, ICON_PX, 96, 96, [](int w, int) { return art_bomb(w, 4); }},
    };
    Json::Value images(Json::objectValue), textures(Json::objectValue);
    bool ok = true;
    for (const Picture& p : pictures) {
        // Each picture is a texture of its own: frames are drawn from the
        // whole texture, and plain fills may be stretched over anything.
        std::string tex = std::string("ui-") + p.name, fname = tex + ".png";
        Canvas c = p.draw(p.px_w, p.px_h);
        ok = c.save(data_dir + "/" + fname) && ok;
        Json::Value t(Json::objectValue);
        t["fname"] = fname;
        t["rect"] = jsonout_rect(0, 0, p.w, p.h);
        textures[tex] = t;
        Json::Value i(Json::objectValue);
        i["texture"] = tex;
        i["rect"] = jsonout_rect(0, 0, p.w, p.h);
        i["shape"] = jsonout_rect(0, 0, p.w, p.h);
        images[p.name] = i;
    }
    ok = logo_ok && ok;
    ok = jsonout_write(argv[3], images, "uiart") && ok;
    ok = jsonout_write(argv[4], textures, "uiart") && ok;
    return ok ? 0 : 1;
}
