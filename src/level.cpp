// The play screens: placeholders until the screens are built.
#include "level.h"

void Level::init() {}
void Level::paint() {}
void Level::event(Event e) { (void)e; }
void Level::loop() {}
void LevelIntro::init() {}
void LevelIntro::paint() {}
void LevelIntro::event(Event e) { (void)e; }
void LevelIntro::loop() {}
void LevelWin::init() {}
void LevelWin::paint() {}
void LevelWin::event(Event e) { (void)e; }
void LevelWin::loop() {}
void Rewind::init() {}
void Rewind::paint() {}
void Rewind::event(Event e) { (void)e; }
void Rewind::loop() {}
