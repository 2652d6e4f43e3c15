// The service's store: accounts, shared maps with their kept counts of
// players and ratings, plays, ratings and usage events, a player's stats,
// and the rate buckets shared by several processes; and the list files that
// downloads answer with. Every statement of the service is here, written
// once for SQLite and PostgreSQL; what the two say differently is in their
// connections' dialects (server_db.cpp, server_pg.cpp).
#include "server.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "logic.h"
#include "util.h"

namespace {

const char* const INDEXES[] = {
    "create index if not exists maps_uid on maps (uid, ts)",
    "create index if not exists maps_popular on maps (players, stars, n)",
    "create index if not exists maps_newest on maps (ts, n)",
    "create index if not exists maps_featured on maps (featured, n)",
    "create index if not exists plays_lid on plays (lid)",
    "create index if not exists plays_player on plays (player)",
    "create index if not exists ratings_uid on ratings (uid)",
    "create index if not exists events_player on events (player)",
    "create index if not exists proofs_rank on proofs (lid, score desc, ticks, ts, player)",
};

bool has_column(ServerStore& st, const char* table, const char* column) {
    return !st.db.query(st.db.dialect().has_column, {table, column}).empty();
}

bool store_schema(ServerStore& st) {
    const ServerDialect& d = st.db.dialect();
    for (size_t i = 0; i < d.tables_count; i++)
        if (st.db.query(d.tables[i]), st.db.error) return false;
    for (size_t i = 0; i < d.added_count; i++) {
        const ServerAddedColumn& added = d.added[i];
        if (has_column(st, added.table, added.column)) continue;
        std::string sql = std::string("alter table ") + added.table + " add column " + added.column + " " + added.type;
        if (st.db.query(sql.c_str()), st.db.error) return false;
    }
    for (const char* sql : INDEXES)
        if (st.db.query(sql), st.db.error) return false;
    // A store from before the kept counts gets them once, from its plays and ratings.
    if (st.db.query("select value from meta where key = 'counts'").empty()) {
        st.db.begin();
        st.db.query("insert into map_players (lid, player) select distinct lid, player from plays where true "
                    "on conflict do nothing");
        bool ok = !st.db.error && server_store_recount(st);
        st.db.query("insert into meta (key, value) values ('counts', '1')");
        if (!ok || st.db.error) {
            st.db.rollback();
            return false;
        }
        st.db.commit();
    }
    return !st.db.error;
}

// A map's ratings as the lists show them: the averages of its non-zero
// ratings; a featured map shows its measured difficulty until rated.
#define RATINGS_SQL \
    "stars = coalesce((select avg(r.stars) from ratings r where r.lid = maps.name and r.stars > 0), 0), " \
    "skulls = coalesce((select avg(r.skulls) from ratings r where r.lid = maps.name and r.skulls > 0), measured), " \
    "rev = rev + 1"
const char RECOUNT_SQL[] = "players = (select count(*) from map_players p where p.lid = maps.name), " RATINGS_SQL;

}  // namespace

bool server_store_open(ServerStore& st, const std::string& where) {
    st.ok = false;
    st.where = where;
    if (!st.db.open(where)) return false;
    const ServerDialect& d = st.db.dialect();
    if (d.setup_lock) st.db.query(d.setup_lock);
    bool ok = store_schema(st);
    if (d.setup_unlock) st.db.query(d.setup_unlock);
    if (!ok) {
        fprintf(stderr, "server: cannot set up the store at %s\n",
                server_is_postgres_url(where) ? "the PostgreSQL database" : where.c_str());
        st.db.close();
        return false;
    }
    st.ok = true;
    return true;
}

bool server_store_recount(ServerStore& st) {
    st.db.query((std::string("update maps set ") + RECOUNT_SQL).c_str());
    return !st.db.error;
}

int server_store_seed(ServerStore& st, const std::string& seed_path) {
    struct stat info;
    if (stat(seed_path.c_str(), &info) != 0) {
        fprintf(stderr, "server: no seed maps at %s\n", seed_path.c_str());
        return -1;
    }
    MyDB seed;
    seed.open_readonly(seed_path.c_str());
    MyResult rows = seed.query("select id, name, title, intro, data from levels order by name asc");
    if (!seed._db || seed.error) return -1;
    int loaded = 0;
    long now = (long)time(nullptr);
    for (size_t i = 0; i < rows.size(); i++) {
        MyRow& row = rows[i];
        LevelData lev;
        ServerMap map, old;
        map.name = row["name"];
        if (!server_map_name_ok(map.name) || !server_record_inflate(row["data"], lev)) {
            fprintf(stderr, "server: seed map '%s' is not a valid map; skipped\n", map.name.c_str());
            continue;
        }
        map.replay = game_replay_find(seed, row["id"].c_str());
        if (!server_replay_seed_ok(map.name, map.replay, lev)) continue;
        if (server_map_find(st, map.name, old) && old.uid != server_uid(SERVER_SEED_AUTHOR)) {
            fprintf(stderr, "server: seed map '%s' is taken by %s; skipped\n", map.name.c_str(), old.uid.c_str());
            continue;
        }
        map.author = SERVER_SEED_AUTHOR;
        map.uid = server_uid(SERVER_SEED_AUTHOR);
        map.title = server_clean_text(row["title"], sizeof(lev.title) - 1);
        map.intro = server_clean_text(row["intro"], sizeof(lev.intro) - 1);
        mystrcpy(lev.author, sizeof(lev.author), map.author.c_str());
        mystrcpy(lev.uid, sizeof(lev.uid), map.uid.c_str());
        map.data = server_record_pack(lev);
        map.featured = (int)i + 1;
        map.measured = lev.skulls > 0 && lev.skulls <= 5 ? lev.skulls : 0;
        map.digest = server_map_digest(lev);
        // Unchanged seed maps are left as they are, so that the lists built from them stay good.
        std::string old_replay;
        if (!old.data.empty() && old.data == map.data && old.title == map.title && old.intro == map.intro &&
            old.featured == map.featured && std::fabs(old.measured - map.measured) < 1e-4f &&
            server_map_replay(st, map.name, old_replay) && old_replay == map.replay) {
            loaded++;
            continue;
        }
        if (map.data.empty() || !server_map_store(st, map, old.ts ? old.ts : now)) continue;
        loaded++;
    }
    return loaded;
}

bool server_account_find(ServerStore& st, const std::string& name, ServerAccount& out) {
    MyResult r = st.db.query(st.db.dialect().account_find, {name});
    if (r.empty()) return false;
    out.name = r[0]["name"];
    out.token = r[0]["token"];
    out.tsalt = r[0]["tsalt"];
    out.thash = r[0]["thash"];
    out.salt = r[0]["salt"];
    out.pwhash = r[0]["pwhash"];
    return true;
}

bool server_account_create(ServerStore& st, const std::string& name, const std::string& password) {
    assert(server_name_ok(name) && "names are checked before they reach the store");
    std::string salt = server_new_salt(), tsalt = server_new_salt();
    st.db.query("insert into accounts (name, token, tsalt, thash, salt, pwhash, created) values (?,'',?,?,?,?,?)",
                {name, tsalt, server_password_hash(tsalt, server_token(name, password), SERVER_TOKEN_ROUNDS), salt,
                 server_password_hash(salt, password), std::to_string((long)time(nullptr))});
    return !st.db.error;
}

bool server_account_password(ServerStore& st, const std::string& name, const std::string& password) {
    std::string salt = server_new_salt(), tsalt = server_new_salt();
    st.db.query("update accounts set token = '', tsalt = ?, thash = ?, salt = ?, pwhash = ? where name = ?",
                {tsalt, server_password_hash(tsalt, server_token(name, password), SERVER_TOKEN_ROUNDS), salt,
                 server_password_hash(salt, password), name});
    return !st.db.error;
}

bool server_account_move_over(ServerStore& st, const ServerAccount& acc, const std::string& token) {
    std::string tsalt = server_new_salt();
    // Only the row as it was read: a password changed meanwhile stays.
    st.db.query("update accounts set token = '', tsalt = ?, thash = ? where name = ? and token = ?",
                {tsalt, server_password_hash(tsalt, token, SERVER_TOKEN_ROUNDS), acc.name, acc.token});
    return !st.db.error;
}

bool server_map_find(ServerStore& st, const std::string& name, ServerMap& out) {
    MyResult r = st.db.query("select 'm' || n as id, name, uid, author, title, intro, data, ts, featured, "
                             "measured from maps where name = ?",
                             {name});
    if (r.empty()) return false;
    MyRow& row = r[0];
    out.id = row["id"];
    out.name = row["name"];
    out.uid = row["uid"];
    out.author = row["author"];
    out.title = row["title"];
    out.intro = row["intro"];
    out.data = row["data"];
    out.ts = atol(row["ts"].c_str());
    out.featured = atoi(row["featured"].c_str());
    out.measured = (float)atof(row["measured"].c_str());
    return true;
}

bool server_map_store(ServerStore& st, const ServerMap& map, long now) {
    st.db.begin();
    st.db.query("insert into maps (name, uid, author, title, intro, data, ts, featured, measured, replay) "
                "values (?,?,?,?,?,?,?,?,?,?) "
                "on conflict (name) do update set author = excluded.author, title = excluded.title, "
                "intro = excluded.intro, data = excluded.data, ts = excluded.ts, measured = excluded.measured, "
                "replay = excluded.replay, "
                "featured = case when excluded.featured > 0 then excluded.featured else maps.featured end "
                "where maps.uid = excluded.uid",
                {map.name, map.uid, map.author, map.title, map.intro, map.data, std::to_string(now),
                 std::to_string(map.featured), std::to_string(map.measured), map.replay},
                1u << 5);
    // Plays may come before the map: a new one starts with the players it already had.
    if (!st.db.error)
        st.db.query((std::string("update maps set ") + RECOUNT_SQL + " where name = ?").c_str(), {map.name});
    // Scores proven on the map as it was are no scores of the map as it is.
    if (!st.db.error && !map.digest.empty())
        st.db.query("delete from proofs where lid = ? and digest <> ? and "
                    "exists (select 1 from maps where name = ? and uid = ?)",
                    {map.name, map.digest, map.name, map.uid});
    if (st.db.error) {
        st.db.rollback();
        return false;
    }
    st.db.commit();
    return !st.db.error;
}

void server_play_store(ServerStore& st, const ServerPlay& p, long now) {
    st.db.query("insert into plays (lid, player, tm, bonus, rewind, extra, stars, skulls, ts) "
                "values (?,?,?,?,?,?,?,?,?)",
                {p.lid, p.player, std::to_string(p.tm), std::to_string(p.bonus), std::to_string(p.rewind),
                 std::to_string(p.extra), std::to_string(p.stars), std::to_string(p.skulls), std::to_string(now)});
    if (st.db.error) return;
    // Popular counts different players: only a player's first win of a map moves it.
    MyResult first = st.db.query("insert into map_players (lid, player) values (?,?) on conflict do nothing "
                                 "returning lid",
                                 {p.lid, p.player});
    if (!st.db.error && !first.empty())
        st.db.query("update maps set players = players + 1 where name = ?", {p.lid});
}

bool server_map_replay(ServerStore& st, const std::string& name, std::string& out) {
    MyResult r = st.db.query("select replay from maps where name = ?", {name});
    if (r.empty() || r[0]["replay"].empty()) return false;
    out = r[0]["replay"];
    return true;
}

bool server_proof_store(ServerStore& st, const ServerProof& p, long now) {
    // An equal play proven again keeps the earlier proof's place.
    st.db.query("insert into proofs (lid, player, score, ticks, digest, ts) values (?,?,?,?,?,?) "
                "on conflict (lid, player) do update set score = excluded.score, ticks = excluded.ticks, "
                "digest = excluded.digest, ts = excluded.ts "
                "where excluded.score > proofs.score or "
                "(excluded.score = proofs.score and excluded.ticks < proofs.ticks) or proofs.digest <> excluded.digest",
                {p.lid, p.player, std::to_string(p.score), std::to_string(p.ticks), p.digest, std::to_string(now)});
    return !st.db.error;
}

bool server_proof_standings(ServerStore& st, const std::string& lid, const std::string& player,
                            ServerStandings& out) {
    out = ServerStandings();
    static const std::string best_sql = "select player, score, ticks from proofs where lid = ? "
                                        "order by score desc, ticks asc, ts asc, player asc limit " +
                                        std::to_string((int)SERVER_PROOFS_SHOWN);
    MyResult best = st.db.query(best_sql.c_str(), {lid});
    if (st.db.error) return false;
    for (MyRow& r : best) {
        ServerStanding s;
        s.rank = (long)out.best.size() + 1;
        s.player = r["player"];
        s.score = atol(r["score"].c_str());
        s.ticks = atol(r["ticks"].c_str());
        out.best.push_back(s);
    }
    MyResult count = st.db.query("select count(*) as n from proofs where lid = ?", {lid});
    if (st.db.error || count.empty()) return false;
    out.count = atol(count[0]["n"].c_str());
    if (player.empty()) return true;
    MyResult own = st.db.query("select score, ticks, ts from proofs where lid = ? and player = ?", {lid, player});
    if (st.db.error) return false;
    if (own.empty()) return true;
    MyRow& o = own[0];
    // Its place in the same order as the best: those before it, plus one.
    MyResult before = st.db.query(
        "select count(*) as n from proofs where lid = ? and (score > ? or (score = ? and (ticks < ? or "
        "(ticks = ? and (ts < ? or (ts = ? and player < ?))))))",
        {lid, o["score"], o["score"], o["ticks"], o["ticks"], o["ts"], o["ts"], player});
    if (st.db.error || before.empty()) return false;
    out.has_own = true;
    out.own.player = player;
    out.own.score = atol(o["score"].c_str());
    out.own.ticks = atol(o["ticks"].c_str());
    out.own.rank = atol(before[0]["n"].c_str()) + 1;
    return true;
}

bool server_play_report(ServerStore& st, const ServerPlay& p, const std::string& rater, long now) {
    st.db.begin();
    bool failed = st.db.error != 0;
    if (!failed) {
        server_play_store(st, p, now);
        failed = st.db.error != 0;
    }
    // Ratings count on maps the service holds, and never from a map's own author.
    ServerMap map;
    if (!failed && !rater.empty() && server_map_find(st, p.lid, map) && map.uid != rater) {
        server_rating_store(st, p.lid, rater, p.stars, p.skulls, now);
        failed = st.db.error != 0;
    }
    if (failed) st.db.rollback();
    else st.db.commit();
    return !failed && st.db.error == 0;
}

void server_rating_store(ServerStore& st, const std::string& lid, const std::string& uid, int stars, int skulls,
                         long now) {
    if (stars == 0 && skulls == 0) return;
    // A play left unrated in one part keeps the earlier rating of that part.
    st.db.query("insert into ratings (lid, uid, stars, skulls, ts) values (?,?,?,?,?) "
                "on conflict (lid, uid) do update set "
                "stars = case when excluded.stars > 0 then excluded.stars else ratings.stars end, "
                "skulls = case when excluded.skulls > 0 then excluded.skulls else ratings.skulls end, "
                "ts = excluded.ts",
                {lid, uid, std::to_string(stars), std::to_string(skulls), std::to_string(now)});
    if (st.db.error) return;
    st.db.query("update maps set " RATINGS_SQL " where name = ?", {lid});
}

void server_event_store(ServerStore& st, const std::string& player, const std::string& page,
                        const std::string& category, const std::string& action, long value, long now) {
    st.db.query("insert into events (player, page, category, action, value, ts) values (?,?,?,?,?,?)",
                {player, page, category, action, std::to_string(value), std::to_string(now)});
}

// Every list shares the columns; its query adds the choice and the order.
static const char LIST_SELECT[] =
    "select 'm' || m.n as id, m.name, m.data, m.ts, m.author, m.title, m.uid, m.intro, m.stars, m.skulls from maps m ";
static const char LIST_BRIEF[] = "select m.n, m.rev from maps m ";

bool server_list(ServerStore& st, const std::string& q, const std::string& viewer, MyResult& out,
                 std::string& why, bool brief) {
    std::string limit = " limit " + std::to_string((int)SERVER_LIST_MAX);
    std::string fav = std::to_string((int)SERVER_FAVORITE_STARS);
    std::string sql = brief ? LIST_BRIEF : LIST_SELECT;
    MyParams params;
    size_t tilde = q.find('~');
    std::string kind = q.substr(0, tilde == std::string::npos ? q.size() : tilde + 1);
    std::string who = tilde == std::string::npos ? std::string() : q.substr(tilde + 1);
    if (q == "c~featured") {
        sql += "where m.featured > 0 order by m.featured asc, m.n desc";
    } else if (q == "c~popular") {
        // From the kept counts: one pass down an index, however many plays there are.
        sql += "order by m.players desc, m.stars desc, m.n desc";
    } else if (q == "c~newest") {
        sql += "order by m.ts desc, m.n desc";
    } else if (q == "c~favorites" || q == "c~friends") {
        if (viewer.empty()) {
            why = q == "c~friends" ? "Sign in to see the maps of your friends."
                                   : "Sign in to see your favorite maps.";
            return false;
        }
        if (q == "c~favorites") return server_list(st, "f~" + viewer, viewer, out, why, brief);
        // Friends: the authors of the maps the player loves, the player aside.
        sql += "where m.uid in (select m2.uid from maps m2 join ratings f on f.lid = m2.name "
               "where f.uid = ? and f.stars >= " + fav + ") and m.uid <> ? order by m.ts desc, m.n desc";
        params = {viewer, viewer};
    } else if ((kind == "u~" || kind == "f~") && !who.empty()) {
        // Nobody's uid holds bytes that are not text: an empty list, on either store.
        if (!server_utf8_ok(who) || who.find('\0') != std::string::npos) {
            out.clear();
            return true;
        }
        if (kind == "u~") sql += "where m.uid = ? order by m.ts desc, m.n desc";
        else sql += "join ratings f on f.lid = m.name where f.uid = ? and f.stars >= " + fav +
                    " order by f.ts desc, m.n desc";
        params = {who};
    } else {
        why = "There is no such list of maps.";
        return false;
    }
    out = st.db.query((sql + limit).c_str(), params);
    if (st.db.error) {
        why = "The list could not be read; try again later.";
        return false;
    }
    return true;
}

std::string server_list_file(const std::string& q, const MyResult& rows) {
    // Straight on SQLite with one statement for every row: this runs for
    // every list that is not in the cache.
    static const std::string create = logic_levels_create() + "; begin", insert_sql = logic_levels_insert();
    sqlite3* mem = nullptr;
    sqlite3_stmt* insert = nullptr;
    std::string out;
    bool ok = sqlite3_open(":memory:", &mem) == SQLITE_OK &&
              sqlite3_exec(mem, create.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(mem, insert_sql.c_str(), -1, &insert, nullptr) == SQLITE_OK;
    for (size_t i = 0; ok && i < rows.size(); i++) {
        const MyRow& r = rows[i];
        std::string value = std::to_string(i);
        for (int c = 0; c < LOGIC_LEVELS_COLUMNS && ok; c++) {
            const char* name = logic_levels_columns[c].name;
            auto it = r.find(name);
            const std::string& v = strcmp(name, "q") == 0       ? q
                                   : strcmp(name, "value") == 0 ? value
                                   : it == r.end()              ? std::string()
                                                                : it->second;
            // Bound as text, as the game's own lists have them.
            ok = sqlite3_bind_text(insert, c + 1, v.data(), (int)v.size(), SQLITE_TRANSIENT) == SQLITE_OK;
        }
        ok = ok && sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(mem, "commit", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_int64 size = 0;
    unsigned char* bytes = ok ? sqlite3_serialize(mem, "main", &size, 0) : nullptr;
    if (bytes) out.assign((const char*)bytes, (size_t)size);
    else fprintf(stderr, "server: a list of %zu maps could not be written: %s\n", rows.size(), sqlite3_errmsg(mem));
    sqlite3_free(bytes);
    sqlite3_close(mem);
    return out;
}

ServerPlayerStats server_player_stats(ServerStore& st, const std::string& uid) {
    MyParams who = {uid};
    auto one = [&st, &who](const char* sql) {
        MyResult r = st.db.query(sql, who);
        return r.empty() ? std::string("0") : r[0]["n"];
    };
    ServerPlayerStats out;
    out.started = one("select count(*) as n from events where player = ? and action = 'start'");
    out.wins = one("select count(*) as n from plays where player = ?");
    out.maps_won = one("select count(distinct lid) as n from plays where player = ?");
    out.shared = one("select count(*) as n from maps where uid = ?");
    return out;
}

MyResult server_player_recent(ServerStore& st, const std::string& uid) {
    return st.db.query(
        "select p.lid, coalesce(m.title, p.lid) as title, p.tm, p.bonus, p.rewind, p.extra, p.stars, p.ts "
        "from plays p left join maps m on m.name = p.lid where p.player = ? order by p.n desc limit ?",
        {uid, std::to_string((int)SERVER_STATS_RECENT)});
}

MyResult server_player_maps(ServerStore& st, const std::string& uid) {
    return st.db.query(
        "select m.name, m.title, m.ts, m.stars, m.skulls, m.players "
        "from maps m where m.uid = ? order by m.ts desc limit ?",
        {uid, std::to_string((int)SERVER_LIST_MAX)});
}

static std::string _store_number(double v) {
    char text[32];
    snprintf(text, sizeof(text), "%.17g", v);
    return text;
}

bool server_bucket_take(ServerStore& st, const ServerRate& rule, const std::string& key, double now, double need,
                        double cost, double* level) {
    const char* sql = st.db.dialect().bucket_take;
    if (!sql) return false;
    double fresh = rule.burst >= need ? std::min(rule.burst, rule.burst - cost) : rule.burst;
    MyResult r = st.db.query(sql, {key, _store_number(fresh), _store_number(now), _store_number(rule.burst),
                                   _store_number(rule.per_second), _store_number(need), _store_number(cost)});
    // A store that cannot answer keeps the service open rather than shut.
    *level = r.empty() ? rule.burst : strtod(r[0]["seen"].c_str(), nullptr);
    return true;
}

bool server_bucket_peek(ServerStore& st, const ServerRate& rule, const std::string& key, double now, double* level) {
    const char* sql = st.db.dialect().bucket_peek;
    if (!sql) return false;
    MyResult r = st.db.query(sql, {key});
    if (r.empty()) {
        *level = rule.burst;  // never taken from, or the store cannot tell: full
        return true;
    }
    double tokens = strtod(r[0]["tokens"].c_str(), nullptr), last = strtod(r[0]["last"].c_str(), nullptr);
    *level = std::min(rule.burst, tokens + std::max(0.0, now - last) * rule.per_second);
    return true;
}

void server_buckets_prune(ServerStore& st, double before) {
    const char* sql = st.db.dialect().bucket_prune;
    if (sql) st.db.query(sql, {_store_number(before)});
}

void server_store_analyze(ServerStore& st) {
    const char* sql = st.db.dialect().analyze;
    if (sql) st.db.query(sql);
}

int server_count(ServerStore& st, const char* table) {
    for (const char* c = table; *c; c++) assert(((*c >= 'a' && *c <= 'z') || *c == '_') && "a table name");
    MyResult r = st.db.query((std::string("select count(*) as n from ") + table).c_str());
    return r.empty() ? -1 : atoi(r[0]["n"].c_str());
}
