// Costly checks off the request path: a few checking threads with a bounded
// queue, and the CPU budgets that every check is paid from, so that no
// account or address can keep the service busy checking for everyone else.
#include "server.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

static const char MSG_STOPPING[] = "The service is stopping; try again.";
static const char MSG_BUSY[] = "The service is busy checking other maps. Try again in a few seconds.";
static const char MSG_ONE_AT_ONCE[] = "A map of yours is being checked; wait for its answer, then try again.";

enum {
    CHECK_NICE_COSTLY = 10,    // a check past a quarter of its CPU time yields to everything else
    CHECK_ADDRESS_AT_ONCE = 4, // checks one address may have waiting or running
    CHECK_RUNS_CPU = 2         // all runs of one check may take this many times its CPU time
};

double server_thread_cpu() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

// ---------------------------------------------------------------- budgets

static std::string _budget_key(const char* kind, const std::string& who) { return std::string("check|") + kind + who; }

bool server_check_reserve(Server& s, ServerStore& st, ServerCheck& c, double* wait) {
    const ServerLimits& lim = s.limits;
    double need = lim.check_cpu_max;
    std::string account = _budget_key("a|", c.account), address = _budget_key("ip|", c.address);
    double left_account = server_limit_level(s, st, lim.check_account, account, need, need);
    if (left_account < need) {
        *wait = (need - left_account) / lim.check_account.per_second;
        return false;
    }
    double left_address = server_limit_level(s, st, lim.check_address, address, need, need);
    if (left_address < need) {
        server_limit_level(s, st, lim.check_account, account, SERVER_LEVEL_ANY, -need);  // given back
        *wait = (need - left_address) / lim.check_address.per_second;
        return false;
    }
    c.reserved = c.cpu_max = need;
    // The poorer an account and address are in checking time, the later their checks run.
    c.priority = std::min(left_account, left_address) - need;
    return true;
}

void server_check_settle(Server& s, ServerStore& st, const ServerCheck& c) {
    if (c.reserved == 0 && c.cpu == 0) return;
    // What it took beyond what was set aside is owed: the next check waits longer.
    double back = c.reserved - c.cpu;
    server_limit_level(s, st, s.limits.check_account, _budget_key("a|", c.account), SERVER_LEVEL_ANY, -back);
    server_limit_level(s, st, s.limits.check_address, _budget_key("ip|", c.address), SERVER_LEVEL_ANY, -back);
}

// ---------------------------------------------------------------- running one

namespace {

// Runs c once on this thread with g (null: no tile catalogue), timing it;
// go_on may stop it to let another go first. Each run may take the check's
// CPU time, and all runs together twice that: a check that gave way keeps
// room to play to its end.
void check_run(ServerCheck& c, Game* g, const ServerCheckGoOn& go_on) {
    double t0 = server_thread_cpu();
    c.gave_way = false;
    c.result = c.run(g, std::min(c.cpu_max, CHECK_RUNS_CPU * c.cpu_max - c.cpu), go_on);
    c.cpu += server_thread_cpu() - t0;
    c.ran = !c.gave_way;
}

}  // namespace

void server_check_run_here(ServerCheck& c) {
    std::unique_ptr<Game> g(new Game());
    bool tiles = server_tiles_copy(*g);
    check_run(c, tiles ? g.get() : nullptr, ServerCheckGoOn());
}

ServerReply server_check_answer(Server& s, ServerStore& st, const ServerCheck& c) {
    server_check_settle(s, st, c);
    if (!c.ran) return server_refusal(SERVER_SCRIPT, 503, MSG_STOPPING);
    return c.answer(s, st, c);
}

// ---------------------------------------------------------------- the pool

// Under load a check gets a share of the cores only, so a costly one would
// hold its thread for many times its CPU time while honest shares wait. A
// running check gives way to a waiting one whose account and address have
// more checking time left than it would have, once it has run past a quarter
// of its CPU time, its runs together (no honest one does; from then on it
// also runs below the others' priority), or at once when the other is richer
// by a whole check:
// it goes back into the queue and plays again later from its start, every
// run paid for. Among the waiting, those with the most checking time left go
// first.

namespace {

// The waiting check to run next: the most checking time left, the first come of equals.
std::vector<ServerCheckPtr>::iterator pool_pick(ServerCheckPool* p) {
    return std::max_element(p->queue.begin(), p->queue.end(), [](const ServerCheckPtr& a, const ServerCheckPtr& b) {
        return a->priority < b->priority || (a->priority == b->priority && a->serial > b->serial);
    });
}

// Asked by a running check: whether it goes on.
bool pool_go_on(ServerCheckPool* p, ServerCheck& c, double used, bool& reniced) {
    bool long_run = c.cpu + used >= p->give_way_cpu;  // every run so far
    if (long_run && !reniced) {
        setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), CHECK_NICE_COSTLY);
        reniced = true;
    }
    std::lock_guard<std::mutex> hold(p->lock);
    if (p->stopping || p->queue.empty()) return true;
    // What its account and address would have left if it ended now.
    double left = c.priority - c.cpu - used, richer = (*pool_pick(p))->priority - left;
    // A long run gives way to anyone richer; any run to one richer by a whole check.
    if (richer <= 0 || (!long_run && richer < c.cpu_max)) return true;
    c.gave_way = true;
    return false;
}

void pool_work(ServerCheckPool* p) {
    std::unique_ptr<Game> g(new Game());
    bool tiles = server_tiles_copy(*g);
    for (;;) {
        ServerCheckPtr c;
        {
            std::unique_lock<std::mutex> hold(p->lock);
            p->wake.wait(hold, [p] { return p->stopping || !p->queue.empty(); });
            if (p->stopping) break;
            auto next = pool_pick(p);
            c = *next;
            p->queue.erase(next);
        }
        bool reniced = false;
        double spent = c->cpu;
        check_run(*c, tiles ? g.get() : nullptr,
                  [p, &c, &reniced](double used) { return pool_go_on(p, *c, used, reniced); });
        if (reniced) setpriority(PRIO_PROCESS, (id_t)syscall(SYS_gettid), 0);
        if (c->gave_way) {
            // Back among the waiting, poorer by what this run took.
            std::lock_guard<std::mutex> hold(p->lock);
            c->priority -= c->cpu - spent;
            p->queue.push_back(c);
            continue;
        }
        {
            std::lock_guard<std::mutex> hold(p->lock);
            p->running_done(*c);
        }
        if (c->done) c->done(c);
    }
}

}  // namespace

void ServerCheckPool::running_done(const ServerCheck& c) {
    if (--at_once[c.account] <= 0) at_once.erase(c.account);
    if (--at_once["ip|" + c.address] <= 0) at_once.erase("ip|" + c.address);
}

void server_checks_start(Server& s) {
    ServerCheckPool& p = s.checks;
    p.stopping = false;
    int cores = (int)std::max(1u, std::thread::hardware_concurrency());
    int n = p.threads > 0 ? p.threads : 2 * cores;
    p.give_way_cpu = s.limits.check_cpu_max / 4;
    for (int i = 0; i < n; i++) p.workers.emplace_back(pool_work, &p);
}

void server_checks_stop(Server& s) {
    ServerCheckPool& p = s.checks;
    std::vector<ServerCheckPtr> dropped;
    {
        std::lock_guard<std::mutex> hold(p.lock);
        p.stopping = true;
        dropped.swap(p.queue);
        for (const ServerCheckPtr& c : dropped) p.running_done(*c);
    }
    p.wake.notify_all();
    for (std::thread& t : p.workers) t.join();
    p.workers.clear();
    // Those never run are answered all the same, as dropped.
    for (const ServerCheckPtr& c : dropped)
        if (c->done) c->done(c);
}

int server_check_submit(Server& s, ServerCheckPtr c, std::string& why) {
    ServerCheckPool& p = s.checks;
    {
        std::lock_guard<std::mutex> hold(p.lock);
        if (p.stopping || p.workers.empty()) return why = MSG_STOPPING, 503;
        if (p.at_once.count(c->account)) return why = MSG_ONE_AT_ONCE, 429;
        auto address = p.at_once.find("ip|" + c->address);
        if (address != p.at_once.end() && address->second >= CHECK_ADDRESS_AT_ONCE) return why = MSG_ONE_AT_ONCE, 429;
        if ((int)p.queue.size() >= p.queue_max) return why = MSG_BUSY, 503;
        c->serial = ++p.serial;
        p.at_once[c->account]++;
        p.at_once["ip|" + c->address]++;
        p.queue.push_back(c);
    }
    p.wake.notify_all();
    return 0;
}
