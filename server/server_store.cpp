// The service's store: one SQLite file with accounts, shared maps, plays,
// ratings and usage events; and the list files that downloads answer with.
#include "server.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "util.h"

static const char* const SCHEMA[] = {
    "create table if not exists accounts (name text primary key collate nocase, token text not null, "
    "salt text not null, pwhash text not null, created int not null)",
    // n is the service's own key: the public id of a map is "m" followed by it.
    "create table if not exists maps (n integer primary key autoincrement, name text not null unique, "
    "uid text not null, author text not null, title text not null default '', intro text not null default '', "
    "data blob not null, ts int not null, featured int not null default 0)",
    "create index if not exists maps_uid on maps (uid)",
    "create table if not exists plays (n integer primary key autoincrement, lid text not null, "
    "player text not null, tm int, bonus int, rewind int, extra int, stars int, skulls int, ts int not null)",
    "create index if not exists plays_lid on plays (lid)",
    "create index if not exists plays_player on plays (player)",
    "create table if not exists ratings (lid text not null, uid text not null, stars int not null, "
    "skulls int not null, ts int not null, primary key (lid, uid))",
    "create index if not exists ratings_uid on ratings (uid)",
    "create table if not exists events (n integer primary key autoincrement, player text not null, "
    "page text, category text, action text, value int, ts int not null)",
    "create index if not exists events_player on events (player)",
};

static const char STORE_FILE[] = "velquist.db";
enum { STORE_BUSY_MS = 2000 };

bool server_store_open(ServerStore& st, const std::string& dir) {
    st.ok = false;
    // The store holds what signs players in: keep it to its owner. Missing
    // parents are made too, so that a first run needs no set-up.
    for (size_t slash = dir.find('/', 1); ; slash = dir.find('/', slash + 1)) {
        std::string part = dir.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            fprintf(stderr, "server: cannot create %s: %s\n", part.c_str(), strerror(errno));
            return false;
        }
        if (slash == std::string::npos) break;
    }
    std::string path = dir + "/" + STORE_FILE;
    st.db.open(path.c_str());
    if (!st.db._db) return false;
    chmod(path.c_str(), 0600);
    sqlite3_busy_timeout(st.db._db, STORE_BUSY_MS);
    st.db.query("pragma journal_mode = wal");
    for (const char* sql : SCHEMA) {
        st.db.query(sql);
        if (st.db.error) {
            fprintf(stderr, "server: cannot set up %s\n", path.c_str());
            st.db.close();
            return false;
        }
    }
    st.ok = true;
    return true;
}

int server_store_seed(ServerStore& st, const std::string& seed_path) {
    struct stat info;
    if (stat(seed_path.c_str(), &info) != 0) {
        fprintf(stderr, "server: no seed maps at %s\n", seed_path.c_str());
        return -1;
    }
    MyDB seed;
    seed.open_readonly(seed_path.c_str());
    MyResult rows = seed.query("select name, title, intro, data from levels order by name asc");
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
        if (map.data.empty() || !server_map_store(st, map, old.ts ? old.ts : now)) continue;
        loaded++;
    }
    return loaded;
}

bool server_account_find(ServerStore& st, const std::string& name, ServerAccount& out) {
    MyResult r = st.db.query("select name, token, salt, pwhash from accounts where name = ?", {name});
    if (r.empty()) return false;
    out.name = r[0]["name"];
    out.token = r[0]["token"];
    out.salt = r[0]["salt"];
    out.pwhash = r[0]["pwhash"];
    return true;
}

bool server_account_create(ServerStore& st, const std::string& name, const std::string& password) {
    assert(server_name_ok(name) && "names are checked before they reach the store");
    std::string salt = server_new_salt();
    st.db.query("insert into accounts (name, token, salt, pwhash, created) values (?,?,?,?,?)",
                {name, server_token(name, password), salt, server_password_hash(salt, password),
                 std::to_string((long)time(nullptr))});
    return !st.db.error;
}

bool server_account_password(ServerStore& st, const std::string& name, const std::string& password) {
    std::string salt = server_new_salt();
    st.db.query("update accounts set token = ?, salt = ?, pwhash = ? where name = ?",
                {server_token(name, password), salt, server_password_hash(salt, password), name});
    return !st.db.error;
}

bool server_map_find(ServerStore& st, const std::string& name, ServerMap& out) {
    MyResult r = st.db.query("select 'm' || n as id, name, uid, author, title, intro, data, ts, featured "
                             "from maps where name = ?",
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
    return true;
}

bool server_map_store(ServerStore& st, const ServerMap& map, long now) {
    st.db.query("insert into maps (name, uid, author, title, intro, data, ts, featured) values (?,?,?,?,?,?,?,?) "
                "on conflict (name) do update set author = excluded.author, title = excluded.title, "
                "intro = excluded.intro, data = excluded.data, ts = excluded.ts, "
                "featured = case when excluded.featured > 0 then excluded.featured else maps.featured end "
                "where maps.uid = excluded.uid",
                {map.name, map.uid, map.author, map.title, map.intro, map.data, std::to_string(now),
                 std::to_string(map.featured)});
    return !st.db.error;
}

void server_play_store(ServerStore& st, const ServerPlay& p, long now) {
    st.db.query("insert into plays (lid, player, tm, bonus, rewind, extra, stars, skulls, ts) "
                "values (?,?,?,?,?,?,?,?,?)",
                {p.lid, p.player, std::to_string(p.tm), std::to_string(p.bonus), std::to_string(p.rewind),
                 std::to_string(p.extra), std::to_string(p.stars), std::to_string(p.skulls), std::to_string(now)});
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
}

void server_event_store(ServerStore& st, const std::string& player, const std::string& page,
                        const std::string& category, const std::string& action, long value, long now) {
    st.db.query("insert into events (player, page, category, action, value, ts) values (?,?,?,?,?,?)",
                {player, page, category, action, std::to_string(value), std::to_string(now)});
}

// Every list shares the columns; its query adds the choice and the order.
static const char LIST_SELECT[] =
    "select 'm' || m.n as id, m.name, m.data, m.ts, m.author, m.title, m.uid, m.intro, "
    "coalesce((select avg(r.stars) from ratings r where r.lid = m.name and r.stars > 0), 0) as stars, "
    "coalesce((select avg(r.skulls) from ratings r where r.lid = m.name and r.skulls > 0), 0) as skulls "
    "from maps m ";

bool server_list(ServerStore& st, const std::string& q, const std::string& viewer, MyResult& out,
                 std::string& why) {
    std::string limit = " limit " + std::to_string((int)SERVER_LIST_MAX);
    std::string fav = std::to_string((int)SERVER_FAVORITE_STARS);
    std::string sql = LIST_SELECT;
    MyParams params;
    size_t tilde = q.find('~');
    std::string kind = q.substr(0, tilde == std::string::npos ? q.size() : tilde + 1);
    std::string who = tilde == std::string::npos ? std::string() : q.substr(tilde + 1);
    if (q == "c~featured") {
        sql += "where m.featured > 0 order by m.featured asc, m.n desc";
    } else if (q == "c~popular") {
        sql += "order by (select count(distinct p.player) from plays p where p.lid = m.name) desc, "
               "stars desc, m.n desc";
    } else if (q == "c~newest") {
        sql += "order by m.ts desc, m.n desc";
    } else if (q == "c~favorites" || q == "c~friends") {
        if (viewer.empty()) {
            why = q == "c~friends" ? "Sign in to see the maps of your friends."
                                   : "Sign in to see your favorite maps.";
            return false;
        }
        if (q == "c~favorites") return server_list(st, "f~" + viewer, viewer, out, why);
        // Friends: the authors of the maps the player loves, the player aside.
        sql += "where m.uid in (select m2.uid from maps m2 join ratings f on f.lid = m2.name "
               "where f.uid = ? and f.stars >= " + fav + ") and m.uid <> ? order by m.ts desc, m.n desc";
        params = {viewer, viewer};
    } else if (kind == "u~" && !who.empty()) {
        sql += "where m.uid = ? order by m.ts desc, m.n desc";
        params = {who};
    } else if (kind == "f~" && !who.empty()) {
        sql += "join ratings f on f.lid = m.name where f.uid = ? and f.stars >= " + fav +
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
    MyDB mem;
    mem.open(":memory:");
    mem.query("create table levels (id text primary key, name text, data blob, ts int, author text, title text, "
              "q text, uid text, stars float, skulls float, intro text, value int)");
    if (mem.error) return std::string();
    mem.begin();
    for (size_t i = 0; i < rows.size(); i++) {
        const MyRow& r = rows[i];
        auto col = [&r](const char* k) {
            auto it = r.find(k);
            return it == r.end() ? std::string() : it->second;
        };
        mem.query("insert into levels (id,name,data,ts,author,title,q,uid,stars,skulls,intro,value) "
                  "values (?,?,?,?,?,?,?,?,?,?,?,?)",
                  {col("id"), col("name"), col("data"), col("ts"), col("author"), col("title"), q, col("uid"),
                   col("stars"), col("skulls"), col("intro"), std::to_string(i)});
        if (mem.error) return std::string();
    }
    mem.commit();
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(mem._db, "main", &size, 0);
    if (!bytes) {
        fprintf(stderr, "server: a list of %zu maps could not be written\n", rows.size());
        return std::string();
    }
    std::string out((const char*)bytes, (size_t)size);
    sqlite3_free(bytes);
    return out;
}

int server_count(ServerStore& st, const char* table) {
    for (const char* c = table; *c; c++) assert(((*c >= 'a' && *c <= 'z') || *c == '_') && "a table name");
    MyResult r = st.db.query((std::string("select count(*) as n from ") + table).c_str());
    return r.empty() ? -1 : atoi(r[0]["n"].c_str());
}
