// A small non-blocking HTTP/1.0 client: kv_web is one connection advanced a
// step per poll; WebRequest holds what to ask for and owns one kv_web.
#pragma once

#include <netinet/in.h>

#include <string>

struct kv_web_buffer {
    int len;              // bytes in use
    int alloc;            // bytes allocated
    int pos;              // send position (request buffer only)
    unsigned char* data;  // bytes past len are zero
};

enum {
    KV_WEB_NOT_STARTED = 0, KV_WEB_READY = 1, KV_WEB_SENDING = 2,
    KV_WEB_RECEIVING = 3, KV_WEB_FINISHED = 4
};

enum {
    KV_WEB_HOST_SIZE = 256,    // kv_web::host, terminator included
    KV_WEB_PATH_SIZE = 1024,   // kv_web::path, terminator included
    KV_WEB_HEAD_ALLOC = 1024,  // the request buffer is grown to this before the head is written
    KV_WEB_CHUNK = 4096,       // most bytes one poll receives
    KV_WEB_HEADER_SIZE = 256,  // WebRequest::get_header's buffer: values up to 255 characters
    // A hostile or broken service could otherwise make us buffer without end:
    // a response (head and body) past this many bytes fails the exchange. A
    // power of two, so that the doubling buffer never allocates beyond it.
    KV_WEB_MAX_RESPONSE = 64 * 1024 * 1024,
};
static_assert((KV_WEB_MAX_RESPONSE & (KV_WEB_MAX_RESPONSE - 1)) == 0,
              "the response cap bounds the buffer only when it is a power of two");

struct kv_web {
    unsigned char* data;  // start of the response body inside _response
    int len;              // length of the response body
    int error;            // 1 once anything has failed
    char host[KV_WEB_HOST_SIZE];
    int port;
    char path[KV_WEB_PATH_SIZE];
    kv_web_buffer _request;
    kv_web_buffer _response;
    int header;           // body offset once the head's end is found; until then bytes received
    int state;            // KV_WEB_ state
    long timeout;         // absolute deadline, seconds of kv_web_get_ticks
    long _timeout;        // idle time-out length, seconds
    int sockfd;
    struct sockaddr_in their_addr;
    // Receive side, kept so that each chunk is scanned once, never the whole
    // response again.
    int _head_found;      // 1 once the blank line that ends the head was seen
    int _after_lf;        // the last byte scanned other than CR was LF
    int _max_response;    // response cap in bytes; <= 0 means KV_WEB_MAX_RESPONSE
};

int kv_web_init();
void kv_web_deinit();
kv_web* kv_web_create(const char* host, int port, const char* path, const char* body,
                      int body_len, int timeout);
int kv_web_poll(kv_web* web);
void kv_web_get_header(kv_web* web, char* out, int size, const char* name);
void kv_web_destroy(kv_web* web);
int kv_web_urlencode_len(const char* in, int in_len);
void kv_web_urlencode(char* out, int out_size, const char* in, int in_len);
long kv_web_get_ticks();
void kv_web_reset_timeout(kv_web* web);
// Returns 1, or 0 (buffer unchanged, a line on standard error) when the
// size would overflow or memory runs out.
int kv_web_extend(kv_web_buffer* buf, int n);
// Takes n received bytes: appends them to the response, looks for the end
// of the head and points data/len at the body. Needs no socket, so a
// zero-filled record (sockfd -1) can be fed directly. Returns 1, or 0 with
// error set once the response would pass its cap.
int kv_web_feed(kv_web* web, const unsigned char* bytes, int n);
// The peer closed the connection: the exchange is finished, or failed when
// the head announced a Content-Length that the body falls short of (a
// download cut off mid-way must not pass for a whole one).
void kv_web_end(kv_web* web);

std::string web_urlencode(const std::string& text);

class WebRequest {
public:
    std::string host;
    int port = 80;
    std::string request = "/";
    std::string post;
    float timeout = 30.0f;
    kv_web* page = nullptr;

    WebRequest() = default;
    WebRequest(const WebRequest& o) { *this = o; }
    WebRequest& operator=(const WebRequest& o);
    virtual ~WebRequest();

    static std::string urlencode(const std::string& text) { return web_urlencode(text); }
    void exec();
    bool poll();
    bool has_error();
    const unsigned char* get_response(int* len);
    std::string get_header(const char* name);
    void close();
};
