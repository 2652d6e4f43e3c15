// Token buckets that keep one account or address from flooding the service,
// in a table of fixed size; and the two caches the request threads share:
// tokens proven right, and list files already built.
#include "server.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "md5.h"

namespace {

// FNV-1a, 64 bits: keys are short and chosen by clients, but a collision only
// makes two keys share a bucket.
uint64_t limit_hash(const std::string& key) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : key) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h ? h : 1;  // 0 marks a free slot
}

// The bucket of key, filled up to now; taken under its stripe's lock.
template <typename F>
bool limit_with(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now, F use) {
    ServerRateTable& t = lim.table;
    uint64_t h = limit_hash(key);
    size_t set = (size_t)(h % t.sets);
    std::lock_guard<std::mutex> hold(t.locks[set % ServerRateTable::STRIPES]);
    ServerRateTable::Slot* ways = t.slots + set * ServerRateTable::WAYS;
    ServerRateTable::Slot* slot = nullptr;
    ServerRateTable::Slot* oldest = ways;
    for (int i = 0; i < ServerRateTable::WAYS && !slot; i++) {
        if (ways[i].key == h) slot = &ways[i];
        else if (ways[i].key == 0 || (oldest->key != 0 && ways[i].last < oldest->last)) oldest = &ways[i];
    }
    if (!slot) {
        slot = oldest;
        slot->key = h;
        slot->tokens = (float)rule.burst;
        slot->last = now;
    }
    double tokens = slot->tokens;
    double elapsed = now - slot->last;
    if (elapsed > 0) tokens += elapsed * rule.per_second;
    if (tokens > rule.burst) tokens = rule.burst;
    bool ok = use(tokens);
    slot->tokens = (float)tokens;
    if (now > slot->last) slot->last = now;
    return ok;
}

}  // namespace

ServerRateTable::ServerRateTable(size_t capacity) {
    sets = capacity / WAYS ? capacity / WAYS : 1;
    // calloc: the system hands out zeroed pages as they are first touched.
    slots = (Slot*)calloc(sets * WAYS, sizeof(Slot));
    if (!slots) abort();
}

ServerRateTable::~ServerRateTable() { free(slots); }

double server_rate_level(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now, double need,
                         double cost) {
    double level = 0;
    limit_with(lim, rule, key, now, [&](double& tokens) {
        level = tokens;
        if (tokens >= need) tokens = std::min(rule.burst, tokens - cost);
        return true;
    });
    return level;
}

bool server_rate_take(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now) {
    return server_rate_level(lim, rule, key, now, 1.0, 1.0) >= 1.0;
}

// ---------------------------------------------------------------- limits of the whole service

// A store shared by several processes keeps the buckets itself, so that
// every process counts against the same ones; else this process's table does.
double server_limit_level(Server& s, ServerStore& st, const ServerRate& rule, const std::string& key, double need,
                          double cost) {
    double now = server_now(s), level = 0;
    if (server_bucket_take(st, rule, key, now, need, cost, &level)) return level;
    return server_rate_level(s.limits, rule, key, now, need, cost);
}

bool server_limit_take(Server& s, ServerStore& st, const ServerRate& rule, const std::string& key) {
    return server_limit_level(s, st, rule, key, 1.0, 1.0) >= 1.0;
}

bool server_limit_peek(Server& s, ServerStore& st, const ServerRate& rule, const std::string& key) {
    double now = server_now(s), level = 0;
    if (server_bucket_peek(st, rule, key, now, &level)) return level >= 1.0;
    return server_rate_level(s.limits, rule, key, now, 1.0, 0.0) >= 1.0;
}

void server_limits_prune(Server& s, ServerStore& st) {
    const ServerLimits& l = s.limits;
    // Twice the longest refill of any rule: a bucket left alone that long is full again.
    double longest = 0;
    for (const ServerRate* r : {&l.check_account, &l.check_address, &l.share, &l.plays, &l.track, &l.download,
                                &l.account, &l.names, &l.login, &l.login_account})
        longest = std::max(longest, r->burst / r->per_second);
    server_buckets_prune(st, server_now(s) - 2 * longest);
}

// ---------------------------------------------------------------- tokens proven right

static std::string _token_digest(const std::string& thash, const std::string& token) {
    return md5_digest(thash + "|" + token);
}

bool ServerTokenCache::check(const std::string& name, const std::string& thash, const std::string& token) {
    std::string digest = _token_digest(thash, token);
    std::lock_guard<std::mutex> hold(lock);
    auto it = entries.find(name);
    return it != entries.end() && it->second.thash == thash && server_equal_secret(it->second.digest, digest);
}

void ServerTokenCache::remember(const std::string& name, const std::string& thash, const std::string& token) {
    std::string digest = _token_digest(thash, token);
    std::lock_guard<std::mutex> hold(lock);
    if (entries.size() >= ENTRIES_MAX) entries.clear();
    entries[name] = {thash, digest};
}

// ---------------------------------------------------------------- list files

std::shared_ptr<const std::string> ServerListCache::find(const std::string& key, const std::string& print) {
    std::lock_guard<std::mutex> hold(lock);
    auto it = entries.find(key);
    if (it == entries.end() || it->second.print != print) return nullptr;
    it->second.used = ++clock;
    return it->second.file;
}

void ServerListCache::keep(const std::string& key, const std::string& print,
                           std::shared_ptr<const std::string> file) {
    std::lock_guard<std::mutex> hold(lock);
    Entry& e = entries[key];
    if (e.file) bytes -= e.file->size();
    e.print = print;
    e.file = std::move(file);
    e.used = ++clock;
    bytes += e.file->size();
    // Lists of single players come and go; those unused longest make room.
    while (bytes > BYTES_MAX && entries.size() > 1) {
        auto oldest = entries.begin();
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if (it->second.used < oldest->second.used) oldest = it;
        bytes -= oldest->second.file->size();
        entries.erase(oldest);
    }
}
