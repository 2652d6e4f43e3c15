// The map editor: placeholders until the screens are built.
#include "edit.h"

void Edit::init() {}
void Edit::deinit() {}
void Edit::paint() {}
void Edit::event(Event e) { (void)e; }
void Edit::loop() {}
void edit_change(Game&, int, int, int) {}
void edit_undo(Game&) {}
void edit_redo(Game&) {}
void edit_reset(Game&) {}
void edit_map_init(Game&) {}
