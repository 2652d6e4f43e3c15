// The menus: main, tutorial and build lists, online browser, settings,
// error and sign-in, credits and help.
#pragma once

#include "engine.h"
#include "game.h"

#define VELQUIST_MENU_SCREEN(Name)                  \
    class Name : public State {                     \
    public:                                         \
        Game& game;                                 \
        explicit Name(Game& g) : game(g) {}         \
    };

VELQUIST_MENU_SCREEN(MenuMain)
VELQUIST_MENU_SCREEN(MenuPlay)
VELQUIST_MENU_SCREEN(MenuEdit)
VELQUIST_MENU_SCREEN(MenuDownload1)
VELQUIST_MENU_SCREEN(MenuDownload2)
VELQUIST_MENU_SCREEN(MenuSettings)
VELQUIST_MENU_SCREEN(MenuError)
VELQUIST_MENU_SCREEN(MenuCredits)
VELQUIST_MENU_SCREEN(MenuHelp)
