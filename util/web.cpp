// The HTTP client: inert until the online client lands.
#include "web.h"

int kv_web_init() { return 0; }
void kv_web_deinit() {}
std::string web_urlencode(const std::string& text) { return text; }

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
void WebRequest::exec() {}
bool WebRequest::poll() { return false; }
bool WebRequest::has_error() { return true; }
const unsigned char* WebRequest::get_response(int* len) { if (len) *len = 0; return nullptr; }
std::string WebRequest::get_header(const char* name) { (void)name; return std::string(); }
void WebRequest::close() { page = nullptr; }
