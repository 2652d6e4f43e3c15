// Base64 encoding and a strict decoder (RFC 4648, standard alphabet).
#include "base64.h"

#include <cstdio>

enum {
    BASE64_GROUP_BYTES = 3,  // bytes one group of characters carries
    BASE64_GROUP_CHARS = 4,  // characters of one group
    BASE64_BAD = -1,         // not in the alphabet
};

static const char BASE64_ALPHABET[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
static const char BASE64_PAD = '=';

std::string base64_encode(const void* data, size_t len) {
    const unsigned char* in = (const unsigned char*)data;
    std::string out;
    out.reserve((len + BASE64_GROUP_BYTES - 1) / BASE64_GROUP_BYTES * BASE64_GROUP_CHARS);
    for (size_t i = 0; i < len; i += BASE64_GROUP_BYTES) {
        size_t n = len - i < (size_t)BASE64_GROUP_BYTES ? len - i : (size_t)BASE64_GROUP_BYTES;
        unsigned long group = (unsigned long)in[i] << 16;
        if (n > 1) group |= (unsigned long)in[i + 1] << 8;
        if (n > 2) group |= in[i + 2];
        out += BASE64_ALPHABET[(group >> 18) & 63];
        out += BASE64_ALPHABET[(group >> 12) & 63];
        out += n > 1 ? BASE64_ALPHABET[(group >> 6) & 63] : BASE64_PAD;
        out += n > 2 ? BASE64_ALPHABET[group & 63] : BASE64_PAD;
    }
    return out;
}

std::string base64_encode(const std::string& bytes) { return base64_encode(bytes.data(), bytes.size()); }

static int _base64_value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return BASE64_BAD;
}

static bool _base64_fail(std::string* out, const char* why, size_t at) {
    fprintf(stderr, "base64_decode: %s at character %zu\n", why, at);
    out->clear();
    return false;
}

bool base64_decode(const char* text, size_t len, std::string* out) {
    out->clear();
    if (len % BASE64_GROUP_CHARS) return _base64_fail(out, "length not a multiple of four", len);
    out->reserve(len / BASE64_GROUP_CHARS * BASE64_GROUP_BYTES);
    for (size_t i = 0; i < len; i += BASE64_GROUP_CHARS) {
        bool last = i + BASE64_GROUP_CHARS == len;
        // Padding may only close the text, and at most two characters of it.
        int pad = 0;
        if (last && text[i + 3] == BASE64_PAD) pad = text[i + 2] == BASE64_PAD ? 2 : 1;
        unsigned long group = 0;
        for (int k = 0; k < BASE64_GROUP_CHARS; k++) {
            int v = k < BASE64_GROUP_CHARS - pad ? _base64_value(text[i + k]) : 0;
            if (v == BASE64_BAD) {
                return _base64_fail(out, text[i + k] == BASE64_PAD ? "misplaced padding" : "bad character",
                                    i + k);
            }
            group = group << 6 | (unsigned long)v;
        }
        // The bits that padding leaves over must be zero, or two texts would
        // decode to the same bytes.
        unsigned long spare = pad == 2 ? 0xffffUL : pad == 1 ? 0xffUL : 0;
        if (group & spare) return _base64_fail(out, "nonzero bits before the padding", i);
        *out += (char)(group >> 16);
        if (pad < 2) *out += (char)((group >> 8) & 0xff);
        if (pad < 1) *out += (char)(group & 0xff);
    }
    return true;
}

bool base64_decode(const std::string& text, std::string* out) { return base64_decode(text.data(), text.size(), out); }
