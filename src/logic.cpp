// Direction codes: keypad digits turned into grid steps and sprite directions.
#include "logic.h"
#include "logic_internal.h"

#include "util.h"

const int logic_arrow_decode[10][2] = {
    {0, 0}, {0, 1}, {1, 1}, {1, 0}, {-1, 1}, {0, 0}, {1, -1}, {-1, 0}, {-1, -1}, {0, -1},
};

int logic_dxdy_to_arrow(int dx, int dy) {
    static const int codes[9] = {8, 9, 6, 7, 5, 3, 4, 1, 2};
    if (dx < -1 || dx > 1 || dy < -1 || dy > 1) return 5;
    return codes[(dy + 1) * 3 + (dx + 1)];
}

void _logic_arrow_step(int code, int* dx, int* dy) {
    bool known = code >= 0 && code < (int)MY_COUNT(logic_arrow_decode);
    *dx = known ? logic_arrow_decode[code][0] : 0;
    *dy = known ? logic_arrow_decode[code][1] : 0;
}

// A camera angle beyond this is damage; it would overflow the step count.
static const float ROTATE_LIMIT = 1.0e6f;

int logic_arrow(Game& game, int arrow, int flip) {
    static const int octant_of_code[10] = {0, 0, 1, 2, 7, 0, 3, 6, 5, 4};
    static const int sprite_dirs[8] = {1, 2, 3, 6, 9, 8, 7, 4};
    int octant = (arrow >= 0 && arrow <= 9) ? octant_of_code[arrow] : 0;
    float rotate = game.level.rotate;
    if (!(rotate >= -ROTATE_LIMIT && rotate <= ROTATE_LIMIT)) rotate = 0;
    int r = (int)((rotate - 22.5f) / -45.0f + 16.0f);
    if (flip) r = 32 - r;
    int k = (octant + r) % 8;
    if (k < 0) k += 8;
    return sprite_dirs[k];
}
