// A PostgreSQL server of the test process's own, from Debian's packages: its
// cluster copied from one made once by initdb, started in a temporary folder
// as a child that dies with the process, reached on a socket in that folder.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <glob.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "server.h"

namespace pgtest {

const int START_TRIES = 400;  // 25 ms apart
const char USER[] = "velquist";

// The server's programs, "" when PostgreSQL is not installed.
inline std::string bin_dir() {
    glob_t g;
    std::string out;
    if (glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &g) == 0 && g.gl_pathc > 0) {
        out = g.gl_pathv[g.gl_pathc - 1];
        out = out.substr(0, out.rfind('/'));
    }
    globfree(&g);
    return out;
}

// PostgreSQL refuses to run as root: then it runs as the packages' own user.
inline const passwd* server_user() { return geteuid() == 0 ? getpwnam("postgres") : nullptr; }

// Runs argv as the server's user; the child's pid, or -1. With die_with_us,
// the child is ended when this process ends, however it ends.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& log, bool die_with_us) {
    const passwd* pw = server_user();
    if (geteuid() == 0 && !pw) {
        ADD_FAILURE() << "running as root, and there is no user 'postgres' to run PostgreSQL as";
        return -1;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (pw && (setgid(pw->pw_gid) != 0 || setuid(pw->pw_uid) != 0)) _exit(126);
    if (die_with_us && (prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || getppid() != parent)) _exit(125);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back((char*)a.c_str());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

inline bool own(const std::string& path) {
    const passwd* pw = server_user();
    return !pw || chown(path.c_str(), pw->pw_uid, pw->pw_gid) == 0;
}

// One cluster made by initdb, kept in /tmp and copied for every server: initdb
// takes seconds, a copy a fraction of one.
inline std::string template_cluster(const std::string& bin) {
    std::string base = "/tmp/velquist-pg-template-" + std::to_string((int)geteuid());
    std::string done = base + "/data/PG_VERSION";
    int lock = open((base + ".lock").c_str(), O_CREAT | O_RDWR, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) return "";
    struct stat st;
    if (stat(done.c_str(), &st) != 0) {
        std::string cmd = "rm -rf '" + base + "' && mkdir -p '" + base + "'";
        if (system(cmd.c_str()) != 0 || !own(base)) return "";
        pid_t pid = spawn({bin + "/initdb", "-D", base + "/data.new", "-A", "trust", "-U", USER, "-E", "UTF8",
                           "--no-locale", "-N"},
                          base + "/initdb.log", true);
        int status = 1;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
            rename((base + "/data.new").c_str(), (base + "/data").c_str()) != 0) {
            ADD_FAILURE() << "initdb failed; see " << base << "/initdb.log";
            flock(lock, LOCK_UN);
            close(lock);
            return "";
        }
    }
    flock(lock, LOCK_UN);
    close(lock);
    return base + "/data";
}

class Cluster {
public:
    ~Cluster() {
        if (_pid > 0) {
            kill(_pid, SIGINT);  // a fast shut-down: clients are cut off
            waitpid(_pid, nullptr, 0);
        }
        if (!_dir.empty()) {
            std::string cmd = "rm -rf '" + _dir + "'";
            if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", _dir.c_str());
        }
    }
    // The URL of the database `name` on this server, started on first use.
    std::string url(const std::string& name) {
        if (_pid <= 0 && !start()) return "";
        return "postgresql://" + std::string(USER) + "@/" + name + "?host=" + _dir;
    }

private:
    bool start() {
        std::string bin = bin_dir();
        if (bin.empty()) {
            ADD_FAILURE() << "PostgreSQL is not installed: `make deps-test` (scripts/deps.sh test) installs it";
            return false;
        }
        std::string data = template_cluster(bin);
        char tmpl[] = "/tmp/velquist-pg-XXXXXX";
        if (data.empty() || !mkdtemp(tmpl)) return false;
        _dir = tmpl;
        std::string cmd = "cp -a '" + data + "' '" + _dir + "/data'";
        if (system(cmd.c_str()) != 0 || !own(_dir)) return false;
        _pid = spawn({bin + "/postgres", "-D", _dir + "/data", "-k", _dir, "-c", "listen_addresses=", "-F", "-c",
                      "max_connections=100"},
                     _dir + "/log", true);
        for (int i = 0; i < START_TRIES && _pid > 0; i++) {
            ServerDB db;
            if (db.open(url_of("postgres"))) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        ADD_FAILURE() << "PostgreSQL did not start; see " << _dir << "/log";
        return false;
    }
    std::string url_of(const std::string& name) const {
        return "postgresql://" + std::string(USER) + "@/" + name + "?host=" + _dir;
    }

    std::string _dir;
    pid_t _pid = -1;
};

// A new, empty database on this process's server; "" on failure.
inline std::string fresh_database() {
    static Cluster cluster;
    static int made = 0;
    std::string admin = cluster.url("postgres");
    if (admin.empty()) return "";
    ServerDB db;
    std::string name = "test" + std::to_string(++made);
    if (!db.open(admin) || (db.query(("create database " + name).c_str()), db.error)) return "";
    return cluster.url(name);
}

}  // namespace pgtest
