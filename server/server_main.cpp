// velquist-server: the reference online service of the game, on an SQLite
// file or a PostgreSQL database, serving the API script and the web pages
// over HTTP.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "server.h"

static const char SEED_FILE[] = "velquist-seed.db";  // beside the binary

// Threads beyond about two a core only queue for the cores: on two cores, 4
// workers answer the mixed load as fast as 8 with a lower p99. At least 4, so
// that a few slow answers never hold every worker.
static long _workers_default() {
    long cores = (long)std::thread::hardware_concurrency();
    return cores > 0 ? std::max(4L, std::min(64L, 2 * cores)) : (long)SERVER_WORKERS_DEFAULT;
}

static int _bad(const std::string& option, const char* value) {
    fprintf(stderr, "velquist-server: bad value '%s' for %s\n", value, option.c_str());
    return 2;
}

static void _usage() {
    fprintf(stderr,
            "usage: velquist-server (--data DIR | --store postgresql://...) [--port N] [--listen ADDR]\n"
            "                       [--seed FILE] [--workers N] [--trusted-proxy ADDR]\n"
            "                       [--tiles FILE] [--check-threads N] [--check-queue N] [--check-cpu SECONDS]\n"
            "                       [--check-account SECONDS] [--check-address SECONDS]\n"
            "  --data DIR            folder of an SQLite store (velquist.db); created if missing\n"
            "  --store WHERE         the same folder, or a PostgreSQL database that several service\n"
            "                        processes may share, e.g. postgresql://velquist@dbhost/velquist\n"
            "  --port N              TCP port (default %d)\n"
            "  --listen ADDR         IPv4 address to listen on (default 127.0.0.1, loopback only)\n"
            "  --seed FILE           featured maps to load (default %s beside this program)\n"
            "  --workers N           request threads, each with its own store connection\n"
            "                        (default twice the processor cores, at least 4: %ld here)\n"
            "  --trusted-proxy ADDR  a reverse proxy whose X-Forwarded-For names the player's address\n"
            "  --tiles FILE          the game's tile catalogue, to replay wins with\n"
            "                        (default ../data/tiles.json from the working folder)\n"
            "  --check-threads N     threads that check shared maps' replays (default: two a core)\n"
            "  --check-queue N       checks that may wait for them; beyond, shares are told to come back\n"
            "                        (default %d)\n"
            "  --check-cpu SECONDS   CPU time one check may take (default %g)\n"
            "  --check-account S     CPU seconds of checking an account may use a minute (default %g)\n"
            "  --check-address S     the same per address (default %g)\n",
            (int)SERVER_DEFAULT_PORT, SEED_FILE, _workers_default(), (int)SERVER_CHECK_QUEUE, SERVER_CHECK_CPU_MAX_S,
            SERVER_CHECK_ACCOUNT_S, SERVER_CHECK_ADDRESS_S);
}

enum { MAIN_WORKERS_MAX = 256, MAIN_QUEUE_MAX = 100000 };
static const double MAIN_SECONDS_MAX = 3600;

// A number of seconds for a --check- option: above 0, at most an hour.
static bool _seconds(const char* text, double* out) {
    char* end = nullptr;
    double v = strtod(text, &end);
    if (!end || *end || !(v > 0) || v > MAIN_SECONDS_MAX) return false;
    *out = v;
    return true;
}

// Seconds of checking a minute: the bucket holds a minute's worth.
static void _per_minute(ServerRate& rate, double seconds) {
    rate.burst = seconds;
    rate.per_second = seconds / 60;
}

int main(int argc, char** argv) {
    std::string data, listen = "127.0.0.1", seed = server_beside_binary(SEED_FILE), proxy;
    long port = SERVER_DEFAULT_PORT, workers = _workers_default(), check_threads = 0, check_queue = -1;
    double check_cpu = 0, check_account = 0, check_address = 0;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool has_value = i + 1 < argc;
        if ((a == "--data" || a == "--store") && has_value) data = argv[++i];
        else if (a == "--listen" && has_value) listen = argv[++i];
        else if (a == "--seed" && has_value) seed = argv[++i];
        else if (a == "--trusted-proxy" && has_value) proxy = argv[++i];
        else if (a == "--tiles" && has_value) server_replay_set_tiles(argv[++i]);
        else if (a == "--port" && has_value) {
            if (!server_parse_int(argv[++i], 0, 65535, &port)) {
                fprintf(stderr, "velquist-server: bad port '%s'\n", argv[i]);
                return 2;
            }
        } else if (a == "--workers" && has_value) {
            if (!server_parse_int(argv[++i], 1, MAIN_WORKERS_MAX, &workers)) {
                fprintf(stderr, "velquist-server: bad number of workers '%s'\n", argv[i]);
                return 2;
            }
        } else if (a == "--check-threads" && has_value) {
            if (!server_parse_int(argv[++i], 1, MAIN_WORKERS_MAX, &check_threads)) return _bad(a, argv[i]);
        } else if (a == "--check-queue" && has_value) {
            if (!server_parse_int(argv[++i], 1, MAIN_QUEUE_MAX, &check_queue)) return _bad(a, argv[i]);
        } else if (a == "--check-cpu" && has_value) {
            if (!_seconds(argv[++i], &check_cpu)) return _bad(a, argv[i]);
        } else if (a == "--check-account" && has_value) {
            if (!_seconds(argv[++i], &check_account)) return _bad(a, argv[i]);
        } else if (a == "--check-address" && has_value) {
            if (!_seconds(argv[++i], &check_address)) return _bad(a, argv[i]);
        } else {
            _usage();
            return a == "--help" ? 0 : 2;
        }
    }
    if (data.empty()) {
        _usage();
        return 2;
    }
    // Stop cleanly on these, handled on this thread below.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Each connection is a descriptor: allow as many as the system lets us.
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    Server* s = new Server();
    s->workers = (int)workers;
    s->trusted_proxy = proxy;
    s->checks.threads = (int)check_threads;
    if (check_queue > 0) s->checks.queue_max = (int)check_queue;
    if (check_cpu > 0) s->limits.check_cpu_max = check_cpu;
    if (check_account > 0) _per_minute(s->limits.check_account, check_account);
    if (check_address > 0) _per_minute(s->limits.check_address, check_address);
    if (!server_store_open(s->store, data)) return 1;
    int seeded = server_store_seed(s->store, seed);
    ServerDaemon* d = server_daemon_start(*s, listen.c_str(), (int)port);
    if (!d) return 1;
    // A URL may carry a password: only its kind is printed.
    std::string shown = server_is_postgres_url(data) ? std::string("a PostgreSQL database") : data;
    printf("velquist-server: serving http://%s:%d/velquist/ from %s (%d featured maps, pid %d)\n", listen.c_str(),
           server_daemon_port(d), shown.c_str(), seeded < 0 ? 0 : seeded, (int)getpid());
    fflush(stdout);
    int sig = 0;
    sigwait(&stop, &sig);
    server_daemon_stop(d);
    s->store.db.close();
    delete s;
    printf("velquist-server: stopped\n");
    return 0;
}
