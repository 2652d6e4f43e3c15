// The online browser: placeholders until the screens are built.
#include "menu.h"

void MenuDownload1::init() {}
void MenuDownload1::deinit() {}
void MenuDownload1::paint() {}
void MenuDownload1::event(Event e) { (void)e; }
void MenuDownload1::loop() {}
void MenuDownload2::init() {}
void MenuDownload2::deinit() {}
void MenuDownload2::paint() {}
void MenuDownload2::event(Event e) { (void)e; }
void MenuDownload2::loop() {}
