// The main, tutorial and build menus: placeholders until the screens are built.
#include "menu.h"

void MenuMain::init() {}
void MenuMain::deinit() {}
void MenuMain::paint() {}
void MenuMain::event(Event e) { (void)e; }
void MenuMain::loop() {}
void MenuPlay::init() {}
void MenuPlay::deinit() {}
void MenuPlay::paint() {}
void MenuPlay::event(Event e) { (void)e; }
void MenuPlay::loop() {}
void MenuEdit::init() {}
void MenuEdit::deinit() {}
void MenuEdit::paint() {}
void MenuEdit::event(Event e) { (void)e; }
void MenuEdit::loop() {}
MyResult _menu_levs;
int _menu_cur = 0;
int _menu_total = 0;
void menu_show_lev(Game&, Container&) {}
void _menu_delete(Game&, Container&) {}
