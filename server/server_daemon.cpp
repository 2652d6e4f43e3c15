// The service on the network: libmicrohttpd carries each request to
// server_handle and its reply back, with the body size capped on the way in.
#include "server.h"

#include <arpa/inet.h>
#include <microhttpd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

enum {
    DAEMON_TIMEOUT_S = 30,        // idle seconds before a connection is dropped
    DAEMON_CONNECTIONS_MAX = 256,
    DAEMON_PER_ADDRESS_MAX = 32,  // connections one address may hold at once
    DAEMON_ADDRESS_SIZE = 64,
};

struct ServerDaemon {
    MHD_Daemon* mhd = nullptr;
    Server* server = nullptr;
};

namespace {

// One request on its way through the library.
struct DaemonRequest {
    std::string target;   // path and query exactly as sent
    std::string body;
    size_t received = 0;  // body bytes seen, kept or not
    bool started = false;
};

void* daemon_uri(void* /*cls*/, const char* uri, MHD_Connection* /*con*/) {
    DaemonRequest* req = new DaemonRequest();
    req->target = uri ? uri : "";
    return req;
}

void daemon_completed(void* /*cls*/, MHD_Connection* /*con*/, void** con_cls, MHD_RequestTerminationCode /*why*/) {
    delete (DaemonRequest*)*con_cls;
    *con_cls = nullptr;
}

std::string daemon_peer(MHD_Connection* con) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(con, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char text[DAEMON_ADDRESS_SIZE] = "?";
    if (info && info->client_addr) {
        const sockaddr* sa = info->client_addr;
        if (sa->sa_family == AF_INET)
            inet_ntop(AF_INET, &((const sockaddr_in*)sa)->sin_addr, text, sizeof(text));
        else if (sa->sa_family == AF_INET6)
            inet_ntop(AF_INET6, &((const sockaddr_in6*)sa)->sin6_addr, text, sizeof(text));
    }
    return text;
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

MHD_Result daemon_access(void* cls, MHD_Connection* con, const char* /*url*/, const char* method,
                         const char* /*version*/, const char* upload_data, size_t* upload_size, void** con_cls) {
    ServerDaemon* d = (ServerDaemon*)cls;
    DaemonRequest* req = (DaemonRequest*)*con_cls;
    if (!req) return MHD_NO;
    if (!req->started) {
        req->started = true;
        const char* length = MHD_lookup_connection_value(con, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        // Far too large to be worth reading: drop it now.
        if (length && strtoull(length, nullptr, 10) > (unsigned long long)SERVER_BODY_DRAIN) return MHD_NO;
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
    std::string body = req->received > SERVER_BODY_MAX ? std::string(SERVER_BODY_MAX + 1, '\0') : req->body;
    ServerReply reply = server_handle(*d->server, method ? method : "", req->target, body, daemon_peer(con));
    return daemon_send(con, reply);
}

}  // namespace

ServerDaemon* server_daemon_start(Server& s, const char* addr, int port) {
    sockaddr_in sa;
    memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_port = htons((uint16_t)port);
    if (port < 0 || port > 65535 || inet_pton(AF_INET, addr, &sa.sin_addr) != 1) {
        fprintf(stderr, "server: cannot listen on %s:%d (an IPv4 address and a port are needed)\n", addr, port);
        return nullptr;
    }
    ServerDaemon* d = new ServerDaemon();
    d->server = &s;
    d->mhd = MHD_start_daemon(
        MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_ERROR_LOG, (uint16_t)port, nullptr, nullptr, &daemon_access, d,
        MHD_OPTION_SOCK_ADDR, (const sockaddr*)&sa, MHD_OPTION_URI_LOG_CALLBACK, &daemon_uri, nullptr,
        MHD_OPTION_NOTIFY_COMPLETED, &daemon_completed, nullptr, MHD_OPTION_CONNECTION_TIMEOUT,
        (unsigned)DAEMON_TIMEOUT_S, MHD_OPTION_CONNECTION_LIMIT, (unsigned)DAEMON_CONNECTIONS_MAX,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, (unsigned)DAEMON_PER_ADDRESS_MAX, MHD_OPTION_LISTENING_ADDRESS_REUSE,
        (unsigned)1, MHD_OPTION_END);
    if (!d->mhd) {
        fprintf(stderr, "server: cannot listen on %s:%d\n", addr, port);
        delete d;
        return nullptr;
    }
    return d;
}

int server_daemon_port(ServerDaemon* d) {
    const MHD_DaemonInfo* info = d ? MHD_get_daemon_info(d->mhd, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    return info ? info->port : -1;
}

void server_daemon_stop(ServerDaemon* d) {
    if (!d) return;
    MHD_stop_daemon(d->mhd);
    delete d;
}
