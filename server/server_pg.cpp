// The store on a PostgreSQL server through libpq, so that several service
// processes on several machines share one database. Statements are written
// with SQLite's '?' and numbered here; each is prepared once per connection.
#include "server.h"

#ifdef VELQUIST_POSTGRESQL

#include <libpq-fe.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

enum { PG_BYTEA_OID = 17 };

const char* const PG_TABLES[] = {
    "create table if not exists accounts (name text primary key, token text not null, salt text not null, "
    "pwhash text not null, created bigint not null)",
    "create unique index if not exists accounts_lower on accounts (lower(name))",
    "create table if not exists maps (n bigserial primary key, name text not null unique, uid text not null, "
    "author text not null, title text not null default '', intro text not null default '', data bytea not null, "
    "ts bigint not null, featured int not null default 0)",
    "create table if not exists plays (n bigserial primary key, lid text not null, player text not null, "
    "tm bigint, bonus bigint, rewind bigint, extra bigint, stars int, skulls int, ts bigint not null)",
    "create table if not exists ratings (lid text not null, uid text not null, stars int not null, "
    "skulls int not null, ts bigint not null, primary key (lid, uid))",
    "create table if not exists events (n bigserial primary key, player text not null, page text, "
    "category text, action text, value bigint, ts bigint not null)",
    "create table if not exists map_players (lid text not null, player text not null, primary key (lid, player))",
    "create table if not exists meta (key text primary key, value text not null)",
    "create table if not exists proofs (lid text not null, player text not null, score bigint not null, "
    "ticks bigint not null, digest text not null, ts bigint not null, primary key (lid, player))",
    // The rate limits and checking budgets of every process on this database
    // (server_limit.cpp). Unlogged: a crash forgets them, as a restart does.
    "create unlogged table if not exists rate_buckets (key text primary key, tokens double precision not null, "
    "last double precision not null, seen double precision not null)",
};

// The same columns as on SQLite (server_db.cpp), in PostgreSQL's types.
const ServerAddedColumn PG_ADDED[] = {
    {"accounts", "tsalt", "text not null default ''"},
    {"accounts", "thash", "text not null default ''"},
    {"maps", "players", "int not null default 0"},
    {"maps", "stars", "double precision not null default 0"},
    {"maps", "skulls", "double precision not null default 0"},
    {"maps", "rev", "bigint not null default 0"},
    {"maps", "measured", "double precision not null default 0"},
    {"maps", "replay", "text not null default ''"},
};

// A bucket is (tokens, last); the level is the tokens refilled up to now, and
// `seen` the level a take found. Every process sharing the database takes
// from it in one statement each: a take never reads a level that another
// process is changing.
#define PG_BUCKET_LEVEL "least($4::float8, b.tokens + greatest(0, $3::float8 - b.last) * $5::float8)"
const char PG_BUCKET_TAKE[] =
    "insert into rate_buckets as b (key, tokens, last, seen) values ($1, $2::float8, $3::float8, $4::float8) "
    "on conflict (key) do update set seen = " PG_BUCKET_LEVEL ", "
    "tokens = least($4::float8, " PG_BUCKET_LEVEL " - case when " PG_BUCKET_LEVEL " >= $6::float8 then $7::float8 "
    "else 0 end), "
    "last = greatest(b.last, $3::float8) returning seen";
#undef PG_BUCKET_LEVEL

// Several processes on several machines may share one database: set-up is
// serialised, and the rate buckets live in it.
const ServerDialect PG_DIALECT = {
    PG_TABLES, sizeof(PG_TABLES) / sizeof(PG_TABLES[0]),
    PG_ADDED, sizeof(PG_ADDED) / sizeof(PG_ADDED[0]),
    "select 1 as x from information_schema.columns where table_name = ? and column_name = ?",
    "select pg_advisory_lock(8471)", "select pg_advisory_unlock(8471)",
    "select name, token, tsalt, thash, salt, pwhash from accounts where lower(name) = lower(?)",
    "begin",
    PG_BUCKET_TAKE, "select tokens, last from rate_buckets where key = ?",
    "delete from rate_buckets where last < ?::float8",
    "analyze",
};

int pg_hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// bytea arrives as "\x" and two hex digits a byte.
std::string pg_unhex(const char* text, int len) {
    std::string out;
    if (len < 2 || text[0] != '\\' || text[1] != 'x') return std::string(text, (size_t)len);
    out.reserve((size_t)(len - 2) / 2);
    for (int i = 2; i + 1 < len; i += 2) {
        int hi = pg_hex(text[i]), lo = pg_hex(text[i + 1]);
        if (hi < 0 || lo < 0) break;
        out += (char)(hi * 16 + lo);
    }
    return out;
}

// "a = ? and b = ?" -> "a = $1 and b = $2"; quoted text is left alone.
std::string pg_numbered(const char* sql, int* count) {
    std::string out;
    bool quoted = false;
    *count = 0;
    for (const char* c = sql; *c; c++) {
        if (*c == '\'') quoted = !quoted;
        if (*c == '?' && !quoted) out += "$" + std::to_string(++*count);
        else out += *c;
    }
    return out;
}

class PgDB : public ServerDBImpl {
public:
    PGconn* conn = nullptr;
    std::unordered_map<std::string, std::string> prepared;  // the service's SQL -> statement name

    ~PgDB() override {
        if (conn) PQfinish(conn);
    }
    const ServerDialect& dialect() const override { return PG_DIALECT; }

    bool failed(PGresult* res, const char* what) {
        ExecStatusType st = PQresultStatus(res);
        if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK) return false;
        fprintf(stderr, "postgresql:%s %s", what, PQerrorMessage(conn));
        // A lost connection is made again for the next request.
        if (PQstatus(conn) == CONNECTION_BAD) {
            PQreset(conn);
            prepared.clear();
        }
        return true;
    }

    const char* statement(const char* sql) {
        auto it = prepared.find(sql);
        if (it != prepared.end()) return it->second.c_str();
        int count = 0;
        std::string text = pg_numbered(sql, &count);
        std::string name = "s" + std::to_string(prepared.size());
        PGresult* res = PQprepare(conn, name.c_str(), text.c_str(), count, nullptr);
        bool bad = failed(res, "prepare");
        PQclear(res);
        if (bad) return nullptr;
        return prepared.emplace(sql, name).first->second.c_str();
    }

    MyResult query(const char* sql, const MyParams& params, unsigned blobs, bool* ok) override {
        MyResult result;
        *ok = false;
        PGresult* res = nullptr;
        if (params.empty() && strchr(sql, '?') == nullptr && strncmp(sql, "select", 6) != 0) {
            res = PQexec(conn, sql);  // begin, commit, schema: nothing worth preparing
        } else {
            const char* name = statement(sql);
            if (!name) return result;
            std::vector<const char*> values(params.size());
            std::vector<int> lengths(params.size()), formats(params.size());
            for (size_t i = 0; i < params.size(); i++) {
                values[i] = params[i].data();
                lengths[i] = (int)params[i].size();
                formats[i] = i < 32 && (blobs >> i & 1u) ? 1 : 0;
            }
            res = PQexecPrepared(conn, name, (int)params.size(), values.data(), lengths.data(), formats.data(), 0);
        }
        if (failed(res, "query")) {
            PQclear(res);
            return result;
        }
        int rows = PQntuples(res), columns = PQnfields(res);
        result.resize((size_t)rows);
        for (int c = 0; c < columns; c++) {
            std::string column = PQfname(res, c);
            bool bytes = PQftype(res, c) == PG_BYTEA_OID;
            for (int r = 0; r < rows; r++) {
                const char* text = PQgetvalue(res, r, c);
                int len = PQgetlength(res, r, c);
                result[(size_t)r][column] = bytes ? pg_unhex(text, len) : std::string(text, (size_t)len);
            }
        }
        PQclear(res);
        *ok = true;
        return result;
    }
};

// Notices (an index that already exists, say) are not worth a line each.
void pg_quiet(void*, const char*) {}

}  // namespace

ServerDBImpl* server_pg_open(const std::string& url) {
    PgDB* db = new PgDB();
    db->conn = PQconnectdb(url.c_str());
    if (!db->conn || PQstatus(db->conn) != CONNECTION_OK) {
        fprintf(stderr, "server: cannot reach the PostgreSQL store: %s", db->conn ? PQerrorMessage(db->conn) : "no memory\n");
        delete db;
        return nullptr;
    }
    PQsetNoticeProcessor(db->conn, pg_quiet, nullptr);
    return db;
}

#endif
