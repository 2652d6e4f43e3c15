// velquist_proof_bench: what proving a score costs the service, on the
// featured maps with their own winning replays: the check alone (CPU time of
// playing the replay on a checking thread) and the whole proof request (the
// account, the map read from the store, the check, the score kept), each the
// median of RUNS runs per map; then the median and the worst over the maps.
//
//   velquist_proof_bench SEED_DB TILES_JSON [RUNS]
//
// SEED_DB is the map compiler's output (build/server/velquist-seed.db),
// TILES_JSON the game's catalogue (build/data/tiles.json).
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base64.h"
#include "server.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The game's form encoding: Base64's '+', '/' and '=' are escaped.
std::string urlencode(const std::string& text) {
    static const char HEX[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c)) {
            out += (char)c;
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 15];
        }
    }
    return out;
}

double wall_s() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Figures {
    std::string name;
    long score = 0, ticks = 0;
    double check_ms = 0, request_ms = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: velquist_proof_bench SEED_DB TILES_JSON [RUNS]\n");
        return 2;
    }
    int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 9;
    server_replay_set_tiles(argv[2]);
    char tmpl[] = "/tmp/velquist-proof-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::string dir = tmpl;
    std::unique_ptr<Server> s(new Server());
    if (!server_store_open(s->store, dir) || server_store_seed(s->store, argv[1]) <= 0 ||
        !server_account_create(s->store, "bench", "secret1"))
        return 1;
    std::string target = std::string(SERVER_SCRIPT) + "?&_version=2&_name=bench&_token=" +
                         server_token("bench", "secret1") + "&_action=proof";
    std::vector<Figures> all;
    MyDB seed;
    seed.open_readonly(argv[1]);
    for (MyRow& row : seed.query("select id, name from levels order by name")) {
        ServerMap map;
        std::string b64, bytes;
        LevelData lev;
        if (!server_map_find(s->store, row["name"], map) || !server_map_replay(s->store, map.name, b64) ||
            !base64_decode(b64, &bytes) || !server_record_inflate(map.data, lev))
            continue;
        Figures f;
        f.name = map.name;
        std::vector<double> check, request;
        for (int i = 0; i < runs; i++) {
            std::shared_ptr<ServerProofEnd> end = std::make_shared<ServerProofEnd>();
            ServerCheck c;
            c.run = server_proof_job(lev, bytes, end);
            server_check_run_here(c);
            check.push_back(c.cpu * 1000);
            f.score = end->score;
            f.ticks = end->ticks;
            // A claim above any score: every run is played, none answered from the store.
            std::string body = "&lid=" + urlencode(map.name) + "&score=999999&replay=" + urlencode(b64);
            double t0 = wall_s();
            ServerReply r = server_handle(*s, "POST", target, body, "127.0.0.1");
            request.push_back((wall_s() - t0) * 1000);
            if (r.status != 200)
                fprintf(stderr, "%s: refused with %d: %s\n", map.name.c_str(), r.status, r.body.c_str());
        }
        f.check_ms = median(check);
        f.request_ms = median(request);
        all.push_back(f);
    }
    printf("%-8s %7s %6s %10s %12s\n", "map", "ticks", "score", "check ms", "request ms");
    std::vector<double> checks, requests;
    for (const Figures& f : all) {
        printf("%-8s %7ld %6ld %10.2f %12.2f\n", f.name.c_str(), f.ticks, f.score, f.check_ms, f.request_ms);
        checks.push_back(f.check_ms);
        requests.push_back(f.request_ms);
    }
    printf("%zu featured maps, %d runs each: check median %.2f ms, worst %.2f ms; "
           "whole proof median %.2f ms, worst %.2f ms\n",
           all.size(), runs, median(checks), checks.empty() ? 0 : *std::max_element(checks.begin(), checks.end()),
           median(requests), requests.empty() ? 0 : *std::max_element(requests.begin(), requests.end()));
    s->store.db.close();
    std::string cmd = "rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    return all.empty() ? 1 : 0;
}
