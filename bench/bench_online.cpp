// Storing a downloaded list: the whole work one tick does when a download
// finishes (writing tmp.db, reading it untrusted, replacing the list in
// net.db in one transaction), for a list of the service's size and for the
// largest list the game takes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "driver.h"
#include "game_web_internal.h"
#include "logic.h"
#include "util.h"

namespace {

// A list file of n maps, each a packed new map, as the service sends it.
std::string _list_file(Game& g, int n, const std::string& dir) {
    std::string path = dir + "/list.db";
    {
        MyDB db;
        db.open(path.c_str());
        db.query(logic_levels_create().c_str());
        logic_new(g);
        int len = 0;
        const char* p = logic_pack(g, &len);
        std::string data = p ? std::string(p, (size_t)len) : std::string("x");
        db.begin();
        for (int i = 0; i < n; i++) {
            std::string id = "m" + std::to_string(i);
            db.query("insert into levels (id,name,author,data,title,ts,uid,stars,skulls,intro,value) "
                     "values (?,?,?,?,?,?,?,?,?,?,?)",
                     {id, "n" + id, "Ann", data, "Map " + id, "1300000000", "g:Ann", "3.5", "2",
                      "An intro of a usual length for a shared map.", std::to_string(i)});
        }
        db.commit();
    }
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A finished exchange holding `answer`, as the client leaves it.
void _answer(WebRequest& slot, const std::string& answer) {
    slot.close();
    kv_web* w = (kv_web*)calloc(1, sizeof(kv_web));
    w->sockfd = -1;
    kv_web_feed(w, (const unsigned char*)answer.data(), (int)answer.size());
    w->state = KV_WEB_FINISHED;
    slot.page = w;
}

void BM_StoreDownloadedList(benchmark::State& state) {
    char tmpl[] = "/tmp/velquist-bench-XXXXXX";
    const char* home = mkdtemp(tmpl);
    if (!home) {
        state.SkipWithError("no temporary folder");
        return;
    }
    setenv("HOME", home, 1);
    driver_set_gamename("Velquist");
    std::unique_ptr<Game> g(new Game());
    game_db_open(*g, g->netdb, driver_doc_fname("net.db"));
    mystrcpy(g->q_value, sizeof(g->q_value), "c~newest");
    std::string answer = "HTTP/1.0 200 OK\r\nX-Response: ok\r\n\r\n" + _list_file(*g, (int)state.range(0), home);
    for (auto _ : state) {
        _answer(w_download, answer);
        game_handle_download(*g);
    }
    w_download.close();
    g->netdb.close();
    std::filesystem::remove_all(home);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StoreDownloadedList)->Arg(50)->Arg(500)->Unit(benchmark::kMillisecond);

}  // namespace
