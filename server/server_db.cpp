// The store's connection: one interface over an SQLite file (here) and a
// PostgreSQL server (server_pg.cpp), each with the SQL it says its own way
// (its dialect), and with prepared statements kept per connection because
// the same few statements run thousands of times.
#include "server.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace {

const char STORE_FILE[] = "velquist.db";
enum {
    DB_BUSY_MS = 5000,  // how long a writer waits for another before it gives up
    DB_STATEMENTS_MAX = 64,
};

// SQLite lets one writer in at a time and makes the others poll for their
// turn with growing sleeps. Within one process the workers rather queue on
// this lock: a writer then waits only as long as the one before it writes.
std::mutex g_sqlite_writer;

const char* const SQLITE_TABLES[] = {
    "create table if not exists accounts (name text primary key collate nocase, token text not null, "
    "salt text not null, pwhash text not null, created int not null)",
    // n is the service's own key: the public id of a map is "m" followed by it.
    "create table if not exists maps (n integer primary key autoincrement, name text not null unique, "
    "uid text not null, author text not null, title text not null default '', intro text not null default '', "
    "data blob not null, ts int not null, featured int not null default 0)",
    "create table if not exists plays (n integer primary key autoincrement, lid text not null, "
    "player text not null, tm int, bonus int, rewind int, extra int, stars int, skulls int, ts int not null)",
    "create table if not exists ratings (lid text not null, uid text not null, stars int not null, "
    "skulls int not null, ts int not null, primary key (lid, uid))",
    "create table if not exists events (n integer primary key autoincrement, player text not null, "
    "page text, category text, action text, value int, ts int not null)",
    "create table if not exists map_players (lid text not null, player text not null, "
    "primary key (lid, player)) without rowid",
    "create table if not exists meta (key text primary key, value text not null)",
    // Each account's best proven play of a map; digest: the map content it won.
    "create table if not exists proofs (lid text not null, player text not null, score int not null, "
    "ticks int not null, digest text not null, ts int not null, primary key (lid, player)) without rowid",
};

const ServerAddedColumn SQLITE_ADDED[] = {
    {"accounts", "tsalt", "text not null default ''"},
    {"accounts", "thash", "text not null default ''"},
    {"maps", "players", "int not null default 0"},
    {"maps", "stars", "real not null default 0"},
    {"maps", "skulls", "real not null default 0"},
    // Bumped whenever what a list file shows of the map changes.
    {"maps", "rev", "int not null default 0"},
    // The skulls the map tool measured for a featured map: a new campaign
    // shows its rising difficulty before anyone has rated it.
    {"maps", "measured", "real not null default 0"},
    // Base64 of the replay of the map's win: shares and featured maps carry one.
    {"maps", "replay", "text not null default ''"},
};

// One file belongs to one process: no set-up lock, and the rate buckets stay
// in the process's own table. Account names compare case-blind by their column.
const ServerDialect SQLITE_DIALECT = {
    SQLITE_TABLES, sizeof(SQLITE_TABLES) / sizeof(SQLITE_TABLES[0]),
    SQLITE_ADDED, sizeof(SQLITE_ADDED) / sizeof(SQLITE_ADDED[0]),
    "select 1 as x from pragma_table_info(?) where name = ?",
    nullptr, nullptr,
    "select name, token, tsalt, thash, salt, pwhash from accounts where name = ?",
    "begin immediate",
    nullptr, nullptr, nullptr,
    nullptr,
};

bool sqlite_writes(const char* sql) {
    return strncmp(sql, "select", 6) != 0 && strncmp(sql, "pragma", 6) != 0;
}

class SqliteDB : public ServerDBImpl {
public:
    sqlite3* db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements;
    std::unique_lock<std::mutex> writer{g_sqlite_writer, std::defer_lock};

    ~SqliteDB() override {
        for (auto& s : statements) sqlite3_finalize(s.second);
        if (db) sqlite3_close(db);
    }
    const ServerDialect& dialect() const override { return SQLITE_DIALECT; }
    void commits_checkpoint(bool on) override { sqlite3_wal_autocheckpoint(db, on ? 1000 : 0); }
    void checkpoint() override {
        // PASSIVE: copies what it can without waiting for, or holding up, anyone.
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }

    sqlite3_stmt* prepare(const char* sql) {
        auto it = statements.find(sql);
        if (it != statements.end()) return it->second;
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
        if (rc != SQLITE_OK) {
            fprintf(stderr, "sqlite3:prepare [%d] %s\n", rc, sqlite3_errmsg(db));
            sqlite3_finalize(stmt);
            return nullptr;
        }
        // The service's statements are a fixed few; anything past that is not kept.
        if (statements.size() < DB_STATEMENTS_MAX) statements.emplace(sql, stmt);
        return stmt;
    }

    MyResult query(const char* sql, const MyParams& params, unsigned blobs, bool* ok) override {
        bool ending = strcmp(sql, "commit") == 0 || strcmp(sql, "rollback") == 0;
        bool alone = !writer.owns_lock() && sqlite_writes(sql);
        if (alone) writer.lock();
        MyResult result = run(sql, params, blobs, ok);
        // The lock is kept from "begin" to its end; a statement alone holds it while it runs.
        bool in_transaction = !sqlite3_get_autocommit(db);
        if (ending && in_transaction) {
            run("rollback", MyParams(), 0, ok);  // a commit that failed: the transaction ends anyway
            *ok = false;
            in_transaction = false;
        }
        if (writer.owns_lock() && !in_transaction) writer.unlock();
        return result;
    }

    MyResult run(const char* sql, const MyParams& params, unsigned /*blobs*/, bool* ok) {
        MyResult result;
        *ok = false;
        sqlite3_stmt* stmt = prepare(sql);
        if (!stmt) return result;
        bool kept = statements.count(sql) > 0;
        // Maps are bound as text, as the stores made before kept them.
        int rc = SQLITE_OK;
        for (size_t i = 0; i < params.size() && rc == SQLITE_OK; i++)
            rc = sqlite3_bind_text(stmt, (int)i + 1, params[i].data(), (int)params[i].size(), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) fprintf(stderr, "sqlite3:bind [%d] %s\n", rc, sqlite3_errmsg(db));
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            result.emplace_back();
            MyRow& row = result.back();
            int columns = sqlite3_column_count(stmt);
            for (int c = 0; c < columns; c++) {
                const char* name = sqlite3_column_name(stmt, c);
                const unsigned char* text = sqlite3_column_text(stmt, c);
                int len = sqlite3_column_bytes(stmt, c);
                row[name ? name : ""] = text ? std::string((const char*)text, (size_t)len) : std::string();
            }
            rc = SQLITE_OK;
        }
        if (rc == SQLITE_DONE) *ok = true;
        else if (rc != SQLITE_OK) fprintf(stderr, "sqlite3:step [%d] %s\n", rc, sqlite3_errmsg(db));
        if (kept) {
            sqlite3_reset(stmt);
            sqlite3_clear_bindings(stmt);
        } else {
            sqlite3_finalize(stmt);
        }
        return result;
    }
};

// Makes the folder and its missing parents, kept to their owner: the store
// holds what signs players in.
bool make_folder(const std::string& dir) {
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        std::string part = dir.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            fprintf(stderr, "server: cannot create %s: %s\n", part.c_str(), strerror(errno));
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

ServerDBImpl* sqlite_open(const std::string& dir) {
    if (!make_folder(dir)) return nullptr;
    std::string path = dir + "/" + STORE_FILE;
    SqliteDB* s = new SqliteDB();
    if (sqlite3_open_v2(path.c_str(), &s->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        fprintf(stderr, "server: cannot open %s: %s\n", path.c_str(), s->db ? sqlite3_errmsg(s->db) : "no memory");
        delete s;
        return nullptr;
    }
    chmod(path.c_str(), 0600);
    sqlite3_busy_timeout(s->db, DB_BUSY_MS);
    bool ok = false;
    // Readers never wait for the writer in WAL mode. NORMAL syncs at each
    // checkpoint rather than each commit: a killed service loses nothing, a
    // power cut at most the last moments.
    MyResult mode = s->query("pragma journal_mode = wal", {}, 0, &ok);
    if (!ok || mode.empty() || mode[0].begin()->second != "wal") {
        fprintf(stderr, "server: %s cannot use a write-ahead log\n", path.c_str());
        delete s;
        return nullptr;
    }
    s->query("pragma synchronous = normal", {}, 0, &ok);
    return s;
}

}  // namespace

ServerDB::~ServerDB() { close(); }

bool ServerDB::open(const std::string& where) {
    close();
    error = 0;
    if (server_is_postgres_url(where)) {
        _impl = server_pg_open(where);
    } else {
        _impl = sqlite_open(where);
    }
    return _impl != nullptr;
}

const ServerDialect& ServerDB::dialect() const { return _impl ? _impl->dialect() : SQLITE_DIALECT; }

MyResult ServerDB::query(const char* sql, const MyParams& params, unsigned blobs) {
    if (!_impl) {
        error = 1;
        return MyResult();
    }
    bool ok = false;
    MyResult r = _impl->query(sql, params, blobs, &ok);
    error = ok ? 0 : 1;
    return r;
}

void ServerDB::begin() { query(_impl ? _impl->dialect().begin : "begin"); }
void ServerDB::commit() { query("commit"); }
void ServerDB::rollback() { query("rollback"); }

void ServerDB::close() {
    delete _impl;
    _impl = nullptr;
}

bool server_is_postgres_url(const std::string& where) {
    return where.compare(0, 13, "postgresql://") == 0 || where.compare(0, 11, "postgres://") == 0;
}

#ifndef VELQUIST_POSTGRESQL
ServerDBImpl* server_pg_open(const std::string& /*url*/) {
    fprintf(stderr, "server: this build has no PostgreSQL store (libpq was missing when it was built)\n");
    return nullptr;
}
#endif
