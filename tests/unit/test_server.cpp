// The reference service driven by the game's own HTTP client over the
// loopback address: accounts, sharing, lists, ratings, hostile requests and
// rate limits, each on an SQLite store and on a PostgreSQL store of its own;
// plus the built program with its seed maps.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "md5.h"
#include "base64.h"
#include "server.h"
#include "test_replay.h"
#include "test_server_pg.h"
#include "util.h"
#include "web.h"

namespace {

const double EXCHANGE_LIMIT_S = 10.0;
const char GAME_TAG[] = "1.0.3-Desktop-Linux-KAVODEL";

double g_fake_now = 1000.0;
double fake_clock() { return g_fake_now; }

// A fresh service on a free loopback port with its own store: a folder, or
// a new database on this process's PostgreSQL server.
class Service {
public:
    explicit Service(bool fake_time = false, const std::string& kind = "sqlite") {
        char tmpl[] = "/tmp/velquist-server-XXXXXX";
        dir = mkdtemp(tmpl);
        if (fake_time) s.clock = fake_clock;
        where = kind == "postgresql" ? pgtest::fresh_database() : dir;
        EXPECT_TRUE(!where.empty() && server_store_open(s.store, where)) << kind;
        kv_web_init();
    }
    ~Service() {
        stop();
        s.store.db.close();
        std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    void start() {
        d = server_daemon_start(s, "127.0.0.1", 0);
        ASSERT_NE(d, nullptr);
        port = server_daemon_port(d);
    }
    void stop() {
        server_daemon_stop(d);
        d = nullptr;
    }
    int maps() { return server_count(s.store, "maps"); }
    // One request straight to the handler, as if from peer.
    ServerReply handle(const std::string& target, const std::string& body = "", const char* peer = "10.0.0.1") {
        return server_handle(s, body.empty() ? "GET" : "POST", target, body, peer);
    }

    Server s;
    std::string dir, where;
    ServerDaemon* d = nullptr;
    int port = 0;
};

// The suites that run on both stores.
#ifdef VELQUIST_POSTGRESQL
#define VELQUIST_TEST_STORES std::string("sqlite"), std::string("postgresql")
#else
#define VELQUIST_TEST_STORES std::string("sqlite")
#endif
class StoreTest : public ::testing::TestWithParam<std::string> {};
class ServerApi : public StoreTest {};
class ServerHostile : public StoreTest {};
class ServerPages : public StoreTest {};
std::string store_name(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

// What the game would send as its common query.
struct Player {
    std::string name, password, udid = "time|1700000000";
    std::string version = "2";
    std::string query(const char* action) const {
        std::string token = md5_digest(name + "|" + md5_digest(password));
        return std::string(SERVER_SCRIPT) + "?&_vinfo=" + web_urlencode(GAME_TAG) + "&_version=" +
               web_urlencode(version) + "&_uid=" + web_urlencode("g:" + name) + "&_name=" + web_urlencode(name) +
               "&_token=" + web_urlencode(token) + "&_udid=" + web_urlencode(udid) + "&_action=" + action;
    }
};

struct Answer {
    bool transport_error = true;
    std::string response, error, body;
};

// One exchange the way the game runs it: exec, then a poll a tick.
Answer ask(int port, const std::string& request, const std::string& post = "") {
    WebRequest r;
    r.host = "127.0.0.1";
    r.port = port;
    r.request = request;
    r.post = post;
    r.timeout = 5.0f;
    r.exec();
    auto start = std::chrono::steady_clock::now();
    while (!r.poll()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(EXCHANGE_LIMIT_S)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Answer a;
    a.transport_error = r.has_error();
    a.response = r.get_header("X-Response");
    a.error = r.get_header("X-Error");
    int len = 0;
    const unsigned char* data = r.get_response(&len);
    if (data) a.body.assign((const char*)data, (size_t)len);
    r.close();
    return a;
}

LevelData sample_map(const char* name, const char* author) {
    LevelData lev;
    memset(&lev, 0, sizeof(lev));
    lev.version = 1;
    mystrcpy(lev.name, sizeof(lev.name), name);
    mystrcpy(lev.id, sizeof(lev.id), "1700000123");
    mystrcpy(lev.title, sizeof(lev.title), "Moonlit Vault");
    mystrcpy(lev.intro, sizeof(lev.intro), "Mind the guard.");
    mystrcpy(lev.author, sizeof(lev.author), author);
    mystrcpy(lev.uid, sizeof(lev.uid), (std::string("g:") + author).c_str());
    for (int y = 60; y < 70; y++)
        for (int x = 60; x < 70; x++) lev.data[y][x] = TILE_FLOOR;
    lev.data[64][64] = TILE_START;
    lev.data[64][65] = T_WINDOW;  // beside the start: the map wins itself
    lev.inventory[D_BOMB1] = 2;
    return lev;
}

std::string pack(const void* bytes, size_t n) {
    std::string out(compressBound(n), '\0');
    uLongf len = out.size();
    EXPECT_EQ(compress((Bytef*)&out[0], &len, (const Bytef*)bytes, n), Z_OK);
    out.resize(len);
    return out;
}

std::string share_body(const std::string& b64, const char* target = "1", const char* title = "Moonlit Vault") {
    return std::string("&target=") + target + "&id=1700000123&title=" + web_urlencode(title) +
           "&intro=" + web_urlencode("Mind the guard.") + "&data=" + web_urlencode(b64);
}

// With the replay of the map's win, as the game shares a map it has beaten.
std::string share_body(const LevelData& lev) {
    return share_body(base64_encode(pack(&lev, sizeof(lev)))) + "&replay=" + web_urlencode(idle_win_replay(lev));
}

// Writes a downloaded list to a file and reads its rows back.
MyResult open_list(const std::string& body, const std::string& dir, int* columns = nullptr) {
    std::string path = dir + "/list.db";
    FILE* f = fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    fwrite(body.data(), 1, body.size(), f);
    fclose(f);
    MyDB db;
    db.open_untrusted(path.c_str());
    if (columns) *columns = (int)db.query("pragma table_info(levels)").size();
    return db.query("select * from levels order by value asc");
}

Player account(Service& svc, const char* name, const char* password) {
    EXPECT_TRUE(server_account_create(svc.s.store, name, password));
    Player p;
    p.name = name;
    p.password = password;
    return p;
}

std::string plays_query(const Player& p, const char* lid, int stars, int skulls) {
    return p.query("plays") + "&lid=" + web_urlencode(lid) + "&tm=42&bonus=1000&rewind=0&extra=1&stars=" +
           std::to_string(stars) + "&skulls=" + std::to_string(skulls);
}

}  // namespace

TEST_P(ServerApi, AccountCheckForGuestsTokensAndOldVersions) {
    Service svc(false, GetParam());
    svc.start();
    Player alice = account(svc, "alice", "secret1");
    Player guest;
    Answer a = ask(svc.port, guest.query("valid"));
    EXPECT_FALSE(a.transport_error);
    EXPECT_FALSE(a.response.empty());
    EXPECT_EQ(a.error, "") << "a guest must never see the error screen at start";

    a = ask(svc.port, alice.query("valid"));
    EXPECT_FALSE(a.response.empty());
    EXPECT_EQ(a.error, "");

    Player wrong = alice;
    wrong.password = "secret2";
    a = ask(svc.port, wrong.query("valid"));
    EXPECT_FALSE(a.response.empty()) << "a refusal still carries X-Response";
    EXPECT_EQ(a.error, "Wrong user name or password.");

    Player nobody;
    nobody.name = "nobody";
    a = ask(svc.port, nobody.query("valid"));
    EXPECT_NE(a.error.find("no account named nobody"), std::string::npos) << a.error;

    Player old = alice;
    old.version = "1";
    a = ask(svc.port, old.query("valid"));
    EXPECT_NE(a.error.find("X01"), std::string::npos) << a.error;
}

TEST_P(ServerApi, SharedMapComesBackInNewestAndByItsAuthor) {
    Service svc(false, GetParam());
    svc.start();
    Player alice = account(svc, "alice", "secret1");
    LevelData lev = sample_map("vault", "alice");
    Answer a = ask(svc.port, alice.query("share"), share_body(lev));
    ASSERT_EQ(a.error, "");
    ASSERT_FALSE(a.response.empty());
    // Sharing again replaces the map rather than adding a second.
    a = ask(svc.port, alice.query("share"), share_body(lev));
    ASSERT_EQ(a.error, "");
    EXPECT_EQ(svc.maps(), 1);

    for (const char* q : {"c~newest", "u~g:alice"}) {
        SCOPED_TRACE(q);
        Answer d = ask(svc.port, alice.query("download") + "&q=" + web_urlencode(q));
        ASSERT_EQ(d.error, "");
        ASSERT_GT(d.body.size(), 0u);
        int columns = 0;
        MyResult rows = open_list(d.body, svc.dir, &columns);
        EXPECT_EQ(columns, 12);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0]["name"], "vault");
        EXPECT_EQ(rows[0]["author"], "alice");
        EXPECT_EQ(rows[0]["uid"], "g:alice");
        EXPECT_EQ(rows[0]["title"], "Moonlit Vault");
        EXPECT_EQ(rows[0]["intro"], "Mind the guard.");
        EXPECT_EQ(rows[0]["q"], q);
        EXPECT_EQ(rows[0]["value"], "0");
        EXPECT_NE(rows[0]["id"], "1700000123") << "the service gives its own key";
        LevelData back;
        ASSERT_TRUE(server_record_inflate(rows[0]["data"], back));
        EXPECT_EQ(memcmp(&back, &lev, sizeof(lev)), 0) << "the record comes back as it was shared";
    }
    // Another author's list and an unknown list.
    Answer d = ask(svc.port, alice.query("download") + "&q=u~g:bob");
    EXPECT_EQ(open_list(d.body, svc.dir).size(), 0u);
    d = ask(svc.port, alice.query("download") + "&q=c~everything");
    EXPECT_NE(d.error, "");
}

TEST_P(ServerApi, RatingsAverageTheNonZeroOnesAndTheLatestWins) {
    Service svc(false, GetParam());
    svc.start();
    Player alice = account(svc, "alice", "secret1"), bob = account(svc, "bob", "secret2"),
           carol = account(svc, "carol", "secret3"), guest;
    ASSERT_EQ(ask(svc.port, alice.query("share"), share_body(sample_map("vault", "alice"))).error, "");
    ASSERT_EQ(ask(svc.port, alice.query("share"), share_body(sample_map("tower", "alice"))).error, "");
    auto rating = [&](const char* what) {
        Answer d = ask(svc.port, guest.query("download") + "&q=u~g:alice");
        for (MyRow& r : open_list(d.body, svc.dir))
            if (r["name"] == "vault") return atof(r[what].c_str());
        return -1.0;
    };
    EXPECT_EQ(rating("stars"), 0.0);
    EXPECT_EQ(ask(svc.port, plays_query(bob, "vault", 4, 2)).error, "");
    EXPECT_EQ(ask(svc.port, plays_query(carol, "vault", 2, 0)).error, "");
    EXPECT_DOUBLE_EQ(rating("stars"), 3.0);
    EXPECT_DOUBLE_EQ(rating("skulls"), 2.0) << "an unrated part counts for nothing";
    EXPECT_EQ(ask(svc.port, plays_query(bob, "vault", 5, 0)).error, "");
    EXPECT_DOUBLE_EQ(rating("stars"), 3.5) << "bob's latest rating replaces his first";
    EXPECT_DOUBLE_EQ(rating("skulls"), 2.0) << "a zero keeps bob's earlier difficulty";
    // Neither guests nor the author move the average; their plays still count.
    EXPECT_EQ(ask(svc.port, plays_query(guest, "vault", 1, 1)).error, "");
    EXPECT_EQ(ask(svc.port, plays_query(alice, "vault", 5, 5)).error, "");
    EXPECT_DOUBLE_EQ(rating("stars"), 3.5);
    EXPECT_EQ(server_count(svc.s.store, "plays"), 5);

    // Bob loves vault: it is his favourite, and alice's maps are his friends' maps.
    Answer d = ask(svc.port, bob.query("download") + "&q=c~favorites");
    MyResult fav = open_list(d.body, svc.dir);
    ASSERT_EQ(fav.size(), 1u);
    EXPECT_EQ(fav[0]["name"], "vault");
    EXPECT_EQ(open_list(ask(svc.port, guest.query("download") + "&q=f~g:carol").body, svc.dir).size(), 0u);
    d = ask(svc.port, bob.query("download") + "&q=c~friends");
    EXPECT_EQ(open_list(d.body, svc.dir).size(), 2u);
    d = ask(svc.port, guest.query("download") + "&q=c~friends");
    EXPECT_NE(d.error, "") << "a guest has no friends list: the error screen offers to sign in";
    d = ask(svc.port, guest.query("download") + "&q=c~popular");
    MyResult popular = open_list(d.body, svc.dir);
    ASSERT_EQ(popular.size(), 2u);
    EXPECT_EQ(popular[0]["name"], "vault") << "played by the most players";
}

TEST_P(ServerApi, ReplaysAreKeptAndProofsRankedByTheServicesOwnScore) {
    Service svc(true, GetParam());
    Player alice = account(svc, "alice", "secret1"), bob = account(svc, "bob", "secret2"),
           carol = account(svc, "carol", "secret3"), dave = account(svc, "dave", "secret4"),
           erin = account(svc, "erin", "secret5"), frank = account(svc, "frank smith", "secret6"),
           gina = account(svc, "gina", "secret7"), guest;
    auto error = [](const ServerReply& r) {
        for (auto& h : r.headers)
            if (h.first == "X-Error") return h.second;
        return std::string();
    };
    // A hallway with a cartridge on the way to the window: the straight walk
    // takes it, the walk round it wins with fewer points.
    World w, w2, w3;
    w.draw(60, 60, {"#########", "#@..$...W", "#.......#", "#########"});
    LevelData map = w.lev();
    mystrcpy(map.name, sizeof(map.name), "hallway");
    LevelData walled = map;
    walled.data[62][62] = T_WALL;
    std::string clean = base64_encode(record_play(w.g(), map, [](Game& g) { logic_click(g, 67, 61); }));
    std::string round = base64_encode(record_play(w2.g(), map, [](Game& g) {
        logic_click(g, 61, 62);
        recorded_tick(g, 20);
        logic_click(g, 66, 62);
        recorded_tick(g, 60);
        logic_click(g, 67, 61);
    }));
    std::string walled_win = base64_encode(record_play(w3.g(), walled, [](Game& g) { logic_click(g, 67, 61); }));
    const LevelData &clean_end = w.g().level, &round_end = w2.g().level;
    ASSERT_LT(logic_points(round_end), logic_points(clean_end));
    std::string cut_short;
    {
        std::string bytes;
        LogicReplay r;
        ASSERT_TRUE(base64_decode(clean, &bytes) && logic_replay_decode(bytes, r));
        r.ticks -= 20;
        cut_short = base64_encode(logic_replay_encode(r));
    }
    auto line = [](const char* kind, int rank, const LevelData& end, const char* name) {
        return std::string(kind) + " " + std::to_string(rank) + " " + std::to_string(logic_points(end)) + " " +
               std::to_string(end.timer) + (name ? std::string(" ") + name : std::string()) + "\n";
    };
    std::string share = share_body(base64_encode(pack(&map, sizeof(map)))) + "&replay=" + web_urlencode(clean);
    ASSERT_EQ(error(svc.handle(alice.query("share"), share)), "");

    // The shared map's replay comes back; a map without one and an unknown map are refused.
    ServerMap bare;
    bare.name = "bare";
    bare.uid = "g:alice";
    bare.author = "alice";
    bare.data = pack(&map, sizeof(map));
    ASSERT_TRUE(server_map_store(svc.s.store, bare, 1));
    ServerReply r = svc.handle(guest.query("replay") + "&lid=hallway");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, clean);
    r = svc.handle(guest.query("replay") + "&lid=bare");
    EXPECT_EQ(r.status, 404);
    EXPECT_EQ(error(r), "This map has no replay yet.");
    EXPECT_EQ(svc.handle(guest.query("replay") + "&lid=nowhere").status, 404);
    EXPECT_EQ(svc.handle(guest.query("proof") + "&lid=nowhere").status, 404);

    struct Step {
        const char* what;
        const Player* who;
        std::string replay;
        long claim;
        int status;
        std::string error, body;  // body "" is not looked at
    } steps[] = {
        {"a guest proves nothing", &guest, clean, 1, 401, "Sign in to prove your scores.", ""},
        {"a replay of another map", &bob, walled_win, 1, 400, "The replay is of another map.", ""},
        {"a replay that loses", &bob, cut_short, 1, 400, "The replay does not win the map.", ""},
        {"a win past the cartridge, its claim ignored", &bob, round, 99999, 200, "",
         line("best", 1, round_end, "bob") + line("own", 1, round_end, nullptr) + "count 1\n"},
        {"no better than held: answered unplayed", &bob, "QUJD", logic_points(round_end), 200, "",
         line("best", 1, round_end, "bob") + line("own", 1, round_end, nullptr) + "count 1\n"},
        {"a better play ranks first", &carol, clean, 1, 200, "",
         line("best", 1, clean_end, "carol") + line("best", 2, round_end, "bob") +
             line("own", 1, clean_end, nullptr) + "count 2\n"},
        {"an equal play ranks behind the earlier", &bob, clean, 99999, 200, "",
         line("best", 1, clean_end, "carol") + line("best", 2, clean_end, "bob") +
             line("own", 2, clean_end, nullptr) + "count 2\n"},
        {"a third", &dave, round, 1, 200, "", ""},
        {"a fourth", &erin, round, 1, 200, "", ""},
        {"a sixth sees the best five and its own place", &frank, round, 1, 200, "", ""},
    };
    for (const Step& c : steps) {
        SCOPED_TRACE(c.what);
        g_fake_now += 1;
        r = svc.handle(c.who->query("proof"), "&lid=hallway&score=" + std::to_string(c.claim) +
                                                  "&replay=" + web_urlencode(c.replay));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(error(r), c.error);
        if (!c.body.empty()) {
            EXPECT_EQ(r.body, c.body);
        }
    }
    r = svc.handle(gina.query("proof"), "&lid=hallway&score=1&replay=" + web_urlencode(round));
    std::string five = line("best", 1, clean_end, "carol") + line("best", 2, clean_end, "bob") +
                       line("best", 3, round_end, "dave") + line("best", 4, round_end, "erin") +
                       line("best", 5, round_end, "frank smith");
    EXPECT_EQ(r.body, five + line("own", 6, round_end, nullptr) + "count 6\n");
    EXPECT_EQ(svc.handle(guest.query("proof") + "&lid=hallway").body, five + "count 6\n");

    // The map shared again as another map: the scores proven on the old one go.
    share = share_body(base64_encode(pack(&walled, sizeof(walled)))) + "&replay=" + web_urlencode(walled_win);
    ASSERT_EQ(error(svc.handle(alice.query("share"), share)), "");
    EXPECT_EQ(svc.handle(guest.query("proof") + "&lid=hallway").body, "count 0\n");
}

TEST_P(ServerHostile, RefusedUploadsLeaveTheStoreUnchanged) {
    Service svc(false, GetParam());
    svc.start();
    Player alice = account(svc, "alice", "secret1"), bob = account(svc, "bob", "secret2"), guest;
    ASSERT_EQ(ask(svc.port, bob.query("share"), share_body(sample_map("taken", "bob"))).error, "");
    LevelData lev = sample_map("vault", "alice");
    std::string record((const char*)&lev, sizeof(lev));
    LevelData dirty = lev;
    dirty.dirty = 1;
    Player wrong = alice;
    wrong.password = "guess";
    struct Case {
        const char* what;
        Player who;
        std::string body;
    } cases[] = {
        {"a wrong token", wrong, share_body(lev)},
        {"a guest", guest, share_body(lev)},
        {"broken Base64", alice, share_body("QUJD*")},
        {"Base64 of something that is not zlib", alice, share_body(base64_encode(record.substr(0, 300)))},
        {"a record one byte short", alice, share_body(base64_encode(pack(record.data(), record.size() - 1)))},
        {"a record one byte long", alice, share_body(base64_encode(pack((record + "x").data(), record.size() + 1)))},
        {"bytes after the stream", alice, share_body(base64_encode(pack(&lev, sizeof(lev)) + "junk"))},
        {"a map not yet beaten", alice, share_body(dirty)},
        {"friends only", alice, share_body(base64_encode(pack(&lev, sizeof(lev))), "0")},
        {"a title too long", alice, share_body(base64_encode(pack(&lev, sizeof(lev))), "1", std::string(80, 'T').c_str())},
        {"a title that is not UTF-8", alice, share_body(base64_encode(pack(&lev, sizeof(lev))), "1", "Vault \xc3\x28")},
        {"another author's Map ID", alice, share_body(sample_map("taken", "alice"))},
        {"a tutorial's Map ID", alice, share_body(sample_map("t03", "alice"))},
        {"an oversized body", alice, share_body(lev) + "&pad=" + std::string(SERVER_BODY_MAX, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Answer a = ask(svc.port, c.who.query("share"), c.body);
        EXPECT_FALSE(a.transport_error);
        EXPECT_FALSE(a.response.empty());
        EXPECT_NE(a.error, "");
        EXPECT_EQ(svc.maps(), 1);
    }
    ServerMap still;
    ASSERT_TRUE(server_map_find(svc.s.store, "taken", still));
    EXPECT_EQ(still.uid, "g:bob");
    // Reports that make no sense are refused and stored nowhere.
    for (const char* bad : {"&lid=vault&tm=1&bonus=1001&rewind=0&extra=0&stars=1&skulls=1",
                            "&lid=vault&tm=-4&bonus=0&rewind=0&extra=0&stars=1&skulls=1",
                            "&lid=vault&tm=1&bonus=0&rewind=0&extra=0&stars=6&skulls=1", "&lid=&tm=1"}) {
        EXPECT_NE(ask(svc.port, alice.query("plays") + bad).error, "") << bad;
    }
    EXPECT_NE(ask(svc.port, wrong.query("plays") + "&lid=taken&tm=1&bonus=0&rewind=0&extra=0&stars=5&skulls=1").error, "");
    EXPECT_EQ(server_count(svc.s.store, "plays"), 0);
    EXPECT_EQ(server_count(svc.s.store, "ratings"), 0);
}

TEST_P(ServerHostile, UploadsPastTheBurstWaitForTheBucketToRefill) {
    Service svc(true, GetParam());
    svc.s.limits.share = {3, 1.0 / 60};
    svc.start();
    Player alice = account(svc, "alice", "secret1");
    std::string names[] = {"m1", "m2", "m3", "m4", "m5"};
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(ask(svc.port, alice.query("share"), share_body(sample_map(names[i].c_str(), "alice"))).error, "");
    Answer a = ask(svc.port, alice.query("share"), share_body(sample_map("m4", "alice")));
    EXPECT_NE(a.error.find("Wait"), std::string::npos) << a.error;
    EXPECT_EQ(svc.maps(), 3);
    // Another account has its own bucket.
    Player bob = account(svc, "bob", "secret2");
    EXPECT_EQ(ask(svc.port, bob.query("share"), share_body(sample_map("b1", "bob"))).error, "");
    g_fake_now += 60;
    EXPECT_EQ(ask(svc.port, alice.query("share"), share_body(sample_map("m4", "alice"))).error, "");
    EXPECT_NE(ask(svc.port, alice.query("share"), share_body(sample_map("m5", "alice"))).error, "");
    EXPECT_EQ(svc.maps(), 5);
}

TEST_P(ServerHostile, GuessingPasswordsIsSlowedDown) {
    Service svc(true, GetParam());
    svc.s.limits.login = {3, 1.0 / 30};
    svc.start();
    Player alice = account(svc, "alice", "secret1");
    Player wrong = alice;
    wrong.password = "guess";
    for (int i = 0; i < 3; i++) EXPECT_EQ(ask(svc.port, wrong.query("valid")).error, "Wrong user name or password.");
    EXPECT_NE(ask(svc.port, alice.query("valid")).error, "") << "a right guess is not confirmed while guessing";
    g_fake_now += 30;
    EXPECT_EQ(ask(svc.port, alice.query("valid")).error, "");
}

TEST_P(ServerPages, AccountFormCreatesAnAccountTheGameCanUse) {
    Service svc(false, GetParam());
    svc.start();
    Answer page = ask(svc.port, "/velquist/manage.php?name=%3cscript%3e");
    EXPECT_NE(page.body.find("&lt;script&gt;"), std::string::npos);
    EXPECT_EQ(page.body.find("<script>"), std::string::npos);
    Answer made = ask(svc.port, "/velquist/manage.php", "&do=create&name=dave&password=hunter22&again=hunter22");
    EXPECT_NE(made.body.find("Welcome, dave"), std::string::npos) << made.body;
    Player dave;
    dave.name = "dave";
    dave.password = "hunter22";
    EXPECT_EQ(ask(svc.port, dave.query("valid")).error, "");
    Answer twice = ask(svc.port, "/velquist/manage.php", "&do=create&name=DAVE&password=other1&again=other1");
    EXPECT_NE(twice.body.find("is taken"), std::string::npos);
    for (const char* bad : {"&do=create&name=%3cb%3e&password=hunter22&again=hunter22",
                            "&do=create&name=Velquist&password=hunter22&again=hunter22",
                            "&do=create&name=eve&password=abc&again=abc",
                            "&do=create&name=eve&password=hunter22&again=hunter23",
                            "&do=change&name=dave&old=wrong1&password=newpass1&again=newpass1"}) {
        Answer a = ask(svc.port, "/velquist/manage.php", bad);
        EXPECT_EQ(a.body.find("Welcome"), std::string::npos) << bad;
        EXPECT_EQ(a.body.find("has changed"), std::string::npos) << bad;
    }
    EXPECT_EQ(server_count(svc.s.store, "accounts"), 1);
    Answer changed = ask(svc.port, "/velquist/manage.php",
                              "&do=change&name=dave&old=hunter22&password=newpass1&again=newpass1");
    EXPECT_NE(changed.body.find("has changed"), std::string::npos) << changed.body;
    EXPECT_EQ(ask(svc.port, dave.query("valid")).error, "Wrong user name or password.");
    dave.password = "newpass1";
    EXPECT_EQ(ask(svc.port, dave.query("valid")).error, "");
    MyResult stored = svc.s.store.db.query("select * from accounts");
    ASSERT_EQ(stored.size(), 1u);
    for (auto& col : stored[0]) EXPECT_EQ(col.second.find("newpass1"), std::string::npos) << "no plain password";
}

TEST_P(ServerPages, StatsShowPlaysWinsAndMaps) {
    Service svc(false, GetParam());
    svc.start();
    Player alice = account(svc, "alice", "secret1"), bob = account(svc, "bob", "secret2");
    ASSERT_EQ(ask(svc.port, alice.query("share"), share_body(sample_map("vault", "alice"))).error, "");
    EXPECT_EQ(ask(svc.port, bob.query("track") + "&page=level&category=vault&action=start&value=0").error, "");
    EXPECT_EQ(ask(svc.port, plays_query(bob, "vault", 4, 3)).error, "");
    Answer page = ask(svc.port, "/velquist/stats.php?uid=g%3abob");
    EXPECT_NE(page.body.find("Stats of bob"), std::string::npos);
    EXPECT_NE(page.body.find("Moonlit Vault"), std::string::npos) << "the win names the map";
    page = ask(svc.port, "/velquist/stats.php?uid=g%3aalice");
    EXPECT_NE(page.body.find("<td>4.0</td>"), std::string::npos) << "alice's map with bob's rating";
    page = ask(svc.port, "/velquist/stats.php?uid=g%3a");
    EXPECT_NE(page.body.find("guest"), std::string::npos);
    EXPECT_NE(ask(svc.port, "/velquist/download.php?name=").body.find("make play"), std::string::npos);
}

// The limits of the API, each from several addresses through the handler.
TEST_P(ServerHostile, LimitsHoldUpOnlyTheAccountOrAddressThatEarnedThem) {
    Service svc(true, GetParam());
    svc.s.limits.login = {2, 1.0 / 30};
    svc.s.limits.login_account = {3, 1.0 / 30};
    svc.s.limits.names = {2, 1.0 / 30};
    svc.s.limits.download = {2, 1.0 / 30};
    svc.s.limits.share = {1, 1.0 / 60};
    Player alice = account(svc, "alice", "secret1"), bob = account(svc, "bob", "secret2"), guest;
    Player wrong = alice;
    wrong.password = "guess";
    auto error = [](const ServerReply& r) {
        for (auto& h : r.headers)
            if (h.first == "X-Error") return h.second;
        return std::string();
    };
    // Two wrong guesses from one address: alice is held there, bob is not.
    for (int i = 0; i < 2; i++) EXPECT_EQ(error(svc.handle(wrong.query("valid"), "", "10.0.0.1")), "Wrong user name or password.");
    EXPECT_NE(error(svc.handle(alice.query("valid"), "", "10.0.0.1")), "");
    EXPECT_EQ(error(svc.handle(bob.query("valid"), "", "10.0.0.1")), "") << "another account from the same address";
    EXPECT_EQ(error(svc.handle(alice.query("valid"), "", "10.0.0.2")), "") << "alice from elsewhere";
    // A third guess from elsewhere empties alice's own allowance, wherever she is.
    EXPECT_NE(error(svc.handle(wrong.query("valid"), "", "10.0.0.3")), "");
    EXPECT_NE(error(svc.handle(alice.query("valid"), "", "10.0.0.2")), "");
    EXPECT_EQ(error(svc.handle(bob.query("valid"), "", "10.0.0.3")), "");
    // Asking after names that do not exist, and a guest's downloads.
    Player nobody;
    nobody.name = "nobody";
    for (int i = 0; i < 2; i++) EXPECT_NE(error(svc.handle(nobody.query("valid"))).find("no account"), std::string::npos);
    EXPECT_NE(error(svc.handle(nobody.query("valid"))).find("Too many"), std::string::npos);
    std::string list = "&q=c~newest";
    for (int i = 0; i < 2; i++) EXPECT_EQ(error(svc.handle(guest.query("download") + list, "", "10.0.0.4")), "");
    EXPECT_NE(error(svc.handle(guest.query("download") + list, "", "10.0.0.4")), "");
    EXPECT_EQ(error(svc.handle(bob.query("download") + list, "", "10.0.0.4")), "") << "an account is not a guest";
    // A refused share costs nothing of the allowance; a stored one does.
    EXPECT_NE(error(svc.handle(bob.query("share"), share_body("QUJD*"))), "");
    EXPECT_EQ(error(svc.handle(bob.query("share"), share_body(sample_map("b1", "bob")))), "");
    EXPECT_NE(error(svc.handle(bob.query("share"), share_body(sample_map("b2", "bob")))).find("Wait"), std::string::npos);
    g_fake_now += 60;
    EXPECT_EQ(error(svc.handle(alice.query("valid"), "", "10.0.0.2")), "") << "the allowance refills";
}

TEST_P(ServerApi, TokensAreKeptOnlyAsSaltedHashesAndOldAccountsMoveOver) {
    Service svc(false, GetParam());
    Player alice = account(svc, "alice", "secret1");
    std::string token = md5_digest("alice|" + md5_digest("secret1"));
    // An account as the service kept them before: the token as sent.
    svc.s.store.db.query("insert into accounts (name, token, salt, pwhash, created) values ('old', ?, 'x', 'y', 0)",
                         {md5_digest("old|" + md5_digest("pw1234"))});
    Player old;
    old.name = "old";
    old.password = "pw1234";
    Player wrong = old;
    wrong.password = "pw9999";
    auto ok = [&](const Player& p) { return svc.handle(p.query("valid")).status == 200; };
    EXPECT_FALSE(ok(wrong));
    EXPECT_TRUE(ok(old));
    EXPECT_TRUE(ok(old)) << "and again, now from the hash";
    EXPECT_TRUE(ok(alice));
    EXPECT_TRUE(ok(alice));
    EXPECT_FALSE(ok(wrong));
    for (MyRow& row : svc.s.store.db.query("select * from accounts")) {
        SCOPED_TRACE(row["name"]);
        EXPECT_EQ(row["token"], "");
        EXPECT_EQ(row["thash"].size(), 32u);
        for (auto& col : row) {
            EXPECT_EQ(col.second.find(token), std::string::npos) << col.first;
            EXPECT_EQ(col.second.find(md5_digest("old|" + md5_digest("pw1234"))), std::string::npos) << col.first;
        }
    }
}

TEST_P(ServerApi, ListFilesAreReusedUntilTheirMapsChange) {
    Service svc(false, GetParam());
    Player alice = account(svc, "alice", "secret1"), bob = account(svc, "bob", "secret2"), guest;
    ASSERT_EQ(svc.handle(alice.query("share"), share_body(sample_map("vault", "alice"))).status, 200);
    ASSERT_EQ(svc.handle(alice.query("share"), share_body(sample_map("tower", "alice"))).status, 200);
    auto list = [&](const char* q) { return svc.handle(guest.query("download") + "&q=" + q).body; };
    std::string first = list("c~newest");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(list("c~newest"), first);
    EXPECT_EQ(svc.s.lists.entries.size(), 1u) << "built once";
    // A rating changes what the list shows; a play without one changes nothing.
    ASSERT_EQ(svc.handle(plays_query(bob, "vault", 0, 0)).status, 200);
    EXPECT_EQ(list("c~newest"), first);
    ASSERT_EQ(svc.handle(plays_query(bob, "vault", 4, 0)).status, 200);
    std::string rated = list("c~newest");
    EXPECT_NE(rated, first);
    MyResult rows = open_list(rated, svc.dir);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_DOUBLE_EQ(atof(rows[1]["stars"].c_str()), 4.0);
    // Popular follows the kept counts: vault has a player, tower none.
    rows = open_list(list("c~popular"), svc.dir);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["name"], "vault");
    ASSERT_EQ(svc.handle(plays_query(alice, "tower", 0, 0)).status, 200);
    ASSERT_EQ(svc.handle(plays_query(guest, "tower", 0, 0)).status, 200);
    rows = open_list(list("c~popular"), svc.dir);
    EXPECT_EQ(rows[0]["name"], "tower") << "two players now";
}

TEST(ServerStore, AStoreFromBeforeGetsItsCountsAndKeepsItsAccounts) {
    char tmpl[] = "/tmp/velquist-old-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    {
        // The schema and rows the service wrote before it kept counts.
        MyDB old;
        old.open((dir + "/velquist.db").c_str());
        for (const char* sql :
             {"create table accounts (name text primary key collate nocase, token text not null, salt text not null, "
              "pwhash text not null, created int not null)",
              "create table maps (n integer primary key autoincrement, name text not null unique, uid text not null, "
              "author text not null, title text not null default '', intro text not null default '', data blob not "
              "null, ts int not null, featured int not null default 0)",
              "create table plays (n integer primary key autoincrement, lid text not null, player text not null, "
              "tm int, bonus int, rewind int, extra int, stars int, skulls int, ts int not null)",
              "create table ratings (lid text not null, uid text not null, stars int not null, skulls int not null, "
              "ts int not null, primary key (lid, uid))",
              "insert into maps (name, uid, author, data, ts) values ('a', 'g:x', 'x', 'd', 1), ('b', 'g:x', 'x', 'd', 2)",
              "insert into plays (lid, player, ts) values ('a', 'd:1', 0), ('b', 'd:1', 0), ('b', 'd:2', 0), "
              "('b', 'd:2', 0)",
              "insert into ratings values ('a', 'g:y', 5, 0, 0), ('a', 'g:z', 2, 3, 0)"})
            old.query(sql);
        ASSERT_EQ(old.error, 0);
    }
    Server s;
    ASSERT_TRUE(server_store_open(s.store, dir));
    MyResult rows = s.store.db.query("select name, players, stars, skulls from maps order by name");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["players"], "1");
    EXPECT_DOUBLE_EQ(atof(rows[0]["stars"].c_str()), 3.5);
    EXPECT_DOUBLE_EQ(atof(rows[0]["skulls"].c_str()), 3.0);
    EXPECT_EQ(rows[1]["players"], "2");
    MyResult popular;
    std::string why;
    ASSERT_TRUE(server_list(s.store, "c~popular", "", popular, why));
    ASSERT_EQ(popular.size(), 2u);
    EXPECT_EQ(popular[0]["name"], "b");
    std::string replay;
    EXPECT_FALSE(server_map_replay(s.store, "a", replay)) << "an old map has no replay, and reads as none";
    EXPECT_EQ(server_count(s.store, "proofs"), 0);
    s.store.db.close();
    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST(ServerLimits, TheTableStaysTheSameSizeWhateverComes) {
    ServerLimits lim;
    ServerRate rule{2, 1.0 / 60};
    EXPECT_LT(lim.table.bytes(), (size_t)64 << 20);
    size_t before = lim.table.bytes();
    EXPECT_TRUE(server_rate_take(lim, rule, "ip:victim", 0));
    EXPECT_TRUE(server_rate_take(lim, rule, "ip:victim", 0));
    EXPECT_FALSE(server_rate_take(lim, rule, "ip:victim", 0));
    // A million keys, each new: the table does not grow, and keys used since
    // are still held to their allowance.
    for (int i = 0; i < 1000000; i++) server_rate_take(lim, rule, "ip:" + std::to_string(i), 1 + i * 1e-6);
    EXPECT_EQ(lim.table.bytes(), before);
    EXPECT_TRUE(server_rate_take(lim, rule, "ip:late", 2));
    EXPECT_TRUE(server_rate_take(lim, rule, "ip:late", 2));
    EXPECT_FALSE(server_rate_take(lim, rule, "ip:late", 2));
    EXPECT_TRUE(server_rate_take(lim, rule, "ip:late", 62)) << "a minute later one more";
}

TEST(ServerHandler, AddressesComeFromTheTrustedProxyOnly) {
    struct Case {
        const char *peer, *forwarded, *trusted, *expect;
    } cases[] = {
        {"10.0.0.9", "1.2.3.4", "", "10.0.0.9"},                    // no proxy trusted
        {"10.0.0.9", "1.2.3.4", "10.0.0.1", "10.0.0.9"},            // not from the proxy
        {"10.0.0.1", "1.2.3.4", "10.0.0.1", "1.2.3.4"},
        {"10.0.0.1", "6.6.6.6, 1.2.3.4", "10.0.0.1", "1.2.3.4"},    // what the client wrote comes first
        {"10.0.0.1", " 2001:db8::1 ", "10.0.0.1", "2001:db8::1"},
        {"10.0.0.1", "1.2.3.4, junk", "10.0.0.1", "10.0.0.1"},      // not an address
        {"10.0.0.1", nullptr, "10.0.0.1", "10.0.0.1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(server_client_address(c.peer, c.forwarded, c.trusted), c.expect) << (c.forwarded ? c.forwarded : "-");
    EXPECT_TRUE(server_utf8_ok("Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
    for (const char* bad : {"\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "a\xff" "b"})
        EXPECT_FALSE(server_utf8_ok(bad)) << bad;
    EXPECT_EQ(server_clean_text("ab\xc3\xa9", 3), "ab") << "never cut inside a character";
    EXPECT_EQ(server_clean_text("a\xff" "b\tc", 10), "a?b c");
}

// A raw connection from a loopback address of our choice (all of 127/8 is ours).
int connect_from(const char* from, int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in me{}, to{};
    me.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, from, &me.sin_addr);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons((uint16_t)port);
    if (bind(fd, (sockaddr*)&me, sizeof(me)) != 0 || connect(fd, (sockaddr*)&to, sizeof(to)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether the service has closed fd within ms milliseconds (anything it sent is read and dropped).
bool closed_within(int fd, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p = {fd, POLLIN, 0};
        char buf[4096];
        if (poll(&p, 1, 10) > 0 && recv(fd, buf, sizeof(buf), 0) <= 0) return true;
    }
    return false;
}

// What one raw request gets back.
std::string raw_exchange(int port, const std::string& request) {
    int fd = connect_from("127.0.0.1", port);
    std::string out;
    if (fd < 0 || send(fd, request.data(), request.size(), 0) != (ssize_t)request.size()) return out;
    char buf[4096];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof(buf), 0)) > 0) out.append(buf, (size_t)n);
    close(fd);
    return out;
}

TEST(ServerDaemon, SlowManyOrBusyClientsDoNotHoldUpOthers) {
    Service svc;
    svc.s.deadline = 1.0;
    svc.s.per_address = 4;
    svc.start();
    Player guest;
    // Six trickling connections from one address: four are let in, and those
    // are cut at the deadline although they never stop sending.
    std::vector<int> slow;
    for (int i = 0; i < 6; i++) {
        slow.push_back(connect_from("127.0.0.2", svc.port));
        ASSERT_GE(slow.back(), 0);
        ASSERT_EQ(send(slow.back(), "G", 1, 0), 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int refused = 0;
    for (int fd : slow) refused += closed_within(fd, 1);
    EXPECT_EQ(refused, 2) << "two past the limit of the address";
    EXPECT_EQ(ask(svc.port, guest.query("valid")).error, "") << "others are served meanwhile";
    auto start = std::chrono::steady_clock::now();
    bool all_cut = true;
    for (int i = 0; i < 15; i++) {
        for (int fd : slow) send(fd, "E", 1, MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (int fd : slow) all_cut = closed_within(fd, 500) && all_cut;
    EXPECT_TRUE(all_cut) << "cut at the deadline, "
                         << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s";
    for (int fd : slow) close(fd);

    // Two lengths that disagree are refused.
    std::string reply = raw_exchange(svc.port, "POST " + guest.query("track") +
                                               " HTTP/1.0\nContent-Length: 5\nContent-Length: 50\n\n&a=1");
    EXPECT_NE(reply.find(" 400 "), std::string::npos) << reply.substr(0, 200);
    EXPECT_NE(reply.find("X-Error: The request has two different lengths."), std::string::npos);

    // A write held up by another writer does not stall a read beside it.
    ServerStore other;
    ASSERT_TRUE(server_store_open(other, svc.dir));
    other.db.begin();
    std::thread writer([&] { ask(svc.port, plays_query(guest, "vault", 0, 0)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(svc.port, guest.query("download") + "&q=c~newest").error, "");
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    other.db.commit();
    writer.join();
    EXPECT_LT(waited, 2.0) << "the read waited for the write";
    EXPECT_EQ(server_count(svc.s.store, "plays"), 1) << "the write went through after";

    // The port is taken: a second service is refused rather than sharing it.
    Server second;
    ASSERT_TRUE(server_store_open(second.store, svc.dir));
    EXPECT_EQ(server_daemon_start(second, "127.0.0.1", svc.port), nullptr);
}

// Waits up to five seconds for what(); whether it came.
template <typename F>
bool within_5s(F what) {
    for (int i = 0; i < 500 && !what(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return what();
}

TEST(ServerDaemon, ChecksRunOffTheRequestPathAndAFullQueueIsToldAtOnce) {
    Service svc;
    svc.s.checks.threads = 1;
    svc.s.checks.queue_max = 1;
    svc.start();
    Player alice = account(svc, "alice", "secret1");
    // The one checking thread held by one check, the one place in the queue by another.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> started{0}, finished{0};
    for (int i = 0; i < 2; i++) {
        ServerCheckPtr c = std::make_shared<ServerCheck>();
        c->account = "g:holder" + std::to_string(i);
        c->address = "10.0.0." + std::to_string(50 + i);
        c->run = [&started, released](Game*, double, const ServerCheckGoOn&) { return started++, released.wait(), 0; };
        c->done = [&finished](ServerCheckPtr) { finished++; };
        std::string why;
        ASSERT_EQ(server_check_submit(svc.s, c, why), 0) << why;
        ASSERT_TRUE(within_5s([&] { return started == 1; }));
    }
    std::string body = share_body(sample_map("m1", "alice"));
    std::string reply = raw_exchange(svc.port, "POST " + alice.query("share") + " HTTP/1.0\nContent-Length: " +
                                                   std::to_string(body.size()) + "\n\n" + body);
    EXPECT_NE(reply.find(" 503 "), std::string::npos) << reply.substr(0, 300);
    EXPECT_NE(reply.find("Retry-After: "), std::string::npos);
    EXPECT_NE(reply.find("X-Error: The service is busy checking other maps."), std::string::npos);
    EXPECT_EQ(ask(svc.port, alice.query("download") + "&q=c~newest").error, "") << "lists do not wait for checks";
    release.set_value();
    EXPECT_TRUE(within_5s([&] { return finished == 2; }));
    EXPECT_EQ(ask(svc.port, alice.query("share"), body).error, "");
    EXPECT_EQ(svc.maps(), 1);
}

// A check that has run long gives way to a waiting one with more checking
// time left, and runs again after it, within twice its CPU time in all.
TEST(ServerChecks, ALongCheckGivesWayToARicherOne) {
    Server s;
    s.checks.threads = 1;
    s.limits.check_cpu_max = 0.2;
    server_checks_start(s);
    std::mutex lock;
    std::vector<std::string> order;
    std::atomic<bool> running{false};
    auto submit = [&](const std::string& who, double priority, double cpu) {
        ServerCheckPtr c = std::make_shared<ServerCheck>();
        c->account = c->address = who;
        c->priority = priority;
        c->cpu_max = s.limits.check_cpu_max;
        c->run = [&running, cpu](Game*, double left, const ServerCheckGoOn& go_on) {
            running = true;
            for (double t0 = server_thread_cpu(), used = 0; used < std::min(cpu, left); used = server_thread_cpu() - t0)
                if (go_on && !go_on(used)) return 1;
            return 0;
        };
        c->done = [&lock, &order, who](ServerCheckPtr done) {
            std::lock_guard<std::mutex> hold(lock);
            order.push_back(who + (done->cpu < 0.45 ? "" : " past its time"));
        };
        std::string why;
        EXPECT_EQ(server_check_submit(s, c, why), 0) << why;
    };
    submit("costly", 0, 10);
    ASSERT_TRUE(within_5s([&] { return running.load(); }));
    submit("honest", 5, 0.001);
    EXPECT_TRUE(within_5s([&] {
        std::lock_guard<std::mutex> hold(lock);
        return order.size() == 2;
    }));
    server_checks_stop(s);
    EXPECT_EQ(order, (std::vector<std::string>{"honest", "costly"}));
}

// Two services on one PostgreSQL database, as two processes behind one proxy
// would be: a player going from one to the other has one allowance.
TEST(ServerLimits, ServicesOnOnePostgresStoreShareOneAllowance) {
#ifndef VELQUIST_POSTGRESQL
    GTEST_SKIP() << "built without PostgreSQL";
#else
    std::string url = pgtest::fresh_database();
    ASSERT_FALSE(url.empty());
    Server one, two;
    for (Server* s : {&one, &two}) {
        s->clock = fake_clock;
        ASSERT_TRUE(server_store_open(s->store, url));
        s->limits.plays = {3, 1.0 / 60};
        s->limits.check_cpu_max = 0.3;
        s->limits.check_account = {0.5, 0.5 / 60};
    }
    ASSERT_TRUE(server_account_create(one.store, "alice", "secret1"));
    Player alice;
    alice.name = "alice";
    alice.password = "secret1";
    for (int i = 0; i < 5; i++) {
        Server& s = i % 2 ? two : one;
        EXPECT_EQ(server_handle(s, "GET", plays_query(alice, "vault", 0, 0), "", "10.0.0.1").status, i < 3 ? 200 : 429)
            << "play " << i;
    }
    // Checking time set aside through one leaves too little through the other.
    ServerCheck first, second;
    first.account = second.account = "g:alice";
    first.address = second.address = "10.0.0.1";
    double wait = 0;
    EXPECT_TRUE(server_check_reserve(one, one.store, first, &wait));
    EXPECT_FALSE(server_check_reserve(two, two.store, second, &wait));
    EXPECT_GT(wait, 0);
    g_fake_now += 60;
    EXPECT_EQ(server_handle(two, "GET", plays_query(alice, "vault", 0, 0), "", "10.0.0.1").status, 200);
    EXPECT_TRUE(server_check_reserve(two, two.store, second, &wait));
#endif
}

TEST(ServerHandler, GarbageGetsARefusalAndNeverACrash) {
    Server s;
    char tmpl[] = "/tmp/velquist-handler-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    ASSERT_TRUE(server_store_open(s.store, dir));
    Player guest;
    struct Case {
        const char* method;
        std::string target, body;
        int status;
    } cases[] = {
        {"DELETE", guest.query("valid"), "", 405},
        {"GET", guest.query("dance"), "", 400},
        {"GET", std::string(SERVER_SCRIPT) + "?" + std::string(SERVER_TARGET_MAX, 'a'), "", 414},
        {"GET", guest.query("valid") + std::string(100, '&') + "&a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9&j=10&k=11&l=12"
                "&m=13&n=14&o=15&p=16&q=17&r=18&s=19&t=20&u=21&v=22&w=23&x=24&y=25&z=26&aa=1&ab=1&ac=1&ad=1&ae=1"
                "&af=1&ag=1&ah=1&ai=1&aj=1&ak=1&al=1&am=1&an=1&ao=1&ap=1&aq=1&ar=1&as=1&at=1&au=1&av=1&aw=1&ax=1"
                "&ay=1&az=1&ba=1&bb=1&bc=1&bd=1&be=1&bf=1&bg=1&bh=1&bi=1&bj=1", "", 400},
        {"GET", guest.query("valid") + "&_name=%0d%0aSet-Cookie:%20x", "", 200},
        {"GET", "/velquist/api.php?_version=2&_name=a%0d%0ab&_action=valid", "", 403},
        {"GET", "/velquist/nothing.php", "", 404},
        {"POST", guest.query("track"), "%%%%&&&===", 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.substr(0, 120));
        ServerReply r = server_handle(s, c.method, c.target, c.body, "127.0.0.1");
        EXPECT_EQ(r.status, c.status);
        for (auto& h : r.headers) {
            EXPECT_EQ(h.second.find_first_of("\r\n"), std::string::npos) << "no header injection";
            EXPECT_LE(h.second.size(), (size_t)SERVER_HEADER_VALUE_MAX);
        }
    }
    s.store.db.close();
    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST(ServerProgram, BuiltServerSeedsFeaturedMapsAndStopsOnTerm) {
    // A free port: the kernel picks one, then lets it go for the child.
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(addr);
    ASSERT_EQ(bind(probe, (sockaddr*)&addr, sizeof(addr)), 0);
    ASSERT_EQ(getsockname(probe, (sockaddr*)&addr, &size), 0);
    int port = ntohs(addr.sin_port);
    close(probe);
    char tmpl[] = "/tmp/velquist-program-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    std::string port_text = std::to_string(port);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A store folder whose parents do not exist yet, as on a first run.
        std::string data = dir + "/first/run";
        execl(VELQUIST_SERVER_BIN, VELQUIST_SERVER_BIN, "--data", data.c_str(), "--port", port_text.c_str(), "--seed",
              VELQUIST_SEED_DB, (char*)nullptr);
        _exit(127);
    }
    kv_web_init();
    Player guest;
    Answer a;
    for (int tries = 0; tries < 200 && a.transport_error; tries++) {
        a = ask(port, guest.query("download") + "&q=c~featured");
        if (a.transport_error) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_FALSE(a.transport_error);
    EXPECT_EQ(a.error, "");
    MyResult rows = open_list(a.body, dir);
    EXPECT_GE(rows.size(), 10u);
    for (MyRow& r : rows) {
        LevelData lev;
        EXPECT_TRUE(server_record_inflate(r["data"], lev)) << r["name"];
        EXPECT_EQ(r["author"], SERVER_SEED_AUTHOR);
    }
    EXPECT_EQ(kill(child, SIGTERM), 0);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST(ServerHandler, DecodingAndNumbersTakeOnlyWhatIsWellFormed) {
    EXPECT_EQ(server_urldecode("a+b%20c%2b%zz%4"), "a b c+%zz%4");
    EXPECT_EQ(server_urldecode("%00x"), std::string("\0x", 2));
    ServerPairs p;
    ASSERT_TRUE(server_parse_pairs("?&a=1&&b&a=2&c=x%3dy", p));
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(server_param(p, "a"), "1") << "the first of repeated keys counts";
    bool found = false;
    EXPECT_EQ(server_param(p, "b", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(server_param(p, "c"), "x=y");
    long v = -1;
    EXPECT_TRUE(server_parse_int("42", 0, 100, &v));
    EXPECT_EQ(v, 42);
    for (const char* bad : {"", "-", "4x", " 4", "101", "-1", "99999999999999999999999"})
        EXPECT_FALSE(server_parse_int(bad, 0, 100, &v)) << bad;
    EXPECT_TRUE(server_name_ok("Ann-Marie_2.0"));
    for (const char* bad : {"", " ann", "ann ", "a|b", "<b>", "abcdefghijklmnopqrstuvwxyz1234"})
        EXPECT_FALSE(server_name_ok(bad)) << bad;
    EXPECT_EQ(server_html_escape("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
    EXPECT_EQ(server_header_value("a\r\nb"), "a  b");
}

TEST(ServerRecord, TheServiceTakesOfTheSharedDecodingOnlyOneWholeRecord) {
    std::vector<unsigned char> bytes(sizeof(LevelData) + 1, 7);
    const size_t whole = sizeof(LevelData);
    struct Case {
        const char* what;
        std::string packed;
        bool game;          // the game loads it
        size_t inflated, rest;
    } cases[] = {
        {"one whole record", pack(bytes.data(), whole), true, whole, 0},
        {"a shorter stream", pack(bytes.data(), whole - 1), true, whole - 1, 0},
        {"a byte after the stream", pack(bytes.data(), whole) + "x", true, whole, 1},
        {"one byte more than a record", pack(bytes.data(), whole + 1), false, 0, 0},
        {"no zlib stream", "not a map", false, 0, 0},
        {"nothing", "", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::unique_ptr<LevelData> lev(new LevelData());
        size_t inflated = 0, rest = 0;
        EXPECT_EQ(logic_record_unpack(c.packed, *lev, &inflated, &rest), c.game) << c.what;
        EXPECT_EQ(inflated, c.inflated) << c.what;
        EXPECT_EQ(rest, c.rest) << c.what;
        EXPECT_EQ(server_record_inflate(c.packed, *lev), c.game && c.inflated == whole && c.rest == 0) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, ServerApi, ::testing::Values(VELQUIST_TEST_STORES), store_name);
INSTANTIATE_TEST_SUITE_P(Stores, ServerHostile, ::testing::Values(VELQUIST_TEST_STORES), store_name);
INSTANTIATE_TEST_SUITE_P(Stores, ServerPages, ::testing::Values(VELQUIST_TEST_STORES), store_name);
