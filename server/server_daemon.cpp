// The service on the network: libmicrohttpd's thread reads requests and
// writes answers, and a pool of workers answers them, each on its own
// connection to the store, so that a slow answer holds up no one else. A
// request must arrive whole within a deadline, and one address may hold only
// a few connections, so that slow or many clients cannot take every slot.
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <set>
#include <thread>
#include <unordered_map>

enum {
    DAEMON_IDLE_S = 30,            // seconds without a byte before a connection is dropped
    DAEMON_BACKLOG = 512,
    DAEMON_ADDRESS_SIZE = 64,
    DAEMON_REAP_MS = 100,          // how often connections past their deadline are looked for
    DAEMON_DRAIN_MS = 2000,        // how long a stop waits for answers on their way out
    DAEMON_CHECKPOINT_MS = 1000,   // how often the write-ahead log is copied into the store
    DAEMON_PRUNE_MS = 60000,       // how often buckets kept in the store are looked through
    DAEMON_RETRY_S = 5,            // when a share refused for a full queue may come again
};

namespace {

// One connection, from its accept to its close.
struct DaemonConn {
    int fd = -1;
    std::string address;              // the peer's own address
    std::atomic<double> start{0};     // when the request being read began
    std::atomic<bool> reading{true};  // false while a request is answered
};

// One request on its way through the library and a worker.
struct DaemonRequest {
    MHD_Connection* con = nullptr;
    DaemonConn* conn = nullptr;
    std::string method, target, peer;
    std::string body;
    size_t received = 0;  // body bytes seen, kept or not
    bool started = false;
    ServerReply reply;
    ServerCheckPtr check;  // its costly check, on its way through the checking threads
    std::atomic<bool> done{false};
    bool suspended = false;
};

double daemon_clock() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string daemon_address(const sockaddr* sa) {
    char text[DAEMON_ADDRESS_SIZE] = "?";
    if (sa && sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &((const sockaddr_in*)sa)->sin_addr, text, sizeof(text));
    else if (sa && sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &((const sockaddr_in6*)sa)->sin6_addr, text, sizeof(text));
    return text;
}

}  // namespace

struct ServerDaemon {
    MHD_Daemon* mhd = nullptr;
    Server* server = nullptr;
    int port = 0;
    // Workers and what they wait for.
    std::vector<std::thread> workers;
    std::deque<DaemonRequest*> queue;
    std::mutex queue_lock;
    std::condition_variable queue_wait;
    bool stopping = false;
    std::atomic<int> suspended{0};
    // Connections: per address, and all of them for the deadline.
    std::mutex conns_lock;
    std::set<DaemonConn*> conns;
    std::unordered_map<std::string, int> per_address;
    std::thread reaper;
    std::atomic<bool> reaper_stop{false};
    ServerStore checkpoints;  // the reaper's own connection, for the log's copying
};

namespace {

// The library's own lines, but for the one it writes for every client that
// leaves halfway: a crowd of those would bury everything else.
void daemon_log(void* /*cls*/, const char* fmt, va_list ap) {
    if (strncmp(fmt, "Connection ", 11) == 0) return;
    vfprintf(stderr, fmt, ap);
}

MHD_Result daemon_accept(void* cls, const sockaddr* addr, socklen_t /*len*/) {
    ServerDaemon* d = (ServerDaemon*)cls;
    std::string a = daemon_address(addr);
    // The proxy carries everyone's connections; it keeps its own limits.
    if (a == d->server->trusted_proxy) return MHD_YES;
    std::lock_guard<std::mutex> hold(d->conns_lock);
    auto it = d->per_address.find(a);
    return it != d->per_address.end() && it->second >= d->server->per_address ? MHD_NO : MHD_YES;
}

void daemon_notify(void* cls, MHD_Connection* con, void** socket_context, MHD_ConnectionNotificationCode code) {
    ServerDaemon* d = (ServerDaemon*)cls;
    std::lock_guard<std::mutex> hold(d->conns_lock);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        DaemonConn* c = new DaemonConn();
        const MHD_ConnectionInfo* fd = MHD_get_connection_info(con, MHD_CONNECTION_INFO_CONNECTION_FD);
        const MHD_ConnectionInfo* peer = MHD_get_connection_info(con, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        c->fd = fd ? fd->connect_fd : -1;
        c->address = daemon_address(peer ? peer->client_addr : nullptr);
        c->start = daemon_clock();
        d->conns.insert(c);
        d->per_address[c->address]++;
        *socket_context = c;
        return;
    }
    DaemonConn* c = (DaemonConn*)*socket_context;
    if (!c) return;
    d->conns.erase(c);
    auto it = d->per_address.find(c->address);
    if (it != d->per_address.end() && --it->second <= 0) d->per_address.erase(it);
    delete c;
    *socket_context = nullptr;
}

// Closes the connections whose request has not arrived whole in time. The
// socket is shut down, not closed: the library notices and closes it itself.
void daemon_reap(ServerDaemon* d) {
    double checkpoint = daemon_clock(), prune = checkpoint;
    while (!d->reaper_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(DAEMON_REAP_MS));
        double now = daemon_clock();
        if (now - checkpoint > DAEMON_CHECKPOINT_MS / 1000.0) {
            d->checkpoints.db.checkpoint();
            checkpoint = now;
        }
        if (now - prune > DAEMON_PRUNE_MS / 1000.0) {
            server_limits_prune(*d->server, d->checkpoints);
            prune = now;
        }
        std::lock_guard<std::mutex> hold(d->conns_lock);
        for (DaemonConn* c : d->conns)
            if (c->reading && c->fd >= 0 && now - c->start > d->server->deadline) {
                shutdown(c->fd, SHUT_RDWR);
                c->fd = -1;
            }
    }
}

void* daemon_uri(void* cls, const char* uri, MHD_Connection* con) {
    DaemonRequest* req = new DaemonRequest();
    req->target = uri ? uri : "";
    req->con = con;
    const MHD_ConnectionInfo* info = MHD_get_connection_info(con, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    req->conn = info ? (DaemonConn*)info->socket_context : nullptr;
    (void)cls;
    return req;
}

void daemon_completed(void* /*cls*/, MHD_Connection* /*con*/, void** con_cls, MHD_RequestTerminationCode /*why*/) {
    DaemonRequest* req = (DaemonRequest*)*con_cls;
    if (req && req->conn) {
        // The next request on this connection has a deadline of its own.
        req->conn->start = daemon_clock();
        req->conn->reading = true;
    }
    delete req;
    *con_cls = nullptr;
}

MHD_Result daemon_send(MHD_Connection* con, const ServerReply& reply) {
    MHD_Response* resp =
        MHD_create_response_from_buffer(reply.body.size(), (void*)reply.body.data(), MHD_RESPMEM_MUST_COPY);
    if (!resp) return MHD_NO;
    MHD_add_response_header(resp, "Content-Type", reply.type.c_str());
    for (const auto& h : reply.headers) {
        // The library refuses values with line breaks; the handler never makes them.
        if (MHD_add_response_header(resp, h.first.c_str(), h.second.c_str()) != MHD_YES)
            fprintf(stderr, "server: header %s not sent\n", h.first.c_str());
    }
    MHD_Result rc = MHD_queue_response(con, (unsigned)reply.status, resp);
    MHD_destroy_response(resp);
    return rc;
}

// What the head says about the body and the client.
struct DaemonHead {
    std::string length, forwarded;
    bool lengths_differ = false;
    bool chunked = false;
};

MHD_Result daemon_head_value(void* cls, MHD_ValueKind /*kind*/, const char* key, const char* value) {
    DaemonHead* h = (DaemonHead*)cls;
    if (!key || !value) return MHD_YES;
    if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0) {
        if (!h->length.empty() && h->length != value) h->lengths_differ = true;
        h->length = value;
    } else if (strcasecmp(key, MHD_HTTP_HEADER_TRANSFER_ENCODING) == 0) {
        h->chunked = true;
    } else if (strcasecmp(key, "X-Forwarded-For") == 0) {
        h->forwarded = value;  // the last line is the one our proxy wrote
    }
    return MHD_YES;
}

// Called on a checking thread: the request goes back to the workers for its
// answer, ahead of those not yet begun.
void daemon_checked(ServerDaemon* d, DaemonRequest* req) {
    {
        std::lock_guard<std::mutex> hold(d->queue_lock);
        d->queue.push_front(req);
    }
    d->queue_wait.notify_one();
}

// Makes req's reply on st: false when it waits for a check, which the
// checking threads hand back to the workers once it has run. A worker never
// runs a check itself, so lists, sign-ins and plays never wait for one.
bool daemon_answer(ServerDaemon* d, ServerStore& st, DaemonRequest* req) {
    Server& s = *d->server;
    if (req->check) {
        ServerCheckPtr c = std::move(req->check);
        req->reply = server_check_answer(s, st, *c);
        return true;
    }
    req->reply = server_handle_begin(s, st, req->method, req->target, req->body, req->peer);
    if (!req->reply.check) return true;
    ServerCheckPtr c = std::move(req->reply.check);
    c->done = [d, req](ServerCheckPtr) { daemon_checked(d, req); };
    req->check = c;  // before the checking threads can see it
    std::string why;
    int refused = server_check_submit(s, c, why);
    if (!refused) return false;
    req->check.reset();
    server_check_settle(s, st, *c);
    req->reply = server_refusal(req->target, refused, why.c_str());
    req->reply.headers.emplace_back("Retry-After", std::to_string((int)DAEMON_RETRY_S));
    return true;
}

void daemon_work(ServerDaemon* d, ServerStore* st) {
    for (;;) {
        DaemonRequest* req = nullptr;
        {
            std::unique_lock<std::mutex> hold(d->queue_lock);
            d->queue_wait.wait(hold, [d] { return d->stopping || !d->queue.empty(); });
            if (d->queue.empty()) break;  // stopping, and nothing left to answer
            req = d->queue.front();
            d->queue.pop_front();
        }
        if (!daemon_answer(d, *st, req)) continue;  // its check is on its way
        req->done = true;
        MHD_resume_connection(req->con);
    }
    delete st;
}

MHD_Result daemon_access(void* cls, MHD_Connection* con, const char* /*url*/, const char* method,
                         const char* /*version*/, const char* upload_data, size_t* upload_size, void** con_cls) {
    ServerDaemon* d = (ServerDaemon*)cls;
    DaemonRequest* req = (DaemonRequest*)*con_cls;
    if (!req) return MHD_NO;
    if (!req->started) {
        req->started = true;
        req->method = method ? method : "";
        DaemonHead head;
        MHD_get_connection_values(con, MHD_HEADER_KIND, &daemon_head_value, &head);
        // Two lengths that disagree: a proxy and this service could read two different requests.
        if (head.lengths_differ || (head.chunked && !head.length.empty()))
            return daemon_send(con, server_refusal(req->target, 400, "The request has two different lengths."));
        // Far too large to be worth reading: drop it now.
        if (!head.length.empty() && strtoull(head.length.c_str(), nullptr, 10) > (unsigned long long)SERVER_BODY_DRAIN)
            return MHD_NO;
        std::string peer = req->conn ? req->conn->address : "?";
        req->peer = server_client_address(peer, head.forwarded.empty() ? nullptr : head.forwarded.c_str(),
                                          d->server->trusted_proxy);
        return MHD_YES;
    }
    if (*upload_size) {
        req->received += *upload_size;
        if (req->received > SERVER_BODY_DRAIN) return MHD_NO;
        // Past the cap the rest is read and dropped, so that the sender still
        // gets the refusal rather than a broken connection.
        if (req->body.size() + *upload_size <= SERVER_BODY_MAX) req->body.append(upload_data, *upload_size);
        *upload_size = 0;
        return MHD_YES;
    }
    if (req->done) {
        if (req->suspended) {
            req->suspended = false;
            d->suspended--;
        }
        return daemon_send(con, req->reply);
    }
    if (req->received > SERVER_BODY_MAX) req->body = std::string(SERVER_BODY_MAX + 1, '\0');
    if (req->conn) req->conn->reading = false;
    // Suspended before a worker can see it, so that its resume always finds it suspended.
    std::unique_lock<std::mutex> hold(d->queue_lock);
    if (d->stopping) {
        hold.unlock();
        return daemon_send(con, server_refusal(req->target, 503, "The service is stopping; try again."));
    }
    MHD_suspend_connection(con);
    req->suspended = true;
    d->suspended++;
    d->queue.push_back(req);
    hold.unlock();
    d->queue_wait.notify_one();
    return MHD_YES;
}

// The listening socket, made here so that a port in use is refused with a
// clear word rather than shared with whatever holds it.
int daemon_listen(const char* addr, int port, int* bound) {
    sockaddr_in sa;
    memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_port = htons((uint16_t)port);
    if (port < 0 || port > 65535 || inet_pton(AF_INET, addr, &sa.sin_addr) != 1) {
        fprintf(stderr, "server: cannot listen on %s:%d (an IPv4 address and a port are needed)\n", addr, port);
        return -1;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int on = 1;
    // SO_REUSEADDR only lets a restart take over a port whose old connections
    // linger; a port that another program listens on stays refused.
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0) {
        fprintf(stderr, "server: cannot make a socket: %s\n", strerror(errno));
        if (fd >= 0) close(fd);
        return -1;
    }
    if (bind(fd, (const sockaddr*)&sa, sizeof(sa)) != 0 || listen(fd, DAEMON_BACKLOG) != 0) {
        int e = errno;
        if (e == EADDRINUSE)
            fprintf(stderr, "server: port %d on %s is already in use (is another velquist-server running?)\n",
                    port, addr);
        else
            fprintf(stderr, "server: cannot listen on %s:%d: %s\n", addr, port, strerror(e));
        close(fd);
        return -1;
    }
    socklen_t len = sizeof(sa);
    getsockname(fd, (sockaddr*)&sa, &len);
    *bound = ntohs(sa.sin_port);
    return fd;
}

}  // namespace

ServerDaemon* server_daemon_start(Server& s, const char* addr, int port) {
    ServerDaemon* d = new ServerDaemon();
    d->server = &s;
    int workers = s.workers < 1 ? 1 : s.workers;
    // Every worker's connection is opened before anything is served, so that a
    // store that cannot be reached is said at once.
    std::vector<ServerStore*> stores;
    for (int i = 0; i < workers; i++) {
        stores.push_back(new ServerStore());
        if (!server_store_open(*stores.back(), s.store.where)) {
            for (ServerStore* st : stores) delete st;
            delete d;
            return nullptr;
        }
        stores.back()->db.commits_checkpoint(false);
    }
    if (!server_store_open(d->checkpoints, s.store.where)) {
        for (ServerStore* st : stores) delete st;
        delete d;
        return nullptr;
    }
    int fd = daemon_listen(addr, port, &d->port);
    if (fd < 0) {
        for (ServerStore* st : stores) delete st;
        delete d;
        return nullptr;
    }
    for (ServerStore* st : stores) d->workers.emplace_back(daemon_work, d, st);
    server_checks_start(s);
    d->mhd = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0, &daemon_accept, d,
        &daemon_access, d, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_URI_LOG_CALLBACK, &daemon_uri, d,
        MHD_OPTION_NOTIFY_COMPLETED, &daemon_completed, d, MHD_OPTION_NOTIFY_CONNECTION, &daemon_notify, d,
        MHD_OPTION_EXTERNAL_LOGGER, &daemon_log, d, MHD_OPTION_CONNECTION_TIMEOUT, (unsigned)DAEMON_IDLE_S,
        MHD_OPTION_CONNECTION_LIMIT,
        (unsigned)SERVER_CONNECTIONS_MAX, MHD_OPTION_END);
    if (!d->mhd) {
        fprintf(stderr, "server: cannot serve on %s:%d\n", addr, d->port);
        close(fd);
        server_daemon_stop(d);
        return nullptr;
    }
    d->reaper = std::thread(daemon_reap, d);
    return d;
}

int server_daemon_port(ServerDaemon* d) { return d ? d->port : -1; }

void server_daemon_stop(ServerDaemon* d) {
    if (!d) return;
    // Checks first: those still waiting come back to the workers, unrun, to be answered.
    if (!d->workers.empty()) server_checks_stop(*d->server);
    {
        std::lock_guard<std::mutex> hold(d->queue_lock);
        d->stopping = true;
    }
    d->queue_wait.notify_all();
    for (std::thread& t : d->workers) t.join();
    // Answers resumed by the workers leave through the library's thread.
    double until = daemon_clock() + DAEMON_DRAIN_MS / 1000.0;
    while (d->mhd && d->suspended > 0 && daemon_clock() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    d->reaper_stop = true;
    if (d->reaper.joinable()) d->reaper.join();
    if (d->mhd) MHD_stop_daemon(d->mhd);
    for (DaemonConn* c : d->conns) delete c;
    delete d;
}
