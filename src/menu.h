// The menus: main, tutorial and build lists with the map detail panel
// (menu.cpp), the online browser (menu_download.cpp), settings, the service's
// error and sign-in screen and credits (menu_settings.cpp), help pages
// (menu_help.cpp).
#pragma once

#include <string>

#include "engine.h"
#include "game.h"
#include "gfx.h"
#include "gui.h"
#include "mydb.h"

// Codes of menu widgets; 1000 + row for list entries.
enum {
    MENU_NONE = 0, MENU_PLAY = 1, MENU_SETTINGS = 2, MENU_EDIT = 3, MENU_QUIT = 4, MENU_MORE = 5,
    MENU_BACK = 6, MENU_EDIT_NEW = 7, MENU_EDIT_PLAY = 8, MENU_EDIT_EDIT = 9, MENU_DELETE = 10,
    MENU_SHARE = 11, MENU_NEXT = 12, MENU_PREVIOUS = 13, MENU_DOWNLOAD = 14, MENU_REFRESH = 15,
    MENU_AUTHOR_MORE = 16, MENU_AUTHOR_FAVORITES = 17, MENU_CREDITS = 18, MENU_YES = 19, MENU_NO = 20,
    MENU_STATS = 21, MENU_HELP = 22, MENU_FRESH = 23, MENU_WATCH = 24, MENU_WATCH_GO = 25,
    MENU_ROW = 1000
};

// A stored time stamp (seconds since 1970, decimal text) as a local date in
// the form of the player's locale (LC_TIME); without one, month/day/year
// without leading zeros, e.g. "3/7/2011".
std::string menu_date(const char* ts);

// ---- the menus' look (menu_look.cpp)
// Draws the dimmed picture of a featured map over the whole window: drawn
// once per window size, then only copied. With card (a canvas rectangle), a
// list's card lies on it: a framed well with the map in it, drawn once and
// then copied too. Leaves the 2D set-up on.
void menu_backdrop_paint(Game& game, const MyRect* card = nullptr);
// Forgets the pictures (a video reset takes their textures with it).
void menu_backdrop_flush();

// ---- tutorial progress (menu.cpp)
// After a tutorial's win: selects the next tutorial in the list; true when
// the won one was the last (the main menu then says the tutorial is done).
bool menu_tutorial_won(Game& game);

// ---- help (menu_help.cpp)
// Opens the help pages; leaving them returns to the screen `back`.
void menu_help_open(Game& game, int back);

// ---- the screens: main, tutorial and build lists (menu.cpp)
class MenuMain : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class MenuPlay : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class MenuEdit : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

// ---- the online browser: categories, then a list (menu_download.cpp)
class MenuDownload1 : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class MenuDownload2 : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;

private:
    int lists_seen = 0;  // the online client's count of stored lists at init
};

// ---- settings, the service's error and sign-in screen, credits (menu_settings.cpp)
class MenuSettings : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class MenuError : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

class MenuCredits : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};

// ---- help pages (menu_help.cpp)
class MenuHelp : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
};
