// Text helpers of the reference service: escaping, names, numbers, secrets.
#include "server.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "md5.h"

std::string server_html_escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\0': break;
        default: out += c;
        }
    }
    return out;
}

std::string server_header_value(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (out.size() >= SERVER_HEADER_VALUE_MAX) break;
        out += ((unsigned char)c < 0x20 || c == 0x7f) ? ' ' : c;
    }
    return out;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0.
static size_t _server_utf8_at(const std::string& text, size_t i) {
    unsigned char c = (unsigned char)text[i];
    if (c < 0x80) return 1;
    size_t n = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return 0;
    unsigned char c1 = (unsigned char)text[i + 1];
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    unsigned char lo = c == 0xe0 ? 0xa0 : c == 0xf0 ? 0x90 : 0x80;
    unsigned char hi = c == 0xed ? 0x9f : c == 0xf4 ? 0x8f : 0xbf;
    if (c1 < lo || c1 > hi) return 0;
    for (size_t k = 2; k < n; k++)
        if (((unsigned char)text[i + k] & 0xc0) != 0x80) return 0;
    return n;
}

bool server_utf8_ok(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        size_t n = _server_utf8_at(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string server_clean_text(const std::string& text, size_t max) {
    // Always valid UTF-8, never cut inside a character: the store may be one
    // that refuses anything else.
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\0') break;
        size_t n = _server_utf8_at(text, i);
        if (out.size() + (n ? n : 1) > max) break;
        if (n > 1) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        bool control = ((unsigned char)c < 0x20 && c != '\n') || c == 0x7f;
        out += n == 0 ? '?' : control ? ' ' : c;
        i++;
    }
    return out;
}

bool server_name_ok(const std::string& name) {
    if (name.empty() || name.size() > SERVER_NAME_MAX) return false;
    if (name.front() == ' ' || name.back() == ' ') return false;
    for (char c : name) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                  c == '-' || c == '_' || c == '.';
        if (!ok) return false;
    }
    return true;
}

bool server_map_name_ok(const std::string& name) {
    if (name.empty() || name.size() >= sizeof(LevelData::name)) return false;
    for (char c : name)
        if (c < 0x20 || c > 0x7e || c == '|') return false;
    return true;
}

enum { TEXT_LONG_DIGITS_MAX = 19 };  // digits of the largest 64-bit long

bool server_parse_int(const std::string& text, long lo, long hi, long* out) {
    if (text.empty() || text.size() > TEXT_LONG_DIGITS_MAX + 1) return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    for (size_t k = i; k < text.size(); k++)
        if (text[k] < '0' || text[k] > '9') return false;
    errno = 0;
    long v = strtol(text.c_str(), nullptr, 10);
    if (errno || v < lo || v > hi) return false;
    *out = v;
    return true;
}

std::string server_uid(const std::string& name) { return SERVER_UID_PREFIX + name; }

std::string server_token(const std::string& name, const std::string& password) {
    return md5_digest(name + "|" + md5_digest(password));
}

std::string server_new_salt() {
    unsigned char bytes[SERVER_SALT_BYTES] = {0};
    FILE* f = fopen("/dev/urandom", "rb");
    size_t got = f ? fread(bytes, 1, sizeof(bytes), f) : 0;
    if (f) fclose(f);
    if (got != sizeof(bytes)) {
        // Never a fixed salt: fall back to the clock and the address space.
        fprintf(stderr, "server: /dev/urandom unreadable, salting from the clock\n");
        std::string seed = std::to_string((long)time(nullptr)) + std::to_string((unsigned long)(size_t)&got) +
                           std::to_string(rand());
        md5_bytes(seed.data(), seed.size(), bytes);
    }
    static const char HEX[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += HEX[b >> 4];
        out += HEX[b & 15];
    }
    return out;
}

std::string server_password_hash(const std::string& salt, const std::string& password, int rounds) {
    // Iterated so that a stolen store is slow to guess from; MD5 is what the
    // game's own protocol already relies on.
    std::string h = md5_digest(salt + "|" + password);
    for (int i = 0; i < rounds; i++) h = md5_digest(h + salt + password);
    return h;
}

bool server_equal_secret(const std::string& a, const std::string& b) {
    unsigned diff = (unsigned)(a.size() ^ b.size());
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++) diff |= (unsigned char)(a[i] ^ b[i]);
    return diff == 0;
}

std::string server_beside_binary(const char* name) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (n <= 0) return name;
    self[n] = '\0';
    std::string dir(self);
    size_t slash = dir.rfind('/');
    return (slash == std::string::npos ? std::string(".") : dir.substr(0, slash)) + "/" + name;
}
