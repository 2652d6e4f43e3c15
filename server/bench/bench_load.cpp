// velquist_load: fills a service's store with many maps and plays, and
// drives the running service from loopback clients on one epoll thread (the
// game's own HTTP/1.0, one connection a request), printing requests/s and
// latencies; also its lists one by one, a crowd of half-open connections, a
// crowd of hostile shares, and the rate table's cost.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base64.h"
#include "md5.h"
#include "server.h"
#include "test_replay.h"
#include "util.h"

namespace {

enum {
    LOAD_BATCH = 500,           // rows of one insert
    LOAD_EVENTS = 256,
    LOAD_READ = 65536,
    LOAD_SOURCES = 200,         // client addresses 127.0.1.1 ...
    LOAD_ANSWER_MS = 5000,      // a request unanswered this long has failed
    LOAD_SLOW_CONNS = 264,      // the crowd of half-open connections
    LOAD_SLOW_ADDRESSES = 8,
    LOAD_SLOW_BYTE_S = 20,      // one header byte this often
    LOAD_LIST_REPEAT = 20,
    LOAD_HOSTILE_FAR_CELLS = 32,  // far cells a hostile replay's clicks go round: more than the rules keep
};

double now_s() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string urlencode(const std::string& text) {
    static const char HEX[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c)) out += (char)c;
        else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 15];
        }
    }
    return out;
}

// A small walled room with a few guards' worth of tiles: packs like a modest map.
std::string make_record(int seed, const std::string& name, const std::string& author) {
    LevelData lev;
    memset(&lev, 0, sizeof(lev));
    lev.version = 1;
    mystrcpy(lev.name, sizeof(lev.name), name.c_str());
    mystrcpy(lev.id, sizeof(lev.id), std::to_string(1700000000 + seed).c_str());
    mystrcpy(lev.title, sizeof(lev.title), ("Vault " + std::to_string(seed)).c_str());
    mystrcpy(lev.intro, sizeof(lev.intro), "Mind the guard.");
    mystrcpy(lev.author, sizeof(lev.author), author.c_str());
    mystrcpy(lev.uid, sizeof(lev.uid), ("g:" + author).c_str());
    std::mt19937 rnd((unsigned)seed);
    for (int y = 50; y < 80; y++)
        for (int x = 50; x < 80; x++) lev.data[y][x] = rnd() % 7 == 0 ? TILE_DARK : TILE_FLOOR;
    lev.data[64][64] = TILE_START;
    lev.inventory[D_BOMB1] = 2;
    return server_record_pack(lev);
}

// What a player shares: a featured map of the middle tier with the replay of
// its win, as the game sends them, read from the service's seed file beside
// this program. The service replays every share, so its cost is in the mix.
struct SharedMap {
    LevelData lev;
    std::string replay;  // Base64, already encoded as a form value
    bool ok = false;
};

const SharedMap& shared_map() {
    static SharedMap m;
    static bool read = false;
    if (read) return m;
    read = true;
    std::string path = server_beside_binary("velquist-seed.db");
    MyDB seed;
    seed.open_readonly(path.c_str());
    MyResult r = seed.query("select l.data as data, r.replay as replay from levels l join replays r on r.id = l.id "
                            "order by l.name limit 1 offset 14");
    if (!seed._db || seed.error || r.empty() || !server_record_inflate(r[0]["data"], m.lev)) {
        fprintf(stderr, "velquist_load: no featured map with a replay in %s; shares will be refused\n", path.c_str());
        memset(&m.lev, 0, sizeof(m.lev));
        return m;
    }
    m.replay = urlencode(r[0]["replay"]);
    m.ok = true;
    return m;
}

std::string shared_record(int seed, const std::string& name, const std::string& author) {
    const SharedMap& m = shared_map();
    if (!m.ok) return make_record(seed, name, author);
    LevelData lev = m.lev;
    mystrcpy(lev.name, sizeof(lev.name), name.c_str());
    mystrcpy(lev.id, sizeof(lev.id), std::to_string(1700000000 + seed).c_str());
    mystrcpy(lev.author, sizeof(lev.author), author.c_str());
    mystrcpy(lev.uid, sizeof(lev.uid), ("g:" + author).c_str());
    return server_record_pack(lev);
}

std::string token_of(int account) {
    std::string name = "u" + std::to_string(account);
    return md5_digest(name + "|" + md5_digest("pw" + std::to_string(account)));
}

// ---------------------------------------------------------------- fill

struct Filler {
    bool old = false;
    MyDB legacy;      // a store of the service as it was, made by that service
    ServerStore st;   // a store of this service, on either kind
    bool error() { return old ? legacy.error != 0 : st.db.error != 0; }
    void exec(const std::string& sql, const MyParams& p = MyParams(), unsigned blobs = 0) {
        if (old) legacy.query(sql.c_str(), p);
        else st.db.query(sql.c_str(), p, blobs);
    }
    // Many rows of `columns` values in statements of LOAD_BATCH rows.
    void rows(const char* head, int columns, const std::vector<std::string>& values, const char* tail = "") {
        size_t per = (size_t)columns * LOAD_BATCH;
        for (size_t at = 0; at < values.size(); at += per) {
            size_t n = std::min(per, values.size() - at);
            std::string sql = head;
            for (size_t r = 0; r < n / columns; r++) {
                sql += r ? ",(" : "(";
                for (int c = 0; c < columns; c++) sql += c ? ",?" : "?";
                sql += ")";
            }
            exec(sql + tail, MyParams(values.begin() + (long)at, values.begin() + (long)(at + n)));
        }
    }
};

int cmd_fill(const std::string& where, bool old, int maps, int plays, int accounts) {
    Filler f;
    f.old = old;
    if (old) {
        f.legacy.open((where + "/velquist.db").c_str());
        f.legacy.query("select count(*) from maps");
        if (f.legacy.error) {
            fprintf(stderr, "velquist_load: %s has no store of the old service; start it there once\n", where.c_str());
            return 1;
        }
    } else if (!server_store_open(f.st, where)) {
        return 1;
    }
    double t0 = now_s();
    std::mt19937 rnd(8471);
    f.exec("begin");
    std::vector<std::string> v;
    for (int a = 0; a < accounts; a++) {
        std::string name = "u" + std::to_string(a);
        // As the service kept accounts before tokens were hashed: this one moves them over.
        for (const std::string& x : {name, token_of(a), std::string("x"), std::string("y"), std::string("0")})
            v.push_back(x);
    }
    f.rows("insert into accounts (name, token, salt, pwhash, created) values ", 5, v);
    for (int m = 0; m < maps; m++) {
        std::string name = "m" + std::to_string(m), author = "u" + std::to_string(m % accounts);
        f.exec("insert into maps (name, uid, author, title, intro, data, ts, featured) values (?,?,?,?,?,?,?,?)",
               {name, "g:" + author, author, "Vault " + std::to_string(m), "Mind the guard.",
                make_record(m, name, author), std::to_string(1600000000 + m), m < 10 ? std::to_string(m + 1) : "0"},
               1u << 5);
    }
    // Plays lean toward a few maps, as they do.
    v.clear();
    for (int p = 0; p < plays; p++) {
        int m = (int)(std::pow((double)(rnd() % 10000) / 10000.0, 3.0) * maps);
        std::string player = rnd() % 4 ? "g:u" + std::to_string(rnd() % accounts) : "d:time|" + std::to_string(rnd() % 50000);
        for (const std::string& x : {"m" + std::to_string(m), player, std::to_string(30 + rnd() % 600),
                                     std::to_string(rnd() % 1001), std::string("0"), std::to_string(rnd() % 3),
                                     std::to_string(rnd() % 6), std::to_string(rnd() % 6), std::string("1700000000")})
            v.push_back(x);
    }
    f.rows("insert into plays (lid, player, tm, bonus, rewind, extra, stars, skulls, ts) values ", 9, v);
    v.clear();
    for (int r = 0; r < plays / 5; r++) {
        int m = (int)(std::pow((double)(rnd() % 10000) / 10000.0, 3.0) * maps);
        for (const std::string& x : {"m" + std::to_string(m), "g:u" + std::to_string(rnd() % accounts),
                                     std::to_string(1 + rnd() % 5), std::to_string(rnd() % 6),
                                     std::to_string(1700000000 + r)})
            v.push_back(x);
    }
    f.rows("insert into ratings (lid, uid, stars, skulls, ts) values ", 5, v, " on conflict do nothing");
    if (!old) {
        f.exec("insert into map_players (lid, player) select distinct lid, player from plays where true "
               "on conflict do nothing");
        server_store_recount(f.st);
    }
    bool failed = f.error();
    f.exec(failed ? "rollback" : "commit");
    // What a database that has lived a while knows of its tables: the planner's figures.
    if (!failed && !old) server_store_analyze(f.st);
    if (failed || f.error()) {
        fprintf(stderr, "velquist_load: the store could not be filled\n");
        return 1;
    }
    printf("filled %s: %d accounts, %d maps, %d plays in %.1f s\n", old ? "the old store" : "the store", accounts,
           maps, plays, now_s() - t0);
    return 0;
}

// ---------------------------------------------------------------- the client

struct Request {
    std::string text;  // the whole request as the game sends it
};

struct Outcome {
    std::vector<double> ms;
    long ok = 0, refused = 0, failed = 0;
    std::map<int, long> statuses;  // answers by HTTP status
};

// What a request of the mixed workload is, from its text; hostile shares
// come from the slots at and past Driver::hostile_from.
enum { KIND_LIST, KIND_SIGN_IN, KIND_PLAY, KIND_SHARE, KIND_EVENT, KIND_HOSTILE, KINDS };
const char* const KIND_NAMES[KINDS] = {"lists", "sign-ins", "plays", "shares", "events", "hostile"};

int kind_of(const std::string& request) {
    static const char* const ACTIONS[] = {"_action=download", "_action=valid", "_action=plays", "_action=share",
                                          "_action=track"};
    for (int k = 0; k < KIND_HOSTILE; k++)
        if (request.find(ACTIONS[k]) != std::string::npos) return k;
    return KIND_LIST;
}

struct Slot {
    int fd = -1;
    int kind = KIND_LIST;
    std::string out, in;
    size_t sent = 0;
    double start = 0;
    sockaddr_in from{};
};

// Runs `clients` connections one request after another for `seconds`.
class Driver {
public:
    Driver(int port, int clients, int source_base) : _port(port), _slots((size_t)clients) {
        _ep = epoll_create1(0);
        for (size_t i = 0; i < _slots.size(); i++) {
            _slots[i].from.sin_family = AF_INET;
            int k = source_base + (int)(i % LOAD_SOURCES);
            _slots[i].from.sin_addr.s_addr = htonl((127u << 24) | (1u << 8) | (unsigned)(k + 1));
        }
    }
    ~Driver() {
        for (Slot& s : _slots)
            if (s.fd >= 0) close(s.fd);
        close(_ep);
    }
    size_t hostile_from = (size_t)-1;  // slots from here on send hostile shares
    Outcome kinds[KINDS];              // the last run's answers by kind

    // Runs for `seconds`; next(slot) gives a slot its next request, "" for none.
    template <typename Next>
    Outcome run(double seconds, Next next) {
        Outcome o;
        for (Outcome& k : kinds) k = Outcome();
        double end = now_s() + seconds;
        for (size_t i = 0; i < _slots.size(); i++) begin(i, next(i), o);
        epoll_event ev[LOAD_EVENTS];
        while (busy() > 0) {
            int n = epoll_wait(_ep, ev, LOAD_EVENTS, 50);
            double t = now_s();
            for (int k = 0; k < n; k++) {
                size_t i = ev[k].data.u64;
                int done = step(i, ev[k].events, o);
                if (done && t < end) begin(i, next(i), o);
            }
            for (size_t i = 0; i < _slots.size(); i++) {
                if (_slots[i].fd >= 0 && (t - _slots[i].start) * 1000 > LOAD_ANSWER_MS) {
                    finish(i, false, o);
                    if (t < end) begin(i, next(i), o);
                }
            }
            if (t > end + LOAD_ANSWER_MS / 1000.0) break;
        }
        return o;
    }

private:
    int busy() const {
        int n = 0;
        for (const Slot& s : _slots) n += s.fd >= 0;
        return n;
    }
    void begin(size_t i, const std::string& request, Outcome& o) {
        if (request.empty()) return;  // nothing more to ask
        Slot& s = _slots[i];
        s.out = request;
        s.kind = i >= hostile_from ? KIND_HOSTILE : kind_of(request);
        s.in.clear();
        s.sent = 0;
        s.start = now_s();
        s.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons((uint16_t)_port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (s.fd < 0 || bind(s.fd, (sockaddr*)&s.from, sizeof(s.from)) != 0 ||
            (connect(s.fd, (sockaddr*)&to, sizeof(to)) != 0 && errno != EINPROGRESS)) {
            finish(i, false, o);
            return;
        }
        epoll_event ev{};
        ev.events = EPOLLOUT | EPOLLIN;
        ev.data.u64 = i;
        epoll_ctl(_ep, EPOLL_CTL_ADD, s.fd, &ev);
    }
    // Advances slot i; 1 when its exchange is over.
    int step(size_t i, unsigned events, Outcome& o) {
        Slot& s = _slots[i];
        if (s.fd < 0) return 0;
        if ((events & EPOLLOUT) && s.sent < s.out.size()) {
            ssize_t n = send(s.fd, s.out.data() + s.sent, s.out.size() - s.sent, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN) return finish(i, false, o), 1;
            if (n > 0) s.sent += (size_t)n;
            if (s.sent == s.out.size()) {
                epoll_event ev{};
                ev.events = EPOLLIN;
                ev.data.u64 = i;
                epoll_ctl(_ep, EPOLL_CTL_MOD, s.fd, &ev);
            }
        }
        if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
            char buf[LOAD_READ];
            for (;;) {
                ssize_t n = recv(s.fd, buf, sizeof(buf), 0);
                if (n > 0) {
                    s.in.append(buf, (size_t)n);
                    continue;
                }
                if (n < 0 && errno == EAGAIN) break;
                return finish(i, n == 0, o), 1;
            }
        }
        return 0;
    }
    void finish(size_t i, bool closed_cleanly, Outcome& o) {
        Slot& s = _slots[i];
        if (s.fd >= 0) close(s.fd);
        s.fd = -1;
        int status = s.in.size() > 12 && s.in.compare(0, 5, "HTTP/") == 0 ? atoi(s.in.c_str() + 9) : 0;
        size_t head = s.in.find("\r\n\r\n");
        bool error = s.in.find("\nX-Error:") < head;
        for (Outcome* out : {&o, &kinds[s.kind]}) {
            if (!closed_cleanly || status == 0) out->failed++;
            else if (status == 429) out->refused++;
            else if (status >= 200 && status < 300 && !error) out->ok++;
            else out->failed++;
            if (closed_cleanly && status) out->ms.push_back((now_s() - s.start) * 1000);
            out->statuses[closed_cleanly ? status : 0]++;
        }
    }

    int _port, _ep;
    std::vector<Slot> _slots;
};

std::string get(int port, const std::string& target) {
    return "GET " + target + " HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(port) + "\n\n";
}

std::string post(int port, const std::string& target, const std::string& body) {
    return "POST " + target + " HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(port) +
           "\nContent-Type: application/x-www-form-urlencoded\nContent-Length: " + std::to_string(body.size()) +
           "\n\n" + body;
}

std::string common(int account, const char* action) {
    std::string name = account < 0 ? "" : "u" + std::to_string(account);
    return std::string(SERVER_SCRIPT) + "?&_vinfo=1.0.3-Desktop-Linux-KAVODEL&_version=2&_uid=" +
           urlencode(account < 0 ? "" : "g:" + name) + "&_name=" + urlencode(name) + "&_token=" +
           (account < 0 ? md5_digest("|" + md5_digest("")) : token_of(account)) + "&_udid=time%7c" +
           std::to_string(1700000000 + account) + "&_action=" + action;
}

// The mixed workload: lists, sign-ins, plays with and without ratings, shares, events.
struct Mix {
    int port, accounts, maps;
    std::mt19937 rnd{1234};
    int shares = 0;
    // One kind alone, to find what costs (VELQUIST_LOAD_ONLY=0 lists, 40 sign-ins, 60 rated plays, 80 plays, 85 shares, 95 events).
    int only = getenv("VELQUIST_LOAD_ONLY") ? atoi(getenv("VELQUIST_LOAD_ONLY")) : -1;
    std::string operator()(size_t = 0) {
        int a = (int)(rnd() % (unsigned)accounts);
        int roll = only >= 0 ? only : (int)(rnd() % 100);
        std::string map = "m" + std::to_string((int)(std::pow((double)(rnd() % 10000) / 10000.0, 3.0) * maps));
        if (roll < 35) {
            static const char* const LISTS[] = {"c~featured", "c~popular", "c~newest", "c~favorites", "c~friends"};
            int k = (int)(rnd() % 6);
            std::string q = k < 5 ? LISTS[k] : "u~g:u" + std::to_string(rnd() % (unsigned)accounts);
            bool guest = k < 3 && rnd() % 5 == 0;
            return get(port, common(guest ? -1 : a, "download") + "&q=" + urlencode(q));
        }
        if (roll < 55) return get(port, common(a, "valid"));
        if (roll < 85) {
            bool rated = roll < 70;
            return get(port, common(roll % 10 == 0 ? -1 : a, "plays") + "&lid=" + map + "&tm=42&bonus=1000&rewind=0&extra=1&stars=" +
                                 std::to_string(rated ? 1 + rnd() % 5 : 0) + "&skulls=" + std::to_string(rated ? 1 + rnd() % 5 : 0));
        }
        if (roll < 90) {
            std::string name = "b" + std::to_string(a) + "x" + std::to_string(shares++ % 3);
            std::string author = "u" + std::to_string(a);
            std::string body = "&target=1&id=" + std::to_string(1700000000 + a) + "&title=" + urlencode("Shared vault") +
                               "&intro=" + urlencode("Mind the guard.") + "&data=" +
                               urlencode(base64_encode(shared_record(a, name, author))) + "&replay=" +
                               shared_map().replay;
            return post(port, common(a, "share"), body);
        }
        return get(port, common(a, "track") + "&page=level&category=" + map + "&action=start&value=0");
    }
};

// CPU seconds the service has used, from /proc, when VELQUIST_LOAD_PID names it; else -1.
double service_cpu() {
    const char* pid = getenv("VELQUIST_LOAD_PID");
    if (!pid) return -1;
    FILE* f = fopen(("/proc/" + std::string(pid) + "/stat").c_str(), "r");
    if (!f) return -1;
    char buf[1024] = {0};
    size_t n = fread(buf, 1, sizeof(buf) - 1, f);
    fclose(f);
    buf[n] = 0;
    // Fields 14 and 15 (user and system ticks) follow the command's closing parenthesis.
    const char* p = strrchr(buf, ')');
    unsigned long user = 0, sys = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &sys) != 2) return -1;
    return (double)(user + sys) / (double)sysconf(_SC_CLK_TCK);
}

void print_row(const char* what, int clients, double seconds, Outcome& o, double cpu = -1) {
    std::sort(o.ms.begin(), o.ms.end());
    auto pct = [&o](double p) { return o.ms.empty() ? 0.0 : o.ms[std::min(o.ms.size() - 1, (size_t)(p * o.ms.size()))]; };
    long all = o.ok + o.refused + o.failed;
    printf("%-14s %7d %10.0f %9.1f %9.1f %9.1f %8.1f%% %8ld", what, clients, (o.ok + o.refused) / seconds,
           pct(0.5), pct(0.99), o.ms.empty() ? 0.0 : o.ms.back(), all ? 100.0 * o.refused / all : 0.0, o.failed);
    // The service's own CPU per answer: what the machine could serve, whatever else runs on it.
    if (cpu >= 0 && all) printf(" %9.3f", cpu * 1000 / (double)all);
    printf("\n");
    fflush(stdout);
}

int cmd_run(const std::string& label, int port, const std::vector<int>& clients, double seconds, int accounts,
            int maps) {
    Mix mix{port, accounts, maps};
    // Every account signs in once first: accounts from before move over then.
    {
        Driver d(port, 20, 0);
        int a = 0;
        Outcome o = d.run(3600, [&](size_t) { return a < accounts ? get(port, common(a++, "valid")) : std::string(); });
        (void)o;
    }
    printf("%-14s %7s %10s %9s %9s %9s %9s %8s %9s\n", "service", "clients", "answers/s", "p50 ms", "p99 ms",
           "max ms", "refused", "failed", "cpu ms");
    for (int n : clients) {
        Driver d(port, n, 0);
        double cpu = service_cpu();
        Outcome o = d.run(seconds, mix);
        print_row(label.c_str(), n, seconds, o, cpu < 0 ? -1 : service_cpu() - cpu);
    }
    return 0;
}

// A share made to cost its checker: a maze over the whole map, and a replay of
// 8,192 clicks between its far end and the player's, no two far searches in
// a row alike. It never wins: the service refuses it, once it has played it.
std::string hostile_share(int port, int account) {
    static const std::string replay =
        urlencode(base64_encode(hostile_replay(hostile_maze(), LOGIC_REPLAY_PATHS_MAX, LOAD_HOSTILE_FAR_CELLS)));
    LevelData maze = hostile_maze();
    std::string name = "h" + std::to_string(account);
    mystrcpy(maze.name, sizeof(maze.name), name.c_str());
    std::string body = "&target=1&id=" + std::to_string(1700000000 + account) + "&title=" + urlencode("Maze") +
                       "&intro=&data=" + urlencode(base64_encode(server_record_pack(maze))) + "&replay=" + replay;
    return post(port, common(account, "share"), body);
}

void print_kind(const std::string& label, const char* kind, double seconds, Outcome& o) {
    std::sort(o.ms.begin(), o.ms.end());
    auto pct = [&o](double p) { return o.ms.empty() ? 0.0 : o.ms[std::min(o.ms.size() - 1, (size_t)(p * o.ms.size()))]; };
    printf("%-14s %-9s %9.1f %9.1f %9.1f %9.1f %8ld %8ld  ", label.c_str(), kind, (o.ok + o.refused + o.failed) / seconds,
           pct(0.5), pct(0.99), o.ms.empty() ? 0.0 : o.ms.back(), o.refused, o.failed);
    for (const auto& st : o.statuses) printf(" %d:%ld", st.first, st.second);
    printf("\n");
}

// `clients` clients of the mixed workload (on every account but the last
// `hostile`) while the last `hostile` accounts, each from an address of its
// own, send hostile shares without pause: each kind's answers, and what
// became of the hostile shares.
int cmd_hostile(const std::string& label, int port, double seconds, int accounts, int maps, int clients, int hostile) {
    Mix mix{port, accounts - hostile, maps};
    {
        Driver d(port, 20, 0);
        int a = 0;
        d.run(3600, [&](size_t) { return a < accounts ? get(port, common(a++, "valid")) : std::string(); });
    }
    Driver d(port, clients + hostile, 0);
    d.hostile_from = (size_t)clients;
    double cpu = service_cpu();
    d.run(seconds, [&](size_t i) {
        return i < (size_t)clients ? mix() : hostile_share(port, accounts - hostile + (int)(i - (size_t)clients));
    });
    cpu = cpu < 0 ? -1 : service_cpu() - cpu;
    printf("%-14s %-9s %9s %9s %9s %9s %8s %8s   %s\n", "service", "kind", "answers/s", "p50 ms", "p99 ms", "max ms",
           "refused", "failed", "status:answers (0: none in 5 s)");
    for (int k = 0; k < KINDS; k++) print_kind(label, KIND_NAMES[k], seconds, d.kinds[k]);
    if (hostile == 0) {
        printf("%-14s the service used %.1f s of CPU in %.0f s\n", label.c_str(), cpu, seconds);
        return 0;
    }
    std::map<int, long>& st = d.kinds[KIND_HOSTILE].statuses;
    printf("%-14s hostile shares: %ld checked and refused (400), %ld over budget (429), %ld told to come back "
           "(503), %ld unanswered; %.1f checked an account a minute; the service used %.1f s of CPU in %.0f s\n",
           label.c_str(), st[400], st[429], st[503], st[0], st[400] * 60.0 / seconds / hostile, cpu, seconds);
    fflush(stdout);
    return 0;
}

// Each list alone: the first answer (built) and the median of the next ones.
int cmd_lists(const std::string& label, int port, int accounts) {
    const char* lists[] = {"c~featured", "c~popular", "c~newest", "c~favorites", "c~friends", "u~g:u7"};
    printf("%-14s", label.c_str());
    for (const char* q : lists) {
        std::vector<double> ms;
        for (int i = 0; i <= LOAD_LIST_REPEAT; i++) {
            Driver d(port, 1, 100);
            bool sent = false;
            Outcome o = d.run(0.001, [&](size_t) {
                std::string r = sent ? std::string() : get(port, common(3 % accounts, "download") + "&q=" + urlencode(q));
                sent = true;
                return r;
            });
            ms.push_back(o.ms.empty() ? -1 : o.ms[0]);
        }
        std::vector<double> warm(ms.begin() + 1, ms.end());
        std::sort(warm.begin(), warm.end());
        printf(" %s %.1f/%.1f", q + 2, ms[0], warm[warm.size() / 2]);
    }
    printf("   (ms: first/median)\n");
    return 0;
}

// 264 connections from 8 addresses, each sending a header byte every 20 s and
// opened again when the service drops it, while 10 clients ask for lists.
int cmd_slow(const std::string& label, int port, double seconds, int accounts) {
    std::vector<int> crowd(LOAD_SLOW_CONNS, -1);
    std::vector<size_t> sent(LOAD_SLOW_CONNS, 0);
    std::string head = get(port, common(-1, "valid"));
    auto open_one = [&](int i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in from{}, to{};
        from.sin_family = to.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl((127u << 24) | (unsigned)(2 + i % LOAD_SLOW_ADDRESSES));
        to.sin_port = htons((uint16_t)port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, (sockaddr*)&from, sizeof(from));
        connect(fd, (sockaddr*)&to, sizeof(to));
        crowd[(size_t)i] = fd;
        sent[(size_t)i] = 0;
    };
    for (int i = 0; i < LOAD_SLOW_CONNS; i++) open_one(i);
    double next_byte = now_s();
    Driver d(port, 10, 150);
    Outcome total;
    double end = now_s() + seconds;
    while (now_s() < end) {
        if (now_s() >= next_byte) {
            for (int i = 0; i < LOAD_SLOW_CONNS; i++) {
                char c;
                bool dropped = recv(crowd[(size_t)i], &c, 1, MSG_DONTWAIT) == 0 ||
                               (send(crowd[(size_t)i], head.data() + sent[(size_t)i] % head.size(), 1, MSG_NOSIGNAL) < 0 &&
                                errno != EAGAIN);
                if (dropped) {
                    close(crowd[(size_t)i]);
                    open_one(i);
                } else {
                    sent[(size_t)i]++;
                }
            }
            next_byte += LOAD_SLOW_BYTE_S;
        }
        int a = 0;
        Outcome o = d.run(1.0, [&](size_t) { return get(port, common(a++ % accounts, "download") + "&q=c~featured"); });
        total.ok += o.ok;
        total.refused += o.refused;
        total.failed += o.failed;
        total.ms.insert(total.ms.end(), o.ms.begin(), o.ms.end());
    }
    for (int fd : crowd) close(fd);
    long all = total.ok + total.refused + total.failed;
    std::sort(total.ms.begin(), total.ms.end());
    double p99 = total.ms.empty() ? 0 : total.ms[std::min(total.ms.size() - 1, (size_t)(0.99 * total.ms.size()))];
    printf("%-14s under %d half-open connections: %ld of %ld answered (%.1f%%), p99 %.1f ms\n", label.c_str(),
           LOAD_SLOW_CONNS, total.ok, all, all ? 100.0 * total.ok / all : 0.0, p99);
    return 0;
}

// The cost of a take with few keys in the table and after a million.
int cmd_rates() {
    ServerLimits lim;
    ServerRate rule{10, 1.0};
    auto cost = [&](int base) {
        const int n = 200000;
        double t0 = now_s();
        for (int i = 0; i < n; i++) server_rate_take(lim, rule, "ip:" + std::to_string(base + i % 1000), 1.0);
        return (now_s() - t0) / n * 1e9;
    };
    double few = cost(0);
    for (int i = 0; i < 1000000; i++) server_rate_take(lim, rule, "ip:flood" + std::to_string(i), 1.0);
    double many = cost(5000000);
    printf("rate table: %.0f ns a take with 1,000 keys, %.0f ns after 1,000,000 more; %.1f MB\n", few, many,
           lim.table.bytes() / 1048576.0);
    return 0;
}

void usage() {
    fprintf(stderr,
            "usage: velquist_load fill WHERE [--old] MAPS PLAYS ACCOUNTS\n"
            "       velquist_load run LABEL PORT SECONDS ACCOUNTS MAPS CLIENTS...\n"
            "       velquist_load hostile LABEL PORT SECONDS ACCOUNTS MAPS CLIENTS HOSTILE\n"
            "       velquist_load lists LABEL PORT ACCOUNTS\n"
            "       velquist_load slow LABEL PORT SECONDS ACCOUNTS\n"
            "       velquist_load rates\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.empty()) return usage(), 2;
    if (a[0] == "fill" && a.size() >= 5) {
        bool old = a[2] == "--old";
        size_t k = old ? 3 : 2;
        if (a.size() < k + 3) return usage(), 2;
        return cmd_fill(a[1], old, atoi(a[k].c_str()), atoi(a[k + 1].c_str()), atoi(a[k + 2].c_str()));
    }
    if (a[0] == "run" && a.size() >= 7) {
        std::vector<int> clients;
        for (size_t i = 6; i < a.size(); i++) clients.push_back(atoi(a[i].c_str()));
        return cmd_run(a[1], atoi(a[2].c_str()), clients, atof(a[3].c_str()), atoi(a[4].c_str()), atoi(a[5].c_str()));
    }
    if (a[0] == "hostile" && a.size() == 8)
        return cmd_hostile(a[1], atoi(a[2].c_str()), atof(a[3].c_str()), atoi(a[4].c_str()), atoi(a[5].c_str()),
                           atoi(a[6].c_str()), atoi(a[7].c_str()));
    if (a[0] == "lists" && a.size() == 4) return cmd_lists(a[1], atoi(a[2].c_str()), atoi(a[3].c_str()));
    if (a[0] == "slow" && a.size() == 5)
        return cmd_slow(a[1], atoi(a[2].c_str()), atof(a[3].c_str()), atoi(a[4].c_str()));
    if (a[0] == "rates") return cmd_rates();
    usage();
    return 2;
}
