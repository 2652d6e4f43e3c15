// The reference online service: accounts, shared maps, lists, plays and the
// web pages the game opens, answered by one request handler without sockets.
//
// Sections: sizes and limits, requests and replies (server_http.cpp), text
// helpers (server_text.cpp), map records (server_record.cpp), the database
// connection (server_db.cpp, server_pg.cpp), the store (server_store.cpp),
// rate limits and caches (server_limit.cpp), the API (server_api.cpp), the
// web pages (server_pages.cpp), the daemon (server_daemon.cpp).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game.h"
#include "mydb.h"

// ---------------------------------------------------------------- sizes and limits

enum {
    // The game's encoding buffer: no honest map packs to more.
    SERVER_PACKED_MAX = 65536,
    SERVER_RECORD_SIZE = (int)sizeof(LevelData),
    // Base64 of the largest packed map.
    SERVER_DATA_B64_MAX = (SERVER_PACKED_MAX + 2) / 3 * 4,
    // Base64 of the largest replay (LOGIC_REPLAY_BYTES_MAX).
    SERVER_REPLAY_B64_MAX = (65536 + 2) / 3 * 4,
    // A request body: the percent-encoded Base64 of the map and its replay
    // (three bytes a character at worst) plus the texts. Bodies up to
    // SERVER_BODY_DRAIN are read and refused with a message; beyond that the
    // connection is dropped.
    SERVER_BODY_MAX = 3 * (SERVER_DATA_B64_MAX + SERVER_REPLAY_B64_MAX) + 16 * 1024,
    SERVER_BODY_DRAIN = 4 * 1024 * 1024,
    SERVER_TARGET_MAX = 8 * 1024,      // path and query of one request
    SERVER_PARAM_MAX = 255,            // any parameter but the map data
    SERVER_PARAMS_MAX = 64,            // pairs of one query or form
    SERVER_LIST_MAX = 50,              // maps of one downloaded list
    SERVER_HEADER_VALUE_MAX = 255,     // the game reads header values up to this
    SERVER_STATS_RECENT = 20,          // recent wins on a stats page
    SERVER_PROOFS_SHOWN = 5,           // best proven scores a map's standings show
    // Account names fit the map record's author field and, behind "g:",
    // its uid field, so that a map and its lists always carry the whole name.
    SERVER_NAME_MAX = (int)sizeof(LevelData::uid) - 1 - 2,
    SERVER_PASSWORD_MIN = 4,
    SERVER_PASSWORD_MAX = 63,          // the game's password field
    SERVER_VERSION_MIN = 2,            // older clients are told to upgrade
    SERVER_RATING_MAX = 5,
    SERVER_FAVORITE_STARS = 4,         // a rating of this many stars marks a favourite
    SERVER_HASH_ROUNDS = 20000,        // rounds of the web form's password hash
    // Rounds of the token's hash. The token is itself a hash of the password
    // and is checked on a sign-in that the service has not seen yet; fewer
    // rounds keep that cheap while a stolen store still signs no one in.
    SERVER_TOKEN_ROUNDS = 1000,
    SERVER_SALT_BYTES = 16,
    SERVER_DEFAULT_PORT = 8471,
    SERVER_WORKERS_DEFAULT = 8,        // request threads, each with its own store connection
    SERVER_DEADLINE_S = 20,            // a whole request (head and body) must arrive within this
    SERVER_PER_ADDRESS_MAX = 16,       // connections one address may hold at once
    SERVER_CONNECTIONS_MAX = 1024,
};
// Checking shares' replays (ServerLimits, ServerCheckPool): the CPU time one
// check may take (ten honest minutes on a crowded map take about a fifth of
// it), the CPU seconds of checking an account and an address may use a
// minute, and the checks that may wait for a checking thread.
static const double SERVER_CHECK_CPU_MAX_S = 0.25;
static const double SERVER_CHECK_ACCOUNT_S = 5;
static const double SERVER_CHECK_ADDRESS_S = 10;
enum { SERVER_CHECK_QUEUE = 32 };
static_assert(SERVER_NAME_MAX == 29, "a name plus \"g:\" fills the record's uid field");
static_assert(SERVER_NAME_MAX < (int)sizeof(LevelData::author), "a name fits the author field");

// The account that the seed maps are published under; nobody can create it.
#define SERVER_SEED_AUTHOR "Velquist"
// The prefix the game puts before an account name to make its user id.
#define SERVER_UID_PREFIX "g:"
#define SERVER_SCRIPT "/velquist/api.php"

// ---------------------------------------------------------------- requests and replies (server_http.cpp)

typedef std::vector<std::pair<std::string, std::string>> ServerPairs;
struct ServerCheck;

struct ServerReply {
    int status = 200;
    std::string type = "text/plain; charset=utf-8";
    ServerPairs headers;  // sent exactly as named
    std::string body;
    // Set when the answer waits for a costly check (server_check.cpp): the
    // rest of the reply is then made by the check's own answer.
    std::shared_ptr<ServerCheck> check;
};

// Decodes percent escapes and '+' (a space); a malformed escape stays as it is.
std::string server_urldecode(const std::string& text);
// Splits "a=1&b=2" (a leading '&' or '?' is fine) into decoded pairs. false
// when there are more than SERVER_PARAMS_MAX pairs.
bool server_parse_pairs(const std::string& text, ServerPairs& out);
// The first value of `key`, or "" (found tells whether it was there).
std::string server_param(const ServerPairs& pairs, const char* key, bool* found = nullptr);

// ---------------------------------------------------------------- text helpers (server_text.cpp)

std::string server_html_escape(const std::string& text);
// A header value the game can show: control characters become spaces, cut
// to SERVER_HEADER_VALUE_MAX bytes.
std::string server_header_value(const std::string& text);
// A stored text: cut at the first NUL and at max bytes; control characters
// other than newlines become spaces.
std::string server_clean_text(const std::string& text, size_t max);

// The path of a file in the folder of the running program (name itself when
// that folder cannot be told).
std::string server_beside_binary(const char* name);
// Letters, digits, space, '-', '_' and '.', 1..SERVER_NAME_MAX long, no space
// at either end.
bool server_name_ok(const std::string& name);
// A map's short identifier: 1..31 printable ASCII characters other than '|'.
bool server_map_name_ok(const std::string& name);
// Whole decimal number within [lo, hi].
bool server_parse_int(const std::string& text, long lo, long hi, long* out);
std::string server_uid(const std::string& name);
// The game's account token: md5(name + "|" + md5(password)).
std::string server_token(const std::string& name, const std::string& password);
// Hex of SERVER_SALT_BYTES random bytes.
std::string server_new_salt();
// The web form's slow salted password hash.
std::string server_password_hash(const std::string& salt, const std::string& password,
                                 int rounds = SERVER_HASH_ROUNDS);
// Compares without stopping at the first difference.
bool server_equal_secret(const std::string& a, const std::string& b);
// Whether text is well-formed UTF-8 (no overlong forms, no surrogates).
bool server_utf8_ok(const std::string& text);

// ---------------------------------------------------------------- map records (server_record.cpp)

// Base64 text of a packed map -> the record. false with a message the game
// can show in why.
bool server_record_decode(const std::string& b64, LevelData& out, std::string& why);
// Inflates packed bytes into exactly one record with the game's own
// decoding (logic_record_unpack); false when they are not one zlib stream of
// exactly SERVER_RECORD_SIZE bytes with nothing after it.
bool server_record_inflate(const std::string& packed, LevelData& out);
// The game's own encoding (logic_record_pack); empty on failure.
std::string server_record_pack(const LevelData& lev);

// ---------------------------------------------------------------- the database connection (server_db.cpp)

// A column added to a table since the first stores.
struct ServerAddedColumn {
    const char* table;
    const char* column;
    const char* type;
};

// Everything the store says differently on each kind of connection; the
// rest of its SQL is written once for both.
struct ServerDialect {
    const char* const* tables;  // created when missing, in this order
    size_t tables_count;
    const ServerAddedColumn* added;
    size_t added_count;
    // (table, column): a row when the table has the column.
    const char* has_column;
    // Around the set-up, among processes sharing one database; null when none do.
    const char* setup_lock;
    const char* setup_unlock;
    // An account by name, as the accounts' names compare.
    const char* account_find;
    // A write transaction, taken at once.
    const char* begin;
    // Rate buckets kept in the store, shared by every process on it; null
    // when each process keeps its own (server_limit.cpp). take: (key, fresh
    // level, now, burst, per second, need, cost) -> the level it found, as
    // "seen"; peek: (key) -> tokens, last; prune: (before).
    const char* bucket_take;
    const char* bucket_peek;
    const char* bucket_prune;
    // Brings the planner's figures up to date after a bulk load; null: not needed.
    const char* analyze;
};

// What each kind of connection does: SQLite in server_db.cpp, PostgreSQL in
// server_pg.cpp.
struct ServerDBImpl {
    virtual ~ServerDBImpl() = default;
    virtual const ServerDialect& dialect() const = 0;
    // ok tells whether the statement ran; a failure has its line on standard error.
    virtual MyResult query(const char* sql, const MyParams& params, unsigned blobs, bool* ok) = 0;
    // SQLite: whether commits copy the log back into the file themselves (on
    // by default), and one such copy now. PostgreSQL does its own.
    virtual void commits_checkpoint(bool /*on*/) {}
    virtual void checkpoint() {}
};

// One connection to the store: an SQLite file or a PostgreSQL server. The
// store's SQL is written once for both but for what dialect() gives; values
// travel as text, except the parameters marked in `blobs` (bit i for
// parameter i), which are bytes.
class ServerDB {
public:
    int error = 0;  // 1 after a failed query

    ServerDB() = default;
    ServerDB(const ServerDB&) = delete;
    ServerDB& operator=(const ServerDB&) = delete;
    ~ServerDB();

    // A folder (DIR/velquist.db) or a postgresql:// URL; false with a line on
    // standard error.
    bool open(const std::string& where);
    bool is_open() const { return _impl != nullptr; }
    // The open connection's own SQL; only the store reads it.
    const ServerDialect& dialect() const;
    MyResult query(const char* sql, const MyParams& params = MyParams(), unsigned blobs = 0);
    // A write transaction: taken at once, so that two writers wait for each
    // other instead of failing when one upgrades a read.
    void begin();
    void commit();
    void rollback();
    void close();
    // The daemon moves the write-ahead log's copying off the requests' way:
    // its workers' commits leave it, and one of its threads does it.
    void commits_checkpoint(bool on) {
        if (_impl) _impl->commits_checkpoint(on);
    }
    void checkpoint() {
        if (_impl) _impl->checkpoint();
    }

private:
    ServerDBImpl* _impl = nullptr;
};

// server_pg.cpp; null when the service was built without PostgreSQL.
ServerDBImpl* server_pg_open(const std::string& url);
bool server_is_postgres_url(const std::string& where);

// ---------------------------------------------------------------- replays (server_replay.cpp)

// The tile catalogue the replays are played with (the game's tiles.json);
// until set, ../data/tiles.json from the working folder, as the game finds it.
void server_replay_set_tiles(const std::string& path);
// Copies the catalogue, read on first use, into g.tiles; false (with a line
// on standard error, once) when it cannot be read.
bool server_tiles_copy(Game& g);
// The share form's "replay", decoded into bytes: 0, or the HTTP status of
// the refusal with the message for the game in why.
int server_replay_bytes(const ServerPairs& form, std::string& bytes, std::string& why);
// Asked now and then by a running check, with the CPU seconds this run has
// used: false stops it.
typedef std::function<bool(double used)> ServerCheckGoOn;
// A costly check (server_check.cpp), run from its start with cpu_left seconds
// of its thread's CPU time, asking go_on (when given) now and then; a null
// Game when there is no tile catalogue. Returns its result.
typedef std::function<int(Game*, double cpu_left, const ServerCheckGoOn& go_on)> ServerCheckRun;
// The check that `bytes` win `lev` (the record as received) cleanly; its
// result goes to server_replay_refusal.
ServerCheckRun server_replay_job(const LevelData& lev, const std::string& bytes);
// 0 for a clean win, else the HTTP status of the refusal with its message in why.
int server_replay_refusal(int result, std::string& why);
// Whether `replay` (Base64; "" when the seed map `name` carries none) wins
// `lev` cleanly; false with a line on standard error.
bool server_replay_seed_ok(const std::string& name, const std::string& replay, const LevelData& lev);
// What a proof's play ended with, filled on the checking thread for a win.
struct ServerProofEnd {
    long score = 0;  // the game's own score of the final play copy
    long ticks = 0;  // its timer: the ticks of play the win took
};
// The check of a proof: `bytes` played on `lev` (the stored record); any win
// counts, cartridges left or not (its score says so), and fills *end.
ServerCheckRun server_proof_job(const LevelData& lev, const std::string& bytes, std::shared_ptr<ServerProofEnd> end);
// The digest of the map a replay was made on, as hex: "" when `bytes` are no replay.
std::string server_replay_map_digest(const std::string& bytes);
// The same digest of a stored record, as a replay of it carries it.
std::string server_map_digest(const LevelData& lev);

// ---------------------------------------------------------------- the store (server_store.cpp)

struct ServerAccount {
    std::string name;
    std::string token;         // the game's token as sent, of an account not yet moved over; else ""
    std::string tsalt, thash;  // the salted slow hash of the token
    std::string salt, pwhash;  // the web form's password
};

// One shared map as the store keeps it.
struct ServerMap {
    std::string id;       // public key: "m" + row number
    std::string name, uid, author, title, intro, data;
    long ts = 0;
    int featured = 0;
    float measured = 0;  // difficulty measured by the map tool (seed maps); shown until players rate it
    // Written by server_map_store only: the Base64 replay of the map's win,
    // and the hex digest of its content (proofs of other content are dropped;
    // "" keeps them).
    std::string replay, digest;
};

struct ServerStore {
    ServerDB db;
    bool ok = false;
    std::string where;  // what it was opened on, for the workers' own connections
};

// Opens (creating) DIR/velquist.db, or the PostgreSQL database of a
// postgresql:// URL, with its schema, and brings an older store up to date;
// false with a line on standard error.
bool server_store_open(ServerStore& st, const std::string& where);
// Recounts every map's players and ratings from the plays and ratings kept.
bool server_store_recount(ServerStore& st);
// Loads the maps of a seed database (the map compiler's output) as the
// featured list, in name order; maps already there are brought up to date.
// Returns the number loaded, -1 when the file cannot be read.
int server_store_seed(ServerStore& st, const std::string& seed_path);
bool server_account_find(ServerStore& st, const std::string& name, ServerAccount& out);
bool server_account_create(ServerStore& st, const std::string& name, const std::string& password);
bool server_account_password(ServerStore& st, const std::string& name, const std::string& password);
// Keeps the slow hash of an account's token in place of the token itself.
bool server_account_move_over(ServerStore& st, const ServerAccount& acc, const std::string& token);
// The map stored under this name, if any.
bool server_map_find(ServerStore& st, const std::string& name, ServerMap& out);
// Inserts or replaces (same name, same owner) a map; false on a store failure.
bool server_map_store(ServerStore& st, const ServerMap& map, long now);
// One play report (a win): the map, who, and what the game sent.
struct ServerPlay {
    std::string lid, player;  // player: the uid, or "d:" + device id for a guest
    long tm = 0, bonus = 0, rewind = 0, extra = 0;
    int stars = 0, skulls = 0;
};
void server_play_store(ServerStore& st, const ServerPlay& play, long now);
// The Base64 replay kept with a map; false when the map has none (or is not there).
bool server_map_replay(ServerStore& st, const std::string& name, std::string& out);
// One account's proven play of a map.
struct ServerProof {
    std::string lid, player;  // player: the uid
    long score = 0, ticks = 0;
    std::string digest;       // hex digest of the map content the replay won
};
// Keeps the proof when it beats the account's proof of that map (higher
// score; equal score: fewer ticks); false on a store failure.
bool server_proof_store(ServerStore& st, const ServerProof& proof, long now);
struct ServerStanding {
    long rank = 0, score = 0, ticks = 0;
    std::string player;  // the uid
};
// The proofs of a map: the best SERVER_PROOFS_SHOWN in order (score, then
// fewer ticks, then the earlier proof), the player's own when held, and how
// many accounts hold one. false on a store failure.
struct ServerStandings {
    std::vector<ServerStanding> best;
    bool has_own = false;
    ServerStanding own;
    long count = 0;
};
bool server_proof_standings(ServerStore& st, const std::string& lid, const std::string& player,
                            ServerStandings& out);
// A play report in one transaction: the play, and the rater's rating of the
// map when rater (a uid) is given, the service holds the map and it is not
// the rater's own. false on a store failure.
bool server_play_report(ServerStore& st, const ServerPlay& play, const std::string& rater, long now);
// Stores a signed-in player's rating; a zero leaves that part of an earlier rating.
void server_rating_store(ServerStore& st, const std::string& lid, const std::string& uid, int stars,
                         int skulls, long now);
void server_event_store(ServerStore& st, const std::string& player, const std::string& page,
                        const std::string& category, const std::string& action, long value, long now);
// The maps of a list query, at most SERVER_LIST_MAX, in display order, with
// their average ratings. viewer is the signed-in uid or "". false with a
// message in why for a query it does not know. With brief, only the maps'
// keys and revisions: what tells whether a list file built before still holds.
bool server_list(ServerStore& st, const std::string& q, const std::string& viewer, MyResult& out,
                 std::string& why, bool brief = false);
// The list as an SQLite database file holding one `levels` table; empty on failure.
std::string server_list_file(const std::string& q, const MyResult& rows);
int server_count(ServerStore& st, const char* table);
// What a player's stats page counts, each as decimal text.
struct ServerPlayerStats {
    std::string started, wins, maps_won, shared;
};
ServerPlayerStats server_player_stats(ServerStore& st, const std::string& uid);
// The player's latest SERVER_STATS_RECENT wins, newest first: lid, title
// (the map's, else its lid), tm, bonus, rewind, extra, stars, ts.
MyResult server_player_recent(ServerStore& st, const std::string& uid);
// The maps the player shared, newest first, at most SERVER_LIST_MAX: name,
// title, ts, stars, skulls, players.
MyResult server_player_maps(ServerStore& st, const std::string& uid);
// Rate buckets kept in the store (see ServerDialect): the level of key's
// bucket before this take, with `cost` taken when it is at least `need`;
// the level now, without taking; forgetting the buckets untouched since
// `before`. take and peek are false when the store keeps no buckets.
struct ServerRate;
bool server_bucket_take(ServerStore& st, const ServerRate& rule, const std::string& key, double now, double need,
                        double cost, double* level);
bool server_bucket_peek(ServerStore& st, const ServerRate& rule, const std::string& key, double now, double* level);
void server_buckets_prune(ServerStore& st, double before);
// After a bulk load: the query planner's figures brought up to date.
void server_store_analyze(ServerStore& st);

// ---------------------------------------------------------------- rate limits (server_limit.cpp)

struct ServerRate {
    double burst;       // requests allowed at once
    double per_second;  // refill rate
};

// A fixed table of buckets: a key hashes to one set of a few slots; a new
// key takes the slot used longest ago (a bucket left alone that long has
// refilled, so forgetting it loses nothing). Memory and the cost of a take
// stay the same however many keys come.
struct ServerRateTable {
    struct Slot {
        uint64_t key;  // 0: free
        float tokens;
        float spare;
        double last;   // seconds of the clock at the last take
    };
    enum { WAYS = 8, STRIPES = 64 };
    size_t sets = 0;
    Slot* slots = nullptr;  // zeroed pages from the system, touched only as keys come
    std::mutex locks[STRIPES];
    explicit ServerRateTable(size_t capacity = (size_t)1 << 20);
    ~ServerRateTable();
    ServerRateTable(const ServerRateTable&) = delete;
    ServerRateTable& operator=(const ServerRateTable&) = delete;
    size_t bytes() const { return sets * WAYS * sizeof(Slot); }
};

struct ServerLimits {
    // Seconds of checking (a share's replay): one check may take check_cpu_max
    // of its thread's CPU time, and every check is paid for, refused or not,
    // from a budget per account and one per address, in CPU seconds.
    double check_cpu_max = SERVER_CHECK_CPU_MAX_S;
    ServerRate check_account{SERVER_CHECK_ACCOUNT_S, SERVER_CHECK_ACCOUNT_S / 60};
    ServerRate check_address{SERVER_CHECK_ADDRESS_S, SERVER_CHECK_ADDRESS_S / 60};
    ServerRate share{10, 1.0 / 60};       // maps shared
    ServerRate plays{30, 1.0 / 10};       // play reports
    ServerRate track{120, 1.0 / 2};       // usage events
    ServerRate download{120, 1.0};        // lists, replays and standings fetched by a guest, per address
    ServerRate account{10, 1.0 / 60};     // account forms sent, per address
    ServerRate names{30, 1.0 / 10};       // requests naming no account, per address
    ServerRate login{20, 1.0 / 30};       // wrong tokens or passwords, per address and account
    ServerRate login_account{100, 1.0 / 10};  // wrong tokens or passwords, per account
    ServerRateTable table;
};

// Takes one token from the bucket of key under rule in the table; false when empty.
bool server_rate_take(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now);
// The level of the bucket in the table, filled up to now, before this call;
// `cost` is taken from it when the level is at least `need` (a negative cost
// gives back, never above the burst; the level may fall below 0).
double server_rate_level(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now, double need,
                         double cost);

struct Server;
// The limits of the service as a whole: in the table of this process on an
// SQLite store, in the store itself on PostgreSQL, where every process that
// shares the database counts against the same buckets.
enum { SERVER_LEVEL_ANY = -1000000000 };  // a `need` that every level meets
double server_limit_level(Server& s, ServerStore& st, const ServerRate& rule, const std::string& key, double need,
                          double cost);
bool server_limit_take(Server& s, ServerStore& st, const ServerRate& rule, const std::string& key);
// Whether the bucket still has a token, without taking one.
bool server_limit_peek(Server& s, ServerStore& st, const ServerRate& rule, const std::string& key);
// Forgets the buckets in the store that have refilled (PostgreSQL; nothing on SQLite).
void server_limits_prune(Server& s, ServerStore& st);

// Tokens proven right, so that a signed-in player's every request does not
// pay for the slow hash: account -> fast digest of the token, forgotten all
// at once when it grows past ENTRIES_MAX.
struct ServerTokenCache {
    struct Entry {
        std::string thash, digest;
    };
    enum { ENTRIES_MAX = 100000 };
    std::mutex lock;
    std::map<std::string, Entry> entries;
    bool check(const std::string& name, const std::string& thash, const std::string& token);
    void remember(const std::string& name, const std::string& thash, const std::string& token);
};

// List files built once and reused while the maps they hold are unchanged.
struct ServerListCache {
    struct Entry {
        std::string print;  // keys and revisions of the maps, in order
        std::shared_ptr<const std::string> file;
        uint64_t used = 0;
    };
    static const size_t BYTES_MAX = (size_t)64 << 20;
    std::mutex lock;
    std::map<std::string, Entry> entries;
    size_t bytes = 0;
    uint64_t clock = 0;
    std::shared_ptr<const std::string> find(const std::string& key, const std::string& print);
    void keep(const std::string& key, const std::string& print, std::shared_ptr<const std::string> file);
};

// ---------------------------------------------------------------- costly checks (server_check.cpp)

// One costly check, run off the request path on a checking thread with a
// Game of its own, and paid for in CPU seconds by an account and an address.
// The request that asked for it is answered by `answer`, on a request worker
// with its store, once it has run.
struct ServerCheck {
    std::string account, address;  // who pays: "g:" + name, and the player's address
    ServerCheckRun run;
    std::function<ServerReply(Server&, ServerStore&, const ServerCheck&)> answer;
    double cpu_max = SERVER_CHECK_CPU_MAX_S;  // CPU seconds one run may take
    // Filled on the way.
    double reserved = 0;  // CPU seconds set aside from both budgets before it ran
    double priority = 0;  // budget left after that: the poorer wait behind the richer
    uint64_t serial = 0;  // order of arrival among equals
    // Called on the checking thread once it has run, or unrun when dropped.
    std::function<void(std::shared_ptr<ServerCheck>)> done;
    int result = 0;       // what run returned
    double cpu = 0;       // CPU seconds it took, every run together
    bool ran = false;     // false when dropped unrun (the service stopping)
    bool gave_way = false;  // its last run stopped to let another check go first
};
typedef std::shared_ptr<ServerCheck> ServerCheckPtr;

// The checking threads and their queue, started by the daemon. Each account
// has at most one check waiting or running, each address a few.
struct ServerCheckPool {
    int threads = 0;     // 0: two per processor core
    int queue_max = SERVER_CHECK_QUEUE;  // checks waiting; beyond, a share is answered 503 at once
    double give_way_cpu = 0;  // CPU seconds after which a running check gives way to a richer one
    std::mutex lock;
    std::condition_variable wake;
    std::vector<ServerCheckPtr> queue;
    std::map<std::string, int> at_once;  // checks waiting or running per account, and per "ip|" + address
    uint64_t serial = 0;
    bool stopping = false;
    std::vector<std::thread> workers;
    void running_done(const ServerCheck& c);
};

// CPU seconds this thread has used.
double server_thread_cpu();
// Sets check_cpu_max aside from the budgets of c's account and address (and
// makes it c's cpu_max):
// false, with the seconds to wait in *wait, when either has not that much left.
bool server_check_reserve(Server& s, ServerStore& st, ServerCheck& c, double* wait);
// Gives back to both budgets what c did not use of what was set aside, or
// takes what it used beyond.
void server_check_settle(Server& s, ServerStore& st, const ServerCheck& c);
// Queues c for the checking threads: 0, or the status of a refusal (503: the
// queue is full or the pool stopped; 429: the account or address has enough
// checks on their way) with its message in why.
int server_check_submit(Server& s, ServerCheckPtr c, std::string& why);
// Runs c on the calling thread (no pool: the tests, the fuzzer).
void server_check_run_here(ServerCheck& c);
// Settles c and makes the reply of its request.
ServerReply server_check_answer(Server& s, ServerStore& st, const ServerCheck& c);
void server_checks_start(Server& s);
// Lets the running checks finish; the waiting ones are handed to their done unrun.
void server_checks_stop(Server& s);

// ---------------------------------------------------------------- the service

struct Server {
    ServerStore store;  // set-up, seeding, and requests handled without a store of their own
    ServerLimits limits;
    ServerTokenCache tokens;
    ServerListCache lists;
    ServerCheckPool checks;
    std::mutex lock;    // one request at a time reaches `store`
    double (*clock)() = nullptr;  // seconds; null = the wall clock
    // The daemon's settings.
    int workers = SERVER_WORKERS_DEFAULT;
    double deadline = SERVER_DEADLINE_S;
    int per_address = SERVER_PER_ADDRESS_MAX;
    std::string trusted_proxy;  // the address whose X-Forwarded-For is believed; "" = none
};

double server_now(Server& s);

// One request: method, path with its query, body and the peer's address,
// answered on store st (a worker's own connection). Never fails: every input
// gets a reply. A costly check runs on the calling thread.
ServerReply server_handle(Server& s, ServerStore& st, const std::string& method, const std::string& target,
                          const std::string& body, const std::string& peer);
// The same, but a reply that waits for a costly check comes back with its
// `check` set, not run: the daemon hands it to the checking threads.
ServerReply server_handle_begin(Server& s, ServerStore& st, const std::string& method, const std::string& target,
                                const std::string& body, const std::string& peer);
// The same on s.store, one request at a time.
ServerReply server_handle(Server& s, const std::string& method, const std::string& target,
                          const std::string& body, const std::string& peer);
// A refusal before the handler: an API answer for the API script, else a page.
ServerReply server_refusal(const std::string& target, int status, const char* message);
// The player's address: the last one X-Forwarded-For names when the request
// came from the trusted proxy, else the peer's own.
std::string server_client_address(const std::string& peer, const char* forwarded, const std::string& trusted);

// server_api.cpp
ServerReply server_api(Server& s, ServerStore& st, const ServerPairs& query, const ServerPairs& form, bool post,
                       const std::string& peer);

// server_pages.cpp
ServerReply server_page_stats(Server& s, ServerStore& st, const ServerPairs& query);
ServerReply server_page_manage(Server& s, ServerStore& st, const ServerPairs& query, const ServerPairs& form,
                               bool post, const std::string& peer);
ServerReply server_page_download();
ServerReply server_page_error(int status, const std::string& message);

// ---------------------------------------------------------------- the daemon (server_daemon.cpp)

struct ServerDaemon;

// Serves s on addr:port (port 0 picks a free one): the HTTP library's thread
// reads requests and writes answers, s.workers threads answer them, each on
// its own connection to the store s.store was opened on. Null with a line on
// standard error when it cannot listen (the port is taken, say).
ServerDaemon* server_daemon_start(Server& s, const char* addr, int port);
int server_daemon_port(ServerDaemon* d);
void server_daemon_stop(ServerDaemon* d);
