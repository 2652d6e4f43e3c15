// The web pages the game opens: a player's stats, the account form and
// where to get the game. Every text from outside is escaped.
#include "server.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <strings.h>

static const char PAGE_STYLE[] =
    "body{background:#0a1026;color:#d8e4f0;font-family:'DejaVu Sans',Verdana,sans-serif;margin:0;}"
    "main{max-width:760px;margin:0 auto;padding:24px;}"
    "h1{color:#3fd8e8;font-weight:normal;letter-spacing:2px;border-bottom:2px solid #3fd8e8;padding-bottom:8px;}"
    "h2{color:#3fd8e8;font-weight:normal;margin-top:32px;}"
    "a{color:#3fd8e8;}"
    "table{border-collapse:collapse;width:100%;}"
    "th,td{text-align:left;padding:6px 10px;border-bottom:1px solid #1c2a55;}"
    "th{color:#8fb4d8;font-weight:normal;}"
    "form{background:#111a3a;border:1px solid #1c2a55;padding:16px 20px;margin:16px 0;}"
    "label{display:block;margin:10px 0 4px;color:#8fb4d8;}"
    "input{background:#060b1c;color:#e8f4ff;border:1px solid #3fd8e8;padding:6px;width:260px;}"
    "button{background:#3fd8e8;color:#0a1026;border:0;padding:8px 20px;margin-top:14px;cursor:pointer;}"
    "pre{background:#060b1c;border-left:3px solid #3fd8e8;padding:10px 14px;color:#e8f4ff;}"
    ".note{background:#111a3a;border-left:3px solid #3fd8e8;padding:10px 14px;}"
    ".bad{border-left-color:#e85a5a;}"
    "footer{color:#5a6f99;font-size:small;margin-top:40px;}";

static ServerReply _page(int status, const std::string& title, const std::string& body) {
    ServerReply r;
    r.status = status;
    r.type = "text/html; charset=utf-8";
    r.headers.emplace_back("Content-Security-Policy",
                           "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'");
    r.headers.emplace_back("X-Content-Type-Options", "nosniff");
    r.headers.emplace_back("Referrer-Policy", "no-referrer");
    r.headers.emplace_back("Cache-Control", "no-store");
    r.body = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
             "<meta name=\"viewport\" content=\"width=device-width\">"
             "<title>Velquist: " + server_html_escape(title) + "</title><style>" + PAGE_STYLE +
             "</style></head>\n<body><main>\n<h1>" + server_html_escape(title) + "</h1>\n" + body +
             "\n<footer>Velquist online &middot; <a href=\"/velquist/download.php\">Get the game</a> &middot; "
             "<a href=\"/velquist/manage.php\">Your account</a></footer>\n</main></body></html>\n";
    return r;
}

static std::string _note(const std::string& text, bool bad) {
    return std::string("<p class=\"note") + (bad ? " bad" : "") + "\">" + server_html_escape(text) + "</p>\n";
}

ServerReply server_page_error(int status, const std::string& message) {
    return _page(status, "Not here", _note(message, true));
}

ServerReply server_page_download() {
    return _page(200, "Get the game",
                 "<p>Velquist is a stealth-puzzle game for desktop Linux: slip past guards, bring down every "
                 "pillar with your bombs and escape beside a window. Build your own maps and share them here.</p>\n"
                 "<h2>Two commands</h2>\n"
                 "<p>On a fresh Debian 12 machine, from the game's source folder:</p>\n"
                 "<pre>make play</pre>\n"
                 "<p>installs the Debian packages that are missing (with <code>sudo</code> when you are not root), "
                 "builds the game and starts it.</p>\n"
                 "<pre>make test</pre>\n"
                 "<p>does the same set-up and runs every test, in the normal build and in a build with the "
                 "address and undefined-behaviour sanitizers.</p>\n"
                 "<h2>Playing online</h2>\n"
                 "<p>Browsing and playing shared maps needs no account. To share your own maps and keep your "
                 "ratings and stats, <a href=\"/velquist/manage.php\">create an account</a> and type the same "
                 "name and password on the game's account settings page.</p>\n");
}

// ---------------------------------------------------------------- stats

static std::string _cell(const std::string& text) { return "<td>" + server_html_escape(text) + "</td>"; }

static std::string _clock(long seconds) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%ld:%02ld", seconds / 60, seconds % 60);
    return buf;
}

static std::string _date(long ts) {
    char buf[32];
    time_t t = (time_t)ts;
    struct tm tm;
    if (!gmtime_r(&t, &tm) || !strftime(buf, sizeof(buf), "%Y-%m-%d", &tm)) return "?";
    return buf;
}

static std::string _rating(const std::string& avg) {
    char buf[16];
    double v = atof(avg.c_str());
    if (v <= 0) return "-";
    snprintf(buf, sizeof(buf), "%.1f", v);
    return buf;
}

static std::string _stats_summary(ServerStore& st, const std::string& uid) {
    ServerPlayerStats n = server_player_stats(st, uid);
    return "<table>\n<tr><th>Maps started</th>" + _cell(n.started) + "</tr>\n<tr><th>Wins</th>" + _cell(n.wins) +
           "</tr>\n<tr><th>Different maps won</th>" + _cell(n.maps_won) + "</tr>\n<tr><th>Maps shared</th>" +
           _cell(n.shared) + "</tr>\n</table>\n";
}

static std::string _stats_recent(ServerStore& st, const std::string& uid) {
    MyResult rows = server_player_recent(st, uid);
    if (rows.empty()) return "<p>No wins yet.</p>\n";
    std::string out = "<table>\n<tr><th>Map</th><th>Time</th><th>Cartridges</th><th>Rewinds</th>"
                      "<th>Bombs left</th><th>Stars given</th><th>Day</th></tr>\n";
    for (MyRow& r : rows) {
        out += "<tr>" + _cell(r["title"]) + _cell(_clock(atol(r["tm"].c_str()))) +
               _cell(std::to_string(atol(r["bonus"].c_str()) / 10) + "%") + _cell(r["rewind"]) +
               _cell(r["extra"]) + _cell(r["stars"] == "0" ? "-" : r["stars"]) +
               _cell(_date(atol(r["ts"].c_str()))) + "</tr>\n";
    }
    return out + "</table>\n";
}

static std::string _stats_maps(ServerStore& st, const std::string& uid) {
    MyResult rows = server_player_maps(st, uid);
    if (rows.empty()) return "<p>No maps shared yet.</p>\n";
    std::string out = "<table>\n<tr><th>Title</th><th>Map ID</th><th>Awesomeness</th><th>Difficulty</th>"
                      "<th>Players</th><th>Shared</th></tr>\n";
    for (MyRow& r : rows) {
        out += "<tr>" + _cell(r["title"]) + _cell(r["name"]) + _cell(_rating(r["stars"])) +
               _cell(_rating(r["skulls"])) + _cell(r["players"]) + _cell(_date(atol(r["ts"].c_str()))) + "</tr>\n";
    }
    return out + "</table>\n";
}

ServerReply server_page_stats(Server& /*s*/, ServerStore& st, const ServerPairs& query) {
    std::string uid = server_param(query, "uid");
    std::string prefix = SERVER_UID_PREFIX;
    std::string name = uid.compare(0, prefix.size(), prefix) == 0 ? uid.substr(prefix.size()) : std::string();
    if (name.empty()) {
        return _page(200, "Your stats",
                     _note("Playing as a guest keeps no stats. Create an account, sign in on the game's account "
                           "page, and your wins and maps show up here.", false) +
                         "<p><a href=\"/velquist/manage.php\">Create an account</a></p>\n");
    }
    ServerAccount acc;
    if (!server_name_ok(name) || !server_account_find(st, name, acc))
        return _page(404, "Stats", _note("There is no player named " + name + ".", true));
    uid = server_uid(acc.name);
    return _page(200, "Stats of " + acc.name,
                 _stats_summary(st, uid) + "<h2>Recent wins</h2>\n" + _stats_recent(st, uid) +
                     "<h2>Maps shared</h2>\n" + _stats_maps(st, uid));
}

// ---------------------------------------------------------------- account

static std::string _field(const char* label, const char* name, const char* type, const std::string& value) {
    return std::string("<label for=\"") + name + "\">" + label + "</label><input id=\"" + name + "\" name=\"" +
           name + "\" type=\"" + type + "\" value=\"" + server_html_escape(value) + "\" maxlength=\"" +
           std::to_string((int)SERVER_PASSWORD_MAX) + "\">\n";
}

static std::string _manage_forms(const std::string& name) {
    return "<h2>Create an account</h2>\n<form method=\"post\" action=\"/velquist/manage.php\">"
           "<input type=\"hidden\" name=\"do\" value=\"create\">\n" +
           _field("User name", "name", "text", name) + _field("Password", "password", "password", "") +
           _field("Password again", "again", "password", "") +
           "<button type=\"submit\">Create account</button></form>\n"
           "<h2>Change your password</h2>\n<form method=\"post\" action=\"/velquist/manage.php\">"
           "<input type=\"hidden\" name=\"do\" value=\"change\">\n" +
           _field("User name", "name", "text", name) + _field("Current password", "old", "password", "") +
           _field("New password", "password", "password", "") + _field("New password again", "again", "password", "") +
           "<button type=\"submit\">Change password</button></form>\n"
           "<p>User names are 1 to " + std::to_string((int)SERVER_NAME_MAX) +
           " letters, digits, spaces, dots, dashes or underscores; passwords " +
           std::to_string((int)SERVER_PASSWORD_MIN) + " to " + std::to_string((int)SERVER_PASSWORD_MAX) +
           " characters. In the game, type them on the account page of the settings.</p>\n";
}

static bool _password_ok(const std::string& pw) {
    if (pw.size() < SERVER_PASSWORD_MIN || pw.size() > SERVER_PASSWORD_MAX) return false;
    for (char c : pw)
        if ((unsigned char)c < 0x20 || c == 0x7f) return false;
    return true;
}

// Runs one form; returns the message to show and whether it went well.
static std::string _manage_post(Server& s, ServerStore& st, const ServerPairs& form, const std::string& peer,
                                bool* good) {
    *good = false;
    if (!server_limit_take(s, st, s.limits.account, "account|" + peer))
        return "Too many forms in a short time. Wait a few minutes and try again.";
    std::string what = server_param(form, "do"), name = server_param(form, "name");
    std::string pw = server_param(form, "password"), again = server_param(form, "again");
    if (!server_name_ok(name))
        return "Choose a user name of 1 to " + std::to_string((int)SERVER_NAME_MAX) +
               " letters, digits, spaces, dots, dashes or underscores.";
    if (!_password_ok(pw))
        return "Choose a password of " + std::to_string((int)SERVER_PASSWORD_MIN) + " to " +
               std::to_string((int)SERVER_PASSWORD_MAX) + " characters.";
    if (pw != again) return "The two passwords differ.";
    ServerAccount acc;
    bool exists = server_account_find(st, name, acc);
    if (what == "create") {
        if (exists || strcasecmp(name.c_str(), SERVER_SEED_AUTHOR) == 0)
            return "The name " + name + " is taken; choose another.";
        if (!server_account_create(st, name, pw)) return "The account could not be stored; try again later.";
        *good = true;
        return "Welcome, " + name + "! Type this name and password on the game's account page.";
    }
    if (what == "change") {
        // Counted as the game's sign-ins are: per account, and per account from this address.
        std::string who = exists ? acc.name : name;
        std::string pair = "login|" + peer + "|" + who, account = "login-account|" + who;
        if (!server_limit_peek(s, st, s.limits.login, pair) ||
            !server_limit_peek(s, st, s.limits.login_account, account))
            return "Too many wrong passwords. Wait a minute and try again.";
        if (!exists || !server_equal_secret(acc.pwhash, server_password_hash(acc.salt, server_param(form, "old")))) {
            server_limit_take(s, st, s.limits.login, pair);
            server_limit_take(s, st, s.limits.login_account, account);
            return "Wrong user name or password.";
        }
        if (!server_account_password(st, acc.name, pw)) return "The password could not be stored; try again later.";
        *good = true;
        return "The password of " + acc.name + " has changed. Type the new one on the game's account page.";
    }
    return "The form is not one of ours.";
}

ServerReply server_page_manage(Server& s, ServerStore& st, const ServerPairs& query, const ServerPairs& form,
                               bool post, const std::string& peer) {
    std::string name = server_param(post ? form : query, "name");
    if (name.size() > SERVER_PARAM_MAX) name.clear();
    if (!post) return _page(200, "Your account", _manage_forms(name));
    bool good = false;
    std::string message = _manage_post(s, st, form, peer, &good);
    return _page(good ? 200 : 400, "Your account", _note(message, !good) + (good ? "" : _manage_forms(name)));
}
