// The reference online service: accounts, shared maps, lists, plays and the
// web pages the game opens, answered by one request handler without sockets.
//
// Sections: sizes and limits, requests and replies (server_http.cpp), text
// helpers (server_text.cpp), map records (server_record.cpp), the store
// (server_store.cpp), rate limits (server_limit.cpp), the API
// (server_api.cpp), the web pages (server_pages.cpp), the daemon
// (server_daemon.cpp).
#pragma once

#include <map>
#include <mutex>
#include <string>
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
    // A request body: the percent-encoded Base64 (three bytes a character at
    // worst) plus the texts. Bodies up to SERVER_BODY_DRAIN are read and
    // refused with a message; beyond that the connection is dropped.
    SERVER_BODY_MAX = 3 * SERVER_DATA_B64_MAX + 16 * 1024,
    SERVER_BODY_DRAIN = 4 * 1024 * 1024,
    SERVER_TARGET_MAX = 8 * 1024,      // path and query of one request
    SERVER_PARAM_MAX = 255,            // any parameter but the map data
    SERVER_PARAMS_MAX = 64,            // pairs of one query or form
    SERVER_LIST_MAX = 50,              // maps of one downloaded list
    SERVER_HEADER_VALUE_MAX = 255,     // the game reads header values up to this
    SERVER_STATS_RECENT = 20,          // recent wins on a stats page
    // Account names fit the map record's author field and, behind "g:",
    // its uid field, so that a map and its lists always carry the whole name.
    SERVER_NAME_MAX = (int)sizeof(LevelData::uid) - 1 - 2,
    SERVER_PASSWORD_MIN = 4,
    SERVER_PASSWORD_MAX = 63,          // the game's password field
    SERVER_VERSION_MIN = 2,            // older clients are told to upgrade
    SERVER_RATING_MAX = 5,
    SERVER_FAVORITE_STARS = 4,         // a rating of this many stars marks a favourite
    SERVER_HASH_ROUNDS = 20000,        // rounds of the web form's password hash
    SERVER_SALT_BYTES = 16,
    SERVER_DEFAULT_PORT = 8471,
};
static_assert(SERVER_NAME_MAX == 29, "a name plus \"g:\" fills the record's uid field");
static_assert(SERVER_NAME_MAX < (int)sizeof(LevelData::author), "a name fits the author field");

// The account that the seed maps are published under; nobody can create it.
#define SERVER_SEED_AUTHOR "Velquist"
// The prefix the game puts before an account name to make its user id.
#define SERVER_UID_PREFIX "g:"
#define SERVER_SCRIPT "/velquist/api.php"

// ---------------------------------------------------------------- requests and replies (server_http.cpp)

typedef std::vector<std::pair<std::string, std::string>> ServerPairs;

struct ServerReply {
    int status = 200;
    std::string type = "text/plain; charset=utf-8";
    ServerPairs headers;  // sent exactly as named
    std::string body;
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
std::string server_password_hash(const std::string& salt, const std::string& password);
// Compares without stopping at the first difference.
bool server_equal_secret(const std::string& a, const std::string& b);

// ---------------------------------------------------------------- map records (server_record.cpp)

// Base64 text of a packed map -> the record. false with a message the game
// can show in why.
bool server_record_decode(const std::string& b64, LevelData& out, std::string& why);
// Inflates packed bytes into exactly one record; false when they are not
// one zlib stream of exactly SERVER_RECORD_SIZE bytes with nothing after it.
bool server_record_inflate(const std::string& packed, LevelData& out);
// zlib at the default level; empty on failure.
std::string server_record_pack(const LevelData& lev);

// ---------------------------------------------------------------- the store (server_store.cpp)

struct ServerAccount {
    std::string name, token, salt, pwhash;
};

// One shared map as the store keeps it.
struct ServerMap {
    std::string id;       // public key: "m" + row number
    std::string name, uid, author, title, intro, data;
    long ts = 0;
    int featured = 0;
};

struct ServerStore {
    MyDB db;
    bool ok = false;
};

// Opens (creating) DIR/velquist.db with its schema; false with a line on
// standard error.
bool server_store_open(ServerStore& st, const std::string& dir);
// Loads the maps of a seed database (the map compiler's output) as the
// featured list, in name order; maps already there are brought up to date.
// Returns the number loaded, -1 when the file cannot be read.
int server_store_seed(ServerStore& st, const std::string& seed_path);
bool server_account_find(ServerStore& st, const std::string& name, ServerAccount& out);
bool server_account_create(ServerStore& st, const std::string& name, const std::string& password);
bool server_account_password(ServerStore& st, const std::string& name, const std::string& password);
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
// Stores a signed-in player's rating; a zero leaves that part of an earlier rating.
void server_rating_store(ServerStore& st, const std::string& lid, const std::string& uid, int stars,
                         int skulls, long now);
void server_event_store(ServerStore& st, const std::string& player, const std::string& page,
                        const std::string& category, const std::string& action, long value, long now);
// The maps of a list query, at most SERVER_LIST_MAX, in display order, with
// their average ratings. viewer is the signed-in uid or "". false with a
// message in why for a query it does not know.
bool server_list(ServerStore& st, const std::string& q, const std::string& viewer, MyResult& out,
                 std::string& why);
// The list as an SQLite database file holding one `levels` table; empty on failure.
std::string server_list_file(const std::string& q, const MyResult& rows);
int server_count(ServerStore& st, const char* table);

// ---------------------------------------------------------------- rate limits (server_limit.cpp)

struct ServerRate {
    double burst;       // requests allowed at once
    double per_second;  // refill rate
};

struct ServerBucket {
    double tokens;
    double last;  // seconds of the clock at the last take
};

struct ServerLimits {
    ServerRate share{10, 1.0 / 60};     // maps shared
    ServerRate plays{30, 1.0 / 10};     // play reports
    ServerRate track{120, 1.0 / 2};     // usage events
    ServerRate account{10, 1.0 / 60};   // account forms sent, per address
    ServerRate login{20, 1.0 / 30};     // wrong tokens or passwords, per address
    std::map<std::string, ServerBucket> buckets;
};

// Takes one token from the bucket of key under rule; false when empty.
bool server_rate_take(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now);
// Whether the bucket still has a token, without taking one.
bool server_rate_peek(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now);

// ---------------------------------------------------------------- the service

struct Server {
    ServerStore store;
    ServerLimits limits;
    std::mutex lock;       // one request at a time reaches the store
    double (*clock)() = nullptr;  // seconds; null = the wall clock
};

double server_now(Server& s);

// One request: method, path with its query, body and the peer's address.
// Never fails: every input gets a reply.
ServerReply server_handle(Server& s, const std::string& method, const std::string& target,
                          const std::string& body, const std::string& peer);

// server_api.cpp
ServerReply server_api(Server& s, const ServerPairs& query, const ServerPairs& form, bool post,
                       const std::string& peer);

// server_pages.cpp
ServerReply server_page_stats(Server& s, const ServerPairs& query);
ServerReply server_page_manage(Server& s, const ServerPairs& query, const ServerPairs& form, bool post,
                               const std::string& peer);
ServerReply server_page_download();
ServerReply server_page_error(int status, const std::string& message);

// ---------------------------------------------------------------- the daemon (server_daemon.cpp)

struct ServerDaemon;

// Serves s on addr:port (port 0 picks a free one) on a thread of the HTTP
// library; null with a line on standard error when it cannot listen.
ServerDaemon* server_daemon_start(Server& s, const char* addr, int port);
int server_daemon_port(ServerDaemon* d);
void server_daemon_stop(ServerDaemon* d);
