// Making a map record from a file or the network safe for the rules.
#include "logic.h"

static void _terminate(char* field, int size) { field[size - 1] = 0; }

void logic_sanitize(LevelData& lev) {
    _terminate(lev.title, sizeof(lev.title));
    _terminate(lev.intro, sizeof(lev.intro));
    _terminate(lev.theme, sizeof(lev.theme));
    _terminate(lev.music, sizeof(lev.music));
    _terminate(lev.name, sizeof(lev.name));
    _terminate(lev.author, sizeof(lev.author));
    _terminate(lev.uid, sizeof(lev.uid));
    _terminate(lev.x_uname, sizeof(lev.x_uname));
    _terminate(lev.id, sizeof(lev.id));
    for (Entity& e : lev.items) _terminate(e.iname, sizeof(e.iname));
}
