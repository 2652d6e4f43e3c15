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

struct kv_web {
    unsigned char* data;  // start of the response body inside _response
    int len;              // length of the response body
    int error;            // 1 once anything has failed
    char host[256];
    int port;
    char path[1024];
    kv_web_buffer _request;
    kv_web_buffer _response;
    int header;           // 0 until the head's end is found; then the body's offset
    int state;            // KV_WEB_ state
    long timeout;         // absolute deadline, wall-clock seconds
    long _timeout;        // idle time-out length, seconds
    int sockfd;
    struct sockaddr_in their_addr;
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
void kv_web_extend(kv_web_buffer* buf, int n);

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
