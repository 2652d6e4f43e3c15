// The service plays a shared map's replay before it takes the map, and
// refuses featured maps whose replays do not win them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server.h"
#include "test_replay.h"
#include "util.h"
#include "web.h"

namespace {

const char NO_REPLAY[] = "The map came without the replay of its win. Beat it again from the editor, then share it.";
const char UNREADABLE[] = "The replay of the map's win could not be read.";
const char OTHER_MAP[] = "The map differs from the one its replay won. Beat it again from the editor, then share it.";
const char NOT_WON[] = "The replay does not win the map.";
const char NOT_CLEAN[] =
    "The replay does not win the map cleanly: every cartridge must be collected, without rewinding.";

struct Store {
    Server s;
    std::string dir;
    Store() {
        char tmpl[] = "/tmp/velquist-replay-XXXXXX";
        dir = mkdtemp(tmpl);
        EXPECT_TRUE(server_store_open(s.store, dir));
    }
    ~Store() {
        s.store.db.close();
        std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
};

std::string packed(const LevelData& lev) {
    std::string out = server_record_pack(lev);
    return base64_encode(out);
}

std::string share_target(const char* name, const char* password) {
    return std::string(SERVER_SCRIPT) + "?&_version=2&_name=" + name + "&_token=" + server_token(name, password) +
           "&_action=share";
}

std::string error_of(const ServerReply& r) {
    for (const auto& h : r.headers)
        if (h.first == "X-Error") return h.second;
    return std::string();
}

}  // namespace

TEST(ServerReplay, ASharedMapIsTakenOnlyWithAReplayThatWinsItCleanly) {
    Store st;
    ASSERT_TRUE(server_account_create(st.s.store, "alice", "secret1"));
    World w;
    w.draw(60, 60, {
        "#########",
        "#@..$...W",
        "#.......#",
        "#########",
    });
    LevelData map = w.lev();
    map.inventory[D_BOMB1] = 1;
    mystrcpy(map.name, sizeof(map.name), "hallway");
    std::string clean = base64_encode(record_play(w.g(), map, [](Game& g) { logic_click(g, 67, 61); }));
    World w2;
    std::string unclean = base64_encode(record_play(w2.g(), map, [](Game& g) {
        logic_click(g, 61, 62);  // the row below, past the cartridge
        recorded_tick(g, 20);
        logic_click(g, 66, 62);
        recorded_tick(g, 60);
        logic_click(g, 67, 61);
    }));
    LevelData more_bombs = map, another = map;
    more_bombs.inventory[D_BOMB1] = 2;
    another.data[62][62] = T_WALL;
    std::string nothing = base64_encode(logic_replay_encode(LogicReplay()));
    std::string cut_short;
    {
        std::string bytes;
        ASSERT_TRUE(base64_decode(clean, &bytes));
        LogicReplay r;
        ASSERT_TRUE(logic_replay_decode(bytes, r));
        r.ticks -= 20;
        cut_short = base64_encode(logic_replay_encode(r));
    }
    struct Case {
        const char* what;
        const LevelData* map;
        std::string replay;
        const char* error;
    } cases[] = {
        {"no replay", &map, "", NO_REPLAY},
        {"a replay that is not Base64", &map, "QUJD*", UNREADABLE},
        {"a replay of no tick", &map, nothing, UNREADABLE},
        {"a wall added after the win", &another, clean, OTHER_MAP},
        {"more bombs than the win had", &more_bombs, clean, OTHER_MAP},
        {"a replay cut before its win", &map, cut_short, NOT_WON},
        {"a win past the cartridge", &map, unclean, NOT_CLEAN},
        {"the clean win", &map, clean, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string body = "&target=1&id=1700000123&title=Hall&intro=&data=" + web_urlencode(packed(*c.map));
        if (!c.replay.empty()) body += "&replay=" + web_urlencode(c.replay);
        ServerReply r = server_handle(st.s, "POST", share_target("alice", "secret1"), body, "127.0.0.1");
        EXPECT_EQ(error_of(r), c.error);
        EXPECT_EQ(server_count(st.s.store, "maps"), *c.error ? 0 : 1);
    }
}

TEST(ServerReplay, ChecksArePaidForByTheAccountRefusedOrNot) {
    Store st;
    static double now = 1000;
    st.s.clock = [] { return now; };
    st.s.limits.check_cpu_max = 0.05;
    st.s.limits.check_account = {0.09, 0.09 / 60};  // one costly check a minute
    ASSERT_TRUE(server_account_create(st.s.store, "alice", "secret1"));
    ASSERT_TRUE(server_account_create(st.s.store, "bob", "secret2"));
    const char* passwords[] = {"secret1", "secret2"};
    LevelData maze = hostile_maze();
    std::string costly = base64_encode(hostile_replay(maze, LOGIC_REPLAY_PATHS_MAX, 32));
    World w;
    w.draw(60, 60, {"@W"});
    LevelData honest = w.lev();
    std::string won = idle_win_replay(honest);
    struct Step {
        const char* what;
        int who;        // 0 alice, 1 bob
        bool hostile;
        double later;   // seconds before it
        int status;
        const char* error;  // the start of the X-Error
        bool proof;         // a proof of the map shared last, not a share
    } steps[] = {
        {"a costly share is checked, and refused", 0, true, 0, 400, "The replay takes too long to check.", false},
        {"the next is refused before any checking", 0, true, 0, 429, "Your maps have taken the service long", false},
        {"so is an honest one of the same account", 0, false, 0, 429, "Your maps have taken the service long", false},
        {"another account is not held up", 1, false, 0, 200, "", false},
        {"a proof is paid from the same budget", 0, false, 0, 429, "Your plays have taken the service long", true},
        {"two minutes later the budget is back", 0, false, 120, 200, "", false},
        {"and a proof is played", 0, false, 0, 200, "", true},
    };
    int n = 0;
    std::string shared;
    for (const Step& c : steps) {
        SCOPED_TRACE(c.what);
        now += c.later;
        LevelData lev = c.hostile ? maze : honest;
        mystrcpy(lev.name, sizeof(lev.name), ("map" + std::to_string(n++)).c_str());
        std::string replay = "&replay=" + web_urlencode(c.hostile ? costly : won);
        std::string body = c.proof ? "&lid=" + shared + "&score=1" + replay
                                   : "&target=1&id=1&title=T&intro=&data=" + web_urlencode(packed(lev)) + replay;
        const char* who = c.who ? "bob" : "alice";
        std::string target = share_target(who, passwords[c.who]);
        if (c.proof) target.replace(target.rfind("share"), 5, "proof");
        ServerReply r = server_handle(st.s, "POST", target, body, "127.0.0.1");
        if (!c.proof && r.status == 200) shared = lev.name;
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(error_of(r).compare(0, strlen(c.error), c.error), 0) << error_of(r);
        bool retry = false;
        for (const auto& h : r.headers) retry |= h.first == "Retry-After" && atoi(h.second.c_str()) >= 1;
        EXPECT_EQ(retry, c.status == 429);
    }
}

TEST(ServerReplay, FeaturedMapsComeInOnlyWithWinningReplays) {
    Store st;
    std::string seed = st.dir + "/seed.db";
    std::string cmd = std::string("cp '") + VELQUIST_SEED_DB + "' '" + seed + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    int maps = 0;
    {
        MyDB db;
        db.open(seed.c_str());
        maps = (int)db.query("select id from levels").size();
        ASSERT_GE(maps, 10);
        EXPECT_EQ((int)db.query("select id from replays").size(), maps) << "the map compiler writes every replay";
    }
    EXPECT_EQ(server_store_seed(st.s.store, seed), maps) << "every featured map is won by its replay";
    std::string kept, seeded;
    {
        MyDB db;
        db.open(seed.c_str());
        seeded = game_replay_find(db, "vq02");
    }
    EXPECT_TRUE(server_map_replay(st.s.store, "vq02", kept));
    EXPECT_EQ(kept, seeded) << "a featured map keeps its replay";
    {
        // One map given another's replay, and one without any.
        MyDB db;
        db.open(seed.c_str());
        db.query("update replays set replay = (select replay from replays where id = 'vq02') where id = 'vq01'");
        db.query("delete from replays where id = 'vq03'");
    }
    Store fresh;
    EXPECT_EQ(server_store_seed(fresh.s.store, seed), maps - 2);
    ServerMap m;
    EXPECT_FALSE(server_map_find(fresh.s.store, "vq01", m));
    EXPECT_FALSE(server_map_find(fresh.s.store, "vq03", m));
    EXPECT_TRUE(server_map_find(fresh.s.store, "vq02", m));
}

TEST(ServerReplay, FeaturedReplaysPlayTheSameOnSeveralThreadsAtOnce) {
    struct Featured {
        std::unique_ptr<LevelData> map, end;
        std::string replay;
    };
    std::vector<Featured> maps;
    MyDB db;
    db.open_readonly(VELQUIST_SEED_DB);
    for (MyRow& row : db.query("select l.data as data, r.replay as replay from levels l join replays r on r.id = l.id "
                               "order by l.name")) {
        Featured f;
        f.map.reset(new LevelData());
        ASSERT_TRUE(server_record_inflate(row["data"], *f.map));
        ASSERT_TRUE(base64_decode(row["replay"], &f.replay));
        maps.push_back(std::move(f));
    }
    ASSERT_GE(maps.size(), 10u);
    // One thread first: the end of every play, as one Game after another leaves it.
    Game alone;
    ASSERT_TRUE(server_tiles_copy(alone));
    for (Featured& f : maps) {
        ASSERT_EQ(logic_replay_check(alone, *f.map, f.replay), LOGIC_REPLAY_WON);
        f.end.reset(new LevelData(alone.level));
    }
    // Then three Games on three threads at once, each going through the maps
    // from another one: every end equal to the one alone, byte for byte.
    enum { THREADS = 3 };
    std::atomic<int> differ{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; t++)
        threads.emplace_back([&, t] {
            std::unique_ptr<Game> g(new Game());
            if (!server_tiles_copy(*g)) return (void)differ++;
            for (size_t k = 0; k < maps.size(); k++) {
                const Featured& f = maps[(k + t * maps.size() / THREADS) % maps.size()];
                int verdict = logic_replay_check(*g, *f.map, f.replay);
                if (verdict != LOGIC_REPLAY_WON || memcmp(&g->level, f.end.get(), sizeof(LevelData)) != 0) differ++;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(differ, 0);
}
