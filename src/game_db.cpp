// Opening the game's databases and bringing their schema up to date; the
// user's maps file: its checks, keeping a damaged one aside, saving a map
// with a read-back, and the player's best scores; the replays kept with the
// maps they won.
//
// Sections: schema, the user's maps file, replays.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "base64.h"
#include "game.h"
#include "log.h"
#include "logic.h"
#include "util.h"

enum { RATINGS_COLUMNS = 3,
       GAME_DB_KEEP_TRIES = 100 };  // dated names tried for a damaged file

static int _game_db_columns(MyDB& db, const char* table) {
    char sql[64];
    snprintf(sql, sizeof(sql), "pragma table_info(%s)", table);
    return (int)db.query(sql).size();
}

// Adds what the schema of an older layout lacks, reporting the counts.
static void _game_db_migrate(MyDB& db, const char* fname) {
    int n = _game_db_columns(db, "levels");
    log_info("levels %s has %d \n", fname, n);
    if (n < LOGIC_LEVELS_FIRST) db.query(logic_levels_create(LOGIC_LEVELS_FIRST).c_str());
    // Each step of the layout adds its columns together, as the table grew.
    for (int c = LOGIC_LEVELS_FIRST; c < LOGIC_LEVELS_COLUMNS; c++) {
        const LogicLevelsColumn& col = logic_levels_columns[c];
        if (n < col.since) db.query((std::string("alter table levels add ") + col.name + " " + col.type).c_str());
    }
    log_info("levels %s now has %d \n", fname, _game_db_columns(db, "levels"));
    int r = _game_db_columns(db, "ratings");
    log_info("ratings %s has %d \n", fname, r);
    if (r < RATINGS_COLUMNS) db.query("create table ratings (lid text primary key, stars int, skulls int)");
    log_info("ratings %s has %d \n", fname, _game_db_columns(db, "ratings"));
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

// ---------------------------------------------------------------- the user's maps file

// The columns of our tables in the order the schema grew; a table of ours
// holds a prefix of them (an older layout) or all of them and more.
static const char* const _game_db_ratings_columns[] = {"lid", "stars", "skulls"};
static const char* const _game_db_scores_columns[] = {"lid", "best"};
static const char* const _game_db_replays_columns[] = {"id", "replay", "ts"};

struct GameDbTable {
    const char* name;
    const char* const* columns;  // null: the levels table's own
    int n;
    const char* column(size_t i) const { return columns ? columns[i] : logic_levels_columns[i].name; }
};
static const GameDbTable _game_db_user_tables[] = {
    {"levels", nullptr, LOGIC_LEVELS_COLUMNS},
    {"ratings", _game_db_ratings_columns, (int)MY_COUNT(_game_db_ratings_columns)},
    {"scores", _game_db_scores_columns, (int)MY_COUNT(_game_db_scores_columns)},
    {"replays", _game_db_replays_columns, (int)MY_COUNT(_game_db_replays_columns)},
};

static std::string _game_db_cell(const MyRow& row, const char* column) {
    MyRow::const_iterator it = row.find(column);
    return it == row.end() ? std::string() : it->second;
}

// Why the open file is no maps file of ours, or "" when it is one (or empty).
static std::string _game_db_user_problem(MyDB& db) {
    if (!db._db) return "it cannot be opened";
    MyResult check = db.query("pragma quick_check");
    if (db.error || check.empty() || _game_db_cell(check[0], "quick_check") != "ok") return "it is damaged";
    MyResult tables = db.query("select name from sqlite_master where type = 'table'");
    if (db.error) return "it is damaged";
    for (const MyRow& row : tables) {
        std::string name = _game_db_cell(row, "name");
        const GameDbTable* ours = nullptr;
        for (const GameDbTable& t : _game_db_user_tables)
            if (name == t.name) ours = &t;
        if (name.compare(0, 7, "sqlite_") == 0) continue;
        if (!ours) return "it belongs to another program (it holds a table \"" + name + "\")";
        MyResult cols = db.query(("pragma table_info(" + name + ")").c_str());
        for (size_t i = 0; i < cols.size() && i < (size_t)ours->n; i++)
            if (_game_db_cell(cols[i], "name") != ours->column(i))
                return "it belongs to another program (its table \"" + name + "\" is not ours)";
    }
    return "";
}

void game_db_open_user(Game& game, const char* fname) {
    game.userdb.close();
    game.userdb_path = fname ? fname : "";
    game.userdb_status = USERDB_OK;
    game.userdb_note.clear();
    struct stat st;
    if (stat(fname, &st) == 0 && !S_ISREG(st.st_mode)) {
        game.userdb_status = USERDB_DAMAGED;
        game.userdb_note = "it is not a file";
    } else {
        if (stat(fname, &st) != 0 || st.st_size == 0) {
            FILE* f = fopen(fname, "wb");
            if (f) fclose(f);
        }
        game.userdb.open(fname);
        std::string problem = _game_db_user_problem(game.userdb);
        if (!game.userdb._db) {
            game.userdb_status = USERDB_CLOSED;
            game.userdb_note = problem;
        } else if (!problem.empty()) {
            game.userdb.close();
            game.userdb_status = USERDB_DAMAGED;
            game.userdb_note = problem;
        }
    }
    if (game.userdb_status != USERDB_OK) {
        fprintf(stderr, "user.db (%s): %s; it is left as it is\n", fname, game.userdb_note.c_str());
        return;
    }
    _game_db_migrate(game.userdb, fname);
    if (_game_db_columns(game.userdb, "scores") < (int)MY_COUNT(_game_db_scores_columns))
        game.userdb.query("create table scores (lid text primary key, best int)");
    if (sqlite3_db_readonly(game.userdb._db, "main") == 1) {
        game.userdb_status = USERDB_READONLY;
        game.userdb_note = "it is read-only";
        fprintf(stderr, "user.db (%s): %s\n", fname, game.userdb_note.c_str());
    }
}

// Moves one file to its new name, never over an existing file.
static bool _game_db_move(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename: a hard link cannot replace either.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    return unlink(from.c_str()) == 0;
}

bool game_db_user_fresh(Game& game) {
    const std::string& path = game.userdb_path;
    if (game.userdb_status != USERDB_DAMAGED || path.empty()) return false;
    game.userdb.close();
    char stamp[32];
    time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    strftime(stamp, sizeof(stamp), "%Y-%m-%d-%H%M%S", &tm);
    std::string kept;
    for (int n = 1; n < GAME_DB_KEEP_TRIES && kept.empty(); n++) {
        std::string name = path + ".damaged-" + stamp + (n > 1 ? "-" + std::to_string(n) : std::string());
        if (_game_db_move(path, name)) kept = name;
        else if (errno != EEXIST) break;
    }
    if (kept.empty()) {
        game.userdb_note = std::string("it could not be moved aside: ") + strerror(errno);
        fprintf(stderr, "user.db (%s): %s\n", path.c_str(), game.userdb_note.c_str());
        return false;
    }
    // A journal beside the file belongs to it and goes with it.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        struct stat st;
        if (stat((path + suffix).c_str(), &st) == 0) _game_db_move(path + suffix, kept + suffix);
    }
    fprintf(stderr, "user.db: the damaged file is kept as %s\n", kept.c_str());
    game_db_open_user(game, path.c_str());
    if (game.userdb_status == USERDB_OK) {
        size_t slash = kept.rfind('/');
        game.userdb_note = "The old file is kept as " + kept.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    }
    return game.userdb_status == USERDB_OK;
}

bool game_db_save_map(Game& game, std::string* why) {
    std::string reason;
    // A file that could not be opened may be fine now (space freed, folder fixed).
    if (game.userdb_status == USERDB_CLOSED && !game.userdb_path.empty())
        game_db_open_user(game, game.userdb_path.c_str());
    if (game.userdb_status == USERDB_DAMAGED || !game.userdb._db) {
        reason = "user.db " + (game.userdb_note.empty() ? std::string("cannot be opened") : game.userdb_note);
    } else {
        logic_save(game, game.userdb);
        int len = 0;
        const char* packed = logic_pack(game, &len);
        MyResult r = game.userdb.query("select data from levels where id = ? and q is null",
                                       {std::string(game.level.id, strnlen(game.level.id, sizeof(game.level.id)))});
        bool stored = packed && !r.empty() && _game_db_cell(r[0], "data") == std::string(packed, (size_t)len);
        if (stored) return true;
        reason = sqlite3_db_readonly(game.userdb._db, "main") == 1 ? "user.db is read-only"
                                                                     : "user.db could not be written (is the disk full?)";
    }
    fprintf(stderr, "the map was not saved: %s\n", reason.c_str());
    if (why) *why = reason;
    return false;
}

int game_db_best(Game& game, const char* name) {
    if (!name || !*name) return 0;
    MyResult r = game.userdb.query("select best from scores where lid = ?", {name});
    return r.empty() ? 0 : atoi(_game_db_cell(r[0], "best").c_str());
}

void game_db_record_best(Game& game, const char* name, int score) {
    if (!name || !*name || score <= 0) return;
    game.userdb.query("insert into scores (lid, best) values (?, ?) "
                      "on conflict(lid) do update set best = max(best, excluded.best)",
                      {name, std::to_string(score)});
}

// ---------------------------------------------------------------- replays

// Replays live in a table beside the levels rather than in a column of
// theirs: saving a map replaces its whole row, and a map is won before it is
// first saved. Only the databases that keep replays get the table.
bool game_replay_store(MyDB& db, const char* id, const std::string& b64) {
    char ts[32];
    snprintf(ts, sizeof(ts), "%ld", (long)time(nullptr));
    db.query("create table if not exists replays (id text primary key, replay text, ts int)");
    db.begin();
    db.query("delete from replays where id = ?", {id});
    bool ok = db.error == 0;
    if (ok) {
        db.query("insert into replays (id,replay,ts) values (?,?,?)", {id, b64, ts});
        ok = db.error == 0;
    }
    if (ok) db.commit();
    else db.rollback();
    return ok;
}

std::string game_replay_find(MyDB& db, const char* id) {
    if (_game_db_columns(db, "replays") == 0) return std::string();  // nothing kept yet
    MyResult r = db.query("select replay from replays where id = ?", {id});
    return r.empty() ? std::string() : r[0]["replay"];
}

void game_replay_keep(Game& game) {
    const LevelData& lev = game.level;
    if (lev.t_rewind != 0 || lev.c_bonus != lev.t_bonus) return;  // not a win that unlocks sharing
    std::string bytes;
    if (!logic_replay_finish(game, bytes)) {
        fprintf(stderr, "replay: this win was not recorded from its start; win it again to share the map\n");
        return;
    }
    std::string id(game._edit.id, strnlen(game._edit.id, sizeof(game._edit.id)));
    if (!game_replay_store(game.userdb, id.c_str(), base64_encode(bytes)))
        fprintf(stderr, "replay: the replay of %s could not be stored\n", id.c_str());
}
