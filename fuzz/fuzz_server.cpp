// Fuzz target: arbitrary requests through the service's request handler
// (parsing, accounts, every action, the pages, map decoding), on a real store.
//
// Input: [mode] then the rest. Mode 0: method byte, then target and body
// split at the first NUL. Mode 1: an API request of a signed-in account whose
// action and extra query come from the input. Mode 2: a share of a signed-in
// account whose record is the input (padded or cut to one record). Mode 3: a
// share of a map that its player wins by standing still, with the input as
// its replay (given the map's digest when it decodes, so that it is played),
// then the same replay as a proof of that map.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "../server/server.h"
#include "base64.h"
#include "logic.h"

namespace {

double g_now = 1e9;
const int REPLAY_TICKS_MAX = 3000;  // longer replays are only decoded: long plays are slow to fuzz
double fuzz_clock() { return g_now; }

Server* fuzz_server() {
    static Server* s = nullptr;
    if (s) return s;
    s = new Server();
    s->clock = fuzz_clock;
    char tmpl[] = "/tmp/velquist-fuzz-server-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (!dir || !server_store_open(s->store, dir)) abort();
    server_account_create(s->store, "alice", "secret1");
    server_replay_set_tiles(VELQUIST_TILES_JSON);
    return s;
}

// A new map with a window beside its start (tile numbers of data/tiles.json).
const LevelData& idle_map() {
    static LevelData* lev = nullptr;
    if (lev) return *lev;
    static Game g;
    logic_new(g);
    lev = new LevelData(g.level);
    lev->data[MAP_SIZE / 2][MAP_SIZE / 2 + 1] = 7;
    lev->dirty = 0;
    return *lev;
}

std::string form_value(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '+') out += "%2b";
        else if (c == '/') out += "%2f";
        else if (c == '=') out += "%3d";
        else out += c;
    }
    return out;
}

std::string account_query(const std::string& action) {
    return std::string(SERVER_SCRIPT) + "?&_vinfo=fuzz&_version=2&_uid=g%3aalice&_name=alice&_token=" +
           server_token("alice", "secret1") + "&_udid=time%7c1&_action=" + action;
}

void check(const ServerReply& r, bool api) {
    bool response = false;
    for (const auto& h : r.headers) {
        if (h.second.find_first_of("\r\n") != std::string::npos) abort();
        if (h.first == "X-Error" && h.second.size() > SERVER_HEADER_VALUE_MAX) abort();
        if (h.first == "X-Response" && !h.second.empty()) response = true;
    }
    if (api && !response) abort();
    if (r.status < 100 || r.status > 599) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Server* s = fuzz_server();
    g_now += 7;  // buckets refill a little between inputs
    std::string rest((const char*)data + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        if (rest.empty()) return 0;
        static const char* const METHODS[] = {"GET", "POST", "HEAD", "PUT"};
        const char* method = METHODS[(unsigned char)rest[0] % 4];
        std::string tail = rest.substr(1);
        size_t nul = tail.find('\0');
        std::string target = tail.substr(0, nul);
        std::string body = nul == std::string::npos ? std::string() : tail.substr(nul + 1);
        ServerReply r = server_handle(*s, method, target, body, "10.0.0.1");
        check(r, target.compare(0, strlen(SERVER_SCRIPT), SERVER_SCRIPT) == 0 &&
                     (target.size() == strlen(SERVER_SCRIPT) || target[strlen(SERVER_SCRIPT)] == '?'));
        break;
    }
    case 1: {
        size_t nul = rest.find('\0');
        std::string action = rest.substr(0, nul);
        std::string extra = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
        check(server_handle(*s, "GET", account_query(action) + "&" + extra, "", "10.0.0.2"), true);
        break;
    }
    case 2: {
        std::string record = rest;
        record.resize(SERVER_RECORD_SIZE, '\0');
        std::unique_ptr<LevelData> lev{new LevelData()};
        memcpy(lev.get(), record.data(), SERVER_RECORD_SIZE);
        std::string packed = server_record_pack(*lev);
        if (packed.empty()) return 0;
        std::string body = "&target=1&id=1&title=t&intro=i&data=" + form_value(base64_encode(packed));
        check(server_handle(*s, "POST", account_query("share"), body, "10.0.0.3"), true);
        break;
    }
    case 3: {
        g_now += 60;  // a share token for every input
        LogicReplay r;
        std::string replay = rest;
        if (logic_replay_decode(rest, r) && r.ticks <= REPLAY_TICKS_MAX) {
            logic_replay_digest(idle_map(), r.digest);
            replay = logic_replay_encode(r);
        }
        std::string body = "&target=1&id=1&title=t&intro=i&data=" +
                           form_value(base64_encode(server_record_pack(idle_map()))) +
                           "&replay=" + form_value(base64_encode(replay));
        check(server_handle(*s, "POST", account_query("share"), body, "10.0.0.4"), true);
        // The same replay as a proof of that map, then the map's replay and standings read back.
        body = "&lid=1&score=999999&replay=" + form_value(base64_encode(replay));
        check(server_handle(*s, "POST", account_query("proof"), body, "10.0.0.4"), true);
        check(server_handle(*s, "GET", account_query("replay") + "&lid=1", "", "10.0.0.4"), true);
        check(server_handle(*s, "GET", account_query("proof") + "&lid=1", "", "10.0.0.4"), true);
        break;
    }
    }
    return 0;
}
