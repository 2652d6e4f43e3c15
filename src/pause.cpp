// The pause menu: placeholders until the screens are built.
#include "level.h"

void Pause::init() {}
void Pause::paint() {}
void Pause::event(Event e) { (void)e; }
void Pause::loop() {}
