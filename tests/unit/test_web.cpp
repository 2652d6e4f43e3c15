// The HTTP client against a scripted server on the loopback address: request
// text, head parsing, headers, encoding, and services that misbehave.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback.h"
#include "web.h"

namespace {

using Clock = std::chrono::steady_clock;

const int SERVER_WAIT_MS = 50;   // how long the server blocks before checking for stop
const int ENDLESS_CHUNK = 65536; // bytes the endless server writes at a time
// A poll must never wait on the network. The scripted pauses are 250 ms or
// more, so any wait would show far above this bound, which leaves room for a
// loaded machine.
const double POLL_BOUND_MS = 50.0;

// One connection on 127.0.0.1, served on a thread: reads the request, then
// plays its steps (bytes, then a pause), and closes.
class ScriptServer {
public:
    struct Step {
        std::string bytes;
        int pause_ms;
    };
    enum Mode {
        PLAY,     // the steps, then close
        ENDLESS,  // the steps, then fill bytes until the client goes away
        SILENT,   // read the request, never answer
    };

    explicit ScriptServer(std::vector<Step> steps, Mode mode = PLAY, char fill = 'x')
        : _steps(std::move(steps)), _mode(mode), _fill(fill) {
        _listen = loopback_listen(1, &_port);
        if (_listen < 0) {
            ADD_FAILURE() << "cannot listen on the loopback address";
            return;
        }
        _thread = std::thread([this] { run(); });
    }
    ~ScriptServer() {
        _stop = true;
        if (_thread.joinable()) _thread.join();
        if (_listen >= 0) ::close(_listen);
    }

    int port() const { return _port; }
    std::string request() {
        std::lock_guard<std::mutex> lock(_mutex);
        return _request;
    }

private:
    bool wait_for(int fd, short events) { return loopback_wait(fd, events, _stop, SERVER_WAIT_MS); }
    bool send_all(int fd, const std::string& bytes) {
        return loopback_send_all(fd, bytes.data(), bytes.size(), _stop, SERVER_WAIT_MS);
    }
    // Reads the head and as much body as its Content-Length announces.
    void read_request(int fd) {
        std::string got = loopback_read_request(fd, _stop, SERVER_WAIT_MS);
        std::lock_guard<std::mutex> lock(_mutex);
        _request = got;
    }
    void run() {
        if (!wait_for(_listen, POLLIN)) return;
        int fd = accept(_listen, nullptr, nullptr);
        if (fd < 0) return;
        read_request(fd);
        bool ok = true;
        for (const Step& s : _steps) {
            if (!(ok = send_all(fd, s.bytes))) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(s.pause_ms));
        }
        if (_mode == ENDLESS) {
            std::string fill(ENDLESS_CHUNK, _fill);
            while (ok && send_all(fd, fill)) {}
        }
        if (_mode == SILENT) wait_for(fd, 0);
        ::close(fd);
    }

    std::vector<Step> _steps;
    Mode _mode;
    char _fill;
    int _listen = -1;
    int _port = 0;
    std::atomic<bool> _stop{false};
    std::mutex _mutex;
    std::string _request;
    std::thread _thread;
};

struct Outcome {
    bool over = false;
    int polls = 0;
    double max_poll_ms = 0;
    double seconds = 0;
};

// Polls until the exchange is over or limit_s has passed; `pace` sleeps a
// millisecond between polls, as a main loop would sleep between ticks.
Outcome drive(WebRequest& r, double limit_s, bool pace = true) {
    Outcome o;
    Clock::time_point start = Clock::now();
    while (!o.over) {
        Clock::time_point t = Clock::now();
        o.over = r.poll();
        o.polls++;
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - t).count();
        if (ms > o.max_poll_ms) o.max_poll_ms = ms;
        o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (o.seconds > limit_s) break;
        if (pace) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return o;
}

WebRequest local_request(int port, const char* path = "/", float timeout = 5.0f) {
    WebRequest r;
    r.host = "127.0.0.1";
    r.port = port;
    r.request = path;
    r.timeout = timeout;
    return r;
}

std::string body_of(WebRequest& r) {
    int len = 0;
    const unsigned char* data = r.get_response(&len);
    return data ? std::string((const char*)data, (size_t)len) : std::string();
}

// A record fed directly, without a socket.
struct Fed {
    kv_web* web;
    Fed() : web((kv_web*)calloc(1, sizeof(kv_web))) { web->sockfd = -1; }
    ~Fed() { kv_web_destroy(web); }
    void feed(const std::string& s) { kv_web_feed(web, (const unsigned char*)s.data(), (int)s.size()); }
    std::string header(const char* name, int size = KV_WEB_HEADER_SIZE) {
        std::vector<char> out((size_t)size + 1, '#');
        kv_web_get_header(web, out.data(), size, name);
        EXPECT_EQ(out[(size_t)size], '#') << "wrote past the buffer";
        return out.data();
    }
    std::string body() const { return std::string((const char*)web->data, (size_t)web->len); }
};

}  // namespace

TEST(Web, SendsGetAndPostHeadsExactly) {
    kv_web_init();
    {
        ScriptServer server({{"HTTP/1.0 200 OK\n\n", 0}});
        WebRequest r = local_request(server.port(), "/velquist/api.php?&_action=valid");
        r.exec();
        ASSERT_TRUE(drive(r, 5).over);
        EXPECT_FALSE(r.has_error());
        EXPECT_EQ(server.request(), "GET /velquist/api.php?&_action=valid HTTP/1.0\nHost: 127.0.0.1:" +
                                        std::to_string(server.port()) + "\n\n");
    }
    {
        ScriptServer server({{"HTTP/1.0 200 OK\n\n", 0}});
        WebRequest r = local_request(server.port(), "/share");
        r.post = "&id=a%2db";
        r.exec();
        ASSERT_TRUE(drive(r, 5).over);
        EXPECT_EQ(server.request(), "POST /share HTTP/1.0\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                                        "\nContent-Type: application/x-www-form-urlencoded\n"
                                        "Content-Length: 9\n\n&id=a%2db");
    }
    // A body of length zero is no body at all.
    kv_web* web = kv_web_create("127.0.0.1", 8080, "/p", "", 0, 5);
    EXPECT_EQ(std::string((char*)web->_request.data, (size_t)web->_request.len),
              "GET /p HTTP/1.0\nHost: 127.0.0.1:8080\n\n");
    EXPECT_EQ(web->state, KV_WEB_READY);
    kv_web_destroy(web);
}

TEST(Web, LongFieldsFitOrFailCleanly) {
    std::string path = "/" + std::string(KV_WEB_PATH_SIZE - 2, 'p');
    kv_web* web = kv_web_create("127.0.0.1", 80, path.c_str(), nullptr, 0, 5);
    std::string head = "GET " + path + " HTTP/1.0\nHost: 127.0.0.1:80\n\n";
    EXPECT_EQ(std::string((char*)web->_request.data, (size_t)web->_request.len), head)
        << "a head longer than the first 1024 bytes grows the buffer";
    EXPECT_FALSE(web->error);
    kv_web_destroy(web);

    std::string long_host(KV_WEB_HOST_SIZE, 'h');
    std::string long_path = path + "p";
    const char* bad[][2] = {{long_host.c_str(), "/"}, {"127.0.0.1", long_path.c_str()},
                            {"127.0.0.1", "/a\r\nX-Injected: 1"}};
    for (auto& b : bad) {
        testing::internal::CaptureStderr();
        web = kv_web_create(b[0], 80, b[1], nullptr, 0, 5);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(web->error);
        EXPECT_EQ(web->state, KV_WEB_NOT_STARTED);
        EXPECT_EQ(web->sockfd, -1);
        EXPECT_EQ(err.find("gethostbyname"), std::string::npos) << "no lookup for a refused request";
        EXPECT_EQ(kv_web_poll(web), 1);
        kv_web_destroy(web);
    }
}

TEST(Web, HeadSplitOverChunksGivesBodyAndHeaders) {
    ScriptServer server({{"HTTP/1.0 200 OK\r\nX-Resp", 30},
                         {"onse: ok\r\nX-Error:\r\n\r", 30},
                         {"\nbody\n\nX-Late: no", 30},
                         {"more", 0}});
    WebRequest r = local_request(server.port());
    r.exec();
    Outcome o = drive(r, 5);
    ASSERT_TRUE(o.over);
    EXPECT_FALSE(r.has_error());
    EXPECT_EQ(body_of(r), "body\n\nX-Late: nomore");
    EXPECT_EQ(r.get_header("X-Response"), "ok");
    EXPECT_EQ(r.get_header("X-Error"), "");
    EXPECT_EQ(r.get_header("X-Late"), "") << "lines of the body are not headers";
    EXPECT_LT(o.max_poll_ms, POLL_BOUND_MS);
}

TEST(Web, HeadEndIsFoundWhereverTheChunksSplit) {
    const std::string response = "HTTP/1.0 200 OK\r\nX-Response: 1\r\nX-Error: \r\n\r\nbody\n\nrest";
    const int body_at = (int)response.find("body");
    for (size_t i = 0; i <= response.size(); i++) {
        for (size_t j = i; j <= response.size(); j++) {
            Fed f;
            f.feed(response.substr(0, i));
            f.feed(response.substr(i, j - i));
            f.feed(response.substr(j));
            ASSERT_EQ(f.web->header, body_at) << "cuts at " << i << ", " << j;
            ASSERT_EQ(f.body(), "body\n\nrest");
            ASSERT_EQ(f.header("X-Response"), "1");
        }
    }
    // CRs between the two LFs do not matter; a lone LF does not end the head.
    const char* ends[][2] = {{"A\n\nB", "B"}, {"A\n\r\nB", "B"}, {"A\r\r\n\r\r\nB", "B"}, {"\n\n", ""}};
    for (auto& e : ends) {
        Fed f;
        f.feed(e[0]);
        EXPECT_EQ(f.body(), e[1]) << e[0];
    }
}

TEST(Web, ResponseWithoutBlankLineHasEmptyBody) {
    ScriptServer server({{"HTTP/1.0 200 OK\nX-Response: 1\nX-Error: cut sh", 0}});
    WebRequest r = local_request(server.port());
    r.exec();
    ASSERT_TRUE(drive(r, 5).over);
    EXPECT_FALSE(r.has_error()) << "a response cut short is not detected";
    int len = -1;
    r.get_response(&len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(r.get_header("X-Response"), "1");
    EXPECT_EQ(r.get_header("X-Error"), "cut sh") << "only what was received";
    EXPECT_EQ(r.page->header, r.page->_response.len);
}

TEST(Web, BodyShorterThanItsContentLengthFails) {
    {
        ScriptServer server({{"HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nSQLite f", 0}});
        WebRequest r = local_request(server.port());
        r.exec();
        testing::internal::CaptureStderr();
        ASSERT_TRUE(drive(r, 5).over);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(r.has_error()) << "a download cut off mid-way is no download";
        EXPECT_NE(err.find("cut short: 8 of 12 bytes"), std::string::npos) << err;
    }
    // A whole body, a longer one, or a length that is no number pass as they are.
    const char* whole[] = {"Content-Length: 4\r\n\r\nSQLi", "Content-Length: 2\r\n\r\nSQLi",
                           "Content-Length: four\r\n\r\nSQLi", "content-length: 9\r\n\r\nSQLi"};
    for (const char* answer : whole) {
        Fed f;
        f.feed(answer);
        kv_web_end(f.web);
        EXPECT_EQ(f.web->state, KV_WEB_FINISHED);
        EXPECT_FALSE(f.web->error) << answer;
        EXPECT_EQ(f.body(), "SQLi");
    }
}

TEST(Web, HeaderLookupRules) {
    Fed f;
    std::string long_value(300, 'v');
    f.feed("HTTP/1.0 200 OK\r\nX-Twice: first\r\nX-Twice: second\r\nx-case: lower\r\n"
           "X-Spaced:    padded  \r\nX-Long: " + long_value + "\r\nX-Empty:\r\nX-ResponseCode: 7\r\n\r\nX-Body: 1");
    EXPECT_EQ(f.header("X-Absent"), "");
    EXPECT_EQ(f.header("X-Twice"), "first") << "only the first line counts";
    EXPECT_EQ(f.header("X-Case"), "") << "names compare case-sensitively";
    EXPECT_EQ(f.header("X-Spaced"), "padded  ");
    EXPECT_EQ(f.header("X-Long"), long_value.substr(0, KV_WEB_HEADER_SIZE - 1));
    EXPECT_EQ(f.header("X-Long", 4), "vvv");
    EXPECT_EQ(f.header("X-Long", 1), "");
    EXPECT_EQ(f.header("X-Response"), "") << "the colon is part of the pattern";
    EXPECT_EQ(f.header("X-Body"), "");
    EXPECT_EQ(f.header("X-Empty"), "");

    WebRequest idle;
    EXPECT_EQ(idle.get_header("X-Response"), "");
    EXPECT_TRUE(idle.has_error());
    EXPECT_FALSE(idle.poll());
    int len = -1;
    EXPECT_EQ(idle.get_response(&len), nullptr);
    EXPECT_EQ(len, 0);
}

TEST(Web, PercentEncoding) {
    EXPECT_EQ(web_urlencode("Az09 -~"), "Az09%20%2d%7e");
    EXPECT_EQ(WebRequest::urlencode("a_b.c|\xff"), "a%5fb%2ec%7c%ff");
    EXPECT_EQ(web_urlencode(std::string("\0", 1)), "%00");

    const char* in = "ab c";
    EXPECT_EQ(kv_web_urlencode_len(in, 4), (int)strlen("ab%20c") + 1);
    char out[16];
    memset(out, '#', sizeof(out));
    kv_web_urlencode(out, 7, in, 4);
    EXPECT_STREQ(out, "ab%20c");
    // Too small: stops before a piece that does not fit, never half an escape.
    memset(out, '#', sizeof(out));
    kv_web_urlencode(out, 6, in, 4);
    EXPECT_STREQ(out, "ab%20");
    memset(out, '#', sizeof(out));
    kv_web_urlencode(out, 5, in, 4);
    EXPECT_STREQ(out, "ab");
    for (int i = 2; i < 5; i++) EXPECT_EQ(out[i], 0) << "zero-filled";
    EXPECT_EQ(out[5], '#') << "nothing written past out_size";
}

TEST(Web, BufferGrowthDoublesAndZeroes) {
    kv_web_buffer b{};
    ASSERT_TRUE(kv_web_extend(&b, 1000));
    EXPECT_EQ(b.alloc, 1024);
    for (int i = 0; i < b.alloc; i++) ASSERT_EQ(b.data[i], 0);
    unsigned char* before = b.data;
    b.len = 1000;
    ASSERT_TRUE(kv_web_extend(&b, 24));
    EXPECT_EQ(b.data, before) << "no reallocation while it fits";
    ASSERT_TRUE(kv_web_extend(&b, 25));
    EXPECT_EQ(b.alloc, 2048);
    testing::internal::CaptureStderr();
    b.len = 2000;
    EXPECT_FALSE(kv_web_extend(&b, 0x7fffffff));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(b.alloc, 2048) << "a refused growth leaves the buffer as it was";
    free(b.data);
}

TEST(Web, FailedLookupOpensNoSocket) {
    WebRequest r;
    r.host = "no..such..host";  // an empty label: the resolver refuses it without asking the network
    testing::internal::CaptureStderr();
    r.exec();
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(r.page, nullptr);
    EXPECT_EQ(r.page->sockfd, -1);
    EXPECT_EQ(r.page->state, KV_WEB_NOT_STARTED);
    EXPECT_NE(err.find("gethostbyname(no..such..host) == null; h_errno = "), std::string::npos) << err;
    EXPECT_TRUE(r.poll()) << "the first poll reports the failure";
    EXPECT_TRUE(r.has_error());
}

TEST(Web, PollingAfterTheEndDoesNothing) {
    ScriptServer server({{"HTTP/1.0 200 OK\r\nX-Response: 1\r\n\r\nlist", 0}});
    WebRequest r = local_request(server.port());
    r.exec();
    ASSERT_TRUE(drive(r, 5).over);
    ASSERT_EQ(r.page->state, KV_WEB_FINISHED);
    int received = r.page->_response.len;
    // Any select or recv on an invalid descriptor would fail and set error;
    // a deadline long gone would report a time-out.
    int fd = r.page->sockfd;
    r.page->sockfd = -1;
    r.page->timeout = 0;
    for (int i = 0; i < 100; i++) ASSERT_TRUE(r.poll());
    r.page->sockfd = fd;
    EXPECT_FALSE(r.has_error());
    EXPECT_EQ(r.page->_response.len, received);
    EXPECT_EQ(body_of(r), "list");
}

TEST(Web, ExecOnALiveRequestAndCopiesLeaveThePageAlone) {
    ScriptServer server({{"HTTP/1.0 200 OK\r\n\r\nfirst", 0}});
    WebRequest r = local_request(server.port(), "/first");
    r.exec();
    kv_web* live = r.page;
    r.request = "/second";
    r.exec();
    EXPECT_EQ(r.page, live);
    EXPECT_STREQ(r.page->path, "/first");

    WebRequest copy(r);
    EXPECT_EQ(copy.page, nullptr) << "a copy never shares the connection";
    EXPECT_EQ(copy.request, "/second");
    EXPECT_EQ(copy.port, server.port());
    ASSERT_TRUE(drive(r, 5).over);
    EXPECT_EQ(body_of(r), "first");
    r = WebRequest();  // how a slot is reset: the old page is closed
    EXPECT_EQ(r.page, nullptr);
    EXPECT_EQ(r.request, "/");
}

TEST(Web, RefusedConnectionFails) {
    int port;
    {
        ScriptServer gone({});  // takes a free port, and gives it up when it ends
        port = gone.port();
    }
    WebRequest r = local_request(port);
    r.exec();
    testing::internal::CaptureStderr();
    Outcome o = drive(r, 5);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(o.over);
    EXPECT_TRUE(r.has_error());
}

TEST(WebHostile, EndlessBodyHitsTheCap) {
    ScriptServer server({{"HTTP/1.0 200 OK\r\nX-Response: 1\r\n\r\n", 0}}, ScriptServer::ENDLESS);
    WebRequest r = local_request(server.port(), "/", 10.0f);
    r.exec();
    testing::internal::CaptureStderr();
    Outcome o = drive(r, 60, false);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(o.over);
    EXPECT_TRUE(r.has_error());
    EXPECT_NE(err.find("larger than 67108864 bytes"), std::string::npos) << err;
    EXPECT_LE(r.page->_response.alloc, KV_WEB_MAX_RESPONSE) << "memory stays bounded";
    EXPECT_GT(r.page->_response.len, KV_WEB_MAX_RESPONSE - KV_WEB_CHUNK);
    EXPECT_EQ(r.get_header("X-Response"), "1");
    r.close();
}

TEST(WebHostile, HeadThatNeverEndsHitsTheCap) {
    ScriptServer server({{"HTTP/1.0 200 OK\r\nX-Big: ", 0}}, ScriptServer::ENDLESS, 'b');
    WebRequest r = local_request(server.port(), "/", 10.0f);
    r.exec();
    testing::internal::CaptureStderr();
    Outcome o = drive(r, 60, false);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(o.over);
    EXPECT_TRUE(r.has_error());
    EXPECT_NE(err.find("larger than"), std::string::npos) << err;
    EXPECT_LE(r.page->_response.alloc, KV_WEB_MAX_RESPONSE);
    EXPECT_EQ(r.page->len, 0);
    EXPECT_EQ(r.get_header("X-Big"), std::string(KV_WEB_HEADER_SIZE - 1, 'b'));
}

TEST(WebHostile, HugeHeaderIsCutToItsFirst255Characters) {
    std::string big(1 << 20, 'b');
    ScriptServer server({{"HTTP/1.0 200 OK\r\nX-Big: " + big + "\r\nX-Response: yes\r\n\r\nBODY", 0}});
    WebRequest r = local_request(server.port());
    r.exec();
    ASSERT_TRUE(drive(r, 30, false).over);
    EXPECT_FALSE(r.has_error());
    EXPECT_EQ(r.get_header("X-Big"), big.substr(0, KV_WEB_HEADER_SIZE - 1));
    EXPECT_EQ(r.get_header("X-Response"), "yes");
    EXPECT_EQ(body_of(r), "BODY");
}

TEST(WebHostile, SlowTrickleRenewsTheIdleTimeOut) {
    // Ten pieces 250 ms apart outlast a one-second time-out that is not renewed.
    std::vector<ScriptServer::Step> steps = {{"HTTP/1.0 200 OK\r\n", 250}, {"X-Response: ok\r\n", 250},
                                             {"\r\n", 250}};
    std::string body;
    for (int i = 0; i < 7; i++) {
        steps.push_back({"piece" + std::to_string(i), 250});
        body += "piece" + std::to_string(i);
    }
    ScriptServer server(steps);
    WebRequest r = local_request(server.port(), "/", 1.0f);
    r.exec();
    Outcome o = drive(r, 10);
    ASSERT_TRUE(o.over);
    EXPECT_FALSE(r.has_error());
    EXPECT_EQ(body_of(r), body);
    EXPECT_GT(o.seconds, 2.0);
    EXPECT_LT(o.max_poll_ms, POLL_BOUND_MS) << "a poll never waits for the network";
}

TEST(WebHostile, SilentServerTimesOut) {
    ScriptServer server({}, ScriptServer::SILENT);
    WebRequest r = local_request(server.port(), "/", 1.0f);
    r.exec();
    testing::internal::CaptureStderr();
    Outcome o = drive(r, 10);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(o.over);
    EXPECT_TRUE(r.has_error());
    EXPECT_EQ(err, "timeout :: state = 3\n");
    // Idle for more than one whole second, measured in whole seconds.
    EXPECT_GE(o.seconds, 1.0);
    EXPECT_LT(o.seconds, 3.5);
    EXPECT_LT(o.max_poll_ms, POLL_BOUND_MS) << "a poll never waits for the network";
    EXPECT_GT(o.polls, 100);
}

TEST(WebHostile, FeedStopsAtTheCapAndAfterAnError) {
    Fed f;
    f.web->_max_response = 100;
    f.feed(std::string(60, 'a'));
    testing::internal::CaptureStderr();
    EXPECT_EQ(kv_web_feed(f.web, (const unsigned char*)std::string(41, 'a').data(), 41), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(f.web->error);
    EXPECT_EQ(f.web->_response.len, 60);
    EXPECT_EQ(kv_web_feed(f.web, (const unsigned char*)"a", 1), 0) << "nothing more after a failure";
    EXPECT_EQ(f.web->_response.len, 60);

    Fed exact;
    exact.web->_max_response = 100;
    exact.feed(std::string(60, 'a'));
    EXPECT_EQ(kv_web_feed(exact.web, (const unsigned char*)std::string(40, 'a').data(), 40), 1)
        << "a response of exactly the cap is whole";
}
