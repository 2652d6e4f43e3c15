// Fuzz target: arbitrary response bytes, cut into arbitrary chunks, through
// the HTTP client's receive side (head search, body, size cap, headers).
//
// Input: [cap][name length][name bytes] then chunks of [length][bytes]. A cap
// byte of 0 keeps the real cap; otherwise a small cap is used so that the
// cap is reached too. Every result is checked against a plain reference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "web.h"

namespace {

const int CAP_STEP = 4;        // bytes of cap per unit of the cap byte
const int NAME_MAX_LEN = 16;   // longest header name taken from the input
const int CONTENT_LENGTH_SIZE = 24;  // the client's buffer for the number
const int SIZES[] = {1, 2, 7, KV_WEB_HEADER_SIZE};
const char* const NAMES[] = {"X-Response", "X-Error", "Content-Length", "", "HTTP/1.0 200 OK"};

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            fprintf(stdout, "check failed: %s (line %d)\n", #cond, __LINE__);     \
            abort();                                                              \
        }                                                                         \
    } while (0)

// Offset just past the head's blank line, or the length when there is none.
size_t reference_head_end(const std::string& r) {
    bool after_lf = false;
    for (size_t i = 0; i < r.size(); i++) {
        if (r[i] == '\r') continue;
        if (r[i] != '\n') {
            after_lf = false;
        } else if (after_lf) {
            return i + 1;
        } else {
            after_lf = true;
        }
    }
    return r.size();
}

std::string reference_header(const std::string& head, const std::string& name, int size) {
    const std::string pattern = name + ":";
    for (size_t line = 0; line < head.size();) {
        size_t eol = head.find('\n', line);
        if (eol == std::string::npos) eol = head.size();
        std::string l = head.substr(line, eol - line);
        if (l.compare(0, pattern.size(), pattern) == 0 && l.size() >= pattern.size()) {
            size_t i = pattern.size();
            while (i < l.size() && l[i] == ' ') i++;
            std::string value;
            while (i < l.size() && l[i] != '\r' && (int)value.size() < size - 1) value += l[i++];
            return value;
        }
        line = eol + 1;
    }
    return std::string();
}

void check_headers(kv_web* web, const std::string& received, const std::string& name) {
    const std::string head = received.substr(0, (size_t)web->header);
    for (int size : SIZES) {
        // Exactly `size` bytes on the heap, so that AddressSanitizer sees any overrun.
        char* out = (char*)malloc((size_t)size);
        kv_web_get_header(web, out, size, name.c_str());
        std::string want = reference_header(head, name, size);
        want.resize((size_t)size, '\0');
        FUZZ_CHECK(memcmp(out, want.data(), (size_t)size) == 0);
        free(out);
    }
}

void check_record(kv_web* web, const std::string& received, int cap) {
    const kv_web_buffer& res = web->_response;
    FUZZ_CHECK(res.len == (int)received.size());
    FUZZ_CHECK(res.len <= cap);
    FUZZ_CHECK(res.len == 0 || memcmp(res.data, received.data(), received.size()) == 0);
    for (int i = res.len; i < res.alloc; i++) FUZZ_CHECK(res.data[i] == 0);
    // The doubling buffer never holds more than twice what it must.
    FUZZ_CHECK(res.alloc <= 1 || res.alloc < 2 * res.len);
    if (res.len == 0) return;
    FUZZ_CHECK(web->header == (int)reference_head_end(received));
    FUZZ_CHECK(web->data == res.data + web->header);
    FUZZ_CHECK(web->len == res.len - web->header);
}

void check_urlencode(const uint8_t* bytes, size_t size) {
    const std::string text((const char*)bytes, size);
    const std::string encoded = web_urlencode(text);
    FUZZ_CHECK(kv_web_urlencode_len(text.data(), (int)size) == (int)encoded.size() + 1);
    // A short buffer holds a prefix of whole pieces.
    int out_size = (int)encoded.size() / 2 + 1;
    char* out = (char*)malloc((size_t)out_size);
    kv_web_urlencode(out, out_size, text.data(), (int)size);
    size_t n = strlen(out);
    FUZZ_CHECK((int)n < out_size);
    FUZZ_CHECK(encoded.compare(0, n, out) == 0);
    // It stopped only where the next piece (two bytes kept, four escaped,
    // terminator included) did not fit.
    if (n < encoded.size()) FUZZ_CHECK(out_size - (int)n < (encoded[n] == '%' ? 4 : 2));
    free(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int cap = data[0] ? data[0] * CAP_STEP : KV_WEB_MAX_RESPONSE;
    size_t name_len = data[1] % NAME_MAX_LEN;
    size_t at = 2;
    if (name_len > size - at) name_len = size - at;
    const std::string fuzz_name((const char*)data + at, name_len);
    at += name_len;
    check_urlencode(data + at, size - at);

    kv_web* web = (kv_web*)calloc(1, sizeof(kv_web));
    web->sockfd = -1;
    web->_max_response = cap;
    std::string received;
    while (at < size) {
        size_t n = data[at++];
        if (n > size - at) n = size - at;
        const bool failed_before = web->error;
        if (kv_web_feed(web, data + at, (int)n)) {
            FUZZ_CHECK(!failed_before);
            received.append((const char*)data + at, n);
        } else {
            // Only the cap fails a feed, and a failure is for good.
            FUZZ_CHECK(web->error);
            FUZZ_CHECK(failed_before || received.size() + n > (size_t)cap);
        }
        at += n;
        check_record(web, received, cap);
    }
    // The peer closes: a body shorter than a well-formed Content-Length fails.
    const bool failed_before = web->error;
    kv_web_end(web);
    FUZZ_CHECK(web->state == KV_WEB_FINISHED);
    if (!failed_before) {
        const std::string head = received.substr(0, (size_t)web->header);
        std::string length = reference_header(head, "Content-Length", CONTENT_LENGTH_SIZE);
        length = length.substr(0, length.find('\0'));  // the client reads it as C text
        const bool number = !length.empty() && length.find_first_not_of("0123456789") == std::string::npos;
        unsigned long long announced = 0;
        for (char c : length) {
            announced = announced * 10 + (unsigned long long)(c - '0');
            if (announced > KV_WEB_MAX_RESPONSE) break;  // past any body; stops overflow
        }
        FUZZ_CHECK(web->error == (web->_head_found && number && announced > (unsigned long long)web->len));
    }
    for (const char* name : NAMES) check_headers(web, received, name);
    check_headers(web, received, fuzz_name.c_str());
    kv_web_destroy(web);
    return 0;
}
