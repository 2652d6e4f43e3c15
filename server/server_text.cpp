// Text helpers of the reference service: escaping, names, numbers, secrets.
#include "server.h"

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

std::string server_clean_text(const std::string& text, size_t max) {
    std::string out;
    for (char c : text) {
        if (c == '\0' || out.size() >= max) break;
        bool control = ((unsigned char)c < 0x20 && c != '\n') || c == 0x7f;
        out += control ? ' ' : c;
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

std::string server_password_hash(const std::string& salt, const std::string& password) {
    // Iterated so that a stolen store is slow to guess from; MD5 is what the
    // game's own protocol already relies on.
    std::string h = md5_digest(salt + "|" + password);
    for (int i = 0; i < SERVER_HASH_ROUNDS; i++) h = md5_digest(h + salt + password);
    return h;
}

bool server_equal_secret(const std::string& a, const std::string& b) {
    unsigned diff = (unsigned)(a.size() ^ b.size());
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++) diff |= (unsigned char)(a[i] ^ b[i]);
    return diff == 0;
}
