// Request parsing and routing of the reference service, free of sockets so
// that tests and the fuzzer drive it directly.
#include "server.h"

#include <arpa/inet.h>
#include <sys/time.h>

#include <cstring>

static int _server_hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string server_urldecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && _server_hex(text[i + 1]) >= 0 &&
                   _server_hex(text[i + 2]) >= 0) {
            out += (char)(_server_hex(text[i + 1]) * 16 + _server_hex(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool server_parse_pairs(const std::string& text, ServerPairs& out) {
    out.clear();
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('&', pos);
        if (end == std::string::npos) end = text.size();
        std::string piece = text.substr(pos, end - pos);
        if (!piece.empty() && piece[0] == '?') piece.erase(0, 1);
        if (!piece.empty()) {
            if (out.size() >= SERVER_PARAMS_MAX) return false;
            size_t eq = piece.find('=');
            if (eq == std::string::npos) {
                out.emplace_back(server_urldecode(piece), std::string());
            } else {
                out.emplace_back(server_urldecode(piece.substr(0, eq)), server_urldecode(piece.substr(eq + 1)));
            }
        }
        pos = end + 1;
    }
    return true;
}

std::string server_param(const ServerPairs& pairs, const char* key, bool* found) {
    for (const auto& p : pairs)
        if (p.first == key) {
            if (found) *found = true;
            return p.second;
        }
    if (found) *found = false;
    return std::string();
}

double server_now(Server& s) {
    if (s.clock) return s.clock();
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return (double)tv.tv_sec + tv.tv_usec / 1e6;
}

ServerReply server_refusal(const std::string& target, int status, const char* message) {
    bool api = target.compare(0, strlen(SERVER_SCRIPT), SERVER_SCRIPT) == 0 &&
               (target.size() == strlen(SERVER_SCRIPT) || target[strlen(SERVER_SCRIPT)] == '?');
    if (!api) return server_page_error(status, message);
    // The game shows the message on its error screen.
    ServerReply r;
    r.status = status;
    r.headers.emplace_back("X-Response", "ERR");
    r.headers.emplace_back("X-Error", message);
    r.body = std::string(message) + "\n";
    return r;
}

std::string server_client_address(const std::string& peer, const char* forwarded, const std::string& trusted) {
    if (trusted.empty() || peer != trusted || !forwarded) return peer;
    // Each proxy appends the address it was reached from: the last is the one
    // our proxy saw, the rest is whatever the client chose to send.
    std::string list = forwarded;
    size_t comma = list.rfind(',');
    std::string last = comma == std::string::npos ? list : list.substr(comma + 1);
    size_t a = last.find_first_not_of(" \t"), b = last.find_last_not_of(" \t");
    if (a == std::string::npos) return peer;
    last = last.substr(a, b - a + 1);
    unsigned char addr[sizeof(in6_addr)];
    if (inet_pton(AF_INET, last.c_str(), addr) != 1 && inet_pton(AF_INET6, last.c_str(), addr) != 1) return peer;
    return last;
}

ServerReply server_handle_begin(Server& s, ServerStore& st, const std::string& method, const std::string& target,
                                const std::string& body, const std::string& peer) {
    bool post = method == "POST";
    size_t q = target.find('?');
    std::string path = target.substr(0, q);
    std::string query = q == std::string::npos ? std::string() : target.substr(q + 1);
    if (method != "GET" && !post) {
        ServerReply r = server_refusal(target, 405, "This request method is not served.");
        r.headers.emplace_back("Allow", "GET, POST");
        return r;
    }
    bool api = path == SERVER_SCRIPT;
    if (target.size() > SERVER_TARGET_MAX)
        return server_refusal(target, 414, api ? "The request is too long." : "The address is too long.");
    if (body.size() > SERVER_BODY_MAX)
        return server_refusal(target, 413, api ? "The request is too large." : "The form is too large.");
    ServerPairs qp, form;
    if (!server_parse_pairs(query, qp) || (post && !server_parse_pairs(body, form)))
        return server_refusal(target, 400, "The request has too many parameters.");
    if (!st.ok) return server_refusal(target, 503, "The service is not available.");
    if (api) return server_api(s, st, qp, form, post, peer);
    if (path == "/velquist/stats.php") return server_page_stats(s, st, qp);
    if (path == "/velquist/manage.php") return server_page_manage(s, st, qp, form, post, peer);
    if (path == "/velquist/download.php" || path == "/" || path == "/velquist/" || path == "/velquist")
        return server_page_download();
    return server_page_error(404, "There is no such page.");
}

ServerReply server_handle(Server& s, ServerStore& st, const std::string& method, const std::string& target,
                          const std::string& body, const std::string& peer) {
    ServerReply r = server_handle_begin(s, st, method, target, body, peer);
    if (!r.check) return r;
    ServerCheckPtr check = r.check;
    server_check_run_here(*check);
    return server_check_answer(s, st, *check);
}

ServerReply server_handle(Server& s, const std::string& method, const std::string& target,
                          const std::string& body, const std::string& peer) {
    std::lock_guard<std::mutex> hold(s.lock);
    return server_handle(s, s.store, method, target, body, peer);
}
