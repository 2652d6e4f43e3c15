// The game's API script: account check, play reports with ratings, lists of
// maps as SQLite files, shared maps and usage events.
#include "server.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base64.h"
#include "logic.h"
#include "util.h"

static const char MSG_UPGRADE[] =
    "X01: This version of Velquist is out of date. Download the new one to play online.";
static const char MSG_WRONG[] = "Wrong user name or password.";
static const char MSG_TOO_MANY_WRONG[] = "Too many wrong passwords. Wait a minute and try again.";
static const char MSG_BAD_NAME[] = "There is no account by that name; create one on the account page.";
static const char MSG_SIGN_IN_SHARE[] = "Sign in to share your maps.";
static const char MSG_LONG_PARAM[] = "A request parameter is too long.";
static const char MSG_UNKNOWN[] = "The service does not know this request.";
static const char MSG_BAD_PLAY[] = "The play report is not valid.";
static const char MSG_SLOW_DOWN[] = "Too many requests in a short time. Wait a few minutes and try again.";
static const char MSG_SHARE_SLOW[] = "You have shared many maps in a short time. Wait a few minutes and try again.";
static const char MSG_TARGET[] = "Maps can only be shared with everyone.";
static const char MSG_POST[] = "A map is shared with a form sent by POST.";
static const char MSG_SIGN_IN_PROOF[] = "Sign in to prove your scores.";
static const char MSG_NO_REPLAY_YET[] = "This map has no replay yet.";
static const char MSG_BAD_PROOF[] = "The proof is not valid.";
static const char MSG_PROOF_NO_REPLAY[] = "The proof came without the replay of its play.";
static const char MSG_PROOF_OTHER_MAP[] = "The replay is of another map.";
static const char MSG_NAMES[] = "Too many requests for accounts that do not exist. Wait a few minutes and try again.";

enum {
    API_TIME_MAX = 1000000000,   // seconds of play, rewinds, bombs: anything sane
    API_BONUS_MAX = 1000,        // per mille of cartridges
    API_STORE_ERROR = 500,
};

namespace {

// Who sent a request.
struct ApiCaller {
    std::string uid;     // "g:" + name when signed in, else empty
    std::string name;
    std::string player;  // uid, or "d:" + device id for a guest
    std::string rate_key;  // uid, or the address for a guest (a device id is easy to change)
};

ServerReply api_ok(const std::string& response = "OK") {
    ServerReply r;
    r.headers.emplace_back("X-Response", response);
    r.body = response + "\n";
    return r;
}

ServerReply api_error(int status, const std::string& message) {
    ServerReply r;
    r.status = status;
    std::string text = server_header_value(message);
    r.headers.emplace_back("X-Response", "ERR");
    r.headers.emplace_back("X-Error", text);
    r.body = text + "\n";
    return r;
}

// Whether token signs in acc; an account made before tokens were hashed is
// moved over on its first right one.
bool api_token_ok(Server& s, ServerStore& st, const ServerAccount& acc, const std::string& token) {
    if (acc.thash.empty()) {
        if (acc.token.empty() || !server_equal_secret(acc.token, token)) return false;
        server_account_move_over(st, acc, token);
        return true;
    }
    if (s.tokens.check(acc.name, acc.thash, token)) return true;
    if (!server_equal_secret(acc.thash, server_password_hash(acc.tsalt, token, SERVER_TOKEN_ROUNDS))) return false;
    s.tokens.remember(acc.name, acc.thash, token);
    return true;
}

// Checks the account; fills the caller or returns a refusal in *refusal.
bool api_caller(Server& s, ServerStore& st, const ServerPairs& q, const std::string& peer, ApiCaller& c,
                ServerReply* refusal) {
    std::string name = server_param(q, "_name");
    std::string udid = server_clean_text(server_param(q, "_udid"), sizeof(Settings::udid) - 1);
    c.rate_key = "ip:" + peer;
    c.player = "d:" + udid;
    if (name.empty()) return true;  // a guest: plays and browses, shares nothing
    ServerAccount acc;
    if (!server_name_ok(name) || !server_account_find(st, name, acc)) {
        // Telling which names exist is worth a little, so asking is limited.
        if (!server_limit_take(s, st, s.limits.names, "names|" + peer))
            *refusal = api_error(429, MSG_NAMES);
        else if (!server_name_ok(name))
            *refusal = api_error(403, MSG_BAD_NAME);
        else
            *refusal = api_error(403, "There is no account named " + name + "; create one on the account page.");
        return false;
    }
    // Wrong guesses count against the account, and against the account from
    // this address: while either is out of tries, even a right guess is not
    // confirmed. Other accounts are never held up by them.
    std::string pair = "login|" + peer + "|" + acc.name, account = "login-account|" + acc.name;
    if (!server_limit_peek(s, st, s.limits.login, pair) ||
        !server_limit_peek(s, st, s.limits.login_account, account)) {
        *refusal = api_error(429, MSG_TOO_MANY_WRONG);
        return false;
    }
    if (!api_token_ok(s, st, acc, server_param(q, "_token"))) {
        server_limit_take(s, st, s.limits.login, pair);
        server_limit_take(s, st, s.limits.login_account, account);
        *refusal = api_error(403, MSG_WRONG);
        return false;
    }
    c.name = acc.name;
    c.uid = server_uid(acc.name);
    c.player = c.uid;
    c.rate_key = c.uid;
    return true;
}

bool api_int(const ServerPairs& q, const char* key, long hi, long* out) {
    return server_parse_int(server_param(q, key), 0, hi, out);
}

ServerReply api_plays(Server& s, ServerStore& st, const ServerPairs& q, const ApiCaller& c) {
    if (!server_limit_take(s, st, s.limits.plays, "plays|" + c.rate_key))
        return api_error(429, MSG_SLOW_DOWN);
    ServerPlay p;
    p.lid = server_param(q, "lid");
    p.player = c.player;
    long stars = 0, skulls = 0;
    if (!server_map_name_ok(p.lid) || !api_int(q, "tm", API_TIME_MAX, &p.tm) ||
        !api_int(q, "bonus", API_BONUS_MAX, &p.bonus) || !api_int(q, "rewind", API_TIME_MAX, &p.rewind) ||
        !api_int(q, "extra", API_TIME_MAX, &p.extra) || !api_int(q, "stars", SERVER_RATING_MAX, &stars) ||
        !api_int(q, "skulls", SERVER_RATING_MAX, &skulls))
        return api_error(400, MSG_BAD_PLAY);
    p.stars = (int)stars;
    p.skulls = (int)skulls;
    // Ratings count from accounts only: a device id is too easy to change.
    bool stored = server_play_report(st, p, c.uid, (long)server_now(s));
    return stored ? api_ok() : api_error(API_STORE_ERROR, "The play could not be stored.");
}

// The list file of query q: built once, then reused while the same maps at
// the same revisions fill the list.
ServerReply api_download(Server& s, ServerStore& st, const ServerPairs& q, const ApiCaller& c) {
    if (c.uid.empty() && !server_limit_take(s, st, s.limits.download, "download|" + c.rate_key))
        return api_error(429, MSG_SLOW_DOWN);
    MyResult rows;
    std::string why, query = server_param(q, "q");
    if (!server_list(st, query, c.uid, rows, why, true)) return api_error(c.uid.empty() ? 403 : 400, why);
    std::string print;
    for (MyRow& r : rows) print += r["n"] + ":" + r["rev"] + ",";
    // Only the lists of one player's own differ from caller to caller.
    std::string key = query + (query == "c~favorites" || query == "c~friends" ? "|" + c.uid : std::string());
    std::shared_ptr<const std::string> file = s.lists.find(key, print);
    if (!file) {
        if (!server_list(st, query, c.uid, rows, why)) return api_error(c.uid.empty() ? 403 : 400, why);
        std::string built = server_list_file(query, rows);
        if (built.empty()) return api_error(API_STORE_ERROR, "The list could not be written; try again later.");
        file = std::make_shared<const std::string>(std::move(built));
        s.lists.keep(key, print, file);
    }
    ServerReply r = api_ok();
    r.type = "application/x-sqlite3";
    r.body = *file;
    return r;
}

// The Map ID of a shared map: the record's own, else the editor's id.
bool api_share_name(const LevelData& lev, const ServerPairs& form, std::string& name, std::string& why) {
    char field[sizeof(lev.name)];
    mystrcpy(field, sizeof(field), lev.name);
    name = field;
    if (name.empty()) name = server_param(form, "id");
    if (!server_map_name_ok(name)) {
        why = "The Map ID is not valid: give it one to 31 plain characters in Title & Options.";
        return false;
    }
    // The tutorials' names: their plays and ratings must not mix with a shared map's.
    if (name.size() >= 2 && name[0] == 't' && strspn(name.c_str() + 1, "0123456789") == name.size() - 1) {
        why = "The Map ID " + name + " is kept for the tutorials; choose another in Title & Options.";
        return false;
    }
    return true;
}

// Checks a shared map in order, up to its replay, filling map and the
// replay's bytes; 0 when the replay is to be checked, else the refusal's
// status with its message in why.
int api_share_check(ServerStore& st, const ServerPairs& form, const ApiCaller& c, ServerMap& map, LevelData& lev,
                    std::string& replay, std::string& why) {
    if (server_param(form, "target") != "1") return why = MSG_TARGET, 400;
    std::string title = server_param(form, "title"), intro = server_param(form, "intro");
    if (title.size() >= sizeof(LevelData::title)) return why = "The title is too long.", 400;
    if (intro.size() >= sizeof(LevelData::intro)) return why = "The intro is too long.", 400;
    // Shown as they come in every list and on every player's screen.
    if (!server_utf8_ok(title)) return why = "The title is not valid UTF-8 text; type it again.", 400;
    if (!server_utf8_ok(intro)) return why = "The intro is not valid UTF-8 text; type it again.", 400;
    if (server_param(form, "id").size() >= sizeof(LevelData::id)) return why = "The map's id is too long.", 400;
    std::string name;
    if (!server_record_decode(server_param(form, "data"), lev, why)) return 400;
    if (!api_share_name(lev, form, name, why)) return 400;
    if (lev.dirty != 0)
        return why = "Beat your map without rewinding and collect every cartridge before sharing it.", 400;
    ServerMap old;
    if (server_map_find(st, name, old) && old.uid != c.uid)
        return why = "The Map ID " + name + " is taken by another author; choose another in Title & Options.", 409;
    if (int refused = server_replay_bytes(form, replay, why)) return refused;
    // What is stored: the record agrees with its columns; ratings are the service's to give.
    LevelData kept = lev;
    map.name = name;
    map.uid = c.uid;
    map.author = c.name;
    map.title = server_clean_text(title, sizeof(lev.title) - 1);
    map.intro = server_clean_text(intro, sizeof(lev.intro) - 1);
    mystrcpy(kept.name, sizeof(kept.name), map.name.c_str());
    mystrcpy(kept.author, sizeof(kept.author), map.author.c_str());
    mystrcpy(kept.uid, sizeof(kept.uid), map.uid.c_str());
    mystrcpy(kept.title, sizeof(kept.title), map.title.c_str());
    mystrcpy(kept.intro, sizeof(kept.intro), map.intro.c_str());
    kept.stars = 0;
    kept.skulls = 0;
    map.data = server_record_pack(kept);
    if (map.data.empty()) return why = "The map could not be stored; try again later.", API_STORE_ERROR;
    // Kept once its check wins: the same text every time, whatever Base64 came.
    map.replay = base64_encode(replay);
    map.digest = server_map_digest(kept);
    return 0;
}

// A refusal that says when to come back.
ServerReply api_wait(int status, const std::string& message, double seconds) {
    ServerReply r = api_error(status, message);
    r.headers.emplace_back("Retry-After", std::to_string((long)std::ceil(std::max(1.0, seconds))));
    return r;
}

// A replay of c's played on a checking thread, paid for from the account's
// and the address's checking time, refused or not: over budget, it is
// refused before anything is played. `what` names what c sends for checking.
ServerReply api_check(Server& s, ServerStore& st, const ApiCaller& c, const std::string& peer, const char* what,
                      ServerCheckRun run, decltype(ServerCheck::answer) answer) {
    ServerCheckPtr check = std::make_shared<ServerCheck>();
    check->account = c.uid;
    check->address = peer;
    double wait = 0;
    if (!server_check_reserve(s, st, *check, &wait))
        return api_wait(429, std::string("Your ") + what + " have taken the service long to check. Wait " +
                                 std::to_string((long)std::ceil(wait)) + " seconds and try again.", wait);
    check->run = std::move(run);
    check->answer = std::move(answer);
    ServerReply r;
    r.check = check;
    return r;
}

// The share once its replay has been checked.
ServerReply api_share_stored(Server& s, ServerStore& st, const ServerMap& checked, const std::string& bucket,
                             int result) {
    std::string why;
    if (int refused = server_replay_refusal(result, why)) return api_error(refused, why);
    if (!server_limit_take(s, st, s.limits.share, bucket)) return api_error(429, MSG_SHARE_SLOW);
    ServerMap map = checked;
    if (!server_map_store(st, map, (long)server_now(s)))
        return api_error(API_STORE_ERROR, "The map could not be stored; try again later.");
    server_map_find(st, map.name, map);
    return api_ok("OK " + map.id);
}

// Everything of a share is checked on the request's worker but its replay
// (api_check).
ServerReply api_share(Server& s, ServerStore& st, const ServerPairs& form, bool post, const ApiCaller& c,
                      const std::string& peer) {
    if (c.uid.empty()) return api_error(403, MSG_SIGN_IN_SHARE);
    if (!post) return api_error(400, MSG_POST);
    // Only a map that is stored uses up the allowance of shares.
    std::string bucket = "share|" + c.rate_key;
    if (!server_limit_peek(s, st, s.limits.share, bucket)) return api_error(429, MSG_SHARE_SLOW);
    ServerMap map;
    LevelData lev;
    std::string why, replay;
    if (int status = api_share_check(st, form, c, map, lev, replay, why)) return api_error(status, why);
    return api_check(s, st, c, peer, "maps", server_replay_job(lev, replay),
                     [map, bucket](Server& s2, ServerStore& st2, const ServerCheck& done) {
                         return api_share_stored(s2, st2, map, bucket, done.result);
                     });
}

// A map the service holds, named by the request's lid; false with the refusal in *refusal.
bool api_known_map(ServerStore& st, const ServerPairs& q, ServerMap& map, ServerReply* refusal) {
    std::string lid = server_param(q, "lid");
    if (!server_map_name_ok(lid)) return *refusal = api_error(400, "The map's id is not valid."), false;
    if (!server_map_find(st, lid, map))
        return *refusal = api_error(404, "The service has no map named " + lid + "."), false;
    return true;
}

// Reading what the service keeps of a map costs a guest a download.
bool api_guest_reads(Server& s, ServerStore& st, const ApiCaller& c) {
    return !c.uid.empty() || server_limit_take(s, st, s.limits.download, "download|" + c.rate_key);
}

ServerReply api_replay(Server& s, ServerStore& st, const ServerPairs& q, const ApiCaller& c) {
    if (!api_guest_reads(s, st, c)) return api_error(429, MSG_SLOW_DOWN);
    ServerMap map;
    ServerReply refusal;
    if (!api_known_map(st, q, map, &refusal)) return refusal;
    std::string replay;
    if (!server_map_replay(st, map.name, replay)) return api_error(404, MSG_NO_REPLAY_YET);
    ServerReply r = api_ok("ok");
    r.body = replay;
    return r;
}

// A map's proven scores as lines of text: the best, the caller's own, how many.
ServerReply api_standings(ServerStore& st, const std::string& lid, const std::string& uid) {
    ServerStandings standings;
    if (!server_proof_standings(st, lid, uid, standings))
        return api_error(API_STORE_ERROR, "The scores could not be read; try again later.");
    std::string text;
    for (const ServerStanding& b : standings.best) {
        // Proofs come from accounts only: the uid is "g:" and the name.
        size_t prefix = strlen(SERVER_UID_PREFIX);
        if (b.player.compare(0, prefix, SERVER_UID_PREFIX) != 0) prefix = 0;
        text += "best " + std::to_string(b.rank) + " " + std::to_string(b.score) + " " + std::to_string(b.ticks) +
                " " + b.player.substr(prefix) + "\n";
    }
    if (standings.has_own)
        text += "own " + std::to_string(standings.own.rank) + " " + std::to_string(standings.own.score) + " " +
                std::to_string(standings.own.ticks) + "\n";
    text += "count " + std::to_string(standings.count) + "\n";
    ServerReply r = api_ok("ok");
    r.body = text;
    return r;
}

// The proof once its replay has been played: a win is kept, if it is the account's best.
ServerReply api_proof_stored(Server& s, ServerStore& st, const ServerProof& proof,
                             const std::shared_ptr<ServerProofEnd>& end, int result) {
    std::string why;
    if (result == LOGIC_REPLAY_OTHER_MAP) return api_error(400, MSG_PROOF_OTHER_MAP);
    if (int refused = server_replay_refusal(result, why)) return api_error(refused, why);
    ServerProof won = proof;
    won.score = end->score;
    won.ticks = end->ticks;
    if (!server_proof_store(st, won, (long)server_now(s)))
        return api_error(API_STORE_ERROR, "The score could not be stored; try again later.");
    return api_standings(st, won.lid, won.player);
}

// GET: the standings. POST: a play's replay proven in the checking pool like
// a share's, paid from the same budgets; a claim no better than the proof the
// account holds is answered at once, unplayed.
ServerReply api_proof(Server& s, ServerStore& st, const ServerPairs& q, const ServerPairs& form, bool post,
                      const ApiCaller& c, const std::string& peer) {
    ServerMap map;
    ServerReply refusal;
    if (!post) {
        if (!api_guest_reads(s, st, c)) return api_error(429, MSG_SLOW_DOWN);
        if (!api_known_map(st, q, map, &refusal)) return refusal;
        return api_standings(st, map.name, c.uid);
    }
    if (c.uid.empty()) return api_error(401, MSG_SIGN_IN_PROOF);
    if (!api_known_map(st, form, map, &refusal)) return refusal;
    long claimed = 0;
    if (!api_int(form, "score", API_TIME_MAX, &claimed)) return api_error(400, MSG_BAD_PROOF);
    ServerStandings held;
    if (!server_proof_standings(st, map.name, c.uid, held))
        return api_error(API_STORE_ERROR, "The scores could not be read; try again later.");
    if (held.has_own && held.own.score >= claimed) return api_standings(st, map.name, c.uid);
    std::string why, bytes;
    if (server_param(form, "replay").empty()) return api_error(400, MSG_PROOF_NO_REPLAY);
    if (int refused = server_replay_bytes(form, bytes, why)) return api_error(refused, why);
    LevelData lev;
    if (!server_record_inflate(map.data, lev))
        return api_error(API_STORE_ERROR, "The map could not be read; try again later.");
    // Told apart before anything is played or paid for.
    ServerProof proof;
    proof.lid = map.name;
    proof.player = c.uid;
    proof.digest = server_map_digest(lev);
    std::string digest = server_replay_map_digest(bytes);
    if (digest.empty()) return api_error(400, "The replay of the play could not be read.");
    if (digest != proof.digest) return api_error(400, MSG_PROOF_OTHER_MAP);
    std::shared_ptr<ServerProofEnd> end = std::make_shared<ServerProofEnd>();
    return api_check(s, st, c, peer, "plays", server_proof_job(lev, bytes, end),
                     [proof, end](Server& s2, ServerStore& st2, const ServerCheck& done) {
                         return api_proof_stored(s2, st2, proof, end, done.result);
                     });
}

ServerReply api_track(Server& s, ServerStore& st, const ServerPairs& q, const ApiCaller& c) {
    if (!server_limit_take(s, st, s.limits.track, "track|" + c.rate_key))
        return api_error(429, MSG_SLOW_DOWN);
    std::string page = server_param(q, "page"), category = server_param(q, "category"),
                action = server_param(q, "action");
    long value = 0;
    if (page.empty() || category.empty() || action.empty() ||
        !server_parse_int(server_param(q, "value"), -API_TIME_MAX, API_TIME_MAX, &value))
        return api_error(400, "The event is not valid.");
    server_event_store(st, c.player, server_clean_text(page, SERVER_PARAM_MAX),
                       server_clean_text(category, SERVER_PARAM_MAX), server_clean_text(action, SERVER_PARAM_MAX),
                       value, (long)server_now(s));
    return api_ok();
}

bool api_params_fit(const ServerPairs& pairs) {
    for (const auto& p : pairs)
        if (p.first.size() > SERVER_PARAM_MAX || (p.second.size() > SERVER_PARAM_MAX && p.first != "data" && p.first != "replay"))
            return false;
    return true;
}

}  // namespace

ServerReply server_api(Server& s, ServerStore& st, const ServerPairs& query, const ServerPairs& form, bool post,
                       const std::string& peer) {
    if (!api_params_fit(query) || !api_params_fit(form)) return api_error(400, MSG_LONG_PARAM);
    long version = 0;
    if (!server_parse_int(server_param(query, "_version"), 0, API_TIME_MAX, &version) ||
        version < SERVER_VERSION_MIN)
        return api_error(426, MSG_UPGRADE);
    ApiCaller c;
    ServerReply refusal;
    if (!api_caller(s, st, query, peer, c, &refusal)) return refusal;
    std::string action = server_param(query, "_action");
    if (action == "valid") return api_ok();
    if (action == "plays") return api_plays(s, st, query, c);
    if (action == "download") return api_download(s, st, query, c);
    if (action == "share") return api_share(s, st, form, post, c, peer);
    if (action == "track") return api_track(s, st, query, c);
    if (action == "replay") return api_replay(s, st, query, c);
    if (action == "proof") return api_proof(s, st, query, form, post, c, peer);
    return api_error(400, MSG_UNKNOWN);
}
