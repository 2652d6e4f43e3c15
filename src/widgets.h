// The game's own widgets, which know the map record: the camera-turning
// button, the bomb button of the play screen and the rating stars of the win
// screen, and the translucent panel that texts over a map sit on (all in
// widgets.cpp).
#pragma once

#include "game.h"
#include "gui.h"

// Turns a map's camera target by 45 degrees per press, and keeps turning
// while it is held.
class WRotate : public Widget {
public:
    LevelData* lev;
    int rotate;    // -1 or +1
    int down = 0;  // 1 while pressed

    WRotate(LevelData* lev_, int rotate_) : lev(lev_), rotate(rotate_) {}
    int event(Event* e) override;
    void loop() override;
};

// One bomb button of the play screen: shows the stock of its kind and places
// (or picks up, or fires) one when pressed. Its tint tells what a press does.
class WBomb : public Widget {
public:
    int btype;  // D_BOMB1 .. D_BOMB4
    Game& game;

    WBomb(Game& game_, int btype_) : btype(btype_), game(game_) {}
    ~WBomb() override {}
    // A bomb of the kind lies on the map (or under the player): a press acts on it.
    bool armed();
    int event(Event* e) override;
    void paint() override;
    void resize() override;
    using Widget::resize;
};

// A row of five icons filled to a value: the player's rating of a map.
class Stars : public Widget {
public:
    int img;              // image handle of the icon
    int size;             // icon edge, pixels
    float value;          // 0..5, the chosen value
    float _value = 0;     // 0..5, the value under the pointer; 0 = none

    Stars(float value_, int img_, int size_) : img(img_), size(size_), value(value_) {}
    ~Stars() override {}
    int get_value_i() override;
    void set_value_i(int v) override;
    int event(Event* e) override;
    void paint() override;
    void resize() override;
    using Widget::resize;
};

// Adds the two camera-turn buttons of play's bottom bar (left, then right)
// as cells of `bar`, each a square of `size` with `padding` round its icon.
void w_turn_buttons(Table* bar, LevelData* lev, int size, int padding);

// Wraps `child` in a dark translucent panel with room around it, named
// "panel", so that text over a map reads whatever the map shows beneath.
Widget* w_text_panel(Widget* child);

enum {
    WBOMB_SIZE = 96,        // a bomb button is a square of this edge
    STARS_COUNT = 5
};
