// The screens around the editor: placeholders until the screens are built.
#include "edit.h"

void EditMenu::init() {}
void EditMenu::paint() {}
void EditMenu::event(Event e) { (void)e; }
void EditMenu::loop() {}
void EditInfo::init() {}
void EditInfo::deinit() {}
void EditInfo::paint() {}
void EditInfo::event(Event e) { (void)e; }
void EditInfo::loop() {}
void EditShare::init() {}
void EditShare::paint() {}
void EditShare::event(Event e) { (void)e; }
void EditShare::loop() {}
