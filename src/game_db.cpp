// Opening the game's databases and bringing their schema up to date.
#include <sys/stat.h>

#include <cstdio>

#include "game.h"

enum { LEVELS_COLUMNS_V1 = 6, LEVELS_COLUMNS_V2 = 7, LEVELS_COLUMNS_V3 = 11, LEVELS_COLUMNS = 12,
       RATINGS_COLUMNS = 3 };

static int _game_db_columns(MyDB& db, const char* table) {
    char sql[64];
    snprintf(sql, sizeof(sql), "pragma table_info(%s)", table);
    return (int)db.query(sql).size();
}

// Adds what the schema of an older layout lacks, reporting the counts.
static void _game_db_migrate(MyDB& db, const char* fname) {
    int n = _game_db_columns(db, "levels");
    fprintf(stderr, "levels %s has %d \n", fname, n);
    if (n < LEVELS_COLUMNS_V1)
        db.query("create table levels (id text primary key, name text, data blob, ts int, author text, title text)");
    if (n < LEVELS_COLUMNS_V2) db.query("alter table levels add q text");
    if (n < LEVELS_COLUMNS_V3) {
        db.query("alter table levels add uid text");
        db.query("alter table levels add stars float");
        db.query("alter table levels add skulls float");
        db.query("alter table levels add intro text");
    }
    if (n < LEVELS_COLUMNS) db.query("alter table levels add value int");
    fprintf(stderr, "levels %s now has %d \n", fname, _game_db_columns(db, "levels"));
    int r = _game_db_columns(db, "ratings");
    fprintf(stderr, "ratings %s has %d \n", fname, r);
    if (r < RATINGS_COLUMNS) db.query("create table ratings (lid text primary key, stars int, skulls int)");
    fprintf(stderr, "ratings %s has %d \n", fname, _game_db_columns(db, "ratings"));
}

void game_db_open(Game& game, MyDB& db, const char* fname) {
    (void)game;
    struct stat st;
    if (stat(fname, &st) != 0 || st.st_size == 0) {
        FILE* f = fopen(fname, "wb");
        if (f) fclose(f);
    }
    db.open(fname);
    _game_db_migrate(db, fname);
}

void game_db_open_shipped(Game& game, MyDB& db, const char* fname) {
    (void)game;
    db.open_readonly(fname);
    _game_db_migrate(db, fname);
}
