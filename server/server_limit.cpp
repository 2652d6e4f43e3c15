// Token buckets that keep one account or address from flooding the service.
#include "server.h"

enum { LIMIT_BUCKETS_MAX = 100000 };  // beyond this, full buckets are forgotten

static ServerBucket& _server_bucket(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now) {
    if (lim.buckets.size() >= LIMIT_BUCKETS_MAX && lim.buckets.find(key) == lim.buckets.end()) {
        // A full bucket is the same as a missing one, so dropping those loses nothing.
        for (auto it = lim.buckets.begin(); it != lim.buckets.end();) {
            if (it->second.tokens >= rule.burst) it = lim.buckets.erase(it);
            else ++it;
        }
    }
    auto it = lim.buckets.find(key);
    if (it == lim.buckets.end()) it = lim.buckets.emplace(key, ServerBucket{rule.burst, now}).first;
    ServerBucket& b = it->second;
    double elapsed = now - b.last;
    if (elapsed > 0) b.tokens += elapsed * rule.per_second;
    if (b.tokens > rule.burst) b.tokens = rule.burst;
    b.last = now;
    return b;
}

bool server_rate_peek(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now) {
    return _server_bucket(lim, rule, key, now).tokens >= 1.0;
}

bool server_rate_take(ServerLimits& lim, const ServerRate& rule, const std::string& key, double now) {
    ServerBucket& b = _server_bucket(lim, rule, key, now);
    if (b.tokens < 1.0) return false;
    b.tokens -= 1.0;
    return true;
}
