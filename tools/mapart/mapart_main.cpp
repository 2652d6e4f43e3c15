// Entry point of the map-view art generator (run by the build).
#include <cstdio>

#include "mapart.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: mapart TILES.json DATA_DIR IMAGES.json TEXTURES.json\n");
        return 2;
    }
    return mapart_build(argv[1], argv[2], argv[3], argv[4]);
}
