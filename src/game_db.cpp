// Opening the game's databases and bringing their schema up to date.
#include <sys/stat.h>

#include <cstdio>

#include "game.h"

static int _game_db_columns(MyDB& db, const char* table) {
    char sql[64];
    snprintf(sql, sizeof(sql), "pragma table_info(%s)", table);
    return (int)db.query(sql).size();
}

void game_db_open(Game& game, MyDB& db, const char* fname) {
    (void)game;
    struct stat st;
    if (stat(fname, &st) != 0 || st.st_size == 0) {
        FILE* f = fopen(fname, "wb");
        if (f) fclose(f);
    }
    db.open(fname);
    int n = _game_db_columns(db, "levels");
    fprintf(stderr, "levels %s has %d \n", fname, n);
    if (n < 6) db.query("create table levels (id text primary key, name text, data blob, ts int, author text, title text)");
    if (n < 7) db.query("alter table levels add q text");
    if (n < 11) {
        db.query("alter table levels add uid text");
        db.query("alter table levels add stars float");
        db.query("alter table levels add skulls float");
        db.query("alter table levels add intro text");
    }
    if (n < 12) db.query("alter table levels add value int");
    fprintf(stderr, "levels %s now has %d \n", fname, _game_db_columns(db, "levels"));
    int r = _game_db_columns(db, "ratings");
    fprintf(stderr, "ratings %s has %d \n", fname, r);
    if (r < 3) db.query("create table ratings (lid text primary key, stars int, skulls int)");
    fprintf(stderr, "ratings %s has %d \n", fname, _game_db_columns(db, "ratings"));
}
