// The online service as the game sees it: building each request, reading the
// answers, storing downloaded lists into net.db and opening the service's
// pages in the browser.
//
// Sections: where the service is, the common query, the requests, watching
// and proving wins, finishing exchanges, storing a download, opening a page.
#include "game_web_internal.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base64.h"
#include "driver.h"
#include "log.h"
#include "logic.h"
#include "md5.h"
#include "util.h"

#ifndef VELQUIST_SERVICE_HOST
#define VELQUIST_SERVICE_HOST "127.0.0.1"
#endif
#ifndef VELQUIST_SERVICE_PORT
#define VELQUIST_SERVICE_PORT 80
#endif

WebRequest w_track, w_share, w_download, w_plays, w_valid;
WebRequest w_replay, w_proof, w_standings;

static const char GAME_WEB_SCRIPT[] = "/velquist/api.php?";
static const char GAME_WEB_VINFO[] = "1.0.3-Desktop-Linux-KAVODEL";
static const char GAME_WEB_VERSION[] = "2";
static const char GAME_WEB_INVALID[] = "G01: Invalid response.";
static const char GAME_WEB_TMP_DB[] = "tmp.db";
// The first bytes of every SQLite database file.
static const char GAME_WEB_SQLITE_MAGIC[] = "SQLite format 3";

enum {
    HTTP_DEFAULT_PORT = 80,
    // How much of a downloaded list is taken: more rows than any list the
    // service sends, and no value bigger than a packed map or a long text.
    GAME_WEB_LIST_ROWS_MAX = 500,
    GAME_WEB_PAGE_ROWS = 25,           // rows read from the download per query
    GAME_WEB_TEXT_MAX = 1024,          // bytes of any column but the map data
    GAME_WEB_VALUE_MAX = 2 * LOGIC_DATA_MAX,  // any value SQLite may build while reading
    // Reading the download may cost at most this many SQLite VM steps, so a
    // crafted file cannot hold the loop with expensive generated columns.
    GAME_WEB_PROGRESS_EVERY = 1000,
    GAME_WEB_IMPORT_STEPS = 20000000,
    GAME_WEB_MAGIC_SIZE = (int)sizeof(GAME_WEB_SQLITE_MAGIC),  // terminator included, as in the file
};

// ---------------------------------------------------------------- where the service is

static GameWebService _game_web_service = {VELQUIST_SERVICE_HOST, VELQUIST_SERVICE_PORT,
                                           GAME_WEB_IDLE_TIMEOUT, GAME_WEB_EXCHANGE_MAX};

const GameWebService& game_web_service() { return _game_web_service; }
void game_web_set_service(const GameWebService& service) { _game_web_service = service; }

std::string game_web_url(const char* path) {
    std::string url = "http://" + _game_web_service.host;
    if (_game_web_service.port != HTTP_DEFAULT_PORT) url += ":" + std::to_string(_game_web_service.port);
    return url + (path ? path : "");
}

// ---------------------------------------------------------------- the common query

// A fixed-width text field up to its terminator (or its width, for a record
// read from a file that lacks one).
static std::string _game_web_field(const char* s, size_t size) { return std::string(s, strnlen(s, size)); }
#define GAME_WEB_FIELD(f) _game_web_field((f), sizeof(f))

static std::string _game_web_pair(const char* key, const std::string& value) {
    return std::string("&") + key + "=" + web_urlencode(value);
}

std::string game_core_request(Game& game, const char* request, const char* action) {
    const Settings& s = game.settings;
    std::string name = GAME_WEB_FIELD(s.name);
    std::string token = md5_digest(name + "|" + md5_digest(GAME_WEB_FIELD(s.passwd)));
    std::string q = request ? request : "";
    q += _game_web_pair("_vinfo", GAME_WEB_VINFO);
    q += _game_web_pair("_version", GAME_WEB_VERSION);
    q += _game_web_pair("_uid", GAME_WEB_FIELD(s.uid));
    q += _game_web_pair("_name", name);
    q += _game_web_pair("_token", token);
    q += _game_web_pair("_udid", GAME_WEB_FIELD(s.udid));
    q += _game_web_pair("_action", action ? action : "");
    return q;
}

// ---------------------------------------------------------------- the requests

// When each slot's exchange began (kv_web_get_ticks), for the overall deadline.
static long _game_web_started[GAME_WEB_SLOTS];

static WebRequest* const _game_web_slots[GAME_WEB_SLOTS] = {&w_track, &w_share,  &w_download, &w_plays,
                                                            &w_valid, &w_replay, &w_proof,    &w_standings};
static const char* const _game_web_slot_names[GAME_WEB_SLOTS] = {"track", "share",  "download", "plays",
                                                                 "valid", "replay", "proof",    "standings"};

static int _game_web_slot_index(const WebRequest& slot) {
    for (int i = 0; i < GAME_WEB_SLOTS; i++)
        if (_game_web_slots[i] == &slot) return i;
    return -1;
}

// Abandons whatever the slot had in flight and starts this exchange.
static void _game_web_start(WebRequest& slot, const std::string& request, const std::string& post) {
    slot = WebRequest();
    slot.host = _game_web_service.host;
    slot.port = _game_web_service.port;
    slot.timeout = _game_web_service.timeout;
    slot.request = request;
    slot.post = post;
    slot.exec();
    int i = _game_web_slot_index(slot);
    if (i >= 0) _game_web_started[i] = kv_web_get_ticks();
}

void Game::valid() { _game_web_start(w_valid, game_core_request(*this, GAME_WEB_SCRIPT, "valid"), ""); }

void Game::plays(int stars, int skulls) {
    std::string q = game_core_request(*this, GAME_WEB_SCRIPT, "plays");
    // Per mille of the bonus items collected; a map without any divides by 1.
    int bonus = (int)(level.c_bonus * 1000.0 / mymax(1.0f, (float)level.t_bonus));
    q += _game_web_pair("lid", GAME_WEB_FIELD(level.name));
    q += _game_web_pair("tm", std::to_string(level.timer / TICKS_PER_SECOND));
    q += _game_web_pair("bonus", std::to_string(bonus));
    q += _game_web_pair("rewind", std::to_string(level.t_rewind));
    q += _game_web_pair("extra", std::to_string(level.t_extra));
    q += _game_web_pair("stars", std::to_string(stars));
    q += _game_web_pair("skulls", std::to_string(skulls));
    _game_web_start(w_plays, q, "");
}

void Game::download() {
    std::string q = game_core_request(*this, GAME_WEB_SCRIPT, "download");
    q += _game_web_pair("q", GAME_WEB_FIELD(q_value));
    _game_web_start(w_download, q, "");
}

// The share on its way to the service: the map's title, for the word of how
// it went, and what is needed to send it again after the player signs in.
struct GameWebShare {
    std::string title;
    int target = 0;
    std::string id;       // the editor's map it was
    std::string account;  // name and password it was sent with
    bool refused = false; // the service said no: sent again once the account changed
};
static GameWebShare _game_web_shared;

static std::string _game_web_account(const Game& g) {
    return GAME_WEB_FIELD(g.settings.name) + "\n" + GAME_WEB_FIELD(g.settings.passwd);
}

void Game::share(int target) {
    _game_web_shared = GameWebShare();
    _game_web_shared.title = GAME_WEB_FIELD(_edit.title);
    if (_game_web_shared.title.empty()) _game_web_shared.title = "your map";
    _game_web_shared.target = target;
    _game_web_shared.id = GAME_WEB_FIELD(_edit.id);
    _game_web_shared.account = _game_web_account(*this);
    mystrcpy(_edit.uid, sizeof(_edit.uid), GAME_WEB_FIELD(settings.uid).c_str());
    mystrcpy(_edit.author, sizeof(_edit.author), GAME_WEB_FIELD(settings.name).c_str());
    if (!_edit.name[0]) mystrcpy(_edit.name, sizeof(_edit.name), GAME_WEB_FIELD(_edit.id).c_str());
    std::string q = game_core_request(*this, GAME_WEB_SCRIPT, "share");
    int len = 0;
    const char* packed = logic_pack(*this, &len);
    if (!packed) {
        game_notice("Could not share " + _game_web_shared.title + ": the map could not be packed.",
                    GAME_NOTICE_LONG);
        return;
    }
    std::string body = _game_web_pair("target", std::to_string(target));
    body += _game_web_pair("id", GAME_WEB_FIELD(_edit.id));
    body += _game_web_pair("title", GAME_WEB_FIELD(_edit.title));
    body += _game_web_pair("intro", GAME_WEB_FIELD(_edit.intro));
    body += _game_web_pair("data", base64_encode(packed, (size_t)len));
    // The service plays the win back before it takes the map.
    std::string replay = game_replay_find(userdb, GAME_WEB_FIELD(_edit.id).c_str());
    if (!replay.empty()) body += _game_web_pair("replay", replay);
    _game_web_start(w_share, q, body);
    game_notice("Sharing " + _game_web_shared.title + "...", GAME_NOTICE_LONG);
}

void game_web_signed_in(Game& game) {
    GameWebShare& s = _game_web_shared;
    // One try per refusal, and only with another account: a map the service
    // refused for what it is would be refused again. Only the map that was
    // refused, still beaten cleanly, goes.
    bool again = s.refused && s.account != _game_web_account(game) && s.id == GAME_WEB_FIELD(game._edit.id) &&
                 !game._edit.dirty;
    s.refused = false;
    if (again) game.share(s.target);
}

// Why the service refused the last share, until the error screen takes it.
static std::string _game_web_refusal;

std::string game_web_share_refusal() {
    std::string why;
    why.swap(_game_web_refusal);
    return why;
}

// The service's answer to a share: its word on screen, and a refusal kept
// for a retry once the player has signed in.
static void _game_web_share_done(Game& game) {
    GameWebShare& s = _game_web_shared;
    if (w_share.has_error()) {
        game_notice("Could not share " + s.title + ": the service did not answer.", GAME_NOTICE_LONG);
        return;
    }
    std::string why = w_share.get_header("X-Error");
    if (w_share.get_header("X-Response").empty()) why = GAME_WEB_INVALID;
    if (why.empty()) {
        game_notice("Shared: " + s.title, GAME_NOTICE_SHORT);
        return;
    }
    // The error screen tells a player with an account why; a guest sees
    // only the form, so the reason goes above it.
    s.refused = true;
    _game_web_refusal = "Could not share " + s.title + ": " + why + "\nSign in, and the map is shared at once.";
    game_notice(std::string(), 0);
    game_web_error(game, w_share);
}

void game_web_track(Game& game, const char* page, const char* category, const char* action, int value) {
    if (!page || !*page || !category || !*category || !action || !*action) return;
    std::string q = game_core_request(game, GAME_WEB_SCRIPT, "track");
    q += _game_web_pair("page", page);
    q += _game_web_pair("category", category);
    q += _game_web_pair("action", action);
    q += _game_web_pair("value", std::to_string(value));
    _game_web_start(w_track, q, "");
}

// ---------------------------------------------------------------- watching and proving wins

static GameWebReplay _game_web_replay;
static GameWebStandings _game_web_standings;
static std::string _game_web_proof_lid;  // the map of the proof in flight

static std::string _game_web_body(WebRequest& r) {
    int len = 0;
    const unsigned char* p = r.get_response(&len);
    return p && len > 0 ? std::string((const char*)p, (size_t)len) : std::string();
}

// What went wrong with a finished exchange, or "" when its answer can be used.
static std::string _game_web_why(WebRequest& request) {
    if (request.has_error()) return "the service did not answer.";
    if (request.get_header("X-Response").empty()) return GAME_WEB_INVALID;
    return request.get_header("X-Error");
}

void game_web_replay(Game& game, const std::string& lid) {
    _game_web_replay = GameWebReplay();
    _game_web_replay.lid = lid;
    _game_web_replay.status = GAME_WEB_WAITING;
    _game_web_start(w_replay, game_core_request(game, GAME_WEB_SCRIPT, "replay") + _game_web_pair("lid", lid), "");
}

const GameWebReplay& game_web_replay_fetched() { return _game_web_replay; }

static void _game_web_replay_done() {
    GameWebReplay& r = _game_web_replay;
    r.why = _game_web_why(w_replay);
    r.b64 = r.why.empty() ? _game_web_body(w_replay) : std::string();
    // Only the first line, in case the service ended the text with a break.
    size_t end = r.b64.find_first_of("\r\n");
    if (end != std::string::npos) r.b64.resize(end);
    if (r.why.empty() && r.b64.empty()) r.why = "the service sent no replay.";
    r.status = r.why.empty() ? GAME_WEB_READY : GAME_WEB_FAILED;
}

namespace {
// A whole number of at most nine digits, nothing else.
bool _game_web_count(const std::string& word, int* out) {
    if (word.empty() || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos) return false;
    *out = atoi(word.c_str());
    return true;
}

// "<rank> <score> <ticks>" from the words at `at` on.
bool _game_web_proven(const std::vector<std::string>& words, size_t at, GameWebProven* p) {
    return words.size() >= at + 3 && _game_web_count(words[at], &p->rank) && p->rank >= 1 &&
           _game_web_count(words[at + 1], &p->score) && _game_web_count(words[at + 2], &p->ticks);
}

// A player's name as the service sent it, with nothing in it a label
// could misread.
std::string _game_web_name(const std::string& s) {
    std::string out;
    for (unsigned char c : s) out += c < ' ' || c == 0x7F ? ' ' : (char)c;
    return out;
}
}  // namespace

GameWebStandings game_web_standings_parse(const std::string& body) {
    GameWebStandings st;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The first four words; the name is the rest of a "best" line.
        std::vector<std::string> words;
        size_t at = 0;
        while (words.size() < 4 && at <= line.size()) {
            size_t sp = line.find(' ', at);
            if (sp == std::string::npos) sp = line.size();
            words.push_back(line.substr(at, sp - at));
            at = sp + 1;
        }
        GameWebProven p;
        if (words[0] == "best" && _game_web_proven(words, 1, &p) && at < line.size()) {
            p.player = _game_web_name(line.substr(at));
            if ((int)st.best.size() < GAME_WEB_BEST_MAX) st.best.push_back(p);
        } else if (words[0] == "own" && _game_web_proven(words, 1, &p)) {
            st.has_own = true;
            st.own = p;
        } else if (words[0] == "count" && words.size() == 2) {
            _game_web_count(words[1], &st.count);
        }
    }
    return st;
}

// Keeps standings for map lid, telling the screens that show them.
static void _game_web_standings_keep(const std::string& lid, GameWebStandings st, int status) {
    st.lid = lid;
    st.status = status;
    st.serial = _game_web_standings.serial + 1;
    _game_web_standings = st;
}

void game_web_standings(Game& game, const std::string& lid) {
    _game_web_standings_keep(lid, GameWebStandings(), GAME_WEB_WAITING);
    _game_web_start(w_standings, game_core_request(game, GAME_WEB_SCRIPT, "proof") + _game_web_pair("lid", lid), "");
}

const GameWebStandings& game_web_standings_kept() { return _game_web_standings; }

static void _game_web_standings_done() {
    // An answer for a map no longer shown is of no use.
    if (_game_web_standings.status != GAME_WEB_WAITING) return;
    bool ok = _game_web_why(w_standings).empty();
    _game_web_standings_keep(_game_web_standings.lid,
                             ok ? game_web_standings_parse(_game_web_body(w_standings)) : GameWebStandings(),
                             ok ? GAME_WEB_READY : GAME_WEB_FAILED);
}

void game_web_proof(Game& game) {
    const LevelData& lev = game.level;
    std::string lid = GAME_WEB_FIELD(lev.name);
    std::string bytes;
    if (game.parent != STATE_MENU_DOWNLOAD2 || !game.settings.name[0] || lid.empty() || lev.t_rewind != 0 ||
        !logic_replay_finish(game, bytes))
        return;
    std::string body = _game_web_pair("lid", lid);
    body += _game_web_pair("score", std::to_string(logic_points(lev)));
    body += _game_web_pair("replay", base64_encode(bytes));
    _game_web_proof_lid = lid;
    _game_web_start(w_proof, game_core_request(game, GAME_WEB_SCRIPT, "proof"), body);
}

// A proof is a bonus: whatever the answer, play goes on and a notice says it.
static void _game_web_proof_done() {
    std::string why = _game_web_why(w_proof);
    if (!why.empty()) {
        game_notice("Your win was not proven: " + why, GAME_NOTICE_LONG);
        return;
    }
    GameWebStandings st = game_web_standings_parse(_game_web_body(w_proof));
    std::string text = "Proven.";
    if (st.has_own) {
        text = "Proven: rank " + std::to_string(st.own.rank);
        if (st.count >= st.own.rank) text += " of " + std::to_string(st.count);
    }
    game_notice(text, GAME_NOTICE_LONG);
    // The answer carries the map's standings: no need to ask again, unless
    // the list already asks for another map's.
    const GameWebStandings& kept = _game_web_standings;
    if (kept.status == GAME_WEB_WAITING && kept.lid != _game_web_proof_lid) return;
    _game_web_standings_keep(_game_web_proof_lid, st, GAME_WEB_READY);
}

// ---------------------------------------------------------------- finishing exchanges

static void _game_web_show_error(Game& game, const std::string& message) {
    mystrcpy(game.error_msg, sizeof(game.error_msg), message.c_str());
    // A second error while the error screen is up keeps the screen it
    // returns to: the error screen must never sit beneath itself.
    if (game.state != STATE_MENU_ERROR) game.context = game.state;
    game.next(STATE_MENU_ERROR);
}

bool game_web_error(Game& game, WebRequest& request) {
    if (request.has_error()) return true;
    if (request.get_header("X-Response").empty()) {
        _game_web_show_error(game, GAME_WEB_INVALID);
        return true;
    }
    std::string error = request.get_header("X-Error");
    if (!error.empty()) {
        _game_web_show_error(game, error);
        return true;
    }
    return false;
}

// A service that keeps a connection alive a byte at a time would hold a slot
// for ever under the idle time-out alone.
static void _game_web_expire(long now) {
    for (int i = 0; i < GAME_WEB_SLOTS; i++) {
        WebRequest& slot = *_game_web_slots[i];
        if (!slot.page || now - _game_web_started[i] <= (long)_game_web_service.exchange_max) continue;
        fprintf(stderr, "service: %s took longer than %d s, abandoned\n", _game_web_slot_names[i],
                (int)_game_web_service.exchange_max);
        slot.close();
    }
}

void game_web_poll(Game& game) {
    _game_web_expire(kv_web_get_ticks());
    if (w_track.poll()) w_track.close();
    if (w_share.poll()) {
        _game_web_share_done(game);
        w_share.close();
    }
    if (w_download.poll()) {
        if (!game_web_error(game, w_download)) game_handle_download(game);
        w_download.close();
    }
    if (w_plays.poll()) w_plays.close();
    if (w_valid.poll()) {
        game_web_error(game, w_valid);
        w_valid.close();
    }
    if (w_replay.poll()) {
        _game_web_replay_done();
        w_replay.close();
    }
    if (w_proof.poll()) {
        _game_web_proof_done();
        w_proof.close();
    }
    if (w_standings.poll()) {
        _game_web_standings_done();
        w_standings.close();
    }
}

void game_web_close_all() {
    for (WebRequest* slot : _game_web_slots) slot->close();
}

// ---------------------------------------------------------------- storing a download

// A download holds the levels table's own columns; which list a row belongs
// to (its q, and the front of its id) is ours to set.
static int _game_web_column(const char* name) {
    for (int c = 0; c < LOGIC_LEVELS_COLUMNS; c++)
        if (strcmp(logic_levels_columns[c].name, name) == 0) return c;
    return -1;
}
static const int GAME_WEB_COL_ID = _game_web_column("id"), GAME_WEB_COL_DATA = _game_web_column("data"),
                 GAME_WEB_COL_Q = _game_web_column("q");

struct GameWebBudget {
    long steps = 0;
};

static int _game_web_progress(void* p) {
    GameWebBudget* b = (GameWebBudget*)p;
    b->steps += GAME_WEB_PROGRESS_EVERY;
    return b->steps > GAME_WEB_IMPORT_STEPS;
}

// "select <the wanted columns> from levels limit ? offset ?", a column the
// file lacks read as null; empty when the file has no levels table or no id.
static std::string _game_web_select(MyDB& tmp) {
    std::set<std::string> have;
    for (const MyRow& r : tmp.query("pragma table_info(levels)")) {
        auto it = r.find("name");
        if (it != r.end()) have.insert(it->second);
    }
    if (!have.count(logic_levels_columns[GAME_WEB_COL_ID].name)) return std::string();
    std::string sql = "select ";
    for (int c = 0; c < LOGIC_LEVELS_COLUMNS; c++) {
        if (c == GAME_WEB_COL_Q) continue;
        const char* name = logic_levels_columns[c].name;
        if (c) sql += ",";
        sql += have.count(name) ? std::string("\"") + name + "\"" : std::string("null as ") + name;
    }
    return sql + " from levels limit ? offset ?";
}

static std::string _game_web_col(const MyRow& row, int c) {
    auto it = row.find(logic_levels_columns[c].name);
    return it == row.end() ? std::string() : it->second;
}

// One row of the download as net.db's insert parameters; false (with a
// line) for a row that no honest service sends.
static bool _game_web_row(const MyRow& row, const std::string& q, std::set<std::string>& ids, MyParams& out) {
    std::string id = _game_web_col(row, GAME_WEB_COL_ID);
    for (int c = 0; c < LOGIC_LEVELS_COLUMNS; c++) {
        size_t max = c == GAME_WEB_COL_DATA ? (size_t)LOGIC_DATA_MAX : (size_t)GAME_WEB_TEXT_MAX;
        if (_game_web_col(row, c).size() > max) {
            fprintf(stderr, "download: map '%.32s' has a %s of %d bytes, skipped\n", id.c_str(),
                    logic_levels_columns[c].name, (int)_game_web_col(row, c).size());
            return false;
        }
    }
    if (_game_web_col(row, GAME_WEB_COL_DATA).empty()) {
        fprintf(stderr, "download: map '%.32s' has no data, skipped\n", id.c_str());
        return false;
    }
    if (id.empty() || !ids.insert(id).second) {
        fprintf(stderr, "download: a map without an id or with one seen before ('%.32s'), skipped\n", id.c_str());
        return false;
    }
    out.clear();
    for (int c = 0; c < LOGIC_LEVELS_COLUMNS; c++)
        out.push_back(c == GAME_WEB_COL_ID ? q + "|" + id : c == GAME_WEB_COL_Q ? q : _game_web_col(row, c));
    return true;
}

// Reads the rows of the downloaded list; false when the file cannot be read
// as one, which leaves net.db alone.
static bool _game_web_read_list(const char* path, const std::string& q, std::vector<MyParams>& rows) {
    MyDB tmp;
    tmp.open_untrusted(path);
    if (!tmp._db) return false;
    GameWebBudget budget;
    sqlite3_limit(tmp._db, SQLITE_LIMIT_LENGTH, GAME_WEB_VALUE_MAX);
    sqlite3_progress_handler(tmp._db, GAME_WEB_PROGRESS_EVERY, _game_web_progress, &budget);
    std::string sql = _game_web_select(tmp);
    if (sql.empty()) {
        fprintf(stderr, "download: %s holds no levels table\n", path);
        return false;
    }
    std::set<std::string> ids;
    MyParams params;
    int seen = 0;
    for (bool more = true; more && seen < GAME_WEB_LIST_ROWS_MAX;) {
        MyResult page = tmp.query(sql.c_str(), {std::to_string(GAME_WEB_PAGE_ROWS), std::to_string(seen)});
        if (tmp.error) {
            fprintf(stderr, "download: %s cannot be read\n", path);
            return false;
        }
        more = (int)page.size() == GAME_WEB_PAGE_ROWS;
        for (size_t i = 0; i < page.size() && seen < GAME_WEB_LIST_ROWS_MAX; i++, seen++)
            if (_game_web_row(page[i], q, ids, params)) rows.push_back(params);
    }
    if (seen == GAME_WEB_LIST_ROWS_MAX && !tmp.query(sql.c_str(), {"1", std::to_string(seen)}).empty())
        fprintf(stderr, "download: list cut to its first %d maps\n", GAME_WEB_LIST_ROWS_MAX);
    // An empty list is a list; a list of nothing but broken maps is a broken answer.
    if (seen > 0 && rows.empty()) {
        fprintf(stderr, "download: none of the %d maps could be used\n", seen);
        return false;
    }
    return true;
}

// Replaces the rows of list q in net.db in one transaction: a failure
// anywhere leaves the old rows as they were.
static bool _game_web_replace_list(MyDB& netdb, const std::string& q, const std::vector<MyParams>& rows) {
    std::string insert = logic_levels_insert();
    netdb.begin();
    if (netdb.error) return false;
    netdb.query("delete from levels where q = ?", {q});
    bool ok = !netdb.error;
    for (size_t i = 0; ok && i < rows.size(); i++) {
        // Two lists whose query and ids join into the same key: keep the other list's row.
        if (!netdb.query("select id from levels where id = ?", {rows[i][0]}).empty()) {
            fprintf(stderr, "download: '%s' is already stored for another list, skipped\n", rows[i][0].c_str());
            continue;
        }
        netdb.query(insert.c_str(), rows[i]);
        ok = !netdb.error;
    }
    if (ok) {
        netdb.commit();
        ok = !netdb.error;
    }
    if (!ok) {
        netdb.rollback();
        fprintf(stderr, "download: net.db could not take the list, kept the old one\n");
    }
    return ok;
}

// Lists stored into net.db since the start.
static int _game_web_lists = 0;

int game_web_lists_stored() { return _game_web_lists; }

bool game_handle_download(Game& game) {
    int len = 0;
    const unsigned char* body = w_download.get_response(&len);
    int total = w_download.page ? w_download.page->_response.len : 0;
    if (!body || len < GAME_WEB_MAGIC_SIZE || memcmp(body, GAME_WEB_SQLITE_MAGIC, GAME_WEB_MAGIC_SIZE) != 0) {
        fprintf(stderr, "download: the answer (%d bytes) is not a map list\n", len);
        return false;
    }
    // Atomic: a crash mid-write never leaves half a list behind.
    if (!driver_doc_save(GAME_WEB_TMP_DB, body, len)) return false;
    log_info("saving download data ... %d - %d\n", len, total);
    std::string path = driver_doc_fname(GAME_WEB_TMP_DB);
    // Journals beside the file belong to an older download; SQLite would
    // otherwise replay them into this one.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) remove((path + suffix).c_str());
    std::string q = GAME_WEB_FIELD(game.q_value);
    std::vector<MyParams> rows;
    if (!_game_web_read_list(path.c_str(), q, rows)) return false;
    if (!_game_web_replace_list(game.netdb, q, rows)) return false;
    _game_web_lists++;
    return true;
}

// ---------------------------------------------------------------- opening a page

void Game::open_url(const char* url) {
    if (!driver_open_url(url)) {
        // Nothing opened: the game stays as it is, with the address to copy.
        game_notice(std::string("No web browser could be started. Open this address yourself:\n") + url,
                    GAME_NOTICE_STICKY);
        return;
    }
    game_notice("Opening your web browser...", GAME_NOTICE_SHORT);
    if (driver_video_minimize()) return;
    int full = fs_toggle_tmp ^ (settings.vfull != -1 ? 1 : 0);
    if (!full) return;
    // A full-screen window that cannot be iconified would hide the browser:
    // leave full screen until the user comes back (Game::event restores it).
    fs_toggle_tmp ^= 1;
    video_reset();
    game_screen_rebuild(*this);
    driver_video_minimize();
}
