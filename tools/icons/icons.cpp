// The desktop icon: the logo's cyan V and amber diamond on a night-blue
// tile, drawn from shapes so that every size from 16 to 512 pixels is crisp.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "art.h"

namespace {

const float UNITS = 64;  // the design is 64 units square

Canvas draw_icon(int px) {
    Canvas c(px, px, UNITS);
    const float mid = UNITS / 2;
    // The tile, with the steel rim of the game's frames.
    Sdf tile = sdf::rbox(mid, mid, 30, 30, 11);
    c.fill(tile, vgrad(2, rgb(pal::NIGHT2), 62, rgb(pal::NIGHT0)));
    c.fill(sdf::edge(sdf::grow(tile, -1.2f), 1.2f), rgb(pal::STEEL));
    // The V: two strokes meeting at the bottom, like the logo's first letter.
    Sdf v = sdf::polygon({13, 13, 23, 13, 32, 38, 41, 13, 51, 13, 37, 50, 27, 50});
    c.fill(sdf::grow(v, 2.4f), rgb(pal::INK));
    c.fill(v, vgrad(13, rgb(0xF4FEFF), 50, rgb(0x34C4DE)));
    // The amber diamond, as under the logo.
    Sdf diamond = sdf::polygon({mid, 52, mid + 4.5f, 56.5f, mid, 61, mid - 4.5f, 56.5f});
    c.fill(sdf::grow(diamond, 1.5f), rgb(pal::INK));
    c.fill(diamond, vgrad(52, rgb(pal::AMBER_LIGHT), 61, rgb(pal::AMBER)));
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: velquist_icons OUT_DIR SIZE...\n");
        return 2;
    }
    std::string out = argv[1];
    for (int i = 2; i < argc; i++) {
        int px = atoi(argv[i]);
        if (px < 16 || px > 1024) {
            fprintf(stderr, "velquist_icons: size %s out of range\n", argv[i]);
            return 2;
        }
        std::string path = out + "/velquist-" + std::to_string(px) + ".png";
        if (!draw_icon(px).save(path)) {
            fprintf(stderr, "velquist_icons: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
