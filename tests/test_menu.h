// Helpers of the menu tests: finding widgets of a screen's tree by their
// code or text, clicking them, and storing maps in a database.
#pragma once

#include <string>
#include <vector>

#include "game.h"
#include "gui.h"
#include "harness.h"
#include "logic.h"
#include "menu.h"
#include "util.h"

namespace menu_test {

// The first widget below w (w included) whose onclick is code, or null.
inline Widget* find_code(Widget* w, int code) {
    if (w->onclick == code) return w;
    if (Container* c = dynamic_cast<Container*>(w)) {
        for (Widget* k : c->widgets) {
            if (Widget* r = find_code(k, code)) return r;
        }
    }
    return nullptr;
}

// The clickable widget around the label showing text (a button), or null.
inline Widget* find_button(Widget* w, const std::string& text) {
    for (Label* l : find_labels(w, text.c_str()))
        for (Widget* p = l; p; p = p->parent)
            if (p->onclick) return p;
    return nullptr;
}

// Centre of a widget on the canvas (after a frame has laid it out).
inline void centre(Widget* w, float* x, float* y) {
    MyRect r = w->get_abs_rect(true);
    *x = r.x + r.w / 2.0f;
    *y = r.y + r.h / 2.0f;
}

// Clicks w after a frame has laid it out; false when it is null.
inline bool click_widget(Harness& h, Widget* w) {
    if (!w) return false;
    h.tick();
    float x, y;
    centre(w, &x, &y);
    h.click(x, y);
    return true;
}

// Clicks the widget with the given code; false when there is none.
inline bool click_code(Harness& h, Container& gui, int code) {
    return click_widget(h, find_code(&gui, code));
}

// Clicks the button labelled text; false when there is none.
inline bool click_button(Harness& h, Container& gui, const std::string& text) {
    return click_widget(h, find_button(&gui, text));
}

// Stores a new map in db the way the editor saves one.
inline void store_map(Game& g, MyDB& db, const char* id, const char* name, const char* title,
                      const char* intro = "") {
    logic_new(g);
    mystrcpy(g._edit.id, sizeof(g._edit.id), id);
    mystrcpy(g._edit.name, sizeof(g._edit.name), name);
    mystrcpy(g._edit.title, sizeof(g._edit.title), title);
    mystrcpy(g._edit.intro, sizeof(g._edit.intro), intro);
    g.level = g._edit;
    logic_save(g, db);
}

// Replaces the shipped maps by a database of our own at path.
inline void own_game_db(Game& g, const std::string& path) {
    g.gamedb.close();
    remove(path.c_str());
    game_db_open(g, g.gamedb, path.c_str());
}

}  // namespace menu_test
