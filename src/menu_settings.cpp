// Settings, error, credits and help: placeholders until the screens are built.
#include "menu.h"

void MenuSettings::init() {}
void MenuSettings::deinit() {}
void MenuSettings::paint() {}
void MenuSettings::event(Event e) { (void)e; }
void MenuSettings::loop() {}
void MenuError::init() {}
void MenuError::deinit() {}
void MenuError::paint() {}
void MenuError::event(Event e) { (void)e; }
void MenuError::loop() {}
void MenuCredits::init() {}
void MenuCredits::deinit() {}
void MenuCredits::paint() {}
void MenuCredits::event(Event e) { (void)e; }
void MenuCredits::loop() {}
void MenuHelp::init() {}
void MenuHelp::deinit() {}
void MenuHelp::paint() {}
void MenuHelp::event(Event e) { (void)e; }
void MenuHelp::loop() {}
void menu_settings_sync(Game&, Container&) {}
void menu_error_form_sync(Game&, Container&) {}
