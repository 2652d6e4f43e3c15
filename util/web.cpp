// The HTTP/1.0 client: builds a request, then sends it and collects the
// answer one non-blocking step per poll so that the main loop never waits.
//
// Sections: buffers and clock, building a request, connecting and polling,
// the receive side (feed, head, headers), percent-encoding, WebRequest.
#include "web.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

enum {
    KV_WEB_PORT_MAX = 65535,
    // A WebRequest time-out above this is taken as this; it keeps the float
    // to int conversion defined for any value a caller may set.
    KV_WEB_TIMEOUT_MAX = 24 * 60 * 60,
    KV_WEB_NUMBER_SIZE = 24,  // holds any Content-Length up to the cap, with room to spare
};

static const char KV_WEB_HEX[] = "0123456789abcdef";

static int _kv_web_ready = 0;

int kv_web_init() {
    _kv_web_ready = 1;
    return 0;
}

void kv_web_deinit() {}

// ---- Buffers and clock -------------------------------------------------

int kv_web_extend(kv_web_buffer* buf, int n) {
    if (n <= 0) return 1;
    if (buf->len > INT_MAX - n) {
        fprintf(stderr, "kv_web_extend: %d + %d bytes is more than a buffer holds\n", buf->len, n);
        return 0;
    }
    long long need = (long long)buf->len + n;
    long long cap = buf->alloc > 0 ? buf->alloc : 1;
    while (cap < need) cap *= 2;
    if (cap > INT_MAX) cap = INT_MAX;
    if (cap == buf->alloc) return 1;
    unsigned char* grown = (unsigned char*)realloc(buf->data, (size_t)cap);
    if (!grown) {
        fprintf(stderr, "kv_web_extend: out of memory for %lld bytes\n", cap);
        return 0;
    }
    memset(grown + buf->alloc, 0, (size_t)(cap - buf->alloc));
    buf->data = grown;
    buf->alloc = (int)cap;
    return 1;
}

// A monotonic clock: the time-out measures idleness, which a change of the
// system clock must neither cut short nor stretch.
long kv_web_get_ticks() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long)now.tv_sec;
}

void kv_web_reset_timeout(kv_web* web) { web->timeout = kv_web_get_ticks() + web->_timeout; }

// ---- Building a request ------------------------------------------------

// Copies a host name or path into its fixed field; one that does not fit, or
// that would break the request's lines, fails the exchange instead.
static int _kv_web_store(char* field, size_t size, const char* text, const char* what) {
    size_t n = strlen(text);
    if (n >= size) {
        fprintf(stderr, "kv_web_create: %s of %zu bytes is longer than %zu\n", what, n, size - 1);
        return 0;
    }
    if (strpbrk(text, "\r\n")) {
        fprintf(stderr, "kv_web_create: %s holds a line break\n", what);
        return 0;
    }
    memcpy(field, text, n + 1);
    return 1;
}

static int _kv_web_format_head(const kv_web* web, char* out, size_t size, int body_len) {
    if (body_len > 0) {
        return snprintf(out, size,
                         "POST %s HTTP/1.0\nHost: %s:%d\n"
                         "Content-Type: application/x-www-form-urlencoded\n"
                         "Content-Length: %d\n\n",
                         web->path, web->host, web->port, body_len);
    }
    return snprintf(out, size, "GET %s HTTP/1.0\nHost: %s:%d\n\n", web->path, web->host, web->port);
}

static int _kv_web_build_request(kv_web* web, const char* body, int body_len) {
    kv_web_buffer* req = &web->_request;
    if (!kv_web_extend(req, KV_WEB_HEAD_ALLOC)) return 0;
    int head = _kv_web_format_head(web, nullptr, 0, body_len);
    // One more byte for the terminator that snprintf writes.
    if (head < 0 || !kv_web_extend(req, head + 1)) return 0;
    _kv_web_format_head(web, (char*)req->data, (size_t)req->alloc, body_len);
    req->len = head;
    if (body_len > 0) {
        if (!kv_web_extend(req, body_len)) return 0;
        memcpy(req->data + req->len, body, (size_t)body_len);
        req->len += body_len;
    }
    return 1;
}

// Looks the host up (this may block) and opens the non-blocking socket.
static void _kv_web_open(kv_web* web) {
    struct hostent* he = gethostbyname(web->host);
    if (!he || he->h_addrtype != AF_INET || he->h_length != (int)sizeof(web->their_addr.sin_addr) ||
        !he->h_addr_list[0]) {
        herror("gethostbyname");
        fprintf(stderr, "gethostbyname(%s) == null; h_errno = %d\n", web->host, h_errno);
        web->error = 1;
        return;
    }
    web->their_addr.sin_family = AF_INET;
    web->their_addr.sin_port = htons((uint16_t)web->port);
    memcpy(&web->their_addr.sin_addr, he->h_addr_list[0], sizeof(web->their_addr.sin_addr));

    // Close-on-exec: the browser that the game starts must not inherit it.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd == -1) {
        perror("socket");
        fprintf(stderr, "socket() == -1\n");
        web->error = 1;
        return;
    }
    if (fd >= FD_SETSIZE) {
        fprintf(stderr, "socket() == %d, past the %d descriptors select can watch\n", fd, FD_SETSIZE);
        close(fd);
        web->error = 1;
        return;
    }
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags == -1 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) == -1) {
        perror("fcntl");
        close(fd);
        web->error = 1;
        return;
    }
    web->sockfd = fd;
    web->state = KV_WEB_READY;
}

kv_web* kv_web_create(const char* host, int port, const char* path, const char* body,
                      int body_len, int timeout) {
    kv_web* web = (kv_web*)calloc(1, sizeof(kv_web));
    if (!web) {
        fprintf(stderr, "kv_web_create: out of memory\n");
        return nullptr;
    }
    assert((body || body_len <= 0) && "a body length needs its bytes");
    web->port = port;
    web->_timeout = timeout > 0 ? timeout : 0;
    web->_max_response = KV_WEB_MAX_RESPONSE;
    web->sockfd = -1;
    kv_web_reset_timeout(web);
    if (!_kv_web_store(web->host, sizeof(web->host), host ? host : "", "host name") ||
        !_kv_web_store(web->path, sizeof(web->path), path ? path : "", "path")) {
        web->error = 1;
        return web;
    }
    if (port <= 0 || port > KV_WEB_PORT_MAX || body_len < 0 || (body_len > 0 && !body)) {
        fprintf(stderr, "kv_web_create: bad port %d or body length %d\n", port, body_len);
        web->error = 1;
        return web;
    }
    if (!_kv_web_build_request(web, body, body_len)) {
        web->error = 1;
        return web;
    }
    _kv_web_open(web);
    return web;
}

void kv_web_destroy(kv_web* web) {
    if (!web) return;
    if (web->sockfd >= 0) close(web->sockfd);
    free(web->_request.data);
    free(web->_response.data);
    free(web);
}

// ---- Connecting and polling --------------------------------------------

// A call interrupted or a socket not ready after all is simply tried again
// on the next tick.
static int _kv_web_retry(int err) { return err == EAGAIN || err == EWOULDBLOCK || err == EINTR; }

static int _kv_web_connect(kv_web* web) {
    if (connect(web->sockfd, (struct sockaddr*)&web->their_addr, sizeof(web->their_addr)) != 0 &&
        errno != EINPROGRESS) {
        int err = errno;
        fprintf(stderr, "connect: %d\n", err);
        errno = err;
        perror("connect");
        web->error = 1;
        return 0;
    }
    web->state = KV_WEB_SENDING;
    kv_web_reset_timeout(web);
    return 1;
}

static int _kv_web_send(kv_web* web) {
    kv_web_buffer* req = &web->_request;
    // No SIGPIPE: a peer that hung up must fail the exchange, not end the game.
    ssize_t sent = send(web->sockfd, req->data + req->pos, (size_t)(req->len - req->pos), MSG_NOSIGNAL);
    if (sent < 0) {
        if (_kv_web_retry(errno)) return 0;
        fprintf(stderr, "web: the request could not be sent: %s\n", strerror(errno));
        web->error = 1;
        return 1;
    }
    if (sent > 0) {
        req->pos += (int)sent;
        kv_web_reset_timeout(web);
    }
    if (req->pos >= req->len) web->state = KV_WEB_RECEIVING;
    return 0;
}

static int _kv_web_recv(kv_web* web) {
    unsigned char chunk[KV_WEB_CHUNK];
    ssize_t got = recv(web->sockfd, chunk, sizeof(chunk), 0);
    if (got < 0) {
        if (_kv_web_retry(errno)) return 0;
        perror("recv");
        web->error = 1;
        return 1;
    }
    if (got == 0) {
        kv_web_end(web);
        return 1;
    }
    kv_web_reset_timeout(web);
    return kv_web_feed(web, chunk, (int)got) ? 0 : 1;
}

int kv_web_poll(kv_web* web) {
    if (!web) return 1;
    if (web->state == KV_WEB_FINISHED || web->error) return 1;
    if (web->state == KV_WEB_NOT_STARTED || web->sockfd < 0) {
        fprintf(stderr, "kv_web_poll: no connection to poll\n");
        web->error = 1;
        return 1;
    }
    if (kv_web_get_ticks() > web->timeout) {
        fprintf(stderr, "timeout :: state = %d\n", web->state);
        web->error = 1;
        return 1;
    }
    if (web->state == KV_WEB_READY && !_kv_web_connect(web)) return 1;

    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(web->sockfd, &readable);
    FD_SET(web->sockfd, &writable);
    FD_SET(web->sockfd, &failed);
    struct timeval no_wait = {0, 0};
    int ready = select(web->sockfd + 1, &readable, &writable, &failed, &no_wait);
    if (ready == -1) {
        if (errno == EINTR) return 0;
        perror("select");
        fprintf(stderr, "error in select\n");
        web->error = 1;
        return 1;
    }
    if (ready == 0) return 0;
    if (web->state == KV_WEB_SENDING && FD_ISSET(web->sockfd, &writable)) return _kv_web_send(web);
    if (web->state == KV_WEB_RECEIVING && FD_ISSET(web->sockfd, &readable)) return _kv_web_recv(web);
    return 0;
}

// ---- The receive side --------------------------------------------------

// Carries the search for the blank line on from byte `from`: CRs are
// skipped, and the head ends at an LF that directly follows another LF.
static void _kv_web_find_head(kv_web* web, int from) {
    const unsigned char* bytes = web->_response.data;
    int end = web->_response.len;
    for (int i = from; i < end; i++) {
        if (bytes[i] == '\r') continue;
        if (bytes[i] != '\n') {
            web->_after_lf = 0;
        } else if (!web->_after_lf) {
            web->_after_lf = 1;
        } else {
            web->_head_found = 1;
            web->header = i + 1;
            return;
        }
    }
    web->header = end;
}

int kv_web_feed(kv_web* web, const unsigned char* bytes, int n) {
    if (web->error) return 0;
    if (n <= 0) return 1;
    kv_web_buffer* res = &web->_response;
    int cap = web->_max_response > 0 ? web->_max_response : KV_WEB_MAX_RESPONSE;
    if (n > cap - res->len) {
        fprintf(stderr, "kv_web: response from %s is larger than %d bytes; giving up\n", web->host, cap);
        web->error = 1;
        return 0;
    }
    if (!kv_web_extend(res, n)) {
        web->error = 1;
        return 0;
    }
    int from = res->len;
    memcpy(res->data + from, bytes, (size_t)n);
    res->len += n;
    if (!web->_head_found) _kv_web_find_head(web, from);
    web->data = res->data + web->header;
    web->len = res->len - web->header;
    return 1;
}

void kv_web_end(kv_web* web) {
    web->state = KV_WEB_FINISHED;
    if (web->error || !web->_head_found) return;
    char value[KV_WEB_NUMBER_SIZE];
    kv_web_get_header(web, value, sizeof(value), "Content-Length");
    if (!value[0] || strspn(value, "0123456789") != strlen(value)) return;
    // Too many digits saturate, and a cut-off value is still past the cap.
    long long announced = strtoll(value, nullptr, 10);
    if (web->len < announced) {
        fprintf(stderr, "kv_web: response from %s cut short: %d of %s bytes\n", web->host, web->len, value);
        web->error = 1;
    }
}

void kv_web_get_header(kv_web* web, char* out, int size, const char* name) {
    if (!out || size <= 0) return;
    memset(out, 0, (size_t)size);
    if (!web || !name || !web->_response.data) return;
    const char* head = (const char*)web->_response.data;
    int end = web->header;
    if (end > web->_response.len) end = web->_response.len;
    size_t name_len = strlen(name);
    for (int line = 0; line < end;) {
        int eol = line;
        while (eol < end && head[eol] != '\n') eol++;
        if ((size_t)(eol - line) > name_len && memcmp(head + line, name, name_len) == 0 &&
            head[line + (int)name_len] == ':') {
            int i = line + (int)name_len + 1;
            while (i < eol && head[i] == ' ') i++;
            for (int n = 0; i < eol && head[i] != '\r' && n < size - 1; i++) out[n++] = head[i];
            return;
        }
        line = eol + 1;
    }
}

// ---- Percent-encoding --------------------------------------------------

static int _kv_web_kept(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

int kv_web_urlencode_len(const char* in, int in_len) {
    long long n = 1;
    for (int i = 0; in && i < in_len; i++) n += _kv_web_kept((unsigned char)in[i]) ? 1 : 3;
    return n > INT_MAX ? INT_MAX : (int)n;
}

void kv_web_urlencode(char* out, int out_size, const char* in, int in_len) {
    if (!out || out_size <= 0) return;
    memset(out, 0, (size_t)out_size);
    int pos = 0;
    for (int i = 0; in && i < in_len; i++) {
        unsigned char c = (unsigned char)in[i];
        if (_kv_web_kept(c)) {
            if (out_size - pos < 2) return;
            out[pos++] = (char)c;
        } else {
            if (out_size - pos < 4) return;
            out[pos++] = '%';
            out[pos++] = KV_WEB_HEX[c >> 4];
            out[pos++] = KV_WEB_HEX[c & 15];
        }
    }
}

std::string web_urlencode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (_kv_web_kept(c)) {
            out += (char)c;
        } else {
            out += '%';
            out += KV_WEB_HEX[c >> 4];
            out += KV_WEB_HEX[c & 15];
        }
    }
    return out;
}

// ---- WebRequest --------------------------------------------------------

WebRequest& WebRequest::operator=(const WebRequest& o) {
    if (this == &o) return *this;
    close();
    host = o.host;
    port = o.port;
    request = o.request;
    post = o.post;
    timeout = o.timeout;
    return *this;
}

WebRequest::~WebRequest() { close(); }

void WebRequest::exec() {
    if (page) return;
    int seconds = 0;
    if (timeout >= (float)KV_WEB_TIMEOUT_MAX) {
        seconds = KV_WEB_TIMEOUT_MAX;
    } else if (timeout > 0) {
        seconds = (int)timeout;
    }
    // A body too long for the record's int length is refused (-1), not cut.
    int body_len = post.size() > (size_t)INT_MAX ? -1 : (int)post.size();
    page = kv_web_create(host.c_str(), port, request.c_str(), post.data(), body_len, seconds);
}

bool WebRequest::poll() { return page && kv_web_poll(page); }

bool WebRequest::has_error() { return !page || page->error; }

const unsigned char* WebRequest::get_response(int* len) {
    if (len) *len = page ? page->len : 0;
    return page ? page->data : nullptr;
}

std::string WebRequest::get_header(const char* name) {
    char value[KV_WEB_HEADER_SIZE];
    kv_web_get_header(page, value, sizeof(value), name);
    return value;
}

void WebRequest::close() {
    kv_web_destroy(page);
    page = nullptr;
}
