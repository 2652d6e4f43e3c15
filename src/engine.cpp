// The frame shared by the screens (engine.h).
#include "engine.h"

#include "game.h"
#include "menu.h"
#include "myview.h"

void Screen::paint_map() {
    game.gfx_3d();
    myview_paint(game);
}

void Screen::paint_widgets() {
    game.gfx_2d();
    gui.resize();
    gui.paint();
}

void Screen::paint_over_map() {
    paint_map();
    paint_widgets();
    game.gfx_3d();
}

void Screen::paint_over_backdrop(const MyRect* card) {
    menu_backdrop_paint(game, card);
    paint_widgets();
}
