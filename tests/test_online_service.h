// A scripted online service for the protocol tests: a thread on 127.0.0.1
// answering each request as a script says (headers, an SQLite body, or one of
// the ways a broken service misbehaves), plus helpers that build map lists and
// drive the game's loop.
#pragma once

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "game_web.h"
#include "harness.h"
#include "loopback.h"
#include "logic.h"
#include "mydb.h"
#include "util.h"
#include "temp_dir.h"

namespace onlinetest {

using Clock = std::chrono::steady_clock;

const int WAIT_MS = 20;         // how long a service thread blocks before checking for stop
const int TRICKLE_MS = 20;      // pause between two trickled bytes
const int ENDLESS_CHUNK = 65536;

// How the service answers one request.
struct Answer {
    enum Mode {
        WHOLE,    // status line, head, Content-Length, body; then close
        CUT,      // announces the body's length plus one, sends the body, closes
        ENDLESS,  // status line and head, then body bytes without end
        TRICKLE,  // the whole answer a byte at a time, then the same again, without end
        SILENT,   // reads the request, never answers
    };
    std::string head;  // header lines, each "Name: value\r\n"
    std::string body;
    Mode mode = WHOLE;
};

inline Answer ok(const std::string& body = std::string()) {
    Answer a;
    a.head = "X-Response: ok\r\n";
    a.body = body;
    return a;
}

inline Answer error(const std::string& text) {
    Answer a;
    a.head = "X-Response: error\r\nX-Error: " + text + "\r\n";
    return a;
}

inline Answer mode(Answer::Mode m, const std::string& head = "X-Response: ok\r\n") {
    Answer a;
    a.head = head;
    a.mode = m;
    return a;
}

// The value of `key` in a request's query or form ("" when absent).
inline std::string action_of(const std::string& request) {
    size_t at = request.find("&_action=");
    if (at == std::string::npos) return std::string();
    at += 9;
    size_t end = request.find_first_of("& \n", at);
    return request.substr(at, end - at);
}

typedef std::function<Answer(const std::string& request)> Script;

// Answers every request of an action it does not know with "X-Response: ok".
class Service {
public:
    explicit Service(Script script) : _script(std::move(script)) {
        _listen = loopback_listen(16, &_port);
        if (_listen < 0) {
            ADD_FAILURE() << "cannot listen on the loopback address";
            return;
        }
        _thread = std::thread([this] { accept_loop(); });
    }
    ~Service() {
        _stop = true;
        if (_thread.joinable()) _thread.join();
        for (std::thread& t : _conns) t.join();
        if (_listen >= 0) ::close(_listen);
    }

    int port() const { return _port; }
    // Points the game's next exchanges here.
    void use(float timeout = 30, int exchange_max = GAME_WEB_EXCHANGE_MAX) const {
        game_web_set_service({"127.0.0.1", _port, timeout, exchange_max});
    }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(_mutex);
        return _requests;
    }
    // The requests of one action, in arrival order.
    std::vector<std::string> requests(const char* action) {
        std::vector<std::string> out;
        for (const std::string& r : requests())
            if (action_of(r) == action) out.push_back(r);
        return out;
    }
    int count(const char* action) { return (int)requests(action).size(); }

private:
    bool wait_for(int fd, short events) { return loopback_wait(fd, events, _stop, WAIT_MS); }
    bool send_all(int fd, const char* bytes, size_t len) { return loopback_send_all(fd, bytes, len, _stop, WAIT_MS); }
    bool send_all(int fd, const std::string& s) { return send_all(fd, s.data(), s.size()); }
    std::string read_request(int fd) { return loopback_read_request(fd, _stop, WAIT_MS); }
    void serve(int fd) {
        std::string request = read_request(fd);
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _requests.push_back(request);
        }
        Answer a = _script(request);
        std::string status = "HTTP/1.0 200 OK\r\n";
        switch (a.mode) {
        case Answer::WHOLE:
        case Answer::CUT: {
            size_t announced = a.body.size() + (a.mode == Answer::CUT ? 1 : 0);
            send_all(fd, status + a.head + "Content-Length: " + std::to_string(announced) + "\r\n\r\n" + a.body);
            break;
        }
        case Answer::ENDLESS: {
            if (!send_all(fd, status + a.head + "\r\n")) break;
            std::string chunk(ENDLESS_CHUNK, 'x');
            while (!_stop && send_all(fd, chunk)) {}
            break;
        }
        case Answer::TRICKLE: {
            std::string all = status + a.head + "\r\n" + a.body;
            for (size_t i = 0; !_stop; i = (i + 1) % all.size()) {
                if (!send_all(fd, all.data() + i, 1)) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(TRICKLE_MS));
            }
            break;
        }
        case Answer::SILENT:
            while (!_stop) {
                // Hold the connection until the client gives up on it.
                pollfd p = {fd, POLLIN, 0};
                char c;
                if (::poll(&p, 1, WAIT_MS) > 0 && recv(fd, &c, 1, 0) <= 0) break;
            }
            break;
        }
        ::close(fd);
    }
    void accept_loop() {
        while (wait_for(_listen, POLLIN)) {
            int fd = accept(_listen, nullptr, nullptr);
            if (fd < 0) continue;
            _conns.emplace_back([this, fd] { serve(fd); });
        }
    }

    Script _script;
    int _listen = -1;
    int _port = 0;
    std::atomic<bool> _stop{false};
    std::thread _thread;
    std::vector<std::thread> _conns;  // touched by the accept thread only, until it is joined
    std::mutex _mutex;
    std::vector<std::string> _requests;
};

// ---------------------------------------------------------------- map lists

// One row of a list as the service sends it.
struct ListRow {
    std::string id, name, author, title, uid, intro, data;
    std::string stars = "0", skulls = "0", value = "0", ts = "0";
};

// An SQLite database file holding `create` (the levels table by default),
// the rows, then `extra` (more statements, ";"-separated, run one by one).
inline std::string list_file(const std::vector<ListRow>& rows, const std::string& extra = std::string(),
                             const char* create = nullptr) {
    char path[] = "/tmp/velquist-list-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0) ::close(fd);
    {
        MyDB db;
        db.open(path);
        db.query(create ? create : logic_levels_create().c_str());
        db.begin();
        for (const ListRow& r : rows)
            db.query("insert into levels (id,name,author,data,title,ts,uid,stars,skulls,intro,value) "
                     "values (?,?,?,?,?,?,?,?,?,?,?)",
                     {r.id, r.name, r.author, r.data, r.title, r.ts, r.uid, r.stars, r.skulls, r.intro, r.value});
        db.commit();
        std::stringstream ss(extra);
        std::string stmt;
        while (std::getline(ss, stmt, ';'))
            if (stmt.find_first_not_of(" \n") != std::string::npos) db.query(stmt.c_str());
    }
    std::string bytes = file_bytes(path);
    unlink(path);
    return bytes;
}

// A packed map titled `title`, as the editor would share it.
inline std::string packed_map(Game& game, const char* title) {
    LevelData keep = game._edit, keep_level = game.level;
    logic_new(game);
    game._edit = game.level;
    mystrcpy(game._edit.title, sizeof(game._edit.title), title);
    int len = 0;
    const char* p = logic_pack(game, &len);
    std::string out = p ? std::string(p, (size_t)len) : std::string();
    game._edit = keep;
    game.level = keep_level;
    return out;
}

inline ListRow map_row(Game& game, const std::string& id, const std::string& title, const std::string& value) {
    ListRow r;
    r.id = id;
    r.name = "n" + id;
    r.author = "Ann";
    r.uid = "g:Ann";
    r.title = title;
    r.intro = "Intro of " + title;
    r.value = value;
    r.stars = "3.5";
    r.skulls = "2";
    r.ts = "1300000000";
    r.data = packed_map(game, title.c_str());
    return r;
}

// ---------------------------------------------------------------- driving the loop

// Runs Game::loop alone (no frame) until cond holds or `seconds` pass, and
// fails when a single loop holds the game: the network must never block it.
template <typename F>
bool loop_until(Game& game, F cond, double seconds = 10) {
    const double hang_ms = 1000;  // far above any loop's work; only a blocked one reaches it
    auto end = Clock::now() + std::chrono::milliseconds((long)(seconds * 1000));
    double worst = 0;
    while (!cond() && Clock::now() < end) {
        auto t0 = Clock::now();
        game.loop();
        worst = std::max(worst, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_LT(worst, hang_ms) << "a loop held the game";
    return cond();
}

inline bool idle(WebRequest& slot) { return slot.page == nullptr; }

// A game whose settings carry an account, started against `service`.
inline void start_signed_in(Harness& h, Service& service, const char* name, const char* passwd) {
    Settings s;
    memset(&s, 0, sizeof(s));
    std::ifstream in(h.user_file("settings.dat"), std::ios::binary);
    in.read((char*)&s, sizeof(s));
    in.close();
    mystrcpy(s.name, sizeof(s.name), name);
    mystrcpy(s.passwd, sizeof(s.passwd), passwd);
    mystrcpy(s.udid, sizeof(s.udid), "time|1300000000");
    std::ofstream out(h.user_file("settings.dat"), std::ios::binary);
    out.write((const char*)&s, sizeof(s));
    out.close();
    service.use();
    h.start();
}

inline MyResult net_rows(Game& game, const char* q) {
    return game.netdb.query("select * from levels where q = ? order by value asc", {q});
}

}  // namespace onlinetest
