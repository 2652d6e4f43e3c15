// What a click would do, without doing it: the path the player would be given.
#include "logic.h"

int logic_click_preview(Game& game, int x, int y, int (*out)[2], int max) {
    // The first player, as the walk keys steer it; logic_click plans the same
    // path for every player, from its own target cell.
    const Entity* p = logic_find(game, D_PLAYER);
    if (!p || max <= 0) return 0;
    // Pointing at the cell it already heads for stops it: no new path.
    if (p->tx == x && p->ty == y) return 0;
    std::vector<Point> route = astar(Point(&game, p->tx, p->ty), Point(&game, x, y));
    int size = (int)route.size();
    // A path logic_path would refuse leaves the old one: nothing new to show.
    if (size < 2 || size > PATH_CELLS_MAX) return 0;
    int n = size < max ? size : max;
    for (int i = 0; i < n; i++) {
        out[i][0] = route[i].x;
        out[i][1] = route[i].y;
    }
    return n;
}
